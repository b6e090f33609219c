// The regex source over a character sequence and the search state's lifetime.
#include "KivSedSearch.h"

#include <algorithm>

#include "KivSedDocument.h"
#include "internal/Markers.h"
#include "internal/SearchEngine.h"

// ---------------------------------------------------------------------------------------------
// TKivRegexCharSeqSource

TKivRegexCharSeqSource::TKivRegexCharSeqSource(TKivCharSeq& ASeq)
    : TKivRegexSource(256, ASeq.Count()), FSeq(ASeq), FStorage(dynamic_cast<const TKivTextStorage*>(&ASeq)) {
  TKivRegexCharSeqSource::ResetBuffer();
}

void TKivRegexCharSeqSource::ResetBuffer() {
  Count = FSeq.Count();
  BaseIndex = 0;
  FIdxStart = 0;
  FIdxEnd = Count;
  FReadEnd = 0;
  TKivRegexSource::ResetBuffer();
}

void TKivRegexCharSeqSource::FillBuffer() {
  Integer* out = FBuffer.data();
  Integer i = FBufferStart;
  FReadEnd = std::max(FReadEnd, FBufferEnd);
  // The sequence may have shrunk since the last ResetBuffer: codes past its end read as 0.
  const Integer avail = std::min(FBufferEnd, FSeq.Count());
  if (FStorage) {
    while (i < avail) {
      const Char* chunk = nullptr;
      const Integer k = std::min(avail - i, FStorage->GetChunk(i, chunk));
      if (k <= 0) break;
      for (Integer j = 0; j < k; ++j) *out++ = chunk[j];
      i += k;
    }
  } else {
    for (; i < avail; ++i) *out++ = FSeq.GetChar(i);
  }
  for (; i < FBufferEnd; ++i) *out++ = 0;
}

// ---------------------------------------------------------------------------------------------
// TKivEditFindReplaceState

TKivEditFindReplaceState::TKivEditFindReplaceState() = default;
TKivEditFindReplaceState::~TKivEditFindReplaceState() = default;

// ---------------------------------------------------------------------------------------------
// TSearchInternal

bool TSearchInternal::Attached() const {
  const auto* coll = dynamic_cast<const TMarkCollection*>(Markers.get());
  return Doc != nullptr && coll != nullptr && !coll->Disposed();
}

TSearchInternal::~TSearchInternal() {
  if (!Attached()) return;
  try {
    Doc->DetachCustomMarkers(Markers);
  } catch (...) {
    // The collection is released with the document at the latest.
  }
}

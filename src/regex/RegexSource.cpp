// Input sources of the regex matcher.
#include <algorithm>

#include "KivRegExpr.h"

TKivRegexSource::TKivRegexSource(Integer ABufferSize, Integer ACount)
    : Count(ACount), FBufferSize(std::max<Integer>(ABufferSize, 1)) {
  FBuffer.resize(static_cast<size_t>(FBufferSize));
  FIdxStart = 0;
  FIdxEnd = ACount;
}

void TKivRegexSource::ResetBuffer() {
  FBufferStart = -1;
  FBufferEnd = -1;
}

void TKivRegexSource::SetBuffer(TKivIntArray ABuffer) {
  FBuffer = std::move(ABuffer);
  if (FBuffer.empty()) FBuffer.resize(1);
  FBufferSize = static_cast<Integer>(FBuffer.size());
  ResetBuffer();
}

Integer TKivRegexSource::MoveWindow(Integer AIdx) {
  KIV_ASSERT(AIdx >= FIdxStart && AIdx < FIdxEnd, "KivRegExpr");
  int64_t start, end;
  if (FBufferStart >= 0 && AIdx < FBufferStart) {
    end = int64_t(AIdx) + FBoundGap + 1;
    start = end - FBufferSize;
  } else {
    start = int64_t(AIdx) - FBoundGap;
    end = start + FBufferSize;
  }
  if (start < FIdxStart) {
    start = FIdxStart;
    end = start + FBufferSize;
  }
  if (end > FIdxEnd) {
    end = FIdxEnd;
    start = std::max<int64_t>(end - FBufferSize, FIdxStart);
  }
  if (AIdx < start || AIdx >= end) {  // a window smaller than the gap
    start = AIdx;
    end = std::min<int64_t>(start + FBufferSize, FIdxEnd);
  }
  FBufferStart = static_cast<Integer>(start);
  FBufferEnd = static_cast<Integer>(end);
  FillBuffer();
  return FBuffer[AIdx - FBufferStart];
}

TKivRegexStringSource::TKivRegexStringSource(TKivString AStr)
    : TKivRegexSource(KivRegStringWindow, static_cast<Integer>(AStr.size())), FStr(std::move(AStr)) {
  BaseIndex = 1;
  FIdxStart = 1;
  FIdxEnd = Count + 1;
  FRawUnits = FStr.data();
}

void TKivRegexStringSource::FillBuffer() {
  const char16_t* src = FStr.data() + (FBufferStart - 1);
  Integer n = FBufferEnd - FBufferStart;
  for (Integer i = 0; i < n; ++i) FBuffer[i] = src[i];
}

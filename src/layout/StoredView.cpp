#include "internal/StoredView.h"

#include <algorithm>

#include "KivSedParserBase.h"
#include "internal/ScreenCache.h"

namespace {
constexpr const char* kModule = "KivSedStoredView";
}

// ---- one saved state ----

TStoredViewData::TStoredViewData(TStoredView& AParent)
    : FCache(AParent.Parent()), FDocument(&FCache.Document()), FParent(AParent) {
  TKivEditDocument& doc = *FDocument;
  try {
    FCursorMarkers = doc.CreateCustomMarkers(true, false, false);
    Folds = doc.CreateCustomMarkers(false, true, false);
    // Offset 0 needs no marker; cells inside a character are not kept.
    const auto mark = [&](Integer AOffset) -> IKivMarkRef {
      AOffset = std::clamp<Integer>(AOffset, 0, doc.CharsCount());
      return AOffset > 0 ? FCursorMarkers->CreateMark(AOffset) : nullptr;
    };
    Cursor = mark(FCache.SelectionMarks().Cursor().Offset);
    SelStart = mark(FCache.SelectionMarks().SelStart().Offset);
    SelEnd = mark(FCache.SelectionMarks().SelEnd().Offset);
    // The top row already counts the rows of the top line above the window.
    ScreenStart = mark(FCache.ScrollToNearestOffset({FCache.HorizScroll(), FCache.FirstLineScroll()}));
    SelBlockMode = FCache.SelBlockMode();
    for (const auto& fold : FCache.CollapsedFolds()) Folds->CreateLineMark(fold.first);
    doc.AddListener(this);
  } catch (...) {
    Forget(false);
    throw;
  }
}

TStoredViewData::~TStoredViewData() { Forget(false); }

void TStoredViewData::Forget(bool ATellParent) {
  if (!FDocument) return;
  TKivEditDocument* doc = FDocument;
  FDocument = nullptr;
  doc->RemoveListener(this);
  Cursor = SelStart = SelEnd = ScreenStart = nullptr;
  for (IKivMarkersRef* markers : {&FCursorMarkers, &Folds}) {
    if (!*markers) continue;
    IKivMarkersRef detached = std::move(*markers);
    *markers = nullptr;
    try {
      detached->Clear();
      doc->DetachCustomMarkers(detached);
    } catch (...) {  // a document going away takes its collections along
    }
  }
  if (ATellParent) FParent.FHasForgotten = true;
}

void TStoredViewData::BeforeRefresh() { Forget(true); }

void TStoredViewData::BeforeDelete(Integer, Integer ALength) {
  if (FDocument && ALength >= FDocument->CharsCount()) Forget(true);
}

void TStoredViewData::DocumentDestroing() { Forget(true); }

// ---- the list ----

TStoredView::TStoredView(TScreenCache& AParent, Integer ALimit)
    : FParent(AParent), FDataLimit(std::max<Integer>(ALimit, 0) + 1) {}

void TStoredView::Purge() {
  if (!FHasForgotten) return;
  FHasForgotten = false;
  std::erase_if(FData, [](const std::unique_ptr<TStoredViewData>& AData) { return AData->Forgotten(); });
}

void TStoredView::AttachCurrentDoc() { Keep(Capture()); }

std::unique_ptr<TStoredViewData> TStoredView::Capture() {
  if (GetDataLimit() < 1) return nullptr;
  // A listener cannot join a document inside a compound edit: the state is not saved then.
  if (FParent.Document().InsideCompoundEdit()) return nullptr;
  return std::make_unique<TStoredViewData>(*this);
}

void TStoredView::Keep(std::unique_ptr<TStoredViewData> AData) {
  Purge();
  if (!AData || AData->Forgotten() || GetDataLimit() < 1) return;
  if (TStoredViewData* old = GetDataByDoc(AData->Document())) RemoveData(old);
  FData.reserve(FData.size() + 1);  // nothing can fail once the oldest is out
  if (static_cast<Integer>(FData.size()) >= FDataLimit) FData.erase(FData.begin());
  FData.push_back(std::move(AData));
}

TStoredViewData* TStoredView::GetDataByDoc(const TKivEditDocument* ADocument) {
  Purge();
  if (!ADocument) return nullptr;
  for (const auto& data : FData)
    if (data->Document() == ADocument) return data.get();
  return nullptr;
}

void TStoredView::RemoveData(TStoredViewData* AData) {
  const auto it = std::find_if(FData.begin(), FData.end(),
                               [&](const std::unique_ptr<TStoredViewData>& D) { return D.get() == AData; });
  KIV_ASSERT(it != FData.end(), kModule);
  FData.erase(it);
}

void TStoredView::SetDataLimit(Integer ALimit) {
  ALimit = std::max<Integer>(ALimit, 0);
  Purge();
  const size_t keep = static_cast<size_t>(ALimit) + 1;
  if (FData.size() > keep) FData.erase(FData.begin(), FData.end() - static_cast<std::ptrdiff_t>(keep));
  FDataLimit = ALimit + 1;
}

Integer TStoredView::Count() {
  Purge();
  return static_cast<Integer>(FData.size());
}

// ---- restoring ----

void TScreenCache::RestoreStoredView(TStoredViewData& AData) {
  TKivEditDocument& doc = Document();
  const auto point = [&](const IKivMarkRef& AMark) {
    const Integer offset =
        AMark && AMark->IsValid() ? std::clamp<Integer>(AMark->Pos(), 0, doc.CharsCount()) : 0;
    const TOffsetPoint p = CorrectOffsetToLine({offset, 0});
    EnsureOffsetIsVisible(p.Offset);
    return p;
  };
  const TOffsetPoint screen = point(AData.ScreenStart), cursor = point(AData.Cursor);
  const TOffsetPoint selStart = point(AData.SelStart), selEnd = point(AData.SelEnd);
  SetFirstLineAsScroll(OffsetToScroll(screen.Offset).Y);
  SetCursorOffset(cursor, scBackward, AData.SelBlockMode);
  SetSelection(selStart, selEnd, AData.SelBlockMode);
  if (!AData.Folds) return;
  std::vector<Integer> lines;
  for (Integer i = 0; i < AData.Folds->Count(); ++i)
    if (IKivMarkRef m = AData.Folds->Marks(i); m && m->IsValid()) lines.push_back(m->Line());
  const Integer count = doc.LinesCount();
  bool folded = false;
  for (Integer line : lines) {
    if (line < 0 || line >= count || IsCollapsedFold(line)) continue;
    const Integer end = ParserFoldEnd(line);
    if (end < 0) continue;
    InvalidateFold(line);
    RecordFold(line, end);
    folded = true;
  }
  if (folded) UpdateLayout();
}

// The printed layout: a screen cache of its own that follows the document's edits.
#include <algorithm>

#include "KivSedPrintLayout.h"
#include "internal/ScreenCache.h"

// Hands the document's edits and refreshes to the printed layout.
class TKivPrintLayout::TEditForwarder : public TKivDocumentListener {
 public:
  explicit TEditForwarder(TScreenCache& ACache) : FCache(ACache) {}
  // The document is being destroyed: the layout lets go of it and shows nothing from now on.
  void DocumentDestroing() override {
    if (Gone) return;
    Gone = true;
    FCache.ReleaseDocument();
  }
  bool Gone = false;
  void BeforeInsert(Integer AStart, Integer ALength) override { FCache.BeforeInsert(AStart, ALength); }
  void AfterInsert(Integer AStart, Integer ALength) override { FCache.AfterInsert(AStart, ALength); }
  void BeforeDelete(Integer AStart, Integer ALength) override { FCache.BeforeDelete(AStart, ALength); }
  void AfterDelete(Integer AStart, Integer ALength) override { FCache.AfterDelete(AStart, ALength); }
  void AfterRefresh() override { FCache.DocumentRefresh(); }
  void AfterSettingsRefresh() override { FCache.ResetPreserve(); }

 private:
  TScreenCache& FCache;
};

TKivPrintLayout::TKivPrintLayout(IKivScreenCacheHost& AHost, IKivMeasureSurface& ACanvas,
                                 const TKivSpecialChars* ASpecChars, Integer ATextWidth, Integer ALinesPerPage,
                                 Integer AWrapRulerWidth, Integer ATabWidth)
    : FHost(AHost) {
  if (ATextWidth < 1 || ALinesPerPage < 1)
    throw EKivEditViewError(u"Screen size must be positive: %d x %d", {ATextWidth, ALinesPerPage});
  FCache = std::make_unique<TScreenCache>(&AHost, wmWrapToWindow, std::max<Integer>(ATabWidth, 1), ATextWidth,
                                          ALinesPerPage,
                                          std::clamp<Integer>(AWrapRulerWidth, 1, TScreenCache::kMaxWrapRulerWidth),
                                          &ACanvas, ASpecChars);
  FCache->AttachToDocument();
  FForwarder = std::make_unique<TEditForwarder>(*FCache);
  try {
    AHost.Document().AddListener(FForwarder.get());
  } catch (...) {
    FCache->ReleaseDocument();
    throw;
  }
}

TKivPrintLayout::~TKivPrintLayout() {
  if (FForwarder->Gone) return;
  try {
    FHost.Document().RemoveListener(FForwarder.get());
  } catch (...) {
  }
  FCache->ReleaseDocument();
}

bool TKivPrintLayout::DocumentGone() const {
  return FForwarder->Gone;
}

TKivScreenLayout& TKivPrintLayout::Screen() {
  return *FCache;
}

void TKivPrintLayout::CollapseLines(Integer AStartLine, Integer AEndLine) {
  FCache->CollapseLines(AStartLine, AEndLine);
}

Integer TKivPrintLayout::RowCount() {
  FCache->UpdateLayout();
  return FCache->CalkVisibleCountScroll();
}

void TKivPrintLayout::SetTopRow(Integer ARow) {
  FCache->SetFirstLineAsScroll(std::max<Integer>(ARow, 0));
  FCache->UpdateLayout();
}

Integer TKivPrintLayout::TopRow() {
  return FCache->FirstLineScroll();
}

Integer TKivPrintLayout::RowsOnPage() {
  return FCache->LinesOnScreenScroll();
}

Integer TKivPrintLayout::OffsetRow(Integer AOffset) {
  return FCache->OffsetToScroll(FCache->GetNearestValidOffset(AOffset)).Y;
}

Integer TKivPrintLayout::PageRowLine(Integer APageRow) {
  return FCache->GetScreenLine(APageRow).ScrollInfo.PhysicalLine;
}

bool TKivPrintLayout::PageRowIsLineStart(Integer APageRow) {
  return (FCache->GetScreenLineProps(APageRow) & KivLineProp(lpFirstWrap)) != 0;
}

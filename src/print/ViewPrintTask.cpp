// The view print task and its renderer.
#include <algorithm>
#include <cmath>
#include <string>

#include "KivSedViewPrintTask.h"

namespace {

const char16_t* const kNoPrinter = u"Printer property should be assigned for this method";
const char16_t* const kNoView = u"View property should be assigned for this method";
const char16_t* const kFinalizeFirst = u"You should call FinalizePages before this method";
const char16_t* const kPrepareFirst = u"You should call PreparePages before this method";
const char16_t* const kPageTooSmall = u"Page is too small for the printing font";

Integer CeilDiv(Integer A, Integer B) {
  return B > 0 ? Integer((int64_t(A) + B - 1) / B) : 0;
}

}  // namespace

Integer KivPrintFontPixels(const TKivViewFont& AFont, Integer ADpi) {
  const double size = AFont.PixelSize > 0 ? AFont.PixelSize * double(ADpi) / 96.0 : AFont.Size * double(ADpi) / 72.0;
  return std::max<Integer>(1, KivSaturate(std::llround(size)));
}

// ---- the printed layout's host: the view's document, and no window ----

class TViewRenderer::TCacheHost : public IKivScreenCacheHost {
 public:
  explicit TCacheHost(TKivEditDocument& ADoc) : FDoc(ADoc) {}
  TKivEditDocument& Document() override { return FDoc; }
  bool CursorBoundToChars() const override { return false; }
  void InvalidateConversionCache(Integer) override {}

 private:
  TKivEditDocument& FDoc;
};

// ---- the renderer ----

TViewRenderer::TViewRenderer(TKivEditViewPrintTask& ATask) : FTask(ATask) {}

TViewRenderer::~TViewRenderer() = default;

void TViewRenderer::Reset() {
  FCache.reset();
  FCacheHost.reset();
  FScrSize = {};
  FPagesCount = FSelectedPagesCount = 0;
  FPageWidth = FPageHeight = FLineHeight = FGutterWidth = FGutterLeftPadding = 0;
  FDpi = -1;
  FFont = TKivViewFont();
  FSelStartScr = FSelEndScr = {-1, -1};
}

void TViewRenderer::PreparePages(Integer APageWidth, Integer APageHeight, IKivPrintDevice& ADevice) {
  TKivEditViewCore& view = *FTask.View();
  TKivEditDocument& doc = view.WorkingDocument();
  const Integer dpi = ADevice.DpiY();

  // The printing font at the printer's resolution.
  TKivViewFont font = FTask.Font();
  font.PixelSize = KivPrintFontPixels(font, dpi);
  ADevice.SetMeasureFont(font);
  IKivMeasureSurface& measure = ADevice.MeasureSurface();
  const TKivFontMetrics m = measure.Metrics(font.Style);
  const Integer height = std::max<Integer>(KivSatAdd(m.Height, m.ExternalLeading), 1);
  const Integer lineHeight = KivSatAdd(height, height / 10);

  Integer gutter = 0, padding = 0;
  if (FTask.HasOption(poPrintLineNumbers)) {
    padding = measure.CharWidth(u'x', 0, kivDefaultCharset);
    const std::string digits = std::to_string(doc.LinesCount());
    gutter = padding;
    for (char c : digits) gutter = KivSatAdd(gutter, measure.CharWidth(Char(c), 0, kivDefaultCharset));
  }
  const Integer textWidth = KivSatAdd(APageWidth, -gutter);
  const Integer linesPerPage = APageHeight / lineHeight;
  if (linesPerPage < 1 || textWidth < 1) throw EKivEditViewError(kPageTooSmall);

  // The special characters printed: the view's kinds, or none.
  TKivSpecialChars& chars = FTask.SpecialChars();
  chars.SetShowCharKinds(FTask.HasOption(poPrintSpecialChars) ? view.SpecialChars().ShowCharKinds()
                                                              : TKivSpecialCharKinds());

  Reset();
  try {
    FPageWidth = APageWidth;
    FPageHeight = APageHeight;
    FDpi = dpi;
    FFont = font;
    FLineHeight = lineHeight;
    FGutterWidth = gutter;
    FGutterLeftPadding = padding;
    FScrSize = {textWidth, linesPerPage};
    FCacheHost = std::make_unique<TCacheHost>(doc);
    FCache = std::make_unique<TKivPrintLayout>(*FCacheHost, measure, &chars, textWidth, linesPerPage,
                                               view.WrapRulerWidth(), view.TabWidth());
    if (!FTask.HasOption(poPrintHiddenText))
      for (const auto& [start, end] : view.ShownCollapsedFolds()) FCache->CollapseLines(start, end);
    FPagesCount = CeilDiv(FCache->RowCount(), linesPerPage);
    if (view.SelAvail()) {
      const Integer a = view.SelectionOffsetStart(), b = view.SelectionOffsetEnd();
      FSelStartScr = {0, FCache->OffsetRow(std::min(a, b))};
      FSelEndScr = {0, FCache->OffsetRow(std::max(a, b))};
      FSelectedPagesCount = CeilDiv(FSelEndScr.Y - FSelStartScr.Y + 1, linesPerPage);
    }

    // The view's painter inputs, for a printed page.
    view.PreparePainter(FPainter);
    FPainter.Colors.FontColor = font.Color;
    FPainter.Settings.LineHeight = lineHeight;
    FPainter.Settings.FontStyle = font.Style;
    FPainter.Settings.Printing = true;
    FPainter.Settings.HighlightSelectedLine = false;
    FPainter.Settings.ShowWrapRuler = false;
    FPainter.Settings.ReadOnly = false;
    FPainter.SpecialChars = &chars;
    FPainter.ChangesLock = nullptr;
    FPainter.OnGetLineAttributes = nullptr;
    FPainter.OnGutterPaint = nullptr;
  } catch (...) {
    Reset();
    throw;
  }
}

void TViewRenderer::FinalizePages() {
  Reset();
}

Integer TViewRenderer::GetPagesCount(TKivPrintOperationRange ARange) {
  return ARange == orSelection ? FSelectedPagesCount : FPagesCount;
}

void TViewRenderer::DrawPage(TKivPrintOperationRange ARange, Integer ANum, const TKivPoint& APoint,
                             IKivPrintCanvas& ACanvas) {
  if (!FCache) throw EKivEditViewError(kPrepareFirst);
  // The document went while pages were prepared: the pages are blank.
  if (FCache->DocumentGone()) return;
  const Integer perPage = FScrSize.Y;
  const bool selection = ARange == orSelection;
  if (ANum < 0 || ANum >= GetPagesCount(ARange)) return;
  const Integer first = KivSatAdd(selection ? FSelStartScr.Y : 0, KivSatMul(ANum, perPage));
  FCache->SetTopRow(first);
  Integer rows = std::min(FCache->RowsOnPage(), perPage);
  if (FCache->TopRow() != first) rows = 0;  // past the last row
  if (selection) rows = std::min(rows, FSelEndScr.Y - first + 1);

  IKivPaintSurface& surface = ACanvas.Surface();
  TKivScreenLayout& screen = FCache->Screen();
  const Integer left = APoint.X, right = KivSatAdd(APoint.X, FPageWidth);
  const Integer textLeft = KivSatAdd(left, FGutterWidth);
  TKivGutterBarInfo bar;
  bar.Kind = gbLineNumberBar;
  bar.LeftPadding = 0;
  bar.RightPadding = std::min(FGutterLeftPadding, std::max<Integer>(FGutterWidth - 1, 0));
  for (Integer i = 0; i < rows; ++i) {
    const Integer top = KivSatAdd(APoint.Y, KivSatMul(i, FLineHeight));
    const Integer bottom = KivSatAdd(top, FLineHeight);
    if (FGutterWidth > 0) FPainter.PaintGutterBar(screen, surface, i, bar, {left, top, textLeft, bottom});
    const TKivRect textRect{textLeft, top, right, bottom};
    FPainter.PaintLine(screen, surface, i, textRect, textRect);
  }
}

// ---- the task ----

class TKivEditViewPrintTask::TPartParent : public TKivViewPartParent {
 public:
  void BeginChange() override {}
  void EndChange(bool) override {}
  TKivLoadable* GetOwnerComponent() override { return nullptr; }
};

TKivEditViewPrintTask::TKivEditViewPrintTask()
    : FRenderer(std::make_unique<TViewRenderer>(*this)),
      FPartParent(std::make_unique<TPartParent>()),
      FSpecialChars(std::make_unique<TKivSpecialChars>(FPartParent.get())) {}

TKivEditViewPrintTask::~TKivEditViewPrintTask() {
  DropPages();
  if (FPrinter) {
    try {
      FPrinter->RemoveListener(this);
    } catch (...) {
    }
  }
  if (FView) FView->RemovePrintTask(this);
}

void TKivEditViewPrintTask::CheckPrinter() const {
  if (!FPrinter) throw EKivEditViewError(kNoPrinter);
}

void TKivEditViewPrintTask::CheckView() const {
  if (!FView) throw EKivEditViewError(kNoView);
}

void TKivEditViewPrintTask::CheckNotPrepared() const {
  if (FPagesPrepared) throw EKivEditViewError(kFinalizeFirst);
}

void TKivEditViewPrintTask::CheckPrepared() const {
  if (!FPagesPrepared) throw EKivEditViewError(kPrepareFirst);
}

void TKivEditViewPrintTask::CheckReady() const {
  CheckPrinter();
  CheckView();
  CheckPrepared();
}

void TKivEditViewPrintTask::SetView(TKivEditViewCore* AValue) {
  CheckNotPrepared();
  if (AValue == FView) return;
  if (AValue) *FSpecialChars = AValue->SpecialChars();
  if (FView) FView->RemovePrintTask(this);
  FView = AValue;
  if (FView) {
    FView->AddPrintTask(this);
    if (FViewFont) CopyViewFont();
  }
}

void TKivEditViewPrintTask::SetPrinter(TKivPrinter* AValue) {
  CheckNotPrepared();
  if (AValue == FPrinter) return;
  if (AValue) AValue->AddListener(this);
  if (FPrinter) FPrinter->RemoveListener(this);
  FPrinter = AValue;
}

void TKivEditViewPrintTask::SetPrintOptions(TKivEditViewPrintOptions AValue) {
  CheckNotPrepared();
  FPrintOptions = AValue;
}

void TKivEditViewPrintTask::SetFont(const TKivViewFont& AValue) {
  FFont = AValue;
  if (!FUpdatingFont) FViewFont = false;
}

void TKivEditViewPrintTask::SetViewFont(bool AValue) {
  if (AValue == FViewFont) return;
  FViewFont = AValue;
  if (AValue) CopyViewFont();
}

void TKivEditViewPrintTask::CopyViewFont() {
  if (!FView) return;
  FUpdatingFont = true;
  SetFont(FView->Font());
  FUpdatingFont = false;
}

void TKivEditViewPrintTask::PreparePages() {
  CheckPrinter();
  CheckView();
  CheckNotPrepared();
  FPrinter->PreparePages(*FRenderer);
  FPagesPrepared = true;
}

Integer TKivEditViewPrintTask::PagesCount() {
  CheckReady();
  return FPrinter->GetPagesCount(orAll);
}

void TKivEditViewPrintTask::Print(Integer AStart, Integer ACount) {
  CheckReady();
  FPrinter->PrintPages(orAll, AStart, ACount);
}

void TKivEditViewPrintTask::Print() {
  Print(0, PagesCount());
}

bool TKivEditViewPrintTask::ExecPrintDlg() {
  CheckReady();
  return FPrinter->ExecPrintDlg();
}

void TKivEditViewPrintTask::ExecPrintPreviewDlg() {
  CheckReady();
  FPrinter->ExecPreviewDlg();
}

void TKivEditViewPrintTask::FinalizePages() {
  CheckPrepared();
  CheckView();
  CheckPrinter();
  FPagesPrepared = false;
  FPrinter->FinalizePages();
}

void TKivEditViewPrintTask::DropPages() noexcept {
  if (!FPagesPrepared) return;
  FPagesPrepared = false;
  try {
    if (FPrinter && FPrinter->PagesPrepared()) FPrinter->FinalizePages();
  } catch (...) {
  }
  FRenderer->FinalizePages();
}

void TKivEditViewPrintTask::ViewFontChanged(TKivEditViewCore& AView) {
  if (&AView == FView && FViewFont) CopyViewFont();
}

void TKivEditViewPrintTask::ViewDestroying(TKivEditViewCore& AView) {
  if (&AView != FView) return;
  DropPages();
  FView = nullptr;
}

void TKivEditViewPrintTask::PrinterDestroying(TKivPrinter& APrinter) {
  if (&APrinter != FPrinter) return;
  DropPages();
  FPrinter = nullptr;
}

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "KivPrintPreview.h"
#include "KivQtPrint.h"
#include "KivUiServices.h"

namespace {

const char16_t* const kBadPage = u"Current page should be in bounds: [0..%d]. Printer does'nt have such page: %d";
const char16_t* const kNoHelper = u"PrintHelper property of TKivPrintPreviewPanel should be assigned for this method";
const char16_t* const kBadScale = u"Scale should be greater than zero";
const char16_t* const kBadMargin = u"Margin should be more than zero";

constexpr double kMmPerInch = 25.4;
// One wheel notch.
constexpr int kWheelStep = 120;
// Page images larger than this (device pixels) are not kept: only their visible part is painted.
constexpr qint64 kMaxCachedPixels = 24 * 1024 * 1024;
// Images of pages no longer shown are kept while all images together stay below this.
constexpr qint64 kCacheBudgetBytes = 64 * 1024 * 1024;
// A page is at most this many pixels wide or high on screen, whatever the scale.
constexpr double kMaxPagePixels = 1 << 22;
// The multi-page grid has at most this many columns and rows (every shown page is painted).
constexpr Integer kMaxGrid = 10;

QString ToQ(const TKivString& AText) {
  return QString(reinterpret_cast<const QChar*>(AText.data()), qsizetype(AText.size()));
}

Integer RoundScale(double AValue) {
  if (!std::isfinite(AValue)) return 1;
  return Integer(std::clamp(std::lround(AValue), 1L, 1L << 30));
}

}  // namespace

// ---- change links ----

TKivPrintChangeLink::~TKivPrintChangeLink() {
  if (FSender) FSender->UnRegisterChanges(this);
}

void TKivPrintChangeLink::Change() {
  if (OnChange) OnChange(FSender);
}

// ---- the drawing control and the printer listener ----

class TKivPrintPreviewPanel::TPaintPanel : public QWidget {
 public:
  explicit TPaintPanel(TKivPrintPreviewPanel& AOwner) : QWidget(&AOwner), FOwner(AOwner) {
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
  }

 protected:
  void paintEvent(QPaintEvent* AEvent) override {
    QPainter painter(this);
    FOwner.Paint(painter, AEvent->rect());
  }
  void keyPressEvent(QKeyEvent* AEvent) override {
    if (FOwner.HandleKey(AEvent->key(), AEvent->modifiers())) {
      AEvent->accept();
      return;
    }
    QWidget::keyPressEvent(AEvent);
  }
  void mousePressEvent(QMouseEvent* AEvent) override {
    setFocus(Qt::MouseFocusReason);
    AEvent->accept();
  }
  void wheelEvent(QWheelEvent* AEvent) override {
    FOwner.HandleWheel(AEvent->angleDelta().y(), AEvent->modifiers());
    AEvent->accept();
  }

 private:
  TKivPrintPreviewPanel& FOwner;
};

class TKivPrintPreviewPanel::THelperLst : public TKivPrinterListener {
 public:
  explicit THelperLst(TKivPrintPreviewPanel& AOwner) : FOwner(AOwner) {}
  void Refresh(TKivPrinterChangeKinds) override { FOwner.PrinterRefresh(); }

 private:
  TKivPrintPreviewPanel& FOwner;
};

// ---- the panel ----

const std::vector<Integer>& TKivPrintPreviewPanel::ZoomSteps() {
  static const std::vector<Integer> steps{500, 200, 150, 100, 75, 50, 25, 10};
  return steps;
}

TKivPrintPreviewPanel::TKivPrintPreviewPanel(QWidget* AParent)
    : QWidget(AParent), FLst(std::make_unique<THelperLst>(*this)) {
  FColor = palette().color(QPalette::Dark);
  FHScroll = new QScrollBar(Qt::Horizontal, this);
  FVScroll = new QScrollBar(Qt::Vertical, this);
  for (QScrollBar* bar : {FHScroll, FVScroll}) {
    bar->setFocusPolicy(Qt::NoFocus);
    bar->setRange(0, 0);
    bar->hide();
    QObject::connect(bar, &QScrollBar::valueChanged, this, [this] { UpdateLayout(lrScroll); });
  }
  FPaintPanel = new TPaintPanel(*this);
  setMinimumSize(1, 1);
  UpdateLayout(lrReset);
}

QWidget* TKivPrintPreviewPanel::PaintPanel() const {
  return FPaintPanel;
}

TKivPrintPreviewPanel::~TKivPrintPreviewPanel() {
  FDestroing = true;
  if (FPrinterHlp) {
    try {
      FPrinterHlp->RemoveListener(FLst.get());
    } catch (const EKivError&) {
    }
  }
  for (TKivPrintChangeLink* link : FClients) link->FSender = nullptr;
  FClients.clear();
}

void TKivPrintPreviewPanel::SetScale(Integer AValue) {
  if (AValue <= 0) throw EKivPrintPackError(kBadScale);
  FScale = AValue;
  UpdateLayout(lrScale);
}

void TKivPrintPreviewPanel::SetMode(TKivPrintPreviewMode AValue) {
  if (unsigned(AValue) > unsigned(pmExactMultiPages))
    throw EKivPrintPackError(u"Bad preview mode: %d", {Integer(AValue)});
  switch (AValue) {
    case pmTwoPages: FHorzPages = 2, FVertPages = 1; break;
    case pmExactMultiPages: break;
    default: FHorzPages = 1, FVertPages = 1; break;
  }
  FMode = AValue;
  UpdateLayout(lrReset);
}

void TKivPrintPreviewPanel::SetMargin(Integer AValue) {
  if (AValue < 0) throw EKivPrintPackError(kBadMargin);
  FMargin = AValue;
  UpdateLayout(lrReset);
}

void TKivPrintPreviewPanel::SetCurrentPage(Integer AValue) {
  if (!FPrinterHlp) throw EKivPrintPackError(kNoHelper);
  if (AValue < 0 || AValue >= FTotalPages) throw EKivPrintPackError(kBadPage, {FTotalPages - 1, AValue});
  if (AValue == FCurrentPage) return;
  FCurrentPage = AValue;
  UpdateLayout(lrPage);
}

void TKivPrintPreviewPanel::SetPrinterHelper(TKivPrinterHelper* AValue) {
  if (AValue == FPrinterHlp) return;
  // Two helpers may serve one printer: the listener leaves the old one before it joins the new.
  if (FPrinterHlp) {
    try {
      FPrinterHlp->RemoveListener(FLst.get());
    } catch (const EKivError&) {
    }
  }
  if (AValue) {
    try {
      AValue->AddListener(FLst.get());
    } catch (...) {
      if (FPrinterHlp) {
        try {
          FPrinterHlp->AddListener(FLst.get());
        } catch (const EKivError&) {
        }
      }
      throw;
    }
  }
  FPrinterHlp = AValue;
  FCurrentPage = 0;
  FTotalPages = 0;
  DropCache();
  UpdateLayout(lrReset);
}

void TKivPrintPreviewPanel::SetColor(const QColor& AValue) {
  FColor = AValue;
  FPaintPanel->update();
}

void TKivPrintPreviewPanel::SetMultiPages(Integer AHorzPages, Integer AVertPages, bool ADoChangeMode) {
  const Integer h = std::clamp(AHorzPages, 1, kMaxGrid), v = std::clamp(AVertPages, 1, kMaxGrid);
  if (h == FHorzPages && v == FVertPages && (!ADoChangeMode || FMode == pmExactMultiPages)) return;
  FHorzPages = h;
  FVertPages = v;
  if (ADoChangeMode) {
    SetMode(pmExactMultiPages);
  } else {
    UpdateLayout(lrReset);
  }
}

void TKivPrintPreviewPanel::Zoom(bool AZoomIn) {
  const std::vector<Integer>& steps = ZoomSteps();
  Integer next;
  if (AZoomIn) {
    next = steps.front();
    for (const Integer step : steps)
      if (step > FScale) next = step;  // the steps fall: the last larger one is the smallest
  } else {
    next = steps.back();
    for (size_t i = 0; i + 1 < steps.size(); ++i)
      if (steps[i] < FScale) {
        next = steps[i];
        break;
      }
  }
  SetScale(next);
}

void TKivPrintPreviewPanel::ResetVars() {
  FScale = 100;
  FRealScale = 100;
  FHorzPages = 1;
  FVertPages = 1;
  FPagePanels = 1;
  FCurrentPage = 0;
  FTotalPages = 0;
}

void TKivPrintPreviewPanel::Change() {
  // A link may unregister itself (or others) while told.
  const std::vector<TKivPrintChangeLink*> clients = FClients;
  for (TKivPrintChangeLink* link : clients)
    if (std::find(FClients.begin(), FClients.end(), link) != FClients.end()) link->Change();
  if (OnChange) OnChange(this);
}

void TKivPrintPreviewPanel::RegisterChanges(TKivPrintChangeLink* AValue) {
  if (!AValue) return;
  if (AValue->FSender && AValue->FSender != this) AValue->FSender->UnRegisterChanges(AValue);
  AValue->FSender = this;
  if (std::find(FClients.begin(), FClients.end(), AValue) == FClients.end()) FClients.push_back(AValue);
}

void TKivPrintPreviewPanel::UnRegisterChanges(TKivPrintChangeLink* AValue) {
  if (!AValue) return;
  std::erase(FClients, AValue);
  if (AValue->FSender == this) AValue->FSender = nullptr;
}

void TKivPrintPreviewPanel::PrinterRefresh() {
  const TKivPrintPreviewMode mode = FMode <= pmTextWidth ? FMode : pmExactScale;
  ResetVars();
  FMode = mode;
  DropCache();
  UpdateLayout(lrReset);
}

double TKivPrintPreviewPanel::ScreenDpiX() const {
  return std::max(1, logicalDpiX());
}
double TKivPrintPreviewPanel::ScreenDpiY() const {
  return std::max(1, logicalDpiY());
}

// ---- layout ----

void TKivPrintPreviewPanel::UpdateLayout(TReason AReason) {
  if (FDestroing) return;
  if (AReason == lrScroll) {
    PlacePages();
    FPaintPanel->update();
    return;
  }
  const Integer oldReal = FRealScale;
  const QSize oldPageSize = FPageSize;
  const std::vector<Integer> oldNumbers = FPageRectsNumbers;
  const int clientW = width(), clientH = height();
  const Integer m = FMargin;
  int paintW = clientW, paintH = clientH;
  bool hBar = false, vBar = false;
  int hRange = 0, vRange = 0;

  bool printer = false;
  Integer total = 0;
  double pageW = 1, pageH = 1, printableW = 1;
  if (FPrinterHlp) {
    try {
      total = FPrinterHlp->GetPagesCount(orAll);
    } catch (const EKivError&) {
      total = 0;  // pages not prepared: nothing to show
    }
    try {
      TKivPrinter& p = FPrinterHlp->GetPrinter();
      pageW = p.UnitsToUnits(p.RealUnits(), unMillimeters, p.PageWidthFullUnits());
      pageH = p.UnitsToUnits(p.RealUnits(), unMillimeters, p.PageHeightFullUnits());
      printableW = p.UnitsToUnits(p.RealUnits(), unMillimeters, p.PageWidthPrintableUnits());
      printer = pageW > 0 && pageH > 0;
    } catch (const EKivError&) {
      printer = false;
    }
  }
  if (!printer) {
    total = 0;
    pageW = pageH = printableW = 1;
  }
  if (printableW <= 0) printableW = pageW;
  FTotalPages = total;
  FPrinterFullWidthMM = pageW;
  FPrinterFullHeightMM = pageH;
  if (FCurrentPage >= total) FCurrentPage = std::max(0, total - 1);

  const double dpiX = ScreenDpiX(), dpiY = ScreenDpiY();
  // The scale at which the page is one pixel wide (high).
  const double widthFactor = kMmPerInch / dpiX / pageW * 100;
  const double heightFactor = kMmPerInch / dpiY / pageH * 100;
  const Integer cols = FHorzPages, rows = FVertPages;
  const int vBarW = FVScroll->sizeHint().width(), hBarH = FHScroll->sizeHint().height();

  auto pagePixels = [&](double AMM, Integer AScale, double ADpi) {
    const double px = AMM * AScale / 100 * ADpi / kMmPerInch;
    return int(std::clamp(std::lround(px), 1L, long(kMaxPagePixels)));
  };
  Integer real = FScale;
  switch (FMode) {
    case pmExactScale: real = FScale; break;
    case pmWholePage:
      real = std::min(RoundScale((clientH - 2.0 * m) * heightFactor), RoundScale((clientW - 2.0 * m) * widthFactor));
      break;
    case pmTextWidth: {
      const double textFactor = kMmPerInch / dpiX / printableW * 100;
      real = RoundScale(clientW * textFactor);
      // With a vertical scroll bar the text fits the narrower client.
      if (pagePixels(pageH, real, dpiY) + 2 * m > clientH) real = RoundScale((clientW - vBarW) * textFactor);
      break;
    }
    case pmTwoPages:
    case pmExactMultiPages:
      real = std::min(RoundScale((clientW - double(m) * (cols + 1)) * widthFactor / cols),
                      RoundScale((clientH - double(m) * (rows + 1)) * heightFactor / rows));
      break;
  }
  FRealScale = std::max(1, real);
  const int pw = pagePixels(pageW, FRealScale, dpiX), ph = pagePixels(pageH, FRealScale, dpiY);
  FPageSize = QSize(pw, ph);
  FPagePanels = std::max(0, std::min(cols * rows, total - FCurrentPage));

  if (FMode == pmExactScale || FMode == pmTextWidth) {
    const qint64 extW = qint64(pw) + 2 * m, extH = qint64(ph) + 2 * m;
    hBar = extW > clientW;
    vBar = extH > clientH;
    paintW = clientW - (vBar ? vBarW : 0);
    paintH = clientH - (hBar ? hBarH : 0);
    hBar = extW > paintW;
    vBar = extH > paintH;
    paintW = std::max(0, clientW - (vBar ? vBarW : 0));
    paintH = std::max(0, clientH - (hBar ? hBarH : 0));
    hRange = hBar ? int(extW - paintW) : 0;
    vRange = vBar ? int(extH - paintH) : 0;
    FOrigin = QPoint(hBar ? 0 : (paintW - pw) / 2 - m, vBar ? 0 : (paintH - ph) / 2 - m);
    FScrolls = true;
  } else {
    const qint64 gridW = qint64(cols) * pw + qint64(cols + 1) * m;
    const qint64 gridH = qint64(rows) * ph + qint64(rows + 1) * m;
    FOrigin = QPoint(int((clientW - gridW) / 2), int((clientH - gridH) / 2));
    FScrolls = false;
  }
  {
    const QSignalBlocker hBlock(FHScroll), vBlock(FVScroll);
    const bool resetPos = AReason == lrReset || AReason == lrScale;
    auto setBar = [&](QScrollBar* ABar, int ARange) {
      ABar->setRange(0, ARange);
      ABar->setSingleStep(ARange / 100 + 1);
      ABar->setPageStep(ARange / 10 + 1);
      if (resetPos) ABar->setValue(0);
    };
    setBar(FHScroll, hRange);
    setBar(FVScroll, vRange);
  }
  FHScroll->setGeometry(0, paintH, paintW, hBarH);
  FVScroll->setGeometry(paintW, 0, vBarW, paintH);
  FHScroll->setVisible(hBar);
  FVScroll->setVisible(vBar);
  FPaintPanel->setGeometry(0, 0, paintW, paintH);

  FPageRectsNumbers.clear();
  for (Integer k = 0; k < FPagePanels; ++k) FPageRectsNumbers.push_back(FCurrentPage + k);
  PlacePages();
  if (FRealScale != oldReal || FPageSize != oldPageSize) DropCache();
  FPaintPanel->update();
  const bool notify = AReason != lrResize || FRealScale != oldReal || FPageRectsNumbers != oldNumbers;
  if (notify) Change();
}

void TKivPrintPreviewPanel::PlacePages() {
  FPageRects.clear();
  const Integer cols = std::max(1, FHorzPages), m = FMargin;
  const int pw = FPageSize.width(), ph = FPageSize.height();
  const int dx = FScrolls ? FHScroll->value() : 0, dy = FScrolls ? FVScroll->value() : 0;
  for (Integer k = 0; k < FPagePanels; ++k) {
    const Integer col = k % cols, row = k / cols;
    FPageRects.emplace_back(FOrigin.x() + m + col * (pw + m) - dx, FOrigin.y() + m + row * (ph + m) - dy, pw, ph);
  }
}

void TKivPrintPreviewPanel::resizeEvent(QResizeEvent* AEvent) {
  QWidget::resizeEvent(AEvent);
  UpdateLayout(lrResize);
  if (OnResize) OnResize(this);
}

// ---- painting and the page images ----

void TKivPrintPreviewPanel::DropCache() {
  FCache.clear();
  FUse.clear();
  FCacheBytes = 0;
}

void TKivPrintPreviewPanel::TrimCache() {
  auto it = FUse.begin();
  while (FCacheBytes > kCacheBudgetBytes && it != FUse.end()) {
    const Integer page = *it;
    if (std::find(FPageRectsNumbers.begin(), FPageRectsNumbers.end(), page) != FPageRectsNumbers.end()) {
      ++it;
      continue;
    }
    auto entry = FCache.find(page);
    FCacheBytes -= entry->second.Image.sizeInBytes();
    FCache.erase(entry);
    it = FUse.erase(it);
  }
}

QImage TKivPrintPreviewPanel::PageImage(Integer APage, const QRect& ARect, const QRect& AVisible, bool& ACached) {
  const qreal dpr = FPaintPanel->devicePixelRatioF();
  const QSize full(int(std::ceil(ARect.width() * dpr)), int(std::ceil(ARect.height() * dpr)));
  ACached = qint64(full.width()) * full.height() <= kMaxCachedPixels;
  if (ACached) {
    auto it = FCache.find(APage);
    if (it != FCache.end()) {
      if (it->second.Image.size() == full) {
        FUse.splice(FUse.end(), FUse, it->second.Use);
        return it->second.Image;
      }
      FCacheBytes -= it->second.Image.sizeInBytes();
      FUse.erase(it->second.Use);
      FCache.erase(it);
    }
  }
  // The image covers the whole page, or (too large to keep) only its visible part.
  const QRect area = ACached ? ARect : AVisible;
  QImage image(int(std::ceil(area.width() * dpr)), int(std::ceil(area.height() * dpr)),
               QImage::Format_ARGB32_Premultiplied);
  if (image.isNull()) return image;
  image.setDevicePixelRatio(dpr);
  image.fill(Qt::white);
  IKivPrintDevice* device = FPrinterHlp->GetPrinter().GetSysPrinter();
  if (device) {
    // Fonts resolved against the image get the printer's sizes in page pixels; the canvas
    // scales them with the page.
    image.setDotsPerMeterX(int(std::lround(device->DpiX() / 0.0254)));
    image.setDotsPerMeterY(int(std::lround(device->DpiY() / 0.0254)));
  }
  TKivQtMeasureSurface* measure = device ? dynamic_cast<TKivQtMeasureSurface*>(&device->MeasureSurface()) : nullptr;
  if (!measure) {
    const Integer dpi = device ? device->DpiY() : 96;
    if (!FFallbackMeasure || FFallbackDpi != dpi) {
      QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
      font.setPixelSize(std::max(1, int(std::lround(10.0 * dpi / 72))));
      FFallbackMeasure = std::make_unique<TKivQtMeasureSurface>(font);
      FFallbackDpi = dpi;
    }
    measure = FFallbackMeasure.get();
  }
  {
    QPainter painter(&image);
    TKivQtPrintCanvas canvas(painter, *measure);
    const QPoint at = ARect.topLeft() - area.topLeft();
    try {
      FPrinterHlp->DrawPage(orAll, APage, canvas, {at.x(), at.y(), at.x() + ARect.width(), at.y() + ARect.height()});
    } catch (const std::exception&) {
      // A page that cannot be drawn stays blank.
    }
  }
  ++FRenderCount;
  if (ACached) {
    FUse.push_back(APage);
    FCache[APage] = TCached{image, std::prev(FUse.end())};
    FCacheBytes += image.sizeInBytes();
  }
  return image;
}

void TKivPrintPreviewPanel::Paint(QPainter& APainter, const QRect& AExposed) {
  APainter.fillRect(AExposed, FColor);
  if (!FPrinterHlp) return;
  const QRect client = FPaintPanel->rect();
  for (size_t k = 0; k < FPageRects.size(); ++k) {
    const QRect& rect = FPageRects[k];
    const QRect visible = rect & client & AExposed;
    if (visible.isEmpty()) continue;
    bool cached = false;
    const QImage image = PageImage(FPageRectsNumbers[k], rect, visible, cached);
    if (image.isNull()) {
      APainter.fillRect(visible, Qt::white);
      continue;
    }
    APainter.drawImage(cached ? rect.topLeft() : visible.topLeft(), image);
  }
  TrimCache();
}

// ---- keys and wheel ----

bool TKivPrintPreviewPanel::HandleKey(int AKey, Qt::KeyboardModifiers) {
  QScrollBar* v = FVScroll;
  QScrollBar* h = FHScroll;
  try {
    switch (AKey) {
      case Qt::Key_PageUp:
        if (v->value() > v->minimum()) {
          v->setValue(v->value() - v->pageStep());
        } else if (FPrinterHlp && FCurrentPage > 0) {
          SetCurrentPage(FCurrentPage - 1);
          v->setValue(v->maximum());
        }
        return true;
      case Qt::Key_PageDown:
        if (v->value() < v->maximum()) {
          v->setValue(v->value() + v->pageStep());
        } else if (FPrinterHlp && FCurrentPage < FTotalPages - 1) {
          SetCurrentPage(FCurrentPage + 1);
          v->setValue(v->minimum());
        }
        return true;
      case Qt::Key_Home:
        if (FPrinterHlp && FTotalPages > 0) SetCurrentPage(0);
        return true;
      case Qt::Key_End:
        if (FPrinterHlp && FTotalPages > 0) SetCurrentPage(FTotalPages - 1);
        return true;
      case Qt::Key_Up: v->setValue(v->value() - v->singleStep()); return true;
      case Qt::Key_Down: v->setValue(v->value() + v->singleStep()); return true;
      case Qt::Key_Left: h->setValue(h->value() - h->singleStep()); return true;
      case Qt::Key_Right: h->setValue(h->value() + h->singleStep()); return true;
      default: return false;
    }
  } catch (const EKivError& AError) {
    KivUiServices().ErrorBox(this, ToQ(AError.Message()));
    return true;
  }
}

void TKivPrintPreviewPanel::HandleWheel(int ADelta, Qt::KeyboardModifiers AModifiers) {
  FMouseWheelAcc += ADelta;
  const int step = (AModifiers & Qt::ControlModifier) ? FVScroll->pageStep() : FVScroll->singleStep();
  while (std::abs(FMouseWheelAcc) >= kWheelStep) {
    const int dir = FMouseWheelAcc > 0 ? 1 : -1;
    // Wheel forward (away from the user) scrolls up.
    FVScroll->setValue(FVScroll->value() - dir * step);
    FMouseWheelAcc -= dir * kWheelStep;
  }
}

void TKivPrintPreviewPanel::wheelEvent(QWheelEvent* AEvent) {
  HandleWheel(AEvent->angleDelta().y(), AEvent->modifiers());
  AEvent->accept();
}

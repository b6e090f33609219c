// The print preview panel: the pages a printer produces, scaled on screen one page or several at
// a time, in five zoom modes, with scroll bars, keyboard and wheel navigation. A toolbar and a
// status bar follow it through change links; the panel follows its printer as a listener.
//
// Each shown page is painted once per scale into an image that later paints (scrolling, other
// windows uncovering it) copy to the screen. The images are dropped when the scale changes and
// when the printer reports a change.
#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QWidget>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <vector>

#include "KivPrinter.h"

class QScrollBar;
class TKivQtMeasureSurface;

enum TKivPrintPreviewMode : uint8_t { pmExactScale, pmWholePage, pmTextWidth, pmTwoPages, pmExactMultiPages };

class TKivPrintPreviewPanel;

// A registration with a panel: OnChange is called after every change of the panel's scale, page
// or pages. Destroying a link unregisters it.
class TKivPrintChangeLink {
 public:
  TKivPrintChangeLink() = default;
  TKivPrintChangeLink(const TKivPrintChangeLink&) = delete;
  TKivPrintChangeLink& operator=(const TKivPrintChangeLink&) = delete;
  ~TKivPrintChangeLink();

  TKivPrintPreviewPanel* Sender() const { return FSender; }
  void Change();
  std::function<void(TKivPrintPreviewPanel*)> OnChange;

 private:
  friend class TKivPrintPreviewPanel;
  TKivPrintPreviewPanel* FSender = nullptr;
};

class TKivPrintPreviewPanel : public QWidget {
 public:
  // The zoom steps, largest first.
  static const std::vector<Integer>& ZoomSteps();

  explicit TKivPrintPreviewPanel(QWidget* AParent = nullptr);
  ~TKivPrintPreviewPanel() override;

  // Percent; "Scale should be greater than zero" for values <= 0.
  Integer Scale() const { return FScale; }
  void SetScale(Integer AValue);
  // The scale in use (percent, at least 1): Scale in pmExactScale, else fitted to the window.
  Integer RealScale() const { return FRealScale; }
  TKivPrintPreviewMode Mode() const { return FMode; }
  void SetMode(TKivPrintPreviewMode AValue);
  // Pixels around and between pages; "Margin should be more than zero" for values < 0.
  Integer Margin() const { return FMargin; }
  void SetMargin(Integer AValue);
  // From 0; needs a helper and a page of the printer.
  Integer CurrentPage() const { return FCurrentPage; }
  void SetCurrentPage(Integer AValue);
  Integer TotalPages() const { return FTotalPages; }
  Integer HorzPages() const { return FHorzPages; }
  Integer VertPages() const { return FVertPages; }
  // The printer shown (not owned; null: none). The panel listens to it while assigned.
  TKivPrinterHelper* PrinterHelper() const { return FPrinterHlp; }
  void SetPrinterHelper(TKivPrinterHelper* AValue);
  // The background around the pages.
  QColor Color() const { return FColor; }
  void SetColor(const QColor& AValue);

  // Columns and rows of the multi-page modes; ADoChangeMode switches to pmExactMultiPages.
  // Values count as 1 to 10.
  void SetMultiPages(Integer AHorzPages, Integer AVertPages, bool ADoChangeMode);
  // To the next zoom step above (AZoomIn) or below Scale.
  void Zoom(bool AZoomIn);
  // Scale and real scale 100, one page of 1 x 1, page 0 of 0.
  void ResetVars();
  // Tells every change link, then OnChange.
  void Change();
  void RegisterChanges(TKivPrintChangeLink* AValue);
  void UnRegisterChanges(TKivPrintChangeLink* AValue);

  std::function<void(TKivPrintPreviewPanel*)> OnChange;
  std::function<void(TKivPrintPreviewPanel*)> OnResize;

  // The shown pages: their rectangles on the drawing control and their page numbers.
  const std::vector<QRect>& PageRects() const { return FPageRects; }
  const std::vector<Integer>& PageRectsNumbers() const { return FPageRectsNumbers; }
  // The page's size in millimetres (1 x 1 without a printer).
  double PageWidthMM() const { return FPrinterFullWidthMM; }
  double PageHeightMM() const { return FPrinterFullHeightMM; }
  QWidget* PaintPanel() const;
  QScrollBar* HorzScrollBar() const { return FHScroll; }
  QScrollBar* VertScrollBar() const { return FVScroll; }
  // Pages painted into images so far, and the images kept.
  Integer RenderCount() const { return FRenderCount; }
  Integer CachedPages() const { return Integer(FCache.size()); }

  // The drawing control's keys and wheel (also reachable for a host that forwards them).
  bool HandleKey(int AKey, Qt::KeyboardModifiers AModifiers);
  void HandleWheel(int ADelta, Qt::KeyboardModifiers AModifiers);

 protected:
  void resizeEvent(QResizeEvent* AEvent) override;
  void wheelEvent(QWheelEvent* AEvent) override;

 private:
  class TPaintPanel;
  class THelperLst;
  enum TReason : uint8_t { lrReset, lrScale, lrPage, lrScroll, lrResize };

  void UpdateLayout(TReason AReason);
  void PlacePages();
  void PrinterRefresh();
  void Paint(QPainter& APainter, const QRect& AExposed);
  QImage PageImage(Integer APage, const QRect& ARect, const QRect& AVisible, bool& ACached);
  void DropCache();
  void TrimCache();
  double ScreenDpiX() const;
  double ScreenDpiY() const;

  std::vector<TKivPrintChangeLink*> FClients;
  QScrollBar* FHScroll = nullptr;
  QScrollBar* FVScroll = nullptr;
  TPaintPanel* FPaintPanel = nullptr;
  Integer FScale = 100;
  Integer FRealScale = 100;
  Integer FCurrentPage = 0;
  Integer FTotalPages = 0;
  Integer FHorzPages = 1;
  Integer FVertPages = 1;
  Integer FPagePanels = 1;
  std::vector<QRect> FPageRects;
  std::vector<Integer> FPageRectsNumbers;
  double FPrinterFullWidthMM = 1;
  double FPrinterFullHeightMM = 1;
  TKivPrinterHelper* FPrinterHlp = nullptr;
  Integer FMargin = 20;
  std::unique_ptr<THelperLst> FLst;
  TKivPrintPreviewMode FMode = pmExactScale;
  QColor FColor;
  bool FDestroing = false;
  Integer FMouseWheelAcc = 0;

  // Placement of the page grid: the page size in pixels, the grid's origin (without scrolling)
  // and whether the scroll bars move it.
  QSize FPageSize{1, 1};
  QPoint FOrigin;
  bool FScrolls = false;

  // The page images of the current scale, most recently used last.
  struct TCached {
    QImage Image;
    std::list<Integer>::iterator Use;
  };
  std::map<Integer, TCached> FCache;
  std::list<Integer> FUse;
  qint64 FCacheBytes = 0;
  Integer FRenderCount = 0;
  std::unique_ptr<TKivQtMeasureSurface> FFallbackMeasure;
  Integer FFallbackDpi = 0;
};

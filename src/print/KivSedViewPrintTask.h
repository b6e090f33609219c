// Printing the text of an editor view: the print task binds a view core and a printer, lays the
// view's document out again for the page with a printing font at the printer's resolution, and
// draws pages of whole rows with the view's line painter, optionally with line numbers.
//
// Calling order: set View and Printer, PreparePages, then PagesCount, Print or the dialogs, and
// finally FinalizePages (also done when the task, its view or its printer is destroyed).
#pragma once

#include <memory>

#include "KivPrinter.h"
#include "KivSedPainter.h"
#include "KivSedPrintLayout.h"
#include "KivSedViewCore.h"

enum TKivEditViewPrintOption : uint8_t { poPrintHiddenText, poPrintLineNumbers, poPrintSpecialChars };
using TKivEditViewPrintOptions = uint8_t;  // a set of TKivEditViewPrintOption bits
inline constexpr TKivEditViewPrintOptions KivPrintOption(TKivEditViewPrintOption AOption) {
  return TKivEditViewPrintOptions(1u << AOption);
}

class TKivEditViewPrintTask;

// The pixel size of a font printed at ADpi: points at 72 per inch, a size in pixels counting as
// 96 per inch; at least 1.
Integer KivPrintFontPixels(const TKivViewFont& AFont, Integer ADpi);

// Paginates and draws a print task's view.
class TViewRenderer : public TKivPrintRendererBase {
 public:
  explicit TViewRenderer(TKivEditViewPrintTask& ATask);
  ~TViewRenderer() override;

  // Raises EKivEditViewError "Page is too small for the printing font" when not one row fits a
  // page or no text width is left beside the line numbers, before anything changes.
  void PreparePages(Integer APageWidth, Integer APageHeight, IKivPrintDevice& ADevice) override;
  void FinalizePages() override;
  Integer GetPagesCount(TKivPrintOperationRange ARange) override;
  void DrawPage(TKivPrintOperationRange ARange, Integer ANum, const TKivPoint& APoint,
                IKivPrintCanvas& ACanvas) override;

  // The pagination (text width and lines per page; the rest as named; -1 DPI when none).
  TKivPoint ScrSize() const { return FScrSize; }
  Integer PageWidth() const { return FPageWidth; }
  Integer PageHeight() const { return FPageHeight; }
  Integer LineHeight() const { return FLineHeight; }
  Integer GutterWidth() const { return FGutterWidth; }
  Integer GutterLeftPadding() const { return FGutterLeftPadding; }
  Integer Dpi() const { return FDpi; }
  const TKivViewFont& PrintFont() const { return FFont; }
  // The rows of the selection's first and last character (-1 without a selection).
  Integer SelStartRow() const { return FSelStartScr.Y; }
  Integer SelEndRow() const { return FSelEndScr.Y; }
  // The printed layout, or none.
  TKivPrintLayout* Layout() const { return FCache.get(); }

 private:
  class TCacheHost;
  void Reset();

  TKivEditViewPrintTask& FTask;
  TKivPoint FScrSize;
  Integer FPagesCount = 0;
  Integer FSelectedPagesCount = 0;
  Integer FPageWidth = 0, FPageHeight = 0, FLineHeight = 0, FGutterWidth = 0, FGutterLeftPadding = 0;
  Integer FDpi = -1;
  TKivViewFont FFont;
  std::unique_ptr<TCacheHost> FCacheHost;
  std::unique_ptr<TKivPrintLayout> FCache;
  TKivEditPainter FPainter;
  TKivPoint FSelStartScr{-1, -1}, FSelEndScr{-1, -1};
};

class TKivEditViewPrintTask : private IKivViewPrintTask, private TKivPrinterListener {
 public:
  TKivEditViewPrintTask();
  ~TKivEditViewPrintTask() override;
  TKivEditViewPrintTask(const TKivEditViewPrintTask&) = delete;
  TKivEditViewPrintTask& operator=(const TKivEditViewPrintTask&) = delete;

  // Not owned. Refused while pages are prepared. Setting the view copies its special characters
  // and, with ViewFont, its font.
  TKivEditViewCore* View() const { return FView; }
  void SetView(TKivEditViewCore* AValue);
  TKivPrinter* Printer() const { return FPrinter; }
  void SetPrinter(TKivPrinter* AValue);
  TKivEditViewPrintOptions PrintOptions() const { return FPrintOptions; }
  void SetPrintOptions(TKivEditViewPrintOptions AValue);
  bool HasOption(TKivEditViewPrintOption AOption) const { return (FPrintOptions & KivPrintOption(AOption)) != 0; }
  // The font printed with. Setting it turns ViewFont off.
  const TKivViewFont& Font() const { return FFont; }
  void SetFont(const TKivViewFont& AValue);
  // Print with the view's font (followed while on); turning it on copies the view's font.
  bool ViewFont() const { return FViewFont; }
  void SetViewFont(bool AValue);
  // The glyphs of special characters printed.
  TKivSpecialChars& SpecialChars() { return *FSpecialChars; }

  void PreparePages();
  bool PagesPrepared() const { return FPagesPrepared; }
  Integer PagesCount();
  void Print();
  void Print(Integer AStart, Integer ACount);
  bool ExecPrintDlg();
  void ExecPrintPreviewDlg();
  void FinalizePages();

  TViewRenderer& Renderer() { return *FRenderer; }

 private:
  class TPartParent;
  // IKivViewPrintTask
  void ViewFontChanged(TKivEditViewCore& AView) override;
  void ViewDestroying(TKivEditViewCore& AView) override;
  // TKivPrinterListener
  void Refresh(TKivPrinterChangeKinds) override {}
  void PrinterDestroying(TKivPrinter& APrinter) override;

  void CheckPrinter() const;
  void CheckView() const;
  void CheckNotPrepared() const;
  void CheckPrepared() const;
  void CheckReady() const;
  void CopyViewFont();
  // Drops prepared pages without the checks (the view or printer is going).
  void DropPages() noexcept;

  TKivPrinter* FPrinter = nullptr;
  TKivEditViewCore* FView = nullptr;
  TKivViewFont FFont;
  bool FUpdatingFont = false;
  bool FViewFont = true;
  TKivEditViewPrintOptions FPrintOptions = 0;
  bool FPagesPrepared = false;
  std::unique_ptr<TViewRenderer> FRenderer;
  std::unique_ptr<TPartParent> FPartParent;
  std::unique_ptr<TKivSpecialChars> FSpecialChars;
};

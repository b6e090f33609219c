// The print preview's windows: the modal preview form (toolbar, panel, status bar), the dialog
// component that shows it for a printer, the 3 x 2 picker of the multi-page layout, and the
// preview as the print engine's dialog layer opens it (TKivPrinter::ExecPreviewDlg).
#pragma once

#include <QDialog>
#include <functional>

#include "KivPrintPreview.h"
#include "KivPrintToolBar.h"

// A borderless picker of columns and rows: a 3 x 2 grid of cells; moving the pointer highlights
// the cells whose top-left corner lies above and left of it, a click closes with OK, Escape with
// Cancel.
class TKivPrintPreviewModeDialog : public QDialog {
 public:
  static constexpr int kCols = 3;
  static constexpr int kRows = 2;

  explicit TKivPrintPreviewModeDialog(QWidget* AParent = nullptr);

  // The highlighted extent (0 before the pointer moved over a cell).
  int RowCount() const { return FRowCount; }
  int ColCount() const { return FColCount; }
  // Cell and gap sizes in pixels (18 and 4 at 96 dpi), and a cell's rectangle.
  int CellSize() const { return FCell; }
  int Gap() const { return FGap; }
  QRect CellRect(int ACol, int ARow) const;

 protected:
  void paintEvent(QPaintEvent* AEvent) override;
  void mouseMoveEvent(QMouseEvent* AEvent) override;
  void mousePressEvent(QMouseEvent* AEvent) override;
  void mouseReleaseEvent(QMouseEvent* AEvent) override;

 private:
  void Highlight(const QPoint& APos);

  int FCell = 18;
  int FGap = 4;
  int FRowCount = 0;
  int FColCount = 0;
  bool FPressed = false;
};

// "Print Preview": the toolbar with every item, the panel (scale 100, pmExactScale) and the
// status bar. Escape closes it with OK, the Close button and the window's close box with Cancel.
class TKivPrintPreviewForm : public QDialog {
 public:
  explicit TKivPrintPreviewForm(QWidget* AParent = nullptr);
  ~TKivPrintPreviewForm() override;

  TKivPrintToolBar* ToolBar() const { return FToolBar; }
  TKivPrintPreviewPanel* PreviewPanel() const { return FPanel; }
  TKivPrintStatusBar* StatusBar() const { return FStatusBar; }

 protected:
  bool eventFilter(QObject* AWatched, QEvent* AEvent) override;
  void keyPressEvent(QKeyEvent* AEvent) override;

 private:
  TKivPrintToolBar* FToolBar;
  TKivPrintPreviewPanel* FPanel;
  TKivPrintStatusBar* FStatusBar;
};

// Shows the preview of AHelper's printer modally, the panel connected to the helper while the
// form is open; true unless the form was cancelled. The printer needs prepared pages.
bool KivExecPrintPreview(TKivPrinterHelper& AHelper, QWidget* AParent = nullptr);

// The dialog component: shows the preview for its printer.
class TKivPrintPreviewDialog {
 public:
  TKivPrintPreviewDialog() = default;
  TKivPrintPreviewDialog(const TKivPrintPreviewDialog&) = delete;
  TKivPrintPreviewDialog& operator=(const TKivPrintPreviewDialog&) = delete;

  // Not owned.
  TKivPrinter* Printer() const { return FPrinter; }
  void SetPrinter(TKivPrinter* AValue) { FPrinter = AValue; }
  // Raises "Printer property should be assigned for this operation" without a printer, and the
  // printer's error without prepared pages; true unless the form was cancelled.
  bool Execute(QWidget* AParent = nullptr);
  bool ShowModal(QWidget* AParent = nullptr) { return Execute(AParent); }
  // The form while Execute runs, else null.
  TKivPrintPreviewForm* GetDialogForm() const { return FForm; }

 private:
  TKivPrinter* FPrinter = nullptr;
  TKivPrintPreviewForm* FForm = nullptr;
};

// The print engine's dialog layer as far as it exists in Qt: Preview opens the preview form;
// page setup, print and printer setup go to Next (the dialogs of the page setup and print
// dialogs), and raise "Print dialogs are not available" while there is none.
class TKivPreviewPrintDialogs : public IKivPrintDialogs {
 public:
  bool PageSetup(TKivPrinter& APrinter, TKivDoubleRect& AMargins, TKivPageTemplateBlock& AHeader,
                 TKivPageTemplateBlock& AFooter) override;
  bool Print(TKivPrinter& APrinter, Integer APagesCount, bool ASelection, TKivPrintDlgResult& AResult) override;
  bool PrintSetup(TKivPrinter& APrinter, TKivPrinterSettings& ASettings) override;
  void Preview(TKivPrinterHelper& AHelper) override;

  IKivPrintDialogs* Next = nullptr;
};
// Registers a process-wide TKivPreviewPrintDialogs with the print engine when no dialog layer is
// registered yet, and returns it: the preview alone, for a program without the other printing
// windows (the start-up registration of kivdialogs registers them all, see KivSedPrintDialogs.h).
TKivPreviewPrintDialogs& KivQtPreviewRegister();

// The demo application's main window: a document filled with the sample program and the demo's
// schemes, the editor view on it, two rows of buttons for the editor's dialogs and printing, and
// the components those buttons open. A click on an e-mail or web address in the text reports it.
//
// Besides the sample the window can edit a file: LoadFile reads it with the document's own file
// loading, Ctrl+S saves it (the sample asks for a file name first), the caption shows the file's
// name and " *" while the text is modified, and closing with unsaved changes asks first.
//
// No error leaves a handler: errors of the dialogs, the print flows and saving go to the one
// error display (TKivCustomEditView::ShowError).
#pragma once

#include <QSize>
#include <QString>
#include <QWidget>
#include <memory>

#include "KivEncoding.h"
#include "KivSedView.h"

class QPushButton;
class QToolButton;
class TKivEditColorSchemeDialog;
class TKivEditDocument;
class TKivEditFindDialog;
class TKivEditGotoLineDialog;
class TKivEditKeybindingsDialog;
class TKivEditReplaceDialog;
class TKivEditSyntaxSchemeDialog;
class TKivEditViewPrintTask;
class TKivPrintDialog;
class TKivPrintPageSetupDialog;
class TKivPrintPreviewDialog;
class TKivPrinter;
class TKivPrinterSetupDialog;

class TDialogsForm : public QWidget {
 public:
  // The window as it starts: caption, position and client size, the document, the view and the
  // buttons. Not shown yet.
  explicit TDialogsForm(QWidget* AParent = nullptr);
  ~TDialogsForm() override;
  TDialogsForm(const TDialogsForm&) = delete;
  TDialogsForm& operator=(const TDialogsForm&) = delete;

  // The window's place and size at start-up (the client area) and its smallest outer size.
  static constexpr int KLeft = 220;
  static constexpr int KTop = 162;
  static constexpr int KClientWidth = 661;
  static constexpr int KClientHeight = 457;
  static constexpr int KMinWidth = 591;
  static constexpr int KMinHeight = 476;
  // The view keeps this height at the bottom edge, spanning the width.
  static constexpr int KViewHeight = 385;

  // The smallest client area inside a frame of the given total width and height (the frame's
  // left and right parts together, its caption, top and bottom parts together).
  static QSize MinimumClientSize(int AFrameWidth, int AFrameHeight);

  // Created first and freed last: the view refers to it.
  const std::unique_ptr<TKivEditDocument> Doc;
  TKivEditView* View = nullptr;
  // First row: flat buttons outside the tab order.
  QToolButton* btnFind = nullptr;
  QToolButton* btnReplace = nullptr;
  QToolButton* btnGoto = nullptr;
  QToolButton* btnKeybindings = nullptr;
  QToolButton* btnColorSchemes = nullptr;
  QToolButton* btnSyntax = nullptr;
  // Second row: push buttons, in the tab order after the view.
  QPushButton* btnPrintSetup = nullptr;
  QPushButton* btnPageSetup = nullptr;
  QPushButton* btnPrintPreview = nullptr;
  QPushButton* btnPrint = nullptr;

  // The components the handlers use, created after the view in this order (and freed in the
  // reverse order, before the view).
  std::unique_ptr<TKivEditFindDialog> dlgFind;
  std::unique_ptr<TKivEditReplaceDialog> dlgReplace;
  std::unique_ptr<TKivEditKeybindingsDialog> dlgKeybindings;
  std::unique_ptr<TKivEditSyntaxSchemeDialog> dlgSyntax;
  std::unique_ptr<TKivEditColorSchemeDialog> dlgColor;
  std::unique_ptr<TKivEditGotoLineDialog> dlgGotoLine;
  std::unique_ptr<TKivPrinter> Printer;
  std::unique_ptr<TKivPrintDialog> dlgPrint;
  std::unique_ptr<TKivPrinterSetupDialog> dlgPrintSetup;
  std::unique_ptr<TKivPrintPreviewDialog> dlgPrintPreview;
  std::unique_ptr<TKivEditViewPrintTask> PrintTask;
  std::unique_ptr<TKivPrintPageSetupDialog> dlgPageSetup;

  // The buttons' handlers. Each runs guarded: what it raises goes to the error display.
  void btnFindClick();
  void btnReplaceClick();
  void btnGotoClick();
  void btnKeybindingsClick();
  void btnColorSchemesClick();
  void btnSyntaxClick();
  void btnPrintSetupClick();
  // Copies the printer's margins and its header and footer templates into the page setup
  // dialog, runs it, and whatever its result copies margins and templates back to the printer.
  void btnPageSetupClick();
  // Prepares the print task's pages, shows the preview and releases the pages again (also when
  // the preview fails; a failed preparation leaves nothing to release).
  void btnPrintPreviewClick();
  // Prepares the pages, runs the print task's print dialog and printing, releases the pages.
  void btnPrintClick();
  // The view's mouse-down event: a press on an e-mail or web address shows what was found and
  // stops the press (any button); elsewhere the view handles it as usual.
  void ViewMouseDown(TKivEditViewCore& AView, TKivMouseButton AButton, TKivShiftState AShift, Integer AX,
                     Integer AY, bool& AStop);

  // ---- the file being edited ----
  // Replaces the sample by the file's text (read with the document's own loading: a byte-order
  // mark decides the code page, else ACodePage, else UTF-8 and, for bytes that are no UTF-8,
  // windows-1252). The syntax scheme follows the file's name (KivDemoSchemeForFile, else
  // "Text"); new line breaks are those of the file's first line. Raises the document's error
  // when the file cannot be read (the window is then unchanged). ACodePage -1: none given.
  void LoadFile(const QString& AFileName, TKivCodePageRef ACodePage = -1);
  // The file being edited; empty for the sample.
  const QString& FileName() const { return FFileName; }
  // The name questions and the caption use: the file's name without its folder, or "sample.c".
  QString DisplayName() const;
  // Saves the text with the document's own saving (its code page and line breaks, the file
  // replaced only when everything was written). For the sample it asks for a file name first
  // (and whether to replace an existing file). False when cancelled; raises when saving fails.
  bool Save();
  // Ctrl+S: Save, its errors to the error display.
  void SaveClick();
  // "Vornish" for the sample, "Vornish - NAME" for a file, " *" appended while modified.
  QString Caption() const;

 protected:
  void resizeEvent(QResizeEvent* AEvent) override;
  void showEvent(QShowEvent* AEvent) override;
  void moveEvent(QMoveEvent* AEvent) override;
  // With unsaved changes asks "Save changes to NAME?": Yes saves (the window stays when saving
  // is cancelled or fails), No closes without writing, Cancel keeps the window.
  void closeEvent(QCloseEvent* AEvent) override;

 private:
  void FillDocument();
  void CreateButtons();
  void CreateComponents();
  void ConnectHandlers();
  void PlaceView();
  void UpdateMinimumSize();
  void UpdateCaption();

  QString FFileName;
};

// Renders AWindow as it would appear on screen (its client area) into a PNG file. The file is
// replaced only when the whole picture was written. Returns an empty string on success, else
// what went wrong.
QString KivSaveWindowPicture(QWidget& AWindow, const QString& AFileName);

// Runs the main window's print preview ("Print preview") offscreen and writes a picture of the
// preview window, showing the whole first page, to a PNG file (see KivSaveWindowPicture). Returns
// an empty string on success, else what went wrong.
QString KivSavePreviewPicture(TDialogsForm& AForm, const QString& AFileName);

// The printing dialogs, bound to a printer component instead of a global printer:
//  - TKivPrintPageSetupDialog: paper, orientation, margins and (through two extra buttons) the
//    header and footer templates, in our own "Page settings" window with a page sample whose
//    drawing steps the application can take over;
//  - TKivPrintDialog: page range, copies and collation, over Qt's print dialog;
//  - TKivPrinterSetupDialog: the printer, paper and orientation, in our own "Print setup" window;
//  - the template editor ("Edit template"), a small rich-text editor with the template fields.
// TKivQtPrintDialogs offers them to the printer (ExecPageSetupDlg, ExecPrintDlg,
// ExecPrintSetupDlg). Every question and chooser goes through the UI services.
#pragma once

#include <QPageSize>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

#include "KivPrinter.h"
#include "KivSedDialogForm.h"

class QAction;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPainter;
class QPushButton;
class QRadioButton;
class QTextEdit;
class QToolBar;
class QToolButton;

// ---- common ----

// The common part of the printing dialogs: the printer they work on (not owned) and Execute,
// which tells OnShow, runs the dialog and tells OnClose; its result is the dialog's.
// The printer must outlive the dialog's use of it (or be set to none before it is destroyed).
class TKivPrintBaseDialog {
 public:
  // AOwner: the owner's window places the dialog (see the page setup's DlgPosition).
  explicit TKivPrintBaseDialog(QWidget* AOwner = nullptr) : FOwner(AOwner) {}
  virtual ~TKivPrintBaseDialog() = default;
  TKivPrintBaseDialog(const TKivPrintBaseDialog&) = delete;
  TKivPrintBaseDialog& operator=(const TKivPrintBaseDialog&) = delete;

  TKivPrinterBase* Printer() const { return FPrinter; }
  virtual void SetPrinter(TKivPrinterBase* AValue) { FPrinter = AValue; }
  QWidget* Owner() const { return FOwner.data(); }

  // AParentWnd: the window to centre on; none: the owner's window.
  bool Execute(QWidget* AParentWnd = nullptr);
  std::function<void()> OnShow;
  std::function<void()> OnClose;

 protected:
  virtual bool DoExecute(QWidget* AParentWnd) = 0;
  // The printer; without one EKivPrintPackError "Printer property should be assigned for this
  // operation".
  TKivPrinterBase& CheckPrinter() const;

 private:
  QPointer<QWidget> FOwner;
  TKivPrinterBase* FPrinter = nullptr;
};

// ---- page setup ----

// psoDisableMargins, psoDisableOrientation and psoDisablePaper disable their group,
// psoDisablePagePainting leaves the sample blank, psoDisablePrinter hides "&Printer...",
// psoDisableHeaderFooter leaves out "&Header" and "Foo&ter". The window has no help or network
// button and asks no warning, so psoShowHelp, psoWarning and psoNoNetworkButton change nothing.
enum TKivPageSetupDialogOption : uint8_t {
  psoDisableMargins,
  psoDisableOrientation,
  psoDisablePagePainting,
  psoDisablePaper,
  psoDisablePrinter,
  psoDisableHeaderFooter,
  psoShowHelp,
  psoWarning,
  psoNoNetworkButton
};
using TKivPageSetupDialogOptions = uint16_t;  // a set of TKivPageSetupDialogOption bits
inline constexpr TKivPageSetupDialogOptions KivPso(TKivPageSetupDialogOption AOption) {
  return TKivPageSetupDialogOptions(1u << AOption);
}
enum TKivPageSetupDialogPosition : uint8_t { rdpOwner, rdpMainForm, rdpScreen };
enum TKivPageType : uint8_t { ptEnvelope, ptPaper };

class TKivPrintPageSetupDialog;
// Before the sample is painted: the paper, orientation and page type; DoneDrawing true draws
// nothing more.
using TKivPageSetupBeforePaintEvent =
    std::function<void(TKivPrintPageSetupDialog& ASender, QPageSize::PageSizeId APaperSize,
                       TKivPrinterOrientation AOrientation, TKivPageType APageType, bool& ADoneDrawing)>;
// One drawing step of the sample on ACanvas in APageRect (sample pixels); DoneDrawing true
// suppresses the step's own drawing.
using TKivPaintPageEvent = std::function<void(TKivPrintPageSetupDialog& ASender, QPainter& ACanvas,
                                              const QRect& APageRect, bool& ADoneDrawing)>;

// Whether a paper size is an envelope.
bool KivIsEnvelope(QPageSize::PageSizeId AId);
// Margins in the dialog: whole hundredths of a millimetre (unMillimeters) or thousandths of an
// inch (unInches), rounded up without letting a value that is already whole creep.
Integer KivMarginToDialog(double AValue, TKivMeasureUnits AUnits);
double KivMarginFromDialog(Integer AValue, TKivMeasureUnits AUnits);

class TKivPrintPageSetupDialog : public TKivPrintBaseDialog {
 public:
  explicit TKivPrintPageSetupDialog(QWidget* AOwner = nullptr);
  ~TKivPrintPageSetupDialog() override;

  // Setting a printer raises each stored margin to the new printer's minimum.
  void SetPrinter(TKivPrinterBase* AValue) override;
  // In the printer's RealUnits. Setting needs a printer and raises each side to its minimum;
  // "Bad margins rectangle given" when no page area is left.
  const TKivDoubleRect& Margins() const { return FMargin; }
  void SetMargins(const TKivDoubleRect& AValue);
  TKivPageSetupDialogOptions Options() const { return FOptions; }
  void SetOptions(TKivPageSetupDialogOptions AValue) { FOptions = AValue; }
  TKivPageSetupDialogPosition DlgPosition() const { return FDlgPosition; }
  void SetDlgPosition(TKivPageSetupDialogPosition AValue) { FDlgPosition = AValue; }
  // The templates being edited, held by a private printer. Setting copies the given template
  // (with its formats); null raises "Argument can not be nil".
  TKivPageTemplateBlock& HeaderTemplate();
  TKivPageTemplateBlock& FooterTemplate();
  void SetHeaderTemplate(const TKivPageTemplateBlock* AValue);
  void SetFooterTemplate(const TKivPageTemplateBlock* AValue);

  TKivPageSetupBeforePaintEvent OnBeforePaint;
  TKivPaintPageEvent OnDrawRetAddress;
  TKivPaintPageEvent OnDrawMinMargin;
  TKivPaintPageEvent OnDrawEnvStamp;
  TKivPaintPageEvent OnDrawFullPage;
  TKivPaintPageEvent OnDrawGreekText;
  TKivPaintPageEvent OnDrawMargin;

  // The window Execute would be placed on for AParentWnd (none: centred on the screen).
  QWidget* PlacementWindow(QWidget* AParentWnd) const;

 protected:
  bool DoExecute(QWidget* AParentWnd) override;

 private:
  TKivPrinter& TmpPrinter();
  TKivDoubleRect Fitted(const TKivDoubleRect& AValue, const TKivPrinterBase& APrinter) const;

  TKivDoubleRect FMargin;
  TKivPageSetupDialogOptions FOptions = 0;
  std::unique_ptr<TKivPrinter> FTmpPrinter;
  TKivPageSetupDialogPosition FDlgPosition = rdpOwner;
};

// The page sample of the page setup window.
class TKivPageSample : public QWidget {
 public:
  TKivPageSample(TKivPrintPageSetupDialog& AOwner, QWidget* AParent);
  // What the sample shows: the paper (portrait millimetres), orientation and margins as
  // fractions of the sheet (left, top, right, bottom).
  void SetPage(QPageSize::PageSizeId AId, QSizeF APaperMM, TKivPrinterOrientation AOrientation,
               QRectF AMinFractions, QRectF AMarginFractions);
  bool Painting = true;  // false with psoDisablePagePainting

 protected:
  void paintEvent(QPaintEvent* AEvent) override;

 private:
  TKivPrintPageSetupDialog& FOwner;
  QPageSize::PageSizeId FId = QPageSize::A4;
  QSizeF FPaperMM{210, 297};
  TKivPrinterOrientation FOrientation = poPortrait;
  QRectF FMin, FMargin;
};

// The "Page settings" window. Margins are held in whole dialog units (see KivMarginToDialog).
class TKivSedPageSetupDlg : public TKivSedDialogForm {
 public:
  TKivSedPageSetupDlg(TKivPrintPageSetupDialog& AOwner, TKivPrinterBase& APrinter, QWidget* AParent);

  // The margins as the boxes show them, in dialog units (left, top, right, bottom).
  TKivRect DialogMargins() const;
  // The chosen device settings (the printer's, with paper and orientation as chosen).
  TKivPrinterSettings ChosenSettings() const;

  QComboBox* cbxSize;
  QComboBox* cbxFeed;
  QRadioButton* rbPortrait;
  QRadioButton* rbLandscape;
  QDoubleSpinBox* edtLeft;
  QDoubleSpinBox* edtRight;
  QDoubleSpinBox* edtTop;
  QDoubleSpinBox* edtBottom;
  QPushButton* btnHeader = nullptr;  // absent with psoDisableHeaderFooter
  QPushButton* btnFooter = nullptr;
  QPushButton* btnPrinter;
  QPushButton* btnOk;
  QPushButton* btnCancel;
  TKivPageSample* pnlSample;

 private:
  void FillPapers();
  void UpdateSample();
  void Confirm();
  QSizeF ChosenPaperMM() const;

  TKivPrintPageSetupDialog& FOwner;
  TKivPrinterBase& FPrinter;
  TKivPrinterSettings FSettings;
  TKivMeasureUnits FUnits;
};

// ---- print ----

enum TKivPrintDialogOption : uint8_t { poPrintToFile, poPageNums, poSelection, poWarning, poHelp, poDisablePrintToFile };
using TKivPrintDialogOptions = uint8_t;
inline constexpr TKivPrintDialogOptions KivPdo(TKivPrintDialogOption AOption) {
  return TKivPrintDialogOptions(1u << AOption);
}
enum TKivPrintRange : uint8_t { prAllPages, prSelection, prPageNums };

class TKivPrintDialog : public TKivPrintBaseDialog {
 public:
  using TKivPrintBaseDialog::TKivPrintBaseDialog;

  Integer FromPage() const { return FFromPage; }
  void SetFromPage(Integer AValue) { FFromPage = AValue; }
  Integer ToPage() const { return FToPage; }
  void SetToPage(Integer AValue) { FToPage = AValue; }
  bool Collate() const { return FCollate; }
  void SetCollate(bool AValue) { FCollate = AValue; }
  TKivPrintDialogOptions Options() const { return FOptions; }
  void SetOptions(TKivPrintDialogOptions AValue) { FOptions = AValue; }
  bool PrintToFile() const { return FPrintToFile; }
  void SetPrintToFile(bool AValue) { FPrintToFile = AValue; }
  TKivPrintRange PrintRange() const { return FPrintRange; }
  void SetPrintRange(TKivPrintRange AValue) { FPrintRange = AValue; }
  Integer MinPage() const { return FMinPage; }
  void SetMinPage(Integer AValue) { FMinPage = AValue; }
  Integer MaxPage() const { return FMaxPage; }
  void SetMaxPage(Integer AValue) { FMaxPage = AValue; }
  Integer Copies() const { return FCopies; }
  void SetCopies(Integer AValue) { FCopies = AValue; }
  // The page ranges chosen (first and last page of each), as the user typed them ("1-3,5").
  const std::vector<std::pair<Integer, Integer>>& PageRanges() const { return FRanges; }

 protected:
  bool DoExecute(QWidget* AParentWnd) override;

 private:
  Integer FFromPage = 0, FToPage = 0;
  bool FCollate = false;
  TKivPrintDialogOptions FOptions = 0;
  bool FPrintToFile = false;
  TKivPrintRange FPrintRange = prAllPages;
  Integer FMinPage = 0, FMaxPage = 0, FCopies = 0;
  std::vector<std::pair<Integer, Integer>> FRanges;
};

// ---- printer setup ----

// The "Print setup" window: the printers (the PDF printer always), their state and location,
// paper and orientation.
class TKivSedPrinterSetupDlg : public TKivSedDialogForm {
 public:
  TKivSedPrinterSetupDlg(const TKivPrinterSettings& ASettings, bool APdf, QWidget* AParent);
  TKivPrinterSettings ChosenSettings() const;
  // The name the list shows for the PDF printer.
  static QString PdfPrinterName();

  QComboBox* cbxPrinter;
  QLabel* lblState;
  QLabel* lblLocation;
  QComboBox* cbxPaper;
  QRadioButton* rbPortrait;
  QRadioButton* rbLandscape;
  QPushButton* btnOk;
  QPushButton* btnCancel;

 private:
  void PrinterChosen();
  TKivPrinterSettings FSettings;
};

class TKivPrinterSetupDialog : public TKivPrintBaseDialog {
 public:
  using TKivPrintBaseDialog::TKivPrintBaseDialog;

 protected:
  // OK applies the choice with the printer's SetPrinter.
  bool DoExecute(QWidget* AParentWnd) override;
};
// Runs the "Print setup" window on ASettings; true (ASettings changed) when confirmed.
bool KivExecutePrinterSetupDlg(TKivPrinterSettings& ASettings, bool APdf, QWidget* AParent);

// ---- template editor ----

class TKivTemplateEditDialog : public TKivSedDialogForm {
 public:
  explicit TKivTemplateEditDialog(QWidget* AParent = nullptr);

  QToolBar* tbMain;
  QTextEdit* reMain;
  QPushButton* btnOk;
  QPushButton* btnCancel;
  QToolButton* btnFields;
  QMenu* mnuFields;
  QAction* actFileOpen;
  QAction* actFileSaveAs;
  QAction* actUndo;
  QAction* actFontEdit;
  QAction* actBold;
  QAction* actItalic;
  QAction* actUnderline;
  QAction* actAlignLeft;
  QAction* actAlignCenter;
  QAction* actAlignRight;

  // The check marks and Undo as the editor stands now.
  void UpdateActions();

 protected:
  bool eventFilter(QObject* AObject, QEvent* AEvent) override;

 private:
  void OpenFile();
  void SaveFileAs();
  void EditFont();
  void InsertField(const QString& AField);
};

// Edits AText in the template editor captioned ACaption; on OK copies the text with its formats
// back and returns true.
bool KivExecuteTemplateEditDlg(const QString& ACaption, IKivRichText& AText, QWidget* AParent = nullptr);

// ---- the printer's dialogs ----

// The dialogs the printer opens. Preview goes to PreviewFn (set by the print preview); without
// one it raises "Print dialogs are not available".
class TKivQtPrintDialogs : public IKivPrintDialogs {
 public:
  bool PageSetup(TKivPrinter& APrinter, TKivDoubleRect& AMargins, TKivPageTemplateBlock& AHeader,
                 TKivPageTemplateBlock& AFooter) override;
  bool Print(TKivPrinter& APrinter, Integer APagesCount, bool ASelection, TKivPrintDlgResult& AResult) override;
  bool PrintSetup(TKivPrinter& APrinter, TKivPrinterSettings& ASettings) override;
  void Preview(TKivPrinterHelper& AHelper) override;

  std::function<void(TKivPrinterHelper&)> PreviewFn;
  // The window the dialogs are centred on (none: the active window).
  QPointer<QWidget> Parent;
};
// The process's instance, registered with the printer by KivQtPrintRegister's library.
TKivQtPrintDialogs& KivQtPrintDialogs();

#include "VornishMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QSaveFile>
#include <QShortcut>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

#include "KivDemoData.h"
#include "KivPrintPreviewDlg.h"
#include "KivPrinter.h"
#include "KivSedDialogs.h"
#include "KivSedDocument.h"
#include "KivSedPrintDialogs.h"
#include "KivSedViewPrintTask.h"
#include "KivUiServices.h"
#include "VornishLinks.h"
#include "VornishView.h"

namespace {

// The client area is never made taller than it starts by the smallest size.
constexpr int KMinClientHeight = TDialogsForm::KClientHeight;
constexpr int KButtonHeight = 25;
constexpr int KFirstRowTop = 8;
constexpr int KSecondRowTop = 41;

template <class TButton>
TButton* AddButton(QWidget* AParent, const char* AName, int ALeft, int ATop, int AWidth,
                   const char* ACaption) {
  auto* button = new TButton(AParent);
  button->setObjectName(QLatin1String(AName));
  button->setText(QString::fromUtf8(ACaption));
  button->setGeometry(ALeft, ATop, AWidth, KButtonHeight);
  return button;
}

QToolButton* AddSpeedButton(QWidget* AParent, const char* AName, int ALeft, int AWidth,
                            const char* ACaption) {
  auto* button = AddButton<QToolButton>(AParent, AName, ALeft, KFirstRowTop, AWidth, ACaption);
  button->setAutoRaise(true);
  button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

QPushButton* AddPushButton(QWidget* AParent, const char* AName, int ALeft, int AWidth, const char* ACaption) {
  return AddButton<QPushButton>(AParent, AName, ALeft, KSecondRowTop, AWidth, ACaption);
}

QString ToQ(TKivStringView AText) {
  return QString::fromUtf16(AText.data(), qsizetype(AText.size()));
}

TKivString FromQ(const QString& AText) {
  return AText.toStdU16String();
}

// Releases a print task's pages when the scope ends, unless released already.
class TPagesGuard {
 public:
  explicit TPagesGuard(TKivEditViewPrintTask& ATask) : FTask(ATask) {}
  ~TPagesGuard() {
    if (FTask.PagesPrepared()) {
      try {
        FTask.FinalizePages();
      } catch (...) {
        // Releasing pages of a task whose view or printer has gone raises; nothing is held then.
      }
    }
  }
  TPagesGuard(const TPagesGuard&) = delete;
  TPagesGuard& operator=(const TPagesGuard&) = delete;
  // Releases now, raising what releasing raises.
  void Finalize() { FTask.FinalizePages(); }

 private:
  TKivEditViewPrintTask& FTask;
};

}  // namespace

TDialogsForm::TDialogsForm(QWidget* AParent) : QWidget(AParent), Doc(std::make_unique<TKivEditDocument>()) {
  setObjectName(QStringLiteral("DialogsForm"));
  setWindowTitle(QStringLiteral("Vornish"));
  QFont font(QStringLiteral("Tahoma"));
  font.setPixelSize(11);
  setFont(font);
  setBackgroundRole(QPalette::Button);
  setAutoFillBackground(true);

  FillDocument();
  View = KivDemoCreateView(*Doc, this);
  View->setObjectName(QStringLiteral("View"));
  View->setGeometry(0, KClientHeight - KViewHeight, KClientWidth, KViewHeight);
  CreateButtons();
  CreateComponents();
  ConnectHandlers();

  // The view comes first in the tab order and has the focus when the window opens.
  setTabOrder(View, btnPrintSetup);
  setTabOrder(btnPrintSetup, btnPrintPreview);
  setTabOrder(btnPrintPreview, btnPrint);
  setTabOrder(btnPrint, btnPageSetup);
  View->setFocus();

  move(KLeft, KTop);
  resize(KClientWidth, KClientHeight);
  UpdateMinimumSize();
}

TDialogsForm::~TDialogsForm() {
  // The components go in the reverse order of their making, while the view and the document are
  // still there; the view refers to the document, which goes with this object's members, before
  // the children.
  dlgPageSetup.reset();
  PrintTask.reset();
  dlgPrintPreview.reset();
  dlgPrintSetup.reset();
  dlgPrint.reset();
  if (KivQtPrintDialogs().Parent == this) KivQtPrintDialogs().Parent = nullptr;
  Printer.reset();
  dlgGotoLine.reset();
  dlgColor.reset();
  dlgSyntax.reset();
  dlgKeybindings.reset();
  dlgReplace.reset();
  dlgFind.reset();
  Doc->OnDocChanged = nullptr;
  delete View;
  View = nullptr;
}

void TDialogsForm::FillDocument() {
  // As a window read from its stored description: the schemes are applied once everything is in,
  // and a scheme that fails to load leaves the text unhighlighted instead of stopping the program.
  Doc->BeginLoading();
  try {
    KivDemoFillDocument(*Doc);
  } catch (...) {
    Doc->EndLoading();
    throw;
  }
  Doc->EndLoading();
}

void TDialogsForm::CreateButtons() {
  btnFind = AddSpeedButton(this, "btnFind", 16, 57, "Find");
  btnReplace = AddSpeedButton(this, "btnReplace", 80, 57, "Replace");
  btnGoto = AddSpeedButton(this, "btnGoto", 144, 65, "Go to line");
  btnKeybindings = AddSpeedButton(this, "btnKeybindings", 216, 97, "Edit keybindings");
  btnColorSchemes = AddSpeedButton(this, "btnColorSchemes", 320, 121, "Edit color schemes");
  btnSyntax = AddSpeedButton(this, "btnSyntax", 448, 121, "Edit syntax schemes");
  btnPrintSetup = AddPushButton(this, "btnPrintSetup", 16, 75, "Print setup");
  btnPageSetup = AddPushButton(this, "btnPageSetup", 97, 75, "Page setup");
  btnPrintPreview = AddPushButton(this, "btnPrintPreview", 185, 75, "Print preview");
  btnPrint = AddPushButton(this, "btnPrint", 266, 47, "Print");
}

void TDialogsForm::CreateComponents() {
  dlgFind = std::make_unique<TKivEditFindDialog>();
  dlgFind->SetView(View);
  dlgReplace = std::make_unique<TKivEditReplaceDialog>();
  dlgReplace->SetView(View);
  dlgKeybindings = std::make_unique<TKivEditKeybindingsDialog>();
  dlgKeybindings->SetView(View);
  dlgSyntax = std::make_unique<TKivEditSyntaxSchemeDialog>();
  dlgSyntax->SetDocument(Doc.get());
  dlgSyntax->SetSyntaxScheme(u"C");
  dlgColor = std::make_unique<TKivEditColorSchemeDialog>();
  dlgColor->SetDocument(Doc.get());
  dlgColor->SetColorScheme(u"default");
  dlgGotoLine = std::make_unique<TKivEditGotoLineDialog>();
  dlgGotoLine->SetView(View);
  // The system's default printer, or the virtual PDF printer when there is none.
  Printer = std::make_unique<TKivPrinter>();
  // The printer's own dialogs (opened from the preview) centre on this window.
  KivQtPrintDialogs().Parent = this;
  dlgPrint = std::make_unique<TKivPrintDialog>(this);
  dlgPrint->SetPrinter(Printer.get());
  dlgPrint->SetOptions(KivPdo(poPageNums));
  dlgPrintSetup = std::make_unique<TKivPrinterSetupDialog>(this);
  dlgPrintSetup->SetPrinter(Printer.get());
  dlgPrintPreview = std::make_unique<TKivPrintPreviewDialog>();
  dlgPrintPreview->SetPrinter(Printer.get());
  PrintTask = std::make_unique<TKivEditViewPrintTask>();
  PrintTask->SetView(View);
  PrintTask->SetPrinter(Printer.get());
  PrintTask->SetPrintOptions(0);
  dlgPageSetup = std::make_unique<TKivPrintPageSetupDialog>(this);
  dlgPageSetup->SetPrinter(Printer.get());
}

void TDialogsForm::ConnectHandlers() {
  const std::pair<QAbstractButton*, void (TDialogsForm::*)()> handlers[] = {
      {btnFind, &TDialogsForm::btnFindClick},
      {btnReplace, &TDialogsForm::btnReplaceClick},
      {btnGoto, &TDialogsForm::btnGotoClick},
      {btnKeybindings, &TDialogsForm::btnKeybindingsClick},
      {btnColorSchemes, &TDialogsForm::btnColorSchemesClick},
      {btnSyntax, &TDialogsForm::btnSyntaxClick},
      {btnPrintSetup, &TDialogsForm::btnPrintSetupClick},
      {btnPageSetup, &TDialogsForm::btnPageSetupClick},
      {btnPrintPreview, &TDialogsForm::btnPrintPreviewClick},
      {btnPrint, &TDialogsForm::btnPrintClick},
  };
  for (const auto& [button, handler] : handlers)
    connect(button, &QAbstractButton::clicked, this,
            [this, handler = handler] { TKivCustomEditView::RunGuarded(this, [&] { (this->*handler)(); }); });
  View->OnMouseDown = [this](TKivEditViewCore& AView, TKivMouseButton AButton, TKivShiftState AShift, Integer AX,
                             Integer AY, bool& AStop) { ViewMouseDown(AView, AButton, AShift, AX, AY, AStop); };
  auto* save = new QShortcut(QKeySequence::Save, this);
  save->setContext(Qt::WindowShortcut);
  connect(save, &QShortcut::activated, this, &TDialogsForm::SaveClick);
  Doc->OnDocChanged = [this](TKivEditDocument&, TKivDocStatusChanges AChanges) {
    if (AChanges.Contains(dcModifiedPropertyChanged)) UpdateCaption();
  };
}

// ---- the buttons ----

void TDialogsForm::btnFindClick() {
  dlgFind->Execute();
}

void TDialogsForm::btnReplaceClick() {
  dlgReplace->Execute();
}

void TDialogsForm::btnGotoClick() {
  dlgGotoLine->Execute();
}

void TDialogsForm::btnKeybindingsClick() {
  dlgKeybindings->Execute();
}

void TDialogsForm::btnColorSchemesClick() {
  dlgColor->Execute();
}

void TDialogsForm::btnSyntaxClick() {
  dlgSyntax->Execute();
}

void TDialogsForm::btnPrintSetupClick() {
  dlgPrintSetup->Execute();
}

void TDialogsForm::btnPageSetupClick() {
  // The printer's templates go into the dialog too: a header edited through the preview's page
  // settings would otherwise be replaced by the dialog's older copy below.
  dlgPageSetup->SetMargins(Printer->Margins().MarginRect());
  dlgPageSetup->SetHeaderTemplate(&Printer->Header());
  dlgPageSetup->SetFooterTemplate(&Printer->Footer());
  const auto copyBack = [this] {
    Printer->BeginUpdate();
    try {
      Printer->Margins().SetMarginRect(dlgPageSetup->Margins());
      Printer->Header().AssignLines(dlgPageSetup->HeaderTemplate().TemplateText());
      Printer->Footer().AssignLines(dlgPageSetup->FooterTemplate().TemplateText());
    } catch (...) {
      Printer->EndUpdate();
      throw;
    }
    Printer->EndUpdate();
  };
  try {
    dlgPageSetup->Execute();
  } catch (...) {
    copyBack();
    throw;
  }
  copyBack();
}

void TDialogsForm::btnPrintPreviewClick() {
  PrintTask->PreparePages();
  TPagesGuard pages(*PrintTask);
  dlgPrintPreview->Execute(this);
  pages.Finalize();
}

void TDialogsForm::btnPrintClick() {
  PrintTask->PreparePages();
  TPagesGuard pages(*PrintTask);
  PrintTask->ExecPrintDlg();
  pages.Finalize();
}

void TDialogsForm::ViewMouseDown(TKivEditViewCore& AView, TKivMouseButton, TKivShiftState, Integer AX, Integer AY,
                                 bool& AStop) {
  const TKivString message = KivLinkMessageAt(AView, AX, AY);
  if (message.empty()) return;
  KivUiServices().InfoBox(this, ToQ(message));
  AStop = true;
}

// ---- the file ----

void TDialogsForm::LoadFile(const QString& AFileName, TKivCodePageRef ACodePage) {
  const TKivString name = FromQ(AFileName);
  // A file that cannot be read raises the document's error naming it; the text stays as it was.
  if (ACodePage >= 0) {
    Doc->LoadFromFile(name, ACodePage, true);
  } else {
    Doc->LoadFromFile(name, 0, true);
    // Bytes that are no UTF-8: an 8-bit code page keeps every byte, so saving writes them back.
    if (Doc->InvalidBytesReplaced() && Doc->CodePage() == 0) Doc->LoadFromFile(name, 1252, false);
  }
  TKivLineSeparator separator;
  if (Doc->GetLineEndKind(0, separator)) Doc->SetLineSeparator(separator);
  TKivString scheme = KivDemoSchemeForFile(AFileName.toStdString());
  if (scheme.empty() || !KivDemoFindSyntaxScheme(scheme)) scheme = u"Text";
  Doc->SetActiveSyntaxScheme(scheme);
  dlgSyntax->SetSyntaxScheme(scheme);
  FFileName = QFileInfo(AFileName).absoluteFilePath();
  UpdateCaption();
}

QString TDialogsForm::DisplayName() const {
  return FFileName.isEmpty() ? QStringLiteral("sample.c") : QFileInfo(FFileName).fileName();
}

QString TDialogsForm::Caption() const {
  QString res = QStringLiteral("Vornish");
  if (!FFileName.isEmpty()) res += QStringLiteral(" - ") + DisplayName();
  if (Doc->Modified()) res += QStringLiteral(" *");
  return res;
}

void TDialogsForm::UpdateCaption() {
  setWindowTitle(Caption());
}

bool TDialogsForm::Save() {
  QString target = FFileName;
  if (target.isEmpty()) {
    target = DisplayName();
    if (!KivUiServices().ChooseSaveFile(this, QStringLiteral("Save as"),
                                        QStringLiteral("C files (*.c *.h);;All files (*)"), QStringLiteral("c"),
                                        target))
      return false;
    if (QFileInfo::exists(target) &&
        KivUiServices().Question(this, QStringLiteral("%1 already exists. Replace it?").arg(QFileInfo(target).fileName()),
                                 TKivUiButton::Yes | TKivUiButton::No, TKivUiButton::No) != TKivUiButton::Yes)
      return false;
  }
  // The document keeps its code page, its preamble and the line breaks in its text.
  Doc->SaveToFile(FromQ(target));
  FFileName = QFileInfo(target).absoluteFilePath();
  UpdateCaption();
  return true;
}

void TDialogsForm::SaveClick() {
  TKivCustomEditView::RunGuarded(this, [this] { Save(); });
}

void TDialogsForm::closeEvent(QCloseEvent* AEvent) {
  if (!Doc->Modified()) return QWidget::closeEvent(AEvent);
  const TKivUiButton answer =
      KivUiServices().Question(this, QStringLiteral("Save changes to %1?").arg(DisplayName()),
                               TKivUiButton::Yes | TKivUiButton::No | TKivUiButton::Cancel, TKivUiButton::Yes);
  bool close = answer == TKivUiButton::No;
  if (answer == TKivUiButton::Yes) {
    bool saved = false;
    TKivCustomEditView::RunGuarded(this, [&] { saved = Save(); });
    close = saved;
  }
  if (close)
    AEvent->accept();
  else
    AEvent->ignore();
}

void TDialogsForm::PlaceView() {
  // Aligned to the bottom: the view keeps its height and spans the width.
  if (View) View->setGeometry(0, height() - KViewHeight, width(), KViewHeight);
}

QSize TDialogsForm::MinimumClientSize(int AFrameWidth, int AFrameHeight) {
  // A frame thinner than the design's never makes the window taller than it starts.
  return {std::max(0, KMinWidth - std::max(0, AFrameWidth)),
          std::clamp(KMinHeight - std::max(0, AFrameHeight), 0, KMinClientHeight)};
}

void TDialogsForm::UpdateMinimumSize() {
  // The smallest size is that of the outer frame. The offscreen platform reports a frame that is
  // drawn nowhere: there the client area itself has the smallest width.
  if (QGuiApplication::platformName() == QLatin1String("offscreen"))
    setMinimumSize(MinimumClientSize(0, 0));
  else
    setMinimumSize(MinimumClientSize(frameGeometry().width() - geometry().width(),
                                     frameGeometry().height() - geometry().height()));
}

void TDialogsForm::resizeEvent(QResizeEvent* AEvent) {
  QWidget::resizeEvent(AEvent);
  PlaceView();
}

void TDialogsForm::showEvent(QShowEvent* AEvent) {
  QWidget::showEvent(AEvent);
  UpdateMinimumSize();
}

void TDialogsForm::moveEvent(QMoveEvent* AEvent) {
  QWidget::moveEvent(AEvent);
  // A window manager reports the frame it added with the first move.
  UpdateMinimumSize();
}

QString KivSaveWindowPicture(QWidget& AWindow, const QString& AFileName) {
  if (AFileName.isEmpty()) return QStringLiteral("no file name given for the picture");
  const QImage image = AWindow.grab().toImage();
  if (image.isNull()) return QStringLiteral("the window could not be rendered");
  QSaveFile file(AFileName);
  if (!file.open(QIODevice::WriteOnly))
    return QStringLiteral("cannot write %1: %2").arg(AFileName, file.errorString());
  if (!image.save(&file, "PNG")) {
    file.cancelWriting();
    return QStringLiteral("cannot write %1 as PNG").arg(AFileName);
  }
  if (!file.commit()) return QStringLiteral("cannot write %1: %2").arg(AFileName, file.errorString());
  return {};
}

QString KivSavePreviewPicture(TDialogsForm& AForm, const QString& AFileName) {
  if (AFileName.isEmpty()) return QStringLiteral("no file name given for the picture");
  // The preview runs modally: a timer started before it takes the picture once the window has
  // painted its page, and closes it.
  QString error = QStringLiteral("the print preview did not open");
  bool shot = false;
  QTimer poll;
  poll.setInterval(20);
  int ticks = 0;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* preview = dynamic_cast<TKivPrintPreviewForm*>(QApplication::activeModalWidget());
    if (!preview) {
      if (++ticks > 500) poll.stop();  // ten seconds: something else went wrong
      return;
    }
    poll.stop();
    if (!shot) {
      shot = true;
      // The whole first page, in a window of about a page's proportions.
      preview->resize(620, 820);
      preview->PreviewPanel()->SetMode(pmWholePage);
      QApplication::processEvents();
      error = KivSaveWindowPicture(*preview, AFileName);
    }
    preview->reject();
  });
  poll.start();
  bool ran = false;
  const QString before = error;
  ran = TKivCustomEditView::RunGuarded(&AForm, [&] { AForm.btnPrintPreviewClick(); });
  poll.stop();
  if (!ran && error == before) return QStringLiteral("the print preview failed");
  return error;
}

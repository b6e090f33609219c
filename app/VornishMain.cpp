#include "VornishMain.h"

#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QSaveFile>
#include <QToolButton>
#include <algorithm>

#include "KivDemoData.h"
#include "KivSedDocument.h"
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
  // The view refers to the document, which goes with this object's members, before the children.
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

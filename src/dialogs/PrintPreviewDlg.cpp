#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>
#include <cmath>
#include <memory>

#include "KivPrintPreviewDlg.h"
#include "KivPrintResModule.h"

namespace {

const char16_t* const kNoPrinter = u"Printer property should be assigned for this operation";
const char16_t* const kNoDialogs = u"Print dialogs are not available";

IKivPrintDialogs& RequireNext(IKivPrintDialogs* ANext) {
  if (!ANext) throw EKivPrintPackError(kNoDialogs);
  return *ANext;
}

}  // namespace

// ---- the multi-page picker ----

TKivPrintPreviewModeDialog::TKivPrintPreviewModeDialog(QWidget* AParent)
    : QDialog(AParent, Qt::Popup | Qt::FramelessWindowHint) {
  const double ratio = std::max(1, logicalDpiX()) / 96.0;
  FCell = std::max(1, int(std::lround(18 * ratio)));
  FGap = std::max(1, int(std::lround(4 * ratio)));
  setFixedSize(kCols * FCell + (kCols + 1) * FGap, kRows * FCell + (kRows + 1) * FGap);
  setMouseTracking(true);
}

QRect TKivPrintPreviewModeDialog::CellRect(int ACol, int ARow) const {
  return QRect(FGap + ACol * (FCell + FGap), FGap + ARow * (FCell + FGap), FCell, FCell);
}

void TKivPrintPreviewModeDialog::Highlight(const QPoint& APos) {
  int cols = 0, rows = 0;
  for (int c = 0; c < kCols; ++c)
    if (CellRect(c, 0).left() < APos.x()) cols = c + 1;
  for (int r = 0; r < kRows; ++r)
    if (CellRect(0, r).top() < APos.y()) rows = r + 1;
  if (cols != FColCount || rows != FRowCount) {
    FColCount = cols;
    FRowCount = rows;
    update();
  }
}

void TKivPrintPreviewModeDialog::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Button));
  const QImage image = TKivPrintResDataModule::GetModeBitmap(FCell);
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kCols; ++c) {
      const QRect cell = CellRect(c, r);
      const bool lit = c < FColCount && r < FRowCount;
      painter.fillRect(cell, palette().color(lit ? QPalette::Highlight : QPalette::Button));
      painter.drawImage(cell.topLeft(), image);
    }
}

void TKivPrintPreviewModeDialog::mouseMoveEvent(QMouseEvent* AEvent) {
  Highlight(AEvent->position().toPoint());
}

void TKivPrintPreviewModeDialog::mousePressEvent(QMouseEvent* AEvent) {
  if (!rect().contains(AEvent->position().toPoint())) {
    reject();  // a click outside the popup
    return;
  }
  Highlight(AEvent->position().toPoint());
  FPressed = true;
}

void TKivPrintPreviewModeDialog::mouseReleaseEvent(QMouseEvent* AEvent) {
  if (!FPressed) return;
  Highlight(AEvent->position().toPoint());
  if (FColCount > 0 && FRowCount > 0) {
    accept();
  } else {
    reject();
  }
}

// ---- the form ----

TKivPrintPreviewForm::TKivPrintPreviewForm(QWidget* AParent) : QDialog(AParent) {
  setWindowTitle(QStringLiteral("Print Preview"));
  resize(662, 473);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(3);
  FToolBar = new TKivPrintToolBar(this);
  FToolBar->SetDisplayItems(kivAllPrintToolBarItems);
  FPanel = new TKivPrintPreviewPanel(this);
  FPanel->SetScale(100);
  FPanel->SetMode(pmExactScale);
  FStatusBar = new TKivPrintStatusBar(this);
  layout->addWidget(FToolBar);
  layout->addWidget(FPanel, 1);
  layout->addWidget(FStatusBar);
  FToolBar->SetPreviewPanel(FPanel);
  FStatusBar->SetPreviewPanel(FPanel);
  // The form sees Escape before its controls.
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
  FPanel->PaintPanel()->setFocus();
}

TKivPrintPreviewForm::~TKivPrintPreviewForm() {
  // The bars let go of the panel before it goes.
  FToolBar->SetPreviewPanel(nullptr);
  FStatusBar->SetPreviewPanel(nullptr);
}

bool TKivPrintPreviewForm::eventFilter(QObject* AWatched, QEvent* AEvent) {
  if (AEvent->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(AEvent)->key() == Qt::Key_Escape &&
      static_cast<QWidget*>(AWatched)->window() == this) {
    accept();
    return true;
  }
  return QDialog::eventFilter(AWatched, AEvent);
}

void TKivPrintPreviewForm::keyPressEvent(QKeyEvent* AEvent) {
  if (AEvent->key() == Qt::Key_Escape) {
    accept();
    return;
  }
  QDialog::keyPressEvent(AEvent);
}

// ---- running it ----

bool KivExecPrintPreview(TKivPrinterHelper& AHelper, QWidget* AParent) {
  TKivPrintPreviewForm form(AParent);
  form.PreviewPanel()->SetPrinterHelper(&AHelper);
  const int result = form.exec();
  form.PreviewPanel()->SetPrinterHelper(nullptr);
  return result == QDialog::Accepted;
}

bool TKivPrintPreviewDialog::Execute(QWidget* AParent) {
  if (!FPrinter) throw EKivPrintPackError(kNoPrinter);
  FPrinter->GetPagesCount(orAll);  // raises without prepared pages
  auto form = std::make_unique<TKivPrintPreviewForm>(AParent);
  form->PreviewPanel()->SetPrinterHelper(&FPrinter->PrinterHelper());
  FForm = form.get();
  const int result = form->exec();
  FForm = nullptr;
  form->PreviewPanel()->SetPrinterHelper(nullptr);
  return result == QDialog::Accepted;
}

bool TKivPreviewPrintDialogs::PageSetup(TKivPrinter& APrinter, TKivDoubleRect& AMargins,
                                        TKivPageTemplateBlock& AHeader, TKivPageTemplateBlock& AFooter) {
  return RequireNext(Next).PageSetup(APrinter, AMargins, AHeader, AFooter);
}

bool TKivPreviewPrintDialogs::Print(TKivPrinter& APrinter, Integer APagesCount, bool ASelection,
                                    TKivPrintDlgResult& AResult) {
  return RequireNext(Next).Print(APrinter, APagesCount, ASelection, AResult);
}

bool TKivPreviewPrintDialogs::PrintSetup(TKivPrinter& APrinter, TKivPrinterSettings& ASettings) {
  return RequireNext(Next).PrintSetup(APrinter, ASettings);
}

void TKivPreviewPrintDialogs::Preview(TKivPrinterHelper& AHelper) {
  KivExecPrintPreview(AHelper);
}

TKivPreviewPrintDialogs& KivQtPreviewRegister() {
  static TKivPreviewPrintDialogs dialogs;
  if (!KivPrintDialogs()) KivSetPrintDialogs(&dialogs);
  return dialogs;
}

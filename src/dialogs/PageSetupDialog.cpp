#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "KivQtPrint.h"
#include "KivSedPrintDialogs.h"
#include "KivUiServices.h"

namespace {

const char16_t* const kNoPrinterProp = u"Printer property should be assigned for this operation";
const char16_t* const kNil = u"Argument can not be nil";
const char16_t* const kBadMargins = u"Bad margins rectangle given";
constexpr double kMmPerInch = 25.4;

double Scale(TKivMeasureUnits AUnits) {
  return AUnits == unInches ? 1000.0 : 100.0;
}

// The paper sizes the list offers when the printer names none of its own.
const QPageSize::PageSizeId kPapers[] = {
    QPageSize::A3,         QPageSize::A4,        QPageSize::A5,         QPageSize::A6,
    QPageSize::B4,         QPageSize::B5,        QPageSize::Letter,     QPageSize::Legal,
    QPageSize::Executive,  QPageSize::Tabloid,   QPageSize::EnvelopeDL, QPageSize::EnvelopeC5,
    QPageSize::EnvelopeC4, QPageSize::Envelope10, QPageSize::EnvelopeMonarch};

}  // namespace

// ---- common ----

bool TKivPrintBaseDialog::Execute(QWidget* AParentWnd) {
  if (OnShow) OnShow();
  bool result = false;
  try {
    result = DoExecute(AParentWnd);
  } catch (...) {
    if (OnClose) OnClose();
    throw;
  }
  if (OnClose) OnClose();
  return result;
}

TKivPrinterBase& TKivPrintBaseDialog::CheckPrinter() const {
  if (!FPrinter) throw EKivPrintPackError(kNoPrinterProp);
  return *FPrinter;
}

bool KivIsEnvelope(QPageSize::PageSizeId AId) {
  switch (AId) {
    case QPageSize::C5E:
    case QPageSize::Comm10E:
    case QPageSize::DLE:
    case QPageSize::EnvelopeB4:
    case QPageSize::EnvelopeB5:
    case QPageSize::EnvelopeB6:
    case QPageSize::EnvelopeC0:
    case QPageSize::EnvelopeC1:
    case QPageSize::EnvelopeC2:
    case QPageSize::EnvelopeC3:
    case QPageSize::EnvelopeC4:
    case QPageSize::EnvelopeC6:
    case QPageSize::EnvelopeC65:
    case QPageSize::EnvelopeC7:
    case QPageSize::Envelope9:
    case QPageSize::Envelope11:
    case QPageSize::Envelope12:
    case QPageSize::Envelope14:
    case QPageSize::EnvelopeMonarch:
    case QPageSize::EnvelopePersonal:
    case QPageSize::EnvelopeChou3:
    case QPageSize::EnvelopeChou4:
    case QPageSize::EnvelopeInvite:
    case QPageSize::EnvelopeItalian:
    case QPageSize::EnvelopeKaku2:
    case QPageSize::EnvelopeKaku3:
    case QPageSize::EnvelopePrc1:
    case QPageSize::EnvelopePrc2:
    case QPageSize::EnvelopePrc3:
    case QPageSize::EnvelopePrc4:
    case QPageSize::EnvelopePrc5:
    case QPageSize::EnvelopePrc6:
    case QPageSize::EnvelopePrc7:
    case QPageSize::EnvelopePrc8:
    case QPageSize::EnvelopePrc9:
    case QPageSize::EnvelopePrc10:
    case QPageSize::EnvelopeYou4:
      return true;
    default:
      return false;
  }
}

Integer KivMarginToDialog(double AValue, TKivMeasureUnits AUnits) {
  // The small allowance keeps a value that is whole in dialog units (20.1 mm: 2010.0000000002)
  // from rounding up to the next unit on every confirmation.
  const double v = std::ceil(AValue * Scale(AUnits) - 1e-6);
  return Integer(std::clamp(v, -1e9, 1e9));
}

double KivMarginFromDialog(Integer AValue, TKivMeasureUnits AUnits) {
  return AValue / Scale(AUnits);
}

// ---- the component ----

TKivPrintPageSetupDialog::TKivPrintPageSetupDialog(QWidget* AOwner) : TKivPrintBaseDialog(AOwner) {}
TKivPrintPageSetupDialog::~TKivPrintPageSetupDialog() = default;

TKivPrinter& TKivPrintPageSetupDialog::TmpPrinter() {
  if (!FTmpPrinter) FTmpPrinter = std::make_unique<TKivPrinter>(TKivQtPrintDevice::CreatePdf());
  return *FTmpPrinter;
}

TKivPageTemplateBlock& TKivPrintPageSetupDialog::HeaderTemplate() {
  return TmpPrinter().Header();
}
TKivPageTemplateBlock& TKivPrintPageSetupDialog::FooterTemplate() {
  return TmpPrinter().Footer();
}
void TKivPrintPageSetupDialog::SetHeaderTemplate(const TKivPageTemplateBlock* AValue) {
  if (!AValue) throw EKivPrintPackError(kNil);
  HeaderTemplate().Assign(*AValue);
}
void TKivPrintPageSetupDialog::SetFooterTemplate(const TKivPageTemplateBlock* AValue) {
  if (!AValue) throw EKivPrintPackError(kNil);
  FooterTemplate().Assign(*AValue);
}

TKivDoubleRect TKivPrintPageSetupDialog::Fitted(const TKivDoubleRect& AValue, const TKivPrinterBase& APrinter) const {
  const TKivDoubleRect min = APrinter.MinMarginsUnits();
  return {std::max(AValue.Left, min.Left), std::max(AValue.Top, min.Top), std::max(AValue.Right, min.Right),
          std::max(AValue.Bottom, min.Bottom)};
}

void TKivPrintPageSetupDialog::SetPrinter(TKivPrinterBase* AValue) {
  if (AValue) FMargin = Fitted(FMargin, *AValue);
  TKivPrintBaseDialog::SetPrinter(AValue);
}

void TKivPrintPageSetupDialog::SetMargins(const TKivDoubleRect& AValue) {
  const TKivPrinterBase& printer = CheckPrinter();
  for (double side : {AValue.Left, AValue.Top, AValue.Right, AValue.Bottom})
    if (!std::isfinite(side)) throw EKivPrintPackError(kBadMargins);
  const TKivDoubleRect r = Fitted(AValue, printer);
  const double w = printer.PageWidthFullUnits(), h = printer.PageHeightFullUnits();
  if (!(r.Left < w - r.Right && r.Top < h - r.Bottom)) throw EKivPrintPackError(kBadMargins);
  FMargin = r;
}

QWidget* TKivPrintPageSetupDialog::PlacementWindow(QWidget* AParentWnd) const {
  switch (FDlgPosition) {
    case rdpOwner:
      if (AParentWnd) return AParentWnd->window();
      return Owner() ? Owner()->window() : nullptr;
    case rdpMainForm: {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QMainWindow*>(w) && w->isVisible()) return w;
      return QApplication::activeWindow();
    }
    case rdpScreen:
      return nullptr;
  }
  return nullptr;
}

bool TKivPrintPageSetupDialog::DoExecute(QWidget* AParentWnd) {
  TKivPrinterBase& printer = CheckPrinter();
  // The margins are shown raised to the printer's minimum.
  FMargin = Fitted(FMargin, printer);
  TKivSedPageSetupDlg dlg(*this, printer, PlacementWindow(AParentWnd));
  if (dlg.exec() != QDialog::Accepted) return false;
  const TKivRect m = dlg.DialogMargins();
  const TKivMeasureUnits units = printer.RealUnits();
  const TKivPrinterSettings chosen = dlg.ChosenSettings();
  if (!(chosen == printer.GetPrinter())) printer.SetPrinter(chosen);
  FMargin = Fitted({KivMarginFromDialog(m.Left, units), KivMarginFromDialog(m.Top, units),
                    KivMarginFromDialog(m.Right, units), KivMarginFromDialog(m.Bottom, units)},
                   printer);
  return true;
}

// ---- the page sample ----

TKivPageSample::TKivPageSample(TKivPrintPageSetupDialog& AOwner, QWidget* AParent)
    : QWidget(AParent), FOwner(AOwner) {
  setMinimumSize(160, 140);
}

void TKivPageSample::SetPage(QPageSize::PageSizeId AId, QSizeF APaperMM, TKivPrinterOrientation AOrientation,
                             QRectF AMinFractions, QRectF AMarginFractions) {
  FId = AId;
  FPaperMM = APaperMM;
  FOrientation = AOrientation;
  FMin = AMinFractions;
  FMargin = AMarginFractions;
  update();
}

void TKivPageSample::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().window());
  if (!Painting) return;
  const TKivPageType type = KivIsEnvelope(FId) ? ptEnvelope : ptPaper;
  bool done = false;
  if (FOwner.OnBeforePaint) FOwner.OnBeforePaint(FOwner, FId, FOrientation, type, done);
  if (done) return;
  QSizeF paper = FPaperMM;
  if (FOrientation == poLandscape) paper.transpose();
  if (paper.width() <= 0 || paper.height() <= 0) return;
  const double scale = std::min((width() - 12) / paper.width(), (height() - 12) / paper.height());
  const QSize size(std::max(1, int(paper.width() * scale)), std::max(1, int(paper.height() * scale)));
  const QRect page(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
  auto inner = [&page](const QRectF& AFractions) {
    return QRect(QPoint(page.left() + int(AFractions.left() * page.width()),
                        page.top() + int(AFractions.top() * page.height())),
                 QPoint(page.right() - int(AFractions.width() * page.width()),
                        page.bottom() - int(AFractions.height() * page.height())));
  };
  auto step = [&](const TKivPaintPageEvent& AEvent, const QRect& ARect, const std::function<void()>& ADefault) {
    bool stepDone = false;
    if (AEvent) {
      p.save();
      AEvent(FOwner, p, ARect, stepDone);
      p.restore();
    }
    if (!stepDone) ADefault();
  };
  step(FOwner.OnDrawFullPage, page, [&] {
    p.fillRect(page.translated(3, 3), Qt::darkGray);
    p.fillRect(page, Qt::white);
    p.setPen(Qt::black);
    p.drawRect(page.adjusted(0, 0, -1, -1));
  });
  const QRect minRect = inner(FMin);
  step(FOwner.OnDrawMinMargin, minRect, [] {});
  const QRect marginRect = inner(FMargin);
  step(FOwner.OnDrawMargin, marginRect, [&] {
    p.setPen(QPen(Qt::gray, 1, Qt::DotLine));
    p.drawRect(marginRect.adjusted(0, 0, -1, -1));
  });
  step(FOwner.OnDrawGreekText, marginRect.adjusted(2, 2, -2, -2), [&] {
    const QRect r = marginRect.adjusted(2, 2, -2, -2);
    p.setPen(Qt::lightGray);
    for (int y = r.top() + 2; y < r.bottom(); y += 4)
      p.drawLine(r.left(), y, r.left() + (y / 4 % 3 == 2 ? r.width() * 2 / 3 : r.width() - 1), y);
  });
  if (type == ptEnvelope) {
    const int w = std::max(4, page.width() / 8), h = std::max(4, page.height() / 5);
    const QRect stamp(page.right() - w - 4, page.top() + 4, w, h);
    step(FOwner.OnDrawEnvStamp, stamp, [&] { p.drawRect(stamp); });
    const QRect ret(page.left() + 4, page.top() + 4, page.width() / 3, page.height() / 4);
    step(FOwner.OnDrawRetAddress, ret, [&] {
      p.setPen(Qt::gray);
      for (int y = ret.top() + 2; y < ret.bottom(); y += 4) p.drawLine(ret.left(), y, ret.right(), y);
    });
  }
}

// ---- the window ----

TKivSedPageSetupDlg::TKivSedPageSetupDlg(TKivPrintPageSetupDialog& AOwner, TKivPrinterBase& APrinter,
                                         QWidget* AParent)
    : TKivSedDialogForm(AParent), FOwner(AOwner), FPrinter(APrinter), FSettings(APrinter.GetPrinter()),
      FUnits(APrinter.RealUnits()) {
  const TKivPageSetupDialogOptions opts = AOwner.Options();
  auto has = [opts](TKivPageSetupDialogOption AOpt) { return (opts & KivPso(AOpt)) != 0; };
  setWindowTitle(QStringLiteral("Page settings"));

  pnlSample = new TKivPageSample(AOwner, this);
  pnlSample->Painting = !has(psoDisablePagePainting);

  auto* grpPaper = new QGroupBox(QStringLiteral("Paper"), this);
  auto* lblSize = new QLabel(QStringLiteral("&Size:"), grpPaper);
  cbxSize = new QComboBox(grpPaper);
  lblSize->setBuddy(cbxSize);
  auto* lblFeed = new QLabel(QStringLiteral("&Feed:"), grpPaper);
  cbxFeed = new QComboBox(grpPaper);
  lblFeed->setBuddy(cbxFeed);
  // The platform names no paper sources: one default entry.
  cbxFeed->addItem(QStringLiteral("Default"));
  cbxFeed->setEnabled(false);
  auto* paperGrid = new QGridLayout(grpPaper);
  paperGrid->addWidget(lblSize, 0, 0);
  paperGrid->addWidget(cbxSize, 0, 1);
  paperGrid->addWidget(lblFeed, 1, 0);
  paperGrid->addWidget(cbxFeed, 1, 1);
  paperGrid->setColumnStretch(1, 1);
  cbxSize->setEnabled(!has(psoDisablePaper));

  auto* grpOrient = new QGroupBox(QStringLiteral("Orientation"), this);
  rbPortrait = new QRadioButton(QStringLiteral("P&ortrait"), grpOrient);
  rbLandscape = new QRadioButton(QStringLiteral("&Landscape"), grpOrient);
  auto* orientBox = new QVBoxLayout(grpOrient);
  orientBox->addWidget(rbPortrait);
  orientBox->addWidget(rbLandscape);
  (FSettings.Orientation == poLandscape ? rbLandscape : rbPortrait)->setChecked(true);
  grpOrient->setEnabled(!has(psoDisableOrientation));

  auto* grpMargins = new QGroupBox(QStringLiteral("Margins"), this);
  auto* marginGrid = new QGridLayout(grpMargins);
  const TKivDoubleRect min = APrinter.MinMarginsUnits();
  const TKivDoubleRect cur = AOwner.Margins();
  const int decimals = FUnits == unInches ? 3 : 2;
  auto makeBox = [&](const char* ACaption, double AMin, double AValue, int ARow, int ACol) {
    auto* label = new QLabel(QString::fromUtf8(ACaption), grpMargins);
    auto* box = new QDoubleSpinBox(grpMargins);
    box->setDecimals(decimals);
    box->setRange(KivMarginFromDialog(KivMarginToDialog(AMin, FUnits), FUnits), 99999);
    box->setSingleStep(FUnits == unInches ? 0.1 : 1);
    box->setValue(KivMarginFromDialog(KivMarginToDialog(std::max(AMin, AValue), FUnits), FUnits));
    label->setBuddy(box);
    marginGrid->addWidget(label, ARow, ACol);
    marginGrid->addWidget(box, ARow, ACol + 1);
    QObject::connect(box, &QDoubleSpinBox::valueChanged, this, [this] { UpdateSample(); });
    return box;
  };
  edtLeft = makeBox("L&eft:", min.Left, cur.Left, 0, 0);
  edtRight = makeBox("&Right:", min.Right, cur.Right, 0, 2);
  edtTop = makeBox("&Top:", min.Top, cur.Top, 1, 0);
  edtBottom = makeBox("&Bottom:", min.Bottom, cur.Bottom, 1, 2);
  grpMargins->setEnabled(!has(psoDisableMargins));

  if (!has(psoDisableHeaderFooter)) {
    btnHeader = new QPushButton(QStringLiteral("&Header"), this);
    btnFooter = new QPushButton(QStringLiteral("Foo&ter"), this);
    btnHeader->setAutoDefault(false);
    btnFooter->setAutoDefault(false);
    OnClick(btnHeader, [this] {
      IKivRichText& text = FOwner.HeaderTemplate().TemplateText();
      if (KivExecuteTemplateEditDlg(QStringLiteral("Edit page header"), text, this))
        FOwner.HeaderTemplate().TemplateChanged();
    });
    OnClick(btnFooter, [this] {
      IKivRichText& text = FOwner.FooterTemplate().TemplateText();
      if (KivExecuteTemplateEditDlg(QStringLiteral("Edit page footer"), text, this))
        FOwner.FooterTemplate().TemplateChanged();
    });
  }
  btnPrinter = new QPushButton(QStringLiteral("&Printer..."), this);
  btnPrinter->setAutoDefault(false);
  btnPrinter->setVisible(!has(psoDisablePrinter));
  OnClick(btnPrinter, [this] {
    TKivPrinterSettings s = ChosenSettings();
    auto* dev = dynamic_cast<TKivQtPrintDevice*>(FPrinter.GetSysPrinter());
    if (!KivExecutePrinterSetupDlg(s, dev && dev->IsPdf(), this)) return;
    FSettings = s;
    (FSettings.Orientation == poLandscape ? rbLandscape : rbPortrait)->setChecked(true);
    FillPapers();
    UpdateSample();
  });
  btnOk = new QPushButton(QStringLiteral("OK"), this);
  btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  btnOk->setDefault(true);
  btnCancel->setAutoDefault(false);
  OnClick(btnOk, [this] { Confirm(); });
  OnClick(btnCancel, [this] { reject(); });

  auto* main = new QVBoxLayout(this);
  main->addWidget(pnlSample, 1);
  main->addWidget(grpPaper);
  auto* mid = new QHBoxLayout;
  mid->addWidget(grpOrient);
  mid->addWidget(grpMargins, 1);
  main->addLayout(mid);
  auto* buttons = new QHBoxLayout;
  if (btnHeader) {
    buttons->addWidget(btnHeader);
    buttons->addWidget(btnFooter);
  }
  buttons->addStretch(1);
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);
  buttons->addWidget(btnPrinter);
  main->addLayout(buttons);

  FillPapers();
  QObject::connect(cbxSize, &QComboBox::currentIndexChanged, this, [this] { UpdateSample(); });
  QObject::connect(rbLandscape, &QRadioButton::toggled, this, [this] { UpdateSample(); });
  UpdateSample();
  resize(QSize(468, 514).expandedTo(minimumSizeHint()));
}

void TKivSedPageSetupDlg::FillPapers() {
  const QSignalBlocker block(cbxSize);
  cbxSize->clear();
  for (QPageSize::PageSizeId id : kPapers) cbxSize->addItem(QPageSize::name(id), int(id));
  const QPageSize current(QSizeF(FSettings.PaperWidthMM, FSettings.PaperHeightMM), QPageSize::Millimeter, QString(),
                          QPageSize::FuzzyMatch);
  int index = cbxSize->findData(int(current.id()));
  if (index < 0 && current.isValid() && current.id() != QPageSize::Custom) {
    cbxSize->addItem(current.name(), int(current.id()));
    index = cbxSize->count() - 1;
  }
  if (index < 0) {
    // A paper the list does not name: kept as it is.
    cbxSize->addItem(QStringLiteral("Custom (%1 x %2 mm)").arg(FSettings.PaperWidthMM).arg(FSettings.PaperHeightMM),
                     int(QPageSize::Custom));
    index = cbxSize->count() - 1;
  }
  cbxSize->setCurrentIndex(index);
}

QSizeF TKivSedPageSetupDlg::ChosenPaperMM() const {
  const auto id = QPageSize::PageSizeId(cbxSize->currentData().toInt());
  if (id == QPageSize::Custom) {
    if (FSettings.PaperWidthMM > 0 && FSettings.PaperHeightMM > 0)
      return {FSettings.PaperWidthMM, FSettings.PaperHeightMM};
    // A device that names no paper: the printer's sheet, in portrait.
    const double perUnit = FUnits == unInches ? kMmPerInch : 1.0;
    QSizeF mm(FPrinter.PageWidthFullUnits() * perUnit, FPrinter.PageHeightFullUnits() * perUnit);
    if (FPrinter.Orientation() == poLandscape) mm.transpose();
    return mm;
  }
  return QPageSize::size(id, QPageSize::Millimeter);
}

TKivPrinterSettings TKivSedPageSetupDlg::ChosenSettings() const {
  TKivPrinterSettings s = FSettings;
  const auto id = QPageSize::PageSizeId(cbxSize->currentData().toInt());
  if (id != QPageSize::Custom) {
    const QSizeF mm = ChosenPaperMM();
    // The paper keeps its name and size when the list shows the same paper.
    const QPageSize current(QSizeF(FSettings.PaperWidthMM, FSettings.PaperHeightMM), QPageSize::Millimeter,
                            QString(), QPageSize::FuzzyMatch);
    if (current.id() != id) {
      s.PaperName = KivFromUtf8(QPageSize::name(id).toStdString());
      s.PaperWidthMM = mm.width();
      s.PaperHeightMM = mm.height();
    }
  }
  s.Orientation = rbLandscape->isChecked() ? poLandscape : poPortrait;
  return s;
}

TKivRect TKivSedPageSetupDlg::DialogMargins() const {
  const double k = FUnits == unInches ? 1000.0 : 100.0;
  auto units = [k](const QDoubleSpinBox* ABox) { return Integer(std::llround(ABox->value() * k)); };
  return {units(edtLeft), units(edtTop), units(edtRight), units(edtBottom)};
}

void TKivSedPageSetupDlg::UpdateSample() {
  const QSizeF mm = ChosenPaperMM();
  const bool landscape = rbLandscape->isChecked();
  const double perUnit = FUnits == unInches ? kMmPerInch : 1.0;
  double w = mm.width(), h = mm.height();
  if (landscape) std::swap(w, h);
  if (w <= 0 || h <= 0) return;
  const TKivDoubleRect min = FPrinter.MinMarginsUnits();
  const TKivRect m = DialogMargins();
  auto fx = [&](double AUnits) { return std::clamp(AUnits * perUnit / w, 0.0, 1.0); };
  auto fy = [&](double AUnits) { return std::clamp(AUnits * perUnit / h, 0.0, 1.0); };
  // QRectF(left, top, right, bottom) as fractions: the width/height fields carry the far sides.
  const QRectF minF(fx(min.Left), fy(min.Top), fx(min.Right), fy(min.Bottom));
  const QRectF marF(fx(KivMarginFromDialog(m.Left, FUnits)), fy(KivMarginFromDialog(m.Top, FUnits)),
                    fx(KivMarginFromDialog(m.Right, FUnits)), fy(KivMarginFromDialog(m.Bottom, FUnits)));
  pnlSample->SetPage(QPageSize::PageSizeId(cbxSize->currentData().toInt()), mm,
                     landscape ? poLandscape : poPortrait, minF, marF);
}

void TKivSedPageSetupDlg::Confirm() {
  const QSizeF mm = ChosenPaperMM();
  const double perUnit = FUnits == unInches ? kMmPerInch : 1.0;
  double w = mm.width() / perUnit, h = mm.height() / perUnit;
  if (rbLandscape->isChecked()) std::swap(w, h);
  const TKivRect m = DialogMargins();
  const double l = KivMarginFromDialog(m.Left, FUnits), t = KivMarginFromDialog(m.Top, FUnits),
               r = KivMarginFromDialog(m.Right, FUnits), b = KivMarginFromDialog(m.Bottom, FUnits);
  if (!(l < w - r && t < h - b)) {
    KivUiServices().ErrorBox(this, QString::fromUtf16(kBadMargins));
    return;
  }
  accept();
}

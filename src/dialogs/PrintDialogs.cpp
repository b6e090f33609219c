#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "KivQtPrint.h"
#include "KivSedPrintDialogs.h"

namespace {

QString ToQ(const TKivString& AText) {
  return QString::fromUtf16(AText.data(), qsizetype(AText.size()));
}

const QPageSize::PageSizeId kSetupPapers[] = {QPageSize::A3,     QPageSize::A4,    QPageSize::A5,
                                              QPageSize::B5,     QPageSize::Letter, QPageSize::Legal,
                                              QPageSize::Executive, QPageSize::EnvelopeDL};

}  // namespace

// ---- print ----

bool TKivPrintDialog::DoExecute(QWidget* AParentWnd) {
  TKivPrinterBase& printer = CheckPrinter();
  // The dialog works on the printer's own QPrinter, so what it sets there (copies, collation,
  // output file) is what the printer prints with.
  auto* dev = dynamic_cast<TKivQtPrintDevice*>(printer.GetSysPrinter());
  std::unique_ptr<QPrinter> own;
  QPrinter* qprinter = dev ? &dev->Printer() : (own = std::make_unique<QPrinter>()).get();
  if (!AParentWnd && Owner()) AParentWnd = Owner()->window();
  QPrintDialog dlg(qprinter, AParentWnd);
  QAbstractPrintDialog::PrintDialogOptions options = QAbstractPrintDialog::PrintShowPageSize;
  if (FOptions & KivPdo(poPageNums)) options |= QAbstractPrintDialog::PrintPageRange;
  if (FOptions & KivPdo(poSelection)) options |= QAbstractPrintDialog::PrintSelection;
  if (!(FOptions & KivPdo(poDisablePrintToFile))) options |= QAbstractPrintDialog::PrintToFile;
  options |= QAbstractPrintDialog::PrintCollateCopies;
  dlg.setOptions(options);
  const Integer minPage = std::max<Integer>(FMinPage, 1);
  const Integer maxPage = std::max(FMaxPage, minPage);
  dlg.setMinMax(minPage, maxPage);
  if (FFromPage > 0 && FToPage >= FFromPage) dlg.setFromTo(std::clamp(FFromPage, minPage, maxPage),
                                                           std::clamp(FToPage, minPage, maxPage));
  dlg.setPrintRange(FPrintRange == prSelection  ? QAbstractPrintDialog::Selection
                    : FPrintRange == prPageNums ? QAbstractPrintDialog::PageRange
                                                : QAbstractPrintDialog::AllPages);
  qprinter->setCopyCount(std::max<Integer>(FCopies, 1));
  qprinter->setCollateCopies(FCollate);
  if (dlg.exec() != QDialog::Accepted) return false;
  switch (dlg.printRange()) {
    case QAbstractPrintDialog::Selection: FPrintRange = prSelection; break;
    case QAbstractPrintDialog::PageRange: FPrintRange = prPageNums; break;
    default: FPrintRange = prAllPages; break;
  }
  FRanges.clear();
  if (FPrintRange == prPageNums) {
    for (const QPageRanges::Range& r : qprinter->pageRanges().toRangeList()) FRanges.emplace_back(r.from, r.to);
    FFromPage = qprinter->pageRanges().firstPage();
    FToPage = qprinter->pageRanges().lastPage();
  }
  FCopies = qprinter->copyCount();
  FCollate = qprinter->collateCopies();
  FPrintToFile = !qprinter->outputFileName().isEmpty();
  // The printer's geometry follows what the dialog changed on its device.
  if (dev) printer.SetPrinter(printer.GetPrinter());
  return true;
}

// ---- printer setup ----

QString TKivSedPrinterSetupDlg::PdfPrinterName() {
  return QStringLiteral("PDF printer");
}

TKivSedPrinterSetupDlg::TKivSedPrinterSetupDlg(const TKivPrinterSettings& ASettings, bool APdf, QWidget* AParent)
    : TKivSedDialogForm(AParent), FSettings(ASettings) {
  setWindowTitle(QStringLiteral("Print setup"));
  auto* grpPrinter = new QGroupBox(QStringLiteral("Printer"), this);
  auto* lblName = new QLabel(QStringLiteral("&Name:"), grpPrinter);
  cbxPrinter = new QComboBox(grpPrinter);
  lblName->setBuddy(cbxPrinter);
  lblState = new QLabel(grpPrinter);
  lblLocation = new QLabel(grpPrinter);
  for (const QPrinterInfo& info : QPrinterInfo::availablePrinters()) cbxPrinter->addItem(info.printerName(), info.printerName());
  // The PDF printer is there also when the system has no printer.
  cbxPrinter->addItem(PdfPrinterName(), QString());
  const int current = APdf ? cbxPrinter->count() - 1 : cbxPrinter->findData(ToQ(ASettings.PrinterName));
  cbxPrinter->setCurrentIndex(std::max(current, 0));
  auto* printerGrid = new QGridLayout(grpPrinter);
  printerGrid->addWidget(lblName, 0, 0);
  printerGrid->addWidget(cbxPrinter, 0, 1);
  printerGrid->addWidget(new QLabel(QStringLiteral("State:"), grpPrinter), 1, 0);
  printerGrid->addWidget(lblState, 1, 1);
  printerGrid->addWidget(new QLabel(QStringLiteral("Location:"), grpPrinter), 2, 0);
  printerGrid->addWidget(lblLocation, 2, 1);
  printerGrid->setColumnStretch(1, 1);

  auto* grpPaper = new QGroupBox(QStringLiteral("Paper"), this);
  auto* lblSize = new QLabel(QStringLiteral("&Size:"), grpPaper);
  cbxPaper = new QComboBox(grpPaper);
  lblSize->setBuddy(cbxPaper);
  for (QPageSize::PageSizeId id : kSetupPapers) cbxPaper->addItem(QPageSize::name(id), int(id));
  const QPageSize paper(QSizeF(ASettings.PaperWidthMM, ASettings.PaperHeightMM), QPageSize::Millimeter, QString(),
                        QPageSize::FuzzyMatch);
  int paperIndex = cbxPaper->findData(int(paper.id()));
  if (paperIndex < 0) {
    cbxPaper->addItem(paper.isValid() ? paper.name() : QStringLiteral("Custom"), int(paper.id()));
    paperIndex = cbxPaper->count() - 1;
  }
  cbxPaper->setCurrentIndex(paperIndex);
  auto* paperBox = new QHBoxLayout(grpPaper);
  paperBox->addWidget(lblSize);
  paperBox->addWidget(cbxPaper, 1);

  auto* grpOrient = new QGroupBox(QStringLiteral("Orientation"), this);
  rbPortrait = new QRadioButton(QStringLiteral("P&ortrait"), grpOrient);
  rbLandscape = new QRadioButton(QStringLiteral("&Landscape"), grpOrient);
  (ASettings.Orientation == poLandscape ? rbLandscape : rbPortrait)->setChecked(true);
  auto* orientBox = new QVBoxLayout(grpOrient);
  orientBox->addWidget(rbPortrait);
  orientBox->addWidget(rbLandscape);

  btnOk = new QPushButton(QStringLiteral("OK"), this);
  btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  btnOk->setDefault(true);
  btnCancel->setAutoDefault(false);
  OnClick(btnOk, [this] { accept(); });
  OnClick(btnCancel, [this] { reject(); });

  auto* main = new QVBoxLayout(this);
  main->addWidget(grpPrinter);
  auto* mid = new QHBoxLayout;
  mid->addWidget(grpPaper, 1);
  mid->addWidget(grpOrient);
  main->addLayout(mid);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);
  main->addLayout(buttons);
  QObject::connect(cbxPrinter, &QComboBox::currentIndexChanged, this, [this] { PrinterChosen(); });
  PrinterChosen();
}

void TKivSedPrinterSetupDlg::PrinterChosen() {
  const QString name = cbxPrinter->currentData().toString();
  if (name.isEmpty()) {
    lblState->setText(QStringLiteral("Ready"));
    lblLocation->setText(QStringLiteral("PDF file"));
    return;
  }
  const QPrinterInfo info = QPrinterInfo::printerInfo(name);
  switch (info.state()) {
    case QPrinter::Idle: lblState->setText(QStringLiteral("Ready")); break;
    case QPrinter::Active: lblState->setText(QStringLiteral("Printing")); break;
    case QPrinter::Aborted: lblState->setText(QStringLiteral("Aborted")); break;
    case QPrinter::Error: lblState->setText(QStringLiteral("Error")); break;
  }
  lblLocation->setText(info.location());
}

TKivPrinterSettings TKivSedPrinterSetupDlg::ChosenSettings() const {
  TKivPrinterSettings s = FSettings;
  s.PrinterName = cbxPrinter->currentData().toString().toStdU16String();
  const auto id = QPageSize::PageSizeId(cbxPaper->currentData().toInt());
  if (id != QPageSize::Custom) {
    const QPageSize current(QSizeF(FSettings.PaperWidthMM, FSettings.PaperHeightMM), QPageSize::Millimeter,
                            QString(), QPageSize::FuzzyMatch);
    if (current.id() != id) {
      const QSizeF mm = QPageSize::size(id, QPageSize::Millimeter);
      s.PaperName = QPageSize::name(id).toStdU16String();
      s.PaperWidthMM = mm.width();
      s.PaperHeightMM = mm.height();
    }
  }
  s.Orientation = rbLandscape->isChecked() ? poLandscape : poPortrait;
  return s;
}

bool KivExecutePrinterSetupDlg(TKivPrinterSettings& ASettings, bool APdf, QWidget* AParent) {
  TKivSedPrinterSetupDlg dlg(ASettings, APdf, AParent);
  if (dlg.exec() != QDialog::Accepted) return false;
  ASettings = dlg.ChosenSettings();
  return true;
}

bool TKivPrinterSetupDialog::DoExecute(QWidget* AParentWnd) {
  TKivPrinterBase& printer = CheckPrinter();
  TKivPrinterSettings settings = printer.GetPrinter();
  auto* dev = dynamic_cast<TKivQtPrintDevice*>(printer.GetSysPrinter());
  if (!AParentWnd && Owner()) AParentWnd = Owner()->window();
  if (!KivExecutePrinterSetupDlg(settings, dev && dev->IsPdf(), AParentWnd)) return false;
  printer.SetPrinter(settings);
  return true;
}

// ---- the printer's dialogs ----

bool TKivQtPrintDialogs::PageSetup(TKivPrinter& APrinter, TKivDoubleRect& AMargins, TKivPageTemplateBlock& AHeader,
                                   TKivPageTemplateBlock& AFooter) {
  TKivPrintPageSetupDialog dlg(Parent.data());
  dlg.SetPrinter(&APrinter);
  dlg.SetMargins(AMargins);
  dlg.SetHeaderTemplate(&AHeader);
  dlg.SetFooterTemplate(&AFooter);
  if (!dlg.Execute(Parent.data())) return false;
  AMargins = dlg.Margins();
  AHeader.Assign(dlg.HeaderTemplate());
  AFooter.Assign(dlg.FooterTemplate());
  return true;
}

bool TKivQtPrintDialogs::Print(TKivPrinter& APrinter, Integer APagesCount, bool ASelection,
                               TKivPrintDlgResult& AResult) {
  TKivPrintDialog dlg(Parent.data());
  dlg.SetPrinter(&APrinter);
  dlg.SetOptions(KivPdo(poPageNums) | (ASelection ? KivPdo(poSelection) : 0));
  dlg.SetMinPage(1);
  dlg.SetMaxPage(std::max<Integer>(APagesCount, 1));
  dlg.SetFromPage(std::max<Integer>(AResult.FromPage, 1));
  dlg.SetToPage(std::max<Integer>(AResult.ToPage, 1));
  dlg.SetCopies(APrinter.GetPrinter().Copies);
  dlg.SetCollate(APrinter.GetPrinter().Collate);
  if (!dlg.Execute(Parent.data())) return false;
  switch (dlg.PrintRange()) {
    case prSelection: AResult.Kind = TKivPrintDlgResult::prSelection; break;
    case prPageNums:
      AResult.Kind = TKivPrintDlgResult::prPages;
      AResult.FromPage = dlg.FromPage();
      AResult.ToPage = dlg.ToPage();
      AResult.Ranges = dlg.PageRanges();
      break;
    default: AResult.Kind = TKivPrintDlgResult::prAll; break;
  }
  return true;
}

bool TKivQtPrintDialogs::PrintSetup(TKivPrinter& APrinter, TKivPrinterSettings& ASettings) {
  auto* dev = dynamic_cast<TKivQtPrintDevice*>(APrinter.GetSysPrinter());
  return KivExecutePrinterSetupDlg(ASettings, dev && dev->IsPdf(), Parent.data());
}

void TKivQtPrintDialogs::Preview(TKivPrinterHelper& AHelper) {
  if (!PreviewFn) throw EKivPrintPackError(u"Print dialogs are not available");
  PreviewFn(AHelper);
}

TKivQtPrintDialogs& KivQtPrintDialogs() {
  static TKivQtPrintDialogs dialogs;
  return dialogs;
}

#include <QAbstractTextDocumentLayout>
#include <QFile>
#include <QFontDatabase>
#include <QPageLayout>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextBlock>
#include <QTextCursor>
#include <algorithm>
#include <cmath>

#include "KivQtPrint.h"

namespace {

QString ToQ(TKivStringView AText) {
  return QString(reinterpret_cast<const QChar*>(AText.data()), qsizetype(AText.size()));
}
TKivString FromQ(const QString& AText) {
  return TKivString(reinterpret_cast<const char16_t*>(AText.utf16()), size_t(AText.size()));
}

// The virtual PDF printer's unprintable margins in portrait, millimetres.
const QMarginsF kPdfMinMarginsMM(20, 10, 20, 10);
constexpr int kPdfDpi = 300;

// The portrait margins turned with the sheet: a quarter turn moves the left edge to the bottom.
QMarginsF Oriented(const QMarginsF& APortrait, QPageLayout::Orientation AOrientation) {
  if (AOrientation == QPageLayout::Portrait) return APortrait;
  return {APortrait.top(), APortrait.right(), APortrait.bottom(), APortrait.left()};
}

}  // namespace

// ---- canvas ----

TKivQtPrintCanvas::TKivQtPrintCanvas(QPainter& APainter, TKivQtMeasureSurface& AMeasure)
    : FPainter(APainter), FSurface(APainter, AMeasure), FBase(APainter.transform()) {}

void TKivQtPrintCanvas::SetTransform(double AScaleX, double AScaleY, double ADX, double ADY) {
  FPainter.setTransform(QTransform(AScaleX, 0, 0, AScaleY, ADX, ADY) * FBase);
}

void TKivQtPrintCanvas::ResetTransform() {
  FPainter.setTransform(FBase);
}

// ---- rich text ----

TKivQtRichText::TKivQtRichText(QPaintDevice* ADevice)
    : FDevice(ADevice), FDoc(std::make_unique<QTextDocument>()) {
  Prepare();
}

void TKivQtRichText::Prepare() {
  FDoc->setDocumentMargin(0);
  if (FDevice) FDoc->documentLayout()->setPaintDevice(FDevice);
}

Integer TKivQtRichText::LineCount() const {
  return FDoc->blockCount();
}

TKivString TKivQtRichText::Line(Integer AIndex) const {
  if (AIndex < 0 || AIndex >= LineCount()) throw EKivPrintPackError(u"List index out of bounds (%d)", {AIndex});
  return FromQ(FDoc->findBlockByNumber(AIndex).text());
}

void TKivQtRichText::SetLines(const std::vector<TKivString>& ALines) {
  QTextCursor first(FDoc.get());
  if (!FDoc->isEmpty()) first.setPosition(1);
  const QTextCharFormat format = first.charFormat();
  FDoc->clear();
  QTextCursor cursor(FDoc.get());
  for (size_t i = 0; i < ALines.size(); ++i) {
    if (i > 0) cursor.insertBlock();
    cursor.insertText(ToQ(ALines[i]), format);
  }
}

std::string TKivQtRichText::SaveStream() const {
  return FDoc->toHtml().toStdString();
}

void TKivQtRichText::LoadStream(const std::string& AStream) {
  FDoc->setHtml(QString::fromUtf8(AStream.data(), qsizetype(AStream.size())));
  Prepare();
}

void TKivQtRichText::Assign(const IKivRichText& ASource) {
  if (&ASource == this) return;
  if (const auto* qt = dynamic_cast<const TKivQtRichText*>(&ASource)) {
    FDoc.reset(qt->FDoc->clone());
    Prepare();
    return;
  }
  std::vector<TKivString> lines;
  for (Integer i = 0; i < ASource.LineCount(); ++i) lines.push_back(ASource.Line(i));
  SetLines(lines);
}

void TKivQtRichText::SubstituteFields(const TKivNameValues& AFields) {
  std::vector<QString> names;
  for (const auto& field : AFields) names.push_back(u'[' + ToQ(field.first) + u']');
  int pos = 0;
  for (;;) {
    QTextCursor best;
    size_t bestField = 0;
    for (size_t f = 0; f < names.size(); ++f) {
      // Case-insensitive unless told otherwise.
      const QTextCursor found = FDoc->find(names[f], pos);
      if (!found.isNull() && (best.isNull() || found.selectionStart() < best.selectionStart())) {
        best = found;
        bestField = f;
      }
    }
    if (best.isNull()) break;
    QTextCursor first(FDoc.get());
    first.setPosition(best.selectionStart() + 1);
    best.insertText(ToQ(AFields[bestField].second), first.charFormat());
    pos = best.position();
  }
}

Integer TKivQtRichText::Height(Integer AWidth) {
  FDoc->setTextWidth(std::max(1, AWidth));
  return Integer(std::ceil(FDoc->size().height()));
}

void TKivQtRichText::Draw(IKivPrintCanvas& ACanvas, const TKivRect& ARect) {
  if (ARect.IsEmpty()) return;
  if (auto* qt = dynamic_cast<TKivQtPrintCanvas*>(&ACanvas)) {
    QPainter& p = qt->Painter();
    p.save();
    p.translate(ARect.Left, ARect.Top);
    const QRectF clip(0, 0, ARect.Width(), ARect.Height());
    p.setClipRect(clip, Qt::IntersectClip);
    FDoc->setTextWidth(ARect.Width());
    FDoc->drawContents(&p, clip);
    p.restore();
    return;
  }
  const Integer lines = std::max(1, LineCount());
  const Integer step = std::max(1, Height(ARect.Width()) / lines);
  for (Integer i = 0; i < LineCount(); ++i)
    ACanvas.Surface().DrawText({ARect.Left, ARect.Top + i * step}, Line(i), nullptr, 0, 0, kivDefaultCharset, ARect);
}

// ---- device ----

struct TKivQtPrintDevice::TPage {
  std::unique_ptr<QPdfWriter> Writer;
  QString FileName;
  QPainter Painter;
  std::unique_ptr<TKivQtPrintCanvas> Canvas;
};

TKivQtPrintDevice::TKivQtPrintDevice(std::unique_ptr<QPrinter> APrinter, bool APdf)
    : FPrinter(std::move(APrinter)), FPdf(APdf), FFont(QFontDatabase::systemFont(QFontDatabase::FixedFont)) {
  FFont.setPointSizeF(10);
  FPrinter->setFullPage(true);
}

TKivQtPrintDevice::~TKivQtPrintDevice() {
  if (FFile) EndPageFile(true);
  if (FDoc) EndDoc(true);
}

std::unique_ptr<TKivQtPrintDevice> TKivQtPrintDevice::CreatePdf() {
  auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  printer->setOutputFormat(QPrinter::PdfFormat);
  printer->setResolution(kPdfDpi);
  printer->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, kPdfMinMarginsMM,
                                     QPageLayout::Millimeter));
  return std::unique_ptr<TKivQtPrintDevice>(new TKivQtPrintDevice(std::move(printer), true));
}

std::unique_ptr<TKivQtPrintDevice> TKivQtPrintDevice::CreateSystem(const QString& AName) {
  auto printer = std::make_unique<QPrinter>(QPrinterInfo::printerInfo(AName), QPrinter::HighResolution);
  return std::unique_ptr<TKivQtPrintDevice>(new TKivQtPrintDevice(std::move(printer), false));
}

std::unique_ptr<TKivQtPrintDevice> TKivQtPrintDevice::CreateDefault() {
  if (QPrinterInfo::availablePrinterNames().isEmpty()) return CreatePdf();
  QString name = QPrinterInfo::defaultPrinterName();
  if (name.isEmpty()) name = QPrinterInfo::availablePrinterNames().first();
  return CreateSystem(name);
}

void TKivQtPrintDevice::SetFont(const QFont& AFont) {
  FFont = AFont;
  FMeasure.reset();
}

bool TKivQtPrintDevice::Usable() const {
  if (FPdf) return true;
  return FPrinter->isValid() && FPrinter->outputFormat() == QPrinter::NativeFormat &&
         !QPrinterInfo::printerInfo(FPrinter->printerName()).isNull();
}

Integer TKivQtPrintDevice::DpiX() const {
  return FPrinter->resolution();
}
Integer TKivQtPrintDevice::DpiY() const {
  return FPrinter->resolution();
}

TKivRect TKivQtPrintDevice::PaperRect() const {
  // From the exact size in millimetres, rounded half away from zero (Qt's own pixel rectangle
  // truncates: 2479 px for A4's 210 mm at 300 dpi).
  double w = 0, h = 0;
  TKivDoubleRect m;
  PaperMillimeters(w, h, m);
  const double perMM = FPrinter->resolution() / 25.4;
  return {0, 0, Integer(std::lround(w * perMM)), Integer(std::lround(h * perMM))};
}

void TKivQtPrintDevice::PaperMillimeters(double& AWidth, double& AHeight, TKivDoubleRect& AMinMargins) const {
  QPageLayout layout = FPrinter->pageLayout();
  layout.setUnits(QPageLayout::Millimeter);
  const QRectF full = layout.fullRect(QPageLayout::Millimeter);
  AWidth = full.width();
  AHeight = full.height();
  const QMarginsF m = FPdf ? Oriented(kPdfMinMarginsMM, layout.orientation()) : layout.minimumMargins();
  AMinMargins = {m.left(), m.top(), m.right(), m.bottom()};
}

TKivRect TKivQtPrintDevice::PrintableRect() const {
  double w = 0, h = 0;
  TKivDoubleRect m;
  PaperMillimeters(w, h, m);
  const double perMM = FPrinter->resolution() / 25.4;
  const auto px = [&](double AMM) { return Integer(std::lround(AMM * perMM)); };
  const TKivRect paper = PaperRect();
  return {px(m.Left), px(m.Top), paper.Right - px(m.Right), paper.Bottom - px(m.Bottom)};
}

TKivPrinterSettings TKivQtPrintDevice::Settings() const {
  TKivPrinterSettings s;
  const QPageLayout layout = FPrinter->pageLayout();
  s.PrinterName = FromQ(FPrinter->printerName());
  s.PaperName = FromQ(layout.pageSize().name());
  const QSizeF size = layout.pageSize().size(QPageSize::Millimeter);
  s.PaperWidthMM = size.width();
  s.PaperHeightMM = size.height();
  s.Orientation = layout.orientation() == QPageLayout::Landscape ? poLandscape : poPortrait;
  s.Copies = FPrinter->copyCount();
  s.Collate = FPrinter->collateCopies();
  switch (FPrinter->duplex()) {
    case QPrinter::DuplexLongSide: s.Duplex = dmLongSide; break;
    case QPrinter::DuplexShortSide: s.Duplex = dmShortSide; break;
    default: s.Duplex = dmSimplex; break;
  }
  s.Color = FPrinter->colorMode() == QPrinter::Color;
  s.OutputFile = FromQ(FPrinter->outputFileName());
  return s;
}

void TKivQtPrintDevice::SetSettings(const TKivPrinterSettings& ASettings) {
  if (FDoc) throw EKivPrintPackError(u"You should call EndDoc before this method");
  if (!FPdf && !ASettings.PrinterName.empty() && ToQ(ASettings.PrinterName) != FPrinter->printerName())
    FPrinter->setPrinterName(ToQ(ASettings.PrinterName));
  if (ASettings.PaperWidthMM > 0 && ASettings.PaperHeightMM > 0)
    FPrinter->setPageSize(QPageSize(QSizeF(ASettings.PaperWidthMM, ASettings.PaperHeightMM), QPageSize::Millimeter,
                                    ToQ(ASettings.PaperName), QPageSize::FuzzyMatch));
  FPrinter->setPageOrientation(ASettings.Orientation == poLandscape ? QPageLayout::Landscape : QPageLayout::Portrait);
  FPrinter->setCopyCount(std::max(1, ASettings.Copies));
  FPrinter->setCollateCopies(ASettings.Collate);
  FPrinter->setDuplex(ASettings.Duplex == dmLongSide    ? QPrinter::DuplexLongSide
                      : ASettings.Duplex == dmShortSide ? QPrinter::DuplexShortSide
                                                        : QPrinter::DuplexNone);
  FPrinter->setColorMode(ASettings.Color ? QPrinter::Color : QPrinter::GrayScale);
  FPrinter->setOutputFileName(ToQ(ASettings.OutputFile));
  // setOutputFileName may switch a native printer to PDF output and back.
  if (FPdf) FPrinter->setOutputFormat(QPrinter::PdfFormat);
}

IKivMeasureSurface& TKivQtPrintDevice::MeasureSurface() {
  if (!FMeasure) FMeasure = std::make_unique<TKivQtMeasureSurface>(FFont, FPrinter.get());
  return *FMeasure;
}

void TKivQtPrintDevice::SetMeasureFont(const TKivViewFont& AFont) {
  QFont font(ToQ(AFont.Name));
  font.setPixelSize(std::max<Integer>(AFont.PixelSize, 1));
  font.setHintingPreference(QFont::PreferNoHinting);
  FFont = font;
  // The surface is kept: a document's canvas may be drawing with it.
  if (FMeasure) FMeasure->SetFont(font);
}

std::unique_ptr<IKivRichText> TKivQtPrintDevice::CreateRichText() {
  return std::make_unique<TKivQtRichText>(FPrinter.get());
}

IKivPrintCanvas& TKivQtPrintDevice::BeginDoc(const TKivString& ATitle) {
  if (FDoc) throw EKivPrintPackError(u"You should call EndDoc before this method");
  if (FPdf && FPrinter->outputFileName().isEmpty()) throw EKivPrintPackError(u"No output file given for the PDF printer");
  FPrinter->setDocName(ToQ(ATitle));
  auto page = std::make_unique<TPage>();
  if (!page->Painter.begin(FPrinter.get()))
    throw EKivPrintPackError(u"Cannot start printing on %s", {FromQ(FPdf ? FPrinter->outputFileName() : FPrinter->printerName())});
  page->Canvas = std::make_unique<TKivQtPrintCanvas>(page->Painter, static_cast<TKivQtMeasureSurface&>(MeasureSurface()));
  FDoc = std::move(page);
  return *FDoc->Canvas;
}

void TKivQtPrintDevice::NewPage() {
  if (!FDoc) throw EKivPrintPackError(u"You should call BeginDoc before this method");
  if (!FPrinter->newPage()) throw EKivPrintPackError(u"Cannot start a new page");
}

void TKivQtPrintDevice::EndDoc(bool AAbort) {
  if (!FDoc) return;
  std::unique_ptr<TPage> page = std::move(FDoc);
  page->Canvas.reset();
  if (AAbort && !FPdf) FPrinter->abort();
  if (page->Painter.isActive()) page->Painter.end();
  if (AAbort && FPdf) QFile::remove(FPrinter->outputFileName());
}

IKivPrintCanvas& TKivQtPrintDevice::BeginPageFile(const TKivString& AFileName) {
  if (FFile) throw EKivPrintPackError(u"A page file is already open");
  auto page = std::make_unique<TPage>();
  page->FileName = ToQ(AFileName);
  page->Writer = std::make_unique<QPdfWriter>(page->FileName);
  page->Writer->setResolution(FPrinter->resolution());
  page->Writer->setCreator(QStringLiteral("Vornish"));
  const QPageLayout layout = FPrinter->pageLayout();
  page->Writer->setPageLayout(QPageLayout(layout.pageSize(), layout.orientation(), QMarginsF(0, 0, 0, 0)));
  if (!page->Painter.begin(page->Writer.get())) throw EKivPrintPackError(u"Cannot create the file %s", {AFileName});
  page->Canvas = std::make_unique<TKivQtPrintCanvas>(page->Painter, static_cast<TKivQtMeasureSurface&>(MeasureSurface()));
  FFile = std::move(page);
  return *FFile->Canvas;
}

void TKivQtPrintDevice::EndPageFile(bool AAbort) {
  if (!FFile) return;
  std::unique_ptr<TPage> page = std::move(FFile);
  page->Canvas.reset();
  if (page->Painter.isActive()) page->Painter.end();
  page->Writer.reset();
  if (AAbort) QFile::remove(page->FileName);
}

void KivQtPrintRegister() {
  KivSetPrintDeviceFactory([]() -> std::unique_ptr<IKivPrintDevice> { return TKivQtPrintDevice::CreateDefault(); });
}

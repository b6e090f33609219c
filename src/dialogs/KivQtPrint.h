// The print engine on Qt: a print device on QPrinter (a system printer, or the virtual PDF
// printer when there is none), the page canvas on QPainter, and rich text on QTextDocument laid
// out at the device's resolution.
//
// Pages are painted in whole-sheet coordinates: the painter's origin is the paper's corner.
#pragma once

#include <QFont>
#include <QPainter>
#include <QString>
#include <QTextDocument>
#include <memory>

#include "KivPrinter.h"
#include "KivSedQtMeasure.h"
#include "KivSedQtPaint.h"

class QPrinter;
class QPagedPaintDevice;

// Painting on an active QPainter through the layout's painting surface.
class TKivQtPrintCanvas : public IKivPrintCanvas {
 public:
  // APainter must be active; neither it nor AMeasure is owned.
  TKivQtPrintCanvas(QPainter& APainter, TKivQtMeasureSurface& AMeasure);
  IKivPaintSurface& Surface() override { return FSurface; }
  void SetTransform(double AScaleX, double AScaleY, double ADX, double ADY) override;
  void ResetTransform() override;
  QPainter& Painter() { return FPainter; }

 private:
  QPainter& FPainter;
  TKivQtPaintSurface FSurface;
  QTransform FBase;
};

// Rich text on a QTextDocument; its stream is HTML (UTF-8). Measures and draws at the
// resolution of the paint device given (not owned; null: the screen).
class TKivQtRichText : public IKivRichText {
 public:
  explicit TKivQtRichText(QPaintDevice* ADevice = nullptr);

  Integer LineCount() const override;
  TKivString Line(Integer AIndex) const override;
  void SetLines(const std::vector<TKivString>& ALines) override;
  std::string SaveStream() const override;
  void LoadStream(const std::string& AStream) override;
  void Assign(const IKivRichText& ASource) override;
  void SubstituteFields(const TKivNameValues& AFields) override;
  Integer Height(Integer AWidth) override;
  // Draws on a TKivQtPrintCanvas; other canvases get the plain lines as text.
  void Draw(IKivPrintCanvas& ACanvas, const TKivRect& ARect) override;

  QTextDocument& Document() { return *FDoc; }

 private:
  void Prepare();
  QPaintDevice* FDevice;
  std::unique_ptr<QTextDocument> FDoc;
};

// A print device on a QPrinter that paints whole sheets.
class TKivQtPrintDevice : public IKivPrintDevice {
 public:
  // The default system printer; with no system printer, the virtual PDF printer.
  static std::unique_ptr<TKivQtPrintDevice> CreateDefault();
  // The virtual PDF printer: A4 portrait, 300 dpi, unprintable margins 20/10/20/10 mm, writing
  // to the settings' output file.
  static std::unique_ptr<TKivQtPrintDevice> CreatePdf();
  // A named system printer; unusable when it does not exist.
  static std::unique_ptr<TKivQtPrintDevice> CreateSystem(const QString& AName);
  ~TKivQtPrintDevice() override;

  bool IsPdf() const { return FPdf; }
  QPrinter& Printer() { return *FPrinter; }
  // The font measuring and painting use (default: a 10 pt monospaced face).
  void SetFont(const QFont& AFont);

  bool Usable() const override;
  Integer DpiX() const override;
  Integer DpiY() const override;
  TKivRect PaperRect() const override;
  TKivRect PrintableRect() const override;
  void PaperMillimeters(double& AWidth, double& AHeight, TKivDoubleRect& AMinMargins) const override;
  TKivPrinterSettings Settings() const override;
  void SetSettings(const TKivPrinterSettings& ASettings) override;
  IKivMeasureSurface& MeasureSurface() override;
  // The printing font: the face at AFont.PixelSize device pixels, unhinted.
  void SetMeasureFont(const TKivViewFont& AFont) override;
  std::unique_ptr<IKivRichText> CreateRichText() override;
  // Raises EKivPrintPackError when the printer or file cannot be opened.
  IKivPrintCanvas& BeginDoc(const TKivString& ATitle) override;
  void NewPage() override;
  void EndDoc(bool AAbort) override;
  // A one-page vector PDF with the fonts embedded, of this device's paper and resolution.
  IKivPrintCanvas& BeginPageFile(const TKivString& AFileName) override;
  void EndPageFile(bool AAbort) override;

 private:
  TKivQtPrintDevice(std::unique_ptr<QPrinter> APrinter, bool APdf);
  struct TPage;

  std::unique_ptr<QPrinter> FPrinter;
  bool FPdf;
  QFont FFont;
  std::unique_ptr<TKivQtMeasureSurface> FMeasure;
  std::unique_ptr<TPage> FDoc;
  std::unique_ptr<TPage> FFile;
};

// Registers the Qt print devices with the print engine. A program linked through the CMake
// targets gets this call at start-up (from the library kivdialogsregister, linked whole); a
// program linked otherwise calls it once before it makes printers.
void KivQtPrintRegister();

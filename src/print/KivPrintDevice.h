// The print engine's windows onto a platform: the print device (a system printer, a PDF file or
// a test fake), the canvas a page is painted on, and the rich-text holder the header and footer
// templates live in. The engine asks only these questions, so the same code prints to paper,
// to a file, into a preview picture or into a test's record.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "KivErrors.h"
#include "KivLayoutTypes.h"
#include "KivSedMeasure.h"
#include "KivSedViewHooks.h"

// The error class of the print engine.
class EKivPrintPackError : public EKivError {
 public:
  using EKivError::EKivError;
};

struct TKivDoubleRect {
  double Left = 0;
  double Top = 0;
  double Right = 0;
  double Bottom = 0;
  friend bool operator==(const TKivDoubleRect&, const TKivDoubleRect&) = default;
};

enum TKivPrinterOrientation : uint8_t { poPortrait, poLandscape };
enum TKivDuplexMode : uint8_t { dmSimplex, dmLongSide, dmShortSide };

// What a print device is set to: the printer's name, the paper, orientation, copies, collation,
// duplex, colour and the output file (empty: the printer itself). Paper sizes are in millimetres
// in portrait; 0 means the device's own default.
struct TKivPrinterSettings {
  TKivString PrinterName;
  TKivString PaperName;
  double PaperWidthMM = 0;
  double PaperHeightMM = 0;
  TKivPrinterOrientation Orientation = poPortrait;
  Integer Copies = 1;
  bool Collate = true;
  TKivDuplexMode Duplex = dmSimplex;
  bool Color = true;
  TKivString OutputFile;
  friend bool operator==(const TKivPrinterSettings&, const TKivPrinterSettings&) = default;
};

// A surface a page is painted on. Painting goes through Surface() in page pixels; the canvas maps
// them onto its own coordinates by the transform (x' = x * ScaleX + DX).
class IKivPrintCanvas {
 public:
  virtual ~IKivPrintCanvas() = default;
  virtual IKivPaintSurface& Surface() = 0;
  virtual void SetTransform(double AScaleX, double AScaleY, double ADX, double ADY) = 0;
  virtual void ResetTransform() = 0;
};

// Name=value pairs, as fields are filled into a template.
using TKivNameValues = std::vector<std::pair<TKivString, TKivString>>;

// Rich text: lines of characters with their formats. It measures and draws itself at the
// resolution of the device that made it.
class IKivRichText {
 public:
  virtual ~IKivRichText() = default;
  virtual Integer LineCount() const = 0;
  virtual TKivString Line(Integer AIndex) const = 0;
  // Replaces the text with plain lines (the format of the start of the text).
  virtual void SetLines(const std::vector<TKivString>& ALines) = 0;
  // The rich stream: the text with its formats, as this holder reads it back.
  virtual std::string SaveStream() const = 0;
  // Raises EKivPrintPackError for a stream it cannot read, leaving the text as it was.
  virtual void LoadStream(const std::string& AStream) = 0;
  // Copies text and formats from a holder of the same kind (plain lines from another kind).
  virtual void Assign(const IKivRichText& ASource) = 0;
  // Replaces every "[Name]" of AFields (names case-insensitive), left to right, without
  // rescanning the inserted text. A value goes in as plain text in the format of the field's
  // first character.
  virtual void SubstituteFields(const TKivNameValues& AFields) = 0;
  // Height in device pixels of the text laid out in AWidth pixels.
  virtual Integer Height(Integer AWidth) = 0;
  // Draws the text laid out in ARect's width from ARect's top-left, clipped to ARect.
  virtual void Draw(IKivPrintCanvas& ACanvas, const TKivRect& ARect) = 0;

  bool IsEmpty() const;
};

// A printer, a file writer or a fake: geometry in device pixels, a document of pages, and
// one-page files.
class IKivPrintDevice {
 public:
  virtual ~IKivPrintDevice() = default;
  // Whether the device can print: false for a system printer that is missing or unreadable.
  virtual bool Usable() const = 0;
  virtual Integer DpiX() const = 0;
  virtual Integer DpiY() const = 0;
  // The whole sheet in pixels (Left = Top = 0), and the printable area inside it.
  virtual TKivRect PaperRect() const = 0;
  virtual TKivRect PrintableRect() const = 0;
  // The sheet and its unprintable margins in millimetres. A device that knows them exactly (a
  // named paper size) says so; the default derives them from the pixel rectangles.
  virtual void PaperMillimeters(double& AWidth, double& AHeight, TKivDoubleRect& AMinMargins) const;
  virtual TKivPrinterSettings Settings() const = 0;
  // Applies the settings (paper, orientation, ...); the geometry follows.
  virtual void SetSettings(const TKivPrinterSettings& ASettings) = 0;
  // Measuring at the device's resolution.
  virtual IKivMeasureSurface& MeasureSurface() = 0;
  // The base font measuring and painting use from now on: AFont.PixelSize pixels of the device
  // (its Size in points for information), without hinting, no style (styles come with the text).
  // A device with a fixed font ignores it.
  virtual void SetMeasureFont(const TKivViewFont& AFont) { (void)AFont; }
  virtual std::unique_ptr<IKivRichText> CreateRichText() = 0;
  // A document of pages: the canvas of the first page; NewPage moves it to a new sheet.
  virtual IKivPrintCanvas& BeginDoc(const TKivString& ATitle) = 0;
  virtual void NewPage() = 0;
  // Ends the document; AAbort drops what was printed when possible.
  virtual void EndDoc(bool AAbort = false) = 0;
  // A file of one page; EndPageFile writes it.
  virtual IKivPrintCanvas& BeginPageFile(const TKivString& AFileName) = 0;
  virtual void EndPageFile(bool AAbort = false) = 0;
};

// Rich text without a platform: lines with a font style per character, drawn with the painting
// surface's text calls at one line height per line (no wrapping). Its stream is UTF-8 text:
// each line "<styles>\t<text>\n", the styles one hexadecimal digit per character.
class TKivSimpleRichText : public IKivRichText {
 public:
  // AMeasure (not owned; may be null: then every height is 0) gives the line height.
  explicit TKivSimpleRichText(IKivMeasureSurface* AMeasure = nullptr) : FMeasure(AMeasure) {}

  Integer LineCount() const override { return Integer(FLines.size()); }
  TKivString Line(Integer AIndex) const override;
  void SetLines(const std::vector<TKivString>& ALines) override;
  std::string SaveStream() const override;
  void LoadStream(const std::string& AStream) override;
  void Assign(const IKivRichText& ASource) override;
  void SubstituteFields(const TKivNameValues& AFields) override;
  Integer Height(Integer AWidth) override;
  void Draw(IKivPrintCanvas& ACanvas, const TKivRect& ARect) override;

  // Sets the style of characters [AStart, AStart + ACount) of line ALine.
  void SetStyle(Integer ALine, Integer AStart, Integer ACount, TKivFontStyles AStyle);
  TKivFontStyles StyleAt(Integer ALine, Integer AIndex) const;

 private:
  struct TLine {
    TKivString Text;
    std::vector<TKivFontStyles> Styles;  // one per code unit
  };
  Integer LineHeight() const;

  IKivMeasureSurface* FMeasure;
  std::vector<TLine> FLines;
};

// Measuring and shaping on Qt fonts: the layout's measuring surface for a screen, an image or a
// printer.
//
// Simple text is measured one character at a time, each advance rounded to whole pixels; the
// painting surface (KivSedQtPaint.h) places glyphs at exactly those advances, so what is drawn
// matches what the layout measured. Complex text (bidirectional, combining, shaped scripts) is
// shaped as a whole run with QTextLayout, and drawn from the same layout object.
#pragma once

#include <QFont>
#include <memory>

#include "KivSedMeasure.h"

class QPaintDevice;
class TQtFontSet;

// Whether a run needs shaping as a whole: it holds a surrogate, a combining mark, a right-to-left
// character or a bidirectional control, a zero-width joiner or non-joiner, or a character of a
// script whose letters change shape with their neighbours (Arabic, the Indic scripts, Thai, ...).
bool KivIsComplexText(TKivStringView AText);

class TKivQtMeasureSurface : public IKivMeasureSurface {
 public:
  // Measures in AFont (the base font of every style) for ADevice: a printer, an image, or none
  // for the screen. The device is not owned and must outlive the surface and the runs it shaped.
  explicit TKivQtMeasureSurface(const QFont& AFont, QPaintDevice* ADevice = nullptr);
  TKivQtMeasureSurface(const TKivQtMeasureSurface&) = delete;
  TKivQtMeasureSurface& operator=(const TKivQtMeasureSurface&) = delete;
  ~TKivQtMeasureSurface() override;

  const QFont& Font() const;
  QPaintDevice* Device() const;
  // A new base font: every width and font measured so far is forgotten. Runs shaped before keep
  // their own measurement.
  void SetFont(const QFont& AFont);

  // The font of a style and charset, resolved for the device. The charset is a key only: fonts
  // of every charset are the same, and Qt's font fallback finds glyphs the font lacks.
  const QFont& StyledFont(TKivFontStyles AFs, TKivFontCharset ACharset);

  Integer CharWidth(Char AChar, TKivFontStyles AFs, TKivFontCharset ACharset) override;
  Integer SpaceWidth() override;
  TKivFontMetrics Metrics(TKivFontStyles AFs) override;
  bool IsComplex(TKivStringView AText) override { return KivIsComplexText(AText); }
  // An empty run gives a run of no width.
  std::unique_ptr<IKivShapedRun> Shape(TKivStringView AText, TKivFontStyles AFs,
                                       TKivFontCharset ACharset) override;

  // The fonts and glyphs behind the surface, for the painting surface that draws what it measured.
  TQtFontSet& Fonts() { return *FFonts; }

 private:
  std::unique_ptr<TQtFontSet> FFonts;
};

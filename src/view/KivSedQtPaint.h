// Painting on a QPainter: the layout's painting surface, with the gutter's built-in images.
//
// Coordinates are logical pixels: on a high-density device Qt scales them, and text measured by
// the measuring surface is drawn at the same logical positions.
#pragma once

#include <QImage>
#include <QSize>
#include <array>

#include "KivSedMeasure.h"
#include "KivSedQtMeasure.h"

class QPainter;

// The size in logical pixels of a built-in gutter image; empty for the kinds with none (the
// plain debugger frame and the fold end).
QSize KivGutterImageSize(TKivGutterImage AKind);

class TKivQtPaintSurface : public IKivPaintSurface {
 public:
  // Paints with APainter, which must be active, in the fonts of AMeasure: the surface the drawn
  // runs were measured and shaped on. Neither is owned; both must outlive the surface.
  // Raises EKivEditViewError when the painter is not active.
  TKivQtPaintSurface(QPainter& APainter, TKivQtMeasureSurface& AMeasure);
  TKivQtPaintSurface(const TKivQtPaintSurface&) = delete;
  TKivQtPaintSurface& operator=(const TKivQtPaintSurface&) = delete;

  // An image of the gutter's own in place of the built-in one (a null image restores it).
  void SetImage(TKivGutterImage AKind, const QImage& AImage);

  void FillRect(const TKivRect& ARect, TKivColor AColor) override;
  // Simple runs place each glyph at the measuring surface's whole-pixel advances; complex runs
  // are drawn from their shaping result when AShaped is this backend's run of the same text,
  // style and charset, and are shaped again otherwise.
  void DrawText(const TKivPoint& APos, TKivStringView AText, const IKivShapedRun* AShaped, TKivColor AColor,
                TKivFontStyles AFs, TKivFontCharset ACharset, const TKivRect& AClip) override;
  void SetClipRects(const std::vector<TKivRect>& ARects) override;
  void ClearClip() override;
  void VLine(Integer AX, Integer AY0, Integer AY1, TKivColor AColor) override;
  void HLine(Integer AX0, Integer AX1, Integer AY, TKivColor AColor) override;
  bool HasImage(TKivGutterImage AKind) override;
  void DrawImage(TKivGutterImage AKind, const TKivRect& ARect) override;
  void Save() override;
  // Raises EKivEditViewError without a matching Save.
  void Restore() override;

 private:
  void DrawSimple(qreal AX, qreal ABaseline, TKivStringView AText, TKivFontStyles AFs,
                  TKivFontCharset ACharset);
  QImage Image(TKivGutterImage AKind);

  QPainter& FPainter;
  TKivQtMeasureSurface& FMeasure;
  Integer FSaveDepth = 0;
  std::array<QImage, giWrap + 1> FOwnImages;
};

// The layout's three windows onto a platform: measuring, shaping and painting; and the host a
// screen cache serves.
//
// A backend (a real font and canvas, a printer, or a test fake) implements them. The layout asks
// only these questions, so the same code lays out and paints a window, a printed page or a test.
#pragma once

#include <memory>

#include "KivLayoutTypes.h"

// The measured form of one run of characters in one font: a backend's shaping result. It
// answers the four questions of complex-script text: total width, the edges of a character,
// and the character under a pixel.
class IKivShapedRun {
 public:
  virtual ~IKivShapedRun() = default;
  // Total advance in pixels.
  virtual Integer Width() const = 0;
  // Leading and trailing x of the code unit AIndex (0 <= AIndex < run length).
  virtual TKivTextArea CharArea(Integer AIndex) const = 0;
  // The code unit under AX (0 <= AX < Width()); ATrailing tells that AX is nearer its trailing
  // edge than its leading one.
  virtual Integer CharAt(Integer AX, bool& ATrailing) const = 0;
};

// A surface to measure text on: the view's canvas with its base font, or a printer's.
class IKivMeasureSurface {
 public:
  virtual ~IKivMeasureSurface() = default;
  // Advance of the single character AChar in the base font with style AFs and charset ACharset.
  virtual Integer CharWidth(Char AChar, TKivFontStyles AFs, TKivFontCharset ACharset) = 0;
  // Advance of a space with no style in the base font's charset.
  virtual Integer SpaceWidth() = 0;
  virtual TKivFontMetrics Metrics(TKivFontStyles AFs) = 0;
  // Whether the run needs complex-script processing (bidirectional, combining or shaped text).
  virtual bool IsComplex(TKivStringView AText) = 0;
  // Shapes a non-empty run in one font. The result may keep no reference to AText.
  virtual std::unique_ptr<IKivShapedRun> Shape(TKivStringView AText, TKivFontStyles AFs,
                                               TKivFontCharset ACharset) = 0;
};

// The images the default gutter painters draw.
enum TKivGutterImage : uint8_t {
  giBookmark,
  giBreakpointActive,
  giBreakpointInactive,
  giBreakpointDisabled,
  giFrame,
  giFrameTop,
  giFrameActive,
  giFoldPlus,
  giFoldMinus,
  giFoldEnd,
  giWrap
};

// A surface to paint on. Coordinates are pixels of the surface.
class IKivPaintSurface {
 public:
  virtual ~IKivPaintSurface() = default;
  virtual void FillRect(const TKivRect& ARect, TKivColor AColor) = 0;
  // Draws AText transparently with its top-left at APos, in the base font with style AFs and
  // charset ACharset, clipped to AClip. AShaped, when given, is the run's shaping result from
  // the same backend: drawing must then place the glyphs as it measured them.
  virtual void DrawText(const TKivPoint& APos, TKivStringView AText, const IKivShapedRun* AShaped,
                        TKivColor AColor, TKivFontStyles AFs, TKivFontCharset ACharset,
                        const TKivRect& AClip) = 0;
  // Limits further painting to the union of ARects, until ClearClip.
  virtual void SetClipRects(const std::vector<TKivRect>& ARects) = 0;
  virtual void ClearClip() = 0;
  // One-pixel lines: vertical at AX from AY0 to AY1 (exclusive), horizontal at AY.
  virtual void VLine(Integer AX, Integer AY0, Integer AY1, TKivColor AColor) = 0;
  virtual void HLine(Integer AX0, Integer AX1, Integer AY, TKivColor AColor) = 0;
  // Whether the backend has a (non-empty) image of this kind.
  virtual bool HasImage(TKivGutterImage AKind) = 0;
  // Draws the image centred in ARect.
  virtual void DrawImage(TKivGutterImage AKind, const TKivRect& ARect) = 0;
  // Save and restore of the drawing state (clip, pen and brush) around foreign painting code.
  virtual void Save() = 0;
  virtual void Restore() = 0;
};

// A laid-out screen as the painter takes it: a view's (TKivEditViewCore::ScreenLayout) or a
// print task's. What it holds is the layout's own business; only the layout makes one.
class TKivScreenLayout {
 protected:
  TKivScreenLayout() = default;
  ~TKivScreenLayout() = default;
};

// What a screen cache needs from its owner: the view, or a print task that lays out pages
// without a view.
class IKivScreenCacheHost {
 public:
  virtual ~IKivScreenCacheHost() = default;
  // The document laid out; asked at every call, never kept.
  virtual TKivEditDocument& Document() = 0;
  // Whether the cursor snaps to characters (no positions inside tabs or past line ends).
  virtual bool CursorBoundToChars() const = 0;
  // Layout from AFromOffset on changed: conversions the owner caches from there on are stale.
  virtual void InvalidateConversionCache(Integer AFromOffset) = 0;
  // Whether the cursor's row is painted differently (the selected-line highlight): a cursor
  // moving to another row then repaints both rows, else only the caret.
  virtual bool HighlightsCursorRow() const { return true; }
  // Whether rows of lines the parser has not reached yet may show guessed tokens and no fold
  // marks instead of waiting for the parser (TKivEditParserBase::MarkTokensNoWait): an owner
  // that parses on in the background and lays the rows out again says yes.
  virtual bool MayGuessTokens() const { return false; }
};

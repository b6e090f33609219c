// Value types of the layout engine: colours, font styles and charsets, rectangles, points,
// pixel spans of characters, font metrics, and the view's error class.
//
// The layout never sees a platform font or canvas: it names a font by its style set and charset
// over the view's base font, and it measures and paints through the interfaces of KivSedMeasure.h.
#pragma once

#include <algorithm>
#include <compare>
#include <cstdint>
#include <limits>

#include "KivErrors.h"
#include "KivSedDocument.h"
#include "KivSedUtils.h"
#include "KivTypes.h"

// Colours are the foundation's 32-bit value: 0x00BBGGRR, or a system colour (TKivColor).
// Font styles are the parser contract's set: bit 0 fsBold, 1 fsItalic, 2 fsUnderline, 3 fsStrikeOut.
using TKivFontCharset = uint8_t;  // an opaque byte that keys fonts; 0 is the default charset
inline constexpr TKivFontCharset kivDefaultCharset = 0;

// Points are the foundation's TKivPoint (X, Y).

// Left and top inclusive, right and bottom exclusive.
struct TKivRect {
  Integer Left = 0;
  Integer Top = 0;
  Integer Right = 0;
  Integer Bottom = 0;

  Integer Width() const { return Right - Left; }
  Integer Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  bool Intersects(const TKivRect& AOther) const {
    return Left < AOther.Right && AOther.Left < Right && Top < AOther.Bottom && AOther.Top < Bottom;
  }
  friend bool operator==(const TKivRect&, const TKivRect&) = default;
};

// The x positions, in pixels from the run's left edge, of a character's leading and trailing
// edge in reading order: for right-to-left text Leading is the greater.
struct TKivTextArea {
  Integer Leading = 0;
  Integer Trailing = 0;
  friend bool operator==(const TKivTextArea&, const TKivTextArea&) = default;
};

// Metrics of the base font in one style, in pixels.
struct TKivFontMetrics {
  Integer Height = 0;  // ascent + descent
  Integer Ascent = 0;
  Integer Descent = 0;
  Integer ExternalLeading = 0;
  Integer AveCharWidth = 0;
  friend bool operator==(const TKivFontMetrics&, const TKivFontMetrics&) = default;
};

// Pixel arithmetic that saturates instead of wrapping: long lines of wide glyphs stay in range.
inline Integer KivSaturate(int64_t AValue) {
  return static_cast<Integer>(
      std::clamp<int64_t>(AValue, std::numeric_limits<Integer>::min(), std::numeric_limits<Integer>::max()));
}
inline Integer KivSatAdd(Integer A, Integer B) {
  return KivSaturate(int64_t(A) + int64_t(B));
}
inline Integer KivSatMul(Integer A, Integer B) {
  return KivSaturate(int64_t(A) * int64_t(B));
}

// The error class of the view and its layout.
class EKivEditViewError : public EKivError {
 public:
  using EKivError::EKivError;
};

// How a view breaks long lines into rows: not at all, at the wrap ruler, or at the window's edge.
enum TKivViewWrapMode : uint8_t { wmNoWrap, wmWrapToRuler, wmWrapToWindow };

// What changed in a view since the last report (a set of bits).
enum TKivViewStatusChange : uint16_t {
  scCursor = 1 << 0,
  scSelection = 1 << 1,
  scFont = 1 << 2,
  scViewSettings = 1 << 3,
  scGutterSettings = 1 << 4,
  scHScroll = 1 << 5,
  scVScroll = 1 << 6,
  scScreenSize = 1 << 7,
  scWrapSettings = 1 << 8,
  scFolds = 1 << 9
};
using TKivViewStatusChanges = uint16_t;

// Flags of one row: where it lies in its line, the markers and folds of the line.
enum TKivScreenLineProp : uint8_t {
  lpFirstWrap,
  lpLastWrap,
  lpBookmark,
  lpBreakpointActive,
  lpBreakpointInactive,
  lpBreakpointDisabled,
  lpFrame,
  lpFrameTop,
  lpFrameActive,
  lpFoldStart,
  lpCollapsedFold,
  lpFoldEnd
};
using TKivScreenLineProps = uint16_t;  // a set of TKivScreenLineProp bits
inline constexpr TKivScreenLineProps KivLineProp(TKivScreenLineProp AProp) {
  return TKivScreenLineProps(1u << AProp);
}

// The canonical form of a position: a character and the cells to the right of its first cell
// (inside a tab, or past the end of a row).
struct TOffsetPoint {
  Integer Offset = 0;
  Integer InCharOffset = 0;
  friend auto operator<=>(const TOffsetPoint&, const TOffsetPoint&) = default;
};

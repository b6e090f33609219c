// Painting a view: the gutter bars and the text rows of a screen cache onto a paint surface.
//
// The painter reads a laid-out screen, TKivScreenLayout (it never lays text out itself) and draws it through
// IKivPaintSurface. Its inputs are plain records the owner fills: the view's colours, a few view
// settings, and the gutter's bars and colours. The view copies its properties into them before
// painting; a print task does the same with its own screen cache and Printing set.
//
// A row is drawn in two passes: the text and backgrounds of everything that is not selected,
// then, clipped to the pixel areas of the selected glyphs (taken from the shaped runs, so parts
// of right-to-left runs come out right), the selected glyphs in the selection colours.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "KivSedMeasure.h"

class TTextAnalysis;
class TKivSpecialChars;

// ---- inputs ----

// The view's colours used by painting (0x00BBGGRR or a system colour the platform resolves).
struct TKivViewPaintColors {
  TKivColor Color = 0xFFFFFF;            // background of text without a background of its own
  TKivColor FontColor = 0x000000;        // text without a colour of its own
  TKivColor ReadOnlyBgColor = 0xC0C0C0;  // line background of a read-only view or document
  TKivColor SelectedLineBg = 0xE6FFFA;   // the cursor's line (HighlightSelectedLine)
  TKivColor WrapRulerColor = 0x808080;
  TKivColor BreakpointLineColor = 0x000000;
  TKivColor BreakpointLineBg = 0xFFC7C7;
  TKivColor DebugFrameLineColor = 0x000000;
  TKivColor DebugFrameLineBg = 0xE6EFEE;
  TKivColor DebugFrameActiveLineColor = 0x000000;
  TKivColor DebugFrameActiveLineBg = 0x9999CC;
  TKivColor DebugFrameTopLineColor = 0x000000;
  TKivColor DebugFrameTopLineBg = 0x9999CC;
  TKivColor SelectionColor = 0xFFFFFF;
  TKivColor SelectionBg = 0xA56D53;
};

// The view settings painting depends on.
struct TKivViewPaintSettings {
  Integer LineHeight = 16;             // pixels of one row, > 0
  TKivFontStyles FontStyle = 0;        // style of the view's font
  bool HighlightSelectedLine = false;  // paint the cursor's line with SelectedLineBg
  bool ShowWrapRuler = false;          // a vertical line at the wrap ruler's column
  bool ReadOnly = false;               // the view is read-only (the document's flag is read too)
  bool Printing = false;               // a printed page: no selection, no ruler, no line colours
};

enum TKivGutterBarKind : uint8_t {
  gbBookmarkBar,
  gbBreakpointBar,
  gbLineNumberBar,
  gbFoldBar,
  gbWrapBar,
  gbCustom
};

// One bar of the gutter as it is painted. Width is the bar's effective width (for the line
// numbers already widened to the widest number by the gutter).
struct TKivGutterBarInfo {
  TKivGutterBarKind Kind = gbCustom;
  Integer Width = 14;
  Integer LeftPadding = 2;
  Integer RightPadding = 2;
  bool Visible = true;
  Integer Tag = 0;  // free for the owner (the bar's index in its collection, say)
  Integer FullWidth() const { return KivSatAdd(KivSatAdd(Width, LeftPadding), RightPadding); }
};

// The gutter as it is painted: the bars in order and their colours.
struct TKivGutterPaintSettings {
  TKivGutterPaintSettings();
  std::vector<TKivGutterBarInfo> Bars;  // breakpoints, bookmarks, line numbers, folds by default
  TKivColor BookmarksBarBg = 14215660;
  TKivColor BookmarksBarTextColor = 0;
  TKivColor LinesBarTextColor = 13408665;
  TKivColor LinesBarBg = 16053492;
  TKivColor FoldsBarLineColor = 13408665;
  TKivColor FoldsBarBg = 16053492;
  TKivColor CustomBarBg = 16053492;
  // Every n-th line number is written (and line 1); values below 1 count as 1.
  Integer LineNumberingInterval = 10;
  bool PaintWrapsOnLineNumberBar = true;  // continuation rows show the wrap image there

  // The sum of the full widths of the visible bars.
  Integer Width() const;
};

// ---- prepared rows ----

// A selected glyph range of a prepared item.
struct TKivPrepSelection {
  TKivEditAttributes Attrs;  // selection colours and style
  Integer Start = 0;         // glyph positions inside the item's text
  Integer Count = 0;
};

// One drawable piece of a row: a run of glyphs, or a background without text.
struct TKivPrepTextItem {
  std::shared_ptr<TTextAnalysis> Text;  // the run's shaped text; none for a background
  TKivFontCharset Charset = kivDefaultCharset;
  TKivEditAttributes Attrs;  // final colours and style
  Integer SelIndex = -1;     // into TKivPreparedText::Selns, or -1
  TKivRect R;
};

// A row ready to be drawn.
struct TKivPreparedText {
  TKivScreenLayout* Screen = nullptr;
  Integer ScreenLine = 0;
  Integer ScrollLine = 0;
  TKivRect BgRect;  // the row's text area
  std::vector<TKivPrepTextItem> Items;
  std::vector<TKivPrepSelection> Selns;
};

struct TKivPrepGutterBar {
  Integer Bar = 0;  // index into TKivGutterPaintSettings::Bars
  Integer Left = 0;
  Integer Right = 0;
};

struct TKivPreparedGutter {
  std::vector<TKivPrepGutterBar> Bars;  // the visible bars left to right
};

// ---- events ----

// Asked once per painted row that shows text (not when printing). Attributes come in with the
// view's background, the font's colour and style and no flags set; setting a flag makes the
// value count for the row. OverrideTokens (false on entry) makes the row's text and background
// colours win over the tokens' (not over highlighted ranges).
using TKivEditGetLineAttrsEvent =
    std::function<void(Integer AScrollLine, TKivEditAttributes& Attributes, bool& OverrideTokens)>;

struct TKivGutterPaintParams {
  Integer ScreenLine = 0;
  const TKivGutterBarInfo* Bar = nullptr;
  Integer BarIndex = 0;
  IKivPaintSurface* Canvas = nullptr;
  TKivRect Rect;
  std::function<void()> DefaultPainter;  // paints the bar as if no handler were set
};

// Asked for custom bars on rows that show text; when it leaves PaintOk false the default
// painter runs. The surface's state is saved before and restored after the call.
using TKivGutterPaintEvent = std::function<void(const TKivGutterPaintParams& AParams, bool& PaintOk)>;

// Where a painter asks for repaints: the view's window.
class IKivInvalidateTarget {
 public:
  virtual ~IKivInvalidateTarget() = default;
  virtual void Invalidate(const TKivRect& ARect) = 0;
  virtual void InvalidateAll() = 0;
};

// ---- the painter ----

class TKivEditPainter {
 public:
  TKivViewPaintColors Colors;
  TKivViewPaintSettings Settings;
  TKivGutterPaintSettings Gutter;
  // The glyph and charset of line-number bullets; none gives the default bullet.
  const TKivSpecialChars* SpecialChars = nullptr;
  TKivEditGetLineAttrsEvent OnGetLineAttributes;
  TKivGutterPaintEvent OnGutterPaint;
  // The view's change lock: raised while OnGutterPaint runs, so that the handler cannot open a
  // change bracket of the view. None when the owner has no such lock.
  Integer* ChangesLock = nullptr;

  // Paints the rows of the screen meeting AClipBox into AClient: the gutter at its left, the text
  // area right of it. Rows past the text are filled with the backgrounds. Raises
  // EKivEditViewError for a line height below 1.
  void Paint(TKivScreenLayout& AScreen, IKivPaintSurface& ACanvas, const TKivRect& AClient,
             const TKivRect& AClipBox);

  // The line painter: prepares and draws screen line AScreenLine into its text rectangle, then
  // the wrap ruler. Also used by printing.
  void PaintLine(TKivScreenLayout& AScreen, IKivPaintSurface& ACanvas, Integer AScreenLine,
                 const TKivRect& ATextRect, const TKivRect& AClip);
  // The items and selections of a row in final colours; items left or right of AClip are dropped.
  void PrepareLine(TKivScreenLayout& AScreen, Integer AScreenLine, const TKivRect& ATextRect,
                   const TKivRect& AClip, TKivPreparedText& AOut);
  // The two passes over a prepared row, clipped to ATextRect.
  void DrawPrepared(IKivPaintSurface& ACanvas, const TKivPreparedText& AText, const TKivRect& ATextRect);

  // The visible bars from AClientLeft on, with cumulative full widths.
  TKivPreparedGutter PrepareGutter(Integer AClientLeft) const;
  // The default painter of a bar on screen line AScreenLine (-1: a row past the text, only the
  // background is filled). Printing, the line-number bar is drawn on Colors.Color in
  // Colors.FontColor, with the bullet on every row that shows no number.
  void PaintGutterBar(TKivScreenLayout& AScreen, IKivPaintSurface& ACanvas, Integer AScreenLine,
                      const TKivGutterBarInfo& ABar, const TKivRect& ARect);

  // After the view's change bracket: asks ATarget to repaint the whole client area (AFullRepaint,
  // or the gutter's width differs from the last Paint or call), else each run of dirty rows
  // among the old and new rows on screen (the screen's rows at its last ResetStatusChanges and
  // now). Then the screen's rows are clean.
  void InvalidateAfterChange(TKivScreenLayout& AScreen, IKivInvalidateTarget& ATarget, const TKivRect& AClient,
                             bool AFullRepaint);
  // The rectangle of a scroll line on screen, or nothing when it is not on screen.
  void InvalidateScrollLine(TKivScreenLayout& AScreen, IKivInvalidateTarget& ATarget, const TKivRect& AClient,
                            Integer AScrollLine);

 private:
  void PaintLineNumber(TKivScreenLayout& AScreen, IKivPaintSurface& ACanvas, Integer AScreenLine,
                       const TKivGutterBarInfo& ABar, const TKivRect& ARect);
  void PaintWrapRuler(TKivScreenLayout& AScreen, IKivPaintSurface& ACanvas, const TKivRect& ATextRect);
  Integer FLastGutterWidth = -1;
  TKivPreparedText FPrepared;  // reused between rows
  std::vector<TKivRect> FClip;
};

// The view core's scrolling: the window's moves (by rows, to a position, by the wheel), the
// requests of the two scroll bars and their update, and the caret.
//
// The bars never make the view walk the whole text: without wrapping the vertical bar counts
// rows from the line index and the collapsed folds, wrapped it counts characters (unless the
// settings ask for precise bars). A bar's range above 32767 is compressed; its thumb positions
// are mapped back with the compression of the bar's last update.
#include <algorithm>

#include "KivSedViewCore.h"
#include "internal/ScreenCache.h"
#include "internal/ViewBracket.h"

namespace {

constexpr const char* kModule = "KivSedView";
// Rows or columns kept between a position scrolled to and the window's edge.
constexpr Integer kEdgeMargin = 4;
// The largest range a platform scroll bar is given.
constexpr int64_t kBarResolution = 32767;
// Wheel units of one step.
constexpr Integer kWheelStep = 120;
constexpr Integer kInsertCaretWidth = 2;

// A thumb position of a compressed bar (travel [0, 32767 - page + 1]) mapped linearly onto
// [0, ATarget].
int64_t ThumbToUnits(Integer APos, Integer AScaledPage, int64_t ATarget) {
  const int64_t travel = std::max<int64_t>(kBarResolution - AScaledPage + 1, 1);
  const int64_t pos = std::clamp<int64_t>(APos, 0, travel);
  return std::clamp<int64_t>(pos * std::max<int64_t>(ATarget, 0) / travel, 0, std::max<int64_t>(ATarget, 0));
}

// Compresses a bar of range [0, AMax] (AMax >= 32767) to [0, 32767].
void CompressBar(TKivScrollBarInfo& ABar, int64_t AMax, int64_t APage, int64_t APos) {
  ABar.Max = Integer(kBarResolution);
  ABar.Page = Integer(std::clamp<int64_t>(APage * kBarResolution / AMax, 1, kBarResolution));
  ABar.Pos = Integer(std::clamp<int64_t>(APos * kBarResolution / AMax, 0, kBarResolution));
  // A window on the last page puts the thumb at its end.
  const int64_t end = kBarResolution - ABar.Page + 1;
  if (APos > AMax - APage && ABar.Pos < end) ABar.Pos = Integer(end);
  ABar.Pos = std::min<Integer>(ABar.Pos, Integer(end));
}

}  // namespace

// ---- moving the window ----

void TKivEditViewCore::ScrollVertBy(Integer ALineOffset) {
  CheckDocument();
  InBracket(kivStatesOnScroll, [&] { SetTopLineScroll(KivSatAdd(TopLineScroll(), ALineOffset)); });
}

bool TKivEditViewCore::CursorRowOnScreen() {
  const Integer y = CursorPos().Y;
  const Integer top = TopLineScroll();
  return y >= top && y <= top + FullyVisibleLines() - 1;
}

void TKivEditViewCore::ScrollUp() {
  CheckDocument();
  InBracket(kivStatesOnScroll, [&] {
    const Integer top = TopLineScroll();
    const bool onScreen = CursorRowOnScreen();
    SetTopLineScroll(top - 1);
    if (TopLineScroll() == top) {
      FHost.Beep();
      return;
    }
    // The cursor stays on the window's edge row.
    if (onScreen && !CursorRowOnScreen()) {
      const TKivPoint p = CursorPos();
      FScreenCache->SetCursorPos({p.X, std::max<Integer>(p.Y - 1, 0)}, scBackward, SelectionBlockMode());
    }
  });
}

void TKivEditViewCore::ScrollDown() {
  CheckDocument();
  InBracket(kivStatesOnScroll, [&] {
    const Integer top = TopLineScroll();
    const bool onScreen = CursorRowOnScreen();
    SetTopLineScroll(KivSatAdd(top, 1));
    if (TopLineScroll() == top) {
      FHost.Beep();
      return;
    }
    if (onScreen && !CursorRowOnScreen()) {
      const TKivPoint p = CursorPos();
      FScreenCache->SetCursorPos({p.X, KivSatAdd(p.Y, 1)}, scBackward, SelectionBlockMode());
    }
  });
}

void TKivEditViewCore::ScrollLines(Integer ADelta, TKivScrollCode ACode, bool ANotify) {
  if (ADelta == 0 || InState(siDestroing)) return;
  CheckDocument();
  Integer y = FScreenCache->CorrectToLastScroll(KivSatAdd(TopLineScroll(), ADelta));
  InBracket(
      kivStatesOnScroll,
      [&] {
        if (ANotify && OnScroll) {
          OnScroll(*this, ACode, y);
          y = FScreenCache->CorrectToLastScroll(y);
        }
        SetTopLineScroll(y);
      },
      true);
}

void TKivEditViewCore::ScrollToPos(const TKivPoint& APos, bool AvoidScreenEdge) {
  // The row asked for is laid out first.
  const TKivPoint pos{std::max<Integer>(APos.X, 0), FScreenCache->CorrectToLastScroll(APos.Y)};
  const Integer rows = FullyVisibleLines();
  const Integer top = TopLineScroll();
  if (pos.Y >= top && pos.Y <= top + rows - 1 && FScreenCache->IsScrollInScreenBounds(pos)) return;
  const Integer margin = AvoidScreenEdge || InState(siScrollforceAvoidAdges)
                             ? std::max<Integer>(0, std::min<Integer>(kEdgeMargin, rows - 1))
                             : 0;
  InBracket(kivStatesOnScrollTo, [&] {
    if (pos.Y < top)
      SetTopLineScroll(pos.Y - margin);
    else if (pos.Y > top + rows - 1)
      SetTopLineScroll(KivSatAdd(pos.Y, margin + 1 - rows));
    if (FScreenCache->IsScrollInScreenBounds(pos) || WrapMode() == wmWrapToWindow) return;
    const Integer screenLine = FScreenCache->ScrollToScreen(pos.Y, false);
    if (screenLine < 0 || screenLine >= FScreenCache->LinesOnScreenScroll()) return;
    Integer start = 0, count = 0;
    FScreenCache->GetScreenLineXBounds(screenLine, start, count);
    Integer left = 0, width = 0, distance = 0;
    if (pos.X < start) {
      FScreenCache->ScrollPosToScreenPix({std::max<Integer>(0, pos.X - margin - 1), pos.Y}, left, width);
      distance = left;
    } else {
      FScreenCache->ScrollPosToScreenPix({KivSatAdd(pos.X, margin), pos.Y}, left, width);
      distance = KivSatAdd(KivSatAdd(left, width), -FScreenCache->ScreenWidthPixels());
    }
    Integer columns = FScreenCache->PixelsToScrollXFixed(distance, false);
    if (columns == 0) columns = distance < 0 ? -1 : distance > 0 ? 1 : 0;
    if (columns != 0) SetHorizScroll(KivSatAdd(HorizScroll(), columns));
  });
}

void TKivEditViewCore::SetHorizScroll(Integer AValue) {
  DoSetHorizScroll(AValue, scPosition);
}

void TKivEditViewCore::DoSetHorizScroll(Integer AValue, TKivScrollCode ACode) {
  if (AValue == HorizScroll() || WrapMode() == wmWrapToWindow) return;
  InBracket(
      kivStatesOnScroll,
      [&] {
        AValue = std::max<Integer>(AValue, 0);
        if (OnScroll) OnScroll(*this, ACode, AValue);
        FScreenCache->SetHorizScroll(std::max<Integer>(AValue, 0));
      },
      true);
}

// ---- the scroll bars' requests ----

Integer TKivEditViewCore::PageColumns() const {
  return std::max<Integer>(FScreenCache->PixelsToScrollXFixed(FScreenCache->ScreenWidthPixels(), false), 1);
}

void TKivEditViewCore::VertScrollBarRequest(TKivScrollCode ACode, Integer AThumbPos) {
  if (InState(siDestroing)) return;
  KIV_ASSERT(ACode <= scEndScroll, kModule);
  CheckDocument();
  InBracket(kivStatesOnScroll, [&] {
    const Integer top = TopLineScroll();
    const Integer page = FullyVisibleLines();
    switch (ACode) {
      case scLineUp:
        ScrollLines(-1, ACode, true);
        break;
      case scLineDown:
        ScrollLines(1, ACode, true);
        break;
      case scPageUp:
        ScrollLines(-page, ACode, true);
        break;
      case scPageDown:
        ScrollLines(page, ACode, true);
        break;
      case scPosition:
      case scTrack: {
        EnterState(siScrolling);
        Integer newTop = top;
        if (FVertBarKind == vbChars) {
          const int64_t chars = FVertBarScaled
                                    ? ThumbToUnits(AThumbPos, FVertBar.Page, FVertBarCount - FVertBarWindow)
                                    : std::clamp<int64_t>(AThumbPos, 0, FVertBarCount);
          const Integer doc = WorkingDocument().CharsCount();
          const Integer offset =
              FScreenCache->GetNearestValidOffset(Integer(std::clamp<int64_t>(chars, 0, doc)));
          newTop = FScreenCache->OffsetToScroll(offset).Y;
        } else {
          newTop = FVertBarScaled ? Integer(ThumbToUnits(AThumbPos, FVertBar.Page, FVertBarCount - page))
                                  : std::max<Integer>(AThumbPos, 0);
        }
        ScrollLines(KivSaturate(int64_t(newTop) - top), ACode, true);
        break;
      }
      case scTop:
        ScrollLines(-top, ACode, true);
        break;
      case scBottom:
        ScrollLines(KivSaturate(int64_t(GetVisibleCountScroll()) - top), ACode, true);
        break;
      case scEndScroll:
        ExitState(siScrolling);
        break;
    }
  });
}

void TKivEditViewCore::HorzScrollBarRequest(TKivScrollCode ACode, Integer AThumbPos) {
  if (InState(siDestroing)) return;
  KIV_ASSERT(ACode <= scEndScroll, kModule);
  InBracket(kivStatesOnScroll, [&] {
    const Integer h = HorizScroll();
    const Integer page = PageColumns();
    const Integer range = HorizScrollRange();
    Integer target = h;
    switch (ACode) {
      case scLineUp:
        target = h - 1;
        break;
      case scLineDown:
        target = KivSatAdd(h, 1);
        break;
      case scPageUp:
        target = KivSatAdd(h, -page);
        break;
      case scPageDown:
        target = KivSatAdd(h, page);
        break;
      case scPosition:
      case scTrack:
        EnterState(siScrolling);
        target = FHorzBarScaled
                     ? Integer(ThumbToUnits(AThumbPos, FHorzBar.Page, int64_t(FHorzBarRange) - page))
                     : AThumbPos;
        break;
      case scTop:
        target = 0;
        break;
      case scBottom:
        target = KivSatAdd(range - page, 1);
        break;
      case scEndScroll:
        ExitState(siScrolling);
        return;
    }
    DoSetHorizScroll(std::clamp<Integer>(target, 0, std::max<Integer>(range, 0)), ACode);
  });
}

// ---- the wheel ----

void TKivEditViewCore::MouseWheel(Integer ADelta, bool ACtrl, Integer AWheelLines) {
  if (InState(siDestroing) || !FFDoc) return;
  const Integer screen = ScreenHeight();
  Integer lines = ACtrl ? screen : AWheelLines;
  if (lines < 0 || lines > screen) lines = screen;
  InBracket(kivStatesOnScroll, [&] {
    FMouseWheelAcc = KivSatAdd(FMouseWheelAcc, ADelta);
    const Integer steps = FMouseWheelAcc / kWheelStep;
    FMouseWheelAcc %= kWheelStep;
    if (steps == 0) return;
    Integer y = FScreenCache->CorrectToLastScroll(
        KivSaturate(std::max<int64_t>(int64_t(TopLineScroll()) - int64_t(lines) * steps, 0)));
    if (OnScroll) OnScroll(*this, scPosition, y);
    SetTopLineScroll(y);
  });
}

void TKivEditViewCore::MouseWheelHorz(Integer ADelta, Integer AWheelLines) {
  if (InState(siDestroing) || WrapMode() == wmWrapToWindow) return;
  const Integer columns = std::max<Integer>(AWheelLines, 1);
  InBracket(kivStatesOnScroll, [&] {
    FMouseWheelAccX = KivSatAdd(FMouseWheelAccX, ADelta);
    const Integer steps = FMouseWheelAccX / kWheelStep;
    FMouseWheelAccX %= kWheelStep;
    if (steps == 0) return;
    // Wheel turned away from the user scrolls to the left, as it scrolls up.
    const int64_t h = std::clamp<int64_t>(int64_t(HorizScroll()) - int64_t(columns) * steps, 0,
                                          std::max<Integer>(HorizScrollRange(), 0));
    DoSetHorizScroll(Integer(h), scPosition);
  });
}

// ---- the scroll bars' update ----

Integer TKivEditViewCore::HorizScrollRange() {
  Integer range = std::max(FMaxHorizScroll, FScreenCache->HorizScroll());
  // The cursor's cell, wherever it is, lies inside the range.
  try {
    Integer left = 0, width = 0;
    FScreenCache->ScrollPosToScreenPix(CursorPos(), left, width);
    const Integer right = KivSatAdd(KivSatAdd(left, width), FScreenCache->HorizScrollPixels());
    range = std::max(range, FScreenCache->PixelsToScrollXFixed(right, true));
  } catch (const EKivEditViewError&) {  // no cell to measure: the range stays
  }
  return range;
}

void TKivEditViewCore::ComputeScrollBars(TKivScrollBarInfo& AVert, TKivScrollBarInfo& AHorz) {
  const bool hideShort = (FViewSettings & vsHideShowScrollbars) != 0;
  // Horizontal: columns.
  AHorz = {};
  FHorzBarScaled = false;
  if ((FScrollBars == ssBoth || FScrollBars == ssHorizontal) && WrapMode() != wmWrapToWindow) {
    const Integer range = HorizScrollRange();
    FMaxHorizScroll = range;
    FHorzBarRange = range;
    const Integer page = PageColumns();
    AHorz.Max = range;
    AHorz.Page = page;
    AHorz.Pos = FScreenCache->HorizScroll();
    if (range > kBarResolution) {
      FHorzBarScaled = true;
      CompressBar(AHorz, range, page, AHorz.Pos);
    }
    AHorz.Visible = !(hideShort && AHorz.Max < AHorz.Page);
  } else {
    AHorz.Visible = false;
  }
  // Vertical: rows, or characters when wrapped without precise bars.
  AVert = {};
  FVertBarScaled = false;
  if (FScrollBars == ssBoth || FScrollBars == ssVertical) {
    const Integer page = FullyVisibleLines();
    const Integer top = TopLineScroll();
    int64_t max = 0, barPage = page, pos = top;
    if (FViewSettings & vsPreciseScrollbars) {
      FVertBarKind = vbRows;
      Integer count = FScreenCache->CalkVisibleCountScrollBar(false);
      if (count - 1 < top + page - 1) count = FScreenCache->CalkVisibleCountScrollBar(true);
      max = std::max<int64_t>(count - 1, int64_t(top) + page - 1);
      FVertBarCount = count;
    } else if (WrapMode() == wmNoWrap) {
      FVertBarKind = vbRows;
      const Integer count = FScreenCache->CalkVisibleCountScroll();
      max = count - 1;
      FVertBarCount = count;
    } else {
      FVertBarKind = vbChars;
      const Integer first = FScreenCache->FirstCharOnScreen();
      const Integer shown = std::min(FScreenCache->LinesOnScreenScroll(), page);
      Integer last = first;
      if (shown > 0) {
        const TKivSegment seg = FScreenCache->GetScreenLine(shown - 1).ScrollInfo.ContentSegment;
        last = KivSatAdd(seg.Start, seg.Count);
      }
      max = WorkingDocument().CharsCount();
      barPage = std::max<int64_t>(int64_t(last) - first, 1);
      pos = first;
      FVertBarCount = max;
    }
    FVertBarWindow = barPage;
    max = std::max<int64_t>(max, 0);
    if (max >= kBarResolution) {
      FVertBarScaled = true;
      CompressBar(AVert, max, barPage, pos);
    } else {
      AVert.Max = Integer(max);
      AVert.Page = Integer(barPage);
      AVert.Pos = Integer(pos);
    }
    AVert.Visible = !(hideShort && AVert.Max < AVert.Page);
  } else {
    AVert.Visible = false;
  }
}

void TKivEditViewCore::UpdateScrollBars() {
  if (InState(siDestroing) || InState(siScrollbarsUpdating)) return;
  FState |= siScrollbarsUpdating;
  bool cursorWasOnScreen = false;
  try {
    cursorWasOnScreen = CursorRowOnScreen();
    // A bar shown or hidden resizes the text area at once: the window is measured and laid out
    // again and the bars computed anew, until their visibility settles (a few rounds at most).
    for (int round = 0; round < 3; ++round) {
      TKivScrollBarInfo vert, horz;
      ComputeScrollBars(vert, horz);
      const bool changed = vert.Visible != FScrollBarVisibleY || horz.Visible != FScrollBarVisibleX;
      FVertBar = vert;
      FHorzBar = horz;
      FScrollBarVisibleY = vert.Visible;
      FScrollBarVisibleX = horz.Visible;
      FHost.SetScrollBars(vert, horz);
      if (!changed) break;
      const Integer oldScreen = FScreenHeight, oldFull = FFullyVisible;
      const Integer oldWidth = FScreenCache->ScreenWidthPixels();
      UpdateMetrics();
      if (FScreenHeight == oldScreen && FFullyVisible == oldFull &&
          FScreenCache->ScreenWidthPixels() == oldWidth)
        break;
      FScreenCache->UpdateLayout();
      FScreenCache->ClampBottom(FullyVisibleLines());
      Repaint(true);
      UpdateCaret(true);
    }
  } catch (...) {
    FState &= TKivEditInternalStates(~siScrollbarsUpdating);
    throw;
  }
  FState &= TKivEditInternalStates(~siScrollbarsUpdating);
  // The bars took space from the cursor's row.
  if (cursorWasOnScreen && FFDoc && !CursorRowOnScreen()) ScrollToCursor();
}

// ---- the caret ----

void TKivEditViewCore::UpdateCaret(bool AForce) {
  if (InState(siDestroing)) return;
  if (!FHost.HasWindow() || !FHost.Focused() || !FScreenCache->IsCursorInScreenYBounds()) {
    if (FCaretShown) FHost.HideCaret();
    FCaretShown = false;
    return;
  }
  const TKivPoint cursor = CursorPos();
  TKivRect r;
  if (!ScrollPosToClient(cursor, r, true)) return;
  const Integer x = FInsCaret ? r.Left : std::min(r.Left, r.Right);
  if (FCaretShown && !AForce && FCaretPoint == TKivPoint{x, r.Top}) return;
  Integer width = kInsertCaretWidth;
  if (!FInsCaret) {
    // The whole character under the cursor: every cell of a tab.
    width = std::max<Integer>(std::abs(r.Width()), 1);
    Integer left = 0, right = 0;
    FScreenCache->GetScrollCharScrollBounds(cursor, left, right);
    if (right - left > 1) {
      Integer l1 = 0, w1 = 0, l2 = 0, w2 = 0;
      FScreenCache->ScrollPosToScreenPix({left, cursor.Y}, l1, w1);
      FScreenCache->ScrollPosToScreenPix({right - 1, cursor.Y}, l2, w2);
      width = std::max<Integer>(KivSatAdd(l2, w2) - l1, width);
    }
  }
  FHost.ShowCaret(x, r.Top, width, FLineHeight);
  FCaretShown = true;
  FCaretPoint = {x, r.Top};
}

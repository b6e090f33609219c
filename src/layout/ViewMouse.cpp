// The view's mouse: presses, double and triple clicks, drag selection by characters, words and
// lines, the wait for a drag, fold-bar and gutter clicks, auto-scrolling and the cursor shape.
#include <algorithm>
#include <cstdlib>
#include <limits>

#include "KivSedGutter.h"
#include "KivSedViewCore.h"
#include "internal/ScreenCache.h"

namespace {

// The auto-scroll timer's interval: about 66 ticks a second.
constexpr int kAutoScrollIntervalMs = 15;
// Moves shorter than this in both directions after a press select nothing.
constexpr Integer kDeadZone = 3;
constexpr int64_t kNoDoubleClick = std::numeric_limits<int64_t>::min();

bool Has(TKivShiftState AShift, TKivShiftState ABit) {
  return KivHasShift(AShift, ABit);
}

}  // namespace

struct TKivEditViewCore::TMouseState {
  Integer DownX = -1;
  Integer DownY = -1;
  bool Captured = false;
  int64_t LastDoubleClick = kNoDoubleClick;
  Integer DoubleClickMs = 500;
  Integer DragDistance = 10;
  std::unique_ptr<IKivTimer> ScrollTimer;
  Integer ScrollDirX = 0;
  Integer ScrollDirY = 0;
  Integer ScrollLinesPerTick = 1;
};

void TKivEditViewCore::TMouseStateDeleter::operator()(TMouseState* AState) const {
  if (AState && AState->ScrollTimer) AState->ScrollTimer->Stop();
  delete AState;
}

TKivEditViewCore::TMouseState& TKivEditViewCore::Mouse() {
  if (!FMouse) FMouse.reset(new TMouseState);
  return *FMouse;
}

bool TKivEditViewCore::MouseCaptured() const {
  return FMouse && FMouse->Captured;
}

void TKivEditViewCore::SetMouseMetrics(Integer ADoubleClickMs, Integer ADragDistance) {
  TMouseState& m = Mouse();
  m.DoubleClickMs = std::max<Integer>(ADoubleClickMs, 0);
  m.DragDistance = std::max<Integer>(ADragDistance, 1);
}

// ---- helpers ----

namespace {

// Whether a scroll position lies in the selection as shown (ordered ends AStart <= AEnd).
bool PointInSel(const TKivPoint& AP, const TKivPoint& AStart, const TKivPoint& AEnd, bool ABlock) {
  if (AP.Y < AStart.Y || AP.Y > AEnd.Y) return false;
  if (ABlock) {
    const Integer l = std::min(AStart.X, AEnd.X), r = std::max(AStart.X, AEnd.X);
    return AP.X >= l && AP.X <= r;
  }
  if (AP.Y == AStart.Y && AP.X < AStart.X) return false;
  if (AP.Y == AEnd.Y && AP.X >= AEnd.X) return false;
  return true;
}

}  // namespace

TKivPoint TKivEditViewCore::SnapToWordBound(const TKivPoint& APoint, bool AForward) {
  TScreenCache& sc = *FScreenCache;
  TKivEditDocument& doc = WorkingDocument();
  const Integer row = sc.CorrectToLastScroll(std::max<Integer>(APoint.Y, 0));
  const Integer o = sc.ScrollPtToOffsetPt(sc.CorrectCursorSelPos({APoint.X, row})).Offset;
  const Integer first = sc.ScrollPtToOffsetPt({0, row}).Offset;
  const Integer last = std::max(sc.GetScrollLineOffLast(row).Offset, o);
  Integer result;
  if (AForward) {
    const bool lastRow = sc.AfterLastScroll(row + 1);
    const Integer fallback = lastRow ? last : sc.ScrollPtToOffsetPt({0, row + 1}).Offset;
    const Integer end = doc.FindNextWordEnd(o, last - o);
    const Integer start = doc.FindNextWordStart(o, last - o);
    const Integer e = end >= 0 ? end + 1 : fallback;
    const Integer s = start >= 0 ? start : fallback;
    result = std::min(s, e);
  } else {
    const Integer end = doc.FindPrevWordEnd(o, o - first + 1);
    const Integer start = doc.FindPrevWordStart(o, o - first + 1);
    // Nothing before the row's first offset counts (the search looks one character further).
    const Integer e = end + 1 >= first ? end + 1 : first;
    const Integer s = start >= first ? start : first;
    result = std::max(s, e);
  }
  return sc.OffsetPtToScroll({std::clamp<Integer>(result, 0, doc.CharsCount()), 0});
}

TKivPoint TKivEditViewCore::SnapToLineBound(const TKivPoint& APoint, bool AForward) {
  TScreenCache& sc = *FScreenCache;
  const Integer row = sc.CorrectToLastScroll(std::max<Integer>(APoint.Y, 0));
  TOffsetPoint first, last;
  sc.GetPhysLineVisibleBounds(sc.ScrollToPhysical(row), first, last);
  return sc.OffsetPtToScroll(AForward ? last : first);
}

void TKivEditViewCore::SelectByMouse(const TKivPoint& AStart, const TKivPoint& AEnd, bool ABlock) {
  TScreenCache& sc = *FScreenCache;
  const TOffsetPoint s = sc.ScrollPtToOffsetPt(sc.CorrectCursorSelPos(AStart));
  const TOffsetPoint e = sc.ScrollPtToOffsetPt(sc.CorrectCursorSelPos(AEnd));
  sc.SetSelection(s, e, ABlock);
  sc.SetCursorOffset(e, scBackward, ABlock);
}

void TKivEditViewCore::StartLineSelection(Integer AScrollLine, bool) {
  TMouseState& m = Mouse();
  TScreenCache& sc = *FScreenCache;
  m.Captured = true;
  ExitState(siWaitDrag);
  EnterState(siMouseSelectByLines);
  const Integer row = sc.CorrectToLastScroll(std::max<Integer>(AScrollLine, 0));
  TOffsetPoint first, last;
  sc.GetPhysLineVisibleBounds(sc.ScrollToPhysical(row), first, last);
  sc.SetSelection(first, last, false);
  sc.SetCursorPos({0, row}, scBackward, false);
  ScrollToCursor();
  m.LastDoubleClick = kNoDoubleClick;  // a fourth click is a plain click
}

void TKivEditViewCore::SelectWordAt(bool ABlock) {
  TScreenCache& sc = *FScreenCache;
  TKivEditDocument& doc = WorkingDocument();
  const Integer q = sc.CursorOffset().Offset;
  TOffsetPoint firstPt, lastPt;
  sc.GetPhysLineVisibleBounds(doc.GetLineByOffset(q), firstPt, lastPt);
  const Integer first = firstPt.Offset, last = std::max(lastPt.Offset, q);
  const TKivSegment w1 = q == first ? TKivSegment{} : doc.FindPrevWord(q, q - first + 1);
  const TKivSegment w2 = doc.FindNextWord(q, last - q);
  const bool has1 = w1.Start >= first && w1.Count > 0;
  const bool has2 = w2.Start >= 0 && w2.Count > 0 && w2.Start <= last;
  // W1's last offset is the index of its last character: with one blank between two words the
  // following word is as near as the one before and wins.
  const auto select = [&](const TKivSegment& AWord) {
    const Integer end = std::min(last, AWord.Start + AWord.Count);
    sc.SetSelection(TOffsetPoint{AWord.Start, 0}, TOffsetPoint{end, 0}, ABlock);
    sc.SetCursorOffset({end, 0}, scBackward, ABlock);
  };
  if (has1 && (!has2 || q - (w1.Start + w1.Count - 1) < w2.Start - q))
    select(w1);
  else if (has2)
    select(w2);
  else {
    sc.SetSelection(firstPt, lastPt, ABlock);
    sc.SetCursorOffset(lastPt, scBackward, ABlock);
  }
}

// ---- press ----

bool TKivEditViewCore::MouseDown(TKivMouseButton AButton, TKivShiftState AShift, Integer AX, Integer AY,
                                 bool ADouble) {
  if (InState(siDestroing)) return false;
  if (OnMouseDown) {
    bool stop = false;
    OnMouseDown(*this, AButton, AShift, AX, AY, stop);
    if (stop || InState(siDestroing)) return false;
  }
  TMouseState& m = Mouse();
  TScreenCache& sc = *FScreenCache;
  m.Captured = false;
  m.DownX = AX;
  m.DownY = AY;
  SetCursorBeforeDrag(CursorOffsetPoint());
  const bool alt = Has(AShift, ssAlt), shift = Has(AShift, ssShift), ctrl = Has(AShift, ssCtrl);
  const int64_t now = FHost.Clock().NowMs();
  const bool triple = !ADouble && m.LastDoubleClick != kNoDoubleClick && now - m.LastDoubleClick >= 0 &&
                      now - m.LastDoubleClick <= m.DoubleClickMs;
  BeginUpdate();
  try {
    ExitStates(siComplWordTyping | siComplListShown | siIncrementalSearch);
    // The anchor a Shift-click selects from: the selection's, or the cursor before the click.
    TKivPoint anchor = SelAvail() ? SelectionStart() : CursorPos();
    TKivPoint p;
    bool trailing = false;
    const TKivEditScreenPart part = ClientToScrollPos({AX, AY}, p, trailing);
    if (part == spText && trailing && !ADouble && !triple) p.X = KivSatAdd(p.X, 1);
    bool handled = false;
    if (OnGutterClick) {
      Integer scrollLine;
      TKivGutterBar* bar;
      if (ClientToGutter({AX, AY}, scrollLine, bar)) {
        const TKivGutterClickParams params{scrollLine, bar, AShift, AButton};
        OnGutterClick(*this, params, handled);
      }
    }
    if (!handled) {
      p = sc.CorrectScrollPoint(p, scForCursor, scBackward, alt);
      TKivPoint selStart, selEnd;
      sc.SelectionN(selStart, selEnd);
      const bool inSel = sc.SelAvail() && PointInSel(p, selStart, selEnd, sc.SelBlockMode());
      const Integer line = sc.ScrollToPhysical(p.Y);
      if (part == spGutterText) {
        Integer screenLine;
        TKivGutterBar* bar = AButton == mbLeft ? GutterBarAt({AX, AY}, screenLine) : nullptr;
        if (bar && bar->Kind() == gbFoldBar && Document()) {
          if (IsCollapsedFold(line))
            Unfold(line, ctrl);
          else if (IsFoldStart(line))
            Fold(line, ctrl);
        } else if (bar && bar->Kind() == gbLineNumberBar) {
          StartLineSelection(p.Y, true);
        }
      } else if (AButton == mbRight) {
        if (!inSel && (ViewSettings() & vsRightClickMovesCursor)) {
          sc.SetCursorPos(p, scBackward, false);
          CancelSelection();
        }
        ScrollToCursor();
        RememberCursorColumn();
      } else if (AButton == mbLeft) {
        if (!inSel || ADouble) sc.SetCursorPos(p, scBackward, alt);
        if (ADouble) {
          m.Captured = true;
          ExitState(siWaitDrag);
          EnterState(siMouseSelectByWords);
          SelectWordAt(alt);
          m.LastDoubleClick = now;
        } else if (triple) {
          StartLineSelection(p.Y, true);
        } else {
          m.Captured = true;
          if ((ViewSettings() & vsDragDropEditing) && part == spText && inSel) {
            EnterState(siWaitDrag);
          } else {
            ExitState(siWaitDrag);
            if (inSel) {
              sc.SetCursorPos(p, scBackward, false);
              CancelSelection();
            } else if (!InState(siDoubleClicked)) {
              if (shift)
                SelectByMouse(anchor, p, alt);
              else
                CancelSelection();
            }
          }
        }
        ScrollToCursor();
        RememberCursorColumn();
      }
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
  return true;
}

// ---- move ----

void TKivEditViewCore::MouseMove(TKivShiftState AShift, Integer AX, Integer AY) {
  if (InState(siDestroing) || !FMouse) return;
  TMouseState& m = *FMouse;
  if (m.Captured && InState(siWaitDrag)) {
    if (std::abs(m.DownX - AX) < m.DragDistance && std::abs(m.DownY - AY) < m.DragDistance) return;
    ExitState(siWaitDrag);
    m.Captured = false;
    if (OnStartDrag) OnStartDrag();
    return;
  }
  if (!Has(AShift, ssLeft) || !m.Captured) return;
  const bool alt = Has(AShift, ssAlt);
  BeginUpdate();
  try {
    TKivPoint p;
    bool trailing = false;
    if (ClientToScrollPos({AX, AY}, p, trailing) == spText && trailing) p.X = KivSatAdd(p.X, 1);
    AutoScrollCheck(AX, AY, 0);
    TScreenCache& sc = *FScreenCache;
    if (!Document()) {
      sc.SetCursorPos(p, scBackward, false);
    } else if (std::abs(AX - m.DownX) >= kDeadZone || std::abs(AY - m.DownY) >= kDeadZone) {
      const TKivPoint old = CursorPos();
      const TKivPoint anchor = SelAvail() ? SelectionStart() : old;
      // Which way the selection grows: from its anchor towards the mouse.
      const TKivPoint target = sc.CorrectCursorSelPos(p);
      const bool forward = anchor.Y < target.Y || (anchor.Y == target.Y && anchor.X < target.X);
      sc.SetCursorPos(p, scBackward, alt);
      const TKivPoint cursor = CursorPos();
      if (InState(siMouseSelectByWords)) {
        SelectByMouse(anchor, alt ? cursor : SnapToWordBound(cursor, forward), alt);
      } else if (InState(siMouseSelectByLines)) {
        const TKivPoint end = SnapToLineBound(cursor, forward);
        SelectByMouse(anchor, end, false);
        ScrollToPos({0, end.Y}, false);
      } else if (cursor != old || SelAvail()) {
        if (!alt || SelAvail())
          SelectByMouse(anchor, cursor, alt);
        else
          SelectByMouse(old, cursor, true);
      }
      RememberCursorColumn();
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

// ---- release ----

void TKivEditViewCore::MouseUp(TKivMouseButton, TKivShiftState AShift, Integer AX, Integer AY) {
  if (InState(siDestroing)) return;
  StopAutoScroll();
  if (FMouse) FMouse->Captured = false;
  BeginUpdate();
  try {
    if (InState(siWaitDrag) && !InState(siDoubleClicked)) {
      // The press on the selection did not become a drag: a plain click there.
      TScreenCache& sc = *FScreenCache;
      const TKivPoint p = sc.CorrectCursorSelPos(ClientToScrollPos({AX, AY}));
      const TKivPoint anchor = SelectionStart();
      if (Has(AShift, ssShift)) {
        SelectByMouse(anchor, p, SelectionBlockMode());
      } else {
        sc.SetCursorPos(p, scBackward, false);
        CancelSelection();
      }
      RememberCursorColumn();
      ExitState(siWaitDrag);
    }
    ExitStates(siDoubleClicked | siMouseSelectByWords | siMouseSelectByLines);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

// ---- auto-scroll ----

void TKivEditViewCore::AutoScrollCheck(Integer AX, Integer AY, Integer AMargin) {
  if (InState(siDestroing)) return;
  TMouseState& m = Mouse();
  const TKivRect r = FHost.TextAreaRect();
  const Integer lineHeight = std::max<Integer>(FLineHeight, 1);
  m.ScrollDirX = m.ScrollDirY = 0;
  Integer beyond = 0;  // pixels outside the text area, vertically
  const Integer top = KivSatAdd(r.Top, AMargin), bottom = KivSatAdd(r.Bottom, -AMargin - 1);
  if (AY < top) {
    m.ScrollDirY = -1;
    beyond = top - AY;
  } else if (AY > bottom) {
    m.ScrollDirY = 1;
    beyond = AY - bottom;
  }
  const Integer left = KivSatAdd(KivSatAdd(r.Left, FGutterWidth), AMargin), right = KivSatAdd(r.Right, -AMargin - 1);
  if (AX < left)
    m.ScrollDirX = -1;
  else if (AX > right)
    m.ScrollDirX = 1;
  // Faster the farther out: a line per tick within a line height, one more per line height,
  // at most a screen.
  m.ScrollLinesPerTick =
      std::clamp<Integer>(1 + (beyond - 1) / lineHeight, 1, std::max<Integer>(FullyVisibleLines(), 1));
  const bool run = FHost.Focused() && (m.ScrollDirX != 0 || m.ScrollDirY != 0);
  if (!run) {
    if (m.ScrollTimer) m.ScrollTimer->Stop();
    return;
  }
  if (!m.ScrollTimer) {
    m.ScrollTimer = FHost.CreateTimer();
    m.ScrollTimer->OnTick = [this] { AutoScrollTick(); };
  }
  if (!m.ScrollTimer->Active()) m.ScrollTimer->Start(kAutoScrollIntervalMs);
}

void TKivEditViewCore::AutoScrollTick() {
  if (InState(siDestroing) || !FMouse) return;
  TMouseState& m = *FMouse;
  if (!FHost.Focused()) {
    StopAutoScroll();
    return;
  }
  if (!Document()) return;
  BeginUpdate();
  try {
    if (m.ScrollDirY != 0)
      ScrollLines(m.ScrollDirY * m.ScrollLinesPerTick, m.ScrollDirY < 0 ? scLineUp : scLineDown, false);
    if (m.ScrollDirX != 0) SetHorizScroll(std::max<Integer>(0, KivSatAdd(HorizScroll(), m.ScrollDirX)));
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TKivEditViewCore::StopAutoScroll() {
  if (!FMouse) return;
  if (FMouse->ScrollTimer) FMouse->ScrollTimer->Stop();
  FMouse->ScrollDirX = FMouse->ScrollDirY = 0;
}

bool TKivEditViewCore::AutoScrolling() const {
  return FMouse && FMouse->ScrollTimer && FMouse->ScrollTimer->Active();
}

IKivTimer* TKivEditViewCore::AutoScrollTimer() const {
  return FMouse ? FMouse->ScrollTimer.get() : nullptr;
}

// ---- cursor shape ----

TKivMouseCursor TKivEditViewCore::MouseCursorAt(Integer AX, Integer AY) {
  if (InState(siDestroing)) return mcDefault;
  const TKivRect r = FHost.TextAreaRect();
  if (AX - r.Left < FGutterWidth) {
    Integer line;
    TKivGutterBar* bar;
    return ClientToGutter({AX, AY}, line, bar) && bar->Kind() == gbLineNumberBar ? mcLineNumbers : mcDefault;
  }
  TScreenCache& sc = *FScreenCache;
  TKivPoint p;
  bool trailing;
  ClientToScrollPos({AX, AY}, p, trailing);
  TKivMouseCursor cursor = mcIBeam;
  if (ViewSettings() & vsDragDropEditing) {
    TKivPoint s, e;
    sc.SelectionN(s, e);
    if (sc.SelAvail() && PointInSel(p, s, e, sc.SelBlockMode())) cursor = mcArrow;
  }
  if (OnGetMouseCursor) OnGetMouseCursor(*this, p, cursor);
  return cursor;
}

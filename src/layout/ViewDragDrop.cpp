// Drag and drop of text: the rules for a drag over a view, the drop (a move or copy of a view's
// selection, or text from another program) and a cancelled drag.
#include "KivSedViewDragDrop.h"

#include <algorithm>
#include <optional>

#include "internal/CursorUndoInfo.h"
#include "internal/ScreenCache.h"

namespace {

bool Less(const TKivPoint& A, const TKivPoint& B) {
  return A.Y < B.Y || (A.Y == B.Y && A.X < B.X);
}

bool Inside(const TKivRect& R, const TKivPoint& P) {
  return P.X >= R.Left && P.X < R.Right && P.Y >= R.Top && P.Y < R.Bottom;
}

// Whether a scroll position lies on the view's own selection: inside the rectangle of a block,
// between the ordered ends of a stream.
bool OnSelection(TKivEditViewCore& AView, const TKivPoint& APos) {
  if (!AView.SelAvail()) return false;
  TKivPoint s = AView.SelectionStart(), e = AView.SelectionEnd();
  if (AView.SelectionBlockMode()) {
    const Integer left = std::min(s.X, e.X);
    Integer right = std::max(s.X, e.X);
    if (left == right) right = left + 1;
    return APos.Y >= std::min(s.Y, e.Y) && APos.Y <= std::max(s.Y, e.Y) && APos.X >= left && APos.X < right;
  }
  if (Less(e, s)) std::swap(s, e);
  return !Less(APos, s) && !Less(e, APos);
}

bool WritableTarget(TKivEditViewCore& ATarget) {
  return ATarget.Document() && !ATarget.IsReadOnly();
}

// Where a drop at a client point goes: the mouse's hit test, the boundary nearest to the point
// (a point in the later half of a cell goes after it).
TKivPoint DropPos(TKivEditViewCore& ATarget, const TKivPoint& AClient) {
  TKivPoint p;
  bool trailing = false;
  if (ATarget.ClientToScrollPos(AClient, p, trailing) == spText && trailing) p.X = KivSatAdd(p.X, 1);
  return p;
}

}  // namespace

TKivDropEffect KivViewDragOver(TKivEditViewCore& ATarget, TKivEditViewCore* ASource, const TKivPoint& AClient,
                               bool ACtrl) {
  if (!WritableTarget(ATarget) || !Inside(ATarget.ClientRect(), AClient)) return deNone;
  ATarget.ExitStatesUnlessLocked(siComplWordTyping | siComplListShown);
  // Near an edge of the text area the view scrolls towards it, as while selecting with the mouse.
  ATarget.AutoScrollCheck(AClient.X, AClient.Y, 3);
  const TKivPoint pos = DropPos(ATarget, AClient);
  TKivDropEffect effect = ACtrl ? deCopy : deMove;
  if (ASource == &ATarget && OnSelection(ATarget, pos)) return deNone;
  if (ASource && ASource->IsReadOnly()) effect = deCopy;
  ATarget.SetCursorPos(pos);
  return effect;
}

TKivDropEffect KivViewDrop(TKivEditViewCore& ATarget, TKivEditViewCore* ASource, const TKivPoint& AClient,
                           bool ACtrl, const TKivString* AExternalText) {
  // The drag is over, whatever the drop does.
  ATarget.StopAutoScroll();
  if (ASource && ASource != &ATarget) ASource->StopAutoScroll();
  if (!WritableTarget(ATarget)) return deNone;
  if (ASource) {
    if (!ASource->SelAvail()) return deNone;
  } else if (!AExternalText || AExternalText->empty()) {
    return deNone;
  }
  const TKivPoint pos = DropPos(ATarget, AClient);
  if (ASource == &ATarget && OnSelection(ATarget, pos)) {
    ATarget.ForgetCursorBeforeDrag();
    return deNone;
  }
  const bool move = !ACtrl && !(ASource && ASource->IsReadOnly());
  const TKivDropEffect effect = move ? deMove : deCopy;
  ATarget.BeginUpdate();
  if (ASource && ASource != &ATarget) ASource->BeginUpdate();
  try {
    ATarget.ExitStatesUnlessLocked(kivStatesOnChange);
    ATarget.SetCursorPos(pos);
    const bool block = ASource && ASource->SelectionBlockMode();
    const TKivString text =
        ASource ? ATarget.ToDocumentLineBreaks(ASource->SelectedText()) : ATarget.ToDocumentLineBreaks(*AExternalText);
    // The undo step puts the cursor back where it was before the drag (same view) or where it is.
    const TOffsetPoint before = ATarget.CursorBeforeDrag();
    TKivDocUndoInfoPtr info = ASource == &ATarget && before.Offset >= 0
                                  ? std::make_unique<TCursorUndoInfo>(before, false)
                                  : ATarget.CursorUndoInfo();
    {
      TKivViewCompoundEdit compound(ATarget, std::move(info));
      if (ASource && move) {
        TKivPoint s = ASource->SelectionStart(), e = ASource->SelectionEnd();
        if (Less(e, s)) std::swap(s, e);
        TOffsetPoint start;
        // Another document: one undo step there too, with that view's author and cursor.
        std::optional<TKivViewCompoundEdit> sourceStep;
        if (&ASource->WorkingDocument() != &ATarget.WorkingDocument()) sourceStep.emplace(*ASource, true);
        if (block)
          ASource->DeleteInScrollBlock(s, e, start);
        else
          ASource->DeleteInScrollEx(s, e, start);
      }
      // The target's cursor followed the deletion: the text goes where the mouse pointed.
      const TKivPoint at = ATarget.CursorPos();
      if (block) {
        Integer width = 0;
        TOffsetPoint first, last;
        ATarget.InsertInScrollBlock(at, text, width, first, last);
        const TKivPoint a = ATarget.OffsetToScrollPos(first.Offset);
        const TKivPoint b{a.X + width, ATarget.OffsetToScrollPos(last.Offset).Y};
        ATarget.SetSelection(b, a, true);
      } else {
        Integer s = 0, e = 0;
        ATarget.InsertInScrollEx(at, text, !ASource, s, e, false);  // the padding is not selected
        ATarget.SetSelectionOffsets(e, s);
      }
    }
    if (ASource && ASource != &ATarget) ASource->CancelSelection();
  } catch (...) {
    if (ASource && ASource != &ATarget) ASource->EndUpdate();
    ATarget.EndUpdate();
    throw;
  }
  if (ASource && ASource != &ATarget) {
    ASource->ForgetCursorBeforeDrag();
    ASource->EndUpdate();
  }
  ATarget.ForgetCursorBeforeDrag();
  ATarget.EndUpdate();
  return effect;
}

void KivViewDragCancel(TKivEditViewCore& ASource) {
  ASource.StopAutoScroll();
  const TOffsetPoint before = ASource.CursorBeforeDrag();
  ASource.ForgetCursorBeforeDrag();
  if (before.Offset < 0 || !ASource.Document() || before.Offset > ASource.WorkingDocument().CharsCount()) return;
  ASource.SetCursorOffset(before.Offset);
}

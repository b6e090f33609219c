// The view core's cursor and selection: the setters, the column memory of vertical moves, the
// 14 movements, the cursor information of undo steps and the compound-edit scope.
#include <algorithm>
#include <optional>

#include "KivSedViewCore.h"
#include "internal/CursorUndoInfo.h"
#include "internal/ScreenCache.h"
#include "internal/ViewBracket.h"

namespace {

constexpr TKivEditInternalStates kCompletionStates = siComplWordTyping | siComplListShown;

void CheckScrollPoint(const TKivPoint& APoint) {
  if (APoint.X < 0) throw EKivEditViewError(u"Bad scroll position: [x < 0].");
  if (APoint.Y < 0) throw EKivEditViewError(u"Bad scroll position: [y < 0].");
}

void CheckOffset(const TKivEditDocument& ADoc, Integer AOffset) {
  if (AOffset < 0 || AOffset > ADoc.CharsCount())
    throw EKivEditViewError(u"Bad offset: %d. Valid range: [%d, %d]", {AOffset, 0, ADoc.CharsCount()});
}

// Where a selecting move starts from: the selection's anchor, or the cursor when nothing is
// selected (the anchor may then lie elsewhere after the cursor alone was set).
TOffsetPoint SelectionAnchor(TScreenCache& ASC) {
  return ASC.SelAvail() ? ASC.SelStartOffset() : ASC.CursorOffset();
}

}  // namespace

// ---- compound edits ----

TKivViewCompoundEdit::TKivViewCompoundEdit(TKivEditViewCore& AView, bool AWithCursorInfo, bool AFreezeViews)
    : FDoc(AView.WorkingDocument()), FFreeze(AFreezeViews) {
  AView.CheckDocument();
  if (FDoc.InsideCompoundEdit())
    FDoc.Internal().BeginCompoundAction(-1, nullptr, AFreezeViews);
  else
    FDoc.Internal().BeginCompoundAction(AView.AuthorID(), AWithCursorInfo ? AView.CursorUndoInfo() : nullptr,
                                        AFreezeViews);
}

TKivViewCompoundEdit::TKivViewCompoundEdit(TKivEditViewCore& AView, TKivDocUndoInfoPtr AInfo, bool AFreezeViews)
    : FDoc(AView.WorkingDocument()), FFreeze(AFreezeViews) {
  AView.CheckDocument();
  const bool nested = FDoc.InsideCompoundEdit();
  FDoc.Internal().BeginCompoundAction(nested ? -1 : AView.AuthorID(), nested ? nullptr : std::move(AInfo),
                                      AFreezeViews);
}

TKivViewCompoundEdit::~TKivViewCompoundEdit() {
  try {
    FDoc.EndCompoundEdit(FFreeze);
  } catch (...) {
    // Only a lock held by a listener refuses the close; the document closes it when it goes.
  }
}

Integer TKivEditViewCore::EditAuthorID() const {
  return WorkingDocument().InsideCompoundEdit() ? -1 : FAuthorID;
}

// ---- cursor undo information ----

TKivDocUndoInfoPtr TKivEditViewCore::CursorUndoInfo() {
  if (WorkingDocument().InsideCompoundEdit()) return nullptr;
  return std::make_unique<TCursorUndoInfo>(FScreenCache->CursorOffset(), InState(siComplWordTyping));
}

void TKivEditViewCore::RestoreCursorUndoInfo(const TKivDocUndoInfo* AInfo) {
  const auto* info = dynamic_cast<const TCursorUndoInfo*>(AInfo);
  if (!info) return;
  InBracket(kCompletionStates, [&] {
    TKivEditDocument& doc = WorkingDocument();
    TOffsetPoint p = info->OffPt;
    if (p.Offset < 0 || p.Offset > doc.CharsCount()) p = {doc.CharsCount(), 0};
    p.InCharOffset = std::max<Integer>(p.InCharOffset, 0);
    const TOffsetPoint onLine = FScreenCache->CorrectOffsetToLine(p);
    if (onLine != p) p = {onLine.Offset, 0};
    FScreenCache->EnsureOffsetIsVisible(p.Offset);
    FScreenCache->SetCursorOffset(p, scBackward, SelectionBlockMode());
    if (info->WordTyping) EnterState(siComplWordTyping);
  });
}

// ---- setters ----

TOffsetPoint TKivEditViewCore::CursorOffsetPoint() {
  return FScreenCache->CursorOffset();
}

TOffsetPoint TKivEditViewCore::SelectionStartPoint() {
  return FScreenCache->SelStartOffset();
}

TOffsetPoint TKivEditViewCore::SelectionEndPoint() {
  return FScreenCache->SelEndOffset();
}

void TKivEditViewCore::SetCursorOffset(Integer AValue) {
  CheckOffset(WorkingDocument(), AValue);
  InBracket(kivStatesOnChange,
            [&] { FScreenCache->SetCursorOffset({AValue, 0}, scBackward, SelectionBlockMode()); });
}

void TKivEditViewCore::SetCursorPos(const TKivPoint& AValue) {
  CheckScrollPoint(AValue);
  if (AValue == CursorPos()) return;
  InBracket(kCompletionStates, [&] {
    FScreenCache->SetCursorPos(AValue, scBackward, SelectionBlockMode());
    RememberCursorColumn();
  });
}

void TKivEditViewCore::SetCursorPosX(Integer AValue) {
  SetCursorPos({AValue, CursorPos().Y});
}

void TKivEditViewCore::SetCursorPosY(Integer AValue) {
  SetCursorPos({CursorPos().X, AValue});
}

void TKivEditViewCore::DoSetSelection(const TOffsetPoint& AStart, const TOffsetPoint& AEnd, bool ABlock) {
  // Inside a bracket: the selection, the cursor at its end, the cursor on screen.
  FScreenCache->SetSelection(AStart, AEnd, ABlock);
  if (FScreenCache->SelAvail()) FScreenCache->SetCursorOffset(AEnd, scBackward, ABlock);
  ScrollToPos(CursorPos(), false);
}

void TKivEditViewCore::SetSelection(const TKivPoint& AStart, const TKivPoint& AEnd, bool ABlock) {
  CheckScrollPoint(AStart);
  CheckScrollPoint(AEnd);
  InBracket(kivStatesOnChange, [&] {
    const TOffsetPoint s = FScreenCache->ScrollPtToOffsetPt(FScreenCache->CorrectCursorSelPos(AStart));
    const TOffsetPoint e = FScreenCache->ScrollPtToOffsetPt(FScreenCache->CorrectCursorSelPos(AEnd));
    DoSetSelection(s, e, ABlock);
  });
}

void TKivEditViewCore::SetSelectionOffsets(Integer AStart, Integer AEnd, bool ABlock) {
  const TKivEditDocument& doc = WorkingDocument();
  CheckOffset(doc, AStart);
  CheckOffset(doc, AEnd);
  InBracket(kivStatesOnChange, [&] { DoSetSelection({AStart, 0}, {AEnd, 0}, ABlock); });
}

void TKivEditViewCore::SetSelectionStart(const TKivPoint& AValue) {
  SetSelection(AValue, SelectionEnd(), SelectionBlockMode());
}

void TKivEditViewCore::SetSelectionEnd(const TKivPoint& AValue) {
  SetSelection(SelectionStart(), AValue, SelectionBlockMode());
}

void TKivEditViewCore::SetSelectionOffsetStart(Integer AValue) {
  SetSelectionOffsets(AValue, SelectionOffsetEnd(), SelectionBlockMode());
}

void TKivEditViewCore::SetSelectionOffsetEnd(Integer AValue) {
  SetSelectionOffsets(SelectionOffsetStart(), AValue, SelectionBlockMode());
}

void TKivEditViewCore::SetSelectionBlockMode(bool AValue) {
  if (AValue == SelectionBlockMode()) return;
  SetSelection(SelectionStart(), SelectionEnd(), AValue);
}

void TKivEditViewCore::CancelSelection() {
  InBracket(kCompletionStates, [&] {
    const TOffsetPoint c = FScreenCache->CursorOffset();
    FScreenCache->SetSelection(c, c, false);
  });
}

void TKivEditViewCore::DoSelectAll() {
  InBracket(kivStatesOnChange, [&] { DoSetSelection({0, 0}, {WorkingDocument().CharsCount(), 0}, false); });
}

namespace {

// The row geometry the movements need.
struct TRowGeom {
  TScreenCache& SC;
  TKivEditDocument& Doc;
  bool MayRestPastEnd;  // the cursor may stay in the empty space past a line's end

  TOffsetPoint Last(Integer AY) { return SC.GetScrollLineOffLast(AY); }
  Integer EndColumn(Integer AY) { return SC.OffsetPtToScroll(Last(AY)).X; }
  bool IsLastRowOfLine(Integer AY) {
    const Integer o = Last(AY).Offset;
    return Doc.GetLineEnd(Doc.GetLineByOffset(o)) == o;
  }
  bool RowExists(Integer AY) { return AY >= 0 && !SC.AfterLastScroll(AY); }
  bool Allowed(Integer AX, Integer AY) { return AX >= 0 && Allowed(SC.ScrollPtToOffsetPt({AX, AY}), AY); }
  bool Allowed(const TOffsetPoint& APoint, Integer AY) {
    return APoint <= Last(AY) || (MayRestPastEnd && IsLastRowOfLine(AY));
  }
};

}  // namespace

// ---- column memory ----

void TKivEditViewCore::RememberCursorColumn() {
  Integer left = 0, width = 0;
  FScreenCache->ScrollPosToScreenPix(CursorPos(), left, width);
  FCursorMaxHoriz = KivSatAdd(left, FScreenCache->HorizScrollPixels());
}

void TKivEditViewCore::ApplyRememberedColumn() {
  TScreenCache& sc = *FScreenCache;
  const TKivPoint cursor = CursorPos();
  Integer left = 0, width = 0;
  sc.ScrollPosToScreenPix(cursor, left, width);
  if (KivSatAdd(left, sc.HorizScrollPixels()) == FCursorMaxHoriz) return;
  const Integer column = sc.ScreenPixToScrollPos(KivSatAdd(FCursorMaxHoriz, -sc.HorizScrollPixels()), cursor.Y);
  TOffsetPoint p = sc.ScrollPtToOffsetPt({std::max<Integer>(column, 0), cursor.Y});
  // Past the row's last position only where a move may rest there: the empty space past the
  // end of a line's last row, when the cursor is not bound to characters.
  TRowGeom g{sc, WorkingDocument(), !(ViewSettings() & vsCursorBoundToChars) || sc.SelBlockMode()};
  if (!g.Allowed(p, cursor.Y)) p = g.Last(cursor.Y);
  const TOffsetPoint old = sc.CursorOffset();
  if (p == old) return;
  InBracket(0, [&] {
    const bool endWithCursor = sc.SelEndOffset() == old;
    const bool block = sc.SelBlockMode();
    const TOffsetPoint start = sc.SelStartOffset();
    sc.SetCursorOffset(p, scBackward, block);
    if (endWithCursor && start != old) sc.SetSelection(start, sc.CursorOffset(), block);
    else if (endWithCursor) sc.SetSelection(sc.CursorOffset(), sc.CursorOffset(), block);
  });
}

// ---- movements ----

void TKivEditViewCore::FinishMove(const TOffsetPoint& ATarget, bool ABackward, bool AWithSelect, bool ABlock) {
  // Inside the move's bracket: the cursor at the target, then the selection.
  TScreenCache& sc = *FScreenCache;
  const TOffsetPoint anchor = SelectionAnchor(sc);
  sc.SetCursorOffset(ATarget, ABackward ? scBackward : scForward, ABlock);
  ScrollToPos(CursorPos(), false);
  if (AWithSelect && FFDoc) {
    const TOffsetPoint c = sc.CursorOffset();
    sc.SetSelection(anchor, c, ABlock);
  } else {
    const TOffsetPoint c = sc.CursorOffset();
    sc.SetSelection(c, c, false);
  }
}

void TKivEditViewCore::MoveCharOrLine(Integer ADir, bool ALine, bool AWithSelect, bool ABlock) {
  InBracket(kivStatesOnChange, [&] {
    ScrollToPos(CursorPos(), false);
    TScreenCache& sc = *FScreenCache;
    TRowGeom g{sc, WorkingDocument(), !(ViewSettings() & vsCursorBoundToChars) || ABlock};
    const TKivPoint c = CursorPos();
    const bool mayChangeRow = g.RowExists(c.Y + ADir) && (ALine || !(AWithSelect && ABlock));
    bool found = false;
    TKivPoint target;
    if (!ALine) {
      if (g.Allowed(c.X + ADir, c.Y)) {
        const TOffsetPoint p = sc.ScrollPtToOffsetPt({c.X + ADir, c.Y});
        const TOffsetPoint q =
            sc.CorrectScrollPoint(p, scForCursor, ADir < 0 ? scBackward : scForward, true, ABlock);
        FinishMove(q, ADir < 0, AWithSelect, ABlock);
        return;
      }
      if (mayChangeRow) {
        target = ADir < 0 ? TKivPoint{g.EndColumn(c.Y - 1), c.Y - 1} : TKivPoint{0, c.Y + 1};
        found = true;
      }
    } else if (mayChangeRow) {
      Integer left = 0, width = 0;
      sc.ScrollPosToScreenPix(c, left, width);
      const Integer y = c.Y + ADir;
      const Integer x = sc.ScreenPixToScrollPos(left, y);
      target = g.Allowed(x, y) ? TKivPoint{x, y} : TKivPoint{g.EndColumn(y), y};
      found = true;
    }
    if (!found) {
      Beep();
      return;
    }
    FinishMove(sc.ScrollPtToOffsetPt(target), ADir < 0, AWithSelect, ABlock);
  });
}

void TKivEditViewCore::MoveWord(Integer ADir, bool AWithSelect, bool ABlock) {
  InBracket(kivStatesOnChange, [&] {
    ScrollToPos(CursorPos(), false);
    TScreenCache& sc = *FScreenCache;
    TKivEditDocument& doc = WorkingDocument();
    TRowGeom g{sc, doc, !(ViewSettings() & vsCursorBoundToChars) || ABlock};
    const TKivPoint c = CursorPos();
    const TOffsetPoint cursor = sc.CursorOffset();
    const bool mayChangeRow = g.RowExists(c.Y + ADir) && !(AWithSelect && ABlock);
    const Integer rowStart = sc.GetScrollLineInfo(c.Y).ContentSegment.Start;
    const TOffsetPoint last = g.Last(c.Y);
    const Integer offset = cursor.Offset;
    std::optional<TOffsetPoint> target;
    if (ADir < 0) {
      const Integer found = offset > rowStart ? doc.FindPrevWordStart(offset, offset - rowStart + 1) : -1;
      if (found >= rowStart && (found < offset || cursor.InCharOffset > 0))
        target = TOffsetPoint{found, 0};
      else if (mayChangeRow)
        target = sc.ScrollPtToOffsetPt({g.EndColumn(c.Y - 1), c.Y - 1});
      else if (c.X >= 1)
        target = sc.ScrollPtToOffsetPt({0, c.Y});
    } else {
      const Integer found = offset < last.Offset ? doc.FindNextWordStart(offset, last.Offset - offset + 1) : -1;
      if (found > offset && found <= last.Offset) {
        target = TOffsetPoint{found, 0};
      } else if (cursor < last) {
        target = last;
      } else if (mayChangeRow) {
        const Integer start = sc.GetScrollLineInfo(c.Y + 1).ContentSegment.Start;
        const TOffsetPoint nextLast = g.Last(c.Y + 1);
        const TKivString& seps = doc.FullWordSeparators();
        Integer w = -1;
        if (start < nextLast.Offset && seps.find(doc.Chars().GetChar(start)) == TKivString::npos)
          w = start;
        else if (start < nextLast.Offset)
          w = doc.FindNextWordStart(start, nextLast.Offset - start + 1);
        target = w >= start && w <= nextLast.Offset ? TOffsetPoint{w, 0} : sc.ScrollPtToOffsetPt({0, c.Y + 1});
      }
    }
    if (!target) {
      Beep();
      return;
    }
    FinishMove(*target, ADir < 0, AWithSelect, ABlock);
  });
}

void TKivEditViewCore::MoveToRow(Integer ARow, bool AWithSelect, bool ABlock) {
  // Inside a bracket: the cursor to a row keeping its column; then the selection.
  TScreenCache& sc = *FScreenCache;
  const Integer row = sc.CorrectToLastScroll(std::max<Integer>(ARow, 0));
  const TKivPoint c = CursorPos();
  const TOffsetPoint anchor = SelectionAnchor(sc);
  sc.SetCursorPos({c.X, row}, scBackward, ABlock);
  const TOffsetPoint cur = sc.CursorOffset();
  if (AWithSelect && FFDoc)
    sc.SetSelection(anchor, cur, ABlock);
  else
    sc.SetSelection(cur, cur, false);
  ScrollToPos(CursorPos(), false);
}

void TKivEditViewCore::MoveToOffsetPoint(const TOffsetPoint& APoint, bool AWithSelect, bool ABlock) {
  InBracket(kivStatesOnChange, [&] {
    TScreenCache& sc = *FScreenCache;
    const TOffsetPoint anchor = SelectionAnchor(sc);
    sc.SetCursorOffset(APoint, scForward, ABlock);
    const TOffsetPoint cur = sc.CursorOffset();
    if (AWithSelect && FFDoc)
      sc.SetSelection(anchor, cur, ABlock);
    else
      sc.SetSelection(cur, cur, false);
    ScrollToCursor();
  });
}

void TKivEditViewCore::MoveToPrevChar(bool AWithSelect, bool ABlock) {
  MoveCharOrLine(-1, false, AWithSelect, ABlock);
}

void TKivEditViewCore::MoveToNextChar(bool AWithSelect, bool ABlock) {
  MoveCharOrLine(1, false, AWithSelect, ABlock);
}

void TKivEditViewCore::MoveToPrevLine(bool AWithSelect, bool ABlock) {
  MoveCharOrLine(-1, true, AWithSelect, ABlock);
}

void TKivEditViewCore::MoveToNextLine(bool AWithSelect, bool ABlock) {
  MoveCharOrLine(1, true, AWithSelect, ABlock);
}

void TKivEditViewCore::MoveToPrevWord(bool AWithSelect, bool ABlock) {
  MoveWord(-1, AWithSelect, ABlock);
}

void TKivEditViewCore::MoveToNextWord(bool AWithSelect, bool ABlock) {
  MoveWord(1, AWithSelect, ABlock);
}

void TKivEditViewCore::MoveToPrevPage(bool AWithSelect, bool ABlock) {
  InBracket(kivStatesOnChange, [&] {
    const Integer top = TopLineScroll();
    const Integer newTop = KivSatAdd(top, -FullyVisibleLines());
    const Integer cursorY = CursorPos().Y;
    if (FFDoc) ScrollLines(newTop - top, scPageUp, false);
    MoveToRow(KivSatAdd(newTop, cursorY - top), AWithSelect, ABlock);
  });
}

void TKivEditViewCore::MoveToNextPage(bool AWithSelect, bool ABlock) {
  InBracket(kivStatesOnChange, [&] {
    const Integer top = TopLineScroll();
    const Integer newTop = KivSatAdd(top, FullyVisibleLines());
    const Integer cursorY = CursorPos().Y;
    // The window scrolls first so that the cursor's new row is on screen without a jump.
    if (FFDoc) ScrollLines(newTop - top, scPageDown, false);
    MoveToRow(KivSatAdd(newTop, cursorY - top), AWithSelect, ABlock);
  });
}

void TKivEditViewCore::MoveToFirstScreenLine(bool AWithSelect, bool ABlock) {
  InBracket(kivStatesOnChange, [&] { MoveToRow(TopLineScroll(), AWithSelect, ABlock); });
}

void TKivEditViewCore::MoveToLastScreenLine(bool AWithSelect, bool ABlock) {
  InBracket(kivStatesOnChange, [&] {
    MoveToRow(KivSatAdd(TopLineScroll(), std::max<Integer>(LinesOnScreenScroll(), 1) - 1), AWithSelect, ABlock);
  });
}

void TKivEditViewCore::MoveToLineStart(bool AWithSelect, bool ABlock) {
  const Integer y = CursorPos().Y;
  MoveToOffsetPoint({FScreenCache->GetScrollLineInfo(y).ContentSegment.Start, 0}, AWithSelect, ABlock);
}

void TKivEditViewCore::MoveToLineEnd(bool AWithSelect, bool ABlock) {
  const Integer y = CursorPos().Y;
  MoveToOffsetPoint(FScreenCache->GetScrollLineOffLast(y), AWithSelect, ABlock);
}

void TKivEditViewCore::MoveToTextStart(bool AWithSelect, bool ABlock) {
  MoveToOffsetPoint({0, 0}, AWithSelect, ABlock);
}

void TKivEditViewCore::MoveToTextEnd(bool AWithSelect, bool ABlock) {
  MoveToOffsetPoint({WorkingDocument().CharsCount(), 0}, AWithSelect, ABlock);
}

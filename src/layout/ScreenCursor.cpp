// Cursor and selection: kept at positions the layout can show, corrected after every layout
// change, and compared with a snapshot to tell the view what changed.
#include "internal/ScreenCache.h"

namespace {

void CheckOffsetPoint(TKivEditDocument& ADoc, const TOffsetPoint& APoint) {
  if (APoint.Offset < 0 || APoint.Offset > ADoc.CharsCount())
    throw EKivEditViewError(u"Bad offset: %d. Valid range: [%d, %d]", {APoint.Offset, 0, ADoc.CharsCount()});
  if (APoint.InCharOffset < 0) throw EKivEditViewError(u"Bad scroll position: [x < 0].");
}

void CheckScrollPos(const TKivPoint& APoint) {
  if (APoint.X < 0) throw EKivEditViewError(u"Bad scroll position: [x < 0].");
  if (APoint.Y < 0) throw EKivEditViewError(u"Bad scroll position: [y < 0].");
}

}  // namespace

// ---- visibility ----

bool TScreenCache::IsOffsetVisible(Integer AOffset) {
  if (AOffset < 0 || AOffset > Document().CharsCount()) return false;
  if (FFolds.Count() == 0) return true;
  // Past the last visible row lies only the state after the text: not a visible position.
  const TWrapParserState s = WP_GetStateOverFolds(AOffset);
  return s.Offset == AOffset && s.PhysLine < Document().LinesCount();
}

bool TScreenCache::IsLineStartVisible(Integer ALine) {
  const Integer hiding = CollapsedStartHiding(ALine);
  return hiding < 0 || hiding == ALine;
}

void TScreenCache::EnsureOffsetIsVisible(Integer AOffset) {
  TKivEditDocument& doc = Document();
  AOffset = std::clamp<Integer>(AOffset, 0, doc.CharsCount());
  const Integer line = doc.GetLineByOffset(AOffset);
  // Outer collapsed lines first, then the line itself when the offset lies behind its row.
  for (Integer hiding = CollapsedStartHiding(line); hiding >= 0 && hiding != line;
       hiding = CollapsedStartHiding(line))
    ExpandLines(hiding);
  if (CollapsedEnd(line) >= 0 && !IsOffsetVisible(AOffset)) ExpandLines(line);
}

Integer TScreenCache::GetNearestValidOffset(Integer AOffset) {
  TKivEditDocument& doc = Document();
  const Integer offset = CorrectOffsetToLine({std::clamp<Integer>(AOffset, 0, doc.CharsCount()), 0}).Offset;
  if (IsOffsetVisible(offset)) return offset;
  // The end of the row that shows the collapsed lines hiding it.
  Integer line = doc.GetLineByOffset(offset);
  const Integer hiding = CollapsedStartHiding(line);
  line = hiding >= 0 ? hiding : line;
  const Integer row = PhysicalToScroll(line);
  return std::clamp<Integer>(GetScrollLineOffLast(row).Offset, 0, doc.CharsCount());
}

TOffsetPoint TScreenCache::CorrectOffsetToLine(const TOffsetPoint& APoint) {
  TKivEditDocument& doc = Document();
  const Integer line = doc.GetLineByOffset(std::clamp<Integer>(APoint.Offset, 0, doc.CharsCount()));
  const Integer start = doc.GetLineStart(line);
  if (APoint.Offset < start || APoint.Offset > doc.GetLineEnd(line)) return {start, 0};
  return APoint;
}

Integer TScreenCache::GetNextVisibleLine(Integer ALine, bool ADoCheck) {
  if (ADoCheck) CheckFoldLine(ALine, Document().LinesCount() - 1);
  const Integer end = CollapsedEnd(ALine);
  return end >= 0 ? end + 1 : ALine + 1;
}

Integer TScreenCache::GetPrevVisibleLine(Integer ALine, bool ADoCheck) {
  if (ADoCheck) CheckFoldLine(ALine, Document().LinesCount());
  // The line before, or the shown collapsed start whose fold hides it.
  const Integer prev = ALine - 1;
  const Integer hiding = prev >= 0 ? CollapsedStartHiding(prev) : -1;
  return hiding >= 0 ? hiding : prev;
}

// ---- correction ----

TOffsetPoint TScreenCache::CorrectScrollPoint(TOffsetPoint APoint, TScrollCorrectFor AWhatFor,
                                              TScrollCorrectDir ADirection, bool ACorrectAfterWrapFwd,
                                              bool ABlock) {
  TKivEditDocument& doc = Document();
  CheckOffsetPoint(doc, APoint);
  const bool bound = FHost->CursorBoundToChars() && !ABlock;
  const TWrapParserState s = WP_GetState(APoint.Offset);
  if (s.IsTail) {
    if (!ABlock && (AWhatFor == scForSelection || bound)) {
      APoint.InCharOffset = 0;  // snaps to the line end
    } else if (!NoWrap() && APoint.InCharOffset > 0) {
      const Integer wrapW = EffectiveWrapWidth();
      const auto cellEnd = [&](Integer AIn) { return int64_t(s.XPix) + int64_t(AIn + 1) * FSpaceCharW; };
      if (cellEnd(APoint.InCharOffset) > wrapW) {
        const Integer nextLine = GetNextVisibleLine(s.PhysLine);
        const Integer next =
            APoint.Offset < doc.CharsCount() && nextLine < doc.LinesCount() ? doc.GetLineStart(nextLine) : -1;
        if (ACorrectAfterWrapFwd && next > APoint.Offset && IsOffsetVisible(next)) return {next, 0};
        // The last cell that still ends inside the wrap width.
        Integer in = APoint.InCharOffset;
        while (in > 0 && cellEnd(in) > wrapW) in = std::max<Integer>(in - 1, 0);
        APoint.InCharOffset = in;
      }
    }
    return APoint;
  }
  if (APoint.InCharOffset >= s.VisWidth) {  // past a character inside a row
    if (ACorrectAfterWrapFwd) {
      if (IsOffsetVisible(APoint.Offset + 1)) return {APoint.Offset + 1, 0};
      const Integer next = GetNextVisibleLine(s.PhysLine);
      if (next < doc.LinesCount()) return {doc.GetLineStart(next), 0};
    }
    APoint.InCharOffset = std::max<Integer>(s.VisWidth - 1, 0);
    return APoint;
  }
  if (bound) {
    if (ADirection == scForward && APoint.InCharOffset > 0 && IsOffsetVisible(APoint.Offset + 1))
      ++APoint.Offset;  // inside a tab moving forward: behind the tab
    APoint.InCharOffset = 0;
  }
  return APoint;
}

TKivPoint TScreenCache::CorrectScrollPoint(const TKivPoint& APoint, TScrollCorrectFor AWhatFor,
                                           TScrollCorrectDir ADirection, bool ABlock) {
  const TOffsetPoint p = ScrollPtToOffsetPt(APoint);
  return OffsetPtToScroll(CorrectScrollPoint(p, AWhatFor, ADirection, true, ABlock));
}

TOffsetPoint TScreenCache::MakeVisiblePoint(TOffsetPoint APoint) {
  APoint = CorrectOffsetToLine(APoint);
  if (!IsOffsetVisible(APoint.Offset)) EnsureOffsetIsVisible(APoint.Offset);
  return APoint;
}

void TScreenCache::RecorrectCursor() {
  TKivEditDocument& doc = Document();
  const auto fix = [&](const TOffsetPoint& APoint, TScrollCorrectFor AWhatFor) {
    TOffsetPoint p{std::clamp<Integer>(APoint.Offset, 0, doc.CharsCount()),
                   std::max<Integer>(APoint.InCharOffset, 0)};
    p = CorrectOffsetToLine(p);
    if (!IsOffsetVisible(p.Offset)) p = {GetNearestValidOffset(p.Offset), 0};
    return CorrectScrollPoint(p, AWhatFor, scBackward, true, SelBlockMode());
  };
  const TOffsetPoint oldCursor = CursorOffset(), oldStart = SelStartOffset(), oldEnd = SelEndOffset();
  const TOffsetPoint cursor = fix(oldCursor, scForCursor);
  TOffsetPoint start = fix(oldStart, scForSelection), end = fix(oldEnd, scForSelection);
  if (start.Offset != oldStart.Offset || end.Offset != oldEnd.Offset) start = end = cursor;
  if (cursor != oldCursor || start != oldStart || end != oldEnd) MarkAllScreenLinesDirty();
  FSelMarks.SetCursor(cursor);
  FSelMarks.SetSelStart(start);
  FSelMarks.SetSelEnd(end);
}

// ---- cursor and selection ----

TKivPoint TScreenCache::CursorPos() {
  UpdateLayout();
  return OffsetPtToScroll(CursorOffset());
}

TKivPoint TScreenCache::SelStart() {
  UpdateLayout();
  return OffsetPtToScroll(SelStartOffset());
}

TKivPoint TScreenCache::SelEnd() {
  UpdateLayout();
  return OffsetPtToScroll(SelEndOffset());
}

void TScreenCache::SelectionN(TKivPoint& AStart, TKivPoint& AEnd) {
  AStart = SelStart();
  AEnd = SelEnd();
  if (AEnd.Y < AStart.Y || (AEnd.Y == AStart.Y && AEnd.X < AStart.X)) std::swap(AStart, AEnd);
}

void TScreenCache::SetCursorOffset(const TOffsetPoint& AOffPt, TScrollCorrectDir ACorrectDir, bool ABlock) {
  CheckOffsetPoint(Document(), AOffPt);
  UpdateLayout();
  if (AOffPt == CursorOffset() && ABlock == SelBlockMode()) return;
  const Integer oldY = OffsetToScroll(CursorOffset().Offset).Y;
  if (ABlock != SelBlockMode()) MarkAllScreenLinesDirty();
  FSelMarks.SetBlock(ABlock);
  TOffsetPoint p = MakeVisiblePoint(AOffPt);
  p = CorrectScrollPoint(p, scForCursor, ACorrectDir, true, SelBlockMode());
  FSelMarks.SetCursor(p);
  UpdateLayout();  // when a fold opened
  // The caret is the host's to repaint; the rows only when the cursor's row is highlighted.
  const Integer newY = OffsetToScroll(p.Offset).Y;
  if (newY != oldY && FHost->HighlightsCursorRow()) {
    MarkScrollRangeDirty(oldY, oldY);
    MarkScrollRangeDirty(newY, newY);
  }
}

void TScreenCache::SetCursorPos(const TKivPoint& APoint, TScrollCorrectDir ACorrectDir, bool ABlock) {
  CheckScrollPos(APoint);
  UpdateLayout();
  SetCursorOffset(ScrollPtToOffsetPt(CorrectCursorSelPos(APoint)), ACorrectDir, ABlock);
}

void TScreenCache::SetSelection(const TOffsetPoint& AStart, const TOffsetPoint& AEnd, bool ABlock) {
  TKivEditDocument& doc = Document();
  CheckOffsetPoint(doc, AStart);
  CheckOffsetPoint(doc, AEnd);
  UpdateLayout();
  const TOffsetPoint oldStart = SelStartOffset(), oldEnd = SelEndOffset();
  const TKivPoint oldStartPos = OffsetPtToScroll(oldStart), oldEndPos = OffsetPtToScroll(oldEnd);
  TOffsetPoint s = MakeVisiblePoint(AStart);
  TOffsetPoint e = MakeVisiblePoint(AEnd);
  s = CorrectScrollPoint(s, scForSelection, oldStart < s ? scForward : scBackward, true, ABlock);
  e = CorrectScrollPoint(e, scForSelection, oldEnd < e ? scForward : scBackward, true, ABlock);
  const bool modeChanged = ABlock != SelBlockMode();
  FSelMarks.SetSelStart(s);
  FSelMarks.SetSelEnd(e);
  FSelMarks.SetBlock(ABlock);
  UpdateLayout();  // when a fold opened
  const TKivPoint startPos = OffsetPtToScroll(s), endPos = OffsetPtToScroll(e);
  if (!modeChanged && (!ABlock || (startPos.X == oldStartPos.X && endPos.X == oldEndPos.X))) {
    if (s != oldStart) MarkScrollRangeDirty(oldStartPos.Y, startPos.Y);
    if (e != oldEnd) MarkScrollRangeDirty(oldEndPos.Y, endPos.Y);
  } else {
    MarkAllScreenLinesDirty();
  }
}

void TScreenCache::SetSelection(const TKivPoint& AStart, const TKivPoint& AEnd, bool ABlock) {
  CheckScrollPos(AStart);
  CheckScrollPos(AEnd);
  UpdateLayout();
  const TOffsetPoint s = ScrollPtToOffsetPt(CorrectCursorSelPos(AStart));
  const TOffsetPoint e = ScrollPtToOffsetPt(CorrectCursorSelPos(AEnd));
  SetSelection(s, e, ABlock);
}

// ---- status ----

void TScreenCache::ResetStatusChanges() {
  UpdateLayout();
  FOldScreenHeightLines = FScreenHeightLines;
  FOldScreenWidthPixels = FScreenWidthPixels;
  FOldLinesOnScreen = static_cast<Integer>(FScreenLines.size());
  FOldHorizScrollPixels = FHorizScrollPixels;
  FOldFirstLineScroll = FFirstLineScroll + FFirstLineSkew;
  FOldCursor = CursorOffset();
  FOldSelStart = SelStartOffset();
  FOldSelEnd = SelEndOffset();
  FOldSelBlock = SelBlockMode();
}

TKivViewStatusChanges TScreenCache::StatusChanges() {
  UpdateLayout();
  TKivViewStatusChanges res = 0;
  if (FOldScreenHeightLines != FScreenHeightLines || FOldScreenWidthPixels != FScreenWidthPixels ||
      FOldLinesOnScreen != static_cast<Integer>(FScreenLines.size()))
    res |= scScreenSize;
  if (FOldHorizScrollPixels != FHorizScrollPixels) res |= scHScroll;
  if (FOldFirstLineScroll != FFirstLineScroll + FFirstLineSkew) res |= scVScroll;
  if (FOldCursor != CursorOffset()) res |= scCursor;
  if (FOldSelStart != SelStartOffset() || FOldSelEnd != SelEndOffset() || FOldSelBlock != SelBlockMode())
    res |= scSelection;
  return res;
}

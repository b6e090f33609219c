// The view's editing commands: typing in insert and overwrite mode, new lines with automatic
// indentation and trimming, tabs, deleting characters, words, lines and line ends, and undo and
// redo that put the cursor back.
//
// Positions are offset points of the screen cache (a character and the cells right of its first
// cell), so a cursor inside a tab or in the empty space past a line end edits the cells it shows:
// the tab is split into spaces, the empty space is filled with spaces first.
#include <algorithm>

#include "KivSedViewCore.h"
#include "internal/CursorUndoInfo.h"
#include "internal/ScreenCache.h"
#include "internal/ViewBracket.h"
#include "internal/ViewEditing.h"

namespace {

constexpr bool IsHighSurrogate(Char C) {
  return C >= 0xD800 && C <= 0xDBFF;
}
constexpr bool IsLowSurrogate(Char C) {
  return C >= 0xDC00 && C <= 0xDFFF;
}

}  // namespace

// ---- helpers shared with the indentation commands ----

bool KivIsBlank(Char C) {
  return C == u' ' || C == u'\t';
}

Char KivCharAt(const TKivEditDocument& ADoc, Integer AOffset) {
  if (AOffset < 0 || AOffset >= ADoc.CharsCount()) return 0;
  Char c = 0;
  ADoc.CopyChars(AOffset, 1, &c);
  return c;
}

Integer KivFirstNonBlankIn(const TKivEditDocument& ADoc, Integer AStart, Integer AEnd) {
  constexpr Integer kChunk = 256;
  Char buf[kChunk];
  for (Integer at = AStart; at < AEnd;) {
    const Integer n = std::min(kChunk, AEnd - at);
    ADoc.CopyChars(at, n, buf);
    for (Integer i = 0; i < n; ++i)
      if (!KivIsBlank(buf[i])) return at + i;
    at += n;
  }
  return -1;
}

// ---- the cell-based change ----

namespace {

// Whether AOffset is the end of its line's content (a point past it lies in the empty space).
bool IsLineEndOffset(const TKivEditDocument& ADoc, Integer AOffset) {
  return AOffset == ADoc.GetLineEnd(ADoc.GetLineByOffset(AOffset));
}

}  // namespace

Integer TViewEditing::CharCells(Integer AOffset) {
  TScreenCache& sc = *FView.FScreenCache;
  return sc.CalkPointVisWidth(AOffset + 1) - sc.CalkPointVisWidth(AOffset);
}

Integer TViewEditing::ReplaceCells(TOffsetPoint AStart, TOffsetPoint AEnd, TKivStringView AStr, bool ARemember,
                                   Integer* APaddedStart) {
  TKivEditDocument& doc = *FView.FFDoc;
  if (AEnd < AStart) std::swap(AStart, AEnd);
  const Integer s = AStart.Offset;
  Integer e = AEnd.Offset;
  // Cells of a tab (or of the empty space past the line end) before the start stay as spaces; a
  // character the end lies inside goes as a whole, its cells after the end stay as spaces.
  const Integer padBefore = AStart.InCharOffset;
  Integer padAfter = 0;
  if (AEnd.InCharOffset > 0 && !IsLineEndOffset(doc, e)) {
    padAfter = std::max<Integer>(0, CharCells(e) - AEnd.InCharOffset);
    ++e;
  }
  // Without padding the text goes in as it is (a paste of many megabytes is not copied again).
  TKivString padded;
  TKivStringView text = AStr;
  if (padBefore > 0 || padAfter > 0) {
    padded.reserve(AStr.size() + size_t(padBefore) + size_t(padAfter));
    padded.append(size_t(padBefore), u' ');
    padded.append(AStr);
    padded.append(size_t(padAfter), u' ');
    text = padded;
  }
  const Integer author = FView.EditAuthorID();
  TKivDocUndoInfoPtr info = ARemember ? FView.CursorUndoInfo() : nullptr;
  if (e == s) {
    if (!text.empty()) doc.Internal().InsertStr(s, text, author, std::move(info));
  } else if (text.empty()) {
    doc.Internal().Delete(s, e - s, author, std::move(info));
  } else {
    doc.Internal().ReplaceStr(s, e - s, text, author, std::move(info));
  }
  if (APaddedStart) *APaddedStart = s + padBefore;
  return s + padBefore + static_cast<Integer>(AStr.size());
}

void TViewEditing::PlaceCursor(TOffsetPoint APoint) {
  TScreenCache& sc = *FView.FScreenCache;
  sc.EnsureOffsetIsVisible(APoint.Offset);
  sc.SetCursorOffset(APoint);
  CancelSelection();
}

void TViewEditing::CancelSelection() {
  TScreenCache& sc = *FView.FScreenCache;
  const TOffsetPoint cur = sc.CursorOffset();
  sc.SetSelection(cur, cur, false);
}

bool TViewEditing::LastRowOfLine(Integer ARow) {
  TScreenCache& sc = *FView.FScreenCache;
  if (sc.AfterLastScroll(ARow + 1)) return true;
  return sc.ScrollToPhysical(ARow + 1) != sc.ScrollToPhysical(ARow);
}

void TViewEditing::PushCursorStep() {
  FView.FFDoc->Internal().PushCustomAction(FView.EditAuthorID(), FView.CursorUndoInfo());
}

// ---- typing ----

void TKivEditViewCore::InsertCharAtCursor(Char AChar, Integer ACount, bool AOverwrite) {
  if (ACount < 0) throw EInvalidArgument(u"Invalid count: %d", {ACount});
  InsertAtCursor(TKivString(ACount, AChar), AOverwrite);
}

void TKivEditViewCore::InsertAtCursor(TKivStringView AStr, bool AOverwrite) {
  CheckEditable();
  // Nothing to insert leaves a tab under the cursor whole.
  if (AStr.empty() && !SelAvail()) return;
  TViewEditing ed(*this);
  InBracket(kivStatesOnChange, [&] {
    ScrollToPos(CursorPos(), false);
    TScreenCache& sc = *FScreenCache;
    Integer end;
    if (SelAvail() && SelectionBlockMode()) {
      // A block goes first, the text then at the cursor: one undo step.
      TKivViewCompoundEdit compound(*this);
      DeleteSelected();
      const TOffsetPoint cur = sc.CursorOffset();
      end = ed.ReplaceCells(cur, cur, AStr, false);
    } else if (SelAvail()) {
      end = ed.ReplaceCells(sc.SelStartOffset(), sc.SelEndOffset(), AStr, true);
    } else {
      const TOffsetPoint cur = sc.CursorOffset();
      const Integer row = CursorPos().Y;
      const TOffsetPoint last = sc.GetScrollLineOffLast(row);
      if (AOverwrite && !AStr.empty() && (cur < last || (cur == last && !ed.LastRowOfLine(row)))) {
        // One cell: of a tab the next cell, else the whole character (both halves of a pair).
        TOffsetPoint next{cur.Offset + 1, 0};
        const Char c = KivCharAt(*FFDoc, cur.Offset);
        if (c == u'\t' && cur.InCharOffset + 1 < ed.CharCells(cur.Offset))
          next = {cur.Offset, cur.InCharOffset + 1};
        else if (IsHighSurrogate(c) && IsLowSurrogate(KivCharAt(*FFDoc, cur.Offset + 1)))
          next.Offset = cur.Offset + 2;
        end = ed.ReplaceCells(cur, next, AStr, true);
      } else {
        end = ed.ReplaceCells(cur, cur, AStr, true);
      }
    }
    ed.PlaceCursor({end, 0});
    ScrollToPos(CursorPos(), false);
  });
}

// ---- new line ----

void TKivEditViewCore::InsertReturnAtCursor(bool AOverwrite) {
  (void)AOverwrite;
  CheckEditable();
  TViewEditing ed(*this);
  InBracket(kivStatesOnChange, [&] {
    TScreenCache& sc = *FScreenCache;
    TKivEditDocument& doc = *FFDoc;
    TOffsetPoint cur = sc.CursorOffset();
    const Integer line = doc.GetLineByOffset(cur.Offset);
    TKivString indent;
    if (FViewSettings & vsAutoIndent) {
      Integer col;
      if (!FindIndentReference(line, 0, true, indent, col)) indent.clear();
    }
    const bool trim = (FViewSettings & vsKeepBlanks) == 0;
    TKivViewCompoundEdit compound(*this);
    const Integer lineStart = doc.GetLineStart(line);
    const Integer lineEnd = doc.GetLineEnd(line);
    const TKivPoint pos = CursorPos();
    const bool past = cur > sc.GetScrollLineOffLast(pos.Y);
    const Integer posInLine = cur.Offset - lineStart;
    const bool restBlank = !past && KivFirstNonBlankIn(doc, cur.Offset, lineEnd) < 0;
    const bool beforeBlank = !past && cur.Offset > 0 && KivFirstNonBlankIn(doc, lineStart, cur.Offset) < 0;

    TOffsetPoint at;        // where the break goes
    bool cursorToEnd = true;  // else the cursor stays in front of the same text
    if (lineEnd == lineStart) {
      at = {lineStart, 0};
    } else if (posInLine != 0 && !beforeBlank) {
      at = past ? TOffsetPoint{lineEnd, 0} : cur;
    } else if (!trim && restBlank) {
      at = {cur.Offset, 0};
    } else {
      at = {lineStart, 0};
      cursorToEnd = false;
      indent.clear();
    }
    const TKivString text = doc.LineSeparatorStr() + indent;
    const Integer end = ed.ReplaceCells(at, at, text, false);
    if (cursorToEnd)
      ed.PlaceCursor({end, 0});
    else
      ed.PlaceCursor({cur.Offset + static_cast<Integer>(text.size()), cur.InCharOffset});
    ScrollToPos(CursorPos(), false);

    if (trim) {
      // Blanks left at the cursor's end of its line go, then the trailing blanks of the line above.
      cur = sc.CursorOffset();
      const Integer newLine = doc.GetLineByOffset(cur.Offset);
      const Integer newEnd = doc.GetLineEnd(newLine);
      if (cur.Offset < newEnd && KivFirstNonBlankIn(doc, cur.Offset, newEnd) < 0)
        doc.Internal().Delete(cur.Offset, newEnd - cur.Offset, -1, nullptr);
      if (newLine > 0) {
        const Integer above = newLine - 1;
        const Integer aStart = doc.GetLineStart(above);
        const Integer aEnd = doc.GetLineEnd(above);
        Integer keep = aEnd;
        while (keep > aStart && KivIsBlank(KivCharAt(doc, keep - 1))) --keep;
        if (keep < aEnd) doc.Internal().Delete(keep, aEnd - keep, -1, nullptr);
      }
    }
  });
}

// ---- tab ----

void TKivEditViewCore::InsertTabAtCursor(bool AOverwrite) {
  CheckEditable();
  TViewEditing ed(*this);
  const TKivPoint pos = CursorPos();
  const Integer tab = TabWidth();
  const Integer stop = KivSatAdd(pos.X, tab - pos.X % tab);
  if (!AOverwrite) {
    InBracket(kivStatesOnChange, [&] {
      InsertAtCursor((FViewSettings & vsUseTabs) ? TKivString(u"\t") : TKivString(stop - pos.X, u' '), false);
      ScrollToPos(CursorPos(), false);
      ed.CancelSelection();
    });
    return;
  }
  InBracket(kivStatesOnChange, [&] {
    TScreenCache& sc = *FScreenCache;
    ed.CancelSelection();
    TKivPoint target{stop, pos.Y};
    if (!sc.NoWrap() && sc.ScrollPtToOffsetPt(target) >= sc.GetScrollLineOffLast(pos.Y)) {
      if (sc.AfterLastScroll(pos.Y + 1)) {
        Beep();
        return;
      }
      target = {0, pos.Y + 1};
    }
    ed.PushCursorStep();
    sc.SetCursorPos(sc.CorrectCursorSelPos(target));
    ed.CancelSelection();
    ScrollToPos(CursorPos(), false);
  });
}

// ---- deleting ----

void TKivEditViewCore::DeleteCharLeft() {
  DeleteCharOrWord(false, false);
}
void TKivEditViewCore::DeleteCharRight() {
  DeleteCharOrWord(true, false);
}
void TKivEditViewCore::DeleteWordLeft() {
  DeleteCharOrWord(false, true);
}
void TKivEditViewCore::DeleteWordRight() {
  DeleteCharOrWord(true, true);
}

TOffsetPoint TViewEditing::RowStart(Integer ARow) {
  return {FView.FScreenCache->GetScrollLineInfo(ARow).ContentSegment.Start, 0};
}

bool TViewEditing::StepTarget(bool AForward, bool AWord, TOffsetPoint& ATarget) {
  TScreenCache& sc = *FView.FScreenCache;
  TKivEditDocument& doc = *FView.FFDoc;
  const TOffsetPoint cur = sc.CursorOffset();
  const Integer row = sc.CursorPos().Y;
  const TOffsetPoint first = RowStart(row);
  const TOffsetPoint last = sc.GetScrollLineOffLast(row);
  const bool bound = (FView.FViewSettings & vsCursorBoundToChars) != 0;
  const auto prevRowEnd = [&](TOffsetPoint& AT) {
    if (row == 0) return false;
    AT = sc.GetScrollLineOffLast(row - 1);
    // Only a line's end joins lines; a wrapped row's last character is taken whole.
    if (!IsLineEndOffset(doc, AT.Offset)) AT.InCharOffset = 0;
    return true;
  };
  if (!AWord) {
    if (!AForward) {
      if (cur.InCharOffset > 0) {
        ATarget = {cur.Offset, bound ? 0 : cur.InCharOffset - 1};
        return true;
      }
      if (cur.Offset <= first.Offset) return prevRowEnd(ATarget);
      Integer o = cur.Offset - 1;
      const Char c = KivCharAt(doc, o);
      if (IsLowSurrogate(c) && o > first.Offset && IsHighSurrogate(KivCharAt(doc, o - 1))) --o;
      ATarget = {o, 0};
      return true;
    }
    if (cur.InCharOffset > 0 && !bound && cur.InCharOffset + 1 < CharCells(cur.Offset)) {
      ATarget = {cur.Offset, cur.InCharOffset + 1};
      return true;
    }
    Integer o = cur.Offset + 1;
    if (IsHighSurrogate(KivCharAt(doc, cur.Offset)) && IsLowSurrogate(KivCharAt(doc, o))) ++o;
    ATarget = {o, 0};
    return true;
  }
  const Integer rowEnd = first.Offset + sc.GetScrollLineInfo(row).ContentSegment.Count;
  if (!AForward) {
    const Integer found = cur.Offset > first.Offset
                              ? doc.FindPrevWordStart(cur.Offset, cur.Offset - first.Offset + 1)
                              : -1;
    if (found >= first.Offset && found < cur.Offset) {
      ATarget = {found, 0};
      return true;
    }
    if (cur.Offset <= first.Offset && cur.InCharOffset == 0) return prevRowEnd(ATarget);
    if (cur > first) {
      ATarget = first;
      return true;
    }
    return false;
  }
  const Integer found = doc.FindNextWordStart(cur.Offset, rowEnd - cur.Offset + 1);
  if (found > cur.Offset && found <= rowEnd) {
    ATarget = {found, 0};
    return true;
  }
  if (cur < last) {
    ATarget = last;
    if (!IsLineEndOffset(doc, last.Offset)) ATarget = {last.Offset + 1, 0};
    return true;
  }
  return false;
}

void TKivEditViewCore::DeleteCharOrWord(bool AForward, bool AWord) {
  CheckEditable();
  TViewEditing ed(*this);
  InBracket(kivStatesOnChange, [&] {
    TScreenCache& sc = *FScreenCache;
    TKivEditDocument& doc = *FFDoc;
    ed.CancelSelection();
    TOffsetPoint cur = sc.CursorOffset();
    TKivPoint pos = CursorPos();
    const TOffsetPoint last = sc.GetScrollLineOffLast(pos.Y);
    if (!AForward && !AWord && cur > last) {
      // In the empty space past the line end: only the cursor goes back to the end.
      ed.PushCursorStep();
      sc.SetCursorOffset(last);
      ed.CancelSelection();
      ScrollToPos(CursorPos(), true);
      return;
    }
    if (AForward && cur >= last && IsLineEndOffset(doc, last.Offset)) {
      // At or past the line end: the next line joins at the cursor's column.
      const Integer line = doc.GetLineByOffset(cur.Offset);
      if (line + 1 >= doc.LinesCount()) {
        Beep();
        return;
      }
      if (sc.IsCollapsedFold(line)) sc.ExpandLines(line);
      const Integer next = doc.GetLineStart(line + 1);
      sc.EnsureOffsetIsVisible(next);
      Integer target = next;
      if (AWord) {
        const Integer nextEnd = doc.GetLineEnd(line + 1);
        const Integer w = KivFirstNonBlankIn(doc, next, nextEnd);
        if (w > next) target = w;
      }
      const Integer pad = cur.InCharOffset;
      doc.Internal().ReplaceStr(last.Offset, target - last.Offset, TKivString(pad, u' '), EditAuthorID(),
                                CursorUndoInfo());
      ed.PlaceCursor({last.Offset + pad, 0});
      ScrollToPos(CursorPos(), true);
      return;
    }
    TOffsetPoint target;
    if (!ed.StepTarget(AForward, AWord, target)) {
      Beep();
      return;
    }
    // A target on another line inside a collapsed fold opens the fold first.
    const Integer cline = doc.GetLineByOffset(cur.Offset);
    for (int i = 0; i < 2; ++i) {
      const Integer tline = doc.GetLineByOffset(target.Offset);
      if (tline == cline) break;
      // The shown line whose rows hold the target.
      const Integer fold = sc.IsCollapsedFold(tline) ? tline : sc.GetPrevVisibleLine(tline + 1);
      if (fold < 0 || fold == cline || !sc.IsCollapsedFold(fold)) break;
      sc.ExpandLines(fold);
      if (!ed.StepTarget(AForward, AWord, target)) {
        Beep();
        return;
      }
    }
    Integer start = 0;
    ed.ReplaceCells(cur, target, u"", true, &start);
    ed.PlaceCursor({start, 0});
    pos = CursorPos();
    ScrollToPos(pos, true);
  });
}

void TKivEditViewCore::DeleteLine() {
  CheckEditable();
  TKivEditDocument& doc = *FFDoc;
  InBracket(kivStatesOnChange, [&] {
    if (doc.CharsCount() == 0) {
      Beep();
      return;
    }
    TScreenCache& sc = *FScreenCache;
    const TKivPoint pos = CursorPos();
    Integer line = doc.GetLineByOffset(sc.CursorOffset().Offset);
    const Integer lines = doc.LinesCount();
    Integer start, end;
    if (line == lines - 1 && doc.GetLineStart(line) == doc.GetLineEnd(line)) {
      --line;
      start = doc.GetLineStart(line);
      end = doc.GetLineStart(line + 1);
    } else {
      start = doc.GetLineStart(line);
      end = line + 1 < lines ? doc.GetLineStart(line + 1) : doc.CharsCount();
    }
    if (end == start) {
      Beep();
      return;
    }
    doc.Internal().Delete(start, end - start, EditAuthorID(), CursorUndoInfo());
    sc.SetCursorPos(sc.CorrectCursorSelPos(pos));
    TViewEditing(*this).CancelSelection();
  });
}

void TKivEditViewCore::DeleteToLineEnd() {
  CheckEditable();
  TViewEditing ed(*this);
  InBracket(kivStatesOnChange, [&] {
    TScreenCache& sc = *FScreenCache;
    TKivEditDocument& doc = *FFDoc;
    const TOffsetPoint cur = sc.CursorOffset();
    const Integer end = doc.GetLineEnd(doc.GetLineByOffset(cur.Offset));
    sc.EnsureOffsetIsVisible(end);
    if (!(cur < TOffsetPoint{end, 0})) {
      Beep();
      return;
    }
    Integer start = 0;
    ed.ReplaceCells(cur, {end, 0}, u"", true, &start);
    ed.PlaceCursor({start, 0});
  });
}

void TKivEditViewCore::DeleteToLineWrap() {
  CheckEditable();
  TViewEditing ed(*this);
  InBracket(kivStatesOnChange, [&] {
    TScreenCache& sc = *FScreenCache;
    const TKivPoint pos = CursorPos();
    const Integer width = sc.GetScrollLineVisWidth(pos.Y);
    if (pos.X >= width) {
      Beep();
      return;
    }
    const TScrollLineInfo row = sc.GetScrollLineInfo(pos.Y);
    Integer end = row.ContentSegment.Start + row.ContentSegment.Count;
    const Integer lineEnd = FFDoc->GetLineEnd(row.PhysicalLine);
    end = std::min(end, lineEnd);
    Integer start = 0;
    ed.ReplaceCells(sc.CursorOffset(), {end, 0}, u"", true, &start);
    ed.PlaceCursor({start, 0});
  });
}

// ---- undo and redo ----

void TKivEditViewCore::Undo() {
  UndoRedo(true);
}

void TKivEditViewCore::Redo() {
  UndoRedo(false);
}

bool TKivEditViewCore::CanUndo() const {
  return FFDoc && !IsReadOnly() && FFDoc->Internal().GetCanUndo(EditAuthorID());
}

bool TKivEditViewCore::CanRedo() const {
  return FFDoc && !IsReadOnly() && FFDoc->Internal().GetCanRedo(EditAuthorID());
}

void TKivEditViewCore::UndoRedo(bool AUndo) {
  CheckEditable();
  TKivDocumentInternal& intern = FFDoc->Internal();
  const Integer author = EditAuthorID();
  if (!(AUndo ? intern.GetCanUndo(author) : intern.GetCanRedo(author))) {
    Beep();
    return;
  }
  InBracket(kivStatesOnChange, [&] {
    FLastOffsetForUndo = -1;
    TKivDocUndoInfoPtr old;
    if (AUndo)
      intern.Undo(author, CursorUndoInfo(), old);
    else
      intern.Redo(author, CursorUndoInfo(), old);
    if (old && dynamic_cast<const TCursorUndoInfo*>(old.get())) {
      RestoreCursorUndoInfo(old.get());
    } else if (FLastOffsetForUndo != -1) {
      FScreenCache->EnsureOffsetIsVisible(FLastOffsetForUndo);
      FScreenCache->SetCursorOffset({FLastOffsetForUndo, 0});
    }
    TViewEditing(*this).CancelSelection();
    ScrollToPos(CursorPos(), false);
  });
}


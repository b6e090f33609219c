// Indentation: the first non-blank character of a line, the line above to indent to, the tab that
// indents to it, the backspace that unindents, and indenting or unindenting the selected lines.
#include <algorithm>

#include "KivSedViewCore.h"
#include "internal/ScreenCache.h"
#include "internal/ViewBracket.h"
#include "internal/ViewEditing.h"

Integer TKivEditViewCore::FirstNonBlank(Integer ALine, bool AVisibleOnly) {
  const TKivEditDocument& doc = WorkingDocument();
  if (ALine < 0 || ALine >= doc.LinesCount())
    throw EKivEditViewError(u"Invalid physical line on screen index: %d. Valid range: [%d, %d]",
                            {ALine, 0, doc.LinesCount() - 1});
  const Integer start = doc.GetLineStart(ALine);
  Integer end = doc.GetLineEnd(ALine);
  if (AVisibleOnly && FScreenCache->IsCollapsedFold(ALine)) {
    TOffsetPoint first, last;
    FScreenCache->GetPhysLineVisibleBounds(ALine, first, last);
    end = std::min(end, last.Offset);
  }
  return KivFirstNonBlankIn(doc, start, end);
}

Integer TKivEditViewCore::IndentColumn(Integer ALine, bool AVisibleOnly) {
  const Integer first = FirstNonBlank(ALine, AVisibleOnly);
  return first < 0 ? 0 : FScreenCache->CalkPointVisWidth(first);
}

bool TKivEditViewCore::FindIndentReference(Integer ALine, Integer ACol, bool AGreater, TKivString& ABlanks,
                                           Integer& AIndentCol) {
  const TKivEditDocument& doc = WorkingDocument();
  if (ALine < 0 || ALine >= doc.LinesCount()) return false;
  Integer line = ALine;
  const auto blank = [&](Integer L) { return FirstNonBlank(L, true) < 0; };
  if (AGreater) {
    while (line > 0 && blank(line)) line = FScreenCache->GetPrevVisibleLine(line);
  } else {
    while (line > 0 && (blank(line) || IndentColumn(line) >= ACol)) line = FScreenCache->GetPrevVisibleLine(line);
  }
  if (line < 0 || blank(line)) return false;
  const Integer col = IndentColumn(line);
  if (AGreater ? col <= ACol : col >= ACol) return false;
  const Integer start = doc.GetLineStart(line);
  ABlanks = doc.GetText(start, FirstNonBlank(line, true) - start);
  AIndentCol = col;
  return true;
}

// ---- tab that indents, backspace that unindents ----

bool TKivEditViewCore::TabIndent(bool AOverwrite) {
  CheckEditable();
  TScreenCache& sc = *FScreenCache;
  TKivEditDocument& doc = *FFDoc;
  const TOffsetPoint cur = sc.CursorOffset();
  const Integer line = doc.GetLineByOffset(cur.Offset);
  const Integer lineStart = doc.GetLineStart(line);
  if (line == 0 || SelAvail() || KivFirstNonBlankIn(doc, lineStart, cur.Offset) >= 0) return false;
  const TKivPoint pos = CursorPos();
  const Integer col = AOverwrite ? pos.X : sc.CalkPointVisWidth(cur);
  TKivString blanks;
  Integer refCol = 0;
  if (!FindIndentReference(sc.GetPrevVisibleLine(line), col, true, blanks, refCol)) return false;
  TViewEditing ed(*this);
  if (AOverwrite) {
    const TKivPoint target = sc.CorrectCursorSelPos({refCol, pos.Y});
    if (target == pos) return false;
    InBracket(kivStatesOnChange, [&] {
      ed.PushCursorStep();
      sc.SetCursorPos(target);
      ed.CancelSelection();
      ScrollToPos(CursorPos(), false);
    });
    return true;
  }
  InBracket(kivStatesOnChange, [&] {
    doc.Internal().ReplaceStr(lineStart, cur.Offset - lineStart, blanks, EditAuthorID(), CursorUndoInfo());
    ed.PlaceCursor({lineStart + static_cast<Integer>(blanks.size()), 0});
    ScrollToPos(CursorPos(), false);
  });
  return true;
}

bool TKivEditViewCore::BackspaceUnindent() {
  CheckEditable();
  TScreenCache& sc = *FScreenCache;
  TKivEditDocument& doc = *FFDoc;
  const TOffsetPoint cur = sc.CursorOffset();
  const Integer line = doc.GetLineByOffset(cur.Offset);
  const Integer lineStart = doc.GetLineStart(line);
  const Integer lineEnd = doc.GetLineEnd(line);
  if (line == 0 || SelAvail() || KivFirstNonBlankIn(doc, lineStart, cur.Offset) >= 0) return false;
  const bool pastEnd = cur.Offset == lineEnd && cur.InCharOffset > 0;
  if (!pastEnd && (cur.Offset >= lineEnd || KivIsBlank(KivCharAt(doc, cur.Offset)))) return false;
  const Integer col = sc.CalkPointVisWidth(cur);
  TKivString blanks;
  Integer refCol = 0;
  if (!FindIndentReference(sc.GetPrevVisibleLine(line), col, false, blanks, refCol)) return false;
  TViewEditing ed(*this);
  InBracket(kivStatesOnChange, [&] {
    if (pastEnd && KivFirstNonBlankIn(doc, lineStart, lineEnd) < 0 && refCol >= sc.CalkPointVisWidth(lineEnd)) {
      ed.PushCursorStep();
      sc.SetCursorOffset({lineEnd, refCol - sc.CalkPointVisWidth(lineEnd)});
    } else {
      doc.Internal().ReplaceStr(lineStart, cur.Offset - lineStart, blanks, EditAuthorID(), CursorUndoInfo());
      sc.SetCursorOffset({lineStart + static_cast<Integer>(blanks.size()), 0});
    }
    ed.CancelSelection();
    ScrollToPos(CursorPos(), true);
  });
  return true;
}

// ---- indenting the selected lines ----

void TKivEditViewCore::IndentSelection(bool AUsePrevIndent) {
  ShiftSelection(true, AUsePrevIndent);
}

void TKivEditViewCore::UnindentSelection(bool AUsePrevIndent) {
  ShiftSelection(false, AUsePrevIndent);
}

void TKivEditViewCore::ShiftSelection(bool AIndent, bool AUsePrevIndent) {
  CheckEditable();
  InBracket(kivStatesOnChange, [&] {
    TScreenCache& sc = *FScreenCache;
    TKivEditDocument& doc = *FFDoc;
    TOffsetPoint selFirst = sc.SelStartOffset();
    TOffsetPoint selLast = sc.SelEndOffset();
    const bool sel = selFirst != selLast;
    if (selLast < selFirst) std::swap(selFirst, selLast);
    const Integer first = doc.GetLineByOffset(selFirst.Offset);
    Integer last;
    if (!sel) {
      last = doc.GetLineByOffset(sc.CursorOffset().Offset);
    } else {
      last = doc.GetLineByOffset(selLast.Offset);
      // A selection that ends at a line start does not take that line.
      if (last > first && selLast.Offset == doc.GetLineStart(last) && selLast.InCharOffset == 0)
        last = sc.GetPrevVisibleLine(last);
      last = std::max(last, first);
    }
    const Integer lines = doc.LinesCount();
    Integer stop = sc.GetNextVisibleLine(last);
    if (stop <= last || stop > lines) stop = lines;

    const Integer c0 = IndentColumn(first, false);
    Integer delta;
    TKivString blanks;
    Integer refCol = 0;
    if (AUsePrevIndent && first > 0 &&
        FindIndentReference(sc.GetPrevVisibleLine(first), c0, AIndent, blanks, refCol))
      delta = refCol - c0;
    else if (AUsePrevIndent)
      delta = AIndent ? FIndentWidth : -c0;
    else
      delta = AIndent ? FIndentWidth : -std::min(FIndentWidth, c0);

    TKivViewCompoundEdit compound(*this);
    for (Integer line = first; line < stop; ++line) {
      // Hidden lines count with their whole text: their visible part is empty.
      const Integer start = doc.GetLineStart(line);
      const Integer nonBlank = KivFirstNonBlankIn(doc, start, doc.GetLineEnd(line));
      if (nonBlank < 0) continue;
      const Integer col = sc.CalkPointVisWidth(nonBlank);
      const Integer want = std::max<Integer>(0, KivSatAdd(col, delta));
      const Integer lead = nonBlank - start;
      if (want == lead && doc.GetText(start, lead).find(u'\t') == TKivString::npos) continue;
      doc.Internal().ReplaceStr(start, lead, TKivString(want, u' '), -1, nullptr);
    }
  });
}

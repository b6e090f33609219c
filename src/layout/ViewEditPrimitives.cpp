// The edit primitives in scroll coordinates: every editing operation of the view changes the
// text through them. A position inside a tab or in the empty space past a row's end is turned
// into spaces first, so that the text ends up where the user saw the cursor.
#include <algorithm>
#include <iterator>

#include "KivSedViewCore.h"
#include "internal/ScreenCache.h"
#include "internal/ViewBracket.h"
#include "internal/WrapTypes.h"

namespace {

constexpr TKivEditInternalStates kCompletionStates = siComplWordTyping | siComplListShown;

void CheckScrollPoint(const TKivPoint& APoint) {
  if (APoint.X < 0) throw EKivEditViewError(u"Bad scroll position: [x < 0].");
  if (APoint.Y < 0) throw EKivEditViewError(u"Bad scroll position: [y < 0].");
}

bool PointLess(const TKivPoint& A, const TKivPoint& B) {
  return A.Y < B.Y || (A.Y == B.Y && A.X < B.X);
}

// The text between two ordered scroll positions of a stream: the characters [Start, Start +
// Count), after Before spaces (the covered part of a character the start cuts) and before After
// spaces (the cells of the character or the empty space the end reaches into).
struct TStreamText {
  Integer Start = 0, Count = 0, Before = 0, After = 0;
};

TStreamText StreamText(TScreenCache& ASC, const TKivPoint& AStart, const TKivPoint& AEnd) {
  Integer s = ASC.ScrollToNearestOffset(AStart), e = ASC.ScrollToNearestOffset(AEnd);
  Integer lS = 0, rS = 0, lE = 0, rE = 0;
  ASC.GetScrollCharScrollBounds(AStart, lS, rS);
  ASC.GetScrollCharScrollBounds(AEnd, lE, rE);
  // Both inside one character (a tab, or the space past a line's end).
  if (s == e && AStart.Y == AEnd.Y) return {s, 0, std::max<Integer>(AEnd.X - AStart.X, 0), 0};
  TStreamText t;
  if (AStart.X > lS) {
    t.Before = std::max<Integer>(rS - AStart.X, 0);
    ++s;
  }
  if (AEnd.X > lE) t.After = AEnd.X - lE;
  t.Start = s;
  t.Count = std::max<Integer>(e - s, 0);
  return t;
}

Integer Len(TKivStringView AStr) {
  return static_cast<Integer>(AStr.size());
}

TKivString Padded(Integer ABefore, TKivStringView AStr, Integer AAfter) {
  TKivString text;
  text.reserve(AStr.size() + size_t(ABefore) + size_t(AAfter));
  text.append(size_t(ABefore), u' ');
  text.append(AStr);
  text.append(size_t(AAfter), u' ');
  return text;
}

// The pieces of a block text: split at CR LF, LF or CR.
std::vector<TKivStringView> SplitLines(TKivStringView AStr) {
  std::vector<TKivStringView> pieces;
  size_t start = 0;
  for (size_t i = 0; i < AStr.size(); ++i) {
    if (AStr[i] != u'\r' && AStr[i] != u'\n') continue;
    pieces.push_back(AStr.substr(start, i - start));
    if (AStr[i] == u'\r' && i + 1 < AStr.size() && AStr[i + 1] == u'\n') ++i;
    start = i + 1;
  }
  pieces.push_back(AStr.substr(start));
  return pieces;
}

}  // namespace

// ---- replace and delete ----

void TKivEditViewCore::ReplaceInScroll(const TKivPoint& AScrollStart, const TKivPoint& AScrollEnd,
                                       TKivStringView AStr) {
  CheckEditable();
  Integer s = 0, e = 0;
  ReplaceInScrollEx(AScrollStart, AScrollEnd, AStr, false, s, e);
}

void TKivEditViewCore::ReplaceInScrollEx(const TKivPoint& AScrollStart, const TKivPoint& AScrollEnd,
                                         TKivStringView AStr, Integer& AStartOffset, Integer& AEndOffset) {
  ReplaceInScrollEx(AScrollStart, AScrollEnd, AStr, false, AStartOffset, AEndOffset);
}

void TKivEditViewCore::ReplaceInScrollEx(const TKivPoint& AScrollStart, const TKivPoint& AScrollEnd,
                                         TKivStringView AStr, bool ARememberCursor, Integer& AStartOffset,
                                         Integer& AEndOffset) {
  CheckDocument();
  CheckScrollPoint(AScrollStart);
  CheckScrollPoint(AScrollEnd);
  InBracket(kCompletionStates, [&] {
    ExitState(siIncrementalSearch);
    TScreenCache& sc = *FScreenCache;
    TKivPoint S = sc.CorrectCursorSelPos(AScrollStart), E = sc.CorrectCursorSelPos(AScrollEnd);
    if (PointLess(E, S)) std::swap(S, E);
    Integer s = sc.ScrollToNearestOffset(S), e = sc.ScrollToNearestOffset(E);
    Integer lS = 0, rS = 0, lE = 0, rE = 0;
    sc.GetScrollCharScrollBounds(S, lS, rS);
    sc.GetScrollCharScrollBounds(E, lE, rE);
    const Integer padBefore = std::max<Integer>(S.X - lS, 0);
    const Integer padAfter = E.X == lE ? 0 : std::max<Integer>(rE - E.X, 0);
    TKivDocumentInternal& doc = FFDoc->Internal();
    if (padBefore > 0 || padAfter > 0 || !AStr.empty()) {
      TKivViewCompoundEdit compound(*this, ARememberCursor);
      if (padAfter > 0) e = std::min<Integer>(e + 1, FFDoc->CharsCount());
      doc.ReplaceStr(s, e - s, Padded(padBefore, AStr, padAfter), -1, nullptr);
    } else if (e > s) {
      doc.Delete(s, e - s, EditAuthorID(), ARememberCursor ? CursorUndoInfo() : nullptr);
    }
    AStartOffset = s;
    AEndOffset = s + padBefore + Len(AStr);
  });
}

void TKivEditViewCore::DeleteInScroll(const TKivPoint& AScrollStart, const TKivPoint& AScrollEnd) {
  CheckEditable();
  TOffsetPoint start;
  DeleteInScrollEx(AScrollStart, AScrollEnd, start);
}

void TKivEditViewCore::DeleteInScrollEx(const TKivPoint& AScrollStart, const TKivPoint& AScrollEnd,
                                        TOffsetPoint& AStartOffset) {
  CheckDocument();
  CheckScrollPoint(AScrollStart);
  CheckScrollPoint(AScrollEnd);
  TScreenCache& sc = *FScreenCache;
  const Integer s = sc.ScrollToNearestOffset(sc.CorrectCursorSelPos(AScrollStart));
  const Integer e = sc.ScrollToNearestOffset(sc.CorrectCursorSelPos(AScrollEnd));
  const TKivEditDocument& doc = *FFDoc;
  if (s == e && doc.GetLineEnd(doc.GetLineByOffset(s)) == s) {
    // Both in the empty space past the same line's end: nothing to delete.
    AStartOffset = {std::min(s, e), 0};
    return;
  }
  Integer start = 0, end = 0;
  ReplaceInScrollEx(AScrollStart, AScrollEnd, u"", true, start, end);
  AStartOffset = {start, 0};
}

void TKivEditViewCore::DeleteInScrollBlock(const TKivPoint& AScrollStart, const TKivPoint& AScrollEnd,
                                           TOffsetPoint& AStartOffset) {
  CheckDocument();
  CheckScrollPoint(AScrollStart);
  CheckScrollPoint(AScrollEnd);
  const Integer left = std::min(AScrollStart.X, AScrollEnd.X);
  Integer right = std::max(AScrollStart.X, AScrollEnd.X);
  const Integer top = std::min(AScrollStart.Y, AScrollEnd.Y);
  const Integer bottom = FScreenCache->CorrectToLastScroll(std::max(AScrollStart.Y, AScrollEnd.Y));
  if (left == right && top != bottom) right = left + 1;
  InBracket(kivStatesOnChange, [&] {
    TKivViewCompoundEdit compound(*this, true);
    AStartOffset = FScreenCache->ScrollPtToOffsetPt(FScreenCache->CorrectCursorSelPos({left, top}));
    // Bottom up: a row's change never moves the rows above it.
    for (Integer row = bottom; row >= top; --row) DeleteInScrollEx({left, row}, {right, row}, AStartOffset);
  });
}

// ---- insert ----

void TKivEditViewCore::InsertInScroll(const TKivPoint& AScroll, TKivStringView AStr) {
  CheckEditable();
  Integer s = 0, e = 0;
  InsertInScrollEx(AScroll, AStr, false, s, e, true);
}

void TKivEditViewCore::InsertInScrollEx(const TKivPoint& AScroll, TKivStringView AStr, Integer& AStartOffset,
                                        Integer& AEndOffset) {
  InsertInScrollEx(AScroll, AStr, false, AStartOffset, AEndOffset, true);
}

void TKivEditViewCore::InsertInScrollEx(const TKivPoint& AScroll, TKivStringView AStr, bool ARememberCursor,
                                        Integer& AStartOffset, Integer& AEndOffset, bool AWithSpacesBefore) {
  CheckDocument();
  CheckScrollPoint(AScroll);
  InBracket(kCompletionStates, [&] {
    ExitState(siIncrementalSearch);
    TScreenCache& sc = *FScreenCache;
    TKivDocumentInternal& doc = FFDoc->Internal();
    const TKivPoint P = sc.CorrectCursorSelPos(AScroll);
    TOffsetPoint o = sc.ScrollPtToOffsetPt(P);
    const TOffsetPoint last = sc.GetScrollLineOffLast(P.Y);
    const bool lineEnd = FFDoc->GetLineEnd(FFDoc->GetLineByOffset(last.Offset)) == last.Offset;
    if (o > last && !lineEnd) o = {std::min<Integer>(last.Offset + 1, FFDoc->CharsCount()), 0};
    AStartOffset = o.Offset;
    if (o > last && lineEnd) {
      const Integer spaces = o.InCharOffset - last.InCharOffset;
      TKivViewCompoundEdit compound(*this, ARememberCursor);
      doc.InsertStr(o.Offset, Padded(spaces, AStr, 0), -1, nullptr);
      if (!AWithSpacesBefore) AStartOffset = o.Offset + spaces;
      AEndOffset = o.Offset + spaces + Len(AStr);
      return;
    }
    Integer l = 0, r = 0;
    sc.GetScrollCharScrollBounds(P, l, r);
    if (o.InCharOffset == 0 || P.X == l) {
      if (!AStr.empty()) doc.InsertStr(o.Offset, AStr, EditAuthorID(), ARememberCursor ? CursorUndoInfo() : nullptr);
      AEndOffset = o.Offset + Len(AStr);
      return;
    }
    // Inside a tab: the tab becomes the spaces on either side of the text.
    TKivViewCompoundEdit compound(*this, ARememberCursor);
    doc.ReplaceStr(o.Offset, 1, Padded(P.X - l, AStr, std::max<Integer>(r - P.X, 0)), -1, nullptr);
    AEndOffset = o.Offset + (P.X - l) + Len(AStr);
  });
}

void TKivEditViewCore::InsertPieces(const TKivPoint& AScroll, TKivStringView AStr, Integer& AMaxWidth,
                                    TOffsetPoint& AStartOffset, TOffsetPoint& AEndOffset) {
  // Inside a compound edit.
  TScreenCache& sc = *FScreenCache;
  TKivEditDocument& doc = *FFDoc;
  const std::vector<TKivStringView> pieces = SplitLines(AStr);
  const Integer n = static_cast<Integer>(pieces.size());
  // The missing rows first: empty lines at the end of the text.
  const Integer lastRow = sc.CorrectToLastScroll(KivSatAdd(AScroll.Y, n));
  const Integer missing = KivSatAdd(AScroll.Y, n - 1) - lastRow;
  if (missing > 0) {
    TKivString breaks;
    for (Integer i = 0; i < missing; ++i) breaks += doc.LineSeparatorStr();
    doc.Internal().InsertStr(doc.CharsCount(), breaks, -1, nullptr);
  }
  AMaxWidth = 0;
  bool any = false;
  Integer countAfterLast = 0;
  // Bottom up: a row's change never moves the rows above it.
  for (Integer i = n - 1; i >= 0; --i) {
    if (pieces[size_t(i)].empty()) continue;
    Integer s = 0, e = 0;
    InsertInScrollEx({AScroll.X, AScroll.Y + i}, pieces[size_t(i)], false, s, e, false);
    AMaxWidth = std::max(AMaxWidth, sc.CalkPointVisWidth(e) - sc.CalkPointVisWidth(s));
    if (!any) {
      AEndOffset = {e, 0};
      countAfterLast = doc.CharsCount();
      any = true;
    }
    AStartOffset = {s, 0};
  }
  if (!any) {
    AStartOffset = AEndOffset = sc.ScrollPtToOffsetPt(sc.CorrectCursorSelPos(AScroll));
    return;
  }
  AEndOffset.Offset += doc.CharsCount() - countAfterLast;
}

void TKivEditViewCore::InsertInScrollBlock(const TKivPoint& AScroll, TKivStringView AStr, Integer& AMaxWidth,
                                           TOffsetPoint& AStartOffset, TOffsetPoint& AEndOffset) {
  CheckDocument();
  CheckScrollPoint(AScroll);
  AMaxWidth = 0;
  if (AStr.empty()) {
    AStartOffset = AEndOffset = FScreenCache->ScrollPtToOffsetPt(FScreenCache->CorrectCursorSelPos(AScroll));
    return;
  }
  InBracket(kivStatesOnChange, [&] {
    TKivViewCompoundEdit compound(*this, true);
    InsertPieces(AScroll, AStr, AMaxWidth, AStartOffset, AEndOffset);
  });
}

// ---- reading ----

std::unique_ptr<TKivCharSeq> TKivEditViewCore::CreateScrollTextSeqAdapter(const TKivPoint& AScrollStart,
                                                                          const TKivPoint& AScrollEnd, bool ABlock) {
  CheckScrollPoint(AScrollStart);
  CheckScrollPoint(AScrollEnd);
  TScreenCache& sc = *FScreenCache;
  TKivPoint S = sc.CorrectCursorSelPos(AScrollStart), E = sc.CorrectCursorSelPos(AScrollEnd);
  if (PointLess(E, S)) std::swap(S, E);
  if (ABlock) {
    const Integer left = std::min(S.X, E.X);
    Integer right = std::max(S.X, E.X);
    if (left == right && S.Y != E.Y) right = left + 1;
    return std::make_unique<TSquaredSeq>(sc, TKivPoint{left, S.Y}, TKivPoint{right, E.Y});
  }
  const TStreamText t = StreamText(sc, S, E);
  auto seq = std::make_unique<TSpacedSeq>();
  seq->Reset({t.Start, t.Count, &WorkingDocument().Chars()}, t.Before, t.After);
  return seq;
}

namespace {

// The stream text's characters written to ADest (Before + Count + After of them).
void WriteStreamText(const TKivEditDocument& ADoc, const TStreamText& AText, Char* ADest) {
  std::fill_n(ADest, AText.Before, u' ');
  ADest += AText.Before;
  ADoc.CopyChars(AText.Start, AText.Count, ADest);
  std::fill_n(ADest + AText.Count, AText.After, u' ');
}

// The selected stream's text: the characters are read at once (a whole text of many megabytes
// is copied as fast as the storage gives it), with the spaces of a cut tab or the empty space
// around.
TStreamText SelectedStream(TScreenCache& ASC) {
  TKivPoint s, e;
  ASC.SelectionN(s, e);
  TKivPoint S = ASC.CorrectCursorSelPos(s), E = ASC.CorrectCursorSelPos(e);
  if (PointLess(E, S)) std::swap(S, E);
  return StreamText(ASC, S, E);
}

}  // namespace

TKivString TKivEditViewCore::SelectedText() {
  if (!SelAvail()) return {};
  if (SelectionBlockMode()) {
    TKivPoint s, e;
    FScreenCache->SelectionN(s, e);
    return CharSeqToString(*CreateScrollTextSeqAdapter(s, e, true));
  }
  const TStreamText t = SelectedStream(*FScreenCache);
  TKivString text;
  // In pieces through a small buffer: the text's memory is written once (no zeroing first).
  text.reserve(size_t(t.Before) + size_t(t.Count) + size_t(t.After));
  text.append(size_t(t.Before), u' ');
  TKivEditDocument& doc = WorkingDocument();
  Char piece[16384];
  for (Integer at = t.Start, end = t.Start + t.Count; at < end;) {
    const Integer n = std::min<Integer>(end - at, Integer(std::size(piece)));
    doc.CopyChars(at, n, piece);
    text.append(piece, size_t(n));
    at += n;
  }
  text.append(size_t(t.After), u' ');
  return text;
}

void TKivEditViewCore::PutSelectedText(IKivClipboard& AClipboard) {
  if (!SelAvail()) return;
  if (SelectionBlockMode()) {
    AClipboard.SetText(SelectedText(), true);
    return;
  }
  const TStreamText t = SelectedStream(*FScreenCache);
  const TKivEditDocument& doc = WorkingDocument();
  AClipboard.SetTextFilled(size_t(t.Before) + size_t(t.Count) + size_t(t.After),
                           [&](Char* ADest) { WriteStreamText(doc, t, ADest); }, false);
}

TKivString TKivEditViewCore::ToDocumentLineBreaks(TKivStringView AText) const {
  const TKivString& sep = WorkingDocument().LineSeparatorStr();
  const size_t n = AText.size();
  // The exact length first (the breaks counted), so that the result is allocated once.
  size_t breaks = 0, pairs = 0;
  for (size_t i = 0; i < n; ++i) {
    const Char c = AText[i];
    if (c != u'\r' && c != u'\n') continue;
    ++breaks;
    if (c == u'\r' && i + 1 < n && AText[i + 1] == u'\n') {
      ++pairs;
      ++i;
    }
  }
  TKivString res;
  res.reserve(n - breaks - pairs + breaks * sep.size());
  // The runs between the breaks go over at once.
  size_t from = 0;
  for (size_t i = 0; i < n; ++i) {
    const Char c = AText[i];
    if (c != u'\r' && c != u'\n') continue;
    res.append(AText.data() + from, i - from);
    res += sep;
    if (c == u'\r' && i + 1 < n && AText[i + 1] == u'\n') ++i;
    from = i + 1;
  }
  res.append(AText.data() + from, n - from);
  return res;
}

// ---- selection edits ----

void TKivEditViewCore::DeleteSelected() {
  CheckEditable();
  if (!SelAvail()) return;
  InBracket(kivStatesOnChange, [&] {
    TKivPoint s, e;
    FScreenCache->SelectionN(s, e);
    const bool block = SelectionBlockMode();
    CancelSelection();
    TOffsetPoint start;
    if (block)
      DeleteInScrollBlock(s, e, start);
    else
      DeleteInScrollEx(s, e, start);
    FScreenCache->SetCursorOffset(start, scBackward, false);
    ScrollToCursor();
    CancelSelection();
  });
}

void TKivEditViewCore::SetSelectedText(TKivStringView AValue) {
  CheckEditable();
  InBracket(kivStatesOnChange, [&] {
    TScreenCache& sc = *FScreenCache;
    const bool reversed = sc.SelEndOffset() < sc.SelStartOffset();
    const bool avail = SelAvail();
    TKivPoint s, e;
    sc.SelectionN(s, e);
    if (SelectionBlockMode()) {
      TKivViewCompoundEdit compound(*this, true);
      TKivPoint at = CursorPos();
      if (avail) {
        at = {std::min(s.X, e.X), s.Y};
        TOffsetPoint start;
        DeleteInScrollBlock(s, e, start);
      }
      Integer width = 0;
      TOffsetPoint first, last;
      InsertPieces(at, AValue, width, first, last);
      const TKivPoint a = sc.OffsetPtToScroll(first);
      const TKivPoint b{a.X + width, sc.OffsetPtToScroll(last).Y};
      const TOffsetPoint pa = sc.ScrollPtToOffsetPt(a), pb = sc.ScrollPtToOffsetPt(b);
      if (reversed)
        DoSetSelection(pb, pa, true);
      else
        DoSetSelection(pa, pb, true);
      return;
    }
    if (!avail) s = e = CursorPos();
    Integer from = 0, to = 0;
    ReplaceInScrollEx(s, e, AValue, true, from, to);
    if (reversed)
      DoSetSelection({to, 0}, {from, 0}, false);
    else
      DoSetSelection({from, 0}, {to, 0}, false);
    sc.SetCursorOffset({reversed ? from : to, 0}, scBackward, false);
  });
}

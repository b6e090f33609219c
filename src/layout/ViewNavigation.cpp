// The view core's window, cursor, navigation, fold and coordinate operations: each runs in a
// change bracket and hands the work to the screen cache.
#include <algorithm>
#include <chrono>

#include "KivSedViewCore.h"
#include "internal/ScreenCache.h"
#include "internal/ViewBracket.h"

// ---- window, cursor and selection ----

Integer TKivEditViewCore::LinesOnScreenScroll() {
  return FScreenCache->LinesOnScreenScroll();
}

Integer TKivEditViewCore::TopLineScroll() {
  return FScreenCache->FirstLineScroll();
}

void TKivEditViewCore::SetTopLineScroll(Integer AValue) {
  CheckDocument();
  AValue = std::max<Integer>(AValue, 0);
  // The window never scrolls past a full last page.
  const Integer last = FScreenCache->CorrectToLastScroll(KivSatAdd(AValue, FullyVisibleLines() - 1));
  AValue = std::max<Integer>(std::min<Integer>(AValue, last - (FullyVisibleLines() - 1)), 0);
  if (AValue == TopLineScroll()) return;
  InBracket(kivStatesOnScroll, [&] { FScreenCache->SetFirstLineAsScroll(AValue); });
}

Integer TKivEditViewCore::TopLinePhysical() {
  return FScreenCache->FirstLinePhysical();
}

void TKivEditViewCore::SetTopLinePhysical(Integer AValue) {
  if (AValue == TopLinePhysical()) return;
  CheckDocument();
  TKivEditDocument& doc = WorkingDocument();
  AValue = std::clamp<Integer>(AValue, 0, doc.LinesCount() - 1);
  InBracket(kivStatesOnScroll, [&] {
    FScreenCache->EnsureOffsetIsVisible(doc.GetLineStart(AValue));
    SetTopLineScroll(FScreenCache->PhysicalToScroll(AValue));
  });
}

Integer TKivEditViewCore::HorizScroll() const {
  return FScreenCache->HorizScroll();
}

TKivPoint TKivEditViewCore::CursorPos() {
  return FScreenCache->CursorPos();
}

Integer TKivEditViewCore::CursorOffset() {
  return FScreenCache->CursorOffset().Offset;
}

TKivPoint TKivEditViewCore::SelectionStart() {
  return FScreenCache->SelStart();
}

TKivPoint TKivEditViewCore::SelectionEnd() {
  return FScreenCache->SelEnd();
}

Integer TKivEditViewCore::SelectionOffsetStart() {
  return FScreenCache->SelStartOffset().Offset;
}

Integer TKivEditViewCore::SelectionOffsetEnd() {
  return FScreenCache->SelEndOffset().Offset;
}

bool TKivEditViewCore::SelectionBlockMode() const {
  return FScreenCache->SelBlockMode();
}

bool TKivEditViewCore::SelAvail() {
  return FScreenCache->SelAvail();
}

// ---- editing queries and clipboard ----

bool TKivEditViewCore::CanUndo() const {
  return FFDoc && !IsReadOnly() && FFDoc->Internal().GetCanUndo(FAuthorID);
}

bool TKivEditViewCore::CanRedo() const {
  return FFDoc && !IsReadOnly() && FFDoc->Internal().GetCanRedo(FAuthorID);
}

void TKivEditViewCore::Undo() {
  CheckEditable();
  FEditHooks->Undo(*this);
}

void TKivEditViewCore::Redo() {
  CheckEditable();
  FEditHooks->Redo(*this);
}

// ---- navigation and visibility ----

void TKivEditViewCore::GotoOffset(Integer AOffset) {
  CheckDocument();
  InBracket(kivStatesOnChange, [&] {
    FScreenCache->SetCursorOffset({AOffset, 0});
    FScreenCache->SetSelection(FScreenCache->CursorOffset(), FScreenCache->CursorOffset());
    if (!FScreenCache->IsCursorInScreenBounds()) ScrollToPos(CursorPos(), true);
  });
}

void TKivEditViewCore::GotoPhysLine(Integer ALine) {
  CheckDocument();
  TKivEditDocument& doc = WorkingDocument();
  if (ALine < 0 || ALine >= doc.LinesCount())
    throw EKivEditViewError(u"Invalid physical line on screen index: %d. Valid range: [%d, %d]",
                            {ALine, 0, doc.LinesCount() - 1});
  InBracket(kivStatesOnChange, [&] {
    FScreenCache->EnsureOffsetIsVisible(doc.GetLineStart(ALine));
    const Integer column = CursorPos().X;
    FScreenCache->SetCursorPos({column, FScreenCache->PhysicalToScroll(ALine)});
    FScreenCache->SetSelection(FScreenCache->CursorOffset(), FScreenCache->CursorOffset());
    if (!FScreenCache->IsCursorInScreenYBounds()) ScrollToPos(CursorPos(), true);
  });
}

void TKivEditViewCore::GotoBookmark(const TKivString& AName) {
  CheckDocument();
  if (const IKivMarkRef mark = FFDoc->Bookmarks()->FindMarkByName(AName)) GotoOffset(mark->Pos());
}

void TKivEditViewCore::GotoBreakpoint(const TKivString& AName) {
  CheckDocument();
  if (const IKivMarkRef mark = FFDoc->Breakpoints()->FindMarkByName(AName)) GotoOffset(mark->Pos());
}

void TKivEditViewCore::EnsureVisible(Integer ALine) {
  const TKivEditDocument& doc = WorkingDocument();
  if (ALine >= 0 && ALine < doc.LinesCount()) EnsureOffsetIsVisible(doc.GetLineStart(ALine));
}

void TKivEditViewCore::EnsureOffsetIsVisible(Integer AOffset) {
  InBracket(0, [&] { FScreenCache->EnsureOffsetIsVisible(AOffset); });
}

bool TKivEditViewCore::IsLineStartVisible(Integer APhysLine) {
  return FScreenCache->IsLineStartVisible(APhysLine);
}

bool TKivEditViewCore::IsOffsetVisible(Integer AOffset) {
  return FScreenCache->IsOffsetVisible(AOffset);
}

bool TKivEditViewCore::IsCollapsedFold(Integer APhysLine) {
  return FScreenCache->IsCollapsedFold(APhysLine);
}

bool TKivEditViewCore::IsFoldStart(Integer APhysLine) {
  TKivEditParserBase* parser = WorkingDocument().GetParser();
  if (!parser || APhysLine < 0 || APhysLine >= WorkingDocument().LinesCount()) return false;
  return parser->IsFoldStart(APhysLine);
}

Integer TKivEditViewCore::GetNextVisibleLine(Integer ALine) {
  return FScreenCache->GetNextVisibleLine(ALine);
}

Integer TKivEditViewCore::GetPrevVisibleLine(Integer ALine) {
  return FScreenCache->GetPrevVisibleLine(ALine);
}

Integer TKivEditViewCore::GetVisibleCountScroll() {
  return FScreenCache->CalkVisibleCountScroll();
}

// Folding: the screen cache checks the line and records the collapsed folds as hidden
// regions; the view brackets each operation and reports scFolds.

void TKivEditViewCore::Fold(Integer APhysLine, bool AAll) {
  CheckDocument();
  CancelFoldAll();
  InBracket(kivStatesOnChange, [&] {
    FScreenCache->Fold(APhysLine, AAll);
    FStatusChanges |= scFolds;
  });
}

void TKivEditViewCore::Unfold(Integer APhysLine, bool AAll) {
  CheckDocument();
  CancelFoldAll();
  const bool wasOnScreen = FScreenCache->IsCursorInScreenYBounds();
  InBracket(kivStatesOnChange, [&] {
    FScreenCache->Unfold(APhysLine, AAll);
    FStatusChanges |= scFolds;
    if (wasOnScreen && !FScreenCache->IsCursorInScreenYBounds()) ScrollToPos(CursorPos(), false);
  });
}

void TKivEditViewCore::FoldAllIn(Integer AOuterFold, bool ATopOnly) {
  CheckDocument();
  CancelFoldAll();
  if (AOuterFold == -1) {
    FFoldAllNext = 0;
    FFoldAllTopOnly = ATopOnly;
    FoldAllSteps();
    return;
  }
  InBracket(kivStatesOnChange, [&] {
    FScreenCache->FoldAllIn(AOuterFold, ATopOnly);
    FStatusChanges |= scFolds;
  });
}

void TKivEditViewCore::UnfoldAllIn(Integer AOuterFold, bool ATopOnly) {
  CheckDocument();
  CancelFoldAll();
  const bool wasOnScreen = FScreenCache->IsCursorInScreenYBounds();
  InBracket(kivStatesOnChange, [&] {
    FScreenCache->UnfoldAllIn(AOuterFold, ATopOnly);
    FStatusChanges |= scFolds;
    if (wasOnScreen && !FScreenCache->IsCursorInScreenYBounds()) ScrollToPos(CursorPos(), false);
  });
}

void TKivEditViewCore::CancelFoldAll() {
  FFoldAllNext = -1;
  ++FFoldAllGen;
}

void TKivEditViewCore::FoldAllSteps() {
  using TClock = std::chrono::steady_clock;
  // A step keeps within a frame or two: the lines it looks at, or the time it took.
  constexpr Integer kStepLines = 20000;
  constexpr auto kStepTime = std::chrono::milliseconds(25);
  while (FFoldAllNext >= 0) {
    InBracket(kivStatesOnChange, [&] {
      const auto t0 = TClock::now();
      Integer looked = 0;
      FFoldAllNext = FScreenCache->FoldAllStep(FFoldAllNext, FFoldAllTopOnly, [&] {
        looked += 64;
        return looked >= kStepLines || TClock::now() - t0 >= kStepTime;
      });
      FStatusChanges |= scFolds;
    });
    if (FFoldAllNext < 0) return;
    const uint32_t gen = FFoldAllGen;
    if (FHost.PostStep([this, gen] {
          if (gen == FFoldAllGen && FFoldAllNext >= 0 && !InState(siDestroing) && FFDoc) FoldAllSteps();
        }))
      return;
  }
}

// ---- coordinates ----

Integer TKivEditViewCore::PhysicalToScroll(Integer ALine) {
  return FScreenCache->PhysicalToScroll(ALine);
}

Integer TKivEditViewCore::ScrollToPhysical(Integer ALine) {
  return FScreenCache->ScrollToPhysical(ALine);
}

void TKivEditViewCore::ScrollPosToPhysical(const TKivPoint& APoint, Integer& APhysLine, Integer& ACol) {
  const TOffsetPoint p = FScreenCache->ScrollPtToOffsetPt(APoint);
  TKivEditDocument& doc = WorkingDocument();
  const Integer line = doc.GetLineByOffset(p.Offset);
  ACol = FScreenCache->CalkPointVisWidth(p) - FScreenCache->CalkPointVisWidth(doc.GetLineStart(line));
  APhysLine = line;
}

TKivPoint TKivEditViewCore::OffsetToScrollPos(Integer AOffset) {
  return FScreenCache->OffsetToScroll(AOffset);
}

Integer TKivEditViewCore::ScrollPosToNearestOffset(const TKivPoint& AScroll) {
  const Integer y = FScreenCache->CorrectToLastScroll(std::max<Integer>(AScroll.Y, 0));
  return FScreenCache->ScrollToNearestOffset({std::max<Integer>(AScroll.X, 0), y});
}

bool TKivEditViewCore::ScrollPosToClient(const TKivPoint& AScrollPos, TKivRect& R, bool AUseTextDirection) {
  const Integer screenLine = FScreenCache->ScrollToScreen(AScrollPos.Y, false);
  if (screenLine < 0 || screenLine >= FScreenCache->LinesOnScreenScroll()) return false;
  Integer leading = 0, trailing = 0;
  if (!FScreenCache->ScreenPosToScreenPixNew({AScrollPos.X, screenLine}, leading, trailing)) return false;
  const TKivRect area = FHost.TextAreaRect();
  const Integer lineHeight = std::max<Integer>(FLineHeight, 1);
  R.Top = KivSatAdd(area.Top, KivSatMul(screenLine, lineHeight));
  R.Bottom = KivSatAdd(R.Top, lineHeight);
  const Integer left = KivSatAdd(area.Left, FGutterWidth);
  if (AUseTextDirection) {
    R.Left = KivSatAdd(left, leading);
    R.Right = KivSatAdd(left, trailing);
  } else {
    R.Left = KivSatAdd(left, std::min(leading, trailing));
    R.Right = KivSatAdd(left, std::max(leading, trailing));
  }
  return true;
}

// ---- highlights and misc ----

void TKivEditViewCore::AddHighlight(Integer AStart, Integer ACount) {
  InBracket(kivStatesOnScrollTo, [&] { FScreenCache->AddHighlight(AStart, ACount); });
}

void TKivEditViewCore::RemoveHighlight(Integer AStart, Integer ACount) {
  InBracket(kivStatesOnScrollTo, [&] { FScreenCache->RemoveHighlight(AStart, ACount); });
}

void TKivEditViewCore::ClearHighlight() {
  InBracket(kivStatesOnScrollTo, [&] { FScreenCache->ClearHighlight(); });
}

void TKivEditViewCore::InvalidateScrollLine(Integer AScrollLine) {
  if (!FHost.HasWindow()) return;
  const Integer screenLine = FScreenCache->ScrollToScreen(AScrollLine, false);
  if (screenLine < 0 || screenLine >= FScreenCache->LinesOnScreenScroll()) return;
  const TKivRect area = FHost.TextAreaRect();
  const Integer top = KivSatAdd(area.Top, KivSatMul(screenLine, FLineHeight));
  FHost.InvalidateRect({area.Left, top, area.Right, KivSatAdd(top, FLineHeight)});
}

TKivString TKivEditViewCore::GetWordUnderCursor() {
  TKivEditDocument& doc = WorkingDocument();
  const TOffsetPoint cursor = FScreenCache->CursorOffset();
  if (cursor.InCharOffset > 0) return {};
  const TKivSegment word = doc.FindNearWord(cursor.Offset, -1, doc.WordSeparators(), true);
  if (word.Start < 0 || cursor.Offset < word.Start || cursor.Offset >= word.Start + word.Count) return {};
  return doc.GetText(word.Start, word.Count);
}

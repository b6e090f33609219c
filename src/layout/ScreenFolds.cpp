// Folding: which of the parser's folds are collapsed, kept as line pairs that follow edits
// (TCollapsedFolds, internal/CollapsedFolds.h), and the operations that collapse and open them.
#include <algorithm>

#include "KivSedParserBase.h"
#include "internal/ScreenCache.h"
#include "internal/StoredView.h"

TScreenCache::~TScreenCache() { ClearFolds(); }

void TScreenCache::RecordFold(Integer AStart, Integer AEnd) {
  FFolds.CreateMarkers(Document());
  FFolds.Record(AStart, AEnd);
  // A top line inside the fold moves to its start.
  if (FFirstLinePhysical > AStart && FFirstLinePhysical <= AEnd) {
    FFirstLinePhysical = AStart;
    FFirstLineSkew = 0;
  }
}

// ---- operations ----

void TScreenCache::CheckFoldLine(Integer ALine, Integer AMax) const {
  if (ALine < 0 || ALine > AMax)
    throw EKivEditViewError(u"Invalid physical line on screen index: %d. Valid range: [%d, %d]",
                            {ALine, 0, AMax});
}

void TScreenCache::ThrowNotFoldStart(Integer ALine) {
  throw EKivEditViewError(u"This operation requires argument line to be fold start: line: %d", {ALine});
}

void TScreenCache::CheckNotCollapsed(Integer ALine) const {
  if (IsCollapsedFold(ALine))
    throw EKivEditViewError(u"Can't do this operation with collapsed fold line: line: %d", {ALine});
}

Integer TScreenCache::ParserFoldEnd(Integer ALine) {
  TKivEditDocument& doc = Document();
  TKivEditParserBase* parser = doc.GetParser();
  if (!parser || !parser->IsFoldStart(ALine)) return -1;
  // A block left open on the last line ends where it starts: nothing to collapse.
  const Integer end = std::min(parser->GetFoldEnd(ALine), doc.LinesCount() - 1);
  return end > ALine ? end : -1;
}

Integer TScreenCache::ParserFoldEndInSteps(Integer ALine, const std::function<bool(Integer)>& AStop,
                                          bool& AStopped) {
  TKivEditDocument& doc = Document();
  TKivEditParserBase* parser = doc.GetParser();
  if (AStop && parser && parser->IsFoldStart(ALine)) {
    // A few milliseconds of parsing per batch: lines or characters, whichever ends it first.
    // The parser keeps a context where each request ends, so batches much smaller than this
    // would leave tens of megabytes of contexts behind on a huge text.
    constexpr Integer kParseBatch = 8192;
    constexpr Integer kParseBatchChars = 131072;
    const Integer last = doc.LinesCount() - 1;
    while (parser->KnownFoldEnd(ALine) == TKivEditParserBase::kFoldEndUnknown) {
      const Integer parsed = parser->LastParsedLine();
      if (parsed >= last) break;  // the end is the text's end: ParserFoldEnd says so
      if (AStop(kParseBatch)) {
        AStopped = true;
        return -1;
      }
      const Integer from = std::max(parsed, ALine);
      const Integer byChars = doc.GetLineByOffset(
          static_cast<Integer>(std::min<int64_t>(doc.CharsCount(), int64_t(doc.GetLineStart(from)) + kParseBatchChars)));
      parser->EnsureLineParsed(std::min({last, from + kParseBatch, std::max(from + 1, byChars)}));
      if (parser->LastParsedLine() <= parsed) break;  // no progress: let ParserFoldEnd finish
    }
  }
  return ParserFoldEnd(ALine);
}

void TScreenCache::InvalidateFold(Integer ALine) {
  InvalidateFrom(Document().GetLineStart(ALine));
  Invalidate(csScreen | csCursor | csConversionCaches);
  FVisibleCountScrollBar = -1;
}

void TScreenCache::Fold(Integer ALine, bool All) {
  CheckFoldLine(ALine, Document().LinesCount() - 1);
  CheckNotCollapsed(ALine);
  const Integer end = ParserFoldEnd(ALine);
  if (end < 0) ThrowNotFoldStart(ALine);
  InvalidateFold(ALine);
  RecordFold(ALine, end);
  if (All) FoldAllIn(ALine, false, false);
  UpdateLayout();
}

void TScreenCache::Unfold(Integer ALine, bool All) {
  CheckFoldLine(ALine, Document().LinesCount() - 1);
  if (!IsCollapsedFold(ALine))
    throw EKivEditViewError(u"Can't do this operation with non-collapsed fold line: line: %d", {ALine});
  InvalidateFold(ALine);
  RemoveFold(ALine, All);
  UpdateLayout();
}

void TScreenCache::CollapseLines(Integer AStartLine, Integer AEndLine) {
  const Integer lines = Document().LinesCount();
  if (AStartLine < 0 || AEndLine <= AStartLine || AEndLine >= lines)
    throw EKivEditViewError(u"Invalid physical line on screen index: %d. Valid range: [%d, %d]",
                            {AStartLine < 0 || AStartLine >= lines ? AStartLine : AEndLine, 0, lines - 1});
  CheckNotCollapsed(AStartLine);
  InvalidateFold(AStartLine);
  RecordFold(AStartLine, AEndLine);
}

void TScreenCache::ExpandLines(Integer AStartLine) {
  if (!IsCollapsedFold(AStartLine)) return;
  InvalidateFold(AStartLine);
  RemoveFold(AStartLine, false);
}

Integer TScreenCache::FoldScanEnd(Integer AOuterFold) {
  const Integer last = Document().LinesCount() - 1;
  if (AOuterFold == -1) return last;
  CheckFoldLine(AOuterFold, last);
  const Integer recorded = CollapsedEnd(AOuterFold);
  if (recorded >= 0) return recorded;
  const Integer end = ParserFoldEnd(AOuterFold);
  if (end < 0) ThrowNotFoldStart(AOuterFold);
  return end;
}

void TScreenCache::FoldAllIn(Integer AOuterFold, bool TopOnly, bool ARunUpdate) {
  FoldLinesIn(AOuterFold + 1, FoldScanEnd(AOuterFold), TopOnly, nullptr);
  if (ARunUpdate) UpdateLayout();
}

Integer TScreenCache::FoldAllStep(Integer AFrom, bool TopOnly, const std::function<bool(Integer)>& AStop) {
  const Integer next = FoldLinesIn(std::max<Integer>(AFrom, 0), FoldScanEnd(-1), TopOnly, AStop);
  UpdateLayout();
  return next;
}

Integer TScreenCache::FoldLinesIn(Integer AFrom, Integer AScanEnd, bool TopOnly,
                                  const std::function<bool(Integer)>& AStop) {
  TKivEditParserBase* parser = Document().GetParser();
  Integer firstChanged = -1;  // the layout is invalidated once, from the first line that changed
  const auto changing = [&](Integer ALine) {
    if (firstChanged < 0) firstChanged = ALine;
  };
  Integer i = AFrom;
  for (Integer n = 0; i < AScanEnd; ++n) {
    if (AStop && (n & 63) == 63 && AStop(64)) break;
    const Integer recorded = CollapsedEnd(i);
    if (recorded < 0) {
      bool stopped = false;
      const Integer end = ParserFoldEndInSteps(i, AStop, stopped);
      if (stopped) break;
      if (end < 0) {
        ++i;
        continue;
      }
      changing(i);
      RecordFold(i, end);
      i = TopOnly ? end + 1 : i + 1;
    } else if (TopOnly) {
      i = recorded + 1;
    } else if (parser && parser->IsFoldStart(i) && parser->IsFoldEnd(recorded)) {
      ++i;
    } else {
      changing(i);  // the parser no longer reports this fold: open it and look again
      RemoveFold(i, false);
    }
  }
  if (firstChanged >= 0) InvalidateFold(firstChanged);
  return i < AScanEnd ? i : -1;
}

void TScreenCache::UnfoldAllIn(Integer AOuterFold, bool TopOnly) {
  const Integer scanEnd = FoldScanEnd(AOuterFold);
  if (AOuterFold == -1 && !TopOnly) {  // every fold of the text opens
    if (FFolds.Count() > 0) {
      InvalidateFold(ShownFolds().front().first);
      ClearFolds();
    }
    UpdateLayout();
    return;
  }
  Integer firstChanged = -1;
  for (Integer i = AOuterFold + 1; i < scanEnd;) {
    if (!IsCollapsedFold(i)) {
      ++i;
      continue;
    }
    // The scan goes on at the end line: a fold starting there (the next branch of the block)
    // is no nested fold, but was hidden with this one's end line.
    const Integer end = CollapsedEnd(i);
    if (firstChanged < 0) firstChanged = i;
    RemoveFold(i, !TopOnly);
    i = end;
  }
  if (firstChanged >= 0) InvalidateFold(firstChanged);
  UpdateLayout();
}

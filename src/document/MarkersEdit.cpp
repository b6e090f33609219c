// How markers follow edits, and the manager that drives every collection of a document.
//
// Lines of markers after an edit are shifted by the edit's real line delta (the line count after
// minus before), which stays right whatever the line index decides about a CR and an LF that an
// edit brings together; markers at the edit's start have their line looked up again.
#include <algorithm>

#include "internal/Markers.h"

// ---- TMarkCollection: movement ----

void TMarkCollection::ContentInserted(const TMarkEditInfo& AInfo) {
  // Markers all before the insertion stay (the common case of a cursor above a replace-all).
  if (FMarks.empty() || AInfo.Count <= 0 || FMarks.back().Mark->FPos < AInfo.Start) return;
  const Integer s = AInfo.Start, n = AInfo.Count;
  size_t i = LowerIndex(s);
  if (i == FMarks.size()) return;
  TKivMarkHost& host = Host();
  const size_t stayEnd = FLineBound && !AInfo.EndStartsLine ? UpperIndex(s) : i;
  Integer movedLine = -1;
  for (size_t k = stayEnd; k < FMarks.size(); ++k) {
    TMark& m = *FMarks[k].Mark;
    if (m.FPos == s) {
      if (movedLine < 0) movedLine = host.MarkHostLineByOffset(s + n);
      m.FLine = movedLine;
    } else if (m.FLine >= 0) {
      m.FLine += AInfo.LinesDelta;
    }
    m.FPos += n;
  }
  if (stayEnd > i) {
    // Typing at a line start leaves the line's markers where they are.
    const Integer line = host.MarkHostLineByOffset(s);
    for (size_t k = i; k < stayEnd; ++k) FMarks[k].Mark->FLine = line;
    MoveOffPairMiddle(s);
  }
}

void TMarkCollection::AffectedRange(const TMarkEditInfo& AInfo, size_t& ALo, size_t& AHi) const {
  const Integer s = AInfo.Start, n = AInfo.Count;
  // A deletion that joins the next line to a line's tail takes the next line's start with it;
  // one that starts at column 0 removes whole lines and leaves the next line alone.
  const bool joinsNextLine = FLineBound && AInfo.EndStartsLine && !AInfo.StartIsLineStart;
  const Integer w = joinsNextLine ? n + 1 : n;
  ALo = LowerIndex(s);
  AHi = LowerIndex(s + w);
  if (!FLineBound) return;
  if (n >= AInfo.DocLength || AInfo.CutsTail) {
    // No line after the deletion's start survives, not even an empty one at the very end of the
    // text (a whole-text deletion takes every line).
    AHi = FMarks.size();
    if (AInfo.CutsTail) ALo = UpperIndex(s);
    return;
  }
  if (ALo >= AHi) return;
  // Markers at the start of the line the deletion begins in stay while the line is not
  // deleted whole (a lone LF taken with it does not count: it leaves the line in place).
  if (AInfo.StartLineLength >= n - AInfo.Lead) ALo = std::min(UpperIndex(s + AInfo.Lead), AHi);
  if (joinsNextLine && AInfo.Crosses && AInfo.StartLineLength == 0) AHi = std::max(LowerIndex(s + n), ALo);
}

TKivMarkArray TMarkCollection::GetMarksToDelete(const TMarkEditInfo& AInfo, bool AWithKeep) {
  TKivMarkArray res;
  if (FDisposed || AInfo.Count <= 0 || (AWithKeep && FKeepMarks)) return res;
  size_t lo, hi;
  AffectedRange(AInfo, lo, hi);
  for (size_t k = lo; k < hi; ++k) res.push_back(FMarks[k].Mark);
  return res;
}

TKivMarkArray TMarkCollection::GetMarksToDelete(Integer AStart, Integer ACount, bool AWithKeep) {
  CheckUsable();
  if (ACount <= 0) return {};
  CheckInsertOffset(AStart);
  CheckInsertOffset(static_cast<Integer>(std::min<int64_t>(int64_t(AStart) + ACount, INT32_MAX)));
  return GetMarksToDelete(FParent->DeletionInfo(AStart, ACount), AWithKeep);
}

void TMarkCollection::SortWindow(size_t ALo, size_t AHi) {
  if (AHi - ALo < 2) return;
  std::sort(FMarks.begin() + ALo, FMarks.begin() + AHi, [](const TMarkEnd& a, const TMarkEnd& b) {
    if (a.Mark->FPos != b.Mark->FPos) return a.Mark->FPos < b.Mark->FPos;
    return a.Mark->FSeq < b.Mark->FSeq;
  });
}

void TMarkCollection::ContentDeleting(const TMarkEditInfo& AInfo) {
  if (FMarks.empty() || AInfo.Count <= 0) return;
  // Markers all before the deletion stay; those of a line-bound collection may still move to
  // their line's start.
  if (!FLineBound && FMarks.back().Mark->FPos < AInfo.Start) return;
  const Integer s = AInfo.Start, n = AInfo.Count;
  size_t lo, hi;
  AffectedRange(AInfo, lo, hi);
  const Integer target = FLineBound ? AInfo.StartLineStart : s;
  // Markers from here on may end up at one position with earlier ones: that window is re-sorted.
  const size_t windowStart = LowerIndex(std::min(target, s));

  for (size_t k = hi; k < FMarks.size(); ++k) {
    TMark& m = *FMarks[k].Mark;
    m.FPos -= n;
    if (m.FLine >= 0) m.FLine += AInfo.LinesDelta;
  }
  // Markers kept at the start of the deletion's line: after a deleted LF that line starts at
  // the deletion's start.
  for (size_t k = LowerIndex(s); k < lo; ++k) {
    TMark& m = *FMarks[k].Mark;
    if (m.FPos > s) {
      m.FPos = target;
      m.FLine = AInfo.StartLine;
    }
  }
  if (FKeepMarks) {
    for (size_t k = lo; k < hi; ++k) {
      TMark& m = *FMarks[k].Mark;
      m.FPos = target;
      m.FLine = FLineBound ? AInfo.StartLine : AInfo.StartOffsetLine;
    }
  } else if (lo < hi) {
    std::vector<std::shared_ptr<TMark>> released;
    released.reserve(hi - lo);
    for (size_t k = lo; k < hi; ++k) released.push_back(FMarks[k].Mark);
    FMarks.erase(FMarks.begin() + lo, FMarks.begin() + hi);
    for (auto& m : released) ReleaseMark(*m);
  }
  size_t windowEnd = windowStart;
  while (windowEnd < FMarks.size() && FMarks[windowEnd].Mark->FPos <= s) ++windowEnd;
  SortWindow(windowStart, windowEnd);
}

void TMarkCollection::ContentDeleted(Integer AStart, Integer ALineCorrection) {
  if (FMarks.empty() || FMarks.back().Mark->FPos < AStart) return;
  const size_t i = LowerIndex(AStart);
  if (ALineCorrection != 0) {
    for (size_t k = i; k < FMarks.size(); ++k) {
      TMark& m = *FMarks[k].Mark;
      if (m.FPos == AStart)
        m.FLine = -1;
      else if (m.FLine >= 0)
        m.FLine += ALineCorrection;
    }
  }
  if (FLineBound && i < FMarks.size() && FMarks[i].Mark->FPos == AStart) MoveOffPairMiddle(AStart);
}

void TMarkCollection::MoveOffPairMiddle(Integer APos) {
  TKivMarkHost& host = Host();
  const Integer line = host.MarkHostLineByOffset(APos);
  const Integer start = host.MarkHostLineStart(line);
  if (start <= APos) return;
  // APos is the LF of a CR LF pair: it belongs to the next line, which starts right after it.
  const size_t lo = LowerIndex(APos), hi = UpperIndex(APos);
  for (size_t k = lo; k < hi; ++k) {
    FMarks[k].Mark->FPos = start;
    FMarks[k].Mark->FLine = line;
  }
  SortWindow(lo, UpperIndex(start));
}

// ---- TMarkManager ----

TMarkManager::TMarkManager(TKivMarkHost* ADoc) : FDoc(ADoc) {}

TMarkManager::~TMarkManager() {
  for (auto& c : FMarks) c->Dispose(false);
}

IKivMarkersRef TMarkManager::CreateMarks(bool ALineBound, bool AKeepMarks, bool AProduceEvents) {
  auto coll = std::make_shared<TMarkCollection>(this, ALineBound, AKeepMarks, AProduceEvents);
  FMarks.push_back(coll);
  FIMarks.push_back(coll);
  return coll;
}

bool TMarkManager::HasMarks(const IKivMarkersRef& AMarks) const {
  return AMarks && std::find(FIMarks.begin(), FIMarks.end(), AMarks) != FIMarks.end();
}

void TMarkManager::ReleaseMarks(const IKivMarkersRef& AMarks) {
  auto it = std::find(FIMarks.begin(), FIMarks.end(), AMarks);
  if (it == FIMarks.end()) return;
  const size_t idx = it - FIMarks.begin();
  std::shared_ptr<TMarkCollection> coll = FMarks[idx];
  coll->Dispose(true);
  // The handlers of the disposal may have changed the list.
  auto pos = std::find(FMarks.begin(), FMarks.end(), coll);
  if (pos != FMarks.end()) {
    FIMarks.erase(FIMarks.begin() + (pos - FMarks.begin()));
    FMarks.erase(pos);
  }
}

void TMarkManager::ClearAllMarks() {
  auto colls = FMarks;
  for (auto& c : colls) c->Dispose(true);
  FMarks.clear();
  FIMarks.clear();
}

TMarkEditInfo TMarkManager::DeletionInfo(Integer AStart, Integer ACount) {
  TMarkEditInfo info;
  info.Start = AStart;
  info.Count = ACount;
  info.DocLength = FDoc->MarkHostCharsCount();
  const Integer a = FDoc->MarkHostLineByOffset(AStart);
  const Integer b = FDoc->MarkHostLineByOffset(AStart + ACount);
  info.LinesDelta = a - b;
  info.StartOffsetLine = a;
  const Integer lineStart = FDoc->MarkHostLineStart(a);
  const Integer lineEnd = FDoc->MarkHostLineEnd(a);
  // A deletion that starts on the LF of a CR LF pair leaves the CR as the separator of the line
  // before: line a then starts at AStart, and the deletion in effect starts there.
  info.Lead = lineStart > AStart ? 1 : 0;
  info.StartLine = a;
  info.StartLineStart = lineStart - info.Lead;
  info.StartLineLength = lineEnd - lineStart;
  info.StartIsLineStart = info.StartLineStart == AStart;
  info.Crosses = b > a;
  info.EndStartsLine = FDoc->MarkHostLineStart(b) == AStart + ACount;
  info.CutsTail = info.Crosses && AStart == lineEnd && AStart + ACount == info.DocLength &&
                  (!info.EndStartsLine || FDeletingLastLine);
  return info;
}

TMarkEditInfo TMarkManager::InsertionInfo(Integer AStart, Integer ACount) {
  TMarkEditInfo info;
  info.Start = AStart;
  info.Count = ACount;
  info.DocLength = FDoc->MarkHostCharsCount();
  const Integer endLine = FDoc->MarkHostLineByOffset(AStart + ACount);
  info.EndStartsLine = FDoc->MarkHostLineStart(endLine) == AStart + ACount;
  if (FLinesBefore >= 0 && FEditStart == AStart && FEditCount == ACount)
    info.LinesDelta = FDoc->MarkHostLinesCount() - FLinesBefore;
  else
    info.LinesDelta = endLine - FDoc->MarkHostLineByOffset(AStart);
  return info;
}

namespace {

bool AnyMarks(const std::vector<std::shared_ptr<TMarkCollection>>& AColls) {
  for (auto& c : AColls)
    if (!c->Disposed() && c->Count() > 0) return true;
  return false;
}

// Whether a collection that reports its changes holds markers at APos or after it (a deletion
// from APos removes none before it).
bool AnyReportedMarksFrom(const std::vector<std::shared_ptr<TMarkCollection>>& AColls, Integer APos) {
  for (auto& c : AColls)
    if (!c->Disposed() && c->ProduceEvents() && c->AnyMarkFrom(APos)) return true;
  return false;
}

}  // namespace

void TMarkManager::ContentInserting(Integer AStart, Integer ACount) {
  FLinesBefore = FDoc->MarkHostLinesCount();
  FEditStart = AStart;
  FEditCount = ACount;
}

void TMarkManager::ContentInserted(Integer AStart, Integer ACount) {
  if (ACount > 0 && AnyMarks(FMarks)) {
    const TMarkEditInfo info = InsertionInfo(AStart, ACount);
    for (auto& c : FMarks) c->ContentInserted(info);
  }
  FLinesBefore = -1;
}

void TMarkManager::ReportMarksToDelete(Integer AStart, Integer ACount, TMarkCollection* AWholeTextWipe) {
  // Only collections that report their changes have anything to report (silent ones, such as
  // the bounds of search runs, need no line facts here).
  if (ACount <= 0 || !AnyReportedMarksFrom(FMarks, AStart)) return;
  const bool wholeText = AStart == 0 && ACount == FDoc->MarkHostCharsCount();
  const TMarkEditInfo info = DeletionInfo(AStart, ACount);
  // Handlers may create or detach collections meanwhile: walk a copy.
  const auto colls = FMarks;
  for (auto& c : colls) {
    if (c->Disposed() || !c->ProduceEvents()) continue;
    TKivMarkArray marks;
    if (wholeText && c.get() == AWholeTextWipe)
      marks = c->AllMarks();
    else
      marks = c->GetMarksToDelete(info, true);
    if (marks.empty()) continue;
    FDoc->MarkHostBeginChange();
    try {
      FDoc->MarkHostDeleting(c, marks);
    } catch (...) {
      try {
        FDoc->MarkHostEndChange();
      } catch (...) {
      }
      throw;
    }
    FDoc->MarkHostEndChange();
  }
  if (wholeText && AWholeTextWipe != nullptr && !AWholeTextWipe->Disposed()) AWholeTextWipe->ClearSilently();
}

void TMarkManager::ContentDeleting(Integer AStart, Integer ACount) {
  FLinesBefore = -1;
  if (ACount <= 0 || !AnyMarks(FMarks)) return;
  const TMarkEditInfo info = DeletionInfo(AStart, ACount);
  FLinesBefore = FDoc->MarkHostLinesCount();
  FEditStart = AStart;
  FEditCount = ACount;
  FRemovedLines = -info.LinesDelta;
  for (auto& c : FMarks) c->ContentDeleting(info);
}

void TMarkManager::ContentDeleted(Integer AStart, Integer ACount) {
  if (FLinesBefore < 0 || FEditStart != AStart || FEditCount != ACount) {
    FLinesBefore = -1;
    return;
  }
  const Integer correction = FDoc->MarkHostLinesCount() - FLinesBefore + FRemovedLines;
  FLinesBefore = -1;
  for (auto& c : FMarks) c->ContentDeleted(AStart, correction);
}

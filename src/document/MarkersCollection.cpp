// Markers and marker collections: creation, queries, deletion, attributes and change reporting.
#include <algorithm>
#include <unordered_set>

#include "internal/DocumentErrors.h"
#include "internal/Markers.h"

namespace {

TMark* ImplOf(const IKivMarkRef& AMark) {
  if (!AMark) return nullptr;
  auto* internal = dynamic_cast<IMarkInternal*>(AMark.get());
  return internal ? internal->GetImpl() : nullptr;
}

[[noreturn]] void RaiseInvalidAttributes() {
  throw EKivEditDocError(u"Can't get/set attributes for invalid marker. Mark.Valid=false.");
}

}  // namespace

// ---- TMark ----

void TMark::CheckValid() const {
  if (!FValid || Parent_ == nullptr) RaiseInvalidAttributes();
}

void TMark::SetName(const TKivString& AName) {
  CheckValid();
  if (FName == AName) return;
  TMarkCollection* parent = Parent_;
  parent->InBracket([&] {
    FName = AName;
    parent->ReportSettings(*this);
  });
}

void TMark::SetData(void* AData) {
  CheckValid();
  if (FData == AData) return;
  TMarkCollection* parent = Parent_;
  parent->InBracket([&] {
    FData = AData;
    parent->ReportSettings(*this);
  });
}

void TMark::SetKind(Integer AKind) {
  CheckValid();
  if (FKind == AKind) return;
  TMarkCollection* parent = Parent_;
  parent->InBracket([&] {
    FKind = AKind;
    parent->ReportSettings(*this);
  });
}

void TMark::SetBreakKind(TKivBreakpointKind AKind) {
  SetKind(AKind);
}

void TMark::SetStackFrameKind(TKivDebugFrameKind AKind) {
  SetKind(AKind);
}

void TMark::NotifyDataChanged() {
  CheckValid();
  TMarkCollection* parent = Parent_;
  parent->InBracket([&] { parent->ReportSettings(*this); });
}

Integer TMark::Line() {
  CheckValid();
  if (FLine < 0) FLine = Parent_->Host().MarkHostLineByOffset(FPos);
  return FLine;
}

Integer TMark::Column() {
  CheckValid();
  const Integer line = Line();
  return FPos - Parent_->Host().MarkHostLineStart(line);
}

IKivMarkersRef TMark::Collection() const {
  if (!FValid || Parent_ == nullptr) return nullptr;
  return Parent_->weak_from_this().lock();
}

void TMark::DeleteFromCollection() {
  if (!FValid || Parent_ == nullptr) throw EKivEditDocError(u"Can't delete marker with Valid=false");
  Parent_->DeleteMark(shared_from_this());
}

// ---- TMarkCollection: brackets and reporting ----

TMarkCollection::TMarkCollection(TMarkManager* AParent, bool ALineBound, bool AKeepMarks, bool AProduceEvents)
    : FProduceEvents(AProduceEvents), FLineBound(ALineBound), FKeepMarks(AKeepMarks), FParent(AParent) {}

TMarkCollection::~TMarkCollection() {
  for (auto& e : FMarks) ReleaseMark(*e.Mark);
}

TKivMarkHost& TMarkCollection::Host() const {
  CheckUsable();
  TKivMarkHost* host = FParent->Document();
  KIV_ASSERT(host != nullptr, "KivSedMarkers");
  return *host;
}

void TMarkCollection::CheckUsable() const {
  if (FDisposed || FParent == nullptr)
    throw EKivEditDocError(u"This markers collection was deleted from Document. Can't use it.");
}

void TMarkCollection::BeginChange() {
  // The document may refuse (markers locked); the depth only counts brackets it accepted.
  if (FEventLock == 0) {
    TKivMarkHost& host = Host();
    host.MarkHostBeginChange();
    FBracketHost = &host;
  }
  ++FEventLock;
}

void TMarkCollection::EndChange() {
  KIV_ASSERT(FEventLock > 0, "KivSedMarkers");
  if (--FEventLock > 0 || FBracketHost == nullptr) return;
  TKivMarkHost* host = FBracketHost;
  FBracketHost = nullptr;
  host->MarkHostEndChange();
}

template <class F>
void TMarkCollection::InBracket(F&& AChange) {
  if (!Reporting()) {
    AChange();
    return;
  }
  BeginChange();
  try {
    AChange();
  } catch (...) {
    try {
      EndChange();
    } catch (...) {
      // The first error is the one worth reporting.
    }
    throw;
  }
  EndChange();
}

void TMarkCollection::ReportSettings(TMark& AMark) {
  if (Reporting()) Host().MarkHostSettingsChanged(shared_from_this(), AMark.shared_from_this());
}

void TMarkCollection::ReportDeleting(const TKivMarkArray& AMarks) {
  if (Reporting() && !AMarks.empty()) Host().MarkHostDeleting(shared_from_this(), AMarks);
}

// ---- TMarkCollection: lookups ----

size_t TMarkCollection::LowerIndex(Integer APos) const {
  return std::partition_point(FMarks.begin(), FMarks.end(),
                              [&](const TMarkEnd& e) { return e.Mark->FPos < APos; }) -
         FMarks.begin();
}

size_t TMarkCollection::UpperIndex(Integer APos) const {
  return std::partition_point(FMarks.begin(), FMarks.end(),
                              [&](const TMarkEnd& e) { return e.Mark->FPos <= APos; }) -
         FMarks.begin();
}

Integer TMarkCollection::FindIndex(const TMark* AMark) const {
  for (size_t i = LowerIndex(AMark->FPos); i < FMarks.size() && FMarks[i].Mark->FPos == AMark->FPos; ++i)
    if (FMarks[i].Mark.get() == AMark) return static_cast<Integer>(i);
  return -1;
}

void TMarkCollection::CheckInsertOffset(Integer APos) {
  const Integer count = Host().MarkHostCharsCount();
  if (APos < 0 || APos > count)
    RaiseInsertIndexError(APos, count);
}

void TMarkCollection::CheckLine(Integer ALine) {
  const Integer count = Host().MarkHostLinesCount();
  if (ALine < 0 || ALine >= count)
    throw EKivEditDocError(u"Invalid line index: %d. Valid range: [%d, %d]", {ALine, 0, count - 1});
}

// Lines [AStartLine, AStartLine + ACount) as offsets [AFrom, ATo); a negative count runs to the
// last line. The separator position of the last line is inside the range.
void TMarkCollection::LineRange(Integer AStartLine, Integer ACount, Integer& AFrom, Integer& ATo) {
  CheckLine(AStartLine);
  TKivMarkHost& host = Host();
  const Integer lines = host.MarkHostLinesCount();
  if (ACount < 0) ACount = lines - AStartLine;
  AFrom = host.MarkHostLineStart(AStartLine);
  if (ACount == 0) {
    ATo = AFrom;
    return;
  }
  const int64_t last = int64_t(AStartLine) + ACount - 1;
  if (last >= lines) CheckLine(static_cast<Integer>(std::min<int64_t>(last, INT32_MAX)));
  ATo = host.MarkHostLineEnd(static_cast<Integer>(last)) + 1;
}

TKivMarkArray TMarkCollection::GetMarksBySegment(Integer AStart, Integer ACount) {
  CheckInsertOffset(AStart);
  if (ACount < 0) ACount = Host().MarkHostCharsCount() - AStart;
  const int64_t end = int64_t(AStart) + ACount;
  CheckInsertOffset(static_cast<Integer>(std::min<int64_t>(end, INT32_MAX)));
  TKivMarkArray res;
  for (size_t i = LowerIndex(AStart), hi = LowerIndex(static_cast<Integer>(end)); i < hi; ++i)
    res.push_back(FMarks[i].Mark);
  return res;
}

Integer TMarkCollection::GetMarksCountByLines(Integer AStartLine, Integer ACount) {
  Integer from, to;
  LineRange(AStartLine, ACount, from, to);
  return static_cast<Integer>(LowerIndex(to) - LowerIndex(from));
}

TKivMarkArray TMarkCollection::GetMarksByLines(Integer AStartLine, Integer ACount) {
  Integer from, to;
  LineRange(AStartLine, ACount, from, to);
  TKivMarkArray res;
  for (size_t i = LowerIndex(from), hi = LowerIndex(to); i < hi; ++i) res.push_back(FMarks[i].Mark);
  return res;
}

IKivMarkRef TMarkCollection::GetLastLineMark(Integer ALine) {
  Integer from, to;
  LineRange(ALine, 1, from, to);
  const size_t lo = LowerIndex(from), hi = LowerIndex(to);
  return lo < hi ? IKivMarkRef(FMarks[hi - 1].Mark) : nullptr;
}

Integer TMarkCollection::Count() {
  CheckUsable();
  return static_cast<Integer>(FMarks.size());
}

IKivMarkRef TMarkCollection::Marks(Integer AIndex) {
  CheckUsable();
  if (AIndex < 0 || AIndex >= static_cast<Integer>(FMarks.size()))
    throw EKivEditDocError(u"Invalid marker index: %d. Valid range: [%d, %d]",
                           {AIndex, 0, static_cast<Integer>(FMarks.size()) - 1});
  return FMarks[AIndex].Mark;
}

IKivMarkRef TMarkCollection::FindMarkByName(const TKivString& AName) {
  CheckUsable();
  for (auto& e : FMarks)
    if (e.Mark->FName == AName) return e.Mark;
  return nullptr;
}

namespace {

// The callback may change the collection; it walks a snapshot and skips markers that left.
IKivMarkRef Enumerate(const TKivMarkArray& AMarks, const TKivMarkEnumFunction& AEnumerator, void* AData) {
  if (!AEnumerator) return nullptr;
  for (const auto& m : AMarks) {
    if (!m->IsValid()) continue;
    bool stop = false;
    AEnumerator(m, AData, stop);
    if (stop) return m;
  }
  return nullptr;
}

}  // namespace

TKivMarkArray TMarkCollection::AllMarks() const {
  TKivMarkArray all;
  all.reserve(FMarks.size());
  for (auto& e : FMarks) all.push_back(e.Mark);
  return all;
}

IKivMarkRef TMarkCollection::EnumMarkers(const TKivMarkEnumFunction& AEnumerator, void* AData) {
  CheckUsable();
  return Enumerate(AllMarks(), AEnumerator, AData);
}

IKivMarkRef TMarkCollection::EnumMarkersByLines(Integer AStartLine, Integer ACount,
                                                const TKivMarkEnumFunction& AEnumerator, void* AData) {
  return Enumerate(GetMarksByLines(AStartLine, ACount), AEnumerator, AData);
}

IKivMarkRef TMarkCollection::EnumMarkersByOffset(Integer AStartOffset, Integer ACount,
                                                 const TKivMarkEnumFunction& AEnumerator, void* AData) {
  return Enumerate(GetMarksBySegment(AStartOffset, ACount), AEnumerator, AData);
}

// ---- TMarkCollection: creation and deletion ----

IKivMarkRef TMarkCollection::AddMark(Integer APos, Integer ALine) {
  auto mark = std::make_shared<TMark>();
  mark->FPos = APos;
  mark->FLine = ALine;
  InBracket([&] {
    mark->FSeq = FNextSeq++;
    mark->FValid = true;
    mark->Parent_ = this;
    FMarks.insert(FMarks.begin() + UpperIndex(APos), TMarkEnd{mark});
    if (Reporting()) Host().MarkHostCreated(shared_from_this(), mark);
  });
  return mark;
}

IKivMarkRef TMarkCollection::CreateMark(Integer APos) {
  CheckInsertOffset(APos);
  return AddMark(APos, -1);
}

IKivMarkRef TMarkCollection::CreateLineMark(Integer ALine) {
  CheckLine(ALine);
  return AddMark(Host().MarkHostLineStart(ALine), ALine);
}

IKivMarkRef TMarkCollection::CreateLineColumnMark(Integer ALine, Integer AColumn) {
  CheckLine(ALine);
  TKivMarkHost& host = Host();
  const Integer start = host.MarkHostLineStart(ALine);
  const Integer length = host.MarkHostLineEnd(ALine) - start;
  if (AColumn < 0 || AColumn > length - 1)
    throw EKivEditDocError(u"Invalid line column: %d. Valid range: [0, %d]", {AColumn, length - 1});
  return AddMark(start + AColumn, ALine);
}

void TMarkCollection::ReleaseMark(TMark& AMark) {
  AMark.FValid = false;
  AMark.Parent_ = nullptr;
}

// Removes those of AMarks that still belong here (a handler of the report may have removed some).
void TMarkCollection::RemoveMarks(const TKivMarkArray& AMarks) {
  if (AMarks.size() == 1) {
    TMark* m = ImplOf(AMarks[0]);
    if (m && m->Parent_ == this) {
      const Integer idx = FindIndex(m);
      KIV_ASSERT(idx >= 0, "KivSedMarkers");
      auto keep = FMarks[idx].Mark;
      FMarks.erase(FMarks.begin() + idx);
      ReleaseMark(*keep);
    }
    return;
  }
  std::unordered_set<const TMark*> doomed;
  for (const auto& m : AMarks) doomed.insert(ImplOf(m));
  std::vector<std::shared_ptr<TMark>> released;
  std::erase_if(FMarks, [&](const TMarkEnd& e) {
    if (!doomed.count(e.Mark.get())) return false;
    released.push_back(e.Mark);
    return true;
  });
  for (auto& m : released) ReleaseMark(*m);
}

void TMarkCollection::DeleteMark(const IKivMarkRef& AMark) {
  CheckUsable();
  TMark* m = ImplOf(AMark);
  if (m == nullptr || !m->FValid || m->Parent_ == nullptr)
    throw EKivEditDocError(u"Can't delete marker with Valid=false");
  if (m->Parent_ != this)
    throw EKivEditDocError(u"Can't delete marker which belongs to other markers collection");
  TKivMarkArray one{m->shared_from_this()};
  InBracket([&] {
    ReportDeleting(one);
    RemoveMarks(one);
  });
}

void TMarkCollection::DeleteMarksAtLine(Integer ALine) {
  TKivMarkArray marks = GetMarksByLines(ALine, 1);
  if (marks.empty()) return;
  InBracket([&] {
    ReportDeleting(marks);
    RemoveMarks(marks);
  });
}

void TMarkCollection::DeleteLastMarkAtLine(Integer ALine) {
  IKivMarkRef last = GetLastLineMark(ALine);
  if (!last) return;
  TKivMarkArray one{last};
  InBracket([&] {
    ReportDeleting(one);
    RemoveMarks(one);
  });
}

void TMarkCollection::Clear() {
  CheckUsable();
  if (FMarks.empty()) return;
  const TKivMarkArray all = AllMarks();
  InBracket([&] {
    ReportDeleting(all);
    RemoveMarks(all);
  });
}

void TMarkCollection::ClearSilently() {
  auto marks = std::move(FMarks);
  FMarks.clear();
  for (auto& e : marks) ReleaseMark(*e.Mark);
}

void TMarkCollection::Dispose(bool AWithEvents) {
  if (FDisposed) return;
  if (AWithEvents && Reporting()) Clear();
  ClearSilently();
  FDisposed = true;
  FParent = nullptr;
}

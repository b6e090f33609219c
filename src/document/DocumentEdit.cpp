// The edit pipeline: checks, the CR LF rule, insertion, deletion, replacement, compound edits,
// undo and redo, and the modified state.
#include <algorithm>

#include "internal/DocumentErrors.h"
#include "internal/DocumentPrivate.h"

namespace {

constexpr const char* kModule = "KivSedDocument";

}  // namespace

// ---- checks ----

void TKivEditDocument::CheckCanEdit() const {
  if (FReadOnly) throw EKivEditDocError(u"Document is read-only");
  if (FChangesLockCnt > 0) throw EKivEditDocError(u"Document is locked for changes");
}

void TKivEditDocument::CheckNotInCompound() const {
  if (FCompoundEditCnt > 0)
    throw EKivEditDocError(u"This method is prohibited while document in compound edit");
}

void TKivEditDocument::CheckInsertOffset(Integer AOffset) const {
  if (AOffset < 0 || AOffset > CharsCount())
    RaiseInsertIndexError(AOffset, CharsCount());
}

void TKivEditDocument::CheckDeleteRange(Integer AStart, Integer ACount) const {
  if (ACount < 0)
    throw EKivEditDocError(u"Range start should be less or equal to range end: range: [%d, %d]",
                           {AStart, (long long)AStart + ACount});
  if (ACount == 0) {
    CheckInsertOffset(AStart);
    return;
  }
  const Integer n = CharsCount();
  for (long long offset : {(long long)AStart, (long long)AStart + ACount - 1})
    if (offset < 0 || offset > n - 1)
      throw EKivEditDocError(u"Invalid offset given to document: %d. Valid range: [%d, %d]",
                             {offset, 0, n - 1});
}

void TKivEditDocument::CheckSegment(const TKivSegment& ASeg) const {
  if (!IsValidSegment(ASeg)) throw EKivEditDocError(u"Invalid segment passed to document method");
}

namespace {

void CheckGrowth(Integer ACount, long long AGrowth) {
  if (AGrowth > 0 && ACount + AGrowth > TKivTextStorage::KivMaxTextLength)
    RaiseTextTooLong(AGrowth, ACount);
}

}  // namespace

// ---- public edits ----

void TKivEditDocument::Insert(Integer AStart, TKivStringView AStr) {
  TKivSeqFromString src(AStr);
  DoInsert(AStart, src.WholeSegment(), -1, nullptr);
}

void TKivEditDocument::InsertSeg(Integer AStart, const TKivSegment& ASeg) {
  DoInsert(AStart, ASeg, -1, nullptr);
}

void TKivEditDocument::Replace(Integer AStart, Integer ACount, TKivStringView AStr) {
  TKivSeqFromString src(AStr);
  DoReplace(AStart, ACount, src.WholeSegment(), -1, nullptr);
}

void TKivEditDocument::ReplaceSeg(Integer AStart, Integer ACount, const TKivSegment& ASeg) {
  DoReplace(AStart, ACount, ASeg, -1, nullptr);
}

void TKivEditDocument::Delete(Integer AStart, Integer ACount) {
  DoDelete(AStart, ACount, -1, nullptr);
}

void TKivEditDocument::Clear() {
  CheckCanEdit();
  if (CharsCount() > 0) DoDelete(0, CharsCount(), -1, nullptr);
}

void TKivEditDocument::ClearNoUndo() {
  CheckCanEdit();
  CheckNotInCompound();
  TUpdateGuard update(*this);
  {
    TUndoLimitSaver noUndo(*this);
    if (CharsCount() > 0) DoDelete(0, CharsCount(), -1, nullptr);
  }
  FModified = false;
  FUndoManager->MarkSaved();
}

// ---- the pipeline ----

void TKivEditDocument::DoInsert(Integer AIdx, const TKivSegment& ASeg, Integer AAuthorID,
                                TKivDocUndoInfoPtr AOldInfo) {
  CheckCanEdit();
  CheckSegment(ASeg);
  CheckInsertOffset(AIdx);
  CheckGrowth(CharsCount(), ASeg.Count);
  if (ASeg.Count == 0) return;
  if (AIdx > 0 && AIdx < CharsCount() && FStorage->GetChar(AIdx - 1) == u'\r' &&
      FStorage->GetChar(AIdx) == u'\n') {
    // Text put between the CR and the LF of a pair leaves a lone CR and a lone LF around it.
    // One compound step, which later typing does not merge into; the line index and the
    // markers take the split as it is, so that markers stay on their lines.
    TUpdateGuard update(*this);
    TCompoundGuard compound(*this, AAuthorID, std::move(AOldInfo), true);
    RawInsert(AIdx, ASeg, -1, nullptr);
    return;
  }
  RawInsert(AIdx, ASeg, AAuthorID, std::move(AOldInfo));
}

void TKivEditDocument::DoDelete(Integer AStart, Integer ACount, Integer AAuthorID,
                                TKivDocUndoInfoPtr AOldInfo) {
  CheckCanEdit();
  CheckDeleteRange(AStart, ACount);
  if (ACount == 0) return;
  // A range that starts on the LF or ends on the CR of a pair cuts the pair.
  const Integer n = CharsCount();
  const bool startsOnLf =
      AStart > 0 && FStorage->GetChar(AStart) == u'\n' && FStorage->GetChar(AStart - 1) == u'\r';
  const Integer last = AStart + ACount - 1;
  const bool endsOnCr =
      last + 1 < n && FStorage->GetChar(last) == u'\r' && FStorage->GetChar(last + 1) == u'\n';
  if (!startsOnLf && !endsOnCr) {
    RawDelete(AStart, ACount, AAuthorID, std::move(AOldInfo));
    return;
  }
  // The other half of a cut pair stays as a lone separator; as with insertions, one compound
  // step that keeps the markers on their lines.
  TUpdateGuard update(*this);
  TCompoundGuard compound(*this, AAuthorID, std::move(AOldInfo), true);
  RawDelete(AStart, ACount, -1, nullptr);
}

void TKivEditDocument::DoReplace(Integer AStart, Integer ACount, const TKivSegment& ASeg, Integer AAuthorID,
                                 TKivDocUndoInfoPtr AOldInfo) {
  CheckCanEdit();
  CheckSegment(ASeg);
  CheckDeleteRange(AStart, ACount);
  CheckGrowth(CharsCount(), (long long)ASeg.Count - ACount);
  if (ACount == 0 && ASeg.Count == 0) return;
  // The segment may be a range of this document: its text is taken before deleting.
  std::unique_ptr<TKivSeqFromString> copy;
  TKivSegment seg = ASeg;
  if (ASeg.Source == FStorage.get()) {
    copy = std::make_unique<TKivSeqFromString>(SegmentToString(ASeg));
    seg = copy->WholeSegment();
  }
  TUpdateGuard update(*this);
  TCompoundGuard compound(*this, AAuthorID, std::move(AOldInfo), true);
  if (ACount > 0) DoDelete(AStart, ACount, -1, nullptr);
  if (seg.Count > 0) DoInsert(AStart, seg, -1, nullptr);
}

void TKivEditDocument::RawInsertStr(Integer AIdx, TKivStringView AStr) {
  TKivSeqFromString src(AStr);
  RawInsert(AIdx, src.WholeSegment(), -1, nullptr);
}

void TKivEditDocument::RawInsert(Integer AIdx, const TKivSegment& ASeg, Integer AAuthorID,
                                 TKivDocUndoInfoPtr AOldInfo) {
  TUpdateGuard update(*this);
  std::unique_ptr<TKivSeqFromString> copy;
  TKivSegment seg = ASeg;
  if (ASeg.Source == FStorage.get()) {
    copy = std::make_unique<TKivSeqFromString>(SegmentToString(ASeg));
    seg = copy->WholeSegment();
  }
  const Integer n = seg.Count;
  NotifyPublicFirst([&](TKivDocumentListener& l) { l.BeforeInsert(AIdx, n); });
  MarkersBeforeInsert(AIdx, n);
  FStorage->Insert(AIdx, seg);
  const TLineManResult res = FLineManager->ContentInserted(AIdx, n);
  EditHappened();
  if (!FInUndo) FUndoManager->ContentInserted(AIdx, n, AAuthorID, std::move(AOldInfo));
  MarkersAfterInsert(AIdx, n);
  LinesChanged(res, res.ChangedLinesCount <= 0);
  NotifyViewsFirst([&](TKivDocumentListener& l) { l.AfterInsert(AIdx, n); }, [this] { AddChange(dcInsert); });
  DoUserEventAfterDocChange();
}

void TKivEditDocument::RawDelete(Integer AStart, Integer ACount, Integer AAuthorID,
                                 TKivDocUndoInfoPtr AOldInfo) {
  TUpdateGuard update(*this);
  MarkersReportDeletion(AStart, ACount);
  NotifyPublicFirst([&](TKivDocumentListener& l) { l.BeforeDelete(AStart, ACount); });
  if (!FInUndo) FUndoManager->ContentDeleting(AStart, ACount, AAuthorID, std::move(AOldInfo));
  MarkersBeforeDelete(AStart, ACount);
  const Integer linesBefore = LinesCount();
  const TLineManResult res = FLineManager->ContentDeleting(AStart, ACount);
  FStorage->Delete(AStart, ACount);
  MarkersAfterDelete(AStart, ACount);
  EditHappened();
  // The index reports the lines the deletion touched; the parser is told of one changed line
  // when that is all it was (no line break removed), so it can keep what follows.
  LinesChanged(res, res.ChangedLinesCount == 1 && LinesCount() == linesBefore);
  NotifyViewsFirst([&](TKivDocumentListener& l) { l.AfterDelete(AStart, ACount); },
                   [this] { AddChange(dcDelete); });
  DoUserEventAfterDocChange();
}

void TKivEditDocument::LinesChanged(const TLineManResult& ARes, bool AInOneLine) {
  DoLinesChanged(ARes.FirstChangedLine, ARes.ChangedLinesCount);
  if (AInOneLine)
    FParser->LineChanged(ARes.FirstChangedLine);
  else
    FParser->LinesChangedFrom(ARes.FirstChangedLine);
}

void TKivEditDocument::EditHappened() {
  // While undoing, the state follows the saved point once the step is done.
  if (!FInUndo) FModified = true;
}

// ---- compound edits ----

void TKivEditDocument::BeginCompoundEdit(bool AFreezeViews) {
  CheckCanEdit();
  OpenCompound(-1, nullptr, AFreezeViews);
}

void TKivEditDocument::EndCompoundEdit(bool AFreezeViews) {
  if (FChangesLockCnt > 0) throw EKivEditDocError(u"Document is locked for changes");
  if (FCompoundEditCnt == 0) throw EKivEditDocError(u"Document should be in compound edit mode here");
  CloseCompound(AFreezeViews);
}

void TKivEditDocument::OpenCompound(Integer AAuthorID, TKivDocUndoInfoPtr AOldInfo, bool AFreezeViews) {
  BeginUpdate();
  ++FCompoundEditCnt;
  try {
    if (FCompoundEditCnt == 1) {
      FCompoundFreeze = AFreezeViews;
      NotifyPublicFirst([&](TKivDocumentListener& l) { l.BeforeCompoundEdit(AFreezeViews); });
      if (!FInUndo) FUndoManager->BeginCompoundAction(AAuthorID, std::move(AOldInfo));
    }
  } catch (...) {
    --FCompoundEditCnt;
    EndUpdate(false);
    throw;
  }
}

void TKivEditDocument::CloseCompound(bool AFreezeViews) {
  KIV_ASSERT(FCompoundEditCnt > 0, kModule);
  // Whatever happens below, this closes the update bracket OpenCompound opened.
  TUpdateGuard closing(*this);
  EndUpdate(false);
  if (--FCompoundEditCnt > 0) return;
  if (!FInUndo && FUndoManager->InsideCompoundAction()) {
    FUndoManager->EndCompoundAction();
    if (IsLoading()) FUndoManager->Clear();
  }
  NotifyViewsFirst([&](TKivDocumentListener& l) { l.AfterCompoundEdit(AFreezeViews); },
                   [this] { AddChange(dcCompoundChange); });
  DoUserEventAfterDocChange();
}

// ---- undo ----

bool TKivEditDocument::DoCanUndo(Integer AAuthorID) const {
  return FUndoManager->CanUndo(AAuthorID);
}
bool TKivEditDocument::DoCanRedo(Integer AAuthorID) const {
  return FUndoManager->CanRedo(AAuthorID);
}
bool TKivEditDocument::CanUndo() const {
  return DoCanUndo(-1);
}
bool TKivEditDocument::CanRedo() const {
  return DoCanRedo(-1);
}

void TKivEditDocument::Undo() {
  TKivDocUndoInfoPtr old;
  DoUndoRedo(true, -1, nullptr, old);
}

void TKivEditDocument::Redo() {
  TKivDocUndoInfoPtr old;
  DoUndoRedo(false, -1, nullptr, old);
}

void TKivEditDocument::DoUndoRedo(bool AUndo, Integer AAuthorID, TKivDocUndoInfoPtr ANewInfo,
                                  TKivDocUndoInfoPtr& OldInfo) {
  CheckCanEdit();
  CheckNotInCompound();
  if (AUndo ? !DoCanUndo(AAuthorID) : !DoCanRedo(AAuthorID)) {
    if (AAuthorID == -1) throw EKivEditDocError(AUndo ? u"Undo stack is empty" : u"Redo stack is empty");
    throw EKivEditDocError(AUndo ? u"Can't undo for author %d" : u"Can't redo for author %d", {AAuthorID});
  }
  TUpdateGuard update(*this);
  try {
    TInUndoGuard inUndo(*this);
    TKivDocUndoInfoPtr old = AUndo ? FUndoManager->Undo(AAuthorID, std::move(ANewInfo))
                                   : FUndoManager->Redo(AAuthorID, std::move(ANewInfo));
    OldInfo = std::move(old);
  } catch (...) {
    FModified = !FUndoManager->AtSavedPoint();
    throw;
  }
  FModified = !FUndoManager->AtSavedPoint();
}

void TKivEditDocument::DoPushCustomAction(Integer AAuthorID, TKivDocUndoInfoPtr AOldInfo) {
  FUndoManager->PushCustomAction(AAuthorID, std::move(AOldInfo));
}

void TKivEditDocument::ClearUndo() {
  CheckNotInCompound();
  TUpdateGuard update(*this);
  FUndoManager->Clear();
}

Integer TKivEditDocument::UndoLimit() const {
  return FUndoManager->Limit();
}

void TKivEditDocument::SetUndoLimit(Integer AValue) {
  CheckNotInCompound();
  if (FChangesLockCnt > 0) throw EKivEditDocError(u"Document is locked for changes");
  TUpdateGuard update(*this);
  // Lost steps may have held the way back to the saved text.
  if (FUndoManager->SetLimit(AValue)) FModified = true;
}

void TKivEditDocument::SetModified(bool AValue) {
  if (!AValue) {
    MarkSaved();
    return;
  }
  TUpdateGuard update(*this);
  FModified = true;
}

void TKivEditDocument::MarkSaved() {
  TUpdateGuard update(*this);
  FModified = false;
  FUndoManager->MarkSaved();
}

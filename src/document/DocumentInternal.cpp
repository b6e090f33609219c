// The views' interface to the document (TKivDocumentInternal) and the bulk text replacement
// that loading uses.
#include <algorithm>
#include <functional>

#include "internal/DocumentPrivate.h"

namespace {

constexpr const char* kModule = "KivSedDocument";

// Frees a segment made by SegmentFromString when the call that took it ends, however it ends.
class TSegmentFreer {
 public:
  TSegmentFreer(TKivSegment& ASeg, bool AActive) : FSeg(ASeg), FActive(AActive) {}
  ~TSegmentFreer() {
    if (FActive) FreeSegment(FSeg);
  }
  TSegmentFreer(const TSegmentFreer&) = delete;
  TSegmentFreer& operator=(const TSegmentFreer&) = delete;

 private:
  TKivSegment& FSeg;
  bool FActive;
};

// Large windows: an inserted text of many megabytes is read in few steps.
constexpr Integer kCharsWindow = 4096;

}  // namespace

TSeqOverChars::TSeqOverChars(TKivStringView AStr, const TKivTextStorage& AStorage)
    : TKivCharSeq(kCharsWindow), FStr(AStr) {
  KIV_ASSERT(AStr.size() <= static_cast<size_t>(INT32_MAX), kModule);
  const Char* chunk = nullptr;
  const Integer first = AStorage.GetChunk(0, chunk);
  const Char* rest = nullptr;
  const Integer second = AStorage.GetChunk(first, rest);
  const std::less<const Char*> less;
  const auto inside = [&](const Char* AFrom, Integer ACount) {
    return ACount > 0 && !less(AStr.data(), AFrom) && less(AStr.data(), AFrom + ACount);
  };
  if (!AStr.empty() && (inside(chunk, first) || inside(rest, second))) {
    FOwn.assign(AStr);
    FStr = FOwn;
  }
  FCount = static_cast<Integer>(FStr.size());
}

void TSeqOverChars::FillBuffer(Integer AStart, Integer AEnd) {
  std::copy(FStr.begin() + AStart, FStr.begin() + AEnd, FBuffer.begin());
}

bool TKivDocumentInternal::GetCanUndo(Integer AAuthorID) const {
  return FDoc.DoCanUndo(AAuthorID);
}
bool TKivDocumentInternal::GetCanRedo(Integer AAuthorID) const {
  return FDoc.DoCanRedo(AAuthorID);
}

void TKivDocumentInternal::Undo(Integer AAuthorID, TKivDocUndoInfoPtr ANewInfo, TKivDocUndoInfoPtr& OldInfo) {
  FDoc.DoUndoRedo(true, AAuthorID, std::move(ANewInfo), OldInfo);
}

void TKivDocumentInternal::Redo(Integer AAuthorID, TKivDocUndoInfoPtr ANewInfo, TKivDocUndoInfoPtr& OldInfo) {
  FDoc.DoUndoRedo(false, AAuthorID, std::move(ANewInfo), OldInfo);
}

void TKivDocumentInternal::InsertSeg(Integer AIdx, TKivSegment ASeg, Integer AAuthorID,
                                     TKivDocUndoInfoPtr AOldInfo, bool ADoFreeSeg) {
  TSegmentFreer freer(ASeg, ADoFreeSeg);
  FDoc.DoInsert(AIdx, ASeg, AAuthorID, std::move(AOldInfo));
}

void TKivDocumentInternal::InsertStr(Integer AIdx, TKivStringView AStr, Integer AAuthorID,
                                     TKivDocUndoInfoPtr AOldInfo) {
  if (AStr.size() > static_cast<size_t>(INT32_MAX)) {
    TKivSeqFromString src(AStr);  // raises on the count
    FDoc.DoInsert(AIdx, src.WholeSegment(), AAuthorID, std::move(AOldInfo));
    return;
  }
  TSeqOverChars src(AStr, *FDoc.FStorage);
  FDoc.DoInsert(AIdx, src.WholeSegment(), AAuthorID, std::move(AOldInfo));
}

void TKivDocumentInternal::Delete(Integer AStart, Integer ACount, Integer AAuthorID,
                                  TKivDocUndoInfoPtr AOldInfo) {
  FDoc.DoDelete(AStart, ACount, AAuthorID, std::move(AOldInfo));
}

void TKivDocumentInternal::ReplaceSeg(Integer AStart, Integer ACount, TKivSegment ASeg, Integer AAuthorID,
                                      TKivDocUndoInfoPtr AOldInfo, bool ADoFreeSeg) {
  TSegmentFreer freer(ASeg, ADoFreeSeg);
  FDoc.DoReplace(AStart, ACount, ASeg, AAuthorID, std::move(AOldInfo));
}

void TKivDocumentInternal::ReplaceStr(Integer AStart, Integer ACount, TKivStringView AStr, Integer AAuthorID,
                                      TKivDocUndoInfoPtr AOldInfo) {
  TKivSeqFromString src(AStr);
  FDoc.DoReplace(AStart, ACount, src.WholeSegment(), AAuthorID, std::move(AOldInfo));
}

void TKivDocumentInternal::PushCustomAction(Integer AAuthorID, TKivDocUndoInfoPtr AOldInfo) {
  FDoc.DoPushCustomAction(AAuthorID, std::move(AOldInfo));
}

void TKivDocumentInternal::BeginCompoundAction(Integer AAuthorID, TKivDocUndoInfoPtr AOldInfo,
                                               bool AFreezeViews) {
  FDoc.CheckCanEdit();
  FDoc.OpenCompound(AAuthorID, std::move(AOldInfo), AFreezeViews);
}

Integer TKivDocumentInternal::GetNextAuthorID() {
  return ++FDoc.FLastAuthorID;
}

void TKivDocumentInternal::LockMarkers() {
  ++FDoc.FMarkersLockCnt;
}

void TKivDocumentInternal::UnlockMarkers() {
  KIV_ASSERT(FDoc.FMarkersLockCnt > 0, kModule);
  --FDoc.FMarkersLockCnt;
}

void TKivDocumentInternal::LockChanges() {
  ++FDoc.FChangesLockCnt;
}

void TKivDocumentInternal::UnlockChanges() {
  KIV_ASSERT(FDoc.FChangesLockCnt > 0, kModule);
  --FDoc.FChangesLockCnt;
}

void TKivDocumentInternal::AddListener(TKivDocumentListener* AListener) {
  KIV_ASSERT(FDoc.FCompoundEditCnt == 0, kModule);
  auto& list = FDoc.FListeners;
  if (AListener && std::find(list.begin(), list.end(), AListener) == list.end()) list.push_back(AListener);
}

void TKivDocumentInternal::RemoveListener(TKivDocumentListener* AListener) {
  std::erase(FDoc.FListeners, AListener);
}

// ---- bulk replacement ----

void TKivEditDocument::LoadReplaceText(TGapStorage& ANewText) {
  TUpdateGuard update(*this);
  const Integer oldCount = CharsCount();
  if (oldCount > 0) {
    // The old text goes as a deletion of everything, as far as markers are concerned.
    MarkersReportDeletion(0, oldCount);
    MarkersBeforeDelete(0, oldCount);
    FLineManager->ContentDeleting(0, oldCount);
    FStorage->Delete(0, oldCount);
    MarkersAfterDelete(0, oldCount);
  }
  FUndoManager->Clear();
  NotifyPublicFirst([](TKivDocumentListener& l) { l.BeforeRefresh(); });
  // The loaded text is taken over whole, never copied; ANewText gets the emptied old storage.
  FStorage->Swap(ANewText);
  FLineManager->Refresh();
  FParser->LinesChangedFrom(0);
  FModified = false;
  FUndoManager->MarkSaved();
  NotifyViewsFirst([](TKivDocumentListener& l) { l.AfterRefresh(); });
  DoUserEventAfterDocChange();
}

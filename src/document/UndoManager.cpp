#include "internal/UndoManager.h"

#include <climits>
#include <typeinfo>

#include "KivErrors.h"

namespace {
constexpr const char* kModule = "UndoManager";
}  // namespace

// ---- steps ----

TUndoActionPtr TDeleteAction::Exec(TUndoActionPtr ASelf, TUndoHost& AHost) {
  auto inverse =
      std::make_unique<TInsertAction>(Start, AHost.UndoReadText(Start, Count), AuthorID, std::move(Info));
  inverse->CanMerge = CanMerge;
  AHost.UndoDeleteText(Start, Count);
  ASelf.reset();
  return inverse;
}

bool TDeleteAction::Merge(TUndoAction& ANew) {
  // Steps are final classes: an exact type test is enough, and far cheaper for a long compound
  // step (a replace-all) than a cast that fails.
  auto* n = typeid(ANew) == typeid(TDeleteAction) ? static_cast<TDeleteAction*>(&ANew) : nullptr;
  if (!CanMerge || !n || n->AuthorID != AuthorID || Start + Count != n->Start) return false;
  Count += n->Count;
  return true;
}

TKivString TInsertAction::Text() const {
  TKivString s(FHeadReversed.rbegin(), FHeadReversed.rend());
  s += FTail;
  return s;
}

TUndoActionPtr TInsertAction::Exec(TUndoActionPtr ASelf, TUndoHost& AHost) {
  const Integer count = Count();
  AHost.UndoInsertText(Start, Text());
  auto inverse = std::make_unique<TDeleteAction>(Start, count, AuthorID, std::move(Info));
  inverse->CanMerge = CanMerge;
  ASelf.reset();
  return inverse;
}

bool TInsertAction::Merge(TUndoAction& ANew) {
  auto* n = typeid(ANew) == typeid(TInsertAction) ? static_cast<TInsertAction*>(&ANew) : nullptr;
  if (!CanMerge || !n || n->AuthorID != AuthorID) return false;
  if (n->Start + n->Count() == Start) {
    // Backspace: the newly deleted text lies before the stored text.
    const TKivString t = n->Text();
    FHeadReversed.append(t.rbegin(), t.rend());
    Start = n->Start;
    return true;
  }
  if (n->Start == Start) {
    FTail += n->Text();
    return true;
  }
  return false;
}

TUndoActionPtr TCompoundAction::Exec(TUndoActionPtr ASelf, TUndoHost& AHost) {
  AHost.UndoBeginCompound();
  try {
    while (FActList.UndoCount() > 0) {
      TUndoActionPtr step = FActList.PopUndo();
      TUndoAction* raw = step.get();
      FActList.PushRedo(raw->Exec(std::move(step), AHost));
    }
  } catch (...) {
    AHost.UndoEndCompound();
    throw;
  }
  AHost.UndoEndCompound();
  FActList.SwapUndoRedo();
  return ASelf;
}

void TCompoundAction::Absorb(TUndoActionPtr ANew) {
  KIV_ASSERT(FActList.RedoCount() == 0, kModule);
  [[maybe_unused]] const TUndoAction& added = *ANew;
  KIV_ASSERT(typeid(added) != typeid(TCompoundAction), kModule);
  TUndoAction* top = FActList.TopUndo();
  if (top && top->Merge(*ANew)) return;
  FActList.PushUndo(std::move(ANew));
}

bool TDummyAction::Merge(TUndoAction& ANew) {
  auto* n = dynamic_cast<TDummyAction*>(&ANew);
  return CanMerge && n && n->AuthorID == AuthorID && Info && n->Info && Info->Merge(*n->Info);
}

// ---- list ----

TUndoActionPtr TUndoActionList::PopUndo() {
  KIV_ASSERT(!FUndo.empty(), kModule);
  TUndoActionPtr a = std::move(FUndo.back());
  FUndo.pop_back();
  return a;
}

TUndoActionPtr TUndoActionList::PopRedo() {
  KIV_ASSERT(!FRedo.empty(), kModule);
  TUndoActionPtr a = std::move(FRedo.back());
  FRedo.pop_back();
  return a;
}

void TUndoActionList::DeleteFirstUndo() {
  KIV_ASSERT(!FUndo.empty(), kModule);
  FUndo.pop_front();
}

size_t TUndoActionList::MemoryUsage() const {
  size_t n = (FUndo.size() + FRedo.size()) * sizeof(TUndoActionPtr);
  for (const auto& a : FUndo) n += a->MemoryUsage();
  for (const auto& a : FRedo) n += a->MemoryUsage();
  return n;
}

// ---- manager ----

void TUndoManager::Record(TUndoActionPtr A) {
  if (FLimit == 0) return;
  if (FCompoundEdit) {
    // The compound step enters the history with its first sub-step, so that a compound edit
    // that changes nothing leaves the history (and its redo steps) alone.
    if (FPendingCompound) {
      FOpenCompound = FPendingCompound.get();
      Push(std::move(FPendingCompound));
    }
    if (!FOpenCompound) return;
    // Sub-steps replay inside their compound step, which alone carries author and info.
    A->AuthorID = -1;
    A->Info.reset();
    FOpenCompound->Absorb(std::move(A));
    return;
  }
  Push(std::move(A));
}

void TUndoManager::Push(TUndoActionPtr A) {
  if (FActList.RedoCount() > 0) {
    // The saved text sits among the redo steps about to be dropped: it can no longer be reached.
    if (FSavedPoint > FActList.UndoCount()) FSavedPoint = -1;
    FActList.CutRedo();
  }
  TUndoAction* top = FActList.TopUndo();
  if (top && top->Merge(*A)) return;
  FActList.PushUndo(std::move(A));
  if (FLimit > 0 && FActList.UndoCount() > FLimit) {
    FActList.DeleteFirstUndo();
    // Every remaining step moved one place down; a saved point at 0 falls off to -1.
    if (FSavedPoint >= 0) --FSavedPoint;
  }
}

void TUndoManager::ContentInserted(Integer AStart, Integer ACount, Integer AAuthorID,
                                   TKivDocUndoInfoPtr AOldInfo) {
  if (ACount <= 0 || FLimit == 0) return;
  Record(std::make_unique<TDeleteAction>(AStart, ACount, AAuthorID, std::move(AOldInfo)));
}

void TUndoManager::ContentDeleting(Integer AStart, Integer ACount, Integer AAuthorID,
                                   TKivDocUndoInfoPtr AOldInfo) {
  if (ACount <= 0 || FLimit == 0) return;
  Record(std::make_unique<TInsertAction>(AStart, FHost.UndoReadText(AStart, ACount), AAuthorID,
                                         std::move(AOldInfo)));
}

void TUndoManager::PushCustomAction(Integer AAuthorID, TKivDocUndoInfoPtr AOldInfo) {
  // A custom step changes no text: inside a compound edit the compound step stands for it.
  if (FCompoundEdit) return;
  Record(std::make_unique<TDummyAction>(AAuthorID, std::move(AOldInfo)));
}

void TUndoManager::BeginCompoundAction(Integer AAuthorID, TKivDocUndoInfoPtr AOldInfo) {
  KIV_ASSERT(!FCompoundEdit, kModule);
  FCompoundEdit = true;
  FOpenCompound = nullptr;
  if (FLimit != 0) FPendingCompound = std::make_unique<TCompoundAction>(AAuthorID, std::move(AOldInfo));
}

void TUndoManager::EndCompoundAction() {
  KIV_ASSERT(FCompoundEdit, kModule);
  FCompoundEdit = false;
  FPendingCompound.reset();
  FOpenCompound = nullptr;
}

bool TUndoManager::CanUndo(Integer AAuthorID) const {
  if (FCompoundEdit) return false;
  for (Integer i = 0; i < FActList.UndoCount(); ++i) {
    const TUndoAction* a = FActList.UndoAt(i);
    if (a->IsAuthorsCommon || a->AuthorID == AAuthorID) return true;
  }
  return false;
}

bool TUndoManager::CanRedo(Integer AAuthorID) const {
  if (FCompoundEdit) return false;
  for (Integer i = 0; i < FActList.RedoCount(); ++i) {
    const TUndoAction* a = FActList.RedoAt(i);
    if (a->IsAuthorsCommon || a->AuthorID == AAuthorID) return true;
  }
  return false;
}

TKivDocUndoInfoPtr TUndoManager::Replay(bool AUndo, Integer AAuthorID, TKivDocUndoInfoPtr ANewInfo) {
  KIV_ASSERT(AUndo ? CanUndo(AAuthorID) : CanRedo(AAuthorID), kModule);
  TKivDocUndoInfoPtr oldInfo;
  try {
    for (;;) {
      TUndoActionPtr step = AUndo ? FActList.PopUndo() : FActList.PopRedo();
      const bool own = step->IsAuthorsCommon || step->AuthorID == AAuthorID;
      if (own && step->AuthorID == AAuthorID) oldInfo = step->CloneInfo();
      TUndoAction* raw = step.get();
      TUndoActionPtr inverse = raw->Exec(std::move(step), FHost);
      // Only the author's own step takes the new info; other authors' steps keep theirs.
      if (own && inverse->AuthorID == AAuthorID) inverse->Info = std::move(ANewInfo);
      if (AUndo)
        FActList.PushRedo(std::move(inverse));
      else
        FActList.PushUndo(std::move(inverse));
      if (own) break;
    }
  } catch (...) {
    // A step that failed half-way leaves text the remaining steps no longer describe.
    FActList.Clear();
    FSavedPoint = -1;
    throw;
  }
  return oldInfo;
}

TKivDocUndoInfoPtr TUndoManager::Undo(Integer AAuthorID, TKivDocUndoInfoPtr ANewInfo) {
  return Replay(true, AAuthorID, std::move(ANewInfo));
}

TKivDocUndoInfoPtr TUndoManager::Redo(Integer AAuthorID, TKivDocUndoInfoPtr ANewInfo) {
  return Replay(false, AAuthorID, std::move(ANewInfo));
}

void TUndoManager::SetTopUndoCantMerge() {
  if (TUndoAction* top = FActList.TopUndo()) top->CanMerge = false;
}

void TUndoManager::Clear() {
  KIV_ASSERT(!FCompoundEdit, kModule);
  FSavedPoint = FSavedPoint == FActList.UndoCount() ? 0 : -1;
  FActList.Clear();
}

bool TUndoManager::SetLimit(Integer ALimit) {
  KIV_ASSERT(!FCompoundEdit, kModule);
  FLimit = ALimit;
  const Integer effective = ALimit < 0 ? INT_MAX : ALimit;
  if (FActList.UndoCount() + FActList.RedoCount() <= effective) return false;
  FActList.CutRedo();
  while (FActList.UndoCount() > effective) FActList.DeleteFirstUndo();
  FSavedPoint = -1;
  return true;
}

void TUndoManager::MarkSaved() {
  FSavedPoint = FActList.UndoCount();
  SetTopUndoCantMerge();
}

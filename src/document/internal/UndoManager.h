// The document's undo history: inverse steps by author, merging of typing runs, compound
// steps, a step limit and the saved point behind the document's modified state.
//
// The manager never edits text itself: steps replay through TUndoHost, which the document
// implements with its own pipeline while recording is switched off.
#pragma once

#include <deque>
#include <memory>

#include "KivSedUndo.h"
#include "KivTypes.h"

// What executing steps needs from the document.
class TUndoHost {
 public:
  virtual ~TUndoHost() = default;
  virtual TKivString UndoReadText(Integer AStart, Integer ACount) = 0;
  virtual void UndoInsertText(Integer AStart, const TKivString& AText) = 0;
  virtual void UndoDeleteText(Integer AStart, Integer ACount) = 0;
  // Brackets the replay of a compound step (one compound edit with view freezing).
  virtual void UndoBeginCompound() = 0;
  virtual void UndoEndCompound() = 0;
};

class TUndoAction;
using TUndoActionPtr = std::unique_ptr<TUndoAction>;

class TUndoAction {
 public:
  TUndoAction(Integer AAuthorID, bool AIsAuthorsCommon, TKivDocUndoInfoPtr AInfo)
      : AuthorID(AAuthorID), IsAuthorsCommon(AIsAuthorsCommon), Info(std::move(AInfo)) {}
  virtual ~TUndoAction() = default;

  // Performs the step and returns its inverse, which may be the step itself.
  virtual TUndoActionPtr Exec(TUndoActionPtr ASelf, TUndoHost& AHost) = 0;
  // Absorbs a newer step; on true the caller drops ANew.
  virtual bool Merge(TUndoAction& ANew) = 0;
  // Rough heap footprint of the step, for the history's memory figure.
  virtual size_t MemoryUsage() const { return sizeof(*this); }

  TKivDocUndoInfoPtr CloneInfo() const { return Info ? Info->Clone() : nullptr; }

  Integer AuthorID;
  bool IsAuthorsCommon;
  TKivDocUndoInfoPtr Info;
  bool CanMerge = true;
};

// Recorded for an insertion: undoing it deletes [Start, Start + Count).
class TDeleteAction final : public TUndoAction {
 public:
  TDeleteAction(Integer AStart, Integer ACount, Integer AAuthorID, TKivDocUndoInfoPtr AInfo)
      : TUndoAction(AAuthorID, true, std::move(AInfo)), Start(AStart), Count(ACount) {}
  TUndoActionPtr Exec(TUndoActionPtr ASelf, TUndoHost& AHost) override;
  bool Merge(TUndoAction& ANew) override;
  size_t MemoryUsage() const override { return sizeof(*this); }

  Integer Start;
  Integer Count;
};

// Recorded for a deletion: holds the deleted text; undoing it inserts the text at Start.
class TInsertAction final : public TUndoAction {
 public:
  TInsertAction(Integer AStart, TKivString AText, Integer AAuthorID, TKivDocUndoInfoPtr AInfo)
      : TUndoAction(AAuthorID, true, std::move(AInfo)), Start(AStart), FTail(std::move(AText)) {}
  TUndoActionPtr Exec(TUndoActionPtr ASelf, TUndoHost& AHost) override;
  bool Merge(TUndoAction& ANew) override;
  size_t MemoryUsage() const override {
    return sizeof(*this) + (FHeadReversed.capacity() + FTail.capacity()) * sizeof(Char);
  }

  Integer Count() const { return Integer(FHeadReversed.size() + FTail.size()); }
  TKivString Text() const;

  Integer Start;

 private:
  // Backspacing prepends to the stored text; the prepended part is kept reversed so that a
  // long run of backspaces costs linear time.
  TKivString FHeadReversed;
  TKivString FTail;
};

class TUndoActionList {
 public:
  Integer UndoCount() const { return Integer(FUndo.size()); }
  Integer RedoCount() const { return Integer(FRedo.size()); }
  void PushUndo(TUndoActionPtr A) { FUndo.push_back(std::move(A)); }
  void PushRedo(TUndoActionPtr A) { FRedo.push_back(std::move(A)); }
  TUndoActionPtr PopUndo();
  TUndoActionPtr PopRedo();
  TUndoAction* TopUndo() const { return FUndo.empty() ? nullptr : FUndo.back().get(); }
  // Steps from the top: index 0 is the top.
  TUndoAction* UndoAt(Integer AFromTop) const { return FUndo[FUndo.size() - 1 - AFromTop].get(); }
  TUndoAction* RedoAt(Integer AFromTop) const { return FRedo[FRedo.size() - 1 - AFromTop].get(); }
  void CutRedo() { FRedo.clear(); }
  void DeleteFirstUndo();
  void SwapUndoRedo() { FUndo.swap(FRedo); }
  void Clear() {
    FUndo.clear();
    FRedo.clear();
  }
  size_t MemoryUsage() const;

 private:
  std::deque<TUndoActionPtr> FUndo;
  std::deque<TUndoActionPtr> FRedo;
};

// A compound edit: its own list holds the sub-steps; replaying it swaps the list so the same
// object then holds the inverse steps in the right order.
class TCompoundAction final : public TUndoAction {
 public:
  TCompoundAction(Integer AAuthorID, TKivDocUndoInfoPtr AInfo)
      : TUndoAction(AAuthorID, true, std::move(AInfo)) {}
  TUndoActionPtr Exec(TUndoActionPtr ASelf, TUndoHost& AHost) override;
  // Compound steps never merge with a newer step; absorbing sub-steps is Absorb's job.
  bool Merge(TUndoAction&) override { return false; }
  size_t MemoryUsage() const override { return sizeof(*this) + FActList.MemoryUsage(); }

  void Absorb(TUndoActionPtr ANew);

 private:
  TUndoActionList FActList;
};

// A custom step pushed by a client: changes no text, carries only its info.
class TDummyAction final : public TUndoAction {
 public:
  TDummyAction(Integer AAuthorID, TKivDocUndoInfoPtr AInfo)
      : TUndoAction(AAuthorID, false, std::move(AInfo)) {}
  TUndoActionPtr Exec(TUndoActionPtr ASelf, TUndoHost&) override { return ASelf; }
  bool Merge(TUndoAction& ANew) override;
};

class TUndoManager {
 public:
  TUndoManager(TUndoHost& AHost, Integer ALimit) : FHost(AHost), FLimit(ALimit) {}

  void ContentInserted(Integer AStart, Integer ACount, Integer AAuthorID, TKivDocUndoInfoPtr AOldInfo);
  // Called while the document still holds [AStart, AStart + ACount).
  void ContentDeleting(Integer AStart, Integer ACount, Integer AAuthorID, TKivDocUndoInfoPtr AOldInfo);
  void PushCustomAction(Integer AAuthorID, TKivDocUndoInfoPtr AOldInfo);
  void BeginCompoundAction(Integer AAuthorID, TKivDocUndoInfoPtr AOldInfo);
  void EndCompoundAction();
  bool InsideCompoundAction() const { return FCompoundEdit; }
  // True once the open compound step has recorded a change.

  bool CanUndo(Integer AAuthorID) const;
  bool CanRedo(Integer AAuthorID) const;
  // Undoes the author's most recent step (plus other authors' custom steps above it).
  // Returns the info recorded with that step when it is the author's own; ANewInfo is
  // stored with the inverse step. Requires CanUndo(AAuthorID).
  TKivDocUndoInfoPtr Undo(Integer AAuthorID, TKivDocUndoInfoPtr ANewInfo);
  TKivDocUndoInfoPtr Redo(Integer AAuthorID, TKivDocUndoInfoPtr ANewInfo);

  Integer UndoCount() const { return FActList.UndoCount(); }
  Integer RedoCount() const { return FActList.RedoCount(); }
  void SetTopUndoCantMerge();
  void Clear();
  Integer Limit() const { return FLimit; }
  // Returns true when steps had to be freed to honour the new limit.
  bool SetLimit(Integer ALimit);

  // The saved point is the undo count at which the text equals the saved text, or -1 once
  // that state can no longer be reached by undo and redo.
  Integer SavedPoint() const { return FSavedPoint; }
  bool AtSavedPoint() const { return FSavedPoint == UndoCount(); }
  void MarkSaved();

  size_t MemoryUsage() const { return sizeof(*this) + FActList.MemoryUsage(); }

 private:
  void Record(TUndoActionPtr A);
  void Push(TUndoActionPtr A);
  TKivDocUndoInfoPtr Replay(bool AUndo, Integer AAuthorID, TKivDocUndoInfoPtr ANewInfo);

  TUndoHost& FHost;
  Integer FLimit;
  bool FCompoundEdit = false;
  // The open compound step before its first sub-step arrives, then its place in the history.
  std::unique_ptr<TCompoundAction> FPendingCompound;
  TCompoundAction* FOpenCompound = nullptr;
  TUndoActionList FActList;
  Integer FSavedPoint = 0;
};

// Internal: the document's RAII brackets and its undo host, shared by the Document*.cpp sources.
#pragma once

#include <exception>

#include "GapStorage.h"
#include "KivSedDocument.h"
#include "LineManager.h"
#include "Markers.h"
#include "UndoManager.h"

// A sequence over characters the caller keeps alive and unchanged while it is read: a string
// inserted into the document goes in without a private copy of it first. A string that lies
// in the storage's own memory is copied (the storage moves its characters while inserting).
class TSeqOverChars : public TKivCharSeq {
 public:
  TSeqOverChars(TKivStringView AStr, const TKivTextStorage& AStorage);
  TKivSegment WholeSegment() { return MakeSegment(0, FCount, this); }

 protected:
  void FillBuffer(Integer AStart, Integer AEnd) override;

 private:
  TKivString FOwn;
  TKivStringView FStr;
};

// Every bracket closes what it opened. When an exception passes, the closing runs without
// firing component events and swallows a second failure, so the first error is the one seen.
class TKivEditDocument::TUpdateGuard {
 public:
  explicit TUpdateGuard(TKivEditDocument& ADoc) : FDoc(ADoc), FUncaught(std::uncaught_exceptions()) {
    FDoc.BeginUpdate();
  }
  ~TUpdateGuard() noexcept(false) {
    if (std::uncaught_exceptions() > FUncaught) {
      try {
        FDoc.EndUpdate(false);
      } catch (...) {
      }
    } else {
      FDoc.EndUpdate(true);
    }
  }
  TUpdateGuard(const TUpdateGuard&) = delete;
  TUpdateGuard& operator=(const TUpdateGuard&) = delete;

 private:
  TKivEditDocument& FDoc;
  int FUncaught;
};

class TKivEditDocument::TCompoundGuard {
 public:
  TCompoundGuard(TKivEditDocument& ADoc, Integer AAuthorID, TKivDocUndoInfoPtr AOldInfo, bool AFreezeViews)
      : FDoc(ADoc), FFreeze(AFreezeViews), FUncaught(std::uncaught_exceptions()) {
    FDoc.OpenCompound(AAuthorID, std::move(AOldInfo), AFreezeViews);
  }
  ~TCompoundGuard() noexcept(false) {
    if (std::uncaught_exceptions() > FUncaught) {
      try {
        FDoc.CloseCompound(FFreeze);
      } catch (...) {
      }
    } else {
      FDoc.CloseCompound(FFreeze);
    }
  }
  TCompoundGuard(const TCompoundGuard&) = delete;
  TCompoundGuard& operator=(const TCompoundGuard&) = delete;

 private:
  TKivEditDocument& FDoc;
  bool FFreeze;
  int FUncaught;
};

class TKivEditDocument::TSettingsGuard {
 public:
  explicit TSettingsGuard(TKivEditDocument& ADoc) : FDoc(ADoc), FUncaught(std::uncaught_exceptions()) {
    FDoc.BeginSettingsRefresh();
  }
  ~TSettingsGuard() noexcept(false) {
    if (std::uncaught_exceptions() > FUncaught) {
      try {
        FDoc.EndSettingsRefresh();
      } catch (...) {
      }
    } else {
      FDoc.EndSettingsRefresh();
    }
  }
  TSettingsGuard(const TSettingsGuard&) = delete;
  TSettingsGuard& operator=(const TSettingsGuard&) = delete;

 private:
  TKivEditDocument& FDoc;
  int FUncaught;
};

// Edits inside are not recorded; the limit comes back afterwards. The history is gone.
class TKivEditDocument::TUndoLimitSaver {
 public:
  explicit TUndoLimitSaver(TKivEditDocument& ADoc) : FDoc(ADoc), FLimit(ADoc.FUndoManager->Limit()) {
    FDoc.FUndoManager->SetLimit(0);
  }
  ~TUndoLimitSaver() { FDoc.FUndoManager->SetLimit(FLimit); }
  TUndoLimitSaver(const TUndoLimitSaver&) = delete;
  TUndoLimitSaver& operator=(const TUndoLimitSaver&) = delete;

 private:
  TKivEditDocument& FDoc;
  Integer FLimit;
};

class TKivEditDocument::TChangesLock {
 public:
  explicit TChangesLock(TKivEditDocument& ADoc) : FDoc(ADoc) { ++FDoc.FChangesLockCnt; }
  ~TChangesLock() { --FDoc.FChangesLockCnt; }
  TChangesLock(const TChangesLock&) = delete;
  TChangesLock& operator=(const TChangesLock&) = delete;

 private:
  TKivEditDocument& FDoc;
};

class TKivEditDocument::TInUndoGuard {
 public:
  explicit TInUndoGuard(TKivEditDocument& ADoc) : FDoc(ADoc) { FDoc.FInUndo = true; }
  ~TInUndoGuard() { FDoc.FInUndo = false; }
  TInUndoGuard(const TInUndoGuard&) = delete;
  TInUndoGuard& operator=(const TInUndoGuard&) = delete;

 private:
  TKivEditDocument& FDoc;
};

// Undo steps replay through the pipeline without checks, CR LF rule or recording.
class TKivEditDocument::TUndoHostImpl final : public TUndoHost {
 public:
  explicit TUndoHostImpl(TKivEditDocument& ADoc) : FDoc(ADoc) {}
  TKivString UndoReadText(Integer AStart, Integer ACount) override { return FDoc.GetText(AStart, ACount); }
  void UndoInsertText(Integer AStart, const TKivString& AText) override { FDoc.RawInsertStr(AStart, AText); }
  void UndoDeleteText(Integer AStart, Integer ACount) override {
    FDoc.RawDelete(AStart, ACount, -1, nullptr);
  }
  void UndoBeginCompound() override { FDoc.OpenCompound(-1, nullptr, true); }
  void UndoEndCompound() override { FDoc.CloseCompound(true); }

 private:
  TKivEditDocument& FDoc;
};

// The marker implementation: markers, their collections, and the manager that owns the
// collections of one document.
//
// TMarkManager owns the collections of one document and is driven by the document's edit
// pipeline through the Content* hooks. It reaches the document only through TKivMarkHost.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "KivSedMarkers.h"

class IMarkInternal {
 public:
  virtual ~IMarkInternal() = default;
  virtual TMark* GetImpl() = 0;
};

class TMark final : public IKivMark, public IMarkInternal, public std::enable_shared_from_this<TMark> {
 public:
  TMark() = default;
  TMark(const TMark&) = delete;
  TMark& operator=(const TMark&) = delete;

  Integer Pos() const override { return FPos; }
  TKivString Name() const override { return FName; }
  void SetName(const TKivString& AName) override;
  void* Data() const override { return FData; }
  void SetData(void* AData) override;
  bool IsValid() const override { return FValid; }
  Integer Line() override;
  Integer Column() override;
  IKivMarkersRef Collection() const override;
  void NotifyDataChanged() override;
  void DeleteFromCollection() override;

  TMark* GetImpl() override { return this; }

  TKivBreakpointKind GetBreakKind() const { return static_cast<TKivBreakpointKind>(FKind); }
  void SetBreakKind(TKivBreakpointKind AKind);
  TKivDebugFrameKind GetDebugFrameKind() const { return static_cast<TKivDebugFrameKind>(FKind); }
  void SetStackFrameKind(TKivDebugFrameKind AKind);

  // The collection's own view (no checks): cached line (-1 = not known) and creation number.
  Integer CachedLine() const { return FLine; }
  TMarkCollection* Parent() const { return Parent_; }

 private:
  friend class TMarkCollection;

  void CheckValid() const;
  void SetKind(Integer AKind);

  void* FData = nullptr;
  Integer FKind = 0;
  bool FValid = false;
  Integer FPos = 0;
  Integer FLine = -1;
  TKivString FName;
  // The owning collection while valid; cleared when the marker leaves it.
  TMarkCollection* Parent_ = nullptr;
  // Creation order inside the collection: the tie-break among equal positions.
  uint64_t FSeq = 0;
};

// What one edit looks like to the collections; computed once by the manager.
struct TMarkEditInfo {
  Integer Start = 0;
  Integer Count = 0;
  // Insertion (after the edit): Start + Count begins a line.
  bool EndStartsLine = false;
  // Line delta of markers after the edited text (inserted minus removed line breaks).
  Integer LinesDelta = 0;
  // Deletion (before the edit, old line index).
  Integer DocLength = 0;
  Integer StartOffsetLine = 0;  // line of the offset Start
  Integer StartLine = 0;        // line the deletion starts in (differs after a lone CR's LF)
  Integer StartLineStart = 0;   // its start offset
  Integer StartLineLength = 0;
  bool StartIsLineStart = false;
  bool Crosses = false;  // the range holds a line break
  // 1 when the deletion starts on the LF of a CR LF pair: the CR alone then ends the line
  // before, and the rest of the deletion starts at the next line's start (StartLine).
  Integer Lead = 0;
  // The deletion takes everything from the end of StartLine's content to the end of the text,
  // and either the last line has text or the caller deletes the last line: StartLine stays
  // whole, every later line goes. (Taking just the separator of an empty line before the empty
  // last line removes StartLine like any other line break does: the last line's markers stay.)
  bool CutsTail = false;
};

class TMarkCollection final : public IKivMarkers, public std::enable_shared_from_this<TMarkCollection> {
 public:
  TMarkCollection(TMarkManager* AParent, bool ALineBound, bool AKeepMarks, bool AProduceEvents);
  ~TMarkCollection() override;
  TMarkCollection(const TMarkCollection&) = delete;
  TMarkCollection& operator=(const TMarkCollection&) = delete;

  TKivMarkArray GetMarksBySegment(Integer AStart, Integer ACount) override;
  Integer GetMarksCountByLines(Integer AStartLine, Integer ACount) override;
  TKivMarkArray GetMarksByLines(Integer AStartLine, Integer ACount) override;
  IKivMarkRef GetLastLineMark(Integer ALine) override;
  IKivMarkRef CreateLineMark(Integer ALine) override;
  IKivMarkRef CreateLineColumnMark(Integer ALine, Integer AColumn) override;
  IKivMarkRef CreateMark(Integer APos) override;
  void DeleteMark(const IKivMarkRef& AMark) override;
  void DeleteMarksAtLine(Integer ALine) override;
  void DeleteLastMarkAtLine(Integer ALine) override;
  void Clear() override;
  Integer Count() override;
  IKivMarkRef Marks(Integer AIndex) override;
  IKivMarkRef FindMarkByName(const TKivString& AName) override;
  IKivMarkRef EnumMarkers(const TKivMarkEnumFunction& AEnumerator, void* AData) override;
  IKivMarkRef EnumMarkersByLines(Integer AStartLine, Integer ACount, const TKivMarkEnumFunction& AEnumerator,
                                 void* AData) override;
  IKivMarkRef EnumMarkersByOffset(Integer AStartOffset, Integer ACount,
                                  const TKivMarkEnumFunction& AEnumerator, void* AData) override;

  bool LineBound() const { return FLineBound; }
  bool KeepMarks() const { return FKeepMarks; }
  bool ProduceEvents() const { return FProduceEvents; }
  bool Disposed() const { return FDisposed; }
  // A marker at APos or after it.
  bool AnyMarkFrom(Integer APos) const { return !FMarks.empty() && FMarks.back().Mark->FPos >= APos; }

  // ---- used by the manager and the document ----

  TKivMarkArray AllMarks() const;

  // The markers a deletion of [AStart, AStart + ACount) will remove; with AWithKeep, none for a
  // collection that keeps marks. AInfo comes from TMarkManager::DeletionInfo.
  TKivMarkArray GetMarksToDelete(const TMarkEditInfo& AInfo, bool AWithKeep);
  TKivMarkArray GetMarksToDelete(Integer AStart, Integer ACount, bool AWithKeep);
  void ContentInserted(const TMarkEditInfo& AInfo);
  void ContentDeleting(const TMarkEditInfo& AInfo);
  // After the line index has changed: corrects the lines of markers at or after AStart by
  // ALineCorrection and puts line-bound markers that ended between a CR and its LF at the
  // start of the line.
  void ContentDeleted(Integer AStart, Integer ALineCorrection);
  // Removes every marker without reporting it.
  void ClearSilently();
  // Removes every marker (reported when AWithEvents) and makes the collection unusable.
  void Dispose(bool AWithEvents);

  // Raises when the collection has been disposed.
  void CheckUsable() const;

 private:
  friend class TMark;
  // Runs AChange inside a change bracket (a collection that produces events) or silently.
  template <class F>
  void InBracket(F&& AChange);

  TKivMarkHost& Host() const;
  bool Reporting() const { return FProduceEvents && FParent != nullptr; }
  void BeginChange();
  void EndChange();

  // Index of the first marker with Pos >= APos (LowerIndex) or > APos (UpperIndex).
  size_t LowerIndex(Integer APos) const;
  size_t UpperIndex(Integer APos) const;
  Integer FindIndex(const TMark* AMark) const;
  void LineRange(Integer AStartLine, Integer ACount, Integer& AFrom, Integer& ATo);
  void CheckLine(Integer ALine);
  void CheckInsertOffset(Integer APos);
  IKivMarkRef AddMark(Integer APos, Integer ALine);
  void RemoveMarks(const TKivMarkArray& AMarks);
  void ReleaseMark(TMark& AMark);
  void AffectedRange(const TMarkEditInfo& AInfo, size_t& ALo, size_t& AHi) const;
  void SortWindow(size_t ALo, size_t AHi);
  // Puts line-bound markers sitting between a CR and its LF at APos at the next line's start.
  void MoveOffPairMiddle(Integer APos);
  void ReportSettings(TMark& AMark);
  void ReportDeleting(const TKivMarkArray& AMarks);

  struct TMarkEnd {
    std::shared_ptr<TMark> Mark;
  };

  Integer FEventLock = 0;
  // The document that accepted the outermost open bracket: it is closed there even when a
  // handler detaches the collection meanwhile.
  TKivMarkHost* FBracketHost = nullptr;
  bool FProduceEvents;
  bool FDisposed = false;
  bool FLineBound;
  bool FKeepMarks;
  TMarkManager* FParent;
  std::vector<TMarkEnd> FMarks;
  uint64_t FNextSeq = 0;
};

// The collections of one document. Destroying the manager disposes every collection silently.
class TMarkManager {
 public:
  explicit TMarkManager(TKivMarkHost* ADoc);
  ~TMarkManager();
  TMarkManager(const TMarkManager&) = delete;
  TMarkManager& operator=(const TMarkManager&) = delete;

  IKivMarkersRef CreateMarks(bool ALineBound, bool AKeepMarks, bool AProduceEvents);
  bool HasMarks(const IKivMarkersRef& AMarks) const;
  // Disposes the collection with events and forgets it.
  void ReleaseMarks(const IKivMarkersRef& AMarks);
  Integer MarksCount() const { return static_cast<Integer>(FMarks.size()); }
  // Disposes every collection with events, then forgets them all.
  void ClearAllMarks();
  void SetDocument(TKivMarkHost* ADoc) { FDoc = ADoc; }
  TKivMarkHost* Document() const { return FDoc; }

  // ---- hooks of the document's edit pipeline ----
  // Insertion of ACount characters at AStart: ContentInserting before the storage changes,
  // ContentInserted once the storage and the line index hold the new text.
  void ContentInserting(Integer AStart, Integer ACount);
  void ContentInserted(Integer AStart, Integer ACount);
  // Deletion of [AStart, AStart + ACount): ReportMarksToDelete first (inside the document's
  // update bracket, before any change), ContentDeleting before the line index and the
  // storage change, ContentDeleted once both hold the new text.
  //
  // ReportMarksToDelete reports, for every collection that produces events, the markers the
  // deletion will remove (AWholeTextWipe: this collection is reported whole, and emptied
  // silently afterwards, when the whole text goes); each collection's report is one change
  // bracket of the document.
  void ReportMarksToDelete(Integer AStart, Integer ACount, TMarkCollection* AWholeTextWipe);
  void ContentDeleting(Integer AStart, Integer ACount);
  void ContentDeleted(Integer AStart, Integer ACount);

  // Deletion facts on the current (old) line index.
  TMarkEditInfo DeletionInfo(Integer AStart, Integer ACount);
  // Insertion facts on the current (new) line index.
  TMarkEditInfo InsertionInfo(Integer AStart, Integer ACount);

  // Set while the document deletes its last line: a deletion from the end of the line before to
  // the end of the text then keeps the line before even when both lines are empty.
  void SetDeletingLastLine(bool AValue) { FDeletingLastLine = AValue; }

 private:
  TKivMarkHost* FDoc;
  std::vector<std::shared_ptr<TMarkCollection>> FMarks;
  std::vector<IKivMarkersRef> FIMarks;
  // Line count before the edit in progress (-1: none), to measure its real line delta.
  Integer FLinesBefore = -1;
  Integer FEditStart = -1;
  Integer FEditCount = -1;
  Integer FRemovedLines = 0;
  bool FDeletingLastLine = false;
};

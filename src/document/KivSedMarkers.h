// Markers: positions in the document's text that follow edits, and their collections.
//
// A marker (IKivMark) is reference counted; it stays readable after it has been removed from
// its collection (or after the collection or the document is gone), then reports IsValid()
// false and never reaches its former owners. A collection (IKivMarkers) keeps its markers
// sorted by position; markers at one position keep the order of their creation.
//
// Kinds of collections:
//  - line-bound: markers stick to lines (text typed at a line start leaves a marker at the line
//    start; a deletion that joins a line to the previous one takes its markers along);
//  - keep marks: markers inside deleted text move out of it instead of being deleted;
//  - produce events: every change is reported to the document (change brackets, creation,
//    deletion, changed settings), which turns them into its listener calls and events.
//
// The collections' implementation lives in internal/Markers.h.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "KivEditDocError.h"
#include "KivTypes.h"

class IKivMark;
class IKivMarkers;
class TKivEditDocument;
class TMark;
class TMarkCollection;
class TMarkManager;

using IKivMarkRef = std::shared_ptr<IKivMark>;
using IKivMarkersRef = std::shared_ptr<IKivMarkers>;
using TKivMarkArray = std::vector<IKivMarkRef>;

// Called for each marker of an enumeration, in position order, until it sets StopHere.
using TKivMarkEnumFunction = std::function<void(const IKivMarkRef& AMark, void* AData, bool& StopHere)>;

// A marker event of the document (OnMarkCreating, OnMarkDeleting).
using TKivMarkEvent = std::function<void(TKivEditDocument& Sender, const IKivMarkersRef& ACollection,
                                         const IKivMarkRef& AMark)>;

enum TKivBreakpointKind : Integer { mkBreakActive = 0, mkBreakDisabled = 1, mkBreakInactive = 2 };
enum TKivDebugFrameKind : Integer { fkFrame = 0, fkFrameTop = 1, fkFrameActive = 2 };

class IKivMark {
 public:
  virtual ~IKivMark() = default;
  // The character offset; for a marker that is no longer valid, its last offset.
  virtual Integer Pos() const = 0;
  virtual TKivString Name() const = 0;
  virtual void SetName(const TKivString& AName) = 0;
  // Caller data, not owned.
  virtual void* Data() const = 0;
  virtual void SetData(void* AData) = 0;
  // True while the marker belongs to a collection.
  virtual bool IsValid() const = 0;
  virtual Integer Line() = 0;
  // Offset from the start of the marker's line.
  virtual Integer Column() = 0;
  // The owning collection; none for a marker that is no longer valid.
  virtual IKivMarkersRef Collection() const = 0;
  // Reports the marker's settings as changed (the caller changed what Data points to).
  virtual void NotifyDataChanged() = 0;
  virtual void DeleteFromCollection() = 0;
};

class IKivMarkers {
 public:
  virtual ~IKivMarkers() = default;
  // Markers with AStart <= Pos < AStart + ACount (ACount -1: to the end of the text).
  virtual TKivMarkArray GetMarksBySegment(Integer AStart, Integer ACount) = 0;
  // Lines [AStartLine, AStartLine + ACount) cover the offsets from the start of the first line
  // to the separator position of the last one inclusive (ACount -1: to the last line).
  virtual Integer GetMarksCountByLines(Integer AStartLine, Integer ACount) = 0;
  virtual TKivMarkArray GetMarksByLines(Integer AStartLine, Integer ACount) = 0;
  // The marker with the greatest position on the line (the last created among equals).
  virtual IKivMarkRef GetLastLineMark(Integer ALine) = 0;
  virtual IKivMarkRef CreateLineMark(Integer ALine) = 0;
  virtual IKivMarkRef CreateLineColumnMark(Integer ALine, Integer AColumn) = 0;
  virtual IKivMarkRef CreateMark(Integer APos) = 0;
  virtual void DeleteMark(const IKivMarkRef& AMark) = 0;
  virtual void DeleteMarksAtLine(Integer ALine) = 0;
  virtual void DeleteLastMarkAtLine(Integer ALine) = 0;
  virtual void Clear() = 0;
  virtual Integer Count() = 0;
  virtual IKivMarkRef Marks(Integer AIndex) = 0;
  // The first marker (in position order) with this name, or none.
  virtual IKivMarkRef FindMarkByName(const TKivString& AName) = 0;
  // Enumerations return the marker at which the callback stopped, or none.
  virtual IKivMarkRef EnumMarkers(const TKivMarkEnumFunction& AEnumerator, void* AData) = 0;
  virtual IKivMarkRef EnumMarkersByLines(Integer AStartLine, Integer ACount,
                                         const TKivMarkEnumFunction& AEnumerator, void* AData) = 0;
  virtual IKivMarkRef EnumMarkersByOffset(Integer AStartOffset, Integer ACount,
                                          const TKivMarkEnumFunction& AEnumerator, void* AData) = 0;
};

// What the markers need from their document. The document implements it; tests use a fake.
//
// Line queries follow the line index: MarkHostLineEnd is the offset of the line's separator
// (the text length for the last line); MarkHostLineByOffset(AOffset), AOffset in
// [0, CharsCount], is the line whose end offset is the first >= AOffset.
//
// Change reporting (called only by collections that produce events):
//  - MarkHostBeginChange: the outermost change bracket of a collection opens. Raises
//    EKivEditDocError "Document markers are locked for changes" while the document's markers
//    are locked, before doing anything; otherwise opens an update bracket and tells the
//    listeners BeforeMarkChange.
//  - MarkHostEndChange: the bracket closes: AfterMarkChange, DoUserEventAfterDocChange, close
//    the update bracket with events.
//  - MarkHostCreated: a marker was added: OnMarkCreating (with text changes locked), then
//    MarkCreated to the listeners (adds dcMarkersCreated).
//  - MarkHostDeleting: markers are about to be removed: OnMarkDeleting for each (with text
//    changes locked), then MarksDeleting to the listeners (adds dcMarkersDeleted).
//  - MarkHostSettingsChanged: a marker's name, data or kind changed: MarkSettingsChanged
//    (adds dcMarkSettingsChanged).
class TKivMarkHost {
 public:
  virtual ~TKivMarkHost() = default;
  virtual Integer MarkHostCharsCount() = 0;
  virtual Integer MarkHostLinesCount() = 0;
  virtual Integer MarkHostLineStart(Integer ALine) = 0;
  virtual Integer MarkHostLineEnd(Integer ALine) = 0;
  virtual Integer MarkHostLineByOffset(Integer AOffset) = 0;

  virtual void MarkHostBeginChange() = 0;
  virtual void MarkHostEndChange() = 0;
  virtual void MarkHostCreated(const IKivMarkersRef& ACollection, const IKivMarkRef& AMark) = 0;
  virtual void MarkHostDeleting(const IKivMarkersRef& ACollection, const TKivMarkArray& AMarks) = 0;
  virtual void MarkHostSettingsChanged(const IKivMarkersRef& ACollection, const IKivMarkRef& AMark) = 0;
};

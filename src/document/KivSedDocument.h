// The text document component: one text with its line index, undo history, markers, scheme
// collections, parser and listeners.
//
// Every change passes through one pipeline: checks (read-only, change lock, arguments) run
// before anything changes; then the storage, line index, undo history and markers are updated,
// the parser is told which lines changed and the listeners are notified in a fixed order.
// Component events (OnDocChanged) fire once, when the outermost update bracket closes.
//
// Views reach author-aware editing and undo through Internal(); other clients use the public
// operations, which edit as author -1 without undo info.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "KivComponent.h"
#include "KivEditDocError.h"
#include "KivSedMarkers.h"
#include "KivSedParserBase.h"
#include "KivSedSchemes.h"
#include "KivSedSearch.h"
#include "KivSedStorage.h"
#include "KivSedUndo.h"
#include "KivSedUtils.h"
#include "KivStrings.h"

class TKivEditDocument;
class TGapStorage;
class TLineManager;
class TUndoManager;

// ---------------------------------------------------------------------------------------------
// Change notifications

enum TKivDocStatusChange : uint8_t {
  dcInsert,
  dcDelete,
  dcCompoundChange,
  dcMarkersCreated,
  dcMarkSettingsChanged,
  dcMarkersDeleted,
  dcCodePagePropsChanged,
  dcModifiedPropertyChanged
};

// A set of TKivDocStatusChange.
class TKivDocStatusChanges {
 public:
  TKivDocStatusChanges() = default;
  TKivDocStatusChanges(std::initializer_list<TKivDocStatusChange> AItems) {
    for (auto c : AItems) Include(c);
  }
  void Include(TKivDocStatusChange AChange) { FBits |= uint8_t(1u << AChange); }
  void Exclude(TKivDocStatusChange AChange) { FBits &= uint8_t(~(1u << AChange)); }
  bool Contains(TKivDocStatusChange AChange) const { return (FBits >> AChange) & 1; }
  bool Empty() const { return FBits == 0; }
  void Clear() { FBits = 0; }
  friend bool operator==(TKivDocStatusChanges, TKivDocStatusChanges) = default;

 private:
  uint8_t FBits = 0;
};

using TKivDocChangedEvent = std::function<void(TKivEditDocument& Sender, TKivDocStatusChanges AChanges)>;
using TKivDocLinesChanged = std::function<void(TKivEditDocument& Sender, Integer AFirstLine, Integer ACount)>;

// The document's notifications; every operation is empty in the base. "Before" notifications
// reach public listeners first, then views; "after" notifications reach views first, then
// public listeners, each followed by DoUserEventAfterDocChange (views, then public).
// A listener may remove itself (or another) while being notified.
class TKivDocumentListener {
 public:
  virtual ~TKivDocumentListener() = default;
  virtual void BeforeRefresh() {}
  virtual void AfterRefresh() {}
  virtual void BeforeSettingsRefresh() {}
  virtual void AfterSettingsRefresh() {}
  virtual void BeforeMarkChange() {}
  virtual void MarksDeleting(const IKivMarkersRef& AMarkers, const TKivMarkArray& AMarks) {
    (void)AMarkers;
    (void)AMarks;
  }
  virtual void MarkCreated(const IKivMarkersRef& AMarkers, const IKivMarkRef& AMark) {
    (void)AMarkers;
    (void)AMark;
  }
  virtual void MarkSettingsChanged(const IKivMarkersRef& AMarkers, const IKivMarkRef& AMark) {
    (void)AMarkers;
    (void)AMark;
  }
  virtual void AfterMarkChange() {}
  virtual void BeforeInsert(Integer AStart, Integer ALength) {
    (void)AStart;
    (void)ALength;
  }
  virtual void AfterInsert(Integer AStart, Integer ALength) {
    (void)AStart;
    (void)ALength;
  }
  virtual void BeforeDelete(Integer AStart, Integer ALength) {
    (void)AStart;
    (void)ALength;
  }
  virtual void AfterDelete(Integer AStart, Integer ALength) {
    (void)AStart;
    (void)ALength;
  }
  virtual void BeforeCompoundEdit(bool AFreezeOnCompoundEdit) { (void)AFreezeOnCompoundEdit; }
  virtual void AfterCompoundEdit(bool AFreezeOnCompoundEdit) { (void)AFreezeOnCompoundEdit; }
  virtual void DoUserEventAfterDocChange() {}
  virtual void DocumentDestroing() {}
};

// ---------------------------------------------------------------------------------------------
// The document's faces

// The interface views edit through: author-aware edits and undo, locks and the view list.
// Inside a compound edit views pass author -1 and no info; the compound step carries the
// author and info it was opened with.
class TKivDocumentInternal {
 public:
  explicit TKivDocumentInternal(TKivEditDocument& ADoc) : FDoc(ADoc) {}

  bool GetCanUndo(Integer AAuthorID) const;
  bool GetCanRedo(Integer AAuthorID) const;
  // OldInfo receives the info recorded with the undone step when it is the author's own.
  void Undo(Integer AAuthorID, TKivDocUndoInfoPtr ANewInfo, TKivDocUndoInfoPtr& OldInfo);
  void Redo(Integer AAuthorID, TKivDocUndoInfoPtr ANewInfo, TKivDocUndoInfoPtr& OldInfo);
  // With ADoFreeSeg the segment (made by SegmentFromString) is freed, also when the call fails.
  void InsertSeg(Integer AIdx, TKivSegment ASeg, Integer AAuthorID, TKivDocUndoInfoPtr AOldInfo,
                 bool ADoFreeSeg);
  void InsertStr(Integer AIdx, TKivStringView AStr, Integer AAuthorID, TKivDocUndoInfoPtr AOldInfo);
  void Delete(Integer AStart, Integer ACount, Integer AAuthorID, TKivDocUndoInfoPtr AOldInfo);
  void ReplaceSeg(Integer AStart, Integer ACount, TKivSegment ASeg, Integer AAuthorID,
                  TKivDocUndoInfoPtr AOldInfo, bool ADoFreeSeg);
  void ReplaceStr(Integer AStart, Integer ACount, TKivStringView AStr, Integer AAuthorID,
                  TKivDocUndoInfoPtr AOldInfo);
  void PushCustomAction(Integer AAuthorID, TKivDocUndoInfoPtr AOldInfo);
  // Closed by the document's EndCompoundEdit.
  void BeginCompoundAction(Integer AAuthorID, TKivDocUndoInfoPtr AOldInfo, bool AFreezeViews);
  // 1, 2, ... per document.
  Integer GetNextAuthorID();
  void LockMarkers();
  void UnlockMarkers();
  void LockChanges();
  void UnlockChanges();
  // The view list (not owned). Adding inside a compound edit is a programming error.
  void AddListener(TKivDocumentListener* AListener);
  void RemoveListener(TKivDocumentListener* AListener);

 private:
  TKivEditDocument& FDoc;
};

// The document as a list of lines (its Lines property). Stores nothing itself. Text reads
// every line followed by CR LF; setting Text or assigning another list replaces the whole
// text (joined with the document's LineSeparatorStr) as one change.
class TDocumentStringsProxy : public TKivStrings {
 public:
  explicit TDocumentStringsProxy(TKivEditDocument& AParent) : FParent(AParent) {}

  Integer Count() const override;
  TKivString Get(Integer AIndex) const override;
  // Replaces the line's content (its separator stays).
  void Put(Integer AIndex, const TKivString& AStr) override;
  void Insert(Integer AIndex, const TKivString& AStr) override;
  void Delete(Integer AIndex) override;
  void Clear() override;
  // One compound edit: clears the text and inserts the lines.
  void SetText(TKivStringView AText) override;
  // Replaces the text without undo and resets the modified state.
  void Assign(const TKivStrings& ASource) override;
  // The document's own file and stream operations: raw text in the document's code page.
  void LoadFromStream(std::istream& AStream) override;
  void SaveToStream(std::ostream& AStream) const override;
  void LoadFromFile(const std::string& AFileName) override;
  void SaveToFile(const std::string& AFileName) const override;

 protected:
  // The list's update bracket is a compound edit with view freezing.
  void SetUpdateState(bool AUpdating) override;

 private:
  void ReplaceAll(const std::vector<TKivString>& ALines);

  TKivEditDocument& FParent;
};

// ---------------------------------------------------------------------------------------------
// The document

class TKivEditDocument : public TKivLoadable {
 public:
  static constexpr Integer DefaultUndoLimit = 1024;
  static constexpr TKivStringView DefaultWordSeparators = u"[]()<>{};.,'\"#@&*!^:-+=/\\~`%|";

  TKivEditDocument();
  ~TKivEditDocument() override;
  TKivEditDocument(const TKivEditDocument&) = delete;
  TKivEditDocument& operator=(const TKivEditDocument&) = delete;

  // ---- text and lines ----
  // The characters (read-only use; reading moves the sequence's window).
  TKivCharSeq& Chars();
  Integer CharsCount() const;
  Integer LinesCount() const;
  // The whole text as a string.
  TKivString Text();
  // A line without its separator; a line outside [0, LinesCount - 1] raises.
  TKivSegment GetLine(Integer ALine) const;
  // The line with its separator (the last line: to the end of the text).
  TKivSegment GetLineWithCr(Integer ALine) const;
  TKivString GetLineText(Integer ALine) const;
  Integer GetLineStart(Integer ALine) const;
  // The offset where the line's content ends (its separator's offset, or the text length).
  Integer GetLineEnd(Integer ALine) const;
  // AOffset in [0, CharsCount].
  Integer GetLineByOffset(Integer AOffset) const;
  // False for the last line; otherwise true and the line's separator kind.
  bool GetLineEndKind(Integer ALine, TKivLineSeparator& Res) const;
  // Copies characters [AStart, AStart + ACount) to ADest.
  void CopyChars(Integer AStart, Integer ACount, Char* ADest) const;
  TKivString GetText(Integer AStart, Integer ACount) const;

  TKivLineSeparator LineSeparator() const { return FLineSeparator; }
  // Used when the document creates a line break itself; existing text is not converted.
  void SetLineSeparator(TKivLineSeparator AValue);
  const TKivString& LineSeparatorStr() const { return FLineSeparatorStr; }
  TKivStrings& Lines() { return *FLines; }
  // Copies ASource's lines (see TDocumentStringsProxy::Assign).
  void SetLines(const TKivStrings& ASource);

  // ---- editing (as author -1, no undo info) ----
  void Insert(Integer AStart, TKivStringView AStr);
  void InsertSeg(Integer AStart, const TKivSegment& ASeg);
  // Inserts a line before line ALine; ALine = LinesCount appends.
  void InsertLine(Integer ALine, TKivStringView AStr);
  void AppendLine(TKivStringView AStr);
  void Replace(Integer AStart, Integer ACount, TKivStringView AStr);
  void ReplaceSeg(Integer AStart, Integer ACount, const TKivSegment& ASeg);
  void Delete(Integer AStart, Integer ACount);
  void DeleteLine(Integer ALine);
  // Deletes all text (undoable).
  void Clear();
  // Deletes all text without undo and resets the modified state.
  void ClearNoUndo();

  // ---- compound edits and update brackets ----
  void BeginCompoundEdit(bool AFreezeViews = true);
  void EndCompoundEdit(bool AFreezeViews = true);
  bool InsideCompoundEdit() const { return FCompoundEditCnt > 0; }
  void BeginUpdate();
  void EndUpdate(bool AWithEvent = true);
  Integer UpdateDepth() const { return FDelayedEventLock; }

  // ---- undo ----
  void Undo();
  void Redo();
  bool CanUndo() const;
  bool CanRedo() const;
  void ClearUndo();
  Integer UndoLimit() const;
  void SetUndoLimit(Integer AValue);
  // True while the text may differ from the saved text. Setting false makes the current
  // text the saved one (as saving does).
  bool Modified() const { return FModified; }
  void SetModified(bool AValue);
  // Resets the modified state after the text was saved: the current undo count becomes the
  // saved point and the top step stops merging.
  void MarkSaved();

  // ---- settings ----
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool AValue);
  const TKivString& WordSeparators() const { return FWordSeparators; }
  void SetWordSeparators(const TKivString& AValue);
  // The word separators plus CR, LF, form feed, space and TAB.
  const TKivString& FullWordSeparators() const { return FFullWordSeparators; }
  Integer MaxLineLengthToParse() const;
  void SetMaxLineLengthToParse(Integer AValue);

  // ---- word search over the text (an empty separator argument: the full separators) ----
  Integer FindNextWordStart(Integer AOffset, Integer AMaxCount = -1, TKivStringView ASeparators = {});
  Integer FindPrevWordStart(Integer AOffset, Integer AMaxCount = -1, TKivStringView ASeparators = {});
  Integer FindNextWordEnd(Integer AOffset, Integer AMaxCount = -1, TKivStringView ASeparators = {});
  Integer FindPrevWordEnd(Integer AOffset, Integer AMaxCount = -1, TKivStringView ASeparators = {});
  TKivSegment FindNextWord(Integer AOffset, Integer AMaxCount = -1, TKivStringView ASeparators = {});
  TKivSegment FindPrevWord(Integer AOffset, Integer AMaxCount = -1, TKivStringView ASeparators = {});
  TKivSegment FindNearWord(Integer AOffset, Integer AMaxCount, TKivStringView ASeparators, bool ABackward);

  // ---- search and replace (KivSedSearch.h) ----
  // A run searches from AOffset (in [0, CharsCount], else EInvalidArgument "Index out of bounds:
  // %d") over AMaxCount characters (-1: to the end, backwards to the start) and returns its state,
  // or none when nothing was found. "Next" calls continue the run (ANewStart restarts it there)
  // and return false when nothing more is found; a failed call leaves the state as it was.
  TKivEditFindReplaceStatePtr FindPatternFirst(Integer AOffset, Integer AMaxCount, const TKivString& APattern,
                                               TKivEditSearchOptions AOpts = {},
                                               TKivEditSearchDirection ADirection = sdForward);
  TKivEditFindReplaceStatePtr FindPatternFirst(Integer AOffset, const TKivString& APattern,
                                               TKivEditSearchOptions AOpts = {},
                                               TKivEditSearchDirection ADirection = sdForward);
  bool FindPatternNext(TKivEditFindReplaceState* AState);
  bool FindPatternNext(Integer ANewStart, TKivEditFindReplaceState* AState);
  void FindPatternClose(TKivEditFindReplaceStatePtr& AState);
  // Each step replaces one match (as its own undo step) after asking the callback; none / false
  // also when the callback cancelled.
  TKivEditFindReplaceStatePtr ReplacePatternFirst(Integer AOffset, Integer AMaxCount, const TKivString& APattern,
                                                  const TKivString& AReplacement, TKivEditSearchOptions AOpts,
                                                  TKivEditSearchDirection ADirection = sdForward,
                                                  TKivEditReplaceEvent AReplaceCallback = nullptr);
  TKivEditFindReplaceStatePtr ReplacePatternFirst(Integer AOffset, const TKivString& APattern,
                                                  const TKivString& AReplacement, TKivEditSearchOptions AOpts,
                                                  TKivEditSearchDirection ADirection = sdForward,
                                                  TKivEditReplaceEvent AReplaceCallback = nullptr);
  bool ReplacePatternNext(TKivEditFindReplaceState* AState);
  bool ReplacePatternNext(Integer ANewStart, TKivEditFindReplaceState* AState);
  void ReplacePatternClose(TKivEditFindReplaceStatePtr& AState);
  // Replaces every match as one undo step; the state of the run, or none when nothing was found.
  // Without an offset the whole text (from its end, backwards).
  TKivEditFindReplaceStatePtr ReplacePatternAll(Integer AOffset, Integer AMaxCount, const TKivString& APattern,
                                                const TKivString& AReplacement, TKivEditSearchOptions AOpts = {},
                                                TKivEditSearchDirection ADirection = sdForward,
                                                TKivEditReplaceEvent AReplaceCallback = nullptr);
  TKivEditFindReplaceStatePtr ReplacePatternAll(const TKivString& APattern, const TKivString& AReplacement,
                                                TKivEditSearchOptions AOpts = {},
                                                TKivEditSearchDirection ADirection = sdForward,
                                                TKivEditReplaceEvent AReplaceCallback = nullptr);

  // ---- listeners, parser, views ----
  // Public listeners (not owned); adding is not allowed inside a compound edit.
  void AddListener(TKivDocumentListener* AListener);
  void RemoveListener(TKivDocumentListener* AListener);
  TKivEditParserBase* GetParser() const { return FParser.get(); }
  // Attaches a parser (owned); none attaches a base parser.
  void SetParser(std::unique_ptr<TKivEditParserBase> AParser);
  // The parser every new document attaches (the syntax engine installs its own).
  using TKivParserFactory = std::function<std::unique_ptr<TKivEditParserBase>()>;
  static void SetDefaultParserFactory(TKivParserFactory AFactory);
  TKivDocumentInternal& Internal() { return *FInternal; }

  // Fired when the outermost update bracket closes with pending changes.
  TKivDocChangedEvent OnDocChanged;
  // Fired by every edit with the first changed line and the line index's count (0 or less:
  // only that line changed).
  TKivDocLinesChanged OnLinesChanged;

  // ---- markers (owned by KivSedMarkers) ----
  // The built-in collections, all line-bound and reporting their changes. Bookmarks keep their
  // marks when the text around them is deleted (a deletion of the whole text removes them);
  // breakpoints and debugger frame lines go with their text.
  const IKivMarkersRef& Bookmarks() const { return FBookmarks; }
  const IKivMarkersRef& Breakpoints() const { return FBreakpoints; }
  const IKivMarkersRef& DebugFrameLines() const { return FDebugFrameLines; }
  // Collections for views and search (cursor, selection, search bounds); they live until
  // detached or until the document goes, then their markers are no longer valid.
  IKivMarkersRef CreateCustomMarkers(bool AKeepMarks, bool ALineBound, bool AProduceEvents);
  IKivMarkersRef CreateCustomLineMarkers(bool AKeepMarks, bool AProduceEvents);
  // Clears the collection (with events) and makes it unusable.
  void DetachCustomMarkers(const IKivMarkersRef& AMarkers);
  // The marker must belong to Breakpoints / DebugFrameLines.
  TKivBreakpointKind GetBreakpointKind(const IKivMarkRef& ABreak) const;
  void SetBreakpointKind(const IKivMarkRef& ABreak, TKivBreakpointKind AKind);
  TKivDebugFrameKind GetDebugFrameKind(const IKivMarkRef& AFrameMark) const;
  void SetDebugFrameKind(const IKivMarkRef& AFrameMark, TKivDebugFrameKind AKind);
  // Fired while text changes are locked: a handler that edits the text raises.
  TKivMarkEvent OnMarkDeleting;
  TKivMarkEvent OnMarkCreating;
  TKivMarkEvent& OnLineMarkDeleting() { return OnMarkDeleting; }
  TKivMarkEvent& OnLineMarkCreating() { return OnMarkCreating; }

 private:
  // How the collections reach this document.
  class TMarkHostImpl final : public TKivMarkHost {
   public:
    explicit TMarkHostImpl(TKivEditDocument& ADoc) : FDoc(ADoc) {}
    Integer MarkHostCharsCount() override { return FDoc.CharsCount(); }
    Integer MarkHostLinesCount() override { return FDoc.LinesCount(); }
    Integer MarkHostLineStart(Integer ALine) override { return FDoc.GetLineStart(ALine); }
    Integer MarkHostLineEnd(Integer ALine) override { return FDoc.GetLineEnd(ALine); }
    Integer MarkHostLineByOffset(Integer AOffset) override { return FDoc.GetLineByOffset(AOffset); }
    void MarkHostBeginChange() override { FDoc.MarkChangeBegin(); }
    void MarkHostEndChange() override { FDoc.MarkChangeEnd(); }
    void MarkHostCreated(const IKivMarkersRef& ACollection, const IKivMarkRef& AMark) override;
    void MarkHostDeleting(const IKivMarkersRef& ACollection, const TKivMarkArray& AMarks) override;
    void MarkHostSettingsChanged(const IKivMarkersRef& ACollection, const IKivMarkRef& AMark) override {
      FDoc.MarkSettingsChangedNotify(ACollection, AMark);
    }

   private:
    TKivEditDocument& FDoc;
  };
  void InitMarkers();
  // The edit pipeline's marker steps (no-ops for a zero count).
  void MarkersBeforeInsert(Integer AStart, Integer ACount);
  void MarkersAfterInsert(Integer AStart, Integer ACount);
  void MarkersReportDeletion(Integer AStart, Integer ACount);
  void MarkersBeforeDelete(Integer AStart, Integer ACount);
  void MarkersAfterDelete(Integer AStart, Integer ACount);
  TMark* BuiltInMark(const IKivMarkRef& AMark, const IKivMarkersRef& AColl, const char16_t* AError) const;

  TMarkHostImpl FMarkHost{*this};
  std::unique_ptr<TMarkManager> FMarkManager;
  IKivMarkersRef FBookmarks;
  IKivMarkersRef FBreakpoints;
  IKivMarkersRef FDebugFrameLines;

 public:
  // ---- end markers ----

  // ---- files and schemes (owned by DocumentFiles/DocumentSchemes) ----
  // Loading replaces the whole text without undo; Modified and CanUndo are false afterwards and
  // a failed load leaves the document as it was. With AUnicodeAutodetect a byte-order mark at
  // the start selects the code page (CodePage and CodePageUsePreamble follow what was found);
  // otherwise CodePage becomes ACodePage. Omitted arguments: CodePage(), no detection.
  void LoadFromFile(const TKivString& AFileName);
  void LoadFromFile(const TKivString& AFileName, TKivCodePageRef ACodePage, bool AUnicodeAutodetect = false);
  void LoadFromStream(std::istream& AStream);
  void LoadFromStream(std::istream& AStream, TKivCodePageRef ACodePage, bool AUnicodeAutodetect = false);
  // Saving writes the text as it is (line separators included) and then resets Modified.
  // SaveToFile replaces the file only when everything was written; a character the code page
  // cannot hold raises EKivEditDocError before the file or stream is touched. Omitted arguments:
  // CodePage(), CodePageUsePreamble().
  void SaveToFile(const TKivString& AFileName);
  void SaveToFile(const TKivString& AFileName, TKivCodePageRef ACodePage);
  void SaveToFile(const TKivString& AFileName, TKivCodePageRef ACodePage, bool AUsePreamble);
  void SaveToStream(std::ostream& AStream);
  void SaveToStream(std::ostream& AStream, TKivCodePageRef ACodePage);
  void SaveToStream(std::ostream& AStream, TKivCodePageRef ACodePage, bool AUsePreamble);
  // 0 (the system code page, UTF-8) by default; see KivSedEncoding.h for the numbers.
  TKivCodePageRef CodePage() const;
  void SetCodePage(TKivCodePageRef AValue);
  bool CodePageUsePreamble() const { return FCodePageUsePreamble; }
  void SetCodePageUsePreamble(bool AValue);
  TKivString CodePageName() const;
  // "Unknown code page name: %s" for a name without a code page.
  void SetCodePageName(const TKivString& AValue);
  // True when the last load met bytes that are invalid in its code page and shows them as
  // U+FFFD: saving would not give the original bytes back.
  bool InvalidBytesReplaced() const { return FInvalidBytesReplaced; }

  // Assigning a collection copies its items.
  TKivEditParserSchemeCollection& SyntaxSchemes() { return *FSyntaxSchemes; }
  void SetSyntaxSchemes(const TKivEditParserSchemeCollection& AValue);
  TKivEditParserSchemeCollection& ColorSchemes() { return *FColorSchemes; }
  void SetColorSchemes(const TKivEditParserSchemeCollection& AValue);
  // The names of the schemes in use; a non-empty name must name an item of its collection.
  const TKivSyntaxSchemeRef& ActiveSyntaxScheme() const { return FSyntaxScheme; }
  void SetActiveSyntaxScheme(const TKivSyntaxSchemeRef& AValue);
  const TKivColorSchemeRef& ActiveColorScheme() const { return FColorScheme; }
  void SetActiveColorScheme(const TKivColorSchemeRef& AValue);
  // Loads the active schemes into the parser (or unloads when a name is empty) and refreshes it.
  void ApplySchemes();

 private:
  class TSchemesHost final : public TKivSchemeCollectionOwner {
   public:
    explicit TSchemesHost(TKivEditDocument& ADoc) : FDoc(ADoc) {}
    bool CanCreateSchemeCollections() const override;
    void SchemeCollectionChanged(TKivEditParserSchemeCollection& ACollection) override;
    void SchemeItemChanged(TKivEditParserSchemeCollectionItem& AItem) override;

   private:
    TKivEditDocument& FDoc;
  };
  void InitFilesAndSchemes();
  void AttachSchemeLoaders();
  void SchemesLoaded();
  void DropStaleSchemeName(const TKivEditParserSchemeCollection& ACollection);
  void DoApplySchemes(bool ASwallowLoadErrors);
  TKivString SchemeText(TKivEditSchemeKind AKind, const TKivString& AName) const;
  void LoadFrom(const std::function<size_t(char*, size_t)>& ARead, int64_t ASize, TKivCodePageRef ACodePage,
                bool AUnicodeAutodetect);
  void CheckEncodable(const TKivEncoding& AEncoding) const;
  void WriteText(const TKivEncoding& AEncoding, bool AUsePreamble,
                 const std::function<void(const char*, size_t)>& AWrite) const;

  TSchemesHost FSchemesHost{*this};
  std::unique_ptr<TKivEncoding> FEncoding = std::make_unique<TKivEncoding>(0);
  bool FCodePageUsePreamble = false;
  bool FInvalidBytesReplaced = false;
  std::unique_ptr<TKivEditParserSchemeCollection> FSyntaxSchemes;
  std::unique_ptr<TKivEditParserSchemeCollection> FColorSchemes;
  TKivSyntaxSchemeRef FSyntaxScheme;
  TKivColorSchemeRef FColorScheme;
  // ---- end files and schemes ----

 protected:
  void Loaded() override;

 private:
  friend class TKivDocumentInternal;
  friend class TDocumentStringsProxy;
  class TUndoHostImpl;
  friend class TUndoHostImpl;

  // RAII brackets; each closes what it opened, also when an exception passes.
  class TUpdateGuard;
  class TCompoundGuard;
  class TSettingsGuard;
  class TUndoLimitSaver;
  class TChangesLock;
  class TInUndoGuard;

  // ---- checks ----
  void CheckCanEdit() const;
  void CheckNotInCompound() const;
  void CheckInsertOffset(Integer AOffset) const;
  void CheckDeleteRange(Integer AStart, Integer ACount) const;
  void CheckSegment(const TKivSegment& ASeg) const;
  void CheckLine(Integer ALine) const;

  // ---- the pipeline ----
  void DoInsert(Integer AIdx, const TKivSegment& ASeg, Integer AAuthorID, TKivDocUndoInfoPtr AOldInfo);
  void DoDelete(Integer AStart, Integer ACount, Integer AAuthorID, TKivDocUndoInfoPtr AOldInfo);
  void DoReplace(Integer AStart, Integer ACount, const TKivSegment& ASeg, Integer AAuthorID,
                 TKivDocUndoInfoPtr AOldInfo);
  // The storage, index, undo, marker and notification steps, without checks or CR LF rule.
  void RawInsert(Integer AIdx, const TKivSegment& ASeg, Integer AAuthorID, TKivDocUndoInfoPtr AOldInfo);
  void RawInsertStr(Integer AIdx, TKivStringView AStr);
  void RawDelete(Integer AStart, Integer ACount, Integer AAuthorID, TKivDocUndoInfoPtr AOldInfo);
  // AInOneLine: only the text of line ARes.FirstChangedLine changed (no line was added or removed).
  void LinesChanged(const TLineManResult& ARes, bool AInOneLine);
  void OpenCompound(Integer AAuthorID, TKivDocUndoInfoPtr AOldInfo, bool AFreezeViews);
  void CloseCompound(bool AFreezeViews);
  void DoUndoRedo(bool AUndo, Integer AAuthorID, TKivDocUndoInfoPtr ANewInfo, TKivDocUndoInfoPtr& OldInfo);
  void DoPushCustomAction(Integer AAuthorID, TKivDocUndoInfoPtr AOldInfo);
  bool DoCanUndo(Integer AAuthorID) const;
  bool DoCanRedo(Integer AAuthorID) const;
  // An edit happened (not while undoing, which sets the state from the saved point).
  void EditHappened();
  // Replaces the whole text without undo: markers as for deleting all text, history cleared,
  // BeforeRefresh, new text, index rebuilt, parser told, modified reset, AfterRefresh.
  // The caller has run every check; ANewText receives the old text (swapped).
  void LoadReplaceText(TGapStorage& ANewText);

  // ---- marker reports (called by the marker collections through the markers block) ----
  // A collection's outermost change bracket: raises "Document markers are locked for changes"
  // while markers are locked, before anything else.
  void MarkChangeBegin();
  void MarkChangeEnd();
  void MarkCreatedNotify(const IKivMarkersRef& AColl, const IKivMarkRef& AMark);
  void MarksDeletingNotify(const IKivMarkersRef& AColl, const TKivMarkArray& AMarks);
  void MarkSettingsChangedNotify(const IKivMarkersRef& AColl, const IKivMarkRef& AMark);

  // ---- notifications ----
  void AddChange(TKivDocStatusChange AChange) { FChanges.Include(AChange); }
  void NotifyPublicFirst(const std::function<void(TKivDocumentListener&)>& AFn);
  // Views, then ABetween, then public listeners.
  void NotifyViewsFirst(const std::function<void(TKivDocumentListener&)>& AFn,
                        const std::function<void()>& ABetween = nullptr);
  void DoUserEventAfterDocChange();
  void NotifyList(const std::vector<TKivDocumentListener*>& AList,
                  const std::function<void(TKivDocumentListener&)>& AFn);
  void BeginSettingsRefresh();
  void EndSettingsRefresh();
  void DoLinesChanged(Integer AFirstLine, Integer ACount);

  Integer FLastAuthorID = 0;
  TKivLineSeparator FLineSeparator = lsCRLF;
  TKivString FLineSeparatorStr = u"\r\n";
  std::unique_ptr<TGapStorage> FStorage;
  std::unique_ptr<TLineManager> FLineManager;
  std::unique_ptr<TUndoHostImpl> FUndoHost;
  std::unique_ptr<TUndoManager> FUndoManager;
  std::unique_ptr<TKivDocumentInternal> FInternal;
  std::unique_ptr<TDocumentStringsProxy> FLines;
  std::vector<TKivDocumentListener*> FListeners;        // views
  std::vector<TKivDocumentListener*> FCustomListeners;  // public
  std::unique_ptr<TKivEditParserBase> FParser;
  Integer FCompoundEditCnt = 0;
  bool FCompoundFreeze = false;  // as the outermost compound edit was opened
  bool FInUndo = false;
  bool FReadOnly = false;
  Integer FChangesLockCnt = 0;
  Integer FMarkersLockCnt = 0;
  TKivDocStatusChanges FChanges;
  TKivString FWordSeparators;
  TKivString FFullWordSeparators;
  Integer FDelayedEventLock = 0;
  bool FModified = false;
  // Modified as last folded into the pending changes (reported as a net change).
  bool FModifiedReported = false;
  bool FInConstructor = true;
};

// The editor view without its window: properties and their defaults, the status report, the
// internal states, the change bracket that lays out and repaints once, attaching a document, the
// read-only rules, metrics, and the navigation, fold and coordinate operations of the screen cache.
//
// A platform widget derives from it and implements IKivViewHost; everything here runs the same
// with a test host.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "KivSedCommands.h"
#include "KivSedCompletion.h"
#include "KivSedDocument.h"
#include "KivSedGutter.h"
#include "KivSedMouse.h"
#include "KivSedPainter.h"
#include "KivSedViewHooks.h"
#include "KivSedViewParts.h"
#include "KivSedViewSearch.h"

class TScreenCache;
class TViewLst;
class TViewCommands;
class TViewSearch;

// The view settings (a set of bits); the default set is 1330.
enum TKivViewSetting : uint16_t {
  vsShowWrapRuler = 1 << 0,
  vsHideShowScrollbars = 1 << 1,
  vsOverwrite = 1 << 2,
  vsUseTabs = 1 << 3,
  vsHighlightSelectedLine = 1 << 4,
  vsAutoIndent = 1 << 5,
  vsKeepBlanks = 1 << 6,
  vsCursorBoundToChars = 1 << 7,
  vsRightClickMovesCursor = 1 << 8,
  vsBackspaceUnindents = 1 << 9,
  vsDragDropEditing = 1 << 10,
  vsPreciseScrollbars = 1 << 11,
  vsSuppressDefaultMenu = 1 << 12
};
using TKivViewSettings = uint16_t;
inline constexpr TKivViewSettings kivDefaultViewSettings = vsHideShowScrollbars | vsHighlightSelectedLine |
                                                           vsAutoIndent | vsRightClickMovesCursor |
                                                           vsDragDropEditing;

// The view's internal states (a set of bits).
enum TKivEditInternalState : uint16_t {
  siWaitDrag = 1 << 0,
  siDoubleClicked = 1 << 1,
  siScrolling = 1 << 2,
  siMouseSelectByWords = 1 << 3,
  siMouseSelectByLines = 1 << 4,
  siScrollbarsUpdating = 1 << 5,
  siComplWordTyping = 1 << 6,
  siComplListShown = 1 << 7,
  siComplTimer = 1 << 8,
  siIncrementalSearch = 1 << 9,
  siDestroing = 1 << 10,
  siPainting = 1 << 11,
  siScrollforceAvoidAdges = 1 << 12
};
using TKivEditInternalStates = uint16_t;
inline constexpr int kivEditInternalStateCount = 13;
// The state sets left by changes of text, selection, cursor or settings; by scrolling to a
// position, insertion and search steps; and by scrolling, focus changes and cancel.
inline constexpr TKivEditInternalStates kivStatesOnChange =
    siComplWordTyping | siComplListShown | siIncrementalSearch;
inline constexpr TKivEditInternalStates kivStatesOnScrollTo = siComplWordTyping | siComplListShown;
inline constexpr TKivEditInternalStates kivStatesOnScroll = siComplListShown | siComplTimer;

enum TKivScrollBars : uint8_t { ssNone, ssHorizontal, ssVertical, ssBoth };

// What asked for a scroll, in the order of the platform's scroll-bar request codes 0 to 8.
enum TKivScrollCode : uint8_t {
  scLineUp,
  scLineDown,
  scPageUp,
  scPageDown,
  scPosition,
  scTrack,
  scTop,
  scBottom,
  scEndScroll
};

class TKivEditViewCore;
class TStoredViewData;
using TKivViewStatusEvent = std::function<void(TKivEditViewCore& AView, TKivViewStatusChanges AChanges)>;
// A scroll request is about to move the window: the handler may change the new position (a top
// line, or columns for the horizontal bar).
using TKivScrollEvent =
    std::function<void(TKivEditViewCore& AView, TKivScrollCode ACode, Integer& AScrollPos)>;
// Custom gutter painting of one row; the view is locked for changes while it runs.
using TKivViewGutterPaintEvent = std::function<void(TKivEditViewCore& AView, IKivPaintSurface& ACanvas,
                                                    const TKivRect& ARect, Integer AScrollLine)>;

// A print task bound to a view (the view keeps a list of them): told when the view's font
// changed and when the view goes (it must then forget the view).
class IKivViewPrintTask {
 public:
  virtual ~IKivViewPrintTask() = default;
  virtual void ViewFontChanged(TKivEditViewCore& AView) = 0;
  virtual void ViewDestroying(TKivEditViewCore& AView) = 0;
};

class TKivEditViewCore : public TKivLoadable, private TKivViewPartParent {
 public:
  // The host is not called while the view is built or destroyed (a widget may derive from both):
  // it calls HostResized once it can answer. The view starts with its empty document attached.
  explicit TKivEditViewCore(IKivViewHost& AHost);
  ~TKivEditViewCore() override;
  // The host is going (a deriving widget's destructor calls it first): the view detaches its
  // document without keeping its state, lets go of the measuring surface and calls out no more.
  void ReleaseHost();
  TKivEditViewCore(const TKivEditViewCore&) = delete;
  TKivEditViewCore& operator=(const TKivEditViewCore&) = delete;

  // ---- document ----
  // The attached document, or none (the view then shows an empty read-only document of its own).
  TKivEditDocument* Document() const { return FFDoc; }
  void SetDocument(TKivEditDocument* ADoc);
  // The document every read goes to: the attached one or the empty one.
  TKivEditDocument& WorkingDocument() const { return FFDoc ? *FFDoc : *FDummyDoc; }
  // This view's undo author in the working document.
  Integer AuthorID() const { return FAuthorID; }
  // The laid-out screen, as a painter takes it.
  TKivScreenLayout& ScreenLayout();

  // ---- change bracket ----
  void BeginUpdate();
  void EndUpdate(bool AFullRepaint = false);
  Integer UpdatingCount() const { return FUpdatingCnt; }
  // A settings change: a bracket that leaves the completion and incremental-search states, closed
  // with a full repaint (AResetLayout lays the text out again keeping the top line).
  void BeginSettingsChange();
  void EndSettingsChange(bool AResetLayout, bool AReport = true);
  // While locked (custom gutter painting), BeginUpdate raises.
  void LockChanges() { ++FChangesLock; }
  // The lock's counter, for a painter that raises it around custom gutter painting.
  Integer* ChangesLockCounter() { return &FChangesLock; }
  void UnlockChanges();
  // Runs OnGutterPaint with changes locked.
  void DoGutterPaint(IKivPaintSurface& ACanvas, const TKivRect& ARect, Integer AScrollLine);

  // ---- status ----
  TKivViewStatusEvent OnStatusChanged;
  TKivViewGutterPaintEvent OnGutterPaint;
  // Adds changes to the next report (sent when the outermost bracket closes).
  void AddStatusChanges(TKivViewStatusChanges AChanges) { FStatusChanges |= AChanges; }

  // ---- internal states ----
  TKivEditInternalStates State() const { return FState; }
  bool InState(TKivEditInternalState AState) const { return (FState & AState) != 0; }
  void EnterState(TKivEditInternalState AState);
  void ExitState(TKivEditInternalState AState);
  void ExitStates(TKivEditInternalStates AStates);
  // Does nothing while a command keeps completion alive (LockCmdModes).
  void ExitStatesUnlessLocked(TKivEditInternalStates AStates);
  void LockCmdModes() { ++FCmdModesLock; }
  void UnlockCmdModes();
  // Raises when the state is not as a command needs it (only the completion list and the
  // incremental search are checked).
  void CheckState(TKivEditInternalState AState, bool AMustBeSet) const;

  // ---- read-only and document checks ----
  bool ReadOnly() const { return FReadOnly; }
  void SetReadOnly(bool AValue);
  // The view refuses changes: it is read-only, or its attached document is.
  bool IsReadOnly() const { return FReadOnly || (FFDoc && FFDoc->ReadOnly()); }
  // "Document must be attached to View for this operation"
  void CheckDocument() const;
  // "This View or its Document is read-only."
  void CheckWritable() const;
  // Both: a change of the text is possible.
  void CheckEditable() const {
    CheckDocument();
    CheckWritable();
  }

  // ---- properties ----
  TKivViewSettings ViewSettings() const { return FViewSettings; }
  void SetViewSettings(TKivViewSettings AValue);
  Integer TabWidth() const;
  void SetTabWidth(Integer AValue);
  Integer IndentWidth() const { return FIndentWidth; }
  void SetIndentWidth(Integer AValue);
  TKivViewWrapMode WrapMode() const;
  void SetWrapMode(TKivViewWrapMode AValue);
  Integer WrapRulerWidth() const;
  void SetWrapRulerWidth(Integer AValue);
  bool WantReturns() const { return FWantReturns; }
  void SetWantReturns(bool AValue) { FWantReturns = AValue; }
  bool WantTabs() const { return FWantTabs; }
  void SetWantTabs(bool AValue) { FWantTabs = AValue; }
  TKivScrollBars ScrollBars() const { return FScrollBars; }
  void SetScrollBars(TKivScrollBars AValue);
  Integer MaxHorizScroll() const { return FMaxHorizScroll; }
  void SetMaxHorizScroll(Integer AValue);
  Integer StoreDocSettingsLimit() const { return FStoreDocSettingsLimit; }
  void SetStoreDocSettingsLimit(Integer AValue);
  const TKivViewFont& Font() const { return FFont; }
  void SetFont(const TKivViewFont& AValue);
  TKivSpecialChars& SpecialChars() { return *FSpecialChars; }
  void SetSpecialChars(const TKivSpecialChars& AValue) { *FSpecialChars = AValue; }
  TKivEditHighlightSettings& HighlightSettings() { return *FHighlightSettings; }
  void SetHighlightSettings(const TKivEditHighlightSettings& AValue) { *FHighlightSettings = AValue; }
  // Names of the tokens whose text the spell checker reads, separated by blanks.
  const TKivString& SyntaxCheckTokens() const { return FSyntaxCheckTokens; }
  void SetSyntaxCheckTokens(const TKivString& AValue);
  // The sorted ids of the syntax-check tokens in the working document's parser.
  const TKivIntArray& SyntaxCheckTokenIds() const { return FSpellCheckTokenIds; }

  // The colours, in the order of their fields. Their defaults are those of TKivViewPaintColors.
  enum TColorProp : uint8_t {
    cpWrapRuler,
    cpReadOnlyBg,
    cpSelectedLineBg,
    cpBreakpointLine,
    cpBreakpointLineBg,
    cpSelectionBg,
    cpSelection,
    cpDebugFrameTopLine,
    cpDebugFrameActiveLine,
    cpDebugFrameLine,
    cpDebugFrameTopLineBg,
    cpDebugFrameActiveLineBg,
    cpDebugFrameLineBg,
    cpColorCount
  };
  TKivColor Color(TColorProp AProp) const;
  void SetColor(TColorProp AProp, TKivColor AValue);
  TKivColor WrapRulerColor() const { return Color(cpWrapRuler); }
  void SetWrapRulerColor(TKivColor AValue) { SetColor(cpWrapRuler, AValue); }
  TKivColor ReadOnlyBgColor() const { return Color(cpReadOnlyBg); }
  void SetReadOnlyBgColor(TKivColor AValue) { SetColor(cpReadOnlyBg, AValue); }
  TKivColor SelectedLineBg() const { return Color(cpSelectedLineBg); }
  void SetSelectedLineBg(TKivColor AValue) { SetColor(cpSelectedLineBg, AValue); }
  TKivColor BreakpointLineColor() const { return Color(cpBreakpointLine); }
  void SetBreakpointLineColor(TKivColor AValue) { SetColor(cpBreakpointLine, AValue); }
  TKivColor BreakpointLineBg() const { return Color(cpBreakpointLineBg); }
  void SetBreakpointLineBg(TKivColor AValue) { SetColor(cpBreakpointLineBg, AValue); }
  TKivColor SelectionBg() const { return Color(cpSelectionBg); }
  void SetSelectionBg(TKivColor AValue) { SetColor(cpSelectionBg, AValue); }
  TKivColor SelectionColor() const { return Color(cpSelection); }
  void SetSelectionColor(TKivColor AValue) { SetColor(cpSelection, AValue); }
  TKivColor DebugFrameTopLineColor() const { return Color(cpDebugFrameTopLine); }
  void SetDebugFrameTopLineColor(TKivColor AValue) { SetColor(cpDebugFrameTopLine, AValue); }
  TKivColor DebugFrameActiveLineColor() const { return Color(cpDebugFrameActiveLine); }
  void SetDebugFrameActiveLineColor(TKivColor AValue) { SetColor(cpDebugFrameActiveLine, AValue); }
  TKivColor DebugFrameLineColor() const { return Color(cpDebugFrameLine); }
  void SetDebugFrameLineColor(TKivColor AValue) { SetColor(cpDebugFrameLine, AValue); }
  TKivColor DebugFrameTopLineBg() const { return Color(cpDebugFrameTopLineBg); }
  void SetDebugFrameTopLineBg(TKivColor AValue) { SetColor(cpDebugFrameTopLineBg, AValue); }
  TKivColor DebugFrameActiveLineBg() const { return Color(cpDebugFrameActiveLineBg); }
  void SetDebugFrameActiveLineBg(TKivColor AValue) { SetColor(cpDebugFrameActiveLineBg, AValue); }
  TKivColor DebugFrameLineBg() const { return Color(cpDebugFrameLineBg); }
  void SetDebugFrameLineBg(TKivColor AValue) { SetColor(cpDebugFrameLineBg, AValue); }

  // The gutter's bars and colours as painted (from Gutter()). The view learns the gutter's width
  // from its mouse hooks (TKivGutterMouseHooks answers Gutter().GetWidth()) when it measures.
  TKivGutterPaintSettings GutterPaintSettings() const { return FGutter->PaintSettings(); }

  // ---- painting ----
  // Fills a painter's inputs from the view's properties before it paints: the colours (the
  // background white, the text in the font's colour), the paint settings, the gutter, the
  // special characters and the change lock raised around custom gutter painting.
  void PreparePainter(TKivEditPainter& APainter);

  // ---- behaviour groups (none: the empty defaults) ----
  void SetCommandHooks(IKivViewCommandHooks* AHooks);
  void SetEditHooks(IKivViewEditHooks* AHooks);
  void SetMouseHooks(IKivViewMouseHooks* AHooks);
  void SetSearchHooks(IKivViewSearchHooks* AHooks);
  IKivViewCommandHooks& CommandHooks() const { return *FCommandHooks; }
  IKivViewEditHooks& EditHooks() const { return *FEditHooks; }
  IKivViewMouseHooks& MouseHooks() const { return *FMouseHooks; }
  IKivViewSearchHooks& SearchHooks() const { return *FSearchHooks; }

  // ---- commands and key bindings (KivSedCommands.h, ViewCommands.cpp) ----
  // Runs a command as a key stroke does: the before and after events (with AllowCommandEvents),
  // the completion machinery, the operation. A refused command beeps.
  void InvokeCommand(TKivEditCommand ACommand, const TKivCommandArg& AArg, bool AllowCommandEvents = true);
  void InvokeCommand(TKivEditCommand ACommand, bool AllowCommandEvents = true) {
    InvokeCommand(ACommand, std::nullopt, AllowCommandEvents);
  }
  const TKivEditCommandList& GetDefaultKeyBindings() const;
  // Looked up before the default list; a custom item for a command disables its default bindings.
  TKivEditCommandList& CustomKeyBindings() const;
  // Copies AValue item by item; on an error the list stays as it was.
  void SetCustomKeyBindings(const TKivEditCommandList& AValue);
  TKivBeforeCommandEvent OnBeforeCommand;
  TKivAfterCommandEvent OnAfterCommand;
  TKivKeyPressWEvent OnKeyPressW;
  TKivKeyDownEvent OnKeyDown;
  // The audible signal of a refused command.
  void Beep();

  // ---- word completion (KivSedCompletion.h, ViewCompletion.cpp) ----
  TKivViewCompletion& Completion() const;
  TKivEditCompletionSettings& CompletionSettings() const;
  void SetCompletionSettings(const TKivEditCompletionSettings& AValue);
  // The characters that end a word for completion.
  TKivString CompletionSeparators() const;
  // Fills the list and shows it (or commits at once); raises in incremental search.
  void ShowCompletion(TKivEditFillCompletionCause ACause, bool AAllowSingleCommit);
  Integer CompletionFillListDef(TKivCompletionItems& AItems, const TKivPoint& ACursorPoint,
                                TKivEditFillCompletionCause ACause, TKivPoint& APosForCombo);
  TKivEditFillCompletionListEvent OnFillCompletionList;
  TKivEditReplaceForCompletionResultEvent OnCompletionReplace;

  // ---- metrics ----
  // Pixels of one row: the bold font's height and external leading.
  Integer LineHeight() const { return FLineHeight; }
  Integer GutterWidth() const { return FGutterWidth; }
  // Pixels of a space in the current font (at least 1).
  Integer SpaceCharW() const;
  // Rows the window holds, a partial last row included; and the rows that fit wholly.
  Integer ScreenHeight() const;
  Integer FullyVisibleLines() const;
  // Measures again and hands the sizes to the screen cache.
  void UpdateMetrics();
  // The client area would become AWidth x AHeight: false (with the sizes corrected) when it would
  // hold less than the gutter and one row.
  bool CanResize(Integer& AWidth, Integer& AHeight) const;
  // The window was resized, created or destroyed.
  void HostResized();

  // ---- window, cursor and selection ----
  Integer LinesOnScreenScroll();
  Integer TopLineScroll();
  void SetTopLineScroll(Integer AValue);
  Integer TopLinePhysical();
  void SetTopLinePhysical(Integer AValue);
  Integer HorizScroll() const;
  void SetHorizScroll(Integer AValue);
  TKivPoint CursorPos();
  void SetCursorPos(const TKivPoint& AValue);
  Integer CursorPosX() { return CursorPos().X; }
  Integer CursorPosY() { return CursorPos().Y; }
  Integer CursorOffset();
  void SetCursorOffset(Integer AValue);
  TKivPoint SelectionStart();
  TKivPoint SelectionEnd();
  Integer SelectionOffsetStart();
  Integer SelectionOffsetEnd();
  bool SelectionBlockMode() const;
  bool SelAvail();
  void SetSelection(const TKivPoint& AStart, const TKivPoint& AEnd, bool ABlock = false);
  void SetSelectionOffsets(Integer AStart, Integer AEnd, bool ABlock = false);
  // Scrolls so that a scroll position is on screen, with the edge margin when AvoidScreenEdge.
  void ScrollToPos(const TKivPoint& APos, bool AvoidScreenEdge = true);
  void ScrollToCursor() { ScrollToPos(CursorPos(), true); }

  // ---- editing queries and clipboard ----
  bool CanUndo() const;
  bool CanRedo() const;
  bool CanCopy();
  bool CanCut();
  bool CanPaste();
  void CopySelection();
  void CutSelection();
  void Paste();
  void Undo();
  void Redo();
  void SelectAll();

  // ---- editing commands (ViewEditing.cpp, ViewIndent.cpp) ----
  // Each checks the document and the read-only rule, runs in a change bracket and adds at most
  // one undo step, whose undo puts the cursor back where it stood before.
  void InsertCharAtCursor(Char AChar, Integer ACount, bool AOverwrite);
  // With a selection the selected text is replaced (overwrite does not apply); otherwise in
  // overwrite mode the cell under the cursor is replaced, else the text goes in at the cursor
  // (padded with spaces up to a cursor past the line end).
  void InsertAtCursor(TKivStringView AStr, bool AOverwrite = false);
  // A line break with the indentation of the nearest non-blank line above (vsAutoIndent); blanks
  // left at the break are trimmed unless vsKeepBlanks.
  void InsertReturnAtCursor(bool AOverwrite);
  // Insert mode: spaces (or a tab with vsUseTabs) up to the next tab stop; overwrite mode moves
  // the cursor there.
  void InsertTabAtCursor(bool AOverwrite);
  // The lines of the selection (or the cursor's line) by IndentWidth, or with AUsePrevIndent to
  // the indentation of a line above; rewritten with spaces.
  void IndentSelection(bool AUsePrevIndent);
  void UnindentSelection(bool AUsePrevIndent);
  void DeleteCharLeft();
  void DeleteCharRight();
  void DeleteWordLeft();
  void DeleteWordRight();
  // The cursor's line (the line above on the empty last line); beeps in an empty text.
  void DeleteLine();
  void DeleteToLineEnd();
  void DeleteToLineWrap();
  // Tab that indents to a line above (false: a plain tab should run instead).
  bool TabIndent(bool AOverwrite);
  // Backspace that unindents to a line above (false: a plain backspace should run instead).
  bool BackspaceUnindent();
  // The offset of the first non-blank character of a line, -1 for a blank line; AVisibleOnly
  // looks at the visible part of a collapsed line only.
  Integer FirstNonBlank(Integer ALine, bool AVisibleOnly);
  // Column of the first non-blank character with tabs expanded; 0 for a blank line.
  Integer IndentColumn(Integer ALine, bool AVisibleOnly = true);
  // From ALine up through visible lines: the nearest non-blank line indented more than ACol
  // (AGreater) or less than ACol; its leading blanks and indent column.
  bool FindIndentReference(Integer ALine, Integer ACol, bool AGreater, TKivString& ABlanks, Integer& AIndentCol);

  // ---- navigation and visibility ----
  void GotoOffset(Integer AOffset);
  void GotoPhysLine(Integer ALine);
  void GotoBookmark(const TKivString& AName);
  void GotoBreakpoint(const TKivString& AName);
  void EnsureVisible(Integer ALine);
  void EnsureOffsetIsVisible(Integer AOffset);
  bool IsLineStartVisible(Integer APhysLine);
  bool IsOffsetVisible(Integer AOffset);
  bool IsCollapsedFold(Integer APhysLine);
  bool IsFoldStart(Integer APhysLine);
  Integer GetNextVisibleLine(Integer ALine);
  Integer GetPrevVisibleLine(Integer ALine);
  Integer GetVisibleCountScroll();
  // AOuterFold -1 is the whole document. Folding all of a long text goes in steps the host runs
  // from its event loop (when it can): the window and its bars follow each step; an edit, a
  // fold operation or another document stops the rest.
  void Fold(Integer APhysLine, bool AAll = false);
  void Unfold(Integer APhysLine, bool AAll = false);
  void FoldAllIn(Integer AOuterFold, bool ATopOnly = false);
  void UnfoldAllIn(Integer AOuterFold, bool ATopOnly = false);

  // ---- coordinates ----
  Integer PhysicalToScroll(Integer ALine);
  Integer ScrollToPhysical(Integer ALine);
  // ACol counts cells from the line's first offset.
  void ScrollPosToPhysical(const TKivPoint& APoint, Integer& APhysLine, Integer& ACol);
  TKivPoint OffsetToScrollPos(Integer AOffset);
  Integer ScrollPosToNearestOffset(const TKivPoint& AScroll);
  // The client rectangle of the cell at a scroll position on screen; false when it is not.
  bool ScrollPosToClient(const TKivPoint& AScrollPos, TKivRect& R, bool AUseTextDirection = false);

  // ---- highlights and misc ----
  void AddHighlight(Integer AStart, Integer ACount);
  void RemoveHighlight(Integer AStart, Integer ACount);
  void ClearHighlight();
  void InvalidateScrollLine(Integer AScrollLine);
  TKivString GetWordUnderCursor();

  // ---- scrolling (ViewScroll.cpp) ----
  TKivScrollEvent OnScroll;
  // TopLineScroll moved by ALineOffset rows.
  void ScrollVertBy(Integer ALineOffset);
  // One row up or down keeping the cursor on screen; beeps when the window cannot move.
  void ScrollUp();
  void ScrollDown();
  // The vertical line step of the scroll bar, page moves and auto-scroll: ADelta rows (clamped to
  // the text); with ANotify OnScroll may change the new top line first.
  void ScrollLines(Integer ADelta, TKivScrollCode ACode, bool ANotify);
  // A request of the vertical or horizontal scroll bar; AThumbPos counts for scPosition and
  // scTrack only, in the units of the bar's last update.
  void VertScrollBarRequest(TKivScrollCode ACode, Integer AThumbPos = 0);
  void HorzScrollBarRequest(TKivScrollCode ACode, Integer AThumbPos = 0);
  // The mouse wheel: ADelta in wheel units (120 a step, positive scrolls towards the start),
  // AWheelLines the system's rows per step (-1: a page). With ACtrl a step is a screen.
  void MouseWheel(Integer ADelta, bool ACtrl, Integer AWheelLines);
  // A horizontal wheel (or Shift with the wheel): AWheelLines columns per step.
  void MouseWheelHorz(Integer ADelta, Integer AWheelLines);
  // The bars as their last update set them.
  const TKivScrollBarInfo& VertScrollBarInfo() const { return FVertBar; }
  const TKivScrollBarInfo& HorzScrollBarInfo() const { return FHorzBar; }
  bool ScrollBarVisibleX() const { return FScrollBarVisibleX; }
  bool ScrollBarVisibleY() const { return FScrollBarVisibleY; }

  // ---- caret and scroll bars ----
  bool CaretShown() const { return FCaretShown; }
  void UpdateCaret(bool AForce = false);
  void UpdateScrollBars();
  // The window gained or lost the keyboard focus.
  void FocusChanged(bool AFocused);

  // ---- search and replace (ViewSearch.cpp, ViewIncSearch.cpp) ----
  // Takes AArgs and searches from the cursor (or from the text's start or end); what it finds is
  // selected and shown. A search that did not start at the end it runs towards asks there
  // whether to go on from the other end (OnNotFound, else the host's question).
  bool SearchFirst(const TKivEditSearchArguments& AArgs);
  // The next occurrence with the stored arguments (in incremental search: the next match).
  bool SearchNext();
  // Replaces the next occurrence, asking first with soConfirmReplace (OnReplaceFound, else the
  // host's question); true when one was found and the user did not cancel.
  bool ReplaceFirst(const TKivEditSearchArguments& AArgs);
  bool ReplaceNext();
  // Replaces every occurrence in the text or the selection as one undo step.
  bool ReplaceAll(const TKivEditSearchArguments& AArgs, TKivEditViewReplaceAllBounds ABounds);
  // Stores arguments and state without searching.
  void AssignSearchReplaceArgs(const TKivEditSearchArguments& AArgs, TKivEditViewSearchState AState);
  TKivEditViewSearchState SearchState() const;
  const TKivEditSearchArguments& SearchLastArgs() const;
  Integer SearchLastNumReplacements() const;
  bool InIncrementalSearch() const { return InState(siIncrementalSearch); }
  TKivEditNotFoundEvent OnNotFound;
  TKivEditViewReplaceEvent OnReplaceFound;

  // ---- cursor, selection, edit primitives, clipboard, drag and drop ----
  // (ViewSelection.cpp, ViewEditPrimitives.cpp, ViewClipboard.cpp, ViewDragDrop.cpp)
  // The cursor and the selection ends as offset points (a character and the cells right of its
  // first cell: inside a tab or past a row's end).
  TOffsetPoint CursorOffsetPoint();
  TOffsetPoint SelectionStartPoint();
  TOffsetPoint SelectionEndPoint();
  void SetCursorPosX(Integer AValue);
  void SetCursorPosY(Integer AValue);
  void SetSelectionStart(const TKivPoint& AValue);
  void SetSelectionEnd(const TKivPoint& AValue);
  void SetSelectionOffsetStart(Integer AValue);
  void SetSelectionOffsetEnd(Integer AValue);
  void SetSelectionBlockMode(bool AValue);
  // The selection collapses at the cursor (stream mode).
  void CancelSelection();
  // The remembered pixel column of vertical moves: stored from the cursor, or applied to it.
  void RememberCursorColumn();
  void ApplyRememberedColumn();
  // The 14 movements; with AWithSelect the selection runs from its anchor to the new cursor (in
  // block mode with ABlock), else it collapses. No target: a beep.
  void MoveToPrevChar(bool AWithSelect = false, bool ABlock = false);
  void MoveToNextChar(bool AWithSelect = false, bool ABlock = false);
  void MoveToPrevWord(bool AWithSelect = false, bool ABlock = false);
  void MoveToNextWord(bool AWithSelect = false, bool ABlock = false);
  void MoveToPrevLine(bool AWithSelect = false, bool ABlock = false);
  void MoveToNextLine(bool AWithSelect = false, bool ABlock = false);
  void MoveToPrevPage(bool AWithSelect = false, bool ABlock = false);
  void MoveToNextPage(bool AWithSelect = false, bool ABlock = false);
  void MoveToFirstScreenLine(bool AWithSelect = false, bool ABlock = false);
  void MoveToLastScreenLine(bool AWithSelect = false, bool ABlock = false);
  void MoveToLineStart(bool AWithSelect = false, bool ABlock = false);
  void MoveToLineEnd(bool AWithSelect = false, bool ABlock = false);
  void MoveToTextStart(bool AWithSelect = false, bool ABlock = false);
  void MoveToTextEnd(bool AWithSelect = false, bool ABlock = false);

  // The author of this view's next change: -1 inside a compound edit (its step carries it).
  Integer EditAuthorID() const;
  // The cursor an undoable change records (none inside a compound edit), and putting it back
  // after undo or redo (none: nothing happens).
  TKivDocUndoInfoPtr CursorUndoInfo();
  void RestoreCursorUndoInfo(const TKivDocUndoInfo* AInfo);

  // Edit primitives in scroll coordinates (columns and rows). Positions inside a tab or past a
  // row's end are filled with spaces first. All need a document; the forms without "Ex" or
  // "Block" check the read-only rule too. ARememberCursor hands the cursor information to the
  // first change. Offsets out: the start of the change and the offset after the inserted text.
  void ReplaceInScroll(const TKivPoint& AScrollStart, const TKivPoint& AScrollEnd, TKivStringView AStr);
  void ReplaceInScrollEx(const TKivPoint& AScrollStart, const TKivPoint& AScrollEnd, TKivStringView AStr,
                         Integer& AStartOffset, Integer& AEndOffset);
  void ReplaceInScrollEx(const TKivPoint& AScrollStart, const TKivPoint& AScrollEnd, TKivStringView AStr,
                         bool ARememberCursor, Integer& AStartOffset, Integer& AEndOffset);
  void DeleteInScroll(const TKivPoint& AScrollStart, const TKivPoint& AScrollEnd);
  void DeleteInScrollEx(const TKivPoint& AScrollStart, const TKivPoint& AScrollEnd, TOffsetPoint& AStartOffset);
  // The rectangle between the two points (one column wide when they share a column on
  // different rows), row by row from the bottom.
  void DeleteInScrollBlock(const TKivPoint& AScrollStart, const TKivPoint& AScrollEnd,
                           TOffsetPoint& AStartOffset);
  void InsertInScroll(const TKivPoint& AScroll, TKivStringView AStr);
  void InsertInScrollEx(const TKivPoint& AScroll, TKivStringView AStr, Integer& AStartOffset,
                        Integer& AEndOffset);
  // Without AWithSpacesBefore the start offset lies after the spaces filled in past a line end.
  void InsertInScrollEx(const TKivPoint& AScroll, TKivStringView AStr, bool ARememberCursor,
                        Integer& AStartOffset, Integer& AEndOffset, bool AWithSpacesBefore);
  // AStr's lines (split at CR, LF, CR LF) go to the rows from AScroll down at AScroll's column
  // (missing lines appended); AMaxWidth the widest piece in columns.
  void InsertInScrollBlock(const TKivPoint& AScroll, TKivStringView AStr, Integer& AMaxWidth,
                           TOffsetPoint& AStartOffset, TOffsetPoint& AEndOffset);
  // The text between two scroll positions (a block: rows joined by CR LF). The caller owns it.
  std::unique_ptr<TKivCharSeq> CreateScrollTextSeqAdapter(const TKivPoint& AScrollStart,
                                                          const TKivPoint& AScrollEnd, bool ABlock);
  TKivString SelectedText();
  // SelectedText put on AClipboard, with the block mark for a block selection; a stream is
  // written straight into the clipboard's buffer.
  void PutSelectedText(IKivClipboard& AClipboard);
  void SetSelectedText(TKivStringView AValue);
  void DeleteSelected();
  // AText with every line break (CR LF, LF, CR) as the document's line separator.
  TKivString ToDocumentLineBreaks(TKivStringView AText) const;

  // The clipboard seam (not owned; none: nothing to paste, copies go nowhere).
  IKivClipboard* Clipboard() const { return FClipboard; }
  void SetClipboard(IKivClipboard* AClipboard) { FClipboard = AClipboard; }
  // The view's own clipboard operations (the default edit hooks run them).
  bool ClipboardOffersText() const;
  void DoCopySelection();
  void DoCutSelection();
  void DoPaste();
  void DoSelectAll();

  // Drag and drop of text (the widget turns its events into these calls): see ViewDragDrop.cpp.
  TOffsetPoint CursorBeforeDrag() const { return FCursorBeforeDrag; }
  void SetCursorBeforeDrag(const TOffsetPoint& AValue) { FCursorBeforeDrag = AValue; }
  void ForgetCursorBeforeDrag() { FCursorBeforeDrag = {-1, -1}; }
  // The host's client rectangle.
  TKivRect ClientRect() const { return FHost.TextAreaRect(); }

  // ---- gutter and mouse (KivSedGutter.h, KivSedMouse.h; ViewGutter.cpp, ViewMouse.cpp) ----
  TKivGutter& Gutter() const { return *FGutter; }
  // Copies AValue into the view's own gutter (TKivGutter::Assign).
  void SetGutter(const TKivGutter& AValue) { FGutter->Assign(AValue); }
  // Set while stored properties are read: the bars are cleared when loading ends.
  bool GutterBarsEmpty() const { return FGutter->Bars().Count() == 0; }
  void SetGutterBarsEmpty(bool AValue);
  // Pixels of the decimal text of the line count in the view's font; -1 without a window.
  Integer LineNumbersTextWidth();
  // The scroll position of a client point (rows clamped to the screen), whether the point is in
  // the later half of its cell, and the part of the client area it lies in.
  TKivPoint ClientToScrollPos(const TKivPoint& AClient);
  TKivEditScreenPart ClientToScrollPos(const TKivPoint& AClient, TKivPoint& P, bool& ATrailing);
  // The visible bar beside a row under a client point, and the row's screen line; none (-1) off
  // the gutter or below the last row.
  TKivGutterBar* GutterBarAt(const TKivPoint& AClient, Integer& AScreenLine);
  // The same with the row's scroll line; true when a bar is there.
  bool ClientToGutter(const TKivPoint& AClient, Integer& AScrollLine, TKivGutterBar*& ABarHere);
  // The mouse: presses (ADouble: the platform's double click), moves with the buttons in AShift,
  // releases. Nothing happens while the view is destroyed. MouseDown is false when the press
  // was not handled (OnMouseDown stopped it, or the view is destroyed).
  bool MouseDown(TKivMouseButton AButton, TKivShiftState AShift, Integer AX, Integer AY, bool ADouble = false);
  void MouseMove(TKivShiftState AShift, Integer AX, Integer AY);
  void MouseUp(TKivMouseButton AButton, TKivShiftState AShift, Integer AX, Integer AY);
  // Whether the view holds the mouse (between a press that captures it and the release).
  bool MouseCaptured() const;
  // The platform's double-click interval (ms) and drag distance (pixels).
  void SetMouseMetrics(Integer ADoubleClickMs, Integer ADragDistance);
  // Starts, steers or stops scrolling while the mouse is held outside the text area by more
  // than AMargin pixels; each tick of the host's timer scrolls.
  void AutoScrollCheck(Integer AX, Integer AY, Integer AMargin = 0);
  void StopAutoScroll();
  bool AutoScrolling() const;
  // The auto-scroll timer, once made (the host's; tests tick it by hand).
  IKivTimer* AutoScrollTimer() const;
  // Word and line bounds a selection by words or lines snaps to (scroll positions).
  TKivPoint SnapToWordBound(const TKivPoint& APoint, bool AForward);
  TKivPoint SnapToLineBound(const TKivPoint& APoint, bool AForward);
  // The cursor shape over a client point.
  TKivMouseCursor MouseCursorAt(Integer AX, Integer AY);
  // A wait for a drag ended with the mouse moved beyond the drag distance: the platform starts
  // its drag (the default does nothing).
  std::function<void()> OnStartDrag;
  TKivGutterClickEvent OnGutterClick;
  TKivMouseCursorEvent OnGetMouseCursor;
  TKivMouseDownEvent OnMouseDown;
  // ---- print tasks (ViewPrintTasks.cpp) ----
  // Binds a task (not owned; once); RemovePrintTask unbinds it (nothing when it is not bound).
  void AddPrintTask(IKivViewPrintTask* ATask);
  void RemovePrintTask(IKivViewPrintTask* ATask);
  const std::vector<IKivViewPrintTask*>& PrintTasks() const { return FPrintTasks; }
  // The collapsed folds shown in the view (those not inside another), as start and end lines in
  // line order.
  std::vector<std::pair<Integer, Integer>> ShownCollapsedFolds() const;

 protected:
  // Loading from stored properties is over: measure, lay out again, drop collected changes.
  void Loaded() override;

 private:
  friend struct TKivTestAccess;
  class TLstHost;
  class TCacheHost;
  friend class TLstHost;
  friend class TViewCommands;
  friend class TViewEditing;
  friend class TCacheHost;
  friend class TViewSearch;
  friend class TKivViewCompletion;
  friend class TKivEditCompletionSettings;

  // TKivViewPartParent
  void BeginChange() override { BeginSettingsChange(); }
  void EndChange(bool AResetCache) override;
  TKivLoadable* GetOwnerComponent() override { return this; }
  void HighlightSettingsChanged(const TKivEditAttributes& AAttrs, bool AUse) override;

  void DoBeginUpdate(bool AFromListener);
  void DoEndUpdate(bool AFullRepaint, bool AFromListener, bool AReport = true);
  void Repaint(bool AFull);
  void ReportStatus();
  // A settings change: AStore runs inside the bracket; a failure closes it and passes on.
  template <class F>
  void SettingsChange(TKivViewStatusChanges AChange, bool AResetLayout, F&& AStore);
  // Runs AFn in a plain bracket that leaves AStates first.
  template <class F>
  void InBracket(TKivEditInternalStates AStates, F&& AFn, bool AFullRepaint = false);
  void DetachDoc(bool AStoreState);
  // Raises with nothing attached when it fails.
  void AttachDoc(TStoredViewData* ARestore = nullptr);
  void RebuildSyntaxCheckTokenIds();
  void DocumentDestroyed();
  // Editing (ViewEditing.cpp, ViewIndent.cpp).
  void UndoRedo(bool AUndo);
  void DeleteCharOrWord(bool AForward, bool AWord);
  void ShiftSelection(bool AIndent, bool AUsePrevIndent);
  // Scrolling (ViewScroll.cpp).
  void DoSetHorizScroll(Integer AValue, TKivScrollCode ACode);
  Integer HorizScrollRange();
  Integer PageColumns() const;
  // Fills the bars from the window and the text, and remembers how thumb positions map back.
  void ComputeScrollBars(TKivScrollBarInfo& AVert, TKivScrollBarInfo& AHorz);
  bool CursorRowOnScreen();
  // Folding all in steps.
  void FoldAllSteps();
  void CancelFoldAll();
  // Parsing in the background for rows laid out with guessed tokens (ViewBackgroundParse.cpp):
  // while the screen shows a line the parser has not reached, steps posted to the host parse
  // on a few milliseconds at a time; once it has, the screen is laid out again and the rows
  // that changed are repainted. A host that cannot post steps gets no guesses.
  void ScheduleBackgroundParse();
  void BackgroundParseStep();
  void RelayoutGuessedRows();
  bool FGuessTokens = true;
  bool FBackgroundParsePosted = false;
  Integer FGuessedFromLine = -1;  // the first line laid out with a guess, -1 for none

  // Cursor and selection (ViewSelection.cpp).
  Integer FCursorMaxHoriz = 0;
  TOffsetPoint FCursorBeforeDrag{-1, -1};
  IKivClipboard* FClipboard = nullptr;
  void MoveCharOrLine(Integer ADir, bool ALine, bool AWithSelect, bool ABlock);
  void MoveWord(Integer ADir, bool AWithSelect, bool ABlock);
  void MoveToRow(Integer ARow, bool AWithSelect, bool ABlock);
  void MoveToOffsetPoint(const TOffsetPoint& APoint, bool AWithSelect, bool ABlock);
  void FinishMove(const TOffsetPoint& ATarget, bool ABackward, bool AWithSelect, bool ABlock);
  void DoSetSelection(const TOffsetPoint& AStart, const TOffsetPoint& AEnd, bool ABlock);
  void InsertPieces(const TKivPoint& AScroll, TKivStringView AStr, Integer& AMaxWidth,
                    TOffsetPoint& AStartOffset, TOffsetPoint& AEndOffset);

  IKivViewHost& FHost;
  std::unique_ptr<TCacheHost> FCacheHost;
  std::unique_ptr<TLstHost> FLstHost;

  // Document.
  Integer FAuthorID = -1;
  std::unique_ptr<TScreenCache> FScreenCache;
  std::unique_ptr<TViewLst> FDocLst;
  std::unique_ptr<TKivEditDocument> FDummyDoc;
  TKivEditDocument* FFDoc = nullptr;

  // Change bracket.
  Integer FUpdatingCnt = 0;
  Integer FListenerCnt = 0;  // brackets opened by the document listener, still open
  Integer FSuspendCnt = 0;   // a refresh of the document is under way: no painting
  bool FFullRepaint = false;
  bool FScreenMarksChanged = false;
  Integer FOldGutterWidth = 0;
  Integer FChangesLock = 0;

  // Metrics and appearance.
  Integer FLineHeight = -1;
  Integer FGutterWidth = 0;
  Integer FScreenHeight = 1;
  Integer FFullyVisible = 1;
  std::unique_ptr<TKivSpecialChars> FSpecialChars;
  std::unique_ptr<TKivEditHighlightSettings> FHighlightSettings;
  bool FInsCaret = true;
  TKivViewSettings FViewSettings = kivDefaultViewSettings;
  TKivViewFont FFont;
  TKivViewPaintColors FPaintColors;  // Color and FontColor unused: white and the font's
  Integer FIndentWidth = 4;
  bool FCaretShown = false;
  TKivPoint FCaretPoint{-1, -1};
  Integer FLastOffsetForUndo = -1;
  Integer FMaxHorizScroll = 500;
  Integer FStoreDocSettingsLimit = 100;
  TKivViewStatusChanges FStatusChanges = 0;
  TKivSedIntConversionCache FCachedWin{50};
  TKivScrollBars FScrollBars = ssBoth;
  // The scroll bars of the last update: what they count (rows or characters), whether their
  // range was compressed, and the units a thumb position stands for.
  enum TVertBarKind : uint8_t { vbRows, vbChars };
  TVertBarKind FVertBarKind = vbRows;
  int64_t FVertBarCount = 0;   // rows or characters of the text
  int64_t FVertBarWindow = 1;  // of them on screen
  bool FVertBarScaled = false;
  Integer FHorzBarRange = 0;
  bool FHorzBarScaled = false;
  TKivScrollBarInfo FVertBar, FHorzBar;
  bool FScrollBarVisibleX = false;
  bool FScrollBarVisibleY = false;
  Integer FMouseWheelAcc = 0;
  Integer FMouseWheelAccX = 0;
  Integer FFoldAllNext = -1;  // the line a fold-all in steps goes on from
  bool FFoldAllTopOnly = false;
  uint32_t FFoldAllGen = 0;  // steps of an older fold-all find it changed and stop
  bool FWantReturns = true;
  bool FWantTabs = true;
  TKivString FSyntaxCheckTokens;
  TKivIntArray FSpellCheckTokenIds;
  Integer FCmdModesLock = 0;
  bool FReadOnly = false;
  TKivEditInternalStates FState = 0;
  bool FHostReleased = false;

  // Gutter and mouse.
  struct TMouseState;
  struct TMouseStateDeleter {
    void operator()(TMouseState* AState) const;
  };
  TMouseState& Mouse();
  void AutoScrollTick();
  void StartLineSelection(Integer AScrollLine, bool ALineFound);
  void SelectWordAt(bool ABlock);
  void SelectByMouse(const TKivPoint& AStart, const TKivPoint& AEnd, bool ABlock);
  std::unique_ptr<TKivGutter> FGutter = std::make_unique<TKivGutter>(this);
  std::unique_ptr<TMouseState, TMouseStateDeleter> FMouse;
  bool FGutterBarsEmptyOnLoad = false;
  // The line count's text width, measured once per digit count, font and surface.
  Integer FLineNumDigits = -1;
  Integer FLineNumWidth = -1;
  TKivViewFont FLineNumFont;
  IKivMeasureSurface* FLineNumSurface = nullptr;

  std::unique_ptr<TViewCommands> FCommands;
  std::unique_ptr<TKivViewCompletion> FCompletion;
  IKivViewCommandHooks* FCommandHooks;
  IKivViewEditHooks* FEditHooks;
  IKivViewMouseHooks* FMouseHooks;
  IKivViewSearchHooks* FSearchHooks;
  // The view's own search (the search hooks unless others are installed).
  std::unique_ptr<TViewSearch> FSearch;

  // Print tasks.
  std::vector<IKivViewPrintTask*> FPrintTasks;
  void NotifyPrintTasks(bool ADestroying);
};

// Opens a compound edit of a view's document for its lifetime: one undo step. Only the
// outermost carries the view's author and (with AWithCursorInfo) the cursor; nested ones pass
// -1 and none. It closes on every path, also when an edit in it raises.
class TKivViewCompoundEdit {
 public:
  explicit TKivViewCompoundEdit(TKivEditViewCore& AView, bool AWithCursorInfo = true, bool AFreezeViews = true);
  // The outermost one carries AInfo (another cursor than the view's current one).
  TKivViewCompoundEdit(TKivEditViewCore& AView, TKivDocUndoInfoPtr AInfo, bool AFreezeViews = true);
  ~TKivViewCompoundEdit();
  TKivViewCompoundEdit(const TKivViewCompoundEdit&) = delete;
  TKivViewCompoundEdit& operator=(const TKivViewCompoundEdit&) = delete;

 private:
  TKivEditDocument& FDoc;
  bool FFreeze;
};

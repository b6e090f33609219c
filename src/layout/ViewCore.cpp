// The view core's life, change bracket, states, properties and metrics.
#include <algorithm>

#include "KivSedPainter.h"
#include "KivSedViewCore.h"
#include "internal/ScreenCache.h"
#include "internal/StoredView.h"
#include "internal/ViewCommands.h"
#include "internal/ViewLst.h"
#include "internal/EditViewSearch.h"

namespace {

constexpr const char* kModule = "KivSedView";

IKivViewCommandHooks gNoCommandHooks;
IKivViewEditHooks gNoEditHooks;
IKivViewMouseHooks gNoMouseHooks;
IKivViewSearchHooks gNoSearchHooks;

}  // namespace

// The screen cache's owner side: the working document and the cursor rule.
class TKivEditViewCore::TCacheHost : public IKivScreenCacheHost {
 public:
  explicit TCacheHost(TKivEditViewCore& AView) : FView(AView) {}
  TKivEditDocument& Document() override { return FView.WorkingDocument(); }
  bool CursorBoundToChars() const override { return (FView.FViewSettings & vsCursorBoundToChars) != 0; }
  bool HighlightsCursorRow() const override { return (FView.FViewSettings & vsHighlightSelectedLine) != 0; }
  void InvalidateConversionCache(Integer AFromOffset) override {
    FView.FCachedWin.InvalidateFromKey1(AFromOffset);
  }
  bool MayGuessTokens() const override { return FView.FGuessTokens; }

 private:
  TKivEditViewCore& FView;
};

// The document listener's side of the view. Its brackets never raise and never report: the
// report follows when the document has finished its change.
class TKivEditViewCore::TLstHost : public IKivViewLstHost {
 public:
  explicit TLstHost(TKivEditViewCore& AView) : FView(AView) {}
  TScreenCache& ScreenCache() override { return *FView.FScreenCache; }
  void InvalidateConversionCache(Integer AFromOffset) override {
    FView.FCachedWin.InvalidateFromKey1(AFromOffset);
  }
  void BeginUpdate() override {
    FView.DoBeginUpdate(true);
    // A change of the text ends word completion, unless a command keeps it.
    FView.ExitStatesUnlessLocked(siComplWordTyping | siComplListShown);
  }
  void EndUpdate(bool AFullRepaint) override { FView.DoEndUpdate(AFullRepaint, true); }
  void SuspendUpdates(bool ASuspend) override { FView.FSuspendCnt += ASuspend ? 1 : -1; }
  void SetLastOffsetForUndo(Integer AOffset) override { FView.FLastOffsetForUndo = AOffset; }
  void ReadDocumentSettings() override { FView.RebuildSyntaxCheckTokenIds(); }
  void NoteScreenMarkersChanged() override { FView.FScreenMarksChanged = true; }
  void ReportIfIdle() override {
    if (FView.FUpdatingCnt == 0) FView.ReportStatus();
  }
  void DetachDocument() override { FView.DocumentDestroyed(); }

 private:
  TKivEditViewCore& FView;
};

// ---- life ----

TKivEditViewCore::TKivEditViewCore(IKivViewHost& AHost)
    : FHost(AHost),
      FCacheHost(std::make_unique<TCacheHost>(*this)),
      FLstHost(std::make_unique<TLstHost>(*this)),
      FCommandHooks(&gNoCommandHooks),
      FEditHooks(&gNoEditHooks),
      FMouseHooks(&gNoMouseHooks),
      FSearchHooks(&gNoSearchHooks) {
  FDummyDoc = std::make_unique<TKivEditDocument>();
  FDummyDoc->SetReadOnly(true);
  TKivViewPartParent* parts = this;
  FSpecialChars = std::make_unique<TKivSpecialChars>(parts);
  FHighlightSettings = std::make_unique<TKivEditHighlightSettings>(parts);
  FDocLst = std::make_unique<TViewLst>(*FLstHost);
  // One row of 100 pixels until the host measures (the host is not asked while it is built).
  FScreenCache =
      std::make_unique<TScreenCache>(FCacheHost.get(), wmNoWrap, 8, 100, 1, 80, nullptr, FSpecialChars.get());
  FScreenCache->SetHighlightAttrs(FHighlightSettings->Attributes(), FHighlightSettings->UseHighlight());
  AttachDoc();
  FScreenCache->ResetStatusChanges();
  FCommands = std::make_unique<TViewCommands>(*this);
  FCommandHooks = FCommands.get();
  FSearch = std::make_unique<TViewSearch>(*this);
  FSearchHooks = FSearch.get();
  FCompletion = std::make_unique<TKivViewCompletion>(*this);
}

TKivEditViewCore::~TKivEditViewCore() {
  ReleaseHost();
}

void TKivEditViewCore::ReleaseHost() {
  if (FHostReleased) return;
  NotifyPrintTasks(true);
  FHostReleased = true;
  // The host and the behaviour groups may be gone already (a widget deriving from the view is
  // destroyed first): from here on nothing calls out.
  FState |= siDestroing;
  FCommandHooks = &gNoCommandHooks;
  FEditHooks = &gNoEditHooks;
  FMouseHooks = &gNoMouseHooks;
  FSearchHooks = &gNoSearchHooks;
  if (FSearch) FSearch->CloseState();
  OnNotFound = nullptr;
  OnReplaceFound = nullptr;
  OnStatusChanged = nullptr;
  OnGutterPaint = nullptr;
  OnScroll = nullptr;
  OnBeforeCommand = nullptr;
  OnAfterCommand = nullptr;
  OnKeyPressW = nullptr;
  OnKeyDown = nullptr;
  OnGutterClick = nullptr;
  OnGetMouseCursor = nullptr;
  OnMouseDown = nullptr;
  OnStartDrag = nullptr;
  FMouse.reset();  // its timer is the host's
  OnFillCompletionList = nullptr;
  OnCompletionReplace = nullptr;
  if (FCompletion) FCompletion->ReleaseHost();  // its list and timer are the host's
  FState &= TKivEditInternalStates(~(kivStatesOnChange | siComplTimer));
  // Runs still held are measured on the surface while it exists. Called from destructors:
  // nothing may escape.
  try {
    FScreenCache->SetCanvas(nullptr);
  } catch (...) {  // the layout is redone on the next use, if any
  }
  DetachDoc(false);
}

void TKivEditViewCore::Loaded() {
  if (FGutterBarsEmptyOnLoad) {
    FGutterBarsEmptyOnLoad = false;
    FGutter->Bars().Clear();
  }
  UpdateMetrics();
  FScreenCache->ResetPreserve();
  FStatusChanges = 0;
}

void TKivEditViewCore::SetCommandHooks(IKivViewCommandHooks* AHooks) {
  if (FHostReleased) return;
  FCommandHooks = AHooks ? AHooks : static_cast<IKivViewCommandHooks*>(FCommands.get());
}
void TKivEditViewCore::SetEditHooks(IKivViewEditHooks* AHooks) {
  FEditHooks = AHooks ? AHooks : &gNoEditHooks;
}
void TKivEditViewCore::SetMouseHooks(IKivViewMouseHooks* AHooks) {
  FMouseHooks = AHooks ? AHooks : &gNoMouseHooks;
}
void TKivEditViewCore::SetSearchHooks(IKivViewSearchHooks* AHooks) {
  if (FHostReleased) return;
  FSearchHooks = AHooks ? AHooks : static_cast<IKivViewSearchHooks*>(FSearch.get());
}

// ---- document ----

void TKivEditViewCore::SetDocument(TKivEditDocument* ADoc) {
  if (ADoc == FFDoc) return;
  // The view registers with the document: not possible inside one of its compound edits.
  if (ADoc && ADoc->InsideCompoundEdit())
    throw EKivEditViewError(u"The Document is inside a compound edit; the View cannot be switched now.");
  BeginSettingsChange();
  TKivEditDocument* const old = FFDoc;
  const Integer oldAuthor = FAuthorID;
  std::unique_ptr<TStoredViewData> saved;
  try {
    // Saved before anything changes: when that fails the view stays as it was.
    if (old) saved = FScreenCache->StoredView().Capture();
  } catch (...) {
    EndUpdate(true);
    throw;
  }
  DetachDoc(false);
  FFDoc = ADoc;
  try {
    AttachDoc();
  } catch (...) {
    // Back to the old document as it was shown, with its own author; nothing of the new one
    // stays behind (markers, listener).
    DetachDoc(false);
    FFDoc = old;
    try {
      AttachDoc(saved.get());
      FAuthorID = oldAuthor;
    } catch (...) {
      DetachDoc(false);
      FFDoc = nullptr;
      AttachDoc();
    }
    saved.reset();
    EndUpdate(true);
    throw;
  }
  FScreenCache->StoredView().Keep(std::move(saved));
  EndSettingsChange(false, false);
}

void TKivEditViewCore::DetachDoc(bool AStoreState) {
  // Saving may fail; letting go of the document never does, so a detach always completes.
  if (AStoreState && FScreenCache->Attached()) FScreenCache->StoredView().AttachCurrentDoc();
  const auto quietly = [](auto&& AFn) {
    try {
      AFn();
    } catch (...) {  // what is left of the old document's state goes with it
    }
  };
  quietly([&] { ExitStates(kivStatesOnChange); });
  CancelFoldAll();
  FScreenMarksChanged = false;
  quietly([&] { FDocLst->RecoverStaleBrackets(); });
  FScreenCache->ReleaseDocument();
  quietly([&] { WorkingDocument().Internal().RemoveListener(FDocLst.get()); });
  quietly([&] { FSearchHooks->CloseSearchState(*this); });
  FAuthorID = -1;
  FSpellCheckTokenIds.clear();
}

void TKivEditViewCore::AttachDoc(TStoredViewData* ARestore) {
  TKivEditDocument& doc = WorkingDocument();
  try {
    FScreenCache->AttachToDocument(ARestore);
    doc.Internal().AddListener(FDocLst.get());
    FAuthorID = doc.Internal().GetNextAuthorID();
    FCachedWin.Clear();
    RebuildSyntaxCheckTokenIds();
  } catch (...) {
    DetachDoc(false);
    throw;
  }
}

void TKivEditViewCore::DocumentDestroyed() {
  // The document is being destroyed: its view state is not kept. A view whose host is gone
  // only lets go of it (its special characters and layout state were released with the host).
  if (FHostReleased) {
    FFDoc = nullptr;
    return;
  }
  BeginSettingsChange();
  try {
    DetachDoc(false);
    FFDoc = nullptr;
    AttachDoc();
  } catch (...) {
    EndUpdate(true);
    throw;
  }
  EndSettingsChange(false, false);
}

void TKivEditViewCore::RebuildSyntaxCheckTokenIds() {
  FSpellCheckTokenIds.clear();
  TKivEditParserBase* parser = WorkingDocument().GetParser();
  if (!parser) return;
  size_t i = 0;
  const TKivString& names = FSyntaxCheckTokens;
  while (i < names.size()) {
    while (i < names.size() && names[i] <= u' ') ++i;
    size_t j = i;
    while (j < names.size() && names[j] > u' ') ++j;
    if (j > i) {
      const TKivIntArray ids = parser->GetAllTokenIDs(names.substr(i, j - i));
      FSpellCheckTokenIds.insert(FSpellCheckTokenIds.end(), ids.begin(), ids.end());
    }
    i = j;
  }
  std::sort(FSpellCheckTokenIds.begin(), FSpellCheckTokenIds.end());
  FSpellCheckTokenIds.erase(std::unique(FSpellCheckTokenIds.begin(), FSpellCheckTokenIds.end()),
                            FSpellCheckTokenIds.end());
}

// ---- change bracket ----

void TKivEditViewCore::BeginUpdate() {
  DoBeginUpdate(false);
}

void TKivEditViewCore::EndUpdate(bool AFullRepaint) {
  DoEndUpdate(AFullRepaint, false);
}

void TKivEditViewCore::DoBeginUpdate(bool AFromListener) {
  if (!AFromListener && FChangesLock > 0) throw EKivEditViewError(u"View is locked for changes");
  // A document notification pair cut short by a raising listener left its bracket open: with
  // the document idle, close it now.
  if (!AFromListener && FListenerCnt > 0) {
    const TKivEditDocument& doc = WorkingDocument();
    if (doc.UpdateDepth() == 0 && !doc.InsideCompoundEdit()) FDocLst->RecoverStaleBrackets();
  }
  if (FUpdatingCnt == 0) {
    FOldGutterWidth = FGutterWidth;
    FScreenMarksChanged = false;
    FScreenCache->ResetStatusChanges();
    if (FCaretShown && !InState(siDestroing)) FHost.HideCaret();
    FCaretShown = false;
  }
  ++FUpdatingCnt;
  if (AFromListener) {
    ++FListenerCnt;
    CancelFoldAll();  // the text changes: the lines left to fold are no longer those
  }
}

void TKivEditViewCore::DoEndUpdate(bool AFullRepaint, bool AFromListener, bool AReport) {
  KIV_ASSERT(FUpdatingCnt > 0, kModule);
  KIV_ASSERT(!AFromListener || FListenerCnt > 0, kModule);
  FFullRepaint = FFullRepaint || AFullRepaint;
  if (AFromListener) --FListenerCnt;
  if (--FUpdatingCnt > 0) return;
  if (InState(siDestroing)) {
    FFullRepaint = false;
    FStatusChanges = 0;
    return;
  }
  if (FSuspendCnt > 0) return;  // the document's refresh closes with a full repaint
  UpdateMetrics();
  FScreenCache->UpdateLayout();
  FScreenCache->ClampBottom(FullyVisibleLines());
  const TKivViewStatusChanges changes = FScreenCache->StatusChanges();
  FStatusChanges |= changes;
  if (FScreenMarksChanged) {
    FScreenCache->ScreenMarkersChanged();
    FScreenMarksChanged = false;
  }
  if (changes & scScreenSize) FFullRepaint = true;
  const bool full = FFullRepaint || FGutterWidth != FOldGutterWidth;
  FFullRepaint = false;
  Repaint(full);
  UpdateCaret(true);
  // Brackets of the document listener report once the document has finished its change.
  if (!AFromListener) {
    if (AReport)
      ReportStatus();
    else
      FStatusChanges = 0;
  }
  if (FUpdatingCnt == 0 && FHost.HasWindow()) UpdateScrollBars();
  if (FUpdatingCnt == 0) ScheduleBackgroundParse();
}

void TKivEditViewCore::Repaint(bool AFull) {
  if (!FHost.HasWindow()) {
    FScreenCache->ClearDirtyLines();
    return;
  }
  if (AFull) {
    FHost.InvalidateAll();
  } else {
    const TKivRect area = FHost.TextAreaRect();
    const Integer rows = FScreenCache->LinesOnScreenScroll();
    Integer i = 0;
    while (i < rows) {
      if (!FScreenCache->IsScreenLineDirty(i)) {
        ++i;
        continue;
      }
      Integer j = i + 1;
      while (j < rows && FScreenCache->IsScreenLineDirty(j)) ++j;
      FHost.InvalidateRect({area.Left, KivSatAdd(area.Top, KivSatMul(i, FLineHeight)), area.Right,
                            KivSatAdd(area.Top, KivSatMul(j, FLineHeight))});
      i = j;
    }
  }
  FScreenCache->ClearDirtyLines();
  FHost.Flush();
}

void TKivEditViewCore::ReportStatus() {
  const TKivViewStatusChanges changes = FStatusChanges;
  FStatusChanges = 0;
  if (changes && !IsLoading() && OnStatusChanged) OnStatusChanged(*this, changes);
}

void TKivEditViewCore::BeginSettingsChange() {
  BeginUpdate();
  ExitStates(kivStatesOnChange);
}

void TKivEditViewCore::EndSettingsChange(bool AResetLayout, bool AReport) {
  FCachedWin.Clear();
  if (AResetLayout) FScreenCache->ResetPreserve();
  DoEndUpdate(true, false, AReport);
}

template <class F>
void TKivEditViewCore::SettingsChange(TKivViewStatusChanges AChange, bool AResetLayout, F&& AStore) {
  BeginSettingsChange();
  try {
    AStore();
  } catch (...) {
    EndUpdate(false);
    throw;
  }
  FStatusChanges |= AChange;
  EndSettingsChange(AResetLayout);
}

void TKivEditViewCore::UnlockChanges() {
  KIV_ASSERT(FChangesLock > 0, kModule);
  --FChangesLock;
}

void TKivEditViewCore::DoGutterPaint(IKivPaintSurface& ACanvas, const TKivRect& ARect, Integer AScrollLine) {
  if (!OnGutterPaint) return;
  LockChanges();
  ACanvas.Save();
  try {
    OnGutterPaint(*this, ACanvas, ARect, AScrollLine);
  } catch (...) {
    ACanvas.Restore();
    UnlockChanges();
    throw;
  }
  ACanvas.Restore();
  UnlockChanges();
}

// ---- states ----

void TKivEditViewCore::EnterState(TKivEditInternalState AState) {
  if (InState(AState)) return;
  FState |= AState;
  if (AState == siIncrementalSearch) {
    FStatusChanges |= scViewSettings;
    FSearchHooks->StartIncrementalSearch(*this);
  }
}

void TKivEditViewCore::ExitState(TKivEditInternalState AState) {
  if (!InState(AState)) return;
  switch (AState) {
    case siComplListShown:
      FSearchHooks->HideCompletionList(*this);
      break;
    case siComplTimer:
      FSearchHooks->StopCompletionTimer(*this);
      break;
    case siIncrementalSearch:
      FStatusChanges |= scViewSettings;
      FSearchHooks->EndIncrementalSearch(*this);
      break;
    default:
      break;
  }
  FState &= TKivEditInternalStates(~AState);
}

void TKivEditViewCore::ExitStates(TKivEditInternalStates AStates) {
  for (int i = 0; i < kivEditInternalStateCount; ++i) {
    const auto s = TKivEditInternalState(1u << i);
    if (AStates & s) ExitState(s);
  }
}

void TKivEditViewCore::ExitStatesUnlessLocked(TKivEditInternalStates AStates) {
  if (FCmdModesLock == 0) ExitStates(AStates);
}

void TKivEditViewCore::UnlockCmdModes() {
  KIV_ASSERT(FCmdModesLock > 0, kModule);
  --FCmdModesLock;
}

void TKivEditViewCore::CheckState(TKivEditInternalState AState, bool AMustBeSet) const {
  KIV_ASSERT(AState == siComplListShown || AState == siIncrementalSearch, kModule);
  if (InState(AState) == AMustBeSet) return;
  if (AState == siComplListShown)
    throw EKivEditViewError(AMustBeSet ? u"Completion list should be shown for this command (or method)"
                                       : u"Completion list should NOT be shown for this command (or method)");
  throw EKivEditViewError(
      AMustBeSet ? u"View should be in incremental search mode for this command (or method)"
                 : u"View should NOT be in incremental search mode for this command (or method)");
}

// ---- read-only ----

void TKivEditViewCore::CheckDocument() const {
  if (!FFDoc) throw EKivEditViewError(u"Document must be attached to View for this operation");
}

void TKivEditViewCore::CheckWritable() const {
  if (IsReadOnly()) throw EKivEditViewError(u"This View or its Document is read-only.");
}

void TKivEditViewCore::SetReadOnly(bool AValue) {
  if (AValue == FReadOnly) return;
  SettingsChange(scViewSettings, false, [&] { FReadOnly = AValue; });
}

// ---- properties ----

void TKivEditViewCore::SetViewSettings(TKivViewSettings AValue) {
  if (AValue == FViewSettings) return;
  SettingsChange(scViewSettings, true, [&] {
    FViewSettings = AValue;
    FInsCaret = (AValue & vsOverwrite) == 0;
  });
}

Integer TKivEditViewCore::TabWidth() const {
  return FScreenCache->TabWidth();
}

void TKivEditViewCore::SetTabWidth(Integer AValue) {
  if (AValue == TabWidth()) return;
  SettingsChange(scViewSettings, false, [&] { FScreenCache->SetTabWidth(AValue); });
}

void TKivEditViewCore::SetIndentWidth(Integer AValue) {
  AValue = std::max<Integer>(AValue, 1);
  if (AValue == FIndentWidth) return;
  SettingsChange(scViewSettings, false, [&] { FIndentWidth = AValue; });
}

TKivViewWrapMode TKivEditViewCore::WrapMode() const {
  return FScreenCache->WrapMode();
}

void TKivEditViewCore::SetWrapMode(TKivViewWrapMode AValue) {
  if (AValue != wmWrapToRuler && AValue != wmWrapToWindow) AValue = wmNoWrap;
  if (AValue == WrapMode()) return;
  SettingsChange(scViewSettings, false, [&] { FScreenCache->SetWrapMode(AValue); });
}

Integer TKivEditViewCore::WrapRulerWidth() const {
  return FScreenCache->WrapWidth();
}

void TKivEditViewCore::SetWrapRulerWidth(Integer AValue) {
  AValue = std::clamp<Integer>(AValue, 1, TScreenCache::kMaxWrapRulerWidth);
  if (AValue == WrapRulerWidth()) return;
  SettingsChange(scWrapSettings, false, [&] { FScreenCache->SetWrapWidth(AValue); });
}

// The field of the paint colours behind each colour property.
constexpr TKivColor TKivViewPaintColors::*kColorFields[TKivEditViewCore::cpColorCount] = {
    &TKivViewPaintColors::WrapRulerColor,         &TKivViewPaintColors::ReadOnlyBgColor,
    &TKivViewPaintColors::SelectedLineBg,         &TKivViewPaintColors::BreakpointLineColor,
    &TKivViewPaintColors::BreakpointLineBg,       &TKivViewPaintColors::SelectionBg,
    &TKivViewPaintColors::SelectionColor,         &TKivViewPaintColors::DebugFrameTopLineColor,
    &TKivViewPaintColors::DebugFrameActiveLineColor, &TKivViewPaintColors::DebugFrameLineColor,
    &TKivViewPaintColors::DebugFrameTopLineBg,    &TKivViewPaintColors::DebugFrameActiveLineBg,
    &TKivViewPaintColors::DebugFrameLineBg};

TKivColor TKivEditViewCore::Color(TColorProp AProp) const {
  return FPaintColors.*kColorFields[AProp];
}

void TKivEditViewCore::SetColor(TColorProp AProp, TKivColor AValue) {
  KIV_ASSERT(AProp < cpColorCount, kModule);
  TKivColor& field = FPaintColors.*kColorFields[AProp];
  if (field == AValue) return;
  SettingsChange(scViewSettings, false, [&] { field = AValue; });
}

void TKivEditViewCore::SetFont(const TKivViewFont& AValue) {
  if (AValue == FFont) return;
  SettingsChange(scFont, true, [&] {
    FHost.FontChanged(AValue);
    FFont = AValue;
  });
  NotifyPrintTasks(false);
}

void TKivEditViewCore::SetScrollBars(TKivScrollBars AValue) {
  if (AValue > ssBoth) AValue = ssBoth;
  if (AValue == FScrollBars) return;
  BeginUpdate();
  ExitStates(kivStatesOnScroll);
  FScrollBars = AValue;
  EndUpdate(true);
}

void TKivEditViewCore::SetMaxHorizScroll(Integer AValue) {
  AValue = std::max<Integer>(AValue, 0);
  if (AValue == FMaxHorizScroll) return;
  BeginUpdate();
  FMaxHorizScroll = AValue;
  EndUpdate();
}

void TKivEditViewCore::SetStoreDocSettingsLimit(Integer AValue) {
  // A negative limit would free more saved states than exist.
  FStoreDocSettingsLimit = std::max<Integer>(AValue, 0);
  FScreenCache->StoredView().SetDataLimit(FStoreDocSettingsLimit);
}

void TKivEditViewCore::SetSyntaxCheckTokens(const TKivString& AValue) {
  if (AValue == FSyntaxCheckTokens) return;
  SettingsChange(scViewSettings, false, [&] {
    FSyntaxCheckTokens = AValue;
    RebuildSyntaxCheckTokenIds();
  });
}

void TKivEditViewCore::EndChange(bool AResetCache) {
  FStatusChanges |= scViewSettings;
  EndSettingsChange(AResetCache);
}

void TKivEditViewCore::HighlightSettingsChanged(const TKivEditAttributes& AAttrs, bool AUse) {
  FScreenCache->SetHighlightAttrs(AAttrs, AUse);
}

// ---- metrics ----

Integer TKivEditViewCore::SpaceCharW() const {
  return FScreenCache->SpaceCharW();
}

Integer TKivEditViewCore::ScreenHeight() const {
  return FScreenHeight;
}

Integer TKivEditViewCore::FullyVisibleLines() const {
  return FFullyVisible;
}

void TKivEditViewCore::UpdateMetrics() {
  IKivMeasureSurface* canvas = FHost.MeasureSurface();
  Integer lineHeight;
  if (canvas) {
    const TKivFontMetrics m = canvas->Metrics(fsBold);
    lineHeight = KivSatAdd(m.Height, m.ExternalLeading);
  } else {
    // The font's height (points at 96 pixels per inch) and a little leading.
    lineHeight = FFont.PixelSize > 0 ? KivSatAdd(FFont.PixelSize, 2) : KivSatMul(FFont.Size, 96) / 72 + 1;
  }
  FLineHeight = std::max<Integer>(lineHeight, 1);
  FGutterWidth = std::max<Integer>(FMouseHooks->GutterWidth(*this), 0);
  const TKivRect area = FHost.TextAreaRect();
  const Integer height = std::max<Integer>(area.Height(), 0);
  const Integer rows = height / FLineHeight + (height % FLineHeight ? 1 : 0);
  FScreenHeight = std::max<Integer>(rows, 1);
  FFullyVisible = std::max<Integer>(
      KivSatMul(FScreenHeight, FLineHeight) > height ? FScreenHeight - 1 : FScreenHeight, 1);
  if (FScreenCache->Canvas() != canvas) FScreenCache->SetCanvas(canvas);
  FScreenCache->SetScreenSize(std::max<Integer>(KivSatAdd(area.Width(), -FGutterWidth), 1), FScreenHeight);
}

bool TKivEditViewCore::CanResize(Integer& AWidth, Integer& AHeight) const {
  const Integer minWidth = std::max<Integer>(FGutterWidth, 1);
  const Integer minHeight = std::max<Integer>(FLineHeight, 1);
  bool ok = true;
  if (AWidth < minWidth) {
    AWidth = minWidth;
    ok = false;
  }
  if (AHeight < minHeight) {
    AHeight = minHeight;
    ok = false;
  }
  return ok;
}

void TKivEditViewCore::HostResized() {
  BeginUpdate();
  EndUpdate();
}

// ---- focus ----

void TKivEditViewCore::FocusChanged(bool AFocused) {
  if (InState(siDestroing)) return;
  ExitStates(kivStatesOnScroll);
  if (AFocused) {
    UpdateCaret(true);
  } else {
    if (FCaretShown) FHost.HideCaret();
    FCaretShown = false;
    FMouseHooks->StopAutoScroll(*this);
  }
}

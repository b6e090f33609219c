// Word completion of the view: settings, filling the list from the document's words or the
// application's event, placing the list under the word, committing an entry and the timer.
#include <algorithm>

#include "KivRegExpr.h"
#include "KivSedCompletion.h"
#include "KivSedSearch.h"
#include "KivSedViewCore.h"
#include "internal/ScreenCache.h"
#include "internal/ViewCommands.h"

namespace {

constexpr const char16_t* kCreatedManually = u"This internal View class should not be created manually.";

// Membership in the completion separators, by a table for the first 256 code units.
class TSeparators {
 public:
  explicit TSeparators(const TKivString& ASeps) : FSeps(ASeps) {
    for (const Char c : ASeps)
      if (c < 256) FLow[c] = true;
  }
  bool operator()(Char C) const { return C < 256 ? FLow[C] : FSeps.find(C) != TKivString::npos; }

 private:
  TKivString FSeps;
  bool FLow[256] = {};
};

Char CharAt(const TKivEditDocument& ADoc, Integer AOffset) {
  Char c = 0;
  ADoc.CopyChars(AOffset, 1, &c);
  return c;
}

// The first separator at or after AFrom, or the end of the text.
Integer WordEnd(const TKivEditDocument& ADoc, Integer AFrom, const TSeparators& AIsSep) {
  const Integer count = ADoc.CharsCount();
  Char buf[64];
  for (Integer p = AFrom; p < count;) {
    const Integer n = std::min<Integer>(64, count - p);
    ADoc.CopyChars(p, n, buf);
    for (Integer i = 0; i < n; ++i)
      if (AIsSep(buf[i])) return p + i;
    p += n;
  }
  return count;
}

}  // namespace

// ---- the search hooks' completion part ----

void IKivViewSearchHooks::HideCompletionList(TKivEditViewCore& AView) {
  AView.Completion().HideList();
}

void IKivViewSearchHooks::StopCompletionTimer(TKivEditViewCore& AView) {
  AView.Completion().StopTimer();
}

// ---- placement ----

TKivComplPlacement KivPlaceCompletionList(const TKivRect& AWordCell, const TKivRect& ACursorCell,
                                          Integer AListWidth, Integer AListHeight, const TKivRect& AScreen) {
  TKivComplPlacement p;
  const bool above = int64_t(AScreen.Bottom) - AWordCell.Bottom < AListHeight;
  const bool left = int64_t(AScreen.Right) - AWordCell.Right < AListWidth;
  p.Point.Y = above ? KivSaturate(int64_t(AWordCell.Top) - AListHeight) : AWordCell.Bottom;
  p.Point.X = left ? KivSaturate(int64_t(ACursorCell.Left) - AListWidth) : AWordCell.Left;
  p.PlacedLeft = left;
  if (left)
    p.Corner = above ? rcTopLeft : rcBottomLeft;
  else
    p.Corner = above ? rcTopRight : rcBottomRight;
  return p;
}

// ---- settings ----

TKivEditCompletionSettings::TKivEditCompletionSettings(TKivEditViewCore* AParent)
    : FParent(AParent), FCompl(nullptr) {
  if (!AParent || AParent->FCompletion) throw EKivEditViewError(kCreatedManually);
}

template <class F>
void TKivEditCompletionSettings::Change(F&& AStore) {
  FParent->BeginSettingsChange();
  try {
    AStore();
    FCompl->SettingsChanged();
  } catch (...) {
    FParent->EndUpdate(false);
    throw;
  }
  FParent->AddStatusChanges(scViewSettings);
  FParent->EndSettingsChange(false);
}

Integer TKivEditCompletionSettings::ShowTimeout() const {
  return FCompl->FCompletionTimeout;
}
void TKivEditCompletionSettings::SetShowTimeout(Integer AValue) {
  if (AValue < 1) throw EKivEditViewError(u"Invalid completion timeout: %d", {AValue});
  if (AValue == FCompl->FCompletionTimeout) return;
  Change([&] { FCompl->FCompletionTimeout = AValue; });
}
bool TKivEditCompletionSettings::ShowCompletionOnTimeout() const {
  return FCompl->FComplUseTimeout;
}
void TKivEditCompletionSettings::SetShowCompletionOnTimeout(bool AValue) {
  if (AValue == FCompl->FComplUseTimeout) return;
  Change([&] { FCompl->FComplUseTimeout = AValue; });
}
Integer TKivEditCompletionSettings::MinChars() const {
  return FCompl->FCompletionMinChars;
}
void TKivEditCompletionSettings::SetMinChars(Integer AValue) {
  if (AValue < 0) throw EKivEditViewError(u"Invalid completion minimum of characters: %d", {AValue});
  if (AValue == FCompl->FCompletionMinChars) return;
  Change([&] { FCompl->FCompletionMinChars = AValue; });
}
bool TKivEditCompletionSettings::DontShowComboForOnlyMatch() const {
  return FCompl->FCompletionNoComboForOnly;
}
void TKivEditCompletionSettings::SetDontShowComboForOnlyMatch(bool AValue) {
  if (AValue == FCompl->FCompletionNoComboForOnly) return;
  Change([&] { FCompl->FCompletionNoComboForOnly = AValue; });
}
bool TKivEditCompletionSettings::CaseSensitive() const {
  return FCompl->FCompletionCaseSens;
}
void TKivEditCompletionSettings::SetCaseSensitive(bool AValue) {
  if (AValue == FCompl->FCompletionCaseSens) return;
  Change([&] { FCompl->FCompletionCaseSens = AValue; });
}
TKivViewCompletionType TKivEditCompletionSettings::CompletionType() const {
  return FCompl->FCompletionType;
}
void TKivEditCompletionSettings::SetCompletionType(TKivViewCompletionType AValue) {
  if (AValue > ctDisabled) throw EInvalidArgument(u"Invalid completion type: %d", {int(AValue)});
  if (AValue == FCompl->FCompletionType) return;
  Change([&] { FCompl->FCompletionType = AValue; });
}
Integer TKivEditCompletionSettings::ItemHeight() const {
  return FCompl->FItemHeight;
}
void TKivEditCompletionSettings::SetItemHeight(Integer AValue) {
  if (AValue < 1) throw EKivEditViewError(u"Invalid completion item height: %d", {AValue});
  if (AValue == FCompl->FItemHeight) return;
  Change([&] { FCompl->FItemHeight = AValue; });
}
const TKivString& TKivEditCompletionSettings::WordSeparators() const {
  return FCompl->FComplWordSep;
}
void TKivEditCompletionSettings::SetWordSeparators(const TKivString& AValue) {
  if (AValue == FCompl->FComplWordSep) return;
  Change([&] { FCompl->FComplWordSep = AValue; });
}

void TKivEditCompletionSettings::Assign(const TKivEditCompletionSettings& AValue) {
  if (&AValue == this) return;
  const TKivViewCompletion& s = *AValue.FCompl;
  TKivViewCompletion& d = *FCompl;
  if (d.FCompletionTimeout == s.FCompletionTimeout && d.FComplUseTimeout == s.FComplUseTimeout &&
      d.FCompletionMinChars == s.FCompletionMinChars && d.FCompletionNoComboForOnly == s.FCompletionNoComboForOnly &&
      d.FCompletionCaseSens == s.FCompletionCaseSens && d.FCompletionType == s.FCompletionType &&
      d.FItemHeight == s.FItemHeight && d.FComplWordSep == s.FComplWordSep)
    return;
  Change([&] {
    d.FCompletionTimeout = s.FCompletionTimeout;
    d.FComplUseTimeout = s.FComplUseTimeout;
    d.FCompletionMinChars = s.FCompletionMinChars;
    d.FCompletionNoComboForOnly = s.FCompletionNoComboForOnly;
    d.FCompletionCaseSens = s.FCompletionCaseSens;
    d.FCompletionType = s.FCompletionType;
    d.FItemHeight = s.FItemHeight;
    d.FComplWordSep = s.FComplWordSep;
  });
}

// ---- the view's completion ----

TKivViewCompletion::TKivViewCompletion(TKivEditViewCore& AView) : FView(AView) {
  FSettings = std::make_unique<TKivEditCompletionSettings>(&AView);
  FSettings->FCompl = this;
}

TKivViewCompletion::~TKivViewCompletion() = default;

void TKivViewCompletion::SetListHost(IKivCompletionListHost* AHost) {
  FListHost = AHost;
  if (FListHost) {
    FListHost->ListSettingsChanged();
    FListHost->ListItemsChanged();
  }
}

void TKivViewCompletion::SettingsChanged() {
  if (FView.FCommands) {
    TViewCommands& c = *FView.FCommands;
    c.ComplWordSeparators = FComplWordSep;
    c.ComplDisabled = FCompletionType == ctDisabled;
    c.ShowCompletionOnTimeout = FComplUseTimeout;
  }
  if (FListHost) FListHost->ListSettingsChanged();
}

void TKivViewCompletion::SetItemIndex(Integer AValue) {
  const Integer count = static_cast<Integer>(FItems.size());
  const Integer v = count == 0 ? -1 : std::clamp<Integer>(AValue, 0, count - 1);
  if (v == FItemIndex) return;
  FItemIndex = v;
  if (FListHost) FListHost->ListItemIndexChanged();
}

TKivString TKivViewCompletion::Separators() const {
  return KivCompletionSeparators(FComplWordSep, FView.WorkingDocument().FullWordSeparators());
}

Integer TKivViewCompletion::FillListDef(TKivCompletionItems& AItems, const TKivPoint& ACursorPoint,
                                        TKivEditFillCompletionCause ACause, TKivPoint& APosForCombo) {
  const Integer minimum = ACause == fcTimeout ? FCompletionMinChars : 1;
  TKivEditDocument& doc = FView.WorkingDocument();
  const TOffsetPoint cursor = FView.FScreenCache->ScrollPtToOffsetPt(ACursorPoint);
  if (cursor.InCharOffset != 0) return 0;
  const TKivString seps = Separators();
  const TKivSegment w = doc.FindNearWord(cursor.Offset, -1, seps, true);
  if (w.Start < 0) return 0;
  const Integer wordEnd = w.Start + w.Count;
  if (wordEnd < cursor.Offset) return 0;
  if (ACause == fcTimeout && wordEnd != cursor.Offset) return 0;
  const Integer prefixLen = cursor.Offset - w.Start;
  if (prefixLen <= 0 || prefixLen < minimum) return 0;
  APosForCombo = FView.OffsetToScrollPos(w.Start);
  const TKivString prefix = doc.GetText(w.Start, prefixLen);

  FComplStrHash.Clear();
  // The regex engine finds the prefix; word boundaries are those of the completion separators
  // (the engine's own \b knows only its word characters, which would break "a.b" at the dot).
  const TSeparators isSep(seps);
  TKivRegExp re;
  re.SetExpression(RegExprQuoteMetaChars(prefix));
  re.SetWordSeparators(seps);
  re.SetModifierI(!FCompletionCaseSens);
  TKivRegexCharSeqSource source(doc.Chars());
  re.SetInputSource(&source);
  const Integer count = doc.CharsCount();
  Integer added = 0;
  TKivString text;
  for (bool found = re.Exec(0); found;) {
    const Integer start = re.GetMatchPos(0);
    Integer end = start + re.GetMatchLen(0);
    const bool wordStart = start == 0 || isSep(CharAt(doc, start - 1));
    if (wordStart) {
      end = WordEnd(doc, end, isSep);
      if (!(start <= cursor.Offset && cursor.Offset <= end)) {
        text = doc.GetText(start, end - start);
        if (!FComplStrHash.HasKey(text)) {
          FComplStrHash.Add(text, TKivString());
          AItems.push_back(text);
          ++added;
        }
      }
    }
    if (end >= count) break;
    found = re.Exec(wordStart ? end : start + 1);
  }
  re.SetInputSource(nullptr);
  return added;
}

Integer TKivViewCompletion::FillList(TKivCompletionItems& AItems, const TKivPoint& ACursorPoint,
                                     TKivPoint& APosForCombo, TKivEditFillCompletionCause ACause) {
  AItems.clear();
  switch (FCompletionType) {
    case ctDocumentText:
      if (ACause != fcWordEnd) FillListDef(AItems, ACursorPoint, ACause, APosForCombo);
      break;
    case ctCustom:
    case ctCustomOwnerDrawFixed:
    case ctCustomOwnerDrawVariable: {
      if (!FView.OnFillCompletionList) break;
      TKivEditDocument& doc = FView.WorkingDocument();
      const Integer offset = FView.FScreenCache->ScrollPtToOffsetPt(ACursorPoint).Offset;
      const TKivSegment w = doc.FindNearWord(offset, -1, Separators(), true);
      TKivString leftPart;
      if (w.Start >= 0 && w.Start <= offset && offset <= w.Start + w.Count)
        leftPart = doc.GetText(w.Start, offset - w.Start);
      APosForCombo = w.Start >= 0 ? FView.OffsetToScrollPos(w.Start) : ACursorPoint;
      bool handled = false;
      FView.OnFillCompletionList(FView, AItems, ACursorPoint, ACause, leftPart, APosForCombo, handled);
      if (!handled) FillListDef(AItems, ACursorPoint, ACause, APosForCombo);
      break;
    }
    case ctDisabled:
      break;
  }
  return static_cast<Integer>(AItems.size());
}

void TKivViewCompletion::Show(TKivEditFillCompletionCause ACause, bool AAllowSingleCommit) {
  FView.CheckState(siIncrementalSearch, false);
  if (!FView.FHost.HasWindow() || FView.FHostReleased || FCompletionType == ctDisabled) return;
  FView.ExitState(siComplTimer);
  const TKivPoint cursor = FView.CursorPos();
  TKivPoint posForCombo = cursor;
  TKivCompletionItems items;
  const Integer count = FillList(items, cursor, posForCombo, ACause);
  FItems = std::move(items);
  FItemIndex = count > 0 ? 0 : -1;
  if (FListHost) FListHost->ListItemsChanged();
  if (count <= 0) {
    FView.ExitState(siComplListShown);
    return;
  }
  if ((count == 1 && FCompletionNoComboForOnly && AAllowSingleCommit) || ACause == fcWordEnd) {
    Commit(cursor, ACause == fcWordEnd);
    return;
  }
  // Scrolling may leave the list's state: it is entered again after it.
  FView.ScrollToPos(posForCombo);
  const bool wasShown = FView.InState(siComplListShown) && FListHost && FListHost->ListVisible();
  FView.EnterState(siComplListShown);
  if (!wasShown) PlaceList(posForCombo);
  if (FListHost) FListHost->ListItemIndexChanged();
}

void TKivViewCompletion::PlaceList(const TKivPoint& APosForCombo) {
  if (!FListHost) return;
  TKivRect r;
  if (!FView.ScrollPosToClient(APosForCombo, r)) return;
  const auto toScreen = [&](const TKivRect& AClient) {
    const TKivPoint tl = FListHost->ClientToScreen({AClient.Left, AClient.Top});
    const TKivPoint br = FListHost->ClientToScreen({AClient.Right, AClient.Bottom});
    return TKivRect{tl.X, tl.Y, br.X, br.Y};
  };
  const Integer w = FListHost->ListWidth();
  const Integer h = FListHost->ListHeight();
  const TKivRect screen = FListHost->ScreenArea();
  TKivRect word = toScreen(r);
  TKivRect cursorCell = word;
  if (int64_t(screen.Right) - word.Right < w) {
    // Opening to the left: the list's right edge goes to the cursor's cell.
    const TKivPoint cursor = FView.CursorPos();
    FView.ScrollToPos(cursor);
    FView.EnterState(siComplListShown);
    TKivRect rc;
    if (FView.ScrollPosToClient(APosForCombo, r)) word = toScreen(r);
    if (FView.ScrollPosToClient(cursor, rc)) cursorCell = toScreen(rc);
  }
  const TKivComplPlacement p = KivPlaceCompletionList(word, cursorCell, w, h, screen);
  FListHost->SetListCorner(p.Corner);
  FListHost->ShowList(true, p.Point.X, p.Point.Y);
}

void TKivViewCompletion::Commit(const TKivPoint& AScrollPoint, bool AWordEnd) {
  const auto leave = [&] { FView.ExitStates(siComplWordTyping | siComplListShown); };
  if (FItemIndex < 0 || FItemIndex >= static_cast<Integer>(FItems.size())) {
    leave();
    return;
  }
  try {
    bool handled = false;
    if (FView.OnCompletionReplace)
      FView.OnCompletionReplace(FView, FItems, FItemIndex, AScrollPoint, AWordEnd ? rcWordEnd : rcCompletionList,
                                handled);
    if (!handled) {
      const TKivString text = FItems[FItemIndex];
      TKivEditDocument& doc = FView.WorkingDocument();
      const Integer offset = FView.FScreenCache->ScrollPtToOffsetPt(AScrollPoint).Offset;
      const TKivSegment w = doc.FindNearWord(offset, -1, Separators(), true);
      if (w.Start >= 0 && w.Start <= offset && offset <= w.Start + w.Count) {
        if (!FView.Document() || FView.IsReadOnly()) {
          FView.Beep();
        } else {
          FView.BeginUpdate();
          try {
            doc.Replace(w.Start, w.Count, text);
          } catch (...) {
            FView.EndUpdate();
            throw;
          }
          FView.EndUpdate();
        }
      }
      FView.ScrollToPos(AScrollPoint);
    }
  } catch (...) {
    leave();
    throw;
  }
  leave();
}

void TKivViewCompletion::MoveSelection(Integer ACommand) {
  const Integer count = static_cast<Integer>(FItems.size());
  if (count == 0) return;
  const Integer page = std::max<Integer>(1, FListHost ? FListHost->ListPageCount() : 1);
  Integer i = FItemIndex;
  switch (ACommand) {
    case sedCompletionUp:
      i = i <= 0 ? count - 1 : i - 1;
      break;
    case sedCompletionDown:
      i = i >= count - 1 ? 0 : i + 1;
      break;
    case sedCompletionPgUp:
      i = std::max<Integer>(0, i - page);
      break;
    case sedCompletionPgDown:
      i = std::min<Integer>(count - 1, i + page);
      break;
    case sedCompletionHome:
      i = 0;
      break;
    case sedCompletionEnd:
      i = count - 1;
      break;
    default:
      return;
  }
  SetItemIndex(i);
}

void TKivViewCompletion::StartTimer() {
  if (FHostReleased) return;
  if (!FTimer) {
    FTimer = FView.FHost.CreateTimer();
    FTimer->OnTick = [this] { TimerTick(); };
  }
  FTimer->Start(FCompletionTimeout, true);
}

void TKivViewCompletion::StopTimer() {
  if (FTimer) FTimer->Stop();
}

void TKivViewCompletion::ReleaseHost() {
  FHostReleased = true;
  FListHost = nullptr;
  FTimer.reset();
}

void TKivViewCompletion::HideList() {
  if (FListHost) FListHost->ShowList(false, 0, 0);
}

void TKivViewCompletion::TimerTick() {
  FView.ExitState(siComplTimer);
  if (FView.InState(siDestroing) || FView.InState(siIncrementalSearch)) return;
  FView.BeginUpdate();
  try {
    Show(fcTimeout, false);
  } catch (...) {
    FView.EndUpdate();
    throw;
  }
  FView.EndUpdate();
}

// ---- the view's side ----

TKivViewCompletion& TKivEditViewCore::Completion() const {
  return *FCompletion;
}

TKivEditCompletionSettings& TKivEditViewCore::CompletionSettings() const {
  return FCompletion->Settings();
}

void TKivEditViewCore::SetCompletionSettings(const TKivEditCompletionSettings& AValue) {
  FCompletion->Settings().Assign(AValue);
}

TKivString TKivEditViewCore::CompletionSeparators() const {
  return FCompletion->Separators();
}

Integer TKivEditViewCore::CompletionFillListDef(TKivCompletionItems& AItems, const TKivPoint& ACursorPoint,
                                                TKivEditFillCompletionCause ACause, TKivPoint& APosForCombo) {
  return FCompletion->FillListDef(AItems, ACursorPoint, ACause, APosForCombo);
}

void TKivEditViewCore::ShowCompletion(TKivEditFillCompletionCause ACause, bool AAllowSingleCommit) {
  BeginUpdate();
  try {
    FCompletion->Show(ACause, AAllowSingleCommit);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

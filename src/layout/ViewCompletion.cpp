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

// Membership in the completion separators: one bit per UTF-16 code unit.
class TSeparators {
 public:
  explicit TSeparators(const TKivString& ASeps) : FBits(1024, 0) {
    for (const Char c : ASeps) FBits[c >> 6] |= uint64_t(1) << (c & 63);
  }
  bool operator()(Char C) const { return (FBits[C >> 6] >> (C & 63)) & 1; }

 private:
  std::vector<uint64_t> FBits;
};

// The document's characters read where the storage keeps them, a contiguous run at a time
// (no window, no copy). Pointers stay valid while the text does not change.
class TTextReader {
 public:
  explicit TTextReader(TKivEditDocument& ADoc)
      : FDoc(ADoc), FStorage(dynamic_cast<const TKivTextStorage*>(&ADoc.Chars())), FCount(ADoc.CharsCount()) {}
  Integer Count() const { return FCount; }
  // AChunk ← character AIdx (< Count); the result is how many characters from there on are
  // contiguous (at least 1). Without the storage's own run, a copied block, valid until the
  // next call.
  Integer Chunk(Integer AIdx, const Char*& AChunk) {
    if (FStorage) {
      const Integer n = FStorage->GetChunk(AIdx, AChunk);
      if (n > 0) return n;
    }
    const Integer n = std::min<Integer>(kBlock, FCount - AIdx);
    FDoc.CopyChars(AIdx, n, FBlock);
    AChunk = FBlock;
    return n;
  }
  // One character, leaving earlier chunks valid.
  Char At(Integer AIdx) const {
    if (FStorage) {
      const Char* p = nullptr;
      if (FStorage->GetChunk(AIdx, p) > 0) return *p;
    }
    Char c = 0;
    FDoc.CopyChars(AIdx, 1, &c);
    return c;
  }
  // The first separator at or after AFrom, or the end of the text.
  Integer WordEnd(Integer AFrom, const TSeparators& AIsSep) {
    for (Integer p = AFrom; p < FCount;) {
      const Char* chunk = nullptr;
      const Integer n = Chunk(p, chunk);
      for (Integer i = 0; i < n; ++i)
        if (AIsSep(chunk[i])) return p + i;
      p += n;
    }
    return FCount;
  }
  // Characters [AStart, AStart + ACount) as a view: into the storage when they are contiguous
  // there, else copied into ABuf.
  TKivStringView View(Integer AStart, Integer ACount, TKivString& ABuf) {
    if (ACount == 0) return {};
    const Char* chunk = nullptr;
    if (FStorage && FStorage->GetChunk(AStart, chunk) >= ACount) return {chunk, size_t(ACount)};
    ABuf.resize(size_t(ACount));
    FDoc.CopyChars(AStart, ACount, ABuf.data());
    return ABuf;
  }

 private:
  static constexpr Integer kBlock = 4096;
  TKivEditDocument& FDoc;
  const TKivTextStorage* FStorage;
  Integer FCount;
  Char FBlock[kBlock];
};

// The words of the text that begin with a prefix, in text order. A text character c matches the
// prefix's character p when c = p or c = its alternative (p's other case, the regex engine's
// case inversion, without case sensitivity; p itself with it). At every word start (the text's
// start or after a separator) where the whole prefix matches, AFound(start, end) is called, end
// being the first separator at or after the prefix's end, and the search goes on from end;
// elsewhere it goes on at the next character. Most positions fail on the first character,
// checked in a tight loop over the storage's runs.
template <class F>
void ScanPrefixWords(TTextReader& AText, const TKivString& APrefix, const TKivString& AAlt, const TSeparators& AIsSep,
                     F&& AFound) {
  const Integer count = AText.Count();
  const Integer len = static_cast<Integer>(APrefix.size());
  const Integer lastStart = count - len;
  const Char c0 = APrefix[0];
  const Char a0 = AAlt[0];
  const auto rest = [&](Integer AStart, const Char* AText0, Integer AAvail) {
    // AText0 points at AStart with AAvail characters there.
    if (len <= AAvail) {
      for (Integer i = 1; i < len; ++i)
        if (AText0[i] != APrefix[size_t(i)] && AText0[i] != AAlt[size_t(i)]) return false;
      return true;
    }
    for (Integer i = 1; i < len; ++i) {
      const Char c = AText.At(AStart + i);
      if (c != APrefix[size_t(i)] && c != AAlt[size_t(i)]) return false;
    }
    return true;
  };
  Integer pos = 0;
  while (pos <= lastStart) {
    const Char* chunk = nullptr;
    const Integer n = AText.Chunk(pos, chunk);
    const Integer avail = std::min(n, lastStart + 1 - pos);
    const Char* p = chunk;
    const Char* const e = chunk + avail;
    bool found = false;
    for (;; ++p) {
      if (c0 == a0) {
        while (p < e && *p != c0) ++p;
      } else {
        while (p < e && *p != c0 && *p != a0) ++p;
      }
      if (p == e) break;
      const Integer s = pos + static_cast<Integer>(p - chunk);
      if (s > 0 && !AIsSep(p > chunk ? p[-1] : AText.At(s - 1))) continue;
      if (!rest(s, p, n - static_cast<Integer>(p - chunk))) continue;
      const Integer end = AText.WordEnd(s + len, AIsSep);
      AFound(s, end);
      pos = end;
      found = true;
      break;
    }
    if (!found) pos += avail;
  }
}

// A set of texts by their view: entries are indices into a list of strings that holds them.
class TWordSet {
 public:
  explicit TWordSet(const TKivCompletionItems& AItems) : FItems(AItems), FSlots(64, 0) {}
  // Whether the text is there; if not, remembers AIndex (the text's place in the list, filled by
  // the caller right after) under it.
  bool FindOrAdd(TKivStringView AText, size_t AIndex) {
    const uint64_t h = Hash(AText);
    size_t mask = FSlots.size() - 1;
    for (size_t i = h & mask;; i = (i + 1) & mask) {
      const uint32_t e = FSlots[i];
      if (e == 0) break;
      if (FItems[e - 1] == AText) return true;
    }
    if ((FUsed + 1) * 2 > FSlots.size()) {
      Grow();
      mask = FSlots.size() - 1;
    }
    size_t i = h & mask;
    while (FSlots[i] != 0) i = (i + 1) & mask;
    FSlots[i] = static_cast<uint32_t>(AIndex + 1);
    FHashes.resize(std::max(FHashes.size(), AIndex + 1));
    FHashes[AIndex] = h;
    ++FUsed;
    return false;
  }

 private:
  static uint64_t Hash(TKivStringView AText) {
    uint64_t h = 1469598103934665603ull;
    for (const Char c : AText) h = (h ^ c) * 1099511628211ull;
    return h ^ (h >> 29);
  }
  void Grow() {
    std::vector<uint32_t> slots(FSlots.size() * 2, 0);
    const size_t mask = slots.size() - 1;
    for (const uint32_t e : FSlots) {
      if (e == 0) continue;
      size_t i = FHashes[e - 1] & mask;
      while (slots[i] != 0) i = (i + 1) & mask;
      slots[i] = e;
    }
    FSlots.swap(slots);
  }

  const TKivCompletionItems& FItems;
  std::vector<uint32_t> FSlots;
  std::vector<uint64_t> FHashes;
  size_t FUsed = 0;
};

}  // namespace

// ---- the fill cache ----

// While the list is shown, typing changes only the word at the cursor (the "hole"), and the
// list for a prefix depends only on the text outside that word: the occurrence at the cursor is
// never listed, and a word that begins with the prefix holds no separator in its prefix part,
// so it can neither reach into the hole nor start inside it. The cache keeps the words of the
// last scan with the prefix it used, and listens to the document: it stays valid while every
// change falls inside the hole (the hole's end follows them), and any other change, or one it
// did not see, ends it. A refill for the same hole whose prefix extends a kept one filters that
// one's words: they keep their order and each text stays listed once. Every prefix's list is
// kept, so moving back to a shorter prefix already listed costs nothing either.
class TKivViewCompletion::TFillCache : public TKivDocumentListener {
 public:
  struct TLevel {
    TKivString Prefix;
    std::vector<uint32_t> Words;  // indices into FWords
  };

  TFillCache(TKivEditDocument& ADoc, const TKivTextStorage& AStorage, Integer AHoleStart, Integer AHoleEnd,
             const TKivString& ASeps, bool ACaseSens, const TKivString& APrefix, TKivCompletionItems AWords)
      : FDoc(&ADoc),
        FStorage(&AStorage),
        FStamp(AStorage.ChangeStamp()),
        FHoleStart(AHoleStart),
        FHoleEnd(AHoleEnd),
        FSeps(ASeps),
        FCaseSens(ACaseSens),
        FWords(std::move(AWords)) {
    TLevel all{APrefix, {}};
    all.Words.resize(FWords.size());
    for (size_t i = 0; i < FWords.size(); ++i) all.Words[i] = static_cast<uint32_t>(i);
    FLevels.push_back(std::move(all));
    FDoc->AddListener(this);
  }
  ~TFillCache() override { Invalidate(); }
  TFillCache(const TFillCache&) = delete;
  TFillCache& operator=(const TFillCache&) = delete;

  // The list for APrefix (its alternatives in AAlt) with the hole at [AHoleStart, AHoleEnd),
  // or none when the cache cannot tell it.
  const TLevel* Find(const TKivEditDocument& ADoc, Integer AHoleStart, Integer AHoleEnd, const TKivString& ASeps,
                     bool ACaseSens, const TKivString& APrefix, const TKivString& AAlt) {
    if (FDoc != &ADoc || FStorage->ChangeStamp() != FStamp || AHoleStart != FHoleStart || AHoleEnd != FHoleEnd ||
        ACaseSens != FCaseSens || ASeps != FSeps)
      return nullptr;
    const auto extends = [&](const TKivString& AKept) {
      return AKept.size() <= APrefix.size() && APrefix.compare(0, AKept.size(), AKept) == 0;
    };
    while (!FLevels.empty() && !extends(FLevels.back().Prefix)) FLevels.pop_back();
    if (FLevels.empty()) return nullptr;
    const TLevel& from = FLevels.back();
    if (from.Prefix.size() == APrefix.size()) return &from;
    TLevel next{APrefix, {}};
    const size_t len = APrefix.size();
    for (const uint32_t i : from.Words) {
      const TKivString& w = FWords[i];
      if (w.size() < len) continue;
      size_t k = from.Prefix.size();
      while (k < len && (w[k] == APrefix[k] || w[k] == AAlt[k])) ++k;
      if (k == len) next.Words.push_back(i);
    }
    FLevels.push_back(std::move(next));
    return &FLevels.back();
  }
  const TKivString& Word(uint32_t AIndex) const { return FWords[AIndex]; }

  // ---- TKivDocumentListener ----
  void BeforeInsert(Integer, Integer) override { CheckSeen(); }
  void BeforeDelete(Integer, Integer) override { CheckSeen(); }
  void AfterInsert(Integer AStart, Integer ALength) override {
    if (!FDoc) return;
    if (AStart < FHoleStart || AStart > FHoleEnd) return Invalidate();
    FHoleEnd += ALength;
    FStamp = FStorage->ChangeStamp();
  }
  void AfterDelete(Integer AStart, Integer ALength) override {
    if (!FDoc) return;
    if (AStart < FHoleStart || AStart + ALength > FHoleEnd) return Invalidate();
    FHoleEnd -= ALength;
    FStamp = FStorage->ChangeStamp();
  }
  void BeforeRefresh() override { Invalidate(); }
  void AfterRefresh() override { Invalidate(); }
  void DocumentDestroing() override { Invalidate(); }

 private:
  // A change the cache did not follow happened before this one.
  void CheckSeen() {
    if (FDoc && FStorage->ChangeStamp() != FStamp) Invalidate();
  }
  void Invalidate() {
    if (FDoc) FDoc->RemoveListener(this);
    FDoc = nullptr;
  }

  TKivEditDocument* FDoc;  // none: no longer valid
  const TKivTextStorage* FStorage;
  uint64_t FStamp;
  Integer FHoleStart;
  Integer FHoleEnd;
  TKivString FSeps;
  bool FCaseSens;
  TKivCompletionItems FWords;
  std::vector<TLevel> FLevels;
};

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

void TKivViewCompletion::DropFillCache() {
  FFillCache.reset();
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

  // Word boundaries are those of the completion separators; a text character matches the
  // prefix's as the regex engine matches a quoted literal (exactly, or in the other case).
  const TSeparators isSep(seps);
  TTextReader text(doc);
  TKivString alt = prefix;
  if (!FCompletionCaseSens)
    for (Char& c : alt) c = static_cast<Char>(TKivRegExp::InvertCaseFunction(c));

  // The cache holds when the word at the cursor is a whole word of separator-free characters
  // and no prefix character can match a separator.
  const Integer holeEnd = text.WordEnd(cursor.Offset, isSep);
  bool cacheable = w.Start == 0 || isSep(text.At(w.Start - 1));
  for (size_t i = 0; cacheable && i < prefix.size(); ++i) cacheable = !isSep(prefix[i]) && !isSep(alt[i]);
  if (cacheable && FFillCache && FView.InState(siComplListShown)) {
    if (const TFillCache::TLevel* level =
            FFillCache->Find(doc, w.Start, holeEnd, seps, FCompletionCaseSens, prefix, alt)) {
      for (const uint32_t i : level->Words) AItems.push_back(FFillCache->Word(i));
      return static_cast<Integer>(level->Words.size());
    }
  }
  DropFillCache();

  ++FFillScans;
  const size_t base = AItems.size();
  TWordSet seen(AItems);
  TKivString buf;
  ScanPrefixWords(text, prefix, alt, isSep, [&](Integer AStart, Integer AEnd) {
    if (AStart <= cursor.Offset && cursor.Offset <= AEnd) return;
    const TKivStringView word = text.View(AStart, AEnd - AStart, buf);
    if (!seen.FindOrAdd(word, AItems.size())) AItems.emplace_back(word);
  });
  const Integer added = static_cast<Integer>(AItems.size() - base);

  // Kept for the refills of a list being shown (a listener cannot join inside a compound edit).
  const auto* storage = dynamic_cast<const TKivTextStorage*>(&doc.Chars());
  if (cacheable && FKeepFill && storage && !doc.InsideCompoundEdit())
    FFillCache = std::make_unique<TFillCache>(
        doc, *storage, w.Start, holeEnd, seps, FCompletionCaseSens, prefix,
        TKivCompletionItems(AItems.begin() + static_cast<std::ptrdiff_t>(base), AItems.end()));
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
  FKeepFill = ACause != fcWordEnd;
  Integer count = 0;
  try {
    count = FillList(items, cursor, posForCombo, ACause);
  } catch (...) {
    FKeepFill = false;
    DropFillCache();
    throw;
  }
  FKeepFill = false;
  FItems = std::move(items);
  FItemIndex = count > 0 ? 0 : -1;
  if (FListHost) FListHost->ListItemsChanged();
  if (count <= 0) {
    FView.ExitState(siComplListShown);
    DropFillCache();
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
  if (!FView.InState(siComplListShown)) DropFillCache();
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
  DropFillCache();
  FHostReleased = true;
  FListHost = nullptr;
  FTimer.reset();
}

void TKivViewCompletion::HideList() {
  DropFillCache();
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

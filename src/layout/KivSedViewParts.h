// Settings objects a view (or a print task) owns through a part parent: the glyphs shown for
// special characters, and how highlighted ranges are drawn.
#pragma once

#include <array>

#include "KivComponent.h"
#include "KivLayoutTypes.h"

class TKivEditHighlightSettings;

// The owner side of a settings object. A change of a setting is bracketed by BeginChange and
// EndChange; EndChange(true) makes the owner lay its text out again.
class TKivViewPartParent {
 public:
  virtual ~TKivViewPartParent() = default;
  virtual void BeginChange() = 0;
  virtual void EndChange(bool AResetCache) = 0;
  // The component whose stored form holds the settings; none when it cannot be loaded.
  virtual TKivLoadable* GetOwnerComponent() = 0;
  // The highlight settings changed: highlighted text now draws with AAttrs (when AUse).
  virtual void HighlightSettingsChanged(const TKivEditAttributes& AAttrs, bool AUse) {
    (void)AAttrs;
    (void)AUse;
  }

 private:
  friend class TKivEditHighlightSettings;
  TKivEditHighlightSettings* FHighlightSettings = nullptr;  // the one highlight settings object
};

enum TKivSpecialCharKind : uint8_t {
  skTabTail,
  skTabHead,
  skSpace,
  skCR,
  skLF,
  skCRLF,
  skLineWrap,
  skFoldedLineEnd,
  skLineNumberBullet
};
inline constexpr int kivSpecialCharKindCount = 9;

// A set of TKivSpecialCharKind.
class TKivSpecialCharKinds {
 public:
  constexpr TKivSpecialCharKinds() = default;
  constexpr TKivSpecialCharKinds(std::initializer_list<TKivSpecialCharKind> AKinds) {
    for (TKivSpecialCharKind k : AKinds) FBits |= Bit(k);
  }
  constexpr bool Contains(TKivSpecialCharKind AKind) const { return (FBits & Bit(AKind)) != 0; }
  constexpr void Include(TKivSpecialCharKind AKind) { FBits |= Bit(AKind); }
  constexpr void Exclude(TKivSpecialCharKind AKind) { FBits &= ~Bit(AKind); }
  constexpr uint16_t Bits() const { return FBits; }
  friend bool operator==(const TKivSpecialCharKinds&, const TKivSpecialCharKinds&) = default;

 private:
  static constexpr uint16_t Bit(TKivSpecialCharKind AKind) { return uint16_t(1u << AKind); }
  uint16_t FBits = 0;
};

// The glyphs drawn for tabs, spaces, line ends, wrap points, folded line ends and line-number
// bullets, and which of them are shown. A glyph property reads as the character itself for codes
// 32..255 and as "#" with the decimal code otherwise; it is written either way.
class TKivSpecialChars {
 public:
  // Raises "This internal View class should not be created manually." without a parent.
  explicit TKivSpecialChars(TKivViewPartParent* AParent);
  TKivSpecialChars(const TKivSpecialChars&) = delete;
  // Copies the settings (not the parent), as one change.
  TKivSpecialChars& operator=(const TKivSpecialChars& ASource);

  static Char DefaultChar(TKivSpecialCharKind AKind);

  TKivFontCharset Charset() const { return FCharset; }
  void SetCharset(TKivFontCharset AValue);
  bool UseCharset() const { return FUseCharset; }
  void SetUseCharset(bool AValue);
  TKivSpecialCharKinds ShowCharKinds() const { return FShowCharKinds; }
  // Showing the tab head or the tab tail shows both.
  void SetShowCharKinds(TKivSpecialCharKinds AValue);

  // The glyph of a kind as a character, and in its text form.
  Char ShowChar(TKivSpecialCharKind AKind) const { return FShowChars[AKind]; }
  void SetShowChar(TKivSpecialCharKind AKind, Char AChar);
  TKivString GetCharText(TKivSpecialCharKind AKind) const;
  void SetCharText(TKivSpecialCharKind AKind, TKivStringView AText);
  // Whether the stored form keeps the glyph (it differs from its default).
  bool IsCharStored(TKivSpecialCharKind AKind) const;

  // The published glyph properties.
  TKivString TabTailShowChar() const { return GetCharText(skTabTail); }
  void SetTabTailShowChar(TKivStringView AValue) { SetCharText(skTabTail, AValue); }
  TKivString TabHeadShowChar() const { return GetCharText(skTabHead); }
  void SetTabHeadShowChar(TKivStringView AValue) { SetCharText(skTabHead, AValue); }
  TKivString SpaceShowChar() const { return GetCharText(skSpace); }
  void SetSpaceShowChar(TKivStringView AValue) { SetCharText(skSpace, AValue); }
  TKivString CRShowChar() const { return GetCharText(skCR); }
  void SetCRShowChar(TKivStringView AValue) { SetCharText(skCR, AValue); }
  TKivString LFShowChar() const { return GetCharText(skLF); }
  void SetLFShowChar(TKivStringView AValue) { SetCharText(skLF, AValue); }
  TKivString CRLFShowChar() const { return GetCharText(skCRLF); }
  void SetCRLFShowChar(TKivStringView AValue) { SetCharText(skCRLF, AValue); }
  TKivString LineWrapShowChar() const { return GetCharText(skLineWrap); }
  void SetLineWrapShowChar(TKivStringView AValue) { SetCharText(skLineWrap, AValue); }
  TKivString FoldedLineEndShowChar() const { return GetCharText(skFoldedLineEnd); }
  void SetFoldedLineEndShowChar(TKivStringView AValue) { SetCharText(skFoldedLineEnd, AValue); }
  TKivString LineNumberBulletChar() const { return GetCharText(skLineNumberBullet); }
  void SetLineNumberBulletChar(TKivStringView AValue) { SetCharText(skLineNumberBullet, AValue); }

 private:
  class TChange;
  TKivViewPartParent* FParent;
  TKivFontCharset FCharset = kivDefaultCharset;
  bool FUseCharset = true;
  std::array<Char, kivSpecialCharKindCount> FShowChars;
  std::array<Char, kivSpecialCharKindCount> FShowCharsDefault;
  TKivSpecialCharKinds FShowCharKinds{skFoldedLineEnd};
};

enum TKivHighlightProp : uint8_t { psTextColor = 1, psBackgroundColor = 2, psFontStyle = 4 };
using TKivHighlightProps = uint8_t;  // a set of TKivHighlightProp bits

// How highlighted ranges are drawn. One per view.
class TKivEditHighlightSettings {
 public:
  // Raises "This internal View class should not be created manually." without a parent or when
  // the parent already has one.
  explicit TKivEditHighlightSettings(TKivViewPartParent* AParent);
  TKivEditHighlightSettings(const TKivEditHighlightSettings&) = delete;
  TKivEditHighlightSettings& operator=(const TKivEditHighlightSettings& ASource);
  ~TKivEditHighlightSettings();

  TKivColor TextColor() const { return FHlSettings.TextColor; }
  void SetTextColor(TKivColor AValue);
  TKivColor BackgroundColor() const { return FHlSettings.BackgroundColor; }
  void SetBackgroundColor(TKivColor AValue);
  TKivFontStyles FontStyle() const { return FHlSettings.FontStyle; }
  void SetFontStyle(TKivFontStyles AValue);
  TKivHighlightProps PropsSet() const { return FPropsSet; }
  void SetPropsSet(TKivHighlightProps AValue);
  bool UseHighlight() const { return FUseHl; }
  void SetUseHighlight(bool AValue);

  // The attributes highlighted text gets (only the flags of PropsSet defined).
  const TKivEditAttributes& Attributes() const { return FHlSettings; }

 private:
  template <class F>
  void Change(F&& AStore);
  TKivViewPartParent* FParent;
  TKivEditAttributes FHlSettings;
  bool FUseHl = true;
  TKivHighlightProps FPropsSet = psBackgroundColor;
};

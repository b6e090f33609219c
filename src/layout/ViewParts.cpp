#include <utility>

#include "KivSedViewParts.h"

namespace {

constexpr const char16_t* kCreatedManually = u"This internal View class should not be created manually.";
constexpr const char16_t* kBadSpecialChar =
    u"Special char should be non-empty string with single char, or Delphi-like encoded char";

constexpr std::array<Char, kivSpecialCharKindCount> kDefaultChars = {
    u'\u2500', u'\u25BA', u'\u2219', u'\u00B6', u'\u00B6', u'\u00B6', u'\u00AC', u'\u2026', u'\u00B7'};

// "#" and a decimal code up to 65535; false for anything else.
bool ParseCharCode(TKivStringView AText, Char& AChar) {
  if (AText.size() < 2 || AText.size() > 6 || AText[0] != u'#') return false;
  uint32_t code = 0;
  for (Char c : AText.substr(1)) {
    if (c < u'0' || c > u'9') return false;
    code = code * 10 + (c - u'0');
  }
  if (code > 0xFFFF) return false;
  AChar = static_cast<Char>(code);
  return true;
}

// Opens the parent's change bracket and always closes it.
class TPartChange {
 public:
  TPartChange(TKivViewPartParent* AParent, bool AResetCache) : FParent(AParent), FReset(AResetCache) {
    FParent->BeginChange();
  }
  ~TPartChange() { FParent->EndChange(FReset); }
  TPartChange(const TPartChange&) = delete;
  TPartChange& operator=(const TPartChange&) = delete;

 private:
  TKivViewPartParent* FParent;
  bool FReset;
};

}  // namespace

// ---- TKivSpecialChars ----

TKivSpecialChars::TKivSpecialChars(TKivViewPartParent* AParent)
    : FParent(AParent), FShowChars(kDefaultChars), FShowCharsDefault(kDefaultChars) {
  if (!AParent) throw EKivEditViewError(kCreatedManually);
}

TKivSpecialChars& TKivSpecialChars::operator=(const TKivSpecialChars& ASource) {
  if (this == &ASource) return *this;
  TPartChange change(FParent, true);
  FCharset = ASource.FCharset;
  FUseCharset = ASource.FUseCharset;
  FShowChars = ASource.FShowChars;
  FShowCharKinds = ASource.FShowCharKinds;
  return *this;
}

Char TKivSpecialChars::DefaultChar(TKivSpecialCharKind AKind) {
  return kDefaultChars[AKind];
}

void TKivSpecialChars::SetCharset(TKivFontCharset AValue) {
  if (AValue == FCharset) return;
  TPartChange change(FParent, true);
  FCharset = AValue;
}

void TKivSpecialChars::SetUseCharset(bool AValue) {
  if (AValue == FUseCharset) return;
  TPartChange change(FParent, true);
  FUseCharset = AValue;
}

void TKivSpecialChars::SetShowCharKinds(TKivSpecialCharKinds AValue) {
  if (AValue.Contains(skTabTail) || AValue.Contains(skTabHead)) {
    AValue.Include(skTabTail);
    AValue.Include(skTabHead);
  }
  if (AValue == FShowCharKinds) return;
  TPartChange change(FParent, true);
  FShowCharKinds = AValue;
}

void TKivSpecialChars::SetShowChar(TKivSpecialCharKind AKind, Char AChar) {
  if (FShowChars[AKind] == AChar) return;
  TPartChange change(FParent, true);
  FShowChars[AKind] = AChar;
}

TKivString TKivSpecialChars::GetCharText(TKivSpecialCharKind AKind) const {
  const Char c = FShowChars[AKind];
  if (c >= 32 && c <= 255) return TKivString(1, c);
  return u"#" + KivFromUtf8(std::to_string(unsigned(c)));
}

void TKivSpecialChars::SetCharText(TKivSpecialCharKind AKind, TKivStringView AText) {
  Char c = 0;
  if (AText.size() == 1) {
    c = AText[0];
  } else if (!ParseCharCode(AText, c)) {
    TKivLoadable* owner = FParent->GetOwnerComponent();
    if (!(owner && owner->IsLoading() && !AText.empty() && AText[0] == u'#'))
      throw EKivEditViewError(kBadSpecialChar);
    c = FShowCharsDefault[AKind];
  }
  SetShowChar(AKind, c);
}

bool TKivSpecialChars::IsCharStored(TKivSpecialCharKind AKind) const {
  return FShowChars[AKind] != FShowCharsDefault[AKind];
}

// ---- TKivEditHighlightSettings ----

TKivEditHighlightSettings::TKivEditHighlightSettings(TKivViewPartParent* AParent) : FParent(AParent) {
  if (!AParent || AParent->FHighlightSettings) throw EKivEditViewError(kCreatedManually);
  AParent->FHighlightSettings = this;
  FHlSettings.TextColor = 0x000000;
  FHlSettings.BackgroundColor = 0x00FFFF;
  FHlSettings.FontStyle = 0;
  FHlSettings.AttributesSet = asBackgroundColor;
}

TKivEditHighlightSettings::~TKivEditHighlightSettings() {
  FParent->FHighlightSettings = nullptr;
}

TKivEditHighlightSettings& TKivEditHighlightSettings::operator=(const TKivEditHighlightSettings& ASource) {
  if (this != &ASource)
    Change([&] {
      FHlSettings = ASource.FHlSettings;
      FUseHl = ASource.FUseHl;
      FPropsSet = ASource.FPropsSet;
    });
  return *this;
}

template <class F>
void TKivEditHighlightSettings::Change(F&& AStore) {
  TPartChange change(FParent, false);
  AStore();
  FParent->HighlightSettingsChanged(FHlSettings, FUseHl);
}

void TKivEditHighlightSettings::SetTextColor(TKivColor AValue) {
  if (AValue != FHlSettings.TextColor) Change([&] { FHlSettings.TextColor = AValue; });
}

void TKivEditHighlightSettings::SetBackgroundColor(TKivColor AValue) {
  if (AValue != FHlSettings.BackgroundColor) Change([&] { FHlSettings.BackgroundColor = AValue; });
}

void TKivEditHighlightSettings::SetFontStyle(TKivFontStyles AValue) {
  AValue &= fsBold | fsItalic | fsUnderline | fsStrikeOut;
  if (AValue != FHlSettings.FontStyle) Change([&] { FHlSettings.FontStyle = AValue; });
}

void TKivEditHighlightSettings::SetPropsSet(TKivHighlightProps AValue) {
  AValue &= psTextColor | psBackgroundColor | psFontStyle;
  if (AValue == FPropsSet) return;
  Change([&] {
    FPropsSet = AValue;
    FHlSettings.AttributesSet = TKivEditAttributesSet((AValue & psTextColor ? asTextColor : 0) |
                                                      (AValue & psBackgroundColor ? asBackgroundColor : 0) |
                                                      (AValue & psFontStyle ? asFontStyle : 0));
  });
}

void TKivEditHighlightSettings::SetUseHighlight(bool AValue) {
  if (AValue != FUseHl) Change([&] { FUseHl = AValue; });
}

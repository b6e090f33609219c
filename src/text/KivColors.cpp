// Text form of colours and the table of named colours.
#include <array>

#include "KivNamedColors.h"
#include "KivSedUtils.h"
#include "KivUnicode.h"

namespace {

struct TNamedColor {
  const char16_t* Name;
  TKivColor Color;
};

constexpr TKivColor Hex(Cardinal ARrggbb) {
  return KivRGB(ARrggbb >> 16, ARrggbb >> 8, ARrggbb);
}

}  // namespace

const std::array<TKivNamedColor, 16> kivStandardColors = {{
    {u"Black", Hex(0x000000)},
    {u"Maroon", Hex(0x800000)},
    {u"Green", Hex(0x008000)},
    {u"Olive", Hex(0x808000)},
    {u"Navy", Hex(0x000080)},
    {u"Purple", Hex(0x800080)},
    {u"Teal", Hex(0x008080)},
    {u"Gray", Hex(0x808080)},
    {u"Silver", Hex(0xC0C0C0)},
    {u"Red", Hex(0xFF0000)},
    {u"Lime", Hex(0x00FF00)},
    {u"Yellow", Hex(0xFFFF00)},
    {u"Blue", Hex(0x0000FF)},
    {u"Fuchsia", Hex(0xFF00FF)},
    {u"Aqua", Hex(0x00FFFF)},
    {u"White", Hex(0xFFFFFF)},
}};

namespace {

// Names beyond the standard sixteen, as written after the "cl" prefix of the platform's table;
// looked up without regard to case.
constexpr TNamedColor kNamedColors[] = {
    {u"LtGray", Hex(0xC0C0C0)},
    {u"DkGray", Hex(0x808080)},
    {u"MoneyGreen", Hex(0xC0DCC0)},
    {u"SkyBlue", Hex(0xA6CAF0)},
    {u"Cream", Hex(0xFFFBF0)},
    {u"MedGray", Hex(0xA0A0A4)},
    // System colours.
    {u"ScrollBar", KivSystemColor(scScrollBar)},
    {u"Background", KivSystemColor(scBackground)},
    {u"ActiveCaption", KivSystemColor(scActiveCaption)},
    {u"InactiveCaption", KivSystemColor(scInactiveCaption)},
    {u"Menu", KivSystemColor(scMenu)},
    {u"Window", KivSystemColor(scWindow)},
    {u"WindowFrame", KivSystemColor(scWindowFrame)},
    {u"MenuText", KivSystemColor(scMenuText)},
    {u"WindowText", KivSystemColor(scWindowText)},
    {u"CaptionText", KivSystemColor(scCaptionText)},
    {u"ActiveBorder", KivSystemColor(scActiveBorder)},
    {u"InactiveBorder", KivSystemColor(scInactiveBorder)},
    {u"AppWorkSpace", KivSystemColor(scAppWorkSpace)},
    {u"Highlight", KivSystemColor(scHighlight)},
    {u"HighlightText", KivSystemColor(scHighlightText)},
    {u"BtnFace", KivSystemColor(scBtnFace)},
    {u"BtnShadow", KivSystemColor(scBtnShadow)},
    {u"GrayText", KivSystemColor(scGrayText)},
    {u"BtnText", KivSystemColor(scBtnText)},
    {u"InactiveCaptionText", KivSystemColor(scInactiveCaptionText)},
    {u"BtnHighlight", KivSystemColor(scBtnHighlight)},
    {u"3DDkShadow", KivSystemColor(sc3DDkShadow)},
    {u"3DLight", KivSystemColor(sc3DLight)},
    {u"InfoText", KivSystemColor(scInfoText)},
    {u"InfoBk", KivSystemColor(scInfoBk)},
    {u"HotLight", KivSystemColor(scHotLight)},
    {u"GradientActiveCaption", KivSystemColor(scGradientActiveCaption)},
    {u"GradientInactiveCaption", KivSystemColor(scGradientInactiveCaption)},
    {u"MenuHighlight", KivSystemColor(scMenuHighlight)},
    {u"MenuBar", KivSystemColor(scMenuBar)},
};

// Defaults of the system colours when no resolver is installed (a light desktop theme).
constexpr std::array<Cardinal, 31> kSysDefaults = {
    0xC8C8C8,  // ScrollBar
    0x000000,  // Background
    0x99B4D1,  // ActiveCaption
    0xBFCDDB,  // InactiveCaption
    0xF0F0F0,  // Menu
    0xFFFFFF,  // Window
    0x646464,  // WindowFrame
    0x000000,  // MenuText
    0x000000,  // WindowText
    0x000000,  // CaptionText
    0xB4B4B4,  // ActiveBorder
    0xF4F7FC,  // InactiveBorder
    0xABABAB,  // AppWorkSpace
    0x3399FF,  // Highlight
    0xFFFFFF,  // HighlightText
    0xF0F0F0,  // BtnFace
    0xA0A0A0,  // BtnShadow
    0x6D6D6D,  // GrayText
    0x000000,  // BtnText
    0x434E54,  // InactiveCaptionText
    0xFFFFFF,  // BtnHighlight
    0x696969,  // 3DDkShadow
    0xE3E3E3,  // 3DLight
    0x000000,  // InfoText
    0xFFFFE1,  // InfoBk
    0x000000,  // (unused index)
    0x0066CC,  // HotLight
    0xB9D1EA,  // GradientActiveCaption
    0xD7E4F2,  // GradientInactiveCaption
    0x3399FF,  // MenuHighlight
    0xF0F0F0,  // MenuBar
};

TKivSysColorResolver gSysColorResolver = nullptr;

bool SameNameNoCase(TKivStringView A, const char16_t* B) {
  size_t i = 0;
  for (; i < A.size(); ++i) {
    if (B[i] == 0 || KivLowCase(A[i]) != KivLowCase(B[i])) return false;
  }
  return B[i] == 0;
}

int HexDigit(Char AChar) {
  if (AChar >= u'0' && AChar <= u'9') return AChar - u'0';
  if (AChar >= u'a' && AChar <= u'f') return AChar - u'a' + 10;
  if (AChar >= u'A' && AChar <= u'F') return AChar - u'A' + 10;
  return -1;
}

}  // namespace

void KivSetSysColorResolver(TKivSysColorResolver AResolver) {
  gSysColorResolver = AResolver;
}

TKivColor KivResolveColor(TKivColor AColor) {
  if (!KivIsSystemColor(AColor)) return AColor & 0xFFFFFF;
  const unsigned index = AColor & 0xFF;
  if (gSysColorResolver) {
    const Integer rgb = gSysColorResolver(index);
    if (rgb >= 0) return static_cast<TKivColor>(rgb) & 0xFFFFFF;
  }
  return index < kSysDefaults.size() ? Hex(kSysDefaults[index]) : 0;
}

bool TextToColor(TKivStringView AText, TKivColor& AColor) {
  // Trimmed as the platform trims: every control character and space.
  size_t b = 0, e = AText.size();
  while (b < e && AText[b] <= u' ') ++b;
  while (e > b && AText[e - 1] <= u' ') --e;
  const TKivStringView text = AText.substr(b, e - b);
  if (text.empty()) return false;
  if (text[0] == u'#') {
    const TKivStringView digits = text.substr(1);
    if (digits.size() > 6) return false;
    Cardinal rgb = 0;
    for (Char c : digits) {
      const int d = HexDigit(c);
      if (d < 0) return false;
      rgb = (rgb << 4) | static_cast<Cardinal>(d);
    }
    AColor = Hex(rgb);
    return true;
  }
  for (const auto& named : kivStandardColors) {
    if (SameNameNoCase(text, named.Name)) {
      AColor = named.Value;
      return true;
    }
  }
  for (const auto& named : kNamedColors) {
    if (SameNameNoCase(text, named.Name)) {
      AColor = named.Color;
      return true;
    }
  }
  return false;
}

TKivString ColorToText(TKivColor AColor) {
  const TKivColor rgb = KivResolveColor(AColor);
  return KivFormat(u"#%.2X%.2X%.2X", {KivRed(rgb), KivGreen(rgb), KivBlue(rgb)});
}

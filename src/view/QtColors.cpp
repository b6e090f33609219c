// System colours through the application's palette, and colour conversion.
#include <QGuiApplication>
#include <QPalette>

#include "KivSedQtColors.h"

namespace {

// The palette role standing for each system colour that has one.
struct TPaletteRole {
  unsigned Index;
  QPalette::ColorGroup Group;
  QPalette::ColorRole Role;
};

constexpr TPaletteRole kPaletteRoles[] = {
    {scWindow, QPalette::Active, QPalette::Base},
    {scWindowText, QPalette::Active, QPalette::Text},
    {scHighlight, QPalette::Active, QPalette::Highlight},
    {scMenuHighlight, QPalette::Active, QPalette::Highlight},
    {scHighlightText, QPalette::Active, QPalette::HighlightedText},
    {scBtnFace, QPalette::Active, QPalette::Window},
    {scMenu, QPalette::Active, QPalette::Window},
    {scMenuBar, QPalette::Active, QPalette::Window},
    {scBtnText, QPalette::Active, QPalette::WindowText},
    {scMenuText, QPalette::Active, QPalette::WindowText},
    {scGrayText, QPalette::Disabled, QPalette::Text},
    {scBtnShadow, QPalette::Active, QPalette::Dark},
    {scBtnHighlight, QPalette::Active, QPalette::Light},
    {sc3DDkShadow, QPalette::Active, QPalette::Shadow},
    {sc3DLight, QPalette::Active, QPalette::Midlight},
    {scInfoText, QPalette::Active, QPalette::ToolTipText},
    {scInfoBk, QPalette::Active, QPalette::ToolTipBase},
    {scHotLight, QPalette::Active, QPalette::Link},
};

}  // namespace

Integer KivPaletteSysColor(unsigned AIndex) {
  if (!qGuiApp) return -1;
  for (const TPaletteRole& role : kPaletteRoles)
    if (role.Index == AIndex)
      return Integer(KivFromQColor(QGuiApplication::palette().color(role.Group, role.Role)));
  return -1;
}

void KivInstallPaletteColors() {
  KivSetSysColorResolver(&KivPaletteSysColor);
}

QColor KivToQColor(TKivColor AColor) {
  TKivColor rgb = AColor;
  if (KivIsSystemColor(AColor)) {
    const Integer palette = KivPaletteSysColor(AColor & 0xFF);
    rgb = palette >= 0 ? TKivColor(palette) : KivResolveColor(AColor);
  }
  return QColor(int(KivRed(rgb)), int(KivGreen(rgb)), int(KivBlue(rgb)));
}

TKivColor KivFromQColor(const QColor& AColor) {
  const QColor rgb = AColor.toRgb();
  return KivRGB(unsigned(rgb.red()), unsigned(rgb.green()), unsigned(rgb.blue()));
}

// System colours through the application's palette, and colour conversion.
#include <QGuiApplication>
#include <QPalette>

#include "KivSedQtColors.h"

namespace {

// The palette role standing for a system colour, or false when none does.
bool PaletteRole(unsigned AIndex, QPalette::ColorGroup& AGroup, QPalette::ColorRole& ARole) {
  AGroup = QPalette::Active;
  switch (AIndex) {
    case scWindow:
      ARole = QPalette::Base;
      return true;
    case scWindowText:
      ARole = QPalette::Text;
      return true;
    case scHighlight:
    case scMenuHighlight:
      ARole = QPalette::Highlight;
      return true;
    case scHighlightText:
      ARole = QPalette::HighlightedText;
      return true;
    case scBtnFace:
    case scMenu:
    case scMenuBar:
      ARole = QPalette::Window;
      return true;
    case scBtnText:
    case scMenuText:
      ARole = QPalette::WindowText;
      return true;
    case scGrayText:
      AGroup = QPalette::Disabled;
      ARole = QPalette::Text;
      return true;
    case scBtnShadow:
      ARole = QPalette::Dark;
      return true;
    case scBtnHighlight:
      ARole = QPalette::Light;
      return true;
    case sc3DDkShadow:
      ARole = QPalette::Shadow;
      return true;
    case sc3DLight:
      ARole = QPalette::Midlight;
      return true;
    case scInfoText:
      ARole = QPalette::ToolTipText;
      return true;
    case scInfoBk:
      ARole = QPalette::ToolTipBase;
      return true;
    case scHotLight:
      ARole = QPalette::Link;
      return true;
    default:
      return false;
  }
}

}  // namespace

Integer KivPaletteSysColor(unsigned AIndex) {
  QPalette::ColorGroup group;
  QPalette::ColorRole role;
  if (!qGuiApp || !PaletteRole(AIndex, group, role)) return -1;
  return Integer(KivFromQColor(QGuiApplication::palette().color(group, role)));
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

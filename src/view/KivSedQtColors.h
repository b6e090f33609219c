// Colours between the library's values and Qt's: plain colours convert directly, system colours
// come from the application's palette.
#pragma once

#include <QColor>

#include "KivSedUtils.h"

// The palette colour (0x00BBGGRR) of a system colour index, or -1 when the index has no palette
// role or there is no application object.
Integer KivPaletteSysColor(unsigned AIndex);
// Makes every system colour of the library resolve through the application's palette.
void KivInstallPaletteColors();

QColor KivToQColor(TKivColor AColor);
TKivColor KivFromQColor(const QColor& AColor);

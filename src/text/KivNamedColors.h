// The standard named colours, for lists that offer colours by name.
#pragma once

#include <array>

#include "KivSedUtils.h"

// A colour with its name.
struct TKivNamedColor {
  const char16_t* Name;
  TKivColor Value;
};

// The standard sixteen named colours ("Black", "Maroon", ... "White"), in their usual order;
// TextToColor knows these names and a few more.
extern const std::array<TKivNamedColor, 16> kivStandardColors;

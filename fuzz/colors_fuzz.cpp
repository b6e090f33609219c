// Colour texts come from scheme files: parsing must never crash, and whatever parses must
// write back to a text that parses to the same resolved colour.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "KivSedUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  TKivString text(reinterpret_cast<const char16_t*>(AData), ASize / 2);
  TKivColor color = 0;
  if (!TextToColor(text, color)) return 0;
  const TKivString written = ColorToText(color);
  TKivColor again = 0;
  if (!TextToColor(written, again) || KivResolveColor(again) != KivResolveColor(color)) std::abort();
  return 0;
}

#include "KivUnicode.h"

#include <unicode/uchar.h>

#include <array>

namespace {

// Built once: 64K entries each, so every lookup afterwards is a single array read.
struct TUnicodeTables {
  std::array<uint8_t, 0x10000> Category;
  std::array<char16_t, 0x10000> Upper;
  std::array<char16_t, 0x10000> Lower;

  TUnicodeTables() {
    for (uint32_t c = 0; c < 0x10000; ++c) {
      if (c >= 0xD800 && c <= 0xDFFF) {
        Category[c] = static_cast<uint8_t>(U_SURROGATE);
        Upper[c] = Lower[c] = static_cast<char16_t>(c);
        continue;
      }
      Category[c] = static_cast<uint8_t>(u_charType(static_cast<UChar32>(c)));
      UChar32 up = u_toupper(static_cast<UChar32>(c));
      UChar32 lo = u_tolower(static_cast<UChar32>(c));
      Upper[c] = up <= 0xFFFF ? static_cast<char16_t>(up) : static_cast<char16_t>(c);
      Lower[c] = lo <= 0xFFFF ? static_cast<char16_t>(lo) : static_cast<char16_t>(c);
    }
  }
};

const TUnicodeTables& Tables() {
  static const TUnicodeTables tables;
  return tables;
}

}  // namespace

TKivCharCategory KivCharCategory(char16_t AChar) {
  return static_cast<TKivCharCategory>(Tables().Category[AChar]);
}
char16_t KivUpCase(char16_t AChar) { return Tables().Upper[AChar]; }
char16_t KivLowCase(char16_t AChar) { return Tables().Lower[AChar]; }

// Unicode character data for the whole library, read one UTF-16 code unit at a time.
//
// Every part (regex classes, word search, case-insensitive comparison, XML names) asks here,
// so categories and case mappings are the same everywhere. A surrogate code unit has the
// category "surrogate" and maps to itself.
#pragma once

#include <cstdint>

// General categories, numbered as ICU's UCharCategory (U_UNASSIGNED = 0 ... U_FINAL_PUNCTUATION = 29).
enum class TKivCharCategory : uint8_t {
  Cn = 0, Lu, Ll, Lt, Lm, Lo, Mn, Me, Mc, Nd, Nl, No, Zs, Zl, Zp, Cc, Cf, Co, Cs,
  Pd, Ps, Pe, Pc, Po, Sm, Sc, Sk, So, Pi, Pf
};

TKivCharCategory KivCharCategory(char16_t AChar);
// Simple one-to-one mappings; a code unit without a single-unit mapping maps to itself.
char16_t KivUpCase(char16_t AChar);
char16_t KivLowCase(char16_t AChar);

inline bool KivIsLetter(char16_t AChar) {
  auto c = KivCharCategory(AChar);
  return c >= TKivCharCategory::Lu && c <= TKivCharCategory::Lo;
}
inline bool KivIsDigit(char16_t AChar) { return KivCharCategory(AChar) == TKivCharCategory::Nd; }

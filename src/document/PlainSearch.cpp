// Forward plain-text search by chunks, with a two-character filter (SSE2 where available).
#include "internal/PlainSearch.h"

#include <algorithm>

#include "KivUnicode.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

TPlainSearcher::TPlainSearcher(const TKivString& APattern, bool ACaseSensitive)
    : FPattern(APattern), FCaseSensitive(ACaseSensitive), FLen(static_cast<Integer>(APattern.size())) {
  FFolded = FPattern;
  for (Char& c : FFolded) c = Fold(c);
  if (FLen > 0) FFirst = Variants(0);
  if (FLen > 1) FSecond = Variants(1);
}

Char TPlainSearcher::Fold(Char AChar) {
  return KivLowCase(AChar);
}

namespace {

// Every code unit grouped by its folded form: the units folding to F are
// FUnits[FStarts[F] .. FStarts[F + 1]).
struct TFoldClasses {
  std::vector<Integer> FStarts = std::vector<Integer>(0x10001, 0);
  std::vector<Char> FUnits = std::vector<Char>(0x10000);

  TFoldClasses() {
    for (unsigned c = 0; c <= 0xFFFF; ++c) ++FStarts[KivLowCase(static_cast<Char>(c)) + 1];
    for (unsigned f = 1; f <= 0x10000; ++f) FStarts[f] += FStarts[f - 1];
    std::vector<Integer> next(FStarts.begin(), FStarts.end() - 1);
    for (unsigned c = 0; c <= 0xFFFF; ++c) FUnits[next[KivLowCase(static_cast<Char>(c))]++] = static_cast<Char>(c);
  }
};

}  // namespace

std::vector<Char> TPlainSearcher::Variants(Integer AIdx) const {
  if (FCaseSensitive) return {FPattern[AIdx]};
  static const TFoldClasses classes;
  const Char folded = FFolded[AIdx];
  return std::vector<Char>(classes.FUnits.begin() + classes.FStarts[folded],
                           classes.FUnits.begin() + classes.FStarts[folded + 1]);
}

bool TPlainSearcher::MatchAt(TKivTextStorage& AText, Integer APos, const Char* AChunk, Integer AAvail) const {
  if (AAvail >= FLen) {
    for (Integer j = 0; j < FLen; ++j)
      if (!Same(AChunk[j], j)) return false;
    return true;
  }
  for (Integer j = 0; j < FLen; ++j)
    if (!Same(AText.GetChar(APos + j), j)) return false;
  return true;
}

namespace {

#if defined(__SSE2__)
// Any of the first NRegs of the registers equal to the code unit, per 16-bit lane.
template <int NRegs>
inline __m128i AnyOf(__m128i AX, const __m128i* AVariants) {
  __m128i m = _mm_cmpeq_epi16(AX, AVariants[0]);
  if constexpr (NRegs > 1) m = _mm_or_si128(m, _mm_cmpeq_epi16(AX, AVariants[1]));
  if constexpr (NRegs > 2)
    m = _mm_or_si128(m, _mm_or_si128(_mm_cmpeq_epi16(AX, AVariants[2]), _mm_cmpeq_epi16(AX, AVariants[3])));
  return m;
}

// The start positions among the 8 from AP whose first character is among the first NA registers
// of AFirst and (NB > 0) whose second is among the first NB of ASecond: two mask bits each.
template <int NA, int NB>
inline unsigned CandidateMask(const Char* AP, const __m128i* AFirst, const __m128i* ASecond) {
  __m128i m = AnyOf<NA>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(AP)), AFirst);
  if constexpr (NB > 0)
    m = _mm_and_si128(m, AnyOf<NB>(_mm_loadu_si128(reinterpret_cast<const __m128i*>(AP + 1)), ASecond));
  return static_cast<unsigned>(_mm_movemask_epi8(m)) & 0x5555u;
}
#endif

bool OneOf(const std::vector<Char>& ASet, Char AChar) {
  for (Char c : ASet)
    if (c == AChar) return true;
  return false;
}

}  // namespace

Integer TPlainSearcher::Find(TKivTextStorage& AText, Integer AStart, Integer AEnd) const {
  const Integer last = AEnd - FLen;  // the last start position
  if (FLen == 0 || last < AStart) return -1;
  const bool two = FLen > 1;
  Integer i = AStart;
  while (i <= last) {
    const Char* chunk = nullptr;
    const Integer k = AText.GetChunk(i, chunk);
    // Start positions i .. stop lie in this chunk; up to inStop the filter's characters do too.
    const Integer stop = std::min<Integer>(last, i + k - 1);
    const Integer inStop = two ? std::min(stop, i + k - 2) : stop;
    Integer j = i;
#if defined(__SSE2__)
    if (FFirst.size() <= 4 && FSecond.size() <= 4) {
      // Up to four variants of each character, repeated to fill four registers; only as many of
      // them are compared as there are distinct variants (1, 2, else 4).
      __m128i a[4], b[4];
      for (size_t v = 0; v < 4; ++v) {
        a[v] = _mm_set1_epi16(static_cast<short>(FFirst[v % FFirst.size()]));
        b[v] = _mm_set1_epi16(static_cast<short>(two ? FSecond[v % FSecond.size()] : 0));
      }
      // Blocks of 8 start positions whose filter characters all lie in the chunk; the found
      // start, or -1 with j past the blocks.
      const auto blocks = [&]<int NA, int NB>() -> Integer {
        while (j + 8 + (two ? 1 : 0) <= i + k && j + 7 <= inStop) {
          const Char* p = chunk + (j - i);
          unsigned mask = CandidateMask<NA, NB>(p, a, b);
          while (mask != 0) {
            const Integer at = j + __builtin_ctz(mask) / 2;
            if (MatchAt(AText, at, chunk + (at - i), k - (at - i))) return at;
            mask &= mask - 1;
          }
          j += 8;
        }
        return -1;
      };
      const auto registers = [](size_t ACount) { return ACount <= 1 ? 1 : ACount == 2 ? 2 : 4; };
      const int nb = two ? registers(FSecond.size()) : 0;
      const auto withSecond = [&]<int NA>() -> Integer {
        switch (nb) {
          case 0:
            return blocks.template operator()<NA, 0>();
          case 1:
            return blocks.template operator()<NA, 1>();
          case 2:
            return blocks.template operator()<NA, 2>();
          default:
            return blocks.template operator()<NA, 4>();
        }
      };
      Integer found = -1;
      switch (registers(FFirst.size())) {
        case 1:
          found = withSecond.template operator()<1>();
          break;
        case 2:
          found = withSecond.template operator()<2>();
          break;
        default:
          found = withSecond.template operator()<4>();
          break;
      }
      if (found >= 0) return found;
    }
#endif
    for (; j <= inStop; ++j) {
      const Char* p = chunk + (j - i);
      if (OneOf(FFirst, p[0]) && (!two || OneOf(FSecond, p[1])) && MatchAt(AText, j, p, k - (j - i))) return j;
    }
    // A start position whose second character lies in the next chunk.
    for (; j <= stop; ++j)
      if (MatchAt(AText, j, chunk + (j - i), k - (j - i))) return j;
    i = stop + 1;
  }
  return -1;
}

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
      // Up to four variants of each character, repeated to fill four registers.
      __m128i a[4], b[4];
      for (size_t v = 0; v < 4; ++v) {
        a[v] = _mm_set1_epi16(static_cast<short>(FFirst[v % FFirst.size()]));
        b[v] = _mm_set1_epi16(static_cast<short>(two ? FSecond[v % FSecond.size()] : 0));
      }
      auto anyOf = [](__m128i x, const __m128i* vs) {
        return _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi16(x, vs[0]), _mm_cmpeq_epi16(x, vs[1])),
                            _mm_or_si128(_mm_cmpeq_epi16(x, vs[2]), _mm_cmpeq_epi16(x, vs[3])));
      };
      // Blocks of 8 start positions whose filter characters all lie in the chunk.
      while (j + 8 + (two ? 1 : 0) <= i + k && j + 7 <= inStop) {
        const Char* p = chunk + (j - i);
        const __m128i x0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        __m128i m = anyOf(x0, a);
        if (two) m = _mm_and_si128(m, anyOf(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1)), b));
        unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(m)) & 0x5555u;
        while (mask != 0) {
          const Integer at = j + __builtin_ctz(mask) / 2;
          if (MatchAt(AText, at, chunk + (at - i), k - (at - i))) return at;
          mask &= mask - 1;
        }
        j += 8;
      }
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

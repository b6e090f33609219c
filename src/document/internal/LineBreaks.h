// Finding line separators in raw text: shared by the line index and by the storage, which
// records them while a whole text is appended so that loading reads the text only once.
#pragma once

#include <algorithm>

#include "KivTypes.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// A line index entry: the offset where a line's content ends (its separator's offset), with a
// flag when the separator is CR LF.
inline constexpr Cardinal KivLineEndOffsetMask = 0x3FFFFFFF;
inline constexpr Cardinal KivLineEndFlagCRLF = 0x40000000;

#if defined(__SSE2__)
// One bit per character of the 16 at AAt: set for CR and LF.
inline unsigned KivBreakMask16(const Char* AAt) {
  const __m128i cr = _mm_set1_epi16(static_cast<short>(u'\r'));
  const __m128i lf = _mm_set1_epi16(static_cast<short>(u'\n'));
  const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(AAt));
  const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(AAt + 8));
  const __m128i ma = _mm_or_si128(_mm_cmpeq_epi16(a, cr), _mm_cmpeq_epi16(a, lf));
  const __m128i mb = _mm_or_si128(_mm_cmpeq_epi16(b, cr), _mm_cmpeq_epi16(b, lf));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(ma, mb)));
}
#endif

// Appends an entry to AOut for every separator that starts in AText[0 .. ACount), whose first
// character is at offset ABase. A CR at the end of the piece is recorded as a lone CR. A CR LF
// split between pieces is joined: when APrevIsCR says that the character before the piece is a
// CR (then the last entry of AOut) and the piece starts with LF, that entry gets the flag.
inline void KivAppendLineEnds(const Char* AText, Integer ACount, Integer ABase, bool APrevIsCR,
                              TKivIntArray& AOut) {
  Integer i = 0;
  if (APrevIsCR && ACount > 0 && AText[0] == u'\n') {
    AOut.back() = static_cast<int32_t>(static_cast<Cardinal>(AOut.back()) | KivLineEndFlagCRLF);
    i = 1;
  }
  // Records the separator at AText[AIdx]; returns its length.
  auto separator = [&](Integer AIdx) -> Integer {
    if (AText[AIdx] == u'\r' && AIdx + 1 < ACount && AText[AIdx + 1] == u'\n') {
      AOut.push_back(static_cast<int32_t>(static_cast<Cardinal>(ABase + AIdx) | KivLineEndFlagCRLF));
      return 2;
    }
    AOut.push_back(ABase + AIdx);
    return 1;
  };
#if defined(__SSE2__)
  while (ACount - i >= 16) {
    Integer next = i + 16;
    for (unsigned mask = KivBreakMask16(AText + i); mask != 0; mask &= mask - 1) {
      const auto bit = static_cast<Integer>(__builtin_ctz(mask));
      if (separator(i + bit) == 2) {
        // The LF of the pair is not a separator of its own, in this block or the next.
        mask &= ~(2u << bit);
        next = std::max(next, i + bit + 2);
      }
    }
    i = next;
  }
#endif
  while (i < ACount) {
    if (AText[i] == u'\r' || AText[i] == u'\n')
      i += separator(i);
    else
      ++i;
  }
}

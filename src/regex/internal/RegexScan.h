// Internal: scans over UTF-16 units, sixteen bytes at a time where SSE2 is there.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "KivTypes.h"

// The first index in 0 .. ACount - 1 whose unit is neither A nor B, or ACount.
inline Integer KivSkipUnits(const char16_t* AP, Integer ACount, char16_t A, char16_t B) {
  Integer i = 0;
#if defined(__SSE2__)
  const __m128i va = _mm_set1_epi16(static_cast<short>(A));
  const __m128i vb = _mm_set1_epi16(static_cast<short>(B));
  for (; i + 8 <= ACount; i += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(AP + i));
    const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(v, va), _mm_cmpeq_epi16(v, vb)));
    if (mask != 0xFFFF) return i + (__builtin_ctz(static_cast<unsigned>(~mask & 0xFFFF)) >> 1);
  }
#endif
  for (; i < ACount; ++i)
    if (AP[i] != A && AP[i] != B) return i;
  return ACount;
}

// The first index in 0 .. ACount - 1 whose unit is A, or -1.
inline Integer KivFindFirstUnit(const char16_t* AP, Integer ACount, char16_t A) {
  Integer i = 0;
#if defined(__SSE2__)
  const __m128i va = _mm_set1_epi16(static_cast<short>(A));
  for (; i + 16 <= ACount; i += 16) {
    const __m128i v0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(AP + i));
    const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(AP + i + 8));
    const int m0 = _mm_movemask_epi8(_mm_cmpeq_epi16(v0, va));
    const int m1 = _mm_movemask_epi8(_mm_cmpeq_epi16(v1, va));
    if (m0 | m1) {
      const unsigned mask = static_cast<unsigned>(m0) | (static_cast<unsigned>(m1) << 16);
      return i + (__builtin_ctz(mask) >> 1);
    }
  }
  for (; i + 8 <= ACount; i += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(AP + i));
    const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(v, va));
    if (mask) return i + (__builtin_ctz(static_cast<unsigned>(mask)) >> 1);
  }
#endif
  for (; i < ACount; ++i)
    if (AP[i] == A) return i;
  return -1;
}

// The last index in 0 .. ACount - 1 whose unit is A, or -1.
inline Integer KivFindLastUnit(const char16_t* AP, Integer ACount, char16_t A) {
  Integer i = ACount;
#if defined(__SSE2__)
  const __m128i va = _mm_set1_epi16(static_cast<short>(A));
  for (; i >= 8; i -= 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(AP + i - 8));
    const int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(v, va));
    if (mask) return i - 8 + ((31 - __builtin_clz(static_cast<unsigned>(mask))) >> 1);
  }
#endif
  while (i > 0)
    if (AP[--i] == A) return i;
  return -1;
}

// The first index i in 0 .. ACount - ALen at which every unit AP[i + k] equals ALit[k] or
// AAlt[k] (ALen >= 1), or -1. Candidates are found by comparing the first and the last unit
// sixteen bytes at a time; each candidate is then checked in full.
inline Integer KivFindLiteral(const char16_t* AP, Integer ACount, const char16_t* ALit, const char16_t* AAlt,
                              Integer ALen) {
  auto fullAt = [&](Integer AIdx) {
    for (Integer k = 1; k < ALen - 1; ++k)
      if (AP[AIdx + k] != ALit[k] && AP[AIdx + k] != AAlt[k]) return false;
    return true;
  };
  const Integer last = ACount - ALen;  // the last index a match can start at
  Integer i = 0;
#if defined(__SSE2__)
  const __m128i f0 = _mm_set1_epi16(static_cast<short>(ALit[0]));
  const __m128i f1 = _mm_set1_epi16(static_cast<short>(AAlt[0]));
  const __m128i l0 = _mm_set1_epi16(static_cast<short>(ALit[ALen - 1]));
  const __m128i l1 = _mm_set1_epi16(static_cast<short>(AAlt[ALen - 1]));
  for (; i + 7 <= last; i += 8) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(AP + i));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(AP + i + ALen - 1));
    const __m128i first = _mm_or_si128(_mm_cmpeq_epi16(a, f0), _mm_cmpeq_epi16(a, f1));
    const __m128i lastEq = _mm_or_si128(_mm_cmpeq_epi16(b, l0), _mm_cmpeq_epi16(b, l1));
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(first, lastEq)));
    while (mask) {
      const Integer j = i + (__builtin_ctz(mask) >> 1);
      if (fullAt(j)) return j;
      mask &= mask - 1;
      mask &= mask - 1;  // both bytes of the unit
    }
  }
#endif
  for (; i <= last; ++i)
    if ((AP[i] == ALit[0] || AP[i] == AAlt[0]) &&
        (AP[i + ALen - 1] == ALit[ALen - 1] || AP[i + ALen - 1] == AAlt[ALen - 1]) && fullAt(i))
      return i;
  return -1;
}

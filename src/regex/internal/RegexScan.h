// Internal: scans over UTF-16 units, sixteen bytes at a time where SSE2 is there.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "KivTypes.h"

// The first index in 0 .. ACount - 1 whose unit is A or B (pass the same unit twice for one),
// or ACount.
inline Integer KivFindUnit(const char16_t* AP, Integer ACount, char16_t A, char16_t B) {
  Integer i = 0;
#if defined(__SSE2__)
  const __m128i va = _mm_set1_epi16(static_cast<short>(A));
  const __m128i vb = _mm_set1_epi16(static_cast<short>(B));
  for (; i + 8 <= ACount; i += 8) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(AP + i));
    const int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(v, va), _mm_cmpeq_epi16(v, vb)));
    if (mask) return i + (__builtin_ctz(static_cast<unsigned>(mask)) >> 1);
  }
#endif
  for (; i < ACount; ++i)
    if (AP[i] == A || AP[i] == B) return i;
  return ACount;
}

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

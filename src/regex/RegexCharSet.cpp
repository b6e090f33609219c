// TKivCharSet and the Unicode category mapping of the regex engine.
#include <algorithm>

#include "KivRegExpr.h"
#include "KivUnicode.h"

namespace {

// ICU-numbered categories (as KivCharCategory returns them) to the engine's order.
constexpr TKivUnicodeCategory kIcuToRegex[30] = {ukCn, ukLu, ukLl, ukLt, ukLm, ukLo, ukMn, ukMe, ukMc, ukNd,
                                                 ukNl, ukNo, ukZs, ukZl, ukZp, ukCc, ukCf, ukCo, ukCs, ukPd,
                                                 ukPs, ukPe, ukPc, ukPo, ukSm, ukSc, ukSk, ukSo, ukPi, ukPf};

// Categories of the codes 0..255, computed once.
struct TLatin1Categories {
  std::array<TKivUnicodeCategory, 256> Cat;
  TLatin1Categories() {
    for (int c = 0; c < 256; ++c) Cat[c] = kIcuToRegex[static_cast<int>(KivCharCategory(char16_t(c)))];
  }
};

const TLatin1Categories& Latin1() {
  static const TLatin1Categories t;
  return t;
}

}  // namespace

TKivUnicodeCategory KivRegexCategory(Integer ACode) {
  if (ACode < 0 || ACode > 0xFFFF) return ukCn;
  auto icu = static_cast<int>(KivCharCategory(static_cast<char16_t>(ACode)));
  return icu < 30 ? kIcuToRegex[icu] : ukCn;
}

void TKivCharSet::Clear() {
  AnsiSet.Clear();
  IsAnsiSet = true;
  FRangesCount = 0;
  FRanges.clear();
  FHaveRanges = false;
  FInverted = false;
  FCategories = 0;
  FHaveCategories = false;
}

void TKivCharSet::CheckNotInverted() const {
  if (FInverted) throw EKivCharSetError(TKivString(u"Can't invoke this method after Invert!"));
}

void TKivCharSet::IncludeChar(Integer ACh) {
  CheckNotInverted();
  if (ACh >= 0 && ACh <= 255) {
    AnsiSet.Include(ACh);
    return;
  }
  if (!IsAnsiSet && ContainsWide(ACh)) return;
  AddWideRange(ACh, ACh);
}

void TKivCharSet::IncludeChars(TKivStringView AStr) {
  for (char16_t c : AStr) IncludeChar(c);
}

void TKivCharSet::IncludeRange(Integer AMin, Integer AMax) {
  if (AMax < AMin) throw EKivCharSetError(TKivString(u"IncludeRange: AMin should be <= AMax"));
  CheckNotInverted();
  // Bitmap part.
  Integer lo = std::max<Integer>(AMin, 0), hi = std::min<Integer>(AMax, 255);
  for (Integer c = lo; c <= hi; ++c) AnsiSet.Include(c);
  // Parts outside 0..255 go to the ranges.
  if (AMin < 0) AddWideRange(AMin, std::min<Integer>(AMax, -1));
  if (AMax > 255) AddWideRange(std::max<Integer>(AMin, 256), AMax);
}

void TKivCharSet::AddWideRange(Integer AMin, Integer AMax) {
  // Ranges [i0, i1) overlap or touch [AMin, AMax]; they are merged into one.
  int64_t lo = AMin, hi = AMax;
  Integer i0 = 0;
  while (i0 < FRangesCount && int64_t(FRanges[i0].Max) + 1 < lo) ++i0;
  Integer i1 = i0;
  while (i1 < FRangesCount && int64_t(FRanges[i1].Min) - 1 <= hi) {
    lo = std::min<int64_t>(lo, FRanges[i1].Min);
    hi = std::max<int64_t>(hi, FRanges[i1].Max);
    ++i1;
  }
  Integer newCount = FRangesCount - (i1 - i0) + 1;
  if (static_cast<Integer>(FRanges.size()) < newCount) {
    FRanges.resize(static_cast<size_t>(newCount) * 3);
  }
  if (i1 == i0) {
    // Insert at i0.
    for (Integer k = FRangesCount; k > i0; --k) FRanges[k] = FRanges[k - 1];
  } else if (i1 - i0 > 1) {
    // Remove i0 + 1 .. i1 - 1.
    Integer removed = i1 - i0 - 1;
    for (Integer k = i0 + 1; k + removed < FRangesCount; ++k) FRanges[k] = FRanges[k + removed];
  }
  FRanges[i0] = TKivCharRange{static_cast<Integer>(lo), static_cast<Integer>(hi)};
  FRangesCount = newCount;
  if (static_cast<Integer>(FRanges.size()) > 4 * FRangesCount)
    FRanges.resize(static_cast<size_t>(FRangesCount) * 3);
  FHaveRanges = true;
  IsAnsiSet = false;
}

void TKivCharSet::IncludeCat(TKivUnicodeCategory ACat) {
  IncludeCats(KivCat(ACat));
}

void TKivCharSet::IncludeCats(TKivUnicodeCategories ACats) {
  CheckNotInverted();
  ACats &= KivAllCategories;
  FCategories |= ACats;
  const auto& l1 = Latin1();
  for (int c = 0; c < 256; ++c)
    if (ACats & KivCat(l1.Cat[c])) AnsiSet.Include(c);
  FHaveCategories = true;
  IsAnsiSet = false;
}

void TKivCharSet::Invert() {
  if (FInverted) return;
  FInverted = true;
  if (IsAnsiSet) AnsiSet.Complement();
}

bool TKivCharSet::ContainsWide(Integer ACh) const {
  bool found = false;
  if (FHaveCategories && ACh >= 0 && ACh <= 0xFFFF && (FCategories & KivCat(KivRegexCategory(ACh))))
    found = true;
  if (!found && FRangesCount > 0) {
    if (FRangesCount > 3) {
      Integer lo = 0, hi = FRangesCount - 1;
      while (lo <= hi) {
        Integer mid = lo + (hi - lo) / 2;
        if (ACh < FRanges[mid].Min) {
          hi = mid - 1;
        } else if (ACh > FRanges[mid].Max) {
          lo = mid + 1;
        } else {
          found = true;
          break;
        }
      }
    } else {
      for (Integer i = 0; i < FRangesCount; ++i)
        if (ACh >= FRanges[i].Min && ACh <= FRanges[i].Max) {
          found = true;
          break;
        }
    }
  }
  return found != FInverted;
}

bool TKivCharSet::ContainsAll(TKivStringView AStr) const {
  for (char16_t c : AStr)
    if (!Contains(c)) return false;
  return true;
}

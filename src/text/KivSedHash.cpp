// Hashes, the capacity rule of growable arrays and the integer conversion cache.
#include <algorithm>

#include "KivSedUtils.h"
#include "KivUnicode.h"

namespace {

constexpr const char* kModule = "KivSedUtils";

inline Cardinal HashStep(Cardinal AHash, Char AChar) {
  return ((AHash & 0x07FFFFFFu) << 5) - AHash + AChar;
}

}  // namespace

Cardinal HashInt(Cardinal AKey) {
  Cardinal x = AKey;
  x = x + ~(x << 9);
  x = x ^ (x >> 14);
  x = x + (x << 4);
  x = x ^ (x >> 10);
  return x;
}

Integer HashStr(TKivStringView AStr, Integer AStart, Integer ACount, bool AIgnoreCase) {
  if (ACount <= 0) return 0;
  if (AStart < 1 || static_cast<size_t>(AStart) > AStr.size())
    throw EInvalidArgument(u"Index out of bounds: %d", {AStart});
  if (static_cast<size_t>(AStart) - 1 + static_cast<size_t>(ACount) > AStr.size())
    throw EInvalidArgument(u"Invalid Count value");
  Cardinal h = 0;
  const Char* p = AStr.data() + (AStart - 1);
  const Char* end = p + ACount;
  if (AIgnoreCase) {
    for (; p != end; ++p) h = HashStep(h, KivUpCase(*p));
  } else {
    for (; p != end; ++p) h = HashStep(h, *p);
  }
  return static_cast<Integer>(h);
}

Integer HashSeq(TKivCharSeq& ASeq, Integer AStart, Integer ACount, bool AIgnoreCase) {
  if (ACount <= 0) return 0;
  if (AStart < 0 || AStart >= ASeq.Count()) throw EInvalidArgument(u"Index out of bounds: %d", {AStart});
  if (ACount > ASeq.Count() - AStart) throw EInvalidArgument(u"Invalid Count value");
  Cardinal h = 0;
  Integer i = AStart;
  const Integer end = AStart + ACount;
  while (i < end) {
    ASeq.AssureIdx(i);
    const Integer chunkEnd = std::min(end, ASeq.BufferEnd());
    const Char* p = ASeq.Buffer().data() + (i - ASeq.BufferStart());
    for (; i < chunkEnd; ++i, ++p) h = HashStep(h, AIgnoreCase ? KivUpCase(*p) : *p);
  }
  return static_cast<Integer>(h);
}

Integer GrowCapacity(Integer ANeeded, Integer ACapacity) {
  if (ANeeded > ACapacity || int64_t{ANeeded} * 4 < ACapacity) {
    const int64_t cap = (int64_t{ANeeded} + 1) * 3 / 2;
    // Near the Integer limit the rule would overflow: it saturates instead.
    return static_cast<Integer>(std::min<int64_t>(cap, INT32_MAX));
  }
  return -1;
}

// ---------------------------------------------------------------------------------------------
// TKivSedIntConversionCache

TKivSedIntConversionCache::TKivSedIntConversionCache(Integer AMaxCount) : FMaxCount(AMaxCount) {
  KIV_ASSERT(AMaxCount > 0, kModule);
}

const TKivSedIntConv& TKivSedIntConversionCache::Item(Integer AIdx) const {
  KIV_ASSERT(AIdx >= 0 && AIdx < FKeyCount, kModule);
  return FKeys[static_cast<size_t>(AIdx)];
}

Integer TKivSedIntConversionCache::CountBelow(Integer AKey, bool AByKey2) const {
  // Number of entries whose key is < AKey.
  auto first = FKeys.begin(), last = FKeys.begin() + FKeyCount;
  return static_cast<Integer>(std::lower_bound(first, last, AKey,
                                               [AByKey2](const TKivSedIntConv& e, Integer k) {
                                                 return (AByKey2 ? e.Key2 : e.Key1) < k;
                                               }) -
                              first);
}

Integer TKivSedIntConversionCache::Nearest(Integer AKey, bool AByKey2) const {
  auto key = [&](Integer i) { return int64_t{AByKey2 ? FKeys[i].Key2 : FKeys[i].Key1}; };
  auto first = FKeys.begin(), last = FKeys.begin() + FKeyCount;
  const Integer u = static_cast<Integer>(std::upper_bound(first, last, AKey,
                                                          [AByKey2](Integer k, const TKivSedIntConv& e) {
                                                            return k < (AByKey2 ? e.Key2 : e.Key1);
                                                          }) -
                                         first);
  Integer r = u - 1;
  if (u < FKeyCount) {
    if (u == 0) {
      r = 0;
    } else if (key(u) - AKey < AKey - key(u - 1)) {
      r = u;
    }
  }
  return r;
}

Integer TKivSedIntConversionCache::FindNearestByKey1(Integer AKey1, Integer& AKey1Res, Integer& AKey2Res,
                                                     Integer& AData) const {
  return ReadEntry(Nearest(AKey1, false), AKey1Res, AKey2Res, AData);
}

Integer TKivSedIntConversionCache::FindNearestByKey2(Integer AKey2, Integer& AKey1Res, Integer& AKey2Res,
                                                     Integer& AData) const {
  return ReadEntry(Nearest(AKey2, true), AKey1Res, AKey2Res, AData);
}

Integer TKivSedIntConversionCache::ReadEntry(Integer AIdx, Integer& AKey1Res, Integer& AKey2Res,
                                             Integer& AData) const {
  if (AIdx >= 0) {
    AKey1Res = FKeys[AIdx].Key1;
    AKey2Res = FKeys[AIdx].Key2;
    AData = FKeys[AIdx].Data;
  }
  return AIdx;
}

Integer TKivSedIntConversionCache::Add(Integer AKey1, Integer AKey2, Integer AData, bool AByKey2) {
  const Integer k = AByKey2 ? AKey2 : AKey1;
  const Integer r = Nearest(k, AByKey2);
  const TKivSedIntConv entry{AKey1, AKey2, AData};
  if (r >= 0) {
    const Integer nearestKey = AByKey2 ? FKeys[r].Key2 : FKeys[r].Key1;
    if (FKeyCount == FMaxCount || nearestKey == k) {
      FKeys[r] = entry;
      return r;
    }
  }
  const Integer idx = (r == -1 || k >= (AByKey2 ? FKeys[r].Key2 : FKeys[r].Key1)) ? r + 1 : r;
  ++FKeyCount;
  if (static_cast<size_t>(FKeyCount) > FKeys.size()) {
    const Integer grown = std::min(FMaxCount, std::max(FKeyCount, FKeyCount * 3 / 2));
    FKeys.resize(static_cast<size_t>(grown));
  }
  std::move_backward(FKeys.begin() + idx, FKeys.begin() + (FKeyCount - 1), FKeys.begin() + FKeyCount);
  FKeys[idx] = entry;
  return idx;
}

Integer TKivSedIntConversionCache::AddByKey1(Integer AKey1, Integer AKey2, Integer AData) {
  return Add(AKey1, AKey2, AData, false);
}

Integer TKivSedIntConversionCache::AddByKey2(Integer AKey1, Integer AKey2, Integer AData) {
  return Add(AKey1, AKey2, AData, true);
}

void TKivSedIntConversionCache::InvalidateFromKey1(Integer AKey1) {
  FKeyCount = CountBelow(AKey1, false);
}

void TKivSedIntConversionCache::InvalidateFromKey2(Integer AKey2) {
  FKeyCount = CountBelow(AKey2, true);
}

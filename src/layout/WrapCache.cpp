#include <algorithm>

#include "internal/ScreenCache.h"
#include "internal/WrapTypes.h"

namespace {

// Order of two states under a condition.
bool NotAfter(const TWrapParserState& AState, Integer AOffset, Integer AX, Integer AY, TWP_Condition ACond) {
  switch (ACond) {
    case wpByOffset:
      return AState.Offset <= AOffset;
    case wpByXY:
      return AState.Y < AY || (AState.Y == AY && AState.X <= AX);
    default:
      return AState.Y < AY || (AState.Y == AY && AState.XPix <= AX);
  }
}

// The last element not after the target (states are in offset order, which is also row order).
template <class T, class Get>
const T* LastNotAfter(const std::vector<T>& AItems, Get&& AGet, Integer AOffset, Integer AX, Integer AY,
                      TWP_Condition ACond) {
  const auto it = std::partition_point(AItems.begin(), AItems.end(), [&](const T& AItem) {
    return NotAfter(AGet(AItem), AOffset, AX, AY, ACond);
  });
  return it == AItems.begin() ? nullptr : &*(it - 1);
}

}  // namespace

TWP_Cache::TWP_Cache(Integer AMaxCount, Integer ASeqItemsInterval)
    : FCacheMaxCount(std::max<Integer>(AMaxCount, 1)),
      FSeqItemsInterval(std::max<Integer>(ASeqItemsInterval, 1)) {}

void TWP_Cache::DoInvalidate(Integer AOffset) {
  FKeptNothingFrom = AOffset;
  const auto from =
      std::partition_point(FCacheItems.begin(), FCacheItems.end(),
                           [AOffset](const auto& AItem) { return AItem->State.Offset < AOffset; });
  FCacheItems.erase(from, FCacheItems.end());
  std::erase_if(FOrder, [AOffset](const auto& AEntry) { return AEntry.second >= AOffset; });
  const auto seq = std::partition_point(FSeqItems.begin(), FSeqItems.end(),
                                        [AOffset](const TWrapParserState& S) { return S.Offset < AOffset; });
  FSeqItems.erase(seq, FSeqItems.end());
  LastSeqOffset = FSeqItems.empty() ? -1073741823 : FSeqItems.back().Offset;
  const auto line = std::partition_point(FLineItems.begin(), FLineItems.end(),
                                         [AOffset](const TWrapParserState& S) { return S.Offset < AOffset; });
  FLineItems.erase(line, FLineItems.end());
}

void TWP_Cache::AddLineState(const TWrapParserState& AState) {
  FKeptNothingFrom = kKeptAnywhere;
  if (FLineItems.empty() || FLineItems.back().Offset < AState.Offset) {
    FLineItems.push_back(AState);
    return;
  }
  const auto it = std::lower_bound(FLineItems.begin(), FLineItems.end(), AState.Offset,
                                   [](const TWrapParserState& S, Integer AOff) { return S.Offset < AOff; });
  if (it == FLineItems.end() || it->Offset != AState.Offset) FLineItems.insert(it, AState);
}

void TWP_Cache::PutState(const TWrapParserState& AState) {
  FKeptNothingFrom = kKeptAnywhere;
  const auto findItem = [this](Integer AOffset) {
    return std::lower_bound(FCacheItems.begin(), FCacheItems.end(), AOffset,
                            [](const auto& AItem, Integer AOff) { return AItem->State.Offset < AOff; });
  };
  auto it = findItem(AState.Offset);
  if (it != FCacheItems.end() && (*it)->State.Offset == AState.Offset) {
    (*it)->State = AState;  // one item per offset: the newer state wins, the age stays
    return;
  }
  if (static_cast<Integer>(FCacheItems.size()) >= FCacheMaxCount) {
    // The oldest item goes; entries of items already gone are skipped.
    while (!FOrder.empty()) {
      const auto [serial, offset] = FOrder.front();
      FOrder.pop_front();
      const auto old = findItem(offset);
      if (old != FCacheItems.end() && (*old)->State.Offset == offset && (*old)->Serial == serial) {
        FCacheItems.erase(old);
        break;
      }
    }
    it = findItem(AState.Offset);
  }
  FCacheItems.insert(it, std::make_unique<TWP_CacheItem>(TWP_CacheItem{AState, FNextSerial}));
  FOrder.emplace_back(FNextSerial++, AState.Offset);
}

void TWP_Cache::AddStateSeq(const TWrapParserState& AState, bool AChunkOutput) {
  FKeptNothingFrom = kKeptAnywhere;
  if (AState.Offset > LastSeqOffset + FSeqItemsInterval) {
    FSeqItems.push_back(AState);
    LastSeqOffset = AState.Offset;
    return;
  }
  if (AChunkOutput || AState.Offset >= LastSeqOffset) return;
  // Behind the last checkpoint: fill a wide gap only.
  const auto next = std::upper_bound(FSeqItems.begin(), FSeqItems.end(), AState.Offset,
                                     [](Integer AOff, const TWrapParserState& S) { return AOff < S.Offset; });
  const Integer before = next == FSeqItems.begin() ? 0 : (next - 1)->Offset;
  if (next != FSeqItems.end() && AState.Offset - before > 3 * FSeqItemsInterval &&
      next->Offset - AState.Offset > 3 * FSeqItemsInterval)
    FSeqItems.insert(next, AState);
}

bool TWP_Cache::GetNearestState(Integer AOffset, Integer AX, Integer AY, TWP_Condition ACond,
                                TWrapParserState& ARes) const {
  const auto* itemRef = LastNotAfter(
      FCacheItems, [](const auto& I) -> const TWrapParserState& { return I->State; }, AOffset, AX, AY, ACond);
  const TWP_CacheItem* item = itemRef ? itemRef->get() : nullptr;
  if (item && ACond == wpByOffset && item->State.Offset == AOffset) {
    ARes = item->State;
    return true;
  }
  const TWrapParserState* seq = LastNotAfter(
      FSeqItems, [](const TWrapParserState& S) -> const TWrapParserState& { return S; }, AOffset, AX, AY,
      ACond);
  const TWrapParserState* line = LastNotAfter(
      FLineItems, [](const TWrapParserState& S) -> const TWrapParserState& { return S; }, AOffset, AX, AY,
      ACond);
  if (!item && !seq && !line) return false;
  const TWrapParserState* best = item ? &item->State : nullptr;
  if (seq && (!best || seq->Offset > best->Offset)) best = seq;
  if (line && (!best || line->Offset > best->Offset)) best = line;
  ARes = *best;
  return true;
}

// ---- TSpacedSeq ----

TSpacedSeq::TSpacedSeq() : TKivCharSeq(256) {}

void TSpacedSeq::Reset(const TKivSegment& ASeg, Integer ASpacesBefore, Integer ASpacesAfter) {
  if (ASpacesBefore < 0 || ASpacesAfter < 0 || ASeg.Count < 0) throw EInvalidArgument(u"Invalid Count value");
  FSeg = ASeg;
  FSpacesBefore = ASpacesBefore;
  FSpacesAfter = ASpacesAfter;
  FCount = ASpacesBefore + std::max<Integer>(ASeg.Count, 0) + ASpacesAfter;
  InvalidateBuffer();
}

void TSpacedSeq::FillBuffer(Integer AStart, Integer AEnd) {
  for (Integer i = AStart; i < AEnd; ++i) {
    const Integer inSeg = i - FSpacesBefore;
    FBuffer[i - AStart] = inSeg >= 0 && inSeg < FSeg.Count ? FSeg.Source->GetChar(FSeg.Start + inSeg) : u' ';
  }
}

// ---- TSquaredSeq ----

TSquaredSeq::TSquaredSeq(TScreenCache& ACache, TKivPoint AStart, TKivPoint AEnd)
    : TKivSeqFromString(BlockText(ACache, AStart, AEnd)) {}

TKivString TSquaredSeq::BlockText(TScreenCache& ACache, TKivPoint AStart, TKivPoint AEnd) {
  const Integer left = std::min(AStart.X, AEnd.X), right = std::max(AStart.X, AEnd.X);
  const Integer top = std::min(AStart.Y, AEnd.Y), bottom = std::max(AStart.Y, AEnd.Y);
  if (left < 0 || top < 0) throw EKivEditViewError(u"Bad scroll position: [x < 0].");
  TKivString res;
  if (left == right) return res;
  TKivCharSeq& chars = ACache.Document().Chars();
  for (Integer y = top; y <= bottom; ++y) {
    if (y > top) res += u"\r\n";
    const TWrapParserState s1 = ACache.WP_GetStateByXY(left, y, true);
    const TWrapParserState s2 = ACache.WP_GetStateByXY(right, y, true);
    // The cells of the position inside its character (inside a tab, or past the row's end).
    const Integer in1 = std::max<Integer>(left - s1.X, 0), in2 = std::max<Integer>(right - s2.X, 0);
    Integer from = s1.Offset, lead = 0, trail = 0;
    if (s1.Offset == s2.Offset) {
      trail = s2.IsTail ? 0 : right - left;
    } else {
      if (in1 > 0) {
        lead = std::max<Integer>(s1.VisWidth - in1, 0);
        ++from;
      }
      trail = s2.IsTail ? 0 : in2;
    }
    res.append(static_cast<size_t>(lead), u' ');
    for (Integer o = from; o < s2.Offset; ++o) {
      const Char c = chars.GetChar(o);
      if (c == u'\t')
        res.append(static_cast<size_t>(ACache.WP_GetState(o).VisWidth), u' ');
      else
        res += c;
    }
    res.append(static_cast<size_t>(trail), u' ');
  }
  return res;
}

// Internal: a set of separator characters with constant-time tests for ASCII.
#pragma once

#include <cstdint>
#include <vector>

#include "KivSedUtils.h"

class TKivSeparatorSet {
 public:
  explicit TKivSeparatorSet(TKivStringView AChars, TKivStringView AMore = {}) {
    AddChars(AChars);
    AddChars(AMore);
  }

  bool Empty() const { return FEmpty; }
  bool Contains(Char AChar) const {
    if (AChar < 128) return (FAscii[AChar >> 6] >> (AChar & 63)) & 1;
    for (Char c : FOther)
      if (c == AChar) return true;
    return false;
  }

 private:
  void AddChars(TKivStringView AChars) {
    for (Char c : AChars) {
      if (c < 128) {
        FAscii[c >> 6] |= uint64_t{1} << (c & 63);
      } else {
        FOther.push_back(c);
      }
      FEmpty = false;
    }
  }

  uint64_t FAscii[2] = {0, 0};
  std::vector<Char> FOther;
  bool FEmpty = true;
};

// SeqScan over a prepared set.
Integer KivSeqScan(const TKivSeparatorSet& ASeparators, TKivCharSeq& ASeq, Integer AStart, bool AFindWordChar,
                   bool ABackward, Integer ACount);

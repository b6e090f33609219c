// Internal: forward plain-text search over a text storage, read by its contiguous chunks.
//
// Finds what SeqFind / SeqFindNoCase find (case folded through KivLowCase), but scans for the
// pattern's first two characters several at a time instead of one character per window read.
#pragma once

#include <vector>

#include "KivSedStorage.h"

class TPlainSearcher {
 public:
  TPlainSearcher(const TKivString& APattern, bool ACaseSensitive);

  bool PreparedFor(const TKivString& APattern, bool ACaseSensitive) const {
    return FCaseSensitive == ACaseSensitive && FPattern == APattern;
  }
  // The first occurrence that starts at or after AStart and ends at or before AEnd, or -1.
  // 0 <= AStart, AEnd <= the text's length.
  Integer Find(TKivTextStorage& AText, Integer AStart, Integer AEnd) const;

 private:
  // Whether the occurrence at APos matches; AChunk holds the characters [APos, APos + AAvail).
  bool MatchAt(TKivTextStorage& AText, Integer APos, const Char* AChunk, Integer AAvail) const;
  bool Same(Char AText, Integer AIdx) const {
    return FCaseSensitive ? AText == FPattern[AIdx] : Fold(AText) == FFolded[AIdx];
  }
  static Char Fold(Char AChar);
  // Code units that may stand at the pattern's index AIdx (every one that folds to it).
  std::vector<Char> Variants(Integer AIdx) const;

  TKivString FPattern;
  bool FCaseSensitive;
  TKivString FFolded;
  Integer FLen;
  std::vector<Char> FFirst;   // may stand first
  std::vector<Char> FSecond;  // may stand second (empty for a one-character pattern)
};

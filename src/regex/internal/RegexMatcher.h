// Internal: the backtracking matcher over a compiled program.
#pragma once

#include <algorithm>

#include "RegexNode.h"

// Runs the program of an engine from its current position (FReginput). All match state lives
// in the engine; the matcher only adds the recursion.
class TRegexMatcher {
 public:
  explicit TRegexMatcher(TKivRegExp& AEngine) : E(AEngine), In(*AEngine.FInput) {}

  bool MatchPrim(TKivRegexNode* AScan);

 private:
  class TDepthGuard;

  Integer Code(Integer APos) { return In.GetCode(APos); }
  // Counts the codes from the current position, at most ALimit, while APred holds.
  template <class TPred>
  Integer CountWhile(Integer ALimit, TPred APred) {
    const Integer from = E.FReginput;
    Integer n = 0;
    while (n < ALimit) {
      Integer avail;
      const Integer* w = In.Window(from + n, avail);
      const Integer k = std::min(avail, ALimit - n);
      Integer j = 0;
      while (j < k && APred(w[j])) ++j;
      n += j;
      if (j < k) break;
    }
    return n;
  }

  bool AtLineStart(Integer APos);
  bool AtLineEnd(Integer APos);
  bool IsBoundary(Integer APos);
  bool BlocksAnyML(Integer APos);
  bool SameCI(Integer AInput, Integer APattern);
  Integer RegRepeat(const TKivRegexNode* AP, Integer AMax, Integer& AUnit);
  bool MatchRepeat(TKivRegexNode* AScan);
  bool MatchLoopEntry(TKivRegexNode* AScan);
  bool MatchLoop(TKivRegexNode* AScan);
  bool MatchBranch(TKivRegexNode* AScan);

  TKivRegExp& E;
  TKivRegexSource& In;
};

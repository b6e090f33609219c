// Internal: the backtracking matcher over a compiled program.
#pragma once

#include <algorithm>
#include <array>

#include "RegexNode.h"

// Runs the program of an engine from its current position (FReginput). All match state lives
// in the engine; the matcher only adds the recursion.
class TRegexMatcher {
 public:
  explicit TRegexMatcher(TKivRegExp& AEngine)
      : E(AEngine), In(*AEngine.FInput), Raw(In.RawUnits() ? In.RawUnits() - In.IdxStart() : nullptr) {}

  bool MatchPrim(TKivRegexNode* AScan);
  // MatchPrim over a program of the engine's direct-run shape, step for step (the same work
  // units, need-more and result) but without its recursion.
  bool MatchDirect();

 private:
  class TDepthGuard;
  // A group's extent before a node of the running frame opened or closed it.
  struct TGroupUndo {
    Integer Group, Start, End;
  };
  // Group nodes one frame of MatchPrim restores itself; further ones recurse.
  static constexpr Integer kGroupUndoSize = 8;
  // Restores the ACount logged groups, the latest first, and answers false (the frame fails).
  bool Undo(const TGroupUndo* ALog, Integer ACount) {
    while (ACount > 0) {
      const TGroupUndo& u = ALog[--ACount];
      E.FStartp[u.Group] = u.Start;
      E.FEndp[u.Group] = u.End;
    }
    return false;
  }

  Integer Code(Integer APos) { return Raw ? Integer(Raw[APos]) : In.GetCode(APos); }
  // Counts the codes from the current position, at most ALimit, while APred holds.
  template <class TPred>
  Integer CountWhile(Integer ALimit, TPred APred) {
    const Integer from = E.FReginput;
    Integer n = 0;
    if (Raw) {
      const char16_t* p = Raw + from;
      while (n < ALimit && APred(Integer(p[n]))) ++n;
      E.Spend(n + 1);
      return n;
    }
    while (n < ALimit) {
      Integer avail;
      const Integer* w = In.Window(from + n, avail);
      const Integer k = std::min(avail, ALimit - n);
      Integer j = 0;
      while (j < k && APred(w[j])) ++j;
      n += j;
      E.Spend(j + 1);
      if (j < k) break;
    }
    return n;
  }

  bool AtLineStart(Integer APos);
  bool AtLineEnd(Integer APos);
  bool IsBoundary(Integer APos);
  bool BlocksAnyML(Integer APos);
  // One code of a one-code set node (digits, tiny or full sets) at the current position.
  bool MatchOneCode(const TKivRegexNode* AScan);
  // Sets the extent of the group an OPEN or CLOSE node marks, at the current position (group 0
  // is not recorded).
  void SetGroupMark(TKivREOp AOp);
  // The code the literal ASolid (a repeat's or loop's NextSolid) starts with, when the next-literal
  // test is on; else -1.
  Integer NextLiteral(const TKivRegexNode* ASolid) const {
    if (!(E.FOptimizations & roNextLiteral) || !ASolid || ASolid->Op != opEXACTLY) return -1;
    return ASolid->ExactStr.empty() ? -1 : ASolid->ExactChar;
  }
  // Whether a match cannot go on through ANode (a NextSolid, possibly nullptr) at a position
  // holding ACode: a literal or one-code set that does not take it.
  bool RulesOut(const TKivRegexNode* ANode, Integer ACode) const;
  bool SameCI(Integer AInput, Integer APattern);
  // The extent of group AGroup when it can be referred to: set, closed and not reversed.
  bool GroupExtent(Integer AGroup, Integer& AStart, Integer& ALen) const;
  // How many of the ALen codes from APos equal those from AGroup on (or their other case).
  Integer SameCodes(Integer AGroup, Integer APos, Integer ALen, bool ACI);
  Integer RegRepeat(const TKivRegexNode* AP, Integer AMax, Integer& AUnit);
  // What a repeat leaves its caller's frame to do: fail, report a match, or go on with the node
  // after the repeat from the current position.
  enum TStep { stFailed, stMatched, stGoOn };
  TStep MatchRepeat(TKivRegexNode* AScan);
  bool MatchLoopEntry(TKivRegexNode* AScan);
  bool MatchLoop(TKivRegexNode* AScan);
  // MatchLoop without its memory of failures.
  bool MatchLoopRun(TKivRegexNode* AScan);
  // ARun() from the current position of ANode (a loop or branch whose outcome depends on the
  // position alone), or at once the failure it came to before from there in this search: the
  // same work units and need-more; run again where the recursion would now go too deep.
  template <class TRun>
  bool Remembered(const TKivRegexNode* ANode, TRun ARun);
  // MatchLoop over a loop with a one-code body (LoopOneCode), from a state whose last iteration
  // was not empty and with no lookahead position pending: the iterations, tests of the rest,
  // need-more and work units of the recursive run, without its level of recursion per
  // iteration.
  bool MatchOneCodeLoop(TKivRegexNode* AScan);
  // Whether the one-code node ANode takes the code at APos (setting FNeedMore where MatchPrim
  // would).
  bool OneCodeAt(const TKivRegexNode* ANode, Integer APos);
  bool MatchBranch(TKivRegexNode* AScan);
  bool MatchBranchRun(TKivRegexNode* AScan);
  // MatchBranchRun over the first branch of a greedy star or plus over one code (LoopOneCode),
  // with no lookahead position pending: its iterations, tests and rest, need-more and work
  // units, without its level of recursion per iteration.
  bool MatchOneCodeStar(TKivRegexNode* AScan);

  TKivRegExp& E;
  TKivRegexSource& In;
  const char16_t* const Raw;  // a string source's units, indexed by position; else nullptr
};

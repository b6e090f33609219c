// Internal: the nodes of a compiled regex program and the Boyer-Moore searcher.
#pragma once

#include "KivRegExpr.h"

using TKivREOp = Integer;

enum : TKivREOp {
  opEND = 0,
  opBOL = 1,
  opEOL = 2,
  opANY = 3,
  opANYOF = 4,
  opANYBUT = 5,
  opBRANCH = 6,
  opBACK = 7,
  opEXACTLY = 8,
  opNOTHING = 9,
  opSTAR = 10,
  opPLUS = 11,
  opANYDIGIT = 12,
  opNOTDIGIT = 13,
  opBRACES = 18,
  opCOMMENT = 19,
  opEXACTLYCI = 20,
  opANYOFCI = 21,
  opANYBUTCI = 22,
  opLOOPENTRY = 23,
  opLOOP = 24,
  opANYOFTINYSET = 25,
  opANYBUTTINYSET = 26,
  opANYOFFULLSET = 27,
  opBSUBEXP = 28,
  opBSUBEXPCI = 29,
  opSTARNG = 30,
  opPLUSNG = 31,
  opBRACESNG = 32,
  opLOOPNG = 33,
  opBOLML = 34,
  opEOLML = 35,
  opANYML = 36,
  opBOUND = 37,
  opNOTBOUND = 38,
  opLOOKAHEAD = 39,
  opOPEN = 40,   // OPEN[n] = opOPEN + n, n = 0 for a non-capturing group
  opCLOSE = 56,  // CLOSE[n] = opCLOSE + n
};

inline bool IsOpen(TKivREOp AOp) {
  return AOp >= opOPEN && AOp < opOPEN + KivRegMaxSubExp;
}
inline bool IsClose(TKivREOp AOp) {
  return AOp >= opCLOSE && AOp < opCLOSE + KivRegMaxSubExp;
}

// A simple repeat of one operand node: greedy or lazy *, + or {n,m}.
inline bool IsSimpleRepeat(TKivREOp AOp) {
  return (AOp >= opSTAR && AOp <= opPLUS) || AOp == opBRACES || (AOp >= opSTARNG && AOp <= opBRACESNG);
}

// The printable name of an opcode, or empty for a code without one.
TKivString KivRegexOpName(TKivREOp AOp);

class TKivRegexNode {
 public:
  TKivREOp Op = opEND;
  std::array<Integer, 3> TinySet{-1, -1, -1};
  TKivIntArray ExactStr;
  TKivIntArray ExactStrInvC;
  Integer ExactChar = -1;
  Integer ExactCharInvC = -1;
  Integer ExactVarId = -1;
  TKivCharSet SetHash;
  // SetHash's answers for the codes 0..255 of an ANYOFFULLSET node, one byte each (filled with
  // the optimisation data).
  std::array<uint8_t, 256> SetTable{};
  bool InSet(Integer ACode) const {
    return static_cast<uint32_t>(ACode) <= 255 ? SetTable[static_cast<uint32_t>(ACode)] != 0 : SetHash.Contains(ACode);
  }
  Integer BackRef = -1;
  Integer MinBrace = -1;
  Integer MaxBrace = -1;
  TKivRegexNode* LoopTo = nullptr;
  // Of a repeat or counted loop: the first node from NextOp on that consumes codes or can fail
  // (past the nodes PassThroughNext steps over), nullptr when there is none within a few nodes;
  // and how many nodes are stepped over before it. Of a branch: the same from its alternative
  // (NextNode) on.
  TKivRegexNode* NextSolid = nullptr;
  Integer NextSolidHops = 0;
  // Of a LOOP or LOOPNG node whose body is one code node between nodes that do nothing (no
  // group marks): that node, and how many nodes come before it (from LoopTo) and after it (up
  // to the loop node). Of the first branch of a greedy star or plus over such a body: the same,
  // from the branch's alternative round to the branch.
  TKivRegexNode* LoopOneCode = nullptr;
  Integer LoopOneCodePre = 0;
  Integer LoopOneCodePost = 0;
  TKivRegexNode* NextOp = nullptr;
  TKivRegexNode* PrevNode = nullptr;
  TKivRegexNode* NextNode = nullptr;
  Integer Index = 0;  // position in the physical list, for Dump

  // Sets the literal codes (and their other-case forms) of an EXACTLY node.
  void SetExact(TKivIntArray ACodes, TKivInvertCaseFunction AInvert);
};

// The node the matcher goes on with after ANode when ANode consumes nothing and cannot fail while
// no lookahead position is pending (a group mark, an empty node, a branch of one alternative), or
// nullptr.
inline TKivRegexNode* PassThroughNext(const TKivRegexNode* ANode) {
  const TKivREOp op = ANode->Op;
  if (op == opBRANCH) return ANode->NextOp && ANode->NextOp->Op == opBRANCH ? nullptr : ANode->NextNode;
  return op == opNOTHING || op == opCOMMENT || IsOpen(op) || IsClose(op) ? ANode->NextOp : nullptr;
}

// Boyer-Moore search of a code sequence in a source, optionally ignoring case.
class TKivBoyerMooreSearch {
 public:
  TKivBoyerMooreSearch(Integer ASkipTableSize, Integer ASkipHashMask, TKivInvertCaseFunction AInvertCase);
  void Prepare(const TKivIntArray& APattern, bool AIgnoreCase);
  // The first occurrence at or after AOffset within AOffset .. AOffset + ACount (ACount -1: to the
  // end of the source), or -1.
  Integer Search(TKivRegexSource& AInput, Integer AOffset, Integer ACount) const;
  const TKivIntArray& Pattern() const { return FPattern; }
  void SetInvertCase(TKivInvertCaseFunction AValue) { FInvertCase = AValue; }

 private:
  bool Same(Integer ACode, Integer AIdx) const {
    return ACode == FPattern[AIdx] || (FIgnoreCase && ACode == FPatternInv[AIdx]);
  }

  TKivIntArray FPattern;
  TKivIntArray FPatternInv;
  TKivIntArray FSkip;
  TKivIntArray FSuffix;
  bool FIgnoreCase = false;
  Integer FSkipTableSize;
  Integer FSkipHashMask;
  Integer FPatEnd = -1;
  TKivInvertCaseFunction FInvertCase;
};

// The code of a one-letter escape (\a \e \f \n \r \t) in patterns and replacement templates;
// any other letter stands for itself.
inline Integer RegexSimpleEscape(Integer ACh) {
  switch (ACh) {
    case u'a':
      return 7;
    case u'e':
      return 27;
    case u'f':
      return 12;
    case u'n':
      return 10;
    case u'r':
      return 13;
    case u't':
      return 9;
    default:
      return ACh;
  }
}

// The backtracking matcher: runs a compiled program from one position of the input.
#include "internal/RegexMatcher.h"

namespace {

constexpr Integer CMaxMatchDepth = 1000;

// Nodes before which a pending lookahead position is not yet applied.
bool KeepsPendingLookahead(TKivREOp AOp) {
  return AOp == opEND || AOp == opBRANCH || AOp == opBACK || AOp == opNOTHING || AOp == opCOMMENT ||
         AOp == opLOOKAHEAD || AOp == opCLOSE;
}

}  // namespace

class TRegexMatcher::TDepthGuard {
 public:
  explicit TDepthGuard(TKivRegExp& AE) : E(AE) {
    if (E.FStepLimit >= 0 && ++E.FSteps > E.FStepLimit) E.Error(reeStepLimit);
    if (E.FMatchPrimDepth >= CMaxMatchDepth) E.Error(reeRecursionLimit);
    ++E.FMatchPrimDepth;
  }
  ~TDepthGuard() { --E.FMatchPrimDepth; }
  TDepthGuard(const TDepthGuard&) = delete;
  TDepthGuard& operator=(const TDepthGuard&) = delete;

 private:
  TKivRegExp& E;
};

bool TRegexMatcher::AtLineStart(Integer APos) {
  if (APos <= E.FInputStart) return true;
  Integer prev = Code(APos - 1);
  if (E.FLinePairedSeparatorAssigned) {
    if (APos < E.FInputEnd && prev == E.FLinePairedSeparatorHead && Code(APos) == E.FLinePairedSeparatorTail)
      return false;
  }
  if (E.FLineSeparatorsSet.Contains(prev)) return true;
  return E.FLinePairedSeparatorAssigned && APos - 2 >= E.FInputStart && prev == E.FLinePairedSeparatorTail &&
         Code(APos - 2) == E.FLinePairedSeparatorHead;
}

bool TRegexMatcher::AtLineEnd(Integer APos) {
  if (APos >= E.FInputEnd) return true;
  Integer cur = Code(APos);
  if (E.FLinePairedSeparatorAssigned) {
    if (APos > E.FInputStart && cur == E.FLinePairedSeparatorTail &&
        Code(APos - 1) == E.FLinePairedSeparatorHead)
      return false;
  }
  if (E.FLineSeparatorsSet.Contains(cur)) return true;
  return E.FLinePairedSeparatorAssigned && APos + 1 < E.FInputEnd && cur == E.FLinePairedSeparatorHead &&
         Code(APos + 1) == E.FLinePairedSeparatorTail;
}

bool TRegexMatcher::IsBoundary(Integer APos) {
  bool prevWord = APos > E.FInputStart && E.FWordCharsSet.Contains(Code(APos - 1));
  bool curWord = APos < E.FInputEnd && E.FWordCharsSet.Contains(Code(APos));
  return prevWord != curWord;
}

bool TRegexMatcher::BlocksAnyML(Integer APos) {
  Integer c = Code(APos);
  if (E.FLineSeparatorsSet.Contains(c)) return true;
  return E.FLinePairedSeparatorAssigned && c == E.FLinePairedSeparatorHead && APos + 1 < E.FInputEnd &&
         Code(APos + 1) == E.FLinePairedSeparatorTail;
}

bool TRegexMatcher::SameCI(Integer AInput, Integer APattern) {
  return AInput == APattern || AInput == E.FInvertCase(APattern);
}

Integer TRegexMatcher::RegRepeat(const TKivRegexNode* AP, Integer AMax, Integer& AUnit) {
  Integer& pos = E.FReginput;
  const Integer avail = E.FInputEnd - pos;
  const Integer limit = std::min(AMax, avail);
  AUnit = 1;
  switch (AP->Op) {
    case opANY:
      return limit;
    case opANYML: {
      Integer n = 0;
      while (n < limit && !BlocksAnyML(pos + n)) ++n;
      return n;
    }
    case opEXACTLY:
    case opEXACTLYCI: {
      const bool ci = AP->Op == opEXACTLYCI;
      if (AP->ExactVarId >= 0 && AP->ExactStr.size() != 1) {
        // A variable repeats its whole text.
        const Integer len = static_cast<Integer>(AP->ExactStr.size());
        if (len == 0) {
          AUnit = 0;
          return 0;
        }
        AUnit = len;
        Integer n = 0;
        Integer p = pos;
        while (n < AMax && E.FInputEnd - p >= len) {
          Integer i = 0;
          for (; i < len; ++i) {
            Integer c = Code(p + i);
            if (c != AP->ExactStr[i] && !(ci && c == AP->ExactStrInvC[i])) break;
          }
          if (i < len) break;
          p += len;
          ++n;
        }
        return n;
      }
      const Integer ch = AP->ExactChar, inv = ci ? AP->ExactCharInvC : AP->ExactChar;
      return CountWhile(limit, [ch, inv](Integer c) { return c == ch || c == inv; });
    }
    case opANYDIGIT: {
      const TKivCharSet& s = E.FDigitsSet;
      return CountWhile(limit, [&s](Integer c) { return s.Contains(c); });
    }
    case opNOTDIGIT: {
      const TKivCharSet& s = E.FDigitsSet;
      return CountWhile(limit, [&s](Integer c) { return !s.Contains(c); });
    }
    case opANYOFTINYSET: {
      const auto t = AP->TinySet;
      return CountWhile(limit, [t](Integer c) { return c == t[0] || c == t[1] || c == t[2]; });
    }
    case opANYBUTTINYSET: {
      const auto t = AP->TinySet;
      return CountWhile(limit, [t](Integer c) { return c != t[0] && c != t[1] && c != t[2]; });
    }
    case opANYOFFULLSET: {
      const TKivCharSet& s = AP->SetHash;
      return CountWhile(limit, [&s](Integer c) { return s.Contains(c); });
    }
    case opBSUBEXP:
    case opBSUBEXPCI: {
      const Integer g = AP->BackRef;
      if (g < 0 || g >= E.FSubexpCount || E.FStartp[g] < 0 || E.FEndp[g] < 0) return 0;
      const Integer gs = E.FStartp[g], len = E.FEndp[g] - gs;
      if (len <= 0) {
        AUnit = 0;
        return 0;
      }
      AUnit = len;
      Integer n = 0;
      Integer p = pos;
      while (n < AMax && E.FInputEnd - p >= len) {
        Integer i = 0;
        for (; i < len; ++i) {
          Integer c = Code(p + i), g0 = Code(gs + i);
          if (c != g0 && !(AP->Op == opBSUBEXPCI && SameCI(c, g0))) break;
        }
        if (i < len) break;
        p += len;
        ++n;
      }
      return n;
    }
    default:
      E.Error(reeRegRepeatCalledInappropriately);
  }
}

bool TRegexMatcher::MatchRepeat(TKivRegexNode* AScan) {
  Integer& pos = E.FReginput;
  TKivRegexNode* const opnd = AScan->NextNode;
  TKivRegexNode* const next = AScan->NextOp;
  const TKivREOp op = AScan->Op;
  Integer bmin = 0, bmax = RegExprInfinity;
  if (op == opPLUS || op == opPLUSNG) {
    bmin = 1;
  } else if (op == opBRACES || op == opBRACESNG) {
    bmin = AScan->MinBrace;
    bmax = AScan->MaxBrace;
  }
  const bool greedy = op == opSTAR || op == opPLUS || op == opBRACES;
  const Integer start = pos;
  Integer unit;
  Integer count = RegRepeat(opnd, bmax, unit);
  if (unit == 0) count = bmin;  // an empty operand matches its minimum at once
  const bool reachedEnd = start + count * unit == E.FInputEnd;
  if (greedy && reachedEnd) E.FNeedMore = true;
  Integer nextLit = -1;
  if ((E.FOptimizations & roNextLiteral) && next && next->Op == opEXACTLY && !next->ExactStr.empty())
    nextLit = next->ExactChar;
  const std::array<Integer, 21> savedStack = E.FLoopStack;
  const Integer savedIdx = E.FLoopStackIdx;
  auto attempt = [&](Integer ACount) {
    pos = start + ACount * unit;
    if (nextLit >= 0 && pos < E.FInputEnd && Code(pos) != nextLit) return false;
    E.FSavedReginput = -1;
    if (MatchPrim(next)) return true;
    E.FLoopStack = savedStack;
    E.FLoopStackIdx = savedIdx;
    return false;
  };
  if (greedy) {
    for (Integer c = count; c >= bmin; --c)
      if (attempt(c)) return true;
  } else {
    for (Integer c = bmin; c <= count; ++c)
      if (attempt(c)) return true;
    if (reachedEnd) E.FNeedMore = true;
  }
  pos = start;
  E.FSavedReginput = -1;
  return false;
}

bool TRegexMatcher::MatchLoopEntry(TKivRegexNode* AScan) {
  const Integer idx = E.FLoopStackIdx + 1;
  if (idx >= static_cast<Integer>(E.FLoopStack.size())) E.Error(reeLoopStackExceeded);
  const Integer savedSlot = E.FLoopStack[idx], savedIterStart = E.FLoopIterStart[idx];
  const Integer savePos = E.FReginput, savePending = E.FSavedReginput;
  E.FLoopStackIdx = idx;
  E.FLoopStack[idx] = 0;
  E.FLoopIterStart[idx] = -1;
  bool r = MatchPrim(AScan->NextOp);
  E.FLoopStackIdx = idx - 1;
  if (!r) {
    E.FLoopStack[idx] = savedSlot;
    E.FLoopIterStart[idx] = savedIterStart;
    E.FReginput = savePos;
    E.FSavedReginput = savePending;
  }
  return r;
}

bool TRegexMatcher::MatchLoop(TKivRegexNode* AScan) {
  const Integer idx = E.FLoopStackIdx;
  if (idx <= 0) E.Error(reeLoopWithoutEntry);
  const Integer cnt = E.FLoopStack[idx];
  const Integer iterStart = E.FLoopIterStart[idx];
  const Integer savePos = E.FReginput, savePending = E.FSavedReginput;
  auto restore = [&]() {
    E.FLoopStackIdx = idx;
    E.FLoopStack[idx] = cnt;
    E.FLoopIterStart[idx] = iterStart;
    E.FReginput = savePos;
    E.FSavedReginput = savePending;
  };
  auto body = [&]() {
    E.FLoopStack[idx] = cnt + 1;
    E.FLoopIterStart[idx] = savePos;
    if (MatchPrim(AScan->LoopTo)) return true;
    restore();
    return false;
  };
  auto rest = [&]() {
    E.FLoopStackIdx = idx - 1;  // the enclosing loop's counter is current again
    if (MatchPrim(AScan->NextOp)) return true;
    restore();
    return false;
  };
  // An iteration that matched nothing (an empty variable or back-reference in the body) would
  // repeat forever: the loop counts as complete.
  if (cnt > 0 && iterStart == savePos && E.FSavedReginput == -1) return rest();
  if (cnt < AScan->MinBrace) return body();
  if (AScan->Op == opLOOP) {
    if (cnt < AScan->MaxBrace && body()) return true;
    return rest();
  }
  if (rest()) return true;
  return cnt < AScan->MaxBrace && body();
}

bool TRegexMatcher::MatchBranch(TKivRegexNode* AScan) {
  const Integer savePos = E.FReginput, savePending = E.FSavedReginput;
  for (TKivRegexNode* b = AScan; b && b->Op == opBRANCH; b = b->NextOp) {
    if (MatchPrim(b->NextNode)) return true;
    E.FReginput = savePos;
    E.FSavedReginput = savePending;
  }
  return false;
}

bool TRegexMatcher::MatchPrim(TKivRegexNode* AScan) {
  TDepthGuard guard(E);
  Integer& pos = E.FReginput;
  TKivRegexNode* scan = AScan;
  while (scan) {
    const TKivREOp op = scan->Op;
    if (E.FSavedReginput != -1 && !KeepsPendingLookahead(op)) {
      pos = E.FSavedReginput;
      E.FSavedReginput = -1;
    }
    TKivRegexNode* next = scan->NextOp;
    switch (op) {
      case opEND:
        return true;
      case opBOL:
        if (pos != E.FInputStart) return false;
        break;
      case opEOL:
        if (pos != E.FInputEnd) return false;
        break;
      case opBOLML:
        if (!AtLineStart(pos)) return false;
        break;
      case opEOLML:
        if (!AtLineEnd(pos)) return false;
        break;
      case opBOUND:
        if (!IsBoundary(pos)) return false;
        break;
      case opNOTBOUND:
        if (IsBoundary(pos)) return false;
        break;
      case opANY:
        if (pos >= E.FInputEnd) {
          E.FNeedMore = true;
          return false;
        }
        ++pos;
        break;
      case opANYML:
        if (pos >= E.FInputEnd || BlocksAnyML(pos)) return false;
        ++pos;
        break;
      case opEXACTLY: {
        const TKivIntArray& s = scan->ExactStr;
        const Integer len = static_cast<Integer>(s.size());
        for (Integer i = 0; i < len; ++i) {
          if (pos + i >= E.FInputEnd) {
            E.FNeedMore = true;
            return false;
          }
          if (Code(pos + i) != s[i]) return false;
        }
        pos += len;
        break;
      }
      case opEXACTLYCI: {
        const TKivIntArray& s = scan->ExactStr;
        const TKivIntArray& inv = scan->ExactStrInvC;
        const Integer len = static_cast<Integer>(s.size());
        if (E.FInputEnd - pos < len) return false;
        for (Integer i = 0; i < len; ++i) {
          Integer c = Code(pos + i);
          if (c != s[i] && c != inv[i]) return false;
        }
        pos += len;
        break;
      }
      case opANYDIGIT:
      case opNOTDIGIT:
        if (pos >= E.FInputEnd || E.FDigitsSet.Contains(Code(pos)) != (op == opANYDIGIT)) return false;
        ++pos;
        break;
      case opANYOFTINYSET:
      case opANYBUTTINYSET: {
        if (pos >= E.FInputEnd) {
          E.FNeedMore = true;
          return false;
        }
        const Integer c = Code(pos);
        const bool in = c == scan->TinySet[0] || c == scan->TinySet[1] || c == scan->TinySet[2];
        if (in != (op == opANYOFTINYSET)) return false;
        ++pos;
        break;
      }
      case opANYOFFULLSET:
        if (pos >= E.FInputEnd) {
          E.FNeedMore = true;
          return false;
        }
        if (!scan->SetHash.Contains(Code(pos))) return false;
        ++pos;
        break;
      case opBSUBEXP:
      case opBSUBEXPCI: {
        const Integer g = scan->BackRef;
        if (g < 0 || g >= E.FSubexpCount || E.FStartp[g] < 0 || E.FEndp[g] < 0) return false;
        const Integer gs = E.FStartp[g], len = E.FEndp[g] - gs;
        if (E.FInputEnd - pos < len) {
          if (op == opBSUBEXP) E.FNeedMore = true;
          return false;
        }
        for (Integer i = 0; i < len; ++i) {
          Integer c = Code(pos + i), g0 = Code(gs + i);
          if (c != g0 && !(op == opBSUBEXPCI && SameCI(c, g0))) return false;
        }
        pos += len;
        break;
      }
      case opNOTHING:
      case opBACK:
      case opCOMMENT:
        break;
      case opBRANCH:
        if (next && next->Op == opBRANCH) return MatchBranch(scan);
        next = scan->NextNode;
        break;
      case opSTAR:
      case opPLUS:
      case opBRACES:
      case opSTARNG:
      case opPLUSNG:
      case opBRACESNG:
        return MatchRepeat(scan);
      case opLOOPENTRY:
        return MatchLoopEntry(scan);
      case opLOOP:
      case opLOOPNG:
        return MatchLoop(scan);
      case opLOOKAHEAD: {
        const Integer save = pos;
        if (!MatchPrim(scan->NextNode)) return false;
        if (E.FSavedReginput == -1) E.FSavedReginput = pos;
        pos = save;
        break;
      }
      default:
        if (IsOpen(op)) {
          const Integer n = op - opOPEN;
          if (n > 0) {
            const Integer save = E.FStartp[n];
            E.FStartp[n] = pos;
            if (MatchPrim(next)) return true;
            E.FStartp[n] = save;
            return false;
          }
          break;
        }
        if (IsClose(op)) {
          const Integer n = op - opCLOSE;
          if (n > 0) {
            const Integer save = E.FEndp[n];
            E.FEndp[n] = pos;
            if (!next || MatchPrim(next)) return true;
            E.FEndp[n] = save;
            return false;
          }
          if (!next) return true;
          break;
        }
        E.Error(reeMatchPrimMemoryCorruption);
    }
    scan = next;
  }
  E.Error(reeMatchPrimCorruptedPointers);
}

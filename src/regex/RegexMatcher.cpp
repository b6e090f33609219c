// The backtracking matcher: runs a compiled program from one position of the input.
#include "internal/RegexMatcher.h"
#include "internal/RegexScan.h"

namespace {

constexpr Integer kMaxMatchDepth = 1000;
// Work units: scanning, counting or comparing one code costs one unit; one recursive step of the
// matcher costs about as much as scanning kStepCost codes, one node kNodeCost, and each count a
// repeat tries (or rules out by the next literal) kTryCost.
constexpr int64_t kStepCost = 48;
constexpr int64_t kNodeCost = 2;
constexpr int64_t kTryCost = 2;
// Codes of a back-reference compared at a time, from a copy of the group's codes, so that the
// group and the input do not pull the source's window back and forth.
constexpr Integer kCompareChunk = 256;
// A code compared costs kCompareCost units over a string's units, and kWindowCompareCost
// through the window (with its fills).
constexpr int64_t kCompareCost = 3;
constexpr int64_t kWindowCompareCost = 8;
// The least a failure from a loop or branch must have cost to be remembered.
constexpr int64_t kMemoMinUnits = 4 * kStepCost;

// Nodes before which a pending lookahead position is not yet applied.
bool KeepsPendingLookahead(TKivREOp AOp) {
  return AOp == opEND || AOp == opBRANCH || AOp == opBACK || AOp == opNOTHING || AOp == opCOMMENT ||
         AOp == opLOOKAHEAD || AOp == opCLOSE;
}

}  // namespace

class TRegexMatcher::TDepthGuard {
 public:
  explicit TDepthGuard(TKivRegExp& AE) : E(AE) {
    E.Spend(kStepCost);
    if (E.FMatchPrimDepth >= kMaxMatchDepth) E.Error(reeRecursionLimit);
    if (++E.FMatchPrimDepth > E.FDepthHigh) E.FDepthHigh = E.FMatchPrimDepth;
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

bool TRegexMatcher::MatchOneCode(const TKivRegexNode* AScan) {
  Integer& pos = E.FReginput;
  const TKivREOp op = AScan->Op;
  if (op == opANYDIGIT || op == opNOTDIGIT) {
    if (pos >= E.FInputEnd || E.FDigitsSet.Contains(Code(pos)) != (op == opANYDIGIT)) return false;
    ++pos;
    return true;
  }
  if (pos >= E.FInputEnd) {
    E.FNeedMore = true;
    return false;
  }
  const Integer c = Code(pos);
  if (op == opANYOFFULLSET) {
    if (!AScan->InSet(c)) return false;
  } else {
    const bool in = c == AScan->TinySet[0] || c == AScan->TinySet[1] || c == AScan->TinySet[2];
    if (in != (op == opANYOFTINYSET)) return false;
  }
  ++pos;
  return true;
}

void TRegexMatcher::SetGroupMark(TKivREOp AOp) {
  if (IsOpen(AOp)) {
    // Until its CLOSE the group has no end: a back-reference to it inside (a group entered
    // again by a repeat) finds it unset instead of a start after its old end.
    if (const Integer n = AOp - opOPEN; n > 0) {
      E.FStartp[n] = E.FReginput;
      E.FEndp[n] = -1;
    }
  } else if (IsClose(AOp) && AOp > opCLOSE) {
    E.FEndp[AOp - opCLOSE] = E.FReginput;
  }
}

bool TRegexMatcher::RulesOut(const TKivRegexNode* ANode, Integer ACode) const {
  if (!ANode) return false;
  switch (ANode->Op) {
    case opEXACTLY:
      return !ANode->ExactStr.empty() && ACode != ANode->ExactChar;
    case opEXACTLYCI:
      return !ANode->ExactStr.empty() && ACode != ANode->ExactStr[0] && ACode != ANode->ExactStrInvC[0];
    case opANYOFFULLSET:
      return !ANode->InSet(ACode);
    case opANYOFTINYSET:
    case opANYBUTTINYSET: {
      const bool in = ACode == ANode->TinySet[0] || ACode == ANode->TinySet[1] || ACode == ANode->TinySet[2];
      return in != (ANode->Op == opANYOFTINYSET);
    }
    default:
      return false;
  }
}

bool TRegexMatcher::SameCI(Integer AInput, Integer APattern) {
  return AInput == APattern || AInput == E.FInvertCase(APattern);
}

bool TRegexMatcher::GroupExtent(Integer AGroup, Integer& AStart, Integer& ALen) const {
  if (AGroup < 0 || AGroup >= E.FSubexpCount) return false;
  const Integer s = E.FStartp[AGroup], e = E.FEndp[AGroup];
  // A group being entered again has no end yet; a reversed one is never referred to.
  if (s < 0 || e < s) return false;
  AStart = s;
  ALen = e - s;
  return true;
}

Integer TRegexMatcher::SameCodes(Integer AGroup, Integer APos, Integer ALen, bool ACI) {
  if (const char16_t* raw = In.RawUnits()) {
    const char16_t* g = raw + (AGroup - In.IdxStart());
    const char16_t* p = raw + (APos - In.IdxStart());
    Integer i = 0;
    if (ACI) {
      while (i < ALen && (p[i] == g[i] || SameCI(p[i], g[i]))) ++i;
    } else {
      while (i < ALen && p[i] == g[i]) ++i;
    }
    E.Spend(kCompareCost * (i + 1));
    return i;
  }
  std::array<Integer, kCompareChunk> chunk;
  Integer i = 0;
  while (i < ALen) {
    const Integer k = std::min(ALen - i, kCompareChunk);
    Integer avail;
    for (Integer j = 0; j < k;) {  // a window reached backwards may hold only a few codes
      const Integer* g = In.Window(AGroup + i + j, avail);
      const Integer n = std::min(avail, k - j);
      std::copy(g, g + n, chunk.begin() + j);
      j += n;
    }
    for (Integer j = 0; j < k;) {
      const Integer* w = In.Window(APos + i + j, avail);
      const Integer n = std::min(avail, k - j);
      for (Integer t = 0; t < n; ++t, ++j) {
        const Integer c = w[t], g0 = chunk[j];
        if (c != g0 && !(ACI && SameCI(c, g0))) {
          E.Spend(kWindowCompareCost * (i + j + 1));
          return i + j;
        }
      }
    }
    i += k;
  }
  E.Spend(kWindowCompareCost * ALen);
  return ALen;
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
      E.Spend(n + 1);
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
          E.Spend(i + 1);
          if (i < len) break;
          p += len;
          ++n;
        }
        return n;
      }
      const Integer ch = AP->ExactChar, inv = ci ? AP->ExactCharInvC : AP->ExactChar;
      if (Raw && ch >= 0 && ch <= 0xFFFF && inv >= 0 && inv <= 0xFFFF) {
        const Integer n =
            KivSkipUnits(Raw + pos, limit, static_cast<char16_t>(ch), static_cast<char16_t>(inv));
        E.Spend(n + 1);
        return n;
      }
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
    case opANYOFFULLSET:
      return CountWhile(limit, [AP](Integer c) { return AP->InSet(c); });
    case opBSUBEXP:
    case opBSUBEXPCI: {
      Integer gs, len;
      if (!GroupExtent(AP->BackRef, gs, len)) return 0;
      if (len == 0) {
        AUnit = 0;
        return 0;
      }
      AUnit = len;
      Integer n = 0;
      Integer p = pos;
      while (n < AMax && E.FInputEnd - p >= len) {
        if (SameCodes(gs, p, len, AP->Op == opBSUBEXPCI) < len) break;
        p += len;
        ++n;
      }
      return n;
    }
    default:
      E.Error(reeRegRepeatCalledInappropriately);
  }
}

TRegexMatcher::TStep TRegexMatcher::MatchRepeat(TKivRegexNode* AScan) {
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
  const TKivRegexNode* const solid = AScan->NextSolid;
  const Integer nextLit = NextLiteral(solid);
  // Without counted loops the loop stack is never touched.
  std::array<Integer, KivRegLoopStackSize> savedStack;
  if (E.FHasLoops) savedStack = E.FLoopStack;
  const Integer savedIdx = E.FLoopStackIdx;
  const char16_t* const raw = Raw;
  // The last count of a greedy repeat leaves nothing to try after it: without counted loops (a
  // loop stack to restore) the caller's frame goes on with the rest itself.
  const bool lastGoesOn = greedy && !E.FHasLoops;
  auto attempt = [&](Integer ACount) {
    pos = start + ACount * unit;
    if (nextLit >= 0 && pos < E.FInputEnd && (raw ? raw[pos] : Code(pos)) != nextLit) {
      E.Spend(1);  // a count the next literal rules out costs as much as a scanned code
      return stFailed;
    }
    E.Spend(kTryCost);
    E.FSavedReginput = -1;
    if (solid && solid->Op == opEND) {
      // Nothing but group marks before the end: the steps MatchPrim would take, without its frame.
      E.Spend(kStepCost);
      if (E.FMatchPrimDepth >= kMaxMatchDepth) E.Error(reeRecursionLimit);
      E.FDepthHigh = std::max(E.FDepthHigh, E.FMatchPrimDepth + 1);
      E.Spend(kNodeCost * (AScan->NextSolidHops + 1));
      for (const TKivRegexNode* m = next; m != solid; m = PassThroughNext(m)) SetGroupMark(m->Op);
      return stMatched;
    }
    if (lastGoesOn && ACount == bmin) return stGoOn;
    if (MatchPrim(next)) return stMatched;
    if (E.FHasLoops) E.FLoopStack = savedStack;
    E.FLoopStackIdx = savedIdx;
    return stFailed;
  };
  if (greedy) {
    for (Integer c = count; c >= bmin; --c) {
      if (nextLit >= 0 && nextLit <= 0xFFFF && raw && unit == 1 && start + c < E.FInputEnd) {
        // The largest count followed by the literal, in one backward scan over the units.
        const Integer from = c;
        const Integer k = KivFindLastUnit(raw + start + bmin, c - bmin + 1, static_cast<char16_t>(nextLit));
        c = k < 0 ? bmin - 1 : bmin + k;
        E.Spend(from - c);
        if (c < bmin) break;
      }
      if (const TStep r = attempt(c); r != stFailed) return r;
    }
  } else {
    for (Integer c = bmin; c <= count; ++c) {
      if (nextLit >= 0 && nextLit <= 0xFFFF && raw && unit == 1) {
        // The smallest count followed by the literal, in one forward scan over the units; the
        // counts passed over cost what the next-literal test charges for each.
        const Integer last = std::min(count, E.FInputEnd - start - 1);  // counts the test applies to
        if (c <= last) {
          const Integer k = KivFindFirstUnit(raw + start + c, last - c + 1, static_cast<char16_t>(nextLit));
          const Integer to = k < 0 ? last + 1 : c + k;
          E.Spend(to - c);
          c = to;
          if (c > count) break;
        }
      }
      if (attempt(c) == stMatched) return stMatched;
    }
    if (reachedEnd) E.FNeedMore = true;
  }
  pos = start;
  E.FSavedReginput = -1;
  return stFailed;
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

bool TRegexMatcher::OneCodeAt(const TKivRegexNode* ANode, Integer APos) {
  switch (ANode->Op) {
    case opANY:
      if (APos < E.FInputEnd) return true;
      E.FNeedMore = true;
      return false;
    case opANYML:
      return APos < E.FInputEnd && !BlocksAnyML(APos);
    case opEXACTLY:
      if (APos < E.FInputEnd) return Code(APos) == ANode->ExactStr[0];
      E.FNeedMore = true;
      return false;
    case opEXACTLYCI: {
      if (APos >= E.FInputEnd) return false;
      const Integer c = Code(APos);
      return c == ANode->ExactStr[0] || c == ANode->ExactStrInvC[0];
    }
    default: {
      const Integer save = E.FReginput;
      E.FReginput = APos;
      const bool r = MatchOneCode(ANode);
      E.FReginput = save;
      return r;
    }
  }
}

bool TRegexMatcher::MatchOneCodeLoop(TKivRegexNode* AScan) {
  const TKivRegexNode* const body = AScan->LoopOneCode;
  const Integer idx = E.FLoopStackIdx;
  const Integer cnt0 = E.FLoopStack[idx];
  const Integer iter0 = E.FLoopIterStart[idx];
  const Integer p0 = E.FReginput;
  const Integer minC = AScan->MinBrace, maxC = AScan->MaxBrace;
  const Integer nextLit = NextLiteral(AScan->NextSolid);
  const Integer end = E.FInputEnd;
  // The units of one iteration: its step, its nodes up to the loop node and the literal's
  // code; or, when the code does not match, the nodes up to the code node.
  const int64_t codeCost = body->Op == opEXACTLY || body->Op == opEXACTLYCI ? 1 : 0;
  const int64_t okCost =
      kStepCost + kNodeCost * (AScan->LoopOneCodePre + AScan->LoopOneCodePost + 2) + codeCost;
  const int64_t failCost = kStepCost + kNodeCost * (AScan->LoopOneCodePre + 1) + codeCost;
  // Iterations left before the maximum (from level 0).
  const int64_t bodyLimit = int64_t(maxC) - cnt0;
  auto restoreAll = [&]() {
    E.FLoopStackIdx = idx;
    E.FLoopStack[idx] = cnt0;
    E.FLoopIterStart[idx] = iter0;
    E.FReginput = p0;
    E.FSavedReginput = -1;
    return false;
  };
  // The rest of the pattern after level j (j iterations done), as MatchLoop's rest() runs it.
  auto rest = [&](Integer j) {
    const Integer q = p0 + j;
    if (nextLit >= 0 && q < end && Code(q) != nextLit) {
      E.Spend(1);
      return false;
    }
    E.FLoopStack[idx] = cnt0 + j;
    E.FLoopIterStart[idx] = j == 0 ? iter0 : q - 1;
    E.FReginput = q;
    E.FSavedReginput = -1;
    E.FLoopStackIdx = idx - 1;
    if (MatchPrim(AScan->NextOp)) return true;
    E.FLoopStackIdx = idx;
    return false;
  };
  const char16_t* const raw = Raw;
  const bool anyBody = body->Op == opANY;
  int64_t units = 0;
  Integer j = 0;
  // Levels below the minimum only iterate.
  for (; cnt0 + j < minC; ++j) {
    if (!OneCodeAt(body, p0 + j)) {
      E.Spend(units + failCost);
      return restoreAll();
    }
    units += okCost;
  }
  if (AScan->Op == opLOOP) {
    // Every iteration first, then the rest from the last level down to the minimum.
    const Integer jmin = j;
    if (anyBody) {
      const int64_t k = std::min<int64_t>(bodyLimit, end - p0);
      units += okCost * (k - j);
      j = static_cast<Integer>(k);
      if (j < bodyLimit) {
        E.FNeedMore = true;  // the code at the input end
        units += failCost;
      }
    } else {
      for (; j < bodyLimit; ++j) {
        if (!OneCodeAt(body, p0 + j)) {
          units += failCost;
          break;
        }
        units += okCost;
      }
    }
    E.Spend(units);
    for (; j >= jmin; --j) {
      if (nextLit >= 0 && nextLit <= 0xFFFF && raw && p0 + j < end) {
        const Integer from = j;
        const Integer k = KivFindLastUnit(raw + p0 + jmin, j - jmin + 1, static_cast<char16_t>(nextLit));
        j = k < 0 ? jmin - 1 : jmin + k;
        E.Spend(from - j);
        if (j < jmin) break;
      }
      if (rest(j)) return true;
    }
    return restoreAll();
  }
  // Lazy: the rest at each level, then one more iteration.
  for (;;) {
    if (anyBody && nextLit >= 0 && nextLit <= 0xFFFF && raw) {
      // Levels whose rest the literal rules out and whose iteration matches: one unit and an
      // iteration each.
      const int64_t room = std::min<int64_t>(bodyLimit - j, end - (p0 + j));
      if (room > 0) {
        const Integer k = KivFindFirstUnit(raw + p0 + j, static_cast<Integer>(room), static_cast<char16_t>(nextLit));
        const Integer skip = k < 0 ? static_cast<Integer>(room) : k;
        units += (okCost + 1) * skip;
        j += skip;
      }
    }
    E.Spend(units);
    units = 0;
    if (rest(j)) return true;
    if (j >= bodyLimit) break;
    if (!OneCodeAt(body, p0 + j)) {
      units += failCost;
      break;
    }
    units += okCost;
    ++j;
  }
  E.Spend(units);
  return restoreAll();
}

template <class TRun>
bool TRegexMatcher::Remembered(const TKivRegexNode* ANode, TRun ARun) {
  const Integer pos = E.FReginput;
  const size_t slot = (static_cast<size_t>(pos) + static_cast<size_t>(ANode->Index) * 97) &
                      (TKivRegExp::kLoopMemoSize - 1);
  if (!E.FLoopMemo.empty()) {
    const TKivRegExp::TLoopMemo& m = E.FLoopMemo[slot];
    if (m.Gen == E.FLoopMemoGen && m.Node == ANode->Index && m.Pos == pos &&
        E.FMatchPrimDepth + m.Depth <= kMaxMatchDepth) {
      E.FDepthHigh = std::max(E.FDepthHigh, E.FMatchPrimDepth + m.Depth);
      if (m.NeedMore) E.FNeedMore = true;
      E.Spend(m.Units);
      return false;
    }
  }
  const int64_t steps0 = E.FSteps;
  const Integer high0 = E.FDepthHigh;
  const bool needMore0 = E.FNeedMore;
  E.FDepthHigh = E.FMatchPrimDepth;
  E.FNeedMore = false;
  struct TMerge {  // what the run found joins what was there, also when it throws
    TKivRegExp& Engine;
    Integer High;
    bool NeedMore;
    ~TMerge() {
      Engine.FDepthHigh = std::max(Engine.FDepthHigh, High);
      Engine.FNeedMore = Engine.FNeedMore || NeedMore;
    }
  } merge{E, high0, needMore0};
  if (ARun()) return true;
  // A failure that cost little is not worth a place.
  if (const int64_t units = E.FSteps - steps0; units >= kMemoMinUnits) {
    if (E.FLoopMemo.empty()) E.FLoopMemo.resize(TKivRegExp::kLoopMemoSize);
    E.FLoopMemo[slot] = {E.FLoopMemoGen, ANode->Index, pos, E.FDepthHigh - E.FMatchPrimDepth, units, E.FNeedMore};
  }
  return false;
}

bool TRegexMatcher::MatchLoop(TKivRegexNode* AScan) {
  // An outermost loop at or above its minimum, without a maximum, with no lookahead position
  // pending and not after an empty iteration behaves the same whatever its count: whether the
  // rest of the attempt matches from here depends on the position alone.
  if (E.FLoopStackIdx != 1 || !E.FMemoOk || !(E.FOptimizations & roLoopMemo) || E.FSavedReginput != -1 ||
      E.FSteps < E.FLoopMemoThreshold ||
      AScan->MaxBrace != RegExprInfinity || E.FLoopStack[1] < AScan->MinBrace ||
      (E.FLoopStack[1] > 0 && E.FLoopIterStart[1] == E.FReginput))
    return MatchLoopRun(AScan);
  return Remembered(AScan, [&] { return MatchLoopRun(AScan); });
}

bool TRegexMatcher::MatchLoopRun(TKivRegexNode* AScan) {
  const Integer idx = E.FLoopStackIdx;
  if (idx <= 0) E.Error(reeLoopWithoutEntry);
  const Integer cnt = E.FLoopStack[idx];
  const Integer iterStart = E.FLoopIterStart[idx];
  const Integer savePos = E.FReginput, savePending = E.FSavedReginput;
  if (AScan->LoopOneCode && savePending == -1 && !(cnt > 0 && iterStart == savePos) &&
      (E.FOptimizations & roLoopRun)) {
    const TKivREOp op = AScan->LoopOneCode->Op;
    if ((op != opEXACTLY && op != opEXACTLYCI) || AScan->LoopOneCode->ExactStr.size() == 1)
      return MatchOneCodeLoop(AScan);
  }
  const Integer nextLit = NextLiteral(AScan->NextSolid);
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
    // A literal after the loop that cannot start here fails at once (as in simple repeats).
    if (nextLit >= 0 && savePending == -1 && savePos < E.FInputEnd && Code(savePos) != nextLit) {
      E.Spend(1);
      return false;
    }
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
  // Outside counted loops, with no lookahead position pending, whether the rest of the attempt
  // matches from a branch depends on the position alone.
  if (E.FLoopStackIdx == 0 && E.FMemoOk && (E.FOptimizations & roLoopMemo) && E.FSavedReginput == -1 &&
      E.FSteps >= E.FLoopMemoThreshold)
    return Remembered(AScan, [&] { return MatchBranchRun(AScan); });
  return MatchBranchRun(AScan);
}

bool TRegexMatcher::MatchOneCodeStar(TKivRegexNode* AScan) {
  const TKivRegexNode* const body = AScan->LoopOneCode;
  TKivRegexNode* const exit = AScan->NextOp;
  const Integer p0 = E.FReginput;
  const Integer end = E.FInputEnd;
  const bool literalTests = (E.FOptimizations & roNextLiteral) != 0;
  const int64_t codeCost = body->Op == opEXACTLY || body->Op == opEXACTLYCI ? 1 : 0;
  // A level's way round: its step, the nodes up to the code and the code; then the nodes after
  // it and the branch again.
  const int64_t tryCost = kStepCost + kNodeCost * (AScan->LoopOneCodePre + 1) + codeCost;
  const int64_t onCost = kNodeCost * (AScan->LoopOneCodePost + 1);
  auto here = [&](Integer AQ) { return literalTests && AQ < end ? Code(AQ) : -1; };
  // Round the loop while the code matches (each level's first alternative).
  int64_t units = 0;
  Integer k = 0;
  for (;; ++k) {
    const Integer q = p0 + k;
    const Integer c = here(q);
    if (c >= 0 && RulesOut(AScan->NextSolid, c)) {
      units += 1;
      break;
    }
    units += tryCost;
    if (!OneCodeAt(body, q)) break;
    units += onCost;
  }
  E.Spend(units);
  // Then each level's second alternative, the rest, from the last level back to the first.
  for (Integer j = k; j >= 0; --j) {
    const Integer q = p0 + j;
    const Integer c = here(q);
    if (c >= 0 && RulesOut(exit->NextSolid, c)) {
      E.Spend(1);
      continue;
    }
    E.FReginput = q;
    E.FSavedReginput = -1;
    if (MatchPrim(exit->NextNode)) return true;
  }
  E.FReginput = p0;
  E.FSavedReginput = -1;
  return false;
}

bool TRegexMatcher::MatchBranchRun(TKivRegexNode* AScan) {
  if (AScan->LoopOneCode && E.FSavedReginput == -1 && (E.FOptimizations & roLoopRun)) {
    const TKivREOp op = AScan->LoopOneCode->Op;
    if ((op != opEXACTLY && op != opEXACTLYCI) || AScan->LoopOneCode->ExactStr.size() == 1)
      return MatchOneCodeStar(AScan);
  }
  const Integer savePos = E.FReginput, savePending = E.FSavedReginput;
  // The code here, when alternatives may be ruled out by their first node.
  const Integer here =
      (E.FOptimizations & roNextLiteral) && savePending == -1 && savePos < E.FInputEnd ? Code(savePos) : -1;
  for (TKivRegexNode* b = AScan; b && b->Op == opBRANCH; b = b->NextOp) {
    if (here >= 0 && RulesOut(b->NextSolid, here)) {
      E.Spend(1);  // as the next-literal test of a repeat
      continue;
    }
    if (MatchPrim(b->NextNode)) return true;
    E.FReginput = savePos;
    E.FSavedReginput = savePending;
  }
  return false;
}

bool TRegexMatcher::MatchDirect() {
  // The units MatchPrim would spend on the same steps are added up here and charged at the end
  // (or when the attempt fails): nothing in this shape can run away, since every step moves
  // forward or backward over the input once.
  int64_t units = kStepCost;  // the step into the program
  if (E.FMatchPrimDepth >= kMaxMatchDepth) E.Error(reeRecursionLimit);
  Integer& pos = E.FReginput;
  const Integer inStart = E.FInputStart, inEnd = E.FInputEnd;
  const TKivCharSet& word = E.FWordCharsSet;
  auto isBoundary = [&](Integer APos) {
    const bool prevWord = APos > inStart && word.Contains(Code(APos - 1));
    const bool curWord = APos < inEnd && word.Contains(Code(APos));
    return prevWord != curWord;
  };
  auto fail = [&]() {
    E.Spend(units);
    return false;
  };
  // Boundary tests from ANode on until the end node, each a node step; true at the end node.
  auto bounds = [&](const TKivRegexNode* ANode) {
    for (; ANode->Op != opEND; ANode = ANode->NextOp) {
      units += kNodeCost;
      if (isBoundary(pos) != (ANode->Op == opBOUND)) return false;
    }
    units += kNodeCost;
    return true;
  };
  units += kNodeCost;  // the one branch
  const TKivRegexNode* scan = E.FProgrammFirst->NextNode;
  for (; scan->Op == opBOUND || scan->Op == opNOTBOUND; scan = scan->NextOp) {
    units += kNodeCost;
    if (isBoundary(pos) != (scan->Op == opBOUND)) return fail();
  }
  if (scan->Op != opSTAR && scan->Op != opPLUS && scan->Op != opBRACES) {
    units += kNodeCost;
    if (!MatchOneCode(scan)) return fail();
    scan = scan->NextOp;
  }
  if (scan->Op != opSTAR && scan->Op != opPLUS && scan->Op != opBRACES) {
    const bool r = bounds(scan);
    E.Spend(units);
    return r;
  }
  // A greedy repeat as MatchRepeat runs it: the longest count first, then each shorter one.
  units += kNodeCost;
  E.Spend(units);  // the repeat counts (and charges) its codes itself
  units = 0;
  const Integer bmin = scan->Op == opSTAR ? 0 : scan->Op == opPLUS ? 1 : scan->MinBrace;
  const Integer bmax = scan->Op == opBRACES ? scan->MaxBrace : RegExprInfinity;
  const TKivRegexNode* const next = scan->NextOp;
  const Integer start = pos;
  Integer unit;
  const Integer count = RegRepeat(scan->NextNode, bmax, unit);
  if (start + count == inEnd) E.FNeedMore = true;
  E.FSavedReginput = -1;
  for (Integer c = count; c >= bmin; --c) {
    pos = start + c;
    units += kTryCost;
    if (next->Op == opEND) {
      units += kStepCost + kNodeCost;
      E.Spend(units);
      return true;
    }
    if (c != bmin) units += kStepCost;  // a shorter count is a step of its own
    if (bounds(next)) {
      E.Spend(units);
      return true;
    }
  }
  pos = start;
  return fail();
}

bool TRegexMatcher::MatchPrim(TKivRegexNode* AScan) {
  TDepthGuard guard(E);
  Integer& pos = E.FReginput;
  // The groups this frame opened or closed, with their former extents: the frame restores them
  // before it fails, so a group node needs no level of recursion of its own.
  TGroupUndo log[kGroupUndoSize];
  Integer nlog = 0;
  // Only a lookahead leaves a position pending.
  const bool lookahead = E.FHasLookahead;
  TKivRegexNode* scan = AScan;
  while (scan) {
    E.Spend(kNodeCost);
    const TKivREOp op = scan->Op;
    if (lookahead && E.FSavedReginput != -1 && !KeepsPendingLookahead(op)) {
      pos = E.FSavedReginput;
      E.FSavedReginput = -1;
    }
    TKivRegexNode* next = scan->NextOp;
    switch (op) {
      case opEND:
        return true;
      case opBOL:
        if (pos != E.FInputStart) return Undo(log, nlog);
        break;
      case opEOL:
        if (pos != E.FInputEnd) return Undo(log, nlog);
        break;
      case opBOLML:
        if (!AtLineStart(pos)) return Undo(log, nlog);
        break;
      case opEOLML:
        if (!AtLineEnd(pos)) return Undo(log, nlog);
        break;
      case opBOUND:
        if (!IsBoundary(pos)) return Undo(log, nlog);
        break;
      case opNOTBOUND:
        if (IsBoundary(pos)) return Undo(log, nlog);
        break;
      case opANY:
        if (pos >= E.FInputEnd) {
          E.FNeedMore = true;
          return Undo(log, nlog);
        }
        ++pos;
        break;
      case opANYML:
        if (pos >= E.FInputEnd || BlocksAnyML(pos)) return Undo(log, nlog);
        ++pos;
        break;
      case opEXACTLY: {
        const TKivIntArray& s = scan->ExactStr;
        const Integer len = static_cast<Integer>(s.size());
        E.Spend(len);
        for (Integer i = 0; i < len; ++i) {
          if (pos + i >= E.FInputEnd) {
            E.FNeedMore = true;
            return Undo(log, nlog);
          }
          if (Code(pos + i) != s[i]) return Undo(log, nlog);
        }
        pos += len;
        break;
      }
      case opEXACTLYCI: {
        const TKivIntArray& s = scan->ExactStr;
        const TKivIntArray& inv = scan->ExactStrInvC;
        const Integer len = static_cast<Integer>(s.size());
        E.Spend(len);
        if (E.FInputEnd - pos < len) return Undo(log, nlog);
        for (Integer i = 0; i < len; ++i) {
          Integer c = Code(pos + i);
          if (c != s[i] && c != inv[i]) return Undo(log, nlog);
        }
        pos += len;
        break;
      }
      case opANYDIGIT:
      case opNOTDIGIT:
      case opANYOFTINYSET:
      case opANYBUTTINYSET:
      case opANYOFFULLSET:
        if (!MatchOneCode(scan)) return Undo(log, nlog);
        break;
      case opBSUBEXP:
      case opBSUBEXPCI: {
        Integer gs, len;
        if (!GroupExtent(scan->BackRef, gs, len)) return Undo(log, nlog);
        if (E.FInputEnd - pos < len) {
          if (op == opBSUBEXP) E.FNeedMore = true;
          return Undo(log, nlog);
        }
        if (SameCodes(gs, pos, len, op == opBSUBEXPCI) < len) return Undo(log, nlog);
        pos += len;
        break;
      }
      case opNOTHING:
      case opBACK:
      case opCOMMENT:
        break;
      case opBRANCH:
        if (next && next->Op == opBRANCH) return MatchBranch(scan) || Undo(log, nlog);
        next = scan->NextNode;
        break;
      case opSTAR:
      case opPLUS:
      case opBRACES:
      case opSTARNG:
      case opPLUSNG:
      case opBRACESNG:
        switch (MatchRepeat(scan)) {
          case stMatched:
            return true;
          case stFailed:
            return Undo(log, nlog);
          case stGoOn:
            break;  // the repeat's last count: the rest runs in this frame
        }
        break;
      case opLOOPENTRY:
        return MatchLoopEntry(scan) || Undo(log, nlog);
      case opLOOP:
      case opLOOPNG:
        return MatchLoop(scan) || Undo(log, nlog);
      case opLOOKAHEAD: {
        const Integer save = pos;
        if (!MatchPrim(scan->NextNode)) return Undo(log, nlog);
        if (E.FSavedReginput == -1) E.FSavedReginput = pos;
        pos = save;
        break;
      }
      default:
        if (IsOpen(op) || IsClose(op)) {
          const bool open = IsOpen(op);
          const Integer n = open ? op - opOPEN : op - opCLOSE;
          if (n > 0) {
            const Integer saveStart = E.FStartp[n], saveEnd = E.FEndp[n];
            SetGroupMark(op);
            if (nlog < kGroupUndoSize) {
              log[nlog++] = {n, saveStart, saveEnd};
            } else {
              // A full log: this frame's rest runs one level deeper, which restores the group.
              if ((!next && !open) || MatchPrim(next)) return true;
              E.FStartp[n] = saveStart;
              E.FEndp[n] = saveEnd;
              return Undo(log, nlog);
            }
          }
          if (!next && !open) return true;
          break;
        }
        E.Error(reeMatchPrimMemoryCorruption);
    }
    scan = next;
  }
  E.Error(reeMatchPrimCorruptedPointers);
}

// The lead of a program: the fixed start every match begins with, tested before an anchored
// attempt runs the matcher. Most attempts of a token rule fail within their first codes (a
// boundary inside a word, indentation not followed by the rule's symbol); the lead finds that
// out without the matcher's set-up and recursion.
//
// The lead only ever rejects a position at which the matcher certainly fails, and only on codes
// before the input end: where the lead would need a code at or past the end it passes, so the
// matcher still decides every answer that depends on more input (need-more included).
#include <algorithm>

#include "internal/RegexNode.h"

namespace {

// Kinds of lead steps.
enum : Integer {
  lkBol,       // the input start
  lkBound,     // a word boundary
  lkNotBound,  // no word boundary
  lkCode,      // one code: Code or Other
  lkSet,       // one code of the one-code set Node
  lkRun,       // the greedy repeat Node: at least its minimum, then the next step
};

// At most this many nodes are walked, and at most so many steps tested: the matcher reaches the
// node that fails well inside its recursion limit, and a lead stays cheap.
constexpr size_t kMaxLeadNodes = 32;
constexpr size_t kMaxLeadSteps = 32;

bool IsOneCodeOp(TKivREOp AOp) {
  return AOp == opANYDIGIT || AOp == opNOTDIGIT || AOp == opANYOFTINYSET || AOp == opANYBUTTINYSET ||
         AOp == opANYOFFULLSET;
}

// A literal with fixed codes (not a variable, whose codes change with its value).
bool IsFixedLiteral(const TKivRegexNode* AN) {
  return (AN->Op == opEXACTLY || AN->Op == opEXACTLYCI) && AN->ExactVarId < 0 && !AN->ExactStr.empty();
}

// A greedy repeat of one code: a one-code set or a fixed one-code literal.
bool IsRepeatOfOneCode(const TKivRegexNode* AN) {
  if (AN->Op != opSTAR && AN->Op != opPLUS && AN->Op != opBRACES) return false;
  const TKivRegexNode* opnd = AN->NextNode;
  return opnd && (IsOneCodeOp(opnd->Op) || (IsFixedLiteral(opnd) && opnd->ExactStr.size() == 1));
}

// The node the matcher runs after AN when AN neither consumes nor tests anything (group marks,
// empty nodes, a branch without alternatives), or AN itself; nullptr where the chain ends.
const TKivRegexNode* SkipMarks(const TKivRegexNode* AN) {
  for (size_t guard = 0; AN && guard < kMaxLeadNodes; ++guard) {
    const TKivREOp op = AN->Op;
    if (op == opNOTHING || op == opBACK || op == opCOMMENT || IsOpen(op) || IsClose(op)) {
      AN = AN->NextOp;
    } else if (op == opBRANCH && !(AN->NextOp && AN->NextOp->Op == opBRANCH)) {
      AN = AN->NextNode;
    } else {
      return AN;
    }
  }
  return nullptr;
}

// Whether the code ACode passes AN as the matcher tests it: a one-code set, or the first code of
// a literal (for a one-code literal repeated, its code in either case).
bool Takes(const TKivRegexNode* AN, const TKivCharSet& ADigits, Integer ACode) {
  switch (AN->Op) {
    case opANYDIGIT:
      return ADigits.Contains(ACode);
    case opNOTDIGIT:
      return !ADigits.Contains(ACode);
    case opANYOFTINYSET:
    case opANYBUTTINYSET: {
      const bool in = ACode == AN->TinySet[0] || ACode == AN->TinySet[1] || ACode == AN->TinySet[2];
      return in == (AN->Op == opANYOFTINYSET);
    }
    case opANYOFFULLSET:
      return AN->InSet(ACode);
    case opEXACTLY:
      return ACode == AN->ExactStr[0];
    default:  // opEXACTLYCI
      return ACode == AN->ExactStr[0] || ACode == AN->ExactStrInvC[0];
  }
}

// Every code AN can take, when they are few and known (a literal's first code, a tiny set, a set
// of codes below 256); false otherwise.
bool TakenCodes(const TKivRegexNode* AN, const TKivCharSet& ADigits, TKivIntArray& ACodes) {
  ACodes.clear();
  auto ansiOnly = [&](const TKivCharSet& ASet) {
    if (!ASet.IsAnsiSet || ASet.Inverted()) return false;  // codes past 255 may belong to it
    for (Integer c = 0; c < 256; ++c)
      if (Takes(AN, ADigits, c)) ACodes.push_back(c);
    return true;
  };
  switch (AN->Op) {
    case opEXACTLY:
      ACodes.push_back(AN->ExactStr[0]);
      return true;
    case opEXACTLYCI:
      ACodes.push_back(AN->ExactStr[0]);
      ACodes.push_back(AN->ExactStrInvC[0]);
      return true;
    case opANYOFTINYSET:
      for (Integer c : AN->TinySet)
        if (c >= 0) ACodes.push_back(c);
      return true;
    case opANYDIGIT:
      return ansiOnly(ADigits);
    case opANYOFFULLSET:
      return ansiOnly(AN->SetHash);
    default:
      return false;
  }
}

// Whether no code passes both ARepeated (the operand of a repeat) and ANext.
bool Disjoint(const TKivRegexNode* ARepeated, const TKivRegexNode* ANext, const TKivCharSet& ADigits) {
  TKivIntArray codes;
  const TKivRegexNode* other = ARepeated;
  if (!TakenCodes(ANext, ADigits, codes)) {
    if (!TakenCodes(ARepeated, ADigits, codes)) return false;
    other = ANext;
  }
  for (Integer c : codes)
    if (Takes(other, ADigits, c)) return false;
  return true;
}

}  // namespace

void TKivRegExp::ComputeLead() {
  FLead.clear();
  // A program that runs directly fails about as fast as its lead would.
  if (FDirectRun) return;
  const TKivRegexNode* n = FProgrammFirst;
  for (size_t walked = 0; n && walked < kMaxLeadNodes && FLead.size() < kMaxLeadSteps; ++walked) {
    n = SkipMarks(n);
    if (!n) break;
    const TKivREOp op = n->Op;
    if (op == opBOL || op == opBOUND || op == opNOTBOUND) {
      FLead.push_back({op == opBOL ? lkBol : op == opBOUND ? lkBound : lkNotBound});
    } else if (IsOneCodeOp(op)) {
      FLead.push_back({lkSet, -1, -1, n});
    } else if (IsFixedLiteral(n)) {
      // Code by code: the matcher fails at the first code that differs, or (with case ignored)
      // at once when the literal is cut by the end, where the lead passes.
      const TKivIntArray& inv = op == opEXACTLYCI ? n->ExactStrInvC : n->ExactStr;
      size_t i = 0;
      for (; i < n->ExactStr.size() && FLead.size() < kMaxLeadSteps; ++i)
        FLead.push_back({lkCode, n->ExactStr[i], inv[i]});
      if (i < n->ExactStr.size()) break;  // a long literal: its first codes are enough
    } else if (IsRepeatOfOneCode(n)) {
      // A greedy repeat can be tested alone only when it must stop at the first code outside
      // its set: the node after it takes none of the codes the repeat takes, so every shorter
      // count leaves that node a code it fails on.
      const TKivRegexNode* next = SkipMarks(n->NextOp);
      if (!next || !(IsOneCodeOp(next->Op) || IsFixedLiteral(next)) ||
          !Disjoint(n->NextNode, next, FDigitsSet))
        break;
      FLead.push_back({lkRun, -1, -1, n});
    } else {
      break;  // alternatives, lookaheads, back-references, lazy or counted loops, ...
    }
    n = n->NextOp;
  }
  // A lone one-code test is what the first-code test does already.
  if (FLead.size() == 1 && (FLead[0].Kind == lkSet || FLead[0].Kind == lkCode)) FLead.clear();
}

bool TKivRegExp::LeadRejects(Integer APos, bool AEndRejects) {
  TKivRegexSource& in = *FInput;
  const Integer end = FInputEnd;
  // The steps in order from APos; false (pass) where a step would need a code at or past the
  // end: the matcher decides those, for its need-more answer. A caller that does not ask for
  // that answer (AEndRejects) gets a rejection there too: a step that needs a code the input
  // does not have fails in the matcher as well. A rejection costs the codes read, fewer units
  // than the matcher spends failing on the same nodes. A pass costs nothing here: the matcher
  // reads those codes again and counts them.
  auto rejects = [&](auto ACode) {
    Integer pos = APos;
    int64_t read = 0;
    for (const TLeadStep& s : FLead) {
      // At the end only a step that needs a code decides here; the others run below as they
      // would inside the input (a run counts nothing, a boundary sees no code after it).
      if (pos >= end) {
        if (!AEndRejects) return false;
        if (s.Kind == lkCode || s.Kind == lkSet) {
          Spend(read);
          return true;
        }
      }
      switch (s.Kind) {
        case lkBol:
          if (pos != FInputStart) return true;  // nothing read
          break;
        case lkCode: {
          ++read;
          const Integer c = ACode(pos);
          if (c != s.Code && c != s.Other) {
            Spend(read);
            return true;
          }
          ++pos;
          break;
        }
        case lkSet:
          ++read;
          if (!Takes(s.Node, FDigitsSet, ACode(pos))) {
            Spend(read);
            return true;
          }
          ++pos;
          break;
        case lkRun: {
          const TKivRegexNode* rep = s.Node;
          const TKivRegexNode* opnd = rep->NextNode;
          const TKivREOp op = rep->Op;
          const Integer bmin = op == opSTAR ? 0 : op == opPLUS ? 1 : rep->MinBrace;
          const Integer limit = std::min(op == opBRACES ? rep->MaxBrace : RegExprInfinity, end - pos);
          Integer count = 0;
          if (opnd->Op == opANYOFFULLSET) {
            while (count < limit && opnd->InSet(ACode(pos + count))) ++count;
          } else if (opnd->Op == opEXACTLY || opnd->Op == opEXACTLYCI) {  // as the matcher counts it
            const Integer ch = opnd->ExactChar, other = opnd->Op == opEXACTLYCI ? opnd->ExactCharInvC : ch;
            for (Integer c; count < limit && ((c = ACode(pos + count)) == ch || c == other);) ++count;
          } else {
            while (count < limit && Takes(opnd, FDigitsSet, ACode(pos + count))) ++count;
          }
          read += count + 1;
          if (pos + count >= end && !AEndRejects) return false;  // the run reaches the end
          if (count < bmin) {
            Spend(read);
            return true;
          }
          pos += count;
          break;
        }
        default: {  // a boundary test, as the matcher's
          read += (pos > FInputStart ? 1 : 0) + (pos < end ? 1 : 0);
          const bool prevWord = pos > FInputStart && FWordCharsSet.Contains(ACode(pos - 1));
          const bool curWord = pos < end && FWordCharsSet.Contains(ACode(pos));
          if ((prevWord != curWord) != (s.Kind == lkBound)) {
            Spend(read);
            return true;
          }
        }
      }
    }
    return false;
  };
  if (const char16_t* raw = in.RawUnits()) {
    const char16_t* const units = raw - in.IdxStart();
    return rejects([units](Integer AIdx) { return Integer(units[AIdx]); });
  }
  return rejects([&in](Integer AIdx) { return in.GetCode(AIdx); });
}

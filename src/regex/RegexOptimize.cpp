// Optimisation data of a compiled program: variable values, must-have literal, start node,
// anchoring and the first-code set.
#include "internal/RegexNode.h"

namespace {

bool IsZeroWidthOp(TKivREOp AOp) {
  switch (AOp) {
    case opBOL:
    case opEOL:
    case opBOLML:
    case opEOLML:
    case opBOUND:
    case opNOTBOUND:
    case opNOTHING:
    case opBACK:
    case opCOMMENT:
      return true;
    default:
      return IsOpen(AOp) || IsClose(AOp);
  }
}

bool IsRepeatOrLoop(TKivREOp AOp) {
  return IsSimpleRepeat(AOp) || AOp == opLOOP || AOp == opLOOPNG;
}

// Whether a simple repeat's operand can match the empty string at run time.
bool OperandCanBeEmpty(const TKivRegexNode* AOp) {
  switch (AOp->Op) {
    case opEXACTLY:
    case opEXACTLYCI:
      return AOp->ExactStr.empty();
    case opBSUBEXP:
    case opBSUBEXPCI:
      return true;
    default:
      return false;
  }
}

// Whether the chain from AStart can reach its end (a node without NextOp) without consuming a
// code. Used for lookahead operands, whose CLOSE[0] ends the chain. Errs towards "yes".
bool CanFallOffEmpty(TKivRegexNode* AStart, size_t ANodeCount) {
  std::vector<char> seen(ANodeCount, 0);
  std::vector<TKivRegexNode*> todo{AStart};
  bool fell = false;
  auto push = [&](TKivRegexNode* AN) {
    if (!AN)
      fell = true;
    else
      todo.push_back(AN);
  };
  while (!todo.empty() && !fell) {
    TKivRegexNode* n = todo.back();
    todo.pop_back();
    if (seen[n->Index]) continue;
    seen[n->Index] = 1;
    TKivREOp op = n->Op;
    if (op == opEND) return true;
    if (IsZeroWidthOp(op)) {
      push(n->NextOp);
      continue;
    }
    switch (op) {
      case opBRANCH:
        if (n->NextOp && n->NextOp->Op == opBRANCH) {
          for (TKivRegexNode* b = n; b && b->Op == opBRANCH; b = b->NextOp) push(b->NextNode);
        } else {
          push(n->NextNode);
        }
        break;
      case opEXACTLY:
      case opEXACTLYCI:
      case opBSUBEXP:
      case opBSUBEXPCI:
        if (OperandCanBeEmpty(n)) push(n->NextOp);
        break;
      case opSTAR:
      case opSTARNG:
        push(n->NextOp);
        break;
      case opPLUS:
      case opPLUSNG:
        if (OperandCanBeEmpty(n->NextNode)) push(n->NextOp);
        break;
      case opBRACES:
      case opBRACESNG:
        if (n->MinBrace == 0 || OperandCanBeEmpty(n->NextNode)) push(n->NextOp);
        break;
      case opLOOPENTRY:
        push(n->NextNode);
        if (n->NextOp && n->NextOp->MinBrace == 0) push(n->NextOp->NextOp);
        break;
      case opLOOP:
      case opLOOPNG:
        push(n->NextOp);
        break;
      case opLOOKAHEAD:
        push(n->NextNode);
        push(n->NextOp);
        break;
      default:
        break;  // consumes a code
    }
  }
  return fell;
}

// The node after ANode when ANode does nothing at all in the matcher (no group mark either), or
// nullptr.
TKivRegexNode* InertNext(const TKivRegexNode* ANode) {
  switch (ANode->Op) {
    case opNOTHING:
    case opCOMMENT:
    case opBACK:
    case opOPEN:  // non-capturing
      return ANode->NextOp;
    case opCLOSE:
      return ANode->NextOp;  // nullptr at a lookahead's end
    case opBRANCH:
      return ANode->NextOp && ANode->NextOp->Op == opBRANCH ? nullptr : ANode->NextNode;
    default:
      return nullptr;
  }
}

bool IsOneCodeOp(TKivREOp AOp) {
  switch (AOp) {
    case opANY:
    case opANYML:
    case opEXACTLY:
    case opEXACTLYCI:
    case opANYDIGIT:
    case opNOTDIGIT:
    case opANYOFTINYSET:
    case opANYBUTTINYSET:
    case opANYOFFULLSET:
      return true;
    default:
      return false;
  }
}

// Walks from AFirst round to AOwner (a loop or the branch of a star): when the way holds one code
// between nodes that do nothing, notes the code node and the inert nodes before and after it.
void SetOneCodeOnCycle(TKivRegexNode* AOwner, TKivRegexNode* AFirst) {
  constexpr Integer kMaxHops = 16;
  Integer pre = 0, post = 0;
  TKivRegexNode* n = AFirst;
  while (n && pre < kMaxHops && InertNext(n)) {
    n = InertNext(n);
    ++pre;
  }
  if (!n || !IsOneCodeOp(n->Op)) return;
  TKivRegexNode* const code = n;
  n = code->NextOp;
  while (n && n != AOwner && post < kMaxHops && InertNext(n)) {
    n = InertNext(n);
    ++post;
  }
  if (n != AOwner) return;
  AOwner->LoopOneCode = code;
  AOwner->LoopOneCodePre = pre;
  AOwner->LoopOneCodePost = post;
}

void SetLoopOneCode(TKivRegexNode* ALoop) {
  ALoop->LoopOneCode = nullptr;
  SetOneCodeOnCycle(ALoop, ALoop->LoopTo);
}

// The first branch of a greedy star or plus over a complex atom: two alternatives, the first
// going round through the atom back to the branch. When that atom is one code between nodes that
// do nothing, notes the code node and the nodes around it.
void SetBranchOneCode(TKivRegexNode* ABranch) {
  ABranch->LoopOneCode = nullptr;
  TKivRegexNode* const exit = ABranch->NextOp;
  if (!exit || exit->Op != opBRANCH || (exit->NextOp && exit->NextOp->Op == opBRANCH)) return;
  SetOneCodeOnCycle(ABranch, ABranch->NextNode);
}

}  // namespace

void TKivRegExp::PrepareLiteral(const TKivRegexNode* ANode, bool AIgnoreCase) {
  FBMSearch->Prepare(ANode->ExactStr, AIgnoreCase);
  FLitUnits.clear();
  FLitAlt.clear();
  FLitRaw = true;
  for (Integer c : ANode->ExactStr) {
    const Integer alt = AIgnoreCase ? (FInvertCase ? FInvertCase(c) : InvertCaseFunction(c)) : c;
    if (c < 0 || c > 0xFFFF || alt < 0 || alt > 0xFFFF) FLitRaw = false;
    FLitUnits.push_back(static_cast<char16_t>(c));
    FLitAlt.push_back(static_cast<char16_t>(alt));
  }
}

void TKivRegExp::FillVariables() {
  TKivIntArray codes;
  for (TKivRegexNode* n : FVariablesList) {
    codes.clear();
    if (FVarGetter) FVarGetter(n->ExactVarId, codes);
    n->SetExact(codes, FInvertCase);
  }
}

void TKivRegExp::ComputeOptimisation() {
  FRegStart = nullptr;
  FRegAnch = false;
  FRegmustExact = nullptr;
  FScanStart = nullptr;
  FLiteralOnly = false;
  FFirstCharSet.Clear();
  FFirstCharSetHasUnicode = true;
  FVarsOptsOk = true;
  FDirectRun = false;
  FOneCodeSet = nullptr;
  TKivRegexNode* first = FProgrammFirst;
  if (!first) return;
  FHasLoops = false;
  FHasLookahead = false;
  bool backRefs = false;
  for (const auto& n : FNodes) {
    if (n->Op == opBSUBEXP || n->Op == opBSUBEXPCI) backRefs = true;
    if (n->Op == opLOOPENTRY) FHasLoops = true;
    if (n->Op == opLOOKAHEAD) FHasLookahead = true;
    if (n->Op == opANYOFFULLSET)
      for (Integer c = 0; c < 256; ++c) n->SetTable[c] = n->SetHash.Contains(c) ? 1 : 0;
    // What a count must be followed by, or an alternative start with: the matcher tests it
    // before it tries the count or the alternative.
    const bool repeat = IsRepeatOrLoop(n->Op);
    if (repeat || n->Op == opBRANCH) {
      constexpr Integer kMaxHops = 16;
      TKivRegexNode* solid = repeat ? n->NextOp : n->NextNode;
      Integer hops = 0;
      for (; solid && hops < kMaxHops; ++hops) {
        TKivRegexNode* after = PassThroughNext(solid);
        if (!after) break;
        solid = after;
      }
      n->NextSolid = hops < kMaxHops ? solid : nullptr;
      n->NextSolidHops = hops;
    }
    if (n->Op == opLOOP || n->Op == opLOOPNG) SetLoopOneCode(n.get());
    if (n->Op == opBRANCH) SetBranchOneCode(n.get());
  }
  FMemoOk = !FHasLookahead && !backRefs;

  if (first->NextOp && first->NextOp->Op == opEND) {
    // Must-have literal: the longest literal of the top-level chain.
    if (FSpStart && !(FModifiers & KivRegModA)) {
      size_t best = 0;
      for (TKivRegexNode* n = first->NextNode; n && n->Op != opEND; n = n->NextOp)
        if ((n->Op == opEXACTLY || n->Op == opEXACTLYCI) && !n->ExactStr.empty() &&
            n->ExactStr.size() >= best) {
          best = n->ExactStr.size();
          FRegmustExact = n;
        }
      if (FRegmustExact)
        PrepareLiteral(FRegmustExact, (FModifiers & KivRegModI) || FRegmustExact->Op == opEXACTLYCI);
    }
    // Start node.
    TKivRegexNode* scan = first;
    for (size_t guard = 0; scan && guard <= FNodes.size(); ++guard) {
      TKivREOp op = scan->Op;
      if (op == opBRANCH) {
        if (scan->NextOp && (scan->NextOp->Op == opBRANCH || scan->NextOp->Op == opNOTHING)) break;
        scan = scan->NextNode;
      } else if (op == opPLUS || op == opPLUSNG || op == opLOOKAHEAD) {
        scan = scan->NextNode;
      } else if (op == opBRACES || op == opBRACESNG) {
        if (scan->MinBrace <= 0) break;
        scan = scan->NextNode;
      } else if (op == opLOOPENTRY) {
        if (!scan->NextOp || scan->NextOp->MinBrace <= 0) break;
        scan = scan->NextNode;
      } else if (IsOpen(op)) {
        scan = scan->NextOp;
      } else {
        if (op == opBOL) {
          FRegAnch = true;
        } else if (op == opEXACTLY || op == opEXACTLYCI) {
          if (!scan->ExactStr.empty()) {
            FRegStart = scan;
            PrepareLiteral(scan, (FModifiers & KivRegModI) || op == opEXACTLYCI);
            // A pattern that is nothing but this literal: a found occurrence is the match.
            FLiteralOnly = first->Op == opBRANCH && first->NextNode == scan && scan->NextOp &&
                           scan->NextOp->Op == opEND && ((FModifiers & KivRegModI) != 0) == (op == opEXACTLYCI);
          }
        } else if (op == opANYDIGIT || op == opNOTDIGIT || op == opANYOFTINYSET || op == opANYBUTTINYSET ||
                   op == opANYOFFULLSET) {
          FRegStart = scan;
        }
        break;
      }
    }
  }

  // An unbounded repeat of a one-code class first, without groups: what follows the repeat is
  // tried at positions that only depend on where the run of the class ends.
  FRunStart = false;
  if (FRegStart && FSubexpCount == 1 && first->Op == opBRANCH && first->NextOp && first->NextOp->Op == opEND) {
    const TKivRegexNode* r = first->NextNode;
    const bool unbounded = r->Op == opPLUS || r->Op == opPLUSNG ||
                           ((r->Op == opBRACES || r->Op == opBRACESNG) && r->MaxBrace == RegExprInfinity);
    FRunStart = unbounded && r->NextNode == FRegStart && FRegStart->Op != opEXACTLY && FRegStart->Op != opEXACTLYCI;
  }

  // A one-code set, a greedy unbounded repeat of a one-code set, the end (an identifier search).
  FSetRunOnly = false;
  if (FRegStart && FRegStart->Op == opANYOFFULLSET && FSubexpCount == 1 && first->Op == opBRANCH &&
      first->NextNode == FRegStart && first->NextOp && first->NextOp->Op == opEND) {
    const TKivRegexNode* r = FRegStart->NextOp;
    FSetRunOnly =
        r && (r->Op == opSTAR || r->Op == opPLUS || (r->Op == opBRACES && r->MaxBrace == RegExprInfinity)) &&
        r->NextNode && r->NextNode->Op == opANYOFFULLSET && r->NextOp && r->NextOp->Op == opEND;
  }

  // Boundaries, a one-code set, a greedy repeat of a one-code set, boundaries, the end.
  if (FSubexpCount == 1 && first->Op == opBRANCH && first->NextOp && first->NextOp->Op == opEND) {
    auto bound = [](const TKivRegexNode* AN) { return AN && (AN->Op == opBOUND || AN->Op == opNOTBOUND); };
    auto oneCode = [](const TKivRegexNode* AN) {
      return AN && (AN->Op == opANYOFFULLSET || AN->Op == opANYOFTINYSET || AN->Op == opANYBUTTINYSET ||
                    AN->Op == opANYDIGIT || AN->Op == opNOTDIGIT);
    };
    const TKivRegexNode* n = first->NextNode;
    while (bound(n)) n = n->NextOp;
    const bool set = oneCode(n);
    if (set) n = n->NextOp;
    const bool repeat = n && (n->Op == opSTAR || n->Op == opPLUS || n->Op == opBRACES) && oneCode(n->NextNode);
    if (repeat) n = n->NextOp;
    while (bound(n)) n = n->NextOp;
    FDirectRun = (set || repeat) && n && n->Op == opEND;
    if (set && !repeat && oneCode(first->NextNode) && first->NextNode->NextOp->Op == opEND)
      FOneCodeSet = first->NextNode;
  }

  // The start scan: the start node, or else a literal that only word boundaries precede (they
  // are zero-width, so every match starts where the literal does).
  FScanStart = FRegStart;
  if (!FScanStart && !FRegAnch && first->NextOp && first->NextOp->Op == opEND && first->Op == opBRANCH) {
    TKivRegexNode* scan = first->NextNode;
    bool bounds = false;
    while (scan && (scan->Op == opBOUND || scan->Op == opNOTBOUND)) {
      bounds = true;
      scan = scan->NextOp;
    }
    if (bounds && scan && (scan->Op == opEXACTLY || scan->Op == opEXACTLYCI) && !scan->ExactStr.empty()) {
      FScanStart = scan;
      PrepareLiteral(scan, (FModifiers & KivRegModI) || scan->Op == opEXACTLYCI);
    }
  }

  // First-code set: every code that can be the first one a match consumes.
  TKivSetOfByte& fs = FFirstCharSet;
  auto addOperand = [&](const TKivRegexNode* AN) {
    switch (AN->Op) {
      case opEXACTLY:
        if (AN->ExactStr.empty()) return true;
        fs.Include(AN->ExactChar);
        return false;
      case opEXACTLYCI:
        if (AN->ExactStr.empty()) return true;
        fs.Include(AN->ExactChar);
        fs.Include(AN->ExactCharInvC);
        return false;
      case opANYDIGIT:
        for (Integer c = 0; c < 256; ++c)
          if (FDigitsSet.Contains(c)) fs.Include(c);
        return false;
      case opNOTDIGIT:
        for (Integer c = 0; c < 256; ++c)
          if (!FDigitsSet.Contains(c)) fs.Include(c);
        return false;
      case opANYOFTINYSET:
        for (Integer c : AN->TinySet) fs.Include(c);
        return false;
      case opANYBUTTINYSET:
        for (Integer c = 0; c < 256; ++c)
          if (c != AN->TinySet[0] && c != AN->TinySet[1] && c != AN->TinySet[2]) fs.Include(c);
        return false;
      case opANYOFFULLSET:
        for (Integer c = 0; c < 256; ++c)
          if (AN->SetHash.Contains(c)) fs.Include(c);
        return false;
      case opANY:
      case opANYML:
        fs.IncludeAll();
        return false;
      default:  // back-references and anything unexpected
        fs.IncludeAll();
        return true;
    }
  };
  std::vector<char> seen(FNodes.size(), 0);
  std::vector<TKivRegexNode*> todo{first};
  while (!todo.empty()) {
    TKivRegexNode* n = todo.back();
    todo.pop_back();
    if (!n || seen[n->Index]) continue;
    seen[n->Index] = 1;
    TKivREOp op = n->Op;
    switch (op) {
      case opEND:
        fs.IncludeAll();
        break;
      case opBOL:
      case opBACK:
      case opNOTHING:
      case opBOLML:
      case opBOUND:
      case opNOTBOUND:
      case opCOMMENT:
        todo.push_back(n->NextOp);
        break;
      case opEOL:
      case opEOLML:
        fs.Include(0);
        for (Integer c = 0; c < 256; ++c)
          if (FLineSeparatorsSet.Contains(c)) fs.Include(c);
        if (op == opEOLML && FLinePairedSeparatorAssigned) fs.Include(FLinePairedSeparatorHead);
        break;
      case opBRANCH:
        if (n->NextOp && n->NextOp->Op == opBRANCH) {
          for (TKivRegexNode* b = n; b && b->Op == opBRANCH; b = b->NextOp) todo.push_back(b->NextNode);
        } else {
          todo.push_back(n->NextNode);
        }
        break;
      case opEXACTLY:
      case opEXACTLYCI:
      case opANY:
      case opANYML:
      case opBSUBEXP:
      case opBSUBEXPCI:
      case opANYDIGIT:
      case opNOTDIGIT:
      case opANYOFTINYSET:
      case opANYBUTTINYSET:
      case opANYOFFULLSET:
        if (addOperand(n)) todo.push_back(n->NextOp);
        break;
      case opSTAR:
      case opSTARNG:
        addOperand(n->NextNode);
        todo.push_back(n->NextOp);
        break;
      case opPLUS:
      case opPLUSNG:
        if (addOperand(n->NextNode)) todo.push_back(n->NextOp);
        break;
      case opBRACES:
      case opBRACESNG:
        if (addOperand(n->NextNode) || n->MinBrace == 0) todo.push_back(n->NextOp);
        break;
      case opLOOPENTRY:
        todo.push_back(n->NextNode);
        if (n->NextOp && n->NextOp->MinBrace == 0) todo.push_back(n->NextOp->NextOp);
        break;
      case opLOOP:
      case opLOOPNG:
        // Reached from the body without consuming: the body can be empty.
        todo.push_back(n->NextOp);
        break;
      case opLOOKAHEAD:
        todo.push_back(n->NextNode);
        if (CanFallOffEmpty(n->NextNode, FNodes.size())) todo.push_back(n->NextOp);
        break;
      default:
        if (IsOpen(op) || IsClose(op)) {
          todo.push_back(n->NextOp);
          break;
        }
        Error(reeMatchPrimMemoryCorruption);
    }
  }
  ComputeLead();
}

// The search loop, the Exec family, captures and input; the Boyer-Moore searcher.
#include <cstdint>

#include "internal/RegexMatcher.h"
#include "internal/RegexScan.h"

// ----- Boyer-Moore ----------------------------------------------------------------------------

TKivBoyerMooreSearch::TKivBoyerMooreSearch(Integer ASkipTableSize, Integer ASkipHashMask,
                                           TKivInvertCaseFunction AInvertCase)
    : FSkipTableSize(ASkipTableSize), FSkipHashMask(ASkipHashMask), FInvertCase(AInvertCase) {}

void TKivBoyerMooreSearch::Prepare(const TKivIntArray& APattern, bool AIgnoreCase) {
  TKivInvertCaseFunction inv = FInvertCase ? FInvertCase : &TKivRegExp::InvertCaseFunction;
  FPattern = APattern;
  FIgnoreCase = AIgnoreCase;
  const Integer m = static_cast<Integer>(FPattern.size());
  FPatEnd = m - 1;
  FPatternInv.resize(FPattern.size());
  for (Integer i = 0; i < m; ++i) FPatternInv[i] = inv(FPattern[i]);
  FSkip.assign(static_cast<size_t>(FSkipTableSize), 0);
  for (Integer i = 0; i < m; ++i) {
    FSkip[FPattern[i] & FSkipHashMask] = i;
    if (AIgnoreCase) FSkip[FPatternInv[i] & FSkipHashMask] = i;
  }
  // Good-suffix shifts. Two pattern codes are compatible when some input code can match both;
  // FSuffix[j] is the least shift that keeps every matched code (after a mismatch at j) on a
  // compatible one, so no occurrence is ever skipped, with or without case.
  FSuffix.assign(static_cast<size_t>(m) + 1, 1);
  if (m <= 1 || m > 4096) return;
  auto compatible = [&](Integer a, Integer b) {
    if (FPattern[a] == FPattern[b]) return true;
    if (!AIgnoreCase) return false;
    return FPattern[a] == FPatternInv[b] || FPatternInv[a] == FPattern[b] || FPatternInv[a] == FPatternInv[b];
  };
  std::vector<Integer> best(static_cast<size_t>(m), 0);  // 0 = not yet known
  Integer unknown = m;
  for (Integer s = 1; s <= m && unknown > 0; ++s) {
    // The largest k (>= s) whose code is incompatible with the code s places before it.
    Integer kbad = -1;
    for (Integer k = m - 1; k >= s; --k)
      if (!compatible(k, k - s)) {
        kbad = k;
        break;
      }
    for (Integer j = std::max<Integer>(kbad, 0); j < m; ++j)
      if (best[j] == 0) {
        best[j] = s;
        --unknown;
      }
  }
  for (Integer j = 0; j < m; ++j) FSuffix[j] = best[j] > 0 ? best[j] : m;
}

Integer TKivBoyerMooreSearch::Search(TKivRegexSource& AInput, Integer AOffset, Integer ACount) const {
  const Integer base = AInput.BaseIndex;
  const int64_t srcEnd = int64_t(base) + AInput.Count;
  if (AOffset < base || AOffset > srcEnd) throw EInvalidArgument(u"Index out of bounds: %d", {AOffset});
  int64_t end = srcEnd;
  if (ACount >= 0) end = std::min<int64_t>(srcEnd, int64_t(AOffset) + ACount);
  const Integer m = FPatEnd + 1;
  if (m == 0) return AOffset;
  int64_t off = AOffset;
  while (off + m <= end) {
    Integer avail;
    const Integer* w = AInput.Window(static_cast<Integer>(off), avail);
    Integer j = FPatEnd;
    Integer c = 0;
    if (avail >= m) {
      while (j >= 0 && Same(c = w[j], j)) --j;
    } else {
      while (j >= 0 && Same(c = AInput.GetCode(static_cast<Integer>(off + j)), j)) --j;
    }
    if (j < 0) return static_cast<Integer>(off);
    off += std::max<Integer>(j - FSkip[c & FSkipHashMask], FSuffix[j]);
  }
  return -1;
}

// ----- input ----------------------------------------------------------------------------------

TKivString TKivRegExp::InputText() const {
  if (!FInput) const_cast<TKivRegExp*>(this)->Error(reeNoInput);
  auto* s = dynamic_cast<TKivRegexStringSource*>(FInput);
  if (!s) const_cast<TKivRegExp*>(this)->Error(reeInputNotString);
  return s->Str();
}

void TKivRegExp::SetInputText(const TKivString& AValue) {
  auto* source = new TKivRegexStringSource(AValue);
  if (FOwnsInput) delete FInput;
  FInput = source;
  FOwnsInput = true;
  FHaveMatch = false;
  ClearCaptures();
}

void TKivRegExp::SetInputSource(TKivRegexSource* AValue) {
  if (AValue == FInput) return;
  if (FOwnsInput) delete FInput;
  FInput = AValue;
  FOwnsInput = false;
  FHaveMatch = false;
  ClearCaptures();
}

TKivRegexStringSource& TKivRegExp::StringInput() {
  if (!FInput) Error(reeNoInput);
  auto* s = dynamic_cast<TKivRegexStringSource*>(FInput);
  if (!s) Error(reeInputNotString);
  return *s;
}

// ----- Exec family ----------------------------------------------------------------------------

bool TKivRegExp::Exec() {
  CheckCompiled();
  if (!FInput) Error(reeNoInput);
  return ExecPrim(FInput->BaseIndex, FInput->BaseIndex + FInput->Count, false);
}

bool TKivRegExp::Exec(Integer AOffset) {
  CheckCompiled();
  if (!FInput) Error(reeNoInput);
  return ExecPrim(AOffset, FInput->BaseIndex + FInput->Count, false);
}

namespace {

// The end of a search of ACount codes (-1: to the input end) from AOffset, within the input.
int64_t SearchEnd(const TKivRegexSource& AInput, Integer AOffset, Integer ACount) {
  const int64_t srcEnd = int64_t(AInput.BaseIndex) + AInput.Count;
  return ACount == -1 ? srcEnd : std::min<int64_t>(srcEnd, int64_t(AOffset) + std::max<Integer>(ACount, 0));
}

}  // namespace

bool TKivRegExp::Exec(Integer AOffset, Integer ACount) {
  CheckCompiled();
  if (!FInput) Error(reeNoInput);
  const int64_t end = SearchEnd(*FInput, AOffset, ACount);
  return ExecPrim(AOffset, static_cast<Integer>(std::max<int64_t>(end, AOffset)), false);
}

bool TKivRegExp::Exec(Integer AOffset, Integer ACount, bool& ANeedMoreSource) {
  CheckCompiled();
  if (!FInput) Error(reeNoInput);
  const int64_t end = SearchEnd(*FInput, AOffset, ACount);
  bool r = ExecPrim(AOffset, static_cast<Integer>(std::max<int64_t>(end, AOffset)), true);
  ANeedMoreSource = FNeedMore;
  return r;
}

bool TKivRegExp::ExecNext() {
  if (!FInput || !FHaveMatch) Error(reeExecNextWithoutExec);
  Integer offset = FEndp[0];
  if (offset == FStartp[0]) ++offset;
  return ExecPrim(offset, FInputEnd, false);
}

bool TKivRegExp::ExecPrim(Integer AOffset, Integer AEnd, bool AWantNeedMore) {
  FHaveMatch = false;
  FNeedMore = false;
  ClearCaptures();
  if (!FExprIsCompiled || FProgModifiers != FModifiers) CheckCompiled();
  if (!FInput) Error(reeNoInput);
  const Integer base = FInput->BaseIndex;
  const int64_t srcEnd = int64_t(base) + FInput->Count;
  if (AOffset > srcEnd) return false;
  if (AOffset < base) throw EInvalidArgument(u"Index out of bounds: %d", {AOffset});
  if (!FVarsOptsOk) {
    FillVariables();
    ComputeOptimisation();
  }
  FInputStart = base;
  FInputEnd = static_cast<Integer>(std::min<int64_t>(AEnd, srcEnd));
  if (AOffset > FInputEnd) return false;
  return RunSearch([&] { return SearchFrom(AOffset, AWantNeedMore); });
}

template <class TSearch>
bool TKivRegExp::RunSearch(TSearch ASearch) {
  FLoopStackIdx = 0;
  FMatchPrimDepth = 0;
  FDepthHigh = 0;
  if (++FLoopMemoGen == 0) {  // a new search forgets the failures of the last one
    for (TLoopMemo& m : FLoopMemo) m.Gen = 0;
    FLoopMemoGen = 1;
  }
  FSteps = 0;
  FStepBudget = FStepLimit < 0 ? INT64_MAX : FStepLimit;
  bool r;
  try {
    r = ASearch();
  } catch (...) {
    ClearCaptures();
    FMatchPrimDepth = 0;
    throw;
  }
  // A failed search leaves the captures unset: they were cleared before it and every failed
  // attempt resets the groups it set.
  FHaveMatch = r;
  return r;
}

bool TKivRegExp::ExecAtPrim(Integer AOffset, Integer ACount, bool* ANeedMore) {
  TKivRegexSource* const in = FInput;
  // What ExecPrim and SearchFrom would find out on the way to the anchored attempt, at once;
  // every other case (and every error) takes the full path.
  if (!ProgramReady() || !in || !(FModifiers & KivRegModA) ||
      AOffset < in->BaseIndex || int64_t(AOffset) > int64_t(in->BaseIndex) + in->Count) [[unlikely]]
    return ANeedMore ? Exec(AOffset, ACount, *ANeedMore) : Exec(AOffset, ACount);
  // Without a match held every group is unset already: each search clears them before it
  // starts, and a failed one (or one that throws) leaves them so; so do the setters.
  if (FHaveMatch) ClearCaptures();
  FHaveMatch = false;
  FNeedMore = false;
  FInputStart = in->BaseIndex;
  FInputEnd = static_cast<Integer>(SearchEnd(*in, AOffset, ACount));  // AOffset .. the input end
  const bool r = RunSearch([&] { return AnchoredAttempt(AOffset, FOptimizations, ANeedMore != nullptr); });
  if (ANeedMore) *ANeedMore = FNeedMore;
  return r;
}

bool TKivRegExp::OneCodeSetHas(Integer ACode, bool& AInSet) const {
  const TKivRegexNode* n = FOneCodeSet;
  if (!n || !ProgramReady()) return false;
  switch (n->Op) {
    case opANYDIGIT:
    case opNOTDIGIT:
      AInSet = FDigitsSet.Contains(ACode) == (n->Op == opANYDIGIT);
      break;
    case opANYOFTINYSET:
    case opANYBUTTINYSET:
      AInSet = (ACode == n->TinySet[0] || ACode == n->TinySet[1] || ACode == n->TinySet[2]) ==
               (n->Op == opANYOFTINYSET);
      break;
    default:
      AInSet = n->InSet(ACode);
  }
  return true;
}

bool TKivRegExp::AnchoredAttempt(Integer AOffset, Integer AOptimizations, bool AWantNeedMore) {
  if ((AOptimizations & roFirstCharSet) && AOffset < FInputEnd) {
    const char16_t* raw = FInput->RawUnits();
    const Integer c = raw ? Integer(raw[AOffset - FInput->IdxStart()]) : FInput->GetCode(AOffset);
    if ((c < 0 || c > 255) ? !FFirstCharSetHasUnicode : !FFirstCharSet.Contains(c)) return false;
  }
  if ((AOptimizations & roLeadFilter) && !FLead.empty() && LeadRejects(AOffset, !AWantNeedMore)) return false;
  return TryAt(AOffset);
}

bool TKivRegExp::TryAt(Integer APos) {
  FSavedReginput = -1;
  FReginput = APos;
  FLoopStackIdx = 0;
  TRegexMatcher matcher(*this);
  const bool direct = FDirectRun && (FOptimizations & roDirectRun);
  if (!(direct ? matcher.MatchDirect() : matcher.MatchPrim(FProgrammFirst))) {
    for (Integer i = 1; i < FSubexpCount; ++i) FStartp[i] = FEndp[i] = -1;
    return false;
  }
  FStartp[0] = APos;
  FEndp[0] = FReginput;
  if (FReginput == FInputEnd) FNeedMore = true;
  return true;
}

// The first position in APos .. AEnd - 1 whose code satisfies APred, or -1; one unit of work per
// code passed over. The code found is paid for by the attempt the caller makes there, so a scan
// never costs more than trying every position would.
template <class TPred>
Integer TKivRegExp::ScanFor(Integer APos, Integer AEnd, TPred APred) {
  TKivRegexSource& in = *FInput;
  if (const char16_t* raw = in.RawUnits()) {
    const char16_t* p = raw - in.IdxStart();
    for (Integer i = APos; i < AEnd; ++i)
      if (APred(Integer(p[i]))) {
        Spend(i - APos);
        return i;
      }
    Spend(AEnd - APos);
    return -1;
  }
  while (APos < AEnd) {
    Integer avail;
    const Integer* w = in.Window(APos, avail);
    const Integer k = std::min(avail, AEnd - APos);
    for (Integer j = 0; j < k; ++j)
      if (APred(w[j])) {
        Spend(j);
        return APos + j;
      }
    Spend(k);
    APos += k;
  }
  return -1;
}

Integer TKivRegExp::SearchLiteral(Integer APos) {
  Integer found;
  const Integer len = static_cast<Integer>(FLitUnits.size());
  if (const char16_t* raw = FInput->RawUnits(); raw && FLitRaw && len > 0) {
    const Integer k = KivFindLiteral(raw + (APos - FInput->IdxStart()), FInputEnd - APos, FLitUnits.data(),
                                     FLitAlt.data(), len);
    found = k < 0 ? -1 : APos + k;
  } else {
    found = FBMSearch->Search(*FInput, APos, FInputEnd - APos);
  }
  Spend(int64_t(found < 0 ? FInputEnd : found) - APos + 1);
  return found;
}

Integer TKivRegExp::FindStart(Integer APos) {
  TKivRegexNode* s = FScanStart;
  switch (s->Op) {
    case opEXACTLY:
    case opEXACTLYCI:
      return SearchLiteral(APos);
    case opANYDIGIT:
    case opNOTDIGIT: {
      const TKivCharSet& d = FDigitsSet;
      const bool want = s->Op == opANYDIGIT;
      return ScanFor(APos, FInputEnd, [&d, want](Integer c) { return d.Contains(c) == want; });
    }
    case opANYOFTINYSET:
    case opANYBUTTINYSET: {
      const auto t = s->TinySet;
      const bool want = s->Op == opANYOFTINYSET;
      return ScanFor(APos, FInputEnd,
                     [t, want](Integer c) { return (c == t[0] || c == t[1] || c == t[2]) == want; });
    }
    default:
      return ScanFor(APos, FInputEnd, [s](Integer c) { return s->InSet(c); });
  }
}

Integer TKivRegExp::RunEnd(Integer APos) {
  TKivRegexNode* s = FScanStart;
  Integer e;
  switch (s->Op) {
    case opANYDIGIT:
    case opNOTDIGIT: {
      const TKivCharSet& d = FDigitsSet;
      const bool want = s->Op == opANYDIGIT;
      e = ScanFor(APos, FInputEnd, [&d, want](Integer c) { return d.Contains(c) != want; });
      break;
    }
    case opANYOFTINYSET:
    case opANYBUTTINYSET: {
      const auto t = s->TinySet;
      const bool want = s->Op == opANYOFTINYSET;
      e = ScanFor(APos, FInputEnd, [t, want](Integer c) { return (c == t[0] || c == t[1] || c == t[2]) != want; });
      break;
    }
    default:
      e = ScanFor(APos, FInputEnd, [s](Integer c) { return !s->InSet(c); });
  }
  return e < 0 ? FInputEnd : e;
}

bool TKivRegExp::SearchFrom(Integer AOffset, bool AWantNeedMore) {
  // The start-node scan and the must-have filter skip attempts that could touch the input end;
  // a caller that asks whether more input could change the result gets every attempt.
  const Integer opt = AWantNeedMore ? FOptimizations & ~(roStartNode | roMustHave) : FOptimizations;
  const Integer end = FInputEnd;
  const bool useMust = (opt & roMustHave) && FRegmustExact && !AWantNeedMore;
  if (useMust && end - AOffset < static_cast<Integer>(FRegmustExact->ExactStr.size())) {
    FNeedMore = true;
    return false;
  }
  if ((FModifiers & KivRegModA) || (FRegAnch && (opt & roAnchor))) return AnchoredAttempt(AOffset, opt, AWantNeedMore);
  const bool useFirst = (opt & roFirstCharSet) != 0;
  const TKivSetOfByte fs = FFirstCharSet;
  const bool wide = FFirstCharSetHasUnicode;
  auto firstOk = [&](Integer c) { return (c < 0 || c > 255) ? wide : fs.Contains(c); };
  if (useMust && !FScanStart && SearchLiteral(AOffset) < 0) return false;
  if ((opt & roStartNode) && FScanStart) {
    const bool literalOnly = FLiteralOnly && FScanStart == FRegStart;
    const char16_t* const units = FSetRunOnly ? FInput->RawUnits() : nullptr;
    for (Integer p = AOffset; p < end; ++p) {
      p = FindStart(p);
      if (p < 0) return false;
      Spend(1);
      if (literalOnly) {  // the literal found is the whole match
        FStartp[0] = p;
        FEndp[0] = p + static_cast<Integer>(FRegStart->ExactStr.size());
        if (FEndp[0] == FInputEnd) FNeedMore = true;
        return true;
      }
      if (units) {  // the start code, then as long a run of the repeated set as there is
        const TKivRegexNode* rep = FRegStart->NextOp;
        const TKivRegexNode* set = rep->NextNode;
        const char16_t* u = units - FInput->IdxStart();
        Integer e = p + 1;
        while (e < end && set->InSet(Integer(u[e]))) ++e;
        Spend(e - p);  // the codes of the run and the one that ends it
        if (e == end) FNeedMore = true;
        if (e - p - 1 < (rep->Op == opSTAR ? 0 : rep->Op == opPLUS ? 1 : rep->MinBrace)) continue;
        FSavedReginput = -1;
        FReginput = e;
        FStartp[0] = p;
        FEndp[0] = e;
        return true;
      }
      if (TryAt(p)) return true;
      // Every later start in the same run tries the rest at a subset of the same positions.
      if (FRunStart && (opt & roNextLiteral)) p = RunEnd(p);
    }
    return false;
  }
  for (Integer p = AOffset; p <= end; ++p) {
    if (useFirst && p < end) {
      p = ScanFor(p, end, firstOk);
      if (p < 0) p = end;
    }
    Spend(1);
    if (TryAt(p)) return true;
  }
  return false;
}

// ----- captures -------------------------------------------------------------------------------

TKivString TKivRegExp::GetMatch(Integer AIdx) {
  if (FModifiers & KivRegModC) Error(reeNotForIntCodes);
  TKivString r;
  Integer p = GetMatchPos(AIdx);
  if (p < 0 || !FInput) return r;
  Integer len = GetMatchLen(AIdx);
  r.reserve(static_cast<size_t>(len));
  for (Integer i = 0; i < len; ++i) r.push_back(static_cast<char16_t>(FInput->GetCode(p + i)));
  return r;
}

Integer TKivRegExp::MatchCount() const {
  Integer n = 0;
  for (Integer i = 1; i < static_cast<Integer>(FStartp.size()); ++i)
    if (GroupSet(i)) ++n;
  return n;
}

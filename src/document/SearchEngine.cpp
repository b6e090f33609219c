// The search and replace engine: states, find steps (plain and regex, both directions, whole
// words) and replace steps.
#include "internal/SearchEngine.h"

#include <algorithm>

#include "KivSedDocument.h"

namespace {

constexpr const char* kModule = "KivSedSearch";

Integer ClampTo(int64_t AValue, Integer ALo, Integer AHi) {
  return static_cast<Integer>(std::clamp<int64_t>(AValue, ALo, AHi));
}

// Restores a value when the scope is left by an exception.
template <class T>
class TRestoreOnError {
 public:
  explicit TRestoreOnError(T& AValue) : FValue(AValue), FSaved(AValue), FUncaught(std::uncaught_exceptions()) {}
  ~TRestoreOnError() {
    if (std::uncaught_exceptions() > FUncaught) FValue = FSaved;
  }
  TRestoreOnError(const TRestoreOnError&) = delete;
  TRestoreOnError& operator=(const TRestoreOnError&) = delete;

 private:
  T& FValue;
  T FSaved;
  int FUncaught;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// States

TSearchEngine::TSearchEngine(TKivEditDocument& ADoc)
    : FDoc(ADoc), FStorage(dynamic_cast<TKivTextStorage*>(&ADoc.Chars())) {}

TKivEditFindReplaceStatePtr TSearchEngine::NewState(Integer AOffset, Integer AMaxCount,
                                                    const TKivString& APattern, TKivEditSearchOptions AOpts,
                                                    TKivEditSearchDirection ADirection) {
  const Integer n = FDoc.CharsCount();
  if (AOffset < 0 || AOffset > n) throw EInvalidArgument(u"Index out of bounds: %d", {AOffset});
  if (AMaxCount < -1) throw EInvalidArgument(u"Invalid Count value");
  auto st = std::make_unique<TKivEditFindReplaceState>();
  st->Start = AOffset;
  st->Pattern = APattern;
  st->Options = AOpts;
  st->Direction = ADirection;
  st->LastReplaceAction = raCancel;
  st->FoundSegment = MakeSegment(AOffset, 0, &FDoc.Chars());
  st->Internal = std::make_unique<TSearchInternal>();
  st->Internal->Doc = &FDoc;
  // The pattern is compiled before the document is touched: a bad pattern changes nothing.
  if (AOpts.Contains(soRegexp) && !APattern.empty()) PrepareRegex(*st);
  Integer bound;
  if (ADirection == sdBackward)
    bound = AMaxCount == -1 ? 0 : ClampTo(int64_t{AOffset} - AMaxCount, 0, n);
  else
    bound = AMaxCount == -1 ? n : ClampTo(int64_t{AOffset} + AMaxCount, 0, n);
  st->Internal->Markers = FDoc.CreateCustomMarkers(true, false, false);
  st->EndM = st->Internal->Markers->CreateMark(bound);
  return st;
}

void TSearchEngine::CheckState(const TKivEditFindReplaceState& AState) const {
  if (!AState.Internal || AState.Internal->Doc != &FDoc || !AState.Internal->Attached() || !AState.EndM)
    throw EKivEditDocError(u"The search state does not belong to this document");
}

TKivEditFindReplaceStatePtr TSearchEngine::First(Integer AOffset, Integer AMaxCount, const TKivString& APattern,
                                                 TKivEditSearchOptions AOpts, TKivEditSearchDirection ADirection,
                                                 const TKivString* AReplacement,
                                                 TKivEditReplaceEvent AReplaceCallback) {
  TKivEditFindReplaceStatePtr st = NewState(AOffset, AMaxCount, APattern, AOpts, ADirection);
  if (AReplacement) {
    st->Replacement = *AReplacement;
    st->OnReplace = std::move(AReplaceCallback);
  }
  const bool found = AReplacement ? ReplaceStep(-1, *st, true) : FindStep(-1, *st, true);
  return found ? std::move(st) : nullptr;
}

bool TSearchEngine::Next(Integer ANewStart, TKivEditFindReplaceState* AState, bool AReplace) {
  if (AState == nullptr) return false;
  CheckState(*AState);
  return AReplace ? ReplaceStep(ANewStart, *AState, false) : FindStep(ANewStart, *AState, false);
}

TKivRegExp& TSearchEngine::PrepareRegex(TKivEditFindReplaceState& AState) {
  TSearchInternal& in = *AState.Internal;
  if (!in.ReSrc) in.ReSrc = std::make_unique<TKivRegexCharSeqSource>(FDoc.Chars());
  if (!AState.FoundRegex) AState.FoundRegex = std::make_unique<TKivRegExp>();
  TKivRegExp& re = *AState.FoundRegex;
  // The text may have changed since the last step.
  in.ReSrc->ResetBuffer();
  re.SetInputSource(in.ReSrc.get());
  re.SetModifierI(!AState.Options.Contains(soCaseSensitive));
  re.SetModifierM(true);
  // A dot does not match line separators.
  re.SetModifierS(false);
  // Compiles when the pattern or a modifier changed (a no-op otherwise).
  re.SetExpression(AState.Pattern);
  return re;
}

// ---------------------------------------------------------------------------------------------
// Finding

Integer TSearchEngine::StepOver(Integer AP) {
  TKivCharSeq& chars = FDoc.Chars();
  if (AP + 1 < chars.Count() && chars.GetChar(AP) == u'\r' && chars.GetChar(AP + 1) == u'\n') return 2;
  return 1;
}

bool TSearchEngine::InsidePair(Integer AP) {
  TKivCharSeq& chars = FDoc.Chars();
  return AP > 0 && AP < chars.Count() && chars.GetChar(AP - 1) == u'\r' && chars.GetChar(AP) == u'\n';
}

bool TSearchEngine::IsWholeWord(const TMatch& AMatch) {
  TKivCharSeq& chars = FDoc.Chars();
  const TKivString& seps = FDoc.FullWordSeparators();
  const Integer end = AMatch.Pos + AMatch.Len;
  const Char before = AMatch.Pos == 0 ? u' ' : chars.GetChar(AMatch.Pos - 1);
  const Char after = end >= chars.Count() ? u' ' : chars.GetChar(end);
  return seps.find(before) != TKivString::npos && seps.find(after) != TKivString::npos;
}

bool TSearchEngine::FindPlain(TKivEditFindReplaceState& AState, Integer AP, Integer AE, TMatch& AMatch) {
  const TKivString& pat = AState.Pattern;
  const Integer len = static_cast<Integer>(pat.size());
  const bool cs = AState.Options.Contains(soCaseSensitive);
  TKivCharSeq& chars = FDoc.Chars();
  Integer pos;
  if (AState.Direction == sdForward) {
    if (int64_t{AE} - AP < len) return false;
    std::unique_ptr<TPlainSearcher>& plain = AState.Internal->Plain;
    if (!FStorage) {
      pos = cs ? SeqFind(pat, chars, AP, AE - AP) : SeqFindNoCase(pat, chars, AP, AE - AP);
    } else {
      if (!plain || !plain->PreparedFor(pat, cs)) plain = std::make_unique<TPlainSearcher>(pat, cs);
      pos = plain->Find(*FStorage, AP, AE);
    }
  } else {
    // Occurrences inside [E, P): the last character at P - 1 at the latest, the first at E at
    // the earliest.
    if (int64_t{AP} - AE < len) return false;
    pos = cs ? SeqFindBack(pat, chars, AP - 1, AP - AE - len) : SeqFindBackNoCase(pat, chars, AP - 1, AP - AE - len);
  }
  if (pos < 0) return false;
  AMatch = TMatch{pos, len};
  return true;
}

bool TSearchEngine::FindRegexForward(TKivRegExp& ARe, Integer AP, Integer AE, Integer AP0, bool AFirst,
                                     TMatch& AMatch) {
  if (!ARe.Exec(AP, AE - AP)) return false;
  Integer pos = ARe.GetMatchPos(0), len = ARe.GetMatchLen(0);
  if (len == 0 && pos == AP0 && !AFirst) {
    // The empty match the last step ended on: step over one character (a CR LF pair as one);
    // stepping past the bound ends the search.
    const int64_t next = int64_t{AP} + StepOver(AP);
    if (next > AE) return false;
    if (!ARe.Exec(static_cast<Integer>(next), AE - static_cast<Integer>(next))) return false;
    pos = ARe.GetMatchPos(0);
    len = ARe.GetMatchLen(0);
  }
  AMatch = TMatch{pos, len};
  return true;
}

bool TSearchEngine::FindRegexBackward(TSearchInternal& AIn, TKivRegExp& ARe, Integer AP, Integer AE,
                                      Integer AP0, bool AFirst, bool AWholeWords, TMatch& AMatch) {
  // The matches from E on with the input ending at P, in order, as a forward run meets them: after
  // a match the next try starts at its end (one character on after an empty one, a CR LF pair as
  // one), after a match that is not a whole word one character after its start, so that a word
  // overlapping it is still met. An empty match between a CR and its LF does not count. The last
  // one taken (not the empty match the last step ended on) is the result.
  //
  // The walk of the last step is resumed after its last match that read nothing from P on: the
  // walk up to there is the same with the input ending at P. A text changed since (other than
  // by this run's own replacement, which lies after P) or another bound starts it afresh.
  TSearchInternal::TBackwardWalk& walk = AIn.Walk;
  const uint64_t stamp = FStorage ? FStorage->ChangeStamp() : 0;
  if (!FStorage || walk.Bound != AE || walk.Stamp != stamp || walk.InputEnd < AP) walk.Clear();
  std::vector<TSearchInternal::TWalkEntry>& entries = walk.Entries;
  // Reach only grows along the walk.
  const auto resume = std::upper_bound(entries.begin(), entries.end(), AP,
                                       [](Integer p, const TSearchInternal::TWalkEntry& e) { return p < e.Reach; });
  entries.erase(resume, entries.end());
  Integer at = entries.empty() ? AE : entries.back().Next;
  Integer reach = entries.empty() ? 0 : entries.back().Reach;
  TMatch kept = entries.empty() ? TMatch{} : TMatch{entries.back().TakenPos, entries.back().TakenLen};
  // Reads are tracked from a forgotten window on.
  AIn.ReSrc->ResetBuffer();
  constexpr size_t kMaxEntries = 1 << 16;
  while (at <= AP && ARe.Exec(at, AP - at)) {
    const TMatch m{ARe.GetMatchPos(0), ARe.GetMatchLen(0)};
    if (m.Len == 0 && InsidePair(m.Pos)) {
      at = m.Pos + 1;
    } else {
      const bool word = !AWholeWords || IsWholeWord(m);
      if (word && !(m.Len == 0 && m.Pos == AP0 && !AFirst)) kept = m;
      at = m.Len == 0 ? m.Pos + StepOver(m.Pos) : word ? m.Pos + m.Len : m.Pos + 1;
    }
    // The character after the match was read by the tests above, or may be by a later step's.
    reach = std::max({reach, AIn.ReSrc->ReadEnd(), m.Pos + m.Len + 1});
    if (entries.size() >= kMaxEntries) {
      // Every other entry goes: a later step resumes a little earlier, and the walk stays short.
      size_t k = 0;
      for (size_t i = 1; i < entries.size(); i += 2) entries[k++] = entries[i];
      entries.resize(k);
    }
    entries.push_back({m.Pos, m.Len, at, reach, kept.Pos, kept.Len});
  }
  walk.Bound = AE;
  walk.InputEnd = AP;
  walk.Stamp = stamp;
  if (kept.Pos < 0) return false;
  // Once more at the kept match with the same input end, so that its groups are the current ones.
  const bool again = ARe.Exec(kept.Pos, AP - kept.Pos);
  KIV_ASSERT(again && ARe.GetMatchPos(0) == kept.Pos && ARe.GetMatchLen(0) == kept.Len, kModule);
  AMatch = kept;
  return true;
}

bool TSearchEngine::FindStep(Integer ANewStart, TKivEditFindReplaceState& AState, bool AFirst) {
  if (AState.Pattern.empty()) return false;
  const Integer n = FDoc.CharsCount();
  const bool backward = AState.Direction == sdBackward;
  int64_t p = ANewStart;
  if (ANewStart == -1)
    p = backward ? int64_t{AState.FoundSegment.Start} : int64_t{AState.FoundSegment.Start} + AState.FoundSegment.Count;
  Integer pos = ClampTo(p, 0, n);
  const Integer p0 = pos;
  const Integer e = AState.EndM->Pos();
  const bool regex = AState.Options.Contains(soRegexp);
  TKivRegExp* re = regex ? &PrepareRegex(AState) : nullptr;
  TMatch m;
  for (;;) {
    if (backward ? pos < e : pos > e) return false;
    bool found;
    if (!regex)
      found = FindPlain(AState, pos, e, m);
    else if (backward)
      // Whole words are told apart inside the backward run.
      found = FindRegexBackward(*AState.Internal, *re, pos, e, p0, AFirst, AState.Options.Contains(soWholeWords),
                                m);
    else
      found = FindRegexForward(*re, pos, e, p0, AFirst, m);
    if (!found) return false;
    if (!AState.Options.Contains(soWholeWords) || IsWholeWord(m)) break;
    // Past the rejected match: forwards to one character after its start (a CR LF pair as one
    // past an empty match), so that a word overlapping it is still met; backwards (plain text)
    // to its end - 1, so that overlapping earlier matches are still met.
    if (backward)
      pos = m.Len > 0 ? m.Pos + m.Len - 1 : m.Pos - 1;
    else
      pos = m.Len > 0 ? m.Pos + 1 : m.Pos + StepOver(m.Pos);
  }
  AState.FoundSegment = MakeSegment(m.Pos, m.Len, &FDoc.Chars());
  return true;
}

// ---------------------------------------------------------------------------------------------
// Replacing

bool TSearchEngine::ReplaceStep(Integer ANewStart, TKivEditFindReplaceState& AState, bool AFirst) {
  TRestoreOnError<TKivSegment> keepFound(AState.FoundSegment);
  if (!FindStep(ANewStart, AState, AFirst)) return false;
  const Integer start = AState.FoundSegment.Start, len = AState.FoundSegment.Count;
  // The substitution reads the match's groups from the text as it is now.
  const bool substitute = AState.Options.Contains(soRegexp) && AState.Options.Contains(soRegexpSubstitute);
  const TKivString text = substitute ? AState.FoundRegex->Substitute(AState.Replacement) : AState.Replacement;
  TKivEditReplaceAction action = raReplaceAuto;
  Integer count = len;
  if (AState.OnReplace) {
    AState.OnReplace(FDoc, AState, count, action);
    count = std::clamp(count, 0, std::max(0, FDoc.CharsCount() - start));
  }
  switch (action) {
    case raReplaceAuto: {
      // A backward walk read nothing of the text replaced here, unless the callback changed the
      // text meanwhile: what it read before the match still holds.
      TSearchInternal::TBackwardWalk& walk = AState.Internal->Walk;
      const bool keepWalk = FStorage && walk.Bound >= 0 && walk.Stamp == FStorage->ChangeStamp();
      TKivSeqFromString& replacement = AState.Internal->Replacement;
      replacement.Reset(text);
      FDoc.ReplaceSeg(start, len, replacement.WholeSegment());
      if (keepWalk) walk.KeepBefore(start, FStorage->ChangeStamp());
      AState.FoundSegment.Count = static_cast<Integer>(text.size());
      break;
    }
    case raReplacedByCallback:
      AState.FoundSegment.Count = count;
      break;
    case raGoNext:
    case raCancel:
      break;
    default:
      KIV_ASSERT(false && "unknown replace action", kModule);
  }
  AState.LastReplaceAction = action;
  return action != raCancel;
}

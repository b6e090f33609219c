// Keyword maps, rule chains and rule matching.
#include <algorithm>

#include "KivUnicode.h"
#include "internal/ParserImpl.h"

// ---- keyword map ----

TKeywordMap::TKeywordMap(bool AIgnoreCase) : FIgnoreCase(AIgnoreCase) {
  FMap.assign(4, nullptr);
}

namespace {

// The lower-case form of a word's code; ASCII letters without the table.
Char LowCase(Char AChar) {
  if (AChar < 128) return AChar >= u'A' && AChar <= u'Z' ? Char(AChar + 32) : AChar;
  return KivLowCase(AChar);
}

// Lower-case forms of the four codes of a word's hash; out of line, so that the hash of a map
// that minds case keeps its registers.
[[gnu::noinline]] void LowerCodes(Char (&ACodes)[4]) {
  for (Char& c : ACodes) c = LowCase(c);
}

}  // namespace

// A word's length and its first two and last two codes (lower-case in a map that ignores case),
// mixed by two multiplications: quick for words of any length, and words of one length rarely
// share all four. Same decides.
Cardinal TKeywordMap::Hash(const Char* AStr, Integer ACount) const {
  if (ACount <= 0) return 0;
  Char k[4] = {AStr[0], AStr[ACount > 1 ? 1 : 0], AStr[ACount > 2 ? ACount - 2 : 0], AStr[ACount - 1]};
  if (FIgnoreCase) LowerCodes(k);
  const Cardinal lo = (Cardinal(k[0]) | Cardinal(k[1]) << 16) ^ static_cast<Cardinal>(ACount);
  const Cardinal hi = Cardinal(k[2]) | Cardinal(k[3]) << 16;
  const uint64_t m = uint64_t(lo) * 0x9E3779B97F4A7C15ull + uint64_t(hi) * 0xC2B2AE3D27D4EB4Full;
  return static_cast<Cardinal>(m >> 32);
}

bool TKeywordMap::Same(const TKivString& AWord, const Char* AStr, Integer ACount) const {
  if (static_cast<Integer>(AWord.size()) != ACount) return false;
  for (Integer i = 0; i < ACount; ++i) {
    const Char a = AWord[static_cast<size_t>(i)], b = AStr[i];
    if (a == b) continue;
    if (!FIgnoreCase || LowCase(a) != LowCase(b)) return false;
  }
  return true;
}

TKeywordMap::TKeyword* TKeywordMap::GetKeyword(const Char* AStr, Integer ACount) const {
  const Cardinal h = Hash(AStr, ACount);
  for (TKeyword* k = FMap[h & FIndexMask]; k; k = k->Next)
    if (k->HashCode == h && Same(k->Word, AStr, ACount)) return k;
  return nullptr;
}

void TKeywordMap::Link(TKeyword* AWord) {
  TKeyword*& slot = FMap[AWord->HashCode & FIndexMask];
  AWord->Next = slot;
  slot = AWord;
}

void TKeywordMap::Rehash(size_t ASize) {
  FMap.assign(ASize, nullptr);
  FIndexMask = static_cast<Cardinal>(ASize - 1);
  for (auto& w : FWords) Link(w.get());
}

TKeywordMap::TKeyword* TKeywordMap::AddWord(TKivStringView AWord) {
  if (TKeyword* k = GetKeyword(AWord)) return k;
  auto word = std::make_unique<TKeyword>();
  word->Word = TKivString(AWord);
  word->HashCode = Hash(AWord.data(), static_cast<Integer>(AWord.size()));
  TKeyword* res = word.get();
  FWords.push_back(std::move(word));
  ++FCount;
  if (static_cast<size_t>(FCount) >= FMap.size())
    Rehash(FMap.size() * 2);
  else
    Link(res);
  return res;
}

// ---- rule chains ----

void TRulesHash::AddTo(TRuleRef*& AChain, TRuleBase* ARuleBase, TRule* ARule, TSyntaxBlock* ASynBlock) {
  TRuleRef** link = &AChain;
  for (TRuleRef* r = AChain; r; r = r->Next)
    if (r->Rule == ARule && r->SynBlock == ASynBlock) return;
  while (*link) {
    const TRuleBase* other = (*link)->Rule ? static_cast<TRuleBase*>((*link)->Rule) : (*link)->SynBlock;
    if (other->Priority < ARuleBase->Priority) break;
    link = &(*link)->Next;
  }
  auto cell = std::make_unique<TRuleRef>();
  cell->Rule = ARule;
  cell->SynBlock = ASynBlock;
  cell->Next = *link;
  *link = cell.get();
  FCells.push_back(std::move(cell));
}

void TRulesHash::AddToChains(TChains& AChains, TRuleBase* ARuleBase, TRule* ARule, TSyntaxBlock* ASynBlock) {
  for (Integer c = 0; c < 256; ++c)
    if (ARuleBase->AcceptedAnsiChars.Contains(c))
      AddTo(AChains.Ansi[static_cast<size_t>(c)], ARuleBase, ARule, ASynBlock);
  if (ARuleBase->AcceptUnicodeChars) AddTo(AChains.Unicode, ARuleBase, ARule, ASynBlock);
}

void TRulesHash::AddRule(TRuleBase* ARuleBase, TRule* ARule, TSyntaxBlock* ASynBlock) {
  AddToChains(FAll, ARuleBase, ARule, ASynBlock);
  if (!ARule || !ARule->LineBound) AddToChains(FAfterLineStart, ARuleBase, ARule, ASynBlock);
  ++Count;
}

void TRulesHash::Clear() {
  FAll = TChains();
  FAfterLineStart = TChains();
  FCells.clear();
  Count = 0;
}

// ---- character source ----

void TLineRegexSource::Bind(const Char* AData, Integer AStart, Integer AEnd) {
  FData = AData;
  BaseIndex = AStart;
  Count = AEnd - AStart;
  FIdxStart = AStart;
  FIdxEnd = AEnd;
  // The line is one array of units: the matcher reads it directly instead of through windows.
  FRawUnits = AData;
  ResetBuffer();
}

void TLineRegexSource::FillBuffer() {
  const Char* src = FData + (FBufferStart - BaseIndex);
  const Integer n = FBufferEnd - FBufferStart;
  for (Integer i = 0; i < n; ++i) FBuffer[static_cast<size_t>(i)] = src[i];
}

// ---- token rules ----

bool TRegexRule::Run(TKivRegExp& ARegex, Integer APart, Integer AStart, Integer ACount, TMatchRec& AMatch) {
  TLineRegexSource& src = FScheme->FParser->CharsInput();
  if (ARegex.InputSource() != &src) ARegex.SetInputSource(&src);
  try {
    if (!ARegex.ExecAt(AStart, ACount)) return false;
  } catch (const EKivRegExprError&) {
    return false;  // a runaway or failing match is no match here
  }
  AMatch.Clear();
  const Integer n = std::min<Integer>(ARegex.CompiledSubExpCount(), TMatchRec::kMaxGroups);
  AMatch.Count = n;
  for (Integer i = 0; i < n; ++i) {
    if (i > 0 && !Tokens[static_cast<size_t>(APart)][static_cast<size_t>(i)]) continue;
    const Integer p = ARegex.GetMatchPos(i);
    if (p < 0) continue;
    AMatch.Starts[static_cast<size_t>(i)] = p;
    AMatch.Ends[static_cast<size_t>(i)] = p + ARegex.GetMatchLen(i);
  }
  // A group inside an earlier (set) group is dropped: the outer group's token wins.
  for (Integer i = n - 1; i >= 2; --i) {
    const size_t si = static_cast<size_t>(i);
    if (AMatch.Starts[si] < 0) continue;
    for (Integer j = 1; j < i; ++j) {
      const size_t sj = static_cast<size_t>(j);
      if (AMatch.Starts[sj] >= 0 && AMatch.Starts[sj] <= AMatch.Starts[si] &&
          AMatch.Ends[sj] >= AMatch.Ends[si]) {
        AMatch.Starts[si] = AMatch.Ends[si] = -1;
        break;
      }
    }
  }
  if (APart == 0) {
    const Integer g = FInnerContentGroup < 0 ? 0 : FInnerContentGroup;
    const Integer p = g < ARegex.CompiledSubExpCount() ? ARegex.GetMatchPos(g) : -1;
    if (p >= 0) {
      AMatch.InnerStart = p;
      AMatch.InnerCount = ARegex.GetMatchLen(g);
    }
  }
  return true;
}

bool TRegexRule::Match(Integer AStart, Integer ACount, Integer AParserState, TMatchRec& AMatch) {
  if (!StartRegex) return false;
  if (LineBound && !(AParserState & psLineStart)) return false;
  // A rule of one code of a set (a symbol) needs no matcher: its match is the code at AStart.
  if (ACount > 0 && !InnerScheme) {
    const TLineRegexSource& src = FScheme->FParser->CharsInput();
    bool in = false;
    if (AStart >= src.BaseIndex && AStart - src.BaseIndex < src.Count &&
        StartRegex->OneCodeSetHas(src.Data()[AStart - src.BaseIndex], in)) {
      if (!in) return false;
      AMatch.Clear();
      AMatch.Count = 1;
      AMatch.Starts[0] = AStart;
      AMatch.Ends[0] = AStart + 1;
      if (FInnerContentGroup <= 0) {
        AMatch.InnerStart = AStart;
        AMatch.InnerCount = 1;
      }
      return true;
    }
  }
  return Run(*StartRegex, 0, AStart, ACount, AMatch);
}

bool TRegexRule::MatchEnd(Integer AStart, Integer ACount, Integer AParserState, TMatchRec& AMatch) {
  (void)AParserState;
  if (!EndRegex) return false;
  // The quick test: no end match can start with this code.
  TLineRegexSource& src = FScheme->FParser->CharsInput();
  if (AStart < src.BaseIndex + src.Count && !EndAccepts(src.Data()[AStart - src.BaseIndex])) return false;
  return Run(*EndRegex, 1, AStart, ACount, AMatch);
}

bool TRegexRule::NeedVariables() {
  return EndRegex && EndRegex->HasVariables();
}

void TRegexRule::BindVariables(TKivRegExprVariableGetter AFiller) {
  if (!EndRegex) return;
  EndRegex->SetVariablesGetter(std::move(AFiller));
  EndRegex->InvalidateVariables();
  try {
    EndAcceptedAnsiChars = EndRegex->GetFirstCharSetAnsi(EndAcceptUnicodeChars);
  } catch (const EKivError&) {
    EndAcceptedAnsiChars.IncludeAll();
    EndAcceptUnicodeChars = true;
  }
}

Integer TRegexRule::MaxVarId() {
  return StartRegex ? StartRegex->CompiledSubExpCount() - 1 : -1;
}

bool TRegexRule::GetVariable(Integer AId, Integer& AStart, Integer& ACount) {
  AStart = -1;
  ACount = 0;
  if (!StartRegex || AId < 0 || AId >= StartRegex->CompiledSubExpCount()) return false;
  const Integer p = StartRegex->GetMatchPos(AId);
  if (p < 0) return false;
  AStart = p;
  ACount = StartRegex->GetMatchLen(AId);
  return true;
}

bool TKeywordsRule::Match(Integer AStart, Integer ACount, Integer AParserState, TMatchRec& AMatch) {
  (void)AParserState;
  TLineRegexSource& src = FScheme->FParser->CharsInput();
  if (Regex->InputSource() != &src) Regex->SetInputSource(&src);
  try {
    if (!Regex->ExecAt(AStart, ACount)) return false;
  } catch (const EKivRegExprError&) {
    return false;
  }
  AMatch.Clear();
  AMatch.Count = 3;
  const Integer p = Regex->GetMatchPos(0), len = Regex->GetMatchLen(0);
  AMatch.Starts[0] = p;
  AMatch.Ends[0] = p + len;
  const bool isKeyword =
      FScheme->Keywords && FScheme->Keywords->GetKeyword(src.Data() + (p - src.BaseIndex), len) != nullptr;
  const size_t g = isKeyword ? 1 : 2;
  AMatch.Starts[g] = p;
  AMatch.Ends[g] = p + len;
  return true;
}

bool TKeywordsRule::MatchEnd(Integer, Integer, Integer, TMatchRec&) {
  KIV_ASSERT(false, "KivSedParser");
  return false;
}

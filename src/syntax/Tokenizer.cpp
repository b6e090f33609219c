// The incremental tokenizer: contexts, saved contexts, token lines and their cache, ParseTo and
// ParseLine.
#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>

#include "internal/ParserImpl.h"

namespace {

// A + B held to the range of Integer.
Integer SatAdd(Integer A, Integer B) {
  return static_cast<Integer>(std::clamp<int64_t>(int64_t{A} + B, std::numeric_limits<Integer>::min(),
                                                  std::numeric_limits<Integer>::max()));
}

constexpr const char* kModule = "KivSedParser";

bool SameAttributes(const TKivAttributesHolder& A, const TKivAttributesHolder& B) {
  return TTokenLine::SameStyleAttributes(A, B);
}

// Hash mixing of the syntax chain (the finaliser of splitmix64).
uint64_t Mix(uint64_t A) {
  A ^= A >> 30;
  A *= 0xbf58476d1ce4e5b9ull;
  A ^= A >> 27;
  A *= 0x94d049bb133111ebull;
  return A ^ (A >> 31);
}

// A cheap step folding AValue into the hash AH (one-to-one in either for the other fixed); the
// result goes through Mix before it joins the chain.
uint64_t Fold(uint64_t AH, uint64_t AValue) {
  const uint64_t x = (AH ^ AValue) * 0x9e3779b97f4a7c15ull;
  return (x << 31) | (x >> 33);
}

uint64_t PointerBits(const void* AP) {
  return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(AP));
}

// Event kinds of the chain, in the top bits.
constexpr uint64_t kEvCode = 1ull << 60;
constexpr uint64_t kEvPush = 2ull << 60;
constexpr uint64_t kEvPop = 3ull << 60;
constexpr uint64_t kEvLineEnd = 4ull << 60;
constexpr uint64_t kChainSeed = 0x6a09e667f3bcc909ull;

bool SameItemSchemes(const TContextItem& A, const TContextItem& B) {
  return A.Scheme == B.Scheme && A.SchemeEndRule == B.SchemeEndRule &&
         A.CheckEndParentContext == B.CheckEndParentContext && A.EndOfScheme == B.EndOfScheme &&
         A.Limit == B.Limit && A.OuterEndUnicode == B.OuterEndUnicode && A.OuterEndAnsi == B.OuterEndAnsi &&
         SameAttributes(A.DefaultAttributes, B.DefaultAttributes) && A.Variables == B.Variables &&
         A.VariableSet == B.VariableSet;
}

}  // namespace

// ---- contexts ----

TOpenBlockStack& TOpenBlockStack::operator=(const TOpenBlockStack& A) {
  if (this != &A) {
    TLinkPtr top = A.FTop;
    Release(FTop);
    FTop = std::move(top);
  }
  return *this;
}

TOpenBlockStack& TOpenBlockStack::operator=(TOpenBlockStack&& A) noexcept {
  if (this != &A) {
    Release(FTop);
    FTop = std::move(A.FTop);
  }
  return *this;
}

void TOpenBlockStack::Release(TLinkPtr& ALink) noexcept {
  TLinkPtr link = std::move(ALink);
  while (link && link.use_count() == 1) {
    TLinkPtr prev = std::move(link->Prev);
    link.reset();
    link = std::move(prev);
  }
}

TOpenBlockStack::TLink* TOpenBlockStack::LinkAt(size_t AIndex) const {
  KIV_ASSERT(AIndex < size(), kModule);
  TLink* l = FTop.get();
  while (l->Depth > AIndex + 1) l = l->Prev.get();
  return l;
}

TOpenBlock& TOpenBlockStack::Mutable(size_t AIndex) {
  KIV_ASSERT(AIndex < size(), kModule);
  TLinkPtr* slot = &FTop;
  for (;;) {
    // A link another stack holds too is copied (with it the hold on the links below it).
    if (slot->use_count() > 1) *slot = std::make_shared<TLink>(**slot);
    if ((*slot)->Depth == AIndex + 1) return (*slot)->Block;
    slot = &(*slot)->Prev;
  }
}

void TOpenBlockStack::push_back(TOpenBlock ABlock) {
  auto link = std::make_shared<TLink>();
  link->Block = std::move(ABlock);
  link->Depth = size() + 1;
  link->Prev = std::move(FTop);
  FTop = std::move(link);
}

void TOpenBlockStack::pop_back() {
  TLinkPtr top = std::move(FTop);
  FTop = top->Prev;
  Release(top);
}

bool TOpenBlockStack::Same(const TOpenBlockStack& AOther) const {
  const TLink* a = FTop.get();
  const TLink* b = AOther.FTop.get();
  for (; a != b; a = a->Prev.get(), b = b->Prev.get()) {
    if (!a || !b || a->Depth != b->Depth) return false;
    const TOpenBlock& x = a->Block;
    const TOpenBlock& y = b->Block;
    if (x.Block != y.Block || x.StartLine != y.StartLine || x.EndLine != y.EndLine ||
        x.HasNode != y.HasNode || x.DontCreateNode != y.DontCreateNode || x.Variables != y.Variables)
      return false;
  }
  return true;
}

void TContextItem::GetVariable(Integer AId, TKivIntArray& ARes) const {
  ARes.clear();
  if (AId < 0 || static_cast<size_t>(AId) >= Variables.size() || !VariableSet[static_cast<size_t>(AId)])
    return;
  for (Char c : Variables[static_cast<size_t>(AId)]) ARes.push_back(c);
}

std::unique_ptr<TParserContext> TParserContext::Clone() const {
  auto res = std::make_unique<TParserContext>();
  res->Line = Line;
  res->LastTreeLine = LastTreeLine;
  res->Chain = Chain;
  res->Items.reserve(Items.size());
  for (auto& item : Items) res->Items.push_back(std::make_unique<TContextItem>(*item));
  return res;
}

std::unique_ptr<TParserContext> TParserContext::CloneSchemes() const {
  auto res = std::make_unique<TParserContext>();
  res->Line = Line;
  res->LastTreeLine = LastTreeLine;
  res->Chain = Chain;
  res->Items.reserve(Items.size());
  for (auto& item : Items) {
    auto copy = std::make_unique<TContextItem>();
    copy->CheckEndParentContext = item->CheckEndParentContext;
    copy->OuterEndAnsi = item->OuterEndAnsi;
    copy->OuterEndUnicode = item->OuterEndUnicode;
    copy->EndOfScheme = item->EndOfScheme;
    copy->Limit = item->Limit;
    copy->Scheme = item->Scheme;
    copy->SchemeEndRule = item->SchemeEndRule;
    copy->DefaultAttributes = item->DefaultAttributes;
    copy->Variables = item->Variables;
    copy->VariableSet = item->VariableSet;
    res->Items.push_back(std::move(copy));
  }
  return res;
}

bool TParserContext::SameSchemes(const TParserContext& AOther) const {
  if (Items.size() != AOther.Items.size()) return false;
  for (size_t i = 0; i < Items.size(); ++i)
    if (!SameItemSchemes(*Items[i], *AOther.Items[i])) return false;
  return true;
}

bool TParserContext::SameState(const TParserContext& AOther) const {
  if (Items.size() != AOther.Items.size()) return false;
  for (size_t i = 0; i < Items.size(); ++i) {
    const TContextItem& a = *Items[i];
    const TContextItem& b = *AOther.Items[i];
    if (!SameItemSchemes(a, b) || a.CurrentOpenNode != b.CurrentOpenNode || a.ParentNode != b.ParentNode ||
        a.SyntaxTailPos != b.SyntaxTailPos || a.PartBlock != b.PartBlock || a.PartRef != b.PartRef ||
        a.PartBlockKind != b.PartBlockKind || a.PartBlockFirstLine != b.PartBlockFirstLine ||
        a.PartBlockLastLine != b.PartBlockLastLine || a.WaitingNodes != b.WaitingNodes ||
        a.SyntaxTail != b.SyntaxTail || !a.OpenSyntaxBlocks.Same(b.OpenSyntaxBlocks))
      return false;
  }
  return true;
}

TParserContext* TContextCache::GetContext(Integer ALine) const {
  auto it = std::upper_bound(
      FItems.begin(), FItems.end(), ALine,
      [](Integer ALineArg, const std::unique_ptr<TParserContext>& c) { return ALineArg < c->Line; });
  return it == FItems.begin() ? nullptr : std::prev(it)->get();
}

TParserContext* TContextCache::GetNextContext(Integer ALine) const {
  auto it = std::upper_bound(
      FItems.begin(), FItems.end(), ALine,
      [](Integer ALineArg, const std::unique_ptr<TParserContext>& c) { return ALineArg < c->Line; });
  return it == FItems.end() ? nullptr : it->get();
}

void TContextCache::AddContext(std::unique_ptr<TParserContext> AContext) {
  KIV_ASSERT(FItems.empty() || FItems.back()->Line < AContext->Line, kModule);
  FItems.push_back(std::move(AContext));
}

void TContextCache::KillFrom(Integer ALine) {
  const auto it = std::lower_bound(
      FItems.begin(), FItems.end(), ALine,
      [](const std::unique_ptr<TParserContext>& c, Integer ALineArg) { return c->Line < ALineArg; });
  try {
    FDropped.reserve(FDropped.size() + static_cast<size_t>(FItems.end() - it));
  } catch (...) {
    // Out of memory: freed now (popping allocates nothing).
    while (!FItems.empty() && FItems.back()->Line >= ALine) FItems.pop_back();
    return;
  }
  std::move(it, FItems.end(), std::back_inserter(FDropped));
  FItems.erase(it, FItems.end());
}

void TContextCache::Drop(std::vector<std::unique_ptr<TParserContext>>& AContexts) {
  try {
    FDropped.reserve(FDropped.size() + AContexts.size());
  } catch (...) {
    AContexts.clear();
    return;
  }
  std::move(AContexts.begin(), AContexts.end(), std::back_inserter(FDropped));
  AContexts.clear();
}

bool TContextCache::ReleaseDropped(Integer ABudget) {
  for (; ABudget > 0 && !FDropped.empty(); --ABudget) FDropped.pop_back();
  if (FDropped.empty()) FDropped.shrink_to_fit();
  return FDropped.empty();
}

// ---- token lines ----

Integer TTokenLine::GetTokenIdx(Integer ACol) {
  if (FTokens.empty()) throw EKivEditParserError(u"This line does not have any tokens");
  const Integer pos = FTokens.front().Start + ACol;
  if (ACol < 0 || pos >= FEnd) return -1;
  auto it = std::upper_bound(FTokens.begin(), FTokens.end(), pos,
                             [](Integer APos, const TTokenLineItem& t) { return APos < t.Start; });
  return static_cast<Integer>(std::prev(it) - FTokens.begin());
}

Integer TTokenLine::GetTokens(Integer AStart, Integer ACount, TKivEditParsedTokenArray& Arr) {
  const Integer n = TokenCount();
  if (AStart < 0 || AStart >= n)
    throw EKivEditParserError(u"Bad index for token: %d. Valid range: [%d, %d]", {AStart, 0, n - 1});
  Integer count = std::min<Integer>(n - AStart, static_cast<Integer>(Arr.size()));
  if (ACount >= 0) count = std::min(count, ACount);
  for (Integer i = 0; i < count; ++i) {
    const size_t k = static_cast<size_t>(AStart + i);
    const TTokenLineItem& t = FTokens[k];
    const TTokenStyle& style = FStyles[t.Style];
    TKivEditParsedToken& out = Arr[static_cast<size_t>(i)];
    out.Seg = MakeSegment(t.Start, TokenEnd(k) - t.Start, FChars);
    out.Attrs = style.Attrs;
    out.TokenID = style.Token->ID;
  }
  return count;
}

void TTokenLine::Rebase(Integer ABase) {
  const Integer delta = ABase - Base;
  if (delta == 0) return;
  for (TTokenLineItem& t : FTokens) t.Start += delta;
  FEnd += delta;
  Base = ABase;
}

uint32_t TTokenLine::StyleOf(TTokenProps* AToken, const TKivAttributesHolder& AAttrs, uint8_t& AHint) {
  // A style with these values may be in the table under another hint.
  constexpr size_t kSearched = 32;
  for (size_t k = 0; k < FStyles.size() && k < kSearched; ++k)
    if (FStyles[k].Same(AToken, AAttrs)) {
      AHint = static_cast<uint8_t>(k);
      return static_cast<uint32_t>(k);
    }
  // The custom table first: a failed push leaves the table as it was.
  if (AAttrs.Custom && std::find(FCustoms.begin(), FCustoms.end(), AAttrs.Custom) == FCustoms.end())
    FCustoms.push_back(AAttrs.Custom);
  FStyles.push_back(TTokenStyle{AToken, AAttrs.Attrs});
  const size_t index = FStyles.size() - 1;
  if (index < 255) AHint = static_cast<uint8_t>(index);
  return static_cast<uint32_t>(index);
}

void TTokenLine::Clear() {
  constexpr size_t kKeepCapacity = 4096;
  if (FTokens.capacity() > kKeepCapacity)
    std::vector<TTokenLineItem>().swap(FTokens);
  else
    FTokens.clear();
  FStyles.clear();
  FCustoms.clear();
  FEnd = 0;
  Saves.clear();
  TextHashes.clear();
  Length = 0;
  StartFull.reset();
  StartCodesAppended = false;
  EndTreeOps = -1;
  TreeLog.clear();
}

size_t TTokenLine::MemoryBytes() const {
  return sizeof(*this) + FTokens.capacity() * sizeof(TTokenLineItem) +
         FStyles.capacity() * sizeof(TTokenStyle) +
         FCustoms.capacity() * sizeof(std::shared_ptr<TKivStringHashTable>) +
         Saves.capacity() * sizeof(TInLineSave) + TextHashes.capacity() * sizeof(uint64_t) +
         TreeLog.capacity() * sizeof(TTreeOp);
}

void TTokenLine::Compact() {
  const size_t n = FTokens.size();
  if (FTokens.capacity() <= n + n / 4 + 4096) return;
  std::vector<TTokenLineItem> tokens;
  tokens.reserve(n + n / 16);
  tokens.assign(FTokens.begin(), FTokens.end());
  FTokens.swap(tokens);
}

void TTokenLine::CutAt(Integer APos) {
  auto it = std::lower_bound(FTokens.begin(), FTokens.end(), APos,
                             [](const TTokenLineItem& t, Integer APosArg) { return t.Start < APosArg; });
  FTokens.erase(it, FTokens.end());
  FEnd = FTokens.empty() ? APos : std::min(FEnd, APos);
  const Integer offset = APos - Base;
  while (!Saves.empty() && Saves.back().Offset > offset) Saves.pop_back();
}

void TTokenLine::AppendFrom(const std::vector<TTokenLineItem>& AOld, Integer AOldEnd, Integer AFrom,
                            Integer ADelta) {
  if (AFrom >= AOldEnd) return;
  // The old token containing AFrom, cut to start there.
  auto it = std::upper_bound(AOld.begin(), AOld.end(), AFrom,
                             [](Integer APos, const TTokenLineItem& t) { return APos < t.Start; });
  if (it == AOld.begin()) return;
  --it;
  const TTokenStyle& style = FStyles[it->Style];
  const bool extends = !FTokens.empty() && FStyles[FTokens.back().Style].Same(style);
  if (!extends) FTokens.push_back(TTokenLineItem{AFrom + ADelta, it->Style});
  for (++it; it != AOld.end(); ++it) FTokens.push_back(TTokenLineItem{it->Start + ADelta, it->Style});
  FEnd = AOldEnd + ADelta;
}

TTokenCache::TTokenCache(Integer AMaxCount, Integer ATokenBudget)
    : MaxCount(AMaxCount), TokenBudget(ATokenBudget) {
  // KillFrom frees slots without allocating (it runs when memory has run out too).
  FFree.reserve(static_cast<size_t>(std::max<Integer>(AMaxCount, 1)));
  size_t size = 8;
  FShift = 29;
  while (size < 4 * static_cast<size_t>(std::max<Integer>(AMaxCount, 1))) {
    size *= 2;
    --FShift;
  }
  FTable.assign(size, -1);
  FMask = size - 1;
}

Integer TTokenCache::Find(Integer ALine) const {
  for (size_t b = Home(ALine);; b = (b + 1) & FMask) {
    const Integer slot = FTable[b];
    if (slot < 0 || FSlots[static_cast<size_t>(slot)].Line->Line == ALine) return slot;
  }
}

void TTokenCache::Unlink(Integer ASlot) {
  TSlot& s = FSlots[static_cast<size_t>(ASlot)];
  (s.Prev >= 0 ? FSlots[static_cast<size_t>(s.Prev)].Next : FHead) = s.Next;
  (s.Next >= 0 ? FSlots[static_cast<size_t>(s.Next)].Prev : FTail) = s.Prev;
  s.Prev = s.Next = -1;
}

void TTokenCache::PushFront(Integer ASlot) {
  TSlot& s = FSlots[static_cast<size_t>(ASlot)];
  s.Prev = -1;
  s.Next = FHead;
  (FHead >= 0 ? FSlots[static_cast<size_t>(FHead)].Prev : FTail) = ASlot;
  FHead = ASlot;
}

void TTokenCache::TableAdd(Integer ASlot) {
  size_t b = Home(FSlots[static_cast<size_t>(ASlot)].Line->Line);
  while (FTable[b] >= 0) b = (b + 1) & FMask;
  FTable[b] = ASlot;
}

// Linear probing without tombstones: the entries after the freed bucket that can no longer be
// reached from their home bucket move back into it.
void TTokenCache::TableRemove(Integer ALine) {
  size_t i = Home(ALine);
  while (FSlots[static_cast<size_t>(FTable[i])].Line->Line != ALine) i = (i + 1) & FMask;
  for (size_t j = i;;) {
    j = (j + 1) & FMask;
    if (FTable[j] < 0) break;
    const size_t k = Home(FSlots[static_cast<size_t>(FTable[j])].Line->Line);
    // The entry at j stays when its home k lies cyclically in (i, j].
    if (i <= j ? (i < k && k <= j) : (i < k || k <= j)) continue;
    FTable[i] = FTable[j];
    i = j;
  }
  FTable[i] = -1;
}

TTokenLine* TTokenCache::GetLine(Integer ALine) {
  const Integer slot = Find(ALine);
  if (slot < 0) return nullptr;
  if (slot != FHead) {
    Unlink(slot);
    PushFront(slot);
  }
  return FSlots[static_cast<size_t>(slot)].Line.get();
}

TTokenLine* TTokenCache::CreateLine(Integer ALine, TKivCharSeq* AChars) {
  KIV_ASSERT(Find(ALine) < 0, kModule);
  Integer slot;
  if (!FFree.empty()) {
    slot = FFree.back();
    FFree.pop_back();
    ++FCount;
  } else if (FCount < MaxCount || FTail < 0) {
    FSlots.push_back(TSlot{std::make_unique<TTokenLine>()});
    slot = static_cast<Integer>(FSlots.size()) - 1;
    ++FCount;
  } else {
    slot = FTail;
    TableRemove(FSlots[static_cast<size_t>(slot)].Line->Line);
    Unlink(slot);
  }
  TTokenLine* line = FSlots[static_cast<size_t>(slot)].Line.get();
  FTokenTotal -= line->Accounted;
  line->Accounted = 0;
  line->Clear();
  line->StartSchemes.reset();
  line->Line = ALine;
  line->FChars = AChars;
  PushFront(slot);
  TableAdd(slot);
  return line;
}

void TTokenCache::FreeSlot(Integer ASlot) {
  TSlot& s = FSlots[static_cast<size_t>(ASlot)];
  TableRemove(s.Line->Line);
  Unlink(ASlot);
  FTokenTotal -= s.Line->Accounted;
  s.Line->Accounted = 0;
  s.Line->Clear();
  s.Line->Line = -1;
  s.Line->StartSchemes.reset();
  FFree.push_back(ASlot);
  --FCount;
}

void TTokenCache::Remove(Integer ALine) {
  const Integer slot = Find(ALine);
  if (slot >= 0) FreeSlot(slot);
}

void TTokenCache::KillFrom(Integer ALine) {
  for (Integer slot = FHead; slot >= 0;) {
    const Integer next = FSlots[static_cast<size_t>(slot)].Next;
    if (FSlots[static_cast<size_t>(slot)].Line->Line >= ALine) FreeSlot(slot);
    slot = next;
  }
}

void TTokenCache::Account(TTokenLine* ALine, Integer AKeepLine) {
  FTokenTotal += ALine->TokenCount() - ALine->Accounted;
  ALine->Accounted = ALine->TokenCount();
  for (Integer slot = FTail; slot >= 0 && FTokenTotal > TokenBudget;) {
    const Integer prev = FSlots[static_cast<size_t>(slot)].Prev;
    if (FSlots[static_cast<size_t>(slot)].Line->Line != AKeepLine) FreeSlot(slot);
    slot = prev;
  }
}

void TTokenCache::Clear() {
  FSlots.clear();
  FFree.clear();
  std::fill(FTable.begin(), FTable.end(), -1);
  FHead = FTail = -1;
  FCount = 0;
  FTokenTotal = 0;
}

// ---- parser operations ----

void TParserImpl::SetDocument(TKivEditDocument* ADoc) {
  Refresh();
  FDoc = ADoc;
}

void TParserImpl::SetMaxLineLengthToParse(Integer AValue) {
  Refresh();
  FMaxLineLengthToParse = std::max<Integer>(AValue, 0);
}

void TParserImpl::InvalidateFrom(Integer ALine) {
  ForgetGuesses();
  if (FSoftPending) {
    // The contexts after the changed line are not valid yet: they go as well.
    ALine = std::min(ALine, FSoftLine);
    FSoftPending = false;
    FSoftStartSchemes.reset();
  }
  FLastSchemes.reset();
  FContextCache.KillFrom(std::max<Integer>(ALine, 0));
  TParserContext* last = FContextCache.GetLastContext();
  const Integer l = last ? last->Line : 0;
  const Integer t = last ? last->LastTreeLine : -1;
  FTokenCache.KillFrom(l);
  KillTreeFrom(t + 1);
  FLastValidLine = l - 1;
}

void TParserImpl::CheckLine(Integer ALine) const {
  const Integer n = FDoc ? FDoc->LinesCount() : 0;
  if (ALine < 0 || ALine >= n)
    throw EKivEditParserError(u"Invalid line index: %d. Valid range: [%d, %d]", {ALine, 0, n - 1});
}

TKivEditParsedLine* TParserImpl::GetParsedLine(Integer ALine) {
  CheckLine(ALine);
  if (!FSchemeLoaded) return &FDummyTokLine;
  ResolveLineChange();
  TTokenLine* line = FTokenCache.GetLine(ALine);
  if (!line) {
    ParseTo(ALine);
    line = FTokenCache.GetLine(ALine);
    if (!line) return &FDummyTokLine;
  }
  // A line kept over an edit in an earlier line moves with the text after the edit.
  line->Rebase(FDoc->GetLineStart(ALine));
  return line;
}

void TParserImpl::LineChanged(Integer ALine) {
  ForgetGuesses();
  if (FSoftPending) {
    if (ALine != FSoftLine) InvalidateFrom(ALine);
    return;
  }
  // Worth it only inside what was parsed, with a saved state after the line to meet: after it,
  // or inside it when the line is long.
  const TTokenLine* cached = FDoc && ALine >= 0 ? FTokenCache.PeekLine(ALine) : nullptr;
  const bool inLine = cached && cached->StartSchemes && !cached->Saves.empty() && ALine <= FLastValidLine;
  if (!inLine && (!FDoc || ALine < 0 || ALine >= FLastValidLine || FContextCache.GetLastContext() == nullptr ||
                  FContextCache.GetLastContext()->Line <= ALine)) {
    InvalidateFrom(ALine);
    return;
  }
  // The contexts saved after the line stay where they are, untouched (however many there are)
  // until the re-parse meets the first of them: every request settles the change before it
  // reads them, and only GetContext of the line or an earlier one is asked meanwhile.
  FSoftPending = true;
  FSoftLine = ALine;
  FSoftStartSchemes.reset();
  FSoftInLine = inLine;
  if (TTokenLine* old = FTokenCache.PeekLine(ALine)) {
    FSoftStartSchemes = old->StartSchemes;
    FSoftStartChain = old->StartChain;
    // A long line's tokens stay: its re-parse may keep most of them.
    if (!inLine) FTokenCache.Remove(ALine);
  }
}

void TParserImpl::SettleLineChange() {
  bool met = false;
  try {
    met = ReparseChangedLine();
  } catch (...) {
    FWork.reset();
    FInLineAfter.reset();
    FCurTokens = nullptr;
    FSyntaxInput.Reset();
    EndInLine();
    FSyntaxOn = false;
    FSoftInLine = false;
    InvalidateFrom(FSoftLine);
    throw;
  }
  FWork.reset();
  FInLineAfter.reset();
  FCurTokens = nullptr;
  FSoftInLine = false;
  FSoftPending = false;
  FSoftStartSchemes.reset();
  // Otherwise everything from the line on goes; a context saved at its start stays valid.
  if (!met) InvalidateFrom(FSoftLine + 1);
}

bool TParserImpl::ReparseChangedLine() {
  const Integer changed = FSoftLine;
  const Integer lineCount = FDoc->LinesCount();
  Integer line;
  if (FSoftStartSchemes) {
    AdoptWork(FSoftStartSchemes->CloneSchemes(), FSoftStartChain);
    line = changed;
  } else {
    const TParserContext* start = FContextCache.GetContext(changed);
    if (!start) return false;
    WorkFrom(*start);
    line = start->Line;
  }
  FStatFirstParsedLine = line;
  FKeepLine = changed;
  // Every line here lies before the last valid one: no syntax processing, the tree stands.
  FSyntaxOn = false;
  FInLineAfter.reset();
  // A check that fails after the changed line was parsed whole with its syntax blocks: parsing
  // goes on from the state after it.
  auto decide = [&](bool AMet) {
    if (AMet || !FInLineAfter) return AMet;
    FWork = std::move(FInLineAfter);
    FChain = FInLineAfterChain;
    DropAfterLine(changed);
    return true;
  };
  const TParserContext* after = FContextCache.GetNextContext(changed);
  for (;; ++line) {
    if (line > changed) {
      // The first saved state after the changed line decides.
      const TTokenLine* old = FTokenCache.PeekLine(line);
      if (old && old->StartSchemes)
        return decide(old->StartChain == FChain && old->StartSchemes->SameSchemes(*FWork));
      if (after && after->Line == line) return decide(after->Chain == FChain && after->SameSchemes(*FWork));
    }
    if (line >= lineCount || line > FLastValidLine) return decide(false);
    if (line == changed && FSoftInLine) {
      TTokenLine* old = FTokenCache.PeekLine(line);
      const Integer length = FDoc->GetLineEnd(line) - FDoc->GetLineStart(line);
      if (old && (FMaxLineLengthToParse < 0 || length <= FMaxLineLengthToParse)) {
        bool diverged = false;
        if (ReparseInLine(*old, line, lineCount, diverged)) return true;
        if (diverged) return false;
        continue;
      }
      FTokenCache.Remove(line);
    }
    ParseNextLine(line, true, lineCount);
  }
}

void TParserImpl::WorkFrom(const TParserContext& AContext) { AdoptWork(AContext.Clone(), AContext.Chain); }

void TParserImpl::AdoptWork(std::unique_ptr<TParserContext> AWork, uint64_t AChain) {
  FWork = std::move(AWork);
  FChain = AChain;
  for (auto& item : FWork->Items) item->Serial = ++FSerial;
}

void TParserImpl::ParseNextLine(Integer ALine, bool AKeepTokens, Integer ALineCount) {
  TTokenLine* tokens = nullptr;
  bool inLine = false;
  if (AKeepTokens && !FTokenCache.HasLine(ALine)) {
    tokens = FTokenCache.CreateLine(ALine, &FDoc->Chars());
    tokens->Base = FDoc->GetLineStart(ALine);
    tokens->StartSchemes = CurrentSchemes();
    tokens->StartChain = FChain;
    // A long line tokenized whole gets states saved inside it.
    tokens->Length = FDoc->GetLineEnd(ALine) - tokens->Base;
    inLine = FInLineSaveInterval > 0 && tokens->Length > FInLineSaveInterval &&
             (FMaxLineLengthToParse < 0 || tokens->Length <= FMaxLineLengthToParse);
    if (inLine) {
      FInLineRecord = tokens;
      FInLineSaveAt = tokens->Base + FInLineSaveInterval;
      UpdateInLineNext();
      if (FSyntaxOn) {
        tokens->StartFull = FullState();
        tokens->StartCodesAppended = FCodesAppended;
        FTreeLog = &tokens->TreeLog;
      }
      FLineTreeOpsBase = FTreeOps;
    }
  }
  if (inLine) {
    struct TGuard {
      TParserImpl& P;
      ~TGuard() { P.EndInLine(); }
    } guard{*this};
    ParseLine(ALine, tokens, ALine == ALineCount - 1);
    HashInLineText(*tokens);
    if (FSyntaxOn) tokens->EndTreeOps = static_cast<Integer>(FTreeOps - FLineTreeOpsBase);
  } else {
    ParseLine(ALine, tokens, ALine == ALineCount - 1);
  }
  if (tokens) {
    if (inLine) tokens->Compact();
    FTokenCache.Account(tokens, FKeepLine);
  }
  ChainLineEnd();
  ++FStatLinesParsed;
}

namespace {

// The hash of a stretch of text (two independent lanes of four characters).
uint64_t HashChars(const Char* AData, size_t ACount) {
  uint64_t a = kChainSeed ^ ACount, b = 0x3c6ef372fe94f82bull;
  size_t i = 0;
  for (; i + 8 <= ACount; i += 8) {
    uint64_t w1, w2;
    std::memcpy(&w1, AData + i, sizeof(w1));
    std::memcpy(&w2, AData + i + 4, sizeof(w2));
    a = (a ^ w1) * 0xff51afd7ed558ccdull;
    b = (b ^ w2) * 0xc4ceb9fe1a85ec53ull;
    a ^= a >> 29;
    b ^= b >> 31;
  }
  for (; i < ACount; ++i) a = Mix(a ^ AData[i]);
  return Mix(a) ^ b;
}

}  // namespace

void TParserImpl::HashInLineText(TTokenLine& ALine) const {
  ALine.TextHashes.clear();
  const Integer length = static_cast<Integer>(FLineBuf.size());
  Integer from = 0;
  for (size_t k = 0; k <= ALine.Saves.size(); ++k) {
    const Integer to = k < ALine.Saves.size() ? ALine.Saves[k].Offset : length;
    const Integer a = std::max<Integer>(from - kInLineTextMargin, 0);
    const Integer b = std::min(to + kInLineTextMargin, length);
    ALine.TextHashes.push_back(HashChars(FLineBuf.data() + a, static_cast<size_t>(b - a)));
    from = to;
  }
}

void TParserImpl::EndInLine() {
  FInLineNext = kNoInLinePoint;
  FInLineRecord = nullptr;
  FInLineSaveAt = kNoInLinePoint;
  FInLineOld = nullptr;
  FInLineFine = false;
  FTreeFrozen = false;
  FTreeTouched = false;
  FTreeLog = nullptr;
  FInLineTreeLog = nullptr;
}

void TParserImpl::UpdateInLineNext() {
  FInLineNext = FInLineRecord ? FInLineSaveAt : kNoInLinePoint;
  if (FInLineOld && FInLineCandidate < FInLineOld->size())
    FInLineNext = std::min(FInLineNext, FLineStart + (*FInLineOld)[FInLineCandidate].Offset + FInLineDelta);
}

bool TParserImpl::InLinePoint(Integer APos) {
  const Integer offset = APos - FLineStart;
  if (FTreeFrozen && FTreeTouched) {
    // The frozen fold tree needed a change: the states from here on are not kept.
    FInLineDiverged = true;
    return true;
  }
  if (FInLineOld) {
    const std::vector<TInLineSave>& old = *FInLineOld;
    while (FInLineCandidate < old.size() && old[FInLineCandidate].Offset + FInLineDelta < offset) ++FInLineCandidate;
    if (FInLineCandidate < old.size() && old[FInLineCandidate].Offset + FInLineDelta == offset) {
      const TInLineSave& save = old[FInLineCandidate];
      if (FInLineFine) {
        // The syntax blocks are followed: the whole state decides where it was saved (else the
        // schemes and the hash), after as many changes of the tree, and a state that differs may
        // still be met further on.
        const bool same = save.TreeOps == FTreeOps - FLineTreeOpsBase &&
                          (save.Full ? save.CodesAppended == FCodesAppended && save.Full->SameState(*FWork)
                                     : save.Chain == FChain && save.Schemes->SameSchemes(*FWork));
        if (same) {
          FInLineMet = FInLineCandidate;
          return true;
        }
      } else {
        // Met, or the syntax hash differs: a hash never comes back to the old one, so nothing
        // after is met either.
        FInLineDiverged = save.Chain != FChain;
        if (FInLineDiverged) return true;
        if (save.Schemes->SameSchemes(*FWork)) {
          FInLineMet = FInLineCandidate;
          return true;
        }
      }
      ++FInLineCandidate;
    }
  }
  if (FInLineRecord && APos >= FInLineSaveAt) {
    TInLineSave save;
    save.Offset = offset;
    save.Schemes = CurrentSchemes();
    save.Chain = FChain;
    if (FSyntaxOn) {
      save.Full = FullState();
      save.CodesAppended = FCodesAppended;
      save.TreeOps = static_cast<Integer>(FTreeOps - FLineTreeOpsBase);
    }
    FInLineRecord->Saves.push_back(std::move(save));
    FInLineSaveAt = APos + FInLineSaveInterval;
  }
  UpdateInLineNext();
  return false;
}

bool TParserImpl::ReparseInLine(TTokenLine& ALine, Integer ALineIndex, Integer ALineCount, bool& ADiverged) {
  struct TGuard {
    TParserImpl& P;
    ~TGuard() { P.EndInLine(); }
  } guard{*this};
  const Integer s = FDoc->GetLineStart(ALineIndex);
  const Integer length = FDoc->GetLineEnd(ALineIndex) - s;
  const Integer delta = length - ALine.Length;
  ALine.Rebase(s);
  FLineStart = s;
  FLineBuf.resize(static_cast<size_t>(length));
  if (length > 0) FDoc->CopyChars(s, length, FLineBuf.data());
  // The stretches between the saved states: the first that changed, and from the end those
  // that are still there (moved by delta).
  const size_t m = ALine.Saves.size();
  auto bound = [&](size_t AJ) {
    return AJ == 0 ? 0 : AJ <= m ? ALine.Saves[AJ - 1].Offset : ALine.Length;
  };
  // A stretch with the text around it (a rule's match may look a little past either end): a
  // stretch is the same when that text is, moved by AShift (with the line's start in it, only
  // where it was).
  auto same = [&](size_t AJ, Integer AShift) {
    const Integer lo = bound(AJ) - kInLineTextMargin;
    if (lo < 0 && AShift != 0) return false;
    const Integer from = std::max<Integer>(lo, 0) + AShift;
    const Integer to = std::min(bound(AJ + 1) + kInLineTextMargin, ALine.Length) + AShift;
    return from >= 0 && to <= length &&
           HashChars(FLineBuf.data() + from, static_cast<size_t>(to - from)) == ALine.TextHashes[AJ];
  };
  size_t first = 0;
  while (first <= m && same(first, 0)) ++first;
  if (first > m) {
    if (delta == 0) {
      // The text is as it was.
      FTokenCache.GetLine(ALineIndex);
      return true;
    }
    first = m;
  }
  size_t keep = m + 1;
  while (keep - 1 >= std::max<size_t>(first + 1, 1) && bound(keep - 1) + delta >= bound(first) &&
         same(keep - 1, delta))
    --keep;
  // The old states to stop at and the tokens from the first of them on (where the line starts
  // now, before the edit).
  FInLineOldSaves.clear();
  if (keep <= m) FInLineOldSaves.assign(ALine.Saves.begin() + static_cast<std::ptrdiff_t>(keep - 1), ALine.Saves.end());
  FInLineOldTokens.clear();
  const Integer oldEnd = ALine.End();
  if (!FInLineOldSaves.empty()) {
    const Integer from = s + FInLineOldSaves.front().Offset;
    const std::vector<TTokenLineItem>& items = ALine.Items();
    auto it = std::upper_bound(items.begin(), items.end(), from,
                               [](Integer APos, const TTokenLineItem& t) { return APos < t.Start; });
    if (it != items.begin()) --it;
    FInLineOldTokens.assign(it, items.end());
  }
  const Integer start = s + bound(first);
  // With the whole state saved where the re-parse starts and the line's fold-tree changes known,
  // the syntax blocks are followed too, with the tree frozen: it holds what the line and later
  // lines made, and the re-parse takes over the line's changes where it makes the same ones.
  // (The values of the start are copied: the saves grow while the line is parsed.)
  const TInLineSave* from = first > 0 ? &ALine.Saves[first - 1] : nullptr;
  const std::shared_ptr<const TParserContext> full = from ? from->Full : ALine.StartFull;
  const Integer fromOps = from ? from->TreeOps : 0;
  const uint64_t fromChain = from ? from->Chain : ALine.StartChain;
  const bool fromAppended = from ? from->CodesAppended : ALine.StartCodesAppended;
  FInLineFine =
      full && ALine.EndTreeOps >= 0 && ALine.TreeLog.size() == static_cast<size_t>(ALine.EndTreeOps);
  if (FInLineFine) {
    AdoptWork(full->Clone(), fromChain);
    FCodesAppended = fromAppended;
    FSyntaxOn = true;
    FTreeFrozen = true;
    FTreeTouched = false;
    FLineTreeOpsBase = FTreeOps - fromOps;
    FInLineTreeLog = &ALine.TreeLog;
  } else if (from) {
    AdoptWork(from->Schemes->CloneSchemes(), fromChain);
  }
  ALine.CutAt(start);
  ALine.TextHashes.clear();
  FInLineRecord = &ALine;
  FInLineSaveAt = start + FInLineSaveInterval;
  FInLineOld = &FInLineOldSaves;
  FInLineCandidate = 0;
  FInLineDelta = delta;
  UpdateInLineNext();
  FInLineDiverged = false;
  bool stopped = ParseLine(ALineIndex, &ALine, ALineIndex == ALineCount - 1, start);
  ++FStatLinesParsed;
  const bool fine = FInLineFine;
  bool restart = false;
  if (fine && !(stopped && !FInLineDiverged)) {
    // Not met. Where the fold tree needed a change, the line goes on from the last state saved
    // on the way (all taken before it); at the line's end the tree holds what the line makes.
    // Either needs the tree to hold no change the old parse made after that point; otherwise
    // everything from the line on goes.
    restart = FTreeTouched || stopped;
    Integer at = start - s;
    std::shared_ptr<const TParserContext> state = full;
    uint64_t chain = fromChain;
    bool appended = fromAppended;
    Integer ops = fromOps;
    if (restart) {
      for (auto it = ALine.Saves.rbegin(); it != ALine.Saves.rend() && it->Offset > at; ++it)
        if (it->Full) {
          at = it->Offset;
          state = it->Full;
          chain = it->Chain;
          appended = it->CodesAppended;
          ops = it->TreeOps;
          break;
        }
    } else {
      ops = static_cast<Integer>(FTreeOps - FLineTreeOpsBase);
    }
    FTreeFrozen = false;
    FInLineTreeLog = nullptr;
    if (ops != ALine.EndTreeOps) {
      FSyntaxOn = false;
      ADiverged = true;
      return false;
    }
    if (restart) {
      AdoptWork(state->Clone(), chain);
      FCodesAppended = appended;
      FTreeTouched = false;
      FInLineFine = false;
      FParseTree.KillFrom(ALineIndex + 1, ALineIndex + 1);
      ALine.CutAt(s + at);
      ALine.TreeLog.resize(static_cast<size_t>(ops));
      FTreeLog = &ALine.TreeLog;
      FLineTreeOpsBase = FTreeOps - ops;
      FInLineOld = nullptr;
      FInLineSaveAt = s + at + FInLineSaveInterval;
      UpdateInLineNext();
      FInLineDiverged = false;
      stopped = ParseLine(ALineIndex, &ALine, ALineIndex == ALineCount - 1, s + at);
      KIV_ASSERT(!stopped, kModule);
    }
  } else if (stopped && FInLineDiverged) {
    ADiverged = true;
    return false;
  }
  const bool met = stopped;
  if (fine && !met) ALine.EndTreeOps = static_cast<Integer>(FTreeOps - FLineTreeOpsBase);
  if (met) {
    const TInLineSave& at = FInLineOldSaves[FInLineMet];
    ALine.AppendFrom(FInLineOldTokens, oldEnd, s + at.Offset, delta);
    for (size_t k = FInLineMet; k < FInLineOldSaves.size(); ++k) {
      ALine.Saves.push_back(FInLineOldSaves[k]);
      ALine.Saves.back().Offset += delta;
    }
  }
  FInLineOldSaves.clear();
  FInLineOldTokens.clear();
  ALine.Length = length;
  HashInLineText(ALine);
  ALine.Compact();
  FTokenCache.GetLine(ALineIndex);
  FTokenCache.Account(&ALine, FKeepLine);
  if (!met) ChainLineEnd();
  if (fine) {
    FSyntaxOn = false;
    if (restart) {
      DropAfterLine(ALineIndex);
      return true;
    }
    // The state after the line, kept in case the next saved state is not met: parsing goes on
    // from it then (the line is not parsed again).
    if (!met) {
      FInLineAfter = FWork->Clone();
      FInLineAfterChain = FChain;
    }
  }
  return met;
}

std::shared_ptr<const TParserContext> TParserImpl::FullState() const {
  // A code stream this long is not copied at every save (a scheme whose lines make codes
  // without ever deciding them).
  constexpr size_t kMaxCopiedCodes = 4096;
  for (const auto& item : FWork->Items)
    if (item->SyntaxTail.size() > kMaxCopiedCodes) return nullptr;
  return FWork->Clone();
}

void TParserImpl::DropAfterLine(Integer ALine) {
  const Integer next = ALine + 1;
  FLastSchemes.reset();
  FContextCache.KillFrom(next);
  FTokenCache.KillFrom(next);
  FParseTree.KillFrom(next, next);
  if (next < FDoc->LinesCount()) {
    auto saved = FWork->Clone();
    saved->Line = next;
    saved->LastTreeLine = TreeLastKnownLine();
    saved->Chain = FChain;
    FContextCache.AddContext(std::move(saved));
  }
  FLastValidLine = ALine;
}

void TParserImpl::ChainEvent(uint64_t AEvent) {
  FChain = Mix(FChain ^ AEvent);
}

void TParserImpl::ChainLineEnd() {
  uint64_t h = kEvLineEnd ^ static_cast<uint64_t>(FWork->Count());
  for (const auto& item : FWork->Items) {
    h = Fold(h, PointerBits(item->Scheme));
    h = Fold(h, PointerBits(item->SchemeEndRule));
    for (const TKivString& v : item->Variables) h = Fold(h, std::hash<TKivString>()(v));
  }
  ChainEvent(h);
}

std::shared_ptr<const TParserContext> TParserImpl::CurrentSchemes() {
  if (!FLastSchemes || !FLastSchemes->SameSchemes(*FWork)) FLastSchemes = FWork->CloneSchemes();
  return FLastSchemes;
}

void TParserImpl::MarkTokens(Integer ALine, TKivTokenHandler& AHandler) {
  CheckLine(ALine);
  TKivEditParsedLine* parsed = GetParsedLine(ALine);
  if (!FSchemeLoaded) {
    TKivEditAttributes attrs;
    attrs.BackgroundColor = KivSystemColor(scWindow);
    attrs.TextColor = KivSystemColor(scWindowText);
    attrs.AttributesSet = asBackgroundColor | asTextColor;
    AHandler.HandleToken(FDoc->GetLine(ALine), 0, attrs);
    return;
  }
  EmitTokens(*static_cast<TTokenLine*>(parsed), AHandler);
}

void TParserImpl::EmitTokens(const TTokenLine& ALine, TKivTokenHandler& AHandler) {
  // Copied first: a handler may call the parser, which may recycle the line. The copy reuses the
  // parser's spare array (a nested call finds it taken and makes its own).
  std::vector<TTokenLineItem> items = std::move(FMarkItems);
  std::vector<TTokenStyle> styles = std::move(FMarkStyles);
  items.assign(ALine.Items().begin(), ALine.Items().end());
  styles.assign(ALine.Styles().begin(), ALine.Styles().end());
  // The custom tables the styles point to stay alive with them (none allocated when none).
  const std::vector<std::shared_ptr<TKivStringHashTable>> customs(ALine.Customs());
  const Integer end = ALine.End();
  TKivCharSeq* chars = ALine.FChars;
  for (size_t k = 0; k < items.size(); ++k) {
    const Integer start = items[k].Start;
    const TTokenStyle& style = styles[items[k].Style];
    AHandler.HandleToken(MakeSegment(start, (k + 1 < items.size() ? items[k + 1].Start : end) - start, chars),
                         style.Token->ID, style.Attrs);
  }
  // A large spare array is not kept.
  if (items.capacity() > 4096) items = {};
  items.clear();
  styles.clear();
  FMarkItems = std::move(items);
  FMarkStyles = std::move(styles);
}

// ---- the screen's path that does not wait ----

bool TParserImpl::IsLineReady(Integer ALine) {
  if (!FSchemeLoaded || !FDoc || !FRootSc || ALine < 0 || ALine >= FDoc->LinesCount()) return true;
  ResolveLineChange();
  if (ALine <= FLastValidLine && FTokenCache.HasLine(ALine) && ALine + FoldLookAhead() <= FLastValidLine)
    return true;
  const Integer need = std::min<Integer>(FDoc->LinesCount() - 1, SatAdd(ALine, FoldLookAhead()));
  return need <= SatAdd(FLastValidLine, kReadyLines);
}

bool TParserImpl::MarkTokensNoWait(Integer ALine, TKivTokenHandler& AHandler) {
  CheckLine(ALine);
  if (IsLineReady(ALine)) {
    MarkTokens(ALine, AHandler);
    return true;
  }
  TTokenLine* line = FGuessLines.GetLine(ALine);
  if (!line) {
    const Integer lineCount = FDoc->LinesCount();
    if (!FGuessWork || FGuessNext != ALine) {
      // A restart: the root scheme's default context, a little above the line.
      FGuessWork = std::make_unique<TParserContext>();
      auto item = NewItem();
      item->Scheme = FRootSc;
      AssignAttributes(item->DefaultAttributes, FRootSc->DefaultToken->Attributes, false);
      FGuessWork->Items.push_back(std::move(item));
      FGuessNext = std::max<Integer>({ALine - kGuessLookBack, FLastValidLine + 1, 0});
    }
    // The guess runs in the parser's working state with the syntax blocks off (nothing reaches
    // the fold tree or the saved contexts); the exact state is put back after it.
    const uint64_t chain = FChain;
    const bool syntaxOn = FSyntaxOn;
    std::unique_ptr<TParserContext> work = std::move(FWork);
    FWork = std::move(FGuessWork);
    FSyntaxOn = false;
    try {
      for (Integer l = FGuessNext; l <= ALine; ++l) {
        TTokenLine* tokens = nullptr;
        if (l + kGuessLines / 2 > ALine && !FGuessLines.HasLine(l)) {
          tokens = FGuessLines.CreateLine(l, &FDoc->Chars());
          tokens->Base = FDoc->GetLineStart(l);
        }
        ParseLine(l, tokens, l == lineCount - 1);
      }
    } catch (...) {
      FWork = std::move(work);
      FCurTokens = nullptr;
      FSyntaxInput.Reset();
      FChain = chain;
      FSyntaxOn = syntaxOn;
      ForgetGuesses();
      throw;
    }
    FGuessWork = std::move(FWork);
    FGuessNext = ALine + 1;
    FWork = std::move(work);
    FCurTokens = nullptr;
    FChain = chain;
    FSyntaxOn = syntaxOn;
    line = FGuessLines.GetLine(ALine);
  }
  line->Rebase(FDoc->GetLineStart(ALine));
  EmitTokens(*line, AHandler);
  return false;
}

bool TParserImpl::ParseSome(Integer ALine, Integer ALines) {
  if (IsLineReady(ALine)) return true;
  const Integer need = std::min<Integer>(FDoc->LinesCount() - 1, SatAdd(ALine, FoldLookAhead()));
  EnsureLineParsed(std::min(need, SatAdd(std::max<Integer>(FLastValidLine, 0), std::max<Integer>(ALines, 1))));
  return IsLineReady(ALine);
}

void TParserImpl::ForgetGuesses() {
  if (FGuessLines.Count() > 0) FGuessLines.KillFrom(0);
  FGuessWork.reset();
  FGuessNext = -1;
}

void TParserImpl::EnsureLineParsed(Integer ALine) {
  CheckLine(ALine);
  if (!FSchemeLoaded) return;
  ResolveLineChange();
  if (ALine > FLastValidLine) ParseTo(ALine);
}

std::unique_ptr<TContextItem> TParserImpl::NewItem() {
  std::unique_ptr<TContextItem> item;
  if (FSpareItems.empty()) {
    item = std::make_unique<TContextItem>();
  } else {
    item = std::move(FSpareItems.back());
    FSpareItems.pop_back();
  }
  item->Serial = ++FSerial;
  return item;
}

void TParserImpl::PopItem() {
  ChainEvent(kEvPop);
  std::unique_ptr<TContextItem> item = std::move(FWork->Items.back());
  FWork->Items.pop_back();
  if (FSpareItems.size() >= kMaxSpareItems) return;
  // Back to a new item's state; the code stream keeps its storage.
  TKivIntArray tail = std::move(item->SyntaxTail);
  *item = TContextItem();
  tail.clear();
  item->SyntaxTail = std::move(tail);
  FSpareItems.push_back(std::move(item));
}

void TParserImpl::ReleaseDropped() {
  // A fraction of a millisecond of freeing at a time: the parse state an edit dropped goes while
  // parsing goes on.
  constexpr Integer kNodesPerCall = 4096;
  constexpr Integer kContextsPerCall = 1024;
  FParseTree.ReleaseDropped(kNodesPerCall);
  FContextCache.ReleaseDropped(kContextsPerCall);
}

void TParserImpl::ParseTo(Integer ALine) {
  if (!FSchemeLoaded || !FDoc || !FRootSc) return;
  ReleaseDropped();
  ResolveLineChange();
  TParserContext* start = FContextCache.GetContext(ALine);
  if (!start) {
    auto first = std::make_unique<TParserContext>();
    auto item = NewItem();
    item->Scheme = FRootSc;
    AssignAttributes(item->DefaultAttributes, FRootSc->DefaultToken->Attributes, false);
    first->Items.push_back(std::move(item));
    first->Line = 0;
    first->LastTreeLine = -1;
    first->Chain = kChainSeed;
    FContextCache.AddContext(std::move(first));
    start = FContextCache.GetLastContext();
    FLastValidLine = -1;
  }
  Integer line = start->Line;
  try {
    ParseLines(*start, ALine, line);
  } catch (...) {
    // Out of memory (or a failing callback) part way through a line: that line and what
    // follows are forgotten, so the next request parses them again from the last context saved
    // before them, with the fold tree as it was then.
    FWork.reset();
    FCurTokens = nullptr;
    FSyntaxInput.Reset();
    InvalidateFrom(line + 1);
    throw;
  }
  FWork.reset();
  FCurTokens = nullptr;
}

void TParserImpl::ParseLines(const TParserContext& AStart, Integer ALine, Integer& ACurrent) {
  const Integer lineCount = FDoc->LinesCount();
  const Integer lookAhead = FTokenCache.MaxCount / 2 + 1;
  const Integer keepBehind = FTokenCache.MaxCount / 3;
  const Integer oldLastValid = FLastValidLine;
  WorkFrom(AStart);
  const Integer first = FWork->Line;
  Integer end = std::min<Integer>(lineCount, ALine + lookAhead);
  FStatFirstParsedLine = first;
  FKeepLine = ALine;
  // Long lines: the parse goes on past ALine for kLookAheadChars at most, and a context is
  // saved at a line's start when the lines since the last one are longer than that.
  constexpr Integer kLookAheadChars = 65536;
  const Integer aheadFrom = ALine < lineCount ? FDoc->GetLineEnd(ALine) : 0;
  // A huge text gets its contexts saved further apart, so that they stay a bounded part of the
  // memory (about FMaxSavedContexts of them) while a request re-parses at most a few hundred
  // lines to reach its line.
  const Integer saveInterval = std::max<Integer>(FContextSaveInterval, lineCount / std::max<Integer>(FMaxSavedContexts, 1));
  // About where the line of the last saved context starts (the end of the line before it).
  Integer savedFrom = FDoc->GetLineStart(first);
  for (Integer line = first; line < end; ++line) {
    ACurrent = line;
    if (line == oldLastValid + 1 && line > first) {
      TParserContext* last = FContextCache.GetLastContext();
      KIV_ASSERT(last && last->Line == line, kModule);
      WorkFrom(*last);
      savedFrom = FDoc->GetLineStart(line);
    }
    FSyntaxOn = line > oldLastValid;
    ParseNextLine(line, line >= ALine - keepBehind, lineCount);
    const Integer next = line + 1;
    if (line >= ALine && next < end && FDoc->GetLineEnd(next) - aheadFrom > kLookAheadChars) end = next;
    if (next > oldLastValid + 1) {
      TParserContext* last = FContextCache.GetLastContext();
      if (next < lineCount &&
          (next - last->Line > saveInterval || next == end || FLineEnd - savedFrom > kLookAheadChars)) {
        savedFrom = FLineEnd;
        auto saved = FWork->Clone();
        saved->Line = next;
        saved->LastTreeLine = TreeLastKnownLine();
        saved->Chain = FChain;
        FContextCache.AddContext(std::move(saved));
      }
    }
    FLastValidLine = std::max(FLastValidLine, line);
  }
}

// ---- one line ----

void TParserImpl::AppendCode(TContextItem& AItem, TTokenProps* AToken, Integer AStart, Integer AEnd) {
  if (AItem.Scheme->SynBlocksHash.Count == 0) return;
  if (AItem.Scheme->IsSkipped(AToken->ID)) return;
  const bool ci =
      AItem.Scheme->AllIgnoreCase || (AToken == FTokenKeyword && AItem.Scheme->KeywordsIgnoreCase);
  const TKeywordMap& map = ci ? AToken->ContentMapCI : AToken->ContentMap;
  Integer code = AToken->DefaultContentID;
  if (map.Count() > 0 && AStart >= FLineStart && AEnd <= FLineStart + static_cast<Integer>(FLineBuf.size())) {
    if (const TKeywordMap::TKeyword* k =
            map.GetKeyword(FLineBuf.data() + (AStart - FLineStart), AEnd - AStart))
      code = k->ID;
  }
  AppendCodeValue(AItem, code);
}

void TParserImpl::AppendCodeValue(TContextItem& AItem, Integer ACode) {
  // The chain sees every code, whether or not the syntax blocks look at it now.
  ChainEvent(kEvCode ^ (static_cast<uint64_t>(FWork->Count()) << 32) ^ static_cast<uint32_t>(ACode));
  if (!FSyntaxOn) return;
  AItem.SyntaxTail.push_back(ACode);
  FCodesAppended = true;
}

const TKivAttributesHolder& TParserImpl::TokenAttributes(const TContextItem& AItem, TTokenProps* AToken) {
  const size_t slot = static_cast<size_t>(AItem.Serial) * 31 + static_cast<size_t>(AToken->ID);
  TAttrsCacheEntry& e = FAttrsCache[slot & (kAttrsCacheSize - 1)];
  if (e.Serial == AItem.Serial && e.Token == AToken) return e.Attrs;
  return MergeTokenAttributes(AItem, AToken, e);
}

const TKivAttributesHolder& TParserImpl::MergeTokenAttributes(const TContextItem& AItem, TTokenProps* AToken,
                                                              TAttrsCacheEntry& AEntry) {
  if (AItem.DefaultAttributes.Custom && AToken->Attributes.Custom) {
    // Both have custom tables: every merge makes a table of its own, so none is shared (and no
    // entry is made for them).
    FMergedAttrs = MergeAttributes(AItem.DefaultAttributes, false, AToken->Attributes);
    return FMergedAttrs;
  }
  AEntry.Serial = AItem.Serial;
  AEntry.Token = AToken;
  AEntry.Attrs = MergeAttributes(AItem.DefaultAttributes, false, AToken->Attributes);
  return AEntry.Attrs;
}

void TParserImpl::EmitToken(TTokenProps* AToken, Integer AStart, Integer AEnd, bool ACode) {
  if (AEnd <= AStart) return;
  TContextItem& item = FWork->LastItem();
  if (FCurTokens) FCurTokens->AddItem(AToken, TokenAttributes(item, AToken), AStart, AEnd - AStart);
  if (ACode) AppendCode(item, AToken, AStart, AEnd);
}

void TParserImpl::EmitDefault(Integer AStart, Integer AEnd) {
  if (AEnd <= AStart) return;
  TContextItem& item = FWork->LastItem();
  TTokenProps* token = item.Scheme->DefaultToken;
  if (FCurTokens) FCurTokens->AddItem(token, item.DefaultAttributes, AStart, AEnd - AStart);
  if (item.Scheme->SynBlocksHash.Count == 0) return;
  for (Integer i = AStart; i < AEnd; ++i) {
    const Integer k = i - FLineStart;
    if (k < 0 || k >= static_cast<Integer>(FLineBuf.size())) break;
    if (!FIgnoredChars.Contains(FLineBuf[static_cast<size_t>(k)])) {
      AppendCode(item, token, AStart, AEnd);
      break;
    }
  }
}

void TParserImpl::EmitMatch(TRule* ARule, Integer APart, const TMatchRec& AMatch) {
  const Integer s = AMatch.Starts[0], e = AMatch.Ends[0];
  EmitDefault(FPending, s);
  FPending = std::max(FPending, s);
  const TRuleTokens& tokens = ARule->Tokens[static_cast<size_t>(APart)];
  TContextItem& item = FWork->LastItem();
  if (e == s) {
    // An empty match only adds a code.
    TTokenProps* code = nullptr;
    for (Integer g = 0; g < AMatch.Count && !code; ++g) code = tokens[static_cast<size_t>(g)];
    if (!code) code = item.Scheme->DefaultToken;
    if (!item.Scheme->IsSkipped(code->ID) && item.Scheme->SynBlocksHash.Count > 0)
      AppendCodeValue(item, code->DefaultContentID);
    return;
  }
  if (tokens[0]) {
    EmitToken(tokens[0], s, e, true);
  } else {
    Integer pos = s;
    for (Integer g = 1; g < AMatch.Count; ++g) {
      const size_t sg = static_cast<size_t>(g);
      if (!tokens[sg] || AMatch.Starts[sg] < pos || AMatch.Ends[sg] > e) continue;
      EmitDefault(pos, AMatch.Starts[sg]);
      EmitToken(tokens[sg], AMatch.Starts[sg], AMatch.Ends[sg], true);
      pos = AMatch.Ends[sg];
    }
    EmitDefault(pos, e);
  }
  FPending = e;
}

void TParserImpl::BindEndRule(TContextItem& AItem) {
  TRule* rule = AItem.SchemeEndRule;
  if (!rule || rule->FBoundSerial == AItem.Serial || !rule->NeedVariables()) return;
  rule->FBoundSerial = AItem.Serial;
  TContextItem* item = &AItem;
  rule->BindVariables([item](Integer AId, TKivIntArray& ACodes) { item->GetVariable(AId, ACodes); });
}

void TParserImpl::PushContext(TRule* ARule, const TMatchRec& AMatch) {
  TContextItem& prev = FWork->LastItem();
  auto item = NewItem();
  item->Scheme = ARule->InnerScheme;
  item->SchemeEndRule = ARule;
  item->CheckEndParentContext =
      prev.CheckEndParentContext || (prev.SchemeEndRule && prev.SchemeEndRule->CloseInnerSchemesOnMatchEnd);
  item->OuterEndAnsi = prev.OuterEndAnsi;
  item->OuterEndUnicode = prev.OuterEndUnicode;
  if (FWork->Count() > 1 && prev.EndOfScheme < 0 && prev.SchemeEndRule) {
    if (prev.SchemeEndRule->NeedVariables()) {
      item->OuterEndAnsi.IncludeAll();
      item->OuterEndUnicode = true;
    } else {
      item->OuterEndAnsi.Merge(prev.SchemeEndRule->EndAcceptedAnsiChars);
      item->OuterEndUnicode = item->OuterEndUnicode || prev.SchemeEndRule->EndAcceptUnicodeChars;
    }
  }
  item->EndOfScheme = ARule->IsBlockRule ? -1 : AMatch.Ends[0];
  item->Limit = prev.Limit;
  if (item->EndOfScheme >= 0 && (item->Limit < 0 || item->EndOfScheme < item->Limit))
    item->Limit = item->EndOfScheme;
  item->DefaultAttributes =
      MergeAttributes(prev.DefaultAttributes, false, ARule->InnerScheme->DefaultToken->Attributes);
  if (ARule->NeedVariables()) {
    const Integer n = ARule->MaxVarId() + 1;
    item->Variables.assign(static_cast<size_t>(std::max<Integer>(n, 0)), TKivString());
    item->VariableSet.assign(item->Variables.size(), false);
    for (Integer id = 0; id < n; ++id) {
      Integer s, c;
      if (!ARule->GetVariable(id, s, c)) continue;
      TKivString text;
      for (Integer k = s; k < s + c; ++k) {
        const Integer off = k - FLineStart;
        if (off >= 0 && off < static_cast<Integer>(FLineBuf.size()))
          text += FLineBuf[static_cast<size_t>(off)];
      }
      item->Variables[static_cast<size_t>(id)] = std::move(text);
      item->VariableSet[static_cast<size_t>(id)] = true;
    }
  }
  FWork->Items.push_back(std::move(item));
  ChainEvent(kEvPush ^ PointerBits(ARule));
  BindEndRule(FWork->LastItem());
}

void TParserImpl::EndContext(Integer APos) {
  ProcessSyntaxTail(true);
  if (FWork->Count() > 1) PopItem();
  while (FWork->Count() > 1 && FWork->LastItem().EndOfScheme >= 0 && APos >= FWork->LastItem().EndOfScheme) {
    EmitDefault(FPending, APos);
    FPending = std::max(FPending, APos);
    ProcessSyntaxTail(true);
    PopItem();
  }
}

bool TParserImpl::EndMayStart(const TRule& ARule, Integer APos) const {
  const Integer k = APos - FLineStart;
  return k >= static_cast<Integer>(FLineBuf.size()) || ARule.EndAccepts(FLineBuf[static_cast<size_t>(k)]);
}

bool TParserImpl::OuterEndMayStart(const TContextItem& ATop, Integer APos) const {
  const Integer k = APos - FLineStart;
  if (k >= static_cast<Integer>(FLineBuf.size())) return true;
  const Char c = FLineBuf[static_cast<size_t>(k)];
  return c <= 255 ? ATop.OuterEndAnsi.Contains(c) : ATop.OuterEndUnicode;
}

bool TParserImpl::EndPossible(const TContextItem& ATop, Integer APos) const {
  if (ATop.EndOfScheme >= 0) return APos >= ATop.EndOfScheme;
  return (ATop.SchemeEndRule && EndMayStart(*ATop.SchemeEndRule, APos)) ||
         (ATop.CheckEndParentContext && OuterEndMayStart(ATop, APos));
}

// The end test at APos: the current context ends (or an enclosing block ends it).
bool TParserImpl::TryEnd(Integer& APos, Integer AEnd) {
  TContextItem& top = FWork->LastItem();
  if (FWork->Count() <= 1) return false;
  if (top.EndOfScheme >= 0) {
    if (APos < top.EndOfScheme) return false;
    EmitDefault(FPending, APos);
    FPending = std::max(FPending, APos);
    EndContext(APos);
    BindEndRule(FWork->LastItem());
    return true;
  }
  TRule* rule = top.SchemeEndRule;
  const Integer count = (top.Limit >= 0 ? std::min(top.Limit, AEnd) : AEnd) - APos;
  TMatchRec& match = FEndMatch;
  if (rule && EndMayStart(*rule, APos) && rule->MatchEnd(APos, std::max<Integer>(count, 0), 0, match)) {
    EmitMatch(rule, 1, match);
    APos = std::max(APos, match.Ends[0]);
    std::vector<TKivString> vars = top.Variables;
    std::vector<bool> varSet = top.VariableSet;
    EndContext(APos);
    if (rule->ChainedBlockRule && rule->ChainedBlockRule->InnerScheme) {
      TRule* chain = rule->ChainedBlockRule;
      TMatchRec none;
      none.Ends[0] = APos;
      PushContext(chain, none);
      TContextItem& item = FWork->LastItem();
      item.Variables = std::move(vars);
      item.VariableSet = std::move(varSet);
      item.Serial = ++FSerial;
      BindEndRule(item);
    } else {
      BindEndRule(FWork->LastItem());
    }
    return true;
  }
  if (!top.CheckEndParentContext || !OuterEndMayStart(top, APos)) return false;
  for (Integer k = FWork->Count() - 2; k >= 1; --k) {
    TContextItem& outer = *FWork->Items[static_cast<size_t>(k)];
    if (outer.EndOfScheme >= 0 || !outer.SchemeEndRule) continue;
    // An end pattern without variables has fixed first codes: a position none of them starts
    // needs neither the binding nor the match.
    if (!EndMayStart(*outer.SchemeEndRule, APos) && !outer.SchemeEndRule->NeedVariables()) continue;
    BindEndRule(outer);
    const Integer c = (outer.Limit >= 0 ? std::min(outer.Limit, AEnd) : AEnd) - APos;
    const bool ends = outer.SchemeEndRule->MatchEnd(APos, std::max<Integer>(c, 0), 0, match);
    BindEndRule(top);
    if (ends) {
      EmitDefault(FPending, APos);
      FPending = std::max(FPending, APos);
      EndContext(APos);
      BindEndRule(FWork->LastItem());
      return true;
    }
  }
  return false;
}

bool TParserImpl::ParseLine(Integer ALine, TTokenLine* ATokens, bool ALastLine, Integer AFrom) {
  FCurTokens = ATokens;
  FCurLine = ALine;
  const Integer s = FDoc->GetLineStart(ALine);
  const Integer e = FDoc->GetLineEnd(ALine);
  const Integer lim =
      FMaxLineLengthToParse >= 0 && e - s > FMaxLineLengthToParse ? s + FMaxLineLengthToParse : e;
  FLineStart = s;
  FLineEnd = e;
  if (AFrom < 0) {
    FLineBuf.resize(static_cast<size_t>(lim - s));
    if (lim > s) FDoc->CopyChars(s, lim - s, FLineBuf.data());
  }
  FCharsInput.Bind(FLineBuf.data(), s, lim);
  const Integer from = AFrom < 0 ? s : AFrom;
  FPending = from;
  Integer state = from == s ? psLineStart : 0;
  // Nodes due are made at the line's start (a parse resumed inside the line made them there).
  if (from == s) MarkPendingNodes();
  BindEndRule(FWork->LastItem());

  // Progress guard: a rule (or end test) that left the position where it was is not tried
  // again at that position while the context stack looks as it did before it (same depth,
  // scheme and opening rule); and after kMaxStalls such steps the scan moves on regardless.
  constexpr Integer kMaxStalls = 64;
  // Deeper nesting than this is refused: rules that would open another context are skipped.
  constexpr Integer kMaxContextDepth = 100;
  struct TTried {
    const void* Rule;
    bool End;
    Integer Depth;
    const TScheme* Scheme;
    const TRule* EndRule;
  };
  std::vector<TTried> tried;
  Integer triedPos = -1;
  Integer stalls = 0;
  auto key = [this](const void* ARule, bool AEnd) {
    const TContextItem& top = FWork->LastItem();
    return TTried{ARule, AEnd, FWork->Count(), top.Scheme, top.SchemeEndRule};
  };
  auto wasTried = [&](const void* ARule, bool AEnd) {
    if (tried.empty()) return false;
    const TTried k = key(ARule, AEnd);
    for (const TTried& t : tried)
      if (t.Rule == k.Rule && t.End == k.End && t.Depth == k.Depth && t.Scheme == k.Scheme &&
          t.EndRule == k.EndRule)
        return true;
    return false;
  };
  TMatchRec match;
  Integer i = from;
  bool stopped = false;
  Integer inLineNext = FInLineNext;  // changed by InLinePoint only
  while (i <= lim) {
    if (triedPos != i) {
      tried.clear();
      triedPos = i;
      stalls = 0;
      // A state inside a long line: saved, or met (the rest of the line stands).
      if (i >= inLineNext && FPending == i && i < lim && FWork->LastItem().Limit < 0) {
        stopped = InLinePoint(i);
        if (stopped) break;
        inLineNext = FInLineNext;
      }
    }
    const bool stalled = stalls >= kMaxStalls;
    // The innermost context's end test first (when it can succeed here: TryEnd does nothing
    // otherwise).
    if (!stalled && FWork->Count() > 1 && EndPossible(FWork->LastItem(), i) &&
        !wasTried(FWork->LastItem().SchemeEndRule, true)) {
      const TTried k = key(FWork->LastItem().SchemeEndRule, true);
      const Integer before = i;
      if (TryEnd(i, lim)) {
        if (i == before) {
          tried.push_back(k);
          ++stalls;
        } else {
          state &= ~psLineStart;
        }
        continue;
      }
    }
    if (i == lim && lim < e) break;  // the rest of an over-long line is not tokenized
    TRuleRef* chain =
        stalled ? nullptr
                : FWork->LastItem().Scheme->RulesHash.GetRuleChain(i == lim ? 0 : FLineBuf[static_cast<size_t>(i - s)],
                                                                   (state & psLineStart) != 0);
    bool matched = false;
    // The context stack stays as it is until a rule matches.
    const Integer topLimit = FWork->LastItem().Limit;
    const Integer limit = topLimit >= 0 ? std::min(topLimit, lim) : lim;
    const bool full = FWork->Count() >= kMaxContextDepth;
    if (limit < i) chain = nullptr;
    for (TRuleRef* ref = chain; ref; ref = ref->Next) {
      TRule* rule = ref->Rule;
      if (wasTried(rule, false)) continue;
      if (full && rule->InnerScheme) continue;
      if (!rule->Match(i, limit - i, state, match)) continue;
      const TTried k = key(rule, false);
      const Integer before = i;
      if (rule->InnerScheme) {
        EmitDefault(FPending, i);
        FPending = std::max(FPending, i);
        TContextItem& outer = FWork->LastItem();
        if (match.InnerStart >= 0 && outer.Scheme->SynBlocksHash.Count > 0)
          AppendCode(outer, rule->InnerScheme->DefaultToken, match.InnerStart,
                     match.InnerStart + match.InnerCount);
        ProcessSyntaxTail(false);
        PushContext(rule, match);
        if (rule->HasTokens[0]) {
          EmitMatch(rule, 0, match);
          i = std::max(i, match.Ends[0]);
        }
      } else {
        EmitMatch(rule, 0, match);
        i = std::max(i, match.Ends[0]);
      }
      if (i == before) {
        tried.push_back(k);
        ++stalls;
      }
      matched = true;
      break;
    }
    if (matched) {
      if (i != triedPos) state &= ~psLineStart;
      continue;
    }
    if (i == lim) break;
    ++i;
    state &= ~psLineStart;
    // The positions before the line's end where no rule starts and the end test cannot succeed
    // change nothing: they are passed over here.
    const TContextItem& top = FWork->LastItem();
    const TRulesHash& rules = top.Scheme->RulesHash;
    const bool nested = FWork->Count() > 1;
    while (i < lim && !rules.GetRuleChain(FLineBuf[static_cast<size_t>(i - s)], false) &&
           !(nested && EndPossible(top, i)))
      ++i;
  }
  FStatCharsParsed += std::min(i, lim) - from;
  if (stopped) return true;
  // The line's end: the pending default text, the part past the tokenized length, and the
  // contexts that end with the line.
  EmitDefault(FPending, lim);
  if (lim < e && FCurTokens)
    FCurTokens->AddItem(FTokenDefault, FWork->LastItem().DefaultAttributes, lim, e - lim);
  ProcessSyntaxTail(ALastLine, ALastLine);
  while (FWork->Count() > 1 && FWork->LastItem().EndOfScheme >= 0 && e >= FWork->LastItem().EndOfScheme) {
    ProcessSyntaxTail(true);
    PopItem();
  }
  MarkPendingNodes();
  return false;
}

// Code folding: the fold tree, syntax blocks matched on each context's token-code stream, and
// the fold queries of the parser.
#include <algorithm>

#include "internal/ParserImpl.h"

namespace {

constexpr const char* kModule = "KivSedParser";


// The first child of ANode that starts at or after ALine.
size_t FirstChildFrom(const TParserNode& ANode, Integer ALine) {
  auto it = std::lower_bound(
      ANode.Childs.begin(), ANode.Childs.end(), ALine,
      [](const std::unique_ptr<TParserNode>& n, Integer ALineArg) { return n->StartLine < ALineArg; });
  return static_cast<size_t>(it - ANode.Childs.begin());
}

// A pending attempt: an end of ABlock, or a start of ARef's block, begun on ALine.
void SetAttempt(TContextItem& AItem, TPartBlockKind AKind, TSyntaxBlock* ABlock, TRuleRef* ARef, Integer ALine) {
  AItem.PartBlockKind = AKind;
  AItem.PartBlock = ABlock;
  AItem.PartRef = ARef;
  AItem.PartBlockFirstLine = AItem.PartBlockLastLine = ALine;
}

void ResetAttempt(TContextItem& AItem) {
  SetAttempt(AItem, pbNothing, nullptr, nullptr, -1);
}

// The codes group AId of the innermost open block's start match captured.
void GetSyntaxVariable(const TContextItem& AItem, Integer AId, TKivIntArray& ARes) {
  ARes.clear();
  if (AItem.OpenSyntaxBlocks.empty()) return;
  const std::vector<TKivIntArray>& vars = AItem.OpenSyntaxBlocks.back().Variables;
  if (AId >= 0 && static_cast<size_t>(AId) < vars.size()) ARes = vars[static_cast<size_t>(AId)];
}

}  // namespace

// ---- the line tables ----

TParserNode* TLineNodeTable::Find(Integer ALine) const {
  if (FItems.empty() || FItems.back().Line < ALine) return nullptr;
  const auto it = LowerBound(ALine);
  return it != FItems.end() && it->Line == ALine ? it->Node : nullptr;
}

void TLineNodeTable::Put(Integer ALine, TParserNode* ANode, bool AReplace) {
  const TEntry entry{ALine, ANode->StartLine, ANode};
  if (FItems.empty() || FItems.back().Line < ALine) {
    FItems.push_back(entry);
    return;
  }
  const auto it = LowerBound(ALine);
  if (it != FItems.end() && it->Line == ALine) {
    if (AReplace) *it = entry;
  } else {
    FItems.insert(it, entry);
  }
}

void TLineNodeTable::Remove(Integer ALine) {
  if (!FItems.empty() && FItems.back().Line == ALine) {
    FItems.pop_back();
    return;
  }
  const auto it = LowerBound(ALine);
  if (it != FItems.end() && it->Line == ALine) FItems.erase(it);
}

std::deque<TLineNodeTable::TEntry>::const_iterator TLineNodeTable::LowerBound(Integer ALine) const {
  return std::lower_bound(FItems.begin(), FItems.end(), ALine,
                          [](const TEntry& e, Integer l) { return e.Line < l; });
}

std::deque<TLineNodeTable::TEntry>::iterator TLineNodeTable::LowerBound(Integer ALine) {
  return std::lower_bound(FItems.begin(), FItems.end(), ALine,
                          [](const TEntry& e, Integer l) { return e.Line < l; });
}

// ---- the tree ----

TParserTree::TParserTree() : FRoot(std::make_unique<TParserNode>()) {}

TParserTree::~TParserTree() {
  KillFrom(0);
  ReleaseDropped(std::numeric_limits<Integer>::max());
}

TParserNode* TParserTree::AddAsLast(TParserNode* AParent, Integer ALine) {
  if (!AParent || ALine < FLastKnownLine) return nullptr;
  if (!AParent->Childs.empty() && AParent->Childs.back()->StartLine > ALine) return nullptr;
  auto node = std::make_unique<TParserNode>();
  node->Parent = AParent;
  node->StartLine = ALine;
  TParserNode* res = node.get();
  AParent->Childs.push_back(std::move(node));
  FStarts.Put(ALine, res, false);
  FLastKnownLine = ALine;
  ++FNodeCount;
  return res;
}

void TParserTree::CommitLastNode(TParserNode* ANode) {
  KIV_ASSERT(ANode && ANode->EndLine >= 0, kModule);
  FEnds.Put(ANode->EndLine, ANode, true);
  FLastKnownLine = std::max(FLastKnownLine, ANode->EndLine);
}

TParserNode* TParserTree::LineStartToNode(Integer ALine) const {
  return FStarts.Find(ALine);
}

TParserNode* TParserTree::LineEndToNode(Integer ALine) const {
  return FEnds.Find(ALine);
}

TParserNode* TParserTree::FindParent(Integer ALine) const {
  TParserNode* node = FRoot.get();
  for (;;) {
    const size_t k = FirstChildFrom(*node, ALine + 1);  // children starting at or before ALine
    if (k == 0) return node;
    TParserNode* child = node->Childs[k - 1].get();
    if (child->StartLine >= ALine || (child->EndLine >= 0 && child->EndLine < ALine)) return node;
    node = child;
  }
}

void TParserTree::KillFrom(Integer ALine, Integer AMadeFrom) {
  FLastKnownLine = -1;
  Cut(FRoot.get(), ALine, AMadeFrom);
}

// ANode starts before ALine (the root always does). The walk goes down the last children and
// back up the parent links: no recursion, so a deeply nested tree cannot exhaust the stack. The
// ends are cleared on the way up; the tables lose their tails at the end.
void TParserTree::Cut(TParserNode* ANode, Integer ALine, Integer AMadeFrom) {
  TParserNode* last = nullptr;  // the innermost node whose end is cleared
  for (TParserNode* node = ANode;;) {
    if (node != FRoot.get() && node->EndLine >= 0 && node->EndLine < ALine) {
      FLastKnownLine = node->EndLine;
      break;
    }
    last = node;
    // Children are appended as they are made, so the ones made late are the last ones.
    size_t keep = FirstChildFrom(*node, ALine);
    while (keep > 0 && node->Childs[keep - 1]->MadeOnLine >= AMadeFrom) --keep;
    while (node->Childs.size() > keep) {
      std::unique_ptr<TParserNode> child = std::move(node->Childs.back());
      node->Childs.pop_back();
      if (child->StartLine < ALine) ForgetEarlyEntries(child.get(), ALine);
      Drop(std::move(child));
    }
    if (node->Childs.empty()) {
      FLastKnownLine = node->StartLine;
      break;
    }
    node = node->Childs.back().get();
  }
  for (TParserNode* node = last; node; node = node == ANode ? nullptr : node->Parent) {
    if (node->EndLine < 0) continue;
    if (LineEndToNode(node->EndLine) == node) FEnds.Remove(node->EndLine);
    node->EndLine = -1;
  }
  // Every start and end from ALine on was recorded after the earlier state: the nodes starting
  // there went above; the ends of nodes that stay are open again.
  FStarts.TruncateFrom(ALine, [](const TLineNodeTable::TEntry&) {});
  FEnds.TruncateFrom(ALine, [ALine](const TLineNodeTable::TEntry& AEntry) {
    if (AEntry.Start < ALine) AEntry.Node->EndLine = -1;
  });
}

void TParserTree::ForgetEarlyEntries(TParserNode* ATop, Integer ALine) {
  // The nodes starting before ALine are ATop and first children below it, each a prefix of its
  // parent's children: walked by index down and back up the parent links.
  TParserNode* node = ATop;
  size_t next = 0;  // the next child of node to visit
  for (;;) {
    if (next == 0) {
      if (LineStartToNode(node->StartLine) == node) FStarts.Remove(node->StartLine);
      if (node->EndLine >= 0 && node->EndLine < ALine && LineEndToNode(node->EndLine) == node)
        FEnds.Remove(node->EndLine);
    }
    if (next < node->Childs.size() && node->Childs[next]->StartLine < ALine) {
      node = node->Childs[next].get();
      next = 0;
      continue;
    }
    if (node == ATop) return;
    TParserNode* parent = node->Parent;
    next = static_cast<size_t>(std::find_if(parent->Childs.begin(), parent->Childs.end(),
                                            [node](const std::unique_ptr<TParserNode>& c) {
                                              return c.get() == node;
                                            }) -
                               parent->Childs.begin()) +
           1;
    node = parent;
  }
}

void TParserTree::Drop(std::unique_ptr<TParserNode> ANode) {
  try {
    FDropped.push_back(std::move(ANode));  // ANode stays when the list cannot grow
    return;
  } catch (...) {
  }
  FreeSubtree(std::move(ANode));  // out of memory: freed now, without allocating
}

bool TParserTree::ReleaseDropped(Integer ABudget) const {
  while (ABudget > 0 && !FDropped.empty()) {
    TParserNode* const top = FDropped.back().get();
    // Leaf by leaf, back up the parent links (no recursion).
    for (TParserNode* node = top; ABudget > 0;) {
      while (!node->Childs.empty()) node = node->Childs.back().get();
      --FNodeCount;
      --ABudget;
      if (node == top) {
        FDropped.pop_back();
        break;
      }
      node = node->Parent;
      node->Childs.pop_back();
    }
  }
  return FDropped.empty();
}

// Frees a subtree leaf by leaf, going back up the parent links (no recursion, no allocation).
void TParserTree::FreeSubtree(std::unique_ptr<TParserNode> ANode) {
  TParserNode* const top = ANode.get();
  TParserNode* node = top;
  for (;;) {
    while (!node->Childs.empty()) node = node->Childs.back().get();
    if (LineStartToNode(node->StartLine) == node) FStarts.Remove(node->StartLine);
    if (node->EndLine >= 0 && LineEndToNode(node->EndLine) == node) FEnds.Remove(node->EndLine);
    --FNodeCount;
    if (node == top) return;  // ANode frees it
    TParserNode* parent = node->Parent;
    parent->Childs.pop_back();  // a leaf now: freeing it frees nothing below
    node = parent;
  }
}

// ---- the code-stream source ----

void TSynRegexSource::Bind(const TKivIntArray* ACodes) {
  FCodes = ACodes;
  BaseIndex = 0;
  Count = static_cast<Integer>(ACodes->size());
  FIdxStart = 0;
  FIdxEnd = Count;
  ResetBuffer();
}

void TSynRegexSource::Reset() {
  ResetBuffer();
}

void TSynRegexSource::FillBuffer() {
  std::copy(FCodes->begin() + FBufferStart, FCodes->begin() + FBufferEnd, FBuffer.begin());
}

// ---- syntax blocks on the code stream ----

bool TParserImpl::RunCodes(TKivRegExp& ARegex, Integer APos, Integer ACount, bool& ANeedMore) {
  if (ARegex.InputSource() != &FSyntaxInput) ARegex.SetInputSource(&FSyntaxInput);
  ANeedMore = false;
  try {
    return ARegex.ExecAt(APos, ACount, ANeedMore);
  } catch (const EKivRegExprError&) {
    ANeedMore = false;
    return false;  // a pattern that runs away is no match
  }
}

void TParserImpl::BindSyntaxVariables(TContextItem& AItem, TSyntaxBlock* ABlock) {
  TKivRegExp& re = *ABlock->EndRegex;
  if (!re.HasVariables()) return;
  TContextItem* item = &AItem;
  re.SetVariablesGetter([item](Integer AId, TKivIntArray& ACodes) { GetSyntaxVariable(*item, AId, ACodes); });
  re.InvalidateVariables();
}

// One attempt at the stream position: the pending one, or a fresh one (the innermost block's
// end first, then the starts of the chain for the code there). Returns whether it matched;
// ANeedMore tells that it needs more codes to decide. ARegex is the pattern that decided.
bool TParserImpl::SyntaxAttempt(TContextItem& AItem, Integer ACount, TKivRegExp*& ARegex, bool& ANeedMore) {
  const Integer pos = AItem.SyntaxTailPos;
  const Integer rest = ACount - pos;
  ANeedMore = false;
  if (AItem.PartBlockKind == pbEnd) {
    BindSyntaxVariables(AItem, AItem.PartBlock);
    ARegex = AItem.PartBlock->EndRegex.get();
    return RunCodes(*ARegex, pos, rest, ANeedMore);
  }
  if (AItem.PartBlockKind == pbStart) {
    for (;;) {
      ARegex = AItem.PartRef->SynBlock->StartRegex.get();
      const bool matched = RunCodes(*ARegex, pos, rest, ANeedMore);
      if (matched || ANeedMore || !AItem.PartRef->Next) return matched;
      AItem.PartRef = AItem.PartRef->Next;
    }
  }
  const Integer code = AItem.SyntaxTail[static_cast<size_t>(pos)];
  if (!AItem.OpenSyntaxBlocks.empty()) {
    TSyntaxBlock* block = AItem.OpenSyntaxBlocks.back().Block;
    if (block->EndAccepts(code)) {
      BindSyntaxVariables(AItem, block);
      ARegex = block->EndRegex.get();
      const bool matched = RunCodes(*ARegex, pos, rest, ANeedMore);
      if (matched || ANeedMore) {
        SetAttempt(AItem, pbEnd, block, nullptr, FCurLine);
        return matched;
      }
    }
  }
  for (TRuleRef* ref = AItem.Scheme->SynBlocksHash.GetRuleChain(code); ref; ref = ref->Next) {
    ARegex = ref->SynBlock->StartRegex.get();
    const bool matched = RunCodes(*ARegex, pos, rest, ANeedMore);
    if (matched || ANeedMore) {
      SetAttempt(AItem, pbStart, nullptr, ref, FCurLine);
      return matched;
    }
  }
  ANeedMore = false;
  return false;
}

void TParserImpl::ProcessSyntaxTail(bool AClosing, bool AAtDocumentEnd) {
  if (!FSyntaxOn || !FWork) return;
  TContextItem& item = FWork->LastItem();
  if (item.Scheme->SynBlocksHash.Count == 0) return;
  const bool process = !item.SyntaxTail.empty() && (FCodesAppended || AClosing);
  // A context that ends inside the document closes its blocks even with an empty stream; at the
  // document's end a block only closes on codes that are still to be matched.
  const bool closeOnly = AClosing && !AAtDocumentEnd && !item.OpenSyntaxBlocks.empty();
  if (!process && !closeOnly) return;
  const Integer count = static_cast<Integer>(item.SyntaxTail.size());
  if (count > 0) FSyntaxInput.Bind(&item.SyntaxTail);
  while (item.SyntaxTailPos < count) {
    if (item.PartBlockKind == pbNothing) {
      // A code that can neither end the innermost open block nor start a block is passed over
      // without an attempt.
      const Integer code = item.SyntaxTail[static_cast<size_t>(item.SyntaxTailPos)];
      if (!item.Scheme->SynBlocksHash.GetRuleChain(code) &&
          (item.OpenSyntaxBlocks.empty() || !item.OpenSyntaxBlocks.back().Block->EndAccepts(code))) {
        ++item.SyntaxTailPos;
        ResetAttempt(item);
        continue;
      }
    }
    TKivRegExp* re = nullptr;
    bool needMore = false;
    const bool matched = SyntaxAttempt(item, count, re, needMore);
    if (!matched) {
      if (needMore) break;  // stays pending until the stream grows
      ++item.SyntaxTailPos;
      ResetAttempt(item);
      continue;
    }
    const Integer from = item.SyntaxTailPos;
    item.PartBlockLastLine = FCurLine;
    TSyntaxBlock* block = item.PartBlockKind == pbStart ? item.PartRef->SynBlock : item.PartBlock;
    const Integer group = item.PartBlockKind == pbStart ? block->StartGroupUsed : block->EndGroupUsed;
    const Integer g = re->GetMatchPos(group) >= 0 ? group : 0;
    const Integer next = re->GetMatchPos(g) + re->GetMatchLen(g);
    if (item.PartBlockKind == pbStart)
      OpenSyntaxBlock(item, block, *re);
    else
      CloseSyntaxBlock(item);
    ResetAttempt(item);
    // An empty match still moves on, so a start matching nothing cannot open blocks for ever.
    item.SyntaxTailPos = std::max(next, from + 1);
  }
  if (AClosing) {
    while (!item.OpenSyntaxBlocks.empty()) {
      if (item.PartBlockKind != pbEnd) {
        item.PartBlockKind = pbEnd;
        item.PartBlock = item.OpenSyntaxBlocks.back().Block;
        item.PartRef = nullptr;
        item.PartBlockFirstLine = FCurLine;
      }
      item.PartBlockLastLine = FCurLine;
      CloseSyntaxBlock(item);
    }
    ResetAttempt(item);
  }
  if (item.SyntaxTailPos >= static_cast<Integer>(item.SyntaxTail.size())) {
    item.SyntaxTail.clear();
    item.SyntaxTailPos = 0;
    item.PartRef = nullptr;
    FSyntaxInput.Reset();
  } else if (item.SyntaxTailPos > 0) {
    item.SyntaxTail.erase(item.SyntaxTail.begin(), item.SyntaxTail.begin() + item.SyntaxTailPos);
    item.SyntaxTailPos = 0;
  }
  if (static_cast<Integer>(item.SyntaxTail.size()) > item.Scheme->SyntaxTailMaxLength) {
    // Undecided for too long: dropped, so a start that never completes cannot slow every later
    // line. Blocks already open stay open.
    item.SyntaxTail.clear();
    item.SyntaxTailPos = 0;
    ResetAttempt(item);
  }
  FCodesAppended = false;
}

void TParserImpl::OpenSyntaxBlock(TContextItem& AItem, TSyntaxBlock* ABlock, TKivRegExp& AMatch) {
  TOpenBlock open;
  open.Block = ABlock;
  open.StartLine = AItem.PartBlockFirstLine;
  open.EndLine = AItem.PartBlockLastLine;
  // No fold starts on a line on which another fold ends ("} else {").
  open.DontCreateNode = FParseTree.LineEndToNode(open.StartLine) != nullptr;
  if (ABlock->EndRegex->HasVariables()) {
    const Integer groups = AMatch.CompiledSubExpCount();
    open.Variables.resize(static_cast<size_t>(groups));
    for (Integer g = 0; g < groups; ++g) {
      const Integer p = AMatch.GetMatchPos(g);
      if (p < 0) continue;
      const Integer n = std::min<Integer>(AMatch.GetMatchLen(g), static_cast<Integer>(AItem.SyntaxTail.size()) - p);
      if (n > 0)
        open.Variables[static_cast<size_t>(g)].assign(AItem.SyntaxTail.begin() + p, AItem.SyntaxTail.begin() + p + n);
    }
  }
  const bool create = ABlock->Capture && !open.DontCreateNode;
  AItem.OpenSyntaxBlocks.push_back(std::move(open));
  if (create) {
    ++AItem.WaitingNodes;
    KIV_ASSERT(&FWork->LastItem() == &AItem, kModule);
    CreateBlockNodes(FWork->Count() - 1, static_cast<Integer>(AItem.OpenSyntaxBlocks.size()) - 1, false, 0);
  }
}

void TParserImpl::CloseSyntaxBlock(TContextItem& AItem) {
  if (AItem.OpenSyntaxBlocks.empty()) return;
  const TOpenBlock& open = AItem.OpenSyntaxBlocks.back();
  if (open.Block->Capture && !open.HasNode && !open.DontCreateNode) --AItem.WaitingNodes;
  if (open.HasNode && AItem.CurrentOpenNode) {
    TParserNode* node = AItem.CurrentOpenNode;
    const Integer end = std::max(AItem.PartBlockLastLine, node->StartLine);
    TParserNode* same = nullptr;
    if (FTreeFrozen && !ReplayTreeOp(TTreeOp::kEnd, node, end, same)) {
      FTreeTouched = true;
    } else {
      ++FTreeOps;
      AItem.CurrentOpenNode = node->SchemeParent;
      AItem.ParentNode = node->Parent;
      if (!FTreeFrozen) {
        node->EndLine = end;
        FParseTree.CommitLastNode(node);
        if (FTreeLog) FTreeLog->push_back(TTreeOp{TTreeOp::kEnd, node, node, end});
      }
    }
  }
  AItem.OpenSyntaxBlocks.pop_back();
}

namespace {

// A capturing block that has no node yet and may get one.
bool WaitsForNode(const TOpenBlock& AOpen) {
  return AOpen.Block->Capture && !AOpen.HasNode && !AOpen.DontCreateNode;
}

}  // namespace

// Makes the node of open block AIndex of context AItem (an index into the working context) when
// it is due, after the enclosing levels made theirs: an eligible block forces every enclosing
// capturing block without a node to get one first, so nodes are made outermost first. Returns
// whether nodes may be made at this level. AWaitingAbove counts the blocks of the context above
// AIndex that wait for a node: when none waits below either, the walk goes straight on to the
// enclosing context, so a deep stack of blocks that have their nodes costs nothing.
bool TParserImpl::CreateBlockNodes(Integer AItem, Integer AIndex, bool AForce, Integer AWaitingAbove) {
  TContextItem& item = *FWork->Items[static_cast<size_t>(AItem)];
  const TOpenBlock* open = AIndex >= 0 ? &item.OpenSyntaxBlocks[static_cast<size_t>(AIndex)] : nullptr;
  const bool waiting = open && WaitsForNode(*open);
  const bool eligible = waiting && (AForce || FCurLine - open->StartLine >= open->Block->MinLines);
  const Integer waitingBelow = item.WaitingNodes - AWaitingAbove - (waiting ? 1 : 0);
  bool outer;
  if (AIndex > 0 && waitingBelow > 0) {
    outer = CreateBlockNodes(AItem, AIndex - 1, eligible, AWaitingAbove + (waiting ? 1 : 0));
  } else if (AItem == 0) {
    outer = true;
  } else {
    // Without a waiting block below, the outermost block of this context forces nothing.
    const bool force = AIndex > 0 ? false : eligible;
    TContextItem& enclosing = *FWork->Items[static_cast<size_t>(AItem - 1)];
    outer = enclosing.PartBlockKind == pbNothing &&
            CreateBlockNodes(AItem - 1, static_cast<Integer>(enclosing.OpenSyntaxBlocks.size()) - 1, force, 0);
  }
  if (!eligible || !outer) return outer;
  if (!item.ParentNode) {
    for (Integer k = AItem - 1; k >= 0 && !item.ParentNode; --k)
      item.ParentNode = FWork->Items[static_cast<size_t>(k)]->ParentNode;
    if (!item.ParentNode) item.ParentNode = FParseTree.Root();
  }
  TParserNode* node = nullptr;
  if (FTreeFrozen) {
    // The node the line made here before (none when it was refused), with the same links.
    if (!ReplayTreeOp(TTreeOp::kAdd, item.ParentNode, open->StartLine, node) ||
        (node && node->SchemeParent != item.CurrentOpenNode)) {
      FTreeTouched = true;
      return outer;
    }
  } else {
    node = FParseTree.AddAsLast(item.ParentNode, open->StartLine);
    if (node) {
      node->MadeOnLine = FCurLine;
      node->SchemeParent = item.CurrentOpenNode;
    }
    if (FTreeLog) FTreeLog->push_back(TTreeOp{TTreeOp::kAdd, item.ParentNode, node, open->StartLine});
  }
  ++FTreeOps;
  if (!node) {
    item.OpenSyntaxBlocks.Mutable(static_cast<size_t>(AIndex)).DontCreateNode = true;  // it would come before what the tree already holds
    --item.WaitingNodes;
    return outer;
  }
  item.CurrentOpenNode = node;
  item.ParentNode = node;
  item.OpenSyntaxBlocks.Mutable(static_cast<size_t>(AIndex)).HasNode = true;
  --item.WaitingNodes;
  return outer;
}

bool TParserImpl::ReplayTreeOp(uint8_t AKind, TParserNode* AParent, Integer ALine,
                               TParserNode*& ANode) const {
  const int64_t k = FTreeOps - FLineTreeOpsBase;
  if (!FInLineTreeLog || k < 0 || k >= static_cast<int64_t>(FInLineTreeLog->size())) return false;
  const TTreeOp& op = (*FInLineTreeLog)[static_cast<size_t>(k)];
  if (op.Kind != AKind || op.Parent != AParent || op.Line != ALine) return false;
  ANode = op.Node;
  return true;
}

void TParserImpl::MarkPendingNodes() {
  if (!FSyntaxOn || !FWork) return;
  for (Integer k = FWork->Count() - 1; k >= 0; --k) {
    const TContextItem& item = *FWork->Items[static_cast<size_t>(k)];
    if (item.WaitingNodes == 0) continue;  // none of its blocks would be looked at
    const Integer j = item.OpenSyntaxBlocks.FindFromTop(WaitsForNode);
    if (j >= 0 && CreateBlockNodes(k, j, false, 0)) return;
  }
}

// Called when the saved contexts from some line on were dropped: brings the tree back to its
// state when the last remaining context was saved. ALine is one past the tree's last line then;
// a node made after that save may still start on that last line, so nodes made while parsing
// the context's line or later go as well.
void TParserImpl::KillTreeFrom(Integer ALine) {
  const TParserContext* last = FContextCache.GetLastContext();
  FParseTree.KillFrom(ALine, last ? last->Line : 0);
}

Integer TParserImpl::TreeLastKnownLine() const {
  return FParseTree.LastKnownLine();
}

// ---- queries ----

namespace {

bool InDocument(const TKivEditDocument* ADoc, Integer ALine) {
  return ADoc && ALine >= 0 && ALine < ADoc->LinesCount();
}

}  // namespace

Integer TParserImpl::FoldLookAhead() {
  if (FFoldLookAhead < 0) {
    FFoldLookAhead = 0;
    for (const auto& scheme : FSchemes)
      for (const auto& block : scheme->FSyntaxBlocks)
        if (block->Capture) FFoldLookAhead = std::max(FFoldLookAhead, block->MinLines);
  }
  return FFoldLookAhead;
}

void TParserImpl::EnsureFoldsKnown(Integer ALine) {
  const Integer lastLine = FDoc->LinesCount() - 1;
  EnsureLineParsed(std::min<Integer>(lastLine, ALine + FoldLookAhead()));
  // A start match that began at or before the line and is still undecided where parsing stopped
  // may yet open a fold there (or hold back an inner one): parse on until it is decided. The
  // stream's length limit bounds this.
  while (FLastValidLine < lastLine) {
    const TParserContext* saved = FContextCache.GetLastContext();
    if (!saved || saved->Line != FLastValidLine + 1) break;
    bool undecided = false;
    for (const auto& item : saved->Items)
      undecided = undecided || (item->PartBlockKind != pbNothing && item->PartBlockFirstLine <= ALine);
    if (!undecided) break;
    const Integer before = FLastValidLine;
    ParseTo(FLastValidLine + 1);
    if (FLastValidLine <= before) break;
  }
}

bool TParserImpl::IsFoldStart(Integer ALine) {
  if (!InDocument(FDoc, ALine)) return false;
  EnsureFoldsKnown(ALine);
  return FParseTree.LineStartToNode(ALine) != nullptr;
}

bool TParserImpl::IsFoldEnd(Integer ALine) {
  if (!InDocument(FDoc, ALine)) return false;
  EnsureLineParsed(ALine);
  return FParseTree.LineEndToNode(ALine) != nullptr;
}

Integer TParserImpl::GetFoldEnd(Integer ALineStart) {
  if (!InDocument(FDoc, ALineStart)) return -1;
  EnsureFoldsKnown(ALineStart);
  TParserNode* node = FParseTree.LineStartToNode(ALineStart);
  if (!node) return -1;
  const Integer lastLine = FDoc->LinesCount() - 1;
  // Parses on in the tokenizer's batches until the block's end is known.
  while (node->EndLine < 0 && FLastValidLine < lastLine) {
    const Integer before = FLastValidLine;
    ParseTo(FLastValidLine + 1);
    if (FLastValidLine <= before) break;
  }
  return node->EndLine >= 0 ? node->EndLine : lastLine;
}

Integer TParserImpl::KnownFoldEnd(Integer ALineStart) {
  if (!InDocument(FDoc, ALineStart)) return -1;
  EnsureFoldsKnown(ALineStart);
  const TParserNode* node = FParseTree.LineStartToNode(ALineStart);
  if (!node) return -1;
  const Integer lastLine = FDoc->LinesCount() - 1;
  if (node->EndLine >= 0) return node->EndLine;
  return FLastValidLine >= lastLine ? lastLine : TKivEditParserBase::kFoldEndUnknown;
}

Integer TParserImpl::LastParsedLine() {
  if (!FDoc) return -1;
  ResolveLineChange();
  return std::min(FLastValidLine, FDoc->LinesCount() - 1);
}

Integer TParserImpl::GetFoldStart(Integer ALineEnd) {
  if (!InDocument(FDoc, ALineEnd)) return -1;
  EnsureLineParsed(ALineEnd);
  TParserNode* node = FParseTree.LineEndToNode(ALineEnd);
  return node ? node->StartLine : -1;
}

Integer TParserImpl::GetParentLine(Integer ALine) {
  if (!InDocument(FDoc, ALine)) return -1;
  EnsureFoldsKnown(ALine);
  TParserNode* node = FParseTree.FindParent(ALine);
  return node == FParseTree.Root() ? -1 : node->StartLine;
}

// The fold tree built from the syntax blocks of the loaded scheme, and the source through which
// the blocks' int-code patterns read a context's token-code stream.
#pragma once

#include <deque>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "KivRegExpr.h"

// One fold: the lines of a capturing block that stayed open at least its MinLines lines. The
// root stands for the whole document (start and end -1). A plain class: a text can hold
// millions of nodes, each kept within the allocator's 64-byte blocks.
class TParserNode {
 public:
  Integer StartLine = -1;
  Integer EndLine = -1;  // -1 while the block is open; always -1 for the root
  TParserNode* Parent = nullptr;
  // The node that was the open node of the same scheme context before this one: the open
  // nodes of one context form a stack through this link.
  TParserNode* SchemeParent = nullptr;
  std::vector<std::unique_ptr<TParserNode>> Childs;  // ordered by StartLine
  // The line whose parse made the node: a node can be made some lines after its start.
  Integer MadeOnLine = -1;

  Integer ChildCount() const { return static_cast<Integer>(Childs.size()); }
};

// Nodes by a line of theirs, sorted by line. The parse records lines going down the text, so a
// new line is an append into blocks of entries: no table-wide rehash or copy stalls a parse
// that has got far into a large text. Each entry keeps its node's start line, so dropping the
// tail of the table needs no visit to the nodes.
class TLineNodeTable {
 public:
  struct TEntry {
    Integer Line;
    Integer Start;  // the node's StartLine
    TParserNode* Node;
  };
  TParserNode* Find(Integer ALine) const;
  // Records ANode for ALine; a node already recorded there stays unless AReplace.
  void Put(Integer ALine, TParserNode* ANode, bool AReplace);
  void Remove(Integer ALine);
  // Drops the entries of ALine and later lines in one step; AEach sees each of them first.
  template <class F>
  void TruncateFrom(Integer ALine, F AEach) {
    const auto it = LowerBound(ALine);
    for (auto e = it; e != FItems.end(); ++e) AEach(*e);
    FItems.erase(it, FItems.end());
  }

 private:
  std::deque<TEntry>::const_iterator LowerBound(Integer ALine) const;
  std::deque<TEntry>::iterator LowerBound(Integer ALine);
  std::deque<TEntry> FItems;
};

// The fold tree with its two line tables: the start table holds, for each start line, the
// outermost node starting there (the first one created); the end table holds, for each end
// line, the node committed last with it (the outermost, since inner blocks close first). Start
// and end lines are recorded in non-decreasing order; LastKnownLine is the last of them.
class TParserTree {
 public:
  TParserTree();
  ~TParserTree();
  TParserTree(const TParserTree&) = delete;
  TParserTree& operator=(const TParserTree&) = delete;

  TParserNode* Root() const { return FRoot.get(); }
  Integer LastKnownLine() const { return FLastKnownLine; }

  // Appends a node starting at ALine as the last child of AParent. Returns none (and changes
  // nothing) when ALine lies below LastKnownLine or before the start of AParent's last child:
  // such a node would break the ordering the tree and its tables rely on.
  TParserNode* AddAsLast(TParserNode* AParent, Integer ALine);
  // Records ANode's EndLine (set by the caller) in the end table.
  void CommitLastNode(TParserNode* ANode);
  TParserNode* LineStartToNode(Integer ALine) const;
  TParserNode* LineEndToNode(Integer ALine) const;
  // The innermost node that starts before ALine and does not end before it (the root when
  // none): a fold's start line belongs to the enclosing fold, its end line to the fold itself.
  TParserNode* FindParent(Integer ALine) const;
  // Forgets everything from ALine on: nodes starting at or after it, or made while parsing
  // AMadeFrom or a later line, go, nodes ending at or after ALine are open again, and
  // LastKnownLine becomes the last line still recorded. ALine is one past the LastKnownLine of
  // an earlier state of the tree (every start and end from it on was recorded later), so the
  // line tables lose their tails in one step; the nodes that go are detached whole and freed
  // later, a bounded number at a time (ReleaseDropped), so that the cost does not grow with
  // the part of the text that was parsed after ALine.
  void KillFrom(Integer ALine, Integer AMadeFrom = std::numeric_limits<Integer>::max());
  // Frees up to ABudget of the nodes KillFrom detached; true when none is left.
  bool ReleaseDropped(Integer ABudget) const;
  bool HasDropped() const { return !FDropped.empty(); }
  // Number of nodes below the root (for tests); frees the detached nodes first.
  Integer NodeCount() const {
    ReleaseDropped(std::numeric_limits<Integer>::max());
    return FNodeCount;
  }

 private:
  void Cut(TParserNode* ANode, Integer ALine, Integer AMadeFrom);
  void FreeSubtree(std::unique_ptr<TParserNode> ANode);
  // Takes the entries of a detached subtree's nodes that start before ALine out of the tables
  // (a node made late that starts on the last line of the earlier state, and those below it
  // on the same line).
  void ForgetEarlyEntries(TParserNode* ATop, Integer ALine);
  // Keeps ANode (detached, its entries gone from the tables) for ReleaseDropped; frees it at
  // once when the list cannot grow.
  void Drop(std::unique_ptr<TParserNode> ANode);

  TLineNodeTable FStarts;
  TLineNodeTable FEnds;
  std::unique_ptr<TParserNode> FRoot;
  Integer FLastKnownLine = -1;
  // Counted down as detached nodes are freed, so both change in const ReleaseDropped.
  mutable Integer FNodeCount = 0;
  mutable std::vector<std::unique_ptr<TParserNode>> FDropped;
};

// The token-code stream of one scheme context, at positions 0 .. count - 1.
class TSynRegexSource : public TKivRegexSource {
 public:
  TSynRegexSource() : TKivRegexSource(32, 0) {}
  void Bind(const TKivIntArray* ACodes);
  void Reset();

 protected:
  void FillBuffer() override;

 private:
  const TKivIntArray* FCodes = nullptr;
};

// The fold tree built from the syntax blocks of the loaded scheme, and the source through which
// the blocks' int-code patterns read a context's token-code stream.
#pragma once

#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "KivHashTable.h"
#include "KivRegExpr.h"

// One fold: the lines of a capturing block that stayed open at least its MinLines lines. The
// root stands for the whole document (start and end -1).
class TParserNode : public TKivObject {
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
// new line is an append and growing copies plain pairs: no table-wide rehash stalls a parse that
// has got far into a large text.
class TLineNodeTable {
 public:
  TParserNode* Find(Integer ALine) const;
  // Records ANode for ALine; a node already recorded there stays unless AReplace.
  void Put(Integer ALine, TParserNode* ANode, bool AReplace);
  void Remove(Integer ALine);

 private:
  std::vector<std::pair<Integer, TParserNode*>>::const_iterator LowerBound(Integer ALine) const;
  std::vector<std::pair<Integer, TParserNode*>>::iterator LowerBound(Integer ALine);
  std::vector<std::pair<Integer, TParserNode*>> FItems;
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
  // AMadeFrom or a later line, are freed, nodes ending at or after ALine are open again, and
  // LastKnownLine becomes the last line still recorded.
  void KillFrom(Integer ALine, Integer AMadeFrom = std::numeric_limits<Integer>::max());
  // Number of nodes below the root (for tests).
  Integer NodeCount() const { return FNodeCount; }

 private:
  void Cut(TParserNode* ANode, Integer ALine, Integer AMadeFrom);
  void FreeSubtree(std::unique_ptr<TParserNode> ANode);

  TLineNodeTable FStarts;
  TLineNodeTable FEnds;
  std::unique_ptr<TParserNode> FRoot;
  Integer FLastKnownLine = -1;
  Integer FNodeCount = 0;
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

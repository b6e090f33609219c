// The tokenizer's state: scheme contexts and their stack, saved contexts, token lines and the
// token-line cache.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "internal/SchemeModel.h"

class TParserNode;

enum TPartBlockKind : uint8_t { pbStart, pbEnd, pbNothing };

// A syntax block open in a context.
struct TOpenBlock {
  TSyntaxBlock* Block = nullptr;
  Integer StartLine = -1;
  Integer EndLine = -1;
  bool HasNode = false;
  bool DontCreateNode = false;
  std::vector<TKivIntArray> Variables;  // codes of the start match's groups
};

// The open syntax blocks of a context, innermost last. The blocks are links of a stack that
// copies share: a copy of a context (every saved context is one) shares the blocks it has in
// common with the original instead of copying them, so saving costs the same at any depth. A
// block is changed in place only where this stack alone holds it; otherwise the links down to
// it are copied first.
class TOpenBlockStack {
 public:
  TOpenBlockStack() = default;
  TOpenBlockStack(const TOpenBlockStack&) = default;
  TOpenBlockStack(TOpenBlockStack&& A) noexcept : FTop(std::move(A.FTop)) {}
  TOpenBlockStack& operator=(const TOpenBlockStack& A);
  TOpenBlockStack& operator=(TOpenBlockStack&& A) noexcept;
  ~TOpenBlockStack() { Release(FTop); }

  bool empty() const { return !FTop; }
  size_t size() const { return FTop ? FTop->Depth : 0; }
  const TOpenBlock& back() const { return FTop->Block; }
  // Block AIndex counted from the outermost; found from the innermost.
  const TOpenBlock& operator[](size_t AIndex) const { return LinkAt(AIndex)->Block; }
  // Block AIndex for a change: this stack's own copy.
  TOpenBlock& Mutable(size_t AIndex);
  void push_back(TOpenBlock ABlock);
  void pop_back();
  // Whether the two stacks hold equal blocks (links they share are equal without a look).
  bool Same(const TOpenBlockStack& AOther) const;
  void clear() { Release(FTop); }
  // The index of the innermost block for which APred holds, or -1.
  template <class F>
  Integer FindFromTop(F&& APred) const {
    for (const TLink* l = FTop.get(); l; l = l->Prev.get())
      if (APred(l->Block)) return static_cast<Integer>(l->Depth) - 1;
    return -1;
  }

 private:
  struct TLink {
    TOpenBlock Block;
    std::shared_ptr<TLink> Prev;
    size_t Depth = 0;  // blocks from the outermost up to this one
  };
  using TLinkPtr = std::shared_ptr<TLink>;
  TLink* LinkAt(size_t AIndex) const;
  // Lets go of a reference: links no one else holds are freed one at a time, so a deep stack
  // does not recurse.
  static void Release(TLinkPtr& ALink) noexcept;

  TLinkPtr FTop;
};

// One scheme context: the scheme in force, the rule that opened it and its syntax state.
class TContextItem {
 public:
  bool CheckEndParentContext = false;
  // The codes an end match of an enclosing block-opened context (below this one, above the root)
  // can start with; all codes when one of their end patterns has variables.
  TKivSetOfByte OuterEndAnsi;
  bool OuterEndUnicode = false;
  Integer EndOfScheme = -1;  // where a Regex-opened scheme ends; -1 for block-opened ones
  Integer Limit = -1;        // the nearest EndOfScheme of this item and the enclosing ones
  TScheme* Scheme = nullptr;
  TRule* SchemeEndRule = nullptr;
  TParserNode* CurrentOpenNode = nullptr;
  TParserNode* ParentNode = nullptr;
  TKivIntArray SyntaxTail;
  Integer SyntaxTailPos = 0;
  TSyntaxBlock* PartBlock = nullptr;
  TRuleRef* PartRef = nullptr;
  TPartBlockKind PartBlockKind = pbNothing;
  Integer PartBlockFirstLine = -1;
  Integer PartBlockLastLine = -1;
  TKivAttributesHolder DefaultAttributes;
  TOpenBlockStack OpenSyntaxBlocks;
  // Open blocks that capture and have neither a node nor DontCreateNode yet.
  Integer WaitingNodes = 0;
  // Texts of the start match's groups of the block that opened the context (a group that did
  // not take part is unset).
  std::vector<TKivString> Variables;
  std::vector<bool> VariableSet;
  // Identity of this state for the rules' variable binding: renewed by every copy.
  uint64_t Serial = 0;

  void GetVariable(Integer AId, TKivIntArray& ARes) const;
};

// The stack of contexts before a line.
class TParserContext {
 public:
  std::vector<std::unique_ptr<TContextItem>> Items;  // [0] is the root scheme's
  Integer Line = 0;
  Integer LastTreeLine = -1;
  // The hash of everything the lines before Line did to the syntax blocks and the fold tree
  // (token codes, contexts opened and closed, line ends with the schemes in force), chained
  // from the document's start.
  uint64_t Chain = 0;

  TContextItem& LastItem() { return *Items.back(); }
  Integer Count() const { return static_cast<Integer>(Items.size()); }
  std::unique_ptr<TParserContext> Clone() const;
  // A copy of the schemes in force only (the syntax state left empty): enough to tokenize from.
  std::unique_ptr<TParserContext> CloneSchemes() const;
  // Whether the two stacks have the same schemes in force (the same items apart from their
  // syntax state).
  bool SameSchemes(const TParserContext& AOther) const;
  // Whether the two stacks are in the same state: the same schemes and the same syntax state
  // (code streams, pending attempts, open blocks and the fold nodes they point to).
  bool SameState(const TParserContext& AOther) const;
};

// Saved contexts, sorted by line.
class TContextCache {
 public:
  // The context with the largest Line <= ALine, or none.
  TParserContext* GetContext(Integer ALine) const;
  TParserContext* GetLastContext() const { return FItems.empty() ? nullptr : FItems.back().get(); }
  // The context with the smallest Line > ALine, or none.
  TParserContext* GetNextContext(Integer ALine) const;
  void AddContext(std::unique_ptr<TParserContext> AContext);
  // Moves the last context out into AOut.
  void TakeLast(std::unique_ptr<TParserContext>& AOut) {
    AOut = std::move(FItems.back());
    FItems.pop_back();
  }
  // Drops the contexts of ALine and later lines in one step: they are freed later, a bounded
  // number at a time (ReleaseDropped).
  void KillFrom(Integer ALine);
  // Takes contexts no longer wanted (freed later as those of KillFrom).
  void Drop(std::vector<std::unique_ptr<TParserContext>>& AContexts);
  // Frees up to ABudget dropped contexts; true when none is left.
  bool ReleaseDropped(Integer ABudget);
  bool HasDropped() const { return !FDropped.empty(); }
  const std::vector<std::unique_ptr<TParserContext>>& Items() const { return FItems; }

 private:
  std::vector<std::unique_ptr<TParserContext>> FItems;
  std::vector<std::unique_ptr<TParserContext>> FDropped;
};

// A token of a line: where it starts and its style (token type and runtime attributes) in the
// line's table of styles. A token ends where the next one starts, the last one at the line's
// tokenized end.
struct TTokenLineItem {
  Integer Start = 0;
  uint32_t Style = 0;
};

// A style of a line's table: plain values, so the table is emptied without a walk over it. A
// custom attribute table it points to is held by the line (TTokenLine::Customs).
struct TTokenStyle {
  TTokenProps* Token = nullptr;
  TKivEditAttributes Attrs;

  // Values equal: the custom table by identity (a holder's CustomAttributes is its Custom).
  bool Same(const TTokenProps* AToken, const TKivAttributesHolder& AAttrs) const {
    return Token == AToken && Attrs.BackgroundColor == AAttrs.Attrs.BackgroundColor &&
           Attrs.TextColor == AAttrs.Attrs.TextColor && Attrs.FontStyle == AAttrs.Attrs.FontStyle &&
           Attrs.AttributesSet == AAttrs.Attrs.AttributesSet &&
           Attrs.CustomAttributes == AAttrs.Attrs.CustomAttributes;
  }
  bool Same(const TTokenStyle& AOther) const {
    return Token == AOther.Token && Attrs.BackgroundColor == AOther.Attrs.BackgroundColor &&
           Attrs.TextColor == AOther.Attrs.TextColor && Attrs.FontStyle == AOther.Attrs.FontStyle &&
           Attrs.AttributesSet == AOther.Attrs.AttributesSet &&
           Attrs.CustomAttributes == AOther.Attrs.CustomAttributes;
  }
};

// A state saved inside a long line: the schemes in force and the syntax hash at Offset (from
// the line's start), where the tokens before it all end. A re-parse of the line after an edit
// starts from the last such state before the edit and stops at one after it that it reaches in
// the same state.
struct TInLineSave {
  Integer Offset = 0;
  std::shared_ptr<const TParserContext> Schemes;
  uint64_t Chain = 0;
  // The whole state there when the syntax blocks were followed (none when not, or when a code
  // stream was too long to copy): a re-parse that reaches it equal stops there even when the
  // syntax hash differs. TreeOps: the fold-tree changes the line had made before it.
  std::shared_ptr<const TParserContext> Full;
  bool CodesAppended = false;
  Integer TreeOps = 0;
};

// A change a long line made to the fold tree: a node added (Parent: where; Node: the node made,
// none when the tree refused it; Line: its start) or ended (Parent and Node: the node; Line: its
// end line).
struct TTreeOp {
  static constexpr uint8_t kAdd = 0;
  static constexpr uint8_t kEnd = 1;
  uint8_t Kind = kAdd;
  TParserNode* Parent = nullptr;
  TParserNode* Node = nullptr;
  Integer Line = -1;
};

// The tokens of one line. Valid only until the next parser call.
class TTokenLine : public TKivEditParsedLine {
 public:
  Integer TokenCount() override { return static_cast<Integer>(FTokens.size()); }
  // The token containing column ACol (0 = the line's first token's start); -1 beyond the last
  // token or before the first.
  Integer GetTokenIdx(Integer ACol) override;
  Integer GetTokens(Integer AStart, Integer ACount, TKivEditParsedTokenArray& Arr) override;

  // Appends a token starting where the previous one ends; a token of the same type with equal
  // runtime attributes extends the previous one instead.
  void AddItem(TTokenProps* AToken, const TKivAttributesHolder& AAttrs, Integer AStart, Integer ACount) {
    if (ACount <= 0) return;
    if (!FTokens.empty() && FStyles[FTokens.back().Style].Same(AToken, AAttrs)) {
      FEnd += ACount;
      return;
    }
    // The style: by its hint (checked by value), else found or added out of line.
    const uint64_t h = (reinterpret_cast<uintptr_t>(AToken) ^ (reinterpret_cast<uintptr_t>(&AAttrs) << 7)) *
                       0x9e3779b97f4a7c15ull;
    uint8_t& hint = FStyleHints[h >> 58];
    uint32_t style;
    if (hint < FStyles.size() && FStyles[hint].Same(AToken, AAttrs))
      style = hint;
    else
      style = StyleOf(AToken, AAttrs, hint);
    FTokens.push_back(TTokenLineItem{AStart, style});
    FEnd = AStart + ACount;
  }
  // Forgets the tokens, the styles and the saved states; a large token array is let go of.
  void Clear();
  const std::vector<TTokenLineItem>& Items() const { return FTokens; }
  const std::vector<TTokenStyle>& Styles() const { return FStyles; }
  // The custom attribute tables the styles point to, held while the line keeps them.
  const std::vector<std::shared_ptr<TKivStringHashTable>>& Customs() const { return FCustoms; }
  Integer End() const { return FEnd; }
  Integer TokenEnd(size_t AIndex) const {
    return AIndex + 1 < FTokens.size() ? FTokens[AIndex + 1].Start : FEnd;
  }
  // The bytes the line's own arrays take (not what they point to).
  size_t MemoryBytes() const;
  // Lets go of spare room of a large token array.
  void Compact();

  // Moves the tokens to a line that now starts at ABase (the line before it changed length).
  void Rebase(Integer ABase);

  // ---- re-parsing part of a long line ----
  // Drops the tokens from APos on (the one containing APos ends there) and the saved states
  // after it.
  void CutAt(Integer APos);
  // Appends the tokens of AOld from its position AFrom on, moved by ADelta (the first one
  // extends the last token when of the same style).
  void AppendFrom(const std::vector<TTokenLineItem>& AOld, Integer AOldEnd, Integer AFrom, Integer ADelta);

  static bool SameStyleAttributes(const TKivAttributesHolder& A, const TKivAttributesHolder& B) {
    return A.Attrs.BackgroundColor == B.Attrs.BackgroundColor && A.Attrs.TextColor == B.Attrs.TextColor &&
           A.Attrs.FontStyle == B.Attrs.FontStyle && A.Attrs.AttributesSet == B.Attrs.AttributesSet &&
           A.Custom == B.Custom;
  }

  TKivCharSeq* FChars = nullptr;
  Integer Line = -1;
  Integer Base = 0;  // where the line started when it was tokenized
  // The schemes in force at the line's start (shared by lines with the same) and the syntax
  // hash there: what a re-parse after an edit above compares with.
  std::shared_ptr<const TParserContext> StartSchemes;
  uint64_t StartChain = 0;
  // A long line's whole state at its start (see TInLineSave::Full) and the fold-tree changes
  // the whole line made (-1: not known).
  std::shared_ptr<const TParserContext> StartFull;
  bool StartCodesAppended = false;
  Integer EndTreeOps = -1;
  // The fold-tree changes the line made, in order (kept while EndTreeOps is known).
  std::vector<TTreeOp> TreeLog;
  // States saved inside the line (a long line tokenized whole), by offset, and the hashes of the
  // text between them: TextHashes[k] covers the text from the offset of save k - 1 (0 for k = 0)
  // to that of save k (the line's end for the last), with a margin on either side
  // (TParserImpl::kInLineTextMargin). Length: the line's length then.
  std::vector<TInLineSave> Saves;
  std::vector<uint64_t> TextHashes;
  Integer Length = 0;
  // The tokens the cache has counted for the line.
  Integer Accounted = 0;

 private:
  // The style with these values: one of the first in the table, or a new one; AHint is set to it.
  uint32_t StyleOf(TTokenProps* AToken, const TKivAttributesHolder& AAttrs, uint8_t& AHint);

  std::vector<TTokenLineItem> FTokens;
  std::vector<TTokenStyle> FStyles;
  std::vector<std::shared_ptr<TKivStringHashTable>> FCustoms;
  Integer FEnd = 0;
  // Style indices by a hash of the token and where its attributes live (checked by value before
  // use), so a line's styles are found without a search.
  static constexpr size_t kStyleHints = 64;
  std::array<uint8_t, kStyleHints> FStyleHints{};
};

// The most recently used token lines, at most MaxCount of them and, apart from one line a
// request needs, at most TokenBudget tokens in all (a few long lines take the room of many). The lines sit in slots linked in
// the order of use and are found through an open-addressing table of line numbers, so finding,
// creating and recycling a line allocate nothing once the slots exist.
class TTokenCache {
 public:
  explicit TTokenCache(Integer AMaxCount, Integer ATokenBudget = kDefaultTokenBudget);
  // 16 MB of tokens.
  static constexpr Integer kDefaultTokenBudget = 1 << 21;
  TTokenLine* GetLine(Integer ALine);
  bool HasLine(Integer ALine) const { return Find(ALine) >= 0; }
  // A cleared line for ALine: a free one, a new one while fewer than MaxCount exist, or the least
  // recently used one.
  TTokenLine* CreateLine(Integer ALine, TKivCharSeq* AChars);
  // The cached line ALine without touching the order of use, or nullptr.
  TTokenLine* PeekLine(Integer ALine) const {
    const Integer slot = Find(ALine);
    return slot < 0 ? nullptr : FSlots[static_cast<size_t>(slot)].Line.get();
  }
  void Remove(Integer ALine);
  void KillFrom(Integer ALine);
  void Clear();
  Integer Count() const { return FCount; }
  // Counts the tokens ALine has now; then, while the lines hold more than the budget, drops the
  // least recently used ones other than AKeepLine.
  void Account(TTokenLine* ALine, Integer AKeepLine);
  int64_t TokenTotal() const { return FTokenTotal; }

  const Integer MaxCount;
  Integer TokenBudget;

 private:
  struct TSlot {
    std::unique_ptr<TTokenLine> Line;
    Integer Prev = -1;  // the slot used more recently, -1 for the first
    Integer Next = -1;  // the slot used less recently, -1 for the last
  };
  // Fibonacci hashing: neighbouring lines land far apart, so the runs of full buckets stay short.
  size_t Home(Integer ALine) const { return (static_cast<uint32_t>(ALine) * 2654435769u) >> FShift; }
  Integer Find(Integer ALine) const;  // the slot holding ALine, or -1
  void Unlink(Integer ASlot);
  void PushFront(Integer ASlot);
  void TableAdd(Integer ASlot);
  void TableRemove(Integer ALine);
  // Takes the line in ASlot out of the table and the order of use and clears it.
  void FreeSlot(Integer ASlot);

  std::vector<TSlot> FSlots;
  std::vector<Integer> FFree;   // slots holding no line
  std::vector<Integer> FTable;  // slot per bucket, -1 when empty; at most a quarter full
  size_t FMask = 0;
  int FShift = 0;
  Integer FHead = -1;  // the most recently used slot
  Integer FTail = -1;  // the least recently used slot
  Integer FCount = 0;
  int64_t FTokenTotal = 0;
};

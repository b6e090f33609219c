// The parser behind TKivEditParser: loaded schemes and token types, and (in the tokenizer's
// sources) the incremental tokenizer with its caches.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <set>
#include <unordered_map>
#include <vector>

#include "internal/ParserTree.h"
#include "internal/SchemeModel.h"
#include "internal/Tokenizer.h"

class TParserImpl {
 public:
  TParserImpl(Integer ATokenCacheSize, Integer AContextSaveInterval);
  ~TParserImpl();
  TParserImpl(const TParserImpl&) = delete;
  TParserImpl& operator=(const TParserImpl&) = delete;

  // ---- loading ----
  void SetSchemeLoaders(TKivEditParserSchemeLoader ASyntaxLoader, TKivEditParserSchemeLoader AColorLoader);
  void LoadSchemeDoc(const TKivString& ADocName, const TKivString& AAttrsDocName);
  void UnloadSchemes();
  bool IsSchemeLoaded() const { return FSchemeLoaded; }
  TKivString FSchemesDir;
  TKivString FAttrsDir;

  // ---- token registry ----
  // The token registered under AName, else under Doc.AName for the current document, else a new
  // token Doc.AName without attributes.
  TTokenProps* GetTokenProps(const TKivString& AName);
  // The int code of "token" or "token:content" ("kw" = keyword, "sym" = symbol).
  Integer ResolveIntCode(const TKivString& AName);
  TKivIntArray GetAllTokenIDs(const TKivString& ATokenName) const;
  Integer TokenCount() const { return static_cast<Integer>(FTokenProps.size()); }
  TTokenProps* Token(Integer AID) const { return FTokenProps[static_cast<size_t>(AID)].get(); }
  TTokenProps* FindToken(const TKivString& AName) const;

  // ---- schemes ----
  TScheme* RootScheme() const { return FRootSc; }
  TScheme* FindScheme(const TKivString& AQualifiedName) const;

  // The character source every token rule reads.
  TLineRegexSource& CharsInput() { return FCharsInput; }

  // ---- tokenizer ----
  void SetDocument(TKivEditDocument* ADoc);
  TKivEditDocument* Document() const { return FDoc; }
  void SetMaxLineLengthToParse(Integer AValue);
  Integer MaxLineLengthToParse() const { return FMaxLineLengthToParse; }
  // Forgets everything from ALine on: the next request re-parses from the last context saved
  // before it.
  // The saved contexts and fold nodes it drops are freed later, a bounded number with each
  // ParseTo (ReleaseDropped), so an edit costs the same after a long parse as after a short one.
  void InvalidateFrom(Integer ALine);
  void Refresh() { InvalidateFrom(0); }
  // Frees a bounded part of what InvalidateFrom dropped.
  void ReleaseDropped();
  // An edit inside line ALine that kept the number of lines. The next request re-tokenizes from
  // the last saved state before the line and stops at the first state saved after it (a cached
  // token line's start or a saved context) when it reaches the same schemes and syntax hash
  // there: then everything after it stands. Otherwise it forgets everything from ALine on, as
  // InvalidateFrom.
  void LineChanged(Integer ALine);
  // Raises EKivEditParserError for a line outside the document.
  TKivEditParsedLine* GetParsedLine(Integer ALine);
  // The screen's path that never waits for parsing to reach a far line (see
  // TKivEditParserBase::IsLineReady). A line is ready when parsing it and the fold look-ahead
  // after it takes at most kReadyLines more lines. A guess is tokenized without syntax blocks
  // from the root scheme's default context kGuessLookBack lines above the line (or where
  // parsing stopped, when that is nearer), going on from the last guessed line when the
  // screen asks the next one; guesses are kept apart from the exact lines and forgotten with
  // every edit.
  static constexpr Integer kReadyLines = 2000;
  static constexpr Integer kGuessLookBack = 30;
  bool IsLineReady(Integer ALine);
  bool MarkTokensNoWait(Integer ALine, TKivTokenHandler& AHandler);
  bool ParseSome(Integer ALine, Integer ALines);
  void MarkTokens(Integer ALine, TKivTokenHandler& AHandler);
  void EnsureLineParsed(Integer ALine);
  void ParseTo(Integer ALine);
  // Fold queries; they parse as far as they need and answer -1 or false for a line outside the
  // document, GetFoldEnd for a line that is not a fold start and GetFoldStart for a line that
  // is not a fold end. A capturing block gets its fold once parsing reaches StartLine +
  // MinLines, or later when its start match spans lines, so the queries about a line parse that
  // far past it (the largest MinLines of the loaded blocks) and on while a match that began at
  // or before the line is undecided. A fold held back by an enclosing context's attempt that
  // began after the line may still show only once parsing gets past that attempt.
  Integer GetParentLine(Integer ALine);
  Integer GetFoldEnd(Integer ALineStart);
  Integer GetFoldStart(Integer ALineEnd);
  // GetFoldEnd without parsing on to the end: TKivEditParserBase::kFoldEndUnknown while the end
  // lies past the parsed lines. LastParsedLine: the last line parsing got to (-1 for none).
  Integer KnownFoldEnd(Integer ALineStart);
  Integer LastParsedLine();
  bool IsFoldStart(Integer ALine);
  bool IsFoldEnd(Integer ALine);
  const TContextCache& ContextCache() const { return FContextCache; }
  const TParserTree& ParseTree() const { return FParseTree; }
  const TTokenCache& TokenCache() const { return FTokenCache; }
  // Counters for tests and benchmarks: lines parsed in all, and the first line of the last
  // ParseTo.
  int64_t FStatLinesParsed = 0;
  Integer FStatFirstParsedLine = -1;
  // Characters tokenized in all (a line re-parsed in part counts that part).
  int64_t FStatCharsParsed = 0;

  // The budget of one token-rule match in matcher steps: a pattern that runs away gives up
  // (and counts as no match) instead of stalling the line.
  static constexpr int64_t kRuleStepLimit = 20000;

 private:
  friend class TSchemeReader;

  // Colour scheme
  void LoadColorScheme(const TKivString& AName);
  [[noreturn]] void ColorError(const TKivString& AMsg) const;
  // Syntax documents
  void LoadDocument(const TKivString& ADocName);
  void ReadScheme(const IKivXmlElement& ANode);
  void ApplyTokenAlias(const IKivXmlElement& ANode);
  TScheme* ResolveScheme(const TKivString& ARef, const TKivString& ADocName);
  void LinkScheme(TScheme* AScheme);
  void AddRulesOf(TScheme* ATarget, TScheme* AFrom, std::set<TScheme*>& AVisited);
  void CollectSkipped(TScheme* AFrom, std::vector<bool>& ASkip, std::set<TScheme*>& AVisited);
  TKivString LoadText(const TKivString& AName, bool AColor, TKivString& APath);
  TTokenProps* AddToken(const TKivString& AName, std::unique_ptr<TTokenProps> AProps);

 public:
  // Errors in their two layouts, filled from the current document, scheme and rule.
  [[noreturn]] void SchemeError(const TKivString& AMsg) const;
  [[noreturn]] void DocError(const TKivString& AMsg) const;

 private:
  TKivEditParserSchemeLoader FSyntaxLoader;
  TKivEditParserSchemeLoader FColorLoader;
  bool FSchemeLoaded = false;

  std::vector<std::unique_ptr<TTokenProps>> FTokenProps;
  std::unordered_map<TKivString, Integer> FTokenIndex;  // lower-case name -> first ID
  Integer FTokenID = -1;                                // the int-code counter
  TTokenProps* FTokenKeyword = nullptr;
  TTokenProps* FTokenDefault = nullptr;

  std::vector<std::unique_ptr<TScheme>> FSchemes;
  std::unordered_map<TKivString, TScheme*> FSchemeIndex;
  std::set<TKivString> FLoadedDocs;
  std::map<TKivString, TKivString> FDocPaths;
  TScheme* FRootSc = nullptr;
  std::vector<TKivString> FInheritPath;

  // Current items for messages.
  TKivString FCurDocName;
  TKivString FCurDocPath;
  TKivString FCurSchemeName;
  TKivString FCurRuleXml;
  TKivString FCurBlockXml;

  TLineRegexSource FCharsInput;

  // ---- tokenizer state ----
  void CheckLine(Integer ALine) const;
  // Settles a pending LineChanged (see there).
  void ResolveLineChange() {
    if (FSoftPending) SettleLineChange();
  }
  void SettleLineChange();
  // The re-parse after LineChanged: true when it met the saved state after the line, or when the
  // changed line was parsed whole with its syntax blocks and parsing goes on after it (see
  // ReparseInLine).
  bool ReparseChangedLine();
  // Hash mixing of the syntax chain.
  void ChainEvent(uint64_t AEvent);
  void ChainLineEnd();
  // The working context becomes a copy of AContext (fresh serials), with its chain.
  void WorkFrom(const TParserContext& AContext);
  // AWork becomes the working context (fresh serials), with AChain as its chain.
  void AdoptWork(std::unique_ptr<TParserContext> AWork, uint64_t AChain);
  // Parses ALine from the working context and chains its end; its tokens are kept in the cache
  // when AKeepTokens and the line is not cached yet (with states saved inside it when it is
  // long).
  void ParseNextLine(Integer ALine, bool AKeepTokens, Integer ALineCount);
  // The re-parse of the changed line ALine whose cached tokens ALine has states saved inside:
  // from the last one before the changed text, stopping at a later one reached in the same
  // state (true: the rest of the line and what follows stand); otherwise on to the line's end
  // and its end chained (false; ADiverged when the syntax hash showed that nothing after the
  // edit will be met: the line is then left part way).
  // When the state there was saved whole, the syntax blocks are followed as well, with the fold
  // tree frozen (the changes the line made to it before are taken over where the re-parse
  // makes the same ones): a later state is met when the whole state equals it. Where the tree
  // would change otherwise the line goes on from the last state saved on the way with the tree
  // brought back to the line's end, and everything after the line goes (true); at the line's
  // end the state after it is kept in FInLineAfter for ReparseChangedLine. Either needs the
  // tree to hold no change the line made after that point (else ADiverged).
  bool ReparseInLine(TTokenLine& ALine, Integer ALineIndex, Integer ALineCount, bool& ADiverged);
  // A position inside the line being parsed where all tokens before it are out and no context
  // ends at a fixed position: saves a state there when one is due, and answers true when it is
  // one of the old saved states to stop at and the parse reached it in the same state.
  bool InLinePoint(Integer APos);
  void EndInLine();
  void UpdateInLineNext();
  // The working context's whole state for an in-line save, or none when a code stream is too
  // long to copy.
  std::shared_ptr<const TParserContext> FullState() const;
  // The working context is the state after line ALine and the fold tree holds what ALine and
  // the lines before it made (and possibly more after it): everything after the line goes and
  // parsing goes on from that state.
  void DropAfterLine(Integer ALine);
  // The hashes of the text between the line's saved states (FLineBuf holds the line).
  void HashInLineText(TTokenLine& ALine) const;
  // The text on either side of a stretch between saved states that its hash covers too.
  static constexpr Integer kInLineTextMargin = 16;
  // The schemes in force now, shared with the last line that had the same.
  std::shared_ptr<const TParserContext> CurrentSchemes();
  // ParseTo's lines from AStart on; ACurrent follows the line being parsed.
  void ParseLines(const TParserContext& AStart, Integer ALine, Integer& ACurrent);
  // Tokenizes ALine from the line's start or, with AFrom >= 0, from that position (FLineBuf then
  // holds the line already). True when it stopped at an in-line state (see InLinePoint): the
  // line's end is then not processed.
  bool ParseLine(Integer ALine, TTokenLine* ATokens, bool ALastLine, Integer AFrom = -1);
  bool TryEnd(Integer& APos, Integer AEnd);
  // The end rules' first-code test on the line being parsed (the one their end match makes
  // first): false when no end match of ARule, as bound now, can start at APos.
  bool EndMayStart(const TRule& ARule, Integer APos) const;
  // The same test for the end patterns of the contexts enclosing ATop.
  bool OuterEndMayStart(const TContextItem& ATop, Integer APos) const;
  // False when TryEnd at APos, with ATop the current context, cannot end anything.
  bool EndPossible(const TContextItem& ATop, Integer APos) const;
  void EndContext(Integer APos);
  void PushContext(TRule* ARule, const TMatchRec& AMatch);
  void BindEndRule(TContextItem& AItem);
  void EmitMatch(TRule* ARule, Integer APart, const TMatchRec& AMatch);
  void EmitDefault(Integer AStart, Integer AEnd);
  void EmitToken(TTokenProps* AToken, Integer AStart, Integer AEnd, bool ACode);
  // The runtime attributes of AToken in context AItem (its default attributes merged with the
  // token's), valid until the next call.
  const TKivAttributesHolder& TokenAttributes(const TContextItem& AItem, TTokenProps* AToken);
  struct TAttrsCacheEntry;
  // TokenAttributes when the cache has no entry: merges and, where it may, fills AEntry.
  const TKivAttributesHolder& MergeTokenAttributes(const TContextItem& AItem, TTokenProps* AToken,
                                                   TAttrsCacheEntry& AEntry);
  void AppendCode(TContextItem& AItem, TTokenProps* AToken, Integer AStart, Integer AEnd);
  void AppendCodeValue(TContextItem& AItem, Integer ACode);
  // A new context item: a spare one when there is one. PopItem drops the working context's
  // last item and keeps it as a spare.
  std::unique_ptr<TContextItem> NewItem();
  void PopItem();
  static constexpr size_t kMaxSpareItems = 16;
  std::vector<std::unique_ptr<TContextItem>> FSpareItems;
  // Syntax blocks and the fold tree (in the folding sources). ProcessSyntaxTail matches the
  // current context's code stream; with AClosing its open blocks are closed at the end, except
  // at the document's end (AAtDocumentEnd) when the stream is empty: those blocks stay open.
  void ProcessSyntaxTail(bool AClosing, bool AAtDocumentEnd = false);
  bool SyntaxAttempt(TContextItem& AItem, Integer ACount, TKivRegExp*& ARegex, bool& ANeedMore);
  bool RunCodes(TKivRegExp& ARegex, Integer APos, Integer ACount, bool& ANeedMore);
  void BindSyntaxVariables(TContextItem& AItem, TSyntaxBlock* ABlock);
  void OpenSyntaxBlock(TContextItem& AItem, TSyntaxBlock* ABlock, TKivRegExp& AMatch);
  void CloseSyntaxBlock(TContextItem& AItem);
  bool CreateBlockNodes(Integer AItem, Integer AIndex, bool AForce, Integer AWaitingAbove);
  void MarkPendingNodes();
  // Parses far enough that the folds starting at or before ALine are known.
  void EnsureFoldsKnown(Integer ALine);
  Integer FoldLookAhead();
  // Hands a line's tokens to AHandler (a copy first: the handler may call the parser).
  void EmitTokens(const TTokenLine& ALine, TKivTokenHandler& AHandler);
  // The guesses of MarkTokensNoWait.
  void ForgetGuesses();
  static constexpr Integer kGuessLines = 128;
  TTokenCache FGuessLines{kGuessLines};
  std::unique_ptr<TParserContext> FGuessWork;  // the guess run's context before FGuessNext
  Integer FGuessNext = -1;
  Integer FFoldLookAhead = -1;  // the largest MinLines of the loaded blocks; -1 until computed
  void KillTreeFrom(Integer ALine);
  Integer TreeLastKnownLine() const;

  TKivEditDocument* FDoc = nullptr;
  Integer FMaxLineLengthToParse = 1000;
  TContextCache FContextCache;
  TParserTree FParseTree;
  TSynRegexSource FSyntaxInput;
  TTokenCache FTokenCache;
  Integer FLastValidLine = -1;
  TKivCharSet FIgnoredChars;
  TTokenLine FDummyTokLine;
  std::vector<Char> FLineBuf;
  std::vector<TTokenLineItem> FMarkItems;  // MarkTokens' spare copy of a line's tokens
  std::vector<TTokenStyle> FMarkStyles;
  TMatchRec FEndMatch;                      // the end tests' match, filled by a match only
  // Merged token attributes by (context serial, token): a context's default attributes never
  // change, and its serial is never given to another context.
  struct TAttrsCacheEntry {
    uint64_t Serial = 0;
    const TTokenProps* Token = nullptr;
    TKivAttributesHolder Attrs;
  };
  static constexpr size_t kAttrsCacheSize = 128;  // a power of two
  std::array<TAttrsCacheEntry, kAttrsCacheSize> FAttrsCache;
  TKivAttributesHolder FMergedAttrs;  // TokenAttributes' answer when it is not cached
  uint64_t FSerial = 0;
  // Per-line state
  std::unique_ptr<TParserContext> FWork;
  TTokenLine* FCurTokens = nullptr;
  bool FSyntaxOn = false;
  bool FCodesAppended = false;
  Integer FPending = 0;
  Integer FCurLine = 0;
  Integer FLineStart = 0;
  Integer FLineEnd = 0;
  uint64_t FChain = 0;  // the syntax hash of the parse (see TParserContext::Chain)
  std::shared_ptr<const TParserContext> FLastSchemes;
  // A pending LineChanged: the line (the saved contexts after it are valid again when the
  // re-parse meets the first of them), and the start state of the line's token line when it was
  // cached.
  bool FSoftPending = false;
  Integer FSoftLine = -1;
  std::shared_ptr<const TParserContext> FSoftStartSchemes;
  uint64_t FSoftStartChain = 0;
  // The changed line's tokens stayed in the cache: they have states saved inside the line.
  bool FSoftInLine = false;
  // The line a request needs: the token cache keeps it over its budget.
  Integer FKeepLine = -1;
  // States inside the line being parsed (see InLinePoint): the next position with anything to
  // do, the line whose states are being saved and where the next is due, the old states to
  // stop at (offsets before the edit, moved by FInLineDelta) with the next one to look at, and
  // the one met.
  static constexpr Integer kNoInLinePoint = 0x7fffffff;
  Integer FInLineNext = kNoInLinePoint;
  TTokenLine* FInLineRecord = nullptr;
  Integer FInLineSaveAt = kNoInLinePoint;
  const std::vector<TInLineSave>* FInLineOld = nullptr;
  size_t FInLineCandidate = 0;
  Integer FInLineDelta = 0;
  size_t FInLineMet = 0;
  bool FInLineDiverged = false;
  std::vector<TInLineSave> FInLineOldSaves;
  // The re-parse of a long line follows the syntax blocks with the fold tree frozen (FInLineFine):
  // an old state is met when the whole state equals it; a change the tree would need instead
  // sets FTreeTouched and stops. FTreeOps counts the tree's changes; FLineTreeOpsBase is the
  // count where the line being parsed began.
  bool FInLineFine = false;
  // With the tree frozen, a change of the tree the old parse of the line made at the same count
  // (FInLineTreeLog) is taken over instead of being made again; any other sets FTreeTouched.
  // FTreeLog: where the changes of a long line being parsed are written.
  const std::vector<TTreeOp>* FInLineTreeLog = nullptr;
  std::vector<TTreeOp>* FTreeLog = nullptr;
  bool ReplayTreeOp(uint8_t AKind, TParserNode* AParent, Integer ALine, TParserNode*& ANode) const;
  bool FTreeFrozen = false;
  bool FTreeTouched = false;
  int64_t FTreeOps = 0;
  int64_t FLineTreeOpsBase = 0;
  // The state after the changed line when it was parsed whole that way (see ReparseChangedLine).
  std::unique_ptr<TParserContext> FInLineAfter;
  uint64_t FInLineAfterChain = 0;
  std::vector<TTokenLineItem> FInLineOldTokens;

 public:
  Integer FTokenCacheSize;
  Integer FContextSaveInterval;
  // A text of more than FMaxSavedContexts * FContextSaveInterval lines gets its contexts saved
  // further apart: about FMaxSavedContexts of them over the whole text.
  Integer FMaxSavedContexts = 32768;
  // A line longer than this gets states saved inside it, this far apart.
  Integer FInLineSaveInterval = 16384;
};

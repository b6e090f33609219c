// The in-memory model of loaded syntax schemes: token types, keyword maps, token rules, syntax
// blocks and the rule chains indexed by first code.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "KivRegExpr.h"
#include "KivSedParser.h"

class TParserImpl;
class TScheme;

// The groups of one rule match. Starts/Ends are positions of the line's character sequence; a
// group that is not used (or not marked) is -1.
struct TMatchRec {
  static constexpr Integer kMaxGroups = 16;
  std::array<Integer, kMaxGroups> Starts;
  std::array<Integer, kMaxGroups> Ends;
  Integer Count = 0;
  Integer InnerStart = -1;
  Integer InnerCount = 0;

  TMatchRec() { Clear(); }
  void Clear() {
    Starts.fill(-1);
    Ends.fill(-1);
    Count = 0;
    InnerStart = -1;
    InnerCount = 0;
  }
};

// Parser state bits handed to the rules.
constexpr Integer psLineStart = 1;

// A hash set of words with an integer ID each. Power-of-two table, doubling when the count
// reaches its size. With AIgnoreCase words equal when their lower-case forms are equal.
class TKeywordMap {
 public:
  struct TKeyword {
    Integer ID = -1;
    TKivString Word;
    TKeyword* Next = nullptr;
    Cardinal HashCode = 0;  // of Word: most other words of its chain differ in it
  };

  explicit TKeywordMap(bool AIgnoreCase);
  bool IgnoreCase() const { return FIgnoreCase; }
  Integer Count() const { return FCount; }
  // Adds a word unless present (a new word has ID -1); returns its entry.
  TKeyword* AddWord(TKivStringView AWord);
  bool Contains(TKivStringView AStr) const {
    return GetKeyword(AStr.data(), static_cast<Integer>(AStr.size())) != nullptr;
  }
  TKeyword* GetKeyword(TKivStringView AStr) const {
    return GetKeyword(AStr.data(), static_cast<Integer>(AStr.size()));
  }
  TKeyword* GetKeyword(const Char* AStr, Integer ACount) const;

 private:
  Cardinal Hash(const Char* AStr, Integer ACount) const;
  bool Same(const TKivString& AWord, const Char* AStr, Integer ACount) const;
  void Rehash(size_t ASize);
  void Link(TKeyword* AWord);

  bool FIgnoreCase;
  Integer FCount = 0;
  Cardinal FIndexMask = 3;
  std::vector<TKeyword*> FMap;
  std::vector<std::unique_ptr<TKeyword>> FWords;
};

// A token type: its name, ID (index in the parser's token list), attributes and int codes.
class TTokenProps {
 public:
  TTokenProps() = default;
  explicit TTokenProps(const IKivXmlElement& ANode);

  TKivString Name;
  Integer ID = -1;
  TKivAttributesHolder Attributes;
  Integer DefaultContentID = -1;
  TKeywordMap ContentMap{false};
  TKeywordMap ContentMapCI{true};
};

class TRuleBase {
 public:
  virtual ~TRuleBase() = default;
  Integer Priority = 0;
  TKivSetOfByte AcceptedAnsiChars;
  bool AcceptUnicodeChars = false;
  TKivSetOfByte EndAcceptedAnsiChars;
  bool EndAcceptUnicodeChars = false;

  bool EndAccepts(Integer ACode) const {
    return ACode <= 255 ? EndAcceptedAnsiChars.Contains(ACode) : EndAcceptUnicodeChars;
  }
};

using TRuleTokens = std::array<TTokenProps*, TMatchRec::kMaxGroups>;

// A token rule. Match and MatchEnd run anchored at AStart over at most ACount characters of
// the parser's character source. A regex error at match time counts as no match.
class TRule : public TRuleBase {
 public:
  virtual bool Match(Integer AStart, Integer ACount, Integer AParserState, TMatchRec& AMatch) = 0;
  virtual bool MatchEnd(Integer AStart, Integer ACount, Integer AParserState, TMatchRec& AMatch) = 0;
  virtual bool NeedVariables() { return false; }
  virtual void BindVariables(TKivRegExprVariableGetter AFiller) { (void)AFiller; }
  virtual Integer MaxVarId() { return -1; }
  virtual bool GetVariable(Integer AId, Integer& AStart, Integer& ACount) {
    (void)AId;
    AStart = -1;
    ACount = 0;
    return false;
  }

  TKivString FXml;
  TScheme* FScheme = nullptr;
  Integer FInnerContentGroup = -1;
  TKivString Name;
  std::array<TRuleTokens, 2> Tokens{};
  std::array<bool, 2> HasTokens{};
  TKivString InnerSchemeName;
  TScheme* InnerScheme = nullptr;
  bool CloseInnerSchemesOnMatchEnd = false;
  TRule* ChainedBlockRule = nullptr;
  TKivString ChainedBlockRuleName;
  bool IsBlockRule = false;
  // Matches only at the start of a line (the parser state psLineStart).
  bool LineBound = false;
  // The context whose variables the end pattern is bound to (its serial).
  uint64_t FBoundSerial = 0;
};

class TRegexRule : public TRule {
 public:
  bool Match(Integer AStart, Integer ACount, Integer AParserState, TMatchRec& AMatch) override;
  bool MatchEnd(Integer AStart, Integer ACount, Integer AParserState, TMatchRec& AMatch) override;
  bool NeedVariables() override;
  void BindVariables(TKivRegExprVariableGetter AFiller) override;
  Integer MaxVarId() override;
  bool GetVariable(Integer AId, Integer& AStart, Integer& ACount) override;

  std::unique_ptr<TKivRegExp> StartRegex;
  std::unique_ptr<TKivRegExp> EndRegex;

 private:
  bool Run(TKivRegExp& ARegex, Integer APart, Integer AStart, Integer ACount, TMatchRec& AMatch);
};

// Words found by its pattern: group 1 when the word is a keyword of the rule's scheme, group 2
// otherwise.
class TKeywordsRule : public TRule {
 public:
  bool Match(Integer AStart, Integer ACount, Integer AParserState, TMatchRec& AMatch) override;
  bool MatchEnd(Integer AStart, Integer ACount, Integer AParserState, TMatchRec& AMatch) override;

  std::unique_ptr<TKivRegExp> Regex;
};

// A foldable block recognised on the token-code stream.
class TSyntaxBlock : public TRuleBase {
 public:
  TParserImpl* FParser = nullptr;
  TKivString FXml;
  Integer MinLines = 2;
  bool Capture = false;
  std::unique_ptr<TKivRegExp> StartRegex;
  std::unique_ptr<TKivRegExp> EndRegex;
  Integer StartGroupUsed = 0;
  Integer EndGroupUsed = 0;
};

struct TRuleRef {
  TRule* Rule = nullptr;
  TSyntaxBlock* SynBlock = nullptr;
  TRuleRef* Next = nullptr;
};

// Rules chained by the codes a match can start with, each chain by descending priority (a new
// rule goes after the rules of equal or higher priority). Codes above 255 share one chain.
// A second set of chains leaves out the rules that match only at a line's start, for the
// positions after it: there such a rule never matches, and a code whose only rules are of that
// kind (the blanks before a preprocessor directive) has no chain at all.
class TRulesHash {
 public:
  void AddRule(TRuleBase* ARuleBase, TRule* ARule, TSyntaxBlock* ASynBlock);
  TRuleRef* GetRuleChain(Integer ACode, bool ALineStart = true) const {
    const TChains& t = ALineStart ? FAll : FAfterLineStart;
    return ACode >= 0 && ACode <= 255 ? t.Ansi[static_cast<size_t>(ACode)] : t.Unicode;
  }
  void Clear();
  Integer Count = 0;

 private:
  struct TChains {
    std::array<TRuleRef*, 256> Ansi{};
    TRuleRef* Unicode = nullptr;
  };
  void AddTo(TRuleRef*& AChain, TRuleBase* ARuleBase, TRule* ARule, TSyntaxBlock* ASynBlock);
  void AddToChains(TChains& AChains, TRuleBase* ARuleBase, TRule* ARule, TSyntaxBlock* ASynBlock);

  TChains FAll;
  TChains FAfterLineStart;
  std::vector<std::unique_ptr<TRuleRef>> FCells;
};

class TScheme {
 public:
  explicit TScheme(TParserImpl* AParser) : FParser(AParser) {}

  TParserImpl* FParser;
  bool FLoading = false;
  bool FLinked = false;
  std::vector<std::unique_ptr<TRule>> FRules;
  std::vector<std::unique_ptr<TSyntaxBlock>> FSyntaxBlocks;
  TKivString FSynTokensToSkip;
  bool AllIgnoreCase = false;
  std::vector<bool> SkipSyntaxTokens;
  TKivString Name;     // qualified: Doc.Name
  TKivString DocName;  // the document part of Name
  std::vector<TScheme*> ParentSchemes;
  std::vector<TKivString> ParentSchemeNames;
  TTokenProps* DefaultToken = nullptr;
  std::unique_ptr<TKeywordMap> Keywords;
  bool KeywordsIgnoreCase = false;
  TRulesHash RulesHash;
  TRulesHash SynBlocksHash;
  Integer SyntaxTailMaxLength = 500;
  TKivString MoreWordSeparators;
  TKivString MoreWordChars;

  bool IsSkipped(Integer ATokenID) const {
    return ATokenID >= 0 && static_cast<size_t>(ATokenID) < SkipSyntaxTokens.size() &&
           SkipSyntaxTokens[static_cast<size_t>(ATokenID)];
  }
};

// The characters of one line (or a prefix of it) for the token rules: positions AStart ..
// AEnd - 1 of the document, read from a buffer whose first element is position AStart.
class TLineRegexSource : public TKivRegexSource {
 public:
  TLineRegexSource() : TKivRegexSource(128, 0) {}
  void Bind(const Char* AData, Integer AStart, Integer AEnd);
  const Char* Data() const { return FData; }

 protected:
  void FillBuffer() override;

 private:
  const Char* FData = nullptr;
};

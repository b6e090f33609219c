// KivRegExpr: the editor's own regular-expression engine.
//
// Patterns are UTF-16 text compiled into a linked program of nodes; the program runs over a
// sequence of integer codes read through a TKivRegexSource (UTF-16 code units of a string or a
// document, or token codes in int-codes mode). The dialect has extended mode (x), variables
// $0..$9 supplied at match time, and int-codes mode where literals are named codes.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "KivErrors.h"
#include "KivTypes.h"

// ---------------------------------------------------------------------------------------------
// Unicode categories in the engine's own order (not ICU's).
enum TKivUnicodeCategory : uint8_t {
  ukLu,
  ukLl,
  ukLt,
  ukLm,
  ukLo,
  ukMn,
  ukMc,
  ukMe,
  ukNd,
  ukNl,
  ukNo,
  ukPc,
  ukPd,
  ukPs,
  ukPe,
  ukPi,
  ukPf,
  ukPo,
  ukSm,
  ukSc,
  ukSk,
  ukSo,
  ukZs,
  ukZl,
  ukZp,
  ukCc,
  ukCf,
  ukCs,
  ukCo,
  ukCn
};
constexpr int KivUnicodeCategoryCount = 30;

// A set of categories: bit (1 << category).
using TKivUnicodeCategories = uint32_t;
constexpr TKivUnicodeCategories KivCat(TKivUnicodeCategory ACat) {
  return TKivUnicodeCategories(1) << ACat;
}
constexpr TKivUnicodeCategories KivAllCategories = (TKivUnicodeCategories(1) << KivUnicodeCategoryCount) - 1;

// The category of a code; codes outside 0..0xFFFF are unassigned (ukCn).
TKivUnicodeCategory KivRegexCategory(Integer ACode);

// 256-bit map of the codes 0..255.
struct TKivSetOfByte {
  std::array<uint64_t, 4> Bits{};

  bool Contains(Integer ACode) const {
    return ACode >= 0 && ACode <= 255 && ((Bits[ACode >> 6] >> (ACode & 63)) & 1) != 0;
  }
  void Include(Integer ACode) {
    if (ACode >= 0 && ACode <= 255) Bits[ACode >> 6] |= uint64_t(1) << (ACode & 63);
  }
  void Exclude(Integer ACode) {
    if (ACode >= 0 && ACode <= 255) Bits[ACode >> 6] &= ~(uint64_t(1) << (ACode & 63));
  }
  void Clear() { Bits = {}; }
  void IncludeAll() { Bits.fill(~uint64_t(0)); }
  void Complement() {
    for (auto& b : Bits) b = ~b;
  }
  void Merge(const TKivSetOfByte& AOther) {
    for (int i = 0; i < 4; ++i) Bits[i] |= AOther.Bits[i];
  }
  bool IsEmpty() const { return (Bits[0] | Bits[1] | Bits[2] | Bits[3]) == 0; }
  bool operator==(const TKivSetOfByte&) const = default;
};

struct TKivCharRange {
  Integer Min;
  Integer Max;
};

class EKivCharSetError : public EKivError {
 public:
  using EKivError::EKivError;
};

// A set of codes: a bitmap for 0..255, sorted disjoint ranges for the other codes, and Unicode
// categories. Codes up to 255 are always answered from the bitmap.
class TKivCharSet {
 public:
  TKivCharSet() = default;
  explicit TKivCharSet(Integer ACh) { IncludeChar(ACh); }
  explicit TKivCharSet(TKivStringView AStr) { IncludeChars(AStr); }
  explicit TKivCharSet(TKivUnicodeCategory ACat) { IncludeCat(ACat); }
  static TKivCharSet FromCategories(TKivUnicodeCategories ACats) {
    TKivCharSet s;
    s.IncludeCats(ACats);
    return s;
  }
  TKivCharSet(Integer AMin, Integer AMax) { IncludeRange(AMin, AMax); }

  void Clear();
  void IncludeChar(Integer ACh);
  void IncludeChars(TKivStringView AStr);
  void IncludeRange(Integer AMin, Integer AMax);
  void IncludeCat(TKivUnicodeCategory ACat);
  void IncludeCats(TKivUnicodeCategories ACats);
  void Invert();

  bool Contains(Integer ACh) const {
    if (ACh >= 0 && ACh <= 255) return AnsiSet.Contains(ACh) != (FInverted && !IsAnsiSet);
    if (IsAnsiSet) return FInverted;
    return ContainsWide(ACh);
  }
  bool ContainsAll(TKivStringView AStr) const;
  void Assign(const TKivCharSet& AOther) { *this = AOther; }

  bool Inverted() const { return FInverted; }
  bool HaveRanges() const { return FHaveRanges; }
  bool HaveCategories() const { return FHaveCategories; }
  TKivUnicodeCategories Categories() const { return FCategories; }
  Integer RangesCount() const { return FRangesCount; }
  const TKivCharRange& Range(Integer AIdx) const { return FRanges[AIdx]; }
  Integer RangesCapacity() const { return static_cast<Integer>(FRanges.size()); }

  TKivSetOfByte AnsiSet;
  bool IsAnsiSet = true;

 private:
  bool ContainsWide(Integer ACh) const;
  void CheckNotInverted() const;
  void AddWideRange(Integer AMin, Integer AMax);

  Integer FRangesCount = 0;
  std::vector<TKivCharRange> FRanges;  // codes outside 0..255 only; sorted, disjoint, not touching
  bool FHaveRanges = false;
  bool FInverted = false;
  TKivUnicodeCategories FCategories = 0;
  bool FHaveCategories = false;
};

// ---------------------------------------------------------------------------------------------
class EKivRegExprError : public EKivError {
 public:
  EKivRegExprError(TKivString AMessage, Integer AErrorCode, Integer APos)
      : EKivError(std::move(AMessage)), ErrorCode(AErrorCode), CompilerErrorPos(APos) {}
  Integer ErrorCode;
  Integer CompilerErrorPos;
};

// Error codes the engine raises (the rest of the table is only known to ErrorMsg).
enum : Integer {
  reeOk = 0,
  reeCompNullArgument = 100,
  reeCompRegexpTooBig = 101,
  reeCompParseRegTooManyBrackets = 102,
  reeCompParseRegUnmatchedBrackets = 103,
  reeCompParseRegUnmatchedBrackets2 = 104,
  reeCompParseRegJunkOnEnd = 105,
  reePlusStarOperandCouldBeEmpty = 106,
  reeNestedSQP = 107,
  reeBadHexDigit = 108,
  reeInvalidRange = 109,
  reeParseAtomTrailingBackSlash = 110,
  reeNoHexCodeAfterBSlashX = 111,
  reeHexCodeAfterBSlashXTooBig = 112,
  reeUnmatchedSqBrackets = 113,
  reeInternalUrp = 114,
  reeQPSBFollowsNothing = 115,
  reeTrailingBackSlash = 116,
  reeRarseAtomInternalDisaster = 119,
  reeBRACESArgTooBig = 122,
  reeBracesMinParamGreaterMax = 124,
  reeUnclosedComment = 125,
  reeUnrecognizedModifier = 127,
  reeBadLinePairedSeparator = 128,
  reeBracesNotBalanced = 129,
  reeNotSupportedInRanges = 130,
  reeBadUnicodeCategory = 132,
  reeBadSubstitutionName = 134,
  reeCodesResolverNotSet = 135,
  reeCantResolveIntCode = 137,
  reeNotForIntCodes = 139,
  reeModifierCIncompatible = 140,
  reeLookaheadCountedLoop = 141,
  reeRegRepeatCalledInappropriately = 1000,
  reeMatchPrimMemoryCorruption = 1001,
  reeMatchPrimCorruptedPointers = 1002,
  reeNoExpression = 1003,
  reeRecursionLimit = 1005,
  reeStepLimit = 1006,
  reeExecNextWithoutExec = 1007,
  reeDumpCorruptedOpcode = 1011,
  reeModifierUnsupported = 1013,
  reeLoopStackExceeded = 1014,
  reeLoopWithoutEntry = 1015,
  reeNotForIntCodesMethod = 1016,
  reeInputNotString = 2001,
  reeNoInput = 2002,
};

// Modifier bits.
enum : Integer {
  KivRegModI = 1,
  KivRegModS = 4,
  KivRegModG = 8,
  KivRegModM = 16,
  KivRegModX = 32,
  KivRegModA = 64,
  KivRegModC = 128,
};

// Optimisations of the search loop. None of them changes a result; tests switch them off to
// prove it.
enum : Integer {
  roFirstCharSet = 1,  // skip start positions whose first code cannot begin a match
  roStartNode = 2,     // scan or search for the node every match starts with (or its literal)
  roMustHave = 4,      // fail early when the literal every match contains does not occur
  roAnchor = 8,        // a pattern that starts with ^ is tried at the start offset only
  roNextLiteral = 16,  // repeats and counted loops skip counts not followed by the next literal's code,
                       // branches the alternatives whose first literal or set rules out the code
  roDirectRun = 32,    // a program of word-boundary tests and one-code sets runs without recursion
  roLeadFilter = 64,   // an anchored attempt first tests the fixed start every match begins with
  roLoopRun = 128,     // a counted loop whose body is one code runs its iterations without recursion
                       // (so a long run of them does not reach the recursion limit)
  roLoopMemo = 256,    // a branch or counted loop that failed from a position, in a state the rest
                       // of the attempt cannot tell apart, fails there at once when reached again
                       // (with the same work units)
  roAll = 511,
};

// Global defaults of new engines.
inline TKivString RegExprSpaceChars = u" \t";
inline TKivString RegExprWordChars = u"";
inline TKivString RegExprLineSeparators = u"\r\n";
inline TKivString RegExprLinePairedSeparator = u"\r\n";
inline TKivString RegExprWordSeparators = u"";
inline const TKivString RegExprMetaChars = u"^$.[()|?+*{\\";
inline const TKivString RegExprQuantifierChars = u"*+?{";
constexpr Integer RegExprInfinity = 2147483646;

// Groups of a program, group 0 (the whole match) included.
constexpr Integer KivRegMaxSubExp = 16;
// Slots of the loop stack: slot 0 stays unused, so at most KivRegLoopStackSize - 1 counted loops
// are active at once.
constexpr Integer KivRegLoopStackSize = 21;
// Window of a string source, in codes.
constexpr Integer KivRegStringWindow = 256;
// Work units one Exec may spend by default (see StepLimit). A linear search spends about one unit
// per code it scans, so a search over hundreds of millions of codes stays far below it, while
// a pattern that backtracks exponentially or quadratically reaches it in well under a second.
constexpr int64_t KivRegDefaultStepLimit = 2'000'000'000;

// ---------------------------------------------------------------------------------------------
// Input of the matcher: a windowed random-access sequence of integer codes. Subclasses fill the
// window from their storage; positions FIdxStart .. FIdxEnd - 1 are valid.
class TKivRegexSource {
 public:
  TKivRegexSource(Integer ABufferSize, Integer ACount);
  virtual ~TKivRegexSource() = default;
  TKivRegexSource(const TKivRegexSource&) = delete;
  TKivRegexSource& operator=(const TKivRegexSource&) = delete;

  Integer GetCode(Integer AIdx) {
    if (AIdx >= FBufferStart && AIdx < FBufferEnd) [[likely]]
      return FBuffer[AIdx - FBufferStart];
    return MoveWindow(AIdx);
  }
  // The window holding AIdx: a pointer to the code at AIdx and how many codes follow it there.
  const Integer* Window(Integer AIdx, Integer& AAvailable) {
    if (!(AIdx >= FBufferStart && AIdx < FBufferEnd)) MoveWindow(AIdx);
    AAvailable = FBufferEnd - AIdx;
    return FBuffer.data() + (AIdx - FBufferStart);
  }
  // Forget the window (after the underlying data changed).
  virtual void ResetBuffer();
  void SetBuffer(TKivIntArray ABuffer);

  Integer IdxStart() const { return FIdxStart; }
  Integer IdxEnd() const { return FIdxEnd; }
  // The codes of every valid position as UTF-16 units in one array (the code of FIdxStart
  // first), when the source keeps them so; nullptr otherwise. The engine reads them directly.
  const char16_t* RawUnits() const { return FRawUnits; }

  Integer Count = 0;      // number of codes
  Integer BaseIndex = 0;  // the first position

 protected:
  // Copy the codes of positions FBufferStart .. FBufferEnd - 1 into FBuffer[0 ..].
  virtual void FillBuffer() = 0;

  TKivIntArray FBuffer;
  Integer FBufferSize;
  Integer FBoundGap = 5;
  Integer FBufferStart = -1;
  Integer FBufferEnd = -1;  // an empty window: no position reads from it before the first fill
  Integer FIdxStart = 0;
  Integer FIdxEnd = 0;
  const char16_t* FRawUnits = nullptr;

 private:
  Integer MoveWindow(Integer AIdx);
};

// The UTF-16 code units of a string, at positions 1 .. length.
class TKivRegexStringSource : public TKivRegexSource {
 public:
  explicit TKivRegexStringSource(TKivString AStr);
  const TKivString& Str() const { return FStr; }

 protected:
  void FillBuffer() override;

 private:
  TKivString FStr;
};

// ---------------------------------------------------------------------------------------------
class TKivRegExp;
class TKivRegexNode;
class TKivBoyerMooreSearch;

using TKivIntCodeResolveFunction = std::function<Integer(const TKivString& AName)>;
using TKivRegExprVariableGetter = std::function<void(Integer AVarId, TKivIntArray& ACodes)>;
using TKivInvertCaseFunction = Integer (*)(Integer ACh);
using TKivRegExprReplaceFunction = std::function<TKivString(TKivRegExp& ARegExpr)>;

class TKivRegExp {
 public:
  TKivRegExp();
  virtual ~TKivRegExp();
  TKivRegExp(const TKivRegExp&) = delete;
  TKivRegExp& operator=(const TKivRegExp&) = delete;

  // Raises EKivRegExprError for AErrorID (the scan position unless APos is given). An override
  // that returns leaves the engine raising the plain error itself.
  virtual void RaiseError(Integer AErrorID, Integer APos = -1);
  virtual TKivString ErrorMsg(Integer AErrorID);

  static Integer InvertCaseFunction(Integer ACh);

  // Pattern and settings.
  const TKivString& Expression() const { return FExpr; }
  void SetExpression(const TKivString& AValue);
  TKivString ModifierStr() const;
  void SetModifierStr(const TKivString& AValue);
  Integer Modifiers() const { return FModifiers; }
  bool ModifierI() const { return FModifiers & KivRegModI; }
  bool ModifierS() const { return FModifiers & KivRegModS; }
  bool ModifierG() const { return FModifiers & KivRegModG; }
  bool ModifierM() const { return FModifiers & KivRegModM; }
  bool ModifierX() const { return FModifiers & KivRegModX; }
  bool ModifierA() const { return FModifiers & KivRegModA; }
  bool ModifierC() const { return FModifiers & KivRegModC; }
  void SetModifierI(bool AValue) { SetModifier(KivRegModI, AValue); }
  void SetModifierS(bool AValue) { SetModifier(KivRegModS, AValue); }
  void SetModifierG(bool AValue) { SetModifier(KivRegModG, AValue); }
  void SetModifierM(bool AValue) { SetModifier(KivRegModM, AValue); }
  void SetModifierX(bool AValue) { SetModifier(KivRegModX, AValue); }
  void SetModifierA(bool AValue) { SetModifier(KivRegModA, AValue); }
  void SetModifierC(bool AValue) { SetModifier(KivRegModC, AValue); }

  const TKivIntCodeResolveFunction& CodesResolver() const { return FCodesResolver; }
  void SetCodesResolver(TKivIntCodeResolveFunction AValue) { FCodesResolver = std::move(AValue); }
  const TKivRegExprVariableGetter& VariablesGetter() const { return FVarGetter; }
  void SetVariablesGetter(TKivRegExprVariableGetter AValue) { FVarGetter = std::move(AValue); }

  const TKivString& SpaceChars() const { return FSpaceChars; }
  void SetSpaceChars(const TKivString& AValue);
  const TKivString& WordChars() const { return FWordChars; }
  void SetWordChars(const TKivString& AValue);
  const TKivString& WordSeparators() const { return FWordSeparators; }
  void SetWordSeparators(const TKivString& AValue);
  const TKivString& LineSeparators() const { return FLineSeparators; }
  void SetLineSeparators(const TKivString& AValue);
  const TKivString& LinePairedSeparator() const { return FLinePairedSeparator; }
  void SetLinePairedSeparator(const TKivString& AValue);
  TKivInvertCaseFunction InvertCaseFn() const { return FInvertCase; }
  void SetInvertCaseFn(TKivInvertCaseFunction AValue);
  Integer CompilerErrorPos() const { return FParse; }

  // Optimisations in force (ro... bits, all by default).
  Integer Optimizations() const { return FOptimizations; }
  void SetOptimizations(Integer AValue) { FOptimizations = AValue & roAll; }
  // The work budget of every Exec: the matcher and the search loop count one unit per code they
  // scan, compare or count and a few units per step of the backtracking matcher; an Exec that
  // would spend more raises 1006. A negative value switches the budget off.
  int64_t StepLimit() const { return FStepLimit; }
  void SetStepLimit(int64_t AValue) { FStepLimit = AValue; }
  // The work units the last Exec (or ExecNext) spent.
  int64_t StepsUsed() const { return FSteps; }
  // The work units a search spends before it starts to remember the failures of branches and
  // loops (roLoopMemo): cheap searches do not pay for the bookkeeping. 0 remembers from the start.
  int64_t LoopMemoThreshold() const { return FLoopMemoThreshold; }
  void SetLoopMemoThreshold(int64_t AValue) { FLoopMemoThreshold = AValue; }

  // Compilation and inspection.
  void Compile();
  Integer CompiledSubExpCount() {  // inline: the tokenizer asks after every match
    if (!FExprIsCompiled || FProgModifiers != FModifiers) CheckCompiled();
    return FSubexpCount;
  }
  static Integer SubExpMaxCount() { return KivRegMaxSubExp; }
  Integer LastError();
  bool HasVariables();
  Integer MaxVariableId() { return CompiledSubExpCount() - 1; }
  void InvalidateVariables();
  bool GetVarByID(Integer AId, Integer& AStart, Integer& ACount) const;
  TKivSetOfByte GetFirstCharSetAnsi(bool& AHasUnicode);
  TKivString Dump();

  // Input.
  TKivString InputText() const;
  void SetInputText(const TKivString& AValue);
  TKivRegexSource* InputSource() const { return FInput; }
  void SetInputSource(TKivRegexSource* AValue);

  // Matching.
  bool Exec();
  bool Exec(Integer AOffset);
  bool Exec(Integer AOffset, Integer ACount);
  bool Exec(Integer AOffset, Integer ACount, bool& ANeedMoreSource);
  bool ExecPos(Integer AOffset) { return Exec(AOffset); }
  // Exec(AOffset, ACount) (with ANeedMoreSource: its need-more form) for a caller that runs one
  // program again and again on one input: the same result, captures, need-more and errors. An
  // anchored program (modifier A) that is compiled with its variables in place, run inside the
  // input, goes straight to its one attempt, without the set-up and checks of every other case.
  bool ExecAt(Integer AOffset, Integer ACount) { return ExecAtPrim(AOffset, ACount, nullptr); }
  // For a compiled program that is one code of a set and nothing else (no groups, boundaries or
  // repeats; its variables in place): sets AInSet to whether ACode is in the set and returns
  // true. A match of such a program is that one code. Returns false for every other program and
  // for one that is not compiled as it stands (then Exec would compile it first).
  bool OneCodeSetHas(Integer ACode, bool& AInSet) const;
  bool ExecAt(Integer AOffset, Integer ACount, bool& ANeedMoreSource) {
    return ExecAtPrim(AOffset, ACount, &ANeedMoreSource);
  }
  bool ExecNext();
  // Inline: the tokenizer reads the groups after every match.
  Integer GetMatchPos(Integer AIdx) const { return GroupSet(AIdx) ? FStartp[AIdx] : -1; }
  Integer GetMatchLen(Integer AIdx) const { return GroupSet(AIdx) ? FEndp[AIdx] - FStartp[AIdx] : -1; }
  TKivString GetMatch(Integer AIdx);
  Integer MatchCount() const;

  TKivString Substitute(const TKivString& ATemplate);
  void Split(std::vector<TKivString>& APieces);
  TKivString Replace(const TKivString& AReplaceStr, bool AUseSubstitution);
  TKivString ReplaceEx(const TKivRegExprReplaceFunction& AReplaceFunc);

  void InvalidateProgram();

 private:
  friend class TRegexCompiler;
  friend class TRegexMatcher;

  [[noreturn]] void Error(Integer AErrorID, Integer APos = -1);
  // Counts work against the budget of the running Exec.
  void Spend(int64_t AUnits) {
    if ((FSteps += AUnits) > FStepBudget) [[unlikely]]
      StepLimitExceeded();
  }
  [[noreturn]] void StepLimitExceeded();
  void SetModifier(Integer AMask, bool AValue);
  void CheckCompiled();
  void BuildClassSets();
  void FreeProgram();
  void FillVariables();
  void ComputeOptimisation();
  void ClearCaptures();
  bool ExecPrim(Integer AOffset, Integer AEnd, bool AWantNeedMore);
  bool ExecAtPrim(Integer AOffset, Integer ACount, bool* ANeedMore);
  // The last steps of every search from AOffset (the input bounds set): a fresh budget, then
  // ASearch; the captures are cleared when it throws.
  template <class TSearch>
  bool RunSearch(TSearch ASearch);
  // The one attempt of an anchored search at AOffset (before FInputEnd or at it), after the
  // first-code test and the lead's.
  bool AnchoredAttempt(Integer AOffset, Integer AOptimizations, bool AWantNeedMore);
  bool SearchFrom(Integer AOffset, bool AWantNeedMore);
  // The lead of the program (FLead), built with the optimisation data.
  void ComputeLead();
  // Whether the lead rules out a match from APos (the input bounds set); the codes read for a
  // rejection count as work.
  bool LeadRejects(Integer APos, bool AEndRejects);
  // The program is compiled for the modifiers in force, with its variables and optimisation data
  // in place: a search can start at once.
  bool ProgramReady() const { return FExprIsCompiled && FProgModifiers == FModifiers && FVarsOptsOk; }
  bool TryAt(Integer APos);
  Integer FindStart(Integer APos);
  Integer SearchLiteral(Integer APos);
  Integer RunEnd(Integer APos);
  void PrepareLiteral(const TKivRegexNode* ANode, bool AIgnoreCase);
  template <class TPred>
  Integer ScanFor(Integer APos, Integer AEnd, TPred APred);
  bool GroupSet(Integer AIdx) const {
    return AIdx >= 0 && AIdx < static_cast<Integer>(FStartp.size()) && FStartp[AIdx] >= 0 &&
           FEndp[AIdx] >= FStartp[AIdx];
  }
  TKivRegexStringSource& StringInput();
  void CheckNotIntCodes();

  TKivString FExpr;
  Integer FModifiers;
  Integer FCompModifiers = 0;
  Integer FProgModifiers = 0;
  Integer FParse = 1;
  Integer FParseEnd = 1;
  Integer FSubexpCount = 1;
  bool FExprIsCompiled = false;
  Integer FLastError = 0;

  TKivString FSpaceChars;
  TKivString FWordChars;
  TKivString FWordSeparators;
  TKivString FLineSeparators;
  TKivString FLinePairedSeparator;
  TKivInvertCaseFunction FInvertCase = nullptr;
  TKivIntCodeResolveFunction FCodesResolver;
  TKivRegExprVariableGetter FVarGetter;

  TKivCharSet FIgnoredChars;
  TKivCharSet FWordCharsSet;
  TKivCharSet FWordSepsSet;
  TKivCharSet FLineSeparatorsSet;
  TKivCharSet FDigitsSet;
  TKivCharSet FHexDigCharSet;
  TKivCharSet FSpaceSet;
  bool FLinePairedSeparatorAssigned = false;
  Integer FLinePairedSeparatorHead = 0;
  Integer FLinePairedSeparatorTail = 0;

  // The program: every node, owned; the physical list runs from FProgrammFirst by NextNode.
  std::vector<std::unique_ptr<TKivRegexNode>> FNodes;
  TKivRegexNode* FProgrammFirst = nullptr;
  TKivRegexNode* FProgrammLast = nullptr;
  std::vector<TKivRegexNode*> FVariablesList;

  // Optimisation data.
  TKivRegexNode* FRegStart = nullptr;
  bool FRegAnch = false;
  bool FSpStart = false;  // the pattern may start with a repeat
  TKivRegexNode* FRegmustExact = nullptr;
  TKivSetOfByte FFirstCharSet;
  bool FFirstCharSetHasUnicode = true;
  bool FVarsOptsOk = false;
  std::unique_ptr<TKivBoyerMooreSearch> FBMSearch;
  // The literal FBMSearch holds, as units with their other-case forms (the same units when case
  // matters), for a direct search over a string's units; FLitRaw when every code is a unit.
  std::u16string FLitUnits;
  std::u16string FLitAlt;
  bool FLitRaw = false;
  // The node the start scan looks for: FRegStart, or a literal that only zero-width word
  // boundaries precede.
  TKivRegexNode* FScanStart = nullptr;
  bool FLiteralOnly = false;  // the program is one literal that FBMSearch finds exactly
  // The program is a one-code set (FRegStart), a greedy unbounded repeat of a one-code set and
  // the end, without groups: a match is the start code and the whole run after it.
  bool FSetRunOnly = false;
  // The program is word-boundary tests, at most one one-code set, at most one greedy repeat of a
  // one-code set, word-boundary tests and the end, without groups: an attempt runs it directly.
  bool FDirectRun = false;
  // The program is one one-code set and the end, without groups (a symbol rule).
  const TKivRegexNode* FOneCodeSet = nullptr;
  bool FHasLoops = true;      // the program has counted loops (a loop stack to save)
  bool FHasLookahead = true;  // the program has lookahead (a pending position to apply)
  // The program has neither back-references nor lookahead: whether the rest of an attempt
  // from a branch (outside counted loops) or an outermost loop matches depends on the position
  // alone.
  bool FMemoOk = false;
  // Branches and outermost loops that failed from a position during the current search, with
  // what the failure cost: direct-mapped by node and position, valid while Gen is the search's.
  struct TLoopMemo {
    uint32_t Gen = 0;
    Integer Node = -1;
    Integer Pos = -1;
    Integer Depth = 0;  // levels of recursion the failure went down
    int64_t Units = 0;
    bool NeedMore = false;
  };
  static constexpr size_t kLoopMemoSize = 256;  // a power of two
  std::vector<TLoopMemo> FLoopMemo;
  uint32_t FLoopMemoGen = 0;
  int64_t FLoopMemoThreshold = int64_t(1) << 20;
  Integer FDepthHigh = 0;  // the deepest level of recursion reached (while a failure is recorded)
  // The program starts with an unbounded simple repeat of FScanStart and has no groups: an
  // attempt that failed from a position fails from every later position of the same run.
  bool FRunStart = false;
  // The lead: the tests every match passes first, in order, each at a position it alone
  // determines (boundary tests, one-code sets, the codes of literals, greedy repeats that must
  // stop at the first code outside their set). Empty when there is nothing worth testing.
  struct TLeadStep {
    Integer Kind;                         // lk... in RegexLead.cpp
    Integer Code = -1, Other = -1;        // a literal's code in either case
    const TKivRegexNode* Node = nullptr;  // a one-code set or a repeat
  };
  std::vector<TLeadStep> FLead;
  Integer FOptimizations = roAll;
  int64_t FStepLimit = KivRegDefaultStepLimit;

  // Match state.
  TKivRegexSource* FInput = nullptr;
  bool FOwnsInput = false;
  TKivIntArray FStartp;
  TKivIntArray FEndp;
  std::array<Integer, KivRegLoopStackSize> FLoopStack{};
  std::array<Integer, KivRegLoopStackSize> FLoopIterStart{};  // where each active loop's last iteration began
  Integer FLoopStackIdx = 0;
  Integer FReginput = 0;
  Integer FSavedReginput = -1;
  Integer FInputStart = 0;
  Integer FInputEnd = 0;
  bool FNeedMore = false;
  Integer FMatchPrimDepth = 0;
  int64_t FSteps = 0;
  int64_t FStepBudget = 0;  // the limit in force during an Exec
  bool FHaveMatch = false;
};

// Convenience functions; each uses a temporary engine.
bool RegExprExec(const TKivString& APattern, const TKivString& AText);
void RegExprSplit(const TKivString& APattern, const TKivString& AText, std::vector<TKivString>& APieces);
TKivString RegExprReplace(const TKivString& APattern, const TKivString& AText, const TKivString& AReplaceStr,
                          bool AUseSubstitution);
TKivString RegExprQuoteMetaChars(const TKivString& AText);

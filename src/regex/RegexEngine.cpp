// TKivRegExp: construction, settings, errors, program lifetime and Dump; the global helpers.
#include "KivUnicode.h"
#include "internal/RegexNode.h"

namespace {

struct TErrorText {
  Integer Code;
  const char16_t* Text;
};

constexpr TErrorText kErrorTexts[] = {
    {0, u"No errors"},
    {100, u"TKivRegExpr(comp): Null Argument"},
    {101, u"TKivRegExpr(comp): Regexp Too Big"},
    {102, u"TKivRegExpr(comp): ParseReg Too Many ()"},
    {103, u"TKivRegExpr(comp): ParseReg Unmatched ()"},
    {104, u"TKivRegExpr(comp): ParseReg Unmatched () (case 2)"},
    {105, u"TKivRegExpr(comp): ParseReg Junk On End"},
    {106, u"TKivRegExpr(comp): *+ Operand Could Be Empty"},
    {107, u"TKivRegExpr(comp): Nested *?+"},
    {108, u"TKivRegExpr(comp): Bad Hex Digit"},
    {109, u"TKivRegExpr(comp): Invalid [] Range"},
    {110, u"TKivRegExpr(comp): Parse Atom Trailing \\"},
    {111, u"TKivRegExpr(comp): No Hex Code After \\x or \\u or \\U"},
    {112, u"TKivRegExpr(comp): Hex Code After \\x or \\u or \\U Is Too Big"},
    {113, u"TKivRegExpr(comp): Unmatched []"},
    {114, u"TKivRegExpr(comp): Internal Urp"},
    {115, u"TKivRegExpr(comp): ?+*{ Follows Nothing"},
    {116, u"TKivRegExpr(comp): Trailing \\"},
    {119, u"TKivRegExpr(comp): RarseAtom Internal Disaster"},
    {122, u"TKivRegExpr(comp): BRACES Argument Too Big"},
    {124, u"TKivRegExpr(comp): BRACE Min Param Greater then Max"},
    {125, u"TKivRegExpr(comp): Unclosed (?#Comment)"},
    {127, u"TKivRegExpr(comp): Urecognized Modifier"},
    {128, u"TKivRegExpr(comp): LinePairedSeparator must countain two different chars or no chars at all"},
    {129, u"TKivRegExpr(comp): BRACEs are not balansed"},
    {130, u"TKivRegExpr(comp): \\S, \\D, \\W are not supported in ranges operator ([...]) yet. Sorry."},
    {131,
     u"TKivRegExpr(comp): Unicode categories and properties (\\p{Lu} etc) are not supported in ansi. Use "
     u"KIV_UNICODE compilation flag"},
    {132, u"TKivRegExpr(comp): Bad format for Unicode category"},
    {133,
     u"TKivRegExpr(comp): Unicode char codes (\\uA0FF) are not supported in ansi. Use KIV_UNICODE "
     u"compilation "
     u"flag"},
    {134,
     u"TKivRegExpr.Substitute: Bad format for substitution subexpression name. Should be: $1, ${1}, $&, "
     u"${&}."},
    {135, u"TKivRegExpr: CodesResolver must be set in Codes-mode. (when ModifierC=true)"},
    {136,
     u"TKivRegExpr: Malformed int-code. Expected { code_name with spaces } or code_name (without spaces)"},
    {137, u"TKivRegExpr: Can't resolve this int code name to int code"},
    {138, u"TKivRegExpr: This construct requires int-codes mode (ModifierC=true)"},
    {139, u"TKivRegExpr: This construct does not work for int-codes mode (ModifierC=true)"},
    {140,
     u"TKivRegExpr: Int-codes mode is incompatible with current mode set. ModifierC compatible only with "
     u"ModifierX, ModifierA, ModifierG."},
    {141,
     u"TKivRegExpr(comp): this construct ( \"+?\", \"*?\", \"{min, max}\" ) is not supported for lookahead "
     u"group. Use (?= (subgroup){min,max} ) instead of (?= group ){min,max}."},
    {1000, u"TKivRegExpr(exec): RegRepeat Called Inappropriately"},
    {1001, u"TKivRegExpr(exec): MatchPrim Memory Corruption"},
    {1002, u"TKivRegExpr(exec): MatchPrim Corrupted Pointers"},
    {1003, u"TKivRegExpr(exec): Not Assigned Expression Property"},
    {1004, u"TKivRegExpr(exec): Corrupted Program"},
    {1005, u"TKivRegExpr(exec): Recursion Limit Exceeded"},
    {1006, u"TKivRegExpr(exec): Step Limit Exceeded"},
    {1007, u"TKivRegExpr(exec): ExecNext Without Exec[Pos]"},
    {1008, u"TKivRegExpr(exec): GetInputString Without InputString"},
    {1011, u"TKivRegExpr(dump): Corrupted Opcode"},
    {1013, u"This modifier is unsupported"},
    {1014, u"TKivRegExpr(exec): Loop Stack Exceeded"},
    {1015, u"TKivRegExpr(exec): Loop Without LoopEntry !"},
    {1016, u"TKivRegExpr: This method does not work in int-codes mode (ModifierC=true)"},
    {2000, u"TKivRegExpr(misc): Bad p-code imported"},
    {2001, u"TKivRegExpr: Input source is not string. Can't get InputText."},
    {2002, u"TKivRegExpr: InputText or InputSource hes not been set."},
};

struct TOpName {
  TKivREOp Op;
  const char16_t* Name;
};

constexpr TOpName kOpNames[] = {
    {opEND, u"END"},
    {opBOL, u"BOL"},
    {opEOL, u"EOL"},
    {opANY, u"ANY"},
    {opANYOF, u"ANYOF"},
    {opANYBUT, u"ANYBUT"},
    {opBRANCH, u"BRANCH"},
    {opBACK, u"BACK"},
    {opEXACTLY, u"EXACTLY"},
    {opNOTHING, u"NOTHING"},
    {opSTAR, u"STAR"},
    {opPLUS, u"PLUS"},
    {opANYDIGIT, u"ANYDIGIT"},
    {opNOTDIGIT, u"NOTDIGIT"},
    {opBRACES, u"BRACES"},
    {opCOMMENT, u"COMMENT"},
    {opEXACTLYCI, u"EXACTLY/CI"},
    {opANYOFCI, u"ANYOF/CI"},
    {opANYBUTCI, u"ANYBUT/CI"},
    {opLOOPENTRY, u"LOOPENTRY"},
    {opLOOP, u"LOOP"},
    {opANYOFTINYSET, u"ANYOFTINYSET"},
    {opANYBUTTINYSET, u"ANYBUTTINYSET"},
    {opANYOFFULLSET, u"ANYOFFULLSET"},
    {opBSUBEXP, u"BSUBEXP"},
    {opBSUBEXPCI, u"BSUBEXP/CI"},
    {opSTARNG, u"STARNG"},
    {opPLUSNG, u"PLUSNG"},
    {opBRACESNG, u"BRACESNG"},
    {opLOOPNG, u"LOOPNG"},
    {opBOLML, u"BOLML"},
    {opEOLML, u"EOLML"},
    {opANYML, u"ANYML"},
    {opBOUND, u"BOUND"},
    {opNOTBOUND, u"NOTBOUND"},
    {opLOOKAHEAD, u"LOOKAHEAD"},
};

// Bad-character table of the Boyer-Moore searcher, hashed by the low bits of a code.
constexpr Integer kBMSkipTableSize = 256;

void AppendCode(TKivString& AOut, Integer ACode) {
  AOut.push_back(static_cast<char16_t>(ACode));
}

}  // namespace

TKivString KivRegexOpName(TKivREOp AOp) {
  if (IsOpen(AOp)) return KivFormat(u"OPEN[%d]", {AOp - opOPEN});
  if (IsClose(AOp)) return KivFormat(u"CLOSE[%d]", {AOp - opCLOSE});
  for (const auto& n : kOpNames)
    if (n.Op == AOp) return n.Name;
  return TKivString();
}

void TKivRegexNode::SetExact(TKivIntArray ACodes, TKivInvertCaseFunction AInvert) {
  ExactStr = std::move(ACodes);
  ExactStrInvC.resize(ExactStr.size());
  for (size_t i = 0; i < ExactStr.size(); ++i) ExactStrInvC[i] = AInvert(ExactStr[i]);
  ExactChar = ExactStr.empty() ? -1 : ExactStr[0];
  ExactCharInvC = ExactStrInvC.empty() ? -1 : ExactStrInvC[0];
}

// ---------------------------------------------------------------------------------------------

TKivRegExp::TKivRegExp()
    : FModifiers(KivRegModS | KivRegModG),
      FSpaceChars(RegExprSpaceChars),
      FWordChars(RegExprWordChars),
      FWordSeparators(RegExprWordSeparators),
      FLineSeparators(RegExprLineSeparators),
      FLinePairedSeparator(u"\r\n"),
      FInvertCase(&TKivRegExp::InvertCaseFunction),
      FBMSearch(std::make_unique<TKivBoyerMooreSearch>(kBMSkipTableSize, kBMSkipTableSize - 1,
                                                       &TKivRegExp::InvertCaseFunction)) {
  FStartp.assign(1, -1);
  FEndp.assign(1, -1);
  BuildClassSets();
}

TKivRegExp::~TKivRegExp() {
  FreeProgram();
  if (FOwnsInput) delete FInput;
}

Integer TKivRegExp::InvertCaseFunction(Integer ACh) {
  if (ACh < 0 || ACh > 0xFFFF) return ACh;
  char16_t c = static_cast<char16_t>(ACh);
  char16_t up = KivUpCase(c);
  if (up != c) return up;
  return KivLowCase(c);
}

TKivString TKivRegExp::ErrorMsg(Integer AErrorID) {
  for (const auto& e : kErrorTexts)
    if (e.Code == AErrorID) return e.Text;
  return u"TKivRegExpr: Unknown error";
}

void TKivRegExp::RaiseError(Integer AErrorID, Integer APos) {
  FLastError = AErrorID;
  Integer pos = APos < 0 ? FParse : APos;
  TKivString msg =
      AErrorID < 1000 ? KivFormat(u"%s (pos: %d)", {ErrorMsg(AErrorID), pos}) : ErrorMsg(AErrorID);
  throw EKivRegExprError(std::move(msg), AErrorID, pos);
}

void TKivRegExp::Error(Integer AErrorID, Integer APos) {
  RaiseError(AErrorID, APos);
  // An override returned: the operation still cannot go on.
  Integer pos = APos < 0 ? FParse : APos;
  TKivString msg =
      AErrorID < 1000 ? KivFormat(u"%s (pos: %d)", {ErrorMsg(AErrorID), pos}) : ErrorMsg(AErrorID);
  throw EKivRegExprError(std::move(msg), AErrorID, pos);
}

void TKivRegExp::StepLimitExceeded() {
  Error(reeStepLimit);
}

Integer TKivRegExp::LastError() {
  Integer r = FLastError;
  FLastError = 0;
  return r;
}

// ----- settings -------------------------------------------------------------------------------

void TKivRegExp::SetExpression(const TKivString& AValue) {
  if (AValue == FExpr && FExprIsCompiled) return;
  FExpr = AValue;
  InvalidateProgram();
  if (!FExpr.empty()) Compile();
}

TKivString TKivRegExp::ModifierStr() const {
  TKivString r = u"-";
  const std::pair<Integer, char16_t> letters[] = {
      {KivRegModI, u'i'}, {KivRegModS, u's'}, {KivRegModG, u'g'}, {KivRegModM, u'm'}, {KivRegModX, u'x'}};
  for (const auto& [mask, ch] : letters) {
    if (FModifiers & mask)
      r.insert(r.begin(), ch);
    else
      r.push_back(ch);
  }
  if (!r.empty() && r.back() == u'-') r.pop_back();
  return r;
}

namespace {

Integer ModifierMask(char16_t ACh) {
  switch (ACh) {
    case u'i':
    case u'I':
      return KivRegModI;
    case u's':
    case u'S':
      return KivRegModS;
    case u'g':
    case u'G':
      return KivRegModG;
    case u'm':
    case u'M':
      return KivRegModM;
    case u'x':
    case u'X':
      return KivRegModX;
    default:
      return 0;
  }
}

}  // namespace

void TKivRegExp::SetModifierStr(const TKivString& AValue) {
  Integer mods = FModifiers;
  bool set = true;
  for (char16_t ch : AValue) {
    if (ch == u'-') {
      set = false;
      continue;
    }
    Integer mask = ModifierMask(ch);
    if (mask == 0) Error(reeModifierUnsupported);
    mods = set ? (mods | mask) : (mods & ~mask);
  }
  if ((FModifiers & KivRegModC) && ((mods ^ FModifiers) & ~KivRegModX)) Error(reeModifierCIncompatible);
  InvalidateProgram();
  FModifiers = mods;
  InvalidateProgram();
}

void TKivRegExp::SetModifier(Integer AMask, bool AValue) {
  if ((FModifiers & KivRegModC) && AMask != KivRegModX && AMask != KivRegModC)
    Error(reeModifierCIncompatible);
  if (AMask == KivRegModC && AValue && (FModifiers & (KivRegModI | KivRegModS | KivRegModM)))
    Error(reeModifierCIncompatible);
  Integer mods = AValue ? (FModifiers | AMask) : (FModifiers & ~AMask);
  if (mods == FModifiers) return;
  FModifiers = mods;
  InvalidateProgram();
}

void TKivRegExp::SetSpaceChars(const TKivString& AValue) {
  if (AValue == FSpaceChars) return;
  FSpaceChars = AValue;
  InvalidateProgram();
}

void TKivRegExp::SetWordChars(const TKivString& AValue) {
  if (AValue == FWordChars) return;
  FWordChars = AValue;
  InvalidateProgram();
}

void TKivRegExp::SetWordSeparators(const TKivString& AValue) {
  if (AValue == FWordSeparators) return;
  FWordSeparators = AValue;
  InvalidateProgram();
}

void TKivRegExp::SetLineSeparators(const TKivString& AValue) {
  if (AValue == FLineSeparators) return;
  FLineSeparators = AValue;
  InvalidateProgram();
}

void TKivRegExp::SetLinePairedSeparator(const TKivString& AValue) {
  if (AValue == FLinePairedSeparator) return;
  if (!AValue.empty() && (AValue.size() != 2 || AValue[0] == AValue[1])) Error(reeBadLinePairedSeparator);
  FLinePairedSeparator = AValue;
  InvalidateProgram();
}

void TKivRegExp::SetInvertCaseFn(TKivInvertCaseFunction AValue) {
  if (!AValue) AValue = &TKivRegExp::InvertCaseFunction;
  if (AValue == FInvertCase) return;
  FInvertCase = AValue;
  FBMSearch->SetInvertCase(AValue);
  InvalidateProgram();
}

// ----- program lifetime -----------------------------------------------------------------------

void TKivRegExp::BuildClassSets() {
  FWordCharsSet.Clear();
  FWordCharsSet.IncludeCats(KivCat(ukLl) | KivCat(ukLt) | KivCat(ukLu) | KivCat(ukNd) | KivCat(ukNl) |
                            KivCat(ukNo) | KivCat(ukPc));
  FWordCharsSet.IncludeChars(FWordChars);
  FWordSepsSet.Clear();
  FDigitsSet.Clear();
  FDigitsSet.IncludeCats(KivCat(ukNd) | KivCat(ukNl));
  FLineSeparatorsSet.Clear();
  FLineSeparatorsSet.IncludeCats(KivCat(ukZl) | KivCat(ukZp));
  FLineSeparatorsSet.IncludeChars(FLineSeparators);
  FIgnoredChars.Clear();
  FIgnoredChars.IncludeCats(KivCat(ukZl) | KivCat(ukZs) | KivCat(ukZp));
  FIgnoredChars.IncludeChars(FSpaceChars);
  FIgnoredChars.IncludeChars(FLineSeparators);
  FHexDigCharSet.Clear();
  FHexDigCharSet.IncludeRange(u'0', u'9');
  FHexDigCharSet.IncludeRange(u'a', u'f');
  FHexDigCharSet.IncludeRange(u'A', u'F');
  FSpaceSet.Clear();
  FSpaceSet.IncludeCat(ukZs);
  FSpaceSet.IncludeChars(FSpaceChars);
  FLinePairedSeparatorAssigned = FLinePairedSeparator.size() == 2;
  FLinePairedSeparatorHead = FLinePairedSeparatorAssigned ? FLinePairedSeparator[0] : 0;
  FLinePairedSeparatorTail = FLinePairedSeparatorAssigned ? FLinePairedSeparator[1] : 0;
}

void TKivRegExp::FreeProgram() {
  FNodes.clear();
  FProgrammFirst = FProgrammLast = nullptr;
  FVariablesList.clear();
  FRegStart = nullptr;
  FRegmustExact = nullptr;
  FRegAnch = false;
  FLead.clear();
  FOneCodeSet = nullptr;
  FExprIsCompiled = false;
  FVarsOptsOk = false;
}

void TKivRegExp::InvalidateProgram() {
  FreeProgram();
  ClearCaptures();
  FHaveMatch = false;
  BuildClassSets();
  FFirstCharSet.Clear();
  FFirstCharSetHasUnicode = true;
  FSubexpCount = 1;
}

void TKivRegExp::ClearCaptures() {
  // Most programs have one to four groups: too few for two calls to memset (which a loop
  // would become), and this runs before every search.
  const size_t n = FStartp.size();
  Integer* s = FStartp.data();
  Integer* e = FEndp.data();
  switch (n) {
    case 4:
      s[3] = e[3] = -1;
      [[fallthrough]];
    case 3:
      s[2] = e[2] = -1;
      [[fallthrough]];
    case 2:
      s[1] = e[1] = -1;
      [[fallthrough]];
    case 1:
      s[0] = e[0] = -1;
      [[fallthrough]];
    case 0:
      break;
    default:
      std::fill(FStartp.begin(), FStartp.end(), -1);
      std::fill(FEndp.begin(), FEndp.end(), -1);
  }
}

void TKivRegExp::CheckCompiled() {
  if (FExprIsCompiled && FProgModifiers != FModifiers) InvalidateProgram();
  if (!FExprIsCompiled) Compile();
}

bool TKivRegExp::HasVariables() {
  CheckCompiled();
  return !FVariablesList.empty();
}

void TKivRegExp::InvalidateVariables() {
  if (!FVariablesList.empty()) FVarsOptsOk = false;
}

bool TKivRegExp::GetVarByID(Integer AId, Integer& AStart, Integer& ACount) const {
  if (AId >= FSubexpCount || !GroupSet(AId)) return false;
  AStart = FStartp[AId];
  ACount = FEndp[AId] - FStartp[AId];
  return true;
}

TKivSetOfByte TKivRegExp::GetFirstCharSetAnsi(bool& AHasUnicode) {
  CheckCompiled();
  if (!FVarsOptsOk) {
    FillVariables();
    ComputeOptimisation();
  }
  AHasUnicode = FFirstCharSetHasUnicode;
  return FFirstCharSet;
}

// ----- Dump -----------------------------------------------------------------------------------

TKivString TKivRegExp::Dump() {
  CheckCompiled();
  if (!FVarsOptsOk) {
    FillVariables();
    ComputeOptimisation();
  }
  auto details = [](const TKivRegexNode* n) {
    TKivString r;
    switch (n->Op) {
      case opEXACTLY:
      case opEXACTLYCI:
        for (Integer c : n->ExactStr) AppendCode(r, c);
        break;
      case opBRACES:
      case opBRACESNG:
        r += KivFormat(u"{%d,%d}", {n->MinBrace, n->MaxBrace});
        break;
      case opLOOP:
      case opLOOPNG:
        r += KivFormat(u" -> (%d) {%d,%d}", {n->LoopTo ? n->LoopTo->Index : 0, n->MinBrace, n->MaxBrace});
        break;
      case opANYOFTINYSET:
      case opANYBUTTINYSET:
        for (Integer c : n->TinySet)
          if (c >= 0) AppendCode(r, c);
        break;
      case opANYOFFULLSET:
        for (Integer c = 0; c < 256; ++c)
          if (n->SetHash.Contains(c)) {
            if (c >= 32)
              AppendCode(r, c);
            else
              r += KivFormat(u"#%d", {c});
          }
        break;
      case opBSUBEXP:
      case opBSUBEXPCI:
        r += KivFormat(u" \\%d", {n->BackRef});
        break;
      default:
        break;
    }
    return r;
  };
  TKivString r;
  for (TKivRegexNode* n = FProgrammFirst; n; n = n->NextNode) {
    TKivString name = KivRegexOpName(n->Op);
    if (name.empty()) Error(reeDumpCorruptedOpcode);
    TKivString idx = KivFormat(u"%d", {n->Index});
    if (idx.size() < 2) r.push_back(u' ');
    r += idx;
    r += u":" + name;
    r += n->NextOp ? KivFormat(u" (%d) ", {n->NextOp->Index}) : TKivString(u" (0) ");
    r += details(n);
    r += u"\r\n";
    if (n->Op == opEND) break;
  }
  if (FRegStart) r += u"\r\nstart:" + KivRegexOpName(FRegStart->Op) + u"\r\n" + details(FRegStart);
  if (FRegAnch) r += u"anchored ";
  if (FRegmustExact) {
    r += u"\r\nmust have ";
    for (Integer c : FRegmustExact->ExactStr) AppendCode(r, c);
  }
  r += u"\r\n";
  return r;
}

// ----- global helpers -------------------------------------------------------------------------

bool RegExprExec(const TKivString& APattern, const TKivString& AText) {
  TKivRegExp r;
  r.SetExpression(APattern);
  r.SetInputText(AText);
  return r.Exec();
}

void RegExprSplit(const TKivString& APattern, const TKivString& AText, std::vector<TKivString>& APieces) {
  APieces.clear();
  TKivRegExp r;
  r.SetExpression(APattern);
  r.SetInputText(AText);
  r.Split(APieces);
}

TKivString RegExprReplace(const TKivString& APattern, const TKivString& AText, const TKivString& AReplaceStr,
                          bool AUseSubstitution) {
  TKivRegExp r;
  r.SetExpression(APattern);
  r.SetInputText(AText);
  return r.Replace(AReplaceStr, AUseSubstitution);
}

TKivString RegExprQuoteMetaChars(const TKivString& AText) {
  TKivString r;
  r.reserve(AText.size() * 2);
  for (char16_t c : AText) {
    if (RegExprMetaChars.find(c) != TKivString::npos || c == u']' || c == u'}') r.push_back(u'\\');
    r.push_back(c);
  }
  return r;
}

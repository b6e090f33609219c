// The regex compiler: pattern text to a linked program of nodes.
#include <algorithm>

#include "internal/RegexNode.h"

// Parser of one pattern into the engine's program. Recursive descent: group, branch, piece, atom.
class TRegexCompiler {
 public:
  explicit TRegexCompiler(TKivRegExp& AEngine) : E(AEngine) {}
  void Run();

 private:
  // Piece and atom flags.
  enum : int { HASWIDTH = 1, SIMPLE = 2, SPSTART = 4, NOCODE = 8 };
  // Groups nested deeper than this would exhaust the stack of the parser.
  static constexpr int kMaxNesting = 500;
  static constexpr Integer kNonCapturing = 256;

  struct TMember {
    bool Single;
    Integer Code;
  };

  Integer Ch(Integer APos) const { return APos < E.FParseEnd ? E.FExpr[APos - 1] : 0; }
  Integer Cur() const { return Ch(E.FParse); }
  bool AtEnd() const { return E.FParse >= E.FParseEnd; }
  bool Mod(Integer AMask) const { return (E.FCompModifiers & AMask) != 0; }
  bool Ignored(Integer ACh) const { return E.FIgnoredChars.Contains(ACh); }
  void SkipIgnored() {
    if (Mod(KivRegModX | KivRegModC))
      while (!AtEnd() && Ignored(Cur())) ++E.FParse;
  }
  void Advance() {
    ++E.FParse;
    SkipIgnored();
  }
  static bool IsQuant(Integer ACh) { return ACh == u'*' || ACh == u'+' || ACh == u'?' || ACh == u'{'; }
  static bool IsMeta(Integer ACh) {
    return ACh < 0x10000 && RegExprMetaChars.find(char16_t(ACh)) != TKivString::npos;
  }
  bool IsHex(Integer ACh) const { return E.FHexDigCharSet.Contains(ACh); }
  static Integer HexValue(Integer ACh) {
    if (ACh >= u'0' && ACh <= u'9') return ACh - u'0';
    if (ACh >= u'a' && ACh <= u'f') return ACh - u'a' + 10;
    return ACh - u'A' + 10;
  }
  static bool IsDigit(Integer ACh) { return ACh >= u'0' && ACh <= u'9'; }

  [[noreturn]] void Error(Integer ACode) { E.Error(ACode); }

  TKivRegexNode* Emit(TKivREOp AOp);
  TKivRegexNode* InsertBefore(TKivREOp AOp, TKivRegexNode* AOperand);
  static void Tail(TKivRegexNode* AP, TKivRegexNode* AVal);
  static void OpTail(TKivRegexNode* AP, TKivRegexNode* AVal);

  TKivRegexNode* ParseReg(int AParen, int& AFlags);
  TKivRegexNode* ParseBranch(int& AFlags);
  TKivRegexNode* ParsePiece(int& AFlags);
  TKivRegexNode* ParseAtom(int& AFlags);
  TKivRegexNode* ParseGroupAtom(int& AFlags);
  TKivRegexNode* ParseEscape(int& AFlags);
  TKivRegexNode* ParseSet(int& AFlags);
  TKivRegexNode* ParseLiteral(int& AFlags);
  TKivRegexNode* ParseCodeLiteral(int& AFlags);
  TKivRegexNode* EmitExact(TKivIntArray ACodes);
  TKivRegexNode* EmitSetNode(const TKivCharSet& ASet);
  void ParseBraces(Integer& AMin, Integer& AMax);
  void SkipComment();
  Integer ParseHexEscape();
  TKivUnicodeCategories ParseCategory();
  TKivString ReadCodeName();
  Integer ResolveCode(const TKivString& AName);
  TMember ReadSetMember(TKivCharSet& ASet, bool AFirst);

  TKivRegExp& E;
  int FDepth = 0;
};

// ----- node list ------------------------------------------------------------------------------

TKivRegexNode* TRegexCompiler::Emit(TKivREOp AOp) {
  E.FNodes.push_back(std::make_unique<TKivRegexNode>());
  TKivRegexNode* n = E.FNodes.back().get();
  n->Op = AOp;
  n->PrevNode = E.FProgrammLast;
  if (E.FProgrammLast)
    E.FProgrammLast->NextNode = n;
  else
    E.FProgrammFirst = n;
  E.FProgrammLast = n;
  return n;
}

TKivRegexNode* TRegexCompiler::InsertBefore(TKivREOp AOp, TKivRegexNode* AOperand) {
  E.FNodes.push_back(std::make_unique<TKivRegexNode>());
  TKivRegexNode* n = E.FNodes.back().get();
  n->Op = AOp;
  n->PrevNode = AOperand->PrevNode;
  n->NextNode = AOperand;
  if (AOperand->PrevNode)
    AOperand->PrevNode->NextNode = n;
  else
    E.FProgrammFirst = n;
  AOperand->PrevNode = n;
  return n;
}

void TRegexCompiler::Tail(TKivRegexNode* AP, TKivRegexNode* AVal) {
  TKivRegexNode* scan = AP;
  while (scan->NextOp) scan = scan->NextOp;
  scan->NextOp = AVal;
}

void TRegexCompiler::OpTail(TKivRegexNode* AP, TKivRegexNode* AVal) {
  if (AP && AP->Op == opBRANCH) Tail(AP->NextNode, AVal);
}

// ----- driver ---------------------------------------------------------------------------------

void TRegexCompiler::Run() {
  if (E.FExpr.empty()) Error(reeCompNullArgument);
  E.FProgModifiers = E.FModifiers;
  E.FCompModifiers = E.FModifiers;
  E.FSubexpCount = 1;
  E.FParse = 1;
  E.FParseEnd = static_cast<Integer>(E.FExpr.size()) + 1;
  SkipIgnored();
  int flags;
  ParseReg(0, flags);
  E.FSpStart = (flags & SPSTART) != 0;
  Integer idx = 0;
  for (TKivRegexNode* n = E.FProgrammFirst; n; n = n->NextNode) n->Index = idx++;
}

void TKivRegExp::Compile() {
  if (FExpr.empty()) Error(reeNoExpression);
  InvalidateProgram();
  try {
    TRegexCompiler compiler(*this);
    compiler.Run();
  } catch (...) {
    FreeProgram();
    FSubexpCount = 1;
    throw;
  }
  FStartp.assign(FSubexpCount, -1);
  FEndp.assign(FSubexpCount, -1);
  FExprIsCompiled = true;
  FVarsOptsOk = false;
  if (FVariablesList.empty()) {
    ComputeOptimisation();
  }
}

// ----- groups, branches, pieces ---------------------------------------------------------------

// AParen: 0 the whole pattern, 1 a capturing group, 2 a non-capturing group.
TKivRegexNode* TRegexCompiler::ParseReg(int AParen, int& AFlags) {
  if (++FDepth > kMaxNesting) Error(reeCompRegexpTooBig);
  Integer savedMods = E.FCompModifiers;
  TKivRegexNode* ret = nullptr;
  Integer parno = 0;
  AFlags = HASWIDTH;
  if (AParen != 0) {
    if (E.FSubexpCount >= KivRegMaxSubExp) Error(reeCompParseRegTooManyBrackets);
    if (AParen == 1) parno = E.FSubexpCount++;
    ret = Emit(opOPEN + parno);
  }
  int fl;
  TKivRegexNode* br = ParseBranch(fl);
  if (ret)
    Tail(ret, br);
  else
    ret = br;
  if (!(fl & HASWIDTH)) AFlags &= ~HASWIDTH;
  AFlags |= fl & SPSTART;
  while (!AtEnd() && Cur() == u'|') {
    Advance();
    br = ParseBranch(fl);
    Tail(ret, br);
    if (!(fl & HASWIDTH)) AFlags &= ~HASWIDTH;
    AFlags |= fl & SPSTART;
  }
  TKivRegexNode* ender = Emit(AParen == 0 ? opEND : opCLOSE + parno);
  Tail(ret, ender);
  for (TKivRegexNode* b = ret; b; b = b->NextOp) OpTail(b, ender);
  E.FCompModifiers = savedMods;
  if (AParen != 0) {
    if (AtEnd() || Cur() != u')') Error(reeCompParseRegUnmatchedBrackets);
    Advance();
  } else if (!AtEnd()) {
    Error(Cur() == u')' ? reeCompParseRegUnmatchedBrackets2 : reeCompParseRegJunkOnEnd);
  }
  --FDepth;
  return ret;
}

TKivRegexNode* TRegexCompiler::ParseBranch(int& AFlags) {
  TKivRegexNode* ret = Emit(opBRANCH);
  TKivRegexNode* chain = nullptr;
  AFlags = 0;
  while (!AtEnd() && Cur() != u'|' && Cur() != u')') {
    int fl;
    TKivRegexNode* latest = ParsePiece(fl);
    if (!latest) continue;
    AFlags |= fl & HASWIDTH;
    if (!chain)
      AFlags |= fl & SPSTART;
    else
      Tail(chain, latest);
    chain = latest;
  }
  if (!chain) Emit(opNOTHING);
  return ret;
}

TKivRegexNode* TRegexCompiler::ParsePiece(int& AFlags) {
  int fl;
  TKivRegexNode* ret = ParseAtom(fl);
  Integer op = AtEnd() ? 0 : Cur();
  if (!IsQuant(op)) {
    AFlags = fl;
    return ret;
  }
  if (fl & NOCODE) {
    // A comment or an inline modifier: nothing to repeat; "?" of nothing is nothing.
    if (op != u'?') Error(reePlusStarOperandCouldBeEmpty);
    Advance();
    if (!AtEnd() && Cur() == u'?') Advance();
    if (!AtEnd() && IsQuant(Cur())) Error(reeNestedSQP);
    AFlags = 0;
    return nullptr;
  }
  if (!(fl & HASWIDTH) && op != u'?') Error(reePlusStarOperandCouldBeEmpty);
  Integer bmin = 0, bmax = RegExprInfinity;
  switch (op) {
    case u'*':
      AFlags = SPSTART;
      break;
    case u'+':
      bmin = 1;
      AFlags = HASWIDTH | SPSTART;
      break;
    case u'?':
      bmax = 1;
      AFlags = SPSTART;
      break;
    default:  // '{'
      ParseBraces(bmin, bmax);
      AFlags = (bmax > 0 ? HASWIDTH : 0) | SPSTART;
      break;
  }
  Advance();
  bool lazy = false;
  if (!AtEnd() && Cur() == u'?') {
    lazy = true;
    Advance();
  }
  if (!Mod(KivRegModG)) lazy = true;

  auto counted = [&](Integer AMin, Integer AMax) {
    if (ret->Op == opLOOKAHEAD) Error(reeLookaheadCountedLoop);
    TKivRegexNode* entry = InsertBefore(opLOOPENTRY, ret);
    TKivRegexNode* loop = Emit(lazy ? opLOOPNG : opLOOP);
    loop->MinBrace = AMin;
    loop->MaxBrace = AMax;
    loop->LoopTo = ret;
    Tail(entry, loop);
    Tail(ret, loop);
    return entry;
  };
  auto optional = [&]() {
    TKivRegexNode* b1 = InsertBefore(opBRANCH, ret);
    Tail(b1, Emit(opBRANCH));
    TKivRegexNode* nothing = Emit(opNOTHING);
    Tail(b1, nothing);
    OpTail(b1, nothing);
    return b1;
  };
  auto simple = [&](TKivREOp AOp, Integer AMin, Integer AMax) {
    TKivRegexNode* n = InsertBefore(AOp, ret);
    if (AOp == opBRACES || AOp == opBRACESNG) {
      n->MinBrace = AMin;
      n->MaxBrace = AMax;
    }
    return n;
  };

  TKivRegexNode* piece;
  if (fl & SIMPLE) {
    switch (op) {
      case u'*':
        piece = simple(lazy ? opSTARNG : opSTAR, 0, 0);
        break;
      case u'+':
        piece = simple(lazy ? opPLUSNG : opPLUS, 0, 0);
        break;
      case u'?':
        piece = lazy ? simple(opBRACESNG, 0, 1) : optional();
        break;
      default:
        piece = simple(lazy ? opBRACESNG : opBRACES, bmin, bmax);
        break;
    }
  } else {
    switch (op) {
      case u'*':
        if (lazy) {
          piece = counted(0, RegExprInfinity);
        } else {
          piece = InsertBefore(opBRANCH, ret);
          OpTail(piece, Emit(opBACK));
          OpTail(piece, piece);
          Tail(piece, Emit(opBRANCH));
          Tail(piece, Emit(opNOTHING));
        }
        break;
      case u'+':
        if (lazy) {
          piece = counted(1, RegExprInfinity);
        } else {
          TKivRegexNode* b1 = Emit(opBRANCH);
          Tail(ret, b1);
          Tail(Emit(opBACK), ret);
          Tail(b1, Emit(opBRANCH));
          Tail(ret, Emit(opNOTHING));
          piece = ret;
        }
        break;
      case u'?':
        piece = lazy ? counted(0, 1) : optional();
        break;
      default:
        piece = counted(bmin, bmax);
        break;
    }
  }
  if (!AtEnd() && IsQuant(Cur())) Error(reeNestedSQP);
  return piece;
}

void TRegexCompiler::ParseBraces(Integer& AMin, Integer& AMax) {
  ++E.FParse;  // past '{'; no blanks are allowed inside braces
  auto number = [&](Integer& AValue) {
    int digits = 0;
    int64_t v = 0;
    while (!AtEnd() && IsDigit(Cur())) {
      if (++digits > 8) Error(reeBRACESArgTooBig);
      v = v * 10 + (Cur() - u'0');
      ++E.FParse;
    }
    if (v >= 2147483647) Error(reeBRACESArgTooBig);
    AValue = static_cast<Integer>(v);
    return digits;
  };
  if (number(AMin) == 0) Error(reeBracesNotBalanced);
  if (!AtEnd() && Cur() == u'}') {
    AMax = AMin;
  } else if (!AtEnd() && Cur() == u',') {
    ++E.FParse;
    Integer m;
    int digits = number(m);
    if (AtEnd() || Cur() != u'}') Error(reeBracesNotBalanced);
    AMax = digits ? m : RegExprInfinity;
  } else {
    Error(reeBracesNotBalanced);
  }
  if (AMax < AMin) Error(reeBracesMinParamGreaterMax);
  // The position stays at '}'.
}

// ----- atoms ----------------------------------------------------------------------------------

TKivRegexNode* TRegexCompiler::ParseAtom(int& AFlags) {
  AFlags = 0;
  Integer c = Cur();
  bool lineMode =
      Mod(KivRegModM) && !Mod(KivRegModC) && (!E.FLineSeparators.empty() || E.FLinePairedSeparatorAssigned);
  switch (c) {
    case u'^':
      ++E.FParse;
      return Emit(lineMode ? opBOLML : opBOL);
    case u'$':
      if (Mod(KivRegModX) && IsDigit(Ch(E.FParse + 1))) {
        Integer id = Ch(E.FParse + 1) - u'0';
        E.FParse += 2;
        TKivRegexNode* n = Emit(Mod(KivRegModI) ? opEXACTLYCI : opEXACTLY);
        n->ExactVarId = id;
        E.FVariablesList.push_back(n);
        AFlags = HASWIDTH | SIMPLE;
        return n;
      }
      ++E.FParse;
      return Emit(lineMode ? opEOLML : opEOL);
    case u'.':
      ++E.FParse;
      AFlags = HASWIDTH | SIMPLE;
      return Emit(Mod(KivRegModS) || Mod(KivRegModC) ? opANY : opANYML);
    case u'[':
      ++E.FParse;
      return ParseSet(AFlags);
    case u'(':
      ++E.FParse;
      return ParseGroupAtom(AFlags);
    case u'\\':
      ++E.FParse;
      if (AtEnd()) Error(reeTrailingBackSlash);
      return ParseEscape(AFlags);
    case u'*':
    case u'+':
    case u'?':
      ++E.FParse;
      Error(reeQPSBFollowsNothing);
    case u')':
    case u'|':
    case 0:
      ++E.FParse;
      Error(reeInternalUrp);
    default:
      return Mod(KivRegModC) ? ParseCodeLiteral(AFlags) : ParseLiteral(AFlags);
  }
}

TKivRegexNode* TRegexCompiler::ParseGroupAtom(int& AFlags) {
  bool nonCapturing = Mod(kNonCapturing);
  if (!AtEnd() && Cur() == u'?') {
    Integer kind = Ch(E.FParse + 1);
    if (kind == u':' || kind == u'=') {
      E.FParse += 2;
      SkipIgnored();
      E.FCompModifiers |= kNonCapturing;
      int fl;
      TKivRegexNode* ret = ParseReg(2, fl);
      if (kind == u'=') ret = InsertBefore(opLOOKAHEAD, ret);
      AFlags = fl & (HASWIDTH | SPSTART);
      return ret;
    }
    if (!nonCapturing) {
      if (kind == u'#') {
        E.FParse += 2;
        while (!AtEnd() && Cur() != u')') ++E.FParse;
        if (AtEnd()) Error(reeUnclosedComment);
        Advance();
        AFlags = NOCODE;
        return nullptr;
      }
      ++E.FParse;  // past '?'
      Integer start = E.FParse;
      while (!AtEnd() && Cur() != u')') ++E.FParse;
      if (AtEnd()) Error(reeUnrecognizedModifier);
      Integer mods = E.FCompModifiers;
      bool set = true;
      for (Integer p = start; p < E.FParse; ++p) {
        Integer ch = Ch(p);
        if (ch == u'-') {
          set = false;
          continue;
        }
        Integer mask = 0;
        switch (ch) {
          case u'i':
          case u'I':
            mask = KivRegModI;
            break;
          case u's':
          case u'S':
            mask = KivRegModS;
            break;
          case u'g':
          case u'G':
            mask = KivRegModG;
            break;
          case u'm':
          case u'M':
            mask = KivRegModM;
            break;
          case u'x':
          case u'X':
            mask = KivRegModX;
            break;
          default:
            Error(reeUnrecognizedModifier);
        }
        if (Mod(KivRegModC) && mask != KivRegModX) Error(reeNotForIntCodes);
        mods = set ? (mods | mask) : (mods & ~mask);
      }
      E.FCompModifiers = mods;
      Advance();
      AFlags = NOCODE;
      return nullptr;
    }
  }
  SkipIgnored();
  int fl;
  TKivRegexNode* ret = ParseReg(nonCapturing ? 2 : 1, fl);
  AFlags = fl & (HASWIDTH | SPSTART);
  return ret;
}

// At the letter x, u or U; returns the code and leaves the position after the escape.
Integer TRegexCompiler::ParseHexEscape() {
  Integer letter = Cur();
  ++E.FParse;
  Integer v = 0;
  if (letter == u'x' && !AtEnd() && Cur() == u'{') {
    ++E.FParse;
    int digits = 0;
    while (!AtEnd() && IsHex(Cur())) {
      if (++digits > 4) Error(reeHexCodeAfterBSlashXTooBig);
      v = v * 16 + HexValue(Cur());
      ++E.FParse;
    }
    if (digits == 0 || AtEnd() || Cur() != u'}') Error(reeNoHexCodeAfterBSlashX);
    ++E.FParse;
    return v;
  }
  if (letter == u'x') {
    for (int i = 0; i < 2; ++i) {
      if (AtEnd()) Error(reeNoHexCodeAfterBSlashX);
      if (!IsHex(Cur())) Error(reeBadHexDigit);
      v = v * 16 + HexValue(Cur());
      ++E.FParse;
    }
    return v;
  }
  if (!AtEnd() && Cur() == u'{') ++E.FParse;
  int digits = 0;
  while (!AtEnd() && IsHex(Cur())) {
    if (++digits > 4) Error(reeHexCodeAfterBSlashXTooBig);
    v = v * 16 + HexValue(Cur());
    ++E.FParse;
  }
  if (digits == 0) Error(reeNoHexCodeAfterBSlashX);
  return v;
}

// At '{' after \p or \P; leaves the position after '}'.
TKivUnicodeCategories TRegexCompiler::ParseCategory() {
  static const char16_t* const CNames[KivUnicodeCategoryCount] = {
      u"Lu", u"Ll", u"Lt", u"Lm", u"Lo", u"Mn", u"Mc", u"Me", u"Nd", u"Nl",
      u"No", u"Pc", u"Pd", u"Ps", u"Pe", u"Pi", u"Pf", u"Po", u"Sm", u"Sc",
      u"Sk", u"So", u"Zs", u"Zl", u"Zp", u"Cc", u"Cf", u"Cs", u"Co", u"Cn"};
  ++E.FParse;
  if (Mod(KivRegModX))
    while (!AtEnd() && Ignored(Cur())) ++E.FParse;
  Integer start = E.FParse;
  while (!AtEnd() && Cur() != u'}' && !Ignored(Cur())) ++E.FParse;
  TKivString name = E.FExpr.substr(start - 1, E.FParse - start);
  if (Mod(KivRegModX))
    while (!AtEnd() && Ignored(Cur())) ++E.FParse;
  if (AtEnd() || Cur() != u'}') Error(reeBadUnicodeCategory);
  TKivUnicodeCategories cats = 0;
  if (name.size() == 1) {
    for (int i = 0; i < KivUnicodeCategoryCount; ++i)
      if (CNames[i][0] == name[0]) cats |= KivCat(static_cast<TKivUnicodeCategory>(i));
  } else if (name.size() == 2) {
    for (int i = 0; i < KivUnicodeCategoryCount; ++i)
      if (name == CNames[i]) cats = KivCat(static_cast<TKivUnicodeCategory>(i));
  }
  if (cats == 0) Error(reeBadUnicodeCategory);
  ++E.FParse;
  return cats;
}

TKivRegexNode* TRegexCompiler::EmitExact(TKivIntArray ACodes) {
  TKivRegexNode* n = Emit(Mod(KivRegModI) ? opEXACTLYCI : opEXACTLY);
  n->SetExact(std::move(ACodes), E.FInvertCase);
  return n;
}

TKivRegexNode* TRegexCompiler::EmitSetNode(const TKivCharSet& ASet) {
  TKivRegexNode* n = Emit(opANYOFFULLSET);
  n->SetHash = ASet;
  return n;
}

// After the backslash.
TKivRegexNode* TRegexCompiler::ParseEscape(int& AFlags) {
  Integer c = Cur();
  if (Mod(KivRegModC) && c != u'A' && c != u'Z' && !IsDigit(c)) Error(reeNotForIntCodes);
  TKivRegexNode* n = nullptr;
  AFlags = HASWIDTH | SIMPLE;
  switch (c) {
    case u'A':
      AFlags = 0;
      n = Emit(opBOL);
      break;
    case u'Z':
      AFlags = 0;
      n = Emit(opEOL);
      break;
    case u'b':
      AFlags = 0;
      n = Emit(opBOUND);
      break;
    case u'B':
      AFlags = 0;
      n = Emit(opNOTBOUND);
      break;
    case u'd':
      n = Emit(opANYDIGIT);
      break;
    case u'D':
      n = Emit(opNOTDIGIT);
      break;
    case u's':
    case u'S': {
      TKivCharSet s = E.FSpaceSet;
      if (c == u'S') s.Invert();
      n = EmitSetNode(s);
      break;
    }
    case u'w':
    case u'W': {
      TKivCharSet s = E.FWordCharsSet;
      if (c == u'W') s.Invert();
      n = EmitSetNode(s);
      break;
    }
    case u'p':
    case u'P':
      if (Ch(E.FParse + 1) == u'{') {
        ++E.FParse;
        TKivUnicodeCategories cats = ParseCategory();
        if (c == u'P') cats = ~cats & KivAllCategories;
        n = EmitSetNode(TKivCharSet::FromCategories(cats));
        SkipIgnored();
        return n;
      }
      n = EmitExact({c});
      break;
    case u'x':
    case u'u':
    case u'U': {
      Integer code = ParseHexEscape();
      n = EmitExact({code});
      SkipIgnored();
      return n;
    }
    default:
      if (IsDigit(c)) {
        int64_t v = 0;
        while (!AtEnd() && IsDigit(Cur())) {
          v = std::min<int64_t>(v * 10 + (Cur() - u'0'), 1000000000);
          ++E.FParse;
        }
        n = Emit(Mod(KivRegModI) ? opBSUBEXPCI : opBSUBEXP);
        n->BackRef = static_cast<Integer>(v);
        SkipIgnored();
        return n;
      }
      n = EmitExact({RegexSimpleEscape(c)});
      break;
  }
  Advance();
  return n;
}

TKivRegexNode* TRegexCompiler::ParseLiteral(int& AFlags) {
  Integer c = Cur();
  if (Mod(KivRegModX) && (c == u'#' || Ignored(c))) {
    SkipComment();
    AFlags = NOCODE;
    return nullptr;
  }
  Integer start = E.FParse;
  Integer p = start + (c == u'{' ? 1 : 0);
  while (p < E.FParseEnd && !IsMeta(Ch(p))) ++p;
  Integer len = p - start;
  if (len > 1 && p < E.FParseEnd && IsQuant(Ch(p))) --len;
  TKivIntArray codes;
  Integer i = 0;
  for (; i < len; ++i) {
    Integer ch = Ch(start + i);
    if (Mod(KivRegModX)) {
      if (ch == u'#') break;
      if (Ignored(ch)) continue;
    }
    codes.push_back(ch);
  }
  E.FParse = start + i;
  AFlags = HASWIDTH | (codes.size() == 1 ? SIMPLE : 0);
  return EmitExact(std::move(codes));
}

void TRegexCompiler::SkipComment() {
  if (Cur() == u'#') {
    while (!AtEnd() && !E.FLineSeparatorsSet.Contains(Cur())) ++E.FParse;
    while (!AtEnd() && E.FLineSeparatorsSet.Contains(Cur())) ++E.FParse;
  } else {
    while (!AtEnd() && Ignored(Cur())) ++E.FParse;
  }
}

// ----- int-codes mode -------------------------------------------------------------------------

TKivString TRegexCompiler::ReadCodeName() {
  TKivString name;
  if (Cur() == u'{') {
    ++E.FParse;
    while (!AtEnd() && Ignored(Cur())) ++E.FParse;
    Integer start = E.FParse;
    while (!AtEnd() && Cur() != u'}') ++E.FParse;
    if (AtEnd()) Error(reeBadUnicodeCategory);
    name = E.FExpr.substr(start - 1, E.FParse - start);
    ++E.FParse;
  } else {
    while (!AtEnd() && !Ignored(Cur())) {
      if (Cur() == u'\\') {
        ++E.FParse;
        if (AtEnd()) Error(reeBadUnicodeCategory);
      }
      name.push_back(static_cast<char16_t>(Cur()));
      ++E.FParse;
    }
  }
  if (name.empty()) Error(reeBadUnicodeCategory);
  return name;
}

Integer TRegexCompiler::ResolveCode(const TKivString& AName) {
  if (!E.FCodesResolver) Error(reeCodesResolverNotSet);
  Integer code = E.FCodesResolver(AName);
  if (code == -1) Error(reeCantResolveIntCode);
  return code;
}

TKivRegexNode* TRegexCompiler::ParseCodeLiteral(int& AFlags) {
  Integer c = Cur();
  if ((Mod(KivRegModX) && c == u'#') || Ignored(c)) {
    SkipComment();
    AFlags = NOCODE;
    return nullptr;
  }
  Integer code = ResolveCode(ReadCodeName());
  // A name ends at a blank, so the blanks after it are skipped: "kw:if *" repeats the name.
  SkipIgnored();
  AFlags = HASWIDTH | SIMPLE;
  TKivRegexNode* n = Emit(opEXACTLY);
  n->SetExact({code}, E.FInvertCase);
  return n;
}

// ----- sets -----------------------------------------------------------------------------------

TRegexCompiler::TMember TRegexCompiler::ReadSetMember(TKivCharSet& ASet, bool AFirst) {
  if (Mod(KivRegModC)) {
    if (AFirst && Cur() == u']') Error(reeNotForIntCodes);
    if (Cur() == u'\\') {
      Integer e = Ch(E.FParse + 1);
      if (e == u'd' || e == u'D' || e == u's' || e == u'S' || e == u'w' || e == u'W' || e == u'p' ||
          e == u'P')
        Error(reeNotForIntCodes);
    }
    return {true, ResolveCode(ReadCodeName())};
  }
  if (Cur() != u'\\') {
    Integer c = Cur();
    ++E.FParse;
    return {true, c};
  }
  ++E.FParse;
  if (AtEnd()) Error(reeParseAtomTrailingBackSlash);
  Integer e = Cur();
  switch (e) {
    case u'd':
      ++E.FParse;
      ASet.IncludeCats(KivCat(ukNd) | KivCat(ukNl));
      return {false, 0};
    case u's':
      ++E.FParse;
      ASet.IncludeCat(ukZs);
      ASet.IncludeChars(E.FSpaceChars);
      return {false, 0};
    case u'w':
      ++E.FParse;
      ASet.IncludeCats(KivCat(ukLl) | KivCat(ukLt) | KivCat(ukLu) | KivCat(ukNd) | KivCat(ukNl) |
                       KivCat(ukNo) | KivCat(ukPc));
      ASet.IncludeChars(E.FWordChars);
      return {false, 0};
    case u'D':
    case u'S':
    case u'W':
      Error(reeNotSupportedInRanges);
    case u'p':
    case u'P':
      if (Ch(E.FParse + 1) == u'{') {
        ++E.FParse;
        TKivUnicodeCategories cats = ParseCategory();
        if (e == u'P') cats = ~cats & KivAllCategories;
        ASet.IncludeCats(cats);
        return {false, 0};
      }
      ++E.FParse;
      return {true, e};
    case u'x':
    case u'u':
    case u'U':
      return {true, ParseHexEscape()};
    default:
      ++E.FParse;
      return {true, RegexSimpleEscape(e)};
  }
}

// After '['.
TKivRegexNode* TRegexCompiler::ParseSet(int& AFlags) {
  TKivCharSet set;
  bool negated = false;
  if (!AtEnd() && Cur() == u'^') {
    negated = true;
    ++E.FParse;
  }
  // Only a ']' right after "[" or "[^" is a member; "[ ]" in extended mode is an empty set.
  bool first = !AtEnd() && Cur() == u']';
  SkipIgnored();
  const bool caseless = Mod(KivRegModI) && !Mod(KivRegModC);
  TKivIntArray singles;
  bool other = false;
  auto addSingle = [&](Integer ACode) {
    auto add = [&](Integer AC) {
      set.IncludeChar(AC);
      if (std::find(singles.begin(), singles.end(), AC) == singles.end()) singles.push_back(AC);
    };
    add(ACode);
    if (caseless) add(E.FInvertCase(ACode));
  };
  auto isClassEscape = [&](Integer APos) {
    if (Ch(APos) != u'\\') return false;
    Integer e = Ch(APos + 1);
    return e == u'd' || e == u'D' || e == u's' || e == u'S' || e == u'w' || e == u'W' || e == u'p' ||
           e == u'P';
  };
  for (;;) {
    if (AtEnd()) Error(reeUnmatchedSqBrackets);
    if (Cur() == u']' && !first) break;
    TMember m = ReadSetMember(set, first);
    first = false;
    SkipIgnored();
    if (m.Single && !AtEnd() && Cur() == u'-') {
      Advance();
      if (AtEnd()) Error(reeUnmatchedSqBrackets);
      if (Cur() == u']') {
        addSingle(m.Code);
        addSingle(Mod(KivRegModC) ? ResolveCode(u"-") : u'-');
        continue;
      }
      if (isClassEscape(E.FParse)) {
        if (Mod(KivRegModC)) Error(reeNotForIntCodes);
        addSingle(m.Code);
        addSingle(u'-');
        continue;
      }
      TMember last = ReadSetMember(set, false);
      SkipIgnored();
      if (last.Code < m.Code) Error(reeInvalidRange);
      set.IncludeRange(m.Code, last.Code);
      other = true;
      continue;
    }
    if (m.Single)
      addSingle(m.Code);
    else
      other = true;
  }
  if (singles.empty() && !other) {
    // Only possible in extended mode ("[ ]"); a set without members has no meaning.
    Error(reeRarseAtomInternalDisaster);
  }
  Advance();
  AFlags = HASWIDTH | SIMPLE;
  if (!other && singles.size() <= 3) {
    TKivRegexNode* n = Emit(negated ? opANYBUTTINYSET : opANYOFTINYSET);
    for (size_t i = 0; i < 3; ++i) n->TinySet[i] = singles[std::min(i, singles.size() - 1)];
    return n;
  }
  TKivRegexNode* n = EmitSetNode(set);
  if (negated) n->SetHash.Invert();
  return n;
}

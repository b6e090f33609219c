// Loading colour schemes and syntax scheme documents into the parser's model.
#include <algorithm>
#include <fstream>

#include "KivSedUtils.h"
#include "internal/ParserImpl.h"
#include "internal/SyntaxText.h"

namespace {

const char16_t* const kCrLf = u"\r\n";

TKivString ExceptionMessage(const std::exception& AError) {
  if (auto* e = dynamic_cast<const EKivError*>(&AError)) return e->Message();
  return KivFromUtf8(AError.what());
}

bool IsElement(const IKivXmlElement& AEl, TKivStringView AName) {
  return SameNameNoCase(KivTrim(AEl->NodeName()), AName);
}

TKivString Join(const std::vector<TKivString>& AItems, TKivStringView ASep) {
  TKivString res;
  for (size_t i = 0; i < AItems.size(); ++i) {
    if (i) res += ASep;
    res += AItems[i];
  }
  return res;
}

TKivString IntStr(Integer AValue) {
  return KivFormat(u"%d", {AValue});
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Reading one scheme element: attributes, rules and syntax blocks.

class TSchemeReader {
 public:
  TSchemeReader(TParserImpl& AParser, TScheme& AScheme) : P(AParser), S(AScheme) {}

  bool ReadBool(const IKivXmlElement& AEl, TKivStringView AName, bool ADefault) {
    if (!AEl->AttrExists(AName)) return ADefault;
    const TKivString v = KivLowerAscii(KivTrim(AEl->ReadAttrText(AName)));
    if (v.empty()) P.SchemeError(KivFormat(u"Boolean attribute %s required", {AName}));
    if (v == u"1" || v == u"true") return true;
    if (v == u"0" || v == u"false") return false;
    P.SchemeError(KivFormat(u"Malformed boolean attribute %s. 0/1 of \"true\"/\"false\" required", {AName}));
  }

  Integer ReadInt(const IKivXmlElement& AEl, TKivStringView AName, Integer ADefault, Integer AMin,
                  Integer AMax = 2147483647) {
    if (!AEl->AttrExists(AName)) return ADefault;
    const TKivString v = KivTrim(AEl->ReadAttrText(AName));
    size_t i = 0;
    bool neg = false;
    if (i < v.size() && (v[i] == u'-' || v[i] == u'+')) neg = v[i++] == u'-';
    if (i >= v.size()) P.SchemeError(KivFormat(u"Malformed int attribute %s", {AName}));
    long long value = 0;
    for (; i < v.size(); ++i) {
      if (v[i] < u'0' || v[i] > u'9') P.SchemeError(KivFormat(u"Malformed int attribute %s", {AName}));
      value = value * 10 + (v[i] - u'0');
      if (value > 4294967296LL) P.SchemeError(KivFormat(u"Malformed int attribute %s", {AName}));
    }
    if (neg) value = -value;
    if (value < AMin || value > AMax)
      P.SchemeError(KivFormat(u"Int attribute %s should be in range (%d given instead): [%d, %d]",
                              {AName, value, AMin, AMax}));
    return static_cast<Integer>(value);
  }

  // Where a pattern came from, for messages.
  enum TPatternKind { pkAttr, pkSubnode, pkText };
  struct TPattern {
    TKivString Text;
    TPatternKind Kind = pkAttr;
    TKivString Name;  // attribute or subnode name
  };

  // The pattern of a Regex or KeywordRegex element: the attribute, or else the element's text.
  TPattern OwnPattern(const IKivXmlElement& AEl, TKivStringView AAttr) {
    TPattern p;
    p.Name = TKivString(AAttr);
    p.Text = AEl->ReadAttrText(AAttr);
    if (p.Text.empty()) {
      p.Text = AEl->Text();
      p.Kind = pkText;
    }
    if (KivTrim(p.Text).empty())
      P.SchemeError(KivFormat(u"Regex attribute '%s' and node text is empty in regex node '%s'",
                              {AAttr, AEl->NodeName()}));
    return p;
  }

  // The child element named AName (without regard to case), or none.
  static IKivXmlElement Child(const IKivXmlElement& AEl, TKivStringView AName) {
    IKivXmlElement res;
    ForEachChildElement(AEl, [&](const IKivXmlElement& c) {
      if (!res && IsElement(c, AName)) res = c;
    });
    return res;
  }

  // A block part's pattern: from an attribute or a subnode, in the order given.
  TPattern PartPattern(const IKivXmlElement& AEl, TKivStringView AAttr, TKivStringView ASub,
                       bool AChildFirst) {
    TPattern p;
    IKivXmlElement sub = Child(AEl, ASub);
    const TKivString attr = AEl->ReadAttrText(AAttr);
    const bool useSub = sub && (AChildFirst || attr.empty());
    if (!useSub && !attr.empty()) {
      p.Text = attr;
      p.Kind = pkAttr;
      p.Name = TKivString(AAttr);
    } else if (sub) {
      p.Text = sub->Text();
      p.Kind = pkSubnode;
      p.Name = TKivString(ASub);
      if (KivTrim(p.Text).empty())
        P.SchemeError(KivFormat(u"Regex subnode '%s' is empty in node '%s'", {ASub, AEl->NodeName()}));
    }
    if (KivTrim(p.Text).empty())
      P.SchemeError(KivFormat(u"Regex attribute '%s' is empty in node '%s'", {AAttr, AEl->NodeName()}));
    return p;
  }

  [[noreturn]] void PatternError(const TPattern& APat, const IKivXmlElement& AEl,
                                 const EKivRegExprError& AErr) {
    switch (APat.Kind) {
      case pkText:
        P.SchemeError(KivFormat(u"Error in regex node text in regex node '%s': regex: %s, error: %s",
                                {AEl->NodeName(), APat.Text, AErr.Message()}));
      case pkSubnode:
        P.SchemeError(KivFormat(u"Error in '%s' subnode in %s node: regex: %s, error: %s",
                                {APat.Name, AEl->NodeName(), APat.Text, AErr.Message()}));
      case pkAttr:
      default:
        P.SchemeError(KivFormat(u"Error in '%s' attribute in %s node: regex: %s, error: %s",
                                {APat.Name, AEl->NodeName(), APat.Text, AErr.Message()}));
    }
  }

  // A token-rule pattern: anchored, extended, compiled once with its final modifiers.
  std::unique_ptr<TKivRegExp> TokenRegex(const TPattern& APat, const IKivXmlElement& AEl, bool AIgnoreCase,
                                         const TKivString& AMoreSeps, const TKivString& AMoreChars) {
    auto re = std::make_unique<TKivRegExp>();
    re->SetModifierA(true);
    re->SetModifierX(true);
    re->SetModifierS(true);
    re->SetModifierG(true);
    re->SetModifierI(AIgnoreCase);
    re->SetStepLimit(TParserImpl::kRuleStepLimit);
    re->SetWordSeparators(re->WordSeparators() + AMoreSeps + S.MoreWordSeparators);
    re->SetWordChars(re->WordChars() + AMoreChars + S.MoreWordChars);
    try {
      re->SetExpression(APat.Text);
      re->Compile();
    } catch (const EKivRegExprError& e) {
      PatternError(APat, AEl, e);
    }
    return re;
  }

  // An int-codes pattern of a syntax block.
  std::unique_ptr<TKivRegExp> CodesRegex(const TPattern& APat, const IKivXmlElement& AEl) {
    auto re = std::make_unique<TKivRegExp>();
    re->SetModifierI(false);
    re->SetModifierS(false);
    re->SetModifierM(false);
    re->SetModifierG(true);
    re->SetModifierA(true);
    re->SetModifierX(true);
    re->SetModifierC(true);
    re->SetStepLimit(TParserImpl::kRuleStepLimit);
    TParserImpl* parser = &P;
    re->SetCodesResolver([parser](const TKivString& AName) { return parser->ResolveIntCode(AName); });
    try {
      re->SetExpression(APat.Text);
      re->Compile();
    } catch (const EKivRegExprError& e) {
      PatternError(APat, AEl, e);
    }
    return re;
  }

  static void FirstCodes(TKivRegExp& ARe, TKivSetOfByte& ASet, bool& AUnicode) {
    try {
      ASet = ARe.GetFirstCharSetAnsi(AUnicode);
    } catch (const EKivError&) {
      ASet.IncludeAll();
      AUnicode = true;
    }
  }

  static bool HasTokenAttrs(const IKivXmlElement& AEl, TKivStringView APrefix, Integer ACount) {
    for (Integer i = 0; i < ACount && i < TMatchRec::kMaxGroups; ++i)
      if (AEl->AttrExists(TKivString(APrefix) + u"token" + IntStr(i))) return true;
    return false;
  }

  bool ReadTokens(const IKivXmlElement& AEl, TKivStringView APrefix, Integer ACount, TRuleTokens& ATokens) {
    bool any = false;
    for (Integer i = 0; i < ACount && i < TMatchRec::kMaxGroups; ++i) {
      const TKivString attr = TKivString(APrefix) + u"token" + IntStr(i);
      if (!AEl->AttrExists(attr)) continue;
      const TKivString name = KivTrim(AEl->ReadAttrText(attr));
      if (name.empty())
        P.SchemeError(KivFormat(u"Token attribute '%s' should be valid token reference!", {attr}));
      ATokens[static_cast<size_t>(i)] = P.GetTokenProps(name);
      any = true;
    }
    return any;
  }

  // Tokens of a block part: the part's subnode attributes, or the block's prefixed ones.
  bool ReadPartTokens(const IKivXmlElement& AEl, TKivStringView ASub, TKivStringView APrefix, Integer ACount,
                      TRuleTokens& ATokens) {
    IKivXmlElement sub = Child(AEl, ASub);
    if (sub && HasTokenAttrs(sub, u"", ACount)) return ReadTokens(sub, u"", ACount, ATokens);
    return ReadTokens(AEl, APrefix, ACount, ATokens);
  }

  TKivString PartWordAttr(const IKivXmlElement& AEl, TKivStringView ASub, TKivStringView APrefix,
                          TKivStringView AName) {
    IKivXmlElement sub = Child(AEl, ASub);
    if (sub && sub->AttrExists(AName)) return sub->ReadAttrText(AName);
    return AEl->ReadAttrText(TKivString(APrefix) + TKivString(AName));
  }

  std::unique_ptr<TRule> CreateRegexRule(const IKivXmlElement& AEl, Integer AKind) {
    // AKind: 0 Regex, 1 RegexBlock, 2 ChainBlock
    auto rule = std::make_unique<TRegexRule>();
    rule->FScheme = &S;
    rule->FXml = AEl->ToXml();
    P.FCurRuleXml = rule->FXml;
    const bool ic = S.AllIgnoreCase;
    if (AKind == 0) {
      const TKivString inner = KivTrim(AEl->ReadAttrText(u"innerScheme"));
      if (AEl->AttrExists(u"innerScheme") && inner.empty())
        P.SchemeError(u"innerScheme should be set and be valid scheme reference!");
      if (!inner.empty() && HasTokenAttrs(AEl, u"", TMatchRec::kMaxGroups))
        P.SchemeError(u"Regex node can't contain both 'innerScheme' and 'token' attributes!");
      rule->InnerSchemeName = inner;
      const TPattern pat = OwnPattern(AEl, u"regex");
      rule->StartRegex = TokenRegex(pat, AEl, ic, AEl->ReadAttrText(u"moreWordSeparators"),
                                    AEl->ReadAttrText(u"moreWordChars"));
      const Integer groups = rule->StartRegex->CompiledSubExpCount();
      rule->HasTokens[0] = ReadTokens(AEl, u"", groups, rule->Tokens[0]);
      rule->FInnerContentGroup = ReadInt(AEl, u"innerContentGroup", -1, 0);
      if (rule->FInnerContentGroup >= groups)
        P.SchemeError(
            KivFormat(u"innerContentGroup should be < %d (start regex sub-expressions count)!", {groups}));
      rule->LineBound = ReadBool(AEl, u"lineBound", false);
    } else {
      rule->IsBlockRule = true;
      if (AKind == 2) {
        const TKivString name = KivTrim(AEl->ReadAttrText(u"name"));
        const TKivString qualified = S.Name + u"." + name;
        if (name.empty() || std::find(chainNames.begin(), chainNames.end(), qualified) != chainNames.end())
          P.SchemeError(u"Chain block should have unique name in scheme");
        rule->Name = qualified;
      } else {
        const TPattern start = PartPattern(AEl, u"start", u"Start", false);
        rule->StartRegex =
            TokenRegex(start, AEl, ic, PartWordAttr(AEl, u"Start", u"start_", u"moreWordSeparators"),
                       PartWordAttr(AEl, u"Start", u"start_", u"moreWordChars"));
        rule->HasTokens[0] = ReadPartTokens(AEl, u"Start", u"start_", rule->StartRegex->CompiledSubExpCount(),
                                            rule->Tokens[0]);
        rule->LineBound = ReadBool(AEl, u"lineBound", false);
      }
      const TPattern end = PartPattern(AEl, u"end", u"End", false);
      rule->EndRegex = TokenRegex(end, AEl, ic, PartWordAttr(AEl, u"End", u"end_", u"moreWordSeparators"),
                                  PartWordAttr(AEl, u"End", u"end_", u"moreWordChars"));
      rule->HasTokens[1] =
          ReadPartTokens(AEl, u"End", u"end_", rule->EndRegex->CompiledSubExpCount(), rule->Tokens[1]);
      rule->InnerSchemeName = KivTrim(AEl->ReadAttrText(u"innerScheme"));
      if (rule->InnerSchemeName.empty())
        P.SchemeError(u"innerScheme should be set and be valid scheme reference!");
      const Integer groups = rule->StartRegex ? rule->StartRegex->CompiledSubExpCount() : 1;
      rule->FInnerContentGroup = ReadInt(AEl, u"innerContentGroup", -1, 0);
      if (rule->FInnerContentGroup >= groups)
        P.SchemeError(
            KivFormat(u"innerContentGroup should be < %d (start regex sub-expressions count)!", {groups}));
      rule->CloseInnerSchemesOnMatchEnd = ReadBool(AEl, u"closeInnerSchemes", false);
      const TKivString chain = KivTrim(AEl->ReadAttrText(u"chainBlock"));
      if (!chain.empty()) rule->ChainedBlockRuleName = S.Name + u"." + chain;
      FirstCodes(*rule->EndRegex, rule->EndAcceptedAnsiChars, rule->EndAcceptUnicodeChars);
    }
    rule->Priority = ReadInt(AEl, u"priority", 0, 0);
    if (rule->StartRegex) FirstCodes(*rule->StartRegex, rule->AcceptedAnsiChars, rule->AcceptUnicodeChars);
    P.FCurRuleXml.clear();
    return rule;
  }

  std::unique_ptr<TRule> CreateKeywordsRule(const IKivXmlElement& AEl) {
    auto rule = std::make_unique<TKeywordsRule>();
    rule->FScheme = &S;
    rule->FXml = AEl->ToXml();
    P.FCurRuleXml = rule->FXml;
    const TPattern pat = OwnPattern(AEl, u"regex");
    rule->Regex = TokenRegex(pat, AEl, S.KeywordsIgnoreCase, AEl->ReadAttrText(u"moreWordSeparators"),
                             AEl->ReadAttrText(u"moreWordChars"));
    rule->Tokens[0][1] = P.GetTokenProps(u"keyword");
    rule->Tokens[0][2] = P.GetTokenProps(u"id");
    rule->HasTokens[0] = true;
    rule->Priority = ReadInt(AEl, u"priority", -1, 0);
    FirstCodes(*rule->Regex, rule->AcceptedAnsiChars, rule->AcceptUnicodeChars);
    P.FCurRuleXml.clear();
    return rule;
  }

  std::unique_ptr<TSyntaxBlock> CreateSyntaxBlock(const IKivXmlElement& AEl) {
    auto block = std::make_unique<TSyntaxBlock>();
    block->FParser = &P;
    block->FXml = AEl->ToXml();
    P.FCurBlockXml = block->FXml;
    block->StartRegex = CodesRegex(PartPattern(AEl, u"start", u"Start", true), AEl);
    block->EndRegex = CodesRegex(PartPattern(AEl, u"end", u"End", true), AEl);
    block->Capture = ReadBool(AEl, u"capture", false);
    const Integer sg = block->StartRegex->CompiledSubExpCount();
    block->StartGroupUsed = ReadInt(AEl, u"startGroupUsed", 0, 0);
    if (block->StartGroupUsed >= sg)
      P.SchemeError(KivFormat(u"startGroupUsed should be >=0  and < (regex groups count: %d)", {sg}));
    const Integer eg = block->EndRegex->CompiledSubExpCount();
    block->EndGroupUsed = ReadInt(AEl, u"endGroupUsed", 0, 0);
    if (block->EndGroupUsed >= eg)
      P.SchemeError(KivFormat(u"endGroupUsed should be >=0  and < (regex groups count: %d)", {eg}));
    block->Priority = ReadInt(AEl, u"priority", 0, 0);
    block->MinLines = std::max<Integer>(2, ReadInt(AEl, u"minLines", 2, 1));
    FirstCodes(*block->StartRegex, block->AcceptedAnsiChars, block->AcceptUnicodeChars);
    FirstCodes(*block->EndRegex, block->EndAcceptedAnsiChars, block->EndAcceptUnicodeChars);
    P.FCurBlockXml.clear();
    return block;
  }

  void AddParent(const TKivString& ARef) {
    if (KivTrim(ARef).empty()) P.SchemeError(u"Empty 'inherit' attribute! Should be valid scheme reference!");
    S.ParentSchemeNames.push_back(ARef);
  }

  void Read(const IKivXmlElement& AEl) {
    // Parents from the attributes: inherit, inherit0, then inherit1, inherit2... up to a gap.
    if (AEl->AttrExists(u"inherit")) AddParent(AEl->ReadAttrText(u"inherit"));
    if (AEl->AttrExists(u"inherit0")) AddParent(AEl->ReadAttrText(u"inherit0"));
    for (Integer i = 1; AEl->AttrExists(u"inherit" + IntStr(i)); ++i)
      AddParent(AEl->ReadAttrText(u"inherit" + IntStr(i)));
    S.DefaultToken = P.GetTokenProps(AEl->AttrExists(u"defaultToken") &&
                                             !KivTrim(AEl->ReadAttrText(u"defaultToken")).empty()
                                         ? KivTrim(AEl->ReadAttrText(u"defaultToken"))
                                         : TKivString(u"default"));
    S.AllIgnoreCase = ReadBool(AEl, u"allIgnoreCase", false);
    S.KeywordsIgnoreCase = ReadBool(AEl, u"keywordsIgnoreCase", S.AllIgnoreCase);
    S.MoreWordSeparators = AEl->AttrExists(u"moreWordSeparators") ? AEl->ReadAttrText(u"moreWordSeparators")
                                                                  : ChildText(AEl, u"MoreWordSeparators");
    S.MoreWordChars = AEl->AttrExists(u"moreWordChars") ? AEl->ReadAttrText(u"moreWordChars")
                                                        : ChildText(AEl, u"MoreWordChars");
    S.SyntaxTailMaxLength = ReadInt(AEl, u"syntaxTailMaxLength", 500, 0);
    S.Keywords = std::make_unique<TKeywordMap>(S.KeywordsIgnoreCase);

    std::vector<std::unique_ptr<TRule>> regexes, blocks, chains, keywordRule;
    ForEachChildElement(AEl, [&](const IKivXmlElement& c) {
      const TKivString name = KivTrim(c->NodeName());
      if (SameNameNoCase(name, u"Regex")) {
        regexes.push_back(CreateRegexRule(c, 0));
      } else if (SameNameNoCase(name, u"RegexBlock")) {
        blocks.push_back(CreateRegexRule(c, 1));
      } else if (SameNameNoCase(name, u"ChainBlock")) {
        chains.push_back(CreateRegexRule(c, 2));
        chainNames.push_back(chains.back()->Name);
      } else if (SameNameNoCase(name, u"KeywordRegex")) {
        if (keywordRule.empty()) keywordRule.push_back(CreateKeywordsRule(c));
      } else if (SameNameNoCase(name, u"Keyword")) {
        const TKivString w = KivTrim(c->Text());
        if (w.empty()) P.SchemeError(u"Empty 'Keyword' node!");
        S.Keywords->AddWord(w);
      } else if (SameNameNoCase(name, u"Keywords")) {
        const TKivString text = KivTrim(c->Text());
        if (text.empty()) P.SchemeError(u"Empty keywords list in 'Keywords' node!");
        std::vector<TKivString> pieces;
        RegExprSplit(u"\\s+", text, pieces);
        for (const TKivString& piece : pieces) {
          const TKivString w = KivTrim(piece);
          if (!w.empty()) S.Keywords->AddWord(w);
        }
      } else if (SameNameNoCase(name, u"SyntaxBlock")) {
        S.FSyntaxBlocks.push_back(CreateSyntaxBlock(c));
      } else if (SameNameNoCase(name, u"SkipSyntaxToken")) {
        TKivString names = c->AttrExists(u"token") ? c->ReadAttrText(u"token") : c->Text();
        for (const TKivString& n : KivSplitWords(names, u" \t\r\n,;")) S.FSynTokensToSkip += n + u" ";
      } else if (SameNameNoCase(name, u"Inherit")) {
        AddParent(c->AttrExists(u"scheme") ? c->ReadAttrText(u"scheme") : c->Text());
      }
    });
    for (auto* group : {&regexes, &blocks, &chains, &keywordRule})
      for (auto& r : *group) S.FRules.push_back(std::move(r));
  }

  static TKivString ChildText(const IKivXmlElement& AEl, TKivStringView AName) {
    IKivXmlElement c = Child(AEl, AName);
    return c ? c->Text() : TKivString();
  }

 private:
  TParserImpl& P;
  TScheme& S;
  std::vector<TKivString> chainNames;
};

// ---------------------------------------------------------------------------------------------

TParserImpl::TParserImpl(Integer ATokenCacheSize, Integer AContextSaveInterval)
    : FTokenCache(ATokenCacheSize),
      FTokenCacheSize(ATokenCacheSize),
      FContextSaveInterval(AContextSaveInterval) {
  FIgnoredChars.IncludeRange(0, 32);
  FIgnoredChars.IncludeCats(KivCat(ukZl) | KivCat(ukZp) | KivCat(ukZs) | KivCat(ukCc) | KivCat(ukCs) |
                            KivCat(ukCo) | KivCat(ukCf));
}

TParserImpl::~TParserImpl() = default;

void TParserImpl::SetSchemeLoaders(TKivEditParserSchemeLoader ASyntaxLoader,
                                   TKivEditParserSchemeLoader AColorLoader) {
  FSyntaxLoader = std::move(ASyntaxLoader);
  FColorLoader = std::move(AColorLoader);
}

void TParserImpl::SchemeError(const TKivString& AMsg) const {
  TKivString m = u"Scheme loading error: \r\n" + AMsg + kCrLf + u"--------" +
                 KivFormat(u"Current document: %s, %s", {FCurDocName, FCurDocPath}) + kCrLf +
                 KivFormat(u"Current scheme name: %s", {FCurSchemeName}) + kCrLf;
  if (!FCurRuleXml.empty()) m += u"Current rule code: \r\n--------" + FCurRuleXml + kCrLf + u"--------";
  if (!FCurBlockXml.empty()) m += u"Current block code: \r\n--------" + FCurBlockXml + kCrLf + u"--------";
  throw EKivSyntaxSchemeLoadError(m);
}

void TParserImpl::DocError(const TKivString& AMsg) const {
  throw EKivSyntaxSchemeLoadError(u"Schemes document loading error: \r\n" + AMsg + kCrLf + u"--------" +
                                  KivFormat(u"Current document: %s, %s", {FCurDocName, FCurDocPath}));
}

void TParserImpl::ColorError(const TKivString& AMsg) const {
  throw EKivColorSchemeLoadError(AMsg + kCrLf + u"Attributes document: " + FCurDocPath);
}

// ---- token registry ----

TTokenProps* TParserImpl::FindToken(const TKivString& AName) const {
  auto it = FTokenIndex.find(KivLowerAscii(AName));
  return it == FTokenIndex.end() ? nullptr : Token(it->second);
}

TTokenProps* TParserImpl::AddToken(const TKivString& AName, std::unique_ptr<TTokenProps> AProps) {
  AProps->Name = AName;
  AProps->ID = TokenCount();
  AProps->DefaultContentID = ++FTokenID;
  FTokenIndex.emplace(KivLowerAscii(AName), AProps->ID);
  FTokenProps.push_back(std::move(AProps));
  return FTokenProps.back().get();
}

TTokenProps* TParserImpl::GetTokenProps(const TKivString& AName) {
  if (TTokenProps* t = FindToken(AName)) return t;
  const TKivString qualified = FCurDocName + u"." + AName;
  if (TTokenProps* t = FindToken(qualified)) return t;
  return AddToken(qualified, std::make_unique<TTokenProps>());
}

Integer TParserImpl::ResolveIntCode(const TKivString& AName) {
  const size_t colon = AName.find(u':');
  TKivString tokenPart = KivTrim(TKivStringView(AName).substr(0, colon));
  const TKivString content =
      colon == TKivString::npos ? TKivString() : KivTrim(TKivStringView(AName).substr(colon + 1));
  if (tokenPart.empty()) SchemeError(u"Malformed int-code name: " + AName);
  if (tokenPart == u"kw") tokenPart = u"keyword";
  if (tokenPart == u"sym") tokenPart = u"symbol";
  TTokenProps* t = GetTokenProps(tokenPart);
  if (content.empty()) return t->DefaultContentID;
  TKeywordMap::TKeyword* k = t->ContentMap.AddWord(content);
  if (k->ID < 0) {
    k->ID = ++FTokenID;
    TKeywordMap::TKeyword* ci = t->ContentMapCI.AddWord(content);
    if (ci->ID < 0) ci->ID = k->ID;
  }
  return k->ID;
}

TKivIntArray TParserImpl::GetAllTokenIDs(const TKivString& ATokenName) const {
  TKivIntArray res;
  const TKivString suffix = u"." + ATokenName;
  for (auto& t : FTokenProps) {
    const TKivString& n = t->Name;
    if (n == ATokenName ||
        (n.size() > suffix.size() && n.compare(n.size() - suffix.size(), suffix.size(), suffix) == 0))
      res.push_back(t->ID);
  }
  return res;
}

TScheme* TParserImpl::FindScheme(const TKivString& AQualifiedName) const {
  auto it = FSchemeIndex.find(AQualifiedName);
  return it == FSchemeIndex.end() ? nullptr : it->second;
}

// ---- loading ----

void TParserImpl::UnloadSchemes() {
  InvalidateFrom(0);
  FContextCache.KillFrom(0);
  // Nothing dropped outlives the schemes its contexts name.
  FContextCache.ReleaseDropped(std::numeric_limits<Integer>::max());
  FParseTree.ReleaseDropped(std::numeric_limits<Integer>::max());
  FWork.reset();
  FSchemeLoaded = false;
  FFoldLookAhead = -1;
  FRootSc = nullptr;
  FTokenKeyword = nullptr;
  FTokenDefault = nullptr;
  FSchemeIndex.clear();
  FSchemes.clear();
  FTokenIndex.clear();
  FTokenProps.clear();
  FLoadedDocs.clear();
  FDocPaths.clear();
  FInheritPath.clear();
  FCurDocName.clear();
  FCurDocPath.clear();
  FCurSchemeName.clear();
  FCurRuleXml.clear();
  FCurBlockXml.clear();
}

TKivString TParserImpl::LoadText(const TKivString& AName, bool AColor, TKivString& APath) {
  const TKivEditParserSchemeLoader& loader = AColor ? FColorLoader : FSyntaxLoader;
  if (loader) {
    APath.clear();
    return loader(AName);
  }
  TKivString dir = AColor && !FAttrsDir.empty() ? FAttrsDir : FSchemesDir;
  if (!dir.empty() && dir.back() != u'/' && dir.back() != u'\\') dir += u'/';
  APath = dir + KivTrim(AName) + u".xml";
  std::ifstream in(KivToUtf8(APath), std::ios::binary);
  if (!in) throw EKivError(u"Cannot open file \"%s\"", {APath});
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  return KivFromUtf8(bytes);
}

void TParserImpl::LoadSchemeDoc(const TKivString& ADocName, const TKivString& AAttrsDocName) {
  UnloadSchemes();
  FTokenID = -1;
  LoadColorScheme(AAttrsDocName);
  LoadDocument(ADocName);
  FInheritPath.clear();
  LinkScheme(FRootSc);
  FTokenKeyword = FindToken(u"keyword");
  FTokenDefault = GetTokenProps(u"default");
  FCurDocName.clear();
  FCurDocPath.clear();
  FCurSchemeName.clear();
  FSchemeLoaded = true;
}

void TParserImpl::LoadColorScheme(const TKivString& AName) {
  IKivXmlDocument xml;
  TKivString path;
  try {
    xml = LoadXmlDocumentFromXml(LoadText(AName, true, path));
  } catch (const std::exception& e) {
    throw EKivColorSchemeLoadError(u"Error %s on loading color scheme contents. Original message: %s",
                                   {KivErrorClassName(e), ExceptionMessage(e)});
  }
  FCurDocPath = path.empty() ? AName : path;
  IKivXmlElement root = xml->DocumentElement();
  if (!root || !IsElement(root, u"Attributes")) ColorError(u"Can't find root <Attributes> node.");
  ForEachChildElement(root, [this](const IKivXmlElement& c) {
    if (!IsElement(c, u"Token")) return;
    try {
      auto props = std::make_unique<TTokenProps>(c);
      if (FindToken(props->Name))
        ColorError(u"Attribute 'name' of node <Token> or <TokenAlias> should be unique. Found duplicate: " +
                   props->Name);
      const TKivString name = props->Name;
      AddToken(name, std::move(props));
    } catch (const EKivError& e) {
      ColorError(u"<Token> node reading error: " + e.Message());
    }
  });
  FCurDocPath.clear();
}

void TParserImpl::LoadDocument(const TKivString& ADocName) {
  FLoadedDocs.insert(ADocName);
  IKivXmlDocument xml;
  TKivString path;
  try {
    xml = LoadXmlDocumentFromXml(LoadText(ADocName, false, path));
  } catch (const std::exception& e) {
    throw EKivSyntaxSchemeLoadError(u"Error %s on loading syntax scheme contents. Original message: %s",
                                    {KivErrorClassName(e), ExceptionMessage(e)});
  }
  FCurDocName = ADocName;
  FCurDocPath = path;
  FDocPaths[ADocName] = path;
  FCurSchemeName.clear();
  FCurRuleXml.clear();
  FCurBlockXml.clear();
  IKivXmlElement list;
  ForEachChildElement(xml, [&list](const IKivXmlElement& c) {
    if (!list && IsElement(c, u"SchemeList")) list = c;
  });
  if (!list) DocError(u"Document should have SchemeList element!");
  const TKivString root = KivTrim(list->ReadAttrText(u"root"));
  if (root.empty()) DocError(u"SchemeList element in document should have non-empty 'root' attribute!");
  ForEachChildElement(list, [this](const IKivXmlElement& c) {
    if (IsElement(c, u"TokenAlias")) ApplyTokenAlias(c);
  });
  const TKivString rootName = root.find(u'.') == TKivString::npos ? ADocName + u"." + root : root;
  TScheme* rootScheme = nullptr;
  ForEachChildElement(list, [&](const IKivXmlElement& c) {
    if (!IsElement(c, u"Scheme")) return;
    ReadScheme(c);
    if (FSchemes.back()->Name == rootName) rootScheme = FSchemes.back().get();
  });
  if (!rootScheme) DocError(KivFormat(u"Can't find root Scheme element with name '%s' in document!", {root}));
  if (!FRootSc) FRootSc = rootScheme;
}

void TParserImpl::ApplyTokenAlias(const IKivXmlElement& ANode) {
  const TKivString name = KivTrim(ANode->ReadAttrText(u"name"));
  if (name.empty()) DocError(u"Attribute 'name' of node <Token> should exist and be non-empty");
  const TKivString qualified = FCurDocName + u"." + name;
  if (FindToken(name) || FindToken(qualified))
    DocError(u"Attribute 'name' of node <Token> or <TokenAlias> should be unique. Found duplicate: " + name);
  const TKivString baseName = KivTrim(ANode->ReadAttrText(u"baseToken"));
  if (baseName.empty()) SchemeError(u"Token attribute 'baseToken' should be valid token reference!");
  TTokenProps* base = GetTokenProps(baseName);
  auto props = std::make_unique<TTokenProps>();
  AssignAttributes(props->Attributes, base->Attributes, true);
  AddToken(qualified, std::move(props));
}

void TParserImpl::ReadScheme(const IKivXmlElement& ANode) {
  auto scheme = std::make_unique<TScheme>(this);
  FCurSchemeName.clear();
  FCurRuleXml.clear();
  FCurBlockXml.clear();
  const TKivString name = KivTrim(ANode->ReadAttrText(u"name"));
  if (name.empty()) SchemeError(u"Scheme has no name!");
  scheme->Name = FCurDocName + u"." + name;
  scheme->DocName = FCurDocName;
  FCurSchemeName = scheme->Name;
  TSchemeReader(*this, *scheme).Read(ANode);
  FSchemeIndex[scheme->Name] = scheme.get();  // of equal names the last one wins
  FSchemes.push_back(std::move(scheme));
}

TScheme* TParserImpl::ResolveScheme(const TKivString& ARef, const TKivString& ADocName) {
  const size_t dot = ARef.find(u'.');
  const TKivString qualified = dot == TKivString::npos ? ADocName + u"." + ARef : ARef;
  if (TScheme* s = FindScheme(qualified)) return s;
  const TKivString doc = dot == TKivString::npos ? ADocName : ARef.substr(0, dot);
  if (KivTrim(doc).empty())
    SchemeError(KivFormat(u"Scheme reference <%s> does not have corresponding document", {ARef}));
  if (!FLoadedDocs.count(doc)) {
    const TKivString docName = FCurDocName, docPath = FCurDocPath, scheme = FCurSchemeName;
    LoadDocument(doc);
    FCurDocName = docName;
    FCurDocPath = docPath;
    FCurSchemeName = scheme;
    FCurRuleXml.clear();
    FCurBlockXml.clear();
  }
  if (TScheme* s = FindScheme(qualified)) return s;
  SchemeError(KivFormat(u"Can't find referrent scheme for name '%s'!", {qualified}));
}

void TParserImpl::AddRulesOf(TScheme* ATarget, TScheme* AFrom, std::set<TScheme*>& AVisited) {
  if (!AVisited.insert(AFrom).second) return;
  for (auto& r : AFrom->FRules) ATarget->RulesHash.AddRule(r.get(), r.get(), nullptr);
  for (auto& b : AFrom->FSyntaxBlocks) ATarget->SynBlocksHash.AddRule(b.get(), nullptr, b.get());
  for (TScheme* p : AFrom->ParentSchemes) AddRulesOf(ATarget, p, AVisited);
}

void TParserImpl::CollectSkipped(TScheme* AFrom, std::vector<bool>& ASkip, std::set<TScheme*>& AVisited) {
  if (!AVisited.insert(AFrom).second) return;
  for (const TKivString& n : KivSplitWords(AFrom->FSynTokensToSkip, u" ")) {
    TTokenProps* t = FindToken(n);
    if (!t) t = FindToken(AFrom->DocName + u"." + n);
    if (t) ASkip[static_cast<size_t>(t->ID)] = true;
  }
  for (TScheme* p : AFrom->ParentSchemes) CollectSkipped(p, ASkip, AVisited);
}

void TParserImpl::LinkScheme(TScheme* AScheme) {
  if (AScheme->FLinked) return;
  AScheme->FLoading = true;
  auto setCurrent = [this, AScheme] {
    FCurSchemeName = AScheme->Name;
    FCurDocName = AScheme->DocName;
    FCurDocPath = FDocPaths[AScheme->DocName];
    FCurRuleXml.clear();
    FCurBlockXml.clear();
  };
  setCurrent();
  for (const TKivString& ref : AScheme->ParentSchemeNames) {
    FInheritPath.push_back(KivTrim(ref));
    TScheme* parent = ResolveScheme(FInheritPath.back(), AScheme->DocName);
    if (parent->FLoading)
      SchemeError(u"Cyclic reference in inherit chain! ==> Chain: " + Join(FInheritPath, u" -> "));
    LinkScheme(parent);
    setCurrent();
    AScheme->ParentSchemes.push_back(parent);
    FInheritPath.pop_back();
  }
  for (auto& r : AScheme->FRules) {
    if (r->InnerSchemeName.empty()) continue;
    TScheme* inner = ResolveScheme(r->InnerSchemeName, AScheme->DocName);
    if (!inner->FLoading) LinkScheme(inner);
    setCurrent();
    r->InnerScheme = inner;
  }
  std::set<TScheme*> visited;
  AddRulesOf(AScheme, AScheme, visited);
  AScheme->SkipSyntaxTokens.assign(FTokenProps.size(), false);
  visited.clear();
  CollectSkipped(AScheme, AScheme->SkipSyntaxTokens, visited);
  for (auto& r : AScheme->FRules) {
    if (r->ChainedBlockRuleName.empty()) continue;
    for (auto& c : AScheme->FRules)
      if (c->Name == r->ChainedBlockRuleName) r->ChainedBlockRule = c.get();
    if (!r->ChainedBlockRule)
      DocError(KivFormat(u"Can't find chain block by name '%s'", {r->ChainedBlockRuleName}));
  }
  AScheme->FLoading = false;
  AScheme->FLinked = true;
}

TKivString KivErrorClassName(const std::exception& AError) {
  if (dynamic_cast<const EKivSyntaxSchemeLoadError*>(&AError)) return u"EKivSyntaxSchemeLoadError";
  if (dynamic_cast<const EKivColorSchemeLoadError*>(&AError)) return u"EKivColorSchemeLoadError";
  if (dynamic_cast<const EKivEditParserError*>(&AError)) return u"EKivEditParserError";
  if (dynamic_cast<const EKivEditDocError*>(&AError)) return u"EKivEditDocError";
  if (dynamic_cast<const EKivXmlError*>(&AError)) return u"EKivXmlError";
  if (dynamic_cast<const EKivRegExprError*>(&AError)) return u"EKivRegExprError";
  if (dynamic_cast<const EInvalidArgument*>(&AError)) return u"EInvalidArgument";
  if (dynamic_cast<const EKivError*>(&AError)) return u"EKivError";
  if (dynamic_cast<const std::ios_base::failure*>(&AError)) return u"EFileError";
  return u"Exception";
}

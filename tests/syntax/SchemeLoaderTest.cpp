// The syntax scheme loader: the C example, rule order, every loading error, keywords, int codes
// and cross-document references.
#include <filesystem>
#include <fstream>
#include <set>

#include "KivUnicode.h"
#include "SyntaxTestSupport.h"

namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

struct LoaderTest : ::testing::Test {
  TSchemeTexts Texts;
  TParserImpl Impl{201, 50};

  void SetUp() override { Texts.Attach(Impl); }
  void Load(const TKivString& AMini) {
    Texts.Syntax[u"Mini"] = AMini;
    Impl.LoadSchemeDoc(u"Mini", u"default");
  }
  TKivString LoadError(const TKivString& AMini) {
    return ErrorOf<EKivSyntaxSchemeLoadError>([&] { Load(AMini); });
  }
  // The tokens a rule match marks: (token name, start, end) per marked group.
  std::vector<std::tuple<std::string, Integer, Integer>> MatchTokens(TRule& ARule, const TKivString& AText) {
    Impl.CharsInput().Bind(AText.data(), 0, static_cast<Integer>(AText.size()));
    TMatchRec m;
    std::vector<std::tuple<std::string, Integer, Integer>> res;
    if (!ARule.Match(0, static_cast<Integer>(AText.size()), psLineStart, m)) return res;
    for (Integer g = 0; g < m.Count; ++g)
      if (m.Starts[g] >= 0 && ARule.Tokens[0][g])
        res.emplace_back(U8(ARule.Tokens[0][g]->Name), m.Starts[g], m.Ends[g]);
    return res;
  }
};

TKivString Doc(const TKivString& ASchemes, const TKivString& ARoot = u"Main") {
  return u"<SchemeList root='" + ARoot + u"'>" + ASchemes + u"</SchemeList>";
}

TKivString SchemeLayout(const char* AMsg, const char* AScheme) {
  return u"Scheme loading error: \r\n" + KivFromUtf8(AMsg) +
         u"\r\n--------Current document: Mini, \r\nCurrent scheme name: " + KivFromUtf8(AScheme) + u"\r\n";
}

TKivString DocLayout(const char* AMsg) {
  return u"Schemes document loading error: \r\n" + KivFromUtf8(AMsg) +
         u"\r\n--------Current document: Mini, ";
}

TEST_F(LoaderTest, CExampleLoadsWithItsRuleOrder) {
  Texts.Syntax[u"C"] = kCScheme;
  Impl.LoadSchemeDoc(u"C", u"default");
  TScheme* main = Impl.RootScheme();
  ASSERT_TRUE(main);
  EXPECT_EQ(U8(main->Name), "C.Main");
  ASSERT_EQ(main->ParentSchemes.size(), 2u);
  EXPECT_EQ(U8(main->ParentSchemes[0]->Name), "C.BaseSyntax");
  EXPECT_EQ(U8(main->ParentSchemes[0]->ParentSchemes[0]->Name), "C.Numbers");
  // '#': the priority-100 block, then the priority-10 preprocessor rule.
  TRuleRef* chain = main->RulesHash.GetRuleChain(u'#');
  ASSERT_TRUE(chain && chain->Next);
  EXPECT_EQ(chain->Rule->Priority, 100);
  EXPECT_EQ(chain->Next->Rule->Priority, 10);
  // '/': own comment rules before the inherited symbol rule.
  chain = main->RulesHash.GetRuleChain(u'/');
  std::vector<TRule*> rules;
  for (TRuleRef* r = chain; r; r = r->Next) rules.push_back(r->Rule);
  ASSERT_EQ(rules.size(), 3u);
  EXPECT_FALSE(rules[0]->IsBlockRule);  // the "//" Regex comes before the "/*" RegexBlock
  EXPECT_TRUE(rules[1]->IsBlockRule);
  EXPECT_EQ(rules[2]->FScheme->Name, u"C.BaseSyntax");
  // Keywords and the skipped comment token.
  EXPECT_TRUE(main->Keywords->Contains(u"while"));
  EXPECT_TRUE(main->IsSkipped(Impl.FindToken(u"comment")->ID));
  EXPECT_EQ(main->SynBlocksHash.GetRuleChain(Impl.ResolveIntCode(u"kw:while"))->SynBlock->Capture, true);
  EXPECT_EQ(Texts.Loads[u"C"], 1);
}

TEST_F(LoaderTest, PriorityOwnAndKindOrder) {
  Load(
      Doc(u"<Scheme name='Base'><Regex regex='ab' token0='keyword'/></Scheme>"
          u"<Scheme name='Main' inherit='Base'>"
          u" <RegexBlock start='ab' end='x' innerScheme='Base' start_token0='symbol'/>"
          u" <Regex regex='ab' token0='string'/>"
          u" <Regex regex='a' token0='number' priority='10'/>"
          u"</Scheme>"));
  std::vector<std::string> order;
  for (TRuleRef* r = Impl.RootScheme()->RulesHash.GetRuleChain(u'a'); r; r = r->Next)
    order.push_back(U8(r->Rule->Tokens[0][0]->Name));
  EXPECT_EQ(order, (std::vector<std::string>{"number", "string", "symbol", "keyword"}));
}

TEST_F(LoaderTest, LoadingErrors) {
  struct Case {
    TKivString Doc;
    TKivString Expected;
  } cases[] = {
      {u"<Other/>", DocLayout("Document should have SchemeList element!")},
      {u"<SchemeList root=' '/>",
       DocLayout("SchemeList element in document should have non-empty 'root' attribute!")},
      {Doc(u"<Scheme name='X'/>"), DocLayout("Can't find root Scheme element with name 'Main' in document!")},
      {Doc(u"<TokenAlias baseToken='keyword'/><Scheme name='Main'/>"),
       DocLayout("Attribute 'name' of node <Token> should exist and be non-empty")},
      {Doc(u"<TokenAlias name='keyword' baseToken='string'/><Scheme name='Main'/>"),
       DocLayout(
           "Attribute 'name' of node <Token> or <TokenAlias> should be unique. Found duplicate: keyword")},
      {Doc(u"<TokenAlias name='a' baseToken='string'/><TokenAlias name='a' baseToken='string'/><Scheme "
           u"name='Main'/>"),
       DocLayout("Attribute 'name' of node <Token> or <TokenAlias> should be unique. Found duplicate: a")},
      {Doc(u"<TokenAlias name='a' baseToken=''/><Scheme name='Main'/>"),
       SchemeLayout("Token attribute 'baseToken' should be valid token reference!", "")},
      {Doc(u"<Scheme/>"), SchemeLayout("Scheme has no name!", "")},
      {Doc(u"<Scheme name='Main' inherit=''/>"),
       SchemeLayout("Empty 'inherit' attribute! Should be valid scheme reference!", "Mini.Main")},
      {Doc(u"<Scheme name='Main'><Keyword> </Keyword></Scheme>"),
       SchemeLayout("Empty 'Keyword' node!", "Mini.Main")},
      {Doc(u"<Scheme name='Main'><Keywords/></Scheme>"),
       SchemeLayout("Empty keywords list in 'Keywords' node!", "Mini.Main")},
      {Doc(u"<Scheme name='Main' inherit='A'/><Scheme name='A' inherit='Main'/>"),
       SchemeLayout("Cyclic reference in inherit chain! ==> Chain: A -> Main", "Mini.A")},
      {Doc(u"<Scheme name='Main' inherit='.A'/>"),
       SchemeLayout("Scheme reference <.A> does not have corresponding document", "Mini.Main")},
      {Doc(u"<Scheme name='Main' inherit='Nope'/>"),
       SchemeLayout("Can't find referrent scheme for name 'Mini.Nope'!", "Mini.Main")},
      {Doc(u"<Scheme name='Main' allIgnoreCase='yes'/>"),
       SchemeLayout("Malformed boolean attribute allIgnoreCase. 0/1 of \"true\"/\"false\" required",
                    "Mini.Main")},
      {Doc(u"<Scheme name='Main' allIgnoreCase=''/>"),
       SchemeLayout("Boolean attribute allIgnoreCase required", "Mini.Main")},
      {Doc(u"<Scheme name='Main' syntaxTailMaxLength='12a'/>"),
       SchemeLayout("Malformed int attribute syntaxTailMaxLength", "Mini.Main")},
      {Doc(u"<Scheme name='Main'><RegexBlock start='a' end='b' innerScheme='Main' chainBlock='Z'/></Scheme>"),
       DocLayout("Can't find chain block by name 'Mini.Main.Z'")},
  };
  for (const Case& c : cases) EXPECT_EQ(U8(LoadError(c.Doc)), U8(c.Expected)) << U8(c.Doc);
}

TEST_F(LoaderTest, RuleErrorsCarryTheRuleCode) {
  struct Case {
    TKivString Rule;
    std::string Message;
  } cases[] = {
      {u"<Regex regex='a' innerScheme='Main' token0='string'/>",
       "Regex node can't contain both 'innerScheme' and 'token' attributes!"},
      {u"<Regex regex='a' priority='-1' token0='string'/>",
       "Int attribute priority should be in range (-1 given instead): [0, 2147483647]"},
      {u"<Regex regex='a**' token0='string'/>",
       "Error in 'regex' attribute in Regex node: regex: a**, error: TKivRegExpr(comp): Nested *?+ (pos: "},
      {u"<Regex token0='string'>a**</Regex>",
       "Error in regex node text in regex node 'Regex': regex: a**, error: "},
      {u"<Regex token0='string'/>", "Regex attribute 'regex' and node text is empty in regex node 'Regex'"},
      {u"<Regex regex='a' token0=''/>", "Token attribute 'token0' should be valid token reference!"},
      {u"<Regex regex='(a)' innerScheme='Main' innerContentGroup='2'/>",
       "innerContentGroup should be < 2 (start regex sub-expressions count)!"},
      {u"<RegexBlock end='b' innerScheme='Main'><Start/></RegexBlock>",
       "Regex subnode 'Start' is empty in node 'RegexBlock'"},
      {u"<RegexBlock end='b' innerScheme='Main'/>", "Regex attribute 'start' is empty in node 'RegexBlock'"},
      {u"<RegexBlock start='a' innerScheme='Main'><End>(</End></RegexBlock>",
       "Error in 'End' subnode in RegexBlock node: regex: (, error: "},
      {u"<RegexBlock start='a' end='b'/>", "innerScheme should be set and be valid scheme reference!"},
      {u"<RegexBlock start='a' end='b' innerScheme='Main' lineBound='2'/>",
       "Malformed boolean attribute lineBound. 0/1 of \"true\"/\"false\" required"},
      {u"<ChainBlock name='c' end='b' innerScheme='Main'/><ChainBlock name='c' end='b' innerScheme='Main'/>",
       "Chain block should have unique name in scheme"},
      // An extended pattern with a comment holding "(" compiles (it is compiled once, extended).
      {u"<Regex regex='a # (x' token0='string'/><Regex regex='(' token0='string'/>",
       "Error in 'regex' attribute in Regex node: regex: (, error: "},
  };
  for (const Case& c : cases) {
    const TKivString msg = LoadError(Doc(u"<Scheme name='Main'>" + c.Rule + u"</Scheme>"));
    EXPECT_THAT(U8(msg), StartsWith("Scheme loading error: \r\n" + c.Message)) << U8(c.Rule);
    EXPECT_THAT(U8(msg), HasSubstr("\r\nCurrent scheme name: Mini.Main\r\nCurrent rule code: \r\n--------"))
        << U8(c.Rule);
    EXPECT_THAT(U8(msg), HasSubstr(U8(c.Rule.substr(0, 6)))) << U8(c.Rule);
    EXPECT_THAT(U8(msg), ::testing::EndsWith("\r\n--------")) << U8(c.Rule);
  }
}

TEST_F(LoaderTest, SyntaxBlockErrorsAndDefaults) {
  const TKivString msg =
      LoadError(Doc(u"<Scheme name='Main'><SyntaxBlock "
                    u"startGroupUsed='1'><Start>sym:\\{</Start><End>sym:}</End></SyntaxBlock></Scheme>"));
  EXPECT_THAT(
      U8(msg),
      StartsWith(
          "Scheme loading error: \r\nstartGroupUsed should be >=0  and < (regex groups count: 1)\r\n"));
  EXPECT_THAT(U8(msg), HasSubstr("Current block code: \r\n--------\r\n<SyntaxBlock"));
  EXPECT_THAT(U8(LoadError(Doc(u"<Scheme name='Main'><SyntaxBlock start=':x' end='sym'/></Scheme>"))),
              StartsWith("Scheme loading error: \r\nMalformed int-code name: :x\r\n"));
  Load(Doc(u"<Scheme name='Main'><SyntaxBlock minLines='1' capture='true' start='id' end='sym'/></Scheme>"));
  EXPECT_EQ(Impl.RootScheme()->FSyntaxBlocks[0]->MinLines, 2);
  EXPECT_TRUE(Impl.RootScheme()->FSyntaxBlocks[0]->Capture);
}

TEST_F(LoaderTest, InheritNumberingStopsAtAGap) {
  Load(Doc(u"<Scheme name='A'/><Scheme name='B'/><Scheme name='Main' inherit0='A' inherit2='B'/>"));
  ASSERT_EQ(Impl.RootScheme()->ParentSchemes.size(), 1u);
  EXPECT_EQ(U8(Impl.RootScheme()->ParentSchemes[0]->Name), "Mini.A");
  Load(Doc(
      u"<Scheme name='A'/><Scheme name='B'/><scheme name='Main' inherit='A'><inherit scheme='B'/></scheme>"));
  EXPECT_EQ(Impl.RootScheme()->ParentSchemes.size(), 2u);  // element names match without case
}

TEST_F(LoaderTest, KeywordsSplitOnBlanksOnly) {
  const TKivString kwRule = u"<KeywordRegex>\\b[a-zA-Z_]\\w*\\b</KeywordRegex>";
  Load(Doc(u"<Scheme name='Main'><Keywords>int return</Keywords>" + kwRule + u"</Scheme>"));
  TRule* rule = Impl.RootScheme()->FRules.back().get();
  using T = std::vector<std::tuple<std::string, Integer, Integer>>;
  EXPECT_EQ(MatchTokens(*rule, u"int x"), (T{{"keyword", 0, 3}}));
  EXPECT_EQ(MatchTokens(*rule, u"x1 int"), (T{{"Mini.id", 0, 2}}));
  EXPECT_EQ(rule->Priority, -1);
  // Words separated by a bare line break stay one keyword; the indented form splits.
  Load(Doc(u"<Scheme name='Main'><Keywords>int&#13;&#10;return</Keywords>" + kwRule + u"</Scheme>"));
  EXPECT_TRUE(Impl.RootScheme()->Keywords->Contains(u"int\r\nreturn"));
  EXPECT_EQ(MatchTokens(*Impl.RootScheme()->FRules.back(), u"int"), (T{{"Mini.id", 0, 3}}));
  Load(Doc(u"<Scheme name='Main'><Keywords>int&#13;&#10;  return</Keywords>" + kwRule + u"</Scheme>"));
  EXPECT_EQ(MatchTokens(*Impl.RootScheme()->FRules.back(), u"return"), (T{{"keyword", 0, 6}}));
  // keywordsIgnoreCase follows allIgnoreCase.
  Load(Doc(u"<Scheme name='Main' allIgnoreCase='true'><Keyword>Int</Keyword>" + kwRule + u"</Scheme>"));
  EXPECT_EQ(MatchTokens(*Impl.RootScheme()->FRules.back(), u"INT"), (T{{"keyword", 0, 3}}));
}

TEST_F(LoaderTest, MatchRecordKeepsOuterGroups) {
  Load(Doc(
      u"<Scheme name='Main'><Regex regex='(a(b))(c)(d)?' token1='string' token2='keyword' token3='symbol' "
      u"token4='number' token7='number'/></Scheme>"));
  using T = std::vector<std::tuple<std::string, Integer, Integer>>;
  // Group 2 lies inside group 1 and is dropped; group 4 did not take part; token7 is ignored.
  EXPECT_EQ(MatchTokens(*Impl.RootScheme()->FRules[0], u"abc"), (T{{"string", 0, 2}, {"symbol", 2, 3}}));
  Load(Doc(u"<Scheme name='Main'><Regex regex='a' lineBound='true' token0='string'/></Scheme>"));
  TKivString text = u"a";
  Impl.CharsInput().Bind(text.data(), 0, 1);
  TMatchRec m;
  EXPECT_FALSE(Impl.RootScheme()->FRules[0]->Match(0, 1, 0, m));
  EXPECT_TRUE(Impl.RootScheme()->FRules[0]->Match(0, 1, psLineStart, m));
  // After a line's start the rule is not even looked at.
  EXPECT_NE(Impl.RootScheme()->RulesHash.GetRuleChain(u'a', true), nullptr);
  EXPECT_EQ(Impl.RootScheme()->RulesHash.GetRuleChain(u'a', false), nullptr);
}

TEST_F(LoaderTest, TokenRegistryAndIntCodes) {
  Load(
      Doc(u"<TokenAlias name='myKw' baseToken='keyword'/><TokenAlias name='myStr' baseToken='string'/>"
          u"<Scheme name='Main'><KeywordRegex>\\w+</KeywordRegex></Scheme>"));
  TTokenProps* myKw = Impl.FindToken(u"Mini.myKw");
  ASSERT_TRUE(myKw);
  EXPECT_EQ(myKw->Attributes.Attrs.FontStyle, fsBold);
  EXPECT_EQ(Impl.FindToken(u"Mini.myStr")->Attributes.Attrs.TextColor, KivRGB(0, 0, 255));
  const Integer kwWhile = Impl.ResolveIntCode(u"kw:while");
  EXPECT_EQ(kwWhile, Impl.ResolveIntCode(u" keyword : while "));
  EXPECT_NE(kwWhile, Impl.ResolveIntCode(u"kw:While"));
  for (Integer id = 0; id < Impl.TokenCount(); ++id) EXPECT_NE(Impl.Token(id)->DefaultContentID, kwWhile);
  EXPECT_EQ(Impl.ResolveIntCode(u"sym"), Impl.FindToken(u"symbol")->DefaultContentID);
  EXPECT_EQ(Impl.ResolveIntCode(u"sym:{"), Impl.ResolveIntCode(u"symbol:{"));
  EXPECT_THAT(U8(ErrorOf<EKivSyntaxSchemeLoadError>([&] { Impl.ResolveIntCode(u":x"); })),
              HasSubstr("Malformed int-code name: :x"));
  EXPECT_EQ(Impl.GetAllTokenIDs(u"keyword"), TKivIntArray{11});
  EXPECT_EQ(Impl.GetAllTokenIDs(u"id"), TKivIntArray{Impl.FindToken(u"Mini.id")->ID});
  EXPECT_TRUE(Impl.GetAllTokenIDs(u"xid").empty());
  EXPECT_TRUE(Impl.GetAllTokenIDs(u"ID").empty());
  // A plain token and a qualified one of the same name are both found.
  Impl.GetTokenProps(u"HTML.url");
  EXPECT_EQ(Impl.GetAllTokenIDs(u"url").size(), 2u);
}

TEST_F(LoaderTest, CrossDocumentEmbeddingLoadsEachDocumentOnce) {
  Texts.Syntax[u"J"] =
      Doc(u"<Scheme name='Main'><Regex regex='j' token0='jtok'/><Inherit>H.Base</Inherit></Scheme>");
  Texts.Syntax[u"H"] =
      Doc(u"<Scheme name='Base'/><Scheme name='Main'>"
          u"<RegexBlock start='&lt;s&gt;' end='&lt;/s&gt;' innerScheme='J.Main'/>"
          u"<Regex regex='h' token0='htok'/></Scheme>");
  Impl.LoadSchemeDoc(u"H", u"default");
  EXPECT_EQ(Texts.Loads[u"J"], 1);
  EXPECT_EQ(Texts.Loads[u"H"], 1);
  TScheme* inner = Impl.RootScheme()->FRules[1]->InnerScheme;  // Regex rules come first
  ASSERT_TRUE(inner);
  EXPECT_EQ(U8(inner->Name), "J.Main");
  EXPECT_EQ(U8(inner->ParentSchemes[0]->Name), "H.Base");
  EXPECT_TRUE(Impl.FindToken(u"J.jtok"));
  EXPECT_TRUE(Impl.FindToken(u"H.htok"));
  // An unresolved reference into a loaded document does not load it again.
  Texts.Loads.clear();
  Texts.Syntax[u"C"] = Doc(u"<Scheme name='Main' inherit='C.Missing'/>");
  Texts.Syntax[u"Mini"] = Doc(u"<Scheme name='Main' inherit='C.Main'/>");
  EXPECT_THAT(U8(ErrorOf<EKivSyntaxSchemeLoadError>([&] { Impl.LoadSchemeDoc(u"Mini", u"default"); })),
              HasSubstr("Can't find referrent scheme for name 'C.Missing'!"));
  EXPECT_EQ(Texts.Loads[u"C"], 1);
  EXPECT_THAT(
      U8(ErrorOf<EKivSyntaxSchemeLoadError>([&] { Impl.LoadSchemeDoc(u"Nope", u"default"); })),
      StartsWith(
          "Error EKivEditDocError on loading syntax scheme contents. Original message: Can't find syntax "
          "scheme by name: Nope"));
}

TEST_F(LoaderTest, SchemesFromFiles) {
  const std::string dir = ::testing::TempDir() + "kiv_syntax_files";
  std::filesystem::create_directories(dir);
  std::ofstream(dir + "/Mini.xml") << U8(Doc(u"<Scheme name='Main'/>"));
  std::ofstream(dir + "/default.xml") << U8(KivDemoColorScheme().Text);
  Impl.SetSchemeLoaders(nullptr, nullptr);
  Impl.FSchemesDir = KivFromUtf8(dir);
  Impl.LoadSchemeDoc(u" Mini ", u"default");
  EXPECT_TRUE(Impl.IsSchemeLoaded());
  EXPECT_THAT(U8(ErrorOf<EKivSyntaxSchemeLoadError>([&] { Impl.LoadSchemeDoc(u"Gone", u"default"); })),
              StartsWith("Error EKivError on loading syntax scheme contents."));
}

// A keyword map finds exactly its words, against a plain set: hundreds of words (the table grows
// on the way) that share their length and first and last codes, one-code and non-ASCII words,
// and case folding in a map that ignores case.
TEST(KeywordMapTest, FindsExactlyItsWords) {
  auto lower = [](TKivString AWord) {
    for (char16_t& c : AWord) c = KivLowCase(c);
    return AWord;
  };
  for (bool ci : {false, true}) {
    TKeywordMap map(ci);
    std::set<TKivString> model;
    std::vector<TKivString> words = {u"x", u"if", u"IF", u"\u00dcber", u"\u00fcBER", u"\u0130", u"do", u"double"};
    for (int i = 0; i < 300; ++i)
      words.push_back(TKivString(u"ab") + char16_t(u'a' + i % 26) + char16_t(u'A' + i / 26) + u"yz");
    for (const TKivString& w : words) {
      const bool fresh = model.insert(ci ? lower(w) : w).second;
      TKeywordMap::TKeyword* k = map.AddWord(w);
      EXPECT_EQ(k->ID == -1, fresh) << U8(w);
      k->ID = 1;
    }
    EXPECT_EQ(map.Count(), static_cast<Integer>(model.size()));
    std::vector<TKivString> probes = words;
    for (const TKivString& w : words) {
      TKivString up = w, changed = w;
      for (char16_t& c : up) c = KivUpCase(c);
      changed[changed.size() / 2] = u'#';
      probes.insert(probes.end(), {up, changed, w + u"z", w.substr(1)});
    }
    probes.push_back(u"");
    for (const TKivString& p : probes)
      EXPECT_EQ(map.Contains(p), model.count(ci ? lower(p) : p) > 0) << U8(p) << (ci ? " ignoring case" : "");
  }
}

}  // namespace

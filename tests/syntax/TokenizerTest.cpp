// The incremental tokenizer: tokens of the Mini and C schemes, errors, saved contexts, bounded
// work on hostile schemes, document integration and a differential test against fresh parsers.
#include <algorithm>
#include <chrono>
#include <list>
#include <random>

#include "KivTestAccess.h"
#include "KivTestSeed.h"
#include "SyntaxTestSupport.h"

namespace {

using ::testing::HasSubstr;

const TKivString kMini =
    uR"xml(<SchemeList root="Main">
 <Scheme name="Comment" defaultToken="comment"/>
 <Scheme name="Base"><Regex regex="ab" token0="keyword"/></Scheme>
 <Scheme name="Main" inherit="Base">
  <Keywords>int return function if else</Keywords>
  <KeywordRegex>\b[a-zA-Z_]\w*\b</KeywordRegex>
  <Regex regex="[;(){}]" token0="symbol"/>
  <Regex regex="ab" token0="string"/>
  <Regex regex="@@\w+" innerScheme="Comment"/>
  <RegexBlock start="/\*" end="\*/" innerScheme="Comment" start_token0="comment" end_token0="comment"/>
 </Scheme>
</SchemeList>)xml";

using TTok = std::tuple<std::string, Integer, Integer>;

struct TokenizerTest : ::testing::Test {
  TKivEditDocument Doc;
  TSchemeTexts Texts;
  TKivEditParser* Parser = nullptr;

  void SetUp() override {
    Parser = dynamic_cast<TKivEditParser*>(Doc.GetParser());
    ASSERT_TRUE(Parser) << "linking the syntax library installs its parser";
    Texts.Syntax[u"Mini"] = kMini;
    Texts.Syntax[u"C"] = kCScheme;
    Parser->SetSchemeLoaders(Texts.SyntaxLoader(), Texts.ColorLoader());
  }
  void Load(const TKivString& AName) {
    Parser->LoadSchemeDoc(AName, u"default");
    Parser->Refresh();
  }
  std::vector<TTok> Tokens(Integer ALine) {
    TKivEditParsedLine* line = Parser->GetParsedLine(ALine);
    std::vector<TTok> res;
    if (line->TokenCount() == 0) return res;
    TKivEditParsedTokenArray arr(static_cast<size_t>(line->TokenCount()));
    const Integer n = line->GetTokens(0, -1, arr);
    for (Integer i = 0; i < n; ++i) {
      const TKivString name = Parser->TokenName(arr[i].TokenID);
      res.emplace_back(U8(name), arr[i].Seg.Start, arr[i].Seg.Count);
    }
    return res;
  }
};

TEST_F(TokenizerTest, WithoutSchemeALineIsOneToken) {
  Doc.Lines().SetText(u"hello world\r\nx");
  struct Handler : TKivTokenHandler {
    std::vector<std::tuple<Integer, Integer, Integer>> Got;
    void HandleToken(const TKivSegment& ASeg, Integer AID, const TKivEditAttributes&) override {
      Got.emplace_back(ASeg.Start, ASeg.Count, AID);
    }
  } h;
  Parser->MarkTokens(0, h);
  EXPECT_EQ(h.Got, (std::vector<std::tuple<Integer, Integer, Integer>>{{0, 11, 0}}));
  EXPECT_EQ(Parser->GetParsedLine(0)->TokenCount(), 0);
  EXPECT_EQ(Parser->GetFoldEnd(0), -1);
}

TEST_F(TokenizerTest, CommentContextSurvivesTheLineBreakAndEdits) {
  Doc.Lines().SetText(u"int x; /* note\r\nstill */ y;");
  Load(u"Mini");
  EXPECT_EQ(Tokens(0), (std::vector<TTok>{{"keyword", 0, 3},
                                          {"default", 3, 1},
                                          {"Mini.id", 4, 1},
                                          {"symbol", 5, 1},
                                          {"default", 6, 1},
                                          {"comment", 7, 7}}));
  EXPECT_EQ(Tokens(1), (std::vector<TTok>{
                           {"comment", 16, 8}, {"default", 24, 1}, {"Mini.id", 25, 1}, {"symbol", 26, 1}}));
  Doc.Delete(7, 2);  // the document tells the parser
  EXPECT_EQ(Tokens(1), (std::vector<TTok>{
                           {"Mini.id", 14, 5}, {"default", 19, 4}, {"Mini.id", 23, 1}, {"symbol", 24, 1}}));
  // Runtime attributes: the comment's colour over the scheme's default.
  TKivEditParsedTokenArray arr(8);
  Parser->GetParsedLine(0)->GetTokens(0, 8, arr);
  EXPECT_EQ(arr[0].Attrs.FontStyle, fsBold);
  EXPECT_EQ(arr[0].Attrs.AttributesSet, asTextColor | asFontStyle);
}

// A handler may call the parser again (here for other lines, which recycles cached lines):
// the outer call still hands out its own line's tokens.
TEST_F(TokenizerTest, MarkTokensSurvivesAHandlerThatCallsTheParser) {
  TKivString text;
  for (int i = 0; i < 600; ++i) text += i % 2 ? u"int x; /* c */\r\n" : u"ab;\r\n";
  Doc.Lines().SetText(text);
  Load(u"Mini");
  const std::vector<TTok> expected = Tokens(1);
  struct Handler : TKivTokenHandler {
    TokenizerTest* Test;
    std::vector<TTok> Got;
    int Depth = 0;
    void HandleToken(const TKivSegment& ASeg, Integer AID, const TKivEditAttributes&) override {
      if (Depth > 0) return;
      Got.emplace_back(U8(Test->Parser->TokenName(AID)), ASeg.Start, ASeg.Count);
      ++Depth;
      Test->Parser->MarkTokens(Test->Doc.LinesCount() - 1 - static_cast<Integer>(Got.size()), *this);
      for (Integer l = 300; l < 600; l += 50) Test->Parser->GetParsedLine(l);
      --Depth;
    }
  } h;
  h.Test = this;
  Parser->MarkTokens(1, h);
  EXPECT_EQ(h.Got, expected);
}

TEST_F(TokenizerTest, PriorityAndInnerSchemes) {
  Doc.Lines().SetText(u"ab @@note ab");
  Load(u"Mini");
  // The scheme's own "ab" wins over the inherited one; "@@note" is tokenized by Comment, which
  // ends with the match.
  EXPECT_EQ(
      Tokens(0),
      (std::vector<TTok>{
          {"string", 0, 2}, {"default", 2, 1}, {"comment", 3, 6}, {"default", 9, 1}, {"string", 10, 2}}));
}

TEST_F(TokenizerTest, OverLongLineIsCutAtTheParseLimit) {
  TKivString text;
  for (int i = 0; i < 2500; ++i) text += u"x;";
  Doc.Lines().SetText(text);
  Load(u"Mini");
  TKivEditParsedLine* line = Parser->GetParsedLine(0);
  ASSERT_EQ(line->TokenCount(), 1001);
  TKivEditParsedTokenArray arr(1);
  line->GetTokens(1000, 1, arr);
  EXPECT_EQ(arr[0].Seg.Start, 1000);
  EXPECT_EQ(arr[0].Seg.Count, 4000);
  EXPECT_EQ(arr[0].TokenID, 0);
  line->GetTokens(999, 1, arr);
  EXPECT_EQ(Parser->TokenName(arr[0].TokenID), u"symbol");
  // Ids outside the scheme's tokens have no name.
  EXPECT_EQ(Parser->TokenName(-1), u"");
  EXPECT_EQ(Parser->TokenName(Parser->TokenCount()), u"");
  EXPECT_NE(Parser->TokenName(Parser->TokenCount() - 1), u"");
  TKivEditParser unloaded;
  EXPECT_EQ(unloaded.TokenCount(), 0);
  EXPECT_EQ(unloaded.TokenName(0), u"");
  EXPECT_EQ(line->GetTokenIdx(999), 999);
  EXPECT_EQ(line->GetTokenIdx(4999), 1000);
  EXPECT_EQ(line->GetTokenIdx(5000), -1);
  Doc.SetMaxLineLengthToParse(10);
  EXPECT_EQ(Parser->GetParsedLine(0)->TokenCount(), 11);
}

TEST_F(TokenizerTest, ErrorsOnAThreeLineDocument) {
  Doc.Lines().SetText(u"a;b;c;\r\n\r\nx");
  Load(u"Mini");
  for (Integer bad : {3, -1})
    EXPECT_EQ(U8(ErrorOf<EKivEditParserError>([&] { Parser->GetParsedLine(bad); })),
              "Invalid line index: " + std::to_string(bad) + ". Valid range: [0, 2]");
  TKivEditParsedLine* line = Parser->GetParsedLine(0);
  ASSERT_EQ(line->TokenCount(), 6);
  TKivEditParsedTokenArray arr(2);
  for (Integer bad : {6, -1})
    EXPECT_EQ(U8(ErrorOf<EKivEditParserError>([&] { line->GetTokens(bad, 1, arr); })),
              "Bad index for token: " + std::to_string(bad) + ". Valid range: [0, 5]");
  EXPECT_EQ(line->GetTokens(4, 5, arr), 2);  // no more than the array holds
  EXPECT_EQ(U8(ErrorOf<EKivEditParserError>([&] { Parser->GetParsedLine(1)->GetTokenIdx(0); })),
            "This line does not have any tokens");
}

TEST_F(TokenizerTest, SavedContextsAndRestartAfterAnEdit) {
  TKivString text;
  for (int i = 0; i < 500; ++i) text += u"int x; /* c */ y;\r\n";
  Doc.Lines().SetText(text);
  Load(u"Mini");
  TParserImpl& impl = TKivTestAccess::ParserImpl(*Parser);
  Parser->GetParsedLine(499);
  std::vector<Integer> lines;
  for (auto& c : impl.ContextCache().Items()) lines.push_back(c->Line);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(std::vector<Integer>(lines.begin(), lines.begin() + 4), (std::vector<Integer>{0, 51, 102, 153}));
  Doc.Insert(Doc.GetLineStart(130), u"/");
  const int64_t before = impl.FStatLinesParsed;
  Parser->GetParsedLine(130);
  EXPECT_EQ(impl.FStatFirstParsedLine, 102);
  EXPECT_LE(impl.FStatLinesParsed - before, 101 + 50);
  // A far line is evicted from the 201-line cache and re-parsed from its nearest context.
  Parser->GetParsedLine(0);
  EXPECT_EQ(impl.FStatFirstParsedLine, 0);
  const Integer nearest = impl.ContextCache().GetContext(400)->Line;
  EXPECT_GT(nearest, 130);
  Parser->GetParsedLine(400);
  EXPECT_EQ(impl.FStatFirstParsedLine, nearest);
}

TEST_F(TokenizerTest, HostileSchemesTokenizeInBoundedTime) {
  Texts.Syntax[u"Hang"] =
      uR"xml(<SchemeList root="Main">
 <Scheme name="Inner">
  <Regex regex="q*" innerScheme="Main"/>
  <Regex regex="(?=.)" token0="string"/>
 </Scheme>
 <Scheme name="Main">
  <Regex regex="x*" token0="string"/>
  <Regex regex="y?" innerScheme="Inner"/>
  <Regex regex="$" token0="symbol"/>
  <RegexBlock start="z?" end="w?" innerScheme="Inner" start_token0="string" chainBlock="C"/>
  <RegexBlock start="(a*)" end="$1" innerScheme="Main" closeInnerSchemes="true"/>
  <ChainBlock name="C" end="v?" innerScheme="Main" chainBlock="C"/>
  <Regex regex="(a|aa)*b" token0="keyword"/>
  <KeywordRegex>\w*</KeywordRegex>
 </Scheme>
</SchemeList>)xml";
  TKivString text;
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  for (int l = 0; l < 300; ++l) {
    for (int k = 0; k < 60; ++k) text += u"xyzwvqa b;\t"[rng() % 11];
    if (l % 50 == 0) text += TKivString(200, u'a');
    text += u"\r\n";
  }
  Doc.Lines().SetText(text);
  Load(u"Hang");
  const auto t0 = std::chrono::steady_clock::now();
  for (Integer l = 0; l < Doc.LinesCount(); ++l) {
    TKivEditParsedLine* line = Parser->GetParsedLine(l);
    // The tokens cover the line without gaps.
    if (line->TokenCount() == 0) continue;
    TKivEditParsedTokenArray arr(static_cast<size_t>(line->TokenCount()));
    line->GetTokens(0, -1, arr);
    Integer pos = Doc.GetLineStart(l);
    for (auto& t : arr) {
      EXPECT_EQ(t.Seg.Start, pos);
      pos += t.Seg.Count;
    }
    EXPECT_EQ(pos, Doc.GetLineEnd(l));
  }
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(20));
}

TEST_F(TokenizerTest, BrokenSchemeLeavesTheDocumentUsable) {
  Doc.SetParser(std::make_unique<TKivEditParser>());  // with the document's own loaders
  Parser = dynamic_cast<TKivEditParser*>(Doc.GetParser());
  Doc.Lines().SetText(u"int x;");
  TKivEditParserSchemeCollectionItem& colors = Doc.ColorSchemes().Add();
  colors.SetName(u"default");
  colors.Scheme().SetText(KivDemoColorScheme().Text);
  TKivEditParserSchemeCollectionItem& good = Doc.SyntaxSchemes().Add();
  good.SetName(u"C");
  good.Scheme().SetText(kCScheme);
  TKivEditParserSchemeCollectionItem& bad = Doc.SyntaxSchemes().Add();
  bad.SetName(u"Bad");
  bad.Scheme().SetText(
      u"<SchemeList root='Main'><Scheme name='Main'><Regex regex='(' token0='x'/></Scheme></SchemeList>");
  Doc.SetActiveColorScheme(u"default");
  Doc.SetActiveSyntaxScheme(u"C");
  EXPECT_TRUE(Parser->IsSchemeLoaded());
  EXPECT_EQ(Tokens(0)[0], (TTok{"keyword", 0, 3}));
  EXPECT_THAT(U8(ErrorOf<EKivSyntaxSchemeLoadError>([&] { Doc.SetActiveSyntaxScheme(u"Bad"); })),
              HasSubstr("Error in 'regex' attribute in Regex node: regex: (, error: "));
  EXPECT_FALSE(Parser->IsSchemeLoaded());
  Doc.Insert(0, u"long ");
  EXPECT_EQ(U8(Doc.Text()), "long int x;");
  EXPECT_EQ(Parser->GetParsedLine(0)->TokenCount(), 0);
}

// ---- differential: incremental parsing against a fresh parser ----

const TKivString kHtml =
    uR"xml(<SchemeList root="Main">
 <Scheme name="Comment" defaultToken="comment"/>
 <Scheme name="Main">
  <RegexBlock start="&lt;script&gt;" end="&lt;/script&gt;" innerScheme="C.Main" start_token0="tagOpen" end_token0="tagClose"/>
  <RegexBlock start="&lt;\?php" end="\?&gt;" innerScheme="C.Main" closeInnerSchemes="true" start_token0="tagOpen" end_token0="tagClose"/>
  <RegexBlock start="&lt;!--" end="--&gt;" innerScheme="Comment" start_token0="comment" end_token0="comment"/>
  <Regex regex="&lt;/?\w+" token0="tagOpen"/>
  <Regex regex="/?&gt;" token0="tagClose"/>
  <Regex regex="&amp;\w+;" token0="entity"/>
 </Scheme>
</SchemeList>)xml";

const char16_t* const kSnippets[] = {
    u"int main(int argc, char** argv) {",
    u"  if (argc > 1) { return 0; }",
    u"  /* a comment",
    u"     still in it */ x = 0x1F;",
    u"  s = \"str\\\"ing /* not a comment\";",
    u"#include <stdio.h>",
    u"#define M(a) \\",
    u"   ((a) + 1)",
    u"}",
    u"<html><body>&amp; text <!-- note",
    u"--> <script> var x = \"</script>\"; /* c",
    u"*/ } </script>",
    u"<?php if ($a) { echo \"?>\"; } ?> tail",
    u"<?php /* open comment ?> after",
    u"",
    u"  while (x) { y(); }",
};

std::vector<std::tuple<Integer, Integer, Integer, TKivColor, TKivColor, int, int>> Snapshot(
    TKivEditParsedLine* ALine) {
  std::vector<std::tuple<Integer, Integer, Integer, TKivColor, TKivColor, int, int>> res;
  if (ALine->TokenCount() == 0) return res;
  TKivEditParsedTokenArray arr(static_cast<size_t>(ALine->TokenCount()));
  ALine->GetTokens(0, -1, arr);
  for (auto& t : arr)
    res.emplace_back(t.Seg.Start, t.Seg.Count, t.TokenID, t.Attrs.TextColor, t.Attrs.BackgroundColor,
                     t.Attrs.FontStyle, t.Attrs.AttributesSet);
  return res;
}

// Edits that change line breaks: a CR LF cut in half, a lone CR, lone LFs. The document keeps
// every break as it is, so token offsets must follow the document's own text.
TEST_F(TokenizerTest, EditsOfLineBreaksKeepTokensAtTheDocumentsOffsets) {
  Doc.Lines().SetText(u"int a;\n/* x\ny */ int\nb");  // stored with CR LF breaks
  Load(u"Mini");
  auto check = [&](const char* AStep) {
    TParserImpl fresh(201, 50);
    Texts.Attach(fresh);
    fresh.LoadSchemeDoc(u"Mini", u"default");
    fresh.SetDocument(&Doc);
    for (Integer l = Doc.LinesCount() - 1; l >= 0; --l)
      ASSERT_EQ(Snapshot(Parser->GetParsedLine(l)), Snapshot(fresh.GetParsedLine(l))) << AStep << " line " << l;
  };
  check("loaded");
  Doc.Delete(6, 1);  // the first break becomes a lone LF
  check("lone LF");
  Doc.Insert(Doc.GetLineEnd(1), u"\r");  // a lone CR: an empty line inside the comment
  check("lone CR");
  Doc.Insert(Doc.CharsCount(), u"\n\nint");
  check("LFs appended");
  ASSERT_EQ(Doc.LinesCount(), 7);
  EXPECT_EQ(Tokens(6), (std::vector<TTok>{{"keyword", Doc.GetLineStart(6), 3}}));
  const Integer y = Doc.GetLineStart(3);
  EXPECT_EQ(Tokens(3), (std::vector<TTok>{{"comment", y, 4}, {"default", y + 4, 1}, {"keyword", y + 5, 3}}));
}

TEST_F(TokenizerTest, IncrementalEqualsFresh) {
  Texts.Syntax[u"H"] = kHtml;
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  TKivString text;
  for (int l = 0; l < 400; ++l) text += TKivString(kSnippets[rng() % std::size(kSnippets)]) + u"\r\n";
  Doc.Lines().SetText(text);
  Doc.ClearUndo();
  Load(u"H");
  for (int step = 0; step < 60; ++step) {
    const Integer lines = Doc.LinesCount();
    switch (rng() % 6) {
      case 0: {
        // A snippet, at times two joined by a line break of any style.
        const char16_t* const kBreaks[] = {u"", u"", u"\r\n", u"\n", u"\r"};
        const Integer at = static_cast<Integer>(rng() % (Doc.CharsCount() + 1));
        TKivString ins = kSnippets[rng() % std::size(kSnippets)];
        ins += kBreaks[rng() % std::size(kBreaks)];
        ins += kSnippets[rng() % std::size(kSnippets)];
        Doc.Insert(at, ins);
        break;
      }
      case 1: {
        const Integer n = Doc.CharsCount();
        if (n > 10) Doc.Delete(static_cast<Integer>(rng() % (n - 10)), static_cast<Integer>(1 + rng() % 8));
        break;
      }
      case 2:
        Doc.InsertLine(static_cast<Integer>(rng() % lines), kSnippets[rng() % std::size(kSnippets)]);
        break;
      case 3:
        if (lines > 2) Doc.DeleteLine(static_cast<Integer>(rng() % lines));
        break;
      case 4:
        if (Doc.CanUndo()) Doc.Undo();
        break;
      default:
        Doc.Insert(static_cast<Integer>(rng() % (Doc.CharsCount() + 1)), u"/*");
    }
    // Random-order requests, a few of them each step.
    for (int q = 0; q < 12; ++q) {
      const Integer l = static_cast<Integer>(rng() % Doc.LinesCount());
      auto got = Snapshot(Parser->GetParsedLine(l));
      TParserImpl fresh(201, 50);
      fresh.SetSchemeLoaders(Texts.SyntaxLoader(), Texts.ColorLoader());
      fresh.LoadSchemeDoc(u"H", u"default");
      fresh.SetDocument(&Doc);
      ASSERT_EQ(got, Snapshot(fresh.GetParsedLine(l))) << "step " << step << " line " << l;
    }
  }
  // Whole-document requests in order against requests in random order.
  TParserImpl ordered(201, 50), shuffled(201, 50);
  for (TParserImpl* p : {&ordered, &shuffled}) {
    p->SetSchemeLoaders(Texts.SyntaxLoader(), Texts.ColorLoader());
    p->LoadSchemeDoc(u"H", u"default");
    p->SetDocument(&Doc);
  }
  std::vector<Integer> order(static_cast<size_t>(Doc.LinesCount()));
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<Integer>(i);
  std::vector<decltype(Snapshot(nullptr))> byLine(order.size());
  for (Integer l : order) byLine[static_cast<size_t>(l)] = Snapshot(ordered.GetParsedLine(l));
  std::shuffle(order.begin(), order.end(), rng);
  for (Integer l : order) ASSERT_EQ(Snapshot(shuffled.GetParsedLine(l)), byLine[static_cast<size_t>(l)]) << l;
}

// A long text gets its contexts saved further apart (here forced by a small limit of saved
// contexts): tokens and folds after edits in one line and across lines stay those of a fresh
// parser that saves them every 50 lines.
TEST_F(TokenizerTest, SparseSavedContextsKeepTokensAndFoldsExact) {
  {
    // Contexts at lines 0, 301 and 602 only; the cached token lines are those near the end. A
    // comment opened in line 450 reaches the context at 602 with other schemes: what follows
    // it is parsed again. Typing a plain character there leaves it standing.
    TKivString plain;
    for (int l = 0; l < 900; ++l) plain += u"int x;\r\n";
    Doc.Lines().SetText(plain);
    Load(u"Mini");
    TKivTestAccess::ParserImpl(*Parser).FMaxSavedContexts = 3;
    Parser->GetParsedLine(899);
    for (const char16_t* typed : {u"x", u"/*", u"*/"}) {
      Doc.Insert(Doc.GetLineStart(450), typed);
      TParserImpl fresh(201, 50);
      Texts.Attach(fresh);
      fresh.LoadSchemeDoc(u"Mini", u"default");
      fresh.SetDocument(&Doc);
      for (Integer l : {450, 700, 601, 899})
        ASSERT_EQ(Snapshot(Parser->GetParsedLine(l)), Snapshot(fresh.GetParsedLine(l))) << U8(typed) << " line " << l;
    }
  }
  Texts.Syntax[u"H"] = kHtml;
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  TKivString text;
  for (int l = 0; l < 900; ++l) text += TKivString(kSnippets[rng() % std::size(kSnippets)]) + u"\r\n";
  Doc.Lines().SetText(text);
  Doc.ClearUndo();
  Load(u"H");
  TParserImpl& impl = TKivTestAccess::ParserImpl(*Parser);
  impl.FMaxSavedContexts = 3;
  Parser->GetParsedLine(Doc.LinesCount() - 1);
  // One context at the start, about one per 300 lines, one where the request's parse ended.
  EXPECT_LE(impl.ContextCache().Items().size(), 6u);
  for (int step = 0; step < 40; ++step) {
    const Integer line = static_cast<Integer>(rng() % Doc.LinesCount());
    const Integer start = Doc.GetLineStart(line);
    const Integer length = Doc.GetLineEnd(line) - start;
    switch (rng() % 4) {
      case 0:  // typing inside a line: the parse re-syncs at the next saved state
        Doc.Insert(start + static_cast<Integer>(rng() % static_cast<unsigned>(length + 1)), rng() % 2 ? u"x" : u"/*");
        break;
      case 1:
        if (length > 0) Doc.Delete(start, 1);
        break;
      case 2:
        Doc.InsertLine(line, kSnippets[rng() % std::size(kSnippets)]);
        break;
      default:
        if (Doc.CanUndo()) Doc.Undo();
    }
    TParserImpl fresh(201, 50);
    Texts.Attach(fresh);
    fresh.LoadSchemeDoc(u"H", u"default");
    fresh.SetDocument(&Doc);
    for (int q = 0; q < 8; ++q) {
      const Integer l = static_cast<Integer>(rng() % Doc.LinesCount());
      ASSERT_EQ(Snapshot(Parser->GetParsedLine(l)), Snapshot(fresh.GetParsedLine(l))) << "step " << step << " line " << l;
      ASSERT_EQ(Parser->GetFoldEnd(l), fresh.GetFoldEnd(l)) << "step " << step << " line " << l;
    }
  }
}

// The token-line cache against a list in use order: which lines it holds, which one it recycles
// and what KillFrom drops, over random operations with small and large line numbers.
TEST(TokenCacheTest, BehavesAsAListInUseOrder) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  for (Integer maxCount : {1, 3, 21, 201}) {
    TTokenCache cache(maxCount);
    std::list<Integer> model;  // most recently used first
    const Integer range = maxCount * 3 + 5;
    for (int step = 0; step < 20000; ++step) {
      const Integer base = (step / 5000) * 1000000;  // later rounds use large line numbers
      const Integer line = base + static_cast<Integer>(rng() % static_cast<unsigned>(range));
      const auto it = std::find(model.begin(), model.end(), line);
      switch (rng() % 8) {
        case 0:
          if (rng() % 4 == 0) {
            const Integer from = base + static_cast<Integer>(rng() % static_cast<unsigned>(range));
            cache.KillFrom(from);
            model.remove_if([from](Integer l) { return l >= from; });
          }
          break;
        case 1:
        case 2:
        case 3: {
          TTokenLine* got = cache.GetLine(line);
          ASSERT_EQ(got != nullptr, it != model.end()) << maxCount << " step " << step;
          if (got) {
            ASSERT_EQ(got->Line, line);
            model.splice(model.begin(), model, it);
          }
          break;
        }
        default:
          if (it != model.end()) break;
          ASSERT_EQ(cache.CreateLine(line, nullptr)->Line, line);
          if (static_cast<Integer>(model.size()) >= maxCount) model.pop_back();
          model.push_front(line);
      }
      ASSERT_EQ(cache.Count(), static_cast<Integer>(model.size()));
      if (step % 500 != 499) continue;
      for (Integer l = base; l < base + range; ++l)
        ASSERT_EQ(cache.HasLine(l), std::find(model.begin(), model.end(), l) != model.end())
            << maxCount << " step " << step << " line " << l;
    }
  }
}

// The token budget: after a line's tokens are counted, the least recently used lines go until
// the cache holds no more than the budget, never the line a request needs (it alone may be
// larger); against a model list of (line, tokens) in use order. A token line holds tokens of
// alternating types, so none merge.
TEST(TokenCacheTest, KeepsWithinItsTokenBudget) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  TTokenProps a, b;
  const TKivAttributesHolder attrs;
  constexpr Integer kBudget = 100;
  TTokenCache cache(201, kBudget);
  std::list<std::pair<Integer, Integer>> model;  // (line, tokens), most recently used first
  auto total = [&] {
    Integer n = 0;
    for (const auto& [line, tokens] : model) n += tokens;
    return n;
  };
  for (int step = 0; step < 5000; ++step) {
    const Integer line = static_cast<Integer>(rng() % 40);
    const Integer keep = static_cast<Integer>(rng() % 40);
    auto it = std::find_if(model.begin(), model.end(), [&](const auto& p) { return p.first == line; });
    if (it != model.end()) {
      ASSERT_NE(cache.GetLine(line), nullptr) << step;
      model.splice(model.begin(), model, it);
      continue;
    }
    TTokenLine* t = cache.CreateLine(line, nullptr);
    const Integer tokens = static_cast<Integer>(rng() % 60);
    for (Integer k = 0; k < tokens; ++k) t->AddItem(k % 2 ? &a : &b, attrs, k, 1);
    ASSERT_EQ(t->TokenCount(), tokens);
    model.emplace_front(line, tokens);
    cache.Account(t, keep);
    for (auto m = std::prev(model.end()); total() > kBudget;) {
      const bool first = m == model.begin();
      auto prev = first ? m : std::prev(m);
      if (m->first != keep) model.erase(m);
      if (first) break;
      m = prev;
    }
    ASSERT_EQ(cache.TokenTotal(), total()) << step;
    ASSERT_EQ(cache.Count(), static_cast<Integer>(model.size())) << step;
    for (const auto& [l, n] : model) ASSERT_TRUE(cache.HasLine(l)) << step << " line " << l;
    if (line == keep) {
      ASSERT_TRUE(cache.HasLine(keep)) << step;
    }
  }
}

}  // namespace

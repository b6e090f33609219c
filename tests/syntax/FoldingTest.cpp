// Code folding: the fold tree built from syntax blocks, its queries through the parser, its cut
// on edits (against fresh parsers) and blocks of an embedded scheme.
#include <chrono>
#include <cstdlib>
#include <new>
#include <random>

#include "KivTestAccess.h"
#include "KivTestSeed.h"
#include "SyntaxTestSupport.h"

namespace {

// A script scheme with the usual block shapes: functions, control statements (the
// priority-100 block takes a braceless statement up to its ';' and leaves the rest of the
// stream to the others), and plain braces that only pair.
const TKivString kScript =
    uR"xml(<SchemeList root="Main">
 <Scheme name="Comment" defaultToken="comment"/>
 <Scheme name="Main">
  <Regex regex="//.*" token0="comment"/>
  <RegexBlock start="/\*" end="\*/" innerScheme="Comment" start_token0="comment" end_token0="comment"/>
  <Regex regex="[{}()\[\];,.=+-]" token0="symbol"/>
  <KeywordRegex>\b[a-zA-Z_]\w*\b</KeywordRegex>
  <Keywords>function if else while do try catch finally switch with return var</Keywords>
  <SkipSyntaxToken token="comment tagClose"/>
  <SyntaxBlock capture="true">
   <Start>kw:function id sym:( [^ sym:; sym:} sym:{ ]* sym:) sym:{</Start>
   <End>sym:\}</End>
  </SyntaxBlock>
  <SyntaxBlock capture="true" priority="10">
   <Start>[ kw:while kw:do kw:if kw:else kw:try kw:catch kw:finally kw:switch ] [^ sym:; sym:} ]*? sym:\{</Start>
   <End>sym:}</End>
  </SyntaxBlock>
  <SyntaxBlock capture="true" priority="100" startGroupUsed="1">
   <Start>( [ kw:while kw:if kw:with ] sym:( [^ sym:; sym:} sym:{ ]+ sym:) ) [^ sym:{ sym:} sym:; ]+ sym:;</Start>
   <End>sym:;</End>
  </SyntaxBlock>
  <SyntaxBlock>
   <Start>sym:{</Start>
   <End>sym:}</End>
  </SyntaxBlock>
 </Scheme>
</SchemeList>)xml";

// Markup with folding elements and the script scheme embedded between script tags. The script
// scheme skips the closing tag's token, so its code stream is empty when the script ends.
const TKivString kMarkup =
    uR"xml(<SchemeList root="Main">
 <Scheme name="Main">
  <RegexBlock start="&lt;script&gt;" end="&lt;/script&gt;" innerScheme="S.Main" start_token0="tagOpen" end_token0="tagClose" priority="10"/>
  <Regex regex="(&lt;)(\w+)(&gt;)" token1="tag" token2="tagName" token3="tag"/>
  <Regex regex="(&lt;/)(\w+)(&gt;)" token1="tag" token2="endTagName" token3="tag"/>
  <SyntaxBlock capture="true">
   <Start>[ tagName:div tagName:body ]</Start>
   <End>[ endTagName:div endTagName:body ]</End>
  </SyntaxBlock>
 </Scheme>
</SchemeList>)xml";

// Every query on every line: fold start, fold end, fold start of an end, end line, parent.
using TFoldRow = std::tuple<bool, Integer, bool, Integer, Integer>;

template <class P>
std::vector<TFoldRow> AllQueries(P& AParser, Integer ALines) {
  std::vector<TFoldRow> res;
  for (Integer l = 0; l < ALines; ++l)
    res.emplace_back(AParser.IsFoldStart(l), AParser.GetFoldEnd(l), AParser.IsFoldEnd(l), AParser.GetFoldStart(l),
                     AParser.GetParentLine(l));
  return res;
}

std::string Row(const TFoldRow& ARow) {
  auto [start, end, isEnd, startOfEnd, parent] = ARow;
  return "start " + std::to_string(start) + " end " + std::to_string(end) + " isEnd " + std::to_string(isEnd) +
         " startOfEnd " + std::to_string(startOfEnd) + " parent " + std::to_string(parent);
}

// Equal answers on every line; otherwise the first line that differs.
::testing::AssertionResult SameFolds(const std::vector<TFoldRow>& AGot, const std::vector<TFoldRow>& AExpected) {
  for (size_t l = 0; l < std::min(AGot.size(), AExpected.size()); ++l)
    if (AGot[l] != AExpected[l])
      return ::testing::AssertionFailure() << "line " << l << ": got " << Row(AGot[l]) << ", a fresh parser "
                                           << Row(AExpected[l]);
  if (AGot.size() != AExpected.size()) return ::testing::AssertionFailure() << "line counts differ";
  return ::testing::AssertionSuccess();
}

struct FoldingTest : ::testing::Test {
  TKivEditDocument Doc;
  TSchemeTexts Texts;
  TKivEditParser* Parser = nullptr;

  void SetUp() override {
    Parser = dynamic_cast<TKivEditParser*>(Doc.GetParser());
    ASSERT_TRUE(Parser);
    Texts.Syntax[u"S"] = kScript;
    Texts.Syntax[u"M"] = kMarkup;
    Parser->SetSchemeLoaders(Texts.SyntaxLoader(), Texts.ColorLoader());
  }
  void Open(const TKivString& AText, const TKivString& AScheme = u"S") {
    Doc.Lines().SetText(AText);
    Doc.ClearUndo();
    Parser->LoadSchemeDoc(AScheme, u"default");
    Parser->Refresh();
  }
  std::unique_ptr<TParserImpl> Fresh(const TKivString& AScheme, Integer ACache = 201, Integer AInterval = 50) {
    auto p = std::make_unique<TParserImpl>(ACache, AInterval);
    p->SetSchemeLoaders(Texts.SyntaxLoader(), Texts.ColorLoader());
    p->LoadSchemeDoc(AScheme, u"default");
    p->SetDocument(&Doc);
    return p;
  }
  std::vector<TFoldRow> FreshQueries(const TKivString& AScheme = u"S") {
    return AllQueries(*Fresh(AScheme), Doc.LinesCount());
  }
};

const TKivString kExample = u"function f(a) {\r\n  if (a) {\r\n    x();\r\n  }\r\n  y();\r\n}";

TEST_F(FoldingTest, FunctionWithNestedIf) {
  Open(kExample);
  EXPECT_TRUE(Parser->IsFoldStart(0));
  EXPECT_TRUE(Parser->IsFoldStart(1));
  EXPECT_FALSE(Parser->IsFoldStart(2));
  EXPECT_EQ(Parser->GetFoldEnd(0), 5);
  EXPECT_EQ(Parser->GetFoldEnd(1), 3);
  EXPECT_EQ(Parser->GetFoldStart(3), 1);
  EXPECT_EQ(Parser->GetFoldStart(5), 0);
  EXPECT_TRUE(Parser->IsFoldEnd(3));
  EXPECT_TRUE(Parser->IsFoldEnd(5));
  EXPECT_FALSE(Parser->IsFoldEnd(4));
  // A fold's start line belongs to the enclosing fold, its end line to the fold itself.
  const std::vector<Integer> parents{-1, 0, 1, 1, 0, 0};
  for (Integer l = 0; l < 6; ++l) EXPECT_EQ(Parser->GetParentLine(l), parents[static_cast<size_t>(l)]) << l;
  // After these requests in no particular order, the answers of a fresh parser asked line by line.
  EXPECT_EQ(AllQueries(*Parser, 6), FreshQueries());
  const TParserTree& tree = TKivTestAccess::ParserImpl(*Parser).ParseTree();
  EXPECT_EQ(tree.NodeCount(), 2);
  EXPECT_EQ(tree.LastKnownLine(), 5);
}

TEST_F(FoldingTest, BlockShapes) {
  struct TCase {
    const char* Name;
    const char16_t* Text;
    std::vector<std::pair<Integer, Integer>> Folds;  // start line -> GetFoldEnd
    std::vector<Integer> NotStarts;
    std::vector<Integer> Ends;  // lines with IsFoldEnd
  };
  const TCase cases[] = {
      {"else block opens where the if fold ends", u"if (a) {\r\n  x();\r\n} else {\r\n  y();\r\n}", {{0, 2}}, {2}, {2}},
      {"one-line block", u"function f() {\r\n}", {}, {0}, {}},
      {"three-line block", u"function f() {\r\nx();\r\n}", {{0, 2}}, {}, {2}},
      // Codes on the last line: the document's end closes the block there.
      {"unterminated block ends at the last line", u"function f() {\r\nx();\r\ny();", {{0, 2}}, {}, {2}},
      // At the document's end an empty stream leaves the block open: no fold end on line 3.
      {"unterminated with a trailing empty line", u"function f() {\r\nx();\r\ny();\r\n\r\n", {{0, 3}}, {}, {}},
      {"brace in a comment", u"function f() {\r\n/* } */\r\nx();\r\n}", {{0, 3}}, {}, {3}},
      {"brace in a line comment", u"function f() {\r\n// }\r\nx();\r\n}", {{0, 3}}, {}, {3}},
      {"two blocks open on one line: the outer one's end",
       u"function f() { if (a) {\r\nx();\r\n\r\n}\r\ny();\r\n}",
       {{0, 5}},
       {1},
       {3, 5}},
      {"inner braces pair without folding", u"function f() {\r\n  var o = {\r\n  a };\r\n  x();\r\n}", {{0, 4}}, {1}, {4}},
      {"braceless if statement leaves the rest to the others",
       u"function f() {\r\n  if (a) x();\r\n  y();\r\n}",
       {{0, 3}},
       {1},
       {3}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Open(c.Text);
    for (auto [start, end] : c.Folds) {
      EXPECT_TRUE(Parser->IsFoldStart(start)) << start;
      EXPECT_EQ(Parser->GetFoldEnd(start), end) << start;
    }
    for (Integer l : c.NotStarts) EXPECT_FALSE(Parser->IsFoldStart(l)) << l;
    for (Integer l = 0; l < Doc.LinesCount(); ++l)
      EXPECT_EQ(Parser->IsFoldEnd(l), std::count(c.Ends.begin(), c.Ends.end(), l) == 1) << l;
    EXPECT_EQ(AllQueries(*Parser, Doc.LinesCount()), FreshQueries());
  }
}

TEST_F(FoldingTest, TwoFoldsEndingOnOneLineAnswerTheOuterStart) {
  Open(u"function f() {\r\nif (a) {\r\nx();\r\n\r\n} }");
  EXPECT_EQ(Parser->GetFoldStart(4), 0);
  EXPECT_EQ(Parser->GetFoldEnd(0), 4);
  EXPECT_EQ(Parser->GetFoldEnd(1), 4);
  EXPECT_EQ(Parser->GetParentLine(2), 1);
  EXPECT_EQ(Parser->GetParentLine(4), 1);
}

TEST_F(FoldingTest, QueriesOutsideFoldsAnswerNone) {
  // Without a scheme the parser answers as the base parser does.
  Doc.Lines().SetText(kExample);
  EXPECT_FALSE(Parser->IsFoldStart(0));
  EXPECT_EQ(Parser->GetFoldEnd(0), -1);
  Open(kExample);
  for (Integer l : {-1, 6, 1000}) {
    EXPECT_FALSE(Parser->IsFoldStart(l)) << l;
    EXPECT_FALSE(Parser->IsFoldEnd(l)) << l;
    EXPECT_EQ(Parser->GetFoldEnd(l), -1) << l;
    EXPECT_EQ(Parser->GetFoldStart(l), -1) << l;
    EXPECT_EQ(Parser->GetParentLine(l), -1) << l;
  }
  EXPECT_EQ(Parser->GetFoldEnd(2), -1);    // not a fold start
  EXPECT_EQ(Parser->GetFoldStart(2), -1);  // not a fold end
  Parser->UnloadSchemes();
  EXPECT_FALSE(Parser->IsFoldStart(0));
}

TEST_F(FoldingTest, EditsInsideAFoldRebuildIt) {
  Open(kExample);
  ASSERT_EQ(Parser->GetFoldEnd(0), 5);
  Doc.InsertLine(4, u"  z();");  // the document tells the parser which lines changed
  EXPECT_EQ(Parser->GetFoldEnd(0), 6);
  EXPECT_EQ(Parser->GetParentLine(5), 0);
  EXPECT_EQ(Parser->GetFoldEnd(1), 3);
  EXPECT_EQ(AllQueries(*Parser, 7), FreshQueries());
  // Closing the if block on its next line takes its fold away and moves the function's end.
  Doc.Insert(Doc.GetLineStart(2), u"}");
  EXPECT_FALSE(Parser->IsFoldStart(1));
  EXPECT_EQ(Parser->GetFoldEnd(0), 3);
  EXPECT_EQ(AllQueries(*Parser, 7), FreshQueries());
  Doc.Undo();
  EXPECT_EQ(Parser->GetFoldEnd(1), 3);
  EXPECT_EQ(AllQueries(*Parser, 7), FreshQueries());
  // An explicit call with the first changed line gives the same answers.
  Parser->LinesChangedFrom(3);
  EXPECT_EQ(AllQueries(*Parser, 7), FreshQueries());
  EXPECT_EQ(Parser->GetFoldEnd(0), 6);
}

TEST_F(FoldingTest, TreeCutKeepsWhatEndsBeforeTheLine) {
  Open(u"function a() {\r\nx();\r\n}\r\nfunction b() {\r\nif (c) {\r\ny();\r\n}\r\n}");
  Parser->EnsureLineParsed(7);
  TParserImpl& impl = TKivTestAccess::ParserImpl(*Parser);
  ASSERT_EQ(impl.ParseTree().NodeCount(), 3);
  TParserTree& tree = const_cast<TParserTree&>(impl.ParseTree());
  tree.KillFrom(5);  // b stays (reopened), its if block (line 4) stays open, nothing starts later
  EXPECT_EQ(tree.NodeCount(), 3);
  EXPECT_EQ(tree.LastKnownLine(), 4);
  EXPECT_EQ(tree.LineEndToNode(2)->StartLine, 0);
  EXPECT_EQ(tree.LineEndToNode(6), nullptr);
  EXPECT_EQ(tree.LineEndToNode(7), nullptr);
  EXPECT_EQ(tree.FindParent(6)->StartLine, 4);
  tree.KillFrom(4);
  EXPECT_EQ(tree.NodeCount(), 2);
  EXPECT_EQ(tree.LineStartToNode(4), nullptr);
  EXPECT_EQ(tree.LastKnownLine(), 3);
  tree.KillFrom(3);
  EXPECT_EQ(tree.NodeCount(), 1);
  EXPECT_EQ(tree.LastKnownLine(), 2);
  tree.KillFrom(0);
  EXPECT_EQ(tree.NodeCount(), 0);
  EXPECT_EQ(tree.LastKnownLine(), -1);
  EXPECT_EQ(tree.LineStartToNode(0), nullptr);
}

TEST_F(FoldingTest, ANodeMadeAfterTheLastSaveIsForgottenWithIt) {
  // The if block folds only after six lines: its node is made at the start of line 8, after
  // the context saved before line 6, though it starts on line 2 where the function's node
  // (the tree's last line at that save) starts as well.
  TKivString late = kScript;
  late.replace(late.find(u"priority=\"10\""), 13, u"priority=\"10\" minLines=\"6\"");
  Texts.Syntax[u"T"] = late;
  Open(u"function g() {\r\nx();\r\nfunction f() { if (a) {\r\nx();\r\nx();\r\nx();\r\nx();\r\nx();\r\n"
       u"x();\r\nx();\r\n}\r\n}\r\n}\r\n}",
       u"T");
  auto parser = Fresh(u"T", 21, 2);
  parser->EnsureLineParsed(Doc.LinesCount() - 1);
  ASSERT_EQ(parser->ParseTree().NodeCount(), 3);
  // Closing the if block on line 7 leaves it without a fold.
  Doc.DeleteLine(7);
  Doc.InsertLine(7, u"}");
  parser->InvalidateFrom(7);
  EXPECT_TRUE(SameFolds(AllQueries(*parser, Doc.LinesCount()), FreshQueries(u"T")));
  EXPECT_FALSE(parser->IsFoldStart(7));
  EXPECT_EQ(parser->ParseTree().NodeCount(), 2);  // g and f, no node left over from the if block
}

const std::vector<const char16_t*> kScriptSnippets = {
    u"function f(a) {", u"  if (a) {",      u"    x();",       u"  }",         u"  y();",
    u"}",               u"} else {",        u"  while (b) {",  u"  /* } */",   u"  // {",
    u"  /* {",          u"  } */",          u"  if (c) z();",  u"  var o = {", u"  };",
    u"function g() { if (d) {", u"} }",     u"",               u"  do {",      u"  try {",
    u"function h(a,",   u"  b) {",          u"  if (e)",       u"    w();",
};
const std::vector<const char16_t*> kMarkupSnippets = {
    u"<body>", u"</body>", u"<div>", u"text", u"</div>", u"<script>", u"</script>",
    u"<script> function k() {", u"} </script>", u"  if (a) {", u"  }", u"function h(a,", u"  b) {",
};

// The first line where two texts differ.
Integer FirstChangedLine(const TKivString& AOld, const TKivString& ANew) {
  Integer line = 0;
  for (size_t i = 0; i < std::min(AOld.size(), ANew.size()) && AOld[i] == ANew[i]; ++i)
    if (AOld[i] == u'\n') ++line;
  return line;
}

TEST_F(FoldingTest, RandomEditsGiveTheFoldsOfAFreshParser) {
  KIV_TEST_SEED(seed);
  // The script scheme, the same with blocks that fold only after four lines, and markup with
  // embedded scripts.
  TKivString late = kScript;
  for (size_t p = 0; (p = late.find(u"capture=\"true\"", p)) != TKivString::npos; p += 30)
    late.insert(p, u"minLines=\"4\" ");
  Texts.Syntax[u"L"] = late;
  const std::tuple<const char16_t*, const std::vector<const char16_t*>*, std::vector<const char16_t*>> configs[] = {
      {u"S", &kScriptSnippets, {u"}", u"{"}},
      {u"L", &kScriptSnippets, {u"}", u"{"}},
      {u"M", &kMarkupSnippets, {u"</div>", u"<div>", u"</script>"}},
  };
  std::mt19937 rng(seed);
  for (const auto& [scheme, snippets, pieces] : configs) {
    SCOPED_TRACE(U8(scheme));
    auto snippet = [&, snippets = snippets] { return TKivString((*snippets)[rng() % snippets->size()]); };
    TKivString text;
    for (int l = 0; l < 300; ++l) text += snippet() + u"\r\n";
    Open(text, scheme);
    // A second incremental parser with short save intervals, told of each edit by hand.
    auto small = Fresh(scheme, 21, 5);
    for (int step = 0; step < 30; ++step) {
      const TKivString before = Doc.Text();
      const Integer lines = Doc.LinesCount();
      const Integer line = static_cast<Integer>(rng() % lines);
      switch (rng() % 5) {
        case 0:
          Doc.InsertLine(line, snippet());
          break;
        case 1:
          if (lines > 2) Doc.DeleteLine(line);
          break;
        case 2:
          Doc.Insert(Doc.GetLineStart(line), pieces[rng() % pieces.size()]);
          break;
        case 3:
          Doc.Insert(Doc.GetLineStart(line), snippet() + u"\r\n" + snippet());
          break;
        default:
          if (Doc.CanUndo()) Doc.Undo();
      }
      small->InvalidateFrom(FirstChangedLine(before, Doc.Text()));
      // Scattered requests first, so the incremental parsers stop at varied places.
      for (int q = 0; q < 5; ++q) {
        const Integer l = static_cast<Integer>(rng() % Doc.LinesCount());
        Parser->IsFoldStart(l);
        small->GetParentLine(l);
      }
      const auto expected = FreshQueries(scheme);
      ASSERT_TRUE(SameFolds(AllQueries(*Parser, Doc.LinesCount()), expected)) << "step " << step;
      ASSERT_TRUE(SameFolds(AllQueries(*small, Doc.LinesCount()), expected)) << "step " << step;
    }
  }
}

TEST_F(FoldingTest, EmbeddedScriptClosesItsBlocksAtTheClosingTag) {
  Open(
      u"<body>\r\n<script>\r\nfunction f() {\r\n  x();\r\n</script>\r\n<div>\r\ntext\r\n\r\n</div>\r\n"
      u"after\r\n</body>",
      u"M");
  EXPECT_TRUE(Parser->IsFoldStart(0));
  EXPECT_EQ(Parser->GetFoldEnd(0), 10);
  EXPECT_TRUE(Parser->IsFoldStart(2));
  EXPECT_EQ(Parser->GetFoldEnd(2), 4);  // the unterminated function ends with its script
  EXPECT_EQ(Parser->GetParentLine(3), 2);
  EXPECT_EQ(Parser->GetParentLine(4), 2);
  for (Integer l : {5, 9}) EXPECT_EQ(Parser->GetParentLine(l), 0) << l;
  EXPECT_EQ(Parser->GetParentLine(6), 5);
  EXPECT_EQ(Parser->GetFoldEnd(5), 8);
  EXPECT_EQ(AllQueries(*Parser, Doc.LinesCount()), FreshQueries(u"M"));
}

}  // namespace

// ---- deep nesting and running out of memory ----

namespace {

// Allocations fail from the countdown's end on while it runs (-1: never). Every allocation of
// this test program goes through here.
long gAllocationsLeft = -1;

}  // namespace

// The replacements pair malloc with free; the compiler cannot see that the two go together.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t ASize) {
  if (gAllocationsLeft == 0) throw std::bad_alloc();
  if (gAllocationsLeft > 0) --gAllocationsLeft;
  if (void* p = std::malloc(ASize ? ASize : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* APtr) noexcept { std::free(APtr); }
void operator delete(void* APtr, std::size_t) noexcept { std::free(APtr); }
#pragma GCC diagnostic pop

namespace {

TKivString Nested(Integer ADepth, const TKivString& AOpen) {
  TKivString text;
  for (Integer i = 0; i < ADepth; ++i) text += AOpen + u"\r\n";
  for (Integer i = 0; i < ADepth; ++i) text += i + 1 < ADepth ? u"}\r\n" : u"}";
  return text;
}

// The tokens of every line as text.
std::string AllTokens(TParserImpl& AImpl, Integer ALines) {
  std::string res;
  for (Integer l = 0; l < ALines; ++l) {
    TKivEditParsedLine* line = AImpl.GetParsedLine(l);
    TKivEditParsedTokenArray arr(static_cast<size_t>(line->TokenCount()));
    const Integer n = line->TokenCount() ? line->GetTokens(0, -1, arr) : 0;
    for (Integer i = 0; i < n; ++i)
      res += std::to_string(arr[i].TokenID) + "@" + std::to_string(arr[i].Seg.Start) + "+" +
             std::to_string(arr[i].Seg.Count) + " ";
    res += "\n";
  }
  return res;
}

}  // namespace

// Every saved context once copied the whole stack of open blocks: time and memory grew with
// depth times lines (tens of seconds and gigabytes at this depth). The stack is shared now.
// The answers a walk in steps uses: a fold's end only once parsing got there, never a parse to it.
TEST_F(FoldingTest, KnownFoldEndWaitsForTheParseToReachTheEnd) {
  TKivString text = u"function f(a) {\r\n";
  for (int i = 0; i < 3000; ++i) text += u"  x();\r\n";
  text += u"}\r\ny();";
  Open(text);
  EXPECT_EQ(Parser->KnownFoldEnd(1), -1);
  EXPECT_EQ(Parser->KnownFoldEnd(0), TKivEditParserBase::kFoldEndUnknown);
  const Integer parsed = Parser->LastParsedLine();
  EXPECT_GE(parsed, 1);
  EXPECT_LT(parsed, 3001);
  Parser->EnsureLineParsed(2000);
  EXPECT_GE(Parser->LastParsedLine(), 2000);
  EXPECT_EQ(Parser->KnownFoldEnd(0), TKivEditParserBase::kFoldEndUnknown);
  Parser->EnsureLineParsed(3001);
  EXPECT_EQ(Parser->KnownFoldEnd(0), 3001);
  EXPECT_EQ(Parser->GetFoldEnd(0), 3001);
  // An edit above forgets the parse after it.
  Doc.Insert(Doc.GetLineStart(10), u"{\r\n");
  EXPECT_LT(Parser->LastParsedLine(), 3001);
  // Without a scheme everything is known.
  TKivEditDocument plain;
  plain.Insert(0, u"a\r\nb");
  EXPECT_EQ(plain.GetParser()->LastParsedLine(), 1);
  EXPECT_EQ(plain.GetParser()->KnownFoldEnd(0), -1);
}

TEST_F(FoldingTest, DeepNestingParsesToTheEndInLinearTime) {
  constexpr Integer kDepth = 100000;
  for (const TKivString open : {u"{", u"if (x) {"}) {
    SCOPED_TRACE(U8(open));
    Open(Nested(kDepth, open));
    const Integer last = Doc.LinesCount() - 1;
    ASSERT_EQ(last, 2 * kDepth - 1);
    const auto start = std::chrono::steady_clock::now();
    Parser->EnsureLineParsed(last);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 20.0);  // about 0.1 s optimised, 2 s with sanitizers; quadratic, minutes
    const bool folds = open != u"{";
    EXPECT_EQ(Parser->GetFoldEnd(0), folds ? last : -1);
    EXPECT_EQ(Parser->GetFoldEnd(kDepth - 10), folds ? kDepth + 9 : -1);
    EXPECT_EQ(Parser->GetParentLine(kDepth - 10), folds ? kDepth - 11 : -1);
    // An edit in the middle re-parses from the context saved before it.
    Doc.Insert(Doc.GetLineStart(kDepth / 2), u"x;");
    Parser->EnsureLineParsed(last);
    EXPECT_EQ(Parser->GetFoldEnd(0), folds ? last : -1);
  }
}

// An allocation that fails part way through a parse leaves the parser as if that parse had not
// happened: later requests answer as a fresh parser does.
TEST_F(FoldingTest, AnAllocationFailureMidParseLeavesTheParserUsable) {
  KIV_TEST_SEED(seed);
  std::mt19937 rnd(seed);
  Open(Nested(150, u"if (x) {") + u"\r\n" + kExample + u"\r\n" + Nested(100, u"while (y) {"));
  const Integer lines = Doc.LinesCount();
  const std::string tokens = AllTokens(*Fresh(u"S"), lines);
  const std::vector<TFoldRow> folds = FreshQueries();
  // How many allocations a whole parse makes: the failures fall inside it.
  Parser->Refresh();
  gAllocationsLeft = 1L << 40;
  Parser->EnsureLineParsed(lines - 1);
  Parser->GetFoldEnd(0);
  const long parseAllocations = (1L << 40) - gAllocationsLeft;
  gAllocationsLeft = -1;
  ASSERT_GT(parseAllocations, 100);
  int failures = 0;
  for (int round = 0; round < 12; ++round) {
    Parser->Refresh();
    if (round % 3 == 1) Parser->EnsureLineParsed(std::uniform_int_distribution<Integer>(0, lines - 1)(rnd));
    gAllocationsLeft = std::uniform_int_distribution<long>(0, parseAllocations - 1)(rnd);
    try {
      Parser->EnsureLineParsed(lines - 1);
      Parser->GetFoldEnd(0);
    } catch (const std::bad_alloc&) {
      ++failures;
    }
    gAllocationsLeft = -1;
    SCOPED_TRACE("round " + std::to_string(round));
    ASSERT_EQ(AllTokens(TKivTestAccess::ParserImpl(*Parser), lines), tokens);
    ASSERT_TRUE(SameFolds(AllQueries(*Parser, lines), folds));
  }
  EXPECT_GT(failures, 3);
}

namespace {

std::vector<std::tuple<Integer, Integer, Integer, TKivColor, TKivColor, int, int>> TokenRows(
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


// Every token MarkTokens reports: start, length and token.
struct TTokenRecorder : TKivTokenHandler {
  std::vector<std::tuple<Integer, Integer, Integer>> Rows;
  void HandleToken(const TKivSegment& ASeg, Integer ATokenID, const TKivEditAttributes&) override {
    Rows.emplace_back(ASeg.Start, ASeg.Count, ATokenID);
  }
};

// ALines lines of ASnippets: every AEvery-th one (from line 1) APieces snippets long, the others
// one snippet. Snippets with a line comment are left out (it would swallow a long line's rest).
TKivString LongLinesText(std::mt19937& ARng, const std::vector<const char16_t*>& ASnippets, int ALines, int AEvery,
                         int APieces) {
  const auto snippet = [&] {
    for (;;) {
      const TKivString s = ASnippets[ARng() % ASnippets.size()];
      if (s.find(u"//") == TKivString::npos) return s;
    }
  };
  TKivString text;
  for (int l = 0; l < ALines; ++l) {
    if (l % AEvery == 1)
      for (int k = 0; k < APieces; ++k) text += snippet() + u" ";
    else
      text += snippet();
    text += u"\r\n";
  }
  return text;
}

// ALine's tokens and what MarkTokens reports for it equal those of the fresh parser AExpected.
void ExpectLineAsFresh(TKivEditParser& AParser, TParserImpl& AExpected, Integer ALine) {
  SCOPED_TRACE("line " + std::to_string(ALine));
  ASSERT_EQ(TokenRows(AParser.GetParsedLine(ALine)), TokenRows(AExpected.GetParsedLine(ALine)));
  TTokenRecorder got, want;
  AParser.MarkTokens(ALine, got);
  AExpected.MarkTokens(ALine, want);
  ASSERT_EQ(got.Rows, want.Rows);
}

}  // namespace

// Deleting inside a line is such an edit as well as typing: what was parsed after the line stays
// (an undo of typing far above the window must not re-parse down to it).
TEST_F(FoldingTest, AnEditInsideALineKeepsWhatFollows) {
  TKivString text;
  for (int l = 0; l < 2000; ++l) text += u"abc def;\r\n";
  Open(text, u"S");
  Parser->GetParsedLine(Doc.LinesCount() - 1);
  const Integer at = Doc.GetLineStart(1000) + 1;
  const TParserImpl& impl = TKivTestAccess::ParserImpl(*Parser);
  for (const bool insert : {true, false}) {
    Parser->GetParsedLine(1000);  // the caret's line is on screen
    const int64_t before = impl.FStatLinesParsed;
    if (insert)
      Doc.Insert(at, u"x");
    else
      Doc.Delete(at, 1);
    Parser->GetParsedLine(Doc.LinesCount() - 1);
    EXPECT_LE(impl.FStatLinesParsed - before, 2) << (insert ? "insert" : "delete");
  }
}

// Typing inside lines (no line break typed or deleted): the re-parse stops where it meets the
// state saved after the line, and every answer (tokens around the edit and far from it, folds)
// equals a fresh parser's. Pieces that open or close comments, blocks and embedded scripts make
// it go on past the line as well.
TEST_F(FoldingTest, TypingInsideLinesGivesTheAnswersOfAFreshParser) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  const std::pair<const char16_t*, const std::vector<const char16_t*>*> configs[] = {
      {u"S", &kScriptSnippets}, {u"M", &kMarkupSnippets}};
  const char16_t* const pieces[] = {u"x",  u"a", u" ",  u"{", u"}",        u"/*",       u"*/", u"//",
                                    u"(", u")", u";",  u"if", u"function", u"<script>", u"</script>",
                                    u"<div>", u"</div>", u"e", u"w"};
  for (const auto& [scheme, snippets] : configs) {
    SCOPED_TRACE(U8(scheme));
    TKivString text;
    for (int l = 0; l < 300; ++l) text += TKivString((*snippets)[rng() % snippets->size()]) + u"\r\n";
    Open(text, scheme);
    Integer cursor = static_cast<Integer>(rng() % Doc.LinesCount());
    int shortReparses = 0;
    for (int step = 0; step < 200; ++step) {
      // The caret wanders: mostly the same line, at times a jump.
      if (rng() % 8 == 0) cursor = static_cast<Integer>(rng() % Doc.LinesCount());
      const Integer s = Doc.GetLineStart(cursor), e = Doc.GetLineEnd(cursor);
      if (rng() % 3 == 0 && e > s) {
        const Integer at = s + static_cast<Integer>(rng() % (e - s));
        Doc.Delete(at, std::min<Integer>(e - at, 1 + static_cast<Integer>(rng() % 2)));
      } else {
        Doc.Insert(s + static_cast<Integer>(rng() % (e - s + 1)), pieces[rng() % std::size(pieces)]);
      }
      // The view asks for the lines around the caret, at times for others.
      const int64_t before = TKivTestAccess::ParserImpl(*Parser).FStatLinesParsed;
      Parser->GetParsedLine(cursor);
      if (TKivTestAccess::ParserImpl(*Parser).FStatLinesParsed - before <= 2) ++shortReparses;
      auto fresh = Fresh(scheme);
      for (Integer l = std::max<Integer>(0, cursor - 3); l < std::min(Doc.LinesCount(), cursor + 4); ++l)
        ASSERT_EQ(TokenRows(Parser->GetParsedLine(l)), TokenRows(fresh->GetParsedLine(l)))
            << "step " << step << " line " << l;
      const Integer far = static_cast<Integer>(rng() % Doc.LinesCount());
      ASSERT_EQ(TokenRows(Parser->GetParsedLine(far)), TokenRows(fresh->GetParsedLine(far)))
          << "step " << step << " line " << far;
      if (step % 20 == 19) {
        ASSERT_TRUE(SameFolds(AllQueries(*Parser, Doc.LinesCount()), FreshQueries(scheme))) << "step " << step;
      }
    }
    // Many keystrokes re-tokenize the line alone (the others change the codes the syntax blocks
    // see, or land on a line no longer cached).
    EXPECT_GT(shortReparses, 30);
  }
}

TEST_F(FoldingTest, AnEditDropsTheParseStateAfterItInOneStepAndFreesItWhileParsingGoesOn) {
  // Far more folds and saved contexts after the edit than one parse request frees.
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  TKivString text;
  for (int l = 0; l < 36000; ++l) text += TKivString(kScriptSnippets[rng() % kScriptSnippets.size()]) + u"\r\n";
  Open(text);
  TParserImpl& impl = TKivTestAccess::ParserImpl(*Parser);
  Parser->EnsureLineParsed(Doc.LinesCount() - 1);
  ASSERT_GT(impl.ParseTree().NodeCount(), 5000);
  // Lines broken and joined near the start, each after parsing a little: the dropped state of
  // one edit is still being freed when the next comes, and the tree grows again beside it.
  for (int step = 0; step < 6; ++step) {
    const Integer line = 50 + static_cast<Integer>(rng() % 200);
    if (step % 2 == 0)
      Doc.InsertLine(line, TKivString(kScriptSnippets[rng() % kScriptSnippets.size()]));
    else
      Doc.DeleteLine(line);
    EXPECT_TRUE(impl.ParseTree().HasDropped()) << "step " << step;
    if (step == 0) {
      EXPECT_TRUE(impl.ContextCache().HasDropped());
    }
    Parser->GetParsedLine(line + 100 * step);
  }
  ASSERT_TRUE(SameFolds(AllQueries(*Parser, Doc.LinesCount()), FreshQueries()));
  // Parsing on frees the rest, a part with each request.
  Parser->Refresh();
  for (int i = 0; i < 1000 && (impl.ParseTree().HasDropped() || impl.ContextCache().HasDropped()); ++i)
    Parser->GetParsedLine(i);
  EXPECT_FALSE(impl.ParseTree().HasDropped());
  EXPECT_FALSE(impl.ContextCache().HasDropped());
  EXPECT_TRUE(SameFolds(AllQueries(*Parser, Doc.LinesCount()), FreshQueries()));
}

// Typing inside long lines with states saved inside them every 64 characters: the re-parse
// starts from the last state before the edit and stops at a later one reached in the same
// state; every answer (the edited line's tokens, MarkTokens, other lines, folds) equals a fresh
// parser's. Lines of the whole text stay tokenized (MaxLineLengthToParse above their length).
TEST_F(FoldingTest, TypingInsideLongLinesGivesTheAnswersOfAFreshParser) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  const std::pair<const char16_t*, const std::vector<const char16_t*>*> configs[] = {
      {u"S", &kScriptSnippets}, {u"M", &kMarkupSnippets}};
  const char16_t* const pieces[] = {u"x",  u"a",  u" ", u"{",        u"}",        u"/*",    u"*/",
                                    u"//", u"(",  u")", u";",        u"if",       u"function",
                                    u"<script>", u"</script>", u"<div>", u"</div>", u"e"};
  constexpr Integer kMaxLength = 100000;
  for (const auto& [scheme, snippets] : configs) {
    SCOPED_TRACE(U8(scheme));
    // Every fourth line long (about 1,500 characters), the others short.
    Open(LongLinesText(rng, *snippets, 24, 4, 150), scheme);
    Parser->SetMaxLineLengthToParse(kMaxLength);
    TKivTestAccess::SetInLineSaveInterval(*Parser, 64);
    const TParserImpl& impl = TKivTestAccess::ParserImpl(*Parser);
    auto fresh = [&] {
      auto p = Fresh(scheme);
      p->SetMaxLineLengthToParse(kMaxLength);
      return p;
    };
    int shortReparses = 0;
    for (int step = 0; step < 300; ++step) {
      Integer line = 1 + 4 * static_cast<Integer>(rng() % 6);
      if (rng() % 6 == 0) line = static_cast<Integer>(rng() % Doc.LinesCount());
      const Integer s = Doc.GetLineStart(line), e = Doc.GetLineEnd(line);
      if (rng() % 3 == 0 && e > s) {
        const Integer at = s + static_cast<Integer>(rng() % (e - s));
        Doc.Delete(at, std::min<Integer>(e - at, 1 + static_cast<Integer>(rng() % 3)));
      } else {
        Doc.Insert(s + static_cast<Integer>(rng() % (e - s + 1)), pieces[rng() % std::size(pieces)]);
      }
      const int64_t before = impl.FStatCharsParsed;
      Parser->GetParsedLine(line);
      if (line % 4 == 1 && impl.FStatCharsParsed - before <= 4 * 64) ++shortReparses;
      SCOPED_TRACE("step " + std::to_string(step));
      auto expected = fresh();
      ASSERT_NO_FATAL_FAILURE(ExpectLineAsFresh(*Parser, *expected, line));
      ASSERT_NO_FATAL_FAILURE(ExpectLineAsFresh(*Parser, *expected, static_cast<Integer>(rng() % Doc.LinesCount())));
      if (step % 25 == 24) {
        auto folds = fresh();
        ASSERT_TRUE(SameFolds(AllQueries(*Parser, Doc.LinesCount()), AllQueries(*folds, Doc.LinesCount())))
            << "step " << step;
      }
    }
    // Keystrokes in long lines that leave the codes the syntax blocks see as they were
    // re-tokenize a few stretches of their line only (without states inside lines none would:
    // the line is longer).
    EXPECT_GT(shortReparses, 20);
  }
}

// Edits inside long lines that change what the syntax blocks see (keywords swapped for others or
// for plain words, blocks opened and closed) with states saved inside the lines every 40
// characters: the re-parse follows the syntax blocks from the last state before the edit and
// stops at a later one whose whole state (schemes, code streams, open blocks, fold nodes) it
// reaches again; every answer (tokens, MarkTokens, every fold query) equals a fresh parser's.
// Folds start and end inside the long lines, and with the late scheme they are made on lines
// after their start.
TEST_F(FoldingTest, KeywordAndBlockEditsInsideLongLinesGiveTheAnswersOfAFreshParser) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  // Folds made on the lines after their start; and function blocks folding later than the
  // others (a keyword swapped between them changes nothing but the kind of block open).
  TKivString late = kScript, mixed = kScript;
  for (size_t p = 0; (p = late.find(u"capture=\"true\"", p)) != TKivString::npos; p += 30)
    late.insert(p, u"minLines=\"2\" ");
  for (size_t p = 0, k = 0; (p = mixed.find(u"capture=\"true\"", p)) != TKivString::npos; p += 30, ++k)
    mixed.insert(p, k == 0 ? u"minLines=\"3\" " : u"minLines=\"1\" ");
  Texts.Syntax[u"L"] = late;
  Texts.Syntax[u"V"] = mixed;
  const std::pair<const char16_t*, const std::vector<const char16_t*>*> configs[] = {
      {u"S", &kScriptSnippets}, {u"L", &kScriptSnippets}, {u"V", &kScriptSnippets}, {u"M", &kMarkupSnippets}};
  const std::vector<TKivString> words = {u"if",       u"while", u"do", u"else", u"try",
                                         u"function", u"var",   u"x",  u"whale"};
  const char16_t* const pieces[] = {u"{",  u"}", u";", u"if (a) {", u"function f(a) {", u"} else {", u"/*",
                                    u"*/", u"x", u" ", u"<div>",    u"</div>",          u"</script>"};
  constexpr Integer kInterval = 40;
  constexpr Integer kMaxLength = 100000;
  int shortKeywordEdits = 0;
  for (const auto& [scheme, snippets] : configs) {
    SCOPED_TRACE(U8(scheme));
    // Every third line long (about 800 characters), the others short.
    Open(LongLinesText(rng, *snippets, 18, 3, 80), scheme);
    Parser->SetMaxLineLengthToParse(kMaxLength);
    TKivTestAccess::SetInLineSaveInterval(*Parser, kInterval);
    const TParserImpl& impl = TKivTestAccess::ParserImpl(*Parser);
    auto fresh = [&] {
      auto p = Fresh(scheme);
      p->SetMaxLineLengthToParse(kMaxLength);
      return p;
    };
    for (Integer l = 0; l < Doc.LinesCount(); ++l) Parser->GetParsedLine(l);
    for (int step = 0; step < 250; ++step) {
      Integer line = 1 + 3 * static_cast<Integer>(rng() % 6);
      if (rng() % 8 == 0) line = static_cast<Integer>(rng() % Doc.LinesCount());
      const Integer s = Doc.GetLineStart(line), e = Doc.GetLineEnd(line);
      const TKivString lineText = Doc.GetText(s, e - s);
      // A keyword or a word swapped for another (mostly), a piece typed or a few characters
      // deleted.
      std::vector<std::pair<Integer, Integer>> found;
      for (const TKivString& w : words)
        for (size_t p = lineText.find(w); p != TKivString::npos; p = lineText.find(w, p + 1))
          found.emplace_back(static_cast<Integer>(p), static_cast<Integer>(w.size()));
      const unsigned kind = rng() % 4;
      bool keyword = false;
      if (kind <= 1 && !found.empty()) {
        const auto [at, n] = found[rng() % found.size()];
        Doc.Delete(s + at, n);
        Doc.Insert(s + at, words[rng() % words.size()]);
        keyword = true;
      } else if (kind == 2 && e > s) {
        const Integer at = s + static_cast<Integer>(rng() % (e - s));
        Doc.Delete(at, std::min<Integer>(e - at, 1 + static_cast<Integer>(rng() % 3)));
      } else {
        const char16_t* piece = pieces[rng() % std::size(pieces)];
        Doc.Insert(s + static_cast<Integer>(rng() % (e - s + 1)), piece);
      }
      const int64_t before = impl.FStatCharsParsed;
      Parser->GetParsedLine(line);
      if (keyword && line % 3 == 1 && impl.FStatCharsParsed - before <= 4 * kInterval) ++shortKeywordEdits;
      SCOPED_TRACE("step " + std::to_string(step));
      auto expected = fresh();
      ASSERT_NO_FATAL_FAILURE(ExpectLineAsFresh(*Parser, *expected, line));
      ASSERT_NO_FATAL_FAILURE(ExpectLineAsFresh(*Parser, *expected, static_cast<Integer>(rng() % Doc.LinesCount())));
      auto folds = fresh();
      ASSERT_TRUE(SameFolds(AllQueries(*Parser, Doc.LinesCount()), AllQueries(*folds, Doc.LinesCount())))
          << "step " << step;
    }
  }
  // Many keyword swaps re-parse a few stretches of their line only.
  EXPECT_GT(shortKeywordEdits, 40);
}

// Keyword edits in the middle of a long line that closes a fold opened lines above it (so the
// line changes the fold tree after the edit too): a keyword swapped for another that opens the
// same kind of block, or for a plain word, re-parses the stretches around it; a brace deleted
// changes the blocks for the rest of the line, which is then parsed on to its end. Every answer
// equals a fresh parser's.
TEST_F(FoldingTest, AKeywordEditInALongLineClosingAFoldReparsesAroundIt) {
  const TKivString piece = u"if (a) { x(); } /* c */ ";
  const Integer n = static_cast<Integer>(piece.size());
  TKivString line;
  while (line.size() < 20000) line += piece;
  line += u"} y();";
  const TKivString text = u"function f(a) {\r\n  x();\r\n" + line + u"\r\nz();";
  struct TCase {
    const char* Name;
    Integer Offset;  // in the piece
    Integer Count;   // characters replaced
    const char16_t* With;
    bool Short;
  };
  const TCase cases[] = {
      {"if to while", 0, 2, u"while", true},
      {"if to a plain word", 0, 2, u"xy", true},
      {"a closing brace deleted", 14, 1, u"", false},
  };
  auto fresh = [&] {
    auto p = Fresh(u"S");
    p->SetMaxLineLengthToParse(1000000);
    return p;
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Open(text);
    Parser->SetMaxLineLengthToParse(1000000);
    TKivTestAccess::SetInLineSaveInterval(*Parser, 500);
    ASSERT_EQ(Parser->GetFoldEnd(0), 2);
    const TParserImpl& impl = TKivTestAccess::ParserImpl(*Parser);
    const Integer s = Doc.GetLineStart(2);
    const Integer at = s + (Doc.GetLineEnd(2) - s) / 2 / n * n + c.Offset;
    Doc.Delete(at, c.Count);
    if (*c.With) Doc.Insert(at, c.With);
    const int64_t before = impl.FStatCharsParsed;
    Parser->GetParsedLine(2);
    const int64_t parsed = impl.FStatCharsParsed - before;
    if (c.Short)
      EXPECT_LE(parsed, 3 * 500 + 100);
    else
      EXPECT_GE(parsed, (Doc.GetLineEnd(2) - at) / 2);
    ASSERT_EQ(TokenRows(Parser->GetParsedLine(2)), TokenRows(fresh()->GetParsedLine(2)));
    EXPECT_TRUE(SameFolds(AllQueries(*Parser, Doc.LinesCount()), AllQueries(*fresh(), Doc.LinesCount())));
  }
}

// An edit in the middle of a long line (in a comment: the codes stay as they were) re-tokenizes
// the stretch around it, not the line.
TEST_F(FoldingTest, AnEditInALongLineReparsesAroundIt) {
  const TKivString piece = u"if (a) { x(); } /* c */ ";
  TKivString line;
  while (line.size() < 20000) line += piece;
  Open(line + u"\r\n" + line + u"\r\n" + line);
  Parser->SetMaxLineLengthToParse(1000000);
  TKivTestAccess::SetInLineSaveInterval(*Parser, 500);
  for (Integer l = 0; l < Doc.LinesCount(); ++l) Parser->GetParsedLine(l);
  const TParserImpl& impl = TKivTestAccess::ParserImpl(*Parser);
  const Integer n = static_cast<Integer>(piece.size());
  const Integer at = Doc.GetLineStart(1) + (Doc.GetLineEnd(1) - Doc.GetLineStart(1)) / 2 / n * n + 19;
  ASSERT_EQ(Doc.GetText(at, 1), u"c");
  for (const bool insert : {true, false}) {
    const int64_t before = impl.FStatCharsParsed;
    if (insert)
      Doc.Insert(at, u"x");
    else
      Doc.Delete(at, 1);
    Parser->GetParsedLine(1);
    EXPECT_LE(impl.FStatCharsParsed - before, 2 * 500 + 100) << (insert ? "insert" : "delete");
  }
}

// The demo's syntax schemes at work: every scheme loads with the colour scheme "default", every
// sample under tests/syntax/samples tokenizes to its golden file byte for byte, and the C sample
// of the main window gets the colours it is shown with.
//
// When a scheme changes on purpose, regenerate the golden files with
//   build/default/tools/kivhighlight --write-golden tests/syntax/samples/sample*[!n]
// and review the diff.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <set>
#include <string>
#include <vector>

#include "KivDemoData.h"
#include "KivTestSeed.h"
#include "KivSedParser.h"
#include "KivSedUtils.h"
#include "KivSyntaxDump.h"

namespace {

namespace fs = std::filesystem;

const fs::path kSamples = fs::path(KIV_TEST_DATA_DIR).parent_path().parent_path() / "syntax" / "samples";

std::string ReadFile(const fs::path& APath) {
  std::ifstream in(APath, std::ios::binary);
  std::ostringstream buf;
  buf << in.rdbuf();
  return buf.str();
}

std::vector<fs::path> Samples() {
  std::vector<fs::path> res;
  for (const auto& entry : fs::directory_iterator(kSamples))
    if (entry.path().extension() != ".golden") res.push_back(entry.path());
  std::sort(res.begin(), res.end());
  return res;
}

std::string U8(TKivStringView AText) { return KivToUtf8(AText); }


// The first line where two texts differ, for a readable failure.
std::string FirstDifference(const std::string& AExpected, const std::string& AActual) {
  std::istringstream e(AExpected), a(AActual);
  std::string le, la;
  for (int line = 1;; ++line) {
    const bool me = bool(std::getline(e, le)), ma = bool(std::getline(a, la));
    if (!me && !ma) return "texts differ only in their line ends";
    if (le != la || me != ma)
      return "line " + std::to_string(line) + ":\n  golden: " + (me ? le : "<end>") + "\n  actual: " + (ma ? la : "<end>");
  }
}

// Every sample has a golden file, every golden file a sample, and the schemes cover them all.
TEST(SyntaxSamples, EverySchemeHasASampleWithAGoldenFile) {
  std::set<TKivString> covered;
  for (const auto& sample : Samples()) {
    const TKivString scheme = KivDumpSchemeForFile(sample.string());
    EXPECT_FALSE(scheme.empty()) << sample;
    covered.insert(scheme);
    EXPECT_TRUE(fs::exists(sample.string() + ".golden")) << sample;
    const std::string text = ReadFile(sample);
    const auto lines = std::count(text.begin(), text.end(), '\n');
    EXPECT_GE(lines, 40) << sample;
    EXPECT_LE(lines, 150) << sample;
  }
  for (const auto& entry : fs::directory_iterator(kSamples))
    if (entry.path().extension() == ".golden") {
      fs::path sample = entry.path();
      EXPECT_TRUE(fs::exists(sample.replace_extension())) << entry.path();
    }
  EXPECT_EQ(covered.size(), KivDemoSyntaxSchemes().size());
}

// The main window's sample with "C" active.
class DemoSampleColours : public ::testing::Test {
 protected:
  struct TTok {
    TKivString Text;
    TKivEditAttributes Attrs;
  };
  class TCollector : public TKivTokenHandler {
   public:
    TKivEditDocument* Doc = nullptr;
    std::vector<TTok> Tokens;
    void HandleToken(const TKivSegment& ASeg, Integer, const TKivEditAttributes& AAttrs) override {
      Tokens.push_back({Doc->GetText(ASeg.Start, ASeg.Count), AAttrs});
    }
  };
  DemoSampleColours() : FDoc(KivDumpOpenDocument(KivDemoSampleText(), TKivString(KivDemoActiveSyntaxScheme))) {}
  // The tokens of the first line that contains AText.
  std::vector<TTok> TokensOfLineWith(TKivStringView AText) {
    for (Integer line = 0; line < FDoc->LinesCount(); ++line)
      if (FDoc->GetLineText(line).find(AText) != TKivString::npos) {
        TCollector collector;
        collector.Doc = FDoc.get();
        FDoc->GetParser()->MarkTokens(line, collector);
        return collector.Tokens;
      }
    ADD_FAILURE() << "no line with " << U8(AText);
    return {};
  }
  static TKivColor Color(TKivStringView AText) {
    TKivColor c = 0;
    EXPECT_TRUE(TextToColor(AText, c));
    return c;
  }
  static bool HasText(const TTok& ATok, TKivColor AColor) {
    return (ATok.Attrs.AttributesSet & asTextColor) && ATok.Attrs.TextColor == AColor;
  }
  std::unique_ptr<TKivEditDocument> FDoc;
};

TEST_F(DemoSampleColours, IncludeLineIsPreprocessorTeal) {
  const auto toks = TokensOfLineWith(u"#include <stdio.h>");
  ASSERT_FALSE(toks.empty());
  for (const auto& t : toks) EXPECT_TRUE(HasText(t, Color(u"#008080"))) << U8(t.Text);
}

TEST_F(DemoSampleColours, TitleCommentIsGreen) {
  const auto toks = TokensOfLineWith(u"/* Vornish demo");
  ASSERT_FALSE(toks.empty());
  for (const auto& t : toks) EXPECT_TRUE(HasText(t, Color(u"#008000"))) << U8(t.Text);
}

TEST_F(DemoSampleColours, KeywordInMainIsBoldAndStringIsBlue) {
  const auto decl = TokensOfLineWith(u"    int scores[ARRAYMAX];");
  ASSERT_FALSE(decl.empty());
  bool boldInt = false;
  for (const auto& t : decl)
    if (t.Text == u"int") boldInt = (t.Attrs.AttributesSet & asFontStyle) && (t.Attrs.FontStyle & fsBold);
  EXPECT_TRUE(boldInt);
  const auto call = TokensOfLineWith(u"scanf(\"%d\"");
  bool blueString = false;
  for (const auto& t : call)
    if (t.Text.find(u"%d") != TKivString::npos) blueString = HasText(t, Color(u"Blue"));
  EXPECT_TRUE(blueString);
}

TEST_F(DemoSampleColours, MisplacedDefineIsNotPreprocessor) {
  const auto toks = TokensOfLineWith(u"#define NOT_A_DIRECTIVE");
  ASSERT_FALSE(toks.empty());
  for (const auto& t : toks) EXPECT_FALSE(HasText(t, Color(u"#008080"))) << U8(t.Text);
  // The continued macro right after it is preprocessor on all four of its lines.
  for (const TKivStringView line : {u"#define REPORT", u"printf(\"%-10s", u"(name), \\", u"(value))"}) {
    const auto macro = TokensOfLineWith(line);
    ASSERT_FALSE(macro.empty()) << U8(line);
    EXPECT_TRUE(HasText(macro.front(), Color(u"#008080")) || macro.front().Text.find_first_not_of(u" ") == TKivString::npos)
        << U8(line);
  }
}

// The HTML page shows the text unchanged, escaped, with each coloured token in a span.
TEST(SyntaxHtml, PageColoursTheText) {
  auto doc = KivDumpOpenDocument(u"int a = 1; /* <b>&amp; */\r\nchar *s = \"x\";", u"C");
  const std::string html = KivDumpHtml(*doc, "t<1>.c");
  EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_NE(html.find("<title>t&lt;1&gt;.c</title>"), std::string::npos);
  EXPECT_NE(html.find("<span style=\"color:#000000;font-weight:bold;\">int</span>"), std::string::npos) << html;
  EXPECT_NE(html.find("<span style=\"color:#008000;\"> &lt;b&gt;&amp;amp; </span>"), std::string::npos) << html;
  EXPECT_NE(html.find("<span style=\"color:#0000ff;\">&quot;x&quot;</span>"), std::string::npos) << html;
  // The text itself survives: strip the tags and decode the entities.
  std::string text;
  const auto body = html.substr(html.find("<pre>") + 5, html.find("</pre>") - html.find("<pre>") - 5);
  for (size_t i = 0; i < body.size(); ++i) {
    if (body[i] == '<') {
      i = body.find('>', i);
    } else {
      text += body[i];
    }
  }
  for (const auto& [entity, ch] : std::vector<std::pair<std::string, std::string>>{
           {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}})
    for (size_t p = text.find(entity); p != std::string::npos; p = text.find(entity, p + 1)) text.replace(p, entity.size(), ch);
  EXPECT_EQ(text, "int a = 1; /* <b>&amp; */\nchar *s = \"x\";\n");
}

class SyntaxGolden : public ::testing::TestWithParam<fs::path> {};

TEST_P(SyntaxGolden, MatchesByteForByte) {
  const fs::path sample = GetParam();
  const TKivString scheme = KivDumpSchemeForFile(sample.string());
  auto doc = KivDumpOpenDocument(KivFromUtf8(ReadFile(sample)), scheme);
  const std::string actual = KivDumpGolden(*doc, scheme);
  const std::string expected = ReadFile(sample.string() + ".golden");
  EXPECT_TRUE(actual == expected) << sample.filename() << " differs from its golden file at "
                                  << FirstDifference(expected, actual);
}

// Random edits of each sample: the parser that follows the edits gives the tokens and folds a
// fresh parser gives for the same text. The samples hold the schemes' multi-line constructs
// (here-documents with chained bodies, end tags broken before their bracket, continued strings,
// comments opened in directives), so the saved contexts they leave are checked on re-parse.
TEST_P(SyntaxGolden, IncrementalEqualsFreshUnderEdits) {
  KIV_TEST_SEED(seed);
  const fs::path sample = GetParam();
  const TKivString scheme = KivDumpSchemeForFile(sample.string());
  const TKivString text = KivFromUtf8(ReadFile(sample));
  auto doc = KivDumpOpenDocument(text, scheme);
  std::vector<TKivString> lines;
  for (Integer l = 0; l < doc->LinesCount(); ++l) lines.push_back(doc->GetLineText(l));
  std::mt19937 rng(seed + static_cast<uint32_t>(std::hash<std::string>{}(sample.filename().string())));
  auto pick = [&](Integer AMax) { return static_cast<Integer>(rng() % static_cast<uint32_t>(AMax)); };
  auto someLine = [&] { return lines[static_cast<size_t>(pick(static_cast<Integer>(lines.size())))]; };
  for (int step = 0; step < 30; ++step) {
    const Integer n = doc->CharsCount();
    switch (rng() % 5) {
      case 0: doc->Insert(pick(n + 1), someLine()); break;
      case 1: doc->Insert(pick(n + 1), someLine() + u"\r\n"); break;
      case 2: if (n > 10) doc->Delete(pick(n - 10), 1 + pick(8)); break;
      case 3: if (doc->LinesCount() > 2) doc->DeleteLine(pick(doc->LinesCount())); break;
      default: if (doc->CanUndo()) doc->Undo();
    }
    // Lines asked for in random order first, as a view scrolling about would.
    for (int q = 0; q < 8; ++q) doc->GetParser()->GetParsedLine(pick(doc->LinesCount()));
    auto fresh = KivDumpOpenDocument(doc->Text(), scheme);
    ASSERT_EQ(KivDumpGolden(*doc, scheme), KivDumpGolden(*fresh, scheme)) << sample.filename() << " step " << step;
  }
}

INSTANTIATE_TEST_SUITE_P(Samples, SyntaxGolden, ::testing::ValuesIn(Samples()),
                         [](const ::testing::TestParamInfo<fs::path>& AInfo) {
                           std::string name = AInfo.param.filename().string();
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

}  // namespace

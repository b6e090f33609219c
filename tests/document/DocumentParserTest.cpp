// What the document tells its parser, and the base parser's behaviour.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KivSedDocument.h"

namespace {

class TRecordingParser : public TKivEditParserBase {
 public:
  explicit TRecordingParser(std::vector<std::string>* ALog) : FLog(ALog) {}
  void SetDocument(TKivEditDocument* ADoc) override {
    TKivEditParserBase::SetDocument(ADoc);
    FLog->push_back(ADoc ? "attached" : "detached");
  }
  void LineChanged(Integer ALine) override { FLog->push_back("line " + std::to_string(ALine)); }
  void LinesChangedFrom(Integer AStart) override { FLog->push_back("from " + std::to_string(AStart)); }
  void Refresh() override { FLog->push_back("refresh"); }

 private:
  std::vector<std::string>* FLog;
};

TEST(DocumentParser, EditsReportTheirFirstChangedLine) {
  std::vector<std::string> log;
  TKivEditDocument doc;
  doc.Insert(0, u"a\r\nb\r\nc");
  doc.SetParser(std::make_unique<TRecordingParser>(&log));
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front(), "attached");
  struct Case {
    const char* Name;
    std::function<void()> Edit;
    std::string Expected;
  };
  const Case cases[] = {
      {"typing in a line", [&] { doc.Insert(3, u"x"); }, "line 1"},
      {"a line break", [&] { doc.Insert(3, u"\n"); }, "from 1"},
      {"deleting inside a line", [&] { doc.Delete(3, 1); }, "from 1"},
      {"line separator setting", [&] { doc.SetLineSeparator(lsLF); }, "refresh"},
      {"word separators setting", [&] { doc.SetWordSeparators(u" "); }, "refresh"},
  };
  for (const auto& c : cases) {
    log.clear();
    c.Edit();
    ASSERT_FALSE(log.empty()) << c.Name;
    EXPECT_EQ(log.back(), c.Expected) << c.Name;
  }
}

TEST(DocumentParser, ReplacingTheParserKeepsTheParseLengthAndDetachesTheOld) {
  std::vector<std::string> oldLog, newLog;
  TKivEditDocument doc;
  doc.SetParser(std::make_unique<TRecordingParser>(&oldLog));
  doc.SetMaxLineLengthToParse(77);
  EXPECT_EQ(doc.GetParser()->MaxLineLengthToParse(), 77);
  doc.SetParser(std::make_unique<TRecordingParser>(&newLog));
  EXPECT_EQ(oldLog.back(), "detached");
  EXPECT_EQ(doc.MaxLineLengthToParse(), 77);
  EXPECT_EQ(doc.GetParser()->GetDocument(), &doc);
  doc.SetParser(nullptr);  // back to a base parser
  EXPECT_EQ(doc.GetParser()->GetDocument(), &doc);
}

TEST(DocumentParser, DefaultParserFactory) {
  std::vector<std::string> log;
  TKivEditDocument::SetDefaultParserFactory([&] { return std::make_unique<TRecordingParser>(&log); });
  {
    TKivEditDocument doc;
    EXPECT_EQ(log.front(), "attached");
  }
  TKivEditDocument::SetDefaultParserFactory(nullptr);
  EXPECT_EQ(log.back(), "detached");
}

TEST(DocumentParser, BaseParserHandsEachLineAsOneToken) {
  struct THandler : TKivTokenHandler {
    std::vector<TKivString> Tokens;
    std::vector<Integer> Ids;
    void HandleToken(const TKivSegment& ASeg, Integer ATokenID, const TKivEditAttributes& A) override {
      Tokens.push_back(SegmentToString(ASeg));
      Ids.push_back(ATokenID);
      EXPECT_EQ(A.AttributesSet, 0);
    }
  } handler;
  TKivEditDocument doc;
  doc.SetParser(nullptr);  // the base parser, whatever default a linked syntax library installs
  doc.Insert(0, u"int x;\r\nreturn x;");
  TKivEditParserBase& p = *doc.GetParser();
  p.MarkTokens(1, handler);
  EXPECT_EQ(handler.Tokens, (std::vector<TKivString>{u"return x;"}));
  EXPECT_EQ(handler.Ids, (std::vector<Integer>{0}));
  EXPECT_EQ(p.GetFoldLevel(0), 0);
  EXPECT_EQ(p.GetParentLine(1), -1);
  EXPECT_EQ(p.GetFoldEnd(0), -1);
  EXPECT_EQ(p.GetFoldStart(1), -1);
  EXPECT_FALSE(p.IsFoldStart(0));
  EXPECT_FALSE(p.IsFoldEnd(1));
  EXPECT_EQ(p.GetParsedLine(0), nullptr);
  EXPECT_TRUE(p.GetAllTokenIDs(u"Keyword").empty());
  EXPECT_EQ(p.MaxLineLengthToParse(), 1000);
}

}  // namespace

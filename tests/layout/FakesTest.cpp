// The test doubles are checked on their own, so a failing layout test is never the fake's fault.
#include <gtest/gtest.h>

#include "LayoutFakes.h"

TEST(FixedMeasure, WidthsComplexityAndShaping) {
  FixedMeasure m(10);
  m.Override(u'i', 5);
  m.SetBoldExtra(2);
  EXPECT_EQ(m.CharWidth(u'a', 0, 0), 10);
  EXPECT_EQ(m.CharWidth(u'i', 0, 0), 5);
  EXPECT_EQ(m.CharWidth(u'i', fsBold, 0), 7);
  EXPECT_EQ(m.SpaceWidth(), 10);
  EXPECT_EQ(m.Metrics(0).Height, 16);
  EXPECT_FALSE(m.IsComplex(u"abc"));
  EXPECT_TRUE(m.IsComplex(u"a\u05EA"));
  EXPECT_FALSE(m.IsComplex(u"\u05EB"));

  const auto run = m.Shape(u"i\u05D0\u05D1b", 0, 0);
  EXPECT_EQ(m.ShapeCalls, 1);
  EXPECT_EQ(run->Width(), 35);
  EXPECT_EQ(run->CharArea(0), (TKivTextArea{0, 5}));
  EXPECT_EQ(run->CharArea(1), (TKivTextArea{25, 15}));
  EXPECT_EQ(run->CharArea(2), (TKivTextArea{15, 5}));
  EXPECT_EQ(run->CharArea(3), (TKivTextArea{25, 35}));
  bool trailing = false;
  EXPECT_EQ(run->CharAt(6, trailing), 2);
  EXPECT_TRUE(trailing);  // the left part of a right-to-left glyph is its trailing side
  EXPECT_EQ(run->CharAt(24, trailing), 1);
  EXPECT_FALSE(trailing);
}

TEST(RecordingPainter, RecordsOpsAsText) {
  RecordingPainter p;
  p.FillRect({0, 16, 200, 32}, 0xE6FFFA);
  p.DrawText({20, 16}, u"cd", nullptr, 0x000000, 0, 0, {0, 16, 200, 32});
  p.DrawText({0, 0}, u"\u2026", nullptr, 0x808080, fsBold | fsItalic, 2, {0, 0, 10, 10});
  p.SetClipRects({{10, 0, 30, 16}, {40, 0, 50, 16}});
  p.ClearClip();
  p.VLine(80, 0, 16, 0x808080);
  p.HLine(1, 5, 8, 0x0000FF);
  p.EmptyImages.insert(giFoldEnd);
  EXPECT_FALSE(p.HasImage(giFoldEnd));
  EXPECT_TRUE(p.HasImage(giFoldPlus));
  p.DrawImage(giFoldPlus, {0, 0, 16, 16});
  p.Save();
  p.Restore();
  EXPECT_EQ(p.Text(),
            "fill(0,16,200,32,#E6FFFA) text(20,16,\"cd\",#000000,b0) text(0,0,\"\u2026\",#808080,b3,c2) "
            "clip[(10,0,30,16),(40,0,50,16)] noclip vline(80,0,16,#808080) hline(1,5,8,#0000FF) "
            "image(7,0,0,16,16) save restore");
}

namespace {
struct TokenLog : TKivTokenHandler {
  void HandleToken(const TKivSegment& ASeg, Integer ATokenID, const TKivEditAttributes& AAttrs) override {
    Text += "[" + std::to_string(ASeg.Start) + "," + std::to_string(ASeg.Count) + ":" +
            std::to_string(ATokenID) + (AAttrs.AttributesSet & asFontStyle ? "b" : "") + "]";
  }
  std::string Text;
};
}  // namespace

TEST(FakeParser, TokensCoverTheLineAndFoldsComeFromTheTable) {
  TKivEditDocument doc;
  auto owned = std::make_unique<FakeParser>();
  FakeParser* parser = owned.get();
  doc.SetParser(std::move(owned));
  doc.Insert(0, u"int x;\r\nab\r\n\r\nlast");
  TKivEditAttributes bold;
  bold.FontStyle = fsBold;
  bold.AttributesSet = asFontStyle;
  parser->SetTokens(0, {{4, 1, bold, 7}, {0, 3, {}, 2}});
  parser->SetTokens(1, {{1, 50, {}, 3}});
  parser->AddFold(0, 2);
  parser->AddFold(1, 2);

  TokenLog t0, t1, t3;
  parser->MarkTokens(0, t0);
  parser->MarkTokens(1, t1);
  parser->MarkTokens(3, t3);
  EXPECT_EQ(t0.Text, "[0,3:2][3,1:0][4,1:7b][5,1:0]");
  EXPECT_EQ(t1.Text, "[8,1:0][9,1:3]");
  EXPECT_EQ(t3.Text, "[14,4:0]");
  EXPECT_EQ(parser->MarkedLines, (std::vector<Integer>{0, 1, 3}));

  EXPECT_TRUE(parser->IsFoldStart(0));
  EXPECT_FALSE(parser->IsFoldStart(2));
  EXPECT_EQ(parser->GetFoldEnd(0), 2);
  EXPECT_EQ(parser->GetFoldEnd(3), -1);
  EXPECT_TRUE(parser->IsFoldEnd(2));
  EXPECT_EQ(parser->GetFoldLevel(2), 2);
  EXPECT_EQ(parser->GetParentLine(2), 1);
  EXPECT_EQ(parser->GetParentLine(0), -1);

  parser->ChangedLines.clear();
  doc.Insert(9, u"z");
  EXPECT_FALSE(parser->ChangedLines.empty());
}

TEST(FakeViewHost, RecordsWindowCalls) {
  TKivEditDocument doc;
  FakeViewHost host(doc);
  EXPECT_EQ(&host.Document(), &doc);
  EXPECT_FALSE(host.CursorBoundToChars());
  host.InvalidateConversionCache(12);
  host.Invalidate({0, 16, 100, 32});
  host.Beep();
  host.PlaceCaret(10, 16);
  host.HideCaret();
  host.UpdateScrollBars();
  host.InvalidateAll();
  EXPECT_EQ(host.ConversionInvalidations, (std::vector<Integer>{12}));
  EXPECT_EQ(host.Log, (std::vector<std::string>{"invalidate(0,16,100,32)", "beep", "caret(10,16)",
                                                "hideCaret", "scrollBars", "invalidateAll"}));
}

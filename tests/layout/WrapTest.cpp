#include <gtest/gtest.h>

#include "LayoutHarness.h"

TEST(Wrap, RowSplitsByMode) {
  struct {
    const char16_t* Text;
    TKivViewWrapMode Mode;
    Integer Ruler;
    std::vector<std::pair<Char, Integer>> Widths;
    const char* Rows;
  } cases[] = {
      {u"abcdefghij", wmWrapToRuler, 5, {}, "0,4,8"},        // a word longer than a row is cut
      {u"abcd efghijk", wmWrapToRuler, 5, {}, "0,4,5,9"},    // the space alone on its row
      {u"ab foo(bar)", wmWrapToRuler, 10, {}, "0,3"},        // no break after an opening bracket
      {u"ab cd ef gh", wmWrapToRuler, 6, {}, "0,3,6,9"},     // words move whole
      {u"abcd\r\nxy", wmWrapToRuler, 5, {}, "0,2,6"},        // the line end does not fit: the last two go
      {u"abc\r\nxy", wmWrapToRuler, 5, {}, "0,5"},           // it fits
      {u"abcdefg", wmWrapToRuler, 3, {}, "0,2,4,5,6"},       // the formula lets the last one stand alone
      {u"aWb cd", wmWrapToRuler, 4, {{u'W', 20}}, "0,2,4"},  // a wide glyph
      {u"abcdefghij", wmNoWrap, 5, {}, "0"},
      {u"ab\ncd\r\n\ref", wmNoWrap, 5, {}, "0,3,7,8"},
      {u"abcdefghij", wmWrapToWindow, 80, {}, "0,7"},  // the window is 80 px wide below
      {u"", wmWrapToRuler, 5, {}, "0"},
  };
  for (const auto& c : cases) {
    LayoutHarness h(c.Text, c.Mode, c.Ruler);
    for (auto [ch, w] : c.Widths) h.Measure.Override(ch, w);
    h.Cache->SetScreenSize(80, 10);
    h.Cache->ResetPreserve();
    EXPECT_EQ(h.RowStarts(), c.Rows) << KivToUtf8(c.Text) << " mode " << int(c.Mode);
  }
}

TEST(Wrap, TabsAndOffsetItems) {
  LayoutHarness h(u"abcde\tX\tY", wmNoWrap);
  EXPECT_EQ(h.Pos(5), "(5,0)");
  EXPECT_EQ(h.Pos(6), "(8,0)");
  EXPECT_EQ(h.Pos(8), "(16,0)");
  EXPECT_EQ(h.RowChunks(0),
            "\"abcde\"@0+5 \"   \"@5+1 \"X\"@6+1 \"       \"@7+1 \"Y\"@8+1 | 0:0/1:10s 1:10/1:10s 2:20/1:10s "
            "3:30/1:10s "
            "4:40/1:10s 5:50/3:30ts 8:80/1:10s 9:90/7:70ts 16:160/1:10s 17:170/1:10Ts");
  h.SpecChars.SetShowCharKinds({skTabHead});
  h.Cache->SpecialCharsChanged();
  EXPECT_EQ(h.RowChunks(0).rfind("\"abcde\"@0+5 \"\u2500\u2500\u25BA\"@5+1 \"X\"@6", 0), 0u);
  // A tab's pixels: tail cells, then the head.
  h.Measure.Override(u'\u2500', 4);
  h.Measure.Override(u'\u25BA', 6);
  h.Cache->ResetPreserve();
  const TWrapParserState tab = h.Cache->WP_GetState(5);
  EXPECT_EQ(tab.VisWidth, 3);
  EXPECT_EQ(tab.PixWidth, 4 + 4 + 6);
  EXPECT_TRUE(tab.IsTab);
  EXPECT_EQ(h.Cache->WP_GetState(6).XPix, 50 + 14);
}

TEST(Wrap, WrapGlyphEndsRowsEarlierAndIsDrawn) {
  LayoutHarness h(u"abcdef", wmWrapToRuler, 5);
  EXPECT_EQ(h.RowStarts(), "0,4");
  h.SpecChars.SetShowCharKinds({skLineWrap, skCRLF});
  h.Cache->SpecialCharsChanged();
  EXPECT_EQ(h.RowStarts(), "0,3");
  EXPECT_EQ(h.RowChunks(0), "\"abc\"@0+3 \"\u00AC\"@3+0 | 0:0/1:10s 1:10/1:10s 2:20/1:10s 3:30/0:0");
  EXPECT_EQ(h.RowChunks(1), "\"def\"@3+3 | 0:0/1:10s 1:10/1:10 2:20/1:10 3:30/1:10T");
  h.Doc.Insert(6, u"\r\nz");
  EXPECT_EQ(h.RowChunks(1), "\"def\"@3+3 \"\u00B6\"@6+1 | 0:0/1:10s 1:10/1:10 2:20/1:10 3:30/1:10T");
}

TEST(Wrap, ChunksSplitByTokensAndHighlightsThatFollowEdits) {
  LayoutHarness h(u"hello world", wmNoWrap);
  TKivEditAttributes bold;
  bold.FontStyle = fsBold;
  bold.AttributesSet = asFontStyle;
  h.Parser->SetTokens(0, {{0, 5, bold, 3}});
  h.Measure.SetBoldExtra(2);
  h.Cache->AddHighlight(6, 5);
  EXPECT_EQ(h.RowChunks(0),
            "\"hello\"b1@0+5 \" \"@5+1 \"world\"w1#00FFFF@6+5 | 0:0/1:12s 1:12/1:12s 2:24/1:12s 3:36/1:12s "
            "4:48/1:12s 5:60/1:10s 6:70/1:10s 7:80/1:10s 8:90/1:10s 9:100/1:10s 10:110/1:10s 11:120/1:10Ts");
  h.Doc.Insert(6, u"X");
  EXPECT_EQ(h.Cache->Highlights().GetRanges(), (std::vector<TSARange>{{7, 5}}));
  EXPECT_EQ(h.RowChunks(0).rfind("\"hello\"b1@0+5 \" X\"@5+2 \"world\"w1#00FFFF@7+5 | 0:", 0), 0u);
}

TEST(Wrap, BlockText) {
  LayoutHarness h(u"a\tb\r\nxyz", wmNoWrap, 80, 4);
  EXPECT_EQ(KivToUtf8(TSquaredSeq::BlockText(*h.Cache, {1, 0}, {3, 1})), "  \r\nyz");
  EXPECT_EQ(KivToUtf8(TSquaredSeq::BlockText(*h.Cache, {3, 1}, {1, 0})), "  \r\nyz");
  EXPECT_EQ(KivToUtf8(TSquaredSeq::BlockText(*h.Cache, {0, 0}, {6, 1})), "a   b\r\nxyz");
  EXPECT_EQ(KivToUtf8(TSquaredSeq::BlockText(*h.Cache, {2, 0}, {5, 0})), "  b");  // from inside the tab
  EXPECT_EQ(KivToUtf8(TSquaredSeq::BlockText(*h.Cache, {2, 0}, {2, 1})), "");
  TSquaredSeq seq(*h.Cache, {1, 0}, {3, 1});
  EXPECT_EQ(seq.Count(), 6);
  EXPECT_EQ(seq.GetChar(4), u'y');

  TSpacedSeq spaced;
  spaced.Reset(h.Doc.GetLine(1), 2, 1);
  std::u16string text;
  for (Integer i = 0; i < spaced.Count(); ++i) text += spaced.GetChar(i);
  EXPECT_EQ(text, u"  xyz ");
  EXPECT_THROW(spaced.Reset(h.Doc.GetLine(1), -1, 0), EInvalidArgument);
}

TEST(Wrap, QueriesByColumnAndPixelAndTheirErrors) {
  LayoutHarness h(u"ab cdeWxy\r\nq", wmWrapToRuler, 6);
  h.Measure.Override(u'W', 20);
  h.Cache->ResetPreserve();
  EXPECT_EQ(h.RowStarts(), "0,3,7,11");  // rows "ab ", "cdeW", "xy", "q"
  struct {
    Integer X, Y;
    bool Pixels;
    Integer Offset;
  } cases[] = {{0, 1, false, 3},  {3, 1, false, 6},  {4, 1, false, 6}, {99, 1, false, 6}, {99, 2, false, 9},
               {35, 1, true, 6},  {49, 1, true, 6},  {50, 1, true, 6}, {29, 1, true, 5},  {999, 0, true, 2},
               {0, 3, false, 11}, {1, 3, false, 12}, {-5, 2, false, 7}};
  for (const auto& c : cases)
    EXPECT_EQ(h.Cache->WP_GetStateByXY(c.X, c.Y, false, c.Pixels).Offset, c.Offset) << c.X << "," << c.Y;
  const TWrapParserState after = h.Cache->WP_GetStateByXY(0, 4, false);
  EXPECT_EQ(after.PhysLine, 2);
  EXPECT_EQ(after.Y, 4);
  EXPECT_EQ(ViewErrorOf([&] { h.Cache->WP_GetStateByXY(0, 4, true); }),
            "Bad scroll line index: 4. Valid index: [0, 3]");
  EXPECT_EQ(ViewErrorOf([&] { h.Cache->WP_GetState(13); }), "Invalid offset given to WP_GetState: 13");
  EXPECT_EQ(ViewErrorOf([&] { h.Cache->SetTabWidth(0); }),
            "Bad tab width: 0. It should be in bounds: [1, 200]");
  EXPECT_EQ(ViewErrorOf([&] { h.Cache->SetScreenSize(0, 5); }),
            "Invalid screen width given: [0]. Valid range: [1..MAXINT]");
  EXPECT_EQ(h.Cache->TabWidth(), 8);
  EXPECT_EQ(h.Cache->ScreenWidthPixels(), 800);
  h.Cache->SetWrapWidth(0);
  EXPECT_EQ(h.Cache->WrapWidth(), 1);
  h.Cache->SetWrapWidth(1 << 30);
  EXPECT_EQ(h.Cache->WrapWidth(), 100000);
}

TEST(Wrap, WideGlyphsSaturateInsteadOfOverflowing) {
  LayoutHarness h(u"\t\t\tx", wmNoWrap, 80, 200);
  h.Measure.Override(u' ', 20000000);
  h.Cache->ResetPreserve();
  const TWrapParserState x = h.Cache->WP_GetState(3);
  EXPECT_EQ(x.X, 600);
  EXPECT_EQ(x.XPix, std::numeric_limits<Integer>::max());
  EXPECT_EQ(h.Cache->WP_GetState(1).PixWidth, std::numeric_limits<Integer>::max());
}

TEST(WrapCache, KeepsOneStatePerOffsetEvictsTheOldestAndForgetsFromAnOffset) {
  const auto state = [](Integer AOffset, Integer AY) {
    TWrapParserState s;
    s.Offset = AOffset;
    s.Y = AY;
    return s;
  };
  TWP_Cache cache(3, 10);
  TWrapParserState res;
  EXPECT_FALSE(cache.GetNearestState(5, 0, 0, wpByOffset, res));
  cache.PutState(state(30, 3));
  cache.PutState(state(10, 1));
  cache.PutState(state(20, 2));
  cache.PutState(state(10, 7));  // same offset: replaced, not added
  EXPECT_EQ(cache.CacheCount(), 3);
  ASSERT_TRUE(cache.GetNearestState(10, 0, 0, wpByOffset, res));
  EXPECT_EQ(res.Y, 7);
  cache.PutState(state(40, 4));  // full: 30, the first put, goes
  ASSERT_TRUE(cache.GetNearestState(35, 0, 0, wpByOffset, res));
  EXPECT_EQ(res.Offset, 20);
  ASSERT_TRUE(cache.GetNearestState(0, 0, 4, wpByXY, res));
  EXPECT_EQ(res.Offset, 40);

  // Checkpoints: one more than the interval apart; the later of item and checkpoint answers.
  cache.AddStateSeq(state(5, 0), false);
  cache.AddStateSeq(state(12, 1), false);  // too close
  cache.AddStateSeq(state(25, 2), false);
  EXPECT_EQ(cache.SeqItemsCount(), 2);
  ASSERT_TRUE(cache.GetNearestState(27, 0, 0, wpByOffset, res));
  EXPECT_EQ(res.Offset, 25);
  cache.Invalidate(20);
  EXPECT_EQ(cache.CacheCount(), 1);
  EXPECT_EQ(cache.SeqItemsCount(), 1);
  ASSERT_TRUE(cache.GetNearestState(99, 0, 0, wpByOffset, res));
  EXPECT_EQ(res.Offset, 10);
  cache.PutState(state(50, 5));
  cache.PutState(state(60, 6));
  cache.PutState(state(70, 7));  // evicts 10, the oldest still held
  ASSERT_TRUE(cache.GetNearestState(15, 0, 0, wpByOffset, res));
  EXPECT_EQ(res.Offset, 5);

  // Forgetting again from a later offset finds nothing new to forget, unless a state was kept
  // in between, by any of the three ways.
  cache.Invalidate(40);
  cache.Invalidate(45);
  ASSERT_TRUE(cache.GetNearestState(99, 0, 0, wpByOffset, res));
  EXPECT_EQ(res.Offset, 5);
  cache.PutState(state(50, 5));
  cache.Invalidate(45);
  ASSERT_TRUE(cache.GetNearestState(99, 0, 0, wpByOffset, res));
  EXPECT_EQ(res.Offset, 5);
  cache.AddStateSeq(state(80, 8), false);
  cache.Invalidate(60);
  EXPECT_EQ(cache.SeqItemsCount(), 1);
  cache.AddLineState(state(90, 9));
  EXPECT_EQ(cache.LineItemsCount(), 1);
  cache.Invalidate(85);
  EXPECT_EQ(cache.LineItemsCount(), 0);
}

TEST(Wrap, CollapsedLinesShowOneRowAndHideTheRest) {
  for (TKivViewWrapMode mode : {wmNoWrap, wmWrapToRuler}) {
    LayoutHarness h(u"ab{\r\nx\r\n}\r\nz", mode, 80);
    h.Cache->CollapseLines(0, 2);
    EXPECT_EQ(h.Cache->CalkVisibleCountScroll(), 2);
    EXPECT_EQ(h.RowStarts(), "0,11");
    EXPECT_EQ(h.RowChunks(0).rfind("\"ab{\"@0+3 \"\u2026\"@3+1 | 0:0/1:10s 1:10/1:10", 0), 0u);
    EXPECT_EQ(ViewErrorOf([&] { h.Cache->WP_GetState(5); }), "Invisible offset given to WP_GetState: 5");
    EXPECT_EQ(h.Cache->WP_GetStateOverFolds(5).Offset, 11);
    EXPECT_EQ(h.Cache->WP_GetStateOverFolds(10).Offset, 11);
    EXPECT_EQ(h.Pos(3), "(3,0)");
    EXPECT_EQ(h.Pos(11), "(0,1)");
    // Lines added above move the fold with its lines.
    h.Doc.Insert(0, u"q\r\n");
    EXPECT_EQ(h.Cache->CollapsedEnd(1), 3);
    EXPECT_EQ(h.RowStarts(), "0,3,14");
    h.Cache->ExpandLines(1);
    EXPECT_EQ(h.Cache->CalkVisibleCountScroll(), 5);
  }
  // A long collapsed line: its one row is cut and ends with the folded-line-end glyph.
  LayoutHarness h(u"abcdefgh{\r\nx\r\n}", wmWrapToRuler, 5);
  h.Cache->CollapseLines(0, 2);
  EXPECT_EQ(h.RowStarts(), "0");
  EXPECT_EQ(h.RowChunks(0),
            "\"abcd\"@0+4 \"\u2026\"@4+0 | 0:0/1:10s 1:10/1:10s 2:20/1:10s 3:30/1:10s 4:40/0:0");
  EXPECT_EQ(ViewErrorOf([&] { h.Cache->WP_GetState(4); }), "Invisible offset given to WP_GetState: 4");
  EXPECT_EQ(h.Cache->WP_GetStateOverFolds(4).PhysLine, 3);
  EXPECT_EQ(ViewErrorOf([&] { h.Cache->CollapseLines(1, 5); }),
            "Invalid physical line on screen index: 5. Valid range: [0, 2]");
}

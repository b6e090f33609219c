#include <gtest/gtest.h>

#include <string>

#include "LayoutFakes.h"
#include "internal/MeasureCaches.h"

namespace {

std::string AreasText(std::span<const TKivTextArea> AAreas) {
  std::string s;
  for (const TKivTextArea& a : AAreas)
    s += "(" + std::to_string(a.Leading) + "," + std::to_string(a.Trailing) + ")";
  return s;
}

struct Caches : ::testing::Test {
  Caches() {
    measure.Override(u'i', 5);
    caches.SetCanvas(&measure);
    caches.SetSpaceWidth(measure.SpaceWidth());
  }
  FixedMeasure measure;
  TMeasureCaches caches;
};

}  // namespace

TEST(CharWidthCache, KeyedByCharacterStyleAndCharset) {
  TCharWidthCache cache;
  EXPECT_EQ(cache.GetCharWidth(u'a', 0, 0), -1);
  cache.SetCharWidth(u'a', 0, 0, 7);
  cache.SetCharWidth(u'a', 2, fsItalic, 9);
  EXPECT_EQ(cache.GetCharWidth(u'a', 0, 0), 7);
  EXPECT_EQ(cache.GetCharWidth(u'a', 0, fsBold), -1);
  EXPECT_EQ(cache.GetCharWidth(u'a', 1, 0), -1);
  EXPECT_EQ(cache.GetCharWidth(u'a', 2, fsItalic), 9);
  // Keys that collide in one bucket are told apart by the whole key.
  for (Char c = 0; c < 3000; ++c) cache.SetCharWidth(c, 5, 0, c % 50);
  for (Char c = 0; c < 3000; ++c) ASSERT_EQ(cache.GetCharWidth(c, 5, 0), c % 50);
  cache.Clear();
  EXPECT_EQ(cache.GetCharWidth(u'a', 0, 0), -1);
  EXPECT_EQ(cache.GetCharWidth(u'x', 5, 0), -1);
}

TEST_F(Caches, CharWidthMeasuresOnceAndWithoutCanvasIsTheSpaceWidth) {
  EXPECT_EQ(caches.GetCharWidth(u'i', 0, 0), 5);
  EXPECT_EQ(caches.GetCharWidth(u'i', 0, 0), 5);
  EXPECT_EQ(measure.CharWidthCalls, 2);  // the space width, then 'i' once
  measure.SetBoldExtra(3);
  EXPECT_EQ(caches.GetCharWidth(u'i', fsBold, 0), 8);
  caches.SetCanvas(nullptr);
  caches.SetSpaceWidth(7);
  EXPECT_EQ(caches.GetCharWidth(u'i', 0, 0), 7);
  caches.SetSpaceWidth(0);
  EXPECT_EQ(caches.SpaceWidth(), 1);
}

TEST_F(Caches, SimpleRun) {
  const TTextAnalysisRef run = caches.GetTextAnalysis(u"wit", 0, 0);
  EXPECT_EQ(run->Width(), 25);
  EXPECT_EQ(run->SSA(), nullptr);
  EXPECT_EQ(run->GetCharArea(1), (TKivTextArea{10, 15}));
  EXPECT_EQ(run->GetCharArea(2), (TKivTextArea{15, 25}));
  EXPECT_EQ(run->GetCharArea(3), (TKivTextArea{0, 0}));
  EXPECT_EQ(run->GetCharArea(-1), (TKivTextArea{0, 0}));

  struct {
    Integer X, Index;
    bool Trailing;
  } hits[] = {{-3, 0, false}, {0, 0, false},  {4, 0, false}, {5, 0, false}, {6, 0, true},   {9, 0, true},
              {10, 1, false}, {12, 1, false}, {13, 1, true}, {14, 1, true}, {15, 2, false}, {20, 2, false},
              {21, 2, true},  {24, 2, true},  {25, 2, true}, {99, 2, true}};
  for (const auto& h : hits) {
    bool trailing = !h.Trailing;
    EXPECT_EQ(run->GetCharIndex(h.X, trailing), h.Index) << "x=" << h.X;
    EXPECT_EQ(trailing, h.Trailing) << "x=" << h.X;
  }

  EXPECT_EQ(AreasText(run->GetRangeArea(1, 2)), "(10,25)");
  EXPECT_EQ(AreasText(run->GetRangeArea(0, 3)), "(0,25)");
  EXPECT_EQ(AreasText(run->GetRangeArea(0, 1)), "(0,10)");
  EXPECT_EQ(AreasText(run->GetRangeArea(-2, 3)), "(0,10)");
  EXPECT_EQ(AreasText(run->GetRangeArea(2, 9)), "(15,25)");
  EXPECT_EQ(AreasText(run->GetRangeArea(1, 0)), "");
  EXPECT_EQ(AreasText(run->GetRangeArea(3, 1)), "");
}

TEST_F(Caches, EmptyRunIsNeverShaped) {
  const TTextAnalysisRef run = caches.GetTextAnalysis(u"", 0, 0);
  EXPECT_EQ(run->Width(), 0);
  bool trailing = true;
  EXPECT_EQ(run->GetCharIndex(0, trailing), -1);
  EXPECT_FALSE(trailing);
  EXPECT_EQ(run->GetCharIndex(-5, trailing), -1);
  EXPECT_EQ(AreasText(run->GetRangeArea(0, 0)), "");
  EXPECT_EQ(run->GetCharArea(0), (TKivTextArea{0, 0}));
  EXPECT_EQ(measure.ShapeCalls, 0);
}

TEST_F(Caches, RightToLeftRunIsShapedOnce) {
  const TTextAnalysisRef run = caches.GetTextAnalysis(u"\u05D0\u05D1\u05D2", 0, 0);
  EXPECT_EQ(run->Width(), 30);
  ASSERT_NE(run->SSA(), nullptr);
  EXPECT_EQ(run->GetCharArea(0), (TKivTextArea{30, 20}));
  EXPECT_EQ(run->GetCharArea(2), (TKivTextArea{10, 0}));
  EXPECT_EQ(AreasText(run->GetRangeArea(0, 2)), "(30,10)");
  EXPECT_EQ(AreasText(run->GetRangeArea(1, 2)), "(20,0)");
  EXPECT_EQ(AreasText(run->GetRangeArea(0, 3)), "(0,30)");
  bool trailing = false;
  EXPECT_EQ(run->GetCharIndex(2, trailing), 2);  // the leftmost glyph is the last character
  EXPECT_TRUE(trailing);
  EXPECT_EQ(run->GetCharIndex(28, trailing), 0);
  EXPECT_FALSE(trailing);
  EXPECT_EQ(measure.ShapeCalls, 1);
}

TEST_F(Caches, MixedRunGivesOneAreaPerVisualRun) {
  const TTextAnalysisRef run = caches.GetTextAnalysis(u"ab\u05D0\u05D1", 0, 0);
  EXPECT_EQ(AreasText(run->GetRangeArea(1, 2)), "(10,20)(40,30)");
  EXPECT_EQ(AreasText(run->GetRangeArea(0, 4)), "(0,40)");
  EXPECT_EQ(AreasText(run->GetRangeArea(1, 3)), "(10,20)(40,20)");
  // Each direction change starts an area (even where the areas meet), beyond the first four entries.
  const TTextAnalysisRef alt = caches.GetTextAnalysis(u"a\u05D0b\u05D1c\u05D2d\u05D3e", 0, 0);
  EXPECT_EQ(AreasText(alt->GetRangeArea(1, 7)), "(20,10)(20,30)(40,30)(40,50)(60,50)(60,70)(80,70)");
}

TEST_F(Caches, ItemsAreIdentifiedByTextStyleAndCharset) {
  TTextDataCache& data = caches.TextDataCache();
  const TTextAnalysis* plain = caches.GetTextAnalysis(u"abc", 0, 0).get();
  const TTextAnalysis* bold = caches.GetTextAnalysis(u"abc", fsBold, 0).get();
  const TTextAnalysis* charset2 = caches.GetTextAnalysis(u"abc", 0, 2).get();
  EXPECT_NE(plain, bold);
  EXPECT_NE(plain, charset2);
  EXPECT_NE(bold, charset2);
  EXPECT_EQ(data.Count(), 3);
  EXPECT_EQ(caches.GetTextAnalysis(u"abc", 0, 0).get(), plain);
  EXPECT_EQ(data.Count(), 3);
  // Same hash input, different characters: "ab" and "b" + 4*'a' collide in F; the texts decide.
  EXPECT_NE(caches.GetTextAnalysis(u"abd", 0, 0).get(), plain);
  EXPECT_EQ(data.Count(), 4);
}

TEST_F(Caches, GenerationsEvictRunsUnusedByTheScreen) {
  TTextDataCache& data = caches.TextDataCache();
  for (const char16_t* s : {u"A", u"B", u"C", u"D"}) caches.GetTextAnalysis(s, 0, 0);
  data.BeginScreen();
  const TTextAnalysisRef a = caches.GetTextAnalysis(u"A", 0, 0);
  caches.GetTextAnalysis(u"B", 0, 0);
  data.EndScreen();
  EXPECT_EQ(data.Count(), 4);  // half reused: nothing goes
  data.BeginScreen();
  caches.GetTextAnalysis(u"A", 0, 0);
  data.EndScreen();
  EXPECT_EQ(data.Count(), 1);
  EXPECT_EQ(caches.GetTextAnalysis(u"A", 0, 0), a);
  EXPECT_EQ(data.Count(), 1);
  caches.GetTextAnalysis(u"B", 0, 0);
  EXPECT_EQ(data.Count(), 2);  // B was evicted and is made again
}

TEST_F(Caches, AnEvictedRunStillAnswersForItsHolder) {
  TTextDataCache& data = caches.TextDataCache();
  const TTextAnalysisRef held = caches.GetTextAnalysis(u"wit", 0, 0);  // never queried yet
  const TTextAnalysisRef heb = caches.GetTextAnalysis(u"\u05D0\u05D1", 0, 0);
  data.BeginScreen();
  caches.GetTextAnalysis(u"x", 0, 0);
  data.EndScreen();
  EXPECT_EQ(data.Count(), 1);
  caches.Clear();
  EXPECT_EQ(held->Width(), 25);
  EXPECT_EQ(held->GetCharArea(2), (TKivTextArea{15, 25}));
  EXPECT_EQ(heb->GetCharArea(0), (TKivTextArea{20, 10}));
}

TEST_F(Caches, WithoutCanvasEveryCharacterIsASpace) {
  caches.SetCanvas(nullptr);
  caches.SetSpaceWidth(8);
  const TTextAnalysisRef run = caches.GetTextAnalysis(u"i\u05D0x", 0, 0);
  EXPECT_EQ(run->Width(), 24);
  EXPECT_EQ(run->SSA(), nullptr);
  EXPECT_EQ(measure.ShapeCalls, 0);
}

TEST(AttrsCache, OneFontPerStyleAndCharsetUntilReset) {
  struct Font {
    std::string Name;
    TKivFontStyles Fs = 0;
    TKivFontCharset Charset = 0;
  };
  int made = 0;
  const Font base{"Mono"}, other{"Sans"};
  TAttrsCache<Font> cache(&base, [&made](const Font& ABase, TKivFontStyles AFs, TKivFontCharset ACharset) {
    ++made;
    return std::make_unique<Font>(Font{ABase.Name, AFs, ACharset});
  });
  Font* bold = cache.GetFont(fsBold, 0);
  ASSERT_NE(bold, nullptr);
  EXPECT_EQ(bold->Name, "Mono");
  EXPECT_EQ(bold->Fs, fsBold);
  EXPECT_EQ(cache.GetFont(fsBold, 0), bold);
  EXPECT_NE(cache.GetFont(fsBold, 1), bold);
  EXPECT_EQ(cache.GetFont(fsBold, 1)->Charset, 1);
  EXPECT_EQ(made, 2);
  // Every style and charset combination is its own font, also across bucket collisions.
  for (int cs = 0; cs < 8; ++cs)
    for (TKivFontStyles fs = 0; fs < 16; ++fs) {
      Font* f = cache.GetFont(fs, TKivFontCharset(cs));
      ASSERT_EQ(f->Fs, fs);
      ASSERT_EQ(f->Charset, cs);
    }
  EXPECT_EQ(made, 128);
  cache.Reset(&other);
  Font* again = cache.GetFont(fsBold, 0);
  EXPECT_EQ(again->Name, "Sans");
  EXPECT_EQ(made, 129);
  cache.Reset(nullptr);
  EXPECT_EQ(cache.GetFont(0, 0), nullptr);
}

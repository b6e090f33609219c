// The cached engine against a layout made from nothing: every answer of a cache that lived
// through queries and edits must equal what a new cache over the same text gives.
#include <gtest/gtest.h>

#include <random>

#include "KivTestSeed.h"
#include "LayoutHarness.h"

namespace {

TKivString RandomSnippet(std::mt19937& ARng, int AMaxLen) {
  static const char16_t* pieces[] = {u"a", u"b", u"cd", u"efg", u"W",    u" ",     u" ",      u"\t",
                                     u".", u"(", u"\r", u"\n",  u"\r\n", u"hijkl", u"mnopqrs"};
  TKivString s;
  const int n = 1 + int(ARng() % AMaxLen);
  for (int i = 0; i < n; ++i) s += pieces[ARng() % std::size(pieces)];
  return s;
}

// Everything a layout answers, as text: each offset's state and each row's chunks.
std::string Layout(LayoutHarness& AH, TScreenCache& ACache) {
  std::string s;
  const Integer count = AH.Doc.CharsCount();
  for (Integer o = 0; o <= count; ++o) {
    const TWrapParserState st = ACache.WP_GetStateOverFolds(o);
    s += std::to_string(o) + "=" + std::to_string(st.X) + "," + std::to_string(st.XPix) + "," +
         std::to_string(st.Y) + (st.IsStable ? "s " : " ");
  }
  const Integer rows = ACache.CalkVisibleCountScroll();
  s += "\nrows " + std::to_string(rows) + "\n";
  for (Integer y = 0; y < rows; ++y) s += AH.RowChunks(ACache, y) + "\n";
  return s;
}

}  // namespace

TEST(WrapDifferential, CachedLayoutEqualsAFreshOneThroughEdits) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  for (int round = 0; round < 60; ++round) {
    const TKivViewWrapMode mode = round % 6 == 5 ? wmNoWrap : wmWrapToRuler;
    LayoutHarness h(RandomSnippet(rng, 40), mode, 3 + Integer(rng() % 13), 1 + Integer(rng() % 8));
    h.Measure.Override(u'W', 20);
    h.Measure.SetBoldExtra(3);
    if (round % 3 == 0) {
      TKivEditAttributes bold;
      bold.FontStyle = fsBold;
      bold.AttributesSet = asFontStyle;
      h.Cache->SetHighlightAttrs(bold, true);
      TKivEditAttributes italicBold = bold;
      italicBold.FontStyle = fsBold | fsItalic;
      h.Parser->SetTokens(0, {{2, 3, italicBold, 5}});
    }
    h.Cache->ResetPreserve();
    for (int step = 0; step < 25; ++step) {
      const Integer count = h.Doc.CharsCount();
      std::string what;
      switch (rng() % 9) {
        case 0:
        case 1: {  // anywhere
          const Integer at = Integer(rng() % (count + 1));
          h.Doc.Insert(at, RandomSnippet(rng, 4));
          what = "insert at " + std::to_string(at);
          break;
        }
        case 2: {  // within two characters of a line end
          const Integer line = Integer(rng() % h.Doc.LinesCount());
          const Integer at = std::max(h.Doc.GetLineStart(line), h.Doc.GetLineEnd(line) - Integer(rng() % 3));
          if (rng() % 2 && at < count) {
            h.Doc.Delete(at, 1);
            what = "delete near end at " + std::to_string(at);
          } else {
            h.Doc.Insert(at, rng() % 2 ? u"x" : u"\n");
            what = "insert near end at " + std::to_string(at);
          }
          break;
        }
        case 3:
        case 4: {  // a short deletion: shortens a word that was pushed to the next row
          if (count == 0) break;
          const Integer at = Integer(rng() % count);
          const Integer n = std::min<Integer>(1 + Integer(rng() % 3), count - at);
          h.Doc.Delete(at, n);
          what = "delete " + std::to_string(at) + "+" + std::to_string(n);
          break;
        }
        case 5: {  // a highlight (bold in some rounds)
          if (count == 0) break;
          const Integer at = Integer(rng() % count);
          const Integer n = std::min<Integer>(Integer(rng() % 5), count - at);
          if (rng() % 3)
            h.Cache->AddHighlight(at, n);
          else
            h.Cache->RemoveHighlight(at, n);
          what = "highlight " + std::to_string(at) + "+" + std::to_string(n);
          break;
        }
        case 6: {  // collapse or expand a fold
          const Integer lines = h.Doc.LinesCount();
          if (lines < 2) break;
          const Integer start = Integer(rng() % (lines - 1));
          if (h.Cache->CollapsedEnd(start) >= 0) {
            h.Cache->ExpandLines(start);
            what = "expand " + std::to_string(start);
          } else {
            try {
              h.Cache->CollapseLines(start,
                                     start + 1 + Integer(rng() % std::min<Integer>(3, lines - 1 - start)));
              what = "collapse " + std::to_string(start);
            } catch (const EKivEditViewError&) {  // overlaps another fold
            }
          }
          break;
        }
        default: {  // queries only: states of random offsets and rows get cached
          for (int q = 0; q < 5; ++q) {
            h.Cache->WP_GetStateOverFolds(Integer(rng() % (count + 1)));
            h.Cache->WP_GetStateByXY(Integer(rng() % 20), Integer(rng() % 6), false, rng() % 2);
          }
          what = "queries";
          break;
        }
      }
      if (step % 2 == 1 || what == "queries") continue;  // let stale states pile up between checks
      auto fresh = h.FreshCache();
      ASSERT_EQ(Layout(h, *h.Cache), Layout(h, *fresh)) << "round " << round << " step " << step << " after "
                                                        << what << "\ntext: " << KivToUtf8(h.Doc.Text());
    }
  }
}

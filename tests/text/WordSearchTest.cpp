#include <gtest/gtest.h>

#include <random>

#include "KivSedUtils.h"
#include "KivTestSeed.h"

namespace {

const TKivString kFullSeparators = TKivString(u"[]()<>{};.,'\"#@&*!^:-+=/\\~`%|") + u"\r\n\f \t";

enum TFn { fnNextStart, fnPrevStart, fnNextEnd, fnPrevEnd };

Integer Call(TKivWordSearch& AWs, TFn AFn, Integer AOffset, Integer AMax, TKivStringView ASeps) {
  switch (AFn) {
    case fnNextStart:
      return AWs.FindNextWordStart(AOffset, AMax, ASeps);
    case fnPrevStart:
      return AWs.FindPrevWordStart(AOffset, AMax, ASeps);
    case fnNextEnd:
      return AWs.FindNextWordEnd(AOffset, AMax, ASeps);
    case fnPrevEnd:
      return AWs.FindPrevWordEnd(AOffset, AMax, ASeps);
  }
  return -2;
}

// A direct reading of the searches without a count limit, on a plain string.
class TModel {
 public:
  TModel(const TKivString& AText, const TKivString& ASeps)
      : T(AText), S(ASeps), N(static_cast<Integer>(AText.size())) {}

  bool Word(Integer i) const { return S.find(T[static_cast<size_t>(i)]) == TKivString::npos; }
  Integer FirstWord(Integer from) const {
    for (Integer i = from; i < N; ++i)
      if (Word(i)) return i;
    return -1;
  }
  Integer FirstSep(Integer from) const {
    for (Integer i = from; i < N; ++i)
      if (!Word(i)) return i;
    return -1;
  }
  Integer LastWord(Integer from) const {
    for (Integer i = from; i >= 0; --i)
      if (Word(i)) return i;
    return -1;
  }
  Integer LastSep(Integer from) const {
    for (Integer i = from; i >= 0; --i)
      if (!Word(i)) return i;
    return -1;
  }
  Integer StartOf(Integer p) const {
    while (p > 0 && Word(p - 1)) --p;
    return p;
  }

  // Forward: the word at the offset is skipped.
  Integer NextStart(Integer o) const {
    if (o == N) return N > 0 && Word(N - 1) ? N - 1 : -1;
    const Integer p = FirstWord(o);
    if (p != o) return p;
    const Integer q = FirstSep(o);
    return q == -1 ? -1 : FirstWord(q);
  }
  // Backward: the start of the word at or before the offset, unless the offset is that start.
  Integer PrevStart(Integer o) const {
    const Integer p = LastWord(std::min(o, N - 1));
    if (p == -1) return -1;
    const Integer s = StartOf(p);
    if (s == o) return o == 0 ? -1 : PrevStart(o - 1);
    return s;
  }
  Integer NextEnd(Integer o, bool outer = true) const {
    const Integer p = o == N ? (N > 0 && Word(N - 1) ? N - 1 : -1) : FirstWord(o);
    if (p == -1) return -1;
    const Integer q = FirstSep(p);
    const Integer e = q == -1 ? N - 1 : q - 1;
    if (e == o && outer) return o + 1 == N ? -1 : NextEnd(o + 1, false);
    return e;
  }
  Integer PrevEnd(Integer o) const {
    const Integer p = LastWord(std::min(o, N - 1));
    if (p == -1 || p != o) return p;
    const Integer q = LastSep(o);
    return q == -1 ? -1 : LastWord(q);
  }
  std::pair<Integer, Integer> Near(Integer o, bool backward) const {
    Integer s;
    if (backward) {
      const Integer p = LastWord(std::min(o, N - 1));
      s = p == -1 ? -1 : StartOf(p);
    } else {
      s = NextStart(o);
    }
    if (s == -1) return {-1, 0};
    const Integer q = FirstSep(s);
    return {s, (q == -1 ? N : q) - s};
  }

 private:
  const TKivString& T;
  const TKivString& S;
  Integer N;
};

}  // namespace

TEST(WordSearch, Cases) {
  struct Case {
    const char16_t* Text;
    TFn Fn;
    Integer Offset, Max;
    const char16_t* Seps;
    Integer Expected;
  };
  const Case cases[] = {
      {u"abc def", fnNextStart, 0, -1, u"", 4},
      {u"abc def", fnNextStart, 0, 3, u"", -1},  // the separator lies beyond the count
      {u"abc def", fnNextStart, 0, 4, u"", -1},  // the next word lies beyond the count
      {u"abc def", fnNextStart, 0, 5, u"", 4},
      {u"abc def", fnNextStart, 3, -1, u"", 4},
      {u"abc def", fnNextStart, 4, -1, u"", -1},
      {u"abc def", fnNextStart, 7, -1, u"", 6},  // at the end: the last character when it is a word's
      {u"abc ", fnNextStart, 4, -1, u"", -1},
      {u"", fnNextStart, 0, -1, u"", -1},
      {u"abc def", fnNextStart, 1, 0, u"", -1},
      {u"abc def", fnPrevStart, 0, -1, u"", -1},
      {u"abc def", fnPrevStart, 4, -1, u"", 0},  // from a word start to the previous word
      {u"abc def", fnPrevStart, 5, -1, u"", 4},
      {u"abc def", fnPrevStart, 3, -1, u"", 0},
      {u"abc def", fnPrevStart, 7, -1, u"", 4},
      {u"abc def", fnPrevStart, 4, 2, u"", -1},
      {u"abc def", fnPrevStart, 4, 3, u"", 2},  // a word cut by the count starts at the limit
      {u"abc def", fnPrevStart, 6, 2, u"", 5},
      {u"  abc", fnPrevStart, 1, -1, u"", -1},
      {u"abc def", fnNextEnd, 1, -1, u"", 2},
      {u"abc def", fnNextEnd, 2, -1, u"", 6},  // at a word's end: the next word's end
      {u"abc def", fnNextEnd, 3, -1, u"", 6},
      {u"abc def", fnNextEnd, 6, -1, u"", -1},
      {u"abc def", fnNextEnd, 7, -1, u"", 6},
      {u"abc def", fnNextEnd, 1, 1, u"", -1},
      {u"abc def", fnNextEnd, 1, 2, u"", 2},
      {u"abc def", fnNextEnd, 0, 2, u"", 1},  // cut by the count
      {u"abc def", fnPrevEnd, 5, -1, u"", 2},
      {u"abc def", fnPrevEnd, 3, -1, u"", 2},
      {u"abc def", fnPrevEnd, 2, -1, u"", -1},
      {u"abc def", fnPrevEnd, 7, -1, u"", 6},
      {u"abc def", fnPrevEnd, 6, -1, u"", 2},
      {u"a-b,c d", fnNextStart, 0, -1, u"", 2},   // '-' is a full word separator
      {u"a-b,c d", fnNextStart, 0, -1, u",", 4},  // a given set replaces it (plus blanks)
      {u"a-b,c d", fnNextStart, 4, -1, u",", 6},
      {u"a-b\r\nc", fnNextStart, 0, -1, u",", 5},
      {u"x\ty", fnNextStart, 0, -1, u"#", 2},
  };
  for (const auto& c : cases) {
    TKivSeqFromString seq(c.Text);
    TKivWordSearch ws(seq, kFullSeparators);
    EXPECT_EQ(Call(ws, c.Fn, c.Offset, c.Max, c.Seps), c.Expected)
        << "fn " << c.Fn << " text '" << KivToUtf8(c.Text) << "' offset " << c.Offset << " max " << c.Max
        << " seps '" << KivToUtf8(c.Seps) << "'";
  }
}

TEST(WordSearch, NearWord) {
  TKivSeqFromString seq(u"hello world");
  TKivWordSearch ws(seq, kFullSeparators);
  struct Case {
    Integer Offset;
    bool Backward;
    Integer Start, Count;
  };
  const Case cases[] = {
      {6, true, 6, 5},  {8, true, 6, 5},  {5, true, 0, 5},   {11, true, 6, 5},   {0, true, 0, 5},
      {0, false, 6, 5}, {5, false, 6, 5}, {6, false, -1, 0}, {11, false, 10, 1},
  };
  for (const auto& c : cases) {
    const TKivSegment seg = ws.FindNearWord(c.Offset, -1, u"", c.Backward);
    EXPECT_EQ(seg.Start, c.Start) << c.Offset << (c.Backward ? " back" : " fwd");
    EXPECT_EQ(seg.Count, c.Count) << c.Offset << (c.Backward ? " back" : " fwd");
    EXPECT_EQ(seg.Source, c.Start == -1 ? nullptr : &seq);
  }
  EXPECT_EQ(SegmentToString(ws.FindPrevWord(8)), u"world");
  EXPECT_EQ(SegmentToString(ws.FindNextWord(2)), u"world");

  // Punctuation stays inside the word when only blanks separate.
  TKivSeqFromString link(u"see http://x.org/a now");
  TKivWordSearch lws(link, kFullSeparators);
  EXPECT_EQ(SegmentToString(lws.FindNearWord(11, -1, u" \t", true)), u"http://x.org/a");
  EXPECT_EQ(SegmentToString(lws.FindNearWord(11, -1, u"", true)), u"x");
  EXPECT_EQ(SegmentToString(lws.FindNearWord(10, -1, u"", true)), u"http");
}

TEST(WordSearch, AgreesWithModelWithoutLimit) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  const char16_t alphabet[] = u"ab .\r\n";
  for (int round = 0; round < 400; ++round) {
    const int n = std::uniform_int_distribution<int>(0, 14)(rng);
    TKivString text;
    for (int i = 0; i < n; ++i) text.push_back(alphabet[rng() % 6]);
    TKivSeqFromString seq(text);
    TKivWordSearch ws(seq, kFullSeparators);
    const TModel model(text, kFullSeparators);
    for (Integer o = 0; o <= n; ++o) {
      // -1 and a count beyond the text both mean "no limit".
      for (Integer max : {-1, 1000}) {
        const std::string where = "seed " + std::to_string(seed) + " text '" + KivToUtf8(text) + "' offset " +
                                  std::to_string(o) + " max " + std::to_string(max);
        ASSERT_EQ(ws.FindNextWordStart(o, max), model.NextStart(o)) << where;
        ASSERT_EQ(ws.FindPrevWordStart(o, max), model.PrevStart(o)) << where;
        ASSERT_EQ(ws.FindNextWordEnd(o, max), model.NextEnd(o)) << where;
        ASSERT_EQ(ws.FindPrevWordEnd(o, max), model.PrevEnd(o)) << where;
        for (bool back : {false, true}) {
          const TKivSegment seg = ws.FindNearWord(o, max, u"", back);
          const auto expected = model.Near(o, back);
          ASSERT_EQ(seg.Start, expected.first) << where << " back " << back;
          ASSERT_EQ(seg.Count, expected.second) << where << " back " << back;
        }
      }
    }
  }
}

TEST(WordSearch, InvalidOffsetRaisesDocumentError) {
  TKivSeqFromString seq(u"abc def");
  TKivWordSearch ws(seq, kFullSeparators);
  for (TFn fn : {fnNextStart, fnPrevStart, fnNextEnd, fnPrevEnd}) {
    for (Integer offset : {-1, 8}) {
      try {
        Call(ws, fn, offset, -1, u"");
        ADD_FAILURE() << "no error for fn " << fn << " offset " << offset;
      } catch (const EKivEditDocError& e) {
        EXPECT_EQ(
            e.Message(),
            KivFormat(u"Invalid offset given for search in document: %d. Valid range: [0, 7]", {offset}));
      }
    }
    EXPECT_EQ(Call(ws, fn, 99, 0, u""), -1);  // a zero count looks at nothing
  }
  try {
    ws.FindNearWord(-5, 0, u"", true);
    ADD_FAILURE() << "no error";
  } catch (const EKivEditDocError& e) {
    EXPECT_EQ(e.Message(), u"Invalid offset given for search in document: -5. Valid range: [0, 7]");
  }
  EXPECT_EQ(TKivWordSearch::EffectiveSeparators(u",", kFullSeparators), u", \t\r\n");
  EXPECT_EQ(TKivWordSearch::EffectiveSeparators(u"", kFullSeparators), kFullSeparators);
}

TEST(WordSearch, CountLimitsTheCharactersLookedAt) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  const char16_t alphabet[] = u"ab .\r\n";
  for (int round = 0; round < 300; ++round) {
    const int n = std::uniform_int_distribution<int>(0, 14)(rng);
    TKivString text;
    for (int i = 0; i < n; ++i) text.push_back(alphabet[rng() % 6]);
    TKivSeqFromString seq(text);
    TKivWordSearch ws(seq, kFullSeparators);
    for (Integer o = 0; o <= n; ++o) {
      for (Integer m = 1; m <= n + 2; ++m) {
        for (TFn fn : {fnNextStart, fnPrevStart, fnNextEnd, fnPrevEnd}) {
          const bool back = fn == fnPrevStart || fn == fnPrevEnd;
          const Integer r = Call(ws, fn, o, m, u"");
          const Integer unlimited = Call(ws, fn, o, -1, u"");
          // The window of indices the search may look at.
          Integer lo, hi;
          if (back) {
            lo = o - std::min(m, o + 1) + 1;
            hi = std::min(o, n - 1);
          } else if (o == n) {
            lo = hi = n - 1;
          } else {
            lo = o;
            hi = o + std::min(m, n - o) - 1;
          }
          const std::string where = "seed " + std::to_string(seed) + " fn " + std::to_string(fn) + " text '" +
                                    KivToUtf8(text) + "' offset " + std::to_string(o) + " max " +
                                    std::to_string(m);
          if (r != -1) {
            ASSERT_GE(r, lo) << where;
            ASSERT_LE(r, hi) << where;
          }
          // A result found well inside the window is found with the limit too.
          if (unlimited > lo && unlimited < hi) {
            ASSERT_EQ(r, unlimited) << where;
          }
        }
      }
    }
  }
}

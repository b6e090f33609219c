#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "KivSedUtils.h"
#include "KivTestSeed.h"
#include "TextTestSupport.h"

namespace {

// A sequence of Count synthetic characters (character i is 'a' + i % 26) that records its
// window fills, with a window of any size.
class TProbeSeq : public TKivCharSeq {
 public:
  TProbeSeq(Integer ACount, Integer ABufSize) : TKivCharSeq(ABufSize) { FCount = ACount; }
  static Char CharAt(Integer AIdx) { return static_cast<Char>(u'a' + AIdx % 26); }
  std::vector<std::pair<Integer, Integer>> Fills;

 protected:
  void FillBuffer(Integer AStart, Integer AEnd) override {
    Fills.emplace_back(AStart, AEnd);
    for (Integer i = AStart; i < AEnd; ++i) FBuffer[static_cast<size_t>(i - AStart)] = CharAt(i);
  }
};

}  // namespace

TEST(CharSeq, WindowRule) {
  struct Case {
    Integer Count, BufSize;
    std::vector<Integer> Reads;
    Integer Start, End;  // window after the reads
    size_t Fills;
  };
  const Case cases[] = {
      {100, 512, {0}, 0, 100, 1},  // first read fills [0, min(S, N))
      {10000, 512, {0}, 0, 512, 1},
      {10000, 512, {600}, 595, 1107, 1},     // forward: 5 before the index
      {10000, 512, {600, 590}, 84, 596, 2},  // backward: 5 after the index
      {1000, 512, {600}, 488, 1000, 1},      // clamped at the end
      {10000, 512, {9999}, 9488, 10000, 1},
      {10000, 512, {600, 595, 599, 1106}, 595, 1107, 1},  // inside the window: no refill
      {10000, 512, {600, 1107}, 1102, 1614, 2},           // one past the end moves forward
      {10000, 512, {600, 594}, 88, 600, 2},               // one before the start moves backward
      {10000, 512, {600, 590, 596}, 591, 1103, 3},        // leaving a backward window forwards
      {10000, 512, {3, 2}, 0, 512, 1},
      {10000, 512, {700, 3}, 0, 512, 2},  // backward below 0 is clamped to [0, S)
      {6, 6, {5, 0, 3}, 0, 6, 1},
      {50, 6, {20, 19, 15, 14, 8}, 8, 14, 3},
      {50, 6, {20, 21}, 16, 22, 2},
  };
  for (const auto& c : cases) {
    TProbeSeq seq(c.Count, c.BufSize);
    for (Integer r : c.Reads) ASSERT_EQ(seq.GetChar(r), TProbeSeq::CharAt(r)) << "read " << r;
    EXPECT_EQ(seq.BufferStart(), c.Start) << "N=" << c.Count << " last read " << c.Reads.back();
    EXPECT_EQ(seq.BufferEnd(), c.End) << "N=" << c.Count << " last read " << c.Reads.back();
    EXPECT_EQ(seq.Fills.size(), c.Fills) << "N=" << c.Count << " last read " << c.Reads.back();
  }
}

TEST(CharSeq, ScanRefillsOncePerWindowMinusGap) {
  TProbeSeq seq(10000, 512);
  for (Integer i = 0; i < 10000; ++i) ASSERT_EQ(seq.GetChar(i), TProbeSeq::CharAt(i));
  // [0,512) then every 507 characters.
  EXPECT_EQ(seq.Fills.size(), 1u + (10000 - 512 + 506) / 507);
  seq.Fills.clear();
  for (Integer i = 9999; i >= 0; --i) ASSERT_EQ(seq.GetChar(i), TProbeSeq::CharAt(i));
  EXPECT_LE(seq.Fills.size(), 1u + 10000 / 506);
}

TEST(CharSeq, RandomReadsAgreeWithTheModelAndKeepTheInvariant) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  for (int round = 0; round < 200; ++round) {
    const Integer n = std::uniform_int_distribution<Integer>(1, 3000)(rng);
    const Integer s = std::uniform_int_distribution<Integer>(6, 700)(rng);
    TProbeSeq seq(n, s);
    Integer pos = std::uniform_int_distribution<Integer>(0, n - 1)(rng);
    for (int k = 0; k < 300; ++k) {
      // Mostly short steps either way, sometimes a jump.
      if (rng() % 8 == 0) {
        pos = std::uniform_int_distribution<Integer>(0, n - 1)(rng);
      } else {
        pos = std::clamp(pos + std::uniform_int_distribution<Integer>(-12, 12)(rng), 0, n - 1);
      }
      ASSERT_EQ(seq.GetChar(pos), TProbeSeq::CharAt(pos)) << "seed " << seed;
      ASSERT_LE(seq.BufferStart(), pos);
      ASSERT_LT(pos, seq.BufferEnd());
      ASSERT_GE(seq.BufferStart(), 0);
      ASSERT_LE(seq.BufferEnd(), n);
      ASSERT_LE(seq.BufferEnd() - seq.BufferStart(), s);
    }
    for (auto [a, b] : seq.Fills) ASSERT_LE(b - a, s) << "seed " << seed;
  }
}

TEST(CharSeq, ReadsOutsideTheSequenceAreAssertions) {
  TProbeSeq seq(10, 16);
  EXPECT_THROW(seq.GetChar(-1), EKivInternalError);
  EXPECT_THROW(seq.GetChar(10), EKivInternalError);
  EXPECT_THROW(seq.AssureIdx(1 << 30), EKivInternalError);
  TProbeSeq empty(0, 16);
  EXPECT_THROW(empty.GetChar(0), EKivInternalError);
  EXPECT_TRUE(empty.Fills.empty());
  EXPECT_THROW(TProbeSeq(10, 5), EKivInternalError);  // window not larger than the bound gap
}

TEST(SeqFromString, ResetReplacesContentAndInvalidatesTheWindow) {
  TKivSeqFromString seq(u"hello");
  EXPECT_EQ(seq.Count(), 5);
  EXPECT_EQ(seq.GetChar(1), u'e');
  seq.Reset(u"world!");
  EXPECT_EQ(seq.Count(), 6);
  EXPECT_EQ(seq.GetChar(1), u'o');  // a stale window would still give 'e'
  EXPECT_EQ(CharSeqToString(seq), u"world!");
  seq.Reset(u'x', 3);
  EXPECT_EQ(CharSeqToString(seq), u"xxx");
  seq.Reset(u'x', 0);
  EXPECT_EQ(seq.Count(), 0);
  EXPECT_EQ(MessageOf([&] { seq.Reset(u'x', -1); }), u"Invalid Count value");
  const TKivString big(1000, u'q');
  seq.Reset(big);
  EXPECT_EQ(CharSeqToString(seq), big);
  seq.Reset(u"ab");
  EXPECT_EQ(CharSeqToString(seq), u"ab");
  const TKivSegment whole = seq.WholeSegment();
  EXPECT_EQ(whole.Start, 0);
  EXPECT_EQ(whole.Count, 2);
  EXPECT_EQ(whole.Source, &seq);
}

TEST(Segments, Validity) {
  TKivSeqFromString empty(u"");
  TKivSeqFromString five(u"abcde");
  struct Case {
    TKivCharSeq* Source;
    Integer Start, Count;
    bool Valid;
  };
  const Case cases[] = {
      {&five, 0, 5, true},    {&five, 0, 0, true},          {&five, 5, 0, true},    {&five, 2, 3, true},
      {&five, 2, 4, false},   {&five, 6, 0, false},         {&five, -1, 0, false},  {&five, -1, 1, false},
      {&five, 1, -1, false},  {&five, 3, INT32_MAX, false}, {&empty, 0, 0, true},   {&empty, -1, 0, false},
      {&empty, -1, 1, false}, {&empty, 1, 0, false},        {nullptr, 0, 0, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsValidSegment(MakeSegment(c.Start, c.Count, c.Source)), c.Valid) << c.Start << "," << c.Count;
}

TEST(Segments, HelpersReadAndCopy) {
  TKivSeqFromString seq(u"0123456789");
  const TKivSegment seg = MakeSegment(3, 4, &seq);
  EXPECT_EQ(SegmentToString(seg), u"3456");
  EXPECT_EQ(SegmentChar(seg, 0), u'3');
  EXPECT_EQ(SegmentChar(seg, 3), u'6');
  EXPECT_EQ(SegmentLast(seg), 6);
  EXPECT_EQ(SegmentToString(MakeSegment(4, 0, &seq)), u"");
  EXPECT_EQ(SegmentToString(TKivSegment{}), u"");
  EXPECT_EQ(MessageOf([&] { SegmentToString(MakeSegment(8, 5, &seq)); }), u"Bad segment passed to function");

  TKivSegment null;
  EXPECT_TRUE(IsNullSegment(null));
  EXPECT_EQ(null.Start, -1);
  EXPECT_EQ(null.Count, 0);
  EXPECT_TRUE(IsNullSegment(MakeSegment(0, 3, nullptr)));
  EXPECT_TRUE(IsNullSegment(MakeSegment(-1, 0, &seq)));
  EXPECT_FALSE(IsNullSegment(seg));
  TKivSegment cleared = seg;
  ClearSegment(cleared);
  EXPECT_TRUE(IsNullSegment(cleared));
  EXPECT_EQ(cleared.Source, nullptr);

  TKivSegment owned;
  SegmentFromString(u"owned text", owned);
  EXPECT_EQ(owned.Start, 0);
  EXPECT_EQ(owned.Count, 10);
  EXPECT_EQ(SegmentToString(owned), u"owned text");
  FreeSegment(owned);
  EXPECT_TRUE(IsNullSegment(owned));
  EXPECT_EQ(owned.Count, 0);
}

TEST(Segments, CopyChecksBoundsAndChangesNothingOnError) {
  TKivString text;
  for (int i = 0; i < 700; ++i) text.push_back(static_cast<Char>(u'A' + i % 26));
  TKivSeqFromString seq(text);
  const TKivSegment seg = MakeSegment(250, 300, &seq);  // spans several windows

  TKivCharArray arr(310, u'.');
  CopySegmentToArray(seg, arr, 5);
  EXPECT_EQ(TKivString(arr.begin() + 5, arr.begin() + 305), text.substr(250, 300));
  EXPECT_EQ(arr[4], u'.');
  EXPECT_EQ(arr[305], u'.');

  const TKivCharArray before(10, u'.');
  struct Case {
    TKivSegment Seg;
    Integer Idx;
    const char16_t* Message;
  };
  const Case cases[] = {
      {MakeSegment(0, 11, &seq), 0, u"Index out of bounds: 0"},
      {MakeSegment(0, 5, &seq), 6, u"Index out of bounds: 6"},
      {MakeSegment(0, 1, &seq), -1, u"Index out of bounds: -1"},
      {MakeSegment(699, 2, &seq), 0, u"Bad segment passed to function"},
      {MakeSegment(-1, 1, &seq), 0, u"Bad segment passed to function"},
      {MakeSegment(0, 1, nullptr), 0, u"Bad segment passed to function"},
  };
  for (const auto& c : cases) {
    TKivCharArray small = before;
    EXPECT_EQ(MessageOf([&] { CopySegmentToArray(c.Seg, small, c.Idx); }), c.Message);
    EXPECT_EQ(small, before);
  }

  std::vector<Char> buf(6, u'#');
  CopySegmentToBuffer(MakeSegment(0, 5, &seq), buf);
  EXPECT_EQ(TKivString(buf.begin(), buf.end()), TKivString(u"ABCDE") + u'\0');
  std::vector<Char> tight(5, u'#');
  EXPECT_EQ(MessageOf([&] { CopySegmentToBuffer(MakeSegment(0, 5, &seq), tight); }),
            u"Index out of bounds: 5");
  EXPECT_EQ(tight, std::vector<Char>(5, u'#'));
  EXPECT_EQ(MessageOf([&] { CopySegmentToBuffer(MakeSegment(1, -1, &seq), buf); }),
            u"Bad segment passed to function");
}

TEST(SeqSearch, ForwardAndBackwardCases) {
  enum TKind { kFind, kFindNoCase, kBack, kBackNoCase };
  struct Case {
    TKind Kind;
    const char16_t* Text;
    const char16_t* Pattern;
    Integer Start, Count, Expected;
  };
  const Case cases[] = {
      {kFind, u"abcabc", u"bc", 0, -1, 1},
      {kFind, u"abcabc", u"bc", 2, -1, 4},
      {kFind, u"abcabc", u"bc", 5, -1, -1},
      {kFind, u"abcabc", u"bc", 0, 2, -1},  // a match never extends past the area
      {kFind, u"abcabc", u"bc", 0, 3, 1},
      {kFind, u"abcabc", u"bc", 1, 0, -1},  // count 0 finds nothing
      {kFind, u"abcabc", u"", 0, -1, -1},
      {kFind, u"", u"a", 0, -1, -1},
      {kFind, u"abcabc", u"abcabc", 0, -1, 0},
      {kFind, u"abcabc", u"abcabcd", 0, -1, -1},
      {kFind, u"aaab", u"aab", 0, -1, 1},
      {kFind, u"abcABC", u"ABC", 0, -1, 3},
      {kFindNoCase, u"xxABC", u"abc", 0, -1, 2},
      {kFindNoCase, u"x\u00c9t\u00c9", u"\u00e9T\u00e9", 0, -1, 1},
      {kFindNoCase, u"abc", u"abd", 0, -1, -1},
      {kBack, u"abcabc", u"bc", 5, -1, 4},
      {kBack, u"abcabc", u"bc", 4, -1, 1},  // the occurrence must end at or before the start
      {kBack, u"abcabc", u"bc", 2, -1, 1},
      {kBack, u"abcabc", u"bc", 1, -1, -1},
      {kBack, u"abcabc", u"bc", -1, -1, -1},
      {kBack, u"abcabc", u"bc", 5, 0, 4},  // count 0 examines the end at the start only
      {kBack, u"abcabc", u"bc", 4, 0, -1},
      {kBack, u"abcabc", u"bc", 5, 3, 4},
      {kBack, u"abcabc", u"bc", 3, 1, 1},  // ends 3 and 2 examined
      {kBack, u"abcabc", u"bc", 3, 0, -1},
      {kBack, u"abcabc", u"abcabc", 5, -1, 0},
      {kBack, u"abcabc", u"", 5, -1, -1},
      {kBack, u"aaa", u"aa", 2, -1, 1},
      {kBackNoCase, u"ABCabc", u"aBc", 2, -1, 0},
      {kBackNoCase, u"ABCabc", u"aBc", 5, -1, 3},
  };
  for (const auto& c : cases) {
    TKivSeqFromString seq(c.Text);
    Integer got = -2;
    switch (c.Kind) {
      case kFind:
        got = SeqFind(c.Pattern, seq, c.Start, c.Count);
        break;
      case kFindNoCase:
        got = SeqFindNoCase(c.Pattern, seq, c.Start, c.Count);
        break;
      case kBack:
        got = SeqFindBack(c.Pattern, seq, c.Start, c.Count);
        break;
      case kBackNoCase:
        got = SeqFindBackNoCase(c.Pattern, seq, c.Start, c.Count);
        break;
    }
    EXPECT_EQ(got, c.Expected) << "kind " << c.Kind << " text " << KivToUtf8(c.Text) << " pattern "
                               << KivToUtf8(c.Pattern) << " start " << c.Start << " count " << c.Count;
  }
}

TEST(SeqSearch, AgreesWithStringSearchAcrossWindows) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  for (int round = 0; round < 300; ++round) {
    const int n = std::uniform_int_distribution<int>(0, 1200)(rng);
    TKivString text;
    for (int i = 0; i < n; ++i) text.push_back(static_cast<Char>(u'a' + rng() % 3));
    TKivString pat;
    const int m = std::uniform_int_distribution<int>(1, 6)(rng);
    for (int i = 0; i < m; ++i) pat.push_back(static_cast<Char>(u'a' + rng() % 3));
    TKivSeqFromString seq(text);
    const Integer start = std::uniform_int_distribution<Integer>(0, n)(rng);
    const Integer count = rng() % 2 ? -1 : std::uniform_int_distribution<Integer>(0, n - start)(rng);
    const Integer areaEnd = count == -1 ? n : start + count;
    const size_t p = TKivStringView(text).substr(0, areaEnd).find(pat, start);
    ASSERT_EQ(SeqFind(pat, seq, start, count), p == TKivString::npos ? -1 : static_cast<Integer>(p))
        << "seed " << seed;
    if (n > 0) {
      const Integer bstart = std::uniform_int_distribution<Integer>(0, n - 1)(rng);
      // Occurrences ending in [0, bstart]: starting at or before bstart - m + 1.
      size_t q = TKivString::npos;
      if (bstart - m + 1 >= 0) q = text.rfind(pat, static_cast<size_t>(bstart - m + 1));
      ASSERT_EQ(SeqFindBack(pat, seq, bstart), q == TKivString::npos ? -1 : static_cast<Integer>(q))
          << "seed " << seed;
    }
  }
}

TEST(SeqSearch, BadArgumentsRaiseExactMessages) {
  TKivSeqFromString seq(u"abcdef");
  struct Case {
    Integer (*Fn)(TKivStringView, TKivCharSeq&, Integer, Integer);
    Integer Start, Count;
    const char16_t* Message;
  };
  const Case cases[] = {
      {SeqFind, -1, -1, u"Index out of bounds: -1"},     {SeqFind, 7, -1, u"Index out of bounds: 7"},
      {SeqFind, 2, 5, u"Invalid Count value"},           {SeqFind, 2, -2, u"Invalid Count value"},
      {SeqFindNoCase, 9, 0, u"Index out of bounds: 9"},  {SeqFindBack, 6, -1, u"Index out of bounds: 6"},
      {SeqFindBack, -2, -1, u"Index out of bounds: -2"}, {SeqFindBack, 3, 4, u"Invalid Count value"},
      {SeqFindBack, -1, 0, u"Invalid Count value"},      {SeqFindBackNoCase, 3, -3, u"Invalid Count value"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MessageOf([&] { c.Fn(u"c", seq, c.Start, c.Count); }), c.Message) << c.Start << "," << c.Count;
  EXPECT_EQ(SeqFind(u"c", seq, 6, 0), -1);  // the end is a valid start
}

TEST(SeqScan, Cases) {
  const TKivString seps = u" .";
  struct Case {
    const char16_t* Text;
    Integer Start;
    bool WordChar, Backward;
    Integer Count, Expected;
  };
  const Case cases[] = {
      {u"ab cd", 0, false, false, -1, 2}, {u"ab cd", 0, true, false, -1, 0},
      {u"ab cd", 2, true, false, -1, 3},  {u"ab cd", 3, false, false, -1, -1},
      {u"ab cd", 4, false, true, -1, 2},  {u"ab cd", 4, true, true, -1, 4},
      {u"ab cd", 2, true, true, -1, 1},   {u"  . ", 3, true, true, -1, -1},
      {u"ab cd", 0, false, false, 2, -1}, {u"ab cd", 0, false, false, 3, 2},
      {u"ab cd", 4, false, true, 2, -1},  {u"ab cd", 4, false, true, 3, 2},
      {u"ab cd", 4, false, true, 5, 2},   {u"ab cd", 5, false, false, -1, -1},
      {u"ab cd", 5, false, false, 0, -1}, {u"ab cd", 1, true, false, 0, -1},
      {u"a.b", 0, false, false, -1, 1},
  };
  for (const auto& c : cases) {
    TKivSeqFromString seq(c.Text);
    EXPECT_EQ(SeqScan(seps, seq, c.Start, c.WordChar, c.Backward, c.Count), c.Expected)
        << KivToUtf8(c.Text) << " start " << c.Start << " word " << c.WordChar << " back " << c.Backward
        << " count " << c.Count;
  }
  TKivSeqFromString seq(u"ab cd");
  EXPECT_EQ(SeqScan(u"", seq, 0, false, false, -1), -1);
  EXPECT_EQ(SeqScan(u"\u4e00", seq, 0, true, false, -1), 0);  // non-ASCII separators
  TKivSeqFromString cjk(u"\u4e00\u4e01x");
  EXPECT_EQ(SeqScan(u"\u4e00\u4e01", cjk, 0, true, false, -1), 2);
}

TEST(SeqScan, BadArgumentsRaiseExactMessages) {
  TKivSeqFromString seq(u"ab cd");
  struct Case {
    Integer Start;
    bool Backward;
    Integer Count;
    const char16_t* Message;
  };
  const Case cases[] = {
      {-1, false, -1, u"Index out of bounds: -1"}, {6, false, -1, u"Index out of bounds: 6"},
      {5, true, -1, u"Index out of bounds: 5"},    {2, false, 4, u"Invalid Count value"},
      {2, true, 4, u"Invalid Count value"},        {2, true, -5, u"Invalid Count value"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MessageOf([&] { SeqScan(u" ", seq, c.Start, false, c.Backward, c.Count); }), c.Message)
        << c.Start << "," << c.Count;
}

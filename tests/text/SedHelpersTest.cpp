#include <gtest/gtest.h>

#include <random>

#include "KivSedUtils.h"
#include "KivTestSeed.h"
#include "TextTestSupport.h"

TEST(Hashes, IntegerMixing) {
  struct Case {
    Cardinal Key, Hash;
  };
  // Reference values computed independently from the mixing formula.
  const Case cases[] = {
      {0, 0xff83ef00u},       {1, 0xff83cee7u},           {2, 0xff83acceu},         {100, 0xfff6b3dfu},
      {0xffffffffu, 0x21d6u}, {0x80000000u, 0x7fc1f780u}, {123456789, 0x4bd8afa5u},
  };
  for (const auto& c : cases) EXPECT_EQ(HashInt(c.Key), c.Hash) << c.Key;
}

TEST(Hashes, StringAndSequenceHashes) {
  struct Case {
    const char16_t* Text;
    bool IgnoreCase;
    Integer Hash;
  };
  const Case cases[] = {
      {u"a", false, 97},
      {u"abc", false, 96354},
      {u"Hello", false, 69609650},
      {u"hello world", false, 1794106052},
      {u"\u00e9t\u00e9", false, 227742},
      {u"xxxxxxxxxxxxxxxxxxxx", false, 845403648},  // wraps
      {u"HELLO", false, 68624562},
      {u"hello", true, 68624562},  // case folded to upper case
      {u"HeLLo", true, 68624562},
      {u"\u00e9t\u00e9", true, HashStr(u"\u00c9T\u00c9", 1, 3, false)},
  };
  for (const auto& c : cases) {
    const TKivString text = c.Text;
    const Integer n = static_cast<Integer>(text.size());
    EXPECT_EQ(HashStr(text, 1, n, c.IgnoreCase), c.Hash) << KivToUtf8(text);
    TKivSeqFromString seq(TKivString(u"--") + text + u"--");
    EXPECT_EQ(HashSeq(seq, 2, n, c.IgnoreCase), c.Hash) << KivToUtf8(text);
  }
  EXPECT_EQ(HashStr(u"xabcx", 2, 3, false), 96354);  // 1-based start
  EXPECT_EQ(HashStr(u"abc", 1, 0, false), 0);
  EXPECT_EQ(HashStr(u"abc", 1, -4, false), 0);
  EXPECT_EQ(HashStr(u"", 7, 0, false), 0);

  // Across many windows the sequence hash equals the string hash.
  TKivString big;
  for (int i = 0; i < 5000; ++i) big.push_back(static_cast<Char>(0x41 + (i * 7919) % 900));
  TKivSeqFromString seq(big);
  for (Integer start : {0, 1, 255, 256, 3000}) {
    const Integer count = 5000 - start;
    EXPECT_EQ(HashSeq(seq, start, count, false), HashStr(big, start + 1, count, false));
    EXPECT_EQ(HashSeq(seq, start, count, true), HashStr(big, start + 1, count, true));
  }
}

TEST(Hashes, RangesOutsideRaise) {
  struct Case {
    Integer Start, Count;
    const char16_t* Message;
  };
  const Case strCases[] = {
      {0, 1, u"Index out of bounds: 0"},
      {4, 1, u"Index out of bounds: 4"},
      {2, 3, u"Invalid Count value"},
      {1, 4, u"Invalid Count value"},
  };
  for (const auto& c : strCases)
    EXPECT_EQ(MessageOf([&] { HashStr(u"abc", c.Start, c.Count, false); }), c.Message) << c.Start;
  TKivSeqFromString seq(u"abc");
  const Case seqCases[] = {
      {-1, 1, u"Index out of bounds: -1"},
      {3, 1, u"Index out of bounds: 3"},
      {1, 3, u"Invalid Count value"},
  };
  for (const auto& c : seqCases)
    EXPECT_EQ(MessageOf([&] { HashSeq(seq, c.Start, c.Count, true); }), c.Message) << c.Start;
}

TEST(GrowCapacityRule, Cases) {
  struct Case {
    Integer Needed, Capacity, Expected;
  };
  const Case cases[] = {
      {10, 10, -1},   {11, 10, 18},
      {2, 100, 4},    {0, 0, -1},
      {1, 0, 3},      {0, 1, 1},
      {25, 100, -1},  {24, 100, 37},
      {100, 150, -1}, {INT32_MAX - 1, 10, INT32_MAX},  // the rule saturates instead of overflowing
  };
  for (const auto& c : cases)
    EXPECT_EQ(GrowCapacity(c.Needed, c.Capacity), c.Expected) << c.Needed << "," << c.Capacity;
}

TEST(ConversionCache, NearestAddAndInvalidate) {
  TKivSedIntConversionCache cache(3);
  Integer k1 = 7, k2 = 7, data = 7;
  EXPECT_EQ(cache.FindNearestByKey1(5, k1, k2, data), -1);
  EXPECT_EQ(k1 + k2 + data, 21);  // untouched

  EXPECT_EQ(cache.AddByKey1(20, 200, 2), 0);
  EXPECT_EQ(cache.AddByKey1(10, 100, 1), 0);  // before the nearest
  EXPECT_EQ(cache.AddByKey1(30, 300, 3), 2);
  EXPECT_EQ(cache.Count(), 3);

  struct Find {
    Integer Key;
    bool ByKey2;
    Integer Index, Data;
  };
  const Find finds[] = {
      {14, false, 0, 1}, {15, false, 0, 1},  // a tie keeps the lower entry
      {16, false, 1, 2}, {5, false, 0, 1},  {35, false, 2, 3}, {20, false, 1, 2},
      {149, true, 0, 1}, {150, true, 0, 1}, {151, true, 1, 2}, {1000, true, 2, 3},
  };
  for (const auto& f : finds) {
    const Integer r = f.ByKey2 ? cache.FindNearestByKey2(f.Key, k1, k2, data)
                               : cache.FindNearestByKey1(f.Key, k1, k2, data);
    EXPECT_EQ(r, f.Index) << f.Key;
    EXPECT_EQ(data, f.Data) << f.Key;
    EXPECT_EQ(k1, data * 10);
    EXPECT_EQ(k2, data * 100);
  }

  // Full: the nearest entry is overwritten, nothing is evicted.
  EXPECT_EQ(cache.AddByKey1(24, 240, 9), 1);
  EXPECT_EQ(cache.Count(), 3);
  EXPECT_EQ(cache.Item(1).Key1, 24);
  EXPECT_EQ(cache.AddByKey2(31, 310, 8), 2);
  EXPECT_EQ(cache.Item(2).Key2, 310);

  cache.InvalidateFromKey1(24);
  EXPECT_EQ(cache.Count(), 1);
  EXPECT_EQ(cache.Item(0).Key1, 10);
  // An existing key is overwritten in place even when not full.
  EXPECT_EQ(cache.AddByKey1(10, 111, 5), 0);
  EXPECT_EQ(cache.Count(), 1);
  EXPECT_EQ(cache.Item(0).Key2, 111);
  EXPECT_EQ(cache.AddByKey2(15, 150, 6), 1);
  cache.InvalidateFromKey2(112);
  EXPECT_EQ(cache.Count(), 1);
  cache.InvalidateFromKey2(INT32_MIN);
  EXPECT_EQ(cache.Count(), 0);

  EXPECT_THROW(TKivSedIntConversionCache(0), EKivInternalError);
  EXPECT_THROW(TKivSedIntConversionCache(-3), EKivInternalError);
}

TEST(ConversionCache, StaysSortedAndFindsTheNearestUnderRandomUse) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  TKivSedIntConversionCache cache(50);
  for (int op = 0; op < 5000; ++op) {
    const Integer key = std::uniform_int_distribution<Integer>(0, 2000)(rng);
    const int kind = static_cast<int>(rng() % 10);
    Integer k1, k2, d;
    if (kind < 4) {
      cache.AddByKey1(key, key * 3 + 7, key);
    } else if (kind < 8) {
      cache.AddByKey2(key, key * 3 + 7, key);
    } else if (kind == 8) {
      cache.InvalidateFromKey1(key);
      for (Integer i = 0; i < cache.Count(); ++i) ASSERT_LT(cache.Item(i).Key1, key) << "seed " << seed;
    } else {
      const Integer r = cache.FindNearestByKey1(key, k1, k2, d);
      if (cache.Count() == 0) {
        ASSERT_EQ(r, -1);
      } else {
        // Nothing is closer; on a tie the lower entry wins.
        for (Integer i = 0; i < cache.Count(); ++i) {
          const Integer dist = std::abs(cache.Item(i).Key1 - key), best = std::abs(k1 - key);
          ASSERT_TRUE(dist > best || (dist == best && cache.Item(i).Key1 >= k1)) << "seed " << seed;
        }
        ASSERT_EQ(k2, k1 * 3 + 7);
      }
    }
    ASSERT_LE(cache.Count(), 50);
    for (Integer i = 1; i < cache.Count(); ++i) {
      ASSERT_LT(cache.Item(i - 1).Key1, cache.Item(i).Key1) << "seed " << seed << " op " << op;
      ASSERT_LT(cache.Item(i - 1).Key2, cache.Item(i).Key2) << "seed " << seed << " op " << op;
    }
  }
}

TEST(Colors, TextToColor) {
  struct Case {
    const char16_t* Text;
    bool Ok;
    TKivColor Color;
  };
  const Case cases[] = {
      {u"#F00", true, KivRGB(0x00, 0x0F, 0x00)},  // padded to 000F00
      {u"#ECE9D8", true, KivRGB(0xEC, 0xE9, 0xD8)},
      {u"#ece9d8", true, KivRGB(0xEC, 0xE9, 0xD8)},
      {u"#0", true, KivRGB(0, 0, 0)},
      {u"  #FF0000\t", true, KivRGB(0xFF, 0, 0)},
      {u"Red", true, KivRGB(0xFF, 0, 0)},
      {u"navy", true, KivRGB(0, 0, 0x80)},
      {u"NAVY", true, KivRGB(0, 0, 0x80)},
      {u"Fuchsia", true, KivRGB(0xFF, 0, 0xFF)},
      {u"Silver", true, KivRGB(0xC0, 0xC0, 0xC0)},
      {u"MoneyGreen", true, KivRGB(0xC0, 0xDC, 0xC0)},
      {u"WindowText", true, KivSystemColor(scWindowText)},
      {u"btnface", true, KivSystemColor(scBtnFace)},
      {u"", false, 0},
      {u"   ", false, 0},
      {u"#GG0000", false, 0},
      {u"#1234567", false, 0},
      {u"Navyish", false, 0},
      {u"clRed", false, 0},  // the prefix is added, not expected
      {u"Re d", false, 0},
  };
  for (const auto& c : cases) {
    TKivColor color = 0xABCDEF;
    EXPECT_EQ(TextToColor(c.Text, color), c.Ok) << KivToUtf8(c.Text);
    EXPECT_EQ(color, c.Ok ? c.Color : 0xABCDEFu) << KivToUtf8(c.Text);
  }
}

TEST(Colors, ColorToTextAndSystemColors) {
  EXPECT_EQ(ColorToText(KivRGB(0xEC, 0xE9, 0xD8)), u"#ECE9D8");
  EXPECT_EQ(ColorToText(KivRGB(0x0A, 0xB0, 0x01)), u"#0AB001");
  EXPECT_EQ(ColorToText(KivRGB(0, 0, 0)), u"#000000");
  EXPECT_EQ(ColorToText(KivSystemColor(scWindowText)), u"#000000");
  EXPECT_EQ(ColorToText(KivSystemColor(scWindow)), u"#FFFFFF");
  EXPECT_TRUE(KivIsSystemColor(KivSystemColor(scHighlight)));
  EXPECT_FALSE(KivIsSystemColor(KivRGB(0xFF, 0xFF, 0xFF)));

  KivSetSysColorResolver([](unsigned AIndex) -> Integer {
    return AIndex == scWindow ? static_cast<Integer>(KivRGB(0x12, 0x34, 0x56)) : -1;
  });
  EXPECT_EQ(ColorToText(KivSystemColor(scWindow)), u"#123456");
  EXPECT_EQ(ColorToText(KivSystemColor(scBtnFace)), u"#F0F0F0");  // the resolver declined
  KivSetSysColorResolver(nullptr);
  EXPECT_EQ(ColorToText(KivSystemColor(scWindow)), u"#FFFFFF");

  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  for (int i = 0; i < 1000; ++i) {
    const TKivColor c = rng() & 0xFFFFFF;
    TKivColor back = 0;
    ASSERT_TRUE(TextToColor(ColorToText(c), back));
    ASSERT_EQ(back, c);
  }
}

TEST(Points, NullPoint) {
  EXPECT_TRUE(IsNullPoint(NullPoint()));
  EXPECT_EQ(NullPoint().X, -1);
  EXPECT_EQ(NullPoint().Y, -1);
  EXPECT_FALSE(IsNullPoint(TKivPoint{-1, 0}));
  EXPECT_FALSE(IsNullPoint(TKivPoint{0, 0}));
  EXPECT_TRUE(PointsEqual(TKivPoint{3, 4}, TKivPoint{3, 4}));
  EXPECT_FALSE(PointsEqual(TKivPoint{3, 4}, TKivPoint{4, 3}));
  EXPECT_TRUE(TKivPoint({1, 2}) == TKivPoint({1, 2}));
}

// The code page service: names and numbers, byte-order marks, block-wise decoding and encoding.
#include <gtest/gtest.h>
#include <unicode/ucnv.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "KivEncoding.h"
#include "KivTestSeed.h"

namespace {

std::string Bytes(std::initializer_list<int> AList) {
  std::string s;
  for (int b : AList) s.push_back(static_cast<char>(b));
  return s;
}

// Decodes ABytes in blocks of the given sizes (cycled), flushing at the end.
TKivString DecodeInBlocks(const TKivEncoding& AEnc, const std::string& ABytes,
                          const std::vector<size_t>& ASizes, bool* AInvalid = nullptr,
                          int64_t* AInvalidOffset = nullptr) {
  auto dec = AEnc.NewDecoder();
  TKivCharArray out;
  size_t count = 0, pos = 0, k = 0;
  while (pos < ABytes.size()) {
    size_t n = std::min(ASizes[k++ % ASizes.size()], ABytes.size() - pos);
    dec->Decode(ABytes.data() + pos, n, false, out, count);
    pos += n;
  }
  dec->Decode(nullptr, 0, true, out, count);
  if (AInvalid) *AInvalid = dec->HadInvalidBytes();
  if (AInvalidOffset) *AInvalidOffset = dec->InvalidOffset();
  return TKivString(out.data(), count);
}

TKivString Decode(const TKivEncoding& AEnc, const std::string& ABytes, bool* AInvalid = nullptr) {
  return DecodeInBlocks(AEnc, ABytes, {ABytes.size() + 1}, AInvalid);
}

std::string Encode(const TKivEncoding& AEnc, TKivStringView AText) {
  std::string out;
  AEnc.NewEncoder()->Encode(AText.data(), AText.size(), true, out);
  return out;
}

TKivString ErrorOf(const std::function<void()>& AFn) {
  try {
    AFn();
  } catch (const EKivEditDocError& e) {
    return e.Message();
  }
  return u"<no error>";
}

}  // namespace

TEST(EncodingTest, CodePageNumbersAndNames) {
  struct Case {
    Integer CodePage;
    const char16_t* Name;
  };
  const Case cases[] = {
      {0, u"UTF-8"},           {65001, u"UTF-8"},       {1200, u"UTF-16LE"},     {1201, u"UTF-16BE"},
      {12000, u"UTF-32LE"},    {12001, u"UTF-32BE"},    {1250, u"windows-1250"}, {1251, u"windows-1251"},
      {1252, u"windows-1252"}, {1258, u"windows-1258"}, {866, u"IBM866"},        {437, u"IBM437"},
      {20866, u"KOI8-R"},      {28591, u"ISO-8859-1"},  {28595, u"ISO-8859-5"},  {932, u"Shift_JIS"},
      {874, u"windows-874"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.CodePage);
    TKivEncoding enc(c.CodePage);
    EXPECT_EQ(enc.CodePage(), c.CodePage);
    EXPECT_EQ(enc.Name(), c.Name);
    // The name leads back to the number (code page 0 is UTF-8 under its own number).
    EXPECT_EQ(KivCodePageFromName(c.Name), c.CodePage == 0 ? 65001 : c.CodePage);
  }
}

TEST(EncodingTest, NamesAcceptedInAnySpelling) {
  struct Case {
    const char16_t* Name;
    Integer CodePage;
  };
  const Case cases[] = {
      {u"utf-8", 65001},       {u"UTF8", 65001},       {u"utf-16", 1200},  {u"Unicode", 1200},
      {u"unicodeFFFE", 1201},  {u"utf-16be", 1201},    {u"utf-32", 12000}, {u"cp1251", 1251},
      {u"windows-1252", 1252}, {u"ibm866", 866},       {u"cp866", 866},    {u"koi8-r", 20866},
      {u"latin1", 28591},      {u"iso-8859-2", 28592}, {u"gbk", 936},      {u"gb18030", 54936},
  };
  for (const Case& c : cases) EXPECT_EQ(KivCodePageFromName(c.Name), c.CodePage) << KivToUtf8(c.Name);
}

TEST(EncodingTest, UnknownNamesAndNumbersAreRefused) {
  EXPECT_EQ(ErrorOf([] { KivCodePageFromName(u"klingon"); }), u"Unknown code page name: klingon");
  EXPECT_EQ(ErrorOf([] { KivCodePageFromName(u""); }), u"Unknown code page name: ");
  EXPECT_EQ(ErrorOf([] { KivCodePageFromName(u"utf-8\u00e9"); }), u"Unknown code page name: utf-8\u00e9");
  // Known to ICU, but without a number on the code page platform.
  EXPECT_EQ(ErrorOf([] { KivCodePageFromName(u"SCSU"); }), u"Unknown code page name: SCSU");
  EXPECT_EQ(ErrorOf([] { TKivEncoding e(12345); }), u"Unknown code page: 12345");
  EXPECT_EQ(ErrorOf([] { TKivEncoding e(-1); }), u"Unknown code page: -1");
  EXPECT_FALSE(TKivEncoding::IsKnownCodePage(1));
  EXPECT_TRUE(TKivEncoding::IsKnownCodePage(1251));
}

TEST(EncodingTest, DetectsByteOrderMarks) {
  struct Case {
    std::string Bytes;
    bool Found;
    Integer CodePage;
    Integer Size;
  };
  const Case cases[] = {
      {Bytes({0xEF, 0xBB, 0xBF, 'a'}), true, 65001, 3},
      {Bytes({0xFF, 0xFE, 'a', 0}), true, 1200, 2},
      {Bytes({0xFE, 0xFF, 0, 'a'}), true, 1201, 2},
      {Bytes({0xFF, 0xFE, 0, 0, 'a', 0, 0, 0}), true, 12000, 4},
      {Bytes({0, 0, 0xFE, 0xFF}), true, 12001, 4},
      {Bytes({0xFF, 0xFE}), true, 1200, 2},  // the mark alone
      {Bytes({0xEF, 0xBB}), false, 0, 0},    // cut short
      {Bytes({'a', 0xEF, 0xBB, 0xBF}), false, 0, 0},
      {std::string(), false, 0, 0},
  };
  for (const Case& c : cases) {
    TKivEncodingDetection d = TKivEncoding::Detect(c.Bytes.data(), c.Bytes.size());
    EXPECT_EQ(d.Found, c.Found);
    EXPECT_EQ(d.CodePage, c.CodePage);
    EXPECT_EQ(d.PreambleSize, c.Size);
  }
}

TEST(EncodingTest, PreamblesOfTheUnicodeForms) {
  EXPECT_EQ(TKivEncoding(0).Preamble(), Bytes({0xEF, 0xBB, 0xBF}));
  EXPECT_EQ(TKivEncoding(65001).Preamble(), Bytes({0xEF, 0xBB, 0xBF}));
  EXPECT_EQ(TKivEncoding(1200).Preamble(), Bytes({0xFF, 0xFE}));
  EXPECT_EQ(TKivEncoding(1201).Preamble(), Bytes({0xFE, 0xFF}));
  EXPECT_EQ(TKivEncoding(12000).Preamble(), Bytes({0xFF, 0xFE, 0, 0}));
  EXPECT_EQ(TKivEncoding(12001).Preamble(), Bytes({0, 0, 0xFE, 0xFF}));
  EXPECT_EQ(TKivEncoding(1251).Preamble(), "");
  std::string b = Bytes({0xFF, 0xFE, 'x'});
  EXPECT_TRUE(TKivEncoding(1200).StartsWithPreamble(b.data(), b.size()));
  EXPECT_FALSE(TKivEncoding(1201).StartsWithPreamble(b.data(), b.size()));
  EXPECT_FALSE(TKivEncoding(1251).StartsWithPreamble(b.data(), b.size()));
  EXPECT_FALSE(TKivEncoding(1200).StartsWithPreamble(b.data(), 1));
}

// Every code page round-trips a text it can represent, whatever the block boundaries: characters
// of two, three and four bytes are cut at every possible place.
TEST(EncodingTest, RoundTripAcrossBlockBoundaries) {
  struct Case {
    Integer CodePage;
    TKivString Text;
  };
  const TKivString unicode = u"a\u00e9\u0436\u4e2d\U0001F600\r\n\uFEFF\u0000z\uFFFD\U00010000\U0010FFFF";
  const Case cases[] = {
      {65001, unicode},
      {0, unicode},
      {1200, unicode},
      {1201, unicode},
      {12000, unicode},
      {12001, unicode},
      {1251, u"\u041f\u0440\u0438\u0432\u0435\u0442, \u043c\u0438\u0440! \u2116 \u20ac\r\n"},
      {866, u"\u041f\u0440\u0438\u0432\u0435\u0442 \u2591\u2592\u2593"},
      {932, u"\u65e5\u672c\u8a9e\u306e\u30c6\u30ad\u30b9\u30c8 abc"},
      {54936, u"\u4e2d\u6587 \U0001F600 \u00e9"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.CodePage);
    TKivEncoding enc(c.CodePage);
    std::string bytes = Encode(enc, c.Text);
    for (size_t block = 1; block <= 9; ++block) {
      bool invalid = true;
      EXPECT_EQ(DecodeInBlocks(enc, bytes, {block}, &invalid), c.Text) << "block " << block;
      EXPECT_FALSE(invalid);
    }
    // Encoding in pieces (surrogate pairs cut in two) gives the same bytes.
    auto encoder = enc.NewEncoder();
    std::string pieces;
    for (size_t i = 0; i < c.Text.size(); ++i) encoder->Encode(&c.Text[i], 1, false, pieces);
    encoder->Encode(nullptr, 0, true, pieces);
    EXPECT_EQ(pieces, bytes);
  }
}

TEST(EncodingTest, RandomTextsRandomBlocks) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  const char32_t pool[] = {'a',     '\r',     '\n', 0xE9, 0x436, 0x4E2D, 0xFEFF,
                           0x1F600, 0x10FFFF, 0x7F, 0x80, 0x7FF, 0x800};
  for (Integer cp : {65001, 1200, 1201, 12000, 12001, 54936}) {
    TKivEncoding enc(cp);
    for (int round = 0; round < 30; ++round) {
      TKivString text;
      size_t len = rng() % 3000;
      for (size_t i = 0; i < len; ++i) {
        char32_t c = pool[rng() % std::size(pool)];
        if (c >= 0x10000) {
          text.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
          text.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
          text.push_back(static_cast<char16_t>(c));
        }
      }
      std::string bytes = Encode(enc, text);
      std::vector<size_t> sizes;
      for (int k = 0; k < 5; ++k) sizes.push_back(1 + rng() % 1500);
      ASSERT_EQ(DecodeInBlocks(enc, bytes, sizes), text) << "code page " << cp;
    }
  }
}

TEST(EncodingTest, SingleByteCodePagesMapBytesBothWays) {
  // Every byte that the code page assigns comes back as the same byte.
  for (Integer cp : {1250, 1251, 1252, 1253, 1254, 1257, 866, 437, 850, 20866, 28591, 28595}) {
    SCOPED_TRACE(cp);
    TKivEncoding enc(cp);
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    TKivString text = Decode(enc, all);
    ASSERT_EQ(text.size(), 256u);
    std::string assigned, back;
    TKivString assignedText;
    for (int b = 0; b < 256; ++b) {
      if (text[b] == 0xFFFD) continue;
      assigned.push_back(static_cast<char>(b));
      assignedText.push_back(text[b]);
    }
    EXPECT_GE(assigned.size(), 250u);
    EXPECT_EQ(Encode(enc, assignedText), assigned);
  }
  EXPECT_EQ(Decode(TKivEncoding(1251), Bytes({0xCF, 0xF0, 0xE8})), u"\u041f\u0440\u0438");
  EXPECT_EQ(Decode(TKivEncoding(866), Bytes({0x8F, 0xE0, 0xA8})), u"\u041f\u0440\u0438");
}

TEST(EncodingTest, InvalidUtf8BecomesReplacementCharacters) {
  struct Case {
    std::string Bytes;
    TKivString Text;
    int64_t Offset;  // of the first invalid byte, after the two valid ones put in front
  };
  const Case cases[] = {
      {Bytes({0x80}), u"\uFFFD", 2},
      {Bytes({'a', 0xC3}), u"a\uFFFD", 3},                                // cut at the end
      {Bytes({0xE0, 0x80, 'b'}), u"\uFFFD\uFFFDb", 2},                    // overlong start
      {Bytes({0xED, 0xA0, 0x80}), u"\uFFFD\uFFFD\uFFFD", 2},              // encoded surrogate
      {Bytes({0xF0, 0x9F, 0x98, 'x'}), u"\uFFFDx", 2},                    // truncated four-byte form
      {Bytes({0xF4, 0x90, 0x80, 0x80}), u"\uFFFD\uFFFD\uFFFD\uFFFD", 2},  // beyond U+10FFFF
      {Bytes({0xC0, 0xAF}), u"\uFFFD\uFFFD", 2},
      {Bytes({'b', 0xC3, 0xA9, 0xFF, 'a'}), u"b\u00E9\uFFFDa", 5},
  };
  TKivEncoding enc(65001);
  for (const Case& c : cases) {
    for (size_t block : {1, 2, 3, 100}) {
      SCOPED_TRACE(block);
      bool invalid = false;
      int64_t offset = -1;
      EXPECT_EQ(DecodeInBlocks(enc, "\xD0\x96" + c.Bytes, {block}, &invalid, &offset), u"\u0416" + c.Text);
      EXPECT_TRUE(invalid);
      EXPECT_EQ(offset, c.Offset);
    }
  }
  bool invalid = true;
  EXPECT_EQ(Decode(enc, "plain"), u"plain");
  Decode(enc, "plain", &invalid);
  EXPECT_FALSE(invalid);
  EXPECT_EQ(enc.NewDecoder()->InvalidOffset(), -1);
}

// The UTF-8 and UTF-16 decoders replace exactly as ICU does (maximal subparts, lone
// surrogates), for random byte soup cut into random blocks.
TEST(EncodingTest, UnicodeDecodersAgreeWithIcuOnRandomBytes) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  const int interesting[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0,
                             0xC1, 0xC2, 0xDF, 0xD8, 0xDB, 0xDC, 0xE0, 0xE1, 0xEC, 0xED,
                             0xEE, 0xEF, 0xF0, 0xF1, 0xF3, 0xF4, 0xF5, 0xFF};
  for (auto [cp, name] :
       {std::pair<Integer, const char*>{65001, "UTF-8"}, {1200, "UTF-16LE"}, {1201, "UTF-16BE"}}) {
    SCOPED_TRACE(name);
    TKivEncoding enc(cp);
    UErrorCode err = U_ZERO_ERROR;
    UConverter* icu = ucnv_open(name, &err);
    ASSERT_TRUE(U_SUCCESS(err));
    for (int round = 0; round < 2000; ++round) {
      std::string bytes;
      size_t len = rng() % 24;
      for (size_t i = 0; i < len; ++i)
        bytes.push_back(static_cast<char>(interesting[rng() % std::size(interesting)]));
      std::vector<UChar> expected(bytes.size() * 2 + 4);
      err = U_ZERO_ERROR;
      ucnv_reset(icu);
      int32_t n = ucnv_toUChars(icu, expected.data(), static_cast<int32_t>(expected.size()), bytes.data(),
                                static_cast<int32_t>(bytes.size()), &err);
      ASSERT_TRUE(U_SUCCESS(err));
      TKivString want(reinterpret_cast<const char16_t*>(expected.data()), static_cast<size_t>(n));
      ASSERT_EQ(DecodeInBlocks(enc, bytes, {1 + rng() % 5, 1 + rng() % 7}), want) << "round " << round;
    }
    ucnv_close(icu);
  }
}

TEST(EncodingTest, InvalidBytesInOtherCodePages) {
  struct Case {
    Integer CodePage;
    std::string Bytes;
    TKivString Text;
    int64_t Offset;
  };
  const Case cases[] = {
      {1200, Bytes({'a', 0, 'b'}), u"a\uFFFD", 2},               // an odd byte is half a character
      {1200, Bytes({'a', 0, 0, 0xD8, 'b', 0}), u"a\uFFFDb", 2},  // a lone surrogate
      {1201, Bytes({0xDC, 0, 0, 0x62}), u"\uFFFDb", 0},
      {20127, Bytes({'a', 0x98, 'b'}), u"a\uFFFDb", 1},         // not ASCII
      {932, Bytes({'a', 'b', 0x82}), u"ab\uFFFD", 2},           // a lead byte without its trail byte
      {932, Bytes({'a', 'b', 0x82, '<'}), u"ab\uFFFD<", 2},     // a trail byte that is not one
      {54936, Bytes({'a', 0xC6, 0x31, 'b'}), u"a\uFFFD1b", 1},  // a four-byte form cut short
  };
  for (const Case& c : cases) {
    for (size_t block : {1, 2, 100}) {
      SCOPED_TRACE(std::to_string(c.CodePage) + " in blocks of " + std::to_string(block));
      int64_t offset = -1;
      EXPECT_EQ(DecodeInBlocks(TKivEncoding(c.CodePage), c.Bytes, {block}, nullptr, &offset), c.Text);
      EXPECT_EQ(offset, c.Offset);
    }
  }
}

// The PC code pages and 932 read and write the bytes 0x00-0x7F as ASCII: a file holding the
// control codes 0x1A, 0x1C and 0x7F loads and saves as it is.
TEST(EncodingTest, PcCodePagesKeepTheLowBytesAscii) {
  std::string low;
  TKivString ascii;
  for (int b = 0; b < 0x80; ++b) {
    low.push_back(static_cast<char>(b));
    ascii.push_back(static_cast<char16_t>(b));
  }
  for (Integer cp : {437, 850, 852, 855, 857, 860, 861, 862, 863, 864, 865, 866, 869, 932}) {
    SCOPED_TRACE(cp);
    ASSERT_TRUE(TKivEncoding::IsKnownCodePage(cp));
    TKivEncoding enc(cp);
    bool invalid = true;
    EXPECT_EQ(DecodeInBlocks(enc, low, {1, 7}, &invalid), ascii);
    EXPECT_FALSE(invalid);
    EXPECT_EQ(Encode(enc, ascii), low);
    const TKivCodePointSet& set = *enc.RoundTripSet();
    EXPECT_EQ(std::count(set.begin(), set.begin() + 0x80, true), 0x80);
    EXPECT_TRUE(enc.IsAsciiCompatible());
  }
  // The reported case, and the characters of the upper half stay as they were.
  EXPECT_EQ(Decode(TKivEncoding(866), Bytes({0x1A, 0x1C, 0x7F, 0x8F})), u"\x1A\x1C\x7F\u041F");
  EXPECT_EQ(Encode(TKivEncoding(866), u"\x7F\u041F"), Bytes({0x7F, 0x8F}));
  EXPECT_EQ(Decode(TKivEncoding(932), Bytes({0x1A, 0x82, 0xA0, 0x7F})), u"\x1A\u3042\x7F");
  EXPECT_EQ(Encode(TKivEncoding(932), u"\x1C\u3042\x1A"), Bytes({0x1C, 0x82, 0xA0, 0x1A}));
}

TEST(EncodingTest, UnencodableCharactersAreErrorsNotQuestionMarks) {
  EXPECT_EQ(ErrorOf([] { Encode(TKivEncoding(1251), u"abc\u4e2d"); }),
            u"Character U+4E2D at offset 3 cannot be saved in code page 1251 (windows-1251)");
  EXPECT_EQ(ErrorOf([] { Encode(TKivEncoding(1252), u"x\U0001F600"); }),
            u"Character U+1F600 at offset 1 cannot be saved in code page 1252 (windows-1252)");
  // A lone surrogate has no UTF-8 or UTF-32 form.
  EXPECT_EQ(ErrorOf([] { Encode(TKivEncoding(65001), u"ab\xD800z"); }),
            u"Character U+D800 at offset 2 cannot be saved in code page 65001 (UTF-8)");
  EXPECT_EQ(ErrorOf([] { Encode(TKivEncoding(65001), u"ab\xDC00"); }),
            u"Character U+DC00 at offset 2 cannot be saved in code page 65001 (UTF-8)");
  EXPECT_EQ(ErrorOf([] { Encode(TKivEncoding(0), u"ab\xD800"); }),
            u"Character U+D800 at offset 2 cannot be saved in code page 0 (UTF-8)");
  EXPECT_NE(ErrorOf([] { Encode(TKivEncoding(12000), u"\xDC00"); }), u"<no error>");
  // Offsets count from the first block.
  auto enc = TKivEncoding(1251).NewEncoder();
  std::string out;
  enc->Encode(u"abcd", 4, false, out);
  EXPECT_EQ(ErrorOf([&] { enc->Encode(u"e\u4e2d", 2, true, out); }),
            u"Character U+4E2D at offset 5 cannot be saved in code page 1251 (windows-1251)");
  // UTF-16 writes every code unit as it is, lone surrogates included.
  EXPECT_EQ(Encode(TKivEncoding(1200), u"a\xD800"), Bytes({'a', 0, 0x00, 0xD8}));
  EXPECT_EQ(Encode(TKivEncoding(1201), u"a\xD800"), Bytes({0, 'a', 0xD8, 0x00}));
}

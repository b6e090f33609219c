#include <gtest/gtest.h>

#include "KivComponent.h"
#include "KivErrors.h"
#include "KivUnicode.h"

TEST(Conventions, FormatFillsPlaceholders) {
  struct Case {
    TKivStringView Format;
    std::initializer_list<TKivFmtArg> Args;
    TKivString Expected;
  };
  const Case cases[] = {
      {u"Index out of bounds: %d", {-5}, u"Index out of bounds: -5"},
      {u"Range [%d, %d]", {0, 2147483647}, u"Range [0, 2147483647]"},
      {u"Waiting \"%s\"", {TKivString(u"</a>")}, u"Waiting \"</a>\""},
      {u"#%.2x%.2x%.2x", {255, 0, 10}, u"#ff000a"},
      {u"#%.2X%.2X%.2X", {255, 0, 10}, u"#FF000A"},
      {u"%.4d-%.2d-%.2d", {2026, 3, 9}, u"2026-03-09"},
      {u"100%% of %s", {"\xC3\xA9t\xC3\xA9"}, u"100% of \u00e9t\u00e9"},
      {u"missing %d and %s", {}, u"missing %d and %s"},
      {u"trailing %", {}, u"trailing %"},
  };
  for (const auto& c : cases) EXPECT_EQ(KivFormat(c.Format, c.Args), c.Expected) << KivToUtf8(c.Format);
}

TEST(Conventions, ErrorCarriesMessageInBothEncodings) {
  try {
    throw EInvalidArgument(u"Index out of bounds: %d", {7});
  } catch (const EKivError& e) {
    EXPECT_EQ(e.Message(), u"Index out of bounds: 7");
    EXPECT_STREQ(e.what(), "Index out of bounds: 7");
  }
}

TEST(Conventions, Utf8RoundTripAndReplacement) {
  const TKivString text = u"a\u00e9\u20ac\U0001F600z";
  EXPECT_EQ(KivFromUtf8(KivToUtf8(text)), text);
  EXPECT_EQ(KivToUtf8(TKivString(1, char16_t(0xD800))), "\xEF\xBF\xBD");
  EXPECT_EQ(KivFromUtf8("\xC3"), u"\uFFFD");
  EXPECT_EQ(KivFromUtf8("\xC0\x80x"), u"\uFFFDx");    // overlong form
  EXPECT_EQ(KivFromUtf8("\xED\xA0\x80"), u"\uFFFD");  // encoded surrogate
}

TEST(Conventions, AssertionThrowsNamingTheModule) {
  try {
    KIV_ASSERT(1 + 1 == 3, "KivSedUtils");
    FAIL() << "assertion did not fire";
  } catch (const EKivInternalError& e) {
    EXPECT_NE(std::string(e.what()).find("KivSedUtils"), std::string::npos);
  }
}

TEST(Conventions, UnicodeCategoriesAndCases) {
  EXPECT_EQ(KivCharCategory(u'A'), TKivCharCategory::Lu);
  EXPECT_EQ(KivCharCategory(u'z'), TKivCharCategory::Ll);
  EXPECT_EQ(KivCharCategory(u'5'), TKivCharCategory::Nd);
  EXPECT_EQ(KivCharCategory(u' '), TKivCharCategory::Zs);
  EXPECT_EQ(KivCharCategory(u'\u4E00'), TKivCharCategory::Lo);
  EXPECT_EQ(KivCharCategory(u'\u0301'), TKivCharCategory::Mn);
  EXPECT_EQ(KivCharCategory(char16_t(0xD83D)), TKivCharCategory::Cs);
  EXPECT_EQ(KivUpCase(u'\u00e9'), u'\u00c9');
  EXPECT_EQ(KivLowCase(u'\u0416'), u'\u0436');
  EXPECT_EQ(KivUpCase(u'\u00df'), u'\u00df');  // no single-unit upper case
  EXPECT_EQ(KivLowCase(char16_t(0xDC00)), char16_t(0xDC00));
}

TEST(Conventions, LoadingBracketCallsLoadedOnceAtTheOutermostEnd) {
  struct TProbe : TKivLoadable {
    int Calls = 0;
    void Loaded() override { ++Calls; }
  } probe;
  probe.BeginLoading();
  probe.BeginLoading();
  probe.EndLoading();
  EXPECT_TRUE(probe.IsLoading());
  EXPECT_EQ(probe.Calls, 0);
  probe.EndLoading();
  EXPECT_EQ(probe.Calls, 1);
  EXPECT_THROW(probe.EndLoading(), EKivInternalError);
}

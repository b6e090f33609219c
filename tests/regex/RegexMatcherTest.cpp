// The matcher: a table of match cases over every node kind, the Exec family, sources, variables,
// need-more reporting, limits, and optimised against unoptimised searches.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <map>
#include <random>

#include "KivRegExpr.h"
#include "KivTestSeed.h"
#include "RegexTestUtil.h"

namespace {

// "pos,len" of every group ("-" when unset), joined by ";", or "none".
std::string Describe(TKivRegExp& ARe, bool AMatched) {
  if (!AMatched) return "none";
  std::string out;
  for (Integer g = 0; g < ARe.CompiledSubExpCount(); ++g) {
    if (g) out += ";";
    if (ARe.GetMatchPos(g) < 0)
      out += "-";
    else
      out += std::to_string(ARe.GetMatchPos(g)) + "," + std::to_string(ARe.GetMatchLen(g));
  }
  return out;
}

struct TMatchCase {
  std::u16string Pattern;
  std::u16string Mods;
  std::u16string Subject;
  Integer Offset;  // 0: Exec()
  std::string Expected;
};

// Every node kind, greedy and lazy repeats, captures, back-references, anchors and lookahead.
const TMatchCase CMatchCases[] = {
    // literals
    {u"abc", u"", u"xxabcabc", 0, "3,3"},
    {u"abc", u"", u"xxabcabc", 4, "6,3"},
    {u"abc", u"", u"ab", 0, "none"},
    {u"(?i)abc", u"", u"xAbC", 0, "2,3"},
    {u"(?i)\u0436", u"", u"\u0416", 0, "1,1"},
    {u"{abc}", u"", u"x{abc}", 0, "2,5"},
    // anchors
    {u"^a", u"", u"ba", 0, "none"},
    {u"^a", u"", u"ab", 0, "1,1"},
    {u"^a", u"", u"aa", 2, "none"},  // ^ is the input start, not the offset
    {u"\\Aa", u"", u"ab", 0, "1,1"},
    {u"a$", u"", u"a\n", 0, "none"},  // no "before a final newline"
    {u"a\\Z", u"", u"ba", 0, "2,1"},
    {u"(?m)^b", u"", u"a\r\nb", 0, "4,1"},
    {u"(?m)^\\n", u"", u"a\r\nb", 0, "none"},  // never between CR and LF
    {u"(?m)a$", u"", u"a\r\nb", 0, "1,1"},
    {u"(?m)\\r$", u"", u"a\r\nb", 0, "none"},
    {u"(?m)^b", u"", u"a\u2028b", 0, "3,1"},
    {u"(?m)^b", u"", u"a\nb", 0, "3,1"},
    {u"(?m)^$", u"", u"a\n\nb", 0, "3,0"},
    // any
    {u"a.c", u"", u"a\nc", 0, "1,3"},
    {u"a.c", u"-s", u"a\nc", 0, "none"},
    {u"a.c", u"-s", u"a\u2028c", 0, "none"},
    {u"(?-s).+", u"", u"ab\r\ncd", 0, "1,2"},
    {u"(?-s).*", u"", u"\r\n", 0, "1,0"},
    {u"(?-s)a.{2,3}", u"", u"axyzw", 0, "1,4"},
    // classes
    {u"\\d+", u"", u"ab123c", 0, "3,3"},
    {u"\\d", u"", u"\u2160", 0, "1,1"},
    {u"\\D+", u"", u"ab123c", 0, "1,2"},
    {u"\\w+", u"", u"h\u00e9llo w\u00f6rld", 0, "1,5"},
    {u"\\w", u"", u"\u05d0", 0, "none"},  // Lo is not a word character
    {u"\\w+", u"", u"x_1\u00b2", 0, "1,4"},
    {u"\\W", u"", u"ab-", 0, "3,1"},
    {u"\\s", u"", u"\r\n", 0, "none"},
    {u"\\s", u"", u"a\tb", 0, "2,1"},
    {u"\\S+", u"", u" ab ", 0, "2,2"},
    {u"\\p{Lu}", u"", u"a\u0416", 0, "2,1"},
    {u"\\p{Lu}", u"", u"A", 0, "1,1"},
    {u"\\p{L}+", u"", u"aB1", 0, "1,2"},
    {u"\\P{L}", u"", u"ab1", 0, "3,1"},
    // sets
    {u"[ab]+", u"", u"xxbab", 0, "3,3"},
    {u"[^ab]", u"", u"ab\u0416", 0, "3,1"},
    {u"[^abcd]", u"", u"ab\u0416", 0, "3,1"},
    {u"[a-c]+", u"", u"xcabd", 0, "2,3"},
    {u"(?i)[a-c]", u"", u"B", 0, "none"},
    {u"(?i)[abc]", u"", u"B", 0, "1,1"},
    {u"[]a]+", u"", u"x]a]", 0, "2,3"},
    {u"[a-]+", u"", u"x-a", 0, "2,2"},
    {u"[a-\\d]+", u"", u"x-a5", 0, "2,3"},
    {u"[\\w.]+", u"", u"a.b c", 0, "1,3"},
    {u"[\\p{Lu}x]+", u"", u"aAxB", 0, "2,3"},
    {u"[ a b ]+", u"x", u"c ab", 0, "3,2"},
    // escapes
    {u"\\x41\\u0042\\x{43}", u"", u"ABC", 0, "1,3"},
    {u"\\u{41}", u"", u"A}", 0, "1,2"},
    {u"\\t\\n", u"", u"a\t\n", 0, "2,2"},
    {u"a\\.b", u"", u"axb a.b", 0, "5,3"},
    // back-references
    {u"(a+)b\\1", u"", u"aabaa", 0, "1,5;1,2"},
    {u"(a)?b\\1", u"", u"b", 0, "none"},  // an unset group never matches
    {u"a\\0", u"", u"aa", 0, "none"},
    {u"(?i)(ab)\\1", u"", u"abAB", 0, "1,4;1,2"},
    {u"(a)\\1*", u"", u"aaaa", 0, "1,4;1,1"},
    {u"(ab)\\1+?", u"", u"ababab", 0, "1,4;1,2"},
    {u"(a)\\12", u"", u"aa2", 0, "none"},  // \12 is group 12
    // a group entered again by a repeat is unset for a back-reference inside it
    {u"((a|b\\2)b)+$", u"", u"abb", 0, "none"},
    {u"((a|b\\2)x*){2}", u"", u"axxxxb", 0, "none"},
    {u"((a)|b\\2)+", u"", u"aba", 0, "1,3;2,2;1,1"},  // a group closed before is still referred to
    {u"(a*)b\\1c", u"", u"bc", 0, "1,2;1,0"},       // an empty group matches empty
    // boundaries
    {u"\\bfoo\\b", u"", u"a foo b", 0, "3,3"},
    {u"\\bfoo", u"", u"afoo", 0, "none"},
    {u"\\Boo", u"", u"foo", 0, "2,2"},
    {u"\\bb", u"", u"ab", 2, "none"},  // \b sees the code before the offset
    // alternation
    {u"cat|dog", u"", u"hotdog", 0, "4,3"},
    {u"a|", u"", u"b", 0, "1,0"},
    {u"(a)|b", u"", u"b", 0, "1,1;-"},
    {u"(a|ab)(c|bcd)(d*)", u"", u"abcd", 0, "1,4;1,1;2,3;5,0"},
    // alternatives ruled out by their first code: literals in either case, sets, through groups
    {u"(?i)(x|ab)c", u"", u"zABc", 0, "2,3;2,2"},
    {u"([ab]|[^a-d]|[cd])+", u"", u"-cadb", 0, "1,5;5,1"},
    {u"((x)|(y)|z)+", u"", u"azyx", 0, "2,3;4,1;4,1;3,1"},
    // simple repeats
    {u"ab*", u"", u"abbbc", 0, "1,4"},
    {u"a{2,3}", u"", u"aaaa", 0, "1,3"},
    {u"a{2}", u"", u"a", 0, "none"},
    {u"a{2,}", u"", u"aaaaa", 0, "1,5"},
    {u"a{0}b", u"", u"ab", 0, "2,1"},
    {u"a*", u"", u"bbb", 0, "1,0"},
    {u"a+?", u"", u"aaa", 0, "1,1"},
    {u"a*?b", u"", u"aaab", 0, "1,4"},
    {u"<.+?>", u"", u"<a><b>", 0, "1,3"},
    {u"<.+>", u"", u"<a><b>", 0, "1,6"},
    {u"x{2,3}?y", u"", u"xxxy", 0, "1,4"},
    {u"x{2,3}?", u"", u"xxxx", 0, "1,2"},
    {u"a??b", u"", u"ab", 0, "1,2"},
    {u"(?-g)a+", u"", u"aaa", 0, "1,1"},
    {u"a+?", u"-g", u"aaa", 0, "1,1"},
    {u"[ab]*c", u"", u"ababc", 0, "1,5"},
    {u"\\d{2,4}", u"", u"1234567", 0, "1,4"},
    // complex repeats and counted loops
    {u"(ab)*", u"", u"ababx", 0, "1,4;3,2"},
    {u"(ab)+", u"", u"xababx", 0, "2,4;4,2"},
    {u"(ab)?c", u"", u"abc", 0, "1,3;1,2"},
    {u"(ab)*?c", u"", u"ababc", 0, "1,5;3,2"},
    {u"(ab)+?", u"", u"abab", 0, "1,2;1,2"},
    {u"(ab)??", u"", u"ab", 0, "1,0;-"},
    {u"(ab){2}", u"", u"abab", 0, "1,4;3,2"},
    {u"(ab){2,3}", u"", u"abababab", 0, "1,6;5,2"},
    {u"(ab){2,3}?", u"", u"abababab", 0, "1,4;3,2"},
    {u"((a){2}b){2}", u"", u"aabaab", 0, "1,6;4,3;5,1"},
    {u"(a|b){2,3}c", u"", u"ababc", 0, "2,4;4,1"},
    {u"(?:a|b)*c", u"", u"xababc", 0, "2,5"},
    {u"(a*)?b", u"", u"aab", 0, "1,3;1,2"},
    {u"(a|b)*", u"", u"abba", 0, "1,4;4,1"},
    // lookahead
    {u"ab(?=c)", u"", u"abc", 0, "1,2"},
    {u"a(?=b)c", u"", u"abc", 0, "1,3"},
    {u"a(?=b)x?c", u"", u"abc", 0, "1,3"},
    {u"(a(?=b))", u"", u"ab", 0, "1,2;1,2"},
    {u"\\w+(?=,)", u"", u"ab,cd", 0, "1,2"},
    {u"a(?=b)", u"", u"ac", 0, "none"},
    {u"(?=\\d)\\w+", u"", u"ab 12c", 0, "4,3"},
    {u"(?=a?)b", u"", u"b", 0, "1,1"},
    // groups
    {u"(?:a)(b)", u"", u"ab", 0, "1,2"},
    {u"(a)(?:b)(c)", u"", u"abc", 0, "1,3;1,1"},
    {u"((a)|(b))+", u"", u"ab", 0, "1,2;2,1;1,1;2,1"},
    // groups that close (or open and close) after a repeat, before the end
    {u"(x(a*))", u"", u"xaab", 0, "1,3;1,3;2,2"},
    {u"a*()", u"", u"aab", 0, "1,2;3,0"},
    {u"(\\s*)(/)", u"", u"  x  /", 0, "4,3;4,2;6,1"},
    // a failed alternative or iteration gives its groups back, also beyond the groups one step
    // of the matcher restores by itself
    {u"(?:(a)x|(a))\\1", u"", u"aa", 0, "none"},
    {u"((a)b)*", u"", u"abax", 0, "1,2;1,2;1,1"},
    {u"(a)(b)(c)(d)(e)(f)(g)(h)(i)x|(a)b", u"", u"abcdefghiy", 0, "1,2;-;-;-;-;-;-;-;-;-;1,1"},
    {u"((a)(b)(c)(d)(e)(f)(g)(h)(i)\\10)+", u"", u"abcdefghiiabcdefghij", 0,
     "1,10;1,10;1,1;2,1;3,1;4,1;5,1;6,1;7,1;8,1;9,1"},
    // extended mode
    {u"a b", u"x", u"ab", 0, "1,2"},
    {u"a\\ b", u"x", u"a b", 0, "1,3"},
    {u"a # comment\nb", u"x", u"ab", 0, "1,2"},
};

}  // namespace

TEST(RegexMatcher, MatchTable) {
  for (const auto& c : CMatchCases) {
    SCOPED_TRACE(KivToUtf8(c.Pattern) + " /" + KivToUtf8(c.Mods) + " on \"" + KivToUtf8(c.Subject) + "\"");
    for (Integer opts : {Integer(roAll), Integer(0)}) {
      try {
        TKivRegExp re;
        if (!c.Mods.empty()) re.SetModifierStr(c.Mods);
        re.SetOptimizations(opts);
        re.SetExpression(c.Pattern);
        re.SetInputText(c.Subject);
        bool r = c.Offset ? re.Exec(c.Offset) : re.Exec();
        EXPECT_EQ(Describe(re, r), c.Expected) << "optimisations " << opts;
      } catch (const EKivError& e) {
        ADD_FAILURE() << e.what();
      }
    }
  }
}

TEST(RegexMatcher, MatchCountAndGetMatch) {
  TKivRegExp re;
  re.SetExpression(u"(a)|b");
  re.SetInputText(u"b");
  ASSERT_TRUE(re.Exec());
  EXPECT_EQ(re.MatchCount(), 0);
  EXPECT_EQ(re.GetMatchPos(1), -1);
  EXPECT_EQ(re.GetMatchLen(1), -1);
  EXPECT_EQ(re.GetMatch(1), u"");
  EXPECT_EQ(re.GetMatchPos(7), -1);
  EXPECT_EQ(re.GetMatch(0), u"b");
  re.SetExpression(u"(\\w+)@(\\w+)");
  re.SetInputText(u"mail john@host now");
  ASSERT_TRUE(re.Exec());
  EXPECT_EQ(re.MatchCount(), 2);
  EXPECT_EQ(re.GetMatch(1), u"john");
  EXPECT_EQ(re.GetMatch(2), u"host");
  Integer start, count;
  ASSERT_TRUE(re.GetVarByID(2, start, count));
  EXPECT_EQ(start, 11);
  EXPECT_EQ(count, 4);
  EXPECT_FALSE(re.GetVarByID(3, start, count));
  // A failed Exec leaves every group unset.
  re.SetInputText(u"nothing");
  EXPECT_FALSE(re.Exec());
  EXPECT_EQ(re.GetMatchPos(0), -1);
  EXPECT_EQ(re.GetMatchPos(1), -1);
}

TEST(RegexMatcher, ExecFamilyAndOffsets) {
  TKivRegExp re;
  ExpectRegexError([&] { re.Exec(); }, 1003, {});
  re.SetExpression(u"a*");
  ExpectRegexError([&] { re.Exec(); }, 2002, {});
  ExpectRegexError([&] { re.ExecNext(); }, 1007, {});
  ExpectRegexError([&] { (void)re.InputText(); }, 2002, {});
  re.SetInputText(u"bbb");
  EXPECT_EQ(re.InputText(), u"bbb");
  ExpectRegexError([&] { re.ExecNext(); }, 1007, {});
  // a* on bbb matches empty at 1; ExecNext moves on one position each time.
  std::vector<Integer> starts;
  for (bool ok = re.Exec(); ok; ok = re.ExecNext()) {
    EXPECT_EQ(re.GetMatchLen(0), 0);
    starts.push_back(re.GetMatchPos(0));
  }
  EXPECT_EQ(starts, (std::vector<Integer>{1, 2, 3, 4}));
  ExpectRegexError([&] { re.ExecNext(); }, 1007, {});
  // Offsets: the end of the text can match the empty pattern, beyond it is no match, before the
  // first position is an argument error.
  EXPECT_TRUE(re.Exec(4));
  EXPECT_EQ(re.GetMatchPos(0), 4);
  EXPECT_FALSE(re.Exec(5));
  try {
    re.Exec(0);
    FAIL();
  } catch (const EInvalidArgument& e) {
    EXPECT_EQ(e.Message(), u"Index out of bounds: 0");
  }
  // A count limits the input end; ExecNext keeps it.
  re.SetExpression(u"b");
  re.SetInputText(u"bbbbb");
  ASSERT_TRUE(re.Exec(2, 2));
  EXPECT_EQ(re.GetMatchPos(0), 2);
  ASSERT_TRUE(re.ExecNext());
  EXPECT_EQ(re.GetMatchPos(0), 3);
  EXPECT_FALSE(re.ExecNext());
  EXPECT_FALSE(re.Exec(2, 0));
  EXPECT_FALSE(re.Exec(2, -5));
  EXPECT_TRUE(re.Exec(5, -1));
  re.SetExpression(u"b$");
  EXPECT_TRUE(re.Exec(1, 2));  // $ is the end of the counted input
  EXPECT_EQ(re.GetMatchPos(0), 2);
  // ModifierA: only at the start offset.
  re.SetExpression(u"b");
  re.SetInputText(u"ab");
  re.SetModifierA(true);
  EXPECT_FALSE(re.Exec(1));
  EXPECT_TRUE(re.Exec(2));
  EXPECT_TRUE(re.ExecPos(2));
}

TEST(RegexMatcher, NeedMoreReporting) {
  struct Case {
    std::u16string Pattern;
    bool Anchored;
    std::u16string Subject;
    bool Matched;
    bool NeedMore;
  };
  const Case cases[] = {
      {u"abc", true, u"ab", false, true},      {u"abc", true, u"abx", false, false},
      {u"ab", true, u"ab", true, true},        {u"a", true, u"ab", true, false},
      {u"a+", true, u"aa", true, true},        {u"a+", true, u"aab", true, false},
      {u"a+?", true, u"aa", true, false},      {u"[ab]c", true, u"a", false, true},
      {u"(?i)abc", true, u"ab", false, false}, {u".", true, u"", false, true},
      {u"(a)\\1", true, u"a", false, true},    {u"\\d", true, u"", false, false},
      {u"abc", false, u"xxab", false, true},   {u"x", false, u"abc", false, true},
      {u"a$", true, u"a", true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(KivToUtf8(c.Pattern) + " on " + KivToUtf8(c.Subject));
    for (Integer opts : {Integer(roAll), Integer(0)}) {
      TKivRegExp re;
      re.SetOptimizations(opts);
      re.SetModifierA(c.Anchored);
      re.SetExpression(c.Pattern);
      re.SetInputText(c.Subject);
      bool needMore = !c.NeedMore;
      EXPECT_EQ(re.Exec(1, -1, needMore), c.Matched);
      EXPECT_EQ(needMore, c.NeedMore);
    }
  }
}

TEST(RegexMatcher, LimitsRaiseCodedErrors) {
  TKivRegExp re;
  re.SetExpression(u"(a|b)*");
  re.SetInputText(std::u16string(20000, u'a'));
  ExpectRegexError([&] { re.Exec(); }, 1005, u"TKivRegExpr(exec): Recursion Limit Exceeded");
  EXPECT_EQ(re.GetMatchPos(0), -1);
  ExpectRegexError([&] { re.ExecNext(); }, 1007, {});
  // The engine stays usable.
  re.SetInputText(u"abab");
  ASSERT_TRUE(re.Exec());
  EXPECT_EQ(re.GetMatchLen(0), 4);

  // '.' without s is counted, not recursed: long lines never reach the limit.
  TKivRegExp dot;
  dot.SetModifierS(false);
  dot.SetExpression(u"foo.*bar");
  dot.SetInputText(u"foo" + std::u16string(100000, u'x') + u"bar\nfoo");
  ASSERT_TRUE(dot.Exec());
  EXPECT_EQ(dot.GetMatchLen(0), 100006);

  // More than 20 active counted loops.
  std::u16string nested;
  for (int i = 0; i < 21; ++i) nested += u"(?:";
  nested += u"a";
  for (int i = 0; i < 21; ++i) nested += u"){1}";
  TKivRegExp loops;
  loops.SetExpression(nested);
  loops.SetInputText(u"a");
  ExpectRegexError([&] { loops.Exec(); }, 1014, u"TKivRegExpr(exec): Loop Stack Exceeded");
  nested = nested.substr(3, nested.size() - 7);  // 20 loops fit
  loops.SetExpression(nested);
  EXPECT_TRUE(loops.Exec());

  // The step limit ends an exponential search.
  TKivRegExp slow;
  slow.SetExpression(u"(x+x+)+y");
  slow.SetInputText(std::u16string(40, u'x'));
  slow.SetStepLimit(100000);
  ExpectRegexError([&] { slow.Exec(); }, 1006, u"TKivRegExpr(exec): Step Limit Exceeded");
}

TEST(RegexMatcher, GroupsEnteredAgainNeverLeaveForeignErrors) {
  // Before, the back-reference saw the new start with the old end: the input position moved
  // backwards and the group got a negative length that broke GetMatch, Substitute and Replace.
  const std::pair<const char16_t*, const char16_t*> cases[] = {
      {u"((a|b\\2)b)+$", u"abb"},
      {u"((a|b\\2)x*){2}", u"axxxxb"},
      {u"((a|b\\2)x*){2}", u"axxxxbaxbxb"},
      {u"(?i)((a|b\\2)x*)+", u"axxxxbAXBX"},
      {u"((a|b\\2*)x*)+", u"axxbbxab"},
  };
  for (const auto& [pattern, subject] : cases) {
    SCOPED_TRACE(KivToUtf8(pattern));
    for (Integer opts : {Integer(roAll), Integer(0)}) {
      TKivRegExp re;
      re.SetOptimizations(opts);
      re.SetExpression(pattern);
      re.SetInputText(subject);
      for (bool ok = re.Exec(); ok; ok = re.ExecNext()) {
        for (Integer g = 0; g < re.CompiledSubExpCount(); ++g) {
          EXPECT_GE(re.GetMatchLen(g), -1);
          EXPECT_EQ(static_cast<Integer>(re.GetMatch(g).size()), std::max<Integer>(re.GetMatchLen(g), 0));
        }
        EXPECT_GE(re.GetMatchPos(0), 1);
        EXPECT_LE(re.GetMatchPos(0) + re.GetMatchLen(0), static_cast<Integer>(std::u16string(subject).size()) + 1);
        (void)re.Substitute(u"<$1|$2>");
      }
      (void)re.Replace(u"[$2]", true);
      std::vector<TKivString> pieces;
      re.Split(pieces);
    }
  }
}

TEST(RegexMatcher, DefaultWorkBudgetEndsRunawaySearches) {
  TKivRegExp probe;
  EXPECT_EQ(probe.StepLimit(), KivRegDefaultStepLimit);
  struct Case {
    const char16_t* Pattern;
    TKivString Subject;
    int64_t Limit;
  };
  const Case runaway[] = {
      // the next-literal skip of a simple repeat, from every start position
      {u"a{0,65535}b", std::u16string(100000, u'a') + u"cb", KivRegDefaultStepLimit},
      // a repeat that gives back one code at a time from every start position
      {u"w\\w*$", std::u16string(100000, u'w') + u"!", KivRegDefaultStepLimit},
      // exponential backtracking; back-references compared over and over
      {u"(x+x+)+y", std::u16string(64, u'x'), 10000000},
      {u"(\\w+)\\s*\\1x", std::u16string(100000, u'w'), 10000000},
  };
  for (const auto& c : runaway) {
    SCOPED_TRACE(KivToUtf8(c.Pattern));
    TKivRegExp re;
    re.SetStepLimit(c.Limit);
    re.SetExpression(c.Pattern);
    re.SetInputText(c.Subject);
    const std::clock_t started = std::clock();
    ExpectRegexError([&] { re.Exec(); }, 1006, u"TKivRegExpr(exec): Step Limit Exceeded");
    const double seconds = double(std::clock() - started) / CLOCKS_PER_SEC;
#ifdef NDEBUG
    // About half a second on an idle machine (see the regex benchmark); a loop that does not
    // count would run for many seconds.
    EXPECT_LT(seconds, 5.0);
#endif
    EXPECT_GT(re.StepsUsed(), c.Limit);
    EXPECT_EQ(re.GetMatchPos(0), -1);
    (void)seconds;
  }
  // \w+$ is quadratic without the optimisations and reaches the budget; with them, a start that
  // failed skips the rest of its run and the search ends at once.
  TKivRegExp line;
  line.SetExpression(u"\\w+$");
  line.SetInputText(std::u16string(100000, u'w') + u"!");
  EXPECT_FALSE(line.Exec());
  EXPECT_LT(line.StepsUsed(), 10000000);
  line.SetOptimizations(0);
  ExpectRegexError([&] { line.Exec(); }, 1006, {});

  // A negative limit switches the budget off.
  TKivRegExp unlimited;
  unlimited.SetExpression(u"(x+x+)+y");
  unlimited.SetInputText(std::u16string(16, u'x'));
  unlimited.SetStepLimit(1000);
  ExpectRegexError([&] { unlimited.Exec(); }, 1006, {});
  unlimited.SetStepLimit(-1);
  EXPECT_FALSE(unlimited.Exec());
  EXPECT_GT(unlimited.StepsUsed(), 1000000);
  // Every loop counts: a scan for the first code, the start-node scan, the literal search and
  // the repeat counting each spend about a unit per code, so a small budget stops them too.
  const std::u16string longText = std::u16string(5000, u'.') + u"needle";
  for (const char16_t* pattern : {u"needle", u"[n]eedle", u"(?:n|m)eedle", u"\\d*needle", u".*z"}) {
    SCOPED_TRACE(KivToUtf8(pattern));
    TKivRegExp re;
    re.SetExpression(pattern);
    re.SetInputText(longText);
    re.SetStepLimit(1000);
    ExpectRegexError([&] { re.Exec(); }, 1006, {});
    re.SetStepLimit(KivRegDefaultStepLimit);
    (void)re.Exec();
    EXPECT_GT(re.StepsUsed(), 1000);
    EXPECT_LT(re.StepsUsed(), 100000);
  }
}

TEST(RegexMatcher, Variables) {
  std::map<Integer, TKivString> values = {{1, u"end"}, {2, u""}, {3, u"ab"}};
  TKivRegExp re;
  re.SetModifierX(true);
  re.SetVariablesGetter([&](Integer AId, TKivIntArray& ACodes) {
    for (char16_t c : values[AId]) ACodes.push_back(c);
  });
  re.SetExpression(u"< $1 >");
  EXPECT_TRUE(re.HasVariables());
  re.SetInputText(u"x<end>");
  ASSERT_TRUE(re.Exec());
  EXPECT_EQ(re.GetMatchPos(0), 2);
  bool wide;
  EXPECT_TRUE(re.GetFirstCharSetAnsi(wide).Contains('<'));
  // New values take effect after InvalidateVariables.
  values[1] = u"stop";
  re.SetInputText(u"<stop>");
  re.InvalidateVariables();
  EXPECT_TRUE(re.Exec());
  // An empty variable matches the empty string everywhere, also at the start.
  re.SetExpression(u"$2 x");
  re.SetInputText(u"ax");
  ASSERT_TRUE(re.Exec());
  EXPECT_EQ(re.GetMatchPos(0), 2);
  re.SetExpression(u"$2+ x");
  ASSERT_TRUE(re.Exec());
  EXPECT_EQ(re.GetMatchPos(0), 2);
  // A quantified variable repeats its whole text.
  re.SetExpression(u"$3+ c");
  re.SetInputText(u"xababc");
  ASSERT_TRUE(re.Exec());
  EXPECT_EQ(re.GetMatchPos(0), 2);
  EXPECT_EQ(re.GetMatchLen(0), 5);
  // Case-insensitive variables.
  re.SetModifierI(true);
  re.SetExpression(u"$1");
  values[1] = u"End";
  re.SetInputText(u"the eND");
  ASSERT_TRUE(re.Exec());
  EXPECT_EQ(re.GetMatchPos(0), 5);
  // Without a getter every variable is empty.
  TKivRegExp bare;
  bare.SetModifierX(true);
  bare.SetExpression(u"a $5 b");
  bare.SetInputText(u"ab");
  EXPECT_TRUE(bare.Exec());
}

namespace {

// Token codes of a fixed array at positions 0 .. n - 1, through a small window.
class TTokenSource : public TKivRegexSource {
 public:
  explicit TTokenSource(TKivIntArray ACodes)
      : TKivRegexSource(4, static_cast<Integer>(ACodes.size())), FCodes(std::move(ACodes)) {}

 protected:
  void FillBuffer() override {
    for (Integer i = FBufferStart; i < FBufferEnd; ++i) FBuffer[i - FBufferStart] = FCodes[i];
  }

 private:
  TKivIntArray FCodes;
};

}  // namespace

TEST(RegexMatcher, IntCodesOverATokenSource) {
  const std::map<std::u16string, Integer> names = {{u"kw:while", 70000}, {u"kw:if", 70001}, {u"sym:(", 40},
                                                   {u"sym:)", 41},       {u"sym:;", 59},    {u"sym:}", 125},
                                                   {u"sym:{", 123},      {u"id", 5}};
  TKivRegExp re;
  re.SetModifierS(false);
  re.SetModifierC(true);
  re.SetCodesResolver([&](const TKivString& AName) -> Integer {
    auto it = names.find(AName);
    return it == names.end() ? -1 : it->second;
  });
  re.SetExpression(u"[ kw:while kw:if ] [^ sym:; sym:} ]*? sym:\\{");
  // if ( id ) { id ; }
  TTokenSource tokens({5, 70001, 40, 5, 41, 123, 5, 59, 125});
  re.SetInputSource(&tokens);
  ASSERT_TRUE(re.Exec());
  EXPECT_EQ(re.GetMatchPos(0), 1);
  EXPECT_EQ(re.GetMatchLen(0), 5);
  ExpectRegexError([&] { re.GetMatch(0); }, 139, {});
  ExpectRegexError([&] { re.Substitute(u"x"); }, 1016, {});
  ExpectRegexError([&] { (void)re.InputText(); }, 2001, {});
  std::vector<TKivString> pieces;
  ExpectRegexError([&] { re.Split(pieces); }, 1016, {});
  ExpectRegexError([&] { re.Replace(u"", false); }, 1016, {});
  re.SetExpression(u"( id ) sym:; sym:} $");
  ASSERT_TRUE(re.Exec(0));
  EXPECT_EQ(re.GetMatchPos(0), 6);
  EXPECT_EQ(re.GetMatchPos(1), 6);
  re.SetExpression(u".+ \\Z");
  ASSERT_TRUE(re.Exec(3));
  EXPECT_EQ(re.GetMatchLen(0), 6);
  re.SetExpression(u"^ id");
  EXPECT_TRUE(re.Exec(0));
  EXPECT_FALSE(re.Exec(3));
  // A numeric range of codes.
  re.SetExpression(u"[ sym:( - sym:; ] +");
  ASSERT_TRUE(re.Exec(0));
  EXPECT_EQ(re.GetMatchPos(0), 2);
  EXPECT_EQ(re.GetMatchLen(0), 1);
  EXPECT_THROW(re.Exec(-1), EInvalidArgument);
}

TEST(RegexMatcher, SourceWindowMovesBothWays) {
  TKivIntArray codes;
  for (Integer i = 0; i < 1000; ++i) codes.push_back(i * 7);
  TTokenSource src(codes);
  for (Integer i : {0, 999, 3, 500, 499, 495, 994, 1, 998, 250, 251, 246, 247})
    EXPECT_EQ(src.GetCode(i), i * 7) << i;
  TTokenSource fresh(codes);
  EXPECT_THROW(fresh.GetCode(-1), EKivInternalError);  // never a read from the unfilled window
  TKivRegexStringSource text(u"hello");
  EXPECT_THROW(text.GetCode(0), EKivInternalError);
  EXPECT_EQ(text.BaseIndex, 1);
  EXPECT_EQ(text.Count, 5);
  EXPECT_EQ(text.GetCode(1), u'h');
  EXPECT_EQ(text.GetCode(5), u'o');
  EXPECT_THROW(text.GetCode(6), EKivInternalError);
}

TEST(RegexMatcher, SubstituteSplitReplace) {
  TKivRegExp re;
  re.SetExpression(u"(\\d+)");
  re.SetInputText(u"x42");
  ASSERT_TRUE(re.Exec());
  EXPECT_EQ(re.Substitute(u"[$1]"), u"[42]");
  EXPECT_EQ(re.Substitute(u"${1}|$&|${&}|$9|$10|$|$$|$x"), u"42|42|42|||$|$$|$x");
  EXPECT_EQ(re.Substitute(u"\\t\\n\\$1\\\\\\x41\\q\\"), u"\t\n$1\\Aq\\");
  EXPECT_EQ(re.Substitute(u""), u"");
  ExpectRegexError([&] { re.Substitute(u"${1"); }, 134, {}, 4);
  ExpectRegexError([&] { re.Substitute(u"ab${x}"); }, 134, {}, 5);

  std::vector<TKivString> pieces;
  RegExprSplit(u",", u"a,,b", pieces);
  EXPECT_EQ(pieces, (std::vector<TKivString>{u"a", u"", u"b"}));
  RegExprSplit(u",", u"a,", pieces);
  EXPECT_EQ(pieces, (std::vector<TKivString>{u"a"}));
  RegExprSplit(u",", u",a", pieces);
  EXPECT_EQ(pieces, (std::vector<TKivString>{u"", u"a"}));
  RegExprSplit(u",", u"abc", pieces);
  EXPECT_EQ(pieces, (std::vector<TKivString>{u"abc"}));
  RegExprSplit(u"\\s*;\\s*", u"x ; y;z", pieces);
  EXPECT_EQ(pieces, (std::vector<TKivString>{u"x", u"y", u"z"}));

  EXPECT_EQ(RegExprReplace(u"(\\w+)@(\\w+)", u"a@b c@d", u"$2 at $1", true), u"b at a d at c");
  EXPECT_EQ(RegExprReplace(u"(\\w+)@(\\w+)", u"a@b c@d", u"$2 at $1", false), u"$2 at $1 $2 at $1");
  EXPECT_EQ(RegExprReplace(u"x*", u"ab", u"-", false), u"-a-b-");
  EXPECT_EQ(RegExprReplace(u"b", u"abc", u"", false), u"ac");
  EXPECT_EQ(RegExprReplace(u"z", u"abc", u"!", false), u"abc");
  re.SetExpression(u"\\d");
  re.SetInputText(u"a1b22");
  EXPECT_EQ(re.ReplaceEx([](TKivRegExp& ARe) { return u"<" + ARe.GetMatch(0) + u">"; }), u"a<1>b<2><2>");

  TKivRegExp none;
  none.SetExpression(u"a");
  ExpectRegexError([&] { none.Split(pieces); }, 2002, {});
  TTokenSource tokens({1, 2});
  none.SetInputSource(&tokens);
  ExpectRegexError([&] { none.Replace(u"", false); }, 2001, {});
}

// The link detection of the demo window: e-mail addresses and web links.
TEST(RegexMatcher, LinkDetectionExpressions) {
  const TKivString email =
      u"(?ix) (mailto:)? ([_a-z \\d    \\-    \\.]+?  @  ( [_a-z   \\d    \\-]+?  (\\. [_a-z\\d\\-]+ )+?  "
      u")?)";
  const TKivString link =
      u"(?ix)  ( ftp | http )s? ://  ( [ _ a-z \\d \\- ]+  (\\.  [_ a-z \\d \\- ]+ ) +  )  ( (/ [ _ a-z \\d "
      u"\\- \\\\ "
      u"\\. ] + ) + ) * ";
  EXPECT_EQ(email.size(), 93u);
  EXPECT_EQ(link.size(), 115u);
  struct Case {
    TKivString Word;
    bool Email;
    bool Link;
  };
  const Case cases[] = {
      {u"mailto:john.doe@example.com", true, false},
      {u"support@vornish.org", true, false},
      {u"user@host", true, false},
      {u"http://www.example.com/path/to/file.html", false, true},
      {u"https://vornish.org", false, true},
      {u"ftp://ftp.site.org/pub", false, true},
      {u"HTTP://WWW.EXAMPLE.COM", false, false},  // ranges are not case-folded
      {u"http://localhost", false, false},
      {u"hello", false, false},
      {u"printf(\"%d\",", false, false},
      {u"a.b.c", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RegExprExec(email, c.Word), c.Email) << KivToUtf8(c.Word);
    EXPECT_EQ(RegExprExec(link, c.Word), c.Link) << KivToUtf8(c.Word);
  }
}

TEST(RegexMatcher, BoyerMooreSearch) {
  // Literal starts of every length over a text with many near misses, with and without case.
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  for (int round = 0; round < 200; ++round) {
    TKivString text;
    int n = 1 + rng() % 600;
    for (int i = 0; i < n; ++i) text.push_back(u"abAB\u0416\u0436"[rng() % 6]);
    TKivString needle;
    int m = 1 + rng() % 8;
    for (int i = 0; i < m; ++i) needle.push_back(u"abAB\u0416\u0436"[rng() % 6]);
    bool ci = rng() % 2;
    TKivRegExp re;
    re.SetModifierI(ci);
    re.SetExpression(RegExprQuoteMetaChars(needle));
    re.SetInputText(text);
    std::vector<Integer> fast, slow;
    for (bool ok = re.Exec(); ok; ok = re.ExecNext()) fast.push_back(re.GetMatchPos(0));
    re.SetOptimizations(0);
    for (bool ok = re.Exec(); ok; ok = re.ExecNext()) slow.push_back(re.GetMatchPos(0));
    ASSERT_EQ(fast, slow) << "round " << round;
  }
}

namespace {

// A subject of 0 to 13 codes drawn from AAlphabet.
TKivString RandomSubject(std::mt19937& ARng, std::u16string_view AAlphabet) {
  TKivString s;
  const int len = ARng() % 14;
  for (int i = 0; i < len; ++i) s.push_back(AAlphabet[ARng() % AAlphabet.size()]);
  return s;
}

// A random pattern from pieces of the dialect; many are invalid and get skipped.
TKivString RandomPattern(std::mt19937& ARng) {
  static const char16_t* const CAtoms[] = {
      u"a",        u"b",     u"ab",      u"abc",    u"[ab]",     u"[^a]", u"[a-c]", u"[^abcd]",   u".",
      u"\\d",      u"\\w",   u"\\s",     u"\\b",    u"\\B",      u"^",    u"$",     u"(a|b)",     u"(ab)",
      u"(?:a|bc)", u"(?=a)", u"(?=ab?)", u"\\1",    u"\\2",      u"(a*)", u"(b+)?", u"x",         u"(?i)",
      u"(?-s)",    u"(?m)",  u"(a|)",    u"(\\w+)", u"[\\d\\n]", u"\\n",  u"\\r",   u"(?:x|y|z)",
      u"(?:b)",
  };
  static const char16_t* const CQuants[] = {u"",      u"",   u"",   u"",   u"*",      u"+",   u"?",
                                            u"{1,2}", u"*?", u"+?", u"??", u"{0,2}?", u"{2}", u"{1,}"};
  // A code of a set, then a greedy or lazy repeat of a set, between word boundaries: the shape of
  // an identifier search or a keyword rule.
  if (ARng() % 6 == 0) {
    static const char16_t* const CSets[] = {u"[a-y]", u"[A-Za-z_]", u"[a-z1 ]", u"\\w", u"[^\\n]", u"[^abx]"};
    static const char16_t* const CRepeats[] = {u"*", u"+", u"{2,}", u"{0,}", u"*?", u"{1,2}"};
    static const char16_t* const CBounds[] = {u"", u"", u"\\b", u"\\B"};
    TKivString p = CBounds[ARng() % std::size(CBounds)];
    if (ARng() % 4 != 0) p += CSets[ARng() % std::size(CSets)];
    p += CSets[ARng() % std::size(CSets)];
    if (ARng() % 4 != 0) p += CRepeats[ARng() % std::size(CRepeats)];
    return p + CBounds[ARng() % std::size(CBounds)] + CBounds[ARng() % std::size(CBounds)];
  }
  TKivString p;
  int pieces = 1 + ARng() % 5;
  for (int i = 0; i < pieces; ++i) {
    p += CAtoms[ARng() % std::size(CAtoms)];
    p += CQuants[ARng() % std::size(CQuants)];
    if (ARng() % 8 == 0) p += u"|";
  }
  return p;
}

}  // namespace

// Every optimisation on, off, and each alone must give the same matches, captures and need-more.
TEST(RegexMatcher, OptimisationsNeverChangeResults) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  int compared = 0, budgetEnded = 0;
  for (int round = 0; round < 3000; ++round) {
    TKivString pattern = RandomPattern(rng);
    const TKivString subject = RandomSubject(rng, u"abcxyz A1\n\r");
    const int len = static_cast<int>(subject.size());
    TKivString mods = (rng() % 3 == 0 ? u"i" : u"");
    if (rng() % 3 == 0) mods += u"m";
    if (rng() % 3 == 0) mods += u"-s";
    const Integer optionSets[] = {roAll,
                                  0,
                                  roAll & ~roFirstCharSet,
                                  roAll & ~roStartNode,
                                  roAll & ~roMustHave,
                                  roAll & ~roAnchor,
                                  roAll & ~roNextLiteral,
                                  roAll & ~roDirectRun,
                                  roAll & ~roLeadFilter};
    const Integer opts = optionSets[rng() % std::size(optionSets)];
    // The default budget, or one small enough to end some of these searches.
    const int64_t budgets[] = {KivRegDefaultStepLimit, 400, 2000};
    const int64_t budget = budgets[rng() % std::size(budgets)];
    std::string results[2];
    Integer errors[2] = {0, 0};
    for (int k = 0; k < 2; ++k) {
      TKivRegExp re;
      re.SetStepLimit(budget);
      if (!mods.empty()) re.SetModifierStr(mods);
      re.SetOptimizations(k == 0 ? roAll : opts == roAll ? 0 : opts);
      try {
        re.SetExpression(pattern);
        re.SetInputText(subject);
        for (Integer off = 1; off <= len + 1; ++off) {
          bool needMore = false;
          bool r = re.Exec(off, -1, needMore);
          results[k] += Describe(re, r) + (needMore ? "+" : "") + " ";
          if (r) {
            for (int n = 0; n < 3 && re.ExecNext(); ++n) results[k] += Describe(re, true) + " ";
          }
        }
      } catch (const EKivRegExprError& e) {
        errors[k] = e.ErrorCode;
      }
    }
    const std::string where = "seed " + std::to_string(seed) + " round " + std::to_string(round) +
                              " pattern " + KivToUtf8(pattern) + " /" + KivToUtf8(mods) + " on \"" +
                              KivToUtf8(subject) + "\" budget " + std::to_string(budget) +
                              " optimisations " + std::to_string(opts);
    // Optimisations only save work: where the plain search keeps within the budget, so does
    // the optimised one.
    if (errors[0] == reeStepLimit) {
      ASSERT_EQ(errors[1], reeStepLimit) << where;
      ++budgetEnded;
      continue;
    }
    if (errors[0] || errors[1]) continue;  // an invalid pattern, or the plain search ran out
    ++compared;
    ASSERT_EQ(results[0], results[1]) << where;
  }
  EXPECT_GT(compared, 1000);
  EXPECT_GT(budgetEnded, 20);
}

// ExecAt answers as Exec does (result, groups, need-more, work, errors and what ExecNext finds
// next), anchored or not, inside the input and outside it, and after changes that discard the
// program or the input.
TEST(RegexMatcher, ExecAtAnswersAsExec) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  int anchoredMatches = 0;
  for (int round = 0; round < 1500; ++round) {
    const TKivString pattern = RandomPattern(rng);
    TKivString subject;
    const int len = rng() % 12;
    for (int i = 0; i < len; ++i) subject.push_back(u"abcxyz A1\n"[rng() % 10]);
    const bool anchored = rng() % 4 != 0;
    const int64_t budget = rng() % 4 == 0 ? 300 : KivRegDefaultStepLimit;
    const uint32_t callSeed = rng();
    std::string results[2];
    for (int k = 0; k < 2; ++k) {
      std::mt19937 calls(callSeed);
      TKivRegExp re;
      re.SetStepLimit(budget);
      std::string& out = results[k];
      try {
        re.SetModifierA(anchored);
        re.SetExpression(pattern);
        re.SetInputText(subject);
      } catch (const EKivRegExprError&) {
        out = "invalid";
        continue;
      }
      for (int call = 0; call < 10; ++call) {
        switch (calls() % 8) {  // now and then something that discards the prepared state
          case 0:
            re.SetModifierI(!re.ModifierI());
            break;
          case 1:
            re.SetInputText(subject + u"a");
            break;
        }
        const Integer off = static_cast<Integer>(calls() % (len + 4));  // 0 and len + 2.. are outside
        const Integer count = static_cast<Integer>(calls() % (len + 4)) - 2;
        const bool wantNeedMore = calls() % 2 == 0;
        try {
          bool needMore = false, r;
          if (wantNeedMore)
            r = k == 0 ? re.Exec(off, count, needMore) : re.ExecAt(off, count, needMore);
          else
            r = k == 0 ? re.Exec(off, count) : re.ExecAt(off, count);
          // The groups after a failed call too: every one of them must be unset then.
          out += (r ? "" : "none ") + Describe(re, true) + (needMore ? "+" : "") + " " +
                 std::to_string(re.StepsUsed()) + " ";
          if (r && k == 1 && re.ModifierA()) ++anchoredMatches;
          if (r && calls() % 2 == 0) out += "next " + Describe(re, re.ExecNext()) + " ";
        } catch (const EKivRegExprError& e) {
          out += "error " + std::to_string(e.ErrorCode) + " " + Describe(re, true) + " ";
        } catch (const EKivError& e) {
          out += std::string("fault ") + e.what() + " ";
        }
      }
    }
    ASSERT_EQ(results[0], results[1]) << "seed " << seed << " round " << round << " pattern "
                                      << KivToUtf8(pattern) << (anchored ? " anchored" : "") << " on \""
                                      << KivToUtf8(subject) << "\" budget " << budget;
  }
  EXPECT_GT(anchoredMatches, 500);
}

namespace {

// UTF-16 units through a window of a chosen size, with positions from 0 and no direct access to
// the units: the way a document's text reaches the engine.
class TWindowedUnits : public TKivRegexSource {
 public:
  TWindowedUnits(const TKivString& AText, Integer AWindow)
      : TKivRegexSource(AWindow, static_cast<Integer>(AText.size())), FText(AText) {}

 protected:
  void FillBuffer() override {
    for (Integer i = FBufferStart; i < FBufferEnd; ++i) FBuffer[i - FBufferStart] = FText[i];
  }

 private:
  TKivString FText;
};

}  // namespace

// The direct searches over a string's units (literals with and without case, the start after
// word boundaries, the literal-only quick path, the start and first-code scans) against the
// plain search through a small window, with need-more, for random literals and texts with
// letters whose other case lies outside ASCII.
TEST(RegexMatcher, DirectScansMatchWindowedPlainSearch) {
  const unsigned seed = 20261211;
  std::mt19937 rng(seed);
  const char16_t alphabet[] = u"abAB\u0416\u0436\u212Akst \nK\u0131I";
  const size_t letters = std::size(alphabet) - 1;
  for (int round = 0; round < 1500; ++round) {
    TKivString text;
    const int len = rng() % 700;
    for (int i = 0; i < len; ++i) text.push_back(alphabet[rng() % letters]);
    TKivString literal;
    const int m = 1 + rng() % 6;
    for (int i = 0; i < m; ++i) literal.push_back(alphabet[rng() % letters]);
    TKivString pattern = RegExprQuoteMetaChars(literal);
    const int shape = rng() % 8;
    if (shape == 1) pattern = u"\\b" + pattern;
    if (shape == 2) pattern = u"\\b" + pattern + u"\\b";
    if (shape == 3) pattern = u"\\B" + pattern + u"\\w*";
    if (shape == 4) pattern = u"[" + pattern.substr(0, 1) + u"k]" + pattern;
    if (shape == 5) pattern = u"\\w+" + pattern;
    if (shape == 6) pattern = u"[A-Za-z\u0416_][\\w\u0131]*";
    if (shape == 7) pattern = u"[ab\u212A ][k\\nbI]{2,}";
    const bool ci = rng() % 2;
    const Integer window = 6 + rng() % 40;
    std::string results[2];
    for (int k = 0; k < 2; ++k) {
      TKivRegExp re;
      re.SetModifierI(ci);
      re.SetOptimizations(k == 0 ? roAll : 0);
      re.SetExpression(pattern);
      TWindowedUnits windowed(text, window);
      if (k == 0)
        re.SetInputText(text);
      else
        re.SetInputSource(&windowed);
      const Integer base = k == 0 ? 1 : 0;
      std::string& out = results[k];
      for (bool ok = re.Exec(); ok; ok = re.ExecNext())
        out += std::to_string(re.GetMatchPos(0) - base) + "," + std::to_string(re.GetMatchLen(0)) + " ";
      for (Integer off : {Integer(0), Integer(len / 2), Integer(len > 0 ? len - 1 : 0)}) {
        bool needMore = false;
        const bool ok = re.Exec(off + base, -1, needMore);
        out += "|" + std::string(ok ? std::to_string(re.GetMatchPos(0) - base) : "-") + (needMore ? "+" : "");
      }
    }
    ASSERT_EQ(results[0], results[1]) << "seed " << seed << " round " << round << " pattern "
                                      << KivToUtf8(pattern) << (ci ? " /i" : "") << " window " << window;
  }
}

namespace {

// A pattern that begins with what the lead filter tests (boundaries, sets, literals, greedy
// repeats before a set or literal, groups around them), then anything.
TKivString RandomLeadPattern(std::mt19937& ARng) {
  static const char16_t* const CPieces[] = {
      u"\\b",  u"\\B",   u"^",     u"\\s*",     u"\\s+",   u" *",    u"[ \\t]{2,3}", u"a",    u"ab",
      u"#",    u"(?i)b", u"\\d",   u"\\D",      u"\\w+",   u"x+",    u"[(,=:]",      u"(\\s*)", u"(/)",
      u"[^a]", u"\\d*",  u"[ax]*", u"[a-c]{1}", u"(?:ab)", u"a{0,2}", u"(?i)A+",     u"\\n*", u"[\\d\\n]+",
  };
  static const char16_t* const CTails[] = {u"",          u"(x|ab)",     u"(?=.*a$)", u"(#.*)", u"\\1",
                                           u"[a-z]+?b", u"(mailto:)?a", u".",        u"$",     u"b*?"};
  TKivString p;
  const int pieces = 1 + ARng() % 5;
  for (int i = 0; i < pieces; ++i) p += CPieces[ARng() % std::size(CPieces)];
  return p + CTails[ARng() % std::size(CTails)];
}

}  // namespace

// Anchored attempts with the lead filter and without it: the same result, groups, need-more
// and errors at every offset and count, over a string's units and through a small window. The
// filter must also save work in many of them, or it never rejects.
TEST(RegexMatcher, LeadFilterNeverChangesAnchoredResults) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  int compared = 0, saved = 0;
  for (int round = 0; round < 2000; ++round) {
    const TKivString pattern = rng() % 4 == 0 ? RandomPattern(rng) : RandomLeadPattern(rng);
    const TKivString subject = RandomSubject(rng, u"ab xA1#(/\t\n\u0416");
    const int len = static_cast<int>(subject.size());
    const bool ci = rng() % 3 == 0;
    const bool windowed = rng() % 3 == 0;
    std::string results[2];
    int64_t steps[2] = {0, 0};
    for (int k = 0; k < 2; ++k) {
      TKivRegExp re;
      re.SetModifierA(true);
      re.SetModifierI(ci);
      re.SetOptimizations(k == 0 ? roAll : roAll & ~roLeadFilter);
      TWindowedUnits units(subject, 6);
      try {
        re.SetExpression(pattern);
        if (windowed)
          re.SetInputSource(&units);
        else
          re.SetInputText(subject);
        const Integer base = windowed ? 0 : 1;
        for (Integer off = base; off <= base + len; ++off)
          for (Integer count : {Integer(-1), Integer(1), Integer(3)}) {
            bool needMore = false;
            const bool r = count == 3 ? re.ExecAt(off, count) : re.ExecAt(off, count, needMore);
            results[k] += Describe(re, r) + (needMore ? "+" : "") + " ";
            steps[k] += re.StepsUsed();
          }
      } catch (const EKivRegExprError& e) {
        results[k] += "error " + std::to_string(e.ErrorCode);
      }
      re.SetInputSource(nullptr);
    }
    ASSERT_EQ(results[0], results[1]) << "round " << round << " pattern " << KivToUtf8(pattern) << (ci ? " /i" : "")
                                      << " on \"" << KivToUtf8(subject) << "\""
                                      << (windowed ? " windowed" : "");
    ++compared;
    ASSERT_LE(steps[0], steps[1]) << KivToUtf8(pattern);  // a pass costs nothing extra
    if (steps[0] < steps[1]) ++saved;
  }
  EXPECT_GT(compared, 1500);
  EXPECT_GT(saved, 300);  // the filter does reject
}

TEST(RegexMatcher, FirstCodeSets) {
  auto firstCodes = [](const TKivString& APattern, const TKivString& AMods = u"") {
    TKivRegExp re;
    if (!AMods.empty()) re.SetModifierStr(AMods);
    re.SetExpression(APattern);
    bool wide = false;
    TKivSetOfByte set = re.GetFirstCharSetAnsi(wide);
    EXPECT_TRUE(wide);
    std::string codes;
    for (Integer c = 0; c < 256; ++c)
      if (set.Contains(c)) codes += c < 32 ? '#' : static_cast<char>(c);
    return set.Bits == TKivSetOfByte{{~0ull, ~0ull, ~0ull, ~0ull}}.Bits ? std::string("all") : codes;
  };
  EXPECT_EQ(firstCodes(u"abc|x"), "ax");
  EXPECT_EQ(firstCodes(u"(?i)ab"), "Aa");
  EXPECT_EQ(firstCodes(u"a*b"), "ab");
  EXPECT_EQ(firstCodes(u"a+b"), "a");
  EXPECT_EQ(firstCodes(u"a{0,2}b"), "ab");
  EXPECT_EQ(firstCodes(u"(ab){0,2}c"), "ac");
  EXPECT_EQ(firstCodes(u"\\b[xy]"), "xy");
  EXPECT_EQ(firstCodes(u"\\d"), "0123456789");
  EXPECT_EQ(firstCodes(u"(?=a?)b"), "ab");  // a lookahead that can be empty passes on
  EXPECT_EQ(firstCodes(u"(?=a)b"), "a");
  EXPECT_EQ(firstCodes(u"x?"), "all");  // END accepts every code
  EXPECT_EQ(firstCodes(u"(a)\\1"), "a");
  EXPECT_EQ(firstCodes(u"\\1a"), "all");
  EXPECT_EQ(firstCodes(u"$"), "###");  // code 0 and the line separators CR, LF
  // An inverted set contributes exactly what it contains.
  std::string notAB = firstCodes(u"[^ab]");
  EXPECT_EQ(notAB.find('a'), std::string::npos);
  EXPECT_NE(notAB.find('c'), std::string::npos);
  std::string notLetters = firstCodes(u"\\P{L}");
  EXPECT_EQ(notLetters.find('a'), std::string::npos);
  EXPECT_NE(notLetters.find('1'), std::string::npos);
  // Variables: an empty one passes on.
  TKivRegExp re;
  re.SetModifierX(true);
  re.SetVariablesGetter([](Integer AId, TKivIntArray& ACodes) {
    if (AId == 1) ACodes = {u'q'};
  });
  re.SetExpression(u"$2 $1 z");
  bool wide;
  TKivSetOfByte set = re.GetFirstCharSetAnsi(wide);
  EXPECT_TRUE(set.Contains('q'));
  EXPECT_FALSE(set.Contains('z'));
}

TEST(RegexMatcher, CustomPairedSeparator) {
  // "ab" as the paired separator, with only '|' as a line separator.
  for (Integer opts : {Integer(roAll), Integer(0)}) {
    TKivRegExp re;
    re.SetOptimizations(opts);
    re.SetLineSeparators(u"|");
    re.SetLinePairedSeparator(u"ab");
    re.SetModifierM(true);
    re.SetExpression(u"x$");
    re.SetInputText(u"zxab");
    ASSERT_TRUE(re.Exec()) << opts;  // before a complete pair
    EXPECT_EQ(re.GetMatchPos(0), 2);
    re.SetExpression(u"^c");
    re.SetInputText(u"abc|c");
    ASSERT_TRUE(re.Exec()) << opts;  // after a complete pair
    EXPECT_EQ(re.GetMatchPos(0), 3);
    re.SetExpression(u"^b");
    re.SetInputText(u"|ab");
    EXPECT_FALSE(re.Exec()) << opts;  // never inside the pair
    re.SetModifierS(false);
    re.SetExpression(u"x.+");
    re.SetInputText(u"xyzaabq");
    ASSERT_TRUE(re.Exec()) << opts;  // '.' stops before the pair
    EXPECT_EQ(re.GetMatchLen(0), 4);
  }
}

TEST(RegexMatcher, EmptyIterationsEndCountedLoops) {
  // A counted loop whose body matches nothing at run time counts as complete instead of looping
  // to the recursion limit.
  TKivRegExp re;
  re.SetModifierX(true);
  re.SetVariablesGetter([](Integer, TKivIntArray&) {});
  re.SetExpression(u"a ( $1 ){2,} b");
  re.SetInputText(u"ab");
  ASSERT_TRUE(re.Exec());
  EXPECT_EQ(re.GetMatchLen(0), 2);
  re.SetExpression(u"a ( $1 | x ){1,}? b");
  re.SetInputText(u"axxb");
  ASSERT_TRUE(re.Exec());
  EXPECT_EQ(re.GetMatchLen(0), 4);
  re.SetExpression(u"(a)|b(\\1){3,}c");
  re.SetInputText(u"bc");
  EXPECT_FALSE(re.Exec());  // \1 is unset: the body fails rather than matching empty
}

// A program of one code of a set answers for a code without the matcher, exactly as a match of
// that one code would; every other program (and one not compiled as it stands) declines.
TEST(RegexMatcher, OneCodeSetAnswersAsAMatch) {
  const struct {
    const char16_t* Pattern;
    bool OneCode;
  } cases[] = {
      {u"[{}();,.]", true}, {u"\\d", true},   {u"\\D", true},    {u"[^x]", true},  {u"[ab]", true},
      {u"(?i)[q]", true},   {u"\\w", true},   {u"a", false},     {u"[ab]+", false}, {u"([ab])", false},
      {u"\\b[ab]", false},  {u"[ab]\\b", false}, {u"[ab]|c", false}, {u"[ab]c", false},
  };
  const TKivString codes = u"abcxqQ(;.}1 \u0416\u0663";
  for (const auto& c : cases) {
    SCOPED_TRACE(KivToUtf8(c.Pattern));
    TKivRegExp re;
    re.SetModifierA(true);
    re.SetExpression(c.Pattern);
    bool in = false;
    re.SetInputText(u"a");
    re.ExecAt(1, -1);
    ASSERT_EQ(re.OneCodeSetHas(u'a', in), c.OneCode);
    if (!c.OneCode) continue;
    for (char16_t code : codes) {
      ASSERT_TRUE(re.OneCodeSetHas(code, in));
      re.SetInputText(TKivString(1, code));
      EXPECT_EQ(in, re.ExecAt(1, -1)) << "code " << int(code);
    }
    re.SetModifierI(!re.ModifierI());  // the program is thrown away until the next Exec
    EXPECT_FALSE(re.OneCodeSetHas(u'a', in));
    re.ExecAt(1, -1);
    EXPECT_TRUE(re.OneCodeSetHas(u'a', in));
  }
}

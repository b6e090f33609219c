// Counted loops: the run of a one-code body without recursion, the memory of loops that failed
// from a position, and the literal scan of lazy repeats, each against the matcher without it
// (the same matches, groups, need-more, work units and errors).
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "KivRegExpr.h"
#include "KivTestSeed.h"
#include "RegexTestUtil.h"

namespace {

// The matches from every offset (with up to three more by ExecNext), their groups and
// need-more, and the work units of each search; or the error that ended them.
std::string Trace(const TKivString& APattern, const TKivString& AMods, const TKivString& ASubject,
                  Integer AOptimizations, int64_t ABudget, bool AUnits) {
  TKivRegExp re;
  re.SetStepLimit(ABudget);
  re.SetLoopMemoThreshold(0);
  if (!AMods.empty()) re.SetModifierStr(AMods);
  re.SetOptimizations(AOptimizations);
  std::string out;
  try {
    re.SetExpression(APattern);
    re.SetInputText(ASubject);
    auto describe = [&](bool AOk) {
      if (!AOk) return std::string("none");
      std::string s;
      for (Integer g = 0; g < re.CompiledSubExpCount(); ++g)
        s += std::to_string(re.GetMatchPos(g)) + "," + std::to_string(re.GetMatchLen(g)) + ";";
      return s;
    };
    const Integer len = static_cast<Integer>(ASubject.size());
    for (Integer off = 1; off <= len + 1; ++off) {
      bool needMore = false;
      const bool ok = re.Exec(off, -1, needMore);
      out += describe(ok) + (needMore ? "+" : "");
      if (AUnits) out += "u" + std::to_string(re.StepsUsed());
      out += " ";
      for (int n = 0; ok && n < 3; ++n) {
        const bool next = re.ExecNext();
        out += describe(next) + (AUnits ? "u" + std::to_string(re.StepsUsed()) : "") + " ";
        if (!next) break;
      }
    }
  } catch (const EKivRegExprError& e) {
    out += "error " + std::to_string(e.ErrorCode);
  }
  return out;
}

TKivString RandomSubject(std::mt19937& ARng, std::u16string_view AAlphabet, int AMaxLen) {
  TKivString s;
  const int len = static_cast<int>(ARng() % static_cast<unsigned>(AMaxLen + 1));
  for (int i = 0; i < len; ++i) s.push_back(AAlphabet[ARng() % AAlphabet.size()]);
  return s;
}

template <size_t N>
const char16_t* Pick(std::mt19937& ARng, const char16_t* const (&AItems)[N]) {
  return AItems[ARng() % N];
}

// A loop over one code (a '.' without s, or a code in a non-capturing group), between other
// pieces: the shapes of comment, string and line rules.
TKivString RandomOneCodeLoop(std::mt19937& ARng) {
  static const char16_t* const CBefore[] = {u"", u"", u"a", u"/\\*", u"x?", u"(a)", u"\\b", u"[ab]"};
  static const char16_t* const CBodies[] = {u"(?-s).",  u"(?:a)",     u"(?:[ab])", u"(?:\\d)", u"(?:[^a\\n])",
                                            u"(?:.)",   u"(?:(?:b))", u"(?:\\w)",  u"(?:x)",   u"(?:[abx])"};
  static const char16_t* const CQuants[] = {u"*",  u"+",  u"*?",    u"+?",    u"{2,}", u"{1,3}",
                                            u"{0,2}?", u"{3}", u"{2,}?", u"{0,1}", u"*",    u"*?"};
  static const char16_t* const CAfter[] = {u"",     u"b",     u"ab", u"x",      u"$",        u"[ab]",
                                           u"(a|b)", u"\\*/", u"\\b", u"(?:b)*c", u"(?-s).*?b", u"a*?b"};
  TKivString p = Pick(ARng, CBefore);
  p += Pick(ARng, CBodies);
  p += Pick(ARng, CQuants);
  p += Pick(ARng, CAfter);
  if (ARng() % 4 == 0) p = u"(" + p + u")";
  return p;
}

// Loops over alternatives and groups that backtrack, before a code that may not follow.
TKivString RandomBacktrackingLoop(std::mt19937& ARng) {
  static const char16_t* const CBodies[] = {u"(a|b)",  u"(?:ab|a)", u"(x+x+)",  u"(a|b|ab)", u"(?:[ab]c?)",
                                            u"(a*b)", u"(?:a|b)",  u"((a)|b)", u"(?:x|xx)", u"(a(?:b|c)*)"};
  static const char16_t* const CQuants[] = {u"*", u"+", u"{1,}", u"*?", u"+?", u"{2,}", u"{0,3}", u"*"};
  static const char16_t* const CAfter[] = {u"c", u"$", u"b", u"(c|a)", u"", u"y", u"(?:a|b)*c", u"x\\b"};
  TKivString p = ARng() % 3 == 0 ? u"a" : u"";
  p += Pick(ARng, CBodies);
  p += Pick(ARng, CQuants);
  if (ARng() % 3 == 0) {
    p += Pick(ARng, CBodies);
    p += Pick(ARng, CQuants);
  }
  p += Pick(ARng, CAfter);
  return p;
}

}  // namespace

// A one-code loop runs its iterations without recursion: the same results and work units as
// the recursive run, on texts short enough for that to stay below the recursion limit.
TEST(RegexLoops, OneCodeLoopsRunAsTheRecursion) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  int fastRuns = 0;
  for (int round = 0; round < 1500; ++round) {
    const TKivString pattern = RandomOneCodeLoop(rng);
    const TKivString subject = RandomSubject(rng, u"abx/*\n\r1 ", 30);
    const TKivString mods = rng() % 4 == 0 ? u"i" : rng() % 4 == 0 ? u"m" : u"";
    const int64_t budgets[] = {KivRegDefaultStepLimit, 300, 1500};
    const int64_t budget = budgets[rng() % std::size(budgets)];
    const bool units = budget == KivRegDefaultStepLimit;
    const std::string fast = Trace(pattern, mods, subject, roAll, budget, units);
    const std::string plain = Trace(pattern, mods, subject, roAll & ~(roLoopRun | roLoopMemo), budget, units);
    ASSERT_EQ(fast, plain) << "seed " << seed << " round " << round << " pattern " << KivToUtf8(pattern) << " /"
                           << KivToUtf8(mods) << " on \"" << KivToUtf8(subject) << "\" budget " << budget;
    if (fast.find("error") == std::string::npos) ++fastRuns;
  }
  EXPECT_GT(fastRuns, 500);
}

// A loop that failed from a position fails there at once when the next attempt reaches it:
// the same results, need-more, work units and errors (budget and recursion limit) as the
// search that runs every failure again.
TEST(RegexLoops, RememberedFailuresChangeNoResult) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  for (int round = 0; round < 1500; ++round) {
    const TKivString pattern = RandomBacktrackingLoop(rng);
    const TKivString subject = RandomSubject(rng, u"abcxy", 40);
    const int64_t budgets[] = {KivRegDefaultStepLimit, 2000, 20000};
    const int64_t budget = budgets[rng() % std::size(budgets)];
    const bool units = budget == KivRegDefaultStepLimit;
    const std::string memo = Trace(pattern, u"", subject, roAll, budget, units);
    const std::string plain = Trace(pattern, u"", subject, roAll & ~roLoopMemo, budget, units);
    ASSERT_EQ(memo, plain) << "seed " << seed << " round " << round << " pattern " << KivToUtf8(pattern)
                           << " on \"" << KivToUtf8(subject) << "\" budget " << budget;
  }
  // Near the recursion limit: a failure remembered at one depth is run again where it would
  // go too deep, so the limit stops the same searches.
  for (const char16_t* pattern : {u"(a|b)*c", u"(a|b)*?c", u"(?:ab|a)*c", u"x(?:a|b)+$"}) {
    for (int len = 470; len <= 530; len += 3) {
      const TKivString subject = u"xb" + TKivString(static_cast<size_t>(len), u'a') + u"\nabc";
      std::string out[2];
      for (int k = 0; k < 2; ++k) {
        TKivRegExp re;
        re.SetLoopMemoThreshold(0);
        re.SetOptimizations(k == 0 ? roAll : roAll & ~roLoopMemo);
        re.SetExpression(pattern);
        re.SetInputText(subject);
        try {
          const bool ok = re.Exec();
          out[k] = std::to_string(ok) + " " + std::to_string(re.GetMatchPos(0)) + " " +
                   std::to_string(re.StepsUsed());
        } catch (const EKivRegExprError& e) {
          out[k] = "error " + std::to_string(e.ErrorCode);
        }
      }
      ASSERT_EQ(out[0], out[1]) << KivToUtf8(pattern) << " length " << len;
    }
  }
}

// The backtracking that made these searches quadratic or exponential now ends early: a/b runs
// that never reach the c, and the budget of an exponential search.
TEST(RegexLoops, BacktrackingSearchesEndQuickly) {
  std::mt19937 rng(7);
  TKivString text;
  for (int line = 0; line < 60; ++line) {
    for (int i = 0; i < 200; ++i) text.push_back(rng() % 2 ? u'a' : u'b');
    text += u"\n";
  }
  text += u"abc";
  TKivRegExp re;
  re.SetExpression(u"(a|b)*c");
  re.SetInputText(text);
  ASSERT_TRUE(re.Exec());
  EXPECT_EQ(re.GetMatchPos(0), static_cast<Integer>(text.size()) - 2);
  EXPECT_EQ(re.GetMatchLen(0), 3);
  EXPECT_EQ(re.GetMatchPos(1), static_cast<Integer>(text.size()) - 1);
  // The work units are those of the full search (each start walks its run again).
  const int64_t units = re.StepsUsed();
  re.SetOptimizations(roAll & ~roLoopMemo);
  ASSERT_TRUE(re.Exec());
  EXPECT_EQ(re.StepsUsed(), units);

  TKivRegExp slow;
  slow.SetExpression(u"(x+x+)+y");
  slow.SetInputText(std::u16string(40, u'x'));
  slow.SetStepLimit(100000000);
  ExpectRegexError([&] { slow.Exec(); }, 1006, u"TKivRegExpr(exec): Step Limit Exceeded");
}

// A comment of any length: lazy and greedy loops over '.' without s (and over a code in a
// group) need no recursion per code, so they never reach the recursion limit.
TEST(RegexLoops, LongRunsOfOneCodeLoopsMatch) {
  const TKivString body(200000, u'x');
  struct Case {
    const char16_t* Pattern;
    TKivString Subject;
    Integer Pos, Len;
  };
  const Case cases[] = {
      {u"(?-s)/\\*.*?\\*/", u"a /*" + body + u"*/ b */", 3, 200004},
      {u"(?-s)/\\*.*\\*/", u"a /*" + body + u"*/ b */", 3, 200009},
      {u"(?-s)/\\*.*?\\*/", u"/*" + body + u"\n*/", -1, -1},
      {u"(?:x)+y", body + u"y", 1, 200001},
      {u"\"(?:[^\"\\n])*\"", u"\"" + body + u"\"", 1, 200002},
      {u"(?:[xa])*?z", body + u"z", 1, 200001},
      {u"/\\*(?:[^\\n])*?\\*/", u"/*" + body + u"*/", 1, 200004},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(KivToUtf8(c.Pattern));
    TKivRegExp re;
    re.SetExpression(c.Pattern);
    re.SetInputText(c.Subject);
    try {
      EXPECT_EQ(re.Exec(), c.Pos > 0);
    } catch (const EKivRegExprError& e) {
      ADD_FAILURE() << e.what() << "\n" << KivToUtf8(re.Dump());
    }
    EXPECT_EQ(re.GetMatchPos(0), c.Pos);
    EXPECT_EQ(re.GetMatchLen(0), c.Len);
  }
  // Without the run, the recursion still stops at its limit.
  TKivRegExp plain;
  plain.SetOptimizations(roAll & ~roLoopRun);
  plain.SetExpression(u"/\\*(?:[^\\n])*?\\*/");
  plain.SetInputText(u"/*" + body + u"*/");
  ExpectRegexError([&] { plain.Exec(); }, 1005, {});
}

// The lazy repeat finds the literal after it by a scan: the same matches and work units as the
// test of each count through a small window (no direct access to the units).
TEST(RegexLoops, LazyLiteralScanAnswersAsEachCount) {
  class TWindowed : public TKivRegexSource {
   public:
    explicit TWindowed(const TKivString& AText)
        : TKivRegexSource(16, static_cast<Integer>(AText.size())), FText(AText) {}

   protected:
    void FillBuffer() override {
      for (Integer i = FBufferStart; i < FBufferEnd; ++i) FBuffer[i - FBufferStart] = FText[i];
    }

   private:
    TKivString FText;
  };
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  static const char16_t* const CPatterns[] = {u"/\\*.*?\\*/", u"a.*?b", u"x[^y]*?yy", u"\\d+?0", u"[ab]*?ba",
                                              u"(.*?)\\*",   u"a.{2,}?b"};
  for (int round = 0; round < 600; ++round) {
    const TKivString pattern = CPatterns[rng() % std::size(CPatterns)];
    const TKivString text = RandomSubject(rng, u"ab/*xy01 \n", 200);
    std::string out[2];
    for (int k = 0; k < 2; ++k) {
      TKivRegExp re;
      re.SetExpression(pattern);
      TWindowed windowed(text);
      if (k == 0)
        re.SetInputText(text);
      else
        re.SetInputSource(&windowed);
      const Integer base = k == 0 ? 1 : 0;
      for (bool ok = re.Exec(); ok; ok = re.ExecNext())
        out[k] += std::to_string(re.GetMatchPos(0) - base) + "," + std::to_string(re.GetMatchLen(0)) + " ";
    }
    ASSERT_EQ(out[0], out[1]) << "seed " << seed << " round " << round << " pattern " << KivToUtf8(pattern)
                              << " on \"" << KivToUtf8(text) << "\"";
  }
}

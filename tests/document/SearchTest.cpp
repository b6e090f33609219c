// Search and replace over a document: a table of find and replace runs in both paths (plain and
// regex), the replace callback, the bound, errors and the state's lifetime.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "DocumentTestSupport.h"
#include "KivSedDocument.h"

namespace {

using TPositions = std::vector<Integer>;

constexpr TKivEditSearchDirection kFwd = sdForward;
constexpr TKivEditSearchDirection kBack = sdBackward;

std::string Show(const TKivString& AText) {
  std::string s;
  for (Char c : AText) s += c == u'\r' ? "\\r" : c == u'\n' ? "\\n" : KivToUtf8(TKivString(1, c));
  return s;
}

// Every match of a run as (start, length) pairs flattened: start, length, start, length ...
TPositions FindAll(TKivEditDocument& ADoc, Integer AOffset, Integer AMaxCount, const TKivString& APattern,
                   TKivEditSearchOptions AOpts, TKivEditSearchDirection ADir) {
  TPositions out;
  TKivEditFindReplaceStatePtr st = ADoc.FindPatternFirst(AOffset, AMaxCount, APattern, AOpts, ADir);
  if (!st) return out;
  do {
    EXPECT_EQ(st->FoundSegment.Source, &ADoc.Chars());
    out.push_back(st->FoundSegment.Start);
    out.push_back(st->FoundSegment.Count);
    if (out.size() > 200) break;
  } while (ADoc.FindPatternNext(st.get()));
  ADoc.FindPatternClose(st);
  EXPECT_EQ(st, nullptr);
  return out;
}

TEST(Search, FindTable) {
  struct Case {
    const char* Name;
    TKivString Text;
    TKivString Pattern;
    TKivEditSearchOptions Opts;
    TKivEditSearchDirection Dir;
    Integer Offset, MaxCount;
    TPositions Expected;  // start, length pairs
  };
  const TKivEditSearchOptions re{soRegexp}, ww{soWholeWords}, reww{soRegexp, soWholeWords};
  const Case cases[] = {
      {"plain forward", u"xabab", u"ab", {}, kFwd, 0, -1, {1, 2, 3, 2}},
      {"plain backward from the end", u"xabab", u"ab", {}, kBack, 5, -1, {3, 2, 1, 2}},
      {"regex forward", u"xabab", u"ab", re, kFwd, 0, -1, {1, 2, 3, 2}},
      {"regex backward from the end", u"xabab", u"ab", re, kBack, 5, -1, {3, 2, 1, 2}},
      {"plain backward from inside a match", u"xabab", u"ab", {}, kBack, 4, -1, {1, 2}},
      {"regex backward from inside a match", u"xabab", u"ab", re, kBack, 4, -1, {1, 2}},
      {"overlapping plain forward continues after the match", u"aaaa", u"aa", {}, kFwd, 0, -1, {0, 2, 2, 2}},
      {"overlapping plain backward", u"aaaa", u"aa", {}, kBack, 4, -1, {2, 2, 0, 2}},
      {"case-insensitive by default", u"Ab aB", u"ab", {}, kFwd, 0, -1, {0, 2, 3, 2}},
      {"case-sensitive", u"Ab aB ab", u"ab", {soCaseSensitive}, kFwd, 0, -1, {6, 2}},
      {"regex case-insensitive by default", u"Ab aB", u"a[b]", re, kFwd, 0, -1, {0, 2, 3, 2}},
      {"regex case-sensitive", u"Ab ab", u"a[b]", {soRegexp, soCaseSensitive}, kFwd, 0, -1, {3, 2}},
      {"whole word rejects a word prefix", u"foo bar1", u"bar", ww, kFwd, 0, -1, {}},
      {"whole word between blank and end", u"foo bar", u"bar", ww, kFwd, 0, -1, {4, 3}},
      {"whole word before a separator", u"bar!", u"bar", ww, kFwd, 0, -1, {0, 3}},
      {"whole word skips embedded matches", u"rebar bar barn bar", u"bar", ww, kFwd, 0, -1, {6, 3, 15, 3}},
      {"whole word backward", u"rebar bar barn bar", u"bar", ww, kBack, 18, -1, {15, 3, 6, 3}},
      {"regex whole word prefix", u"foo bar1", u"b.r", reww, kFwd, 0, -1, {}},
      {"regex whole word", u"foo bar", u"b.r", reww, kFwd, 0, -1, {4, 3}},
      {"regex whole word before separator", u"bar!", u"b.r", reww, kFwd, 0, -1, {0, 3}},
      // The rejected match "a.a" at 2 overlaps the whole word at 0: backwards it is still found.
      {"whole word backward finds an overlapped word", u"a.a.ab", u"a.a", ww, kBack, 6, -1, {0, 3}},
      // After a match that is not a whole word the next try starts one character after its start.
      {"whole word starting inside a rejected match", u"10.0.0.1 0.0", u"0.0", ww, kFwd, 0, -1, {3, 3, 9, 3}},
      {"regex whole word starting inside a rejected match", u"10.0.0.1 0.0", u"0\\.0", reww, kFwd, 0, -1,
       {3, 3, 9, 3}},
      {"whole word with a blank inside", u"xa a a", u"a a", ww, kFwd, 0, -1, {3, 3}},
      {"regex whole word with a blank inside", u"xa a a", u"a a", reww, kFwd, 0, -1, {3, 3}},
      {"regex whole word backward with a blank inside", u"xa a a", u"a a", reww, kBack, 6, -1, {3, 3}},
      {"regex whole word backward starting inside a rejected match", u"10.0.0.1 0.0", u"0\\.0", reww, kBack, 12,
       -1, {9, 3, 3, 3}},
      {"whole word without separators", u"aaa aa", u"aa", ww, kFwd, 0, -1, {4, 2}},
      {"regex whole word without separators", u"aaa aa", u"aa", reww, kFwd, 0, -1, {4, 2}},
      {"regex whole word without separators backward", u"aaa aa", u"aa", reww, kBack, 6, -1, {4, 2}},
      {"count limit excludes a match ending past the bound", u"xxab", u"ab", {}, kFwd, 0, 3, {}},
      {"count limit includes a match ending at the bound", u"xxab", u"ab", {}, kFwd, 0, 4, {2, 2}},
      {"regex count limit", u"xxab", u"ab", re, kFwd, 0, 3, {}},
      {"backward count limit", u"abxab", u"ab", {}, kBack, 5, 3, {3, 2}},
      {"backward match must start at the bound", u"abxab", u"ab", {}, kBack, 5, 4, {3, 2}},
      {"regex backward count limit", u"abxab", u"ab", re, kBack, 5, 4, {3, 2}},
      {"empty regex steps one character, CR LF as one", u"a\r\nb", u"x*", re, kFwd, 0, -1,
       {0, 0, 1, 0, 3, 0, 4, 0}},
      {"empty regex backward", u"ab", u"x*", re, kBack, 2, -1, {2, 0, 1, 0, 0, 0}},
      {"empty regex backward steps over CR LF as one", u"a\r\nb", u"x*", re, kBack, 4, -1,
       {4, 0, 3, 0, 1, 0, 0, 0}},
      {"line ends backward", u"ab\r\ncd", u"$", re, kBack, 6, -1, {6, 0, 2, 0}},
      {"empty or CR backward", u"a\r\nb", u"\\r|x*", re, kBack, 4, -1, {4, 0, 3, 0, 1, 1, 0, 0}},
      {"line ends", u"ab\r\ncd", u"$", re, kFwd, 0, -1, {2, 0, 6, 0}},
      {"empty match at the end of the text on the first call", u"ab", u"$", re, kFwd, 2, -1, {2, 0}},
      {"empty match at the bound on the first call", u"abcd", u"x*", re, kFwd, 2, 0, {2, 0}},
      {"whole word over empty matches", u"ab cd", u"x*", reww, kFwd, 0, -1, {}},
      {"search from the end forwards", u"ab", u"b", {}, kFwd, 2, -1, {}},
      {"search from the start backwards", u"ab", u"a", {}, kBack, 0, -1, {}},
      {"empty pattern", u"ab", u"", {}, kFwd, 0, -1, {}},
      {"empty regex pattern", u"ab", u"", re, kFwd, 0, -1, {}},
      {"dot does not match a line break", u"a\nb", u"a.b", re, kFwd, 0, -1, {}},
      {"regex matching across lines", u"a\r\nb", u"a\\r\\nb", re, kFwd, 0, -1, {0, 4}},
      {"pattern longer than the text", u"ab", u"abc", {}, kFwd, 0, -1, {}},
      {"pattern longer than the text backwards", u"ab", u"abc", {}, kBack, 2, -1, {}},
  };
  for (const Case& c : cases) {
    TKivEditDocument doc;
    doc.Insert(0, c.Text);
    EXPECT_EQ(FindAll(doc, c.Offset, c.MaxCount, c.Pattern, c.Opts, c.Dir), c.Expected) << c.Name;
    EXPECT_EQ(doc.Text(), c.Text) << c.Name;
  }
}

TEST(Search, ReplaceAllTable) {
  struct Case {
    const char* Name;
    TKivString Text;
    Integer Offset, MaxCount;
    TKivString Pattern, Replacement;
    TKivEditSearchOptions Opts;
    TKivEditSearchDirection Dir;
    TKivString Expected;
  };
  const TKivEditSearchOptions re{soRegexp}, sub{soRegexp, soRegexpSubstitute};
  const Case cases[] = {
      {"growing replacement ends", u"aaa", 0, -1, u"a", u"aa", {}, kFwd, u"aaaaaa"},
      {"growing replacement ends, regex", u"aaa", 0, -1, u"a", u"aa", re, kFwd, u"aaaaaa"},
      {"backward to the start", u"abca", 4, -1, u"a", u"zz", {}, kBack, u"zzbczz"},
      {"backward to the start, regex", u"abca", 4, -1, u"a", u"zz", re, kBack, u"zzbczz"},
      {"shrinking replacement", u"a--b--c", 0, -1, u"--", u"-", {}, kFwd, u"a-b-c"},
      {"deleting", u"a--b--c", 0, -1, u"-", u"", {}, kFwd, u"abc"},
      {"substitution", u"a1 b22", 0, -1, u"(\\d+)", u"[$1]", sub, kFwd, u"a[1] b[22]"},
      {"without substitution", u"a1 b22", 0, -1, u"(\\d+)", u"[$1]", re, kFwd, u"a[$1] b[$1]"},
      {"backward substitution", u"a1 b22", 6, -1, u"(\\d+)", u"<$1>", sub, kBack, u"a<1> b<22>"},
      {"bounded line ends", u"ab\ncd\nef", 0, 5, u"$", u";", re, kFwd, u"ab;\ncd;\nef"},
      {"bounded line ends, one line", u"ab\ncd\nef", 0, 2, u"$", u";", re, kFwd, u"ab;\ncd\nef"},
      {"every line end", u"ab\r\ncd", 0, -1, u"$", u";", re, kFwd, u"ab;\r\ncd;"},
      {"empty matches", u"ab", 0, -1, u"x*", u"-", re, kFwd, u"-a-b-"},
      {"bound follows the replacements", u"aaaa", 0, 2, u"a", u"bbb", {}, kFwd, u"bbbbbbaa"},
      {"backward bound", u"aaaa", 4, 2, u"a", u"bbb", {}, kBack, u"aabbbbbb"},
      {"from an offset", u"a a a", 2, -1, u"a", u"b", {}, kFwd, u"a b b"},
      {"whole words", u"int x; uint y; int", 0, -1, u"int", u"long", {soWholeWords}, kFwd,
       u"long x; uint y; long"},
      {"CR LF removed by a regex", u"a\r\nb\r\nc", 0, -1, u"\\r\\n", u" ", re, kFwd, u"a b c"},
  };
  for (const Case& c : cases) {
    TKivEditDocument doc;
    doc.Insert(0, c.Text);
    doc.ClearUndo();
    TKivEditFindReplaceStatePtr st = doc.ReplacePatternAll(c.Offset, c.MaxCount, c.Pattern, c.Replacement, c.Opts, c.Dir);
    EXPECT_EQ(Show(doc.Text()), Show(c.Expected)) << c.Name;
    EXPECT_NE(st, nullptr) << c.Name;
    if (st) {
      EXPECT_EQ(st->LastReplaceAction, raReplaceAuto) << c.Name;
    }
    EXPECT_FALSE(doc.InsideCompoundEdit()) << c.Name;
    doc.ReplacePatternClose(st);
    doc.Undo();
    EXPECT_EQ(Show(doc.Text()), Show(c.Text)) << c.Name << ": one undo restores the text";
    EXPECT_FALSE(doc.CanUndo()) << c.Name;
  }
}

// Replace-all runs of whole words and of empty matches: the text, and one undo step that brings
// back the text and the markers.
TEST(Search, ReplaceAllUndoRestoresTextAndMarkers) {
  struct Case {
    const char* Name;
    TKivString Text;
    TKivString Pattern, Replacement;
    TKivEditSearchOptions Opts;
    TKivEditSearchDirection Dir;
    TKivString Expected;
  };
  const TKivEditSearchOptions re{soRegexp}, ww{soWholeWords}, reww{soRegexp, soWholeWords};
  const Case cases[] = {
      {"whole word inside a rejected match", u"10.0.0.1 0.0\nx", u"0.0", u"Z", ww, kFwd, u"10.Z.1 Z\nx"},
      {"regex whole word inside a rejected match", u"10.0.0.1 0.0\nx", u"0\\.0", u"Z", reww, kFwd,
       u"10.Z.1 Z\nx"},
      {"regex whole word backward", u"10.0.0.1 0.0\nx", u"0\\.0", u"Z", reww, kBack, u"10.Z.1 Z\nx"},
      {"whole word with a blank inside", u"xa a a\nx", u"a a", u"Z", ww, kFwd, u"xa Z\nx"},
      {"regex whole word with a blank inside, backward", u"xa a a\nx", u"a a", u"Z", reww, kBack, u"xa Z\nx"},
      {"empty matches forward", u"a\r\nb", u"x*", u"-", re, kFwd, u"-a-\r\n-b-"},
      {"empty matches backward", u"a\r\nb", u"x*", u"-", re, kBack, u"-a-\r\n-b-"},
      {"empty matches backward over CR LF lines", u"\r\n\r\n", u"x*", u"-", re, kBack, u"-\r\n-\r\n-"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TKivEditDocument doc;
    doc.Insert(0, c.Text);
    doc.ClearUndo();
    auto book = doc.Bookmarks()->CreateLineMark(1);
    auto bp = doc.Breakpoints()->CreateLineMark(1);
    auto plain = doc.CreateCustomMarkers(false, false, false)->CreateMark(doc.CharsCount());
    const Integer from = c.Dir == kBack ? doc.CharsCount() : 0;
    TKivEditFindReplaceStatePtr st = doc.ReplacePatternAll(from, -1, c.Pattern, c.Replacement, c.Opts, c.Dir);
    EXPECT_NE(st, nullptr);
    doc.ReplacePatternClose(st);
    EXPECT_EQ(Show(doc.Text()), Show(c.Expected));
    doc.Undo();
    EXPECT_EQ(Show(doc.Text()), Show(c.Text));
    EXPECT_FALSE(doc.CanUndo());
    ASSERT_TRUE(book->IsValid() && bp->IsValid() && plain->IsValid());
    EXPECT_EQ(book->Line(), 1);
    EXPECT_EQ(bp->Line(), 1);
    EXPECT_EQ(plain->Pos(), doc.CharsCount());
  }
}

// A backward regex run goes on over the text as it is now when the text changed between steps.
TEST(Search, BackwardRegexRunSeesEditsBetweenSteps) {
  TKivString text;
  for (int i = 0; i < 400; ++i) text += u"ab ....... ";
  for (bool beforeThePoint : {true, false}) {
    SCOPED_TRACE(beforeThePoint ? "edit before the search point" : "edit after it");
    TKivEditDocument doc;
    doc.Insert(0, text);
    TKivEditFindReplaceStatePtr st = doc.FindPatternFirst(doc.CharsCount(), u"ab", {soRegexp}, sdBackward);
    ASSERT_NE(st, nullptr);
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(doc.FindPatternNext(st.get()));
    // The second match moves from 11 to 12 (or, after the point, nothing changes before it).
    const Integer at = beforeThePoint ? 11 : st->FoundSegment.Start + 2;
    doc.Replace(at, 3, u"xab");
    std::vector<Integer> found;
    while (doc.FindPatternNext(st.get())) found.push_back(st->FoundSegment.Start);
    ASSERT_EQ(Integer(found.size()), 396);
    EXPECT_EQ(found[394], beforeThePoint ? 12 : 11);
    EXPECT_EQ(found[395], 0);
    doc.FindPatternClose(st);
  }
}

TEST(Search, ReplaceAllWithoutMatchLeavesNoUndoStep) {
  TKivEditDocument doc;
  doc.Insert(0, u"abc");
  doc.ClearUndo();
  EXPECT_EQ(doc.ReplacePatternAll(u"x", u"y"), nullptr);
  EXPECT_FALSE(doc.CanUndo());
  EXPECT_FALSE(doc.InsideCompoundEdit());
  // Without an offset a backward run covers the whole text.
  EXPECT_NE(doc.ReplacePatternAll(u"b", u"B", {soCaseSensitive}, kBack), nullptr);
  EXPECT_EQ(doc.Text(), u"aBc");
}

TEST(Search, ReplaceCallbackActions) {
  struct Case {
    const char* Name;
    std::vector<TKivEditReplaceAction> Actions;  // per match; raReplaceAuto afterwards
    TKivString Expected;
    Integer Calls;
    bool Result;
  };
  const Case cases[] = {
      {"all replaced", {}, u"b-b-b", 3, true},
      {"cancel on the second match replaces only the first", {raReplaceAuto, raCancel}, u"b-a-a", 2, true},
      {"cancel on the first match", {raCancel}, u"a-a-a", 1, false},
      {"go next skips", {raGoNext, raReplaceAuto, raGoNext}, u"a-b-a", 3, true},
      {"replaced by the callback", {raReplacedByCallback}, u"XYZ-b-b", 3, true},
  };
  for (const Case& c : cases) {
    TKivEditDocument doc;
    doc.Insert(0, u"a-a-a");
    Integer calls = 0;
    auto callback = [&](TKivEditDocument& ASender, TKivEditFindReplaceState& AState, Integer& ACount,
                        TKivEditReplaceAction& AAction) {
      EXPECT_EQ(&ASender, &doc);
      EXPECT_EQ(AAction, raReplaceAuto);
      EXPECT_EQ(ACount, 1);
      EXPECT_EQ(SegmentToString(AState.FoundSegment), u"a");
      const size_t i = static_cast<size_t>(calls++);
      AAction = i < c.Actions.size() ? c.Actions[i] : raReplaceAuto;
      if (AAction == raReplacedByCallback) {
        ASender.Replace(AState.FoundSegment.Start, 1, u"XYZ");
        ACount = 3;
      }
    };
    doc.ClearUndo();
    TKivEditFindReplaceStatePtr st = doc.ReplacePatternAll(0, -1, u"a", u"b", {}, kFwd, callback);
    EXPECT_EQ(doc.Text(), c.Expected) << c.Name;
    EXPECT_EQ(calls, c.Calls) << c.Name;
    EXPECT_EQ(st != nullptr, c.Result) << c.Name;
    EXPECT_FALSE(doc.InsideCompoundEdit()) << c.Name;
    if (doc.CanUndo()) doc.Undo();
    EXPECT_EQ(doc.Text(), u"a-a-a") << c.Name;
    EXPECT_FALSE(doc.CanUndo()) << c.Name;
  }
}

TEST(Search, ReplaceStepsOneByOne) {
  TKivEditDocument doc;
  doc.Insert(0, u"a1 a2 a3");
  doc.ClearUndo();
  TKivEditFindReplaceStatePtr st =
      doc.ReplacePatternFirst(0, u"a(\\d)", u"<$1>", {soRegexp, soRegexpSubstitute});
  ASSERT_NE(st, nullptr);
  EXPECT_EQ(doc.Text(), u"<1> a2 a3");
  EXPECT_EQ(st->FoundSegment.Start, 0);
  EXPECT_EQ(st->FoundSegment.Count, 3);
  EXPECT_EQ(st->LastReplaceAction, raReplaceAuto);
  EXPECT_TRUE(doc.ReplacePatternNext(st.get()));
  EXPECT_EQ(doc.Text(), u"<1> <2> a3");
  // A restart from the end of the text finds nothing more; from 0 it finds the last one.
  EXPECT_FALSE(doc.ReplacePatternNext(doc.CharsCount(), st.get()));
  EXPECT_TRUE(doc.ReplacePatternNext(0, st.get()));
  EXPECT_EQ(doc.Text(), u"<1> <2> <3>");
  EXPECT_FALSE(doc.ReplacePatternNext(st.get()));
  doc.ReplacePatternClose(st);
  // Each step is its own undo step.
  doc.Undo();
  EXPECT_EQ(doc.Text(), u"<1> <2> a3");
  EXPECT_FALSE(doc.ReplacePatternNext(nullptr));
}

TEST(Search, FindNextRestartsAtANewStart) {
  TKivEditDocument doc;
  doc.Insert(0, u"ab ab ab");
  TKivEditFindReplaceStatePtr st = doc.FindPatternFirst(0, u"ab");
  ASSERT_NE(st, nullptr);
  EXPECT_EQ(st->Start, 0);
  EXPECT_TRUE(doc.FindPatternNext(5, st.get()));
  EXPECT_EQ(st->FoundSegment.Start, 6);
  EXPECT_TRUE(doc.FindPatternNext(-100, st.get()));  // clamped to 0
  EXPECT_EQ(st->FoundSegment.Start, 0);
  EXPECT_FALSE(doc.FindPatternNext(1000, st.get()));  // clamped to the end
  EXPECT_EQ(st->FoundSegment.Start, 0);                // a failed step leaves the state
  EXPECT_FALSE(doc.FindPatternNext(nullptr));
}

TEST(Search, BoundMarkerFollowsEdits) {
  TKivEditDocument doc;
  doc.Insert(0, u"ab ab ab");
  TKivEditFindReplaceStatePtr st = doc.FindPatternFirst(0, 5, u"ab");
  ASSERT_NE(st, nullptr);
  EXPECT_EQ(st->EndM->Pos(), 5);
  doc.Insert(0, u"xx");
  EXPECT_EQ(st->EndM->Pos(), 7);
  EXPECT_TRUE(doc.FindPatternNext(2, st.get()));
  EXPECT_EQ(st->FoundSegment.Start, 2);
  EXPECT_TRUE(doc.FindPatternNext(st.get()));
  EXPECT_EQ(st->FoundSegment.Start, 5);
  EXPECT_FALSE(doc.FindPatternNext(st.get()));
  // Text deleted around the bound: it keeps its place.
  doc.Delete(4, 5);
  EXPECT_EQ(st->EndM->Pos(), 4);
  EXPECT_TRUE(st->EndM->IsValid());
}

TEST(Search, BadArgumentsChangeNothing) {
  for (const TKivEditSearchOptions opts : {TKivEditSearchOptions{}, TKivEditSearchOptions{soRegexp}}) {
    TKivEditDocument doc;
    doc.Insert(0, u"abc");
    doc.ClearUndo();
    doc.SetModified(false);
    auto expectIndexError = [&](auto&& AFn, const char* AMessage) {
      try {
        AFn();
        ADD_FAILURE() << "no error: " << AMessage;
      } catch (const EInvalidArgument& e) {
        EXPECT_STREQ(e.what(), AMessage);
      }
    };
    expectIndexError([&] { doc.FindPatternFirst(4, u"a", opts); }, "Index out of bounds: 4");
    expectIndexError([&] { doc.FindPatternFirst(-1, u"a", opts, kBack); }, "Index out of bounds: -1");
    expectIndexError([&] { doc.ReplacePatternFirst(4, u"a", u"b", opts); }, "Index out of bounds: 4");
    expectIndexError([&] { doc.ReplacePatternAll(-1, -1, u"a", u"b", opts); }, "Index out of bounds: -1");
    expectIndexError([&] { doc.FindPatternFirst(0, -2, u"a", opts); }, "Invalid Count value");
    EXPECT_EQ(doc.Text(), u"abc");
    EXPECT_FALSE(doc.CanUndo());
    EXPECT_FALSE(doc.Modified());
  }
}

TEST(Search, BadPatternRaisesItsCompileError) {
  TKivEditDocument doc;
  doc.Insert(0, u"a(b");
  doc.ClearUndo();
  EXPECT_THROW(doc.FindPatternFirst(0, u"a(", {soRegexp}), EKivRegExprError);
  EXPECT_THROW(doc.ReplacePatternAll(u"(", u"x", {soRegexp}), EKivRegExprError);
  EXPECT_FALSE(doc.InsideCompoundEdit());
  EXPECT_FALSE(doc.CanUndo());
  // The same text is a plain pattern without soRegexp.
  EXPECT_NE(doc.FindPatternFirst(0, u"a("), nullptr);
}

TEST(Search, ReadOnlyDocumentRefusesReplacing) {
  TKivEditDocument doc;
  doc.Insert(0, u"aaa");
  TKivEditFindReplaceStatePtr st = doc.FindPatternFirst(0, u"a");
  doc.SetReadOnly(true);
  EXPECT_EQ(DocErrorOf([&] { doc.ReplacePatternAll(u"a", u"b"); }), "Document is read-only");
  EXPECT_EQ(DocErrorOf([&] { doc.ReplacePatternFirst(0, u"a", u"b", {}); }), "Document is read-only");
  EXPECT_EQ(DocErrorOf([&] { doc.ReplacePatternNext(st.get()); }), "Document is read-only");
  EXPECT_EQ(st->FoundSegment.Start, 0);
  EXPECT_EQ(doc.Text(), u"aaa");
  // Finding is allowed.
  EXPECT_TRUE(doc.FindPatternNext(st.get()));
}

TEST(Search, FailingReplacementLeavesTheState) {
  TKivEditDocument doc;
  doc.Insert(0, u"a a a");
  doc.ClearUndo();
  TKivEditFindReplaceStatePtr st = doc.ReplacePatternFirst(0, u"a", u"b", {});
  ASSERT_NE(st, nullptr);
  const TKivSegment before = st->FoundSegment;
  st->OnReplace = [](TKivEditDocument&, TKivEditFindReplaceState&, Integer&, TKivEditReplaceAction&) {
    throw EKivEditDocError(u"callback failed");
  };
  EXPECT_EQ(DocErrorOf([&] { doc.ReplacePatternNext(st.get()); }), "callback failed");
  EXPECT_EQ(st->FoundSegment, before);
  EXPECT_EQ(doc.Text(), u"b a a");
}

TEST(Search, ReplaceAllClosesItsUndoStepWhenTheCallbackRaises) {
  TKivEditDocument doc;
  doc.Insert(0, u"a a a");
  doc.ClearUndo();
  Integer calls = 0;
  auto callback = [&](TKivEditDocument&, TKivEditFindReplaceState&, Integer&, TKivEditReplaceAction&) {
    if (++calls == 3) throw EKivEditDocError(u"stop");
  };
  EXPECT_EQ(DocErrorOf([&] { doc.ReplacePatternAll(0, -1, u"a", u"b", {}, kFwd, callback); }), "stop");
  EXPECT_FALSE(doc.InsideCompoundEdit());
  EXPECT_EQ(doc.Text(), u"b b a");
  doc.Undo();
  EXPECT_EQ(doc.Text(), u"a a a");
  EXPECT_FALSE(doc.CanUndo());
}

// A search over a run of a's the pattern backtracks over exponentially.
TKivString BacktrackingText() {
  return u"b" + TKivString(24, u'a') + u"cb";
}

TEST(Search, RegexWorkBudgetLeavesDocumentAndStateUnchanged) {
  TKivEditDocument doc;
  doc.Insert(0, BacktrackingText());
  doc.ClearUndo();
  const TKivString text = doc.Text();
  TKivEditFindReplaceStatePtr st = doc.FindPatternFirst(0, u"(a|aa)*b", {soRegexp});
  ASSERT_NE(st, nullptr);
  EXPECT_EQ(st->FoundSegment.Start, 0);
  // Searches run under the engine's default budget; a smaller one shows what exceeding it does.
  EXPECT_EQ(st->FoundRegex->StepLimit(), KivRegDefaultStepLimit);
  st->FoundRegex->SetStepLimit(10000);
  try {
    doc.FindPatternNext(st.get());
    ADD_FAILURE() << "no error";
  } catch (const EKivRegExprError& e) {
    EXPECT_EQ(e.ErrorCode, reeStepLimit);
  }
  EXPECT_EQ(st->FoundSegment.Start, 0);
  EXPECT_EQ(st->FoundSegment.Count, 1);
  EXPECT_EQ(doc.Text(), text);
  // Without the limit the run goes on.
  st->FoundRegex->SetStepLimit(-1);
  EXPECT_TRUE(doc.FindPatternNext(st.get()));
  EXPECT_EQ(st->FoundSegment.Start, 26);
}

TEST(Search, ReplaceAllMeetingTheWorkBudgetKeepsOneUndoStep) {
  TKivEditDocument doc;
  doc.Insert(0, BacktrackingText());
  doc.ClearUndo();
  const TKivString text = doc.Text();
  auto callback = [](TKivEditDocument&, TKivEditFindReplaceState& AState, Integer&, TKivEditReplaceAction&) {
    AState.FoundRegex->SetStepLimit(10000);
  };
  try {
    doc.ReplacePatternAll(0, -1, u"(a|aa)*b", u"X", {soRegexp}, kFwd, callback);
    ADD_FAILURE() << "no error";
  } catch (const EKivRegExprError& e) {
    EXPECT_EQ(e.ErrorCode, reeStepLimit);
  }
  EXPECT_FALSE(doc.InsideCompoundEdit());
  EXPECT_EQ(doc.Text(), u"X" + text.substr(1));
  doc.Undo();
  EXPECT_EQ(doc.Text(), text);
  EXPECT_FALSE(doc.CanUndo());
}

TEST(Search, StateOfAnotherDocumentIsRefused) {
  TKivEditDocument a, b;
  a.Insert(0, u"xx");
  b.Insert(0, u"xx");
  TKivEditFindReplaceStatePtr st = a.FindPatternFirst(0, u"x");
  ASSERT_NE(st, nullptr);
  EXPECT_EQ(DocErrorOf([&] { b.FindPatternNext(st.get()); }), "The search state does not belong to this document");
  EXPECT_EQ(DocErrorOf([&] { b.ReplacePatternNext(st.get()); }),
            "The search state does not belong to this document");
  EXPECT_EQ(b.Text(), u"xx");
  EXPECT_TRUE(a.FindPatternNext(st.get()));
}

TEST(Search, StateMayOutliveItsDocument) {
  auto doc = std::make_unique<TKivEditDocument>();
  doc->Insert(0, u"ab ab");
  TKivEditFindReplaceStatePtr find = doc->FindPatternFirst(0, u"ab", {soRegexp});
  TKivEditFindReplaceStatePtr replace = doc->ReplacePatternFirst(0, u"ab", u"x", {});
  ASSERT_NE(find, nullptr);
  ASSERT_NE(replace, nullptr);
  IKivMarkRef bound = find->EndM;
  doc.reset();
  EXPECT_FALSE(bound->IsValid());
  find.reset();
  replace.reset();
}

TEST(Search, ClosingDetachesTheBoundMarkers) {
  TKivEditDocument doc;
  doc.Insert(0, u"ab ab");
  TKivEditFindReplaceStatePtr st = doc.FindPatternFirst(0, u"ab");
  ASSERT_NE(st, nullptr);
  IKivMarkRef bound = st->EndM;
  IKivMarkersRef markers = bound->Collection();
  ASSERT_NE(markers, nullptr);
  doc.FindPatternClose(st);
  EXPECT_FALSE(bound->IsValid());
  EXPECT_EQ(DocErrorOf([&] { markers->Count(); }), "This markers collection was deleted from Document. Can't use it.");
}

TEST(Search, RegexSourceFollowsTheSequence) {
  TKivSeqFromString seq(u"abc");
  TKivRegexCharSeqSource src(seq);
  EXPECT_EQ(src.Count, 3);
  EXPECT_EQ(src.BaseIndex, 0);
  EXPECT_EQ(src.GetCode(2), u'c');
  seq.Reset(TKivString(1000, u'x') + u"y");
  src.ResetBuffer();
  EXPECT_EQ(src.Count, 1001);
  EXPECT_EQ(src.IdxEnd(), 1001);
  EXPECT_EQ(src.GetCode(1000), u'y');
  EXPECT_EQ(src.GetCode(0), u'x');
  TKivRegExp re;
  re.SetExpression(u"x+y");
  re.SetInputSource(&src);
  ASSERT_TRUE(re.Exec(0));
  EXPECT_EQ(re.GetMatchLen(0), 1001);
}

}  // namespace

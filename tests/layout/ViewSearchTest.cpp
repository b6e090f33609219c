// The view's search and replace over the document's engine: start positions, the question at the
// end of the text, CR LF widening, confirmed and unconfirmed replacements, replace-all bounds and
// undo, the errors, the placement of a confirmation, and incremental search driven by keys.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "../KivTestAccess.h"
#include "KivSedViewCore.h"
#include "LayoutFakes.h"
#include "RecordingViewHost.h"
#include "internal/EditViewSearch.h"
#include "internal/ScreenCache.h"

namespace {

// A host that records every question and answers from a queue (empty: as closing the box).
class AskingHost : public RecordingHost {
 public:
  struct TAsk {
    std::string Text;
    TKivAskButtons Buttons;
    bool Placed;
    TKivAskPlace Place;
  };
  TKivAskButton Ask(const TKivString& AText, TKivAskButtons AButtons, const TKivAskPlace* APlace) override {
    Asks.push_back({KivToUtf8(AText), AButtons, APlace != nullptr, APlace ? *APlace : TKivAskPlace{}});
    if (OnAsk) OnAsk();
    if (Answers.empty()) return (AButtons & abCancel) ? abCancel : abNo;
    const TKivAskButton a = Answers.front();
    Answers.pop_front();
    return a;
  }
  std::vector<TAsk> Asks;
  std::deque<TKivAskButton> Answers;
  std::function<void()> OnAsk;
};

const std::string kEndQ = "End of document reached. Continue search/replace from start?";
const std::string kStartQ = "Start of document reached. Continue search/replace from end?";

TKivEditSearchArguments Args(TKivString ASearch, TKivString AReplace = u"", TKivEditSearchOptions AOpts = {},
                             TKivEditSearchDirection ADir = sdForward, TKivEditViewSearchStart AStart = ssCursor) {
  return {std::move(ASearch), std::move(AReplace), AOpts, ADir, AStart};
}

struct SearchFixture : ::testing::Test {
  void Load(TKivStringView AText, Integer ACursor = 0) {
    Doc.Lines().SetText(TKivString(AText));
    Doc.ClearUndo();
    View.SetDocument(&Doc);
    View.HostResized();
    View.SetCursorOffset(ACursor);
  }
  std::string Text() { return KivToUtf8(Doc.Text()); }
  Integer Anchor() { return View.SelectionOffsetStart(); }
  Integer SelEnd() { return View.SelectionOffsetEnd(); }
  TViewSearch& Search() { return TKivTestAccess::ViewSearch(View); }
  void UndoOnce() {
    TKivDocUndoInfoPtr old;
    Doc.Internal().Undo(View.AuthorID(), nullptr, old);
  }

  TKivEditDocument Doc;
  AskingHost Host;
  TKivEditViewCore View{Host};
};

// ---- search ----

TEST_F(SearchFixture, NothingFoundFromTheStartAsksNothing) {
  Load(u"abc");
  int notFound = 0;
  View.OnNotFound = [&](TKivEditViewCore&, TKivEditNotFoundAction&) { ++notFound; };
  EXPECT_FALSE(View.SearchFirst(Args(u"zz")));
  EXPECT_EQ(notFound, 0);
  EXPECT_TRUE(Host.Asks.empty());
  EXPECT_EQ(View.CursorOffset(), 0);
  EXPECT_EQ(View.SearchState(), stInSearch);
}

TEST_F(SearchFixture, ForwardSelectsWithTheCursorAtTheEndThenWrapsOnce) {
  Load(u"foo bar foo", 5);
  ASSERT_TRUE(View.SearchFirst(Args(u"foo")));
  EXPECT_EQ(Anchor(), 8);
  EXPECT_EQ(SelEnd(), 11);
  EXPECT_EQ(View.CursorOffset(), 11);
  Host.Answers = {abYes};
  ASSERT_TRUE(View.SearchNext());
  ASSERT_EQ(Host.Asks.size(), 1u);
  EXPECT_EQ(Host.Asks[0].Text, kEndQ);
  EXPECT_EQ(Host.Asks[0].Buttons, abYes | abNo);
  EXPECT_FALSE(Host.Asks[0].Placed);
  EXPECT_EQ(Anchor(), 0);
  EXPECT_EQ(SelEnd(), 3);
  EXPECT_EQ(View.CursorOffset(), 3);
}

TEST_F(SearchFixture, OnNotFoundAnswersInsteadOfTheHost) {
  Load(u"foo bar foo", 9);
  std::vector<TKivEditNotFoundAction> seen;
  View.OnNotFound = [&](TKivEditViewCore&, TKivEditNotFoundAction& A) {
    seen.push_back(A);
    A = saGoStartEnd;
  };
  ASSERT_TRUE(View.SearchFirst(Args(u"foo")));
  EXPECT_EQ(seen, std::vector<TKivEditNotFoundAction>{saCancel});
  EXPECT_TRUE(Host.Asks.empty());
  EXPECT_EQ(View.CursorOffset(), 3);
}

TEST_F(SearchFixture, BackwardPutsTheCursorAtTheMatchStartAndAsksAboutTheStart) {
  Load(u"foo bar foo", 11);
  ASSERT_TRUE(View.SearchFirst(Args(u"foo", u"", {}, sdBackward)));
  EXPECT_EQ(View.CursorOffset(), 8);
  EXPECT_EQ(Anchor(), 11);
  ASSERT_TRUE(View.SearchNext());
  EXPECT_EQ(View.CursorOffset(), 0);
  EXPECT_TRUE(Host.Asks.empty());
  // Nothing before 0: the search did not begin at the text's end, so it asks about going on there.
  EXPECT_FALSE(View.SearchNext());
  ASSERT_EQ(Host.Asks.size(), 1u);
  EXPECT_EQ(Host.Asks[0].Text, kStartQ);
  EXPECT_EQ(View.CursorOffset(), 0);
  EXPECT_EQ(Anchor(), 3);
  // From the text's end a backward search has seen everything: no question.
  View.SetCursorOffset(11);
  EXPECT_FALSE(View.SearchFirst(Args(u"zz", u"", {}, sdBackward)));
  EXPECT_EQ(Host.Asks.size(), 1u);
}

TEST_F(SearchFixture, AfterYesAFailingRunAsksNoMoreAndTheCursorReturns) {
  Load(u"foo bar", 5);
  Host.Answers = {abYes, abYes};
  EXPECT_FALSE(View.SearchFirst(Args(u"zz")));
  EXPECT_EQ(Host.Asks.size(), 1u);
  EXPECT_EQ(View.CursorOffset(), 5);
  EXPECT_FALSE(View.SelAvail());
}

TEST_F(SearchFixture, TextStartEndStartsAtTheBoundary) {
  Load(u"ab ab ab", 4);
  ASSERT_TRUE(View.SearchFirst(Args(u"ab", u"", {}, sdForward, ssTextStartEnd)));
  EXPECT_EQ(View.CursorOffset(), 2);
  ASSERT_TRUE(View.SearchFirst(Args(u"ab", u"", {}, sdBackward, ssTextStartEnd)));
  EXPECT_EQ(View.CursorOffset(), 6);
  EXPECT_TRUE(Host.Asks.empty());
}

TEST_F(SearchFixture, AMatchInsideCrLfIsWidened) {
  Load(u"a\r\nb");
  ASSERT_TRUE(View.SearchFirst(Args(u"\\n", u"", {soRegexp})));
  EXPECT_EQ(std::min(Anchor(), SelEnd()), 1);
  EXPECT_EQ(std::max(Anchor(), SelEnd()), 3);
  Load(u"a\r\nb");
  ASSERT_TRUE(View.SearchFirst(Args(u"a\\r", u"", {soRegexp})));
  EXPECT_EQ(Anchor(), 0);
  EXPECT_EQ(SelEnd(), 3);
}

// ---- replace ----

TEST_F(SearchFixture, ReplaceAllIsOneUndoStep) {
  Load(u"a.a.a");
  ASSERT_TRUE(View.ReplaceAll(Args(u".", u"-"), rbAllText));
  EXPECT_EQ(Text(), "a-a-a");
  EXPECT_EQ(View.SearchLastNumReplacements(), 2);
  EXPECT_EQ(View.CursorOffset(), 4);
  EXPECT_FALSE(View.SelAvail());
  EXPECT_EQ(View.SearchState(), stInReplace);
  UndoOnce();
  EXPECT_EQ(Text(), "a.a.a");
}

TEST_F(SearchFixture, ReplaceAllRepaintsOnceUnlessEachOccurrenceIsShown) {
  TKivString text;
  for (int i = 0; i < 8; ++i) text += u"a.a\r\n";
  Load(text);
  Host.ResetCounts();
  ASSERT_TRUE(View.ReplaceAll(Args(u".", u"-"), rbAllText));
  EXPECT_EQ(View.SearchLastNumReplacements(), 8);
  const Integer frozen = Host.Repaints();
  EXPECT_LE(frozen, 2);
  Load(text);
  Host.ResetCounts();
  Host.Answers.assign(8, abYes);
  ASSERT_TRUE(View.ReplaceAll(Args(u".", u"-", {soConfirmReplace}), rbAllText));
  EXPECT_EQ(View.SearchLastNumReplacements(), 8);
  EXPECT_GT(Host.Repaints(), frozen + 4);
}

TEST_F(SearchFixture, ReplaceAllBounds) {
  struct Case {
    TKivEditSearchDirection Dir;
    TKivEditViewSearchStart Start;
    const char* Result;
  };
  const Case cases[] = {{sdForward, ssCursor, "x.x.x-x"},
                        {sdBackward, ssCursor, "x-x-x.x"},
                        {sdForward, ssTextStartEnd, "x-x-x-x"},
                        {sdBackward, ssTextStartEnd, "x-x-x-x"}};
  for (const Case& c : cases) {
    Load(u"x.x.x.x", 4);
    View.ReplaceAll(Args(u".", u"-", {}, c.Dir, c.Start), rbAllText);
    EXPECT_EQ(Text(), c.Result) << int(c.Dir) << int(c.Start);
  }
}

TEST_F(SearchFixture, ReplaceAllInTheSelectionGoesForward) {
  Load(u"x.x.x.x");
  View.SetSelectionOffsets(2, 5);
  ASSERT_TRUE(View.ReplaceAll(Args(u".", u"-", {}, sdBackward), rbSelection));
  EXPECT_EQ(Text(), "x.x-x.x");
  EXPECT_EQ(View.SearchLastArgs().Direction, sdForward);
  EXPECT_EQ(View.SearchLastNumReplacements(), 1);
}

TEST_F(SearchFixture, ReplaceAllInABlockSelectionTakesTheStreamBetweenItsCorners) {
  Load(u"a.b.c\r\nd.e.f\r\ng.h.i");
  // Corners (col 3, row 2) and (col 1, row 0): the stream from offset 1 to offset 17.
  View.SetSelection({3, 2}, {1, 0}, true);
  ASSERT_TRUE(View.SelectionBlockMode());
  ASSERT_TRUE(View.ReplaceAll(Args(u".", u"-"), rbSelection));
  EXPECT_EQ(Text(), "a-b-c\r\nd-e-f\r\ng-h.i");
  EXPECT_EQ(View.SearchLastNumReplacements(), 5);
}

TEST_F(SearchFixture, ConfirmingNoLeavesTheTextAndAdvances) {
  Load(u"a a a");
  ASSERT_TRUE(View.ReplaceFirst(Args(u"a", u"b", {soConfirmReplace})));
  EXPECT_EQ(Text(), "a a a");
  EXPECT_EQ(View.CursorOffset(), 1);
  ASSERT_TRUE(View.ReplaceNext());
  EXPECT_EQ(View.CursorOffset(), 3);
  ASSERT_TRUE(View.ReplaceNext());
  EXPECT_EQ(View.CursorOffset(), 5);
  EXPECT_FALSE(View.ReplaceNext());  // asks to go on: closing the box says no
  EXPECT_EQ(View.CursorOffset(), 5);
  EXPECT_EQ(Text(), "a a a");
  EXPECT_EQ(View.SearchLastNumReplacements(), 0);
  ASSERT_EQ(Host.Asks.size(), 4u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(Host.Asks[i].Text, "Replace this occurrence of a?");
    EXPECT_EQ(Host.Asks[i].Buttons, abYes | abNo);
    EXPECT_TRUE(Host.Asks[i].Placed);
  }
  EXPECT_EQ(Host.Asks[3].Text, kEndQ);
}

TEST_F(SearchFixture, ConfirmingShowsTheOccurrenceAndPlacesTheQuestion) {
  Load(u"xx abc");
  std::vector<Integer> selected;
  Host.OnAsk = [&] {
    selected = {View.SelectionOffsetStart(), View.SelectionOffsetEnd(), View.CursorOffset()};
  };
  Host.Answers = {abYes};
  ASSERT_TRUE(View.ReplaceFirst(Args(u"abc", u"%s", {soConfirmReplace})));
  EXPECT_EQ(selected, (std::vector<Integer>{3, 6, 6}));
  ASSERT_EQ(Host.Asks.size(), 1u);
  const TKivAskPlace& p = Host.Asks[0].Place;
  // 10 px cells in the fixed-width fake: the start cell at column 3, the end cell at column 5.
  EXPECT_EQ(p.EndCell.Left - p.StartCell.Left, 20);
  EXPECT_EQ(p.StartCell.Top, p.EndCell.Top);
  EXPECT_EQ(Text(), "xx %s");
  EXPECT_EQ(View.SearchLastNumReplacements(), 1);
  EXPECT_EQ(View.CursorOffset(), 5);
}

TEST_F(SearchFixture, ThePercentSignIsNoFormat) {
  Load(u"50%d");
  ASSERT_TRUE(View.ReplaceFirst(Args(u"%d", u"", {soConfirmReplace})));
  ASSERT_EQ(Host.Asks.size(), 1u);
  EXPECT_EQ(Host.Asks[0].Text, "Replace this occurrence of %d?");
}

TEST_F(SearchFixture, ReplaceAllYesThenCancel) {
  Load(u"a a a");
  Host.Answers = {abYes, abCancel};
  ASSERT_TRUE(View.ReplaceAll(Args(u"a", u"b", {soConfirmReplace}), rbAllText));
  EXPECT_EQ(Text(), "b a a");
  EXPECT_EQ(View.SearchLastNumReplacements(), 1);
  ASSERT_EQ(Host.Asks.size(), 2u);
  EXPECT_EQ(Host.Asks[0].Buttons, abYes | abNo | abCancel);
  UndoOnce();
  EXPECT_EQ(Text(), "a a a");
}

TEST_F(SearchFixture, OnReplaceFoundDecides) {
  Load(u"a a a");
  int calls = 0;
  View.OnReplaceFound = [&](TKivEditViewCore&, TKivEditFindReplaceState& AState, Integer&,
                            TKivEditReplaceAction& A) {
    ++calls;
    EXPECT_EQ(View.SelectionOffsetStart(), AState.FoundSegment.Start);
    A = calls == 2 ? raGoNext : raReplaceAuto;
  };
  ASSERT_TRUE(View.ReplaceAll(Args(u"a", u"b", {soConfirmReplace}), rbAllText));
  EXPECT_EQ(Text(), "b a b");
  EXPECT_EQ(View.SearchLastNumReplacements(), 2);
  EXPECT_TRUE(Host.Asks.empty());
}

TEST_F(SearchFixture, ReplaceNextWrapsWithACursorUndoStep) {
  Load(u"a a", 2);
  ASSERT_TRUE(View.ReplaceFirst(Args(u"a", u"b")));
  EXPECT_EQ(Text(), "a b");
  Host.Answers = {abYes};
  ASSERT_TRUE(View.ReplaceNext());
  EXPECT_EQ(Text(), "b b");
  EXPECT_EQ(View.SearchLastNumReplacements(), 1);  // the counter restarts from the start
  EXPECT_EQ(Host.Asks.size(), 1u);
}

// ---- errors: nothing changes ----

TEST_F(SearchFixture, Errors) {
  Load(u"abc abc", 1);
  const auto message = [](auto&& AFn) {
    try {
      AFn();
    } catch (const EKivError& E) {
      return KivToUtf8(E.Message());
    }
    return std::string("no error");
  };
  EXPECT_EQ(message([&] { View.SearchNext(); }), "You should call BeginSearch before SearchNext");
  EXPECT_EQ(message([&] { View.ReplaceNext(); }), "You should call BeginReplace before ReplaceNext");
  EXPECT_EQ(View.SearchState(), stNothing);
  Doc.SetReadOnly(true);
  EXPECT_EQ(message([&] { View.ReplaceFirst(Args(u"a", u"b")); }), "This View or its Document is read-only.");
  EXPECT_EQ(message([&] { View.ReplaceAll(Args(u"a", u"b"), rbAllText); }),
            "This View or its Document is read-only.");
  EXPECT_EQ(View.SearchState(), stNothing);
  Doc.SetReadOnly(false);
  EXPECT_EQ(Text(), "abc abc");

  // A bad pattern passes unchanged, with cursor and selection as before and no run open.
  ASSERT_TRUE(View.SearchFirst(Args(u"abc")));
  const Integer cursor = View.CursorOffset(), anchor = Anchor();
  EXPECT_TRUE(Search().HasOpenRun());
  EXPECT_THROW(View.SearchFirst(Args(u"(", u"", {soRegexp})), EKivError);
  EXPECT_EQ(View.CursorOffset(), cursor);
  EXPECT_EQ(Anchor(), anchor);
  EXPECT_FALSE(Search().HasOpenRun());
  EXPECT_THROW(View.ReplaceAll(Args(u"(", u"", {soRegexp}), rbAllText), EKivError);
  EXPECT_EQ(Text(), "abc abc");
  EXPECT_EQ(View.CursorOffset(), cursor);

  View.SetDocument(nullptr);
  EXPECT_EQ(message([&] { View.SearchFirst(Args(u"a")); }), "Document must be attached to View for this operation");
  EXPECT_EQ(message([&] { View.ReplaceFirst(Args(u"a")); }), "Document must be attached to View for this operation");
}

// An error of the engine in the middle of a replace-all (here the regex work budget, spent up on
// the second occurrence) reaches the caller; what was replaced until then stays as one undo step,
// cursor and selection are as before, no run stays open, and the document takes edits again.
TEST_F(SearchFixture, ReplaceAllStoppedByAnEngineErrorIsOneUndoStep) {
  Load(u"a1 a2 a3 a4");
  View.SetSelectionOffsets(1, 4);
  const Integer cursor = View.CursorOffset(), anchor = Anchor();
  int seen = 0;
  View.OnReplaceFound = [&](TKivEditViewCore&, TKivEditFindReplaceState& AState, Integer&,
                            TKivEditReplaceAction& Action) {
    Action = raReplaceAuto;
    if (++seen == 2) AState.FoundRegex->SetStepLimit(0);  // the next search step exceeds it
  };
  Integer code = 0;
  try {
    View.ReplaceAll(Args(u"a\\d", u"b", {soRegexp}, sdForward, ssTextStartEnd), rbAllText);
  } catch (const EKivRegExprError& E) {
    code = E.ErrorCode;
  }
  EXPECT_EQ(code, reeStepLimit);
  EXPECT_EQ(seen, 2);
  EXPECT_EQ(Text(), "b b a3 a4");
  EXPECT_EQ(View.CursorOffset(), cursor);
  EXPECT_EQ(Anchor(), anchor);
  EXPECT_FALSE(Search().HasOpenRun());
  UndoOnce();
  EXPECT_EQ(Text(), "a1 a2 a3 a4");
  EXPECT_FALSE(Doc.Internal().GetCanUndo(View.AuthorID()));
  // Nothing stayed open: the next replace-all is an undo step of its own.
  View.OnReplaceFound = nullptr;
  ASSERT_TRUE(View.ReplaceAll(Args(u"a", u"c", {}, sdForward, ssTextStartEnd), rbAllText));
  EXPECT_EQ(Text(), "c1 c2 c3 c4");
  UndoOnce();
  EXPECT_EQ(Text(), "a1 a2 a3 a4");
}

// ---- replace-all against freshly attached views ----

// What a view holds after a change: the scroll bar, the top, every row of the text and every row
// on the screen with its chunks.
std::string Shown(TKivEditViewCore& AView, RecordingHost& AHost) {
  TScreenCache& c = TKivTestAccess::ScreenCache(AView);
  std::string s = "bar " + std::to_string(AHost.Vert.Max) + "/" + std::to_string(AHost.Vert.Page) + "@" +
                  std::to_string(AHost.Vert.Pos) + " top " + std::to_string(AView.TopLineScroll()) + "\n";
  const Integer rows = AView.GetVisibleCountScroll();
  for (Integer row = 0; row < rows; ++row) {
    const TKivSegment seg = c.GetScrollLineInfo(row).ContentSegment;
    s += std::to_string(AView.ScrollToPhysical(row)) + ":" + std::to_string(seg.Start) + "+" +
         std::to_string(seg.Count) + " ";
  }
  s += "\n";
  for (Integer i = 0; i < c.LinesOnScreenScroll(); ++i) {
    const TScreenLineInfo& l = c.GetScreenLine(i);
    const TKivSegment seg = l.ScrollInfo.ContentSegment;
    s += std::to_string(seg.Start) + "+" + std::to_string(seg.Count);
    for (const TChunk& ch : l.Chunks) s += " \"" + KivToUtf8(ch.Chars) + "\"";
    s += "\n";
  }
  return s;
}

// A view attached afresh to AView's document with its size, wrapping, collapsed lines, cursor,
// selection and top row.
std::string FreshShown(TKivEditViewCore& AView, RecordingHost& AHost) {
  RecordingHost host;
  host.Area = AHost.Area;
  TKivEditViewCore fresh(host);
  fresh.HostResized();
  fresh.SetWrapMode(AView.WrapMode());
  fresh.SetWrapRulerWidth(AView.WrapRulerWidth());
  fresh.SetViewSettings(AView.ViewSettings());
  fresh.SetDocument(AView.Document());
  const auto folds = TKivTestAccess::ScreenCache(AView).CollapsedFolds();
  for (auto it = folds.rbegin(); it != folds.rend(); ++it)
    TKivTestAccess::ScreenCache(fresh).CollapseLines(it->first, it->second);
  fresh.SetSelectionOffsets(AView.SelectionOffsetStart(), AView.SelectionOffsetEnd());
  fresh.SetTopLineScroll(AView.TopLineScroll());
  return Shown(fresh, host);
}

// Replace-alls that add, remove and widen lines, forward and backward, with the view's own
// wrapping on or off and lines collapsed, while a second view of the document shows another
// part (wrapped the other way, lines collapsed there too): afterwards, after undo and after redo
// each view shows what a view attached afresh shows.
TEST(ReplaceAllScreens, BothViewsShowWhatFreshViewsShow) {
  struct Case {
    const char16_t* Search;
    const char16_t* Replace;
    TKivEditSearchDirection Dir;
  };
  const Case cases[] = {{u"ab", u"x\r\ny", sdForward},
                        {u"ab", u"x\r\ny", sdBackward},
                        {u"ab\r\nx", u"ab x", sdForward},
                        {u"cd", u"cd cd cd cd", sdForward},
                        {u"cd", u"cd cd cd cd", sdBackward},
                        {u"b\r\nef", u"b ef", sdBackward},
                        {u"gh", u"", sdBackward}};
  TKivString text = u"top\r\n";
  for (int i = 0; i < 120; ++i) {
    text += i % 7 == 0 ? u"ab cd" : i % 5 == 0 ? u"ef" : u"x";
    text += TKivString(static_cast<size_t>(i % 13), u'g') + u"h cd ab\r\n";
  }
  for (int round = 0; round < 8; ++round) {
    for (const Case& c : cases) {
      const std::string what = KivToUtf8(c.Search) + " -> " + KivToUtf8(c.Replace) + " dir " +
                               std::to_string(int(c.Dir)) + " round " + std::to_string(round);
      TKivEditDocument doc;
      doc.SetParser(std::make_unique<FakeParser>());
      doc.Lines().SetText(text);
      doc.ClearUndo();
      const TKivString original = doc.Text();
      RecordingHost hostA, hostB;
      hostB.Area = {0, 0, 300, 120};
      TKivEditViewCore a(hostA), b(hostB);
      a.HostResized();
      b.HostResized();
      const bool wrapA = round % 2 == 1;
      a.SetWrapMode(wrapA ? wmWrapToRuler : wmNoWrap);
      a.SetWrapRulerWidth(23);
      // Rows counted for the bar, kept between edits that keep the lines count (without
      // wrapping: with it a wider line does not update the count).
      if (!wrapA) a.SetViewSettings(a.ViewSettings() | vsPreciseScrollbars);
      b.SetWrapMode(wrapA ? wmNoWrap : wmWrapToRuler);
      b.SetWrapRulerWidth(17);
      a.SetDocument(&doc);
      b.SetDocument(&doc);
      if (round % 4 >= 2) {
        TKivTestAccess::ScreenCache(a).CollapseLines(30, 33);
        TKivTestAccess::ScreenCache(a).CollapseLines(95, 110);
      }
      TKivTestAccess::ScreenCache(b).CollapseLines(3, 5);
      TKivTestAccess::ScreenCache(b).CollapseLines(61, 64);
      // Both views have laid out the text to its end (states kept along the way), then scroll.
      a.SetCursorOffset(doc.CharsCount());
      b.SetCursorOffset(doc.CharsCount());
      // The top above every occurrence or among them.
      a.SetCursorOffset(doc.GetLineStart(50));
      a.SetTopLineScroll(round < 4 ? 40 : 0);
      b.SetCursorOffset(doc.GetLineStart(70));
      b.SetTopLineScroll(66);
      const Integer start = c.Dir == sdForward ? 0 : doc.CharsCount();
      a.SetCursorOffset(start);
      ASSERT_TRUE(a.ReplaceAll(Args(c.Search, c.Replace, {}, c.Dir, ssCursor), rbAllText)) << what;
      EXPECT_GT(a.SearchLastNumReplacements(), 3) << what;
      EXPECT_EQ(Shown(a, hostA), FreshShown(a, hostA)) << what;
      EXPECT_EQ(Shown(b, hostB), FreshShown(b, hostB)) << what;
      const TKivString replaced = doc.Text();
      a.Undo();
      EXPECT_EQ(doc.Text(), original) << what;
      EXPECT_EQ(Shown(a, hostA), FreshShown(a, hostA)) << what;
      EXPECT_EQ(Shown(b, hostB), FreshShown(b, hostB)) << what;
      a.Redo();
      EXPECT_EQ(doc.Text(), replaced) << what;
      EXPECT_EQ(Shown(a, hostA), FreshShown(a, hostA)) << what;
      EXPECT_EQ(Shown(b, hostB), FreshShown(b, hostB)) << what;
    }
  }
}

// Raises from BeforeInsert once armed and its countdown ran out.
struct RaisingListener : TKivDocumentListener {
  void BeforeInsert(Integer, Integer) override {
    if (Countdown >= 0 && Countdown-- == 0) throw EKivEditViewError(u"listener failed");
  }
  int Countdown = -1;
};

// A replace-all cut short by a failing listener: one undo step, cursor and selection as before,
// and the view goes on following edits one by one (its screen as a fresh view's).
TEST_F(SearchFixture, ReplaceAllCutShortByAListenerLeavesNoRunOpen) {
  TKivString text;
  for (int i = 0; i < 40; ++i) text += u"a.b.c\r\n";
  Load(text, 3);
  const TKivString original = Doc.Text();
  View.SetSelectionOffsets(3, 8);
  RaisingListener raising;
  Doc.Internal().AddListener(&raising);
  raising.Countdown = 5;
  EXPECT_THROW(View.ReplaceAll(Args(u".", u"\r\n-", {}, sdForward, ssTextStartEnd), rbAllText),
               EKivEditViewError);
  EXPECT_EQ(Anchor(), 3);
  EXPECT_EQ(SelEnd(), 8);
  const TKivString cut = Doc.Text();
  EXPECT_NE(cut, original);
  UndoOnce();
  EXPECT_EQ(Doc.Text(), original);
  EXPECT_FALSE(Doc.Internal().GetCanUndo(View.AuthorID()));
  // Edits after it are laid out one by one again.
  View.SetCursorOffset(0);
  Doc.Insert(0, u"new\r\nlines\r\n");
  EXPECT_EQ(Shown(View, Host), FreshShown(View, Host));
  Doc.Internal().RemoveListener(&raising);
}

TEST_F(SearchFixture, TheRunClosesOnNewArgumentsAndOnDetach) {
  Load(u"ab ab");
  ASSERT_TRUE(View.SearchFirst(Args(u"ab")));
  EXPECT_TRUE(Search().HasOpenRun());
  View.AssignSearchReplaceArgs(Args(u"x", u"y"), stInReplace);
  EXPECT_FALSE(Search().HasOpenRun());
  EXPECT_EQ(View.SearchState(), stInReplace);
  EXPECT_EQ(View.SearchLastArgs(), Args(u"x", u"y"));
  View.AssignSearchReplaceArgs(Args(u"ab"), stInSearch);
  ASSERT_TRUE(View.SearchNext());
  EXPECT_TRUE(Search().HasOpenRun());
  View.SetDocument(nullptr);
  EXPECT_FALSE(Search().HasOpenRun());
  EXPECT_EQ(View.SearchState(), stInSearch);
}

TEST(SearchRunLifetime, AViewOutlivedByItsDocumentOrNot) {
  // The run's markers live in the document: destroying either first is safe.
  AskingHost host;
  auto doc = std::make_unique<TKivEditDocument>();
  doc->Lines().SetText(u"ab ab");
  {
    TKivEditViewCore view{host};
    view.SetDocument(doc.get());
    ASSERT_TRUE(view.SearchFirst(Args(u"ab")));
  }
  auto view = std::make_unique<TKivEditViewCore>(host);
  view->SetDocument(doc.get());
  ASSERT_TRUE(view->SearchFirst(Args(u"ab")));
  view.reset();
  doc.reset();
}

// ---- placement ----

TEST(ConfirmPlacement, Table) {
  const TKivRect area{100, 100, 900, 700};
  const TKivPoint def{400, 300};
  struct Case {
    const char* Name;
    TKivRect Start, End;
    Integer W, H;
    TKivPoint Result;
  };
  const Case cases[] = {
      // More room above: over the match (32 px past the room), the end cell right of the box.
      {"below the middle, left", {150, 600, 160, 616}, {190, 600, 200, 616}, 200, 100, {150, 468}},
      // More room below: under it.
      {"above the middle, right", {700, 120, 710, 136}, {760, 120, 770, 136}, 200, 100, {570, 168}},
      // Equal rooms keep the default on that axis.
      {"centred", {450, 392, 460, 408}, {540, 392, 550, 408}, 100, 100, {400, 300}},
      // No room at all on either side: both 0, the default.
      {"too big", {450, 392, 460, 408}, {490, 392, 500, 408}, 900, 700, {400, 300}},
      // Results off the area are not clamped here.
      {"off the top", {150, 110, 160, 126}, {190, 110, 200, 126}, 200, 10, {150, 158}},
  };
  for (const Case& c : cases) {
    const TKivPoint r = KivPlaceConfirmDialog(c.Start, c.End, area, c.W, c.H, def);
    EXPECT_EQ(r.X, c.Result.X) << c.Name;
    EXPECT_EQ(r.Y, c.Result.Y) << c.Name;
  }
  // More room above but so little that the box goes above the area (the caller clamps).
  const TKivPoint r = KivPlaceConfirmDialog({150, 640, 160, 656}, {150, 640, 160, 656}, area, 50, 520, def);
  EXPECT_EQ(r.Y, 100 + 20 - 32);
}

// ---- incremental search through the command keys ----

struct IncFixture : SearchFixture {
  bool Key(TKivShortcut AShortcut, TKivStringView AText = u"") {
    const bool consumed = View.CommandHooks().KeyDown(View, AShortcut);
    if (!consumed)
      for (const Char c : AText) View.CommandHooks().KeyPressW(View, c);
    return consumed;
  }
  void Type(TKivStringView AText) {
    for (const Char c : AText) Key(Char(std::toupper(int(c))), TKivString(1, c));
  }
};

TEST_F(IncFixture, TypeBeepBackspace) {
  Load(u"xac");
  Key(kivShortcutCtrl | 'E');
  EXPECT_TRUE(View.InIncrementalSearch());
  EXPECT_EQ(View.SearchState(), stInSearch);
  Type(u"a");
  EXPECT_EQ(Anchor(), 2);
  EXPECT_EQ(SelEnd(), 1);
  EXPECT_EQ(View.CursorOffset(), 1);
  Host.ResetCounts();
  Type(u"b");
  EXPECT_EQ(Host.Beeps, 1);
  EXPECT_EQ(View.SearchLastArgs().Search, u"a");
  EXPECT_EQ(View.CursorOffset(), 1);
  EXPECT_EQ(Anchor(), 2);
  Key(vkBack);
  EXPECT_EQ(View.CursorOffset(), 0);
  EXPECT_TRUE(View.InIncrementalSearch());
  EXPECT_TRUE(Search().Jumps().empty());
  EXPECT_TRUE(Host.Asks.empty());
  // Backspace with an empty text ends the search.
  Key(vkBack);
  EXPECT_FALSE(View.InIncrementalSearch());
  EXPECT_TRUE(Host.Asks.empty());
}

TEST_F(IncFixture, F3EscThenSearchNext) {
  Load(u"ab ab ab");
  Key(kivShortcutCtrl | 'E');
  Type(u"ab");
  EXPECT_EQ(View.CursorOffset(), 0);
  EXPECT_EQ(Search().Jumps().size(), 2u);
  Key(vkF3);
  EXPECT_EQ(View.CursorOffset(), 3);
  EXPECT_EQ(Anchor(), 5);
  Key(vkEscape);
  EXPECT_FALSE(View.InIncrementalSearch());
  EXPECT_EQ(View.CursorOffset(), 5);
  EXPECT_FALSE(View.SelAvail());
  ASSERT_TRUE(View.SearchNext());
  EXPECT_EQ(Anchor(), 6);
  EXPECT_EQ(View.CursorOffset(), 8);
  EXPECT_TRUE(Host.Asks.empty());
}

TEST_F(IncFixture, F3AtTheEndAsksAndCtrlEGoesOnToo) {
  Load(u"ab ab");
  Key(kivShortcutCtrl | 'E');
  Type(u"ab");
  Key(vkF3);
  EXPECT_EQ(View.CursorOffset(), 3);
  Host.Answers = {abYes};
  Key(vkF3);
  ASSERT_EQ(Host.Asks.size(), 1u);
  EXPECT_EQ(Host.Asks[0].Text, kEndQ);
  EXPECT_TRUE(View.InIncrementalSearch());
  EXPECT_EQ(View.CursorOffset(), 0);
  Key(kivShortcutCtrl | 'E');
  EXPECT_TRUE(View.InIncrementalSearch());
  EXPECT_EQ(View.CursorOffset(), 3);
}

TEST_F(IncFixture, EmptyF3BeepsAndEnterEndsWithoutALineBreak) {
  Load(u"ab\r\nab");
  Key(kivShortcutCtrl | 'E');
  Host.ResetCounts();
  Key(vkF3);
  EXPECT_EQ(Host.Beeps, 1);
  Type(u"b");
  EXPECT_EQ(View.CursorOffset(), 1);
  Key(vkReturn, u"\r");
  EXPECT_FALSE(View.InIncrementalSearch());
  EXPECT_EQ(Text(), "ab\r\nab");
  EXPECT_EQ(View.CursorOffset(), 2);
}

TEST_F(IncFixture, OtherMatchesOnScreenAreMarkedAndUnmarked) {
  Load(u"ab ab ab");
  View.AddHighlight(0, 1);  // the embedder's own range stays
  Key(kivShortcutCtrl | 'E');
  Type(u"ab");
  ASSERT_EQ(Search().IncHighlights().size(), 2u);
  EXPECT_EQ(Search().IncHighlights()[0].Start, 3);
  EXPECT_EQ(Search().IncHighlights()[1].Start, 6);
  Key(vkEscape);
  EXPECT_TRUE(Search().IncHighlights().empty());
}

// The embedder's highlight ranges, also where they cover or overlap the marked matches, are what
// is left when incremental search ends, however it ends.
TEST_F(IncFixture, TheEmbeddersHighlightSurvivesTheEnd) {
  // The highlighted characters of the text, as x (highlighted) and . (not).
  const auto covered = [&] {
    std::string r(size_t(Doc.CharsCount()), '.');
    for (const TSARange& x : TKivTestAccess::ScreenCache(View).Highlights().GetRanges())
      for (Integer i = x.Start; i < x.End(); ++i) r[size_t(i)] = 'x';
    return r;
  };
  const auto ranges = [&] {
    std::vector<std::pair<Integer, Integer>> r;
    for (const TSARange& x : TKivTestAccess::ScreenCache(View).Highlights().GetRanges())
      r.emplace_back(x.Start, x.End());
    return r;
  };
  const std::vector<std::pair<Integer, Integer>> own = {{0, 1}, {3, 5}, {7, 10}};
  struct Case {
    const char* Name;
    std::function<void()> End;
  };
  const std::vector<Case> cases = {
      {"Esc", [&] { Key(vkEscape); }},
      {"Enter", [&] { Key(vkReturn, u"\r"); }},
      {"an arrow", [&] { Key(vkRight); }},
      {"Backspace past the start",
       [&] {
         for (int n = 0; n < 3; ++n) Key(vkBack);
       }},
      {"a cursor move by the embedder", [&] { View.SetCursorOffset(0); }},
  };
  for (const Case& c : cases) {
    Load(u"ab ab ab ab");
    View.ClearHighlight();
    View.AddHighlight(0, 1);
    View.AddHighlight(3, 2);  // exactly the second match
    View.AddHighlight(7, 3);  // the end of the third match and the start of the fourth
    ASSERT_EQ(ranges(), own) << c.Name;
    Key(kivShortcutCtrl | 'E');
    Type(u"ab");
    ASSERT_TRUE(View.InIncrementalSearch()) << c.Name;
    // The other matches are shown highlighted meanwhile.
    EXPECT_EQ(covered(), "x..xx.xxxxx") << c.Name;
    c.End();
    EXPECT_FALSE(View.InIncrementalSearch()) << c.Name;
    EXPECT_TRUE(Search().IncHighlights().empty()) << c.Name;
    EXPECT_EQ(ranges(), own) << c.Name;
  }
}

}  // namespace

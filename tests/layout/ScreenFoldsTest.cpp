// Folding: collapsing the parser's folds, nested folds, folds following edits, fold-all and
// unfold-all, and a property test of visible-line navigation against a model.
#include <gtest/gtest.h>

#include <random>

#include "KivTestSeed.h"
#include "LayoutHarness.h"

namespace {

TKivString NumberedLines(int ACount) {
  TKivString s;
  for (int i = 0; i < ACount; ++i) s += (i ? u"\r\n" : u"") + KivFromUtf8("l" + std::to_string(i));
  return s;
}

// The collapsed starts as "3-10 5-10".
std::string Folds(const TScreenCache& C) {
  std::string s;
  for (const auto& [start, end] : C.CollapsedFolds())
    s += (s.empty() ? "" : " ") + std::to_string(start) + "-" + std::to_string(end);
  return s;
}

// 15 lines l0..l14 with folds 3-10, 5-10 and 12-14.
struct FoldDoc : LayoutHarness {
  FoldDoc() : LayoutHarness(NumberedLines(15), wmNoWrap) {
    Parser->AddFold(3, 10);
    Parser->AddFold(5, 10);
    Parser->AddFold(12, 14);
  }
};

}  // namespace

TEST(ScreenFolds, OneFoldAndNestedFoldsSharingAnEnd) {
  FoldDoc h;
  h.Cache->Fold(3);
  EXPECT_EQ(Folds(*h.Cache), "3-10");
  EXPECT_EQ(h.Cache->GetNextVisibleLine(3), 11);
  EXPECT_EQ(h.Cache->GetPrevVisibleLine(11), 3);
  EXPECT_EQ(h.Cache->PhysicalToScroll(11), 4);
  EXPECT_EQ(h.Cache->CalkVisibleCountScroll(), 8);
  EXPECT_EQ(ViewErrorOf([&] { h.Cache->PhysicalToScroll(5); }),
            "This operation requires given physical line to be visible. Line: 5");
  EXPECT_FALSE(h.Cache->IsLineStartVisible(4));
  EXPECT_TRUE(h.Cache->IsLineStartVisible(3));
  EXPECT_NE(h.Cache->GetScrollLineInfo(3).VisProps & KivLineProp(lpCollapsedFold), 0);

  // The inner fold collapsed first, then the outer: both end on line 10.
  struct {
    bool All;
    const char* Left;
    Integer Rows;
  } cases[] = {{false, "5-10", 10}, {true, "", 15}};
  for (const auto& c : cases) {
    FoldDoc n;
    n.Cache->Fold(5);
    n.Cache->Fold(3);
    EXPECT_EQ(Folds(*n.Cache), "3-10 5-10");
    EXPECT_EQ(n.Cache->GetPrevVisibleLine(11), 3);
    EXPECT_EQ(n.Cache->CalkVisibleCountScroll(), 8);
    n.Cache->Unfold(3, c.All);
    EXPECT_EQ(Folds(*n.Cache), c.Left) << c.All;
    EXPECT_EQ(n.Cache->CalkVisibleCountScroll(), c.Rows) << c.All;
    EXPECT_EQ(n.Cache->GetPrevVisibleLine(11), c.All ? 10 : 5);
  }
  // Fold with All collapses the nested folds too; the inner one stays when the outer opens.
  FoldDoc a;
  a.Cache->Fold(3, true);
  EXPECT_EQ(Folds(*a.Cache), "3-10 5-10");
  a.Cache->Unfold(3);
  EXPECT_EQ(a.Cache->GetNextVisibleLine(5), 11);
  EXPECT_EQ(a.Cache->CalkVisibleCountScroll(), 10);
}

TEST(ScreenFolds, ErrorsLeaveEverythingAsItWas) {
  FoldDoc h;
  h.Parser->AddFold(13, 13);  // a block left open on the last lines ends where it starts
  h.Cache->Fold(3);
  struct {
    std::function<void()> Call;
    const char* Message;
  } cases[] = {
      {[&] { h.Cache->Fold(3); }, "Can't do this operation with collapsed fold line: line: 3"},
      {[&] { h.Cache->Unfold(4); }, "Can't do this operation with non-collapsed fold line: line: 4"},
      {[&] { h.Cache->Fold(4); }, "This operation requires argument line to be fold start: line: 4"},
      {[&] { h.Cache->Fold(13); }, "This operation requires argument line to be fold start: line: 13"},
      {[&] { h.Cache->Fold(99); }, "Invalid physical line on screen index: 99. Valid range: [0, 14]"},
      {[&] { h.Cache->Unfold(-1); }, "Invalid physical line on screen index: -1. Valid range: [0, 14]"},
      {[&] { h.Cache->FoldAllIn(4, false); }, "This operation requires argument line to be fold start: line: 4"},
      {[&] { h.Cache->UnfoldAllIn(4, true); }, "This operation requires argument line to be fold start: line: 4"},
      {[&] { h.Cache->FoldAllIn(-2, true); }, "Invalid physical line on screen index: -2. Valid range: [0, 14]"},
      {[&] { h.Cache->UnfoldAllIn(15, true); }, "Invalid physical line on screen index: 15. Valid range: [0, 14]"},
      {[&] { h.Cache->GetNextVisibleLine(15, true); },
       "Invalid physical line on screen index: 15. Valid range: [0, 14]"},
      {[&] { h.Cache->GetPrevVisibleLine(16, true); },
       "Invalid physical line on screen index: 16. Valid range: [0, 15]"},
      {[&] { h.Cache->CollapseLines(3, 5); }, "Can't do this operation with collapsed fold line: line: 3"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ViewErrorOf(c.Call), c.Message);
    EXPECT_EQ(Folds(*h.Cache), "3-10") << c.Message;
    EXPECT_EQ(h.Cache->CalkVisibleCountScroll(), 8) << c.Message;
  }
  // The line count itself is a valid argument for the previous visible line.
  EXPECT_EQ(h.Cache->GetPrevVisibleLine(15, true), 14);
}

TEST(ScreenFolds, FoldsFollowEditsAndDieWithTheirStartLine) {
  FoldDoc h;
  h.Cache->Fold(3);
  h.Doc.Insert(0, u"x\r\n");
  EXPECT_TRUE(h.Cache->IsCollapsedFold(4));
  EXPECT_EQ(h.Cache->GetNextVisibleLine(4), 12);
  EXPECT_EQ(h.Cache->CalkVisibleCountScroll(), 9);
  // Typing on the start line and inside the fold keeps it.
  h.Doc.Insert(h.Doc.GetLineStart(4), u"ab");
  h.Doc.Insert(h.Doc.GetLineStart(7) + 1, u"\r\n");
  EXPECT_EQ(Folds(*h.Cache), "4-12");
  EXPECT_EQ(h.Cache->CalkVisibleCountScroll(), 9);
  // The start line deleted with its separator.
  h.Doc.Delete(h.Doc.GetLineStart(4), h.Doc.GetLineStart(5) - h.Doc.GetLineStart(4));
  h.Cache->UpdateLayout();
  EXPECT_EQ(Folds(*h.Cache), "");
  EXPECT_EQ(h.Cache->CalkVisibleCountScroll(), h.Doc.LinesCount());

  // The end line deleted: the fold goes; joining the start line with the end line: too.
  struct {
    Integer From, To;  // lines: deleted from the start of From to the start of To
    bool Join;         // from the end of From instead
  } cases[] = {{10, 11, false}, {3, 10, true}, {4, 11, false}};
  for (const auto& c : cases) {
    FoldDoc d;
    d.Cache->Fold(3);
    d.Cache->Fold(12);
    const Integer from = c.Join ? d.Doc.GetLineEnd(c.From) : d.Doc.GetLineStart(c.From);
    d.Doc.Delete(from, d.Doc.GetLineStart(c.To) - from);
    d.Cache->UpdateLayout();
    const Integer shift = 15 - d.Doc.LinesCount();
    EXPECT_EQ(Folds(*d.Cache), std::to_string(12 - shift) + "-" + std::to_string(14 - shift)) << c.From;
    EXPECT_EQ(d.Cache->CalkVisibleCountScroll(), d.Doc.LinesCount() - 2) << c.From;
  }
}

TEST(ScreenFolds, CursorOpensNestedFoldsAndTheTopMovesOutOfAFold) {
  FoldDoc h;
  h.Cache->Fold(5);
  h.Cache->Fold(3);
  h.Cache->SetCursorOffset({h.Doc.GetLineStart(6), 0});
  EXPECT_EQ(Folds(*h.Cache), "");
  EXPECT_EQ(h.Cache->CursorPos().Y, 6);
  // The end of a collapsed line is on its row: only the folds around it open.
  h.Cache->Fold(5);
  h.Cache->Fold(3);
  h.Cache->EnsureOffsetIsVisible(h.Doc.GetLineEnd(5));
  EXPECT_EQ(Folds(*h.Cache), "5-10");
  h.Cache->Unfold(5);
  h.Cache->Fold(3);
  h.Cache->EnsureOffsetIsVisible(h.Doc.GetLineStart(3) + 1);
  EXPECT_EQ(Folds(*h.Cache), "3-10");
  EXPECT_EQ(h.Cache->GetNearestValidOffset(h.Doc.GetLineStart(7)), h.Doc.GetLineEnd(3));

  for (bool wrap : {false, true}) {
    FoldDoc t;
    t.Cache->SetWrapMode(wrap ? wmWrapToRuler : wmNoWrap);
    t.Cache->SetScreenSize(800, 4);
    t.Cache->SetFirstLineAsScroll(6);
    ASSERT_EQ(t.Cache->FirstLinePhysical(), 6);
    t.Cache->Fold(3);
    EXPECT_EQ(t.Cache->FirstLinePhysical(), 3);
    EXPECT_EQ(t.Cache->FirstLineScroll(), 3);
    // Below the fold the top keeps its line.
    t.Cache->Unfold(3);
    t.Cache->SetFirstLineAsScroll(11);
    t.Cache->Fold(3);
    EXPECT_EQ(t.Cache->FirstLinePhysical(), 11);
    EXPECT_EQ(t.Cache->FirstLineScroll(), 4);
  }
}

TEST(ScreenFolds, FoldAllAndUnfoldAll) {
  LayoutHarness h(NumberedLines(31), wmNoWrap);
  for (auto [s, e] : {std::pair{0, 20}, {2, 5}, {8, 12}, {25, 30}}) h.Parser->AddFold(s, e);
  h.Cache->FoldAllIn(-1, true);
  EXPECT_EQ(Folds(*h.Cache), "0-20 25-30");
  h.Cache->UnfoldAllIn(-1, false);
  EXPECT_EQ(Folds(*h.Cache), "");
  h.Cache->FoldAllIn(-1, false);
  EXPECT_EQ(Folds(*h.Cache), "0-20 2-5 8-12 25-30");
  EXPECT_EQ(h.Cache->CalkVisibleCountScroll(), 6);  // 0, 21-24, 25
  // The outermost level only: the nested ones stay collapsed inside.
  h.Cache->UnfoldAllIn(-1, true);
  EXPECT_EQ(Folds(*h.Cache), "2-5 8-12");
  EXPECT_EQ(h.Cache->CalkVisibleCountScroll(), 31 - 3 - 4);
  // Inside one fold.
  h.Cache->UnfoldAllIn(0, false);
  EXPECT_EQ(Folds(*h.Cache), "");
  h.Cache->FoldAllIn(0, false);
  EXPECT_EQ(Folds(*h.Cache), "2-5 8-12");
  h.Cache->Fold(0);
  h.Cache->UnfoldAllIn(0, true);
  EXPECT_EQ(Folds(*h.Cache), "0-20");
  // A collapsed fold the parser no longer reports is opened by a fold-all of every level.
  h.Cache->UnfoldAllIn(-1, false);
  h.Cache->CollapseLines(14, 16);
  h.Cache->FoldAllIn(-1, true);
  EXPECT_EQ(Folds(*h.Cache), "0-20 14-16 25-30");
  h.Cache->FoldAllIn(-1, false);
  EXPECT_EQ(Folds(*h.Cache), "0-20 2-5 8-12 25-30");
}

// Random folds, unfolds and edits: the visible lines, their navigation and the row count must
// be what the collapsed set gives (each shown collapsed start jumps to the line after its end).
TEST(ScreenFolds, NavigationMatchesTheCollapsedSetThroughFoldsAndEdits) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  static const char16_t* pieces[] = {u"a", u"\r\n", u"bc\r\n", u"\r\n\r\n", u"x", u"\r", u"\n"};
  for (int round = 0; round < 30; ++round) {
    LayoutHarness h(NumberedLines(20 + int(rng() % 20)), round % 2 ? wmNoWrap : wmWrapToRuler, 1000);
    for (int k = 0; k < 12; ++k) {
      const Integer start = Integer(rng() % 36);
      h.Parser->AddFold(start, start + 1 + Integer(rng() % (k % 3 ? 4 : 15)));
    }
    for (int step = 0; step < 40; ++step) {
      const Integer lines = h.Doc.LinesCount();
      const Integer line = Integer(rng() % lines);
      const auto before = h.Cache->CollapsedFolds();
      std::string what;
      switch (rng() % 8) {
        case 0:
        case 1: {
          try {
            h.Cache->Fold(line, rng() % 3 == 0);
            what = "fold " + std::to_string(line);
          } catch (const EKivEditViewError&) {
            ASSERT_EQ(h.Cache->CollapsedFolds(), before);
          }
          break;
        }
        case 2:
          if (h.Cache->IsCollapsedFold(line)) {
            const bool all = rng() % 2;
            const Integer end = h.Cache->CollapsedEnd(line);
            h.Cache->Unfold(line, all);
            what = "unfold " + std::to_string(line);
            auto expected = before;
            std::erase_if(expected, [&](const auto& F) {
              return F.first == line || (all && F.first > line && F.first < end);
            });
            ASSERT_EQ(h.Cache->CollapsedFolds(), expected) << what;
          }
          break;
        case 3:
          try {
            h.Cache->FoldAllIn(rng() % 2 ? -1 : line, rng() % 2);
            what = "fold all";
          } catch (const EKivEditViewError&) {  // not a fold
            ASSERT_EQ(h.Cache->CollapsedFolds(), before);
          }
          break;
        case 4:
          if (rng() % 3 == 0) {
            h.Cache->UnfoldAllIn(-1, false);
            ASSERT_TRUE(h.Cache->CollapsedFolds().empty());
          } else if (h.Cache->IsCollapsedFold(line)) {
            h.Cache->UnfoldAllIn(line, rng() % 2);
          }
          what = "unfold all";
          break;
        case 5: {
          const Integer at = Integer(rng() % (h.Doc.CharsCount() + 1));
          h.Doc.Insert(at, pieces[rng() % std::size(pieces)]);
          what = "insert at " + std::to_string(at);
          break;
        }
        case 6: {
          const Integer at = Integer(rng() % (h.Doc.CharsCount() + 1));
          const Integer n = std::min<Integer>(1 + Integer(rng() % 12), h.Doc.CharsCount() - at);
          h.Doc.Delete(at, n);
          what = "delete " + std::to_string(at) + "+" + std::to_string(n);
          break;
        }
        default:
          h.Cache->SetCursorOffset({Integer(rng() % (h.Doc.CharsCount() + 1)), 0});
          what = "cursor";
          break;
      }
      h.Cache->UpdateLayout();
      const std::string context = "round " + std::to_string(round) + " step " + std::to_string(step) + " " + what;
      // The tables were kept up to date: going over them again from the markers changes nothing.
      const auto folds = h.Cache->CollapsedFolds();
      h.Cache->DocumentRefresh();
      ASSERT_EQ(h.Cache->CollapsedFolds(), folds) << context;
      // The model: walk the lines, jumping over each shown collapsed fold.
      const Integer count = h.Doc.LinesCount();
      std::vector<Integer> visible;
      for (Integer l = 0; l < count;) {
        visible.push_back(l);
        const auto it = folds.find(l);
        if (it != folds.end()) {
          ASSERT_LT(it->first, it->second) << context;
          ASSERT_LT(it->second, count) << context;
        }
        l = it != folds.end() ? it->second + 1 : l + 1;
      }
      ASSERT_EQ(h.Cache->CalkVisibleCountScroll(), Integer(visible.size())) << context;
      size_t v = 0;
      for (Integer l = 0; l < count; ++l) {
        const bool shown = v < visible.size() && visible[v] == l;
        ASSERT_EQ(h.Cache->IsLineStartVisible(l), shown) << context << " line " << l;
        if (!shown) continue;
        ASSERT_EQ(h.Cache->PhysicalToScroll(l), Integer(v)) << context << " line " << l;
        ASSERT_EQ(h.Cache->GetNextVisibleLine(l), v + 1 < visible.size() ? visible[v + 1] : count) << context;
        ASSERT_EQ(h.Cache->GetPrevVisibleLine(l), v ? visible[v - 1] : -1) << context << " line " << l;
        ++v;
      }
      ASSERT_EQ(h.Cache->GetPrevVisibleLine(count), visible.back()) << context;
      ASSERT_TRUE(h.Cache->IsOffsetVisible(h.Cache->CursorOffset().Offset)) << context;
    }
  }
}

// Deleting the LF of a CR LF with the next line's text takes that line's start along onto the
// following line: entries of two lines come to share one, and are merged.
TEST(ScreenFolds, EntriesThatComeToShareALineAreMerged) {
  LayoutHarness h(u"p\r\r\nq\nr\r\ns\r\nt\r\nu", wmNoWrap);
  h.Cache->CollapseLines(0, 2);
  h.Cache->CollapseLines(1, 3);
  h.Cache->CollapseLines(2, 5);
  h.Cache->CollapseLines(3, 5);
  EXPECT_EQ(Folds(*h.Cache), "0-2 1-3 2-5 3-5");
  h.Doc.Delete(3, 2);
  ASSERT_EQ(h.Doc.LinesCount(), 6);
  EXPECT_EQ(Folds(*h.Cache), "0-2 1-2 2-4");
  EXPECT_EQ(h.Cache->GetNextVisibleLine(0), 3);
  EXPECT_EQ(h.Cache->GetPrevVisibleLine(3), 0);
  EXPECT_EQ(h.Cache->CalkVisibleCountScroll(), 4);
  h.Cache->Unfold(0);
  EXPECT_EQ(h.Cache->GetPrevVisibleLine(3), 1);
  h.Cache->Unfold(1);
  EXPECT_EQ(Folds(*h.Cache), "2-4");
  EXPECT_EQ(h.Cache->CalkVisibleCountScroll(), 4);
  h.Cache->Unfold(2);
  EXPECT_EQ(h.Cache->CalkVisibleCountScroll(), 6);
}

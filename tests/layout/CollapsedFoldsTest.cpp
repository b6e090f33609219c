// The two pieces a screen cache keeps apart from its layout, tested alone on a document: the
// collapsed-fold bookkeeping (random records and removals against a map of folds, folds following
// line edits, nested folds sharing an end) and the cursor and selection marks (points following
// edits, plain offsets without markers).
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "KivSedDocument.h"
#include "KivTestSeed.h"
#include "internal/CollapsedFolds.h"
#include "internal/SelectionMarks.h"

namespace {

TKivString NumberedLines(int ACount) {
  TKivString s;
  for (int i = 0; i < ACount; ++i) s += (i ? u"\r\n" : u"") + KivFromUtf8("l" + std::to_string(i));
  return s;
}

// A document of ACount numbered lines and the bookkeeping of its collapsed folds.
struct FoldTable {
  explicit FoldTable(int ACount) {
    Doc.Insert(0, NumberedLines(ACount));
    Folds.CreateMarkers(Doc);
  }
  ~FoldTable() {
    Folds.Clear();
    Doc.DetachCustomMarkers(Folds.Markers());
  }
  TKivEditDocument Doc;
  TCollapsedFolds Folds;
};

// The outermost folds of a map of folds in line order: a start inside a shown fold is hidden.
std::vector<std::pair<Integer, Integer>> ShownOf(const std::map<Integer, Integer>& AFolds) {
  std::vector<std::pair<Integer, Integer>> res;
  Integer reach = -1;
  for (const auto& fold : AFolds) {
    if (fold.first <= reach) continue;
    res.push_back(fold);
    reach = fold.second;
  }
  return res;
}

void ExpectMatches(const TCollapsedFolds& AFolds, const std::map<Integer, Integer>& AModel, Integer ALines) {
  ASSERT_EQ(AFolds.All(), AModel);
  EXPECT_EQ(AFolds.Count(), static_cast<Integer>(AModel.size()));
  const auto shown = ShownOf(AModel);
  EXPECT_EQ(AFolds.Shown(), shown);
  for (Integer line = 0; line < ALines; ++line) {
    const auto it = AModel.find(line);
    EXPECT_EQ(AFolds.IsCollapsed(line), it != AModel.end()) << line;
    EXPECT_EQ(AFolds.End(line), it != AModel.end() ? it->second : -1) << line;
    Integer hiding = -1;
    for (const auto& [first, last] : shown)
      if (first <= line && line <= last) hiding = first;
    EXPECT_EQ(AFolds.StartHiding(line), hiding) << line;
  }
}

std::string Describe(const TCollapsedFolds& AFolds) {
  std::string s;
  for (const auto& [start, end] : AFolds.All())
    s += (s.empty() ? "" : " ") + std::to_string(start) + "-" + std::to_string(end);
  return s;
}

}  // namespace

// Folds recorded in any order (nested, crossing, appended after the last shown one, which keeps
// the shown list without rebuilding it) and removed alone or with those nested in them.
TEST(CollapsedFolds, RandomRecordsAndRemovalsMatchAMapOfFolds) {
  KIV_TEST_SEED(seed);
  constexpr Integer kLines = 60;
  std::mt19937 rng(seed);
  const auto pick = [&](Integer ALo, Integer AHi) { return std::uniform_int_distribution<Integer>(ALo, AHi)(rng); };
  for (int round = 0; round < 20; ++round) {
    FoldTable t(kLines);
    std::map<Integer, Integer> model;
    for (int step = 0; step < 60; ++step) {
      if (model.empty() || pick(0, 2) > 0) {
        const Integer start = pick(0, kLines - 2);
        if (model.count(start)) continue;
        // Ascending starts now and then, as folding all records them.
        const Integer end = pick(0, 3) == 0 ? kLines - 1 : pick(start + 1, std::min(kLines - 1, start + 12));
        t.Folds.Record(start, end);
        model[start] = end;
      } else {
        auto it = model.begin();
        std::advance(it, pick(0, static_cast<Integer>(model.size()) - 1));
        const Integer start = it->first, last = it->second - 1;
        const bool all = pick(0, 1) == 1;
        t.Folds.Remove(start, all);
        model.erase(start);
        if (all) std::erase_if(model, [&](const auto& F) { return F.first > start && F.first <= last; });
      }
      ExpectMatches(t.Folds, model, kLines);
      if (HasFailure()) return;
    }
    t.Folds.Clear();
    ExpectMatches(t.Folds, {}, kLines);
  }
}

TEST(CollapsedFolds, FoldsFollowLineEditsAfterValidate) {
  struct {
    const char* Name;
    void (*Edit)(TKivEditDocument&);
    const char* Left;
  } cases[] = {
      {"lines inserted above", [](TKivEditDocument& D) { D.Insert(0, u"a\r\nb\r\n"); }, "4-7 5-7 12-15"},
      {"a line inserted inside", [](TKivEditDocument& D) { D.InsertLine(4, u"x"); }, "2-6 3-6 11-14"},
      {"typing without a line break", [](TKivEditDocument& D) { D.Insert(D.GetLineStart(3), u"xyz"); },
       "2-5 3-5 10-13"},
      {"the start line deleted", [](TKivEditDocument& D) { D.DeleteLine(10); }, "2-5 3-5"},
      // A line-bound marker goes with its line: joining the end line to the line before opens
      // the fold.
      {"an end line joined to the one before", [](TKivEditDocument& D) { D.Delete(D.GetLineEnd(12), 2); },
       "2-5 3-5"},
      {"a fold emptied", [](TKivEditDocument& D) { D.Delete(D.GetLineEnd(10), D.GetLineStart(14) - D.GetLineEnd(10)); },
       "2-5 3-5"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    FoldTable t(20);
    t.Folds.Record(2, 5);
    t.Folds.Record(3, 5);
    t.Folds.Record(10, 13);
    c.Edit(t.Doc);
    t.Folds.Validate();
    EXPECT_EQ(Describe(t.Folds), c.Left);
    std::map<Integer, Integer> model = t.Folds.All();
    ExpectMatches(t.Folds, model, t.Doc.LinesCount());
  }
}

// The table against folds that each keep two line markers of their own (start and end, in a
// line-bound collection of the same kind): random insertions and deletions of text with every
// kind of line break (lone CR and LF, CR LF pairs made and split), at line starts, across lines,
// joining lines, up to the whole text, and undo. After each edit a fold stays while both markers
// do and its start lies before its end; of folds that came to start on one line the first in
// line order stays.
TEST(CollapsedFolds, FollowEditsAsFoldsWithMarkersOfTheirOwn) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  const auto pick = [&](Integer ALo, Integer AHi) { return std::uniform_int_distribution<Integer>(ALo, AHi)(rng); };
  static const char16_t* const kPieces[] = {u"x", u"\r\n", u"\n", u"\r", u"ab\r\ncd", u"\r\n\r\n", u"q\n", u"\rz"};
  for (int round = 0; round < 30; ++round) {
    FoldTable t(40);
    IKivMarkersRef own = t.Doc.CreateCustomMarkers(false, true, false);
    struct TOwnFold {
      IKivMarkRef Start, End;
    };
    std::vector<TOwnFold> model;
    const auto modelFolds = [&] {
      std::map<Integer, Integer> res;
      for (const TOwnFold& f : model) res.emplace(f.Start->Line(), f.End->Line());
      return res;
    };
    const auto addFolds = [&](int ACount) {
      const Integer lines = t.Doc.LinesCount();
      for (int i = 0; i < ACount && lines > 1; ++i) {
        const Integer start = pick(0, lines - 2);
        if (t.Folds.IsCollapsed(start)) continue;
        const Integer end = pick(start + 1, std::min(lines - 1, start + 8));
        t.Folds.Record(start, end);
        model.push_back({own->CreateLineMark(start), own->CreateLineMark(end)});
      }
    };
    addFolds(12);
    for (int step = 0; step < 40; ++step) {
      const Integer chars = t.Doc.CharsCount();
      const int kind = pick(0, 9);
      std::string what;
      if (kind < 4 || chars == 0) {
        Integer at = pick(0, chars);
        if (kind == 0) at = t.Doc.GetLineStart(pick(0, t.Doc.LinesCount() - 1));
        TKivString text = kPieces[pick(0, 7)];
        if (pick(0, 2) == 0) text += kPieces[pick(0, 7)];
        t.Doc.Insert(at, text);
        what = "insert at " + std::to_string(at) + " of " + std::to_string(text.size());
      } else if (kind < 9) {
        Integer at = pick(0, chars - 1);
        if (kind == 4) at = t.Doc.GetLineStart(pick(0, t.Doc.LinesCount() - 1));
        if (kind == 5) at = t.Doc.GetLineEnd(pick(0, t.Doc.LinesCount() - 1));
        const Integer count = std::min(chars - at, kind == 6 ? pick(1, 60) : pick(1, 4));
        if (count <= 0) continue;
        t.Doc.Delete(at, count);
        what = "delete at " + std::to_string(at) + " of " + std::to_string(count);
      } else if (t.Doc.CanUndo()) {
        t.Doc.Undo();
        what = "undo";
      }
      if (pick(0, 30) == 0) {
        t.Doc.Delete(0, t.Doc.CharsCount());
        t.Doc.Insert(0, NumberedLines(30));
        what = "whole text replaced";
      }
      t.Folds.Validate();
      // The model's rules: both markers stay, the start before the end, the first start of a line.
      std::vector<TOwnFold> kept;
      std::vector<Integer> starts;
      for (const TOwnFold& f : model) {
        if (!f.Start->IsValid() || !f.End->IsValid() || f.Start->Line() >= f.End->Line()) continue;
        kept.push_back(f);
      }
      std::stable_sort(kept.begin(), kept.end(),
                       [](const TOwnFold& A, const TOwnFold& B) { return A.Start->Line() < B.Start->Line(); });
      model.clear();
      for (const TOwnFold& f : kept)
        if (model.empty() || model.back().Start->Line() != f.Start->Line()) model.push_back(f);
      const auto expected = modelFolds();
      ASSERT_EQ(t.Folds.All(), expected) << "round " << round << " step " << step << ": " << what;
      ExpectMatches(t.Folds, expected, t.Doc.LinesCount());
      if (HasFailure()) return;
      if (pick(0, 4) == 0) addFolds(4);
    }
    t.Doc.DetachCustomMarkers(own);
  }
}

// Nested folds share one end: removing either start keeps the other whole, and the shared end
// goes with the last start.
TEST(CollapsedFolds, NestedFoldsShareTheirEnd) {
  for (const Integer removeFirst : {2, 3}) {
    FoldTable t(12);
    t.Folds.Record(2, 6);
    t.Folds.Record(3, 6);
    t.Folds.Remove(removeFirst, false);
    const Integer other = removeFirst == 2 ? 3 : 2;
    ExpectMatches(t.Folds, {{other, 6}}, t.Doc.LinesCount());
    t.Doc.InsertLine(0, u"x");
    t.Folds.Validate();
    ExpectMatches(t.Folds, {{other + 1, 7}}, t.Doc.LinesCount());
    t.Folds.Remove(other + 1, false);
    EXPECT_EQ(t.Folds.Count(), 0);
    t.Folds.Record(2, 7);  // the end line is free again
    ExpectMatches(t.Folds, {{2, 7}}, t.Doc.LinesCount());
  }
}

TEST(SelectionMarks, PointsFollowEditsWhileMarked) {
  TKivEditDocument doc;
  doc.Insert(0, u"0123456789");
  TSelectionMarks m;
  // Without markers the points are plain offsets.
  m.SetCursor({4, 2});
  EXPECT_FALSE(m.Attached());
  doc.Insert(0, u"ab");
  EXPECT_EQ(m.Cursor(), (TOffsetPoint{4, 2}));

  m.CreateMarkers(doc);
  EXPECT_TRUE(m.Attached());
  m.SetCursor({4, 2});  // a marker now, the cells inside the character kept
  m.SetSelStart({2, 0});
  m.SetSelEnd({8, 0});
  m.SetBlock(true);
  doc.Insert(0, u"xyz");
  EXPECT_EQ(m.Cursor(), (TOffsetPoint{7, 2}));
  EXPECT_EQ(m.SelStart(), (TOffsetPoint{5, 0}));
  EXPECT_EQ(m.SelEnd(), (TOffsetPoint{11, 0}));
  EXPECT_TRUE(m.Block());
  // Deleting a point's text keeps its marker, at the deletion's start.
  doc.Delete(6, 3);
  EXPECT_EQ(m.Cursor().Offset, 6);
  EXPECT_EQ(m.SelEnd().Offset, 8);

  // Unmarked, the points stay where they were.
  m.Unmark();
  const TOffsetPoint cursor = m.Cursor(), start = m.SelStart(), end = m.SelEnd();
  doc.Insert(0, u"more");
  EXPECT_EQ(m.Cursor(), cursor);
  EXPECT_EQ(m.SelStart(), start);
  EXPECT_EQ(m.SelEnd(), end);
  doc.DetachCustomMarkers(m.Markers());
}

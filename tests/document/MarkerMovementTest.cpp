// How markers follow insertions and deletions, per kind of collection.
#include <gtest/gtest.h>

#include <optional>

#include "KivErrors.h"
#include "MarkerFakeHost.h"

namespace {

// Kinds of collections: P plain, K keeps marks, B line-bound (breakpoints), M line-bound and
// keeping marks (bookmarks: also wiped by a whole-text deletion).
struct TMoveCase {
  const char* Name;
  TKivString Text;
  char Kind;
  std::vector<Integer> Pos;  // created in this order
  bool Insert;
  Integer Start;
  TKivString Str;                // inserted text
  Integer Count;                 // deleted count
  std::vector<Integer> ExpPos;   // -1: no longer valid
  std::vector<Integer> ExpLine;  // ignored for invalid markers
  std::optional<std::vector<Integer>> ExpPosIncremental = std::nullopt;
  std::optional<std::vector<Integer>> ExpLineIncremental = std::nullopt;
  // Edits that cut a CR LF pair; the incremental index models the others.
  bool RefreshedOnly = false;
};

TMoveCase Ins(const char* AName, TKivString AText, char AKind, std::vector<Integer> APos, Integer AStart,
              TKivString AStr, std::vector<Integer> AExpPos, std::vector<Integer> AExpLine) {
  return {AName, AText, AKind, APos, true, AStart, AStr, 0, AExpPos, AExpLine};
}

TMoveCase Del(const char* AName, TKivString AText, char AKind, std::vector<Integer> APos, Integer AStart,
              Integer ACount, std::vector<Integer> AExpPos, std::vector<Integer> AExpLine) {
  return {AName, AText, AKind, APos, false, AStart, u"", ACount, AExpPos, AExpLine};
}

const TKivString T3 = u"ab\ncd\nef";          // lines start at 0, 3, 6
const TKivString T3CrLf = u"ab\r\ncd\r\nef";  // lines start at 0, 4, 8
const TKivString Digits = u"0123456789";

std::vector<TMoveCase> Cases() {
  std::vector<TMoveCase> c = {
      Ins("plain: insertion at the marker moves it", Digits, 'P', {5}, 5, u"ab", {7}, {0}),
      Ins("plain: insertion before the marker moves it", Digits, 'P', {5}, 4, u"ab", {7}, {0}),
      Ins("plain: insertion after the marker leaves it", Digits, 'P', {5}, 6, u"ab", {5}, {0}),
      Ins("plain: inserted line breaks shift lines", T3, 'P', {7, 1}, 1, u"x\ny\n", {11, 5}, {4, 2}),
      Ins("plain: insertion at the end", T3, 'P', {8}, 8, u"\n", {9}, {3}),
      Ins("line-bound: typing at a line start leaves the marker", T3, 'B', {3}, 3, u"x", {3}, {1}),
      Ins("line-bound: text not ending with a break leaves it", T3, 'B', {3}, 3, u"\nx", {3}, {1}),
      Ins("line-bound: a line break at the line start moves it down", T3, 'B', {3}, 3, u"\n", {4}, {2}),
      Ins("line-bound: CR LF at the line start moves it down", T3, 'M', {3, 6}, 3, u"\r\n", {5, 8}, {2, 3}),
      Ins("line-bound: text ending with a break moves it", T3, 'M', {3}, 3, u"x\ny\n", {7}, {3}),
      Ins("line-bound: LF after a lone CR joins the pair, marker at the line start", u"a\rb", 'M', {2}, 2,
          u"\nx", {3}, {1}),
      Del("plain: marker in the deleted range is deleted", Digits, 'P', {2, 5, 8}, 3, 4, {2, -1, 4},
          {0, 0, 0}),
      Del("plain: marker at the deletion end stays outside", Digits, 'P', {7, 3}, 3, 4, {3, -1}, {0, 0}),
      Del("plain: markers all before the deletion stay", T3, 'P', {1, 4}, 5, 3, {1, 4}, {0, 1}),
      Del("keep: markers all before the deletion stay", T3, 'K', {4, 1}, 5, 3, {4, 1}, {1, 0}),
      Del("breakpoint before a join in its line stays", T3, 'B', {3}, 4, 2, {3}, {1}),
      Ins("keep: markers all before the insertion stay", T3, 'K', {1, 4}, 7, u"x\n", {1, 4}, {0, 1}),
      Del("keep: marker in the deleted range moves to its start", Digits, 'K', {2, 5, 8}, 3, 4, {2, 3, 4},
          {0, 0, 0}),
      Del("keep: markers meeting at one offset keep creation order", Digits, 'K', {4, 2}, 1, 3, {1, 1},
          {0, 0}),
      Del("plain: deleted lines shift later lines", T3, 'P', {7, 4}, 1, 4, {3, -1}, {1, 0}),
      Del("breakpoint goes with its line, next line's stays", T3, 'B', {3, 6}, 3, 3, {-1, 3}, {0, 1}),
      Del("bookmark of a deleted line moves to the line start", T3, 'M', {3, 6}, 3, 3, {3, 3}, {1, 1}),
      Del("two whole lines from column 0", T3, 'B', {0, 3, 6}, 0, 6, {-1, -1, 0}, {0, 0, 0}),
      Del("deleting inside a line keeps its line start marker", T3, 'B', {3}, 3, 1, {3}, {1}),
      Del("joining lines deletes the joined line's breakpoint", T3, 'B', {3, 6}, 1, 2, {-1, 4}, {0, 1}),
      Del("joining lines moves a bookmark to the line start", T3, 'M', {3}, 1, 2, {0}, {0}),
      Del("line-bound marker at the start of a join stays", T3, 'B', {1, 3}, 1, 2, {1, -1}, {0, 0}),
      Del("deletion from mid-line across a line", T3, 'B', {3, 6}, 1, 4, {-1, 2}, {0, 1}),
      Del("bookmark keep moves stay sorted", T3, 'M', {6, 3}, 4, 3, {3, 3}, {1, 1}),
      Del("CR LF: whole line from column 0", T3CrLf, 'B', {4, 8}, 4, 4, {-1, 4}, {0, 1}),
      Del("CR LF: deleting the pair joins the lines", T3CrLf, 'M', {4, 8}, 2, 2, {0, 6}, {0, 1}),
      Del("CR LF: breakpoint of the joined line goes", T3CrLf, 'B', {4, 8}, 2, 2, {-1, 6}, {0, 1}),
      Del("whole text: bookmarks are removed", u"ab\ncd\n", 'M', {0, 3, 6}, 0, 6, {-1, -1, -1}, {0, 0, 0}),
      Del("whole text: breakpoints in the text are removed", u"ab\ncd", 'B', {0, 3}, 0, 5, {-1, -1}, {0, 0}),
      Del("whole text: breakpoint on the empty last line goes too", u"ab\n", 'B', {3}, 0, 3, {-1}, {0}),
      Del("whole text: keep markers gather at 0", u"ab\ncd", 'K', {1, 5}, 0, 5, {0, 0}, {0, 0}),
      Del("whole text: plain marker at the end survives", u"ab\ncd", 'P', {2, 5}, 0, 5, {-1, 0}, {0, 0}),
  };
  // Deleting what stood between a lone CR and an LF: the index may join them into one pair
  // (the line-bound marker then goes to the start of the next line) or keep two separators.
  TMoveCase join = Del("CR and LF brought together", u"a\rX\nb", 'B', {2, 5}, 2, 1, {3, 4}, {1, 1});
  join.ExpPosIncremental = std::vector<Integer>{2, 4};
  join.ExpLineIncremental = std::vector<Integer>{1, 2};
  c.push_back(join);
  TMoveCase joinPlain =
      Del("CR and LF brought together, plain", u"a\rX\nb", 'P', {3, 4}, 2, 1, {2, 3}, {1, 1});
  joinPlain.ExpLineIncremental = std::vector<Integer>{1, 2};
  c.push_back(joinPlain);
  for (TMoveCase undoCase : {
           // The CR then ends line 0 alone: line 1 stays, emptied, with its markers.
           Del("CR LF: deletion from the LF keeps the next line's bookmark", T3CrLf, 'M', {4, 8}, 3, 3, {3, 5},
               {1, 2}),
           Del("CR LF: deletion from the LF keeps the next line's breakpoint", T3CrLf, 'B', {4, 8}, 3, 3, {3, 5},
               {1, 2}),
           Del("CR LF: deleting just the LF keeps the markers", T3CrLf, 'B', {4, 8}, 3, 1, {3, 7}, {1, 2}),
           Del("CR LF: from the LF through the next line", T3CrLf, 'B', {4, 8}, 3, 5, {-1, 3}, {1, 1}),
           Ins("CR LF: undo inserts between CR and LF", T3CrLf, 'M', {4}, 3, u"x", {5}, {2}),
       }) {
    undoCase.RefreshedOnly = true;
    c.push_back(undoCase);
  }
  return c;
}

IKivMarkersRef MakeCollection(TMarkerFakeHost& AHost, char AKind) {
  switch (AKind) {
    case 'P':
      return AHost.Manager().CreateMarks(false, false, false);
    case 'K':
      return AHost.Manager().CreateMarks(false, true, false);
    case 'B':
      return AHost.Manager().CreateMarks(true, false, true);
    default: {
      auto c = AHost.Manager().CreateMarks(true, true, true);
      AHost.WipeOnWholeDelete = static_cast<TMarkCollection*>(c.get());
      return c;
    }
  }
}

void RunCase(const TMoveCase& c, TMarkerFakeHost::TIndexMode AMode) {
  TMarkerFakeHost host(c.Text, AMode);
  auto coll = MakeCollection(host, c.Kind);
  TKivMarkArray marks;
  for (Integer p : c.Pos) marks.push_back(coll->CreateMark(p));
  for (auto& m : marks) m->Line();  // cache the lines: the edit must keep them right
  if (c.Insert)
    host.Insert(c.Start, c.Str);
  else
    host.Delete(c.Start, c.Count);

  const bool incr = AMode == TMarkerFakeHost::kIncremental;
  const auto& expPos = incr && c.ExpPosIncremental ? *c.ExpPosIncremental : c.ExpPos;
  const auto& expLine = incr && c.ExpLineIncremental ? *c.ExpLineIncremental : c.ExpLine;
  for (size_t i = 0; i < marks.size(); ++i) {
    SCOPED_TRACE("marker " + std::to_string(i));
    EXPECT_EQ(marks[i]->IsValid(), expPos[i] >= 0);
    if (!marks[i]->IsValid()) continue;
    EXPECT_EQ(marks[i]->Pos(), expPos[i]);
    auto* impl = static_cast<TMark*>(marks[i].get());
    if (impl->CachedLine() >= 0) {
      EXPECT_EQ(impl->CachedLine(), expLine[i]) << "stale cached line";
    }
    EXPECT_EQ(marks[i]->Line(), expLine[i]);
  }
  // The collection is ordered by position, then creation.
  std::vector<size_t> order;
  for (size_t i = 0; i < marks.size(); ++i)
    if (marks[i]->IsValid()) order.push_back(i);
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return marks[a]->Pos() < marks[b]->Pos(); });
  ASSERT_EQ(coll->Count(), static_cast<Integer>(order.size()));
  for (size_t k = 0; k < order.size(); ++k) EXPECT_EQ(coll->Marks(static_cast<Integer>(k)), marks[order[k]]);
}

TEST(MarkerMovementTest, TableRefreshedIndex) {
  for (const auto& c : Cases()) {
    SCOPED_TRACE(c.Name);
    RunCase(c, TMarkerFakeHost::kRefresh);
  }
}

TEST(MarkerMovementTest, TableIncrementalIndex) {
  for (const auto& c : Cases()) {
    if (c.RefreshedOnly) continue;
    SCOPED_TRACE(c.Name);
    RunCase(c, TMarkerFakeHost::kIncremental);
  }
}

TEST(MarkerMovementTest, DeletionReportsLineBoundMarkersBeforeRemovingThem) {
  TMarkerFakeHost host(T3);
  auto breaks = host.Manager().CreateMarks(true, false, true);
  auto books = host.Manager().CreateMarks(true, true, true);
  auto quiet = host.Manager().CreateMarks(false, false, false);
  breaks->CreateMark(3);
  breaks->CreateMark(6);
  books->CreateMark(3);
  quiet->CreateMark(4);
  host.Log.clear();
  std::vector<Integer> seen;
  host.OnMarkDeleting = [&](const IKivMarkersRef& c, const IKivMarkRef& m) {
    EXPECT_EQ(c, breaks);
    EXPECT_TRUE(m->IsValid()) << "reported before removal";
    seen.push_back(m->Pos());
  };
  host.Delete(3, 3);
  // Bookmarks keep their marks and the plain collection produces no events.
  EXPECT_EQ(host.Log, (std::vector<std::string>{"BeforeMarkChange", "MarksDeleting 3", "AfterMarkChange"}));
  EXPECT_EQ(seen, std::vector<Integer>{3});
  EXPECT_EQ(breaks->Count(), 1);
  EXPECT_EQ(quiet->Count(), 0);
}

TEST(MarkerMovementTest, GetMarksToDeleteHonoursTheKeepRule) {
  TMarkerFakeHost host(T3);
  auto books = host.Manager().CreateMarks(true, true, true);
  auto* impl = static_cast<TMarkCollection*>(books.get());
  auto b3 = books->CreateMark(3);
  books->CreateMark(6);
  EXPECT_EQ(impl->GetMarksToDelete(3, 3, true), TKivMarkArray{});
  EXPECT_EQ(impl->GetMarksToDelete(3, 3, false), TKivMarkArray{b3});
  EXPECT_EQ(impl->GetMarksToDelete(3, 0, false), TKivMarkArray{});
  EXPECT_THROW(impl->GetMarksToDelete(6, 3, false), EKivEditDocError);
  EXPECT_EQ(books->Count(), 2);
}

TEST(MarkerMovementTest, WholeTextDeletionReportsEveryBookmark) {
  TMarkerFakeHost host(u"ab\ncd\n");
  auto books = host.Manager().CreateMarks(true, true, true);
  host.WipeOnWholeDelete = static_cast<TMarkCollection*>(books.get());
  books->CreateMark(0);
  books->CreateMark(6);  // the empty last line
  host.Log.clear();
  host.Delete(0, 6);
  EXPECT_EQ(host.Log, (std::vector<std::string>{"BeforeMarkChange", "MarksDeleting 0 6", "AfterMarkChange"}));
  EXPECT_EQ(books->Count(), 0);
}

TEST(MarkerMovementTest, ZeroCountsChangeNothing) {
  TMarkerFakeHost host(T3);
  auto coll = host.Manager().CreateMarks(false, false, false);
  auto m = coll->CreateMark(4);
  host.Manager().ContentInserted(4, 0);
  host.Manager().ContentDeleting(4, 0);
  host.Manager().ContentDeleted(4, 0);
  EXPECT_EQ(m->Pos(), 4);
  EXPECT_TRUE(m->IsValid());
}

}  // namespace

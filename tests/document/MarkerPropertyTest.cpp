// Random edits on a text with markers in every kind of collection.
//
// After every edit: each valid marker's line (cached or not) is the line of its position;
// collections are ordered by position, then creation; line marks of line-bound collections
// are still at line starts; plain and keep collections match a direct model of their rule.
// Edits seldom fall between a CR and its LF: the document re-expresses such edits, but undo and
// redo replay them as they were recorded (only with the refreshed index: the incremental one
// models the document's own edits).
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "KivTestSeed.h"
#include "MarkerFakeHost.h"

namespace {

struct TTracked {
  IKivMarkRef Mark;
  Integer Order;     // creation order across the run
  bool AtLineStart;  // created by CreateLineMark in a line-bound collection
  Integer ModelPos;  // plain and keep collections: expected position (-1: deleted)
};

struct TTrackedColl {
  IKivMarkersRef Coll;
  bool LineBound, Keep;
  std::vector<TTracked> Marks;
};

bool SplitsPair(const TKivString& AText, Integer AOffset) {
  return AOffset > 0 && AOffset < static_cast<Integer>(AText.size()) && AText[AOffset - 1] == u'\r' &&
         AText[AOffset] == u'\n';
}

TKivString RandomText(std::mt19937& ARng, int AMax) {
  static const char16_t kAlphabet[] = {u'a', u'b', u'\r', u'\n', u'c'};
  const int n = std::uniform_int_distribution<int>(1, AMax)(ARng);
  TKivString s;
  for (int i = 0; i < n; ++i) s += kAlphabet[std::uniform_int_distribution<int>(0, 4)(ARng)];
  return s;
}

std::string Escaped(const TKivString& AText) {
  std::string s = "\"";
  for (char16_t c : AText) s += c == u'\r' ? "\\r" : c == u'\n' ? "\\n" : std::string(1, char(c));
  return s + "\"";
}

void RunSeed(uint32_t ASeed, TMarkerFakeHost::TIndexMode AMode, int AEdits) {
  std::mt19937 rng(ASeed);
  TMarkerFakeHost host(RandomText(rng, 40), AMode);
  std::vector<TTrackedColl> colls;
  for (bool lineBound : {false, true})
    for (bool keep : {false, true})
      for (bool events : {false, true})
        colls.push_back({host.Manager().CreateMarks(lineBound, keep, events), lineBound, keep, {}});
  host.WipeOnWholeDelete = static_cast<TMarkCollection*>(colls[7].Coll.get());  // line-bound, keep, events
  Integer order = 0;
  std::string lastEdit;
  // The incremental index follows the document's own edits, which never split a pair.
  const bool incremental = AMode == TMarkerFakeHost::kIncremental;
  auto rnd = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };

  for (int step = 0; step < AEdits; ++step) {
    SCOPED_TRACE("seed " + std::to_string(ASeed) +
                 (AMode == TMarkerFakeHost::kRefresh ? " refreshed" : " incremental") + " index, step " +
                 std::to_string(step));
    const Integer len = host.MarkHostCharsCount();
    // Top up markers now and then.
    if (rnd(0, 3) == 0) {
      auto& tc = colls[rnd(0, static_cast<int>(colls.size()) - 1)];
      if (tc.LineBound && rnd(0, 1) == 0) {
        auto m = tc.Coll->CreateLineMark(rnd(0, host.MarkHostLinesCount() - 1));
        tc.Marks.push_back({m, order++, true, m->Pos()});
      } else {
        const Integer p = rnd(0, len);
        auto m = tc.Coll->CreateMark(p);
        if (rnd(0, 1)) m->Line();
        tc.Marks.push_back({m, order++, false, p});
      }
    }
    // One edit that keeps CR LF pairs whole.
    const bool insert = len == 0 || rnd(0, 1) == 0;
    if (insert) {
      Integer s = rnd(0, len);
      if (SplitsPair(host.Text(), s) && (incremental || rnd(0, 3))) continue;
      TKivString str = RandomText(rng, 6);
      lastEdit = "insert at " + std::to_string(s) + " of " + Escaped(str) + " into " + Escaped(host.Text());
      host.Insert(s, str);
      const Integer n = static_cast<Integer>(str.size());
      for (auto& tc : colls)
        if (!tc.LineBound)
          for (auto& t : tc.Marks)
            if (t.ModelPos >= s) t.ModelPos += n;
    } else {
      Integer s = rnd(0, len - 1);
      Integer n = rnd(0, 4) == 0 ? len - s : rnd(1, std::min(8, len - s));
      if (rnd(0, 20) == 0) s = 0, n = len;
      if ((SplitsPair(host.Text(), s) || SplitsPair(host.Text(), s + n)) && (incremental || rnd(0, 3)))
        continue;
      lastEdit = "delete " + std::to_string(s) + ", " + std::to_string(n) + " from " + Escaped(host.Text());
      host.Delete(s, n);
      for (auto& tc : colls)
        if (!tc.LineBound)
          for (auto& t : tc.Marks) {
            if (t.ModelPos < 0 || t.ModelPos < s) continue;
            if (t.ModelPos < s + n)
              t.ModelPos = tc.Keep ? s : -1;
            else
              t.ModelPos -= n;
          }
    }

    SCOPED_TRACE(lastEdit);
    for (auto& tc : colls) {
      Integer prevPos = -1, prevOrder = -1;
      std::map<const IKivMark*, const TTracked*> byMark;
      for (auto& t : tc.Marks) byMark[t.Mark.get()] = &t;
      for (Integer i = 0; i < tc.Coll->Count(); ++i) {
        auto m = tc.Coll->Marks(i);
        const TTracked& t = *byMark.at(m.get());
        ASSERT_TRUE(m->IsValid());
        ASSERT_TRUE(m->Pos() > prevPos || (m->Pos() == prevPos && t.Order > prevOrder))
            << "unsorted at " << i << " pos " << m->Pos();
        prevPos = m->Pos();
        prevOrder = t.Order;
        const Integer cached = static_cast<TMark*>(m.get())->CachedLine();
        const Integer actual = host.MarkHostLineByOffset(m->Pos());
        ASSERT_TRUE(cached == -1 || cached == actual) << "stale line " << cached << " at pos " << m->Pos();
        if (t.AtLineStart) {
          ASSERT_EQ(host.MarkHostLineStart(actual), m->Pos()) << "line mark left its line start";
        }
      }
      Integer valid = 0;
      for (auto& t : tc.Marks) {
        if (!tc.LineBound) {
          ASSERT_EQ(t.Mark->IsValid(), t.ModelPos >= 0);
          if (t.ModelPos >= 0) {
            ASSERT_EQ(t.Mark->Pos(), t.ModelPos);
          }
        }
        valid += t.Mark->IsValid();
      }
      ASSERT_EQ(valid, tc.Coll->Count());
      std::erase_if(tc.Marks, [](const TTracked& t) { return !t.Mark->IsValid(); });
    }
  }
}

TEST(MarkerPropertyTest, RandomEditsKeepMarkersConsistent) {
  KIV_TEST_SEED(base);
  for (uint32_t k = 0; k < 40; ++k) {
    RunSeed(base + k, TMarkerFakeHost::kRefresh, 150);
    RunSeed(base + k, TMarkerFakeHost::kIncremental, 150);
    if (HasFatalFailure()) return;
  }
}

}  // namespace

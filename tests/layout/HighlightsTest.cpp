#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "KivErrors.h"
#include "KivTestSeed.h"
#include "internal/HighlightsSparse.h"

namespace {

std::string RangesText(const THighlightsSparse& AHl) {
  std::string s;
  for (const TSARange& r : AHl.GetRanges())
    s += "(" + std::to_string(r.Start) + "," + std::to_string(r.Count) + ")";
  return s;
}

// The reference: one label per offset (0 = not highlighted). Each range has a label of its own, so
// touching ranges stay apart; the ranges are the maximal runs of one label.
struct LabelModel {
  std::vector<int> Labels = std::vector<int>(60, 0);
  int Next = 1;

  void Add(int AStart, int ACount) {
    if (ACount == 0) return;
    std::vector<int> merged;
    for (int i = AStart; i < AStart + ACount; ++i)
      if (Labels[i]) merged.push_back(Labels[i]);
    const int label = Next++;
    for (int& l : Labels)
      if (l && std::find(merged.begin(), merged.end(), l) != merged.end()) l = label;
    for (int i = AStart; i < AStart + ACount; ++i) Labels[i] = label;
  }
  void Remove(int AStart, int ACount) {
    if (ACount == 0) return;
    for (int i = AStart; i < AStart + ACount; ++i) Labels[i] = 0;
    // The part of a split range right of the hole becomes a range of its own.
    const int right = AStart + ACount;
    if (right < int(Labels.size()) && AStart > 0 && Labels[right] && Labels[right] == Labels[AStart - 1]) {
      const int old = Labels[right], label = Next++;
      for (int i = right; i < int(Labels.size()) && Labels[i] == old; ++i) Labels[i] = label;
    }
  }
  void Delete(int AStart, int ACount) {
    Labels.erase(Labels.begin() + AStart, Labels.begin() + AStart + ACount);
    Labels.resize(Labels.size() + ACount, 0);
  }
  void Insert(int AStart, int ACount) {
    const bool inside = AStart > 0 && Labels[AStart] && Labels[AStart] == Labels[AStart - 1];
    Labels.insert(Labels.begin() + AStart, ACount, inside ? Labels[AStart] : 0);
    Labels.resize(Labels.size() - ACount);
  }
  std::string Text() const {
    std::string s;
    for (size_t i = 0; i < Labels.size();) {
      if (!Labels[i]) {
        ++i;
        continue;
      }
      size_t j = i;
      while (j < Labels.size() && Labels[j] == Labels[i]) ++j;
      s += "(" + std::to_string(i) + "," + std::to_string(j - i) + ")";
      i = j;
    }
    return s;
  }
};

}  // namespace

TEST(HighlightsSparse, FollowsAddsRemovesAndEdits) {
  THighlightsSparse hl;
  struct Step {
    char Op;  // a add, r remove, i insert, d delete
    Integer Start, Count;
    const char* Expected;
  } steps[] = {
      {'a', 0, 5, "(0,5)"},
      {'a', 10, 5, "(0,5)(10,5)"},
      {'a', 4, 7, "(0,15)"},
      {'a', 15, 3, "(0,15)(15,3)"},  // touching ranges are not joined
      {'a', 20, 0, "(0,15)(15,3)"},
      {'r', 5, 2, "(0,5)(7,8)(15,3)"},
      {'i', 7, 2, "(0,5)(9,8)(17,3)"},  // at a range's start: moves, not highlighted
      {'i', 10, 1, "(0,5)(9,9)(18,3)"},
      {'i', 5, 1, "(0,5)(10,9)(19,3)"},  // at a range's end: the range does not grow
      {'d', 3, 9, "(0,3)(3,7)(10,3)"},
      {'d', 10, 3, "(0,3)(3,7)"},  // a range deleted whole leaves nothing behind
      {'d', 2, 2, "(0,2)(2,6)"},
      {'r', 0, 100, ""},
  };
  for (const Step& s : steps) {
    switch (s.Op) {
      case 'a':
        hl.AddRange(s.Start, s.Count);
        break;
      case 'r':
        hl.RemoveRange(s.Start, s.Count);
        break;
      case 'i':
        hl.AfterInsert(s.Start, s.Count);
        break;
      case 'd':
        hl.BeforeDelete(s.Start, s.Count);
        break;
    }
    EXPECT_EQ(RangesText(hl), s.Expected) << s.Op << "(" << s.Start << "," << s.Count << ")";
  }
}

TEST(HighlightsSparse, FindRangeIdxAndBadArguments) {
  THighlightsSparse hl;
  EXPECT_EQ(hl.FindRangeIdx(0), 0);
  hl.AddRange(5, 5);
  hl.AddRange(10, 2);
  struct {
    Integer Offset, Idx;
  } cases[] = {{0, 0}, {5, 0}, {9, 0}, {10, 1}, {11, 1}, {12, 2}, {100, 2}};
  for (const auto& c : cases) EXPECT_EQ(hl.FindRangeIdx(c.Offset), c.Idx) << c.Offset;

  const std::string before = RangesText(hl);
  EXPECT_THROW(hl.AddRange(-1, 3), EInvalidArgument);
  EXPECT_THROW(hl.AddRange(3, -1), EInvalidArgument);
  EXPECT_THROW(hl.RemoveRange(0x7FFFFFF0, 0x20), EInvalidArgument);
  EXPECT_THROW(hl.AfterInsert(0, 0x7FFFFFF5), EInvalidArgument);
  EXPECT_EQ(RangesText(hl), before);
}

TEST(HighlightsSparse, RandomOperationsMatchALabelModel) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  for (int round = 0; round < 200; ++round) {
    THighlightsSparse hl;
    LabelModel model;
    for (int step = 0; step < 40; ++step) {
      // Keep everything inside the model's 60 offsets: inserts push the tail out only past 40.
      const int start = int(rng() % 30), count = int(rng() % 8);
      std::string op;
      switch (rng() % 4) {
        case 0:
          hl.AddRange(start, count);
          model.Add(start, count);
          op = "add";
          break;
        case 1:
          hl.RemoveRange(start, count);
          model.Remove(start, count);
          op = "remove";
          break;
        case 2:
          hl.AfterInsert(start, count);
          model.Insert(start, count);
          op = "insert";
          break;
        case 3:
          hl.BeforeDelete(start, count);
          model.Delete(start, count);
          op = "delete";
          break;
      }
      // Trim both to 40 offsets so that nothing the model lost at its end is compared.
      hl.RemoveRange(40, 1000);
      model.Remove(40, 20);
      ASSERT_EQ(RangesText(hl), model.Text())
          << "round " << round << " step " << step << " " << op << "(" << start << "," << count << ")";
      for (const TSARange& r : hl.GetRanges()) ASSERT_GT(r.Count, 0);
    }
  }
}

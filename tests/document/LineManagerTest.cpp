// The line index: lookups, separator kinds, CR LF pairing under edits, and a property test
// against a fresh rebuild after every random edit.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "DocumentTestSupport.h"
#include "KivTestSeed.h"
#include "internal/GapStorage.h"
#include "internal/LineManager.h"

namespace {

constexpr int32_t kCRLF = static_cast<int32_t>(TLineManager::LineEndFlagCRLF);

// The line of an offset by a linear scan of the entries.
Integer ReferenceLine(const TKivIntArray& AEntries, Integer AOffset) {
  Integer line = 0;
  while (static_cast<Integer>(AEntries[static_cast<size_t>(line)] & TLineManager::LineEndOffsetMask) <
         AOffset)
    ++line;
  return line;
}

// The start of line ALine > 0: just after the previous line's separator.
Integer ReferenceStart(const TKivIntArray& AEntries, Integer ALine) {
  const auto prev = static_cast<Cardinal>(AEntries[static_cast<size_t>(ALine - 1)]);
  return static_cast<Integer>(prev & TLineManager::LineEndOffsetMask) +
         ((prev & TLineManager::LineEndFlagCRLF) != 0 ? 2 : 1);
}

// The entries of a text, computed the plainest way.
TKivIntArray Oracle(const TKivString& AText) {
  TKivIntArray entries;
  const auto n = static_cast<Integer>(AText.size());
  for (Integer i = 0; i < n; ++i) {
    if (AText[i] == u'\r' && i + 1 < n && AText[i + 1] == u'\n')
      entries.push_back(i++ | kCRLF);
    else if (AText[i] == u'\r' || AText[i] == u'\n')
      entries.push_back(i);
  }
  entries.push_back(n);
  return entries;
}

// A storage with its index, edited the way the document does it.
struct TIndexedText {
  explicit TIndexedText(TKivStringView AText = {}, Integer AGapSize = 1024)
      : Storage(AGapSize), Lines(&Storage) {
    Storage.InsertChars(0, AText);
    Lines.Refresh();
  }
  TLineManResult Insert(Integer AAt, TKivStringView AText) {
    Storage.InsertChars(AAt, AText);
    return Lines.ContentInserted(AAt, static_cast<Integer>(AText.size()));
  }
  TLineManResult Delete(Integer AAt, Integer ACount) {
    const TLineManResult r = Lines.ContentDeleting(AAt, ACount);
    // The storage refuses to delete nothing at offset 0 (it checks the index before).
    if (ACount > 0) Storage.Delete(AAt, ACount);
    return r;
  }
  TKivString Line(Integer AIdx) { return SegmentToString(Lines.GetAt(AIdx)); }
  // The index a fresh rebuild gives for the current text.
  TKivIntArray Fresh() { return TLineManager(&Storage).Entries(); }

  TGapStorage Storage;
  TLineManager Lines;
};

TEST(LineManagerTest, EmptyTextHasOneEmptyLine) {
  TIndexedText t;
  EXPECT_EQ(t.Lines.Count(), 1);
  const TKivSegment s = t.Lines.GetAt(0);
  EXPECT_EQ(s.Start, 0);
  EXPECT_EQ(s.Count, 0);
  EXPECT_EQ(s.Source, &t.Storage);
  TKivLineSeparator kind = lsLF;
  EXPECT_FALSE(t.Lines.GetLineEndKind(0, kind));
  EXPECT_EQ(t.Lines.GetLineByOffset(0), 0);
  EXPECT_EQ(t.Lines.Entries(), TKivIntArray{0});
}

TEST(LineManagerTest, EntriesKindsAndStartsOfMixedSeparators) {
  const struct {
    TKivString Text;
    TKivIntArray Entries;
    std::vector<TKivLineSeparator> Kinds;
  } cases[] = {
      {u"a\r\nb\rc\nd", {1 | kCRLF, 4, 6, 8}, {lsCRLF, lsCR, lsLF}},
      {u"\r\n", {0 | kCRLF, 2}, {lsCRLF}},
      {u"\n\r", {0, 1, 2}, {lsLF, lsCR}},
      {u"\r\r\n\n", {0, 1 | kCRLF, 3, 4}, {lsCR, lsCRLF, lsLF}},
      {u"abc", {3}, {}},
      {u"x\r", {1, 2}, {lsCR}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(KivToUtf8(c.Text));
    TIndexedText t(c.Text);
    EXPECT_EQ(t.Lines.Entries(), c.Entries);
    ASSERT_EQ(t.Lines.Count(), static_cast<Integer>(c.Kinds.size()) + 1);
    for (Integer i = 0; i < t.Lines.Count(); ++i) {
      TKivLineSeparator kind = lsLF;
      const bool hasSep = t.Lines.GetLineEndKind(i, kind);
      EXPECT_EQ(hasSep, i + 1 < t.Lines.Count());
      if (hasSep) {
        EXPECT_EQ(kind, c.Kinds[static_cast<size_t>(i)]) << i;
      }
    }
  }
  TIndexedText t(u"a\r\nb\rc\nd");
  EXPECT_EQ(t.Lines.GetLineStart(1), 3);
  EXPECT_EQ(t.Lines.GetLineStart(2), 5);
  EXPECT_EQ(t.Lines.GetLineStart(3), 7);
  EXPECT_EQ(t.Lines.GetLineEnd(3), 8);
  EXPECT_EQ(t.Line(0), u"a");
  EXPECT_EQ(t.Line(1), u"b");
  EXPECT_EQ(t.Line(3), u"d");
}

TEST(LineManagerTest, OffsetsBelongToTheirLine) {
  TIndexedText t(u"a\r\nb\rc\nd");
  // Offset:           0  1  2  3  4  5  6  7  8
  const Integer expected[] = {0, 0, 1, 1, 1, 2, 2, 3, 3};
  for (Integer off = 0; off <= 8; ++off) EXPECT_EQ(t.Lines.GetLineByOffset(off), expected[off]) << off;
}

TEST(LineManagerTest, InvalidArgumentsRaiseExactMessages) {
  TIndexedText t(u"a\nb");
  TKivLineSeparator kind;
  const struct {
    const char* Name;
    std::function<void()> Op;
    std::string Message;
  } cases[] = {
      {"line start -1", [&] { t.Lines.GetLineStart(-1); }, "Invalid line index: -1. Valid range: [0, 1]"},
      {"line start 2", [&] { t.Lines.GetLineStart(2); }, "Invalid line index: 2. Valid range: [0, 1]"},
      {"line end 2", [&] { t.Lines.GetLineEnd(2); }, "Invalid line index: 2. Valid range: [0, 1]"},
      {"segment 5", [&] { t.Lines.GetAt(5); }, "Invalid line index: 5. Valid range: [0, 1]"},
      {"end kind -3", [&] { t.Lines.GetLineEndKind(-3, kind); },
       "Invalid line index: -3. Valid range: [0, 1]"},
      {"offset past end", [&] { t.Lines.GetLineByOffset(4); },
       "Invalid char index for insert: 4. Valid range: [0, 3]."},
      {"offset before start", [&] { t.Lines.GetLineByOffset(-1); },
       "Invalid char index for insert: -1. Valid range: [0, 3]."},
      {"raise directly", [&] { t.Lines.RaiseLineIdxError(7, 3); },
       "Invalid line index: 7. Valid range: [0, 2]"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(DocErrorOf(c.Op), c.Message);
    EXPECT_EQ(t.Lines.Entries(), (TKivIntArray{1, 3}));
  }
  EXPECT_EQ(t.Lines.GetLineByOffset(3), 1);
}

TEST(LineManagerTest, FailedStorageEditLeavesTextAndIndexUntouched) {
  TIndexedText t(u"ab\r\ncd");
  const TKivIntArray before = t.Lines.Entries();
  EXPECT_NE(DocErrorOf([&] { t.Insert(7, u"x"); }), "<no error>");
  EXPECT_NE(DocErrorOf([&] { t.Storage.Delete(5, 2); }), "<no error>");
  EXPECT_EQ(CharSeqToString(t.Storage), u"ab\r\ncd");
  EXPECT_EQ(t.Lines.Entries(), before);
}

// Each case edits a text and states the text, the index and the reported change after it.
TEST(LineManagerTest, EditsKeepPairsAsARebuildWould) {
  const struct {
    const char* Name;
    TKivString Text;
    bool IsInsert;
    Integer At;
    TKivString Inserted;  // for insertions
    Integer Count;        // for deletions
    TKivString After;
    TKivIntArray Entries;
    TLineManResult Result;
  } cases[] = {
      {"plain insertion", u"ab\ncd", true, 1, u"xy", 0, u"axyb\ncd", {4, 7}, {0, 0}},
      {"insertion of breaks",
       u"ab\ncd",
       true,
       4,
       u"1\r\n2\r3",
       0,
       u"ab\nc1\r\n2\r3d",
       {2, 5 | kCRLF, 8, 11},
       {1, 2}},
      {"LF after a lone CR joins it", u"a\rb", true, 2, u"\nx", 0, u"a\r\nxb", {1 | kCRLF, 5}, {1, 0}},
      {"y between CR and LF splits the pair", u"a\r\nb", true, 2, u"y", 0, u"a\ry\nb", {1, 3, 5}, {1, 1}},
      {"CR before an existing LF merges", u"a\nb", true, 1, u"x\r", 0, u"ax\r\nb", {2 | kCRLF, 5}, {0, 0}},
      {"CR LF before an existing LF", u"a\nb", true, 1, u"\r\n", 0, u"a\r\n\nb", {1 | kCRLF, 3, 5}, {0, 1}},
      {"CR at end of text", u"ab", true, 2, u"\r", 0, u"ab\r", {2, 3}, {0, 1}},
      {"LF at start of text after nothing", u"\rb", true, 0, u"\n", 0, u"\n\rb", {0, 1, 3}, {0, 1}},
      {"delete LF of a pair leaves the CR", u"a\r\nb", false, 2, u"", 1, u"a\rb", {1, 3}, {0, 2}},
      {"delete CR of a pair leaves the LF", u"a\r\nb", false, 1, u"", 1, u"a\nb", {1, 3}, {0, 2}},
      {"deletion brings CR and LF together", u"a\rx\nb", false, 2, u"", 1, u"a\r\nb", {1 | kCRLF, 4}, {0, 2}},
      {"deletion across lines", u"ab\ncd\ref\r\ngh", false, 1, u"", 7, u"a\r\ngh", {1 | kCRLF, 5}, {0, 3}},
      {"deleting everything", u"a\r\n\r\n", false, 0, u"", 5, u"", {0}, {0, 3}},
      {"deleting the end", u"ab\ncd", false, 2, u"", 3, u"ab", {2}, {0, 2}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TIndexedText t(c.Text);
    const TLineManResult r = c.IsInsert ? t.Insert(c.At, c.Inserted) : t.Delete(c.At, c.Count);
    EXPECT_EQ(CharSeqToString(t.Storage), c.After);
    EXPECT_EQ(t.Lines.Entries(), c.Entries);
    EXPECT_EQ(Oracle(c.After), c.Entries);
    EXPECT_EQ(t.Lines.Entries(), t.Fresh());
    EXPECT_EQ(r.FirstChangedLine, c.Result.FirstChangedLine);
    EXPECT_EQ(r.ChangedLinesCount, c.Result.ChangedLinesCount);
  }
}

TEST(LineManagerTest, EmptyEditsChangeNothing) {
  TIndexedText t(u"a\nb");
  EXPECT_EQ(t.Insert(2, u""), (TLineManResult{1, 0}));
  EXPECT_EQ(t.Delete(1, 0), (TLineManResult{0, 0}));
  EXPECT_EQ(t.Lines.Entries(), (TKivIntArray{1, 3}));
}

TEST(LineManagerTest, PendingShiftFollowsEditsFarApart) {
  // Edits that jump between the start and the end of a long text move the pending shift both
  // ways; every answer must stay exact.
  TKivString text;
  for (int i = 0; i < 2000; ++i) text += (i % 3 == 0) ? u"ab\r\n" : (i % 3 == 1 ? u"c\n" : u"\r");
  TIndexedText t(text);
  for (int round = 0; round < 50; ++round) {
    t.Insert(t.Lines.GetLineStart(1990), u"xyz\r");
    t.Insert(3, u"\n12");
    t.Delete(t.Lines.GetLineStart(1000), 4);
    t.Insert(t.Storage.Count(), u"\r\n");
    ASSERT_EQ(t.Lines.Entries(), t.Fresh()) << round;
    if (round % 10 == 0) {
      // Every offset, twice: the first pass may rebuild the lookup summary on the way.
      const TKivIntArray entries = t.Lines.Entries();
      for (int pass = 0; pass < 2; ++pass)
        for (Integer off = 0; off <= t.Storage.Count(); ++off)
          ASSERT_EQ(t.Lines.GetLineByOffset(off), ReferenceLine(entries, off)) << off;
    }
  }
}

TEST(LineManagerTest, LookupsStayExactWhenAnEditMovesALineEndInPlace) {
  // 100 lines "a\n": line i ends at 2i + 1. Enough lookups first, so that later ones go through
  // the summary of block ends; then edits that change the entry of line 15 (the end of the
  // first block of 16) without adding or removing lines.
  TKivString text;
  for (int i = 0; i < 100; ++i) text += u"a\n";
  TIndexedText t(text);
  auto checkAll = [&] {
    const TKivIntArray entries = t.Lines.Entries();
    for (int pass = 0; pass < 2; ++pass)
      for (Integer off = 0; off <= t.Storage.Count(); ++off)
        ASSERT_EQ(t.Lines.GetLineByOffset(off), ReferenceLine(entries, off)) << off;
  };
  checkAll();
  EXPECT_EQ(t.Insert(31, u"x\r"), (TLineManResult{15, 0}));  // LF of line 15 becomes CR LF at 32
  EXPECT_EQ(t.Lines.GetLineByOffset(32), 15);
  checkAll();
  EXPECT_EQ(t.Delete(30, 2).ChangedLinesCount, 1);  // "ax" gone: line 15 is empty, ends at 30
  EXPECT_EQ(t.Lines.GetLineByOffset(30), 15);
  EXPECT_EQ(t.Lines.GetLineByOffset(31), 16);
  checkAll();
}

// A text built by appending only comes with its line ends, recorded while it was copied in
// (pieces from strings, from another storage and from raw characters, split anywhere, also
// between a CR and its LF); any other edit drops the record.
TEST(LineManagerTest, AppendedTextComesWithItsLineEnds) {
  KIV_TEST_SEED(seed);
  std::mt19937 rnd(seed);
  auto below = [&](int n) { return static_cast<int>(rnd() % static_cast<uint32_t>(n)); };
  const Char alphabet[] = {u'\r', u'\n', u'x'};
  for (int round = 0; round < 30; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    TGapStorage storage(round % 2 == 0 ? 1024 : 0);
    TKivString model;
    for (int piece = 0; piece < 12; ++piece) {
      TKivString s;
      for (int i = below(3) == 0 ? below(6000) : below(20); i > 0; --i) s.push_back(alphabet[below(3)]);
      const auto at = static_cast<Integer>(model.size());
      if (piece % 3 == 0) {
        storage.InsertChars(at, s);
      } else if (piece % 3 == 1) {
        TKivSeqFromString src(s);
        storage.Insert(at, src.WholeSegment());
      } else {
        TGapStorage src(16);
        src.InsertChars(0, s);
        storage.Insert(at, MakeSegment(0, src.Count(), &src));
      }
      model += s;
    }
    TLineManager lines(&storage);  // takes the record
    EXPECT_EQ(lines.Entries(), Oracle(model));
    TKivIntArray again;
    EXPECT_FALSE(storage.TakeLineEnds(again));
    lines.Refresh();  // by scanning
    EXPECT_EQ(lines.Entries(), Oracle(model));
  }
  TGapStorage storage(1024);
  TKivIntArray ends;
  storage.InsertChars(0, u"a\r");
  storage.InsertChars(2, u"\nb\n");
  storage.InsertChars(0, u"\r");  // not at the end
  EXPECT_FALSE(storage.TakeLineEnds(ends));
  storage.Delete(0, 6);  // empty again: the next appends are recorded ...
  storage.InsertChars(0, u"\n\r");
  storage.InsertChars(2, u"\n");
  storage.Delete(0, 1);  // ... until any deletion
  EXPECT_FALSE(storage.TakeLineEnds(ends));
  storage.Delete(0, 2);
  storage.InsertChars(0, u"\n\r");
  storage.InsertChars(2, u"\n");
  EXPECT_TRUE(storage.TakeLineEnds(ends));
  EXPECT_EQ(ends, (TKivIntArray{0, 1 | kCRLF}));
  EXPECT_FALSE(storage.TakeLineEnds(ends));
  TKivSeqFromString text(u"a\r\nb");
  storage.SetText(text.WholeSegment());
  EXPECT_TRUE(storage.TakeLineEnds(ends));
  EXPECT_EQ(ends, (TKivIntArray{1 | kCRLF}));
}

// Random edits over an alphabet rich in CR and LF: after every step the text equals a plain
// string model and the index equals a fresh rebuild; the results report the line count change.
// AScale multiplies the sizes of the large edits: at 20 the index grows to thousands of lines
// and back, so that its array regrows and gives room back.
void RunRandomEdits(uint32_t ASeed, int ASteps, int AScale = 1) {
  SCOPED_TRACE("run seed " + std::to_string(ASeed));
  std::mt19937 rnd(ASeed);
  auto below = [&](int n) { return static_cast<int>(rnd() % static_cast<uint32_t>(n)); };
  const Char alphabet[] = {u'\r', u'\n', u'\r', u'\n', u'a', u'b'};
  auto randomText = [&](int ALength) {
    TKivString s;
    for (int i = 0; i < ALength; ++i) s.push_back(alphabet[below(6)]);
    return s;
  };
  const Integer gapSizes[] = {0, 3, 1024};
  TIndexedText t({}, gapSizes[ASeed % 3]);
  TKivString model;
  for (int step = 0; step < ASteps; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    const Integer oldLines = t.Lines.Count();
    const auto n = static_cast<Integer>(model.size());
    const int kind = below(100);
    if (kind < 55 || n == 0) {
      const Integer at = below(n + 1);
      const TKivString s = randomText(below(10) == 0 ? below(200 * AScale) : below(6));
      const TLineManResult r = t.Insert(at, s);
      model.insert(static_cast<size_t>(at), s);
      EXPECT_EQ(r.ChangedLinesCount, t.Lines.Count() - oldLines);
    } else if (kind < 98) {
      const Integer at = below(n);
      const Integer count = std::min(n - at, below(10) == 0 ? below(300 * AScale) : below(5));
      const Integer firstByOffset = t.Lines.GetLineByOffset(at);
      const TKivString before = model;
      const TLineManResult r = t.Delete(at, count);
      model.erase(static_cast<size_t>(at), static_cast<size_t>(count));
      if (count > 0) {
        EXPECT_GE(r.FirstChangedLine, firstByOffset - 1);
        EXPECT_LE(r.FirstChangedLine, firstByOffset);
        EXPECT_GE(r.FirstChangedLine + r.ChangedLinesCount - 1,
                  r.FirstChangedLine + oldLines - t.Lines.Count())
            << KivToUtf8(before) << " at " << at << " count " << count;
      }
    } else {
      model = randomText(below(400 * AScale));
      TKivSeqFromString src(model);
      t.Storage.SetText(src.WholeSegment());
      t.Lines.Refresh();
    }
    ASSERT_EQ(CharSeqToString(t.Storage), model);
    const TKivIntArray entries = t.Lines.Entries();
    ASSERT_EQ(entries, Oracle(model));
    ASSERT_EQ(entries, t.Fresh());
    // Lookups agree with the entries, by offset and by line.
    for (int probe = 0; probe < 4; ++probe) {
      const Integer off = below(static_cast<int>(model.size()) + 1);
      ASSERT_EQ(t.Lines.GetLineByOffset(off), ReferenceLine(entries, off)) << off;
      const Integer line = below(t.Lines.Count());
      ASSERT_EQ(t.Lines.GetLineEnd(line), static_cast<Integer>(entries[static_cast<size_t>(line)] &
                                                                TLineManager::LineEndOffsetMask));
      ASSERT_EQ(t.Lines.GetLineStart(line), line == 0 ? 0 : ReferenceStart(entries, line));
    }
  }
}

TEST(LineManagerTest, RandomEditsMatchARebuildAndAStringModel) {
  KIV_TEST_SEED(seed);
  for (uint32_t k = 0; k < 4; ++k) RunRandomEdits(seed + k, 2500);
  for (uint32_t k = 4; k < 6; ++k) RunRandomEdits(seed + k, 800, 20);
}

}  // namespace

// The gap buffer: reading across the gap, growth and shrink of the array, argument checks.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "DocumentTestSupport.h"
#include "internal/GapStorage.h"

namespace {

TKivString Text(TGapStorage& AStorage) {
  return CharSeqToString(AStorage);
}

// A sequence of ACount 'x' characters that holds no memory: lets the length limit be reached.
class TLongSeq : public TKivCharSeq {
 public:
  explicit TLongSeq(Integer ACount) : TKivCharSeq(64) { FCount = ACount; }

 protected:
  void FillBuffer(Integer AStart, Integer AEnd) override {
    std::fill(FBuffer.begin(), FBuffer.begin() + (AEnd - AStart), u'x');
  }
};

class GapStorageTest : public ::testing::Test {
 protected:
  void SetUp() override { FSrc.Reset(u"0123456789"); }

  TKivSegment Src(Integer AStart, Integer ACount) { return MakeSegment(AStart, ACount, &FSrc); }

  TKivSeqFromString FSrc;
  TGapStorage FStorage{1024};
};

TEST_F(GapStorageTest, NewStorageIsEmpty) {
  EXPECT_EQ(FStorage.Count(), 0);
  EXPECT_EQ(FStorage.Capacity(), 0);
  EXPECT_EQ(FStorage.GapSize(), 1024);
  EXPECT_EQ(Text(FStorage), u"");
}

TEST_F(GapStorageTest, InsertAndDeleteAnywhere) {
  FStorage.SetText(Src(0, 10));
  FStorage.Insert(5, Src(0, 3));   // 01234 012 56789
  FStorage.Insert(0, Src(9, 1));   // 9 01234 012 56789
  FStorage.Insert(14, Src(4, 2));  // append
  EXPECT_EQ(Text(FStorage),
            u"90123401256789"
            u"45");
  FStorage.Delete(1, 5);
  EXPECT_EQ(Text(FStorage),
            u"901256789"
            u"45");
  FStorage.Delete(9, 2);
  EXPECT_EQ(Text(FStorage), u"901256789");
  FStorage.Delete(0, 1);
  EXPECT_EQ(Text(FStorage), u"01256789");
  FStorage.SetText(Src(2, 3));
  EXPECT_EQ(Text(FStorage), u"234");
}

TEST_F(GapStorageTest, SwapExchangesWholeTextsButKeepsGapSizes) {
  FStorage.SetText(Src(0, 10));
  ASSERT_EQ(FStorage.GetChar(3), u'3');  // fill the window, which must not survive the swap
  TGapStorage loaded(1 << 20);
  loaded.InsertChars(0, u"ab\r\ncd\n");
  FStorage.Swap(loaded);
  EXPECT_EQ(Text(FStorage), u"ab\r\ncd\n");
  EXPECT_EQ(Text(loaded), u"0123456789");
  EXPECT_EQ(FStorage.GapSize(), 1024);
  EXPECT_EQ(loaded.GapSize(), 1 << 20);
  TGapStorage same(1024);
  same.InsertChars(0, u"ab\r\ncd\n");
  TKivIntArray ends, expected;
  ASSERT_TRUE(same.TakeLineEnds(expected));
  ASSERT_TRUE(FStorage.TakeLineEnds(ends));  // the line-end record moves with its text
  EXPECT_EQ(ends, expected);
  FStorage.Insert(2, Src(0, 1));
  EXPECT_EQ(Text(FStorage), u"ab0\r\ncd\n");
}

TEST_F(GapStorageTest, WindowReadsAcrossTheGap) {
  // 3,000 characters with the gap in the middle: every window that straddles it must join the
  // two halves, reading forwards and backwards.
  TKivString model;
  for (int i = 0; i < 3000; ++i) model.push_back(static_cast<Char>(u'A' + i % 53));
  TKivSeqFromString all(model);
  FStorage.SetText(all.WholeSegment());
  FStorage.Delete(1500, 1);
  FStorage.Insert(1500, MakeSegment(1500, 1, &all));
  ASSERT_GT(FStorage.GapEnd(), FStorage.GapStart());
  EXPECT_EQ(FStorage.GapStart(), 1501);
  for (Integer i = 0; i < 3000; ++i) ASSERT_EQ(FStorage.GetChar(i), model[i]) << i;
  for (Integer i = 2999; i >= 0; --i) ASSERT_EQ(FStorage.GetChar(i), model[i]) << i;
  // The raw chunks cover the text in order.
  TKivString joined;
  for (Integer i = 0; i < FStorage.Count();) {
    const Char* chunk;
    const Integer n = FStorage.GetChunk(i, chunk);
    ASSERT_GT(n, 0);
    joined.append(chunk, static_cast<size_t>(n));
    i += n;
  }
  EXPECT_EQ(joined, model);
  const Char* dummy;
  EXPECT_EQ(FStorage.GetChunk(3000, dummy), 0);
}

TEST_F(GapStorageTest, InsertsItsOwnText) {
  FStorage.SetText(Src(0, 10));
  FStorage.Insert(3, MakeSegment(0, 10, &FStorage));
  EXPECT_EQ(Text(FStorage),
            u"012"
            u"0123456789"
            u"3456789");
  FStorage.SetText(MakeSegment(5, 4, &FStorage));
  EXPECT_EQ(Text(FStorage), u"2345");
}

TEST_F(GapStorageTest, GrowthReservesHalfAgainAndTheGap) {
  FStorage.Insert(0, Src(0, 10));
  // (10 + 1024) * 3 / 2; the gap after the insertion is exactly the gap size.
  EXPECT_EQ(FStorage.Capacity(), 1551);
  EXPECT_EQ(FStorage.GapEnd() - FStorage.GapStart(), 1024);
  // Typing at one place fills the gap without reallocating.
  for (int i = 0; i < 1024; ++i) FStorage.Insert(5 + i, Src(i % 10, 1));
  EXPECT_EQ(FStorage.Capacity(), 1551);
  EXPECT_EQ(FStorage.GapEnd(), FStorage.GapStart());
  // The next character moves the tail into the spare capacity (1034 + 1 + 1024 <= 1551 is false:
  // the array grows to (1034 + 1 + 1024) * 3 / 2).
  FStorage.Insert(0, Src(0, 1));
  EXPECT_EQ(FStorage.Capacity(), (1034 + 1 + 1024) * 3 / 2);
  EXPECT_EQ(FStorage.GapEnd() - FStorage.GapStart(), 1024);
  EXPECT_EQ(FStorage.Count(), 1035);
}

TEST_F(GapStorageTest, LongGapUsesSpareCapacityBeforeGrowing) {
  TGapStorage storage(4);
  storage.Insert(0, Src(0, 10));  // capacity (10 + 4) * 3 / 2 = 21, gap 4
  EXPECT_EQ(storage.Capacity(), 21);
  storage.Insert(0, Src(0, 5));  // gap too short, 10 + 5 + 4 = 19 < 21: the tail just moves
  EXPECT_EQ(storage.Capacity(), 21);
  EXPECT_EQ(storage.GapEnd() - storage.GapStart(), 4);
  EXPECT_EQ(Text(storage),
            u"01234"
            u"0123456789");
  // An array exactly as long as needed (10 + 7 + 4 = 21) still grows, to 21 * 3 / 2.
  TGapStorage exact(4);
  exact.Insert(0, Src(0, 10));
  exact.Insert(0, Src(0, 7));
  EXPECT_EQ(exact.Capacity(), 31);
  EXPECT_EQ(Text(exact),
            u"0123456"
            u"0123456789");
}

// From a million characters on, the gap is a 64th of the text: typing at one place moves the
// text after it once per that many characters, whatever the text's size.
TEST_F(GapStorageTest, LargeTextsKeepAGapInProportion) {
  EXPECT_EQ(FStorage.GapFor((1 << 20) - 1), 1024);
  EXPECT_EQ(FStorage.GapFor(1 << 20), (1 << 20) / 64);
  EXPECT_EQ(FStorage.GapFor(100000000), 100000000 / 64);
  const Integer n = 2 << 20, gap = n / 64;
  TKivSeqFromString big;
  big.Reset(u'z', n);
  FStorage.SetText(big.WholeSegment());
  EXPECT_EQ(FStorage.GapEnd() - FStorage.GapStart(), gap);
  EXPECT_EQ(FStorage.Capacity(), (n + gap) * 3 / 2);
  // Typing a gap's worth at the middle: the gap is used up, the text after it moves only
  // with the gap, on the first character ...
  FStorage.InsertChars(n / 2, u"y");
  const Integer tail = FStorage.GapEnd();
  for (Integer i = 1; i < gap; ++i) FStorage.InsertChars(n / 2 + i, u"y");
  EXPECT_EQ(FStorage.GapEnd(), tail);
  // ... and the next character leaves a gap in proportion to the longer text again.
  FStorage.InsertChars(n / 2, u"y");
  EXPECT_EQ(FStorage.GapEnd() - FStorage.GapStart(), (n + gap + 1) / 64);
  EXPECT_EQ(FStorage.Count(), n + gap + 1);
}

// A loader reserves the text and its gap at once, and gives back what an estimate left over.
TEST_F(GapStorageTest, ReservedTextIsAppendedWithoutGrowth) {
  const Integer n = 3 << 20;
  for (const Integer estimate : {n, 3 * n}) {
    TGapStorage loaded(1024);
    loaded.ReserveText(estimate);
    EXPECT_EQ(loaded.Capacity(), estimate + estimate / 64);
    const TKivString piece(4096, u'q');
    for (Integer done = 0; done < n; done += 4096) loaded.InsertChars(done, piece);
    EXPECT_EQ(loaded.Capacity(), estimate + estimate / 64);
    loaded.TrimGap();
    EXPECT_EQ(loaded.Capacity(), n + n / 64);
    EXPECT_EQ(loaded.Count(), n);
    EXPECT_EQ(loaded.GetChar(n - 1), u'q');
  }
  // A small text keeps the plain gap.
  TGapStorage small(1024);
  small.ReserveText(10);
  EXPECT_EQ(small.Capacity(), 1034);
}

TEST_F(GapStorageTest, DeletingGivesMemoryBackOnlyForAHugeGap) {
  TKivSeqFromString big;
  big.Reset(u'z', 100000);
  FStorage.SetText(big.WholeSegment());
  const Integer grown = FStorage.Capacity();
  EXPECT_EQ(grown, (100000 + 1024) * 3 / 2);
  // Deleting from the start widens the gap (1,024 + deleted). Memory comes back only when the
  // text is shorter than gap / 32: 3,065 characters beside 97,959 (/ 32 = 3,061) keep it, and
  // so do 3,061 beside 97,963 (/ 32 = 3,061) ...
  FStorage.Delete(0, 96935);
  EXPECT_EQ(FStorage.Capacity(), grown);
  FStorage.Delete(0, 4);
  EXPECT_EQ(FStorage.Capacity(), grown);
  // ... but 3,060 beside 97,964 do not: the array shrinks to the text plus the gap size.
  FStorage.Delete(0, 1);
  EXPECT_EQ(FStorage.Capacity(), 3060 + 1024);
  EXPECT_EQ(FStorage.GapEnd() - FStorage.GapStart(), 1024);
  EXPECT_EQ(Text(FStorage), TKivString(3060, u'z'));
  // Deleting all text of a 100,000-character text leaves an array of the gap size.
  FStorage.SetText(big.WholeSegment());
  FStorage.Delete(0, 100000);
  EXPECT_EQ(FStorage.Count(), 0);
  EXPECT_EQ(FStorage.Capacity(), 1024);
  FStorage.Insert(0, Src(0, 3));
  EXPECT_EQ(Text(FStorage), u"012");
  // A gap of exactly the gap size is kept however short the text; one more character is not.
  TGapStorage small(1024);
  small.Insert(0, Src(0, 10));  // capacity 1551, gap 1024
  small.Insert(10, Src(0, 5));  // gap 1019
  small.Delete(10, 5);          // gap 1024
  EXPECT_EQ(small.Capacity(), 1551);
  small.Delete(9, 1);  // gap 1025 beside 9 characters
  EXPECT_EQ(small.Capacity(), 9 + 1024);
  EXPECT_EQ(Text(small), u"012345678");
}

TEST_F(GapStorageTest, FailedCallsRaiseAndChangeNothing) {
  TKivSeqFromString other(u"abc");
  TLongSeq huge(0x40000000);
  const struct {
    const char* Name;
    std::function<void(TGapStorage&)> Op;
    std::string Message;
  } cases[] = {
      {"insert before start", [&](TGapStorage& s) { s.Insert(-1, Src(0, 1)); },
       "Invalid char index for insert: -1. Valid range: [0, 10]."},
      {"insert past end", [&](TGapStorage& s) { s.Insert(11, Src(0, 1)); },
       "Invalid char index for insert: 11. Valid range: [0, 10]."},
      {"insert bad index wins over bad segment", [&](TGapStorage& s) { s.Insert(11, TKivSegment{}); },
       "Invalid char index for insert: 11. Valid range: [0, 10]."},
      {"insert null segment", [&](TGapStorage& s) { s.Insert(0, TKivSegment{}); },
       "Invalid segment passed to document method"},
      {"insert negative count", [&](TGapStorage& s) { s.Insert(0, Src(2, -1)); },
       "Invalid segment passed to document method"},
      {"insert beyond source", [&](TGapStorage& s) { s.Insert(0, MakeSegment(2, 2, &other)); },
       "Invalid segment passed to document method"},
      {"insert negative start", [&](TGapStorage& s) { s.Insert(0, MakeSegment(-1, 1, &other)); },
       "Invalid segment passed to document method"},
      {"insert past the length limit",
       [&](TGapStorage& s) { s.Insert(3, MakeSegment(0, 0x3FFFFFF6, &huge)); },
       "Document text too long: inserting 1073741814 characters into 10 would exceed the limit of "
       "1073741823 characters."},
      {"insert chars past end", [&](TGapStorage& s) { s.InsertChars(11, u"x"); },
       "Invalid char index for insert: 11. Valid range: [0, 10]."},
      {"set text past the length limit",
       [&](TGapStorage& s) { s.SetText(MakeSegment(0, 0x40000000, &huge)); },
       "Document text too long: inserting 1073741824 characters into 0 would exceed the limit of "
       "1073741823 characters."},
      {"set text invalid segment", [&](TGapStorage& s) { s.SetText(MakeSegment(0, 4, &other)); },
       "Invalid segment passed to document method"},
      {"delete negative count", [&](TGapStorage& s) { s.Delete(3, -2); },
       "Range start should be less or equal to range end: range: [3, 1]"},
      {"delete before start", [&](TGapStorage& s) { s.Delete(-1, 2); },
       "Invalid char index: -1. Valid range: [0, 9]."},
      {"delete start past end", [&](TGapStorage& s) { s.Delete(10, 1); },
       "Invalid char index: 10. Valid range: [0, 9]."},
      {"delete end past end", [&](TGapStorage& s) { s.Delete(8, 3); },
       "Invalid char index: 10. Valid range: [0, 9]."},
      {"delete nothing at 0 checks the index before", [&](TGapStorage& s) { s.Delete(0, 0); },
       "Invalid char index: -1. Valid range: [0, 9]."},
      {"delete overflowing count", [&](TGapStorage& s) { s.Delete(5, 0x7FFFFFFF); },
       "Invalid char index: 2147483651. Valid range: [0, 9]."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TGapStorage storage(1024);
    storage.SetText(Src(0, 10));
    storage.Delete(4, 1);
    storage.Insert(4, Src(4, 1));  // gap in the middle
    const Integer gapStart = storage.GapStart(), gapEnd = storage.GapEnd(), cap = storage.Capacity();
    const std::string got = DocErrorOf([&] { c.Op(storage); });
    EXPECT_EQ(got, c.Message);
    EXPECT_EQ(Text(storage), u"0123456789");
    EXPECT_EQ(storage.GapStart(), gapStart);
    EXPECT_EQ(storage.GapEnd(), gapEnd);
    EXPECT_EQ(storage.Capacity(), cap);
  }
}

TEST_F(GapStorageTest, DeleteOfNothingInsideTheTextIsAllowed) {
  FStorage.SetText(Src(0, 10));
  FStorage.Delete(5, 0);
  FStorage.Insert(10, Src(0, 0));
  EXPECT_EQ(Text(FStorage), u"0123456789");
}

}  // namespace

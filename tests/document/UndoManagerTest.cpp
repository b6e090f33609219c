// The undo history on its own, replaying into a plain string.
#include <gtest/gtest.h>

#include <functional>

#include "KivErrors.h"
#include "internal/UndoManager.h"

namespace {

class TStringHost : public TUndoHost {
 public:
  TKivString Text;
  int CompoundDepth = 0;
  int CompoundsReplayed = 0;
  bool FailNextDelete = false;

  TKivString UndoReadText(Integer AStart, Integer ACount) override { return Text.substr(AStart, ACount); }
  void UndoInsertText(Integer AStart, const TKivString& AText) override { Text.insert(AStart, AText); }
  void UndoDeleteText(Integer AStart, Integer ACount) override {
    if (FailNextDelete) {
      FailNextDelete = false;
      throw EKivError(u"delete failed");
    }
    Text.erase(AStart, ACount);
  }
  void UndoBeginCompound() override {
    ++CompoundDepth;
    ++CompoundsReplayed;
  }
  void UndoEndCompound() override { --CompoundDepth; }
};

// Caller state: a number; custom steps merge when both numbers are even.
class TTestInfo : public TKivDocUndoInfo {
 public:
  explicit TTestInfo(int AValue, int* ALive = nullptr) : Value(AValue), FLive(ALive) {
    if (FLive) ++*FLive;
  }
  ~TTestInfo() override {
    if (FLive) --*FLive;
  }
  bool Merge(const TKivDocUndoInfo& ANew) override {
    return Value % 2 == 0 && static_cast<const TTestInfo&>(ANew).Value % 2 == 0;
  }
  TKivDocUndoInfoPtr Clone() const override { return std::make_unique<TTestInfo>(Value, FLive); }
  int Value;

 private:
  int* FLive;
};

int InfoValue(const TKivDocUndoInfoPtr& AInfo) {
  return AInfo ? static_cast<const TTestInfo&>(*AInfo).Value : -1;
}

// Edits the host's text and records them as the document would.
struct TEditor {
  TStringHost Host;
  TUndoManager Undo{Host, 1024};

  void Insert(Integer AStart, const TKivString& AText, Integer AAuthor = -1,
              TKivDocUndoInfoPtr AInfo = nullptr) {
    Host.Text.insert(AStart, AText);
    Undo.ContentInserted(AStart, Integer(AText.size()), AAuthor, std::move(AInfo));
  }
  void Delete(Integer AStart, Integer ACount, Integer AAuthor = -1, TKivDocUndoInfoPtr AInfo = nullptr) {
    Undo.ContentDeleting(AStart, ACount, AAuthor, std::move(AInfo));
    Host.Text.erase(AStart, ACount);
  }
  void Type(Integer AStart, const TKivString& AText, Integer AAuthor = -1) {
    for (size_t i = 0; i < AText.size(); ++i) Insert(AStart + Integer(i), AText.substr(i, 1), AAuthor);
  }
};

class UndoManagerTest : public ::testing::Test, public TEditor {};

TEST_F(UndoManagerTest, TypingRunIsOneStep) {
  Type(0, u"abc");
  EXPECT_EQ(Undo.UndoCount(), 1);
  Undo.Undo(-1, nullptr);
  EXPECT_EQ(Host.Text, u"");
  EXPECT_FALSE(Undo.CanUndo(-1));
  Undo.Redo(-1, nullptr);
  EXPECT_EQ(Host.Text, u"abc");
  EXPECT_FALSE(Undo.CanRedo(-1));
}

TEST_F(UndoManagerTest, MergingRules) {
  struct Case {
    const char* Name;
    std::function<void(TEditor&)> Edits;
    Integer Steps;
  };
  const Case cases[] = {
      {"gap between insertions", [](TEditor& t) { t.Type(0, u"ab"), t.Insert(2, u"   "), t.Insert(5, u"c"); },
       1},
      {"insertion not contiguous",
       [](TEditor& t) {
         t.Host.Text = u"0123456789";
         t.Type(0, u"ab");
         t.Insert(7, u"c");
       },
       2},
      {"backspaces",
       [](TEditor& t) {
         t.Host.Text = u"0123456789";
         t.Delete(9, 1), t.Delete(8, 1), t.Delete(7, 1);
       },
       1},
      {"forward deletes",
       [](TEditor& t) {
         t.Host.Text = u"0123456789";
         t.Delete(3, 1), t.Delete(3, 2), t.Delete(3, 1);
       },
       1},
      {"backspace then delete at the same place",
       [](TEditor& t) {
         t.Host.Text = u"0123456789";
         t.Delete(5, 1), t.Delete(4, 1), t.Delete(4, 1);
       },
       1},
      {"deletion elsewhere",
       [](TEditor& t) {
         t.Host.Text = u"0123456789";
         t.Delete(5, 1), t.Delete(2, 1);
       },
       2},
      {"insertion after deletion",
       [](TEditor& t) {
         t.Host.Text = u"0123456789";
         t.Delete(5, 1), t.Insert(5, u"x");
       },
       2},
      {"author change", [](TEditor& t) { t.Type(0, u"ab", 1), t.Type(2, u"cd", 2); }, 2},
  };
  for (const auto& c : cases) {
    TEditor t;
    c.Edits(t);
    EXPECT_EQ(t.Undo.UndoCount(), c.Steps) << c.Name;
  }
}

TEST_F(UndoManagerTest, BackspacesRestoreTextInOrder) {
  Host.Text = u"0123456789";
  for (Integer i = 9; i >= 7; --i) Delete(i, 1);
  EXPECT_EQ(Host.Text, u"0123456");
  Undo.Undo(-1, nullptr);
  EXPECT_EQ(Host.Text, u"0123456789");
  Undo.Redo(-1, nullptr);
  EXPECT_EQ(Host.Text, u"0123456");
}

TEST_F(UndoManagerTest, LongBackspaceRunRoundTrips) {
  TKivString original;
  for (int i = 0; i < 5000; ++i) original += char16_t(u'a' + i % 26);
  Host.Text = original;
  for (Integer i = 4999; i >= 1000; --i) Delete(i, 1);
  EXPECT_EQ(Undo.UndoCount(), 1);
  Undo.Undo(-1, nullptr);
  EXPECT_EQ(Host.Text, original);
}

TEST_F(UndoManagerTest, CantMergeStartsANewStep) {
  Type(0, u"ab");
  Undo.SetTopUndoCantMerge();
  Type(2, u"cd");
  EXPECT_EQ(Undo.UndoCount(), 2);
  // The flag travels with the step through undo and redo.
  Undo.Undo(-1, nullptr);
  Undo.Undo(-1, nullptr);
  Undo.Redo(-1, nullptr);
  Type(2, u"x");
  EXPECT_EQ(Undo.UndoCount(), 2);
}

TEST_F(UndoManagerTest, LimitDropsOldestStepsAndZeroRecordsNothing) {
  Undo.SetLimit(2);
  Insert(0, u"a");
  Undo.SetTopUndoCantMerge();
  Insert(1, u"b");
  Undo.SetTopUndoCantMerge();
  Insert(2, u"c");
  EXPECT_EQ(Undo.UndoCount(), 2);
  EXPECT_EQ(Undo.SavedPoint(), -1);  // the empty text can no longer be reached
  Undo.Undo(-1, nullptr);
  Undo.Undo(-1, nullptr);
  EXPECT_EQ(Host.Text, u"a");
  EXPECT_FALSE(Undo.CanUndo(-1));

  TStringHost host;
  TUndoManager none(host, 0);
  host.Text = u"x";
  none.ContentInserted(0, 1, -1, nullptr);
  none.PushCustomAction(1, nullptr);
  none.BeginCompoundAction(-1, nullptr);
  none.ContentDeleting(0, 1, -1, nullptr);
  none.EndCompoundAction();
  EXPECT_EQ(none.UndoCount(), 0);
  EXPECT_FALSE(none.CanUndo(-1));
}

TEST_F(UndoManagerTest, SetLimitFreesRedoThenOldest) {
  for (int i = 0; i < 5; ++i) {
    Insert(Integer(Host.Text.size()), u"x");
    Undo.SetTopUndoCantMerge();
  }
  Undo.Undo(-1, nullptr);
  EXPECT_FALSE(Undo.SetLimit(5));  // 4 + 1 steps fit
  EXPECT_EQ(Undo.RedoCount(), 1);
  EXPECT_TRUE(Undo.SetLimit(3));
  EXPECT_EQ(Undo.RedoCount(), 0);
  EXPECT_EQ(Undo.UndoCount(), 3);
  EXPECT_TRUE(Undo.SetLimit(0));
  EXPECT_EQ(Undo.UndoCount(), 0);
  EXPECT_FALSE(Undo.SetLimit(-1));
  for (int i = 0; i < 2000; ++i) {
    Insert(0, u"y");
    Undo.SetTopUndoCantMerge();
  }
  EXPECT_EQ(Undo.UndoCount(), 2000);  // a negative limit is no limit
}

TEST_F(UndoManagerTest, CustomStepOfAnotherAuthorMovesToRedoFirst) {
  Type(0, u"ab", 1);
  Undo.PushCustomAction(2, std::make_unique<TTestInfo>(7));
  EXPECT_TRUE(Undo.CanUndo(1));
  EXPECT_TRUE(Undo.CanUndo(2));
  Undo.Undo(1, nullptr);
  EXPECT_EQ(Host.Text, u"");
  EXPECT_EQ(Undo.UndoCount(), 0);
  EXPECT_EQ(Undo.RedoCount(), 2);
  // The text step is on top of the redo stack, the custom step below it, unchanged.
  Undo.Redo(1, nullptr);
  EXPECT_EQ(Host.Text, u"ab");
  EXPECT_EQ(Undo.RedoCount(), 1);
  EXPECT_FALSE(Undo.CanRedo(1));
  EXPECT_TRUE(Undo.CanRedo(2));
  EXPECT_EQ(InfoValue(Undo.Redo(2, nullptr)), 7);
}

TEST_F(UndoManagerTest, CustomStepsOfOthersAreInvisible) {
  Undo.PushCustomAction(2, nullptr);
  EXPECT_FALSE(Undo.CanUndo(1));
  EXPECT_FALSE(Undo.CanUndo(-1));
  EXPECT_TRUE(Undo.CanUndo(2));
  Undo.Undo(2, nullptr);
  EXPECT_FALSE(Undo.CanRedo(1));
  EXPECT_TRUE(Undo.CanRedo(2));
}

TEST_F(UndoManagerTest, InfoIsHandedBackAndReplacedOnlyForTheAuthorsOwnStep) {
  int live = 0;
  {
    TStringHost host;
    TUndoManager undo(host, 1024);
    host.Text = u"ab";
    undo.ContentInserted(0, 2, 1, std::make_unique<TTestInfo>(10, &live));
    undo.PushCustomAction(2, std::make_unique<TTestInfo>(21, &live));
    undo.PushCustomAction(2, std::make_unique<TTestInfo>(23, &live));  // odd: does not merge
    EXPECT_EQ(undo.UndoCount(), 3);

    // Author 1 passes through both custom steps of author 2; only its own step gets 11.
    TKivDocUndoInfoPtr old = undo.Undo(1, std::make_unique<TTestInfo>(11, &live));
    EXPECT_EQ(InfoValue(old), 10);
    EXPECT_EQ(host.Text, u"");
    old = undo.Redo(1, std::make_unique<TTestInfo>(12, &live));
    EXPECT_EQ(InfoValue(old), 11);
    EXPECT_EQ(InfoValue(undo.Redo(2, std::make_unique<TTestInfo>(31, &live))), 21);
    EXPECT_EQ(InfoValue(undo.Redo(2, std::make_unique<TTestInfo>(33, &live))), 23);
    EXPECT_EQ(InfoValue(undo.Undo(2, nullptr)), 33);
    EXPECT_EQ(InfoValue(undo.Undo(2, nullptr)), 31);
    // Author -1 undoes author 1's text step (common to all) but gets no info back, and the
    // step keeps author 1's info.
    EXPECT_EQ(InfoValue(undo.Undo(-1, std::make_unique<TTestInfo>(99, &live))), -1);
    EXPECT_EQ(host.Text, u"");
    EXPECT_EQ(InfoValue(undo.Redo(1, nullptr)), 12);
  }
  EXPECT_EQ(live, 0);
}

TEST_F(UndoManagerTest, CustomStepsMergeThroughTheirInfo) {
  Undo.PushCustomAction(1, std::make_unique<TTestInfo>(2));
  Undo.PushCustomAction(1, std::make_unique<TTestInfo>(4));
  Undo.PushCustomAction(2, std::make_unique<TTestInfo>(6));  // other author
  Undo.PushCustomAction(2, std::make_unique<TTestInfo>(7));  // odd
  Undo.PushCustomAction(2, nullptr);                         // no info
  EXPECT_EQ(Undo.UndoCount(), 4);
}

TEST_F(UndoManagerTest, CompoundStepReplaysAsOne) {
  Host.Text = u"hello world";
  Undo.BeginCompoundAction(3, std::make_unique<TTestInfo>(5));
  EXPECT_TRUE(Undo.InsideCompoundAction());
  EXPECT_FALSE(Undo.CanUndo(3));
  Delete(0, 5, 3, std::make_unique<TTestInfo>(1));  // the compound step carries author and info
  Insert(0, u"H");
  Type(1, u"ELLO");
  Delete(5, 1);
  Delete(5, 1);
  Undo.EndCompoundAction();
  EXPECT_EQ(Host.Text, u"HELLOorld");
  EXPECT_EQ(Undo.UndoCount(), 1);
  EXPECT_EQ(InfoValue(Undo.Undo(3, nullptr)), 5);
  EXPECT_EQ(Host.Text, u"hello world");
  EXPECT_EQ(Host.CompoundsReplayed, 1);
  EXPECT_EQ(Host.CompoundDepth, 0);
  Undo.Redo(3, nullptr);
  EXPECT_EQ(Host.Text, u"HELLOorld");
  Undo.Undo(-1, nullptr);
  EXPECT_EQ(Host.Text, u"hello world");
}

TEST_F(UndoManagerTest, CompoundStepDoesNotMergeWithNeighbours) {
  Type(0, u"ab");
  Undo.BeginCompoundAction(-1, nullptr);
  Insert(2, u"c");
  Undo.EndCompoundAction();
  Insert(3, u"d");
  EXPECT_EQ(Undo.UndoCount(), 3);
}

TEST_F(UndoManagerTest, EmptyCompoundEditRecordsNothing) {
  Type(0, u"ab");
  Undo.Undo(-1, nullptr);
  Undo.BeginCompoundAction(1, std::make_unique<TTestInfo>(1));
  Undo.PushCustomAction(-1, nullptr);
  Undo.EndCompoundAction();
  EXPECT_EQ(Undo.UndoCount(), 0);
  EXPECT_TRUE(Undo.CanRedo(-1));
}

TEST_F(UndoManagerTest, SavedPoint) {
  Type(0, u"abc");
  Undo.MarkSaved();
  EXPECT_TRUE(Undo.AtSavedPoint());
  Type(3, u"d");  // the saved step does not merge
  EXPECT_EQ(Undo.UndoCount(), 2);
  EXPECT_FALSE(Undo.AtSavedPoint());
  Undo.Undo(-1, nullptr);
  EXPECT_TRUE(Undo.AtSavedPoint());
  Undo.Undo(-1, nullptr);
  EXPECT_FALSE(Undo.AtSavedPoint());
  Insert(0, u"z");  // cuts the redo steps that led to the saved text
  EXPECT_EQ(Undo.SavedPoint(), -1);
  EXPECT_FALSE(Undo.AtSavedPoint());

  Undo.MarkSaved();
  EXPECT_EQ(Undo.SavedPoint(), 1);
  Undo.Clear();
  EXPECT_EQ(Undo.SavedPoint(), 0);  // the text is still the saved one
  Insert(0, u"q");
  Undo.Clear();
  EXPECT_EQ(Undo.SavedPoint(), -1);
}

TEST_F(UndoManagerTest, FailedStepClearsTheHistory) {
  Type(0, u"abc");
  Undo.SetTopUndoCantMerge();
  Type(3, u"def");
  Host.FailNextDelete = true;
  EXPECT_THROW(Undo.Undo(-1, nullptr), EKivError);
  EXPECT_EQ(Undo.UndoCount(), 0);
  EXPECT_EQ(Undo.RedoCount(), 0);
  EXPECT_EQ(Undo.SavedPoint(), -1);
}

TEST_F(UndoManagerTest, MemoryIsProportionalToTheEdit) {
  Host.Text.assign(200000, u'x');
  Delete(0, 100000);
  const size_t small = Undo.MemoryUsage();
  EXPECT_GE(small, 100000 * sizeof(Char));
  EXPECT_LT(small, 100000 * sizeof(Char) + 4096);
}

}  // namespace

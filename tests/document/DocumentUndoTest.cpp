// Undo, redo and the modified state at the document level.
#include <gtest/gtest.h>

#include "KivSedDocument.h"
#include "KivSedStorage.h"

namespace {

class TCursorInfo : public TKivDocUndoInfo {
 public:
  explicit TCursorInfo(Integer APos) : Pos(APos) {}
  TKivDocUndoInfoPtr Clone() const override { return std::make_unique<TCursorInfo>(Pos); }
  Integer Pos;
};

Integer PosOf(const TKivDocUndoInfoPtr& AInfo) {
  return AInfo ? static_cast<TCursorInfo&>(*AInfo).Pos : -1;
}

void Type(TKivEditDocument& ADoc, Integer AAt, TKivStringView AText, Integer AAuthor = -1) {
  for (size_t i = 0; i < AText.size(); ++i)
    ADoc.Internal().InsertStr(AAt + Integer(i), AText.substr(i, 1), AAuthor, nullptr);
}

TEST(DocumentUndo, TypingIsOneStep) {
  TKivEditDocument doc;
  Type(doc, 0, u"abc");
  doc.Undo();
  EXPECT_EQ(doc.Text(), u"");
  EXPECT_FALSE(doc.CanUndo());
  doc.Redo();
  EXPECT_EQ(doc.Text(), u"abc");
  EXPECT_FALSE(doc.CanRedo());
}

TEST(DocumentUndo, LimitTwoKeepsModifiedTrue) {
  TKivEditDocument doc;
  doc.SetUndoLimit(2);
  doc.Insert(0, u"a");
  doc.Insert(0, u"b");  // not contiguous with the first: a step of its own
  doc.Insert(0, u"c");
  doc.Undo();
  doc.Undo();
  EXPECT_FALSE(doc.CanUndo());
  EXPECT_EQ(doc.Text(), u"a");
  EXPECT_TRUE(doc.Modified());
}

TEST(DocumentUndo, LimitZeroRecordsNothing) {
  TKivEditDocument doc;
  doc.SetUndoLimit(0);
  doc.Insert(0, u"abc");
  doc.Replace(0, 1, u"x");
  EXPECT_FALSE(doc.CanUndo());
  EXPECT_TRUE(doc.Modified());
}

TEST(DocumentUndo, SavedPointSurvivesUndoAndRedo) {
  TKivEditDocument doc;
  Type(doc, 0, u"abc");
  doc.MarkSaved();  // what saving does
  EXPECT_FALSE(doc.Modified());
  Type(doc, 3, u"d");  // does not merge into the saved step
  EXPECT_TRUE(doc.Modified());
  doc.Undo();
  EXPECT_EQ(doc.Text(), u"abc");
  EXPECT_FALSE(doc.Modified());
  doc.Undo();
  EXPECT_TRUE(doc.Modified());
  doc.Redo();
  EXPECT_FALSE(doc.Modified());
}

TEST(DocumentUndo, UnreachableSavedPointKeepsModifiedTrue) {
  TKivEditDocument doc;
  doc.Insert(0, u"abc");
  doc.MarkSaved();
  doc.Undo();
  EXPECT_TRUE(doc.Modified());
  doc.Insert(0, u"x");  // drops the redo step that led back to the saved text
  doc.Undo();
  EXPECT_EQ(doc.Text(), u"");
  EXPECT_TRUE(doc.Modified());
  EXPECT_FALSE(doc.CanUndo());
}

TEST(DocumentUndo, SettingModifiedFalseMakesTheTextTheSavedOne) {
  TKivEditDocument doc;
  doc.Insert(0, u"abc");
  doc.SetModified(false);
  doc.Insert(3, u"d");
  doc.Undo();
  EXPECT_FALSE(doc.Modified());
  doc.Undo();
  EXPECT_TRUE(doc.Modified());  // the empty text is not what was declared saved
  doc.SetModified(true);
  doc.Redo();
  EXPECT_FALSE(doc.Modified());
}

TEST(DocumentUndo, ClearUndoAndLimitChangesFixTheModifiedState) {
  TKivEditDocument doc;
  doc.Insert(0, u"abc");
  doc.ClearUndo();
  EXPECT_TRUE(doc.Modified());
  EXPECT_FALSE(doc.CanUndo());

  TKivEditDocument saved;
  saved.Insert(0, u"abc");
  saved.MarkSaved();
  saved.ClearUndo();  // at the saved text: stays unmodified
  EXPECT_FALSE(saved.Modified());
  saved.Insert(0, u"x");
  saved.Undo();
  EXPECT_FALSE(saved.Modified());
  saved.Insert(0, u"y");
  saved.SetUndoLimit(0);  // steps lost
  saved.SetUndoLimit(10);
  EXPECT_TRUE(saved.Modified());
}

TEST(DocumentUndo, FailedEditsDoNotMarkModified) {
  TKivEditDocument doc;
  EXPECT_THROW(doc.Insert(5, u"x"), EKivEditDocError);
  EXPECT_THROW(doc.Delete(0, 1), EKivEditDocError);
  doc.Insert(0, u"");
  doc.Replace(0, 0, u"");
  doc.BeginCompoundEdit();
  doc.EndCompoundEdit();
  EXPECT_FALSE(doc.Modified());
  EXPECT_FALSE(doc.CanUndo());
}

TEST(DocumentUndo, AuthorsUndoTheirOwnStepsWithTheirInfo) {
  TKivEditDocument doc;
  auto& in = doc.Internal();
  const Integer a = in.GetNextAuthorID(), b = in.GetNextAuthorID();
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 2);
  in.InsertStr(0, u"aa", a, std::make_unique<TCursorInfo>(0));
  in.PushCustomAction(b, std::make_unique<TCursorInfo>(42));  // b moved its cursor
  EXPECT_TRUE(in.GetCanUndo(a));
  TKivDocUndoInfoPtr old;
  in.Undo(a, std::make_unique<TCursorInfo>(2), old);
  EXPECT_EQ(PosOf(old), 0);
  EXPECT_EQ(doc.Text(), u"");
  // b's custom step went to the redo stack first, below a's text step.
  in.Redo(a, std::make_unique<TCursorInfo>(0), old);
  EXPECT_EQ(PosOf(old), 2);
  EXPECT_EQ(doc.Text(), u"aa");
  EXPECT_FALSE(in.GetCanRedo(a));
  EXPECT_TRUE(in.GetCanRedo(b));
  in.Redo(b, nullptr, old);
  EXPECT_EQ(PosOf(old), 42);
}

TEST(DocumentUndo, CompoundStepCarriesTheOpenersAuthorAndInfo) {
  TKivEditDocument doc;
  doc.Insert(0, u"hello");
  auto& in = doc.Internal();
  const Integer a = in.GetNextAuthorID();
  in.BeginCompoundAction(a, std::make_unique<TCursorInfo>(5), true);
  in.Delete(0, 1, -1, nullptr);
  in.InsertStr(0, u"J", -1, nullptr);
  doc.EndCompoundEdit();
  EXPECT_EQ(doc.Text(), u"Jello");
  TKivDocUndoInfoPtr old;
  in.Undo(a, nullptr, old);
  EXPECT_EQ(PosOf(old), 5);
  EXPECT_EQ(doc.Text(), u"hello");
}

TEST(DocumentUndo, SegmentsFreedByTheDocument) {
  TKivEditDocument doc;
  TKivSegment seg;
  SegmentFromString(u"xyz", seg);
  doc.Internal().InsertSeg(0, seg, -1, nullptr, true);
  SegmentFromString(u"q", seg);
  EXPECT_THROW(doc.Internal().InsertSeg(9, seg, -1, nullptr, true), EKivEditDocError);  // freed all the same
  SegmentFromString(u"Y", seg);
  doc.Internal().ReplaceSeg(1, 1, seg, -1, nullptr, true);
  EXPECT_EQ(doc.Text(), u"xYz");
}

TEST(DocumentUndo, CompoundEditsDuringLoadingLeaveNoHistory) {
  TKivEditDocument doc;
  doc.BeginLoading();
  doc.Lines().SetText(u"a\r\nb");
  doc.EndLoading();
  EXPECT_EQ(doc.Text(), u"a\r\nb");
  EXPECT_FALSE(doc.CanUndo());
  EXPECT_FALSE(doc.Modified());
}

// A string inserted without a private copy: one that lies in the document's own memory (the
// storage moves or reallocates its characters while inserting) still goes in as it was, and
// one undo takes it out. Small texts keep a small gap; the long one makes the storage grow.
TEST(DocumentUndo, InsertingTheDocumentsOwnCharactersKeepsThem) {
  for (const Integer len : {6, 3000}) {
    TKivEditDocument doc;
    TKivString text;
    for (Integer i = 0; i < len; ++i) text += Char(u'a' + i % 26);
    doc.Internal().InsertStr(0, text, -1, nullptr);
    auto& storage = dynamic_cast<TKivTextStorage&>(doc.Chars());
    const Char* chunk = nullptr;
    const Integer n = storage.GetChunk(0, chunk);
    ASSERT_EQ(n, len);
    const Integer at = len / 2;
    doc.Internal().InsertStr(at, TKivStringView(chunk, size_t(n)), -1, nullptr);
    EXPECT_EQ(doc.Text(), text.substr(0, size_t(at)) + text + text.substr(size_t(at))) << len;
    doc.Undo();
    EXPECT_EQ(doc.Text(), text) << len;
  }
}

}  // namespace

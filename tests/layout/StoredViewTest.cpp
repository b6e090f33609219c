// Saved view states: switching a view between documents and back restores where the user was,
// following edits made meanwhile; reloads, whole deletions, destruction and the limit forget.
#include <gtest/gtest.h>

#include <sstream>

#include "LayoutHarness.h"
#include "internal/StoredView.h"

namespace {

TKivString NumberedLines(int ACount) {
  TKivString s;
  for (int i = 0; i < ACount; ++i) s += (i ? u"\r\n" : u"") + KivFromUtf8("line " + std::to_string(i));
  return s;
}

std::unique_ptr<TKivEditDocument> NewDoc(int ALines) {
  auto doc = std::make_unique<TKivEditDocument>();
  auto parser = std::make_unique<FakeParser>();
  parser->AddFold(60, 70);
  parser->AddFold(62, 65);
  doc->SetParser(std::move(parser));
  doc->Insert(0, NumberedLines(ALines));
  return doc;
}

// A view that shows one document at a time, as a view's Document setter switches them.
class SwitchingView : public IKivScreenCacheHost {
 public:
  SwitchingView() : Cache(this, wmNoWrap, 8, 800, 10, 80, nullptr, nullptr) {}
  ~SwitchingView() override { Show(nullptr); }

  // An empty document stands in while none is shown.
  TKivEditDocument& Document() override { return FDoc ? *FDoc : FBlank; }
  bool CursorBoundToChars() const override { return true; }
  void InvalidateConversionCache(Integer) override {}

  void Show(TKivEditDocument* ADoc) {
    if (FDoc) {
      FDoc->RemoveListener(&FForwarder);
      Cache.DetachFromDocument(ADoc != nullptr);
    }
    FDoc = ADoc;
    if (FDoc) {
      Cache.AttachToDocument();
      FDoc->AddListener(&FForwarder);
    }
  }
  TKivEditDocument FBlank;
  TKivEditDocument* FDoc = nullptr;  // before the cache, which asks for the document at once
  TScreenCache Cache;

 private:
  TScreenCache* FCachePtr = &Cache;
  CacheEditForwarder FForwarder{FCachePtr};
};

struct Where {
  Integer Top;
  TOffsetPoint Cursor, SelStart, SelEnd;
  bool Block;
  std::string Folds;
  friend bool operator==(const Where&, const Where&) = default;
};

std::ostream& operator<<(std::ostream& AOut, const Where& A) {
  return AOut << "top " << A.Top << " cursor " << A.Cursor.Offset << "," << A.Cursor.InCharOffset << " sel "
              << A.SelStart.Offset << "-" << A.SelEnd.Offset << (A.Block ? " block" : "") << " folds " << A.Folds;
}

Where WhereOf(TScreenCache& C) {
  std::string folds;
  for (const auto& [start, end] : C.CollapsedFolds()) folds += std::to_string(start) + " ";
  return {C.FirstLinePhysical(), C.CursorOffset(), C.SelStartOffset(), C.SelEndOffset(), C.SelBlockMode(), folds};
}

// Folds 60-70 and 62-65 collapsed, top line 40, cursor on line 42 column 3, selected from
// line 41 to the cursor.
void PlaceOnA(TScreenCache& C, TKivEditDocument& A, bool ABlock) {
  C.Fold(62);
  C.Fold(60);
  C.SetFirstLineAsScroll(40);
  const TOffsetPoint cursor{A.GetLineStart(42) + 3, 0};
  C.SetCursorOffset(cursor, scBackward, ABlock);
  C.SetSelection(TOffsetPoint{A.GetLineStart(41), 0}, cursor, ABlock);
}

}  // namespace

TEST(StoredView, RoundTripRestoresWhereTheUserWas) {
  for (bool block : {false, true}) {
    auto a = NewDoc(100), b = NewDoc(5);
    SwitchingView v;
    v.Show(a.get());
    PlaceOnA(v.Cache, *a, block);
    const Where before = WhereOf(v.Cache);
    EXPECT_EQ(before.Folds, "60 62 ");
    v.Show(b.get());
    EXPECT_EQ(WhereOf(v.Cache), (Where{0, {0, 0}, {0, 0}, {0, 0}, false, ""}));
    EXPECT_EQ(v.Cache.StoredView().Count(), 1);
    v.Show(a.get());
    EXPECT_EQ(WhereOf(v.Cache), before) << block;
    EXPECT_EQ(v.Cache.StoredView().Count(), 1);  // B's state now; A's was used up
    EXPECT_NE(v.Cache.StoredView().GetDataByDoc(b.get()), nullptr);
    EXPECT_EQ(v.Cache.StoredView().GetDataByDoc(a.get()), nullptr);
  }
}

TEST(StoredView, StatesFollowEditsMadeWhileAnotherDocumentIsShown) {
  auto a = NewDoc(100), b = NewDoc(5);
  SwitchingView v;
  v.Show(a.get());
  PlaceOnA(v.Cache, *a, false);
  const Where before = WhereOf(v.Cache);
  v.Show(b.get());
  a->Insert(0, u"x\r\ny\r\nz\r\n");
  a->Insert(a->GetLineStart(90), u"below\r\n");
  // The parser finds the blocks where their text went.
  auto* parser = static_cast<FakeParser*>(a->GetParser());
  parser->ClearFolds();
  parser->AddFold(63, 73);
  parser->AddFold(65, 68);
  v.Show(a.get());
  const Where after = WhereOf(v.Cache);
  EXPECT_EQ(after.Top, 43);
  EXPECT_EQ(after.Cursor.Offset, before.Cursor.Offset + 9);
  EXPECT_EQ(after.SelStart.Offset, before.SelStart.Offset + 9);
  EXPECT_EQ(after.SelEnd.Offset, before.SelEnd.Offset + 9);
  EXPECT_EQ(after.Folds, "63 65 ");
  EXPECT_EQ(v.Cache.GetNextVisibleLine(63), 74);
}

TEST(StoredView, ReloadWholeDeletionAndDestructionForgetTheState) {
  const auto reload = [](TKivEditDocument& A) {
    std::istringstream in("other\r\ntext\r\n");
    A.LoadFromStream(in);
  };
  const auto deleteAll = [](TKivEditDocument& A) { A.Delete(0, A.CharsCount()); };
  for (const auto& forget : {std::function<void(TKivEditDocument&)>(reload), {deleteAll}}) {
    auto a = NewDoc(100), b = NewDoc(5);
    SwitchingView v;
    v.Show(a.get());
    PlaceOnA(v.Cache, *a, false);
    v.Show(b.get());
    forget(*a);
    EXPECT_EQ(v.Cache.StoredView().Count(), 0);
    v.Show(a.get());
    EXPECT_EQ(WhereOf(v.Cache), (Where{0, {0, 0}, {0, 0}, {0, 0}, false, ""}));
  }
  // A deletion of less than the whole text keeps it.
  auto a = NewDoc(100), b = NewDoc(5);
  std::unique_ptr<TKivEditDocument> c;  // outlives the view
  SwitchingView v;
  v.Show(a.get());
  PlaceOnA(v.Cache, *a, false);
  v.Show(b.get());
  a->Delete(0, a->CharsCount() - 1);
  EXPECT_EQ(v.Cache.StoredView().Count(), 1);

  // A destroyed while B is shown; a new document (maybe at the same address) restores nothing.
  a.reset();
  EXPECT_EQ(v.Cache.StoredView().Count(), 0);
  c = NewDoc(100);
  v.Show(c.get());
  EXPECT_EQ(WhereOf(v.Cache), (Where{0, {0, 0}, {0, 0}, {0, 0}, false, ""}));
}

TEST(StoredView, LimitsAndOffsetZero) {
  auto a = NewDoc(100), b = NewDoc(100), c = NewDoc(100);
  SwitchingView v;
  TStoredView& stored = v.Cache.StoredView();
  EXPECT_EQ(stored.GetDataLimit(), 100);
  // Limit 0: nothing is saved.
  stored.SetDataLimit(0);
  v.Show(a.get());
  v.Cache.SetCursorOffset({a->GetLineStart(7), 0});
  v.Show(b.get());
  EXPECT_EQ(stored.Count(), 0);
  v.Show(a.get());
  EXPECT_EQ(v.Cache.CursorOffset().Offset, 0);

  // Limit 1 keeps two states; the oldest goes first.
  stored.SetDataLimit(1);
  v.Cache.SetCursorOffset({a->GetLineStart(7), 0});
  v.Show(b.get());
  v.Cache.SetCursorOffset({b->GetLineStart(8), 0});
  v.Show(c.get());
  EXPECT_EQ(stored.Count(), 2);
  v.Show(b.get());  // saving C pushes A out
  EXPECT_EQ(v.Cache.CursorOffset().Offset, b->GetLineStart(8));
  v.Show(a.get());
  EXPECT_EQ(v.Cache.CursorOffset().Offset, 0);
  EXPECT_NE(stored.GetDataByDoc(c.get()), nullptr);
  EXPECT_NE(stored.GetDataByDoc(b.get()), nullptr);

  // Lowering the limit frees the oldest; a negative one counts as 0.
  stored.SetDataLimit(-5);
  EXPECT_EQ(stored.GetDataLimit(), 0);
  EXPECT_EQ(stored.Count(), 1);
  EXPECT_NE(stored.GetDataByDoc(b.get()), nullptr);

  // A cursor at offset 0 is saved without a marker and comes back at 0.
  stored.SetDataLimit(100);
  v.Show(b.get());
  v.Cache.SetCursorOffset({0, 0});
  v.Cache.SetSelection(TOffsetPoint{0, 0}, TOffsetPoint{0, 0});
  v.Show(c.get());
  TStoredViewData* saved = stored.GetDataByDoc(b.get());
  ASSERT_NE(saved, nullptr);
  EXPECT_EQ(saved->Cursor, nullptr);
  EXPECT_EQ(saved->ScreenStart, nullptr);
  v.Show(b.get());
  EXPECT_EQ(v.Cache.CursorOffset(), (TOffsetPoint{0, 0}));
}

TEST(StoredView, SwitchingInsideACompoundEditAndDestroyingTheViewAreSafe) {
  auto a = NewDoc(100), b = NewDoc(5);
  {
    SwitchingView v;
    v.Show(a.get());
    v.Cache.SetCursorOffset({a->GetLineStart(7), 0});
    a->BeginCompoundEdit();
    v.Show(b.get());  // no listener may join A now: the state is not saved, nothing fails
    a->EndCompoundEdit();
    EXPECT_EQ(v.Cache.StoredView().Count(), 0);
    v.Show(a.get());
    v.Cache.SetCursorOffset({a->GetLineStart(7), 0});
    v.Show(b.get());
    EXPECT_EQ(v.Cache.StoredView().Count(), 1);
  }
  // The view went with A's state: A's listeners and collections hold nothing of it.
  a->Insert(0, u"more\r\n");
  a->Delete(0, a->CharsCount());
  std::istringstream in("x");
  a->LoadFromStream(in);
  EXPECT_EQ(a->Text(), u"x");
}

// Marker collections: creation, queries, deletion, attributes, events, disposal and lifetime.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "DocumentTestSupport.h"
#include "KivErrors.h"
#include "MarkerFakeHost.h"

namespace {

using Log = std::vector<std::string>;

// "ab\ncd\n\nlast": lines start at 0, 3, 6, 7; line 2 is empty.
class MarkerCollectionTest : public ::testing::Test {
 protected:
  TMarkerFakeHost Host{u"ab\ncd\n\nlast"};
  IKivMarkersRef Plain = Host.Manager().CreateMarks(false, false, false);
  IKivMarkersRef Events = Host.Manager().CreateMarks(true, false, true);
};

TEST_F(MarkerCollectionTest, CreationChecksItsArguments) {
  EXPECT_EQ(DocErrorOf([&] { Plain->CreateMark(12); }),
            "Invalid char index for insert: 12. Valid range: [0, 11].");
  EXPECT_EQ(DocErrorOf([&] { Plain->CreateMark(-1); }),
            "Invalid char index for insert: -1. Valid range: [0, 11].");
  EXPECT_EQ(DocErrorOf([&] { Plain->CreateLineMark(4); }), "Invalid line index: 4. Valid range: [0, 3]");
  EXPECT_EQ(DocErrorOf([&] { Plain->CreateLineColumnMark(2, 0); }),
            "Invalid line column: 0. Valid range: [0, -1]");
  EXPECT_EQ(DocErrorOf([&] { Plain->CreateLineColumnMark(1, 2); }),
            "Invalid line column: 2. Valid range: [0, 1]");
  EXPECT_EQ(Plain->Count(), 0);

  EXPECT_EQ(Plain->CreateMark(11)->Pos(), 11);
  auto m = Plain->CreateLineColumnMark(1, 1);
  EXPECT_EQ(m->Pos(), 4);
  EXPECT_EQ(m->Line(), 1);
  EXPECT_EQ(m->Column(), 1);
  EXPECT_EQ(Plain->CreateLineMark(3)->Pos(), 7);
}

TEST_F(MarkerCollectionTest, ColumnIsTheOffsetFromTheLineStart) {
  TMarkerFakeHost host(u"abc\r\nxyzw");
  auto m = host.Manager().CreateMarks(false, false, false)->CreateMark(7);
  EXPECT_EQ(m->Line(), 1);
  EXPECT_EQ(m->Column(), 2);
  TMarkerFakeHost host2(u"abc\nxyzw");
  auto m2 = host2.Manager().CreateMarks(false, false, false)->CreateMark(7);
  EXPECT_EQ(m2->Column(), 3);
}

TEST_F(MarkerCollectionTest, EqualPositionsKeepCreationOrder) {
  auto first = Plain->CreateMark(3);
  auto second = Plain->CreateMark(3);
  auto before = Plain->CreateMark(1);
  EXPECT_EQ(Plain->Marks(0), before);
  EXPECT_EQ(Plain->Marks(1), first);
  EXPECT_EQ(Plain->Marks(2), second);
  EXPECT_EQ(Plain->GetLastLineMark(1), second);
  EXPECT_EQ(Plain->GetLastLineMark(2), nullptr);
  EXPECT_EQ(DocErrorOf([&] { Plain->Marks(3); }), "Invalid marker index: 3. Valid range: [0, 2]");
}

TEST_F(MarkerCollectionTest, LineRangesIncludeTheSeparatorPosition) {
  auto a = Plain->CreateMark(2);   // separator of line 0
  auto b = Plain->CreateMark(3);   // line 1
  auto c = Plain->CreateMark(5);   // separator of line 1
  auto d = Plain->CreateMark(6);   // empty line 2
  auto e = Plain->CreateMark(11);  // end of text
  EXPECT_EQ(Plain->GetMarksByLines(0, 1), TKivMarkArray{a});
  EXPECT_EQ(Plain->GetMarksByLines(1, 2), (TKivMarkArray{b, c, d}));
  EXPECT_EQ(Plain->GetMarksByLines(1, 0), TKivMarkArray{});
  EXPECT_EQ(Plain->GetMarksByLines(2, -1), (TKivMarkArray{d, e}));
  EXPECT_EQ(Plain->GetMarksCountByLines(0, 4), 5);
  EXPECT_EQ(Plain->GetLastLineMark(1), c);
  EXPECT_EQ(DocErrorOf([&] { Plain->GetMarksByLines(3, 2); }), "Invalid line index: 4. Valid range: [0, 3]");
  EXPECT_EQ(DocErrorOf([&] { Plain->GetMarksCountByLines(-1, 1); }),
            "Invalid line index: -1. Valid range: [0, 3]");

  EXPECT_EQ(Plain->GetMarksBySegment(2, 4), (TKivMarkArray{a, b, c}));
  EXPECT_EQ(Plain->GetMarksBySegment(3, 0), TKivMarkArray{});
  EXPECT_EQ(Plain->GetMarksBySegment(6, -1), TKivMarkArray{d});
  EXPECT_EQ(DocErrorOf([&] { Plain->GetMarksBySegment(10, 2); }),
            "Invalid char index for insert: 12. Valid range: [0, 11].");
}

TEST_F(MarkerCollectionTest, EnumerationsStopWhereTheCallbackSays) {
  for (Integer p : {0, 3, 4, 7, 9}) Plain->CreateMark(p);
  std::vector<Integer> seen;
  auto stopAt4 = [&](const IKivMarkRef& m, void* data, bool& stop) {
    EXPECT_EQ(data, &seen);
    seen.push_back(m->Pos());
    stop = m->Pos() == 4;
  };
  EXPECT_EQ(Plain->EnumMarkers(stopAt4, &seen)->Pos(), 4);
  EXPECT_EQ(seen, (std::vector<Integer>{0, 3, 4}));
  seen.clear();
  EXPECT_EQ(Plain->EnumMarkersByOffset(5, -1, stopAt4, &seen), nullptr);
  EXPECT_EQ(seen, (std::vector<Integer>{7, 9}));
  seen.clear();
  EXPECT_EQ(Plain->EnumMarkersByLines(1, 2, stopAt4, &seen)->Pos(), 4);
  EXPECT_EQ(seen, (std::vector<Integer>{3, 4}));
  // A callback may delete markers: the walk skips those that left.
  seen.clear();
  Plain->EnumMarkers(
      [&](const IKivMarkRef& m, void*, bool&) {
        seen.push_back(m->Pos());
        if (m->Pos() == 3) Plain->DeleteMarksAtLine(1);
      },
      nullptr);
  EXPECT_EQ(seen, (std::vector<Integer>{0, 3, 7, 9}));
}

TEST_F(MarkerCollectionTest, FindMarkByNameReturnsTheFirstInPositionOrder) {
  auto late = Plain->CreateMark(9);
  late->SetName(u"x");
  auto early = Plain->CreateMark(1);
  early->SetName(u"x");
  EXPECT_EQ(Plain->FindMarkByName(u"x"), early);
  EXPECT_EQ(Plain->FindMarkByName(u"y"), nullptr);
}

TEST_F(MarkerCollectionTest, DeletingMarkers) {
  auto a = Plain->CreateMark(3);
  auto b = Plain->CreateMark(4);
  auto c = Plain->CreateMark(4);
  auto d = Plain->CreateMark(8);
  Plain->DeleteLastMarkAtLine(1);
  EXPECT_FALSE(c->IsValid());
  Plain->DeleteMarksAtLine(1);
  EXPECT_FALSE(a->IsValid());
  EXPECT_FALSE(b->IsValid());
  EXPECT_EQ(Plain->Count(), 1);
  Plain->DeleteLastMarkAtLine(1);  // nothing left there
  EXPECT_EQ(DocErrorOf([&] { Plain->DeleteMark(a); }), "Can't delete marker with Valid=false");
  EXPECT_EQ(DocErrorOf([&] { a->DeleteFromCollection(); }), "Can't delete marker with Valid=false");
  EXPECT_EQ(DocErrorOf([&] { Plain->DeleteMark(nullptr); }), "Can't delete marker with Valid=false");
  d->DeleteFromCollection();
  EXPECT_FALSE(d->IsValid());
  EXPECT_EQ(d->Pos(), 8);
  EXPECT_EQ(d->Collection(), nullptr);
  EXPECT_EQ(Plain->Count(), 0);
}

TEST_F(MarkerCollectionTest, DeletingAMarkerOfAnotherCollectionChangesNothing) {
  auto mine = Plain->CreateMark(1);
  auto theirs = Events->CreateMark(3);
  Host.Log.clear();
  EXPECT_EQ(DocErrorOf([&] { Plain->DeleteMark(theirs); }),
            "Can't delete marker which belongs to other markers collection");
  EXPECT_EQ(DocErrorOf([&] { Events->DeleteMark(mine); }),
            "Can't delete marker which belongs to other markers collection");
  EXPECT_TRUE(mine->IsValid());
  EXPECT_TRUE(theirs->IsValid());
  EXPECT_EQ(Plain->Count(), 1);
  EXPECT_EQ(Events->Count(), 1);
  EXPECT_TRUE(Host.Log.empty());
  EXPECT_EQ(theirs->Collection(), Events);
}

TEST_F(MarkerCollectionTest, AttributesOfAnInvalidMarkerRaise) {
  auto m = Plain->CreateMark(2);
  Plain->DeleteMark(m);
  const std::string msg = "Can't get/set attributes for invalid marker. Mark.Valid=false.";
  auto* impl = static_cast<TMark*>(m.get());
  EXPECT_EQ(DocErrorOf([&] { m->SetName(u"n"); }), msg);
  int data = 0;
  EXPECT_EQ(DocErrorOf([&] { m->SetData(&data); }), msg);
  EXPECT_EQ(DocErrorOf([&] { m->NotifyDataChanged(); }), msg);
  EXPECT_EQ(DocErrorOf([&] { m->Line(); }), msg);
  EXPECT_EQ(DocErrorOf([&] { m->Column(); }), msg);
  EXPECT_EQ(DocErrorOf([&] { impl->SetBreakKind(mkBreakDisabled); }), msg);
  EXPECT_EQ(DocErrorOf([&] { impl->SetStackFrameKind(fkFrameTop); }), msg);
  EXPECT_EQ(m->Name(), u"");
  EXPECT_EQ(m->Data(), nullptr);
}

TEST_F(MarkerCollectionTest, EventsOfCreationSettingsAndDeletion) {
  auto m = Events->CreateMark(3);
  EXPECT_EQ(Host.Log, (Log{"BeforeMarkChange", "MarkCreated 3", "AfterMarkChange"}));
  Host.Log.clear();
  m->SetName(u"n");
  m->SetName(u"n");  // unchanged: silent
  int data = 0;
  m->SetData(&data);
  static_cast<TMark*>(m.get())->SetBreakKind(mkBreakDisabled);
  static_cast<TMark*>(m.get())->SetBreakKind(mkBreakDisabled);
  m->NotifyDataChanged();  // always reported
  EXPECT_EQ(static_cast<TMark*>(m.get())->GetBreakKind(), mkBreakDisabled);
  Log settings;
  for (int i = 0; i < 4; ++i)
    settings.insert(settings.end(), {"BeforeMarkChange", "MarkSettingsChanged 3", "AfterMarkChange"});
  EXPECT_EQ(Host.Log, settings);
  Host.Log.clear();
  Events->CreateMark(5);
  Host.Log.clear();
  Events->Clear();
  EXPECT_EQ(Host.Log, (Log{"BeforeMarkChange", "MarksDeleting 3 5", "AfterMarkChange"}));
  Host.Log.clear();
  Events->Clear();  // empty: nothing to report
  EXPECT_TRUE(Host.Log.empty());

  Plain->CreateMark(1)->SetName(u"q");
  Plain->Clear();
  EXPECT_TRUE(Host.Log.empty()) << "a collection without events changes silently";
}

TEST_F(MarkerCollectionTest, HandlersNestInTheOuterBracket) {
  Host.OnMarkCreating = [&](const IKivMarkersRef& c, const IKivMarkRef& m) {
    if (m->Pos() == 3) c->CreateMark(4);
  };
  Events->CreateMark(3);
  EXPECT_EQ(Host.Log, (Log{"BeforeMarkChange", "MarkCreated 4", "MarkCreated 3", "AfterMarkChange"}));
  EXPECT_EQ(Events->Count(), 2);
}

TEST_F(MarkerCollectionTest, LockedMarkersRefuseChangesBeforeChangingAnything) {
  auto m = Events->CreateMark(3);
  Host.Log.clear();
  Host.MarkersLock = 1;
  const std::string msg = "Document markers are locked for changes";
  EXPECT_EQ(DocErrorOf([&] { Events->CreateMark(4); }), msg);
  EXPECT_EQ(DocErrorOf([&] { m->SetName(u"n"); }), msg);
  EXPECT_EQ(DocErrorOf([&] { Events->DeleteMark(m); }), msg);
  EXPECT_EQ(DocErrorOf([&] { Events->Clear(); }), msg);
  EXPECT_EQ(Events->Count(), 1);
  EXPECT_TRUE(m->IsValid());
  EXPECT_EQ(m->Name(), u"");
  EXPECT_TRUE(Host.Log.empty());
  Plain->CreateMark(2);  // no events, no bracket, no lock
  Host.MarkersLock = 0;
  m->SetName(u"n");
  EXPECT_EQ(Host.Log, (Log{"BeforeMarkChange", "MarkSettingsChanged 3", "AfterMarkChange"}));
}

TEST_F(MarkerCollectionTest, EditingFromAMarkerEventIsLocked) {
  std::string creating, deleting;
  Host.OnMarkCreating = [&](const IKivMarkersRef&, const IKivMarkRef&) {
    creating = DocErrorOf([&] { Host.Insert(0, u"x"); });
  };
  Host.OnMarkDeleting = [&](const IKivMarkersRef&, const IKivMarkRef&) {
    deleting = DocErrorOf([&] { Host.Delete(0, 1); });
  };
  auto m = Events->CreateMark(3);
  m->DeleteFromCollection();
  EXPECT_EQ(creating, "Document is locked for changes");
  EXPECT_EQ(deleting, "Document is locked for changes");
  EXPECT_EQ(Host.Text(), u"ab\ncd\n\nlast");
}

TEST_F(MarkerCollectionTest, AHandlerRaisingStillClosesTheBracket) {
  Host.OnMarkDeleting = [&](const IKivMarkersRef&, const IKivMarkRef&) { throw EKivEditDocError(u"no"); };
  auto m = Events->CreateMark(3);
  Host.Log.clear();
  EXPECT_EQ(DocErrorOf([&] { m->DeleteFromCollection(); }), "no");
  EXPECT_EQ(Host.Log, (Log{"BeforeMarkChange", "AfterMarkChange"}));
  Host.OnMarkDeleting = nullptr;
  Host.Log.clear();
  m->DeleteFromCollection();
  EXPECT_EQ(Host.Log, (Log{"BeforeMarkChange", "MarksDeleting 3", "AfterMarkChange"}));
}

TEST_F(MarkerCollectionTest, ReleasedCollectionsAreUnusable) {
  auto m = Events->CreateMark(3);
  Host.Log.clear();
  ASSERT_TRUE(Host.Manager().HasMarks(Events));
  Host.Manager().ReleaseMarks(Events);
  EXPECT_EQ(Host.Log, (Log{"BeforeMarkChange", "MarksDeleting 3", "AfterMarkChange"}));
  EXPECT_FALSE(Host.Manager().HasMarks(Events));
  EXPECT_FALSE(m->IsValid());
  const std::string msg = "This markers collection was deleted from Document. Can't use it.";
  EXPECT_EQ(DocErrorOf([&] { Events->CreateMark(1); }), msg);
  EXPECT_EQ(DocErrorOf([&] { Events->Count(); }), msg);
  EXPECT_EQ(DocErrorOf([&] { Events->GetMarksByLines(0, 1); }), msg);
  EXPECT_EQ(DocErrorOf([&] { Events->Clear(); }), msg);
  EXPECT_EQ(DocErrorOf([&] { Events->DeleteMark(m); }), msg);
  // Edits no longer reach it.
  Host.Insert(0, u"x");
  EXPECT_EQ(Host.Manager().MarksCount(), 1);
}

TEST_F(MarkerCollectionTest, AHandlerMayReleaseTheCollectionItReportsFor) {
  Host.OnMarkCreating = [&](const IKivMarkersRef& c, const IKivMarkRef&) { Host.Manager().ReleaseMarks(c); };
  auto m = Events->CreateMark(3);
  EXPECT_FALSE(m->IsValid());
  EXPECT_EQ(Host.Log, (Log{"BeforeMarkChange", "MarksDeleting 3", "MarkCreated 3", "AfterMarkChange"}));
  EXPECT_FALSE(Host.Manager().HasMarks(Events));
}

TEST_F(MarkerCollectionTest, ClearAllMarksDisposesEveryCollection) {
  Events->CreateMark(1);
  auto p = Plain->CreateMark(2);
  Host.Log.clear();
  Host.Manager().ClearAllMarks();
  EXPECT_EQ(Host.Log, (Log{"BeforeMarkChange", "MarksDeleting 1", "AfterMarkChange"}));
  EXPECT_EQ(Host.Manager().MarksCount(), 0);
  EXPECT_FALSE(p->IsValid());
  EXPECT_TRUE(static_cast<TMarkCollection*>(Plain.get())->Disposed());
}

TEST(MarkerLifetimeTest, MarkersAndCollectionsOutliveTheirManager) {
  IKivMarkRef held;
  IKivMarkersRef coll;
  {
    TMarkerFakeHost host(u"ab\ncd");
    coll = host.Manager().CreateMarks(true, true, true);
    held = coll->CreateMark(3);
    held->SetName(u"kept");
  }
  EXPECT_FALSE(held->IsValid());
  EXPECT_EQ(held->Pos(), 3);
  EXPECT_EQ(held->Name(), u"kept");
  EXPECT_EQ(held->Collection(), nullptr);
  EXPECT_THROW(held->Line(), EKivEditDocError);
  EXPECT_THROW(held->DeleteFromCollection(), EKivEditDocError);
  EXPECT_THROW(coll->CreateMark(0), EKivEditDocError);
}

TEST(MarkerLifetimeTest, AMarkerHeldAfterItsCollectionIsGone) {
  TMarkerFakeHost host(u"ab\ncd");
  IKivMarkRef held;
  {
    auto coll = host.Manager().CreateMarks(false, false, false);
    held = coll->CreateMark(1);
    host.Manager().ReleaseMarks(coll);
  }  // the last reference to the collection goes here
  EXPECT_FALSE(held->IsValid());
  EXPECT_EQ(held->Collection(), nullptr);
  host.Insert(0, u"zz");
  EXPECT_EQ(held->Pos(), 1);
}

}  // namespace

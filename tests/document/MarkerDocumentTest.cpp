// Markers in a real document: built-in collections, the edit pipeline, events, locks,
// custom collections and lifetime.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "DocumentTestSupport.h"
#include "KivSedDocument.h"
#include "KivTestSeed.h"
#include "internal/Markers.h"

namespace {

using TLog = std::vector<std::string>;

class TMarkLogListener : public TKivDocumentListener {
 public:
  TMarkLogListener(std::string AName, TLog& ALog) : FName(std::move(AName)), FLog(ALog) {}
  void BeforeMarkChange() override { Add("BeforeMarkChange"); }
  void MarksDeleting(const IKivMarkersRef&, const TKivMarkArray& AMarks) override {
    std::string s = "MarksDeleting";
    for (auto& m : AMarks) s += " " + std::to_string(m->Pos()) + (m->IsValid() ? "" : "!invalid");
    Add(s);
  }
  void MarkCreated(const IKivMarkersRef&, const IKivMarkRef& AMark) override {
    Add("MarkCreated " + std::to_string(AMark->Pos()));
  }
  void MarkSettingsChanged(const IKivMarkersRef&, const IKivMarkRef& AMark) override {
    Add("MarkSettingsChanged " + std::to_string(AMark->Pos()));
  }
  void AfterMarkChange() override { Add("AfterMarkChange"); }
  void BeforeDelete(Integer AStart, Integer ALength) override {
    Add("BeforeDelete " + std::to_string(AStart) + " " + std::to_string(ALength));
  }
  void AfterDelete(Integer, Integer) override { Add("AfterDelete"); }
  void DoUserEventAfterDocChange() override { Add("UserEvent"); }

 private:
  void Add(const std::string& AWhat) { FLog.push_back(FName + ":" + AWhat); }
  std::string FName;
  TLog& FLog;
};

// Lines "l0" .. "l6" joined by CR LF: line k starts at 4k.
class MarkerDocumentTest : public ::testing::Test {
 protected:
  // Declared before the document, which tells its listeners when it goes.
  TLog Log;
  TMarkLogListener Public{"public", Log};
  TMarkLogListener View{"view", Log};
  TKivEditDocument Doc;

  void SetUp() override {
    Doc.Lines().SetText(u"l0\r\nl1\r\nl2\r\nl3\r\nl4\r\nl5\r\nl6");
    Doc.SetModified(false);
  }
  void Listen() {
    Doc.AddListener(&Public);
    Doc.Internal().AddListener(&View);
    Doc.OnDocChanged = [this](TKivEditDocument&, TKivDocStatusChanges c) {
      Log.push_back("DocChanged:" + ChangesText(c));
    };
    Doc.OnMarkCreating = [this](TKivEditDocument& d, const IKivMarkersRef& c, const IKivMarkRef& m) {
      EXPECT_EQ(&d, &Doc);
      EXPECT_TRUE(c);
      Log.push_back("OnMarkCreating " + std::to_string(m->Pos()));
    };
    Doc.OnMarkDeleting = [this](TKivEditDocument&, const IKivMarkersRef&, const IKivMarkRef& m) {
      Log.push_back("OnMarkDeleting " + std::to_string(m->Pos()));
    };
    // Without a handler the pending changes of the set-up accumulated: deliver them now.
    Doc.BeginUpdate();
    Doc.EndUpdate(true);
    Log.clear();
  }
};

TEST_F(MarkerDocumentTest, BuiltInCollections) {
  ASSERT_TRUE(Doc.Bookmarks() && Doc.Breakpoints() && Doc.DebugFrameLines());
  auto* books = static_cast<TMarkCollection*>(Doc.Bookmarks().get());
  auto* breaks = static_cast<TMarkCollection*>(Doc.Breakpoints().get());
  auto* frames = static_cast<TMarkCollection*>(Doc.DebugFrameLines().get());
  EXPECT_TRUE(books->LineBound() && books->KeepMarks() && books->ProduceEvents());
  EXPECT_TRUE(breaks->LineBound() && !breaks->KeepMarks() && breaks->ProduceEvents());
  EXPECT_TRUE(frames->LineBound() && !frames->KeepMarks() && frames->ProduceEvents());
}

TEST_F(MarkerDocumentTest, BookmarkFollowsItsLine) {
  auto b = Doc.Bookmarks()->CreateLineMark(3);
  Doc.Insert(12, u"x");
  EXPECT_EQ(b->Pos(), 12);
  EXPECT_EQ(b->Line(), 3);
  Doc.Insert(12, u"\r\n");
  EXPECT_EQ(b->Pos(), 14);
  EXPECT_EQ(b->Line(), 4);
  Doc.InsertLine(0, u"new");
  EXPECT_EQ(b->Line(), 5);
  EXPECT_EQ(b->Column(), 0);
}

TEST_F(MarkerDocumentTest, DeleteLineTakesItsBreakpointAndLeavesTheNextLines) {
  auto onLine2 = Doc.Breakpoints()->CreateLineMark(2);
  auto onLine3 = Doc.Breakpoints()->CreateLineMark(3);
  auto book2 = Doc.Bookmarks()->CreateLineMark(2);
  auto book3 = Doc.Bookmarks()->CreateLineMark(3);
  Doc.DeleteLine(2);
  EXPECT_FALSE(onLine2->IsValid());
  ASSERT_TRUE(onLine3->IsValid());
  EXPECT_EQ(onLine3->Line(), 2);
  EXPECT_EQ(book2->Line(), 2);
  EXPECT_EQ(book3->Line(), 2);
  EXPECT_EQ(Doc.Bookmarks()->Marks(0), book2);
  // Joining line 2 to line 1 from the end of line 1 takes line 2's breakpoint.
  Doc.Delete(6, 2);
  EXPECT_FALSE(onLine3->IsValid());
  EXPECT_EQ(book3->Pos(), 4);
  EXPECT_EQ(book3->Line(), 1);
}

TEST_F(MarkerDocumentTest, DeletingTheWholeTextRemovesBookmarks) {
  auto b = Doc.Bookmarks()->CreateLineMark(1);
  auto bp = Doc.Breakpoints()->CreateLineMark(5);
  auto cursor = Doc.CreateCustomMarkers(true, false, false)->CreateMark(9);
  Listen();
  Doc.Clear();
  EXPECT_FALSE(b->IsValid());
  EXPECT_FALSE(bp->IsValid());
  EXPECT_EQ(cursor->Pos(), 0);
  EXPECT_EQ(Doc.Bookmarks()->Count(), 0);
  EXPECT_EQ(Log, (TLog{"public:BeforeMarkChange",
                       "view:BeforeMarkChange",
                       "OnMarkDeleting 4",
                       "public:MarksDeleting 4",
                       "view:MarksDeleting 4",
                       "view:AfterMarkChange",
                       "public:AfterMarkChange",
                       "view:UserEvent",
                       "public:UserEvent",
                       "public:BeforeMarkChange",
                       "view:BeforeMarkChange",
                       "OnMarkDeleting 20",
                       "public:MarksDeleting 20",
                       "view:MarksDeleting 20",
                       "view:AfterMarkChange",
                       "public:AfterMarkChange",
                       "view:UserEvent",
                       "public:UserEvent",
                       "public:BeforeDelete 0 26",
                       "view:BeforeDelete 0 26",
                       "view:AfterDelete",
                       "public:AfterDelete",
                       "view:UserEvent",
                       "public:UserEvent",
                       "DocChanged:delete+markersDeleted+modified"}));
  // Undo brings the text back, not the removed markers.
  Doc.Undo();
  EXPECT_EQ(Doc.Bookmarks()->Count(), 0);
  EXPECT_EQ(Doc.LinesCount(), 7);
}

TEST_F(MarkerDocumentTest, EventOrderOfCreationSettingsAndDeletion) {
  Listen();
  auto m = Doc.Breakpoints()->CreateLineMark(2);
  EXPECT_EQ(
      Log, (TLog{"public:BeforeMarkChange", "view:BeforeMarkChange", "OnMarkCreating 8", "view:MarkCreated 8",
                 "public:MarkCreated 8", "view:AfterMarkChange", "public:AfterMarkChange", "view:UserEvent",
                 "public:UserEvent", "DocChanged:markersCreated"}));
  Log.clear();
  Doc.SetBreakpointKind(m, mkBreakDisabled);
  EXPECT_EQ(Doc.GetBreakpointKind(m), mkBreakDisabled);
  EXPECT_EQ(Log, (TLog{"public:BeforeMarkChange", "view:BeforeMarkChange", "view:MarkSettingsChanged 8",
                       "public:MarkSettingsChanged 8", "view:AfterMarkChange", "public:AfterMarkChange",
                       "view:UserEvent", "public:UserEvent", "DocChanged:markSettings"}));
  Log.clear();
  m->DeleteFromCollection();
  EXPECT_EQ(Log, (TLog{"public:BeforeMarkChange", "view:BeforeMarkChange", "OnMarkDeleting 8",
                       "public:MarksDeleting 8", "view:MarksDeleting 8", "view:AfterMarkChange",
                       "public:AfterMarkChange", "view:UserEvent", "public:UserEvent",
                       "DocChanged:markersDeleted"}));
}

TEST_F(MarkerDocumentTest, TextDeletionReportsMarkersBeforeTheText) {
  auto bp = Doc.Breakpoints()->CreateLineMark(2);
  Doc.Bookmarks()->CreateLineMark(2);  // keeps its mark: not reported
  Listen();
  Doc.DeleteLine(2);
  EXPECT_EQ(Log,
            (TLog{"public:BeforeMarkChange", "view:BeforeMarkChange", "OnMarkDeleting 8",
                  "public:MarksDeleting 8", "view:MarksDeleting 8", "view:AfterMarkChange",
                  "public:AfterMarkChange", "view:UserEvent", "public:UserEvent", "public:BeforeDelete 8 4",
                  "view:BeforeDelete 8 4", "view:AfterDelete", "public:AfterDelete", "view:UserEvent",
                  "public:UserEvent", "DocChanged:delete+markersDeleted+modified"}));
  EXPECT_FALSE(bp->IsValid());
}

TEST_F(MarkerDocumentTest, EditingFromAMarkerEventIsLocked) {
  std::string creating, deleting;
  Doc.OnMarkCreating = [&](TKivEditDocument& d, const IKivMarkersRef&, const IKivMarkRef&) {
    creating = DocErrorOf([&] { d.Insert(0, u"x"); });
  };
  Doc.OnMarkDeleting = [&](TKivEditDocument& d, const IKivMarkersRef&, const IKivMarkRef&) {
    deleting = DocErrorOf([&] { d.Delete(0, 1); });
  };
  auto bp = Doc.Breakpoints()->CreateLineMark(1);
  EXPECT_EQ(creating, "Document is locked for changes");
  const TKivString before = Doc.Text();
  Doc.DeleteLine(1);  // reports the breakpoint first
  EXPECT_EQ(deleting, "Document is locked for changes");
  EXPECT_EQ(Doc.LinesCount(), 6);
  EXPECT_EQ(Doc.Text(), before.substr(0, 4) + before.substr(8));
  // The lock is gone after the handlers.
  Doc.Insert(0, u"y");
}

TEST_F(MarkerDocumentTest, LockedMarkersRefuseChangesAndTheEditsThatWouldRemoveThem) {
  auto bp = Doc.Breakpoints()->CreateLineMark(1);
  const TKivString before = Doc.Text();
  Doc.Internal().LockMarkers();
  EXPECT_EQ(DocErrorOf([&] { Doc.Bookmarks()->CreateLineMark(0); }),
            "Document markers are locked for changes");
  EXPECT_EQ(DocErrorOf([&] { Doc.DeleteLine(1); }), "Document markers are locked for changes");
  EXPECT_EQ(Doc.Text(), before);
  EXPECT_TRUE(bp->IsValid());
  Doc.Insert(0, u"free");  // moving markers is no marker change
  EXPECT_EQ(bp->Line(), 1);
  Doc.Internal().UnlockMarkers();
  Doc.Bookmarks()->CreateLineMark(0);
}

TEST_F(MarkerDocumentTest, KindAccessorsCheckTheCollection) {
  auto bp = Doc.Breakpoints()->CreateLineMark(1);
  auto frame = Doc.DebugFrameLines()->CreateLineMark(2);
  auto book = Doc.Bookmarks()->CreateLineMark(3);
  const std::string notBreak = "This method expects passed marker belongs to Breakpoints document collection";
  const std::string notFrame =
      "This method expects passed marker belongs to DebuggerStackLines document collection";
  EXPECT_EQ(DocErrorOf([&] { Doc.GetBreakpointKind(book); }), notBreak);
  EXPECT_EQ(DocErrorOf([&] { Doc.SetBreakpointKind(frame, mkBreakInactive); }), notBreak);
  EXPECT_EQ(DocErrorOf([&] { Doc.GetBreakpointKind(nullptr); }), notBreak);
  EXPECT_EQ(DocErrorOf([&] { Doc.GetDebugFrameKind(bp); }), notFrame);
  EXPECT_EQ(DocErrorOf([&] { Doc.SetDebugFrameKind(book, fkFrameTop); }), notFrame);
  EXPECT_EQ(Doc.GetBreakpointKind(bp), mkBreakActive);
  Doc.SetBreakpointKind(bp, mkBreakInactive);
  EXPECT_EQ(Doc.GetBreakpointKind(bp), mkBreakInactive);
  Doc.SetDebugFrameKind(frame, fkFrameActive);
  EXPECT_EQ(Doc.GetDebugFrameKind(frame), fkFrameActive);
  bp->DeleteFromCollection();
  EXPECT_EQ(DocErrorOf([&] { Doc.GetBreakpointKind(bp); }), notBreak);
}

TEST_F(MarkerDocumentTest, CustomCollections) {
  auto sel = Doc.CreateCustomMarkers(true, false, false);
  auto lines = Doc.CreateCustomLineMarkers(false, true);
  EXPECT_TRUE(static_cast<TMarkCollection*>(lines.get())->LineBound());
  auto start = sel->CreateMark(5);
  auto end = sel->CreateMark(10);
  Doc.Delete(4, 8);
  EXPECT_EQ(start->Pos(), 4);
  EXPECT_EQ(end->Pos(), 4);

  TKivEditDocument other;
  auto foreign = other.CreateCustomMarkers(false, false, false);
  EXPECT_EQ(DocErrorOf([&] { Doc.DetachCustomMarkers(foreign); }),
            "Custom markers are nil or not belongs to this document");
  EXPECT_EQ(DocErrorOf([&] { Doc.DetachCustomMarkers(nullptr); }),
            "Custom markers are nil or not belongs to this document");
  EXPECT_EQ(DocErrorOf([&] { Doc.DetachCustomMarkers(Doc.Bookmarks()); }),
            "This markers collection (Bookmarks, Breakpoints etc) can't be detached from Document");

  bool docChanged = false;
  Doc.OnDocChanged = [&](TKivEditDocument&, TKivDocStatusChanges) { docChanged = true; };
  Doc.DetachCustomMarkers(sel);
  EXPECT_FALSE(docChanged);
  EXPECT_FALSE(start->IsValid());
  EXPECT_EQ(DocErrorOf([&] { sel->CreateMark(0); }),
            "This markers collection was deleted from Document. Can't use it.");
  EXPECT_EQ(DocErrorOf([&] { Doc.DetachCustomMarkers(sel); }),
            "Custom markers are nil or not belongs to this document");
}

TEST(MarkerDocumentLifetimeTest, MarkersOutliveTheDocument) {
  IKivMarkRef book, custom;
  IKivMarkersRef coll;
  {
    TKivEditDocument doc;
    doc.Insert(0, u"ab\r\ncd");
    book = doc.Bookmarks()->CreateLineMark(1);
    coll = doc.CreateCustomMarkers(false, false, true);
    custom = coll->CreateMark(5);
  }
  EXPECT_FALSE(book->IsValid());
  EXPECT_FALSE(custom->IsValid());
  EXPECT_EQ(custom->Pos(), 5);
  EXPECT_EQ(book->Collection(), nullptr);
  EXPECT_THROW(book->Line(), EKivEditDocError);
  EXPECT_THROW(coll->Count(), EKivEditDocError);
}

// A whole-text deletion takes line markers at the very end of the text too, however it is made.
TEST(MarkerDocumentRegressionTest, WholeTextDeletionTakesMarkersAtTheEnd) {
  for (int how = 0; how < 2; ++how) {
    SCOPED_TRACE(how);
    TKivEditDocument doc;
    doc.Insert(0, u"ab\n");
    auto bp = doc.Breakpoints()->CreateLineMark(1);
    auto frame = doc.DebugFrameLines()->CreateLineMark(1);
    auto book = doc.Bookmarks()->CreateLineMark(1);
    auto cursor = doc.CreateCustomMarkers(false, false, false)->CreateMark(3);
    TKivMarkArray reported;
    doc.OnMarkDeleting = [&](TKivEditDocument&, const IKivMarkersRef&, const IKivMarkRef& m) {
      reported.push_back(m);
    };
    if (how == 0) doc.Clear();
    if (how == 1) doc.Delete(0, doc.CharsCount());
    EXPECT_EQ(doc.Text(), u"");
    EXPECT_FALSE(bp->IsValid());
    EXPECT_FALSE(frame->IsValid());
    EXPECT_FALSE(book->IsValid());
    EXPECT_EQ(reported.size(), 3u);
    // A plain marker is not bound to a line: it stays at the (new) end.
    ASSERT_TRUE(cursor->IsValid());
    EXPECT_EQ(cursor->Pos(), 0);
  }
}

// Keeping a CR LF pair whole never moves or removes markers of the lines around it.
TEST(MarkerDocumentRegressionTest, PairRuleKeepsMarkersOnTheirLines) {
  struct TCase {
    const char* Name;
    TKivString Text;
    Integer Line;  // where a bookmark and a breakpoint are
    bool Insert;
    Integer At, Count;
    TKivString Str;
    TKivString After;
    Integer LineAfter;
  };
  const TCase cases[] = {
      {"insertion between CR and LF", u"a\r\nb", 1, true, 2, 0, u"x", u"a\rx\nb", 2},
      {"line break typed between CR and LF", u"a\r\nb", 1, true, 2, 0, u"\n", u"a\r\n\nb", 2},
      {"line before keeps its markers", u"a\r\nb", 0, true, 2, 0, u"x", u"a\rx\nb", 0},
      {"deleting just the LF", u"a\r\nb", 1, false, 2, 1, u"", u"a\rb", 1},
      {"deleting just the CR", u"a\r\nb", 1, false, 1, 1, u"", u"a\nb", 1},
      {"deleting the line content and its CR", u"a\r\nbc\r\nd", 2, false, 3, 3, u"", u"a\r\n\nd", 2},
      {"deleting from the LF to a line start", u"a\r\nb\nc", 2, false, 2, 3, u"", u"a\rc", 1},
      {"deleting from the LF into a line", u"a\r\nbc\nd", 2, false, 2, 2, u"", u"a\rc\nd", 2},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TKivEditDocument doc;
    doc.Insert(0, c.Text);
    auto book = doc.Bookmarks()->CreateLineMark(c.Line);
    auto bp = doc.Breakpoints()->CreateLineMark(c.Line);
    if (c.Insert)
      doc.Insert(c.At, c.Str);
    else
      doc.Delete(c.At, c.Count);
    EXPECT_EQ(doc.Text(), c.After);
    for (const auto& m : {book, bp}) {
      ASSERT_TRUE(m->IsValid());
      EXPECT_EQ(m->Line(), c.LineAfter);
      EXPECT_EQ(m->Pos(), doc.GetLineStart(c.LineAfter));
    }
    // One undo step brings back the text and leaves the markers on their lines.
    doc.Undo();
    EXPECT_EQ(doc.Text(), c.Text);
    for (const auto& m : {book, bp}) {
      ASSERT_TRUE(m->IsValid());
      EXPECT_EQ(m->Line(), c.Line);
    }
  }
}

TEST(MarkerDocumentRegressionTest, InsertionInsideTheOnlyPairKeepsEveryBookmark) {
  TKivEditDocument doc;
  doc.Insert(0, u"\r\n");
  auto first = doc.Bookmarks()->CreateLineMark(0);
  auto second = doc.Bookmarks()->CreateLineMark(1);
  auto bp = doc.Breakpoints()->CreateLineMark(1);
  doc.Insert(1, u"x");
  EXPECT_EQ(doc.Text(), u"\rx\n");
  EXPECT_EQ(doc.Bookmarks()->Count(), 2);
  ASSERT_TRUE(first->IsValid() && second->IsValid() && bp->IsValid());
  EXPECT_EQ(first->Line(), 0);
  EXPECT_EQ(second->Line(), 2);
  EXPECT_EQ(bp->Line(), 2);
}

// Deleting the last line keeps the markers of the line before it, even an empty one.
TEST(MarkerDocumentRegressionTest, DeleteLastLineKeepsTheLineBefore) {
  for (const TKivString text : {u"a\n\nb", u"a\r\n\r\nb", u"a\n\n", u"a\nc\nb"}) {
    SCOPED_TRACE(KivToUtf8(text));
    TKivEditDocument doc;
    doc.Insert(0, text);
    auto before = doc.Breakpoints()->CreateLineMark(1);
    auto book = doc.Bookmarks()->CreateLineMark(1);
    auto last = doc.Breakpoints()->CreateLineMark(2);
    doc.DeleteLine(2);
    EXPECT_EQ(doc.LinesCount(), 2);
    ASSERT_TRUE(before->IsValid());
    EXPECT_EQ(before->Line(), 1);
    EXPECT_EQ(book->Line(), 1);
    EXPECT_FALSE(last->IsValid());
  }
}

// On LF texts a line break taken away before the empty last line removes the line it ends, not
// the last line: the last line's breakpoint moves up. Only a whole-text deletion takes it.
TEST(MarkerDocumentRegressionTest, BreakpointOnTheEmptyLastLineSurvivesLineBreakDeletions) {
  struct TCase {
    const char* Name;
    TKivString Text;
    Integer Line;  // the breakpoint's line (the empty last line)
    std::function<void(TKivEditDocument&)> Action;
    TKivString After;
    Integer LineAfter;  // -1: deleted
  };
  const TCase cases[] = {
      {"undo of a line break typed at the end", u"ab\ncd\n", 2,
       [](TKivEditDocument& d) {
         d.Insert(6, u"\n");
         d.Undo();
       },
       u"ab\ncd\n", 2},
      {"undo of AppendLine", u"ab\ncd\n", 2,
       [](TKivEditDocument& d) {
         d.AppendLine(u"");
         d.Undo();
       },
       u"ab\ncd\n", 2},
      {"DeleteLine of the empty line before", u"ab\ncd\n\n", 3, [](TKivEditDocument& d) { d.DeleteLine(2); },
       u"ab\ncd\n", 2},
      {"the line break alone", u"ab\ncd\n\n", 3, [](TKivEditDocument& d) { d.Delete(6, 1); }, u"ab\ncd\n", 2},
      {"Clear", u"ab\ncd\n", 2, [](TKivEditDocument& d) { d.Clear(); }, u"", -1},
      {"deleting everything", u"ab\ncd\n\n", 3, [](TKivEditDocument& d) { d.Delete(0, 7); }, u"", -1},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TKivEditDocument doc;
    // An edit before the text's own step keeps later undo steps apart from it.
    doc.Insert(0, u"x" + c.Text);
    doc.Delete(0, 1);
    auto bp = doc.Breakpoints()->CreateLineMark(c.Line);
    c.Action(doc);
    EXPECT_EQ(doc.Text(), c.After);
    if (c.LineAfter < 0) {
      EXPECT_FALSE(bp->IsValid());
      EXPECT_EQ(doc.Breakpoints()->Count(), 0);
      continue;
    }
    EXPECT_TRUE(bp->IsValid());
    if (!bp->IsValid()) continue;
    EXPECT_EQ(bp->Line(), c.LineAfter);
    EXPECT_EQ(bp->Pos(), doc.GetLineStart(c.LineAfter));
    EXPECT_EQ(doc.Breakpoints()->Count(), 1);
  }
}

// Random edits through the document (with its CR LF rule, compound edits and undo) with
// markers in every kind of collection; the seed is printed.
TEST(MarkerDocumentModelTest, RandomEditsWithMarkersEverywhere) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  auto rnd = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  static const char16_t kAlphabet[] = {u'a', u'b', u'\r', u'\n', u'c', u' '};
  auto text = [&](int max) {
    TKivString s;
    for (int i = rnd(1, max); i > 0; --i) s += kAlphabet[rnd(0, 5)];
    return s;
  };

  // The pipeline's single edits of the current step, for the failure message.
  struct TEditLog : TKivDocumentListener {
    std::string Text;
    void BeforeInsert(Integer AStart, Integer ALength) override {
      Text += " ins(" + std::to_string(AStart) + "," + std::to_string(ALength) + ")";
    }
    void BeforeDelete(Integer AStart, Integer ALength) override {
      Text += " del(" + std::to_string(AStart) + "," + std::to_string(ALength) + ")";
    }
  };
  for (int round = 0; round < 6; ++round) {
    TEditLog edits;
    TKivEditDocument doc;
    doc.AddListener(&edits);
    doc.Insert(0, text(30));
    std::vector<IKivMarkersRef> colls = {doc.Bookmarks(), doc.Breakpoints(), doc.DebugFrameLines()};
    for (bool lineBound : {false, true})
      for (bool keep : {false, true}) colls.push_back(doc.CreateCustomMarkers(keep, lineBound, rnd(0, 1)));
    std::map<const IKivMark*, bool> lineMarks;
    IKivMarkRef outliving;
    for (int step = 0; step < 250; ++step) {
      SCOPED_TRACE("round " + std::to_string(round) + " step " + std::to_string(step));
      const Integer len = doc.CharsCount();
      if (rnd(0, 2) == 0) {
        auto& c = colls[rnd(0, static_cast<int>(colls.size()) - 1)];
        const bool lineBound = static_cast<TMarkCollection*>(c.get())->LineBound();
        IKivMarkRef m = lineBound && rnd(0, 2) ? c->CreateLineMark(rnd(0, doc.LinesCount() - 1))
                                               : c->CreateMark(rnd(0, len));
        lineMarks[m.get()] = lineBound && doc.GetLineStart(m->Line()) == m->Pos();
        if (rnd(0, 1)) m->Line();
        if (!outliving) outliving = m;
      }
      const std::string before = KivToUtf8(doc.Text());
      edits.Text.clear();
      std::string op;
      switch (rnd(0, 9)) {
        case 0:
        case 1:
        case 2: {
          const Integer at = rnd(0, len);
          const TKivString str = text(5);
          op = "Insert " + std::to_string(at) + " '" + KivToUtf8(str) + "'";
          doc.Insert(at, str);
          break;
        }
        case 3:
        case 4:
          if (len > 0) {
            const Integer s = rnd(0, len - 1);
            const Integer n = rnd(1, std::min(6, len - s));
            op = "Delete " + std::to_string(s) + " " + std::to_string(n);
            doc.Delete(s, n);
          }
          break;
        case 5:
          if (len > 0) {
            const Integer s = rnd(0, len - 1);
            const Integer n = rnd(0, std::min(4, len - s));
            const TKivString str = text(3);
            op = "Replace " + std::to_string(s) + " " + std::to_string(n) + " '" + KivToUtf8(str) + "'";
            doc.Replace(s, n, str);
          }
          break;
        case 6: {
          const Integer line = rnd(0, doc.LinesCount() - 1);
          op = "DeleteLine " + std::to_string(line);
          doc.DeleteLine(line);
        } break;
        case 7:
          op = "Undo";
          if (doc.CanUndo()) doc.Undo();
          break;
        case 8:
          op = "Redo";
          if (doc.CanRedo()) doc.Redo();
          break;
        default:
          if (rnd(0, 5) == 0)
            doc.Clear();
          else
            doc.InsertLine(rnd(0, doc.LinesCount()), text(4));
      }
      std::string esc;
      for (char ch : before)
        esc += ch == '\r' ? std::string("\\r") : ch == '\n' ? std::string("\\n") : std::string(1, ch);
      SCOPED_TRACE("after " + op + " on \"" + esc + "\":" + edits.Text);
      for (auto& c : colls) {
        Integer prev = -1;
        for (Integer i = 0; i < c->Count(); ++i) {
          auto m = c->Marks(i);
          ASSERT_TRUE(m->IsValid());
          ASSERT_GE(m->Pos(), prev) << "unsorted";
          prev = m->Pos();
          ASSERT_LE(m->Pos(), doc.CharsCount());
          const Integer cached = static_cast<TMark*>(m.get())->CachedLine();
          const Integer line = doc.GetLineByOffset(m->Pos());
          ASSERT_TRUE(cached == -1 || cached == line) << "stale line " << cached << " for pos " << m->Pos();
          ASSERT_EQ(m->Line(), line);
          if (lineMarks[m.get()]) {
            ASSERT_EQ(doc.GetLineStart(line), m->Pos())
                << "line mark left its line start, collection " << (&c - &colls[0]);
          }
        }
      }
      if (HasFatalFailure()) return;
    }
    // Detach a custom collection now and then; the rest go with the document.
    doc.DetachCustomMarkers(colls.back());
  }
}

}  // namespace

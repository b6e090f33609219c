// The view's document listener: one change bracket per notification pair, the screen cache
// following the document, and recovery when a pair is cut short by a raising listener.
#include <gtest/gtest.h>

#include <sstream>

#include "LayoutHarness.h"
#include "internal/ViewLst.h"

namespace {

// A view core as far as the listener needs one: a change bracket that lays out, keeps the
// bottom of the text at the window's bottom, collects status changes and counts repaints.
class FakeViewCore : public IKivViewLstHost, public IKivScreenCacheHost {
 public:
  explicit FakeViewCore(TKivEditDocument& ADoc, Integer ALines = 10)
      : Doc(ADoc), Cache(this, wmNoWrap, 8, 800, ALines, 80, &Measure, nullptr), Lst(*this) {
    Cache.AttachToDocument();
    Doc.Internal().AddListener(&Lst);
    Cache.ResetStatusChanges();
  }
  ~FakeViewCore() override {
    Doc.Internal().RemoveListener(&Lst);
    Cache.DetachFromDocument();
  }

  // IKivScreenCacheHost
  TKivEditDocument& Document() override { return Doc; }
  bool CursorBoundToChars() const override { return false; }
  void InvalidateConversionCache(Integer AFromOffset) override { Invalidations.push_back(AFromOffset); }

  // IKivViewLstHost
  TScreenCache& ScreenCache() override { return Cache; }
  void BeginUpdate() override { ++Depth; }
  void EndUpdate(bool AFullRepaint) override {
    ASSERT_GT(Depth, 0);
    if (--Depth > 0) return;
    Cache.UpdateLayout();
    Cache.ClampBottom(Cache.ScreenHeightLines() - 1);
    Collected |= Cache.StatusChanges();
    Cache.ResetStatusChanges();
    if (MarkersChanged) Cache.ScreenMarkersChanged();
    MarkersChanged = false;
    ++Repaints;
    FullRepaints += AFullRepaint ? 1 : 0;
  }
  void SuspendUpdates(bool ASuspend) override { Suspended += ASuspend ? 1 : -1; }
  void SetLastOffsetForUndo(Integer AOffset) override { LastOffsetForUndo = AOffset; }
  void ReadDocumentSettings() override { ++SettingsReads; }
  void NoteScreenMarkersChanged() override { MarkersChanged = true; }
  void ReportIfIdle() override {
    if (Depth == 0 && Collected) {
      Reports.push_back(Collected);
      Collected = 0;
    }
  }
  void DetachDocument() override { Detached = true; }

  TKivEditDocument& Doc;
  FixedMeasure Measure;
  TScreenCache Cache;
  TViewLst Lst;
  Integer Depth = 0, Repaints = 0, FullRepaints = 0, Suspended = 0, SettingsReads = 0;
  Integer LastOffsetForUndo = -1;
  bool MarkersChanged = false, Detached = false;
  TKivViewStatusChanges Collected = 0;
  std::vector<TKivViewStatusChanges> Reports;
  std::vector<Integer> Invalidations;
};

// Raises from BeforeInsert while armed.
struct RaisingListener : TKivDocumentListener {
  void BeforeInsert(Integer, Integer) override {
    if (Armed) throw EKivEditViewError(u"listener failed");
  }
  bool Armed = true;
};

TKivString Lines(int ACount) {
  TKivString text;
  for (int i = 0; i < ACount; ++i) text += i ? u"\r\nline" : u"line";
  return text;
}

}  // namespace

TEST(ViewLst, OneBracketPerEditAndTheCacheFollows) {
  TKivEditDocument doc;
  doc.Insert(0, Lines(20));
  FakeViewCore view(doc);
  view.Cache.SetFirstLineAsScroll(5);
  view.Cache.ResetStatusChanges();
  doc.Insert(0, u"x\r\n");
  EXPECT_EQ(view.Depth, 0);
  EXPECT_EQ(view.Repaints, 1);
  EXPECT_EQ(view.LastOffsetForUndo, 3);
  EXPECT_EQ(view.Invalidations, std::vector<Integer>{0});
  EXPECT_EQ(view.Cache.FirstLinePhysical(), 6);
  // The cursor at 0 goes along with the text typed there; reported once, after the edit.
  ASSERT_EQ(view.Reports.size(), 1u);
  EXPECT_EQ(view.Reports[0], scVScroll | scCursor | scSelection);
  EXPECT_EQ(view.Cache.CursorOffset(), (TOffsetPoint{3, 0}));

  doc.BeginCompoundEdit();
  doc.Insert(0, u"a");
  doc.Delete(0, 1);
  EXPECT_EQ(view.Repaints, 1);
  doc.EndCompoundEdit();
  EXPECT_EQ(view.Repaints, 2);
  EXPECT_EQ(view.LastOffsetForUndo, 0);

  // Deleting the end of the text pulls the top up so that the window ends at the last row.
  const Integer from = doc.GetLineEnd(7);
  doc.Delete(from, doc.CharsCount() - from);
  EXPECT_EQ(view.Cache.FirstLineScroll(), 0);

  // Markers: rows with flags are redrawn once the bracket closes.
  doc.Bookmarks()->CreateLineMark(1);
  EXPECT_EQ(view.Cache.GetScreenLineProps(1) & KivLineProp(lpBookmark), KivLineProp(lpBookmark));
  EXPECT_EQ(view.Depth, 0);
}

// A run of edits shares one bracket: the view lays out once, when the run ends, and the cache
// followed every edit (the top line stays on its text).
TEST(ViewLst, ARunOfEditsSharesOneBracket) {
  TKivEditDocument doc;
  doc.Insert(0, Lines(20));
  FakeViewCore view(doc);
  view.Cache.SetFirstLineAsScroll(5);
  view.Cache.UpdateLayout();
  view.Lst.BeginEditRun();
  EXPECT_EQ(view.Depth, 0);  // nothing opens before the first edit
  doc.BeginCompoundEdit(true);
  doc.Insert(0, u"x\r\n");
  EXPECT_EQ(view.Depth, 2);
  doc.Delete(doc.GetLineStart(9), 6);  // below the top
  doc.Insert(0, u"y\r\nz\r\n");
  doc.Delete(0, 1);
  EXPECT_EQ(view.Depth, 2);
  EXPECT_EQ(view.Lst.OpenBrackets(), 2);
  EXPECT_EQ(view.Invalidations.size(), 4u);
  EXPECT_EQ(view.LastOffsetForUndo, 0);
  view.Lst.EndEditRun();
  EXPECT_EQ(view.Depth, 1);
  EXPECT_EQ(view.Repaints, 0);
  doc.EndCompoundEdit(true);
  EXPECT_EQ(view.Depth, 0);
  EXPECT_EQ(view.Repaints, 1);
  EXPECT_EQ(view.Cache.FirstLinePhysical(), 8);
  EXPECT_EQ(KivToUtf8(doc.GetLineText(8)), "line");
  // After the run every edit has its own bracket again.
  doc.Insert(0, u"w");
  EXPECT_EQ(view.Repaints, 2);
  EXPECT_EQ(view.Depth, 0);
}

TEST(ViewLst, RefreshesRepaintFullyAndResumeUpdates) {
  TKivEditDocument doc;
  doc.Insert(0, Lines(5));
  FakeViewCore view(doc);
  view.Cache.AddHighlight(0, 2);
  view.Cache.SetFirstLineAsScroll(3);
  std::istringstream text("new\r\ntext");
  doc.LoadFromStream(text);
  EXPECT_EQ(view.Depth, 0);
  EXPECT_EQ(view.Suspended, 0);
  EXPECT_GE(view.FullRepaints, 1);
  EXPECT_EQ(view.Cache.Highlights().RangesCnt(), 0);
  EXPECT_EQ(view.Cache.FirstLinePhysical(), 1);  // the top line clamped to the text
  EXPECT_EQ(view.Cache.CalkVisibleCountScroll(), 2);
}

TEST(ViewLst, RecoversWhenAListenerRaisesBetweenBeforeAndAfter) {
  TKivEditDocument doc;
  doc.Insert(0, Lines(5));
  FakeViewCore view(doc);
  RaisingListener raising;
  doc.Internal().AddListener(&raising);  // told after the view: the view's Before has run
  EXPECT_THROW(doc.Insert(0, u"x"), EKivEditViewError);
  EXPECT_EQ(view.Depth, 1);
  EXPECT_EQ(view.Lst.OpenBrackets(), 1);
  // The next edit closes the bracket that was left open.
  raising.Armed = false;
  doc.Insert(0, u"y\r\n");
  EXPECT_EQ(view.Depth, 0);
  EXPECT_EQ(view.Lst.OpenBrackets(), 0);
  EXPECT_EQ(view.Cache.FirstCharOnScreen(), 0);
  EXPECT_EQ(view.Cache.LinesOnScreenScroll(), 6);
  // Or the view closes it when the document is idle.
  raising.Armed = true;
  EXPECT_THROW(doc.Insert(0, u"x"), EKivEditViewError);
  ASSERT_EQ(doc.UpdateDepth(), 0);
  view.Lst.RecoverStaleBrackets();
  EXPECT_EQ(view.Depth, 0);
  EXPECT_EQ(KivToUtf8(doc.GetLineText(0)), "y");
  doc.Internal().RemoveListener(&raising);
}

TEST(ViewLst, DocumentDestroyedDetachesTheView) {
  auto doc = std::make_unique<TKivEditDocument>();
  doc->Insert(0, u"abc");
  struct Host : IKivViewLstHost {
    TScreenCache& ScreenCache() override { throw std::logic_error("not used"); }
    void InvalidateConversionCache(Integer) override {}
    void BeginUpdate() override {}
    void EndUpdate(bool) override {}
    void SuspendUpdates(bool) override {}
    void SetLastOffsetForUndo(Integer) override {}
    void ReadDocumentSettings() override {}
    void NoteScreenMarkersChanged() override {}
    void ReportIfIdle() override {}
    void DetachDocument() override { Detached = true; }
    bool Detached = false;
  } host;
  TViewLst lst(host);
  doc->Internal().AddListener(&lst);
  doc.reset();
  EXPECT_TRUE(host.Detached);
}

TEST(ViewLst, TopLineFollowsEditsAboveItAndStaysForEditsFromItsStartOn) {
  // 20 lines "line" (6 characters with CR LF): line L starts at 6 * L.
  struct TCase {
    const char* Name;
    bool Insert;
    Integer At, Count;  // Count: characters deleted
    const char16_t* Text;
    Integer Top;  // the top line after the edit (it was 5)
  };
  const TCase cases[] = {
      {"line break typed above", true, 6 * 4 + 4, 0, u"x\r\n", 6},
      {"two lines typed above", true, 6 * 2, 0, u"a\r\nb\r\n", 7},
      {"line break typed at the top's start", true, 6 * 5, 0, u"x\r\n", 5},
      {"line break typed on the top line", true, 6 * 5 + 2, 0, u"x\r\n", 5},
      {"line break typed below", true, 6 * 9, 0, u"x\r\n", 5},
      {"lines deleted above", false, 6 * 1, 12, nullptr, 3},
      {"deletion across the top's start", false, 6 * 3 + 2, 14, nullptr, 3},
      {"lines deleted from the top's start", false, 6 * 5, 12, nullptr, 5},
      {"lines deleted below", false, 6 * 8, 18, nullptr, 5},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TKivEditDocument doc;
    doc.Insert(0, Lines(20));
    FakeViewCore view(doc, 5);
    view.Cache.SetFirstLineAsScroll(5);
    ASSERT_EQ(view.Cache.FirstLinePhysical(), 5);
    const Integer rowsBefore = view.Cache.CalkVisibleCountScrollBar(false);
    if (c.Insert)
      doc.Insert(c.At, c.Text);
    else
      doc.Delete(c.At, c.Count);
    EXPECT_EQ(view.Cache.FirstLinePhysical(), c.Top);
    // The scroll bar's row count follows the lines count (also for edits below the top).
    EXPECT_EQ(view.Cache.CalkVisibleCountScrollBar(false), rowsBefore + doc.LinesCount() - 20);
    EXPECT_EQ(view.Cache.CalkVisibleCountScrollBar(false), view.Cache.CalkVisibleCountScrollBar(true));
  }
}

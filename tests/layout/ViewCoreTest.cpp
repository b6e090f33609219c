// The view core with a recording host: defaults, the change bracket and its one report and one
// repaint, settings, states, documents coming and going, read-only rules, metrics and the
// coordinate and navigation operations.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "KivSedViewCore.h"
#include "KivTestAccess.h"
#include "LayoutFakes.h"
#include "RecordingViewHost.h"
#include "internal/ScreenCache.h"
#include "internal/StoredView.h"

namespace {

// Clipboard and editing as far as these tests need them: calls are counted.
struct CountingEditHooks : IKivViewEditHooks {
  bool ClipboardHasText(TKivEditViewCore&) override { return true; }
  void CopySelection(TKivEditViewCore&) override { ++Copies; }
  void Paste(TKivEditViewCore&) override { ++Pastes; }
  int Copies = 0, Pastes = 0;
};

struct RecordingSearchHooks : IKivViewSearchHooks {
  void HideCompletionList(TKivEditViewCore&) override { Log += "hide "; }
  void StopCompletionTimer(TKivEditViewCore&) override { Log += "stop "; }
  void StartIncrementalSearch(TKivEditViewCore&) override { Log += "start "; }
  void EndIncrementalSearch(TKivEditViewCore&) override { Log += "end "; }
  void CloseSearchState(TKivEditViewCore&) override { Log += "close "; }
  std::string Log;
};

struct FixedGutter : IKivViewMouseHooks {
  Integer GutterWidth(const TKivEditViewCore&) const override { return Width; }
  Integer Width = 30;
};

TKivString Lines(int ACount) {
  TKivString text;
  for (int i = 0; i < ACount; ++i) {
    if (i) text += u"\r\n";
    text += u"L" + KivFromUtf8(std::to_string(i));
  }
  return text;
}

// A view on a document, its reports collected.
struct ViewFixture : ::testing::Test {
  void Attach(TKivEditDocument& ADoc) {
    View.SetDocument(&ADoc);
    Host.ResetCounts();
    Reports.clear();
  }
  void SetUp() override {
    View.OnStatusChanged = [this](TKivEditViewCore&, TKivViewStatusChanges AChanges) {
      Reports.push_back(AChanges);
    };
    View.HostResized();
    Host.ResetCounts();
    Reports.clear();
  }

  RecordingHost Host;
  TKivEditViewCore View{Host};
  std::vector<TKivViewStatusChanges> Reports;
};

}  // namespace

TEST_F(ViewFixture, DefaultsOfANewView) {
  EXPECT_EQ(View.ViewSettings(), 1330);
  EXPECT_EQ(View.TabWidth(), 8);
  EXPECT_EQ(View.IndentWidth(), 4);
  EXPECT_EQ(View.WrapMode(), wmNoWrap);
  EXPECT_EQ(View.WrapRulerWidth(), 80);
  EXPECT_TRUE(View.WantReturns());
  EXPECT_TRUE(View.WantTabs());
  EXPECT_FALSE(View.ReadOnly());
  EXPECT_EQ(View.MaxHorizScroll(), 500);
  EXPECT_EQ(View.StoreDocSettingsLimit(), 100);
  EXPECT_EQ(View.ScrollBars(), ssBoth);
  EXPECT_EQ(KivToUtf8(View.Font().Name), "Courier New");
  EXPECT_EQ(View.Font().Size, 10);
  // The stored numbers of the colours (red in the lowest byte).
  const std::pair<TKivColor, TKivColor> colors[] = {
      {View.ReadOnlyBgColor(), 12632256u},        {View.WrapRulerColor(), 8421504u},
      {View.SelectedLineBg(), 15138810u},         {View.BreakpointLineColor(), 0u},
      {View.BreakpointLineBg(), 16762823u},       {View.DebugFrameLineColor(), 0u},
      {View.DebugFrameLineBg(), 15134702u},       {View.DebugFrameActiveLineColor(), 0u},
      {View.DebugFrameActiveLineBg(), 10066380u}, {View.DebugFrameTopLineColor(), 0u},
      {View.DebugFrameTopLineBg(), 10066380u},    {View.SelectionBg(), 10841427u},
      {View.SelectionColor(), 16777215u}};
  for (size_t i = 0; i < std::size(colors); ++i)
    EXPECT_EQ(colors[i].first, colors[i].second) << "colour " << i;
}

TEST_F(ViewFixture, WithoutADocumentTheViewShowsAnEmptyReadOnlyOne) {
  CountingEditHooks edit;
  View.SetEditHooks(&edit);
  EXPECT_EQ(View.Document(), nullptr);
  EXPECT_EQ(View.WorkingDocument().CharsCount(), 0);
  EXPECT_TRUE(View.WorkingDocument().ReadOnly());
  EXPECT_GT(View.AuthorID(), 0);
  EXPECT_EQ(View.GetVisibleCountScroll(), 1);
  EXPECT_FALSE(Host.Vert.Visible);  // the text fits: the bar is hidden
  EXPECT_FALSE(View.CanPaste());    // even with text on the clipboard
  EXPECT_FALSE(View.CanUndo());
  const std::string needsDoc = "Document must be attached to View for this operation";
  EXPECT_EQ(ViewErrorOf([&] { View.GotoOffset(0); }), needsDoc);
  EXPECT_EQ(ViewErrorOf([&] { View.GotoPhysLine(0); }), needsDoc);
  EXPECT_EQ(ViewErrorOf([&] { View.SetTopLineScroll(1); }), needsDoc);
  EXPECT_EQ(ViewErrorOf([&] { View.Paste(); }), needsDoc);
  EXPECT_EQ(ViewErrorOf([&] { View.Fold(0); }), needsDoc);
  EXPECT_EQ(edit.Pastes, 0);
  EXPECT_TRUE(Reports.empty());
  EXPECT_EQ(View.UpdatingCount(), 0);
}

TEST_F(ViewFixture, ReadOnlyViewOrDocumentRefusesChangesButCopies) {
  struct Case {
    bool ViewReadOnly, DocReadOnly, Refused;
  };
  for (const Case c : {Case{true, false, true}, Case{false, true, true}, Case{false, false, false}}) {
    SCOPED_TRACE(testing::Message() << "view " << c.ViewReadOnly << " doc " << c.DocReadOnly);
    TKivEditDocument doc;
    doc.Insert(0, u"some text");
    Attach(doc);
    CountingEditHooks edit;
    View.SetEditHooks(&edit);
    View.SetSelectionOffsets(0, 4);
    View.SetReadOnly(c.ViewReadOnly);
    doc.SetReadOnly(c.DocReadOnly);
    EXPECT_EQ(View.IsReadOnly(), c.Refused);
    if (c.Refused) {
      EXPECT_EQ(ViewErrorOf([&] { View.Paste(); }), "This View or its Document is read-only.");
      EXPECT_EQ(ViewErrorOf([&] { View.CutSelection(); }), "This View or its Document is read-only.");
      EXPECT_EQ(edit.Pastes, 0);
    } else {
      View.Paste();
      EXPECT_EQ(edit.Pastes, 1);
    }
    EXPECT_EQ(View.CanPaste(), !c.Refused);
    EXPECT_EQ(View.CanCut(), !c.Refused);
    EXPECT_TRUE(View.CanCopy());
    View.CopySelection();
    EXPECT_EQ(edit.Copies, 1);
    EXPECT_EQ(KivToUtf8(doc.GetText(0, doc.CharsCount())), "some text");
    View.SetEditHooks(nullptr);
    View.SetReadOnly(false);
    View.SetDocument(nullptr);
  }
}

TEST_F(ViewFixture, UnchangedSettingsDoNothingAndAChangeRepaintsAndReportsOnce) {
  TKivEditDocument doc;
  Attach(doc);
  View.SetTabWidth(8);
  View.SetIndentWidth(4);
  View.SetWrapMode(wmNoWrap);
  View.SetWrapRulerWidth(80);
  View.SetViewSettings(kivDefaultViewSettings);
  View.SetSelectionBg(View.SelectionBg());
  View.SetReadOnly(false);
  View.SetFont(View.Font());
  View.SetSyntaxCheckTokens(u"");
  EXPECT_EQ(Host.Repaints(), 0);
  EXPECT_TRUE(Reports.empty());

  TKivViewFont bigger = View.Font();
  bigger.Size = 12;
  const struct {
    const char* Name;
    std::function<void()> Change;
    TKivViewStatusChanges Expected;
  } changes[] = {
      {"TabWidth", [&] { View.SetTabWidth(4); }, scViewSettings},
      {"IndentWidth", [&] { View.SetIndentWidth(2); }, scViewSettings},
      {"WrapMode", [&] { View.SetWrapMode(wmWrapToRuler); }, scViewSettings},
      {"WrapRulerWidth", [&] { View.SetWrapRulerWidth(60); }, scWrapSettings},
      {"ViewSettings", [&] { View.SetViewSettings(vsUseTabs); }, scViewSettings},
      {"colour", [&] { View.SetSelectionBg(0x123456); }, scViewSettings},
      {"ReadOnly", [&] { View.SetReadOnly(true); }, scViewSettings},
      {"Font", [&] { View.SetFont(bigger); }, scFont},
      {"SpecialChars", [&] { View.SpecialChars().SetShowChar(skSpace, u'~'); }, scViewSettings},
  };
  for (const auto& c : changes) {
    SCOPED_TRACE(c.Name);
    Host.ResetCounts();
    Reports.clear();
    c.Change();
    EXPECT_EQ(Host.FullRepaints, 1);
    EXPECT_TRUE(Host.Rects.empty());
    ASSERT_EQ(Reports.size(), 1u);
    EXPECT_EQ(Reports[0], c.Expected);
  }
  ASSERT_EQ(Host.Fonts.size(), 1u);
  EXPECT_EQ(Host.Fonts[0].Size, 12);
}

TEST_F(ViewFixture, BadSettingsAreRefusedOrMended) {
  TKivEditDocument doc;
  Attach(doc);
  EXPECT_EQ(ViewErrorOf([&] { View.SetTabWidth(0); }), "Bad tab width: 0. It should be in bounds: [1, 200]");
  EXPECT_EQ(ViewErrorOf([&] { View.SetTabWidth(201); }),
            "Bad tab width: 201. It should be in bounds: [1, 200]");
  EXPECT_EQ(View.TabWidth(), 8);
  EXPECT_EQ(View.UpdatingCount(), 0);
  EXPECT_TRUE(Reports.empty());
  View.SetWrapMode(wmWrapToRuler);
  View.SetWrapMode(static_cast<TKivViewWrapMode>(7));
  EXPECT_EQ(View.WrapMode(), wmNoWrap);
  // (Without a window: a scroll-bar update would raise the range to the cursor's cell.)
  Host.Window = false;
  View.SetMaxHorizScroll(-5);
  EXPECT_EQ(View.MaxHorizScroll(), 0);
  Host.Window = true;
  View.SetStoreDocSettingsLimit(-3);
  EXPECT_EQ(View.StoreDocSettingsLimit(), 0);
}

TEST_F(ViewFixture, NestedBracketsReportAndRepaintOnceWhenTheOuterCloses) {
  TKivEditDocument doc;
  doc.Insert(0, Lines(20));
  Attach(doc);
  View.BeginUpdate();
  View.BeginUpdate();
  View.SetCursorOffset(doc.GetLineStart(2));
  View.SetSelectionOffsets(doc.GetLineStart(2), doc.GetLineStart(3));
  View.EndUpdate();
  EXPECT_EQ(Host.Repaints(), 0);
  EXPECT_TRUE(Reports.empty());
  View.EndUpdate();
  ASSERT_EQ(Reports.size(), 1u);
  EXPECT_EQ(Reports[0], scCursor | scSelection);
  EXPECT_EQ(Host.Flushes, 1);
  EXPECT_EQ(Host.FullRepaints, 0);
  // Only the rows that changed (the cursor left row 0; the selection ends moved from row 0 to
  // rows 2 and 3), as one run.
  std::vector<std::pair<Integer, Integer>> rows;
  for (const TKivRect& r : Host.Rects) rows.emplace_back(r.Top / 16, r.Bottom / 16);
  EXPECT_EQ(rows, (std::vector<std::pair<Integer, Integer>>{{0, 4}}));
  // A cursor move repaints the row left (the selection put the cursor at its end) and the row
  // reached.
  Host.ResetCounts();
  View.SetCursorOffset(doc.GetLineStart(6));
  rows.clear();
  for (const TKivRect& r : Host.Rects) rows.emplace_back(r.Top / 16, r.Bottom / 16);
  EXPECT_EQ(rows, (std::vector<std::pair<Integer, Integer>>{{3, 4}, {6, 7}}));
  // A bracket that changes nothing repaints nothing.
  Host.ResetCounts();
  View.BeginUpdate();
  View.EndUpdate();
  EXPECT_EQ(Host.Repaints(), 0);
  EXPECT_EQ(Reports.size(), 2u);
}

TEST_F(ViewFixture, AnExternalEditReportsOnceAfterTheDocumentIsDone) {
  TKivEditDocument doc;
  doc.Insert(0, u"abc");
  Attach(doc);
  Integer charsWhenReported = -1;
  View.OnStatusChanged = [&](TKivEditViewCore&, TKivViewStatusChanges AChanges) {
    Reports.push_back(AChanges);
    charsWhenReported = doc.CharsCount();
  };
  doc.Insert(0, u"x");
  ASSERT_EQ(Reports.size(), 1u);
  EXPECT_TRUE(Reports[0] & scCursor);
  EXPECT_EQ(charsWhenReported, 4);
  EXPECT_EQ(View.CursorOffset(), 1);
  // Inside a bracket of the view the report waits for the view's bracket.
  View.BeginUpdate();
  doc.Insert(0, u"y");
  EXPECT_EQ(Reports.size(), 1u);
  View.EndUpdate();
  EXPECT_EQ(Reports.size(), 2u);
  // A compound edit reports once.
  doc.BeginCompoundEdit();
  doc.Insert(0, u"1");
  doc.Insert(0, u"2");
  doc.EndCompoundEdit();
  EXPECT_EQ(Reports.size(), 3u);
  EXPECT_EQ(View.UpdatingCount(), 0);
}

TEST_F(ViewFixture, DestroyingTheAttachedDocumentLeavesTheEmptyOne) {
  auto doc = std::make_unique<TKivEditDocument>();
  doc->Insert(0, Lines(30));
  Attach(*doc);
  View.SetCursorOffset(doc->GetLineStart(20));
  doc->Bookmarks()->CreateLineMark(3);
  doc.reset();
  EXPECT_EQ(View.Document(), nullptr);
  EXPECT_EQ(View.WorkingDocument().CharsCount(), 0);
  EXPECT_GT(View.AuthorID(), 0);
  EXPECT_EQ(View.CursorOffset(), 0);
  EXPECT_EQ(View.TopLineScroll(), 0);
  EXPECT_EQ(View.UpdatingCount(), 0);
  View.SetTabWidth(4);  // still a working view
  EXPECT_EQ(View.GetVisibleCountScroll(), 1);
}

TEST_F(ViewFixture, SwitchingDocumentsMovesTheListenerAndTheAuthor) {
  TKivEditDocument a, b;
  a.Insert(0, Lines(5));
  b.Insert(0, u"b");
  Attach(a);
  const Integer authorA = View.AuthorID();
  View.SetDocument(&b);
  EXPECT_TRUE(Reports.empty());  // attaching reports nothing
  EXPECT_EQ(Host.FullRepaints, 1);
  EXPECT_EQ(View.GetVisibleCountScroll(), 1);
  EXPECT_GT(View.AuthorID(), 0);
  // a is no longer followed.
  Host.ResetCounts();
  a.Insert(0, u"x\r\n");
  EXPECT_EQ(Host.Repaints(), 0);
  EXPECT_TRUE(Reports.empty());
  View.SetDocument(&a);
  EXPECT_EQ(View.GetVisibleCountScroll(), 6);
  EXPECT_NE(View.AuthorID(), authorA);  // a new author for every attachment
  // Inside a compound edit the view cannot register with the document.
  b.BeginCompoundEdit();
  EXPECT_NE(ViewErrorOf([&] { View.SetDocument(&b); }), "<no error>");
  EXPECT_EQ(View.Document(), &a);
  b.EndCompoundEdit();
}

TEST_F(ViewFixture, GutterPaintLocksTheViewEvenWhenItRaises) {
  RecordingPainter canvas;
  std::string error;
  View.OnGutterPaint = [&](TKivEditViewCore& AView, IKivPaintSurface&, const TKivRect&, Integer) {
    error = ViewErrorOf([&] { AView.BeginUpdate(); });
    throw EKivEditViewError(u"handler failed");
  };
  EXPECT_EQ(ViewErrorOf([&] { View.DoGutterPaint(canvas, {0, 0, 30, 16}, 0); }), "handler failed");
  EXPECT_EQ(error, "View is locked for changes");
  EXPECT_EQ(canvas.Text(), "save restore");
  View.BeginUpdate();  // unlocked again
  View.EndUpdate();
  EXPECT_EQ(View.UpdatingCount(), 0);
}

TEST_F(ViewFixture, PreparePainterCopiesEachPropertyIntoItsOwnField) {
  // Every colour a value of its own, so that a colour landing in another's field shows.
  using TSet = void (TKivEditViewCore::*)(TKivColor);
  const std::pair<TSet, TKivColor TKivViewPaintColors::*> colors[] = {
      {&TKivEditViewCore::SetWrapRulerColor, &TKivViewPaintColors::WrapRulerColor},
      {&TKivEditViewCore::SetReadOnlyBgColor, &TKivViewPaintColors::ReadOnlyBgColor},
      {&TKivEditViewCore::SetSelectedLineBg, &TKivViewPaintColors::SelectedLineBg},
      {&TKivEditViewCore::SetBreakpointLineColor, &TKivViewPaintColors::BreakpointLineColor},
      {&TKivEditViewCore::SetBreakpointLineBg, &TKivViewPaintColors::BreakpointLineBg},
      {&TKivEditViewCore::SetSelectionBg, &TKivViewPaintColors::SelectionBg},
      {&TKivEditViewCore::SetSelectionColor, &TKivViewPaintColors::SelectionColor},
      {&TKivEditViewCore::SetDebugFrameTopLineColor, &TKivViewPaintColors::DebugFrameTopLineColor},
      {&TKivEditViewCore::SetDebugFrameActiveLineColor, &TKivViewPaintColors::DebugFrameActiveLineColor},
      {&TKivEditViewCore::SetDebugFrameLineColor, &TKivViewPaintColors::DebugFrameLineColor},
      {&TKivEditViewCore::SetDebugFrameTopLineBg, &TKivViewPaintColors::DebugFrameTopLineBg},
      {&TKivEditViewCore::SetDebugFrameActiveLineBg, &TKivViewPaintColors::DebugFrameActiveLineBg},
      {&TKivEditViewCore::SetDebugFrameLineBg, &TKivViewPaintColors::DebugFrameLineBg}};
  static_assert(std::size(colors) == TKivEditViewCore::cpColorCount);
  for (size_t i = 0; i < std::size(colors); ++i) (View.*colors[i].first)(TKivColor(0x010100 + i));
  View.SetFont({u"Mono", 10, 13, 0x123456, fsItalic});
  View.SetViewSettings(vsShowWrapRuler);
  View.SetReadOnly(true);
  View.Gutter().Bars().Clear();
  View.Gutter().Bars().Add().SetKind(gbLineNumberBar);
  View.Gutter().Bars()[0].SetWidth(20);
  View.Gutter().SetLinesBarBg(0x0000FF);

  TKivEditPainter painter;
  View.PreparePainter(painter);
  for (size_t i = 0; i < std::size(colors); ++i)
    EXPECT_EQ(painter.Colors.*colors[i].second, TKivColor(0x010100 + i)) << "colour " << i;
  EXPECT_EQ(painter.Colors.Color, 0xFFFFFFu);
  EXPECT_EQ(painter.Colors.FontColor, 0x123456u);
  EXPECT_EQ(painter.Settings.LineHeight, View.LineHeight());
  EXPECT_EQ(painter.Settings.FontStyle, fsItalic);
  EXPECT_FALSE(painter.Settings.HighlightSelectedLine);
  EXPECT_TRUE(painter.Settings.ShowWrapRuler);
  EXPECT_TRUE(painter.Settings.ReadOnly);
  EXPECT_FALSE(painter.Settings.Printing);
  ASSERT_EQ(painter.Gutter.Bars.size(), 1u);
  EXPECT_EQ(painter.Gutter.Width(), 24);
  EXPECT_EQ(painter.Gutter.LinesBarBg, 0x0000FFu);
  EXPECT_EQ(painter.SpecialChars, &View.SpecialChars());
  EXPECT_EQ(painter.ChangesLock, View.ChangesLockCounter());

  // The other way round: a highlighted line is the default setting.
  View.SetViewSettings(kivDefaultViewSettings);
  View.PreparePainter(painter);
  EXPECT_TRUE(painter.Settings.HighlightSelectedLine);
  EXPECT_FALSE(painter.Settings.ShowWrapRuler);
}

TEST_F(ViewFixture, StatesCallTheirHooksAndChecksName) {
  RecordingSearchHooks hooks;
  View.SetSearchHooks(&hooks);
  View.EnterState(siComplListShown);
  View.EnterState(siComplTimer);
  View.EnterState(siIncrementalSearch);
  View.EnterState(siIncrementalSearch);
  EXPECT_EQ(hooks.Log, "start ");
  View.LockCmdModes();
  View.ExitStatesUnlessLocked(kivStatesOnScroll);
  EXPECT_EQ(hooks.Log, "start ");
  View.UnlockCmdModes();
  View.ExitStates(kivStatesOnChange | siComplTimer);
  EXPECT_EQ(hooks.Log, "start hide stop end ");
  EXPECT_EQ(View.State(), 0);

  const struct {
    TKivEditInternalState State;
    bool MustBeSet;
    const char* Message;
  } checks[] = {
      {siComplListShown, true, "Completion list should be shown for this command (or method)"},
      {siComplListShown, false, "<no error>"},
      {siIncrementalSearch, true, "View should be in incremental search mode for this command (or method)"},
      {siIncrementalSearch, false, "<no error>"},
  };
  for (const auto& c : checks)
    EXPECT_EQ(ViewErrorOf([&] { View.CheckState(c.State, c.MustBeSet); }), c.Message);
  View.EnterState(siComplListShown);
  View.EnterState(siIncrementalSearch);
  EXPECT_EQ(ViewErrorOf([&] { View.CheckState(siComplListShown, false); }),
            "Completion list should NOT be shown for this command (or method)");
  EXPECT_EQ(ViewErrorOf([&] { View.CheckState(siIncrementalSearch, false); }),
            "View should NOT be in incremental search mode for this command (or method)");
  // A settings change leaves them.
  View.SetIndentWidth(2);
  EXPECT_EQ(View.State(), 0);
  View.SetSearchHooks(nullptr);
}

TEST_F(ViewFixture, MetricsComeFromTheClientSize) {
  const struct {
    Integer Width, Height, Gutter;
    Integer ScreenHeight, Fully, TextWidth;
  } cases[] = {
      {100, 50, 0, 4, 3, 100}, {100, 48, 0, 3, 3, 100}, {100, 5, 0, 1, 1, 100},
      {100, 0, 0, 1, 1, 100},  {100, 50, 30, 4, 3, 70}, {20, 50, 30, 4, 3, 1},
  };
  FixedGutter gutter;
  View.SetMouseHooks(&gutter);
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.Width << "x" << c.Height << " gutter " << c.Gutter);
    gutter.Width = c.Gutter;
    Host.Area = {0, 0, c.Width, c.Height};
    View.HostResized();
    EXPECT_EQ(View.LineHeight(), 16);
    EXPECT_EQ(View.ScreenHeight(), c.ScreenHeight);
    EXPECT_EQ(View.FullyVisibleLines(), c.Fully);
    EXPECT_EQ(TKivTestAccess::ScreenCache(View).ScreenWidthPixels(), c.TextWidth);
    EXPECT_EQ(TKivTestAccess::ScreenCache(View).ScreenHeightLines(), c.ScreenHeight);
  }
  Integer w = 10, h = 5;
  EXPECT_FALSE(View.CanResize(w, h));
  EXPECT_EQ(w, 30);
  EXPECT_EQ(h, 16);
  w = 200;
  h = 40;
  EXPECT_TRUE(View.CanResize(w, h));
  // A resize is one full repaint reporting the new size.
  Host.ResetCounts();
  Reports.clear();
  Host.Area = {0, 0, 200, 160};
  View.HostResized();
  EXPECT_EQ(Host.FullRepaints, 1);
  ASSERT_EQ(Reports.size(), 1u);
  EXPECT_TRUE(Reports[0] & scScreenSize);
  View.SetMouseHooks(nullptr);
}

TEST_F(ViewFixture, ScrollPosToClientCoversTheScreenRowsOnly) {
  TKivEditDocument doc;
  doc.Insert(0, u"a\tb\r\n" + Lines(9));
  FixedGutter gutter;
  View.SetMouseHooks(&gutter);
  Host.Area = {0, 0, 300, 50};  // 4 rows, the last partial
  Attach(doc);
  View.HostResized();
  ASSERT_EQ(View.LinesOnScreenScroll(), 4);
  TKivRect r;
  ASSERT_TRUE(View.ScrollPosToClient({4, 0}, r));  // a cell inside the tab
  EXPECT_EQ(r, (TKivRect{70, 0, 80, 16}));
  ASSERT_TRUE(View.ScrollPosToClient({0, 3}, r));
  EXPECT_EQ(r, (TKivRect{30, 48, 40, 64}));
  EXPECT_FALSE(View.ScrollPosToClient({0, 4}, r));
  EXPECT_FALSE(View.ScrollPosToClient({0, -1}, r));
  View.SetTopLineScroll(2);
  EXPECT_FALSE(View.ScrollPosToClient({0, 1}, r));
  ASSERT_TRUE(View.ScrollPosToClient({1, 2}, r));
  EXPECT_EQ(r, (TKivRect{40, 0, 50, 16}));
  View.SetMouseHooks(nullptr);
}

TEST_F(ViewFixture, BottomOfTheTextStaysAtTheWindowsBottom) {
  TKivEditDocument doc;
  doc.Insert(0, Lines(20));
  Attach(doc);  // 10 rows of 16 px
  View.SetTopLineScroll(10);
  EXPECT_EQ(View.TopLineScroll(), 10);
  View.SetTopLineScroll(15);  // never past a full last page
  EXPECT_EQ(View.TopLineScroll(), 10);
  doc.Delete(doc.GetLineEnd(11), doc.CharsCount() - doc.GetLineEnd(11));
  EXPECT_EQ(View.TopLineScroll(), 2);
  EXPECT_EQ(View.TopLinePhysical(), 2);
}

TEST_F(ViewFixture, GotoScrollsWithTheEdgeMargin) {
  TKivEditDocument doc;
  doc.Insert(0, Lines(100));
  Attach(doc);
  View.SetSelectionOffsets(0, 5);
  View.GotoOffset(doc.GetLineStart(50) + 1);
  EXPECT_EQ(View.CursorPos(), (TKivPoint{1, 50}));
  EXPECT_FALSE(View.SelAvail());
  EXPECT_EQ(View.TopLineScroll(), 45);  // 4 rows below the cursor
  View.GotoPhysLine(47);                // on screen: no scrolling, the column kept
  EXPECT_EQ(View.CursorPos(), (TKivPoint{1, 47}));
  EXPECT_EQ(View.TopLineScroll(), 45);
  View.GotoPhysLine(10);
  EXPECT_EQ(View.TopLineScroll(), 6);
  EXPECT_EQ(ViewErrorOf([&] { View.GotoPhysLine(100); }),
            "Invalid physical line on screen index: 100. Valid range: [0, 99]");
  EXPECT_EQ(ViewErrorOf([&] { View.GotoOffset(-1); }), "Bad offset: -1. Valid range: [0, 488]");
  EXPECT_EQ(View.CursorPos(), (TKivPoint{1, 10}));
  EXPECT_EQ(View.UpdatingCount(), 0);
  doc.Bookmarks()->CreateLineMark(70)->SetName(u"7");
  View.GotoBookmark(u"7");
  EXPECT_EQ(View.CursorPos().Y, 70);
  View.GotoBookmark(u"none");
  EXPECT_EQ(View.CursorPos().Y, 70);
}

TEST_F(ViewFixture, FoldsGoThroughTheViewAndReport) {
  TKivEditDocument doc;
  auto parser = std::make_unique<FakeParser>();
  parser->AddFold(2, 6);
  parser->AddFold(3, 4);
  parser->AddFold(8, 9);
  doc.SetParser(std::move(parser));
  doc.Insert(0, Lines(12));
  Attach(doc);
  EXPECT_TRUE(View.IsFoldStart(2));
  EXPECT_FALSE(View.IsFoldStart(1));
  EXPECT_FALSE(View.IsFoldStart(99));
  View.Fold(2);
  EXPECT_TRUE(View.IsCollapsedFold(2));
  EXPECT_EQ(View.GetNextVisibleLine(2), 7);
  ASSERT_EQ(Reports.size(), 1u);
  EXPECT_TRUE(Reports[0] & scFolds);
  View.Unfold(2);
  EXPECT_FALSE(View.IsCollapsedFold(2));
  View.FoldAllIn(-1, true);
  EXPECT_TRUE(View.IsCollapsedFold(2));
  EXPECT_TRUE(View.IsCollapsedFold(8));
  EXPECT_FALSE(View.IsCollapsedFold(3));
  View.UnfoldAllIn(-1, false);
  EXPECT_EQ(View.GetVisibleCountScroll(), 12);
  View.FoldAllIn(-1, false);
  EXPECT_TRUE(View.IsCollapsedFold(2));
  EXPECT_TRUE(View.IsCollapsedFold(8));
  EXPECT_EQ(View.GetVisibleCountScroll(), 7);
  // Nested folds go with their outer one: unfolding 2 with all leaves 3 open.
  View.Unfold(2, true);
  EXPECT_FALSE(View.IsCollapsedFold(3));
  EXPECT_EQ(View.UpdatingCount(), 0);
}

TEST_F(ViewFixture, RefusedFoldOperationsChangeNothing) {
  TKivEditDocument doc;
  auto parser = std::make_unique<FakeParser>();
  parser->AddFold(2, 6);
  doc.SetParser(std::move(parser));
  doc.Insert(0, Lines(12));
  Attach(doc);
  EXPECT_EQ(ViewErrorOf([&] { View.Fold(1); }), "This operation requires argument line to be fold start: line: 1");
  EXPECT_EQ(ViewErrorOf([&] { View.Unfold(2); }),
            "Can't do this operation with non-collapsed fold line: line: 2");
  View.Fold(2);
  Reports.clear();
  EXPECT_EQ(ViewErrorOf([&] { View.Fold(2); }), "Can't do this operation with collapsed fold line: line: 2");
  EXPECT_TRUE(View.IsCollapsedFold(2));
  EXPECT_EQ(View.GetVisibleCountScroll(), 8);
  EXPECT_TRUE(Reports.empty());
  EXPECT_EQ(View.UpdatingCount(), 0);
}

TEST_F(ViewFixture, SwitchingDocumentsKeepsFoldsAndCursorWithinTheLimit) {
  TKivEditDocument a, b;
  auto parser = std::make_unique<FakeParser>();
  parser->AddFold(2, 6);
  a.SetParser(std::move(parser));
  a.Insert(0, Lines(12));
  b.Insert(0, Lines(3));
  Attach(a);
  View.Fold(2);
  View.SetCursorOffset(a.GetLineStart(8) + 1);
  View.SetDocument(&b);
  View.SetDocument(&a);
  EXPECT_TRUE(View.IsCollapsedFold(2));
  EXPECT_EQ(View.CursorOffset(), a.GetLineStart(8) + 1);
  // With no saved states allowed beyond the current one, a second switch away forgets A's.
  View.SetStoreDocSettingsLimit(0);
  View.SetDocument(&b);
  View.SetDocument(nullptr);
  View.SetDocument(&a);
  EXPECT_FALSE(View.IsCollapsedFold(2));
  EXPECT_EQ(View.CursorOffset(), 0);
}

TEST_F(ViewFixture, CaretAndScrollBarsFollowTheBracket) {
  TKivEditDocument doc;
  doc.Insert(0, Lines(10000));
  Attach(doc);
  Host.Focus = true;
  View.FocusChanged(true);
  EXPECT_TRUE(View.CaretShown());
  EXPECT_EQ(Host.Caret, (TKivRect{0, 0, 2, 16}));
  View.SetCursorOffset(doc.GetLineStart(3) + 2);
  EXPECT_EQ(Host.CaretHides, 1);
  EXPECT_EQ(Host.Caret, (TKivRect{20, 48, 22, 64}));
  EXPECT_EQ(Host.Vert.Max, 9999);
  EXPECT_EQ(Host.Vert.Page, 10);
  EXPECT_EQ(Host.Vert.Pos, 0);
  EXPECT_TRUE(Host.Vert.Visible);
  EXPECT_EQ(Host.Horz.Max, 500);
  EXPECT_EQ(Host.Horz.Page, 80);
  View.SetTopLineScroll(500);
  EXPECT_EQ(Host.Vert.Pos, 500);
  EXPECT_FALSE(View.CaretShown());  // the cursor row left the window
  View.FocusChanged(false);
  EXPECT_FALSE(View.CaretShown());
  View.SetScrollBars(ssHorizontal);
  EXPECT_FALSE(Host.Vert.Visible);
  EXPECT_TRUE(Host.Horz.Visible);
}

TEST_F(ViewFixture, ReloadsMarkersAndLoadingRepaintAsTheyShould) {
  TKivEditDocument doc;
  doc.Insert(0, Lines(30));
  Attach(doc);
  View.SetTopLineScroll(5);
  // A marker on a row on screen repaints that row.
  Host.ResetCounts();
  doc.Bookmarks()->CreateLineMark(8);
  ASSERT_EQ(Host.Rects.size(), 1u);
  EXPECT_EQ(Host.Rects[0], (TKivRect{0, 48, 800, 64}));
  EXPECT_EQ(Host.FullRepaints, 0);
  // Reloading the text repaints everything once.
  Host.ResetCounts();
  std::istringstream text("new\r\ntext");
  doc.LoadFromStream(text);
  EXPECT_EQ(Host.FullRepaints, 1);
  EXPECT_EQ(View.UpdatingCount(), 0);
  EXPECT_EQ(View.GetVisibleCountScroll(), 2);
  EXPECT_EQ(View.TopLinePhysical(), 1);  // the top line kept, clamped to the new text
  // Settings read from a stored form report nothing.
  Reports.clear();
  View.BeginLoading();
  View.SetTabWidth(4);
  View.SetReadOnly(true);
  View.EndLoading();
  EXPECT_TRUE(Reports.empty());
  EXPECT_EQ(View.TabWidth(), 4);
  View.SetIndentWidth(3);
  ASSERT_EQ(Reports.size(), 1u);
  EXPECT_EQ(Reports[0], scViewSettings);
}

TEST_F(ViewFixture, UndoNeedsAWritableView) {
  TKivEditDocument doc;
  Attach(doc);
  EXPECT_FALSE(View.CanUndo());
  doc.Internal().InsertStr(0, u"typed", View.AuthorID(), nullptr);
  EXPECT_TRUE(View.CanUndo());
  View.SetReadOnly(true);
  EXPECT_FALSE(View.CanUndo());
  EXPECT_EQ(ViewErrorOf([&] { View.Undo(); }), "This View or its Document is read-only.");
}

TEST_F(ViewFixture, AnEditCutShortByARaisingListenerDoesNotLockTheView) {
  struct Raising : TKivDocumentListener {
    void BeforeInsert(Integer, Integer) override { throw EKivEditViewError(u"listener failed"); }
  } raising;
  TKivEditDocument doc;
  doc.Insert(0, Lines(5));
  Attach(doc);
  doc.Internal().AddListener(&raising);
  EXPECT_EQ(ViewErrorOf([&] { doc.Insert(0, u"x"); }), "listener failed");
  doc.Internal().RemoveListener(&raising);
  EXPECT_EQ(View.UpdatingCount(), 1);  // told before the raising listener: its bracket is open
  View.SetCursorOffset(1);             // the view's next bracket closes the stale one first
  EXPECT_EQ(View.UpdatingCount(), 0);
  EXPECT_EQ(View.CursorOffset(), 1);
  EXPECT_FALSE(Reports.empty());
}

TEST_F(ViewFixture, ADestroyedViewNoLongerFollowsItsDocument) {
  TKivEditDocument doc;
  doc.Insert(0, Lines(5));
  {
    RecordingHost host;
    TKivEditViewCore view(host);
    view.SetDocument(&doc);
    view.SetCursorOffset(4);
  }
  doc.Insert(0, u"x\r\n");
  doc.Bookmarks()->CreateLineMark(2);
  EXPECT_EQ(doc.LinesCount(), 6);
}

// The saved top row of a wrapped line is the row shown at the top, not that row plus the rows of
// its line above the window once more.
TEST_F(ViewFixture, SwitchingBackRestoresTheTopRowOfAWrappedLine) {
  TKivEditDocument a, b, c;
  a.Insert(0, TKivString(100, u'a'));
  b.Insert(0, u"b");
  c.Insert(0, u"aaaaaaaa");
  View.SetWrapMode(wmWrapToRuler);
  View.SetWrapRulerWidth(1);  // one character a row
  Host.Area = {0, 0, 800, 32};  // two rows
  View.HostResized();
  Attach(a);
  View.SetTopLineScroll(10);
  ASSERT_EQ(View.TopLineScroll(), 10);
  View.SetDocument(&b);
  View.SetDocument(&a);
  EXPECT_EQ(View.TopLineScroll(), 10);
  // Near the end of a line the doubled rows ran past the text.
  Attach(c);
  View.GotoOffset(6);
  const Integer top = View.TopLineScroll();
  ASSERT_GT(top, 0);
  EXPECT_EQ(ViewErrorOf([&] { View.SetDocument(&b); }), "<no error>");
  EXPECT_EQ(View.Document(), &b);
  View.SetDocument(&c);
  EXPECT_EQ(View.TopLineScroll(), top);
  EXPECT_EQ(View.CursorOffset(), 6);
}

// A switch that fails while the new document is laid out leaves the view on its old document as
// it was shown, and nothing of the view on the new one.
TEST_F(ViewFixture, AFailedSwitchLeavesTheViewOnItsOldDocument) {
  TKivEditDocument a;
  auto parserA = std::make_unique<FakeParser>();
  parserA->AddFold(2, 6);
  a.SetParser(std::move(parserA));
  a.Insert(0, Lines(40));
  auto b = std::make_unique<TKivEditDocument>();
  auto parserB = std::make_unique<FakeParser>();
  parserB->Raise = true;
  b->SetParser(std::move(parserB));
  b->Insert(0, Lines(3));
  Attach(a);
  View.Fold(2);
  View.SetCursorOffset(a.GetLineStart(20) + 1);
  View.SetTopLineScroll(12);
  const Integer author = View.AuthorID(), top = View.TopLineScroll();
  EXPECT_THROW(View.SetDocument(b.get()), EKivEditParserError);
  EXPECT_EQ(View.Document(), &a);
  EXPECT_EQ(View.AuthorID(), author);
  EXPECT_EQ(View.TopLineScroll(), top);
  EXPECT_EQ(View.CursorOffset(), a.GetLineStart(20) + 1);
  EXPECT_TRUE(View.IsCollapsedFold(2));
  EXPECT_EQ(View.UpdatingCount(), 0);
  EXPECT_EQ(TKivTestAccess::ScreenCache(View).StoredView().Count(), 0);  // a is shown, not saved
  // The view still follows a, and no longer b.
  Host.ResetCounts();
  b->Insert(0, u"x\r\n");
  EXPECT_EQ(Host.Repaints(), 0);
  b.reset();
  EXPECT_EQ(View.Document(), &a);
  a.Insert(a.GetLineStart(20), u"yy");
  EXPECT_GT(Host.Repaints(), 0);
  EXPECT_EQ(View.CursorOffset(), a.GetLineStart(20) + 3);
  EXPECT_EQ(TKivTestAccess::ScreenCache(View).FirstLineScroll(), top);
}

// A switch refused half way once left the view's markers on the old document: every later layout
// raised, and so did the view's destructor. Nothing may escape a destructor.
TEST_F(ViewFixture, AViewStaysUsableAndDestroyableAfterAnAttemptedSwitch) {
  TKivEditDocument a, b;
  a.Insert(0, u"aaaaaaaa");
  b.Insert(0, u"b");
  {
    RecordingHost host;
    host.Area = {0, 0, 800, 32};
    TKivEditViewCore view(host);
    view.HostResized();
    view.SetWrapMode(wmWrapToRuler);
    view.SetWrapRulerWidth(1);
    view.SetDocument(&a);
    view.GotoOffset(6);
    try {
      view.SetDocument(&b);
    } catch (const EKivError&) {
    }
    EXPECT_EQ(ViewErrorOf([&] { view.HostResized(); }), "<no error>");
    view.SetCursorOffset(0);
  }
  a.Insert(0, u"x");
  b.Insert(0, u"y");
  EXPECT_EQ(a.CharsCount(), 9);
}

// Random use of the view core: edits and undo by the view's author, scrolling, resizing, wrap
// modes, folds, switching between documents and destroying documents and views. After every
// step the view must be consistent, and its layout must agree with a view built afresh on the
// same document with the same folds. The steps come from one seed (KIV_SEED replays a failure:
// the same seed gives the same steps, and a failure names its step); the run is bounded by a
// step count and by time (KIV_RANDOM_SECONDS, default 3).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "KivSedViewCore.h"
#include "KivTestAccess.h"
#include "KivTestSeed.h"
#include "LayoutFakes.h"
#include "internal/ScreenCache.h"

namespace {

// A window of a given client size with 10 px glyphs and 16 px rows.
class WindowHost : public IKivViewHost {
 public:
  bool HasWindow() const override { return true; }
  TKivRect TextAreaRect() const override { return Area; }
  IKivMeasureSurface* MeasureSurface() override { return &Measure; }
  void FontChanged(const TKivViewFont&) override {}
  void InvalidateRect(const TKivRect&) override {}
  void InvalidateAll() override {}
  void Flush() override {}
  bool Focused() const override { return true; }
  void HideCaret() override {}
  void ShowCaret(Integer, Integer, Integer, Integer) override {}
  void SetScrollBars(const TKivScrollBarInfo& AVert, const TKivScrollBarInfo&) override { Vert = AVert; }
  void Beep() override {}

  TKivRect Area{0, 0, 300, 160};
  FixedMeasure Measure;
  TKivScrollBarInfo Vert;
};

// The fake parser's folds follow the text: a line starting with '{' opens a fold that the next
// line starting with '}' at the same depth closes.
void FoldsFromBraces(TKivEditDocument& ADoc, FakeParser& AParser) {
  AParser.ClearFolds();
  std::vector<Integer> open;
  for (Integer line = 0; line < ADoc.LinesCount(); ++line) {
    const TKivString text = ADoc.GetLineText(line);
    if (text.empty()) continue;
    if (text[0] == u'{') {
      open.push_back(line);
    } else if (text[0] == u'}' && !open.empty()) {
      if (line > open.back()) AParser.AddFold(open.back(), line);
      open.pop_back();
    }
  }
}

struct Doc {
  std::unique_ptr<TKivEditDocument> Document;
  FakeParser* Parser = nullptr;
};

Doc NewDoc(std::mt19937& ARnd) {
  Doc d;
  d.Document = std::make_unique<TKivEditDocument>();
  auto parser = std::make_unique<FakeParser>();
  d.Parser = parser.get();
  d.Document->SetParser(std::move(parser));
  // After every edit, before anyone asks for folds.
  d.Document->OnLinesChanged = [p = d.Parser](TKivEditDocument& ADoc, Integer, Integer) { FoldsFromBraces(ADoc, *p); };
  TKivString text;
  const int lines = std::uniform_int_distribution<int>(1, 60)(ARnd);
  for (int i = 0; i < lines; ++i) {
    if (i) text += u"\r\n";
    const int kind = std::uniform_int_distribution<int>(0, 5)(ARnd);
    text += kind == 0 ? u"{" : kind == 1 ? u"}" : u"";
    text += TKivString(std::uniform_int_distribution<int>(0, 40)(ARnd), u'a' + i % 26);
  }
  d.Document->Insert(0, text);
  return d;
}

TKivString RandomText(std::mt19937& ARnd) {
  static const char16_t kChars[] = u"ab {}\t\r\n\r\nxyz.,";
  TKivString s;
  const int n = std::uniform_int_distribution<int>(1, 30)(ARnd);
  for (int i = 0; i < n; ++i) s += kChars[std::uniform_int_distribution<int>(0, 14)(ARnd)];
  return s;
}

// The rows of the view's layout as text: each row's physical line and content.
std::string RowsOf(TKivEditViewCore& AView) {
  TScreenCache& c = TKivTestAccess::ScreenCache(AView);
  std::string rows;
  const Integer count = AView.GetVisibleCountScroll();
  for (Integer row = 0; row < count; ++row) {
    const TKivSegment s = c.GetScrollLineInfo(row).ContentSegment;
    rows += std::to_string(AView.ScrollToPhysical(row)) + ":" + std::to_string(s.Start) + "+" +
            std::to_string(s.Count) + " ";
  }
  return rows;
}

// A view built afresh on the view's document with its settings and collapsed folds.
std::string FreshRowsLike(TKivEditViewCore& AView, WindowHost& AHost) {
  WindowHost host;
  host.Area = AHost.Area;
  TKivEditViewCore fresh(host);
  fresh.HostResized();
  fresh.SetWrapMode(AView.WrapMode());
  fresh.SetWrapRulerWidth(AView.WrapRulerWidth());
  fresh.SetDocument(AView.Document());
  const auto folds = TKivTestAccess::ScreenCache(AView).CollapsedFolds();
  // Inner folds first: an outer fold collapses over them.
  for (auto it = folds.rbegin(); it != folds.rend(); ++it) TKivTestAccess::ScreenCache(fresh).CollapseLines(it->first, it->second);
  TKivTestAccess::ScreenCache(fresh).UpdateLayout();
  return RowsOf(fresh);
}

}  // namespace

TEST(ViewCoreRandom, RandomUseKeepsTheViewConsistent) {
  KIV_TEST_SEED(seed);
  std::mt19937 rnd(seed);
  const auto pick = [&](Integer ALo, Integer AHi) {
    return std::uniform_int_distribution<Integer>(ALo, std::max(ALo, AHi))(rnd);
  };
  const char* secondsEnv = std::getenv("KIV_RANDOM_SECONDS");
  const double seconds = secondsEnv ? std::atof(secondsEnv) : 3.0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);

  std::vector<Doc> docs;
  for (int i = 0; i < 3; ++i) docs.push_back(NewDoc(rnd));
  auto host = std::make_unique<WindowHost>();
  auto view = std::make_unique<TKivEditViewCore>(*host);
  view->HostResized();
  view->SetDocument(docs[0].Document.get());

  std::string last;  // the step before, for the failure message
  int step = 0;
  for (; step < 200000 && std::chrono::steady_clock::now() < deadline; ++step) {
    TKivEditViewCore& v = *view;
    TKivEditDocument& doc = v.WorkingDocument();
    const bool attached = v.Document() != nullptr;
    const Integer chars = doc.CharsCount();
    int op = static_cast<int>(pick(0, 16));
    // Without a document the view refuses folds, cursor moves and edits: switch instead.
    if (!attached && (op <= 4 || op == 7 || op == 8 || op >= 13)) op = 9;
    std::string what = "step " + std::to_string(step) + " op " + std::to_string(op);
    SCOPED_TRACE(what);
    try {
      switch (op) {
        case 0:
        case 1:
          doc.Internal().InsertStr(pick(0, chars), RandomText(rnd), v.AuthorID(), nullptr);
          break;
        case 2:
          if (chars > 0) {
            const Integer at = pick(0, chars - 1);
            doc.Internal().Delete(at, pick(1, std::min<Integer>(chars - at, 40)), v.AuthorID(), nullptr);
          }
          break;
        case 3: {
          TKivDocUndoInfoPtr old;
          if (doc.Internal().GetCanUndo(v.AuthorID()))
            doc.Internal().Undo(v.AuthorID(), nullptr, old);
          else if (doc.Internal().GetCanRedo(v.AuthorID()))
            doc.Internal().Redo(v.AuthorID(), nullptr, old);
          break;
        }
        case 4:
          v.SetTopLineScroll(pick(0, v.GetVisibleCountScroll() + 3));
          break;
        case 5:
          host->Area = {0, 0, static_cast<Integer>(pick(1, 400)), static_cast<Integer>(pick(1, 300))};
          v.HostResized();
          break;
        case 6:
          v.SetWrapMode(static_cast<TKivViewWrapMode>(pick(0, 2)));
          if (pick(0, 1)) v.SetWrapRulerWidth(pick(1, 30));
          break;
        case 7: {
          const Integer line = pick(0, doc.LinesCount() - 1);
          if (v.IsCollapsedFold(line))
            v.Unfold(line, pick(0, 1) != 0);
          else if (v.IsFoldStart(line) && v.IsLineStartVisible(line))
            v.Fold(line, pick(0, 1) != 0);
          break;
        }
        case 8:
          if (pick(0, 1))
            v.FoldAllIn(-1, pick(0, 1) != 0);
          else
            v.UnfoldAllIn(-1, pick(0, 1) != 0);
          break;
        case 9:
        case 10: {
          const Integer which = pick(0, static_cast<Integer>(docs.size()));
          v.SetDocument(which < static_cast<Integer>(docs.size()) ? docs[which].Document.get() : nullptr);
          break;
        }
        case 11: {  // a document goes and another comes
          const size_t which = static_cast<size_t>(pick(0, static_cast<Integer>(docs.size()) - 1));
          docs[which] = NewDoc(rnd);
          break;
        }
        case 12:
          if (pick(0, 9) == 0) {
            view.reset();
            view = std::make_unique<TKivEditViewCore>(*host);
            view->HostResized();
            view->SetDocument(docs[static_cast<size_t>(pick(0, static_cast<Integer>(docs.size()) - 1))].Document.get());
          }
          break;
        case 13:
          v.GotoOffset(pick(0, chars));
          break;
        case 14:
          v.SetCursorOffset(pick(0, chars));
          break;
        case 15:
          v.SetSelectionOffsets(pick(0, chars), pick(0, chars));
          break;
        case 16:
          v.ScrollToCursor();
          break;
      }
    } catch (const EKivError& e) {
      FAIL() << what << " raised " << KivToUtf8(e.Message()) << " after " << last;
    }
    last = what;
    // Consistency of the view after the step.
    TKivEditViewCore& w = *view;
    TKivEditDocument& d = w.WorkingDocument();
    ASSERT_EQ(w.UpdatingCount(), 0);
    ASSERT_GE(w.CursorOffset(), 0);
    ASSERT_LE(w.CursorOffset(), d.CharsCount());
    const Integer count = w.GetVisibleCountScroll();
    ASSERT_GE(w.TopLineScroll(), 0);
    ASSERT_LT(w.TopLineScroll(), std::max<Integer>(count, 1));
    if (step % 7 == 0) {
      std::string rows;
      ASSERT_NO_THROW(rows = RowsOf(w));
      ASSERT_EQ(rows, FreshRowsLike(w, *host));
    }
  }
  view.reset();
  docs.clear();
  RecordProperty("steps", step);
  EXPECT_GT(step, 100);
}

// A view core on the demo's C scheme that jumps far into a text the parser has not reached: the
// screen is laid out at once with guessed tokens, the steps the view posts parse on, and once
// they have run the painted screen is the one a view that waits for the parser paints.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "KivDemoData.h"
#include "KivSedDocument.h"
#include "KivSedPainter.h"
#include "KivSedViewCore.h"
#include "KivSedViewHooks.h"

namespace {

class FixedSurface : public IKivMeasureSurface {
 public:
  Integer CharWidth(Char, TKivFontStyles, TKivFontCharset) override { return 8; }
  Integer SpaceWidth() override { return 8; }
  TKivFontMetrics Metrics(TKivFontStyles) override { return {16, 13, 3, 0, 8}; }
  bool IsComplex(TKivStringView) override { return false; }
  std::unique_ptr<IKivShapedRun> Shape(TKivStringView, TKivFontStyles, TKivFontCharset) override {
    return nullptr;
  }
};

// A clock that moves 1 ms each time it is read.
class TickingClock : public IKivMonotonicClock {
 public:
  int64_t NowMs() const override { return ++FNow; }

 private:
  mutable int64_t FNow = 0;
};

// A window of 800 x 320 pixels whose event loop the test runs by hand (or that has none), on a
// clock of the test.
class StepHost : public IKivViewHost {
 public:
  bool HasWindow() const override { return true; }
  TKivRect TextAreaRect() const override { return {0, 0, 800, 320}; }
  IKivMeasureSurface* MeasureSurface() override { return &Surface; }
  void FontChanged(const TKivViewFont&) override {}
  void InvalidateRect(const TKivRect&) override { ++Invalidations; }
  void InvalidateAll() override { ++Invalidations; }
  void Flush() override {}
  bool Focused() const override { return true; }
  void HideCaret() override {}
  void ShowCaret(Integer, Integer, Integer, Integer) override {}
  void SetScrollBars(const TKivScrollBarInfo&, const TKivScrollBarInfo&) override {}
  void Beep() override {}
  bool PostStep(std::function<void()> AStep) override {
    if (!EventLoop) return false;
    Steps.push_back(std::move(AStep));
    return true;
  }
  const IKivMonotonicClock& Clock() const override { return Time; }
  // Runs the first posted step.
  bool RunStep() {
    if (Steps.empty()) return false;
    auto step = std::move(Steps.front());
    Steps.erase(Steps.begin());
    step();
    return true;
  }

  bool EventLoop = true;
  FixedSurface Surface;
  TickingClock Time;
  std::vector<std::function<void()>> Steps;
  int Invalidations = 0;
};

// Every text drawn with its colour and style, every filled colour, in order.
class TextRecorder : public IKivPaintSurface {
 public:
  void FillRect(const TKivRect& ARect, TKivColor AColor) override {
    Out += "fill " + std::to_string(ARect.Top) + " " + std::to_string(AColor) + "\n";
  }
  void DrawText(const TKivPoint& APos, TKivStringView AText, const IKivShapedRun*, TKivColor AColor,
                TKivFontStyles AFs, TKivFontCharset, const TKivRect&) override {
    Out += "text " + std::to_string(APos.X) + "," + std::to_string(APos.Y) + " " + std::to_string(AColor) + " " +
           std::to_string(AFs) + " " + KivToUtf8(TKivString(AText)) + "\n";
  }
  void SetClipRects(const std::vector<TKivRect>&) override {}
  void ClearClip() override {}
  void VLine(Integer, Integer, Integer, TKivColor) override {}
  void HLine(Integer, Integer, Integer, TKivColor) override {}
  bool HasImage(TKivGutterImage) override { return false; }
  void DrawImage(TKivGutterImage, const TKivRect&) override {}
  void Save() override {}
  void Restore() override {}
  std::string Out;
};

std::string Painted(TKivEditViewCore& AView, StepHost& AHost) {
  TKivEditPainter painter;
  AView.PreparePainter(painter);
  TextRecorder rec;
  painter.Paint(AView.ScreenLayout(), rec, AHost.TextAreaRect(), AHost.TextAreaRect());
  return rec.Out;
}

// Functions with folds, then a comment that opens far above the text's end and runs to it: a
// guess restarted near the end sees code where the parser sees the comment.
TKivString Text() {
  TKivString text;
  for (int i = 0; i < 6000; ++i)
    text += u"int f" + KivFromUtf8(std::to_string(i)) + u"(void) {\r\n  return " + KivFromUtf8(std::to_string(i)) +
            u";\r\n}\r\n";
  text += u"/* the rest is a comment\r\n";
  for (int i = 0; i < 300; ++i) text += u"int g(void) { return \"x\"; }\r\n";
  text += u"*/";
  return text;
}

struct Opened {
  explicit Opened(bool AEventLoop) {
    KivDemoFillDocument(Doc);
    Doc.Lines().SetText(Text());
    Doc.ClearUndo();
    Host.EventLoop = AEventLoop;
    View = std::make_unique<TKivEditViewCore>(Host);
    View->SetDocument(&Doc);
    View->HostResized();
  }
  ~Opened() { View->SetDocument(nullptr); }
  TKivEditDocument Doc;
  StepHost Host;
  std::unique_ptr<TKivEditViewCore> View;
};

TEST(BackgroundParse, AFarJumpPaintsAtOnceAndTheExactTokensFollowInSteps) {
  // The screen of a view that waits for the parser.
  Opened waiting(false);
  waiting.View->GotoOffset(waiting.Doc.CharsCount());
  const std::string exact = Painted(*waiting.View, waiting.Host);
  EXPECT_EQ(waiting.Doc.GetParser()->LastParsedLine(), waiting.Doc.LinesCount() - 1);
  ASSERT_NE(exact.find("int g"), std::string::npos);

  Opened v(true);
  const Integer lines = v.Doc.LinesCount();
  v.View->GotoOffset(v.Doc.CharsCount());
  const std::string guessed = Painted(*v.View, v.Host);
  // Painted without parsing on to the end: the rows show the guess.
  EXPECT_LT(v.Doc.GetParser()->LastParsedLine(), lines / 2);
  EXPECT_NE(guessed, exact);
  ASSERT_FALSE(v.Host.Steps.empty());
  // The queries of the parser contract stay exact: asked, they parse as far as they need.
  TKivEditDocument plain;
  KivDemoFillDocument(plain);
  plain.Lines().SetText(Text());
  TKivEditParserBase& fresh = *plain.GetParser();
  // The steps parse on a few thousand lines at a time (the clock says 4 ms after four stretches
  // of 500 lines); the window's rows are repainted once the parse has reached them.
  int steps = 0;
  Integer lastParsed = v.Doc.GetParser()->LastParsedLine();
  while (v.Host.RunStep()) {
    ++steps;
    const Integer now = v.Doc.GetParser()->LastParsedLine();
    EXPECT_LE(now - lastParsed, 5 * 500 + 500) << "step " << steps;
    lastParsed = now;
    ASSERT_LT(steps, 1000);
  }
  EXPECT_GT(steps, 2);
  EXPECT_EQ(Painted(*v.View, v.Host), exact);
  for (Integer l = lines - 20; l < lines; ++l) {
    EXPECT_EQ(v.Doc.GetParser()->IsFoldStart(l), fresh.IsFoldStart(l)) << l;
    EXPECT_EQ(v.Doc.GetParser()->GetParsedLine(l)->TokenCount(), fresh.GetParsedLine(l)->TokenCount()) << l;
  }
}

TEST(BackgroundParse, AnEditWhileTheStepsRunEndsInTheScreenOfAWaitingView) {
  Opened v(true), waiting(false);
  for (Opened* o : {&v, &waiting}) {
    o->View->GotoOffset(o->Doc.GetLineStart(o->Doc.LinesCount() - 150));
    Painted(*o->View, o->Host);
  }
  ASSERT_FALSE(v.Host.Steps.empty());
  v.Host.RunStep();
  // The comment's opening goes: the rest of the text is code again.
  for (Opened* o : {&v, &waiting}) {
    const Integer at = o->Doc.GetLineStart(o->Doc.LinesCount() - 302);
    o->Doc.Delete(at, 2);
  }
  while (v.Host.RunStep()) {
  }
  EXPECT_EQ(Painted(*v.View, v.Host), Painted(*waiting.View, waiting.Host));
}

}  // namespace

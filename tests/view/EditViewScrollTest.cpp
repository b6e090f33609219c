// The editor view widget's scroll bars, wheel and caret on the offscreen platform: every action
// of the real QScrollBars and a thumb drag reach the view core and come back as the bars'
// positions, synthesized wheel events scroll, the overwrite caret inverts its cell, and a bar
// coming in keeps the cursor's row on screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QScrollBar>
#include <QStyleHints>
#include <QTest>
#include <QWheelEvent>
#include <string>

#include "KivSedView.h"
#include "KivTestAccess.h"
#include "internal/ScreenCache.h"

namespace {

TKivString Lines(int ACount, int AWidth = 0) {
  TKivString text;
  for (int i = 0; i < ACount; ++i) {
    if (i) text += u"\r\n";
    text += u"line " + KivFromUtf8(std::to_string(i)) + TKivString(AWidth, u'x');
  }
  return text;
}

void Wheel(QWidget* AWidget, QPoint ADelta, Qt::KeyboardModifiers AModifiers = Qt::NoModifier) {
  const QPointF pos(AWidget->width() / 2.0, AWidget->height() / 2.0);
  QWheelEvent event(pos, AWidget->mapToGlobal(pos), QPoint(), ADelta, Qt::NoButton, AModifiers,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(AWidget, &event);
}

struct ShownView {
  explicit ShownView(const TKivString& AText) {
    Doc.Insert(0, AText);
    View.resize(400, 300);
    View.SetDocument(&Doc);
    View.show();
    QApplication::processEvents();
  }
  TKivEditDocument Doc;
  TKivEditView View;
};

}  // namespace

TEST(EditViewScroll, EveryActionOfTheVerticalBar) {
  ShownView s(Lines(1000));
  QScrollBar* bar = s.View.verticalScrollBar();
  const Integer page = s.View.FullyVisibleLines();
  struct Case {
    QAbstractSlider::SliderAction Action;
    Integer Top;
  } const cases[] = {
      {QAbstractSlider::SliderSingleStepAdd, 101},
      {QAbstractSlider::SliderSingleStepSub, 99},
      {QAbstractSlider::SliderPageStepAdd, 100 + page},
      {QAbstractSlider::SliderPageStepSub, 100 - page},
      {QAbstractSlider::SliderToMinimum, 0},
      {QAbstractSlider::SliderToMaximum, 1000 - page},
  };
  std::vector<TKivScrollCode> codes;
  s.View.OnScroll = [&](TKivEditViewCore&, TKivScrollCode ACode, Integer&) { codes.push_back(ACode); };
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.Action));
    s.View.SetTopLineScroll(100);
    ASSERT_EQ(bar->value(), 100);
    bar->triggerAction(c.Action);
    EXPECT_EQ(s.View.TopLineScroll(), c.Top);
    EXPECT_EQ(bar->value(), c.Top);
    EXPECT_EQ(s.View.VertScrollBarInfo().Pos, c.Top);
  }
  const std::vector<TKivScrollCode> expected{scLineDown, scLineUp, scPageDown, scPageUp, scTop, scBottom};
  EXPECT_EQ(codes, expected);
  // A handler's answer is what the bar shows.
  s.View.OnScroll = [](TKivEditViewCore&, TKivScrollCode, Integer& APos) { APos = 7; };
  bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(s.View.TopLineScroll(), 7);
  EXPECT_EQ(bar->value(), 7);
  s.View.OnScroll = nullptr;
  // The bar's state in the view's terms.
  const TKivScrollBarInfo info = s.View.VertScrollBarInfo();
  EXPECT_EQ(info.Min, 0);
  EXPECT_EQ(info.Max, 999);
  EXPECT_EQ(info.Page, page);
  EXPECT_TRUE(info.Visible);
  EXPECT_EQ(bar->maximum(), info.Max - info.Page + 1);
}

TEST(EditViewScroll, EveryActionOfTheHorizontalBar) {
  ShownView s(Lines(50, 300));
  QScrollBar* bar = s.View.horizontalScrollBar();
  ASSERT_TRUE(bar->isVisible());
  const struct {
    QAbstractSlider::SliderAction Action;
    Integer H;
  } cases[] = {{QAbstractSlider::SliderSingleStepAdd, 41},
               {QAbstractSlider::SliderSingleStepSub, 39},
               {QAbstractSlider::SliderToMinimum, 0}};
  for (const auto& c : cases) {
    s.View.SetHorizScroll(40);
    bar->triggerAction(c.Action);
    EXPECT_EQ(s.View.HorizScroll(), c.H);
    EXPECT_EQ(bar->value(), c.H);
  }
  s.View.SetHorizScroll(40);
  bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_GT(s.View.HorizScroll(), 41);
  bar->triggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_EQ(bar->value(), bar->maximum());
  EXPECT_EQ(s.View.HorizScroll(), s.View.HorzScrollBarInfo().Pos);
}

TEST(EditViewScroll, ADraggedThumbScrollsAndItsEndShowsTheLastPage) {
  ShownView s(Lines(100000));
  QScrollBar* bar = s.View.verticalScrollBar();
  EXPECT_EQ(s.View.VertScrollBarInfo().Max, 32767);
  // Drag the thumb with the mouse from its place to the bottom of the bar.
  const QPoint from(bar->width() / 2, bar->width() + 3);
  QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, from);
  QTest::mouseMove(bar, QPoint(from.x(), bar->height() / 2));
  EXPECT_TRUE(s.View.InState(siScrolling));
  const Integer middle = s.View.TopLineScroll();
  EXPECT_GT(middle, 20000);
  EXPECT_LT(middle, 80000);
  QTest::mouseMove(bar, QPoint(from.x(), bar->height() + 50));
  QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, QPoint(from.x(), bar->height() + 50));
  EXPECT_FALSE(s.View.InState(siScrolling));
  EXPECT_EQ(s.View.TopLineScroll(), 100000 - s.View.FullyVisibleLines());
  EXPECT_EQ(bar->value(), bar->maximum());
}

TEST(EditViewScroll, WheelEventsScrollByTheSystemsLines) {
  ShownView s(Lines(1000, 300));
  const Integer lines = QApplication::wheelScrollLines();
  ASSERT_GT(lines, 0);
  s.View.SetTopLineScroll(500);
  Wheel(s.View.viewport(), {0, 60});
  EXPECT_EQ(s.View.TopLineScroll(), 500);
  Wheel(s.View.viewport(), {0, 60});
  EXPECT_EQ(s.View.TopLineScroll(), 500 - lines);
  Wheel(s.View.viewport(), {0, -240});
  EXPECT_EQ(s.View.TopLineScroll(), 500 + lines);
  EXPECT_EQ(s.View.verticalScrollBar()->value(), 500 + lines);
  Wheel(s.View.viewport(), {0, -120}, Qt::ControlModifier);  // a screen, no zoom
  EXPECT_EQ(s.View.TopLineScroll(), 500 + lines + s.View.ScreenHeight());
  // Sideways: the horizontal wheel, or Shift with the vertical one.
  Wheel(s.View.viewport(), {-120, 0});
  EXPECT_EQ(s.View.HorizScroll(), lines);
  Wheel(s.View.viewport(), {0, -120}, Qt::ShiftModifier);
  EXPECT_EQ(s.View.HorizScroll(), 2 * lines);
  EXPECT_EQ(s.View.horizontalScrollBar()->value(), 2 * lines);
}

TEST(EditViewScroll, TheOverwriteCaretInvertsItsCell) {
  ShownView s(u"x\r\n  \r\n");
  s.View.activateWindow();
  s.View.setFocus();
  QApplication::processEvents();
  ASSERT_TRUE(s.View.hasFocus());
  s.View.SetViewSettings(s.View.ViewSettings() | vsOverwrite);
  s.View.SetCursorPos({0, 1});  // a blank cell
  const QRect caret = s.View.CaretRect();
  EXPECT_EQ(caret.width(), s.View.SpaceCharW());
  EXPECT_EQ(caret.height(), s.View.LineHeight());
  ASSERT_TRUE(s.View.CaretVisibleNow());
  const QImage image = s.View.viewport()->grab().toImage();
  const QPoint inside = caret.center();
  EXPECT_LT(qGray(image.pixel(inside)), 64);  // white turned black
  EXPECT_GT(qGray(image.pixel(caret.right() + 3, inside.y())), 192);
  // Insert mode: a bar of 2 pixels.
  s.View.SetViewSettings(s.View.ViewSettings() & ~vsOverwrite);
  EXPECT_EQ(s.View.CaretRect().width(), 2);
  EXPECT_EQ(s.View.inputMethodQuery(Qt::ImCursorRectangle).toRect(), s.View.CaretRect());
}

TEST(EditViewScroll, AHorizontalBarComingInKeepsTheCursorRowOnScreen) {
  ShownView s(Lines(200));
  s.View.activateWindow();
  s.View.setFocus();
  QApplication::processEvents();
  s.View.SetMaxHorizScroll(0);
  ASSERT_FALSE(s.View.horizontalScrollBar()->isVisible());
  const Integer last = s.View.FullyVisibleLines() - 1;
  s.View.SetCursorPos({0, last});  // the last full row
  ASSERT_EQ(s.View.TopLineScroll(), 0);
  // A wider range brings the horizontal bar in: it takes a row's space.
  const Integer fullBefore = s.View.FullyVisibleLines();
  s.View.SetMaxHorizScroll(1000);
  ASSERT_TRUE(s.View.horizontalScrollBar()->isVisible());
  EXPECT_LT(s.View.FullyVisibleLines(), fullBefore);
  const Integer top = s.View.TopLineScroll();
  EXPECT_GE(last, top);
  EXPECT_LE(last, top + s.View.FullyVisibleLines() - 1);
  EXPECT_EQ(TKivTestAccess::ScreenCache(s.View).ScreenHeightLines(),
            (s.View.viewport()->height() + s.View.LineHeight() - 1) / s.View.LineHeight());
}

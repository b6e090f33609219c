// The editor widget's mouse on the offscreen platform, driven by QTest: cell halves, clicks below
// the text, Shift and Alt, double, triple and fourth clicks, presses on the selection, right
// clicks, gutter clicks, the line-number bar, auto-scrolling on the widget's timer and the cursor
// shapes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QStyleHints>
#include <QTest>
#include <memory>
#include <string>

#include "KivSedView.h"

namespace {

TKivString Lines(int ACount) {
  TKivString text;
  for (int i = 0; i < ACount; ++i) {
    if (i) text += u"\r\n";
    text += u"line " + KivFromUtf8(std::to_string(i));
  }
  return text;
}

struct MouseView {
  explicit MouseView(const TKivString& AText) {
    Doc.Insert(0, AText);
    View.resize(400, 300);
    View.SetDocument(&Doc);
    View.show();
    View.activateWindow();
    View.setFocus();
    QApplication::processEvents();
  }
  QWidget* Port() { return View.viewport(); }
  // The client rectangle of a cell, as the view places it.
  QRect CellRect(Integer ACol, Integer ARow) {
    TKivRect r;
    EXPECT_TRUE(View.ScrollPosToClient({ACol, ARow}, r));
    return QRect(r.Left, r.Top, r.Width(), r.Height());
  }
  QPoint LeftHalf(Integer ACol, Integer ARow) {
    const QRect r = CellRect(ACol, ARow);
    return {r.left() + 1, r.center().y()};
  }
  QPoint RightHalf(Integer ACol, Integer ARow) {
    const QRect r = CellRect(ACol, ARow);
    return {r.right() - 1, r.center().y()};
  }
  void Move(const QPoint& APos, Qt::MouseButtons AButtons, Qt::KeyboardModifiers AMods = Qt::NoModifier) {
    QMouseEvent event(QEvent::MouseMove, APos, Port()->mapToGlobal(APos), Qt::NoButton, AButtons, AMods);
    QApplication::sendEvent(Port(), &event);
  }
  std::string Sel() {
    if (!View.SelAvail()) return "none";
    const TKivPoint s = View.SelectionStart(), e = View.SelectionEnd();
    return std::to_string(s.X) + "," + std::to_string(s.Y) + "-" + std::to_string(e.X) + "," +
           std::to_string(e.Y) + (View.SelectionBlockMode() ? " block" : "");
  }
  TKivEditDocument Doc;
  TKivEditView View;
};

}  // namespace

TEST(EditViewMouse, ClicksByCellHalvesAndBelowTheText) {
  MouseView m(u"abcdef\r\nxy\r\nlast");
  QTest::mouseClick(m.Port(), Qt::LeftButton, {}, m.LeftHalf(2, 0));
  EXPECT_EQ(m.View.CursorPos(), (TKivPoint{2, 0}));
  QTest::mouseClick(m.Port(), Qt::LeftButton, {}, m.RightHalf(2, 0));
  EXPECT_EQ(m.View.CursorPos(), (TKivPoint{3, 0}));
  const QPoint below(m.LeftHalf(1, 2).x(), m.Port()->height() - 3);
  QTest::mouseClick(m.Port(), Qt::LeftButton, {}, below);
  EXPECT_EQ(m.View.CursorPos(), (TKivPoint{1, 2}));
  // Shift extends from the anchor.
  QTest::mouseClick(m.Port(), Qt::LeftButton, {}, m.LeftHalf(1, 0));
  QTest::mouseClick(m.Port(), Qt::LeftButton, Qt::ShiftModifier, m.LeftHalf(2, 1));
  EXPECT_EQ(m.Sel(), "1,0-2,1");
  EXPECT_TRUE(m.View.hasFocus());
}

TEST(EditViewMouse, DragsSelectAndAltDragsABlock) {
  MouseView m(u"abcdef\r\nghijkl\r\nmnopqr");
  QTest::mousePress(m.Port(), Qt::LeftButton, {}, m.LeftHalf(1, 0));
  m.Move(m.LeftHalf(1, 2), Qt::LeftButton);  // straight down
  EXPECT_EQ(m.Sel(), "1,0-1,2");
  QTest::mouseRelease(m.Port(), Qt::LeftButton, {}, m.LeftHalf(1, 2));
  QTest::mouseClick(m.Port(), Qt::LeftButton, {}, m.LeftHalf(0, 0));
  QTest::mousePress(m.Port(), Qt::LeftButton, Qt::AltModifier, m.LeftHalf(1, 0));
  m.Move(m.LeftHalf(4, 2), Qt::LeftButton, Qt::AltModifier);
  EXPECT_EQ(m.Sel(), "1,0-4,2 block");
  QTest::mouseRelease(m.Port(), Qt::LeftButton, Qt::AltModifier, m.LeftHalf(4, 2));
}

TEST(EditViewMouse, DoubleTripleAndFourthClicks) {
  MouseView m(u"foo bar\r\n\r\nthird line");
  // QTest's double click sends no press before it: a click comes first, as a real one would.
  QTest::mouseClick(m.Port(), Qt::LeftButton, {}, m.LeftHalf(1, 0));
  QTest::mouseDClick(m.Port(), Qt::LeftButton, {}, m.LeftHalf(1, 0));
  EXPECT_EQ(m.Sel(), "0,0-3,0");
  QTest::mouseClick(m.Port(), Qt::LeftButton, {}, m.LeftHalf(2, 2));
  QTest::mouseDClick(m.Port(), Qt::LeftButton, {}, m.LeftHalf(2, 2));
  EXPECT_EQ(m.Sel(), "0,2-5,2");
  // A third click within the interval selects the line, a fourth is a plain click.
  QTest::mouseClick(m.Port(), Qt::LeftButton, {}, m.LeftHalf(2, 2));
  EXPECT_EQ(m.Sel(), "0,2-10,2");
  QTest::mouseClick(m.Port(), Qt::LeftButton, {}, m.LeftHalf(2, 2));
  EXPECT_EQ(m.Sel(), "none");
  // A double click on a blank line selects nothing there but the (empty) line.
  QTest::mouseClick(m.Port(), Qt::LeftButton, {}, m.LeftHalf(0, 1));
  QTest::mouseDClick(m.Port(), Qt::LeftButton, {}, m.LeftHalf(0, 1));
  EXPECT_EQ(m.Sel(), "none");
  EXPECT_EQ(m.View.CursorPos(), (TKivPoint{0, 1}));
}

TEST(EditViewMouse, PressAndReleaseOnTheSelection) {
  MouseView m(u"abcdefgh");
  m.View.SetSelection({1, 0}, {6, 0});
  QTest::mousePress(m.Port(), Qt::LeftButton, {}, m.LeftHalf(3, 0));
  EXPECT_TRUE(m.View.InState(siWaitDrag));
  EXPECT_EQ(m.Sel(), "1,0-6,0");
  QTest::mouseRelease(m.Port(), Qt::LeftButton, {}, m.LeftHalf(3, 0));
  EXPECT_EQ(m.Sel(), "none");
  EXPECT_EQ(m.View.CursorPos(), (TKivPoint{3, 0}));
  m.View.SetSelection({1, 0}, {6, 0});
  QTest::mousePress(m.Port(), Qt::LeftButton, Qt::ShiftModifier, m.LeftHalf(3, 0));
  QTest::mouseRelease(m.Port(), Qt::LeftButton, Qt::ShiftModifier, m.LeftHalf(3, 0));
  EXPECT_EQ(m.Sel(), "1,0-3,0");
  // A right click outside the selection moves the cursor (vsRightClickMovesCursor is on).
  QTest::mousePress(m.Port(), Qt::RightButton, {}, m.LeftHalf(7, 0));
  QTest::mouseRelease(m.Port(), Qt::RightButton, {}, m.LeftHalf(7, 0));
  EXPECT_EQ(m.View.CursorPos(), (TKivPoint{7, 0}));
  EXPECT_EQ(m.Sel(), "none");
}

TEST(EditViewMouse, GutterClicksAndTheLineNumberBar) {
  MouseView m(Lines(20));
  std::string got;
  m.View.OnGutterClick = [&](TKivEditViewCore&, const TKivGutterClickParams& AParams, bool& Handled) {
    got = std::to_string(AParams.ScrollLine) + " " + std::to_string(AParams.Bar->Kind());
    Handled = AParams.Bar->Kind() != gbLineNumberBar;
  };
  const Integer rowY = m.CellRect(0, 3).center().y();
  m.View.SetTopLineScroll(2);
  QApplication::processEvents();
  QTest::mouseClick(m.Port(), Qt::LeftButton, {}, QPoint(m.View.GutterWidth() - 3, rowY));
  EXPECT_EQ(got, "5 " + std::to_string(gbFoldBar));
  // The line-number bar: a vertical drag selects whole lines.
  const Integer numbersX = 2 * 18 + 4;
  QTest::mousePress(m.Port(), Qt::LeftButton, {}, QPoint(numbersX, rowY));
  EXPECT_EQ(got, "5 " + std::to_string(gbLineNumberBar));
  EXPECT_EQ(m.Sel(), "0,5-6,5");
  const Integer rowY2 = m.CellRect(0, 7).center().y();
  m.Move(QPoint(numbersX, rowY2), Qt::LeftButton);
  EXPECT_EQ(m.Sel(), "0,5-6,7");
  QTest::mouseRelease(m.Port(), Qt::LeftButton, {}, QPoint(numbersX, rowY2));
}

TEST(EditViewMouse, AutoScrollRunsOnTheWidgetsTimerUntilRelease) {
  MouseView m(Lines(200));
  const QPoint below(m.LeftHalf(1, 0).x(), m.Port()->height() + 4);
  QTest::mousePress(m.Port(), Qt::LeftButton, {}, m.LeftHalf(1, 0));
  m.Move(below, Qt::LeftButton);
  ASSERT_NE(m.View.AutoScrollTimer(), nullptr);
  EXPECT_TRUE(m.View.AutoScrolling());
  const Integer top = m.View.TopLineScroll();
  QTest::qWait(100);
  EXPECT_GT(m.View.TopLineScroll(), top);
  QTest::mouseRelease(m.Port(), Qt::LeftButton, {}, below);
  EXPECT_FALSE(m.View.AutoScrolling());
  const Integer after = m.View.TopLineScroll();
  QTest::qWait(40);
  EXPECT_EQ(m.View.TopLineScroll(), after);
}

TEST(EditViewMouse, CursorShapesPerRegion) {
  MouseView m(u"abcdef\r\nxy");
  m.View.SetSelection({1, 0}, {4, 0});
  const Integer rowY = m.CellRect(0, 0).center().y();
  m.Move(QPoint(5, rowY), Qt::NoButton);
  EXPECT_EQ(m.Port()->cursor().shape(), Qt::ArrowCursor);
  m.Move(QPoint(2 * 18 + 4, rowY), Qt::NoButton);
  EXPECT_EQ(m.Port()->cursor().shape(), Qt::BitmapCursor);
  EXPECT_EQ(m.Port()->cursor().hotSpot(), QPoint(31, 0));
  m.Move(m.LeftHalf(0, 1), Qt::NoButton);
  EXPECT_EQ(m.Port()->cursor().shape(), Qt::IBeamCursor);
  m.Move(m.LeftHalf(2, 0), Qt::NoButton);
  EXPECT_EQ(m.Port()->cursor().shape(), Qt::ArrowCursor);
  m.View.OnGetMouseCursor = [](TKivEditViewCore&, const TKivPoint& APos, TKivMouseCursor& ACursor) {
    if (APos.Y == 1) ACursor = mcArrow;
  };
  m.Move(m.LeftHalf(0, 1), Qt::NoButton);
  EXPECT_EQ(m.Port()->cursor().shape(), Qt::ArrowCursor);
}

TEST(EditViewGutter, OwnImagesReplaceTheBuiltInOnes) {
  MouseView m(u"abc");
  m.Doc.Bookmarks()->CreateLineMark(0)->SetName(u"1");
  QApplication::processEvents();
  const QImage before = m.View.grab().toImage();
  EXPECT_TRUE(m.View.GutterImage(giBookmark).isNull());
  QImage red(14, 16, QImage::Format_RGB32);
  red.fill(Qt::red);
  m.View.SetGutterImage(giBookmark, red);
  QApplication::processEvents();
  const QImage after = m.View.grab().toImage();
  // The bookmarks' bar is the second: somewhere in it the red image shows now.
  const int y = m.CellRect(0, 0).center().y() + m.View.viewport()->y();
  int reds = 0;
  for (int x = m.View.viewport()->x() + 18; x < m.View.viewport()->x() + 36; ++x)
    if (after.pixelColor(x, y) == QColor(Qt::red) && before.pixelColor(x, y) != QColor(Qt::red)) ++reds;
  EXPECT_GT(reds, 5);
  m.View.SetGutterImage(giBookmark, QImage());
  EXPECT_TRUE(m.View.GutterImage(giBookmark).isNull());
}

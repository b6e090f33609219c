// The editor view widget on the offscreen platform: its size limit, the default context menu, the
// scroll bars after a large text, painting, and errors raised inside event handlers.
#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <sstream>
#include <string>

#include "KivSedView.h"
#include "KivTestAccess.h"
#include "internal/ScreenCache.h"

namespace {

TKivString Lines(int ACount) {
  TKivString text;
  for (int i = 0; i < ACount; ++i) {
    if (i) text += u"\r\n";
    text += u"line " + KivFromUtf8(std::to_string(i));
  }
  return text;
}

// The captions of a menu ("-" for a separator) with "+" or "." for enabled or not.
std::string MenuText(QMenu& AMenu) {
  std::string text;
  for (QAction* a : AMenu.actions()) {
    if (!text.empty()) text += " ";
    text += a->isSeparator() ? "-" : (a->isEnabled() ? "+" : ".") + a->text().toStdString();
  }
  return text;
}

// Errors that reach the event boundary are collected instead of shown.
struct ErrorSeam {
  ErrorSeam() {
    TKivCustomEditView::SetErrorHandler(
        [this](QWidget*, const QString& AMessage) { Messages.push_back(AMessage.toStdString()); });
  }
  ~ErrorSeam() { TKivCustomEditView::SetErrorHandler(nullptr); }
  std::vector<std::string> Messages;
};

}  // namespace

TEST(EditView, ResizeKeepsOneRowAndTheFrame) {
  TKivEditView view;
  view.show();  // a hidden widget gets its resize events when shown
  ASSERT_GT(view.LineHeight(), 0);
  // A font given in pixels: rows grow with it.
  const Integer pointRows = view.LineHeight();
  view.SetFont({u"Courier New", 10, 30});
  EXPECT_GT(view.LineHeight(), pointRows);
  EXPECT_GE(view.LineHeight(), 30);
  view.resize(300, 5);
  EXPECT_EQ(view.height(), view.LineHeight() + 2 * view.frameWidth());
  EXPECT_EQ(view.ScreenHeight(), 1);
  view.resize(300, 200);
  EXPECT_EQ(view.height(), 200);
  const int rows = view.viewport()->height();  // the client area: frame and scroll bars taken off
  EXPECT_EQ(view.ScreenHeight(), (rows + view.LineHeight() - 1) / view.LineHeight());
}

// A narrow window keeps room for the gutter and one character beside the vertical scroll bar, so
// text wrapped to the window has a text area at least one character wide.
TEST(EditView, NarrowWindowKeepsTheGutterAndOneCharacterBesideTheScrollBar) {
  TKivEditDocument doc;
  doc.Insert(0, Lines(200));
  TKivEditView view;
  view.SetDocument(&doc);
  view.resize(400, 300);
  view.show();
  ASSERT_TRUE(view.verticalScrollBar()->isVisible());
  view.SetWrapMode(wmWrapToWindow);
  view.resize(50, 300);
  const Integer space = TKivTestAccess::ScreenCache(view).SpaceCharW();
  ASSERT_GT(space, 0);
  EXPECT_GE(view.viewport()->width(), view.GutterWidth() + space);
  EXPECT_GE(TKivTestAccess::ScreenCache(view).ScreenWidthPixels(), space);
  EXPECT_EQ(view.width(), view.minimumWidth());
}

TEST(EditView, DefaultContextMenuFollowsWhatCanRun) {
  TKivEditDocument doc;
  std::istringstream text("hello world");
  doc.LoadFromStream(text);  // no undo
  TKivEditView view;
  view.SetDocument(&doc);
  QApplication::clipboard()->setText(QStringLiteral("clip"));
  ASSERT_NE(view.ContextMenu(), nullptr);
  EXPECT_EQ(MenuText(*view.ContextMenu()), ".Undo - .Cut .Copy +Paste - +Select all");
  view.SetSelectionOffsets(0, 5);
  QMenu* menu = view.ContextMenu();
  EXPECT_EQ(MenuText(*menu), ".Undo - +Cut +Copy +Paste - +Select all");
  menu->actions()[3]->trigger();  // Copy
  EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "hello");
  menu->actions()[4]->trigger();  // Paste over the selection
  EXPECT_EQ(KivToUtf8(doc.GetText(0, doc.CharsCount())), "hello world");
  EXPECT_EQ(MenuText(*view.ContextMenu()), "+Undo - .Cut .Copy +Paste - +Select all");
  view.SetReadOnly(true);
  EXPECT_EQ(MenuText(*view.ContextMenu()), ".Undo - .Cut .Copy .Paste - +Select all");
  // No default menu when the settings suppress it or the application brings its own.
  view.SetViewSettings(view.ViewSettings() | vsSuppressDefaultMenu);
  EXPECT_EQ(view.ContextMenu(), nullptr);
  QMenu own;
  view.SetPopupMenu(&own);
  EXPECT_EQ(view.ContextMenu(), &own);
}

TEST(EditView, ScrollBarsSpanALargeText) {
  TKivEditDocument doc;
  doc.Insert(0, Lines(10000));
  TKivEditView view;
  view.resize(400, 300);
  view.show();
  view.SetDocument(&doc);
  QScrollBar* bar = view.verticalScrollBar();
  EXPECT_EQ(bar->minimum(), 0);
  EXPECT_EQ(bar->maximum(), 10000 - view.FullyVisibleLines());
  EXPECT_EQ(bar->pageStep(), view.FullyVisibleLines());
  // The bars that came with the text narrowed the client area: the view measured again.
  EXPECT_TRUE(bar->isVisible());
  EXPECT_EQ(TKivTestAccess::ScreenCache(view).ScreenWidthPixels(), view.viewport()->width() - view.GutterWidth());
  EXPECT_EQ(view.ScreenHeight(), (view.viewport()->height() + view.LineHeight() - 1) / view.LineHeight());
  view.GotoPhysLine(5000);
  EXPECT_EQ(bar->value(), view.TopLineScroll());
  // Moving the bar scrolls the text; a value written by code is no request.
  bar->setSliderPosition(100);
  EXPECT_EQ(view.TopLineScroll(), 100);
  bar->setValue(200);
  EXPECT_EQ(view.TopLineScroll(), 100);
}

TEST(EditView, AnErrorInAKeyHandlerReachesTheErrorSeam) {
  struct Raising : IKivViewCommandHooks {
    bool KeyDown(TKivEditViewCore&, uint16_t) override { throw EKivEditViewError(u"command failed"); }
  } raising;
  ErrorSeam seam;
  TKivEditView view;
  view.SetCommandHooks(&raising);
  QTest::keyClick(&view, Qt::Key_A);
  ASSERT_EQ(seam.Messages.size(), 1u);
  EXPECT_EQ(seam.Messages[0], "command failed");
  // A failing menu command is caught the same way.
  view.SetCommandHooks(nullptr);
  view.ContextMenu()->actions()[4]->setEnabled(true);
  view.ContextMenu();
  QAction* paste = view.ContextMenu()->actions()[4];
  paste->setEnabled(true);
  paste->trigger();  // no document: refused
  ASSERT_EQ(seam.Messages.size(), 2u);
  EXPECT_EQ(seam.Messages[1], "Document must be attached to View for this operation");
}

TEST(EditView, PaintsTheTextAndTheCaret) {
  TKivEditDocument doc;
  doc.Insert(0, u"#### ####\r\n\r\nxyz");
  TKivEditView view;
  view.resize(300, 120);
  view.SetDocument(&doc);
  view.show();
  view.activateWindow();
  view.setFocus();
  QApplication::processEvents();
  const QImage image = view.viewport()->grab().toImage();
  const int gutter = view.GutterWidth();
  ASSERT_GT(gutter, 0);  // the painter's default bars
  int dark = 0;
  for (int x = gutter; x < gutter + 100; ++x)
    for (int y = 0; y < view.LineHeight(); ++y) dark += qGray(image.pixel(x, y)) < 128;
  EXPECT_GT(dark, 20);  // the first row's glyphs
  int darkBelow = 0;
  for (int x = gutter; x < image.width(); ++x)
    darkBelow += qGray(image.pixel(x, 3 * view.LineHeight() + 2)) < 128;
  EXPECT_EQ(darkBelow, 0);  // nothing past the text
  ASSERT_TRUE(view.hasFocus());
  EXPECT_TRUE(view.CaretShown());
  EXPECT_EQ(view.CaretRect(), QRect(gutter, 0, 2, view.LineHeight()));
  view.SetCursorOffset(11);  // the empty second line: only the caret is drawn there
  const int lh = view.LineHeight();
  EXPECT_EQ(view.CaretRect(), QRect(gutter, lh, 2, lh));
  EXPECT_LT(qGray(view.viewport()->grab().toImage().pixel(gutter + 1, lh + lh / 2)), 128);
  view.clearFocus();
  QApplication::processEvents();
  EXPECT_FALSE(view.CaretShown());
  EXPECT_GT(qGray(view.viewport()->grab().toImage().pixel(gutter + 1, lh + lh / 2)), 128);
}

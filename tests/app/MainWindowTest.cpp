// The main window as it starts: place and size, the buttons, the tab order, the view's place when
// the window is resized, the document's start-up state, and its picture.
#include <gtest/gtest.h>

#include <QImage>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <string>
#include <vector>

#include "KivDemoData.h"
#include "KivSedDocument.h"
#include "VornishMain.h"

namespace {

std::string U8(TKivStringView AText) {
  return KivToUtf8(AText);
}

TEST(MainWindow, CaptionPlaceSizeAndFont) {
  TDialogsForm form;
  EXPECT_EQ(form.windowTitle().toStdString(), "Vornish");
  EXPECT_EQ(form.pos(), QPoint(220, 162));
  EXPECT_EQ(form.size(), QSize(661, 457));
  EXPECT_EQ(form.font().pixelSize(), 11);
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  EXPECT_EQ(form.size(), QSize(661, 457)) << "showing keeps the client size";
  EXPECT_EQ(form.pos(), QPoint(220, 162));
}

TEST(MainWindow, Buttons) {
  struct TCase {
    const char* Name;
    bool SpeedButton;
    int Left, Top, Width;
    const char* Caption;
  };
  const std::vector<TCase> cases{
      {"btnFind", true, 16, 8, 57, "Find"},
      {"btnReplace", true, 80, 8, 57, "Replace"},
      {"btnGoto", true, 144, 8, 65, "Go to line"},
      {"btnKeybindings", true, 216, 8, 97, "Edit keybindings"},
      {"btnColorSchemes", true, 320, 8, 121, "Edit color schemes"},
      {"btnSyntax", true, 448, 8, 121, "Edit syntax schemes"},
      {"btnPrintSetup", false, 16, 41, 75, "Print setup"},
      {"btnPageSetup", false, 97, 41, 75, "Page setup"},
      {"btnPrintPreview", false, 185, 41, 75, "Print preview"},
      {"btnPrint", false, 266, 41, 47, "Print"},
  };
  TDialogsForm form;
  EXPECT_EQ(form.findChildren<QAbstractButton*>().size(), qsizetype(cases.size()));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    auto* button = form.findChild<QAbstractButton*>(QLatin1String(c.Name));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->geometry(), QRect(c.Left, c.Top, c.Width, 25));
    EXPECT_EQ(button->text().toStdString(), c.Caption);
    if (c.SpeedButton) {
      auto* tool = qobject_cast<QToolButton*>(button);
      ASSERT_NE(tool, nullptr);
      EXPECT_TRUE(tool->autoRaise()) << "flat";
      EXPECT_EQ(tool->focusPolicy(), Qt::NoFocus);
    } else {
      EXPECT_NE(qobject_cast<QPushButton*>(button), nullptr);
      EXPECT_TRUE(button->focusPolicy() & Qt::TabFocus);
    }
  }
}

// The widgets Tab visits, from the view on.
std::vector<std::string> TabOrder(QWidget* AFirst) {
  std::vector<std::string> res;
  QWidget* w = AFirst;
  do {
    if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled()) res.push_back(w->objectName().toStdString());
    w = w->nextInFocusChain();
  } while (w != AFirst && res.size() < 20);
  return res;
}

TEST(MainWindow, TabOrderStartsAtTheFocusedView) {
  TDialogsForm form;
  ASSERT_NE(form.View, nullptr);
  EXPECT_EQ(TabOrder(form.View), (std::vector<std::string>{"View", "btnPrintSetup", "btnPrintPreview",
                                                           "btnPrint", "btnPageSetup"}));
  form.show();
  form.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
  EXPECT_EQ(QApplication::focusWidget(), form.View);
  // Tab from the last button wraps around to the view.
  form.btnPageSetup->setFocus();
  QTest::keyClick(form.btnPageSetup, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), form.View);
}

TEST(MainWindow, ViewStaysAtTheBottomSpanningTheWidth) {
  TDialogsForm form;
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  EXPECT_EQ(form.View->geometry(), QRect(0, 72, 661, 385));
  const std::vector<QSize> sizes{{900, 600}, {700, 1000}, {591, 457}, {661, 457}};
  for (const QSize& size : sizes) {
    SCOPED_TRACE(size.width());
    form.resize(size);
    ASSERT_EQ(form.size(), size);
    const QRect view = form.View->geometry();
    EXPECT_EQ(view.left(), 0);
    EXPECT_EQ(view.width(), size.width());
    EXPECT_EQ(view.top() + view.height(), size.height()) << "bottom edge";
    EXPECT_EQ(view.height(), 385);
  }
}

TEST(MainWindow, MinimumSize) {
  TDialogsForm form;
  form.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
  // Offscreen there is no frame drawn: the client area has the smallest size itself.
  EXPECT_EQ(form.minimumSize(), QSize(591, 457));
  form.resize(100, 100);
  EXPECT_EQ(form.size(), QSize(591, 457));
  EXPECT_EQ(form.View->geometry(), QRect(0, 72, 591, 385));
}

// The outer frame is at least 591 x 476, but the client area never has to grow past its start.
TEST(MainWindow, MinimumClientSizeInsideAFrame) {
  struct TCase {
    int FrameWidth, FrameHeight;
    QSize Client;
  };
  const std::vector<TCase> cases{
      {0, 0, {591, 457}}, {8, 31, {583, 445}}, {4, 4, {587, 457}}, {-3, -3, {591, 457}}, {700, 600, {0, 0}}};
  for (const auto& c : cases)
    EXPECT_EQ(TDialogsForm::MinimumClientSize(c.FrameWidth, c.FrameHeight), c.Client)
        << c.FrameWidth << " x " << c.FrameHeight;
}

TEST(MainWindow, DocumentAtStartUp) {
  TDialogsForm form;
  TKivEditDocument& doc = *form.Doc;
  EXPECT_EQ(doc.LinesCount(), 75);
  EXPECT_TRUE(doc.Text() == KivDemoSampleText());
  EXPECT_FALSE(doc.Modified());
  EXPECT_FALSE(doc.CanUndo());
  EXPECT_EQ(U8(doc.ActiveSyntaxScheme()), "C");
  EXPECT_EQ(U8(doc.ActiveColorScheme()), "default");
  std::vector<std::string> names;
  for (Integer i = 0; i < doc.SyntaxSchemes().Count(); ++i)
    names.push_back(U8(doc.SyntaxSchemes()[i].Name()));
  EXPECT_EQ(names, (std::vector<std::string>{"ASP_JS", "ASP_VB", "C", "CPP", "CSS", "DFM", "HTML",
                                             "JavaScript", "Lua", "Pascal", "Perl", "PHP", "Python", "Rexx",
                                             "SQL", "TCL", "Text", "VB", "XML"}));
  ASSERT_EQ(doc.ColorSchemes().Count(), 1);
  EXPECT_EQ(U8(doc.ColorSchemes()[0].Name()), "default");
}

TEST(MainWindowPicture, WritesThePngOfTheWindow) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  TDialogsForm form;
  form.resize(700, 500);
  const QString file = dir.filePath(QStringLiteral("window.png"));
  ASSERT_EQ(KivSaveWindowPicture(form, file).toStdString(), "");
  QImage image;
  ASSERT_TRUE(image.load(file, "PNG"));
  EXPECT_EQ(image.size(), QSize(700, 500));
  // The buttons' face above, the view's white page below it (right of the gutter), some dark
  // text on that page.
  EXPECT_EQ(image.pixelColor(2, 2), form.palette().color(QPalette::Button));
  int white = 0;
  const QRect page(100, 500 - 385, 500, 300);
  for (int y = page.top(); y <= page.bottom(); ++y)
    for (int x = page.left(); x <= page.right(); ++x) white += image.pixelColor(x, y) == QColor(Qt::white);
  EXPECT_GT(white, page.width() * page.height() * 7 / 10);
  bool dark = false;
  for (int y = 500 - 385; y < 500 - 385 + 20 && !dark; ++y)
    for (int x = 0; x < 300 && !dark; ++x) dark = image.pixelColor(x, y).lightness() < 100;
  EXPECT_TRUE(dark) << "the first line's text";
}

TEST(MainWindowPicture, FailureLeavesNoFile) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  TDialogsForm form;
  const QString missing = dir.filePath(QStringLiteral("no/such/dir/window.png"));
  EXPECT_NE(KivSaveWindowPicture(form, missing).toStdString(), "");
  EXPECT_FALSE(QFile::exists(missing));
  EXPECT_NE(KivSaveWindowPicture(form, QString()).toStdString(), "");
}

}  // namespace

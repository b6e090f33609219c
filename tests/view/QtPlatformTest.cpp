// Colours through the palette, and the clipboard.
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QPalette>

#include "KivSedClipboard.h"
#include "KivSedQtColors.h"

TEST(QtColors, PlainAndSystemColours) {
  EXPECT_EQ(KivToQColor(KivRGB(1, 2, 3)), QColor(1, 2, 3));
  EXPECT_EQ(KivFromQColor(QColor(200, 100, 50)), KivRGB(200, 100, 50));
  EXPECT_EQ(KivFromQColor(QColor::fromHsv(120, 255, 255)), KivRGB(0, 255, 0));

  const QPalette saved = QGuiApplication::palette();
  QPalette palette = saved;
  palette.setColor(QPalette::Active, QPalette::Highlight, QColor(10, 20, 30));
  palette.setColor(QPalette::Active, QPalette::Base, QColor(250, 240, 230));
  QGuiApplication::setPalette(palette);
  EXPECT_EQ(KivToQColor(KivSystemColor(scHighlight)), QColor(10, 20, 30));
  EXPECT_EQ(KivToQColor(KivSystemColor(scWindow)), QColor(250, 240, 230));
  // A system colour without a palette role keeps the library's default.
  const TKivColor caption = KivResolveColor(KivSystemColor(scActiveCaption));
  EXPECT_EQ(KivPaletteSysColor(scActiveCaption), -1);
  EXPECT_EQ(KivFromQColor(KivToQColor(KivSystemColor(scActiveCaption))), caption);

  // Installed, the palette serves the core as well.
  EXPECT_NE(ColorToText(KivSystemColor(scHighlight)), u"#0A141E");
  KivInstallPaletteColors();
  EXPECT_EQ(ColorToText(KivSystemColor(scHighlight)), u"#0A141E");
  EXPECT_EQ(KivResolveColor(KivSystemColor(scActiveCaption)), caption);
  KivSetSysColorResolver(nullptr);
  QGuiApplication::setPalette(saved);
}

TEST(QtClipboard, TextWithAndWithoutTheBlockMark) {
  TKivString text;
  bool rect = false;
  SetClipboardText(u"col1\r\ncol2 \U0001F600", true);
  EXPECT_TRUE(ClipboardHasText());
  GetClipboardText(text, rect);
  EXPECT_EQ(text, u"col1\r\ncol2 \U0001F600");
  EXPECT_TRUE(rect);

  SetClipboardText(u"plain", false);
  GetClipboardText(text, rect);
  EXPECT_EQ(text, u"plain");
  EXPECT_FALSE(rect);

  // An empty text leaves the clipboard as it is.
  SetClipboardText(u"", true);
  GetClipboardText(text, rect);
  EXPECT_EQ(text, u"plain");
  EXPECT_FALSE(rect);

  TKivSegment seg;
  SegmentFromString(u"hello world", seg);
  CopySegmentToClipboard(MakeSegment(6, 5, seg.Source), true);
  GetClipboardText(text, rect);
  EXPECT_EQ(text, u"world");
  EXPECT_TRUE(rect);
  // A bad segment raises before the clipboard changes.
  EXPECT_THROW(CopySegmentToClipboard(MakeSegment(8, 5, seg.Source), false), EInvalidArgument);
  FreeSegment(seg);
  GetClipboardText(text, rect);
  EXPECT_EQ(text, u"world");
  EXPECT_TRUE(rect);

  // Text another program put there has no mark.
  QGuiApplication::clipboard()->setText(QStringLiteral("foreign"));
  GetClipboardText(text, rect);
  EXPECT_EQ(text, u"foreign");
  EXPECT_FALSE(rect);
  QGuiApplication::clipboard()->clear();
  EXPECT_FALSE(ClipboardHasText());
  GetClipboardText(text, rect);
  EXPECT_EQ(text, u"");
}

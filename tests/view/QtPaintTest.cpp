// The Qt painting surface, checked by pixel probes of images painted offscreen.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QRawFont>

#include "KivSedQtColors.h"
#include "KivSedQtPaint.h"
#include "internal/MeasureCaches.h"

namespace {

constexpr TKivColor kWhite = KivRGB(255, 255, 255);
constexpr TKivColor kBlack = KivRGB(0, 0, 0);

QFont Font(const char* AFamily, int APixels) {
  QFont font(QString::fromLatin1(AFamily));
  font.setPixelSize(APixels);
  return font;
}

// An image painted through the surface: white at first.
struct Canvas {
  Canvas(int AWidth, int AHeight, const QFont& AFont, qreal ARatio = 1)
      : Image(int(AWidth * ARatio), int(AHeight * ARatio), QImage::Format_RGB32) {
    Image.setDevicePixelRatio(ARatio);
    Image.fill(Qt::white);
    Painter.begin(&Image);
    Measure = std::make_unique<TKivQtMeasureSurface>(AFont, &Image);
    Surface = std::make_unique<TKivQtPaintSurface>(Painter, *Measure);
  }
  // Ends painting; the image is then ready for probes.
  const QImage& Done() {
    if (Painter.isActive()) Painter.end();
    return Image;
  }

  QImage Image;
  QPainter Painter;
  std::unique_ptr<TKivQtMeasureSurface> Measure;
  std::unique_ptr<TKivQtPaintSurface> Surface;
};

bool IsInk(QRgb APixel) {
  return qGray(APixel) < 160;
}
bool ColumnHasInk(const QImage& AImage, int AX, int ATop, int ABottom) {
  for (int y = ATop; y < ABottom; ++y)
    if (IsInk(AImage.pixel(AX, y))) return true;
  return false;
}
// The last column with ink in rows [ATop, ABottom), or -1.
int LastInkColumn(const QImage& AImage, int ATop, int ABottom) {
  for (int x = AImage.width() - 1; x >= 0; --x)
    if (ColumnHasInk(AImage, x, ATop, ABottom)) return x;
  return -1;
}
int FirstInkColumn(const QImage& AImage, int ATop, int ABottom) {
  for (int x = 0; x < AImage.width(); ++x)
    if (ColumnHasInk(AImage, x, ATop, ABottom)) return x;
  return -1;
}
bool Near(QRgb APixel, const QColor& AColor, int ATolerance = 24) {
  return std::abs(qRed(APixel) - AColor.red()) <= ATolerance &&
         std::abs(qGreen(APixel) - AColor.green()) <= ATolerance &&
         std::abs(qBlue(APixel) - AColor.blue()) <= ATolerance;
}
// Whether a pixel of the colour lies in the rectangle.
bool RectHasColor(const QImage& AImage, const QRect& ARect, const QColor& AColor, int ATolerance = 24) {
  for (int y = ARect.top(); y <= ARect.bottom(); ++y)
    for (int x = ARect.left(); x <= ARect.right(); ++x)
      if (Near(AImage.pixel(x, y), AColor, ATolerance)) return true;
  return false;
}
// Expected colours at points of an image.
struct Probe {
  int X, Y;
  QRgb Color;
};
constexpr QRgb kBlank = 0xFFFFFFFF;  // opaque white
void ExpectPixels(const QImage& AImage, std::initializer_list<Probe> AProbes) {
  for (const Probe& p : AProbes) EXPECT_EQ(AImage.pixel(p.X, p.Y), p.Color) << "at " << p.X << "," << p.Y;
}

// Bounding box of the pixels that are not white.
QRect PaintedBox(const QImage& AImage) {
  QRect box;
  for (int y = 0; y < AImage.height(); ++y)
    for (int x = 0; x < AImage.width(); ++x)
      if (AImage.pixel(x, y) != qRgb(255, 255, 255)) box |= QRect(x, y, 1, 1);
  return box;
}

}  // namespace

// A long line of proportional text: the glyphs land where the layout measured them, so the last
// glyph ends at the measured width and a caret between two glyphs touches neither.
TEST(QtPaint, DrawingMatchesMeasuring) {
  TKivString text;
  while (text.size() < 200) text += u"Hello, ill-willed World; jumpy quartz vexing fjords. ";
  text.resize(199);
  text += u'W';
  Canvas canvas(2400, 40, Font("DejaVu Sans", 20));
  TMeasureCaches caches;
  caches.SetCanvas(canvas.Measure.get());
  caches.SetSpaceWidth(canvas.Measure->SpaceWidth());
  const auto run = caches.GetTextAnalysis(text, 0, 0);
  ASSERT_FALSE(canvas.Measure->IsComplex(text));
  ASSERT_LT(run->Width(), 2400);
  canvas.Surface->DrawText({0, 5}, text, nullptr, kBlack, 0, 0, {0, 0, 2400, 40});
  const QImage& image = canvas.Done();

  EXPECT_NEAR(LastInkColumn(image, 0, 40) + 1, run->Width(), 1);
  // Carets between the two l's of each "ll" past the 150th character.
  int probes = 0;
  for (size_t i = text.find(u"ll", 150); i != TKivString::npos; i = text.find(u"ll", i + 1)) {
    const Integer caret = run->GetCharArea(Integer(i) + 1).Leading;
    EXPECT_FALSE(ColumnHasInk(image, caret, 0, 40)) << "caret at character " << i + 1 << ", x " << caret;
    EXPECT_TRUE(ColumnHasInk(image, caret + 2, 0, 40) || ColumnHasInk(image, caret + 1, 0, 40));
    ++probes;
  }
  EXPECT_GE(probes, 2);
}

TEST(QtPaint, ComplexRunIsDrawnFromItsShapingResult) {
  const TKivStringView text = u"abc \u05E9\u05DC\u05D5\u05DD xyz";
  Canvas canvas(300, 40, Font("DejaVu Sans", 20));
  const auto shaped = canvas.Measure->Shape(text, 0, 0);
  canvas.Surface->DrawText({10, 5}, text, shaped.get(), kBlack, 0, 0, {0, 0, 300, 40});
  // The same run without its shaping result is shaped again, and lands at the same place.
  canvas.Surface->DrawText({10, 5}, text, nullptr, kBlack, 0, 0, {0, 0, 300, 40});
  const QImage& image = canvas.Done();
  EXPECT_NEAR(FirstInkColumn(image, 0, 40), 10, 2);
  EXPECT_NEAR(LastInkColumn(image, 0, 40) + 1, 10 + shaped->Width(), 2);
  // The Hebrew word's first letter is drawn at its measured place, at the word's right end.
  const TKivTextArea shin = shaped->CharArea(4);
  bool ink = false;
  for (int x = 10 + shin.Trailing + 1; x < 10 + shin.Leading - 1; ++x)
    ink = ink || ColumnHasInk(image, x, 0, 40);
  EXPECT_TRUE(ink);
}

// A character the font lacks is drawn with the glyph Qt falls back to, inside its measured cell.
TEST(QtPaint, FallbackGlyphInASimpleRun) {
  const QFont font = Font("Courier New", 20);
  const QRawFont raw = QRawFont::fromFont(font);
  Char missing = 0;
  for (Char c : {u'\u2318', u'\u263A', u'\u2602', u'\u2665', u'\u25C6'})
    if (!raw.supportsCharacter(QChar(c)) &&
        QRawFont::fromFont(Font("DejaVu Sans", 20)).supportsCharacter(QChar(c))) {
      missing = c;
      break;
    }
  if (!missing) GTEST_SKIP() << "the monospaced font has every candidate";
  const TKivString text = TKivString(u"ab") + missing + u"cd";
  Canvas canvas(200, 40, font);
  ASSERT_FALSE(canvas.Measure->IsComplex(text));
  canvas.Surface->DrawText({0, 5}, text, nullptr, kBlack, 0, 0, {0, 0, 200, 40});
  const QImage& image = canvas.Done();
  const Integer left = 2 * canvas.Measure->CharWidth(u'a', 0, 0);
  const Integer right = left + canvas.Measure->CharWidth(missing, 0, 0);
  bool ink = false;
  for (int x = left + 1; x < right - 1; ++x) ink = ink || ColumnHasInk(image, x, 0, 40);
  EXPECT_TRUE(ink);
}

// A row as the layout paints it: gutter with a line number, tokens in colours and bold, and a
// selection; probes find each colour in its cell.
TEST(QtPaint, PaintedRow) {
  const QPalette saved = QGuiApplication::palette();
  QPalette palette = saved;
  palette.setColor(QPalette::Highlight, QColor(0x33, 0x99, 0xFF));
  palette.setColor(QPalette::HighlightedText, Qt::white);
  QGuiApplication::setPalette(palette);

  constexpr TKivColor kLinesBg = KivRGB(244, 244, 244), kLinesText = KivRGB(153, 153, 204);
  constexpr TKivColor kKeyword = KivRGB(0, 0, 255), kNumber = KivRGB(220, 0, 0);
  const TKivColor kSelBg = KivSystemColor(scHighlight), kSelText = KivSystemColor(scHighlightText);
  Canvas canvas(400, 24, Font("Courier New", 16));
  IKivMeasureSurface& m = *canvas.Measure;
  IKivPaintSurface& s = *canvas.Surface;
  const Integer rowH = m.Metrics(0).Height, cw = m.CharWidth(u'x', 0, 0), gutter = 40;
  const TKivRect row{0, 2, 400, 2 + rowH};
  // "int x = 42;" with "x = 4" selected (columns 4..8).
  s.FillRect({0, row.Top, gutter, row.Bottom}, kLinesBg);
  const Integer numW = m.CharWidth(u'1', 0, 0) + m.CharWidth(u'2', 0, 0);
  s.DrawText({gutter - 2 - numW, row.Top}, u"12", nullptr, kLinesText, 0, 0,
             {0, row.Top, gutter, row.Bottom});
  auto cell = [&](Integer ACol, Integer ACount) {
    return TKivRect{gutter + ACol * cw, row.Top, gutter + (ACol + ACount) * cw, row.Bottom};
  };
  s.FillRect(cell(0, 4), kWhite);
  s.DrawText({gutter, row.Top}, u"int ", nullptr, kKeyword, fsBold, 0, cell(0, 4));
  s.FillRect(cell(4, 5), kSelBg);
  s.DrawText({gutter + 4 * cw, row.Top}, u"x = 4", nullptr, kSelText, 0, 0, cell(4, 5));
  s.FillRect(cell(9, 2), kWhite);
  s.DrawText({gutter + 9 * cw, row.Top}, u"2;", nullptr, kNumber, 0, 0, cell(9, 2));
  s.FillRect({cell(11, 0).Left, row.Top, 400, row.Bottom}, kWhite);
  const QImage& image = canvas.Done();
  QGuiApplication::setPalette(saved);

  auto q = [](const TKivRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); };
  EXPECT_TRUE(RectHasColor(image, q(cell(0, 3)), QColor(0, 0, 255))) << "keyword";
  EXPECT_FALSE(RectHasColor(image, q(cell(0, 3)), QColor(220, 0, 0))) << "keyword";
  EXPECT_TRUE(RectHasColor(image, q(cell(9, 1)), QColor(220, 0, 0))) << "number";
  EXPECT_FALSE(RectHasColor(image, q(cell(9, 1)), QColor(0, 0, 255))) << "number";
  EXPECT_EQ(image.pixel(cell(6, 1).Left, row.Top), qRgb(0x33, 0x99, 0xFF)) << "selection background";
  EXPECT_TRUE(RectHasColor(image, q(cell(4, 1)), Qt::white, 0)) << "selected text";
  EXPECT_EQ(image.pixel(cell(3, 1).Left, row.Top), qRgb(255, 255, 255)) << "left of the selection";
  EXPECT_EQ(image.pixel(cell(9, 1).Left, row.Top), qRgb(255, 255, 255)) << "right of the selection";
  EXPECT_EQ(image.pixel(1, row.Top + 1), qRgb(244, 244, 244)) << "gutter";
  EXPECT_TRUE(RectHasColor(image, QRect(gutter - 2 - numW, row.Top, numW, rowH), QColor(153, 153, 204)))
      << "line number";
  EXPECT_FALSE(ColumnHasInk(image, gutter - 1, row.Top, row.Bottom)) << "right padding";
  // Bold ink is heavier than regular ink of the same width.
  EXPECT_GE(m.CharWidth(u'i', fsBold, 0), m.CharWidth(u'i', 0, 0));
}

TEST(QtPaint, ClipRegionsAndTextClip) {
  Canvas canvas(60, 40, Font("DejaVu Sans", 20));
  IKivPaintSurface& s = *canvas.Surface;
  s.SetClipRects({{0, 0, 10, 10}, {20, 0, 30, 10}});
  s.FillRect({0, 0, 60, 10}, KivRGB(255, 0, 0));
  s.ClearClip();
  s.FillRect({0, 12, 60, 14}, KivRGB(255, 0, 0));
  s.SetClipRects({});
  s.FillRect({0, 16, 60, 18}, KivRGB(255, 0, 0));
  s.ClearClip();
  // Text clipped to a rectangle that cuts through the run.
  s.DrawText({0, 18}, u"WWWW", nullptr, kBlack, 0, 0, {0, 18, 25, 40});
  const QImage& image = canvas.Done();
  for (int x : {5, 25}) EXPECT_EQ(image.pixel(x, 5), qRgb(255, 0, 0)) << x;
  for (int x : {15, 35, 55}) EXPECT_EQ(image.pixel(x, 5), qRgb(255, 255, 255)) << x;
  EXPECT_EQ(image.pixel(55, 12), qRgb(255, 0, 0));
  EXPECT_EQ(image.pixel(5, 16), qRgb(255, 255, 255)) << "an empty clip paints nothing";
  EXPECT_TRUE(ColumnHasInk(image, 20, 18, 40) || ColumnHasInk(image, 22, 18, 40));
  EXPECT_EQ(LastInkColumn(image, 18, 40), 24);
}

TEST(QtPaint, LinesAreOnePixelAndEndExclusive) {
  Canvas canvas(20, 20, Font("DejaVu Sans", 12));
  canvas.Surface->VLine(5, 2, 8, KivRGB(0, 0, 255));
  canvas.Surface->HLine(10, 15, 12, KivRGB(0, 128, 0));
  canvas.Surface->VLine(1, 5, 5, kBlack);  // empty
  const QRgb blue = qRgb(0, 0, 255), green = qRgb(0, 128, 0);
  ExpectPixels(canvas.Done(), {{5, 2, blue},
                               {5, 7, blue},
                               {5, 8, kBlank},
                               {4, 5, kBlank},
                               {6, 5, kBlank},
                               {10, 12, green},
                               {14, 12, green},
                               {15, 12, kBlank},
                               {12, 11, kBlank},
                               {1, 5, kBlank}});
}

// Every built-in image is drawn centred in the rectangle, at its own size, also on a device of
// twice the pixel density; the kinds without one draw nothing until the gutter gives its own.
TEST(QtPaint, GutterImages) {
  for (qreal ratio : {1.0, 2.0}) {
    for (int k = giBookmark; k <= giWrap; ++k) {
      const auto kind = TKivGutterImage(k);
      SCOPED_TRACE(testing::Message() << "kind " << k << " ratio " << ratio);
      Canvas canvas(24, 24, Font("DejaVu Sans", 12), ratio);
      const QSize size = KivGutterImageSize(kind);
      EXPECT_EQ(canvas.Surface->HasImage(kind), !size.isEmpty());
      canvas.Surface->DrawImage(kind, {2, 2, 22, 22});
      const QRect box = PaintedBox(canvas.Done());
      if (size.isEmpty()) {
        EXPECT_TRUE(box.isNull());
        continue;
      }
      const QRect expected(int((2 + (20 - size.width()) / 2) * ratio),
                           int((2 + (20 - size.height()) / 2) * ratio), int(size.width() * ratio),
                           int(size.height() * ratio));
      EXPECT_TRUE(expected.contains(box))
          << "painted " << box.x() << "," << box.y() << " " << box.width() << "x" << box.height();
      EXPECT_GE(box.width(), expected.width() * 2 / 3);
      EXPECT_GE(box.height(), expected.height() * 2 / 3);
    }
  }
  EXPECT_EQ(KivGutterImageSize(giBookmark), QSize(14, 16));
  EXPECT_EQ(KivGutterImageSize(giBreakpointActive), QSize(13, 13));
  EXPECT_EQ(KivGutterImageSize(giFoldPlus), QSize(11, 11));
  EXPECT_EQ(KivGutterImageSize(giFrameActive), QSize(14, 14));
  EXPECT_EQ(KivGutterImageSize(giWrap), QSize(14, 12));

  Canvas canvas(20, 20, Font("DejaVu Sans", 12));
  QImage own(4, 4, QImage::Format_RGB32);
  own.fill(Qt::red);
  canvas.Surface->SetImage(giFoldEnd, own);
  EXPECT_TRUE(canvas.Surface->HasImage(giFoldEnd));
  canvas.Surface->DrawImage(giFoldEnd, {0, 0, 20, 20});
  canvas.Surface->SetImage(giFoldEnd, QImage());
  EXPECT_FALSE(canvas.Surface->HasImage(giFoldEnd));
  EXPECT_THROW(canvas.Surface->SetImage(TKivGutterImage(40), own), EKivEditViewError);
  EXPECT_EQ(PaintedBox(canvas.Done()), QRect(8, 8, 4, 4));
}

TEST(QtPaint, HighDensityDeviceWorksInLogicalPixels) {
  Canvas canvas(20, 20, Font("DejaVu Sans", 12), 2);
  canvas.Surface->FillRect({0, 0, 10, 10}, kBlack);
  canvas.Surface->VLine(15, 0, 5, kBlack);
  const QRgb black = qRgb(0, 0, 0);
  ExpectPixels(canvas.Done(),
               {{19, 19, black}, {20, 20, kBlank}, {30, 2, black}, {31, 2, black}, {32, 2, kBlank}});
}

TEST(QtPaint, SaveRestoreAndRefusals) {
  Canvas canvas(20, 20, Font("DejaVu Sans", 12));
  IKivPaintSurface& s = *canvas.Surface;
  EXPECT_THROW(s.Restore(), EKivEditViewError);
  s.Save();
  s.SetClipRects({{0, 0, 5, 5}});
  s.Restore();
  s.FillRect({0, 0, 20, 20}, KivRGB(0, 0, 255));  // the clip went with the restore
  EXPECT_THROW(s.Restore(), EKivEditViewError);
  s.FillRect({5, 5, 5, 10}, kBlack);  // empty rectangles paint nothing
  s.DrawText({0, 0}, u"", nullptr, kBlack, 0, 0, {0, 0, 20, 20});
  const QImage& image = canvas.Done();
  EXPECT_EQ(image.pixel(15, 15), qRgb(0, 0, 255));
  EXPECT_EQ(image.pixel(5, 7), qRgb(0, 0, 255));

  QPainter idle;
  TKivQtMeasureSurface m(Font("DejaVu Sans", 12));
  EXPECT_THROW(TKivQtPaintSurface(idle, m), EKivEditViewError);
}

// Underline and strike-out are drawn along the run; a shaping result of other text is not used.
TEST(QtPaint, DecorationsAndForeignShapingResult) {
  Canvas canvas(200, 60, Font("DejaVu Sans", 20));
  const TKivStringView text = u"ab cd";
  Integer width = 0;
  for (Char c : text) width += canvas.Measure->CharWidth(c, fsUnderline | fsStrikeOut, 0);
  canvas.Surface->DrawText({10, 0}, text, nullptr, kBlack, fsUnderline | fsStrikeOut, 0, {0, 0, 200, 30});
  const auto other = canvas.Measure->Shape(u"\u05D0\u05D1\u05D2\u05D3\u05D4\u05D5\u05D6\u05D7", 0, 0);
  canvas.Surface->DrawText({10, 30}, u"ab", other.get(), kBlack, 0, 0, {0, 30, 200, 60});
  const QImage& image = canvas.Done();
  // Two separate bands of rows inked across the whole run, spaces included: the strike-out and
  // the underline.
  int bands = 0;
  bool inBand = false;
  for (int y = 0; y < 30; ++y) {
    int inked = 0;
    for (int x = 10; x < 10 + width; ++x) inked += IsInk(image.pixel(x, y));
    const bool full = inked >= width - 2;
    bands += full && !inBand;
    inBand = full;
  }
  EXPECT_EQ(bands, 2);
  EXPECT_NEAR(LastInkColumn(image, 30, 60) + 1,
              10 + canvas.Measure->CharWidth(u'a', 0, 0) + canvas.Measure->CharWidth(u'b', 0, 0), 2);
}

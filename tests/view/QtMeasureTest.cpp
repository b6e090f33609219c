// The Qt measuring surface: relations between widths, edges and hit tests, never exact metrics.
#include <gtest/gtest.h>

#include <QFontMetricsF>
#include <QImage>
#include <QRawFont>

#include "KivSedQtMeasure.h"
#include "internal/MeasureCaches.h"
#include "internal/QtFonts.h"

namespace {

QFont Proportional(int APixels = 20) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(APixels);
  return font;
}

// The layout's measuring front over a surface, as a screen cache uses it.
struct Caches {
  explicit Caches(IKivMeasureSurface& ASurface) {
    Front.SetCanvas(&ASurface);
    Front.SetSpaceWidth(ASurface.SpaceWidth());
  }
  TMeasureCaches Front;
};

}  // namespace

TEST(QtMeasure, SimpleRunIsTheSumOfItsCharacters) {
  TKivQtMeasureSurface m(Proportional());
  const TKivStringView hello = u"Hello";
  EXPECT_FALSE(m.IsComplex(hello));
  Caches caches(m);
  Integer sum = 0;
  for (Char c : hello) sum += m.CharWidth(c, 0, 0);
  EXPECT_EQ(caches.Front.GetTextAnalysis(hello, 0, 0)->Width(), sum);
  // Whole-pixel advances stay within half a pixel a character of Qt's own width of the word.
  QFont unkerned = Proportional();
  unkerned.setKerning(false);
  const qreal qtWidth = QFontMetricsF(unkerned).horizontalAdvance(QStringLiteral("Hello"));
  EXPECT_LE(std::abs(sum - qtWidth), hello.size() / 2.0 + 0.01);
  EXPECT_GT(m.CharWidth(u'W', 0, 0), m.CharWidth(u'i', 0, 0));
}

TEST(QtMeasure, ComplexTextTable) {
  struct Case {
    const char16_t* Text;
    bool Complex;
  };
  const Case cases[] = {
      {u"Hello, world! 123", false},
      {u"caf\u00E9 na\u00EFve \u00DF", false},           // precomposed Latin
      {u"\u041F\u0440\u0438\u0432\u0435\u0442", false},  // Cyrillic
      {u"\u4E2D\u6587", false},                          // CJK ideographs
      {u"\uAC00\uAC01", false},                          // precomposed Hangul syllables
      {u"", false},
      {u"e\u0301", true},                               // combining acute
      {u"a\u05D0", true},                               // Hebrew letter
      {u"\u0645\u0631\u062D\u0628\u0627", true},        // Arabic
      {u"x\u0661", true},                               // Arabic-Indic digit
      {u"a\u202Eb", true},                              // right-to-left override
      {u"a\u2067b\u2069", true},                        // isolates
      {u"a\u200Db", true},                              // zero-width joiner
      {u"a\u200Cb", true},                              // zero-width non-joiner
      {u"\u0928\u092E\u0938\u094D\u0924\u0947", true},  // Devanagari
      {u"\u0E2A\u0E27\u0E31\u0E2A", true},              // Thai
      {u"a\U0001F600", true},                           // surrogate pair
      {u"\u1100\u1161", true},                          // conjoining jamo
  };
  TKivQtMeasureSurface m(Proportional());
  for (const Case& c : cases) EXPECT_EQ(m.IsComplex(c.Text), c.Complex) << KivToUtf8(c.Text);
}

TEST(QtMeasure, RightToLeftEdgesAndHitTest) {
  TKivQtMeasureSurface m(Proportional());
  const TKivStringView shalom = u"\u05E9\u05DC\u05D5\u05DD";
  ASSERT_TRUE(m.IsComplex(shalom));
  const auto run = m.Shape(shalom, 0, 0);
  ASSERT_GT(run->Width(), 0);
  // Read from the right: the first letter's leading edge is its right edge, at the run's end.
  EXPECT_GT(run->CharArea(0).Leading, run->CharArea(0).Trailing);
  EXPECT_EQ(run->CharArea(0).Leading, run->Width());
  EXPECT_EQ(run->CharArea(3).Trailing, 0);
  for (Integer i = 0; i + 1 < 4; ++i) EXPECT_EQ(run->CharArea(i).Trailing, run->CharArea(i + 1).Leading) << i;
  bool trailing = true;
  EXPECT_EQ(run->CharAt(0, trailing), 3);  // the left end holds the last code unit
  EXPECT_TRUE(trailing);                   // ... at its trailing edge
  EXPECT_EQ(run->CharAt(run->Width() - 1, trailing), 0);
  EXPECT_FALSE(trailing);
  // Outside the run: the first character left of it, the last one right of it.
  EXPECT_EQ(run->CharAt(-5, trailing), 0);
  EXPECT_FALSE(trailing);
  EXPECT_EQ(run->CharAt(run->Width(), trailing), 3);
  EXPECT_TRUE(trailing);
  EXPECT_EQ(run->CharArea(4), TKivTextArea{});
  EXPECT_EQ(run->CharArea(-1), TKivTextArea{});
}

TEST(QtMeasure, MixedRunRangeAreasSplitAtTheDirectionChange) {
  TKivQtMeasureSurface m(Proportional());
  Caches caches(m);
  const auto run = caches.Front.GetTextAnalysis(u"ab \u05D0\u05D1", 0, 0);
  // "b", the space and the first Hebrew letter: the Hebrew letter lies apart, at the far right.
  const auto areas = caches.Front.GetTextAnalysis(u"ab \u05D0\u05D1", 0, 0)->GetRangeArea(1, 3);
  ASSERT_EQ(areas.size(), 2u);
  EXPECT_LT(areas[0].Leading, areas[0].Trailing);
  EXPECT_GT(areas[1].Leading, areas[1].Trailing);
  EXPECT_EQ(areas[1].Leading, run->Width());
  // The Hebrew pair alone is one area, and so is the whole run.
  ASSERT_EQ(run->GetRangeArea(3, 2).size(), 1u);
  const auto whole = run->GetRangeArea(0, 5);
  ASSERT_EQ(whole.size(), 1u);
  EXPECT_EQ(whole[0], (TKivTextArea{0, run->Width()}));
}

// For shaped runs of several scripts: every edge inside the run, and the hit test of every
// pixel finds a character whose span holds it.
TEST(QtMeasure, ShapedRunsAnswerConsistently) {
  const char16_t* texts[] = {
      u"\u0645\u0631\u062D\u0628\u0627 \u0628\u0627\u0644\u0639\u0627\u0644\u0645",  // Arabic, joined
      u"abc \u05D0\u05D1\u05D2 123 def",                                             // mixed directions
      u"e\u0301x\u0302\u0303y",                                                      // combining marks
      u"ffi fl \U0001F600 end",                                                      // ligatures, emoji
      u"\u0928\u092E\u0938\u094D\u0924\u0947",                                       // Devanagari
  };
  TKivQtMeasureSurface m(Proportional());
  for (const char16_t* text : texts) {
    SCOPED_TRACE(KivToUtf8(text));
    const TKivStringView view(text);
    const auto run = m.Shape(view, 0, 0);
    ASSERT_GT(run->Width(), 0);
    for (Integer i = 0; i < Integer(view.size()); ++i) {
      const TKivTextArea a = run->CharArea(i);
      EXPECT_TRUE(a.Leading >= 0 && a.Leading <= run->Width() && a.Trailing >= 0 &&
                  a.Trailing <= run->Width());
    }
    for (Integer x = 0; x < run->Width(); ++x) {
      bool trailing = false;
      const Integer i = run->CharAt(x, trailing);
      ASSERT_TRUE(i >= 0 && i < Integer(view.size())) << x;
      const TKivTextArea a = run->CharArea(i);
      const Integer lo = std::min(a.Leading, a.Trailing), hi = std::max(a.Leading, a.Trailing);
      EXPECT_TRUE(lo <= x && x < hi) << "x " << x << " char " << i;
      EXPECT_EQ(trailing, std::abs(x - a.Trailing) < std::abs(x - a.Leading)) << x;
    }
  }
}

TEST(QtMeasure, EmptyShapedRun) {
  TKivQtMeasureSurface m(Proportional());
  const auto run = m.Shape(u"", 0, 0);
  EXPECT_EQ(run->Width(), 0);
  EXPECT_EQ(run->CharArea(0), TKivTextArea{});
  bool trailing = true;
  EXPECT_EQ(run->CharAt(0, trailing), -1);
  EXPECT_FALSE(trailing);
}

TEST(QtMeasure, FontsPerStyleCharsetAndDevice) {
  TKivQtMeasureSurface m(Proportional());
  const QFont& bi = m.StyledFont(fsBold | fsItalic, 0);
  EXPECT_TRUE(bi.bold() && bi.italic() && !bi.underline() && !bi.strikeOut());
  const QFont& us = m.StyledFont(fsUnderline | fsStrikeOut, 0);
  EXPECT_TRUE(!us.bold() && us.underline() && us.strikeOut());
  EXPECT_GE(m.CharWidth(u'm', fsBold, 0), m.CharWidth(u'm', 0, 0));
  // A charset is a key: the same font, found glyphs included.
  EXPECT_EQ(m.CharWidth(u'A', 0, 2), m.CharWidth(u'A', 0, 0));
  EXPECT_GT(m.CharWidth(u'\u4E2D', 0, 2), 0);

  const TKivFontMetrics metrics = m.Metrics(0);
  EXPECT_EQ(metrics.Height, metrics.Ascent + metrics.Descent);
  EXPECT_GT(metrics.Ascent, metrics.Descent);
  EXPECT_GT(metrics.AveCharWidth, 0);
  EXPECT_EQ(m.SpaceWidth(), m.CharWidth(u' ', 0, 0));

  // The same point size on a device of twice the resolution measures twice as wide.
  QFont points(QStringLiteral("DejaVu Sans"));
  points.setPointSize(12);
  QImage dpi96(10, 10, QImage::Format_RGB32), dpi192(10, 10, QImage::Format_RGB32);
  dpi96.setDotsPerMeterX(3780);
  dpi96.setDotsPerMeterY(3780);
  dpi192.setDotsPerMeterX(7559);
  dpi192.setDotsPerMeterY(7559);
  TKivQtMeasureSurface m96(points, &dpi96), m192(points, &dpi192);
  const Integer w96 = m96.CharWidth(u'W', 0, 0), w192 = m192.CharWidth(u'W', 0, 0);
  EXPECT_NEAR(w192, 2 * w96, 2);
  EXPECT_GT(m192.Metrics(0).Height, m96.Metrics(0).Height * 3 / 2);

  // A new base font forgets what the old one measured.
  TKivQtMeasureSurface grow(Proportional(10));
  const Integer small = grow.CharWidth(u'W', 0, 0);
  grow.SetFont(Proportional(40));
  EXPECT_GT(grow.CharWidth(u'W', 0, 0), 3 * small);
}

// A complex line of many thousands of characters is shaped in pieces, quickly, and still answers
// consistently: edges tile the run and every sampled pixel hits a character that holds it.
TEST(QtMeasure, LongComplexRunInPieces) {
  TKivString text;
  while (text.size() < 20000) text += u"\u0645\u0631\u062D\u0628\u0627 abc \u05D0\u05D1 e\u0301 ";
  TKivQtMeasureSurface m(Proportional(14));
  const auto run = m.Shape(text, 0, 0);
  const auto* pieces = dynamic_cast<const TQtShapedRun*>(run.get());
  ASSERT_NE(pieces, nullptr);
  EXPECT_GE(pieces->PieceCount(), Integer(text.size()) / TQtShapedRun::kPieceLength);
  // Whole-pixel pieces stay within half a pixel a piece of Qt's width of the whole text.
  const qreal qtWidth =
      QFontMetricsF(m.StyledFont(0, 0))
          .horizontalAdvance(QString(reinterpret_cast<const QChar*>(text.data()), text.size()));
  EXPECT_NEAR(run->Width(), qtWidth, pieces->PieceCount());
  for (Integer x = 0; x < run->Width(); x += 97) {
    bool trailing = false;
    const Integer i = run->CharAt(x, trailing);
    const TKivTextArea a = run->CharArea(i);
    EXPECT_TRUE(std::min(a.Leading, a.Trailing) <= x && x < std::max(a.Leading, a.Trailing)) << x;
  }
  // With no space to cut after, no piece splits a letter from its accent: the two share the
  // cluster's span in halves.
  TKivString accents;
  while (accents.size() < 3000) accents += u"e\u0301x";
  const auto accented = m.Shape(accents, 0, 0);
  for (Integer i = 0; i < Integer(accents.size()); i += 3) {
    const TKivTextArea e = accented->CharArea(i), acute = accented->CharArea(i + 1);
    ASSERT_EQ(e.Trailing, acute.Leading) << i;
    ASSERT_GT(e.Trailing - e.Leading, 0) << i;
    ASSERT_NEAR(e.Trailing - e.Leading, acute.Trailing - acute.Leading, 1) << i;
  }
}

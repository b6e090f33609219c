// The program Vornish run as a user runs it: its picture without a display, its arguments and
// its message when there is no display.
#include <gtest/gtest.h>

#include <QColor>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct TRun {
  int ExitCode = -1;
  std::string Out, Err;
};

// Runs the program with AArgs; the environment has no display and no platform chosen.
TRun RunVornish(const QStringList& AArgs) {
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(QLatin1String(name));
  process.setProcessEnvironment(env);
  process.start(QStringLiteral(KIV_VORNISH_EXE), AArgs);
  TRun res;
  if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit) {
    process.kill();
    process.waitForFinished();
    return res;
  }
  res.ExitCode = process.exitCode();
  res.Out = process.readAllStandardOutput().toStdString();
  res.Err = process.readAllStandardError().toStdString();
  return res;
}

TEST(Program, ScreenshotWithoutADisplay) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  for (const bool joined : {false, true}) {
    const QString file = dir.filePath(joined ? QStringLiteral("b.png") : QStringLiteral("a.png"));
    const TRun run = RunVornish(joined ? QStringList{QStringLiteral("--screenshot=") + file}
                                       : QStringList{QStringLiteral("--screenshot"), file});
    ASSERT_EQ(run.ExitCode, 0) << run.Err;
    QImage image;
    ASSERT_TRUE(image.load(file, "PNG"));
    EXPECT_EQ(image.size(), QSize(661, 457));
  }
}

// Whether some pixel inside ARegion has AColour (give or take a little on each channel: glyph
// edges are blended with the background, their middles are not).
bool HasColour(const QImage& AImage, const QRect& ARegion, const QColor& AColour) {
  const QRect r = ARegion.intersected(AImage.rect());
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) {
      const QColor c = AImage.pixelColor(x, y);
      if (std::abs(c.red() - AColour.red()) <= 12 && std::abs(c.green() - AColour.green()) <= 12 &&
          std::abs(c.blue() - AColour.blue()) <= 12)
        return true;
    }
  return false;
}

// The longest run of dark pixels down one column of ARegion, over all its columns, and the
// column where it is.
std::pair<int, int> LongestDarkColumn(const QImage& AImage, const QRect& ARegion) {
  std::pair<int, int> best{0, -1};
  const QRect r = ARegion.intersected(AImage.rect());
  for (int x = r.left(); x <= r.right(); ++x) {
    int run = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
      run = AImage.pixelColor(x, y).lightness() < 80 ? run + 1 : 0;
      if (run > best.first) best = {run, x};
    }
  }
  return best;
}

// The picture of the window as the program writes it: the sample highlighted in the view, the
// line numbers in the gutter and the caret at the start of the first line. The view lies at the
// bottom of the 457 px window, 385 px high; its rows are 14 to 18 px high with the fonts that
// stand in for Courier New 13 px, so every region below holds for any row height in that range.
TEST(Program, ScreenshotShowsTheHighlightedSample) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString file = dir.filePath(QStringLiteral("shot.png"));
  const TRun run = RunVornish({QStringLiteral("--screenshot"), file});
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  QImage image;
  ASSERT_TRUE(image.load(file, "PNG"));
  const int viewTop = 457 - 385;
  const QColor teal(0x00, 0x80, 0x80), green(0x00, 0x80, 0x00), lineNumberInk(0x99, 0x99, 0xCC);
  // The gutter (four bars, about 75 px) on the left, the text to its right.
  const QRect titleRow(80, viewTop + 1, 320, 12);        // the title comment, first line
  const QRect includeRows(80, viewTop + 180, 220, 44);   // inside the six #include lines (11..16)
  const QRect numberColumn(20, viewTop, 50, 14);         // the line-number bar beside line 1
  EXPECT_TRUE(HasColour(image, titleRow, green)) << "comment colour on the title line";
  EXPECT_FALSE(HasColour(image, titleRow, teal));
  EXPECT_TRUE(HasColour(image, includeRows, teal)) << "preprocessor colour on the #include lines";
  EXPECT_FALSE(HasColour(image, includeRows, green));
  EXPECT_TRUE(HasColour(image, numberColumn, lineNumberInk)) << "line number 1";
  EXPECT_FALSE(HasColour(image, titleRow, lineNumberInk)) << "the gutter's ink stays in the gutter";
  // The caret: a dark bar as high as the row where the first line's text begins, and no such bar
  // anywhere else at the start of the text.
  const auto caret = LongestDarkColumn(image, QRect(60, viewTop, 40, 18));
  EXPECT_GE(caret.first, 12) << "at x " << caret.second;
  const auto rest = LongestDarkColumn(image, QRect(60, viewTop + 18, 40, 385 - 18 - 20));
  EXPECT_LT(rest.first, 12) << "at x " << rest.second;
}

TEST(Program, ArgumentsAndMessages) {
  struct TCase {
    QStringList Args;
    int ExitCode;
    const char* Says;  // in the output or the error output
  };
  const std::vector<TCase> cases{
      {{}, 1, "Vornish --screenshot FILE.png"},  // no display
      {{QStringLiteral("--help")}, 0, "Usage: Vornish"},
      {{QStringLiteral("--screenshot")}, 2, "--screenshot needs a file name"},
      {{QStringLiteral("--screenshot=")}, 2, "--screenshot needs a file name"},
      {{QStringLiteral("--screenshot=x.png"), QStringLiteral("--frobnicate")},
       2,
       "unknown argument '--frobnicate'"},
      {{QStringLiteral("--screenshot"), QStringLiteral("/nonexistent-dir/x.png")}, 1, "cannot write"},
      {{QStringLiteral("--preview-screenshot")}, 2, "--preview-screenshot needs a file name"},
      {{QStringLiteral("--screenshot=x.png"), QStringLiteral("--codepage")}, 2, "--codepage needs a code page"},
      {{QStringLiteral("--screenshot=x.png"), QStringLiteral("--codepage=nonsense"), QStringLiteral("a.c")},
       2,
       "unknown code page 'nonsense'"},
      {{QStringLiteral("--screenshot=x.png"), QStringLiteral("a.c"), QStringLiteral("b.c")}, 2, "one FILE only"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Args.join(QLatin1Char(' ')).toStdString());
    const TRun run = RunVornish(c.Args);
    EXPECT_EQ(run.ExitCode, c.ExitCode);
    EXPECT_NE((run.Out + run.Err).find(c.Says), std::string::npos) << run.Out << run.Err;
  }
}

// A file that cannot be read: its name on the error output, exit status 1, and no window (no
// picture either).
TEST(Program, UnreadableFile) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString shot = dir.filePath(QStringLiteral("shot.png"));
  for (const QString& file : {dir.filePath(QStringLiteral("missing.c")), dir.path()}) {
    SCOPED_TRACE(file.toStdString());
    const TRun run = RunVornish({QStringLiteral("--screenshot"), shot, file});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_NE(run.Err.find(file.toStdString()), std::string::npos) << run.Err;
    EXPECT_FALSE(QFile::exists(shot));
  }
}

// The picture of the window on a file: its text highlighted by the scheme its name chooses.
TEST(Program, ScreenshotOfAFile) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString source = dir.filePath(QStringLiteral("note.py"));
  {
    QFile f(source);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("# a comment line in Python\nprint('hi')\n");
  }
  const QString file = dir.filePath(QStringLiteral("shot.png"));
  const TRun run = RunVornish({source, QStringLiteral("--screenshot"), file});
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  QImage image;
  ASSERT_TRUE(image.load(file, "PNG"));
  EXPECT_EQ(image.size(), QSize(661, 457));
  const int viewTop = 457 - 385;
  EXPECT_TRUE(HasColour(image, QRect(80, viewTop + 1, 200, 12), QColor(0x00, 0x80, 0x00)))
      << "the Python comment in the comment colour";
  // The sample's preprocessor lines are not there.
  EXPECT_FALSE(HasColour(image, QRect(80, viewTop + 180, 220, 44), QColor(0x00, 0x80, 0x80)));
}

// The print preview's picture: the toolbar, and a white page with the sample's first lines (a
// comment in green, the web address in red) on the grey background.
TEST(Program, PreviewScreenshot) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString file = dir.filePath(QStringLiteral("preview.png"));
  const TRun run = RunVornish({QStringLiteral("--preview-screenshot"), file});
  ASSERT_EQ(run.ExitCode, 0) << run.Err;
  QImage image;
  ASSERT_TRUE(image.load(file, "PNG"));
  ASSERT_GT(image.width(), 300);
  ASSERT_GT(image.height(), 300);
  const QRect middle(image.width() / 4, image.height() / 4, image.width() / 2, image.height() / 2);
  int white = 0;
  for (int y = middle.top(); y <= middle.bottom(); ++y)
    for (int x = middle.left(); x <= middle.right(); ++x) white += image.pixelColor(x, y) == QColor(Qt::white);
  EXPECT_GT(white, middle.width() * middle.height() / 3) << "the page";
  EXPECT_TRUE(HasColour(image, image.rect(), QColor(0x00, 0x80, 0x00))) << "a comment";
  EXPECT_TRUE(HasColour(image, image.rect(), QColor(0xFF, 0x00, 0x00))) << "the web address";
}

}  // namespace

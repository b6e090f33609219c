// The program Vornish run as a user runs it: its picture without a display, its arguments and
// its message when there is no display.
#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
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
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Args.join(QLatin1Char(' ')).toStdString());
    const TRun run = RunVornish(c.Args);
    EXPECT_EQ(run.ExitCode, c.ExitCode);
    EXPECT_NE((run.Out + run.Err).find(c.Says), std::string::npos) << run.Out << run.Err;
  }
}

}  // namespace

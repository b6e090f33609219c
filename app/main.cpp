// The demo application: shows the main window until it is closed, or, with --screenshot, writes a
// picture of the main window to a PNG file without needing a display.
#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "VornishMain.h"

namespace {

constexpr char KUsage[] =
    "Usage: Vornish [--screenshot FILE.png]\n"
    "\n"
    "Starts the editor demo in a window.\n"
    "\n"
    "  --screenshot FILE.png  render the main window offscreen (no display needed), write it to\n"
    "                         FILE.png and exit\n"
    "  -h, --help             show this text\n";

struct TOptions {
  bool Help = false;
  bool Screenshot = false;
  std::string ScreenshotFile;
  std::string Error;  // the first argument that could not be understood
};

// Reads the program's own options. With AStrict an unknown argument is an error; without it,
// unknown arguments are left for the GUI toolkit, which takes its own out of the list.
TOptions ParseOptions(int argc, char** argv, bool AStrict) {
  TOptions res;
  const std::string screenshotEq = "--screenshot=";
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      res.Help = true;
    } else if (arg == "--screenshot") {
      res.Screenshot = true;
      if (i + 1 < argc) {
        res.ScreenshotFile = argv[++i];
      } else if (res.Error.empty()) {
        res.Error = "--screenshot needs a file name";
      }
    } else if (arg.rfind(screenshotEq, 0) == 0) {
      res.Screenshot = true;
      res.ScreenshotFile = arg.substr(screenshotEq.size());
    } else if (AStrict && res.Error.empty()) {
      res.Error = "unknown argument '" + arg + "'";
    }
  }
  if (res.Screenshot && res.ScreenshotFile.empty() && res.Error.empty())
    res.Error = "--screenshot needs a file name";
  return res;
}

bool PlatformChosen(int argc, char** argv) {
  if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) return true;
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) return true;
  return false;
}

bool DisplayAvailable() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
  return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
  return true;
#endif
}

int UsageError(const std::string& AError) {
  std::fprintf(stderr, "Vornish: %s\n\n%s", AError.c_str(), KUsage);
  return 2;
}

int Run(int& argc, char** argv) {
  const TOptions early = ParseOptions(argc, argv, false);
  if (early.Help) {
    std::fputs(KUsage, stdout);
    return 0;
  }
  if (!early.Error.empty()) return UsageError(early.Error);
  // The picture needs no display: it is rendered on the offscreen platform unless one is chosen.
  if (early.Screenshot && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  if (!early.Screenshot && !PlatformChosen(argc, argv) && !DisplayAvailable()) {
    std::fputs(
        "Vornish: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set), so the window cannot be "
        "shown.\n"
        "To see the window without a display, write a picture of it:\n"
        "  Vornish --screenshot FILE.png\n",
        stderr);
    return 1;
  }

  QApplication app(argc, argv);
  // The toolkit has taken its own options out; whatever is left must be ours.
  const TOptions options = ParseOptions(argc, argv, true);
  if (!options.Error.empty()) return UsageError(options.Error);

  try {
    TDialogsForm form;
    if (options.Screenshot) {
      form.show();
      QApplication::processEvents();
      const QString error = KivSaveWindowPicture(form, QString::fromLocal8Bit(options.ScreenshotFile));
      if (!error.isEmpty()) {
        std::fprintf(stderr, "Vornish: %s\n", error.toLocal8Bit().constData());
        return 1;
      }
      return 0;
    }
    form.show();
    return QApplication::exec();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "Vornish: %s\n", e.what());
    if (!options.Screenshot)
      QMessageBox::critical(nullptr, QStringLiteral("Vornish"), QString::fromUtf8(e.what()));
    return 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  return Run(argc, argv);
}

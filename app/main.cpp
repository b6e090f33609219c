// The demo application: shows the main window (on the sample, or on FILE) until it is closed, or,
// with --screenshot or --preview-screenshot, writes a picture of the main window or of its print
// preview to a PNG file without needing a display.
#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "KivEncoding.h"
#include "KivErrors.h"
#include "VornishMain.h"

namespace {

constexpr char KUsage[] =
    "Usage: Vornish [options] [FILE]\n"
    "\n"
    "Starts the editor demo in a window, on its sample program or on FILE (its syntax scheme\n"
    "chosen by its name; Ctrl+S saves it in its own code page and line breaks).\n"
    "\n"
    "  --codepage NAME        read FILE in this code page (a number such as 1251, or a name such\n"
    "                         as windows-1251) unless it starts with a byte-order mark; without\n"
    "                         it FILE is read as UTF-8, or as windows-1252 when it is no UTF-8\n"
    "  --screenshot FILE.png  render the main window offscreen (no display needed), write it to\n"
    "                         FILE.png and exit\n"
    "  --preview-screenshot FILE.png\n"
    "                         render the print preview of the text offscreen, write it to\n"
    "                         FILE.png and exit\n"
    "  -h, --help             show this text\n";

struct TOptions {
  bool Help = false;
  bool Screenshot = false;
  std::string ScreenshotFile;
  bool PreviewScreenshot = false;
  std::string PreviewScreenshotFile;
  std::string File;      // the file to edit, none for the sample
  std::string CodePage;  // as given
  std::string Error;     // the first argument that could not be understood
};

// Reads the program's own options. With AStrict an unknown argument is an error; without it,
// unknown arguments are left for the GUI toolkit, which takes its own out of the list.
TOptions ParseOptions(int argc, char** argv, bool AStrict) {
  TOptions res;
  const auto fail = [&res](const std::string& AError) {
    if (res.Error.empty()) res.Error = AError;
  };
  // An option with a value, as "--name VALUE" or "--name=VALUE".
  const auto valueOption = [&](int& i, const std::string& AName, bool& AGiven, std::string& AValue,
                               const char* AWhat) {
    const std::string arg = argv[i];
    if (arg == AName) {
      AGiven = true;
      if (i + 1 < argc)
        AValue = argv[++i];
      else
        fail(AName + " needs " + AWhat);
      return true;
    }
    if (arg.rfind(AName + "=", 0) == 0) {
      AGiven = true;
      AValue = arg.substr(AName.size() + 1);
      return true;
    }
    return false;
  };
  bool codePage = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      res.Help = true;
    } else if (valueOption(i, "--screenshot", res.Screenshot, res.ScreenshotFile, "a file name") ||
               valueOption(i, "--preview-screenshot", res.PreviewScreenshot, res.PreviewScreenshotFile,
                           "a file name") ||
               valueOption(i, "--codepage", codePage, res.CodePage, "a code page")) {
    } else if (!arg.empty() && arg[0] == '-') {
      if (AStrict) fail("unknown argument '" + arg + "'");
    } else if (res.File.empty()) {
      res.File = arg;
    } else if (AStrict) {
      fail("unknown argument '" + arg + "' (one FILE only)");
    }
  }
  if (res.Screenshot && res.ScreenshotFile.empty()) fail("--screenshot needs a file name");
  if (res.PreviewScreenshot && res.PreviewScreenshotFile.empty()) fail("--preview-screenshot needs a file name");
  if (codePage && res.CodePage.empty()) fail("--codepage needs a code page");
  return res;
}

// The code page named by a number or a name; -1 when none is given, -2 when it names none.
TKivCodePageRef CodePageOf(const std::string& AText) {
  if (AText.empty()) return -1;
  if (AText.find_first_not_of("0123456789") == std::string::npos && AText.size() < 7) {
    const TKivCodePageRef number = std::stoi(AText);
    return TKivEncoding::IsKnownCodePage(number) ? number : -2;
  }
  const auto encoding = TKivEncoding::TryFromName(KivFromUtf8(AText));
  return encoding ? encoding->CodePage() : -2;
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
  const bool picture = early.Screenshot || early.PreviewScreenshot;
  // The picture needs no display: it is rendered on the offscreen platform unless one is chosen.
  if (picture && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (!picture && !PlatformChosen(argc, argv) && !DisplayAvailable()) {
    std::fputs(
        "Vornish: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set), so the window cannot be "
        "shown.\n"
        "To see the window without a display, write a picture of it:\n"
        "  Vornish --screenshot FILE.png\n",
        stderr);
    return 1;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Vornish"));
  // The toolkit has taken its own options out; whatever is left must be ours.
  const TOptions options = ParseOptions(argc, argv, true);
  if (!options.Error.empty()) return UsageError(options.Error);
  const TKivCodePageRef codePage = CodePageOf(options.CodePage);
  if (codePage == -2) return UsageError("unknown code page '" + options.CodePage + "'");

  try {
    TDialogsForm form;
    if (!options.File.empty()) {
      // A file that cannot be read: its message, and no window.
      try {
        form.LoadFile(QString::fromLocal8Bit(options.File), codePage);
      } catch (const EKivError& e) {
        std::fprintf(stderr, "Vornish: %s\n", e.what());
        return 1;
      }
    }
    if (picture) {
      form.show();
      QApplication::processEvents();
      QString error;
      if (options.Screenshot) error = KivSaveWindowPicture(form, QString::fromLocal8Bit(options.ScreenshotFile));
      if (error.isEmpty() && options.PreviewScreenshot)
        error = KivSavePreviewPicture(form, QString::fromLocal8Bit(options.PreviewScreenshotFile));
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
    if (!picture) QMessageBox::critical(nullptr, QStringLiteral("Vornish"), QString::fromUtf8(e.what()));
    return 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  return Run(argc, argv);
}

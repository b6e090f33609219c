// kivhighlight: shows what the syntax engine makes of a file, without the GUI.
//
//   kivhighlight [options] FILE...
//
// Exit codes: 0 done, 1 a file or scheme problem (missing file, unknown scheme, scheme that
// does not load), 2 a usage error.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "KivDemoData.h"
#include "KivErrors.h"
#include "KivSyntaxDump.h"

namespace {

const char* const kUsage =
    "Usage: kivhighlight [options] FILE...\n"
    "Prints the tokens and folds the syntax engine finds in each FILE.\n"
    "\n"
    "Options:\n"
    "  -s, --scheme NAME    syntax scheme to use (default: chosen by the file name)\n"
    "      --schemes-dir D  take the syntax schemes from the *.xml files of D instead of\n"
    "                       the built-in ones\n"
    "  -t, --tokens         print the tokens only\n"
    "  -f, --folds          print the folds only\n"
    "      --html OUT       write FILE as a standalone HTML page to OUT (one FILE only)\n"
    "      --golden         print the golden form (scheme header, tokens, folds)\n"
    "      --write-golden   write the golden form of each FILE to FILE.golden\n"
    "      --list           list the built-in syntax schemes and exit\n"
    "  -h, --help           show this help and exit\n"
    "\n"
    "Token lines read \"line:column +length token attributes \\\"text\\\"\" (lines and columns\n"
    "from 1); fold lines \"fold start..end parent line\".\n"
    "Exit codes: 0 done, 1 missing file, unknown scheme or scheme load error, 2 usage error.\n";

int UsageError(const std::string& AMsg) {
  std::cerr << "kivhighlight: " << AMsg << "\nTry 'kivhighlight --help'.\n";
  return 2;
}

bool ReadFile(const std::string& APath, std::string& AText) {
  std::ifstream in(APath, std::ios::binary);
  if (!in) return false;
  std::ostringstream buf;
  buf << in.rdbuf();
  AText = buf.str();
  return !in.bad();
}

}  // namespace

int main(int argc, char** argv) {
  enum { mAll, mTokens, mFolds, mHtml, mGolden, mWriteGolden } mode = mAll;
  std::string scheme, schemesDir, htmlOut;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string& AOut) {
      if (i + 1 >= argc) return false;
      AOut = argv[++i];
      return true;
    };
    if (arg == "-h" || arg == "--help") {
      std::cout << kUsage;
      return 0;
    } else if (arg == "--list") {
      for (const auto& s : KivDemoSyntaxSchemes()) std::cout << KivToUtf8(s.Name) << "\n";
      return 0;
    } else if (arg == "-s" || arg == "--scheme") {
      if (!value(scheme)) return UsageError(arg + " needs a scheme name");
    } else if (arg == "--schemes-dir") {
      if (!value(schemesDir)) return UsageError(arg + " needs a directory");
    } else if (arg == "-t" || arg == "--tokens") {
      mode = mTokens;
    } else if (arg == "-f" || arg == "--folds") {
      mode = mFolds;
    } else if (arg == "--html") {
      if (!value(htmlOut)) return UsageError(arg + " needs an output file");
      mode = mHtml;
    } else if (arg == "--golden") {
      mode = mGolden;
    } else if (arg == "--write-golden") {
      mode = mWriteGolden;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return UsageError("unknown option " + arg);
    } else {
      files.push_back(arg);
    }
  }
  if (files.empty()) return UsageError("no input file");
  if (mode == mHtml && files.size() != 1) return UsageError("--html takes exactly one input file");

  for (const std::string& file : files) {
    std::string text;
    if (!ReadFile(file, text)) {
      std::cerr << "kivhighlight: cannot read " << file << "\n";
      return 1;
    }
    const TKivString name = scheme.empty() ? KivDumpSchemeForFile(file) : KivFromUtf8(scheme);
    if (name.empty()) {
      std::cerr << "kivhighlight: no syntax scheme for " << file << "; name one with --scheme\n";
      return 1;
    }
    try {
      auto doc = KivDumpOpenDocument(KivFromUtf8(text), name, KivFromUtf8(schemesDir));
      switch (mode) {
        case mAll:
          if (files.size() > 1) std::cout << "== " << file << "\n";
          std::cout << KivDumpTokens(*doc) << KivDumpFolds(*doc);
          break;
        case mTokens: std::cout << KivDumpTokens(*doc); break;
        case mFolds: std::cout << KivDumpFolds(*doc); break;
        case mGolden: std::cout << KivDumpGolden(*doc, name); break;
        case mHtml: {
          std::ofstream out(htmlOut, std::ios::binary);
          out << KivDumpHtml(*doc, file);
          if (!out) {
            std::cerr << "kivhighlight: cannot write " << htmlOut << "\n";
            return 1;
          }
          break;
        }
        case mWriteGolden: {
          std::ofstream out(file + ".golden", std::ios::binary);
          out << KivDumpGolden(*doc, name);
          if (!out) {
            std::cerr << "kivhighlight: cannot write " << file << ".golden\n";
            return 1;
          }
          break;
        }
      }
    } catch (const EKivError& e) {
      std::cerr << "kivhighlight: " << file << ": " << e.what() << "\n";
      return 1;
    }
  }
  return 0;
}

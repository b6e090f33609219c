// The demo application's start-up data, compiled into the library so that the application and
// the tools need no files beside them: the 19 syntax schemes, the colour scheme "default" and
// the sample C program. The texts live in resources/ and are embedded at build time.
#pragma once

#include <string_view>
#include <vector>

#include "KivTypes.h"

class TKivEditDocument;

// One named scheme text (XML).
struct TKivDemoScheme {
  TKivString Name;
  TKivString Text;
};

// The syntax schemes in the order of the document's collection: "ASP_JS", "ASP_VB", "C", "CPP",
// "CSS", "DFM", "HTML", "JavaScript", "Lua", "Pascal", "Perl", "PHP", "Python", "Rexx", "SQL",
// "TCL", "Text", "VB", "XML".
const std::vector<TKivDemoScheme>& KivDemoSyntaxSchemes();
// The syntax scheme with the given name (exact case), or nullptr.
const TKivDemoScheme* KivDemoFindSyntaxScheme(TKivStringView AName);

// The colour scheme "default".
const TKivDemoScheme& KivDemoColorScheme();

// The schemes active after start-up.
inline constexpr TKivStringView KivDemoActiveSyntaxScheme = u"C";
inline constexpr TKivStringView KivDemoActiveColorScheme = u"default";

// The sample program, one entry per line without its line break (75 lines; some end in
// spaces and TABs).
const std::vector<TKivString>& KivDemoSampleLines();
// The sample program's lines joined with CR LF, as the document holds them.
TKivString KivDemoSampleText();

// Fills a document as the demo's main window does at start-up: the sample text as its lines
// (without undo, not modified), the 19 syntax schemes and the colour scheme in its collections,
// and "C" and "default" as its active schemes (which loads them into a parser that can load
// schemes; a load error propagates). Existing collection items are replaced.
void KivDemoFillDocument(TKivEditDocument& ADoc);

// The syntax scheme for a file by its name (a path is fine): "asp_js"/"asp_vb" in the file's name
// pick the ASP schemes, otherwise its extension decides, in any case (.c .h C, .cpp CPP, .html
// HTML, .py Python, ...). Empty when nothing fits. The one table of the application and the tools.
TKivString KivDemoSchemeForFile(std::string_view AFileName);

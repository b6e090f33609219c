// Text forms of what the syntax engine makes of a file: its tokens (line, column, length, token
// name, colours and styles), its folds, and a standalone HTML page coloured by the colour
// scheme. Used by the kivhighlight tool and by the golden-file tests of the demo's schemes.
#pragma once

#include <memory>
#include <string>

#include "KivSedDocument.h"

// A document holding AText (lines split at CR LF, CR or LF), with the demo's 19 syntax schemes
// and its colour scheme "default" in its collections, and ASchemeName active. With ASchemesDir
// the syntax schemes are the *.xml files of that directory instead (named after the files).
// An unknown scheme name raises EKivEditDocError "Unknown syntax scheme: %s"; a scheme that does
// not load raises its load error.
std::unique_ptr<TKivEditDocument> KivDumpOpenDocument(TKivStringView AText, const TKivString& ASchemeName,
                                                      const TKivString& ASchemesDir = {});

// One line per token: "line:column +length name [fg=#rrggbb] [bg=#rrggbb] [styles] "text"",
// lines and columns counted from 1, the text in C-style escapes.
std::string KivDumpTokens(TKivEditDocument& ADoc);
// One line per fold: "fold start..end parent P" (lines from 1; P 0 for a top-level fold).
std::string KivDumpFolds(TKivEditDocument& ADoc);
// The golden form of a sample: a header naming the scheme, the tokens, then the folds.
std::string KivDumpGolden(TKivEditDocument& ADoc, const TKivString& ASchemeName);
// A standalone HTML page (UTF-8) showing the text coloured as the editor colours it.
std::string KivDumpHtml(TKivEditDocument& ADoc, const std::string& ATitle);

// The syntax scheme for a file by its name (KivDemoSchemeForFile, the table the demo
// application uses too). Empty when nothing fits.
TKivString KivDumpSchemeForFile(const std::string& AFileName);

// The scheme dialogs' own data, compiled into the library from resources/ (a Qt resource), so a
// program that embeds the dialogs needs no files beside it: the syntax schemes the examples and
// the scheme text editor need, the colour scheme "default" and the two example texts.
#pragma once

#include <vector>

#include "KivSedDocument.h"

// The text of a data file ("schemes/XML.xml", "colors/default.xml", "examples/Example.pas");
// EKivError "Missing dialog data: %s" for an unknown file.
TKivString KivSchemeDialogsData(const TKivString& APath);

// The syntax schemes each document of the dialogs carries.
const std::vector<TKivString>& KivExampleSchemeNames();

// Fills an example document: 0 the Pascal unit (active syntax scheme "Pascal"), 1 the HTML page
// ("HTML", with the schemes of the languages embedded in it); both with the colour scheme
// "default". AIndex outside [0, 1] raises EInvalidArgument.
void KivFillExampleDocument(TKivEditDocument& ADoc, Integer AIndex);

// Fills the scheme text editor's document: syntax scheme "XML" and colour scheme "default",
// both active, no text.
void KivFillSchemeEditDocument(TKivEditDocument& ADoc);

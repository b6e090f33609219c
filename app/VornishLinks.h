// Links in the main window's text: an e-mail address or a web address under a click is reported
// instead of moving the caret.
#pragma once

#include "KivTypes.h"

class TKivEditViewCore;

// The two expressions, written as they stand (each backslash one character; "i" ignores case,
// "x" lets the blanks lay them out). The e-mail expression's domain part is optional.
inline constexpr TKivStringView KivEmailExpression =
    uR"re((?ix) (mailto:)? ([_a-z \d    \-    \.]+?  @  ( [_a-z   \d    \-]+?  (\. [_a-z\d\-]+ )+?  )?))re";
inline constexpr TKivStringView KivLinkExpression =
    uR"re((?ix)  ( ftp | http )s? ://  ( [ _ a-z \d \- ]+  (\.  [_ a-z \d \- ]+ ) +  )  ( (/ [ _ a-z \d \- \\ \. ] + ) + ) * )re";

// What a click on AWord reports: "Email found: " or "Hiperlink found: " followed by the word,
// or nothing (an empty string) when neither expression matches anywhere in it.
TKivString KivLinkMessage(const TKivString& AWord);

// The message for a press at the client point (AX, AY) of AView: the word around the character
// under the point (only blanks separate words here, so ":", "/", "@" and "." stay inside), when
// the point lies on a character of the text area; else nothing.
TKivString KivLinkMessageAt(TKivEditViewCore& AView, Integer AX, Integer AY);

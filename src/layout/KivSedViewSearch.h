// The types of the view's search and replace that its callers (the find and replace dialogs)
// hold: where a search starts, what "replace all" covers, and which kind of operation the view's
// stored search arguments belong to.
#pragma once

#include <cstdint>

// A search starts at the cursor, or at the text's start (forward) or end (backward).
enum TKivEditViewSearchStart : uint8_t { ssCursor, ssTextStartEnd };

// "Replace all" runs over the whole text or over the selection.
enum TKivEditViewReplaceAllBounds : uint8_t { rbAllText, rbSelection };

// The operation the view's stored search arguments belong to; nothing before the first search.
enum TKivEditViewSearchState : uint8_t { stNothing, stInSearch, stInReplace };

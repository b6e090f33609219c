// Internal: the document errors that the storage, the line index, the markers and the document
// all raise, each written in one place.
#pragma once

#include "KivTypes.h"

// "Invalid char index for insert: %d. Valid range: [0, ACount]."
[[noreturn]] void RaiseInsertIndexError(long long AIdx, Integer ACount);
// "Document text too long: ..." for inserting AInserted characters into a text of ALength.
[[noreturn]] void RaiseTextTooLong(long long AInserted, Integer ALength);

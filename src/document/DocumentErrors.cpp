#include "internal/DocumentErrors.h"

#include "KivEditDocError.h"
#include "KivSedStorage.h"

void RaiseInsertIndexError(long long AIdx, Integer ACount) {
  throw EKivEditDocError(u"Invalid char index for insert: %d. Valid range: [%d, %d].", {AIdx, 0, ACount});
}

void RaiseTextTooLong(long long AInserted, Integer ALength) {
  throw EKivEditDocError(
      u"Document text too long: inserting %d characters into %d would exceed the limit of %d characters.",
      {AInserted, ALength, TKivTextStorage::KivMaxTextLength});
}

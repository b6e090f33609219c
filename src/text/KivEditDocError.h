// The error class of the document subsystem.
//
// Declared here, below the document, because the word-boundary search of the text foundation
// raises it; the document's public header includes and re-exports it.
#pragma once

#include "KivErrors.h"

class EKivEditDocError : public EKivError {
 public:
  using EKivError::EKivError;
};

// Shared by the text tests.
#pragma once

#include "KivErrors.h"

// The message of the library error that AFn raises, or "<no error>".
template <class F>
TKivString MessageOf(F AFn) {
  try {
    AFn();
  } catch (const EKivError& e) {
    return e.Message();
  }
  return u"<no error>";
}

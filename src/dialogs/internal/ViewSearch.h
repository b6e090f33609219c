// The one place where the find and replace components reach the view's search: which operation
// the view's stored search arguments belong to, and the next step of that operation.
//
// The default access forwards to the view's own search (SearchState, SearchNext, ReplaceNext).
// Tests may install an access of their own.
#pragma once

#include "KivSedViewSearch.h"

class TKivCustomEditView;

class IKivViewSearchAccess {
 public:
  virtual ~IKivViewSearchAccess() = default;
  virtual TKivEditViewSearchState SearchState(TKivCustomEditView& AView) = 0;
  // The next occurrence with the arguments of the last search (or replacement); what it
  // raises passes to the caller unchanged.
  virtual bool SearchNext(TKivCustomEditView& AView) = 0;
  virtual bool ReplaceNext(TKivCustomEditView& AView) = 0;
};

// The access in use: the installed one, or the view's own.
IKivViewSearchAccess& KivViewSearch();
// Installs AAccess (not owned); null restores the view's own. Returns the one installed before.
IKivViewSearchAccess* SetKivViewSearch(IKivViewSearchAccess* AAccess);

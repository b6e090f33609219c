#include "internal/ViewSearch.h"

namespace {

// The view's own search. The view stores no search arguments yet: it is never in a search.
class TViewOwnSearch final : public IKivViewSearchAccess {
 public:
  TKivEditViewSearchState SearchState(TKivCustomEditView&) override { return stNothing; }
  bool SearchNext(TKivCustomEditView&) override { return false; }
  bool ReplaceNext(TKivCustomEditView&) override { return false; }
};

TViewOwnSearch GOwn;
IKivViewSearchAccess* GInstalled = nullptr;

}  // namespace

IKivViewSearchAccess& KivViewSearch() {
  return GInstalled ? *GInstalled : GOwn;
}

IKivViewSearchAccess* SetKivViewSearch(IKivViewSearchAccess* AAccess) {
  IKivViewSearchAccess* old = GInstalled;
  GInstalled = AAccess;
  return old;
}

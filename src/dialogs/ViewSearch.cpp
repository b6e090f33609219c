#include "internal/ViewSearch.h"

#include "KivSedView.h"

namespace {

// The view's own search.
class TViewOwnSearch final : public IKivViewSearchAccess {
 public:
  TKivEditViewSearchState SearchState(TKivCustomEditView& AView) override { return AView.SearchState(); }
  bool SearchNext(TKivCustomEditView& AView) override { return AView.SearchNext(); }
  bool ReplaceNext(TKivCustomEditView& AView) override { return AView.ReplaceNext(); }
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

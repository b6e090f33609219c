// The main window's editor view: the document, the sample's font and the four gutter bars.
#include "VornishView.h"

#include "KivSedDocument.h"
#include "KivSedView.h"

TKivEditView* KivDemoCreateView(TKivEditDocument& ADoc, QWidget* AParent) {
  auto* view = new TKivEditView(AParent);
  // Courier New 13 px (10 pt); fontconfig puts an installed metric-compatible face in its place.
  view->SetFont({u"Courier New", 10, 13});
  view->Gutter().Bars()[2].SetWidth(16);  // the four default bars, the line numbers 16 wide
  view->SetDocument(&ADoc);
  // Measure again with the gutter as configured above.
  view->BeginUpdate();
  view->EndUpdate(true);
  return view;
}

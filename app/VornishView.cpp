// The main window's editor view: the document, the sample's font and the four gutter bars.
#include "VornishView.h"

#include "KivSedDocument.h"
#include "KivSedPainter.h"
#include "KivSedView.h"

TKivEditView* KivDemoCreateView(TKivEditDocument& ADoc, QWidget* AParent) {
  auto* view = new TKivEditView(AParent);
  // Courier New 13 px (10 pt); fontconfig puts an installed metric-compatible face in its place.
  view->SetFont({u"Courier New", 10, 13});
  TKivGutterPaintSettings& gutter = view->GutterPaintSettings();
  gutter.Bars = {{gbBreakpointBar}, {gbBookmarkBar}, {gbLineNumberBar, 16}, {gbFoldBar}};
  view->SetDocument(&ADoc);
  // Measure again with the gutter as configured above.
  view->BeginUpdate();
  view->EndUpdate(true);
  return view;
}

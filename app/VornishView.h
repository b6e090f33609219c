// The one place where the main window's editor view is created.
#pragma once

class QWidget;
class TKivEditDocument;
class TKivEditView;

// Creates the editor view of the main window on ADoc, as a child of AParent, configured as the
// demo shows it. The window places and sizes the widget; the document outlives it.
TKivEditView* KivDemoCreateView(TKivEditDocument& ADoc, QWidget* AParent);

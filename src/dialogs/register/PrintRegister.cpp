// The start-up registration of the Qt print devices and the printing dialogs, alone in the
// library kivdialogsregister. Programs link that library whole (see src/dialogs/CMakeLists.txt),
// so the linker keeps this object although no code refers to it: every new printer gets a Qt
// device, its page setup, print and printer setup calls open the Qt dialogs, and its preview
// opens the print preview window.
#include "KivPrintPreviewDlg.h"
#include "KivQtPrint.h"
#include "KivSedPrintDialogs.h"

namespace {
const bool kRegistered = [] {
  KivQtPrintRegister();
  KivQtPrintDialogs().PreviewFn = [](TKivPrinterHelper& AHelper) { KivExecPrintPreview(AHelper); };
  KivSetPrintDialogs(&KivQtPrintDialogs());
  return true;
}();
}  // namespace

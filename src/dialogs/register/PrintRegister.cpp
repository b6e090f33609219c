// The start-up registration of the Qt print devices and the printing dialogs, alone in the
// library kivdialogsregister. Programs link that library whole (see src/dialogs/CMakeLists.txt),
// so the linker keeps this object although no code refers to it: every new printer gets a Qt
// device, and its page setup, print and printer setup calls open the Qt dialogs.
#include "KivQtPrint.h"
#include "KivSedPrintDialogs.h"

namespace {
const bool GRegistered = (KivQtPrintRegister(), KivSetPrintDialogs(&KivQtPrintDialogs()), true);
}  // namespace

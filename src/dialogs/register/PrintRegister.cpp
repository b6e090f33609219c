// The start-up registration of the Qt print devices, alone in the library kivdialogsregister.
// Programs link that library whole (see src/dialogs/CMakeLists.txt), so the linker keeps this
// object although no code refers to it, and every new printer gets a Qt device. The print
// preview registers as the print engine's dialog layer (its Preview) at the same time.
#include "KivPrintPreviewDlg.h"
#include "KivQtPrint.h"

namespace {
const bool GRegistered = (KivQtPrintRegister(), true);
const bool GPreviewRegistered = (KivQtPreviewRegister(), true);
}  // namespace

// The start-up registration of the Qt print devices, alone in the library kivdialogsregister.
// Programs link that library whole (see src/dialogs/CMakeLists.txt), so the linker keeps this
// object although no code refers to it, and every new printer gets a Qt device.
#include "KivQtPrint.h"

namespace {
const bool kRegistered = (KivQtPrintRegister(), true);
}  // namespace

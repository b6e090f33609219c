// The start-up registration of the syntax library's parser, alone in the library
// kivsyntaxregister. Programs link that library whole (see src/CMakeLists.txt), so the linker
// keeps this object although no code refers to it, and every new document gets the parser.
#include "KivSedParser.h"

namespace {
const bool kRegistered = (KivSedParserRegister(), true);
}  // namespace

// Loads arbitrary syntax scheme XML through a loader: a load either succeeds or raises the
// library's error, never crashes, hangs or leaks. The first byte picks the mode: bit 0 wraps the
// text into a scheme element (to reach the rule readers quickly), bit 1 reads the second
// document as the colour scheme. Documents are separated by a 0x01 byte: "F" is loaded, "G" is
// what references to G.Name load.
#include <cstdint>
#include <string>

#include "../tests/syntax/SyntaxSamples.h"
#include "KivDemoData.h"
#include "KivSedParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  if (ASize < 1) return 0;
  const uint8_t mode = AData[0];
  std::string rest(reinterpret_cast<const char*>(AData) + 1, ASize - 1);
  const size_t sep = rest.find('\x01');
  TKivString f = KivFromUtf8(rest.substr(0, sep));
  const TKivString g = sep == std::string::npos ? TKivString() : KivFromUtf8(rest.substr(sep + 1));
  if (mode & 1) f = u"<SchemeList root='Main'><Scheme name='Main' " + f + u"</Scheme></SchemeList>";
  TKivEditParser parser;
  parser.SetSchemeLoaders(
      [&](const TKivString& AName) -> TKivString {
        if (AName == u"F") return f;
        if (AName == u"G") return g;
        if (AName == u"C") return kCScheme;
        throw EKivEditDocError(u"Can't find syntax scheme by name: " + AName);
      },
      [&](const TKivString& AName) -> TKivString {
        if (AName == u"default") return (mode & 2) ? g : KivDemoColorScheme().Text;
        throw EKivEditDocError(u"Can't find color scheme by name: " + AName);
      });
  try {
    parser.LoadSchemeDoc(u"F", u"default");
    parser.GetAllTokenIDs(u"keyword");
  } catch (const EKivError&) {
    parser.UnloadSchemes();
  }
  return 0;
}

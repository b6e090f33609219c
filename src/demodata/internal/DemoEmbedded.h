// The raw bytes (UTF-8) of the demo's resource files, defined in the source generated at build
// time from resources/.
#pragma once

#include <cstddef>

struct TDemoEmbeddedText {
  const char* Name;
  const unsigned char* Data;
  std::size_t Size;
};

extern const TDemoEmbeddedText KivDemoEmbeddedSchemes[];
extern const std::size_t KivDemoEmbeddedSchemeCount;
extern const TDemoEmbeddedText KivDemoEmbeddedColorScheme;
extern const TDemoEmbeddedText KivDemoEmbeddedSample;

// For the syntax fuzz targets: a reader of the fuzzer's bytes, a parser's tokens of a line,
// and attaching one scheme text to a document.
#pragma once

#include <cstdint>
#include <tuple>
#include <vector>

#include "../tests/syntax/SyntaxSamples.h"
#include "KivDemoData.h"
#include "KivSedParser.h"

struct TFuzzBytes {
  const uint8_t* Data;
  size_t Size;
  size_t Pos = 0;
  uint8_t Next() { return Pos < Size ? Data[Pos++] : 0; }
  bool Done() const { return Pos >= Size; }
};

using TFuzzTokens = std::vector<std::tuple<Integer, Integer, Integer>>;

// (start, count, token ID) of each token of the line.
inline TFuzzTokens FuzzTokens(TKivEditParserBase& AParser, Integer ALine) {
  TFuzzTokens res;
  TKivEditParsedLine* line = AParser.GetParsedLine(ALine);
  if (!line || line->TokenCount() == 0) return res;
  TKivEditParsedTokenArray arr(static_cast<size_t>(line->TokenCount()));
  line->GetTokens(0, -1, arr);
  for (auto& t : arr) res.emplace_back(t.Seg.Start, t.Seg.Count, t.TokenID);
  return res;
}

// Loads AScheme (served under any name) with the colour scheme "default" into ADoc's parser.
inline void FuzzAttachScheme(TKivEditDocument& ADoc, const TKivString& AScheme) {
  TKivEditParserBase* parser = ADoc.GetParser();
  parser->SetSchemeLoaders([AScheme](const TKivString&) { return AScheme; },
                           [](const TKivString&) { return KivDemoColorScheme().Text; });
  parser->LoadSchemeDoc(u"F", u"default");
  parser->Refresh();
}

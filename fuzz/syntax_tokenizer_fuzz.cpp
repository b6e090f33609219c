// Random token rules (from a small grammar of valid patterns) over random text: tokenizing
// never crashes, hangs or leaks, and after edits the incremental parser gives the same tokens
// as a fresh one over the same text.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "SyntaxFuzzSupport.h"

namespace {

using TBytes = TFuzzBytes;

const char* const kPatterns[] = {"a",    "b+",   "[a-c]*", "x?",  "\\w+", "$", "(?=a)", "(a)(b)?",
                                 "\\d+", "/\\*", "\\*/",   "\\{", "\\}",  ";", "y*",    "(a|ab)c?"};
const char* const kTokens[] = {"keyword", "string", "comment", "symbol", "number", "id"};

std::string Pattern(TBytes& AIn) {
  return kPatterns[AIn.Next() % (sizeof(kPatterns) / sizeof(kPatterns[0]))];
}

std::string Rules(TBytes& AIn, int ACount) {
  std::string s;
  for (int r = 0; r < ACount; ++r) {
    const uint8_t kind = AIn.Next() % 5;
    const std::string prio = " priority='" + std::to_string(AIn.Next() % 3) + "'";
    const std::string tok = kTokens[AIn.Next() % 6];
    const std::string inner = (AIn.Next() & 1) ? "Inner" : "Main";
    switch (kind) {
      case 0:
        s += "<Regex regex='" + Pattern(AIn) + "' token0='" + tok + "'" + prio + "/>";
        break;
      case 1:
        s += "<Regex regex='" + Pattern(AIn) + "' innerScheme='" + inner + "'" + prio + "/>";
        break;
      case 2:
        s += "<RegexBlock start='" + Pattern(AIn) + "' end='" + Pattern(AIn) + "' innerScheme='" + inner +
             "' start_token0='" + tok + "' closeInnerSchemes='" + ((AIn.Next() & 1) ? "1" : "0") + "'" +
             prio + "/>";
        break;
      case 3:
        s += "<RegexBlock start='(" + Pattern(AIn) + ")' end='$1' innerScheme='" + inner + "'" + prio + "/>";
        break;
      default:
        s += "<KeywordRegex>\\b\\w+\\b</KeywordRegex><Keywords>a ab abc x</Keywords>";
    }
  }
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  TBytes in{AData, ASize};
  const int mainRules = 1 + in.Next() % 6;
  const int innerRules = in.Next() % 4;
  const std::string main = Rules(in, mainRules);
  const std::string inner = Rules(in, innerRules);
  const TKivString scheme =
      KivFromUtf8("<SchemeList root='Main'><Scheme name='Inner' defaultToken='string'>" + inner +
                  "</Scheme><Scheme name='Main'>" + main + "</Scheme></SchemeList>");
  static const char kChars[] = "abcxy01 ;{}/*\n";
  TKivString text;
  const size_t textLen = in.Next() * 2u;
  for (size_t i = 0; i < textLen; ++i)
    text += static_cast<char16_t>(kChars[in.Next() % (sizeof(kChars) - 1)]);
  TKivEditDocument doc;
  doc.Lines().SetText(text);
  try {
    FuzzAttachScheme(doc, scheme);
  } catch (const EKivError&) {
    return 0;  // a pattern combination the loader refuses
  }
  TKivEditParserBase& parser = *doc.GetParser();
  for (int round = 0; round < 3 && !in.Done(); ++round) {
    for (int q = 0; q < 4; ++q) FuzzTokens(parser, static_cast<Integer>(in.Next() % doc.LinesCount()));
    const Integer pos = static_cast<Integer>(in.Next() % (doc.CharsCount() + 1));
    if (in.Next() & 1)
      doc.Insert(pos, TKivString(1 + in.Next() % 3,
                                 static_cast<char16_t>(kChars[in.Next() % (sizeof(kChars) - 1)])));
    else if (doc.CharsCount() > 0)
      doc.Delete(std::min(pos, doc.CharsCount() - 1), 1);
  }
  // The fresh document gets the edited text as it is: setting it through Lines() would rewrite
  // the line breaks the edits left (a lone CR or LF) and move every later token.
  TKivEditDocument fresh;
  fresh.Insert(0, doc.Text());
  FuzzAttachScheme(fresh, scheme);
  for (Integer l = doc.LinesCount() - 1; l >= 0; --l) {
    if (FuzzTokens(parser, l) != FuzzTokens(*fresh.GetParser(), l)) {
      std::fprintf(stderr, "incremental and fresh tokens differ on line %d\n", l);
      std::abort();
    }
  }
  return 0;
}

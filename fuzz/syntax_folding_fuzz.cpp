// Random syntax blocks (from a small grammar of valid int-code patterns) over random text with
// random edits and fold queries: folding never crashes or hangs, and after the edits the
// incremental parser answers every fold query on every line as a fresh one does. Inputs on
// which the two tokenize differently are left to the tokenizer's own target.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "SyntaxFuzzSupport.h"

namespace {

template <size_t N>
const char* Pick(TFuzzBytes& AIn, const char* const (&AItems)[N]) {
  return AItems[AIn.Next() % N];
}

// Start patterns; the ones with a group come first.
const char* const kGroupStarts[] = {"( kw:if sym:( [^ sym:; sym:} sym:{ ]+ sym:) ) [^ sym:{ sym:} sym:; ]+ sym:;",
                                    "( kw:fn ) id", "( id ) sym:("};
const char* const kStarts[] = {"sym:\\{", "kw:if [^ sym:; sym:} ]*? sym:\\{", "kw:fn id sym:( [^ sym:; ]* sym:) sym:{",
                               "kw:do", "kw:else sym:{", "id sym:(", "sym:( sym:(", "kw:if ( id )?"};
const char* const kEnds[] = {"sym:}", "kw:end", "sym:;", "sym:)", "[ sym:} kw:end ]", "sym:) sym:;"};

std::string Blocks(TFuzzBytes& AIn) {
  std::string s;
  const int n = 1 + AIn.Next() % 5;
  for (int b = 0; b < n; ++b) {
    const bool group = AIn.Next() % 4 == 0;
    const std::string start = group ? Pick(AIn, kGroupStarts) : Pick(AIn, kStarts);
    const std::string end = group && AIn.Next() % 3 == 0 ? "$1" : Pick(AIn, kEnds);
    s += "<SyntaxBlock capture='" + std::string((AIn.Next() & 3) ? "true" : "false") + "' priority='" +
         std::to_string(AIn.Next() % 3) + "' minLines='" + std::to_string(2 + AIn.Next() % 3) + "'" +
         (group && (AIn.Next() & 1) ? " startGroupUsed='1'" : "") + "><Start>" + start + "</Start><End>" + end +
         "</End></SyntaxBlock>";
  }
  return s;
}

const char* const kWords[] = {"if", "else", "fn", "do", "end", "x", "y", "(", ")", "{", "}", ";",
                              "/*", "*/", " ", "\n", "\n", "<s>", "</s>", "//"};

using TFolds = std::tuple<bool, Integer, bool, Integer, Integer>;
TFolds Folds(TKivEditParserBase& AParser, Integer ALine) {
  return {AParser.IsFoldStart(ALine), AParser.GetFoldEnd(ALine), AParser.IsFoldEnd(ALine), AParser.GetFoldStart(ALine),
          AParser.GetParentLine(ALine)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* AData, size_t ASize) {
  TFuzzBytes in{AData, ASize};
  const std::string main = Blocks(in);
  const std::string inner = Blocks(in);
  const TKivString scheme = KivFromUtf8(
      "<SchemeList root='Main'>"
      "<Scheme name='Comment' defaultToken='comment'/>"
      "<Scheme name='Base'>"
      "<Regex regex='//.*' token0='comment'/>"
      "<RegexBlock start='/\\*' end='\\*/' innerScheme='Comment' start_token0='comment' end_token0='comment'/>"
      "<Regex regex='[{}();]' token0='symbol'/>"
      "<KeywordRegex>\\b\\w+\\b</KeywordRegex><Keywords>if else fn do end</Keywords>"
      "<SkipSyntaxToken token='comment'/>"
      "</Scheme>"
      "<Scheme name='Inner' inherit='Base'>" +
      inner +
      "</Scheme>"
      "<Scheme name='Main' inherit='Base'>"
      "<RegexBlock start='&lt;s&gt;' end='&lt;/s&gt;' innerScheme='Inner' priority='5'/>" +
      main + "</Scheme></SchemeList>");
  TKivString text;
  const size_t words = in.Next() * 2u;
  for (size_t i = 0; i < words; ++i) text += KivFromUtf8(Pick(in, kWords));
  TKivEditDocument doc;
  doc.Lines().SetText(text);
  try {
    FuzzAttachScheme(doc, scheme);
  } catch (const EKivError&) {
    return 0;  // a combination the loader refuses
  }
  TKivEditParserBase& parser = *doc.GetParser();
  for (int round = 0; round < 4 && !in.Done(); ++round) {
    for (int q = 0; q < 3; ++q) Folds(parser, static_cast<Integer>(in.Next() % doc.LinesCount()));
    const Integer pos = static_cast<Integer>(in.Next() % (doc.CharsCount() + 1));
    if (in.Next() & 1)
      doc.Insert(pos, KivFromUtf8(Pick(in, kWords)));
    else if (doc.CharsCount() > 0) {
      const Integer at = std::min(pos, doc.CharsCount() - 1);
      doc.Delete(at, std::min<Integer>(1 + in.Next() % 3, doc.CharsCount() - at));
    }
  }
  // The fresh document gets the edited text as it is (setting it through Lines() would rewrite
  // the lone CRs and LFs the edits left).
  TKivEditDocument fresh;
  fresh.Insert(0, doc.Text());
  FuzzAttachScheme(fresh, scheme);
  const Integer lines = doc.LinesCount();
  for (Integer l = 0; l < lines; ++l)
    if (FuzzTokens(parser, l) != FuzzTokens(*fresh.GetParser(), l)) return 0;
  for (Integer l = 0; l < lines; ++l) {
    if (Folds(parser, l) != Folds(*fresh.GetParser(), l)) {
      std::fprintf(stderr, "incremental and fresh folds differ on line %d\n", l);
      std::abort();
    }
  }
  return 0;
}

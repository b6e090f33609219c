#include "KivDemoData.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>
#include <utility>

#include "KivErrors.h"
#include "KivSedDocument.h"
#include "KivStrings.h"
#include "internal/DemoEmbedded.h"

namespace {

TKivString Decode(const TDemoEmbeddedText& AText) {
  return KivFromUtf8(std::string_view(reinterpret_cast<const char*>(AText.Data), AText.Size));
}

}  // namespace

const std::vector<TKivDemoScheme>& KivDemoSyntaxSchemes() {
  static const std::vector<TKivDemoScheme> schemes = [] {
    std::vector<TKivDemoScheme> res;
    res.reserve(KivDemoEmbeddedSchemeCount);
    for (std::size_t i = 0; i < KivDemoEmbeddedSchemeCount; ++i)
      res.push_back({KivFromUtf8(KivDemoEmbeddedSchemes[i].Name), Decode(KivDemoEmbeddedSchemes[i])});
    return res;
  }();
  return schemes;
}

const TKivDemoScheme* KivDemoFindSyntaxScheme(TKivStringView AName) {
  for (const auto& scheme : KivDemoSyntaxSchemes())
    if (scheme.Name == AName) return &scheme;
  return nullptr;
}

const TKivDemoScheme& KivDemoColorScheme() {
  static const TKivDemoScheme scheme{KivFromUtf8(KivDemoEmbeddedColorScheme.Name),
                                     Decode(KivDemoEmbeddedColorScheme)};
  return scheme;
}

const std::vector<TKivString>& KivDemoSampleLines() {
  static const std::vector<TKivString> lines = KivSplitLines(Decode(KivDemoEmbeddedSample));
  return lines;
}

TKivString KivDemoSampleText() {
  TKivString res;
  const auto& lines = KivDemoSampleLines();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) res += u"\r\n";
    res += lines[i];
  }
  return res;
}

void KivDemoFillDocument(TKivEditDocument& ADoc) {
  ADoc.SetLines(TKivStringList(KivDemoSampleLines()));
  auto fill = [](TKivEditParserSchemeCollection& AColl, const TKivDemoScheme* AFirst, std::size_t ACount) {
    AColl.BeginUpdate();
    try {
      AColl.Clear();
      for (std::size_t i = 0; i < ACount; ++i) {
        auto& item = AColl.Add();
        item.SetName(AFirst[i].Name);
        item.Scheme().SetText(AFirst[i].Text);
      }
    } catch (...) {
      AColl.EndUpdate();
      throw;
    }
    AColl.EndUpdate();
  };
  fill(ADoc.SyntaxSchemes(), KivDemoSyntaxSchemes().data(), KivDemoSyntaxSchemes().size());
  fill(ADoc.ColorSchemes(), &KivDemoColorScheme(), 1);
  ADoc.SetActiveSyntaxScheme(TKivString(KivDemoActiveSyntaxScheme));
  ADoc.SetActiveColorScheme(TKivString(KivDemoActiveColorScheme));
}

TKivString KivDemoSchemeForFile(std::string_view AFileName) {
  const auto slash = AFileName.find_last_of("/\\");
  std::string name(slash == std::string_view::npos ? AFileName : AFileName.substr(slash + 1));
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  if (name.find("asp_js") != std::string::npos) return u"ASP_JS";
  if (name.find("asp_vb") != std::string::npos) return u"ASP_VB";
  const auto dot = name.find_last_of('.');
  const std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
  static const std::pair<const char*, const char16_t*> table[] = {
      {"c", u"C"},       {"h", u"C"},        {"cpp", u"CPP"},      {"cc", u"CPP"},   {"cxx", u"CPP"},
      {"hpp", u"CPP"},   {"hh", u"CPP"},     {"css", u"CSS"},      {"dfm", u"DFM"},  {"htm", u"HTML"},
      {"html", u"HTML"}, {"js", u"JavaScript"}, {"mjs", u"JavaScript"}, {"lua", u"Lua"}, {"pas", u"Pascal"},
      {"pp", u"Pascal"}, {"dpr", u"Pascal"},  {"pl", u"Perl"},      {"pm", u"Perl"},  {"php", u"PHP"},
      {"py", u"Python"}, {"rexx", u"Rexx"},   {"rex", u"Rexx"},     {"sql", u"SQL"},  {"tcl", u"TCL"},
      {"txt", u"Text"},  {"vb", u"VB"},       {"bas", u"VB"},       {"vbs", u"VB"},   {"asp", u"ASP_VB"},
      {"xml", u"XML"},   {"xsl", u"XML"},     {"svg", u"XML"}};
  for (const auto& [e, scheme] : table)
    if (ext == e) return scheme;
  return {};
}

#include "KivDemoData.h"

#include <string_view>

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

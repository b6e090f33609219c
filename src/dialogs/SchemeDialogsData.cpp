#include <QFile>

#include "KivStrings.h"
#include "internal/SchemeDialogsData.h"

// Outside any namespace: Q_INIT_RESOURCE declares the resource's function where it is used.
static void InitSchemeDialogsData() {
  static const bool done = [] {
    Q_INIT_RESOURCE(KivSchemeDialogsData);
    return true;
  }();
  (void)done;
}

namespace {

void AddScheme(TKivEditParserSchemeCollection& AColl, const TKivString& AName, const TKivString& APath) {
  auto& item = AColl.Add();
  item.SetName(AName);
  item.Scheme().SetText(KivSchemeDialogsData(APath));
}

// Replaces the schemes of ADoc in one bracket of each collection, then makes them active.
void FillSchemes(TKivEditDocument& ADoc, const std::vector<TKivString>& ASyntax, const TKivString& AActive) {
  auto bracket = [](TKivEditParserSchemeCollection& AColl, auto AFill) {
    AColl.BeginUpdate();
    try {
      AColl.Clear();
      AFill(AColl);
    } catch (...) {
      AColl.EndUpdate();
      throw;
    }
    AColl.EndUpdate();
  };
  bracket(ADoc.SyntaxSchemes(), [&](TKivEditParserSchemeCollection& AColl) {
    for (const TKivString& name : ASyntax) AddScheme(AColl, name, u"schemes/" + name + u".xml");
  });
  bracket(ADoc.ColorSchemes(),
          [&](TKivEditParserSchemeCollection& AColl) { AddScheme(AColl, u"default", u"colors/default.xml"); });
  ADoc.SetActiveSyntaxScheme(AActive);
  ADoc.SetActiveColorScheme(u"default");
}

}  // namespace

TKivString KivSchemeDialogsData(const TKivString& APath) {
  InitSchemeDialogsData();
  QFile file(QStringLiteral(":/kivschemedlg/") + QString::fromStdU16String(APath));
  if (!file.open(QIODevice::ReadOnly)) throw EKivError(u"Missing dialog data: %s", {APath});
  return QString::fromUtf8(file.readAll()).toStdU16String();
}

const std::vector<TKivString>& KivExampleSchemeNames() {
  static const std::vector<TKivString> names = {u"Pascal", u"HTML", u"ASP_JS", u"ASP_VB", u"CSS", u"JavaScript",
                                                u"Perl",   u"PHP",  u"VB",     u"Text",   u"XML"};
  return names;
}

void KivFillExampleDocument(TKivEditDocument& ADoc, Integer AIndex) {
  if (AIndex < 0 || AIndex > 1) throw EInvalidArgument(u"List index out of bounds (%d)", {AIndex});
  const TKivString text = KivSchemeDialogsData(AIndex == 0 ? u"examples/Example.pas" : u"examples/Example.html");
  ADoc.SetLines(TKivStringList(KivSplitLines(text)));
  FillSchemes(ADoc, KivExampleSchemeNames(), AIndex == 0 ? u"Pascal" : u"HTML");
}

void KivFillSchemeEditDocument(TKivEditDocument& ADoc) {
  FillSchemes(ADoc, {u"XML", u"Text"}, u"XML");
}

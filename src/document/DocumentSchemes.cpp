// The document's scheme collections, the active schemes and how they reach the parser.
#include "KivSedEncoding.h"
#include "internal/DocumentPrivate.h"

// ---- the collections' owner ----

bool TKivEditDocument::TSchemesHost::CanCreateSchemeCollections() const {
  return FDoc.FInConstructor;
}

void TKivEditDocument::TSchemesHost::SchemeCollectionChanged(TKivEditParserSchemeCollection& ACollection) {
  // While the stored description is read, items and names arrive in any order: Loaded sorts
  // it out once.
  if (FDoc.IsLoading()) return;
  FDoc.DropStaleSchemeName(ACollection);
  FDoc.ApplySchemes();
}

void TKivEditDocument::TSchemesHost::SchemeItemChanged(TKivEditParserSchemeCollectionItem&) {
  if (!FDoc.IsLoading()) FDoc.ApplySchemes();
}

// ---- construction and parser attachment ----

void TKivEditDocument::InitFilesAndSchemes() {
  FEncoding = std::make_unique<TKivEncoding>(0);
  FSyntaxSchemes = std::make_unique<TKivEditParserSchemeCollection>(&FSchemesHost, skSyntax);
  FColorSchemes = std::make_unique<TKivEditParserSchemeCollection>(&FSchemesHost, skColor);
}

void TKivEditDocument::AttachSchemeLoaders() {
  FParser->SetSchemeLoaders([this](const TKivString& AName) { return SchemeText(skSyntax, AName); },
                            [this](const TKivString& AName) { return SchemeText(skColor, AName); });
  if (!IsLoading()) ApplySchemes();
}

void TKivEditDocument::SchemesLoaded() {
  DropStaleSchemeName(*FSyntaxSchemes);
  DropStaleSchemeName(*FColorSchemes);
  DoApplySchemes(true);
}

// An active name that no item carries any more is dropped before the schemes are applied.
void TKivEditDocument::DropStaleSchemeName(const TKivEditParserSchemeCollection& ACollection) {
  TKivString& active = ACollection.Kind() == skSyntax ? FSyntaxScheme : FColorScheme;
  if (!active.empty() && !ACollection.FindItem(active)) active.clear();
}

TKivString TKivEditDocument::SchemeText(TKivEditSchemeKind AKind, const TKivString& AName) const {
  const TKivEditParserSchemeCollection& coll = AKind == skSyntax ? *FSyntaxSchemes : *FColorSchemes;
  const TKivEditParserSchemeCollectionItem* item = coll.FindItem(AName);
  if (!item) {
    throw EKivEditDocError((AKind == skSyntax ? TKivString(u"Can't find syntax scheme by name: ")
                                              : TKivString(u"Can't find color scheme by name: ")) +
                           AName);
  }
  return item->Scheme().Text();
}

// ---- collections and active schemes ----

void TKivEditDocument::SetSyntaxSchemes(const TKivEditParserSchemeCollection& AValue) {
  FSyntaxSchemes->Assign(AValue);
}

void TKivEditDocument::SetColorSchemes(const TKivEditParserSchemeCollection& AValue) {
  FColorSchemes->Assign(AValue);
}

void TKivEditDocument::SetActiveSyntaxScheme(const TKivSyntaxSchemeRef& AValue) {
  if (AValue == FSyntaxScheme) return;
  // While the stored description is read the collection may not be filled yet; Loaded applies.
  if (!AValue.empty() && !IsLoading() && !FSyntaxSchemes->FindItem(AValue))
    throw EKivEditDocError(u"Can't find syntax scheme by name: " + AValue);
  FSyntaxScheme = AValue;
  if (!IsLoading()) ApplySchemes();
}

void TKivEditDocument::SetActiveColorScheme(const TKivColorSchemeRef& AValue) {
  if (AValue == FColorScheme) return;
  if (!AValue.empty() && !IsLoading() && !FColorSchemes->FindItem(AValue))
    throw EKivEditDocError(u"Can't find color scheme by name: " + AValue);
  FColorScheme = AValue;
  if (!IsLoading()) ApplySchemes();
}

void TKivEditDocument::ApplySchemes() {
  DoApplySchemes(IsLoading());
}

void TKivEditDocument::DoApplySchemes(bool ASwallowLoadErrors) {
  TSettingsGuard settings(*this);
  if (FSyntaxScheme.empty() || FColorScheme.empty()) {
    FParser->UnloadSchemes();
    FParser->Refresh();
    return;
  }
  try {
    FParser->LoadSchemeDoc(FSyntaxScheme, FColorScheme);
  } catch (const EKivSyntaxSchemeLoadError&) {
    FParser->UnloadSchemes();
    FParser->Refresh();
    if (!ASwallowLoadErrors) throw;
    return;
  } catch (const EKivColorSchemeLoadError&) {
    FParser->UnloadSchemes();
    FParser->Refresh();
    if (!ASwallowLoadErrors) throw;
    return;
  }
  FParser->Refresh();
}

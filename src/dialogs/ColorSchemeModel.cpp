#include <algorithm>
#include <map>

#include "KivSedColorSchemeModel.h"

namespace {

const char16_t* const kEmptyScheme = u"<?xml version=\"1.0\" encoding=\"UTF-8\"?><Attributes></Attributes>";

TKivString TokenName(const IKivXmlElement& AToken) {
  return KivSchemeTrim(AToken->ReadAttrText(u"name"));
}

// The Token children of the root, in document order.
std::vector<IKivXmlElement> TokenElements(const IKivXmlElement& ARoot) {
  std::vector<IKivXmlElement> res;
  if (!ARoot) return res;
  for (Integer i = 0; i < ARoot->ChildCount(); ++i) {
    IKivXmlNode child = ARoot->ChildNodes()->Item(i);
    if (child->NodeType() == ntElement && child->NodeName() == u"Token") res.push_back(child->AsElement());
  }
  return res;
}

}  // namespace

TKivColorItemText ColorItemText(TKivColor AColor) {
  const TKivColor rgb = KivResolveColor(AColor);
  for (const auto& named : kivSchemeNamedColors)
    if (named.Value == rgb) return {named.Name, true};
  return {ColorToText(rgb), false};
}

TKivString KivSchemeTrim(TKivStringView AText) {
  size_t b = 0, e = AText.size();
  while (b < e && AText[b] <= u' ') ++b;
  while (e > b && AText[e - 1] <= u' ') --e;
  return TKivString(AText.substr(b, e - b));
}

void WriteTokenNode(const IKivXmlElement& ANode, const TKivEditAttributes& AAttrs) {
  if (!ANode) throw EInvalidArgument(u"Bad argument for WriteTokenNode: node is nil");
  // The custom attributes in name order; names are checked before anything changes.
  std::map<TKivString, TKivString> custom;
  const bool hasCustom = (AAttrs.AttributesSet & asCustomAttributes) && AAttrs.CustomAttributes;
  if (hasCustom) {
    TKivStringHashIterator it;
    for (bool ok = AAttrs.CustomAttributes->IteratorMoveFirst(it); ok;
         ok = AAttrs.CustomAttributes->IteratorMoveNext(it))
      custom.emplace(it.CurrentNode->Key(), it.CurrentNode->Value());
    for (const auto& [name, value] : custom)
      if (!KivXmlIsValidName(name)) throw EKivError(u"Custom attribute name should be a valid XML name");
  }
  ANode->DropAttr(u"backgroundColor");
  if (AAttrs.AttributesSet & asBackgroundColor)
    ANode->WriteAttrText(u"backgroundColor", ColorItemText(AAttrs.BackgroundColor).Text);
  ANode->DropAttr(u"textColor");
  if (AAttrs.AttributesSet & asTextColor) ANode->WriteAttrText(u"textColor", ColorItemText(AAttrs.TextColor).Text);
  ANode->DropAttr(u"fontStyle");
  if (AAttrs.AttributesSet & asFontStyle) {
    TKivString style;
    if (AAttrs.FontStyle & fsItalic) style += u"italic ";
    if (AAttrs.FontStyle & fsBold) style += u"bold ";
    if (AAttrs.FontStyle & fsUnderline) style += u"underline ";
    if (AAttrs.FontStyle & fsStrikeOut) style += u"strikeOut ";
    ANode->WriteAttrText(u"fontStyle", KivSchemeTrim(style));
  }
  if (IKivXmlElement old = ANode->FirstChildElementNamed(u"CustomAttributes")) ANode->RemoveChild(old);
  if (hasCustom && !custom.empty()) {
    IKivXmlElement list = ANode->AppendNewElement(u"CustomAttributes");
    for (const auto& [name, value] : custom) list->AppendNewElement(name)->SetText(value);
  }
}

void TKivColorSchemeModel::LoadSchemeText(const TKivString& AText) {
  const TKivString trimmed = KivSchemeTrim(AText);
  const bool wasEmpty = trimmed.empty();
  IKivXmlDocument doc;
  IKivXmlElement root;
  try {
    doc = LoadXmlDocumentFromXml(wasEmpty ? TKivString(kEmptyScheme) : trimmed);
    root = doc->FirstChildElementNamed(u"Attributes");
    if (!root) throw EKivColorSchemeLoadError(u"Color scheme should have an 'Attributes' root element");
    for (const IKivXmlElement& token : TokenElements(root)) {
      TKivAttributesHolder attrs;
      TKivString name;
      KivDecodeTokenXML(token, attrs, name);
    }
  } catch (const EKivError& e) {
    throw EKivEditBadColorSchemeXml(u"Error while loading color scheme '%s': %s", {FSchemeName, e.Message()});
  }
  FCurrentScheme = doc;
  FSchemeRoot = root;
  FDocWasEmpty = wasEmpty;
  RefreshNames();
}

void TKivColorSchemeModel::RefreshNames() {
  FTokenNames.clear();
  for (const IKivXmlElement& token : TokenElements(FSchemeRoot)) FTokenNames.push_back(TokenName(token));
}

IKivXmlElement TKivColorSchemeModel::FindTokenNode(TKivStringView AName) const {
  for (const IKivXmlElement& token : TokenElements(FSchemeRoot))
    if (TokenName(token) == AName) return token;
  return nullptr;
}

TKivAttributesHolder TKivColorSchemeModel::DecodeToken(TKivStringView AName) const {
  IKivXmlElement node = FindTokenNode(AName);
  if (!node) throw EInvalidArgument(u"No token named '%s'", {TKivString(AName)});
  TKivAttributesHolder attrs;
  TKivString name;
  KivDecodeTokenXML(node, attrs, name);
  return attrs;
}

TKivString TKivColorSchemeModel::AddToken(const TKivString& AName) {
  if (!FSchemeRoot) throw EInvalidArgument(u"No color scheme is loaded");
  const TKivString name = KivSchemeTrim(AName);
  if (name.empty()) return name;
  if (FindTokenNode(name)) throw EKivError(u"Token name should be unique");
  FSchemeRoot->AppendNewElement(u"Token")->WriteAttrText(u"name", name);
  RefreshNames();
  return name;
}

void TKivColorSchemeModel::RemoveToken(TKivStringView AName) {
  IKivXmlElement node = FindTokenNode(AName);
  if (!node) throw EInvalidArgument(u"No token named '%s'", {TKivString(AName)});
  FSchemeRoot->RemoveChild(node);
  RefreshNames();
}

TKivString TKivColorSchemeModel::RenameToken(TKivStringView AOldName, const TKivString& ANewName) {
  IKivXmlElement node = FindTokenNode(AOldName);
  if (!node) throw EInvalidArgument(u"No token named '%s'", {TKivString(AOldName)});
  const TKivString name = KivSchemeTrim(ANewName);
  if (name.empty()) return name;
  IKivXmlElement other = FindTokenNode(name);
  if (other && other != node) throw EKivError(u"Token name should be unique");
  node->WriteAttrText(u"name", name);
  RefreshNames();
  return name;
}

void TKivColorSchemeModel::UpdateToken(TKivStringView AName, const TKivEditAttributes& AAttrs) {
  IKivXmlElement node = FindTokenNode(AName);
  if (!node) throw EInvalidArgument(u"No token named '%s'", {TKivString(AName)});
  WriteTokenNode(node, AAttrs);
}

TKivString TKivColorSchemeModel::SchemeXml() const {
  return FCurrentScheme ? FCurrentScheme->ToXml() : TKivString();
}

TKivString TKivColorSchemeModel::StoreText() const {
  if (FDocWasEmpty && FTokenNames.empty()) return {};
  return SchemeXml();
}

// Token attributes: copying, merging and decoding the <Token> elements of colour schemes.
#include "KivSedUtils.h"
#include "KivUnicode.h"
#include "internal/SchemeModel.h"
#include "internal/SyntaxText.h"

void TKivAttributesHolder::SetCustom(std::shared_ptr<TKivStringHashTable> ATable) {
  Custom = std::move(ATable);
  Attrs.CustomAttributes = Custom.get();
}

namespace {

std::shared_ptr<TKivStringHashTable> CopyTable(const TKivStringHashTable& ASource) {
  auto table = std::make_shared<TKivStringHashTable>();
  table->Assign(ASource);
  return table;
}

}  // namespace

void AssignAttributes(TKivAttributesHolder& ADest, const TKivAttributesHolder& ASource, bool ACopyCustom) {
  ADest.Attrs.BackgroundColor = ASource.Attrs.BackgroundColor;
  ADest.Attrs.TextColor = ASource.Attrs.TextColor;
  ADest.Attrs.FontStyle = ASource.Attrs.FontStyle;
  ADest.Attrs.AttributesSet = ASource.Attrs.AttributesSet;
  if (ACopyCustom && ASource.Custom)
    ADest.SetCustom(CopyTable(*ASource.Custom));
  else
    ADest.SetCustom(ASource.Custom);
}

void ClearAttributes(TKivAttributesHolder& AAttrs) {
  AAttrs.SetCustom(nullptr);
  AAttrs.Attrs.AttributesSet = 0;
}

TKivAttributesHolder MergeAttributes(const TKivAttributesHolder& ABase, bool ACopyBaseCustom,
                                     const TKivAttributesHolder& AToken) {
  TKivAttributesHolder res;
  const TKivEditAttributes& b = ABase.Attrs;
  const TKivEditAttributes& t = AToken.Attrs;
  res.Attrs.BackgroundColor = (t.AttributesSet & asBackgroundColor) ? t.BackgroundColor : b.BackgroundColor;
  res.Attrs.TextColor = (t.AttributesSet & asTextColor) ? t.TextColor : b.TextColor;
  // An undefined font style of the base counts as none.
  const TKivFontStyles baseStyle = (b.AttributesSet & asFontStyle) ? b.FontStyle : 0;
  res.Attrs.FontStyle =
      (t.AttributesSet & asFontStyle) ? TKivFontStyles(baseStyle | t.FontStyle) : b.FontStyle;
  res.Attrs.AttributesSet = b.AttributesSet | t.AttributesSet;
  if (ABase.Custom && AToken.Custom) {
    auto table = CopyTable(*ABase.Custom);
    table->Merge(*AToken.Custom);
    res.SetCustom(std::move(table));
  } else if (AToken.Custom) {
    res.SetCustom(AToken.Custom);
  } else if (ABase.Custom) {
    res.SetCustom(ACopyBaseCustom ? CopyTable(*ABase.Custom) : ABase.Custom);
  }
  return res;
}

void KivDecodeTokenXML(const IKivXmlElement& ANode, TKivAttributesHolder& AAttributes, TKivString& AName) {
  if (AAttributes.Attrs.CustomAttributes || AAttributes.Custom)
    throw EInvalidArgument(u"Bad argument for KivDecodeTokenXML: CustomAttributes field should be nil");
  if (!ANode) throw EInvalidArgument(u"Bad argument for KivDecodeTokenXML: node is nil");
  TKivEditAttributes& a = AAttributes.Attrs;
  a.AttributesSet = 0;
  a.FontStyle = 0;
  AName = KivTrim(ANode->ReadAttrText(u"name"));
  if (AName.empty()) throw EKivColorSchemeLoadError(u"<Token> node should have 'name' attribute");
  auto readColor = [&ANode](TKivStringView AAttr, TKivColor& AColor, TKivEditAttributesSet AFlag,
                            TKivEditAttributesSet& ASet) {
    const TKivString text = KivTrim(ANode->ReadAttrText(AAttr));
    if (text.empty()) return;
    if (!TextToColor(text, AColor))
      throw EKivColorSchemeLoadError(u"Invalid color format for attribute '%s'", {AAttr});
    ASet |= AFlag;
  };
  TKivEditAttributes decoded;
  readColor(u"backgroundColor", decoded.BackgroundColor, asBackgroundColor, decoded.AttributesSet);
  readColor(u"textColor", decoded.TextColor, asTextColor, decoded.AttributesSet);
  for (const TKivString& word : KivSplitWords(ANode->ReadAttrText(u"fontStyle"), u" \t\r\n,;")) {
    const TKivString w = KivLowerAscii(word);
    if (w == u"bold")
      decoded.FontStyle |= fsBold;
    else if (w == u"italic")
      decoded.FontStyle |= fsItalic;
    else if (w == u"underline")
      decoded.FontStyle |= fsUnderline;
    else if (w == u"strikeout")
      decoded.FontStyle |= fsStrikeOut;
    else
      throw EKivColorSchemeLoadError(TKivString(u"Invalid 'fontStyle' attribute value: ") + word);
    decoded.AttributesSet |= asFontStyle;
  }
  std::shared_ptr<TKivStringHashTable> custom;
  ForEachChildElement(ANode, [&custom](const IKivXmlElement& AChild) {
    if (!SameNameNoCase(AChild->NodeName(), u"CustomAttributes")) return;
    ForEachChildElement(AChild, [&custom](const IKivXmlElement& AAttr) {
      if (!custom) custom = std::make_shared<TKivStringHashTable>();
      custom->SetOrAdd(KivTrim(AAttr->NodeName()), KivTrim(AAttr->Text()));
    });
  });
  if (custom) decoded.AttributesSet |= asCustomAttributes;
  a = decoded;
  AAttributes.SetCustom(std::move(custom));
}

TTokenProps::TTokenProps(const IKivXmlElement& ANode) {
  if (ANode) KivDecodeTokenXML(ANode, Attributes, Name);
}

// Colour schemes: token decoding, loading errors, merging and the demo scheme's token IDs.
#include "SyntaxTestSupport.h"

namespace {

TKivString OneToken(const TKivString& AAttrs) {
  return u"<Attributes><Token name=\"t\" " + AAttrs + u"/></Attributes>";
}

// Loads colour scheme "T" with a trivial syntax scheme; returns the impl.
std::unique_ptr<TParserImpl> LoadColors(const TKivString& AColorText) {
  TSchemeTexts texts;
  texts.Colors[u"T"] = AColorText;
  texts.Syntax[u"S"] = u"<SchemeList root='Main'><Scheme name='Main'/></SchemeList>";
  auto impl = std::make_unique<TParserImpl>(201, 50);
  texts.Attach(*impl);
  impl->LoadSchemeDoc(u"S", u"T");
  impl->SetSchemeLoaders(nullptr, nullptr);
  return impl;
}

TEST(ColorScheme, ColourTexts) {
  struct Case {
    const char16_t* Attr;
    bool Defined;
    TKivColor Color;
  } cases[] = {
      {u"textColor='#0'", true, KivRGB(0, 0, 0)},
      {u"textColor='#FF'", true, KivRGB(0, 0, 0xFF)},
      {u"textColor='#ECE9D8'", true, KivRGB(0xEC, 0xE9, 0xD8)},
      {u"textColor=' navy '", true, KivRGB(0, 0, 0x80)},
      {u"textColor='NAVY'", true, KivRGB(0, 0, 0x80)},
      {u"textColor=''", false, 0},
  };
  for (const Case& c : cases) {
    auto impl = LoadColors(OneToken(c.Attr));
    const TKivEditAttributes& a = impl->Token(0)->Attributes.Attrs;
    EXPECT_EQ((a.AttributesSet & asTextColor) != 0, c.Defined) << U8(c.Attr);
    if (c.Defined) {
      EXPECT_EQ(a.TextColor, c.Color) << U8(c.Attr);
    }
  }
  auto bg = LoadColors(OneToken(u"backgroundColor='#ECE9D8'"));
  EXPECT_EQ(bg->Token(0)->Attributes.Attrs.AttributesSet, asBackgroundColor);
  EXPECT_EQ(KivRed(bg->Token(0)->Attributes.Attrs.BackgroundColor), 0xECu);
  EXPECT_EQ(KivBlue(bg->Token(0)->Attributes.Attrs.BackgroundColor), 0xD8u);

  for (const char16_t* bad : {u"#GG0000", u"Navyish", u"#1234567"}) {
    EXPECT_EQ(U8(ErrorOf<EKivColorSchemeLoadError>(
                  [&] { LoadColors(OneToken(u"textColor='" + TKivString(bad) + u"'")); })),
              "<Token> node reading error: Invalid color format for attribute 'textColor'\r\nAttributes "
              "document: T")
        << U8(bad);
  }
  EXPECT_EQ(U8(ErrorOf<EKivColorSchemeLoadError>([&] { LoadColors(OneToken(u"backgroundColor='x'")); })),
            "<Token> node reading error: Invalid color format for attribute 'backgroundColor'\r\nAttributes "
            "document: T");
}

TEST(ColorScheme, FontStyles) {
  struct Case {
    const char16_t* Style;
    TKivFontStyles Expected;
  } cases[] = {
      {u"bold, italic, underline, strikeOut", fsBold | fsItalic | fsUnderline | fsStrikeOut},
      {u"bold;italic", fsBold | fsItalic},
      {u"ITALIC  underline", fsItalic | fsUnderline},
  };
  for (const Case& c : cases) {
    auto impl = LoadColors(OneToken(u"fontStyle='" + TKivString(c.Style) + u"'"));
    EXPECT_EQ(impl->Token(0)->Attributes.Attrs.FontStyle, c.Expected) << U8(c.Style);
    EXPECT_EQ(impl->Token(0)->Attributes.Attrs.AttributesSet, asFontStyle);
  }
  EXPECT_EQ(LoadColors(OneToken(u"fontStyle=''"))->Token(0)->Attributes.Attrs.AttributesSet, 0);
  EXPECT_EQ(
      U8(ErrorOf<EKivColorSchemeLoadError>([&] { LoadColors(OneToken(u"fontStyle='bold heavy'")); })),
      "<Token> node reading error: Invalid 'fontStyle' attribute value: heavy\r\nAttributes document: T");
}

TEST(ColorScheme, DocumentErrors) {
  EXPECT_EQ(
      U8(ErrorOf<EKivColorSchemeLoadError>(
          [&] { LoadColors(u"<Attributes><Token name='comment'/><Token name='comment'/></Attributes>"); })),
      "<Token> node reading error: Attribute 'name' of node <Token> or <TokenAlias> should be unique. Found "
      "duplicate: comment\r\nAttributes document: T\r\nAttributes document: T");
  EXPECT_EQ(U8(ErrorOf<EKivColorSchemeLoadError>([&] { LoadColors(u"<Colors/>"); })),
            "Can't find root <Attributes> node.\r\nAttributes document: T");
  EXPECT_EQ(
      U8(ErrorOf<EKivColorSchemeLoadError>([&] { LoadColors(u"<Attributes><Token/></Attributes>"); })),
      "<Token> node reading error: <Token> node should have 'name' attribute\r\nAttributes document: T");
  TParserImpl impl(201, 50);
  TSchemeTexts texts;
  texts.Attach(impl);
  EXPECT_EQ(
      U8(ErrorOf<EKivColorSchemeLoadError>([&] { impl.LoadSchemeDoc(u"S", u"Nope"); })),
      "Error EKivEditDocError on loading color scheme contents. Original message: Can't find color scheme by "
      "name: Nope");
}

TEST(ColorScheme, DecodeTokenXml) {
  IKivXmlDocument doc = LoadXmlDocumentFromXml(
      u"<Token name=' kw ' textColor='Red'><CustomAttributes><a> 1 </a></CustomAttributes>"
      u"<CustomAttributes><b>2</b><a>3</a></CustomAttributes></Token>");
  TKivAttributesHolder attrs;
  TKivString name;
  KivDecodeTokenXML(doc->DocumentElement(), attrs, name);
  EXPECT_EQ(U8(name), "kw");
  EXPECT_EQ(attrs.Attrs.AttributesSet, asTextColor | asCustomAttributes);
  ASSERT_TRUE(attrs.Attrs.CustomAttributes);
  EXPECT_EQ(attrs.Attrs.CustomAttributes, attrs.Custom.get());
  EXPECT_EQ(U8(attrs.Custom->Find(u"a")), "3");  // several blocks add up, the later value wins
  EXPECT_EQ(U8(attrs.Custom->Find(u"b")), "2");
  EXPECT_EQ(U8(ErrorOf<EInvalidArgument>([&] { KivDecodeTokenXML(doc->DocumentElement(), attrs, name); })),
            "Bad argument for KivDecodeTokenXML: CustomAttributes field should be nil");
}

std::shared_ptr<TKivStringHashTable> Table(
    std::initializer_list<std::pair<const char16_t*, const char16_t*>> AItems) {
  auto t = std::make_shared<TKivStringHashTable>();
  for (auto& [k, v] : AItems) t->SetOrAdd(k, v);
  return t;
}

TEST(ColorScheme, MergeAttributes) {
  TKivAttributesHolder base, token;
  base.Attrs.TextColor = KivRGB(255, 0, 0);
  base.Attrs.FontStyle = fsBold;
  base.Attrs.AttributesSet = asTextColor | asFontStyle;
  token.Attrs.BackgroundColor = KivRGB(1, 2, 3);
  token.Attrs.FontStyle = fsItalic;
  token.Attrs.AttributesSet = asBackgroundColor | asFontStyle;
  TKivAttributesHolder m = MergeAttributes(base, false, token);
  EXPECT_EQ(m.Attrs.TextColor, KivRGB(255, 0, 0));
  EXPECT_EQ(m.Attrs.BackgroundColor, KivRGB(1, 2, 3));
  EXPECT_EQ(m.Attrs.FontStyle, fsBold | fsItalic);
  EXPECT_EQ(m.Attrs.AttributesSet, asTextColor | asFontStyle | asBackgroundColor);

  // Custom tables: both, only the token, only the base (shared or copied).
  base.SetCustom(Table({{u"k1", u"a"}, {u"k2", u"b"}}));
  base.Attrs.AttributesSet |= asCustomAttributes;
  token.SetCustom(Table({{u"k2", u"c"}}));
  token.Attrs.AttributesSet |= asCustomAttributes;
  m = MergeAttributes(base, false, token);
  EXPECT_EQ(U8(m.Custom->Find(u"k1")), "a");
  EXPECT_EQ(U8(m.Custom->Find(u"k2")), "c");
  EXPECT_EQ(U8(base.Custom->Find(u"k2")), "b");  // the base's table is untouched
  EXPECT_NE(m.Custom, base.Custom);
  EXPECT_EQ(m.Attrs.CustomAttributes, m.Custom.get());

  TKivAttributesHolder plain;
  EXPECT_EQ(MergeAttributes(plain, false, token).Custom, token.Custom);
  EXPECT_EQ(MergeAttributes(base, false, plain).Custom, base.Custom);
  TKivAttributesHolder copied = MergeAttributes(base, true, plain);
  EXPECT_NE(copied.Custom, base.Custom);
  EXPECT_EQ(U8(copied.Custom->Find(u"k1")), "a");

  // An undefined base style counts as none; an undefined token style keeps the base's.
  TKivAttributesHolder noStyle;
  noStyle.Attrs.FontStyle = fsUnderline;  // not defined
  EXPECT_EQ(MergeAttributes(noStyle, false, token).Attrs.FontStyle, fsItalic);

  TKivAttributesHolder dest;
  AssignAttributes(dest, base, true);
  EXPECT_NE(dest.Custom, base.Custom);
  EXPECT_EQ(dest.Attrs.AttributesSet, base.Attrs.AttributesSet);
  AssignAttributes(dest, base, false);
  EXPECT_EQ(dest.Custom, base.Custom);
  ClearAttributes(dest);
  EXPECT_EQ(dest.Attrs.AttributesSet, 0);
  EXPECT_EQ(dest.Attrs.CustomAttributes, nullptr);
}

TEST(ColorScheme, DemoSchemeTokenIds) {
  auto impl = LoadColors(KivDemoColorScheme().Text);
  EXPECT_EQ(impl->TokenCount(), 45);
  const std::pair<const char16_t*, Integer> ids[] = {{u"default", 0}, {u"comment", 8}, {u"keyword", 11},
                                                     {u"symbol", 16}, {u"string", 17}, {u"xmlDeclEnd", 44}};
  for (auto& [name, id] : ids) {
    ASSERT_TRUE(impl->FindToken(name)) << U8(name);
    EXPECT_EQ(impl->FindToken(name)->ID, id) << U8(name);
    EXPECT_EQ(impl->FindToken(name)->DefaultContentID, id) << U8(name);
  }
  const TKivEditAttributes& hairy = impl->FindToken(u"hairy")->Attributes.Attrs;
  EXPECT_EQ(hairy.TextColor, KivRGB(0, 0, 0x80));
  EXPECT_EQ(hairy.FontStyle, fsBold | fsItalic | fsUnderline | fsStrikeOut);
  EXPECT_EQ(impl->FindToken(u"cssUrlAttr")->Attributes.Attrs.AttributesSet, 0);
}

}  // namespace

// The colour scheme editor's model without widgets: loading (empty texts, errors that leave the
// working copy alone), what a touched token is written as, untouched tokens keeping their texts,
// and the names of tokens and custom attributes.
#include <gtest/gtest.h>

#include "KivSedColorSchemeModel.h"

namespace {

const char16_t* const kScheme =
    u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    u"<Attributes>\n"
    u"\t<Token name=\"default\" textColor=\"#0\"/>\n"
    u"\t<Token name=\"defaultEmbed\" backgroundColor=\"#ECE9D8\"/>\n"
    u"\t<Token name=\"keyword\" fontStyle=\"bold\"/>\n"
    u"\t<Token name=\"hairy\" textColor=\"#000080\" fontStyle=\"bold, italic, underline, strikeOut\"/>\n"
    u"\t<Token name=\"badPreprocessor\" textColor=\"red\"/>\n"
    u"</Attributes>\n";

TKivString Attr(const TKivColorSchemeModel& AModel, TKivStringView AToken, TKivStringView AAttr) {
  IKivXmlElement node = AModel.FindTokenNode(AToken);
  return node ? node->ReadAttrText(AAttr, u"<none>") : u"<no token>";
}

// The XML of every token but ASkip, in order.
std::vector<TKivString> OtherTokens(const TKivColorSchemeModel& AModel, TKivStringView ASkip) {
  std::vector<TKivString> res;
  for (const TKivString& name : AModel.TokenNames())
    if (name != ASkip) res.push_back(AModel.FindTokenNode(name)->ToXml());
  return res;
}

TKivEditAttributes Attrs(TKivEditAttributesSet ASet, TKivColor AText = 0, TKivColor ABack = 0,
                         TKivFontStyles AStyle = 0) {
  TKivEditAttributes a;
  a.AttributesSet = ASet;
  a.TextColor = AText;
  a.BackgroundColor = ABack;
  a.FontStyle = AStyle;
  return a;
}

TEST(ColorSchemeModel, EmptyTextOpensEmptyAndStoresEmptyUntilATokenIsAdded) {
  for (const char16_t* text : {u"", u"  \r\n\t "}) {
    TKivColorSchemeModel model(u"default");
    model.LoadSchemeText(text);
    EXPECT_TRUE(model.DocWasEmpty());
    EXPECT_EQ(model.TokenCount(), 0);
    EXPECT_EQ(model.StoreText(), u"");
    EXPECT_EQ(model.AddToken(u"  kw "), u"kw");
    const TKivString expected =
        LoadXmlDocumentFromXml(u"<?xml version=\"1.0\" encoding=\"UTF-8\"?><Attributes><Token name=\"kw\"/></Attributes>")
            ->ToXml();
    EXPECT_EQ(model.StoreText(), expected);
    model.RemoveToken(u"kw");
    EXPECT_EQ(model.StoreText(), u"");
  }
  // A scheme that was not empty is stored also without tokens.
  TKivColorSchemeModel model(u"x");
  model.LoadSchemeText(u"<Attributes><Token name=\"a\"/></Attributes>");
  model.RemoveToken(u"a");
  EXPECT_EQ(model.StoreText(), model.SchemeXml());
  EXPECT_NE(model.StoreText(), u"");
}

TEST(ColorSchemeModel, TokensListedInDocumentOrderAndDecoded) {
  TKivColorSchemeModel model(u"default");
  model.LoadSchemeText(kScheme);
  EXPECT_FALSE(model.DocWasEmpty());
  EXPECT_EQ(model.TokenNames(),
            (std::vector<TKivString>{u"default", u"defaultEmbed", u"keyword", u"hairy", u"badPreprocessor"}));
  const TKivAttributesHolder hairy = model.DecodeToken(u"hairy");
  EXPECT_EQ(hairy.Attrs.AttributesSet, asTextColor | asFontStyle);
  EXPECT_EQ(ColorItemText(hairy.Attrs.TextColor).Text, u"Navy");
  EXPECT_EQ(hairy.Attrs.FontStyle, fsBold | fsItalic | fsUnderline | fsStrikeOut);
  EXPECT_THROW(model.DecodeToken(u"Hairy"), EInvalidArgument);
}

TEST(ColorSchemeModel, TouchedTokenIsRewrittenOthersKeepTheirTexts) {
  TKivColorSchemeModel model(u"default");
  model.LoadSchemeText(kScheme);
  const auto before = OtherTokens(model, u"hairy");
  TKivAttributesHolder hairy = model.DecodeToken(u"hairy");
  hairy.Attrs.FontStyle &= static_cast<TKivFontStyles>(~fsBold);
  model.UpdateToken(u"hairy", hairy.Attrs);
  EXPECT_EQ(Attr(model, u"hairy", u"textColor"), u"Navy");
  EXPECT_EQ(Attr(model, u"hairy", u"fontStyle"), u"italic underline strikeOut");
  EXPECT_EQ(OtherTokens(model, u"hairy"), before);
  EXPECT_NE(model.SchemeXml().find(u"\"#ECE9D8\""), TKivString::npos);
  EXPECT_NE(model.SchemeXml().find(u"\"red\""), TKivString::npos);
}

TEST(ColorSchemeModel, WriteTokenNodeForms) {
  struct TCase {
    TKivEditAttributes Attrs;
    const char16_t* Text;
    const char16_t* Back;
    const char16_t* Style;
  };
  const TKivColor rgb123456 = KivRGB(0x12, 0x34, 0x56);
  const TCase cases[] = {
      {Attrs(asFontStyle, 0, 0, fsItalic | fsBold), u"<none>", u"<none>", u"italic bold"},
      {Attrs(asFontStyle, 0, 0, 0), u"<none>", u"<none>", u""},
      {Attrs(asFontStyle, 0, 0, fsStrikeOut | fsUnderline | fsBold | fsItalic), u"<none>", u"<none>",
       u"italic bold underline strikeOut"},
      {Attrs(asTextColor, rgb123456), u"#123456", u"<none>", u"<none>"},
      {Attrs(asTextColor, KivRGB(0, 0x80, 0x80)), u"Teal", u"<none>", u"<none>"},
      {Attrs(asBackgroundColor, 0, KivRGB(0xEC, 0xE9, 0xD8)), u"<none>", u"#ECE9D8", u"<none>"},
      {Attrs(asBackgroundColor | asTextColor, KivRGB(255, 0, 0), KivRGB(0xFF, 0xFF, 0xFF)), u"Red", u"White",
       u"<none>"},
      {Attrs(0), u"<none>", u"<none>", u"<none>"},
  };
  for (const TCase& c : cases) {
    TKivColorSchemeModel model(u"s");
    model.LoadSchemeText(u"<Attributes><Token name=\"t\" textColor=\"Blue\" backgroundColor=\"Red\" "
                         u"fontStyle=\"bold\"><CustomAttributes><a>1</a></CustomAttributes></Token></Attributes>");
    model.UpdateToken(u"t", c.Attrs);
    SCOPED_TRACE(KivToUtf8(model.SchemeXml()));
    EXPECT_EQ(Attr(model, u"t", u"textColor"), c.Text);
    EXPECT_EQ(Attr(model, u"t", u"backgroundColor"), c.Back);
    EXPECT_EQ(Attr(model, u"t", u"fontStyle"), c.Style);
    EXPECT_FALSE(model.FindTokenNode(u"t")->FirstChildElementNamed(u"CustomAttributes"));
    // What was written reads back as written.
    const TKivAttributesHolder back = model.DecodeToken(u"t");
    const TKivEditAttributesSet colours = asTextColor | asBackgroundColor;
    EXPECT_EQ(back.Attrs.AttributesSet & colours, c.Attrs.AttributesSet & colours);
    if (c.Attrs.FontStyle) {
      EXPECT_EQ(back.Attrs.FontStyle, c.Attrs.FontStyle);
    }
  }
}

TEST(ColorSchemeModel, CustomAttributesWrittenInNameOrderAndNamesChecked) {
  TKivColorSchemeModel model(u"s");
  model.LoadSchemeText(u"<Attributes><Token name=\"t\"/></Attributes>");
  TKivStringHashTable table;
  for (const char16_t* name : {u"zeta", u"indent", u"b", u"a_1", u"tab"}) table.SetOrAdd(name, TKivString(name) + u"!");
  TKivEditAttributes attrs = Attrs(asCustomAttributes);
  attrs.CustomAttributes = &table;
  model.UpdateToken(u"t", attrs);
  EXPECT_EQ(model.FindTokenNode(u"t")->ToXml(),
            LoadXmlDocumentFromXml(u"<Token name=\"t\"><CustomAttributes><a_1>a_1!</a_1><b>b!</b><indent>indent!</indent>"
                                   u"<tab>tab!</tab><zeta>zeta!</zeta></CustomAttributes></Token>")
                ->DocumentElement()
                ->ToXml());
  const TKivAttributesHolder back = model.DecodeToken(u"t");
  ASSERT_TRUE(back.Custom);
  EXPECT_EQ(back.Custom->Find(u"indent"), u"indent!");

  // A name that is not an XML name changes nothing.
  const TKivString before = model.SchemeXml();
  for (const char16_t* bad : {u"1x", u"a b", u"", u"-x"}) {
    TKivStringHashTable badTable;
    badTable.SetOrAdd(u"fine", u"1");
    badTable.SetOrAdd(bad, u"2");
    TKivEditAttributes badAttrs = Attrs(asCustomAttributes | asTextColor, KivRGB(255, 0, 0));
    badAttrs.CustomAttributes = &badTable;
    try {
      model.UpdateToken(u"t", badAttrs);
      ADD_FAILURE() << "accepted " << KivToUtf8(bad);
    } catch (const EKivError& e) {
      EXPECT_EQ(e.Message(), u"Custom attribute name should be a valid XML name");
    }
    EXPECT_EQ(model.SchemeXml(), before);
  }
}

TEST(ColorSchemeModel, ColorItemTextNamesOnlyTheSixteen) {
  EXPECT_EQ(ColorItemText(KivRGB(0, 0, 0x80)).Text, u"Navy");
  EXPECT_TRUE(ColorItemText(KivRGB(0, 0, 0x80)).Named);
  EXPECT_EQ(ColorItemText(KivRGB(0xC0, 0xDC, 0xC0)).Text, u"#C0DCC0");  // MoneyGreen is not offered
  EXPECT_FALSE(ColorItemText(KivRGB(0xC0, 0xDC, 0xC0)).Named);
  EXPECT_EQ(ColorItemText(KivRGB(0xab, 0xcd, 0xef)).Text, u"#ABCDEF");
  for (const auto& named : kivSchemeNamedColors) {
    TKivColor c = 0;
    ASSERT_TRUE(TextToColor(named.Name, c));
    EXPECT_EQ(c, named.Value);
    EXPECT_EQ(ColorItemText(c).Text, named.Name);
  }
}

TEST(ColorSchemeModel, LoadErrorsKeepTheWorkingCopy) {
  TKivColorSchemeModel model(u"default");
  model.LoadSchemeText(kScheme);
  const TKivString before = model.SchemeXml();
  for (const char16_t* bad : {u"<foo/>", u"<Attributes><Token/></Attributes>", u"<Attributes", u"not xml",
                              u"<Attributes><Token name=\"a\" textColor=\"nocolour\"/></Attributes>",
                              u"<Attributes><Token name=\"a\" fontStyle=\"heavy\"/></Attributes>"}) {
    SCOPED_TRACE(KivToUtf8(bad));
    try {
      model.LoadSchemeText(bad);
      ADD_FAILURE() << "loaded";
    } catch (const EKivEditBadColorSchemeXml& e) {
      EXPECT_EQ(e.Message().rfind(u"Error while loading color scheme 'default': ", 0), 0u) << KivToUtf8(e.Message());
      EXPECT_GT(e.Message().size(), 45u);
    }
    EXPECT_EQ(model.SchemeXml(), before);
    EXPECT_EQ(model.TokenCount(), 5);
    EXPECT_FALSE(model.DocWasEmpty());
  }
}

TEST(ColorSchemeModel, TokenNames) {
  TKivColorSchemeModel model(u"s");
  model.LoadSchemeText(u"<Attributes><Token name=\"keyword\"/><Token name=\"kw\"/></Attributes>");
  const TKivString before = model.SchemeXml();
  auto expectUnique = [&](auto AFn) {
    try {
      AFn();
      ADD_FAILURE() << "accepted";
    } catch (const EKivError& e) {
      EXPECT_EQ(e.Message(), u"Token name should be unique");
    }
    EXPECT_EQ(model.SchemeXml(), before);
  };
  expectUnique([&] { model.AddToken(u" keyword "); });
  expectUnique([&] { model.RenameToken(u"kw", u"keyword"); });
  EXPECT_EQ(model.AddToken(u"  "), u"");
  EXPECT_EQ(model.RenameToken(u"kw", u" "), u"");
  EXPECT_EQ(model.SchemeXml(), before);
  EXPECT_EQ(model.RenameToken(u"kw", u"kw"), u"kw");
  EXPECT_EQ(model.SchemeXml(), before);
  EXPECT_EQ(model.RenameToken(u"kw", u" Keyword "), u"Keyword");  // names compare with case
  EXPECT_EQ(model.TokenNames(), (std::vector<TKivString>{u"keyword", u"Keyword"}));
  EXPECT_THROW(model.RenameToken(u"kw", u"x"), EInvalidArgument);
  EXPECT_THROW(model.RemoveToken(u"kw"), EInvalidArgument);
}

}  // namespace


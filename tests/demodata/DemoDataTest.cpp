// The demo's start-up data: the sample program, the collection of syntax schemes, the colour
// scheme "default", and a document filled with them.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "KivDemoData.h"
#include "KivRegExpr.h"
#include "KivSedDocument.h"
#include "KivXML.h"

namespace {

std::string U8(TKivStringView AText) { return KivToUtf8(AText); }

std::vector<TKivString> Words(const TKivString& ALine) {
  std::vector<TKivString> res;
  TKivString word;
  for (Char c : ALine + u" ") {
    if (c == u' ' || c == u'\t') {
      if (!word.empty()) res.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  return res;
}

IKivXmlDocument Parse(const TKivString& AText) {
  IKivXmlDocument doc = CreateXmlDocument(u"x");
  doc->LoadXml(AText);
  return doc;
}

TEST(DemoSample, HasTheOutlinedShape) {
  const auto& lines = KivDemoSampleLines();
  ASSERT_EQ(lines.size(), 75u);
  EXPECT_EQ(lines[0].rfind(u"/*", 0), 0u) << "title comment first";
  // Lines with trailing spaces and lines with trailing TABs, which special characters show.
  int spaces = 0, tabs = 0, includes = 0, defines = 0;
  for (const auto& line : lines) {
    if (!line.empty() && line.back() == u' ') ++spaces;
    if (!line.empty() && line.back() == u'\t') ++tabs;
    if (line.rfind(u"#include ", 0) == 0) ++includes;
    if (line.rfind(u"#define ", 0) == 0) ++defines;
  }
  EXPECT_GE(spaces, 2);
  EXPECT_GE(tabs, 2);
  EXPECT_EQ(includes, 6);
  EXPECT_EQ(defines, 3) << "the continued macro and the two constants";
  // The text joins the lines with CR LF.
  const TKivString text = KivDemoSampleText();
  EXPECT_EQ(text.substr(0, lines[0].size() + 2), lines[0] + u"\r\n");
  EXPECT_EQ(text.back(), lines.back().back());
}

TEST(DemoSample, MisplacedDefineAndContinuedMacro) {
  const auto& lines = KivDemoSampleLines();
  int misplaced = 0, continued = 0;
  for (const auto& line : lines) {
    const auto pos = line.find(u"#define");
    if (pos != TKivString::npos && line.find_first_not_of(u" \t") < pos) ++misplaced;
    if (!line.empty() && line.back() == u'\\') ++continued;
  }
  EXPECT_EQ(misplaced, 1);
  EXPECT_EQ(continued, 3) << "a macro over four lines";
}

// The main window reports a word (split at spaces and TABs only) under a click when it matches
// one of these expressions; the sample's address lines must keep words of those forms.
TEST(DemoSample, AddressLinesMatchTheLinkExpressions) {
  const TKivString email =
      u"(?ix) (mailto:)? ([_a-z \\d    \\-    \\.]+?  @  ( [_a-z   \\d    \\-]+?  (\\. [_a-z\\d\\-]+ )+?  )?)";
  const TKivString link =
      u"(?ix)  ( ftp | http )s? ://  ( [ _ a-z \\d \\- ]+  (\\.  [_ a-z \\d \\- ]+ ) +  )  "
      u"( (/ [ _ a-z \\d \\- \\\\ \\. ] + ) + ) * ";
  ASSERT_EQ(email.size(), 93u);
  ASSERT_EQ(link.size(), 115u);
  std::vector<TKivString> emails, links;
  for (const auto& line : KivDemoSampleLines())
    for (const auto& word : Words(line)) {
      if (RegExprExec(email, word))
        emails.push_back(word);
      else if (RegExprExec(link, word))
        links.push_back(word);
    }
  ASSERT_EQ(links.size(), 1u);
  EXPECT_EQ(U8(links[0]), "http://www.vornish.example.com/demo/barchart.html");
  ASSERT_EQ(emails.size(), 1u);
  EXPECT_EQ(U8(emails[0]), "support@vornish.example.com");
}

TEST(DemoSchemes, CollectionOrderAndDocuments) {
  std::vector<std::string> names;
  for (const auto& scheme : KivDemoSyntaxSchemes()) names.push_back(U8(scheme.Name));
  EXPECT_EQ(names, (std::vector<std::string>{"ASP_JS", "ASP_VB", "C", "CPP", "CSS", "DFM", "HTML", "JavaScript", "Lua",
                                             "Pascal", "Perl", "PHP", "Python", "Rexx", "SQL", "TCL", "Text", "VB",
                                             "XML"}));
  for (const auto& scheme : KivDemoSyntaxSchemes()) {
    SCOPED_TRACE(U8(scheme.Name));
    IKivXmlDocument doc = Parse(scheme.Text);
    IKivXmlElement list = doc->DocumentElement();
    ASSERT_TRUE(list);
    EXPECT_EQ(U8(list->NodeName()), "SchemeList");
    const TKivString root = list->ReadAttrText(u"root");
    ASSERT_FALSE(root.empty());
    bool found = false;
    for (Integer i = 0; i < list->ChildCount(); ++i) {
      IKivXmlElement el = list->ChildNodes()->Item(i)->AsElement();
      if (el && el->NodeName() == u"Scheme" && el->ReadAttrText(u"name") == root) found = true;
    }
    EXPECT_TRUE(found) << "root scheme " << U8(root);
  }
  EXPECT_NE(KivDemoFindSyntaxScheme(u"PHP"), nullptr);
  EXPECT_EQ(KivDemoFindSyntaxScheme(u"php"), nullptr);
  EXPECT_EQ(KivDemoFindSyntaxScheme(u"Java"), nullptr);
}

// Names of the colour scheme's tokens, in document order.
std::vector<TKivString> ColorTokenNames() {
  std::vector<TKivString> res;
  IKivXmlDocument doc = Parse(KivDemoColorScheme().Text);
  IKivXmlNodeList tokens = doc->DocumentElement()->ChildElementsNamed(u"Token");
  for (Integer i = 0; i < tokens->Count(); ++i) res.push_back(tokens->Item(i)->AsElement()->ReadAttrText(u"name"));
  return res;
}

TEST(DemoColorScheme, TokensInOrderWithTheirIds) {
  EXPECT_EQ(U8(KivDemoColorScheme().Name), "default");
  const auto names = ColorTokenNames();
  ASSERT_EQ(names.size(), 45u);
  // A token's ID is its position in the colour scheme.
  const std::vector<std::pair<int, std::string>> ids{{0, "default"},  {1, "defaultEmbed"}, {7, "docDefault"},
                                                     {8, "comment"},  {11, "keyword"},     {14, "hairy"},
                                                     {16, "symbol"}, {17, "string"},      {21, "preprocessor"},
                                                     {27, "tagOpen"}, {39, "cssUrlAttr"},  {44, "xmlDeclEnd"}};
  for (const auto& [id, name] : ids) EXPECT_EQ(U8(names[size_t(id)]), name) << id;
}

TEST(DemoColorScheme, TextLayout) {
  const auto lines = KivSplitLines(KivDemoColorScheme().Text);
  ASSERT_GE(lines.size(), 48u);
  EXPECT_EQ(U8(lines[0]), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
  int tokenLines = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    const auto& line = lines[i];
    if (line.find(u"<Token ") == TKivString::npos) continue;
    ++tokenLines;
    EXPECT_TRUE(line.size() > 1 && line[0] == u'\t' && line[1] == u'<') << U8(line);
    if (line.find(u"\"tagOpen\"") != TKivString::npos) {
      EXPECT_EQ(U8(lines[i - 1]), "\t<!-- html/xml tokens -->");
    }
  }
  EXPECT_EQ(tokenLines, 45);
  IKivXmlDocument doc = Parse(KivDemoColorScheme().Text);
  IKivXmlElement hairy = doc->DocumentElement()->FirstChildElementWithAttr(u"Token", u"name", u"hairy");
  ASSERT_TRUE(hairy);
  EXPECT_EQ(U8(hairy->ReadAttrText(u"textColor")), "#000080");
  EXPECT_EQ(U8(hairy->ReadAttrText(u"fontStyle")), "bold, italic, underline, strikeOut");
  IKivXmlElement attr = doc->DocumentElement()->FirstChildElementWithAttr(u"Token", u"name", u"cssUrlAttr");
  ASSERT_TRUE(attr);
  EXPECT_EQ(attr->AttrCount(), 1) << "no attributes but its name";
}

// Every token a syntax scheme names is a token of the colour scheme, an alias the same document
// declares, or "id" (the keyword rule's other words): a misspelt name would go uncoloured.
void CollectTokenNames(const IKivXmlElement& AEl, std::set<TKivString>& AUsed) {
  for (Integer i = 0; i < AEl->AttrCount(); ++i) {
    const TKivString name = AEl->AttrNameAt(i);
    const bool isToken = name == u"defaultToken" || name == u"baseToken" || name.rfind(u"token", 0) == 0 ||
                         name.rfind(u"start_token", 0) == 0 || name.rfind(u"end_token", 0) == 0;
    if (!isToken) continue;
    TKivString value = AEl->AttrTextAt(i);
    for (Char& c : value)
      if (c == u',' || c == u';' || c == u'\t') c = u' ';
    for (const auto& word : Words(value)) AUsed.insert(word);
  }
  for (Integer i = 0; i < AEl->ChildCount(); ++i)
    if (IKivXmlElement child = AEl->ChildNodes()->Item(i)->AsElement()) CollectTokenNames(child, AUsed);
}

TEST(DemoSchemes, NameOnlyKnownTokens) {
  std::set<TKivString> known;
  for (const auto& name : ColorTokenNames()) known.insert(name);
  known.insert(u"id");
  for (const auto& scheme : KivDemoSyntaxSchemes()) {
    SCOPED_TRACE(U8(scheme.Name));
    IKivXmlDocument doc = Parse(scheme.Text);
    std::set<TKivString> allowed = known;
    IKivXmlNodeList aliases = doc->DocumentElement()->ChildElementsNamed(u"TokenAlias");
    for (Integer i = 0; i < aliases->Count(); ++i) allowed.insert(aliases->Item(i)->AsElement()->ReadAttrText(u"name"));
    std::set<TKivString> used;
    CollectTokenNames(doc->DocumentElement(), used);
    EXPECT_FALSE(used.empty());
    for (const auto& name : used) EXPECT_TRUE(allowed.count(name)) << "unknown token " << U8(name);
  }
}

TEST(DemoDocument, FilledAsAtStartUp) {
  TKivEditDocument doc;
  KivDemoFillDocument(doc);
  EXPECT_EQ(doc.LinesCount(), 75);
  EXPECT_EQ(doc.Text(), KivDemoSampleText());
  EXPECT_FALSE(doc.Modified());
  EXPECT_FALSE(doc.CanUndo());
  ASSERT_EQ(doc.SyntaxSchemes().Count(), 19);
  for (Integer i = 0; i < 19; ++i) {
    EXPECT_EQ(doc.SyntaxSchemes()[i].Name(), KivDemoSyntaxSchemes()[size_t(i)].Name);
    EXPECT_EQ(KivSplitLines(doc.SyntaxSchemes()[i].Scheme().Text()), KivSplitLines(KivDemoSyntaxSchemes()[size_t(i)].Text))
        << U8(KivDemoSyntaxSchemes()[size_t(i)].Name);
  }
  ASSERT_EQ(doc.ColorSchemes().Count(), 1);
  EXPECT_EQ(U8(doc.ColorSchemes()[0].Name()), "default");
  EXPECT_EQ(U8(doc.ActiveSyntaxScheme()), "C");
  EXPECT_EQ(U8(doc.ActiveColorScheme()), "default");
  // Filling again replaces the items instead of adding to them.
  KivDemoFillDocument(doc);
  EXPECT_EQ(doc.SyntaxSchemes().Count(), 19);
  EXPECT_EQ(doc.ColorSchemes().Count(), 1);
}

}  // namespace

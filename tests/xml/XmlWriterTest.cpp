// The writer: the exact output form, escaping, refusals, and ToXml -> LoadXml -> ToXml fixed points.
#include <gtest/gtest.h>

#include <random>

#include "KivTestSeed.h"
#include "XmlTestUtils.h"

namespace {

IKivXmlDocument SmallDocument() {
  IKivXmlDocument doc = CreateXmlDocument({}, u"1.0", {}, true, new TKivXmlNameTable(64));
  auto root = doc->NewDocument(u"1.0", u"UTF-8", u"R");
  root->AppendNewElement(u"A")->WriteAttrInt(u"x", 1);
  root->AppendNewElement(u"B")->SetText(u"t");
  return doc;
}

TEST(XmlWriter, IndentedFormOfASmallDocument) {
  IKivXmlDocument doc = SmallDocument();
  EXPECT_EQ(U8(doc->ToXml()),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<R>\r\n\t<A x=\"1\"/>\r\n\t<B>t</B>\r\n</R>");
  EXPECT_EQ(doc->BOM(), bomUTF8);
  // The same document as stored, when white space is preserved.
  doc->SetPreserveWhiteSpace(true);
  EXPECT_EQ(U8(doc->ToXml()), "<?xml version=\"1.0\" encoding=\"UTF-8\"?><R><A x=\"1\"/><B>t</B></R>");
  // A node on its own starts on a new line at depth 0.
  doc->SetPreserveWhiteSpace(false);
  EXPECT_EQ(U8(doc->DocumentElement()->ChildNodes()->Item(1)->ToXml()), "\r\n<B>t</B>");
}

TEST(XmlWriter, DefaultDeclarationAndTextWithLineBreaks) {
  IKivXmlDocument doc = CreateXmlDocument({}, u"1.0", {}, true, new TKivXmlNameTable(64));
  auto root = doc->NewDocument(u"1.0", {}, u"r");
  root->AppendNewElement(u"multi")->SetText(u"a\r\nb");
  root->AppendNewElement(u"ends")->AppendNewText(u"x");
  EXPECT_EQ(doc->BOM(), bomNone);
  EXPECT_EQ(U8(doc->ToXml()),
            "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<r>\r\n\t<multi>a&#13;\nb\r\n\t</multi>"
            "\r\n\t<ends>x</ends>\r\n</r>");
  ExpectFixedPoint(doc);
}

TEST(XmlWriter, Escaping) {
  IKivXmlDocument doc = NewTestDoc(true);
  auto e = doc->AppendNewElement(u"e");
  e->SetText(u"a<b>&\"c'");
  e->WriteAttrText(u"v", u"<'\">&");
  EXPECT_EQ(U8(doc->ToXml()), "<e v=\"&lt;'&quot;&gt;&amp;\">a&lt;b&gt;&amp;&quot;c'</e>");
  // Trailing white space, which the parser would trim, and lone surrogates are references.
  e->SetText(TKivString(u"x \t") + char16_t(0xD800));
  EXPECT_EQ(U8(doc->ToXml()), "<e v=\"&lt;'&quot;&gt;&amp;\">x \t&#55296;</e>");
  e->SetText(u"x  ");
  EXPECT_EQ(U8(e->ToXml()), "<e v=\"&lt;'&quot;&gt;&amp;\">x&#32;&#32;</e>");
}

// Any XML reader turns CR LF and a lone CR into LF, and TAB, LF and CR in attribute values into
// spaces: written as references they read back as they were, here and elsewhere.
TEST(XmlWriter, LineBreaksAndTabsThatReadersWouldNormaliseAreReferences) {
  for (bool preserve : {true, false}) {
    IKivXmlDocument doc = NewTestDoc(preserve);
    auto e = doc->AppendNewElement(u"e");
    e->WriteAttrText(u"v", u"a\tb\nc\rd\r\ne f");
    e->SetText(u"1\r2\r\n3\n4\t5");
    EXPECT_EQ(U8(e->ToXml()).substr(preserve ? 0 : 2),
              "<e v=\"a&#9;b&#10;c&#13;d&#13;&#10;e f\">1&#13;2&#13;\n3\n4\t5" +
                  std::string(preserve ? "" : "\r\n") + "</e>");
    IKivXmlDocument back = ParseXml(doc->ToXml(), preserve);
    EXPECT_EQ(back->DocumentElement()->ReadAttrText(u"v"), u"a\tb\nc\rd\r\ne f");
    EXPECT_EQ(back->DocumentElement()->Text(), u"1\r2\r\n3\n4\t5");
  }
}

TEST(XmlWriter, CDATAHoldingTheTerminatorIsSplit) {
  IKivXmlDocument doc = NewTestDoc(true);
  auto e = doc->AppendNewElement(u"e");
  e->AppendNewCDATA(u"a]]>b]]>");
  EXPECT_EQ(U8(doc->ToXml()), "<e><![CDATA[a]]]]><![CDATA[>b]]]]><![CDATA[>]]></e>");
  IKivXmlDocument back = ParseXml(doc->ToXml(), true);
  EXPECT_EQ(back->DocumentElement()->Text(), u"a]] >b]] >");  // sections joined by a space
  TKivString joined;
  for (Integer i = 0; i < back->DocumentElement()->ChildCount(); ++i)
    joined += back->DocumentElement()->ChildNodes()->Item(i)->AsCDATASection()->Data();
  EXPECT_EQ(joined, u"a]]>b]]>");
  // PutCDATA splits the same way.
  e->PutCDATA(u"x]]>y");
  ASSERT_EQ(e->ChildCount(), 2);
  EXPECT_EQ(e->ChildNodes()->Item(0)->AsCDATASection()->Data(), u"x]]");
  EXPECT_EQ(e->ChildNodes()->Item(1)->AsCDATASection()->Data(), u">y");
}

TEST(XmlWriter, RefusesWhatCannotBeReadBack) {
  struct TCase {
    std::function<void(const IKivXmlDocument&)> Build;
    const char* Message;
  };
  const TCase cases[] = {
      {[](auto& d) { d->AppendNewElement(u"1a"); },
       "Cannot write the element name \"1a\": it is not a valid XML name"},
      {[](auto& d) { d->AppendNewElement(u"a b"); },
       "Cannot write the element name \"a b\": it is not a valid XML name"},
      {[](auto& d) { d->AppendNewElement(u"a")->WriteAttrText(u"x=", u"1"); },
       "Cannot write the attribute name \"x=\": it is not a valid XML name"},
      {[](auto& d) { d->AppendNewComment(u"a--b"); },
       "Cannot write the comment \"a--b\": a comment cannot contain \"--\" or end with \"-\""},
      {[](auto& d) { d->AppendNewComment(u"a-"); },
       "Cannot write the comment \"a-\": a comment cannot contain \"--\" or end with \"-\""},
      {[](auto& d) { d->AppendNewInstruction(u"pi", u"a?>b"); },
       "Cannot write the processing instruction \"pi\": its data contains \"?>\""},
      {[](auto& d) { d->AppendNewInstruction(u"xml", u"version"); },
       "Cannot write the XML declaration \"version\": its data is not a list of attributes"},
      {[](auto& d) { d->AppendNewInstruction(u"9", u""); },
       "Cannot write the processing instruction name \"9\": it is not a valid XML name"},
  };
  for (const auto& c : cases) {
    IKivXmlDocument doc = NewTestDoc();
    c.Build(doc);
    EXPECT_EQ(ErrorOf([&] { doc->ToXml(); }), c.Message);
    EXPECT_THROW(doc->ToXml(), EInvalidArgument);
  }
}

TEST(XmlWriter, IndentationDepthIsNotLeftRaisedByAFailedWrite) {
  IKivXmlDocument doc = SmallDocument();
  TKivString before = doc->ToXml();
  auto bad = doc->DocumentElement()->AppendNewElement(u"ok")->AppendNewElement(u"in valid");
  EXPECT_THROW(doc->ToXml(), EInvalidArgument);
  doc->DocumentElement()->RemoveChild(bad->ParentNode());
  EXPECT_EQ(U8(doc->ToXml()), U8(before));
}

TEST(XmlWriter, TooDeepATreeIsRefused) {
  IKivXmlDocument doc = NewTestDoc();
  IKivXmlNode node = doc;
  for (int i = 0; i < KivXmlMaxDepth; ++i) node = node->AppendNewElement(u"a");
  EXPECT_NO_THROW(doc->ToXml());
  node->AppendNewElement(u"a");
  EXPECT_THROW(doc->ToXml(), EInvalidArgument);
}

// Every document built here writes, reads back and writes the same text again.
TEST(XmlWriter, ToXmlIsAFixedPointOnBuiltDocuments) {
  for (bool preserve : {false, true}) {
    SCOPED_TRACE(preserve ? "preserved" : "indented");
    IKivXmlDocument doc = CreateXmlDocument({}, u"1.0", {}, true, new TKivXmlNameTable(64));
    doc->SetPreserveWhiteSpace(preserve);
    auto root = doc->NewDocument(u"1.0", u"UTF-8", u"scheme");
    root->WriteAttrText(u"name", u"C & \"C++\"");
    root->WriteAttrBool(u"on", true);
    root->WriteAttrFloat(u"f", 0.1);
    root->WriteAttrHex(u"color", 0xFF00A0, 6);
    root->WriteAttrDateTime(u"when", KivEncodeDateTime(2024, 2, 29, 13, 5, 9));
    root->AppendNewComment(u" a comment ");
    auto item = root->AppendNewElement(u"item");
    item->SetText(u"  leading and trailing  ");
    root->AppendNewElement(u"blank")->SetText(u"   ");
    root->AppendNewElement(u"empty")->SetText(u"");
    root->AppendNewElement(u"lines")->SetText(u"one\r\ntwo\r\n");
    root->AppendNewElement(u"lf")->SetText(u"one\ntwo");
    auto mixed = root->AppendNewElement(u"mixed");
    mixed->AppendNewText(u"before ");
    mixed->AppendNewElement(u"b")->SetText(u"bold");
    mixed->AppendNewText(u" after\t");
    mixed->AppendNewCDATA(u"x]]>y <z>");
    mixed->AppendNewInstruction(u"pi", u"data");
    root->AppendNewElement(u"bytes")->PutBase64(reinterpret_cast<const uint8_t*>("binary\0data"), 11, 4);
    root->AppendNewElement(u"unicode")->SetText(u"\u0416 \U0001F600 \u00e9");
    auto deep = root->AppendNewElement(u"d1")->AppendNewElement(u"d2")->AppendNewElement(u"d3");
    deep->WriteAttrText(u"v", u"tab\there");
    deep->SetNodeValue(TKivVariant(int64_t(42)));
    TKivString text = ExpectFixedPoint(doc);
    // And the tree read back holds the same texts.
    IKivXmlDocument back = ParseXml(text, preserve);
    auto r = back->DocumentElement();
    EXPECT_EQ(r->ReadAttrText(u"name"), u"C & \"C++\"");
    EXPECT_EQ(r->FirstChildElementNamed(u"item")->Text(), u"  leading and trailing  ");
    EXPECT_EQ(r->FirstChildElementNamed(u"blank")->Text(), u"   ");
    EXPECT_EQ(r->FirstChildElementNamed(u"lines")->Text(), u"one\r\ntwo\r\n");
    EXPECT_EQ(r->FirstChildElementNamed(u"unicode")->Text(), u"\u0416 \U0001F600 \u00e9");
    EXPECT_EQ(r->FirstChildElementNamed(u"bytes")->ReadBase64(),
              std::vector<uint8_t>(reinterpret_cast<const uint8_t*>("binary\0data"),
                                   reinterpret_cast<const uint8_t*>("binary\0data") + 11));
    EXPECT_EQ(r->ReadAttrDateTime(u"when"), KivEncodeDateTime(2024, 2, 29, 13, 5, 9));
    EXPECT_EQ(r->ReadAttrHex(u"color"), 0xFF00A0);
    EXPECT_EQ(r->ReadAttrFloat(u"f"), 0.1);
  }
}

// Random trees of every node kind: each is a fixed point, and reads back to the same text in
// its elements. The seed is printed on failure.
TEST(XmlWriter, RandomTreesAreFixedPoints) {
  const char16_t* names[] = {u"a", u"B", u"long-name.x", u"_u", u"\u0436"};
  const char16_t* texts[] = {u"", u" ", u"x", u"a b", u" lead", u"trail ", u"<&>\"'", u"\r\n", u"]]>", u"\t"};
  KIV_TEST_SEED(base);
  for (unsigned k = 0; k < 200; ++k) {
    SCOPED_TRACE("tree " + std::to_string(k));
    std::mt19937 rng(base + k);
    bool preserve = k % 2 == 0;
    IKivXmlDocument doc = NewTestDoc(preserve);
    std::vector<IKivXmlNode> containers{doc->AppendNewElement(u"root")};
    for (int i = 0; i < 30; ++i) {
      IKivXmlNode parent = containers[rng() % containers.size()];
      const char16_t* text = texts[rng() % 10];
      switch (rng() % 6) {
        case 0:
        case 1: {
          auto e = parent->AppendNewElement(names[rng() % 5]);
          if (rng() % 2) e->WriteAttrText(names[rng() % 5], text);
          containers.push_back(e);
          break;
        }
        case 2:
          parent->AppendNewText(text);
          break;
        case 3:
          parent->AppendNewCDATA(text);
          break;
        case 4:
          parent->AppendNewComment(u" c ");
          break;
        case 5:
          if (parent->NodeType() == ntElement && !parent->HasChildNodes()) parent->SetText(text);
          break;
      }
    }
    ExpectFixedPoint(doc);
  }
}

}  // namespace

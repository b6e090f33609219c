// The parser: structure, entities, white space rules and the exact error messages.
#include <gtest/gtest.h>

#include "XmlTestUtils.h"

namespace {

struct TParseCase {
  const char16_t* Input;
  const char* Tree;  // DumpTree of the document
};

TEST(XmlParser, BuildsTheExpectedTree) {
  const TParseCase cases[] = {
      {u"<a/>", "D\n  E a\n"},
      {u"<a x='1' y = \"2\" />", "D\n  E a x=\"1\" y=\"2\"\n"},
      {u"<a x='1' x='2'/>", "D\n  E a x=\"2\"\n"},  // a repeated attribute overwrites
      {u"<a>&lt;&#65;&#x42;</a>", "D\n  E a\n    T \"<AB\"\n"},
      {u"<a>&amp;&quot;&apos;&gt;</a>", "D\n  E a\n    T \"&\"'>\"\n"},
      {u"<a t='&lt;&#x41;&amp;'/>", "D\n  E a t=\"<A&\"\n"},
      {u"<A></a>", "D\n  E A\n"},  // closing names ignore case
      {u"<a></a  >", "D\n  E a\n"},
      {u"<?xml version=\"1.0\" encoding='UTF-8'?><r/>",
       "D\n  ? xml \"\" version=\"1.0\" encoding=\"UTF-8\"\n  E r\n"},
      {u"<?pi   some data ?><r/>", "D\n  ? pi \"some data \"\n  E r\n"},
      {u"<?pi?><r/>", "D\n  ? pi \"\"\n  E r\n"},
      {u"<r><!-- c - d --></r>", "D\n  E r\n    ! \" c - d \"\n"},
      {u"<r><!----></r>", "D\n  E r\n    ! \"\"\n"},
      {u"<r><![CDATA[<x>]]]]></r>", "D\n  E r\n    C \"<x>]]\"\n"},
      {u"<r><![cdata[x]]></r>", "D\n  E r\n    C \"x\"\n"},  // fixed texts ignore case
      {u"<!DOCTYPE r SYSTEM \"r.dtd\"><r/>", "D\n  E r\n"},
      {u"<!DOCTYPE r [ <!ELEMENT r (#PCDATA)> <!-- > ] --> <!ATTLIST r a CDATA '>'> ]><r/>", "D\n  E r\n"},
      // The internal subset is skipped as a unit, instructions and their apostrophes included.
      {u"<!DOCTYPE r [ <?p ] ?> ]><r>t</r>", "D\n  E r\n    T \"t\"\n"},
      {u"<!DOCTYPE r [ <?p don't ?> ]><r>t</r>", "D\n  E r\n    T \"t\"\n"},
      {u"<!DOCTYPE r [ <!-- don't --> <!ENTITY e \"]>\"> ]><r/>", "D\n  E r\n"},
      {u"<_a.b-c:d/>", "D\n  E _a.b-c:d\n"},
      {u"<\u0436\u0436/>", "D\n  E \u0436\u0436\n"},
      {u"<r>a<b/>c</r>", "D\n  E r\n    T \"a\"\n    E b\n    T \"c\"\n"},
      {u"text<r/>", "D\n  T \"text\"\n  E r\n"},
      {u"", "D\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.Input));
    EXPECT_EQ(DumpTree(ParseXml(c.Input)), c.Tree);
  }
}

TEST(XmlParser, BigCharacterReferencesBecomeSurrogatePairs) {
  IKivXmlDocument doc = ParseXml(u"<a>&#x1F600;&#128512;&#xFFFF;&#0;</a>");
  EXPECT_EQ(doc->DocumentElement()->Text(), (TKivString{0xD83D, 0xDE00, 0xD83D, 0xDE00, 0xFFFF, 0}));
}

struct TErrorCase {
  const char16_t* Input;
  const char* Message;
};

TEST(XmlParser, MalformedInputRaisesTheExactMessage) {
  const TErrorCase cases[] = {
      {u"<", "Setting of element isn't finished"},
      {u"<a", "Setting of element isn't finished"},
      {u"<a x='1'", "Setting of element isn't finished"},
      {u"<a!/>", "Invalid symbol in the element name"},
      {u"<1/>", "Name should began with the letter or symbol \"_\""},
      {u"< a/>", "Name should began with the letter or symbol \"_\""},
      {u"<a 1='x'/>", "Name should began with the letter or symbol \"_\""},
      {u"<a x/>", "Waiting \"=\""},
      {u"<a x=", "Waiting attribute value"},
      {u"<a x=1/>", "Waiting string constant"},
      {u"<a x='1/>", "Waiting \"'\""},
      {u"<a x=\"<\"/>", "Symbol \"<\" cannot used in attribute values"},
      {u"<a/", "Waiting \">\""},
      {u"<a/x", "Waiting \">\""},
      {u"<a>", "Waiting \"</\""},
      {u"<a></b>", "Waiting \"a\""},
      {u"<abc></abd>", "Waiting \"c\""},
      {u"<ab></abc>", "Waiting \">\""},
      {u"<a></a", "Waiting \">\""},
      {u"</a>", "Waiting \"</a>\""},  // a stray closing tag at document level
      {u"<a/></b >", "Waiting \"</b >\""},
      {u"<a>&</a>", "Waiting \"#\" or managing symbol name"},
      {u"<a>&", "Waiting \"#\" or managing symbol name"},
      {u"<a>&#", "Waiting number"},
      {u"<a>&#;</a>", "Waiting number"},
      {u"<a>&#1a;</a>", "Waiting number"},
      {u"<a>&#X41;</a>", "Waiting number"},
      {u"<a>&#x;</a>", "Waiting hexadecimal number"},
      {u"<a>&#xG;</a>", "Waiting hexadecimal number"},
      {u"<a>&#x110000;</a>", "Waiting hexadecimal number"},
      {u"<a>&#1114112;</a>", "Waiting number"},
      {u"<a>&#99999999999999999999;</a>", "Waiting number"},
      {u"<a>&nbsp;</a>", "Incorrect name of a managing symbol"},
      {u"<a>&AMP;</a>", "Incorrect name of a managing symbol"},
      {u"<a>&amp</a>", "Waiting \";\""},
      {u"<?xml version='1'", "Waiting \"?>\""},
      {u"<?xml version='1'?", "Waiting \">\""},  // the expected text from the mismatch on
      {u"<?pi data", "Waiting \"?>\""},
      {u"<?", "Name should began with the letter or symbol \"_\""},
      {u"<!-x-->", "Waiting \"-\""},
      {u"<!-- x", "Waiting \"-->\""},
      {u"<!-- a -- b -->", "Waiting \">\""},  // "--" may only close a comment
      {u"<!-- a --->", "Waiting \">\""},
      {u"<![CDAT", "Waiting \"A[\""},
      {u"<![CDATA[x]>", "Waiting \"]]>\""},
      {u"<!DOCTYP r>", "Waiting \"E\""},
      {u"<!DOCTYPE r", "Waiting \">\""},
      {u"<!DOCTYPE r [ <?p ]><r/>", "Waiting \"?>\""},
      {u"<!", "Waiting \"DOCTYPE\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(U8(c.Input));
    EXPECT_EQ(ErrorOf([&] { ParseXml(c.Input); }), c.Message);
  }
}

TEST(XmlParser, ParseErrorIsAnXmlErrorAndKeepsNodesReadSoFar) {
  IKivXmlDocument doc = NewTestDoc();
  EXPECT_THROW(doc->LoadXml(u"<r><a/><b x='1'/><c>"), EKivXmlError);
  EXPECT_EQ(DumpTree(doc), "D\n  E r\n    E a\n    E b x=\"1\"\n    E c\n");
}

TEST(XmlParser, NestingDeeperThanTheLimitIsAnError) {
  TKivString ok, deep;
  for (int i = 0; i < KivXmlMaxDepth; ++i) ok += u"<a>";
  for (int i = 0; i < KivXmlMaxDepth; ++i) ok += u"</a>";
  EXPECT_NO_THROW(ParseXml(ok));
  for (int i = 0; i < 100000; ++i) deep += u"<a>";
  EXPECT_EQ(ErrorOf([&] { ParseXml(deep); }), "Elements are nested too deeply");
}

TEST(XmlParser, WhiteSpaceNotPreserved) {
  // Blank-only text makes no node; other text loses its trailing white space only.
  IKivXmlDocument doc = ParseXml(u"<r>  <e/>  </r>");
  EXPECT_EQ(DumpTree(doc), "D\n  E r\n    E e\n");
  doc = ParseXml(u"<r>  x  </r>");
  EXPECT_EQ(DumpTree(doc), "D\n  E r\n    T \"  x\"\n");
  doc = ParseXml(u"<r>\r\n\tx\r\n</r>");
  EXPECT_EQ(doc->DocumentElement()->Text(), u"\r\n\tx");
  // Text of a comment or CDATA section is trimmed; its data is not.
  doc = ParseXml(u"<r><!--  c  --><![CDATA[ d ]]></r>");
  auto r = doc->DocumentElement();
  EXPECT_EQ(r->ChildNodes()->Item(0)->Text(), u"c");
  EXPECT_EQ(r->ChildNodes()->Item(0)->AsComment()->Data(), u"  c  ");
  EXPECT_EQ(r->ChildNodes()->Item(1)->Text(), u"d");
}

TEST(XmlParser, WhiteSpacePreserved) {
  // Blank runs become text nodes, emptied by the trailing trim.
  IKivXmlDocument doc = ParseXml(u"<r>  <e/>  </r>", true);
  EXPECT_EQ(DumpTree(doc), "D\n  E r\n    T \"\"\n    E e\n    T \"\"\n");
  doc = ParseXml(u"<r>  x  </r>", true);
  EXPECT_EQ(DumpTree(doc), "D\n  E r\n    T \"  x\"\n");
  doc = ParseXml(u"<r><!--  c  --></r>", true);
  EXPECT_EQ(doc->DocumentElement()->ChildNodes()->Item(0)->Text(), u"  c  ");
}

TEST(XmlParser, WhiteSpaceFromCharacterReferencesIsKept) {
  IKivXmlDocument doc = ParseXml(u"<r>x&#32;&#9;</r><s>&#32;</s>");
  EXPECT_EQ(doc->DocumentElement()->Text(), u"x \t");
  EXPECT_EQ(doc->ChildNodes()->Item(1)->Text(), u" ");
}

TEST(XmlParser, CaseInsensitiveDocumentsShareNameIDs) {
  IKivXmlDocument doc = ParseXml(u"<Root><item/><ITEM/></Root>", false, false);
  auto root = doc->DocumentElement();
  EXPECT_EQ(root->ChildElementsNamed(u"Item")->Count(), 2);
  EXPECT_EQ(root->ChildNodes()->Item(1)->NodeName(), u"item");  // the first spelling
  doc = ParseXml(u"<Root><item/><ITEM/></Root>");
  EXPECT_EQ(doc->DocumentElement()->ChildElementsNamed(u"item")->Count(), 1);
}

}  // namespace

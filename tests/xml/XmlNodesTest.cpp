// The node model: name table, tree editing, lookups, attributes, values and paths.
#include <gtest/gtest.h>

#include "XmlTestUtils.h"

namespace {

TEST(XmlNameTable, InternsNamesAsIDs) {
  IKivXmlNameTable names(new TKivXmlNameTable(4));
  EXPECT_EQ(names->IDToName(KivXmlTextNameID), u"#text");
  EXPECT_EQ(names->IDToName(KivXmlCDATASectionNameID), u"#cdata-section");
  EXPECT_EQ(names->IDToName(KivXmlCommentNameID), u"#comment");
  EXPECT_EQ(names->IDToName(KivXmlDocumentNameID), u"#document");
  EXPECT_EQ(names->IDToName(KivXmlXmlNameID), u"xml");
  EXPECT_EQ(names->XmlID(), KivXmlXmlNameID);
  EXPECT_EQ(names->NameToID(u""), -1);
  Integer a = names->NameToID(u"alpha");
  EXPECT_EQ(a, KivXmlFirstFreeNameID);
  EXPECT_EQ(names->NameToID(u"alpha"), a);
  EXPECT_EQ(names->FindID(u"beta"), -1);
  EXPECT_EQ(names->Count(), 6);  // FindID never interns
  // With 4 buckets many names share one; each keeps its ID.
  std::vector<Integer> ids;
  for (int i = 0; i < 100; ++i)
    ids.push_back(names->NameToID(u"n" + TKivString(1, char16_t(u'0' + i % 10)) +
                                  TKivString(1, char16_t(u'a' + i / 10))));
  for (int i = 0; i < 100; ++i) EXPECT_EQ(names->IDToName(ids[i]).size(), 3u);
  EXPECT_EQ(names->IDToName(-1), u"");
  EXPECT_EQ(names->IDToName(100000), u"");  // an unknown ID gives the empty string
}

TEST(XmlNameTable, CaseInsensitiveTableKeepsTheFirstSpelling) {
  IKivXmlNameTable names(new TKivXmlNameTable(4096, false));
  Integer id = names->NameToID(u"Name");
  EXPECT_EQ(names->NameToID(u"NAME"), id);
  EXPECT_EQ(names->FindID(u"name"), id);
  EXPECT_EQ(names->IDToName(id), u"Name");
  EXPECT_EQ(names->NameToID(u"\u0416\u0436"), names->NameToID(u"\u0436\u0416"));
}

TEST(XmlNameTable, SwitchingTheModeNeverDuplicatesOrLosesNames) {
  IKivXmlNameTable names(new TKivXmlNameTable(4096, true));
  Integer upper = names->NameToID(u"Color");
  Integer lower = names->NameToID(u"color");
  EXPECT_NE(upper, lower);
  names->SetCaseSensitive(false);
  EXPECT_EQ(names->NameToID(u"COLOR"), upper);  // found, not interned again
  Integer count = names->Count();
  Integer added = names->NameToID(u"Style");
  EXPECT_EQ(names->Count(), count + 1);
  names->SetCaseSensitive(true);
  EXPECT_EQ(names->NameToID(u"Color"), upper);
  EXPECT_EQ(names->NameToID(u"color"), lower);
  EXPECT_EQ(names->NameToID(u"Style"), added);
  EXPECT_EQ(names->Count(), count + 1);
}

TEST(XmlNodes, TypesNamesAndInterfaces) {
  IKivXmlDocument doc = NewTestDoc();
  auto e = doc->AppendNewElement(u"e");
  auto t = e->AppendNewText(u"t");
  auto c = e->AppendNewCDATA(u"c");
  auto m = e->AppendNewComment(u"m");
  auto p = e->AppendNewInstruction(u"pi", u"d");
  struct {
    IKivXmlNode Node;
    TKivXmlNodeType Type;
    const char16_t* Name;
  } cases[] = {{e, ntElement, u"e"},
               {t, ntText, u"#text"},
               {c, ntCDATASection, u"#cdata-section"},
               {m, ntComment, u"#comment"},
               {p, ntProcessingInstruction, u"pi"},
               {doc, ntDocument, u"#document"}};
  for (auto& k : cases) {
    EXPECT_EQ(k.Node->NodeType(), k.Type);
    EXPECT_EQ(k.Node->NodeName(), k.Name);
    EXPECT_EQ(bool(k.Node->AsElement()), k.Type == ntElement);
    EXPECT_EQ(bool(k.Node->AsText()), k.Type == ntText);
    EXPECT_EQ(bool(k.Node->AsCDATASection()), k.Type == ntCDATASection);
    EXPECT_EQ(bool(k.Node->AsComment()), k.Type == ntComment);
    EXPECT_EQ(bool(k.Node->AsProcessingInstruction()), k.Type == ntProcessingInstruction);
    EXPECT_EQ(k.Node->OwnerDocument(), doc);
  }
  EXPECT_EQ(t->ParentNode(), e);
  EXPECT_EQ(doc->DocumentElement(), e);
  EXPECT_EQ(e->ChildNodes()->Item(2), m);
  EXPECT_EQ(ErrorOf([&] { e->ChildNodes()->Item(5); }), "Getting element error: Index is out of range");
  EXPECT_EQ(ErrorOf([&] { e->ChildNodes()->Item(-1); }), "Getting element error: Index is out of range");
}

TEST(XmlNodes, InsertingDetachesFromTheOldParent) {
  IKivXmlDocument doc = ParseXml(u"<r><a><x/></a><b/></r>");
  auto r = doc->DocumentElement();
  auto a = r->FirstChildElementNamed(u"a");
  auto b = r->FirstChildElementNamed(u"b");
  auto x = a->FirstChildElementNamed(u"x");
  b->AppendChild(x);
  EXPECT_EQ(DumpTree(doc), "D\n  E r\n    E a\n    E b\n      E x\n");
  EXPECT_EQ(x->ParentNode(), b);
  r->InsertBefore(x, a);
  EXPECT_EQ(DumpTree(doc), "D\n  E r\n    E x\n    E a\n    E b\n");
  r->InsertBefore(b, x);  // moving within the same parent
  EXPECT_EQ(DumpTree(doc), "D\n  E r\n    E b\n    E x\n    E a\n");
  EXPECT_EQ(r->ReplaceChild(a, b), b);  // a leaves its place and takes b's
  EXPECT_EQ(DumpTree(doc), "D\n  E r\n    E a\n    E x\n");
  EXPECT_FALSE(b->ParentNode());
  EXPECT_EQ(r->ReplaceChild(b, b), nullptr);  // not a child: nothing happens
  EXPECT_EQ(r->RemoveChild(x), 1);
  EXPECT_EQ(r->RemoveChild(x), -1);
  EXPECT_FALSE(x->ParentNode());
}

TEST(XmlNodes, RefusedInsertionsChangeNothing) {
  IKivXmlDocument doc = ParseXml(u"<r><a><x/></a>t<!--c--></r>");
  const std::string before = DumpTree(doc);
  auto r = doc->DocumentElement();
  auto a = r->FirstChildElementNamed(u"a");
  auto x = a->FirstChildElementNamed(u"x");
  auto text = r->ChildNodes()->Item(1);
  EXPECT_EQ(ErrorOf([&] { x->AppendChild(r); }), "A node cannot be inserted into its own subtree");
  EXPECT_EQ(ErrorOf([&] { a->AppendChild(a); }), "A node cannot be inserted into its own subtree");
  EXPECT_EQ(ErrorOf([&] { a->ReplaceChild(r, x); }), "A node cannot be inserted into its own subtree");
  EXPECT_EQ(ErrorOf([&] { text->AppendChild(x); }), "The node \"#text\" cannot have child nodes");
  EXPECT_EQ(ErrorOf([&] { a->AppendChild(NewTestDoc()); }), "A document cannot become a child node");
  EXPECT_EQ(ErrorOf([&] { a->AppendChild(nullptr); }), "No node to insert");
  EXPECT_EQ(ErrorOf([&] { r->InsertBefore(x, text); }), "<no error>");
  EXPECT_EQ(ErrorOf([&] { a->InsertBefore(r->ChildNodes()->Item(0), text); }),
            "The reference node is not a child of this node");
  EXPECT_EQ(ErrorOf([&] { text->WriteAttrText(u"v", u"1"); }), "The node \"#text\" cannot have attributes");
  EXPECT_THROW(r->AppendChild(r), EInvalidArgument);
  r->InsertBefore(a, x);  // undo the one allowed move
  a->AppendChild(x);
  EXPECT_EQ(DumpTree(doc), before);
}

TEST(XmlNodes, MovingBetweenNameTablesReinternsTheSubtree) {
  IKivXmlDocument from = ParseXml(u"<r><item kind='a'><sub x='1'/><?pi data?></item></r>");
  IKivXmlDocument to = NewTestDoc();
  auto item = from->DocumentElement()->FirstChildElementNamed(u"item");
  auto root = to->AppendNewElement(u"root");
  root->AppendChild(item);
  EXPECT_EQ(item->NameTable(), to->NameTable());
  EXPECT_EQ(item->NameID(), to->NameTable()->FindID(u"item"));
  EXPECT_EQ(item->FirstChildElementNamed(u"sub")->ReadAttrInt(u"x"), 1);
  EXPECT_EQ(item->ReadAttrText(u"kind"), u"a");
  EXPECT_EQ(U8(to->ToXml()),
            "\r\n<root>\r\n\t<item kind=\"a\">\r\n\t\t<sub x=\"1\"/><?pi data?>\r\n\t</item>\r\n</root>");
}

TEST(XmlNodes, NodesLiveAsLongAsAReferenceHoldsThem) {
  IKivXmlNode child;
  IKivXmlNodeList list;
  {
    IKivXmlDocument doc = ParseXml(u"<r><a/><b/></r>");
    child = doc->DocumentElement()->FirstChildElementNamed(u"b");
    list = doc->DocumentElement()->ChildNodes();
  }
  // The parent is gone: the child and the list survive, detached.
  EXPECT_FALSE(child->ParentNode());
  EXPECT_EQ(list->Count(), 2);
  EXPECT_EQ(list->Item(1), child);
  // A very deep tree is freed without recursion.
  IKivXmlDocument doc = NewTestDoc();
  IKivXmlNode top = doc->CreateElement(u"d");
  for (int i = 0; i < 300000; ++i) {
    IKivXmlNode parent = doc->CreateElement(u"d");
    parent->AppendChild(top);
    top = parent;
  }
  top = nullptr;
}

TEST(XmlNodes, TextAndValues) {
  IKivXmlDocument doc = ParseXml(u"<r> a <b>b1<c>c</c></b><![CDATA[ d ]]><!-- no --><?pi no?><e/></r>");
  auto r = doc->DocumentElement();
  EXPECT_EQ(r->Text(), u" a b1 c d");
  EXPECT_EQ(doc->Text(), u" a b1 c d");
  EXPECT_EQ(r->ValueType(), vtString);
  EXPECT_EQ(r->NodeValue(), TKivVariant(u" a b1 c d"));
  auto e = r->FirstChildElementNamed(u"e");
  EXPECT_EQ(e->ValueType(), vtString);  // no value
  e->SetNodeValue(TKivVariant(int64_t(7)));
  EXPECT_EQ(e->ValueType(), vtInteger);
  EXPECT_EQ(e->Text(), u"7");
  auto b = r->FirstChildElementNamed(u"b");
  b->SetText(u"new");
  EXPECT_EQ(b->ChildCount(), 0);
  EXPECT_EQ(b->Text(), u"new");
  b->AppendNewElement(u"k");  // children replace the simple value
  b->DropChildren();
  EXPECT_EQ(b->Text(), u"");
  EXPECT_THROW(doc->SetText(u"x"), EInvalidArgument);
}

TEST(XmlNodes, ChildLookup) {
  IKivXmlDocument doc = ParseXml(
      u"<r><i n='1' v='5'/><j/><i n='2' v='x'><i n='3'/><k><i n='no'/></k></i><i n='4' v='5.0'/></r>");
  auto r = doc->DocumentElement();
  EXPECT_EQ(r->FirstChildElementNamed(u"i")->ReadAttrText(u"n"), u"1");
  EXPECT_EQ(r->ChildElementsNamed(u"i")->Count(), 3);
  EXPECT_EQ(r->ChildElementsNamed(u"zz")->Count(), 0);
  EXPECT_FALSE(r->FirstChildElementNamed(u"zz"));
  EXPECT_EQ(ErrorOf([&] { r->FirstChildElementNamed(u"k/i"); }),
            "This feature isn't implemented yet in KivXML");
  EXPECT_EQ(ErrorOf([&] { r->ChildElementsNamed(u"*"); }), "This feature isn't implemented yet in KivXML");
  EXPECT_EQ(r->FirstChildElementWithAttr(u"i", u"n", u"2")->ReadAttrText(u"n"), u"2");
  EXPECT_EQ(r->FirstChildElementWithAttr(u"i", u"unknown-attr", u"2")->ReadAttrText(u"n"), u"1");
  // Numbers compare as numbers; a text that is not one is skipped.
  EXPECT_EQ(r->FirstChildElementWithAttr(u"i", u"v", TKivVariant(5.0))->ReadAttrText(u"n"), u"1");
  EXPECT_FALSE(r->FirstChildElementWithAttr(u"i", u"n", u"9"));
  EXPECT_EQ(ErrorOf([&] { r->RequiredChildElement(u"zz"); }), "Error: child element \"zz\" not found.");
  EXPECT_EQ(r->RequiredChildElement(u"j"), r->FirstChildElementNamed(u"j"));
  auto ensured = r->EnsuredChildElement(u"new");
  EXPECT_EQ(r->EnsuredChildElement(u"new"), ensured);
  EXPECT_EQ(r->ChildElementText(u"missing", u"dflt"), u"dflt");
  r->PutChildElementText(u"new", u"value");
  EXPECT_EQ(r->ChildElementText(u"new"), u"value");
  auto chain = r->ElementChainNamed(u"i");
  std::string order;
  for (Integer k = 0; k < chain->Count(); ++k) order += U8(chain->Item(k)->ReadAttrText(u"n")) + " ";
  EXPECT_EQ(order, "1 2 3 4 ");  // i inside k is not searched
}

TEST(XmlNodes, Attributes) {
  IKivXmlDocument doc = ParseXml(u"<r a='1' b='two'/>");
  auto r = doc->DocumentElement();
  EXPECT_EQ(r->AttrCount(), 2);
  EXPECT_EQ(r->AttrNameAt(1), u"b");
  EXPECT_EQ(r->AttrTextAt(1), u"two");
  EXPECT_EQ(r->AttrNameIDAt(0), doc->NameTable()->FindID(u"a"));
  r->PutAttrTextAt(0, u"x");
  EXPECT_EQ(r->ReadAttrText(u"a"), u"x");
  EXPECT_EQ(ErrorOf([&] { r->AttrTextAt(2); }), "Getting element error: Index is out of range");
  EXPECT_TRUE(r->AttrExists(u"b"));
  EXPECT_FALSE(r->AttrExists(u"c"));
  EXPECT_EQ(r->AttrValueType(u"b"), vtString);
  EXPECT_EQ(r->AttrValueType(u"c"), vtEmpty);
  r->WriteAttrText(u"a", u"again");  // overwritten in place
  EXPECT_EQ(r->AttrNameAt(0), u"a");
  r->WriteAttrInt(u"c", 3);
  EXPECT_EQ(r->AttrNameAt(2), u"c");
  r->DropAttr(u"a");
  EXPECT_EQ(r->AttrNameAt(0), u"b");
  r->DropAttrs();
  EXPECT_EQ(r->AttrCount(), 0);
  for (int i = 0; i < 100; ++i)
    r->WriteAttrInt(u"a" + TKivString(1, char16_t(u'0' + i % 10)) + TKivString(1, char16_t(u'a' + i / 10)),
                    i);
  EXPECT_EQ(r->AttrCount(), 100);
  EXPECT_EQ(r->ReadAttrInt(u"a9j"), 99);
}

TEST(XmlNodes, TypedAttributeGetters) {
  IKivXmlDocument doc = ParseXml(
      u"<r t='text' b1='1' b0='0' bt='True' bf='false' i='-42' hx='$10' f1='1.5' f2='2,25' "
      u"d='2023-07-04T05-06-07' h='ff' h8='FFFFFFFF' bad='x1'/>");
  auto r = doc->DocumentElement();
  EXPECT_EQ(r->ReadAttrText(u"t"), u"text");
  EXPECT_EQ(r->ReadAttrText(u"missing", u"dflt"), u"dflt");
  EXPECT_TRUE(r->ReadAttrBool(u"b1"));
  EXPECT_FALSE(r->ReadAttrBool(u"b0", true));
  EXPECT_TRUE(r->ReadAttrBool(u"bt"));
  EXPECT_FALSE(r->ReadAttrBool(u"bf", true));
  EXPECT_TRUE(r->ReadAttrBool(u"missing", true));
  EXPECT_EQ(r->ReadAttrInt(u"i"), -42);
  EXPECT_EQ(r->ReadAttrInt(u"hx"), 16);
  EXPECT_EQ(r->ReadAttrInt(u"missing", 9), 9);
  EXPECT_EQ(r->ReadAttrFloat(u"f1"), 1.5);
  EXPECT_EQ(r->ReadAttrFloat(u"f2"), 2.25);
  EXPECT_EQ(r->ReadAttrDateTime(u"d"), KivEncodeDateTime(2023, 7, 4, 5, 6, 7));
  EXPECT_EQ(r->ReadAttrHex(u"h"), 255);
  EXPECT_EQ(r->ReadAttrHex(u"h8"), -1);
  EXPECT_EQ(r->ReadAttrVariant(u"t"), TKivVariant(u"text"));
  EXPECT_TRUE(r->ReadAttrVariant(u"missing").IsEmpty());
  EXPECT_EQ(ErrorOf([&] { r->ReadAttrInt(u"bad"); }), "Could not convert \"x1\" into Integer");
  EXPECT_EQ(ErrorOf([&] { r->ReadAttrBool(u"bad"); }), "Could not convert \"x1\" into Boolean");
  EXPECT_EQ(ErrorOf([&] { r->ReadAttrFloat(u"bad"); }), "Could not convert \"x1\" into Float");
  EXPECT_EQ(ErrorOf([&] { r->ReadAttrDateTime(u"bad"); }), "Could not convert \"x1\" into DateTime");
  EXPECT_EQ(ErrorOf([&] { r->ReadAttrHex(u"bad"); }), "Could not convert \"x1\" into hexadecimal number");
  EXPECT_EQ(r->RequiredAttrText(u"t"), u"text");
  EXPECT_EQ(ErrorOf([&] { r->RequiredAttrText(u"missing"); }), "Attribute \"missing\" not set");
}

TEST(XmlNodes, EnumeratedAttributes) {
  IKivXmlDocument doc = ParseXml(u"<align side='RIGHT' other='middle'/>");
  auto e = doc->DocumentElement();
  const std::vector<TKivString> values{u"left", u"right"};
  EXPECT_EQ(e->ReadAttrEnum(u"side", values, 0), 1);
  EXPECT_EQ(e->ReadAttrEnum(u"missing", values, 7), 7);
  EXPECT_EQ(e->RequiredAttrEnum(u"side", values), 1);
  EXPECT_EQ(ErrorOf([&] { e->ReadAttrEnum(u"other", values, 0); }),
            "Invalid attribute vaalue \"other\" of element \"align\".\r\nValid values:\r\nleft\r\nright");
  EXPECT_EQ(ErrorOf([&] { e->ReadAttrEnum(u"other", {}, 0); }),
            "Invalid attribute vaalue \"other\" of element \"align\".\r\nValid values:\r\n");
  EXPECT_EQ(ErrorOf([&] { e->RequiredAttrEnum(u"missing", values); }), "Attribute \"missing\" not found");
}

TEST(XmlNodes, TypedSettersAndTheirTextForms) {
  IKivXmlDocument doc = NewTestDoc();
  auto e = doc->AppendNewElement(u"e");
  e->WriteAttrBool(u"b", true);
  e->WriteAttrInt(u"i", -5);
  e->WriteAttrFloat(u"f", 2.5);
  e->WriteAttrHex(u"h", 0xAB, 6);
  e->WriteAttrHex(u"h0", 0xAB, 0);
  e->WriteAttrDateTime(u"d", KivEncodeDateTime(1899, 12, 29, 6, 0, 0));
  e->WriteAttrVariant(u"n", TKivVariant::Null());
  e->WriteAttrVariant(u"c", TKivVariant(TKivCurrency{-123450}));
  e->WriteAttrVariant(u"y", TKivVariant(std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(
      U8(e->ToXml()),
      "\r\n<e b=\"1\" i=\"-5\" f=\"2.5\" h=\"0000AB\" h0=\"AB\" d=\"1899-12-29T06-00-00\" n=\"{{null}}\" "
      "c=\"-12.345\" y=\"AQIDBA==\"/>");
  EXPECT_EQ(e->AttrValueType(u"b"), vtBoolean);
  EXPECT_EQ(e->ReadAttrDateTime(u"d").Value, -1.25);
  EXPECT_EQ(ErrorOf([&] { e->WriteAttrHex(u"h", 1, -1); }), "Invalid number of hexadecimal digits -1");
}

TEST(XmlNodes, Paths) {
  IKivXmlDocument doc = ParseXml(u"<r a='1'><c>text</c></r>");
  auto r = doc->DocumentElement();
  EXPECT_EQ(r->ReadPathValue(u"@a"), TKivVariant(u"1"));
  EXPECT_EQ(r->ReadPathValue(u"@zz"), TKivVariant(u""));
  EXPECT_EQ(r->ReadPathValue(u"c"), TKivVariant(u"text"));
  EXPECT_EQ(r->ReadPathValue(u"zz"), TKivVariant(u""));
  EXPECT_EQ(r->FirstChildElementNamed(u"c")->ReadPathValue(u""), TKivVariant(u"text"));
  r->WritePathValue(u"@b", TKivVariant(int64_t(2)));
  r->WritePathValue(u"new", TKivVariant(u"v"));
  r->WritePathValue(u"c", TKivVariant(u"changed"));
  EXPECT_EQ(U8(doc->ToXml()), "\r\n<r a=\"1\" b=\"2\">\r\n\t<c>changed</c>\r\n\t<new>v</new>\r\n</r>");
}

TEST(XmlNodes, CloneNode) {
  IKivXmlDocument doc = ParseXml(u"<r a='1'><c>t</c><!--m--></r>", true);
  auto r = doc->DocumentElement();
  auto shallow = r->CloneNode(false);
  EXPECT_EQ(shallow->AttrCount(), 1);
  EXPECT_EQ(shallow->ChildCount(), 0);
  EXPECT_FALSE(shallow->ParentNode());
  auto deep = r->CloneNode(true);
  EXPECT_EQ(DumpTree(deep), DumpTree(r));
  deep->FirstChildElementNamed(u"c")->SetText(u"changed");
  EXPECT_EQ(r->ChildElementText(u"c"), u"t");
  auto docClone = doc->CloneNode(true)->AsDocument();
  EXPECT_TRUE(docClone->PreserveWhiteSpace());
  EXPECT_EQ(docClone->ToXml(), doc->ToXml());
}

TEST(XmlNodes, Base64Content) {
  IKivXmlDocument doc = NewTestDoc();
  auto e = doc->AppendNewElement(u"e");
  e->AppendNewElement(u"keep");
  e->AppendNewText(u"old");
  std::vector<uint8_t> data;
  for (int i = 0; i < 50; ++i) data.push_back(static_cast<uint8_t>(i * 7));
  e->PutBase64(data.data(), data.size(), 16);
  ASSERT_EQ(e->ChildCount(), 2);  // the element child stays, the old text goes
  TKivString text = e->ChildNodes()->Item(1)->Text();
  EXPECT_EQ(text.substr(16, 2), u"\r\n");
  EXPECT_EQ(e->ReadBase64(), data);
  EXPECT_EQ(KivBase64Decode(u"QUI"), std::vector<uint8_t>{});  // up to 3 characters: nothing
  EXPECT_EQ(KivBase64Decode(u" QU\r\nI= "), (std::vector<uint8_t>{'A', 'B'}));
  EXPECT_EQ(ErrorOf([] { KivBase64Decode(u"QU*I"); }), "Invalid character in Base64 text");
}

TEST(XmlValues, TextFormsAndConversions) {
  EXPECT_EQ(TKivVariant().ToText(), u"");
  EXPECT_EQ(TKivVariant::Null().ToText(), u"{{null}}");
  EXPECT_EQ(TKivVariant(int64_t(-12)).ToText(), u"-12");
  EXPECT_EQ(TKivVariant(0.1).ToText(), u"0.1");
  EXPECT_EQ(TKivVariant(1e20).ToText(), u"1e+20");
  EXPECT_EQ(TKivVariant(TKivCurrency{10000}).ToText(), u"1");
  EXPECT_EQ(TKivVariant(TKivCurrency{INT64_MIN}).ToText(), u"-922337203685477.5808");
  EXPECT_EQ(TKivVariant(KivEncodeDateTime(2000, 1, 2, 3, 4, 5)).ToText(), u"2000-01-02T03-04-05");
  EXPECT_EQ(TKivVariant(TKivDateTime{1e300}).ToText(), u"1e+300");  // outside the calendar
  EXPECT_EQ(TKivVariant(false).ToText(), u"0");
  EXPECT_EQ(TKivVariant(u"9").ToInt(), 9);
  EXPECT_EQ(TKivVariant(u"0x1F").ToInt(), 31);
  EXPECT_EQ(TKivVariant(u"2.5").ToInt(), 2);  // rounded to even
  EXPECT_EQ(TKivVariant(u"99999999999999999999").ToFloat(), 1e20);
  EXPECT_THROW(TKivVariant(u"99999999999999999999999").ToInt(), EKivXmlError);
  EXPECT_THROW(TKivVariant(u"").ToInt(), EKivXmlError);
  EXPECT_THROW(TKivVariant(u"2000-02-30").ToDateTime(), EKivXmlError);
  EXPECT_EQ(TKivVariant(u"2000-02-29").ToDateTime(), KivEncodeDateTime(2000, 2, 29));
  EXPECT_EQ(TKivVariant(u"36526.5").ToDateTime(), KivEncodeDateTime(2000, 1, 1, 12));
}

}  // namespace

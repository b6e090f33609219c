// Byte streams and files: byte-order marks, declared encodings, blocks, saving, binary XML.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "XmlTestUtils.h"

namespace {

IKivXmlDocument LoadBytes(const std::string& ABytes) {
  IKivXmlDocument doc = NewTestDoc();
  std::istringstream stream(ABytes);
  doc->LoadFromStream(stream);
  return doc;
}

std::string SaveBytes(const IKivXmlDocument& ADoc) {
  std::ostringstream stream;
  ADoc->SaveToStream(stream);
  return stream.str();
}

TEST(XmlStreams, ByteOrderMarksAndDeclaredEncodings) {
  struct TCase {
    std::string Bytes;
    TKivBOM BOM;
    const char16_t* Text;
  };
  const TCase cases[] = {
      {"\xEF\xBB\xBF<r>\xD0\x96</r>", bomUTF8, u"\u0416"},
      {std::string("\xFF\xFE<\0r\0>\0\x16\x04<\0/\0r\0>\0", 18), bomUTF16LE, u"\u0416"},
      {std::string("<\0r\0>\0\x16\x04<\0/\0r\0>\0", 16), bomNone, u"\u0416"},  // UTF-16LE without a mark
      {"<r>\xD0\x96</r>", bomNone, u"\u0416"},                                 // no declaration: UTF-8
      {"<?xml version=\"1.0\" encoding=\"windows-1251\"?><r>\xC6</r>", bomNone, u"\u0416"},
      {"<?xml version='1.0' encoding='ISO-8859-1'?><r>\xE9</r>", bomNone, u"\u00E9"},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><r>\xC3\xA9</r>", bomNone, u"\u00E9"},
      // A declaration of UTF-16 on 8-bit text was not updated when the text was converted.
      {"<?xml version=\"1.0\" encoding=\"UTF-16\"?><r>\xC3\xA9</r>", bomNone, u"\u00E9"},
      // The PC code pages keep the control codes of ASCII.
      {"<?xml version=\"1.0\" encoding=\"IBM866\"?><r>\x1C\x8F\x7F</r>", bomNone, u"\x1C\u041F\x7F"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Bytes);
    IKivXmlDocument doc = LoadBytes(c.Bytes);
    EXPECT_EQ(doc->BOM(), c.BOM);
    EXPECT_EQ(doc->DocumentElement()->Text(), c.Text);
  }
}

TEST(XmlStreams, UnsupportedEncodings) {
  const std::string cases[] = {
      std::string("\xFE\xFF\0<\0r\0/\0>", 10),
      std::string("\xFF\xFE\0\0<\0\0\0", 8),
      std::string("\0<\0r\0/\0>", 8),
      "<?xml version=\"1.0\" encoding=\"no-such-encoding\"?><r/>",
      "<?xml version=\"1.0\" encoding=\"IBM037\"?><r/>",  // EBCDIC cannot carry this declaration
      "<?xml version=\"1.0\" encoding=\"UTF-7\"?><r/>",   // nor can UTF-7 ("+" is "+-")
  };
  for (const auto& bytes : cases)
    EXPECT_EQ(ErrorOf([&] { LoadBytes(bytes); }), "This encoding isn't supported");
}

// A damaged file must not load as something else: bytes that are not valid in the encoding
// raise an error naming the first of them, counted from the start of the stream.
TEST(XmlStreams, MalformedBytesRaiseAnErrorWithTheirOffset) {
  const std::string declared = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
  const std::string sjis = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?>";
  struct TCase {
    std::string Bytes;
    std::string Message;
  };
  const TCase cases[] = {
      {"<r>a\xC3</r>", "Malformed UTF-8 text at byte offset 4"},         // truncated
      {"<r/>\xE2\x82", "Malformed UTF-8 text at byte offset 4"},         // truncated by the end
      {"<r>\xC0\xAF</r>", "Malformed UTF-8 text at byte offset 3"},      // overlong
      {"<r>\xE0\x80\xAF</r>", "Malformed UTF-8 text at byte offset 3"},  // overlong
      {"<r>\xED\xA0\x80</r>", "Malformed UTF-8 text at byte offset 3"},  // an encoded surrogate
      {"<r a='\xFF'/>", "Malformed UTF-8 text at byte offset 6"},
      {declared + "<r>caf\xE9</r>",
       "Malformed UTF-8 text at byte offset " + std::to_string(declared.size() + 6)},
      {"\xEF\xBB\xBF<r>\xE9</r>", "Malformed UTF-8 text at byte offset 6"},  // after the mark
      {"<r>" + std::string(70000, 'a') + "\xE9</r>", "Malformed UTF-8 text at byte offset 70003"},
      {std::string("\xFF\xFE<\0r\0/\0>\0x", 11), "Malformed UTF-16LE text at byte offset 10"},  // an odd byte
      {std::string("<\0r\0/\0>\0x", 9), "Malformed UTF-16LE text at byte offset 8"},
      {sjis + "<r>\x82</r>", "Malformed Shift_JIS text at byte offset " + std::to_string(sjis.size() + 3)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Bytes.substr(0, 80));
    EXPECT_EQ(ErrorOf([&] { LoadBytes(c.Bytes); }), c.Message);
  }
}

TEST(XmlStreams, CharactersSplitAcrossReadBlocksDecode) {
  // Put a multi-byte character across every position of the 64 KB block boundary.
  for (int shift = 0; shift < 4; ++shift) {
    std::string utf8 = "<r>" + std::string(65536 - 3 - shift, 'a') + "\xF0\x9F\x98\x80\xE2\x82\xAC</r>";
    IKivXmlDocument doc = LoadBytes(utf8);
    TKivString text = doc->DocumentElement()->Text();
    EXPECT_EQ(text.substr(text.size() - 3), u"\U0001F600\u20AC") << shift;
  }
  for (int shift = 0; shift < 2; ++shift) {
    const std::string decl = "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><r>";
    std::string sjis = decl + std::string(65536 - decl.size() - 1 - shift, 'a') + "\x82\xA0\x82\xA2</r>";
    IKivXmlDocument doc = LoadBytes(sjis);
    TKivString text = doc->DocumentElement()->Text();
    EXPECT_EQ(text.substr(text.size() - 2), u"\u3042\u3044") << shift;
    std::string utf16 = "\xFF\xFE" + std::string(65536 - 2 - 2 * shift, '\0');
    for (size_t i = 2; i < utf16.size(); i += 2) utf16[i] = ' ';
    utf16 += std::string("<\0r\0>\0\x3D\xD8\x00\xDE<\0/\0r\0>\0", 18);
    EXPECT_EQ(LoadBytes(utf16)->DocumentElement()->Text(), u"\U0001F600");
  }
}

TEST(XmlStreams, SavingEncodesAsTheDocumentDeclares) {
  IKivXmlDocument doc = CreateXmlDocument({}, u"1.0", {}, true, new TKivXmlNameTable(64));
  doc->NewDocument(u"1.0", u"UTF-8", u"r")->SetText(u"\u0416");
  EXPECT_EQ(SaveBytes(doc), "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<r>\xD0\x96</r>");
  doc->NewDocument(u"1.0", u"UTF-16", u"r")->SetText(u"\u0416");
  EXPECT_EQ(doc->BOM(), bomUTF16LE);
  EXPECT_EQ(SaveBytes(doc).substr(0, 6), std::string("\xFF\xFE<\0?\0", 6));
  doc->NewDocument(u"1.0", {}, u"r")->SetText(u"\u0416\u20AC\u3042\U0001F600");
  EXPECT_EQ(doc->BOM(), bomNone);
  // windows-1251 has the euro sign but not the others: those become references.
  EXPECT_EQ(SaveBytes(doc),
            "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<r>\xC6\x88&#12354;&#128512;</r>");
  doc->DocumentElement()->AppendNewComment(u"\u3042");
  EXPECT_EQ(ErrorOf([&] { SaveBytes(doc); }),
            "Cannot write the comment \"\u3042\": the document's encoding lacks some of its characters");
  IKivXmlDocument plain = ParseXml(u"<r>\u3042</r>");
  EXPECT_EQ(SaveBytes(plain), "\r\n<r>\xE3\x81\x82</r>");  // no declaration: UTF-8 without a mark
  plain->SetBOM(bomUTF16BE);
  EXPECT_EQ(ErrorOf([&] { SaveBytes(plain); }), "This encoding isn't supported");
  IKivXmlDocument unknown = ParseXml(u"<?xml version='1.0' encoding='no-such'?><r/>");
  EXPECT_EQ(ErrorOf([&] { SaveBytes(unknown); }), "This encoding isn't supported");
}

TEST(XmlStreams, SaveAndLoadRoundTripInEveryEncoding) {
  const char16_t* encodings[] = {u"UTF-8",      u"UTF-16",    u"windows-1251", u"windows-1252",
                                 u"ISO-8859-5", u"Shift_JIS", u"GB18030",      u"KOI8-R"};
  for (const char16_t* encoding : encodings) {
    SCOPED_TRACE(U8(encoding));
    IKivXmlDocument doc = CreateXmlDocument({}, u"1.0", {}, true, new TKivXmlNameTable(64));
    auto root = doc->NewDocument(u"1.0", encoding, u"r");
    root->WriteAttrText(u"a", u"\u0416 \u00E9 \u3042 \U0001F600 \u20AC");
    root->AppendNewElement(u"t")->SetText(u"x \u00E9\u0416\u3042\U0001F600 <&> ");
    root->AppendNewElement(u"lone")->SetText(TKivString(1, char16_t(0xDC00)));
    std::string bytes = SaveBytes(doc);
    IKivXmlDocument back = LoadBytes(bytes);
    EXPECT_EQ(U8(back->ToXml()), U8(doc->ToXml()));
    EXPECT_EQ(back->DocumentElement()->ReadAttrText(u"a"), u"\u0416 \u00E9 \u3042 \U0001F600 \u20AC");
  }
}

// Documents that once failed to read back what they saved.
TEST(XmlStreams, SavedDocumentsReadBackTheSame) {
  const std::string cases[] = {
      "\xEF\xBB\xBF\xEF\xBB\xBF<r/>",  // text starting with U+FEFF after the mark
      "<?xml version=\"1.0\" encoding=\"windows-1251\"?><r>\xC6</r>",
      "<?xml version=\"2\"\x11 encoding=\"UTF-\x04"
      "7\"?><r/>",                                          // a control in the declaration
      "<?xmlx encoding=\"windows-1251\"?><r>\xC3\xA9</r>",  // not a declaration
      "<?xml version=\"1.0\" encoding=\"KOI8-R\"?><!--\xF6--><r a=\"\xF6\"/>",
  };
  for (bool preserve : {false, true}) {
    for (const auto& bytes : cases) {
      SCOPED_TRACE(bytes);
      IKivXmlDocument doc = NewTestDoc(preserve);
      std::istringstream in(bytes);
      doc->LoadFromStream(in);
      IKivXmlDocument back = NewTestDoc(preserve);
      std::istringstream saved(SaveBytes(doc));
      back->LoadFromStream(saved);
      EXPECT_EQ(U8(back->ToXml()), U8(doc->ToXml()));
    }
  }
}

TEST(XmlStreams, DefaultEncodingDecidesTheMarkOfUnmarkedInput) {
  KivXmlSetDefaultEncoding(u"UTF-8");
  IKivXmlDocument doc = LoadBytes("<r/>");
  EXPECT_EQ(doc->BOM(), bomUTF8);
  doc->LoadXml(u"<r/>");
  EXPECT_EQ(doc->BOM(), bomUTF8);
  KivXmlSetDefaultEncoding(u"windows-1251");
  doc->LoadXml(u"<r/>");
  EXPECT_EQ(doc->BOM(), bomNone);
}

TEST(XmlStreams, FilesAndResources) {
  auto dir = std::filesystem::temp_directory_path() / ("kivxml-test-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  TKivString name = (dir / "doc.xml").u16string();
  IKivXmlDocument doc = CreateXmlDocument({}, u"1.0", {}, true, new TKivXmlNameTable(64));
  doc->NewDocument(u"1.0", u"UTF-8", u"root")->SetText(u"x");
  doc->SaveToFile(name);
  IKivXmlDocument back = LoadXmlDocumentFromFile(name);
  EXPECT_EQ(back->ToXml(), doc->ToXml());
  // A refused document leaves an existing file untouched.
  doc->DocumentElement()->AppendNewComment(u"--");
  EXPECT_THROW(doc->SaveToFile(name), EInvalidArgument);
  EXPECT_EQ(LoadXmlDocumentFromFile(name)->ToXml(), back->ToXml());
  TKivString binName = (dir / "doc.bin").u16string();
  back->SaveBinaryToFile(binName);
  IKivXmlDocument fromBinary = NewTestDoc();
  fromBinary->LoadFromFile(binName);
  EXPECT_EQ(fromBinary->ToXml(), back->ToXml());
  EXPECT_EQ(ErrorOf([&] { LoadXmlDocumentFromFile((dir / "missing.xml").u16string()); }),
            "Cannot open file \"" + (dir / "missing.xml").string() + "\"");
  std::filesystem::remove_all(dir);

  KivXmlSetResourceReader([](const TKivString& AType, const TKivString& AName, std::string& AData) {
    if (AType != u"XML" || AName != u"SCHEME") return false;
    AData = "\xEF\xBB\xBF<scheme>\xC3\xA9</scheme>";
    return true;
  });
  IKivXmlDocument res = ParseXml(u"<old/>");
  res->LoadFromResource(u"XML", u"MISSING");  // nothing happens
  EXPECT_EQ(res->DocumentElement()->NodeName(), u"old");
  res->LoadFromResource(u"XML", u"SCHEME");
  EXPECT_EQ(res->DocumentElement()->Text(), u"\u00E9");
  KivXmlSetResourceReader(nullptr);
}

TEST(XmlBinary, RoundTripKeepsValuesAndStructure) {
  IKivXmlDocument doc = CreateXmlDocument({}, u"1.0", {}, true, new TKivXmlNameTable(64));
  auto root = doc->NewDocument(u"1.0", u"UTF-8", u"root");
  root->WriteAttrInt(u"i", -7);
  root->WriteAttrFloat(u"f", 0.25);
  root->WriteAttrBool(u"b", true);
  root->WriteAttrDateTime(u"d", KivEncodeDateTime(2020, 5, 6));
  root->WriteAttrVariant(u"c", TKivVariant(TKivCurrency{12345}));
  root->WriteAttrVariant(u"n", TKivVariant::Null());
  root->WriteAttrVariant(u"y", TKivVariant(std::vector<uint8_t>{0, 255}));
  root->AppendNewElement(u"v")->SetNodeValue(TKivVariant(int64_t(1) << 40));
  root->AppendNewText(u"text \u0416");
  root->AppendNewCDATA(u"cdata");
  root->AppendNewComment(u"comment");
  root->AppendNewInstruction(u"pi", u"data");
  std::string binary = doc->BinaryXml();
  EXPECT_TRUE(binary.starts_with("< binary-xml >"));
  IKivXmlDocument back = NewTestDoc();
  IKivXmlNameTable before = back->NameTable();
  back->LoadBinaryXml(binary);
  EXPECT_NE(back->NameTable(), before);  // a fresh table
  EXPECT_EQ(back->BinaryXml(), binary);
  EXPECT_EQ(back->ToXml(), doc->ToXml());
  auto r = back->DocumentElement();
  EXPECT_EQ(r->AttrValueType(u"i"), vtInteger);
  EXPECT_EQ(r->AttrValueType(u"d"), vtDateTime);
  EXPECT_EQ(r->AttrValueType(u"y"), vtBytes);
  EXPECT_EQ(r->FirstChildElementNamed(u"v")->ValueType(), vtInteger);
  // Through a stream and through LoadXml with the bytes as text.
  std::ostringstream out;
  doc->SaveBinaryToStream(out);
  EXPECT_EQ(LoadBytes(out.str())->ToXml(), doc->ToXml());
  IKivXmlDocument viaText = NewTestDoc();
  TKivString asText;
  for (char c : binary) asText.push_back(static_cast<unsigned char>(c));
  viaText->LoadXml(asText);
  EXPECT_EQ(viaText->ToXml(), doc->ToXml());
  EXPECT_THROW(doc->SaveBinaryToStream(out, 1), EInvalidArgument);
}

TEST(XmlBinary, MalformedBinaryRaisesTheExactMessage) {
  IKivXmlDocument doc = ParseXml(u"<r a='1'>t</r>");
  const std::string good = doc->BinaryXml();
  struct TCase {
    std::string Data;
    const char* Message;
  };
  // Hand-made: no names, the document (type 9, no attributes, one child), then the child.
  const std::string head = std::string("< binary-xml >\x00\x09\x00\x01", 18);
  const std::string badNode = head + "\x05";
  const std::string badValue = head + std::string("\x03\x33\x00\x00", 4);  // a text with value type 0x33
  const TCase cases[] = {
      {"< binary-xml >", "Read data error"},
      {good.substr(0, good.size() - 1), "Read data error"},
      {good + "x", "Read data error"},
      {"< binary-xml >\x01\xFF\xFF\xFF\xFF\x0F", "Read data error"},
      {std::string("< binary-xml >\x00\x01", 16), "BinaryXML read error: incorrect node type"},
      {head + std::string("\x03\x00\x00\x00", 4), "<no error>"},
      {badNode, "BinaryXML read error: incorrect node type"},
      {badValue, "Read value error: Invalid type"},
  };
  for (const auto& c : cases) {
    IKivXmlDocument target = NewTestDoc();
    EXPECT_EQ(ErrorOf([&] { target->LoadBinaryXml(c.Data); }), c.Message);
  }
}

TEST(XmlGlobal, CreateAndLoadHelpers) {
  IKivXmlDocument doc = CreateXmlDocument(u"scheme");
  EXPECT_EQ(doc->NameTable(), KivXmlGlobalNameTable());
  EXPECT_EQ(U8(doc->ToXml()), "<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<scheme/>");
  IKivXmlDocument loaded = LoadXmlDocumentFromXml(doc->ToXml());
  EXPECT_EQ(loaded->ToXml(), doc->ToXml());
  EXPECT_FALSE(CreateXmlDocument()->HasChildNodes());
  EXPECT_THROW(CreateXmlDocument(u"1bad"), EInvalidArgument);
  EXPECT_THROW(doc->NewDocument(u"1\"0", {}, u"r"), EInvalidArgument);
  EXPECT_EQ(doc->DocumentElement()->NodeName(), u"scheme");  // the refused call changed nothing
}

}  // namespace

// XML files on disk, read as the scheme loader reads them (LoadFromFile):
//  - a checked-in corpus (data/corpus/) of well-formed and malformed documents, each with its
//    expected outcome: the tree it gives, or the error it raises;
//  - the XML files of the system that no one here wrote: every one either parses, writes and
//    re-parses to an equal tree, or is rejected with the library's error.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

#include "XmlTestUtils.h"

namespace {

// Names, attributes and texts of a tree, with adjacent text nodes joined and empty ones left
// out (both as the parser would read them back).
std::string Canonical(const IKivXmlNode& ANode) {
  std::string out;
  switch (ANode->NodeType()) {
    case ntElement:
      out += "<" + U8(ANode->NodeName());
      break;
    case ntProcessingInstruction:
      out += "<?" + U8(ANode->NodeName()) + " " + U8(ANode->AsProcessingInstruction()->Data());
      break;
    case ntCDATASection:
      return "[C " + U8(ANode->AsCDATASection()->Data()) + "]";
    case ntComment:
      return "[! " + U8(ANode->AsComment()->Data()) + "]";
    default:
      break;
  }
  for (Integer i = 0; i < ANode->AttrCount(); ++i)
    out += " " + U8(ANode->AttrNameAt(i)) + "=" + U8(ANode->AttrTextAt(i));
  out += ">";
  std::string text;
  for (Integer i = 0; i < ANode->ChildCount(); ++i) {
    IKivXmlNode child = ANode->ChildNodes()->Item(i);
    if (child->NodeType() == ntText) {
      text += U8(child->Text());
      continue;
    }
    if (!text.empty()) out += "[T " + text + "]";
    text.clear();
    out += Canonical(child);
  }
  if (!text.empty()) out += "[T " + text + "]";
  return out + "/";
}

// What a parsed tree writes and reads back to: the same tree and the same text.
void ExpectRoundTrip(const IKivXmlDocument& ADoc) {
  TKivString text = ADoc->ToXml();
  IKivXmlDocument again = NewTestDoc();
  again->LoadXml(text);
  EXPECT_EQ(Canonical(again), Canonical(ADoc));
  EXPECT_EQ(again->ToXml(), text);
}

Integer CountElements(const IKivXmlNode& ANode) {
  Integer n = ANode->NodeType() == ntElement ? 1 : 0;
  for (Integer i = 0; i < ANode->ChildCount(); ++i) n += CountElements(ANode->ChildNodes()->Item(i));
  return n;
}

// A corpus document and its outcome: an error message, or the root element's name, the number
// of elements and the root's text.
struct TCorpusCase {
  const char* File;
  const char* Error;  // nullptr: well-formed
  const char16_t* Root = u"";
  Integer Elements = 0;
  const char16_t* Text = u"";
};

const TCorpusCase KCorpus[] = {
    {"ok-scheme.xml", nullptr, u"SyntaxScheme", 9, u"if else for while return struct"},
    {"ok-entities.xml", nullptr, u"a", 1, u"<AB & more"},
    // The two CDATA sections are two texts, joined with one space.
    {"ok-cdata-comments-pi.xml", nullptr, u"root", 2, u"if (a < b && c > d) { x = \"]] >\"; }"},
    {"ok-doctype.xml", nullptr, u"note", 3, u"Tove Jani"},
    {"ok-quotes-and-blanks.xml", nullptr, u"doc", 3, u""},
    {"ok-close-ignores-case.xml", nullptr, u"Root", 2, u"x"},
    {"ok-prefixed-names.xml", nullptr, u"x:root", 2, u""},
    {"ok-repeated-attribute.xml", nullptr, u"a", 1, u""},
    {"ok-deep.xml", nullptr, u"n0", 64, u"leaf"},
    {"ok-utf8-bom.xml", nullptr, u"\u0436\u0443\u043a", 1, u"caf\u00e9 \u2014 \u65e5\u672c"},
    {"ok-utf16-bom.xml", nullptr, u"r", 1, u"\u041f\u0440\u0438\u0432\u0435\u0442 \u2014 \u65e5\u672c"},
    {"bad-mismatched-close.xml", "Waiting \"b\""},
    {"bad-unclosed.xml", "Waiting \"</\""},
    {"bad-attribute-without-quotes.xml", "Waiting string constant"},
    {"bad-attribute-at-end.xml", "Waiting attribute value"},
    {"bad-lt-in-attribute.xml", "Symbol \"<\" cannot used in attribute values"},
    {"bad-unknown-entity.xml", "Incorrect name of a managing symbol"},
    {"bad-name-start.xml", "Name should began with the letter or symbol \"_\""},
    {"bad-name-char.xml", "Invalid symbol in the element name"},
    {"bad-unterminated-comment.xml", "Waiting \"-->\""},
    {"bad-unterminated-cdata.xml", "Waiting \"]]>\""},
    {"bad-hex-reference.xml", "Waiting hexadecimal number"},
    {"bad-decimal-reference.xml", "Waiting number"},
    {"bad-ampersand-at-end.xml", "Waiting \"#\" or managing symbol name"},
    {"bad-unterminated-pi.xml", "Waiting \"?>\""},
    {"bad-element-at-end.xml", "Setting of element isn't finished"},
    {"bad-utf16be-bom.xml", "This encoding isn't supported"},
};

const std::filesystem::path KCorpusDir = std::filesystem::path(KIV_TEST_DATA_DIR) / "corpus";

TEST(XmlRealFiles, CorpusDocumentsGiveTheirExpectedOutcome) {
  for (const TCorpusCase& c : KCorpus) {
    SCOPED_TRACE(c.File);
    IKivXmlDocument doc = NewTestDoc();
    const std::string error = ErrorOf([&] { doc->LoadFromFile((KCorpusDir / c.File).u16string()); });
    if (c.Error != nullptr) {
      EXPECT_EQ(error, c.Error);
      continue;
    }
    ASSERT_EQ(error, "<no error>");
    IKivXmlElement root = doc->DocumentElement();
    ASSERT_TRUE(root);
    EXPECT_EQ(U8(root->NodeName()), U8(c.Root));
    EXPECT_EQ(CountElements(doc), c.Elements);
    EXPECT_EQ(U8(root->Text()), U8(c.Text));
    ExpectRoundTrip(doc);
  }
}

// Every file of the corpus has its expected outcome, and every outcome its file.
TEST(XmlRealFiles, CorpusTableMatchesTheFiles) {
  std::set<std::string> files, listed;
  for (const auto& entry : std::filesystem::directory_iterator(KCorpusDir)) files.insert(entry.path().filename().string());
  for (const TCorpusCase& c : KCorpus) listed.insert(c.File);
  EXPECT_EQ(files, listed);
}

TEST(XmlRealFiles, SystemXmlFilesRoundTrip) {
  int parsed = 0, rejected = 0;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(
           "/usr/share", std::filesystem::directory_options::skip_permission_denied, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    const auto& entry = *it;
    std::error_code fileEc;
    if (entry.path().extension() != ".xml" || !entry.is_regular_file(fileEc)) continue;
    if (entry.file_size(fileEc) > 4 * 1024 * 1024 || fileEc) continue;
    SCOPED_TRACE(entry.path().string());
    IKivXmlDocument doc = NewTestDoc();
    try {
      doc->LoadFromFile(entry.path().u16string());
    } catch (const EKivXmlError&) {
      ++rejected;
      continue;
    }
    ++parsed;
    ExpectRoundTrip(doc);
  }
  std::printf("system XML files: %d parsed and round-tripped, %d rejected with an error\n", parsed, rejected);
  // Files that no one here wrote are mostly well-formed: a parser that rejects them all is broken.
  if (parsed + rejected > 0) {
    EXPECT_GT(parsed, 0);
  }
  RecordProperty("parsed", parsed);
  RecordProperty("rejected", rejected);
}

}  // namespace

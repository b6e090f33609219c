// XML files of the system that no one here wrote: every one either parses, writes and re-parses
// to an equal tree, or is rejected with the library's error.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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
    TKivString text = doc->ToXml();
    IKivXmlDocument again = NewTestDoc();
    again->LoadXml(text);
    EXPECT_EQ(Canonical(again), Canonical(doc));
    EXPECT_EQ(again->ToXml(), text);
  }
  std::printf("system XML files: %d parsed and round-tripped, %d rejected with an error\n", parsed, rejected);
  RecordProperty("parsed", parsed);
  RecordProperty("rejected", rejected);
}

}  // namespace

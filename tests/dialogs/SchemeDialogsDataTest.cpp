// The scheme dialogs' own data: the example documents tokenize as their golden files say (the
// same files the demo's schemes give with kivhighlight), and the scheme text editor's document
// carries the XML scheme. When an example or a scheme changes on purpose, regenerate with
//   build/default/tools/kivhighlight --write-golden resources/examples/Example.pas resources/examples/Example.html
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "KivSyntaxDump.h"
#include "internal/SchemeDialogsData.h"

namespace {

namespace fs = std::filesystem;

const fs::path kExamples =
    fs::path(KIV_TEST_DATA_DIR).parent_path().parent_path().parent_path() / "resources" / "examples";

std::string ReadFile(const fs::path& APath) {
  std::ifstream in(APath, std::ios::binary);
  std::ostringstream buf;
  buf << in.rdbuf();
  return buf.str();
}

TEST(SchemeDialogsData, ExamplesMatchTheirGoldenFiles) {
  struct TCase {
    Integer Index;
    const char* File;
    const char16_t* Scheme;
  };
  for (const TCase& c : {TCase{0, "Example.pas", u"Pascal"}, TCase{1, "Example.html", u"HTML"}}) {
    SCOPED_TRACE(c.File);
    TKivEditDocument doc;
    KivFillExampleDocument(doc, c.Index);
    EXPECT_EQ(doc.ActiveSyntaxScheme(), c.Scheme);
    EXPECT_EQ(doc.ActiveColorScheme(), u"default");
    const std::string golden = ReadFile(kExamples / (std::string(c.File) + ".golden"));
    ASSERT_FALSE(golden.empty());
    EXPECT_TRUE(KivDumpGolden(doc, c.Scheme) == golden) << "differs from " << c.File << ".golden";
    // The embedded text is the file's.
    EXPECT_EQ(KivToUtf8(KivSchemeDialogsData(u"examples/" + KivFromUtf8(c.File))), ReadFile(kExamples / c.File));
  }
  TKivEditDocument doc;
  EXPECT_THROW(KivFillExampleDocument(doc, 2), EInvalidArgument);
  EXPECT_THROW(KivSchemeDialogsData(u"schemes/C.xml"), EKivError);  // not carried
}

TEST(SchemeDialogsData, TheSchemesTheExamplesNeed) {
  TKivEditDocument doc;
  KivFillExampleDocument(doc, 1);
  for (const char16_t* name :
       {u"XML", u"Pascal", u"HTML", u"ASP_JS", u"ASP_VB", u"CSS", u"JavaScript", u"Perl", u"PHP", u"VB"}) {
    const TKivEditParserSchemeCollectionItem* item = doc.SyntaxSchemes().FindItem(name);
    ASSERT_TRUE(item) << KivToUtf8(name);
    EXPECT_NE(item->Scheme().Text().find(u"<SchemeList"), TKivString::npos);
  }
  TKivEditDocument edit;
  KivFillSchemeEditDocument(edit);
  EXPECT_EQ(edit.ActiveSyntaxScheme(), u"XML");
  EXPECT_EQ(edit.ActiveColorScheme(), u"default");
  EXPECT_EQ(edit.Text(), u"");
}

}  // namespace

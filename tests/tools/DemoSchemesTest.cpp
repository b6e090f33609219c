// The demo's syntax schemes: each of the 19 loads with the colour scheme "default" and marks
// the main window's C sample without an error.
#include <gtest/gtest.h>

#include "KivDemoData.h"
#include "KivSedParser.h"
#include "KivSyntaxDump.h"

namespace {

class TNullHandler : public TKivTokenHandler {
 public:
  void HandleToken(const TKivSegment&, Integer, const TKivEditAttributes&) override {}
};

std::string U8(TKivStringView AText) { return KivToUtf8(AText); }

// Each of the 19 schemes loads with "default", and tokenizing the main window's C sample with it
// raises nothing.
TEST(DemoSchemes, EachLoadsAndMarksTheSample) {
  for (const auto& scheme : KivDemoSyntaxSchemes()) {
    SCOPED_TRACE(U8(scheme.Name));
    std::unique_ptr<TKivEditDocument> doc;
    ASSERT_NO_THROW(doc = KivDumpOpenDocument(KivDemoSampleText(), scheme.Name)) << U8(scheme.Name);
    auto* parser = dynamic_cast<TKivEditParser*>(doc->GetParser());
    ASSERT_NE(parser, nullptr);
    EXPECT_TRUE(parser->IsSchemeLoaded());
    TNullHandler handler;
    for (Integer line = 0; line < doc->LinesCount(); ++line) EXPECT_NO_THROW(parser->MarkTokens(line, handler));
  }
}

TEST(DemoSchemes, UnknownSchemeIsAnError) {
  EXPECT_THROW(KivDumpOpenDocument(u"x", u"Cobol"), EKivError);
  EXPECT_THROW(KivDumpOpenDocument(u"x", u"c"), EKivError) << "names are exact";
}

}  // namespace

// The syntax library's parser is the default of new documents in a program that only links the
// library: nothing here names the registration, it comes with the link (kivsyntaxregister).
#include <gtest/gtest.h>

#include "KivSedDocument.h"
#include "KivSedParser.h"

TEST(DefaultParser, ANewDocumentGetsTheSyntaxLibrarysParser) {
  TKivEditDocument first;
  TKivEditDocument second;
  auto* parser = dynamic_cast<TKivEditParser*>(first.GetParser());
  ASSERT_NE(parser, nullptr) << "a new document has no parser, or not the syntax library's";
  ASSERT_NE(dynamic_cast<TKivEditParser*>(second.GetParser()), nullptr);
  // Each document gets a parser of its own.
  EXPECT_NE(static_cast<void*>(parser), static_cast<void*>(second.GetParser()));
}

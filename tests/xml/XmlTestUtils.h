// Helpers shared by the XML tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "KivXML.h"

// A document on a table of its own, so that tests do not share names.
inline IKivXmlDocument NewTestDoc(bool APreserve = false, bool ACaseSensitive = true) {
  IKivXmlDocument doc(new TKivXmlDocument(new TKivXmlNameTable(64, ACaseSensitive)));
  doc->SetCaseSensitive(ACaseSensitive);
  doc->SetPreserveWhiteSpace(APreserve);
  return doc;
}

inline IKivXmlDocument ParseXml(const TKivString& AText, bool APreserve = false, bool ACaseSensitive = true) {
  IKivXmlDocument doc = NewTestDoc(APreserve, ACaseSensitive);
  doc->LoadXml(AText);
  return doc;
}

inline std::string U8(const TKivString& AText) {
  return KivToUtf8(AText);
}

// The message of the EKivError that AAction raises, or "<no error>".
template <class F>
std::string ErrorOf(F&& AAction) {
  try {
    AAction();
  } catch (const EKivError& e) {
    return e.what();
  }
  return "<no error>";
}

// A readable dump of a tree: one line per node with its type, name, attributes and value.
inline std::string DumpTree(const IKivXmlNode& ANode, int ADepth = 0) {
  std::string out(static_cast<size_t>(ADepth) * 2, ' ');
  switch (ANode->NodeType()) {
    case ntElement:
      out += "E " + U8(ANode->NodeName());
      break;
    case ntText:
      out += "T \"" + U8(ANode->Text()) + "\"";
      break;
    case ntCDATASection:
      out += "C \"" + U8(ANode->AsCDATASection()->Data()) + "\"";
      break;
    case ntComment:
      out += "! \"" + U8(ANode->AsComment()->Data()) + "\"";
      break;
    case ntProcessingInstruction:
      out += "? " + U8(ANode->NodeName()) + " \"" + U8(ANode->AsProcessingInstruction()->Data()) + "\"";
      break;
    case ntDocument:
      out += "D";
      break;
  }
  for (Integer i = 0; i < ANode->AttrCount(); ++i)
    out += " " + U8(ANode->AttrNameAt(i)) + "=\"" + U8(ANode->AttrTextAt(i)) + "\"";
  if (ANode->NodeType() == ntElement && !ANode->HasChildNodes() && !ANode->AsElement()->Data().IsEmpty())
    out += " = \"" + U8(ANode->Text()) + "\"";
  out += "\n";
  for (Integer i = 0; i < ANode->ChildCount(); ++i) out += DumpTree(ANode->ChildNodes()->Item(i), ADepth + 1);
  return out;
}

// ToXml -> LoadXml -> ToXml must give the same text; returns the first text.
inline TKivString ExpectFixedPoint(const IKivXmlDocument& ADoc) {
  TKivString first = ADoc->ToXml();
  IKivXmlDocument again = NewTestDoc(ADoc->PreserveWhiteSpace(), ADoc->CaseSensitive());
  again->LoadXml(first);
  EXPECT_EQ(U8(again->ToXml()), U8(first)) << "not a fixed point";
  return first;
}

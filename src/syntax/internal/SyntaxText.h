// Small text helpers of the scheme readers.
#pragma once

#include <vector>

#include "KivTypes.h"
#include "KivXML.h"

// Without leading and trailing characters up to the space (control characters and blanks).
TKivString KivTrim(TKivStringView AText);
// ASCII letters lowered; other characters unchanged.
TKivString KivLowerAscii(TKivStringView AText);
// Equal without regard to the case of ASCII letters.
bool SameNameNoCase(TKivStringView A, TKivStringView B);
// The non-empty pieces of AText between any of ASeparators.
std::vector<TKivString> KivSplitWords(TKivStringView AText, TKivStringView ASeparators);

// Calls AFunc for every child element of ANode in document order.
template <class F>
void ForEachChildElement(const IKivXmlNode& ANode, F&& AFunc) {
  const Integer n = ANode->ChildCount();
  if (n == 0) return;
  IKivXmlNodeList children = ANode->ChildNodes();
  for (Integer i = 0; i < n; ++i) {
    IKivXmlNode child = children->Item(i);
    if (child && child->NodeType() == ntElement) AFunc(child->AsElement());
  }
}

// Internal pieces of KivXML shared between its sources: access to node internals, character
// classes of the syntax, the character sources of the parser, the writer and the binary form.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "KivEncoding.h"
#include "KivXML.h"

// Opens the private state of the node classes to the parser, writer and binary form.
class TXmlAccess {
 public:
  static std::vector<IKivXmlNode>* Items(const TKivXmlNode& ANode) {
    return ANode.FChilds ? &ANode.FChilds->FItems : nullptr;
  }
  static std::vector<TKivXmlAttrData>& Attrs(TKivXmlNode& ANode) { return ANode.FAttrs; }
  static const std::vector<TKivXmlAttrData>& Attrs(const TKivXmlNode& ANode) { return ANode.FAttrs; }
  static void SetAttr(TKivXmlNode& ANode, Integer ANameID, TKivVariant AValue) {
    ANode.SetAttr(ANameID, std::move(AValue));
  }
  static const TKivVariant& Data(const TKivXmlElement& AElement) { return AElement.FData; }
  static void SetData(TKivXmlElement& AElement, TKivVariant AValue) { AElement.FData = std::move(AValue); }
  static const TKivVariant& Data(const TKivXmlText& AText) { return AText.FData; }
  // Appends without the checks of AppendChild: the parser only adds fresh nodes.
  static void AppendFresh(TKivXmlNode& AParent, const IKivXmlNode& AChild);
  static void SetNames(TKivXmlNode& ANode, IKivXmlNameTable ANames) { ANode.FNames = std::move(ANames); }
};

// Capacity after growth: by 4 below 9, by 16 up to 64, otherwise by a quarter.
inline size_t XmlGrowCapacity(size_t ACapacity) {
  if (ACapacity < 9) return ACapacity + 4;
  if (ACapacity <= 64) return ACapacity + 16;
  return ACapacity + ACapacity / 4;
}
template <class T>
void XmlReserveOne(std::vector<T>& AItems) {
  if (AItems.size() == AItems.capacity()) AItems.reserve(XmlGrowCapacity(AItems.capacity()));
}

// White space of the syntax is any code up to 32.
inline bool XmlIsBlank(char16_t AChar) {
  return AChar <= 32;
}
bool XmlIsNameStartSlow(char16_t AChar);
bool XmlIsNameCharSlow(char16_t AChar);
char16_t XmlFoldSlow(char16_t AChar);
inline bool XmlIsAsciiLetter(char16_t AChar) {
  return (AChar >= u'a' && AChar <= u'z') || (AChar >= u'A' && AChar <= u'Z');
}
inline bool XmlIsNameStart(char16_t AChar) {
  if (AChar < 0x80) return XmlIsAsciiLetter(AChar) || AChar == u'_';
  return XmlIsNameStartSlow(AChar);
}
inline bool XmlIsNameChar(char16_t AChar) {
  if (AChar < 0x80)
    return XmlIsAsciiLetter(AChar) || (AChar >= u'0' && AChar <= u'9') || AChar == u'_' || AChar == u'-' ||
           AChar == u'.' || AChar == u':';
  return XmlIsNameCharSlow(AChar);
}
// Simple case fold of one code unit (upper then lower case), for hashing and comparing names.
inline char16_t XmlFold(char16_t AChar) {
  if (AChar < 0x80) return (AChar >= u'A' && AChar <= u'Z') ? static_cast<char16_t>(AChar + 32) : AChar;
  return XmlFoldSlow(AChar);
}
bool XmlSameTextIgnoreCase(TKivStringView A, TKivStringView B);

// ---------------------------------------------------------------------------------------------
// Character sources

// The parser reads [FCur, FEnd); Fill() provides the next block and returns false at the end.
class TKivXmlSource {
 public:
  virtual ~TKivXmlSource() = default;
  const char16_t* FCur = nullptr;
  const char16_t* FEnd = nullptr;
  virtual bool Fill() = 0;
};

class TKivXmlStrSource : public TKivXmlSource {
 public:
  explicit TKivXmlStrSource(TKivStringView AText) {
    FCur = AText.data();
    FEnd = AText.data() + AText.size();
  }
  bool Fill() override { return false; }
};

// Decodes a byte stream in a code page, in blocks of 64 KB, starting with the bytes already read
// in APrefix. A character split between blocks decodes correctly; a byte sequence that is not
// valid in the code page raises "Malformed %s text at byte offset %d", the offset counted from
// the start of the stream (AOffset is the number of bytes before APrefix, such as a byte-order
// mark).
class TKivXmlStmSource : public TKivXmlSource {
 public:
  TKivXmlStmSource(std::istream& AStream, std::string APrefix, const TKivEncoding& AEncoding, size_t AOffset);
  bool Fill() override;

 private:
  std::istream& FStream;
  std::string FPending;
  bool FFlushed = false;
  TKivString FName;
  size_t FOffset;
  std::unique_ptr<TKivDecoder> FDecoder;
  TKivCharArray FBuffer;
};

// Reads a UTF-16LE stream.
class TKivXmlUnicodeStmSource : public TKivXmlStmSource {
 public:
  TKivXmlUnicodeStmSource(std::istream& AStream, std::string APrefix, size_t AOffset);
};

// Parses nodes from ASource into ATarget (a document or element) until the end of input.
void XmlParse(TKivXmlNode& ATarget, TKivXmlSource& ASource, bool APreserveWhiteSpace);
// Whether an XML declaration's data reads back as its attribute list.
bool XmlIsDeclarationData(TKivStringView AData);

// How to write: as stored or indented, and, when saving in a code page, which code points it
// holds (others are written as character references, or refused where markup cannot hold one).
struct TXmlWriteContext {
  bool Preserve = false;
  const std::vector<bool>* Encodable = nullptr;
};
// Appends the XML text of ANode at the given indentation depth.
void XmlWrite(const TKivXmlNode& ANode, TKivString& AOut, const TXmlWriteContext& AContext, Integer ADepth);
void XmlEscapeTo(TKivString& AOut, TKivStringView AText);

inline constexpr std::string_view XmlBinaryMarker = "< binary-xml >";
std::string XmlBinaryWrite(const TKivXmlDocument& ADocument);
// Reads binary XML into ADocument's (already cleared) children using ANames.
void XmlBinaryRead(TKivXmlDocument& ADocument, std::string_view AData);

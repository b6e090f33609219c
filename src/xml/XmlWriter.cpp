// The writer: the XML text of nodes, indented or as stored, and escaping.
#include <cstdio>

#include "internal/XmlInternal.h"

namespace {

bool IsLoneSurrogate(TKivStringView AText, size_t AIndex) {
  char16_t c = AText[AIndex];
  if (c >= 0xD800 && c <= 0xDBFF)
    return AIndex + 1 >= AText.size() || AText[AIndex + 1] < 0xDC00 || AText[AIndex + 1] > 0xDFFF;
  if (c >= 0xDC00 && c <= 0xDFFF)
    return AIndex == 0 || AText[AIndex - 1] < 0xD800 || AText[AIndex - 1] > 0xDBFF;
  return false;
}

void AppendCharRef(TKivString& AOut, char32_t AChar) {
  char buf[16];
  int n = std::snprintf(buf, sizeof buf, "&#%u;", static_cast<unsigned>(AChar));
  AOut.append(buf, buf + n);
}

// The code point at AIndex and its length in code units.
char32_t CodePointAt(TKivStringView AText, size_t AIndex, size_t& ALength) {
  char16_t c = AText[AIndex];
  ALength = 1;
  if (c >= 0xD800 && c <= 0xDBFF && AIndex + 1 < AText.size() && AText[AIndex + 1] >= 0xDC00 &&
      AText[AIndex + 1] <= 0xDFFF) {
    ALength = 2;
    return 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (AText[AIndex + 1] - 0xDC00);
  }
  return c;
}

bool Encodable(const TXmlWriteContext& AContext, char32_t ACode) {
  return !AContext.Encodable || (ACode < AContext.Encodable->size() && (*AContext.Encodable)[ACode]);
}

// Markup (names, comments, CDATA, instructions) cannot hold a character reference.
void CheckEncodable(const TXmlWriteContext& AContext, TKivStringView AText, const char16_t* AKind) {
  if (!AContext.Encodable) return;
  for (size_t i = 0, n; i < AText.size(); i += n)
    if (!Encodable(AContext, CodePointAt(AText, i, n)))
      throw EInvalidArgument(
          u"Cannot write the %s \"%s\": the document's encoding lacks some of its characters",
          {AKind, AText});
}

// Where escaped text goes. Every XML reader turns CR LF and a lone CR into LF, and white space
// in an attribute value into spaces: such characters are written as references so that they
// read back as they are.
enum class TEscapeIn { Text, Attribute };

// Escapes AText; with ATrailingRefs the trailing white space is written as character
// references, because the parser trims literal trailing white space from text.
void Escape(TKivString& AOut, TKivStringView AText, bool ATrailingRefs, const TXmlWriteContext& AContext,
            TEscapeIn AWhere) {
  size_t end = AText.size();
  if (ATrailingRefs)
    while (end > 0 && XmlIsBlank(AText[end - 1])) --end;
  for (size_t i = 0; i < end; ++i) {
    char16_t c = AText[i];
    switch (c) {
      case u'"':
        AOut += u"&quot;";
        break;
      case u'&':
        AOut += u"&amp;";
        break;
      case u'<':
        AOut += u"&lt;";
        break;
      case u'>':
        AOut += u"&gt;";
        break;
      case u'\r':
        AOut += u"&#13;";
        break;
      case u'\t':
      case u'\n':
        if (AWhere == TEscapeIn::Attribute)
          AppendCharRef(AOut, c);
        else
          AOut.push_back(c);
        break;
      default:
        // A lone surrogate cannot be encoded in a byte stream; a reference to it can.
        if (c >= 0xD800 && c <= 0xDFFF && IsLoneSurrogate(AText, i)) {
          AppendCharRef(AOut, c);
        } else if (AContext.Encodable && (c >= 0x80 || !Encodable(AContext, c))) {
          size_t n;
          char32_t code = CodePointAt(AText, i, n);
          if (Encodable(AContext, code))
            AOut.append(AText.substr(i, n));
          else
            AppendCharRef(AOut, code);
          i += n - 1;
        } else {
          AOut.push_back(c);
        }
    }
  }
  for (size_t i = end; i < AText.size(); ++i) AppendCharRef(AOut, AText[i]);
}

void EscapeValue(TKivString& AOut, const TKivVariant& AValue, bool ATrailingRefs,
                 const TXmlWriteContext& AContext, TEscapeIn AWhere = TEscapeIn::Text) {
  if (AValue.Type() == vtString)
    Escape(AOut, AValue.StringValue(), ATrailingRefs, AContext, AWhere);
  else if (!AValue.IsEmpty())
    Escape(AOut, AValue.ToText(), ATrailingRefs, AContext, AWhere);
}

const TKivString& CheckedName(const TKivXmlNode& ANode, Integer AID, const char16_t* AKind,
                              const TXmlWriteContext& AContext) {
  const auto& names = *ANode.NameTable();
  if (!names.IsValidNameID(AID))
    throw EInvalidArgument(u"Cannot write the %s name \"%s\": it is not a valid XML name",
                           {AKind, names.IDToName(AID)});
  CheckEncodable(AContext, names.IDToName(AID), u"name");
  return names.IDToName(AID);
}

void WriteAttrs(const TKivXmlNode& ANode, TKivString& AOut, const TXmlWriteContext& AContext) {
  for (const auto& attr : TXmlAccess::Attrs(ANode)) {
    AOut.push_back(u' ');
    AOut += CheckedName(ANode, attr.NameID, u"attribute", AContext);
    AOut += u"=\"";
    EscapeValue(AOut, attr.Value, false, AContext, TEscapeIn::Attribute);
    AOut.push_back(u'"');
  }
}

bool IsBlankText(const IKivXmlNode& ANode) {
  if (ANode->NodeType() != ntText) return false;
  const TKivVariant& value = TXmlAccess::Data(static_cast<const TKivXmlText&>(*ANode));
  if (value.IsEmpty()) return true;
  if (value.Type() != vtString) return false;
  for (char16_t c : value.StringValue())
    if (!XmlIsBlank(c)) return false;
  return true;
}

// Adjacent text nodes read back as one text, whose trailing white space the parser trims: the
// white space at the end of the whole run is written as references, and only that.
void WriteChildren(const std::vector<IKivXmlNode>& AItems, TKivString& AOut, const TXmlWriteContext& AContext,
                   Integer ADepth) {
  for (size_t i = 0; i < AItems.size(); ++i) {
    const TKivXmlNode& child = *AItems[i];
    if (child.NodeType() != ntText) {
      XmlWrite(child, AOut, AContext, ADepth);
      continue;
    }
    size_t next = i + 1;
    while (next < AItems.size() && IsBlankText(AItems[next])) ++next;
    bool runEnd = next >= AItems.size() || AItems[next]->NodeType() != ntText;
    EscapeValue(AOut, TXmlAccess::Data(static_cast<const TKivXmlText&>(child)), runEnd, AContext);
  }
}

void WriteElement(const TKivXmlElement& AElement, TKivString& AOut, const TXmlWriteContext& AContext,
                  Integer ADepth) {
  const bool APreserve = AContext.Preserve;
  if (ADepth >= KivXmlMaxDepth)
    throw EInvalidArgument(u"Cannot write elements nested more than %d deep", {KivXmlMaxDepth});
  const TKivString& name = CheckedName(AElement, AElement.NameID(), u"element", AContext);
  if (!APreserve) {
    AOut += u"\r\n";
    AOut.append(static_cast<size_t>(ADepth), u'\t');
  }
  AOut.push_back(u'<');
  AOut += name;
  WriteAttrs(AElement, AOut, AContext);
  AOut.push_back(u'>');
  const size_t start = AOut.size();
  if (const auto* items = TXmlAccess::Items(AElement); items && !items->empty()) {
    WriteChildren(*items, AOut, AContext, ADepth + 1);
  } else {
    EscapeValue(AOut, TXmlAccess::Data(AElement), true, AContext);
  }
  if (AOut.size() == start) {
    AOut.back() = u'/';
    AOut.push_back(u'>');
    return;
  }
  if (!APreserve && AOut.find_first_of(u"\r\n", start) != TKivString::npos) {
    if (!TKivStringView(AOut).substr(start).ends_with(u"\r\n")) AOut += u"\r\n";
    AOut.append(static_cast<size_t>(ADepth), u'\t');
  }
  AOut += u"</";
  AOut += name;
  AOut.push_back(u'>');
}

void WriteCDATA(TKivStringView AData, TKivString& AOut, const TXmlWriteContext& AContext) {
  CheckEncodable(AContext, AData, u"CDATA section");
  // "]]>" inside the data is split between "]]" and ">" so that it reads back unchanged.
  AOut += u"<![CDATA[";
  size_t start = 0;
  for (size_t at; (at = AData.find(u"]]>", start)) != TKivStringView::npos; start = at + 2) {
    AOut.append(AData.substr(start, at + 2 - start));
    AOut += u"]]><![CDATA[";
  }
  AOut.append(AData.substr(start));
  AOut += u"]]>";
}

void WriteComment(TKivStringView AData, TKivString& AOut, const TXmlWriteContext& AContext) {
  CheckEncodable(AContext, AData, u"comment");
  if (AData.find(u"--") != TKivStringView::npos || AData.ends_with(u"-"))
    throw EInvalidArgument(
        u"Cannot write the comment \"%s\": a comment cannot contain \"--\" or end with \"-\"", {AData});
  AOut += u"<!--";
  AOut.append(AData);
  AOut += u"-->";
}

void WriteInstruction(const TKivXmlProcessingInstruction& API, TKivString& AOut,
                      const TXmlWriteContext& AContext) {
  const TKivString& target = CheckedName(API, API.NameID(), u"processing instruction", AContext);
  CheckEncodable(AContext, API.Data(), u"processing instruction");
  const TKivString& data = API.Data();
  if (data.find(u"?>") != TKivString::npos)
    throw EInvalidArgument(u"Cannot write the processing instruction \"%s\": its data contains \"?>\"",
                           {target});
  if (API.NameID() == API.NameTable()->XmlID() && !data.empty() && !XmlIsDeclarationData(data))
    throw EInvalidArgument(u"Cannot write the XML declaration \"%s\": its data is not a list of attributes",
                           {data});
  AOut += u"<?";
  AOut += target;
  if (!data.empty()) {
    AOut.push_back(u' ');
    AOut += data;
  } else {
    WriteAttrs(API, AOut, AContext);
  }
  AOut += u"?>";
}

}  // namespace

void XmlEscapeTo(TKivString& AOut, TKivStringView AText) {
  Escape(AOut, AText, false, TXmlWriteContext(), TEscapeIn::Text);
}

void XmlWrite(const TKivXmlNode& ANode, TKivString& AOut, const TXmlWriteContext& AContext, Integer ADepth) {
  switch (ANode.NodeType()) {
    case ntElement:
      WriteElement(static_cast<const TKivXmlElement&>(ANode), AOut, AContext, ADepth);
      break;
    case ntText:
      EscapeValue(AOut, TXmlAccess::Data(static_cast<const TKivXmlText&>(ANode)), true, AContext);
      break;
    case ntCDATASection:
      WriteCDATA(static_cast<const TKivXmlCDATASection&>(ANode).Data(), AOut, AContext);
      break;
    case ntComment:
      WriteComment(static_cast<const TKivXmlComment&>(ANode).Data(), AOut, AContext);
      break;
    case ntProcessingInstruction:
      WriteInstruction(static_cast<const TKivXmlProcessingInstruction&>(ANode), AOut, AContext);
      break;
    case ntDocument:
      if (const auto* items = TXmlAccess::Items(ANode)) WriteChildren(*items, AOut, AContext, ADepth);
      break;
  }
}

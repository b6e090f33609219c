// The XML parser: reads nodes from a character source into a document or element.
#include "internal/XmlInternal.h"

namespace {

const char16_t* const KNotFinished = u"Setting of element isn't finished";
const char16_t* const KInvalidSymbol = u"Invalid symbol in the element name";
const char16_t* const KNameStart = u"Name should began with the letter or symbol \"_\"";
const char16_t* const KWaiting = u"Waiting \"%s\"";
const char16_t* const KWaitingValue = u"Waiting attribute value";
const char16_t* const KWaitingString = u"Waiting string constant";
const char16_t* const KLessInValue = u"Symbol \"<\" cannot used in attribute values";
const char16_t* const KWaitingEntity = u"Waiting \"#\" or managing symbol name";
const char16_t* const KWaitingNumber = u"Waiting number";
const char16_t* const KWaitingHex = u"Waiting hexadecimal number";
const char16_t* const KBadEntity = u"Incorrect name of a managing symbol";
const char16_t* const KTooDeep = u"Elements are nested too deeply";

[[noreturn]] void Fail(const char16_t* AMessage) {
  throw EKivXmlError(TKivString(AMessage));
}
[[noreturn]] void Waiting(TKivStringView AText) {
  throw EKivXmlError(KWaiting, {AText});
}

class TXmlParser {
 public:
  TXmlParser(TKivXmlSource& ASource, const IKivXmlNameTable& ANames, bool APreserve)
      : S(ASource), FNames(ANames), FPreserve(APreserve) {}

  // Parses nodes into AParent until the end of input (false) or until it has read "</" (true).
  bool ParseNodes(TKivXmlNode& AParent);
  void ParseAttrs(TKivXmlNode& ANode, bool AInstruction);
  void ExpectText(TKivStringView AText);
  bool AtEnd() { return Peek() < 0; }
  [[noreturn]] void StrayClosingTag();

 private:
  int Peek() {
    if (S.FCur == S.FEnd && !S.Fill()) return -1;
    return *S.FCur;
  }
  int Next() {
    int c = Peek();
    if (c >= 0) ++S.FCur;
    return c;
  }
  void SkipBlanks() {
    for (int c = Peek(); c >= 0 && XmlIsBlank(static_cast<char16_t>(c)); c = Peek()) ++S.FCur;
  }
  void ExpectChar(char16_t AChar) {
    if (Next() != AChar) Waiting(TKivStringView(&AChar, 1));
  }
  Integer ReadName();
  void ParseText(TKivXmlNode& AParent);
  void ParseEntity(TKivString& AOut);
  void ParseElement(TKivXmlNode& AParent);
  void ParseInstruction(TKivXmlNode& AParent);
  void ParseBang(TKivXmlNode& AParent);
  void SkipDoctype();
  // Reads up to the terminator (case-sensitive) into FBuf, without the terminator. At the end
  // of input raises "Waiting" with AWaiting.
  void ScanTo(TKivStringView ATerminator, TKivStringView AWaiting);

  TKivXmlSource& S;
  IKivXmlNameTable FNames;
  bool FPreserve;
  Integer FDepth = 0;
  TKivString FBuf;
  TKivString FName;
};

Integer TXmlParser::ReadName() {
  int c = Peek();
  if (c < 0 || !XmlIsNameStart(static_cast<char16_t>(c))) Fail(KNameStart);
  FName.clear();
  ++S.FCur;
  FName.push_back(static_cast<char16_t>(c));
  for (;;) {
    const char16_t* p = S.FCur;
    while (p < S.FEnd && XmlIsNameChar(*p)) ++p;
    FName.append(S.FCur, p);
    S.FCur = p;
    if (p < S.FEnd || !S.Fill()) break;
  }
  return FNames->NameToID(FName);
}

void TXmlParser::ExpectText(TKivStringView AText) {
  for (size_t i = 0; i < AText.size(); ++i) {
    int c = Peek();
    if (c < 0 || XmlFold(static_cast<char16_t>(c)) != XmlFold(AText[i])) Waiting(AText.substr(i));
    ++S.FCur;
  }
}

bool TXmlParser::ParseNodes(TKivXmlNode& AParent) {
  for (;;) {
    int c = Peek();
    if (c < 0) return false;
    if (c != u'<') {
      ParseText(AParent);
      continue;
    }
    ++S.FCur;
    c = Peek();
    if (c == u'/') {
      ++S.FCur;
      return true;
    }
    if (c == u'?') {
      ++S.FCur;
      ParseInstruction(AParent);
    } else if (c == u'!') {
      ++S.FCur;
      ParseBang(AParent);
    } else {
      ParseElement(AParent);
    }
  }
}

void TXmlParser::ParseText(TKivXmlNode& AParent) {
  FBuf.clear();
  // Length of the text without its trailing white space; characters from references count as
  // text, so "&#32;" survives the trim.
  size_t keep = 0;
  for (;;) {
    if (S.FCur == S.FEnd && !S.Fill()) break;
    const char16_t* start = S.FCur;
    const char16_t* p = start;
    while (p < S.FEnd && *p != u'<' && *p != u'&') ++p;
    if (p > start) {
      size_t base = FBuf.size();
      FBuf.append(start, p);
      for (const char16_t* q = p; q > start;) {
        if (!XmlIsBlank(*--q)) {
          keep = base + static_cast<size_t>(q - start) + 1;
          break;
        }
      }
    }
    S.FCur = p;
    if (p == S.FEnd) continue;
    if (*p == u'<') break;
    ++S.FCur;
    ParseEntity(FBuf);
    keep = FBuf.size();
  }
  if (keep == 0 && !FPreserve) return;
  FBuf.resize(keep);
  TXmlAccess::AppendFresh(AParent, IKivXmlNode(new TKivXmlText(FNames, TKivVariant(FBuf))));
}

void TXmlParser::ParseEntity(TKivString& AOut) {
  int c = Peek();
  if (c < 0) Fail(KWaitingEntity);
  if (c == u'#') {
    ++S.FCur;
    bool hex = Peek() == u'x';
    if (hex) ++S.FCur;
    const char16_t* error = hex ? KWaitingHex : KWaitingNumber;
    uint32_t code = 0;
    int digits = 0;
    for (;;) {
      c = Peek();
      int d = -1;
      if (c >= u'0' && c <= u'9')
        d = c - u'0';
      else if (hex && c >= u'a' && c <= u'f')
        d = c - u'a' + 10;
      else if (hex && c >= u'A' && c <= u'F')
        d = c - u'A' + 10;
      if (d < 0) break;
      code = code * (hex ? 16 : 10) + static_cast<uint32_t>(d);
      if (code > 0x10FFFF) Fail(error);
      ++digits;
      ++S.FCur;
    }
    if (digits == 0 || c != u';') Fail(error);
    ++S.FCur;
    if (code > 0xFFFF) {
      code -= 0x10000;
      AOut.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      AOut.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      AOut.push_back(static_cast<char16_t>(code));
    }
    return;
  }
  FName.clear();
  while (c >= 0 && XmlIsNameChar(static_cast<char16_t>(c)) && FName.size() < 64) {
    FName.push_back(static_cast<char16_t>(c));
    ++S.FCur;
    c = Peek();
  }
  if (FName.empty()) Fail(KWaitingEntity);
  ExpectChar(u';');
  if (FName == u"amp")
    AOut.push_back(u'&');
  else if (FName == u"lt")
    AOut.push_back(u'<');
  else if (FName == u"gt")
    AOut.push_back(u'>');
  else if (FName == u"quot")
    AOut.push_back(u'"');
  else if (FName == u"apos")
    AOut.push_back(u'\'');
  else
    Fail(KBadEntity);
}

void TXmlParser::ParseAttrs(TKivXmlNode& ANode, bool AInstruction) {
  for (;;) {
    SkipBlanks();
    int c = Peek();
    if (c < 0) {
      if (AInstruction) Waiting(u"?>");
      Fail(KNotFinished);
    }
    if (AInstruction ? c == u'?' : (c == u'/' || c == u'>')) return;
    Integer id = ReadName();
    SkipBlanks();
    ExpectChar(u'=');
    SkipBlanks();
    c = Peek();
    if (c < 0) Fail(KWaitingValue);
    if (c != u'"' && c != u'\'') Fail(KWaitingString);
    const char16_t quote = static_cast<char16_t>(c);
    ++S.FCur;
    FBuf.clear();
    for (;;) {
      if (S.FCur == S.FEnd && !S.Fill()) Waiting(TKivStringView(&quote, 1));
      const char16_t* start = S.FCur;
      const char16_t* p = start;
      while (p < S.FEnd && *p != quote && *p != u'<' && *p != u'&') ++p;
      FBuf.append(start, p);
      S.FCur = p;
      if (p == S.FEnd) continue;
      ++S.FCur;
      if (*p == quote) break;
      if (*p == u'<') Fail(KLessInValue);
      ParseEntity(FBuf);
    }
    TXmlAccess::SetAttr(ANode, id, TKivVariant(FBuf));
  }
}

void TXmlParser::ParseElement(TKivXmlNode& AParent) {
  if (Peek() < 0) Fail(KNotFinished);
  Integer id = ReadName();
  int c = Peek();
  if (c < 0) Fail(KNotFinished);
  if (!(XmlIsBlank(static_cast<char16_t>(c)) || c == u'/' || c == u'>')) Fail(KInvalidSymbol);
  if (FDepth >= KivXmlMaxDepth) Fail(KTooDeep);
  IKivXmlElement element(new TKivXmlElement(FNames, id));
  TXmlAccess::AppendFresh(AParent, element);
  ParseAttrs(*element, false);
  if (Next() == u'/') {
    ExpectChar(u'>');
    return;
  }
  ++FDepth;
  bool closed = ParseNodes(*element);
  --FDepth;
  if (!closed) Waiting(u"</");
  ExpectText(FNames->IDToName(id));
  SkipBlanks();
  ExpectChar(u'>');
}

void TXmlParser::ParseInstruction(TKivXmlNode& AParent) {
  Integer id = ReadName();
  if (id == FNames->XmlID()) {
    IKivXmlProcessingInstruction pi(new TKivXmlProcessingInstruction(FNames, id, {}));
    TXmlAccess::AppendFresh(AParent, pi);
    ParseAttrs(*pi, true);
    ExpectText(u"?>");
    return;
  }
  SkipBlanks();
  ScanTo(u"?>", u"?>");
  TXmlAccess::AppendFresh(AParent, IKivXmlNode(new TKivXmlProcessingInstruction(FNames, id, FBuf)));
}

void TXmlParser::ParseBang(TKivXmlNode& AParent) {
  int c = Peek();
  if (c == u'-') {
    ExpectText(u"--");
    // "--" may only close the comment.
    ScanTo(u"--", u"-->");
    ExpectChar(u'>');
    TXmlAccess::AppendFresh(AParent, IKivXmlNode(new TKivXmlComment(FNames, FBuf)));
  } else if (c == u'[') {
    ExpectText(u"[CDATA[");
    ScanTo(u"]]>", u"]]>");
    TXmlAccess::AppendFresh(AParent, IKivXmlNode(new TKivXmlCDATASection(FNames, FBuf)));
  } else {
    ExpectText(u"DOCTYPE");
    SkipDoctype();
  }
}

void TXmlParser::SkipDoctype() {
  // The internal subset in brackets is skipped as a unit: "]" and ">" may stand inside the
  // strings of its declarations, its comments and its processing instructions, and an
  // apostrophe in a comment or instruction opens no string.
  int quote = 0, depth = 0;
  for (;;) {
    int c = Next();
    if (c < 0) Waiting(u">");
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == u'"' || c == u'\'') {
      quote = c;
    } else if (c == u'[') {
      ++depth;
    } else if (c == u']') {
      if (depth > 0) --depth;
    } else if (c == u'>') {
      if (depth == 0) return;
    } else if (c == u'<' && depth > 0 && Peek() == u'?') {
      ++S.FCur;
      ScanTo(u"?>", u"?>");
    } else if (c == u'<' && depth > 0 && Peek() == u'!') {
      ++S.FCur;
      if (Peek() == u'-') {
        ExpectText(u"--");
        ScanTo(u"-->", u"-->");
      }
    }
  }
}

void TXmlParser::ScanTo(TKivStringView ATerminator, TKivStringView AWaiting) {
  FBuf.clear();
  const char16_t last = ATerminator.back();
  for (;;) {
    if (S.FCur == S.FEnd && !S.Fill()) Waiting(AWaiting);
    const char16_t* start = S.FCur;
    const char16_t* p = start;
    while (p < S.FEnd && *p != last) ++p;
    if (p == S.FEnd) {
      FBuf.append(start, p);
      S.FCur = p;
      continue;
    }
    FBuf.append(start, p + 1);
    S.FCur = p + 1;
    if (FBuf.size() >= ATerminator.size() &&
        TKivStringView(FBuf).substr(FBuf.size() - ATerminator.size()) == ATerminator) {
      FBuf.resize(FBuf.size() - ATerminator.size());
      return;
    }
  }
}

void TXmlParser::StrayClosingTag() {
  TKivString found = u"</";
  for (int c = Peek(); c >= 0 && found.size() < 64; c = Peek()) {
    ++S.FCur;
    found.push_back(static_cast<char16_t>(c));
    if (c == u'>') break;
  }
  Waiting(found);
}

}  // namespace

void XmlParse(TKivXmlNode& ATarget, TKivXmlSource& ASource, bool APreserveWhiteSpace) {
  TXmlParser parser(ASource, ATarget.NameTable(), APreserveWhiteSpace);
  if (parser.ParseNodes(ATarget)) parser.StrayClosingTag();
}

bool XmlIsDeclarationData(TKivStringView AData) {
  TKivString text(AData);
  text += u"?>";
  TKivXmlStrSource source(text);
  IKivXmlProcessingInstruction probe(new TKivXmlProcessingInstruction(new TKivXmlNameTable(16), 4, {}));
  TXmlParser parser(source, probe->NameTable(), false);
  try {
    parser.ParseAttrs(*probe, true);
    parser.ExpectText(u"?>");
  } catch (const EKivXmlError&) {
    return false;
  }
  return parser.AtEnd();
}

// The document node: creation of nodes, the declaration, loading from text and the global
// entry points.
#include "internal/XmlInternal.h"

namespace {

TKivBOM BOMOfDefaultEncoding() {
  const TKivString& name = KivXmlDefaultEncoding();
  if (XmlSameTextIgnoreCase(name, u"utf-8")) return bomUTF8;
  if (XmlSameTextIgnoreCase(name, u"utf-16le")) return bomUTF16LE;
  return bomNone;
}

void CheckNameID(const TKivXmlNameTable& ANames, Integer AID, const char16_t* AKind) {
  if (AID < 0 || AID >= ANames.Count()) throw EInvalidArgument(u"Invalid %s name ID %d", {AKind, AID});
}

}  // namespace

TKivXmlDocument::TKivXmlDocument(IKivXmlNameTable ANames) : TKivXmlNode(std::move(ANames)) {
  FCaseSensitive = NameTable()->CaseSensitive();
}

Integer TKivXmlDocument::NameID() const {
  return NameTable()->XmlDocumentNameID();
}

void TKivXmlDocument::SetText(const TKivString&) {
  throw EInvalidArgument(u"The node \"%s\" has no value of its own", {NodeName()});
}

void TKivXmlDocument::SetNodeValue(const TKivVariant& AValue) {
  SetText(AValue.ToText());
}

IKivXmlNode TKivXmlDocument::CloneNode(bool ADeep) const {
  IKivXmlDocument clone(new TKivXmlDocument(NameTable()));
  clone->FPreserveWhiteSpace = FPreserveWhiteSpace;
  clone->FCaseSensitive = FCaseSensitive;
  clone->FBOM = FBOM;
  CopyTo(*clone, ADeep);
  return clone;
}

IKivXmlElement TKivXmlDocument::DocumentElement() const {
  if (const auto* items = TXmlAccess::Items(*this))
    for (const auto& child : *items)
      if (child->NodeType() == ntElement) return IKivXmlElement(static_cast<TKivXmlElement*>(child.get()));
  return nullptr;
}

void TKivXmlDocument::SetCaseSensitive(bool AValue) {
  FCaseSensitive = AValue;
  NameTable()->SetCaseSensitive(AValue);
}

IKivXmlElement TKivXmlDocument::NewDocument(const TKivString& AVersion, const TKivString& AEncoding,
                                            TKivStringView ARootName) {
  const TKivString encoding = AEncoding.empty() ? KivXmlDefaultEncoding() : AEncoding;
  for (const TKivString* s : {&AVersion, &encoding})
    for (char16_t c : *s)
      if (c == u'"' || c == u'<' || c == u'&' || c == u'?' || c < 32)
        throw EInvalidArgument(u"Invalid text \"%s\" for the XML declaration", {*s});
  if (!KivXmlIsValidName(ARootName))
    throw EInvalidArgument(u"Invalid root element name \"%s\"", {TKivString(ARootName)});
  Clear();
  if (XmlSameTextIgnoreCase(encoding, u"UTF-8"))
    FBOM = bomUTF8;
  else if (XmlSameTextIgnoreCase(encoding, u"UTF-16") || XmlSameTextIgnoreCase(encoding, u"UTF-16LE"))
    FBOM = bomUTF16LE;
  else
    FBOM = bomNone;
  AppendNewInstructionID(NameTable()->XmlID(),
                         u"version=\"" + AVersion + u"\" encoding=\"" + encoding + u"\"");
  return AppendNewElement(ARootName);
}

IKivXmlElement TKivXmlDocument::CreateElement(TKivStringView AName) {
  return CreateElementID(NameTable()->NameToID(AName));
}

IKivXmlElement TKivXmlDocument::CreateElementID(Integer ANameID) {
  CheckNameID(*NameTable(), ANameID, u"element");
  return new TKivXmlElement(NameTable(), ANameID);
}

IKivXmlText TKivXmlDocument::CreateTextNode(const TKivVariant& AData) {
  return new TKivXmlText(NameTable(), AData);
}

IKivXmlCDATASection TKivXmlDocument::CreateCDATASection(const TKivString& AData) {
  return new TKivXmlCDATASection(NameTable(), AData);
}

IKivXmlComment TKivXmlDocument::CreateComment(const TKivString& AData) {
  return new TKivXmlComment(NameTable(), AData);
}

IKivXmlProcessingInstruction TKivXmlDocument::CreateProcessingInstruction(TKivStringView ATarget,
                                                                          const TKivString& AData) {
  return CreateProcessingInstructionID(NameTable()->NameToID(ATarget), AData);
}

IKivXmlProcessingInstruction TKivXmlDocument::CreateProcessingInstructionID(Integer ATargetID,
                                                                            const TKivString& AData) {
  CheckNameID(*NameTable(), ATargetID, u"processing instruction");
  return new TKivXmlProcessingInstruction(NameTable(), ATargetID, AData);
}

void TKivXmlDocument::Clear() {
  DropChildren();
  DropAttrs();
}

void TKivXmlDocument::LoadXml(const TKivString& AText) {
  if (AText.size() >= XmlBinaryMarker.size() &&
      std::equal(XmlBinaryMarker.begin(), XmlBinaryMarker.end(), AText.begin())) {
    std::string bytes;
    bytes.reserve(AText.size());
    for (char16_t c : AText) {
      if (c > 0xFF) throw EKivXmlError(u"Read data error");
      bytes.push_back(static_cast<char>(c));
    }
    LoadBinaryXml(bytes);
    return;
  }
  Clear();
  FBOM = BOMOfDefaultEncoding();
  TKivXmlStrSource source(AText);
  XmlParse(*this, source, FPreserveWhiteSpace);
}

void TKivXmlDocument::LoadBinaryXml(std::string_view AData) {
  Clear();
  TXmlAccess::SetNames(*this, new TKivXmlNameTable(4096, true));
  FCaseSensitive = true;
  XmlBinaryRead(*this, AData);
}

IKivXmlDocument CreateXmlDocument(TKivStringView ARootName, const TKivString& AVersion,
                                  const TKivString& AEncoding, bool ACaseSensitive, IKivXmlNameTable ANames) {
  IKivXmlNameTable names = ANames ? ANames : KivXmlGlobalNameTable();
  if (!ANames) names->SetCaseSensitive(ACaseSensitive);
  IKivXmlDocument doc(new TKivXmlDocument(names));
  doc->SetCaseSensitive(ACaseSensitive);
  if (!ARootName.empty()) doc->NewDocument(AVersion, AEncoding, ARootName);
  return doc;
}

IKivXmlDocument LoadXmlDocumentFromXml(const TKivString& AText) {
  IKivXmlDocument doc(new TKivXmlDocument(KivXmlGlobalNameTable()));
  doc->LoadXml(AText);
  return doc;
}

IKivXmlDocument LoadXmlDocumentFromFile(const TKivString& AFileName) {
  IKivXmlDocument doc(new TKivXmlDocument(KivXmlGlobalNameTable()));
  doc->LoadFromFile(AFileName);
  return doc;
}

// The name table and the character classes of names.
#include "KivUnicode.h"
#include "XmlInternal.h"

bool XmlIsNameStart(char16_t AChar) {
  if (AChar < 0x80)
    return (AChar >= u'a' && AChar <= u'z') || (AChar >= u'A' && AChar <= u'Z') || AChar == u'_';
  return KivIsLetter(AChar);
}

bool XmlIsNameChar(char16_t AChar) {
  if (AChar < 0x80)
    return (AChar >= u'a' && AChar <= u'z') || (AChar >= u'A' && AChar <= u'Z') ||
           (AChar >= u'0' && AChar <= u'9') || AChar == u'_' || AChar == u'-' || AChar == u'.' ||
           AChar == u':';
  return KivIsLetter(AChar) || KivIsDigit(AChar);
}

char16_t XmlFold(char16_t AChar) {
  if (AChar < 0x80) return (AChar >= u'A' && AChar <= u'Z') ? static_cast<char16_t>(AChar + 32) : AChar;
  return KivLowCase(KivUpCase(AChar));
}

bool XmlSameTextIgnoreCase(TKivStringView A, TKivStringView B) {
  if (A.size() != B.size()) return false;
  for (size_t i = 0; i < A.size(); ++i)
    if (A[i] != B[i] && XmlFold(A[i]) != XmlFold(B[i])) return false;
  return true;
}

bool KivXmlIsValidName(TKivStringView AName) {
  if (AName.empty() || !XmlIsNameStart(AName[0])) return false;
  for (size_t i = 1; i < AName.size(); ++i)
    if (!XmlIsNameChar(AName[i])) return false;
  return true;
}

namespace {

Cardinal HashFolded(TKivStringView AFolded) {
  Cardinal h = 0;
  for (char16_t c : AFolded) h = h * 33 + c;
  return h;
}

TKivString Folded(TKivStringView AName) {
  TKivString key(AName);
  for (auto& c : key) c = XmlFold(c);
  return key;
}

}  // namespace

TKivXmlNameTable::TKivXmlNameTable(Integer ABucketCount, bool ACaseSensitive)
    : FCaseSensitive(ACaseSensitive) {
  if (ABucketCount <= 0) throw EInvalidArgument(u"The bucket count of a name table must be positive");
  FHashTable.resize(static_cast<size_t>(ABucketCount));
  FXmlTextNameID = NameToID(u"#text");
  FXmlCDATASectionNameID = NameToID(u"#cdata-section");
  FXmlCommentNameID = NameToID(u"#comment");
  FXmlDocumentNameID = NameToID(u"#document");
  FXmlID = NameToID(u"xml");
}

Integer TKivXmlNameTable::FindID(TKivStringView AName) const {
  if (AName.empty()) return -1;
  TKivString key = Folded(AName);
  const auto& bucket = FHashTable[HashFolded(key) % FHashTable.size()];
  for (Integer id : bucket) {
    if (FCaseSensitive ? FNames[id] == AName : FFolded[id] == key) return id;
  }
  return -1;
}

Integer TKivXmlNameTable::NameToID(TKivStringView AName) {
  if (AName.empty()) return -1;
  TKivString key = Folded(AName);
  auto& bucket = FHashTable[HashFolded(key) % FHashTable.size()];
  for (Integer id : bucket) {
    if (FCaseSensitive ? FNames[id] == AName : FFolded[id] == key) return id;
  }
  auto id = static_cast<Integer>(FNames.size());
  FNames.emplace_back(AName);
  FFolded.push_back(std::move(key));
  FValid.push_back(-1);
  bucket.push_back(id);
  return id;
}

const TKivString& TKivXmlNameTable::IDToName(Integer AID) const {
  static const TKivString empty;
  if (AID < 0 || AID >= Count()) return empty;
  return FNames[AID];
}

bool TKivXmlNameTable::IsValidNameID(Integer AID) const {
  if (AID < 0 || AID >= Count()) return false;
  if (FValid[AID] < 0) FValid[AID] = KivXmlIsValidName(FNames[AID]) ? 1 : 0;
  return FValid[AID] == 1;
}

IKivXmlNameTable KivXmlGlobalNameTable() {
  static IKivXmlNameTable table(new TKivXmlNameTable(4096, true));
  return table;
}

namespace {
TKivString& DefaultEncoding() {
  static TKivString name = u"windows-1251";
  return name;
}
}  // namespace

const TKivString& KivXmlDefaultEncoding() {
  return DefaultEncoding();
}
void KivXmlSetDefaultEncoding(const TKivString& AName) {
  DefaultEncoding() = AName;
}

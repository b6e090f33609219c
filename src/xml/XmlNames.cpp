// The name table and the character classes of names.
#include <utility>

#include "KivUnicode.h"
#include "internal/XmlInternal.h"

bool XmlIsNameStartSlow(char16_t AChar) {
  return KivIsLetter(AChar);
}
bool XmlIsNameCharSlow(char16_t AChar) {
  return KivIsLetter(AChar) || KivIsDigit(AChar);
}
char16_t XmlFoldSlow(char16_t AChar) {
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

Cardinal FoldedHash(TKivStringView AName) {
  Cardinal h = 0;
  for (char16_t c : AName) h = h * 33 + XmlFold(c);
  return h;
}

bool EqualsFolded(const TKivString& AFolded, TKivStringView AName) {
  if (AFolded.size() != AName.size()) return false;
  for (size_t i = 0; i < AName.size(); ++i)
    if (AFolded[i] != AName[i] && AFolded[i] != XmlFold(AName[i])) return false;
  return true;
}

}  // namespace

TKivXmlNameTable::TKivXmlNameTable(Integer ABucketCount, bool ACaseSensitive)
    : FCaseSensitive(ACaseSensitive) {
  if (ABucketCount <= 0) throw EInvalidArgument(u"The bucket count of a name table must be positive");
  FHashTable.resize(static_cast<size_t>(ABucketCount));
  static constexpr std::pair<Integer, TKivStringView> KFixedNames[] = {
      {KivXmlTextNameID, u"#text"},         {KivXmlCDATASectionNameID, u"#cdata-section"},
      {KivXmlCommentNameID, u"#comment"},   {KivXmlDocumentNameID, u"#document"},
      {KivXmlXmlNameID, u"xml"},
  };
  for (const auto& [id, name] : KFixedNames) {
    const Integer interned = NameToID(name);
    KIV_ASSERT(interned == id, "KivXML");
  }
}

Integer TKivXmlNameTable::FindID(TKivStringView AName) const {
  if (AName.empty()) return -1;
  const auto& bucket = FHashTable[FoldedHash(AName) % FHashTable.size()];
  for (Integer id : bucket) {
    if (FCaseSensitive ? FNames[id] == AName : EqualsFolded(FFolded[id], AName)) return id;
  }
  return -1;
}

Integer TKivXmlNameTable::NameToID(TKivStringView AName) {
  if (AName.empty()) return -1;
  auto& bucket = FHashTable[FoldedHash(AName) % FHashTable.size()];
  for (Integer id : bucket) {
    if (FCaseSensitive ? FNames[id] == AName : EqualsFolded(FFolded[id], AName)) return id;
  }
  auto id = static_cast<Integer>(FNames.size());
  FNames.emplace_back(AName);
  TKivString folded(AName);
  for (auto& c : folded) c = XmlFold(c);
  FFolded.push_back(std::move(folded));
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

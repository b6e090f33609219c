// Attributes of a node: indexed access, typed getters and setters, and value paths.
#include <cstdio>
#include <limits>

#include "internal/XmlInternal.h"

namespace {

[[noreturn]] void IndexOutOfRange() {
  throw EKivXmlError(u"Getting element error: Index is out of range");
}

Integer ToInteger(const TKivVariant& AValue) {
  int64_t v = AValue.ToInt();
  if (v < std::numeric_limits<Integer>::min() || v > std::numeric_limits<Integer>::max())
    throw EKivXmlError(u"Could not convert \"%s\" into %s", {AValue.ToText(), u"Integer"});
  return static_cast<Integer>(v);
}

Integer HexToInteger(const TKivVariant& AValue) {
  TKivString text = AValue.ToText();
  size_t first = 0, last = text.size();
  while (first < last && XmlIsBlank(text[first])) ++first;
  while (last > first && XmlIsBlank(text[last - 1])) --last;
  while (first < last && last - first > 8 && text[first] == u'0') ++first;
  if (first == last || last - first > 8)
    throw EKivXmlError(u"Could not convert \"%s\" into %s", {text, u"hexadecimal number"});
  Cardinal v = 0;
  for (size_t i = first; i < last; ++i) {
    char16_t c = text[i];
    Cardinal d;
    if (c >= u'0' && c <= u'9')
      d = c - u'0';
    else if (c >= u'a' && c <= u'f')
      d = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
      d = c - u'A' + 10;
    else
      throw EKivXmlError(u"Could not convert \"%s\" into %s", {text, u"hexadecimal number"});
    v = v * 16 + d;
  }
  return static_cast<Integer>(v);
}

Integer EnumIndex(const TKivString& AText, const std::vector<TKivString>& AValues) {
  for (size_t i = 0; i < AValues.size(); ++i)
    if (XmlSameTextIgnoreCase(AText, AValues[i])) return static_cast<Integer>(i);
  return -1;
}

}  // namespace

Integer TKivXmlNode::FindAttr(Integer ANameID) const {
  if (ANameID < 0) return -1;
  for (size_t i = 0; i < FAttrs.size(); ++i)
    if (FAttrs[i].NameID == ANameID) return static_cast<Integer>(i);
  return -1;
}

void TKivXmlNode::SetAttr(Integer ANameID, TKivVariant AValue) {
  if (!CanHaveAttrs()) throw EInvalidArgument(u"The node \"%s\" cannot have attributes", {NodeName()});
  if (ANameID < 0 || ANameID >= FNames->Count())
    throw EInvalidArgument(u"Invalid attribute name ID %d", {ANameID});
  Integer index = FindAttr(ANameID);
  if (index >= 0) {
    FAttrs[index].Value = std::move(AValue);
    return;
  }
  XmlReserveOne(FAttrs);
  FAttrs.push_back(TKivXmlAttrData{ANameID, std::move(AValue)});
}

const TKivXmlAttrData* TKivXmlNode::AttrByName(TKivStringView AName) const {
  Integer index = FindAttr(FNames->FindID(AName));
  return index >= 0 ? &FAttrs[index] : nullptr;
}

Integer TKivXmlNode::AttrNameIDAt(Integer AIndex) const {
  if (AIndex < 0 || AIndex >= AttrCount()) IndexOutOfRange();
  return FAttrs[AIndex].NameID;
}

TKivString TKivXmlNode::AttrNameAt(Integer AIndex) const {
  return FNames->IDToName(AttrNameIDAt(AIndex));
}

const TKivVariant& TKivXmlNode::AttrValueAt(Integer AIndex) const {
  if (AIndex < 0 || AIndex >= AttrCount()) IndexOutOfRange();
  return FAttrs[AIndex].Value;
}

TKivString TKivXmlNode::AttrTextAt(Integer AIndex) const {
  return AttrValueAt(AIndex).ToText();
}

void TKivXmlNode::PutAttrTextAt(Integer AIndex, const TKivString& AText) {
  if (AIndex < 0 || AIndex >= AttrCount()) IndexOutOfRange();
  FAttrs[AIndex].Value = TKivVariant(AText);
}

bool TKivXmlNode::AttrExists(TKivStringView AName) const {
  return AttrByName(AName) != nullptr;
}
bool TKivXmlNode::AttrExistsID(Integer ANameID) const {
  return FindAttr(ANameID) >= 0;
}

TKivVarType TKivXmlNode::AttrValueType(TKivStringView AName) const {
  return AttrValueTypeID(FNames->FindID(AName));
}

TKivVarType TKivXmlNode::AttrValueTypeID(Integer ANameID) const {
  Integer index = FindAttr(ANameID);
  return index >= 0 ? FAttrs[index].Value.Type() : vtEmpty;
}

void TKivXmlNode::DropAttr(TKivStringView AName) {
  DropAttrID(FNames->FindID(AName));
}

void TKivXmlNode::DropAttrID(Integer ANameID) {
  Integer index = FindAttr(ANameID);
  if (index >= 0) FAttrs.erase(FAttrs.begin() + index);
}

void TKivXmlNode::DropAttrs() {
  FAttrs.clear();
}

// Typed getters -------------------------------------------------------------------------------

TKivString TKivXmlNode::ReadAttrText(TKivStringView AName, const TKivString& ADefault) const {
  return ReadAttrTextID(FNames->FindID(AName), ADefault);
}
TKivString TKivXmlNode::ReadAttrTextID(Integer ANameID, const TKivString& ADefault) const {
  Integer i = FindAttr(ANameID);
  return i >= 0 ? FAttrs[i].Value.ToText() : ADefault;
}

bool TKivXmlNode::ReadAttrBool(TKivStringView AName, bool ADefault) const {
  return ReadAttrBoolID(FNames->FindID(AName), ADefault);
}
bool TKivXmlNode::ReadAttrBoolID(Integer ANameID, bool ADefault) const {
  Integer i = FindAttr(ANameID);
  return i >= 0 ? FAttrs[i].Value.ToBool() : ADefault;
}

Integer TKivXmlNode::ReadAttrInt(TKivStringView AName, Integer ADefault) const {
  return ReadAttrIntID(FNames->FindID(AName), ADefault);
}
Integer TKivXmlNode::ReadAttrIntID(Integer ANameID, Integer ADefault) const {
  Integer i = FindAttr(ANameID);
  return i >= 0 ? ToInteger(FAttrs[i].Value) : ADefault;
}

double TKivXmlNode::ReadAttrFloat(TKivStringView AName, double ADefault) const {
  return ReadAttrFloatID(FNames->FindID(AName), ADefault);
}
double TKivXmlNode::ReadAttrFloatID(Integer ANameID, double ADefault) const {
  Integer i = FindAttr(ANameID);
  return i >= 0 ? FAttrs[i].Value.ToFloat() : ADefault;
}

TKivDateTime TKivXmlNode::ReadAttrDateTime(TKivStringView AName, TKivDateTime ADefault) const {
  return ReadAttrDateTimeID(FNames->FindID(AName), ADefault);
}
TKivDateTime TKivXmlNode::ReadAttrDateTimeID(Integer ANameID, TKivDateTime ADefault) const {
  Integer i = FindAttr(ANameID);
  return i >= 0 ? FAttrs[i].Value.ToDateTime() : ADefault;
}

Integer TKivXmlNode::ReadAttrHex(TKivStringView AName, Integer ADefault) const {
  return ReadAttrHexID(FNames->FindID(AName), ADefault);
}
Integer TKivXmlNode::ReadAttrHexID(Integer ANameID, Integer ADefault) const {
  Integer i = FindAttr(ANameID);
  return i >= 0 ? HexToInteger(FAttrs[i].Value) : ADefault;
}

TKivVariant TKivXmlNode::ReadAttrVariant(TKivStringView AName, const TKivVariant& ADefault) const {
  return ReadAttrVariantID(FNames->FindID(AName), ADefault);
}
TKivVariant TKivXmlNode::ReadAttrVariantID(Integer ANameID, const TKivVariant& ADefault) const {
  Integer i = FindAttr(ANameID);
  return i >= 0 ? FAttrs[i].Value : ADefault;
}

Integer TKivXmlNode::ReadAttrEnum(TKivStringView AName, const std::vector<TKivString>& AValues,
                                  Integer ADefault) const {
  Integer id = FNames->FindID(AName);
  if (FindAttr(id) < 0) return ADefault;
  return RequiredAttrEnumID(id, AValues);
}

Integer TKivXmlNode::ReadAttrEnumID(Integer ANameID, const std::vector<TKivString>& AValues,
                                    Integer ADefault) const {
  if (FindAttr(ANameID) < 0) return ADefault;
  return RequiredAttrEnumID(ANameID, AValues);
}

TKivString TKivXmlNode::RequiredAttrText(TKivStringView AName) const {
  const TKivXmlAttrData* attr = AttrByName(AName);
  if (!attr) throw EKivXmlError(u"Attribute \"%s\" not set", {TKivString(AName)});
  return attr->Value.ToText();
}

TKivString TKivXmlNode::RequiredAttrTextID(Integer ANameID) const {
  Integer i = FindAttr(ANameID);
  if (i < 0) throw EKivXmlError(u"Attribute \"%s\" not set", {FNames->IDToName(ANameID)});
  return FAttrs[i].Value.ToText();
}

Integer TKivXmlNode::RequiredAttrEnum(TKivStringView AName, const std::vector<TKivString>& AValues) const {
  Integer id = FNames->FindID(AName);
  if (FindAttr(id) < 0) throw EKivXmlError(u"Attribute \"%s\" not found", {TKivString(AName)});
  return RequiredAttrEnumID(id, AValues);
}

Integer TKivXmlNode::RequiredAttrEnumID(Integer ANameID, const std::vector<TKivString>& AValues) const {
  Integer i = FindAttr(ANameID);
  if (i < 0) throw EKivXmlError(u"Attribute \"%s\" not found", {FNames->IDToName(ANameID)});
  Integer index = EnumIndex(FAttrs[i].Value.ToText(), AValues);
  if (index >= 0) return index;
  TKivString valid;
  for (size_t k = 0; k < AValues.size(); ++k) {
    if (k) valid += u"\r\n";
    valid += AValues[k];
  }
  throw EKivXmlError(u"Invalid attribute vaalue \"%s\" of element \"%s\".\r\nValid values:\r\n%s",
                     {FNames->IDToName(ANameID), NodeName(), valid});
}

// Setters -------------------------------------------------------------------------------------

void TKivXmlNode::WriteAttrText(TKivStringView AName, const TKivString& AValue) {
  WriteAttrVariantID(FNames->NameToID(AName), TKivVariant(AValue));
}
void TKivXmlNode::WriteAttrTextID(Integer ANameID, const TKivString& AValue) {
  WriteAttrVariantID(ANameID, TKivVariant(AValue));
}
void TKivXmlNode::WriteAttrBool(TKivStringView AName, bool AValue) {
  WriteAttrVariantID(FNames->NameToID(AName), TKivVariant(AValue));
}
void TKivXmlNode::WriteAttrBoolID(Integer ANameID, bool AValue) {
  WriteAttrVariantID(ANameID, TKivVariant(AValue));
}
void TKivXmlNode::WriteAttrInt(TKivStringView AName, Integer AValue) {
  WriteAttrVariantID(FNames->NameToID(AName), TKivVariant(AValue));
}
void TKivXmlNode::WriteAttrIntID(Integer ANameID, Integer AValue) {
  WriteAttrVariantID(ANameID, TKivVariant(AValue));
}
void TKivXmlNode::WriteAttrFloat(TKivStringView AName, double AValue) {
  WriteAttrVariantID(FNames->NameToID(AName), TKivVariant(AValue));
}
void TKivXmlNode::WriteAttrFloatID(Integer ANameID, double AValue) {
  WriteAttrVariantID(ANameID, TKivVariant(AValue));
}
void TKivXmlNode::WriteAttrDateTime(TKivStringView AName, TKivDateTime AValue) {
  WriteAttrVariantID(FNames->NameToID(AName), TKivVariant(AValue));
}
void TKivXmlNode::WriteAttrDateTimeID(Integer ANameID, TKivDateTime AValue) {
  WriteAttrVariantID(ANameID, TKivVariant(AValue));
}
void TKivXmlNode::WriteAttrHex(TKivStringView AName, Cardinal AValue, Integer ADigits) {
  WriteAttrHexID(FNames->NameToID(AName), AValue, ADigits);
}
void TKivXmlNode::WriteAttrHexID(Integer ANameID, Cardinal AValue, Integer ADigits) {
  if (ADigits < 0 || ADigits > 32)
    throw EInvalidArgument(u"Invalid number of hexadecimal digits %d", {ADigits});
  char buf[48];
  std::snprintf(buf, sizeof buf, "%0*X", static_cast<int>(ADigits), static_cast<unsigned>(AValue));
  WriteAttrVariantID(ANameID, TKivVariant(TKivString(buf, buf + std::char_traits<char>::length(buf))));
}
void TKivXmlNode::WriteAttrVariant(TKivStringView AName, const TKivVariant& AValue) {
  WriteAttrVariantID(FNames->NameToID(AName), AValue);
}
void TKivXmlNode::WriteAttrVariantID(Integer ANameID, const TKivVariant& AValue) {
  SetAttr(ANameID, AValue);
}

// Paths ---------------------------------------------------------------------------------------

TKivVariant TKivXmlNode::ReadPathValue(TKivStringView APath) const {
  if (APath.empty()) return NodeValue();
  if (APath[0] == u'@') {
    const TKivXmlAttrData* attr = AttrByName(APath.substr(1));
    return attr ? attr->Value : TKivVariant(TKivString());
  }
  IKivXmlElement child = FirstChildElementNamedID(FNames->FindID(APath));
  return child ? child->NodeValue() : TKivVariant(TKivString());
}

void TKivXmlNode::WritePathValue(TKivStringView APath, const TKivVariant& AValue) {
  if (APath.empty()) {
    SetNodeValue(AValue);
  } else if (APath[0] == u'@') {
    if (APath.size() == 1) throw EInvalidArgument(u"Empty attribute name in the path \"@\"");
    WriteAttrVariant(APath.substr(1), AValue);
  } else {
    EnsuredChildElement(APath)->SetNodeValue(AValue);
  }
}

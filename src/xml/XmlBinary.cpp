// The binary XML form: the marker "< binary-xml >", the names the tree uses, then the tree.
//
// Layout (integers are LEB128 varints, signed ones zigzag-coded; strings are a length and
// UTF-16LE code units):
//   names:  count, then each name
//   node:   type byte; element: name index, value | text: value | CDATA, comment: string |
//           instruction: target index, string | document: nothing;
//           then attribute count, (name index, value)..., child count, children...
//   value:  type byte (TKivVarType), then integer / 8-byte double / byte / string / byte array
#include <cstring>
#include <unordered_map>

#include "internal/XmlInternal.h"

namespace {

class TWriter {
 public:
  std::string FOut;

  void Byte(uint8_t AValue) { FOut.push_back(static_cast<char>(AValue)); }
  void Unsigned(uint64_t AValue) {
    while (AValue >= 0x80) {
      Byte(static_cast<uint8_t>(AValue | 0x80));
      AValue >>= 7;
    }
    Byte(static_cast<uint8_t>(AValue));
  }
  void Signed(int64_t AValue) {
    Unsigned((static_cast<uint64_t>(AValue) << 1) ^ static_cast<uint64_t>(AValue >> 63));
  }
  void Double(double AValue) {
    uint64_t bits;
    std::memcpy(&bits, &AValue, sizeof bits);
    for (int i = 0; i < 8; ++i) Byte(static_cast<uint8_t>(bits >> (8 * i)));
  }
  void String(TKivStringView AText) {
    Unsigned(AText.size());
    for (char16_t c : AText) {
      Byte(static_cast<uint8_t>(c & 0xFF));
      Byte(static_cast<uint8_t>(c >> 8));
    }
  }
  void Value(const TKivVariant& AValue) {
    Byte(AValue.Type());
    switch (AValue.Type()) {
      case vtEmpty:
      case vtNull:
        break;
      case vtInteger:
        Signed(AValue.IntValue());
        break;
      case vtFloat:
        Double(AValue.FloatValue());
        break;
      case vtCurrency:
        Signed(AValue.CurrencyValue().Value);
        break;
      case vtDateTime:
        Double(AValue.DateTimeValue().Value);
        break;
      case vtBoolean:
        Byte(AValue.BoolValue() ? 1 : 0);
        break;
      case vtString:
        String(AValue.StringValue());
        break;
      case vtBytes:
        Unsigned(AValue.BytesValue().size());
        FOut.append(reinterpret_cast<const char*>(AValue.BytesValue().data()), AValue.BytesValue().size());
        break;
      default:
        throw EKivXmlError(u"Write value error: Invalid type");
    }
  }
};

// Gives each name ID the tree uses a dense index in order of first use.
class TNameMap {
 public:
  std::vector<Integer> FIDs;
  std::unordered_map<Integer, uint64_t> FIndex;
  uint64_t Index(Integer AID) {
    auto [it, added] = FIndex.try_emplace(AID, FIDs.size());
    if (added) FIDs.push_back(AID);
    return it->second;
  }
};

void WriteNode(const TKivXmlNode& ANode, TWriter& AOut, TNameMap& ANames) {
  AOut.Byte(static_cast<uint8_t>(ANode.NodeType()));
  switch (ANode.NodeType()) {
    case ntElement:
      AOut.Unsigned(ANames.Index(ANode.NameID()));
      AOut.Value(TXmlAccess::Data(static_cast<const TKivXmlElement&>(ANode)));
      break;
    case ntText:
      AOut.Value(TXmlAccess::Data(static_cast<const TKivXmlText&>(ANode)));
      break;
    case ntCDATASection:
    case ntComment:
      AOut.String(static_cast<const TKivXmlCharacterData&>(ANode).Data());
      break;
    case ntProcessingInstruction:
      AOut.Unsigned(ANames.Index(ANode.NameID()));
      AOut.String(static_cast<const TKivXmlProcessingInstruction&>(ANode).Data());
      break;
    case ntDocument:
      break;
    default:
      throw EKivXmlError(u"BinaryXML write error: incorrect node type");
  }
  const auto& attrs = TXmlAccess::Attrs(ANode);
  AOut.Unsigned(attrs.size());
  for (const auto& attr : attrs) {
    AOut.Unsigned(ANames.Index(attr.NameID));
    AOut.Value(attr.Value);
  }
  const auto* items = TXmlAccess::Items(ANode);
  AOut.Unsigned(items ? items->size() : 0);
  if (items)
    for (const auto& child : *items) WriteNode(*child, AOut, ANames);
}

class TReader {
 public:
  TReader(std::string_view AData, TKivXmlDocument& ADocument) : FData(AData), FDoc(ADocument) {}

  void Read() {
    if (!FData.starts_with(XmlBinaryMarker)) Fail();
    FPos = XmlBinaryMarker.size();
    uint64_t count = Count();
    FNameIDs.reserve(count);
    TKivXmlNameTable& names = *FDoc.NameTable();
    for (uint64_t i = 0; i < count; ++i) {
      Integer id = names.NameToID(String());
      if (id < 0) Fail();
      FNameIDs.push_back(id);
    }
    if (Byte() != ntDocument) throw EKivXmlError(u"BinaryXML read error: incorrect node type");
    ReadContent(FDoc, 0);
    if (FPos != FData.size()) Fail();
  }

 private:
  [[noreturn]] static void Fail() { throw EKivXmlError(u"Read data error"); }

  uint8_t Byte() {
    if (FPos >= FData.size()) Fail();
    return static_cast<uint8_t>(FData[FPos++]);
  }
  uint64_t Unsigned() {
    uint64_t v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      uint8_t b = Byte();
      v |= static_cast<uint64_t>(b & 0x7F) << shift;
      if (!(b & 0x80)) return v;
    }
    Fail();
  }
  // A count of items that take at least one byte each.
  uint64_t Count() {
    uint64_t n = Unsigned();
    if (n > FData.size() - FPos) Fail();
    return n;
  }
  int64_t Signed() {
    uint64_t v = Unsigned();
    return static_cast<int64_t>(v >> 1) ^ -static_cast<int64_t>(v & 1);
  }
  double Double() {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(Byte()) << (8 * i);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
  }
  TKivString String() {
    uint64_t n = Unsigned();
    if (n > (FData.size() - FPos) / 2) Fail();
    TKivString s(static_cast<size_t>(n), u'\0');
    for (auto& c : s) {
      c = static_cast<char16_t>(static_cast<unsigned char>(FData[FPos]) |
                                static_cast<unsigned char>(FData[FPos + 1]) << 8);
      FPos += 2;
    }
    return s;
  }
  Integer Name() {
    uint64_t index = Unsigned();
    if (index >= FNameIDs.size()) Fail();
    return FNameIDs[static_cast<size_t>(index)];
  }
  TKivVariant Value() {
    switch (Byte()) {
      case vtEmpty:
        return {};
      case vtNull:
        return TKivVariant::Null();
      case vtInteger:
        return TKivVariant(Signed());
      case vtFloat:
        return TKivVariant(Double());
      case vtCurrency:
        return TKivVariant(TKivCurrency{Signed()});
      case vtDateTime:
        return TKivVariant(TKivDateTime{Double()});
      case vtBoolean: {
        uint8_t b = Byte();
        if (b > 1) Fail();
        return TKivVariant(b == 1);
      }
      case vtString:
        return TKivVariant(String());
      case vtBytes: {
        uint64_t n = Count();
        std::vector<uint8_t> bytes(FData.begin() + static_cast<std::ptrdiff_t>(FPos),
                                   FData.begin() + static_cast<std::ptrdiff_t>(FPos + n));
        FPos += static_cast<size_t>(n);
        return TKivVariant(std::move(bytes));
      }
      default:
        throw EKivXmlError(u"Read value error: Invalid type");
    }
  }

  IKivXmlNode Node() {
    const IKivXmlNameTable& names = FDoc.NameTable();
    switch (Byte()) {
      case ntElement: {
        Integer id = Name();
        IKivXmlElement e(new TKivXmlElement(names, id));
        TXmlAccess::SetData(*e, Value());
        return e;
      }
      case ntText:
        return new TKivXmlText(names, Value());
      case ntCDATASection:
        return new TKivXmlCDATASection(names, String());
      case ntComment:
        return new TKivXmlComment(names, String());
      case ntProcessingInstruction: {
        Integer id = Name();
        return new TKivXmlProcessingInstruction(names, id, String());
      }
      default:
        throw EKivXmlError(u"BinaryXML read error: incorrect node type");
    }
  }

  void ReadContent(TKivXmlNode& ANode, Integer ADepth) {
    const bool element = ANode.NodeType() == ntElement;
    uint64_t attrs = Count();
    if (attrs && !element && ANode.NodeType() != ntProcessingInstruction) Fail();
    for (uint64_t i = 0; i < attrs; ++i) {
      Integer id = Name();
      TXmlAccess::SetAttr(ANode, id, Value());
    }
    uint64_t children = Count();
    if (children && !element && ANode.NodeType() != ntDocument) Fail();
    if (children && ADepth >= KivXmlMaxDepth) throw EKivXmlError(u"Elements are nested too deeply");
    for (uint64_t i = 0; i < children; ++i) {
      IKivXmlNode child = Node();
      TXmlAccess::AppendFresh(ANode, child);
      ReadContent(*child, ADepth + 1);
    }
  }

  std::string_view FData;
  TKivXmlDocument& FDoc;
  size_t FPos = 0;
  std::vector<Integer> FNameIDs;
};

}  // namespace

std::string XmlBinaryWrite(const TKivXmlDocument& ADocument) {
  TWriter tree;
  TNameMap names;
  WriteNode(ADocument, tree, names);
  TWriter out;
  out.FOut = XmlBinaryMarker;
  out.Unsigned(names.FIDs.size());
  for (Integer id : names.FIDs) out.String(ADocument.NameTable()->IDToName(id));
  out.FOut += tree.FOut;
  return out.FOut;
}

void XmlBinaryRead(TKivXmlDocument& ADocument, std::string_view AData) {
  TReader(AData, ADocument).Read();
}

// KivXML: a small reference-counted XML object model with its own parser and writer.
//
// Scheme loaders and the scheme dialogs read and write their XML through it. Element,
// attribute and processing-instruction target names are interned in a name table and handled
// as integer IDs; every operation that takes a name also exists in a by-ID form (suffix ID).
//
// Nodes are used through reference-counted handles (IKivXmlNode, IKivXmlElement, ...): a node
// lives as long as a handle or a parent's child list holds it. Typical use:
//
//   IKivXmlDocument doc = CreateXmlDocument(u"scheme");
//   doc->DocumentElement()->WriteAttrText(u"name", u"C");
//   TKivString text = doc->ToXml();
//   doc->LoadXml(text);
//
// Every failure raises EKivXmlError with the system's message, or EInvalidArgument for a bad
// argument. Nothing here is thread-safe: the library is used from the GUI thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "KivErrors.h"
#include "KivTypes.h"

// Every error raised for malformed XML, binary XML, unsupported encodings and failed lookups.
class EKivXmlError : public EKivError {
 public:
  using EKivError::EKivError;
};

// ---------------------------------------------------------------------------------------------
// Reference counting

// Base of every reference-counted object of the library (nodes, node lists, name tables).
class TKivXmlBase {
 public:
  TKivXmlBase() = default;
  TKivXmlBase(const TKivXmlBase&) = delete;
  TKivXmlBase& operator=(const TKivXmlBase&) = delete;
  virtual ~TKivXmlBase() = default;

  void AddRef() const noexcept { ++FRefCount; }
  void Release() const noexcept {
    if (--FRefCount == 0) delete this;
  }
  int RefCount() const noexcept { return FRefCount; }
  // The implementing object behind a handle.
  TKivXmlBase* GetObject() noexcept { return this; }

 private:
  mutable int FRefCount = 0;
};

// Intrusive handle: holds one reference to its object.
template <class T>
class TKivXmlPtr {
 public:
  TKivXmlPtr() noexcept = default;
  TKivXmlPtr(std::nullptr_t) noexcept {}
  TKivXmlPtr(T* AObject) noexcept : FPtr(AObject) {
    if (FPtr) FPtr->AddRef();
  }
  TKivXmlPtr(const TKivXmlPtr& AOther) noexcept : TKivXmlPtr(AOther.FPtr) {}
  TKivXmlPtr(TKivXmlPtr&& AOther) noexcept : FPtr(std::exchange(AOther.FPtr, nullptr)) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  TKivXmlPtr(const TKivXmlPtr<U>& AOther) noexcept : TKivXmlPtr(AOther.get()) {}
  template <class U, class = std::enable_if_t<std::is_convertible_v<U*, T*>>>
  TKivXmlPtr(TKivXmlPtr<U>&& AOther) noexcept : FPtr(AOther.Detach()) {}
  ~TKivXmlPtr() {
    if (FPtr) FPtr->Release();
  }
  TKivXmlPtr& operator=(TKivXmlPtr AOther) noexcept {
    std::swap(FPtr, AOther.FPtr);
    return *this;
  }

  T* get() const noexcept { return FPtr; }
  T* operator->() const noexcept { return FPtr; }
  T& operator*() const noexcept { return *FPtr; }
  explicit operator bool() const noexcept { return FPtr != nullptr; }
  // Gives up the reference without releasing it.
  T* Detach() noexcept { return std::exchange(FPtr, nullptr); }

  template <class U>
  bool operator==(const TKivXmlPtr<U>& AOther) const noexcept {
    return static_cast<const void*>(FPtr) == static_cast<const void*>(AOther.get());
  }
  bool operator==(std::nullptr_t) const noexcept { return FPtr == nullptr; }

 private:
  T* FPtr = nullptr;
};

class TKivXmlNameTable;
class TKivXmlNodeList;
class TKivXmlNode;
class TKivXmlElement;
class TKivXmlCharacterData;
class TKivXmlText;
class TKivXmlCDATASection;
class TKivXmlComment;
class TKivXmlProcessingInstruction;
class TKivXmlDocument;

using IKivXmlBase = TKivXmlPtr<TKivXmlBase>;
using IKivXmlNameTable = TKivXmlPtr<TKivXmlNameTable>;
using IKivXmlNodeList = TKivXmlPtr<TKivXmlNodeList>;
using IKivXmlNode = TKivXmlPtr<TKivXmlNode>;
using IKivXmlElement = TKivXmlPtr<TKivXmlElement>;
using IKivXmlCharacterData = TKivXmlPtr<TKivXmlCharacterData>;
using IKivXmlText = TKivXmlPtr<TKivXmlText>;
using IKivXmlCDATASection = TKivXmlPtr<TKivXmlCDATASection>;
using IKivXmlComment = TKivXmlPtr<TKivXmlComment>;
using IKivXmlProcessingInstruction = TKivXmlPtr<TKivXmlProcessingInstruction>;
using IKivXmlDocument = TKivXmlPtr<TKivXmlDocument>;

// ---------------------------------------------------------------------------------------------
// Tagged values

enum TKivVarType : uint8_t {
  vtEmpty,
  vtNull,
  vtInteger,
  vtFloat,
  vtCurrency,
  vtDateTime,
  vtBoolean,
  vtString,
  vtBytes
};

// A fixed-point amount: Value is the amount times 10000.
struct TKivCurrency {
  int64_t Value = 0;
  bool operator==(const TKivCurrency&) const = default;
};

// Days since 1899-12-30; the fraction is the time of day.
struct TKivDateTime {
  double Value = 0;
  bool operator==(const TKivDateTime&) const = default;
};

TKivDateTime KivEncodeDateTime(int AYear, int AMonth, int ADay, int AHour = 0, int AMinute = 0,
                               int ASecond = 0);
// False when the value lies outside the years 1 to 9999 (or is not a number).
bool KivDecodeDateTime(TKivDateTime AValue, int& AYear, int& AMonth, int& ADay, int& AHour, int& AMinute,
                       int& ASecond);

// Base64 without line breaks, and its reverse (white space is skipped; a text of up to three
// characters decodes to nothing; a character outside the alphabet raises EKivXmlError).
TKivString KivBase64Encode(const uint8_t* AData, size_t ASize, Integer ALineLength = 0);
std::vector<uint8_t> KivBase64Decode(TKivStringView AText);

// The value of an attribute, of an element without child nodes or of a text node: empty, null,
// integer, floating point, currency, date-time, Boolean, string or byte array.
class TKivVariant {
 public:
  TKivVariant() = default;
  TKivVariant(bool AValue) : FValue(AValue) {}
  TKivVariant(int32_t AValue) : FValue(static_cast<int64_t>(AValue)) {}
  TKivVariant(int64_t AValue) : FValue(AValue) {}
  TKivVariant(double AValue) : FValue(AValue) {}
  TKivVariant(TKivCurrency AValue) : FValue(AValue) {}
  TKivVariant(TKivDateTime AValue) : FValue(AValue) {}
  TKivVariant(TKivString AValue) : FValue(std::move(AValue)) {}
  TKivVariant(TKivStringView AValue) : FValue(TKivString(AValue)) {}
  TKivVariant(const char16_t* AValue) : FValue(TKivString(AValue ? AValue : u"")) {}
  TKivVariant(std::vector<uint8_t> AValue) : FValue(std::move(AValue)) {}
  static TKivVariant Null() {
    TKivVariant v;
    v.FValue = TNull{};
    return v;
  }

  TKivVarType Type() const { return static_cast<TKivVarType>(FValue.index()); }
  bool IsEmpty() const { return Type() == vtEmpty; }

  // The stored value of the given kind (the value must be of that kind).
  int64_t IntValue() const { return std::get<int64_t>(FValue); }
  double FloatValue() const { return std::get<double>(FValue); }
  TKivCurrency CurrencyValue() const { return std::get<TKivCurrency>(FValue); }
  TKivDateTime DateTimeValue() const { return std::get<TKivDateTime>(FValue); }
  bool BoolValue() const { return std::get<bool>(FValue); }
  const TKivString& StringValue() const { return std::get<TKivString>(FValue); }
  const std::vector<uint8_t>& BytesValue() const { return std::get<std::vector<uint8_t>>(FValue); }

  // Text form: null "{{null}}", integers in decimal, numbers with "." as decimal separator,
  // date-time as "YYYY-MM-DDTHH-NN-SS", Booleans "1"/"0", byte arrays in Base64.
  TKivString ToText() const;
  // Conversions; a value that cannot be converted raises EKivXmlError.
  bool ToBool() const;
  int64_t ToInt() const;
  double ToFloat() const;
  TKivDateTime ToDateTime() const;

  bool operator==(const TKivVariant& AOther) const { return FValue == AOther.FValue; }

 private:
  struct TNull {
    bool operator==(const TNull&) const = default;
  };
  std::variant<std::monostate, TNull, int64_t, double, TKivCurrency, TKivDateTime, bool, TKivString,
               std::vector<uint8_t>>
      FValue;
};

// ---------------------------------------------------------------------------------------------
// Name table

// The names every table interns first, at fixed IDs; other names get IDs from
// KivXmlFirstFreeNameID on.
inline constexpr Integer KivXmlTextNameID = 0;          // "#text"
inline constexpr Integer KivXmlCDATASectionNameID = 1;  // "#cdata-section"
inline constexpr Integer KivXmlCommentNameID = 2;       // "#comment"
inline constexpr Integer KivXmlDocumentNameID = 3;      // "#document"
inline constexpr Integer KivXmlXmlNameID = 4;           // "xml", the declaration's target
inline constexpr Integer KivXmlFirstFreeNameID = 5;

// Interns names as integer IDs. The hash is always taken over the case-folded name, and names
// are compared according to the current mode, so switching the mode of a shared table never
// makes an interned name unfindable or interns it twice.
class TKivXmlNameTable : public TKivXmlBase {
 public:
  explicit TKivXmlNameTable(Integer ABucketCount = 4096, bool ACaseSensitive = true);

  // The ID of the name, interning it first when unknown; the empty name gives -1.
  Integer NameToID(TKivStringView AName);
  // The ID of a known name, or -1; never interns.
  Integer FindID(TKivStringView AName) const;
  // The stored spelling; an unknown or negative ID gives the empty string.
  const TKivString& IDToName(Integer AID) const;
  Integer Count() const { return static_cast<Integer>(FNames.size()); }

  bool CaseSensitive() const { return FCaseSensitive; }
  void SetCaseSensitive(bool AValue) { FCaseSensitive = AValue; }
  // Whether the stored name is a valid XML name of this library (letter or "_", then letters,
  // digits, "-", ".", ":" or "_"). Cached per ID.
  bool IsValidNameID(Integer AID) const;

  Integer XmlTextNameID() const { return KivXmlTextNameID; }
  Integer XmlCDATASectionNameID() const { return KivXmlCDATASectionNameID; }
  Integer XmlCommentNameID() const { return KivXmlCommentNameID; }
  Integer XmlDocumentNameID() const { return KivXmlDocumentNameID; }
  Integer XmlID() const { return KivXmlXmlNameID; }

 private:
  std::vector<TKivString> FNames;
  std::vector<TKivString> FFolded;
  mutable std::vector<int8_t> FValid;  // -1 unknown, 0 invalid, 1 valid
  std::vector<std::vector<Integer>> FHashTable;
  bool FCaseSensitive = true;
};

// The table shared by every document that is not given its own (4096 buckets).
IKivXmlNameTable KivXmlGlobalNameTable();
// Whether AName is a valid name for elements, attributes and instruction targets.
bool KivXmlIsValidName(TKivStringView AName);

// ---------------------------------------------------------------------------------------------
// Nodes

enum TKivXmlNodeType : Integer {
  ntElement = 1,
  ntText = 3,
  ntCDATASection = 4,
  ntProcessingInstruction = 7,
  ntComment = 8,
  ntDocument = 9
};

enum TKivBOM : uint8_t { bomNone, bomUTF16LE, bomUTF8, bomUTF16BE, bomUTF32LE, bomUTF32BE };

struct TKivXmlAttrData {
  Integer NameID = -1;
  TKivVariant Value;
};

// The children of a node, or a free list of search results (no owner). Holds a reference to
// each item.
class TKivXmlNodeList : public TKivXmlBase {
 public:
  Integer Count() const { return static_cast<Integer>(FItems.size()); }
  // Raises "Getting element error: Index is out of range" outside [0, Count - 1].
  IKivXmlNode Item(Integer AIndex) const;
  TKivString ToXml() const;
  Integer IndexOf(const TKivXmlNode* ANode) const;

 private:
  friend class TKivXmlNode;
  friend class TKivXmlDocument;
  friend class TXmlAccess;
  TKivXmlNode* FOwnerNode = nullptr;
  std::vector<IKivXmlNode> FItems;
};

class TKivXmlNode : public TKivXmlBase {
 public:
  ~TKivXmlNode() override;

  // Identity
  IKivXmlNameTable NameTable() const { return FNames; }
  TKivString NodeName() const { return FNames->IDToName(NameID()); }
  virtual Integer NameID() const = 0;
  virtual TKivXmlNodeType NodeType() const = 0;
  IKivXmlElement AsElement();
  IKivXmlText AsText();
  IKivXmlCDATASection AsCDATASection();
  IKivXmlComment AsComment();
  IKivXmlProcessingInstruction AsProcessingInstruction();
  IKivXmlDocument AsDocument();

  // Content
  virtual TKivString Text() const = 0;
  virtual void SetText(const TKivString& AText);
  virtual TKivVarType ValueType() const { return vtString; }
  virtual TKivVariant NodeValue() const { return TKivVariant(Text()); }
  virtual void SetNodeValue(const TKivVariant& AValue);
  // The XML text of the node and its subtree. Raises EInvalidArgument for what could not be
  // read back (an invalid name, "--" in a comment, "?>" in an instruction, too deep a tree).
  TKivString ToXml() const;

  // Tree
  virtual IKivXmlNode CloneNode(bool ADeep) const = 0;
  IKivXmlNode ParentNode() const { return IKivXmlNode(FParentNode); }
  IKivXmlDocument OwnerDocument() const;
  IKivXmlNodeList ChildNodes();
  bool HasChildNodes() const { return FChilds && !FChilds->FItems.empty(); }
  Integer ChildCount() const { return FChilds ? FChilds->Count() : 0; }

  // Editing. Inserting detaches the node from its old parent first; inserting a node into its
  // own subtree, a document anywhere, or any child into a node that cannot hold children
  // (text, CDATA, comment, instruction) raises EInvalidArgument.
  IKivXmlNode AppendChild(const IKivXmlNode& ANode);
  // Without a reference node, appends; a reference that is not a child raises EInvalidArgument.
  IKivXmlNode InsertBefore(const IKivXmlNode& ANew, const IKivXmlNode& ARef);
  // Does nothing (and returns none) when AOld is not a child; otherwise returns AOld.
  IKivXmlNode ReplaceChild(const IKivXmlNode& ANew, const IKivXmlNode& AOld);
  // The former index of the child, or -1 when it was not one.
  Integer RemoveChild(const IKivXmlNode& ANode);
  void DropChildren();

  // Create and append
  IKivXmlElement AppendNewElement(TKivStringView AName);
  IKivXmlElement AppendNewElementID(Integer ANameID);
  IKivXmlText AppendNewText(const TKivString& AText);
  IKivXmlCDATASection AppendNewCDATA(const TKivString& AText);
  IKivXmlComment AppendNewComment(const TKivString& AText);
  IKivXmlProcessingInstruction AppendNewInstruction(TKivStringView ATarget, const TKivString& AData);
  IKivXmlProcessingInstruction AppendNewInstructionID(Integer ATargetID, const TKivString& AData);

  // Child lookup (direct child elements only). The by-name forms of FirstChildElementNamed and
  // ChildElementsNamed accept only a plain name.
  IKivXmlElement FirstChildElementNamed(TKivStringView AName) const;
  IKivXmlElement FirstChildElementNamedID(Integer ANameID) const;
  IKivXmlNodeList ChildElementsNamed(TKivStringView AName) const;
  IKivXmlNodeList ChildElementsNamedID(Integer ANameID) const;
  IKivXmlElement FirstChildElementWithAttr(TKivStringView AName, TKivStringView AAttrName,
                                           const TKivVariant& AValue) const;
  IKivXmlElement FirstChildElementWithAttrID(Integer ANameID, Integer AAttrNameID,
                                             const TKivVariant& AValue) const;
  IKivXmlElement RequiredChildElement(TKivStringView AName) const;
  IKivXmlElement RequiredChildElementID(Integer ANameID) const;
  IKivXmlElement EnsuredChildElement(TKivStringView AName);
  IKivXmlElement EnsuredChildElementID(Integer ANameID);
  TKivString ChildElementText(TKivStringView AName, const TKivString& ADefault = {}) const;
  TKivString ChildElementTextID(Integer ANameID, const TKivString& ADefault = {}) const;
  void PutChildElementText(TKivStringView AName, const TKivString& AText);
  void PutChildElementTextID(Integer ANameID, const TKivString& AText);
  IKivXmlNodeList ElementChainNamed(TKivStringView AName) const;
  IKivXmlNodeList ElementChainNamedID(Integer ANameID) const;

  // Attributes (elements and processing instructions only; others have none and refuse them)
  Integer AttrCount() const { return static_cast<Integer>(FAttrs.size()); }
  Integer AttrNameIDAt(Integer AIndex) const;
  TKivString AttrNameAt(Integer AIndex) const;
  TKivString AttrTextAt(Integer AIndex) const;
  void PutAttrTextAt(Integer AIndex, const TKivString& AText);
  const TKivVariant& AttrValueAt(Integer AIndex) const;
  bool AttrExists(TKivStringView AName) const;
  bool AttrExistsID(Integer ANameID) const;
  TKivVarType AttrValueType(TKivStringView AName) const;
  TKivVarType AttrValueTypeID(Integer ANameID) const;
  void DropAttr(TKivStringView AName);
  void DropAttrID(Integer ANameID);
  void DropAttrs();

  // Typed attribute getters: a missing attribute yields the default. A value that cannot be
  // converted raises EKivXmlError.
  TKivString ReadAttrText(TKivStringView AName, const TKivString& ADefault = {}) const;
  TKivString ReadAttrTextID(Integer ANameID, const TKivString& ADefault = {}) const;
  bool ReadAttrBool(TKivStringView AName, bool ADefault = false) const;
  bool ReadAttrBoolID(Integer ANameID, bool ADefault = false) const;
  Integer ReadAttrInt(TKivStringView AName, Integer ADefault = 0) const;
  Integer ReadAttrIntID(Integer ANameID, Integer ADefault = 0) const;
  double ReadAttrFloat(TKivStringView AName, double ADefault = 0) const;
  double ReadAttrFloatID(Integer ANameID, double ADefault = 0) const;
  TKivDateTime ReadAttrDateTime(TKivStringView AName, TKivDateTime ADefault = {}) const;
  TKivDateTime ReadAttrDateTimeID(Integer ANameID, TKivDateTime ADefault = {}) const;
  Integer ReadAttrHex(TKivStringView AName, Integer ADefault = 0) const;
  Integer ReadAttrHexID(Integer ANameID, Integer ADefault = 0) const;
  TKivVariant ReadAttrVariant(TKivStringView AName, const TKivVariant& ADefault = {}) const;
  TKivVariant ReadAttrVariantID(Integer ANameID, const TKivVariant& ADefault = {}) const;
  // The index of the first of AValues equal to the attribute's text ignoring case.
  Integer ReadAttrEnum(TKivStringView AName, const std::vector<TKivString>& AValues, Integer ADefault) const;
  Integer ReadAttrEnumID(Integer ANameID, const std::vector<TKivString>& AValues, Integer ADefault) const;
  TKivString RequiredAttrText(TKivStringView AName) const;
  TKivString RequiredAttrTextID(Integer ANameID) const;
  Integer RequiredAttrEnum(TKivStringView AName, const std::vector<TKivString>& AValues) const;
  Integer RequiredAttrEnumID(Integer ANameID, const std::vector<TKivString>& AValues) const;

  // Typed attribute setters: overwrite an existing attribute in place, else append it.
  void WriteAttrText(TKivStringView AName, const TKivString& AValue);
  void WriteAttrTextID(Integer ANameID, const TKivString& AValue);
  void WriteAttrBool(TKivStringView AName, bool AValue);
  void WriteAttrBoolID(Integer ANameID, bool AValue);
  void WriteAttrInt(TKivStringView AName, Integer AValue);
  void WriteAttrIntID(Integer ANameID, Integer AValue);
  void WriteAttrFloat(TKivStringView AName, double AValue);
  void WriteAttrFloatID(Integer ANameID, double AValue);
  void WriteAttrDateTime(TKivStringView AName, TKivDateTime AValue);
  void WriteAttrDateTimeID(Integer ANameID, TKivDateTime AValue);
  void WriteAttrHex(TKivStringView AName, Cardinal AValue, Integer ADigits);
  void WriteAttrHexID(Integer ANameID, Cardinal AValue, Integer ADigits);
  void WriteAttrVariant(TKivStringView AName, const TKivVariant& AValue);
  void WriteAttrVariantID(Integer ANameID, const TKivVariant& AValue);

  // Paths: "" is the node's value, "@name" an attribute, any other path a child element.
  TKivVariant ReadPathValue(TKivStringView APath) const;
  void WritePathValue(TKivStringView APath, const TKivVariant& AValue);

 protected:
  explicit TKivXmlNode(IKivXmlNameTable ANames);
  // Whether the node may hold child nodes and attributes.
  virtual bool CanHaveChildren() const { return false; }
  virtual bool CanHaveAttrs() const { return false; }
  // Copies the attributes and, when ADeep, clones of the children into AClone.
  void CopyTo(TKivXmlNode& AClone, bool ADeep) const;
  Integer FindAttr(Integer ANameID) const;
  void SetAttr(Integer ANameID, TKivVariant AValue);
  const TKivXmlAttrData* AttrByName(TKivStringView AName) const;
  TKivString JoinedChildText() const;

 private:
  friend class TKivXmlNodeList;
  friend class TKivXmlDocument;
  friend class TXmlAccess;
  void CheckCanInsert(const TKivXmlNode* ANode) const;
  void InsertAt(Integer AIndex, const IKivXmlNode& ANode);
  void AdoptNames(const IKivXmlNameTable& ANames);

  TKivXmlNode* FParentNode = nullptr;
  IKivXmlNameTable FNames;
  std::vector<TKivXmlAttrData> FAttrs;
  IKivXmlNodeList FChilds;
};

class TKivXmlElement : public TKivXmlNode {
 public:
  TKivXmlElement(IKivXmlNameTable ANames, Integer ANameID);

  Integer NameID() const override { return FNameID; }
  TKivXmlNodeType NodeType() const override { return ntElement; }
  TKivString Text() const override;
  void SetText(const TKivString& AText) override;
  TKivVarType ValueType() const override;
  TKivVariant NodeValue() const override;
  void SetNodeValue(const TKivVariant& AValue) override;
  IKivXmlNode CloneNode(bool ADeep) const override;
  // The simple value held when the element has no child nodes.
  const TKivVariant& Data() const { return FData; }

  // Replaces the text and CDATA children by CDATA sections holding AText.
  void PutCDATA(const TKivString& AText);
  // Replaces the text and CDATA children by one text child holding the Base64 form of the bytes,
  // with "\r\n" after every ALineLength characters when ALineLength is positive.
  void PutBase64(const uint8_t* AData, size_t ASize, Integer ALineLength = 0);
  std::vector<uint8_t> ReadBase64() const;

 protected:
  bool CanHaveChildren() const override { return true; }
  bool CanHaveAttrs() const override { return true; }

 private:
  friend class TXmlAccess;
  friend class TKivXmlNode;
  Integer FNameID;
  TKivVariant FData;
};

class TKivXmlCharacterData : public TKivXmlNode {
 public:
  TKivString Text() const override;
  void SetNodeValue(const TKivVariant& AValue) override;
  TKivVariant NodeValue() const override { return TKivVariant(FData); }
  const TKivString& Data() const { return FData; }
  void SetData(const TKivString& AData) { FData = AData; }

 protected:
  TKivXmlCharacterData(IKivXmlNameTable ANames, TKivString AData);

 private:
  TKivString FData;
};

class TKivXmlCDATASection : public TKivXmlCharacterData {
 public:
  TKivXmlCDATASection(IKivXmlNameTable ANames, TKivString AData);
  Integer NameID() const override;
  TKivXmlNodeType NodeType() const override { return ntCDATASection; }
  IKivXmlNode CloneNode(bool ADeep) const override;
};

class TKivXmlComment : public TKivXmlCharacterData {
 public:
  TKivXmlComment(IKivXmlNameTable ANames, TKivString AData);
  Integer NameID() const override;
  TKivXmlNodeType NodeType() const override { return ntComment; }
  IKivXmlNode CloneNode(bool ADeep) const override;
};

class TKivXmlText : public TKivXmlNode {
 public:
  TKivXmlText(IKivXmlNameTable ANames, TKivVariant AData);
  Integer NameID() const override;
  TKivXmlNodeType NodeType() const override { return ntText; }
  TKivString Text() const override { return FData.ToText(); }
  TKivVarType ValueType() const override { return FData.Type(); }
  TKivVariant NodeValue() const override { return FData; }
  void SetNodeValue(const TKivVariant& AValue) override { FData = AValue; }
  IKivXmlNode CloneNode(bool ADeep) const override;

 private:
  friend class TXmlAccess;
  TKivVariant FData;
};

class TKivXmlProcessingInstruction : public TKivXmlNode {
 public:
  TKivXmlProcessingInstruction(IKivXmlNameTable ANames, Integer ATargetID, TKivString AData);
  Integer NameID() const override { return FTargetID; }
  TKivXmlNodeType NodeType() const override { return ntProcessingInstruction; }
  TKivString Text() const override { return FData; }
  void SetNodeValue(const TKivVariant& AValue) override { FData = AValue.ToText(); }
  IKivXmlNode CloneNode(bool ADeep) const override;
  const TKivString& Data() const { return FData; }
  void SetData(const TKivString& AData) { FData = AData; }

 protected:
  bool CanHaveAttrs() const override { return true; }

 private:
  friend class TXmlAccess;
  friend class TKivXmlNode;
  Integer FTargetID;
  TKivString FData;
};

// Supplies the bytes of a program resource for LoadFromResource; returns false when missing.
using TKivXmlResourceReader =
    std::function<bool(const TKivString& AType, const TKivString& AName, std::string& AData)>;
void KivXmlSetResourceReader(TKivXmlResourceReader AReader);

// The library's default encoding name ("windows-1251"): used by NewDocument without an encoding,
// and deciding the document's byte-order mark when the input has none.
const TKivString& KivXmlDefaultEncoding();
void KivXmlSetDefaultEncoding(const TKivString& AName);

// The deepest element nesting the parser accepts and the writer produces.
constexpr Integer KivXmlMaxDepth = 512;

class TKivXmlDocument : public TKivXmlNode {
 public:
  explicit TKivXmlDocument(IKivXmlNameTable ANames = nullptr);

  Integer NameID() const override;
  TKivXmlNodeType NodeType() const override { return ntDocument; }
  TKivString Text() const override { return JoinedChildText(); }
  void SetText(const TKivString& AText) override;
  void SetNodeValue(const TKivVariant& AValue) override;
  IKivXmlNode CloneNode(bool ADeep) const override;

  IKivXmlElement DocumentElement() const;
  bool PreserveWhiteSpace() const { return FPreserveWhiteSpace; }
  void SetPreserveWhiteSpace(bool AValue) { FPreserveWhiteSpace = AValue; }
  bool CaseSensitive() const { return FCaseSensitive; }
  // Also sets the mode of the document's name table.
  void SetCaseSensitive(bool AValue);
  TKivBOM BOM() const { return FBOM; }
  void SetBOM(TKivBOM AValue) { FBOM = AValue; }
  // The encoding named by the XML declaration that opens the document (printable ASCII up to its
  // "?>"), or empty. Raises EInvalidArgument when that declaration cannot be written.
  TKivString DeclaredEncoding() const;

  // Clears the document, adds the XML declaration and a root element, and returns the root.
  IKivXmlElement NewDocument(const TKivString& AVersion = u"1.0", const TKivString& AEncoding = {},
                             TKivStringView ARootName = u"root");

  IKivXmlElement CreateElement(TKivStringView AName);
  IKivXmlElement CreateElementID(Integer ANameID);
  IKivXmlText CreateTextNode(const TKivVariant& AData);
  IKivXmlCDATASection CreateCDATASection(const TKivString& AData);
  IKivXmlComment CreateComment(const TKivString& AData);
  IKivXmlProcessingInstruction CreateProcessingInstruction(TKivStringView ATarget, const TKivString& AData);
  IKivXmlProcessingInstruction CreateProcessingInstructionID(Integer ATargetID, const TKivString& AData);

  // Loading clears the document first; a parse stops at the first error, leaving the nodes
  // created so far. Bytes that are not valid in the stream's encoding raise "Malformed %s text
  // at byte offset %d" (the encoding's name, the offset from the start of the stream).
  void LoadXml(const TKivString& AText);
  void LoadBinaryXml(std::string_view AData);
  void LoadFromStream(std::istream& AStream);
  void LoadFromFile(const TKivString& AFileName);
  void LoadFromResource(const TKivString& AType, const TKivString& AName);

  void SaveToStream(std::ostream& AStream) const;
  void SaveToFile(const TKivString& AFileName) const;
  std::string BinaryXml() const;
  // No options are defined yet: AOptions must be 0.
  void SaveBinaryToStream(std::ostream& AStream, Cardinal AOptions = 0) const;
  void SaveBinaryToFile(const TKivString& AFileName, Cardinal AOptions = 0) const;

 protected:
  bool CanHaveChildren() const override { return true; }

 private:
  friend class TXmlAccess;
  void Clear();

  bool FPreserveWhiteSpace = false;
  bool FCaseSensitive = true;
  TKivBOM FBOM = bomNone;
};

// A new document on ANames, or on the global name table whose case sensitivity is then set to
// ACaseSensitive. An empty encoding means the default encoding; with a root name the document
// gets its declaration and root (NewDocument).
IKivXmlDocument CreateXmlDocument(TKivStringView ARootName = {}, const TKivString& AVersion = u"1.0",
                                  const TKivString& AEncoding = {}, bool ACaseSensitive = true,
                                  IKivXmlNameTable ANames = nullptr);
IKivXmlDocument LoadXmlDocumentFromXml(const TKivString& AText);
IKivXmlDocument LoadXmlDocumentFromFile(const TKivString& AFileName);

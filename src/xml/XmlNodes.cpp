// Node lists, the tree operations shared by every node, and the node classes.
#include "internal/XmlInternal.h"

namespace {

[[noreturn]] void IndexOutOfRange() {
  throw EKivXmlError(u"Getting element error: Index is out of range");
}

void CheckPlainName(TKivStringView AName) {
  if (!KivXmlIsValidName(AName)) throw EKivXmlError(u"This feature isn't implemented yet in KivXML");
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TKivXmlNodeList

IKivXmlNode TKivXmlNodeList::Item(Integer AIndex) const {
  if (AIndex < 0 || AIndex >= Count()) IndexOutOfRange();
  return FItems[static_cast<size_t>(AIndex)];
}

TKivString TKivXmlNodeList::ToXml() const {
  TKivString out;
  for (const auto& item : FItems) out += item->ToXml();
  return out;
}

Integer TKivXmlNodeList::IndexOf(const TKivXmlNode* ANode) const {
  for (size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i].get() == ANode) return static_cast<Integer>(i);
  return -1;
}

void TXmlAccess::AppendFresh(TKivXmlNode& AParent, const IKivXmlNode& AChild) {
  if (!AParent.FChilds) AParent.ChildNodes();
  auto& items = AParent.FChilds->FItems;
  XmlReserveOne(items);
  items.push_back(AChild);
  AChild->FParentNode = &AParent;
}

// ---------------------------------------------------------------------------------------------
// TKivXmlNode: identity, tree and editing

TKivXmlNode::TKivXmlNode(IKivXmlNameTable ANames) : FNames(std::move(ANames)) {
  if (!FNames) FNames = KivXmlGlobalNameTable();
}

TKivXmlNode::~TKivXmlNode() {
  if (!FChilds) return;
  FChilds->FOwnerNode = nullptr;
  if (FChilds->RefCount() > 1) {
    // Someone still holds the list: it keeps the children, which lose their parent.
    for (auto& child : FChilds->FItems) child->FParentNode = nullptr;
    return;
  }
  // Tear the subtree down without recursion, so that a deep tree cannot exhaust the stack.
  std::vector<IKivXmlNode> pending = std::move(FChilds->FItems);
  FChilds->FItems.clear();
  for (auto& child : pending) child->FParentNode = nullptr;
  while (!pending.empty()) {
    IKivXmlNode node = std::move(pending.back());
    pending.pop_back();
    if (node->RefCount() == 1 && node->FChilds && node->FChilds->RefCount() == 1) {
      for (auto& child : node->FChilds->FItems) {
        child->FParentNode = nullptr;
        pending.push_back(std::move(child));
      }
      node->FChilds->FItems.clear();
    }
  }
}

IKivXmlElement TKivXmlNode::AsElement() {
  return NodeType() == ntElement ? IKivXmlElement(static_cast<TKivXmlElement*>(this)) : nullptr;
}
IKivXmlText TKivXmlNode::AsText() {
  return NodeType() == ntText ? IKivXmlText(static_cast<TKivXmlText*>(this)) : nullptr;
}
IKivXmlCDATASection TKivXmlNode::AsCDATASection() {
  return NodeType() == ntCDATASection ? IKivXmlCDATASection(static_cast<TKivXmlCDATASection*>(this))
                                      : nullptr;
}
IKivXmlComment TKivXmlNode::AsComment() {
  return NodeType() == ntComment ? IKivXmlComment(static_cast<TKivXmlComment*>(this)) : nullptr;
}
IKivXmlProcessingInstruction TKivXmlNode::AsProcessingInstruction() {
  return NodeType() == ntProcessingInstruction
             ? IKivXmlProcessingInstruction(static_cast<TKivXmlProcessingInstruction*>(this))
             : nullptr;
}
IKivXmlDocument TKivXmlNode::AsDocument() {
  return NodeType() == ntDocument ? IKivXmlDocument(static_cast<TKivXmlDocument*>(this)) : nullptr;
}

void TKivXmlNode::SetText(const TKivString& AText) {
  SetNodeValue(TKivVariant(AText));
}

void TKivXmlNode::SetNodeValue(const TKivVariant&) {
  throw EInvalidArgument(u"The node \"%s\" has no value of its own", {NodeName()});
}

TKivString TKivXmlNode::ToXml() const {
  TKivString out;
  IKivXmlDocument doc = OwnerDocument();
  TXmlWriteContext context;
  context.Preserve = doc && doc->PreserveWhiteSpace();
  XmlWrite(*this, out, context, 0);
  return out;
}

IKivXmlDocument TKivXmlNode::OwnerDocument() const {
  for (auto* p = const_cast<TKivXmlNode*>(this); p; p = p->FParentNode)
    if (p->NodeType() == ntDocument) return IKivXmlDocument(static_cast<TKivXmlDocument*>(p));
  return nullptr;
}

IKivXmlNodeList TKivXmlNode::ChildNodes() {
  if (!FChilds) {
    FChilds = new TKivXmlNodeList;
    FChilds->FOwnerNode = this;
  }
  return FChilds;
}

TKivString TKivXmlNode::JoinedChildText() const {
  TKivString out;
  if (!FChilds) return out;
  for (const auto& child : FChilds->FItems) {
    auto type = child->NodeType();
    if (type != ntElement && type != ntText && type != ntCDATASection) continue;
    TKivString text = child->Text();
    if (text.empty()) continue;
    if (!out.empty()) out.push_back(u' ');
    out += text;
  }
  return out;
}

void TKivXmlNode::CheckCanInsert(const TKivXmlNode* ANode) const {
  if (!ANode) throw EInvalidArgument(u"No node to insert");
  if (!CanHaveChildren()) throw EInvalidArgument(u"The node \"%s\" cannot have child nodes", {NodeName()});
  if (ANode->NodeType() == ntDocument) throw EInvalidArgument(u"A document cannot become a child node");
  for (const TKivXmlNode* p = this; p; p = p->FParentNode)
    if (p == ANode) throw EInvalidArgument(u"A node cannot be inserted into its own subtree");
}

void TKivXmlNode::AdoptNames(const IKivXmlNameTable& ANames) {
  std::vector<TKivXmlNode*> pending{this};
  while (!pending.empty()) {
    TKivXmlNode* node = pending.back();
    pending.pop_back();
    if (node->FNames == ANames) continue;
    const IKivXmlNameTable old = node->FNames;
    for (auto& attr : node->FAttrs) attr.NameID = ANames->NameToID(old->IDToName(attr.NameID));
    if (node->NodeType() == ntElement) {
      auto* e = static_cast<TKivXmlElement*>(node);
      e->FNameID = ANames->NameToID(old->IDToName(e->FNameID));
    } else if (node->NodeType() == ntProcessingInstruction) {
      auto* pi = static_cast<TKivXmlProcessingInstruction*>(node);
      pi->FTargetID = ANames->NameToID(old->IDToName(pi->FTargetID));
    }
    node->FNames = ANames;
    if (node->FChilds)
      for (auto& child : node->FChilds->FItems) pending.push_back(child.get());
  }
}

void TKivXmlNode::InsertAt(Integer AIndex, const IKivXmlNode& ANode) {
  ChildNodes();
  auto& items = FChilds->FItems;
  XmlReserveOne(items);
  items.insert(items.begin() + AIndex, ANode);
  ANode->FParentNode = this;
  if (ANode->FNames != FNames) ANode->AdoptNames(FNames);
  // Children replace the simple value of an element.
  if (NodeType() == ntElement) static_cast<TKivXmlElement*>(this)->FData = TKivVariant();
}

IKivXmlNode TKivXmlNode::AppendChild(const IKivXmlNode& ANode) {
  CheckCanInsert(ANode.get());
  IKivXmlNode keep = ANode;
  if (ANode->FParentNode) ANode->FParentNode->RemoveChild(ANode);
  InsertAt(ChildCount(), ANode);
  return ANode;
}

IKivXmlNode TKivXmlNode::InsertBefore(const IKivXmlNode& ANew, const IKivXmlNode& ARef) {
  if (!ARef) return AppendChild(ANew);
  if (ARef->FParentNode != this) throw EInvalidArgument(u"The reference node is not a child of this node");
  CheckCanInsert(ANew.get());
  if (ANew == ARef) return ANew;
  IKivXmlNode keep = ANew;
  if (ANew->FParentNode) ANew->FParentNode->RemoveChild(ANew);
  InsertAt(FChilds->IndexOf(ARef.get()), ANew);
  return ANew;
}

IKivXmlNode TKivXmlNode::ReplaceChild(const IKivXmlNode& ANew, const IKivXmlNode& AOld) {
  if (!AOld || AOld->FParentNode != this) return nullptr;
  CheckCanInsert(ANew.get());
  if (ANew == AOld) return AOld;
  IKivXmlNode keepNew = ANew, keepOld = AOld;
  if (ANew->FParentNode) ANew->FParentNode->RemoveChild(ANew);
  Integer index = FChilds->IndexOf(AOld.get());
  FChilds->FItems.erase(FChilds->FItems.begin() + index);
  AOld->FParentNode = nullptr;
  InsertAt(index, ANew);
  return AOld;
}

Integer TKivXmlNode::RemoveChild(const IKivXmlNode& ANode) {
  if (!ANode || ANode->FParentNode != this || !FChilds) return -1;
  Integer index = FChilds->IndexOf(ANode.get());
  if (index < 0) return -1;
  IKivXmlNode keep = ANode;
  FChilds->FItems.erase(FChilds->FItems.begin() + index);
  ANode->FParentNode = nullptr;
  return index;
}

void TKivXmlNode::DropChildren() {
  if (!FChilds) return;
  std::vector<IKivXmlNode> old = std::move(FChilds->FItems);
  FChilds->FItems.clear();
  for (auto& child : old) child->FParentNode = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Create and append

IKivXmlElement TKivXmlNode::AppendNewElement(TKivStringView AName) {
  return AppendNewElementID(FNames->NameToID(AName));
}

IKivXmlElement TKivXmlNode::AppendNewElementID(Integer ANameID) {
  if (ANameID < 0 || ANameID >= FNames->Count())
    throw EInvalidArgument(u"Invalid element name ID %d", {ANameID});
  IKivXmlElement e(new TKivXmlElement(FNames, ANameID));
  AppendChild(e);
  return e;
}

IKivXmlText TKivXmlNode::AppendNewText(const TKivString& AText) {
  IKivXmlText t(new TKivXmlText(FNames, TKivVariant(AText)));
  AppendChild(t);
  return t;
}

IKivXmlCDATASection TKivXmlNode::AppendNewCDATA(const TKivString& AText) {
  IKivXmlCDATASection c(new TKivXmlCDATASection(FNames, AText));
  AppendChild(c);
  return c;
}

IKivXmlComment TKivXmlNode::AppendNewComment(const TKivString& AText) {
  IKivXmlComment c(new TKivXmlComment(FNames, AText));
  AppendChild(c);
  return c;
}

IKivXmlProcessingInstruction TKivXmlNode::AppendNewInstruction(TKivStringView ATarget,
                                                               const TKivString& AData) {
  return AppendNewInstructionID(FNames->NameToID(ATarget), AData);
}

IKivXmlProcessingInstruction TKivXmlNode::AppendNewInstructionID(Integer ATargetID, const TKivString& AData) {
  if (ATargetID < 0 || ATargetID >= FNames->Count())
    throw EInvalidArgument(u"Invalid processing instruction target ID %d", {ATargetID});
  IKivXmlProcessingInstruction pi(new TKivXmlProcessingInstruction(FNames, ATargetID, AData));
  AppendChild(pi);
  return pi;
}

// ---------------------------------------------------------------------------------------------
// Child lookup

IKivXmlElement TKivXmlNode::FirstChildElementNamed(TKivStringView AName) const {
  CheckPlainName(AName);
  return FirstChildElementNamedID(FNames->FindID(AName));
}

IKivXmlElement TKivXmlNode::FirstChildElementNamedID(Integer ANameID) const {
  if (ANameID < 0 || !FChilds) return nullptr;
  for (const auto& child : FChilds->FItems)
    if (child->NodeType() == ntElement && child->NameID() == ANameID)
      return IKivXmlElement(static_cast<TKivXmlElement*>(child.get()));
  return nullptr;
}

IKivXmlNodeList TKivXmlNode::ChildElementsNamed(TKivStringView AName) const {
  CheckPlainName(AName);
  return ChildElementsNamedID(FNames->FindID(AName));
}

IKivXmlNodeList TKivXmlNode::ChildElementsNamedID(Integer ANameID) const {
  IKivXmlNodeList list(new TKivXmlNodeList);
  if (ANameID < 0 || !FChilds) return list;
  for (const auto& child : FChilds->FItems)
    if (child->NodeType() == ntElement && child->NameID() == ANameID) list->FItems.push_back(child);
  return list;
}

namespace {

bool IsNumeric(TKivVarType AType) {
  return AType >= vtInteger && AType <= vtBoolean;
}

// Equality of two values as the lookup by attribute needs it; false when they cannot be compared.
bool ValuesEqual(const TKivVariant& A, const TKivVariant& B) {
  if (A.IsEmpty() || B.IsEmpty()) return A.IsEmpty() && B.IsEmpty();
  if (A.Type() == vtNull || B.Type() == vtNull) return false;
  if (A.Type() == vtString && B.Type() == vtString) return A.StringValue() == B.StringValue();
  if (IsNumeric(A.Type()) || IsNumeric(B.Type())) {
    try {
      return A.ToFloat() == B.ToFloat();
    } catch (const EKivXmlError&) {
      return false;
    }
  }
  return A.ToText() == B.ToText();
}

}  // namespace

IKivXmlElement TKivXmlNode::FirstChildElementWithAttr(TKivStringView AName, TKivStringView AAttrName,
                                                      const TKivVariant& AValue) const {
  return FirstChildElementWithAttrID(FNames->FindID(AName), FNames->FindID(AAttrName), AValue);
}

IKivXmlElement TKivXmlNode::FirstChildElementWithAttrID(Integer ANameID, Integer AAttrNameID,
                                                        const TKivVariant& AValue) const {
  if (AAttrNameID < 0) return FirstChildElementNamedID(ANameID);
  if (ANameID < 0 || !FChilds) return nullptr;
  for (const auto& child : FChilds->FItems) {
    if (child->NodeType() != ntElement || child->NameID() != ANameID) continue;
    Integer index = child->FindAttr(AAttrNameID);
    const TKivVariant value = index >= 0 ? child->FAttrs[index].Value : TKivVariant();
    if (ValuesEqual(value, AValue)) return IKivXmlElement(static_cast<TKivXmlElement*>(child.get()));
  }
  return nullptr;
}

IKivXmlElement TKivXmlNode::RequiredChildElement(TKivStringView AName) const {
  IKivXmlElement e = FirstChildElementNamedID(FNames->FindID(AName));
  if (!e) throw EKivXmlError(u"Error: child element \"%s\" not found.", {TKivString(AName)});
  return e;
}

IKivXmlElement TKivXmlNode::RequiredChildElementID(Integer ANameID) const {
  IKivXmlElement e = FirstChildElementNamedID(ANameID);
  if (!e) throw EKivXmlError(u"Error: child element \"%s\" not found.", {FNames->IDToName(ANameID)});
  return e;
}

IKivXmlElement TKivXmlNode::EnsuredChildElement(TKivStringView AName) {
  return EnsuredChildElementID(FNames->NameToID(AName));
}

IKivXmlElement TKivXmlNode::EnsuredChildElementID(Integer ANameID) {
  IKivXmlElement e = FirstChildElementNamedID(ANameID);
  return e ? e : AppendNewElementID(ANameID);
}

TKivString TKivXmlNode::ChildElementText(TKivStringView AName, const TKivString& ADefault) const {
  return ChildElementTextID(FNames->FindID(AName), ADefault);
}

TKivString TKivXmlNode::ChildElementTextID(Integer ANameID, const TKivString& ADefault) const {
  IKivXmlElement e = FirstChildElementNamedID(ANameID);
  return e ? e->Text() : ADefault;
}

void TKivXmlNode::PutChildElementText(TKivStringView AName, const TKivString& AText) {
  PutChildElementTextID(FNames->NameToID(AName), AText);
}

void TKivXmlNode::PutChildElementTextID(Integer ANameID, const TKivString& AText) {
  EnsuredChildElementID(ANameID)->SetText(AText);
}

IKivXmlNodeList TKivXmlNode::ElementChainNamed(TKivStringView AName) const {
  return ElementChainNamedID(FNames->FindID(AName));
}

IKivXmlNodeList TKivXmlNode::ElementChainNamedID(Integer ANameID) const {
  IKivXmlNodeList list(new TKivXmlNodeList);
  if (ANameID < 0) return list;
  std::vector<std::pair<const TKivXmlNode*, size_t>> stack{{this, 0}};
  while (!stack.empty()) {
    auto& [node, next] = stack.back();
    if (!node->FChilds || next >= node->FChilds->FItems.size()) {
      stack.pop_back();
      continue;
    }
    const IKivXmlNode& child = node->FChilds->FItems[next++];
    if (child->NodeType() == ntElement && child->NameID() == ANameID) {
      list->FItems.push_back(child);
      stack.emplace_back(child.get(), 0);
    }
  }
  return list;
}

void TKivXmlNode::CopyTo(TKivXmlNode& AClone, bool ADeep) const {
  AClone.FAttrs = FAttrs;
  if (!ADeep || !FChilds) return;
  for (const auto& child : FChilds->FItems) TXmlAccess::AppendFresh(AClone, child->CloneNode(true));
}

// ---------------------------------------------------------------------------------------------
// Node classes

TKivXmlElement::TKivXmlElement(IKivXmlNameTable ANames, Integer ANameID)
    : TKivXmlNode(std::move(ANames)), FNameID(ANameID) {}

TKivString TKivXmlElement::Text() const {
  return HasChildNodes() ? JoinedChildText() : FData.ToText();
}

void TKivXmlElement::SetText(const TKivString& AText) {
  SetNodeValue(TKivVariant(AText));
}

TKivVarType TKivXmlElement::ValueType() const {
  return HasChildNodes() || FData.IsEmpty() ? vtString : FData.Type();
}

TKivVariant TKivXmlElement::NodeValue() const {
  return HasChildNodes() ? TKivVariant(Text()) : FData;
}

void TKivXmlElement::SetNodeValue(const TKivVariant& AValue) {
  TKivVariant value = AValue;  // AValue may live in a child about to be dropped
  DropChildren();
  FData = std::move(value);
}

IKivXmlNode TKivXmlElement::CloneNode(bool ADeep) const {
  IKivXmlElement clone(new TKivXmlElement(NameTable(), FNameID));
  clone->FData = FData;
  CopyTo(*clone, ADeep);
  return clone;
}

namespace {
// Drops the text and CDATA children of AElement.
void DropTextChildren(TKivXmlElement& AElement) {
  for (Integer i = AElement.ChildCount() - 1; i >= 0; --i) {
    IKivXmlNode child = AElement.ChildNodes()->Item(i);
    if (child->NodeType() == ntText || child->NodeType() == ntCDATASection) AElement.RemoveChild(child);
  }
}
}  // namespace

void TKivXmlElement::PutCDATA(const TKivString& AText) {
  DropTextChildren(*this);
  // A section cannot hold "]]>": split it between "]]" and ">".
  size_t start = 0;
  for (;;) {
    size_t at = AText.find(u"]]>", start);
    if (at == TKivString::npos) break;
    AppendNewCDATA(AText.substr(start, at + 2 - start));
    start = at + 2;
  }
  AppendNewCDATA(AText.substr(start));
}

void TKivXmlElement::PutBase64(const uint8_t* AData, size_t ASize, Integer ALineLength) {
  if (!AData && ASize) throw EInvalidArgument(u"No data to encode");
  TKivString text = KivBase64Encode(AData, ASize, ALineLength);
  DropTextChildren(*this);
  AppendNewText(text);
}

std::vector<uint8_t> TKivXmlElement::ReadBase64() const {
  return KivBase64Decode(Text());
}

TKivXmlCharacterData::TKivXmlCharacterData(IKivXmlNameTable ANames, TKivString AData)
    : TKivXmlNode(std::move(ANames)), FData(std::move(AData)) {}

TKivString TKivXmlCharacterData::Text() const {
  IKivXmlDocument doc = OwnerDocument();
  if (doc && doc->PreserveWhiteSpace()) return FData;
  size_t first = 0, last = FData.size();
  while (first < last && XmlIsBlank(FData[first])) ++first;
  while (last > first && XmlIsBlank(FData[last - 1])) --last;
  return FData.substr(first, last - first);
}

void TKivXmlCharacterData::SetNodeValue(const TKivVariant& AValue) {
  FData = AValue.ToText();
}

TKivXmlCDATASection::TKivXmlCDATASection(IKivXmlNameTable ANames, TKivString AData)
    : TKivXmlCharacterData(std::move(ANames), std::move(AData)) {}
Integer TKivXmlCDATASection::NameID() const {
  return NameTable()->XmlCDATASectionNameID();
}
IKivXmlNode TKivXmlCDATASection::CloneNode(bool) const {
  return new TKivXmlCDATASection(NameTable(), Data());
}

TKivXmlComment::TKivXmlComment(IKivXmlNameTable ANames, TKivString AData)
    : TKivXmlCharacterData(std::move(ANames), std::move(AData)) {}
Integer TKivXmlComment::NameID() const {
  return NameTable()->XmlCommentNameID();
}
IKivXmlNode TKivXmlComment::CloneNode(bool) const {
  return new TKivXmlComment(NameTable(), Data());
}

TKivXmlText::TKivXmlText(IKivXmlNameTable ANames, TKivVariant AData)
    : TKivXmlNode(std::move(ANames)), FData(std::move(AData)) {}
Integer TKivXmlText::NameID() const {
  return NameTable()->XmlTextNameID();
}
IKivXmlNode TKivXmlText::CloneNode(bool) const {
  return new TKivXmlText(NameTable(), FData);
}

TKivXmlProcessingInstruction::TKivXmlProcessingInstruction(IKivXmlNameTable ANames, Integer ATargetID,
                                                           TKivString AData)
    : TKivXmlNode(std::move(ANames)), FTargetID(ATargetID), FData(std::move(AData)) {}

IKivXmlNode TKivXmlProcessingInstruction::CloneNode(bool) const {
  IKivXmlProcessingInstruction clone(new TKivXmlProcessingInstruction(NameTable(), FTargetID, FData));
  CopyTo(*clone, false);
  return clone;
}

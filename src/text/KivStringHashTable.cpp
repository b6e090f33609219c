// TKivStringHashTable.
#include <algorithm>

#include "KivHashTable.h"
#include "KivStrings.h"

TKivStringHashTable::~TKivStringHashTable() {
  Clear();
}

Integer TKivStringHashTable::StrHash(TKivStringView AKey) {
  return TKivHashTable::StrHash(AKey);
}

void TKivStringHashTable::DropObject(TKivObject* AObj) const {
  if (FOwnItems) delete AObj;
}

void TKivStringHashTable::Clear() {
  for (auto* head : FItems) {
    for (auto* node = head; node != nullptr;) {
      auto* next = node->FNext;
      DropObject(node->FData);
      delete node;
      node = next;
    }
  }
  FItems.clear();
  FItems.shrink_to_fit();
  FIndexMask = 0;
  FCount = 0;
}

void TKivStringHashTable::Grow() {
  const size_t size = FItems.empty() ? 4 : FItems.size() * 2;
  std::vector<TKivStringHashNode*> fresh(size, nullptr);
  std::vector<TKivStringHashNode**> tails(size);
  for (size_t i = 0; i < size; ++i) tails[i] = &fresh[i];
  const Integer mask = static_cast<Integer>(size) - 1;
  // Each new bucket receives the nodes of exactly one old bucket; appending them in their old
  // order keeps the newest node of a key in front.
  for (size_t b = FItems.size(); b-- > 0;) {
    for (auto* node = FItems[b]; node != nullptr;) {
      auto* next = node->FNext;
      const size_t idx = static_cast<size_t>(StrHash(node->FKey) & mask);
      node->FNext = nullptr;
      *tails[idx] = node;
      tails[idx] = &node->FNext;
      node = next;
    }
  }
  FItems.swap(fresh);
  FIndexMask = mask;
}

void TKivStringHashTable::Add(const TKivString& AKey, const TKivString& AValue, TKivObject* AObj) {
  auto* node = new TKivStringHashNode;
  node->FKey = AKey;
  node->FValue = AValue;
  node->FData = AObj;
  try {
    if (FCount == static_cast<Integer>(FItems.size())) Grow();
  } catch (...) {
    delete node;
    throw;
  }
  auto& head = FItems[static_cast<size_t>(StrHash(AKey) & FIndexMask)];
  node->FNext = head;
  head = node;
  ++FCount;
}

void TKivStringHashTable::SetOrAdd(const TKivString& AKey, const TKivString& AValue, TKivObject* AObj) {
  TKivStringHashNode* node = FindNode(AKey);
  if (node == nullptr) {
    Add(AKey, AValue, AObj);
    return;
  }
  node->FValue = AValue;
  if (node->FData != AObj) {
    TKivObject* old = node->FData;
    node->FData = AObj;
    DropObject(old);
  }
}

bool TKivStringHashTable::Remove(TKivStringView AKey) {
  if (FItems.empty()) return false;
  TKivStringHashNode** link = &FItems[static_cast<size_t>(StrHash(AKey) & FIndexMask)];
  while (*link != nullptr && (*link)->FKey != AKey) link = &(*link)->FNext;
  if (*link == nullptr) return false;
  TKivStringHashNode* node = *link;
  *link = node->FNext;
  --FCount;
  DropObject(node->FData);
  delete node;
  return true;
}

TKivStringHashNode* TKivStringHashTable::FindNode(TKivStringView AKey) const {
  if (FItems.empty()) return nullptr;
  for (auto* node = FItems[static_cast<size_t>(StrHash(AKey) & FIndexMask)]; node != nullptr;
       node = node->FNext)
    if (node->FKey == AKey) return node;
  return nullptr;
}

TKivString TKivStringHashTable::Find(TKivStringView AKey) const {
  const TKivStringHashNode* node = FindNode(AKey);
  return node ? node->FValue : TKivString();
}

TKivString TKivStringHashTable::Find(TKivStringView AKey, TKivObject*& AObj) const {
  const TKivStringHashNode* node = FindNode(AKey);
  AObj = node ? node->FData : nullptr;
  return node ? node->FValue : TKivString();
}

bool TKivStringHashTable::IteratorMoveFirst(TKivStringHashIterator& AIter) const {
  AIter.InternalIndex = -1;
  AIter.CurrentNode = nullptr;
  return IteratorMoveNext(AIter);
}

bool TKivStringHashTable::IteratorMoveNext(TKivStringHashIterator& AIter) const {
  if (AIter.CurrentNode != nullptr && AIter.CurrentNode->FNext != nullptr) {
    AIter.CurrentNode = AIter.CurrentNode->FNext;
    return true;
  }
  const Integer n = static_cast<Integer>(FItems.size());
  for (Integer b = std::max(AIter.InternalIndex + 1, 0); b < n; ++b) {
    if (FItems[static_cast<size_t>(b)] != nullptr) {
      AIter.InternalIndex = b;
      AIter.CurrentNode = FItems[static_cast<size_t>(b)];
      return true;
    }
  }
  AIter.InternalIndex = n;
  AIter.CurrentNode = nullptr;
  return false;
}

void TKivStringHashTable::CheckCopySource(const TKivStringHashTable& AValue) const {
  if (AValue.FOwnItems)
    throw EInvalidArgument(
        u"This operation requires that its argument should have TKivStringHashTable.OwnItems=false.");
  if (FOwnItems) {
    TKivStringHashIterator it;
    for (bool ok = AValue.IteratorMoveFirst(it); ok; ok = AValue.IteratorMoveNext(it))
      if (it.CurrentNode->FData != nullptr)
        throw EInvalidArgument(
            u"This operation requires TKivStringHashTable.OwnItems=false when its argument holds objects.");
  }
}

void TKivStringHashTable::Assign(const TKivStringHashTable& AValue) {
  CheckCopySource(AValue);
  if (&AValue == this) return;
  // Built aside and swapped in, so a failed allocation leaves this table as it was. Within a
  // bucket the copy keeps the source's order, so duplicate keys resolve the same way.
  std::vector<TKivStringHashNode*> fresh(AValue.FItems.size(), nullptr);
  try {
    for (size_t b = 0; b < fresh.size(); ++b) {
      TKivStringHashNode** tail = &fresh[b];
      for (auto* src = AValue.FItems[b]; src != nullptr; src = src->FNext) {
        auto* node = new TKivStringHashNode;
        *tail = node;
        tail = &node->FNext;
        node->FKey = src->FKey;
        node->FValue = src->FValue;
        node->FData = src->FData;
      }
    }
  } catch (...) {
    for (auto* head : fresh) {
      for (auto* node = head; node != nullptr;) {
        auto* next = node->FNext;
        delete node;
        node = next;
      }
    }
    throw;
  }
  Clear();
  FItems.swap(fresh);
  FIndexMask = AValue.FIndexMask;
  FCount = AValue.FCount;
}

void TKivStringHashTable::Merge(const TKivStringHashTable& AValue) {
  CheckCopySource(AValue);
  if (&AValue == this) return;
  // Within a bucket the oldest node goes first: where the argument holds a key more than once,
  // the value it finds (its newest) is the one left here.
  std::vector<const TKivStringHashNode*> chain;
  for (auto* head : AValue.FItems) {
    chain.clear();
    for (auto* node = head; node != nullptr; node = node->FNext) chain.push_back(node);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
      SetOrAdd((*it)->FKey, (*it)->FValue, (*it)->FData);
  }
}

std::unique_ptr<TKivStringHashTable> TKivStringHashTable::Clone() const {
  if (FOwnItems) throw EKivError(u"This operation requires TKivStringHashTable.OwnItems=false.");
  auto copy = std::make_unique<TKivStringHashTable>(false);
  copy->Assign(*this);
  return copy;
}

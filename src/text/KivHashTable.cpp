#include "KivHashTable.h"

#include <algorithm>
#include <utility>

#include "KivSedUtils.h"

namespace {
constexpr const char* kModule = "KivHashTable";
}

// ---------------------------------------------------------------------------------------------
// TKivHashTableTraits

bool TKivHashTableTraits::BeforeAdd(TKivObject*, TKivHashTable&) const {
  return true;
}

Integer TKivHashTableTraits::MakeHashI(const TKivObject*) const {
  KIV_ASSERT(!"abstract MakeHashI called", kModule);
  return 0;
}

Integer TKivHashTableTraits::MakeHashK(TKivHashKey) const {
  KIV_ASSERT(!"abstract MakeHashK called", kModule);
  return 0;
}

bool TKivHashTableTraits::Compare(TKivHashKey, const TKivObject*) const {
  KIV_ASSERT(!"abstract Compare called", kModule);
  return false;
}

TKivHashUpdateAction TKivHashTableTraits::OnUpdate(TKivObject*) const {
  return uaNothing;
}

// ---------------------------------------------------------------------------------------------
// TKivHashTable

// Marks the table as being walked: callbacks must not change it.
class TKivHashTable::TBusy {
 public:
  explicit TBusy(const TKivHashTable& ATable) : FTable(ATable) { ++FTable.FBusyCount; }
  ~TBusy() { --FTable.FBusyCount; }
  TBusy(const TBusy&) = delete;
  TBusy& operator=(const TBusy&) = delete;

 private:
  const TKivHashTable& FTable;
};

TKivHashTable::TKivHashTable(const TKivHashTableTraits& ATraits, bool AOwnItems)
    : FTraits(ATraits), FOwnItems(AOwnItems) {}

TKivHashTable::~TKivHashTable() {
  FBusyCount = 0;
  Clear();
}

Integer TKivHashTable::IntHash(Integer AKey) {
  return static_cast<Integer>(HashInt(static_cast<Cardinal>(AKey)));
}

Integer TKivHashTable::PtrHash(const void* AKey) {
  return static_cast<Integer>(HashInt(static_cast<Cardinal>(reinterpret_cast<uintptr_t>(AKey))));
}

Integer TKivHashTable::StrHash(TKivStringView AKey) {
  Cardinal h = 0;
  for (Char c : AKey) h = h * 4 + c;
  return static_cast<Integer>(h);
}

void TKivHashTable::CheckIdle() const {
  KIV_ASSERT(FBusyCount == 0, kModule);
}

void TKivHashTable::Drop(TKivObject* AItem) const {
  if (FOwnItems) delete AItem;
}

void TKivHashTable::Insert(std::vector<TBucket>& AItems, TKivObject* AItem, Integer AHash,
                           TKivHashTableColl*& APool) {
  TBucket& bucket = AItems[static_cast<size_t>(AHash & FIndexMask)];
  if (bucket.Item == nullptr) {
    bucket.Item = AItem;
    return;
  }
  TKivHashTableColl* cell = APool;
  if (cell != nullptr) {
    APool = cell->Next;
  } else {
    cell = new TKivHashTableColl;
  }
  cell->Item = bucket.Item;
  cell->Next = bucket.Next;
  bucket.Item = AItem;
  bucket.Next = cell;
}

void TKivHashTable::Rehash(size_t ABucketCount) {
  // Re-entered oldest first, so that within a bucket the newest item stays in front: items with
  // equal keys keep their order.
  std::vector<std::pair<TKivObject*, Integer>> order;
  order.reserve(static_cast<size_t>(FCount));
  for (size_t b = FItems.size(); b-- > 0;) {
    const size_t first = order.size();
    if (FItems[b].Item == nullptr) continue;
    order.emplace_back(FItems[b].Item, 0);
    for (auto* cell = FItems[b].Next; cell != nullptr; cell = cell->Next) order.emplace_back(cell->Item, 0);
    std::reverse(order.begin() + static_cast<ptrdiff_t>(first), order.end());
  }
  // Hash before changing anything: the traits may throw.
  for (auto& entry : order) entry.second = FTraits.MakeHashI(entry.first);
  std::vector<TBucket> fresh(ABucketCount);

  TKivHashTableColl* pool = nullptr;
  for (auto& bucket : FItems) {
    for (auto* cell = bucket.Next; cell != nullptr;) {
      auto* next = cell->Next;
      cell->Next = pool;
      pool = cell;
      cell = next;
    }
  }
  FIndexMask = static_cast<Integer>(ABucketCount) - 1;
  for (const auto& [item, hash] : order) Insert(fresh, item, hash, pool);
  while (pool != nullptr) {
    auto* next = pool->Next;
    delete pool;
    pool = next;
  }
  FItems.swap(fresh);
}

bool TKivHashTable::Add(TKivObject* AItem) {
  KIV_ASSERT(AItem != nullptr, kModule);
  CheckIdle();
  if (!FTraits.BeforeAdd(AItem, *this)) return false;
  const Integer hash = FTraits.MakeHashI(AItem);
  if (FCount == static_cast<Integer>(FItems.size())) Rehash(FItems.empty() ? 4 : FItems.size() * 2);
  TKivHashTableColl* none = nullptr;
  Insert(FItems, AItem, hash, none);
  ++FCount;
  return true;
}

TKivObject* TKivHashTable::Find(TKivHashKey AKey) const {
  if (FItems.empty()) return nullptr;
  const TBucket& bucket = FItems[static_cast<size_t>(FTraits.MakeHashK(AKey) & FIndexMask)];
  if (bucket.Item == nullptr) return nullptr;
  if (FTraits.Compare(AKey, bucket.Item)) return bucket.Item;
  for (auto* cell = bucket.Next; cell != nullptr; cell = cell->Next)
    if (FTraits.Compare(AKey, cell->Item)) return cell->Item;
  return nullptr;
}

bool TKivHashTable::Remove(TKivHashKey AKey) {
  CheckIdle();
  if (FItems.empty()) return false;
  TBucket& bucket = FItems[static_cast<size_t>(FTraits.MakeHashK(AKey) & FIndexMask)];
  if (bucket.Item == nullptr) return false;
  TKivObject* item = nullptr;
  if (FTraits.Compare(AKey, bucket.Item)) {
    item = bucket.Item;
    if (auto* cell = bucket.Next) {
      bucket.Item = cell->Item;
      bucket.Next = cell->Next;
      delete cell;
    } else {
      bucket.Item = nullptr;
    }
  } else {
    TKivHashTableColl** link = &bucket.Next;
    while (*link != nullptr && !FTraits.Compare(AKey, (*link)->Item)) link = &(*link)->Next;
    if (*link == nullptr) return false;
    TKivHashTableColl* cell = *link;
    item = cell->Item;
    *link = cell->Next;
    delete cell;
  }
  --FCount;
  Drop(item);
  return true;
}

void TKivHashTable::GetAll(std::vector<TKivObject*>& AResult) const {
  AResult.reserve(AResult.size() + static_cast<size_t>(FCount));
  GetAll([&AResult](TKivObject* AItem) { AResult.push_back(AItem); });
}

void TKivHashTable::GetAll(const TKivHashTableItemProc& AProc) const {
  TBusy busy(*this);
  for (const auto& bucket : FItems) {
    if (bucket.Item == nullptr) continue;
    AProc(bucket.Item);
    for (auto* cell = bucket.Next; cell != nullptr; cell = cell->Next) AProc(cell->Item);
  }
}

void TKivHashTable::GetAll(const TKivHashTableItemProcEx& AProc, void* AUserData) const {
  GetAll([&AProc, AUserData](TKivObject* AItem) { AProc(AItem, AUserData); });
}

void TKivHashTable::Update() {
  CheckIdle();
  bool moved = false;
  try {
    TBusy busy(*this);
    for (size_t b = 0; b < FItems.size(); ++b) {
      TBucket& bucket = FItems[b];
      auto kept = [&](TKivObject* AItem) {
        if (static_cast<size_t>(FTraits.MakeHashI(AItem) & FIndexMask) != b) moved = true;
      };
      // The head: a dropped head is replaced by the next older item, which is asked in turn.
      while (bucket.Item != nullptr) {
        if (FTraits.OnUpdate(bucket.Item) == uaNothing) {
          kept(bucket.Item);
          break;
        }
        TKivObject* item = bucket.Item;
        if (auto* cell = bucket.Next) {
          bucket.Item = cell->Item;
          bucket.Next = cell->Next;
          delete cell;
        } else {
          bucket.Item = nullptr;
        }
        --FCount;
        Drop(item);
      }
      if (bucket.Item == nullptr) continue;
      TKivHashTableColl** link = &bucket.Next;
      while (*link != nullptr) {
        TKivHashTableColl* cell = *link;
        if (FTraits.OnUpdate(cell->Item) == uaNothing) {
          kept(cell->Item);
          link = &cell->Next;
          continue;
        }
        TKivObject* item = cell->Item;
        *link = cell->Next;
        delete cell;
        --FCount;
        Drop(item);
      }
    }
  } catch (...) {
    // Keep every remaining item findable even when the traits fail half way.
    if (moved) Rehash(FItems.size());
    throw;
  }
  if (moved) Rehash(FItems.size());
}

void TKivHashTable::Clear() {
  CheckIdle();
  for (auto& bucket : FItems) {
    if (bucket.Item != nullptr) Drop(bucket.Item);
    for (auto* cell = bucket.Next; cell != nullptr;) {
      auto* next = cell->Next;
      Drop(cell->Item);
      delete cell;
      cell = next;
    }
  }
  FItems.clear();
  FItems.shrink_to_fit();
  FIndexMask = 0;
  FCount = 0;
}

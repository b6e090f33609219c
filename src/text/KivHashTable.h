// A hash table of objects found by a key that only a traits class knows how to hash and compare.
//
// A traits class defines one kind of table: it hashes an item's key and a bare key the same way,
// tells whether an item has a key, may refuse additions and re-validates items on Update.
// Tables grow by doubling once the items reach the number of buckets and never shrink until
// Clear. Not for use from more than one thread.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "KivErrors.h"
#include "KivObject.h"
#include "KivTypes.h"

class TKivHashTable;

// A key: an integer such as a line number, or a pointer.
using TKivHashKey = intptr_t;

enum TKivHashUpdateAction { uaDelete, uaNothing };

// The operations that define a kind of table. Subclasses are usually stateless and shared by
// every table of their kind (a static instance); MakeHashI(item) must equal MakeHashK(key of
// item). The base's hash and compare operations are programming errors when called.
class TKivHashTableTraits {
 public:
  virtual ~TKivHashTableTraits() = default;

  // Whether AItem may be added to ATable (a traits class that wants unique keys refuses here).
  virtual bool BeforeAdd(TKivObject* AItem, TKivHashTable& ATable) const;
  virtual Integer MakeHashI(const TKivObject* AItem) const;
  virtual Integer MakeHashK(TKivHashKey AKey) const;
  virtual bool Compare(TKivHashKey AKey, const TKivObject* AItem) const;
  // Called by TKivHashTable::Update for every item: drop it, or keep it (its key may have changed).
  virtual TKivHashUpdateAction OnUpdate(TKivObject* AItem) const;
};

// A chain cell: one older item of a bucket, and the next older.
struct TKivHashTableColl {
  TKivObject* Item = nullptr;
  TKivHashTableColl* Next = nullptr;
};

using TKivHashTableItemProc = std::function<void(TKivObject* AItem)>;
using TKivHashTableItemProcEx = std::function<void(TKivObject* AItem, void* AUserData)>;

// Items are held by pointer; with AOwnItems the table deletes the items it drops (Remove,
// Update, Clear, destruction). Duplicate keys are allowed: a lookup finds the item added last,
// also after the table grew. The traits object must outlive the table. While GetAll or Update
// runs, the callbacks may look items up but must not change the table.
class TKivHashTable {
 public:
  TKivHashTable(const TKivHashTableTraits& ATraits, bool AOwnItems);
  ~TKivHashTable();
  TKivHashTable(const TKivHashTable&) = delete;
  TKivHashTable& operator=(const TKivHashTable&) = delete;

  Integer Count() const { return FCount; }
  bool OwnItems() const { return FOwnItems; }
  const TKivHashTableTraits& Traits() const { return FTraits; }
  // The number of buckets: 0 for a new or cleared table, then 4, 8, 16, ...
  Integer BucketCount() const { return static_cast<Integer>(FItems.size()); }

  // The hash functions traits use.
  static Integer IntHash(Integer AKey);
  static Integer PtrHash(const void* AKey);
  static Integer StrHash(TKivStringView AKey);

  // False when the traits refuse the item (it stays the caller's then). AItem must not be null.
  bool Add(TKivObject* AItem);
  // Removes the newest item with the key; false when there is none.
  bool Remove(TKivHashKey AKey);
  TKivObject* Find(TKivHashKey AKey) const;

  // Every item: buckets ascending, each chain from the newest item to the oldest.
  void GetAll(std::vector<TKivObject*>& AResult) const;
  void GetAll(const TKivHashTableItemProc& AProc) const;
  void GetAll(const TKivHashTableItemProcEx& AProc, void* AUserData) const;

  // Asks the traits about every item; dropped items are removed, kept items whose hash changed
  // are moved to their new buckets.
  void Update();
  void Clear();

 private:
  struct TBucket {
    TKivObject* Item = nullptr;         // the newest item, or none
    TKivHashTableColl* Next = nullptr;  // the older ones
  };

  class TBusy;

  void Rehash(size_t ABucketCount);
  void Insert(std::vector<TBucket>& AItems, TKivObject* AItem, Integer AHash, TKivHashTableColl*& APool);
  void Drop(TKivObject* AItem) const;
  void CheckIdle() const;

  const TKivHashTableTraits& FTraits;
  bool FOwnItems;
  std::vector<TBucket> FItems;
  Integer FIndexMask = 0;
  Integer FCount = 0;
  mutable Integer FBusyCount = 0;
};

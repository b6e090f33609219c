#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>
#include <set>

#include "KivHashTable.h"
#include "KivSedUtils.h"
#include "KivTestSeed.h"

namespace {

// An entry keyed by a line, counting live instances so that ownership can be checked.
struct TLineItem : TKivObject {
  static inline int Alive = 0;
  Integer Line;
  int Id;
  TLineItem(Integer ALine, int AId) : Line(ALine), Id(AId) { ++Alive; }
  ~TLineItem() override { --Alive; }
};

// Hashes a line to itself (so the bucket of line L is L & mask), or to a constant.
class TLineTraits : public TKivHashTableTraits {
 public:
  bool ConstantHash = false;
  bool UniqueKeys = false;
  mutable int KeyHashes = 0;
  std::function<TKivHashUpdateAction(TLineItem*)> Updater;

  bool BeforeAdd(TKivObject* AItem, TKivHashTable& ATable) const override {
    return !UniqueKeys || ATable.Find(static_cast<TLineItem*>(AItem)->Line) == nullptr;
  }
  Integer MakeHashI(const TKivObject* AItem) const override {
    return ConstantHash ? 0 : static_cast<const TLineItem*>(AItem)->Line;
  }
  Integer MakeHashK(TKivHashKey AKey) const override {
    ++KeyHashes;
    return ConstantHash ? 0 : static_cast<Integer>(AKey);
  }
  bool Compare(TKivHashKey AKey, const TKivObject* AItem) const override {
    return static_cast<const TLineItem*>(AItem)->Line == AKey;
  }
  TKivHashUpdateAction OnUpdate(TKivObject* AItem) const override {
    return Updater ? Updater(static_cast<TLineItem*>(AItem)) : uaNothing;
  }
};

int IdOf(const TKivObject* AItem) {
  return AItem ? static_cast<const TLineItem*>(AItem)->Id : -1;
}

std::vector<int> AllIds(const TKivHashTable& ATable) {
  std::vector<TKivObject*> items;
  ATable.GetAll(items);
  std::vector<int> ids;
  for (auto* item : items) ids.push_back(IdOf(item));
  return ids;
}

}  // namespace

TEST(HashTable, HashFunctions) {
  for (Cardinal k : {0u, 1u, 2u, 100u, 0xffffffffu, 0x80000000u, 123456789u})
    EXPECT_EQ(static_cast<Cardinal>(TKivHashTable::IntHash(static_cast<Integer>(k))), HashInt(k)) << k;
  EXPECT_EQ(static_cast<Cardinal>(TKivHashTable::IntHash(100)), 0xfff6b3dfu);
  EXPECT_EQ(static_cast<Cardinal>(TKivHashTable::PtrHash(reinterpret_cast<void*>(uintptr_t{100}))),
            0xfff6b3dfu);
  struct Case {
    const char16_t* Key;
    Integer Hash;
  };
  const Case cases[] = {
      {u"", 0}, {u"a", 97}, {u"abc", 2043}, {u"key1", 8997}, {u"a longer key that wraps around", 653581100}};
  for (const auto& c : cases) EXPECT_EQ(TKivHashTable::StrHash(c.Key), c.Hash) << KivToUtf8(c.Key);
}

TEST(HashTable, NewTableHasNoBucketsAndHashesNothing) {
  TLineTraits traits;
  TKivHashTable table(traits, true);
  EXPECT_EQ(table.Find(3), nullptr);
  EXPECT_FALSE(table.Remove(3));
  EXPECT_EQ(traits.KeyHashes, 0);
  EXPECT_EQ(table.BucketCount(), 0);
  EXPECT_TRUE(AllIds(table).empty());
}

TEST(HashTable, GrowsByDoublingAndKeepsEveryItemFindable) {
  TLineTraits traits;
  TKivHashTable table(traits, true);
  struct Step {
    int Adds;
    Integer Buckets;
  };
  const Step steps[] = {{1, 4}, {4, 4}, {5, 8}, {8, 8}, {9, 16}, {17, 32}};
  int added = 0;
  for (const auto& s : steps) {
    for (; added < s.Adds; ++added) ASSERT_TRUE(table.Add(new TLineItem(added * 3, added)));
    EXPECT_EQ(table.Count(), s.Adds);
    EXPECT_EQ(table.BucketCount(), s.Buckets) << "after " << s.Adds << " additions";
    for (int i = 0; i < added; ++i) EXPECT_EQ(IdOf(table.Find(i * 3)), i);
  }
  // Buckets ascending: with identity hashes and 32 buckets, lines 0, 33, 3, 36, 6, 39 ...
  const std::vector<int> ids = AllIds(table);
  std::vector<int> expected;
  for (Integer b = 0; b < 32; ++b)
    for (int i = added - 1; i >= 0; --i)
      if ((i * 3) % 32 == b) expected.push_back(i);
  EXPECT_EQ(ids, expected);
  table.Clear();
  EXPECT_EQ(table.BucketCount(), 0);
  EXPECT_EQ(TLineItem::Alive, 0);
}

TEST(HashTable, EqualKeysStayNewestFirstThroughGrowth) {
  for (bool constant : {false, true}) {
    TLineTraits traits;
    traits.ConstantHash = constant;
    TKivHashTable table(traits, true);
    // Three items of line 7 added between many others: each growth re-enters them.
    int id = 0;
    for (int round = 0; round < 3; ++round) {
      ASSERT_TRUE(table.Add(new TLineItem(7, 1000 + round)));
      for (int k = 0; k < 10; ++k, ++id) {
        ASSERT_TRUE(table.Add(new TLineItem(100 + id, id)));
      }
      EXPECT_EQ(IdOf(table.Find(7)), 1000 + round) << "constant " << constant;
    }
    EXPECT_EQ(table.BucketCount(), 64);
    std::vector<int> sevens;
    for (int i : AllIds(table))
      if (i >= 1000) sevens.push_back(i);
    EXPECT_EQ(sevens, (std::vector<int>{1002, 1001, 1000}));
    for (int expected : {1002, 1001, 1000}) {
      EXPECT_EQ(IdOf(table.Find(7)), expected);
      EXPECT_TRUE(table.Remove(7));
    }
    EXPECT_FALSE(table.Remove(7));
    EXPECT_EQ(table.Count(), 30);
  }
  EXPECT_EQ(TLineItem::Alive, 0);
}

TEST(HashTable, RandomUseAgreesWithModel) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  for (bool constant : {false, true}) {
    TLineTraits traits;
    traits.ConstantHash = constant;
    TKivHashTable table(traits, true);
    std::map<Integer, std::vector<int>> model;  // ids per line, oldest first
    int count = 0;
    for (int op = 0; op < 3000; ++op) {
      const Integer line = std::uniform_int_distribution<Integer>(0, 40)(rng);
      auto& ids = model[line];
      if (rng() % 3 != 0) {
        ASSERT_TRUE(table.Add(new TLineItem(line, op)));
        ids.push_back(op);
        ++count;
      } else {
        ASSERT_EQ(table.Remove(line), !ids.empty()) << "seed " << seed;
        if (!ids.empty()) ids.pop_back(), --count;
      }
      ASSERT_EQ(IdOf(table.Find(line)), ids.empty() ? -1 : ids.back()) << "seed " << seed << " op " << op;
      ASSERT_EQ(table.Count(), count);
    }
    // Every item exactly once; per line newest first.
    std::map<Integer, std::vector<int>> seen;
    table.GetAll([&](TKivObject* AItem) {
      auto* item = static_cast<TLineItem*>(AItem);
      seen[item->Line].insert(seen[item->Line].begin(), item->Id);
    });
    for (auto& [line, ids] : model) {
      if (!ids.empty()) {
        EXPECT_EQ(seen[line], ids) << "seed " << seed << " line " << line;
      }
    }
    EXPECT_EQ(TLineItem::Alive, count);
  }
  EXPECT_EQ(TLineItem::Alive, 0);
}

TEST(HashTable, TraitsMayRefuseAdditions) {
  TLineTraits traits;
  traits.UniqueKeys = true;
  TKivHashTable table(traits, true);
  EXPECT_TRUE(table.Add(new TLineItem(1, 1)));
  TLineItem duplicate(1, 2);
  EXPECT_FALSE(table.Add(&duplicate));  // stays the caller's
  EXPECT_EQ(table.Count(), 1);
  EXPECT_EQ(IdOf(table.Find(1)), 1);
}

TEST(HashTable, UpdateDropsAndRehomesItems) {
  for (bool own : {true, false}) {
    TLineTraits traits;
    std::vector<std::unique_ptr<TLineItem>> keep;  // frees what a non-owning table leaves behind
    TKivHashTable table(traits, own);
    std::vector<TLineItem*> items;
    for (int i = 0; i < 12; ++i) {
      items.push_back(new TLineItem(i, i));
      if (!own) keep.emplace_back(items.back());
      table.Add(items.back());
    }
    // Lines from 6 on move down by 20 (an edit inserted lines); lines 2 and 3 were deleted.
    for (int i = 6; i < 12; ++i) items[static_cast<size_t>(i)]->Line += 20;
    int asked = 0;
    traits.Updater = [&](TLineItem* AItem) {
      ++asked;
      return AItem->Line == 2 || AItem->Line == 3 ? uaDelete : uaNothing;
    };
    const int aliveBefore = TLineItem::Alive;
    table.Update();
    EXPECT_EQ(asked, 12);
    EXPECT_EQ(table.Count(), 10);
    EXPECT_EQ(TLineItem::Alive, own ? aliveBefore - 2 : aliveBefore);
    EXPECT_EQ(table.Find(2), nullptr);
    EXPECT_EQ(table.Find(3), nullptr);
    for (int i = 6; i < 12; ++i) {
      EXPECT_EQ(IdOf(table.Find(i + 20)), i);
      EXPECT_EQ(table.Find(i), nullptr);
    }
    EXPECT_EQ(IdOf(table.Find(5)), 5);
  }
  EXPECT_EQ(TLineItem::Alive, 0);
}

TEST(HashTable, UpdateDropsWholeChains) {
  TLineTraits traits;
  traits.ConstantHash = true;
  TKivHashTable table(traits, true);
  for (int i = 0; i < 6; ++i) table.Add(new TLineItem(i, i));
  traits.Updater = [](TLineItem* AItem) {
    return AItem->Id % 2 == 1 || AItem->Id == 4 ? uaDelete : uaNothing;
  };
  table.Update();
  EXPECT_EQ(AllIds(table), (std::vector<int>{2, 0}));
  traits.Updater = [](TLineItem*) { return uaDelete; };
  table.Update();
  EXPECT_EQ(table.Count(), 0);
  EXPECT_EQ(TLineItem::Alive, 0);
  EXPECT_TRUE(table.Add(new TLineItem(9, 9)));
  EXPECT_EQ(IdOf(table.Find(9)), 9);
}

TEST(HashTable, OwnershipAndMisuse) {
  TLineTraits traits;
  {
    TKivHashTable owning(traits, true);
    owning.Add(new TLineItem(1, 1));
    owning.Add(new TLineItem(1, 2));
    EXPECT_EQ(TLineItem::Alive, 2);
  }
  EXPECT_EQ(TLineItem::Alive, 0);
  TLineItem a(1, 1), b(2, 2);
  {
    TKivHashTable shared(traits, false);
    shared.Add(&a);
    shared.Add(&b);
    EXPECT_TRUE(shared.Remove(1));
    shared.Clear();
  }
  EXPECT_EQ(TLineItem::Alive, 2);

  TKivHashTable table(traits, false);
  table.Add(&a);
  EXPECT_THROW(table.GetAll([&](TKivObject*) { table.Remove(1); }), EKivInternalError);
  EXPECT_EQ(table.Count(), 1);
  std::vector<int> seen;
  int tag = 42;
  table.GetAll(
      [&](TKivObject* AItem, void* AUser) { seen.push_back(IdOf(AItem) + *static_cast<int*>(AUser)); }, &tag);
  EXPECT_EQ(seen, std::vector<int>{43});
  EXPECT_TRUE(table.Add(&b));  // the table is usable again after the failed callback

  const TKivHashTableTraits abstractTraits{};
  TKivHashTable bare(abstractTraits, false);
  EXPECT_THROW(bare.Add(&a), EKivInternalError);
  EXPECT_EQ(bare.Count(), 0);
  EXPECT_EQ(bare.Find(1), nullptr);  // no buckets: nothing asked
}

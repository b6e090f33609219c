#include <gtest/gtest.h>

#include <map>
#include <random>

#include "KivStrings.h"
#include "KivTestSeed.h"
#include "TextTestSupport.h"

namespace {

struct TTag : TKivObject {
  static inline int Alive = 0;
  int Id;
  explicit TTag(int AId) : Id(AId) { ++Alive; }
  ~TTag() override { --Alive; }
};

TKivString Key(int i) {
  return u"key" + KivFromUtf8(std::to_string(i));
}

std::vector<std::pair<TKivString, TKivString>> Walk(const TKivStringHashTable& ATable) {
  std::vector<std::pair<TKivString, TKivString>> out;
  TKivStringHashIterator it;
  for (bool ok = ATable.IteratorMoveFirst(it); ok; ok = ATable.IteratorMoveNext(it))
    out.emplace_back(it.CurrentNode->Key(), it.CurrentNode->Value());
  return out;
}

}  // namespace

TEST(StringHashTable, EmptyTable) {
  TKivStringHashTable table;
  TKivObject* obj = reinterpret_cast<TKivObject*>(uintptr_t{1});
  EXPECT_EQ(table.Find(u"x", obj), u"");
  EXPECT_EQ(obj, nullptr);
  EXPECT_EQ(table.FindNode(u"x"), nullptr);
  EXPECT_FALSE(table.HasKey(u"x"));
  EXPECT_FALSE(table.Remove(u"x"));
  TKivStringHashIterator it;
  EXPECT_FALSE(table.IteratorMoveFirst(it));
  EXPECT_EQ(table.BucketCount(), 0);
}

TEST(StringHashTable, DuplicateKeysNewestFirstThroughGrowth) {
  TKivStringHashTable table;
  table.Add(u"k", u"v1");
  for (int i = 0; i < 20; ++i) table.Add(Key(i), u"x");
  table.Add(u"k", u"v2");
  for (int i = 20; i < 50; ++i) table.Add(Key(i), u"x");
  EXPECT_EQ(table.Count(), 52);
  EXPECT_EQ(table.BucketCount(), 64);
  EXPECT_EQ(table.Find(u"k"), u"v2");
  EXPECT_TRUE(table.Remove(u"k"));
  EXPECT_EQ(table.Find(u"k"), u"v1");
  EXPECT_TRUE(table.Remove(u"k"));
  EXPECT_FALSE(table.HasKey(u"k"));
  EXPECT_EQ(table.Count(), 50);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(table.Find(Key(i)), u"x");
  EXPECT_EQ(table.Find(u"KEY1"), u"");  // keys are case-sensitive
}

TEST(StringHashTable, RandomUseAgreesWithModel) {
  KIV_TEST_SEED(seed);
  std::mt19937 rng(seed);
  TKivStringHashTable table;
  std::map<TKivString, std::vector<TKivString>> model;  // values per key, oldest first
  int count = 0;
  for (int op = 0; op < 4000; ++op) {
    const TKivString key = Key(std::uniform_int_distribution<int>(0, 60)(rng));
    const TKivString value = KivFromUtf8(std::to_string(op));
    auto& values = model[key];
    switch (rng() % 4) {
      case 0:
      case 1:
        table.Add(key, value);
        values.push_back(value);
        ++count;
        break;
      case 2:
        table.SetOrAdd(key, value);
        if (values.empty()) {
          values.push_back(value), ++count;
        } else {
          values.back() = value;
        }
        break;
      default:
        ASSERT_EQ(table.Remove(key), !values.empty()) << "seed " << seed;
        if (!values.empty()) values.pop_back(), --count;
    }
    ASSERT_EQ(table.Find(key), values.empty() ? TKivString() : values.back())
        << "seed " << seed << " op " << op;
    ASSERT_EQ(table.Count(), count);
  }
  // The walk visits every node once, buckets ascending, newest first within a key.
  std::map<TKivString, std::vector<TKivString>> seen;
  TKivStringHashIterator it;
  Integer lastBucket = -1;
  for (bool ok = table.IteratorMoveFirst(it); ok; ok = table.IteratorMoveNext(it)) {
    ASSERT_GE(it.InternalIndex, lastBucket);
    lastBucket = it.InternalIndex;
    auto& v = seen[it.CurrentNode->Key()];
    v.insert(v.begin(), it.CurrentNode->Value());
  }
  for (auto& [key, values] : model) {
    if (!values.empty()) {
      EXPECT_EQ(seen[key], values) << "seed " << seed;
    }
  }
}

TEST(StringHashTable, SetOrAddReplacesValueAndObject) {
  {
    TKivStringHashTable table(true);
    auto* first = new TTag(1);
    table.Add(u"a", u"1", first);
    table.Add(u"b", u"2");
    table.SetOrAdd(u"a", u"one", new TTag(2));
    EXPECT_EQ(table.Count(), 2);
    EXPECT_EQ(TTag::Alive, 1);  // the replaced object was freed
    TKivObject* obj = nullptr;
    EXPECT_EQ(table.Find(u"a", obj), u"one");
    EXPECT_EQ(static_cast<TTag*>(obj)->Id, 2);
    table.SetOrAdd(u"a", u"uno", obj);  // the same object again is kept
    EXPECT_EQ(TTag::Alive, 1);
    table.SetOrAdd(u"c", u"3");
    EXPECT_EQ(table.Count(), 3);
    EXPECT_TRUE(table.Remove(u"a"));
    EXPECT_EQ(TTag::Alive, 0);
    table.Add(u"d", u"4", new TTag(4));
  }
  EXPECT_EQ(TTag::Alive, 0);  // destruction frees owned objects

  TTag shared(5);
  {
    TKivStringHashTable table(false);
    table.Add(u"a", u"1", &shared);
    table.SetOrAdd(u"a", u"2", nullptr);
    EXPECT_TRUE(table.Remove(u"a"));
  }
  EXPECT_EQ(TTag::Alive, 1);
}

TEST(StringHashTable, AssignMergeClone) {
  TTag t1(1), t2(2);
  TKivStringHashTable source;
  source.Add(u"dup", u"old");
  for (int i = 0; i < 9; ++i) source.Add(Key(i), u"v", i == 3 ? &t1 : nullptr);
  source.Add(u"dup", u"new", &t2);

  TKivStringHashTable copy;
  copy.Add(u"gone", u"x");
  copy.Assign(source);
  EXPECT_EQ(copy.Count(), source.Count());
  EXPECT_EQ(copy.BucketCount(), source.BucketCount());
  EXPECT_FALSE(copy.HasKey(u"gone"));
  EXPECT_EQ(Walk(copy), Walk(source));
  TKivObject* obj = nullptr;
  EXPECT_EQ(copy.Find(u"dup", obj), u"new");  // duplicates resolve as in the source
  EXPECT_EQ(obj, &t2);                        // objects are shared
  copy.Find(Key(3), obj);
  EXPECT_EQ(obj, &t1);

  auto clone = source.Clone();
  EXPECT_FALSE(clone->OwnItems());
  EXPECT_EQ(Walk(*clone), Walk(source));

  TKivStringHashTable merged;
  merged.Add(Key(0), u"mine");
  merged.Add(u"only", u"here");
  merged.Merge(source);
  EXPECT_EQ(merged.Find(Key(0)), u"v");
  EXPECT_EQ(merged.Find(u"only"), u"here");
  EXPECT_EQ(merged.Find(u"dup", obj), u"new");
  EXPECT_EQ(obj, &t2);
  EXPECT_EQ(merged.Count(), 11);  // one node per key of the source, plus "only"

  // An owning table takes a copy of plain values; its own objects go.
  TKivStringHashTable plain;
  plain.Add(u"p", u"1");
  TKivStringHashTable owning(true);
  owning.Add(u"o", u"2", new TTag(9));
  owning.Assign(plain);
  EXPECT_EQ(Walk(owning), Walk(plain));
  EXPECT_EQ(TTag::Alive, 2);
}

TEST(StringHashTable, CopyRefusalsChangeNothing) {
  TTag t(1);
  TKivStringHashTable owningWithObjects(true);
  owningWithObjects.Add(u"a", u"1", new TTag(2));
  TKivStringHashTable plainWithObjects;
  plainWithObjects.Add(u"b", u"2", &t);
  TKivStringHashTable target;
  target.Add(u"t", u"3");
  TKivStringHashTable owningTarget(true);
  owningTarget.Add(u"u", u"4", new TTag(3));

  const TKivString sourceOwns =
      u"This operation requires that its argument should have TKivStringHashTable.OwnItems=false.";
  const TKivString sharedObjects =
      u"This operation requires TKivStringHashTable.OwnItems=false when its argument holds objects.";
  struct Case {
    std::function<void()> Op;
    TKivString Message;
  };
  const Case cases[] = {
      {[&] { target.Assign(owningWithObjects); }, sourceOwns},
      {[&] { target.Merge(owningWithObjects); }, sourceOwns},
      {[&] { owningTarget.Assign(plainWithObjects); }, sharedObjects},
      {[&] { owningTarget.Merge(plainWithObjects); }, sharedObjects},
      {[&] { owningWithObjects.Clone(); }, u"This operation requires TKivStringHashTable.OwnItems=false."},
  };
  for (const auto& c : cases) EXPECT_EQ(MessageOf(c.Op), c.Message);
  EXPECT_EQ(Walk(target), (std::vector<std::pair<TKivString, TKivString>>{{u"t", u"3"}}));
  EXPECT_EQ(Walk(owningTarget), (std::vector<std::pair<TKivString, TKivString>>{{u"u", u"4"}}));
  EXPECT_EQ(TTag::Alive, 3);
}

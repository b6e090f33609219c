#include <gtest/gtest.h>

#include <sstream>

#include "KivStrings.h"
#include "TextTestSupport.h"

namespace {

// A minimal subclass: only the abstract operations, so the base's own Put, Text, Assign and
// AddStrings are what runs. Records the update-state hook.
class TRecordingStrings : public TKivStrings {
 public:
  std::vector<TKivString> Items;
  std::vector<bool> States;
  int Inserts = 0;

  Integer Count() const override { return static_cast<Integer>(Items.size()); }
  TKivString Get(Integer AIndex) const override {
    CheckIndex(AIndex, Count() - 1);
    return Items[static_cast<size_t>(AIndex)];
  }
  void Insert(Integer AIndex, const TKivString& AStr) override {
    CheckIndex(AIndex, Count());
    ++Inserts;
    Items.insert(Items.begin() + AIndex, AStr);
  }
  void Delete(Integer AIndex) override {
    CheckIndex(AIndex, Count() - 1);
    Items.erase(Items.begin() + AIndex);
  }
  void Clear() override { Items.clear(); }

 protected:
  void SetUpdateState(bool AUpdating) override { States.push_back(AUpdating); }
};

}  // namespace

TEST(Strings, TextSplitsAtEveryLineBreakAndJoinsWithCrLf) {
  struct Case {
    const char16_t* Text;
    std::vector<TKivString> Lines;
    const char16_t* Joined;
  };
  const Case cases[] = {
      {u"", {}, u""},
      {u"a", {u"a"}, u"a\r\n"},
      {u"a\r\nb", {u"a", u"b"}, u"a\r\nb\r\n"},
      {u"a\r\n", {u"a"}, u"a\r\n"},
      {u"\r\n", {u""}, u"\r\n"},
      {u"a\rb\nc", {u"a", u"b", u"c"}, u"a\r\nb\r\nc\r\n"},
      {u"a\n\rb", {u"a", u"", u"b"}, u"a\r\n\r\nb\r\n"},
      {u"a\r\r\nb", {u"a", u"", u"b"}, u"a\r\n\r\nb\r\n"},
      {u"\n\n", {u"", u""}, u"\r\n\r\n"},
      {u"x\r", {u"x"}, u"x\r\n"},
  };
  for (const auto& c : cases) {
    TKivStringList list;
    list.SetText(c.Text);
    EXPECT_EQ(list.Items(), c.Lines) << KivToUtf8(c.Text);
    EXPECT_EQ(list.Text(), c.Joined) << KivToUtf8(c.Text);
    TRecordingStrings base;
    base.Add(u"old");
    base.SetText(c.Text);
    EXPECT_EQ(base.Items, c.Lines) << KivToUtf8(c.Text);
    EXPECT_EQ(base.Text(), c.Joined);
  }
}

TEST(Strings, BulkOperationsRunInOneUpdateBracket) {
  TRecordingStrings list;
  list.SetText(u"a\nb\nc");
  EXPECT_EQ(list.States, (std::vector<bool>{true, false}));
  list.States.clear();
  list.BeginUpdate();
  list.Put(1, u"B");
  list.AddStrings(std::vector<TKivString>{u"d"});
  EXPECT_EQ(list.States, (std::vector<bool>{true}));  // nested brackets do not reach the hook
  list.EndUpdate();
  EXPECT_EQ(list.States, (std::vector<bool>{true, false}));
  EXPECT_EQ(list.Items, (std::vector<TKivString>{u"a", u"B", u"c", u"d"}));
  EXPECT_THROW(list.EndUpdate(), EKivInternalError);

  TKivStringList other({u"x", u"y"});
  list.States.clear();
  list.Assign(other);
  EXPECT_EQ(list.Items, (std::vector<TKivString>{u"x", u"y"}));
  EXPECT_EQ(list.States, (std::vector<bool>{true, false}));
  list.AddStrings(list);  // from itself
  EXPECT_EQ(list.Items, (std::vector<TKivString>{u"x", u"y", u"x", u"y"}));
  list.Assign(list);
  EXPECT_EQ(list.Count(), 4);
  EXPECT_TRUE(other.Equals(TKivStringList({u"x", u"y"})));
  EXPECT_FALSE(other.Equals(list));
  EXPECT_EQ(list.IndexOf(u"y"), 1);
  EXPECT_EQ(list.IndexOf(u"Y"), -1);
}

TEST(Strings, ChangeHandlerErrorAtBracketEndReachesTheCaller) {
  TKivStringList list;
  list.OnChange = [] { throw EKivError(u"handler failed"); };
  EXPECT_THROW(list.AddStrings(std::vector<TKivString>{u"a", u"b"}), EKivError);
  EXPECT_THROW(list.SetText(u"x\ny"), EKivError);
  EXPECT_EQ(list.UpdateCount(), 0);  // the bracket closed all the same
  list.OnChange = nullptr;
  list.Add(u"z");
  EXPECT_EQ(list.Text(), u"x\r\ny\r\nz\r\n");
}

TEST(Strings, ListEditsAndChangeEvents) {
  TKivStringList list;
  int changing = 0, changed = 0;
  list.OnChanging = [&] { ++changing; };
  list.OnChange = [&] { ++changed; };
  EXPECT_EQ(list.Add(u"one"), 0);
  EXPECT_EQ(list.Add(u"three"), 1);
  list.Insert(1, u"two");
  list.Put(2, u"THREE");
  EXPECT_EQ(list.Items(), (std::vector<TKivString>{u"one", u"two", u"THREE"}));
  EXPECT_EQ(list[1], u"two");
  list.Delete(0);
  EXPECT_EQ(changing, 5);
  EXPECT_EQ(changed, 5);
  list.Text();
  list.SetText(u"a\r\nb");  // one pair of events for the whole text
  EXPECT_EQ(changing, 6);
  EXPECT_EQ(changed, 6);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(changed, 7);
}

TEST(Strings, BadIndexRaisesAndChangesNothing) {
  TKivStringList list({u"a", u"b"});
  int changed = 0;
  list.OnChange = [&] { ++changed; };
  struct Case {
    std::function<void()> Op;
    const char16_t* Message;
  };
  const Case cases[] = {
      {[&] { list.Get(2); }, u"List index out of bounds (2)"},
      {[&] { list.Get(-1); }, u"List index out of bounds (-1)"},
      {[&] { list.Put(2, u"x"); }, u"List index out of bounds (2)"},
      {[&] { list.Insert(3, u"x"); }, u"List index out of bounds (3)"},
      {[&] { list.Insert(-1, u"x"); }, u"List index out of bounds (-1)"},
      {[&] { list.Delete(2); }, u"List index out of bounds (2)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MessageOf(c.Op), c.Message);
    EXPECT_EQ(list.Items(), (std::vector<TKivString>{u"a", u"b"}));
  }
  EXPECT_EQ(changed, 0);
  TRecordingStrings base;
  base.Add(u"a");
  EXPECT_EQ(MessageOf([&] { base.Put(1, u"x"); }), u"List index out of bounds (1)");
  EXPECT_EQ(base.Items, std::vector<TKivString>{u"a"});
  EXPECT_EQ(base.UpdateCount(), 0);
}

TEST(Strings, StreamsAndFilesRoundTripUtf8) {
  TKivStringList list({u"caf\u00e9", u"", u"\u4e2d\u6587 \U0001F600"});
  std::stringstream stream;
  list.SaveToStream(stream);
  EXPECT_EQ(stream.str(), "caf\xC3\xA9\r\n\r\n\xE4\xB8\xAD\xE6\x96\x87 \xF0\x9F\x98\x80\r\n");
  TKivStringList back;
  back.LoadFromStream(stream);
  EXPECT_TRUE(back.Equals(list));

  std::istringstream withBom("\xEF\xBB\xBFx\ny");
  back.LoadFromStream(withBom);
  EXPECT_EQ(back.Items(), (std::vector<TKivString>{u"x", u"y"}));

  const std::string path = ::testing::TempDir() + "kiv_strings_test.txt";
  list.SaveToFile(path);
  TKivStringList fromFile;
  fromFile.LoadFromFile(path);
  EXPECT_TRUE(fromFile.Equals(list));
  std::remove(path.c_str());

  EXPECT_EQ(MessageOf([&] { fromFile.LoadFromFile("/nonexistent/dir/file.txt"); }),
            u"Cannot open file \"/nonexistent/dir/file.txt\"");
  EXPECT_TRUE(fromFile.Equals(list));
}

// The scheme collections on their own, with a fake owner that records what it is told.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "KivSedEncoding.h"
#include "KivSedSchemes.h"

namespace fs = std::filesystem;

namespace {

class TFakeOwner : public TKivSchemeCollectionOwner {
 public:
  bool Building = true;
  std::vector<std::string> Log;
  bool CanCreateSchemeCollections() const override { return Building; }
  void SchemeCollectionChanged(TKivEditParserSchemeCollection& ACollection) override {
    Log.push_back(ACollection.Kind() == skSyntax ? "syntax changed" : "color changed");
  }
  void SchemeItemChanged(TKivEditParserSchemeCollectionItem& AItem) override {
    Log.push_back("item " + KivToUtf8(AItem.Name()));
  }
};

TKivString ErrorOf(const std::function<void()>& AFn) {
  try {
    AFn();
  } catch (const EKivError& e) {
    return e.Message();
  }
  return u"<no error>";
}

std::vector<TKivString> Names(const TKivEditParserSchemeCollection& C) {
  std::vector<TKivString> r;
  for (Integer i = 0; i < C.Count(); ++i) r.push_back(C[i].Name());
  return r;
}

class SchemeCollectionTest : public ::testing::Test {
 protected:
  SchemeCollectionTest() : FSyntax(&FOwner, skSyntax), FColor(&FOwner, skColor) { FOwner.Building = false; }
  TFakeOwner FOwner;
  TKivEditParserSchemeCollection FSyntax;
  TKivEditParserSchemeCollection FColor;
};

}  // namespace

TEST_F(SchemeCollectionTest, OnlyTheOwnerCreatesCollections) {
  const TKivString msg = u"This internal Document class should not be created manually.";
  EXPECT_EQ(ErrorOf([] { TKivEditParserSchemeCollection c(nullptr, skSyntax); }), msg);
  EXPECT_EQ(ErrorOf([this] { TKivEditParserSchemeCollection c(&FOwner, skColor); }), msg);
}

TEST_F(SchemeCollectionTest, NewItemsAreNamedByKindAndIndex) {
  EXPECT_EQ(FSyntax.Add().Name(), u"SyntaxScheme0");
  EXPECT_EQ(FSyntax.Add().Name(), u"SyntaxScheme1");
  EXPECT_EQ(FColor.Add().Name(), u"ColorScheme0");
  // Inserting at 0 while "SyntaxScheme0" exists counts up to the first free name.
  EXPECT_EQ(FSyntax.Insert(0).Name(), u"SyntaxScheme2");
  FSyntax.Delete(2);
  EXPECT_EQ(FSyntax.Insert(1).Name(), u"SyntaxScheme1");
  EXPECT_EQ(Names(FSyntax), (std::vector<TKivString>{u"SyntaxScheme2", u"SyntaxScheme1", u"SyntaxScheme0"}));
  EXPECT_EQ(FSyntax[2].Index(), 2);
  EXPECT_EQ(ErrorOf([this] { FSyntax.Insert(4); }), u"List index out of bounds (4)");
  EXPECT_EQ(ErrorOf([this] { FSyntax.Delete(-1); }), u"List index out of bounds (-1)");
  EXPECT_EQ(ErrorOf([this] { FSyntax.Items(3); }), u"List index out of bounds (3)");
}

TEST_F(SchemeCollectionTest, NamesMustBeNonEmptyAndUnique) {
  auto& a = FSyntax.Add();
  auto& b = FSyntax.Add();
  const TKivString msg = u"Scheme collection item name should be nonempty and unique";
  EXPECT_EQ(ErrorOf([&] { b.SetName(u""); }), msg);
  EXPECT_EQ(ErrorOf([&] { b.SetName(a.Name()); }), msg);
  EXPECT_EQ(b.Name(), u"SyntaxScheme1");
  FOwner.Log.clear();
  b.SetName(u"SyntaxScheme1");  // unchanged: nothing to report
  EXPECT_TRUE(FOwner.Log.empty());
  b.SetName(u"C");
  EXPECT_EQ(FOwner.Log, std::vector<std::string>{"syntax changed"});
  // Names compare exactly.
  EXPECT_EQ(FSyntax.FindItem(u"C"), &b);
  EXPECT_EQ(FSyntax.FindItem(u"c"), nullptr);
  EXPECT_EQ(FSyntax.FindItem(u"C "), nullptr);
  EXPECT_EQ(FSyntax.FindItem(u"SyntaxScheme0"), &a);
}

TEST_F(SchemeCollectionTest, ChangesAreReportedOncePerBracket) {
  FSyntax.Add().SetName(u"A");
  EXPECT_EQ(FOwner.Log, (std::vector<std::string>{"syntax changed", "syntax changed"}));
  FOwner.Log.clear();
  FSyntax[0].Scheme().SetText(u"<xml/>");
  EXPECT_EQ(FOwner.Log, std::vector<std::string>{"item A"});
  FOwner.Log.clear();
  FSyntax[0].Scheme().Add(u"<more/>");
  EXPECT_EQ(FOwner.Log, std::vector<std::string>{"item A"});
  FOwner.Log.clear();
  FSyntax.BeginUpdate();
  FSyntax.Add();
  FSyntax[0].Scheme().SetText(u"x");
  FSyntax.Delete(1);
  EXPECT_TRUE(FOwner.Log.empty());
  FSyntax.EndUpdate();
  EXPECT_EQ(FOwner.Log, std::vector<std::string>{"syntax changed"});
  FOwner.Log.clear();
  FSyntax.BeginUpdate();
  FSyntax.EndUpdate();
  EXPECT_TRUE(FOwner.Log.empty());
  FSyntax.Clear();
  FSyntax.Clear();
  EXPECT_EQ(FOwner.Log, std::vector<std::string>{"syntax changed"});
}

TEST_F(SchemeCollectionTest, AssignCopiesNamesAndTexts) {
  FColor.Add().SetName(u"default");
  FColor[0].Scheme().SetText(u"<Attributes/>\r\n<!-- x -->");
  FColor.Add().SetName(u"dark");
  FOwner.Log.clear();
  TFakeOwner owner2;
  TKivEditParserSchemeCollection copy(&owner2, skColor);
  owner2.Building = false;
  copy.Add();
  copy.Assign(FColor);
  EXPECT_EQ(Names(copy), (std::vector<TKivString>{u"default", u"dark"}));
  EXPECT_EQ(copy[0].Scheme().Text(), u"<Attributes/>\r\n<!-- x -->\r\n");
  EXPECT_EQ(owner2.Log, (std::vector<std::string>{"color changed", "color changed"}));
  // The copy is independent of its source.
  copy[0].Scheme().SetText(u"changed");
  EXPECT_EQ(FColor[0].Scheme().Text(), u"<Attributes/>\r\n<!-- x -->\r\n");
  EXPECT_TRUE(FOwner.Log.empty());
}

TEST_F(SchemeCollectionTest, ItemAssignCopiesWhatDiffers) {
  auto& a = FSyntax.Add();
  a.SetName(u"A");
  a.Scheme().SetText(u"text");
  auto& b = FSyntax.Add();
  b.SetName(u"B");
  b.Scheme().SetText(u"text");
  FOwner.Log.clear();
  TFakeOwner owner2;
  TKivEditParserSchemeCollection other(&owner2, skSyntax);
  owner2.Building = false;
  auto& src = other.Add();
  src.SetName(u"B2");
  src.Scheme().SetText(u"text");
  a.Assign(src);  // same text: only the name moves
  EXPECT_EQ(a.Name(), u"B2");
  EXPECT_EQ(FOwner.Log, std::vector<std::string>{"syntax changed"});
  src.SetName(u"B");
  src.Scheme().SetText(u"other");
  FOwner.Log.clear();
  EXPECT_EQ(ErrorOf([&] { a.Assign(src); }), u"Scheme collection item name should be nonempty and unique");
  EXPECT_EQ(a.Scheme().Text(), u"text\r\n");  // refused whole
  EXPECT_TRUE(FOwner.Log.empty());
  b.SetScheme(src.Scheme());
  EXPECT_EQ(b.Scheme().Text(), u"other\r\n");
}

namespace {

class SchemeFilesTest : public SchemeCollectionTest {
 protected:
  void SetUp() override {
    std::string tmpl = ::testing::TempDir() + "kiv-schemes-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    FDir = tmpl;
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(FDir, fs::perms::owner_all, ec);
    fs::remove_all(FDir);
  }
  TKivString Put(const std::string& AName, const std::string& ABytes) {
    std::ofstream(FDir + "/" + AName, std::ios::binary) << ABytes;
    return KivFromUtf8(FDir + "/" + AName);
  }
  std::string FDir;
};

}  // namespace

TEST_F(SchemeFilesTest, LoadFromDirectoryTakesMatchingFilesInNameOrder) {
  Put("c.xml", "<c/>");
  Put("A.XML", "\xEF\xBB\xBF<a>\xC3\xA9</a>");
  Put("b.scheme.xml", "<b/>\n<b2/>");
  Put("notes.txt", "no");
  Put("xml", "no extension");
  fs::create_directory(FDir + "/sub.xml");
  FSyntax.Add().SetName(u"Old");
  FOwner.Log.clear();
  FSyntax.LoadFromDirectory(KivFromUtf8(FDir), u"xml");
  EXPECT_EQ(Names(FSyntax), (std::vector<TKivString>{u"A", u"b.scheme", u"c"}));
  EXPECT_EQ(FSyntax[0].Scheme().Text(), u"<a>\u00e9</a>\r\n");
  EXPECT_EQ(FSyntax[1].Scheme().Count(), 2);
  EXPECT_EQ(FOwner.Log, std::vector<std::string>{"syntax changed"});
  // A leading dot in the extension is accepted too.
  FColor.LoadFromDirectory(KivFromUtf8(FDir), u".TXT");
  EXPECT_EQ(Names(FColor), std::vector<TKivString>{u"notes"});
}

TEST_F(SchemeFilesTest, LoadFromDirectoryOfAMissingDirectoryIsAnError) {
  FSyntax.Add();
  const TKivString dir = KivFromUtf8(FDir + "/none");
  EXPECT_EQ(ErrorOf([&] { FSyntax.LoadFromDirectory(dir, u"xml"); }),
            u"Cannot open directory \"" + dir + u"\". No such file or directory");
  EXPECT_EQ(FSyntax.Count(), 1);
}

TEST_F(SchemeFilesTest, LoadFromFilesIsAllOrNothing) {
  TKivString a = Put("one.xml", "<one/>");
  TKivString missing = KivFromUtf8(FDir + "/missing.xml");
  FSyntax.Add().SetName(u"Keep");
  FSyntax[0].Scheme().SetText(u"kept");
  FOwner.Log.clear();
  // Missing files are skipped.
  FSyntax.LoadFromFiles({a, missing});
  EXPECT_EQ(Names(FSyntax), std::vector<TKivString>{u"one"});
  EXPECT_EQ(FOwner.Log, std::vector<std::string>{"syntax changed"});
  FOwner.Log.clear();
  // A file that exists but cannot be read (a directory) fails the whole load.
  fs::create_directory(FDir + "/two.xml");
  TKivString bad = KivFromUtf8(FDir + "/two.xml");
  TKivString b = Put("three.xml", "<three/>");
  EXPECT_EQ(ErrorOf([&] {
              FSyntax.LoadFromFiles({b, bad});
            }),
            u"Cannot open file \"" + bad + u"\". Is a directory");
  EXPECT_EQ(Names(FSyntax), std::vector<TKivString>{u"one"});
  EXPECT_EQ(FSyntax[0].Scheme().Text(), u"<one/>\r\n");
  // Two files that would give one name.
  fs::create_directory(FDir + "/d");
  TKivString again = KivFromUtf8(FDir + "/d/one.xml");
  std::ofstream(FDir + "/d/one.xml") << "<again/>";
  EXPECT_EQ(ErrorOf([&] {
              FSyntax.LoadFromFiles({a, again});
            }),
            u"Scheme collection item name should be nonempty and unique");
  EXPECT_EQ(Names(FSyntax), std::vector<TKivString>{u"one"});
  EXPECT_TRUE(FOwner.Log.empty());
  // No file at all empties the collection.
  FSyntax.LoadFromFiles({});
  EXPECT_EQ(FSyntax.Count(), 0);
}

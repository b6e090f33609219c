// The document's schemes against a fake parser: active names, the loader callbacks, when the
// schemes are applied and what happens to load errors.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "KivSedDocument.h"

namespace {

// Loads schemes by asking the document's loaders for their texts, as the real parser does; a
// text containing "bad" fails like a broken scheme.
class TFakeParser : public TKivEditParserBase {
 public:
  explicit TFakeParser(std::vector<std::string>* ALog) : FLog(ALog) {}
  void SetSchemeLoaders(TKivEditParserSchemeLoader ASyntax, TKivEditParserSchemeLoader AColor) override {
    FSyntaxLoader = std::move(ASyntax);
    FColorLoader = std::move(AColor);
    FLog->push_back(FSyntaxLoader ? "loaders" : "no loaders");
  }
  void LoadSchemeDoc(const TKivString& ASyntaxName, const TKivString& AColorName) override {
    TKivString color, syntax;
    try {
      color = FColorLoader(AColorName);
    } catch (const EKivError& e) {
      throw EKivColorSchemeLoadError(e.Message());
    }
    try {
      syntax = FSyntaxLoader(ASyntaxName);
    } catch (const EKivError& e) {
      throw EKivSyntaxSchemeLoadError(e.Message());
    }
    if (syntax.find(u"bad") != TKivString::npos)
      throw EKivSyntaxSchemeLoadError(u"broken syntax " + ASyntaxName);
    if (color.find(u"bad") != TKivString::npos) throw EKivColorSchemeLoadError(u"broken color " + AColorName);
    FLog->push_back("load " + KivToUtf8(ASyntaxName) + "=" + KivToUtf8(syntax) + " " + KivToUtf8(AColorName) +
                    "=" + KivToUtf8(color));
  }
  void UnloadSchemes() override { FLog->push_back("unload"); }
  void Refresh() override { FLog->push_back("refresh"); }

  TKivEditParserSchemeLoader FSyntaxLoader, FColorLoader;

 private:
  std::vector<std::string>* FLog;
};

TKivString ErrorOf(const std::function<void()>& AFn) {
  try {
    AFn();
  } catch (const EKivError& e) {
    return e.Message();
  }
  return u"<no error>";
}

class SchemeDocumentTest : public ::testing::Test {
 protected:
  SchemeDocumentTest() {
    auto parser = std::make_unique<TFakeParser>(&FLog);
    FParser = parser.get();
    FDoc.SetParser(std::move(parser));
    FLog.clear();
  }
  void AddScheme(TKivEditParserSchemeCollection& AColl, const TKivString& AName, const TKivString& AText) {
    auto& item = AColl.Add();
    item.SetName(AName);
    item.Scheme().SetText(AText);
  }
  // The usual pair, active.
  void Activate() {
    AddScheme(FDoc.SyntaxSchemes(), u"C", u"c-rules");
    AddScheme(FDoc.ColorSchemes(), u"default", u"colors");
    FDoc.SetActiveSyntaxScheme(u"C");
    FDoc.SetActiveColorScheme(u"default");
    FLog.clear();
  }

  std::vector<std::string> FLog;
  TKivEditDocument FDoc;
  TFakeParser* FParser = nullptr;
};

using Log = std::vector<std::string>;

}  // namespace

TEST_F(SchemeDocumentTest, AttachingAParserGivesItTheLoaders) {
  std::vector<std::string> log;
  TKivEditDocument doc;
  doc.SetParser(std::make_unique<TFakeParser>(&log));
  EXPECT_EQ(log, (Log{"loaders", "unload", "refresh"}));
  log.clear();
  // The detached parser loses its loaders.
  auto* first = static_cast<TFakeParser*>(doc.GetParser());
  EXPECT_TRUE(first->FSyntaxLoader != nullptr);
  doc.SetParser(std::make_unique<TFakeParser>(&log));
  EXPECT_EQ(log.front(), "no loaders");
}

TEST_F(SchemeDocumentTest, LoadersReturnTheTextsByExactName) {
  AddScheme(FDoc.SyntaxSchemes(), u"C", u"line1\r\nline2");
  AddScheme(FDoc.ColorSchemes(), u"default", u"colors");
  EXPECT_EQ(FParser->FSyntaxLoader(u"C"), u"line1\r\nline2\r\n");
  EXPECT_EQ(FParser->FColorLoader(u"default"), u"colors\r\n");
  EXPECT_EQ(ErrorOf([&] { FParser->FSyntaxLoader(u"c"); }), u"Can't find syntax scheme by name: c");
  EXPECT_EQ(ErrorOf([&] { FParser->FColorLoader(u"C"); }), u"Can't find color scheme by name: C");
}

TEST_F(SchemeDocumentTest, ActiveNamesLoadAndUnload) {
  AddScheme(FDoc.SyntaxSchemes(), u"C", u"c-rules");
  AddScheme(FDoc.ColorSchemes(), u"default", u"colors");
  FLog.clear();
  EXPECT_EQ(ErrorOf([&] { FDoc.SetActiveSyntaxScheme(u"Pascal"); }),
            u"Can't find syntax scheme by name: Pascal");
  EXPECT_EQ(ErrorOf([&] { FDoc.SetActiveColorScheme(u"dark"); }), u"Can't find color scheme by name: dark");
  EXPECT_EQ(FDoc.ActiveSyntaxScheme(), u"");
  EXPECT_TRUE(FLog.empty());
  // One name alone is not enough to load.
  FDoc.SetActiveSyntaxScheme(u"C");
  EXPECT_EQ(FLog, (Log{"unload", "refresh"}));
  FLog.clear();
  FDoc.SetActiveColorScheme(u"default");
  EXPECT_EQ(FLog, (Log{"load C=c-rules\r\n default=colors\r\n", "refresh"}));
  FLog.clear();
  FDoc.SetActiveColorScheme(u"default");  // unchanged: nothing happens
  EXPECT_TRUE(FLog.empty());
  // The empty name is accepted and unloads.
  FDoc.SetActiveSyntaxScheme(u"");
  EXPECT_EQ(FLog, (Log{"unload", "refresh"}));
}

TEST_F(SchemeDocumentTest, SchemesAreAppliedInsideASettingsRefresh) {
  Activate();
  struct TListener : TKivDocumentListener {
    Log* L;
    void BeforeSettingsRefresh() override { L->push_back("before settings"); }
    void AfterSettingsRefresh() override { L->push_back("after settings"); }
  } listener;
  listener.L = &FLog;
  FDoc.AddListener(&listener);
  FDoc.ApplySchemes();
  FDoc.RemoveListener(&listener);
  EXPECT_EQ(FLog,
            (Log{"before settings", "load C=c-rules\r\n default=colors\r\n", "refresh", "after settings"}));
}

TEST_F(SchemeDocumentTest, ItemChangesReloadAndStaleNamesAreCleared) {
  Activate();
  FDoc.SyntaxSchemes()[0].Scheme().SetText(u"new rules");
  EXPECT_EQ(FLog, (Log{"load C=new rules\r\n default=colors\r\n", "refresh"}));
  FLog.clear();
  // Another item appears: the schemes are applied again, the names stay.
  AddScheme(FDoc.SyntaxSchemes(), u"Pascal", u"p");
  EXPECT_EQ(FDoc.ActiveSyntaxScheme(), u"C");
  FLog.clear();
  // Renaming the active item leaves no item of that name: the active name goes.
  FDoc.SyntaxSchemes()[0].SetName(u"C++");
  EXPECT_EQ(FDoc.ActiveSyntaxScheme(), u"");
  EXPECT_EQ(FLog, (Log{"unload", "refresh"}));
  // Deleting the active colour scheme's item clears that name as well.
  FDoc.SetActiveSyntaxScheme(u"Pascal");
  FDoc.ColorSchemes().Delete(0);
  EXPECT_EQ(FDoc.ActiveColorScheme(), u"");
  EXPECT_EQ(FDoc.ActiveSyntaxScheme(), u"Pascal");
}

TEST_F(SchemeDocumentTest, LoadErrorsUnloadAndPassOn) {
  Activate();
  TKivString message;
  try {
    FDoc.SyntaxSchemes()[0].Scheme().SetText(u"bad rules");
  } catch (const EKivSyntaxSchemeLoadError& e) {
    message = e.Message();
  }
  EXPECT_EQ(message, u"broken syntax C");
  EXPECT_EQ(FLog, (Log{"unload", "refresh"}));
  // The text was taken all the same (the scheme editor shows the error and keeps the text).
  EXPECT_EQ(FDoc.SyntaxSchemes()[0].Scheme().Text(), u"bad rules\r\n");
  FDoc.SyntaxSchemes()[0].Scheme().SetText(u"good rules");
  EXPECT_EQ(FLog.back(), "refresh");
  FLog.clear();
  EXPECT_THROW(FDoc.ColorSchemes()[0].Scheme().SetText(u"bad colors"), EKivColorSchemeLoadError);
  EXPECT_EQ(FLog, (Log{"unload", "refresh"}));
}

TEST_F(SchemeDocumentTest, AssigningCollectionsCopiesTheItems) {
  Activate();
  TKivEditDocument other;
  other.SetParser(std::make_unique<TFakeParser>(&FLog));
  other.SetSyntaxSchemes(FDoc.SyntaxSchemes());
  other.SetColorSchemes(FDoc.ColorSchemes());
  ASSERT_EQ(other.SyntaxSchemes().Count(), 1);
  EXPECT_EQ(other.SyntaxSchemes()[0].Name(), u"C");
  EXPECT_EQ(other.ColorSchemes()[0].Scheme().Text(), u"colors\r\n");
  other.SyntaxSchemes()[0].Scheme().SetText(u"changed");
  EXPECT_EQ(FDoc.SyntaxSchemes()[0].Scheme().Text(), u"c-rules\r\n");
  // New items of a document's collections follow the naming rule.
  EXPECT_EQ(FDoc.SyntaxSchemes().Insert(0).Name(), u"SyntaxScheme0");
  FDoc.SyntaxSchemes().Delete(0);
  FDoc.SyntaxSchemes()[0].SetName(u"SyntaxScheme0");
  EXPECT_EQ(FDoc.SyntaxSchemes().Insert(0).Name(), u"SyntaxScheme1");
}

// Read back from a stored description, properties come in any order and scheme errors must
// not stop the window from opening: everything is applied once, at the end.
TEST_F(SchemeDocumentTest, LoadingFromTheStoredDescription) {
  FDoc.BeginLoading();
  FDoc.SetActiveSyntaxScheme(u"C");  // the items are not there yet
  FDoc.SetActiveColorScheme(u"default");
  AddScheme(FDoc.SyntaxSchemes(), u"C", u"c-rules");
  AddScheme(FDoc.ColorSchemes(), u"default", u"colors");
  EXPECT_TRUE(FLog.empty());
  FDoc.EndLoading();
  EXPECT_EQ(FLog, (Log{"load C=c-rules\r\n default=colors\r\n", "refresh"}));
  EXPECT_FALSE(FDoc.Modified());

  FLog.clear();
  FDoc.BeginLoading();
  FDoc.SyntaxSchemes()[0].Scheme().SetText(u"bad");
  EXPECT_EQ(ErrorOf([&] { FDoc.EndLoading(); }), u"<no error>");
  EXPECT_EQ(FLog, (Log{"unload", "refresh"}));
  EXPECT_EQ(FDoc.ActiveSyntaxScheme(), u"C");
}

// The order of listener notifications and component events.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DocumentTestSupport.h"
#include "KivSedDocument.h"

namespace {

using TLog = std::vector<std::string>;

class TLogListener : public TKivDocumentListener {
 public:
  TLogListener(std::string AName, TLog& ALog) : FName(std::move(AName)), FLog(ALog) {}
  void BeforeRefresh() override { Add("BeforeRefresh"); }
  void AfterRefresh() override { Add("AfterRefresh"); }
  void BeforeSettingsRefresh() override { Add("BeforeSettingsRefresh"); }
  void AfterSettingsRefresh() override { Add("AfterSettingsRefresh"); }
  void BeforeInsert(Integer AStart, Integer ALength) override { Add("BeforeInsert", AStart, ALength); }
  void AfterInsert(Integer AStart, Integer ALength) override { Add("AfterInsert", AStart, ALength); }
  void BeforeDelete(Integer AStart, Integer ALength) override { Add("BeforeDelete", AStart, ALength); }
  void AfterDelete(Integer AStart, Integer ALength) override { Add("AfterDelete", AStart, ALength); }
  void BeforeCompoundEdit(bool AFreeze) override {
    Add(AFreeze ? "BeforeCompoundEdit(freeze)" : "BeforeCompoundEdit");
  }
  void AfterCompoundEdit(bool AFreeze) override {
    Add(AFreeze ? "AfterCompoundEdit(freeze)" : "AfterCompoundEdit");
  }
  void DoUserEventAfterDocChange() override { Add("UserEvent"); }
  void DocumentDestroing() override { Add("DocumentDestroing"); }

 private:
  void Add(const std::string& AWhat) { FLog.push_back(FName + ":" + AWhat); }
  void Add(const std::string& AWhat, Integer A, Integer B) {
    Add(AWhat + "(" + std::to_string(A) + "," + std::to_string(B) + ")");
  }
  std::string FName;
  TLog& FLog;
};

class DocumentEventsTest : public ::testing::Test {
 protected:
  TLog Log;
  TLogListener Public{"public", Log};
  TLogListener View{"view", Log};
  TKivEditDocument Doc;  // after the listeners: it tells them when it goes

  void SetUp() override {
    Doc.OnDocChanged = [this](TKivEditDocument&, TKivDocStatusChanges c) {
      Log.push_back("DocChanged:" + ChangesText(c));
    };
    Doc.Lines().SetText(u"l0\r\nl1\r\nl2\r\nl3\r\nl4\r\nl5\r\nl6");
    Doc.SetModified(false);
    Log.clear();
    Doc.AddListener(&Public);
    Doc.Internal().AddListener(&View);
    Doc.OnLinesChanged = [this](TKivEditDocument&, Integer first, Integer count) {
      Log.push_back("LinesChanged(" + std::to_string(first) + "," + std::to_string(count) + ")");
    };
  }
};

TEST_F(DocumentEventsTest, Insertion) {
  const Integer at = Doc.GetLineStart(5) + 1;
  Doc.Insert(at, u"x");
  const std::string a = std::to_string(at);
  EXPECT_EQ(Log,
            (TLog{"public:BeforeInsert(" + a + ",1)", "view:BeforeInsert(" + a + ",1)", "LinesChanged(5,0)",
                  "view:AfterInsert(" + a + ",1)", "public:AfterInsert(" + a + ",1)", "view:UserEvent",
                  "public:UserEvent", "DocChanged:insert+modified"}));
  Log.clear();
  Doc.Insert(at + 1, u"y");  // already modified: no modified change any more
  EXPECT_EQ(Log.back(), "DocChanged:insert");
}

TEST_F(DocumentEventsTest, DeletionAcrossALineBreak) {
  const Integer at = Doc.GetLineEnd(2);  // the CR LF after line 2, and the first char of line 3
  Doc.Delete(at, 3);
  const std::string a = std::to_string(at);
  EXPECT_EQ(Log,
            (TLog{"public:BeforeDelete(" + a + ",3)", "view:BeforeDelete(" + a + ",3)", "LinesChanged(2,2)",
                  "view:AfterDelete(" + a + ",3)", "public:AfterDelete(" + a + ",3)", "view:UserEvent",
                  "public:UserEvent", "DocChanged:delete+modified"}));
}

TEST_F(DocumentEventsTest, InsertionOfLineBreaksReportsFollowingLines) {
  Doc.Insert(Doc.GetLineStart(1), u"a\r\nb\nc");
  EXPECT_EQ(Log[2], "LinesChanged(1,2)");
}

TEST_F(DocumentEventsTest, CompoundEditFiresOneDocChanged) {
  Doc.BeginCompoundEdit(true);
  Doc.Insert(0, u"a");
  Doc.Insert(1, u"b");
  Doc.Insert(2, u"c");
  Doc.EndCompoundEdit(true);
  ASSERT_EQ(Log.size(), 2u + 3u * 7u + 5u);
  EXPECT_EQ(Log[0], "public:BeforeCompoundEdit(freeze)");
  EXPECT_EQ(Log[1], "view:BeforeCompoundEdit(freeze)");
  EXPECT_EQ(Log[2], "public:BeforeInsert(0,1)");
  const TLog tail(Log.end() - 5, Log.end());
  EXPECT_EQ(tail, (TLog{"view:AfterCompoundEdit(freeze)", "public:AfterCompoundEdit(freeze)",
                        "view:UserEvent", "public:UserEvent", "DocChanged:insert+compound+modified"}));
  EXPECT_EQ(std::count_if(Log.begin(), Log.end(), [](auto& s) { return s.rfind("DocChanged", 0) == 0; }), 1);
}

TEST_F(DocumentEventsTest, SettingsChange) {
  Doc.SetReadOnly(true);
  EXPECT_EQ(Log,
            (TLog{"public:BeforeSettingsRefresh", "view:BeforeSettingsRefresh", "view:AfterSettingsRefresh",
                  "public:AfterSettingsRefresh", "view:UserEvent", "public:UserEvent"}));
  Log.clear();
  Doc.SetReadOnly(true);  // unchanged: no refresh
  Doc.SetWordSeparators(Doc.WordSeparators());
  EXPECT_TRUE(Log.empty());
  Doc.SetLineSeparator(lsLF);
  EXPECT_EQ(Log.size(), 6u);
}

TEST_F(DocumentEventsTest, UpdateBracketDefersAndAccumulates) {
  Doc.BeginUpdate();
  Doc.Insert(0, u"a");
  Doc.Delete(0, 1);
  EXPECT_EQ(std::count_if(Log.begin(), Log.end(), [](auto& s) { return s.rfind("DocChanged", 0) == 0; }), 0);
  Doc.EndUpdate();
  EXPECT_EQ(Log.back(), "DocChanged:insert+delete+modified");

  // Without a handler the pending changes wait for the next bracket that has one.
  Doc.OnDocChanged = nullptr;
  Doc.Insert(0, u"q");
  Log.clear();
  Doc.OnDocChanged = [this](TKivEditDocument&, TKivDocStatusChanges c) {
    Log.push_back("DocChanged:" + ChangesText(c));
  };
  Doc.Delete(0, 1);
  EXPECT_EQ(Log.back(), "DocChanged:insert+delete");

  // Closing without event keeps the changes pending.
  Log.clear();
  Doc.BeginUpdate();
  Doc.Insert(0, u"z");
  Doc.EndUpdate(false);
  EXPECT_EQ(std::count_if(Log.begin(), Log.end(), [](auto& s) { return s.rfind("DocChanged", 0) == 0; }), 0);
  Doc.BeginUpdate();
  Doc.EndUpdate();
  EXPECT_EQ(Log.back(), "DocChanged:insert");
}

TEST_F(DocumentEventsTest, ModifiedIsReportedByItsNetChange) {
  Doc.Insert(0, u"a");
  Log.clear();
  Doc.Undo();  // back to the saved text
  EXPECT_FALSE(Doc.Modified());
  EXPECT_EQ(Log.back(), "DocChanged:delete+modified");
  Log.clear();
  Doc.BeginUpdate();
  Doc.Insert(0, u"a");
  Doc.Undo();
  Doc.EndUpdate();
  EXPECT_EQ(Log.back(), "DocChanged:insert+delete");
}

TEST_F(DocumentEventsTest, ListenerRemovingItselfAndOthersWhileNotified) {
  struct TRemover : TKivDocumentListener {
    TKivEditDocument* Doc = nullptr;
    TKivDocumentListener* Other = nullptr;
    int Calls = 0;
    void BeforeInsert(Integer, Integer) override {
      ++Calls;
      Doc->RemoveListener(this);
      Doc->RemoveListener(Other);
    }
  };
  TKivEditDocument doc;
  TLog log;
  TRemover remover;
  TLogListener other("other", log);
  remover.Doc = &doc;
  remover.Other = &other;
  doc.AddListener(&remover);
  doc.AddListener(&other);
  doc.Insert(0, u"x");
  doc.Insert(0, u"y");
  EXPECT_EQ(remover.Calls, 1);
  EXPECT_TRUE(log.empty());
}

TEST_F(DocumentEventsTest, DestructionTellsPublicListenersFirst) {
  TLog log;
  TLogListener pub("public", log), view("view", log);
  {
    TKivEditDocument doc;
    doc.Internal().AddListener(&view);
    doc.AddListener(&pub);
    doc.BeginCompoundEdit(false);
    doc.Insert(0, u"a");
  }
  EXPECT_EQ(TLog(log.end() - 2, log.end()), (TLog{"public:DocumentDestroing", "view:DocumentDestroing"}));
  EXPECT_NE(std::find(log.begin(), log.end(), "view:AfterCompoundEdit"), log.end())
      << testing::PrintToString(log);
}

TEST_F(DocumentEventsTest, UndoAndCrLfRuleRunAsCompoundEdits) {
  Doc.Insert(Doc.GetLineEnd(0) + 1, u"y");  // between CR and LF
  EXPECT_EQ(Doc.GetLineText(0), u"l0");
  EXPECT_EQ(Doc.GetLineText(1), u"y");
  EXPECT_EQ(Doc.GetLineText(2), u"l1");
  EXPECT_EQ(Log[0], "public:BeforeCompoundEdit(freeze)");
  Log.clear();
  Doc.Undo();
  EXPECT_EQ(Log[0], "public:BeforeCompoundEdit(freeze)");
  EXPECT_EQ(Log.back(), "DocChanged:delete+compound+modified");
  EXPECT_EQ(Doc.Text(), u"l0\r\nl1\r\nl2\r\nl3\r\nl4\r\nl5\r\nl6");
}

}  // namespace

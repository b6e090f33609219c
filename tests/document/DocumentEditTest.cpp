// Editing, line operations, the CR LF rule, the lines proxy and the errors of the document.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "KivSedDocument.h"

namespace {

TKivString Esc(const TKivString& s) {
  TKivString r;
  for (Char c : s) r += c == u'\r' ? u"\\r" : c == u'\n' ? u"\\n" : TKivString(1, c);
  return r;
}

std::vector<TKivString> LinesOf(TKivEditDocument& ADoc) {
  std::vector<TKivString> v;
  for (Integer i = 0; i < ADoc.LinesCount(); ++i) v.push_back(ADoc.GetLineText(i));
  return v;
}

TEST(DocumentEdit, NewDocument) {
  TKivEditDocument doc;
  EXPECT_EQ(doc.CharsCount(), 0);
  EXPECT_EQ(doc.LinesCount(), 1);
  EXPECT_EQ(doc.GetLine(0).Start, 0);
  EXPECT_EQ(doc.GetLine(0).Count, 0);
  TKivLineSeparator kind;
  EXPECT_FALSE(doc.GetLineEndKind(0, kind));
  EXPECT_FALSE(doc.Modified());
  EXPECT_FALSE(doc.CanUndo());
  EXPECT_EQ(doc.UndoLimit(), 1024);
  EXPECT_EQ(doc.LineSeparator(), lsCRLF);
  EXPECT_EQ(doc.LineSeparatorStr(), u"\r\n");
  EXPECT_EQ(doc.WordSeparators(), u"[]()<>{};.,'\"#@&*!^:-+=/\\~`%|");
  EXPECT_EQ(doc.WordSeparators().size(), 29u);
  EXPECT_EQ(doc.FullWordSeparators(), doc.WordSeparators() + u"\r\n\f \t");
  EXPECT_EQ(doc.MaxLineLengthToParse(), 1000);
  EXPECT_NE(doc.GetParser(), nullptr);
  EXPECT_EQ(doc.GetParser()->GetDocument(), &doc);
}

TEST(DocumentEdit, CrLfPairsStayWhole) {
  struct Case {
    const char* Name;
    TKivString Text;
    std::function<void(TKivEditDocument&)> Edit;
    TKivString Expected;
    Integer Lines;
  };
  const Case cases[] = {
      {"insert between CR and LF", u"a\r\nb", [](auto& d) { d.Insert(2, u"y"); }, u"a\ry\nb", 3},
      {"insert LF after lone CR joins", u"a\rb", [](auto& d) { d.Insert(2, u"\nx"); }, u"a\r\nxb", 2},
      {"delete only the LF", u"a\r\nb", [](auto& d) { d.Delete(2, 1); }, u"a\rb", 2},
      {"delete only the CR", u"a\r\nb", [](auto& d) { d.Delete(1, 1); }, u"a\nb", 2},
      {"delete from LF through CR", u"a\r\nb\r\nc", [](auto& d) { d.Delete(2, 3); }, u"a\r\nc", 2},
      {"delete whole pair", u"a\r\nb", [](auto& d) { d.Delete(1, 2); }, u"ab", 1},
      {"replace across LF", u"a\r\nb", [](auto& d) { d.Replace(2, 2, u"Z"); }, u"a\rZ", 2},
      {"insert the document's own line", u"ab\r\ncd\r\nef", [](auto& d) { d.InsertSeg(0, d.GetLine(2)); },
       u"efab\r\ncd\r\nef", 3},
      {"replace with the document's own text", u"abc\r\ndef",
       [](auto& d) { d.ReplaceSeg(0, 3, d.GetLine(1)); }, u"def\r\ndef", 2},
  };
  for (const auto& c : cases) {
    TKivEditDocument doc;
    doc.Insert(0, c.Text);
    c.Edit(doc);
    EXPECT_EQ(Esc(doc.Text()), Esc(c.Expected)) << c.Name;
    EXPECT_EQ(doc.LinesCount(), c.Lines) << c.Name;
    // Every rule is one undo step.
    doc.Undo();
    EXPECT_EQ(Esc(doc.Text()), Esc(c.Text)) << c.Name;
    doc.Redo();
    EXPECT_EQ(Esc(doc.Text()), Esc(c.Expected)) << c.Name;
  }
}

TEST(DocumentEdit, LineOperations) {
  struct Case {
    const char* Name;
    TKivString Text;
    std::function<void(TKivEditDocument&)> Edit;
    TKivString Expected;
  };
  const Case cases[] = {
      {"delete last line", u"a\r\nb", [](auto& d) { d.DeleteLine(1); }, u"a"},
      {"delete first line", u"a\r\nb", [](auto& d) { d.DeleteLine(0); }, u"b"},
      {"delete middle line", u"a\nb\rc", [](auto& d) { d.DeleteLine(1); }, u"a\nc"},
      {"delete only line", u"abc", [](auto& d) { d.DeleteLine(0); }, u""},
      {"append to empty", u"", [](auto& d) { d.AppendLine(u"x"); }, u"x"},
      {"append", u"a", [](auto& d) { d.AppendLine(u"x"); }, u"a\r\nx"},
      {"append with LF separator", u"a",
       [](auto& d) {
         d.SetLineSeparator(lsLF);
         d.AppendLine(u"x");
       },
       u"a\nx"},
      {"insert line", u"a\r\nb", [](auto& d) { d.InsertLine(1, u"x"); }, u"a\r\nx\r\nb"},
      {"insert line at LinesCount appends", u"a\r\nb", [](auto& d) { d.InsertLine(2, u"x"); },
       u"a\r\nb\r\nx"},
      {"insert line with CR separator", u"a",
       [](auto& d) {
         d.SetLineSeparator(lsCR);
         d.InsertLine(0, u"x");
       },
       u"x\ra"},
      {"lines put replaces the content", u"ab\r\ncd", [](auto& d) { d.Lines().Put(1, u"XYZ"); },
       u"ab\r\nXYZ"},
      {"lines add", u"ab", [](auto& d) { d.Lines().Add(u"c"); }, u"ab\r\nc"},
      {"lines text keeps leading empty lines", u"old", [](auto& d) { d.Lines().SetText(u"\r\n\r\nx"); },
       u"\r\n\r\nx"},
      {"lines text with trailing break", u"old", [](auto& d) { d.Lines().SetText(u"a\nb\n"); }, u"a\r\nb"},
      {"lines text empty", u"old", [](auto& d) { d.Lines().SetText(u""); }, u""},
      {"assign keeps leading empty lines", u"old",
       [](auto& d) {
         d.Lines().Assign(TKivStringList({u"", u"", u"x"}));
       },
       u"\r\n\r\nx"},
  };
  for (const auto& c : cases) {
    TKivEditDocument doc;
    doc.Insert(0, c.Text);
    c.Edit(doc);
    EXPECT_EQ(Esc(doc.Text()), Esc(c.Expected)) << c.Name;
  }
}

TEST(DocumentEdit, LinesProxy) {
  TKivEditDocument doc;
  EXPECT_EQ(doc.Lines().Text(), u"\r\n");
  doc.Lines().SetText(u"a\r\nb\rc");
  EXPECT_EQ(doc.Lines().Count(), 3);
  EXPECT_EQ(doc.Lines().Get(2), u"c");
  EXPECT_EQ(doc.Lines().Text(), u"a\r\nb\r\nc\r\n");
  EXPECT_EQ(LinesOf(doc), (std::vector<TKivString>{u"a", u"b", u"c"}));
  // Setting the text is one undoable step; assigning is not undoable and resets Modified.
  EXPECT_TRUE(doc.Modified());
  doc.Undo();
  EXPECT_EQ(doc.Text(), u"");
  doc.Redo();
  doc.Lines().Assign(TKivStringList({u"x", u"y"}));
  EXPECT_EQ(doc.Text(), u"x\r\ny");
  EXPECT_FALSE(doc.Modified());
  EXPECT_FALSE(doc.CanUndo());
  EXPECT_EQ(doc.UndoLimit(), 1024);
  // The list's update bracket is one compound edit.
  doc.Lines().BeginUpdate();
  EXPECT_TRUE(doc.InsideCompoundEdit());
  doc.Lines().Add(u"1");
  doc.Lines().Add(u"2");
  doc.Lines().EndUpdate();
  EXPECT_FALSE(doc.InsideCompoundEdit());
  EXPECT_EQ(doc.Text(), u"x\r\ny\r\n1\r\n2");
  doc.Undo();
  EXPECT_EQ(doc.Text(), u"x\r\ny");
  // Another document's lines.
  TKivEditDocument other;
  other.Lines().Assign(doc.Lines());
  EXPECT_EQ(other.Text(), u"x\r\ny");
}

TEST(DocumentEdit, LinesStreamsAreTheDocumentsRawText) {
  TKivEditDocument doc;
  doc.Insert(0, u"a\rb\nc\u00e9");
  std::stringstream out;
  doc.Lines().SaveToStream(out);
  EXPECT_EQ(out.str(), "a\rb\nc\xC3\xA9");  // separators as they are, not CR LF
  EXPECT_FALSE(doc.Modified());
  TKivEditDocument other;
  std::istringstream in(out.str());
  other.Lines().LoadFromStream(in);
  EXPECT_EQ(other.Text(), doc.Text());
  EXPECT_FALSE(other.CanUndo());
}

TEST(DocumentEdit, ClearAndClearNoUndo) {
  TKivEditDocument doc;
  doc.Insert(0, u"abc");
  doc.Clear();
  EXPECT_EQ(doc.Text(), u"");
  doc.Undo();
  EXPECT_EQ(doc.Text(), u"abc");
  doc.ClearNoUndo();
  EXPECT_EQ(doc.Text(), u"");
  EXPECT_FALSE(doc.Modified());
  EXPECT_FALSE(doc.CanUndo());
  EXPECT_FALSE(doc.CanRedo());
  EXPECT_EQ(doc.UndoLimit(), 1024);
}

TEST(DocumentEdit, LineQueries) {
  TKivEditDocument doc;
  doc.Insert(0, u"a\r\nb\rc\nd");
  EXPECT_EQ(doc.LinesCount(), 4);
  EXPECT_EQ(doc.GetLineStart(1), 3);
  TKivLineSeparator kind;
  ASSERT_TRUE(doc.GetLineEndKind(0, kind));
  EXPECT_EQ(kind, lsCRLF);
  ASSERT_TRUE(doc.GetLineEndKind(1, kind));
  EXPECT_EQ(kind, lsCR);
  ASSERT_TRUE(doc.GetLineEndKind(2, kind));
  EXPECT_EQ(kind, lsLF);
  EXPECT_FALSE(doc.GetLineEndKind(3, kind));
  const TKivSegment withCr = doc.GetLineWithCr(0);
  EXPECT_EQ(withCr.Start, 0);
  EXPECT_EQ(withCr.Count, 3);
  EXPECT_EQ(doc.GetLineWithCr(3).Count, 1);
  EXPECT_EQ(doc.GetLineByOffset(doc.CharsCount()), 3);
  EXPECT_EQ(doc.GetText(3, 3), u"b\rc");
}

TEST(DocumentEdit, WordSearchUsesTheFullSeparators) {
  TKivEditDocument doc;
  doc.Insert(0, u"foo.bar baz");
  EXPECT_EQ(doc.FindNextWordStart(0), 4);
  EXPECT_EQ(doc.FindNextWordStart(4), 8);
  const TKivSegment w = doc.FindNextWord(5);
  EXPECT_EQ(w.Start, 8);
  EXPECT_EQ(w.Count, 3);
  doc.SetWordSeparators(u"");
  EXPECT_EQ(doc.FullWordSeparators(), u"\r\n\f \t");
  EXPECT_EQ(doc.FindNextWordStart(0), 8);  // '.' no longer separates
  doc.SetWordSeparators(u" .x");
  EXPECT_EQ(doc.FullWordSeparators(), u" .x\r\n\f\t");
}

// ---- errors: each leaves the document as it was ----

struct TSnapshot {
  TKivString Text;
  bool CanUndo, CanRedo, Modified, InCompound;
  Integer Lines, Pending;
  friend bool operator==(const TSnapshot&, const TSnapshot&) = default;
};

class DocumentErrorsTest : public ::testing::Test {
 protected:
  TKivEditDocument Doc;
  int DocChanged = 0;

  void SetUp() override {
    Doc.Insert(0, u"ab\r\ncd\r\nef");
    Doc.Insert(2, u"x");
    Doc.Undo();  // one undo and one redo step
    Doc.OnDocChanged = [this](TKivEditDocument&, TKivDocStatusChanges) { ++DocChanged; };
  }
  TSnapshot Snap() {
    return {Doc.Text(),       Doc.CanUndo(),    Doc.CanRedo(), Doc.Modified(), Doc.InsideCompoundEdit(),
            Doc.LinesCount(), Doc.UpdateDepth()};
  }
  void ExpectError(const std::function<void()>& AFn, const TKivString& AMessage, const char* AName) {
    const TSnapshot before = Snap();
    DocChanged = 0;
    try {
      AFn();
      ADD_FAILURE() << AName << ": no error";
    } catch (const EKivEditDocError& e) {
      EXPECT_EQ(KivToUtf8(e.Message()), KivToUtf8(AMessage)) << AName;
    }
    EXPECT_EQ(Snap(), before) << AName;
    EXPECT_EQ(DocChanged, 0) << AName;
  }
};

TEST_F(DocumentErrorsTest, ArgumentErrors) {
  TKivSeqFromString other(u"xyz");
  struct Case {
    const char* Name;
    std::function<void(TKivEditDocument&)> Call;
    TKivString Message;
  };
  const Case cases[] = {
      {"insert past end", [](auto& d) { d.Insert(11, u"x"); },
       u"Invalid char index for insert: 11. Valid range: [0, 10]."},
      {"insert before start", [](auto& d) { d.Insert(-1, u"x"); },
       u"Invalid char index for insert: -1. Valid range: [0, 10]."},
      {"empty insert still checks", [](auto& d) { d.Insert(12, u""); },
       u"Invalid char index for insert: 12. Valid range: [0, 10]."},
      {"bad segment", [&](auto& d) { d.InsertSeg(0, MakeSegment(2, 5, &other)); },
       u"Invalid segment passed to document method"},
      {"null segment", [](auto& d) { d.InsertSeg(0, TKivSegment{}); },
       u"Invalid segment passed to document method"},
      {"delete past end", [](auto& d) { d.Delete(8, 3); },
       u"Invalid offset given to document: 10. Valid range: [0, 9]"},
      {"delete negative start", [](auto& d) { d.Delete(-1, 2); },
       u"Invalid offset given to document: -1. Valid range: [0, 9]"},
      {"delete zero count checks offset", [](auto& d) { d.Delete(11, 0); },
       u"Invalid char index for insert: 11. Valid range: [0, 10]."},
      {"delete negative count", [](auto& d) { d.Delete(3, -2); },
       u"Range start should be less or equal to range end: range: [3, 1]"},
      {"replace bad range", [](auto& d) { d.Replace(9, 5, u"x"); },
       u"Invalid offset given to document: 13. Valid range: [0, 9]"},
      {"replace bad segment", [&](auto& d) { d.ReplaceSeg(0, 1, MakeSegment(-1, 1, &other)); },
       u"Invalid segment passed to document method"},
      {"line index", [](auto& d) { d.GetLine(3); }, u"Invalid line index: 3. Valid range: [0, 2]"},
      {"delete line", [](auto& d) { d.DeleteLine(-1); }, u"Invalid line index: -1. Valid range: [0, 2]"},
      {"insert line", [](auto& d) { d.InsertLine(4, u"x"); }, u"Invalid line index: 4. Valid range: [0, 3]"},
      {"line by offset", [](auto& d) { d.GetLineByOffset(11); },
       u"Invalid char index for insert: 11. Valid range: [0, 10]."},
      {"end compound not open", [](auto& d) { d.EndCompoundEdit(); },
       u"Document should be in compound edit mode here"},
      {"undo for author",
       [](auto& d) {
         TKivDocUndoInfoPtr o;
         d.Internal().Undo(7, nullptr, o);
         d.Internal().Undo(7, nullptr, o);
         d.Internal().Undo(7, nullptr, o);
       },
       u"Can't undo for author 7"},
      {"word search offset", [](auto& d) { d.FindNextWordStart(11); },
       u"Invalid offset given for search in document: 11. Valid range: [0, 10]"},
  };
  for (const auto& c : cases) {
    if (std::string(c.Name) == "undo for author") continue;  // below, it changes the text first
    ExpectError([&] { c.Call(Doc); }, c.Message, c.Name);
  }
}

TEST_F(DocumentErrorsTest, StateErrors) {
  const TKivString readOnly = u"Document is read-only", locked = u"Document is locked for changes",
                   inCompound = u"This method is prohibited while document in compound edit";
  const std::vector<std::pair<const char*, std::function<void()>>> edits = {
      {"insert", [&] { Doc.Insert(0, u"x"); }},
      {"delete", [&] { Doc.Delete(0, 1); }},
      {"replace", [&] { Doc.Replace(0, 1, u"y"); }},
      {"insert line", [&] { Doc.InsertLine(0, u"x"); }},
      {"append line", [&] { Doc.AppendLine(u"x"); }},
      {"delete line", [&] { Doc.DeleteLine(0); }},
      {"clear", [&] { Doc.Clear(); }},
      {"clear no undo", [&] { Doc.ClearNoUndo(); }},
      {"undo", [&] { Doc.Undo(); }},
      {"redo", [&] { Doc.Redo(); }},
      {"begin compound", [&] { Doc.BeginCompoundEdit(); }},
      {"lines text", [&] { Doc.Lines().SetText(u"q"); }},
      {"lines put", [&] { Doc.Lines().Put(0, u"q"); }},
      {"lines assign", [&] { Doc.Lines().Assign(TKivStringList({u"q"})); }},
  };
  Doc.SetReadOnly(true);
  for (const auto& [name, fn] : edits) ExpectError(fn, readOnly, name);
  Doc.SetReadOnly(false);

  Doc.Internal().LockChanges();
  for (const auto& [name, fn] : edits) ExpectError(fn, locked, name);
  ExpectError([&] { Doc.SetUndoLimit(5); }, locked, "undo limit");
  Doc.Internal().UnlockChanges();

  Doc.BeginCompoundEdit();
  for (const auto& [name, fn] : std::vector<std::pair<const char*, std::function<void()>>>{
           {"undo", [&] { Doc.Undo(); }},
           {"redo", [&] { Doc.Redo(); }},
           {"clear undo", [&] { Doc.ClearUndo(); }},
           {"undo limit", [&] { Doc.SetUndoLimit(5); }},
           {"clear no undo", [&] { Doc.ClearNoUndo(); }},
           {"lines assign", [&] { Doc.Lines().Assign(TKivStringList({u"q"})); }},
       })
    ExpectError(fn, inCompound, name);
  TKivDocumentListener listener;
  ExpectError([&] { Doc.AddListener(&listener); }, inCompound, "add listener");
  Doc.EndCompoundEdit();

  Doc.ClearUndo();
  ExpectError([&] { Doc.Undo(); }, u"Undo stack is empty", "undo empty");
  ExpectError([&] { Doc.Redo(); }, u"Redo stack is empty", "redo empty");
  TKivDocUndoInfoPtr old;
  ExpectError([&] { Doc.Internal().Undo(3, nullptr, old); }, u"Can't undo for author 3", "undo author");
  ExpectError([&] { Doc.Internal().Redo(3, nullptr, old); }, u"Can't redo for author 3", "redo author");
}

TEST_F(DocumentErrorsTest, EditFromAHandlerOfAnotherEditStillWorks) {
  // Edits are reentrant from events: the handler's edit is a step of its own.
  bool once = false;
  Doc.OnDocChanged = [&](TKivEditDocument& d, TKivDocStatusChanges) {
    if (!once) {
      once = true;
      d.Insert(0, u"!");
    }
  };
  Doc.Insert(0, u"?");
  EXPECT_EQ(Doc.GetLineText(0), u"!?ab");
  EXPECT_EQ(Doc.UpdateDepth(), 0);
}

TEST_F(DocumentErrorsTest, FailingListenerLeavesBracketsClosed) {
  struct TThrower : TKivDocumentListener {
    void AfterInsert(Integer, Integer) override { throw EKivError(u"listener failed"); }
  } thrower;
  Doc.AddListener(&thrower);
  EXPECT_THROW(Doc.Replace(0, 1, u"Q"), EKivError);
  EXPECT_EQ(Doc.UpdateDepth(), 0);
  EXPECT_FALSE(Doc.InsideCompoundEdit());
  EXPECT_EQ(Doc.GetLineText(0), u"Qb");  // the edit itself happened
  EXPECT_TRUE(Doc.Modified());
  Doc.RemoveListener(&thrower);
  Doc.Undo();
  EXPECT_EQ(Doc.GetLineText(0), u"ab");
}

}  // namespace

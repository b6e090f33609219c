// The window on a file: the syntax scheme by the file's name, loading in a code page, Ctrl+S
// saving in the file's own code page and line breaks, the caption and the question on closing.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <string>
#include <vector>

#include "AppTestKit.h"
#include "KivDemoData.h"
#include "KivEditDocError.h"
#include "KivSedDialogs.h"

namespace {

TEST(SchemeForFile, OneTableByNameAndExtension) {
  struct TCase {
    const char* File;
    const char16_t* Scheme;
  };
  const std::vector<TCase> cases{
      {"a.c", u"C"},          {"dir/b.h", u"C"},           {"x/y/B.PY", u"Python"}, {"index.html", u"HTML"},
      {"page.HTM", u"HTML"},  {"data.xml", u"XML"},        {"m.cpp", u"CPP"},       {"s.pas", u"Pascal"},
      {"notes.txt", u"Text"}, {"page_asp_js.txt", u"ASP_JS"}, {"a.unknown", u""},   {"Makefile", u""},
      {"dir.c/file", u""},    {"", u""},
  };
  for (const TCase& c : cases) EXPECT_EQ(U8(KivDemoSchemeForFile(c.File)), U8(c.Scheme)) << c.File;
  // Every scheme the table names is one of the demo's.
  for (const char* file : {"a.c", "a.cpp", "a.css", "a.dfm", "a.html", "a.js", "a.lua", "a.pas", "a.pl", "a.php",
                           "a.py", "a.rexx", "a.sql", "a.tcl", "a.txt", "a.vb", "a.asp", "a.xml", "asp_js"})
    EXPECT_NE(KivDemoFindSyntaxScheme(KivDemoSchemeForFile(file)), nullptr) << file;
}

class FileWindow : public AppWindowTest {
 protected:
  void SetUp() override {
    AppWindowTest::SetUp();
    ASSERT_TRUE(Dir.isValid());
  }
  QString Path(const char* AName) const { return Dir.filePath(QString::fromUtf8(AName)); }
  static void Write(const QString& AFile, const std::string& ABytes) {
    QFile f(AFile);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(ABytes.data(), qint64(ABytes.size()));
  }
  static std::string Read(const QString& AFile) {
    QFile f(AFile);
    if (!f.open(QIODevice::ReadOnly)) return "<missing>";
    return f.readAll().toStdString();
  }
  void CtrlS() { QTest::keyClick(&View(), Qt::Key_S, Qt::ControlModifier); }
  std::string Title() const { return Form->windowTitle().toStdString(); }

  QTemporaryDir Dir;
};

TEST_F(FileWindow, TheSchemeFollowsTheFileName) {
  struct TCase {
    const char* Name;
    const char* Scheme;
  };
  const std::vector<TCase> cases{
      {"prog.c", "C"}, {"tool.py", "Python"}, {"page.html", "HTML"}, {"data.xml", "XML"}, {"notes.zzz", "Text"}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    Write(Path(c.Name), "first\nsecond\n");
    Form->LoadFile(Path(c.Name));
    EXPECT_EQ(U8(Doc().ActiveSyntaxScheme()), c.Scheme);
    EXPECT_EQ(U8(Form->dlgSyntax->SyntaxScheme()), c.Scheme);
    EXPECT_EQ(U8(Doc().Lines().Get(1)), "second");
    EXPECT_FALSE(Doc().Modified());
    EXPECT_FALSE(Doc().CanUndo());
    EXPECT_EQ(Title(), std::string("Vornish - ") + c.Name);
  }
}

TEST_F(FileWindow, AFileThatCannotBeReadChangesNothing) {
  const TKivString sample = Doc().Text();
  try {
    Form->LoadFile(Path("missing.c"));
    ADD_FAILURE() << "no error";
  } catch (const EKivEditDocError& e) {
    EXPECT_NE(U8(e.Message()).find("missing.c"), std::string::npos) << U8(e.Message());
  }
  EXPECT_TRUE(Doc().Text() == sample);
  EXPECT_EQ(U8(Doc().ActiveSyntaxScheme()), "C");
  EXPECT_EQ(Title(), "Vornish");
  EXPECT_TRUE(Form->FileName().isEmpty());
}

// Edited and saved with Ctrl+S, a windows-1251 file with LF breaks stays windows-1251 with LF.
TEST_F(FileWindow, Cp1251WithLfStaysSo) {
  const QString file = Path("privet.txt");
  Write(file, "\xcf\xf0\xe8\xe2\xe5\xf2\nline two\n");  // "Привет"
  Form->LoadFile(file, 1251);
  EXPECT_EQ(U8(Doc().Lines().Get(0)), "Привет");
  EXPECT_EQ(Title(), "Vornish - privet.txt");
  View().SetCursorPos({0, 0});
  QTest::sendKeyEvent(QTest::Click, &View(), Qt::Key(0x0416), QString::fromUtf8("Ж"), Qt::NoModifier);
  QTest::keyClick(&View(), Qt::Key_Return);
  EXPECT_EQ(Title(), "Vornish - privet.txt *");
  CtrlS();
  EXPECT_EQ(Read(file), "\xc6\n\xcf\xf0\xe8\xe2\xe5\xf2\nline two\n");
  EXPECT_FALSE(Doc().Modified());
  EXPECT_EQ(Title(), "Vornish - privet.txt");
  EXPECT_EQ(Ui.Count(TUiCall::Error), 0);
  EXPECT_EQ(Ui.Count(TUiCall::SaveFile), 0) << "a file is saved where it is";
}

// Bytes that are no UTF-8 load as windows-1252 and are written back as they were.
TEST_F(FileWindow, BytesThatAreNoUtf8AreKept) {
  const QString file = Path("latin.txt");
  Write(file, "caf\xe9\r\nna\xefve\r\n");
  Form->LoadFile(file);
  EXPECT_EQ(U8(Doc().Lines().Get(0)), "café");
  EXPECT_EQ(Doc().CodePage(), 1252);
  View().SetCursorPos({0, 1});
  QTest::keyClicks(&View(), "x");
  CtrlS();
  EXPECT_EQ(Read(file), "caf\xe9\r\nxna\xefve\r\n");
  // UTF-8 with a byte-order mark keeps its mark.
  const QString utf8 = Path("bom.txt");
  Write(utf8, "\xef\xbb\xbf\xc3\xa9t\xc3\xa9\n");
  Form->LoadFile(utf8);
  EXPECT_EQ(U8(Doc().Lines().Get(0)), "été");
  View().SetCursorPos({0, 0});
  QTest::keyClicks(&View(), "e");
  CtrlS();
  EXPECT_EQ(Read(utf8), "\xef\xbb\xbf" "e\xc3\xa9t\xc3\xa9\n");
}

TEST_F(FileWindow, TheSampleAsksForAFileName) {
  const QString file = Path("chart.c");
  QTest::keyClicks(&View(), "y");
  EXPECT_EQ(Title(), "Vornish *");
  Ui.AnswerFile(false);
  CtrlS();
  EXPECT_FALSE(QFile::exists(file));
  EXPECT_EQ(Title(), "Vornish *");
  Ui.AnswerFile(true, file);
  CtrlS();
  EXPECT_EQ(Read(file).substr(0, 20), "y/* Vornish demo: a ");
  EXPECT_EQ(Title(), "Vornish - chart.c");
  EXPECT_EQ(Ui.Count(TUiCall::SaveFile), 2);
  // Now a file: saved where it is, without asking.
  QTest::keyClicks(&View(), "w");
  CtrlS();
  EXPECT_EQ(Read(file).substr(0, 3), "yw/");
  EXPECT_EQ(Ui.Count(TUiCall::SaveFile), 2);
}

TEST_F(FileWindow, TheSampleReplacesAnExistingFileOnlyWhenTold) {
  const QString file = Path("taken.c");
  Write(file, "old\n");
  QTest::keyClicks(&View(), "y");
  Ui.AnswerFile(true, file);
  Ui.AnswerQuestion(TKivUiButton::No);
  CtrlS();
  EXPECT_EQ(Read(file), "old\n");
  EXPECT_EQ(Ui.Texts(TUiCall::Question).back().toStdString(), "taken.c already exists. Replace it?");
  Ui.AnswerFile(true, file);
  Ui.AnswerQuestion(TKivUiButton::Yes);
  CtrlS();
  EXPECT_EQ(Read(file).substr(0, 3), "y/*");
  EXPECT_TRUE(Ui.AllAnswersUsed());
}

TEST_F(FileWindow, TheCaptionFollowsTheModifiedState) {
  EXPECT_EQ(Title(), "Vornish");
  QTest::keyClicks(&View(), "ab");
  EXPECT_EQ(Title(), "Vornish *");
  QTest::keyClick(&View(), Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(Title(), Doc().Modified() ? "Vornish *" : "Vornish");
  Doc().SetModified(false);
  EXPECT_EQ(Title(), "Vornish");
}

TEST_F(FileWindow, ClosingWithChangesAsks) {
  struct TCase {
    TKivUiButton Answer;
    bool Closed;
    const char* File;  // afterwards
  };
  const std::vector<TCase> cases{
      {TKivUiButton::Cancel, false, "one\n"},
      {TKivUiButton::No, true, "one\n"},
      {TKivUiButton::Yes, true, "zone\n"},
  };
  const QString file = Path("f.txt");
  for (const TCase& c : cases) {
    SCOPED_TRACE(int(c.Answer));
    Write(file, "one\n");
    Form->show();
    Form->LoadFile(file);
    View().SetCursorPos({0, 0});
    QTest::keyClicks(&View(), "z");
    Ui.AnswerQuestion(c.Answer);
    const size_t questions = Ui.Texts(TUiCall::Question).size();
    EXPECT_EQ(Form->close(), c.Closed);
    ASSERT_EQ(Ui.Texts(TUiCall::Question).size(), questions + 1);
    EXPECT_EQ(Ui.Texts(TUiCall::Question).back().toStdString(), "Save changes to f.txt?");
    EXPECT_EQ(Form->isVisible(), !c.Closed);
    EXPECT_EQ(Read(file), c.File);
  }
  // Without changes nothing is asked.
  Form->show();
  Form->LoadFile(file);
  EXPECT_TRUE(Form->close());
  EXPECT_TRUE(Ui.AllAnswersUsed());
}

}  // namespace

// The scheme text editor on the offscreen platform: OK writes the text back and shows a load
// error in one error box (and still answers true), Cancel changes nothing, a valid edit reaches the
// main view, the XML highlighting and folding of its own view, files, and the components' default
// runners.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTest>

#include "DialogTestSupport.h"
#include "KivSedDialogs.h"
#include "KivSedSchemeEditDialog.h"
#include "KivSedView.h"
#include "internal/SchemeDialogsData.h"

namespace {

const char16_t* const kCScheme =
    u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    u"<SchemeList root=\"Main\">\r\n"
    u"  <Scheme name=\"Main\">\r\n"
    u"    <Keywords>int return</Keywords>\r\n"
    u"    <KeywordRegex>\\b[a-zA-Z_]\\w*\\b</KeywordRegex>\r\n"
    u"  </Scheme>\r\n"
    u"</SchemeList>";

// A document showing "int foo;" with the syntax scheme "C" and the colour scheme "default", in a
// view.
struct TMain {
  TKivEditDocument Doc;
  TKivEditView View;
  TMain() {
    auto& c = Doc.SyntaxSchemes().Add();
    c.SetName(u"C");
    c.Scheme().SetText(kCScheme);
    auto& colors = Doc.ColorSchemes().Add();
    colors.SetName(u"default");
    colors.Scheme().SetText(KivSchemeDialogsData(u"colors/default.xml"));
    Doc.SetLines(TKivStringList({u"int foo;"}));
    Doc.SetActiveSyntaxScheme(u"C");
    Doc.SetActiveColorScheme(u"default");
    View.SetDocument(&Doc);
    View.resize(300, 100);
  }
  ~TMain() { View.SetDocument(nullptr); }
  TKivEditParserSchemeStrings& C() { return Doc.SyntaxSchemes().FindItem(u"C")->Scheme(); }
};

TKivEditAttributes TokenAt(TKivEditDocument& ADoc, Integer ALine, Integer ACol) {
  TKivEditParserBase* parser = ADoc.GetParser();
  parser->EnsureLineParsed(ALine);
  TKivEditParsedLine* line = parser->GetParsedLine(ALine);
  TKivEditParsedTokenArray tokens(1);
  EXPECT_EQ(line->GetTokens(line->GetTokenIdx(ACol), 1, tokens), 1);
  return tokens[0].Attrs;
}

bool Bold(const TKivEditAttributes& AAttrs) {
  return (AAttrs.AttributesSet & asFontStyle) && (AAttrs.FontStyle & fsBold);
}

struct TRun {
  bool Ok = false;
  bool Driven = false;
};

// Runs the window on AScheme; AEdit changes the dialog's text (the edit as the user makes it),
// then OK or Cancel is clicked.
TRun RunEdit(TKivEditParserSchemeStrings& AScheme, TKivEditSchemeKind AKind,
             std::function<void(TKivSedSchemeEditDlg&)> AEdit, bool AOk = true, const TKivString& ACaption = {}) {
  TRun run;
  auto driver = WhenModal<TKivSedSchemeEditDlg>([&](TKivSedSchemeEditDlg& ADlg) {
    AEdit(ADlg);
    QTest::mouseClick(AOk ? ADlg.Button1 : ADlg.Button2, Qt::LeftButton);
  });
  run.Ok = ExecuteSchemeEditDlg(AScheme, AKind, ACaption);
  run.Driven = driver->Done();
  return run;
}

}  // namespace

TEST(SchemeEditDialog, TextsAndCaption) {
  TKivSedSchemeEditDlg dlg;
  EXPECT_EQ(dlg.windowTitle(), "Edit scheme");
  EXPECT_EQ(dlg.Button1->text(), "OK");
  EXPECT_EQ(dlg.Button2->text(), "Cancel");
  EXPECT_EQ(dlg.Button3->text(), "Load...");
  EXPECT_EQ(dlg.Button4->text(), "Save...");
  EXPECT_TRUE(dlg.Button1->isDefault());
  EXPECT_EQ(dlg.Doc->ActiveSyntaxScheme(), u"XML");
  EXPECT_EQ(dlg.Doc->ActiveColorScheme(), u"default");

  TMain m;
  TScriptedUiServices ui;
  for (const char16_t* caption : {u"", u"Mine"}) {
    QString title;
    TKivString text;
    const TRun run = RunEdit(
        m.C(), skSyntax,
        [&](TKivSedSchemeEditDlg& ADlg) {
          title = ADlg.windowTitle();
          text = ADlg.Doc->Lines().Text();
        },
        false, caption);
    EXPECT_TRUE(run.Driven);
    EXPECT_EQ(title, *caption ? "Mine" : "Edit scheme");
    EXPECT_EQ(text, m.C().Text());
  }
}

TEST(SchemeEditDialog, ABadTextIsKeptAndItsErrorShownOnce) {
  TMain m;
  TScriptedUiServices ui;
  ASSERT_TRUE(Bold(TokenAt(m.Doc, 0, 0)));
  const TRun run = RunEdit(m.C(), skSyntax,
                           [](TKivSedSchemeEditDlg& ADlg) { ADlg.Doc->SetLines(TKivStringList({u"<Foo/>"})); });
  EXPECT_TRUE(run.Ok);
  EXPECT_TRUE(run.Driven);
  const auto errors = ui.Texts(TUiCall::Error);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_TRUE(errors[0].startsWith(
      "Error EKivSyntaxSchemeLoadError on loading syntax scheme contents. Original message: "))
      << errors[0].toStdString();
  EXPECT_TRUE(errors[0].contains("Document should have SchemeList element!")) << errors[0].toStdString();
  ASSERT_EQ(m.C().Count(), 1);
  EXPECT_EQ(m.C().Get(0), u"<Foo/>");
  // The main view shows plain text (no tokens: no scheme is loaded) and paints without another
  // error.
  m.Doc.GetParser()->EnsureLineParsed(0);
  EXPECT_EQ(m.Doc.GetParser()->GetParsedLine(0)->TokenCount(), 0);
  m.View.show();
  (void)m.View.grab();
  QApplication::processEvents();
  EXPECT_EQ(ui.Count(TUiCall::Error), 1);
}

TEST(SchemeEditDialog, CancelChangesNothing) {
  TMain m;
  TScriptedUiServices ui;
  const TKivString before = m.C().Text();
  bool applied = false;
  m.C().OnChange = [&] { applied = true; };
  const TRun run = RunEdit(
      m.C(), skSyntax, [](TKivSedSchemeEditDlg& ADlg) { ADlg.Doc->SetLines(TKivStringList({u"<Foo/>"})); },
      false);
  EXPECT_FALSE(run.Ok);
  EXPECT_TRUE(run.Driven);
  EXPECT_FALSE(applied);
  EXPECT_EQ(m.C().Text(), before);
  EXPECT_TRUE(Bold(TokenAt(m.Doc, 0, 0)));
  EXPECT_EQ(ui.Count(TUiCall::Error), 0);
}

TEST(SchemeEditDialog, AValidEditReachesTheMainView) {
  TMain m;
  TScriptedUiServices ui;
  EXPECT_FALSE(Bold(TokenAt(m.Doc, 0, 4)));
  const TRun run = RunEdit(m.C(), skSyntax, [](TKivSedSchemeEditDlg& ADlg) {
    TKivStringList lines;
    lines.Assign(ADlg.Doc->Lines());
    const Integer row = lines.IndexOf(u"    <Keywords>int return</Keywords>");
    ASSERT_GE(row, 0);
    lines.Put(row, u"    <Keywords>int return foo</Keywords>");
    ADlg.Doc->SetLines(lines);
  });
  EXPECT_TRUE(run.Ok && run.Driven);
  EXPECT_EQ(ui.Count(TUiCall::Error), 0);
  EXPECT_TRUE(Bold(TokenAt(m.Doc, 0, 4)));
}

TEST(SchemeEditDialog, ColourSchemeErrorsNameTheColourLoader) {
  TMain m;
  TScriptedUiServices ui;
  TKivEditParserSchemeStrings& colors = m.Doc.ColorSchemes().FindItem(u"default")->Scheme();
  const TRun run = RunEdit(colors, skColor, [](TKivSedSchemeEditDlg& ADlg) {
    ADlg.Doc->SetLines(TKivStringList({u"<Attributes><Token name=\"x\" textColor=\"nocolour\"/></Attributes>"}));
  });
  EXPECT_TRUE(run.Ok && run.Driven);
  const auto errors = ui.Texts(TUiCall::Error);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_TRUE(errors[0].startsWith(
      "Error EKivColorSchemeLoadError on loading color scheme contents. Original message: "))
      << errors[0].toStdString();
}

TEST(SchemeEditDialog, ItsViewHighlightsAndFoldsXml) {
  TKivSedSchemeEditDlg dlg;
  TKivEditDocument& doc = *dlg.Doc;
  doc.SetLines(TKivStringList({
      u"<a href='x'>",            // 0
      u"  <!-- note -->",         // 1
      u"  <![CDATA[ raw ]]>",     // 2
      u"</a>",                    // 3
      u"<my-el.x/>",              // 4
  }));
  const TKivColor purple = KivRGB(0x80, 0, 0x80);
  struct TProbe {
    Integer Line, Col;
    TKivColor Color;
    bool Bold;
  };
  const TProbe probes[] = {
      {0, 0, purple, false},                   // "<a"
      {0, 1, purple, false},
      {0, 3, KivRGB(0x58, 0x34, 0x85), false},  // "href"
      {0, 8, KivRGB(0, 0, 0xFF), false},        // "'x'"
      {1, 6, KivRGB(0, 0x80, 0), false},        // the comment
      {2, 2, purple, true},                     // "<![CDATA["
      {2, 16, purple, true},                    // "]]>"
      {3, 0, purple, false},                    // "</a>"
      {3, 3, purple, false},
      {4, 0, purple, false},                    // "<my-el.x"
  };
  for (const TProbe& p : probes) {
    SCOPED_TRACE(testing::Message() << "line " << p.Line << " col " << p.Col);
    const TKivEditAttributes a = TokenAt(doc, p.Line, p.Col);
    ASSERT_TRUE(a.AttributesSet & asTextColor);
    EXPECT_EQ(a.TextColor, p.Color);
    EXPECT_EQ(Bold(a), p.Bold);
  }
  TKivEditParserBase* parser = doc.GetParser();
  for (Integer i = 0; i < doc.Lines().Count(); ++i) parser->EnsureLineParsed(i);
  EXPECT_TRUE(parser->IsFoldStart(0));
  EXPECT_EQ(parser->GetFoldEnd(0), 3);
  EXPECT_FALSE(parser->IsFoldStart(4));
}

TEST(SchemeEditDialog, LoadAndSaveFiles) {
  TMain m;
  TScriptedUiServices ui;
  const QString dir =
      QDir::tempPath() + QStringLiteral("/kiv_schemeedit_") + QString::number(QApplication::applicationPid());
  QDir().mkpath(dir);
  const QString saved = dir + QStringLiteral("/saved.xml");
  ui.AnswerFile(true, saved);
  ui.AnswerFile(true, dir + QStringLiteral("/missing.xml"));
  ui.AnswerFile(true, saved);
  TKivString loaded;
  const TRun run = RunEdit(
      m.C(), skSyntax,
      [&](TKivSedSchemeEditDlg& ADlg) {
        const TKivString text = ADlg.Doc->Lines().Text();
        QTest::mouseClick(ADlg.Button4, Qt::LeftButton);
        ADlg.Doc->SetLines(TKivStringList({u"changed"}));
        QTest::mouseClick(ADlg.Button3, Qt::LeftButton);  // missing: the text stays
        EXPECT_EQ(ADlg.Doc->Lines().Get(0), u"changed");
        QTest::mouseClick(ADlg.Button3, Qt::LeftButton);
        loaded = ADlg.Doc->Lines().Text();
        EXPECT_EQ(loaded, text);
      },
      false);
  EXPECT_TRUE(run.Driven);
  EXPECT_EQ(ui.Count(TUiCall::Error), 1);
  EXPECT_TRUE(QFile::exists(saved));
  QDir(dir).removeRecursively();
}

TEST(SchemeEditDialog, ComponentsOpenTheWindowsByDefault) {
  TMain m;
  TScriptedUiServices ui;
  TKivEditSyntaxSchemeDialog syntax;
  syntax.SetDocument(&m.Doc);
  syntax.SetSyntaxScheme(u"C");
  syntax.SetTitle(u"C scheme");
  QString title;
  {
    auto driver = WhenModal<TKivSedSchemeEditDlg>([&](TKivSedSchemeEditDlg& ADlg) {
      title = ADlg.windowTitle();
      QTest::mouseClick(ADlg.Button2, Qt::LeftButton);
    });
    EXPECT_FALSE(syntax.Execute());
    EXPECT_TRUE(driver->Done());
  }
  EXPECT_EQ(title, "C scheme");

  TKivEditColorSchemeDialog color;
  color.SetRunner([](TKivEditDocument&, const TKivString&, const TKivString&) { return false; });
  color.SetRunner(nullptr);  // back to the window
  color.SetDocument(&m.Doc);
  color.SetColorScheme(u"default");
  {
    auto driver = WhenModal<TKivSedColorSchemeDlg>([&](TKivSedColorSchemeDlg& ADlg) {
      title = ADlg.windowTitle();
      QTest::mouseClick(ADlg.btnOk, Qt::LeftButton);
    });
    EXPECT_TRUE(color.Execute());
    EXPECT_TRUE(driver->Done());
  }
  EXPECT_EQ(title, "Color scheme editor");
  EXPECT_EQ(ui.Count(TUiCall::Error), 0);
}

// Esc in the view, which has no binding for it, reaches the cancel button; Enter stays in the view.
TEST(SchemeEditDialog, EscInTheViewCancels) {
  TMain m;
  TScriptedUiServices ui;
  bool stillOpenAfterEnter = false;
  const TRun run = RunEdit(
      m.C(), skSyntax,
      [&](TKivSedSchemeEditDlg& ADlg) {
        ADlg.KivEditView1->setFocus();
        QTest::keyClick(ADlg.KivEditView1, Qt::Key_Return);
        stillOpenAfterEnter = ADlg.isVisible();
        QTest::keyClick(ADlg.KivEditView1, Qt::Key_Escape);
        EXPECT_FALSE(ADlg.isVisible());
        if (ADlg.isVisible()) ADlg.reject();
      },
      false);
  EXPECT_FALSE(run.Ok);
  EXPECT_TRUE(run.Driven);
  EXPECT_TRUE(stillOpenAfterEnter);
}

// A kind that is neither a syntax nor a colour scheme is refused before any window opens.
TEST(SchemeEditDialog, AnUnknownKindIsAnInternalError) {
  TMain m;
  const TKivString before = m.C().Text();
  const int windows = TopLevelWidgetCount();
  EXPECT_THROW(ExecuteSchemeEditDlg(m.C(), static_cast<TKivEditSchemeKind>(2), u""), EKivInternalError);
  EXPECT_EQ(TopLevelWidgetCount(), windows);
  EXPECT_EQ(m.C().Text(), before);
}

// The colour scheme editor on the offscreen platform: the real window driven with QTest keys and
// clicks, the colour chooser and the input boxes answered through the scripted UI services.
// What OK stores, what a touched token is written as, the enabling of the controls, the names of
// tokens and custom attributes, load errors, and the example documents following the scheme.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QStyleOptionViewItem>
#include <QAbstractItemDelegate>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include "DialogTestSupport.h"
#include "KivSedColorSchemeDialog.h"
#include "KivSedView.h"
#include "internal/SchemeDialogsData.h"

namespace {

using TScript = std::function<void(TKivSedColorSchemeDlg&)>;

// A document with the colour schemes "default" (the shipped one) and "empty".
struct TDocFixture {
  TKivEditDocument Doc;
  TDocFixture() {
    auto& def = Doc.ColorSchemes().Add();
    def.SetName(u"default");
    def.Scheme().SetText(KivSchemeDialogsData(u"colors/default.xml"));
    auto& empty = Doc.ColorSchemes().Add();
    empty.SetName(u"empty");
  }
  TKivString Text(TKivStringView AName) { return Doc.ColorSchemes().FindItem(AName)->Scheme().Text(); }
};

struct TRun {
  bool Ok = false;
  bool Driven = false;
  TKivString Xml;  // the working scheme when the script ended
};

TRun RunDlg(TKivEditDocument& ADoc, const TKivString& AScheme, TScript AScript, bool AOk = true) {
  TRun run;
  auto driver = WhenModal<TKivSedColorSchemeDlg>([&](TKivSedColorSchemeDlg& ADlg) {
    AScript(ADlg);
    run.Xml = ADlg.Model().SchemeXml();
    if (AOk)
      QTest::mouseClick(ADlg.btnOk, Qt::LeftButton);
    else
      QTest::mouseClick(ADlg.btnCancel, Qt::LeftButton);
  });
  run.Ok = ExecuteColorSchemeDlg(ADoc, AScheme, u"");
  run.Driven = driver->Done();
  return run;
}

void SelectToken(TKivSedColorSchemeDlg& ADlg, const QString& AName) {
  const auto items = ADlg.lsTokens->findItems(AName, Qt::MatchExactly);
  ASSERT_EQ(items.size(), 1) << AName.toStdString();
  QListWidget* list = ADlg.lsTokens;
  list->scrollToItem(items[0]);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(items[0]).center());
  ASSERT_EQ(list->currentItem(), items[0]);
}

// Chooses an item of a box as the user does: typing the first letter of its caption (a new
// keyboard search), or Home for the first item.
void ChooseColorItem(QComboBox* ABox, const char* ACaption) {
  ABox->setFocus();
  QApplication::setKeyboardInputInterval(20);
  QTest::qWait(40);
  if (*ACaption == 0)
    QTest::keyClick(ABox, Qt::Key_Home);
  else
    QTest::keyClick(ABox, ACaption[0]);
}

TKivString Attr(const TKivSedColorSchemeDlg& ADlg, TKivStringView AToken, TKivStringView AAttr) {
  IKivXmlElement node = ADlg.Model().FindTokenNode(AToken);
  return node ? node->ReadAttrText(AAttr, u"<none>") : u"<no token>";
}

std::vector<TKivString> OtherTokens(const TKivSedColorSchemeDlg& ADlg, TKivStringView ASkip) {
  std::vector<TKivString> res;
  for (const TKivString& name : ADlg.Model().TokenNames())
    if (name != ASkip) res.push_back(ADlg.Model().FindTokenNode(name)->ToXml());
  return res;
}

// The attributes of the token at a column of a line of an example document.
TKivEditAttributes TokenAt(TKivEditDocument& ADoc, Integer ALine, Integer ACol) {
  TKivEditParserBase* parser = ADoc.GetParser();
  parser->EnsureLineParsed(ALine);
  TKivEditParsedLine* line = parser->GetParsedLine(ALine);
  TKivEditParsedTokenArray tokens(1);
  const Integer idx = line->GetTokenIdx(ACol);
  EXPECT_EQ(line->GetTokens(idx, 1, tokens), 1);
  return tokens[0].Attrs;
}

// The XML text of an element as the scheme writes it.
TKivString ElementXml(const TKivString& AXml) {
  return LoadXmlDocumentFromXml(AXml)->DocumentElement()->ToXml();
}

QList<QCheckBox*> StyleBoxes(TKivSedColorSchemeDlg& ADlg) {
  return {ADlg.cbItalic, ADlg.cbBold, ADlg.cbUnderline, ADlg.cbStrikeout, ADlg.cbFontAttrsDefined};
}

}  // namespace

TEST(ColorSchemeDialog, TextsAndItems) {
  TKivSedColorSchemeDlg dlg;
  EXPECT_EQ(dlg.windowTitle(), "Color scheme editor");
  EXPECT_EQ(dlg.lblTokens->text(), "Tokens");
  EXPECT_EQ(dlg.btnPlus->toolTip(), "Add new token");
  EXPECT_EQ(dlg.btnMinus->toolTip(), "Remove this token");
  EXPECT_EQ(dlg.lblColors->text(), "Colors");
  EXPECT_EQ(dlg.lblColor->text(), "&Color:");
  EXPECT_EQ(dlg.lblBgColor->text(), "&Background color:");
  EXPECT_EQ(dlg.lblAttributes->text(), "Attributes");
  EXPECT_EQ(dlg.cbItalic->text(), "&Italic");
  EXPECT_EQ(dlg.cbBold->text(), "Bol&d");
  EXPECT_EQ(dlg.cbUnderline->text(), "&Underline");
  EXPECT_EQ(dlg.cbStrikeout->text(), "&StrikeOut");
  EXPECT_EQ(dlg.cbFontAttrsDefined->text(), "&Attributes defined");
  EXPECT_EQ(dlg.btnOk->text(), "OK");
  EXPECT_EQ(dlg.btnCancel->text(), "Cancel");
  EXPECT_EQ(dlg.Button3->text(), "Load...");
  EXPECT_EQ(dlg.Button4->text(), "Save...");
  EXPECT_EQ(dlg.PageControl1->tabText(0), "Main attributes");
  EXPECT_EQ(dlg.PageControl1->tabText(1), "Custom attributes");
  EXPECT_EQ(dlg.btnCustomMinus->toolTip(), "Remove this custom attribute");
  EXPECT_EQ(dlg.lblValue->text(), "Value");
  EXPECT_TRUE(dlg.btnOk->isDefault());
  // The example view: line numbers and folds in the gutter, Tab leaves it.
  const auto& bars = dlg.ViewExample->GutterPaintSettings().Bars;
  ASSERT_EQ(bars.size(), 2u);
  EXPECT_EQ(bars[0].Kind, gbLineNumberBar);
  EXPECT_EQ(bars[0].Width, 16);
  EXPECT_EQ(bars[1].Kind, gbFoldBar);
  EXPECT_EQ(dlg.ViewExample->GutterWidth(), dlg.ViewExample->GutterPaintSettings().Width());
  EXPECT_FALSE(dlg.ViewExample->WantTabs());
  EXPECT_EQ(dlg.ViewExample->Font().PixelSize, 13);
  ASSERT_EQ(dlg.cbExample->count(), 2);
  EXPECT_EQ(dlg.cbExample->itemText(0), "Pascal");
  EXPECT_EQ(dlg.cbExample->itemText(1), "HTML");
  for (QComboBox* box : {dlg.cbColor, dlg.cbBgColor}) {
    ASSERT_EQ(box->count(), 18);
    EXPECT_EQ(box->itemText(0), "Transparent");
    EXPECT_EQ(box->itemText(1), "Custom...");
    EXPECT_EQ(box->itemText(2), "Black");
    EXPECT_EQ(box->itemText(17), "White");
    EXPECT_EQ(TKivSedColorSchemeDlg::ColorBoxText(box, 1), "Black");
  }
}

// The colour boxes' items: the caption at the left, a swatch at the right outlined in black and
// filled with the item's colour; "Transparent" shows an empty swatch.
TEST(ColorSchemeDialog, ColourItemsAreDrawnWithSwatches) {
  TKivSedColorSchemeDlg dlg;
  QComboBox* box = dlg.cbColor;
  const QSize size(175, 17);
  auto render = [&](int AIndex) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QStyleOptionViewItem option;
    option.rect = QRect(QPoint(0, 0), size);
    option.palette = box->palette();
    option.palette.setColor(QPalette::Base, Qt::white);
    option.palette.setColor(QPalette::Text, Qt::black);
    box->itemDelegate()->paint(&painter, option, box->model()->index(AIndex, 0));
    painter.end();
    return image;
  };
  EXPECT_EQ(box->itemDelegate()->sizeHint(QStyleOptionViewItem(), box->model()->index(0, 0)).height(), 17);
  const QPoint inside(size.width() - 8, 8);
  const QPoint outline(size.width() - 2, 8);
  struct TCase {
    int Index;
    QColor Fill;
  };
  for (const TCase& c : {TCase{0, Qt::white}, TCase{1, Qt::black}, TCase{11, QColor(0xFF, 0, 0)},
                         TCase{8, QColor(0, 0x80, 0x80)}, TCase{17, Qt::white}}) {
    SCOPED_TRACE(box->itemText(c.Index).toStdString());
    const QImage image = render(c.Index);
    EXPECT_EQ(image.pixelColor(inside), c.Fill);
    EXPECT_EQ(image.pixelColor(outline), QColor(Qt::black));
    // The caption is written at the left.
    bool ink = false;
    for (int x = 2; x < 60 && !ink; ++x)
      for (int y = 0; y < size.height() && !ink; ++y) ink = image.pixelColor(x, y) != QColor(Qt::white);
    EXPECT_TRUE(ink);
  }
}

TEST(ColorSchemeDialog, EmptySchemeStaysEmptyUntilATokenIsAdded) {
  TDocFixture f;
  TScriptedUiServices ui;
  TRun run = RunDlg(f.Doc, u"empty", [](TKivSedColorSchemeDlg& ADlg) {
    EXPECT_EQ(ADlg.lsTokens->count(), 0);
    for (QWidget* w : std::initializer_list<QWidget*>{ADlg.cbColor, ADlg.cbBgColor, ADlg.btnMinus, ADlg.cbBold,
                                                      ADlg.cbFontAttrsDefined})
      EXPECT_FALSE(w->isEnabled());
    EXPECT_EQ(ADlg.cbColor->currentIndex(), -1);
  });
  EXPECT_TRUE(run.Ok && run.Driven);
  EXPECT_EQ(f.Text(u"empty"), u"");

  ui.AnswerInput(true, QStringLiteral("kw"));
  run = RunDlg(f.Doc, u"empty", [](TKivSedColorSchemeDlg& ADlg) {
    QTest::mouseClick(ADlg.btnPlus, Qt::LeftButton);
    ASSERT_EQ(ADlg.lsTokens->count(), 1);
    EXPECT_EQ(ADlg.lsTokens->currentItem()->text(), "kw");
    EXPECT_TRUE(ADlg.cbColor->isEnabled());
    EXPECT_EQ(ADlg.cbColor->currentIndex(), 0);
    EXPECT_EQ(ADlg.cbBold->checkState(), Qt::PartiallyChecked);
  });
  EXPECT_TRUE(run.Ok && run.Driven);
  const TKivString expected =
      LoadXmlDocumentFromXml(u"<?xml version=\"1.0\" encoding=\"UTF-8\"?><Attributes><Token name=\"kw\"/></Attributes>")
          ->ToXml();
  TKivStringList lines;
  lines.SetText(expected);
  EXPECT_EQ(f.Text(u"empty"), lines.Text());
  EXPECT_EQ(ui.Texts(TUiCall::Input), (std::vector<QString>{QString()}));
  EXPECT_TRUE(ui.AllAnswersUsed());
}

TEST(ColorSchemeDialog, TouchingATokenRewritesOnlyIt) {
  TDocFixture f;
  TScriptedUiServices ui;
  const TKivString before = f.Text(u"default");
  TRun run = RunDlg(
      f.Doc, u"default",
      [](TKivSedColorSchemeDlg& ADlg) {
        const auto others = OtherTokens(ADlg, u"hairy");
        SelectToken(ADlg, "hairy");
        EXPECT_EQ(ADlg.cbColor->currentText(), "Navy");
        EXPECT_EQ(ADlg.cbBgColor->currentText(), "Transparent");
        for (QCheckBox* b : StyleBoxes(ADlg)) EXPECT_EQ(b->checkState(), Qt::Checked);
        EXPECT_EQ(Attr(ADlg, u"hairy", u"textColor"), u"#000080");  // showing writes nothing
        QTest::keyClick(ADlg.cbBold, Qt::Key_Space);
        EXPECT_EQ(Attr(ADlg, u"hairy", u"textColor"), u"Navy");
        EXPECT_EQ(Attr(ADlg, u"hairy", u"fontStyle"), u"italic underline strikeOut");
        EXPECT_EQ(OtherTokens(ADlg, u"hairy"), others);
        EXPECT_NE(ADlg.Model().SchemeXml().find(u"\"#ECE9D8\""), TKivString::npos);
        EXPECT_NE(ADlg.Model().SchemeXml().find(u"\"red\""), TKivString::npos);
      },
      false);
  EXPECT_FALSE(run.Ok);
  EXPECT_TRUE(run.Driven);
  EXPECT_EQ(f.Text(u"default"), before);  // Cancel leaves the scheme text
}

TEST(ColorSchemeDialog, FontStyleBoxes) {
  TDocFixture f;
  TScriptedUiServices ui;
  TRun run = RunDlg(f.Doc, u"default", [](TKivSedColorSchemeDlg& ADlg) {
    SelectToken(ADlg, "comment");  // no font style: grayed boxes
    EXPECT_EQ(ADlg.cbItalic->checkState(), Qt::PartiallyChecked);
    EXPECT_FALSE(ADlg.cbFontAttrsDefined->isChecked());
    // A click on a grayed box checks it, defines the style and clears the other boxes.
    QTest::keyClick(ADlg.cbItalic, Qt::Key_Space);
    EXPECT_EQ(ADlg.cbItalic->checkState(), Qt::Checked);
    EXPECT_EQ(ADlg.cbBold->checkState(), Qt::Unchecked);
    EXPECT_TRUE(ADlg.cbFontAttrsDefined->isChecked());
    EXPECT_EQ(Attr(ADlg, u"comment", u"fontStyle"), u"italic");
    QTest::keyClick(ADlg.cbBold, Qt::Key_Space);
    EXPECT_EQ(Attr(ADlg, u"comment", u"fontStyle"), u"italic bold");
    EXPECT_EQ(Attr(ADlg, u"comment", u"textColor"), u"Green");  // #008000 by name once touched

    // A token with a colour that has no name shows it in item 1 without asking for a colour.
    SelectToken(ADlg, "attributeName");
    EXPECT_EQ(ADlg.cbColor->currentIndex(), 1);
    EXPECT_EQ(TKivSedColorSchemeDlg::ColorBoxText(ADlg.cbColor, 1), "#583485");
    SelectToken(ADlg, "string");
    EXPECT_EQ(TKivSedColorSchemeDlg::ColorBoxText(ADlg.cbColor, 1), "Black");
    EXPECT_FALSE(ADlg.cbFontAttrsDefined->isChecked());
    QTest::keyClick(ADlg.cbFontAttrsDefined, Qt::Key_Space);
    EXPECT_EQ(ADlg.cbBold->checkState(), Qt::Unchecked);
    EXPECT_EQ(Attr(ADlg, u"string", u"fontStyle"), u"");
    // Unchecking it removes the style and grays the boxes.
    QTest::keyClick(ADlg.cbFontAttrsDefined, Qt::Key_Space);
    EXPECT_EQ(Attr(ADlg, u"string", u"fontStyle"), u"<none>");
    for (QCheckBox* b : StyleBoxes(ADlg).mid(0, 4)) EXPECT_EQ(b->checkState(), Qt::PartiallyChecked);
  });
  EXPECT_TRUE(run.Ok && run.Driven);
  EXPECT_NE(f.Text(u"default").find(u"name=\"comment\" textColor=\"Green\" fontStyle=\"italic bold\""),
            TKivString::npos);
}

TEST(ColorSchemeDialog, CustomColors) {
  TDocFixture f;
  TScriptedUiServices ui;
  ui.AnswerColor(true, QColor(0x12, 0x34, 0x56));
  ui.AnswerColor(true, QColor(0x00, 0x80, 0x80));
  ui.AnswerColor(false);
  TRun run = RunDlg(f.Doc, u"default", [](TKivSedColorSchemeDlg& ADlg) {
    SelectToken(ADlg, "number");
    ChooseColorItem(ADlg.cbColor, "Cu");
    EXPECT_EQ(Attr(ADlg, u"number", u"textColor"), u"#123456");
    EXPECT_EQ(ADlg.cbColor->currentIndex(), 1);
    EXPECT_EQ(TKivSedColorSchemeDlg::ColorBoxText(ADlg.cbColor, 1), "#123456");
    SelectToken(ADlg, "symbol");
    ChooseColorItem(ADlg.cbBgColor, "Cu");
    EXPECT_EQ(Attr(ADlg, u"symbol", u"backgroundColor"), u"Teal");
    // Cancelled on a Red token: Red stays selected and written as it was.
    SelectToken(ADlg, "badString");
    EXPECT_EQ(ADlg.cbColor->currentText(), "Red");
    const TKivString xml = ADlg.Model().SchemeXml();
    ChooseColorItem(ADlg.cbColor, "Cu");
    EXPECT_EQ(ADlg.cbColor->currentText(), "Red");
    EXPECT_EQ(ADlg.Model().SchemeXml(), xml);
    // A named colour typed directly.
    ChooseColorItem(ADlg.cbColor, "Lime");
    EXPECT_EQ(Attr(ADlg, u"badString", u"textColor"), u"Lime");
    ChooseColorItem(ADlg.cbColor, "");
    EXPECT_EQ(Attr(ADlg, u"badString", u"textColor"), u"<none>");
  });
  EXPECT_TRUE(run.Ok && run.Driven);
  EXPECT_EQ(ui.Count(TUiCall::Color), 3);
  EXPECT_TRUE(ui.AllAnswersUsed());
}

TEST(ColorSchemeDialog, RemovingTheOnlyTokenClearsTheControls) {
  TDocFixture f;
  f.Doc.ColorSchemes().FindItem(u"empty")->Scheme().SetText(
      u"<Attributes><Token name=\"only\" textColor=\"Red\" fontStyle=\"bold\"/></Attributes>");
  TScriptedUiServices ui;
  TRun run = RunDlg(f.Doc, u"empty", [](TKivSedColorSchemeDlg& ADlg) {
    EXPECT_EQ(ADlg.cbColor->currentText(), "Red");
    QTest::mouseClick(ADlg.btnMinus, Qt::LeftButton);
    EXPECT_EQ(ADlg.lsTokens->count(), 0);
    EXPECT_EQ(ADlg.cbColor->currentIndex(), -1);
    EXPECT_EQ(ADlg.cbBgColor->currentIndex(), -1);
    for (QCheckBox* b : StyleBoxes(ADlg)) {
      EXPECT_EQ(b->checkState(), Qt::Unchecked);
      EXPECT_FALSE(b->isEnabled());
    }
    EXPECT_FALSE(ADlg.cbColor->isEnabled());
    EXPECT_FALSE(ADlg.btnMinus->isEnabled());
    EXPECT_FALSE(ADlg.tsCustomAttrs->isEnabled());
  });
  EXPECT_TRUE(run.Ok && run.Driven);
  // The scheme was not empty: an empty root is stored.
  EXPECT_EQ(f.Text(u"empty").find(u"Token"), TKivString::npos);
  EXPECT_NE(f.Text(u"empty").find(u"Attributes"), TKivString::npos);
}

TEST(ColorSchemeDialog, TokenNames) {
  TDocFixture f;
  TScriptedUiServices ui;
  ui.AnswerInput(true, QStringLiteral("keyword"));   // F2 to its own name
  ui.AnswerInput(true, QStringLiteral(" string "));  // F2 to another token's name
  ui.AnswerInput(true, QStringLiteral("keyword"));   // "+" with a name in use
  ui.AnswerInput(false, QStringLiteral("keyword"));  // "+" cancelled: no check
  ui.AnswerInput(true, QStringLiteral("  "));        // "+" with an empty name
  ui.AnswerInput(true, QStringLiteral("aaa"));       // F2 to a new name
  TRun run = RunDlg(f.Doc, u"default", [](TKivSedColorSchemeDlg& ADlg) {
    const int count = ADlg.lsTokens->count();
    SelectToken(ADlg, "keyword");
    const TKivString xml = ADlg.Model().SchemeXml();
    QTest::keyClick(ADlg.lsTokens, Qt::Key_F2);
    QTest::keyClick(ADlg.lsTokens, Qt::Key_F2);
    QTest::mouseClick(ADlg.btnPlus, Qt::LeftButton);
    QTest::mouseClick(ADlg.btnPlus, Qt::LeftButton);
    QTest::mouseClick(ADlg.btnPlus, Qt::LeftButton);
    EXPECT_EQ(ADlg.Model().SchemeXml(), xml);
    EXPECT_EQ(ADlg.lsTokens->count(), count);
    QTest::keyClick(ADlg.lsTokens, Qt::Key_F2);
    EXPECT_EQ(ADlg.lsTokens->currentItem()->text(), "aaa");
    EXPECT_EQ(ADlg.lsTokens->item(0)->text(), "aaa");  // sorted
    EXPECT_TRUE(ADlg.Model().FindTokenNode(u"aaa"));
    EXPECT_FALSE(ADlg.Model().FindTokenNode(u"keyword"));
  });
  EXPECT_TRUE(run.Ok && run.Driven);
  EXPECT_EQ(ui.Texts(TUiCall::Error),
            (std::vector<QString>{"Token name should be unique", "Token name should be unique"}));
  EXPECT_TRUE(ui.AllAnswersUsed());
}

TEST(ColorSchemeDialog, CustomAttributes) {
  TDocFixture f;
  TScriptedUiServices ui;
  ui.AnswerInput(true, QStringLiteral("indent"));
  ui.AnswerInput(true, QStringLiteral(" indent "));
  ui.AnswerInput(true, QStringLiteral("tab"));
  ui.AnswerInput(true, QStringLiteral("1x"));
  TRun run = RunDlg(f.Doc, u"default", [](TKivSedColorSchemeDlg& ADlg) {
    SelectToken(ADlg, "number");
    EXPECT_TRUE(ADlg.tsCustomAttrs->isEnabled());
    QTest::mouseClick(ADlg.btnCustomPlus, Qt::LeftButton);
    ASSERT_EQ(ADlg.lsCustomAttrs->count(), 1);
    QTest::keyClicks(ADlg.edCustomAttrValue, " 4 ");
    IKivXmlElement custom = ADlg.Model().FindTokenNode(u"number")->FirstChildElementNamed(u"CustomAttributes");
    ASSERT_TRUE(custom);
    EXPECT_EQ(custom->ToXml(), ElementXml(u"<CustomAttributes><indent>4</indent></CustomAttributes>"));
    QTest::mouseClick(ADlg.btnCustomPlus, Qt::LeftButton);  // " indent " again
    EXPECT_EQ(ADlg.lsCustomAttrs->count(), 1);
    QTest::keyClick(ADlg.lsCustomAttrs, Qt::Key_F2);  // to "tab"
    custom = ADlg.Model().FindTokenNode(u"number")->FirstChildElementNamed(u"CustomAttributes");
    EXPECT_EQ(custom->ToXml(), ElementXml(u"<CustomAttributes><tab>4</tab></CustomAttributes>"));
    EXPECT_EQ(ADlg.lsCustomAttrs->item(0)->text(), "tab");
    EXPECT_EQ(ADlg.edCustomAttrValue->text(), "4");
    QTest::mouseClick(ADlg.btnCustomPlus, Qt::LeftButton);  // "1x"
    EXPECT_EQ(ADlg.lsCustomAttrs->count(), 1);
    // Another token shows its own (none); coming back shows the value again.
    SelectToken(ADlg, "string");
    EXPECT_EQ(ADlg.lsCustomAttrs->count(), 0);
    SelectToken(ADlg, "number");
    ASSERT_EQ(ADlg.lsCustomAttrs->count(), 1);
    ADlg.lsCustomAttrs->setCurrentRow(0);
    EXPECT_EQ(ADlg.edCustomAttrValue->text(), "4");
    QTest::mouseClick(ADlg.btnCustomMinus, Qt::LeftButton);
    EXPECT_EQ(ADlg.lsCustomAttrs->count(), 0);
    EXPECT_FALSE(ADlg.Model().FindTokenNode(u"number")->FirstChildElementNamed(u"CustomAttributes"));
  });
  EXPECT_TRUE(run.Ok && run.Driven);
  EXPECT_EQ(ui.Texts(TUiCall::Error), (std::vector<QString>{"Custom attribute name should be unique",
                                                            "Custom attribute name should be a valid XML name"}));
  EXPECT_TRUE(ui.AllAnswersUsed());
}

TEST(ColorSchemeDialog, LoadErrors) {
  TDocFixture f;
  TScriptedUiServices ui;
  try {
    ExecuteColorSchemeDlg(f.Doc, u"nope", u"");
    ADD_FAILURE() << "opened";
  } catch (const EKivColorSchemeLoadError& e) {
    EXPECT_EQ(e.Message(), u"Can't find color scheme 'nope'");
  }
  f.Doc.ColorSchemes().FindItem(u"empty")->Scheme().SetText(u"<foo/>");  // not active: not applied
  try {
    ExecuteColorSchemeDlg(f.Doc, u"empty", u"");
    ADD_FAILURE() << "opened";
  } catch (const EKivEditBadColorSchemeXml& e) {
    EXPECT_EQ(e.Message().rfind(u"Error while loading color scheme 'empty': ", 0), 0u);
  }
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(ColorSchemeDialog, LoadAndSaveFiles) {
  TDocFixture f;
  TScriptedUiServices ui;
  const QString dir = QDir::tempPath() + QStringLiteral("/kiv_colorscheme_") + QString::number(QApplication::applicationPid());
  QDir().mkpath(dir);
  const QString saved = dir + QStringLiteral("/saved.xml");
  const QString bad = dir + QStringLiteral("/bad.xml");
  {
    QFile file(bad);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<foo/>");
  }
  ui.AnswerFile(true, saved);
  ui.AnswerFile(true, bad);
  ui.AnswerFile(true, dir + QStringLiteral("/missing.xml"));
  ui.AnswerFile(true, saved);
  ui.AnswerFile(true, saved);
  // A UTF-16 file with its byte-order mark.
  const QString utf16 = dir + QStringLiteral("/utf16.xml");
  {
    QFile file(utf16);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const QString text = QStringLiteral("<Attributes><Token name=\"gr\u00F6\u00DFe\" textColor=\"#abcdef\"/></Attributes>");
    file.write("\xFF\xFE", 2);
    file.write(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
  }
  ui.AnswerFile(true, utf16);
  TRun run2 = RunDlg(f.Doc, u"default", [&](TKivSedColorSchemeDlg& ADlg) {
    QTest::mouseClick(ADlg.Button4, Qt::LeftButton);
    const TKivString xml = ADlg.Model().SchemeXml();
    const int count = ADlg.lsTokens->count();
    QTest::mouseClick(ADlg.Button3, Qt::LeftButton);  // bad.xml
    QTest::mouseClick(ADlg.Button3, Qt::LeftButton);  // missing
    EXPECT_EQ(ADlg.Model().SchemeXml(), xml);
    EXPECT_EQ(ADlg.lsTokens->count(), count);
    QTest::mouseClick(ADlg.Button3, Qt::LeftButton);  // saved.xml, twice
    QTest::mouseClick(ADlg.Button3, Qt::LeftButton);
    EXPECT_EQ(ADlg.lsTokens->count(), count);
    EXPECT_EQ(ADlg.cbColor->count(), 18);
    EXPECT_EQ(ADlg.cbBgColor->count(), 18);
    QTest::mouseClick(ADlg.Button3, Qt::LeftButton);  // utf16.xml
    ASSERT_EQ(ADlg.lsTokens->count(), 1);
    EXPECT_EQ(ADlg.lsTokens->item(0)->text(), QString::fromUtf8("gr\xC3\xB6\xC3\x9F" "e"));
    EXPECT_EQ(ADlg.cbColor->currentIndex(), 1);
    EXPECT_EQ(TKivSedColorSchemeDlg::ColorBoxText(ADlg.cbColor, 1), "#ABCDEF");
  }, false);
  EXPECT_TRUE(run2.Driven);
  const auto errors = ui.Texts(TUiCall::Error);
  ASSERT_EQ(errors.size(), 2u);
  EXPECT_TRUE(errors[0].startsWith("Error while loading color scheme 'default': ")) << errors[0].toStdString();
  EXPECT_TRUE(QFile::exists(saved));
  QDir(dir).removeRecursively();
}

TEST(ColorSchemeDialog, ExamplesFollowTheScheme) {
  TDocFixture f;
  TScriptedUiServices ui;
  TRun run = RunDlg(f.Doc, u"default", [](TKivSedColorSchemeDlg& ADlg) {
    TKivEditDocument& pascal = *ADlg.DocPascal;
    EXPECT_EQ(ADlg.ViewExample->Document(), &pascal);
    ASSERT_EQ(pascal.Lines().Get(0), u"unit Example;");
    TKivEditAttributes unit = TokenAt(pascal, 0, 1);
    EXPECT_TRUE(unit.AttributesSet & asFontStyle);
    EXPECT_NE(unit.TextColor, KivRGB(255, 0, 0));
    SelectToken(ADlg, "keyword");
    ChooseColorItem(ADlg.cbColor, "Red");
    unit = TokenAt(pascal, 0, 1);
    ASSERT_TRUE(unit.AttributesSet & asTextColor);
    EXPECT_EQ(unit.TextColor, KivRGB(255, 0, 0));
    // The HTML page follows the same scheme and is shown when chosen.
    ChooseColorItem(ADlg.cbExample, "HTML");
    EXPECT_EQ(ADlg.ViewExample->Document(), ADlg.DocHtml.get());
    EXPECT_EQ(ADlg.DocHtml->ColorSchemes()[0].Scheme().Text(), pascal.ColorSchemes()[0].Scheme().Text());
  });
  EXPECT_TRUE(run.Ok && run.Driven);
  EXPECT_NE(f.Text(u"default").find(u"name=\"keyword\" textColor=\"Red\" fontStyle=\"bold\""), TKivString::npos);
  EXPECT_EQ(ui.Count(TUiCall::Error), 0);
}

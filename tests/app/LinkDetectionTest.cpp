// Link detection on mouse-down: the two expressions, what a word reports, and presses in the
// main window's view on the sample and on a scratch document.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <vector>

#include "AppTestKit.h"
#include "VornishLinks.h"

namespace {

TEST(LinkExpressions, AreWrittenAsTheyStand) {
  EXPECT_EQ(KivEmailExpression.size(), 93u);
  EXPECT_EQ(KivLinkExpression.size(), 115u);
  EXPECT_EQ(KivLinkExpression.back(), u' ');
  EXPECT_EQ(KivEmailExpression.substr(0, 6), u"(?ix) ");
}

TEST(LinkExpressions, WhatAWordReports) {
  struct TCase {
    const char16_t* Word;
    const char* Message;  // empty: nothing
  };
  const std::vector<TCase> cases{
      {u"support@vornish.example.com", "Email found: support@vornish.example.com"},
      {u"user@host", "Email found: user@host"},
      {u"mailto:a.b@c.de", "Email found: mailto:a.b@c.de"},
      {u"(a@b.c)", "Email found: (a@b.c)"},
      // The dialect folds the case of literals but not of ranges: "i" lets "HTTPS" match, while
      // [a-z] takes no capital, so an address in capitals is no address.
      {u"USER@HOST.ORG", ""},
      {u"John@Host.org", "Email found: John@Host.org"},
      {u"http://www.vornish.example.com/demo/barchart.html",
       "Hiperlink found: http://www.vornish.example.com/demo/barchart.html"},
      {u"ftp://files.example.org/pub", "Hiperlink found: ftp://files.example.org/pub"},
      {u"HTTPS://a.b", "Hiperlink found: HTTPS://a.b"},
      {u"http://localhost", ""},
      {u"http://", ""},
      {u"int", ""},
      {u"@", ""},
      {u"a@", "Email found: a@"},  // the whole domain part is optional
      {u"", ""},
  };
  for (const TCase& c : cases) EXPECT_EQ(U8(KivLinkMessage(c.Word)), c.Message) << U8(c.Word);
}

class LinkClicks : public AppWindowTest {
 protected:
  struct TState {
    TKivPoint Cursor;
    bool SelAvail;
    TKivPoint SelStart, SelEnd;
    QWidget* Focus;
    friend bool operator==(const TState&, const TState&) = default;
  };
  TState State() {
    return {View().CursorPos(), View().SelAvail(), View().SelectionStart(), View().SelectionEnd(),
            QApplication::focusWidget()};
  }
  std::vector<std::string> Infos() {
    std::vector<std::string> res;
    for (const QString& text : Ui.Texts(TUiCall::Info)) res.push_back(text.toStdString());
    return res;
  }
};

// A press on an address shows what was found and stops there: caret, selection and focus stay.
TEST_F(LinkClicks, AddressesInTheSampleAreReportedAndTheClickStops) {
  struct TCase {
    const char16_t* Text;
    Integer Into;  // the character pressed, counted from the text's start
    Qt::MouseButton Button;
    const char* Message;
  };
  const std::vector<TCase> cases{
      {u"support@vornish.example.com", 0, Qt::LeftButton, "Email found: support@vornish.example.com"},
      {u"support@vornish.example.com", 26, Qt::LeftButton, "Email found: support@vornish.example.com"},
      {u"support@vornish.example.com", 7, Qt::RightButton, "Email found: support@vornish.example.com"},
      {u"http://www.vornish.example.com/demo/barchart.html", 10, Qt::LeftButton,
       "Hiperlink found: http://www.vornish.example.com/demo/barchart.html"},
      {u"http://www.vornish.example.com/demo/barchart.html", 45, Qt::MiddleButton,
       "Hiperlink found: http://www.vornish.example.com/demo/barchart.html"},
  };
  View().SetSelectionOffsets(OffsetOf(u"Vornish demo"), OffsetOf(u"Vornish demo") + 7);
  ASSERT_EQ(QApplication::focusWidget(), &View());
  const TState before = State();
  ASSERT_TRUE(before.SelAvail);
  for (const TCase& c : cases) {
    SCOPED_TRACE(U8(c.Text) + " +" + std::to_string(c.Into));
    const size_t infos = Infos().size();
    Click(PointOf(OffsetOf(c.Text) + c.Into), c.Button);
    ASSERT_EQ(Infos().size(), infos + 1);
    EXPECT_EQ(Infos().back(), c.Message);
    EXPECT_TRUE(State() == before) << "caret, selection and focus as before the press";
    EXPECT_FALSE(View().MouseCaptured());
  }
  // With the focus on a button, a press on an address leaves it there.
  Form->btnPrintSetup->setFocus();
  ASSERT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(Form->btnPrintSetup));
  Click(PointOf(OffsetOf(u"support@") + 3));
  EXPECT_EQ(Infos().back(), "Email found: support@vornish.example.com");
  EXPECT_EQ(QApplication::focusWidget(), static_cast<QWidget*>(Form->btnPrintSetup));
  // Elsewhere the press takes the focus, as usual.
  Click(PointOf(OffsetOf(u"int misplaced")));
  EXPECT_EQ(QApplication::focusWidget(), &View());
}

// Elsewhere no box: the view handles the press as usual.
TEST_F(LinkClicks, OtherPlacesShowNothingAndTheViewMovesTheCaret) {
  const Integer intAt = OffsetOf(u"int misplaced");
  const Integer lineEnd = Doc().GetLineEnd(Doc().GetLineByOffset(intAt));
  struct TCase {
    const char* What;
    QPoint Point;
    TKivPoint Caret;  // where the press leaves the caret
  };
  const QPoint intPoint = PointOf(intAt + 1);
  const QPoint blank = PointOf(intAt + 3);
  const QPoint pastEnd = PointOf(lineEnd) + QPoint(120, 0);
  const Integer line = Doc().GetLineByOffset(intAt);
  const std::vector<TCase> cases{
      {"int", intPoint, {1, line}},
      {"a blank", blank, {3, line}},
      {"past the line's end", pastEnd, {-1, line}},  // column checked apart
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    View().SetCursorPos({0, 0});
    Click(c.Point);
    EXPECT_EQ(Ui.Count(TUiCall::Info), 0);
    EXPECT_EQ(View().CursorPos().Y, c.Caret.Y);
    if (c.Caret.X >= 0) EXPECT_NEAR(View().CursorPos().X, c.Caret.X, 1);
    else EXPECT_GT(View().CursorPos().X, lineEnd - Doc().GetLineStart(line));
  }
  // The gutter: no box either.
  View().SetCursorPos({0, 0});
  Click(QPoint(3, intPoint.y()));
  EXPECT_EQ(Ui.Count(TUiCall::Info), 0);
}

TEST_F(LinkClicks, AScratchDocument) {
  struct TCase {
    const char16_t* Line;
    const char* Message;
  };
  const std::vector<TCase> cases{
      {u"user@host", "Email found: user@host"},
      {u"mailto:a.b@c.de", "Email found: mailto:a.b@c.de"},
      {u"ftp://files.example.org/pub", "Hiperlink found: ftp://files.example.org/pub"},
      {u"http://localhost", ""},
      {u"(a@b.c)", "Email found: (a@b.c)"},
      {u"x  see:a@b.c, then", "Email found: see:a@b.c,"},
  };
  TKivEditDocument scratch;
  TKivString text;
  for (const TCase& c : cases) text += TKivString(c.Line) + u"\r\n";
  scratch.Insert(0, text);
  View().SetDocument(&scratch);
  for (size_t i = 0; i < cases.size(); ++i) {
    const TCase& c = cases[i];
    SCOPED_TRACE(U8(c.Line));
    const TKivString line(c.Line);
    // The last word of the line, at its third character.
    const Integer col = Integer(line.find_last_of(u' ') == TKivString::npos ? 0 : line.find_last_of(u' ') + 1);
    const Integer wordAt = Integer(scratch.GetLineStart(Integer(i))) +
                           (line.rfind(u"see:") != TKivString::npos ? Integer(line.find(u"see:")) : col);
    const size_t infos = Ui.Texts(TUiCall::Info).size();
    Click(PointOf(wordAt + 2));
    const auto texts = Ui.Texts(TUiCall::Info);
    if (*c.Message) {
      ASSERT_EQ(texts.size(), infos + 1);
      EXPECT_EQ(texts.back().toStdString(), c.Message);
    } else {
      EXPECT_EQ(texts.size(), infos);
      EXPECT_EQ(View().CursorOffset(), wordAt + 2) << "the view moved the caret";
    }
  }
  View().SetDocument(&Doc());
}

}  // namespace

// Helpers of the main window's tests: a shown window with scripted UI services, the client point
// of a text offset, presses in the view, and runs of a button whose modal window a script drives.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <functional>
#include <memory>
#include <string>

#include "DialogTestSupport.h"
#include "KivSedDocument.h"
#include "KivStrings.h"
#include "VornishMain.h"

inline std::string U8(TKivStringView AText) {
  return KivToUtf8(AText);
}

// A shown, active main window on the sample; every question and box goes to Ui.
class AppWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Form = std::make_unique<TDialogsForm>();
    Form->show();
    Form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
  }
  void TearDown() override {
    // The window never asks on the way out of a test.
    if (Form) Form->Doc->SetModified(false);
    Form.reset();
  }

  TKivEditView& View() { return *Form->View; }
  TKivEditDocument& Doc() { return *Form->Doc; }

  // The middle of the cell of AOffset in the view's client area (the viewport); the offset must
  // be on screen.
  QPoint PointOf(Integer AOffset) {
    TKivRect r;
    EXPECT_TRUE(View().ScrollPosToClient(View().OffsetToScrollPos(AOffset), r)) << AOffset;
    return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
  }
  // The offset of the first occurrence of AText in the document (a test failure when missing).
  Integer OffsetOf(const char16_t* AText) {
    const auto at = Doc().Text().find(AText);
    EXPECT_NE(at, TKivString::npos) << U8(AText);
    return at == TKivString::npos ? 0 : Integer(at);
  }
  // A press and release of AButton at APoint of the view's client area.
  void Click(const QPoint& APoint, Qt::MouseButton AButton = Qt::LeftButton) {
    QTest::mousePress(View().viewport(), AButton, {}, APoint);
    QTest::mouseRelease(View().viewport(), AButton, {}, APoint);
  }
  // Clicks AButton of the window with AScript driving the modal window of class T it opens;
  // true when the window came and was closed.
  template <class T>
  bool ClickWith(QAbstractButton* AButton, std::function<void(T&)> AScript) {
    auto driver = WhenModal<T>(std::move(AScript));
    QTest::mouseClick(AButton, Qt::LeftButton);
    return driver->Done();
  }

  TScriptedUiServices Ui;
  std::unique_ptr<TDialogsForm> Form;
};

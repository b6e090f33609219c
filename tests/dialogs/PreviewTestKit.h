// Stand-ins for the print preview's tests: a renderer whose pages draw their number, scripted
// answers for the user's boxes, and a driver for modal windows.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "KivPrinter.h"
#include "KivUiServices.h"

// APages pages; page n draws "Page <n + 1>" at its content's top-left.
class NumberRenderer : public TKivPrintRendererBase {
 public:
  explicit NumberRenderer(Integer APages) : Pages(APages) {}
  void PreparePages(Integer, Integer, IKivPrintDevice&) override {}
  void FinalizePages() override {}
  Integer GetPagesCount(TKivPrintOperationRange ARange) override { return ARange == orAll ? Pages : 0; }
  void DrawPage(TKivPrintOperationRange, Integer ANum, const TKivPoint& APoint, IKivPrintCanvas& ACanvas) override {
    Drawn.push_back(ANum);
    const TKivString text = u"Page " + KivFromUtf8(std::to_string(ANum + 1));
    ACanvas.Surface().DrawText(APoint, text, nullptr, 0, 0, kivDefaultCharset, {0, 0, 1 << 20, 1 << 20});
  }
  Integer Pages;
  std::vector<Integer> Drawn;
};

// Answers from fields and queues; records every box asked.
class ScriptedUi : public IKivUiServices {
 public:
  ScriptedUi() { FOld = SetKivUiServices(this); }
  ~ScriptedUi() override { SetKivUiServices(FOld); }

  TKivUiButton Question(QWidget*, const QString& AText, TKivUiButtons, TKivUiButton, const QPoint*) override {
    Questions.push_back(AText);
    if (Answers.empty()) return TKivUiButton::No;
    const TKivUiButton answer = Answers.front();
    Answers.pop_front();
    return answer;
  }
  void ErrorBox(QWidget*, const QString& AText) override { Errors.push_back(AText); }
  void InfoBox(QWidget*, const QString& AText) override { Infos.push_back(AText); }
  bool InputBox(QWidget*, const QString&, const QString&, QString&) override { return false; }
  bool ChooseColor(QWidget*, QColor&) override { return false; }
  bool ChooseFont(QWidget*, QFont&) override { return false; }
  bool ChooseOpenFile(QWidget*, const QString&, const QString&, QString&) override { return false; }
  bool ChooseSaveFile(QWidget*, const QString& ACaption, const QString& AFilter, const QString& ADefaultExt,
                      QString& AFileName) override {
    SaveAsked.push_back(ACaption + "|" + AFilter + "|" + ADefaultExt);
    if (SaveName.isEmpty()) return false;
    AFileName = SaveName;
    return true;
  }
  void Beep() override { ++Beeps; }

  std::deque<TKivUiButton> Answers;
  QString SaveName;
  std::vector<QString> Questions, Errors, Infos, SaveAsked;
  int Beeps = 0;

 private:
  IKivUiServices* FOld;
};

// Runs AStep on the modal (or popup) window once a nested event loop shows one.
inline void WhenModal(std::function<void(QWidget*)> AStep, int ATries = 500) {
  QTimer::singleShot(0, [AStep, ATries] {
    QWidget* w = QApplication::activePopupWidget();
    if (!w) w = QApplication::activeModalWidget();
    if (!w) {
      if (ATries > 0) {
        WhenModal(AStep, ATries - 1);
      } else {
        ADD_FAILURE() << "no modal window appeared";
      }
      return;
    }
    AStep(w);
  });
}

// The message of the EKivError AFn raises, or "<no error>".
inline std::string ErrorOf(const std::function<void()>& AFn) {
  try {
    AFn();
  } catch (const EKivError& AError) {
    return AError.what();
  }
  return "<no error>";
}

// Helpers of the dialogs' tests (and of any test that opens a modal window):
//  - TScriptedUiServices: the UI services with scripted answers; every question, box, input,
//    chooser and beep is recorded. It installs itself while it lives.
//  - TModalScript / WhenModal<T>: waits for the active modal widget of class T, runs a QTest
//    script on it, and fails the test instead of hanging when the window does not come or is
//    left open.
#pragma once

#include <gtest/gtest.h>

#include <QColor>
#include <QDialog>
#include <QElapsedTimer>
#include <QFont>
#include <QPointer>
#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "KivUiServices.h"

// ---- scripted UI services ----

// One call of the services as the test sees it.
struct TUiCall {
  enum TKind { Question, Error, Info, Input, Color, Font, OpenFile, SaveFile, Beep };
  TKind Kind;
  QString Text;  // the question's or box's text, the input's prompt, the chooser's caption
};

class TScriptedUiServices : public IKivUiServices {
 public:
  // Installs itself; the destructor restores the services installed before.
  TScriptedUiServices();
  ~TScriptedUiServices() override;
  TScriptedUiServices(const TScriptedUiServices&) = delete;
  TScriptedUiServices& operator=(const TScriptedUiServices&) = delete;

  // Answers, used in order by calls of their kind. A question, input or chooser without a
  // scripted answer fails the test and is answered as cancelled (Cancel, else No).
  void AnswerQuestion(TKivUiButton AAnswer) { FQuestions.push_back(AAnswer); }
  void AnswerInput(bool AOk, const QString& AValue = {}) { FInputs.push_back({AOk, AValue}); }
  void AnswerColor(bool AOk, const QColor& AColor = {}) { FColors.push_back({AOk, AColor}); }
  void AnswerFont(bool AOk, const QFont& AFont = {}) { FFonts.push_back({AOk, AFont}); }
  void AnswerFile(bool AOk, const QString& AFileName = {}) { FFiles.push_back({AOk, AFileName}); }

  // Every call so far, in order.
  const std::vector<TUiCall>& Calls() const { return FCalls; }
  // The texts of the calls of one kind.
  std::vector<QString> Texts(TUiCall::TKind AKind) const;
  int Count(TUiCall::TKind AKind) const { return static_cast<int>(Texts(AKind).size()); }
  // Answers scripted but not used.
  bool AllAnswersUsed() const;

  TKivUiButton Question(QWidget* AParent, const QString& AText, TKivUiButtons AButtons, TKivUiButton ADefault,
                        const QPoint* APlace = nullptr) override;
  void ErrorBox(QWidget* AParent, const QString& AText) override;
  void InfoBox(QWidget* AParent, const QString& AText) override;
  bool InputBox(QWidget* AParent, const QString& ACaption, const QString& APrompt, QString& AValue) override;
  bool ChooseColor(QWidget* AParent, QColor& AColor) override;
  bool ChooseFont(QWidget* AParent, QFont& AFont) override;
  bool ChooseOpenFile(QWidget* AParent, const QString& ACaption, const QString& AFilter,
                      QString& AFileName) override;
  bool ChooseSaveFile(QWidget* AParent, const QString& ACaption, const QString& AFilter,
                      const QString& ADefaultExt, QString& AFileName) override;
  void Beep() override;

 private:
  template <class T>
  struct TAnswer {
    bool Ok;
    T Value;
  };
  IKivUiServices* FPrevious;
  std::vector<TUiCall> FCalls;
  std::deque<TKivUiButton> FQuestions;
  std::deque<TAnswer<QString>> FInputs;
  std::deque<TAnswer<QColor>> FColors;
  std::deque<TAnswer<QFont>> FFonts;
  std::deque<TAnswer<QString>> FFiles;
};

// ---- modal windows ----

// Waits for a modal window and drives it. Create it before the call that runs the window
// modally, keep it alive until that call returned, then check Ran() (the destructor fails the
// test when the script never ran). Polling runs from a timer, so it works inside the window's
// own event loop.
//
// When the window does not become the active modal widget within the timeout, the test fails
// and whatever modal window is open is closed; when the script leaves its window open longer
// than the timeout, the test fails and the window is closed. Nothing blocks for ever.
class TModalScript {
 public:
  // AMatch: the widget is the one to drive (a class test); AScript runs once on it.
  TModalScript(std::function<bool(QWidget&)> AMatch, std::function<void(QWidget&)> AScript, QString AWhat,
               int ATimeoutMs);
  ~TModalScript();
  TModalScript(const TModalScript&) = delete;
  TModalScript& operator=(const TModalScript&) = delete;

  bool Ran() const { return FRan; }
  // The window came, the script ran, and the window closed within the time.
  bool Done() const { return FRan && !FTimedOut && (!FTarget || !FTarget->isVisible()); }
  bool TimedOut() const { return FTimedOut; }

 private:
  void Tick();
  static void CloseModal(QWidget* AWidget);

  std::function<bool(QWidget&)> FMatch;
  std::function<void(QWidget&)> FScript;
  QString FWhat;
  int FTimeoutMs;
  QTimer FTimer;
  QElapsedTimer FClock;
  QPointer<QWidget> FTarget;
  bool FRan = false;
  bool FRunning = false;
  bool FTimedOut = false;
};

// Drives the next active modal widget of class T with AScript (see TModalScript).
template <class T>
std::unique_ptr<TModalScript> WhenModal(std::function<void(T&)> AScript, int ATimeoutMs = 5000) {
  return std::make_unique<TModalScript>(
      [](QWidget& AWidget) { return dynamic_cast<T*>(&AWidget) != nullptr; },
      [script = std::move(AScript)](QWidget& AWidget) { script(dynamic_cast<T&>(AWidget)); },
      QString::fromLatin1(typeid(T).name()), ATimeoutMs);
}

// The top-level widgets that exist now (to check that a call created no window).
int TopLevelWidgetCount();

#include "DialogTestSupport.h"

#include <QApplication>

// ---- scripted UI services ----

TScriptedUiServices::TScriptedUiServices() : FPrevious(SetKivUiServices(this)) {}

TScriptedUiServices::~TScriptedUiServices() {
  SetKivUiServices(FPrevious);
}

std::vector<QString> TScriptedUiServices::Texts(TUiCall::TKind AKind) const {
  std::vector<QString> texts;
  for (const TUiCall& c : FCalls)
    if (c.Kind == AKind) texts.push_back(c.Text);
  return texts;
}

bool TScriptedUiServices::AllAnswersUsed() const {
  return FQuestions.empty() && FInputs.empty() && FColors.empty() && FFonts.empty() && FFiles.empty();
}

TKivUiButton TScriptedUiServices::Question(QWidget*, const QString& AText, TKivUiButtons AButtons,
                                           TKivUiButton, const QPoint*) {
  FCalls.push_back({TUiCall::Question, AText});
  if (FQuestions.empty()) {
    ADD_FAILURE() << "unscripted question: " << AText.toStdString();
    return (AButtons & KivUiButtons(TKivUiButton::Cancel)) ? TKivUiButton::Cancel : TKivUiButton::No;
  }
  const TKivUiButton answer = FQuestions.front();
  FQuestions.pop_front();
  EXPECT_TRUE(AButtons & KivUiButtons(answer))
      << "the scripted answer is not offered: " << AText.toStdString();
  return answer;
}

void TScriptedUiServices::ErrorBox(QWidget*, const QString& AText) {
  FCalls.push_back({TUiCall::Error, AText});
}

void TScriptedUiServices::InfoBox(QWidget*, const QString& AText) {
  FCalls.push_back({TUiCall::Info, AText});
}

bool TScriptedUiServices::InputBox(QWidget*, const QString&, const QString& APrompt, QString& AValue) {
  FCalls.push_back({TUiCall::Input, APrompt});
  if (FInputs.empty()) {
    ADD_FAILURE() << "unscripted input box: " << APrompt.toStdString();
    return false;
  }
  const auto answer = FInputs.front();
  FInputs.pop_front();
  if (answer.Ok) AValue = answer.Value;
  return answer.Ok;
}

bool TScriptedUiServices::ChooseColor(QWidget*, QColor& AColor) {
  FCalls.push_back({TUiCall::Color, {}});
  if (FColors.empty()) {
    ADD_FAILURE() << "unscripted colour chooser";
    return false;
  }
  const auto answer = FColors.front();
  FColors.pop_front();
  if (answer.Ok) AColor = answer.Value;
  return answer.Ok;
}

bool TScriptedUiServices::ChooseFont(QWidget*, QFont& AFont) {
  FCalls.push_back({TUiCall::Font, {}});
  if (FFonts.empty()) {
    ADD_FAILURE() << "unscripted font chooser";
    return false;
  }
  const auto answer = FFonts.front();
  FFonts.pop_front();
  if (answer.Ok) AFont = answer.Value;
  return answer.Ok;
}

bool TScriptedUiServices::ChooseOpenFile(QWidget*, const QString& ACaption, const QString&,
                                         QString& AFileName) {
  FCalls.push_back({TUiCall::OpenFile, ACaption});
  if (FFiles.empty()) {
    ADD_FAILURE() << "unscripted open-file chooser: " << ACaption.toStdString();
    return false;
  }
  const auto answer = FFiles.front();
  FFiles.pop_front();
  if (answer.Ok) AFileName = answer.Value;
  return answer.Ok;
}

bool TScriptedUiServices::ChooseSaveFile(QWidget*, const QString& ACaption, const QString&, const QString&,
                                         QString& AFileName) {
  FCalls.push_back({TUiCall::SaveFile, ACaption});
  if (FFiles.empty()) {
    ADD_FAILURE() << "unscripted save-file chooser: " << ACaption.toStdString();
    return false;
  }
  const auto answer = FFiles.front();
  FFiles.pop_front();
  if (answer.Ok) AFileName = answer.Value;
  return answer.Ok;
}

void TScriptedUiServices::Beep() {
  FCalls.push_back({TUiCall::Beep, {}});
}

// ---- modal windows ----

TModalScript::TModalScript(std::function<bool(QWidget&)> AMatch, std::function<void(QWidget&)> AScript,
                           QString AWhat, int ATimeoutMs)
    : FMatch(std::move(AMatch)),
      FScript(std::move(AScript)),
      FWhat(std::move(AWhat)),
      FTimeoutMs(ATimeoutMs) {
  FTimer.setInterval(5);
  QObject::connect(&FTimer, &QTimer::timeout, [this] { Tick(); });
  FClock.start();
  FTimer.start();
}

TModalScript::~TModalScript() {
  FTimer.stop();
  if (!FRan && !FTimedOut) ADD_FAILURE() << "no modal " << FWhat.toStdString() << " came";
}

void TModalScript::CloseModal(QWidget* AWidget) {
  if (!AWidget) return;
  if (auto* dialog = qobject_cast<QDialog*>(AWidget))
    dialog->reject();
  else
    AWidget->close();
}

void TModalScript::Tick() {
  // The script may run an event loop of its own (a window it opens): no second tick meanwhile.
  if (FRunning) return;
  if (!FRan) {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && FMatch(*modal)) {
      FRan = true;
      FTarget = modal;
      FClock.restart();
      FRunning = true;
      FScript(*modal);
      FRunning = false;
      return;
    }
    if (FClock.elapsed() > FTimeoutMs) {
      FTimedOut = true;
      FTimer.stop();
      ADD_FAILURE() << "no modal " << FWhat.toStdString() << " within " << FTimeoutMs << " ms";
      CloseModal(modal);
    }
    return;
  }
  if (!FTarget || !FTarget->isVisible()) {
    FTarget = nullptr;
    FTimer.stop();
    return;
  }
  if (FClock.elapsed() > FTimeoutMs) {
    FTimedOut = true;
    FTimer.stop();
    ADD_FAILURE() << "the script left its " << FWhat.toStdString() << " open";
    CloseModal(FTarget);
    FTarget = nullptr;
  }
}

int TopLevelWidgetCount() {
  return static_cast<int>(QApplication::topLevelWidgets().size());
}

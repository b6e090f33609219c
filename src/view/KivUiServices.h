// The one replaceable seam between the editor's widgets and the user's modal boxes: questions,
// error boxes, input boxes, the colour, font and file choosers, and the beep. The view, the
// dialogs, the print preview and the demo window ask through it and never open a QMessageBox or
// a QFileDialog of their own, so a program (or a test) that installs its own services answers
// every question the library asks, and nothing blocks.
//
// The default services use Qt's standard boxes, captioned with the application's name.
#pragma once

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>
#include <cstdint>

class QWidget;

// The buttons of a question, and the answer it got (closing the box answers its escape button:
// Cancel when offered, else No).
enum class TKivUiButton : uint8_t { Yes = 1, No = 2, Cancel = 4, Ok = 8 };
using TKivUiButtons = uint8_t;
constexpr TKivUiButtons KivUiButtons(TKivUiButton A) { return static_cast<TKivUiButtons>(A); }
constexpr TKivUiButtons operator|(TKivUiButton A, TKivUiButton B) {
  return static_cast<TKivUiButtons>(static_cast<uint8_t>(A) | static_cast<uint8_t>(B));
}
constexpr TKivUiButtons operator|(TKivUiButtons A, TKivUiButton B) {
  return static_cast<TKivUiButtons>(A | static_cast<uint8_t>(B));
}

class IKivUiServices {
 public:
  virtual ~IKivUiServices() = default;

  // A question with the buttons given (at least one). APlace, when given, is the box's top-left
  // corner in global (screen) coordinates; otherwise the box is centred on AParent's window.
  virtual TKivUiButton Question(QWidget* AParent, const QString& AText, TKivUiButtons AButtons,
                                TKivUiButton ADefault, const QPoint* APlace = nullptr) = 0;
  // An error or an information box with one OK button.
  virtual void ErrorBox(QWidget* AParent, const QString& AText) = 0;
  virtual void InfoBox(QWidget* AParent, const QString& AText) = 0;
  // A line of text; false when cancelled (AValue then unchanged).
  virtual bool InputBox(QWidget* AParent, const QString& ACaption, const QString& APrompt,
                        QString& AValue) = 0;
  // Choosers; false when cancelled (the value then unchanged).
  virtual bool ChooseColor(QWidget* AParent, QColor& AColor) = 0;
  virtual bool ChooseFont(QWidget* AParent, QFont& AFont) = 0;
  // AFilter as QFileDialog takes it ("PDF files (*.pdf)"). A save chooser never asks about an
  // existing file itself: the caller asks its own question.
  virtual bool ChooseOpenFile(QWidget* AParent, const QString& ACaption, const QString& AFilter,
                              QString& AFileName) = 0;
  virtual bool ChooseSaveFile(QWidget* AParent, const QString& ACaption, const QString& AFilter,
                              const QString& ADefaultExt, QString& AFileName) = 0;
  virtual void Beep() = 0;
};

// The services in use: the installed ones, or the standard boxes.
IKivUiServices& KivUiServices();
// Installs AServices (not owned; it must outlive its use); null restores the standard boxes.
// Returns the services installed before.
IKivUiServices* SetKivUiServices(IKivUiServices* AServices);

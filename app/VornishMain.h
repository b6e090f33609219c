// The demo application's main window: a document filled with the sample program and the demo's
// schemes, the editor view on it, and two rows of buttons for the editor's dialogs and printing.
#pragma once

#include <QSize>
#include <QString>
#include <QWidget>
#include <memory>

#include "KivSedView.h"

class QPushButton;
class QToolButton;
class TKivEditDocument;

class TDialogsForm : public QWidget {
 public:
  // The window as it starts: caption, position and client size, the document, the view and the
  // buttons. Not shown yet.
  explicit TDialogsForm(QWidget* AParent = nullptr);
  ~TDialogsForm() override;
  TDialogsForm(const TDialogsForm&) = delete;
  TDialogsForm& operator=(const TDialogsForm&) = delete;

  // The window's place and size at start-up (the client area) and its smallest outer size.
  static constexpr int KLeft = 220;
  static constexpr int KTop = 162;
  static constexpr int KClientWidth = 661;
  static constexpr int KClientHeight = 457;
  static constexpr int KMinWidth = 591;
  static constexpr int KMinHeight = 476;
  // The view keeps this height at the bottom edge, spanning the width.
  static constexpr int KViewHeight = 385;

  // The smallest client area inside a frame of the given total width and height (the frame's
  // left and right parts together, its caption, top and bottom parts together).
  static QSize MinimumClientSize(int AFrameWidth, int AFrameHeight);

  // Created first and freed last: the view refers to it.
  const std::unique_ptr<TKivEditDocument> Doc;
  TKivEditView* View = nullptr;
  // First row: flat buttons outside the tab order.
  QToolButton* btnFind = nullptr;
  QToolButton* btnReplace = nullptr;
  QToolButton* btnGoto = nullptr;
  QToolButton* btnKeybindings = nullptr;
  QToolButton* btnColorSchemes = nullptr;
  QToolButton* btnSyntax = nullptr;
  // Second row: push buttons, in the tab order after the view.
  QPushButton* btnPrintSetup = nullptr;
  QPushButton* btnPageSetup = nullptr;
  QPushButton* btnPrintPreview = nullptr;
  QPushButton* btnPrint = nullptr;

 protected:
  void resizeEvent(QResizeEvent* AEvent) override;
  void showEvent(QShowEvent* AEvent) override;
  void moveEvent(QMoveEvent* AEvent) override;

 private:
  void FillDocument();
  void CreateButtons();
  void PlaceView();
  void UpdateMinimumSize();
};

// Renders AWindow as it would appear on screen (its client area) into a PNG file. The file is
// replaced only when the whole picture was written. Returns an empty string on success, else
// what went wrong.
QString KivSaveWindowPicture(QWidget& AWindow, const QString& AFileName);

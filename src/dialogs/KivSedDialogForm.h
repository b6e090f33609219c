// The base of the editor's modal windows: a QDialog in the system's message font, centred on
// the window of its parent, whose handlers run guarded. No exception leaves an event or a button
// handler of the window: what a handler raises goes to the view's error display
// (TKivCustomEditView::ShowError), and the window stays open and usable.
#pragma once

#include <QAbstractButton>
#include <QDialog>
#include <functional>

#include "KivSedView.h"

class TKivSedDialogForm : public QDialog {
 public:
  // AParent: the window the dialog is centred on (its top-level window is taken), or none.
  explicit TKivSedDialogForm(QWidget* AParent = nullptr);

  // Connects AFn to AButton's click; AFn runs guarded.
  void OnClick(QAbstractButton* AButton, std::function<void()> AFn);
  // Runs AFn guarded: false when it raised (the error was shown).
  bool RunGuarded(const std::function<void()>& AFn) { return TKivCustomEditView::RunGuarded(this, AFn); }

 protected:
  bool event(QEvent* AEvent) override;
};

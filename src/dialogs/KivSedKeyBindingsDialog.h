// The key bindings window ("Keybindings editor"): the editable commands of a view in a tree by
// category, the bindings of the selected command, and a field that captures a new one- or
// two-stroke binding from the keyboard. Adding a binding another command uses moves it after a
// question; a command, or all of them, can go back to the defaults. Everything happens in the
// window's model (KivSedKeyBindingsModel.h) until the window closes with "Ok"; then the view's
// custom key bindings are rebuilt from it.
//
// The capture field translates keys with the view's own key unit (KivSedKeys.h), so a binding
// captured here fires in the view. It takes every key but Enter and Esc (which keep their
// meaning for the window), Tab included; modifiers alone and keys pressed with Meta change
// nothing. Questions go through the UI services (KivUiServices.h).
#pragma once

#include <QLineEdit>
#include <functional>
#include <map>

#include "KivSedDialogForm.h"
#include "KivSedKeyBindingsModel.h"

class QLabel;
class QListWidget;
class QPushButton;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;

// The capture field: every key press goes to OnKey as a shortcut instead of editing the text.
class TKivBindingEdit : public QLineEdit {
 public:
  explicit TKivBindingEdit(QWidget* AParent = nullptr);
  std::function<void(TKivShortcut)> OnKey;

 protected:
  bool event(QEvent* AEvent) override;
  void keyPressEvent(QKeyEvent* AEvent) override;
  void keyReleaseEvent(QKeyEvent* AEvent) override;
  void inputMethodEvent(QInputMethodEvent* AEvent) override;
};

class TKivSedKeyBindingsDlg : public TKivSedDialogForm {
 public:
  explicit TKivSedKeyBindingsDlg(QWidget* AParent = nullptr);

  // Fills the tree from AView's lists; the view is kept for ApplyBindings.
  void SetView(TKivCustomEditView& AView);
  TKivCustomEditView* View() const { return FView; }
  TKivKeyBindingsModel& Model() { return FModel; }

  // The list of the selected node's bindings; empties the capture field.
  void RefreshBindingList();
  void UpdateButtons();
  // The data of the selected tree node (none for a category or nothing).
  TNodeData* SelectedNode() const;
  // The tree item of a command's description, or none.
  QTreeWidgetItem* FindCommandItem(const QString& ADescr) const;
  // Rebuilds the view's custom key bindings from the tree (errors pass to the caller).
  void ApplyBindings();

  // The captured strokes (0 when none).
  TKivShortcut CurrentSc() const { return FCurrentSc; }
  TKivShortcut CurrentSc2() const { return FCurrentSc2; }

  QTreeWidget* trCommands;
  QSplitter* Splitter1;
  QLabel* lbCurrentBinding;
  QListWidget* lsBindings;
  QLabel* lbNewBinding;
  TKivBindingEdit* edCurrentBinding;
  QPushButton* btnAddBinding;
  QPushButton* btnDeleteBinding;
  QPushButton* btnClearBinding;
  QPushButton* btnResetDefault;
  QPushButton* btnResetAll;
  QPushButton* btnOk;
  QPushButton* btnCancel;

 protected:
  bool eventFilter(QObject* AObject, QEvent* AEvent) override;

 private:
  void BuildCommandTree();
  void Capture(TKivShortcut AShortcut);
  void ClearCapture();
  void AddBindingClick();
  void DeleteBindingClick();
  void ResetDefaultClick();
  void ResetAllClick();
  // Asks AText (with plain line breaks); true for Yes.
  bool Confirm(const TKivString& AText);

  TKivKeyBindingsModel FModel;
  std::map<const QTreeWidgetItem*, TNodeData*> FNodes;
  TKivCustomEditView* FView = nullptr;
  TKivShortcut FCurrentSc = 0;
  TKivShortcut FCurrentSc2 = 0;
};

// Creates the window on AView's window, calls AHook with it when given, fills it from the view
// and runs it modally. On "Ok" the view's custom key bindings are rebuilt (an error of that
// passes to the caller, the list then unchanged). True exactly when the window closed with "Ok".
bool ShowKeyBindingsDialog(TKivCustomEditView& AView,
                           const std::function<void(TKivSedKeyBindingsDlg&)>& AHook = {});

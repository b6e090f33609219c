// The key bindings window on its model.
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "KivLayoutTypes.h"
#include "KivSedKeyBindingsDialog.h"
#include "KivSedKeys.h"
#include "KivUiServices.h"

namespace {

QString Q(const TKivString& AText) {
  return QString::fromStdU16String(AText);
}

bool IsDialogKey(int AKey) {
  return AKey == Qt::Key_Return || AKey == Qt::Key_Enter || AKey == Qt::Key_Escape;
}

}  // namespace

// ---- the capture field ----

TKivBindingEdit::TKivBindingEdit(QWidget* AParent) : QLineEdit(AParent) {
  // Reached by a click only: Tab inside it is a key to capture.
  setFocusPolicy(Qt::ClickFocus);
  setAttribute(Qt::WA_InputMethodEnabled, false);
  setContextMenuPolicy(Qt::NoContextMenu);
  setAcceptDrops(false);
  setDragEnabled(false);
}

bool TKivBindingEdit::event(QEvent* AEvent) {
  if (AEvent->type() == QEvent::ShortcutOverride) {
    // Every key but the dialog's own comes here rather than to a shortcut or mnemonic.
    auto* key = static_cast<QKeyEvent*>(AEvent);
    if (IsDialogKey(key->key()))
      key->ignore();
    else
      key->accept();
    return true;
  }
  if (AEvent->type() == QEvent::KeyPress) {
    // Tab and Backtab would move the focus before keyPressEvent sees them.
    auto* key = static_cast<QKeyEvent*>(AEvent);
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
      keyPressEvent(key);
      return true;
    }
  }
  return QLineEdit::event(AEvent);
}

void TKivBindingEdit::keyPressEvent(QKeyEvent* AEvent) {
  if (IsDialogKey(AEvent->key())) {
    AEvent->ignore();
    return;
  }
  AEvent->accept();
  if (AEvent->modifiers().testFlag(Qt::MetaModifier)) return;
  const TKivShortcut sc = KivShortcutOfEvent(*AEvent);
  if (sc == 0 || KivIsModifierKey(KivShortcutKey(sc))) return;
  if (OnKey) OnKey(sc);
}

void TKivBindingEdit::keyReleaseEvent(QKeyEvent* AEvent) {
  AEvent->accept();
}

void TKivBindingEdit::inputMethodEvent(QInputMethodEvent* AEvent) {
  AEvent->accept();
}

// ---- the window ----

TKivSedKeyBindingsDlg::TKivSedKeyBindingsDlg(QWidget* AParent) : TKivSedDialogForm(AParent) {
  setWindowTitle(QStringLiteral("Keybindings editor"));
  setSizeGripEnabled(true);

  trCommands = new QTreeWidget(this);
  trCommands->setHeaderHidden(true);
  trCommands->setEditTriggers(QAbstractItemView::NoEditTriggers);
  trCommands->setSelectionMode(QAbstractItemView::SingleSelection);
  trCommands->setSelectionBehavior(QAbstractItemView::SelectRows);
  trCommands->setMouseTracking(true);
  trCommands->setAttribute(Qt::WA_Hover);
  // The selection stays visible while another control has the focus.
  QPalette pal = trCommands->palette();
  pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
  pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
               pal.color(QPalette::Active, QPalette::HighlightedText));
  trCommands->setPalette(pal);

  auto* panel = new QWidget(this);
  panel->setMinimumSize(331, 257);
  lbCurrentBinding = new QLabel(QStringLiteral("Key bindings"), panel);
  QFont heading = lbCurrentBinding->font();
  heading.setPixelSize(16);
  lbCurrentBinding->setFont(heading);
  lbCurrentBinding->move(32, 12);
  lbCurrentBinding->adjustSize();
  lsBindings = new QListWidget(panel);
  lsBindings->setGeometry(32, 45, 145, 204);
  lsBindings->setSelectionMode(QAbstractItemView::SingleSelection);
  lsBindings->installEventFilter(this);
  lbNewBinding = new QLabel(QStringLiteral("New key binding"), panel);
  lbNewBinding->move(193, 45);
  lbNewBinding->adjustSize();
  edCurrentBinding = new TKivBindingEdit(panel);
  edCurrentBinding->setGeometry(193, 64, 130, edCurrentBinding->sizeHint().height());
  lbNewBinding->setBuddy(edCurrentBinding);
  auto button = [](const QString& AText, QWidget* AParent, QSize ASize) {
    auto* b = new QPushButton(AText, AParent);
    b->setAutoDefault(false);
    b->setFixedSize(ASize.expandedTo(QSize(0, b->sizeHint().height())));
    return b;
  };
  const QSize wide(130, 25), narrow(75, 25);
  btnAddBinding = button(QStringLiteral("&Add binding"), panel, wide);
  btnAddBinding->move(193, 95);
  btnDeleteBinding = button(QStringLiteral("&Delete binding"), panel, wide);
  btnDeleteBinding->move(193, 126);
  btnClearBinding = button(QStringLiteral("&Clear"), panel, wide);
  btnClearBinding->move(193, 191);
  btnResetDefault = button(QStringLiteral("&Reset to defaults"), panel, wide);
  btnResetDefault->move(193, 224);

  Splitter1 = new QSplitter(Qt::Horizontal, this);
  Splitter1->setHandleWidth(8);
  Splitter1->setChildrenCollapsible(false);
  Splitter1->addWidget(trCommands);
  Splitter1->addWidget(panel);
  Splitter1->setStretchFactor(1, 1);
  Splitter1->setSizes({200, 361});

  auto* bottom = new QWidget(this);
  bottom->setFixedHeight(45);
  btnResetAll = button(QStringLiteral("Reset a&ll to defaults"), bottom, wide);
  btnOk = button(QStringLiteral("Ok"), bottom, narrow);
  btnCancel = button(QStringLiteral("Cancel"), bottom, narrow);
  btnOk->setDefault(true);
  auto* row = new QHBoxLayout(bottom);
  row->setContentsMargins(32, 0, 0, 0);
  row->addWidget(btnResetAll);
  row->addStretch(1);
  row->addWidget(btnOk);
  row->addWidget(btnCancel);

  auto* main = new QVBoxLayout(this);
  main->setContentsMargins(8, 8, 8, 8);
  main->setSpacing(0);
  main->addWidget(Splitter1, 1);
  main->addWidget(bottom);
  setMinimumWidth(490);
  resize(QSize(577, 334).expandedTo(minimumSizeHint()));

  edCurrentBinding->OnKey = [this](TKivShortcut ASc) { RunGuarded([&] { Capture(ASc); }); };
  connect(trCommands, &QTreeWidget::currentItemChanged, this,
          [this] { RunGuarded([this] { RefreshBindingList(); }); });
  connect(lsBindings, &QListWidget::itemSelectionChanged, this, [this] { UpdateButtons(); });
  OnClick(btnAddBinding, [this] { AddBindingClick(); });
  OnClick(btnDeleteBinding, [this] { DeleteBindingClick(); });
  OnClick(btnClearBinding, [this] { ClearCapture(); });
  OnClick(btnResetDefault, [this] { ResetDefaultClick(); });
  OnClick(btnResetAll, [this] { ResetAllClick(); });
  OnClick(btnOk, [this] { accept(); });
  OnClick(btnCancel, [this] { reject(); });
  UpdateButtons();
}

void TKivSedKeyBindingsDlg::SetView(TKivCustomEditView& AView) {
  FView = &AView;
  BuildCommandTree();
}

void TKivSedKeyBindingsDlg::BuildCommandTree() {
  FModel.BuildCommandTree(FView->GetDefaultKeyBindings(), FView->CustomKeyBindings());
  const QSignalBlocker block(trCommands);
  trCommands->clear();
  FNodes.clear();
  for (const TKeyBindingsCategory& cat : FModel.Categories()) {
    auto* top = new QTreeWidgetItem(trCommands, QStringList{Q(cat.Name)});
    for (const auto& node : cat.Nodes) {
      auto* item = new QTreeWidgetItem(top, QStringList{Q(node->Descr())});
      FNodes[item] = node.get();
    }
  }
  trCommands->expandAll();
  RefreshBindingList();
}

TNodeData* TKivSedKeyBindingsDlg::SelectedNode() const {
  const auto it = FNodes.find(trCommands->currentItem());
  return it == FNodes.end() ? nullptr : it->second;
}

QTreeWidgetItem* TKivSedKeyBindingsDlg::FindCommandItem(const QString& ADescr) const {
  for (const auto& [item, node] : FNodes)
    if (Q(node->Descr()) == ADescr) return const_cast<QTreeWidgetItem*>(item);
  return nullptr;
}

void TKivSedKeyBindingsDlg::RefreshBindingList() {
  {
    const QSignalBlocker block(lsBindings);
    lsBindings->clear();
    if (const TNodeData* node = SelectedNode())
      for (const auto& b : node->Bindings())
        lsBindings->addItem(Q(ShortcutPairToText(b->Shortcut(), b->Shortcut2())));
  }
  ClearCapture();
}

void TKivSedKeyBindingsDlg::UpdateButtons() {
  const bool command = SelectedNode() != nullptr;
  lsBindings->setEnabled(command);
  edCurrentBinding->setEnabled(command);
  btnResetDefault->setEnabled(command);
  const bool add = command && !edCurrentBinding->text().trimmed().isEmpty();
  btnAddBinding->setEnabled(add);
  btnClearBinding->setEnabled(add);
  btnDeleteBinding->setEnabled(command && !lsBindings->selectedItems().isEmpty());
}

void TKivSedKeyBindingsDlg::Capture(TKivShortcut AShortcut) {
  if (FCurrentSc == 0 || FCurrentSc2 != 0) {
    FCurrentSc = AShortcut;
    FCurrentSc2 = 0;
  } else {
    FCurrentSc2 = AShortcut;
  }
  edCurrentBinding->setText(Q(ShortcutPairToText(FCurrentSc, FCurrentSc2)));
  edCurrentBinding->deselect();
  edCurrentBinding->setCursorPosition(int(edCurrentBinding->text().size()));
  UpdateButtons();
}

void TKivSedKeyBindingsDlg::ClearCapture() {
  FCurrentSc = 0;
  FCurrentSc2 = 0;
  edCurrentBinding->clear();
  UpdateButtons();
}

bool TKivSedKeyBindingsDlg::Confirm(const TKivString& AText) {
  QString text = Q(AText);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return KivUiServices().Question(this, text, TKivUiButton::Yes | TKivUiButton::No, TKivUiButton::Yes) ==
         TKivUiButton::Yes;
}

void TKivSedKeyBindingsDlg::AddBindingClick() {
  TNodeData* node = SelectedNode();
  const QString text = edCurrentBinding->text().trimmed();
  if (!node || text.isEmpty()) {
    UpdateButtons();
    return;
  }
  // The captured strokes are what the field shows; they also tell keypad digits from the others.
  auto [sc, sc2] =
      FCurrentSc != 0 ? std::pair(FCurrentSc, FCurrentSc2) : TextToShortcutPair(text.toStdU16String());
  if (sc == 0) {
    UpdateButtons();
    return;
  }
  const TKivString question = FModel.AddQuestion(*node, sc, sc2, text.toStdU16String());
  if (!question.empty() && !Confirm(question)) return;
  FModel.AddBinding(*node, sc, sc2);
  RefreshBindingList();
  UpdateButtons();
}

void TKivSedKeyBindingsDlg::DeleteBindingClick() {
  TNodeData* node = SelectedNode();
  const int row = lsBindings->currentRow();
  if (!node || lsBindings->selectedItems().isEmpty() || row < 0 || row >= int(node->Bindings().size()))
    return;
  // The list shows the node's bindings in its order: the row is the binding.
  node->RemoveBinding(node->Bindings()[size_t(row)].get());
  RefreshBindingList();
  if (lsBindings->count() > 0) lsBindings->setCurrentRow(std::min(row, lsBindings->count() - 1));
  UpdateButtons();
}

void TKivSedKeyBindingsDlg::ResetDefaultClick() {
  TNodeData* node = SelectedNode();
  if (!node) return;
  const TKivString question = FModel.ResetQuestion(*node);
  if (!question.empty() && !Confirm(question)) return;
  FModel.ResetToDefaults(*node);
  RefreshBindingList();
}

void TKivSedKeyBindingsDlg::ResetAllClick() {
  FModel.ResetAll();
  RefreshBindingList();
}

void TKivSedKeyBindingsDlg::ApplyBindings() {
  if (!FView) throw EKivEditViewError(u"View property should be assigned for this method");
  FModel.ApplyBindings(FView->CustomKeyBindings());
}

bool TKivSedKeyBindingsDlg::eventFilter(QObject* AObject, QEvent* AEvent) {
  if (AObject == lsBindings && AEvent->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(AEvent)->key();
    if ((key == Qt::Key_Delete || key == Qt::Key_Backspace) && !lsBindings->selectedItems().isEmpty()) {
      RunGuarded([this] { DeleteBindingClick(); });
      return true;
    }
  }
  return TKivSedDialogForm::eventFilter(AObject, AEvent);
}

bool ShowKeyBindingsDialog(TKivCustomEditView& AView,
                           const std::function<void(TKivSedKeyBindingsDlg&)>& AHook) {
  TKivSedKeyBindingsDlg dlg(&AView);
  if (AHook) AHook(dlg);
  dlg.SetView(AView);
  const bool ok = dlg.exec() == QDialog::Accepted;
  if (ok) dlg.ApplyBindings();
  return ok;
}

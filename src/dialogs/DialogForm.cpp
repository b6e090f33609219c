#include <QFontDatabase>

#include "KivSedDialogForm.h"

TKivSedDialogForm::TKivSedDialogForm(QWidget* AParent)
    : QDialog(AParent ? AParent->window() : nullptr,
              Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
}

void TKivSedDialogForm::OnClick(QAbstractButton* AButton, std::function<void()> AFn) {
  QObject::connect(AButton, &QAbstractButton::clicked, this, [this, fn = std::move(AFn)] { RunGuarded(fn); });
}

bool TKivSedDialogForm::event(QEvent* AEvent) {
  bool result = true;
  RunGuarded([&] { result = QDialog::event(AEvent); });
  return result;
}

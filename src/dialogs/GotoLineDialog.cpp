#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <algorithm>

#include "KivErrors.h"
#include "KivSedGotoLineDialog.h"

Integer KivDecimalDigits(Integer ACount) {
  Integer digits = 1;
  for (Integer n = ACount; n >= 10; n /= 10) ++digits;
  return digits;
}

TKivSedGotoLineDlg::TKivSedGotoLineDlg(Integer ALineCount, QWidget* AParent)
    : TKivSedDialogForm(AParent), FLineCount(ALineCount) {
  if (ALineCount < 0) throw EInvalidArgument(u"Invalid line count: %d", {ALineCount});
  setWindowTitle(QStringLiteral("Go to line"));
  lblCaption = new QLabel(QStringLiteral("Go to line: "), this);
  edtLine = new QLineEdit(this);
  // Digits only, as many as the count has: typed or pasted text with anything else is refused,
  // extra digits are cut.
  edtLine->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edtLine));
  edtLine->setMaxLength(KivDecimalDigits(ALineCount));
  lblCaption->setBuddy(edtLine);
  btnOk = new QPushButton(QStringLiteral("OK"), this);
  Button1 = new QPushButton(QStringLiteral("Cancel"), this);
  btnOk->setDefault(true);
  btnOk->setAutoDefault(true);
  Button1->setAutoDefault(false);
  const QSize button(75, 25);
  btnOk->setMinimumSize(button);
  Button1->setMinimumSize(button);
  OnClick(btnOk, [this] { accept(); });
  OnClick(Button1, [this] { reject(); });

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(16, 16, 16, 12);
  grid->addWidget(lblCaption, 0, 0);
  grid->addWidget(edtLine, 0, 1);
  grid->setColumnStretch(1, 1);
  grid->setRowStretch(1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btnOk);
  buttons->addWidget(Button1);
  grid->addLayout(buttons, 2, 0, 1, 2);
  // A fixed border: the client area keeps its size.
  setFixedSize(QSize(326, 100).expandedTo(minimumSizeHint()));
  edtLine->setFocus();
}

Integer TKivSedGotoLineDlg::ChosenLine() const {
  const QString text = edtLine->text().trimmed();
  if (text.isEmpty()) return -1;
  // The validator lets only digits in; anything else is skipped all the same.
  int64_t n = 0;
  for (const QChar c : text)
    if (c >= u'0' && c <= u'9') n = std::min<int64_t>(n * 10 + (c.unicode() - u'0'), INT64_C(1) << 40);
  const int64_t line = std::max<int64_t>(std::min<int64_t>(n, FLineCount), 1) - 1;
  return static_cast<Integer>(line);
}

bool ShowGotoLineDialog(Integer ALineCount, Integer& ALine, QWidget* AParent) {
  TKivSedGotoLineDlg dlg(ALineCount, AParent);
  ALine = -1;
  const bool ok = dlg.exec() == QDialog::Accepted;
  if (ok) ALine = dlg.ChosenLine();
  return ok;
}

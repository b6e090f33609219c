#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

#include "KivErrors.h"
#include "KivRegExpr.h"
#include "KivSedFindDialog.h"
#include "KivUiServices.h"

namespace {

// The remembered geometry, shared by every run in the process.
TKivSearchDialogGeometry GGeometry;

constexpr int kBorder = 16;
constexpr int kDesignWidth = 473;

QString Q(const TKivString& AText) {
  return QString::fromStdU16String(AText);
}

TKivString K(const QString& AText) {
  return AText.toStdU16String();
}

void LoadHistory(QComboBox* ABox, const std::vector<TKivString>& AItems) {
  ABox->clear();
  ABox->setEditText(QString());
  if (AItems.empty()) return;
  QStringList items;
  items.reserve(static_cast<qsizetype>(AItems.size()));
  for (const TKivString& s : AItems) items.append(Q(s));
  ABox->addItems(items);
  ABox->setCurrentIndex(0);
  ABox->setEditText(items.front());
}

std::vector<TKivString> History(const QComboBox* ABox) {
  std::vector<TKivString> items;
  items.reserve(static_cast<size_t>(ABox->count()));
  for (int i = 0; i < ABox->count(); ++i) items.push_back(K(ABox->itemText(i)));
  return items;
}

// The field's text on top of the list; an entry equal to it but for case goes. The field keeps
// the text as typed.
void PushHistory(QComboBox* ABox) {
  const QString text = ABox->currentText();
  const int found = ABox->findText(text, Qt::MatchFixedString);
  ABox->insertItem(0, text);
  if (found >= 0) ABox->removeItem(found + 1);
  ABox->setEditText(text);
}

QComboBox* NewHistoryBox(QWidget* AParent) {
  auto* box = new QComboBox(AParent);
  box->setEditable(true);
  // The history is the window's own: Enter does not add to it.
  box->setInsertPolicy(QComboBox::NoInsert);
  // Suggestions from the history keep the typed spelling: "Foo" is not completed to "foo".
  box->completer()->setCaseSensitivity(Qt::CaseSensitive);
  box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  box->setMinimumContentsLength(12);
  box->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  return box;
}

QPushButton* NewButton(const QString& AText, QWidget* AParent) {
  auto* button = new QPushButton(AText, AParent);
  button->setMinimumSize(75, 25);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

TKivSearchDialogGeometry KivSearchDialogGeometry() {
  return GGeometry;
}

void KivSetSearchDialogGeometry(const TKivSearchDialogGeometry& AValue) {
  GGeometry = AValue;
}

TKivSedFindDlg::TKivSedFindDlg(QWidget* AParent) : TKivSedDialogForm(AParent) {
  lblTextToSearch = new QLabel(QStringLiteral("&Text to search"), this);
  edTextToSearch = NewHistoryBox(this);
  lblTextToSearch->setBuddy(edTextToSearch);
  lblTextToReplace = new QLabel(QStringLiteral("&Replace with"), this);
  edReplaceText = NewHistoryBox(this);
  lblTextToReplace->setBuddy(edReplaceText);

  grOptions = new QGroupBox(QStringLiteral("Options"), this);
  cbCaseSensitive = new QCheckBox(QStringLiteral("&Case sensitive"), grOptions);
  cbWholeWords = new QCheckBox(QStringLiteral("&Whole words only"), grOptions);
  cbRegexps = new QCheckBox(QStringLiteral("Regular e&xpressions"), grOptions);
  cbConfirmReplace = new QCheckBox(QStringLiteral("&Prompt on replace"), grOptions);
  auto* options = new QGridLayout(grOptions);
  options->addWidget(cbCaseSensitive, 0, 0);
  options->addWidget(cbWholeWords, 1, 0);
  options->addWidget(cbRegexps, 0, 1);
  options->addWidget(cbConfirmReplace, 1, 1);

  grDirection = new QGroupBox(QStringLiteral("Direction"), this);
  cbForward = new QRadioButton(QStringLiteral("Forwar&d"), grDirection);
  cbBackward = new QRadioButton(QStringLiteral("&Backward"), grDirection);
  cbForward->setChecked(true);
  auto* direction = new QVBoxLayout(grDirection);
  direction->addWidget(cbForward);
  direction->addWidget(cbBackward);
  grDirection->setMinimumWidth(122);

  grBounds = new QGroupBox(QStringLiteral("Bounds for replace all"), this);
  cbAllText = new QRadioButton(QStringLiteral("&Global"), grBounds);
  cbSelection = new QRadioButton(QStringLiteral("&Selection"), grBounds);
  cbAllText->setChecked(true);
  auto* bounds = new QVBoxLayout(grBounds);
  bounds->addWidget(cbAllText);
  bounds->addWidget(cbSelection);

  grStartFrom = new QGroupBox(QStringLiteral("Start from"), this);
  cbFromCursor = new QRadioButton(QStringLiteral("&From cursor"), grStartFrom);
  cbFromTextStart = new QRadioButton(QStringLiteral("From text &start/end"), grStartFrom);
  cbFromCursor->setChecked(true);
  auto* start = new QVBoxLayout(grStartFrom);
  start->addWidget(cbFromCursor);
  start->addWidget(cbFromTextStart);

  pnFindButtons = new QWidget(this);
  btnFind = NewButton(QStringLiteral("OK"), pnFindButtons);
  btnFindCancel = NewButton(QStringLiteral("Cancel"), pnFindButtons);
  auto* findRow = new QHBoxLayout(pnFindButtons);
  findRow->setContentsMargins(0, 0, 0, 0);
  findRow->addStretch(1);
  findRow->addWidget(btnFind);
  findRow->addWidget(btnFindCancel);

  pnReplaceButtons = new QWidget(this);
  btnReplace = NewButton(QStringLiteral("OK"), pnReplaceButtons);
  btnReplaceAll = NewButton(QStringLiteral("Replace &All"), pnReplaceButtons);
  btnReplaceCancel = NewButton(QStringLiteral("Cancel"), pnReplaceButtons);
  auto* replaceRow = new QHBoxLayout(pnReplaceButtons);
  replaceRow->setContentsMargins(0, 0, 0, 0);
  replaceRow->addStretch(1);
  replaceRow->addWidget(btnReplace);
  replaceRow->addWidget(btnReplaceAll);
  replaceRow->addWidget(btnReplaceCancel);

  OnClick(btnFind, [this] { btnFindClick(); });
  OnClick(btnReplace, [this] { btnFindClick(); });
  OnClick(btnReplaceAll, [this] { btnReplaceAllClick(); });
  // Enter in a field is OK: the editable lists keep the key from the dialog.
  for (QComboBox* box : {edTextToSearch, edReplaceText})
    QObject::connect(box->lineEdit(), &QLineEdit::returnPressed, this, [this] {
      if (isVisible()) (IsReplace ? btnReplace : btnFind)->click();
    });
  OnClick(btnFindCancel, [this] { reject(); });
  OnClick(btnReplaceCancel, [this] { reject(); });

  auto* main = new QVBoxLayout(this);
  main->setContentsMargins(kBorder, kBorder, kBorder, kBorder / 2);
  auto* texts = new QGridLayout;
  texts->addWidget(lblTextToSearch, 0, 0);
  texts->addWidget(edTextToSearch, 0, 1);
  texts->addWidget(lblTextToReplace, 1, 0);
  texts->addWidget(edReplaceText, 1, 1);
  texts->setColumnStretch(1, 1);
  main->addLayout(texts);
  auto* optionsRow = new QHBoxLayout;
  optionsRow->addWidget(grOptions, 311);
  optionsRow->addWidget(grDirection, 122);
  main->addLayout(optionsRow);
  main->addSpacing(8);
  // The two groups share the row; without the bounds group "Start from" takes all of it.
  auto* rangesRow = new QHBoxLayout;
  rangesRow->addWidget(grBounds, 230);
  rangesRow->addWidget(grStartFrom, 203);
  main->addLayout(rangesRow);
  main->addWidget(pnFindButtons);
  main->addWidget(pnReplaceButtons);

  SetReplaceMode(false);
  edTextToSearch->setFocus();
}

void TKivSedFindDlg::SetSearchOptions(const TKivEditSearchDlgOptions& AOps) {
  LoadHistory(edReplaceText, AOps.Replaces);
  LoadHistory(edTextToSearch, AOps.Searches);
  cbCaseSensitive->setChecked(AOps.Options.Contains(soCaseSensitive));
  cbRegexps->setChecked(AOps.Options.Contains(soRegexp));
  cbWholeWords->setChecked(AOps.Options.Contains(soWholeWords));
  cbConfirmReplace->setChecked(AOps.Options.Contains(soConfirmReplace));
  (AOps.Direction == sdBackward ? cbBackward : cbForward)->setChecked(true);
  (AOps.ReplaceAllBounds == rbSelection ? cbSelection : cbAllText)->setChecked(true);
  (AOps.Start == ssTextStartEnd ? cbFromTextStart : cbFromCursor)->setChecked(true);
}

TKivEditSearchDlgOptions TKivSedFindDlg::GetSearchOptions(bool AForSave) const {
  TKivEditSearchDlgOptions ops;
  if (AForSave) {
    ops.Searches = History(edTextToSearch);
    ops.Replaces = History(edReplaceText);
  } else {
    ops.Searches = {K(edTextToSearch->currentText())};
    ops.Replaces = {K(edReplaceText->currentText())};
  }
  if (cbCaseSensitive->isChecked()) ops.Options.Include(soCaseSensitive);
  if (cbWholeWords->isChecked()) ops.Options.Include(soWholeWords);
  if (cbRegexps->isChecked()) {
    ops.Options.Include(soRegexp);
    ops.Options.Include(soRegexpSubstitute);
  }
  if (cbConfirmReplace->isChecked()) ops.Options.Include(soConfirmReplace);
  ops.Direction = cbBackward->isChecked() ? sdBackward : sdForward;
  ops.Start = cbFromCursor->isChecked() ? ssCursor : ssTextStartEnd;
  ops.ReplaceAllBounds = cbSelection->isChecked() ? rbSelection : rbAllText;
  ops.LastNumberOfReplacements = NumOfReplacements;
  ops.WasReplaceAllChosen = WasReplaceAllChosen;
  return ops;
}

void TKivSedFindDlg::SetReplaceMode(bool AValue) {
  IsReplace = AValue;
  pnFindButtons->setVisible(!AValue);
  pnReplaceButtons->setVisible(AValue);
  lblTextToReplace->setVisible(AValue);
  edReplaceText->setVisible(AValue);
  cbConfirmReplace->setVisible(AValue);
  grBounds->setVisible(AValue);
  btnFind->setDefault(!AValue);
  btnReplace->setDefault(AValue);
}

void TKivSedFindDlg::UpdateHistory() {
  if (!edTextToSearch->currentText().isEmpty()) PushHistory(edTextToSearch);
  PushHistory(edReplaceText);
}

TKivEditSearchArguments TKivSedFindDlg::TakeArgs(bool AWithReplacement) const {
  const TKivEditSearchDlgOptions ops = GetSearchOptions(false);
  TKivEditSearchArguments args;
  args.Search = ops.Searches.front();
  if (AWithReplacement) args.Replace = ops.Replaces.front();
  args.Options = ops.Options;
  args.Direction = ops.Direction;
  args.Start = ops.Start;
  return args;
}

void TKivSedFindDlg::btnFindClick() {
  FArgs = TakeArgs(IsReplace);
  FAction = acFirst;
  accept();
}

void TKivSedFindDlg::btnReplaceAllClick() {
  WasReplaceAllChosen = true;
  FArgs = TakeArgs(true);
  FAction = acReplaceAll;
  accept();
}

TKivEditSearchResult TKivSedFindDlg::RunAction() {
  if (FAction == acNone || !View) return srCancel;
  bool found;
  if (FAction == acReplaceAll)
    found = View->ReplaceAll(FArgs, cbSelection->isChecked() ? rbSelection : rbAllText);
  else if (IsReplace)
    found = View->ReplaceFirst(FArgs);
  else
    found = View->SearchFirst(FArgs);
  if (!found) return srNotFound;
  NumOfReplacements = View->SearchLastNumReplacements();
  return srFound;
}

TKivEditSearchResult ShowSearchDialog(const TKivString& ATitle, TKivCustomEditView* AView, bool AReplaceMode,
                                      TKivEditSearchDlgOptions& AOptions) {
  if (!AView) {
    KivUiServices().Beep();
    return srCancel;
  }
  TKivSedFindDlg dlg(AView);
  dlg.setWindowTitle(Q(ATitle));
  dlg.View = AView;
  dlg.SetSearchOptions(AOptions);
  dlg.SetReplaceMode(AReplaceMode);

  // The first text: the selection, else the word at the cursor, else the history's first entry.
  // A view without a document has neither (its search reports that).
  TKivString first;
  if (AView->Document()) {
    first = AView->SelectedText();
    if (first.empty()) first = AView->GetWordUnderCursor();
  }
  if (!first.empty()) dlg.edTextToSearch->setEditText(Q(first));
  dlg.edTextToSearch->lineEdit()->selectAll();

  // Only the width can change; the height is the one of the mode's rows.
  dlg.layout()->activate();
  const QSize least = dlg.minimumSizeHint();
  const int height = std::max(least.height(), dlg.sizeHint().height());
  dlg.setMinimumWidth(least.width());
  dlg.setFixedHeight(height);
  int width = std::max(kDesignWidth, least.width());
  const TKivSearchDialogGeometry remembered = GGeometry;
  if ((AOptions.Position & spRememberWidth) && remembered.Width > 0)
    width = std::max(remembered.Width, least.width());
  dlg.resize(width, height);
  // A left or top of 0 means none: the window is centred on its parent's window.
  if ((AOptions.Position & spRememberPos) && remembered.Left > 0 && remembered.Top > 0)
    dlg.move(remembered.Left, remembered.Top);

  dlg.exec();

  if (AOptions.Position & spRememberWidth) GGeometry.Width = dlg.width();
  if (AOptions.Position & spRememberPos) {
    GGeometry.Left = dlg.x();
    GGeometry.Top = dlg.y();
  }

  TKivEditSearchResult result = srCancel;
  if (dlg.Action() != TKivSedFindDlg::acNone) {
    // The window is closed: the selection and the view's questions are seen over the editor.
    try {
      result = dlg.RunAction();
    } catch (const EKivRegExprError& e) {
      KivUiServices().ErrorBox(
          AView, QStringLiteral("Error in search expression or substitution string: %1").arg(Q(e.Message())));
      result = srCancel;
    } catch (const EKivError& e) {
      // The view refused (a read-only view): the user sees why, the settings are kept.
      TKivCustomEditView::ShowError(AView, Q(e.Message()));
      result = srCancel;
    } catch (const std::exception& e) {
      TKivCustomEditView::ShowError(AView, QString::fromUtf8(e.what()));
      result = srCancel;
    }
    dlg.UpdateHistory();
  }

  const TKivEditSearchDialogPos position = AOptions.Position;
  AOptions = dlg.GetSearchOptions(true);
  AOptions.Position = position;
  AOptions.LastNumberOfReplacements = dlg.NumOfReplacements;
  return result;
}

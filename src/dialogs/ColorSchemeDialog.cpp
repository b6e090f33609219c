#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "KivSedColorSchemeDialog.h"
#include "KivSedView.h"
#include "KivUiServices.h"
#include "internal/SchemeDialogsData.h"

namespace {

const char* const kFilter = "Schemes (*.xml);;Any files (*)";
constexpr int kItemHeight = 17;
const char* const kPrevIndex = "kivPrevIndex";

QColor ToQColor(TKivColor AColor) {
  const TKivColor rgb = KivResolveColor(AColor);
  return QColor(static_cast<int>(KivRed(rgb)), static_cast<int>(KivGreen(rgb)), static_cast<int>(KivBlue(rgb)));
}

TKivString ToKiv(const QString& AText) {
  return AText.toStdU16String();
}

QString ToQt(TKivStringView AText) {
  return QString::fromUtf16(AText.data(), static_cast<qsizetype>(AText.size()));
}

// Draws a colour box's item: its text 2 pixels from the left (item 1: "Custom...") and a swatch
// at the right end outlined in black and filled with the item's colour (item 0 shows empty).
class TColorItemDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void paint(QPainter* APainter, const QStyleOptionViewItem& AOption, const QModelIndex& AIndex) const override {
    const bool selected = AOption.state & QStyle::State_Selected;
    const QPalette& pal = AOption.palette;
    const QColor back = selected ? pal.color(QPalette::Highlight) : pal.color(QPalette::Base);
    APainter->save();
    APainter->fillRect(AOption.rect, back);
    APainter->setPen(selected ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Text));
    const QRect r = AOption.rect;
    APainter->drawText(r.adjusted(2, 0, -r.height(), 0), Qt::AlignLeft | Qt::AlignTop,
                       AIndex.data(Qt::DisplayRole).toString());
    QColor fill = back;
    if (AIndex.row() > 0) {
      TKivColor c = 0;
      if (TextToColor(ToKiv(AIndex.data(Qt::UserRole).toString()), c)) fill = ToQColor(c);
    }
    const QRect swatch(QPoint(r.right() - r.height() + 2, r.top() + 1), QPoint(r.right() - 1, r.bottom() - 1));
    APainter->setPen(Qt::black);
    APainter->setBrush(fill);
    APainter->drawRect(swatch.adjusted(0, 0, -1, -1));
    APainter->restore();
  }

  QSize sizeHint(const QStyleOptionViewItem& AOption, const QModelIndex& AIndex) const override {
    return QSize(QStyledItemDelegate::sizeHint(AOption, AIndex).width() + kItemHeight, kItemHeight);
  }
};

QComboBox* NewColorBox(QWidget* AParent) {
  auto* box = new QComboBox(AParent);
  box->setItemDelegate(new TColorItemDelegate(box));
  box->setMinimumWidth(175);
  return box;
}

void SetEnabled(std::initializer_list<QWidget*> AWidgets, bool AEnabled) {
  for (QWidget* w : AWidgets) w->setEnabled(AEnabled);
}

}  // namespace

void TKivStyleCheckBox::nextCheckState() {
  setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

template <class F>
void TKivSedColorSchemeDlg::InEvent(F&& AFn) {
  const bool old = FInEvent;
  FInEvent = true;
  try {
    AFn();
  } catch (...) {
    FInEvent = old;
    throw;
  }
  FInEvent = old;
}

TKivSedColorSchemeDlg::TKivSedColorSchemeDlg(QWidget* AParent) : TKivSedDialogForm(AParent) {
  setWindowTitle(QStringLiteral("Color scheme editor"));
  DocPascal = std::make_unique<TKivEditDocument>();
  DocHtml = std::make_unique<TKivEditDocument>();
  KivFillExampleDocument(*DocPascal, 0);
  KivFillExampleDocument(*DocHtml, 1);
  FExamples[0] = DocPascal.get();
  FExamples[1] = DocHtml.get();

  // Token panel.
  auto* tokenPanel = new QWidget(this);
  lblTokens = new QLabel(QStringLiteral("Tokens"), tokenPanel);
  btnPlus = new QToolButton(tokenPanel);
  btnPlus->setText(QStringLiteral("+"));
  btnPlus->setToolTip(QStringLiteral("Add new token"));
  btnMinus = new QToolButton(tokenPanel);
  btnMinus->setText(QStringLiteral("-"));
  btnMinus->setToolTip(QStringLiteral("Remove this token"));
  for (QToolButton* b : {btnPlus, btnMinus}) {
    b->setAutoRaise(true);
    b->setFixedSize(20, 20);
  }
  lsTokens = new QListWidget(tokenPanel);
  lsTokens->setSortingEnabled(true);
  lsTokens->setFrameShape(QFrame::NoFrame);
  lsTokens->installEventFilter(this);
  auto* tokenLayout = new QGridLayout(tokenPanel);
  tokenLayout->setContentsMargins(0, 0, 0, 0);
  tokenLayout->addWidget(lblTokens, 0, 0);
  tokenLayout->addWidget(btnMinus, 0, 1);
  tokenLayout->addWidget(btnPlus, 0, 2);
  tokenLayout->addWidget(lsTokens, 1, 0, 1, 3);
  tokenLayout->setColumnStretch(0, 1);

  // Main attributes page.
  PageControl1 = new QTabWidget(this);
  tsMainAttrs = new QWidget;
  tsCustomAttrs = new QWidget;
  PageControl1->addTab(tsMainAttrs, QStringLiteral("Main attributes"));
  PageControl1->addTab(tsCustomAttrs, QStringLiteral("Custom attributes"));
  lblColors = new QLabel(QStringLiteral("Colors"), tsMainAttrs);
  lblAttributes = new QLabel(QStringLiteral("Attributes"), tsMainAttrs);
  for (QLabel* l : {lblColors, lblAttributes}) {
    QFont f = l->font();
    f.setPixelSize(16);
    l->setFont(f);
  }
  cbColor = NewColorBox(tsMainAttrs);
  cbBgColor = NewColorBox(tsMainAttrs);
  lblColor = new QLabel(QStringLiteral("&Color:"), tsMainAttrs);
  lblColor->setBuddy(cbColor);
  lblBgColor = new QLabel(QStringLiteral("&Background color:"), tsMainAttrs);
  lblBgColor->setBuddy(cbBgColor);
  cbItalic = new TKivStyleCheckBox(QStringLiteral("&Italic"), tsMainAttrs);
  cbBold = new TKivStyleCheckBox(QStringLiteral("Bol&d"), tsMainAttrs);
  cbUnderline = new TKivStyleCheckBox(QStringLiteral("&Underline"), tsMainAttrs);
  cbStrikeout = new TKivStyleCheckBox(QStringLiteral("&StrikeOut"), tsMainAttrs);
  cbFontAttrsDefined = new QCheckBox(QStringLiteral("&Attributes defined"), tsMainAttrs);
  auto* mainLayout = new QGridLayout(tsMainAttrs);
  mainLayout->addWidget(lblColors, 0, 0);
  mainLayout->addWidget(lblColor, 1, 0);
  mainLayout->addWidget(cbColor, 2, 0);
  mainLayout->addWidget(lblBgColor, 3, 0);
  mainLayout->addWidget(cbBgColor, 4, 0);
  mainLayout->addWidget(lblAttributes, 0, 1);
  int row = 1;
  for (QCheckBox* b : {static_cast<QCheckBox*>(cbItalic), static_cast<QCheckBox*>(cbBold),
                       static_cast<QCheckBox*>(cbUnderline), static_cast<QCheckBox*>(cbStrikeout), cbFontAttrsDefined})
    mainLayout->addWidget(b, row++, 1);
  mainLayout->setColumnStretch(2, 1);
  mainLayout->setRowStretch(row, 1);

  // Custom attributes page.
  lblCustomAttrs = new QLabel(QStringLiteral("Custom Attributes"), tsCustomAttrs);
  lsCustomAttrs = new QListWidget(tsCustomAttrs);
  lsCustomAttrs->setMinimumSize(169, 110);
  lsCustomAttrs->installEventFilter(this);
  btnCustomPlus = new QPushButton(QStringLiteral("Add"), tsCustomAttrs);
  btnCustomPlus->setToolTip(QStringLiteral("Add new custom attribute"));
  btnCustomMinus = new QPushButton(QStringLiteral("Remove"), tsCustomAttrs);
  btnCustomMinus->setToolTip(QStringLiteral("Remove this custom attribute"));
  for (QPushButton* b : {btnCustomPlus, btnCustomMinus}) {
    b->setMinimumSize(120, 25);
    b->setAutoDefault(false);
  }
  lblValue = new QLabel(QStringLiteral("Value"), tsCustomAttrs);
  edCustomAttrValue = new QLineEdit(tsCustomAttrs);
  lblValue->setBuddy(edCustomAttrValue);
  auto* customLayout = new QGridLayout(tsCustomAttrs);
  customLayout->addWidget(lblCustomAttrs, 0, 0, 1, 2);
  customLayout->addWidget(lsCustomAttrs, 1, 0, 5, 1);
  customLayout->addWidget(btnCustomPlus, 1, 1);
  customLayout->addWidget(btnCustomMinus, 2, 1);
  customLayout->addWidget(lblValue, 3, 1);
  customLayout->addWidget(edCustomAttrValue, 4, 1);
  customLayout->setColumnStretch(2, 1);
  customLayout->setRowStretch(5, 1);

  // Example area.
  auto* exampleArea = new QWidget(this);
  cbExample = new QComboBox(exampleArea);
  cbExample->addItems({QStringLiteral("Pascal"), QStringLiteral("HTML")});
  cbExample->setMinimumWidth(175);
  ViewExample = new TKivEditView(exampleArea);
  // Line numbers (16 pixels) and folds; set before the font, which measures the gutter.
  TKivGutterBars& bars = ViewExample->Gutter().Bars();
  bars.Clear();
  TKivGutterBar& numbers = bars.Add();
  numbers.SetKind(gbLineNumberBar);
  numbers.SetWidth(16);
  bars.Add().SetKind(gbFoldBar);
  TKivViewFont font;
  font.Name = u"Courier New";
  font.PixelSize = 13;
  ViewExample->SetFont(font);
  ViewExample->SetWantTabs(false);
  auto* exampleLayout = new QVBoxLayout(exampleArea);
  exampleLayout->setContentsMargins(0, 0, 0, 0);
  auto* exampleTop = new QHBoxLayout;
  exampleTop->addStretch(1);
  exampleTop->addWidget(cbExample);
  exampleLayout->addLayout(exampleTop);
  exampleLayout->addWidget(ViewExample, 1);

  auto* right = new QSplitter(Qt::Vertical, this);
  right->addWidget(PageControl1);
  right->addWidget(exampleArea);
  right->setHandleWidth(8);
  right->setSizes({213, 400});
  auto* root = new QSplitter(Qt::Horizontal, this);
  root->addWidget(tokenPanel);
  root->addWidget(right);
  root->setHandleWidth(8);
  root->setSizes({214, 700});

  // Buttons.
  Button3 = new QPushButton(QStringLiteral("Load..."), this);
  Button4 = new QPushButton(QStringLiteral("Save..."), this);
  btnOk = new QPushButton(QStringLiteral("OK"), this);
  btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  for (QPushButton* b : {Button3, Button4, btnOk, btnCancel}) {
    b->setMinimumSize(75, 25);
    b->setAutoDefault(false);
  }
  btnOk->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Button3);
  buttons->addWidget(Button4);
  buttons->addStretch(1);
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  layout->addWidget(root, 1);
  layout->addLayout(buttons);

  setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
  resize(922, 644);
  setMinimumSize(625, 348);

  // Reactions to the user.
  OnClick(btnOk, [this] { accept(); });
  OnClick(btnCancel, [this] { reject(); });
  OnClick(Button3, [this] { LoadFromFile(); });
  OnClick(Button4, [this] { SaveToFile(); });
  OnClick(btnPlus, [this] { AddToken(); });
  OnClick(btnMinus, [this] { RemoveToken(); });
  OnClick(btnCustomPlus, [this] { AddCustomAttr(); });
  OnClick(btnCustomMinus, [this] { RemoveCustomAttr(); });
  for (TKivStyleCheckBox* b : {cbItalic, cbBold, cbUnderline, cbStrikeout})
    OnClick(b, [this, b] { StyleClicked(b); });
  OnClick(cbFontAttrsDefined, [this] { FontAttrsDefinedClicked(); });
  for (QComboBox* box : {cbColor, cbBgColor})
    QObject::connect(box, &QComboBox::activated, this,
                     [this, box](int AIndex) { RunGuarded([&] { ColorActivated(box, AIndex); }); });
  QObject::connect(lsTokens, &QListWidget::currentRowChanged, this, [this](int ARow) {
    if (!FInEvent && ARow >= 0) RunGuarded([this] { ShowToken(); });
  });
  QObject::connect(lsCustomAttrs, &QListWidget::currentRowChanged, this, [this] {
    if (!FInEvent) RunGuarded([this] { ShowCustomAttrValue(); });
  });
  QObject::connect(edCustomAttrValue, &QLineEdit::textEdited, this,
                   [this] { RunGuarded([this] { CustomValueEdited(); }); });
  QObject::connect(cbExample, &QComboBox::activated, this, [this] { RunGuarded([this] { RefreshExamples(); }); });

  FillColorCombo(cbColor);
  FillColorCombo(cbBgColor);
  cbExample->setCurrentIndex(0);
  FInEvent = false;
  UpdateControls();
}

TKivSedColorSchemeDlg::~TKivSedColorSchemeDlg() {
  // The view goes with the widgets, after the example documents: it lets go of them first.
  ViewExample->SetDocument(nullptr);
}

void TKivSedColorSchemeDlg::SetTarget(TKivEditDocument* ADoc, const TKivString& ASchemeName) {
  FDoc = ADoc;
  FSchemeName = ASchemeName;
  FModel.SetSchemeName(ASchemeName);
}

void TKivSedColorSchemeDlg::FillColorCombo(QComboBox* ABox) {
  QSignalBlocker block(ABox);
  ABox->clear();
  ABox->addItem(QStringLiteral("Transparent"));
  ABox->addItem(QStringLiteral("Custom..."), QStringLiteral("Black"));
  for (const auto& named : kivSchemeNamedColors) ABox->addItem(ToQt(named.Name), ToQt(named.Name));
  ABox->setProperty(kPrevIndex, -1);
}

QString TKivSedColorSchemeDlg::ColorBoxText(const QComboBox* ABox, int AIndex) {
  if (AIndex <= 0 || AIndex >= ABox->count()) return {};
  return ABox->itemData(AIndex).toString();
}

QString TKivSedColorSchemeDlg::SelectedToken() const {
  const QListWidgetItem* item = lsTokens->currentItem();
  return item ? item->text() : QString();
}

void TKivSedColorSchemeDlg::LoadSchemeText(const TKivString& AText) {
  FModel.SetSchemeName(FSchemeName);
  FModel.LoadSchemeText(AText);  // raises before anything changes
  InEvent([&] {
    lsTokens->clear();
    for (const TKivString& name : FModel.TokenNames()) lsTokens->addItem(ToQt(name));
    UpdateControls();
    RefreshExamples();
    FillColorCombo(cbColor);
    FillColorCombo(cbBgColor);
    FCustomAttrs.Clear();
    lsCustomAttrs->clear();
    edCustomAttrValue->clear();
    if (lsTokens->count() > 0) {
      lsTokens->setCurrentRow(0);
      ShowToken();
    } else {
      lsTokens->setCurrentRow(-1);
    }
    UpdateControls();
  });
}

void TKivSedColorSchemeDlg::StoreSchemeText() {
  KIV_ASSERT(FDoc, "ColorSchemeDialog");
  TKivEditParserSchemeCollectionItem* item = FDoc->ColorSchemes().FindItem(FSchemeName);
  KIV_ASSERT(item, "ColorSchemeDialog");
  item->Scheme().SetText(FModel.StoreText());
}

void TKivSedColorSchemeDlg::ShowToken() {
  const QString name = SelectedToken();
  if (name.isEmpty()) return;
  InEvent([&] {
    const TKivAttributesHolder attrs = FModel.DecodeToken(ToKiv(name));
    const TKivEditAttributes& a = attrs.Attrs;
    ShowColor(cbColor, !(a.AttributesSet & asTextColor), a.TextColor);
    ShowColor(cbBgColor, !(a.AttributesSet & asBackgroundColor), a.BackgroundColor);
    const bool defined = a.AttributesSet & asFontStyle;
    auto show = [&](QCheckBox* ABox, TKivFontStyle AStyle) {
      ABox->setCheckState(!defined ? Qt::PartiallyChecked : (a.FontStyle & AStyle) ? Qt::Checked : Qt::Unchecked);
    };
    show(cbItalic, fsItalic);
    show(cbBold, fsBold);
    show(cbUnderline, fsUnderline);
    show(cbStrikeout, fsStrikeOut);
    cbFontAttrsDefined->setChecked(defined);
    FCustomAttrs.Clear();
    lsCustomAttrs->clear();
    edCustomAttrValue->clear();
    if (attrs.Custom && (a.AttributesSet & asCustomAttributes)) {
      TKivStringHashIterator it;
      for (bool ok = attrs.Custom->IteratorMoveFirst(it); ok; ok = attrs.Custom->IteratorMoveNext(it)) {
        FCustomAttrs.SetOrAdd(it.CurrentNode->Key(), it.CurrentNode->Value());
        lsCustomAttrs->addItem(ToQt(it.CurrentNode->Key()));
      }
      lsCustomAttrs->sortItems();
      lsCustomAttrs->setCurrentRow(-1);
    }
  });
}

void TKivSedColorSchemeDlg::ShowColor(QComboBox* ABox, bool AUndefined, TKivColor AColor) {
  ABox->setItemData(1, QStringLiteral("Black"));
  int index = 0;
  if (!AUndefined) {
    const TKivColorItemText text = ColorItemText(AColor);
    if (text.Named) {
      index = -1;
      for (int i = 2; i < ABox->count(); ++i)
        if (ABox->itemText(i) == ToQt(text.Text)) index = i;
    } else {
      ABox->setItemData(1, ToQt(text.Text));
      index = 1;
    }
  }
  QSignalBlocker block(ABox);
  ABox->setCurrentIndex(index);
  ABox->setProperty(kPrevIndex, index);
}

void TKivSedColorSchemeDlg::ColorActivated(QComboBox* ABox, int AIndex) {
  if (FInEvent) return;
  if (AIndex == 1) {
    TKivColor preset = 0;
    TextToColor(ToKiv(ColorBoxText(ABox, 1)), preset);
    QColor color = ToQColor(preset);
    QColorDialog::setCustomColor(0, color);
    if (!KivUiServices().ChooseColor(this, color)) {
      // Cancelled: the item selected before comes back, nothing is written.
      QSignalBlocker block(ABox);
      ABox->setCurrentIndex(ABox->property(kPrevIndex).toInt());
      return;
    }
    const TKivColor chosen = KivRGB(static_cast<unsigned>(color.red()), static_cast<unsigned>(color.green()),
                                    static_cast<unsigned>(color.blue()));
    ABox->setItemData(1, ToQt(ColorItemText(chosen).Text));
  }
  ABox->setProperty(kPrevIndex, AIndex);
  UpdateToken();
  UpdateControls();
}

void TKivSedColorSchemeDlg::StyleClicked(QCheckBox* ABox) {
  if (FInEvent) return;
  InEvent([&] {
    if (!cbFontAttrsDefined->isChecked()) {
      cbFontAttrsDefined->setChecked(true);
      for (QCheckBox* b : {static_cast<QCheckBox*>(cbItalic), static_cast<QCheckBox*>(cbBold),
                           static_cast<QCheckBox*>(cbUnderline), static_cast<QCheckBox*>(cbStrikeout)})
        if (b != ABox) b->setCheckState(Qt::Unchecked);
    }
    UpdateToken();
    UpdateControls();
  });
}

void TKivSedColorSchemeDlg::FontAttrsDefinedClicked() {
  if (FInEvent) return;
  InEvent([&] {
    const Qt::CheckState state = cbFontAttrsDefined->isChecked() ? Qt::Unchecked : Qt::PartiallyChecked;
    for (QCheckBox* b : {static_cast<QCheckBox*>(cbItalic), static_cast<QCheckBox*>(cbBold),
                         static_cast<QCheckBox*>(cbUnderline), static_cast<QCheckBox*>(cbStrikeout)})
      b->setCheckState(state);
    UpdateToken();
    UpdateControls();
  });
}

void TKivSedColorSchemeDlg::UpdateToken() {
  const QString name = SelectedToken();
  if (name.isEmpty()) return;
  TKivEditAttributes a;
  if (cbFontAttrsDefined->isChecked()) {
    a.AttributesSet |= asFontStyle;
    if (cbItalic->checkState() == Qt::Checked) a.FontStyle |= fsItalic;
    if (cbBold->checkState() == Qt::Checked) a.FontStyle |= fsBold;
    if (cbUnderline->checkState() == Qt::Checked) a.FontStyle |= fsUnderline;
    if (cbStrikeout->checkState() == Qt::Checked) a.FontStyle |= fsStrikeOut;
  }
  auto color = [](const QComboBox* ABox, TKivColor& AColor) {
    return ABox->currentIndex() > 0 && TextToColor(ToKiv(ColorBoxText(ABox, ABox->currentIndex())), AColor);
  };
  if (color(cbColor, a.TextColor)) a.AttributesSet |= asTextColor;
  if (color(cbBgColor, a.BackgroundColor)) a.AttributesSet |= asBackgroundColor;
  if (FCustomAttrs.Count() > 0) {
    a.AttributesSet |= asCustomAttributes;
    a.CustomAttributes = &FCustomAttrs;
  }
  FModel.UpdateToken(ToKiv(name), a);
  RefreshExamples();
}

void TKivSedColorSchemeDlg::UpdateControls() {
  const bool has = lsTokens->count() > 0;
  SetEnabled({btnMinus, cbColor, cbBgColor, cbItalic, cbBold, cbUnderline, cbStrikeout, cbFontAttrsDefined}, has);
  if (!has) {
    for (QComboBox* box : {cbColor, cbBgColor}) {
      QSignalBlocker block(box);
      box->setCurrentIndex(-1);
      box->setProperty(kPrevIndex, -1);
    }
    for (QCheckBox* b : {static_cast<QCheckBox*>(cbItalic), static_cast<QCheckBox*>(cbBold),
                         static_cast<QCheckBox*>(cbUnderline), static_cast<QCheckBox*>(cbStrikeout), cbFontAttrsDefined})
      b->setCheckState(Qt::Unchecked);
  }
  // Custom attributes need a token to be written to.
  tsCustomAttrs->setEnabled(!SelectedToken().isEmpty());
  btnCustomMinus->setEnabled(lsCustomAttrs->currentRow() >= 0);
}

void TKivSedColorSchemeDlg::RefreshExamples() {
  if (!FModel.Loaded()) return;
  const TKivString xml = FModel.SchemeXml();
  // The text as the item's lines give it back, so an unchanged scheme is not applied again.
  TKivStringList lines;
  lines.SetText(xml);
  const TKivString stored = lines.Text();
  ViewExample->BeginUpdate();
  try {
    for (TKivEditDocument* doc : FExamples) {
      TKivEditParserSchemeCollection& schemes = doc->ColorSchemes();
      if (schemes.Count() == 1 && schemes[0].Name() == u"1") {
        if (schemes[0].Scheme().Text() != stored) schemes[0].Scheme().SetText(xml);
      } else {
        schemes.BeginUpdate();
        try {
          schemes.Clear();
          TKivEditParserSchemeCollectionItem& item = schemes.Add();
          item.SetName(u"1");
          item.Scheme().SetText(xml);
        } catch (...) {
          schemes.EndUpdate();
          throw;
        }
        schemes.EndUpdate();
      }
      if (doc->ActiveColorScheme() != u"1") doc->SetActiveColorScheme(u"1");
    }
    const int example = cbExample->currentIndex() == 1 ? 1 : 0;
    if (ViewExample->Document() != FExamples[example]) ViewExample->SetDocument(FExamples[example]);
  } catch (...) {
    ViewExample->EndUpdate();
    throw;
  }
  ViewExample->EndUpdate();
}

bool TKivSedColorSchemeDlg::eventFilter(QObject* AWatched, QEvent* AEvent) {
  if (AEvent->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(AEvent)->key() == Qt::Key_F2) {
    if (AWatched == lsTokens) {
      RunGuarded([this] { RenameToken(); });
      return true;
    }
    if (AWatched == lsCustomAttrs) {
      RunGuarded([this] { RenameCustomAttr(); });
      return true;
    }
  }
  return TKivSedDialogForm::eventFilter(AWatched, AEvent);
}

void TKivSedColorSchemeDlg::AddToken() {
  QString answer;
  if (!KivUiServices().InputBox(this, QStringLiteral("Enter new token name"), QString(), answer)) return;
  const TKivString name = FModel.AddToken(ToKiv(answer));  // raises on a name in use
  if (name.empty()) return;
  InEvent([&] {
    auto* item = new QListWidgetItem(ToQt(name));
    lsTokens->addItem(item);
    lsTokens->setCurrentItem(item);
    ShowToken();
    UpdateControls();
  });
}

void TKivSedColorSchemeDlg::RemoveToken() {
  const QString name = SelectedToken();
  if (name.isEmpty()) return;
  InEvent([&] {
    FModel.RemoveToken(ToKiv(name));
    const int row = lsTokens->currentRow();
    delete lsTokens->takeItem(row);
    if (lsTokens->count() > 0) {
      lsTokens->setCurrentRow(std::min(row, lsTokens->count() - 1));
      ShowToken();
    } else {
      FCustomAttrs.Clear();
      lsCustomAttrs->clear();
      edCustomAttrValue->clear();
    }
    RefreshExamples();
    UpdateControls();
  });
}

void TKivSedColorSchemeDlg::RenameToken() {
  QListWidgetItem* item = lsTokens->currentItem();
  if (!item) return;
  QString answer = item->text();
  if (!KivUiServices().InputBox(this, QStringLiteral("Rename Token"), QString(), answer)) return;
  const TKivString name = FModel.RenameToken(ToKiv(item->text()), ToKiv(answer));
  if (name.empty()) return;
  InEvent([&] {
    item->setText(ToQt(name));
    lsTokens->sortItems();
    lsTokens->setCurrentItem(item);
    RefreshExamples();
    UpdateControls();
  });
}

void TKivSedColorSchemeDlg::ShowCustomAttrValue() {
  const QListWidgetItem* item = lsCustomAttrs->currentItem();
  edCustomAttrValue->setText(item ? ToQt(FCustomAttrs.Find(ToKiv(item->text()))) : QString());
  btnCustomMinus->setEnabled(item != nullptr);
}

void TKivSedColorSchemeDlg::CustomValueEdited() {
  const QListWidgetItem* item = lsCustomAttrs->currentItem();
  if (!item || SelectedToken().isEmpty()) return;
  FCustomAttrs.SetOrAdd(ToKiv(item->text()), KivSchemeTrim(ToKiv(edCustomAttrValue->text())));
  UpdateToken();
}

namespace {
void CheckCustomName(const TKivStringHashTable& ATable, const TKivString& AName, const TKivString& AOld) {
  if (!KivXmlIsValidName(AName)) throw EKivError(u"Custom attribute name should be a valid XML name");
  if (AName != AOld && ATable.HasKey(AName)) throw EKivError(u"Custom attribute name should be unique");
}
}  // namespace

void TKivSedColorSchemeDlg::AddCustomAttr() {
  if (SelectedToken().isEmpty()) return;
  QString answer;
  if (!KivUiServices().InputBox(this, QStringLiteral("Enter new custom attribute name"), QString(), answer)) return;
  const TKivString name = KivSchemeTrim(ToKiv(answer));
  if (name.empty()) return;
  CheckCustomName(FCustomAttrs, name, {});
  InEvent([&] {
    FCustomAttrs.SetOrAdd(name, {});
    auto* item = new QListWidgetItem(ToQt(name));
    lsCustomAttrs->addItem(item);
    lsCustomAttrs->setCurrentItem(item);
    ShowCustomAttrValue();
    UpdateToken();
  });
}

void TKivSedColorSchemeDlg::RemoveCustomAttr() {
  QListWidgetItem* item = lsCustomAttrs->currentItem();
  if (!item || SelectedToken().isEmpty()) return;
  InEvent([&] {
    const int row = lsCustomAttrs->currentRow();
    FCustomAttrs.Remove(ToKiv(item->text()));
    delete lsCustomAttrs->takeItem(row);
    lsCustomAttrs->setCurrentRow(lsCustomAttrs->count() > 0 ? std::min(row, lsCustomAttrs->count() - 1) : -1);
    ShowCustomAttrValue();
    UpdateToken();
  });
}

void TKivSedColorSchemeDlg::RenameCustomAttr() {
  QListWidgetItem* item = lsCustomAttrs->currentItem();
  if (!item || SelectedToken().isEmpty()) return;
  QString answer = item->text();
  if (!KivUiServices().InputBox(this, QStringLiteral("Rename custom attribute"), QString(), answer)) return;
  const TKivString name = KivSchemeTrim(ToKiv(answer));
  const TKivString old = ToKiv(item->text());
  if (name.empty()) return;
  CheckCustomName(FCustomAttrs, name, old);
  InEvent([&] {
    const TKivString value = FCustomAttrs.Find(old);
    FCustomAttrs.Remove(old);
    item->setText(ToQt(name));
    FCustomAttrs.SetOrAdd(name, value);
    ShowCustomAttrValue();
    UpdateToken();
  });
}

void TKivSedColorSchemeDlg::LoadFromFile() {
  QString fileName;
  if (!KivUiServices().ChooseOpenFile(this, QStringLiteral("Load..."), QString::fromLatin1(kFilter), fileName))
    return;
  // The document's file reading: a byte-order mark selects the encoding, else UTF-8.
  TKivEditDocument file;
  file.LoadFromFile(ToKiv(fileName), 0, true);
  LoadSchemeText(file.Text());
}

void TKivSedColorSchemeDlg::SaveToFile() {
  QString fileName;
  if (!KivUiServices().ChooseSaveFile(this, QStringLiteral("Save..."), QString::fromLatin1(kFilter),
                                      QStringLiteral("xml"), fileName))
    return;
  FModel.CurrentScheme()->SaveToFile(ToKiv(fileName));
}

bool ExecuteColorSchemeDlg(TKivEditDocument& ADoc, const TKivString& AScheme, const TKivString& ACaption,
                           const TKivColorSchemeDlgCallback& ACallback, void* AUserValue) {
  TKivSedColorSchemeDlg dlg(QApplication::activeWindow());
  if (!ACaption.empty()) dlg.setWindowTitle(ToQt(ACaption));
  if (ACallback) ACallback(AUserValue, dlg);
  KIV_ASSERT(!AScheme.empty(), "ColorSchemeDialog");
  dlg.SetTarget(&ADoc, AScheme);
  TKivEditParserSchemeCollectionItem* item = ADoc.ColorSchemes().FindItem(AScheme);
  if (!item) throw EKivColorSchemeLoadError(u"Can't find color scheme '%s'", {AScheme});
  dlg.LoadSchemeText(item->Scheme().Text());
  dlg.UpdateControls();
  if (dlg.exec() != QDialog::Accepted) return false;
  dlg.StoreSchemeText();
  return true;
}

bool ExecuteColorSchemeDlg(TKivEditDocument& ADoc, const TKivString& AScheme, const TKivString& ACaption) {
  return ExecuteColorSchemeDlg(ADoc, AScheme, ACaption, nullptr, nullptr);
}

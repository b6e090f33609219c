#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QSpinBox>
#include <QToolButton>
#include <cmath>

#include "KivPrintPreviewDlg.h"
#include "KivPrintResModule.h"
#include "KivPrintToolBar.h"
#include "KivUiServices.h"

namespace {

QString ToQ(const TKivString& AText) {
  return QString(reinterpret_cast<const QChar*>(AText.data()), qsizetype(AText.size()));
}

// The groups of controls, left to right; separators go between shown groups.
const std::vector<std::vector<TKivPrintToolBarItem>>& Groups() {
  static const std::vector<std::vector<TKivPrintToolBarItem>> groups{
      {tbPrint, tbPrintSetup, tbPageSettings, tbSave},
      {tbZoom100, tbZoomTextWidth, tbWholePage, tbTwoPages, tbMultiPages},
      {tbZoomOut, tbScaleCombo, tbZoomIn},
      {tbPageFirst, tbPagePrev, tbPageSpin, tbPageNext, tbPageLast},
      {tbClose},
  };
  return groups;
}

// The index of an item's image among the 16 (the two edit controls have none).
int ImageIndex(TKivPrintToolBarItem AItem) {
  return AItem == tbClose ? 15 : int(AItem);
}

const char* const kModeNames[] = {"", "Whole Page", "Text width", "Two pages", ""};

// The typed scale: a whole number, with or without a trailing "%"; 0 when it is none.
constexpr int kMaxTypedScale = 10000;
int TypedScale(const QString& AText) {
  QString text = AText.trimmed();
  if (text.endsWith(u'%')) text.chop(1);
  text = text.trimmed();
  bool ok = false;
  const int value = text.toInt(&ok);
  if (!ok || value <= 0 || value > kMaxTypedScale) return 0;
  for (const QChar c : text)
    if (!c.isDigit()) return 0;  // no sign, no spaces inside
  return value;
}

const QString kSaveCaption = QStringLiteral("Save page");
const QString kSaveFilter = QStringLiteral("PDF files (*.pdf)");
const QString kSaveExt = QStringLiteral("pdf");
const QString kOverwrite = QStringLiteral("File %s already exists. Overwrite?");

}  // namespace

// ---- the toolbar ----

TKivPrintToolBar::TKivPrintToolBar(QWidget* AParent)
    : QWidget(AParent), FItems(kivAllPrintToolBarItems & ~KivPrintToolBarItem(tbZoomTextWidth)) {
  FChangeLink.OnChange = [this](TKivPrintPreviewPanel*) { UpdateBar(); };
  FToolBar = new QHBoxLayout(this);
  FToolBar->setContentsMargins(2, 1, 2, 1);
  FToolBar->setSpacing(1);
  Rebuild();
}

TKivPrintToolBar::~TKivPrintToolBar() {
  if (FPreviewPanel) FPreviewPanel->UnRegisterChanges(&FChangeLink);
}

QString TKivPrintToolBar::ItemHint(TKivPrintToolBarItem AItem) {
  static const char* const hints[] = {"Print",          "Print setup",   "Page settings", "Save page",
                                      "Scale to 100%",  "Text width",    "Whole Page",    "Two pages",
                                      "Multiple pages", "Zoom out",      "Zoom in",       "To first page",
                                      "To prev page",   "To next page",  "To last page",  "Page number",
                                      "Scale",          "Close"};
  return unsigned(AItem) < std::size(hints) ? QString::fromLatin1(hints[AItem]) : QString();
}

void TKivPrintToolBar::SetDisplayItems(TKivPrintToolBarItems AValue) {
  AValue &= kivAllPrintToolBarItems;
  if (AValue == FItems) return;
  FItems = AValue;
  Rebuild();
}

void TKivPrintToolBar::SetPreviewPanel(TKivPrintPreviewPanel* AValue) {
  if (AValue == FPreviewPanel) return;
  if (FPreviewPanel) FPreviewPanel->UnRegisterChanges(&FChangeLink);
  FPreviewPanel = AValue;
  if (AValue) AValue->RegisterChanges(&FChangeLink);
  UpdateBar();
}

void TKivPrintToolBar::SetFlat(bool AValue) {
  FFlat = AValue;
  for (QToolButton* button : FBtnList)
    if (button) button->setAutoRaise(AValue);
}

QToolButton* TKivPrintToolBar::GetButton(int AIndex) const {
  if (AIndex < 0 || AIndex >= kivPrintToolBarItemCount) return nullptr;
  return FBtnList[size_t(AIndex)];
}

int TKivPrintToolBar::GetButtonHeight() const {
  return FImgSize + 8;
}

std::vector<QWidget*> TKivPrintToolBar::Controls() const {
  return FControls;
}

void TKivPrintToolBar::Rebuild() {
  for (QWidget* control : FControls) {
    FToolBar->removeWidget(control);
    delete control;
  }
  FControls.clear();
  while (QLayoutItem* item = FToolBar->takeAt(0)) delete item;
  FBtnList.fill(nullptr);
  FPageSpin = nullptr;
  FScaleCombo = nullptr;

  // Sizes follow the screen's scale.
  const double ratio = std::max(1, logicalDpiX()) / 96.0;
  FRatio = ratio;
  FImgSize = std::max(1, int(std::lround(18 * ratio)));
  setFixedHeight(std::max(32, FImgSize + 14));  // 32 at 96 dpi
  TKivPrintResDataModule::GetToolbarImages(FImgSize, FImgList);

  bool any = false;
  for (const auto& group : Groups()) {
    bool shown = false;
    for (const TKivPrintToolBarItem item : group) shown = shown || IsShown(item);
    if (!shown) continue;
    if (any) {
      auto* separator = new QFrame(this);
      separator->setObjectName(QStringLiteral("separator"));
      separator->setFrameShape(QFrame::VLine);
      separator->setFrameShadow(QFrame::Sunken);
      FToolBar->addWidget(separator);
      FControls.push_back(separator);
    }
    any = true;
    for (const TKivPrintToolBarItem item : group) {
      if (!IsShown(item)) continue;
      QWidget* control = nullptr;
      if (item == tbPageSpin) {
        FPageSpin = new QSpinBox(this);
        FPageSpin->setFixedWidth(int(std::lround(50 * ratio)));
        FPageSpin->setRange(1, 1);
        QObject::connect(FPageSpin, &QSpinBox::valueChanged, this, [this](int AValue) {
          if (FUpdating || !FPreviewPanel || !FPreviewPanel->PrinterHelper()) return;
          try {
            if (AValue - 1 != FPreviewPanel->CurrentPage()) FPreviewPanel->SetCurrentPage(AValue - 1);
          } catch (const EKivError& AError) {
            KivUiServices().ErrorBox(this, ToQ(AError.Message()));
          }
        });
        control = FPageSpin;
      } else if (item == tbScaleCombo) {
        FScaleCombo = new QComboBox(this);
        FScaleCombo->setEditable(true);
        FScaleCombo->setInsertPolicy(QComboBox::NoInsert);
        FScaleCombo->setFixedWidth(int(std::lround(90 * ratio)));
        for (const Integer step : TKivPrintPreviewPanel::ZoomSteps())
          FScaleCombo->addItem(QString::number(step) + u'%');
        FComboCmdStart = FScaleCombo->count();
        FComboCmd = {pmTextWidth, pmWholePage, pmTwoPages};
        for (const TKivPrintPreviewMode mode : FComboCmd) FScaleCombo->addItem(QString::fromLatin1(kModeNames[mode]));
        FComboCmdEnd = FScaleCombo->count();
        FScaleCombo->setCurrentIndex(FScaleCombo->findText(QStringLiteral("100%")));
        QObject::connect(FScaleCombo, &QComboBox::activated, this, [this](int AIndex) { ApplyComboIndex(AIndex); });
        QObject::connect(FScaleCombo->lineEdit(), &QLineEdit::returnPressed, this,
                         [this] { ApplyComboText(FScaleCombo->lineEdit()->text()); });
        control = FScaleCombo;
      } else {
        auto* button = new QToolButton(this);
        button->setAutoRaise(FFlat);
        button->setFocusPolicy(Qt::NoFocus);
        const QImage& image = FImgList[ImageIndex(item)];
        button->setIcon(QIcon(QPixmap::fromImage(image)));
        button->setIconSize(QSize(FImgSize, FImgSize));
        QObject::connect(button, &QToolButton::clicked, this, [this, item] { ItemClick(item); });
        FBtnList[item] = button;
        control = button;
      }
      control->setToolTip(ItemHint(item));
      control->setProperty("kivItem", int(item));
      FToolBar->addWidget(control);
      FControls.push_back(control);
    }
  }
  FToolBar->addStretch(1);
  UpdateBar();
}

bool TKivPrintToolBar::event(QEvent* AEvent) {
  // On another screen (or a changed one) the images and edit widths follow its scale.
  if ((AEvent->type() == QEvent::Show || AEvent->type() == QEvent::ScreenChangeInternal) &&
      std::max(1, logicalDpiX()) / 96.0 != FRatio)
    Rebuild();
  return QWidget::event(AEvent);
}

void TKivPrintToolBar::UpdateBar() {
  TKivPrintPreviewPanel* panel = FPreviewPanel.data();
  const bool has = panel && panel->PrinterHelper();
  const Integer cur = panel ? panel->CurrentPage() : 0, total = panel ? panel->TotalPages() : 0;
  const TKivPrintPreviewMode mode = panel ? panel->Mode() : pmExactScale;
  const bool multi = mode == pmTwoPages || mode == pmExactMultiPages;
  const Integer real = panel ? panel->RealScale() : 100;
  auto enable = [&](TKivPrintToolBarItem AItem, bool AOn) {
    if (FBtnList[AItem]) FBtnList[AItem]->setEnabled(AOn);
  };
  for (int item = tbPrint; item <= tbMultiPages; ++item) enable(TKivPrintToolBarItem(item), has);
  enable(tbPageFirst, has && cur > 0);
  enable(tbPagePrev, has && cur > 0);
  enable(tbPageNext, has && cur < total - 1);
  enable(tbPageLast, has && cur < total - 1);
  enable(tbZoomIn, has && !multi && real < 500);
  enable(tbZoomOut, has && !multi && real > 10);
  FUpdating = true;
  if (FPageSpin) {
    const QSignalBlocker block(FPageSpin);
    FPageSpin->setEnabled(has && total > 1);
    FPageSpin->setRange(1, std::max(1, total));
    FPageSpin->setValue(cur + 1);
  }
  if (FScaleCombo) {
    const QSignalBlocker block(FScaleCombo);
    FScaleCombo->setEnabled(has);
    int index = -1;
    QString text;
    if (mode == pmExactScale) {
      const Integer scale = panel ? panel->Scale() : 100;
      text = QString::number(scale) + u'%';
      index = FScaleCombo->findText(text);
    } else {
      for (int i = FComboCmdStart; i < FComboCmdEnd; ++i)
        if (FComboCmd[size_t(i - FComboCmdStart)] == mode) index = i;
    }
    FScaleCombo->setCurrentIndex(index);
    if (index < 0) FScaleCombo->setEditText(text);
  }
  FUpdating = false;
}

void TKivPrintToolBar::ApplyComboIndex(int AIndex) {
  if (AIndex < 0 || !FScaleCombo) return;
  if (AIndex >= FComboCmdStart && AIndex < FComboCmdEnd) {
    if (FPreviewPanel) FPreviewPanel->SetMode(FComboCmd[size_t(AIndex - FComboCmdStart)]);
    return;
  }
  ApplyComboText(FScaleCombo->itemText(AIndex));
}

void TKivPrintToolBar::ApplyComboText(const QString& AText) {
  TKivPrintPreviewPanel* panel = FPreviewPanel.data();
  if (!panel || !FScaleCombo) return;
  if (const int scale = TypedScale(AText)) {
    panel->SetScale(scale);
    panel->SetMode(pmExactScale);
    return;
  }
  for (int i = FComboCmdStart; i < FComboCmdEnd; ++i)
    if (FScaleCombo->itemText(i).compare(AText.trimmed(), Qt::CaseInsensitive) == 0) {
      panel->SetMode(FComboCmd[size_t(i - FComboCmdStart)]);
      return;
    }
  UpdateBar();  // not a scale: back to what is shown
}

void TKivPrintToolBar::ItemClick(TKivPrintToolBarItem AItem) {
  TKivPrintPreviewPanel* panel = FPreviewPanel.data();
  if (AItem == tbClose) {
    QWidget* form = window();
    if (form != this) form->close();
    return;
  }
  if (!panel || !panel->PrinterHelper()) return;
  TKivPrinterHelper& helper = *panel->PrinterHelper();
  const Integer cur = panel->CurrentPage(), total = panel->TotalPages();
  try {
    switch (AItem) {
      case tbPrint: helper.ExecPrintDlg(); break;
      case tbPrintSetup: helper.ExecPrintSetupDlg(); break;
      case tbPageSettings: helper.ExecPageSetupDlg(); break;
      case tbSave: SavePage(); break;
      case tbZoom100:
        panel->SetScale(100);
        panel->SetMode(pmExactScale);
        break;
      case tbZoomTextWidth: panel->SetMode(pmTextWidth); break;
      case tbWholePage: panel->SetMode(pmWholePage); break;
      case tbTwoPages: panel->SetMode(pmTwoPages); break;
      case tbMultiPages: PickMultiPages(); break;
      case tbZoomOut:
      case tbZoomIn:
        panel->SetScale(panel->RealScale());
        panel->SetMode(pmExactScale);
        panel->Zoom(AItem == tbZoomIn);
        break;
      case tbPageFirst:
        if (total > 0) panel->SetCurrentPage(0);
        break;
      case tbPagePrev:
        if (cur > 0) panel->SetCurrentPage(cur - 1);
        break;
      case tbPageNext:
        if (cur < total - 1) panel->SetCurrentPage(cur + 1);
        break;
      case tbPageLast:
        if (total > 0) panel->SetCurrentPage(total - 1);
        break;
      default: break;
    }
  } catch (const EKivError& AError) {
    KivUiServices().ErrorBox(this, ToQ(AError.Message()));
  }
  UpdateBar();
}

void TKivPrintToolBar::SavePage() {
  TKivPrintPreviewPanel* panel = FPreviewPanel.data();
  QString name;
  if (!KivUiServices().ChooseSaveFile(this, kSaveCaption, kSaveFilter, kSaveExt, name) || name.isEmpty()) return;
  if (QFileInfo(name).suffix().isEmpty()) name += u'.' + kSaveExt;
  if (QFileInfo::exists(name)) {
    QString question = kOverwrite;
    question.replace(QStringLiteral("%s"), name);
    if (KivUiServices().Question(this, question, TKivUiButton::Yes | TKivUiButton::No, TKivUiButton::No) !=
        TKivUiButton::Yes)
      return;
  }
  panel->PrinterHelper()->SavePage(orAll, panel->CurrentPage(), name.toStdU16String());
}

void TKivPrintToolBar::PickMultiPages() {
  TKivPrintPreviewModeDialog picker(this);
  if (QToolButton* button = FBtnList[tbMultiPages]) picker.move(button->mapToGlobal(QPoint(0, button->height())));
  if (picker.exec() != QDialog::Accepted) return;
  if (FPreviewPanel && picker.ColCount() > 0 && picker.RowCount() > 0)
    FPreviewPanel->SetMultiPages(picker.ColCount(), picker.RowCount(), true);
}

// ---- the status bar ----

TKivPrintStatusBar::TKivPrintStatusBar(QWidget* AParent) : QStatusBar(AParent) {
  setSizeGripEnabled(false);
  FChangeLink.OnChange = [this](TKivPrintPreviewPanel*) { UpdateTexts(); };
  Rebuild();
}

TKivPrintStatusBar::~TKivPrintStatusBar() {
  if (FPreviewPanel) FPreviewPanel->UnRegisterChanges(&FChangeLink);
}

void TKivPrintStatusBar::SetInfoPanels(TKivPrintStatusPanels AValue) {
  AValue &= kivAllPrintStatusPanels;
  if (AValue == FPanels) return;
  FPanels = AValue;
  Rebuild();
}

void TKivPrintStatusBar::SetPreviewPanel(TKivPrintPreviewPanel* AValue) {
  if (AValue == FPreviewPanel) return;
  if (FPreviewPanel) FPreviewPanel->UnRegisterChanges(&FChangeLink);
  FPreviewPanel = AValue;
  if (AValue) AValue->RegisterChanges(&FChangeLink);
  UpdateTexts();
}

void TKivPrintStatusBar::Rebuild() {
  for (QLabel* label : FLabels) {
    removeWidget(label);
    delete label;
  }
  FLabels.clear();
  int last = -1;
  for (int kind = pspPage; kind <= pspOrientation; ++kind)
    if (FPanels & KivPrintStatusPanel(TKivPrintStatusPanel(kind))) last = kind;
  for (int kind = pspPage; kind <= pspOrientation; ++kind) {
    if (!(FPanels & KivPrintStatusPanel(TKivPrintStatusPanel(kind)))) continue;
    auto* label = new QLabel(this);
    label->setProperty("kivKind", kind);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // Room for the longest text of its kind.
    static const char* const samples[] = {"Page 99999 of 99999", "Scale: 9999", "9999 mm x 9999 mm", ""};
    if (kind != last) label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QLatin1String(samples[kind])) + 12);
    addWidget(label, kind == last ? 1 : 0);  // the last one takes the rest
    FLabels.push_back(label);
  }
  UpdateTexts();
}

QString TKivPrintStatusBar::PanelText(TKivPrintStatusPanel AKind) const {
  for (QLabel* label : FLabels)
    if (label->property("kivKind").toInt() == int(AKind)) return label->text();
  return {};
}

void TKivPrintStatusBar::UpdateTexts() {
  TKivPrintPreviewPanel* panel = FPreviewPanel.data();
  TKivPrinterHelper* helper = panel ? panel->PrinterHelper() : nullptr;
  for (QLabel* label : FLabels) {
    QString text;
    if (panel) {
      switch (TKivPrintStatusPanel(label->property("kivKind").toInt())) {
        case pspPage:
          text = QStringLiteral("Page %1 of %2").arg(panel->CurrentPage() + 1).arg(panel->TotalPages());
          break;
        case pspScale: text = QStringLiteral("Scale: %1").arg(panel->RealScale()); break;
        case pspPageSize:
          if (helper) {
            TKivPrinter& printer = helper->GetPrinter();
            double w = printer.PageWidthFullUnits(), h = printer.PageHeightFullUnits();
            if (printer.Orientation() == poLandscape) std::swap(w, h);
            if (printer.RealUnits() == unInches) {
              text = QStringLiteral("%1 x %2").arg(w, 0, 'f', 2).arg(h, 0, 'f', 2);
            } else {
              text = QStringLiteral("%1 mm x %2 mm").arg(std::lround(w)).arg(std::lround(h));
            }
          }
          break;
        case pspOrientation:
          if (helper)
            text = helper->GetPrinter().Orientation() == poLandscape ? QStringLiteral("Landscape")
                                                                     : QStringLiteral("Portrait");
          break;
      }
    }
    label->setText(text);
  }
}

// The print preview's toolbar and status bar. Both follow a preview panel through a change link:
// the toolbar's buttons act on the panel (and through its printer helper on the printer), and
// its enabled states, page spin and scale combo show the panel's state; the status bar shows
// the page, the scale, the page size and the orientation.
//
// The toolbar's Print, Print setup and Page settings buttons call the printer helper's
// ExecPrintDlg, ExecPrintSetupDlg and ExecPageSetupDlg, which open the dialogs registered with
// the print engine (KivSetPrintDialogs); errors they raise are shown in an error box.
#pragma once

#include <QImage>
#include <QLabel>
#include <QList>
#include <QPointer>
#include <QStatusBar>
#include <QWidget>
#include <array>
#include <vector>

#include "KivPrintPreview.h"

class QComboBox;
class QSpinBox;
class QToolButton;
class QHBoxLayout;

enum TKivPrintToolBarItem : uint8_t {
  tbPrint,
  tbPrintSetup,
  tbPageSettings,
  tbSave,
  tbZoom100,
  tbZoomTextWidth,
  tbWholePage,
  tbTwoPages,
  tbMultiPages,
  tbZoomOut,
  tbZoomIn,
  tbPageFirst,
  tbPagePrev,
  tbPageNext,
  tbPageLast,
  tbPageSpin,
  tbScaleCombo,
  tbClose
};
constexpr int kivPrintToolBarItemCount = tbClose + 1;
// A set of items, one bit per item.
using TKivPrintToolBarItems = uint32_t;
constexpr TKivPrintToolBarItems KivPrintToolBarItem(TKivPrintToolBarItem AItem) {
  return TKivPrintToolBarItems(1u << AItem);
}
constexpr TKivPrintToolBarItems kivAllPrintToolBarItems = (1u << kivPrintToolBarItemCount) - 1;

class TKivPrintToolBar : public QWidget {
 public:
  explicit TKivPrintToolBar(QWidget* AParent = nullptr);
  ~TKivPrintToolBar() override;

  // The items shown (default: every item but tbZoomTextWidth); a change rebuilds the bar.
  TKivPrintToolBarItems DisplayItems() const { return FItems; }
  void SetDisplayItems(TKivPrintToolBarItems AValue);
  // The panel followed (not owned; null: none).
  TKivPrintPreviewPanel* PreviewPanel() const { return FPreviewPanel.data(); }
  void SetPreviewPanel(TKivPrintPreviewPanel* AValue);
  bool Flat() const { return FFlat; }
  void SetFlat(bool AValue);
  // Pixels of the button images (default 18 at 96 dpi, scaled with the screen).
  int ImageSize() const { return FImgSize; }

  // The button of an item (null for the two edit controls and items not shown).
  QToolButton* GetButton(int AIndex) const;
  int GetButtonHeight() const;
  QSpinBox* PageSpin() const { return FPageSpin; }
  QComboBox* ScaleCombo() const { return FScaleCombo; }
  // The shown controls from left to right, separators included (their object name is
  // "separator").
  std::vector<QWidget*> Controls() const;
  // The hint of an item.
  static QString ItemHint(TKivPrintToolBarItem AItem);

  // Refreshes the enabled states, the spin and the combo from the panel.
  void UpdateBar();
  // Runs an item's action, as a click does.
  void ItemClick(TKivPrintToolBarItem AItem);

 protected:
  bool event(QEvent* AEvent) override;

 private:
  void Rebuild();
  void SavePage();
  void PickMultiPages();
  void ApplyComboText(const QString& AText);
  void ApplyComboIndex(int AIndex);
  bool IsShown(TKivPrintToolBarItem AItem) const { return (FItems & KivPrintToolBarItem(AItem)) != 0; }

  TKivPrintToolBarItems FItems;
  TKivPrintChangeLink FChangeLink;
  QPointer<TKivPrintPreviewPanel> FPreviewPanel;
  bool FFlat = true;
  std::array<QToolButton*, kivPrintToolBarItemCount> FBtnList{};
  QSpinBox* FPageSpin = nullptr;
  QComboBox* FScaleCombo = nullptr;
  // Combo entries FComboCmdStart .. FComboCmdEnd - 1 are commands; FComboCmd their modes.
  int FComboCmdStart = 0;
  int FComboCmdEnd = 0;
  std::vector<TKivPrintPreviewMode> FComboCmd;
  QList<QImage> FImgList;
  int FImgSize = 18;
  // The screen's scale (logical dpi / 96) the controls were sized for.
  double FRatio = 1;
  QHBoxLayout* FToolBar = nullptr;
  std::vector<QWidget*> FControls;
  bool FUpdating = false;
};

enum TKivPrintStatusPanel : uint8_t { pspPage, pspScale, pspPageSize, pspOrientation };
using TKivPrintStatusPanels = uint8_t;
constexpr TKivPrintStatusPanels KivPrintStatusPanel(TKivPrintStatusPanel APanel) {
  return TKivPrintStatusPanels(1u << APanel);
}
constexpr TKivPrintStatusPanels kivAllPrintStatusPanels = 0x0F;

class TKivPrintStatusBar : public QStatusBar {
 public:
  explicit TKivPrintStatusBar(QWidget* AParent = nullptr);
  ~TKivPrintStatusBar() override;

  // The kinds shown (default all four), one panel each in the order of the kinds.
  TKivPrintStatusPanels InfoPanels() const { return FPanels; }
  void SetInfoPanels(TKivPrintStatusPanels AValue);
  TKivPrintPreviewPanel* PreviewPanel() const { return FPreviewPanel.data(); }
  void SetPreviewPanel(TKivPrintPreviewPanel* AValue);
  // The text of a kind's panel (empty when not shown), and the panels from left to right.
  QString PanelText(TKivPrintStatusPanel AKind) const;
  const std::vector<QLabel*>& Panels() const { return FLabels; }
  // Refreshes the texts from the panel.
  void UpdateTexts();

 private:
  void Rebuild();

  QPointer<TKivPrintPreviewPanel> FPreviewPanel;
  TKivPrintChangeLink FChangeLink;
  TKivPrintStatusPanels FPanels = kivAllPrintStatusPanels;
  std::vector<QLabel*> FLabels;
};

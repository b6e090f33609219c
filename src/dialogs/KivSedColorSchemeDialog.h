// The colour scheme editor: the token types of one colour scheme of a document in a sorted list
// on the left (add, remove, rename with F2), the selected token's colours and font style on the
// main page and its custom attributes on the second page, and below them an example view that
// shows sample text (a Pascal unit, an HTML page) highlighted with the scheme as it is edited.
// It works on its own parsed copy of the scheme (TKivColorSchemeModel) and writes the text back
// into the document's colour scheme only when closed with OK.
//
// Only the user's actions change a token (choosing an item, clicking a box, typing a value):
// showing a token never opens the colour chooser or rewrites it. The choosers and input boxes
// are asked through the UI services (KivUiServices.h).
#pragma once

#include <QCheckBox>
#include <functional>
#include <memory>

#include "KivSedColorSchemeModel.h"
#include "KivSedDialogForm.h"
#include "KivSedDocument.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;
class QToolButton;
class TKivEditView;

// A style check box whose third (grayed) state is set only by the dialog: a click on a grayed
// or unchecked box checks it, a click on a checked box unchecks it.
class TKivStyleCheckBox : public QCheckBox {
 public:
  using QCheckBox::QCheckBox;

 protected:
  void nextCheckState() override;
};

class TKivSedColorSchemeDlg : public TKivSedDialogForm {
 public:
  explicit TKivSedColorSchemeDlg(QWidget* AParent = nullptr);
  ~TKivSedColorSchemeDlg() override;

  // The document and the scheme edited (set by ExecuteColorSchemeDlg before LoadSchemeText).
  TKivEditDocument* Doc() const { return FDoc; }
  const TKivString& SchemeName() const { return FSchemeName; }
  void SetTarget(TKivEditDocument* ADoc, const TKivString& ASchemeName);

  const TKivColorSchemeModel& Model() const { return FModel; }

  // Parses AText as the working scheme and shows it; EKivEditBadColorSchemeXml "Error while
  // loading color scheme '%s': %s" leaves the dialog as it was.
  void LoadSchemeText(const TKivString& AText);
  // Writes the working scheme into the document's item (empty while the scheme was loaded empty
  // and still has no token); the document's errors on applying it pass to the caller.
  void StoreSchemeText();
  // Shows the selected token in the controls (nothing changes in the scheme).
  void ShowToken();
  // Selects the item of a colour box for a colour (item 0 when undefined; item 1 holding the
  // colour's text when it is not a named colour).
  void ShowColor(QComboBox* ABox, bool AUndefined, TKivColor AColor);
  // Writes the selected token from the controls, then refreshes the examples.
  void UpdateToken();
  void UpdateControls();
  // Gives both example documents the working scheme and shows the one the example box selects.
  void RefreshExamples();
  // The colour text of a box's item: item 1's held colour text, else the item's text.
  static QString ColorBoxText(const QComboBox* ABox, int AIndex);

  QLabel* lblTokens;
  QListWidget* lsTokens;
  QToolButton* btnPlus;
  QToolButton* btnMinus;
  QTabWidget* PageControl1;
  QWidget* tsMainAttrs;
  QWidget* tsCustomAttrs;
  QLabel* lblColors;
  QLabel* lblColor;
  QLabel* lblBgColor;
  QComboBox* cbColor;
  QComboBox* cbBgColor;
  QLabel* lblAttributes;
  TKivStyleCheckBox* cbItalic;
  TKivStyleCheckBox* cbBold;
  TKivStyleCheckBox* cbUnderline;
  TKivStyleCheckBox* cbStrikeout;
  QCheckBox* cbFontAttrsDefined;
  QLabel* lblCustomAttrs;
  QListWidget* lsCustomAttrs;
  QPushButton* btnCustomPlus;
  QPushButton* btnCustomMinus;
  QLabel* lblValue;
  QLineEdit* edCustomAttrValue;
  QComboBox* cbExample;
  TKivEditView* ViewExample;
  std::unique_ptr<TKivEditDocument> DocPascal;
  std::unique_ptr<TKivEditDocument> DocHtml;
  QPushButton* btnOk;
  QPushButton* btnCancel;
  QPushButton* Button3;  // "Load..."
  QPushButton* Button4;  // "Save..."

 protected:
  bool eventFilter(QObject* AWatched, QEvent* AEvent) override;

 private:
  // Runs AFn with FInEvent set (restored afterwards, also when it raised).
  template <class F>
  void InEvent(F&& AFn);
  void FillColorCombo(QComboBox* ABox);
  QString SelectedToken() const;
  void ColorActivated(QComboBox* ABox, int AIndex);
  void StyleClicked(QCheckBox* ABox);
  void FontAttrsDefinedClicked();
  void AddToken();
  void RemoveToken();
  void RenameToken();
  void ShowCustomAttrValue();
  void CustomValueEdited();
  void AddCustomAttr();
  void RemoveCustomAttr();
  void RenameCustomAttr();
  void LoadFromFile();
  void SaveToFile();

  bool FInEvent = false;
  TKivEditDocument* FDoc = nullptr;
  TKivString FSchemeName;
  TKivColorSchemeModel FModel;
  TKivEditDocument* FExamples[2] = {nullptr, nullptr};
  TKivStringHashTable FCustomAttrs;
};

// Called with the user value and the new form before it is used.
using TKivColorSchemeDlgCallback = std::function<void(void* AUserValue, TKivSedColorSchemeDlg& AForm)>;

// Edits the colour scheme AScheme of ADoc; ACaption replaces "Color scheme editor" when not
// empty. A scheme the document lacks raises EKivColorSchemeLoadError "Can't find color scheme
// '%s'"; a scheme text that cannot be read raises EKivEditBadColorSchemeXml. True when closed with
// OK (the scheme text has then been written back).
bool ExecuteColorSchemeDlg(TKivEditDocument& ADoc, const TKivString& AScheme, const TKivString& ACaption,
                           const TKivColorSchemeDlgCallback& ACallback, void* AUserValue);
bool ExecuteColorSchemeDlg(TKivEditDocument& ADoc, const TKivString& AScheme, const TKivString& ACaption);

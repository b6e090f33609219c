// The scheme text editor ("Edit scheme"): the XML text of one scheme in an editor view that
// highlights XML (the dialog's own document with the syntax scheme "XML" and the colour scheme
// "default"), with "Load..." and "Save..." for files. OK writes the text back into the scheme's
// string list, which makes the owning document apply its schemes again; a load error is then
// shown in an error box and the text is kept.
#pragma once

#include <functional>
#include <memory>

#include "KivSedDialogForm.h"
#include "KivSedDocument.h"

class QPushButton;
class TKivEditView;

class TKivSedSchemeEditDlg : public TKivSedDialogForm {
 public:
  explicit TKivSedSchemeEditDlg(QWidget* AParent = nullptr);
  ~TKivSedSchemeEditDlg() override;

  std::unique_ptr<TKivEditDocument> Doc;
  TKivEditView* KivEditView1;
  QPushButton* Button1;  // "OK"
  QPushButton* Button2;  // "Cancel"
  QPushButton* Button3;  // "Load..."
  QPushButton* Button4;  // "Save..."

 private:
  void LoadFromFile();
  void SaveToFile();
};

// Called with the user value and the new form before it is shown.
using TKivSchemeEditDlgCallback = std::function<void(void* AUserValue, TKivSedSchemeEditDlg& AForm)>;

// Edits the text of AScheme; AKind is skSyntax or skColor (which names the kind in the error box),
// ACaption replaces "Edit scheme" when not empty. True exactly when closed with OK; the text is
// then written back, and an error of applying it is shown in an error box ("Error %s on loading
// syntax scheme contents. Original message: %s", or "color" for a colour scheme) and not raised.
bool ExecuteSchemeEditDlg(TKivEditParserSchemeStrings& AScheme, TKivEditSchemeKind AKind, const TKivString& ACaption,
                          const TKivSchemeEditDlgCallback& ACallback, void* AUserValue);
bool ExecuteSchemeEditDlg(TKivEditParserSchemeStrings& AScheme, TKivEditSchemeKind AKind, const TKivString& ACaption);

// The go-to-line window: "Go to line: " and a field that takes a line number of at most as many
// digits as the document's line count has (one for a count of 0), with "OK" (the default button)
// and "Cancel" (Esc). Only digits can be typed or pasted; a paste with anything else is refused.
#pragma once

#include "KivSedDialogForm.h"
#include "KivTypes.h"

class QLabel;
class QLineEdit;
class QPushButton;

class TKivSedGotoLineDlg : public TKivSedDialogForm {
 public:
  // ALineCount >= 0, else EInvalidArgument.
  explicit TKivSedGotoLineDlg(Integer ALineCount, QWidget* AParent = nullptr);

  Integer LineCount() const { return FLineCount; }
  // The line the field names, 0-based: min(n, line count), at least 1, minus 1; -1 when the
  // field is empty. The number is read as 64-bit, so no count of digits can overflow it.
  Integer ChosenLine() const;

  QLabel* lblCaption;
  QLineEdit* edtLine;
  QPushButton* btnOk;
  QPushButton* Button1;

 private:
  Integer FLineCount;
};

// Runs the window modally for a document of ALineCount lines (>= 0), centred on AParent's window.
// True exactly when the user closed it with OK; ALine is then the chosen line (0-based) or -1
// when the field was left empty, and -1 otherwise.
bool ShowGotoLineDialog(Integer ALineCount, Integer& ALine, QWidget* AParent = nullptr);

// The number of decimal digits of ACount (>= 0): 1 for 0.
Integer KivDecimalDigits(Integer ACount);

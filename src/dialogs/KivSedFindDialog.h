// The types the find and replace window and its components share: the result of a run, the
// geometry the window remembers, and the record of settings and histories the window reads at
// its start and writes back at its end; the window itself and its entry point ShowSearchDialog.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "KivSedDialogForm.h"
#include "KivSedSearch.h"
#include "KivSedViewSearch.h"
#include "KivTypes.h"

class TKivCustomEditView;

// srCancel: the user closed the window without searching, or the search could not start (a bad
// regular expression, reported to the user).
enum TKivEditSearchResult : uint8_t { srFound, srNotFound, srCancel };

// Which of the window's geometry is remembered between runs (a set of bits).
enum TKivEditSearchDialogPosItem : uint8_t { spRememberPos = 1 << 0, spRememberWidth = 1 << 1 };
using TKivEditSearchDialogPos = uint8_t;

// The settings and histories of a find or replace component, handed to the window by reference.
struct TKivEditSearchDlgOptions {
  // Most recent first; entry 0 is the text the window shows first.
  std::vector<TKivString> Searches;
  std::vector<TKivString> Replaces;
  TKivEditViewReplaceAllBounds ReplaceAllBounds = rbAllText;
  TKivEditSearchDialogPos Position = 0;
  TKivEditSearchOptions Options;
  TKivEditSearchDirection Direction = sdForward;
  TKivEditViewSearchStart Start = ssCursor;
  // Replacements made by the last run of the window.
  Integer LastNumberOfReplacements = 0;
  // The user chose "Replace All" during the last run.
  bool WasReplaceAllChosen = false;
};

// Runs the find (AReplaceMode false) or replace window modally on AView with the caption ATitle,
// reading and writing AOptions; answers what the run found.
using TKivShowSearchDialogFn =
    std::function<TKivEditSearchResult(const TKivString& ATitle, TKivCustomEditView& AView, bool AReplaceMode,
                                       TKivEditSearchDlgOptions& AOptions)>;

// ---------------------------------------------------------------------------------------------
// The find and replace window

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QWidget;

// The modal window behind the find and replace components: the search text and (replace mode)
// the replacement as editable drop-down lists with their histories, the options, the direction,
// where the search starts and (replace mode) what "Replace All" covers. OK and "Replace All"
// record what the user chose and close the window; ShowSearchDialog then runs that one view
// operation with no window on the screen, so the selection and the view's own questions are
// seen over the editor.
class TKivSedFindDlg : public TKivSedDialogForm {
 public:
  // What OK or "Replace All" chose; the window is closed by then.
  enum TAction : uint8_t { acNone, acFirst, acReplaceAll };

  explicit TKivSedFindDlg(QWidget* AParent = nullptr);

  // Loads the histories (their first entries become the fields' texts), the check boxes and the
  // radio buttons from AOps. Fires no handler.
  void SetSearchOptions(const TKivEditSearchDlgOptions& AOps);
  // The settings as the window shows them. With AForSave the histories are the lists' entries;
  // without it each is the one text in its field. soRegexpSubstitute goes with soRegexp.
  // Position is left empty.
  TKivEditSearchDlgOptions GetSearchOptions(bool AForSave) const;
  // Shows the rows of the mode: replacement text, "Prompt on replace", the bounds and the
  // replace buttons in replace mode; the find buttons in find mode, where "Start from" takes the
  // whole row.
  void SetReplaceMode(bool AValue);
  // Puts the field's text on top of its history, dropping an entry equal to it but for case. An
  // empty search text is not stored; an empty replacement is. The fields keep their texts.
  void UpdateHistory();
  // OK (both modes) and "Replace All": record the action with the arguments of this moment and
  // close the window.
  void btnFindClick();
  void btnReplaceAllClick();

  TAction Action() const { return FAction; }
  // The arguments taken when the action was chosen.
  const TKivEditSearchArguments& ActionArgs() const { return FArgs; }
  // Runs the chosen action on View: srFound or srNotFound (NumOfReplacements then holds the
  // view's count); srCancel without an action. What the view raises passes on.
  TKivEditSearchResult RunAction();

  bool IsReplace = false;
  TKivCustomEditView* View = nullptr;
  Integer NumOfReplacements = 0;
  bool WasReplaceAllChosen = false;

  QLabel* lblTextToSearch;
  QComboBox* edTextToSearch;
  QLabel* lblTextToReplace;
  QComboBox* edReplaceText;
  QGroupBox* grOptions;
  QCheckBox* cbCaseSensitive;
  QCheckBox* cbWholeWords;
  QCheckBox* cbRegexps;
  QCheckBox* cbConfirmReplace;
  QGroupBox* grDirection;
  QRadioButton* cbForward;
  QRadioButton* cbBackward;
  QGroupBox* grBounds;
  QRadioButton* cbAllText;
  QRadioButton* cbSelection;
  QGroupBox* grStartFrom;
  QRadioButton* cbFromCursor;
  QRadioButton* cbFromTextStart;
  // The two button rows (one of them is shown).
  QWidget* pnFindButtons;
  QPushButton* btnFind;
  QPushButton* btnFindCancel;
  QWidget* pnReplaceButtons;
  QPushButton* btnReplace;
  QPushButton* btnReplaceAll;
  QPushButton* btnReplaceCancel;

 private:
  TKivEditSearchArguments TakeArgs(bool AWithReplacement) const;
  TAction FAction = acNone;
  TKivEditSearchArguments FArgs;
};

// The window's geometry remembered for the whole process (0: none): its last left and top edge
// and its width.
struct TKivSearchDialogGeometry {
  Integer Left = 0;
  Integer Top = 0;
  Integer Width = 0;
};
TKivSearchDialogGeometry KivSearchDialogGeometry();
void KivSetSearchDialogGeometry(const TKivSearchDialogGeometry& AValue);

// Runs the find (AReplaceMode false) or replace window on AView, captioned ATitle, from the
// settings and histories of AOptions, and writes them back (Position kept,
// LastNumberOfReplacements the run's count). The first text shown: the view's selection, else
// the word at the cursor, else the history's first entry. Width and place come from the
// remembered geometry as AOptions.Position allows (a remembered left or top of 0 centres the
// window) and are remembered again afterwards.
//
// Cancel gives srCancel and stores the options, not the typed texts. OK runs the view's
// SearchFirst (find mode) or ReplaceFirst, "Replace All" its ReplaceAll, after the window closed:
// srFound or srNotFound, with the histories updated. A bad regular expression or substitution
// (EKivRegExprError) shows "Error in search expression or substitution string: %s" and gives
// srCancel; any other error of the view goes to the error display and gives srCancel, the
// histories and options stored all the same. Without a view: a beep, srCancel, AOptions untouched.
TKivEditSearchResult ShowSearchDialog(const TKivString& ATitle, TKivCustomEditView* AView, bool AReplaceMode,
                                      TKivEditSearchDlgOptions& AOptions);

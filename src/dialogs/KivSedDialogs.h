// The editor's dialog components: non-visual objects an application keeps beside a view (find,
// replace, key bindings, go to line) or a document (colour scheme, syntax scheme). Each checks
// that it is connected, then opens its window modally through a runner and destroys it again:
// no window is kept between calls. The find and replace components keep their settings and text
// histories from one call to the next.
//
// Runners. Each component opens its window through a runner with the signature of the window's
// entry point (ShowSearchDialog, ShowGotoLineDialog, ShowKeyBindingsDialog,
// ExecuteColorSchemeDlg, ExecuteSchemeEditDlg). A component starts with the default runner of
// its kind; SetRunner replaces it (tests pass scripted runners), an empty runner restores the
// default. A kind whose window is not part of the library yet has no default: Execute then
// raises EKivEditViewError "No window is registered for this dialog" after its checks.
//
// Links. View follows the widget's destruction and Document the document's destruction notice:
// a destroyed target reads as none. All checks raise EKivEditViewError before any window opens.
#pragma once

#include <QPointer>
#include <functional>

#include "KivSedColorSchemeDialog.h"
#include "KivSedDocument.h"
#include "KivSedFindDialog.h"
#include "KivSedGotoLineDialog.h"
#include "KivSedKeyBindingsDialog.h"
#include "KivSedSchemeEditDialog.h"
#include "KivSedView.h"

class QWidget;

// Runs the go-to-line window for a document of ALineCount lines; see ShowGotoLineDialog.
using TKivShowGotoLineDialogFn = std::function<bool(Integer ALineCount, Integer& ALine, QWidget* AParent)>;
// Runs the key bindings window for AView; true when the user confirmed (the view's custom key
// bindings have then been rebuilt).
using TKivShowKeyBindingsDialogFn = std::function<bool(TKivCustomEditView& AView)>;
// Runs the colour scheme editor on the document's colour scheme AScheme, with ACaption as the
// window's caption when not empty; true when the user confirmed.
using TKivExecuteColorSchemeDlgFn =
    std::function<bool(TKivEditDocument& ADoc, const TKivString& AScheme, const TKivString& ACaption)>;
// Runs the scheme text editor on AScheme (AKind: skSyntax or skColor), with ACaption as the
// window's caption when not empty; it writes the text back when the user confirms (true).
using TKivExecuteSchemeEditDlgFn = std::function<bool(TKivEditParserSchemeStrings& AScheme,
                                                      TKivEditSchemeKind AKind, const TKivString& ACaption)>;

// ---------------------------------------------------------------------------------------------
// The view-bound components

class TKivEditBaseDialog {
 public:
  TKivEditBaseDialog() = default;
  virtual ~TKivEditBaseDialog() = default;
  TKivEditBaseDialog(const TKivEditBaseDialog&) = delete;
  TKivEditBaseDialog& operator=(const TKivEditBaseDialog&) = delete;

  // The view, or none (also once the view was destroyed).
  TKivCustomEditView* View() const { return FView.data(); }
  void SetView(TKivCustomEditView* AView) { FView = AView; }

  // Opens the window; AParentWnd is not used (each window places itself on the view's window).
  virtual bool Execute(QWidget* AParentWnd = nullptr) = 0;

 protected:
  // The view; without one EKivEditViewError "View property should be assigned for this method".
  TKivCustomEditView& CheckView() const;

 private:
  QPointer<TKivCustomEditView> FView;
};

class TKivEditFindDialog : public TKivEditBaseDialog {
 public:
  TKivEditFindDialog() = default;

  TKivEditSearchDialogPos Position() const { return FOptions.Position; }
  void SetPosition(TKivEditSearchDialogPos AValue) { FOptions.Position = AValue; }
  TKivEditSearchOptions Options() const { return FOptions.Options; }
  void SetOptions(TKivEditSearchOptions AValue) { FOptions.Options = AValue; }
  TKivEditSearchDirection Direction() const { return FOptions.Direction; }
  void SetDirection(TKivEditSearchDirection AValue) { FOptions.Direction = AValue; }
  TKivEditViewSearchStart Start() const { return FOptions.Start; }
  void SetStart(TKivEditViewSearchStart AValue) { FOptions.Start = AValue; }
  // The search history, most recent first. Reading refills the component's own list from the
  // history, so a change of the returned list changes nothing; writing copies the lines in order.
  TKivStrings& Searches();
  void SetSearches(const TKivStrings& AValue);
  // What the last Execute found; srNotFound before the first.
  TKivEditSearchResult LastResult() const { return FLastResult; }
  // The whole record the window reads and writes.
  const TKivEditSearchDlgOptions& DialogOptions() const { return FOptions; }

  // ShowSearchDialog by default.
  const TKivShowSearchDialogFn& Runner() const { return FRunner; }
  void SetRunner(TKivShowSearchDialogFn ARunner) { FRunner = ARunner ? std::move(ARunner) : DefaultRunner(); }
  // The runner that opens the library's find and replace window (TKivSedFindDlg).
  static TKivShowSearchDialogFn DefaultRunner();

  // Runs the find window ("Find text"). False only for srNotFound: also a cancelled run (and a
  // search that could not start, such as a bad regular expression) gives true. Callers that need
  // to tell them apart read LastResult.
  bool Execute(QWidget* AParentWnd = nullptr) override;
  // The next occurrence with the view's last search arguments, without a window; the view must
  // be in a search (stInSearch), else EKivEditViewError "You must call Execute method first.
  // View SearchState should be stInSearch". LastResult does not change.
  virtual bool ExecuteNext(QWidget* AParentWnd = nullptr);

 protected:
  bool Run(bool AReplaceMode);
  TKivEditSearchDlgOptions FOptions;

 private:
  TKivStringList FSearch;
  TKivEditSearchResult FLastResult = srNotFound;
  TKivShowSearchDialogFn FRunner = DefaultRunner();
};

class TKivEditReplaceDialog : public TKivEditFindDialog {
 public:
  // The replacement history, in the manner of Searches.
  TKivStrings& Replaces();
  void SetReplaces(const TKivStrings& AValue);
  TKivEditViewReplaceAllBounds ReplaceAllBounds() const { return FOptions.ReplaceAllBounds; }
  void SetReplaceAllBounds(TKivEditViewReplaceAllBounds AValue) { FOptions.ReplaceAllBounds = AValue; }
  // Replacements made by the last Execute (set to 0 before it runs).
  Integer LastReplacesNumber() const { return FOptions.LastNumberOfReplacements; }

  // Runs the window in replace mode (its caption is "Find text" as well); results as Find's.
  bool Execute(QWidget* AParentWnd = nullptr) override;
  // The view's next replacement; the view must be in a replacement (stInReplace), else
  // EKivEditViewError "You must call Execute method first. View SearchState should be
  // stInReplace". Errors of the view (a read-only view) pass unchanged.
  bool ExecuteNext(QWidget* AParentWnd = nullptr) override;

 private:
  TKivStringList FReplaces;
};

class TKivEditKeybindingsDialog : public TKivEditBaseDialog {
 public:
  // ShowKeyBindingsDialog (without a hook) by default; an empty runner restores it.
  const TKivShowKeyBindingsDialogFn& Runner() const { return FRunner; }
  void SetRunner(TKivShowKeyBindingsDialogFn ARunner) {
    FRunner = ARunner ? std::move(ARunner) : DefaultRunner();
  }
  // True exactly when the user confirmed.
  bool Execute(QWidget* AParentWnd = nullptr) override;

 private:
  static TKivShowKeyBindingsDialogFn DefaultRunner() {
    return [](TKivCustomEditView& AView) { return ShowKeyBindingsDialog(AView); };
  }
  TKivShowKeyBindingsDialogFn FRunner = DefaultRunner();
};

class TKivEditGotoLineDialog : public TKivEditBaseDialog {
 public:
  // ShowGotoLineDialog by default.
  const TKivShowGotoLineDialogFn& Runner() const { return FRunner; }
  void SetRunner(TKivShowGotoLineDialogFn ARunner) {
    FRunner = ARunner ? std::move(ARunner) : TKivShowGotoLineDialogFn(&ShowGotoLineDialog);
  }
  // Asks for a line of the view's document (a count of 0 without a document) and moves the view
  // there with GotoPhysLine when the user confirmed with a number (its errors pass unchanged).
  // True exactly when the user confirmed, also with an empty field (nothing moves then).
  bool Execute(QWidget* AParentWnd = nullptr) override;

 private:
  TKivShowGotoLineDialogFn FRunner = &ShowGotoLineDialog;
};

// ---------------------------------------------------------------------------------------------
// The document-bound components

class TKivEditBaseSchemeDialog : private TKivDocumentListener {
 public:
  TKivEditBaseSchemeDialog() = default;
  ~TKivEditBaseSchemeDialog() override;
  TKivEditBaseSchemeDialog(const TKivEditBaseSchemeDialog&) = delete;
  TKivEditBaseSchemeDialog& operator=(const TKivEditBaseSchemeDialog&) = delete;

  // The document, or none (also once it was destroyed).
  TKivEditDocument* Document() const { return FDoc; }
  void SetDocument(TKivEditDocument* ADoc);
  // The window's caption when not empty.
  const TKivString& Title() const { return FTitle; }
  void SetTitle(const TKivString& AValue) { FTitle = AValue; }

  virtual bool Execute(QWidget* AParentWnd = nullptr) = 0;

 protected:
  // The scheme collection of this kind of component in ADoc.
  virtual TKivEditParserSchemeCollection& Collection(TKivEditDocument& ADoc) const = 0;
  // "Syntax scheme %s not found ..." or "Color scheme %s not found ...".
  virtual const char16_t* NotFoundMessage() const = 0;
  // The document; without one EKivEditViewError "Document property should be assigned for this
  // method".
  TKivEditDocument& CheckDocument() const;
  // The scheme name check: nothing without a document; a non-empty name the collection does not
  // hold raises the not-found message; an empty name raises "Scheme property should be set for
  // this method" when AForExecute. Returns the item, or none.
  TKivEditParserSchemeCollectionItem* CheckScheme(const TKivString& AName, bool AForExecute) const;

 private:
  void DocumentDestroing() override { FDoc = nullptr; }

  TKivEditDocument* FDoc = nullptr;
  TKivString FTitle;
};

class TKivEditColorSchemeDialog : public TKivEditBaseSchemeDialog {
 public:
  const TKivString& ColorScheme() const { return FScheme; }
  // Stores the name only when the scheme name check passes.
  void SetColorScheme(const TKivString& AValue);

  // ExecuteColorSchemeDlg by default.
  const TKivExecuteColorSchemeDlgFn& Runner() const { return FRunner; }
  void SetRunner(TKivExecuteColorSchemeDlgFn ARunner) {
    FRunner = ARunner ? std::move(ARunner) : DefaultRunner();
  }
  // True when the user confirmed.
  bool Execute(QWidget* AParentWnd = nullptr) override;

 protected:
  TKivEditParserSchemeCollection& Collection(TKivEditDocument& ADoc) const override {
    return ADoc.ColorSchemes();
  }
  const char16_t* NotFoundMessage() const override {
    return u"Color scheme %s not found in Document.ColorSchemes collection";
  }

 private:
  static TKivExecuteColorSchemeDlgFn DefaultRunner() {
    return [](TKivEditDocument& ADoc, const TKivString& AScheme, const TKivString& ACaption) {
      return ExecuteColorSchemeDlg(ADoc, AScheme, ACaption);
    };
  }
  TKivString FScheme;
  TKivExecuteColorSchemeDlgFn FRunner = DefaultRunner();
};

class TKivEditSyntaxSchemeDialog : public TKivEditBaseSchemeDialog {
 public:
  const TKivString& SyntaxScheme() const { return FScheme; }
  // Stores the name only when the scheme name check passes.
  void SetSyntaxScheme(const TKivString& AValue);

  // ExecuteSchemeEditDlg by default.
  const TKivExecuteSchemeEditDlgFn& Runner() const { return FRunner; }
  void SetRunner(TKivExecuteSchemeEditDlgFn ARunner) {
    FRunner = ARunner ? std::move(ARunner) : DefaultRunner();
  }
  // Edits the text of the document's syntax scheme of that name; true when the user confirmed.
  bool Execute(QWidget* AParentWnd = nullptr) override;

 protected:
  TKivEditParserSchemeCollection& Collection(TKivEditDocument& ADoc) const override {
    return ADoc.SyntaxSchemes();
  }
  const char16_t* NotFoundMessage() const override {
    return u"Syntax scheme %s not found in Document.SyntaxSchemes collection";
  }

 private:
  static TKivExecuteSchemeEditDlgFn DefaultRunner() {
    return [](TKivEditParserSchemeStrings& AScheme, TKivEditSchemeKind AKind, const TKivString& ACaption) {
      return ExecuteSchemeEditDlg(AScheme, AKind, ACaption);
    };
  }
  TKivString FScheme;
  TKivExecuteSchemeEditDlgFn FRunner = DefaultRunner();
};

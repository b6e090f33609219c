#include "KivLayoutTypes.h"
#include "KivSedDialogs.h"
#include "internal/ViewSearch.h"

namespace {

// A kind whose window the library does not hold yet.
template <class F>
const F& CheckRunner(const F& ARunner) {
  if (!ARunner) throw EKivEditViewError(u"No window is registered for this dialog");
  return ARunner;
}

void FillList(TKivStringList& AList, const std::vector<TKivString>& AItems) {
  AList.BeginUpdate();
  AList.Clear();
  for (const TKivString& s : AItems) AList.Add(s);
  AList.EndUpdate();
}

std::vector<TKivString> ListItems(const TKivStrings& AList) {
  std::vector<TKivString> items;
  items.reserve(static_cast<size_t>(AList.Count()));
  for (Integer i = 0; i < AList.Count(); ++i) items.push_back(AList.Get(i));
  return items;
}

}  // namespace

// ---- view-bound ----

TKivCustomEditView& TKivEditBaseDialog::CheckView() const {
  TKivCustomEditView* view = View();
  if (!view) throw EKivEditViewError(u"View property should be assigned for this method");
  return *view;
}

TKivShowSearchDialogFn TKivEditFindDialog::DefaultRunner() {
  return [](const TKivString& ATitle, TKivCustomEditView& AView, bool AReplaceMode,
            TKivEditSearchDlgOptions& AOptions) {
    return ShowSearchDialog(ATitle, &AView, AReplaceMode, AOptions);
  };
}

TKivStrings& TKivEditFindDialog::Searches() {
  FillList(FSearch, FOptions.Searches);
  return FSearch;
}

void TKivEditFindDialog::SetSearches(const TKivStrings& AValue) {
  FOptions.Searches = ListItems(AValue);
}

bool TKivEditFindDialog::Run(bool AReplaceMode) {
  TKivCustomEditView& view = CheckView();
  const TKivShowSearchDialogFn runner = CheckRunner(FRunner);
  if (AReplaceMode) FOptions.LastNumberOfReplacements = 0;
  FLastResult = runner(u"Find text", view, AReplaceMode, FOptions);
  return FLastResult != srNotFound;
}

bool TKivEditFindDialog::Execute(QWidget*) {
  return Run(false);
}

bool TKivEditFindDialog::ExecuteNext(QWidget*) {
  TKivCustomEditView& view = CheckView();
  if (KivViewSearch().SearchState(view) != stInSearch)
    throw EKivEditViewError(u"You must call Execute method first. View SearchState should be stInSearch");
  return KivViewSearch().SearchNext(view);
}

TKivStrings& TKivEditReplaceDialog::Replaces() {
  FillList(FReplaces, FOptions.Replaces);
  return FReplaces;
}

void TKivEditReplaceDialog::SetReplaces(const TKivStrings& AValue) {
  FOptions.Replaces = ListItems(AValue);
}

bool TKivEditReplaceDialog::Execute(QWidget*) {
  return Run(true);
}

bool TKivEditReplaceDialog::ExecuteNext(QWidget*) {
  TKivCustomEditView& view = CheckView();
  if (KivViewSearch().SearchState(view) != stInReplace)
    throw EKivEditViewError(u"You must call Execute method first. View SearchState should be stInReplace");
  return KivViewSearch().ReplaceNext(view);
}

bool TKivEditKeybindingsDialog::Execute(QWidget*) {
  TKivCustomEditView& view = CheckView();
  return CheckRunner(FRunner)(view);
}

bool TKivEditGotoLineDialog::Execute(QWidget*) {
  TKivCustomEditView& view = CheckView();
  const Integer count = view.Document() ? view.Document()->LinesCount() : 0;
  Integer line = -1;
  const bool ok = FRunner(count, line, view.window());
  // The view may have gone while the window was open.
  if (ok && line != -1) CheckView().GotoPhysLine(line);
  return ok;
}

// ---- document-bound ----

TKivEditBaseSchemeDialog::~TKivEditBaseSchemeDialog() {
  if (FDoc) FDoc->RemoveListener(this);
}

void TKivEditBaseSchemeDialog::SetDocument(TKivEditDocument* ADoc) {
  if (ADoc == FDoc) return;
  if (ADoc) ADoc->AddListener(this);
  if (FDoc) FDoc->RemoveListener(this);
  FDoc = ADoc;
}

TKivEditDocument& TKivEditBaseSchemeDialog::CheckDocument() const {
  if (!FDoc) throw EKivEditViewError(u"Document property should be assigned for this method");
  return *FDoc;
}

TKivEditParserSchemeCollectionItem* TKivEditBaseSchemeDialog::CheckScheme(const TKivString& AName,
                                                                          bool AForExecute) const {
  if (!FDoc) return nullptr;
  if (AName.empty()) {
    if (AForExecute) throw EKivEditViewError(u"Scheme property should be set for this method");
    return nullptr;
  }
  TKivEditParserSchemeCollectionItem* item = Collection(*FDoc).FindItem(AName);
  if (!item) throw EKivEditViewError(NotFoundMessage(), {AName});
  return item;
}

void TKivEditColorSchemeDialog::SetColorScheme(const TKivString& AValue) {
  CheckScheme(AValue, false);
  FScheme = AValue;
}

bool TKivEditColorSchemeDialog::Execute(QWidget*) {
  TKivEditDocument& doc = CheckDocument();
  CheckScheme(FScheme, true);
  return CheckRunner(FRunner)(doc, FScheme, Title());
}

void TKivEditSyntaxSchemeDialog::SetSyntaxScheme(const TKivString& AValue) {
  CheckScheme(AValue, false);
  FScheme = AValue;
}

bool TKivEditSyntaxSchemeDialog::Execute(QWidget*) {
  CheckDocument();
  TKivEditParserSchemeCollectionItem* item = CheckScheme(FScheme, true);
  return CheckRunner(FRunner)(item->Scheme(), skSyntax, Title());
}

// The view's listener on its document: hands edits to the screen cache and brackets every
// notification pair with one of the view's change brackets, so the view lays out and repaints
// once when the outermost bracket closes.
#pragma once

#include <vector>

#include "KivSedDocument.h"

class TScreenCache;

// What the listener needs from its view.
class IKivViewLstHost {
 public:
  virtual ~IKivViewLstHost() = default;
  virtual TScreenCache& ScreenCache() = 0;
  // Offsets the view converted and keeps are stale from AFromOffset on.
  virtual void InvalidateConversionCache(Integer AFromOffset) = 0;
  // The view's change bracket; closing the outermost one lays out and repaints.
  virtual void BeginUpdate() = 0;
  virtual void EndUpdate(bool AFullRepaint) = 0;
  // While suspended the view neither paints nor reports (a refresh is under way).
  virtual void SuspendUpdates(bool ASuspend) = 0;
  // Where the cursor goes when the next undo step of the document carries none.
  virtual void SetLastOffsetForUndo(Integer AOffset) = 0;
  // The document's schemes and word separators changed: read them again.
  virtual void ReadDocumentSettings() = 0;
  // Bookmarks, breakpoints or frame lines changed: flags of rows on screen are stale.
  virtual void NoteScreenMarkersChanged() = 0;
  // A change made outside any bracket of the view is complete: report it.
  virtual void ReportIfIdle() = 0;
  virtual void DetachDocument() = 0;
};

class TViewLst : public TKivDocumentListener {
 public:
  explicit TViewLst(IKivViewLstHost& AHost) : FHost(AHost) {}

  void BeforeInsert(Integer AStart, Integer ALength) override;
  void AfterInsert(Integer AStart, Integer ALength) override;
  void BeforeDelete(Integer AStart, Integer ALength) override;
  void AfterDelete(Integer AStart, Integer ALength) override;
  void BeforeRefresh() override;
  void AfterRefresh() override;
  void BeforeSettingsRefresh() override;
  void AfterSettingsRefresh() override;
  void BeforeCompoundEdit(bool AFreezeViews) override;
  void AfterCompoundEdit(bool AFreezeViews) override;
  void BeforeMarkChange() override;
  void AfterMarkChange() override;
  void MarkSettingsChanged(const IKivMarkersRef& AMarkers, const IKivMarkRef& AMark) override;
  void DoUserEventAfterDocChange() override;
  void DocumentDestroing() override;

  // Closes the brackets of notifications whose After never came (a listener or the document
  // raised between the two). The view calls it when the document is idle (no update under way);
  // the listener itself does so when a new pair starts where the old one cannot still be open.
  void RecoverStaleBrackets();
  // Brackets opened by this listener and not closed yet.
  Integer OpenBrackets() const { return static_cast<Integer>(FOpen.size()); }
  // A run of edits the view does not look at until it ends (its own frozen replace-all): the
  // edits share one change bracket, opened at the run's first edit and closed by EndEditRun,
  // instead of one each. The screen cache still follows every edit.
  void BeginEditRun();
  void EndEditRun();

 private:
  enum TPair : uint8_t {
    prInsert,
    prDelete,
    prRefresh,
    prSettingsRefresh,
    prCompound,
    prMarkChange,
    prEditRun
  };
  // Edits, refreshes and settings refreshes never nest in one another, nor do two compound edits
  // or two marker changes.
  static bool CannotNest(TPair AOpen, TPair ANew);
  void Open(TPair APair);
  // Closes the newest bracket of APair (and stale ones opened after it); false when none is open.
  bool Close(TPair APair, bool AFullRepaint = false);
  void CloseTop(bool AFullRepaint);
  // An edit's bracket; inside a run of edits the run's one.
  void OpenEdit(TPair APair);
  void CloseEdit(TPair APair);

  IKivViewLstHost& FHost;
  std::vector<TPair> FOpen;
  std::vector<bool> FSuspends;  // per open bracket: it suspended the view's updates
  bool FInEditRun = false;
  bool FRunBracketOpen = false;  // the run's bracket is among FOpen
  bool FQuickEdit = false;       // the screen cache followed the edit under way at its Before
};

// Saved view states: where the user was in the documents a view showed before.
//
// When a view switches to another document, the state of the old one (cursor, selection, top
// line, block mode, collapsed folds) is saved as markers on that document, so it follows the
// edits made while the document is not shown, and is applied again when the view shows the
// document next. A saved state is forgotten when its document is reloaded, loses its whole
// text or is destroyed, when it is pushed out as the oldest, or with its view.
#pragma once

#include <memory>
#include <vector>

#include "KivSedDocument.h"
#include "KivSedMarkers.h"

class TScreenCache;
class TStoredView;

class TStoredViewData : public TKivDocumentListener {
 public:
  // Captures the state of the document the cache shows and listens to that document.
  explicit TStoredViewData(TStoredView& AParent);
  ~TStoredViewData() override;
  TStoredViewData(const TStoredViewData&) = delete;
  TStoredViewData& operator=(const TStoredViewData&) = delete;

  // The document; none once the state was forgotten.
  TKivEditDocument* Document() const { return FDocument; }
  bool Forgotten() const { return FDocument == nullptr; }

  void BeforeRefresh() override;
  void BeforeDelete(Integer AStart, Integer ALength) override;
  void DocumentDestroing() override;

  // Markers of the keeping collection, or none for offset 0.
  IKivMarkRef Cursor, SelStart, SelEnd, ScreenStart;
  bool SelBlockMode = false;
  // One line marker per collapsed fold start.
  IKivMarkersRef Folds;

 private:
  // Lets go of the document (markers, collections, listener). With ATellParent the list frees
  // the state later: never from inside the document's notification.
  void Forget(bool ATellParent);

  TScreenCache& FCache;
  TKivEditDocument* FDocument;
  IKivMarkersRef FCursorMarkers;
  TStoredView& FParent;
};

class TStoredView {
 public:
  static constexpr Integer kDefaultLimit = 100;

  TStoredView(TScreenCache& AParent, Integer ALimit);
  TStoredView(const TStoredView&) = delete;
  TStoredView& operator=(const TStoredView&) = delete;

  TScreenCache& Parent() const { return FParent; }
  // Saves the state of the cache's document, pushing the oldest out when the list is full.
  // Nothing is saved with a limit below 1, or while the document is inside a compound edit.
  void AttachCurrentDoc();
  // The two halves of AttachCurrentDoc: the state of the cache's document, not yet in the list
  // (none when nothing is to be saved); and putting a captured state in the list.
  std::unique_ptr<TStoredViewData> Capture();
  void Keep(std::unique_ptr<TStoredViewData> AData);
  // The saved state of ADocument, or none.
  TStoredViewData* GetDataByDoc(const TKivEditDocument* ADocument);
  // Frees a state of the list.
  void RemoveData(TStoredViewData* AData);
  // A negative limit counts as 0; surplus states go, oldest first.
  void SetDataLimit(Integer ALimit);
  Integer GetDataLimit() const { return FDataLimit - 1; }
  // Saved states that are still in use.
  Integer Count();

 private:
  friend class TStoredViewData;
  // Frees the states that were forgotten.
  void Purge();

  TScreenCache& FParent;
  std::vector<std::unique_ptr<TStoredViewData>> FData;  // oldest first
  Integer FDataLimit;                                    // the limit + 1
  bool FHasForgotten = false;
};

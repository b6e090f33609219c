// A small document stand-in for marker tests: a string, a line index and an event log.
//
// The line index runs in one of two modes: kRefresh rebuilds it from the text after every
// edit (a CR followed by an LF is always one separator), kIncremental updates it the way the
// document's index does (a CR and an LF brought together by an edit's end stay two
// separators). Markers must be right under both.
#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "internal/Markers.h"

class TMarkerFakeHost : public TKivMarkHost {
 public:
  enum TIndexMode { kRefresh, kIncremental };

  explicit TMarkerFakeHost(TKivString AText = u"", TIndexMode AMode = kRefresh)
      : FText(std::move(AText)), FMode(AMode), FManager(this) {
    Rebuild();
  }

  TMarkManager& Manager() { return FManager; }
  const TKivString& Text() const { return FText; }

  // The collection whose markers a whole-text deletion removes (the document's Bookmarks).
  TMarkCollection* WipeOnWholeDelete = nullptr;
  Integer MarkersLock = 0;
  Integer ChangesLock = 0;
  std::vector<std::string> Log;
  std::function<void(const IKivMarkersRef&, const IKivMarkRef&)> OnMarkCreating;
  std::function<void(const IKivMarkersRef&, const IKivMarkRef&)> OnMarkDeleting;

  // ---- edits, in the document's pipeline order ----
  void Insert(Integer AStart, const TKivString& AStr) {
    if (ChangesLock > 0) throw EKivEditDocError(u"Document is locked for changes");
    const Integer n = static_cast<Integer>(AStr.size());
    if (n == 0) return;
    FManager.ContentInserting(AStart, n);
    FText.insert(AStart, AStr);
    if (FMode == kRefresh)
      Rebuild();
    else
      IndexInserted(AStart, n);
    FManager.ContentInserted(AStart, n);
  }

  void Delete(Integer AStart, Integer ACount) {
    if (ChangesLock > 0) throw EKivEditDocError(u"Document is locked for changes");
    if (ACount <= 0) return;
    FManager.ReportMarksToDelete(AStart, ACount, WipeOnWholeDelete);
    FManager.ContentDeleting(AStart, ACount);
    if (FMode == kIncremental) IndexDeleting(AStart, ACount);
    FText.erase(AStart, ACount);
    if (FMode == kRefresh) Rebuild();
    FManager.ContentDeleted(AStart, ACount);
  }

  // ---- TKivMarkHost ----
  Integer MarkHostCharsCount() override { return static_cast<Integer>(FText.size()); }
  Integer MarkHostLinesCount() override { return static_cast<Integer>(FEnds.size()); }
  Integer MarkHostLineStart(Integer ALine) override {
    CheckLine(ALine);
    if (ALine == 0) return 0;
    return FEnds[ALine - 1] + (FCrLf[ALine - 1] ? 2 : 1);
  }
  Integer MarkHostLineEnd(Integer ALine) override {
    CheckLine(ALine);
    return FEnds[ALine];
  }
  Integer MarkHostLineByOffset(Integer AOffset) override {
    if (AOffset < 0 || AOffset > MarkHostCharsCount())
      throw EKivEditDocError(u"Invalid char index for insert: %d. Valid range: [%d, %d].",
                             {AOffset, 0, MarkHostCharsCount()});
    return static_cast<Integer>(std::lower_bound(FEnds.begin(), FEnds.end() - 1, AOffset) - FEnds.begin());
  }

  void MarkHostBeginChange() override {
    if (MarkersLock > 0) throw EKivEditDocError(u"Document markers are locked for changes");
    Log.push_back("BeforeMarkChange");
  }
  void MarkHostEndChange() override { Log.push_back("AfterMarkChange"); }
  void MarkHostCreated(const IKivMarkersRef& AColl, const IKivMarkRef& AMark) override {
    {
      TLock lock(ChangesLock);
      if (OnMarkCreating) OnMarkCreating(AColl, AMark);
    }
    Log.push_back("MarkCreated " + std::to_string(AMark->Pos()));
  }
  void MarkHostDeleting(const IKivMarkersRef& AColl, const TKivMarkArray& AMarks) override {
    {
      TLock lock(ChangesLock);
      for (auto& m : AMarks)
        if (OnMarkDeleting) OnMarkDeleting(AColl, m);
    }
    std::string s = "MarksDeleting";
    for (auto& m : AMarks) s += " " + std::to_string(m->Pos());
    Log.push_back(s);
  }
  void MarkHostSettingsChanged(const IKivMarkersRef&, const IKivMarkRef& AMark) override {
    Log.push_back("MarkSettingsChanged " + std::to_string(AMark->Pos()));
  }

 private:
  struct TLock {
    explicit TLock(Integer& ACount) : FCount(ACount) { ++FCount; }
    ~TLock() { --FCount; }
    Integer& FCount;
  };

  void CheckLine(Integer ALine) const {
    const Integer count = static_cast<Integer>(FEnds.size());
    if (ALine < 0 || ALine >= count)
      throw EKivEditDocError(u"Invalid line index: %d. Valid range: [%d, %d]", {ALine, 0, count - 1});
  }

  void Rebuild() {
    FEnds.clear();
    FCrLf.clear();
    const Integer n = static_cast<Integer>(FText.size());
    for (Integer i = 0; i < n; ++i) {
      if (FText[i] == u'\r' && i + 1 < n && FText[i + 1] == u'\n') {
        FEnds.push_back(i);
        FCrLf.push_back(true);
        ++i;
      } else if (FText[i] == u'\r' || FText[i] == u'\n') {
        FEnds.push_back(i);
        FCrLf.push_back(false);
      }
    }
    FEnds.push_back(n);
    FCrLf.push_back(false);
  }

  // The text already holds the new characters; the entries describe the old text.
  void IndexInserted(Integer AStart, Integer ALength) {
    const Integer a =
        static_cast<Integer>(std::lower_bound(FEnds.begin(), FEnds.end() - 1, AStart) - FEnds.begin());
    Integer scan = AStart;
    if (AStart > 0 && FText[AStart] == u'\n' && FText[AStart - 1] == u'\r') {
      FCrLf[a - 1] = true;
      scan = AStart + 1;
    }
    std::vector<Integer> ends;
    std::vector<bool> crlf;
    const Integer stop = AStart + ALength;
    for (Integer i = scan; i < stop; ++i) {
      if (FText[i] == u'\r' && i + 1 < stop && FText[i + 1] == u'\n') {
        ends.push_back(i);
        crlf.push_back(true);
        ++i;
      } else if (FText[i] == u'\r' || FText[i] == u'\n') {
        ends.push_back(i);
        crlf.push_back(false);
      }
    }
    for (size_t k = a; k < FEnds.size(); ++k) FEnds[k] += ALength;
    FEnds.insert(FEnds.begin() + a, ends.begin(), ends.end());
    FCrLf.insert(FCrLf.begin() + a, crlf.begin(), crlf.end());
  }

  // The text still holds the old characters.
  void IndexDeleting(Integer AStart, Integer ALength) {
    const Integer a = MarkHostLineByOffset(AStart);
    const Integer b = MarkHostLineByOffset(AStart + ALength);
    FEnds.erase(FEnds.begin() + a, FEnds.begin() + b);
    FCrLf.erase(FCrLf.begin() + a, FCrLf.begin() + b);
    for (size_t k = a; k < FEnds.size(); ++k) FEnds[k] -= ALength;
  }

  TKivString FText;
  TIndexMode FMode;
  std::vector<Integer> FEnds;
  std::vector<bool> FCrLf;
  TMarkManager FManager;
};

// Internal: the search and replace engine behind the document's FindPattern* and ReplacePattern*
// operations.
//
// A step finds the next match from the search point P towards the bound E (the position of the
// state's EndM): forwards in [P, E], backwards in [E, P]. A step that fails (no match, or an
// error such as the regex work budget) leaves the state as it was.
#pragma once

#include <algorithm>
#include <memory>
#include <vector>

#include "KivSedSearch.h"
#include "internal/PlainSearch.h"

// What a state owns beside its public fields: the document it searches, the regex input over the
// document's characters and the marker collection that holds the bound. The collection keeps its
// marks, is not line-bound and produces no events. Destroying this detaches the collection from
// the document unless the document is already gone (its collections are then disposed).
struct TSearchInternal {
  TKivEditDocument* Doc = nullptr;
  std::unique_ptr<TKivRegexCharSeqSource> ReSrc;
  IKivMarkersRef Markers;
  // The forward plain searcher of the current pattern, made on first use.
  std::unique_ptr<TPlainSearcher> Plain;
  // The text of the current replacement, kept from one replacement to the next.
  TKivSeqFromString Replacement;

  // The walk of a backward regex search over the matches from the bound on, kept from one step
  // to the next: a step resumes it after the last match that was found without reading the
  // text from the step's search point on, instead of walking again from the bound.
  struct TWalkEntry {
    Integer Pos, Len;
    // Where the walk tries next after this match.
    Integer Next;
    // Every position the walk read up to here (the text, the input end) lies below this.
    Integer Reach;
    // The last match taken up to here (this one or an earlier one); -1: none.
    Integer TakenPos, TakenLen;
  };
  struct TBackwardWalk {
    std::vector<TWalkEntry> Entries;  // in walk order; thinned out when long
    Integer Bound = -1;               // where the walk began
    Integer InputEnd = -1;            // the input end the entries hold for (and for any before it)
    uint64_t Stamp = 0;               // the text's change stamp they were read at
    void Clear() {
      Entries.clear();
      Bound = -1;
    }
    // After the text changed from APos on only (now at AStamp): the entries that read nothing
    // from there on stay.
    void KeepBefore(Integer APos, uint64_t AStamp) {
      while (!Entries.empty() && Entries.back().Reach > APos) Entries.pop_back();
      InputEnd = std::min(InputEnd, APos);
      Stamp = AStamp;
    }
  } Walk;

  TSearchInternal() = default;
  ~TSearchInternal();
  TSearchInternal(const TSearchInternal&) = delete;
  TSearchInternal& operator=(const TSearchInternal&) = delete;

  // True while the document that made the state is alive and the state still searches it.
  bool Attached() const;
};

class TSearchEngine {
 public:
  explicit TSearchEngine(TKivEditDocument& ADoc);

  // A state positioned before the run (FoundSegment = (AOffset, 0)). AOffset must lie in
  // [0, CharsCount] and AMaxCount be -1 or more ("Index out of bounds: %d", "Invalid Count
  // value"); a regex pattern is compiled here and its error passes on. Nothing of the document
  // changes when this fails.
  TKivEditFindReplaceStatePtr NewState(Integer AOffset, Integer AMaxCount, const TKivString& APattern,
                                       TKivEditSearchOptions AOpts, TKivEditSearchDirection ADirection);
  // Raises unless AState was made by this document and is still attached to it.
  void CheckState(const TKivEditFindReplaceState& AState) const;

  // The first step of a find run (AReplacement none) or of a replace run: the state, or none
  // when nothing was found or the first replace step was cancelled.
  TKivEditFindReplaceStatePtr First(Integer AOffset, Integer AMaxCount, const TKivString& APattern,
                                    TKivEditSearchOptions AOpts, TKivEditSearchDirection ADirection,
                                    const TKivString* AReplacement, TKivEditReplaceEvent AReplaceCallback);
  // A later step of a run (false without a state).
  bool Next(Integer ANewStart, TKivEditFindReplaceState* AState, bool AReplace);

  // Moves the state to the next match; ANewStart -1 continues after (forwards) or before
  // (backwards) the last match, any other value restarts from it (clamped to the text).
  bool FindStep(Integer ANewStart, TKivEditFindReplaceState& AState, bool AFirst);
  // FindStep, then the replace callback and the replacement. False when nothing was found or the
  // action was raCancel. A replacement that fails puts FoundSegment back and passes the error on.
  bool ReplaceStep(Integer ANewStart, TKivEditFindReplaceState& AState, bool AFirst);

 private:
  struct TMatch {
    Integer Pos = -1;
    Integer Len = 0;
  };
  // Sets the state's expression up for a step over the current text (creating it and its input
  // when needed); compiles only when the pattern or a modifier changed.
  TKivRegExp& PrepareRegex(TKivEditFindReplaceState& AState);
  // One attempt from P towards E without the whole-word test; P0 is where the step began.
  bool FindRegexForward(TKivRegExp& ARe, Integer AP, Integer AE, Integer AP0, bool AFirst, TMatch& AMatch);
  // Backwards, AWholeWords: only whole words are taken (a regex backward run tests them itself).
  bool FindRegexBackward(TSearchInternal& AIn, TKivRegExp& ARe, Integer AP, Integer AE, Integer AP0, bool AFirst,
                         bool AWholeWords, TMatch& AMatch);
  bool FindPlain(TKivEditFindReplaceState& AState, Integer AP, Integer AE, TMatch& AMatch);
  bool IsWholeWord(const TMatch& AMatch);
  // 2 at a CR LF pair, else 1.
  Integer StepOver(Integer AP);
  // Whether AP lies between a CR and its LF.
  bool InsidePair(Integer AP);

  TKivEditDocument& FDoc;
  // The document's characters as a storage (read by chunks), or none.
  TKivTextStorage* FStorage;
};

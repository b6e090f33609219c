// Search and replace over a document: the options, the state of a search run and the regex
// source that reads a character sequence.
//
// A search run starts with the document's FindPatternFirst / ReplacePatternFirst, continues with
// the "next" calls and ends when the caller closes the state. The run's bound is a marker, so it
// follows the text while replacements change it. A state must not outlive its document for any
// use but being destroyed: destroying it after the document is safe.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>

#include "KivRegExpr.h"
#include "KivSedMarkers.h"
#include "KivSedUtils.h"

class TKivEditDocument;
class TKivEditFindReplaceState;
class TKivTextStorage;
struct TSearchInternal;

enum TKivEditSearchOption : uint8_t {
  soCaseSensitive,
  soRegexp,
  // With soRegexp: the replacement is a substitution template ($1, \n ...).
  soRegexpSubstitute,
  soWholeWords,
  // Interpreted by callers (ask before each replacement); the engine ignores it.
  soConfirmReplace
};

// A set of TKivEditSearchOption; empty: plain text without regard to case.
class TKivEditSearchOptions {
 public:
  TKivEditSearchOptions() = default;
  TKivEditSearchOptions(std::initializer_list<TKivEditSearchOption> AItems) {
    for (auto o : AItems) Include(o);
  }
  void Include(TKivEditSearchOption AOption) { FBits |= uint8_t(1u << AOption); }
  void Exclude(TKivEditSearchOption AOption) { FBits &= uint8_t(~(1u << AOption)); }
  bool Contains(TKivEditSearchOption AOption) const { return (FBits >> AOption) & 1; }
  bool Empty() const { return FBits == 0; }
  friend bool operator==(TKivEditSearchOptions, TKivEditSearchOptions) = default;

 private:
  uint8_t FBits = 0;
};

enum TKivEditSearchDirection : uint8_t { sdForward, sdBackward };

// What a replace step does with a match: replace it with the replacement, accept that the
// callback replaced it itself, leave it and go on, or end the run.
enum TKivEditReplaceAction : uint8_t { raReplaceAuto, raReplacedByCallback, raGoNext, raCancel };

// Called for each match of a replace run with Action = raReplaceAuto and ReplacedCount = the
// match length. With raReplacedByCallback, ReplacedCount is the length of the text the callback
// put in place of the match (the next search starts after it).
using TKivEditReplaceEvent = std::function<void(TKivEditDocument& Sender, TKivEditFindReplaceState& AState,
                                                Integer& ReplacedCount, TKivEditReplaceAction& Action)>;

// The characters of a sequence as regex input, at positions 0 .. Count - 1. ResetBuffer reads the
// sequence's length again: call it after the sequence changed.
class TKivRegexCharSeqSource : public TKivRegexSource {
 public:
  explicit TKivRegexCharSeqSource(TKivCharSeq& ASeq);

  void ResetBuffer() override;
  // Every position read since the last ResetBuffer lies below this (a window's end, so it may
  // lie up to a window beyond what was really read).
  Integer ReadEnd() const { return FReadEnd; }

 protected:
  void FillBuffer() override;

 private:
  TKivCharSeq& FSeq;
  // The same sequence when it is a text storage, read by chunks instead of through its window.
  const TKivTextStorage* FStorage;
  Integer FReadEnd = 0;
};

// One search run. The document creates it; the caller reads it (and the replace callback may)
// and closes it with FindPatternClose / ReplacePatternClose.
class TKivEditFindReplaceState {
 public:
  TKivEditFindReplaceState();
  ~TKivEditFindReplaceState();
  TKivEditFindReplaceState(const TKivEditFindReplaceState&) = delete;
  TKivEditFindReplaceState& operator=(const TKivEditFindReplaceState&) = delete;

  // The last match over the document's characters; (start offset, 0) before the first.
  TKivSegment FoundSegment;
  // The compiled expression of a regex search (its groups are those of the last match).
  std::unique_ptr<TKivRegExp> FoundRegex;
  // The offset the run began at.
  Integer Start = 0;
  // The bound: the search never passes it.
  IKivMarkRef EndM;
  TKivString Pattern;
  TKivString Replacement;
  TKivEditSearchOptions Options;
  TKivEditSearchDirection Direction = sdForward;
  TKivEditReplaceAction LastReplaceAction = raCancel;
  TKivEditReplaceEvent OnReplace;
  std::unique_ptr<TSearchInternal> Internal;
};

using TKivEditFindReplaceStatePtr = std::unique_ptr<TKivEditFindReplaceState>;

// The document's text storage contract, its listener, and the small records of the line index.
//
// A storage is a character sequence (read through its window like any other) that can also be
// edited. The document owns one (a gap buffer) and keeps a line index beside it.
#pragma once

#include <cstdint>

#include "KivEditDocError.h"
#include "KivSedUtils.h"
#include "KivTypes.h"

// The separator the document writes when it creates a line break itself.
enum TKivLineSeparator : Integer { lsCR = 0, lsLF = 1, lsCRLF = 2 };

// What an edit did to the line index: the first line whose text changed and the number of line
// breaks added (insertion) or of lines touched from FirstChangedLine on (deletion). A count of 0
// or less means that only the first line changed.
struct TLineManResult {
  Integer FirstChangedLine = 0;
  Integer ChangedLinesCount = 0;
  friend bool operator==(const TLineManResult&, const TLineManResult&) = default;
};

// Told when the whole text of a storage is about to be replaced and when that is done.
class TKivTextStorageListener {
 public:
  virtual ~TKivTextStorageListener() = default;
  virtual void BeforeRefresh() {}
  virtual void AfterRefresh() {}
};

// An editable character sequence.
//
// Offsets are limited to KivMaxTextLength characters (the line index keeps them in 30 bits):
// an insertion that would pass the limit raises EKivEditDocError and changes nothing. Every
// operation validates its arguments before it changes anything.
class TKivTextStorage : public TKivCharSeq {
 public:
  static constexpr Integer KivMaxTextLength = 0x3FFFFFFF;

  explicit TKivTextStorage(Integer ABufSize) : TKivCharSeq(ABufSize) {}

  // The listener is not owned.
  virtual void SetListener(TKivTextStorageListener* ALst) { FListener = ALst; }
  TKivTextStorageListener* Listener() const { return FListener; }

  // Replaces the whole text by the segment's characters.
  virtual void SetText(const TKivSegment& ASeg) = 0;
  // Inserts the segment's characters before character AIdx (AIdx in [0, Count]).
  virtual void Insert(Integer AIdx, const TKivSegment& ASeg) = 0;
  // Removes characters [AIdx, AIdx + ALength).
  virtual void Delete(Integer AIdx, Integer ALength) = 0;

  // Direct read access for scanners that must not pay the window: sets AChunk to character
  // AIdx and returns how many characters from AIdx on are stored contiguously there (0 when
  // AIdx = Count). AIdx must lie in [0, Count]. The pointer is valid until the next change.
  virtual Integer GetChunk(Integer AIdx, const Char*& AChunk) const = 0;

  // The line ends of the whole text when the storage recorded them while the text was built
  // by appending only (a new text is then read once, not once more by the line index): the
  // entries of a line index without the last line's. Hands them over once and returns true;
  // false when there is no such record.
  virtual bool TakeLineEnds(TKivIntArray& AEnds) {
    (void)AEnds;
    return false;
  }

  // Grows with every change of the text: a reader that keeps what it learnt about the text
  // compares it to know whether that still holds.
  uint64_t ChangeStamp() const { return FChangeStamp; }

 protected:
  void TextChanged() { ++FChangeStamp; }

  TKivTextStorageListener* FListener = nullptr;
  uint64_t FChangeStamp = 0;
};

// Character sequences, segments and the helpers every editor part reads text through:
// substring search, separator scanning, word-boundary search, hashing, the capacity rule of
// the growable arrays, the integer conversion cache and the text form of colours.
#pragma once

#include <cstddef>
#include <span>

#include "KivEditDocError.h"
#include "KivErrors.h"
#include "KivTypes.h"

// ---------------------------------------------------------------------------------------------
// Sequences

// A random-access sequence of UTF-16 code units read through a small sliding window.
//
// Subclasses own the characters and copy a range of them into the window on request
// (FillBuffer); the base owns only the window. Invariant: 0 <= FBufferEnd - FBufferStart <=
// FBufferSize whenever the window is valid, and FBuffer[i - FBufferStart] holds character i
// for FBufferStart <= i < FBufferEnd. A subclass calls InvalidateBuffer after every change
// of its content so that no stale window is read.
class TKivCharSeq {
 public:
  // ABufSize must exceed the bound gap (5): a smaller window could not hold the index asked for.
  explicit TKivCharSeq(Integer ABufSize);
  virtual ~TKivCharSeq() = default;
  TKivCharSeq(const TKivCharSeq&) = delete;
  TKivCharSeq& operator=(const TKivCharSeq&) = delete;

  Integer Count() const { return FCount; }
  Integer BufferStart() const { return FBufferStart; }
  Integer BufferEnd() const { return FBufferEnd; }
  Integer BufferSize() const { return FBufferSize; }
  const TKivCharArray& Buffer() const { return FBuffer; }

  // Makes the window contain AIdx; an index outside [0, Count) is a programming error.
  void AssureIdx(Integer AIdx);
  Char GetChar(Integer AIdx) {
    if (AIdx < FBufferStart || AIdx >= FBufferEnd) AssureIdx(AIdx);
    return FBuffer[static_cast<size_t>(AIdx - FBufferStart)];
  }
  void InvalidateBuffer() {
    FBufferStart = -1;
    FBufferEnd = -1;
  }

 protected:
  // Copies characters [AStart, AEnd) into FBuffer[0 ..]; AEnd - AStart <= FBufferSize.
  virtual void FillBuffer(Integer AStart, Integer AEnd) = 0;

  Integer FCount = 0;
  // Written only by FillBuffer, never resized: its length is the window's capacity.
  TKivCharArray FBuffer;

 private:
  // The window is the base's alone, so that no subclass can make a read leave the buffer.
  const Integer FBoundGap = 5;
  const Integer FBufferSize;
  // A new sequence starts invalidated: an empty window (-1, 0) would let index -1 through.
  Integer FBufferStart = -1;
  Integer FBufferEnd = -1;
};

struct TKivSegment;
class TKivSeparatorSet;

// A sequence over a private copy of a string.
class TKivSeqFromString : public TKivCharSeq {
 public:
  explicit TKivSeqFromString(TKivStringView AStr = {});

  void Reset(TKivStringView AStr);
  // ACount copies of AChar; a negative count raises EInvalidArgument "Invalid Count value".
  void Reset(Char AChar, Integer ACount);
  TKivSegment WholeSegment();

 protected:
  void FillBuffer(Integer AStart, Integer AEnd) override;

 private:
  void Resize(Integer ACount);

  TKivCharArray FArr;  // capacity follows GrowCapacity and may exceed FCount
};

// ---------------------------------------------------------------------------------------------
// Segments

// A range of a sequence. Passed by value; the source is not owned, except by segments made
// with SegmentFromString, which must be released with FreeSegment. The null segment is
// (-1, 0, none).
struct TKivSegment {
  Integer Start = -1;
  Integer Count = 0;
  TKivCharSeq* Source = nullptr;
  friend bool operator==(const TKivSegment&, const TKivSegment&) = default;
};

TKivSegment MakeSegment(Integer AStart, Integer ACount, TKivCharSeq* ASource);
void ClearSegment(TKivSegment& ASeg);
bool IsNullSegment(const TKivSegment& ASeg);
// The segment owns a new TKivSeqFromString over AStr; release it with FreeSegment.
void SegmentFromString(TKivStringView AStr, TKivSegment& ASeg);
// Frees the source of a segment made by SegmentFromString and clears the segment.
void FreeSegment(TKivSegment& ASeg);
// Source set, Count >= 0, 0 <= Start <= Source.Count and Start + Count <= Source.Count.
bool IsValidSegment(const TKivSegment& ASeg);
Char SegmentChar(const TKivSegment& ASeg, Integer AIdx);
Integer SegmentLast(const TKivSegment& ASeg);
// Empty for a segment without characters; an invalid segment with characters raises
// EInvalidArgument "Bad segment passed to function".
TKivString SegmentToString(const TKivSegment& ASeg);
TKivString CharSeqToString(TKivCharSeq& ASeq);
// Writes the segment's characters to AArr[AIdx ..]. An invalid segment raises "Bad segment
// passed to function", an array too small "Index out of bounds: %d" (AIdx); nothing is written then.
void CopySegmentToArray(const TKivSegment& ASeg, TKivCharArray& AArr, Integer AIdx);
// Writes the characters and a terminating zero; the buffer must hold Count + 1 units.
void CopySegmentToBuffer(const TKivSegment& ASeg, std::span<Char> ABuffer);

// ---------------------------------------------------------------------------------------------
// Search helpers (all return an index or -1)

// First occurrence of ASubStr starting in [AStart, E - length], E = AStart + ACount (-1: the end).
Integer SeqFind(TKivStringView ASubStr, TKivCharSeq& ASeq, Integer AStart, Integer ACount = -1);
Integer SeqFindNoCase(TKivStringView ASubStr, TKivCharSeq& ASeq, Integer AStart, Integer ACount = -1);
// Nearest occurrence ending at or before AStart (and at or after AStart - ACount); returns its start.
Integer SeqFindBack(TKivStringView ASubStr, TKivCharSeq& ASeq, Integer AStart, Integer ACount = -1);
Integer SeqFindBackNoCase(TKivStringView ASubStr, TKivCharSeq& ASeq, Integer AStart, Integer ACount = -1);
// From AStart in one direction, the first word character (AFindWordChar) or the first
// separator (a character of ASeparators), looking at ACount characters at most (-1: no limit).
Integer SeqScan(TKivStringView ASeparators, TKivCharSeq& ASeq, Integer AStart, bool AFindWordChar,
                bool ABackward, Integer ACount = -1);

// ---------------------------------------------------------------------------------------------
// Word-boundary search

// Word starts, ends and words of a text given as a sequence, under a set of separators.
//
// The owner of the text (the document) constructs one over its characters and its full word
// separators for each call. A separator argument ASeparators that is not empty replaces the
// full set, extended by space, TAB, CR and LF. AMaxCount bounds the characters looked at
// (-1: no limit). An offset outside [0, Count] raises EKivEditDocError "Invalid offset given
// for search in document: %d. Valid range: [%d, %d]".
class TKivWordSearch {
 public:
  TKivWordSearch(TKivCharSeq& AChars, TKivStringView AFullWordSeparators)
      : FChars(AChars), FFullWordSeparators(AFullWordSeparators) {}

  Integer FindNextWordStart(Integer AOffset, Integer AMaxCount = -1, TKivStringView ASeparators = {});
  Integer FindPrevWordStart(Integer AOffset, Integer AMaxCount = -1, TKivStringView ASeparators = {});
  // The index of the word's last character, not the offset after it.
  Integer FindNextWordEnd(Integer AOffset, Integer AMaxCount = -1, TKivStringView ASeparators = {});
  Integer FindPrevWordEnd(Integer AOffset, Integer AMaxCount = -1, TKivStringView ASeparators = {});
  // The whole word found from the offset (backwards: the word the offset lies in, or the one
  // before it); the null segment when there is none.
  TKivSegment FindNearWord(Integer AOffset, Integer AMaxCount, TKivStringView ASeparators, bool ABackward);
  TKivSegment FindNextWord(Integer AOffset, Integer AMaxCount = -1, TKivStringView ASeparators = {});
  TKivSegment FindPrevWord(Integer AOffset, Integer AMaxCount = -1, TKivStringView ASeparators = {});

  // The separator set in effect for a separator argument.
  static TKivString EffectiveSeparators(TKivStringView ASeparators, TKivStringView AFullWordSeparators);

 private:
  TKivSeparatorSet Separators(TKivStringView ASeparators) const;

  TKivCharSeq& FChars;
  TKivStringView FFullWordSeparators;
};

// ---------------------------------------------------------------------------------------------
// Hashes and the capacity rule

Cardinal HashInt(Cardinal AKey);
// AStart is 1-based. An empty or negative range hashes to 0; a range outside the string raises
// EInvalidArgument ("Index out of bounds: %d" for the start, "Invalid Count value" for the count).
Integer HashStr(TKivStringView AStr, Integer AStart, Integer ACount, bool AIgnoreCase);
// AStart is 0-based; the range is checked like HashStr's.
Integer HashSeq(TKivCharSeq& ASeq, Integer AStart, Integer ACount, bool AIgnoreCase);

// The new capacity of a growable array that must hold ANeeded elements, or -1 to keep ACapacity.
Integer GrowCapacity(Integer ANeeded, Integer ACapacity);

// ---------------------------------------------------------------------------------------------
// Conversion cache

struct TKivSedIntConv {
  Integer Key1 = 0;
  Integer Key2 = 0;
  Integer Data = 0;
};
using TKivSedIntConvArray = std::vector<TKivSedIntConv>;

// A bounded cache of points of a monotonic mapping Key1 <-> Key2 (with a datum each), looked
// up by the nearest key on either side. Invariant: entries [0, Count) ascend by Key1 and by
// Key2. A full cache never evicts: adding overwrites the nearest entry, so it never
// allocates once full.
class TKivSedIntConversionCache {
 public:
  // AMaxCount must be positive (assertion).
  explicit TKivSedIntConversionCache(Integer AMaxCount);

  Integer Count() const { return FKeyCount; }
  Integer MaxCount() const { return FMaxCount; }
  const TKivSedIntConv& Item(Integer AIdx) const;

  Integer AddByKey1(Integer AKey1, Integer AKey2, Integer AData);
  Integer AddByKey2(Integer AKey1, Integer AKey2, Integer AData);
  // Index of the nearest entry (a tie keeps the lower one) with its fields copied out; -1 when
  // the cache is empty, the outputs then untouched.
  Integer FindNearestByKey1(Integer AKey1, Integer& AKey1Res, Integer& AKey2Res, Integer& AData) const;
  Integer FindNearestByKey2(Integer AKey2, Integer& AKey1Res, Integer& AKey2Res, Integer& AData) const;
  // Drops every entry whose key is >= the argument.
  void InvalidateFromKey1(Integer AKey1);
  void InvalidateFromKey2(Integer AKey2);
  void Clear() { FKeyCount = 0; }

 private:
  Integer Nearest(Integer AKey, bool AByKey2) const;
  // Copies entry AIdx to the outputs when AIdx >= 0; returns AIdx.
  Integer ReadEntry(Integer AIdx, Integer& AKey1Res, Integer& AKey2Res, Integer& AData) const;
  Integer Add(Integer AKey1, Integer AKey2, Integer AData, bool AByKey2);
  Integer CountBelow(Integer AKey, bool AByKey2) const;

  TKivSedIntConvArray FKeys;
  Integer FKeyCount = 0;
  Integer FMaxCount;
};

// ---------------------------------------------------------------------------------------------
// Colours

// A colour is 0x00BBGGRR (red in the lowest byte), or a system colour: kivSysColorFlag with
// the system colour's index in the low byte. System colours resolve to RGB through a
// resolver the view may install (the platform's palette); fixed defaults serve otherwise.
using TKivColor = Cardinal;
inline constexpr TKivColor kivSysColorFlag = 0xFF000000u;

constexpr TKivColor KivRGB(unsigned ARed, unsigned AGreen, unsigned ABlue) {
  return (ARed & 0xFF) | ((AGreen & 0xFF) << 8) | ((ABlue & 0xFF) << 16);
}
constexpr unsigned KivRed(TKivColor AColor) {
  return AColor & 0xFF;
}
constexpr unsigned KivGreen(TKivColor AColor) {
  return (AColor >> 8) & 0xFF;
}
constexpr unsigned KivBlue(TKivColor AColor) {
  return (AColor >> 16) & 0xFF;
}
constexpr bool KivIsSystemColor(TKivColor AColor) {
  return (AColor & 0xFF000000u) == kivSysColorFlag;
}
constexpr TKivColor KivSystemColor(unsigned AIndex) {
  return kivSysColorFlag | (AIndex & 0xFF);
}

// System colour indices (the platform's own numbering).
enum TKivSysColorIndex : unsigned {
  scScrollBar = 0,
  scBackground,
  scActiveCaption,
  scInactiveCaption,
  scMenu,
  scWindow,
  scWindowFrame,
  scMenuText,
  scWindowText,
  scCaptionText,
  scActiveBorder,
  scInactiveBorder,
  scAppWorkSpace,
  scHighlight,
  scHighlightText,
  scBtnFace,
  scBtnShadow,
  scGrayText,
  scBtnText,
  scInactiveCaptionText,
  scBtnHighlight,
  sc3DDkShadow,
  sc3DLight,
  scInfoText,
  scInfoBk,
  scHotLight = 26,
  scGradientActiveCaption,
  scGradientInactiveCaption,
  scMenuHighlight,
  scMenuBar
};

// Returns the RGB value of a system colour index, or -1 to use the default.
using TKivSysColorResolver = Integer (*)(unsigned AIndex);
void KivSetSysColorResolver(TKivSysColorResolver AResolver);
// A plain colour unchanged, a system colour as RGB.
TKivColor KivResolveColor(TKivColor AColor);

// "#RRGGBB" (fewer digits are left-padded with zeros) or a colour name ("Red", "WindowText"),
// without regard to case, surrounding blanks trimmed. AColor is written only on success.
bool TextToColor(TKivStringView AText, TKivColor& AColor);
// "#RRGGBB" in upper-case hexadecimal; system colours are resolved first.
TKivString ColorToText(TKivColor AColor);

// ---------------------------------------------------------------------------------------------
// Points

struct TKivPoint {
  Integer X = 0;
  Integer Y = 0;
  friend bool operator==(const TKivPoint&, const TKivPoint&) = default;
};

// (-1, -1): no position.
constexpr TKivPoint NullPoint() {
  return TKivPoint{-1, -1};
}
constexpr bool IsNullPoint(const TKivPoint& APoint) {
  return APoint.X == -1 && APoint.Y == -1;
}
constexpr bool PointsEqual(const TKivPoint& A, const TKivPoint& B) {
  return A.X == B.X && A.Y == B.Y;
}

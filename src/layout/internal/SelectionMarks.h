// The cursor and the selection of a view: three offset points that follow edits, and the block
// mode of the selection.
//
// Each point's character is a marker of the view's private cursor collection, so the points move
// with the text; without a document the offsets are kept as plain numbers. Where a point may lie
// (visible, on a character the layout shows) is the screen cache's to decide: this class only
// keeps what it is given.
#pragma once

#include "KivLayoutTypes.h"
#include "KivSedMarkers.h"

// An offset point that follows edits: the character is a marker of the cursor collection
// (keeping, so it survives the deletion of its text). Without a document attached the offset is
// kept as a plain number.
struct TOffsetPointMark {
  IKivMarkRef CharMark;
  Integer InCharOffset = 0;
  Integer PlainOffset = 0;
  Integer Offset() const { return CharMark ? CharMark->Pos() : PlainOffset; }
  TOffsetPoint Point() const { return {Offset(), InCharOffset}; }
};

class TSelectionMarks {
 public:
  TSelectionMarks() = default;
  TSelectionMarks(const TSelectionMarks&) = delete;
  TSelectionMarks& operator=(const TSelectionMarks&) = delete;

  // The points as they are (no correction).
  TOffsetPoint Cursor() const { return FCursorPos.Point(); }
  TOffsetPoint SelStart() const { return FSelStart.Point(); }
  TOffsetPoint SelEnd() const { return FSelEnd.Point(); }
  bool Block() const { return FSelBlock; }
  void SetBlock(bool ABlock) { FSelBlock = ABlock; }
  // A point moves its marker only when its character changes.
  void SetCursor(const TOffsetPoint& APoint) { SetMarkPoint(FCursorPos, APoint); }
  void SetSelStart(const TOffsetPoint& APoint) { SetMarkPoint(FSelStart, APoint); }
  void SetSelEnd(const TOffsetPoint& APoint) { SetMarkPoint(FSelEnd, APoint); }

  // The collection exists while a document is attached.
  bool Attached() const { return FCursorMarks != nullptr; }
  // Creates the cursor collection in ADocument unless there is one.
  void CreateMarkers(TKivEditDocument& ADocument);
  // Keeps the points as plain offsets, as they are, before the collection goes.
  void Unmark();
  // The collection, for the owner to detach from its document.
  IKivMarkersRef& Markers() { return FCursorMarks; }

 private:
  void SetMarkPoint(TOffsetPointMark& AMark, const TOffsetPoint& APoint);

  IKivMarkersRef FCursorMarks;
  TOffsetPointMark FCursorPos, FSelStart, FSelEnd;
  bool FSelBlock = false;
};

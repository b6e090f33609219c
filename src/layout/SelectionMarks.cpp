// The cursor and selection points of a view and the markers that carry them.
#include "internal/SelectionMarks.h"

#include "KivSedDocument.h"

void TSelectionMarks::CreateMarkers(TKivEditDocument& ADocument) {
  if (!FCursorMarks) FCursorMarks = ADocument.CreateCustomMarkers(true, false, false);
}

void TSelectionMarks::Unmark() {
  const TOffsetPoint cursor = FCursorPos.Point(), selStart = FSelStart.Point(), selEnd = FSelEnd.Point();
  FCursorPos = {nullptr, cursor.InCharOffset, cursor.Offset};
  FSelStart = {nullptr, selStart.InCharOffset, selStart.Offset};
  FSelEnd = {nullptr, selEnd.InCharOffset, selEnd.Offset};
}

void TSelectionMarks::SetMarkPoint(TOffsetPointMark& AMark, const TOffsetPoint& APoint) {
  AMark.InCharOffset = APoint.InCharOffset;
  AMark.PlainOffset = APoint.Offset;
  if (AMark.CharMark && AMark.CharMark->Pos() == APoint.Offset && AMark.CharMark->IsValid()) return;
  if (FCursorMarks) {
    IKivMarkRef mark = FCursorMarks->CreateMark(APoint.Offset);
    if (AMark.CharMark && AMark.CharMark->IsValid()) FCursorMarks->DeleteMark(AMark.CharMark);
    AMark.CharMark = std::move(mark);
  } else {
    AMark.CharMark = nullptr;
  }
}

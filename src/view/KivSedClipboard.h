// The clipboard: plain text, marked when it was copied from a block (column) selection.
//
// The mark is a format of its own beside the text; programs that know nothing of it paste the
// text. Every helper needs the application object and raises EKivEditViewError without one.
#pragma once

#include "KivLayoutTypes.h"
#include "KivSedViewHooks.h"
#include "KivSedUtils.h"

// The MIME type of the block selection's mark.
inline constexpr const char* kivRectBlockMimeType = "application/x-kiv-syntax-editor-rect-block";

bool ClipboardHasText();
// The clipboard's text (empty when it has none) and whether it carries the block mark.
void GetClipboardText(TKivString& AText, bool& AIsRectBlock);
// Puts AText on the clipboard, with the block mark when AIsRectBlock; an empty text leaves the
// clipboard as it is.
void SetClipboardText(TKivStringView AText, bool AIsRectBlock);
// SetClipboardText of the segment's text; a bad segment raises EInvalidArgument first.
void CopySegmentToClipboard(const TKivSegment& ASeg, bool AIsRectBlock);

// The view's clipboard seam over the helpers above: every view of the process shares it.
class TKivQtClipboard : public IKivClipboard {
 public:
  static TKivQtClipboard& Instance();
  bool HasText() override { return ClipboardHasText(); }
  void GetText(TKivString& AText, bool& AIsRectBlock) override { GetClipboardText(AText, AIsRectBlock); }
  void SetText(TKivStringView AText, bool AIsRectBlock) override { SetClipboardText(AText, AIsRectBlock); }
  // Written straight into the clipboard's string; read from it without a copy.
  void SetTextFilled(size_t ALength, const std::function<void(Char*)>& AFill, bool AIsRectBlock) override;
  void ReadText(const std::function<void(TKivStringView, bool)>& AUse) override;
};

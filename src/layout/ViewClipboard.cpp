// The view's clipboard operations and the default edit hooks that run them: copy (with the block
// mark for a block selection), cut, paste (a marked text goes in as a block at the cursor).
#include "KivSedViewCore.h"
#include "internal/ScreenCache.h"
#include "internal/ViewBracket.h"

namespace {

// Whether every line break of AText (CR LF, LF, CR) is ASep.
bool HasOnlyLineBreak(TKivStringView AText, TKivStringView ASep) {
  const size_t n = AText.size();
  for (size_t i = 0; i < n; ++i) {
    const Char c = AText[i];
    if (c != u'\r' && c != u'\n') continue;
    const size_t len = c == u'\r' && i + 1 < n && AText[i + 1] == u'\n' ? 2 : 1;
    if (AText.substr(i, len) != ASep) return false;
    i += len - 1;
  }
  return true;
}

}  // namespace

// ---- the default edit hooks ----

bool IKivViewEditHooks::ClipboardHasText(TKivEditViewCore& AView) {
  return AView.ClipboardOffersText();
}

void IKivViewEditHooks::CopySelection(TKivEditViewCore& AView) {
  AView.DoCopySelection();
}

void IKivViewEditHooks::CutSelection(TKivEditViewCore& AView) {
  AView.DoCutSelection();
}

void IKivViewEditHooks::Paste(TKivEditViewCore& AView) {
  AView.DoPaste();
}

void IKivViewEditHooks::SelectAll(TKivEditViewCore& AView) {
  AView.DoSelectAll();
}

// ---- the clipboard seam's bulk forms ----

void IKivClipboard::SetTextFilled(size_t ALength, const std::function<void(Char*)>& AFill, bool AIsRectBlock) {
  if (ALength == 0) return;
  TKivString text(ALength, u'\0');
  AFill(text.data());
  SetText(text, AIsRectBlock);
}

void IKivClipboard::ReadText(const std::function<void(TKivStringView, bool)>& AUse) {
  TKivString text;
  bool block = false;
  GetText(text, block);
  AUse(text, block);
}

// ---- queries ----

bool TKivEditViewCore::ClipboardOffersText() const {
  return FClipboard && FClipboard->HasText();
}

bool TKivEditViewCore::CanCopy() {
  return FFDoc && SelAvail();
}

bool TKivEditViewCore::CanCut() {
  return CanCopy() && !IsReadOnly();
}

bool TKivEditViewCore::CanPaste() {
  return FFDoc && !IsReadOnly() && FEditHooks->ClipboardHasText(*this);
}

// ---- operations (through the edit hooks) ----

void TKivEditViewCore::CopySelection() {
  FEditHooks->CopySelection(*this);
}

void TKivEditViewCore::CutSelection() {
  CheckEditable();
  FEditHooks->CutSelection(*this);
}

void TKivEditViewCore::Paste() {
  CheckEditable();
  FEditHooks->Paste(*this);
}

void TKivEditViewCore::SelectAll() {
  FEditHooks->SelectAll(*this);
}

// ---- the view's own ----

void TKivEditViewCore::DoCopySelection() {
  if (!FFDoc || !SelAvail() || !FClipboard) return;
  PutSelectedText(*FClipboard);
}

void TKivEditViewCore::DoCutSelection() {
  if (!SelAvail()) return;
  CheckEditable();
  DoCopySelection();
  DeleteSelected();
}

void TKivEditViewCore::DoPaste() {
  CheckEditable();
  if (!FClipboard) return;
  InBracket(kivStatesOnChange, [&] {
    FClipboard->ReadText([&](TKivStringView AText, bool ABlock) {
      if (AText.empty()) return;
      // A text whose line breaks are the document's already goes in as it is, without a copy.
      TKivString converted;
      TKivStringView docText = AText;
      if (!HasOnlyLineBreak(AText, WorkingDocument().LineSeparatorStr())) {
        converted = ToDocumentLineBreaks(AText);
        docText = converted;
      }
      TKivViewCompoundEdit compound(*this, true);
      if (!ABlock) {
        InsertAtCursor(docText);
        return;
      }
      Integer width = 0;
      TOffsetPoint start, end;
      InsertInScrollBlock(CursorPos(), docText, width, start, end);
      FScreenCache->SetCursorOffset(end, scBackward, false);
      const TOffsetPoint c = FScreenCache->CursorOffset();
      FScreenCache->SetSelection(c, c, false);
      ScrollToCursor();
    });
  });
}

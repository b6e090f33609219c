// The view's clipboard operations and the default edit hooks that run them: copy (with the block
// mark for a block selection), cut, paste (a marked text goes in as a block at the cursor).
#include "KivSedViewCore.h"
#include "internal/ScreenCache.h"
#include "internal/ViewBracket.h"

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
  FClipboard->SetText(SelectedText(), SelectionBlockMode());
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
    TKivString text;
    bool block = false;
    FClipboard->GetText(text, block);
    if (text.empty()) return;
    const TKivString docText = ToDocumentLineBreaks(text);
    TKivViewCompoundEdit compound(*this, true);
    if (!block) {
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
}

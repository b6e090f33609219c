#include "VornishLinks.h"

#include "KivRegExpr.h"
#include "KivSedDocument.h"
#include "KivSedMouse.h"
#include "KivSedViewCore.h"

TKivString KivLinkMessage(const TKivString& AWord) {
  const char16_t* prefix = nullptr;
  if (RegExprExec(TKivString(KivEmailExpression), AWord))
    prefix = u"Email found: ";
  else if (RegExprExec(TKivString(KivLinkExpression), AWord))
    prefix = u"Hiperlink found: ";
  if (!prefix) return {};
  return prefix + AWord;
}

TKivString KivLinkMessageAt(TKivEditViewCore& AView, Integer AX, Integer AY) {
  TKivEditDocument* doc = AView.Document();
  if (!doc) return {};
  TKivPoint scroll;
  bool trailing = false;
  if (AView.ClientToScrollPos({AX, AY}, scroll, trailing) != spText) return {};
  // A point past a line's end or between characters that do not exist maps to another place.
  const Integer offset = AView.ScrollPosToNearestOffset(scroll);
  if (AView.OffsetToScrollPos(offset) != scroll) return {};
  const TKivSegment word = doc->FindNearWord(offset, -1, u" \t", true);
  if (word.Start < 0 || offset < word.Start || offset >= word.Start + word.Count) return {};
  return KivLinkMessage(doc->GetText(word.Start, word.Count));
}

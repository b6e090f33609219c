// The document's search and replace operations; the engine is in SearchEngine.cpp.
#include "internal/DocumentPrivate.h"
#include "internal/SearchEngine.h"

TKivEditFindReplaceStatePtr TKivEditDocument::FindPatternFirst(Integer AOffset, Integer AMaxCount,
                                                               const TKivString& APattern,
                                                               TKivEditSearchOptions AOpts,
                                                               TKivEditSearchDirection ADirection) {
  return TSearchEngine(*this).First(AOffset, AMaxCount, APattern, AOpts, ADirection, nullptr, nullptr);
}

TKivEditFindReplaceStatePtr TKivEditDocument::FindPatternFirst(Integer AOffset, const TKivString& APattern,
                                                               TKivEditSearchOptions AOpts,
                                                               TKivEditSearchDirection ADirection) {
  return FindPatternFirst(AOffset, -1, APattern, AOpts, ADirection);
}

bool TKivEditDocument::FindPatternNext(TKivEditFindReplaceState* AState) {
  return FindPatternNext(-1, AState);
}

bool TKivEditDocument::FindPatternNext(Integer ANewStart, TKivEditFindReplaceState* AState) {
  return TSearchEngine(*this).Next(ANewStart, AState, false);
}

void TKivEditDocument::FindPatternClose(TKivEditFindReplaceStatePtr& AState) {
  AState.reset();
}

TKivEditFindReplaceStatePtr TKivEditDocument::ReplacePatternFirst(Integer AOffset, Integer AMaxCount,
                                                                  const TKivString& APattern,
                                                                  const TKivString& AReplacement,
                                                                  TKivEditSearchOptions AOpts,
                                                                  TKivEditSearchDirection ADirection,
                                                                  TKivEditReplaceEvent AReplaceCallback) {
  CheckCanEdit();
  return TSearchEngine(*this).First(AOffset, AMaxCount, APattern, AOpts, ADirection, &AReplacement,
                                    std::move(AReplaceCallback));
}

TKivEditFindReplaceStatePtr TKivEditDocument::ReplacePatternFirst(Integer AOffset, const TKivString& APattern,
                                                                  const TKivString& AReplacement,
                                                                  TKivEditSearchOptions AOpts,
                                                                  TKivEditSearchDirection ADirection,
                                                                  TKivEditReplaceEvent AReplaceCallback) {
  return ReplacePatternFirst(AOffset, -1, APattern, AReplacement, AOpts, ADirection, std::move(AReplaceCallback));
}

bool TKivEditDocument::ReplacePatternNext(TKivEditFindReplaceState* AState) {
  return ReplacePatternNext(-1, AState);
}

bool TKivEditDocument::ReplacePatternNext(Integer ANewStart, TKivEditFindReplaceState* AState) {
  if (AState != nullptr) CheckCanEdit();
  return TSearchEngine(*this).Next(ANewStart, AState, true);
}

void TKivEditDocument::ReplacePatternClose(TKivEditFindReplaceStatePtr& AState) {
  FindPatternClose(AState);
}

TKivEditFindReplaceStatePtr TKivEditDocument::ReplacePatternAll(Integer AOffset, Integer AMaxCount,
                                                                const TKivString& APattern,
                                                                const TKivString& AReplacement,
                                                                TKivEditSearchOptions AOpts,
                                                                TKivEditSearchDirection ADirection,
                                                                TKivEditReplaceEvent AReplaceCallback) {
  CheckCanEdit();
  TSearchEngine engine(*this);
  TKivEditFindReplaceStatePtr st = engine.NewState(AOffset, AMaxCount, APattern, AOpts, ADirection);
  st->Replacement = AReplacement;
  st->OnReplace = std::move(AReplaceCallback);
  // One undo step for the whole run, closed on every path (also when a step raises: what was
  // replaced until then stays, as one step).
  TUpdateGuard update(*this);
  TCompoundGuard compound(*this, -1, nullptr, true);
  if (!engine.ReplaceStep(-1, *st, true)) return nullptr;
  while (st->LastReplaceAction != raCancel && engine.ReplaceStep(-1, *st, false)) {
  }
  return st;
}

TKivEditFindReplaceStatePtr TKivEditDocument::ReplacePatternAll(const TKivString& APattern,
                                                                const TKivString& AReplacement,
                                                                TKivEditSearchOptions AOpts,
                                                                TKivEditSearchDirection ADirection,
                                                                TKivEditReplaceEvent AReplaceCallback) {
  const Integer start = ADirection == sdBackward ? CharsCount() : 0;
  return ReplacePatternAll(start, -1, APattern, AReplacement, AOpts, ADirection, std::move(AReplaceCallback));
}

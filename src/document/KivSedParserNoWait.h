// What a parser offers a screen that must not wait for it to reach a far line. A parser that
// implements it beside TKivEditParserBase is asked through a cast; any other is waited for.
#pragma once

#include "KivSedParserBase.h"

class IKivEditParserNoWait {
 public:
  virtual ~IKivEditParserNoWait() = default;
  // Whether the tokens and folds of ALine come without parsing more than a short stretch.
  virtual bool IsLineReady(Integer ALine) = 0;
  // The tokens of a ready line (as MarkTokens), else at once a guess: the line tokenized from a
  // restart a little above it with the root scheme's default context. True when exact.
  virtual bool MarkTokensNoWait(Integer ALine, TKivTokenHandler& AHandler) = 0;
  // Parses on towards ALine, at most about ALines lines; true once ALine is ready.
  virtual bool ParseSome(Integer ALine, Integer ALines) = 0;
};

// AParser's no-wait side, or none.
inline IKivEditParserNoWait* KivParserNoWait(TKivEditParserBase* AParser) {
  return dynamic_cast<IKivEditParserNoWait*>(AParser);
}

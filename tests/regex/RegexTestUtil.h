// Helpers shared by the regex tests.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "KivRegExpr.h"

// Runs AAction and checks that it raises EKivRegExprError with ACode, the code's message (or
// AMessage when given) in the system's format, and the position APos when given.
inline void ExpectRegexError(const std::function<void()>& AAction, Integer ACode,
                             std::optional<TKivString> AMessage, std::optional<Integer> APos = std::nullopt) {
  try {
    AAction();
    ADD_FAILURE() << "no error, expected " << ACode;
  } catch (const EKivRegExprError& e) {
    EXPECT_EQ(e.ErrorCode, ACode) << e.what();
    if (APos) {
      EXPECT_EQ(e.CompilerErrorPos, *APos) << e.what();
    }
    TKivRegExp probe;
    TKivString expected = AMessage ? *AMessage
                          : ACode < 1000
                              ? KivFormat(u"%s (pos: %d)", {probe.ErrorMsg(ACode), e.CompilerErrorPos})
                              : probe.ErrorMsg(ACode);
    EXPECT_EQ(KivToUtf8(e.Message()), KivToUtf8(expected));
  }
}

// Shared fixtures of the syntax tests: the shipped colour scheme, a C scheme and loaders over
// in-memory scheme texts.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "KivDemoData.h"
#include "KivSedParser.h"
#include "SyntaxSamples.h"
#include "internal/ParserImpl.h"

// Scheme texts by name, served through the parser's loaders; counts the loads.
struct TSchemeTexts {
  std::map<TKivString, TKivString> Syntax;
  std::map<TKivString, TKivString> Colors{{u"default", KivDemoColorScheme().Text}};
  std::map<TKivString, int> Loads;

  TKivEditParserSchemeLoader SyntaxLoader() {
    return [this](const TKivString& AName) -> TKivString {
      ++Loads[AName];
      auto it = Syntax.find(AName);
      if (it == Syntax.end()) throw EKivEditDocError(u"Can't find syntax scheme by name: " + AName);
      return it->second;
    };
  }
  TKivEditParserSchemeLoader ColorLoader() {
    return [this](const TKivString& AName) -> TKivString {
      auto it = Colors.find(AName);
      if (it == Colors.end()) throw EKivEditDocError(u"Can't find color scheme by name: " + AName);
      return it->second;
    };
  }
  void Attach(TParserImpl& AImpl) { AImpl.SetSchemeLoaders(SyntaxLoader(), ColorLoader()); }
};

// The message of the EKivError that AFunc raises (fails the test when none is raised).
template <class TError = EKivError, class F>
TKivString ErrorOf(F&& AFunc) {
  try {
    AFunc();
  } catch (const TError& e) {
    return e.Message();
  }
  ADD_FAILURE() << "no error raised";
  return u"<none>";
}

inline std::string U8(const TKivString& AText) {
  return KivToUtf8(AText);
}

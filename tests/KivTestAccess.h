// Test-only access to the implementation objects behind public classes: the view core's screen
// cache and the syntax parser's implementation. Tests and benchmarks include it (never the
// library, the tools or the application); the public classes befriend TKivTestAccess for it.
// Include the internal header of the object as well ("internal/ScreenCache.h",
// "internal/ParserImpl.h") to use what these return.
#pragma once

struct TKivTestAccess {
  // The screen cache of a TKivEditViewCore (or of a widget deriving from it).
  template <class TView>
  static auto& ScreenCache(TView& AView) {
    return *AView.FScreenCache;
  }
  // The search of a TKivEditViewCore (include "internal/EditViewSearch.h").
  template <class TView>
  static auto& ViewSearch(TView& AView) {
    return *AView.FSearch;
  }
  // The implementation of a TKivEditParser.
  template <class TParser>
  static auto& ParserImpl(TParser& AParser) {
    return *AParser.FImpl;
  }
  // How far apart a TKivEditParser saves states inside a long line (and how long a line has to
  // be to get them): 16384 characters unless a test sets it.
  template <class TParser>
  static void SetInLineSaveInterval(TParser& AParser, int AInterval) {
    AParser.FImpl->FInLineSaveInterval = AInterval;
  }
};

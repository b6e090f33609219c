// The types the find and replace window and its components share: the result of a run, the
// geometry the window remembers, and the record of settings and histories the window reads at
// its start and writes back at its end. The window is opened through a runner with the
// signature of ShowSearchDialog.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "KivSedSearch.h"
#include "KivSedViewSearch.h"
#include "KivTypes.h"

class TKivCustomEditView;

// srCancel: the user closed the window without searching, or the search could not start (a bad
// regular expression, reported to the user).
enum TKivEditSearchResult : uint8_t { srFound, srNotFound, srCancel };

// Which of the window's geometry is remembered between runs (a set of bits).
enum TKivEditSearchDialogPosItem : uint8_t { spRememberPos = 1 << 0, spRememberWidth = 1 << 1 };
using TKivEditSearchDialogPos = uint8_t;

// The settings and histories of a find or replace component, handed to the window by reference.
struct TKivEditSearchDlgOptions {
  // Most recent first; entry 0 is the text the window shows first.
  std::vector<TKivString> Searches;
  std::vector<TKivString> Replaces;
  TKivEditViewReplaceAllBounds ReplaceAllBounds = rbAllText;
  TKivEditSearchDialogPos Position = 0;
  TKivEditSearchOptions Options;
  TKivEditSearchDirection Direction = sdForward;
  TKivEditViewSearchStart Start = ssCursor;
  // Replacements made by the last run of the window.
  Integer LastNumberOfReplacements = 0;
  // The user chose "Replace All" during the last run.
  bool WasReplaceAllChosen = false;
};

// Runs the find (AReplaceMode false) or replace window modally on AView with the caption ATitle,
// reading and writing AOptions; answers what the run found.
using TKivShowSearchDialogFn =
    std::function<TKivEditSearchResult(const TKivString& ATitle, TKivCustomEditView& AView, bool AReplaceMode,
                                       TKivEditSearchDlgOptions& AOptions)>;

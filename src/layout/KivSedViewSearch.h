// The types of the view's search and replace that its callers (the find and replace dialogs)
// hold: the arguments, where a search starts, what "replace all" covers, which kind of operation
// the view's stored search arguments belong to, the events, and where a confirmation box goes.
#pragma once

#include <cstdint>
#include <functional>

#include "KivLayoutTypes.h"
#include "KivSedSearch.h"

// A search starts at the cursor, or at the text's start (forward) or end (backward).
enum TKivEditViewSearchStart : uint8_t { ssCursor, ssTextStartEnd };

// "Replace all" runs over the whole text or over the selection.
enum TKivEditViewReplaceAllBounds : uint8_t { rbAllText, rbSelection };

// The operation the view's stored search arguments belong to; nothing before the first search.
enum TKivEditViewSearchState : uint8_t { stNothing, stInSearch, stInReplace };

class TKivEditViewCore;

// The arguments of a view's search or replacement.
struct TKivEditSearchArguments {
  TKivString Search;
  TKivString Replace;
  TKivEditSearchOptions Options;
  TKivEditSearchDirection Direction = sdForward;
  TKivEditViewSearchStart Start = ssCursor;
  friend bool operator==(const TKivEditSearchArguments&, const TKivEditSearchArguments&) = default;
};

// A search reached the end (or start) of the text: stop, or go on from the other end.
enum TKivEditNotFoundAction : uint8_t { saCancel, saGoStartEnd };
// Action starts as saCancel.
using TKivEditNotFoundEvent = std::function<void(TKivEditViewCore& Sender, TKivEditNotFoundAction& Action)>;
// An occurrence is about to be replaced (it is selected): Action starts as raReplaceAuto and
// ReplacedCount as the occurrence's length; see TKivEditReplaceEvent.
using TKivEditViewReplaceEvent = std::function<void(TKivEditViewCore& Sender, TKivEditFindReplaceState& AState,
                                                    Integer& ReplacedCount, TKivEditReplaceAction& Action)>;

// One step of an incremental search: the cursor offset and the search text before a character
// was added, so that Backspace can go back to them.
struct TIncSearchJump {
  TIncSearchJump(Integer AStart, TKivString AText) : Start(AStart), Text(std::move(AText)) {}
  Integer Start;
  TKivString Text;
};

// Where a confirmation box goes so that it does not cover the occurrence it asks about. All
// rectangles in one coordinate space: the occurrence's first cell and its last cell on the first
// row, the text area (right of the gutter), the box's size and the position it would take by
// default. Equal room on both sides of an axis keeps the default on that axis. The result may lie
// outside the screen: the caller clamps it.
TKivPoint KivPlaceConfirmDialog(const TKivRect& AStartCell, const TKivRect& AEndCell, const TKivRect& AArea,
                                Integer AWidth, Integer AHeight, const TKivPoint& ADefault);

// Drag and drop of text between views and from other programs, as plain rules: a widget turns
// its platform's drag events into these calls and shows the effect they answer.
#pragma once

#include "KivSedViewCore.h"

// What a drop would do, or did: nothing (the "no" cursor), copy or move.
enum TKivDropEffect : uint8_t { deNone, deCopy, deMove };

// A drag is over ATarget at a client point. ASource is the view the drag started in (none: the
// data comes from another program); ACtrl: the copy modifier is held. While the drop would be
// accepted, the target's cursor follows the mouse.
TKivDropEffect KivViewDragOver(TKivEditViewCore& ATarget, TKivEditViewCore* ASource, const TKivPoint& AClient,
                               bool ACtrl);
// The drop: ASource's selection (moved or copied), or AExternalText from another program (its
// line breaks turned into the document's). Answers what was done; the inserted text is selected
// with the cursor at its start.
TKivDropEffect KivViewDrop(TKivEditViewCore& ATarget, TKivEditViewCore* ASource, const TKivPoint& AClient,
                           bool ACtrl, const TKivString* AExternalText);
// The drag ended without a drop in a view: the source's cursor goes back to where it was.
void KivViewDragCancel(TKivEditViewCore& ASource);

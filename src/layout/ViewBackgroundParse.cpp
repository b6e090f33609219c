// Parsing in the background for a screen laid out with guessed tokens: a far jump shows its
// rows at once, and the exact tokens and fold marks follow in steps the host runs from its
// event loop.
#include <algorithm>

#include "KivSedParserNoWait.h"
#include "KivSedViewCore.h"
#include "internal/ScreenCache.h"
#include "internal/ViewBracket.h"

namespace {

// A step parses in stretches of kStepLines lines until it has taken kStepMs on the host's clock
// or parsed kMaxStretches stretches (a clock that stands still cannot make it endless).
constexpr Integer kStepLines = 500;
constexpr int64_t kStepMs = 4;
constexpr int kMaxStretches = 40;

}  // namespace

void TKivEditViewCore::ScheduleBackgroundParse() {
  if (FBackgroundParsePosted || !FGuessTokens || !FFDoc || InState(siDestroing)) return;
  IKivEditParserNoWait* parser = KivParserNoWait(FFDoc->GetParser());
  const Integer rows = FScreenCache->LinesOnScreenScroll();
  if (!parser || rows <= 0) return;
  const Integer last = FScreenCache->GetScreenLine(rows - 1).ScrollInfo.PhysicalLine;
  if (parser->IsLineReady(last)) {
    // Parsed far enough meanwhile (a query that parsed on): the guessed rows go now.
    if (FGuessedFromLine >= 0) RelayoutGuessedRows();
    return;
  }
  // The first row the guess may have reached: the parse goes down the text, so the rows from
  // the first line that is not ready on were laid out with guesses.
  Integer first = last;
  for (Integer i = 0; i < rows; ++i) {
    const Integer line = FScreenCache->GetScreenLine(i).ScrollInfo.PhysicalLine;
    if (!parser->IsLineReady(line)) {
      first = line;
      break;
    }
  }
  FGuessedFromLine = FGuessedFromLine < 0 ? first : std::min(FGuessedFromLine, first);
  FBackgroundParsePosted = true;
  TKivEditDocument* doc = FFDoc;
  if (FHost.PostStep([this, doc] {
        FBackgroundParsePosted = false;
        if (doc == FFDoc && !InState(siDestroing)) BackgroundParseStep();
      }))
    return;
  // No event loop to run the steps: this view waits for the parser from now on, and lays the
  // guessed rows out again at once.
  FBackgroundParsePosted = false;
  FGuessTokens = false;
  RelayoutGuessedRows();
}

void TKivEditViewCore::RelayoutGuessedRows() {
  // Laid out again from the first guessed line (widths and wrapping follow the exact styles);
  // the rows whose look changed are repainted.
  const Integer from = std::clamp<Integer>(FGuessedFromLine, 0, WorkingDocument().LinesCount() - 1);
  FGuessedFromLine = -1;
  InBracket(kivStatesOnChange, [&] {
    FScreenCache->TokensChangedFrom(from);
    FScreenMarksChanged = true;
  });
}

void TKivEditViewCore::BackgroundParseStep() {
  IKivEditParserNoWait* parser = FFDoc ? KivParserNoWait(FFDoc->GetParser()) : nullptr;
  const Integer rows = FScreenCache->LinesOnScreenScroll();
  if (!parser || rows <= 0 || FGuessedFromLine < 0) return;
  const Integer last = FScreenCache->GetScreenLine(rows - 1).ScrollInfo.PhysicalLine;
  const int64_t t0 = FHost.Clock().NowMs();
  bool ready = parser->IsLineReady(last);
  for (int i = 0; !ready && i < kMaxStretches && FHost.Clock().NowMs() - t0 < kStepMs; ++i)
    ready = parser->ParseSome(last, kStepLines);
  if (ready)
    RelayoutGuessedRows();
  else
    ScheduleBackgroundParse();
}

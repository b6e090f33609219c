// Painting a full screen of 60 rows of the 16 MB C corpus highlighted by the demo's C scheme, into a
// surface that draws nothing (run bench/make_corpus first). The screen is laid out once; each
// iteration is one paint of the window as the view runs it: the default gutter and the text
// rows, with the cursor's line highlighted and the wrap ruler shown.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

#include "BenchCorpus.h"
#include "BenchSurface.h"
#include "KivDemoData.h"
#include "KivSedDocument.h"
#include "KivSedPainter.h"
#include "KivSedParser.h"
#include "KivTestAccess.h"
#include "internal/ParserImpl.h"
#include "internal/ScreenCache.h"

namespace {

std::string CorpusFile() {
  return BenchCorpusPath("c_16mb.txt");
}

struct PaintedView : IKivScreenCacheHost {
  PaintedView() : Cache(this, wmNoWrap, 8, 1000, 60, 80, &Surface, nullptr) {
    // The demo's schemes and colours, the C scheme active, parsed ahead as the background
    // parser leaves a file the user has been reading.
    KivDemoFillDocument(Doc);
    Doc.Clear();
    if (std::filesystem::exists(CorpusFile())) Doc.LoadFromFile(KivFromUtf8(CorpusFile()));
    Doc.SetActiveSyntaxScheme(u"C");
    TKivTestAccess::ParserImpl(dynamic_cast<TKivEditParser&>(*Doc.GetParser())).ParseTo(Doc.LinesCount() / 2 + 100);
    Cache.AttachToDocument();
    const Integer mid = Doc.LinesCount() / 2;
    Cache.SetFirstLineAsScroll(mid);
    Cache.SetCursorPos({4, mid + 10});
    Cache.UpdateLayout();
    Painter.Settings.HighlightSelectedLine = true;
    Painter.Settings.ShowWrapRuler = true;
  }
  ~PaintedView() override { Cache.DetachFromDocument(); }
  TKivEditDocument& Document() override { return Doc; }
  bool CursorBoundToChars() const override { return false; }
  void InvalidateConversionCache(Integer) override {}

  TKivEditDocument Doc;
  BenchSurface Surface;
  TScreenCache Cache;
  TKivEditPainter Painter;
};

void BM_PaintScreen(benchmark::State& AState) {
  PaintedView v;
  if (v.Doc.CharsCount() == 0) {
    AState.SkipWithError("corpus missing: run bench/make_corpus");
    return;
  }
  if (AState.range(0))
    v.Cache.SetSelection(TKivPoint{10, v.Cache.FirstLineScroll() + 5},
                         TKivPoint{20, v.Cache.FirstLineScroll() + 40});
  const TKivRect client{0, 0, 1000 + v.Painter.Gutter.Width(), 60 * 16};
  NullPainter p;
  int64_t chunks = 0;
  for (Integer i = 0; i < v.Cache.LinesOnScreenScroll(); ++i)
    chunks += static_cast<int64_t>(v.Cache.GetScreenLine(i).Chunks.size());
  for (auto _ : AState) v.Painter.Paint(v.Cache, p, client, client);
  benchmark::DoNotOptimize(p.Calls);
  AState.counters["rows"] = v.Cache.LinesOnScreenScroll();
  AState.counters["chunks"] = static_cast<double>(chunks);
}

}  // namespace

BENCHMARK(BM_PaintScreen)->ArgNames({"selection"})->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

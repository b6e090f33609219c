// Measuring and painting a full screen of the C corpus (bench/corpus/c_1mb.txt, highlighted with
// the demo's C scheme) into an image with the Qt surfaces: 50 rows of 1000 px in "Courier New"
// 13 px, each row a gutter with its line number and the row's runs in their token colours.
//  - BM_NewScreen: each iteration shows the next 50 lines: their runs are measured for the first
//    time, then painted (fonts and character widths already known).
//  - BM_RepaintScreen: the same screen again, every run cached: the painting cost. With
//    KIV_VIEW_BENCH_IMAGE=<file.png> the screen is saved to look at.
//  - BM_ColdScreen: new surfaces and a new screen cache each iteration: fonts, glyphs and
//    widths looked up from nothing.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "BenchCorpus.h"
#include "BenchQtMain.h"
#include "KivDemoData.h"
#include "KivSedDocument.h"
#include "KivSedParser.h"
#include "KivSedQtMeasure.h"
#include "KivSedQtPaint.h"
#include "internal/ScreenCache.h"

namespace {

constexpr Integer kRows = 50;
constexpr Integer kWidth = 1000;
constexpr Integer kGutter = 40;

std::string CorpusFile() {
  return BenchCorpusPath("c_1mb.txt");
}

TKivEditDocument& Corpus() {
  static std::unique_ptr<TKivEditDocument> doc;
  if (!doc) {
    doc = std::make_unique<TKivEditDocument>();
    doc->SetParser(std::make_unique<TKivEditParser>());
    KivDemoFillDocument(*doc);
    if (std::filesystem::exists(CorpusFile())) {
      std::ifstream in(CorpusFile(), std::ios::binary);
      std::stringstream text;
      text << in.rdbuf();
      doc->SetLines(TKivStringList(KivSplitLines(KivFromUtf8(text.str()))));
    }
    doc->SetActiveSyntaxScheme(u"C");
  }
  return *doc;
}

QFont EditorFont() {
  QFont font(QStringLiteral("Courier New"));
  font.setPixelSize(13);
  return font;
}

// A view's worth of the Qt backends over the corpus.
struct Screen : IKivScreenCacheHost {
  Screen()
      : Image(kWidth, 1, QImage::Format_ARGB32_Premultiplied),
        Measure(EditorFont(), &Image),
        RowHeight(Measure.Metrics(0).Height + Measure.Metrics(0).ExternalLeading),
        Cache(this, wmNoWrap, 8, kWidth - kGutter, kRows, 80, &Measure, nullptr) {
    Image = QImage(kWidth, kRows * RowHeight, QImage::Format_ARGB32_Premultiplied);
  }
  TKivEditDocument& Document() override { return Corpus(); }
  bool CursorBoundToChars() const override { return false; }
  void InvalidateConversionCache(Integer) override {}

  // Lays out and paints the rows from AFirstRow.
  void Paint(Integer AFirstRow) {
    QPainter painter(&Image);
    TKivQtPaintSurface surface(painter, Measure);
    TScreenLineInfo info;
    Cache.Measure().TextDataCache().BeginScreen();
    for (Integer r = 0; r < kRows; ++r) {
      const Integer top = r * RowHeight, bottom = top + RowHeight;
      const TKivRect row{0, top, kWidth, bottom};
      Cache.BuildLineChunks(Cache.WP_GetStateByXY(0, AFirstRow + r, true), info);
      surface.FillRect({0, top, kGutter, bottom}, KivRGB(244, 244, 244));
      const TKivString number = KivFormat(u"%d", {info.ScrollInfo.PhysicalLine + 1});
      Integer numberWidth = 0;
      for (Char c : number) numberWidth += Measure.CharWidth(c, 0, 0);
      surface.DrawText({kGutter - 2 - numberWidth, top}, number, nullptr, KivRGB(153, 153, 204), 0, 0,
                       {0, top, kGutter, bottom});
      Integer x = kGutter;
      for (const TChunk& chunk : info.Chunks) {
        const TKivEditAttributes& a = chunk.Attrs;
        const Integer w = chunk.TextData ? chunk.TextData->Width() : 0;
        const TKivRect cell{x, top, x + w, bottom};
        surface.FillRect(cell,
                         (a.AttributesSet & asBackgroundColor) ? a.BackgroundColor : KivRGB(255, 255, 255));
        if (chunk.TextData && !chunk.Chars.empty())
          surface.DrawText({x, top}, chunk.Chars, chunk.TextData->SSA(),
                           (a.AttributesSet & asTextColor) ? a.TextColor : 0,
                           (a.AttributesSet & asFontStyle) ? a.FontStyle : 0, chunk.CharSet, row);
        x += w;
        if (x >= kWidth) break;
      }
      surface.FillRect({x, top, kWidth, bottom}, KivRGB(255, 255, 255));
    }
    Cache.Measure().TextDataCache().EndScreen();
  }

  QImage Image;
  TKivQtMeasureSurface Measure;
  Integer RowHeight;
  TScreenCache Cache;
};

bool HaveCorpus(benchmark::State& AState) {
  if (Corpus().LinesCount() > kRows * 100) return true;
  AState.SkipWithError("corpus missing: run bench/make_corpus");
  return false;
}

void BM_NewScreen(benchmark::State& AState) {
  if (!HaveCorpus(AState)) return;
  Screen screen;
  // Tokenize ahead, so that the screens measure and paint without the parser's first pass.
  const Integer lines = Corpus().LinesCount();
  Integer first = 0;
  screen.Paint(lines - kRows);
  for (auto _ : AState) {
    screen.Paint(first);
    first += kRows;
    if (first + kRows > lines) first = 0;
  }
}

void BM_RepaintScreen(benchmark::State& AState) {
  if (!HaveCorpus(AState)) return;
  Screen screen;
  const Integer first = Corpus().LinesCount() / 2;
  screen.Paint(first);
  for (auto _ : AState) screen.Paint(first);
  // KIV_VIEW_BENCH_IMAGE=<file.png> keeps the painted screen, to look at.
  if (const char* file = std::getenv("KIV_VIEW_BENCH_IMAGE")) screen.Image.save(QString::fromLocal8Bit(file));
}

void BM_ColdScreen(benchmark::State& AState) {
  if (!HaveCorpus(AState)) return;
  const Integer first = Corpus().LinesCount() / 3;
  {
    Screen warm;  // the font database and the glyph caches of the process
    warm.Paint(first);
  }
  for (auto _ : AState) {
    Screen screen;
    screen.Paint(first);
  }
}

}  // namespace

BENCHMARK(BM_NewScreen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RepaintScreen)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ColdScreen)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  return KivRunQtBenchmarks<QGuiApplication>(argc, argv);
}

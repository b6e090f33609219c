// The main of the benchmarks that need Qt: the application object (offscreen unless
// QT_QPA_PLATFORM names a platform) exists before any font is made.
#pragma once

#include <benchmark/benchmark.h>

#include <QtGlobal>

// TApp: QGuiApplication, or QApplication for widgets.
template <class TApp>
int KivRunQtBenchmarks(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  benchmark::Initialize(&argc, argv);
  TApp app(argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

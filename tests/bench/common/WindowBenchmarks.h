#pragma once
// The main of a benchmark program that needs the windows: headless, with the
// program's own application object, then every benchmark registered.
#include "main/Program.h"

#include <QtGlobal>
#include <benchmark/benchmark.h>

inline int RunWindowBenchmarks(int argc, char **argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  VxApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

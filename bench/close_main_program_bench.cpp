// How long the shutdown takes to find that the main program is not running:
// one pass over every process of the machine. The worker's report to the
// dialog follows it at once, so this should stay far below a second even on a
// busy machine.
#include <benchmark/benchmark.h>

#include "worker/download_update.h"

namespace {

void ScanWithoutMatch(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(CDownloadUpdate::CloseMainProgram(L"no-such-program.exe"));
}

BENCHMARK(ScanWithoutMatch)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

// Compile time of generated sources from a thousand to a million notes, written flat and
// through loops, with the peak memory of the process so far. Run it optimised:
//   cmake --build --preset release --target compile_bench && build/release/bench/compile_bench
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <string>

#include "mmlcU.h"

namespace {

// Eighth notes up and down a scale, 16 to a line.
std::string FlatSource(int64_t notes) {
  static const char* kNotes[] = {"c", "d", "e", "f", "g", "a", "b", "<c>", "b", "a", "g", "f", "e", "d", "c", "r"};
  std::string text = "(T1) l8 o4\r\n";
  text.reserve(static_cast<size_t>(notes) * 3 + 64);
  for (int64_t i = 0; i < notes; ++i) {
    text += kNotes[i % 16];
    text += (i % 16 == 15) ? "\r\n" : " ";
  }
  return text;
}

// The same notes as a 16-note body repeated by a loop (notes / 16 passes).
std::string LoopedSource(int64_t notes) {
  return "(T1) l8 o4 [c d e f g a b <c> b a g f e d c r]" + std::to_string(notes / 16) + "\r\n";
}

double PeakRssMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void Compile(benchmark::State& state, std::string (*make)(int64_t)) {
  const std::string source = make(state.range(0));
  size_t events = 0;
  for (auto _ : state) {
    tw::TMmlc mmlc;
    if (!mmlc.CompileText(source)) state.SkipWithError("compile failed");
    const std::string smf = mmlc.FSmf.Build();
    benchmark::DoNotOptimize(smf.data());
    events = mmlc.FSmf.Count();
  }
  state.counters["notes/s"] = benchmark::Counter(static_cast<double>(state.range(0)), benchmark::Counter::kIsIterationInvariantRate);
  state.counters["events"] = static_cast<double>(events);
  state.counters["peak_MiB"] = PeakRssMiB();
}

void BM_CompileLooped(benchmark::State& state) { Compile(state, LoopedSource); }
void BM_CompileFlat(benchmark::State& state) { Compile(state, FlatSource); }

// Looped first: its peak is then not hidden by the larger flat texts.
BENCHMARK(BM_CompileLooped)->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompileFlat)->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();

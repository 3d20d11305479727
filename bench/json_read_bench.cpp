// How the reader's time grows with the size of its input, per shape of
// document. Each shape should grow linearly, except many members in one
// object: every member is looked up among those before it to keep names
// unique, which is quadratic in the member count of that object.
#include <benchmark/benchmark.h>

#include <sstream>
#include <string>

#include "json/reader.h"

namespace {

void ReadDocument(benchmark::State& state, const std::string& text) {
  for (auto _ : state) {
    std::istringstream input(text);
    json::Object object;
    json::Reader::Read(object, input);
    benchmark::DoNotOptimize(object);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
  state.SetComplexityN(state.range(0));
}

void LongString(benchmark::State& state) {
  ReadDocument(state, "{\"s\":\"" + std::string(static_cast<size_t>(state.range(0)), 'x') + "\"}");
}

void ManyNumbers(benchmark::State& state) {
  std::string text = "{\"a\":[";
  for (int64_t i = 0; i < state.range(0); ++i) text += i ? ",1.5" : "1.5";
  ReadDocument(state, text + "]}");
}

void ManyStrings(benchmark::State& state) {
  std::string text = "{\"a\":[";
  for (int64_t i = 0; i < state.range(0); ++i) text += i ? ",\"0123456789abcdef\"" : "\"0123456789abcdef\"";
  ReadDocument(state, text + "]}");
}

void DeepNesting(benchmark::State& state) {
  const auto levels = static_cast<size_t>(state.range(0));
  ReadDocument(state, "{\"a\":" + std::string(levels, '[') + std::string(levels, ']') + "}");
}

void ManyMembers(benchmark::State& state) {
  std::string text = "{";
  for (int64_t i = 0; i < state.range(0); ++i) text += (i ? ",\"m" : "\"m") + std::to_string(i) + "\":1";
  ReadDocument(state, text + "}");
}

BENCHMARK(LongString)->RangeMultiplier(4)->Range(1 << 10, 1 << 20)->Complexity(benchmark::oN);
BENCHMARK(ManyNumbers)->RangeMultiplier(4)->Range(1 << 8, 1 << 16)->Complexity(benchmark::oN);
BENCHMARK(ManyStrings)->RangeMultiplier(4)->Range(1 << 8, 1 << 16)->Complexity(benchmark::oN);
BENCHMARK(DeepNesting)->RangeMultiplier(2)->Range(1 << 4, json::Reader::kMaxDepth - 1)->Complexity(benchmark::oN);
BENCHMARK(ManyMembers)->RangeMultiplier(4)->Range(1 << 6, 1 << 12)->Complexity();

}  // namespace

BENCHMARK_MAIN();

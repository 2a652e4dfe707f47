// ZEQImport into the stand-in of a file naming many things of one kind: one model with n user
// properties (each becomes a host attribute), and n takes (the last one imported). Each import must
// stay near n log n: searches by name per attribute, per channel and per take made both quadratic.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/commandimport_bench_support.h"
#include "zeqmany_bench_support.h"

using namespace zeqsdk_400;

namespace {

void TimeImports(benchmark::State& state, const std::string& path, int take) {
    commandimportbench::TimeImports(state, path, take);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_ImportUserProperties(benchmark::State& state) {
    TimeImports(state, zeqmanybench::UserPropertyFile(static_cast<int>(state.range(0))), -1);
}
BENCHMARK(BM_ImportUserProperties)->Arg(1000)->Arg(10000)->Arg(30000)->Arg(100000)
    ->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ImportTakes(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    TimeImports(state, zeqmanybench::TakeFile(n), n - 1);
}
BENCHMARK(BM_ImportTakes)->Arg(1000)->Arg(10000)->Arg(30000)->Arg(100000)
    ->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

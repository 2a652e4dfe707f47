#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "base/karray.h"
#include "base/kset.h"
#include "base/kstring.h"

using namespace zeqsdk_400;

namespace {

void BM_ArrayAppend(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        KArrayTemplate<int> a;
        for (int i = 0; i < n; ++i) a.Add(i);
        benchmark::DoNotOptimize(a.GetArray());
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ArrayAppend)->Arg(1000)->Arg(100000)->Arg(1000000);

std::vector<std::string> Keys(int n) {
    std::vector<std::string> keys;
    keys.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) keys.push_back("Node_" + std::to_string((i * 7919) % n) + "_Mesh");
    return keys;
}

void BM_CharPtrSetAddThenGet(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<std::string> keys = Keys(n);
    for (auto _ : state) {
        KCharPtrSet set(20);
        for (int i = 0; i < n; ++i) set.Add(keys[static_cast<std::size_t>(i)].c_str(), static_cast<kReference>(i));
        kReference sum = 0;
        for (int i = 0; i < n; ++i) sum += set.Get(keys[static_cast<std::size_t>(i)].c_str());
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_CharPtrSetAddThenGet)->Arg(1000)->Arg(100000);

void BM_StringAssign(benchmark::State& state) {
    std::string text(static_cast<std::size_t>(state.range(0)), 'x');
    KString s;
    for (auto _ : state) {
        s = text.c_str();
        benchmark::DoNotOptimize(s.Buffer());
        s = "";
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_StringAssign)->Arg(8)->Arg(63)->Arg(200)->Arg(4096);

}  // namespace

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "content/kzeqgobo.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzequserproperty.h"

using namespace zeqsdk_400;

namespace {

std::vector<std::string> Names(int count, const char* prefix) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) names.push_back(prefix + std::to_string(i));
    return names;
}

// Creates count gobos, finds the last one by name, and destroys all of them
// in reverse order of creation.
void BM_GoboCreateFindDestroyReverse(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::vector<std::string> names = Names(count, "Model::g");
    std::vector<KZeqGobo*> gobos(static_cast<std::size_t>(count));
    KZeqSdkManager manager;
    for (auto _ : state) {
        for (std::size_t i = 0; i < gobos.size(); ++i) gobos[i] = manager.CreateKZeqGobo(names[i].c_str());
        benchmark::DoNotOptimize(manager.FindKZeqGobo(names.back().c_str()));
        for (auto gobo = gobos.rbegin(); gobo != gobos.rend(); ++gobo) manager.DestroyKZeqGobo(*gobo);
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_GoboCreateFindDestroyReverse)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_UserPropertyCreateFindDestroyReverse(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const std::vector<std::string> names = Names(count, "p");
    std::vector<KZeqUserProperty*> properties(static_cast<std::size_t>(count));
    KZeqSdkManager manager;
    for (auto _ : state) {
        for (std::size_t i = 0; i < properties.size(); ++i)
            properties[i] = manager.CreateKZeqUserProperty(names[i].c_str(), "Real", "");
        benchmark::DoNotOptimize(manager.FindKZeqUserProperty(names.back().c_str()));
        for (auto p = properties.rbegin(); p != properties.rend(); ++p) manager.DestroyKZeqUserProperty(*p);
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_UserPropertyCreateFindDestroyReverse)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Only the destroys, in reverse, forward or random order (arg 1: 0, 1, 2).
void BM_GoboDestroy(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const int order = static_cast<int>(state.range(1));
    std::vector<KZeqGobo*> gobos(static_cast<std::size_t>(count));
    KZeqSdkManager manager;
    std::mt19937 random(1);
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < count; ++i) gobos[static_cast<std::size_t>(i)] = manager.CreateKZeqGobo("g");
        if (order == 0) std::reverse(gobos.begin(), gobos.end());
        if (order == 2) std::shuffle(gobos.begin(), gobos.end(), random);
        state.ResumeTiming();
        for (KZeqGobo* gobo : gobos) manager.DestroyKZeqGobo(gobo);
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_GoboDestroy)->Args({100000, 0})->Args({100000, 1})->Args({10000, 2})->Unit(benchmark::kMillisecond);

}  // namespace

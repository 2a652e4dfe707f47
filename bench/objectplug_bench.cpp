#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "object/kobject.h"

using namespace zeqsdk_400;

namespace {

// A hub with count leaves: as its sources (side 0) or its destinations (side 1).
struct Star {
    Star(int count, int side) : mHub(new KObject), mLeaves(static_cast<std::size_t>(count)) {
        for (KObject*& leaf : mLeaves) {
            leaf = new KObject;
            if (side == 0) mHub->ConnectSrc(leaf);
            else mHub->ConnectDst(leaf);
        }
    }
    KObject* mHub;
    std::vector<KObject*> mLeaves;
};

enum EOrder { eForward, eReverse, eRandom };

void Arrange(std::vector<KObject*>& objects, int order, std::mt19937& random) {
    if (order == eReverse) std::reverse(objects.begin(), objects.end());
    if (order == eRandom) std::shuffle(objects.begin(), objects.end(), random);
}

// Building the star: count connections to one hub.
void BM_ConnectSources(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        Star star(count, 0);
        state.PauseTiming();
        star.mHub->Destroy();
        for (KObject* leaf : star.mLeaves) leaf->Destroy();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_ConnectSources)->Arg(1000)->Arg(10000)->Arg(100000)->ArgName("n")->Unit(benchmark::kMillisecond);

// Destroying the hub: every connection ends, with its notices.
void BM_DestroyHub(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        Star star(count, static_cast<int>(state.range(1)));
        state.ResumeTiming();
        star.mHub->Destroy();
        state.PauseTiming();
        for (KObject* leaf : star.mLeaves) leaf->Destroy();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_DestroyHub)
    ->ArgsProduct({{1000, 10000, 100000}, {0, 1}})
    ->ArgNames({"n", "side"})
    ->Unit(benchmark::kMillisecond);

// Destroying the leaves of a hub that stays, in an order (0 forward, 1 reverse, 2 random).
void BM_DestroyLeaves(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::mt19937 random(1);
    for (auto _ : state) {
        state.PauseTiming();
        Star star(count, static_cast<int>(state.range(1)));
        Arrange(star.mLeaves, static_cast<int>(state.range(2)), random);
        state.ResumeTiming();
        for (KObject* leaf : star.mLeaves) leaf->Destroy();
        state.PauseTiming();
        star.mHub->Destroy();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_DestroyLeaves)
    ->ArgsProduct({{1000, 10000, 100000}, {0, 1}, {eForward, eReverse, eRandom}})
    ->ArgNames({"n", "side", "order"})
    ->Unit(benchmark::kMillisecond);

// Explicit disconnection of every source of a hub, in an order, then reconnection.
void BM_DisconnectSources(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::mt19937 random(1);
    Star star(count, 0);
    std::vector<KObject*> order = star.mLeaves;
    for (auto _ : state) {
        state.PauseTiming();
        order = star.mLeaves;
        Arrange(order, static_cast<int>(state.range(1)), random);
        state.ResumeTiming();
        for (KObject* leaf : order) star.mHub->DisconnectSrc(leaf);
        state.PauseTiming();
        for (KObject* leaf : star.mLeaves) star.mHub->ConnectSrc(leaf);
        state.ResumeTiming();
    }
    for (KObject* leaf : star.mLeaves) leaf->Destroy();
    star.mHub->Destroy();
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_DisconnectSources)
    ->ArgsProduct({{1000, 10000, 100000}, {eForward, eReverse, eRandom}})
    ->ArgNames({"n", "order"})
    ->Unit(benchmark::kMillisecond);

}  // namespace

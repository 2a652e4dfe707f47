#include <benchmark/benchmark.h>
#include <malloc.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

// Timed by hand: building the scene costs far more than the operations measured.
double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Bytes the heap holds in use now.
double HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

// A scene of count nodes under its root, fanout children a node (fanout
// count: all of them on the root), and ten takes besides the default one
// unless asked for none.
struct BigScene {
    BigScene(int count, int fanout, bool takes = true) : mScene(mManager.CreateKZeqScene()) {
        const double before = HeapInUse();
        std::vector<KZeqNode*> nodes;
        nodes.push_back(mScene->GetRootNode());
        for (int i = 0; i < count; ++i) {
            KZeqNode* node = mManager.CreateKZeqNode(("n" + std::to_string(i)).c_str());
            nodes[static_cast<std::size_t>(i / fanout)]->AddChild(node);
            nodes.push_back(node);
        }
        if (takes) CreateTakes();
        mBytesPerNode = (HeapInUse() - before) / count;
    }
    bool CreateTakes() {
        bool created = true;
        for (int take = 1; take <= 10; ++take)
            created = mScene->CreateTake(("Take " + std::to_string(take)).c_str()) && created;
        return created;
    }
    KZeqSdkManager mManager;
    KZeqScene* mScene;
    double mBytesPerNode = 0.0;
};

void BM_SceneSetCurrentTake(benchmark::State& state) {
    BigScene big(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    bool switched = true;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        switched = big.mScene->SetCurrentTake("Take 7") && big.mScene->SetCurrentTake("Take 3") && switched;
        state.SetIterationTime(Seconds(start) / 2);
    }
    if (!switched) state.SkipWithError("a take was missing");
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_SceneFillTakeNameArray(benchmark::State& state) {
    BigScene big(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    KArrayTemplate<KString*> names;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        big.mScene->FillTakeNameArray(names);
        state.SetIterationTime(Seconds(start));
    }
    if (names.GetCount() != 11) state.SkipWithError("not eleven names");
    for (int i = 0; i < names.GetCount(); ++i) delete names[i];
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Also prints the heap a node of the scene takes with its eleven takes.
void BM_SceneClear(benchmark::State& state) {
    double bytes = 0.0;
    for (auto _ : state) {
        BigScene big(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
        bytes = big.mBytesPerNode;
        const auto start = std::chrono::steady_clock::now();
        big.mScene->Clear();
        state.SetIterationTime(Seconds(start));
        if (big.mManager.GetKZeqNodeCount() != 2) state.SkipWithError("nodes left");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["bytes_per_node"] = bytes;
}

// Clear of a scene with only the default take.
void BM_SceneClearDefaultTake(benchmark::State& state) {
    for (auto _ : state) {
        BigScene big(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), false);
        const auto start = std::chrono::steady_clock::now();
        big.mScene->Clear();
        state.SetIterationTime(Seconds(start));
        if (big.mManager.GetKZeqNodeCount() != 2) state.SkipWithError("nodes left");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The ten takes made on a scene that has only the default one.
void BM_SceneCreateTakes(benchmark::State& state) {
    for (auto _ : state) {
        BigScene big(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), false);
        const auto start = std::chrono::steady_clock::now();
        const bool created = big.CreateTakes();
        state.SetIterationTime(Seconds(start));
        if (!created) state.SkipWithError("a take was refused");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// 10^3, 10^4 and 10^5 nodes, a hundred children a node (about 12 GB for 10^5
// nodes of eleven takes); 10^4 nodes all on the root.
void Sizes(benchmark::internal::Benchmark* b) {
    b->Args({1000, 100})->Args({10000, 100})->Args({100000, 100})->Args({10000, 10000});
    b->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
}
BENCHMARK(BM_SceneSetCurrentTake)->Apply(Sizes);
BENCHMARK(BM_SceneFillTakeNameArray)->Apply(Sizes);
BENCHMARK(BM_SceneClear)->Apply(Sizes);
BENCHMARK(BM_SceneClearDefaultTake)->Apply(Sizes);
BENCHMARK(BM_SceneCreateTakes)->Apply(Sizes);

}  // namespace

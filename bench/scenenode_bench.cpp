#include <benchmark/benchmark.h>
#include <malloc.h>

#include <chrono>
#include <string>
#include <vector>

#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

std::vector<KZeqNode*> MakeNodes(KZeqSdkManager& manager, int count) {
    std::vector<KZeqNode*> nodes;
    for (int i = 0; i < count; ++i) nodes.push_back(manager.CreateKZeqNode(("n" + std::to_string(i)).c_str()));
    return nodes;
}

// Bytes the heap holds in use now.
double HeapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

// Also prints the heap a node takes, once made (names included).
void BM_NodeCreate(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    double bytes = 0.0;
    for (auto _ : state) {
        KZeqSdkManager manager;
        const double before = HeapInUse();
        const auto start = std::chrono::steady_clock::now();
        std::vector<KZeqNode*> nodes = MakeNodes(manager, count);
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        benchmark::DoNotOptimize(nodes.data());
        bytes = (HeapInUse() - before) / count;
    }
    state.SetItemsProcessed(state.iterations() * count);
    state.counters["bytes_per_node"] = bytes;
}
BENCHMARK(BM_NodeCreate)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond)->UseManualTime()
    ->Iterations(1);

// Timed by hand: ending the scenes between iterations costs more than what is measured.

// Each node attached on its own under the root of a scene's entity.
void BM_AttachSingleNodes(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        KZeqSdkManager manager;
        KZeqEntity entity(manager);
        const std::vector<KZeqNode*> nodes = MakeNodes(manager, count);
        const auto start = std::chrono::steady_clock::now();
        for (KZeqNode* node : nodes) entity.GetRootNode()->AddChild(node);
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (entity.GetNodeCount() != count + 1) state.SkipWithError("not all attached");
        entity.Clear();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_AttachSingleNodes)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

// One subtree of count nodes (a top node, a hundred branches) attached at once.
void BM_AttachSubtree(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        KZeqSdkManager manager;
        KZeqEntity entity(manager);
        const std::vector<KZeqNode*> nodes = MakeNodes(manager, count);
        for (int i = 1; i < count; ++i) nodes[i < 101 ? 0 : 1 + i % 100]->AddChild(nodes[i]);
        const auto start = std::chrono::steady_clock::now();
        entity.GetRootNode()->AddChild(nodes[0]);
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (entity.GetNodeCount() != count + 1) state.SkipWithError("not all attached");
        entity.Clear();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_AttachSubtree)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

// A chain built child by child below its end, under an entity's root.
void BM_AttachChain(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state) {
        KZeqSdkManager manager;
        KZeqEntity entity(manager);
        const std::vector<KZeqNode*> nodes = MakeNodes(manager, count);
        const auto start = std::chrono::steady_clock::now();
        KZeqNode* end = entity.GetRootNode();
        for (KZeqNode* node : nodes) {
            end->AddChild(node);
            end = node;
        }
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (entity.GetNodeCount() != count + 1) state.SkipWithError("not all attached");
        entity.Clear();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_AttachChain)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond)->UseManualTime()
    ->Iterations(1);

}  // namespace

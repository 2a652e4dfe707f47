#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

#include "content/kzeqcamera.h"
#include "content/kzeqlight.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Cameras (kind 0) or lights (kind 1) made and attached to count nodes of five
// takes each, then destroyed through the manager, which takes them off their
// nodes. Timed by hand: making the nodes is not measured.
void BM_AttachAndDestroy(benchmark::State& state) {
    const int kind = static_cast<int>(state.range(0));
    const int count = static_cast<int>(state.range(1));
    double attach = 0.0, destroy = 0.0;
    for (auto _ : state) {
        KZeqSdkManager manager;
        std::vector<KZeqNode*> nodes;
        for (int i = 0; i < count; ++i) {
            KZeqNode* node = manager.CreateKZeqNode(("n" + std::to_string(i)).c_str());
            for (int take = 1; take < 5; ++take) node->CreateTakeNode(("Take " + std::to_string(take)).c_str());
            nodes.push_back(node);
        }
        std::vector<KZeqNodeAttribute*> attributes(nodes.size());
        auto start = std::chrono::steady_clock::now();
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            attributes[i] = kind == 0 ? static_cast<KZeqNodeAttribute*>(manager.CreateKZeqCamera())
                                      : static_cast<KZeqNodeAttribute*>(manager.CreateKZeqLight());
            nodes[i]->SetNodeAttribute(attributes[i]);
        }
        const double attached = Since(start);
        start = std::chrono::steady_clock::now();
        for (KZeqNodeAttribute* attribute : attributes) manager.DestroyKZeqNodeAttribute(attribute);
        const double destroyed = Since(start);
        if (nodes.back()->GetNodeAttribute()) state.SkipWithError("attribute left on its node");
        attach += attached;
        destroy += destroyed;
        state.SetIterationTime(attached + destroyed);
    }
    state.counters["attach_ms"] = attach * 1e3 / static_cast<double>(state.iterations());
    state.counters["destroy_ms"] = destroy * 1e3 / static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations() * count);
    state.SetLabel(kind == 0 ? "cameras" : "lights");
}
BENCHMARK(BM_AttachAndDestroy)
    ->ArgsProduct({{0, 1}, {1000, 10000}})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

}  // namespace

// Reads of a 6.0 file whose records name many things of one kind: one model with n user properties,
// and a scene of n takes each animating one model; the write of those takes, and of one take of n
// models under time warps. Each must stay near n log n: a search by name per property or per take,
// or a walk of the take's warps per channel naming one, made them quadratic.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/benchscratch.h"
#include "content/kzeqnull.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "object/kdatatype.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"
#include "scene/kzequserproperty.h"
#include "zeqmany_bench_support.h"
#include "zeqreadback_bench_support.h"

using namespace zeqsdk_400;

namespace {

void BM_ReadUserProperties(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    zeqbench::ReadBack(state, zeqmanybench::UserPropertyFile(n), n, [](KZeqScene& scene) {
        KZeqNode* node = scene.GetRootNode()->GetChildCount() == 1 ? scene.GetRootNode()->GetChild(0) : nullptr;
        int count = 0;
        for (int i = 0; node && i < node->GetPropertyCount(); ++i)
            count += node->PeekFlag(i, KZeqUserProperty::eUSER) ? 1 : 0;
        return count;
    });
}
BENCHMARK(BM_ReadUserProperties)->Arg(1000)->Arg(10000)->Arg(30000)->Arg(100000)
    ->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ReadTakes(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    zeqbench::ReadBack(state, zeqmanybench::TakeFile(n), n, [](KZeqScene& scene) {
        KZeqNode* node = scene.GetRootNode()->GetChildCount() == 1 ? scene.GetRootNode()->GetChild(0) : nullptr;
        return node ? node->GetTakeNodeCount() - 1 : 0;
    });
}
BENCHMARK(BM_ReadTakes)->Arg(1000)->Arg(10000)->Arg(30000)->Arg(100000)
    ->Unit(benchmark::kMillisecond)->Iterations(1);

// The write alone of the scene build makes, as binary 6.0 to name in the scratch folder; n items.
template <class Build>
void WriteScenes(benchmark::State& state, const std::string& name, int n, Build build) {
    const std::string path = zeqbench::ScratchPath(name);
    KZeqSdkManager manager;
    for (auto _ : state) {
        state.PauseTiming();
        KZeqScene* scene = zeqmanybench::ManyScene(manager, build);
        state.ResumeTiming();
        if (!zeqmanybench::WriteBinary(manager, *scene, path)) {
            state.SkipWithError("the file could not be written");
            break;
        }
        state.PauseTiming();
        manager.DestroyKZeqScene(scene, true);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// The scene of n takes written: each take's record looked for and stored by name, in the take
// section and in the "Summary"; a search in place per take made the write quadratic.
void BM_WriteTakes(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    WriteScenes(state, "writetakes" + std::to_string(n) + ".zeq", n, zeqmanybench::TakeBuilder(n));
}
BENCHMARK(BM_WriteTakes)->Arg(2500)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

// The scene of n null models below the root, each keyed in one take with its translation under a
// time warp (a warp of its own, or one of 16 the models share: range 1), written. Each channel names
// its warp by its number in the take's "TimeWarps" block.
void BM_WriteTakeWarps(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const int warps = state.range(1) ? 16 : n;
    const auto build = [n, warps](KZeqSdkManager& maker, KZeqScene& scene, KZeqNode& first) {
        std::vector<KZeqNode*> nodes{&first};
        for (int i = 1; i < n; ++i) {
            KZeqNode* node = maker.CreateKZeqNode(("n" + std::to_string(i)).c_str());
            node->SetNodeAttribute(maker.CreateKZeqNull());
            scene.GetRootNode()->AddChild(node);
            nodes.push_back(node);
        }
        scene.CreateTake("Take 001");
        std::vector<KFCurveNode*> made;
        for (int w = 0; w < warps; ++w) {
            KFCurveNode* warp = KFCurveNodeCreate("W", &KDataTypeTimeWarp);
            warp->FCurveSet(KFCurveCreate(), true);
            warp->FCurveGet()->KeyAppendFast(KTime(0), 0.0f);
            warp->FCurveGet()->KeyAppendFast(KTime(46186158000LL), 0.5f + 0.001f * static_cast<float>(w % 100));
            made.push_back(warp);
        }
        for (int i = 0; i < n; ++i) {
            KZeqNode& node = *nodes[static_cast<std::size_t>(i)];
            node.SetCurrentTakeNode("Take 001");
            KZeqTakeNode* take = node.GetCurrentTakeNode();
            take->GetTranslationX()->KeyAppendFast(KTime(0), 0.0f);
            take->GetTranslationX()->KeyAppendFast(KTime(46186158000LL), static_cast<float>(i));
            take->GetKFCurveNode()->FindRecursive("T")->TimeWarpSet(made[static_cast<std::size_t>(i % warps)]);
        }
    };
    WriteScenes(state, "writetakewarps" + std::to_string(n) + ".zeq", n, build);
}
BENCHMARK(BM_WriteTakeWarps)
    ->ArgNames({"models", "shared16"})
    ->ArgsProduct({{2500, 10000, 40000}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

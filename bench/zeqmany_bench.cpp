// Reads of a 6.0 file whose records name many things of one kind: one model with n user properties,
// and a scene of n takes each animating one model; and the write of those takes. Each must stay
// near n log n: a search by name per property or per take made them quadratic.

#include <benchmark/benchmark.h>

#include <string>

#include "bench/benchscratch.h"
#include "content/kzeqnull.h"
#include "fcurve/kfcurve.h"
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

// The scene of n takes written: each take's record looked for and stored by name, in the take
// section and in the "Summary"; a search in place per take made the write quadratic.
void BM_WriteTakes(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::string path = zeqbench::ScratchPath("writetakes" + std::to_string(n) + ".zeq");
    KZeqSdkManager manager;
    for (auto _ : state) {
        state.PauseTiming();
        KZeqScene* scene = zeqmanybench::ManyScene(manager, zeqmanybench::TakeBuilder(n));
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
BENCHMARK(BM_WriteTakes)->Arg(2500)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

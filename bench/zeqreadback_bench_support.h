#ifndef ZEQ_BENCH_ZEQREADBACK_BENCH_SUPPORT_H
#define ZEQ_BENCH_ZEQREADBACK_BENCH_SUPPORT_H

// The timed loop of a benchmark that reads one Zeq file through the importer: each read must give
// back what the file holds (count(scene) == expected items), and the scene is destroyed outside the
// clock.

#include <benchmark/benchmark.h>

#include <string>

#include "io/kzeqimporter.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqbench {

// path "" when the file could not be written. With bake, the takes' layers and time warps are baked
// into plain curves as they are read.
template <class Count>
void ReadBack(benchmark::State& state, const std::string& path, int expected, Count count, bool bake = false) {
    using namespace zeqsdk_400;
    if (path.empty()) {
        state.SkipWithError("the file could not be written");
        return;
    }
    KZeqSdkManager manager;
    for (auto _ : state) {
        KZeqImporter importer(manager);
        KZeqScene* scene = manager.CreateKZeqScene();
        const bool opened = importer.Initialize(path.c_str());
        if (opened && bake) {
            // The file's own options read first (as the read would), so that this one holds.
            importer.GetTakeCount();
            importer.SetState(KZeqImporter::eMERGE_LAYER_AND_TIMEWARP, true);
        }
        if (!opened || !importer.Import(*scene)) {
            state.SkipWithError(importer.GetLastErrorString());
            break;
        }
        const bool whole = count(*scene) == expected;
        state.PauseTiming();
        manager.DestroyKZeqScene(scene, true);
        // A run stopped with an error may not resume its timing.
        if (!whole) {
            state.SkipWithError("the file did not come whole");
            break;
        }
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * expected);
}

}  // namespace zeqbench

#endif

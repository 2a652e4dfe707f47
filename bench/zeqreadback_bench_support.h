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

// path "" when the file could not be written.
template <class Count>
void ReadBack(benchmark::State& state, const std::string& path, int expected, Count count) {
    using namespace zeqsdk_400;
    if (path.empty()) {
        state.SkipWithError("the file could not be written");
        return;
    }
    KZeqSdkManager manager;
    for (auto _ : state) {
        KZeqImporter importer(manager);
        KZeqScene* scene = manager.CreateKZeqScene();
        if (!importer.Initialize(path.c_str()) || !importer.Import(*scene)) {
            state.SkipWithError(importer.GetLastErrorString());
            break;
        }
        if (count(*scene) != expected) state.SkipWithError("the file did not come whole");
        state.PauseTiming();
        manager.DestroyKZeqScene(scene, true);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * expected);
}

}  // namespace zeqbench

#endif

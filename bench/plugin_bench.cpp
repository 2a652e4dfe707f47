// Host plug-in shell: name-clash resolution on big scenes, the settings file's load and save.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "base/klib.h"
#include "plugin/zeqtulonode.h"
#include "plugin/zeqtulosdkmanager.h"
#include "plugin/zeqtulouserparams.h"
#include "plugin/zeqtuloutility.h"
#include "standin.h"

namespace {

// n nodes sharing 10 names; only the resolution is timed.
void BM_ResolveNameClashing(benchmark::State& state) {
    const auto mode = static_cast<ZeqTuloSdkManager::EMode>(state.range(1));
    for (auto _ : state) {
        state.PauseTiming();
        auto manager = std::make_unique<ZeqTuloSdkManager>(mode);
        for (int i = 0; i < state.range(0); ++i)
            manager->CreateZeqTuloNode(("node" + std::to_string(i % 10)).c_str(), nullptr);
        state.ResumeTiming();
        manager->ResolveNameClashing();
        state.PauseTiming();
        manager.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ResolveNameClashing)->ArgsProduct({{1000, 100000}, {0, 1}})->Unit(benchmark::kMillisecond);

// One Load and one Save of the 52 options, on disk (the settings file syncs each write).
void BM_UserParamsLoadSave(benchmark::State& state) {
    char directory[] = "/var/tmp/zeqtulo-bench-XXXXXX";
    if (!mkdtemp(directory)) return state.SkipWithError("no temporary directory");
    zeqsdk_400::KLib_SetConfigDirectory(directory);
    {
        ZeqTuloUserParams params;
        params.Save();
        for (auto _ : state) {
            params.Load();
            params.Save();
        }
    }
    zeqsdk_400::KLib_SetConfigDirectory("");
    std::remove((std::string(directory) + "/zeqplugins6.0registry.txt").c_str());
    std::remove((std::string(directory) + "/zeqplugins6.0registry.txt.bak").c_str());
    rmdir(directory);
}
BENCHMARK(BM_UserParamsLoadSave)->Unit(benchmark::kMillisecond);

}  // namespace

// Host plug-in shell: name-clash resolution on big scenes, the settings file's load and save, the
// bridge node of a DAG path.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/klib.h"
#include "bench/benchscratch.h"
#include "plugin/zeqtulonode.h"
#include "plugin/zeqtulonodepathindex.h"
#include "plugin/zeqtulosdkmanager.h"
#include "plugin/zeqtulouserparams.h"
#include "plugin/zeqtuloutility.h"
#include "standin.h"
#include "tdagpath.h"

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

// One Load and one Save of the 52 options in the scratch folder (the settings file syncs each write:
// TMPDIR=/var/tmp measures it on disk where /tmp is in memory).
void BM_UserParamsLoadSave(benchmark::State& state) {
    const std::string directory = zeqbench::MakeFolder("settings");
    zeqsdk_400::KLib_SetConfigDirectory(directory.c_str());
    {
        ZeqTuloUserParams params;
        params.Save();
        for (auto _ : state) {
            params.Load();
            params.Save();
        }
    }
    zeqsdk_400::KLib_SetConfigDirectory("");
    zeqbench::RemoveFolder(directory);
}
BENCHMARK(BM_UserParamsLoadSave)->Unit(benchmark::kMillisecond);

// The smooth-binding export's search: a bridge node per host transform of a 10^5-node tree
// (10 children each), then the nodes of 200 influences found from the root.
void BM_GetZeqNodeFromDagPath(benchmark::State& state) {
    standin::reset();
    ZeqTuloSdkManager manager(ZeqTuloSdkManager::eExport);
    const int count = static_cast<int>(state.range(0));
    std::vector<ZeqTuloNode*> nodes;
    std::vector<TObject> hosts;
    nodes.reserve(static_cast<std::size_t>(count));
    ZeqTuloNode* root = manager.CreateZeqTuloNode("root", nullptr);
    for (int i = 0; i < count; ++i) {
        const int parent = i == 0 ? -1 : (i - 1) / 10;
        const std::string name = "n" + std::to_string(i);
        hosts.push_back(standin::createNode("transform", name, parent < 0 ? TObject() : hosts[static_cast<std::size_t>(parent)]));
        TDagPath path = TDagPath::getAPathTo(hosts.back());
        nodes.push_back(manager.CreateZeqTuloNode(name.c_str(), &path));
        (parent < 0 ? root : nodes[static_cast<std::size_t>(parent)])->AddChild(nodes.back());
    }
    std::vector<TDagPath> influences;
    for (int k = 0; k < 200; ++k) influences.push_back(*nodes[static_cast<std::size_t>((k * 7919) % count)]->GetDagPath());
    for (auto _ : state) {
        if (state.range(1)) {  // through an index built for the lookups
            ZeqTuloNodePathIndex index(root);
            for (const TDagPath& path : influences)
                if (!index.Find(&path)) state.SkipWithError("influence not found");
        } else {
            for (const TDagPath& path : influences)
                if (!GetZeqNodeFromDagPath(root, &path)) state.SkipWithError("influence not found");
        }
    }
    state.SetItemsProcessed(state.iterations() * 200);
}
BENCHMARK(BM_GetZeqNodeFromDagPath)->ArgsProduct({{1000, 100000}, {0, 1}})->Unit(benchmark::kMillisecond);

}  // namespace

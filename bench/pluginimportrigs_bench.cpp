// Aimed cameras: n cameras at the top, each aimed at a null of its own (every one a look-at rig of
// the host) or all at one null (the first takes it, the others keep their orientation, each with
// a log line). The import alone, a host round trip of what it made (export, then import into an
// emptied host), and the file merged into what its import made (every camera and aim found in the
// look-at group the host made for it) must stay within n log n.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "content/kzeqcamera.h"
#include "content/kzeqnull.h"
#include "pluginimport_bench_support.h"
#include "plugin/export/zeqtuloexport.h"
#include "scene/kzeqnode.h"

using namespace zeqsdk_400;
using namespace importbench;

namespace {

const char kBench[] = "pluginimportrigs";

// Argument 1: 0 each camera at its own null, 1 all at one null.
std::string CamerasFile(int n, bool shared) {
    return SceneFile(kBench, std::string(shared ? "shared" : "own") + std::to_string(n),
                     [n, shared](KZeqSdkManager& m, KZeqScene& s) {
                         KZeqNode* common = nullptr;
                         for (int i = 0; i < n; ++i) {
                             KZeqNode* camera = m.CreateKZeqNode(("Cam" + std::to_string(i)).c_str());
                             camera->SetNodeAttribute(m.CreateKZeqCamera());
                             s.GetRootNode()->AddChild(camera);
                             KZeqNode* target = shared ? common : nullptr;
                             if (!target) {
                                 target = m.CreateKZeqNode(("T" + std::to_string(i)).c_str());
                                 target->SetNodeAttribute(m.CreateKZeqNull());
                                 s.GetRootNode()->AddChild(target);
                                 if (shared) common = target;
                             }
                             camera->SetTarget(target);
                         }
                     });
}

double Import(const std::string& file) {
    Prepare();
    TimedImport driver;
    driver.OpenProject(TString(file.c_str()));
    driver.Run();
    return driver.mTotal;
}

void BM_ImportAimedCameras(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    state.SetLabel(state.range(1) ? "all at one null" : "each at its own null");
    const std::string file = CamerasFile(n, state.range(1) != 0);
    for (auto _ : state) state.SetIterationTime(Import(file));
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ImportAimedCameras)
    ->ArgsProduct({{1000, 4000, 10000}, {0, 1}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

void BM_RoundTripAimedCameras(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    state.SetLabel(state.range(1) ? "all at one null" : "each at its own null");
    const std::string file = CamerasFile(n, state.range(1) != 0);
    const std::string again = Directory(kBench) + "again.zeq";
    ZeqTuloUserParams::Instance()->SetBoolParam(ZeqTuloUserParams::kExportShowUI, false);
    for (auto _ : state) {
        Import(file);
        const auto start = std::chrono::steady_clock::now();
        ZeqTuloExport exporter;
        if (!exporter.Export(again.c_str())) return state.SkipWithError("export failed");
        const double exported = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(exported + Import(again));
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_RoundTripAimedCameras)
    ->ArgsProduct({{1000, 4000, 10000}, {0, 1}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

void BM_MergeAimedCameras(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    state.SetLabel(state.range(1) ? "all at one null" : "each at its own null");
    const std::string file = CamerasFile(n, state.range(1) != 0);
    for (auto _ : state) {
        Import(file);
        ZeqTuloUserParams::Instance()->SetImportType(KZeqUserParams::kMerge);
        TimedImport driver;
        driver.OpenProject(TString(file.c_str()));
        driver.Run();
        state.SetIterationTime(driver.mTotal);
    }
    Prepare();
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_MergeAimedCameras)
    ->ArgsProduct({{1000, 4000, 10000}, {0, 1}})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

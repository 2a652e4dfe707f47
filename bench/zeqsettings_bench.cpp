// N lights sharing N/10 gobos through a 5.8 file and back, against the same
// lights without gobos; a bind pose of N entries built, and written and read
// through a 6.0 file.

#include <benchmark/benchmark.h>

#include <string>

#include "bench/benchscratch.h"
#include "content/kzeqgobo.h"
#include "content/kzeqlight.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqpose.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

std::string Scratch() { return zeqbench::ScratchPath("settings.zeq"); }

bool RoundTrip(KZeqSdkManager& manager, KZeqScene& scene, const std::string& path, int row, benchmark::State& state) {
    KZeqExporter exporter(manager);
    exporter.Initialize(path.c_str());
    exporter.SetFileFormat(row);
    KZeqImporter importer(manager);
    KZeqScene* read = manager.CreateKZeqScene();
    const bool ok = exporter.Export(scene) && importer.Initialize(path.c_str()) && importer.Import(*read);
    if (!ok) state.SkipWithError("round trip failed");
    manager.DestroyKZeqScene(read, true);
    return ok;
}

// Arguments: light count, 1 with gobos (one per ten lights) or 0 without.
void BM_LightsWithGobos(benchmark::State& state) {
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    const int count = static_cast<int>(state.range(0));
    std::vector<KZeqGobo*> gobos;
    for (int i = 0; i < count / 10 && state.range(1); ++i)
        gobos.push_back(manager.CreateKZeqGobo(("g" + std::to_string(i)).c_str()));
    for (int i = 0; i < count; ++i) {
        KZeqNode* node = manager.CreateKZeqNode(("l" + std::to_string(i)).c_str());
        node->SetNodeAttribute(manager.CreateKZeqLight());
        scene->GetRootNode()->AddChild(node);
        if (!gobos.empty()) node->GetLight()->SetGobo(gobos[static_cast<std::size_t>(i * 7) % gobos.size()]);
    }
    const std::string path = Scratch();
    for (auto _ : state)
        if (!RoundTrip(manager, *scene, path, KZeqExporter::eZEQ_5_BINARY, state)) break;
    zeqbench::RemoveFile(path);
    state.SetLabel(state.range(1) ? "gobos" : "no gobos");
}
BENCHMARK(BM_LightsWithGobos)->Args({1000, 0})->Args({1000, 1})->Args({10000, 0})->Args({10000, 1})->Unit(benchmark::kMillisecond);

KZeqPose* MakePose(KZeqSdkManager& manager, int count) {
    KZeqPose* pose = manager.CreateKZeqPose("Bind", true);
    KZeqMatrix matrix;
    for (int i = 0; i < count; ++i) {
        static_cast<double*>(matrix)[12] = i;
        pose->Add(("n" + std::to_string(i)).c_str(), matrix, false);
    }
    return pose;
}

void BM_BindPoseAdd(benchmark::State& state) {
    KZeqSdkManager manager;
    for (auto _ : state) manager.DestroyKZeqPose(MakePose(manager, static_cast<int>(state.range(0))));
}
BENCHMARK(BM_BindPoseAdd)->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_BindPoseThroughFile(benchmark::State& state) {
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    scene->AddPose(MakePose(manager, static_cast<int>(state.range(0))));
    const std::string path = Scratch();
    for (auto _ : state)
        if (!RoundTrip(manager, *scene, path, KZeqExporter::eZEQ_BINARY, state)) break;
    zeqbench::RemoveFile(path);
}
BENCHMARK(BM_BindPoseThroughFile)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

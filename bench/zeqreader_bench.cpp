// The options of a binary Zeq file with N top-level "Model" records (each
// with a small block) and N / 100 takes: parsed from the main section (which
// writes the "Summary" back), then read from that "Summary". The bake of a
// take's layers and time warps into plain curves.

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>

#include "bench/benchscratch.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "fileio/kzeq.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqfields.h"
#include "io/kzeqimporter.h"
#include "io/kzeqreaderzeq.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

std::string Scratch(const char* name, int models) {
    return zeqbench::ScratchPath(name + std::to_string(models) + ".zeq");
}

void MakeFile(const std::string& path, int models) {
    KZeq file;
    file.ProjectCreate(path.c_str(), true, false);
    for (int i = 0; i < models; ++i) {
        const std::string name = "Model::node" + std::to_string(i);
        ZeqWriteBlockBegin(file, "Model", name.c_str());
        ZeqWriteFieldI(file, "Version", 232);
        ZeqWriteFieldC(file, "Type", "Null");
        ZeqWriteBlockEnd(file);
    }
    ZeqWriteBlockBegin(file, "Takes");
    ZeqWriteFieldC(file, "Current", "Take 1");
    for (int i = 0; i < models / 100; ++i) {
        const std::string name = "Take " + std::to_string(i);
        ZeqWriteBlockBegin(file, "Take", name.c_str());
        ZeqWriteFieldC(file, "Comments", "a take");
        ZeqWriteFieldTS(file, "LocalTime", KTimeSpan(KTime(0), KTime(i)));
        ZeqWriteFieldTS(file, "ReferenceTime", KTimeSpan(KTime(0), KTime(i)));
        ZeqWriteBlockEnd(file);
    }
    ZeqWriteBlockEnd(file);
    file.ProjectClose();
}

void ReadOptions(benchmark::State& state, const std::string& path, bool parse) {
    KZeqSdkManager manager;
    KZeqImporter importer(manager);
    KZeqReaderZeq reader(manager, importer);
    reader.FileOpen(path.c_str());
    KStreamOptions* options = reader.GetReadOptions(parse);
    if (!options || static_cast<KStreamOptionsZeq*>(options)->GetTakeInfoCount() != state.range(0) / 100)
        state.SkipWithError("options not read");
    if (options) options->Destroy();
}

void BM_OptionsParsed(benchmark::State& state) {
    const int models = static_cast<int>(state.range(0));
    const std::string pristine = Scratch("pristine", models), path = Scratch("parsed", models);
    MakeFile(pristine, models);
    for (auto _ : state) {
        state.PauseTiming();
        zeqbench::WriteFile(path, zeqbench::ReadFile(pristine));
        state.ResumeTiming();
        ReadOptions(state, path, true);
    }
    zeqbench::RemoveFile(pristine), zeqbench::RemoveFile(path);
}
BENCHMARK(BM_OptionsParsed)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_OptionsFromSummary(benchmark::State& state) {
    const int models = static_cast<int>(state.range(0));
    const std::string path = Scratch("summary", models);
    MakeFile(path, models);
    ReadOptions(state, path, true);  // writes the "Summary"
    for (auto _ : state) ReadOptions(state, path, false);
    zeqbench::RemoveFile(path);
}
BENCHMARK(BM_OptionsFromSummary)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

namespace {

struct NodeDeleter {
    void operator()(KFCurveNode* node) const { node->Destroy(); }
};
using NodePtr = std::unique_ptr<KFCurveNode, NodeDeleter>;

constexpr kLongLong kFrame = 1539538600LL;  // 1/30 s

KFCurveNode* Leaf(const char* name, int frames, int step, float amplitude) {
    KFCurveNode* leaf = KFCurveNodeCreate(name, static_cast<KDataType*>(nullptr));
    KFCurve* curve = KFCurveCreate();
    curve->KeyModifyBegin();
    // Keys every few frames and a bit off them, as a 24 a second take's fall between the samples.
    for (int f = 0; f <= frames; f += step)
        curve->KeyAppendFast(KTime(f * kFrame + (f % 3) * kFrame / 4), amplitude * std::sin(0.05f * static_cast<float>(f)));
    curve->KeyModifyEnd();
    leaf->FCurveSet(curve, true);
    return leaf;
}

KFCurveNode* Warp(float scale, int frames) {
    KFCurveNode* warp = KFCurveNodeCreate("W", static_cast<KDataType*>(nullptr));
    warp->FCurveSet(KFCurveCreate(), true);
    warp->FCurveGet()->KeyAppendFast(KTime(0), 0.0f);
    warp->FCurveGet()->KeyAppendFast(KTime(frames * kFrame), static_cast<float>(frames / 30.0 * scale));
    return warp;
}

// A take node's tree of size frames: T, R and S keyed every few frames, each with a layer of one
// or two channels, the translation under a warp of its own and the whole transform under another.
NodePtr LayeredTake(int frames, KFCurveNode* holder) {
    NodePtr root(KFCurveNodeCreate("Take"));
    KFCurveNode* transform = KFCurveNodeCreate("Transform");
    static const char* const kVectors[3] = {"T", "R", "S"};
    static const int kTypes[3] = {KFCL_ADD, KFCL_EULER_XYZ, KFCL_MULT};
    for (int v = 0; v < 3; ++v) {
        KFCurveNode* vector = KFCurveNodeCreate(kVectors[v], static_cast<KDataType*>(nullptr), kTypes[v], 0);
        for (const char* axis : {"X", "Y", "Z"}) vector->Add(Leaf(axis, frames, 5 + v, v == 1 ? 60.0f : 2.0f));
        KFCurveNode* layer = KFCurveNodeCreate(kVectors[v], static_cast<KDataType*>(nullptr), kTypes[v], 1);
        layer->Add(Leaf("Y", frames, 7, v == 1 ? 20.0f : 0.5f));
        if (v != 2) layer->Add(Leaf("Z", frames, 9, v == 1 ? 20.0f : 0.5f));
        vector->LayerSet(layer, true);
        transform->Add(vector);
    }
    KFCurveNode* own = Warp(0.8f, frames);
    holder->Add(KFCurveNodeCreate("Hold"));
    holder->Get(holder->GetCount() - 1)->TimeWarpSet(own);
    transform->Get(0)->TimeWarpSet(own);
    KFCurveNode* whole = Warp(0.9f, frames);
    holder->Add(KFCurveNodeCreate("Hold"));
    holder->Get(holder->GetCount() - 1)->TimeWarpSet(whole);
    transform->TimeWarpSet(whole);
    root->Add(transform);
    return root;
}

// The reader's bake of a take's layers and time warps into plain curves (size = frames).
void BM_BakeLayersAndWarps(benchmark::State& state) {
    const int frames = static_cast<int>(state.range(0));
    KZeqSdkManager manager;
    KZeqImporter importer(manager);
    KZeqReaderZeq reader(manager, importer);
    for (auto _ : state) {
        state.PauseTiming();
        NodePtr holder(KFCurveNodeCreate("Holder"));
        NodePtr take = LayeredTake(frames, holder.get());
        state.ResumeTiming();
        reader.MergeLayerAndTimeWarp(take.get(), nullptr);
        benchmark::DoNotOptimize(take->Get(0)->Get(0)->Get(0)->FCurveGet()->KeyGetCount());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(frames));
}
BENCHMARK(BM_BakeLayersAndWarps)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

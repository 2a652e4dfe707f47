// The options of a binary Zeq file with N top-level "Model" records (each
// with a small block) and N / 100 takes: parsed from the main section (which
// writes the "Summary" back), then read from that "Summary". The bake of a
// take's layers and time warps into plain curves, alone and in a whole read.

#include <benchmark/benchmark.h>

#include <string>

#include "bench/benchscratch.h"
#include "bench/zeqlayered_bench_support.h"
#include "bench/zeqreadback_bench_support.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvebake.h"
#include "fcurve/kfcurvenode.h"
#include "fileio/kzeq.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqfields.h"
#include "io/kzeqimporter.h"
#include "io/kzeqreaderzeq.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"

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

using namespace zeqlayeredbench;

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

// The models of the scene whose translation came baked: one key a frame at least (the file keys it
// every few frames).
int BakedModels(KZeqScene& scene, int frames) {
    int baked = 0;
    KZeqNode* root = scene.GetRootNode();
    for (int i = 0; i < root->GetChildCount(); ++i) {
        KZeqTakeNode* take = root->GetChild(i)->GetCurrentTakeNode();
        if (take && take->GetTranslationX()->KeyGetCount() >= frames) ++baked;
    }
    return baked;
}

// A whole read with the bake of a file of kLayeredModels nulls, each with a layered and warped take
// of size frames.
void BM_ReadLayeredTakes(benchmark::State& state) {
    const int frames = static_cast<int>(state.range(0));
    const std::string path = Scratch("layered", frames);
    const bool written = WriteLayeredFile(path, frames);
    zeqbench::ReadBack(
        state, written ? path : "", kLayeredModels, [frames](KZeqScene& scene) { return BakedModels(scene, frames); },
        true);
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(kLayeredModels) * frames);
    if (written) zeqbench::RemoveFile(path);
}
BENCHMARK(BM_ReadLayeredTakes)->Arg(1000)->Arg(30000)->Unit(benchmark::kMillisecond);

// A whole read with the bake of a file of kLayeredModels nulls keyed over their first 2 s, in a take
// of size hours: past the keys the take holds, and the read costs what the keys ask.
void BM_ReadLongSpanTake(benchmark::State& state) {
    const long long hours = state.range(0);
    const std::string path = Scratch("longspan", static_cast<int>(hours));
    const bool written = WriteLayeredFile(path, 60, kLayeredModels, hours * 3600 * 30);
    zeqbench::ReadBack(
        state, written ? path : "", kLayeredModels, [](KZeqScene& scene) { return BakedModels(scene, 60); }, true);
    if (written) zeqbench::RemoveFile(path);
}
BENCHMARK(BM_ReadLongSpanTake)->Arg(0)->Arg(28)->Arg(50000)->Unit(benchmark::kMillisecond);

// The bake of a translation repeating every second, beside a layer, over a span of size seconds:
// each cycle the span holds costs what one does, whatever the count (endless here).
// A repeating X under a layer; the span runs a period before the keys to
// `seconds` after. A count of 0 is endless: within the same span it must cost
// what one cycle does.
void BM_BakeCycles(benchmark::State& state) {
    const long long seconds = state.range(0);
    const unsigned count = state.range(1) == 0 ? 0xFFFFFFFFu : static_cast<unsigned>(state.range(1));
    for (auto _ : state) {
        state.PauseTiming();
        NodePtr vector(KFCurveNodeCreate("T", static_cast<KDataType*>(nullptr), KFCL_ADD, 0));
        for (const char* axis : {"X", "Y", "Z"}) vector->Add(Leaf(axis, 30, 5, 2.0f));
        KFCurve& x = *vector->Get(0)->FCurveGet();
        x.SetPreExtrapolation(KFCURVE_EXTRAPOLATION_REPETITION);
        x.SetPreExtrapolationCount(count);
        x.SetPostExtrapolation(KFCURVE_EXTRAPOLATION_REPETITION);
        x.SetPostExtrapolationCount(count);
        KFCurveNode* layer = KFCurveNodeCreate("T", static_cast<KDataType*>(nullptr), KFCL_ADD, 1);
        layer->Add(Leaf("Y", 30, 7, 0.5f));
        vector->LayerSet(layer, true);
        KFCurveBakeSpan span;
        span.mStart = KTime(-30 * kFrame);
        span.mStop = KTime(seconds * 30 * kFrame);
        state.ResumeTiming();
        KFCurveNodeBake(vector.get(), nullptr, 0, KTime(kFrame), &span);
        benchmark::DoNotOptimize(x.KeyGetCount());
    }
    state.SetItemsProcessed(state.iterations() * seconds);
}
BENCHMARK(BM_BakeCycles)
    ->Args({2, 1})
    ->Args({2, 0})
    ->Args({1000, 1})
    ->Args({100, 0})
    ->Args({1000, 0})
    ->Args({10000, 0})
    ->Unit(benchmark::kMillisecond);

}  // namespace

// AMC motion over the 31-bone capture skeleton, 10^4 and 10^5 frames: read
// (options scan and frames), written, and a std::from_chars pass over the
// same numbers as the floor any reader of the text has to pay; and skeletons
// of thousands of bones read.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdio>
#include <map>
#include <string>

#include "bench/benchscratch.h"
#include "fcurve/kfcurvesettings.h"
#include "formats/kzeqformats.h"
#include "formats/motion/asf/tests/kzeqacclaimsamples.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

struct Files {
    std::string mAsf;
    std::string mAmc;
    std::string mText;
};

const Files& SampleFiles(int frames) {
    static std::map<int, Files> files;
    Files& f = files[frames];
    if (f.mAsf.empty()) {
        const std::string base = zeqbench::ScratchPath(std::to_string(frames));
        f.mAsf = base + ".asf";
        f.mAmc = base + ".amc";
        f.mText = zeqacclaimsamples::SampleAmc(frames);
        const std::string skeleton = zeqacclaimsamples::SampleAsf();
        zeqbench::WriteFile(f.mAsf, skeleton);
        zeqbench::WriteFile(f.mAmc, f.mText);
    }
    return f;
}

// Skeleton and motion into a fresh scene; the options keep the skeleton.
KStreamOptionsMotion* Import(KZeqSdkManager& manager, KZeqScene& scene, const Files& files) {
    KZeqImporter asf(manager);
    asf.SetFileFormat(KZeqImporter::eACCLAIM_ASF);
    asf.Initialize(files.mAsf.c_str());
    auto* options = static_cast<KStreamOptionsMotion*>(asf.GetImportOptions());
    asf.Import(scene, options);
    KZeqImporter amc(manager);
    amc.SetFileFormat(KZeqImporter::eACCLAIM_AMC);
    amc.Initialize(files.mAmc.c_str());
    auto* read = static_cast<KStreamOptionsMotion*>(amc.GetImportOptions());
    options->SetTimeMode(KTime::eModeDefault, 120.0);
    options->SetFrameCount(read->GetFrameCount());
    read->Destroy();
    if (!amc.Import(scene, options)) std::abort();
    return options;
}

// range(1) 0: the curve filters the settings ask for after import (unroll,
// constant keys); 1: none, the reader alone.
void BM_AmcRead(benchmark::State& state) {
    ZeqRegisterFormats();
    const int filter = KFCURVE_GetRotationFilterToApply();
    const bool reducer = KFCURVE_GetUseConstantKeyReducer();
    if (state.range(1)) {
        KFCURVE_SetRotationFilterToApply(0);
        KFCURVE_SetUseConstantKeyReducer(false);
    }
    const Files& files = SampleFiles(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        KZeqSdkManager manager;
        KZeqScene* scene = manager.CreateKZeqScene();
        Import(manager, *scene, files)->Destroy();
        state.PauseTiming();
        manager.DestroyKZeqScene(scene, true);
        state.ResumeTiming();
    }
    KFCURVE_SetRotationFilterToApply(filter);
    KFCURVE_SetUseConstantKeyReducer(reducer);
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(files.mText.size()));
    state.counters["frames"] = static_cast<double>(state.range(0));
}

void BM_AmcFromChars(benchmark::State& state) {
    const Files& files = SampleFiles(static_cast<int>(state.range(0)));
    const std::string& text = files.mText;
    for (auto _ : state) {
        double sum = 0.0;
        const char* p = text.data();
        const char* end = p + text.size();
        while (p < end) {
            while (p < end && (*p == ' ' || *p == '\n')) ++p;
            const char* word = p;
            while (p < end && *p != ' ' && *p != '\n') ++p;
            double value = 0.0;
            if (std::from_chars(word, p, value).ec == std::errc()) sum += value;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(text.size()));
}

void BM_AmcWrite(benchmark::State& state) {
    ZeqRegisterFormats();
    const Files& files = SampleFiles(static_cast<int>(state.range(0)));
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    KStreamOptionsMotion* options = Import(manager, *scene, files);
    scene->GetRootNode()->GetChild(0)->GetChild(0)->SetSelected(true);
    const std::string out = files.mAmc + ".out";
    for (auto _ : state) {
        KZeqExporter exporter(manager);
        exporter.SetFileFormat(KZeqExporter::eACCLAIM_AMC);
        exporter.Initialize(out.c_str());
        if (!exporter.Export(*scene, options)) std::abort();
    }
    options->Destroy();
    manager.DestroyKZeqScene(scene, true);
    zeqbench::RemoveFile(out);
    state.counters["frames"] = static_cast<double>(state.range(0));
}

// The skeleton alone, of range(0) bones (copies of the capture layout): its bones found by name
// in the hierarchy section, then made nodes of the scene.
void BM_AsfRead(benchmark::State& state) {
    ZeqRegisterFormats();
    const int bones = static_cast<int>(state.range(0));
    const std::string path = zeqbench::ScratchPath("skeleton" + std::to_string(bones)) + ".asf";
    zeqbench::WriteFile(path, zeqacclaimsamples::SampleAsf(bones));
    for (auto _ : state) {
        KZeqSdkManager manager;
        KZeqScene* scene = manager.CreateKZeqScene();
        KZeqImporter asf(manager);
        asf.SetFileFormat(KZeqImporter::eACCLAIM_ASF);
        asf.Initialize(path.c_str());
        auto* options = static_cast<KStreamOptionsMotion*>(asf.GetImportOptions());
        if (!asf.Import(*scene, options)) std::abort();
        state.PauseTiming();
        options->Destroy();
        manager.DestroyKZeqScene(scene, true);
        state.ResumeTiming();
    }
    zeqbench::RemoveFile(path);
    state.counters["bones"] = static_cast<double>(bones);
}

BENCHMARK(BM_AsfRead)->Arg(2500)->Arg(10000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AmcRead)->Args({10000, 0})->Args({100000, 0})->Args({10000, 1})->Args({100000, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AmcFromChars)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AmcWrite)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

// HTR files of 41 segments over 10^4 and 10^5 frames: read (with and without
// the rest-offset removal, which "@Application.txt" switches), written, and a
// std::from_chars pass over the same numbers as the floor of any reader.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdio>
#include <map>
#include <string>

#include "base/klib.h"
#include "bench/benchscratch.h"
#include "fcurve/kfcurvesettings.h"
#include "fileio/kconfigfile.h"
#include "formats/kzeqformats.h"
#include "formats/motion/htr/tests/kzeqhtrsamples.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

constexpr int kSegments = 41;

struct Sample {
    std::string mPath;
    std::string mText;
};

const Sample& SampleFile(int frames) {
    static std::map<int, Sample> samples;
    Sample& s = samples[frames];
    if (s.mPath.empty()) {
        s.mPath = zeqbench::ScratchPath(std::to_string(frames) + ".htr");
        s.mText = zeqhtrsamples::SampleHtr(kSegments, frames);
        zeqbench::WriteFile(s.mPath, s.mText);
    }
    return s;
}

// The configuration directory of this process, holding "MinimizeRotationOffset" as asked.
void Configure(bool minimize) {
    static const std::string dir = zeqbench::MakeFolder("config");
    KLib_SetConfigDirectory(dir.c_str());
    KConfigFile("@Application.txt", false).Set("MotionImportHTR", "MinimizeRotationOffset", minimize ? "Yes" : "No");
}

KStreamOptionsMotion* Import(KZeqSdkManager& manager, KZeqScene& scene, const Sample& sample) {
    KZeqImporter importer(manager);
    importer.SetFileFormat(KZeqImporter::eMOTION_ANALYSIS_HTR);
    importer.Initialize(sample.mPath.c_str());
    auto* options = static_cast<KStreamOptionsMotion*>(importer.GetImportOptions());
    if (!options || !importer.Import(scene, options)) std::abort();
    return options;
}

// range(1): 1 with the rest-offset removal. Curve filters stay off: the reader alone.
void BM_HtrRead(benchmark::State& state) {
    ZeqRegisterFormats();
    Configure(state.range(1) != 0);
    const int filter = KFCURVE_GetRotationFilterToApply();
    const bool reducer = KFCURVE_GetUseConstantKeyReducer();
    KFCURVE_SetRotationFilterToApply(0);
    KFCURVE_SetUseConstantKeyReducer(false);
    const Sample& sample = SampleFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        KZeqSdkManager manager;
        KZeqScene* scene = manager.CreateKZeqScene();
        Import(manager, *scene, sample)->Destroy();
        state.PauseTiming();
        manager.DestroyKZeqScene(scene, true);
        state.ResumeTiming();
    }
    KFCURVE_SetRotationFilterToApply(filter);
    KFCURVE_SetUseConstantKeyReducer(reducer);
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(sample.mText.size()));
    state.counters["keys"] = 9.0 * kSegments * static_cast<double>(state.range(0));
}

void BM_HtrFromChars(benchmark::State& state) {
    const std::string& text = SampleFile(static_cast<int>(state.range(0))).mText;
    for (auto _ : state) {
        double sum = 0.0;
        const char* p = text.data();
        const char* end = p + text.size();
        while (p < end) {
            while (p < end && (*p == ' ' || *p == '\t' || *p == '\n')) ++p;
            const char* word = p;
            while (p < end && *p != ' ' && *p != '\t' && *p != '\n') ++p;
            double value = 0.0;
            if (std::from_chars(word, p, value).ec == std::errc()) sum += value;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(text.size()));
}

void BM_HtrWrite(benchmark::State& state) {
    ZeqRegisterFormats();
    Configure(true);
    const Sample& sample = SampleFile(static_cast<int>(state.range(0)));
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    KStreamOptionsMotion* options = Import(manager, *scene, sample);
    scene->GetRootNode()->GetChild(0)->GetChild(0)->SetSelected(true);
    const std::string out = sample.mPath + ".out";
    for (auto _ : state) {
        KZeqExporter exporter(manager);
        exporter.SetFileFormat(KZeqExporter::eMOTION_ANALYSIS_HTR);
        exporter.Initialize(out.c_str());
        if (!exporter.Export(*scene, options)) std::abort();
    }
    options->Destroy();
    manager.DestroyKZeqScene(scene, true);
    zeqbench::RemoveFile(out);
}

BENCHMARK(BM_HtrRead)->Args({10000, 0})->Args({100000, 0})->Args({10000, 1})->Args({100000, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HtrFromChars)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HtrWrite)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/benchscratch.h"
#include "content/kzeqmarker.h"
#include "fcurve/kfcurve.h"
#include "formats/kzeqformats.h"
#include "formats/motion/marker/kzeqfilemotionanalysistrc.h"
#include "formats/motion/marker/kzeqfilevicon.h"
#include "formats/motion/marker/kzeqmarkersamples.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"

using namespace zeqsdk_400;

namespace {

constexpr int kMarkers = 100;
constexpr double kRate = 100.0;

std::string Directory() { return zeqbench::ScratchFolder::Path(); }

// The points of frame f: centimetres, every 50th sample occluded.
void FramePoints(int f, std::vector<KZeqVector4>& points) {
    std::mt19937 random(static_cast<unsigned>(f));
    std::uniform_real_distribution<double> position(-100.0, 100.0);
    points.resize(kMarkers);
    for (int m = 0; m < kMarkers; ++m)
        points[static_cast<std::size_t>(m)].Set(position(random), position(random), position(random), (f + m) % 50 == 0);
}

std::vector<KString*> Names() {
    std::vector<KString*> names;
    for (int m = 0; m < kMarkers; ++m) names.push_back(new KString((std::string("M") + std::to_string(m)).c_str()));
    return names;
}

// A file of frames written by the file class itself: TRC text or C3D (floats).
template <class File>
bool WriteFrames(const std::string& path, int frames, bool floats = true) {
    File* file = new File;
    if (file->Open(path.c_str(), "w")) return false;
    KArrayTemplate<KString*> names;
    for (KString* name : Names()) names.Add(name);
    bool ok = file->PrintHeader(kMarkers, KTime(), frames, kRate, floats ? -1.0 : 1.0) && file->PrintAnimationHeader(names);
    std::vector<KZeqVector4> points;
    for (int f = 0; f < frames && ok; ++f) {
        FramePoints(f % 997, points);
        ok = file->PrintAnimationFrame(points.data(), kMarkers, KTime(), f + 1);
    }
    ok = file->PrintFooter() && file->Close() && ok;
    file->Destroy(0);
    for (int i = 0; i < names.GetCount(); ++i) delete names[i];
    return ok;
}

const std::string& Fixture(const char* extension, int frames) {
    static std::map<std::string, std::string> files;
    const std::string key = std::string(extension) + std::to_string(frames);
    auto found = files.find(key);
    if (found != files.end()) return found->second;
    const std::string path = Directory() + "/take" + std::to_string(frames) + extension;
    const bool ok = std::string(extension) == ".trc" ? WriteFrames<KZeqFileMotionAnalysisTrc>(path, frames)
                                                     : WriteFrames<KZeqFileVicon>(path, frames);
    if (!ok) std::abort();
    return files[key] = path;
}

std::string Slurp(const std::string& path) { return zeqbench::ReadFile(path); }

// ---- Reading ----

// The baseline: the file read and every number of its rows parsed.
void BM_TrcFromCharsPass(benchmark::State& state) {
    const std::string& path = Fixture(".trc", static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const std::string text = Slurp(path);
        double sum = 0.0;
        const char* p = text.data();
        const char* end = p + text.size();
        for (int line = 0; line < 6 && p < end; ++p)
            if (*p == '\n') ++line;
        while (p < end) {
            const char* field = p;
            while (p < end && *p != '\t' && *p != '\n' && *p != ' ') ++p;
            double value = 0.0;
            if (p > field) std::from_chars(field, p, value), sum += value;
            ++p;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0) * kMarkers);
}

// The file class read frame by frame into the reader's sample store.
template <class File>
void ReadFrames(benchmark::State& state, const char* extension) {
    const std::string& path = Fixture(extension, static_cast<int>(state.range(0)));
    double bytesPerSample = 0.0;
    for (auto _ : state) {
        File* file = new File;
        file->Open(path.c_str(), "rb");
        int markers = 0, frames = 0;
        KTime start, time;
        double rate = 0.0, scale = 0.0;
        KArrayTemplate<KString*> names;
        file->ReadHeader(markers, start, frames, rate, scale);
        for (int m = 0; m < markers; ++m) names.Add(new KString);
        file->ReadAnimationHeader(names, false);
        KZeqMarkerSamples samples;
        KArrayTemplate<KZeqVector4> frame(kMarkers);
        int number = 0;
        for (int f = 0; f < frames; ++f) {
            frame.SetCount(0);
            if (!file->ReadAnimationFrame(frame, markers, time, number, KTime(), false)) std::abort();
            samples.AddFrame(frame, scale, f > 0);
        }
        bytesPerSample = static_cast<double>(samples.GetByteCount()) / (static_cast<double>(frames) * markers);
        for (int m = 0; m < names.GetCount(); ++m) delete names[m];
        file->Destroy(0);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0) * kMarkers);
    state.counters["bytes_per_sample"] = bytesPerSample;
}
void BM_TrcReadFrames(benchmark::State& state) { ReadFrames<KZeqFileMotionAnalysisTrc>(state, ".trc"); }
void BM_C3dReadFrames(benchmark::State& state) { ReadFrames<KZeqFileVicon>(state, ".c3d"); }

void BM_C3dFreadPass(benchmark::State& state) {
    const std::string& path = Fixture(".c3d", static_cast<int>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(Slurp(path).size());
    state.SetItemsProcessed(state.iterations() * state.range(0) * kMarkers);
}

// The whole import: markers with their curves in a scene.
void Import(benchmark::State& state, const char* extension, int row) {
    ZeqRegisterFormats();
    const std::string& path = Fixture(extension, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        KZeqSdkManager manager;
        KZeqScene* scene = manager.CreateKZeqScene();
        KZeqImporter importer(manager);
        importer.Initialize(path.c_str());
        importer.SetFileFormat(row);
        KStreamOptions* options = importer.GetImportOptions();
        if (!options || !importer.Import(*scene, options)) std::abort();
        importer.ReleaseImportOptions(options);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0) * kMarkers);
}
void BM_TrcImport(benchmark::State& state) { Import(state, ".trc", KZeqImporter::eMOTION_ANALYSIS_TRC); }
void BM_C3dImport(benchmark::State& state) { Import(state, ".c3d", KZeqImporter::eVICON_C3D); }

// ---- Writing ----

// The baseline: the same rows made with std::to_chars and written out.
void BM_TrcToCharsPass(benchmark::State& state) {
    const int frames = static_cast<int>(state.range(0));
    const std::string path = Directory() + "/plain.trc";
    std::vector<KZeqVector4> points;
    for (auto _ : state) {
        std::FILE* file = zeqbench::OpenForWriting(path);
        std::string row;
        char number[64];
        for (int f = 0; f < frames; ++f) {
            FramePoints(f % 997, points);
            row.clear();
            for (const KZeqVector4& p : points)
                for (int c = 0; c < 3; ++c) {
                    row += '\t';
                    row.append(number, std::to_chars(number, number + sizeof(number), p.GetAt(c) * 10.0,
                                                     std::chars_format::fixed, 5).ptr);
                }
            row += '\n';
            std::fwrite(row.data(), 1, row.size(), file);
        }
        std::fclose(file);
    }
    state.SetItemsProcessed(state.iterations() * frames * kMarkers);
}

void BM_C3dFwritePass(benchmark::State& state) {
    const int frames = static_cast<int>(state.range(0));
    const std::string path = Directory() + "/plain.c3d";
    std::vector<KZeqVector4> points;
    std::vector<float> record(static_cast<std::size_t>(kMarkers) * 4);
    for (auto _ : state) {
        std::FILE* file = zeqbench::OpenForWriting(path);
        for (int f = 0; f < frames; ++f) {
            FramePoints(f % 997, points);
            for (int m = 0; m < kMarkers; ++m)
                for (int c = 0; c < 4; ++c) record[static_cast<std::size_t>(m * 4 + c)] = static_cast<float>(points[static_cast<std::size_t>(m)].GetAt(c));
            std::fwrite(record.data(), sizeof(float), record.size(), file);
        }
        std::fclose(file);
    }
    state.SetItemsProcessed(state.iterations() * frames * kMarkers);
}

void BM_TrcWriteFrames(benchmark::State& state) {
    const std::string path = Directory() + "/frames.trc";
    for (auto _ : state)
        if (!WriteFrames<KZeqFileMotionAnalysisTrc>(path, static_cast<int>(state.range(0)))) std::abort();
    state.SetItemsProcessed(state.iterations() * state.range(0) * kMarkers);
}

void BM_C3dWriteFrames(benchmark::State& state) {
    const std::string path = Directory() + "/frames.c3d";
    for (auto _ : state)
        if (!WriteFrames<KZeqFileVicon>(path, static_cast<int>(state.range(0)), state.range(1) != 0)) std::abort();
    state.SetItemsProcessed(state.iterations() * state.range(0) * kMarkers);
}

// The whole export: 100 animated markers sampled frame by frame.
void Export(benchmark::State& state, const char* extension, int row) {
    ZeqRegisterFormats();
    const int frames = static_cast<int>(state.range(0));
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    KZeqNode* group = manager.CreateKZeqNode("group");
    scene->GetRootNode()->AddChild(group);
    KStreamOptionsMotion timing;
    timing.SetTimeMode(KTime::eModeDefault, kRate);
    std::vector<KFCurve*> curves;
    for (int m = 0; m < kMarkers; ++m) {
        KZeqNode* node = manager.CreateKZeqNode((std::string("M") + std::to_string(m)).c_str());
        KZeqMarker* marker = manager.CreateKZeqMarker();
        marker->SetType(KZeqMarker::eOPTICAL_MARKER);
        node->SetNodeAttribute(marker);
        node->SetSelected(true);
        group->AddChild(node);
        node->CreateTakeNode("take");
        node->SetCurrentTakeNode("take");
        KZeqTakeNode* take = node->GetCurrentTakeNode();
        for (KFCurve* curve : {take->GetTranslationX(), take->GetTranslationY(), take->GetTranslationZ(), take->GetOcclusion()})
            curves.push_back(curve);
    }
    std::vector<KZeqVector4> points;
    for (int f = 0; f < frames; ++f) {
        FramePoints(f % 997, points);
        for (int m = 0; m < kMarkers; ++m)
            for (int c = 0; c < 4; ++c)
                curves[static_cast<std::size_t>(m * 4 + c)]->KeyAppendFast(timing.GetFramePeriod() * f,
                                                                          static_cast<float>(points[static_cast<std::size_t>(m)].GetAt(c)));
    }
    const std::string path = Directory() + "/export" + extension;
    for (auto _ : state) {
        KZeqExporter exporter(manager);
        exporter.Initialize(path.c_str());
        exporter.SetFileFormat(row);
        KStreamOptionsMotion* options = static_cast<KStreamOptionsMotion*>(exporter.GetExportOptions());
        options->SetTimeMode(KTime::eModeDefault, kRate);
        options->SetFrameCount(frames);
        if (!exporter.Export(*scene, options)) std::abort();
        exporter.ReleaseExportOptions(options);
    }
    state.SetItemsProcessed(state.iterations() * frames * kMarkers);
}
void BM_TrcExport(benchmark::State& state) { Export(state, ".trc", KZeqExporter::eMOTION_ANALYSIS_TRC); }
void BM_C3dExport(benchmark::State& state) { Export(state, ".c3d", KZeqExporter::eVICON_C3D); }

}  // namespace

BENCHMARK(BM_TrcFromCharsPass)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrcReadFrames)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrcImport)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_C3dFreadPass)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_C3dReadFrames)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_C3dImport)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_TrcToCharsPass)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrcWriteFrames)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TrcExport)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_C3dFwritePass)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_C3dWriteFrames)->Args({10000, 1})->Args({100000, 1})->Args({10000, 0})->Args({100000, 0})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_C3dExport)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(2);

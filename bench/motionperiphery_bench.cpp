// Peripheral motion formats: BRD (in frame order and reversed), MOV and VPM read whole, with the
// heap each sample keeps; and a skeleton written to each, with and without joint orients.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <map>
#include <string>

#include <cmath>

#include "bench/benchscratch.h"
#include "bench/motionskeleton_bench_support.h"
#include "formats/kzeqformats.h"
#include "formats/motion/brd/kzeqreaderascension.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

std::string Directory() { return zeqbench::ScratchFolder::Path(); }

// A file made once per name by write(file).
const std::string& Fixture(const std::string& name, void (*write)(std::FILE*, long, bool), long size, bool flag) {
    static std::map<std::string, std::string> files;
    const std::string key = name + std::to_string(size) + (flag ? "r" : "");
    auto found = files.find(key);
    if (found != files.end()) return found->second;
    const std::string path = Directory() + "/" + key;
    zeqbench::WriteFileThrough(path, [&](std::FILE* file) { write(file, size, flag); });
    return files[key] = path;
}

constexpr int kSensors = 10;

// BRD lines of ten sensors, in frame order or reversed.
void WriteBrd(std::FILE* file, long lines, bool reversed) {
    const long frames = lines / kSensors;
    for (long i = 0; i < frames; ++i) {
        const long f = reversed ? frames - 1 - i : i;
        for (int s = 0; s < kSensors; ++s)
            std::fprintf(file, "%ld\t%d\tP\t%g\t%g\t%g\tQ\t0\t0\t0.7071068\t0.7071068\t%ld\t%ld\n", f, s, f * 0.5, s * 2.0,
                         -1.0, f / 100, (f % 100) * 10000);
    }
}

// MOV rows of 20 nodes with all three groups.
void WriteMov(std::FILE* file, long rows, bool) {
    for (long r = 0; r < rows; ++r) {
        std::fprintf(file, "%g", r / 60.0);
        for (int n = 0; n < 20; ++n) std::fprintf(file, "\t%g\t%g\t%g\t%d\t%g\t%d\t1\t1\t1", r * 0.1, n * 1.5, -2.25, n, r * 0.25, 0);
        std::fputc('\n', file);
    }
}

// 50 VPM segments of frames rows each.
void WriteVpm(std::FILE* file, long frames, bool) {
    for (int s = 0; s < 50; ++s) {
        std::fprintf(file, "Segment:\tS%d\nFrames:\t%ld\nFrame Time:\t0.0166667\n", s, frames);
        std::fprintf(file, "XTRAN\tYTRAN\tZTRAN\tXROT\tYROT\tZROT\tXSCALE\tYSCALE\tZSCALE\n");
        std::fprintf(file, "INCHES\tINCHES\tINCHES\tDEGREES\tDEGREES\tDEGREES\tPERCENT\tPERCENT\tPERCENT\n");
        for (long f = 0; f < frames; ++f) std::fprintf(file, "%g\t%d\t-3.5\t%g\t0\t45\t100\t100\t100\n", f * 0.1, s, f * 0.5);
    }
}

// A whole import; counters: samples a second and heap bytes kept a sample.
void Import(benchmark::State& state, const std::string& path, int row, double samples) {
    ZeqRegisterFormats();
    double kept = 0.0;
    for (auto _ : state) {
        const std::size_t before = mallinfo2().uordblks;
        KZeqSdkManager manager;
        KZeqScene* scene = manager.CreateKZeqScene();
        KZeqImporter importer(manager);
        importer.Initialize(path.c_str());
        importer.SetFileFormat(row);
        KStreamOptions* options = importer.GetImportOptions();
        if (!options || !importer.Import(*scene, options)) std::abort();
        importer.ReleaseImportOptions(options);
        kept = (static_cast<double>(mallinfo2().uordblks) - static_cast<double>(before)) / samples;
    }
    state.SetItemsProcessed(static_cast<long>(state.iterations() * samples));
    state.counters["heap_bytes_per_sample"] = kept;
}

// The file information alone: every line read, sorted by sensor and frame.
void BM_BrdLoad(benchmark::State& state) {
    const std::string& path = Fixture("brd", &WriteBrd, state.range(0), state.range(1) != 0);
    for (auto _ : state) {
        KZeqSdkManager manager;
        KZeqReaderAscension reader(manager);
        if (!reader.FileOpen(path.c_str()) || !reader.LoadFileInfo()) std::abort();
        benchmark::DoNotOptimize(reader.GetFrameCount());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_BrdImport(benchmark::State& state) {
    Import(state, Fixture("brd", &WriteBrd, state.range(0), state.range(1) != 0), KZeqImporter::eASCENSION_BRD,
           static_cast<double>(state.range(0)));
}

void BM_MovImport(benchmark::State& state) {
    Import(state, Fixture("mov", &WriteMov, state.range(0), false), KZeqImporter::eCORVANTIS_MOV,
           static_cast<double>(state.range(0)) * 20);
}

void BM_VpmImport(benchmark::State& state) {
    Import(state, Fixture("vpm", &WriteVpm, state.range(0), false), KZeqImporter::ePUPPETEER_VPM,
           static_cast<double>(state.range(0)) * 50);
}

constexpr int kJoints = 20;

// A chain of kJoints skeleton joints, each turning about all three axes over frames keyed at
// 60 frames a second, all selected; with orients, each joint carries a pre-rotation as a host's
// joint orient comes, so that the writers take it from its full transform.
void MakeSkeleton(KZeqSdkManager& manager, KZeqScene& scene, int frames, bool orients) {
    KZeqNode* parent = scene.GetRootNode();
    KTime period;
    period.SetSecondDouble(1.0 / 60.0);
    for (int j = 0; j < kJoints; ++j) {
        KZeqNode* node = motionskeletonbench::Joint(manager, j, j == 0);
        node->SetDefaultT(KZeqVector4(0.5 * (j % 3), 8.0, -0.25 * j, 0.0));
        if (orients) {
            node->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_ACTIVE);
            node->SetPreRotation(KZeqNode::eSOURCE_SET, KZeqVector4(5.0 * j, -10.0, 15.0, 1.0));
        }
        motionskeletonbench::KeyRotation(*node, frames, period,
                                         [j](int f, int c) { return 60.0 * std::sin(0.01 * f + j + c); });
        parent->AddChild(node);
        parent = node;
    }
    motionskeletonbench::UseTake(scene, frames, period);
}

// A whole export of the skeleton (first argument: frames; second: 1 with joint orients), from
// global position; items: joints written a second.
void Export(benchmark::State& state, int row, const char* extension) {
    ZeqRegisterFormats();
    const int frames = static_cast<int>(state.range(0));
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    MakeSkeleton(manager, *scene, frames, state.range(1) != 0);
    const std::string path = Directory() + "/written." + extension;
    for (auto _ : state) {
        KZeqExporter exporter(manager);
        exporter.Initialize(path.c_str());
        exporter.SetFileFormat(row);
        KStreamOptions* options = exporter.GetExportOptions();
        KStreamOptionsMotion* motion = static_cast<KStreamOptionsMotion*>(options);
        motion->SetTimeMode(KTime::eModeDefault, 60.0);
        motion->SetFrameCount(frames);
        motion->SetOption(KStreamOptionsMotion::eExportFromGlobalPosition, KStreamOptionsMotion::eOn);
        if (!exporter.Export(*scene, options)) state.SkipWithError("write failed");
        exporter.ReleaseExportOptions(options);
    }
    zeqbench::RemoveFile(path);
    state.SetItemsProcessed(state.iterations() * frames * kJoints);
}

void BM_MovWrite(benchmark::State& state) { Export(state, KZeqExporter::eCORVANTIS_MOV, "mov"); }
void BM_BrdWrite(benchmark::State& state) { Export(state, KZeqExporter::eASCENSION_BRD, "brd"); }
void BM_VpmWrite(benchmark::State& state) { Export(state, KZeqExporter::ePUPPETEER_VPM, "vpm"); }

}  // namespace

BENCHMARK(BM_MovWrite)->ArgsProduct({{1000, 10000}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BrdWrite)->ArgsProduct({{1000, 10000}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VpmWrite)->ArgsProduct({{1000, 10000}, {0, 1}})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BrdLoad)->Args({100000, 0})->Args({100000, 1})->Args({1000000, 0})->Args({1000000, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BrdImport)->Args({100000, 0})->Args({100000, 1})->Args({1000000, 0})->Args({1000000, 1})->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_MovImport)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_VpmImport)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

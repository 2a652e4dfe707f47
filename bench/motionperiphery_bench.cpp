#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <map>
#include <string>

#include "bench/benchscratch.h"
#include "formats/kzeqformats.h"
#include "formats/motion/brd/kzeqreaderascension.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kzeqimporter.h"
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

}  // namespace

BENCHMARK(BM_BrdLoad)->Args({100000, 0})->Args({100000, 1})->Args({1000000, 0})->Args({1000000, 1})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BrdImport)->Args({100000, 0})->Args({100000, 1})->Args({1000000, 0})->Args({1000000, 1})->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_MovImport)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_VpmImport)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1);

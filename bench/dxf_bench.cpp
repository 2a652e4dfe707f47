// DXF files of N 3DFACEs on one layer (a grid of quads sharing their
// corners, so that welding finds them) and of N references to one block of
// 100 faces: read by our importer (by layer, welding on) and parsed by the
// peer in the same run, the memory a read holds at its peak, and the scenes
// read written back.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "bench/benchchild.h"
#include "bench/benchscratch.h"
#include "content/kzeqmesh.h"
#include "formats/kzeqformats.h"
#include "io/kstreamoptionsbase.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

#ifdef ZEQ_HAVE_DXFLIB
#include <dl_creationadapter.h>
#include <dl_dxf.h>
#endif

using namespace zeqsdk_400;

namespace {

std::string Scratch(const std::string& name) { return zeqbench::ScratchPath(name); }

void Face(std::FILE* file, double x, double y, double z) {
    std::fprintf(file, "0\n3DFACE\n8\nGrid\n");
    const double corners[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int c = 0; c < 4; ++c)
        std::fprintf(file, "%d\n%.6f\n%d\n%.6f\n%d\n%.6f\n", 10 + c, x + corners[c][0], 20 + c, y + corners[c][1], 30 + c,
                     z + 0.01 * (x + corners[c][0]));
}

// kind 0: n faces in ENTITIES; kind 1: n references to a block of 100 faces.
const std::string& File(int kind, int n) {
    static std::map<std::pair<int, int>, std::string> files;
    std::string& path = files[{kind, n}];
    if (!path.empty()) return path;
    path = Scratch(std::to_string(kind) + "-" + std::to_string(n) + ".dxf");
    zeqbench::WriteFileThrough(path, [&](std::FILE* file) {
        std::fprintf(file, "0\nSECTION\n2\nBLOCKS\n");
        if (kind == 1) {
            std::fprintf(file, "0\nBLOCK\n8\n0\n2\nTile\n70\n0\n10\n0.0\n20\n0.0\n30\n0.0\n");
            for (int i = 0; i < 100; ++i) Face(file, i % 10, i / 10, 0);
            std::fprintf(file, "0\nENDBLK\n");
        }
        std::fprintf(file, "0\nENDSEC\n0\nSECTION\n2\nENTITIES\n");
        const int side = static_cast<int>(std::sqrt(static_cast<double>(n)));
        for (int i = 0; i < n; ++i) {
            if (kind == 0)
                Face(file, i % side, i / side, 0);
            else
                std::fprintf(file, "0\nINSERT\n8\n0\n2\nTile\n10\n%.6f\n20\n%.6f\n30\n0.0\n50\n%d\n", 10.0 * (i % side),
                             10.0 * (i / side), i % 90);
        }
        std::fprintf(file, "0\nENDSEC\n0\nEOF\n");
    });
    return path;
}

bool ReadDxf(KZeqSdkManager& manager, KZeqScene& scene, const std::string& path) {
    KZeqImporter importer(manager);
    importer.Initialize(path.c_str());
    importer.SetFileFormat(KZeqImporter::eAUTOCAD_DXF);
    KStreamOptions* options = importer.GetImportOptions();
    const bool read = options && importer.Import(scene, options);
    if (options) options->Destroy();
    return read;
}

void BM_DxfRead(benchmark::State& state) {
    ZeqRegisterFormats();
    const std::string& path = File(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        auto manager = std::make_unique<KZeqSdkManager>();
        KZeqScene* scene = manager->CreateKZeqScene();
        if (!ReadDxf(*manager, *scene, path)) state.SkipWithError("read failed");
        // Ending the scene is no part of reading it.
        state.PauseTiming();
        manager.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(1));
    state.SetBytesProcessed(state.iterations() * zeqbench::FileSize(path));
}
BENCHMARK(BM_DxfRead)
    ->ArgNames({"references", "n"})
    ->Args({0, 10000})
    ->Args({0, 100000})
    ->Args({1, 1000})
    ->Unit(benchmark::kMillisecond);

// The scenes those files read into, written back: one mesh of n faces, or a node per reference.
void BM_DxfWrite(benchmark::State& state) {
    ZeqRegisterFormats();
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    if (!ReadDxf(manager, *scene, File(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)))))
        return state.SkipWithError("read failed");
    const std::string path = Scratch("written.dxf");
    for (auto _ : state) {
        KZeqExporter exporter(manager);
        exporter.Initialize(path.c_str());
        exporter.SetFileFormat(KZeqExporter::eAUTOCAD_DXF);
        KStreamOptions* options = exporter.GetExportOptions();
        if (!options || !exporter.Export(*scene, options)) state.SkipWithError("write failed");
        if (options) options->Destroy();
    }
    state.SetItemsProcessed(state.iterations() * state.range(1));
    zeqbench::RemoveFile(path);
}
BENCHMARK(BM_DxfWrite)
    ->ArgNames({"references", "n"})
    ->Args({0, 100000})
    ->Args({1, 1000})
    ->Unit(benchmark::kMillisecond);

#ifdef ZEQ_HAVE_DXFLIB
// The peer only parses: entities handed to a callback that counts them.
struct Counter : DL_CreationAdapter {
    long mFaces = 0, mInserts = 0;
    void add3dFace(const DL_3dFaceData&) override { ++mFaces; }
    void addInsert(const DL_InsertData&) override { ++mInserts; }
};

void BM_DxfReadPeer(benchmark::State& state) {
    const std::string& path = File(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        Counter counter;
        DL_Dxf dxf;
        if (!dxf.in(path, &counter)) state.SkipWithError("peer read failed");
        benchmark::DoNotOptimize(counter.mFaces);
    }
    state.SetItemsProcessed(state.iterations() * state.range(1));
}
BENCHMARK(BM_DxfReadPeer)
    ->ArgNames({"references", "n"})
    ->Args({0, 10000})
    ->Args({0, 100000})
    ->Args({1, 1000})
    ->Unit(benchmark::kMillisecond);
#endif

long StatusKb(const char* key) {
    std::istringstream status(zeqbench::ReadFile("/proc/self/status"));
    for (std::string line; std::getline(status, line);)
        if (line.compare(0, std::strlen(key), key) == 0) return std::stol(line.substr(std::strlen(key) + 1));
    return 0;
}

// The memory one read takes, in a process of its own (this program run again
// with ZEQ_DXF_BENCH_MEMORY naming the file and the output): the resident
// memory the read added at its peak, the points of the scene it built, and
// the resident memory that scene holds once the read is done.
void MemoryChild(benchmark::State& state, std::string path, std::string output) {
    for (auto _ : state) {
        ZeqRegisterFormats();
        KZeqSdkManager manager;
        KZeqScene* scene = manager.CreateKZeqScene();
        const long before = StatusKb("VmRSS:");
        ReadDxf(manager, *scene, path);
        long points = 0;
        for (int i = 0; i < manager.GetKZeqNodeCount(); ++i)
            if (KZeqMesh* mesh = manager.GetKZeqNode(i)->GetMesh()) points += mesh->GetControlPointsCount();
        std::ostringstream figures;
        figures << (StatusKb("VmHWM:") - before) * 1024.0 << " " << points << " "
                << (StatusKb("VmRSS:") - before) * 1024.0 << "\n";
        zeqbench::WriteFile(output, figures.str());
    }
}
const bool kMemoryChild = [] {
    const char* path = std::getenv("ZEQ_DXF_BENCH_MEMORY");
    const char* output = std::getenv("ZEQ_DXF_BENCH_MEMORY_OUT");
    if (path && output)
        benchmark::RegisterBenchmark("DxfMemoryChild", &MemoryChild, std::string(path), std::string(output))->Iterations(1);
    return true;
}();

void BM_DxfReadMemory(benchmark::State& state) {
    if (std::getenv("ZEQ_DXF_BENCH_MEMORY")) return state.SkipWithError("in the child");
    const std::string& path = File(0, static_cast<int>(state.range(0)));
    const std::string output = Scratch("memory.txt");
    double figures[3] = {0, 0, 0};
    for (auto _ : state) {
        if (!zeqbench::RunThisProgramAgain({"--benchmark_filter=DxfMemoryChild"},
                                           {"ZEQ_DXF_BENCH_MEMORY=" + path, "ZEQ_DXF_BENCH_MEMORY_OUT=" + output})) {
            state.SkipWithError("child failed");
            break;
        }
        std::istringstream result(zeqbench::ReadFile(output));
        if (!(result >> figures[0] >> figures[1] >> figures[2])) state.SkipWithError("child failed");
    }
    zeqbench::RemoveFile(output);
    state.counters["peak_MB"] = figures[0] / 1e6;
    state.counters["points"] = figures[1];
    state.counters["bytes_per_point"] = figures[1] > 0 ? figures[0] / figures[1] : 0.0;
    state.counters["scene_MB"] = figures[2] / 1e6;
    state.counters["peak_over_scene"] = figures[2] > 0 ? figures[0] / figures[2] : 0.0;
}
BENCHMARK(BM_DxfReadMemory)->Arg(10000)->Arg(100000)->Arg(400000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

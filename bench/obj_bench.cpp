// OBJ files of N quads on a grid (v/vt/vn corners, four groups): read by our
// importer and by the peer reader in the same run, the memory a read holds at
// its peak against the arrays of the scene it builds, writing N faces, and
// deforming N points by four links.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "bench/benchchild.h"
#include "bench/benchscratch.h"
#include "content/kzeqlink.h"
#include "content/kzeqmesh.h"
#include "formats/geometry/deform/kzeqdeformation.h"
#include "formats/kzeqformats.h"
#include "io/kstreamoptionsbase.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

#ifdef ZEQ_HAVE_TINYOBJLOADER
#include <tiny_obj_loader.h>
#endif

using namespace zeqsdk_400;

namespace {

std::string Scratch(const std::string& name) { return zeqbench::ScratchPath(name); }

// The grid file of n quads, written once per size.
const std::string& GridFile(int faces) {
    static std::map<int, std::string> files;
    std::string& path = files[faces];
    if (!path.empty()) return path;
    path = Scratch("grid" + std::to_string(faces) + ".obj");
    const int side = static_cast<int>(std::sqrt(static_cast<double>(faces)));
    const int rows = faces / side;
    zeqbench::WriteFileThrough(path, [&](std::FILE* file) {
        for (int y = 0; y <= rows; ++y)
            for (int x = 0; x <= side; ++x) {
                std::fprintf(file, "v %.6f %.6f %.6f\nvt %.6f %.6f\n", x * 0.1, y * 0.1,
                             std::sin(x * 0.01) * std::cos(y * 0.01), double(x) / side, double(y) / rows);
                std::fprintf(file, "vn %.6f %.6f %.6f\n", 0.0, 0.0, 1.0);
            }
        for (int y = 0; y < rows; ++y) {
            if (y % (rows / 4 + 1) == 0) std::fprintf(file, "g part%d\n", y / (rows / 4 + 1));
            for (int x = 0; x < side; ++x) {
                const int a = y * (side + 1) + x + 1, b = a + 1, c = a + side + 2, d = a + side + 1;
                std::fprintf(file, "f %d/%d/%d %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, b, b, b, c, c, c, d, d, d);
            }
        }
    });
    return path;
}

bool ReadObj(KZeqSdkManager& manager, KZeqScene& scene, const std::string& path) {
    KZeqImporter importer(manager);
    importer.Initialize(path.c_str());
    importer.SetFileFormat(KZeqImporter::eVONEX_OBJ);
    KStreamOptions* options = importer.GetImportOptions();
    const bool read = options && importer.Import(scene, options);
    if (options) options->Destroy();
    return read;
}

void BM_ObjRead(benchmark::State& state) {
    ZeqRegisterFormats();
    const std::string& path = GridFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto manager = std::make_unique<KZeqSdkManager>();
        KZeqScene* scene = manager->CreateKZeqScene();
        if (!ReadObj(*manager, *scene, path)) state.SkipWithError("read failed");
        // Ending the scene is no part of reading it.
        state.PauseTiming();
        manager.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * zeqbench::FileSize(path));
}
BENCHMARK(BM_ObjRead)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

#ifdef ZEQ_HAVE_TINYOBJLOADER
void BM_ObjReadPeer(benchmark::State& state) {
    const std::string& path = GridFile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        tinyobj::attrib_t attrib;
        std::vector<tinyobj::shape_t> shapes;
        std::vector<tinyobj::material_t> materials;
        std::string warning, error;
        if (!tinyobj::LoadObj(&attrib, &shapes, &materials, &warning, &error, path.c_str(), nullptr, false))
            state.SkipWithError("peer read failed");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ObjReadPeer)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
#endif

// A value of /proc/self/status in kB.
long StatusKb(const char* key) {
    std::istringstream status(zeqbench::ReadFile("/proc/self/status"));
    for (std::string line; std::getline(status, line);)
        if (line.compare(0, std::strlen(key), key) == 0) return std::stol(line.substr(std::strlen(key) + 1));
    return 0;
}

// The memory one read takes, in a process of its own (this program run
// again with ZEQ_OBJ_BENCH_MEMORY naming the file and the output), so that no
// heap of an earlier benchmark hides its pages: the resident memory the read
// added at its peak, and the bytes of the arrays of the scene it built.
void MemoryChild(benchmark::State& state, std::string path, std::string output) {
    for (auto _ : state) {
        ZeqRegisterFormats();
        KZeqSdkManager manager;
        KZeqScene* scene = manager.CreateKZeqScene();
        const long before = StatusKb("VmRSS:");
        ReadObj(manager, *scene, path);
        double sceneBytes = 0.0;
        for (int i = 0; i < manager.GetKZeqNodeCount(); ++i)
            if (KZeqMesh* mesh = manager.GetKZeqNode(i)->GetMesh()) {
                int vertices = 0;
                for (int p = 0; p < mesh->GetPolygonCount(); ++p) vertices += mesh->GetPolygonSize(p);
                // Points and normals, UVs, polygon records with their material, polygon vertices with their UV indices.
                sceneBytes += mesh->GetControlPointsCount() * 64.0 + mesh->GetTextureUVCount() * 16.0 +
                              mesh->GetPolygonCount() * 16.0 + vertices * 8.0;
            }
        std::ostringstream figures;
        figures << (StatusKb("VmHWM:") - before) * 1024.0 << " " << sceneBytes << "\n";
        zeqbench::WriteFile(output, figures.str());
    }
}
const bool kMemoryChild = [] {
    const char* path = std::getenv("ZEQ_OBJ_BENCH_MEMORY");
    const char* output = std::getenv("ZEQ_OBJ_BENCH_MEMORY_OUT");
    if (path && output) benchmark::RegisterBenchmark("ObjMemoryChild", &MemoryChild, std::string(path), std::string(output))->Iterations(1);
    return true;
}();

void BM_ObjReadMemory(benchmark::State& state) {
    if (std::getenv("ZEQ_OBJ_BENCH_MEMORY")) return state.SkipWithError("in the child");
    const std::string& path = GridFile(static_cast<int>(state.range(0)));
    const std::string output = Scratch("memory.txt");
    double figures[2] = {0, 0};
    for (auto _ : state) {
        if (!zeqbench::RunThisProgramAgain({"--benchmark_filter=ObjMemoryChild"},
                                           {"ZEQ_OBJ_BENCH_MEMORY=" + path, "ZEQ_OBJ_BENCH_MEMORY_OUT=" + output})) {
            state.SkipWithError("child failed");
            break;
        }
        std::istringstream result(zeqbench::ReadFile(output));
        if (!(result >> figures[0] >> figures[1])) state.SkipWithError("child failed");
    }
    zeqbench::RemoveFile(output);
    state.counters["peak_MB"] = figures[0] / 1e6;
    state.counters["scene_MB"] = figures[1] / 1e6;
    state.counters["ratio"] = figures[1] > 0 ? figures[0] / figures[1] : 0.0;
}
BENCHMARK(BM_ObjReadMemory)->Arg(100000)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ObjWrite(benchmark::State& state) {
    ZeqRegisterFormats();
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    ReadObj(manager, *scene, GridFile(static_cast<int>(state.range(0))));
    const std::string path = Scratch("written.obj");
    for (auto _ : state) {
        KZeqExporter exporter(manager);
        exporter.Initialize(path.c_str());
        exporter.SetFileFormat(KZeqExporter::eVONEX_OBJ);
        KStreamOptions* options = exporter.GetExportOptions();
        if (!options || !exporter.Export(*scene, options)) state.SkipWithError("write failed");
        if (options) options->Destroy();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    zeqbench::RemoveFile(path);
}
BENCHMARK(BM_ObjWrite)->Arg(1000000)->Unit(benchmark::kMillisecond);

// N points bound to four bones at a quarter each (normalized), two of them turned.
void BM_DeformByLinks(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    KZeqNode* node = manager.CreateKZeqNode("Mesh");
    scene->GetRootNode()->AddChild(node);
    KZeqMesh* mesh = manager.CreateKZeqMesh();
    mesh->InitControlPoints(count);
    for (int i = 0; i < count; ++i) mesh->GetControlPoints()[i].Set(i % 1000, i / 1000, 0, 1);
    node->SetNodeAttribute(mesh);
    for (int l = 0; l < 4; ++l) {
        KZeqNode* bone = manager.CreateKZeqNode(("Bone" + std::to_string(l)).c_str());
        scene->GetRootNode()->AddChild(bone);
        if (l % 2) bone->SetDefaultR(KZeqVector4(0, 10.0 * l, 0, 0));
        KZeqLink* link = manager.CreateKZeqLink();
        link->SetLink(bone);
        link->SetLinkMode(KZeqLink::eNORMALIZE);
        for (int i = 0; i < count; ++i) link->AddControlPointIndex(i, 0.25);
        mesh->AddLink(link);
    }
    std::vector<KZeqVector4> points(static_cast<std::size_t>(count));
    const KZeqXMatrix global;
    for (auto _ : state) {
        std::copy(mesh->GetControlPoints(), mesh->GetControlPoints() + count, points.begin());
        KZeqDeformation::Deform(global, mesh, points.data(), count);
        benchmark::DoNotOptimize(points.data());
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_DeformByLinks)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

// Host scene export: whole exports of flat and deep node trees and of big meshes, each beside the
// SDK alone creating, writing and clearing the same scene, with the heap a node costs; the mesh
// writer with UV sets, shading groups and colours; the hard-edge split.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/klib.h"
#include "bench/benchscratch.h"
#include "content/kzeqlayer.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnull.h"
#include "io/kzeqexporter.h"
#include "plugin/export/zeqtuloexport.h"
#include "plugin/zeqtulouserparams.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "standin.h"
#include "tfndagnode.h"
#include "tfnmesh.h"
#include "tfnshading.h"

using namespace zeqsdk_400;

namespace {

// A folder of the program's scratch folder for the files and logs of one benchmark, gone with it.
class Scratch {
public:
    Scratch() : mDirectory(zeqbench::MakeFolder("export") + "/") {
        KLib_SetMasterDirectory(mDirectory.c_str());
        ZeqTuloUserParams::Instance()->Reset();
        ZeqTuloUserParams::Instance()->SetBoolParam(ZeqTuloUserParams::kExportShowUI, false);
    }
    ~Scratch() {
        KLib_SetMasterDirectory("");
        zeqbench::RemoveFolder(mDirectory);
    }
    bool Ok() const { return !mDirectory.empty(); }
    std::string File() const { return mDirectory + "out.zeq"; }

private:
    std::string mDirectory;
};

std::size_t HeapInUse() { return mallinfo2().uordblks; }

// Host scenes.
void FlatNulls(int count) {
    standin::reset();
    for (int i = 0; i < count; ++i) standin::createNode("transform", "n" + std::to_string(i));
}
void Chain(int depth) {
    standin::reset();
    TObject parent;
    for (int i = 0; i < depth; ++i) parent = standin::createNode("transform", "c" + std::to_string(i), parent);
}
// A grid of side x side quads, (side + 1)^2 vertices.
TObject Grid(int side) {
    standin::reset();
    return standin::createGrid("grid", side, side);
}

// The export of the host scene built before; items are the scene's nodes (or vertices).
void RunExport(benchmark::State& state, std::int64_t items) {
    Scratch scratch;
    if (!scratch.Ok()) return state.SkipWithError("no scratch directory");
    std::size_t held = 0;
    for (auto _ : state) {
        const std::size_t before = HeapInUse();
        auto exporter = std::make_unique<ZeqTuloExport>();
        if (!exporter->Export(scratch.File().c_str())) return state.SkipWithError("export failed");
        held = HeapInUse() - before;
        exporter.reset();
    }
    state.SetItemsProcessed(state.iterations() * items);
    state.counters["bytes_per_item"] = static_cast<double>(held) / static_cast<double>(items);
}

// The SDK alone: the same scene made through a manager, written and cleared.
void RunSdkAlone(benchmark::State& state, std::int64_t items, void (*build)(KZeqSdkManager&, KZeqScene&, int),
                 int size) {
    Scratch scratch;
    if (!scratch.Ok()) return state.SkipWithError("no scratch directory");
    std::size_t held = 0;
    for (auto _ : state) {
        const std::size_t before = HeapInUse();
        auto manager = std::unique_ptr<KZeqSdkManager>(KZeqSdkManager::CreateKZeqSdkManager());
        KZeqScene* scene = manager->CreateKZeqScene();
        build(*manager, *scene, size);
        KZeqExporter* exporter = manager->CreateKZeqExporter();
        if (!exporter->Initialize(scratch.File().c_str()) || !exporter->Export(*scene))
            return state.SkipWithError("write failed");
        held = HeapInUse() - before;
        manager.reset();
    }
    state.SetItemsProcessed(state.iterations() * items);
    state.counters["bytes_per_item"] = static_cast<double>(held) / static_cast<double>(items);
}

void SdkFlatNulls(KZeqSdkManager& manager, KZeqScene& scene, int count) {
    for (int i = 0; i < count; ++i) {
        KZeqNode* node = manager.CreateKZeqNode(("n" + std::to_string(i)).c_str());
        node->SetNodeAttribute(manager.CreateKZeqNull());
        scene.GetRootNode()->AddChild(node);
    }
}
void SdkChain(KZeqSdkManager& manager, KZeqScene& scene, int depth) {
    KZeqNode* parent = scene.GetRootNode();
    for (int i = 0; i < depth; ++i) {
        KZeqNode* node = manager.CreateKZeqNode(("c" + std::to_string(i)).c_str());
        node->SetNodeAttribute(manager.CreateKZeqNull());
        parent->AddChild(node);
        parent = node;
    }
}
KZeqMesh* GridMesh(KZeqSdkManager& manager, int side) {
    KZeqMesh* mesh = manager.CreateKZeqMesh();
    const int row = side + 1;
    mesh->InitControlPoints(row * row);
    mesh->InitNormals(0);
    KZeqVector4* points = mesh->GetControlPoints();
    KZeqVector4* normals = mesh->GetNormals();
    for (int j = 0; j <= side; ++j)
        for (int i = 0; i <= side; ++i) {
            points[j * row + i] = KZeqVector4(i, 0, j, 1);
            normals[j * row + i] = KZeqVector4(0, 1, 0, 1);
        }
    for (int j = 0; j < side; ++j)
        for (int i = 0; i < side; ++i) {
            const int a = j * row + i;
            mesh->BeginPolygon();
            for (int v : {a, a + row, a + row + 1, a + 1}) mesh->AddPolygon(v);
            mesh->EndPolygon();
        }
    return mesh;
}
void SdkGrid(KZeqSdkManager& manager, KZeqScene& scene, int side) {
    KZeqNode* node = manager.CreateKZeqNode("grid");
    node->SetNodeAttribute(GridMesh(manager, side));
    scene.GetRootNode()->AddChild(node);
}

void BM_ExportFlatNulls(benchmark::State& state) {
    FlatNulls(static_cast<int>(state.range(0)));
    RunExport(state, state.range(0));
}
BENCHMARK(BM_ExportFlatNulls)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

void BM_SdkFlatNulls(benchmark::State& state) {
    RunSdkAlone(state, state.range(0), SdkFlatNulls, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_SdkFlatNulls)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

class WalkProbe : public ZeqTuloExport {
public:
    void Walk() { BuildGeometry(TItDag::kDepthFirst, TFn::kInvalid); }
    void Walks() {
        Walk();
        BuildHierarchy(TItDag::kDepthFirst, TFn::kInvalid);
    }
};

// The plug-in's own share of a flat export: both walks with their builders (node creation
// included), beside the SDK making the same nodes and attributes under the root.
void BM_WalksFlatNulls(benchmark::State& state) {
    FlatNulls(static_cast<int>(state.range(0)));
    Scratch scratch;
    for (auto _ : state) {
        auto exporter = std::make_unique<WalkProbe>();
        exporter->Walks();
        state.PauseTiming();
        exporter.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_WalksFlatNulls)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

void BM_SdkNodesFlat(benchmark::State& state) {
    for (auto _ : state) {
        auto manager = std::make_unique<ZeqTuloSdkManager>(ZeqTuloSdkManager::eExport);
        KZeqScene* scene = manager->CreateKZeqScene();
        SdkFlatNulls(*manager, *scene, static_cast<int>(state.range(0)));
        state.PauseTiming();
        manager.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SdkNodesFlat)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

void BM_ExportChain(benchmark::State& state) {
    Chain(static_cast<int>(state.range(0)));
    RunExport(state, state.range(0));
}
BENCHMARK(BM_ExportChain)->Arg(2000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(2);

void BM_SdkChain(benchmark::State& state) {
    RunSdkAlone(state, state.range(0), SdkChain, static_cast<int>(state.range(0)));
}
BENCHMARK(BM_SdkChain)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

// A 10^6-vertex mesh (999 x 999 quads): the whole export; items are vertices.
void BM_ExportMesh(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    Grid(side);
    RunExport(state, static_cast<std::int64_t>(side + 1) * (side + 1));
}
BENCHMARK(BM_ExportMesh)->Arg(99)->Arg(999)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

void BM_SdkMesh(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    RunSdkAlone(state, static_cast<std::int64_t>(side + 1) * (side + 1), SdkGrid, side);
}
BENCHMARK(BM_SdkMesh)->Arg(99)->Arg(999)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

// The same mesh with two UV sets, two shading groups on alternate rows and colours on every
// face-vertex: the first walk alone (the mesh writer with its layers), against the same walk on the
// bare mesh; the heap the scene holds after it and the process's peak are reported.
void DressedGrid(int side, bool dressed) {
    TObject shape = Grid(side);
    if (!dressed) return;
    TFnMesh mesh(shape);
    const int row = side + 1;
    TFloatArray u, v;
    for (int j = 0; j <= side; ++j)
        for (int i = 0; i <= side; ++i) {
            u.append(static_cast<float>(i) / side);
            v.append(static_cast<float>(j) / side);
        }
    TIntArray counts(static_cast<unsigned>(side * side), 4), ids;
    ids.values().reserve(4 * static_cast<std::size_t>(side) * side);
    for (int j = 0; j < side; ++j)
        for (int i = 0; i < side; ++i) {
            const int a = j * row + i;
            ids.values().insert(ids.values().end(), {a, a + row, a + row + 1, a + 1});
        }
    mesh.setUVs(u, v);
    mesh.assignUVs(counts, ids);
    const TString second("second");
    mesh.createUVSet(second);
    mesh.setUVs(u, v, &second);
    mesh.assignUVs(counts, ids, &second);
    std::vector<float> rgba(16 * static_cast<std::size_t>(side) * side, 0.5f);
    standin::setFaceVertexColors(shape, rgba);
    std::vector<int> even, odd;
    for (int f = 0; f < side * side; ++f) ((f / side) % 2 ? odd : even).push_back(f);
    TDagPath path = TDagPath::getAPathTo(shape);
    TObject red = standin::createNode("lambert", "red");
    TObject blue = standin::createNode("phong", "blue");
    standin::createFileTexture("tile", "/t/tile.tif", TFnDependencyNode(blue).findPlug("color"));
    standin::assignFaces(standin::createShadingGroup(red), path, even);
    standin::assignFaces(standin::createShadingGroup(blue), path, odd);
}


void BM_MeshWriterLayers(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    const bool dressed = state.range(1) != 0;
    DressedGrid(side, dressed);
    Scratch scratch;
    std::size_t peak = 0;
    for (auto _ : state) {
        malloc_trim(0);
        const std::size_t before = HeapInUse();
        auto exporter = std::make_unique<WalkProbe>();
        exporter->Walk();
        peak = HeapInUse() - before;
        exporter.reset();
    }
    state.SetItemsProcessed(state.iterations() * (side + 1) * (side + 1));
    state.counters["heap_MB"] = static_cast<double>(peak) / (1024.0 * 1024.0);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["process_peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;  // host scene included
}
BENCHMARK(BM_MeshWriterLayers)
    ->ArgsProduct({{99, 999}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(3);

// The hard-edge split of a mesh of n separate-normal quads sharing their corners (n faces).
void BM_SplitHardEdges(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    Scratch scratch;
    for (auto _ : state) {
        state.PauseTiming();
        ZeqTuloSdkManager manager(ZeqTuloSdkManager::eExport);
        ZeqTuloNode* node = manager.CreateZeqTuloNode("grid", nullptr);
        KZeqMesh* mesh = GridMesh(manager, side);
        node->SetNodeAttribute(mesh);
        mesh->InitNormals(4 * side * side);
        ZeqTuloExport exporter;
        state.ResumeTiming();
        exporter.SplitMeshOnNormalPerPolyVertex(node);
        state.PauseTiming();
        if (mesh->GetControlPointsCount() != 4 * side * side) state.SkipWithError("not split");
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * side * side);
}
BENCHMARK(BM_SplitHardEdges)->Arg(100)->Arg(317)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

}  // namespace

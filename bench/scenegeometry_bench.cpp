#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

#include "content/kzeqmesh.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A grid of quads with count polygon vertices: one control point per
// polygon vertex / 4 (plus a row), materials by polygon, UV indices by polygon
// vertex, as a reader of an exchange format fills it.
void Build(KZeqMesh& mesh, int count) {
    const int quads = count / 4;
    mesh.InitControlPoints(quads + 2);
    mesh.InitMaterialIndices(KZeqMesh::eBY_POLYGON);
    mesh.InitTextureUVIndices(KZeqMesh::eBY_POLYGON_VERTEX);
    mesh.InitTextureUV(quads + 2);
    for (int q = 0; q < quads; ++q) {
        mesh.BeginPolygon(q % 7, -1, 0);
        mesh.AddPolygon(q, q);
        mesh.AddPolygon(q + 1, q + 1);
        mesh.AddPolygon(q + 2, q + 2);
        mesh.AddPolygon(q + 1, q);
        mesh.EndPolygon();
    }
}

// Building through BeginPolygon/AddPolygon (timed by hand: the mesh's end is not part of it).
void BM_MeshBuild(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    KZeqSdkManager manager;
    for (auto _ : state) {
        KZeqMesh* mesh = manager.CreateKZeqMesh();
        const auto start = std::chrono::steady_clock::now();
        Build(*mesh, count);
        state.SetIterationTime(Since(start));
        if (mesh->GetPolygonCount() != count / 4) state.SkipWithError("wrong polygon count");
        manager.DestroyKZeqNodeAttribute(mesh);
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_MeshBuild)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseManualTime();

// A mesh copy: layers, control points, polygons and polygon vertices.
void BM_MeshCopy(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    KZeqSdkManager manager;
    KZeqMesh* source = manager.CreateKZeqMesh();
    Build(*source, count);
    for (auto _ : state) {
        KZeqMesh* copy = manager.CreateKZeqMesh();
        const auto start = std::chrono::steady_clock::now();
        *copy = *source;
        state.SetIterationTime(Since(start));
        manager.DestroyKZeqNodeAttribute(copy);
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_MeshCopy)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMillisecond)->UseManualTime();

// ApplyPivot over the mesh's control points and one normal per polygon vertex.
void BM_MeshApplyPivot(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    KZeqSdkManager manager;
    KZeqMesh* mesh = manager.CreateKZeqMesh();
    Build(*mesh, count);
    mesh->InitNormals(count);
    mesh->SetPivot(KZeqXMatrix(KZeqVector4(1, 2, 3, 1), KZeqVector4(10, 20, 30, 1), KZeqVector4(2, 2, 2, 1)));
    for (auto _ : state) {
        mesh->ApplyPivot();
        benchmark::DoNotOptimize(mesh->GetControlPoints());
    }
    state.SetItemsProcessed(state.iterations() * (count + mesh->GetControlPointsCount()));
}
BENCHMARK(BM_MeshApplyPivot)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

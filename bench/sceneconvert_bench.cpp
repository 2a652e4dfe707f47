#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "bench/benchscratch.h"
#include "content/kzeqgeometryconverter.h"
#include "content/kzeqimageconverter.h"
#include "content/kzeqlink.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnurb.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A mesh of count polygon vertices in quads over a grid, with per-polygon
// materials, UVs by polygon vertex and normals by polygon vertex.
void QuadMesh(KZeqMesh& mesh, int vertices) {
    const int quads = vertices / 4;
    mesh.InitControlPoints(quads + 3);
    mesh.InitMaterialIndices(KZeqMesh::eBY_POLYGON);
    mesh.InitTextureUVIndices(KZeqMesh::eBY_POLYGON_VERTEX);
    mesh.AddTextureUV(KZeqVector2(0, 0));
    for (int q = 0; q < quads; ++q) {
        mesh.BeginPolygon(q % 7);
        for (int v = 0; v < 4; ++v) mesh.AddPolygon(q + v, 0);
    }
    mesh.InitNormals(4 * quads);
}

// Triangulation of a mesh of range(0) polygon vertices; the result's end is not timed.
void BM_TriangulateMesh(benchmark::State& state) {
    KZeqSdkManager manager;
    KZeqGeometryConverter* converter = manager.CreateKZeqGeometryConverter();
    KZeqMesh* mesh = manager.CreateKZeqMesh();
    QuadMesh(*mesh, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        KZeqMesh* result = converter->TriangulateMesh(mesh);
        state.SetIterationTime(Since(start));
        manager.DestroyKZeqNodeAttribute(result);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_TriangulateMesh)->Arg(10000)->Arg(1000000)->UseManualTime()->Unit(benchmark::kMillisecond);

// A cubic NURBS of side x side points tessellated at step 4 (about 4 side x
// 4 side points), with range(1) links over all its points.
void BM_TriangulateNurb(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    KZeqSdkManager manager;
    KZeqGeometryConverter* converter = manager.CreateKZeqGeometryConverter();
    KZeqNurb* nurb = manager.CreateKZeqNurb();
    nurb->SetOrder(4, 4);
    nurb->InitControlPoints(side, KZeqNurb::eOPEN, side, KZeqNurb::eOPEN);
    nurb->SetStep(4, 4);
    for (double* knots : {nurb->GetUKnotVector(), nurb->GetVKnotVector()})
        for (int k = 0; k < side + 4; ++k) knots[k] = k < 4 ? 0 : k >= side ? side - 3 : k - 3;
    for (int i = 0; i < side * side; ++i)
        nurb->GetControlPoints()[i] = KZeqVector4(i % side, i / side, 0.01 * (i % 13), 1);
    for (int l = 0; l < state.range(1); ++l) {
        KZeqLink* link = manager.CreateKZeqLink();
        link->SetLinkMode(KZeqLink::eNORMALIZE);
        for (int i = l; i < side * side; i += static_cast<int>(state.range(1))) link->AddControlPointIndex(i, 1.0);
        nurb->AddLink(link);
    }
    int points = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        KZeqMesh* result = converter->TriangulateNurb(nurb);
        state.SetIterationTime(Since(start));
        points = result->GetControlPointsCount();
        manager.DestroyKZeqNodeAttribute(result);
    }
    state.counters["points"] = points;
}
BENCHMARK(BM_TriangulateNurb)
    ->Args({50, 0})
    ->Args({200, 0})
    ->Args({200, 4})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// A side x side RGB image written to a TIFF (Deflate when range(1)) and read back.
void BM_TifRoundTrip(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    const std::string path = zeqbench::ScratchPath("image.tif");
    ImageConverterBuffer out;
    out.Init(side, side, true, 0, 3);
    for (long long i = 0; i < out.GetDataSize(); ++i) out.mData[i] = static_cast<unsigned char>((i * 31) ^ (i >> 9));
    for (auto _ : state) {
        ImageConverterBuffer in;
        if (!WriteToTif(path.c_str(), state.range(1) != 0, out) || !ReadFromTif(path.c_str(), in, false))
            state.SkipWithError("round trip failed");
    }
    zeqbench::RemoveFile(path);
    state.SetBytesProcessed(state.iterations() * out.GetDataSize());
}
BENCHMARK(BM_TifRoundTrip)->Args({1024, 0})->Args({4096, 0})->Args({4096, 1})->Unit(benchmark::kMillisecond);

// range(0) clusters whose link nodes share one short name, made from the
// links of one mesh (each new name is checked against a set of the taken
// ones); their removal is not timed.
void BM_ClusterNames(benchmark::State& state) {
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    KZeqNode* node = manager.CreateKZeqNode("mesh");
    KZeqMesh* mesh = manager.CreateKZeqMesh();
    node->SetNodeAttribute(mesh);
    scene->GetRootNode()->AddChild(node);
    for (int i = 0; i < state.range(0); ++i) {
        KZeqLink* link = manager.CreateKZeqLink();
        link->SetLink(manager.CreateKZeqNode("bone"));
        link->AddControlPointIndex(i, 1.0);
        mesh->AddLink(link);
    }
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        scene->BuildKZeqDeformerFromKZeqLink();
        state.SetIterationTime(Since(start));
        scene->RemoveKZeqDeformers();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ClusterNames)->Arg(1000)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

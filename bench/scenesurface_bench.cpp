#include <benchmark/benchmark.h>

#include <chrono>
#include <vector>

#include "content/kzeqmesh.h"
#include "content/kzeqnurbsurfaceevaluator.h"
#include "content/kzeqsurfaceevaluator.h"
#include "content/kzeqweightedmapping.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A side x side grid of points on a bump, as quads.
void Grid(KZeqMesh& mesh, int side) {
    mesh.Reset();
    mesh.InitControlPoints(side * side);
    KZeqVector4* points = mesh.GetControlPoints();
    for (int v = 0; v < side; ++v)
        for (int u = 0; u < side; ++u) points[v * side + u] = KZeqVector4(u, v, 0.001 * u * v, 1);
    for (int v = 0; v + 1 < side; ++v)
        for (int u = 0; u + 1 < side; ++u) {
            mesh.BeginPolygon();
            for (int c : {v * side + u, v * side + u + 1, (v + 1) * side + u + 1, (v + 1) * side + u}) mesh.AddPolygon(c);
        }
}

// Smooth normals of a side x side grid (10^6 points at side 1000, 4 polygon vertices per quad).
void BM_VertexNormals(benchmark::State& state) {
    KZeqSdkManager manager;
    KZeqMesh* mesh = manager.CreateKZeqMesh();
    Grid(*mesh, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        mesh->ComputeVertexNormals(false);
        benchmark::DoNotOptimize(mesh->GetNormals());
    }
    state.SetItemsProcessed(state.iterations() * mesh->GetControlPointsCount());
}
BENCHMARK(BM_VertexNormals)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// The merge list over count points, every other one within the tolerance of an earlier one.
void BM_MergeList(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    KZeqSdkManager manager;
    KZeqMesh* mesh = manager.CreateKZeqMesh();
    mesh->InitControlPoints(count);
    KZeqVector4* points = mesh->GetControlPoints();
    for (int i = 0; i < count; ++i) {
        const int k = i % 2 ? (i * 7919) % (i + 1) / 2 * 2 : i;  // odd points repeat an earlier even one
        points[i] = KZeqVector4(k % 317 * 0.01, k / 317 % 317 * 0.01, k / 100489 * 0.01 + (i % 2) * 4e-7, 1);
    }
    KArrayTemplate<int> list;
    for (auto _ : state) benchmark::DoNotOptimize(mesh->BuildMergeList(list, KZeqMesh::eNORMALS, state.range(1)));
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_MergeList)->Args({100000, 1})->Args({100000, 0})->Args({1000000, 1})->Unit(benchmark::kMillisecond);

// A split of a side x side grid (every inner point used by 4 quads) and the merge back,
// timed by hand: the grid is rebuilt outside the figures.
void BM_SplitAndMerge(benchmark::State& state) {
    KZeqSdkManager manager;
    KZeqMesh* mesh = manager.CreateKZeqMesh();
    for (auto _ : state) {
        Grid(*mesh, static_cast<int>(state.range(0)));
        mesh->ComputeVertexNormals(false);
        const auto start = std::chrono::steady_clock::now();
        KZeqMesh::KSplitList split;
        mesh->BuildSplitList(split, KZeqMesh::eNORMALS);
        mesh->SplitPointsForHardEdge(split);
        for (int k = 0; k < split.GetCount(); ++k) delete split[k];
        KArrayTemplate<int> merge;
        mesh->BuildMergeList(merge, KZeqMesh::eNORMALS, false);
        mesh->MergePointsForPolygonVerteNormals(merge);
        state.SetIterationTime(Since(start));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0) * state.range(0));
}
BENCHMARK(BM_SplitAndMerge)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->UseManualTime();

std::vector<double> Controls(int side) {
    std::vector<double> points;
    for (int v = 0; v < side; ++v)
        for (int u = 0; u < side; ++u) points.insert(points.end(), {1.0 * u, 1.0 * v, 0.01 * u * v, 1.0});
    return points;
}

// A B-spline patch of side x side control points at a step: 252 at step 4 and
// 1000 at step 1 both give about 1000 x 1000 points.
void BM_BSplineEvaluate(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    std::vector<double> source = Controls(side);
    KZEQSurfaceEvaluator* e = ZEQCreateGeneralUniformSurface(KZeqPatch::eBSPLINE, KZeqPatch::eBSPLINE);
    e->SetEvaluationStepU(static_cast<unsigned int>(state.range(1)));
    e->SetEvaluationStepV(static_cast<unsigned int>(state.range(1)));
    e->SetSourceArray(source.data(), side, side);
    std::vector<double> points(4ull * e->GetCurvePointCountX() * e->GetCurvePointCountY());
    std::vector<double> normals(points.size());
    e->SetDestinationArray(points.data());
    e->SetDestinationNormalArray(normals.data());
    for (auto _ : state) e->EvaluateSurface(nullptr);
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(points.size() / 4));
    e->Destroy(0);
}
BENCHMARK(BM_BSplineEvaluate)->Args({252, 4})->Args({1000, 1})->Unit(benchmark::kMillisecond);

// The same with the blending mapping (250 x 250 points, up to 16 relations each) and its normalisation.
void BM_BSplineMapping(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    std::vector<double> source = Controls(side);
    KZEQSurfaceEvaluator* e = ZEQCreateGeneralUniformSurface(KZeqPatch::eBSPLINE, KZeqPatch::eBSPLINE);
    e->SetSourceArray(source.data(), side, side);
    const int count = static_cast<int>(e->GetCurvePointCountX() * e->GetCurvePointCountY());
    std::vector<double> points(4ull * count);
    e->SetDestinationArray(points.data());
    for (auto _ : state) {
        KZeqWeightedMapping mapping(side * side, count);
        e->EvaluateSurface(&mapping);
        mapping.Normalize(KZeqWeightedMapping::eDESTINATION, true);
        benchmark::DoNotOptimize(mapping.GetRelationCount(KZeqWeightedMapping::eSOURCE, 0));
    }
    state.SetItemsProcessed(state.iterations() * count);
    e->Destroy(0);
}
BENCHMARK(BM_BSplineMapping)->Arg(65)->Unit(benchmark::kMillisecond);

// An open cubic NURBS surface with uniform interior knots, side x side control points, step 4.
void BM_NurbsEvaluate(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    std::vector<double> source = Controls(side);
    std::vector<double> knots(side + 4), weights(side * side, 1.5), work(3ull * side * side);
    for (int i = 0; i < side + 4; ++i) knots[i] = i < 4 ? 0 : i > side ? side - 3 : i - 3;
    KZEQNURBSurfaceEvaluator* e = KZEQNURBSurfaceEvaluatorCreate(4, 4);
    e->SetAuxSourceArray(0, weights.data());
    e->SetAuxSourceArray(1, knots.data());
    e->SetAuxSourceArray(2, knots.data());
    e->SetAuxSourceArray(5, work.data());
    e->SetSourceArray(source.data(), side, side);
    std::vector<double> points(4ull * e->GetCurvePointCountX() * e->GetCurvePointCountY());
    std::vector<double> normals(points.size());
    e->SetDestinationArray(points.data());
    e->SetDestinationNormalArray(normals.data());
    for (auto _ : state) e->EvaluateSurface(nullptr);
    state.SetItemsProcessed(state.iterations() * static_cast<long long>(points.size() / 4));
    e->Destroy(0);
}
BENCHMARK(BM_NurbsEvaluate)->Arg(252)->Unit(benchmark::kMillisecond);

}  // namespace

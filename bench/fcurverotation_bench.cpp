#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "base/kgemath.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvefiltergimbalkiller.h"
#include "fcurve/kfcurvefiltermatrixconverter.h"
#include "fcurve/kfcurvefilterunroll.h"
#include "fcurve/kfcurvenode.h"

using namespace zeqsdk_400;

namespace {

// One key per frame at 30 frames per second.
constexpr kLongLong kFrame = 1539538600LL;

struct NodeDestroyer {
    void operator()(KFCurveNode* node) const { node->Destroy(); }
};
using NodePtr = std::unique_ptr<KFCurveNode, NodeDestroyer>;

// A node of three channels "X", "Y", "Z" keyed every frame (value(c, k) for key k).
template <class Value>
KFCurveNode* Channels(const char* name, int layerType, int keys, Value value) {
    KFCurveNode* node = new KFCurveNode(name, name, nullptr, layerType);
    int c = 0;
    for (const char* axis : {"X", "Y", "Z"}) {
        KFCurve* curve = node->FindOrCreate(axis, true)->FCurveGet();
        curve->KeyModifyBegin();
        for (int k = 0; k < keys; ++k) curve->KeyAppendFast(KTime(k * kFrame), value(c, k));
        curve->KeyModifyEnd();
        ++c;
    }
    return node;
}

// A tumbling rotation written as wrapped Euler angles, as conversions from
// matrices leave it.
float Wrapped(int c, int k) {
    const double angle = (c + 1) * 7.0 * k;
    return static_cast<float>(std::remainder(angle, 360.0));
}

NodePtr TransformNode(int keys) {
    NodePtr node(new KFCurveNode("Transform", "Transform", nullptr));
    node->Add(Channels("T", KFCL_ADD, keys, [](int c, int k) { return static_cast<float>(std::sin(0.01 * k + c)); }));
    node->Add(Channels("R", KFCL_EULER_XYZ, keys, [](int c, int k) { return static_cast<float>(40.0 * std::sin(0.02 * k + c)); }));
    node->Add(Channels("S", KFCL_MULT, keys, [](int c, int k) { return static_cast<float>(1.0 + 0.2 * std::cos(0.01 * k + c)); }));
    return node;
}

void Translation(KgeAMatrix& m, double x, double y, double z) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) m[i][j] = i == j ? 1.0 : 0.0;
    m[3][0] = x;
    m[3][1] = y;
    m[3][2] = z;
}

void Rotation(KgeAMatrix& m, double x, double y, double z) {
    Translation(m, 0, 0, 0);
    KmXYZtoR(m, x, y, z);
}

// Conversion of the nine curves at one sample per frame (size = samples).
// full: pivots, offsets and pre- and post-rotations on both sides; otherwise
// only a rotation pivot differs and the other matrices are skipped as identity.
void ConvertBench(benchmark::State& state, bool full) {
    const int samples = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        NodePtr node = TransformNode(samples);
        KFCurveFilterMatrixConverter filter;
        KTime period(kFrame);
        filter.SetResamplingPeriod(period);
        filter.SetApplyUnroll(false);
        filter.SetApplyConstantKeyReducer(false);
        KgeAMatrix m;
        Translation(m, 1, 2, 3);
        filter.SetSourceMatrix(KFCurveFilterMatrixConverter::eRotationPivot, m);
        if (full) {
            Rotation(m, 10, 20, 30);
            filter.SetSourceMatrix(KFCurveFilterMatrixConverter::ePreRotation, m);
            Rotation(m, -5, 15, 0);
            filter.SetSourceMatrix(KFCurveFilterMatrixConverter::ePostRotation, m);
            Translation(m, 0.5, 0, 0);
            filter.SetSourceMatrix(KFCurveFilterMatrixConverter::eScalingPivot, m);
            filter.SetSourceMatrix(KFCurveFilterMatrixConverter::ePivotTermOffset, m);
            Rotation(m, 0, 45, 0);
            filter.SetDestMatrix(KFCurveFilterMatrixConverter::ePreRotation, m);
            Translation(m, 0, 1, 0);
            filter.SetDestMatrix(KFCurveFilterMatrixConverter::eRotationPivot, m);
            filter.SetDestMatrix(KFCurveFilterMatrixConverter::eRotationOffset, m);
        }
        state.ResumeTiming();
        benchmark::DoNotOptimize(filter.Apply(*node, true));
        state.PauseTiming();
        node.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * samples);
}

void BM_MatrixConvertPivotsAndRotations(benchmark::State& state) { ConvertBench(state, true); }
BENCHMARK(BM_MatrixConvertPivotsAndRotations)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond);

void BM_MatrixConvertRotationPivotOnly(benchmark::State& state) { ConvertBench(state, false); }
BENCHMARK(BM_MatrixConvertRotationPivotOnly)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond);

// Unroll of a rotation node of wrapped angles (size = keys per curve).
void BM_Unroll(benchmark::State& state) {
    const int keys = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        NodePtr node(Channels("R", KFCL_EULER_XYZ, keys, Wrapped));
        KFCurveFilterUnroll filter;
        state.ResumeTiming();
        benchmark::DoNotOptimize(filter.Apply(*node, true));
        state.PauseTiming();
        node.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * keys);
}
BENCHMARK(BM_Unroll)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond);

// Gimbal killer on the same node: steps of 7 to 21 degrees a frame get split.
void BM_GimbleKiller(benchmark::State& state) {
    const int keys = static_cast<int>(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        NodePtr node(Channels("R", KFCL_EULER_XYZ, keys, Wrapped));
        KFCurveFilterGimbleKiller filter;
        state.ResumeTiming();
        benchmark::DoNotOptimize(filter.Apply(*node, true));
        state.PauseTiming();
        node.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * keys);
}
BENCHMARK(BM_GimbleKiller)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond);

}  // namespace

#include <benchmark/benchmark.h>

#include <cstdlib>

#include "base/tests/counting_new.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "object/kdatatype.h"

using namespace zeqsdk_400;

// Every heap allocation of the process is counted, so that the benchmark can
// report how many an evaluation makes.
using countingnew::gAllocations;

namespace {

// One key per frame at 30 frames per second.
constexpr kLongLong kFrame = 1539538600LL;
constexpr int kKeys = 300;

void FillCurve(KFCurve* curve, float phase, float scale) {
    for (int i = 0; i < kKeys; ++i) {
        KFCurveKey key{};
        key.Set(KTime(i * kFrame), scale * (phase + static_cast<float>(i % 17)), KFCURVE_INTERPOLATION_CUBIC,
                KFCURVE_TANGEANT_AUTO, 0, 0, KFCURVE_WEIGHTED_NONE, KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0, 0);
        curve->KeyAdd(KTime(i * kFrame), key);
    }
}

KFCurveNode* MakeVector(const char* name, KDataType* type, int layerType) {
    KFCurveNode* node = KFCurveNodeCreate(name, type, layerType, 0);
    for (const char* axis : {"X", "Y", "Z"}) {
        KFCurveNode* child = KFCurveNodeCreate(axis);
        child->FCurveSet(KFCurveCreate(), true);
        node->Add(child);
    }
    return node;
}

// "Transform" with "T", "R" and "S" (nine curves), each with two more layers
// whose curves are keyed as well.
KFCurveNode* MakeLayeredTransform() {
    KFCurveNode* transform = KFCurveNodeCreate("Transform");
    transform->Add(MakeVector("T", &KDataTypeLclTranslation, KFCL_ADD));
    transform->Add(MakeVector("R", &KDataTypeLclRotation, KFCL_EULER_XYZ));
    transform->Add(MakeVector("S", &KDataTypeLclScaling, KFCL_MULT));
    for (int part = 0; part < 3; ++part) {
        KFCurveNode* node = transform->Get(part);
        node->CreateLayerAt(1);
        node->CreateLayerAt(2);
        int layerIndex = 0;
        for (KFCurveNode* layer = node; layer; layer = layer->LayerGet(), ++layerIndex)
            for (int axis = 0; axis < 3; ++axis)
                FillCurve(layer->Get(axis)->FCurveGet(), static_cast<float>(axis + layerIndex),
                          part == 2 ? 0.01f : 1.0f);
    }
    return transform;
}

// Evaluates the tree at state.range(0) times spread over its keys.
void Evaluate(benchmark::State& state, bool candidate) {
    const long long samples = state.range(0);
    const long long setupStart = gAllocations.load();
    KFCurveNode* transform = MakeLayeredTransform();
    // Shows that the counter sees the allocations of building the tree.
    state.counters["setup allocs"] = static_cast<double>(gAllocations.load() - setupStart);
    double values[9];
    const kLongLong step = kFrame * kKeys / samples + 1;
    transform->GeneralEvaluate(values, KTime(0), nullptr, candidate);  // scratch buffers, if any, grow here
    long long allocations = 0;
    for (auto _ : state) {
        const long long before = gAllocations.load();
        for (long long i = 0; i < samples; ++i) {
            transform->GeneralEvaluate(values, KTime(i * step), nullptr, candidate);
            benchmark::DoNotOptimize(values);
        }
        allocations += gAllocations.load() - before;
    }
    state.SetItemsProcessed(state.iterations() * samples);
    state.counters["allocs/sample"] =
        static_cast<double>(allocations) / static_cast<double>(state.iterations() * samples);
    transform->Destroy();
}

void BM_TransformThreeLayers(benchmark::State& state) { Evaluate(state, false); }
BENCHMARK(BM_TransformThreeLayers)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_TransformThreeLayersCandidate(benchmark::State& state) { Evaluate(state, true); }
BENCHMARK(BM_TransformThreeLayersCandidate)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// "Transform" with "T", "R" and "S" whose two layers hold their channels in another order than
// the base, as files hold them: the translation's and the scaling's some of them (the first Z and
// X, the second Y alone), the rotation's all three (Z, X, Y and Y, Z, X); the whole transform
// under a time warp.
KFCurveNode* MakePartlyLayeredTransform() {
    KFCurveNode* transform = KFCurveNodeCreate("Transform");
    transform->Add(MakeVector("T", &KDataTypeLclTranslation, KFCL_ADD));
    transform->Add(MakeVector("R", &KDataTypeLclRotation, KFCL_EULER_XYZ));
    transform->Add(MakeVector("S", &KDataTypeLclScaling, KFCL_MULT));
    static const char* const kAxes[3] = {"X", "Y", "Z"};
    static const int kHeld[2][3] = {{2, 0, -1}, {1, -1, -1}};
    static const int kHeldRotation[2][3] = {{2, 0, 1}, {1, 2, 0}};
    for (int part = 0; part < 3; ++part) {
        KFCurveNode* node = transform->Get(part);
        for (int axis = 0; axis < 3; ++axis)
            FillCurve(node->Get(axis)->FCurveGet(), static_cast<float>(axis), part == 2 ? 0.01f : 1.0f);
        KFCurveNode* below = node;
        for (int id = 1; id <= 2; ++id) {
            KFCurveNode* layer = KFCurveNodeCreate(node->GetName(), node->GetDataType(), node->GetLayerType(), id);
            for (int axis : part == 1 ? kHeldRotation[id - 1] : kHeld[id - 1]) {
                if (axis < 0) continue;
                KFCurveNode* channel = KFCurveNodeCreate(kAxes[axis], nullptr, KFCL_NOLAYER, id);
                channel->FCurveSet(KFCurveCreate(), true);
                FillCurve(channel->FCurveGet(), static_cast<float>(axis + id), part == 2 ? 0.01f : 1.0f);
                layer->Add(channel);
            }
            below->LayerSet(layer, true);
            below = layer;
        }
    }
    KFCurveNode* warp = KFCurveNodeCreate("W", &KDataTypeTimeWarp);
    warp->FCurveSet(KFCurveCreate(), true);
    warp->FCurveGet()->KeyAppendFast(KTime(0), 0.0f);
    warp->FCurveGet()->KeyAppendFast(KTime(kKeys * kFrame), static_cast<float>(kKeys / 30.0 * 0.8));
    transform->TimeWarpSet(warp);
    return transform;
}

// Evaluates that tree at state.range(0) times spread over its keys.
void BM_TransformPartialLayers(benchmark::State& state) {
    const long long samples = state.range(0);
    KFCurveNode* transform = MakePartlyLayeredTransform();
    double values[9];
    const kLongLong step = kFrame * kKeys / samples + 1;
    transform->GeneralEvaluate(values, KTime(0));
    for (auto _ : state) {
        for (long long i = 0; i < samples; ++i) {
            transform->GeneralEvaluate(values, KTime(i * step));
            benchmark::DoNotOptimize(values);
        }
    }
    state.SetItemsProcessed(state.iterations() * samples);
    transform->Destroy();
}
BENCHMARK(BM_TransformPartialLayers)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

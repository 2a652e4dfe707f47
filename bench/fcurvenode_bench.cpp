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

}  // namespace

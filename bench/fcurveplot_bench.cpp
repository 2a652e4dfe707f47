#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvefilterkeyreducer.h"
#include "fcurve/kfcurvenode.h"
#include "fcurve/kfcurveplot.h"

using namespace zeqsdk_400;

namespace {

// One frame at 30 frames per second.
constexpr kLongLong kFrame = 1539538600LL;

struct NodeDeleter {
    void operator()(KFCurveNode* node) const { node->Destroy(); }
};
using NodePtr = std::unique_ptr<KFCurveNode, NodeDeleter>;

void KeyEvery(KFCurve* curve, int frames, int step, float base, float amplitude, float phase) {
    curve->KeyModifyBegin();
    for (int f = 0; f <= frames; f += step)
        curve->KeyAppendFast(KTime(f * kFrame), base + amplitude * std::sin(0.05f * static_cast<float>(f) + phase));
    curve->KeyModifyEnd();
}

// A three-channel node of one layer type with a base layer and two more,
// each channel keyed every few frames over the span.
KFCurveNode* LayeredNode(const char* name, int layerType, int frames) {
    static const char* const kNames[] = {"X", "Y", "Z"};
    KFCurveNode* node = KFCurveNodeCreate(name, static_cast<KDataType*>(nullptr), layerType, 0);
    for (const char* channel : kNames) {
        KFCurveNode* leaf = KFCurveNodeCreate(channel, static_cast<KDataType*>(nullptr));
        leaf->FCurveSet(KFCurveCreate(), true);
        node->Add(leaf);
    }
    const float base = layerType == KFCL_MULT ? 1.0f : 0.0f;
    const float amplitude = layerType == KFCL_EULER_XYZ ? 30.0f : 0.5f;
    for (int id = 0; id < 3; ++id) {
        KFCurveNode* layer = id == 0 ? node : (node->CreateLayerAt(id), node->LayerGet(id));
        for (int c = 0; c < 3; ++c)
            KeyEvery(layer->Get(c)->FCurveGet(), frames, 5 + 2 * id + c, base, amplitude, 0.7f * (id + c));
    }
    return node;
}

// Plots the T, R and S nodes of a transform, each with three layers, into
// result nodes every frame (size = frames).
void PlotTransform(benchmark::State& state, bool smart, bool timeWarp) {
    const int frames = static_cast<int>(state.range(0));
    NodePtr nodes[3] = {NodePtr(LayeredNode("T", KFCL_ADD, frames)), NodePtr(LayeredNode("R", KFCL_EULER_XYZ, frames)),
                        NodePtr(LayeredNode("S", KFCL_MULT, frames))};
    if (timeWarp) {
        for (NodePtr& node : nodes) {
            KFCurveNode* warp = KFCurveNodeCreate("Warp", static_cast<KDataType*>(nullptr));
            warp->FCurveSet(KFCurveCreate(), true);
            warp->FCurveGet()->KeyAppendFast(KTime(0), 0.0f);
            warp->FCurveGet()->KeyAppendFast(KTime(frames * kFrame), static_cast<float>(frames / 30.0 * 0.8));
            node->TimeWarpSet(warp);
        }
    }
    KSmartPlotOptions options;
    options.mSmartPlot = smart;
    for (auto _ : state) {
        for (NodePtr& node : nodes) {
            NodePtr result(node->CloneTemplate(false, false, true, -1));
            benchmark::DoNotOptimize(KFCurve_PlotInLayers(node.get(), nullptr, 0, 0, KTime(0), KTime(frames * kFrame),
                                                          KTime(kFrame), result.get(), nullptr, timeWarp, &options));
        }
    }
    state.SetItemsProcessed(state.iterations() * 3 * (frames + 1));
}

void BM_PlotTransform(benchmark::State& state) { PlotTransform(state, false, false); }
void BM_PlotTransformTimeWarped(benchmark::State& state) { PlotTransform(state, false, true); }
void BM_SmartPlotTransform(benchmark::State& state) { PlotTransform(state, true, false); }
BENCHMARK(BM_PlotTransform)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlotTransformTimeWarped)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmartPlotTransform)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond);

// Reduces a densely keyed wavy curve to Bezier keys (size = keys).
void BM_KeyReducer(benchmark::State& state) {
    const int keys = static_cast<int>(state.range(0));
    KFCurve source;
    source.KeyModifyBegin();
    for (int i = 0; i < keys; ++i) {
        const float t = static_cast<float>(i) / 30.0f;
        source.KeyAppendFast(KTime(i * kFrame), 3.0f * std::sin(t * 0.37f) + std::sin(t * 1.3f));
    }
    source.KeyModifyEnd();
    int kept = 0;
    for (auto _ : state) {
        state.PauseTiming();
        KFCurve curve;
        curve.CopyFrom(source, true);
        KFCurveFilterKeyReducer filter;
        filter.SetPrecision(0.01);
        state.ResumeTiming();
        benchmark::DoNotOptimize(filter.Apply(curve));
        kept = curve.KeyGetCount();
    }
    state.counters["kept"] = kept;
    state.SetItemsProcessed(state.iterations() * keys);
}
BENCHMARK(BM_KeyReducer)->RangeMultiplier(10)->Range(10000, 1000000)->Unit(benchmark::kMillisecond);

}  // namespace

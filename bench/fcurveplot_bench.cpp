#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

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

// A node of one layer type whose two layers hold its channels in another order than the base, as
// files hold them: some of them (the first Z and X, the second Y alone), all three for a rotation
// (Z, X, Y and Y, Z, X); each channel keyed every few frames.
KFCurveNode* PartlyLayeredNode(const char* name, int layerType, int frames) {
    static const char* const kNames[] = {"X", "Y", "Z"};
    const std::vector<std::vector<int>> held = layerType == KFCL_EULER_XYZ
                                                    ? std::vector<std::vector<int>>{{2, 0, 1}, {1, 2, 0}}
                                                    : std::vector<std::vector<int>>{{2, 0}, {1}};
    KFCurveNode* node = KFCurveNodeCreate(name, static_cast<KDataType*>(nullptr), layerType, 0);
    const float base = layerType == KFCL_MULT ? 1.0f : 0.0f;
    const float amplitude = layerType == KFCL_EULER_XYZ ? 30.0f : 0.5f;
    for (int c = 0; c < 3; ++c) {
        KFCurveNode* leaf = KFCurveNodeCreate(kNames[c], static_cast<KDataType*>(nullptr));
        leaf->FCurveSet(KFCurveCreate(), true);
        KeyEvery(leaf->FCurveGet(), frames, 5 + c, base, amplitude, 0.7f * c);
        node->Add(leaf);
    }
    KFCurveNode* below = node;
    for (std::size_t l = 0; l < held.size(); ++l) {
        const int id = static_cast<int>(l + 1);
        KFCurveNode* layer = KFCurveNodeCreate(name, static_cast<KDataType*>(nullptr), layerType, id);
        for (int c : held[l]) {
            KFCurveNode* leaf = KFCurveNodeCreate(kNames[c], static_cast<KDataType*>(nullptr), KFCL_NOLAYER, id);
            leaf->FCurveSet(KFCurveCreate(), true);
            KeyEvery(leaf->FCurveGet(), frames, 7 + 2 * c, base, amplitude, 0.7f * (id + c));
            layer->Add(leaf);
        }
        below->LayerSet(layer, true);
        below = layer;
    }
    return node;
}

// Plots the T, R and S nodes of a transform, each with three layers (or as made), into
// result nodes every frame (size = frames).
void PlotTransform(benchmark::State& state, bool smart, bool timeWarp,
                   KFCurveNode* (*make)(const char*, int, int) = LayeredNode) {
    const int frames = static_cast<int>(state.range(0));
    NodePtr nodes[3] = {NodePtr(make("T", KFCL_ADD, frames)), NodePtr(make("R", KFCL_EULER_XYZ, frames)),
                        NodePtr(make("S", KFCL_MULT, frames))};
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

// The same plot of T, R and S nodes whose layers hold their channels in another order, some of
// them or all (size = frames).
void BM_PlotPartialLayers(benchmark::State& state) { PlotTransform(state, false, false, PartlyLayeredNode); }
BENCHMARK(BM_PlotPartialLayers)->RangeMultiplier(10)->Range(1000, 100000)->Unit(benchmark::kMillisecond);

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

#ifndef ZEQ_BENCH_ZEQLAYERED_BENCH_SUPPORT_H
#define ZEQ_BENCH_ZEQLAYERED_BENCH_SUPPORT_H

// A take's tree with animation layers and time warps, of a size in frames, for the benchmarks of
// their bake: in memory, and as a binary 6.0 Zeq file of null models each holding such a take.

#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/kset.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "fcurve/kfcurvesettings.h"
#include "fileio/kzeq.h"
#include "io/kzeqfields.h"
#include "zeqchain_bench_support.h"

namespace zeqlayeredbench {

using namespace zeqsdk_400;

struct NodeDeleter {
    void operator()(KFCurveNode* node) const { node->Destroy(); }
};
using NodePtr = std::unique_ptr<KFCurveNode, NodeDeleter>;

constexpr kLongLong kFrame = 1539538600LL;  // 1/30 s

inline KFCurveNode* Leaf(const char* name, int frames, int step, float amplitude) {
    KFCurveNode* leaf = KFCurveNodeCreate(name, static_cast<KDataType*>(nullptr));
    KFCurve* curve = KFCurveCreate();
    curve->KeyModifyBegin();
    // Keys every few frames and a bit off them, as a 24 a second take's fall between the samples.
    for (int f = 0; f <= frames; f += step)
        curve->KeyAppendFast(KTime(f * kFrame + (f % 3) * kFrame / 4),
                             amplitude * std::sin(0.05f * static_cast<float>(f)));
    curve->KeyModifyEnd();
    leaf->FCurveSet(curve, true);
    return leaf;
}

inline KFCurveNode* Warp(float scale, int frames) {
    KFCurveNode* warp = KFCurveNodeCreate("W", static_cast<KDataType*>(nullptr));
    warp->FCurveSet(KFCurveCreate(), true);
    warp->FCurveGet()->KeyAppendFast(KTime(0), 0.0f);
    warp->FCurveGet()->KeyAppendFast(KTime(frames * kFrame), static_cast<float>(frames / 30.0 * scale));
    return warp;
}

// A take node's tree of size frames: T, R and S keyed every few frames, each with a layer of one
// or two channels, the translation under a warp of its own and the whole transform under another.
// The warps live in holders added to holder.
inline NodePtr LayeredTake(int frames, KFCurveNode* holder) {
    NodePtr root(KFCurveNodeCreate("Take"));
    KFCurveNode* transform = KFCurveNodeCreate("Transform");
    static const char* const kVectors[3] = {"T", "R", "S"};
    static const int kTypes[3] = {KFCL_ADD, KFCL_EULER_XYZ, KFCL_MULT};
    for (int v = 0; v < 3; ++v) {
        KFCurveNode* vector = KFCurveNodeCreate(kVectors[v], static_cast<KDataType*>(nullptr), kTypes[v], 0);
        for (const char* axis : {"X", "Y", "Z"}) vector->Add(Leaf(axis, frames, 5 + v, v == 1 ? 60.0f : 2.0f));
        KFCurveNode* layer = KFCurveNodeCreate(kVectors[v], static_cast<KDataType*>(nullptr), kTypes[v], 1);
        layer->Add(Leaf("Y", frames, 7, v == 1 ? 20.0f : 0.5f));
        if (v != 2) layer->Add(Leaf("Z", frames, 9, v == 1 ? 20.0f : 0.5f));
        vector->LayerSet(layer, true);
        transform->Add(vector);
    }
    KFCurveNode* own = Warp(0.8f, frames);
    holder->Add(KFCurveNodeCreate("Hold"));
    holder->Get(holder->GetCount() - 1)->TimeWarpSet(own);
    transform->Get(0)->TimeWarpSet(own);
    KFCurveNode* whole = Warp(0.9f, frames);
    holder->Add(KFCurveNodeCreate("Hold"));
    holder->Get(holder->GetCount() - 1)->TimeWarpSet(whole);
    transform->TimeWarpSet(whole);
    root->Add(transform);
    return root;
}

// The null models of the files the whole reads and imports take.
constexpr int kLayeredModels = 10;

// A binary 6.0 file of null models n0, n1, ... under the root (as zeqchainbench writes them), the
// take of each one of takes in "Take 001" over span, the warps holder holds in the take's
// "TimeWarps" block (named by number). False when it could not be written.
inline bool WriteTakesFile(const std::string& path, KFCurveNode* holder, const std::vector<NodePtr>& takes,
                           const KTimeSpan& span) {
    KZeq file;
    if (!file.ProjectCreate(path.c_str(), true, false)) return false;
    const int models = static_cast<int>(takes.size());
    std::vector<std::pair<int, int>> links;
    for (int i = 0; i < models; ++i) links.emplace_back(i, -1);
    zeqchainbench::WriteNullModels(file, models, links);
    ZeqWriteBlockBegin(file, "Takes");
    ZeqWriteFieldC(file, "Current", "Take 001");
    ZeqWriteBlockBegin(file, "Take", "Take 001");
    ZeqWriteFieldTS(file, "LocalTime", span);
    ZeqWriteFieldTS(file, "ReferenceTime", span);
    // The store names a channel's warp by its number in the set installed.
    KSet numbers;
    ZeqWriteBlockBegin(file, "TimeWarps");
    ZeqWriteFieldI(file, "Version", 100);
    for (int w = 0; w < holder->GetCount(); ++w) {
        KFCurveNode* warp = holder->Get(w)->TimeWarpGet();
        file.FieldWriteBegin("TW");
        file.FieldWriteI(w + 1);
        file.FieldWriteBlockBegin();
        warp->ZeqStore(&file, false, true, true, "Channel", false, false);
        ZeqWriteBlockEnd(file);
        numbers.Add(static_cast<unsigned int>(w + 1), reinterpret_cast<kReference>(warp));
    }
    ZeqWriteBlockEnd(file);
    KFCurve_SetTWSet(&numbers);
    for (int i = 0; i < models; ++i) {
        ZeqWriteBlockBegin(file, "Model", zeqchainbench::NullModelName(i).c_str());
        ZeqWriteFieldDn(file, "Version", {1.1});
        takes[static_cast<std::size_t>(i)]->Get(0)->ZeqStore(&file, false, true, true, "Channel", false, false);
        ZeqWriteBlockEnd(file);
    }
    KFCurve_SetTWSet(nullptr);
    ZeqWriteBlockEnd(file);
    ZeqWriteBlockEnd(file);
    return file.ProjectClose();
}

// WriteTakesFile of models null models, each with its own LayeredTake of frames, over a take of
// spanFrames (the keys' frames when not given).
inline bool WriteLayeredFile(const std::string& path, int frames, int models = kLayeredModels,
                             long long spanFrames = -1) {
    NodePtr holder(KFCurveNodeCreate("Holder"));
    std::vector<NodePtr> takes;
    for (int i = 0; i < models; ++i) takes.push_back(LayeredTake(frames, holder.get()));
    return WriteTakesFile(path, holder.get(), takes,
                          KTimeSpan(KTime(0), KTime((spanFrames < 0 ? frames : spanFrames) * kFrame)));
}

}  // namespace zeqlayeredbench

#endif

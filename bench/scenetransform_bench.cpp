#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "fcurve/kfcurve.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

// The hierarchies are built once per benchmark (building costs far more than
// what is measured), so each benchmark runs a fixed number of iterations.

namespace {

// count nodes, each under node (i - 1) / fanOut: fan-out 1 is a chain. Built
// from the leaves up, so that attaching never walks a long line of parents.
// Set 0 is active with a rotation pivot and, when asked, a pre-rotation.
KZeqNode* Hierarchy(KZeqSdkManager& manager, int count, int fanOut, bool preRotation) {
    std::vector<KZeqNode*> nodes;
    for (int i = 0; i < count; ++i) nodes.push_back(manager.CreateKZeqNode(("n" + std::to_string(i)).c_str()));
    for (int i = count - 1; i > 0; --i) nodes[(i - 1) / fanOut]->AddChild(nodes[i]);
    for (int i = 0; i < count; ++i) {
        nodes[i]->SetDefaultT(KZeqVector4(1, 0, 0, 0));
        nodes[i]->SetDefaultR(KZeqVector4(0, 0, 1, 0));
        nodes[i]->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_ACTIVE);
        nodes[i]->SetRotationPivot(KZeqNode::eSOURCE_SET, KZeqVector4(0, 1, 0, 0));
        if (preRotation) nodes[i]->SetPreRotation(KZeqNode::eSOURCE_SET, KZeqVector4(0, 5, 0, 0));
    }
    return nodes[0];
}

// Every node's translation curves keyed at 30 frames.
void KeyTranslations(KZeqNode* node) {
    KFCurveKey key{};
    for (KFCurve* curve : {node->GetDefaultTakeNode()->GetTranslationX(), node->GetDefaultTakeNode()->GetTranslationY(),
                           node->GetDefaultTakeNode()->GetTranslationZ()}) {
        for (int frame = 0; frame < 30; ++frame) {
            key.Set(KTime(0), static_cast<float>(frame), KFCURVE_INTERPOLATION_LINEAR, KFCURVE_TANGEANT_USER, 0, 0,
                    KFCURVE_WEIGHTED_NONE, KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0, 0);
            KTime time;
            time.SetSecondDouble(frame / 30.0);
            curve->KeyAdd(time, key);
        }
    }
    for (int i = 0; i < node->GetChildCount(); ++i) KeyTranslations(node->GetChild(i));
}

// A forced global matrix recomputes the whole hierarchy (range 1: fan-out).
void BM_GlobalMatrixForced(benchmark::State& state) {
    KZeqSdkManager manager;
    KZeqNode* root = Hierarchy(manager, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), true);
    for (auto _ : state) benchmark::DoNotOptimize(root->GetGlobalMatrix(KZeqNode::eSOURCE_SET, true).mData[3][0]);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_GlobalMatrixForced)
    ->Args({1000, 10})
    ->Args({100000, 10})
    ->Args({100000, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

void BM_AnimationInterval(benchmark::State& state) {
    KZeqSdkManager manager;
    KZeqNode* root = Hierarchy(manager, static_cast<int>(state.range(0)), 10, false);
    KeyTranslations(root);
    for (auto _ : state) {
        KTime start = KTime::Infinite(), stop = KTime::MinusInfinite();
        benchmark::DoNotOptimize(root->GetAnimationInterval(start, stop));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_AnimationInterval)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(10);

// Pivot differences that reduce to translation: every key shifted, no resampling.
void BM_PivotConversionTranslationOnly(benchmark::State& state) {
    KZeqSdkManager manager;
    KZeqNode* root = Hierarchy(manager, static_cast<int>(state.range(0)), 10, false);
    KeyTranslations(root);
    for (auto _ : state) root->ConvertPivotAnimation(KZeqNode::eDESTINATION_SET, 30.0, true);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PivotConversionTranslationOnly)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "content/kzeqskeleton.h"
#include "fcurve/kfcurve.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"
#include "scene/kzeqtransformcache.h"
#include "scene/tests/kfiletakelayers_scene.h"

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

// Every node of the hierarchy below root, parents first.
std::vector<KZeqNode*> Nodes(KZeqNode* root) {
    std::vector<KZeqNode*> nodes, pending{root};
    while (!pending.empty()) {
        KZeqNode* node = pending.back();
        pending.pop_back();
        nodes.push_back(node);
        for (int i = node->GetChildCount(); i-- > 0;) pending.push_back(node->GetChild(i));
    }
    return nodes;
}

// Each node's translation and rotation keyed at 0 and 1 s in a current take of its own.
void KeyTake(const std::vector<KZeqNode*>& nodes) {
    for (KZeqNode* node : nodes) {
        KZeqTakeNode* take = node->CreateTakeNode("Take 001");
        node->SetCurrentTakeNode("Take 001");
        for (KFCurve* curve : {take->GetTranslationX(), take->GetEulerRotationZ()}) {
            for (int second = 0; second < 2; ++second) {
                KFCurveKey key{};
                key.Set(KTime(0), static_cast<float>(second), KFCURVE_INTERPOLATION_LINEAR, KFCURVE_TANGEANT_USER, 0, 0,
                        KFCURVE_WEIGHTED_NONE, KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0, 0);
                KTime time;
                time.SetSecondDouble(second);
                curve->KeyAdd(time, key);
            }
        }
    }
}

// What a writer asks at one time: every node's full global transform, each evaluated once
// through a cache; the same count of evaluations whatever the depth (range 1: fan-out, the
// count itself for one level, 1 for a chain).
void BM_GlobalTransformsAtATime(benchmark::State& state) {
    KZeqSdkManager manager;
    const std::vector<KZeqNode*> nodes =
        Nodes(Hierarchy(manager, static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), true));
    KeyTake(nodes);
    KTime time;
    time.SetSecondDouble(0.5);
    for (auto _ : state) {
        KZeqTransformCache cache(time);
        for (KZeqNode* node : nodes) benchmark::DoNotOptimize(cache.Global(*node).mData[3][0]);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_GlobalTransformsAtATime)
    ->Args({10000, 10000})
    ->Args({40000, 40000})
    ->Args({10000, 1})
    ->Args({40000, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);

// Each node's full local transform at 0.5 s in its current take.
void LocalTransformsAtATime(benchmark::State& state, const std::vector<KZeqNode*>& nodes) {
    KTime time;
    time.SetSecondDouble(0.5);
    for (auto _ : state)
        for (KZeqNode* node : nodes) benchmark::DoNotOptimize(node->EvaluateLocalTransform(time).mData[3][0]);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Each joint's full local transform at a time of its keyed current take, as the motion writers
// ask frame by frame; the default takes hold their channels, as those of a scene read from a file do.
void BM_LocalTransformsKeyed(benchmark::State& state) {
    KZeqSdkManager manager;
    const std::vector<KZeqNode*> nodes = Nodes(Hierarchy(manager, static_cast<int>(state.range(0)), 10, true));
    for (KZeqNode* node : nodes) {
        node->SetNodeAttribute(manager.CreateKZeqSkeleton());
        node->GetDefaultTakeNode()->GetKFCurveNode();
    }
    KeyTake(nodes);
    LocalTransformsAtATime(state, nodes);
}
BENCHMARK(BM_LocalTransformsKeyed)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond)->Iterations(10);

// The same with each take holding a time warp on its whole transform, a translation layer and a
// rotation layer, the nodes in the order ZYX, as a file read without merging them keeps them.
void BM_LocalTransformsLayered(benchmark::State& state) {
    KZeqSdkManager manager;
    const std::vector<KZeqNode*> nodes = Nodes(Hierarchy(manager, static_cast<int>(state.range(0)), 10, true));
    KeyTake(nodes);
    std::mt19937 random(7);
    const unsigned kinds = zeqtest::kLayerKinds | 1u << zeqtest::eWarpTransform;
    for (KZeqNode* node : nodes) {
        node->SetRotationOrder(KZeqNode::eSOURCE_SET, eEULER_ZYX);
        zeqtest::AddTakeLayering(*node, "Take 001", zeqtest::RandomTakeLayering(random, kinds));
    }
    LocalTransformsAtATime(state, nodes);
}
BENCHMARK(BM_LocalTransformsLayered)->Arg(10000)->Arg(40000)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace

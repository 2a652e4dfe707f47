// A cache of full global transforms answers what each node's own evaluation answers, bit for
// bit, evaluating each node once however deep the tree; and a node's local transform takes the
// default values only under what its current take does not hold.
#include "scene/kzeqtransformcache.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/kgemath.h"
#include "base/kstepcount.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/tests/kfiletransform_scene.h"
#include "scene/tests/scene_test_support.h"

using namespace scenetest;
using namespace zeqtest;

namespace {

bool SameBits(const KZeqXMatrix& a, const KZeqXMatrix& b) { return std::memcmp(a.mData, b.mData, sizeof a.mData) == 0; }

class KZeqTransformCacheTest : public ::testing::Test {
protected:
    // A chain of count nodes below parent (the first below nothing without one), each with
    // generated values of the features and keys in "Take 001"; the nodes, top first.
    std::vector<KZeqNode*> Chain(int count, unsigned features, KZeqNode* parent = nullptr) {
        std::vector<KZeqNode*> nodes;
        for (int i = 0; i < count; ++i) {
            KZeqNode* node = mManager.CreateKZeqNode(("n" + std::to_string(mCount++)).c_str());
            SetFileValues(*node, RandomFileValues(mRandom, features, i % 7));
            std::vector<std::pair<double, FileTransformValues>> keys;
            for (double seconds : {0.0, 1.0})
                keys.emplace_back(seconds, RandomFileValues(mRandom, kTranslation | kRotation, 0));
            KeyFileValues(*node, "Take 001", keys);
            if (parent) {
                EXPECT_TRUE(parent->AddChild(node));
            }
            nodes.push_back(node);
            parent = node;
        }
        return nodes;
    }

    KZeqSdkManager mManager;
    std::mt19937 mRandom{121};
    int mCount = 0;
};

// The node's local transforms (at time, or of the default values) composed from the root down by
// hand: an evaluation that owes nothing to the cache, which EvaluateGlobalTransform is built on.
KZeqXMatrix ComposedByHand(KZeqNode& node, const KTime* time) {
    std::vector<KZeqNode*> chain;
    for (KZeqNode* at = &node; at; at = at->GetParent()) chain.push_back(at);
    KZeqXMatrix global;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        KZeqXMatrix local = time ? (*it)->EvaluateLocalTransform(*time) : (*it)->EvaluateLocalTransform();
        if (it != chain.rbegin()) KmAA(local, global, local);
        global = local;
    }
    return global;
}

// A tree of a chain with a branch, asked from the leaves up and from the top down, at two times
// between the keys and of the default values, each answer as the locals compose.
TEST_F(KZeqTransformCacheTest, AnswersWhatEachNodeEvaluatesBitForBit) {
    std::vector<KZeqNode*> nodes = Chain(6, kAllFeatures);
    const std::vector<KZeqNode*> branch = Chain(3, kTranslation | kRotation | kScaling, nodes[2]);
    nodes.insert(nodes.end(), branch.begin(), branch.end());
    for (bool leavesFirst : {true, false}) {
        KZeqTransformCache defaults;
        for (double seconds : {0.25, 0.75}) {
            const KTime time = Sec(seconds);
            KZeqTransformCache atTime(time);
            for (std::size_t k = 0; k < nodes.size(); ++k) {
                KZeqNode& node = *nodes[leavesFirst ? nodes.size() - 1 - k : k];
                const KZeqXMatrix expected = ComposedByHand(node, &time);
                EXPECT_TRUE(SameBits(atTime.Global(node), expected)) << node.GetName() << " at " << seconds;
                EXPECT_TRUE(SameBits(node.EvaluateGlobalTransform(time), expected)) << node.GetName();
                EXPECT_TRUE(SameBits(defaults.Global(node), ComposedByHand(node, nullptr))) << node.GetName();
            }
        }
    }
    // The keys move every node: an answer that passed over the time would show.
    const KTime quarter = Sec(0.25);
    EXPECT_FALSE(SameBits(ComposedByHand(*nodes.back(), nullptr), ComposedByHand(*nodes.back(), &quarter)));
    // Each evaluation of a node stands alone: a changed parent shows at once.
    const KZeqXMatrix before = nodes.back()->EvaluateGlobalTransform();
    KZeqVector4 t;
    nodes[0]->GetDefaultT(t);
    nodes[0]->SetDefaultT(KZeqVector4(t[0] + 100, t[1], t[2], 0));
    EXPECT_NEAR(nodes.back()->EvaluateGlobalTransform().mData[3][0] - before.mData[3][0], 100.0, 1e-6);
}

TEST_F(KZeqTransformCacheTest, FullTransformUpFollowsTheAncestors) {
    const std::vector<KZeqNode*> nodes = Chain(5, kTranslation | kRotation | kScaling);
    for (KZeqNode* node : nodes) node->SetRotationOrder(KZeqNode::eSOURCE_SET, eEULER_XYZ);
    nodes[2]->SetRotationPivot(KZeqNode::eSOURCE_SET, KZeqVector4(0, 1, 0, 1));
    KZeqTransformCache cache;
    const bool expected[] = {false, false, true, true, true};
    for (int i = 4; i >= 0; --i) EXPECT_EQ(expected[i], cache.FullTransformUp(*nodes[i])) << i;
}

// Every node of a chain through one cache: twice the nodes cost twice the curve searches, where
// each node's own evaluation walks all its ancestors again.
TEST_F(KZeqTransformCacheTest, EachNodeIsEvaluatedOnceWhateverTheDepth) {
    const auto searches = [](const std::vector<KZeqNode*>& chain) {
        KZeqTransformCache cache(Sec(0.5));
        KStepCountScope counted(KStepKind::eSearch);
        for (KZeqNode* node : chain) cache.Global(*node);
        return counted.GetSteps();
    };
    const std::uint64_t shorter = searches(Chain(100, kRotationPivot)), longer = searches(Chain(200, kRotationPivot));
    ASSERT_GT(shorter, 0u);
    EXPECT_LE(longer, 2 * shorter + 10) << shorter << " searches for 100 nodes";
}

// The current take keys translation and holds scaling X and Y but not Z: the default scaling's Z
// stays under it.
TEST_F(KZeqTransformCacheTest, ACurrentTakeWithoutAChannelKeepsTheDefaultValueUnderIt) {
    KZeqNode* node = mManager.CreateKZeqNode("partial");
    node->SetDefaultS(KZeqVector4(2, 3, 4, 0));
    KZeqTakeNode* take = node->CreateTakeNode("Take 001");
    node->SetCurrentTakeNode("Take 001");
    Key(take->GetTranslationX(), 0, 5);
    take->GetScaleX()->SetValue(1.0f);  // the take's own, where the default is 2
    take->GetKFCurveNode()->FindRecursive("Transform")->FindRecursive("S")->Delete(2);
    const KZeqXMatrix partial = node->EvaluateLocalTransform(Sec(0));
    EXPECT_DOUBLE_EQ(partial.mData[3][0], 5.0);
    EXPECT_DOUBLE_EQ(partial.mData[0][0], 1.0);
    EXPECT_DOUBLE_EQ(partial.mData[2][2], 4.0);
}

}  // namespace

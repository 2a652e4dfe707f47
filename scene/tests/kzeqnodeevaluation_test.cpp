// The node's full transform against the test-only evaluation of the values the file holds: every
// rotation order, every feature alone and all together, on chains, from default values and from
// keys (at the keys and between them), and from takes with time warps and animation layers.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/tests/kfiletakelayers_scene.h"
#include "scene/tests/kfiletakemodel_scene.h"
#include "scene/tests/kfiletransform_scene.h"
#include "scene/tests/kfiletransform_support.h"
#include "scene/tests/scene_test_support.h"

using namespace scenetest;
using namespace zeqtest;

namespace {

using P = std::array<double, 3>;

const P kProbes[] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {-1.5, 2.25, 0.75}};

Mat4 FromSdk(const KZeqXMatrix& m) {
    Mat4 out{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) out[i][j] = m.mData[i][j];
    return out;
}

// Every probe placed alike, within tolerance times the size of the placement.
void ExpectSamePlacement(const Mat4& expected, const KZeqXMatrix& actual, const std::string& what,
                         double tolerance = 1e-9) {
    const Mat4 sdk = FromSdk(actual);
    for (const P& p : kProbes) {
        const P e = Apply(expected, p), a = Apply(sdk, p);
        const double size = 1.0 + std::fabs(e[0]) + std::fabs(e[1]) + std::fabs(e[2]);
        for (int i = 0; i < 3; ++i)
            ASSERT_NEAR(e[i], a[i], tolerance * size) << what << ", probe (" << p[0] << ", " << p[1] << ", " << p[2]
                                                      << ") component " << i;
    }
}

class KZeqNodeEvaluationTest : public ::testing::Test {
protected:
    // A chain of count nodes, each below the one before, with the values given.
    std::vector<KZeqNode*> Chain(const std::vector<FileTransformValues>& values) {
        std::vector<KZeqNode*> nodes;
        for (std::size_t i = 0; i < values.size(); ++i) {
            KZeqNode* node = mManager.CreateKZeqNode(("n" + std::to_string(mCount++)).c_str());
            SetFileValues(*node, values[i]);
            if (!nodes.empty()) {
                EXPECT_TRUE(nodes.back()->AddChild(node));
            }
            nodes.push_back(node);
        }
        return nodes;
    }
    static Mat4 Global(const std::vector<FileTransformValues>& values, std::size_t upTo) {
        Mat4 m = Identity();
        for (std::size_t i = upTo + 1; i-- > 0;) m = Multiply(m, FileLocalMatrix(values[i]));
        return m;
    }

    KZeqSdkManager mManager;
    std::mt19937 mRandom{117};
    int mCount = 0;
};

std::vector<unsigned> FeatureSets() {
    std::vector<unsigned> sets;
    for (int i = 0; i < 10; ++i) sets.push_back(1u << i);
    sets.push_back(kAllFeatures);
    return sets;
}

TEST_F(KZeqNodeEvaluationTest, DefaultValuesOfEveryOrderAndFeatureOnAChain) {
    for (int order = 0; order <= 6; ++order) {
        for (unsigned features : FeatureSets()) {
            const std::vector<FileTransformValues> values = {RandomFileValues(mRandom, features, order),
                                                             RandomFileValues(mRandom, features, order),
                                                             RandomFileValues(mRandom, features, order)};
            const std::vector<KZeqNode*> nodes = Chain(values);
            for (std::size_t i = 0; i < nodes.size(); ++i) {
                const std::string what = std::string(FeatureName(features)) + ", order " + std::to_string(order) +
                                         ", node " + std::to_string(i);
                ExpectSamePlacement(FileLocalMatrix(values[i]), nodes[i]->EvaluateLocalTransform(Sec(0.5)), what);
                ExpectSamePlacement(Global(values, i), nodes[i]->EvaluateGlobalTransform(Sec(0.5)), what);
                ExpectSamePlacement(FileGeometricMatrix(values[i]), nodes[i]->EvaluateGeometricTransform(), what);
            }
        }
    }
}

TEST_F(KZeqNodeEvaluationTest, KeyedValuesAtTheKeysAndBetweenThem) {
    for (int order = 0; order <= 6; ++order) {
        for (unsigned features : FeatureSets()) {
            // Every node keyed at 0, 1 and 2 s; its default values are others.
            std::vector<std::vector<std::pair<double, FileTransformValues>>> keys(3);
            std::vector<FileTransformValues> defaults;
            for (auto& nodeKeys : keys) {
                const FileTransformValues first = RandomFileValues(mRandom, features, order);
                for (double seconds : {-1.0, 0.0, 1.0, 2.0}) {
                    const FileTransformValues v = RandomFileValues(mRandom, kTranslation | kRotation | kScaling, order);
                    FileTransformValues keyed = first;
                    std::copy(v.t, v.t + 3, keyed.t);
                    std::copy(v.r, v.r + 3, keyed.r);
                    std::copy(v.s, v.s + 3, keyed.s);
                    if (seconds < 0)
                        defaults.push_back(keyed);
                    else
                        nodeKeys.emplace_back(seconds, keyed);
                }
            }
            const std::vector<KZeqNode*> nodes = Chain(defaults);
            for (std::size_t i = 0; i < nodes.size(); ++i) KeyFileValues(*nodes[i], "Take 001", keys[i]);
            for (double seconds : {0.0, 0.5, 1.0, 1.25, 2.0}) {
                std::vector<FileTransformValues> at;
                for (auto& nodeKeys : keys) at.push_back(ValuesBetweenKeys(nodeKeys, seconds));
                for (std::size_t i = 0; i < nodes.size(); ++i) {
                    const std::string what = std::string(FeatureName(features)) + ", order " + std::to_string(order) +
                                             ", node " + std::to_string(i) + " at " + std::to_string(seconds) + " s";
                    // Keys hold floats: between them the curve interpolates in single precision.
                    ExpectSamePlacement(Global(at, i), nodes[i]->EvaluateGlobalTransform(Sec(seconds)), what, 1e-5);
                }
            }
            // Without a time, the default values place the nodes whatever take is current.
            ExpectSamePlacement(Global(defaults, 2), nodes[2]->EvaluateGlobalTransform(), "without a time");
            ExpectSamePlacement(FileLocalMatrix(defaults[1]), nodes[1]->EvaluateLocalTransform(), "without a time");
            // Back on the default take, the default values place the nodes, whatever the time.
            for (KZeqNode* node : nodes) node->SetCurrentTakeNode(0);
            ExpectSamePlacement(Global(defaults, 2), nodes[2]->EvaluateGlobalTransform(Sec(1.25)), "default take");
        }
    }
}

TEST_F(KZeqNodeEvaluationTest, PreAndPostRotationCountOnlyWhileRotationIsActiveAndNotForLimitsOnly) {
    FileTransformValues v = RandomFileValues(mRandom, kAllFeatures, 4);
    KZeqNode* node = Chain({v})[0];
    ExpectSamePlacement(FileLocalMatrix(v), node->EvaluateLocalTransform(Sec(0)), "active");
    node->GetPropertyHandler()->RotationSpaceForLimitOnly.Value() = true;
    FileTransformValues without = v;
    without.rotationActive = false;
    ExpectSamePlacement(FileLocalMatrix(without), node->EvaluateLocalTransform(Sec(0)), "for limits only");
    node->GetPropertyHandler()->RotationSpaceForLimitOnly.Value() = false;
    node->GetPropertyHandler()->RotationActive.Value() = false;
    ExpectSamePlacement(FileLocalMatrix(without), node->EvaluateLocalTransform(Sec(0)), "rotation inactive");
}

// An inactive set takes no part: its vectors count as zero and its geometric transform as none;
// the rotation order is the node's still.
TEST_F(KZeqNodeEvaluationTest, AnInactivePivotSetTakesNoPart) {
    FileTransformValues v = RandomFileValues(mRandom, kAllFeatures, 5);
    KZeqNode* node = Chain({v})[0];
    node->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_REFERENCE);
    FileTransformValues plain;
    std::copy(v.t, v.t + 3, plain.t);
    std::copy(v.r, v.r + 3, plain.r);
    std::copy(v.s, v.s + 3, plain.s);
    plain.rotationOrder = 5;
    ExpectSamePlacement(FileLocalMatrix(plain), node->EvaluateLocalTransform(Sec(0)), "inactive");
    ExpectSamePlacement(Identity(), node->EvaluateGeometricTransform(), "inactive geometry");
    // Set 1 is never read.
    node->SetPivotState(KZeqNode::eDESTINATION_SET, KZeqNode::ePIVOT_STATE_ACTIVE);
    node->SetRotationPivot(KZeqNode::eDESTINATION_SET, KZeqVector4(5, 5, 5, 1));
    ExpectSamePlacement(FileLocalMatrix(plain), node->EvaluateLocalTransform(Sec(0)), "set 1 active");
}

// Exactly the nodes the local matrix of a take would misplace need the full transform.
TEST_F(KZeqNodeEvaluationTest, WhichNodesNeedTheFullTransform) {
    for (unsigned features : FeatureSets()) {
        const bool needs = (features & ~(kTranslation | kRotation | kScaling)) != 0;
        KZeqNode* node = Chain({RandomFileValues(mRandom, features, 0)})[0];
        EXPECT_EQ(needs, node->NeedsFullTransform()) << FeatureName(features);
        // An inactive set holds nothing that counts.
        node->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_REFERENCE);
        EXPECT_FALSE(node->NeedsFullTransform()) << FeatureName(features);
    }
    for (int order = 0; order <= 6; ++order) {
        KZeqNode* node = Chain({RandomFileValues(mRandom, kRotation, order)})[0];
        node->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_REFERENCE);
        EXPECT_EQ(order >= 1 && order <= 5, node->NeedsFullTransform()) << "order " << order;
    }
    FileTransformValues scaledGeometry;
    scaledGeometry.geometricS[2] = 2;
    EXPECT_TRUE(Chain({scaledGeometry})[0]->NeedsFullTransform());
}

// The evaluations other callers rely on stay as they were: with a rotation pivot and order, the
// pivot-set matrix and the take's local matrix still ignore what they always ignored.
TEST_F(KZeqNodeEvaluationTest, TheOlderEvaluationsAreUnchanged) {
    FileTransformValues v;
    v.t[0] = 1;
    v.r[2] = 90;
    v.rotationPivot[0] = 2;
    v.rotationOrder = 4;
    KZeqNode* node = Chain({v})[0];
    // Local matrix of the take: translation, rotation, scaling only.
    EXPECT_NEAR(1.0, node->GetLocalFromDefaultTake().mData[3][0], 1e-12);
    // Pivot set 0's matrix adds the pivot to the translation.
    EXPECT_NEAR(3.0, node->GetGlobalMatrix(KZeqNode::eSOURCE_SET, true).mData[3][0], 1e-12);
    // The full transform turns about it: the origin is (-2, 0, 0) from the pivot, turned to (0, -2, 0).
    const P origin = Apply(FromSdk(node->EvaluateLocalTransform(Sec(0))), {0, 0, 0});
    EXPECT_NEAR(3.0, origin[0], 1e-12);
    EXPECT_NEAR(-2.0, origin[1], 1e-12);
}

// A take's time warps and layers, as a file read without merging them keeps them: every node
// where they put it, at the keys, between them and after the curves' last key (a warp may play
// on), in every order with a pre-rotation and without. The take's local matrix of a node without
// a pre-rotation reads the same channels, in every order.
TEST_F(KZeqNodeEvaluationTest, LayeredAndWarpedTakesAtEveryTime) {
    for (int order = 0; order <= 6; ++order)
        for (bool pre : {false, true})
            for (unsigned kind : TakeLayeringKinds()) {
                std::vector<std::vector<std::pair<double, FileTransformValues>>> keys(3);
                std::vector<TakeLayering> layerings;
                std::vector<FileTransformValues> defaults;
                for (auto& nodeKeys : keys) {
                    const FileTransformValues first = RandomFileValues(mRandom, pre ? kPreRotation : 0u, order);
                    defaults.push_back(first);
                    for (double seconds : {0.0, 1.0, 2.0}) {
                        const FileTransformValues v =
                            RandomFileValues(mRandom, kTranslation | kRotation | kScaling, order);
                        FileTransformValues keyed = first;
                        std::copy(v.t, v.t + 3, keyed.t);
                        std::copy(v.r, v.r + 3, keyed.r);
                        std::copy(v.s, v.s + 3, keyed.s);
                        nodeKeys.emplace_back(seconds, keyed);
                    }
                    layerings.push_back(RandomTakeLayering(mRandom, kind));
                }
                const std::vector<KZeqNode*> nodes = Chain(defaults);
                for (std::size_t i = 0; i < nodes.size(); ++i) {
                    KeyFileValues(*nodes[i], "Take 001", keys[i]);
                    AddTakeLayering(*nodes[i], "Take 001", layerings[i]);
                }
                for (double seconds : {0.0, 0.5, 1.0, 1.25, 2.0, 3.0, 4.0}) {
                    std::vector<FileTransformValues> at;
                    for (std::size_t i = 0; i < nodes.size(); ++i)
                        at.push_back(LayeredValues(layerings[i], seconds,
                                                   [&](double s) { return ValuesBetweenKeys(keys[i], s); }));
                    for (std::size_t i = 0; i < nodes.size(); ++i) {
                        const std::string what = TakeKindsName(kind) + ", order " + std::to_string(order) +
                                                 (pre ? ", pre-rotation" : "") + ", node " + std::to_string(i) +
                                                 " at " + std::to_string(seconds) + " s";
                        ExpectSamePlacement(Global(at, i), nodes[i]->EvaluateGlobalTransform(Sec(seconds)), what,
                                            1e-5);
                        if (!pre)
                            ExpectSamePlacement(Global(at, i), nodes[i]->GetGlobalFromCurrentTake(Sec(seconds)),
                                                what + ", the take's local matrices", 1e-5);
                    }
                }
            }
}

// Generated takes with layers of one to three channels, constant and keyed, and time warps on the
// whole transform, on a vector and on a channel, composed: every node where the take puts it, at
// its keys, between them, at the warps' ends and after, in every order with a pre-rotation and
// without, against the model's own evaluation (kfiletakemodel_support.h).
TEST_F(KZeqNodeEvaluationTest, GeneratedLayersAndComposedWarpsAtEveryTime) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        ModelGenerator generator(seed);
        ModelOptions options;
        options.mChannelWarps = true;
        options.mChain = seed % 3 == 0;
        const ModelTake take = generator.Take(options);
        std::vector<zeqsdk_400::KFCurveNode*> warps = MakeModelWarps(take);
        std::vector<KZeqNode*> nodes;
        for (const ModelNode& n : take.mNodes) {
            KZeqNode* node = mManager.CreateKZeqNode(("seed" + std::to_string(seed) + n.mName).c_str());
            if (n.mParent >= 0) {
                EXPECT_TRUE(nodes[static_cast<std::size_t>(n.mParent)]->AddChild(node));
            }
            ApplyModelNode(*node, "Take 001", n, warps);
            nodes.push_back(node);
        }
        for (std::size_t i = 0; i < nodes.size(); ++i)
            for (double t : take.CheckTimes(i, false))
                ExpectSamePlacement(take.World(i, t), nodes[i]->EvaluateGlobalTransform(Sec(t)),
                                    "seed " + std::to_string(seed) + ", " + take.mNodes[i].mName + " (order " +
                                        std::to_string(take.mNodes[i].mOrder) + ") at " + std::to_string(t) + " s",
                                    1e-5);
        DestroyModelWarps(warps);
    }
}

}  // namespace

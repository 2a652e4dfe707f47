#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "fcurve/tests/fcurvenode_test_support.h"

using namespace nodetest;

namespace {

const float kHalf = static_cast<float>(std::sqrt(0.5));

// A warp mapping t to 2t seconds.
KFCurveNode* DoublingWarp() {
    KFCurveNode* warp = Leaf("TW");
    Keys(*warp->FCurveGet(), {{0, 0}, {10, 20}}, kLinear);
    return warp;
}

// Angles (XYZ) of the rotation a, then b.
std::vector<double> Compose(double ax, double ay, double az, double bx, double by, double bz) {
    KgeRMatrix a, b, product;
    KmXYZtoR(a, ax, ay, az);
    KmXYZtoR(b, bx, by, bz);
    KmRR(product, a, b);
    std::vector<double> angles(3);
    KmRtoVXYZ(angles.data(), product);
    return angles;
}

TEST(KFCurveNodeEvaluate, PlainRunIsDepthFirstAndARotationNodeEndsAfterItsValues) {
    NodePtr node(Leaf("Own", 1.0f));
    node->Add(Vector("V", nullptr, KFCL_NOLAYER, {2, 3}));
    node->Add(Leaf("L", 4.0f));
    ExpectNear(Eval(*node, KTime(0)), {1, 2, 3, 4});

    // The sibling after the rotation must not overwrite it.
    NodePtr transform(KFCurveNodeCreate("Transform"));
    transform->Add(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, {1, 2, 3}));
    transform->Add(Vector("R", &KDataTypeLclRotation, KFCL_EULER_XYZ, {10, 20, 30}));
    transform->Add(Vector("S", &KDataTypeLclScaling, KFCL_MULT, {4, 5, 6}));
    ExpectNear(Eval(*transform, KTime(0)), {1, 2, 3, 10, 20, 30, 4, 5, 6}, 1e-5);
}

TEST(KFCurveNodeEvaluate, LayersCombineWithTheBaseByType) {
    // A node of a layer type with base values and layers 1, 2, ... of values: the run it gives.
    const std::vector<float> tens(8, 10.0f), hundreds(8, 100.0f);
    const struct {
        KDataType* type;
        int layerType;
        std::vector<float> base;
        std::vector<std::vector<float>> layers;
        std::vector<double> expected;
    } cases[] = {
        {&KDataTypeLclTranslation, KFCL_ADD, {3, 1, 2}, {{2, 1, 4}}, {5, 2, 6}},
        {&KDataTypeLclScaling, KFCL_MULT, {3, 1, 2}, {{2, 1, 4}}, {6, 1, 8}},
        {nullptr, KFCL_NOLAYER, {3, 1, 2}, {{2, 1, 4}}, {5, 2, 6}},
        {&KDataTypeLclRotation, KFCL_EULER_XYZ, {0, 0, 30}, {{0, 0, 15}}, {0, 0, 45}},  // about one axis: added
        {nullptr, KFCL_QUAT, {0, 0, 0, 1}, {}, {0, 0, 0}},  // a quaternion node gives Euler angles
        {nullptr, KFCL_QUAT, {0, 0, kHalf, kHalf}, {}, {0, 0, 90}},
        // More channels than a quaternion: every one is combined, none overflows.
        {nullptr, KFCL_ADD, {1, 2, 3, 4, 5, 6, 7, 8}, {tens, hundreds}, {111, 112, 113, 114, 115, 116, 117, 118}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layerType);
        NodePtr node(KFCurveNodeCreate("V", c.type, c.layerType, 0));
        for (std::size_t i = 0; i < c.base.size(); ++i) node->Add(Leaf(kChannelNames[i], c.base[i]));
        for (std::size_t id = 0; id < c.layers.size(); ++id)
            for (std::size_t i = 0; i < c.layers[id].size(); ++i)
                C(*LayerAt(*node, static_cast<int>(id + 1)), static_cast<int>(i)).SetValue(c.layers[id][i]);
        const std::vector<double> run = Eval(*node, KTime(0));
        ASSERT_EQ(run.size(), c.expected.size());
        for (std::size_t i = 0; i < run.size(); ++i) EXPECT_NEAR(run[i], c.expected[i], 1e-4) << i;
    }
}

TEST(KFCurveNodeEvaluate, EulerAndQuaternionLayersComposeAsRotationsWhateverTheirWidth) {
    NodePtr node(Vector("R", &KDataTypeLclRotation, KFCL_EULER_XYZ, {30, 0, 0}));
    LayerAt(*node, 1, {0, 40, 0});
    ExpectSameRotation(Eval(*node, KTime(0)).data(), Compose(30, 0, 0, 0, 40, 0).data(), 1e-4);
    // 90 degrees about Z, then a layer of another 90.
    NodePtr quaternion(Vector("Q", nullptr, KFCL_QUAT, {0, 0, kHalf, kHalf}));
    LayerAt(*quaternion, 1, {0, 0, kHalf, kHalf});
    const double halfTurn[3] = {0, 0, 180};
    ExpectSameRotation(Eval(*quaternion, KTime(0)).data(), halfTurn, 1e-4);
    // A layer wider than its base: only what both hold combines.
    NodePtr narrow(Vector("V", nullptr, KFCL_ADD, {1, 2}));
    narrow->LayerSet(Vector("V", nullptr, KFCL_ADD, {10, 20, 30, 40, 50, 60, 70, 80}));
    ExpectNear(Eval(*narrow, KTime(0)), {11, 22});
}

TEST(KFCurveNodeEvaluate, TimeWarpBendsTheTimeHoweverWideItIs) {
    NodePtr node(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, {0, 0, 0}));
    Keys(C(node, 0), {{0, 0}, {10, 100}}, kLinear);
    KFCurveNode* warp = DoublingWarp();
    node->TimeWarpSet(warp);
    EXPECT_NEAR(Eval(*node, Sec(2.0))[0], 40.0, 1e-3);
    // A warp wider than one value still gives its first.
    warp->Add(Vector("Extra", nullptr, KFCL_NOLAYER, {1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_NEAR(Eval(*node, Sec(2.0))[0], 40.0, 1e-3);

    // A warp leading back into the node is cut.
    NodePtr loop(Vector("T", nullptr, KFCL_ADD, {1, 2, 3}));
    loop->Get(0)->TimeWarpSet(loop.get());
    ExpectNear(Eval(*loop, KTime(0)), {1, 2, 3});
}

TEST(KFCurveNodeCandidate, MultiplicativeLayerOverAZeroProductKeepsItsNeutralValue) {
    NodePtr node(Vector("S", &KDataTypeLclScaling, KFCL_MULT, {0, 2, 1}));
    LayerAt(*node, 1, {1, 1, 1});
    double total[3] = {5, 8, 0}, out[3];
    node->ComputeCandidateForLayer(out, total, KTime(0), 1);
    EXPECT_EQ(std::vector<double>(out, out + 3), (std::vector<double>{1, 4, 0}));
}

TEST(KFCurveNodeCandidate, KeyedSplitIntoAnyLayerReproducesTheTotal) {
    // Layers 0, 1 (keyed) and 2 (values) of each type; a total candidate is split
    // into one layer, keyed, and the whole node must then evaluate to the total.
    const struct {
        KDataType* type;
        int layerType;
        std::vector<float> base, layer1, layer2;
        std::vector<double> total;
    } cases[] = {
        {&KDataTypeLclTranslation, KFCL_ADD, {1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {20, -4, 0.5}},
        {&KDataTypeLclScaling, KFCL_MULT, {1, 2, 4}, {2, 2, 2}, {0.5, 4, 1}, {3, 6, 12}},
        {&KDataTypeLclRotation, KFCL_EULER_XYZ, {10, 20, 30}, {-15, 5, 40}, {0, 30, 10}, {35, -20, 70}},
        {nullptr, KFCL_QUAT, {0.2f, 0.1f, 0.3f, 0.927f}, {0, 0.3f, 0.1f, 0.949f}, {0.25f, 0, 0.2f, 0.947f}, {10, 60, -35}},
    };
    for (const auto& c : cases)
        // Into the base (two layers above it), the middle and the top layer.
        for (int target = 0; target <= 2; ++target) {
            SCOPED_TRACE(::testing::Message() << "type " << c.layerType << " into " << target);
            NodePtr node(KFCurveNodeCreate("N", c.type, c.layerType, 0));
            for (std::size_t i = 0; i < c.base.size(); ++i) node->Add(Leaf(kChannelNames[i]));
            KFCurveNode* one = LayerAt(*node, 1);
            KFCurveNode* two = LayerAt(*node, 2);
            for (int i = 0; i < static_cast<int>(c.base.size()); ++i) {
                Keys(C(node, i), {{0, c.base[i]}, {2, c.base[i]}}, kLinear);
                Keys(C(*one, i), {{0, c.layer1[i]}, {2, c.layer1[i]}}, kLinear);
                C(*two, i).SetValue(c.layer2[i]);
            }
            const KTime time = Sec(1.0);
            std::vector<double> total = c.total;
            EXPECT_EQ(node->CandidateSet(time, total.data(), target), total.data() + total.size());
            ExpectNear(Eval(*node, time, true), {total[0], total[1], total[2]});
            node->FromTotalCandidateToSpecificCandidate(target);
            node->CandidateKeySpecificLayer(nullptr, target, nullptr, kCubic, KFCURVE_TANGEANT_USER);
            node->CandidateClear(0, true);
            EXPECT_FALSE(node->IsCandidate());
            const std::vector<double> run = Eval(*node, time);
            ASSERT_EQ(run.size(), 3u);
            if (c.layerType == KFCL_EULER_XYZ || c.layerType == KFCL_QUAT)
                ExpectSameRotation(run.data(), total.data());
            else
                ExpectNear(run, {total[0], total[1], total[2]}, 1e-4);
        }
}

}  // namespace

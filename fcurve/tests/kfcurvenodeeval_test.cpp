#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "fcurve/tests/fcurvenode_test_support.h"

using namespace nodetest;

namespace {

// Gives layer id of base the constant values.
void SetLayer(KFCurveNode& base, int id, std::initializer_list<float> values) {
    base.CreateLayerAt(id);
    KFCurveNode* layer = base.LayerGet(id);
    ASSERT_NE(layer, nullptr);
    int i = 0;
    for (float v : values) C(*layer, i++).SetValue(v);
}

// A warp mapping t to 2t seconds.
KFCurveNode* DoublingWarp() {
    KFCurveNode* warp = Leaf("TW");
    Keys(*warp->FCurveGet(), {{0, 0}, {10, 20}}, kLinear);
    return warp;
}

TEST(KFCurveNodeEvaluate, PlainRunIsDepthFirstAndARotationNodeEndsAfterItsValues) {
    NodePtr node(Leaf("Own", 1.0f));
    node->Add(Vector("V", nullptr, KFCL_NOLAYER, {2, 3}));
    node->Add(Leaf("L", 4.0f));
    double values[4];
    EXPECT_EQ(node->Evaluate(values, KTime(0)), values + 4);
    EXPECT_EQ(std::vector<double>(values, values + 4), (std::vector<double>{1, 2, 3, 4}));

    // The sibling after the rotation must not overwrite it.
    NodePtr transform(KFCurveNodeCreate("Transform"));
    transform->Add(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, {1, 2, 3}));
    transform->Add(Vector("R", &KDataTypeLclRotation, KFCL_EULER_XYZ, {10, 20, 30}));
    transform->Add(Vector("S", &KDataTypeLclScaling, KFCL_MULT, {4, 5, 6}));
    ExpectNear(Eval(*transform, KTime(0)), {1, 2, 3, 10, 20, 30, 4, 5, 6}, 1e-5);
    EXPECT_EQ(transform->Get(1)->GeneralEvaluate(values, KTime(0)), values + 3);
}

struct LayerCase {
    const char* label;
    KDataType* type;
    int layerType;
    double expectedX;
};
void PrintTo(const LayerCase& c, std::ostream* os) { *os << c.label; }

class KFCurveNodeLayerTypes : public ::testing::TestWithParam<LayerCase> {};

TEST_P(KFCurveNodeLayerTypes, LayerCombinesWithTheBase) {
    NodePtr node(Vector("V", GetParam().type, GetParam().layerType, {3, 1, 2}));
    SetLayer(*node, 1, {2, 1, 4});
    const std::vector<double> run = Eval(*node, KTime(0));
    ASSERT_EQ(run.size(), 3u);
    EXPECT_NEAR(run[0], GetParam().expectedX, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(AddAndMultiply, KFCurveNodeLayerTypes,
                         ::testing::Values(LayerCase{"Add", &KDataTypeLclTranslation, KFCL_ADD, 5.0},
                                           LayerCase{"Mult", &KDataTypeLclScaling, KFCL_MULT, 6.0},
                                           LayerCase{"None", nullptr, KFCL_NOLAYER, 5.0}),
                         [](const ::testing::TestParamInfo<LayerCase>& info) { return std::string(info.param.label); });

TEST(KFCurveNodeEvaluate, EulerAndQuaternionLayersComposeAsRotations) {
    NodePtr node(Vector("R", &KDataTypeLclRotation, KFCL_EULER_XYZ, {30, 0, 0}));
    SetLayer(*node, 1, {0, 40, 0});
    KgeRMatrix base, layer, product;
    KmXYZtoR(base, 30, 0, 0);
    KmXYZtoR(layer, 0, 40, 0);
    KmRR(product, base, layer);
    double angles[3];
    KmRtoVXYZ(angles, product);
    const std::vector<double> run = Eval(*node, KTime(0));
    ASSERT_EQ(run.size(), 3u);
    ExpectSameRotation(run.data(), angles, 1e-4);
    // About one axis the angles simply add.
    NodePtr z(Vector("R", &KDataTypeLclRotation, KFCL_EULER_XYZ, {0, 0, 30}));
    SetLayer(*z, 1, {0, 0, 15});
    ExpectNear(Eval(*z, KTime(0)), {0, 0, 45});

    // A quaternion node gives Euler angles: 90 degrees about Z, then a layer of another 90.
    NodePtr identity(Vector("Q", nullptr, KFCL_QUAT, {0, 0, 0, 1}));
    ExpectNear(Eval(*identity, KTime(0)), {0, 0, 0});
    const float h = static_cast<float>(std::sqrt(0.5));
    NodePtr quaternion(Vector("Q", nullptr, KFCL_QUAT, {0, 0, h, h}));
    ExpectNear(Eval(*quaternion, KTime(0)), {0, 0, 90}, 1e-4);
    SetLayer(*quaternion, 1, {0, 0, h, h});
    const double halfTurn[3] = {0, 0, 180};
    ExpectSameRotation(Eval(*quaternion, KTime(0)).data(), halfTurn, 1e-4);
}

TEST(KFCurveNodeEvaluate, WideNodesAndLayersOfAnotherShapeStayInTheirBuffers) {
    // More channels than a quaternion: every one is combined, none overflows.
    NodePtr wide(Vector("Wide", nullptr, KFCL_ADD, {1, 2, 3, 4, 5, 6, 7, 8}));
    SetLayer(*wide, 1, {10, 10, 10, 10, 10, 10, 10, 10});
    SetLayer(*wide, 2, {100, 100, 100, 100, 100, 100, 100, 100});
    ExpectNear(Eval(*wide, KTime(0)), {111, 112, 113, 114, 115, 116, 117, 118});
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
    warp->Get(0)->Add(Vector("More", nullptr, KFCL_NOLAYER, {1, 2, 3, 4, 5, 6, 7, 8}));
    warp->Get(0)->Add(Vector("More", nullptr, KFCL_NOLAYER, {1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_NEAR(Eval(*node, Sec(2.0))[0], 40.0, 1e-3);

    // A warp leading back into the node is cut.
    NodePtr loop(Vector("T", nullptr, KFCL_ADD, {1, 2, 3}));
    loop->Get(0)->TimeWarpSet(loop.get());
    ExpectNear(Eval(*loop, KTime(0)), {1, 2, 3});
}

TEST(KFCurveNodeEvaluate, SpecificLayerAlone) {
    NodePtr node(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, {1, 2, 3}));
    SetLayer(*node, 2, {10, 20, 30});
    double values[3] = {-1, -1, -1};
    EXPECT_EQ(node->EvaluateSpecificLayer(values, KTime(0), 2), values + 3);
    EXPECT_EQ(std::vector<double>(values, values + 3), (std::vector<double>{10, 20, 30}));
    double untouched[3] = {-1, -1, -1};
    EXPECT_EQ(node->EvaluateSpecificLayer(untouched, KTime(0), 1), untouched);
    EXPECT_EQ(node->EvaluateSpecificLayer(untouched, KTime(0), 5), untouched);
    EXPECT_EQ(untouched[0], -1);
}

TEST(KFCurveNodeEvaluate, QuaternionInterpolationTakesTheShortestArc) {
    NodePtr node(Vector("R", &KDataTypeLclRotation, KFCL_EULER_XYZ, {0, 0, 0}));
    const double first[3] = {90, 0, 0}, second[3] = {0, 90, 0};
    for (int c = 0; c < 3; ++c)
        Keys(C(node, c), {{0, static_cast<float>(first[c])}, {1, static_cast<float>(second[c])}}, kLinear);
    node->SetUseQuaternion(true);
    ExpectSameRotation(Eval(*node, Sec(0.0)).data(), first, 1e-4);
    ExpectSameRotation(Eval(*node, Sec(1.0)).data(), second, 1e-4);

    KgeRMatrix a, b, relative, half, expected;
    KmXYZtoR(a, 90, 0, 0);
    KmXYZtoR(b, 0, 90, 0);
    KmRiR(relative, a, b);
    KgeRVector arc;
    KVXRotationOrder(KVXRotationOrder::eSphericXYZ).M2V(arc, relative);
    KVXRotationOrder(KVXRotationOrder::eSphericXYZ).V2M(half, KgeRVector(arc[0] / 2, arc[1] / 2, arc[2] / 2));
    KmRR(expected, a, half);
    double angles[3];
    KmRtoVXYZ(angles, expected);
    ExpectSameRotation(Eval(*node, Sec(0.5)).data(), angles, 1e-4);
    // Channel by channel the result differs.
    node->SetUseQuaternion(false);
    const double channelWise[3] = {45, 45, 0};
    ExpectSameRotation(Eval(*node, Sec(0.5)).data(), channelWise, 1e-4);

    // Cubic keys about one axis: through every key, always turning the same way.
    NodePtr cubic(Vector("R", &KDataTypeLclRotation, KFCL_EULER_XYZ, {0, 0, 0}));
    const float z[4] = {0, 40, 90, 100};
    for (int k = 0; k < 4; ++k)
        for (int c = 0; c < 3; ++c) Add(C(cubic, c), k, MakeKey(c == 2 ? z[k] : 0.0f));  // flat tangents
    cubic->SetUseQuaternion(true);
    double previous = -1.0;
    for (int step = 0; step <= 30; ++step) {
        const std::vector<double> run = Eval(*cubic, Sec(step * 0.1));
        ASSERT_EQ(run.size(), 3u);
        if (step % 10 == 0) {
            EXPECT_NEAR(run[2], z[step / 10], 1e-3);
        }
        EXPECT_GT(run[2], previous - 1e-9);
        previous = run[2];
    }
}

TEST(KFCurveNodeCandidate, CacheHoldsTheRunItGaveIncludingQuaternions) {
    NodePtr node(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, {1, 2, 3}));
    ExpectNear(Eval(*node, KTime(5), true), {1, 2, 3});
    EXPECT_TRUE(node->IsCandidate());
    C(node, 0).SetValue(9.0f);
    ExpectNear(Eval(*node, KTime(5), true), {1, 2, 3});
    node->CandidateClear();
    ExpectNear(Eval(*node, KTime(5), true), {9, 2, 3});

    // A base quaternion node caches its Euler angles, not its components.
    const float h = static_cast<float>(std::sqrt(0.5));
    NodePtr quaternion(Vector("Q", nullptr, KFCL_QUAT, {h, 0, 0, h}));
    const std::vector<double> first = Eval(*quaternion, KTime(3), true);
    ExpectNear(first, {90, 0, 0}, 1e-4);
    EXPECT_EQ(Eval(*quaternion, KTime(3), true), first);
}

TEST(KFCurveNodeCandidate, MultiplicativeLayerOverAZeroProductKeepsItsNeutralValue) {
    NodePtr node(Vector("S", &KDataTypeLclScaling, KFCL_MULT, {0, 2, 1}));
    SetLayer(*node, 1, {1, 1, 1});
    double total[3] = {5, 8, 0}, out[3];
    node->ComputeCandidateForLayer(out, total, KTime(0), 1);
    EXPECT_EQ(std::vector<double>(out, out + 3), (std::vector<double>{1, 4, 0}));
}

// Layers 0, 1 and 2 with known values; a total candidate is split into one
// layer, keyed, and the whole node must then evaluate to the total.
struct SplitCase {
    const char* label;
    KDataType* type;
    int layerType;
    std::vector<float> base, layer1, layer2;
    std::vector<double> total;
};
void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.label; }

class KFCurveNodeCandidateSplit : public ::testing::TestWithParam<SplitCase> {};

NodePtr MakeLayered(const SplitCase& c) {
    NodePtr node(KFCurveNodeCreate("N", c.type, c.layerType, 0));
    for (std::size_t i = 0; i < c.base.size(); ++i) {
        node->Add(Leaf(kChannelNames[i], c.base[i]));
        Keys(C(node, static_cast<int>(i)), {{0, c.base[i]}, {2, c.base[i]}}, kLinear);
    }
    node->CreateLayerAt(1);
    node->CreateLayerAt(2);
    for (std::size_t i = 0; i < c.base.size(); ++i) {
        Keys(C(*node->LayerGet(1), static_cast<int>(i)), {{0, c.layer1[i]}, {2, c.layer1[i]}}, kLinear);
        C(*node->LayerGet(2), static_cast<int>(i)).SetValue(c.layer2[i]);
    }
    return node;
}

TEST_P(KFCurveNodeCandidateSplit, KeyedSplitReproducesTheTotal) {
    const SplitCase& c = GetParam();
    // Into the base (two layers above it), the middle and the top layer.
    for (int target = 0; target <= 2; ++target) {
        SCOPED_TRACE(target);
        NodePtr node = MakeLayered(c);
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

INSTANTIATE_TEST_SUITE_P(
    EachLayerType, KFCurveNodeCandidateSplit,
    ::testing::Values(
        SplitCase{"Add", &KDataTypeLclTranslation, KFCL_ADD, {1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {20, -4, 0.5}},
        SplitCase{"Mult", &KDataTypeLclScaling, KFCL_MULT, {1, 2, 4}, {2, 2, 2}, {0.5, 4, 1}, {3, 6, 12}},
        SplitCase{
            "Euler", &KDataTypeLclRotation, KFCL_EULER_XYZ, {10, 20, 30}, {-15, 5, 40}, {0, 30, 10}, {35, -20, 70}},
        SplitCase{"Quat",
                  nullptr,
                  KFCL_QUAT,
                  {0.2f, 0.1f, 0.3f, 0.927f},
                  {0.0f, 0.3f, 0.1f, 0.949f},
                  {0.25f, 0.0f, 0.2f, 0.947f},
                  {10, 60, -35}}),
    [](const ::testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.label); });

TEST(KFCurveNodeCandidate, KeylessLayerChannelsTakeTheirShareAsValue) {
    NodePtr node(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, {1, 2, 3}));
    double total[3] = {10, 10, 10};
    node->CandidateSet(KTime(0), total, 1);
    KFCurveNode* layer = node->LayerGet(1);
    ASSERT_NE(layer, nullptr);
    EXPECT_FLOAT_EQ(C(*layer, 0).GetValue(), 9.0f);
    EXPECT_FLOAT_EQ(C(*layer, 2).GetValue(), 7.0f);
    double held[3], split[3];
    EXPECT_EQ(node->CandidateGet(held), held + 3);
    EXPECT_EQ(held[1], 10.0);
    KTime when;
    EXPECT_EQ(node->CandidateGetSpecificLayer(split, when, 1), split + 3);
    EXPECT_EQ(when, KTime(0));
    EXPECT_NEAR(split[1], 8.0, 1e-6);
}

TEST(KFCurveNodeCandidate, SplitOfAWarpedNodeLandsAtTheWarpedTime) {
    NodePtr node(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, {1, 2, 3}));
    node->TimeWarpSet(DoublingWarp());
    node->CreateLayerAt(1);
    KeyAll(*node->LayerGet(1), 0, {0, 0, 0});
    double total[3] = {5, 5, 5};
    node->CandidateSet(Sec(1.0), total, 1);
    node->FromTotalCandidateToSpecificCandidate(1);
    // Time 1 s is 2 s for the curves; the split must not warp it again.
    EXPECT_EQ(C(*node->LayerGet(1), 0).CandidateGetTime(), Sec(2.0));
    node->CandidateKeySpecificLayer(nullptr, 1, nullptr, kLinear, KFCURVE_TANGEANT_USER);
    node->CandidateClear(0, true);
    ExpectNear(Eval(*node, Sec(1.0)), {5, 5, 5}, 1e-5);
}

TEST(KFCurveNodeCandidate, SavedStateRestoresCandidatesAndValues) {
    NodePtr node(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, {1, 2, 3, 4, 5}));
    double values[5] = {6, 7, 8, 9, 10};
    node->CandidateSetSpecificLayer(KTime(7), values, 0);
    KFCurveNodeCandidateState state;
    node->GetCandidateState(state);
    ASSERT_EQ(state.mSubStates.size(), 5u);
    node->CandidateClear();
    C(node, 4).SetValue(0.0f);
    node->SetCandidateState(state);
    EXPECT_TRUE(C(node, 4).IsCandidate());
    EXPECT_FLOAT_EQ(C(node, 4).GetValue(), 10.0f);
}

}  // namespace

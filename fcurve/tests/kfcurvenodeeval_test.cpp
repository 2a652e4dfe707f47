#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "base/kgemath.h"
#include "base/kvxrotationorder.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "object/kdatatype.h"

using namespace zeqsdk_400;

namespace {

KTime Seconds(double s) {
    KTime t;
    t.SetSecondDouble(s);
    return t;
}

void AddKey(KFCurve* curve, double seconds, float value, unsigned int interpolation = KFCURVE_INTERPOLATION_LINEAR) {
    KFCurveKey key;
    key.Set(Seconds(seconds), value, interpolation, KFCURVE_TANGEANT_USER, 0, 0, KFCURVE_WEIGHTED_NONE,
            KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0, 0);
    curve->KeyAdd(Seconds(seconds), key);
}

KFCurveNode* Leaf(const char* name, float value) {
    KFCurveNode* node = KFCurveNodeCreate(name, static_cast<KDataType*>(nullptr), KFCL_NOLAYER, 0);
    node->FCurveSet(KFCurveCreate(), true);
    node->FCurveGet()->SetValue(value);
    return node;
}

// A vector node whose channels hold constant values.
KFCurveNode* Vector(const char* name, KDataType* type, int layerType, std::initializer_list<float> values) {
    static const char* const kNames[] = {"X", "Y", "Z", "W", "U", "V", "P", "Q"};
    KFCurveNode* node = KFCurveNodeCreate(name, type, layerType, 0);
    int i = 0;
    for (float v : values) node->Add(Leaf(kNames[i++], v));
    return node;
}

// Sets the constant values of a layer's channels.
void SetLayer(KFCurveNode* base, int id, std::initializer_list<float> values) {
    base->CreateLayerAt(id);
    KFCurveNode* layer = base->LayerGet(id);
    ASSERT_NE(layer, nullptr);
    int i = 0;
    for (float v : values) layer->Get(i++)->FCurveGet()->SetValue(v);
}

std::vector<double> Eval(KFCurveNode* node, KTime time, bool candidate = false) {
    std::vector<double> values(static_cast<std::size_t>(node->GetChannelCount()) + 4, -777.0);
    const double* end = node->GeneralEvaluate(values.data(), time, nullptr, candidate);
    values.resize(static_cast<std::size_t>(end - values.data()));
    return values;
}

void ExpectRun(const std::vector<double>& run, std::initializer_list<double> expected, double tolerance = 1e-9) {
    ASSERT_EQ(run.size(), expected.size());
    std::size_t i = 0;
    for (double e : expected) {
        EXPECT_NEAR(run[i], e, tolerance) << "value " << i;
        ++i;
    }
}

// The rotation of three angles as a matrix, for comparing rotations.
void ExpectSameRotation(const double* a, const double* b, double tolerance = 1e-4) {
    KgeRMatrix ma, mb;
    KVXRotationOrder().V2M(ma, KgeRVector(a[0], a[1], a[2]));
    KVXRotationOrder().V2M(mb, KgeRVector(b[0], b[1], b[2]));
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(ma[r][c], mb[r][c], tolerance) << r << "," << c;
}

struct Deleter {
    void operator()(KFCurveNode* node) const { node->Destroy(); }
};
using NodePtr = std::unique_ptr<KFCurveNode, Deleter>;

TEST(KFCurveNodeEvaluate, PlainRunIsDepthFirst) {
    NodePtr node(Leaf("Own", 1.0f));
    node->Add(Vector("V", nullptr, KFCL_NOLAYER, {2.0f, 3.0f}));
    node->Add(Leaf("L", 4.0f));
    double values[4];
    EXPECT_EQ(node->Evaluate(values, KTime(0)), values + 4);
    EXPECT_EQ(std::vector<double>(values, values + 4), (std::vector<double>{1, 2, 3, 4}));
}

TEST(KFCurveNodeEvaluate, SiblingsAfterARotationNodeKeepItsValues) {
    NodePtr transform(KFCurveNodeCreate("Transform"));
    transform->Add(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, {1, 2, 3}));
    transform->Add(Vector("R", &KDataTypeLclRotation, KFCL_EULER_XYZ, {10, 20, 30}));
    transform->Add(Vector("S", &KDataTypeLclScaling, KFCL_MULT, {4, 5, 6}));
    ExpectRun(Eval(transform.get(), KTime(0)), {1, 2, 3, 10, 20, 30, 4, 5, 6}, 1e-5);
    double values[3];
    EXPECT_EQ(transform->Get(1)->GeneralEvaluate(values, KTime(0)), values + 3);
}

struct LayerCase {
    const char* label;
    KDataType* type;
    int layerType;
    double expectedX;
};

class KFCurveNodeLayerTypes : public ::testing::TestWithParam<LayerCase> {};

TEST_P(KFCurveNodeLayerTypes, LayerCombinesWithTheBase) {
    const LayerCase& c = GetParam();
    NodePtr node(Vector("V", c.type, c.layerType, {3, 1, 2}));
    SetLayer(node.get(), 1, {2, 1, 4});
    const std::vector<double> run = Eval(node.get(), KTime(0));
    ASSERT_EQ(run.size(), 3u);
    EXPECT_NEAR(run[0], c.expectedX, 1e-9);
}

INSTANTIATE_TEST_SUITE_P(AddAndMultiply, KFCurveNodeLayerTypes,
                         ::testing::Values(LayerCase{"Add", &KDataTypeLclTranslation, KFCL_ADD, 5.0},
                                           LayerCase{"Mult", &KDataTypeLclScaling, KFCL_MULT, 6.0},
                                           LayerCase{"None", nullptr, KFCL_NOLAYER, 5.0}),
                         [](const ::testing::TestParamInfo<LayerCase>& info) { return std::string(info.param.label); });

TEST(KFCurveNodeEvaluate, EulerLayersComposeAsRotations) {
    NodePtr node(Vector("R", &KDataTypeLclRotation, KFCL_EULER_XYZ, {30, 0, 0}));
    SetLayer(node.get(), 1, {0, 40, 0});
    const std::vector<double> run = Eval(node.get(), KTime(0));
    ASSERT_EQ(run.size(), 3u);
    KgeRMatrix base, layer, expected;
    KmXYZtoR(base, 30, 0, 0);
    KmXYZtoR(layer, 0, 40, 0);
    KmRR(expected, base, layer);
    double angles[3];
    KmRtoVXYZ(angles, expected);
    ExpectSameRotation(run.data(), angles);

    // About one axis the angles simply add.
    NodePtr z(Vector("R", &KDataTypeLclRotation, KFCL_EULER_XYZ, {0, 0, 30}));
    SetLayer(z.get(), 1, {0, 0, 15});
    ExpectRun(Eval(z.get(), KTime(0)), {0, 0, 45}, 1e-9);
}

TEST(KFCurveNodeEvaluate, QuaternionNodeGivesEulerAngles) {
    NodePtr identity(Vector("Q", nullptr, KFCL_QUAT, {0, 0, 0, 1}));
    ExpectRun(Eval(identity.get(), KTime(0)), {0, 0, 0});

    // 90 degrees about Z, then a layer of another 90 degrees about Z.
    const float h = static_cast<float>(std::sqrt(0.5));
    NodePtr node(Vector("Q", nullptr, KFCL_QUAT, {0, 0, h, h}));
    ExpectRun(Eval(node.get(), KTime(0)), {0, 0, 90}, 1e-4);
    SetLayer(node.get(), 1, {0, 0, h, h});
    const std::vector<double> run = Eval(node.get(), KTime(0));
    const double expected[3] = {0, 0, 180};
    ASSERT_EQ(run.size(), 3u);
    ExpectSameRotation(run.data(), expected);
}

TEST(KFCurveNodeEvaluate, WideNodesCombineEveryChannel) {
    // More channels than a quaternion: every one is combined, none overflows.
    NodePtr node(Vector("Wide", nullptr, KFCL_ADD, {1, 2, 3, 4, 5, 6, 7, 8}));
    SetLayer(node.get(), 1, {10, 10, 10, 10, 10, 10, 10, 10});
    SetLayer(node.get(), 2, {100, 100, 100, 100, 100, 100, 100, 100});
    ExpectRun(Eval(node.get(), KTime(0)), {111, 112, 113, 114, 115, 116, 117, 118});
}

TEST(KFCurveNodeEvaluate, LayersOfAnotherShapeOnlyCombineWhatBothHold) {
    NodePtr node(Vector("V", nullptr, KFCL_ADD, {1, 2}));
    KFCurveNode* layer = Vector("V", nullptr, KFCL_ADD, {10, 20, 30, 40, 50, 60, 70, 80});
    node->LayerSet(layer);
    ExpectRun(Eval(node.get(), KTime(0)), {11, 22});
}

TEST(KFCurveNodeEvaluate, TimeWarpBendsTheTime) {
    NodePtr node(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, {0, 0, 0}));
    AddKey(node->Get(0)->FCurveGet(), 0.0, 0.0f);
    AddKey(node->Get(0)->FCurveGet(), 10.0, 100.0f);
    // Time t maps to 2t seconds.
    KFCurveNode* warp = Leaf("TW", 0.0f);
    AddKey(warp->FCurveGet(), 0.0, 0.0f);
    AddKey(warp->FCurveGet(), 10.0, 20.0f);
    node->TimeWarpSet(warp);
    EXPECT_NEAR(Eval(node.get(), Seconds(2.0))[0], 40.0, 1e-3);

    // A warp that is wider than one value still gives its first.
    warp->Add(Vector("Extra", nullptr, KFCL_NOLAYER, {1, 2, 3, 4, 5, 6, 7, 8}));
    warp->Get(0)->Add(Vector("More", nullptr, KFCL_NOLAYER, {1, 2, 3, 4, 5, 6, 7, 8}));
    warp->Get(0)->Add(Vector("More", nullptr, KFCL_NOLAYER, {1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_NEAR(Eval(node.get(), Seconds(2.0))[0], 40.0, 1e-3);
}

TEST(KFCurveNodeEvaluate, TimeWarpLeadingBackIsCut) {
    NodePtr node(Vector("T", nullptr, KFCL_ADD, {1, 2, 3}));
    node->Get(0)->TimeWarpSet(node.get());
    ExpectRun(Eval(node.get(), KTime(0)), {1, 2, 3});
}

TEST(KFCurveNodeEvaluate, SpecificLayerAlone) {
    NodePtr node(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, {1, 2, 3}));
    SetLayer(node.get(), 2, {10, 20, 30});
    double values[3] = {-1, -1, -1};
    EXPECT_EQ(node->EvaluateSpecificLayer(values, KTime(0), 2), values + 3);
    EXPECT_EQ(std::vector<double>(values, values + 3), (std::vector<double>{10, 20, 30}));
    double untouched[3] = {-1, -1, -1};
    EXPECT_EQ(node->EvaluateSpecificLayer(untouched, KTime(0), 1), untouched);
    EXPECT_EQ(node->EvaluateSpecificLayer(untouched, KTime(0), 5), untouched);
    EXPECT_EQ(untouched[0], -1);

    NodePtr rotation(Vector("R", &KDataTypeLclRotation, KFCL_EULER_XYZ, {1, 2, 3}));
    EXPECT_EQ(rotation->EvaluateSpecificLayer(values, KTime(0), 0), values + 3);
}

TEST(KFCurveNodeEvaluate, RotationBetweenKeysAsOneRotation) {
    NodePtr node(Vector("R", &KDataTypeLclRotation, KFCL_EULER_XYZ, {0, 0, 0}));
    const double first[3] = {90, 0, 0};
    const double second[3] = {0, 90, 0};
    for (int c = 0; c < 3; ++c) {
        AddKey(node->Get(c)->FCurveGet(), 0.0, static_cast<float>(first[c]));
        AddKey(node->Get(c)->FCurveGet(), 1.0, static_cast<float>(second[c]));
    }
    node->SetUseQuaternion(true);
    ExpectSameRotation(Eval(node.get(), Seconds(0.0)).data(), first);
    ExpectSameRotation(Eval(node.get(), Seconds(1.0)).data(), second);

    // Half way: the rotation half way along the shortest arc between the keys.
    KgeRMatrix a, b, relative;
    KmXYZtoR(a, 90, 0, 0);
    KmXYZtoR(b, 0, 90, 0);
    KmRiR(relative, a, b);
    KgeRVector arc;
    KVXRotationOrder(KVXRotationOrder::eSphericXYZ).M2V(arc, relative);
    KgeRMatrix half, expected;
    KVXRotationOrder(KVXRotationOrder::eSphericXYZ).V2M(half, KgeRVector(arc[0] / 2, arc[1] / 2, arc[2] / 2));
    KmRR(expected, a, half);
    double angles[3];
    KmRtoVXYZ(angles, expected);
    const std::vector<double> mid = Eval(node.get(), Seconds(0.5));
    ASSERT_EQ(mid.size(), 3u);
    ExpectSameRotation(mid.data(), angles);

    // Channel by channel the result would differ.
    node->SetUseQuaternion(false);
    const double channelWise[3] = {45, 45, 0};
    ExpectSameRotation(Eval(node.get(), Seconds(0.5)).data(), channelWise);
}

TEST(KFCurveNodeEvaluate, CubicRotationPassesThroughItsKeysSmoothly) {
    NodePtr node(Vector("R", &KDataTypeLclRotation, KFCL_EULER_XYZ, {0, 0, 0}));
    const double z[4] = {0, 40, 90, 100};
    for (int k = 0; k < 4; ++k)
        for (int c = 0; c < 3; ++c)
            AddKey(node->Get(c)->FCurveGet(), k, c == 2 ? static_cast<float>(z[k]) : 0.0f, KFCURVE_INTERPOLATION_CUBIC);
    node->SetUseQuaternion(true);
    double previous = -1.0;
    for (int step = 0; step <= 30; ++step) {
        const std::vector<double> run = Eval(node.get(), Seconds(step * 0.1));
        ASSERT_EQ(run.size(), 3u);
        EXPECT_NEAR(run[0], 0.0, 1e-6);
        if (step % 10 == 0) {
            EXPECT_NEAR(run[2], z[step / 10], 1e-3);
        }
        EXPECT_GT(run[2], previous - 1e-9);  // keeps turning the same way
        previous = run[2];
    }
}

TEST(KFCurveNodeCandidate, SecondEvaluationAtTheSameTimeUsesTheCache) {
    NodePtr node(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, {1, 2, 3}));
    ExpectRun(Eval(node.get(), KTime(5), true), {1, 2, 3});
    EXPECT_TRUE(node->IsCandidate());
    node->Get(0)->FCurveGet()->SetValue(9.0f);
    ExpectRun(Eval(node.get(), KTime(5), true), {1, 2, 3});
    node->CandidateClear();
    ExpectRun(Eval(node.get(), KTime(5), true), {9, 2, 3});
}

TEST(KFCurveNodeCandidate, CachedQuaternionRunIsTheSameRun) {
    const float h = static_cast<float>(std::sqrt(0.5));
    NodePtr node(Vector("Q", nullptr, KFCL_QUAT, {h, 0, 0, h}));
    const std::vector<double> first = Eval(node.get(), KTime(3), true);
    const std::vector<double> second = Eval(node.get(), KTime(3), true);
    ExpectRun(first, {90, 0, 0}, 1e-4);
    ASSERT_EQ(second.size(), 3u);
    EXPECT_EQ(first, second);
}

TEST(KFCurveNodeCandidate, MultiplicativeLayerOverAZeroProductKeepsItsNeutralValue) {
    NodePtr node(Vector("S", &KDataTypeLclScaling, KFCL_MULT, {0, 2, 1}));
    SetLayer(node.get(), 1, {1, 1, 1});
    double total[3] = {5, 8, 0};
    double out[3];
    node->ComputeCandidateForLayer(out, total, KTime(0), 1);
    EXPECT_EQ(out[0], 1.0);
    EXPECT_EQ(out[1], 4.0);
    EXPECT_EQ(out[2], 0.0);
    for (double v : out) EXPECT_TRUE(std::isfinite(v));
}

// Layers 0, 1 and 2 with known values; a total candidate is split into layer
// 1, keyed, and the whole node must then evaluate to the total.
struct SplitCase {
    const char* label;
    KDataType* type;
    int layerType;
    std::vector<float> base, layer1, layer2;
    std::vector<double> total;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.label; }
void PrintTo(const LayerCase& c, std::ostream* os) { *os << c.label; }

class KFCurveNodeCandidateSplit : public ::testing::TestWithParam<SplitCase> {};

NodePtr MakeLayered(const SplitCase& c) {
    NodePtr node(KFCurveNodeCreate("N", c.type, c.layerType, 0));
    static const char* const kNames[] = {"X", "Y", "Z", "W"};
    for (std::size_t i = 0; i < c.base.size(); ++i) {
        KFCurveNode* leaf = Leaf(kNames[i], c.base[i]);
        AddKey(leaf->FCurveGet(), 0.0, c.base[i]);
        AddKey(leaf->FCurveGet(), 2.0, c.base[i]);
        node->Add(leaf);
    }
    node->CreateLayerAt(1);
    node->CreateLayerAt(2);
    for (std::size_t i = 0; i < c.base.size(); ++i) {
        KFCurve* one = node->LayerGet(1)->Get(static_cast<int>(i))->FCurveGet();
        AddKey(one, 0.0, c.layer1[i]);
        AddKey(one, 2.0, c.layer1[i]);
        node->LayerGet(2)->Get(static_cast<int>(i))->FCurveGet()->SetValue(c.layer2[i]);
    }
    return node;
}

TEST_P(KFCurveNodeCandidateSplit, KeyedSplitReproducesTheTotal) {
    const SplitCase& c = GetParam();
    // Into the base (two layers above it), the middle and the top layer.
    for (int target = 0; target <= 2; ++target) {
        SCOPED_TRACE(target);
        NodePtr node = MakeLayered(c);
        const KTime time = Seconds(1.0);
        std::vector<double> total = c.total;
        EXPECT_EQ(node->CandidateSet(time, total.data(), target), total.data() + total.size());
        ExpectRun(Eval(node.get(), time, true), {total[0], total[1], total[2]});

        node->FromTotalCandidateToSpecificCandidate(target);
        node->CandidateKeySpecificLayer(nullptr, target, nullptr, KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_USER);
        node->CandidateClear(0, true);
        EXPECT_FALSE(node->IsCandidate());
        const std::vector<double> run = Eval(node.get(), time);
        ASSERT_EQ(run.size(), 3u);
        if (c.layerType == KFCL_EULER_XYZ || c.layerType == KFCL_QUAT)
            ExpectSameRotation(run.data(), total.data(), 1e-5);
        else
            ExpectRun(run, {total[0], total[1], total[2]}, 1e-4);
    }
}

INSTANTIATE_TEST_SUITE_P(
    EachLayerType, KFCurveNodeCandidateSplit,
    ::testing::Values(
        SplitCase{"Add", &KDataTypeLclTranslation, KFCL_ADD, {1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {20, -4, 0.5}},
        SplitCase{"Mult", &KDataTypeLclScaling, KFCL_MULT, {1, 2, 4}, {2, 2, 2}, {0.5, 4, 1}, {3, 6, 12}},
        SplitCase{"Euler", &KDataTypeLclRotation, KFCL_EULER_XYZ, {10, 20, 30}, {-15, 5, 40}, {0, 30, 10}, {35, -20, 70}},
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
    EXPECT_FLOAT_EQ(layer->Get(0)->FCurveGet()->GetValue(), 9.0f);
    EXPECT_FLOAT_EQ(layer->Get(2)->FCurveGet()->GetValue(), 7.0f);
    double held[3];
    EXPECT_EQ(node->CandidateGet(held), held + 3);
    EXPECT_EQ(held[1], 10.0);

    KTime when;
    double split[3];
    EXPECT_EQ(node->CandidateGetSpecificLayer(split, when, 1), split + 3);
    EXPECT_EQ(when, KTime(0));
    EXPECT_NEAR(split[1], 8.0, 1e-6);
}

TEST(KFCurveNodeCandidate, SplitOfAWarpedNodeLandsAtTheWarpedTime) {
    NodePtr node(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, {1, 2, 3}));
    KFCurveNode* warp = Leaf("TW", 0.0f);
    AddKey(warp->FCurveGet(), 0.0, 0.0f);
    AddKey(warp->FCurveGet(), 10.0, 20.0f);
    node->TimeWarpSet(warp);
    node->CreateLayerAt(1);
    for (int i = 0; i < 3; ++i) AddKey(node->LayerGet(1)->Get(i)->FCurveGet(), 0.0, 0.0f);
    double total[3] = {5, 5, 5};
    node->CandidateSet(Seconds(1.0), total, 1);
    node->FromTotalCandidateToSpecificCandidate(1);
    // Time 1 s is 2 s for the curves; the split must not warp it again.
    EXPECT_EQ(node->LayerGet(1)->Get(0)->FCurveGet()->CandidateGetTime(), Seconds(2.0));
    node->CandidateKeySpecificLayer(nullptr, 1, nullptr, KFCURVE_INTERPOLATION_LINEAR, KFCURVE_TANGEANT_USER);
    node->CandidateClear(0, true);
    ExpectRun(Eval(node.get(), Seconds(1.0)), {5, 5, 5}, 1e-5);
}

TEST(KFCurveNodeCandidate, SavedStateRestoresCandidatesAndValues) {
    NodePtr node(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, {1, 2, 3, 4, 5}));
    double values[5] = {6, 7, 8, 9, 10};
    node->CandidateSetSpecificLayer(KTime(7), values, 0);
    KFCurveNodeCandidateState state;
    node->GetCandidateState(state);
    ASSERT_EQ(state.mSubStates.size(), 5u);
    node->CandidateClear();
    node->Get(4)->FCurveGet()->SetValue(0.0f);
    node->SetCandidateState(state);
    EXPECT_TRUE(node->Get(4)->FCurveGet()->IsCandidate());
    EXPECT_FLOAT_EQ(node->Get(4)->FCurveGet()->GetValue(), 10.0f);
}

}  // namespace

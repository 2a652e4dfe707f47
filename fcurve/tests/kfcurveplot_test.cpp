#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "base/kgemath.h"
#include "base/kvxrotationorder.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "fcurve/kfcurveplot.h"
#include "fcurve/tests/fcurve_test_support.h"

using namespace zeqsdk_400;
using fcurvetest::Sec;

namespace {

const KTime kPeriod(KTime::kTicksPerSecond / 30);
const KTime kOffset(KTime::kTicksPerSecond / 120);

struct NodeDeleter {
    void operator()(KFCurveNode* node) const { node->Destroy(); }
};
using NodePtr = std::unique_ptr<KFCurveNode, NodeDeleter>;

void AddKey(KFCurve* curve, double seconds, float value, unsigned int interpolation = KFCURVE_INTERPOLATION_CUBIC,
            unsigned int mode = KFCURVE_TANGEANT_AUTO) {
    KFCurveKey key{};
    key.Set(Sec(seconds), value, interpolation, mode, 0.0f, 0.0f, KFCURVE_WEIGHTED_NONE, KFCURVE_DEFAULT_WEIGHT,
            KFCURVE_DEFAULT_WEIGHT, 0.0f, 0.0f);
    curve->KeyAdd(Sec(seconds), key);
}

KFCurveNode* Leaf(const char* name, float value = 0.0f, int layerType = KFCL_NOLAYER) {
    KFCurveNode* node = KFCurveNodeCreate(name, static_cast<KDataType*>(nullptr), layerType, 0);
    node->FCurveSet(KFCurveCreate(), true);
    node->FCurveGet()->SetValue(value);
    return node;
}

// A node of count leaf channels X, Y, Z, W of one layer type.
KFCurveNode* Channels(int layerType, int count, float value = 0.0f) {
    static const char* const kNames[] = {"X", "Y", "Z", "W"};
    KFCurveNode* node = KFCurveNodeCreate("Node", static_cast<KDataType*>(nullptr), layerType, 0);
    for (int i = 0; i < count; ++i) node->Add(Leaf(kNames[i], value));
    return node;
}

KFCurve* Curve(KFCurveNode* node, int channel) {
    return node->GetCount() == 0 ? node->FCurveGet() : node->Get(channel)->FCurveGet();
}

KFCurveNode* Layer(KFCurveNode* node, int id) {
    node->CreateLayerAt(id);
    return node->LayerGet(id);
}

std::vector<double> Evaluate(KFCurveNode* node, KTime time) {
    std::vector<double> values(static_cast<std::size_t>(node->GetChannelCount()) + 4, 0.0);
    const double* end = node->GeneralEvaluate(values.data(), time);
    values.resize(static_cast<std::size_t>(end - values.data()));
    return values;
}

std::vector<KTime> Times(KFCurve* curve) {
    std::vector<KTime> times;
    for (int i = 0; i < curve->KeyGetCount(); ++i) times.push_back(curve->KeyGetPtr(i)->GetTime());
    return times;
}

// The grid start, start + period, ... up to stop, by repeated addition.
std::vector<KTime> Grid(KTime start, KTime stop, KTime period) {
    std::vector<KTime> times;
    for (KTime t = start; t <= stop; t += period) times.push_back(t);
    return times;
}

void Rotation(KgeRMatrix& m, const double* angles, int order = 0) {
    KVXRotationOrder(order).V2M(m, KgeRVector(angles[0], angles[1], angles[2]));
}

void ExpectSameMatrix(const KgeRMatrix& a, const KgeRMatrix& b, double tolerance, const std::string& where) {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(a[r][c], b[r][c], tolerance) << where << " [" << r << "][" << c << "]";
}

// The rotation of Euler XYZ angles in degrees written out: Rz(c) Ry(b) Rx(a)
// in row-vector form.
void SpelledOutRotation(KgeRMatrix& m, const double* v) {
    const double a = v[0] * KM_DEG_TO_RAD, b = v[1] * KM_DEG_TO_RAD, c = v[2] * KM_DEG_TO_RAD;
    const double sx = std::sin(a), cx = std::cos(a), sy = std::sin(b), cy = std::cos(b), sz = std::sin(c),
                 cz = std::cos(c);
    const double rows[3][3] = {{cy * cz, cy * sz, -sy},
                               {sx * sy * cz - cx * sz, sx * sy * sz + cx * cz, sx * cy},
                               {cx * sy * cz + sx * sz, cx * sy * sz - sx * cz, cx * cy}};
    for (int r = 0; r < 3; ++r)
        for (int k = 0; k < 3; ++k) m[r][k] = rows[r][k];
}

// ---- Value algebra -----------------------------------------------------------------------

TEST(LayerAlgebra, AdditiveAndMultiplicativeWorkChannelByChannel) {
    NodePtr add(Channels(KFCL_ADD, 3));
    double a[4] = {1, 2, 3, 0}, b[4] = {10, 20, 30, 0}, r[4] = {};
    AddValuesAlongLayerType(add.get(), r, a, b);
    EXPECT_DOUBLE_EQ(r[0], 11);
    EXPECT_DOUBLE_EQ(r[2], 33);
    InverseValuesAlongLayerType(add.get(), r, a);
    EXPECT_DOUBLE_EQ(r[1], -2);

    NodePtr mult(Channels(KFCL_MULT, 3));
    AddValuesAlongLayerType(mult.get(), a, a, b);  // the result may be an operand
    EXPECT_DOUBLE_EQ(a[0], 10);
    EXPECT_DOUBLE_EQ(a[2], 90);
}

TEST(LayerAlgebra, MultiplicativeOwnValueIsMultiplied) {
    NodePtr node(Leaf("S", 1.0f, KFCL_MULT));
    double a[4] = {3, 0, 0, 0}, b[4] = {0.5, 0, 0, 0}, r[4] = {};
    AddValuesAlongLayerType(node.get(), r, a, b);
    EXPECT_DOUBLE_EQ(r[0], 1.5);
    InverseValuesAlongLayerType(node.get(), r, a);
    EXPECT_DOUBLE_EQ(r[0], 1.0 / 3.0);
}

TEST(LayerAlgebra, MultiplicativeInverseOfZeroIsNeutralNotInfinite) {
    NodePtr node(Channels(KFCL_MULT, 3));
    double v[4] = {0.0, 4.0, -1e-320, 0}, r[4] = {};
    InverseValuesAlongLayerType(node.get(), r, v);
    EXPECT_DOUBLE_EQ(r[0], 1.0);
    EXPECT_DOUBLE_EQ(r[1], 0.25);
    EXPECT_TRUE(std::isfinite(r[2]));
}

TEST(LayerAlgebra, QuaternionInverseIsTheConjugateAndProductIsHamilton) {
    NodePtr node(Channels(KFCL_QUAT, 4));
    double q[4] = {0.1, -0.2, 0.3, 0.9}, r[4] = {};
    InverseValuesAlongLayerType(node.get(), r, q);
    EXPECT_DOUBLE_EQ(r[0], -0.1);
    EXPECT_DOUBLE_EQ(r[1], 0.2);
    EXPECT_DOUBLE_EQ(r[2], -0.3);
    EXPECT_DOUBLE_EQ(r[3], 0.9);
    double i[4] = {1, 0, 0, 0}, j[4] = {0, 1, 0, 0};
    AddValuesAlongLayerType(node.get(), r, i, j);  // i x j = k
    EXPECT_DOUBLE_EQ(r[2], 1.0);
    EXPECT_DOUBLE_EQ(r[3], 0.0);
}

TEST(LayerAlgebra, EulerCompositionAppliesTheSecondRotationFirst) {
    NodePtr node(Channels(KFCL_EULER_XYZ, 3));
    double a[4] = {30, -20, 45, 0}, b[4] = {10, 70, -15, 0}, r[4] = {};
    AddValuesAlongLayerType(node.get(), r, a, b);
    KgeRMatrix ma, mb, expected, got;
    SpelledOutRotation(ma, a);
    SpelledOutRotation(mb, b);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            expected[row][col] = 0.0;
            for (int k = 0; k < 3; ++k) expected[row][col] += mb[row][k] * ma[k][col];
        }
    SpelledOutRotation(got, r);
    ExpectSameMatrix(got, expected, 1e-9, "a after b");

    // A rotation composed with its inverse is no rotation.
    double inverse[4] = {};
    InverseValuesAlongLayerType(node.get(), inverse, a);
    AddValuesAlongLayerType(node.get(), r, a, inverse);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(r[k], 0.0, 1e-9);
}

TEST(LayerAlgebra, UnknownLayerTypeWritesNothing) {
    NodePtr node(Channels(KFCL_ADD, 3));
    node->SetLayerType(9);
    double a[4] = {1, 2, 3, 4}, r[4] = {-7, -7, -7, -7};
    AddValuesAlongLayerType(node.get(), r, a, a);
    InverseValuesAlongLayerType(node.get(), r, a);
    for (double v : r) EXPECT_EQ(v, -7);
}

TEST(LayerAlgebra, AxisAlignment) {
    double origin[3] = {1, 1, 1}, x[3] = {3, 1, 1}, y[3] = {1, 4, 1}, minusX[3] = {-5, 1, 1}, r[3] = {9, 9, 9};
    EXPECT_TRUE(AxisAlignmentInEulerAngle(origin, x, x, r));
    EXPECT_EQ(r[0], 0.0);
    EXPECT_EQ(r[2], 0.0);
    AxisAlignmentInEulerAngle(origin, x, minusX, r);
    EXPECT_EQ(r[0], 180.0);
    EXPECT_EQ(r[1], 0.0);
    AxisAlignmentInEulerAngle(origin, x, y, r);  // X onto Y: a quarter turn about Z
    EXPECT_NEAR(r[0], 0.0, 1e-9);
    EXPECT_NEAR(r[1], 0.0, 1e-9);
    EXPECT_NEAR(r[2], 90.0, 1e-9);
}

// ---- Layer selection -------------------------------------------------------------------

class LayerChain : public ::testing::Test {
protected:
    void SetUp() override {
        node.reset(Channels(KFCL_ADD, 1));
        Curve(node.get(), 0)->SetValue(1.0f);
        for (int id : {1, 2, 4}) Curve(Layer(node.get(), id), 0)->SetValue(static_cast<float>(10 * id));
    }
    std::vector<int> Ids(KArrayTemplate<KFCurveNode*>& layers) {
        std::vector<int> ids;
        for (int i = 0; i < layers.GetCount(); ++i) ids.push_back(layers[i]->GetLayerID());
        return ids;
    }
    NodePtr node;
};

TEST_F(LayerChain, PrepareForSolvingSplitsAroundTheDestination) {
    KArrayTemplate<KFCurveNode*> below, above;
    KFCurve_PrepareForSolving(node.get(), nullptr, 2, below, above);
    EXPECT_EQ(Ids(below), (std::vector<int>{0, 1}));
    EXPECT_EQ(Ids(above), (std::vector<int>{4}));

    KArrayTemplate<int> list;
    for (int id : {0, 3, 4, 7}) list.Add(id);
    KArrayTemplate<KFCurveNode*> below2, above2;
    KFCurve_PrepareForSolving(node.get(), &list, 3, below2, above2);
    EXPECT_EQ(Ids(below2), (std::vector<int>{0}));
    EXPECT_EQ(Ids(above2), (std::vector<int>{4}));
}

TEST_F(LayerChain, EvaluateInLayersTakesTheListedLayersOnly) {
    double values[4] = {0, 0, 0, 0};
    int hint = 0;
    KFCurve_CandidateEvaluateInLayersRecursive(node.get(), values, KTime(0), nullptr, 0, &hint);
    EXPECT_DOUBLE_EQ(values[0], 71.0);

    KArrayTemplate<int> list;
    for (int id : {0, 3, 4}) list.Add(id);  // 3 is not in the chain
    values[0] = 0.0;
    KFCurve_CandidateEvaluateInLayersRecursive(node.get(), values, KTime(0), &list, 0, &hint);
    EXPECT_DOUBLE_EQ(values[0], 41.0);
    values[0] = 0.0;
    KFCurve_CandidateEvaluateInLayersRecursive(node.get(), values, KTime(0), &list, 2, &hint);
    EXPECT_DOUBLE_EQ(values[0], 40.0);
}

TEST(SmartPlotTime, NextKeyTimeAndItsChannels) {
    KFCurve x, y, z;
    AddKey(&x, 0.0, 0.0f);
    AddKey(&x, 0.5, 1.0f);
    AddKey(&y, 0.5, 1.0f);
    AddKey(&y, 0.8, 1.0f);
    AddKey(&z, 0.2, 1.0f);
    KFCurveSmartMergeInfos base[4], layer[4];
    base[0].mCurve = &x;
    base[1].mCurve = &y;
    layer[2].mCurve = &z;
    KFCurveSmartMergeInfos* rows[2] = {base, layer};
    KArrayTemplate<int> channels;
    channels.Add(3);

    KTime now(0);
    EXPECT_EQ(GetNextSmartPlotTime(&now, rows, 2, &channels), Sec(0.2));
    EXPECT_EQ(channels.GetCount(), 1);
    EXPECT_EQ(channels[0], 2);
    now = Sec(0.2);
    EXPECT_EQ(GetNextSmartPlotTime(&now, rows, 2, &channels), Sec(0.5));
    ASSERT_EQ(channels.GetCount(), 2);
    EXPECT_EQ(channels[0], 0);
    EXPECT_EQ(channels[1], 1);
    now = Sec(0.5);
    EXPECT_EQ(GetNextSmartPlotTime(&now, rows, 2, &channels), Sec(0.8));
    now = Sec(0.8);
    EXPECT_EQ(GetNextSmartPlotTime(&now, rows, 2, nullptr), KTime::Infinite());
}

// ---- Plotting ---------------------------------------------------------------------------

TEST(Plot, PlainSamplingOverOneSecondGivesThirtyOneKeys) {
    NodePtr node(Leaf("V"));
    AddKey(node->FCurveGet(), 0.0, 0.0f, KFCURVE_INTERPOLATION_LINEAR);
    AddKey(node->FCurveGet(), 1.0, 3.0f, KFCURVE_INTERPOLATION_LINEAR);
    NodePtr result(Leaf("R"));
    KSmartPlotOptions defaults;
    ASSERT_TRUE(KFCurve_PlotInLayers(node.get(), nullptr, 0, 0, KTime(0), Sec(1.0), kPeriod, result.get(), nullptr,
                                     false, &defaults));
    KFCurve* plotted = result->FCurveGet();
    EXPECT_EQ(Times(plotted), Grid(KTime(0), KTime::OneSecond(), kPeriod));
    ASSERT_EQ(plotted->KeyGetCount(), 31);
    for (int i = 0; i < 31; ++i) EXPECT_NEAR(plotted->KeyGetPtr(i)->GetValue(), i / 10.0, 1e-5);
    // The node itself is left as it was.
    EXPECT_EQ(node->FCurveGet()->KeyGetCount(), 2);
}

// A three-channel node with a base layer and two layers, all keyed, and a
// time warp that runs a little faster than the clock, not in step with it.
class LayeredPlot : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        const int type = GetParam();
        const bool mult = type == KFCL_MULT;
        const float base = mult ? 1.0f : 0.0f;
        node.reset(Channels(type, 3, base));
        const float scale = type == KFCL_EULER_XYZ ? 40.0f : 1.0f;
        for (int c = 0; c < 3; ++c) {
            AddKey(Curve(node.get(), c), 0.0, base + scale * 0.2f * (c + 1));
            AddKey(Curve(node.get(), c), 0.7, base + scale * -0.4f);
            AddKey(Curve(node.get(), c), 1.6, base + scale * 0.9f, KFCURVE_INTERPOLATION_LINEAR);
            AddKey(Curve(node.get(), c), 2.0, base + scale * 0.1f);
        }
        KFCurveNode* one = Layer(node.get(), 1);
        AddKey(Curve(one, 0), 0.3, base + scale * 0.5f);
        AddKey(Curve(one, 0), 1.1, base + scale * -0.3f);
        AddKey(Curve(one, 2), 0.9, base + scale * 0.25f);
        KFCurveNode* two = Layer(node.get(), 2);
        AddKey(Curve(two, 1), 0.0, base + scale * 0.3f);
        AddKey(Curve(two, 1), 1.4, base + scale * 0.6f);

        KFCurveNode* warp = Leaf("Warp");
        AddKey(warp->FCurveGet(), 0.0, 0.05f);
        AddKey(warp->FCurveGet(), 1.0, 1.3f);
        node->TimeWarpSet(warp);
        result.reset(node->CloneTemplate(false, false, true, -1));
    }

    void ExpectPlotMatchesEvaluation() {
        const int type = GetParam();
        for (int i = 0; i < Curve(result.get(), 0)->KeyGetCount(); ++i) {
            const KTime t = Curve(result.get(), 0)->KeyGetPtr(i)->GetTime();
            const std::vector<double> direct = Evaluate(node.get(), t);
            ASSERT_EQ(direct.size(), 3u);
            double plotted[3];
            for (int c = 0; c < 3; ++c) {
                ASSERT_EQ(Curve(result.get(), c)->KeyGetPtr(i)->GetTime(), t);
                plotted[c] = Curve(result.get(), c)->KeyGetPtr(i)->GetValue();
            }
            const std::string where = "sample " + std::to_string(i);
            if (type == KFCL_EULER_XYZ) {
                KgeRMatrix a, b;
                Rotation(a, plotted);
                Rotation(b, direct.data());
                ExpectSameMatrix(a, b, 1e-5, where);
            } else {
                for (int c = 0; c < 3; ++c) EXPECT_NEAR(plotted[c], direct[static_cast<std::size_t>(c)], 2e-6) << where;
            }
        }
    }

    NodePtr node, result;
};

TEST_P(LayeredPlot, PlottedKeysMatchDirectEvaluationAtEverySample) {
    ASSERT_TRUE(KFCurve_PlotInLayers(node.get(), nullptr, 0, 0, KTime(0), Sec(1.5), kPeriod, result.get(), nullptr,
                                     true, nullptr));
    EXPECT_EQ(Times(Curve(result.get(), 0)), Grid(KTime(0), Sec(1.5), kPeriod));
    ExpectPlotMatchesEvaluation();
}

TEST_P(LayeredPlot, MergingTheLayersIntoTheBaseKeepsTheAnimation) {
    // Time warp baked into the base, layers removed: the node animates as before.
    std::vector<std::vector<double>> before;
    const std::vector<KTime> grid = Grid(KTime(0), Sec(1.5), kPeriod);
    for (KTime t : grid) before.push_back(Evaluate(node.get(), t));
    KArrayTemplate<int> all;
    for (int id : {0, 1, 2}) all.Add(id);
    ASSERT_TRUE(KFCurve_PlotInLayers(node.get(), &all, 0, KFCURVE_PLOT_REMOVE_MERGED_LAYERS | KFCURVE_PLOT_REPLACE_DESTINATION,
                                     KTime(0), Sec(1.5), kPeriod, nullptr, nullptr, true, nullptr));
    EXPECT_EQ(node->LayerGet(), nullptr);
    node->TimeWarpSet(nullptr);
    for (std::size_t k = 0; k < grid.size(); ++k) {
        const std::vector<double> after = Evaluate(node.get(), grid[k]);
        if (GetParam() == KFCL_EULER_XYZ) {
            KgeRMatrix a, b;
            Rotation(a, after.data());
            Rotation(b, before[k].data());
            ExpectSameMatrix(a, b, 1e-5, "sample " + std::to_string(k));
        } else {
            for (int c = 0; c < 3; ++c) EXPECT_NEAR(after[static_cast<std::size_t>(c)], before[k][static_cast<std::size_t>(c)], 2e-6);
        }
    }
}

TEST_P(LayeredPlot, SolvingForALayerReproducesTheTarget) {
    const int type = GetParam();
    const float base = type == KFCL_MULT ? 1.0f : 0.0f;
    const float scale = type == KFCL_EULER_XYZ ? 30.0f : 1.0f;
    NodePtr target(Channels(type, 3, base));
    for (int c = 0; c < 3; ++c) {
        AddKey(Curve(target.get(), c), 0.0, base + scale * 0.3f);
        AddKey(Curve(target.get(), c), 1.0, base + scale * (0.5f - 0.4f * c));
    }
    node->TimeWarpSet(nullptr);
    ASSERT_TRUE(KFCurve_PlotInLayers(node.get(), nullptr, 1, KFCURVE_PLOT_REPLACE_DESTINATION, KTime(0), Sec(1.0),
                                     kPeriod, nullptr, target.get(), false, nullptr));
    for (KTime t : Grid(KTime(0), Sec(1.0), kPeriod)) {
        const std::vector<double> got = Evaluate(node.get(), t);
        const std::vector<double> want = Evaluate(target.get(), t);
        if (type == KFCL_EULER_XYZ) {
            KgeRMatrix a, b;
            Rotation(a, got.data());
            Rotation(b, want.data());
            ExpectSameMatrix(a, b, 1e-5, "solve");
        } else {
            for (int c = 0; c < 3; ++c) EXPECT_NEAR(got[static_cast<std::size_t>(c)], want[static_cast<std::size_t>(c)], 1e-5);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(LayerTypes, LayeredPlot, ::testing::Values(KFCL_ADD, KFCL_MULT, KFCL_EULER_XYZ),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return info.param == KFCL_ADD ? std::string("Additive")
                                    : info.param == KFCL_MULT ? std::string("Multiplicative")
                                                              : std::string("EulerXYZ");
                         });

TEST(Plot, BakingATimeWarpIntoTheBaseLayerKeepsTheAnimation) {
    // As a reader merges a node's time warp: destination 0, whole curves
    // replaced, the warp applied, no options.
    NodePtr node(Channels(KFCL_ADD, 3));
    for (int c = 0; c < 3; ++c) {
        AddKey(Curve(node.get(), c), 0.0, static_cast<float>(c));
        AddKey(Curve(node.get(), c), 2.0, static_cast<float>(5 - c));
    }
    KFCurveNode* warp = Leaf("Warp");
    AddKey(warp->FCurveGet(), 0.0, 0.0f);
    AddKey(warp->FCurveGet(), 1.0, 2.0f);
    node->TimeWarpSet(warp);
    const std::vector<KTime> grid = Grid(KTime(0), Sec(1.0), kPeriod);
    std::vector<std::vector<double>> before;
    for (KTime t : grid) before.push_back(Evaluate(node.get(), t));
    ASSERT_TRUE(KFCurve_PlotInLayers(node.get(), nullptr, 0, KFCURVE_PLOT_REPLACE_DESTINATION, KTime(0), Sec(1.0),
                                     kPeriod, nullptr, nullptr, true, nullptr));
    node->TimeWarpSet(nullptr);
    for (std::size_t k = 0; k < grid.size(); ++k) {
        const std::vector<double> after = Evaluate(node.get(), grid[k]);
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(after[static_cast<std::size_t>(c)], before[k][static_cast<std::size_t>(c)], 2e-6);
    }
}

TEST(Plot, EulerLayersComposeInTheNodesRotationOrder) {
    constexpr int kZYX = 10;
    NodePtr node(Channels(KFCL_EULER_XYZ, 3));
    node->SetRotationOrder(kZYX);
    for (int c = 0; c < 3; ++c) {
        AddKey(Curve(node.get(), c), 0.0, 20.0f * (c + 1));
        AddKey(Curve(node.get(), c), 1.0, -35.0f + 10.0f * c);
    }
    KFCurveNode* layer = Layer(node.get(), 1);
    AddKey(Curve(layer, 0), 0.0, 50.0f);
    AddKey(Curve(layer, 1), 1.0, -60.0f);
    NodePtr result(node->CloneTemplate(false, false, true, -1));
    ASSERT_TRUE(KFCurve_PlotInLayers(node.get(), nullptr, 0, 0, KTime(0), Sec(1.0), kPeriod, result.get(), nullptr,
                                     false, nullptr));
    for (int i = 0; i < Curve(result.get(), 0)->KeyGetCount(); ++i) {
        const KTime t = Curve(result.get(), 0)->KeyGetPtr(i)->GetTime();
        double plotted[3];
        for (int c = 0; c < 3; ++c) plotted[c] = Curve(result.get(), c)->KeyGetPtr(i)->GetValue();
        KgeRMatrix a, b;
        Rotation(a, plotted, kZYX);
        Rotation(b, Evaluate(node.get(), t).data(), kZYX);
        ExpectSameMatrix(a, b, 1e-5, "sample " + std::to_string(i));
    }
}

TEST(Plot, QuaternionLayersPlotTheComposedRotation) {
    NodePtr node(Channels(KFCL_QUAT, 4));
    const double axisAngle[][2] = {{0.0, 10.0}, {1.0, 80.0}};  // about X, degrees
    for (const auto& k : axisAngle) {
        const double h = k[1] * KM_DEG_TO_RAD / 2;
        AddKey(Curve(node.get(), 0), k[0], static_cast<float>(std::sin(h)));
        AddKey(Curve(node.get(), 3), k[0], static_cast<float>(std::cos(h)));
    }
    Curve(node.get(), 3)->SetValue(1.0f);
    KFCurveNode* layer = Layer(node.get(), 1);
    const double h = 30.0 * KM_DEG_TO_RAD / 2;  // 30 degrees about Y
    Curve(layer, 1)->SetValue(static_cast<float>(std::sin(h)));
    Curve(layer, 3)->SetValue(static_cast<float>(std::cos(h)));
    NodePtr result(node->CloneTemplate(false, false, true, -1));
    ASSERT_TRUE(KFCurve_PlotInLayers(node.get(), nullptr, 0, 0, KTime(0), Sec(1.0), kPeriod, result.get(), nullptr,
                                     false, nullptr));
    ASSERT_EQ(Curve(result.get(), 0)->KeyGetCount(), 31);
    for (int i = 0; i < 31; ++i) {
        const KTime t = Curve(result.get(), 0)->KeyGetPtr(i)->GetTime();
        double q[4];
        for (int c = 0; c < 4; ++c) q[c] = Curve(result.get(), c)->KeyGetPtr(i)->GetValue();
        KgeRMatrix plotted, direct;
        KmQtoR(plotted, q);
        const std::vector<double> angles = Evaluate(node.get(), t);  // a base quaternion node gives Euler angles
        ASSERT_EQ(angles.size(), 3u);
        Rotation(direct, angles.data());
        ExpectSameMatrix(plotted, direct, 1e-5, "sample " + std::to_string(i));
    }
}

TEST(Plot, MultiplicativeSolveAgainstAZeroLayerWritesFiniteKeys) {
    NodePtr node(Channels(KFCL_MULT, 3, 1.0f));
    Curve(node.get(), 0)->SetValue(0.0f);  // the base scales X to nothing
    AddKey(Curve(node.get(), 1), 0.0, 2.0f);
    KFCurveNode* above = Layer(node.get(), 2);
    Curve(above, 2)->SetValue(0.0f);
    NodePtr target(Channels(KFCL_MULT, 3, 5.0f));
    ASSERT_TRUE(KFCurve_PlotInLayers(node.get(), nullptr, 1, KFCURVE_PLOT_REPLACE_DESTINATION, KTime(0), Sec(1.0),
                                     kPeriod, nullptr, target.get(), false, nullptr));
    KFCurveNode* destination = node->LayerGet(1);
    ASSERT_NE(destination, nullptr);
    for (int c = 0; c < 3; ++c) {
        KFCurve* curve = Curve(destination, c);
        ASSERT_EQ(curve->KeyGetCount(), 31);
        for (int i = 0; i < curve->KeyGetCount(); ++i) {
            const KFCurveKey* key = curve->KeyGetPtr(i);
            ASSERT_TRUE(std::isfinite(key->GetValue())) << "channel " << c;
            EXPECT_TRUE(std::isfinite(curve->KeyGetLeftDerivative(i)));
            EXPECT_TRUE(std::isfinite(curve->KeyGetRightDerivative(i)));
        }
    }
    EXPECT_FLOAT_EQ(Curve(destination, 0)->KeyGetPtr(5)->GetValue(), 1.0f);  // free: neutral
    EXPECT_FLOAT_EQ(Curve(destination, 1)->KeyGetPtr(5)->GetValue(), 2.5f);  // 2 x 2.5 = 5
    EXPECT_FLOAT_EQ(Curve(destination, 2)->KeyGetPtr(5)->GetValue(), 1.0f);
}

// ---- Smart plot -------------------------------------------------------------------------

class SmartPlot : public ::testing::Test {
protected:
    void SetUp() override {
        options.mSmartPlot = true;
        options.mBreakTangents = false;
        options.mIncreaseFidelity = false;
    }
    KSmartPlotOptions options;
};

TEST_F(SmartPlot, SparseKeysAtTheLayerKeysAndExtraSamplesAroundThem) {
    const KTime key = Sec(0.51);
    NodePtr node(Leaf("V"));
    AddKey(node->FCurveGet(), 0.51, 2.0f);
    NodePtr result(Leaf("R"));
    ASSERT_TRUE(KFCurve_PlotInLayers(node.get(), nullptr, 0, 0, KTime(0), Sec(1.0), kPeriod, result.get(), nullptr,
                                     false, &options));
    EXPECT_EQ(Times(result->FCurveGet()), (std::vector<KTime>{KTime(0), key}));

    options.mKeepAllSamples = true;
    ASSERT_TRUE(KFCurve_PlotInLayers(node.get(), nullptr, 0, 0, KTime(0), Sec(1.0), kPeriod, result.get(), nullptr,
                                     false, &options));
    std::vector<KTime> expected = Grid(KTime(0), KTime::OneSecond(), kPeriod);
    for (KTime t : {kOffset, key - kOffset, key, key + kOffset}) expected.push_back(t);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Times(result->FCurveGet()), expected);
}

TEST_F(SmartPlot, EachChannelIsKeyedAtItsOwnKeyTimes) {
    NodePtr node(Channels(KFCL_ADD, 3));
    AddKey(Curve(node.get(), 1), 0.51, 2.0f);
    AddKey(Curve(Layer(node.get(), 1), 2), 0.25, 1.0f);
    NodePtr result(node->CloneTemplate(false, false, true, -1));
    ASSERT_TRUE(KFCurve_PlotInLayers(node.get(), nullptr, 0, 0, KTime(0), Sec(1.0), kPeriod, result.get(), nullptr,
                                     false, &options));
    // Every channel at the start; then each at its own layers' keys.
    EXPECT_EQ(Times(Curve(result.get(), 0)), (std::vector<KTime>{KTime(0)}));
    EXPECT_EQ(Times(Curve(result.get(), 1)), (std::vector<KTime>{KTime(0), Sec(0.51)}));
    EXPECT_EQ(Times(Curve(result.get(), 2)), (std::vector<KTime>{KTime(0), Sec(0.25)}));
    EXPECT_FLOAT_EQ(Curve(result.get(), 1)->KeyGetPtr(1)->GetValue(), 2.0f);
}

TEST_F(SmartPlot, FidelityPassRestoresDetailBetweenSparseKeys) {
    // A curve keyed at 0 and 1 s whose warp makes it bulge in between: the
    // sparse keys alone would miss the bulge.
    NodePtr node(Leaf("V"));
    AddKey(node->FCurveGet(), 0.0, 0.0f, KFCURVE_INTERPOLATION_LINEAR);
    AddKey(node->FCurveGet(), 1.0, 10.0f, KFCURVE_INTERPOLATION_LINEAR);
    KFCurveNode* warp = Leaf("Warp");
    AddKey(warp->FCurveGet(), 0.0, 0.0f, KFCURVE_INTERPOLATION_LINEAR);
    AddKey(warp->FCurveGet(), 0.5, 0.9f, KFCURVE_INTERPOLATION_LINEAR);
    AddKey(warp->FCurveGet(), 1.0, 1.0f, KFCURVE_INTERPOLATION_LINEAR);
    node->TimeWarpSet(warp);
    options.mIncreaseFidelity = true;
    options.mBreakTangents = true;
    NodePtr result(Leaf("R"));
    ASSERT_TRUE(KFCurve_PlotInLayers(node.get(), nullptr, 0, 0, KTime(0), Sec(1.0), kPeriod, result.get(), nullptr,
                                     true, &options));
    KFCurve* plotted = result->FCurveGet();
    EXPECT_GT(plotted->KeyGetCount(), 2);
    EXPECT_LT(plotted->KeyGetCount(), 31);
    const int mid = static_cast<int>(plotted->KeyFind(Sec(0.5)));
    EXPECT_EQ(plotted->KeyGetPtr(mid)->GetTime(), Sec(0.5));
    EXPECT_NEAR(plotted->KeyGetPtr(mid)->GetValue(), 9.0f, 1e-4);
    // The corner of the warp (slope 18 before, 2 after, rounded off by the
    // full sampling's own tangents) breaks the inserted key's tangents.
    EXPECT_EQ(plotted->KeyGetPtr(mid)->GetTangeantMode(), static_cast<unsigned int>(KFCURVE_TANGEANT_USER_BREAK));
    EXPECT_GT(plotted->KeyGetLeftDerivative(mid), 12.0f);
    EXPECT_LT(plotted->KeyGetRightDerivative(mid), 8.0f);
}

// ---- Detail passes on curve pairs -------------------------------------------------------

class DetailPass : public ::testing::Test {
protected:
    void SetUp() override {
        sparse.reset(Leaf("S"));
        full.reset(Leaf("F"));
        // Up to 1 at 0.5 s, back to 0 at 1 s: a corner in the middle.
        AddKey(full->FCurveGet(), 0.0, 0.0f, KFCURVE_INTERPOLATION_LINEAR);
        AddKey(full->FCurveGet(), 0.5, 1.0f, KFCURVE_INTERPOLATION_LINEAR);
        AddKey(full->FCurveGet(), 1.0, 0.0f, KFCURVE_INTERPOLATION_LINEAR);
    }
    KFCurve* Sparse() { return sparse->FCurveGet(); }
    NodePtr sparse, full;
};

TEST_F(DetailPass, BreakTangentsFollowsACornerOfTheFullCurve) {
    for (double s : {0.0, 0.5, 1.0}) AddKey(Sparse(), s, full->FCurveGet()->Evaluate(Sec(s)));
    KFCURVE_BreakTangents(sparse.get(), full.get(), KTime(0), 0.5);  // no offset: nothing
    EXPECT_EQ(Sparse()->KeyGetPtr(1)->GetTangeantMode(), static_cast<unsigned int>(KFCURVE_TANGEANT_AUTO));

    KFCURVE_BreakTangents(sparse.get(), full.get(), kOffset, 0.5);
    EXPECT_EQ(Sparse()->KeyGetPtr(1)->GetTangeantMode(), static_cast<unsigned int>(KFCURVE_TANGEANT_USER_BREAK));
    EXPECT_NEAR(Sparse()->KeyGetLeftDerivative(1), 2.0f, 1e-3);
    EXPECT_NEAR(Sparse()->KeyGetRightDerivative(1), -2.0f, 1e-3);
    // The end keys measure only their inner side.
    EXPECT_NEAR(Sparse()->KeyGetRightDerivative(0), 2.0f, 1e-3);
}

TEST_F(DetailPass, TreesOfDifferentShapesAreLeftAlone) {
    AddKey(Sparse(), 0.0, 0.0f);
    AddKey(Sparse(), 1.0, 0.0f);
    NodePtr other(Channels(KFCL_ADD, 2));
    KFCURVE_BreakTangents(other.get(), full.get(), kOffset, 0.1);
    KFCURVE_IncreaseFidelity(sparse.get(), other.get(), 0.1, 2, true, kOffset, 0.1);
    KFCURVE_IncreaseFidelity(nullptr, full.get(), 0.1, 2, true, kOffset, 0.1);
    EXPECT_EQ(Sparse()->KeyGetCount(), 2);
}

TEST_F(DetailPass, FidelityStepOfOneHundredTwentiethOrLessIsLeftUntouched) {
    const KTime twoSteps = kOffset * 2;
    AddKey(Sparse(), 0.0, 0.0f);
    AddKey(Sparse(), twoSteps.GetSecondDouble(), 0.0f);
    KFCurve steep;
    AddKey(&steep, 0.0, 0.0f, KFCURVE_INTERPOLATION_LINEAR);
    AddKey(&steep, kOffset.GetSecondDouble(), 100.0f, KFCURVE_INTERPOLATION_LINEAR);
    AddKey(&steep, 1.0, 0.0f, KFCURVE_INTERPOLATION_LINEAR);
    KFCURVE_IncreaseFidelityRecursive(KTime(0), twoSteps, Sparse(), &steep, 0.25, 2, true, kOffset, 1.0);
    EXPECT_EQ(Sparse()->KeyGetCount(), 2);
    // One tick more and the middle is looked at.
    KFCURVE_IncreaseFidelityRecursive(KTime(0), twoSteps + KTime(2), Sparse(), &steep, 0.25, 2, false, kOffset, 1.0);
    EXPECT_EQ(Sparse()->KeyGetCount(), 3);
    EXPECT_EQ(Sparse()->KeyGetPtr(1)->GetTime(), kOffset + KTime(1));
}

TEST_F(DetailPass, FidelityInsertsKeysWhereTheSparseCurveStrays) {
    AddKey(Sparse(), 0.0, 0.0f);
    AddKey(Sparse(), 1.0, 0.0f);
    KFCURVE_IncreaseFidelity(sparse.get(), full.get(), 0.25, 2, true, kOffset, 1.0);
    ASSERT_GE(Sparse()->KeyGetCount(), 3);
    const int mid = static_cast<int>(Sparse()->KeyFind(Sec(0.5)));
    EXPECT_EQ(Sparse()->KeyGetPtr(mid)->GetTime(), Sec(0.5));
    EXPECT_FLOAT_EQ(Sparse()->KeyGetPtr(mid)->GetValue(), 1.0f);
    for (int k = 0; k <= 16; ++k) {
        const KTime t = Sec(k / 16.0);
        EXPECT_NEAR(Sparse()->Evaluate(t), full->FCurveGet()->Evaluate(t), 0.25) << k;
    }
}

TEST_F(DetailPass, FidelityWithoutOffsetInsertsKeysWithFiniteTangents) {
    AddKey(Sparse(), 0.0, 0.0f);
    AddKey(Sparse(), 1.0, 0.0f);
    KFCURVE_IncreaseFidelity(sparse.get(), full.get(), 0.25, 2, true, KTime(0), 1.0);
    ASSERT_GE(Sparse()->KeyGetCount(), 3);
    for (int i = 0; i < Sparse()->KeyGetCount(); ++i) {
        EXPECT_TRUE(std::isfinite(Sparse()->KeyGetLeftDerivative(i)));
        EXPECT_TRUE(std::isfinite(Sparse()->KeyGetRightDerivative(i)));
    }
}

// ---- Writing the result -----------------------------------------------------------------

class PlotFlags : public ::testing::Test {
protected:
    void SetUp() override {
        node.reset(Channels(KFCL_ADD, 2));
        for (int c = 0; c < 2; ++c) {
            AddKey(Curve(node.get(), c), 0.0, 1.0f, KFCURVE_INTERPOLATION_LINEAR);
            AddKey(Curve(node.get(), c), 2.0, 3.0f, KFCURVE_INTERPOLATION_LINEAR);
        }
        AddKey(Curve(Layer(node.get(), 1), 0), 0.0, 10.0f, KFCURVE_INTERPOLATION_LINEAR);
        AddKey(Curve(node->LayerGet(1), 0), 2.0, 30.0f, KFCURVE_INTERPOLATION_LINEAR);
    }
    bool Plot(int destination, unsigned int flags, KArrayTemplate<int>* layers = nullptr, KFCurveNode* result = nullptr,
              KTime start = KTime(0), KTime stop = KTime::OneSecond()) {
        return KFCurve_PlotInLayers(node.get(), layers, destination, flags, start, stop, kPeriod, result, nullptr,
                                    false, nullptr, &error);
    }
    NodePtr node;
    KError error;
};

TEST_F(PlotFlags, ReplaceDestinationKeepsTheReplacedCurvesLook) {
    const float red[3] = {1.0f, 0.0f, 0.0f};
    Curve(node.get(), 1)->SetColor(red);
    Curve(node.get(), 1)->SetSelected(true);
    ASSERT_TRUE(Plot(0, KFCURVE_PLOT_REPLACE_DESTINATION));
    KFCurve* x = Curve(node.get(), 0);
    ASSERT_EQ(x->KeyGetCount(), 31);
    EXPECT_NEAR(x->KeyGetPtr(30)->GetValue(), 2.0f + 20.0f, 1e-4);  // base and layer at 1 s
    EXPECT_EQ(Curve(node.get(), 1)->GetColor()[1], 0.0f);
    EXPECT_TRUE(Curve(node.get(), 1)->GetSelected());
    EXPECT_NE(node->LayerGet(1), nullptr);  // not asked to remove it
}

TEST_F(PlotFlags, DestinationAboveEveryLayerIsAnErrorAndChangesNothing) {
    KArrayTemplate<int> list;
    list.Add(0);
    list.Add(1);
    EXPECT_FALSE(Plot(5, KFCURVE_PLOT_REPLACE_DESTINATION | KFCURVE_PLOT_REMOVE_MERGED_LAYERS, &list));
    EXPECT_EQ(error.GetLastErrorID(), KFCURVE_PLOT_ERROR_NO_DESTINATION_LAYER);
    EXPECT_STRNE(error.GetLastErrorString(), "");
    EXPECT_FALSE(Plot(5, KFCURVE_PLOT_SPLICE_INTO_DESTINATION));
    EXPECT_EQ(Curve(node.get(), 0)->KeyGetCount(), 2);
    ASSERT_NE(node->LayerGet(1), nullptr);
    EXPECT_EQ(node->LayerGet(1)->LayerGet(), nullptr);
    EXPECT_EQ(Curve(node->LayerGet(1), 0)->KeyGetCount(), 2);
}

TEST_F(PlotFlags, MissingDestinationBetweenLayersIsCreated) {
    Layer(node.get(), 4);
    ASSERT_TRUE(Plot(2, KFCURVE_PLOT_REPLACE_DESTINATION));
    KFCurveNode* two = node->LayerGet(2);
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(Curve(two, 1)->KeyGetCount(), 31);
    EXPECT_NE(node->LayerGet(4), nullptr);
}

TEST_F(PlotFlags, SingleLayerNodeCannotTakeANewDestination) {
    Layer(node.get(), 4);
    node->SetMultiLayer(false);
    EXPECT_FALSE(Plot(2, KFCURVE_PLOT_REPLACE_DESTINATION));
    EXPECT_EQ(error.GetLastErrorID(), KFCURVE_PLOT_ERROR_NO_DESTINATION_LAYER);
}

TEST_F(PlotFlags, SpliceKeepsTheDestinationOutsideTheSpan) {
    AddKey(Curve(node.get(), 0), 5.0, 7.0f, KFCURVE_INTERPOLATION_LINEAR);
    ASSERT_TRUE(Plot(0, KFCURVE_PLOT_SPLICE_INTO_DESTINATION, nullptr, nullptr, Sec(0.5), Sec(1.0)));
    KFCurve* x = Curve(node.get(), 0);
    EXPECT_EQ(x->KeyGetPtr(0)->GetTime(), KTime(0));
    EXPECT_FLOAT_EQ(x->KeyGetPtr(0)->GetValue(), 1.0f);
    EXPECT_EQ(x->KeyGetPtr(x->KeyGetCount() - 1)->GetTime(), Sec(5.0));
    EXPECT_NEAR(x->Evaluate(Sec(0.75)), 1.75f + 17.5f, 1e-3);
}

TEST_F(PlotFlags, ZeroingSetsTheMergedLayersNeutralOverTheSpan) {
    ASSERT_TRUE(Plot(0, KFCURVE_PLOT_ZERO_MERGED_LAYERS | KFCURVE_PLOT_REPLACE_DESTINATION));
    KFCurveNode* one = node->LayerGet(1);
    ASSERT_NE(one, nullptr);
    EXPECT_NEAR(Curve(one, 0)->Evaluate(Sec(0.5)), 0.0f, 1e-6);
    // The animation inside the span is kept: the base holds it all now.
    EXPECT_NEAR(Evaluate(node.get(), Sec(0.5))[0], 1.5 + 15.0, 1e-4);
}

TEST_F(PlotFlags, ResultNodeAndDestinationEachOwnTheirCurves) {
    NodePtr result(node->CloneTemplate(false, false, true, -1));
    ASSERT_TRUE(Plot(0, KFCURVE_PLOT_REPLACE_DESTINATION, nullptr, result.get()));
    EXPECT_NE(Curve(result.get(), 0), Curve(node.get(), 0));
    EXPECT_EQ(Curve(result.get(), 0)->KeyGetCount(), 31);
    EXPECT_EQ(Curve(node.get(), 0)->KeyGetCount(), 31);
}

TEST_F(PlotFlags, NothingToPlot) {
    EXPECT_FALSE(KFCurve_PlotInLayers(nullptr, nullptr, 0, 0, KTime(0), Sec(1), kPeriod));
    EXPECT_FALSE(Plot(0, KFCURVE_PLOT_REPLACE_DESTINATION, nullptr, nullptr, Sec(1), KTime(0)));
    EXPECT_EQ(error.GetLastErrorID(), KFCURVE_PLOT_ERROR_BAD_ARGUMENT);
    EXPECT_FALSE(KFCurve_PlotInLayers(node.get(), nullptr, 0, 0, KTime(0), Sec(1), KTime(0)));
    EXPECT_FALSE(KFCurve_PlotInLayers(node.get(), nullptr, 0, 0, KTime::MinusInfinite(), KTime::Infinite(), KTime(1)));
    EXPECT_EQ(Curve(node.get(), 0)->KeyGetCount(), 2);
}

TEST_F(PlotFlags, PlotReachingTheEndOfTheTimeLineStops) {
    const KTime stop = KTime::Infinite();
    const KTime start = stop - kPeriod * 3;
    NodePtr result(node->CloneTemplate(false, false, true, -1));
    ASSERT_TRUE(Plot(0, 0, nullptr, result.get(), start, stop));
    EXPECT_EQ(Curve(result.get(), 0)->KeyGetCount(), 4);
}

}  // namespace

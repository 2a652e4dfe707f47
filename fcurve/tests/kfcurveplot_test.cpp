#include "fcurve/kfcurveplot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "fcurve/tests/fcurvenode_test_support.h"

using namespace nodetest;

namespace {

const KTime kPeriod(kSecond / 30);
const KTime kOffset(kSecond / 120);

// A node of count leaf channels of one layer type, each holding value.
KFCurveNode* Channels(int layerType, int count, float value = 0.0f) {
    KFCurveNode* node = Vector("Node", nullptr, layerType, count);
    for (int i = 0; i < count; ++i) C(*node, i).SetValue(value);
    return node;
}

// A channel's curve, or a leaf's own one.
KFCurve& Curve(KFCurveNode* node, int channel) {
    return node->GetCount() == 0 ? *node->FCurveGet() : C(*node, channel);
}

// start, start + period, ... up to stop, by repeated addition.
std::vector<KTime> Grid(KTime start, KTime stop) {
    std::vector<KTime> times;
    for (KTime t = start; t <= stop; t += kPeriod) times.push_back(t);
    return times;
}

// Plots node's layers over [start, stop] into result (or the destination layer
// by flags); with target, solves the destination layer for it.
bool Plot(KFCurveNode* node, KFCurveNode* result, unsigned int flags = 0, int destination = 0,
          KFCurveNode* target = nullptr, KTime stop = KTime::OneSecond(), bool timeWarp = false,
          KSmartPlotOptions* options = nullptr, KArrayTemplate<int>* layers = nullptr, KTime start = KTime(0),
          KError* error = nullptr) {
    return KFCurve_PlotInLayers(node, layers, destination, flags, start, stop, kPeriod, result, target, timeWarp,
                                options, error);
}

// Two runs of values are the same: as rotations of the order for Euler nodes.
void ExpectSameRun(const std::vector<double>& a, const std::vector<double>& b, int layerType, int order = 0) {
    ASSERT_EQ(a.size(), b.size());
    if (layerType == KFCL_EULER_XYZ)
        ExpectSameRotation(a.data(), b.data(), 1e-5, order);
    else
        for (std::size_t c = 0; c < a.size(); ++c) EXPECT_NEAR(a[c], b[c], 1e-5) << c;
}

// The values of the result's channels at key i.
std::vector<double> KeyRun(KFCurveNode* result, int i) {
    std::vector<double> run;
    for (int c = 0; c < result->GetCount(); ++c) run.push_back(Curve(result, c).KeyGetPtr(i)->GetValue());
    return run;
}

NodePtr ResultFor(const NodePtr& node) { return NodePtr(node->CloneTemplate(false, false, true, -1)); }

// ---- Value algebra and layer selection ---------------------------------------------------

// Combining layer values is checked through the plots below.
TEST(LayerAlgebra, InversesAreFiniteOperandsMayBeTheResultAndUnknownTypesWriteNothing) {
    NodePtr mult(Channels(KFCL_MULT, 3)), quaternion(Channels(KFCL_QUAT, 4)), unknown(Channels(9, 3));
    // The inverse of 0 (or of a reciprocal too large) is the neutral value, never infinite.
    double v[4] = {0.0, 4.0, -1e-320, 0}, r[4] = {};
    InverseValuesAlongLayerType(mult.get(), r, v);
    EXPECT_EQ(std::vector<double>(r, r + 2), (std::vector<double>{1.0, 0.25}));
    EXPECT_TRUE(std::isfinite(r[2]));
    double a[4] = {1, 2, 3, 0}, b[4] = {10, 20, 30, 0}, q[4] = {0.1, -0.2, 0.3, 0.9};
    AddValuesAlongLayerType(mult.get(), a, a, b);  // the result may be an operand
    EXPECT_EQ(std::vector<double>(a, a + 3), (std::vector<double>{10, 40, 90}));
    NodePtr own(Leaf("S", 1.0f, KFCL_MULT));
    AddValuesAlongLayerType(own.get(), r, q + 3, q + 3);  // a multiplicative node's own value too
    EXPECT_DOUBLE_EQ(r[0], 0.81);
    InverseValuesAlongLayerType(quaternion.get(), r, q);
    EXPECT_EQ(std::vector<double>(r, r + 4), (std::vector<double>{-0.1, 0.2, -0.3, 0.9}));
    double untouched[4] = {-7, -7, -7, -7};
    AddValuesAlongLayerType(unknown.get(), untouched, q, q);
    EXPECT_EQ(untouched[0], -7.0);

    double origin[3] = {1, 1, 1}, x[3] = {3, 1, 1}, y[3] = {1, 4, 1}, angles[3] = {9, 9, 9};
    AxisAlignmentInEulerAngle(origin, x, y, angles);  // X onto Y: a quarter turn about Z
    ExpectNear(std::vector<double>(angles, angles + 3), {0, 0, 90});
}

TEST(LayerAlgebra, QuaternionLayersComposeByTheHamiltonProductInOrder) {
    NodePtr node(Channels(KFCL_QUAT, 4));
    const double h = std::sqrt(0.5);
    double z90[4] = {0, 0, h, h}, x90[4] = {h, 0, 0, h}, r[4];
    AddValuesAlongLayerType_KFCL_QUAT(node.get(), r, z90, x90);
    ExpectNear(std::vector<double>(r, r + 4), {0.5, 0.5, 0.5, 0.5}, 1e-12);
    AddValuesAlongLayerType(node.get(), z90, x90, z90);  // into an operand, the other order
    ExpectNear(std::vector<double>(z90, z90 + 4), {0.5, -0.5, 0.5, 0.5}, 1e-12);
}

TEST(LayerChain, SolvingAndEvaluationTakeOnlyTheListedLayersOfTheChain) {
    NodePtr node(Channels(KFCL_ADD, 1, 1.0f));
    for (int id : {1, 2, 4}) C(*LayerAt(*node, id), 0).SetValue(static_cast<float>(10 * id));
    KArrayTemplate<int> list;
    for (int id : {0, 3, 4, 7}) list.Add(id);  // 3 and 7 are not in the chain
    KArrayTemplate<KFCurveNode*> below, above;
    KFCurve_PrepareForSolving(node.get(), &list, 3, below, above);
    ASSERT_EQ(std::vector<int>({below.GetCount(), above.GetCount()}), std::vector<int>({1, 1}));
    EXPECT_EQ(std::vector<int>({below[0]->GetLayerID(), above[0]->GetLayerID()}), std::vector<int>({0, 4}));
    // All layers, the listed ones, the listed ones from layer 2.
    const std::pair<KArrayTemplate<int>*, int> picks[] = {{nullptr, 0}, {&list, 0}, {&list, 2}};
    const double sums[] = {71, 41, 40};
    for (int k = 0; k < 3; ++k) {
        double values[4] = {0, 0, 0, 0};
        int hint = 0;
        KFCurve_CandidateEvaluateInLayersRecursive(node.get(), values, KTime(0), picks[k].first, picks[k].second,
                                                   &hint);
        EXPECT_DOUBLE_EQ(values[0], sums[k]) << k;
    }
}

// ---- Plotting ---------------------------------------------------------------------------

// A three-channel node of a layer type (and rotation order) with a base layer
// and two layers, all keyed, and a time warp that runs a little faster than
// the clock, not in step with it. Euler layers compose in the node's order.
class LayeredPlot : public ::testing::TestWithParam<std::pair<int, int>> {
protected:
    void SetUp() override {
        const float base = type == KFCL_MULT ? 1.0f : 0.0f, scale = type == KFCL_EULER_XYZ ? 40.0f : 1.0f;
        auto key = [&](KFCurveNode* n, int c, double s, float v, unsigned int kind = kCubic) {
            Keys(Curve(n, c), {{s, base + scale * v}}, kind);
        };
        node.reset(Channels(type, 3, base));
        node->SetRotationOrder(order);
        for (int c = 0; c < 3; ++c) {
            key(node.get(), c, 0.0, 0.2f * (c + 1));
            key(node.get(), c, 0.7, -0.4f);
            key(node.get(), c, 1.6, 0.9f, kLinear);
            key(node.get(), c, 2.0, 0.1f);
        }
        KFCurveNode* one = LayerAt(*node, 1);
        key(one, 0, 0.3, 0.5f);
        key(one, 0, 1.1, -0.3f);
        key(one, 2, 0.9, 0.25f);
        KFCurveNode* two = LayerAt(*node, 2);
        key(two, 1, 0.0, 0.3f);
        key(two, 1, 1.4, 0.6f);
        KFCurveNode* warp = Leaf("Warp");
        Keys(*warp->FCurveGet(), {{0, 0.05f}, {1, 1.3f}});
        node->TimeWarpSet(warp);
    }
    const int type = GetParam().first, order = GetParam().second;
    NodePtr node;
    const std::vector<KTime> grid = Grid(KTime(0), Sec(1.5));
};

TEST_P(LayeredPlot, PlottedKeysMatchDirectEvaluationAtEverySample) {
    NodePtr result = ResultFor(node);
    ASSERT_TRUE(Plot(node.get(), result.get(), 0, 0, nullptr, Sec(1.5), true));
    for (int c = 0; c < 3; ++c) EXPECT_EQ(Times(Curve(result.get(), c)), grid);
    for (std::size_t i = 0; i < grid.size(); ++i) {
        SCOPED_TRACE(i);
        ExpectSameRun(KeyRun(result.get(), static_cast<int>(i)), Eval(*node, grid[i]), type, order);
    }
}

TEST_P(LayeredPlot, MergingTheLayersIntoTheBaseKeepsTheAnimation) {
    // Time warp baked into the base, layers removed: the node animates as before.
    std::vector<std::vector<double>> before;
    for (KTime t : grid) before.push_back(Eval(*node, t));
    KArrayTemplate<int> all;
    for (int id : {0, 1, 2}) all.Add(id);
    ASSERT_TRUE(Plot(node.get(), nullptr, KFCURVE_PLOT_REMOVE_MERGED_LAYERS | KFCURVE_PLOT_REPLACE_DESTINATION, 0,
                     nullptr, Sec(1.5), true, nullptr, &all));
    EXPECT_EQ(node->LayerGet(), nullptr);
    node->TimeWarpSet(nullptr);
    for (std::size_t k = 0; k < grid.size(); ++k) {
        SCOPED_TRACE(k);
        ExpectSameRun(Eval(*node, grid[k]), before[k], type, order);
    }
}

TEST_P(LayeredPlot, SolvingForALayerReproducesTheTarget) {
    const float base = type == KFCL_MULT ? 1.0f : 0.0f, scale = type == KFCL_EULER_XYZ ? 30.0f : 1.0f;
    NodePtr target(Channels(type, 3, base));
    target->SetRotationOrder(order);
    for (int c = 0; c < 3; ++c)
        Keys(Curve(target.get(), c), {{0, base + scale * 0.3f}, {1, base + scale * (0.5f - 0.4f * c)}});
    node->TimeWarpSet(nullptr);
    ASSERT_TRUE(Plot(node.get(), nullptr, KFCURVE_PLOT_REPLACE_DESTINATION, 1, target.get()));
    for (KTime t : Grid(KTime(0), Sec(1.0))) ExpectSameRun(Eval(*node, t), Eval(*target, t), type, order);
}

std::string LayeredPlotName(const ::testing::TestParamInfo<std::pair<int, int>>& info) {
    const char* names[] = {"", "Add", "Euler", "Mult", "Quat"};
    return std::string(names[info.param.first]) + "Order" + std::to_string(info.param.second);
}

INSTANTIATE_TEST_SUITE_P(LayerTypes, LayeredPlot,
                         ::testing::Values(std::make_pair(KFCL_ADD, 0), std::make_pair(KFCL_MULT, 0),
                                           std::make_pair(KFCL_EULER_XYZ, 0), std::make_pair(KFCL_EULER_XYZ, 10)),
                         LayeredPlotName);

TEST(Plot, MultiplicativeSolveAgainstAZeroLayerWritesFiniteKeys) {
    NodePtr node(Channels(KFCL_MULT, 3, 1.0f));
    Curve(node.get(), 0).SetValue(0.0f);  // the base scales X to nothing
    Keys(Curve(node.get(), 1), {{0, 2}});
    LayerAt(*node, 2, {1, 1, 0});
    NodePtr target(Channels(KFCL_MULT, 3, 5.0f));
    ASSERT_TRUE(Plot(node.get(), nullptr, KFCURVE_PLOT_REPLACE_DESTINATION, 1, target.get()));
    KFCurveNode* destination = node->LayerGet(1);
    ASSERT_NE(destination, nullptr);
    for (int c = 0; c < 3; ++c) {
        KFCurve& curve = Curve(destination, c);
        ASSERT_EQ(curve.KeyGetCount(), 31);
        for (int i = 0; i < curve.KeyGetCount(); ++i)
            ASSERT_TRUE(std::isfinite(curve.KeyGetPtr(i)->GetValue()) && std::isfinite(curve.KeyGetLeftDerivative(i)) &&
                        std::isfinite(curve.KeyGetRightDerivative(i)))
                << "channel " << c << " key " << i;
    }
    // X free (the base is 0) and Z (a layer is 0): neutral; Y: 2 x 2.5 = 5.
    ExpectNear(KeyRun(destination, 5), {1.0, 2.5, 1.0}, 1e-6);
}

// ---- Smart plot and detail passes -------------------------------------------------------

class SmartPlot : public ::testing::Test {
protected:
    SmartPlot() {
        options.mSmartPlot = true;
        options.mBreakTangents = false;
        options.mIncreaseFidelity = false;
    }
    bool SmartPlotOf(KFCurveNode* node, KFCurveNode* result, bool timeWarp = false) {
        return Plot(node, result, 0, 0, nullptr, KTime::OneSecond(), timeWarp, &options);
    }
    KSmartPlotOptions options;
};

TEST_F(SmartPlot, KeysAtTheLayerKeysPerChannelAndExtraSamplesAroundThem) {
    const KTime key = Sec(0.51);
    NodePtr node(Leaf("V")), result(Leaf("R"));
    Keys(*node->FCurveGet(), {{0.51, 2}});
    ASSERT_TRUE(SmartPlotOf(node.get(), result.get()));
    EXPECT_EQ(Times(*result->FCurveGet()), (std::vector<KTime>{KTime(0), key}));

    // Every channel at the start; then each at its own layers' keys.
    NodePtr channels(Channels(KFCL_ADD, 3));
    Keys(Curve(channels.get(), 1), {{0.51, 2}});
    Keys(Curve(LayerAt(*channels, 1), 2), {{0.25, 1}});
    NodePtr plotted = ResultFor(channels);
    ASSERT_TRUE(SmartPlotOf(channels.get(), plotted.get()));
    EXPECT_EQ(Times(Curve(plotted.get(), 0)), (std::vector<KTime>{KTime(0)}));
    EXPECT_EQ(Times(Curve(plotted.get(), 1)), (std::vector<KTime>{KTime(0), key}));
    EXPECT_EQ(Times(Curve(plotted.get(), 2)), (std::vector<KTime>{KTime(0), Sec(0.25)}));
    EXPECT_FLOAT_EQ(Curve(plotted.get(), 1).KeyGetPtr(1)->GetValue(), 2.0f);
}

class DetailPass : public ::testing::Test {
protected:
    // Up to 1 at 0.5 s, back to 0 at 1 s: a corner in the middle.
    DetailPass() { Keys(*full->FCurveGet(), {{0, 0}, {0.5, 1}, {1, 0}}, kLinear); }
    KFCurve& Sparse() { return *sparse->FCurveGet(); }
    NodePtr sparse{Leaf("S")}, full{Leaf("F")};
};

TEST_F(DetailPass, FidelityInsertsKeysWhereTheSparseCurveStraysWithOrWithoutOffset) {
    for (KTime offset : {kOffset, KTime(0)}) {
        NodePtr loose(Leaf("S"));
        KFCurve& curve = *loose->FCurveGet();
        Keys(curve, {{0, 0}, {1, 0}});
        KFCURVE_IncreaseFidelity(loose.get(), full.get(), 0.25, 2, true, offset, 1.0);
        const int mid = static_cast<int>(curve.KeyFind(Sec(0.5)));
        EXPECT_EQ(curve.KeyGetPtr(mid)->GetTime(), Sec(0.5));
        EXPECT_FLOAT_EQ(curve.KeyGetPtr(mid)->GetValue(), 1.0f);
        for (int k = 0; k <= 16; ++k)
            EXPECT_NEAR(curve.Evaluate(Sec(k / 16.0)), full->FCurveGet()->Evaluate(Sec(k / 16.0)), 0.25);
        for (int i = 0; i < curve.KeyGetCount(); ++i)
            EXPECT_TRUE(std::isfinite(curve.KeyGetLeftDerivative(i)) && std::isfinite(curve.KeyGetRightDerivative(i)));
    }
}

TEST_F(DetailPass, BreakingTangentsGivesTheSparseKeysTheSlopesOfTheFullSampling) {
    Keys(Sparse(), {{0, 0}, {0.5, 1}, {1, 0}});  // auto keys round the corner off
    ASSERT_GT(Sparse().Evaluate(Sec(0.25)), 0.6f);
    KFCURVE_BreakTangents(sparse.get(), full.get(), KTime(0), 1.0);  // no offset: nothing
    KFCURVE_BreakTangents(sparse.get(), full.get(), kOffset, 3.0);   // a corner within the tolerance
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Sparse().KeyGetPtr(i)->GetTangeantMode(), kAuto) << i;

    KFCURVE_BreakTangents(sparse.get(), full.get(), kOffset, 1.0);
    EXPECT_EQ(Sparse().KeyGetPtr(1)->GetTangeantMode(), kUserBreak);
    EXPECT_NEAR(Sparse().KeyGetLeftDerivative(1), 2.0, 1e-3);
    EXPECT_NEAR(Sparse().KeyGetRightDerivative(1), -2.0, 1e-3);
    for (int k = 0; k <= 16; ++k)
        EXPECT_NEAR(Sparse().Evaluate(Sec(k / 16.0)), full->FCurveGet()->Evaluate(Sec(k / 16.0)), 1e-3) << k;

    // Channels pair by index; trees of different widths are left alone.
    NodePtr pair(Channels(KFCL_ADD, 2)), fullPair(Channels(KFCL_ADD, 2)), wider(Channels(KFCL_ADD, 3));
    for (int c = 0; c < 2; ++c) {
        Keys(Curve(pair.get(), c), {{0, 0}, {0.5, c ? 1.0f : 0.0f}, {1, 0}});
        Keys(Curve(fullPair.get(), c), {{0, 0}, {0.5, c ? 1.0f : 0.0f}, {1, 0}}, kLinear);
    }
    KFCURVE_BreakTangents(pair.get(), wider.get(), kOffset, 1.0);
    EXPECT_EQ(Curve(pair.get(), 1).KeyGetPtr(1)->GetTangeantMode(), kAuto);
    KFCURVE_BreakTangents(pair.get(), fullPair.get(), kOffset, 1.0);
    EXPECT_EQ(Curve(pair.get(), 0).KeyGetPtr(1)->GetTangeantMode(), kAuto) << "a flat channel keeps its keys";
    EXPECT_EQ(Curve(pair.get(), 1).KeyGetPtr(1)->GetTangeantMode(), kUserBreak);
}

// ---- Writing the result -----------------------------------------------------------------

class PlotFlags : public ::testing::Test {
protected:
    PlotFlags() {
        for (int c = 0; c < 2; ++c) Keys(Curve(node.get(), c), {{0, 1}, {2, 3}}, kLinear);
        Keys(Curve(LayerAt(*node, 1), 0), {{0, 10}, {2, 30}}, kLinear);
    }
    bool PlotInto(int destination, unsigned int flags, KArrayTemplate<int>* layers = nullptr,
                  KFCurveNode* result = nullptr, KTime start = KTime(0), KTime stop = KTime::OneSecond()) {
        return Plot(node.get(), result, flags, destination, nullptr, stop, false, nullptr, layers, start, &error);
    }
    NodePtr node{Channels(KFCL_ADD, 2)};
    KError error;
};

TEST_F(PlotFlags, DestinationAboveEveryLayerIsAnErrorAndChangesNothing) {
    KArrayTemplate<int> list;
    list.Add(0);
    list.Add(1);
    EXPECT_FALSE(PlotInto(5, KFCURVE_PLOT_REPLACE_DESTINATION | KFCURVE_PLOT_REMOVE_MERGED_LAYERS, &list));
    EXPECT_EQ(error.GetLastErrorID(), KFCURVE_PLOT_ERROR_NO_DESTINATION_LAYER);
    EXPECT_EQ(Curve(node.get(), 0).KeyGetCount(), 2);
    ASSERT_NE(node->LayerGet(1), nullptr);
    EXPECT_EQ(Curve(node->LayerGet(1), 0).KeyGetCount(), 2);

    // Between layers it is created, unless the node has a single layer.
    LayerAt(*node, 4);
    ASSERT_TRUE(PlotInto(2, KFCURVE_PLOT_REPLACE_DESTINATION));
    ASSERT_NE(node->LayerGet(2), nullptr);
    EXPECT_EQ(Curve(node->LayerGet(2), 1).KeyGetCount(), 31);
    EXPECT_NE(node->LayerGet(4), nullptr);
    node->SetMultiLayer(false);
    EXPECT_FALSE(PlotInto(3, KFCURVE_PLOT_REPLACE_DESTINATION));
    EXPECT_EQ(error.GetLastErrorID(), KFCURVE_PLOT_ERROR_NO_DESTINATION_LAYER);
}

TEST_F(PlotFlags, BadArgumentsAndTheEndOfTheTimeLine) {
    EXPECT_FALSE(KFCurve_PlotInLayers(nullptr, nullptr, 0, 0, KTime(0), Sec(1), kPeriod));
    EXPECT_FALSE(PlotInto(0, KFCURVE_PLOT_REPLACE_DESTINATION, nullptr, nullptr, Sec(1), KTime(0)));
    EXPECT_EQ(error.GetLastErrorID(), KFCURVE_PLOT_ERROR_BAD_ARGUMENT);
    EXPECT_FALSE(KFCurve_PlotInLayers(node.get(), nullptr, 0, 0, KTime(0), Sec(1), KTime(0)));
    EXPECT_FALSE(KFCurve_PlotInLayers(node.get(), nullptr, 0, 0, KTime::MinusInfinite(), KTime::Infinite(), KTime(1)));
    EXPECT_EQ(Curve(node.get(), 0).KeyGetCount(), 2);
    // The sample grid stops at the end of the time line instead of wrapping.
    NodePtr result = ResultFor(node);
    ASSERT_TRUE(PlotInto(0, 0, nullptr, result.get(), KTime::Infinite() - kPeriod * 3, KTime::Infinite()));
    EXPECT_EQ(Curve(result.get(), 0).KeyGetCount(), 4);
}

TEST_F(PlotFlags, ZeroedLayersTakeTheirNeutralValueOverTheSpanOnlyAndSpareTheDestination) {
    // Layer 1 adds 10 + 10 t to X: the total is 11 + 11 t on X and 1 + t on Y.
    KFCurveNode* layer = node->LayerGet(1);
    ASSERT_TRUE(PlotInto(0, KFCURVE_PLOT_SPLICE_INTO_DESTINATION | KFCURVE_PLOT_ZERO_MERGED_LAYERS));
    for (double s : {0.0, 0.5, 1.0}) {
        ExpectNear(Eval(*node, Sec(s)), {11 + 11 * s, 1 + s}, 1e-4);
        ExpectNear(Eval(*layer, Sec(s)), {0, 0}, 1e-6);
    }
    EXPECT_NE(Curve(node.get(), 0).KeyGetCount(), 0) << "the destination is not zeroed";
    // Outside the span the layer is as it was.
    EXPECT_FLOAT_EQ(Curve(layer, 0).Evaluate(Sec(-1)), 10.0f);
    EXPECT_FLOAT_EQ(Curve(layer, 0).Evaluate(Sec(2)), 30.0f);

    // Listed layers only, and zeroing rather than removal when both are asked; a
    // multiplicative layer's neutral value is 1.
    NodePtr scaled(Channels(KFCL_MULT, 1, 2.0f));
    KFCurveNode* twice = LayerAt(*scaled, 1);
    Keys(Curve(twice, 0), {{0, 3}, {2, 3}}, kLinear);
    LayerAt(*scaled, 2, {5});
    KArrayTemplate<int> list;
    list.Add(1);
    NodePtr result = ResultFor(scaled);
    ASSERT_TRUE(Plot(scaled.get(), result.get(), KFCURVE_PLOT_ZERO_MERGED_LAYERS | KFCURVE_PLOT_REMOVE_MERGED_LAYERS, 0,
                     nullptr, KTime::OneSecond(), false, nullptr, &list));
    EXPECT_FLOAT_EQ(Curve(result.get(), 0).KeyGetPtr(0)->GetValue(), 3.0f) << "the listed layer alone";
    ASSERT_EQ(scaled->LayerGet(1), twice);
    EXPECT_FLOAT_EQ(Curve(twice, 0).Evaluate(Sec(0.5)), 1.0f);
    EXPECT_FLOAT_EQ(Curve(scaled->LayerGet(2), 0).GetValue(), 5.0f);
    EXPECT_FLOAT_EQ(Curve(scaled.get(), 0).GetValue(), 2.0f);
}

TEST(Plot, MergeOptionsCoverTheWholeTimeLineAtThirtyFramesASecond) {
    const KMergeLayerOptions options;
    EXPECT_EQ(options.mTimeSpan.GetStart(), KTime::MinusInfinite());
    EXPECT_EQ(options.mTimeSpan.GetStop(), KTime::Infinite());
    EXPECT_EQ(options.mPlotPeriod, KTime(1539538600));
    EXPECT_FALSE(options.mSmartPlotOptions.mSmartPlot);
    EXPECT_EQ(options.mSmartPlotOptions.mSampleOffset, kOffset);
}

}  // namespace


#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "fcurve/kfcurveplot.h"
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

// A layer as files hold it: only the channels it names, each a leaf holding a value.
KFCurveNode* PartialLayer(const KFCurveNode& base, int id, std::initializer_list<std::pair<const char*, float>> channels) {
    KFCurveNode* layer = KFCurveNodeCreate(base.GetName(), base.GetDataType(), base.GetLayerType(), id);
    for (const auto& channel : channels) layer->Add(Leaf(channel.first, channel.second));
    return layer;
}

TEST(KFCurveNodeEvaluate, ALayerHoldingSomeChannelsActsOnThoseOfItsNames) {
    // Translation: a layer of Y alone adds to Y, not to X; a second layer of X and Z (in another
    // order, one name in other case) adds to those.
    NodePtr t(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, {10, 0, 0}));
    KFCurveNode* first = PartialLayer(*t, 1, {{"Y", 2}});
    t->LayerSet(first);
    ExpectNear(Eval(*t, KTime(0)), {10, 2, 0});
    first->LayerSet(PartialLayer(*t, 2, {{"z", 5}, {"X", 1}, {"Other", 100}}));
    ExpectNear(Eval(*t, KTime(0)), {11, 2, 5});

    // Scaling: Z alone is multiplied, the others stay as they are.
    NodePtr s(Vector("S", &KDataTypeLclScaling, KFCL_MULT, {2, 3, 4}));
    s->LayerSet(PartialLayer(*s, 1, {{"Z", 2}}));
    ExpectNear(Eval(*s, KTime(0)), {2, 3, 8});

    // Rotation: a layer of Y alone, and one of Z alone, turn about those axes.
    for (int axis : {1, 2}) {
        NodePtr r(Vector("R", &KDataTypeLclRotation, KFCL_EULER_XYZ, {30, 20, 10}));
        r->LayerSet(PartialLayer(*r, 1, {{axis == 1 ? "Y" : "Z", 40}}));
        const std::vector<double> expected = axis == 1 ? Compose(30, 20, 10, 0, 40, 0) : Compose(30, 20, 10, 0, 0, 40);
        ExpectSameRotation(Eval(*r, KTime(0)).data(), expected.data(), 1e-4);
    }

    // The plot reads the layers the same way.
    NodePtr plotted(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, {10, 0, 0}));
    plotted->LayerSet(PartialLayer(*plotted, 1, {{"Y", 2}}));
    NodePtr result(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, 3));
    ASSERT_TRUE(KFCurve_PlotInLayers(plotted.get(), nullptr, 0, 0, KTime(0), Sec(1.0), Sec(0.5), result.get()));
    ExpectNear(Eval(*result, Sec(0.5)), {10, 2, 0});
}

TEST(KFCurveNodeEvaluate, ALayersChannelsAreFoundAgainWhenTheTreeOrANameChanges) {
    // Translation (10, 0, 0) with a layer holding Y = 2: each change below, made right after an
    // evaluation that matched the channels by name, is seen by the next evaluation and plot.
    NodePtr t(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, {10, 0, 0}));
    KFCurveNode* layer = PartialLayer(*t, 1, {{"Y", 2}});
    t->LayerSet(layer);
    NodePtr z(Leaf("Z", 5)), result(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, 3));
    NodePtr other(PartialLayer(*t, 1, {{"Z", 4}, {"Y", 2}})), removed, first;
    const auto plotted = [&] {
        EXPECT_TRUE(KFCurve_PlotInLayers(t.get(), nullptr, 0, 0, KTime(0), Sec(1.0), Sec(0.5), result.get()));
        return Eval(*result, Sec(0.5));
    };
    const auto changed = [](KFCurveNode& node, std::initializer_list<double> before,
                            const std::function<void()>& change, std::initializer_list<double> after) {
        ExpectNear(Eval(node, KTime(0)), before);
        change();
        ExpectNear(Eval(node, KTime(0)), after);
    };
    // A channel added to the layer, then taken out (and kept).
    changed(*t, {10, 2, 0}, [&] { layer->Add(z.release()); }, {10, 2, 5});
    ExpectNear(plotted(), {10, 2, 5});
    changed(*t, {10, 2, 5}, [&] { removed.reset(layer->Get(1)), layer->Remove(1); }, {10, 2, 0});
    // Another layer in its place (the first kept).
    changed(*t, {10, 2, 0}, [&] { first.reset(t->LayerGet()), t->LayerSet(other.release(), false); }, {10, 2, 4});
    ExpectNear(plotted(), {10, 2, 4});
    // Its Y renamed X through the name record, twice: a record once given out may change unseen.
    KFCurveNode::NameInfo* name = t->LayerGet()->Get(1)->GetNameInfo();
    changed(*t, {10, 2, 4}, [&] { name->mName = "X"; }, {12, 0, 4});
    changed(*t, {12, 0, 4}, [&] { name->mName = "y"; }, {10, 2, 4});
    ExpectNear(plotted(), {10, 2, 4});

    // A base channel given a curve: the base's run, which the layer's values are laid out as,
    // grows by its value.
    NodePtr grown(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, {1, 0, 0}));
    KFCurve* x = grown->Get(0)->FCurveSet(nullptr, false);
    grown->LayerSet(PartialLayer(*grown, 1, {{"Z", 5}}));
    changed(*grown, {0, 5}, [&] { grown->Get(0)->FCurveSet(x, true); }, {1, 0, 5});
    // Its layer type made multiplying: the channels the layer lacks are multiplied by 1.
    changed(*grown, {1, 0, 5}, [&] { grown->SetLayerType(KFCL_MULT); }, {1, 0, 0});
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
    // into one layer, keyed (in two steps, or by CandidateKey), and the whole
    // node must then evaluate to the total.
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
        for (int target = 0; target <= 2; ++target)
            for (bool oneCall : {false, true}) {
                SCOPED_TRACE(::testing::Message() << "type " << c.layerType << " into " << target << " in "
                                                  << (oneCall ? "one call" : "two steps"));
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
                if (oneCall) {
                    node->CandidateKey(nullptr, target, nullptr, kCubic, KFCURVE_TANGEANT_USER);
                } else {
                    node->FromTotalCandidateToSpecificCandidate(target);
                    node->CandidateKeySpecificLayer(nullptr, target, nullptr, kCubic, KFCURVE_TANGEANT_USER);
                }
                node->CandidateClear(0, true);
                EXPECT_FALSE(node->IsCandidate());
                const std::vector<double> run = Eval(*node, time);
                ASSERT_EQ(run.size(), 3u);
                if (c.layerType == KFCL_EULER_XYZ || c.layerType == KFCL_QUAT)
                    ExpectSameRotation(run.data(), total.data());
                else
                    ExpectNear(run, {total[0], total[1], total[2]}, 1e-4);
                EXPECT_EQ(node->LayerGet(target)->Get(0)->FCurveGet()->KeyGetCount(), target == 2 ? 1 : 3);
            }
}

TEST(KFCurveNodeCandidate, KeyedRotationsStayContinuousWithTheLayersKeys) {
    // An Euler node keyed at 0 s, its total at 1 s: the key made is the
    // equivalent triple nearest the key before, whole turns or the other solution.
    const struct {
        std::initializer_list<float> before;
        std::vector<double> total;
        std::initializer_list<double> keyed;
    } cases[] = {
        {{0, 0, 350}, {0, 0, 370}, {0, 0, 370}},
        {{180, 180, 180}, {0, 0, 10}, {180, 180, 190}},
        {{0, 0, 0}, {0, 0, 10}, {0, 0, 10}},
    };
    for (const auto& c : cases) {
        NodePtr node = RotationNode();
        KeyAll(node, 0.0, c.before);
        std::vector<double> total = c.total;
        node->CandidateSet(Sec(1.0), total.data());
        node->CandidateKey(nullptr, 0, nullptr, kCubic, KFCURVE_TANGEANT_USER);
        std::vector<double> keyed;
        for (int i = 0; i < 3; ++i) keyed.push_back(C(node, i).KeyGetPtr(1)->GetValue());
        ExpectNear(keyed, c.keyed, 1e-3);
        node->CandidateClear();
        ExpectSameRotation(Eval(*node, Sec(1.0)).data(), total.data());
    }

    // A quaternion layer keyed on the negative side of the sphere keeps to it.
    NodePtr node(Vector("Q", nullptr, KFCL_QUAT, {0, 0, 0, 1}));
    KFCurveNode* layer = LayerAt(*node, 1);
    KeyRows(*layer, {{0, 0, 0, -1}, {0, 0, 0, -1}});
    std::vector<double> total = {0, 0, 30};
    node->CandidateSet(Sec(0.5), total.data(), 1);
    node->CandidateKey(nullptr, 1, nullptr, kCubic, KFCURVE_TANGEANT_USER);
    ASSERT_EQ(C(*layer, 3).KeyGetCount(), 3);
    EXPECT_NEAR(C(*layer, 3).KeyGetPtr(1)->GetValue(), -std::cos(15.0 * KM_DEG_TO_RAD), 1e-6);
    node->CandidateClear();
    ExpectSameRotation(Eval(*node, Sec(0.5)).data(), total.data());
}

TEST(KFCurveNodeCandidate, KeyingWholeTreesMaskedChannelsAndLayerCandidates) {
    // A transform's total: each part keys its own share.
    NodePtr transform(TransformNode());
    std::vector<double> total = {1, 2, 3, 10, 20, 30, 2, 3, 4};
    transform->CandidateSet(Sec(1.0), total.data());
    transform->CandidateKey(nullptr, 0, nullptr, kCubic, KFCURVE_TANGEANT_AUTO);
    transform->CandidateClear();
    const std::vector<double> run = Eval(*transform, Sec(1.0));
    ASSERT_EQ(run.size(), 9u);
    ExpectNear({run[0], run[1], run[2], run[6], run[7], run[8]}, {1, 2, 3, 2, 3, 4}, 1e-5);
    ExpectSameRotation(run.data() + 3, total.data() + 3);
    EXPECT_EQ(transform->KeyGetCount(), 9);

    // Candidates set on a layer directly are keyed as they are; a masked channel is not.
    NodePtr node(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, {1, 1, 1}));
    double values[3] = {4, 5, 6};
    node->CandidateSetSpecificLayer(Sec(2.0), values, 1);
    bool mask[3] = {true, false, true};
    node->CandidateKey(nullptr, 1, mask, kLinear, KFCURVE_TANGEANT_USER);
    KFCurveNode* layer = node->LayerGet(1);
    ASSERT_NE(layer, nullptr);
    EXPECT_EQ(Values(C(*layer, 0)), std::vector<float>{4});
    EXPECT_EQ(C(*layer, 1).KeyGetCount(), 0);
    EXPECT_EQ(Times(C(*layer, 2)), Secs({2}));
    EXPECT_EQ(node->KeyGetCount(false), 0) << "the base is not keyed";
    // A node of one layer keys its base whatever layer is named.
    NodePtr single(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, {1, 1, 1}));
    single->SetMultiLayer(false);
    Keys(C(single, 0), {{0, 1}});
    std::vector<double> wanted = {3, 4, 5};
    single->CandidateSet(Sec(1.0), wanted.data(), 2);
    single->CandidateKey(nullptr, 2, nullptr, kLinear, KFCURVE_TANGEANT_USER);
    single->CandidateClear();
    ExpectNear(Eval(*single, Sec(1.0)), {3, 4, 5}, 1e-5);
    // Only a base-layer node keys.
    layer->CandidateSetSpecificLayer(Sec(3.0), values, 1);
    layer->CandidateKey(nullptr, 1, nullptr, kLinear, KFCURVE_TANGEANT_USER);
    EXPECT_EQ(C(*layer, 1).KeyGetCount(), 0);
}

TEST(KFCurveNodeCandidate, SpecificLayersEvaluateAloneAndTheOthersSumOrMultiply) {
    NodePtr node(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, {1, 2, 3}));
    KFCurveNode* one = LayerAt(*node, 1, {10, 20, 30});
    LayerAt(*node, 3, {100, 200, 300});
    double out[4] = {-1, -1, -1, -1};
    EXPECT_EQ(node->EvaluateSpecificLayer(out, KTime(0), 2), out) << "no layer 2";
    EXPECT_EQ(out[0], -1.0);
    EXPECT_EQ(node->EvaluateSpecificLayer(out, KTime(0), 3), out + 3);
    ExpectNear({out[0], out[1], out[2]}, {100, 200, 300});
    C(*one, 0).CandidateSet(KTime(0), 7.0);
    node->CandidateEvaluateSpecificLayer(out, KTime(0), 1);
    ExpectNear({out[0], out[1], out[2]}, {7, 20, 30});
    node->EvaluateSpecificLayer(out, KTime(0), 1);
    EXPECT_EQ(out[0], 10.0);
    double sum[3] = {0, 0, 0};
    node->EvaluateCurvesExceptLayerRecursiveAdd(sum, KTime(0), 1);
    ExpectNear({sum[0], sum[1], sum[2]}, {101, 202, 303});

    NodePtr scaling(Vector("S", &KDataTypeLclScaling, KFCL_MULT, {2, 2, 2}));
    LayerAt(*scaling, 1, {3, 3, 3});
    LayerAt(*scaling, 2, {5, 5, 5});
    double product[3] = {1, 1, 1};
    scaling->EvaluateCurvesExceptLayerRecursiveMult(product, KTime(0), 2);
    ExpectNear({product[0], product[1], product[2]}, {6, 6, 6});
    // A rotation layer gives its own angles and ends after them.
    NodePtr rotation(Vector("R", &KDataTypeLclRotation, KFCL_EULER_XYZ, {30, 0, 0}));
    LayerAt(*rotation, 1, {0, 40, 0});
    EXPECT_EQ(rotation->EvaluateSpecificLayer(out, KTime(0), 1), out + 3);
    ExpectNear({out[0], out[1], out[2]}, {0, 40, 0}, 1e-5);
}

TEST(KFCurveNodeCandidate, LayerCandidatesAndTotalsAreReadBackAtTheWarpedTime) {
    int layerEvents = 0;
    NodePtr node(Vector("T", &KDataTypeLclTranslation, KFCL_ADD, {1, 1, 1}));
    node->CallbackRegister(
        [](KFCurveNode*, KFCurveNodeEvent* e, void* n) { *static_cast<int*>(n) += (e->mType & KFCURVENODEEVENT_LAYER) != 0; },
        &layerEvents);
    node->TimeWarpSet(DoublingWarp());
    double values[3] = {4, 5, 6};
    EXPECT_EQ(node->CandidateSetSpecificLayer(Sec(1.0), values, 2), values + 3);
    EXPECT_GT(layerEvents, 0) << "layer 2 was made";
    EXPECT_FALSE(node->IsCandidate());
    KFCurveNode* layer = node->LayerGet(2);
    ASSERT_NE(layer, nullptr);
    double read[3];
    KTime time;
    EXPECT_EQ(layer->CandidateGetWithTime(read, time), read + 3);
    ExpectNear({read[0], read[1], read[2]}, {4, 5, 6});
    EXPECT_EQ(time, Sec(2.0));
    // Keyless channels take the values as their own.
    node->CandidateClear(2);
    ExpectNear(Eval(*node, Sec(7.0)), {5, 6, 7});

    std::vector<double> total = {9, 8, 7};
    node->CandidateSet(Sec(1.0), total.data());
    double four[4];
    EXPECT_EQ(node->CandidateGetTotalCandidate(four, time), four + 4);
    EXPECT_EQ(std::vector<double>(four, four + 3), total);
    EXPECT_EQ(time, Sec(2.0));
    EXPECT_TRUE(node->IsCandidate());
}

TEST(KFCurveNodeCandidate, SavedStateComesBackWholeAndDumpsNested) {
    NodePtr node(Vector("V", nullptr, KFCL_ADD, 5));  // wider than four channels
    double base[5] = {1, 2, 3, 4, 5}, layered[5] = {10, 20, 30, 40, 50};
    node->CandidateSetSpecificLayer(Sec(1.0), base, 0);
    node->CandidateSetSpecificLayer(Sec(1.0), layered, 1);
    KFCurveNodeCandidateState state;
    node->GetCandidateState(state);
    node->CandidateClear(0, true);
    for (int i = 0; i < 5; ++i) C(node, i).SetValue(0.0f);

    node->SetCandidateState(state);
    double read[5];
    KTime time;
    node->CandidateGetWithTime(read, time);
    EXPECT_EQ(std::vector<double>(read, read + 5), std::vector<double>(base, base + 5));
    EXPECT_EQ(time, Sec(1.0));
    node->LayerGet(1)->CandidateGetWithTime(read, time);
    EXPECT_EQ(read[4], 50.0);
    EXPECT_FLOAT_EQ(C(node, 4).GetValue(), 5.0f);

    const std::string text = state.Dump(1).Buffer();
    EXPECT_EQ(text.rfind(" mSpecificCandidateMethod = 1\n mTotalCandidateMethod = 1\n"
                         " mCandidateTotalValue = 0.000000, 0.000000, 0.000000, 0.000000\n",
                         0),
              0u);
    EXPECT_NE(text.find(" mLayerState:\n   mSpecificCandidateMethod = 1\n"), std::string::npos);
    EXPECT_NE(text.find(" mSubStates[4]:\n   mSpecificCandidateMethod = 1\n"), std::string::npos);
    EXPECT_NE(text.find("   mCandidateSpecificValue = 5.000000\n   mFCurveValue = 5.000000\n"
                        "   mCandidateSpecificTime = 1.000000\n"),
              std::string::npos);
    std::size_t records = 0;
    for (std::size_t at = text.find("mSubStates["); at != std::string::npos; at = text.find("mSubStates[", at + 1))
        ++records;
    EXPECT_EQ(records, 10u) << "five channels in each layer";
}

TEST(KFCurveNodeCandidate, TotalsAndLayerSharesAreReadBackAndAMissingLayerGivesItsNeutralValues) {
    NodePtr node(Vector("T", &KDataTypeLclTranslation, KFCL_ADD));
    for (int c = 0; c < 3; ++c) Keys(C(node, c), {{0, static_cast<float>(c + 1)}});
    LayerAt(*node, 1, {10, 20, 30});
    double out[4] = {-1, -1, -1, -1};
    EXPECT_EQ(node->CandidateGet(out), out) << "no candidate yet";
    std::vector<double> total = {15, 25, 35};
    node->CandidateSet(Sec(1.0), total.data());
    EXPECT_EQ(node->CandidateGet(out), out + 3);
    ExpectNear({out[0], out[1], out[2]}, {15, 25, 35});

    // Layer 1's share is what it must add to the base (1, 2, 3) for the total.
    KTime time;
    EXPECT_EQ(node->CandidateGetSpecificLayer(out, time, 1), out + 3);
    ExpectNear({out[0], out[1], out[2]}, {14, 23, 32});
    EXPECT_EQ(time, Sec(1.0));
    EXPECT_EQ(node->CandidateGetSpecificLayer(out, time, 5), out + 3);
    ExpectNear({out[0], out[1], out[2]}, {0, 0, 0});
    NodePtr scaling(Vector("S", &KDataTypeLclScaling, KFCL_MULT, {2, 2, 2}));
    scaling->CandidateGetSpecificLayer(out, time, 3);
    ExpectNear({out[0], out[1], out[2]}, {1, 1, 1});

    node->CandidateClear();
    out[0] = -1;
    EXPECT_EQ(node->CandidateGet(out), out);
    EXPECT_EQ(out[0], -1.0);

    // A base quaternion node holds its total as three angles.
    NodePtr quaternion(Vector("Q", nullptr, KFCL_QUAT, {0, 0, 0, 1}));
    std::vector<double> angles = {10, 20, 30};
    quaternion->CandidateSet(Sec(1.0), angles.data());
    EXPECT_EQ(quaternion->CandidateGet(out), out + 3);
    ExpectNear({out[0], out[1], out[2]}, {10, 20, 30}, 1e-9);
}

TEST(KFCurveNodeEvaluate, UpdateIdsSumTheChannelsAndOnlyTheValuesCountTheLayers) {
    NodePtr node(Vector("T", &KDataTypeLclTranslation, KFCL_ADD));
    KFCurveNode* layer = LayerAt(*node, 1);
    const int all = node->GetUpdateId(), values = node->GetValuesUpdateId();
    // A curve's default value counts 2 (its event and one more).
    C(node, 0).SetValue(2.0f);
    C(node, 2).SetValue(2.0f);
    EXPECT_EQ(node->GetUpdateId(), all + 4);
    EXPECT_EQ(node->GetValuesUpdateId(), values + 4);
    C(*layer, 1).SetValue(3.0f);
    EXPECT_EQ(node->GetUpdateId(), all + 4) << "the layers are not the node's own curves";
    EXPECT_EQ(node->GetValuesUpdateId(), values + 6);
    // Selection changes the whole counter, not the values.
    node->SetSelected(true, -1, false);
    EXPECT_EQ(node->GetUpdateId(), all + 4 + 3 * 0x10000);
    EXPECT_EQ(node->GetValuesUpdateId(), values + 6);
}

}  // namespace


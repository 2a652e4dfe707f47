#include "scene/kzeqnodefinder.h"

#include <gtest/gtest.h>

#include <string>

#include "fcurve/kfcurve.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/tests/scene_test_support.h"

using namespace scenetest;

namespace {

struct Skeleton : KZeqNodeAttribute {
    explicit Skeleton(KZeqSdkManager& manager) : KZeqNodeAttribute(manager) {}
    EAttributeType GetAttributeType() const override { return eSKELETON; }
};

struct BadScaleCase {
    const char* mName;
    bool mSkeleton;
    bool mChild;
    double mScale[3];
    const char* mFound;  // "bone", "negative", "non-uniform" or ""
};

class BadScale : public ::testing::TestWithParam<BadScaleCase> {};

const char* Where(KZeqNodeFinderBadScale& finder) {
    if (finder.BoneScaleStaticNodeArray().GetCount()) return "bone";
    if (finder.NegativeScaleStaticNodeArray().GetCount()) return "negative";
    if (finder.NonUniformScaleStaticNodeArray().GetCount()) return "non-uniform";
    return "";
}

}  // namespace

TEST_P(BadScale, StaticScaleOfTheDefaultTake) {
    const BadScaleCase& c = GetParam();
    KZeqSdkManager manager;
    KZeqNode* node = manager.CreateKZeqNode("n");
    Skeleton skeleton(manager);
    if (c.mSkeleton) node->SetNodeAttribute(&skeleton);
    if (c.mChild) node->AddChild(manager.CreateKZeqNode("child"));
    node->SetDefaultS(KZeqVector4(c.mScale[0], c.mScale[1], c.mScale[2], 0));
    KZeqNodeFinderBadScale finder;
    finder.Apply(*node);
    EXPECT_STREQ(c.mFound, Where(finder));
    node->SetNodeAttribute(nullptr);
}

INSTANTIATE_TEST_SUITE_P(KZeqNodeFinder, BadScale,
                         ::testing::Values(BadScaleCase{"BoneNearOne", true, true, {1, 1, 1 + 1e-6}, "bone"},
                                           BadScaleCase{"PlainNearOne", false, true, {1, 1, 1 + 1e-6}, "non-uniform"},
                                           BadScaleCase{"ChildlessUniform", true, false, {2, 2, 2}, ""},
                                           BadScaleCase{"ChildlessPlainNegative", false, false, {1, -1, 1}, "negative"},
                                           BadScaleCase{"ChildlessSkeletonNegative", true, false, {1, -1, 1}, ""},
                                           BadScaleCase{"Unit", true, true, {1, 1, 1}, ""}),
                         [](const ::testing::TestParamInfo<BadScaleCase>& info) {
                             return std::string(info.param.mName);
                         });

TEST(KZeqNodeFinder, AnimatedScaleSampledUpToTheLastTime) {
    KZeqSdkManager manager;
    KZeqNode* node = manager.CreateKZeqNode("n");
    KZeqTakeNode* take = node->CreateTakeNode("T1");
    node->SetCurrentTakeNode("T1");
    KFCurve* axes[3] = {take->GetScaleX(), take->GetScaleY(), take->GetScaleZ()};
    for (KFCurve* axis : axes) {
        Key(axis, 0.0, 1.0f);
        Key(axis, 1.0, -1.0f);  // uniform, crossing zero
    }
    KZeqNodeFinderBadScale finder;
    finder.SetCheckBoneScale(false);
    EXPECT_EQ(1, finder.Apply(*node).GetCount());
    EXPECT_EQ(1, finder.NegativeScaleAnimatedNodeArray().GetCount());
    // Keys at the far end of time: sampling stops there instead of wrapping.
    for (KFCurve* axis : axes) axis->KeyClear();
    KFCurveKey key{};
    key.Set(KTime(0), 1.0f, KFCURVE_INTERPOLATION_CONSTANT, 0, 0, 0, 0, 0, 0, 0, 0);
    axes[0]->KeyAdd(KTime(KTime::kInfiniteTicks - 1000), key);
    key.SetValue(2.0f);
    axes[1]->KeyAdd(KTime(KTime::kInfiniteTicks - 1), key);
    finder.Reset();
    finder.Apply(*node);
    EXPECT_EQ(0, finder.NonUniformScaleAnimatedNodeArray().GetCount());  // childless
    EXPECT_EQ(KZeqNodeFinderBadScale::eNonUniformScale, finder.CheckCurve(axes));
    finder.SetCheckNonUniformScale(false);
    finder.SetCheckNegativeScale(false);
    EXPECT_EQ(KZeqNodeFinderBadScale::eNone, finder.CheckCurve(axes));
}

// Keys at both ends of the time line (a take's span a bake reached): the walk takes whole periods
// far enough apart that it ends, and still sees what lies between the keys and at them.
TEST(KZeqNodeFinder, AScalingKeyedAcrossTheWholeTimeLineIsWalkedInBoundedSteps) {
    KZeqSdkManager manager;
    KZeqNode* node = manager.CreateKZeqNode("n");
    KZeqTakeNode* take = node->CreateTakeNode("T1");
    node->SetCurrentTakeNode("T1");
    KFCurve* axes[3] = {take->GetScaleX(), take->GetScaleY(), take->GetScaleZ()};
    KFCurveKey key{};
    key.Set(KTime(0), 1.0f, KFCURVE_INTERPOLATION_LINEAR, 0, 0, 0, 0, 0, 0, 0, 0);
    for (KFCurve* axis : axes) {
        axis->KeyAdd(KTime(KTime::kMinusInfiniteTicks + 1), key);
        axis->KeyAdd(KTime(KTime::kInfiniteTicks - 1), key);
    }
    KZeqNodeFinderBadScale finder;
    finder.SetCheckBoneScale(false);
    EXPECT_EQ(KZeqNodeFinderBadScale::eNone, finder.CheckCurve(axes));
    // Y rises to 3 and back over the middle of the line: between the keys of X and Z.
    key.SetValue(3.0f);
    axes[1]->KeyAdd(KTime(0), key);
    EXPECT_EQ(KZeqNodeFinderBadScale::eNonUniformScale, finder.CheckCurve(axes));
    // A key below zero, a tick wide, is met at the key.
    key.SetValue(-1.0f);
    axes[1]->KeyAdd(KTime(12345), key);
    EXPECT_EQ(KZeqNodeFinderBadScale::eNegativeScale, finder.CheckCurve(axes));
}

// The walk over a scaling keyed across more than 2^20 periods takes at most 2^20 steps (and every
// key): over 2^20 x 1000 periods of 1/24 s it steps 1001 periods. A dip below zero between two keys
// a period apart is met where a step lands in it, and not where none does.
TEST(KZeqNodeFinder, TheWalkOfALongScalingTakesAMillionStepsAndNoMore) {
    KTime frame;
    frame.SetSecondDouble(1.0 / 24.0);
    const kLongLong period = frame.Get();
    const kLongLong frames = (1LL << 20) * 1000;
    const auto scaling = [&](kLongLong dipAt, KFCurve& x) {
        KFCurveKey key{};
        key.Set(KTime(0), 1.0f, KFCURVE_INTERPOLATION_LINEAR, 0, 0, 0, 0, 0, 0, 0, 0);
        x.KeyAdd(KTime(0), key);
        x.KeyAdd(KTime(frames * period), key);
        // Down and up again steeply: at the middle, 1 - 400 / 24 / 4 below zero.
        key.Set(KTime(dipAt - period / 2), 1.0f, KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_USER, -400.0f, 400.0f,
                KFCURVE_WEIGHTED_NONE, KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0, 0);
        x.KeyAdd(KTime(dipAt - period / 2), key);
        key.Set(KTime(dipAt + period / 2), 1.0f, KFCURVE_INTERPOLATION_LINEAR, 0, 0, 0, 0, 0, 0, 0, 0);
        x.KeyAdd(KTime(dipAt + period / 2), key);
        ASSERT_LT(x.Evaluate(KTime(dipAt)), 0.0f);
    };
    KZeqNodeFinderBadScale finder;
    finder.SetCheckBoneScale(false);
    // At 1001 periods a step lands (a walk of 10 times fewer steps, 10001 periods each, misses it).
    {
        KFCurve* x = KFCurveCreate();
        scaling(1001 * period, *x);
        KFCurve* axes[3] = {x, nullptr, nullptr};
        EXPECT_EQ(KZeqNodeFinderBadScale::eNegativeScale, finder.CheckCurve(axes));
        x->Destroy();
    }
    // At 101 periods none does (a walk of 10 times more steps, 101 periods each, would meet it).
    {
        KFCurve* x = KFCurveCreate();
        scaling(101 * period, *x);
        KFCurve* axes[3] = {x, nullptr, nullptr};
        EXPECT_EQ(KZeqNodeFinderBadScale::eNone, finder.CheckCurve(axes));
        x->Destroy();
    }
}

// The current take's scaling is animated only where its curves hold keys: a static non-uniform
// scale under a keyed translation is static, said once; a keyed uniform scaling with a non-uniform
// value without keys is nothing; keyed non-uniform scaling is animated.
TEST(KZeqNodeFinder, AnimatedOnlyWhereTheScalingIsKeyed) {
    KZeqSdkManager manager;
    KZeqNode* node = manager.CreateKZeqNode("n");
    node->AddChild(manager.CreateKZeqNode("child"));
    KZeqTakeNode* take = node->CreateTakeNode("T1");
    node->SetCurrentTakeNode("T1");
    Key(take->GetTranslationX(), 0.0, 1.0f);
    Key(take->GetTranslationX(), 1.0, 2.0f);
    const auto found = [&](const char* what) {
        KZeqNodeFinderBadScale finder;
        finder.Apply(*node);
        return std::to_string(finder.NonUniformScaleStaticNodeArray().GetCount()) + " static, " +
               std::to_string(finder.NonUniformScaleAnimatedNodeArray().GetCount()) + " animated " + what;
    };
    // The node's scaling, in every take.
    node->SetDefaultS(KZeqVector4(1, 2, 1, 0));
    EXPECT_EQ(found("both takes"), "1 static, 0 animated both takes");
    node->SetDefaultS(KZeqVector4(1, 1, 1, 0));
    take->GetScaleY()->SetValue(2.0f);
    EXPECT_EQ(found("the current take"), "1 static, 0 animated the current take");
    for (KFCurve* axis : {take->GetScaleX(), take->GetScaleY(), take->GetScaleZ()}) {
        Key(axis, 0.0, 1.0f);
        Key(axis, 1.0, 3.0f);
    }
    EXPECT_EQ(found("keyed uniform"), "0 static, 0 animated keyed uniform");
    take->GetScaleZ()->KeyClear();
    take->GetScaleZ()->SetValue(1.0f);
    EXPECT_EQ(found("keyed unevenly"), "0 static, 1 animated keyed unevenly");
}

TEST(KZeqNodeFinder, DuplicateNamesAddUpOverWalks) {
    KZeqSdkManager manager;
    KZeqNode *top = manager.CreateKZeqNode("top"), *a = manager.CreateKZeqNode("a"),
             *twin = manager.CreateKZeqNode("a");
    top->AddChild(a);
    top->AddChild(twin);
    KZeqNodeFinderDuplicateName finder(nullptr);
    finder.Apply(*top);
    EXPECT_TRUE(finder.GetNodeArray().GetCount() == 3 && finder.GetDuplicateNodeArray().GetCount() == 1);
    EXPECT_EQ(twin, finder.GetDuplicateNodeArray()[0]);
    finder.Apply(*top);  // each node now matches its own earlier entry
    EXPECT_TRUE(finder.GetNodeArray().GetCount() == 3 && finder.GetDuplicateNodeArray().GetCount() == 4);
    finder.Reset();
    finder.SetState(KZeqNodeFinderDuplicateName::eNODE, false);
    finder.Apply(*top);
    finder.Apply(*top);
    EXPECT_TRUE(finder.GetNodeArray().GetCount() == 6 && finder.GetDuplicateNodeArray().GetCount() == 0);
    // Against an entity: a name under its root is taken.
    KZeqEntity entity(manager);
    entity.GetRootNode()->AddChild(manager.CreateKZeqNode("top2"));
    KZeqNodeFinderDuplicateName against(&entity);
    KZeqNode* clash = manager.CreateKZeqNode("top2");
    against.Apply(*clash);
    EXPECT_EQ(1, against.GetDuplicateNodeArray().GetCount());
    EXPECT_FALSE(clash->SetEntity(&entity, true));
    EXPECT_EQ(KZeqNode::eNodeNameClash, clash->GetLastErrorID());
    // A single leaf: found once; walked again it matches its own entry, and a
    // node of its name walked after it is a duplicate too.
    KZeqNodeFinderDuplicateName single(nullptr);
    KZeqNode *leaf = manager.CreateKZeqNode("leaf"), *namesake = manager.CreateKZeqNode("leaf");
    single.Apply(*leaf);
    EXPECT_TRUE(single.GetNodeArray().GetCount() == 1 && single.GetDuplicateNodeArray().GetCount() == 0);
    single.Apply(*leaf);
    EXPECT_TRUE(single.GetNodeArray().GetCount() == 1 && single.GetDuplicateNodeArray().GetCount() == 1);
    single.Reset();
    single.Apply(*leaf);
    single.Apply(*namesake);
    EXPECT_TRUE(single.GetNodeArray().GetCount() == 2 && single.GetDuplicateNodeArray().GetCount() == 1);
    EXPECT_EQ(namesake, single.GetDuplicateNodeArray()[0]);
}

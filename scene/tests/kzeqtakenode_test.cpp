#include "scene/kzeqtakenode.h"

#include <gtest/gtest.h>

#include "object/kdatatype.h"
#include "scene/kzeqpropertyhandler.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/tests/scene_test_support.h"

using namespace scenetest;

namespace {

typedef KFCurve* (KZeqTakeNode::*Accessor)();

std::vector<double> KeyTimes(KFCurve* curve) {
    std::vector<double> times;
    for (int i = 0; i < curve->KeyGetCount(); ++i) times.push_back(curve->KeyGet(i).GetTime().GetSecondDouble());
    return times;
}

}  // namespace

TEST(KZeqTakeNode, EmptyTakeFindsNothingAndAHitLeavesTheError) {
    KZeqTakeNode take("Default");
    for (Accessor accessor : {&KZeqTakeNode::GetTranslationX, &KZeqTakeNode::GetVisibility, &KZeqTakeNode::GetColorR,
                              &KZeqTakeNode::GetBackgroundColorB, &KZeqTakeNode::GetIKReachRotation,
                              &KZeqTakeNode::GetTextureAlpha, &KZeqTakeNode::GetMaterialShininess}) {
        take.GetError().ClearLastError();
        EXPECT_EQ(nullptr, (take.*accessor)());
        EXPECT_STREQ("Curve not found", take.GetLastErrorString());
    }
    take.GetKFCurveNode()->FCurveSet(KFCurveCreate(), true);
    take.GetError().ClearLastError();
    EXPECT_EQ(take.GetKFCurveNode()->FCurveGet(), take.GetKFCurve(nullptr, nullptr, static_cast<const char*>(nullptr)));
    EXPECT_EQ(-1, take.GetLastErrorID());
}

TEST(KZeqTakeNode, FixedPathsAtAnyDepthIgnoringCase) {
    KZeqTakeNode take("Take 001");
    KFCurveNode* root = take.GetKFCurveNode();
    KFCurve* tx = MakePath(root, {"Group", "transform", "Inner", "t", "x"});
    MakePath(root, {"Group", "transform", "Rot", "Y"});
    MakePath(root, {"Group", "transform", "Scaling"}, &KDataTypeLclScaling);
    MakePath(root, {"Diffuse", "R"});  // colour channels are never R, G, B
    const struct {
        const char* mName;
        Accessor mAccessor;
        KFCurve* mExpected;
    } rows[] = {{"T through two levels", &KZeqTakeNode::GetTranslationX, tx},
                {"Rot is not R", &KZeqTakeNode::GetEulerRotationY, nullptr},
                {"Lcl Scaling is S, but has no Z", &KZeqTakeNode::GetScaleZ, nullptr},
                {"Visibility by data type", &KZeqTakeNode::GetVisibility,
                 MakePath(root, {"Deep", "Vis"}, &KDataTypeVisibility)},
                {"Color X", &KZeqTakeNode::GetColorR, MakePath(root, {"Look", "Color", "X"})},
                {"Diffuse R is not red", &KZeqTakeNode::GetMaterialDiffuseColorR, nullptr},
                {"case ignored", &KZeqTakeNode::GetCameraFieldOfViewX, MakePath(root, {"Lens", "fieldofviewx"})}};
    for (const auto& row : rows) EXPECT_EQ(row.mExpected, (take.*row.mAccessor)()) << row.mName;
    KFCurve* scaleZ = MakePath(root->FindRecursive("Scaling"), {"Z"});
    EXPECT_EQ(scaleZ, take.GetScaleZ());
    EXPECT_FALSE(take.IsChannelAnimated("Transform", "T", "X"));
    Key(tx, 1.0, 2.0f);
    EXPECT_TRUE(take.IsChannelAnimated(nullptr, "Inner", "x"));
}

TEST(KZeqTakeNode, PropertyAnimationByChannelIndex) {
    KZeqSdkManager manager;
    struct Handler : KZeqPropertyHandler {
        void DefaultValueChanged(KZeqUserProperty*) override {}
        KZeqObject* GetKZeqObject() override { return nullptr; }
    } handler;
    KZeqTakeNode take("T1");
    KFCurve* speed = MakePath(take.GetKFCurveNode(), {"Speed"});
    for (const char* axis : {"X", "Y", "Z"}) MakePath(take.GetKFCurveNode(), {"Transform", "T", axis});
    KZeqUserProperty* one = manager.CreateKZeqUserProperty("Speed", "Real", "");
    KZeqUserProperty* lcl = manager.CreateKZeqUserProperty(
        handler.CreatePropertyFromType("Lcl Translation", kPropertyTypeVector, nullptr, true, false, nullptr));
    take.GetError().ClearLastError();
    EXPECT_EQ(speed, take.GetPropertyAnimation(one, 0));
    EXPECT_EQ(take.GetTranslationZ(), take.GetPropertyAnimation(lcl, 2));
    for (unsigned channel : {3u, 0xFFFFFFFFu}) EXPECT_EQ(nullptr, take.GetPropertyAnimation(lcl, channel));
    EXPECT_EQ(nullptr, take.GetPropertyAnimation(one, 1));
    EXPECT_EQ(-1, take.GetLastErrorID());
}

TEST(KZeqTakeNode, RotationToTranslationMergesKeyTimes) {
    KZeqTakeNode take("T1");
    KFCurve* axes[3];
    const char* names[3] = {"X", "Y", "Z"};
    for (int k = 0; k < 3; ++k) axes[k] = MakePath(take.GetKFCurveNode(), {"Transform", "T", names[k]});
    Key(axes[0], 0.0, 1.0f);
    Key(axes[0], 10.0, 3.0f);
    Key(axes[1], 5.0, 4.0f);
    axes[2]->SetValue(7.0f);
    axes[0]->SetPostExtrapolation(KFCURVE_EXTRAPOLATION_REPETITION);
    const float green[3] = {0.0f, 1.0f, 0.0f};
    axes[1]->SetColor(green);

    ASSERT_TRUE(take.AddRotationToTranslation(KZeqVector4(0, 0, 0, 0)));
    const float values[3][3] = {{1, 2, 3}, {4, 4, 4}, {7, 7, 7}};
    for (int k = 0; k < 3; ++k) {
        ASSERT_EQ(std::vector<double>({0.0, 5.0, 10.0}), KeyTimes(axes[k])) << k;
        for (int i = 0; i < 3; ++i) {
            const KFCurveKey key = axes[k]->KeyGet(i);
            EXPECT_FLOAT_EQ(values[k][i], key.GetValue());
            EXPECT_EQ(KFCURVE_INTERPOLATION_CUBIC | KFCURVE_TANGEANT_AUTO,
                      key.GetInterpolation() | key.GetTangeantMode() | key.GetTangeantWeightMode());
        }
    }
    // Each channel keeps its own look and extrapolation.
    EXPECT_EQ(KFCURVE_EXTRAPOLATION_REPETITION, axes[0]->GetPostExtrapolation());
    EXPECT_EQ(1.0f, axes[1]->GetColor()[1]);
    // 90 degrees about Z takes x to y and y to -x, keys and defaults alike.
    ASSERT_TRUE(take.AddRotationToTranslation(KZeqVector4(0, 0, 90, 0)));
    EXPECT_NEAR(-4.0, axes[0]->KeyGet(1).GetValue(), 1e-5);
    EXPECT_NEAR(2.0, axes[1]->KeyGet(1).GetValue(), 1e-5);
    EXPECT_NEAR(7.0, axes[2]->GetValue(), 1e-5);

    // A cycling motion keeps cycling once turned: each axis keeps its
    // extrapolation, so past the keys the result is still the turned motion
    // (new curves' constant extrapolation would freeze it at the last key).
    KZeqTakeNode cycle("T3");
    for (int k = 0; k < 3; ++k) {
        axes[k] = MakePath(cycle.GetKFCurveNode(), {"Transform", "T", names[k]});
        axes[k]->SetPostExtrapolation(KFCURVE_EXTRAPOLATION_REPETITION);
        axes[k]->SetPostExtrapolationCount(5);
    }
    Key(axes[0], 0.0, 0.0f);
    Key(axes[0], 10.0, 10.0f);
    const double before = axes[0]->Evaluate(Sec(15.0));
    ASSERT_LT(before, 9.0);  // inside the second cycle, not held at 10
    ASSERT_TRUE(cycle.AddRotationToTranslation(KZeqVector4(0, 0, 90, 0)));
    EXPECT_NEAR(before, axes[1]->Evaluate(Sec(15.0)), 1e-4);
    EXPECT_NEAR(0.0, axes[0]->Evaluate(Sec(15.0)), 1e-4);

    KZeqTakeNode bare("T2");
    KFCurve* x = MakePath(bare.GetKFCurveNode(), {"Transform", "T", "X"});
    x->SetValue(1.0f);
    EXPECT_FALSE(bare.AddRotationToTranslation(KZeqVector4(0, 0, 90, 0)));
    EXPECT_EQ(1.0f, x->GetValue());
}

TEST(KZeqTakeNode, CopyIsDeepAndReferenceContainersEndInsideOut) {
    KZeqTakeNode take("Default");
    Key(MakePath(take.GetKFCurveNode(), {"Transform", "T", "X"}), 1.0, 5.0f);
    KZeqTakeNode copy(take);
    Key(copy.GetTranslationX(), 2.0, 6.0f);
    EXPECT_EQ(1, take.GetTranslationX()->KeyGetCount());
    EXPECT_EQ(2, copy.GetTranslationX()->KeyGetCount());

    // A root that only lists nodes owned elsewhere: its nested lists end, the
    // listed nodes stay with their owner (the sanitizer checks both).
    KFCurveNode* owner = KFCurveNodeCreate("Owner");
    KFCurveNode* owned = owner->FindOrCreate("Owned", true);
    {
        KZeqTakeNode references("Refs");
        KFCurveNode* lists[3] = {references.GetKFCurveNode(), KFCurveNodeCreate("List"), KFCurveNodeCreate("Nested")};
        for (KFCurveNode* list : lists) list->SetContainerType(KFCURVENODE_CONTAINER);
        lists[0]->Add(lists[1]);
        lists[1]->Add(lists[2]);
        lists[1]->Add(owned);
    }
    EXPECT_EQ(owner, owned->GetParent());
    owner->Destroy();
}

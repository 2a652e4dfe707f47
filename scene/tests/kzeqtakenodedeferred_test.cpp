// A new node's default take makes its channels when first used. Whatever happens before that, the
// channels then made hold the defaults, and carry the callbacks, that channels made with the node
// would hold and carry by then: each scenario runs on a node left alone and on a node whose
// channels were made at once, and the two must agree.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "content/kzeqcamera.h"
#include "content/kzeqnull.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"
#include "scene/kzequserproperty.h"
#include "scene/tests/scene_test_support.h"

using namespace scenetest;

namespace {

// What happens to the node before its channels are looked at.
struct Scenario {
    const char* mName;
    std::function<void(KZeqSdkManager&, KZeqNode&)> mRun;
};

KProperty* Lcl(KZeqNode& node, const char* name) { return node.GetPropertyHandler()->FindPropertyByName(name); }

const Scenario kScenarios[] = {
    {"Nothing", [](KZeqSdkManager&, KZeqNode&) {}},
    // A property written directly does not reach the curves.
    {"PropertyWrittenDirectly",
     [](KZeqSdkManager&, KZeqNode& node) {
         const double t[3] = {1.25, 2.5, -3.75};
         Lcl(node, "Lcl Translation")->SetData(t);
         node.SetVisibility(false);
     }},
    // Defaults through the node reach both.
    {"DefaultsThroughTheNode",
     [](KZeqSdkManager&, KZeqNode& node) {
         node.SetDefaultT(KZeqVector4(0.1, 0.2, 0.3, 0));
         node.SetDefaultR(KZeqVector4(45, -90, 180, 0));
         node.SetDefaultS(KZeqVector4(3, 0.5, 1e-3, 0));
         node.SetDefaultVisibility(0.0);
     }},
    {"DefaultsThroughMadeWrappers",
     [](KZeqSdkManager&, KZeqNode& node) {
         node.FindPropertyByName("Lcl Rotation")->SetDefaultValue(7.0, 8.0, 9.0);
         node.FindPropertyByName("Visibility")->SetDefaultValue(0.5);
         node.FindPropertyByName("Lcl Scaling")->SetDefaultValue(2.0);  // one value on a vector: a curve on "S"
     }},
    // The curves take the properties' values, quietly.
    {"DefaultTakeFromProperties",
     [](KZeqSdkManager&, KZeqNode& node) {
         const double r[3] = {10.0, 20.0, 30.000001};
         Lcl(node, "Lcl Rotation")->SetData(r);
         Lcl(node, "Visibility")->SetDouble(0.125);
         node.UpdateDefaultTakeFromProperties();
         Lcl(node, "Lcl Rotation")->SetDataMember(0, -1.0);
     }},
    {"TakesCopiedAndCurrent",
     [](KZeqSdkManager&, KZeqNode& node) {
         node.SetDefaultT(KZeqVector4(4, 5, 6, 0));
         node.CreateTakeNode("Walk");
         node.SetDefaultT(KZeqVector4(7, 8, 9, 0));
         node.CreateTakeNode("Run");
         node.SetCurrentTakeNode("Walk");
         node.SetDefaultVisibility(0.75);  // the current take and the default one
     }},
    {"CallbacksDropped",
     [](KZeqSdkManager&, KZeqNode& node) {
         node.SetDefaultS(KZeqVector4(2, 2, 2, 0));
         node.UnregisterAllDefaultTakeCallback();
     }},
    {"NullThenCamera",
     [](KZeqSdkManager& manager, KZeqNode& node) {
         node.SetDefaultT(KZeqVector4(1, 1, 1, 0));
         node.SetNodeAttribute(manager.CreateKZeqNull());
         node.SetDefaultR(KZeqVector4(2, 2, 2, 0));
         if (KZeqNodeAttribute* former = node.SetNodeAttribute(manager.CreateKZeqCamera()))
             manager.DestroyKZeqNodeAttribute(former);
     }},
    {"UserPropertiesAdded",
     [](KZeqSdkManager& manager, KZeqNode& node) {
         KZeqUserProperty* plain = manager.CreateKZeqUserProperty("Note", "Integer", "");
         node.AddProperty(plain);
         KZeqUserProperty* animated = manager.CreateKZeqUserProperty("Gain", "Real", "");
         animated->ModifyFlag(KZeqUserProperty::eANIMATABLE, true);
         node.AddProperty(animated);
         animated->SetDefaultValue(0.5);
     }},
    {"Copied",
     [](KZeqSdkManager& manager, KZeqNode& node) {
         KZeqNode* source = manager.CreateKZeqNode("source");
         source->SetDefaultT(KZeqVector4(3, 2, 1, 0));
         source->CreateTakeNode("Walk");
         node = *source;
     }},
    {"MatricesRead",
     [](KZeqSdkManager&, KZeqNode& node) {
         node.SetDefaultR(KZeqVector4(0, 90, 0, 0));
         node.GetGlobalFromDefaultTake();
         node.SetDefaultT(KZeqVector4(5, 0, 0, 0));
     }},
};

class DeferredTake : public ::testing::TestWithParam<int> {
protected:
    KZeqSdkManager mManager;
};

std::string ScenarioName(const ::testing::TestParamInfo<int>& info) { return kScenarios[info.param].mName; }

}  // namespace

TEST_P(DeferredTake, ChannelsMadeLateAgreeWithChannelsMadeAtOnce) {
    const Scenario& scenario = kScenarios[GetParam()];
    KZeqNode* late = mManager.CreateKZeqNode("late");
    KZeqNode* early = mManager.CreateKZeqNode("early");
    early->GetDefaultTakeNode()->GetKFCurveNode();
    scenario.mRun(mManager, *late);
    scenario.mRun(mManager, *early);

    // Matrices read before and after the channels are made agree (caches kept or not alike).
    EXPECT_EQ(early->GetLocalFromDefaultTake(), late->GetLocalFromDefaultTake());
    ASSERT_EQ(early->GetTakeNodeCount(), late->GetTakeNodeCount());
    EXPECT_EQ(early->GetCurrentTakeNodeIndex(), late->GetCurrentTakeNodeIndex());
    for (int take = 0; take < late->GetTakeNodeCount(); ++take)
        ExpectSameTree(early->GetTakeNode(take)->GetKFCurveNode(), late->GetTakeNode(take)->GetKFCurveNode(),
                       late->GetTakeNodeName(take));
    early->SetCurrentTakeNode(0);
    late->SetCurrentTakeNode(0);
    EXPECT_EQ(early->GetLocalFromDefaultTake(), late->GetLocalFromDefaultTake());

    // The same callbacks: the same records, and a curve's new default reaches the same properties.
    ASSERT_EQ(early->GetDefaultTakeCallbackCount(), late->GetDefaultTakeCallbackCount());
    for (int i = 0; i < late->GetDefaultTakeCallbackCount(); ++i) {
        KZeqDefaultTakeCallback* a = early->GetDefaultTakeCallback(i);
        KZeqDefaultTakeCallback* b = late->GetDefaultTakeCallback(i);
        EXPECT_EQ(a->mChannel, b->mChannel) << i;
        const bool same = a->GetProperty() && b->GetProperty() &&
                          std::string(a->GetProperty()->GetPropertyName()) == b->GetProperty()->GetPropertyName();
        EXPECT_TRUE(same || (!a->GetProperty() && !b->GetProperty())) << i;
        EXPECT_EQ(b->mContainer, late) << i;
    }
    KZeqTakeNode* lateTake = late->GetDefaultTakeNode();
    KZeqTakeNode* earlyTake = early->GetDefaultTakeNode();
    float value = 11.0f;
    for (auto curve : {&KZeqTakeNode::GetTranslationY, &KZeqTakeNode::GetEulerRotationZ, &KZeqTakeNode::GetScaleX,
                       &KZeqTakeNode::GetVisibility}) {
        (lateTake->*curve)()->SetValue(value);
        (earlyTake->*curve)()->SetValue(value);
        value += 1.5f;
    }
    for (const char* name : {"Lcl Translation", "Lcl Rotation", "Lcl Scaling", "Visibility"})
        EXPECT_EQ(PropertyValues(Lcl(*early, name)), PropertyValues(Lcl(*late, name))) << name;
}

INSTANTIATE_TEST_SUITE_P(Scenarios, DeferredTake,
                         ::testing::Range(0, static_cast<int>(sizeof(kScenarios) / sizeof(kScenarios[0]))),
                         ScenarioName);

// The two directions on a fresh node, with no wrapper and no channel looked at before.
TEST(DeferredTakeCallbacks, PropertyToCurveAndCurveToProperty) {
    KZeqSdkManager manager;
    KZeqNode* node = manager.CreateKZeqNode("n");
    node->SetDefaultT(KZeqVector4(1.5, 2.5, 3.5, 0));
    EXPECT_EQ(2.5f, node->GetDefaultTakeNode()->GetTranslationY()->GetValue());
    KZeqNode* other = manager.CreateKZeqNode("m");
    other->GetDefaultTakeNode()->GetScaleZ()->SetValue(4.0f);
    EXPECT_EQ(std::vector<double>({1, 1, 4}), PropertyValues(Lcl(*other, "Lcl Scaling")));
    EXPECT_EQ(10, other->GetDefaultTakeCallbackCount());
    // A fresh node's callbacks are counted without looking at its channels first.
    EXPECT_EQ(10, manager.CreateKZeqNode("k")->GetDefaultTakeCallbackCount());
}

#include "content/kzeqlight.h"

#include <gtest/gtest.h>

#include "base/karray.h"
#include "content/kzeqgobo.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodefinder.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

double F(double value) { return static_cast<float>(value); }

// Lights on nodes under an entity's root, sharing one gobo.
struct LightsInEntity : ::testing::Test {
    KZeqNode* LitNode(const char* name, KZeqGobo* projected) {
        KZeqNode* node = manager.CreateKZeqNode(name);
        KZeqLight* light = manager.CreateKZeqLight();
        light->SetGobo(projected);
        node->SetNodeAttribute(light);
        return node;
    }
    KZeqSdkManager manager;
    KZeqEntity entity{manager};
    KZeqGobo* gobo = manager.CreateKZeqGobo("Video::window");
};

}  // namespace

TEST(KZeqLight, NewLightAndItsProperties) {
    KZeqSdkManager manager;
    KZeqLight* light = manager.CreateKZeqLight();
    EXPECT_TRUE(light->GetLightType() == KZeqLight::ePOINT && light->GetCastLight() && !light->GetGobo());
    KArrayTemplate<KProperty*> list;
    light->FillPropertyList(&list);
    ASSERT_EQ(6, list.GetCount());
    const char* names[6] = {"LightType", "CastLightOnObject", "Color", "Intensity", "Cone angle", "Fog"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_STREQ(names[i], list[i]->GetPropertyName());
        EXPECT_EQ(i >= 2, list[i]->IsAnimatable() && list[i]->IsAnimated()) << names[i];
    }
    KZeqColor color(0, 0, 0, 0.5);
    light->GetDefaultColor(color);  // detached: the properties answer
    EXPECT_TRUE(color.mRed == 1 && color.mBlue == 1 && color.mAlpha == 0.5);
    EXPECT_TRUE(light->GetDefaultIntensity() == 100 && light->GetDefaultConeAngle() == 45 &&
                light->GetDefaultFog() == 50);
    EXPECT_STREQ("Spot Light", list[0]->GetValueAsString(2));
    EXPECT_EQ(nullptr, list[0]->GetValueAsString(3));
}

TEST(KZeqLight, ChannelsStartOverAndDefaultsFollowAttachment) {
    KZeqSdkManager manager;
    KZeqNode* node = manager.CreateKZeqNode("lamp");
    node->CreateTakeNode("Take 001");
    KFCurveNode* root = node->GetTakeNode(1)->GetKFCurveNode();
    root->FindOrCreate("Intensity", true)->FCurveGet()->SetValue(7.0f);
    KZeqLight* light = manager.CreateKZeqLight();
    light->SetDefaultIntensity(12.5);  // detached: the property, which the channels start from
    EXPECT_EQ(12.5, light->GetDefaultIntensity());
    node->SetNodeAttribute(light);
    EXPECT_EQ(KZeqNode::eNO_MULTI_TAKE, node->GetMultiTakeMode());
    for (int t = 0; t < 2; ++t) {
        KZeqTakeNode* take = node->GetTakeNode(t);
        EXPECT_TRUE(take->GetColorR()->GetValue() == 1 && take->GetColorB()->GetValue() == 1);
        EXPECT_TRUE(take->GetLightIntensity()->GetValue() == 12.5f && take->GetLightConeAngle()->GetValue() == 45 &&
                    take->GetLightFog()->GetValue() == 50);
    }
    EXPECT_EQ(12.5, light->GetDefaultIntensity());
    light->SetDefaultIntensity(25.0);
    EXPECT_EQ(25.0, node->GetDefaultTakeNode()->GetLightIntensity()->GetValue());
    light->SetDefaultFog(0.1);
    EXPECT_TRUE(light->GetDefaultFog() == F(0.1) && light->GetDefaultFog() != 0.1);
    light->SetDefaultColor(KZeqColor(0.5, 0.25, 0.125, 0.0));
    EXPECT_EQ(0.25, node->GetDefaultTakeNode()->GetColorG()->GetValue());
    EXPECT_EQ(0.71f, node->GetDefaultTakeNode()->GetLightConeAngle()->GetColor()[2]);

    // A take holding only "Intensity" loses it and nothing else.
    KZeqTakeNode lone("lone");
    lone.GetKFCurveNode()->FindOrCreate("Intensity", true);
    lone.GetKFCurveNode()->FindOrCreate("Other", true);
    light->RemoveChannels(&lone);
    EXPECT_TRUE(lone.GetKFCurveNode()->GetCount() == 1 && lone.GetKFCurveNode()->Find("Other") == 0);

    // A missing channel: the getter answers the property, the setter sets only it.
    KFCurveNode* defaults = node->GetDefaultTakeNode()->GetKFCurveNode();
    defaults->Delete(defaults->Find("Fog"));
    light->SetDefaultFog(3);
    EXPECT_EQ(3, light->GetDefaultFog());
    node->SetNodeAttribute(nullptr);
    EXPECT_EQ(nullptr, root->FindRecursive("Color"));
}

TEST_F(LightsInEntity, GoboFollowsAttachmentAndSetGobo) {
    KZeqNode* node = LitNode("a", gobo);
    EXPECT_EQ(0, entity.GetGoboCount());
    entity.GetRootNode()->AddChild(node);
    ASSERT_EQ(1, entity.GetGoboCount());
    KZeqLight* light = node->GetLight();
    EXPECT_TRUE(light->SetGobo(nullptr) && entity.GetGoboCount() == 0 && !light->GetGobo());
    // A gobo of a listed name is refused by the entity.
    KZeqGobo* other = manager.CreateKZeqGobo("Video::other");
    KZeqGobo* twin = manager.CreateKZeqGobo("Video::other");
    KZeqNode* b = LitNode("b", other);
    entity.GetRootNode()->AddChild(b);
    EXPECT_FALSE(light->SetGobo(twin));
    EXPECT_TRUE(!light->GetGobo() && entity.GetGoboCount() == 1);
    EXPECT_TRUE(light->SetGobo(gobo) && entity.GetGoboCount() == 2);
    node->SetNodeAttribute(nullptr);
    EXPECT_TRUE(entity.GetGoboCount() == 1 && entity.GetGobo(0) == other);
}

// Each light holding a gobo holds one reference on it: two lights sharing
// one, moved out of the entity together, leave nothing behind.
TEST_F(LightsInEntity, SharedGoboReferencesBalance) {
    KZeqNode* group = manager.CreateKZeqNode("group");
    entity.GetRootNode()->AddChild(group);
    KZeqNode *a = LitNode("a", gobo), *b = LitNode("b", gobo);
    group->AddChild(a);
    group->AddChild(b);
    EXPECT_EQ(1, entity.GetGoboCount());
    entity.GetRootNode()->RemoveChild(group);
    EXPECT_EQ(0, entity.GetGoboCount());
    entity.GetRootNode()->AddChild(group);
    a->SetNodeAttribute(nullptr);
    EXPECT_EQ(1, entity.GetGoboCount());  // b still projects it
    b->GetLight()->SetGobo(nullptr);
    EXPECT_EQ(0, entity.GetGoboCount());
}

TEST_F(LightsInEntity, FinderSkipsTheSameGoboButNotANamesake) {
    KZeqNode* group = manager.CreateKZeqNode("group");
    group->AddChild(LitNode("a", gobo));
    group->AddChild(LitNode("b", gobo));
    KZeqNodeFinderDuplicateName finder(&entity);
    finder.Apply(*group);
    EXPECT_TRUE(finder.GetGoboArray().GetCount() == 1 && finder.GetDuplicateGoboArray().GetCount() == 0);
    group->AddChild(LitNode("c", manager.CreateKZeqGobo("Video::window")));
    EXPECT_FALSE(entity.GetRootNode()->AddChild(group));
    EXPECT_EQ(KZeqNode::eGoboNameClash, entity.GetRootNode()->GetLastErrorID());
}

TEST_F(LightsInEntity, CopyingASpotLightTakesTypeGoboAndCastFlag) {
    KZeqLight* spot = manager.CreateKZeqLight();
    spot->SetLightType(KZeqLight::eSPOT);
    spot->SetGobo(gobo);
    spot->SetCastLight(false);
    KZeqNode* node = manager.CreateKZeqNode("target");
    entity.GetRootNode()->AddChild(node);
    KZeqLight* target = manager.CreateKZeqLight();
    node->SetNodeAttribute(target);
    target->SetDefaultIntensity(20);
    *target = *spot;
    EXPECT_TRUE(target->GetLightType() == KZeqLight::eSPOT && target->GetGobo() == gobo && !target->GetCastLight());
    EXPECT_TRUE(target->GetDefaultIntensity() == 20 && entity.GetGoboCount() == 1);
    KZeqColor color;
    EXPECT_EQ(1.0, target->GetDefaultColor(color).mGreen);
}

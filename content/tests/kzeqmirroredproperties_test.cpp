// Properties that mirror a channel of the default take taking the channel's values, whatever name
// the channel bears and whether or not it is made yet.
#include <gtest/gtest.h>

#include "content/kzeqcamera.h"
#include "content/kzeqtexture.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"

using namespace zeqsdk_400;

TEST(MirroredProperties, TakeTheirChannelsUnderAnyName) {
    KZeqSdkManager manager;
    KZeqCamera* camera = manager.CreateKZeqCamera();
    KZeqNode* node = manager.CreateKZeqNode("cam");
    node->SetNodeAttribute(camera);
    node->GetDefaultTakeNode()->GetBackgroundColorG()->SetValue(0.5f);
    node->UpdatePropertiesFromDefaultTake();
    EXPECT_EQ(0.5, camera->GetBackgroundColor().mGreen);

    KZeqTexture* texture = manager.CreateKZeqTexture("t");
    KFCurve* alpha = texture->GetDefaultTakeNode()->GetTextureAlpha();
    alpha->SetValue(0.25f);
    texture->UpdatePropertiesFromDefaultTake();
    EXPECT_EQ(0.25, texture->GetDefaultAlpha());
    // The other way, as a property block is read; publishing makes no channel of the property's name.
    texture->GetPropertyHandler()->mTextureAlpha->SetDouble(0.75);
    texture->UpdateDefaultTakeFromProperties();
    texture->PublishProperties();
    EXPECT_EQ(0.75f, alpha->GetValue());
    EXPECT_EQ(nullptr, texture->GetDefaultTakeNode()->GetKFCurveNode()->FindRecursive("Texture alpha"));

    // Channels not made yet give their values and stay unmade.
    KZeqNode* plain = manager.CreateKZeqNode("plain");
    KZeqTakeNode* take = plain->GetDefaultTakeNode();
    ASSERT_TRUE(take->IsDeferred());
    take->GetStandardValues()[KZeqTakeNode::eTY] = 4.0f;  // behind the property's back
    plain->UpdatePropertiesFromDefaultTake();
    EXPECT_TRUE(take->IsDeferred());
    double translation[4] = {};
    plain->GetPropertyHandler()->mLclTranslation->GetDataAsDoubles(translation, 4);
    EXPECT_EQ(4.0, translation[1]);
}

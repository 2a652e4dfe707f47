#include "content/kzeqtexture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fcurve/kfcurve.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

typedef KZeqTexture T;

// One step of a mapping sequence: a mapping type (planar false) or a planar
// normal, then the "CurrentMappingType" expected.
struct MappingStep {
    bool mPlanarNormal;
    int mValue;
    int mCurrent;
};
struct MappingCase {
    const char* mName;
    std::vector<MappingStep> mSteps;
};

class TextureMapping : public ::testing::TestWithParam<MappingCase> {};

}  // namespace

TEST(KZeqTexture, NewTextureSettingsAndPropertyOrder) {
    KZeqSdkManager manager;
    KZeqTexture* texture = manager.CreateKZeqTexture("t");
    KZeqTextureProperties* p = texture->GetPropertyHandler();
    EXPECT_STREQ("Texture::t", texture->GetName());
    EXPECT_TRUE(texture->GetMappingType() == T::eUV && p->CurrentMappingType.Value() == T::eUMT_UV &&
                texture->GetPlanarMappingNormal() == T::ePLANAR_NORMAL_X);
    EXPECT_STREQ("Additive", p->CurrentTextureBlendModeAsString(texture->GetBlendMode()));
    EXPECT_TRUE(texture->GetWrapModeU() == T::eREPEAT && texture->GetTextureUse() == T::eSTANDARD &&
                texture->GetMaterialUse() == T::eDEFAULT_MATERIAL && !texture->GetSwapUV());
    EXPECT_TRUE(texture->GetTextureType() == "TextureVideoClip" && texture->GetTypeName() == "TextureVideoClip");
    EXPECT_TRUE(texture->GetUVScaling() == KZeqVector2(1, 1) && texture->GetScaleU() == 1.0);
    EXPECT_EQ(1.0, texture->GetDefaultTakeNode()->GetTextureAlpha()->GetValue());
    EXPECT_EQ(1.0, texture->GetDefaultAlpha());
    const char* order[] = {"Translation",   "Rotation",  "Scaling",   "Texture alpha",        "TextureTypeUse",
                           "CurrentTextureBlendMode", "UseMaterial", "UseMipMap", "CurrentMappingType", "UVSwap",
                           "WrapModeU", "WrapModeV", "TextureRotationPivot", "TextureScalingPivot", "VideoProperty"};
    ASSERT_EQ(15, p->GetPropertyCount());
    for (int i = 0; i < 15; ++i) EXPECT_STREQ(order[i], p->GetProperty(i)->GetPropertyName());
    EXPECT_TRUE(p->GetProperty(0)->IsAnimatable() && !p->GetProperty(4)->IsAnimatable());
    EXPECT_STREQ("Clamp", p->WrapModeVAsString(T::eCLAMP));
    EXPECT_EQ(nullptr, p->CurrentTextureBlendModeAsString(T::EBlendMode(4)));
    EXPECT_STREQ("Bump Map (NormalMap)", p->TextureTypeUse.GetValueAsString(5));
}

TEST_P(TextureMapping, CurrentMappingTypeFollows) {
    KZeqSdkManager manager;
    KZeqTexture* texture = manager.CreateKZeqTexture("t");
    for (const MappingStep& step : GetParam().mSteps) {
        if (step.mPlanarNormal)
            texture->SetPlanarMappingNormal(T::EPlanarMappingNormal(step.mValue));
        else
            texture->SetMappingType(T::EMappingType(step.mValue));
        EXPECT_EQ(step.mCurrent, texture->GetPropertyHandler()->CurrentMappingType.Value()) << step.mValue;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, TextureMapping,
    ::testing::Values(MappingCase{"PlanarFollowsNormal", {{true, 2, 0}, {false, 1, 1}, {true, 0, 2}, {true, 1, 3}}},
                      MappingCase{"NormalIgnoredWhenNotPlanar", {{false, 2, 4}, {true, 0, 4}}},
                      MappingCase{"UnknownNormalKeepsIt", {{false, 1, 2}, {true, 7, 2}}},
                      MappingCase{"EveryType", {{false, 3, 5}, {false, 4, 8}, {false, 5, 9}, {false, 6, 0},
                                                {false, 7, 6}, {false, 0, 10}, {false, 9, 10}, {false, -1, 10}}}),
    [](const ::testing::TestParamInfo<MappingCase>& info) { return std::string(info.param.mName); });

TEST(KZeqTexture, UsesCroppingAndCopy) {
    KZeqSdkManager manager;
    KZeqTexture *a = manager.CreateKZeqTexture("a"), *b = manager.CreateKZeqTexture("b");
    const int stored[] = {0, 3, 4, 1, 2, 5};
    for (int use = 0; use < 6; ++use) {
        a->SetTextureUse(T::ETextureUse(use));
        EXPECT_TRUE(a->GetPropertyHandler()->TextureTypeUse.Value() == stored[use] && a->GetTextureUse() == use);
    }
    a->SetTextureUse(T::ETextureUse(9));
    EXPECT_EQ(0, a->GetPropertyHandler()->TextureTypeUse.Value());
    a->SetCropping(1, 2, 3, 4);
    EXPECT_TRUE(a->GetCroppingLeft() == 1 && a->GetCroppingTop() == 2 && a->GetCroppingRight() == 3 &&
                a->GetCroppingBottom() == 4);
    a->SetFileName("wood.tif");
    a->SetRelativeFileName("maps/wood.tif");
    a->SetMappingType(T::ePLANAR);
    a->SetPlanarMappingNormal(T::ePLANAR_NORMAL_Z);
    a->SetWrapMode(T::eCLAMP, T::eREPEAT);
    a->SetTranslation(0.5, 0.25);
    *b = *a;
    EXPECT_TRUE(*a == *b && std::string("wood.tif") == b->GetFileName() && *b->GetRelativeFileName() == 0);
    EXPECT_TRUE(b->GetPropertyHandler()->CurrentMappingType.Value() == T::eUMT_Z && b->GetWrapModeU() == T::eCLAMP);
    EXPECT_EQ(0.25, b->GetTranslationV());
    EXPECT_STREQ("Texture::a", b->GetName());
}

// Names compare without trailing digits and blanks; translation z, scaling z,
// blend and wrap modes are not compared; file names are, exactly.
TEST(KZeqTexture, EqualityCutsTrailingDigits) {
    KZeqSdkManager manager;
    KZeqTexture *a = manager.CreateKZeqTexture("wood 01"), *b = manager.CreateKZeqTexture("wood7");
    b->SetDefaultT(KZeqVector4(0, 0, 5, 1));
    b->SetDefaultS(KZeqVector4(1, 1, 3, 1));
    b->SetBlendMode(T::eMODULATE);
    b->SetWrapMode(T::eCLAMP, T::eCLAMP);
    EXPECT_TRUE(*a == *b);
    EXPECT_FALSE(*manager.CreateKZeqTexture("12") == *a);
    a->SetName("12 ");
    b->SetName("Texture::3");  // both cut to "Texture::"
    EXPECT_TRUE(*a == *b);
    a->SetFileName("Wood.tif");
    b->SetFileName("wood.tif");
    EXPECT_FALSE(*a == *b);
    b->SetFileName("Wood.tif");
    b->SetRotation(0, 0, 1);
    EXPECT_FALSE(*a == *b);
}

TEST(KZeqTexture, ErrorObjectIsSharedAndPlacementSetsProperties) {
    KZeqSdkManager manager;
    KZeqTexture *a = manager.CreateKZeqTexture("a"), *b = manager.CreateKZeqTexture("b");
    EXPECT_FALSE(a->SetCurrentTakeNode("missing"));
    EXPECT_STREQ("Unknown take node name", b->GetLastErrorString());
    EXPECT_EQ(&a->GetError(), &KZeqTexture::GetError());
    a->SetRotation(10, 20, 30);
    double rotation[4] = {};
    a->GetPropertyHandler()->mRotation->GetDataAsDoubles(rotation, 4);
    EXPECT_TRUE(rotation[0] == 10 && rotation[2] == 30 && a->GetRotationW() == 30);
    a->SetDefaultAlpha(0.5);
    EXPECT_TRUE(a->GetDefaultAlpha() == 0.5 && a->GetDefaultTakeNode()->GetTextureAlpha()->GetValue() == 0.5);
}

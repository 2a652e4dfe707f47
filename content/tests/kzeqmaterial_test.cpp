#include "content/kzeqmaterial.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "content/kzeqdeformer.h"
#include "content/kzeqtexture.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "base/kname.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/tests/scene_test_support.h"

using namespace zeqsdk_400;

namespace {

double F(double value) { return static_cast<float>(value); }

// Ends a channel node of the Default take, as a file without it would leave it.
void DropChannel(KZeqTakeNodeContainer& container, const char* name) {
    KFCurveNode* root = container.GetDefaultTakeNode()->GetKFCurveNode();
    root->Delete(root->Find(name));
}

}  // namespace

TEST(KZeqMaterial, DefaultsReadBackThroughFloatCurves) {
    KZeqSdkManager manager;
    KZeqMaterial* material = manager.CreateKZeqMaterial("Texture::wood");
    EXPECT_STREQ("Material::wood", material->GetName());
    EXPECT_TRUE(std::string("phong") == material->GetShadingModel() && !material->GetMultiLayer());
    const struct {
        KZeqColor mColor;
        double mExpected;
    } colors[] = {{material->GetAmbient(), 0.2}, {material->GetDiffuse(), 0.8},
                  {material->GetSpecular(), 0.2}, {material->GetEmissive(), 0.0}};
    for (const auto& c : colors)
        EXPECT_TRUE(c.mColor.mRed == F(c.mExpected) && c.mColor.mBlue == F(c.mExpected) && c.mColor.mAlpha == 1.0);
    EXPECT_EQ(1.0, material->GetOpacity());
    EXPECT_EQ(F(0.3), material->GetReflectivity());
    EXPECT_EQ(F(6.4), material->GetDefaultTakeNode()->GetMaterialShininess()->GetValue());
    EXPECT_NEAR(0.05, material->GetShininess(), 1e-7);
    // The Default take writes through to the properties.
    material->SetDefaultDiffuseColor(KZeqColor(0.5, 0.25, 1.0, 0.0));
    EXPECT_EQ(0.25, material->GetPropertyHandler()->Diffuse.Get().mData[1]);
}

TEST(KZeqMaterial, OpacityAndShininessClamp) {
    KZeqSdkManager manager;
    KZeqMaterial* material = manager.CreateKZeqMaterial("m");
    KFCurve* shininess = material->GetDefaultTakeNode()->GetMaterialShininess();
    const struct {
        double mOpacity, mStoredOpacity, mShininess, mStoredShininess;
    } rows[] = {{1.5, 1.0, 0.5, 64.0}, {-0.2, 0.0, 2.0, 128.0}, {NAN, 0.0, -1.0, 0.0}, {0.5, 0.5, NAN, 0.0}};
    for (const auto& row : rows) {
        material->SetDefaultOpacity(row.mOpacity);
        material->SetDefaultShininess(row.mShininess);
        EXPECT_EQ(row.mStoredOpacity, material->GetDefaultOpacity());
        EXPECT_EQ(row.mStoredShininess, shininess->GetValue());
    }
    for (auto curve : {std::make_pair(200.0f, 1.0), std::make_pair(-5.0f, 0.0), std::make_pair(32.0f, 0.25)}) {
        shininess->SetValue(curve.first);
        EXPECT_EQ(curve.second, material->GetDefaultShininess());
    }
}

TEST(KZeqMaterial, EqualityAndCopy) {
    KZeqSdkManager manager;
    KZeqMaterial *a = manager.CreateKZeqMaterial("m"), *b = manager.CreateKZeqMaterial("m");
    b->SetShadingModel("PHONG");
    b->SetMultiLayer(true);
    b->SetAmbient(KZeqColor(0.2, 0.2, 0.2, 0.5));  // alpha is not compared
    EXPECT_TRUE(*a == *b);
    b->SetName("M");
    EXPECT_FALSE(*a == *b);
    b->SetName("m");
    b->SetReflectivity(0.4);
    EXPECT_FALSE(*a == *b);
    a->SetShadingModel("lambert");
    *a = *b;
    EXPECT_TRUE(*a == *b && !a->GetMultiLayer() && std::string("PHONG") == a->GetShadingModel());
}

// The take named "Default" in any case ties the channels to the properties.
TEST(KZeqMaterial, OnlyADefaultTakeRegistersCallbacks) {
    KZeqSdkManager manager;
    KZeqMaterial* material = manager.CreateKZeqMaterial("m");
    const int registered = material->GetDefaultTakeCallbackCount();
    EXPECT_EQ(15, registered);
    for (const char* name : {"Take 001", "DEFAULT"}) {
        KZeqTakeNode take(name);
        material->AddChannels(&take);
        EXPECT_TRUE(take.GetMaterialSpecularColorB() && take.GetMaterialOpacity()) << name;
        EXPECT_EQ(registered + (std::string(name) == "DEFAULT" ? 15 : 0), material->GetDefaultTakeCallbackCount());
    }
    EXPECT_EQ(registered, material->GetDefaultTakeCallbackCount());  // the take's curves ended their records
}

// A Default take read without the channels: getters answer the built-in
// defaults, setters change nothing.
TEST(KZeqMaterial, MissingChannelsGiveDefaults) {
    KZeqSdkManager manager;
    KZeqMaterial* material = manager.CreateKZeqMaterial("m");
    KZeqTexture* texture = manager.CreateKZeqTexture("t");
    for (const char* name : {"Diffuse", "Opacity", "Shininess"}) DropChannel(*material, name);
    for (const char* name : {"Translation", "Scaling", "Alpha"}) DropChannel(*texture, name);
    material->SetDefaultOpacity(0.3);
    material->SetShininess(0.5);
    material->SetDiffuse(KZeqColor(0, 0, 0, 1));
    EXPECT_TRUE(material->GetOpacity() == 1.0 && material->GetShininess() == 6.4 / 128.0);
    EXPECT_EQ(0.8, material->GetDiffuse().mGreen);
    texture->SetTranslation(3, 4);
    texture->SetScale(2, 2);
    texture->SetDefaultAlpha(0.5);
    KZeqVector4 t(9, 9, 9, 9), s;
    texture->GetDefaultT(t);
    texture->GetDefaultS(s);
    EXPECT_TRUE(t[0] == 0.0 && t[3] == 9.0 && s[1] == 1.0 && texture->GetDefaultAlpha() == 1.0);
}

// Connected to a node of an entity, a material or texture enters it once: a
// second connection finds its name listed.
TEST(KZeqMaterial, ConnectionEntersTheNodesEntityOnce) {
    KZeqSdkManager manager;
    KZeqEntity entity(manager);
    KZeqNode *a = manager.CreateKZeqNode("a"), *b = manager.CreateKZeqNode("b"), *free = manager.CreateKZeqNode("f");
    entity.GetRootNode()->AddChild(a);
    entity.GetRootNode()->AddChild(b);
    KZeqMaterial *material = manager.CreateKZeqMaterial("m"), *twin = manager.CreateKZeqMaterial("m");
    KZeqTexture* texture = manager.CreateKZeqTexture("t");
    for (KZeqNode* node : {free, a, b}) {
        node->GetPropertyHandler()->ConnectSrc(material->GetPropertyHandler());
        node->GetPropertyHandler()->ConnectSrc(texture->GetPropertyHandler());
    }
    b->GetPropertyHandler()->ConnectSrc(twin->GetPropertyHandler());
    EXPECT_TRUE(entity.GetMaterialCount() == 1 && entity.GetMaterial(0) == material && entity.GetTextureCount() == 1);
    EXPECT_TRUE(entity.RemoveMaterial(material) && entity.RemoveTexture(texture));  // one reference each
    EXPECT_EQ(nullptr, entity.GetMaterial(KString("Material::m")));
    EXPECT_STREQ("Material not found.", entity.GetLastErrorString());
    EXPECT_TRUE(manager.DestroyKZeqMaterial(material) && a->GetPropertyHandler()->GetSrcCount() == 1);
}

TEST(KZeqMaterial, ManagerListsFindsAndEndsMaterialsAndTextures) {
    struct Names : KZeqNameListener {
        void Clear() override { mNames.clear(); }
        void Add(KName* name) override { mNames.push_back(name->GetCurrentName()); }
        std::vector<std::string>& mNames;
        explicit Names(std::vector<std::string>& names) : mNames(names) {}
    };
    std::vector<std::string> heard;
    KZeqSdkManager manager;
    manager.SetListener(KZeqSdkManager::eMaterialListener, new Names(heard));
    KZeqMaterial *first = manager.CreateKZeqMaterial("x"), *second = manager.CreateKZeqMaterial("Other::x");
    KZeqTexture* texture = manager.CreateKZeqTexture("");
    EXPECT_STREQ("Texture::Name", texture->GetName());
    EXPECT_EQ((std::vector<std::string>{"Material::x", "Material::x"}), heard);
    EXPECT_TRUE(manager.FindKZeqMaterial("x", 1) == second && manager.FindKZeqTexture("Name") == texture);
    EXPECT_TRUE(!manager.FindKZeqMaterial("x", 2) && manager.GetLastErrorID() == KZeqSdkManager::eObjectNotFound);
    EXPECT_TRUE(manager.GetKZeqMaterialCount() == 2 && manager.GetKZeqMaterial(0) == first &&
                !manager.GetKZeqTexture(1));
    EXPECT_TRUE(manager.DestroyKZeqMaterial(first) && !manager.DestroyKZeqMaterial(first));
    EXPECT_FALSE(manager.DestroyKZeqTexture(nullptr));
    manager.Clear();
    EXPECT_TRUE(manager.GetKZeqMaterialCount() == 0 && manager.GetKZeqTextureCount() == 0 && heard.empty());
}

// Reset: one "Default" take again, built from the properties, which keep
// their values; the new take's curves write through, the old ones are gone.
TEST(KZeqMaterial, ResetKeepsThePropertiesAndRebuildsTheDefaultTake) {
    KZeqSdkManager manager;
    KZeqMaterial* material = manager.CreateKZeqMaterial("m");
    material->SetShadingModel("lambert"), material->SetMultiLayer(true), material->SetDefaultOpacity(0.5);
    material->CreateTakeNode("T");
    material->Reset();
    EXPECT_TRUE(material->GetTakeNodeCount() == 1 && std::string("Default") == material->GetTakeNodeName(0));
    EXPECT_TRUE(std::string("phong") == material->GetShadingModel() && !material->GetMultiLayer());
    EXPECT_EQ(0.5, material->GetDefaultOpacity());
    EXPECT_EQ(15, material->GetDefaultTakeCallbackCount());
    material->SetDefaultOpacity(0.25);
    EXPECT_EQ(0.25, material->GetPropertyHandler()->Opacity.Get());

    KZeqTexture* texture = manager.CreateKZeqTexture("t");
    texture->SetCropping(1, 2, 3, 4), texture->SetSwapUV(true), texture->SetDefaultT(KZeqVector4(5, 6, 7, 1));
    texture->SetUVScaling(KZeqVector2(2, 2)), texture->SetMappingType(KZeqTexture::eSPHERICAL);
    texture->CreateTakeNode("T");
    texture->Reset();
    KZeqVector4 t(9, 9, 9, 9);
    texture->GetDefaultT(t);
    EXPECT_TRUE(texture->GetTakeNodeCount() == 1 && t[0] == 0.0 && t[2] == 0.0);
    EXPECT_TRUE(texture->GetCroppingLeft() == 0 && texture->GetCroppingBottom() == 0 && !texture->GetSwapUV());
    EXPECT_TRUE(texture->GetUVScaling() == KZeqVector2(1, 1) && texture->GetMappingType() == KZeqTexture::eUV);
    texture->SetDefaultT(KZeqVector4(1, 2, 3, 1));
    EXPECT_EQ(2.0, scenetest::PropertyValues(texture->GetPropertyHandler()->FindPropertyByName("Translation"))[1]);
}

// Each take-node accessor reaches the channel the material or texture writes.
TEST(KZeqMaterial, TakeNodeAccessorsReachTheChannels) {
    KZeqSdkManager manager;
    KZeqMaterial* material = manager.CreateKZeqMaterial("m");
    material->SetDefaultEmissiveColor(KZeqColor(0.1, 0.2, 0.3, 1));
    material->SetDefaultAmbientColor(KZeqColor(0.4, 0.5, 0.6, 1));
    material->SetDefaultDiffuseColor(KZeqColor(0.7, 0.8, 0.9, 1));
    material->SetDefaultSpecularColor(KZeqColor(0.15, 0.25, 0.35, 1));
    material->SetDefaultReflectivity(0.45);
    KZeqTexture* texture = manager.CreateKZeqTexture("t");
    texture->SetDefaultT(KZeqVector4(1, 2, 3, 1)), texture->SetDefaultR(KZeqVector4(4, 5, 6, 1));
    texture->SetDefaultS(KZeqVector4(7, 8, 9, 1));
    KZeqTakeNode *m = material->GetDefaultTakeNode(), *t = texture->GetDefaultTakeNode();
    const struct {
        KZeqTakeNode* mTake;
        KFCurve* (KZeqTakeNode::*mAccessor)();
        double mValue;
    } rows[] = {{m, &KZeqTakeNode::GetMaterialEmissiveColorR, 0.1},  {m, &KZeqTakeNode::GetMaterialEmissiveColorG, 0.2},
                {m, &KZeqTakeNode::GetMaterialEmissiveColorB, 0.3},  {m, &KZeqTakeNode::GetMaterialAmbientColorR, 0.4},
                {m, &KZeqTakeNode::GetMaterialAmbientColorG, 0.5},   {m, &KZeqTakeNode::GetMaterialAmbientColorB, 0.6},
                {m, &KZeqTakeNode::GetMaterialDiffuseColorR, 0.7},   {m, &KZeqTakeNode::GetMaterialDiffuseColorG, 0.8},
                {m, &KZeqTakeNode::GetMaterialDiffuseColorB, 0.9},   {m, &KZeqTakeNode::GetMaterialSpecularColorR, 0.15},
                {m, &KZeqTakeNode::GetMaterialSpecularColorG, 0.25}, {m, &KZeqTakeNode::GetMaterialSpecularColorB, 0.35},
                {m, &KZeqTakeNode::GetMaterialReflectivity, 0.45},   {t, &KZeqTakeNode::GetTextureTranslationX, 1},
                {t, &KZeqTakeNode::GetTextureTranslationY, 2},       {t, &KZeqTakeNode::GetTextureTranslationZ, 3},
                {t, &KZeqTakeNode::GetTextureEulerRotationX, 4},     {t, &KZeqTakeNode::GetTextureEulerRotationY, 5},
                {t, &KZeqTakeNode::GetTextureEulerRotationZ, 6},     {t, &KZeqTakeNode::GetTextureScaleX, 7},
                {t, &KZeqTakeNode::GetTextureScaleY, 8},             {t, &KZeqTakeNode::GetTextureScaleZ, 9}};
    for (const auto& row : rows) {
        KFCurve* curve = (row.mTake->*row.mAccessor)();
        ASSERT_TRUE(curve) << row.mValue;
        EXPECT_EQ(F(row.mValue), curve->GetValue());
    }
    EXPECT_STREQ("None", texture->GetPropertyHandler()->CurrentMappingTypeAsString(KZeqTexture::eUMT_NO_MAPPING));
    EXPECT_EQ(nullptr, texture->GetPropertyHandler()->CurrentMappingTypeAsString(
                           static_cast<KZeqTexture::EUnifiedMappingType>(11)));
}

// User properties of materials, textures and deformers of both types.
TEST(KZeqMaterial, UserPropertiesOfMaterialsTexturesAndDeformers) {
    KZeqSdkManager manager;
    {
        SCOPED_TRACE("material");
        scenetest::ExpectUserPropertyHooks(manager, *manager.CreateKZeqMaterial("m"));
    }
    {
        SCOPED_TRACE("texture");
        scenetest::ExpectUserPropertyHooks(manager, *manager.CreateKZeqTexture("t"));
    }
    for (const char* type : {"Skin", "Cluster"}) {
        SCOPED_TRACE(type);
        scenetest::ExpectUserPropertyHooks(manager, *manager.CreateKZeqDeformer("d", type));
    }
}

// By name in the entity's order; -1 with "Material not found." when none.
TEST(KZeqMaterial, EntityIndexByName) {
    KZeqSdkManager manager;
    KZeqEntity entity(manager);
    for (const char* name : {"a", "b"}) entity.AddMaterial(manager.CreateKZeqMaterial(name));
    EXPECT_EQ(1, entity.GetMaterialIndex(KString("Material::b")));
    EXPECT_EQ(-1, entity.GetMaterialIndex(KString("b")));
    EXPECT_STREQ("Material not found.", entity.GetLastErrorString());
}

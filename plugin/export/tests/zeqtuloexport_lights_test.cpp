// Light export: default values (intensity x 100, cone angle in degrees, fog 0), curves into
// "Take 001" only when keyed, and the second constant-key reduction.
#include "zeqtuloexport_anim_support.h"

#include "plugin/export/zeqtuloexport_tables.h"
#include "tfnlight.h"

using namespace zeqsdk_400;

namespace {

class LightExportTest : public ExportAnimTest {
protected:
    template <class Set>
    ZeqTuloNode* Light(Set& set) {
        TObject shape = set.create();
        mLight = TFnDagNode(shape).parent(0);
        ZeqTuloNode* node = Node(mLight, nullptr, mExport->mSdkManager.CreateKZeqLight());
        mPath = *node->GetDagPath();
        return node;
    }
    TObject mLight;
    TDagPath mPath;
};

TEST_F(LightExportTest, StillPointLightWritesDefaultsOnly) {
    TFnPointLight point;
    ZeqTuloNode* node = Light(point);
    point.setColor(TColor(1, 0.5f, 0.25f));
    point.setIntensity(2);
    KZeqTakeNode* take = node->GetDefaultTakeNode();
    take->GetLightFog()->SetValue(3);
    take->GetLightConeAngle()->SetValue(7);
    EXPECT_FALSE(mExport->ExportLights(mPath, *node));
    EXPECT_FLOAT_EQ(take->GetColorG()->GetValue(), 0.5f);
    EXPECT_FLOAT_EQ(take->GetColorB()->GetValue(), 0.25f);
    EXPECT_FLOAT_EQ(take->GetLightIntensity()->GetValue(), 200.0f);
    EXPECT_FLOAT_EQ(take->GetLightFog()->GetValue(), 0.0f);
    EXPECT_FLOAT_EQ(take->GetLightConeAngle()->GetValue(), 7.0f);
    EXPECT_EQ(node->GetTakeNodeCount(), 1);
}

TEST_F(LightExportTest, AnimatedIntensityIsKeyedInPercent) {
    TFnPointLight point;
    ZeqTuloNode* node = Light(point);
    Keys(point.object(), "intensity", {{0, 0.5}, {1, 1}});
    ASSERT_TRUE(mExport->ExportLights(mPath, *node));
    ASSERT_STREQ(TakeName(*node), "Take 001");
    KZeqTakeNode* take = node->GetCurrentTakeNode();
    ASSERT_EQ(take->GetLightIntensity()->KeyGetCount(), 2);
    EXPECT_FLOAT_EQ(take->GetLightIntensity()->KeyGetPtr(0)->GetValue(), 50.0f);
    EXPECT_EQ(take->GetColorR()->KeyGetCount(), 0);
    EXPECT_FLOAT_EQ(take->GetColorR()->GetValue(), 1.0f);
}

TEST_F(LightExportTest, SpotConeAngleIsInDegrees) {
    TFnSpotLight spot;
    ZeqTuloNode* node = Light(spot);
    spot.setConeAngle(0.5);
    Keys(spot.object(), "coneAngle", {{0, 0.5}, {1, 1.0}});
    ASSERT_TRUE(mExport->ExportLights(mPath, *node));
    EXPECT_NEAR(node->GetDefaultTakeNode()->GetLightConeAngle()->GetValue(), 28.6479, 1e-4);
    KFCurve* cone = node->GetCurrentTakeNode()->GetLightConeAngle();
    ASSERT_EQ(cone->KeyGetCount(), 2);
    EXPECT_NEAR(cone->KeyGetPtr(1)->GetValue(), 57.2958, 1e-4);
}

TEST_F(LightExportTest, DirectionalLightHasNoConeAngle) {
    TFnDirectionalLight directional;
    ZeqTuloNode* node = Light(directional);
    node->GetDefaultTakeNode()->GetLightConeAngle()->SetValue(7);
    Keys(directional.object(), "colorR", {{0, 0}, {1, 1}});
    ASSERT_TRUE(mExport->ExportLights(mPath, *node));
    EXPECT_FLOAT_EQ(node->GetDefaultTakeNode()->GetLightConeAngle()->GetValue(), 7.0f);
    EXPECT_EQ(node->GetCurrentTakeNode()->GetLightConeAngle()->KeyGetCount(), 0);
    EXPECT_EQ(node->GetCurrentTakeNode()->GetColorR()->KeyGetCount(), 2);
}

TEST_F(LightExportTest, ConstantCurvesCountOnlyWithoutTheReducer) {
    TFnPointLight point;
    ZeqTuloNode* node = Light(point);
    Keys(point.object(), "intensity", {{0, 1}, {1, 1}, {2, 1}});
    EXPECT_FALSE(mExport->ExportLights(mPath, *node));
    EXPECT_EQ(node->GetTakeNodeCount(), 1);
    ZeqTuloUserParams::Instance()->SetBoolParam(kExportApplyCstKeyRedOption, false);
    ASSERT_TRUE(mExport->ExportLights(mPath, *node));
    EXPECT_EQ(node->GetCurrentTakeNode()->GetLightIntensity()->KeyGetCount(), 3);
}

TEST_F(LightExportTest, AmbientLightIsLeftAlone) {
    TObject transform = Transform("ambient");
    standin::createNode("ambientLight", "", transform);
    ZeqTuloNode* node = Node(transform);
    TDagPath path = *node->GetDagPath();
    EXPECT_FALSE(mExport->ExportLights(path, *node));
    EXPECT_EQ(node->GetTakeNodeCount(), 1);
}

TEST_F(LightExportTest, AreaLightIntensityIsKeyed) {
    TObject transform = Transform("area");
    TObject shape = standin::createNode("areaLight", "", transform);
    ZeqTuloNode* node = Node(transform, nullptr, mExport->mSdkManager.CreateKZeqLight());
    Keys(shape, "intensity", {{0, 1}, {1, 2}});
    TDagPath path = *node->GetDagPath();
    ASSERT_TRUE(mExport->ExportLights(path, *node));
    EXPECT_FLOAT_EQ(node->GetCurrentTakeNode()->GetLightIntensity()->KeyGetPtr(1)->GetValue(), 200.0f);
}

}  // namespace

// Global transforms: quarter turns for lights and cameras, chaining through the parent's stored
// values, mirrored and flattened matrices.
#include "zeqtuloexport_anim_support.h"

#include <cmath>

#include "tfnlight.h"

using namespace zeqsdk_400;

namespace {

using GlobalTransformTest = ExportAnimTest;

void ExpectTriple(const double* v, double x, double y, double z) {
    EXPECT_NEAR(v[0], x, 1e-9);
    EXPECT_NEAR(v[1], y, 1e-9);
    EXPECT_NEAR(v[2], z, 1e-9);
}

TEST_F(GlobalTransformTest, LightsAndCamerasAreTurnedToTheirForwardAxis) {
    TFnSpotLight spot;
    ZeqTuloNode* spotNode = Node(TFnDagNode(spot.create()).parent(0));
    TFnPointLight point;
    ZeqTuloNode* pointNode = Node(TFnDagNode(point.create()).parent(0));
    ZeqTuloNode* camera = Camera("cam");
    ZeqTuloNode* marked = Camera("marked");
    standin::createNode("locator", "", marked->GetDagPath()->node());
    mExport->ExtractGlobalTransforms(mExport->mRootNode);
    ExpectTriple(spotNode->GetGlobalRotation(), 90, 0, 0);
    ExpectTriple(spotNode->GetGlobalScaling(), 1, 1, 1);
    ExpectTriple(pointNode->GetGlobalRotation(), 0, 0, 0);
    ExpectTriple(camera->GetGlobalRotation(), 0, 90, 0);
    ExpectTriple(marked->GetGlobalRotation(), 0, 0, 0);
}

TEST_F(GlobalTransformTest, ChildrenChainThroughTheParentsStoredValues) {
    TObject parent = Transform("parent");
    const double two[3] = {2, 2, 2};
    TFnTransform(parent).setScale(two);
    TObject child = Transform("child", parent);
    TFnTransform(child).setTranslation(TVector(1, 2, 3), TSpace::kTransform);
    ZeqTuloNode* parentNode = Node(parent);
    ZeqTuloNode* childNode = Node(child, parentNode);
    mExport->ExtractGlobalTransforms(mExport->mRootNode);
    ExpectTriple(childNode->GetGlobalTranslation(), 2, 4, 6);
    ExpectTriple(childNode->GetGlobalScaling(), 2, 2, 2);

    // A node without a path keeps its values, and its children chain through them.
    ZeqTuloNode* bare = mExport->mSdkManager.CreateZeqTuloNode("bare", nullptr);
    mExport->mRootNode->AddChild(bare);
    bare->SetGlobalTranslation(KgeTVector(10, 0, 0));
    ZeqTuloNode* below = Node(Transform("below"), bare);
    mExport->ExtractGlobalTransforms(mExport->mRootNode);
    ExpectTriple(bare->GetGlobalTranslation(), 10, 0, 0);
    ExpectTriple(below->GetGlobalTranslation(), 10, 0, 0);
}

// A node turned within a hundredth of a degree of a quarter turn about Y keeps that turn in the
// global rotation its children chain through, not the quarter turn.
TEST_F(GlobalTransformTest, NearAQuarterTurnAboutYTheTurnIsKept) {
    const double degrees[3] = {128.99, 90.0078, 31.26};
    const double radians[3] = {degrees[0] * KM_DEG_TO_RAD, degrees[1] * KM_DEG_TO_RAD, degrees[2] * KM_DEG_TO_RAD};
    TObject t = Transform("turned");
    TFnTransform(t).setRotation(radians, 1);
    ZeqTuloNode* node = Node(t);
    mExport->ExtractGlobalTransforms(mExport->mRootNode);
    double expected[4][4] = {}, rebuilt[4][4] = {};
    KmXYZtoR(expected, degrees[0], degrees[1], degrees[2]);
    const double* got = node->GetGlobalRotation();
    KmXYZtoR(rebuilt, got[0], got[1], got[2]);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(rebuilt[i][j], expected[i][j], 1e-9) << i << j;
}

TEST_F(GlobalTransformTest, MirrorNegatesAllThreeScales) {
    TObject t = Transform("mirror");
    const double mirror[3] = {-1, 1, 1};
    TFnTransform(t).setScale(mirror);
    ZeqTuloNode* node = Node(t);
    mExport->ExtractGlobalTransforms(mExport->mRootNode);
    ExpectTriple(node->GetGlobalScaling(), -1, -1, -1);
    EXPECT_NEAR(std::fabs(node->GetGlobalRotation()[0]), 180, 1e-9);
    EXPECT_NEAR(node->GetGlobalRotation()[1], 0, 1e-9);
    EXPECT_NEAR(node->GetGlobalRotation()[2], 0, 1e-9);
}

TEST_F(GlobalTransformTest, FlattenedAxisHasZeroScaleAndNoRotation) {
    TObject t = Transform("flat");
    const double flat[3] = {1, 0, 1};
    TFnTransform(t).setScale(flat);
    const double rotation[3] = {0.3, 0, 0};
    TFnTransform(t).setRotation(rotation, 1);
    ZeqTuloNode* node = Node(t);
    mExport->ExtractGlobalTransforms(mExport->mRootNode);
    EXPECT_EQ(node->GetGlobalScaling()[1], 0.0);
    ExpectTriple(node->GetGlobalRotation(), 0, 0, 0);
}

}  // namespace

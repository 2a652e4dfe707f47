#include "formats/geometry/deform/kzeqdeformation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "content/kzeqlink.h"
#include "content/kzeqmesh.h"
#include "content/kzeqshape.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {
namespace {

// A mesh of three points on a node under the root, with a bone beside it.
class DeformationTest : public testing::Test {
protected:
    void SetUp() override {
        mScene = mManager.CreateKZeqScene();
        mNode = mManager.CreateKZeqNode("Mesh");
        mBone = mManager.CreateKZeqNode("Bone");
        mScene->GetRootNode()->AddChild(mNode);
        mScene->GetRootNode()->AddChild(mBone);
        mMesh = mManager.CreateKZeqMesh();
        mMesh->InitControlPoints(3);
        for (int i = 0; i < 3; ++i) mMesh->GetControlPoints()[i].Set(i, 2.0 * i, 0.0, 1.0);
        mNode->SetNodeAttribute(mMesh);
    }
    std::vector<KZeqVector4> Points() const {
        return std::vector<KZeqVector4>(mMesh->GetControlPoints(), mMesh->GetControlPoints() + 3);
    }
    // Bound with the bone and the mesh at the origin; pairs of (index, weight).
    KZeqLink* AddLink(KZeqLink::ELinkMode mode, std::initializer_list<std::pair<int, double>> pairs,
                      KZeqNode* bone) {
        KZeqLink* link = mManager.CreateKZeqLink();
        link->SetLink(bone);
        link->SetLinkMode(mode);
        link->SetTransformMatrix(KZeqXMatrix());
        link->SetTransformLinkMatrix(KZeqXMatrix());
        for (const auto& pair : pairs) link->AddControlPointIndex(pair.first, pair.second);
        mMesh->AddLink(link);
        return link;
    }
    // A node under the root that the mesh's node is moved below.
    KZeqNode* MeshBelow(const char* name) {
        KZeqNode* parent = mManager.CreateKZeqNode(name);
        mScene->GetRootNode()->AddChild(parent);
        parent->AddChild(mNode);
        return parent;
    }
    // Where placement puts (x, y, z) of node.
    static KZeqVector4 Placed(KZeqStaticPlacement& placement, KZeqNode* node, double x, double y, double z) {
        return placement.Of(*node).MultT(KZeqVector4(x, y, z, 1));
    }
    static void ExpectAt(const KZeqVector4& p, double x, double y, double z) {
        EXPECT_NEAR(x, p[0], 1e-12);
        EXPECT_NEAR(y, p[1], 1e-12);
        EXPECT_NEAR(z, p[2], 1e-12);
    }
    void ExpectMovedBy(const std::vector<KZeqVector4>& points, const KZeqVector4& by, std::vector<int> which) {
        const KZeqVector4* base = mMesh->GetControlPoints();
        for (int k : which)
            for (int axis = 0; axis < 3; ++axis)
                EXPECT_NEAR(base[k][axis] + by[axis], points[k][axis], 1e-9) << "point " << k << " axis " << axis;
    }

    KZeqSdkManager mManager;
    KZeqScene* mScene = nullptr;
    KZeqNode* mNode = nullptr;
    KZeqNode* mBone = nullptr;
    KZeqMesh* mMesh = nullptr;
};

struct ShapeCase {
    const char* mName;
    double mWeight;
};

class ShapeWeightTest : public DeformationTest, public testing::WithParamInterface<ShapeCase> {};

// A shape whose points are the base moved by (0, 1, 0) moves every point by
// its weight, however large; a second, shorter shape counts for nothing.
TEST_P(ShapeWeightTest, MovesByTheUnscaledWeight) {
    KZeqShape* shape = mManager.CreateKZeqShape();
    shape->InitControlPoints(3);
    for (int i = 0; i < 3; ++i) shape->GetControlPoints()[i] = mMesh->GetControlPoints()[i] + KZeqVector4(0, 1, 0, 0);
    ASSERT_EQ(0, mMesh->AddShape(shape, "Up"));
    KZeqShape* shorter = mManager.CreateKZeqShape();
    shorter->InitControlPoints(2);
    ASSERT_EQ(1, mMesh->AddShape(shorter, "Short"));
    mMesh->SetDefaultShape(0, GetParam().mWeight);
    mMesh->SetDefaultShape(1, 1.0);
    std::vector<KZeqVector4> points = Points();
    KZeqDeformation::Deform(KZeqXMatrix(), mMesh, points.data(), 3);
    ExpectMovedBy(points, KZeqVector4(0, GetParam().mWeight, 0, 0), {0, 1, 2});
}

INSTANTIATE_TEST_SUITE_P(Weights, ShapeWeightTest,
                         testing::Values(ShapeCase{"One", 1.0}, ShapeCase{"Half", 0.5}, ShapeCase{"Hundred", 100.0},
                                         ShapeCase{"Zero", 0.0}),
                         [](const testing::TestParamInfo<ShapeCase>& info) { return info.param.mName; });

struct LinkCase {
    const char* mName;
    KZeqLink::ELinkMode mMode;
};

class LinkModeTest : public DeformationTest, public testing::WithParamInterface<LinkCase> {};

// The bone moved up by 1 from where it was bound carries point 0 (weight 1)
// up by 1 in every mode; point 2, which no pair names, stays, and so do the
// pairs of weight 0, outside the mesh, or of a link without a bone.
TEST_P(LinkModeTest, ABoneMovedFromItsBindingCarriesItsPoints) {
    mBone->SetDefaultT(KZeqVector4(0, 1, 0, 0));
    AddLink(GetParam().mMode, {{0, 1.0}, {1, 0.0}, {7, 1.0}, {-1, 1.0}}, mBone);
    AddLink(GetParam().mMode, {{2, 1.0}}, nullptr);
    std::vector<KZeqVector4> points = Points();
    KZeqDeformation::Deform(KZeqDeformation::GetGlobalPosition(mNode), mMesh, points.data(), 3);
    ExpectMovedBy(points, KZeqVector4(0, 1, 0, 0), {0});
    ExpectMovedBy(points, KZeqVector4(), {1, 2});
}

INSTANTIATE_TEST_SUITE_P(Modes, LinkModeTest,
                         testing::Values(LinkCase{"Normalize", KZeqLink::eNORMALIZE},
                                         LinkCase{"Additive", KZeqLink::eADDITIVE},
                                         LinkCase{"TotalOne", KZeqLink::eTOTAL1}),
                         [](const testing::TestParamInfo<LinkCase>& info) { return info.param.mName; });

TEST_F(DeformationTest, PartialWeightsByMode) {
    mBone->SetDefaultT(KZeqVector4(0, 4, 0, 0));
    KZeqNode* still = mManager.CreateKZeqNode("Still");
    mScene->GetRootNode()->AddChild(still);
    const KZeqXMatrix global = KZeqDeformation::GetGlobalPosition(mNode);
    // Normalize: two identity transforms of 0.5 keep the point; 0.5 of the
    // moved bone and 0.5 of a still one move it half way.
    AddLink(KZeqLink::eNORMALIZE, {{0, 0.5}, {1, 0.5}}, still);
    AddLink(KZeqLink::eNORMALIZE, {{0, 0.5}}, still);
    AddLink(KZeqLink::eNORMALIZE, {{1, 0.5}}, mBone);
    std::vector<KZeqVector4> points = Points();
    KZeqDeformation::ComputeLinkDeformation(global, mMesh, points.data(), 3);
    ExpectMovedBy(points, KZeqVector4(), {0});
    ExpectMovedBy(points, KZeqVector4(0, 2, 0, 0), {1});
    // Total one: 0.25 of the identity keeps the point (0.25 p + 0.75 p); 0.25
    // of the moved bone moves it by a quarter.
    mMesh->ClearLink();
    AddLink(KZeqLink::eTOTAL1, {{0, 0.25}}, still);
    AddLink(KZeqLink::eTOTAL1, {{1, 0.25}}, mBone);
    points = Points();
    KZeqDeformation::ComputeLinkDeformation(global, mMesh, points.data(), 3);
    ExpectMovedBy(points, KZeqVector4(), {0});
    ExpectMovedBy(points, KZeqVector4(0, 1, 0, 0), {1});
    // Additive: each pair goes on from where the ones before left the point.
    mMesh->ClearLink();
    AddLink(KZeqLink::eADDITIVE, {{2, 0.5}}, mBone);
    AddLink(KZeqLink::eADDITIVE, {{2, 0.5}}, mBone);
    points = Points();
    KZeqDeformation::ComputeLinkDeformation(global, mMesh, points.data(), 3);
    ExpectMovedBy(points, KZeqVector4(0, 4, 0, 0), {2});
}

// The additive mode binds to the associate model where there is one: a
// model moved as far as the bone cancels the bone's move.
TEST_F(DeformationTest, AdditiveLinksFollowTheirAssociateModel) {
    mBone->SetDefaultT(KZeqVector4(0, 3, 0, 0));
    KZeqNode* model = mManager.CreateKZeqNode("Model");
    mScene->GetRootNode()->AddChild(model);
    model->SetDefaultT(KZeqVector4(0, 3, 0, 0));
    AddLink(KZeqLink::eADDITIVE, {{0, 1.0}}, mBone)->SetAssociateModel(model);
    std::vector<KZeqVector4> points = Points();
    KZeqDeformation::ComputeLinkDeformation(KZeqXMatrix(), mMesh, points.data(), 3);
    ExpectMovedBy(points, KZeqVector4(), {0});
}

// Tips of normals follow their control points through a map: a rotated bone
// turns them, a shape moves them with their point, and the mesh keeps its
// own points.
TEST_F(DeformationTest, MappedEntriesFollowTheirControlPoints) {
    mBone->SetDefaultR(KZeqVector4(0, 0, 90, 0));
    AddLink(KZeqLink::eNORMALIZE, {{1, 1.0}}, mBone);
    KZeqShape* shape = mManager.CreateKZeqShape();
    shape->InitControlPoints(3);
    for (int i = 0; i < 3; ++i) shape->GetControlPoints()[i] = mMesh->GetControlPoints()[i] + KZeqVector4(0, 0, 1, 0);
    mMesh->AddShape(shape, "Forward");
    mMesh->SetDefaultShape(0, 1.0);
    const std::vector<KZeqVector4> before = Points();
    // Two tips on point 1 (1, 2, 0), one on point 0, one outside the mesh.
    const int map[] = {1, 0, 1, 9};
    std::vector<KZeqVector4> tips = {KZeqVector4(2, 2, 0, 1), KZeqVector4(1, 0, 0, 1), KZeqVector4(1, 3, 0, 1),
                                     KZeqVector4(5, 5, 5, 1)};
    KZeqDeformation::Deform(KZeqXMatrix(), mMesh, tips.data(), 4, map);
    // Shape: z + 1; then 90 degrees about z: (x, y) -> (-y, x).
    const double expected[4][3] = {{-2, 2, 1}, {1, 0, 1}, {-3, 1, 1}, {5, 5, 5}};
    for (int e = 0; e < 4; ++e)
        for (int axis = 0; axis < 3; ++axis) EXPECT_NEAR(expected[e][axis], tips[e][axis], 1e-9) << e << " " << axis;
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(before[i] == mMesh->GetControlPoints()[i]);
}

TEST_F(DeformationTest, GlobalPositionComposesDefaultsFromTheTop) {
    KZeqNode* child = mManager.CreateKZeqNode("Child");
    mBone->AddChild(child);
    mBone->SetDefaultT(KZeqVector4(10, 0, 0, 0));
    mBone->SetDefaultS(KZeqVector4(2, 2, 2, 0));
    child->SetDefaultT(KZeqVector4(1, 0, 0, 0));
    const KZeqVector4 origin = KZeqDeformation::GetGlobalPosition(child).MultT(KZeqVector4(0, 0, 0, 1));
    EXPECT_NEAR(12.0, origin[0], 1e-12);
}

// A parent scaled (2, 1, 1) holding a mesh turned (0, 0, 45): (0, 1, 0) turns to (-0.707,
// 0.707, 0), which the parent stretches to (-1.414, 0.707, 0), a shear no translation, rotation
// and scaling of the mesh's own can give.
TEST_F(DeformationTest, StaticPlacementKeepsTheShearOfAMeshTurnedUnderAnUnevenlyScaledParent) {
    MeshBelow("Scaled")->SetDefaultS(KZeqVector4(2, 1, 1, 0));
    mNode->SetDefaultR(KZeqVector4(0, 0, 45, 0));
    KZeqStaticPlacement placement;
    ExpectAt(Placed(placement, mNode, 0, 1, 0), -std::sqrt(2.0), std::sqrt(0.5), 0);
}

// Below a node that needs the full transform, the full transform of the default values places
// a node, its geometric transform first; each placement reads the tree as it stands when made.
TEST_F(DeformationTest, StaticPlacementOfTheTreeAsItStands) {
    KZeqNode* top = MeshBelow("Pivoted");
    top->SetDefaultR(KZeqVector4(0, 0, 90, 0));
    for (KZeqNode* node : {top, mNode}) node->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_ACTIVE);
    top->SetRotationPivot(KZeqNode::eSOURCE_SET, KZeqVector4(1, 0, 0, 1));
    mNode->SetGeometricTranslation(KZeqNode::eSOURCE_SET, KZeqVector4(0, 0, 3, 1));
    KZeqStaticPlacement first;
    ExpectAt(Placed(first, mBone, 0, 0, 0), 0, 0, 0);
    // 3 along Z, then turned a quarter about Z round (1, 0, 0).
    ExpectAt(Placed(first, mNode, 0, 0, 0), 1, -1, 3);
    mBone->SetDefaultT(KZeqVector4(0, 7, 0, 0));
    top->SetRotationPivot(KZeqNode::eSOURCE_SET, KZeqVector4(0, 0, 0, 1));
    KZeqStaticPlacement second;
    ExpectAt(Placed(second, mBone, 0, 0, 0), 0, 7, 0);
    ExpectAt(Placed(second, mNode, 0, 0, 0), 0, 0, 3);
}

}  // namespace
}  // namespace zeqsdk_400

#include "scene/kzeqnodelimits.h"

#include <gtest/gtest.h>

#include <cmath>

#include "content/kzeqmarker.h"
#include "content/kzeqmesh.h"
#include "content/kzeqskeleton.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

typedef KZeqNodeLimits L;
typedef std::vector<double> Values;

std::vector<bool> Flags(const KZeqLimits& limits) {
    bool f[6];
    limits.GetLimitMinActive(f[0], f[1], f[2]);
    limits.GetLimitMaxActive(f[3], f[4], f[5]);
    return std::vector<bool>(f, f + 6);
}

Values XYZ(const KZeqVector4& v) { return {v[0], v[1], v[2]}; }

class KZeqNodeLimitsTest : public ::testing::Test {
protected:
    KZeqNode* Node(KZeqNode* parent, KZeqVector4 t, KZeqNodeAttribute* attribute = nullptr) {
        KZeqNode* node = mManager.CreateKZeqNode(("n" + std::to_string(mCount++)).c_str());
        if (parent) parent->AddChild(node);
        node->SetDefaultT(t);
        if (attribute) node->SetNodeAttribute(attribute);
        return node;
    }
    KZeqSkeleton* Bone(KZeqSkeleton::ESkeletonType type) {
        KZeqSkeleton* bone = mManager.CreateKZeqSkeleton();
        bone->SetSkeletonType(type);
        return bone;
    }
    KZeqSdkManager mManager;
    int mCount = 0;
};

}  // namespace

TEST_F(KZeqNodeLimitsTest, EnableSetsAllSixFlagsOnlyWhenTheStateDiffersAndManualRotationIsForLimits) {
    KZeqNode* node = Node(nullptr, KZeqVector4());
    L& limits = node->GetLimits();
    EXPECT_TRUE(limits.GetAuto(L::eR) && limits.GetAuto(static_cast<L::ELimitType>(7)) && !limits.GetEnable(L::eR));
    limits.SetEnable(L::eR, true);
    EXPECT_EQ(std::vector<bool>(6, true), Flags(limits.mRotationLimits));
    limits.mRotationLimits.SetLimitMinActive(true, false, true);
    limits.SetEnable(L::eR, true);  // already enabled: the cleared flag stays cleared
    EXPECT_EQ(std::vector<bool>({true, false, true, true, true, true}), Flags(limits.mRotationLimits));
    limits.SetEnable(L::eR, false);
    EXPECT_EQ(std::vector<bool>(6, false), Flags(limits.mRotationLimits));
    limits.SetAuto(L::eR, false);
    EXPECT_FALSE(limits.GetAuto(L::eR));
    EXPECT_TRUE(node->GetUseRotationSpaceForLimitOnly(KZeqNode::eSOURCE_SET));
}

TEST_F(KZeqNodeLimitsTest, RotationDefaultAxisAndTypeLiveInPivotSetZero) {
    KZeqNode* node = Node(nullptr, KZeqVector4());
    L& limits = node->GetLimits();
    limits.SetDefault(L::eT, KZeqVector4(1, 2, 3, 0));
    EXPECT_EQ(Values({1, 2, 3}), XYZ(limits.GetMax(L::eT)));
    limits.SetDefault(L::eR, KZeqVector4(10, 20, 30, 0));
    limits.SetRotationAxis(KZeqVector4(0, 0, 45, 0));
    EXPECT_EQ(Values({0, 0, 0}), XYZ(limits.GetMin(L::eR)));
    EXPECT_EQ(Values({10, 20, 30}), XYZ(node->GetPreRotation(KZeqNode::eSOURCE_SET)));
    EXPECT_EQ(Values({0, 0, 45}), XYZ(node->GetPostRotation(KZeqNode::eSOURCE_SET)));
    const struct {
        int mType;
        ERotationOrder mOrder;
        int mReadType, mClamp;
    } rows[] = {{0, eSPHERIC_XYZ, 0, 1}, {1, eEULER_XYZ, 1, 0}, {5, eEULER_XYZ, 1, 0}};
    for (const auto& row : rows) {
        limits.SetRotationType(static_cast<L::ERotationType>(row.mType));
        limits.SetRotationClampType(L::eROTATION_CLAMP_ELLIPSOID);  // no effect
        ERotationOrder order;
        node->GetRotationOrder(KZeqNode::eSOURCE_SET, order);
        EXPECT_EQ(std::vector<int>({row.mOrder, row.mReadType, row.mClamp}),
                  std::vector<int>({order, limits.GetRotationType(), limits.GetRotationClampType()}));
    }
}

TEST_F(KZeqNodeLimitsTest, AutomaticLimitsOfALimbFromItsPoseAndItsLimbChild) {
    KZeqNode* root = Node(nullptr, KZeqVector4(), Bone(KZeqSkeleton::eROOT));
    KZeqNode* limb = Node(root, KZeqVector4(5, 0, 0, 0), Bone(KZeqSkeleton::eLIMB));
    Node(limb, KZeqVector4(0, 0, 30, 0));  // no attribute: not a limb's end
    Node(limb, KZeqVector4(0, 10, 0, 0), Bone(KZeqSkeleton::eLIMB_NODE));
    root->GetLimits().UpdateAutomatic(root);  // a root: nothing
    EXPECT_EQ(1.0, root->GetLimits().GetAxisLength());
    L& limits = limb->GetLimits();
    limits.UpdateAutomatic(limb);
    EXPECT_EQ(10.0, limits.GetAxisLength());
    EXPECT_EQ(Values({5, 0, 0}), XYZ(limits.GetMin(L::eT)));
    EXPECT_EQ(Values({1, 1, 1}), XYZ(limits.GetMax(L::eS)));
    EXPECT_EQ(L::eROTATION_EULER_XYZ, limits.GetRotationType());
    // The bone runs along X, its end along Y: the frame turns by 90 degrees about Z.
    for (const KZeqVector4& angles : {limits.GetDefault(L::eR), limits.GetRotationAxis()}) {
        EXPECT_NEAR(0.0, std::fabs(angles[0]) + std::fabs(angles[1]), 1e-9);
        EXPECT_NEAR(90.0, angles[2], 1e-9);
    }
    // On its parent's place, without children or geometry: spheric, no length.
    KZeqNode* tip = Node(limb, KZeqVector4(), Bone(KZeqSkeleton::eLIMB));
    EXPECT_EQ(KZeqVector4(0, 0, 0, 1), tip->GetLimits().GetEndPointTranslation(tip));
    tip->GetLimits().UpdateAutomatic(tip);
    EXPECT_EQ(L::eROTATION_SPHERIC_XYZ, tip->GetLimits().GetRotationType());
    EXPECT_EQ(0.0, tip->GetLimits().GetAxisLength());
}

// The end turned within a tenth of a degree of a quarter turn about Y from the bone, either way:
// the automatic rotation axis turns X onto it, not onto the quarter turn's direction.
TEST_F(KZeqNodeLimitsTest, AutomaticAxisKeepsATurnNearAQuarterTurn) {
    for (double y : {89.95, 90.03, -89.95, -90.05}) {
        const double c = std::cos(y * M_PI / 180.0), s = std::sin(y * M_PI / 180.0);
        KZeqNode* root = Node(nullptr, KZeqVector4(), Bone(KZeqSkeleton::eROOT));
        KZeqNode* limb = Node(root, KZeqVector4(5, 0, 0, 0), Bone(KZeqSkeleton::eLIMB));
        Node(limb, KZeqVector4(10 * c, 0, -10 * s, 0), Bone(KZeqSkeleton::eLIMB_NODE));
        L& limits = limb->GetLimits();
        limits.UpdateAutomatic(limb);
        KZeqXMatrix axis(KZeqVector4(), limits.GetRotationAxis(), KZeqVector4(1, 1, 1, 0));
        EXPECT_NEAR(axis.mData[0][0], c, 1e-9) << y;
        EXPECT_NEAR(axis.mData[0][1], 0, 1e-9) << y;
        EXPECT_NEAR(axis.mData[0][2], -s, 1e-9) << y;
    }
}

TEST_F(KZeqNodeLimitsTest, EndPointFallsBackToTheLongestChildAndMirroringNegatesAllScales) {
    KZeqNode* marker = Node(nullptr, KZeqVector4(), mManager.CreateKZeqMarker());
    Node(marker, KZeqVector4(0, 3, 0, 0), Bone(KZeqSkeleton::eROOT));
    Node(marker, KZeqVector4(0, 0, 4, 0));
    EXPECT_EQ(Values({0, 0, 4}), XYZ(marker->GetLimits().GetEndPointTranslation(marker)));
    Node(marker, KZeqVector4(1, 0, 0, 0), mManager.CreateKZeqMarker());
    EXPECT_EQ(Values({1, 0, 0}), XYZ(marker->GetLimits().GetEndPointTranslation(marker)));

    KZeqNode* plain = Node(marker, KZeqVector4());
    plain->SetDefaultS(KZeqVector4(-1, 2, 3, 0));
    plain->GetLimits().SetAuto(L::eT, false);
    plain->GetLimits().UpdateAutomatic(plain);
    EXPECT_EQ(Values({-1, -2, -3}), XYZ(plain->GetLimits().GetMin(L::eS)));
    EXPECT_EQ(Values({0, 0, 0}), XYZ(plain->GetLimits().GetMin(L::eT)));  // manual: untouched
}

TEST_F(KZeqNodeLimitsTest, EndSiteIsTheGeometrysFarthestControlPoint) {
    KZeqMesh* mesh = mManager.CreateKZeqMesh();
    KZeqNode* node = Node(nullptr, KZeqVector4(), mesh);
    L& limits = node->GetLimits();
    EXPECT_EQ(1.0, limits.GetEndSite(node)[3]);  // no control points: (0, 0, 0, 1)
    mesh->InitControlPoints(3);
    EXPECT_EQ(0.0, limits.GetEndSite(node)[3]);  // all at the origin: the zero vector
    const KZeqVector4 points[] = {KZeqVector4(1, 0, 0, 1), KZeqVector4(0, -3, 0, 1), KZeqVector4(3, 0, 0, 1)};
    std::copy(points, points + 3, mesh->GetControlPoints());
    EXPECT_EQ(Values({0, -3, 0}), XYZ(limits.GetEndPointTranslation(node)));  // the first of the longest
}

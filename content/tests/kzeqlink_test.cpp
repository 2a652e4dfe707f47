#include "content/kzeqlink.h"

#include <gtest/gtest.h>

#include <cmath>

#include "content/kzeqdeformer.h"
#include "content/kzeqshape.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {
// Stands in for the file reader, which stores a link-node name without a node.
class KZeqReaderZeq {
public:
    static void SetLinkName(KZeqLink& link, const char* name) { link.mLinkName = name; }
};
}  // namespace zeqsdk_400

using namespace zeqsdk_400;

namespace {

bool Near(const KZeqVector4& a, double x, double y, double z, double w = -1) {
    return std::abs(a[0] - x) < 1e-9 && std::abs(a[1] - y) < 1e-9 && std::abs(a[2] - z) < 1e-9 &&
           (w < 0 || a[3] == w);
}

// T, R, S of each of the four sets, in the order Transform, Link, AssociateModel, Parent.
void Sets(const KZeqLink& link, KZeqVector4 out[4][3]) {
    link.GetTransformT(out[0][0]), link.GetTransformR(out[0][1]), link.GetTransformS(out[0][2]);
    link.GetTransformLinkT(out[1][0]), link.GetTransformLinkR(out[1][1]), link.GetTransformLinkS(out[1][2]);
    link.GetTransformAssociateModelT(out[2][0]), link.GetTransformAssociateModelR(out[2][1]);
    link.GetTransformAssociateModelS(out[2][2]);
    link.GetTransformParentT(out[3][0]), link.GetTransformParentR(out[3][1]), link.GetTransformParentS(out[3][2]);
}

}  // namespace

TEST(KZeqLink, NewLinkNodesNamesIndicesAndUserData) {
    KZeqSdkManager manager;
    KZeqLink link;
    KZeqVector4 sets[4][3];
    Sets(link, sets);
    for (auto& set : sets)
        EXPECT_TRUE(Near(set[0], 0, 0, 0, 1) && Near(set[1], 0, 0, 0, 1) && Near(set[2], 1, 1, 1, 1));
    EXPECT_EQ(KZeqLink::eADDITIVE, link.GetLinkMode());
    EXPECT_EQ(0, link.GetControlPointIndicesCount());

    link.AddControlPointIndex(-1, 0.5);
    link.AddControlPointIndex(3, 0.5);
    link.AddControlPointIndex(3, 0.25);
    ASSERT_EQ(2, link.GetControlPointIndicesCount());
    EXPECT_TRUE(link.GetControlPointIndices()[1] == 3 && link.GetControlPointWeights()[1] == 0.25);

    KZeqNode *bone = manager.CreateKZeqNode("bone"), *model = manager.CreateKZeqNode("model");
    link.SetLink(bone);
    link.SetLink(nullptr);
    link.SetAssociateModel(model);
    bone->SetName("moved");
    model->SetName("renamed");
    EXPECT_TRUE(link.GetLink() == bone && link.GetLinkName() == "Model::bone");
    EXPECT_TRUE(link.GetAssociateModelName() == "Model::renamed");

    link.SetUserData("Key", "value");
    EXPECT_TRUE(link.GetUserData("kEY") == "value" && link.GetUserData("other") == "");

    // The manager's links in creation order; its shape allocator lists nothing.
    KZeqLink *first = manager.CreateKZeqLink(), *second = manager.CreateKZeqLink();
    EXPECT_TRUE(manager.GetKZeqLinkCount() == 2 && manager.GetKZeqLink(0) == first && manager.GetKZeqLink(1) == second);
    EXPECT_TRUE(!manager.GetKZeqLink(2) && !manager.GetKZeqLink(-1));
    EXPECT_TRUE(manager.DestroyKZeqLink(first) && manager.GetKZeqLink(0) == second);
    KZeqShape* shape = manager.AllocateKZeqShape();
    ASSERT_TRUE(shape && !manager.DestroyKZeqShape(shape));  // not listed
    delete shape;
}

TEST(KZeqLink, MatricesSplitIntoSetsAndCopiesFollowTheSteps) {
    KZeqLink link;
    const KZeqXMatrix matrix(KZeqVector4(1, 2, 3, 1), KZeqVector4(10, 20, 30, 1), KZeqVector4(2, 2, 2, 1));
    link.SetTransformLinkMatrix(matrix);
    KZeqVector4 r, t;
    EXPECT_TRUE(Near(link.GetTransformLinkR(r), 10, 20, 30) && Near(link.GetTransformLinkT(t), 1, 2, 3));
    KZeqXMatrix back;
    EXPECT_TRUE(link.GetTransformLinkMatrix(back) == matrix);
    // Within a tenth of a degree of a quarter turn about Y the turn is kept, not the quarter turn.
    const KZeqXMatrix turned(KZeqVector4(1, 2, 3, 1), KZeqVector4(10, -89.95, 30, 1), KZeqVector4(2, 2, 2, 1));
    link.SetTransformMatrix(turned);
    link.GetTransformMatrix(back);
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) EXPECT_NEAR(back.mData[i][j], turned.mData[i][j], 1e-12) << i << j;

    // A name without a node is not copied; everything else is.
    KZeqReaderZeq::SetLinkName(link, "Model::fromFile");
    link.SetLinkMode(KZeqLink::eTOTAL1);
    link.AddControlPointIndex(7, 0.75);
    link.SetTransformParentT(KZeqVector4(4, 5, 6, 1));
    KZeqLink copy;
    copy = link;
    EXPECT_TRUE(copy.GetLinkName() == "" && copy.GetLinkMode() == KZeqLink::eTOTAL1);
    EXPECT_TRUE(copy.GetControlPointIndicesCount() == 1 && copy.GetControlPointWeights()[0] == 0.75);
    EXPECT_TRUE(copy.GetTransformLinkMatrix(back) == matrix);
    const KZeqLink& same = copy;
    copy = same;
    EXPECT_EQ(1, copy.GetControlPointIndicesCount());
}

TEST(KZeqDeformer, TypeWordsPrefixesAndDefaults) {
    KZeqSdkManager manager;
    const struct {
        const char* mType;
        KZeqDeformer::EDeformerType mExpected;
        const char* mName;
    } rows[] = {{"cluster", KZeqDeformer::eCLUSTER, "SubDeformer::d"},
                {"CLUSTER", KZeqDeformer::eCLUSTER, "SubDeformer::d"},
                {"Cluster ", KZeqDeformer::eSKIN, "Deformer::d"},
                {"Skin", KZeqDeformer::eSKIN, "Deformer::d"}};
    for (const auto& row : rows) {
        KZeqDeformer* deformer = manager.CreateKZeqDeformer("d", row.mType);
        ASSERT_NE(nullptr, deformer) << row.mType;
        const bool cluster = row.mExpected == KZeqDeformer::eCLUSTER;
        EXPECT_EQ(row.mExpected, deformer->GetDeformerType()) << row.mType;
        EXPECT_STREQ(row.mName, deformer->GetName());
        EXPECT_TRUE(deformer->GetTypeName() == (cluster ? "Cluster" : "Skin"));
        EXPECT_EQ(cluster, deformer->GetPropertyHandler()->FindPropertyByName("SrcModelReference") != nullptr);
        EXPECT_STREQ("Deformer", deformer->GetTypeFlags().GetStringAt(0));
        EXPECT_TRUE(deformer->mLinkDeformAccuracy == 50.0 && deformer->mLinkMode == 0 &&
                    deformer->mTransformParent == KZeqMatrix() && !deformer->mTransformParentSet &&
                    deformer->GetNameSpace() == KZeqObject::eNoPrefix && !deformer->GetMultiLayer());
    }
    EXPECT_EQ(nullptr, manager.CreateKZeqDeformer("d", nullptr));
}

TEST(KZeqDeformer, LinkConversionsBothWays) {
    KZeqSdkManager manager;
    KZeqDeformer* cluster = manager.CreateKZeqDeformer("c", "Cluster");
    KZeqDeformer* skin = manager.CreateKZeqDeformer("s", "Skin");
    KZeqLink link, back;
    link.SetLinkMode(KZeqLink::eTOTAL1);
    link.SetUserData("id", "data");
    link.AddControlPointIndex(1, 0.5);
    link.AddControlPointIndex(2, 0.25);
    link.SetTransformParentT(KZeqVector4(1, 0, 0, 1));  // alone, it marks the parent transform
    *skin = link;
    EXPECT_EQ(0, skin->mIndices.GetCount());
    *cluster = link;
    *cluster = link;  // replaces, never appends
    EXPECT_TRUE(cluster->mIndices.GetCount() == 2 && cluster->mTransformParentSet && cluster->mLinkMode == 2);
    EXPECT_DOUBLE_EQ(1.0, cluster->mTransformParent.mData[3][0]);

    back = *cluster;
    KZeqVector4 t;
    EXPECT_TRUE(back.GetUserData() == "data" && back.GetControlPointIndicesCount() == 2 &&
                Near(back.GetTransformParentT(t), 1, 0, 0));

    // A damaged file: unequal arrays and a negative index keep the link's pairs whole.
    cluster->mIndices.Add(-4);
    cluster->mIndices.Add(9);
    cluster->mWeights.Add(0.125);
    back = *cluster;
    ASSERT_EQ(2, back.GetControlPointIndicesCount());
    EXPECT_EQ(2, back.GetControlPointIndices()[1]);

    back = *skin;
    EXPECT_TRUE(back.GetControlPointIndicesCount() == 0 && back.GetLinkMode() == KZeqLink::eADDITIVE);
}

TEST(KZeqDeformer, EntityFamilyByType) {
    KZeqSdkManager manager;
    KZeqDeformer* skin = manager.CreateKZeqDeformer("s", "Skin");
    KZeqDeformer* c1 = manager.CreateKZeqDeformer("a", "cluster");
    KZeqDeformer* c2 = manager.CreateKZeqDeformer("b", "cluster");
    {
        KZeqEntity entity(manager);
        for (KZeqDeformer* deformer : {skin, c1, c2, c1}) deformer->SetEntity(&entity);
        EXPECT_TRUE(entity.GetDeformerCount(0) == 3 && entity.GetDeformerCount(2) == 2 &&
                    entity.GetDeformerCount(3) == 0);
        EXPECT_TRUE(entity.GetDeformer(1, 2) == c2 && entity.GetDeformer(0, 1) == skin &&
                    !entity.GetDeformer(2, 2) && !entity.GetDeformer(0, 3) && !entity.GetDeformer(-1, 0));
        EXPECT_TRUE(entity.GetDeformer("SubDeformer::b") == c2 && !entity.GetDeformer("b"));
        EXPECT_FALSE(entity.RemoveDeformer(nullptr));
        EXPECT_STREQ("", entity.GetLastErrorString());
        EXPECT_EQ(KZeqEntity::eDeformerNotFound, entity.GetLastErrorID());
        manager.DestroyKZeqDeformer(c2);  // leaves the entity as it ends
        entity.Clear();
        EXPECT_TRUE(entity.GetDeformerCount() == 2 && entity.GetDeformer(1) == c1);
    }
    // The entity ended first: the deformers no longer point at it.
    EXPECT_TRUE(!skin->GetEntity() && !c1->GetEntity());
}

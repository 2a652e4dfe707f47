#include "content/kzeqgeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "content/kzeqlink.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnurb.h"
#include "content/kzeqshape.h"
#include "content/kzeqtexture.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "object/kdatatype.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodefinder.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

// A node under the root of an entity, with shapes to hand.
class GeometryTest : public ::testing::Test {
protected:
    void SetUp() override { entity.GetRootNode()->AddChild(node); }
    KZeqShape* Shape() { return manager.CreateKZeqShape(); }
    bool HasChannel(KZeqTakeNode* take, const char* name) { return take->GetKFCurveNode()->Find(name) >= 0; }

    KZeqSdkManager manager;
    KZeqEntity entity{manager};
    KZeqNode* node = manager.CreateKZeqNode("n");
};

}  // namespace

TEST_F(GeometryTest, ShapeAndLinkErrorsInOrder) {
    KZeqNurb* nurb = manager.CreateKZeqNurb();
    KZeqShape *a = Shape(), *b = Shape();
    const struct {
        KZeqShape* mShape;
        const char* mName;
        int mResult;
        const char* mMessage;
    } rows[] = {{nullptr, "a", -1, "Parameter is NULL."},    {a, "  a\t", 0, nullptr},
                {a, "b", -1, "Shape already added."},         {b, " \t ", -1, "Shape name is invalid."},
                {b, nullptr, -1, "Shape name is invalid."},   {b, "a ", -1, "Shape name is already used."},
                {b, "A", -1, "Shape name is already used."}, {b, "b", 1, nullptr}};
    for (const auto& row : rows) {
        nurb->GetError().ClearLastError();
        EXPECT_EQ(row.mResult, nurb->AddShape(row.mShape, row.mName)) << row.mName;
        if (row.mMessage) {
            EXPECT_STREQ(row.mMessage, nurb->GetLastErrorString());
        }
    }
    EXPECT_STREQ("a", nurb->GetShapeName(0));

    KZeqTakeNode loose("Default");
    const struct {
        KZeqTakeNode* mTake;
        int mIndex;
        const char* mMessage;
    } channels[] = {{&loose, 0, "No shape curve found."},
                    {&loose, 2, "Parameter out of range."},
                    {&loose, -1, "Parameter out of range."},
                    {nullptr, 0, "Parameter is NULL."}};
    for (const auto& row : channels) {
        EXPECT_EQ(nullptr, nurb->GetShapeChannel(row.mTake, row.mIndex));
        EXPECT_STREQ(row.mMessage, nurb->GetLastErrorString()) << row.mIndex;
    }
    EXPECT_EQ(nullptr, loose.GetShapeChannel(nullptr, 0));
    EXPECT_STREQ("Curve not found", loose.GetLastErrorString());
    EXPECT_EQ(0.0, nurb->GetDefaultShape(0));
    EXPECT_TRUE(!nurb->GetLink(-1) && std::string(nurb->GetLastErrorString()) == "Parameter out of range.");
}

TEST_F(GeometryTest, ShapeChannelsPropertiesColoursAndWeightsFollowTheNode) {
    KZeqMesh* mesh = manager.CreateKZeqMesh();
    for (int i = 0; i < 21; ++i) mesh->AddShape(Shape(), ("s" + std::to_string(i)).c_str());
    node->SetNodeAttribute(mesh);
    KZeqTakeNode* take = node->GetDefaultTakeNode();
    KProperty* property = node->GetPropertyHandler()->FindPropertyByName("s7");
    ASSERT_TRUE(property);
    EXPECT_TRUE(property->GetPropertyDataType() == KDataTypeGet("Shape") && property->IsAnimatable() &&
                property->IsAnimated() && property->AsDouble() == 0.0);
    KFCurve* first = take->GetShapeChannel(mesh, 0);
    KFCurve* twentyFirst = take->GetShapeChannel(mesh, 20);
    KFCurve* fourth = take->GetShapeChannel(mesh, 3);
    ASSERT_TRUE(first && twentyFirst && fourth);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(first->GetColor()[c], twentyFirst->GetColor()[c]);
    EXPECT_TRUE(fourth->GetColor()[0] == 1.0f && fourth->GetColor()[1] == 1.0f && fourth->GetColor()[2] == 0.0f);

    mesh->SetDefaultShape(1, 0.5);
    EXPECT_EQ(0.5, mesh->GetDefaultShape(1));
    KZeqTakeNode* other = node->CreateTakeNode("Other");
    EXPECT_EQ(21, mesh->AddShape(Shape(), "late"));
    EXPECT_TRUE(HasChannel(other, "s1") && HasChannel(other, "late") && HasChannel(take, "late"));
    EXPECT_TRUE(mesh->GetShape(21)->GetEntity() == &entity);

    mesh->ClearShape();
    EXPECT_TRUE(mesh->GetNode() == node && !HasChannel(take, "s0") && !HasChannel(other, "late"));
    mesh->AddShape(Shape(), "again");
    node->SetNodeAttribute(nullptr);
    EXPECT_FALSE(HasChannel(take, "again"));
    manager.DestroyKZeqNodeAttribute(mesh);
}

namespace {

struct NamingCase {
    const char* mName;
    bool mMesh;
    const char* mOlderNames[2];
    const char* mOlderChannels[2];
};

class OlderNaming : public GeometryTest, public ::testing::WithParamInterface<NamingCase> {};

}  // namespace

TEST_P(OlderNaming, ConvertAndRevertOverTwoTakes) {
    const NamingCase& c = GetParam();
    KZeqGeometry* geometry = c.mMesh ? static_cast<KZeqGeometry*>(manager.CreateKZeqMesh()) : manager.CreateKZeqNurb();
    node->SetNodeAttribute(geometry);
    geometry->AddShape(Shape(), "a");
    geometry->AddShape(Shape(), "b");
    KZeqTakeNode* takes[2] = {node->GetDefaultTakeNode(), node->CreateTakeNode("Take 001")};
    for (KZeqTakeNode* take : takes) geometry->ConvertShapeNamesToV5Format(take);
    for (int i = 0; i < 2; ++i) {
        EXPECT_STREQ(c.mOlderNames[i], geometry->GetShapeName(i));
        for (KZeqTakeNode* take : takes) EXPECT_TRUE(HasChannel(take, c.mOlderChannels[i])) << take->GetName();
    }
    for (KZeqTakeNode* take : takes) geometry->RevertShapeNamesToV6Format(take);
    geometry->ClearTemporaryShapeNames();
    for (int i = 0; i < 2; ++i) {
        EXPECT_STREQ(i == 0 ? "a" : "b", geometry->GetShapeName(i));
        for (KZeqTakeNode* take : takes)
            EXPECT_TRUE(HasChannel(take, i == 0 ? "a" : "b") && !HasChannel(take, c.mOlderChannels[i]));
    }
    node->SetNodeAttribute(nullptr);
    manager.DestroyKZeqNodeAttribute(geometry);
}

INSTANTIATE_TEST_SUITE_P(Kinds, OlderNaming,
                         ::testing::Values(NamingCase{"Nurb", false, {"Shape 01", "Shape 02"},
                                                      {"Shape 01 (Shape)", "Shape 02 (Shape)"}},
                                           NamingCase{"Mesh", true, {"a", "b"}, {"a (Shape)", "b (Shape)"}}),
                         [](const ::testing::TestParamInfo<NamingCase>& info) { return info.param.mName; });

TEST_F(GeometryTest, OlderChannelNamesAndFolding) {
    EXPECT_TRUE(KZeqGeometry::CreateShapeChannelName(0) == "Shape 01 (Shape)" &&
                KZeqGeometry::CreateShapeChannelName(-1) == "");
    EXPECT_TRUE(KZeqGeometry::CreateShapeChannelName(KString("x (Shape)")) == "x (Shape)" &&
                KZeqGeometry::CreateShapeChannelName(KString("x \t")) == "x (Shape)");

    KZeqNurb* nurb = manager.CreateKZeqNurb();
    KZeqMesh* mesh = manager.CreateKZeqMesh();
    KZeqNode* other = manager.CreateKZeqNode("m");
    node->SetNodeAttribute(nurb);
    other->SetNodeAttribute(mesh);
    for (KZeqGeometry* geometry : {static_cast<KZeqGeometry*>(nurb), static_cast<KZeqGeometry*>(mesh)}) {
        geometry->AddShape(Shape(), "a");
        geometry->AddShape(Shape(), "b");
        KFCurveNode* root = geometry->GetNode()->GetDefaultTakeNode()->GetKFCurveNode();
        root->FindOrCreate("a (Shape)", true)->FCurveGet()->SetValue(0.25f);
        root->FindOrCreate("Shape 02 (Shape)", true)->FCurveGet()->SetValue(0.75f);
        geometry->CleanShapeChannels(geometry->GetNode()->GetDefaultTakeNode());
    }
    EXPECT_TRUE(nurb->GetDefaultShape(0) == 0.25f && nurb->GetDefaultShape(1) == 0.75f);
    EXPECT_FALSE(HasChannel(node->GetDefaultTakeNode(), "a (Shape)"));
    EXPECT_TRUE(mesh->GetDefaultShape(0) == 0.0 && HasChannel(other->GetDefaultTakeNode(), "a (Shape)"));
}

TEST_F(GeometryTest, ApplyPivotMovesPointsWhollyAndTurnsNormalsOnly) {
    const struct {
        const char* mName;
        double mScale;
        double mPoint[3];
        double mNormal[3];
    } rows[] = {{"ScaleTwo", 2.0, {1.0, 4.0, 3.0}, {0.0, 3.0, 0.0}},
                {"Mirrored", -1.0, {1.0, 1.0, 3.0}, {0.0, 3.0, 0.0}}};
    for (const auto& row : rows) {
        KZeqMesh* mesh = manager.CreateKZeqMesh();
        mesh->InitControlPoints(1);
        mesh->GetControlPoints()[0] = KZeqVector4(1, 0, 0, 5);
        mesh->InitNormals();
        mesh->GetNormals()[0] = KZeqVector4(3, 0, 0, 7);
        const KZeqXMatrix pivot(KZeqVector4(1, 2, 3, 1), KZeqVector4(0, 0, 90, 1),
                                KZeqVector4(row.mScale, row.mScale, row.mScale, 1));
        mesh->SetPivot(pivot);
        mesh->ApplyPivot();
        const KZeqVector4 p = mesh->GetControlPoints()[0], n = mesh->GetNormals()[0];
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(row.mPoint[i], p[i], 1e-9) << row.mName;
            EXPECT_NEAR(row.mNormal[i], n[i], 1e-9) << row.mName;
        }
        KZeqXMatrix kept;
        EXPECT_TRUE(p[3] == 5 && n[3] == 7 && mesh->GetPivot(kept) == pivot);
    }
    // A turn within a tenth of a degree of a quarter turn about Y, either way, turns the normals
    // as far: X goes where the pivot's first row says.
    for (double y : {89.95, -90.05}) {
        KZeqMesh* mesh = manager.CreateKZeqMesh();
        mesh->InitControlPoints(1);
        mesh->InitNormals();
        mesh->GetNormals()[0] = KZeqVector4(1, 0, 0, 1);
        const KZeqXMatrix pivot(KZeqVector4(), KZeqVector4(30, y, 20, 1), KZeqVector4(2, 2, 2, 1));
        mesh->SetPivot(pivot);
        mesh->ApplyPivot();
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(mesh->GetNormals()[0][i], pivot.mData[0][i] / 2, 1e-12) << y;
    }
    // A flat pivot has rows of length 0: the normals stay numbers.
    KZeqMesh* flat = manager.CreateKZeqMesh();
    flat->InitControlPoints(1);
    flat->InitNormals();
    flat->GetNormals()[0] = KZeqVector4(1, 1, 1, 1);
    flat->SetPivot(KZeqXMatrix(KZeqVector4(), KZeqVector4(), KZeqVector4(0, 0, 0, 1)));
    flat->ApplyPivot();
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(std::isfinite(flat->GetNormals()[0][i]));
}

TEST_F(GeometryTest, CopiesReplaceLinksAndShapesThroughTheManager) {
    KZeqNode* source = manager.CreateKZeqNode("source");
    KZeqMesh* mesh = manager.CreateKZeqMesh();
    source->SetNodeAttribute(mesh);
    KZeqLink* link = manager.CreateKZeqLink();
    link->AddControlPointIndex(4, 0.5);
    mesh->AddLink(link);
    KZeqShape* shape = Shape();
    shape->InitControlPoints(3);
    mesh->AddShape(shape, "smile");
    mesh->SetPivot(KZeqXMatrix(KZeqVector4(1, 0, 0, 1), KZeqVector4(), KZeqVector4(1, 1, 1, 1)));

    KZeqMesh* target = manager.CreateKZeqMesh();
    node->SetNodeAttribute(target);
    target->AddShape(Shape(), "old");
    target->AddLink(manager.CreateKZeqLink());
    *node = *source;  // the mesh row copies onto the node's mesh
    ASSERT_EQ(target, node->GetMesh());
    EXPECT_TRUE(target->GetLinkCount() == 1 && target->GetLink(0) != link &&
                target->GetLink(0)->GetControlPointIndicesCount() == 1 && manager.GetKZeqLinkCount() == 2);
    EXPECT_TRUE(target->GetShapeCount() == 1 && target->GetShape(0) != shape &&
                target->GetShape(0)->GetControlPointsCount() == 3 && std::string(target->GetShapeName(0)) == "smile");
    EXPECT_FALSE(HasChannel(node->GetDefaultTakeNode(), "old"));
    KZeqXMatrix pivot;
    EXPECT_EQ(1.0, target->GetPivot(pivot).mData[3][0]);
    KZeqMesh& same = *target;
    *target = same;
    EXPECT_EQ(1, target->GetLinkCount());
    EXPECT_TRUE(source->GetGeometry() == mesh && !source->GetNurb() && !source->GetPatch());
}

TEST_F(GeometryTest, EntityReferencesFollowNodesLayersAndClear) {
    KZeqMaterial* material = manager.CreateKZeqMaterial("m");
    KZeqMesh* mesh = manager.CreateKZeqMesh();
    mesh->AddMaterial(material);
    KZeqShape* shape = Shape();
    mesh->AddShape(shape, "s");
    node->SetNodeAttribute(mesh);
    EXPECT_TRUE(entity.GetMaterialCount() == 1 && mesh->GetEntity() == &entity && shape->GetEntity() == &entity);

    // Layers cleared or copied take their references along.
    mesh->Reset();
    EXPECT_EQ(0, entity.GetMaterialCount());
    KZeqMesh* source = manager.CreateKZeqMesh();
    source->AddMaterial(material);
    mesh->CopyLayers(source);
    EXPECT_EQ(1, entity.GetMaterialCount());

    // A node leaving keeps its mesh, which must forget the entity; so must
    // the geometry of every member when the entity is cleared.
    entity.GetRootNode()->RemoveChild(node);
    EXPECT_TRUE(!mesh->GetEntity() && !shape->GetEntity());
    entity.GetRootNode()->AddChild(node);
    EXPECT_TRUE(entity.GetMaterialCount() == 1 && !mesh->GetEntity());  // collected by the node
    node->SetNodeAttribute(nullptr);
    node->SetNodeAttribute(mesh);
    entity.Clear();
    EXPECT_TRUE(!mesh->GetEntity() && !shape->GetEntity());
}

TEST_F(GeometryTest, DuplicateMaterialAndTextureNamesOneResultPerGeometry) {
    KZeqMaterial *x = manager.CreateKZeqMaterial("x"), *y = manager.CreateKZeqMaterial("y");
    KZeqMaterial* indexed = manager.CreateKZeqMaterial("x");
    KZeqTexture *t = manager.CreateKZeqTexture("t"), *twin = manager.CreateKZeqTexture("t");
    KZeqMesh* meshes[2] = {manager.CreateKZeqMesh(), manager.CreateKZeqMesh()};
    for (KZeqMesh* mesh : meshes) {
        mesh->AddMaterial(x);
        mesh->AddMaterial(y);
        mesh->AddMaterial(indexed, 1);
        mesh->GetLayer(1)->GetMaterials()->SetReferenceMode(KZeqLayerElement::eINDEX);
    }
    meshes[0]->AddTexture(t, 2);
    meshes[1]->AddTexture(twin, 2);
    KZeqNodeFinderDuplicateName finder(nullptr);
    finder.SetState(KZeqNodeFinderDuplicateName::eMATERIAL, true);
    finder.SetState(KZeqNodeFinderDuplicateName::eTEXTURE, true);
    EXPECT_FALSE(finder.CheckMaterialName(meshes[0]));
    EXPECT_TRUE(finder.CheckMaterialName(meshes[1]));
    EXPECT_TRUE(finder.CheckTextureName(meshes[0]) == false && finder.CheckTextureName(meshes[1]));
    // y matches itself too, but the first duplicate settled the geometry's result.
    ASSERT_EQ(1, finder.GetDuplicateMaterialArray().GetCount());
    EXPECT_TRUE(finder.GetDuplicateMaterialArray()[0] == x && finder.GetMaterialArray().GetCount() == 2);
    EXPECT_TRUE(finder.GetDuplicateTextureArray().GetCount() == 1 && finder.GetDuplicateTextureArray()[0] == twin);

    // Switched off: collected, repeats and all, and never reported.
    KZeqNodeFinderDuplicateName quiet(&entity);
    for (KZeqMesh* mesh : meshes) EXPECT_FALSE(quiet.CheckMaterialName(mesh));
    EXPECT_TRUE(quiet.GetMaterialArray().GetCount() == 4 && quiet.GetDuplicateMaterialArray().GetCount() == 0);

    // Over an entity: a name the entity lists is a duplicate at once, the
    // entity's own object too; a first sighting of any other name is not.
    entity.AddMaterial(y), entity.AddTexture(twin);
    KZeqNodeFinderDuplicateName over(&entity);
    over.SetState(KZeqNodeFinderDuplicateName::eMATERIAL, true);
    over.SetState(KZeqNodeFinderDuplicateName::eTEXTURE, true);
    EXPECT_TRUE(over.CheckMaterialName(meshes[0]) && over.CheckTextureName(meshes[0]));
    EXPECT_TRUE(over.GetDuplicateMaterialArray().GetCount() == 1 && over.GetDuplicateMaterialArray()[0] == y);
    EXPECT_TRUE(over.GetDuplicateTextureArray().GetCount() == 1 && over.GetDuplicateTextureArray()[0] == t);
    EXPECT_TRUE(over.GetMaterialArray().GetCount() == 2 && over.GetTextureArray().GetCount() == 1);
    entity.RemoveMaterial(y), entity.RemoveTexture(twin);
}

// A shape named like one of the node's own channels or properties would share
// its value: setting the weight would move or hide the node. Such names are
// refused, ignoring case, attached or not.
TEST_F(GeometryTest, ShapeNamedLikeTheNodesOwnChannelsIsRefused) {
    KZeqMesh* mesh = manager.CreateKZeqMesh();
    mesh->InitControlPoints(3);
    for (bool attached : {false, true}) {
        if (attached) node->SetNodeAttribute(mesh);
        for (const char* name : {"Visibility", "transform", "Lcl Translation", "LCL ROTATION", "Lcl Scaling",
                                 "ScalingMin", "RotationPivot", "Show", "LookAtProperty"}) {
            mesh->GetError().ClearLastError();
            EXPECT_EQ(-1, mesh->AddShape(Shape(), name)) << name;
            EXPECT_STREQ("Shape name is already used.", mesh->GetLastErrorString()) << name;
        }
    }
    ASSERT_EQ(0, mesh->AddShape(Shape(), "Blink"));
    mesh->SetDefaultShape(0, 0.5);
    KZeqVector4 translation;
    EXPECT_EQ(KZeqVector4(0, 0, 0, 1), node->GetDefaultT(translation));
    EXPECT_EQ(1.0, node->GetDefaultVisibility());
    EXPECT_EQ(0.5, mesh->GetDefaultShape(0));
}

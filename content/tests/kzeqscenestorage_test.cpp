#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "content/kzeqdeformer.h"
#include "content/kzeqlink.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "content/kzeqscenestorage.h"
#include "object/kclassdefinition.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

typedef KZeqLayerElement E;
typedef std::vector<int> Ints;

class StorageTest : public ::testing::Test {
protected:
    // A node under the root carrying a new mesh.
    KZeqMesh* MeshNode(const char* name, KZeqNode** node = nullptr) {
        KZeqNode* made = manager.CreateKZeqNode(name);
        KZeqMesh* mesh = manager.CreateKZeqMesh();
        made->SetNodeAttribute(mesh);
        entity.GetRootNode()->AddChild(made);
        if (node) *node = made;
        return mesh;
    }
    KZeqLink* Link(KZeqNode* node, std::initializer_list<int> indices) {
        KZeqLink* link = manager.CreateKZeqLink();
        link->SetLink(node);
        for (int index : indices) link->AddControlPointIndex(index, 0.5 + index);
        return link;
    }
    // The material element of layer 0 in a reference mode.
    static KZeqLayerElementMaterial& Materials(KZeqMesh* mesh, E::EReferenceMode mode, Ints indices) {
        if (mesh->GetLayerCount() == 0) mesh->CreateLayer();
        auto* element = new KZeqLayerElementMaterial;
        element->SetMappingMode(E::eBY_POLYGON);
        element->SetReferenceMode(mode);
        for (int index : indices) element->GetIndexArray().Add(index);
        mesh->GetLayer(0)->SetMaterials(element);
        return *element;
    }
    std::vector<KZeqMaterial*> ConnectedMaterials(KZeqNode* node) {
        std::vector<KZeqMaterial*> out;
        KPlugFilter* filter = KPlug_GetFilter(KZeqMaterial::GetClassID());
        for (int i = 0; i < node->GetPropertyHandler()->GetSrcCount(filter); ++i)
            out.push_back(static_cast<KZeqMaterialProperties*>(node->GetPropertyHandler()->GetSrc(filter, i))
                              ->GetKZeqMaterial());
        return out;
    }
    static std::vector<KZeqMaterial*> Direct(const KZeqLayerElementMaterial& element) {
        const KArrayTemplate<KZeqMaterial*>& direct = element.GetDirectArray();
        return std::vector<KZeqMaterial*>(direct.GetArray(), direct.GetArray() + direct.GetCount());
    }
    static Ints Indices(const KZeqLayerElement& element) {
        return Ints(element.GetIndexArray().GetArray(), element.GetIndexArray().GetArray() + element.GetIndexArray().GetCount());
    }
    std::vector<std::string> DeformerNames(int type) {
        std::vector<std::string> names;
        for (int i = 0; i < entity.GetDeformerCount(type); ++i) names.push_back(entity.GetDeformer(i, type)->GetName());
        return names;
    }

    KZeqSdkManager manager;
    KZeqEntity entity{manager};
    KZeqSceneStorage storage{entity, manager};
    KZeqMaterial* materials[4] = {manager.CreateKZeqMaterial("m0"), manager.CreateKZeqMaterial("m1"),
                                  manager.CreateKZeqMaterial("m2"), manager.CreateKZeqMaterial("m3")};
};

// ---- Materials and textures ----------------------------------------------------------------------

TEST_F(StorageTest, ConnectionsFillTheElements) {
    KZeqNode* node = nullptr;
    KZeqMesh* mesh = MeshNode("mesh", &node);
    for (KZeqMaterial* material : materials) node->GetPropertyHandler()->ConnectSrc(material->GetPropertyHandler());
    mesh->CreateLayer();
    mesh->CreateLayer();
    KZeqLayerElementMaterial& toDirect = Materials(mesh, E::eINDEX_TO_DIRECT, {1, 1, 3});
    auto* direct = new KZeqLayerElementMaterial;
    direct->SetReferenceMode(E::eDIRECT);
    mesh->GetLayer(1)->SetMaterials(direct);
    storage.BuildMaterialLayersDirectArray();
    EXPECT_EQ((std::vector<KZeqMaterial*>{materials[1], materials[3]}), Direct(toDirect));
    EXPECT_EQ((Ints{0, 0, 1}), Indices(toDirect));
    EXPECT_EQ((std::vector<KZeqMaterial*>(materials, materials + 4)), Direct(*direct));
}

TEST_F(StorageTest, IndicesRenumberedOnceWhenTheDirectArrayHadItems) {
    KZeqNode* node = nullptr;
    KZeqMesh* mesh = MeshNode("mesh", &node);
    for (int i = 0; i < 2; ++i) node->GetPropertyHandler()->ConnectSrc(materials[i]->GetPropertyHandler());
    KZeqLayerElementMaterial& element = Materials(mesh, E::eINDEX_TO_DIRECT, {0, 1, 7});
    element.GetDirectArray().Add(materials[3]);
    storage.BuildMaterialLayersDirectArray();
    EXPECT_EQ((std::vector<KZeqMaterial*>{materials[3], materials[0], materials[1]}), Direct(element));
    EXPECT_EQ((Ints{1, 2, 7}), Indices(element));
}

TEST_F(StorageTest, ElementsBecomeConnections) {
    KZeqNode* node = nullptr;
    KZeqMesh* mesh = MeshNode("mesh", &node);
    node->GetPropertyHandler()->ConnectSrc(materials[2]->GetPropertyHandler());
    KZeqLayerElementMaterial& element = Materials(mesh, E::eINDEX_TO_DIRECT, {0, 2, 1, -1});
    element.GetDirectArray().Add(materials[1]);
    element.GetDirectArray().Add(materials[2]);
    storage.ConnectMaterials();
    EXPECT_EQ((std::vector<KZeqMaterial*>{materials[2], materials[1]}), ConnectedMaterials(node));
    EXPECT_EQ((Ints{0, -1, 1, -1}), Indices(element));
    storage.ConnectMaterials();  // nothing twice
    EXPECT_EQ(2u, ConnectedMaterials(node).size());
}

// ---- Skinning ----------------------------------------------------------------------------------------

TEST_F(StorageTest, ClusterAndSkinNamesGetNumbersOnClashes) {
    KZeqNode* bones[3] = {manager.CreateKZeqNode("bone"), manager.CreateKZeqNode("Model::bone"),
                          manager.CreateKZeqNode("bone")};
    KZeqMesh* body = MeshNode("body");
    KZeqMesh* torso = MeshNode("torso");
    KZeqMesh* bare = MeshNode("bare");  // a link without a node: a skin, no cluster
    body->AddLink(Link(bones[0], {0}));
    body->AddLink(Link(bones[1], {1}));
    torso->AddLink(Link(bones[2], {2}));
    bare->AddLink(manager.CreateKZeqLink());
    // Taken before.
    manager.CreateKZeqDeformer("Cluster bone 1", "Cluster")->SetEntity(&entity);
    manager.CreateKZeqDeformer("Skin body", "Skin")->SetEntity(&entity);
    storage.BuildKZeqDeformerFromKZeqLink();
    EXPECT_EQ((std::vector<std::string>{"SubDeformer::Cluster bone 1", "SubDeformer::Cluster bone",
                                        "SubDeformer::Cluster bone 2", "SubDeformer::Cluster bone 3"}),
              DeformerNames(KZeqDeformer::eCLUSTER));
    EXPECT_EQ((std::vector<std::string>{"Deformer::Skin body", "Deformer::Skin body 1", "Deformer::Skin torso",
                                        "Deformer::Skin bare"}),
              DeformerNames(KZeqDeformer::eSKIN));
    storage.RemoveKZeqDeformers();
    EXPECT_EQ(0, entity.GetDeformerCount());
}

TEST_F(StorageTest, LinksBecomeDeformersAndComeBack) {
    KZeqNode* node = nullptr;
    KZeqMesh* mesh = MeshNode("arm", &node);
    KZeqNode* other = nullptr;
    KZeqMesh* twin = MeshNode("twin", &other);
    KZeqNode* bone = manager.CreateKZeqNode("bone");
    KZeqNode* model = manager.CreateKZeqNode("model");
    KZeqLink* link = Link(bone, {3, 1});
    link->SetAssociateModel(model);
    link->SetLinkMode(KZeqLink::eTOTAL1);
    link->SetTransformLinkT(KZeqVector4(1, 2, 3, 1));
    mesh->AddLink(link);
    mesh->AddLink(Link(manager.CreateKZeqNode("hand"), {0}));

    storage.BuildKZeqDeformerFromKZeqLink();
    ASSERT_EQ(1, entity.GetDeformerCount(KZeqDeformer::eSKIN));
    ASSERT_EQ(2, entity.GetDeformerCount(KZeqDeformer::eCLUSTER));
    KZeqDeformer* skin = entity.GetDeformer(0, KZeqDeformer::eSKIN);
    EXPECT_TRUE(node->GetPropertyHandler()->IsConnectedSrc(skin->GetPropertyHandler()));
    KZeqDeformer* cluster = entity.GetDeformer(0, KZeqDeformer::eCLUSTER);
    EXPECT_EQ((Ints{3, 1}), Ints(cluster->mIndices.GetArray(), cluster->mIndices.GetArray() + 2));

    // A read: the links are gone, the deformers come from the file; the skin
    // also deforms a second geometry.
    mesh->ClearLink();
    other->GetPropertyHandler()->ConnectSrc(skin->GetPropertyHandler());
    storage.BuildKZeqLinkFromKZeqDeformer();
    storage.RemoveKZeqDeformers();
    EXPECT_EQ(0, entity.GetDeformerCount());
    for (KZeqMesh* geometry : {mesh, twin}) {
        ASSERT_EQ(2, geometry->GetLinkCount());
        KZeqLink* back = geometry->GetLink(0);
        EXPECT_EQ(bone, back->GetLink());
        EXPECT_EQ(model, back->GetAssociateModel());
        EXPECT_EQ(KZeqLink::eTOTAL1, back->GetLinkMode());
        KZeqVector4 t;
        EXPECT_EQ(KZeqVector4(1, 2, 3, 1), back->GetTransformLinkT(t));
        EXPECT_EQ((Ints{3, 1}), Ints(back->GetControlPointIndices(), back->GetControlPointIndices() + 2));
        EXPECT_EQ(3.5, back->GetControlPointWeights()[0]);
        EXPECT_EQ(nullptr, geometry->GetLink(1)->GetAssociateModel());
    }
    EXPECT_NE(mesh->GetLink(0), twin->GetLink(0));
}

TEST_F(StorageTest, RemovalOutlastsRepeatedEntries) {
    KZeqDeformer* cluster = manager.CreateKZeqDeformer("c", "Cluster");
    KZeqDeformer* skin = manager.CreateKZeqDeformer("s", "Skin");
    cluster->SetEntity(&entity);
    entity.AddDeformer(cluster);  // entered twice
    skin->SetEntity(&entity);
    storage.RemoveKZeqDeformers();
    EXPECT_EQ(0, entity.GetDeformerCount());
    EXPECT_FALSE(manager.DestroyKZeqDeformer(cluster));  // destroyed already
}

}  // namespace


#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "content/kzeqdeformer.h"
#include "content/kzeqlink.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "content/kzeqtexture.h"
#include "object/kclassdefinition.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

typedef KZeqLayerElement E;
typedef std::vector<int> Ints;
typedef std::vector<KZeqMaterial*> Materials;
typedef std::vector<std::string> Names;
template <class T>
std::vector<T> Items(const KArrayTemplate<T>& array) {
    return std::vector<T>(array.GetArray(), array.GetArray() + array.GetCount());
}

class SceneStorage : public ::testing::Test {
protected:
    // A node under the root carrying a new mesh.
    KZeqMesh* MeshNode(const char* name, KZeqNode** node = nullptr) {
        KZeqNode* made = manager.CreateKZeqNode(name);
        made->SetNodeAttribute(manager.CreateKZeqMesh());
        entity.GetRootNode()->AddChild(made);
        if (node) *node = made;
        return made->GetMesh();
    }
    KZeqLink* Link(KZeqNode* node, std::initializer_list<int> indices) {
        KZeqLink* link = manager.CreateKZeqLink();
        link->SetLink(node);
        for (int index : indices) link->AddControlPointIndex(index, 0.5 + index);
        return link;
    }
    // A material element in layer, with indices.
    static KZeqLayerElementMaterial& Element(KZeqMesh* mesh, int layer, E::EReferenceMode mode, Ints indices) {
        while (mesh->GetLayerCount() <= layer) mesh->CreateLayer();
        auto* element = new KZeqLayerElementMaterial;
        element->SetReferenceMode(mode);
        for (int index : indices) element->GetIndexArray().Add(index);
        mesh->GetLayer(layer)->SetMaterials(element);
        return *element;
    }
    void Connect(KZeqNode* node, Ints which) {
        for (int m : which) node->GetPropertyHandler()->ConnectSrc(materials[m]->GetPropertyHandler());
    }
    Materials Connected(KZeqNode* node) {
        Materials out;
        KPlugFilter* filter = KPlug_GetFilter(KZeqMaterial::GetClassID());
        for (int i = 0; i < node->GetPropertyHandler()->GetSrcCount(filter); ++i)
            out.push_back(
                static_cast<KZeqMaterialProperties*>(node->GetPropertyHandler()->GetSrc(filter, i))->GetKZeqMaterial());
        return out;
    }
    Names DeformerNames(int type) {
        Names names;
        for (int i = 0; i < entity.GetDeformerCount(type); ++i) names.push_back(entity.GetDeformer(i, type)->GetName());
        return names;
    }

    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    KZeqEntity& entity = *scene->GetEntity();
    KZeqMaterial* materials[4] = {manager.CreateKZeqMaterial("m0"), manager.CreateKZeqMaterial("m1"),
                                  manager.CreateKZeqMaterial("m2"), manager.CreateKZeqMaterial("m3")};
};

TEST_F(SceneStorage, ConnectionsFillTheElements) {
    KZeqNode* node = nullptr;
    KZeqMesh* mesh = MeshNode("mesh", &node);
    Connect(node, {0, 1, 2, 3});
    KZeqLayerElementMaterial& toDirect = Element(mesh, 0, E::eINDEX_TO_DIRECT, {1, 1, 3});
    KZeqLayerElementMaterial& direct = Element(mesh, 1, E::eDIRECT, {});
    // An element with items already: its indices are renumbered once (0 -> 1, 1 -> 2).
    KZeqLayerElementMaterial& filled = Element(mesh, 2, E::eINDEX_TO_DIRECT, {0, 1, 7});
    filled.GetDirectArray().Add(materials[3]);
    scene->BuildMaterialLayersDirectArray();
    EXPECT_EQ((Materials{materials[1], materials[3]}), Items(toDirect.GetDirectArray()));
    EXPECT_EQ((Ints{0, 0, 1}), Items(toDirect.GetIndexArray()));
    EXPECT_EQ((Materials(materials, materials + 4)), Items(direct.GetDirectArray()));
    EXPECT_EQ((Materials{materials[3], materials[0], materials[1]}), Items(filled.GetDirectArray()));
    EXPECT_EQ((Ints{1, 2, 7}), Items(filled.GetIndexArray()));
}

// A geometry that belongs to the entity counts what the connections add to
// its elements there, as if added one by one: taking it off its node later
// leaves the connected material and texture listed.
TEST_F(SceneStorage, FilledElementsOfAMemberGeometryCountInTheEntity) {
    KZeqNode* node = manager.CreateKZeqNode("n");
    entity.GetRootNode()->AddChild(node);
    KZeqMesh* mesh = manager.CreateKZeqMesh();
    node->SetNodeAttribute(mesh);
    ASSERT_EQ(&entity, mesh->GetEntity());
    KZeqLayerElementMaterial& direct = Element(mesh, 0, E::eDIRECT, {});
    KZeqLayerElementMaterial& indexed = Element(mesh, 1, E::eINDEX_TO_DIRECT, {0});
    auto* textures = new KZeqLayerElementTexture;
    textures->SetReferenceMode(E::eDIRECT);
    mesh->GetLayer(0)->SetTextures(textures);
    KZeqTexture* texture = manager.CreateKZeqTexture("t");
    Connect(node, {0});
    node->GetPropertyHandler()->ConnectSrc(texture->GetPropertyHandler());
    scene->BuildMaterialLayersDirectArray();
    scene->BuildTextureLayersDirectArray();
    EXPECT_EQ((Materials{materials[0]}), Items(direct.GetDirectArray()));
    EXPECT_EQ((Materials{materials[0]}), Items(indexed.GetDirectArray()));
    ASSERT_TRUE(textures->GetDirectArray().GetCount() == 1 && textures->GetDirectArray()[0] == texture);
    node->SetNodeAttribute(nullptr);
    EXPECT_EQ(materials[0], entity.GetMaterial(KString("Material::m0")));
    EXPECT_EQ(texture, entity.GetTexture(KString("Texture::t")));
}

TEST_F(SceneStorage, ElementsBecomeConnections) {
    KZeqNode* node = nullptr;
    KZeqMesh* mesh = MeshNode("mesh", &node);
    Connect(node, {2});
    KZeqLayerElementMaterial& element = Element(mesh, 0, E::eINDEX_TO_DIRECT, {0, 2, 1, -1});
    element.GetDirectArray().Add(materials[1]);
    element.GetDirectArray().Add(materials[2]);
    scene->ConnectMaterials();
    scene->ConnectMaterials();  // nothing twice
    EXPECT_EQ((Materials{materials[2], materials[1]}), Connected(node));
    EXPECT_EQ((Ints{0, -1, 1, -1}), Items(element.GetIndexArray()));
}

TEST_F(SceneStorage, ClusterAndSkinNamesGetNumbersOnClashes) {
    KZeqNode* bones[3] = {manager.CreateKZeqNode("bone"), manager.CreateKZeqNode("Model::bone"),
                          manager.CreateKZeqNode("bone")};
    MeshNode("body")->AddLink(Link(bones[0], {0}));
    KZeqMesh* torso = MeshNode("torso");
    torso->AddLink(Link(bones[1], {1}));
    torso->AddLink(Link(bones[2], {2}));
    MeshNode("bare")->AddLink(manager.CreateKZeqLink());  // a link without a node: a skin, no cluster
    scene->AddDeformer(manager.CreateKZeqDeformer("Cluster bone 1", "Cluster"));  // taken before
    scene->AddDeformer(manager.CreateKZeqDeformer("Skin torso", "Skin"));
    scene->BuildKZeqDeformerFromKZeqLink();
    EXPECT_EQ((Names{"SubDeformer::Cluster bone 1", "SubDeformer::Cluster bone", "SubDeformer::Cluster bone 2",
                     "SubDeformer::Cluster bone 3"}),
              DeformerNames(KZeqDeformer::eCLUSTER));
    EXPECT_EQ((Names{"Deformer::Skin torso", "Deformer::Skin body", "Deformer::Skin torso 1", "Deformer::Skin bare"}),
              DeformerNames(KZeqDeformer::eSKIN));
    scene->RemoveKZeqDeformers();
    EXPECT_EQ(0, entity.GetDeformerCount());
}

TEST_F(SceneStorage, LinksBecomeDeformersAndComeBack) {
    KZeqNode *node = nullptr, *other = nullptr;
    KZeqMesh* mesh = MeshNode("arm", &node);
    KZeqMesh* twin = MeshNode("twin", &other);
    KZeqNode* bone = manager.CreateKZeqNode("bone");
    KZeqNode* model = manager.CreateKZeqNode("model");
    KZeqLink* link = Link(bone, {3, 1});
    link->SetAssociateModel(model);
    link->SetLinkMode(KZeqLink::eTOTAL1);
    link->SetTransformLinkT(KZeqVector4(1, 2, 3, 1));
    mesh->AddLink(link);
    mesh->AddLink(Link(manager.CreateKZeqNode("hand"), {0}));
    scene->BuildKZeqDeformerFromKZeqLink();
    ASSERT_TRUE(entity.GetDeformerCount(KZeqDeformer::eSKIN) == 1 &&
                entity.GetDeformerCount(KZeqDeformer::eCLUSTER) == 2);
    KZeqDeformer* skin = entity.GetDeformer(0, KZeqDeformer::eSKIN);
    EXPECT_TRUE(node->GetPropertyHandler()->IsConnectedSrc(skin->GetPropertyHandler()));

    // A read: the deformers come from the file, the skin deforms a second geometry too.
    mesh->ClearLink();
    other->GetPropertyHandler()->ConnectSrc(skin->GetPropertyHandler());
    scene->BuildKZeqLinkFromKZeqDeformer();
    scene->RemoveKZeqDeformers();
    EXPECT_EQ(0, entity.GetDeformerCount());
    for (KZeqMesh* geometry : {mesh, twin}) {
        ASSERT_EQ(2, geometry->GetLinkCount());
        KZeqLink* back = geometry->GetLink(0);
        KZeqVector4 t;
        EXPECT_TRUE(back->GetLink() == bone && back->GetAssociateModel() == model &&
                    back->GetLinkMode() == KZeqLink::eTOTAL1 && back->GetTransformLinkT(t) == KZeqVector4(1, 2, 3, 1));
        EXPECT_EQ((Ints{3, 1}), Ints(back->GetControlPointIndices(), back->GetControlPointIndices() + 2));
        EXPECT_EQ(3.5, back->GetControlPointWeights()[0]);
        EXPECT_EQ(nullptr, geometry->GetLink(1)->GetAssociateModel());
    }
    EXPECT_NE(mesh->GetLink(0), twin->GetLink(0));
    // A deformer entered twice still ends once, out of the entity.
    KZeqDeformer* cluster = manager.CreateKZeqDeformer("c", "Cluster");
    scene->AddDeformer(cluster);
    entity.AddDeformer(cluster);
    scene->RemoveKZeqDeformers();
    EXPECT_TRUE(entity.GetDeformerCount() == 0 && !manager.DestroyKZeqDeformer(cluster));
}

}  // namespace

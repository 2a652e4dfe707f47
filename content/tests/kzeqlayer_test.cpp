#include "content/kzeqlayercontainer.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <set>

#include "content/kzeqmaterial.h"
#include "content/kzeqtexture.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

typedef KZeqLayerElement E;

class TestGeometry : public KZeqLayerContainer {
public:
    using KZeqLayerContainer::KZeqLayerContainer;
    EAttributeType GetAttributeType() const override { return eMESH; }
};

// A container on a node of an entity, with materials and textures to hand.
class LayerContainerTest : public ::testing::Test {
protected:
    void SetUp() override {
        node = manager.CreateKZeqNode("n");
        entity.GetRootNode()->AddChild(node);
        for (int i = 0; i < 3; ++i) {
            m[i] = manager.CreateKZeqMaterial(("m" + std::to_string(i)).c_str());
            t[i] = manager.CreateKZeqTexture(("t" + std::to_string(i)).c_str());
        }
    }
    void TearDown() override {
        if (geometry.GetNode()) node->SetNodeAttribute(nullptr);
    }
    void Connect(KZeqMaterial* material) { node->GetPropertyHandler()->ConnectSrc(material->GetPropertyHandler()); }
    KZeqLayerElementMaterial* IndexedMaterials(std::initializer_list<int> indices) {
        geometry.AddMaterial(m[0], 0);
        KZeqLayerElementMaterial* element = geometry.GetLayer(0)->GetMaterials();
        element->SetReferenceMode(E::eINDEX);
        for (int index : indices) element->GetIndexArray().Add(index);
        return element;
    }

    KZeqSdkManager manager;
    KZeqEntity entity{manager};
    KZeqNode* node = nullptr;
    KZeqMaterial* m[3] = {};
    KZeqTexture* t[3] = {};
    TestGeometry geometry{manager};
};

}  // namespace

TEST(KZeqLayer, SlotsTokensAndDeepCopyOfALoneTexturesElement) {
    KZeqLayer source, copy;
    auto* textures = new KZeqLayerElementTexture;
    EXPECT_EQ(E::eINDEX_TO_DIRECT, textures->GetReferenceMode());
    textures->SetMappingMode(E::eBY_POLYGON);
    textures->SetBlendMode(KZeqLayerElementTexture::eMODULATE2);
    textures->SetAlpha(0.25);
    auto* texture = reinterpret_cast<KZeqTexture*>(&source);  // never dereferenced
    textures->GetDirectArray().Add(texture);
    for (int i : {0, 0, 1}) textures->GetIndexArray().Add(i);
    source.SetTextures(textures);
    for (int type = 0; type <= 7; ++type)
        EXPECT_EQ(type == E::eTEXTURE ? textures : nullptr, source.GetLayerElementOfType(E::ELayerElementType(type)));

    copy.SetUVs(new KZeqLayerElementUV);  // ended by the copy
    copy = source;
    KZeqLayerElementTexture* copied = copy.GetTextures();
    ASSERT_TRUE(copied && copied != textures && !copy.GetUVs() && !copy.GetNormals());
    EXPECT_TRUE(copied->GetMappingMode() == E::eBY_POLYGON && copied->GetReferenceMode() == E::eINDEX_TO_DIRECT &&
                copied->GetBlendMode() == KZeqLayerElementTexture::eMODULATE2 && copied->GetAlpha() == 0.25);
    EXPECT_TRUE(copied->GetDirectArray().GetCount() == 1 && copied->GetDirectArray()[0] == texture);
    EXPECT_TRUE(copied->GetIndexArray().GetCount() == 3 && copied->GetIndexArray()[2] == 1);
    copy = KZeqLayer();
    for (int type = 1; type <= 6; ++type) EXPECT_EQ(nullptr, copy.GetLayerElementOfType(E::ELayerElementType(type)));
    copy.Clear();

    EXPECT_STREQ("IndexToDirect", E::GetReferenceModeToken(2));
    EXPECT_STREQ("NoMappingInformation", E::GetMappingModeToken(9));
    EXPECT_EQ(E::eALL_SAME, E::GetMappingModeFromToken("AllSame"));
    EXPECT_EQ(E::eNONE, E::GetMappingModeFromToken("bypolygon"));  // exact words only
    EXPECT_EQ(E::eDIRECT, E::GetReferenceModeFromToken(nullptr));
    EXPECT_STREQ("Translucent", KZeqLayerElementTexture::GetBlendModeToken(5));
    EXPECT_EQ(KZeqLayerElementTexture::eMAXBLEND, KZeqLayerElementTexture::GetBlendModeFromToken("MaxBlend"));
}

// Polygon groups (ints) and vertex colours are copied deep too: the copy
// keeps modes and items and owes nothing to the source afterwards.
TEST(KZeqLayer, DeepCopyOfGroupsAndVertexColors) {
    KZeqLayer source, copy;
    auto* groups = new KZeqLayerElementPolygonGroup;
    groups->SetMappingMode(E::eBY_POLYGON);
    for (int group : {3, 7}) groups->GetDirectArray().Add(group);
    auto* colors = new KZeqLayerElementVertexColor;
    colors->SetMappingMode(E::eBY_POLYGON_VERTEX), colors->SetReferenceMode(E::eINDEX_TO_DIRECT);
    colors->GetDirectArray().Add(KZeqColor(1, 0, 0, 0.5));
    for (int index : {0, 0, 0}) colors->GetIndexArray().Add(index);
    source.SetPolygonGroups(groups), source.SetVertexColors(colors);
    copy = source;
    KZeqLayerElementPolygonGroup* copiedGroups = copy.GetPolygonGroups();
    KZeqLayerElementVertexColor* copiedColors = copy.GetVertexColors();
    ASSERT_TRUE(copiedGroups && copiedColors && copiedGroups != groups && copiedColors != colors);
    groups->GetDirectArray()[1] = 9, colors->GetDirectArray()[0] = KZeqColor(0, 1, 0, 1), colors->GetIndexArray().Clear();
    EXPECT_TRUE(copiedGroups->GetMappingMode() == E::eBY_POLYGON && copiedGroups->GetDirectArray().GetCount() == 2 &&
                copiedGroups->GetDirectArray()[1] == 7);
    EXPECT_TRUE(copiedColors->GetReferenceMode() == E::eINDEX_TO_DIRECT && copiedColors->GetIndexArray().GetCount() == 3);
    EXPECT_TRUE(copiedColors->GetDirectArray()[0].mRed == 1.0 && copiedColors->GetDirectArray()[0].mAlpha == 0.5);
}

TEST_F(LayerContainerTest, TypedNumberingOverMaterialsUVsMaterials) {
    for (int i = 0; i < 3; ++i) geometry.CreateLayer();
    geometry.GetLayer(0)->SetMaterials(new KZeqLayerElementMaterial);
    geometry.GetLayer(1)->SetUVs(new KZeqLayerElementUV);
    geometry.GetLayer(2)->SetMaterials(new KZeqLayerElementMaterial);
    EXPECT_EQ(2, geometry.GetLayerIndex(1, E::eMATERIAL));
    EXPECT_EQ(0, geometry.GetLayerTypedIndex(1, E::eMATERIAL));
    EXPECT_EQ(-1, geometry.GetLayerTypedIndex(0, E::eUV));
    EXPECT_EQ(-1, geometry.GetLayerTypedIndex(3, E::eMATERIAL));
    EXPECT_TRUE(geometry.GetLayer(1, E::eMATERIAL) == geometry.GetLayer(2) && !geometry.GetLayer(2, E::eMATERIAL));
    EXPECT_TRUE(geometry.GetLayerCount(E::eMATERIAL) == 2 && geometry.GetLayerCount(E::eUNDEFINED) == 0);
    EXPECT_EQ(-1, geometry.GetLayerIndex(-1, E::eMATERIAL));
    geometry.CopyLayers(&geometry);  // onto itself: the layers stay
    EXPECT_EQ(3, geometry.GetLayerCount(E::eUNDEFINED) + geometry.GetLayerCount());
}

TEST_F(LayerContainerTest, AddingTexturesAndMaterialsToLayers) {
    EXPECT_EQ(0, geometry.AddTexture(t[0], 3));
    ASSERT_EQ(4, geometry.GetLayerCount());
    EXPECT_EQ(E::eINDEX_TO_DIRECT, geometry.GetLayer(3)->GetTextures()->GetReferenceMode());
    EXPECT_EQ(0, geometry.AddTexture(t[0], 3));
    EXPECT_EQ(1, geometry.AddTexture(t[1], 3));
    EXPECT_TRUE(geometry.AddMaterial(m[0], 0) == 0 && geometry.AddMaterial(m[0], 0) == -1);
    EXPECT_EQ(E::eDIRECT, geometry.GetLayer(0)->GetMaterials()->GetReferenceMode());
    // -1 from a caller arrives as 2^32 - 1: refused, no layer made.
    for (unsigned int layer : {static_cast<unsigned int>(-1), 1u << 31}) {
        EXPECT_EQ(-1, geometry.AddTexture(t[2], layer));
        EXPECT_EQ(-1, geometry.AddMaterial(m[2], layer));
        EXPECT_EQ(0, geometry.GetTextureCount(layer));
    }
    EXPECT_TRUE(geometry.AddTexture(nullptr, 0) == -1 && geometry.GetLayerCount() == 4);
    EXPECT_TRUE(geometry.GetTextureIndex("t1", 3) == 1 && geometry.GetTextureIndex("Other::t1", 3) == 1);
    EXPECT_TRUE(geometry.GetTextureIndex("T1", 3) == -1 && geometry.GetTextureIndex(nullptr, 3) == -1);
    EXPECT_TRUE(geometry.GetMaterialIndex("m0", 0) == 0 && geometry.GetMaterialIndex("m0", 1) == -1);
    EXPECT_TRUE(geometry.GetTexture(1, 3) == t[1] && !geometry.GetTexture(2, 3) && !geometry.GetTexture(-1, 3));
    geometry.ClearTexture();
    EXPECT_TRUE(geometry.GetTextureCount(3) == 0 && geometry.GetLayer(3)->GetTextures());
}

// Index mode counts distinct indices, no more than the node's connected
// materials; without a node nothing is connected.
TEST_F(LayerContainerTest, IndexModeCountsDistinctIndicesCappedByConnectedMaterials) {
    IndexedMaterials({0, 2, 2, 5});
    EXPECT_EQ(0, geometry.GetMaterialCount(0));
    node->SetNodeAttribute(&geometry);
    const int expected[] = {0, 1, 2, 3};  // after 0, 1, 2, 3 connections
    for (int connected = 0; connected <= 3; ++connected) {
        if (connected > 0) Connect(m[connected - 1]);
        EXPECT_EQ(expected[connected], geometry.GetMaterialCount(0)) << connected;
    }
    EXPECT_TRUE(geometry.GetMaterial(0, 0) == m[0] && geometry.GetMaterial(2, 0) == m[2]);
    EXPECT_TRUE(!geometry.GetMaterial(3, 0) && !geometry.GetMaterial(-1, 0));
    geometry.GetLayer(0)->GetMaterials()->SetReferenceMode(E::eINDEX_TO_DIRECT);
    EXPECT_TRUE(geometry.GetMaterialCount(0) == 1 && geometry.GetMaterial(0, 0) == m[0]);
}

// Textures in index mode are the node's connected textures, in connection order.
TEST_F(LayerContainerTest, TexturesInIndexModeAreTheConnectedOnes) {
    geometry.AddTexture(t[0], 0);
    KZeqLayerElementTexture* element = geometry.GetLayer(0)->GetTextures();
    element->SetReferenceMode(E::eINDEX);
    for (int index : {1, 0, 1}) element->GetIndexArray().Add(index);
    node->SetNodeAttribute(&geometry);
    EXPECT_TRUE(geometry.GetTextureCount(0) == 0 && !geometry.GetTexture(0, 0));
    for (KZeqTexture* texture : {t[2], t[1]}) node->GetPropertyHandler()->ConnectSrc(texture->GetPropertyHandler());
    EXPECT_TRUE(geometry.GetTextureCount(0) == 2 && geometry.GetTexture(0, 0) == t[2] && geometry.GetTexture(1, 0) == t[1]);
    EXPECT_EQ(nullptr, geometry.GetTexture(2, 0));
}

TEST(KZeqLayerContainer, DistinctCountMatchesASetOnRandomIndices) {
    KZeqSdkManager manager;
    KZeqNode* node = manager.CreateKZeqNode("n");
    TestGeometry geometry(manager);
    node->SetNodeAttribute(&geometry);
    std::vector<KZeqMaterial*> materials;
    for (int i = 0; i < 40; ++i) {
        materials.push_back(manager.CreateKZeqMaterial("m"));
        node->GetPropertyHandler()->ConnectSrc(materials.back()->GetPropertyHandler());
    }
    geometry.AddMaterial(materials[0], 0);
    KZeqLayerElementMaterial* element = geometry.GetLayer(0)->GetMaterials();
    element->SetReferenceMode(E::eINDEX);
    std::mt19937 random(7);
    for (int round = 0; round < 60; ++round) {
        const int spread = 1 + round % 30;
        element->GetIndexArray().Clear();
        std::set<int> seen;
        for (int i = 0, n = static_cast<int>(random() % 300); i < n; ++i) {
            const int value = round % 2 ? static_cast<int>(random() % spread) - spread / 2
                                        : static_cast<int>(random() % 2 ? INT_MIN + random() % spread : random());
            element->GetIndexArray().Add(value);
            seen.insert(value);
        }
        EXPECT_EQ(std::min<int>(static_cast<int>(seen.size()), 40), geometry.GetMaterialCount(0)) << round;
    }
    node->SetNodeAttribute(nullptr);
}

TEST_F(LayerContainerTest, NormalsAndControlPoints) {
    geometry.InitControlPoints(4);
    const struct {
        int mCount;
        E::EMappingMode mMapping;
        int mSize;
    } rows[] = {{0, E::eBY_CONTROL_POINT, 4},
                {4, E::eBY_CONTROL_POINT, 4},
                {6, E::eBY_POLYGON_VERTEX, 6},
                {1, E::eBY_POLYGON_VERTEX, 1},
                {-3, E::eBY_CONTROL_POINT, 4}};
    const KZeqVector4 point(1, 2, 3, 1), normal(0, 0, 1, 1);
    geometry.SetControlPointAt(point, normal, 2);  // no normals yet: nothing
    EXPECT_TRUE(geometry.GetControlPoints()[2] == KZeqVector4() && !geometry.GetNormals());
    for (const auto& row : rows) {
        geometry.GetLayer(0) ? geometry.GetLayer(0)->GetNormals()->SetReferenceMode(E::eINDEX) : void();
        geometry.InitNormals(row.mCount);
        KZeqLayerElementNormal* normals = geometry.GetLayer(0)->GetNormals();
        EXPECT_TRUE(normals->GetMappingMode() == row.mMapping && normals->GetReferenceMode() == E::eDIRECT &&
                    normals->GetDirectArray().GetCount() == row.mSize)
            << row.mCount;
    }
    EXPECT_EQ(1, geometry.GetLayerCount());
    geometry.SetControlPointAt(point, normal, -1);  // refused: would write before both arrays
    geometry.SetControlPointAt(point, normal, INT_MAX);
    geometry.SetControlPointAt(point, normal, 6);
    EXPECT_TRUE(geometry.GetControlPointsCount() == 7 && geometry.GetControlPoints()[6] == point);
    KZeqLayerElementNormal* normals = geometry.GetLayer(0)->GetNormals();
    EXPECT_TRUE(normals->GetDirectArray().GetCount() == 7 && geometry.GetNormals()[6] == normal);

    TestGeometry copy(manager);
    copy.Copy(geometry, manager);
    geometry.GetControlPoints()[6] = KZeqVector4();
    geometry.GetNormals()[6] = KZeqVector4();
    EXPECT_TRUE(copy.GetControlPointsCount() == 7 && copy.GetControlPoints()[6] == point);
    EXPECT_TRUE(copy.GetNormals()[6] == normal && copy.GetLayer(0)->GetNormals() != normals);
}

// Only elements referencing directly (any mode but index) hold references in
// the entity, once per use.
TEST_F(LayerContainerTest, EntityReferencesFollowDirectElements) {
    geometry.AddMaterial(m[0], 0);
    geometry.AddTexture(t[0], 0);
    geometry.AddMaterial(m[1], 1);
    geometry.GetLayer(1)->GetMaterials()->SetReferenceMode(E::eINDEX);
    geometry.SetEntity(&entity);
    EXPECT_TRUE(entity.GetMaterialCount() == 1 && entity.GetMaterial(0) == m[0] && entity.GetTextureCount() == 1);
    geometry.SetEntity(&entity);  // the same entity: nothing
    EXPECT_EQ(0, geometry.AddTexture(t[0], 0));  // present: no second reference
    geometry.AddMaterial(m[2], 2);
    EXPECT_EQ(2, entity.GetMaterialCount());
    geometry.AddMaterial(m[1], 1);  // index mode: the entity is not told
    EXPECT_EQ(2, entity.GetMaterialCount());

    TestGeometry other(manager);
    other.CopyLayers(&geometry);
    other.SetEntity(&entity);  // m0, t0, m2 now twice
    EXPECT_EQ(3, other.UnsetEntity());
    EXPECT_TRUE(!other.GetEntity() && entity.GetMaterialCount() == 2);
    geometry.ClearMaterial();  // drops the references it held
    EXPECT_TRUE(entity.GetMaterialCount() == 0 && entity.GetTextureCount() == 1);
    geometry.SetEntity(nullptr);
    EXPECT_EQ(0, entity.GetTextureCount());
    EXPECT_TRUE(other.GetMaterial(0, 2) == m[2] && other.GetLayer(2)->GetMaterials() != nullptr);
}

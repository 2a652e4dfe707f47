#include "content/kzeqmesh.h"

#include <gtest/gtest.h>

#include <vector>

#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

typedef KZeqLayerElement E;

std::vector<int> Indices(const KZeqLayerElement* element) {
    if (!element) return {};
    const KArrayTemplate<int>& indices = element->GetIndexArray();
    return std::vector<int>(indices.GetArray(), indices.GetArray() + indices.GetCount());
}

class MeshTest : public ::testing::Test {
protected:
    KZeqLayer* Layer0() { return mesh->GetLayer(0); }
    KZeqSdkManager manager;
    KZeqMesh* mesh = manager.CreateKZeqMesh();
};

}  // namespace

TEST_F(MeshTest, PolygonRecordsAndOutOfRangeReads) {
    mesh->AddPolygon(9);  // nothing begun: ignored
    EXPECT_TRUE(mesh->GetPolygonCount() == 0 && !mesh->GetPolygonVertices());
    mesh->BeginPolygon(-1, -1, 7);
    for (int i : {0, 1, 2}) mesh->AddPolygon(i);
    mesh->EndPolygon();
    mesh->BeginPolygon(-1, -1, 8);
    for (int i : {2, 1, 3, 4}) mesh->AddPolygon(i);
    ASSERT_EQ(2, mesh->GetPolygonCount());
    EXPECT_TRUE(mesh->GetPolygonSize(0) == 3 && mesh->GetPolygonGroup(0) == 7 && mesh->GetPolygonSize(1) == 4 &&
                mesh->GetPolygonGroup(1) == 8);
    EXPECT_TRUE(mesh->GetPolygonVertex(1, 0) == 2 && mesh->GetPolygonVertex(1, 3) == 4 && mesh->GetPolygonVertices()[6] == 4);
    for (auto pv : {std::pair<int, int>{1, 4}, {2, 0}, {-1, 0}, {0, -1}, {-5, -5}})
        EXPECT_EQ(-1, mesh->GetPolygonVertex(pv.first, pv.second)) << pv.first << "," << pv.second;
    EXPECT_TRUE(mesh->GetPolygonSize(-1) == -1 && mesh->GetPolygonGroup(2) == -1);

    mesh->InitControlPoints(5);
    mesh->InitNormals(7);  // by polygon vertex
    mesh->GetNormals()[5] = KZeqVector4(0, 0, 1, 1);
    KZeqVector4 normal(9, 9, 9, 9);
    int p = 1, v = 2, bad = -1;
    mesh->GetPolygonVertexNormal(p, bad, normal);
    EXPECT_EQ(9, normal[0]);
    mesh->GetPolygonVertexNormal(p, v, normal);
    EXPECT_TRUE(normal[2] == 1 && mesh->GetNormalsMappingType() == KZeqMesh::eBY_POLYGON_VERTEX);
    mesh->SetNormalsMappingType(KZeqMesh::eALL_SAME);
    EXPECT_EQ(E::eBY_CONTROL_POINT, Layer0()->GetNormals()->GetMappingMode());
}

namespace {

struct MaterialCase {
    const char* mName;
    int mInit;  // -1: no InitMaterialIndices
    int mPoints;
    E::EMappingMode mMapping;
    KZeqMesh::EMappingType mType;
    std::vector<int> mIndices;
};

class MaterialRecording : public MeshTest, public ::testing::WithParamInterface<MaterialCase> {};

}  // namespace

TEST_P(MaterialRecording, TwoPolygonsWithMaterialsZeroAndThree) {
    const MaterialCase& c = GetParam();
    mesh->InitControlPoints(c.mPoints);
    if (c.mInit >= 0) mesh->InitMaterialIndices(KZeqMesh::EMappingType(c.mInit));
    mesh->BeginPolygon(0, -1, 0);
    mesh->BeginPolygon(3, -1, 0);
    const KZeqLayerElementMaterial* materials = Layer0()->GetMaterials();
    ASSERT_TRUE(materials);
    EXPECT_EQ(c.mMapping, materials->GetMappingMode());
    EXPECT_EQ(c.mInit >= 0 ? E::eINDEX_TO_DIRECT : E::eDIRECT, materials->GetReferenceMode());
    EXPECT_EQ(c.mType, mesh->GetMaterialMappingType());
    EXPECT_EQ(c.mIndices, Indices(materials));
    EXPECT_EQ(nullptr, Layer0()->GetTextures());  // no texture given on the first polygon
}

INSTANTIATE_TEST_SUITE_P(
    Modes, MaterialRecording,
    ::testing::Values(MaterialCase{"NewMesh", -1, 0, E::eNONE, KZeqMesh::eALL_SAME, {}},
                      MaterialCase{"ByPolygon", 2, 0, E::eBY_POLYGON, KZeqMesh::eBY_POLYGON, {0, 3}},
                      MaterialCase{"AllSame", 3, 0, E::eALL_SAME, KZeqMesh::eALL_SAME, {0}},
                      MaterialCase{"ByPointWithoutPoints", 0, 0, E::eNONE, KZeqMesh::eALL_SAME, {}},
                      MaterialCase{"ByPoint", 0, 3, E::eBY_CONTROL_POINT, KZeqMesh::eBY_CONTROL_POINT, {0, 0, 0}}),
    [](const ::testing::TestParamInfo<MaterialCase>& info) { return info.param.mName; });

TEST_F(MeshTest, TextureIndicesAndUVIndicesByPolygonVertex) {
    mesh->InitTextureIndices(KZeqMesh::eBY_POLYGON);
    mesh->InitTextureUVIndices(KZeqMesh::eBY_POLYGON_VERTEX);
    mesh->InitTextureUV(2);
    mesh->AddTextureUV(KZeqVector2(0.5, 0.25));
    EXPECT_TRUE(mesh->GetTextureUVCount() == 3 && mesh->GetTextureUV()[2][1] == 0.25);
    mesh->BeginPolygon(-1, 1, 0);
    mesh->AddPolygon(0, 2);
    mesh->AddPolygon(1);  // -1: nothing recorded, the array waits
    mesh->AddPolygon(5, 1);
    EXPECT_EQ((std::vector<int>{1}), Indices(Layer0()->GetTextures()));
    EXPECT_EQ((std::vector<int>{2, 0, 1}), Indices(Layer0()->GetUVs()));
    EXPECT_TRUE(mesh->GetTextureUVIndex(0, 2) == 1 && mesh->GetTextureUVIndex(0, 3) == -1 &&
                mesh->GetTextureUVIndex(-1, 0) == -1 && mesh->GetTextureMappingType() == KZeqMesh::eBY_POLYGON);
    mesh->SetTextureUVIndex(0, 1, 4);
    EXPECT_EQ(4, mesh->GetTextureUVIndex(0, 1));

    const struct {
        KZeqMesh::EMappingType mInit;
        E::EMappingMode mMapping;
        KZeqMesh::EMappingType mType;
    } rows[] = {{KZeqMesh::eBY_CONTROL_POINT, E::eBY_CONTROL_POINT, KZeqMesh::eBY_CONTROL_POINT},
                {KZeqMesh::eBY_POLYGON, E::eNONE, KZeqMesh::eALL_SAME},
                {KZeqMesh::eALL_SAME, E::eALL_SAME, KZeqMesh::eALL_SAME}};
    for (const auto& row : rows) {
        mesh->InitTextureUVIndices(row.mInit);
        mesh->AddPolygon(6, 3);  // recorded only by polygon vertex
        EXPECT_TRUE(Layer0()->GetUVs()->GetMappingMode() == row.mMapping &&
                    Layer0()->GetUVs()->GetReferenceMode() == E::eDIRECT && mesh->GetTextureUVCount() == 0);
        EXPECT_TRUE(Indices(Layer0()->GetUVs()).empty() && mesh->GetTextureUVMappingType() == row.mType);
        EXPECT_EQ(-1, mesh->GetTextureUVIndex(0, 0));
    }
}

TEST_F(MeshTest, CopyAndReset) {
    mesh->InitControlPoints(4);
    mesh->InitMaterialIndices(KZeqMesh::eBY_POLYGON);
    mesh->BeginPolygon(1, -1, 2);
    for (int i : {0, 1, 2, 3}) mesh->AddPolygon(i);
    mesh->SetCount(3, 4);
    mesh->SetClosed(true, false);
    KZeqMesh* copy = manager.CreateKZeqMesh();
    *copy = *mesh;
    EXPECT_TRUE(copy->GetPolygonCount() == 1 && copy->GetPolygonSize(0) == 4 && copy->GetPolygonVertex(0, 3) == 3 &&
                copy->GetControlPointsCount() == 4 && copy->GetMaterialIndices()[0] == 1);
    EXPECT_TRUE(copy->GetUCount() == 3 && copy->GetVCount() == 4 && copy->GetUClosed() && !copy->GetVClosed());
    copy->Reset();
    EXPECT_TRUE(copy->GetPolygonCount() == 0 && copy->GetControlPointsCount() == 0 && copy->GetLayerCount() == 0 &&
                copy->GetUCount() == 0 && !copy->GetUClosed() && !copy->GetMaterialIndices());
    EXPECT_EQ(1, mesh->GetPolygonCount());
}

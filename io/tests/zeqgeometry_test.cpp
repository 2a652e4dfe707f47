// Meshes, layers, materials and textures: whole scenes through both writers
// and back, older records with their edge cases and damaged indices, and the
// merging of equal textures and materials.

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "content/kzeqcamera.h"
#include "content/kzeqlayer.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "content/kzeqtexture.h"
#include "fileio/tests/fileio_test_support.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqimporter.h"
#include "io/kzeqreaderzeq.h"
#include "io/tests/zeqgeometryscene.h"
#include "io/tests/zeqroundtrip.h"
#include "io/tests/zeqscenecompare.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;
using namespace zeqiotest;

namespace {

typedef KZeqLayerElement E;

struct GeometryFileTest : ::testing::TestWithParam<ZeqFileCase> {
    // A mesh of one triangle over three control points, not yet on a node.
    KZeqMesh* Triangle() {
        KZeqMesh* mesh = mManager.CreateKZeqMesh();
        mesh->InitControlPoints(3);
        mesh->BeginPolygon();
        for (int v = 0; v < 3; ++v) mesh->AddPolygon(v);
        mesh->EndPolygon();
        return mesh;
    }
    // The mesh on a new node "Mesh<n>", the root's n-th child.
    void Hang(KZeqScene& scene, KZeqMesh* mesh) {
        const std::string name = "Mesh" + std::to_string(scene.GetRootNode()->GetChildCount());
        KZeqNode* node = mManager.CreateKZeqNode(name.c_str());
        node->SetNodeAttribute(mesh);
        scene.GetRootNode()->AddChild(node);
    }
    // The scene through a file of the test's form; null with the error.
    KZeqScene* WriteAndRead(KZeqScene& scene, const char* file, std::string& error) {
        const std::string path = mDir / file;
        if (!WriteZeqFile(mManager, scene, GetParam(), path, "", &error)) return nullptr;
        return ReadZeqFile(mManager, path, "", &error);
    }
    zeqtest::TempDir mDir;
    KZeqSdkManager mManager;
};

std::vector<int> Indices(const E* element) {
    std::vector<int> values;
    for (int i = 0; element && i < element->GetIndexArray().GetCount(); ++i)
        values.push_back(element->GetIndexArray()[i]);
    return values;
}

}  // namespace

TEST_P(GeometryFileTest, WholeSceneComesBack) {
    const ZeqFileCase& form = GetParam();
    KZeqScene* scene = mManager.CreateKZeqScene();
    BuildGeometryScene(mManager, *scene);
    const std::string path = mDir / "geometry.zeq";
    std::string error;
    ASSERT_TRUE(WriteZeqFile(mManager, *scene, form, path, "", &error)) << error;
    KZeqScene* read = ReadZeqFile(mManager, path, "", &error);
    ASSERT_NE(nullptr, read) << error;
    EXPECT_EQ("", CompareScenes(*scene, *read, form.mLosses).Report());
    // The shared material is one object after the read, used by both meshes.
    KZeqNode* prop = read->GetRootNode()->GetChild(1)->GetChild(0);
    ASSERT_TRUE(prop && prop->GetMesh());
    EXPECT_EQ(read->GetEntity()->GetMaterial(KString("Material::Blue")), prop->GetMesh()->GetMaterial(0, 0));
    // Writing does not leave the scene changed: a second write reads the same.
    ASSERT_TRUE(WriteZeqFile(mManager, *scene, form, path, "", &error)) << error;
    KZeqScene* again = ReadZeqFile(mManager, path, "", &error);
    ASSERT_NE(nullptr, again) << error;
    EXPECT_EQ("", CompareScenes(*scene, *again, form.mLosses).Report());
}

// Textures only added (AddTexture: index to direct without indices, as the
// older files read them), one mesh a row: names per layer, "-" for a layer
// whose texture element is empty (not written, so not counted either).
TEST_P(GeometryFileTest, AddedTexturesComeBack) {
    const ZeqFileCase& form = GetParam();
    const std::vector<std::vector<const char*>> rows[] = {
        {{"Wood", "Stone"}}, {{"Wood"}, {"Stone"}}, {{"-"}, {"Stone"}}};
    KZeqScene* scene = mManager.CreateKZeqScene();
    KZeqMaterial* blue = mManager.CreateKZeqMaterial("Blue");
    std::map<std::string, KZeqTexture*> textures;
    for (const char* name : {"Wood", "Stone"}) textures[name] = mManager.CreateKZeqTexture(name);
    for (const auto& layers : rows) {
        KZeqMesh* mesh = Triangle();
        mesh->AddMaterial(blue, 0);
        for (std::size_t l = 0; l < layers.size(); ++l)
            for (const char* name : layers[l])
                if (*name == '-')
                    mesh->GetLayer(static_cast<int>(l))->SetTextures(new KZeqLayerElementTexture);
                else
                    mesh->AddTexture(textures[name], static_cast<unsigned>(l));
        Hang(*scene, mesh);
    }
    std::string error;
    KZeqScene* read = WriteAndRead(*scene, "added.zeq", error);
    ASSERT_NE(nullptr, read) << error;
    EXPECT_EQ("", CompareScenes(*scene, *read, form.mLosses).Report());
    for (int r = 0; r < 3; ++r) {
        KZeqMesh* mesh = read->GetRootNode()->GetChild(r)->GetMesh();
        ASSERT_NE(nullptr, mesh);
        for (std::size_t l = 0; l < rows[r].size(); ++l) {
            std::string names, expected;
            for (int k = 0; k < mesh->GetTextureCount(static_cast<unsigned>(l)); ++k)
                names += std::string(mesh->GetTexture(k, static_cast<unsigned>(l))->GetName()) + " ";
            for (const char* name : rows[r][l])
                if (*name != '-') expected += std::string("Texture::") + name + " ";
            EXPECT_EQ(expected, names) << "mesh " << r << " layer " << l;
        }
    }
}
// UVs by control point, through indices or direct: each control point's UV
// comes back, however the form keeps the element.
TEST_P(GeometryFileTest, UVsByControlPointComeBack) {
    const std::vector<KZeqVector2> expected[] = {{KZeqVector2(1, 0.5), KZeqVector2(0, 0), KZeqVector2(1, 0.5)},
                                                 {KZeqVector2(0.25, 0.75), KZeqVector2(0.5, 0.5), KZeqVector2(1, 1)}};
    KZeqScene* scene = mManager.CreateKZeqScene();
    for (int m = 0; m < 2; ++m) {
        KZeqMesh* mesh = Triangle();
        mesh->CreateLayer();
        auto* uvs = new KZeqLayerElementUV;
        uvs->SetMappingMode(E::eBY_CONTROL_POINT);
        if (m == 0) {
            uvs->SetReferenceMode(E::eINDEX_TO_DIRECT);
            uvs->GetDirectArray().Add(KZeqVector2(0, 0)), uvs->GetDirectArray().Add(KZeqVector2(1, 0.5));
            for (int index : {1, 0, 1}) uvs->GetIndexArray().Add(index);
        } else {
            for (const KZeqVector2& uv : expected[1]) uvs->GetDirectArray().Add(uv);
        }
        mesh->GetLayer(0)->SetUVs(uvs);
        Hang(*scene, mesh);
    }
    std::string error;
    KZeqScene* read = WriteAndRead(*scene, "uvs.zeq", error);
    ASSERT_NE(nullptr, read) << error;
    for (int m = 0; m < 2; ++m) {
        KZeqMesh* mesh = read->GetRootNode()->GetChild(m)->GetMesh();
        const KZeqLayerElementUV* uvs = mesh && mesh->GetLayer(0) ? mesh->GetLayer(0)->GetUVs() : nullptr;
        ASSERT_TRUE(uvs && uvs->GetMappingMode() == E::eBY_CONTROL_POINT) << m;
        const bool direct = uvs->GetReferenceMode() == E::eDIRECT;
        for (int i = 0; i < 3; ++i) {
            const int k = direct ? i : i < uvs->GetIndexArray().GetCount() ? uvs->GetIndexArray()[i] : -1;
            ASSERT_TRUE(k >= 0 && k < uvs->GetDirectArray().GetCount()) << m << " " << i;
            EXPECT_FALSE(uvs->GetDirectArray()[k] != expected[m][static_cast<std::size_t>(i)]) << m << " " << i;
        }
    }
}
INSTANTIATE_TEST_SUITE_P(Forms, GeometryFileTest, ::testing::ValuesIn(kZeqFileCases), ZeqFileCaseName);

// ---- Records as older and newer files hold them ---------------------------------------------------

namespace {

// A file of one model (a mesh unless fields name a type) in the layout of version.
std::string OneModel(int version, const std::string& fields) {
    if (version < 6000) return "Model: \"Model::M\" {;" + fields + ";}";
    return "Definitions: {;ObjectType: \"Model\" {;};};Objects: {;Model: \"Model::M\", \"Mesh\" {;" + fields +
           ";};};Connections: {;Connect: \"OO\", \"Model::M\", \"Model::Scene\";}";
}

const char kTwoTriangles[] = "Vertices: 0,0,0,1,0,0,1,1,0,0,1,0;PolygonVertexIndex: 0,1,-3,2,3,-1";
const char kFourTriangles[] = "Vertices: 0,0,0,1,0,0,1,1,0,0,1,0;PolygonVertexIndex: 0,1,-3,2,3,-1,0,2,-4,1,3,-3";
const char kThreeTextures[] = "Texture: \"A\" {;};Texture: \"B\" {;TextureAlpha: 0.5;};Texture: \"C\" {;SwapUV: 1;}";

std::string Names(const KZeqLayerElementTexture* element) {
    std::string names;
    for (int i = 0; element && i < element->GetDirectArray().GetCount(); ++i)
        names += element->GetDirectArray()[i]->GetNameWithoutNameSpacePrefix().Buffer();
    return names;
}

struct RecordCase {
    const char* mName;
    int mVersion;
    std::string mFields;
    std::function<void(KZeqMesh& mesh, KZeqScene& scene)> mCheck;
};

const RecordCase kRecordCases[] = {
    {"ComplementedIndicesCloseTwoTriangles", 5000, kTwoTriangles,
     [](KZeqMesh& mesh, KZeqScene&) {
         ASSERT_EQ(2, mesh.GetPolygonCount());
         EXPECT_EQ(2, mesh.GetPolygonVertex(0, 2));
         EXPECT_EQ(0, mesh.GetPolygonVertex(1, 2));
         EXPECT_EQ(0, mesh.GetPolygonGroup(1));  // no "PolygonGroup": group 0
     }},
    {"PolygonNamingAMissingPointIsLeftOut", 6000,
     "Vertices: 0,0,0,1,0,0,1,1,0;PolygonVertexIndex: 0,1,-3,0,7,-2,2,1,-1",
     [](KZeqMesh& mesh, KZeqScene&) {
         ASSERT_EQ(2, mesh.GetPolygonCount());
         EXPECT_EQ(2, mesh.GetPolygonVertex(1, 0));
     }},
    {"GroupsOnePerPolygon", 5000, std::string(kTwoTriangles) + ";PolygonGroup: 4,5",
     [](KZeqMesh& mesh, KZeqScene&) {
         EXPECT_EQ(5, mesh.GetPolygonGroup(1));
         EXPECT_EQ((std::vector<int>{4, 5}), Indices(mesh.GetLayer(0)->GetPolygonGroups()));
     }},
    {"ByPolygonTexturesInFirstUseOrder", 5000,
     std::string(kFourTriangles) + ";" + kThreeTextures +
         ";GeometryLayer: {;LayerTextureInfo: {;TextureMode: 6;TextureIdCount: 4;TextureId: 2,2,0,2;};}",
     [](KZeqMesh& mesh, KZeqScene&) {
         EXPECT_EQ("CA", Names(mesh.GetLayer(1)->GetTextures()));
         EXPECT_EQ((std::vector<int>{0, 0, 1, 0}), Indices(mesh.GetLayer(1)->GetTextures()));
     }},
    {"ByPolygonIdsOutsideTheListGiveNone", 5000,
     std::string(kFourTriangles) + ";" + kThreeTextures +
         ";GeometryLayer: {;LayerTextureInfo: {;TextureMode: 6;TextureId: 1,9,-1,1;};}",
     [](KZeqMesh& mesh, KZeqScene&) {
         EXPECT_EQ("B", Names(mesh.GetLayer(1)->GetTextures()));
         EXPECT_EQ((std::vector<int>{0, -1, -1, 0}), Indices(mesh.GetLayer(1)->GetTextures()));
     }},
    {"AllSameIdPastTheListAddsNothing", 5000,
     std::string(kTwoTriangles) + ";" + kThreeTextures +
         ";GeometryLayer: {;LayerTextureInfo: {;TextureMode: 2;TextureId: 5;};}",
     [](KZeqMesh& mesh, KZeqScene&) { EXPECT_EQ("", Names(mesh.GetLayer(1)->GetTextures())); }},
    {"WithoutGeometryLayerTheListGoesToLayerZero", 5000, std::string(kTwoTriangles) + ";" + kThreeTextures,
     [](KZeqMesh& mesh, KZeqScene&) { EXPECT_EQ("ABC", Names(mesh.GetLayer(0)->GetTextures())); }},
    {"UVIdsPastTheUVsBecomeZero", 5000,
     std::string(kTwoTriangles) +
         ";GeometryLayer: {;LayerTextureInfo: {;UVMode: 8;UVCount: 4;UV: 0,0,1,0,1,1,0,1;UVIdCount: 6;"
         "UVId: 0,1,4,3,-2,1;};}",
     [](KZeqMesh& mesh, KZeqScene&) {
         EXPECT_EQ((std::vector<int>{0, 1, 0, 3, 0, 1}), Indices(mesh.GetLayer(1)->GetUVs()));
     }},
    {"UVCountBoundByTheValues", 5000,
     std::string(kTwoTriangles) + ";GeometryLayer: {;LayerTextureInfo: {;UVMode: 3;UVCount: 2000000000;UV: 0,0,1,0;};}",
     [](KZeqMesh& mesh, KZeqScene&) { EXPECT_EQ(2, mesh.GetLayer(1)->GetUVs()->GetDirectArray().GetCount()); }},
    {"RepairPadsLayerZeroFromTheList", 5000,
     std::string("GeometryVersion: 123;") + kTwoTriangles + ";" + kThreeTextures +
         ";TextureMode: \"ByPolygon\";TextureId: 1,2000000000;GeometryLayer: {;LayerTextureInfo: {;TextureMode: 2;};}",
     [](KZeqMesh& mesh, KZeqScene&) {
         // A huge index pads no further than the three textures read.
         EXPECT_EQ("ABC", Names(mesh.GetLayer(0)->GetTextures()));
         EXPECT_EQ((std::vector<int>{1, -1}), Indices(mesh.GetLayer(0)->GetTextures()));
     }},
    {"NoRepairFromVersion124", 5000,
     std::string("GeometryVersion: 124;") + kTwoTriangles + ";" + kThreeTextures +
         ";TextureMode: \"ByPolygon\";TextureId: 1,0;GeometryLayer: {;LayerTextureInfo: {;TextureMode: 2;};}",
     [](KZeqMesh& mesh, KZeqScene&) {
         EXPECT_EQ("", Names(mesh.GetLayer(0)->GetTextures()));
         EXPECT_EQ((std::vector<int>{-1, -1}), Indices(mesh.GetLayer(0)->GetTextures()));
     }},
    {"ColoursThatFitTheMesh", 5000,
     std::string(kTwoTriangles) +
         ";VertexColorInfo: {;MappingInformationType: \"ByVertice\";Colors: " + "1,0,0,1,0,1,0,1,0,0,1,1,1,1,1,1;}",
     [](KZeqMesh& mesh, KZeqScene&) {
         const KZeqLayerElementVertexColor* colors = mesh.GetLayer(0)->GetVertexColors();
         EXPECT_EQ(4, colors->GetDirectArray().GetCount());
         EXPECT_EQ(E::eDIRECT, colors->GetReferenceMode());
     }},
    {"ColoursThatDoNotFitAreEmptied", 5000,
     std::string(kTwoTriangles) + ";VertexColorInfo: {;MappingInformationType: \"ByVertice\";Colors: 1,0,0,1;}",
     [](KZeqMesh& mesh, KZeqScene&) {
         EXPECT_EQ(0, mesh.GetLayer(0)->GetVertexColors()->GetDirectArray().GetCount());
     }},
    {"MaterialIndicesWithoutMaterialsAreDropped", 5000,
     std::string(kTwoTriangles) + ";MaterialAssignation: \"ByPolygon\";Materials: 0,0",
     [](KZeqMesh& mesh, KZeqScene&) { EXPECT_EQ(nullptr, mesh.GetLayer(0)->GetMaterials()); }},
    {"MaterialRecordAndShininessBefore3000", 2000,
     std::string(kTwoTriangles) + ";Material: \"Shiny\" {;ShadingModel: \"Phong\";Shininess: 64;Diffuse: 1,0.5,0;}" +
         ";MaterialAssignation: \"AllSame\";Materials: 0",
     [](KZeqMesh& mesh, KZeqScene&) {
         KZeqMaterial* material = mesh.GetMaterial(0, 0);
         ASSERT_NE(nullptr, material);
         EXPECT_STREQ("phong", material->GetShadingModel());
         EXPECT_DOUBLE_EQ(0.5, material->GetShininess());
         EXPECT_DOUBLE_EQ(0.5, material->GetDiffuse().mGreen);
     }},
    {"ShininessFrom3000", 5000,
     std::string(kTwoTriangles) + ";Material: \"Shiny\" {;Shininess: 50;}" +
         ";MaterialAssignation: \"AllSame\";Materials: 0",
     [](KZeqMesh& mesh, KZeqScene&) {
         EXPECT_DOUBLE_EQ(0.5, mesh.GetMaterial(0, 0)->GetShininess());
         EXPECT_STREQ("phong", mesh.GetMaterial(0, 0)->GetShadingModel());
     }},
    {"TextureRecordFields", 5000,
     std::string(kTwoTriangles) + ";Texture: \"T\" {;TextureAlpha: 1.7;Cropping: 1,2,3,4;" +
         "Texture_Mapping_Type: \"planar\";TextureUse: \"LightMap\";WrapU: 1;Media: \"Video::m\";}",
     [](KZeqMesh& mesh, KZeqScene&) {
         KZeqTexture* texture = mesh.GetTexture(0, 0);
         ASSERT_NE(nullptr, texture);
         EXPECT_EQ(1.0, texture->GetDefaultAlpha());
         const int cropping[] = {texture->GetCroppingLeft(), texture->GetCroppingRight(), texture->GetCroppingTop(),
                                 texture->GetCroppingBottom()};
         EXPECT_EQ((std::vector<int>{1, 2, 3, 4}), std::vector<int>(cropping, cropping + 4));
         EXPECT_EQ(KZeqTexture::eNULL, texture->GetMappingType());
         EXPECT_EQ(KZeqTexture::eLIGHT_MAP, texture->GetTextureUse());
         EXPECT_EQ(KZeqTexture::eCLAMP, texture->GetWrapModeU());
         EXPECT_FALSE(texture->GetSwapUV());
         EXPECT_STREQ("Video::m", texture->GetMediaName().Buffer());
     }},
    {"WoodAndWood2AreMerged", 5000,
     std::string(kTwoTriangles) + ";Texture: \"wood\" {;TextureAlpha: 0.5;};Texture: \"wood2\" {;TextureAlpha: 0.5;}",
     [](KZeqMesh& mesh, KZeqScene& scene) {
         EXPECT_EQ(1, scene.GetEntity()->GetTextureCount());
         EXPECT_EQ("woodwood", Names(mesh.GetLayer(0)->GetTextures()));
     }},
    {"LayerElementsAndLayers", 6000,
     std::string(kTwoTriangles) +
         ";LayerElementUV: 0 {;MappingInformationType: \"ByVertice\";ReferenceInformationType: \"Direct\";UV: 0,0;}"
         ";LayerElementUV: 1 {;MappingInformationType: \"ByPolygonVertex\";ReferenceInformationType: \"IndexToDirect\";"
         "UV: 0,0,1,1;UVIndex: 0,1,1,0,5,1;}"
         ";LayerElementNormal: 0 {;MappingInformationType: \"ByVertice\";Normals: 0,0,1,0,0,1,0;}"
         ";LayerElementColor: 0 {;ReferenceInformationType: \"Direct\";Colors: 1,1,1,1;ColorIndex: 3;}"
         ";LayerElementTexture: 0 {;ReferenceInformationType: \"Direct\";TextureAlpha: -0.5;}"
         ";LayerElementTexture: 1 {;MappingInformationType: \"AllSame\";ReferenceInformationType: \"IndexToDirect\";"
         "BlendMode: \"Modulate2\";TextureAlpha: -0.5;TextureId: 0;}"
         ";Layer: 0 {;Version: 100;LayerElement: {;Type: \"LayerElementNormal\";TypedIndex: 0;};"
         "LayerElement: {;Type: \"LayerElementColor\";TypedIndex: 0;};"
         "LayerElement: {;Type: \"LayerElementTexture\";TypedIndex: 0;};};"
         "Layer: 1 {;Version: 100;LayerElement: {;Type: \"LayerElementUV\";TypedIndex: 1;};"
         "LayerElement: {;Type: \"LayerElementUV\";TypedIndex: 7;};LayerElement: {;Type: \"Other\";};};"
         "Layer: 5 {;Version: 100;LayerElement: {;Type: \"LayerElementUV\";TypedIndex: 0;};}",
     [](KZeqMesh& mesh, KZeqScene&) {
         ASSERT_EQ(2, mesh.GetLayerCount());
         EXPECT_EQ(2, mesh.GetLayer(0)->GetNormals()->GetDirectArray().GetCount());
         EXPECT_EQ(0, mesh.GetLayer(0)->GetVertexColors()->GetIndexArray().GetCount());
         // The direct texture element took no typed index: the second one holds 0.
         const KZeqLayerElementTexture* textures = mesh.GetLayer(0)->GetTextures();
         ASSERT_NE(nullptr, textures);
         EXPECT_EQ(0.0, textures->GetAlpha());
         EXPECT_EQ(KZeqLayerElementTexture::eMODULATE2, textures->GetBlendMode());
         EXPECT_EQ(nullptr, mesh.GetLayer(1)->GetTextures());
         EXPECT_EQ((std::vector<int>{0, 1, 1, 0, -1, 1}), Indices(mesh.GetLayer(1)->GetUVs()));
     }},
};

struct GeometryRecordTest : ::testing::TestWithParam<RecordCase> {
    zeqtest::TempDir mDir;
    KZeqSdkManager mManager;
};

std::string RecordCaseName(const testing::TestParamInfo<RecordCase>& info) { return info.param.mName; }

}  // namespace

TEST_P(GeometryRecordTest, ReadsAsTheRecordSays) {
    const RecordCase& row = GetParam();
    const std::string path = mDir / "record.zeq";
    MakeZeqFile(path, row.mVersion, 0, OneModel(row.mVersion, row.mFields));
    std::string error;
    KZeqScene* scene = ReadZeqFile(mManager, path, "", &error);
    ASSERT_NE(nullptr, scene) << error;
    ASSERT_EQ(1, scene->GetRootNode()->GetChildCount());
    KZeqMesh* mesh = scene->GetRootNode()->GetChild(0)->GetMesh();
    ASSERT_NE(nullptr, mesh);
    row.mCheck(*mesh, *scene);
}
INSTANTIATE_TEST_SUITE_P(Records, GeometryRecordTest, ::testing::ValuesIn(kRecordCases), RecordCaseName);

// Equal textures are merged into the first; a camera whose background was a
// copy keeps the survivor, and layer entries follow.
TEST(DuplicateTest, CopiesBecomeTheFirstAndCamerasFollow) {
    KZeqSdkManager manager;
    KZeqImporter importer(manager);
    KZeqReaderZeq reader(manager, importer);
    KZeqScene* scene = manager.CreateKZeqScene();
    KZeqTexture* textures[] = {manager.CreateKZeqTexture("wood"), manager.CreateKZeqTexture("stone"),
                               manager.CreateKZeqTexture("wood2"), manager.CreateKZeqTexture("wood 3")};
    textures[3]->SetDefaultAlpha(0.5);  // not equal
    KZeqMesh* mesh = manager.CreateKZeqMesh();
    for (KZeqTexture* texture : textures) mesh->AddTexture(texture, 0);
    KZeqNode* node = manager.CreateKZeqNode("Mesh");
    node->SetNodeAttribute(mesh);
    scene->GetRootNode()->AddChild(node);
    KZeqCamera* camera = manager.CreateKZeqCamera();
    KZeqNode* eye = manager.CreateKZeqNode("Eye");
    eye->SetNodeAttribute(camera);
    scene->GetRootNode()->AddChild(eye);
    camera->SetBackgroundTexture(textures[2]);
    KZeqMaterial* materials[] = {manager.CreateKZeqMaterial("m"), manager.CreateKZeqMaterial("m"),
                                 manager.CreateKZeqMaterial("n"), manager.CreateKZeqMaterial("m")};
    for (KZeqMaterial* material : materials) scene->GetEntity()->AddMaterial(material);
    reader.RemoveDuplicateTextures(*scene);
    reader.RemoveDuplicateMaterials(*scene);
    EXPECT_EQ(3, scene->GetEntity()->GetTextureCount());
    EXPECT_EQ(2, scene->GetEntity()->GetMaterialCount());
    EXPECT_EQ("woodstonewoodwood 3", Names(mesh->GetLayer(0)->GetTextures()));
    EXPECT_TRUE(eye->GetPropertyHandler()->IsConnectedSrc(textures[0]->GetPropertyHandler()));
}

// Options 1 and 2 gate the older records' material and texture blocks.
TEST(GeometryOptionsTest, MaterialAndTextureBlocksFollowTheirOptions) {
    zeqtest::TempDir dir;
    const std::string path = dir / "options.zeq";
    MakeZeqFile(path, 5000, 1,
                OneModel(5000, std::string(kTwoTriangles) +
                                   ";Material: \"M\" {;};MaterialAssignation: \"AllSame\";Materials: 0;" + kThreeTextures));
    for (const bool on : {true, false}) {
        KZeqSdkManager manager;
        KZeqImporter importer(manager);
        ASSERT_TRUE(importer.Initialize(path.c_str()));
        auto* options = static_cast<KStreamOptionsZeq*>(importer.GetImportOptions());
        options->SetOption(KStreamOptionsZeq::eMATERIAL, on), options->SetOption(KStreamOptionsZeq::eTEXTURE, on);
        KZeqScene* scene = manager.CreateKZeqScene();
        ASSERT_TRUE(importer.Import(*scene, options));
        importer.ReleaseImportOptions(options);
        KZeqMesh* mesh = scene->GetRootNode()->GetChild(0)->GetMesh();
        EXPECT_EQ(on ? 1 : 0, scene->GetEntity()->GetMaterialCount());
        EXPECT_EQ(on ? 3 : 0, mesh->GetTextureCount(0));
    }
}

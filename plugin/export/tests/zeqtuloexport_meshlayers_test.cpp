// A mesh's layers: materials per shading group, textures and their mapping modes, UV sets to the
// layers of their textures, the temporary default shader, vertex colours; and the layer mapping
// record behind them.
#include "zeqtuloexport_test_support.h"

#include "content/kzeqlayer.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "content/kzeqtexture.h"
#include "tfndagnode.h"
#include "tfnmesh.h"
#include "tfnshading.h"

using namespace zeqsdk_400;

namespace {

std::vector<int> Indices(const KZeqLayerElement* element) {
    std::vector<int> out;
    if (!element) return out;
    const KArrayTemplate<int>& a = element->GetIndexArray();
    for (int i = 0; i < a.GetCount(); ++i) out.push_back(a[i]);
    return out;
}

KZeqColor Colour(const KZeqMaterial* material, KZeqColor& (KZeqMaterial::*get)(KZeqColor&) const) {
    KZeqColor colour;
    return (material->*get)(colour);
}

TPlug At(const TObject& node, const char* attr) { return TFnDependencyNode(node).findPlug(attr); }
TDagPath PathOf(const TObject& o) { return TDagPath::getAPathTo(o); }

class MeshLayersTest : public ExportTest {
protected:
    KZeqMesh* Mesh(const char* path) {
        ZeqTuloNode* node = mExporter.Node(path);
        return node ? node->GetMesh() : nullptr;
    }
    ExportProbe mExporter;
};

// The cube fixture: faces 0 and 1 on a phong, faces 2 to 5 on a textured lambert (face 2 is in
// both groups and belongs to the last); the texture uses map1, the other UV set none.
TEST_F(MeshLayersTest, TwoGroupsMaterialsTexturesAndUVs) {
    ASSERT_TRUE(standin::buildScene("cube"));
    mExporter.Walks();
    KZeqMesh* mesh = Mesh("|hardCube");
    ASSERT_NE(mesh, nullptr);
    KZeqLayer* layer = mesh->GetLayer(0);
    ASSERT_NE(layer, nullptr);
    KZeqLayerElementMaterial* materials = layer->GetMaterials();
    ASSERT_NE(materials, nullptr);
    EXPECT_EQ(materials->GetMappingMode(), KZeqLayerElement::eBY_POLYGON);
    EXPECT_EQ(materials->GetReferenceMode(), KZeqLayerElement::eINDEX_TO_DIRECT);
    EXPECT_EQ(Indices(materials), (std::vector<int>{0, 0, 1, 1, 1, 1}));
    ASSERT_EQ(materials->GetDirectArray().GetCount(), 2);
    KZeqMaterial* shiny = materials->GetDirectArray()[0];
    KZeqMaterial* matte = materials->GetDirectArray()[1];
    EXPECT_STREQ(shiny->GetName(), "Material::shiny");
    EXPECT_DOUBLE_EQ(shiny->GetDefaultShininess(), 12.0 / 128.0);
    EXPECT_NEAR(Colour(shiny, &KZeqMaterial::GetDefaultSpecularColor).mRed, 0.8, 1e-6);
    EXPECT_STREQ(matte->GetName(), "Material::matte");
    EXPECT_EQ(Colour(matte, &KZeqMaterial::GetDefaultDiffuseColor).mRed, 1.0);  // textured: white

    KZeqLayerElementTexture* textures = layer->GetTextures();
    ASSERT_NE(textures, nullptr);
    EXPECT_EQ(textures->GetMappingMode(), KZeqLayerElement::eBY_POLYGON);
    EXPECT_EQ(Indices(textures), (std::vector<int>{-1, -1, 0, 0, 0, 0}));
    ASSERT_EQ(textures->GetDirectArray().GetCount(), 1);
    KZeqTexture* brick = textures->GetDirectArray()[0];
    EXPECT_STREQ(brick->GetName(), "Texture::brick");
    EXPECT_STREQ(brick->GetFileName(), "/textures/brick.tif");

    KZeqLayerElementUV* uvs = layer->GetUVs();
    ASSERT_NE(uvs, nullptr);
    EXPECT_EQ(uvs->GetMappingMode(), KZeqLayerElement::eBY_POLYGON_VERTEX);
    EXPECT_EQ(uvs->GetDirectArray().GetCount(), 4);
    EXPECT_EQ(uvs->GetIndexArray().GetCount(), 24);
    EXPECT_EQ(mesh->GetLayerCount(), 1);  // "lightmap" has no texture while map1 has one: skipped

    // The smooth cube's group uses the same shader: the same material object; its texture is its own.
    KZeqMesh* smooth = Mesh("|smoothCube");
    ASSERT_NE(smooth, nullptr);
    KZeqLayerElementMaterial* smoothMaterials = smooth->GetLayer(0)->GetMaterials();
    EXPECT_EQ(smoothMaterials->GetMappingMode(), KZeqLayerElement::eALL_SAME);
    EXPECT_EQ(Indices(smoothMaterials), std::vector<int>{0});
    EXPECT_EQ(smoothMaterials->GetDirectArray()[0], matte);
    EXPECT_NE(smooth->GetLayer(0)->GetTextures()->GetDirectArray()[0], brick);
    EXPECT_EQ(smooth->GetLayer(0)->GetUVs(), nullptr);  // no UVs
}

// Polygons without a shading group use "Default_Material", a phong made for the time of the step
// and deleted after; its material is grey with the phong's values.
TEST_F(MeshLayersTest, UnshadedPolygonsTakeTheDefaultShader) {
    TObject shape = standin::createCube("box", false);
    TObject red = standin::createNode("lambert", "red");
    standin::assignFaces(standin::createShadingGroup(red), PathOf(shape), {1, 3});
    mExporter.Walks();
    KZeqMesh* mesh = Mesh("|box");
    ASSERT_NE(mesh, nullptr);
    KZeqLayerElementMaterial* materials = mesh->GetLayer(0)->GetMaterials();
    ASSERT_NE(materials, nullptr);
    EXPECT_EQ(Indices(materials), (std::vector<int>{0, 1, 0, 1, 0, 0}));
    ASSERT_EQ(materials->GetDirectArray().GetCount(), 2);
    KZeqMaterial* fallback = materials->GetDirectArray()[0];
    EXPECT_STREQ(fallback->GetName(), "Material::Default_Material");
    EXPECT_DOUBLE_EQ(fallback->GetDefaultShininess(), 3.0 / 128.0);
    EXPECT_NEAR(Colour(fallback, &KZeqMaterial::GetDefaultAmbientColor).mRed, 0.4, 1e-6);
    EXPECT_TRUE(transcribed("delete Default_Material"));
    EXPECT_EQ(standin::countMatches("Default_Material"), 0u);
}

// One group on every polygon: one material index, "all same".
TEST_F(MeshLayersTest, OneGroupIsAllSame) {
    TObject shape = standin::createCube("box", false);
    standin::assignFaces(standin::createShadingGroup(standin::createNode("phong", "gloss")), PathOf(shape));
    mExporter.Walks();
    KZeqLayerElementMaterial* materials = Mesh("|box")->GetLayer(0)->GetMaterials();
    EXPECT_EQ(materials->GetMappingMode(), KZeqLayerElement::eALL_SAME);
    EXPECT_EQ(Indices(materials), std::vector<int>{0});
}

// Shaders per instance: the second instance's faces are in its own group.
TEST_F(MeshLayersTest, SecondInstanceHasItsOwnShaders) {
    TObject shape = standin::createCube("box", false);
    TObject box = TFnDagNode(shape).parent(0);
    TObject holder = standin::createNode("transform", "holder");
    ASSERT_TRUE(standin::parent(box, holder, true));
    TDagPathArray paths;
    TDagPath::getAllPathsTo(shape, paths);
    ASSERT_EQ(paths.length(), 2u);
    standin::assignFaces(standin::createShadingGroup(standin::createNode("lambert", "first")), paths[0]);
    standin::assignFaces(standin::createShadingGroup(standin::createNode("lambert", "second")), paths[1]);
    mExporter.Walks();
    KZeqMesh* one = Mesh("|box");
    KZeqMesh* two = Mesh("|holder|box");
    ASSERT_TRUE(one && two);
    EXPECT_STREQ(one->GetLayer(0)->GetMaterials()->GetDirectArray()[0]->GetName(), "Material::first");
    EXPECT_STREQ(two->GetLayer(0)->GetMaterials()->GetDirectArray()[0]->GetName(), "Material::second");
}

// An instance number the shape lacks: the host refuses the shader assignment and the step adds
// nothing to the layers.
TEST_F(MeshLayersTest, RefusedShaderAssignmentAddsNothing) {
    TObject shape = standin::createCube("box", false);
    standin::assignFaces(standin::createShadingGroup(standin::createNode("lambert", "paint")), PathOf(shape));
    ExportProbe exporter;
    exporter.Walks();
    KZeqMesh* mesh = exporter.mSdkManager.CreateKZeqMesh();
    TFnMesh fn(PathOf(shape));
    exporter.WriteMeshLayers(fn, exporter.Node("|box"), mesh, 1);
    EXPECT_EQ(mesh->GetLayerCount(), 0);
}

// A UV set goes to the layer of the texture that uses it: a layered texture puts its second input
// (the last) on layer 0 and its first on layer 1, so a set tied to the first lands on layer 1.
TEST_F(MeshLayersTest, UVSetFollowsItsTextureLayer) {
    TObject shape = standin::createCube("box", false);
    TFnMesh mesh(shape);
    TFloatArray u, v;
    for (float x : {0.0f, 1.0f, 1.0f, 0.0f}) u.append(x);
    for (float y : {0.0f, 0.0f, 1.0f, 1.0f}) v.append(y);
    TIntArray counts(6, 4), ids;
    for (int f = 0; f < 6; ++f)
        for (int k = 0; k < 4; ++k) ids.append(k);
    mesh.setUVs(u, v);
    mesh.assignUVs(counts, ids);
    TObject layered = standin::createNode("layeredTexture", "stack");
    TObject shader = standin::createNode("lambert", "painted");
    standin::connect(At(layered, "outColor"), At(shader, "color"));
    TPlug inputs = At(layered, "inputs");
    TObject top = standin::createFileTexture("upper", "/t/upper.tif", inputs.elementByLogicalIndex(0).child(0));
    standin::createFileTexture("base", "/t/base.tif", inputs.elementByLogicalIndex(1).child(0));
    standin::linkUVSetTexture(shape, "map1", top);
    standin::assignFaces(standin::createShadingGroup(shader), PathOf(shape));
    mExporter.Walks();
    KZeqMesh* out = Mesh("|box");
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(out->GetLayerCount(), 2);
    EXPECT_EQ(out->GetLayer(0)->GetUVs(), nullptr);
    ASSERT_NE(out->GetLayer(1)->GetUVs(), nullptr);
    EXPECT_EQ(out->GetLayer(1)->GetUVs()->GetIndexArray().GetCount(), 24);
    // A texture on every polygon on layer 1 is "all same"; layer 0 is by polygon.
    EXPECT_EQ(out->GetLayer(1)->GetTextures()->GetMappingMode(), KZeqLayerElement::eALL_SAME);
    EXPECT_EQ(out->GetLayer(0)->GetTextures()->GetMappingMode(), KZeqLayerElement::eBY_POLYGON);
    EXPECT_STREQ(out->GetLayer(1)->GetTextures()->GetDirectArray()[0]->GetName(), "Texture::upper");
}

// Colours: all n copied when one face-vertex is coloured, one index per polygon vertex; none when
// every face-vertex is uncoloured.
TEST_F(MeshLayersTest, VertexColours) {
    TObject some = standin::createCube("some", false);
    TObject none = standin::createCube("none", false);
    std::vector<float> rgba(24 * 4, -1.0f);
    ASSERT_TRUE(standin::setFaceVertexColors(none, rgba));
    rgba[20] = 0.2f, rgba[21] = 0.4f, rgba[22] = 0.6f, rgba[23] = 0.25f;  // face-vertex 5
    ASSERT_TRUE(standin::setFaceVertexColors(some, rgba));
    mExporter.Walks();
    EXPECT_EQ(Mesh("|none")->GetLayer(0)->GetVertexColors(), nullptr);
    KZeqLayerElementVertexColor* colours = Mesh("|some")->GetLayer(0)->GetVertexColors();
    ASSERT_NE(colours, nullptr);
    EXPECT_EQ(colours->GetMappingMode(), KZeqLayerElement::eBY_POLYGON_VERTEX);
    EXPECT_EQ(colours->GetReferenceMode(), KZeqLayerElement::eINDEX_TO_DIRECT);
    ASSERT_EQ(colours->GetDirectArray().GetCount(), 24);
    EXPECT_DOUBLE_EQ(colours->GetDirectArray()[5].mAlpha, 0.25);
    ASSERT_EQ(colours->GetIndexArray().GetCount(), 24);
    EXPECT_EQ(colours->GetIndexArray()[5], 5);
}

// A shading group without a surface shader: its polygons take the default shader too, so every
// polygon has a material index.
TEST_F(MeshLayersTest, GroupWithoutShaderTakesTheDefault) {
    TObject shape = standin::createCube("box", false);
    standin::assignFaces(standin::createSet("bareSG", 5), PathOf(shape), {0, 1, 2});
    standin::assignFaces(standin::createShadingGroup(standin::createNode("lambert", "paint")), PathOf(shape), {3, 4, 5});
    mExporter.Walks();
    KZeqLayerElementMaterial* materials = Mesh("|box")->GetLayer(0)->GetMaterials();
    ASSERT_NE(materials, nullptr);
    EXPECT_EQ(Indices(materials), (std::vector<int>{0, 0, 0, 1, 1, 1}));
    EXPECT_STREQ(materials->GetDirectArray()[0]->GetName(), "Material::Default_Material");
}

}  // namespace

namespace {

// A UV set with UVs but none assigned to a face-vertex: the host gives no UV id, and -1 (no UV)
// stands in each place; with no texture association both sets go to layer 0, the last one staying.
TEST_F(MeshLayersTest, UnassignedUVsReadAsMinusOne) {
    TObject shape = standin::createCube("box", false);
    TFnMesh mesh(shape);
    TFloatArray u, v;
    u.append(0.5f);
    v.append(0.5f);
    const TString loose("loose");
    mesh.createUVSet(loose);
    mesh.setUVs(u, v, &loose);
    mExporter.Walks();
    KZeqLayerElementUV* uvs = Mesh("|box")->GetLayer(0)->GetUVs();
    ASSERT_NE(uvs, nullptr);
    EXPECT_EQ(uvs->GetDirectArray().GetCount(), 1);
    ASSERT_EQ(uvs->GetIndexArray().GetCount(), 24);
    EXPECT_EQ(uvs->GetIndexArray()[0], -1);
    EXPECT_EQ(uvs->GetIndexArray()[23], -1);
}

}  // namespace

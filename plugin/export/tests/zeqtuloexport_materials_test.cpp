// Layer mappings written into layers, materials from host shaders, textures with their layers,
// blend modes and placements, and the material of NURBS surfaces.
#include "zeqtuloexport_test_support.h"

#include <cmath>

#include "content/kzeqlayer.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnurb.h"
#include "content/kzeqtexture.h"
#include "tfndagnode.h"
#include "tfnshading.h"

using namespace zeqsdk_400;

namespace {

TPlug At(const TObject& node, const char* attr) { return TFnDependencyNode(node).findPlug(attr); }

std::vector<int> Indices(const KZeqLayerElement* element) {
    std::vector<int> out;
    for (int i = 0; element && i < element->GetIndexArray().GetCount(); ++i) out.push_back(element->GetIndexArray()[i]);
    return out;
}

class LayerMappingTest : public ExportTest {
protected:
    ExportProbe mExporter;
    KZeqMesh* mMesh = mExporter.mSdkManager.CreateKZeqMesh();
};

// Key 2053 is layer 2, texture 5; the same placement twice counts up; a negative index is kept.
TEST_F(LayerMappingTest, KeysAndCounters) {
    KLayerMapping mapping(6, KZeqLayerElement::eALL_SAME, KZeqLayerElement::eBY_POLYGON, KZeqLayerElement::eALL_SAME);
    EXPECT_FALSE(mapping.mHasData);
    EXPECT_EQ(mapping.mMaterialIndex, -1);
    mapping.AddData(2, 5, TObject::kNullObj);
    mapping.AddData(2, 5, TObject::kNullObj);
    mapping.AddData(0, -1, TObject::kNullObj);
    ASSERT_EQ(mapping.mTextureKeys.GetCount(), 2);
    EXPECT_EQ(mapping.mTextureKeys[0], 2053u);
    EXPECT_EQ(mapping.mKeyCounts[0], 1u);
    EXPECT_EQ(mapping.mTextureKeys[1], 0xFFFFFFFFu);
    EXPECT_EQ(KLayerMapping::TextureIndexOfKey(2053u), 5);
    EXPECT_EQ(KLayerMapping::TextureIndexOfKey(0xFFFFFFFFu), -1);
    EXPECT_EQ(mapping.mLayerIndices.GetCount(), 2);
}

// Nothing recorded: nothing written. The no-texture marker: layer 0's material and a texture
// index of -1.
TEST_F(LayerMappingTest, FillWritesMaterialAndTextureOfLayerZero) {
    KLayerMapping empty(1, KZeqLayerElement::eALL_SAME, KZeqLayerElement::eBY_POLYGON, KZeqLayerElement::eALL_SAME);
    mExporter.FillLayerData(&empty, mMesh, true);
    EXPECT_EQ(mMesh->GetLayerCount(), 0);

    KLayerMapping marker(1, KZeqLayerElement::eALL_SAME, KZeqLayerElement::eBY_POLYGON, KZeqLayerElement::eALL_SAME);
    marker.AddData(0, -1, TObject::kNullObj);
    marker.mMaterialIndex = 3;
    mExporter.FillLayerData(&marker, mMesh, true);
    mExporter.FillLayerData(&marker, mMesh, true);  // all same: the index once
    ASSERT_EQ(mMesh->GetLayerCount(), 1);
    KZeqLayer* layer = mMesh->GetLayer(0);
    EXPECT_EQ(layer->GetMaterials()->GetReferenceMode(), KZeqLayerElement::eINDEX_TO_DIRECT);
    EXPECT_EQ(Indices(layer->GetMaterials()), std::vector<int>{3});
    EXPECT_EQ(Indices(layer->GetTextures()), std::vector<int>{-1});

    marker.mMaterialMappingMode = KZeqLayerElement::eBY_POLYGON;
    mExporter.FillLayerData(&marker, mMesh, false);
    EXPECT_EQ(Indices(layer->GetMaterials()), (std::vector<int>{3, 3}));
    EXPECT_EQ(Indices(layer->GetTextures()), std::vector<int>{-1}) << "no texture without the flag";
}

// Layer 2 alone: layers made up to it, texture 5 there, no material (layer 0 was not recorded);
// a by-polygon element appends, any other overwrites its first entry.
TEST_F(LayerMappingTest, FillMakesLayersAndAppendsOrOverwrites) {
    KLayerMapping mapping(1, KZeqLayerElement::eALL_SAME, KZeqLayerElement::eBY_POLYGON, KZeqLayerElement::eALL_SAME);
    mapping.AddData(2, 5, TObject::kNullObj);
    mExporter.FillLayerData(&mapping, mMesh, true);
    ASSERT_EQ(mMesh->GetLayerCount(), 3);
    EXPECT_EQ(mMesh->GetLayer(0)->GetMaterials(), nullptr);
    EXPECT_EQ(Indices(mMesh->GetLayer(2)->GetTextures()), std::vector<int>{5});
    KLayerMapping other(1, KZeqLayerElement::eALL_SAME, KZeqLayerElement::eBY_POLYGON, KZeqLayerElement::eALL_SAME);
    other.AddData(2, 7, TObject::kNullObj);
    mExporter.FillLayerData(&other, mMesh, true);
    EXPECT_EQ(Indices(mMesh->GetLayer(2)->GetTextures()), std::vector<int>{7});
    mMesh->GetLayer(2)->GetTextures()->SetMappingMode(KZeqLayerElement::eBY_POLYGON);
    mExporter.FillLayerData(&mapping, mMesh, true);
    EXPECT_EQ(Indices(mMesh->GetLayer(2)->GetTextures()), (std::vector<int>{7, 5}));
}

// A material's values from its shader: shininess the clamped cosine power over 128, opacity one
// less the mean transparency.
struct PhongCase {
    const char* name;
    float cosPower;
    double shininess;
};
class PhongShininess : public ExportTest, public ::testing::WithParamInterface<PhongCase> {};

TEST_P(PhongShininess, ClampedOver128) {
    TFnPhongShader phong;
    TObject shader = phong.create();
    At(shader, "cosPower").setValue(GetParam().cosPower);  // the function set refuses powers below 0
    phong.setTransparency(TColor(0.3f, 0.6f, 0.9f));
    ExportProbe exporter;
    KZeqMesh* mesh = exporter.mSdkManager.CreateKZeqMesh();
    const int index = exporter.DefineMaterial("gloss", shader, mesh);
    ASSERT_EQ(index, 0);
    KZeqMaterial* material = mesh->GetMaterial(0, 0);
    EXPECT_DOUBLE_EQ(material->GetDefaultShininess(), GetParam().shininess);
    EXPECT_NEAR(material->GetDefaultOpacity(), 0.4, 1e-6);
}
const PhongCase kPhongCases[] = {{"Twenty", 20, 0.15625}, {"TwoHundred", 200, 1.0}, {"MinusThree", -3, 0.0}};
INSTANTIATE_TEST_SUITE_P(Powers, PhongShininess, ::testing::ValuesIn(kPhongCases), CaseName());

// One material per shader for the whole scene; a shader no shader type fits is grey.
TEST_F(LayerMappingTest, OneMaterialPerShaderAndGreyFallback) {
    TObject lambert = standin::createNode("lambert", "paint");
    KZeqMesh* other = mExporter.mSdkManager.CreateKZeqMesh();
    EXPECT_EQ(mExporter.DefineMaterial("paint", lambert, mMesh), 0);
    EXPECT_EQ(mExporter.DefineMaterial("paint", lambert, other), 0);
    EXPECT_EQ(mMesh->GetMaterial(0, 0), other->GetMaterial(0, 0));
    EXPECT_EQ(mExporter.DefineMaterial("paint", lambert, mMesh), 0) << "the geometry holds it already";
    TObject notShader = standin::createNode("place2dTexture", "p");
    EXPECT_EQ(mExporter.DefineMaterial("ns::odd", notShader, mMesh), 1);
    KZeqMaterial* grey = mMesh->GetMaterial(1, 0);
    EXPECT_STREQ(grey->GetName(), "Material::odd");
    KZeqColor diffuse;
    EXPECT_EQ(grey->GetDefaultDiffuseColor(diffuse).mRed, 0.5);
}

// Placements: rotateFrame pi/2 on a mesh moves the texture by (1, 0) and turns it 90 degrees;
// repeats become the scaling.
TEST_F(LayerMappingTest, MeshPlacement) {
    TObject shape = standin::createCube("box", false);
    TObject shader = standin::createNode("lambert", "paint");
    TObject file = standin::createFileTexture("tile", "/t/tile.tif", At(shader, "color"));
    TObject place = standin::find("tile_place");
    At(place, "rotateFrame").setValue(M_PI / 2);
    At(place, "repeatU").setValue(3.0);
    standin::assignFaces(standin::createShadingGroup(shader), TDagPath::getAPathTo(shape));
    mExporter.Walks();
    KZeqTexture* texture = mExporter.Node("|box")->GetMesh()->GetTexture(0, 0);
    ASSERT_NE(texture, nullptr);
    KZeqVector4 t, r, s;
    texture->GetDefaultT(t);
    texture->GetDefaultR(r);
    texture->GetDefaultS(s);
    EXPECT_NEAR(t[0], 1.0, 1e-9);
    EXPECT_NEAR(t[1], 0.0, 1e-9);
    EXPECT_NEAR(r[2], 90.0, 1e-9);
    EXPECT_EQ(s[0], 3.0);
    EXPECT_EQ(s[1], 1.0);
    (void)file;
}

// A layered texture of three inputs: input 0 on layer 2, input 2 on layer 0; blend mode 4 gives
// additive, 6 modulate, others translucent; an input's alpha becomes its texture's default alpha.
TEST_F(LayerMappingTest, LayeredTextureInputsAndBlendModes) {
    TObject shape = standin::createCube("box", false);
    TObject shader = standin::createNode("lambert", "paint");
    TObject layered = standin::createNode("layeredTexture", "stack");
    standin::connect(At(layered, "outColor"), At(shader, "color"));
    TPlug inputs = At(layered, "inputs");
    const short modes[] = {4, 6, 12};
    for (int i = 0; i < 3; ++i) {
        TPlug element = inputs.elementByLogicalIndex(static_cast<unsigned>(i));
        standin::createFileTexture("layer" + std::to_string(i), "/t/" + std::to_string(i) + ".tif", element.child(0));
        inputs.elementByLogicalIndex(static_cast<unsigned>(i)).child(1).setValue(0.25 * (i + 1));
        inputs.elementByLogicalIndex(static_cast<unsigned>(i)).child(2).setValue(modes[i]);
    }
    standin::assignFaces(standin::createShadingGroup(shader), TDagPath::getAPathTo(shape));
    mExporter.Walks();
    KZeqMesh* mesh = mExporter.Node("|box")->GetMesh();
    ASSERT_EQ(mesh->GetLayerCount(), 3);
    const KZeqLayerElementTexture::EBlendMode blends[] = {KZeqLayerElementTexture::eTRANSLUCENT,
                                                          KZeqLayerElementTexture::eMODULATE,
                                                          KZeqLayerElementTexture::eADD};
    for (int layer = 0; layer < 3; ++layer) {
        KZeqLayerElementTexture* textures = mesh->GetLayer(layer)->GetTextures();
        ASSERT_NE(textures, nullptr) << layer;
        EXPECT_EQ(textures->GetBlendMode(), blends[layer]) << layer;
        KZeqTexture* texture = textures->GetDirectArray()[0];
        EXPECT_STREQ(texture->GetName(), ("Texture::layer" + std::to_string(2 - layer)).c_str());
        EXPECT_DOUBLE_EQ(texture->GetDefaultAlpha(), 0.25 * (3 - layer));
        EXPECT_EQ(static_cast<int>(texture->GetBlendMode()), static_cast<int>(blends[layer]));
    }
}

// A file texture met in layer 0 and again for layer 1 is found or added in layer 1 as well, with
// its index there (the same texture object).
TEST_F(LayerMappingTest, TextureOfLayerZeroAddedToItsOtherLayer) {
    KZeqMesh* mesh = mExporter.mSdkManager.CreateKZeqMesh();
    ZeqTuloNode* node = mExporter.mSdkManager.CreateZeqTuloNode("holder", nullptr);
    node->SetNodeAttribute(mesh);
    mesh->CreateLayer();
    mesh->CreateLayer();
    TObject file = standin::createFileTexture("shared", "/t/shared.tif");
    KLayerMapping mapping(1, KZeqLayerElement::eALL_SAME, KZeqLayerElement::eBY_POLYGON, KZeqLayerElement::eALL_SAME);
    mesh->GetLayer(1)->SetTextures(new KZeqLayerElementTexture);
    mesh->GetLayer(1)->GetTextures()->GetDirectArray().Add(nullptr);  // a slot already taken in layer 1
    ASSERT_TRUE(mExporter.SetTexture(node, file, mapping, 0, 0, 1.0f, 0));
    ASSERT_TRUE(mExporter.SetTexture(node, file, mapping, 0, 1, 1.0f, 0));
    EXPECT_EQ(mesh->GetTexture(0, 0), mesh->GetTexture(1, 1));
    ASSERT_EQ(mapping.mTextureKeys.GetCount(), 2);
    EXPECT_EQ(mapping.mTextureKeys[1], 1024u + 1u) << "layer 1, index 1";
    // A connection index past the placement's sources is not followed.
    EXPECT_TRUE(mExporter.SetTexture(node, file, mapping, 5, 0, 1.0f, 0));
    // A node without a file name is refused.
    TObject notFile = standin::createNode("lambert", "notFile");
    EXPECT_FALSE(mExporter.SetTexture(node, notFile, mapping, 0, 0, 1.0f, 0));
}

// NURBS: the material of the first child with a shading group; a textured one turns grey; the
// placement swaps U and V.
TEST_F(LayerMappingTest, NurbsMaterialAndPlacement) {
    ASSERT_TRUE(standin::buildScene("nurbs"));
    TObject shader = standin::createNode("lambert", "skin");
    standin::createFileTexture("cloth", "/t/cloth.tif", At(shader, "color"));
    At(standin::find("cloth_place"), "repeatU").setValue(2.0);
    At(standin::find("cloth_place"), "offsetU").setValue(0.25);
    standin::addToSet(standin::createShadingGroup(shader), TDagPath::getAPathTo(standin::find("patchShape")));
    mExporter.Walks();
    KZeqNurb* nurb = mExporter.Node("|patch")->GetNurb();
    ASSERT_NE(nurb, nullptr);
    ASSERT_EQ(nurb->GetMaterialCount(0), 1);
    KZeqColor diffuse;
    EXPECT_EQ(nurb->GetMaterial(0, 0)->GetDefaultDiffuseColor(diffuse).mRed, 0.5);
    EXPECT_EQ(Indices(nurb->GetLayer(0)->GetMaterials()), std::vector<int>{0});
    KZeqTexture* texture = nurb->GetTexture(0, 0);
    ASSERT_NE(texture, nullptr);
    KZeqVector4 t, s;
    texture->GetDefaultT(t);
    texture->GetDefaultS(s);
    EXPECT_EQ(s[0], 1.0);
    EXPECT_EQ(s[1], 2.0);
    EXPECT_EQ(t[0], -0.25);
    EXPECT_TRUE(texture->GetSwapUV());
    EXPECT_EQ(mExporter.Node("|tube")->GetNurb()->GetMaterialCount(0), 0) << "no shading group";
}

// A surface closed in U (as a scene may hold one) lowers offsetV by 2 / U count before the
// placement; placement values the host cannot give are neutral; texture names have no length limit.
TEST_F(LayerMappingTest, ClosedSurfaceOffsetNeutralValuesAndLongNames) {
    KZeqNurb* nurb = mExporter.mSdkManager.CreateKZeqNurb();
    nurb->SetOrder(2, 2);
    ASSERT_TRUE(nurb->InitControlPoints(4, KZeqNurb::eCLOSED, 2, KZeqNurb::eOPEN));
    ZeqTuloNode* node = mExporter.mSdkManager.CreateZeqTuloNode("surface", nullptr);
    node->SetNodeAttribute(nurb);
    nurb->CreateLayer();
    const std::string longName(1500, 'w');
    TObject file = standin::createFileTexture(longName, "/t/long.tif");
    KLayerMapping mapping(0, KZeqLayerElement::eALL_SAME, KZeqLayerElement::eALL_SAME, KZeqLayerElement::eALL_SAME);
    ASSERT_TRUE(mExporter.SetTexture(node, file, mapping, 0, 0, 1.0f, 0));
    KZeqTexture* texture = nurb->GetTexture(0, 0);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(std::string(texture->GetName()), "Texture::" + longName);
    KZeqVector4 t;
    texture->GetDefaultT(t);
    EXPECT_DOUBLE_EQ(t[1], 0.5) << "translateFrameV - offsetV, offsetV lowered by 2 / 4";

    // A placement source without placement values: offsets 0, repeats 1, no rotation.
    TObject odd = standin::createFileTexture("odd", "/t/odd.tif");
    TObject placement = standin::find("odd_place");
    TObject stranger = standin::createNode("lambert", "stranger");
    standin::disconnect(At(placement, "outUV"), At(odd, "uv"));
    ASSERT_TRUE(standin::connect(At(stranger, "outColor"), At(odd, "uv")));
    KZeqMesh* mesh = mExporter.mSdkManager.CreateKZeqMesh();
    ZeqTuloNode* holder = mExporter.mSdkManager.CreateZeqTuloNode("holder", nullptr);
    holder->SetNodeAttribute(mesh);
    mesh->CreateLayer();
    ASSERT_TRUE(mExporter.SetTexture(holder, odd, mapping, 0, 0, 1.0f, 0));
    KZeqVector4 s, r;
    mesh->GetTexture(0, 0)->GetDefaultT(t);
    mesh->GetTexture(0, 0)->GetDefaultS(s);
    mesh->GetTexture(0, 0)->GetDefaultR(r);
    EXPECT_EQ(t[0], 0.0);
    EXPECT_EQ(s[0], 1.0);
    EXPECT_EQ(r[2], 0.0);
}

}  // namespace

namespace {

// A layered texture with sparse inputs (logical 0 and 2) has two layers: its first input on layer 1,
// its last on layer 0, where a nested layered texture numbers its own inputs from layer 0 again.
TEST_F(LayerMappingTest, SparseAndNestedLayeredTextures) {
    TObject shape = standin::createCube("box", false);
    TObject shader = standin::createNode("lambert", "paint");
    TObject outer = standin::createNode("layeredTexture", "outer");
    standin::connect(At(outer, "outColor"), At(shader, "color"));
    TPlug inputs = At(outer, "inputs");
    standin::createFileTexture("first", "/t/first.tif", inputs.elementByLogicalIndex(0).child(0));
    TObject inner = standin::createNode("layeredTexture", "inner");
    standin::connect(At(inner, "outColor"), inputs.elementByLogicalIndex(2).child(0));
    TPlug innerInputs = At(inner, "inputs");
    standin::createFileTexture("deep", "/t/deep.tif", innerInputs.elementByLogicalIndex(0).child(0));
    standin::assignFaces(standin::createShadingGroup(shader), TDagPath::getAPathTo(shape));
    mExporter.Walks();
    KZeqMesh* mesh = mExporter.Node("|box")->GetMesh();
    ASSERT_EQ(mesh->GetLayerCount(), 2);
    EXPECT_STREQ(mesh->GetTexture(0, 1)->GetName(), "Texture::first");
    EXPECT_STREQ(mesh->GetTexture(0, 0)->GetName(), "Texture::deep");
}

// The index of the last child of a type, shapes counted as children: -1 for none, a childless
// path or no path.
TEST_F(LayerMappingTest, LastChildOfAType) {
    TObject box = standin::createNode("transform", "box");
    standin::createNode("locator", "", box);
    standin::createNode("transform", "a", box);
    standin::createNode("transform", "b", box);
    TDagPath path = TDagPath::getAPathTo(box);
    ASSERT_EQ(path.childCount(), 3u);
    EXPECT_EQ(mExporter.GetLastChildOfThisType(&path, TFn::kTransform), 2);
    EXPECT_EQ(mExporter.GetLastChildOfThisType(&path, TFn::kLocator), 0);
    EXPECT_EQ(mExporter.GetLastChildOfThisType(&path, TFn::kMesh), -1);
    TDagPath leaf = TDagPath::getAPathTo(standin::find("b"));
    EXPECT_EQ(mExporter.GetLastChildOfThisType(&leaf, TFn::kTransform), -1);
    EXPECT_EQ(mExporter.GetLastChildOfThisType(nullptr, TFn::kTransform), -1);
}

}  // namespace

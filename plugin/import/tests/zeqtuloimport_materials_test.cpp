// Materials and textures: Zeq files made with the SDK imported into the stand-in, the host's shading
// inspected, and the export's reading of it compared with what was written.
#include <algorithm>
#include <cmath>
#include <vector>

#include "content/kzeqgeometry.h"
#include "content/kzeqlayer.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnurb.h"
#include "content/kzeqtexture.h"
#include "importtest_support.h"
#include "plugin/zeqtulouserparams.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "shadingdigest.h"
#include "tfnmesh.h"
#include "tfnshading.h"

using namespace zeqsdk_400;
using importtest::AddNode;

namespace importtest {

// A cube of 8 points and 6 quads with one UV layer of 4 UVs by polygon vertex.
KZeqMesh* AddCube(KZeqSdkManager& manager, KZeqScene& scene, const char* name, int uvLayers = 1) {
    KZeqNode* node = AddNode(manager, scene.GetRootNode(), name, "mesh");
    KZeqMesh* mesh = node->GetMesh();
    mesh->InitControlPoints(8);
    for (int i = 0; i < 8; ++i) mesh->GetControlPoints()[i] = KZeqVector4(i & 1 ? 1 : -1, i & 2 ? 1 : -1, i & 4 ? 1 : -1, 1);
    const int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    for (const auto& f : faces) {
        mesh->BeginPolygon();
        for (int v : f) mesh->AddPolygon(v);
        mesh->EndPolygon();
    }
    for (int L = 0; L < uvLayers; ++L) {
        while (mesh->GetLayerCount() <= L) mesh->CreateLayer();
        auto* uvs = new KZeqLayerElementUV;
        uvs->SetMappingMode(KZeqLayerElement::eBY_POLYGON_VERTEX);
        uvs->SetReferenceMode(KZeqLayerElement::eINDEX_TO_DIRECT);
        for (double u : {0.0, 1.0})
            for (double v : {0.0, 1.0}) uvs->GetDirectArray().Add(KZeqVector2(u, v));
        for (int k = 0; k < 24; ++k) uvs->GetIndexArray().Add(k % 4);
        mesh->GetLayer(L)->SetUVs(uvs);
    }
    return mesh;
}

KZeqMaterial* AddMaterial(KZeqSdkManager& manager, const char* name, double red, double shininess = 0.25) {
    KZeqMaterial* m = manager.CreateKZeqMaterial(name);
    m->SetDiffuse(KZeqColor(red, 0.5, 0.25, 1));
    m->SetAmbient(KZeqColor(0.1, 0.2, 0.3, 1));
    m->SetSpecular(KZeqColor(0.7, 0.7, 0.7, 1));
    m->SetOpacity(0.75);
    m->SetShininess(shininess);
    return m;
}

KZeqTexture* AddTexture(KZeqSdkManager& manager, const char* name, const char* file) {
    KZeqTexture* t = manager.CreateKZeqTexture(name);
    t->SetFileName(file);
    t->SetDefaultAlpha(1.0);
    return t;
}

// Layer 0's materials: all the same (perPolygon empty) or one per polygon, as the export writes them.
void SetMaterials(KZeqGeometry& geometry, const std::vector<KZeqMaterial*>& materials, const std::vector<int>& perPolygon) {
    for (KZeqMaterial* m : materials) geometry.AddMaterial(m, 0);
    KZeqLayerElementMaterial* element = geometry.GetLayer(0)->GetMaterials();
    element->SetMappingMode(perPolygon.empty() ? KZeqLayerElement::eALL_SAME : KZeqLayerElement::eBY_POLYGON);
    element->SetReferenceMode(KZeqLayerElement::eINDEX_TO_DIRECT);
    element->GetIndexArray().Clear();
    if (perPolygon.empty()) element->GetIndexArray().Add(0);
    for (int i : perPolygon) element->GetIndexArray().Add(i);
}

void SetTextures(KZeqGeometry& geometry, unsigned layer, const std::vector<KZeqTexture*>& textures,
                 const std::vector<int>& perPolygon, KZeqLayerElementTexture::EBlendMode blend = KZeqLayerElementTexture::eTRANSLUCENT) {
    for (KZeqTexture* t : textures) geometry.AddTexture(t, layer);
    KZeqLayerElementTexture* element = geometry.GetLayer(static_cast<int>(layer))->GetTextures();
    element->SetMappingMode(perPolygon.empty() ? KZeqLayerElement::eALL_SAME : KZeqLayerElement::eBY_POLYGON);
    element->SetReferenceMode(KZeqLayerElement::eINDEX_TO_DIRECT);
    element->SetBlendMode(blend);
    element->GetIndexArray().Clear();
    if (perPolygon.empty()) element->GetIndexArray().Add(0);
    for (int i : perPolygon) element->GetIndexArray().Add(i);
    for (KZeqTexture* t : textures) t->SetBlendMode(static_cast<KZeqTexture::EBlendMode>(blend));
}

}  // namespace importtest

namespace {

using namespace importtest;

// The driver linked into the test: the host's shading after an import.
class MaterialsTest : public ImportDriverTest {};

TEST_F(MaterialsTest, TwoMeshesShareOneShader) {
    const std::string file = Write("shared", [](KZeqSdkManager& m, KZeqScene& s) {
        KZeqMaterial* red = AddMaterial(m, "red", 0.9, 0.5);
        SetMaterials(*AddCube(m, s, "left"), {red}, {});
        SetMaterials(*AddCube(m, s, "right"), {red}, {});
    });
    ASSERT_TRUE(Import(file));
    TObject phong = standin::find("red"), group = standin::find("redSG");
    ASSERT_TRUE(phong.hasFn(TFn::kPhong));
    ASSERT_TRUE(group.hasFn(TFn::kSet));
    EXPECT_EQ(standin::countMatches("red1"), 0u);
    TFnPhongShader shader(phong);
    EXPECT_NEAR(shader.color()[0], 0.9f, 1e-6);
    EXPECT_NEAR(shader.transparency()[1], 0.25f, 1e-6);
    EXPECT_NEAR(shader.ambientColor()[2], 0.3f, 1e-6);
    EXPECT_NEAR(shader.specularColor()[0], 0.7f, 1e-6);
    EXPECT_NEAR(shader.cosPower(), 64.0f, 1e-4);
    TSelectionList members;
    TFnSet(group).getMembers(members, false);
    ASSERT_EQ(members.length(), 2u);  // both shapes whole
    TDagPath path;
    TObject component;
    members.getDagPath(0, path, component);
    EXPECT_TRUE(path.node().hasFn(TFn::kMesh));
    EXPECT_TRUE(component.isNull());
    TPlugArray sources;
    TFnDependencyNode(group).findPlug("surfaceShader").connectedTo(sources, true, false);
    ASSERT_EQ(sources.length(), 1u);
    EXPECT_EQ(sources[0].node(), phong);
}

// Faces go to the group of their material; polygons the host leaves out shift the faces after them.
TEST_F(MaterialsTest, FacesByPolygonFollowTheKeptPolygons) {
    const std::string file = Write("faces", [](KZeqSdkManager& m, KZeqScene& s) {
        KZeqMesh* mesh = AddCube(m, s, "box", 0);
        mesh->BeginPolygon();  // two vertices: the host leaves it out
        mesh->AddPolygon(0);
        mesh->AddPolygon(1);
        mesh->BeginPolygon();
        for (int v : {0, 1, 3}) mesh->AddPolygon(v);
        SetMaterials(*mesh, {AddMaterial(m, "red", 1), AddMaterial(m, "blue", 0)}, {0, 0, 1, 1, 0, 1, 0, 1});
    });
    ASSERT_TRUE(Import(file));
    TObjectArray groups;
    TIntArray perFace;
    ASSERT_TRUE(TFnMesh(standin::find("box")).getConnectedShaders(0, groups, perFace));
    ASSERT_EQ(groups.length(), 2u);
    EXPECT_EQ(str(TFnDependencyNode(groups[0]).name()), "redSG");
    EXPECT_EQ(std::vector<int>(perFace.values().begin(), perFace.values().end()), (std::vector<int>{0, 0, 1, 1, 0, 1, 1}));
    EXPECT_NE(Log().find("Mesh box: 1 polygon left out"), std::string::npos) << Log();
}

TEST_F(MaterialsTest, TexturesOfALayerReadTheirUVSet) {
    const std::string file = Write("uvsets", [](KZeqSdkManager& m, KZeqScene& s) {
        KZeqMesh* mesh = AddCube(m, s, "box", 2);
        SetMaterials(*mesh, {AddMaterial(m, "painted", 1)}, {});
        SetTextures(*mesh, 0, {AddTexture(m, "base", "/t/base.tif")}, {});
        SetTextures(*mesh, 1, {AddTexture(m, "dirt", "/t/dirt.tif")}, {}, KZeqLayerElementTexture::eMODULATE);
        // A mesh without UVs: its textures have no set to read.
        KZeqMesh* bare = AddCube(m, s, "bare", 0);
        SetMaterials(*bare, {AddMaterial(m, "painted", 1)}, {});
        SetTextures(*bare, 0, {AddTexture(m, "base", "/t/base.tif")}, {});
    });
    ASSERT_TRUE(Import(file));
    TFnMesh mesh(standin::find("box"));
    TObjectArray linked;
    mesh.getAssociatedUVSetTextures("uvSet1", linked);
    ASSERT_EQ(linked.length(), 1u);
    EXPECT_EQ(linked[0], standin::find("base"));
    mesh.getAssociatedUVSetTextures("uvSet2", linked);
    ASSERT_EQ(linked.length(), 1u);
    EXPECT_EQ(linked[0], standin::find("dirt"));
    TFnMesh(standin::find("bare")).getAssociatedUVSetTextures("map1", linked);
    EXPECT_EQ(linked.length(), 0u);
    // One file node per texture name, one layered texture for the two layers.
    EXPECT_EQ(standin::countMatches("base1"), 0u);
    EXPECT_EQ(HostAttr("base.fileTextureName"), "/t/base.tif");
    EXPECT_EQ(HostAttr("painted_layers.inputs[0].blendMode"), "6");  // layer 1, modulate
    EXPECT_EQ(HostAttr("painted_layers.inputs[1].blendMode"), "1");  // layer 0 keeps the host's default
}

// Exclusive merge builds nothing: the bound host nodes keep their shading, no shader is made.
TEST_F(MaterialsTest, ExclusiveMergeAssignsNothing) {
    TObject hostBox = standin::createCube("box", false);
    const std::string file = Write("merge", [](KZeqSdkManager& m, KZeqScene& s) {
        KZeqMesh* mesh = AddCube(m, s, "box");
        SetMaterials(*mesh, {AddMaterial(m, "red", 1)}, {});
        SetTextures(*mesh, 0, {AddTexture(m, "base", "/t/base.tif")}, {});
    });
    for (auto mode : {KZeqUserParams::kExclusiveMerge, KZeqUserParams::kMerge}) {
        Params()->SetImportType(mode);
        ASSERT_TRUE(Import(file));
        EXPECT_TRUE(standin::find("red").isNull()) << mode;
        EXPECT_TRUE(standin::find("base").isNull()) << mode;
        TObjectArray groups;
        TIntArray perFace;
        TFnMesh(hostBox).getConnectedShaders(0, groups, perFace);
        EXPECT_EQ(groups.length(), 0u);
    }
}

// Materials the host cannot take are left out, with the rest built: an index beyond the
// materials, a texture without a file, shininess 0.
TEST_F(MaterialsTest, WhatTheHostCannotTakeIsLeftOut) {
    const std::string file = Write("bad", [](KZeqSdkManager& m, KZeqScene& s) {
        KZeqMesh* mesh = AddCube(m, s, "box");
        SetMaterials(*mesh, {AddMaterial(m, "dull", 1, 0.0)}, {0, 0, 7, -1, 0, 0});
        SetTextures(*mesh, 0, {AddTexture(m, "blank", "")}, {0, 0, 0, 0, 9, 0});
    });
    ASSERT_TRUE(Import(file));
    TObjectArray groups;
    TIntArray perFace;
    ASSERT_TRUE(TFnMesh(standin::find("box")).getConnectedShaders(0, groups, perFace));
    EXPECT_EQ(std::vector<int>(perFace.values().begin(), perFace.values().end()), (std::vector<int>{0, 0, -1, -1, 0, 0}));
    EXPECT_NE(Log().find("Material dull: the host refuses the cosine power 0"), std::string::npos) << Log();
    EXPECT_EQ(HostAttr("blank.fileTextureName"), "");
}

// The module in the test: files written by the SDK, imported, exported again and read back.
class MaterialsRoundTripTest : public ZeqTuloImportTest {
protected:
    // The digest of the file as written, and as the export wrote it after importing it.
    void RoundTrip(const std::string& file, std::string& before, std::string& after) {
        ASSERT_TRUE(Run("ZEQExportShowUI 0"));
        ASSERT_TRUE(Run("ZEQImport -f \"" + file + "\"")) << Log();
        const std::string again = mDirectory + "again.zeq";
        ASSERT_TRUE(Run("ZEQExport -f \"" + again + "\""));
        before = ShadingDigest(file);
        after = ShadingDigest(again);
    }
};

TEST_F(MaterialsRoundTripTest, TexturedTwoMaterialCubeReadsBackAsWritten) {
    const std::string file = Write("cube", [](KZeqSdkManager& m, KZeqScene& s) {
        KZeqMesh* mesh = AddCube(m, s, "box");
        // A textured material is white for the export.
        KZeqMaterial* brick = AddMaterial(m, "brick", 1);
        brick->SetDiffuse(KZeqColor(1, 1, 1, 1));
        SetMaterials(*mesh, {AddMaterial(m, "shiny", 0.2, 0.75), brick}, {0, 0, 1, 1, 1, 1});
        KZeqTexture* wall = AddTexture(m, "wall", "/textures/wall.tif");
        wall->SetScale(2, 3);
        wall->SetTranslation(0.25, -0.5);
        SetTextures(*mesh, 0, {wall}, {-1, -1, 0, 0, 0, 0});
    });
    std::string before, after;
    RoundTrip(file, before, after);
    EXPECT_EQ(before, after);
    EXPECT_NE(after.find("layer 0 Texture::wall file /textures/wall.tif t 0.25 -0.5 r 0 s 2 3"), std::string::npos) << after;
}

TEST_F(MaterialsRoundTripTest, ThreeLayerTextureReadsBackAsWritten) {
    const std::string file = Write("layers", [](KZeqSdkManager& m, KZeqScene& s) {
        KZeqMesh* mesh = AddCube(m, s, "box", 3);
        KZeqMaterial* paint = AddMaterial(m, "paint", 1);
        paint->SetDiffuse(KZeqColor(1, 1, 1, 1));
        SetMaterials(*mesh, {paint}, {});
        SetTextures(*mesh, 0, {AddTexture(m, "base", "/t/base.tif")}, {}, KZeqLayerElementTexture::eTRANSLUCENT);
        KZeqTexture* dirt = AddTexture(m, "dirt", "/t/dirt.tif");
        dirt->SetDefaultAlpha(0.25);
        SetTextures(*mesh, 1, {dirt}, {}, KZeqLayerElementTexture::eADD);
        SetTextures(*mesh, 2, {AddTexture(m, "scratches", "/t/scratches.tif")}, {}, KZeqLayerElementTexture::eMODULATE);
    });
    std::string before, after;
    RoundTrip(file, before, after);
    EXPECT_EQ(before, after);
    EXPECT_NE(after.find("layer 1 Texture::dirt file /t/dirt.tif t 0 0 r 0 s 1 1 swap 0 alpha 0.25 blend 1/1"),
              std::string::npos) << after;
    EXPECT_NE(after.find("layer 2 Texture::scratches"), std::string::npos) << after;
}

// The placement undoes the export's formulas, rotation included, on meshes and on surfaces (U and
// V exchanged, offsets of a closed direction corrected).
struct PlacementCase {
    const char* name;
    bool surface;
    double rotation;
    bool closed;
};

class PlacementTest : public MaterialsRoundTripTest, public ::testing::WithParamInterface<PlacementCase> {};

TEST_P(PlacementTest, ReadsBackAsWritten) {
    const PlacementCase c = GetParam();
    const std::string file = Write("placed", [&c](KZeqSdkManager& m, KZeqScene& s) {
        KZeqGeometry* geometry = nullptr;
        if (c.surface) {
            KZeqNode* node = AddNode(m, s.GetRootNode(), "sheet", "none");
            KZeqNurb* nurb = m.CreateKZeqNurb();
            node->SetNodeAttribute(nurb);
            nurb->SetOrder(4, 4);
            nurb->InitControlPoints(6, c.closed ? KZeqNurb::eCLOSED : KZeqNurb::eOPEN, 4, KZeqNurb::eOPEN);
            for (int i = 0; i < 24; ++i)
                nurb->GetControlPoints()[i] = KZeqVector4(std::cos(i % 6), i / 6, std::sin(i % 6), 1);
            for (int k = 0; k < nurb->GetUKnotCount(); ++k)
                nurb->GetUKnotVector()[k] = c.closed ? k - 3 : std::min(std::max(k - 3, 0), 3);
            for (int k = 0; k < nurb->GetVKnotCount(); ++k) nurb->GetVKnotVector()[k] = k < 4 ? 0 : 1;
            geometry = nurb;
        } else {
            geometry = AddCube(m, s, "box");
        }
        // A textured material is white on a mesh, grey on a surface, for the export.
        KZeqMaterial* paint = AddMaterial(m, "paint", 1);
        paint->SetDiffuse(c.surface ? KZeqColor(0.5, 0.5, 0.5, 1) : KZeqColor(1, 1, 1, 1));
        if (c.surface) paint->SetAmbient(KZeqColor(0.5, 0.5, 0.5, 1));
        SetMaterials(*geometry, {paint}, {});
        KZeqTexture* t = AddTexture(m, "decal", "/t/decal.tif");
        t->SetScale(2, 0.5);
        t->SetTranslation(0.125, -0.375);
        t->SetRotation(0, 0, c.rotation);
        t->SetSwapUV(c.surface);
        SetTextures(*geometry, 0, {t}, {});
    });
    if (c.closed) {
        // A closed surface comes back from the host as a periodic one, whose offsets the export
        // does not correct: the host's placement is checked instead.
        ASSERT_TRUE(Run("ZEQImport -f \"" + file + "\""));
        const double a = -c.rotation * 0.017453292519943295;
        const double cx = 0.5 * std::cos(a) - 0.5 * std::sin(a) - 0.5, cy = 0.5 * std::sin(a) + 0.5 * std::cos(a) - 0.5;
        double value = 0;
        standin::plug("decal_place.offsetU").getValue(value);
        EXPECT_NEAR(value, -0.125 - cy, 1e-6);
        standin::plug("decal_place.offsetV").getValue(value);
        EXPECT_NEAR(value, 0.375 - cx + 2.0 / 6, 1e-6);
        standin::plug("decal_place.repeatU").getValue(value);
        EXPECT_NEAR(value, 0.5, 1e-6);
        standin::plug("decal_place.rotateFrame").getValue(value);
        EXPECT_NEAR(value, a, 1e-6);
        return;
    }
    std::string before, after;
    RoundTrip(file, before, after);
    EXPECT_EQ(before, after);
}

INSTANTIATE_TEST_SUITE_P(Placements, PlacementTest,
                         ::testing::Values(PlacementCase{"MeshUnrotated", false, 0, false},
                                           PlacementCase{"MeshRotated", false, 30, false},
                                           PlacementCase{"MeshQuarterTurn", false, -90, false},
                                           PlacementCase{"SurfaceRotated", true, 45, false},
                                           PlacementCase{"SurfaceUnrotated", true, 0, false},
                                           PlacementCase{"ClosedSurfaceRotated", true, 60, true}),
                         [](const ::testing::TestParamInfo<PlacementCase>& info) { return std::string(info.param.name); });

}  // namespace

// The 3DS writer: names, the scene walk, meshes with their materials and
// smoothing, lights and cameras at their base pose, mesh-node motion, and
// the output replaced only by a complete file.

#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "content/kzeqlayer.h"
#include "content/kzeqnurb.h"
#include "formats/geometry/3ds/krenamingstrategy3ds.h"
#include "formats/geometry/3ds/kzeqwriter3ds.h"
#include "formats/geometry/3ds/tests/k3dspeer.h"
#include "formats/geometry/3ds/tests/k3dsscene.h"
#include "scene/kzeqglobalsettings.h"

namespace zeq3dstest {
namespace {

// ---- Names -------------------------------------------------------------------------------

std::vector<std::string> Renamed(const std::vector<const char*>& names, int width) {
    KRenamingStrategy3DS strategy;
    std::vector<std::string> out;
    for (const char* name : names) {
        KName n;
        n.SetInitialName(name);
        strategy.Rename(n, width);
        out.push_back(n.GetCurrentName());
    }
    return out;
}

TEST(Renaming3dsTest, CutsPrefixesAndNumbersClashes) {
    EXPECT_EQ(Renamed({"Cylinder01", "Cylinder02", "Cylinder03"}, 10),
              (std::vector<std::string>{"Cylinde", "Cylinde1", "Cylinde2"}));
    EXPECT_EQ(Renamed({"Model::Box01", "a::b::c", "Model::"}, 10), (std::vector<std::string>{"Box01", "b::c", ""}));
    EXPECT_EQ(Renamed({"Material::Steel_Brushed_Dark"}, 15), (std::vector<std::string>{"Steel_Brushe"}));
    EXPECT_EQ(Renamed({"box", "Box"}, 10), (std::vector<std::string>{"box", "Box"}));
}

TEST(Renaming3dsTest, NeverHandsOutANameTwice) {
    // "Box1" arriving after the clash number made "Box1" is numbered too.
    const std::vector<std::string> names = Renamed({"Box", "Box", "Box1"}, 10);
    EXPECT_EQ(names[1], "Box1");
    EXPECT_NE(names[2], "Box1");
    EXPECT_EQ(Renamed({"Cylinder01", "Cylinder02", "Cylinde1"}, 10)[2], "Cylinde2");
}

TEST(Renaming3dsTest, ClearForgetsEveryNameSeenAndGiven) {
    KRenamingStrategy3DS strategy;
    auto rename = [&strategy](const char* name, bool numbered) {
        KName n;
        n.SetInitialName(name);
        EXPECT_EQ(strategy.Rename(n, 10), numbered) << name;
        return std::string(n.GetCurrentName());
    };
    EXPECT_EQ(rename("Box", false), "Box");
    EXPECT_EQ(rename("Box", true), "Box1");
    strategy.Clear();
    // Neither the cut name nor the number handed out is remembered.
    EXPECT_EQ(rename("Box1", false), "Box1");
    EXPECT_EQ(rename("Box", false), "Box");
    EXPECT_EQ(rename("Box", true), "Box2");
}

TEST(Renaming3dsTest, ThousandthClashStillFits) {
    KRenamingStrategy3DS strategy;
    std::set<std::string> seen;
    for (int i = 0; i < 1200; ++i) {
        KName n;
        n.SetInitialName("Cylinder");
        strategy.Rename(n, 10);
        const std::string name = n.GetCurrentName();
        EXPECT_LE(name.size(), 10u) << name;
        EXPECT_TRUE(seen.insert(name).second) << name;
    }
    KRenamingStrategy* clone = strategy.Clone();
    KName n;
    n.SetInitialName("Cylinder");
    EXPECT_FALSE(clone->Rename(n));
    delete clone;
}

// ---- Axes --------------------------------------------------------------------------------

TEST(Axes3dsTest, TranslationScalingAndRotation) {
    double out[3];
    KZeqWriter3DS::ConvTZeqto3DS(out, KZeqVector4(1, 2, 3, 0));
    EXPECT_EQ(out[1], -3.0);
    EXPECT_EQ(out[2], 2.0);
    KZeqWriter3DS::ConvSZeqto3DS(out, KZeqVector4(1, 2, 3, 0));
    EXPECT_EQ(out[1], 3.0);
    struct Case {
        KZeqVector4 mIn;
        double mOut[3];
    };
    for (const Case& c : {Case{{0, 0, 0, 0}, {0, 0, 0}}, Case{{0, 90, 0, 0}, {0, 0, 90}},
                          Case{{0, 0, 90, 0}, {0, -90, 0}}, Case{{90, 0, 0, 0}, {90, 0, 0}}}) {
        KZeqWriter3DS::ConvRZeqto3DS(out, c.mIn);
        for (int a = 0; a < 3; ++a) EXPECT_NEAR(out[a], c.mOut[a], 1e-9) << c.mIn[0] << c.mIn[1] << c.mIn[2];
    }
}

TEST(Keys3dsTest, RotationKeysAreRelativeAngleAxis) {
    KFCurve x, y, z;
    LinearKeys(&x, {{0, 90}, {1, 90}, {2, 270}});
    keyheader3ds keys[3];
    kfrotkey3ds values[3];
    ASSERT_TRUE(KZeqWriter3DS::Create3DSRotDataFromTCB(keys, values, &x, &y, &z, 3));
    EXPECT_EQ(keys[2].time, 2u);
    EXPECT_EQ(keys[2].rflags, 7);
    EXPECT_NEAR(values[0].angle, -M_PI / 2, 1e-6);
    EXPECT_NEAR(values[0].x, 1.0, 1e-6);
    // Constant between frames 0 and 1: angle 0 about (-1, 0, 0).
    EXPECT_EQ(values[1].angle, 0.0f);
    EXPECT_EQ(values[1].x, -1.0f);
    // A half turn: w 0, angle -pi.
    EXPECT_NEAR(values[2].angle, -M_PI, 1e-5);
    KFCurve sx, sy, sz;
    sy.SetValue(2.0f);
    point3ds scale[1];
    KZeqWriter3DS::Create3DSScaleDataFromTCB(keys, scale, &sx, &sy, &sz, 1);
    EXPECT_EQ(scale[0].z, 2.0f);
    EXPECT_EQ(scale[0].x, 0.0f);
}

// ---- The walk and its records -------------------------------------------------------------

TEST_F(Writer3dsTest, EmptyRootWritesSettingsOnlyOrOneDummy) {
    for (int reference : {0, 1}) {
        KZeqScene* scene = mManager.CreateKZeqScene();
        const std::string path = Path("empty" + std::to_string(reference) + ".3ds");
        ASSERT_TRUE(Export3ds(path, [reference](KStreamOptionsBase& o) {
            o.SetOption(KStreamOptionsBase::eCREATE_REFERENCE_NODE, reference);
        }, scene));
        Written3ds file(path);
        ASSERT_TRUE(file.Ok());
        EXPECT_EQ(GetMeshCount3ds(file.Db()), 0u);
        EXPECT_EQ(GetObjectNodeCount3ds(file.Db()), static_cast<std::uint32_t>(reference));
        kfsets3dsHeld sets;
        GetKfSets3ds(file.Db(), &sets.mRecord);
        EXPECT_EQ(sets->anim.length, 100);
    }
}

TEST_F(Writer3dsTest, KindsOfNodes) {
    KZeqNode* quad = AddNode("Model::Quad");
    AddQuad(quad);
    KZeqNode* sun = AddNode("Sun");
    KZeqLight* infinite = mManager.CreateKZeqLight();
    infinite->SetLightType(KZeqLight::eINFINITE);
    sun->SetNodeAttribute(infinite);
    AddQuad(AddNode("UnderSun", sun));
    KZeqNode* omni = AddNode("Omni");
    KZeqLight* light = mManager.CreateKZeqLight();
    light->SetDefaultIntensity(50.0);
    omni->SetNodeAttribute(light);
    KZeqNode* spot = AddNode("Spot_Light_Key");
    KZeqLight* cone = mManager.CreateKZeqLight();
    cone->SetLightType(KZeqLight::eSPOT);
    cone->SetDefaultConeAngle(60.0);
    spot->SetNodeAttribute(cone);
    AddNode("Hips");
    const std::string path = WriteScene();
    Written3ds file(path);
    ASSERT_TRUE(file.Ok());
    EXPECT_EQ(GetMeshCount3ds(file.Db()), 2u);
    EXPECT_EQ(GetOmnilightCount3ds(file.Db()), 1u);
    EXPECT_EQ(GetSpotlightCount3ds(file.Db()), 1u);
    light3dsHeld o, s;
    GetOmnilightByIndex3ds(file.Db(), 0, &o.mRecord);
    EXPECT_NEAR(o->multiplier, 0.5f, 1e-6);
    GetSpotlightByIndex3ds(file.Db(), 0, &s.mRecord);
    EXPECT_STREQ(s->name, "Spot_Li");
    EXPECT_NEAR(s->spot->hotspot, 60.0f, 1e-5);
    // The static record aims and spreads as frame 0 does: falloff = cone, target 10 along -Y.
    EXPECT_NEAR(s->spot->falloff, 60.0f, 1e-5);
    EXPECT_NEAR(s->spot->target.z, -10.0f, 1e-5);
    // Two meshes and the dummy Hips (the infinite light writes nothing).
    EXPECT_EQ(GetObjectNodeCount3ds(file.Db()), 3u);
    // Its parent, the light, is not in the file: the child stands at the top.
    kfmesh3dsHeld child;
    GetObjectMotionByName3ds(file.Db(), "UnderSu", &child.mRecord);
    ASSERT_NE(child.mRecord, nullptr);
    EXPECT_STREQ(child->parent, "");
}

// A chain as deep as the SDK reads, 30,000 nulls over a mesh, is written
// without a call per level: here on a thread stack of 256 KiB.
TEST_F(Writer3dsTest, AThirtyThousandDeepChainIsWritten) {
    constexpr int kDepth = 30000;
    KZeqNode* tip = mManager.CreateKZeqNode("Tip");
    AddQuad(tip);
    KZeqNode* top = tip;
    for (int i = 0; i < kDepth; ++i) {
        KZeqNode* node = mManager.CreateKZeqNode(("N" + std::to_string(i)).c_str());
        node->AddChild(top);
        top = node;
    }
    mScene->GetRootNode()->AddChild(top);
    const std::string path = Path("deep.3ds");
    bool written = false;
    std::function<void()> body = [&] { written = Export3ds(path); };
    const auto run = [](void* f) -> void* {
        (*static_cast<std::function<void()>*>(f))();
        return nullptr;
    };
    pthread_attr_t attributes;
    pthread_t thread;
    ASSERT_TRUE(pthread_attr_init(&attributes) == 0 && pthread_attr_setstacksize(&attributes, 256 * 1024) == 0);
    ASSERT_EQ(0, pthread_create(&thread, &attributes, run, &body));
    EXPECT_TRUE(pthread_join(thread, nullptr) == 0 && pthread_attr_destroy(&attributes) == 0);
    ASSERT_TRUE(written) << mMessage.Buffer();
    Written3ds file(path);
    ASSERT_TRUE(file.Ok());
    EXPECT_EQ(GetMeshCount3ds(file.Db()), 1u);
    EXPECT_EQ(GetObjectNodeCount3ds(file.Db()), static_cast<std::uint32_t>(kDepth + 1));
}

// Keyframer node ids are 16-bit (the toolkit's tests take the bound, 32,768 ids): a
// scene of one node more is refused as what it is, not as a full disk, and the
// file stays as it was.
TEST_F(Writer3dsTest, MoreNodesThanIdsNumberAreRefusedAsSuch) {
    for (int i = 0; i <= kMaxNodes3ds; ++i) AddNode(("N" + std::to_string(i)).c_str());
    const std::string target = WriteText("many.3ds", "OLD");
    KZeqWriter3DS writer(mManager);
    KStreamOptions3ds options;
    ASSERT_TRUE(writer.FileCreate(target.c_str()));
    EXPECT_FALSE(writer.Write(*mScene, &options));
    const std::string reason = "Cannot write \"" + target + "\": the scene makes more than the 32768 keyframer nodes";
    KString message;
    writer.GetMessage(message);
    EXPECT_EQ(KZeqWriter::eUnidentifiedError, writer.GetLastErrorID());
    EXPECT_EQ(0, writer.GetError().GetLastSystemError());
    EXPECT_EQ(0u, std::string(writer.GetLastErrorString()).rfind(reason, 0)) << writer.GetLastErrorString();
    EXPECT_EQ(0u, std::string(message.Buffer()).rfind(reason, 0)) << message.Buffer();
    EXPECT_EQ("OLD", zeqtest::ReadFile(target));
}

TEST_F(Writer3dsTest, ReferenceRootSetsTheMasterScale) {
    KZeqNode* root = AddNode("Zeq_Root");
    root->SetDefaultS(KZeqVector4(2.54, 2.54, 2.54, 0));
    AddQuad(AddNode("Quad", root));
    const std::string path = WriteScene();
    Written3ds file(path);
    meshset3dsHeld settings;
    GetMeshSet3ds(file.Db(), &settings.mRecord);
    EXPECT_NEAR(settings->masterscale, 1.0f, 1e-6);
    EXPECT_EQ(GetObjectNodeCount3ds(file.Db()), 1u);
    kfmesh3dsHeld quad;
    GetObjectMotionByIndex3ds(file.Db(), 0, &quad.mRecord);
    EXPECT_STREQ(quad->parent, "");
}

TEST_F(Writer3dsTest, NurbsAreTriangulatedWithoutTextureMapping) {
    KZeqNode* node = AddNode("Patch");
    KZeqNurb* nurb = mManager.CreateKZeqNurb();
    nurb->SetOrder(2, 2);
    ASSERT_TRUE(nurb->InitControlPoints(2, KZeqNurb::eOPEN, 2, KZeqNurb::eOPEN));
    for (int i = 0; i < 4; ++i) nurb->GetControlPoints()[i] = KZeqVector4(i % 2, i / 2, 0, 1);
    for (int i = 0; i < 4; ++i) nurb->GetUKnotVector()[i] = nurb->GetVKnotVector()[i] = i / 2;
    nurb->SetStep(2, 2);
    node->SetNodeAttribute(nurb);
    const std::string path = WriteScene();
    EXPECT_NE(node->GetMesh(), nullptr) << "the scene's NURBS is replaced by a mesh";
    Written3ds file(path);
    EXPECT_EQ(GetMeshCount3ds(file.Db()), 1u);
}

TEST_F(Writer3dsTest, NullOptionsAreReportedAndTheFileStillWritten) {
    AddQuad(AddNode("Quad"));
    KZeqWriter3DS writer(mManager);
    const std::string path = Path("null.3ds");
    ASSERT_TRUE(writer.FileCreate(path.c_str()));
    EXPECT_TRUE(writer.Write(*mScene, nullptr));
    EXPECT_EQ(writer.GetLastErrorID(), KZeqWriter::eStreamOptionsNotSet);
    EXPECT_TRUE(std::filesystem::exists(path));
}

TEST_F(Writer3dsTest, MeshWithBaseTransformAndPentagon) {
    KZeqNode* node = AddNode("Penta");
    node->SetDefaultT(KZeqVector4(1, 2, 3, 0));
    node->SetDefaultR(KZeqVector4(0, 90, 0, 0));
    KZeqMesh* mesh = AddMesh(node, {{0, 0, 0, 0}, {1, 0, 0, 0}, {1, 1, 0, 0}, {0.5, 2, 0, 0}, {0, 1, 0, 0}},
                             {{0, 1, 2, 3, 4}});
    (void)mesh;
    const std::string path = WriteScene();
    Written3ds file(path);
    mesh3dsHeld record;
    GetMeshByIndex3ds(file.Db(), 0, &record.mRecord);
    ASSERT_EQ(record->facecount, 3);
    const std::uint16_t expected[3][3] = {{0, 1, 2}, {2, 3, 0}, {0, 3, 4}};
    for (int f = 0; f < 3; ++f) {
        EXPECT_EQ(record->faces[f].a, expected[f][0]);
        EXPECT_EQ(record->faces[f].b, expected[f][1]);
        EXPECT_EQ(record->faces[f].c, expected[f][2]);
        EXPECT_EQ(record->faces[f].flags, 7);
    }
    // (1, 0, 0) turned 90 degrees about Y lands on (0, 0, -1), moved by (1, 2, 3): (1, 2, 2) -> file (1, -2, 2).
    EXPECT_NEAR(record->vertices[1].x, 1.0f, 1e-5);
    EXPECT_NEAR(record->vertices[1].y, -2.0f, 1e-5);
    EXPECT_NEAR(record->vertices[1].z, 2.0f, 1e-5);
    // Without normals every face is in group 1.
    EXPECT_EQ(record->smoothgroups[2], 1u);
    // Read back, the points come out of the frame as they were.
    KZeqScene* back = mManager.CreateKZeqScene();
    ASSERT_TRUE(Import3ds(path, nullptr, back));
    KZeqNode* read = Find("Penta", back);
    ASSERT_TRUE(read && read->GetMesh());
    const KZeqVector4 p = read->GetMesh()->GetControlPoints()[3];
    EXPECT_NEAR(p[0], 0.5, 1e-5);
    EXPECT_NEAR(p[1], 2.0, 1e-5);
}

TEST_F(Writer3dsTest, FlatFacesGetTheirOwnSmoothingGroups) {
    // A cube of 24 points, four per side, with the side normals.
    std::vector<KZeqVector4> points;
    std::vector<std::vector<int>> polygons;
    const double sides[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (const auto& n : sides) {
        const int axis = n[0] != 0 ? 0 : n[1] != 0 ? 1 : 2, u = (axis + 1) % 3, v = (axis + 2) % 3;
        const double sign = n[axis];
        const double corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        std::vector<int> polygon;
        for (int c = 0; c < 4; ++c) {
            KZeqVector4 p(0, 0, 0, 0);
            p[axis] = sign;
            p[u] = corners[sign > 0 ? c : 3 - c][0];
            p[v] = corners[sign > 0 ? c : 3 - c][1];
            polygon.push_back(static_cast<int>(points.size()));
            points.push_back(p);
        }
        polygons.push_back(polygon);
    }
    KZeqMesh* mesh = AddMesh(AddNode("Cube"), points, polygons);
    mesh->InitNormals(0);
    for (int i = 0; i < 24; ++i) mesh->GetNormals()[i] = KZeqVector4(sides[i / 4][0], sides[i / 4][1], sides[i / 4][2], 0);
    const std::string path = WriteScene();
    Written3ds file(path);
    mesh3dsHeld record;
    GetMeshByIndex3ds(file.Db(), 0, &record.mRecord);
    ASSERT_EQ(record->facecount, 12);
    for (int f = 0; f < 12; ++f) EXPECT_EQ(record->smoothgroups[f], 4u << (2 * f)) << f;
}

TEST_F(Writer3dsTest, TexturedMeshGetsDefaultMaterialAndPlanarUVs) {
    KZeqMesh* mesh = AddQuad(AddNode("Tex"));
    AddWoodTexture(mesh, "wood.jpg");
    const std::string path = WriteScene();
    ASSERT_EQ(mesh->GetMaterialCount(0), 1) << "the scene's mesh keeps its new material";
    Written3ds file(path);
    mesh3dsHeld record;
    GetMeshByIndex3ds(file.Db(), 0, &record.mRecord);
    ASSERT_EQ(record->matgroupcount, 1);
    EXPECT_STREQ(record->matgroups[0].name, "1.Mat0Tex0");
    EXPECT_EQ(record->texverts[2].u, 1.0f);
    EXPECT_EQ(record->texverts[2].v, 1.0f);
    material3dsHeld material;
    GetMaterialByName3ds(file.Db(), "1.Mat0Tex0", &material.mRecord);
    ASSERT_NE(material.mRecord, nullptr);
    EXPECT_STREQ(material->texture1.name, "wood.jpg");
    EXPECT_NEAR(material->diffuse[0], 0.588f, 1.0f / 255);
}

struct MapNameCase {
    const char* mName;
    const char* mFile;
    const char* mMap;
    bool mWarns;
};

class MapNames3dsTest : public Writer3dsTest, public testing::WithParamInterface<MapNameCase> {};

TEST_P(MapNames3dsTest, LongNamesShortened) {
    KZeqMesh* mesh = AddQuad(AddNode("Tex"));
    KZeqMaterial* material = mManager.CreateKZeqMaterial("Mat");
    mesh->InitMaterialIndices(KZeqMesh::eALL_SAME);
    mesh->AddMaterial(material);
    KZeqTexture* texture = mManager.CreateKZeqTexture("t");
    texture->SetFileName(GetParam().mFile);
    texture->SetScale(0.0, 2.0);  // a zero scale is taken as 1
    mesh->InitTextureIndices(KZeqMesh::eALL_SAME);
    mesh->AddTexture(texture);
    const std::string path = WriteScene();
    Written3ds file(path);
    material3dsHeld record;
    GetMaterialByIndex3ds(file.Db(), 0, &record.mRecord);
    EXPECT_STREQ(record->texture1.name, GetParam().mMap);
    EXPECT_EQ(record->texture1.uscale, 1.0f);
    EXPECT_TRUE(std::isfinite(record->texture1.uoffset));
    EXPECT_EQ(std::string(mMessage.Buffer()).find("is too long") != std::string::npos, GetParam().mWarns);
}

INSTANTIATE_TEST_SUITE_P(Lengths, MapNames3dsTest,
                         testing::Values(MapNameCase{"Eleven", "d/abcdef.jp", "d/abcdef.jp", false},
                                         MapNameCase{"TwelvePart", "dir/abcdefgh.jpg", "abcdefgh.jpg", false},
                                         MapNameCase{"Thirteen", "dir/abcdefghi.jpg", "Tex0", true}),
                         [](const testing::TestParamInfo<MapNameCase>& info) { return info.param.mName; });

TEST_F(Writer3dsTest, TextureCopiedBesideTheOutputOnce) {
    const std::string source = WriteText("maps/wood.jpg", "JPEGDATA");
    KZeqMesh* mesh = AddQuad(AddNode("Tex"));
    AddWoodTexture(mesh, source);
    WriteScene();
    std::ifstream copied(Path("wood.jpg"));
    std::string text((std::istreambuf_iterator<char>(copied)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "JPEGDATA");
    WriteText("wood.jpg", "KEPT");
    WriteScene();
    std::ifstream kept(Path("wood.jpg"));
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(kept)), std::istreambuf_iterator<char>()), "KEPT");
}

TEST_F(Writer3dsTest, TooManyVerticesRefusedWithAMessage) {
    std::vector<KZeqVector4> points(65536);
    for (int i = 0; i < 65536; ++i) points[static_cast<std::size_t>(i)] = KZeqVector4(i, 0, 0, 0);
    AddMesh(AddNode("Huge"), points, {{0, 1, 2}});
    AddQuad(AddNode("Small"));
    const std::string path = WriteScene();
    EXPECT_NE(std::string(mMessage.Buffer()).find("at most 65535"), std::string::npos);
    Written3ds file(path);
    EXPECT_EQ(GetMeshCount3ds(file.Db()), 1u);
}

TEST_F(Writer3dsTest, UVPerPolygonConvertsACopyAndLeavesTheSceneMesh) {
    KZeqMesh* mesh = AddQuad(AddNode("Split"));
    AddWoodTexture(mesh, "wood.jpg");
    mesh->InitTextureUVIndices(KZeqMesh::eBY_POLYGON_VERTEX);
    for (int i = 0; i < 4; ++i) mesh->GetLayer(0)->GetUVs()->GetDirectArray().Add(KZeqVector2(i * 0.25, 1 - i * 0.25));
    for (int i = 0; i < 4; ++i) mesh->SetTextureUVIndex(0, i, i);
    const std::string path = WriteScene();
    EXPECT_EQ(mesh->GetControlPointsCount(), 4);
    Written3ds file(path);
    mesh3dsHeld record;
    GetMeshByIndex3ds(file.Db(), 0, &record.mRecord);
    EXPECT_EQ(record->vertexcount, 4);
    EXPECT_EQ(record->texverts[3].u, 0.75f);
}

// ---- Motion ------------------------------------------------------------------------------

// The last key 1.02 s in: the tracks run to frame 31, the first at or after it.
TEST_F(Writer3dsTest, KeysToOnePointOhTwoSecondsReachFrame31) {
    KZeqNode* node = AddNode("Moving");
    AddQuad(node);
    LinearKeys(Take(node)->GetTranslationX(), {{0, 0}, {30.6, 10}});
    const std::string path = WriteScene();
    Written3ds file(path);
    kfmesh3dsHeld motion;
    GetObjectMotionByIndex3ds(file.Db(), 0, &motion.mRecord);
    EXPECT_EQ(motion->npkeys, 32u);
    EXPECT_EQ(motion->nrkeys, 32u);
    kfsets3dsHeld sets;
    GetKfSets3ds(file.Db(), &sets.mRecord);
    EXPECT_EQ(sets->anim.length, 31) << "counted at 30 frames per second";
}

TEST_F(Writer3dsTest, UnwritablePathFailsAndLeavesTheTargetAlone) {
    AddQuad(AddNode("Quad"));
    EXPECT_FALSE(Export3ds(Path("missing/dir/out.3ds")));
    EXPECT_EQ(mError, KZeqIO::eFileNotCreated);
    // An existing file survives a failed write.
    const std::string target = WriteText("keep.3ds", "OLD");
    KZeqWriter3DS writer(mManager);
    EXPECT_FALSE(writer.FileCreate(Path("missing/dir/out.3ds").c_str()));
    EXPECT_FALSE(writer.IsFileOpen());
    ASSERT_TRUE(writer.FileCreate(target.c_str()));
    EXPECT_TRUE(writer.IsFileOpen());
    KStreamOptions3ds options;
    PushErrList3ds(ERR_INVALID_DATA);  // cleared by Write: not a failure
    ignoretoolkiterr3ds = 0;
    ASSERT_TRUE(writer.Write(*mScene, &options));
    EXPECT_FALSE(writer.IsFileOpen());  // written, closed and renamed over the target
    std::ifstream replaced(target, std::ios::binary);
    EXPECT_NE(std::string((std::istreambuf_iterator<char>(replaced)), std::istreambuf_iterator<char>()), "OLD");
    const std::string other = WriteText("keep2.3ds", "OLD");
    {
        KZeqWriter3DS dropped(mManager);
        ASSERT_TRUE(dropped.FileCreate(other.c_str()));
        EXPECT_TRUE(dropped.FileClose());
        EXPECT_FALSE(dropped.IsFileOpen());
        ASSERT_TRUE(dropped.FileCreate(other.c_str()));
    }  // destroyed without a write
    std::ifstream old(other, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(old)), std::istreambuf_iterator<char>()), "OLD");
    for (const auto& entry : std::filesystem::directory_iterator(mDir.Path()))
        EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
}

// ---- A failed export leaves every file as it was -------------------------------------------

// A grid whose file outgrows a few pages, with a texture copied beside the output.
class Writer3dsFailureTest : public Writer3dsTest {
protected:
    void SetUp() override {
        Writer3dsTest::SetUp();
        std::vector<KZeqVector4> points;
        std::vector<std::vector<int>> quads;
        for (int i = 0; i < 40 * 40; ++i) points.emplace_back(i % 40, i / 40, 0, 0);
        for (int i = 0; i < 39 * 39; ++i) quads.push_back({i + i / 39, i + i / 39 + 1, i + i / 39 + 41, i + i / 39 + 40});
        AddWoodTexture(AddMesh(AddNode("Grid"), points, quads), WriteText("maps/wood.jpg", "JPEGDATA"));
    }
    // Exports to target through the writer: "" when that failed with error and
    // systemError, the message giving the system's reason.
    std::string FailsWith(const std::string& target, int error, int systemError) {
        KZeqWriter3DS writer(mManager);
        KStreamOptions3ds options;
        if (!writer.FileCreate(target.c_str())) return "not created";
        if (writer.Write(*mScene, &options)) return "written";
        KString message;
        writer.GetMessage(message);
        if (writer.GetLastErrorID() != error || writer.GetError().GetLastSystemError() != systemError)
            return "error " + std::to_string(writer.GetLastErrorID()) + ", system error " +
                   std::to_string(writer.GetError().GetLastSystemError()) + ": " + message.Buffer();
        if (std::string(message.Buffer()).find("\"" + target + "\": " + std::strerror(systemError)) == std::string::npos)
            return std::string("the message: ") + message.Buffer();
        return "";
    }
    // Old content kept, no texture copy and no temporary beside it.
    std::string Kept(const std::string& target, const std::string& old) {
        if (zeqtest::ReadFile(target) != old) return "the file changed";
        const std::string directory = std::filesystem::path(target).parent_path();
        if (std::filesystem::exists(directory + "/wood.jpg")) return "a texture copy was left";
        return zeqtest::NamesWith(directory, ".tmp").empty() ? "" : "a temporary was left";
    }
};

// A write refused for its size is no full disk to the system: its reason, and
// error 3 with it; the texture copy made before goes with the file.
TEST_F(Writer3dsFailureTest, AFileTooLargeSaysSoAndLeavesEveryFileAsItWas) {
    const std::string target = WriteText("keep.3ds", "OLD");
    std::string failure;
    {
        zeqtest::ScopedFileSizeLimit limit(4096);
        failure = FailsWith(target, KZeqWriter::eOutOfDiskSpace, EFBIG);
    }
    EXPECT_EQ("", failure);
    EXPECT_EQ("", Kept(target, "OLD"));
}

// The disk fills while the file is written, after the texture was copied.
TEST_F(Writer3dsFailureTest, AFullDiskLeavesEveryFileAsItWas) {
    const std::string full = Path("full");
    std::filesystem::create_directory(full);
    const std::optional<std::string> answer = zeqtest::OnAFullDevice(full, [&]() -> std::string {
        // Three pages freed: one for the old file, one for the texture copy, too few for the new file.
        const std::string filler = full + "/filler";
        if (::truncate(filler.c_str(), static_cast<off_t>(std::filesystem::file_size(filler)) - 3 * 4096) != 0)
            return "no room made";
        const std::string target = full + "/scene.3ds";
        zeqtest::WriteFile(target, "OLD");
        const std::string failure = FailsWith(target, KZeqWriter::eOutOfDiskSpace, ENOSPC);
        return failure.empty() ? Kept(target, "OLD") : failure;
    });
    if (!answer) GTEST_SKIP() << zeqtest::NoMountsOfItsOwn() << ", for a memory file system";
    EXPECT_EQ("", *answer);
}

// The complete file cannot take its name (a busy file).
TEST_F(Writer3dsFailureTest, ARefusedRenameLeavesEveryFileAsItWas) {
    const std::string target = WriteText("keep.3ds", "OLD");
    const std::optional<std::string> answer = zeqtest::OnABusyFile(
        target, [&] { return FailsWith(target, KZeqWriter::eFileNotCreated, EBUSY); });
    if (!answer) GTEST_SKIP() << zeqtest::NoBusyFile();
    EXPECT_EQ("", *answer);
    EXPECT_EQ("", Kept(target, "OLD"));
}

// The failure leads the message, before the warnings about textures (which
// run to thousands of characters in a scene of many): a write refused for its
// size, and a file that cannot take its name.
TEST_F(Writer3dsFailureTest, TheFailureComesFirstInTheMessage) {
    for (int i = 0; i < 20; ++i) {
        KZeqMesh* mesh = AddQuad(AddNode(("Gone" + std::to_string(i)).c_str()));
        AddWoodTexture(mesh, Path("maps/gone" + std::to_string(i) + ".jpg"));
    }
    const std::string target = WriteText("keep.3ds", "OLD");
    const auto first = [&](const std::function<bool(KZeqWriter3DS&)>& write, const std::string& line) -> std::string {
        KZeqWriter3DS writer(mManager);
        if (!writer.FileCreate(target.c_str())) return "not created";
        if (write(writer)) return "written";
        KString message;
        writer.GetMessage(message);
        const std::string text = message.Buffer();
        if (text.find("Unable to locate texture file") == std::string::npos) return "no warnings: " + text;
        return text.compare(0, line.size(), line) == 0 ? "" : "the message: " + text;
    };
    KStreamOptions3ds options;
    EXPECT_EQ("", first([&](KZeqWriter3DS& writer) {
        zeqtest::ScopedFileSizeLimit limit(4096);
        return writer.Write(*mScene, &options);
    }, "Error writing \"" + target + "\": File too large\n"));
    const std::optional<std::string> busy = zeqtest::OnABusyFile(target, [&] {
        return first([&](KZeqWriter3DS& writer) { return writer.Write(*mScene, &options); },
                     "Cannot replace \"" + target + "\": Device or resource busy");
    });
    EXPECT_EQ("OLD", zeqtest::ReadFile(target));
    if (!busy) GTEST_SKIP() << zeqtest::NoBusyFile();
    EXPECT_EQ("", *busy);
}

// Found by fuzzing: a read key at frame 10^8 made the writer resample 10^8
// keys per track (gigabytes). Such an animation is refused; the target stays.
TEST_F(Writer3dsTest, FuzzAnimationOfHugeLengthIsRefused) {
    KZeqNode* node = AddNode("Far");
    AddQuad(node);
    LinearKeys(Take(node)->GetTranslationX(), {{0, 0}, {1e8, 1}});
    const std::string target = WriteText("far.3ds", "OLD");
    EXPECT_FALSE(Export3ds(target));
    EXPECT_NE(std::string(mMessage.Buffer()).find("frames at 30 frames per second"), std::string::npos);
    std::ifstream kept(target, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(kept)), std::istreambuf_iterator<char>()), "OLD");
    // Without animation the same scene is written at its pose.
    EXPECT_TRUE(Export3ds(target, [](KStreamOptionsBase& o) { o.SetOption(KStreamOptionsBase::eANIM, 0); }));
}

// A dummy hierarchy with animated transforms and two textured materials,
// written and read back by our reader and by lib3ds: per-frame transforms equal.
TEST_F(Writer3dsTest, RoundTrip) {
    KZeqNode* hips = AddNode("Hips");
    LinearKeys(Take(hips)->GetTranslationY(), {{0, 0}, {20, 5}});
    LinearKeys(Take(hips)->GetEulerRotationY(), {{0, 0}, {20, 120}});
    KZeqNode* body = AddNode("Body", hips);
    body->SetDefaultT(KZeqVector4(0, 3, 0, 0));
    KZeqMesh* mesh = AddMesh(body, {{0, 0, 0, 0}, {2, 0, 0, 0}, {2, 2, 0, 0}, {0, 2, 0, 0}, {1, 3, 0, 0}},
                             {{0, 1, 2, 3}, {3, 2, 4}});
    LinearKeys(Take(body)->GetScaleX(), {{0, 1}, {20, 2}});
    LinearKeys(Take(body)->GetEulerRotationX(), {{0, 10}, {10, 45}, {20, -30}});
    KZeqMaterial* red = mManager.CreateKZeqMaterial("Red");
    red->SetDiffuse(KZeqColor(1, 0, 0, 1));
    KZeqMaterial* blue = mManager.CreateKZeqMaterial("Blue");
    blue->SetDiffuse(KZeqColor(0, 0, 1, 1));
    mesh->InitMaterialIndices(KZeqMesh::eBY_POLYGON);
    mesh->InitTextureIndices(KZeqMesh::eBY_POLYGON);
    KZeqTexture* a = mManager.CreateKZeqTexture("a");
    a->SetFileName("a.jpg");
    KZeqTexture* b = mManager.CreateKZeqTexture("b");
    b->SetFileName("b.jpg");
    mesh->AddMaterial(red);
    mesh->AddMaterial(blue);
    mesh->AddTexture(a);
    mesh->AddTexture(b);
    mesh->GetLayer(0)->GetMaterials()->GetIndexArray().Add(0);
    mesh->GetLayer(0)->GetMaterials()->GetIndexArray().Add(1);
    mesh->GetLayer(0)->GetTextures()->GetIndexArray().Add(0);
    mesh->GetLayer(0)->GetTextures()->GetIndexArray().Add(1);
    mesh->InitTextureUVIndices(KZeqMesh::eBY_CONTROL_POINT);
    for (int i = 0; i < 5; ++i) mesh->GetLayer(0)->GetUVs()->GetDirectArray().Add(KZeqVector2(i * 0.2, 0.5));
    const std::string path = WriteScene([](KStreamOptionsBase& o) { o.SetOption(KStreamOptionsBase::eRESCALE, 0); });

    KZeqScene* back = mManager.CreateKZeqScene();
    ASSERT_TRUE(Import3ds(path, [](KStreamOptionsBase& o) { o.SetOption(KStreamOptionsBase::eRESCALE, 0); }, back));
    KZeqNode* hipsBack = Find("Hips", back);
    KZeqNode* bodyBack = Find("Body", back);
    ASSERT_TRUE(hipsBack && bodyBack && bodyBack->GetMesh());
    EXPECT_EQ(bodyBack->GetParent(), hipsBack);
    for (long long frame = 0; frame <= 20; ++frame) {
        const KZeqXMatrix& want = body->GetGlobalFromCurrentTake(Frame30(frame));
        const KZeqXMatrix& got = bodyBack->GetGlobalFromCurrentTake(Frame30(frame));
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 3; ++c) EXPECT_NEAR(got.mData[r][c], want.mData[r][c], 1e-4) << frame;
    }
    KZeqMesh* meshBack = bodyBack->GetMesh();
    ASSERT_EQ(meshBack->GetPolygonCount(), 3);
    EXPECT_EQ(meshBack->GetMaterialCount(0), 2);
    EXPECT_EQ(meshBack->GetTextureCount(0), 2);
    const KArrayTemplate<KZeqVector2>& uvs = meshBack->GetLayer(0)->GetUVs()->GetDirectArray();
    EXPECT_NEAR(uvs[4][0], 0.8, 1e-6);
#ifdef ZEQ_HAVE_LIB3DS
    ExpectSameAsPeer(path, *back, 1.0, {0.0f, 7.0f, 20.0f});
#endif
}

}  // namespace
}  // namespace zeq3dstest

// The 3DS reader on files put together with the toolkit: scale and axes,
// smoothing splits, materials on two layers, pivots, cameras, the hierarchy,
// keyframe tracks, and bad files that leave the scene as it was.

#include <cmath>
#include <fstream>

#include "content/kzeqlayer.h"
#include "formats/geometry/3ds/kzeqreader3ds.h"
#include "formats/geometry/3ds/tests/k3dsbuilder.h"
#include "formats/geometry/3ds/tests/k3dstest_support.h"
#include "io/kstreamoptionsobj.h"
#include "scene/kzeqglobalsettings.h"
#include "scene/kzeqtakeinfo.h"

namespace zeq3dstest {
namespace {

class Reader3dsTest : public Scene3dsTest {
protected:
    // A triangle mesh "Tri" with point (1, 2, 3) and a node for it.
    std::string Triangle(File3dsBuilder& file, const char* name = "tri.3ds") {
        file.Mesh("Tri", {{1, 2, 3}, {0, 0, 0}, {1, 0, 0}}, {{0, 1, 2, 7}});
        const std::string path = Path(name);
        EXPECT_TRUE(file.Write(path));
        return path;
    }
    static KZeqVector4 Point(KZeqMesh* mesh, int i) { return mesh->GetControlPoints()[i]; }
    static void ExpectPoint(const KZeqVector4& p, double x, double y, double z) {
        EXPECT_NEAR(p[0], x, 1e-5);
        EXPECT_NEAR(p[1], y, 1e-5);
        EXPECT_NEAR(p[2], z, 1e-5);
    }
};

// ---- Scale, axes and options ------------------------------------------------------------

struct ScaleCase {
    const char* mName;
    float mMasterScale;  // < 0: no settings chunk
    bool mRescale, mReference;
    double mFactor;      // on the points
    double mRootScale;   // of "Zeq_Root", 0 when none
};

class ReaderScaleTest : public Reader3dsTest, public testing::WithParamInterface<ScaleCase> {};

TEST_P(ReaderScaleTest, PointScaledAndTurnedYUp) {
    const ScaleCase& c = GetParam();
    File3dsBuilder file;
    if (c.mMasterScale >= 0) file.Settings()->masterscale = c.mMasterScale;
    file.Node("Tri", 0, 0, 0);
    const std::string path = Triangle(file);
    ASSERT_TRUE(Import3ds(path, [&](KStreamOptionsBase& o) {
        o.SetOption(KStreamOptionsBase::eRESCALE, c.mRescale);
        o.SetOption(KStreamOptionsBase::eCREATE_REFERENCE_NODE, c.mReference);
    }));
    KZeqNode* node = Find("Tri");
    ASSERT_TRUE(node && node->GetMesh());
    ExpectPoint(Point(node->GetMesh(), 0), 1 * c.mFactor, 3 * c.mFactor, -2 * c.mFactor);
    KZeqNode* root = Find("Zeq_Root");
    if (c.mRootScale == 0) {
        EXPECT_EQ(root, nullptr);
        EXPECT_EQ(node->GetParent(), mScene->GetRootNode());
    } else {
        ASSERT_NE(root, nullptr);
        EXPECT_EQ(node->GetParent(), root);
        KZeqVector4 s;
        root->GetDefaultS(s);
        EXPECT_NEAR(s[0], c.mRootScale, 1e-6);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ReaderScaleTest,
                         testing::Values(ScaleCase{"Default", -1, true, false, 2.54, 0},
                                         ScaleCase{"MasterScaleZero", 0, true, false, 2.54, 0},
                                         ScaleCase{"MasterScaleTwo", 2, true, false, 5.08, 0},
                                         ScaleCase{"NoRescale", 2, false, false, 2.0, 0},
                                         ScaleCase{"ReferenceNode", 2, true, true, 1.0, 5.08}),
                         [](const testing::TestParamInfo<ScaleCase>& info) { return info.param.mName; });

TEST_F(Reader3dsTest, OptionsOfAnotherClassRecordErrorSixAndReadOn) {
    File3dsBuilder file;
    const std::string path = Triangle(file);
    KZeqReader3DS reader(mManager);
    ASSERT_TRUE(reader.FileOpen(path.c_str()));
    KStreamOptionsObj other;
    EXPECT_TRUE(reader.Read(*mScene, &other));
    EXPECT_EQ(reader.GetLastErrorID(), KZeqReader::eStreamOptionsNotSet);
    EXPECT_NE(Find("Tri"), nullptr);
    EXPECT_FALSE(reader.IsFileOpen());
}

TEST_F(Reader3dsTest, MissingFileIsNotOpened) {
    KZeqReader3DS reader(mManager);
    EXPECT_FALSE(reader.FileOpen(Path("none.3ds").c_str()));
    EXPECT_EQ(reader.GetLastErrorID(), KZeqReader::eFileNotOpened);
    EXPECT_FALSE(reader.IsFileOpen());
    KStreamOptions3ds options;
    EXPECT_FALSE(reader.Read(*mScene, &options));
    EXPECT_EQ(reader.GetLastErrorID(), KZeqReader::eFileNotOpened);
}

TEST_F(Reader3dsTest, AnEarlierToolkitErrorDoesNotFailTheRead) {
    File3dsBuilder file;
    const std::string path = Triangle(file);
    PushErrList3ds(ERR_INVALID_DATA);
    EXPECT_TRUE(Import3ds(path));
    EXPECT_NE(Find("Tri"), nullptr);
}

TEST_F(Reader3dsTest, OtherToolkitFilesStayOpen) {
    File3dsBuilder file;
    const std::string path = Triangle(file);
    file3ds* other = OpenFile3ds(path.c_str(), "rb");
    ASSERT_NE(other, nullptr);
    const std::string copy = Path("copy.3ds");
    std::filesystem::copy_file(path, copy);
    EXPECT_TRUE(Import3ds(copy));
    EXPECT_NE(GetContextByName3ds(path.c_str()), nullptr);
    CloseFile3ds(other);
}

TEST_F(Reader3dsTest, AmbientLightOffIsBlack) {
    File3dsBuilder file;
    file.Settings()->ambientlight = fcolor3ds{0.5f, 0.25f, 0.125f};
    const std::string path = Triangle(file);
    mScene->GetGlobalLightSettings()->SetAmbientColor(KZeqColor(1, 1, 1, 1));
    ASSERT_TRUE(Import3ds(path, [](KStreamOptionsBase& o) { o.SetOption(KStreamOptionsBase::eAMBIENT_LIGHT, 0); }));
    const KZeqColor off = mScene->GetGlobalLightSettings()->GetAmbientColor();
    EXPECT_EQ(off.mRed + off.mGreen + off.mBlue, 0.0);
    ASSERT_TRUE(Import3ds(path));
    EXPECT_NEAR(mScene->GetGlobalLightSettings()->GetAmbientColor().mGreen, 0.25, 1e-6);
}

TEST_F(Reader3dsTest, FileWithoutAnimationTakesFiveSeconds) {
    File3dsBuilder file;
    const std::string path = Triangle(file);
    ASSERT_TRUE(Import3ds(path));
    const KZeqTakeInfo* take = mScene->GetTakeInfo("default take");
    ASSERT_NE(take, nullptr);
    EXPECT_EQ(take->mLocalTimeSpan.GetStop().Get(), 5 * KTime::kTicksPerSecond);
}

// ---- Meshes -------------------------------------------------------------------------------

TEST_F(Reader3dsTest, CubeWithSixSmoothingGroupsHas24ControlPointsAndFaceNormals) {
    File3dsBuilder file;
    mesh3ds* cube = file.Mesh("Cube", CubePoints(), CubeFaces());
    for (int f = 0; f < 12; ++f) cube->smoothgroups[f] = 1u << (f / 2);
    const std::string path = Path("cube.3ds");
    ASSERT_TRUE(file.Write(path));
    ASSERT_TRUE(Import3ds(path));
    KZeqMesh* mesh = Find("Cube")->GetMesh();
    ASSERT_EQ(mesh->GetControlPointsCount(), 24);
    const KZeqVector4* normals = mesh->GetNormals();
    for (int i = 0; i < 24; ++i) {
        const double axis = std::fabs(normals[i][0]) + std::fabs(normals[i][1]) + std::fabs(normals[i][2]);
        EXPECT_NEAR(axis, 1.0, 1e-9) << "normal " << i << " is a side's";
    }
}

TEST_F(Reader3dsTest, CubeWithOneSmoothingGroupHas8ControlPoints) {
    File3dsBuilder file;
    file.Mesh("Cube", CubePoints(), CubeFaces());
    const std::string path = Path("cube.3ds");
    ASSERT_TRUE(file.Write(path));
    ASSERT_TRUE(Import3ds(path));
    KZeqMesh* mesh = Find("Cube")->GetMesh();
    ASSERT_EQ(mesh->GetControlPointsCount(), 8);
    // Corner 7 (1, 1, 1) turns Y-up to (1, 1, -1); its normal leans out of all three sides.
    const KZeqVector4 n = mesh->GetNormals()[7];
    EXPECT_GT(n[0], 0.3);
    EXPECT_GT(n[1], 0.3);
    EXPECT_LT(n[2], -0.3);
}

TEST_F(Reader3dsTest, SmoothGroupOffKeepsOneControlPointPerVertex) {
    File3dsBuilder file;
    mesh3ds* cube = file.Mesh("Cube", CubePoints(), CubeFaces());
    for (int f = 0; f < 12; ++f) cube->smoothgroups[f] = 1u << (f / 2);
    const std::string path = Path("cube.3ds");
    ASSERT_TRUE(file.Write(path));
    ASSERT_TRUE(Import3ds(path, [](KStreamOptionsBase& o) { o.SetOption(KStreamOptionsBase::eSMOOTH_GROUP, 0); }));
    EXPECT_EQ(Find("Cube")->GetMesh()->GetControlPointsCount(), 8);
}

TEST_F(Reader3dsTest, BadIndicesAreSkippedAndMissingUVsAreZero) {
    File3dsBuilder file;
    mesh3ds* mesh = file.Mesh("Bad", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}},
                              {{0, 1, 2, 7}, {1, 3, 9, 7}, {2, 1, 3, 7}}, true);
    mesh->texvertcount = 2;  // fewer than the vertices
    mesh->texverts[0] = textvert3ds{0.25f, 0.5f};
    mesh->texverts[1] = textvert3ds{0.75f, 1.0f};
    material3ds* material = file.Material("Mat");
    CopyName3ds(material->texture1.name, sizeof(material->texture1.name), "wood.jpg");
    File3dsBuilder::Group(mesh, "Mat", {0, 2, 40});
    const std::string path = Path("bad.3ds");
    ASSERT_TRUE(file.Write(path));
    ASSERT_TRUE(Import3ds(path));
    KZeqMesh* read = Find("Bad")->GetMesh();
    ASSERT_EQ(read->GetPolygonCount(), 2) << "the face naming vertex 9 is left out";
    const KArrayTemplate<KZeqVector2>& uvs = read->GetLayer(0)->GetUVs()->GetDirectArray();
    ASSERT_EQ(uvs.GetCount(), 4);
    EXPECT_EQ(uvs[1][0], 0.75);
    EXPECT_EQ(uvs[3][0], 0.0);
    EXPECT_EQ(read->GetTextureCount(0), 1);
}

TEST_F(Reader3dsTest, WithoutTextureVerticesNoFaceIsTextured) {
    File3dsBuilder file;
    mesh3ds* mesh = file.Mesh("Plain", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 7}});
    material3ds* material = file.Material("Mat");
    CopyName3ds(material->texture1.name, sizeof(material->texture1.name), "wood.jpg");
    File3dsBuilder::Group(mesh, "Mat", {0});
    const std::string path = Path("plain.3ds");
    ASSERT_TRUE(file.Write(path));
    ASSERT_TRUE(Import3ds(path));
    KZeqMesh* read = Find("Plain")->GetMesh();
    EXPECT_EQ(read->GetTextureCount(0), 0);
    EXPECT_EQ(read->GetMaterialCount(0), 1);
    EXPECT_EQ(read->GetLayer(0)->GetUVs()->GetDirectArray()[0][0], 0.0);
}

// A map is named relative to the 3DS file: it is found beside the file
// whatever the working folder when the scene is read and when it is written,
// and an export copies it beside its own file.
TEST_F(Reader3dsTest, AMapIsFoundBesideTheFile) {
    File3dsBuilder file;
    mesh3ds* mesh = file.Mesh("Mapped", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 7}}, true);
    material3ds* material = file.Material("Mat");
    CopyName3ds(material->texture1.name, sizeof(material->texture1.name), "wood.jpg");
    material->texture1.percent = 1.0f;
    File3dsBuilder::Group(mesh, "Mat", {0});
    WriteText("models/wood.jpg", "texels");
    ASSERT_TRUE(file.Write(Path("models/mapped.3ds")));
    std::filesystem::create_directories(Path("out"));
    zeqtest::TempDir reading, writing;
    bool read = false, written = false;
    {
        zeqtest::ScopedWorkingFolder there(reading.Path());
        read = Import3ds(std::filesystem::relative(Path("models/mapped.3ds"), reading.Path()).string());
    }
    ASSERT_TRUE(read) << mError;
    {
        zeqtest::ScopedWorkingFolder there(writing.Path());
        written = Export3ds(Path("out/mapped.3ds"));
    }
    ASSERT_TRUE(written) << mMessage.Buffer();
    EXPECT_EQ(std::string(mMessage.Buffer()).find("Unable to locate"), std::string::npos) << mMessage.Buffer();
    EXPECT_EQ("texels", zeqtest::ReadFile(Path("out/wood.jpg")));
}

// A map named after a linked folder and "..", with l a link to real/sub: l/../tex.jpg is
// real/tex.jpg as the system walks it, not tex.jpg beside the file as text would have it.
TEST_F(Reader3dsTest, AMapAfterALinkedFolderIsTheFileTheSystemOpens) {
    File3dsBuilder file;
    mesh3ds* mesh = file.Mesh("Mapped", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 7}}, true);
    material3ds* material = file.Material("Mat");
    CopyName3ds(material->texture1.name, sizeof(material->texture1.name), "l/../tex.jpg");
    material->texture1.percent = 1.0f;
    File3dsBuilder::Group(mesh, "Mat", {0});
    std::filesystem::create_directories(Path("real/sub"));
    std::filesystem::create_directory_symlink(Path("real/sub"), Path("l"));
    ASSERT_TRUE(file.Write(Path("mapped.3ds")));
    ASSERT_TRUE(Import3ds(Path("mapped.3ds")));
    KZeqMesh* read = Find("Mapped")->GetMesh();
    ASSERT_EQ(read->GetTextureCount(0), 1);
    EXPECT_EQ(Path("real/tex.jpg"), read->GetTexture(0)->GetFileName());
}

TEST_F(Reader3dsTest, TwoMapsGoOnTwoLayersSecondMapFirst) {
    File3dsBuilder file;
    mesh3ds* mesh = file.Mesh("Two", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 7}}, true);
    material3ds* material = file.Material("Mat");
    CopyName3ds(material->texture1.name, sizeof(material->texture1.name), "wood.jpg");
    CopyName3ds(material->texture2.name, sizeof(material->texture2.name), "dirt.jpg");
    material->texture1.percent = 1.0f;
    material->texture2.percent = 0.5f;
    File3dsBuilder::Group(mesh, "Mat", {0});
    const std::string path = Path("two.3ds");
    ASSERT_TRUE(file.Write(path));
    ASSERT_TRUE(Import3ds(path));
    KZeqMesh* read = Find("Two")->GetMesh();
    ASSERT_EQ(read->GetLayerCount(), 2);
    const int layer0 = read->GetLayer(0)->GetTextures()->GetIndexArray()[0];
    const int layer1 = read->GetLayer(1)->GetTextures()->GetIndexArray()[0];
    EXPECT_STREQ(read->GetTexture(layer0, 0)->GetRelativeFileName(), "dirt.jpg");
    EXPECT_STREQ(read->GetTexture(layer1, 0)->GetRelativeFileName(), "wood.jpg");
    // Beside the file, whatever the working folder.
    EXPECT_EQ(read->GetTexture(layer0, 0)->GetFileName(), Path("dirt.jpg"));
    EXPECT_EQ(read->GetLayer(1)->GetUVs()->GetDirectArray().GetCount(), 3);
    EXPECT_EQ(Find("Two")->GetShadingMode(), KZeqNode::eTEXTURE_SHADING);
}

TEST_F(Reader3dsTest, MaterialValuesAndSharedTextureNames) {
    File3dsBuilder file;
    mesh3ds* mesh = file.Mesh("M", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 7}}, true);
    for (const char* name : {"A", "B"}) {
        material3ds* material = file.Material(name);
        material->transparency = 0.3f;
        material->shininess = 0.25f;
        material->diffuse[0] = 0.5f;
        material->selfillumpct = 0.5f;
        CopyName3ds(material->texture1.name, sizeof(material->texture1.name), "wood.jpg");
        CopyName3ds(material->texture2.name, sizeof(material->texture2.name), "wood.jpg");
        material->texture1.uscale = material->texture1.vscale = 2.0f;
    }
    File3dsBuilder::Group(mesh, "B", {0});
    const std::string path = Path("m.3ds");
    ASSERT_TRUE(file.Write(path));
    ASSERT_TRUE(Import3ds(path));
    KZeqMaterial* b = mManager.FindKZeqMaterial("B");
    ASSERT_NE(b, nullptr);
    EXPECT_NEAR(b->GetOpacity(), 0.7, 1e-6);
    EXPECT_NEAR(b->GetShininess(), 0.5, 1e-6);
    EXPECT_NEAR(b->GetEmissive().mRed, 0.25, 1.0 / 255);  // the colour chunk holds bytes
    // Material 0 took "wood.jpg"; its second map and material 1's maps are numbered apart.
    EXPECT_NE(mManager.FindKZeqTexture("wood.jpg-0.2"), nullptr);
    KZeqTexture* second = mManager.FindKZeqTexture("wood.jpg-1");
    ASSERT_NE(second, nullptr);
    EXPECT_STREQ(second->GetRelativeFileName(), "wood.jpg");
    EXPECT_NEAR(second->GetTranslationU(), -0.5, 1e-6);
    EXPECT_NE(mManager.FindKZeqTexture("wood.jpg-1.2"), nullptr);
}

// ---- Nodes -------------------------------------------------------------------------------

TEST_F(Reader3dsTest, PivotIsTakenOutOfThePoints) {
    File3dsBuilder file;
    file.Mesh("P", {{10, 10, 10}, {0, 0, 0}, {1, 0, 0}}, {{0, 1, 2, 7}});
    file.Node("P", 0, 0, 0)->pivot = point3ds{1, 2, 3};
    const std::string path = Path("p.3ds");
    ASSERT_TRUE(file.Write(path));
    ASSERT_TRUE(Import3ds(path, [](KStreamOptionsBase& o) { o.SetOption(KStreamOptionsBase::eRESCALE, 0); }));
    // (10, 10, 10) in file axes is (10, 10, -10); the pivot (1, 2, 3) is (1, 3, -2).
    ExpectPoint(Point(Find("P")->GetMesh(), 0), 9, 7, -8);
}

TEST_F(Reader3dsTest, InstancesGetTheirOwnCopyWithTheirOwnPivot) {
    File3dsBuilder file;
    file.Mesh("Inst", {{10, 10, 10}, {0, 0, 0}, {1, 0, 0}}, {{0, 1, 2, 7}});
    kfmesh3ds* a = file.Node("Inst", 0, 0, 0);
    CopyName3ds(a->instance, sizeof(a->instance), "A");
    a->pivot = point3ds{1, 0, 0};
    kfmesh3ds* b = file.Node("Inst", 0, 0, 0);
    CopyName3ds(b->instance, sizeof(b->instance), "B");
    b->pivot = point3ds{0, 0, 1};
    const std::string path = Path("inst.3ds");
    ASSERT_TRUE(file.Write(path));
    ASSERT_TRUE(Import3ds(path, [](KStreamOptionsBase& o) { o.SetOption(KStreamOptionsBase::eRESCALE, 0); }));
    KZeqNode* na = Find("Inst.A");
    KZeqNode* nb = Find("Inst.B");
    ASSERT_TRUE(na && nb && na->GetMesh() && nb->GetMesh());
    EXPECT_NE(na->GetMesh(), nb->GetMesh());
    ExpectPoint(Point(na->GetMesh(), 0), 9, 10, -10);
    ExpectPoint(Point(nb->GetMesh(), 0), 10, 9, -10);
}

TEST_F(Reader3dsTest, ParentsByNameWithInstanceAndMissing) {
    File3dsBuilder file;
    file.Mesh("A", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 7}});
    // A child before its parent, a parent "A.B" and one named nowhere.
    CopyName3ds(file.Node("C", 0, 0, 0)->parent, 22, "A.B");
    kfmesh3ds* a = file.Node("A", 0, 0, 0);
    CopyName3ds(a->instance, sizeof(a->instance), "B");
    CopyName3ds(file.Node("D", 0, 0, 0)->parent, 22, "Nowhere");
    const std::string path = Path("h.3ds");
    ASSERT_TRUE(file.Write(path));
    ASSERT_TRUE(Import3ds(path));
    ASSERT_NE(Find("A.B"), nullptr);
    EXPECT_EQ(Find("C")->GetParent(), Find("A.B"));
    EXPECT_EQ(Find("D")->GetParent(), mScene->GetRootNode());
    EXPECT_EQ(Find("C")->GetMesh(), nullptr);
}

TEST_F(Reader3dsTest, CameraRangesAndFocalLength) {
    File3dsBuilder file;
    file.Camera("Cam")->fov = 48.0f;
    file.Camera("Flat")->fov = 96.0f;
    const std::string path = Path("cam.3ds");
    ASSERT_TRUE(file.Write(path));
    // The second camera's lens (2400 / 96 = 25) becomes infinite: no field of view.
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const float lens = 25.0f, infinite = INFINITY;
    const std::size_t at = bytes.find(std::string(reinterpret_cast<const char*>(&lens), 4));
    ASSERT_NE(at, std::string::npos);
    bytes.replace(at, 4, std::string(reinterpret_cast<const char*>(&infinite), 4));
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;

    KZeqCamera* defaults = mManager.CreateKZeqCamera();
    ASSERT_TRUE(Import3ds(path, [](KStreamOptionsBase& o) { o.SetOption(KStreamOptionsBase::eRESCALE, 0); }));
    KZeqNode* node = Find("Cam");
    ASSERT_TRUE(node && node->GetCamera());
    EXPECT_NEAR(node->GetCamera()->GetFocalLength(), 50.0, 1e-4);
    EXPECT_NEAR(node->GetCamera()->GetNearPlane(), 10.0, 1e-6);
    EXPECT_NEAR(node->GetCamera()->GetFarPlane(), 10000.0, 1e-3);
    EXPECT_EQ(node->GetTarget(), Find("Cam.Target"));
    ASSERT_TRUE(Find("Flat") && Find("Flat")->GetCamera());
    EXPECT_EQ(Find("Flat")->GetCamera()->GetFocalLength(), defaults->GetFocalLength());
    mManager.DestroyKZeqNodeAttribute(defaults);
}

TEST_F(Reader3dsTest, LightsOffMakesNoLightNodes) {
    File3dsBuilder file;
    file.Omni("Omni")->multiplier = 0.5f;
    file.Spot("Spot");
    const std::string path = Path("lights.3ds");
    ASSERT_TRUE(file.Write(path));
    ASSERT_TRUE(Import3ds(path, [](KStreamOptionsBase& o) { o.SetOption(KStreamOptionsBase::eLIGHTS, 0); }));
    EXPECT_EQ(Find("Omni"), nullptr);
    EXPECT_EQ(Find("Spot"), nullptr);
    KZeqScene* other = mManager.CreateKZeqScene();
    ASSERT_TRUE(Import3ds(path, nullptr, other));
    KZeqNode* omni = Find("Omni", other);
    ASSERT_TRUE(omni && omni->GetLight());
    EXPECT_NEAR(omni->GetLight()->GetDefaultIntensity(), 50.0, 1e-6);
    KZeqNode* spot = Find("Spot", other);
    ASSERT_TRUE(spot && spot->GetLight());
    EXPECT_EQ(spot->GetLight()->GetLightType(), KZeqLight::eSPOT);
    EXPECT_EQ(spot->GetTarget(), Find("Spot.Target", other));
    EXPECT_NEAR(spot->GetLight()->GetDefaultConeAngle(), 45.0, 1e-6);
}

// ---- Tracks ------------------------------------------------------------------------------

TEST_F(Reader3dsTest, NonIncreasingFramesAreDropped) {
    File3dsBuilder file;
    file.Mesh("T", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 7}});
    kfmesh3ds* node = file.Node("T", 5, 1, 1);
    const std::uint32_t frames[5] = {0, 10, 10, 5, 20};
    for (int k = 0; k < 5; ++k) {
        node->pkeys[k] = Key(frames[k]);
        node->pos[k] = point3ds{static_cast<float>(k), 0, 0};
    }
    node->pkeys[1].rflags = KeyUsesTension3ds;
    node->pkeys[1].tension = 0.5f;
    node->pkeys[2].rflags = 0;
    node->pkeys[2].tension = 0.9f;
    const std::string path = Path("t.3ds");
    ASSERT_TRUE(file.Write(path));
    ASSERT_TRUE(Import3ds(path, [](KStreamOptionsBase& o) { o.SetOption(KStreamOptionsBase::eRESCALE, 0); }));
    KFCurve* x = Find("T")->GetCurrentTakeNode()->GetTranslationX();
    ASSERT_EQ(x->KeyGetCount(), 3);
    EXPECT_EQ(x->KeyGet(1).GetTime().Get(), 10 * 1539538600LL);
    EXPECT_EQ(x->KeyGet(1).GetValue(), 1.0f);
    EXPECT_EQ(x->KeyGet(2).GetValue(), 4.0f);
    EXPECT_EQ(x->KeyGet(2).GetTime().Get(), 20 * 1539538600LL);
}

TEST_F(Reader3dsTest, EqualRelativeRotationsAccumulate) {
    File3dsBuilder file;
    file.Mesh("R", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 7}});
    kfmesh3ds* node = file.Node("R", 1, 2, 1);
    const float quarter = static_cast<float>(M_PI / 8);  // 22.5 degrees about file Z, scene Y
    for (int k = 0; k < 2; ++k) {
        node->rkeys[k] = Key(static_cast<std::uint32_t>(10 * k));
        node->rot[k] = kfrotkey3ds{quarter, 0, 0, 1};
    }
    const std::string path = Path("r.3ds");
    ASSERT_TRUE(file.Write(path));
    ASSERT_TRUE(Import3ds(path));
    KZeqTakeNode* take = Find("R")->GetCurrentTakeNode();
    KFCurve* y = take->GetEulerRotationY();
    ASSERT_EQ(y->KeyGetCount(), 2);
    EXPECT_NEAR(y->KeyGet(1).GetValue(), 2 * y->KeyGet(0).GetValue(), 1e-4);
    EXPECT_NEAR(std::fabs(y->KeyGet(1).GetValue()), 45.0, 1e-4);
}

TEST_F(Reader3dsTest, OneKeyTracksSetDefaultsOnly) {
    File3dsBuilder file;
    file.Mesh("S", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 7}});
    kfmesh3ds* node = file.Node("S", 1, 1, 1);
    node->pkeys[0] = Key(50);
    node->pos[0] = point3ds{1, 2, 3};
    node->scale[0] = point3ds{1, 2, 3};
    const std::string path = Path("s.3ds");
    ASSERT_TRUE(file.Write(path));
    ASSERT_TRUE(Import3ds(path));
    KZeqNode* s = Find("S");
    EXPECT_EQ(s->GetCurrentTakeNode()->GetTranslationX()->KeyGetCount(), 0);
    KZeqVector4 t, scale;
    s->GetDefaultT(t);
    s->GetDefaultS(scale);
    ExpectPoint(t, 2.54, 7.62, -5.08);
    ExpectPoint(scale, 1, 3, 2);
}

TEST_F(Reader3dsTest, AnimOffTakesTheFirstKeyOnly) {
    File3dsBuilder file;
    file.Mesh("A", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 7}});
    kfmesh3ds* node = file.Node("A", 10, 1, 1);
    for (int k = 0; k < 10; ++k) {
        node->pkeys[k] = Key(static_cast<std::uint32_t>(k));
        node->pos[k] = point3ds{static_cast<float>(k + 1), 0, 0};
    }
    const std::string path = Path("a.3ds");
    ASSERT_TRUE(file.Write(path));
    ASSERT_TRUE(Import3ds(path, [](KStreamOptionsBase& o) {
        o.SetOption(KStreamOptionsBase::eANIM, 0);
        o.SetOption(KStreamOptionsBase::eRESCALE, 0);
    }));
    EXPECT_EQ(Find("A")->GetCurrentTakeNode()->GetTranslationX()->KeyGetCount(), 0);
    KZeqVector4 t;
    Find("A")->GetDefaultT(t);
    EXPECT_EQ(t[0], 1.0);
}

// A camera with a mesh child, a dummy, a spot and an omni, every track keyed
// at frames 5 and 15: each node and attribute gets its first key as its
// default, which is where the take starts, and a file written from the scene
// and read again gives the same defaults.
TEST_F(Reader3dsTest, AnimatedTracksStartFromTheDefaults) {
    File3dsBuilder file;
    file.Mesh("Kid", {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2, 7}});
    file.Camera("Cam");
    file.Spot("Spot");
    file.Omni("Omni");
    const auto Keys = [](keyheader3ds* keys) { keys[0] = Key(5), keys[1] = Key(15); };
    kfmesh3ds* kid = file.Node("Kid", 2, 2, 2);
    CopyName3ds(kid->parent, sizeof(kid->parent), "Cam");
    kfmesh3ds* dummy = file.Node(DummyName3ds, 2, 2, 2);
    CopyName3ds(dummy->instance, sizeof(dummy->instance), "Helper");
    for (kfmesh3ds* node : {kid, dummy}) {
        Keys(node->pkeys), Keys(node->rkeys), Keys(node->skeys);
        node->pos[0] = {1, 2, 3}, node->pos[1] = {4, 5, 6};
        node->rot[0] = {0.5f, 0, 0, 1}, node->rot[1] = {0.3f, 1, 0, 0};
        node->scale[0] = {1, 2, 3}, node->scale[1] = {2, 2, 2};
    }
    kfcamera3ds* cam = file.CameraNode("Cam", 2, 2, 2, 2);
    Keys(cam->pkeys), Keys(cam->fkeys), Keys(cam->rkeys), Keys(cam->tkeys);
    cam->pos[0] = {10, -20, 5}, cam->pos[1] = {30, -20, 5};
    cam->fov[0] = 40, cam->fov[1] = 60;
    cam->roll[0] = 5, cam->roll[1] = 10;
    cam->tpos[0] = {0, 0, 0}, cam->tpos[1] = {0, 10, 0};
    kfspot3ds* spot = file.SpotNode("Spot", 2, 2, 2, 2);
    Keys(spot->pkeys), Keys(spot->ckeys), Keys(spot->hkeys), Keys(spot->tkeys);
    spot->pos[0] = {0, 0, 50}, spot->pos[1] = {10, 0, 50};
    spot->color[0] = {0.2f, 0.4f, 0.6f}, spot->color[1] = {1, 1, 1};
    spot->hot[0] = 30, spot->hot[1] = 50;
    spot->tpos[0] = {5, 5, 0}, spot->tpos[1] = {0, 0, 0};
    kfomni3ds* omni = file.OmniNode("Omni", 2, 2);
    Keys(omni->pkeys), Keys(omni->ckeys);
    omni->pos[0] = {-7, 3, 9}, omni->pos[1] = {0, 0, 0};
    omni->color[0] = {0.5f, 0.25f, 0.125f}, omni->color[1] = {0, 0, 0};
    const std::string path = Path("anim.3ds");
    ASSERT_TRUE(file.Write(path));
    ASSERT_TRUE(Import3ds(path));

    KZeqNode* node = Find("Kid");
    ASSERT_TRUE(node && node->GetMesh());
    EXPECT_EQ(Plain(node->GetParent()->GetName()), "Cam");
    KZeqVector4 t, s;
    node->GetDefaultT(t);
    node->GetDefaultS(s);
    ExpectPoint(t, 2.54, 7.62, -5.08);
    ExpectPoint(s, 1, 3, 2);
    KZeqCamera* camera = Find("Cam")->GetCamera();
    ASSERT_NE(camera, nullptr);
    EXPECT_NEAR(camera->GetDefaultFieldOfView(), 40.0, 1e-6);
    EXPECT_NEAR(camera->GetDefaultRoll(), 5.0, 1e-6);
    KZeqLight* light = Find("Spot")->GetLight();
    ASSERT_NE(light, nullptr);
    KZeqColor colour;
    light->GetDefaultColor(colour);
    EXPECT_NEAR(colour.mGreen, 0.4, 1e-6);
    EXPECT_NEAR(light->GetDefaultConeAngle(), 30.0, 1e-6);
    ASSERT_NE(Find("Omni")->GetLight(), nullptr);
    Find("Omni")->GetLight()->GetDefaultColor(colour);
    EXPECT_NEAR(colour.mBlue, 0.125, 1e-6);

    const KTime start = mScene->GetTakeInfo("default take")->mLocalTimeSpan.GetStart();
    EXPECT_EQ(start.Get(), 5 * 1539538600LL);
    const auto Near = [](const KZeqXMatrix& a, const KZeqXMatrix& b, const std::string& what) {
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(a.mData[r][c], b.mData[r][c], 1e-4 * (1 + std::fabs(a.mData[r][c])))
                    << what << " [" << r << "][" << c << "]";
    };
    const std::vector<KZeqNode*> first = Nodes();
    ASSERT_EQ(first.size(), 7u);
    for (KZeqNode* n : first)
        Near(KZeqXMatrix(n->GetGlobalFromDefaultTake()), n->GetGlobalFromCurrentTake(start), n->GetName());

    ASSERT_TRUE(Export3ds(Path("again.3ds"))) << mError << " " << mMessage.Buffer();
    KZeqScene* back = mManager.CreateKZeqScene();
    ASSERT_TRUE(Import3ds(Path("again.3ds"), nullptr, back)) << mError;
    std::vector<std::pair<KZeqNode*, KZeqNode*>> pairs;
    for (KZeqNode* n : first) {
        if (Plain(n->GetName()).find(".Ta") != std::string::npos) continue;  // with its owner, under a cut name
        KZeqNode* other = Find(Plain(n->GetName()), back);
        ASSERT_NE(other, nullptr) << n->GetName();
        pairs.emplace_back(n, other);
        if (n->GetTarget()) pairs.emplace_back(n->GetTarget(), other->GetTarget());
    }
    ASSERT_EQ(pairs.size(), first.size());
    for (const auto& [n, other] : pairs) {
        ASSERT_NE(other, nullptr) << n->GetName();
        Near(KZeqXMatrix(n->GetGlobalFromDefaultTake()), other->GetGlobalFromDefaultTake(), n->GetName());
        KZeqVector4 a, b;
        n->GetDefaultR(a);
        other->GetDefaultR(b);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(a[i], b[i], 1e-3) << n->GetName() << " rotation " << i;
        n->GetDefaultS(a);
        other->GetDefaultS(b);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(a[i], b[i], 1e-5) << n->GetName() << " scaling " << i;
    }
    KZeqCamera* cameraBack = Find("Cam", back)->GetCamera();
    ASSERT_NE(cameraBack, nullptr);
    EXPECT_NEAR(cameraBack->GetDefaultFieldOfView(), 40.0, 1e-4);
    EXPECT_NEAR(cameraBack->GetDefaultRoll(), 5.0, 1e-4);
    ASSERT_NE(Find("Spot", back)->GetLight(), nullptr);
    EXPECT_NEAR(Find("Spot", back)->GetLight()->GetDefaultConeAngle(), 30.0, 1e-4);
    Find("Spot", back)->GetLight()->GetDefaultColor(colour);
    EXPECT_NEAR(colour.mRed, 0.2, 1e-6);
}

// ---- Bad files -----------------------------------------------------------------------------

// A file whose top chunk is none of mesh file, project and material library
// is refused, the scene untouched; an empty one of the three kinds reads.
TEST_F(Reader3dsTest, ForeignFilesAreRefused) {
    File3dsBuilder file;
    ASSERT_TRUE(Import3ds(Triangle(file)));
    const int nodes = mManager.GetKZeqNodeCount(), rootChildren = mScene->GetRootNode()->GetChildCount();
    const auto Chunk = [](std::uint16_t tag) {
        return std::string{static_cast<char>(tag & 0xFF), static_cast<char>(tag >> 8), 6, 0, 0, 0};
    };
    for (const std::string& bytes : {std::string("solid cube\nfacet normal 0 0 1\n"), Chunk(0x1234)}) {
        const std::string path = Path("foreign.3ds");
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        EXPECT_FALSE(Import3ds(path)) << bytes;
        EXPECT_EQ(mError, KZeqIO::eFileCorrupted);
        EXPECT_EQ(mManager.GetKZeqNodeCount(), nodes);
        EXPECT_EQ(mScene->GetRootNode()->GetChildCount(), rootChildren);
    }
    for (std::uint16_t tag : {0x4D4D, 0xC23D, 0x3DAA}) {
        const std::string path = Path("bare.3ds");
        std::ofstream(path, std::ios::binary | std::ios::trunc) << Chunk(tag);
        EXPECT_TRUE(Import3ds(path, nullptr, mManager.CreateKZeqScene())) << tag;
    }
}

class BadFile3dsTest : public Reader3dsTest, public testing::WithParamInterface<int> {};

// Cut at every length, or with bytes flipped: the read fails or succeeds,
// but a failure leaves the scene exactly as it was.
TEST_P(BadFile3dsTest, FailedReadLeavesTheSceneAsItWas) {
    File3dsBuilder file;
    file.Mesh("Tri", {{1, 2, 3}, {0, 0, 0}, {1, 0, 0}}, {{0, 1, 2, 7}});
    file.Material("Mat");
    file.Node("Tri", 2, 2, 2);
    file.Camera("Cam");
    const std::string good = Path("good.3ds");
    ASSERT_TRUE(file.Write(good));
    std::ifstream in(good, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const int step = GetParam();
    int failed = 0;
    for (std::size_t at = 0; at < bytes.size(); at += static_cast<std::size_t>(step)) {
        std::string bad = step == 1 ? bytes.substr(0, at) : bytes;
        if (step != 1) bad[at] = static_cast<char>(bad[at] ^ 0xA5);
        const std::string path = Path("bad.3ds");
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bad;
        const int nodes = mManager.GetKZeqNodeCount(), materials = mManager.GetKZeqMaterialCount();
        const int rootChildren = mScene->GetRootNode()->GetChildCount();
        if (!Import3ds(path)) {
            ++failed;
            EXPECT_EQ(mError, KZeqIO::eFileCorrupted) << at;
            EXPECT_EQ(mManager.GetKZeqNodeCount(), nodes) << at;
            EXPECT_EQ(mManager.GetKZeqMaterialCount(), materials) << at;
            EXPECT_EQ(mScene->GetRootNode()->GetChildCount(), rootChildren) << at;
        }
    }
    EXPECT_GT(failed, 0);
}

INSTANTIATE_TEST_SUITE_P(Damage, BadFile3dsTest, testing::Values(1, 7),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::string(info.param == 1 ? "Truncated" : "Corrupted");
                         });

}  // namespace
}  // namespace zeq3dstest

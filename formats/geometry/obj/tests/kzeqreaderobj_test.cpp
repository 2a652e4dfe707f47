#include "formats/geometry/obj/kzeqreaderobj.h"

#include <sys/stat.h>
#include <unistd.h>

#include "content/kzeqlayer.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnurb.h"
#include "content/kzeqtexture.h"
#include "fileio/tests/kpipewatchdog.h"
#include "io/kstreamoptionszeq.h"
#include "formats/geometry/obj/tests/objtest_support.h"

namespace zeqtest {
namespace {

const char* const kTriangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
const char* const kSquare = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n";

std::vector<int> PolygonSizes(KZeqMesh* mesh) {
    std::vector<int> sizes;
    for (int p = 0; mesh && p < mesh->GetPolygonCount(); ++p) sizes.push_back(mesh->GetPolygonSize(p));
    return sizes;
}

struct FaceCase {
    const char* mName;
    const char* mText;
    std::vector<int> mSizes;  // the polygons of mesh "default"
};

class ObjFaceTest : public ObjTest, public testing::WithParamInterface<FaceCase> {};

TEST_P(ObjFaceTest, CornersAsTheStatementGivesThem) {
    ASSERT_TRUE(ReadText(std::string(kTriangle) + "vn 0 0 1\nvn 0 0 -1\n" + GetParam().mText));
    KZeqMesh* mesh = Mesh("default");
    EXPECT_EQ(GetParam().mSizes, PolygonSizes(mesh));
    if (!mesh || GetParam().mSizes != std::vector<int>{3}) return;
    // Positions 0, 1, 2 in order, whichever way they were counted.
    for (int v = 0; v < 3; ++v)
        EXPECT_EQ(v == 1 ? 1.0 : 0.0, mesh->GetControlPoints()[mesh->GetPolygonVertex(0, v)][0]) << v;
}

INSTANTIATE_TEST_SUITE_P(
    Faces, ObjFaceTest,
    testing::Values(FaceCase{"Absolute", "f 1 2 3\n", {3}}, FaceCase{"Relative", "f -3 -2 -1\n", {3}},
                    FaceCase{"NormalsOnly", "f 1//2 2//2 3//2\n", {3}}, FaceCase{"FullCorners", "f 1/1/1 2/1/1 3/1/1", {3}},
                    FaceCase{"TwoCorners", "f 1 2\n", {}}, FaceCase{"IndexZero", "f 0 1 2\n", {}},
                    FaceCase{"Unreadable", "f 1 x 3\n", {}}, FaceCase{"PositionBeyond", "f 1 2 9\n", {2}},
                    FaceCase{"AllBeyond", "f 7 8 9\n", {}}, FaceCase{"Tabs", "f 1\t2\t3\n", {3}},
                    FaceCase{"Quad", "v 1 1 0\nf 1 2 4 3\n", {4}},
                    // An index past int is out of range: only its corner goes.
                    FaceCase{"IndexOverflowingInt", "f 1 2 3 99999999999\n", {3}},
                    FaceCase{"IndexJustPastInt", "f 1 2 3 2147483648\n", {3}},
                    FaceCase{"NegativeIndexOverflowingInt", "f 1 2 3 -99999999999\n", {3}},
                    FaceCase{"TextureIndexOverflowingInt", "f 1/99999999999 2 3\n", {3}}),
    [](const testing::TestParamInfo<FaceCase>& info) { return info.param.mName; });

TEST_F(ObjTest, GivenNormalsAndNoTextureCoordinates) {
    ASSERT_TRUE(ReadText(std::string(kTriangle) + "vn 0 0 1\nvn 0 1 0\nf 1//2 2//2 3//2\n"));
    KZeqMesh* mesh = Mesh("default");
    ASSERT_TRUE(mesh && mesh->GetNormals());
    for (int k = 0; k < 3; ++k) EXPECT_TRUE(mesh->GetNormals()[k] == KZeqVector4(0, 1, 0, 0)) << k;
    EXPECT_EQ(nullptr, mesh->GetTextureUV());
}

// Texture coordinates count wherever faces name them, before any textured
// material too; the shading mode still tells whether a textured one came.
TEST_F(ObjTest, TextureCoordinatesBeforeAnyTexturedMaterialAreKept) {
    ASSERT_TRUE(ReadText(std::string(kSquare) + "vt 0 0\nvt 1 0\nvt 1 1\nf 1/1 2/2 3/3\nf 1 3 4\n"));
    KZeqMesh* mesh = Mesh("default");
    ASSERT_TRUE(mesh);
    EXPECT_EQ(KZeqMesh::eBY_POLYGON_VERTEX, mesh->GetTextureUVMappingType());
    EXPECT_EQ(3, mesh->GetTextureUVCount());
    EXPECT_EQ(2, mesh->GetTextureUVIndex(0, 2));
    EXPECT_EQ(-1, mesh->GetTextureUVIndex(1, 0));  // the second face names none
    EXPECT_EQ(KZeqNode::eLIGHT_SHADING, Node("default")->GetShadingMode());
}

TEST_F(ObjTest, ObjectsAndGroupsSelectMeshes) {
    ASSERT_TRUE(ReadText(std::string(kTriangle) +
                         "o first\nf 1 2 3\no second\ng third\nf 1 2 3\ng left arm\nf 1 2 3\ng a b c\nf 1 2 3\n"
                         "g\nf 1 2 3\ng Arm\nf 3 2 1\ng arm\nf 1 2 3\ng LEFT_arm\nf 1 2 3\n"));
    EXPECT_TRUE(Mesh("first") && Mesh("third") && Mesh("a_b c") && Mesh("default"));
    EXPECT_FALSE(Node("second"));
    // Names match without regard to case; the first spelling names the node.
    EXPECT_EQ(2, Mesh("left_arm")->GetPolygonCount());
    EXPECT_EQ(2, Mesh("Arm")->GetPolygonCount());
    // Nodes in the order of their names, ignoring case.
    std::vector<std::string> names;
    for (int i = 0; i < mScene->GetRootNode()->GetChildCount(); ++i) names.push_back(Child(i)->GetName());
    EXPECT_EQ((std::vector<std::string>{"Model::Arm", "Model::a_b c", "Model::default", "Model::first",
                                        "Model::left_arm", "Model::third"}),
              names);
}

TEST_F(ObjTest, ControlPointsPerDistinctCorner) {
    const std::string shared = std::string(kSquare) + "vn 0 0 1\nvn 0 0 -1\n";
    ASSERT_TRUE(ReadText(shared + "g same\nf 1//1 2//1 3//1\nf 1//1 3//1 4//1\ng split\nf 1//1 2//1 3//1\nf 1//2 3//1 4//1\n"));
    EXPECT_EQ(4, Mesh("same")->GetControlPointsCount());
    EXPECT_EQ(5, Mesh("split")->GetControlPointsCount());
}

// Without normals: one per face in smoothing group 0, one per position in
// any other, never across groups; "s off" is group 0, other words keep it.
TEST_F(ObjTest, ComputedNormalsFollowSmoothingGroups) {
    // Two triangles folded along the diagonal 1-3.
    const std::string fold = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 1\n";
    ASSERT_TRUE(ReadText(fold + "g flat\ns 1\ns off\nf 1 2 3\nf 1 3 4\ng smooth\ns 1\ns what\nf 1 2 3\nf 1 3 4\n"));
    EXPECT_EQ(6, Mesh("flat")->GetControlPointsCount());
    KZeqMesh* smooth = Mesh("smooth");
    ASSERT_EQ(4, smooth->GetControlPointsCount());
    // The shared corners average both faces; the others keep their face's normal.
    const KZeqVector4 first(0, 0, 1, 0), second = ComputeDefaultNormal(KZeqVector4(0, 0, 0, 1), KZeqVector4(1, 1, 0, 1),
                                                                      KZeqVector4(0, 1, 1, 1));
    KZeqVector4 average = first + second;
    average.Normalize();
    const int corner0 = smooth->GetPolygonVertex(0, 0), corner1 = smooth->GetPolygonVertex(0, 1);
    EXPECT_TRUE(smooth->GetNormals()[corner0] == average);
    EXPECT_TRUE(smooth->GetNormals()[corner1] == first);
}

const char* const kLibrary =
    "newmtl red\nKd 1 0 0\nNs 50\nTr 0.3\n"
    "newmtl dull\nKa 20 20 -1\nNs 50\nillum 1\nd 0.25\n"
    "newmtl wood\nmap_Kd my wood.png\nKd 0.5 0.25 0\n";

TEST_F(ObjTest, MaterialLibraryValues) {
    ASSERT_TRUE(ReadText(std::string("mtllib test.mtl\n") + kTriangle + "usemtl red\nf 1 2 3\nusemtl dull\nf 1 2 3\n"
                         "usemtl wood\nf 1 2 3\nusemtl RED\nf 1 2 3\n", kLibrary));
    KZeqMesh* mesh = Mesh("default");
    ASSERT_EQ(3, mesh->GetMaterialCount(0));
    KZeqMaterial* red = mesh->GetMaterial(0);
    EXPECT_DOUBLE_EQ(0.5, red->GetShininess());
    EXPECT_FLOAT_EQ(0.3, red->GetOpacity());  // Tr is the opacity, as d
    EXPECT_DOUBLE_EQ(1.0, red->GetDiffuse().mRed);
    KZeqMaterial* dull = mesh->GetMaterial(1);
    EXPECT_DOUBLE_EQ(0.0, dull->GetShininess());  // illum 1 has none, whatever Ns says
    EXPECT_FLOAT_EQ(0.25, dull->GetOpacity());
    EXPECT_TRUE(dull->GetAmbient().mRed == 1.0 && dull->GetAmbient().mBlue == 0.0);  // clamped
    // The texture takes the whole rest of map_Kd, found from the library's folder.
    ASSERT_EQ(2, mesh->GetTextureCount(0));
    EXPECT_STREQ("Texture::_empty_", mesh->GetTexture(0)->GetName());
    EXPECT_STREQ("my wood.png", mesh->GetTexture(1)->GetRelativeFileName());
    EXPECT_EQ(mDir / "my wood.png", mesh->GetTexture(1)->GetFileName());
    // By polygon: usemtl RED reuses red; untextured faces take "_empty_".
    const int* materials = mesh->GetMaterialIndices();
    const int* textures = mesh->GetTextureIndices();
    EXPECT_EQ((std::vector<int>{0, 1, 2, 0}), std::vector<int>(materials, materials + 4));
    EXPECT_EQ((std::vector<int>{0, 0, 1, 0}), std::vector<int>(textures, textures + 4));
    EXPECT_EQ(KZeqNode::eLIGHT_TEXTURE_SHADING, Node("default")->GetShadingMode());
}

TEST_F(ObjTest, MaterialsWithoutALibrary) {
    ASSERT_TRUE(ReadText(std::string(kTriangle) + "usemtl red\nf 1 2 3\nusemtl blue\nf 1 2 3\n"));
    KZeqMesh* mesh = Mesh("default");
    EXPECT_EQ(KZeqMesh::eALL_SAME, mesh->GetMaterialMappingType());
    EXPECT_EQ(0, mesh->GetMaterialCount(0));
    EXPECT_EQ(0, mesh->GetMaterialIndices()[0]);
    EXPECT_EQ("Unable to read material \"red\" in .mtl file\nUnable to read material \"blue\" in .mtl file\n", Str(mMessage));
}

// A library seen but no material selected yet: those faces have none.
TEST_F(ObjTest, FacesBeforeAnyMaterialHaveNone) {
    ASSERT_TRUE(ReadText(std::string("mtllib test.mtl\n") + kTriangle + "f 1 2 3\nusemtl red\nf 1 2 3\n", kLibrary));
    const int* materials = Mesh("default")->GetMaterialIndices();
    EXPECT_EQ((std::vector<int>{-1, 0}), std::vector<int>(materials, materials + 2));
}

// The library beside the OBJ file, not one of that name where the program runs.
TEST_F(ObjTest, LibrariesAreLookedForBesideTheFile) {
    TempDir elsewhere;
    WriteFile(elsewhere / "test.mtl", "newmtl red\nKd 0 0 1\n");
    char previous[4096];
    ASSERT_TRUE(getcwd(previous, sizeof(previous)));
    ASSERT_EQ(0, chdir(elsewhere.Path().c_str()));
    const bool read = ReadText(std::string("mtllib test.mtl\n") + kTriangle + "usemtl red\nf 1 2 3\n", kLibrary);
    ASSERT_EQ(0, chdir(previous));
    ASSERT_TRUE(read);
    EXPECT_DOUBLE_EQ(1.0, Mesh("default")->GetMaterial(0)->GetDiffuse().mRed);
}

TEST_F(ObjTest, RationalBSplineSurface) {
    std::string text = "mtllib test.mtl\nusemtl wood\ng patch\ncstype rat bspline\ncstype bezier\ncstype rat bspline\ndeg 3 3\n";
    for (int i = 0; i < 16; ++i) text += "v " + std::to_string(i % 4) + " " + std::to_string(i / 4) + " 0 " + (i == 5 ? "2" : "1") + "\n";
    text += "surf 0 1 0 1 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16\nparm u 0 0 0 0 1 1 1 1\nparm v 0 0 0 0 2 2 2 2\nend\n";
    text += "cstype bezier\nsurf 0 1 0 1 1 2 3 4\nend\n";  // not a B-spline: dropped
    ASSERT_TRUE(ReadText(text, kLibrary));
    KZeqNurb* nurb = Node("patch") ? Node("patch")->GetNurb() : nullptr;
    ASSERT_TRUE(nurb);
    EXPECT_EQ(1, mScene->GetRootNode()->GetChildCount());
    EXPECT_TRUE(nurb->GetUCount() == 4 && nurb->GetVCount() == 4 && nurb->GetUOrder() == 4 && nurb->GetVOrder() == 4);
    // U takes the "v" values; OBJ point 5 (u 1, v 1) lands at U 1, V 1, its weight kept.
    EXPECT_DOUBLE_EQ(2.0, nurb->GetUKnotVector()[7]);
    EXPECT_DOUBLE_EQ(1.0, nurb->GetVKnotVector()[7]);
    EXPECT_DOUBLE_EQ(2.0, nurb->GetControlPoints()[SwapArrayIndex(5, 4, 4)][3]);
    EXPECT_EQ(5, SwapArrayIndex(5, 4, 4));
    EXPECT_EQ(4, SwapArrayIndex(1, 4, 4));
    EXPECT_TRUE(nurb->GetTextureCount(0) == 1 && nurb->GetTexture(0)->GetSwapUV());
}

TEST_F(ObjTest, SurfacesThatDoNotFitAreDropped) {
    std::string text = "cstype rat bspline\ndeg 3 3\n";
    for (int i = 0; i < 16; ++i) text += "v 0 0 0\n";
    const std::string points = "surf 0 1 0 1 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\n";  // 15 of 16
    text += points + "parm u 0 0 0 0 1 1 1 1\nparm v 0 0 0 0 1 1 1 1\nend\n";
    text += "deg 0 3\nsurf 0 1 0 1 1 2 3\nparm u 0 1 2\nparm v 0 0 0 0 1 1 1 1\nend\n";
    text += "deg 3 3\nsurf 0 1 0 1 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16\nparm u 0 0 0 0 1 1 1 1\nparm v 0 0 0 0 1 1 1 nan\nend\n";
    ASSERT_TRUE(ReadText(text));
    EXPECT_EQ(0, mScene->GetRootNode()->GetChildCount());
}

TEST_F(ObjTest, NodesAreNamedUniquely) {
    std::string text = std::string(kTriangle) + "cstype rat bspline\ndeg 1 1\ng Cube\nsurf 0 1 0 1 1 2 1 2\nparm u 0 0 1 1\nparm v 0 0 1 1\nend\n";
    ASSERT_TRUE(ReadText(text + "f 1 2 3\ng test_root\nf 1 2 3\n", "", true));
    // The surface came first; the reference node's name is taken before the meshes'.
    ASSERT_TRUE(Node("Cube") && Node("Cube")->GetNurb());
    ASSERT_TRUE(Node("test_root") && Node("test_root")->GetParent() == mScene->GetRootNode());
    EXPECT_TRUE(Node("Cube1") && Node("Cube1")->GetMesh() && Node("Cube1")->GetParent() == Node("test_root"));
    EXPECT_TRUE(Node("test_root1") && Node("test_root1")->GetMesh());
}

TEST_F(ObjTest, StatementsAcrossLinesAndAtTheEnd) {
    // A continued face, a long one, and a last face without a line break.
    std::string text = std::string(kSquare) + "f 1 2 \\\n  3\n";
    text += "f";
    for (int i = 0; i < 3000; ++i) text += " " + std::to_string(i % 4 + 1);
    text += "\r\nf 1 3 4";
    ASSERT_TRUE(ReadText(text));
    EXPECT_EQ((std::vector<int>{3, 3000, 3}), PolygonSizes(Mesh("default")));
}

TEST_F(ObjTest, EmptyFileAndMessages) {
    ASSERT_TRUE(ReadText("", "", true));
    EXPECT_EQ(1, mScene->GetRootNode()->GetChildCount());
    EXPECT_EQ(0, Node("test_root")->GetChildCount());
    // A library that is no plain file is not read (it could go on forever), and the message says
    // what it is; a named pipe is not waited on.
    const std::string pipe = mDir / "pipe.mtl";
    ASSERT_EQ(0, ::mkfifo(pipe.c_str(), 0600));
    EXPECT_TRUE(RunsWithoutWaitingOn(pipe, [&] {
        ASSERT_TRUE(ReadText("# comment\nxyz 1 2\nmtllib missing.mtl\nl 1 2\nmtllib /dev/zero\nmtllib pipe.mtl\n"));
    }));
    EXPECT_EQ("Object not supported : xyz\nCannot read \"" + (mDir / "missing.mtl") +
                  "\": No such file or directory\nUnable to load material library\nObject not supported : l\n"
                  "\"/dev/zero\" is not read: it is a character device, not a regular file\n"
              "Unable to load material library\n\"" + pipe + "\" is not read: it is a named pipe, not a regular file\n"
              "Unable to load material library\n",
              Str(mMessage));
}

// Names after a linked folder and "..", with lnk a link to real/sub: lnk/../x is real/x as the
// system walks it (x beside the OBJ file as text would have it). A library named so is the one
// in real, and its map "tex.jpg" lies beside it; a map named lnk/../tex.jpg from a library beside
// the OBJ is real/tex.jpg too. The scene written as a Zeq file with its media embedded holds
// that image and names it. Runs as any user.
TEST_F(ObjTest, NamesAfterALinkedFolderAreTheFilesTheSystemOpens) {
    std::filesystem::create_directories(mDir.Path() / "real/sub");
    std::filesystem::create_directory_symlink(mDir.Path() / "real/sub", mDir.Path() / "lnk");
    WriteText("real/tex.jpg", "the image in real");
    WriteText("tex.jpg", "the image beside the file");
    WriteText("real/lib.mtl", "newmtl wood\nmap_Kd tex.jpg\n");
    WriteText("lib.mtl", "newmtl wood\nmap_Kd elsewhere.jpg\n");
    const std::string real = mDir / "real/tex.jpg";
    for (const char* obj : {"mtllib lnk/../lib.mtl\n", "mtllib test.mtl\n"}) {
        SCOPED_TRACE(obj);
        mScene = mManager.CreateKZeqScene();
        ASSERT_TRUE(ReadText(std::string(obj) + kTriangle + "usemtl wood\nf 1 2 3\n", "newmtl wood\nmap_Kd lnk/../tex.jpg\n"));
        KZeqMesh* mesh = Mesh("default");
        ASSERT_EQ(1, mesh->GetTextureCount(0));
        EXPECT_EQ(real, mesh->GetTexture(0)->GetFileName());
    }
    const std::string zeq = mDir / "converted.zeq";
    KZeqExporter exporter(mManager);
    KStreamOptionsZeq options;
    exporter.Initialize(zeq.c_str()), exporter.SetFileFormat(KZeqExporter::eZEQ_BINARY);
    exporter.SetExportOptionsInfo(&options), options.SetOption(KStreamOptionsZeq::eEMBED_MEDIA, true);
    ASSERT_TRUE(exporter.Export(*mScene, &options));
    const std::string written = ReadFile(zeq);
    EXPECT_NE(std::string::npos, written.find("the image in real"));
    EXPECT_EQ(std::string::npos, written.find("the image beside the file"));
    EXPECT_NE(std::string::npos, written.find(real));
}

// Tests that read as another user too, in a folder that user reaches.
class ObjAsAnotherUserTest : public ObjTest {
protected:
    ObjAsAnotherUserTest() : ObjTest(TempDir::kOtherUsers) {}
};

// A library its reader may not read gives the system's reason, as a missing one does.
TEST_F(ObjAsAnotherUserTest, AnUnreadableLibrarySaysWhy) {
    const std::string library = WriteText("locked.mtl", "newmtl red\nKd 1 0 0\n");
    const std::string obj = WriteText("test.obj", std::string("mtllib locked.mtl\n") + kTriangle + "f 1 2 3\n");
    ASSERT_EQ(0, ::chmod(library.c_str(), 0));
    ASSERT_EQ(0, ::chmod(mDir.Path().c_str(), 0777));
    const std::optional<std::string> answer = AsUnprivileged(mDir.Path().string(), [&]() -> std::string {
        if (!ImportObj(obj)) return "not read";
        const std::string expected =
            "Cannot read \"" + library + "\": Permission denied\nUnable to load material library\n";
        return Str(mMessage) == expected ? "" : "the message: " + Str(mMessage);
    });
    if (!answer) GTEST_SKIP() << "no user to be who may not read the library";
    EXPECT_EQ("", *answer);
}

struct BadCase {
    const char* mName;
    const char* mText;
};

class ObjBadInputTest : public ObjTest, public testing::WithParamInterface<BadCase> {};

// A read that fails leaves nothing of its own: no node (the surface and the
// reference node made before the failure), material or texture.
TEST_P(ObjBadInputTest, FailsWithNothingLeft) {
    std::string text = std::string("mtllib test.mtl\nusemtl wood\n") + kTriangle +
                       "cstype rat bspline\ndeg 1 1\nsurf 0 1 0 1 1 2 1 2\nparm u 0 0 1 1\nparm v 0 0 1 1\nend\nf 1 2 3\n";
    const int nodes = mManager.GetKZeqNodeCount();
    EXPECT_FALSE(ReadText(text + GetParam().mText, kLibrary, true));
    EXPECT_EQ(KZeqIO::eFileCorrupted, mError);
    EXPECT_EQ(nodes, mManager.GetKZeqNodeCount());
    EXPECT_EQ(0, mManager.GetKZeqMaterialCount());
    EXPECT_EQ(0, mManager.GetKZeqTextureCount());
    EXPECT_EQ(0, mScene->GetRootNode()->GetChildCount());
}

INSTANTIATE_TEST_SUITE_P(Statements, ObjBadInputTest,
                         testing::Values(BadCase{"ShortPosition", "v 1 2\n"}, BadCase{"ShortNormal", "vn 1 2\n"},
                                         BadCase{"EmptyTextureCoordinate", "vt\n"}, BadCase{"EmptyParameter", "vp x\n"},
                                         BadCase{"PositionWithAWord", "v 1 2 x 4\n"}),
                         [](const testing::TestParamInfo<BadCase>& info) { return info.param.mName; });

TEST_F(ObjBadInputTest, SurfaceBeforeAnyCurveType) {
    EXPECT_FALSE(ReadText(std::string(kTriangle) + "surf 0 1 0 1 1 2 3\nend\n"));
    EXPECT_FALSE(ImportObj(mDir / "missing.obj"));
    EXPECT_EQ(KZeqIO::eFileNotOpened, mError);
}

}  // namespace
}  // namespace zeqtest

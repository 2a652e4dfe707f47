#include "formats/geometry/obj/kzeqwriterobj.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <sstream>

#include "content/kzeqlayer.h"
#include "content/kzeqlink.h"
#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnurb.h"
#include "content/kzeqshape.h"
#include "content/kzeqtexture.h"
#include "fileio/tests/kfolderlockholder.h"
#include "fileio/tests/kotheruseract.h"
#include "formats/geometry/obj/tests/objtest_support.h"
#include "io/kstreamoptionsdxf.h"

namespace zeqtest {
namespace {

// The lines of a text that start with a keyword and a blank.
std::vector<std::string> Lines(const std::string& text, const std::string& keyword) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        if (line.compare(0, keyword.size() + 1, keyword + " ") == 0) lines.push_back(line);
    return lines;
}

class ObjWriterTest : public ObjTest {
protected:
    // A mesh of points and polygons under the root, normals by control point
    // (pointing along +z) when asked.
    KZeqMesh* AddMesh(const char* name, const std::vector<KZeqVector4>& points,
                      const std::vector<std::vector<int>>& polygons, bool normals = true) {
        KZeqNode* node = mManager.CreateKZeqNode(name);
        KZeqMesh* mesh = mManager.CreateKZeqMesh();
        mesh->InitControlPoints(static_cast<int>(points.size()));
        std::copy(points.begin(), points.end(), mesh->GetControlPoints());
        if (normals) {
            mesh->InitNormals(0);
            for (std::size_t i = 0; i < points.size(); ++i) mesh->GetNormals()[i].Set(0, 0, 1, 0);
        }
        for (const auto& polygon : polygons) {
            mesh->BeginPolygon();
            for (int index : polygon) mesh->AddPolygon(index);
        }
        node->SetNodeAttribute(mesh);
        mScene->GetRootNode()->AddChild(node);
        return mesh;
    }
    KZeqMesh* AddCube(const char* name, bool normals = true) {
        std::vector<KZeqVector4> points;
        for (int i = 0; i < 8; ++i) points.emplace_back(i & 1, (i >> 1) & 1, (i >> 2) & 1, 1);
        return AddMesh(name, points, {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}},
                       normals);
    }
    KZeqMaterial* Material(const char* name, double shininess = 0.5, double opacity = 0.8) {
        KZeqMaterial* material = mManager.CreateKZeqMaterial(name);
        material->SetShininess(shininess);
        material->SetOpacity(opacity);
        material->SetDiffuse(KZeqColor(1, 0, 0, 1));
        return material;
    }
    KZeqTexture* Texture(const char* name, const std::string& file) {
        KZeqTexture* texture = mManager.CreateKZeqTexture(name);
        texture->SetFileName(file.c_str());
        return texture;
    }
    bool WriteObj(const std::string& path, bool triangulate = false, bool deform = true) {
        return Export(path, KZeqExporter::eVONEX_OBJ, [&](KStreamOptionsBase& options) {
            options.SetOption(KStreamOptionsBase::eFORCE_TRIANGULATION, triangulate);
            options.SetOption(KStreamOptionsBase::eEVALUATE_DEFORMATIONS, deform);
        });
    }
};

TEST_F(ObjWriterTest, CubeWithoutMaterials) {
    AddCube("Cube");
    const std::string path = mDir / "cube.obj";
    ASSERT_TRUE(WriteObj(path)) << mError;
    const std::string text = ReadFile(path);
    EXPECT_EQ(0u, text.find("# \n# Corvantis OBJ file\n#"));
    EXPECT_EQ(std::vector<std::string>{"g Cube"}, Lines(text, "g"));
    EXPECT_EQ(8u, Lines(text, "v").size());
    EXPECT_EQ(8u, Lines(text, "vn").size());
    EXPECT_EQ("v 1.000000 1.000000 1.000000", Lines(text, "v")[7]);
    const std::vector<std::string> faces = Lines(text, "f");
    ASSERT_EQ(6u, faces.size());
    EXPECT_EQ("f 1//1 3//3 4//4 2//2", faces[0]);
    EXPECT_EQ("f 5//5 6//6 8//8 7//7", faces[1]);
    EXPECT_TRUE(Lines(text, "mtllib").empty() && Lines(text, "usemtl").empty());
    EXPECT_FALSE(std::filesystem::exists(mDir / "cube.mtl"));
    // Triangulated on request, in the scene too.
    ASSERT_TRUE(WriteObj(path, true)) << mError;
    EXPECT_EQ(12u, Lines(ReadFile(path), "f").size());
    EXPECT_EQ(12, Node("Cube")->GetMesh()->GetPolygonCount());
}

// Numbers run on across meshes: positions after the first mesh's 8, normals
// from 1 again after a mesh without.
TEST_F(ObjWriterTest, NumbersRunAcrossMeshes) {
    AddCube("First", false);
    AddMesh("Second", {KZeqVector4(0, 0, 0, 1), KZeqVector4(1, 0, 0, 1), KZeqVector4(0, 1, 0, 1)}, {{0, 1, 2}});
    AddMesh("Third", {KZeqVector4(0, 0, 0, 1), KZeqVector4(1, 0, 0, 1), KZeqVector4(0, 1, 0, 1)}, {{2, 1, 0}});
    const std::string path = mDir / "three.obj";
    ASSERT_TRUE(WriteObj(path));
    const std::vector<std::string> faces = Lines(ReadFile(path), "f");
    ASSERT_EQ(8u, faces.size());
    EXPECT_EQ("f 1 3 4 2", faces[0]);
    EXPECT_EQ("f 9//1 10//2 11//3", faces[6]);
    EXPECT_EQ("f 14//6 13//5 12//4", faces[7]);
}

// Models whose names differ in case alone keep a library each, named as the model is: writing
// Box.obj leaves the library box.obj names.
TEST_F(ObjWriterTest, ALibraryIsNamedInTheCaseOfItsModel) {
    AddCube("Crate")->AddMaterial(Material("pine"));
    ASSERT_TRUE(WriteObj(mDir / "box.obj")) << Str(mMessage);
    Node("Crate")->GetMesh()->GetMaterial(0)->SetName("oak");
    ASSERT_TRUE(WriteObj(mDir / "Box.obj")) << Str(mMessage);
    EXPECT_EQ(std::vector<std::string>{"mtllib box.mtl"}, Lines(ReadFile(mDir / "box.obj"), "mtllib"));
    EXPECT_EQ(std::vector<std::string>{"mtllib Box.mtl"}, Lines(ReadFile(mDir / "Box.obj"), "mtllib"));
    EXPECT_EQ(std::vector<std::string>{"newmtl pine"}, Lines(ReadFile(mDir / "box.mtl"), "newmtl"));
    EXPECT_EQ(std::vector<std::string>{"newmtl oak"}, Lines(ReadFile(mDir / "Box.mtl"), "newmtl"));
}

// Each (material, texture) pair is one entry, named after the material with
// its blanks made "_" and made unique; meshes without materials use the
// default entry once materials exist.
TEST_F(ObjWriterTest, MaterialFileEntries) {
    std::filesystem::create_directories(mDir / "images");
    WriteFile(mDir / "images/wood.png", "wood");
    WriteFile(mDir / "images/stone.png", "stone");
    WriteFile(mDir / "stone.png", "kept");  // already beside the file: not copied again
    KZeqMaterial* plastic = Material("red plastic");
    for (const char* texture : {"wood", "stone"}) {
        KZeqMesh* mesh = AddCube(texture);
        mesh->AddMaterial(plastic);
        mesh->AddTexture(Texture(texture, mDir / (std::string("images/") + texture + ".png")));
    }
    AddCube("Bare");
    KZeqMesh* missing = AddCube("Missing");
    missing->AddMaterial(Material("gone", 0.25, 1.0));
    missing->AddTexture(Texture("gone", mDir / "nowhere/gone.png"));
    const std::string path = mDir / "Out/Model.OBJ";
    ASSERT_TRUE(WriteObj(path)) << Str(mMessage);
    const std::string text = ReadFile(path);
    EXPECT_EQ(std::vector<std::string>{"mtllib Model.mtl"}, Lines(text, "mtllib"));
    const std::string mtl = ReadFile(mDir / "Out/Model.mtl");
    EXPECT_EQ((std::vector<std::string>{"newmtl red_plastic", "newmtl red_plastic1", "newmtl default1", "newmtl gone"}),
              Lines(mtl, "newmtl"));
    EXPECT_EQ((std::vector<std::string>{"usemtl red_plastic", "usemtl red_plastic1", "usemtl default1", "usemtl gone"}),
              Lines(text, "usemtl"));
    EXPECT_EQ((std::vector<std::string>{"map_Kd wood.png", "map_Kd stone.png", "map_Kd gone.png"}), Lines(mtl, "map_Kd"));
    EXPECT_EQ("Ns 50.000000", Lines(mtl, "Ns")[0]);
    EXPECT_EQ("Tr 0.800000", Lines(mtl, "Tr")[0]);
    EXPECT_EQ("Kd 1.000000 0.000000 0.000000", Lines(mtl, "Kd")[0]);
    EXPECT_EQ("wood", ReadFile(mDir / "Out/wood.png"));
    EXPECT_EQ("stone", ReadFile(mDir / "Out/stone.png"));
    WriteFile(mDir / "Out/wood.png", "kept");
    ASSERT_TRUE(WriteObj(path));
    EXPECT_EQ("kept", ReadFile(mDir / "Out/wood.png"));
    EXPECT_NE(std::string::npos, Str(mMessage).find("Unable to locate texture file \"" + (mDir / "nowhere/gone.png") +
                                                    "\": No such file or directory.\n"))
        << Str(mMessage);
    // The default material lives only while writing.
    EXPECT_FALSE(mManager.FindKZeqMaterial("default"));
}

// A map named relative to its material library lies in the library's folder,
// whatever the working folder when the scene is read and when it is written:
// the export copies it beside the new file.
TEST_F(ObjWriterTest, AMapNamedByItsLibraryIsFoundBesideIt) {
    WriteText("models/scene.mtl", "newmtl wood\nKd 1 1 1\nmap_Kd tex.jpg\n");
    WriteText("models/tex.jpg", "texels");
    const std::string obj = WriteText("models/scene.obj", "mtllib scene.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\n"
                                                          "vt 0 0\nvt 1 0\nvt 0 1\nusemtl wood\nf 1/1 2/2 3/3\n");
    TempDir reading, writing;
    bool read = false, written = false;
    {
        ScopedWorkingFolder there(reading.Path());
        read = ImportObj(std::filesystem::relative(obj, reading.Path()).string());
    }
    ASSERT_TRUE(read) << mError;
    {
        ScopedWorkingFolder there(writing.Path());
        written = WriteObj(mDir / "out/scene.obj");
    }
    ASSERT_TRUE(written) << Str(mMessage);
    EXPECT_EQ(std::string::npos, Str(mMessage).find("Unable to locate")) << Str(mMessage);
    EXPECT_EQ("texels", ReadFile(mDir / "out/tex.jpg"));
    EXPECT_EQ((std::vector<std::string>{"map_Kd tex.jpg"}), Lines(ReadFile(mDir / "out/scene.mtl"), "map_Kd"));
}

// Names are written as one word each ("g" keeps the rest of its line but
// "usemtl", "newmtl" and "mtllib" take words), and names that would then
// read back alike (blank or underscore, case, a backslash that continues the
// line) are numbered: every node and material comes back on its own.
TEST_F(ObjWriterTest, NamesWithBlanksStayApart) {
    const char* nodes[] = {"Qu der01", "Qu der02", "Qu_der01", "qu der02", "Tail\\"};
    const char* materials[] = {"1 - Default", "1 - Other01", "1_-_Default", "1 - other01", "end\\"};
    for (int i = 0; i < 5; ++i) {
        const double x = 10.0 * i;
        KZeqMesh* mesh =
            AddMesh(nodes[i], {KZeqVector4(x, 0, 0, 1), KZeqVector4(x + 1, 0, 0, 1), KZeqVector4(x, 1, 0, 1)}, {{0, 1, 2}},
                    false);
        mesh->AddMaterial(Material(materials[i]));
        mesh->GetMaterial(0)->SetDiffuse(KZeqColor(0.125 * i, 0, 0, 1));
    }
    std::vector<Face> before = Faces(mScene->GetRootNode());
    const std::string path = mDir / "two words.obj";
    ASSERT_TRUE(WriteObj(path)) << Str(mMessage);
    const std::string text = ReadFile(path);
    EXPECT_EQ((std::vector<std::string>{"g Qu_der01", "g Qu_der02", "g Qu_der011", "g qu_der021", "g Tail_"}),
              Lines(text, "g"));
    const std::vector<std::string> entries = {"1_-_Default", "1_-_Other01", "1_-_Default1", "1_-_other011", "end_"};
    std::vector<std::string> uses;
    for (const std::string& entry : entries) uses.push_back("usemtl " + entry);
    EXPECT_EQ(uses, Lines(text, "usemtl"));
    EXPECT_EQ(std::vector<std::string>{"mtllib two_words.mtl"}, Lines(text, "mtllib"));
    KZeqScene* again = mManager.CreateKZeqScene();
    ASSERT_TRUE(Import(path, KZeqImporter::eVONEX_OBJ, nullptr, again)) << mError;
    EXPECT_EQ(std::string::npos, Str(mMessage).find("Unable"));
    const Totals totals = Count(again->GetRootNode());
    EXPECT_EQ(5, totals.mMeshes);
    EXPECT_EQ(5u, totals.mMaterials.size());
    // Each face with its own material, whose values the library gave it.
    for (Face& face : before) face.mMaterial = entries[static_cast<std::size_t>(face.mCorners[0].mPosition[0] / 10.0)];
    ExpectSameFaces(before, Faces(again->GetRootNode()), 1e-6);
    for (KZeqMaterial* material : totals.mMaterials) {
        const std::string name = Str(material->GetNameWithoutNameSpacePrefix());
        const auto at = std::find(entries.begin(), entries.end(), name);
        ASSERT_NE(entries.end(), at) << name;
        EXPECT_DOUBLE_EQ(0.125 * static_cast<double>(at - entries.begin()), material->GetDiffuse().mRed) << name;
    }
}

// Per polygon: each change of pair is one usemtl line; a polygon without a
// material takes the default entry rather than its predecessor's.
TEST_F(ObjWriterTest, MaterialsByPolygon) {
    KZeqMesh* mesh = AddMesh("Strip", {KZeqVector4(0, 0, 0, 1), KZeqVector4(1, 0, 0, 1), KZeqVector4(0, 1, 0, 1)},
                             {}, false);
    mesh->InitMaterialIndices(KZeqMesh::eBY_POLYGON);
    mesh->AddMaterial(Material("a"));
    mesh->AddMaterial(Material("b"));
    for (int material : {0, 0, 1, -1, 1}) {
        mesh->BeginPolygon(material);
        for (int v = 0; v < 3; ++v) mesh->AddPolygon(v);
    }
    const std::string path = mDir / "strip.obj";
    ASSERT_TRUE(WriteObj(path));
    const std::string text = ReadFile(path);
    EXPECT_EQ((std::vector<std::string>{"usemtl a", "usemtl b", "usemtl default1", "usemtl b"}), Lines(text, "usemtl"));
}

// A textured mesh of a quad and a triangle read back as written: positions
// at their global place, texture coordinates, normals and materials.
TEST_F(ObjWriterTest, RoundTrip) {
    KZeqMesh* mesh = AddMesh("Shape", {KZeqVector4(0, 0, 0, 1), KZeqVector4(2, 0, 0, 1), KZeqVector4(2, 2, 0, 1),
                                       KZeqVector4(0, 2, 0, 1), KZeqVector4(1, 3, 1, 1)},
                             {}, true);
    mesh->GetNormals()[4].Set(0, 1, 0, 0);
    mesh->InitTextureUVIndices(KZeqMesh::eBY_POLYGON_VERTEX);
    for (int i = 0; i < 5; ++i) mesh->AddTextureUV(KZeqVector2(0.125 * i, 1 - 0.25 * i));
    mesh->InitMaterialIndices(KZeqMesh::eBY_POLYGON);
    mesh->InitTextureIndices(KZeqMesh::eBY_POLYGON);
    mesh->AddMaterial(Material("first"));
    mesh->AddMaterial(Material("second"));
    mesh->AddTexture(Texture("picture", mDir / "picture.png"));
    mesh->BeginPolygon(0, 0);
    for (int v = 0; v < 4; ++v) mesh->AddPolygon(v, v);
    mesh->BeginPolygon(1, 0);
    for (int v : {3, 2, 4}) mesh->AddPolygon(v, 4 - v % 2);
    Node("Shape")->SetDefaultT(KZeqVector4(10, 0, 0, 0));
    Node("Shape")->SetDefaultR(KZeqVector4(0, 90, 0, 0));
    WriteFile(mDir / "picture.png", "png");
    const std::vector<Face> before = Faces(mScene->GetRootNode());
    const std::string path = mDir / "out/shape.obj";
    ASSERT_TRUE(WriteObj(path)) << Str(mMessage);
    KZeqScene* again = mManager.CreateKZeqScene();
    ASSERT_TRUE(Import(path, KZeqImporter::eVONEX_OBJ, nullptr, again)) << mError;
    ExpectSameFaces(before, Faces(again->GetRootNode()), 1e-6);
    KZeqMesh* read = again->GetRootNode()->FindChild("Shape", true, false)->GetMesh();
    ASSERT_EQ(2, read->GetMaterialCount(0));
    EXPECT_STREQ("Texture::first", read->GetTexture(0)->GetName());
    EXPECT_STREQ("picture.png", read->GetTexture(0)->GetRelativeFileName());
    EXPECT_EQ(mDir / "out/picture.png", read->GetTexture(0)->GetFileName());
}

// Deformation is evaluated on copies: the same file twice, the scene's
// points and normals unchanged.
TEST_F(ObjWriterTest, ShapedSkinnedMeshWrittenTwice) {
    KZeqMesh* mesh = AddMesh("Skin", {KZeqVector4(0, 0, 0, 1), KZeqVector4(1, 0, 0, 1), KZeqVector4(0, 1, 0, 1)},
                             {{0, 1, 2}});
    KZeqShape* shape = mManager.CreateKZeqShape();
    shape->InitControlPoints(3);
    for (int i = 0; i < 3; ++i) shape->GetControlPoints()[i] = mesh->GetControlPoints()[i] + KZeqVector4(0, 1, 0, 0);
    mesh->AddShape(shape, "Up");
    mesh->SetDefaultShape(0, 1.0);
    KZeqNode* bone = mManager.CreateKZeqNode("Bone");
    mScene->GetRootNode()->AddChild(bone);
    bone->SetDefaultR(KZeqVector4(0, 0, 90, 0));
    KZeqLink* link = mManager.CreateKZeqLink();
    link->SetLink(bone);
    link->SetLinkMode(KZeqLink::eNORMALIZE);
    link->AddControlPointIndex(1, 1.0);
    link->AddControlPointIndex(7, 1.0);  // outside the mesh
    mesh->AddLink(link);
    const std::string first = mDir / "first.obj", second = mDir / "second.obj";
    ASSERT_TRUE(WriteObj(first));
    ASSERT_TRUE(WriteObj(second));
    EXPECT_EQ(ReadFile(first), ReadFile(second));
    EXPECT_TRUE(mesh->GetControlPoints()[1] == KZeqVector4(1, 0, 0, 1));
    EXPECT_TRUE(mesh->GetNormals()[1] == KZeqVector4(0, 0, 1, 0));
    // Point 1 up by the shape to (1, 1, 0), then turned about z to (-1, 1, 0);
    // its normal turns with it and stays (0, 0, 1).
    const std::vector<std::string> positions = Lines(ReadFile(first), "v");
    EXPECT_EQ("v 0.000000 1.000000 0.000000", positions[0]);
    EXPECT_EQ("v -1.000000 1.000000 0.000000", positions[1]);
    EXPECT_EQ("vn 0.000000 0.000000 1.000000", Lines(ReadFile(first), "vn")[1]);
    ASSERT_TRUE(WriteObj(first, false, false));
    EXPECT_EQ("v 1.000000 0.000000 0.000000", Lines(ReadFile(first), "v")[1]);
    // Triangulated in place, the mesh keeps its shape weights.
    ASSERT_TRUE(WriteObj(first, true));
    EXPECT_EQ("v -1.000000 1.000000 0.000000", Lines(ReadFile(first), "v")[1]);
}

// Normals are written as the mesh maps them; corners without a texture
// coordinate get no texture number.
TEST_F(ObjWriterTest, NormalsFollowTheirMappingAndCornersMayLackCoordinates) {
    KZeqMesh* mesh = AddMesh("Pair", {KZeqVector4(0, 0, 0, 1), KZeqVector4(1, 0, 0, 1), KZeqVector4(0, 1, 0, 1)},
                             {{0, 1, 2}, {2, 1, 0}}, false);
    mesh->InitNormals(6);  // by polygon vertex
    for (int i = 0; i < 6; ++i) mesh->GetNormals()[i].Set(0, 0, i < 3 ? 1 : -1, 0);
    mesh->InitTextureUVIndices(KZeqMesh::eBY_POLYGON_VERTEX);
    mesh->AddTextureUV(KZeqVector2(0.5, 0.5));
    KArrayTemplate<int>& uvIndices = mesh->GetLayer(0)->GetUVs()->GetIndexArray();
    for (int index : {0, -1, 0, -1, -1, -1}) uvIndices.Add(index);
    const std::string path = mDir / "pair.obj";
    ASSERT_TRUE(WriteObj(path));
    const std::string text = ReadFile(path);
    EXPECT_EQ(6u, Lines(text, "vn").size());
    EXPECT_EQ("vn 0.000000 0.000000 -1.000000", Lines(text, "vn")[3]);
    EXPECT_EQ((std::vector<std::string>{"f 1/1/1 2//2 3/1/3", "f 3//4 2//5 1//6"}), Lines(text, "f"));
}

TEST_F(ObjWriterTest, SurfacesAreTriangulated) {
    KZeqNode* node = mManager.CreateKZeqNode("Patch");
    KZeqNurb* nurb = mManager.CreateKZeqNurb();
    nurb->SetOrder(2, 2);
    ASSERT_TRUE(nurb->InitControlPoints(2, KZeqNurb::eOPEN, 2, KZeqNurb::eOPEN));
    for (int i = 0; i < 4; ++i) nurb->GetControlPoints()[i].Set(i % 2, i / 2, 0, 1);
    for (int i = 0; i < 4; ++i) nurb->GetUKnotVector()[i] = nurb->GetVKnotVector()[i] = i / 2;
    nurb->SetStep(2, 2);
    node->SetNodeAttribute(nurb);
    mScene->GetRootNode()->AddChild(node);
    const std::string path = mDir / "patch.obj";
    ASSERT_TRUE(WriteObj(path));
    EXPECT_TRUE(Node("Patch")->GetMesh());
    EXPECT_FALSE(Lines(ReadFile(path), "f").empty());
}

TEST_F(ObjWriterTest, FailuresAreReported) {
    AddCube("Cube");
    // A device that fills up: the file to replace stays as it was.
    const std::string kept = WriteText("kept.obj", "# kept\n");
    {
        ScopedFileSizeLimit full(64);
        ASSERT_FALSE(WriteObj(kept));
    }
    EXPECT_EQ(KZeqIO::eOutOfDiskSpace, mError);
    EXPECT_NE(std::string::npos, Str(mMessage).find("Error writing \"" + kept + "\": ")) << Str(mMessage);
    EXPECT_EQ("# kept\n", ReadFile(kept));
    KZeqWriterObj writer(mManager);
    KStreamOptionsDxf other;
    EXPECT_FALSE(writer.Write(*mScene, &other));
    EXPECT_EQ(KZeqWriter::eStreamOptionsNotSet, writer.GetLastErrorID());
    KStreamOptions* options = writer.GetWriteOptions();
    EXPECT_FALSE(writer.Write(*mScene, options));
    EXPECT_EQ(KZeqWriter::eFileNotOpened, writer.GetLastErrorID());
    options->Destroy();
}

// The material library and the texture copies take their names with the OBJ
// file that names them, or none does.
class ObjWriterCompanions : public ObjWriterTest {
protected:
    void SetUp() override {
        std::filesystem::create_directories(mOut);
        std::filesystem::create_directories(mShared / "images");
        WriteFile(mImage, "wood texels");
        mMaterial = Material("paint");
        KZeqMesh* mesh = AddCube("Box");
        mesh->AddMaterial(mMaterial);
        mesh->AddTexture(Texture("wood", mImage));
        WriteFile(mObj, "old scene\n");
        WriteFile(mMtl, "old materials\n");
        ASSERT_EQ(0, ::chmod(mMtl.c_str(), 0640));
    }
    // The files of the folder are those before the export, byte for byte, and nothing else is there.
    void ExpectAsBefore() {
        EXPECT_EQ("old scene\n", ReadFile(mObj));
        EXPECT_EQ("old materials\n", ReadFile(mMtl));
        struct stat st {};
        EXPECT_TRUE(::stat(mMtl.c_str(), &st) == 0 && (st.st_mode & 07777) == 0640);
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(mOut))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        EXPECT_EQ((std::vector<std::string>{"box.mtl", "box.obj"}), names) << "a texture copy or a temporary was left";
    }
    // What an export in a child process answers: "" when it failed for the reason.
    std::string FailsWith(const std::string& reason) {
        if (WriteObj(mObj)) return "written";
        if (Str(mMessage).find("\"" + mObj + "\": " + reason) == std::string::npos) return "the message: " + Str(mMessage);
        return "";
    }

    KZeqMaterial* mMaterial = nullptr;
    // Exports here run as another user too.
    TempDir mShared{TempDir::kOtherUsers};
    std::string mImage = mShared / "images/wood.png";
    std::string mOut = mShared / "out";
    std::string mObj = mOut + "/box.obj";
    std::string mMtl = mOut + "/box.mtl";
};

// The OBJ file cannot take its name once the others are ready: a busy file, or
// another user's file in a sticky folder. The library keeps its old content
// and mode, and no texture copy is left. Another user's file needs root: any
// other writer checks the busy file, and skips that half.
TEST_F(ObjWriterCompanions, AnObjFileThatCannotTakeItsNameLeavesEveryFileAsItWas) {
    const std::optional<std::string> busy = OnABusyFile(mObj, [&] { return FailsWith("Device or resource busy"); });
    if (!busy) GTEST_SKIP() << NoBusyFile();
    EXPECT_EQ("", *busy);
    ExpectAsBefore();

    ZEQ_SKIP_UNLESS_ROOT("the half with another user's file in a sticky folder");
    ASSERT_EQ(0, ::chmod(mOut.c_str(), 01777));
    ASSERT_EQ(0, ::chmod(mObj.c_str(), 0666));
    ASSERT_EQ(0, ::chown(mMtl.c_str(), kUnprivileged, kUnprivileged));
    const std::optional<std::string> sticky =
        AsUnprivileged(mOut, [&] { return FailsWith("Operation not permitted"); });
    if (!sticky) GTEST_SKIP() << zeqtest::NoUnprivilegedUser(mOut);
    EXPECT_EQ("", *sticky);
    ExpectAsBefore();
}

// Two exports of one file at once end with one export's OBJ file beside its own
// material library: every file of an export takes its name while the export
// holds the folder's lock, which another export waits for (a while at most).
// Here the other export runs whole at the first export's first rename: it finds
// the folder locked, goes on after its wait, and the first export's files all
// come after its own.
TEST_F(ObjWriterCompanions, ExportsAtOnceEndWithAMatchingPair) {
    const auto names = [](const std::string& text, const std::string& keyword) {
        std::vector<std::string> found = Lines(text, keyword);
        for (std::string& line : found) line.erase(0, keyword.size() + 1);
        return found;
    };
    int go[2];
    ASSERT_EQ(0, ::pipe(go));
    const pid_t other = ::fork();
    if (other == 0) {
        ::close(go[1]);
        char start;
        while (::read(go[0], &start, 1) < 0 && errno == EINTR) {
        }
        mMaterial->SetInitialName("paintB");
        ::_exit(WriteObj(mObj) ? 0 : 1);
    }
    ::close(go[0]);
    int renames = 0, unlocked = 0;
    bool otherWritten = false;
    {
        const AtBeforeRename seam([&](const std::string&, const std::string&) {
            unlocked += LockedByAnother(mOut) ? 0 : 1;
            if (renames++ > 0) return;
            ::close(go[1]);
            int status = 0;
            otherWritten = other > 0 && ::waitpid(other, &status, 0) == other && WIFEXITED(status) &&
                           WEXITSTATUS(status) == 0;
        });
        mMaterial->SetInitialName("paintA");
        ASSERT_TRUE(WriteObj(mObj)) << Str(mMessage);
    }
    EXPECT_TRUE(otherWritten);
    // The library, the texture copy and the OBJ file.
    EXPECT_EQ(3, renames);
    EXPECT_EQ(0, unlocked) << "a file took its name while the folder was not locked";
    const std::vector<std::string> used = names(ReadFile(mObj), "usemtl");
    EXPECT_EQ(std::vector<std::string>{"paintA"}, used) << ReadFile(mObj);
    EXPECT_EQ(used, names(ReadFile(mMtl), "newmtl"));
}

// A library that cannot be made (a folder holds its name): the OBJ file names neither it nor
// the materials it would define, and the message says so.
TEST_F(ObjWriterCompanions, AnObjFileWithoutItsLibraryNamesNoMaterials) {
    std::filesystem::remove(mMtl);
    std::filesystem::create_directories(mMtl);
    ASSERT_TRUE(WriteObj(mObj)) << Str(mMessage);
    const std::string text = ReadFile(mObj);
    EXPECT_TRUE(Lines(text, "mtllib").empty() && Lines(text, "usemtl").empty()) << text;
    EXPECT_FALSE(Lines(text, "f").empty());
    EXPECT_NE(std::string::npos, Str(mMessage).find("Unable to create material file \"" + mMtl + "\": \"" + mMtl +
                                                    "\" is not replaced: it is a directory, not a regular file: "
                                                    "the OBJ file names no materials.\n"))
        << Str(mMessage);
    EXPECT_FALSE(std::filesystem::exists(mOut + "/wood.png"));
}

// A texture copy that cannot be written (a write refused for its size here)
// says why and leaves nothing; the export goes on without it.
TEST_F(ObjWriterCompanions, ATextureCopyThatCannotBeWrittenSaysWhy) {
    WriteFile(mImage, std::string(100000, 'w'));
    {
        ScopedFileSizeLimit limit(16384);
        ASSERT_TRUE(WriteObj(mObj)) << Str(mMessage);
    }
    EXPECT_NE(std::string::npos,
              Str(mMessage).find("Error writing texture file \"" + mOut + "/wood.png\": File too large.\n"))
        << Str(mMessage);
    EXPECT_FALSE(std::filesystem::exists(mOut + "/wood.png"));
    EXPECT_TRUE(NamesWith(mOut, ".tmp").empty());
}

}  // namespace
}  // namespace zeqtest

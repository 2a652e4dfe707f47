#include "formats/geometry/dxf/kzeqwriterdxf.h"

#include <algorithm>

#include "content/kzeqlink.h"
#include "content/kzeqnurb.h"
#include "content/kzeqshape.h"
#include "formats/geometry/dxf/kdxfcolors.h"
#include "formats/geometry/dxf/tests/dxfpeer.h"
#include "formats/geometry/dxf/tests/dxftest_support.h"

namespace zeqtest {
namespace {

// The lines of a file as (code, value) pairs.
Pairs Parse(const std::string& text) {
    Pairs pairs;
    std::istringstream in(text);
    for (std::string code, value; std::getline(in, code) && std::getline(in, value);)
        pairs.push_back({std::stoi(code), value});
    return pairs;
}

// The values of the code within the pairs from the first (0, entity) on, up to the next code 0.
std::vector<std::string> Values(const Pairs& pairs, const char* entity, int code, int skip = 0) {
    std::vector<std::string> values;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        if (pairs[i].first != 0 || pairs[i].second != entity || skip-- > 0) continue;
        for (++i; i < pairs.size() && pairs[i].first != 0; ++i)
            if (pairs[i].first == code) values.push_back(pairs[i].second);
        break;
    }
    return values;
}

class DxfWriterTest : public DxfTest {
protected:
    KZeqMesh* AddMesh(const char* name, const std::vector<KZeqVector4>& points, const std::vector<std::vector<int>>& polygons,
                      KZeqNode* parent = nullptr) {
        KZeqNode* node = mManager.CreateKZeqNode(name);
        KZeqMesh* mesh = mManager.CreateKZeqMesh();
        mesh->InitControlPoints(static_cast<int>(points.size()));
        std::copy(points.begin(), points.end(), mesh->GetControlPoints());
        for (const auto& polygon : polygons) {
            mesh->BeginPolygon();
            for (int index : polygon) mesh->AddPolygon(index);
        }
        node->SetNodeAttribute(mesh);
        (parent ? parent : mScene->GetRootNode())->AddChild(node);
        return mesh;
    }
    KZeqMaterial* Material(double r, double g, double b) {
        KZeqMaterial* material = mManager.CreateKZeqMaterial("M");
        material->SetDiffuse(KZeqColor(r, g, b, 1));
        return material;
    }
    std::string WriteDxf(bool triangulate = true, bool deform = true) {
        const std::string path = mDir / "out.dxf";
        EXPECT_TRUE(Export(path, KZeqExporter::eAUTOCAD_DXF, [&](KStreamOptionsBase& options) {
            options.SetOption(KStreamOptionsBase::eFORCE_TRIANGULATION, triangulate);
            options.SetOption(KStreamOptionsBase::eEVALUATE_DEFORMATIONS, deform);
        })) << Str(mMessage);
        return ReadFile(path);
    }
    const std::vector<KZeqVector4> kTriangle{KZeqVector4(1, 2, 3, 1), KZeqVector4(4, 5, 6, 1), KZeqVector4(7, 8, 9, 1)};
};

TEST_F(DxfWriterTest, EmptyScene) {
    const std::string expected =
        "999\nVonex Zeq DXF\n  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1008\n"
        "  9\n$UCSORG\n 10\n0.0\n 20\n0.0\n 30\n0.0\n  9\n$UCSXDIR\n 10\n1.0\n 20\n0.0\n 30\n0.0\n"
        "  9\n$TILEMODE\n 70\n   1\n  9\n$UCSYDIR\n 10\n0.0\n 20\n1.0\n 30\n0.0\n  0\nENDSEC\n"
        "  0\nSECTION\n  2\nTABLES\n  0\nTABLE\n  2\nLTYPE\n 70\n   1\n  0\nLTYPE\n  2\nCONTINUOUS\n 70\n   64\n"
        "  3\nSolid line\n 72\n   65\n 73\n   0\n 40\n0.0\n  0\nENDTAB\n  0\nTABLE\n  2\nLAYER\n 70\n   0\n"
        "  0\nENDTAB\n  0\nENDSEC\n  0\nSECTION\n  2\nBLOCKS\n  0\nENDSEC\n"
        "  0\nSECTION\n  2\nENTITIES\n  0\nENDSEC\n  0\nEOF\n";
    EXPECT_EQ(expected, WriteDxf());
}

// A point (1, 2, 3) is written (1, -3, 2); faces in reverse order, 1-based;
// a mesh without materials has layer colour 0 and no 62 anywhere else.
TEST_F(DxfWriterTest, PointsFacesAndLayers) {
    AddMesh("Plain", kTriangle, {{0, 1, 2}});
    const Pairs pairs = Parse(WriteDxf());
    EXPECT_EQ((std::vector<std::string>{"Plain"}), Values(pairs, "LAYER", 2));
    EXPECT_EQ((std::vector<std::string>{"   0"}), Values(pairs, "LAYER", 62));
    EXPECT_TRUE(Values(pairs, "POLYLINE", 62).empty());
    EXPECT_EQ((std::vector<std::string>{"   3"}), Values(pairs, "POLYLINE", 71));
    EXPECT_EQ((std::vector<std::string>{"1.000000"}), Values(pairs, "VERTEX", 10));
    EXPECT_EQ((std::vector<std::string>{"-3.000000"}), Values(pairs, "VERTEX", 20));
    EXPECT_EQ((std::vector<std::string>{"2.000000"}), Values(pairs, "VERTEX", 30));
    EXPECT_EQ((std::vector<std::string>{"   128"}), Values(pairs, "VERTEX", 70, 3));
    EXPECT_EQ((std::vector<std::string>{"   3"}), Values(pairs, "VERTEX", 71, 3));
    EXPECT_EQ((std::vector<std::string>{"   2"}), Values(pairs, "VERTEX", 72, 3));
    EXPECT_EQ((std::vector<std::string>{"   1"}), Values(pairs, "VERTEX", 73, 3));
    EXPECT_TRUE(Values(pairs, "VERTEX", 62, 3).empty());
}

// An invisible red mesh: its layer colour -1; its faces take their colour.
TEST_F(DxfWriterTest, HiddenColoredMesh) {
    KZeqMesh* mesh = AddMesh("Red", kTriangle, {{0, 1, 2}});
    mesh->AddMaterial(Material(1, 0, 0));
    Node("Red")->SetVisibility(false);
    const Pairs pairs = Parse(WriteDxf());
    EXPECT_EQ((std::vector<std::string>{"   -1"}), Values(pairs, "LAYER", 62));
    EXPECT_EQ((std::vector<std::string>{"   1"}), Values(pairs, "POLYLINE", 62));
    EXPECT_EQ((std::vector<std::string>{"   1"}), Values(pairs, "VERTEX", 62, 3));
}

// Meshes with materials per polygon, a hidden one and a NURBS (triangulated
// whatever option 2 says) read back: triangles, colours, visibility.
TEST_F(DxfWriterTest, RoundTrip) {
    KZeqMesh* mesh = AddMesh("Pair", {KZeqVector4(0, 0, 0, 1), KZeqVector4(1, 0, 0, 1), KZeqVector4(1, 1, 0, 1),
                                      KZeqVector4(0, 1, 0.5, 1)}, {});
    mesh->InitMaterialIndices(KZeqMesh::eBY_POLYGON);
    mesh->AddMaterial(Material(1, 0, 0));
    mesh->AddMaterial(Material(0, 0, 1));
    mesh->BeginPolygon(0), mesh->AddPolygon(0), mesh->AddPolygon(1), mesh->AddPolygon(2);
    mesh->BeginPolygon(1), mesh->AddPolygon(0), mesh->AddPolygon(2), mesh->AddPolygon(3);
    Node("Pair")->SetDefaultT(KZeqVector4(10, 0, 0, 0));
    AddMesh("Hidden", kTriangle, {{0, 1, 2}})->AddMaterial(Material(0, 1, 0));
    Node("Hidden")->SetVisibility(false);
    KZeqNode* surface = mManager.CreateKZeqNode("Patch");
    KZeqNurb* nurb = mManager.CreateKZeqNurb();
    nurb->SetOrder(2, 2);
    ASSERT_TRUE(nurb->InitControlPoints(2, KZeqNurb::eOPEN, 2, KZeqNurb::eOPEN));
    for (int i = 0; i < 4; ++i) nurb->GetControlPoints()[i].Set(i % 2, i / 2, 0, 1);
    for (int i = 0; i < 4; ++i) nurb->GetUKnotVector()[i] = nurb->GetVKnotVector()[i] = i / 2;
    nurb->SetStep(2, 2);
    surface->SetNodeAttribute(nurb);
    mScene->GetRootNode()->AddChild(surface);
    WriteDxf(false);
    ASSERT_TRUE(Node("Patch")->GetMesh());
    KZeqScene* written = mScene;
    mScene = mManager.CreateKZeqScene();
    ASSERT_TRUE(Import(mDir / "out.dxf", KZeqImporter::eAUTOCAD_DXF, [](KStreamOptionsBase& options) {
        options.SetOption(KStreamOptionsBase::eCREATE_REFERENCE_NODE, 0);
    }));
    KZeqMesh* pair = Mesh("Pair");
    ASSERT_TRUE(pair && pair->GetPolygonCount() == 2);
    EXPECT_EQ((std::vector<int>{0, 2, 3}), Polygon(pair, 1));
    EXPECT_TRUE(pair->GetControlPoints()[3] == KZeqVector4(10, 1, 0.5, 1));
    EXPECT_DOUBLE_EQ(1.0, pair->GetMaterial(pair->GetMaterialIndices()[0])->GetDiffuse().mRed);
    EXPECT_DOUBLE_EQ(1.0, pair->GetMaterial(pair->GetMaterialIndices()[1])->GetDiffuse().mBlue);
    EXPECT_FALSE(Node("Hidden")->GetVisibility());
    EXPECT_TRUE(Node("Pair")->GetVisibility());
    const int triangles = written->GetRootNode()->FindChild("Patch", true, false)->GetMesh()->GetPolygonCount();
    EXPECT_GT(triangles, 0);
    ASSERT_TRUE(Mesh("Patch"));
    EXPECT_EQ(triangles, Mesh("Patch")->GetPolygonCount());
}

// Layer names are one word each (values are read up to a blank), and names
// that would then read back alike (blank or underscore, case) are numbered:
// every mesh comes back as its own node.
TEST_F(DxfWriterTest, NamesWithBlanksStayApart) {
    const char* names[] = {"Qu der01", "Qu der02", "Qu_der01", "qu\tder02", "Torus Knot"};
    for (int i = 0; i < 5; ++i) {
        std::vector<KZeqVector4> points = kTriangle;
        for (KZeqVector4& p : points) p[0] += 100.0 * i;
        AddMesh(names[i], points, {{0, 1, 2}});
    }
    const Pairs pairs = Parse(WriteDxf());
    std::vector<std::string> layers;
    for (int i = 0; i < 5; ++i) layers.push_back(Values(pairs, "LAYER", 2, i).at(0));
    EXPECT_EQ((std::vector<std::string>{"Qu_der01", "Qu_der02", "Qu_der011", "qu_der021", "Torus_Knot"}), layers);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(std::vector<std::string>{layers[i]}, Values(pairs, "POLYLINE", 8, i));
    mScene = mManager.CreateKZeqScene();
    ASSERT_TRUE(Import(mDir / "out.dxf", KZeqImporter::eAUTOCAD_DXF, [](KStreamOptionsBase& options) {
        options.SetOption(KStreamOptionsBase::eCREATE_REFERENCE_NODE, 0);
    }));
    ASSERT_EQ(5, mScene->GetRootNode()->GetChildCount());
    for (int i = 0; i < 5; ++i) {
        KZeqMesh* mesh = Mesh(layers[i].c_str());
        ASSERT_TRUE(mesh && mesh->GetPolygonCount() == 1) << layers[i];
        EXPECT_DOUBLE_EQ(1.0 + 100.0 * i, mesh->GetControlPoints()[0][0]) << layers[i];
    }
}

// Polygons beyond four vertices, with triangulation off, are fans of
// triangles; the header's group 72 still counts polygons.
TEST_F(DxfWriterTest, LargePolygonsAsFans) {
    std::vector<KZeqVector4> points;
    for (int i = 0; i < 5; ++i) points.emplace_back(std::cos(i * 1.2566), std::sin(i * 1.2566), 0, 1);
    AddMesh("Pentagon", points, {{0, 1, 2, 3, 4}});
    const Pairs pairs = Parse(WriteDxf(false));
    EXPECT_EQ((std::vector<std::string>{"   1"}), Values(pairs, "POLYLINE", 72));
    EXPECT_EQ((std::vector<std::string>{"   3", "   2", "   1"}),
              (std::vector<std::string>{Values(pairs, "VERTEX", 71, 5)[0], Values(pairs, "VERTEX", 72, 5)[0],
                                        Values(pairs, "VERTEX", 73, 5)[0]}));
    EXPECT_EQ((std::vector<std::string>{"   5"}), Values(pairs, "VERTEX", 71, 7));
}

// Deformation works on copies: the same file twice, the scene's points kept.
TEST_F(DxfWriterTest, DeformedMeshWrittenTwice) {
    KZeqMesh* mesh = AddMesh("Skin", kTriangle, {{0, 1, 2}});
    KZeqShape* shape = mManager.CreateKZeqShape();
    shape->InitControlPoints(3);
    for (int i = 0; i < 3; ++i) shape->GetControlPoints()[i] = kTriangle[static_cast<std::size_t>(i)] + KZeqVector4(0, 0, 1, 0);
    mesh->AddShape(shape, "Forward");
    mesh->SetDefaultShape(0, 0.5);
    const std::string first = WriteDxf();
    EXPECT_EQ(first, WriteDxf());
    // Triangulation replaced the mesh (a copy with its shapes); its points are those of the rest shape.
    EXPECT_TRUE(Mesh("Skin")->GetControlPoints()[0] == kTriangle[0]);
    // (1, 2, 3.5) as (1, -3.5, 2).
    EXPECT_EQ((std::vector<std::string>{"-3.500000"}), Values(Parse(first), "VERTEX", 20));
    EXPECT_EQ((std::vector<std::string>{"-3.000000"}), Values(Parse(WriteDxf(true, false)), "VERTEX", 20));
}

TEST_F(DxfWriterTest, FailuresAndWarnings) {
    std::vector<KZeqVector4> many(32768, KZeqVector4(0, 0, 0, 1));
    AddMesh("Many", many, {{0, 1, 32767}});
    const Pairs pairs = Parse(WriteDxf());
    // Written as is, with a warning.
    EXPECT_EQ((std::vector<std::string>{"   32768"}), Values(pairs, "VERTEX", 71, 32768));
    EXPECT_NE(std::string::npos, Str(mMessage).find("has more than 32767 points"));
    // A device that fills up: the file to replace stays as it was.
    const std::string kept = WriteText("kept.dxf", "  0\nEOF\n");
    {
        ScopedFileSizeLimit full(64);
        EXPECT_FALSE(Export(kept, KZeqExporter::eAUTOCAD_DXF));
    }
    EXPECT_EQ(KZeqIO::eOutOfDiskSpace, mError);
    EXPECT_NE(std::string::npos, Str(mMessage).find("Error writing \"" + kept + "\"")) << Str(mMessage);
    EXPECT_EQ("  0\nEOF\n", ReadFile(kept));
    KZeqWriterDxf writer(mManager);
    KStreamOptionsBase other;
    EXPECT_FALSE(writer.Write(*mScene, &other));
    EXPECT_EQ(KZeqWriter::eStreamOptionsNotSet, writer.GetLastErrorID());
}

}  // namespace
}  // namespace zeqtest

#include "formats/geometry/dxf/kzeqreaderdxf.h"

#include "formats/geometry/dxf/kdxfcolors.h"
#include "formats/geometry/dxf/tests/dxftest_support.h"

namespace zeqtest {
namespace {

// Colour 0 on a layer whose table colour is -3 is colour 3; the layer's node is hidden.
TEST_F(DxfTest, LayerColorsAndVisibility) {
    // "B" has no 62 and takes A's -3; "C" is on.
    const std::string text = File(Line(0, 0, 0, 1, 0, 0, "B") + Line(0, 0, 0, 1, 0, 0, "C", 256) +
                                      Line(0, 0, 0, 1, 0, 0, "D", 1),
                                  {{"A", -3}, {"B", -1000}, {"C", 5}});
    ASSERT_TRUE(ReadDxf(text)) << mError;
    KZeqMesh* b = Mesh("B");
    ASSERT_TRUE(b && b->GetMaterialCount(0) == 1);
    EXPECT_DOUBLE_EQ(1.0, b->GetMaterial(0)->GetDiffuse().mGreen);
    EXPECT_DOUBLE_EQ(0.0, b->GetMaterial(0)->GetDiffuse().mRed);
    EXPECT_FALSE(Node("B")->GetVisibility());
    // 256 is the layer's colour; the layer table is not a node.
    EXPECT_TRUE(Node("C")->GetVisibility());
    EXPECT_DOUBLE_EQ(1.0, Mesh("C")->GetMaterial(0)->GetDiffuse().mBlue);
    EXPECT_FALSE(Node("A"));
    // One material per colour for the whole read, named in order.
    EXPECT_STREQ("Material::Material2", Mesh("D")->GetMaterial(0)->GetName());
}

// LINEs sharing an end point: one control point with welding, two without;
// each a degenerate triangle (a, b, a).
TEST_F(DxfTest, WeldingJoinsEqualPoints) {
    const std::string text = File(Line(0, 0, 0, 1, 2, 3) + Line(1, 2, 3.0000005, 4, 5, 6));
    ASSERT_TRUE(ReadDxf(text));
    KZeqMesh* mesh = Mesh("0");
    ASSERT_EQ(3, mesh->GetControlPointsCount());
    EXPECT_EQ((std::vector<int>{1, 2, 1}), Polygon(mesh, 1));
    EXPECT_TRUE(mesh->GetControlPoints()[1] == KZeqVector4(1, 3, -2, 1));  // (x, z, -y)
    mScene = mManager.CreateKZeqScene();
    ASSERT_TRUE(ReadDxf(text, 0, false));
    EXPECT_EQ(4, Mesh("0")->GetControlPointsCount());
}

// Corners reversed, a triangle when the fourth repeats the third; a face
// whose first three corners coincide is dropped by layer and by block, kept
// per entity.
TEST_F(DxfTest, FacesByGrouping) {
    const Pairs quad = Face({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
    const Pairs triangle = Face({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}});
    const Pairs degenerate = Face({{2, 2, 2}, {2, 2, 2}, {2, 2, 2}, {3, 3, 3}});
    const std::string text = File(quad + triangle + degenerate);
    ASSERT_TRUE(ReadDxf(text, 0));
    KZeqMesh* mesh = Mesh("0");
    ASSERT_EQ(2, mesh->GetPolygonCount());
    const KZeqVector4 expected[] = {KZeqVector4(0, 0, -1, 1), KZeqVector4(1, 0, -1, 1), KZeqVector4(1, 0, 0, 1),
                                    KZeqVector4(0, 0, 0, 1)};
    for (int k = 0; k < 4; ++k) EXPECT_TRUE(mesh->GetControlPoints()[mesh->GetPolygonVertex(0, k)] == expected[k]) << k;
    EXPECT_EQ(3, mesh->GetPolygonSize(1));
    ASSERT_TRUE(ReadDxf(text, 1));
    EXPECT_EQ(2, Node("ENTITIES")->GetMesh()->GetPolygonCount());
    ASSERT_TRUE(ReadDxf(text, 2));
    for (const char* name : {"3DFACE", "3DFACE1", "3DFACE2"}) EXPECT_TRUE(Mesh(name)) << name;
    ASSERT_EQ(4, Mesh("3DFACE")->GetControlPointsCount());
    for (int k = 0; k < 4; ++k) EXPECT_TRUE(Mesh("3DFACE")->GetControlPoints()[k] == expected[k]) << k;
}

TEST_F(DxfTest, EntityNodesAreNamedUniquely) {
    ASSERT_TRUE(ReadDxf(File(Line(0, 0, 0, 1, 0, 0) + Line(0, 0, 0, 0, 1, 0)), 2, true, true, "dir/Part.DXF"));
    KZeqNode* reference = Node("Part_root");
    ASSERT_TRUE(reference && reference->GetChildCount() == 2);
    EXPECT_STREQ("Model::LINE1", reference->GetChild(1)->GetName());
    EXPECT_EQ(KZeqNode::eWIRE_FRAME, reference->GetChild(0)->GetShadingMode());
}

Pairs Polyline(int flags, const Pairs& vertices, int color = -1) {
    Pairs pairs{{0, "POLYLINE"}, {8, "P"}, {66, "1"}, {70, std::to_string(flags)}};
    if (color >= 0) pairs.push_back({62, std::to_string(color)});
    return pairs + vertices + Pairs{{0, "SEQEND"}};
}

Pairs Vertex(int flags, double x, double y, double z, std::vector<int> faces = {}, int color = -1) {
    Pairs pairs = Pairs{{0, "VERTEX"}, {8, "P"}} + Point(10, x, y, z) + Pairs{{70, std::to_string(flags)}};
    if (color >= 0) pairs.push_back({62, std::to_string(color)});
    for (std::size_t i = 0; i < faces.size(); ++i) pairs.push_back({71 + static_cast<int>(i), std::to_string(faces[i])});
    return pairs;
}

TEST_F(DxfTest, Polylines) {
    // A polyface: four vertices, a quad with a hidden edge (negative index),
    // a segment (no 73), a face naming a vertex it does not have, a face of colour 2.
    const Pairs polyface =
        Polyline(64, Vertex(192, 0, 0, 0) + Vertex(192, 1, 0, 0) + Vertex(192, 1, 1, 0) + Vertex(192, 0, 1, 0) +
                         Vertex(128, 0, 0, 0, {1, -2, 3, 4}) + Vertex(128, 0, 0, 0, {1, 2}) +
                         Vertex(128, 0, 0, 0, {1, 2, 9}) + Vertex(128, 0, 0, 0, {2, 3, 4}, 2) +
                         Vertex(128, 0, 0, 0, {0, 3, 4}));
    // A closed 3D polyline of three vertices: a triangle per segment and the closing one.
    const Pairs closed = Polyline(9, Vertex(32, 5, 0, 0) + Vertex(32, 6, 0, 0) + Vertex(32, 6, 1, 0));
    // A polygon mesh: its vertices (flags 64) give nothing.
    const Pairs grid = Polyline(16, Vertex(64, 0, 0, 0) + Vertex(64, 1, 0, 0));
    ASSERT_TRUE(ReadDxf(File(polyface + closed + grid), 2));
    KZeqMesh* face = Mesh("POLYLINE");
    ASSERT_TRUE(face && face->GetControlPointsCount() == 4 && face->GetPolygonCount() == 3);
    EXPECT_EQ((std::vector<int>{3, 2, 1, 0}), Polygon(face, 0));
    EXPECT_EQ((std::vector<int>{0, 1, 0}), Polygon(face, 1));
    EXPECT_EQ((std::vector<int>{3, 2, 1}), Polygon(face, 2));
    // Only the coloured face has a material.
    EXPECT_EQ((std::vector<int>{-1, -1, 0}), std::vector<int>(face->GetMaterialIndices(), face->GetMaterialIndices() + 3));
    KZeqMesh* line = Mesh("POLYLINE1");
    ASSERT_TRUE(line && line->GetControlPointsCount() == 3);
    EXPECT_EQ(3, line->GetPolygonCount());
    EXPECT_EQ((std::vector<int>{2, 1, 2}), Polygon(line, 1));
    EXPECT_EQ((std::vector<int>{0, 2, 0}), Polygon(line, 2));
    KZeqMesh* empty = Mesh("POLYLINE2");
    EXPECT_TRUE(empty && empty->GetControlPointsCount() == 0 && empty->GetPolygonCount() == 0);
    // By layer the polyface's points follow the layer's points before it, and are never welded.
    mScene = mManager.CreateKZeqScene();
    ASSERT_TRUE(ReadDxf(File(Line(0, 0, 0, 1, 0, 0, "P") + polyface)));
    EXPECT_EQ(6, Mesh("P")->GetControlPointsCount());
    EXPECT_EQ((std::vector<int>{5, 4, 3, 2}), Polygon(Mesh("P"), 1));
}

Pairs Block(const char* name, const Pairs& entities, double x = 0, double y = 0, double z = 0) {
    return Pairs{{0, "BLOCK"}, {8, "0"}, {2, name}, {70, "0"}} + Point(10, x, y, z) + Pairs{{3, name}} + entities +
           Pairs{{0, "ENDBLK"}};
}

Pairs Insert(const char* name, std::vector<double> values = {0, 0, 0, 1, 1, 1, 0}) {
    Pairs pairs{{0, "INSERT"}, {8, "0"}, {2, name}};
    const int codes[] = {10, 20, 30, 41, 42, 43, 50};
    for (int i = 0; i < 7; ++i)
        if (values[i] != (i >= 3 && i < 6 ? 1.0 : 0.0)) pairs.push_back({codes[i], std::to_string(values[i])});
    return pairs;
}

TEST_F(DxfTest, BlockReferences) {
    const Pairs blocks = Block("Leg", Line(0, 0, 0, 0, 0, 1)) +
                         Block("Table", Face({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}) + Insert("Leg") + Insert("Missing")) +
                         Block("Based", Line(1, 2, 3, 4, 5, 6), 1, 2, 3);
    const std::string text =
        File(Insert("Table", {1, 2, 3, 2, 3, 4, 30}) + Insert("Leg") + Insert("Based", {10, 20, 30, 1, 1, 1, 0}) +
             Line(0, 0, 0, 5, 5, 5), {}, blocks);
    for (int grouping : {0, 2, 1}) {
        mScene = mManager.CreateKZeqScene();
        ASSERT_TRUE(ReadDxf(text, grouping)) << grouping;
        KZeqNode* table = Node("Table");
        ASSERT_TRUE(table && table->GetMesh()) << grouping;
        // A block referenced inside a block is its child; a missing block makes nothing.
        ASSERT_EQ(1, table->GetChildCount());
        EXPECT_STREQ("Model::Leg", table->GetChild(0)->GetName());
        KZeqVector4 t, r, s;
        table->GetDefaultS(s), table->GetDefaultR(r), table->GetDefaultT(t);
        EXPECT_TRUE(s == KZeqVector4(2, 4, 3, 0) && r == KZeqVector4(0, 30, 0, 0) && t == KZeqVector4(1, 3, -2, 0));
        // An identity reference leaves the defaults as they were.
        KZeqNode* leg = Node("Leg1");
        ASSERT_TRUE(leg && leg->GetParent() == mScene->GetRootNode());
        leg->GetDefaultT(t), leg->GetDefaultS(s);
        EXPECT_TRUE(t == KZeqVector4() && s == KZeqVector4(1, 1, 1, 0));
        // The base point lands on the insertion point.
        Node("Based")->GetDefaultT(t);
        EXPECT_TRUE(t == KZeqVector4(9, 27, -18, 0));
    }
    // By block the top-level entities make one node beside the references.
    EXPECT_TRUE(Node("ENTITIES") && Node("ENTITIES")->GetParent() == mScene->GetRootNode());
}

// A block that places itself, directly or through another, is refused.
TEST_F(DxfTest, BlocksPlacingThemselvesAreRefused) {
    const Pairs blocks = Block("A", Line(0, 0, 0, 1, 0, 0) + Insert("B")) + Block("B", Insert("A") + Insert("B"));
    ASSERT_TRUE(ReadDxf(File(Insert("A"), {}, blocks)));
    EXPECT_TRUE(Node("A") && Node("B") && !Node("A1"));
    EXPECT_NE(std::string::npos, Str(mMessage).find("Block \"A\" places itself"));
}

struct BadCase {
    const char* mName;
    std::string mText;
};

class DxfBadInputTest : public DxfTest, public testing::WithParamInterface<BadCase> {};

// A file that ends before its entities do fails with nothing of the read left.
TEST_P(DxfBadInputTest, FailsWithNothingLeft) {
    const int nodes = mManager.GetKZeqNodeCount();
    for (int grouping : {0, 1, 2}) {
        EXPECT_FALSE(ReadDxf(GetParam().mText, grouping, true, true)) << grouping;
        EXPECT_EQ(KZeqIO::eFileCorrupted, mError);
        EXPECT_EQ(0, mScene->GetRootNode()->GetChildCount());
        EXPECT_EQ(0, mManager.GetKZeqMaterialCount());
        EXPECT_EQ(nodes, mManager.GetKZeqNodeCount());
    }
}

std::string Cut(const std::string& text, const char* at) { return text.substr(0, text.find(at)); }

const std::string kComplete =
    File(Line(0, 0, 0, 1, 0, 0, "0", 3) + Insert("B") + Face({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, "0", 5),
         {{"0", 7}}, Block("B", Line(0, 0, 0, 2, 0, 0, "0", 1)));

INSTANTIATE_TEST_SUITE_P(Files, DxfBadInputTest,
                         testing::Values(BadCase{"InTheEntities", Cut(kComplete, "3DFACE")},
                                         BadCase{"InTheTables", Cut(kComplete, "ENDTAB")},
                                         BadCase{"InABlock", Cut(kComplete, "ENDBLK")},
                                         BadCase{"AfterAGroupCode", Cut(kComplete, "ENDSEC\n0\nEOF")},
                                         BadCase{"NotADxfFile", "solid cube\n  facet normal 0 0 1\nendsolid\n"}),
                         [](const testing::TestParamInfo<BadCase>& info) { return info.param.mName; });

TEST_F(DxfTest, FilesWithoutEntities) {
    ASSERT_TRUE(ReadDxf(Text({{0, "SECTION"}, {2, "HEADER"}, {0, "ENDSEC"}, {0, "EOF"}}), 0, true, true));
    EXPECT_EQ(0, Node("test_root")->GetChildCount());
    // A value is its line's first word.
    ASSERT_TRUE(ReadDxf(File(Line(0, 0, 0, 1, 0, 0, "MY LAYER"))));
    EXPECT_TRUE(Node("MY"));
}

struct ColorCase {
    int mIndex;
    double mRed, mGreen, mBlue;
};

TEST(DxfColorTest, IndexColors) {
    const ColorCase cases[] = {{1, 1, 0, 0},           {8, 0.502, 0.502, 0.502}, {40, 1, 0.75, 0},     {41, 1, 0.875, 0.5},
                               {44, 0.5, 0.375, 0},    {45, 0.5, 0.4375, 0.25},   {130, 0, 1, 1},      {210, 1, 0, 1},
                               {253, 0.732, 0.732, 0.732}};
    for (const ColorCase& c : cases) {
        KZeqColor color;
        ASSERT_TRUE(TranslateColor(c.mIndex, color)) << c.mIndex;
        EXPECT_NEAR(c.mRed, color.mRed, 1e-12) << c.mIndex;
        EXPECT_NEAR(c.mGreen, color.mGreen, 1e-12) << c.mIndex;
        EXPECT_NEAR(c.mBlue, color.mBlue, 1e-12) << c.mIndex;
    }
    KZeqColor unchanged(0.25, 0.25, 0.25, 1);
    EXPECT_FALSE(TranslateColor(0, unchanged) || TranslateColor(256, unchanged) || TranslateColor(-1, unchanged));
    EXPECT_EQ(0.25, unchanged.mRed);
    // Back to the index: every one from 8 up but those whose colour is one of 1 to 7.
    for (int index = 8; index <= 255; ++index) {
        KZeqColor color;
        TranslateColor(index, color);
        const int back = GetACIFromZEQColor(color);
        if (index == 10 || index == 50 || index == 90 || index == 130 || index == 170 || index == 210 || index == 255)
            EXPECT_TRUE(back >= 1 && back <= 7) << index;
        else
            EXPECT_EQ(index, back) << index;
    }
    EXPECT_EQ(44, GetACIFromZEQColor(KZeqColor(0.5, 0.375, 0, 1)));
    EXPECT_EQ(41, GetACIFromZEQColor(KZeqColor(1, 0.875, 0.5, 1)));
    EXPECT_EQ(252, GetACIFromZEQColor(KZeqColor(0.6, 0.6, 0.6, 1)));
    EXPECT_EQ(250, GetACIFromZEQColor(KZeqColor(0, 0, 0, 1)));
}

}  // namespace
}  // namespace zeqtest

#include "content/kzeqgeometryconverter.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

#include "content/kzeqlink.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnurb.h"
#include "content/kzeqpatch.h"
#include "content/kzeqshape.h"
#include "content/kzeqsurfaceevaluator.h"
#include "content/kzeqweightedmapping.h"
#include "fcurve/kfcurve.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

typedef std::vector<int> Ints;
typedef std::vector<double> Doubles;
template <class T>
std::string Name(const ::testing::TestParamInfo<T>& info) {
    return info.param.mName;
}

class ConverterTest : public ::testing::Test {
protected:
    // Polygons over 300 control points.
    KZeqMesh* Mesh(const std::vector<Ints>& polygons) {
        KZeqMesh* mesh = manager.CreateKZeqMesh();
        mesh->InitControlPoints(300);
        for (const Ints& polygon : polygons) {
            mesh->BeginPolygon();
            for (int v : polygon) mesh->AddPolygon(v);
        }
        return mesh;
    }
    static Ints Polygon(KZeqMesh* mesh, int p) {
        Ints out;
        for (int v = 0; v < mesh->GetPolygonSize(p); ++v) out.push_back(mesh->GetPolygonVertex(p, v));
        return out;
    }
    // A patch of count U x count V points on the unit square, weights 0.
    KZeqPatch* Patch(int countU, int countV, int step, KZeqPatch::EPatchType u = KZeqPatch::eLINEAR,
                     KZeqPatch::EPatchType v = KZeqPatch::eLINEAR, bool closedU = false) {
        KZeqPatch* patch = manager.CreateKZeqPatch();
        patch->InitControlPoints(countU, u, countV, v);
        patch->SetStep(step, step);
        patch->SetClosed(closedU, false);
        for (int i = 0; i < countU * countV; ++i)
            patch->GetControlPoints()[i] = KZeqVector4(i % countU / (countU - 1.0), i / countU / (countV - 1.0), 0, 0);
        return patch;
    }
    KZeqSdkManager manager;
    KZeqGeometryConverter* converter = manager.CreateKZeqGeometryConverter();
};

// ---- Meshes --------------------------------------------------------------------------------------

struct PolygonCase {
    const char* mName;
    int mSize, mTriangles;
    std::vector<Ints> mFirst;  // local vertex numbers
};
class TriangulatePolygon : public ConverterTest, public ::testing::WithParamInterface<PolygonCase> {};

TEST_P(TriangulatePolygon, StripFromBothEnds) {
    const PolygonCase& c = GetParam();
    Ints polygon;
    for (int v = 0; v < c.mSize; ++v) polygon.push_back(10 + v);
    KZeqMesh* mesh = Mesh({polygon, {0, 1, 2}});
    KZeqMesh* result = converter->TriangulateMesh(mesh);
    ASSERT_EQ(c.mTriangles + 1, result->GetPolygonCount());
    for (std::size_t t = 0; t < c.mFirst.size(); ++t)
        EXPECT_EQ((Ints{10 + c.mFirst[t][0], 10 + c.mFirst[t][1], 10 + c.mFirst[t][2]}), Polygon(result, int(t)));
    EXPECT_TRUE(Polygon(result, c.mTriangles) == (Ints{0, 1, 2}) && mesh->GetPolygonSize(0) == c.mSize);
}

INSTANTIATE_TEST_SUITE_P(Sizes, TriangulatePolygon,
                         ::testing::Values(PolygonCase{"Quad", 4, 2, {{0, 1, 2}, {2, 3, 0}}},
                                           PolygonCase{"Pentagon", 5, 3, {{0, 1, 2}, {2, 3, 0}, {0, 3, 4}}},
                                           PolygonCase{"Hexagon", 6, 4, {{0, 1, 2}, {2, 3, 0}, {0, 3, 5}, {3, 4, 5}}},
                                           // Past the 172 vertices of a fixed table.
                                           PolygonCase{"Vertices200", 200, 198, {{0, 1, 2}, {2, 3, 0}, {0, 3, 199}}},
                                           PolygonCase{"TwoVerticesDropped", 2, 0, {}}),
                         Name<PolygonCase>);

TEST_F(ConverterTest, ElementsFollowTheTriangles) {
    KZeqMesh* mesh = manager.CreateKZeqMesh();
    mesh->InitControlPoints(5);
    mesh->InitMaterialIndices(KZeqMesh::eBY_POLYGON);
    mesh->InitTextureUVIndices(KZeqMesh::eBY_POLYGON_VERTEX);
    for (int i = 0; i < 6; ++i) mesh->AddTextureUV(KZeqVector2(i, 0));
    mesh->BeginPolygon(7, -1, 3);  // a quad with UVs 5 4 3 2, group 3, and a triangle
    for (int v = 0; v < 4; ++v) mesh->AddPolygon(v, 5 - v);
    mesh->BeginPolygon(8);
    for (int v = 2; v < 5; ++v) mesh->AddPolygon(v, 0);
    mesh->InitNormals(7);  // by polygon vertex: normal k = (k, 0, 0)
    for (int k = 0; k < 7; ++k) mesh->GetNormals()[k] = KZeqVector4(k, 0, 0, 1);

    KZeqMesh* result = converter->TriangulateMesh(mesh);
    EXPECT_EQ((Ints{2, 3, 0}), Polygon(result, 1));
    EXPECT_EQ((Ints{7, 7, 8}), Ints(result->GetMaterialIndices(), result->GetMaterialIndices() + 3));
    EXPECT_EQ(3, result->GetPolygonGroup(1));
    Ints uvs;
    Doubles normals;
    for (int k = 0; k < 9; ++k) {
        uvs.push_back(result->GetTextureUVIndex(k / 3, k % 3));
        normals.push_back(result->GetNormals()[k][0]);
    }
    EXPECT_EQ((Ints{5, 4, 3, 3, 2, 5, 0, 0, 0}), uvs);
    EXPECT_EQ((Doubles{0, 1, 2, 2, 3, 0, 4, 5, 6}), normals);

    // UVs by control point keep no indices; no element is made up.
    mesh->InitTextureUVIndices(KZeqMesh::eBY_CONTROL_POINT);
    result = converter->TriangulateMesh(Mesh({{0, 1, 2, 3}}));
    EXPECT_TRUE(!result->GetLayer(0)->GetMaterials() && !result->GetLayer(0)->GetTextures());
    result = converter->TriangulateMesh(mesh);
    EXPECT_TRUE(result->GetTextureUVIndex(1, 2) == -1 &&
                result->GetTextureUVMappingType() == KZeqMesh::eBY_CONTROL_POINT);
}

// ---- Grids ---------------------------------------------------------------------------------------

struct GridCase {
    const char* mName;
    unsigned int mX, mY;
    bool mClosedU, mClosedV, mFlip;
    int mTriangles, mChecked;  // the triangle checked
    Ints mVertices, mUVIndices;
    Doubles mUVs;  // u, v of each of its vertices
};
class Grid : public ConverterTest, public ::testing::WithParamInterface<GridCase> {};

TEST_P(Grid, CellsAndCoordinates) {
    const GridCase& c = GetParam();
    KZeqMesh* mesh = manager.CreateKZeqMesh();
    std::unique_ptr<KZEQSurfaceEvaluator> evaluator(KZEQSurfaceEvaluatorCreate());
    evaluator->SetEvaluationModeU(c.mClosedU ? 1 : 0);
    evaluator->SetEvaluationModeV(c.mClosedV ? 1 : 0);
    converter->TriangulateContinuousSurface(mesh, evaluator.get(), c.mX, c.mY, c.mFlip);
    ASSERT_EQ(c.mTriangles, mesh->GetPolygonCount());
    EXPECT_EQ(2 * c.mTriangles, mesh->GetTextureUVCount());
    if (c.mTriangles == 0) return;
    EXPECT_EQ(c.mVertices, Polygon(mesh, c.mChecked));
    for (int v = 0; v < 3; ++v) {
        const int index = mesh->GetTextureUVIndex(c.mChecked, v);
        EXPECT_EQ(c.mUVIndices[v], index);
        EXPECT_TRUE(mesh->GetTextureUV()[index] == KZeqVector2(c.mUVs[2 * v], c.mUVs[2 * v + 1])) << v;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, Grid,
    ::testing::Values(
        GridCase{"Open3x3", 3, 3, false, false, false, 8, 0, {0, 3, 1}, {0, 2, 1}, {0, 0, 0, 0.5, 0.5, 0}},
        GridCase{"Flipped3x3", 3, 3, false, false, true, 8, 7, {5, 8, 7}, {13, 15, 14}, {1, 0.5, 1, 1, 0.5, 1}},
        // The closing cell joins column 3 to 0 at u = 0.75 and 1, its UVs appended as a, b', d, e.
        GridCase{"ClosedU4x2", 4, 2, true, false, false, 8, 7, {0, 7, 4}, {15, 14, 13}, {1, 0, 0.75, 1, 1, 1}},
        GridCase{"ClosedV2x3", 2, 3, false, true, false, 6, 5, {5, 0, 1}, {9, 10, 11}, {1, 2.0 / 3, 0, 1, 1, 1}},
        GridCase{"ClosedBoth3x2", 3, 2, true, true, false, 12, 11, {3, 2, 0}, {23, 22, 21}, {1, 0.5, 2.0 / 3, 1, 1, 1}},
        GridCase{"OneColumn", 1, 5, true, true, false, 0, 0, {}, {}, {}},
        GridCase{"OneRow", 5, 1, false, false, false, 0, 0, {}, {}, {}}),
    Name<GridCase>);

// ---- Surfaces ------------------------------------------------------------------------------------

TEST_F(ConverterTest, PatchAndItsNurbTessellateAlike) {
    KZeqPatch* patch = Patch(3, 3, 2);
    KZeqShape* shape = manager.CreateKZeqShape();
    shape->InitControlPoints(8);  // one point short: taken as zero
    for (int i = 0; i < 8; ++i) shape->GetControlPoints()[i] = patch->GetControlPoints()[i] * 2.0;
    patch->AddShape(shape, "double");
    KZeqMesh* fromPatch = converter->TriangulatePatch(patch);
    KZeqMesh* fromNurb = converter->TriangulateNurb(converter->ConvertPatchToNurb(patch));
    const double near = 1e-7;  // the NURBS evaluator stops a hair short of each span's end
    for (KZeqMesh* mesh : {fromPatch, fromNurb}) {
        ASSERT_EQ(25, mesh->GetControlPointsCount());  // 2 spans x 2 steps + 1, each way
        EXPECT_TRUE(mesh->GetPolygonCount() == 32 && mesh->GetTextureUVCount() == 64);
        EXPECT_EQ(KZeqMesh::eBY_CONTROL_POINT, mesh->GetNormalsMappingType());
        const KZeqVector4 p = mesh->GetControlPoints()[7], n = mesh->GetNormals()[7];  // (2, 1) of 5 x 5
        EXPECT_TRUE(std::abs(p[0] - 0.5) < near && std::abs(p[1] - 0.25) < near && p[3] == 1.0);
        EXPECT_TRUE(n[0] == 0.0 && n[2] != 0.0 && n[3] == 1.0);
        ASSERT_STREQ("double", mesh->GetShapeName(0));
        EXPECT_NEAR(1.0, mesh->GetShape(0)->GetControlPoints()[7][0], near);
        EXPECT_NEAR(0.0, mesh->GetShape(0)->GetControlPoints()[24][0], near);  // by the padded corner
        for (int t = 0; t < 32; ++t) EXPECT_EQ(Polygon(fromPatch, t), Polygon(mesh, t));
        for (int i = 0; i < 25; ++i)
            EXPECT_NEAR(fromPatch->GetControlPoints()[i][1], mesh->GetControlPoints()[i][1], near);
    }
    // Damaged surfaces give empty meshes: a negative step, points without knots.
    EXPECT_EQ(0, converter->TriangulatePatch(Patch(3, 3, -1))->GetControlPointsCount());
    KZeqNurb* nurb = manager.CreateKZeqNurb();
    nurb->KZeqLayerContainer::InitControlPoints(4);
    EXPECT_EQ(0, converter->TriangulateNurb(nurb)->GetPolygonCount());
    EXPECT_TRUE(!converter->TriangulateMesh(nullptr) && !converter->TriangulatePatch(nullptr));
}

struct LinkCase {
    const char* mName;
    KZeqLink::ELinkMode mMode, mExpected;
    std::vector<std::pair<int, double>> mA, mB;  // links keep repeated indices
    Doubles mAt;  // A and B at vertices 1 (between points 0 and 1) and 4 (the centre)
};
class SkinnedPatch : public ConverterTest, public ::testing::WithParamInterface<LinkCase> {};

TEST_P(SkinnedPatch, LinksCarriedThroughTheMapping) {
    const LinkCase& c = GetParam();
    KZeqPatch* patch = Patch(2, 2, 2);  // a 3 x 3 grid over 2 x 2 points
    for (const auto* weights : {&c.mA, &c.mB}) {
        KZeqLink* link = manager.CreateKZeqLink();
        link->SetLinkMode(c.mMode);
        for (const auto& w : *weights) link->AddControlPointIndex(w.first, w.second);
        patch->AddLink(link);
    }
    KZeqMesh* mesh = converter->TriangulatePatch(patch);
    ASSERT_EQ(2, mesh->GetLinkCount());
    std::map<int, double> got[2];
    for (int l = 0; l < 2; ++l)
        for (int k = 0; k < mesh->GetLink(l)->GetControlPointIndicesCount(); ++k)
            got[l][mesh->GetLink(l)->GetControlPointIndices()[k]] = mesh->GetLink(l)->GetControlPointWeights()[k];
    EXPECT_EQ(c.mExpected, mesh->GetLink(0)->GetLinkMode());
    EXPECT_EQ(c.mAt, (Doubles{got[0][1], got[0][4], got[1][1], got[1][4]}));
    for (int v = 0; c.mMode == KZeqLink::eNORMALIZE && v < 9; ++v) EXPECT_NEAR(1.0, got[0][v] + got[1][v], 1e-12);
    EXPECT_EQ(2, patch->GetLinkCount());
}

INSTANTIATE_TEST_SUITE_P(Modes, SkinnedPatch,
                         ::testing::Values(LinkCase{"Additive",
                                                    KZeqLink::eADDITIVE,
                                                    KZeqLink::eADDITIVE,
                                                    {{0, 1}, {1, 1}},
                                                    {{1, 0.5}, {3, 1}},
                                                    {1, 0.5, 0.25, 0.375}},
                                           LinkCase{"Normalized",
                                                    KZeqLink::eNORMALIZE,
                                                    KZeqLink::eTOTAL1,
                                                    {{0, 1}, {1, 1}, {2, 3}},
                                                    {{1, 1}, {2, 1}, {3, 2}},
                                                    {0.75, 0.5625, 0.25, 0.4375}},
                                           // Point 0 twice in A: its shares 0.25 and 0.75 add up to 1.
                                           LinkCase{"NormalizedRepeatedIndex",
                                                    KZeqLink::eNORMALIZE,
                                                    KZeqLink::eTOTAL1,
                                                    {{0, 1}, {0, 3}},
                                                    {{1, 1}, {2, 1}, {3, 1}},
                                                    {0.5, 0.25, 0.5, 0.75}}),
                         Name<LinkCase>);

// One link through two mappings: each vertex the link reaches gets the sum
// of |link weight x surface weight| over the points between, in vertex
// order; a vertex reached with weight 0 only, or not at all, is left out.
TEST_F(ConverterTest, OneLinkThroughTwoMappings) {
    KZeqWeightedMapping link(1, 3), surface(3, 5);
    link.Add(0, 0, 0.0), link.Add(0, 1, -0.5), link.Add(0, 2, 1.0);
    surface.Add(0, 3, 1.0);                           // reached with weight 0 first
    surface.Add(1, 3, 2.0), surface.Add(1, 1, 1.0);   // -0.5 x 2 and -0.5 x 1
    surface.Add(2, 0, 0.25), surface.Add(2, 4, 0.0);  // vertex 4 stays at 0
    KZeqLink* made = manager.CreateKZeqLink();
    KZeqGeometryConverter::ConvertLink(0, link, surface, made);
    std::vector<std::pair<int, double>> got;
    for (int k = 0; k < made->GetControlPointIndicesCount(); ++k)
        got.emplace_back(made->GetControlPointIndices()[k], made->GetControlPointWeights()[k]);
    EXPECT_EQ((std::vector<std::pair<int, double>>{{0, 0.25}, {1, 0.5}, {3, 1.0}}), got);
    KZeqGeometryConverter::ConvertLink(0, link, surface, nullptr);  // nothing to fill
    KZeqGeometryConverter::ConvertLink(1, link, surface, made);     // a link the mapping lacks adds nothing
    EXPECT_EQ(3, made->GetControlPointIndicesCount());
}

// Shape channels are the take root's own children: a shape named like a
// transform channel ("X", "s", "T") must neither move the node nor lose its
// takes' animation when the geometry is replaced.
struct InPlaceCase {
    const char* mName;
    std::vector<const char*> mShapes;
    bool mPatch;
};
class InPlaceShapes : public ConverterTest, public ::testing::WithParamInterface<InPlaceCase> {};

TEST_P(InPlaceShapes, KeepTheirWeightsAndTheCurvesOfTheTakes) {
    const InPlaceCase& c = GetParam();
    KZeqNode* node = manager.CreateKZeqNode("quad");
    EXPECT_FALSE(converter->TriangulateInPlace(node));
    node->CreateTakeNode("one");
    node->CreateTakeNode("two");
    KZeqGeometry* geometry = nullptr;
    if (c.mPatch)
        geometry = Patch(4, 4, 3, KZeqPatch::eBEZIER, KZeqPatch::eBEZIER);
    else
        geometry = Mesh({{0, 1, 2, 3}});
    const int shapes = static_cast<int>(c.mShapes.size());
    for (const char* name : c.mShapes) geometry->AddShape(manager.CreateKZeqShape(), name);
    node->SetNodeAttribute(geometry);
    for (int s = 0; s < shapes; ++s) {
        geometry->SetDefaultShape(s, 0.25 * (s + 1));
        EXPECT_EQ(0.25 * (s + 1), geometry->GetDefaultShape(s)) << c.mShapes[s];
        for (int t = 0; t < 3; ++t)
            for (int k = 0; k <= t; ++k)
                geometry->GetShapeChannel(node->GetTakeNode(t), s)->KeyAppendFast(KTime(k), 10.0f * t + k + 100 * s);
    }
    KZeqVector4 translation, scaling;
    EXPECT_EQ(KZeqVector4(0, 0, 0, 1), node->GetDefaultT(translation));
    EXPECT_EQ(KZeqVector4(1, 1, 1, 1), node->GetDefaultS(scaling));

    ASSERT_TRUE(c.mPatch ? converter->ConvertPatchToNurbInPlace(node) : converter->TriangulateInPlace(node));
    KZeqGeometry* result = c.mPatch ? static_cast<KZeqGeometry*>(node->GetNurb()) : node->GetMesh();
    ASSERT_TRUE(result && result != geometry && result->GetShapeCount() == shapes);
    for (int s = 0; s < shapes; ++s) {
        EXPECT_EQ(0, result->GetShapeChannel(node->GetTakeNode(0), s)->KeyGetCount());  // the default take anew
        for (int t = 1; t < 3; ++t) {
            KFCurve* curve = result->GetShapeChannel(node->GetTakeNode(t), s);
            ASSERT_EQ(t + 1, curve->KeyGetCount()) << c.mShapes[s];
            EXPECT_EQ(11.0f * t + 100 * s, curve->KeyGet(t).GetValue());
        }
    }
    EXPECT_FALSE(manager.DestroyKZeqNodeAttribute(geometry));  // destroyed already
}

INSTANTIATE_TEST_SUITE_P(Names, InPlaceShapes,
                         ::testing::Values(InPlaceCase{"Smile", {"smile"}, false},
                                           InPlaceCase{"TransformAxes", {"X", "y", "Z"}, false},
                                           InPlaceCase{"TransformParts", {"s", "T", "r"}, true}),
                         Name<InPlaceCase>);

// ---- Patch to NURBS --------------------------------------------------------------------------------

struct KnotCase {
    const char* mName;
    KZeqPatch::EPatchType mType;
    int mCount;
    bool mClosed;
    int mOrder;
    KZeqNurb::ENurbType mNurbType;
    Doubles mKnots;
};
class PatchToNurb : public ConverterTest, public ::testing::WithParamInterface<KnotCase> {};

TEST_P(PatchToNurb, OrdersTypesAndKnots) {
    const KnotCase& c = GetParam();
    KZeqNurb* nurb = converter->ConvertPatchToNurb(Patch(c.mCount, 2, 3, c.mType, KZeqPatch::eLINEAR, c.mClosed));
    ASSERT_NE(nullptr, nurb);
    EXPECT_EQ(c.mOrder, nurb->GetUOrder());
    EXPECT_EQ(c.mNurbType, nurb->GetNurbUType());
    EXPECT_EQ(c.mKnots, Doubles(nurb->GetUKnotVector(), nurb->GetUKnotVector() + nurb->GetUKnotCount()));
    EXPECT_EQ((Doubles{0, 0, 1, 1}), Doubles(nurb->GetVKnotVector(), nurb->GetVKnotVector() + 4));
    EXPECT_TRUE(nurb->GetUStep() == 3 && nurb->GetVStep() == 3 && nurb->GetControlPointsCount() == 2 * c.mCount);
    EXPECT_TRUE(nurb->GetControlPoints()[c.mCount][1] == 1.0 && nurb->GetControlPoints()[c.mCount][3] == 1.0);
}

INSTANTIATE_TEST_SUITE_P(
    Types, PatchToNurb,
    ::testing::Values(
        KnotCase{"Bezier4", KZeqPatch::eBEZIER, 4, false, 4, KZeqNurb::eOPEN, {0, 0, 0, 0, 1, 1, 1, 1}},
        KnotCase{"Bezier7", KZeqPatch::eBEZIER, 7, false, 4, KZeqNurb::eOPEN, {0, 0, 0, 0, 1, 1, 1, 2, 2, 2, 2}},
        KnotCase{"BezierClosedStaysOpen", KZeqPatch::eBEZIER, 4, true, 4, KZeqNurb::eOPEN, {0, 0, 0, 0, 1, 1, 1, 1}},
        // Not whole segments: exactly count + 4 knots, clamped at both ends.
        KnotCase{"Bezier5", KZeqPatch::eBEZIER, 5, false, 4, KZeqNurb::eOPEN, {0, 0, 0, 0, 1, 1, 1, 2, 2}},
        KnotCase{"BSplineOpen", KZeqPatch::eBSPLINE, 4, false, 4, KZeqNurb::eOPEN, {0, 1, 2, 3, 4, 5, 6, 7}},
        KnotCase{
            "BSplineClosed", KZeqPatch::eBSPLINE, 4, true, 4, KZeqNurb::ePERIODIC, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        KnotCase{"LinearOpen", KZeqPatch::eLINEAR, 3, false, 2, KZeqNurb::eOPEN, {0, 0, 1, 2, 2}},
        KnotCase{"LinearClosed", KZeqPatch::eLINEAR, 3, true, 2, KZeqNurb::eCLOSED, {0, 0, 1, 2, 3, 3}}),
    Name<KnotCase>);

TEST_F(ConverterTest, InPlaceAndUnsupportedTypes) {
    for (KZeqPatch::EPatchType type : {KZeqPatch::eBEZIER_QUADRIC, KZeqPatch::eCARDINAL}) {
        KZeqNode* node = manager.CreateKZeqNode("patch");
        KZeqPatch* patch = Patch(4, 4, 3, KZeqPatch::eBEZIER, type);
        node->SetNodeAttribute(patch);
        EXPECT_TRUE(!converter->ConvertPatchToNurb(patch) && !converter->ConvertPatchToNurbInPlace(node));
        EXPECT_EQ(patch, node->GetPatch());
    }
    // Supported: the shapes come over with no weight at 0 or below.
    KZeqNode* node = manager.CreateKZeqNode("patch");
    KZeqPatch* patch = Patch(4, 4, 3, KZeqPatch::eBEZIER, KZeqPatch::eBEZIER);
    KZeqShape* shape = manager.CreateKZeqShape();
    shape->InitControlPoints(3);
    shape->GetControlPoints()[0][3] = -1;
    shape->GetControlPoints()[1][3] = 0.5;
    shape->InitNormals(0);
    patch->AddShape(shape, "bulge");
    node->SetNodeAttribute(patch);
    ASSERT_TRUE(converter->ConvertPatchToNurbInPlace(node));
    ASSERT_TRUE(node->GetNurb() && !node->GetPatch());
    const KZeqVector4* points = node->GetNurb()->GetShape(0)->GetControlPoints();
    EXPECT_EQ((Doubles{1, 0.5, 1}), (Doubles{points[0][3], points[1][3], points[2][3]}));
    EXPECT_EQ(1.0, node->GetNurb()->GetShape(0)->GetNormals()[2][3]);
    EXPECT_EQ(nullptr, converter->FlipNurb(nullptr, true, true));
}

// ---- Flip ----------------------------------------------------------------------------------------------

TEST_F(ConverterTest, FlipTransposesPointsElementsShapesAndLinks) {
    KZeqNurb* nurb = manager.CreateKZeqNurb();  // 3 x 2: point (u, v) is u + 3v
    nurb->SetOrder(3, 2);
    nurb->InitControlPoints(3, KZeqNurb::ePERIODIC, 2, KZeqNurb::eOPEN);
    nurb->SetStep(7, 8);
    nurb->GetUKnotVector()[0] = 10;
    nurb->InitNormals(0);
    KZeqShape* shape = manager.CreateKZeqShape();
    shape->InitControlPoints(6);
    for (int i = 0; i < 6; ++i) {
        nurb->GetControlPoints()[i] = KZeqVector4(i, 0, 0, 1);
        nurb->GetNormals()[i] = KZeqVector4(0, i, 0, 1);
        shape->GetControlPoints()[i] = KZeqVector4(0, 0, i, 1);
    }
    nurb->AddShape(shape, "s");
    KZeqLink* link = manager.CreateKZeqLink();
    for (int index : {5, 1, 9}) link->AddControlPointIndex(index, 1.0);
    nurb->AddLink(link);

    KZeqNurb* flipped = converter->FlipNurb(nurb, true, true);
    EXPECT_TRUE(flipped->GetUCount() == 2 && flipped->GetVCount() == 3 && flipped->GetUOrder() == 2 &&
                flipped->GetUStep() == 8 && flipped->GetNurbUType() == KZeqNurb::eOPEN &&
                flipped->GetNurbVType() == KZeqNurb::ePERIODIC);
    EXPECT_TRUE(flipped->GetVKnotCount() == 8 && flipped->GetVKnotVector()[0] == 10.0);
    // New point (u = 1, v = 2) is old point (u = 2, v = 1); the normals and the shape follow.
    Doubles points, normals, shapePoints;
    for (int i = 0; i < 6; ++i) {
        points.push_back(flipped->GetControlPoints()[i][0]);
        normals.push_back(flipped->GetNormals()[i][1]);
        shapePoints.push_back(flipped->GetShape(0)->GetControlPoints()[i][2]);
    }
    EXPECT_EQ((Doubles{0, 3, 1, 4, 2, 5}), points);
    EXPECT_TRUE(points == normals && points == shapePoints);
    // Index 5 (u = 2, v = 1) stays 5; 1 (u = 1, v = 0) becomes 2; 9 names no point and stays.
    const int* indices = flipped->GetLink(0)->GetControlPointIndices();
    EXPECT_EQ((Ints{5, 2, 9}), Ints(indices, indices + 3));
    EXPECT_EQ(1, nurb->GetControlPoints()[1][0]);  // the source is unchanged
    KZeqNurb* copy = converter->FlipNurb(nurb, false, false);
    EXPECT_TRUE(copy->GetUCount() == 3 && copy->GetLink(0)->GetControlPointIndices()[1] == 1);
}

// ---- Normals by polygon vertex ---------------------------------------------------------------------

class EmulateNormals : public ConverterTest {
protected:
    void SetUp() override { Build(); }
    // A cube of 8 points and 6 quads with 24 normals by polygon vertex, a
    // shape matching it and an additive link.
    void Build() {
        mesh = Mesh({{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}});
        shape = manager.CreateKZeqShape(), link = manager.CreateKZeqLink();
        mesh->InitControlPoints(8);
        shape->InitControlPoints(8);
        for (int i = 0; i < 8; ++i) {
            mesh->GetControlPoints()[i] = Corner(i);
            shape->GetControlPoints()[i] = Corner(i) * 2.0;
        }
        mesh->InitNormals(24);
        shape->InitNormals(24);
        mesh->AddShape(shape, "big");
        link->AddControlPointIndex(0, -0.5);
        link->AddControlPointIndex(7, 0.25);
        mesh->AddLink(link);
    }
    static KZeqVector4 Corner(int i) { return KZeqVector4(i & 1, (i >> 1) & 1, (i >> 2) & 1, 1); }
    KZeqMesh* mesh = nullptr;
    KZeqShape* shape = nullptr;
    KZeqLink* link = nullptr;
};

TEST_F(EmulateNormals, CubeGetsAPointPerPolygonVertex) {
    const Ints vertices(mesh->GetPolygonVertices(), mesh->GetPolygonVertices() + 24);
    ASSERT_TRUE(converter->EmulateNormalsByPolygonVertex(mesh));
    ASSERT_EQ(24, mesh->GetControlPointsCount());
    EXPECT_EQ(KZeqMesh::eBY_CONTROL_POINT, mesh->GetNormalsMappingType());
    EXPECT_EQ(KZeqLayerElement::eBY_CONTROL_POINT, shape->GetLayer(0)->GetNormals()->GetMappingMode());
    for (int k = 0; k < 24; ++k) {
        EXPECT_EQ(k, mesh->GetPolygonVertices()[k]);
        EXPECT_TRUE(Corner(vertices[k]) == mesh->GetControlPoints()[k]) << k;
        EXPECT_TRUE(Corner(vertices[k]) * 2.0 == shape->GetControlPoints()[k]) << k;
    }
    // Three corners use point 0 and three point 7: each copy has its point's absolute weight.
    ASSERT_EQ(1, mesh->GetLinkCount());
    KZeqLink* made = mesh->GetLink(0);
    ASSERT_TRUE(made != link && made->GetLinkMode() == KZeqLink::eADDITIVE);
    ASSERT_EQ(6, made->GetControlPointIndicesCount());
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(vertices[made->GetControlPointIndices()[k]] == 0 ? 0.5 : 0.25, made->GetControlPointWeights()[k]);
}

TEST_F(EmulateNormals, MismatchesChangeNothing) {
    void (*const breaks[])(KZeqMesh*, KZeqShape*) = {
        [](KZeqMesh* m, KZeqShape*) { m->InitNormals(23); }, [](KZeqMesh*, KZeqShape* s) { s->InitControlPoints(7); },
        [](KZeqMesh*, KZeqShape* s) { s->InitNormals(0); },
        [](KZeqMesh* m, KZeqShape*) { m->GetPolygonVertices()[3] = 8; },  // past the points
    };
    for (auto change : breaks) {
        Build();
        change(mesh, shape);
        EXPECT_FALSE(converter->EmulateNormalsByPolygonVertex(mesh));
        EXPECT_TRUE(mesh->GetControlPointsCount() == 8 && mesh->GetLink(0) == link);
    }
    KArrayTemplate<KZeqVector4> points;
    KArrayTemplate<int> indices;
    for (int i = 0; i < 3; ++i) points.Add(KZeqVector4(i + 1, 0, 0, 1));
    for (int i : {2, 0, 3, -1}) indices.Add(i);
    KZeqGeometryConverter::DuplicateControlPoints(points, indices);
    EXPECT_EQ((Doubles{3, 1, 0, 0}), (Doubles{points[0][0], points[1][0], points[2][0], points[3][0]}));
}

}  // namespace

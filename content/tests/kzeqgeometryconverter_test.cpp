#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <vector>

#include "content/kzeqgeometryconverter.h"
#include "content/kzeqlink.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnurb.h"
#include "content/kzeqpatch.h"
#include "content/kzeqshape.h"
#include "content/kzeqsurfaceevaluator.h"
#include "fcurve/kfcurve.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"

using namespace zeqsdk_400;

namespace {

typedef KZeqLayerElement E;
typedef std::vector<int> Ints;

class ConverterTest : public ::testing::Test {
protected:
    // One polygon per list, over enough control points.
    KZeqMesh* Mesh(const std::vector<Ints>& polygons, int points = 300) {
        KZeqMesh* mesh = manager.CreateKZeqMesh();
        mesh->InitControlPoints(points);
        for (const Ints& polygon : polygons) {
            mesh->BeginPolygon();
            for (int v : polygon) mesh->AddPolygon(v);
        }
        return mesh;
    }
    static std::vector<Ints> Triangles(KZeqMesh* mesh) {
        std::vector<Ints> out;
        for (int p = 0; p < mesh->GetPolygonCount(); ++p) {
            out.emplace_back();
            for (int v = 0; v < mesh->GetPolygonSize(p); ++v) out.back().push_back(mesh->GetPolygonVertex(p, v));
        }
        return out;
    }
    static Ints UVIndices(KZeqMesh* mesh) {
        const KArrayTemplate<int>& indices = mesh->GetLayer(0)->GetUVs()->GetIndexArray();
        return Ints(indices.GetArray(), indices.GetArray() + indices.GetCount());
    }
    // A linear patch of count x count points on the unit square, z = 0.
    KZeqPatch* Patch(int count, int step) {
        KZeqPatch* patch = manager.CreateKZeqPatch();
        patch->InitControlPoints(count, KZeqPatch::eLINEAR, count, KZeqPatch::eLINEAR);
        patch->SetStep(step, step);
        for (int j = 0; j < count; ++j)
            for (int i = 0; i < count; ++i)
                patch->GetControlPoints()[j * count + i] = KZeqVector4(i / (count - 1.0), j / (count - 1.0), 0, 1);
        return patch;
    }
    KZeqLink* Link(KZeqLink::ELinkMode mode, const std::map<int, double>& weights) {
        KZeqLink* link = manager.CreateKZeqLink();
        link->SetLinkMode(mode);
        for (const auto& w : weights) link->AddControlPointIndex(w.first, w.second);
        return link;
    }
    static std::map<int, double> Weights(KZeqLink* link) {
        std::map<int, double> out;
        for (int k = 0; k < link->GetControlPointIndicesCount(); ++k)
            out[link->GetControlPointIndices()[k]] = link->GetControlPointWeights()[k];
        return out;
    }

    KZeqSdkManager manager;
    KZeqGeometryConverter* converter = manager.CreateKZeqGeometryConverter();
};

// ---- Polygons --------------------------------------------------------------------------------------

struct PolygonCase {
    const char* mName;
    int mSize;
    std::vector<Ints> mFirst;  // the first triangles, local vertex numbers
    int mTriangles;
};

class TriangulatePolygon : public ConverterTest, public ::testing::WithParamInterface<PolygonCase> {};

TEST_P(TriangulatePolygon, FansFromBothEnds) {
    const PolygonCase& c = GetParam();
    Ints polygon;
    for (int v = 0; v < c.mSize; ++v) polygon.push_back(10 + v);  // local v is control point 10 + v
    KZeqMesh* mesh = Mesh({polygon, {0, 1, 2}});
    KZeqMesh* result = converter->TriangulateMesh(mesh);
    const std::vector<Ints> triangles = Triangles(result);
    ASSERT_EQ(static_cast<std::size_t>(c.mTriangles + 1), triangles.size());
    for (std::size_t t = 0; t < c.mFirst.size(); ++t)
        EXPECT_EQ((Ints{10 + c.mFirst[t][0], 10 + c.mFirst[t][1], 10 + c.mFirst[t][2]}), triangles[t]) << t;
    EXPECT_EQ((Ints{0, 1, 2}), triangles.back());
    EXPECT_EQ(2, mesh->GetPolygonCount());  // the source is unchanged
    EXPECT_EQ(c.mSize, mesh->GetPolygonSize(0));
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, TriangulatePolygon,
    ::testing::Values(PolygonCase{"Triangle", 3, {{0, 1, 2}}, 1}, PolygonCase{"Quad", 4, {{0, 1, 2}, {2, 3, 0}}, 2},
                      PolygonCase{"Pentagon", 5, {{0, 1, 2}, {2, 3, 0}, {0, 3, 4}}, 3},
                      PolygonCase{"Hexagon", 6, {{0, 1, 2}, {2, 3, 0}, {0, 3, 5}, {3, 4, 5}}, 4},
                      // Past the 172 vertices a fixed table would hold.
                      PolygonCase{"Vertices200", 200, {{0, 1, 2}, {2, 3, 0}, {0, 3, 199}}, 198},
                      PolygonCase{"TwoVerticesDropped", 2, {}, 0}),
    [](const ::testing::TestParamInfo<PolygonCase>& info) { return std::string(info.param.mName); });

TEST_F(ConverterTest, ElementsFollowTheTriangles) {
    KZeqMesh* mesh = manager.CreateKZeqMesh();
    mesh->InitControlPoints(5);
    mesh->InitMaterialIndices(KZeqMesh::eBY_POLYGON);
    mesh->InitTextureUVIndices(KZeqMesh::eBY_POLYGON_VERTEX);
    for (int i = 0; i < 6; ++i) mesh->AddTextureUV(KZeqVector2(i, 0));
    mesh->BeginPolygon(7, -1, 3);  // a quad, UVs 5 4 3 2, group 3
    for (int v = 0; v < 4; ++v) mesh->AddPolygon(v, 5 - v);
    mesh->BeginPolygon(8);  // a triangle
    for (int v = 2; v < 5; ++v) mesh->AddPolygon(v, 0);
    mesh->InitNormals(7);  // by polygon vertex: normal k = (k, 0, 0)
    for (int k = 0; k < 7; ++k) mesh->GetNormals()[k] = KZeqVector4(k, 0, 0, 1);

    KZeqMesh* result = converter->TriangulateMesh(mesh);
    EXPECT_EQ((std::vector<Ints>{{0, 1, 2}, {2, 3, 0}, {2, 3, 4}}), Triangles(result));
    EXPECT_EQ((Ints{7, 7, 8}), Ints(result->GetMaterialIndices(), result->GetMaterialIndices() + 3));
    EXPECT_EQ(3, result->GetPolygonGroup(1));
    EXPECT_EQ((Ints{5, 4, 3, 3, 2, 5, 0, 0, 0}), UVIndices(result));
    std::vector<double> normals;
    for (int k = 0; k < 9; ++k) normals.push_back(result->GetNormals()[k][0]);
    EXPECT_EQ((std::vector<double>{0, 1, 2, 2, 3, 0, 4, 5, 6}), normals);
    EXPECT_EQ(9, result->GetLayer(0)->GetNormals()->GetDirectArray().GetCount());
}

TEST_F(ConverterTest, UVsByControlPointKeepNoIndicesAndNoElementIsMadeUp) {
    KZeqMesh* mesh = Mesh({{0, 1, 2, 3}}, 4);
    mesh->InitTextureUVIndices(KZeqMesh::eBY_CONTROL_POINT);
    for (int i = 0; i < 4; ++i) mesh->AddTextureUV(KZeqVector2(i, i));
    KZeqMesh* result = converter->TriangulateMesh(mesh);
    for (int p = 0; p < 2; ++p)
        for (int v = 0; v < 3; ++v) EXPECT_EQ(-1, result->GetTextureUVIndex(p, v));
    EXPECT_EQ(E::eBY_CONTROL_POINT, result->GetLayer(0)->GetUVs()->GetMappingMode());
    EXPECT_EQ(4, result->GetTextureUVCount());
    EXPECT_EQ(nullptr, result->GetLayer(0)->GetMaterials());
    EXPECT_EQ(nullptr, result->GetLayer(0)->GetTextures());
}

// ---- Grids ---------------------------------------------------------------------------------------

struct GridCase {
    const char* mName;
    unsigned int mX, mY;
    bool mClosedU, mClosedV, mFlip;
    int mTriangles;
    Ints mLast;  // the last triangle
    std::vector<std::pair<double, double>> mLastUVs;
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
    const int last = c.mTriangles - 1;
    EXPECT_EQ(c.mLast, Triangles(mesh)[static_cast<std::size_t>(last)]);
    for (int v = 0; v < 3; ++v) {
        const KZeqVector2 uv = mesh->GetTextureUV()[mesh->GetTextureUVIndex(last, v)];
        EXPECT_DOUBLE_EQ(c.mLastUVs[v].first, uv[0]) << v;
        EXPECT_DOUBLE_EQ(c.mLastUVs[v].second, uv[1]) << v;
    }
    EXPECT_EQ(-1, mesh->GetPolygonGroup(0));
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, Grid,
    ::testing::Values(
        // The first cell of an open 3 x 3 grid is (0, 3, 1): checked through a 2 x 2 grid.
        GridCase{"Open2x2", 2, 2, false, false, false, 2, {1, 2, 3}, {{1, 0}, {0, 1}, {1, 1}}},
        GridCase{"Open3x3", 3, 3, false, false, false, 8, {5, 7, 8}, {{1, 0.5}, {0.5, 1}, {1, 1}}},
        GridCase{"Flipped3x3", 3, 3, false, false, true, 8, {5, 8, 7}, {{1, 0.5}, {1, 1}, {0.5, 1}}},
        // The closing cell joins column 3 to column 0 at u = 0.75 and 1.
        GridCase{"ClosedU4x2", 4, 2, true, false, false, 8, {0, 7, 4}, {{1, 0}, {0.75, 1}, {1, 1}}},
        GridCase{"ClosedV2x3", 2, 3, false, true, false, 6, {5, 0, 1}, {{1, 2.0 / 3}, {0, 1}, {1, 1}}},
        GridCase{"ClosedBoth3x2", 3, 2, true, true, false, 12, {3, 2, 0}, {{1, 0.5}, {2.0 / 3, 1}, {1, 1}}},
        GridCase{"OneColumn", 1, 5, true, true, false, 0, {}, {}},
        GridCase{"OneRow", 5, 1, false, false, false, 0, {}, {}}),
    [](const ::testing::TestParamInfo<GridCase>& info) { return std::string(info.param.mName); });

TEST_F(ConverterTest, OpenGridStartsAtTheWorkedExample) {
    KZeqMesh* mesh = manager.CreateKZeqMesh();
    std::unique_ptr<KZEQSurfaceEvaluator> evaluator(KZEQSurfaceEvaluatorCreate());
    converter->TriangulateContinuousSurface(mesh, evaluator.get(), 3, 3, false);
    EXPECT_EQ((Ints{0, 3, 1}), Triangles(mesh)[0]);
    const double expected[3][2] = {{0, 0}, {0, 0.5}, {0.5, 0}};
    for (int v = 0; v < 3; ++v) {
        const KZeqVector2 uv = mesh->GetTextureUV()[mesh->GetTextureUVIndex(0, v)];
        EXPECT_EQ(expected[v][0], uv[0]);
        EXPECT_EQ(expected[v][1], uv[1]);
    }
    // The closing cells append their coordinates in their own order.
    KZeqMesh* closed = manager.CreateKZeqMesh();
    evaluator->SetEvaluationModeU(1);
    converter->TriangulateContinuousSurface(closed, evaluator.get(), 2, 2, false);
    ASSERT_EQ(8, closed->GetTextureUVCount());
    EXPECT_EQ(1.0, closed->GetTextureUV()[5][0]);  // (X, j + 1) second
    EXPECT_EQ(1.0, closed->GetTextureUV()[5][1]);
    EXPECT_EQ(1.0, closed->GetTextureUV()[7][0]);  // (X, j) last
    EXPECT_EQ(0.0, closed->GetTextureUV()[7][1]);
}

// ---- Surfaces ------------------------------------------------------------------------------------

TEST_F(ConverterTest, PatchAndItsNurbTessellateAlike) {
    KZeqPatch* patch = Patch(3, 2);
    KZeqShape* shape = manager.CreateKZeqShape();
    shape->InitControlPoints(8);  // one point short: taken as zero
    for (int i = 0; i < 8; ++i) shape->GetControlPoints()[i] = patch->GetControlPoints()[i] * 2.0;
    patch->AddShape(shape, "double");
    KZeqMesh* fromPatch = converter->TriangulatePatch(patch);
    KZeqMesh* fromNurb = converter->TriangulateNurb(converter->ConvertPatchToNurb(patch));

    // The NURBS evaluator stops a hair short of each span's end.
    const double near = 1e-7;
    for (KZeqMesh* mesh : {fromPatch, fromNurb}) {
        ASSERT_EQ(25, mesh->GetControlPointsCount());  // 2 spans x 2 steps + 1, each way
        EXPECT_EQ(32, mesh->GetPolygonCount());
        EXPECT_EQ(64, mesh->GetTextureUVCount());
        EXPECT_EQ(E::eBY_CONTROL_POINT, mesh->GetLayer(0)->GetNormals()->GetMappingMode());
        const KZeqVector4 p = mesh->GetControlPoints()[7];  // (2, 1) of 5 x 5
        EXPECT_NEAR(0.5, p[0], near);
        EXPECT_NEAR(0.25, p[1], near);
        EXPECT_EQ(1.0, p[3]);
        EXPECT_NE(0.0, mesh->GetNormals()[7][2]);
        EXPECT_EQ(0.0, mesh->GetNormals()[7][0]);
        EXPECT_EQ(1.0, mesh->GetNormals()[7][3]);
        ASSERT_EQ(1, mesh->GetShapeCount());
        EXPECT_STREQ("double", mesh->GetShapeName(0));
        EXPECT_NEAR(1.0, mesh->GetShape(0)->GetControlPoints()[7][0], near);
        EXPECT_NEAR(0.0, mesh->GetShape(0)->GetControlPoints()[24][0], near);  // by the padded corner
    }
    for (int i = 0; i < 25; ++i)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(fromPatch->GetControlPoints()[i][c], fromNurb->GetControlPoints()[i][c], near);
    EXPECT_EQ(Triangles(fromPatch), Triangles(fromNurb));
}

struct LinkCase {
    const char* mName;
    KZeqLink::ELinkMode mMode;
    std::map<int, double> mA, mB;
    KZeqLink::ELinkMode mExpectedMode;
    // Vertices 1 (between points 0 and 1) and 4 (the centre) of the 3 x 3 grid.
    double mA1, mA4, mB1, mB4;
};

class SkinnedPatch : public ConverterTest, public ::testing::WithParamInterface<LinkCase> {};

TEST_P(SkinnedPatch, LinksCarriedThroughTheMapping) {
    const LinkCase& c = GetParam();
    KZeqPatch* patch = Patch(2, 2);  // a 3 x 3 grid over 2 x 2 points
    patch->AddLink(Link(c.mMode, c.mA));
    patch->AddLink(Link(c.mMode, c.mB));
    KZeqMesh* mesh = converter->TriangulatePatch(patch);
    ASSERT_EQ(2, mesh->GetLinkCount());
    std::map<int, double> a = Weights(mesh->GetLink(0)), b = Weights(mesh->GetLink(1));
    EXPECT_EQ(c.mExpectedMode, mesh->GetLink(0)->GetLinkMode());
    EXPECT_NEAR(c.mA1, a[1], 1e-12);
    EXPECT_NEAR(c.mA4, a[4], 1e-12);
    EXPECT_NEAR(c.mB1, b[1], 1e-12);
    EXPECT_NEAR(c.mB4, b[4], 1e-12);
    for (int v = 0; c.mMode == KZeqLink::eNORMALIZE && v < 9; ++v) EXPECT_NEAR(1.0, a[v] + b[v], 1e-12) << v;
    EXPECT_EQ(2, patch->GetLinkCount());  // the source keeps its own
}

INSTANTIATE_TEST_SUITE_P(
    Modes, SkinnedPatch,
    ::testing::Values(LinkCase{"Additive", KZeqLink::eADDITIVE, {{0, 1}, {1, 1}}, {{1, 0.5}, {3, 1}},
                               KZeqLink::eADDITIVE, 1, 0.5, 0.25, 0.375},
                      LinkCase{"Normalized", KZeqLink::eNORMALIZE, {{0, 1}, {1, 1}, {2, 3}}, {{1, 1}, {2, 1}, {3, 2}},
                               KZeqLink::eTOTAL1, 0.75, 0.5625, 0.25, 0.4375}),
    [](const ::testing::TestParamInfo<LinkCase>& info) { return std::string(info.param.mName); });

TEST_F(ConverterTest, DamagedSurfacesGiveEmptyMeshes) {
    KZeqPatch* patch = Patch(3, -1);  // a negative step
    KZeqMesh* mesh = converter->TriangulatePatch(patch);
    EXPECT_EQ(0, mesh->GetControlPointsCount());
    EXPECT_EQ(0, mesh->GetPolygonCount());
    KZeqNurb* nurb = manager.CreateKZeqNurb();  // no knots at all
    nurb->KZeqLayerContainer::InitControlPoints(4);
    EXPECT_EQ(0, converter->TriangulateNurb(nurb)->GetPolygonCount());
    EXPECT_EQ(nullptr, converter->TriangulateMesh(nullptr));
    EXPECT_EQ(nullptr, converter->TriangulatePatch(nullptr));
}

// ---- In place ------------------------------------------------------------------------------------

TEST_F(ConverterTest, InPlaceKeepsTheShapeCurvesOfTheTakes) {
    KZeqNode* node = manager.CreateKZeqNode("quad");
    EXPECT_FALSE(converter->TriangulateInPlace(node));
    node->CreateTakeNode("one");
    node->CreateTakeNode("two");
    KZeqMesh* mesh = Mesh({{0, 1, 2, 3}}, 4);
    KZeqShape* shape = manager.CreateKZeqShape();
    shape->InitControlPoints(4);
    mesh->AddShape(shape, "smile");
    node->SetNodeAttribute(mesh);
    for (int t = 0; t < 3; ++t) {
        KFCurve* curve = mesh->GetShapeChannel(node->GetTakeNode(t), 0);
        ASSERT_NE(nullptr, curve);
        for (int k = 0; k <= t; ++k) curve->KeyAppendFast(KTime(k * 1000), 10.0f * t + k);
    }

    ASSERT_TRUE(converter->TriangulateInPlace(node));
    KZeqMesh* result = node->GetMesh();
    ASSERT_NE(mesh, result);
    EXPECT_EQ(2, result->GetPolygonCount());
    EXPECT_EQ(0, result->GetShapeChannel(node->GetTakeNode(0), 0)->KeyGetCount());  // the default take starts anew
    for (int t = 1; t < 3; ++t) {
        KFCurve* curve = result->GetShapeChannel(node->GetTakeNode(t), 0);
        ASSERT_EQ(t + 1, curve->KeyGetCount()) << t;
        EXPECT_EQ(10.0f * t + t, curve->KeyGet(t).GetValue());
    }
    EXPECT_FALSE(manager.DestroyKZeqNodeAttribute(mesh));  // already destroyed
}

}  // namespace

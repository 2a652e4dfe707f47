#include <gtest/gtest.h>

#include <vector>

#include "content/kzeqgeometryconverter.h"
#include "content/kzeqlink.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnurb.h"
#include "content/kzeqpatch.h"
#include "content/kzeqshape.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

typedef std::vector<double> Doubles;
typedef std::vector<int> Ints;

class ConversionsTest : public ::testing::Test {
protected:
    KZeqPatch* Patch(KZeqPatch::EPatchType u, int countU, bool closedU, KZeqPatch::EPatchType v, int countV,
                     bool closedV) {
        KZeqPatch* patch = manager.CreateKZeqPatch();
        patch->InitControlPoints(countU, u, countV, v);
        patch->SetClosed(closedU, closedV);
        patch->SetStep(3, 5);
        for (int i = 0; i < countU * countV; ++i) patch->GetControlPoints()[i] = KZeqVector4(i, 0, 0, 0);
        return patch;
    }
    static Doubles Knots(double* knots, int count) { return Doubles(knots, knots + count); }

    KZeqSdkManager manager;
    KZeqGeometryConverter* converter = manager.CreateKZeqGeometryConverter();
};

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

class PatchToNurb : public ConversionsTest, public ::testing::WithParamInterface<KnotCase> {};

TEST_P(PatchToNurb, OrdersTypesAndKnots) {
    const KnotCase& c = GetParam();
    KZeqPatch* patch = Patch(c.mType, c.mCount, c.mClosed, KZeqPatch::eLINEAR, 2, false);
    KZeqNurb* nurb = converter->ConvertPatchToNurb(patch);
    ASSERT_NE(nullptr, nurb);
    EXPECT_EQ(c.mOrder, nurb->GetUOrder());
    EXPECT_EQ(c.mNurbType, nurb->GetNurbUType());
    EXPECT_EQ(c.mKnots, Knots(nurb->GetUKnotVector(), nurb->GetUKnotCount()));
    EXPECT_EQ((Doubles{0, 0, 1, 1}), Knots(nurb->GetVKnotVector(), nurb->GetVKnotCount()));
    EXPECT_EQ(3, nurb->GetUStep());
    EXPECT_EQ(5, nurb->GetVStep());
    ASSERT_EQ(2 * c.mCount, nurb->GetControlPointsCount());
    EXPECT_EQ(5.0, nurb->GetControlPoints()[5][0]);
    EXPECT_EQ(1.0, nurb->GetControlPoints()[5][3]);
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
        KnotCase{"BSplineClosed", KZeqPatch::eBSPLINE, 4, true, 4, KZeqNurb::ePERIODIC,
                 {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        KnotCase{"LinearOpen", KZeqPatch::eLINEAR, 3, false, 2, KZeqNurb::eOPEN, {0, 0, 1, 2, 2}},
        KnotCase{"LinearClosed", KZeqPatch::eLINEAR, 3, true, 2, KZeqNurb::eCLOSED, {0, 0, 1, 2, 3, 3}}),
    [](const ::testing::TestParamInfo<KnotCase>& info) { return std::string(info.param.mName); });

TEST_F(ConversionsTest, UnsupportedTypesChangeNothing) {
    for (KZeqPatch::EPatchType type : {KZeqPatch::eBEZIER_QUADRIC, KZeqPatch::eCARDINAL}) {
        KZeqNode* node = manager.CreateKZeqNode("patch");
        KZeqPatch* patch = Patch(KZeqPatch::eBEZIER, 4, false, type, 4, false);
        node->SetNodeAttribute(patch);
        EXPECT_EQ(nullptr, converter->ConvertPatchToNurb(patch));
        EXPECT_FALSE(converter->ConvertPatchToNurbInPlace(node));
        EXPECT_EQ(patch, node->GetPatch());
    }
    EXPECT_EQ(nullptr, converter->FlipNurb(nullptr, true, true));
}

TEST_F(ConversionsTest, InPlaceConversionWithShapesOfZeroWeight) {
    KZeqNode* node = manager.CreateKZeqNode("patch");
    KZeqPatch* patch = Patch(KZeqPatch::eBEZIER, 4, false, KZeqPatch::eBEZIER, 4, false);
    KZeqShape* shape = manager.CreateKZeqShape();
    shape->InitControlPoints(3);
    shape->GetControlPoints()[0][3] = -1;
    shape->GetControlPoints()[1][3] = 0.5;
    shape->InitNormals(0);  // zero normals
    patch->AddShape(shape, "bulge");
    node->SetNodeAttribute(patch);
    ASSERT_TRUE(converter->ConvertPatchToNurbInPlace(node));
    KZeqNurb* nurb = node->GetNurb();
    ASSERT_NE(nullptr, nurb);
    EXPECT_EQ(nullptr, node->GetPatch());
    KZeqShape* converted = nurb->GetShape(0);
    EXPECT_EQ((Doubles{1, 0.5, 1}), (Doubles{converted->GetControlPoints()[0][3], converted->GetControlPoints()[1][3],
                                             converted->GetControlPoints()[2][3]}));
    EXPECT_EQ(1.0, converted->GetNormals()[2][3]);
}

// ---- Flip ----------------------------------------------------------------------------------------------

TEST_F(ConversionsTest, FlipTransposesPointsElementsShapesAndLinks) {
    KZeqNurb* nurb = manager.CreateKZeqNurb();
    nurb->SetOrder(3, 2);
    nurb->InitControlPoints(3, KZeqNurb::ePERIODIC, 2, KZeqNurb::eOPEN);
    nurb->SetStep(7, 8);
    for (int i = 0; i < 6; ++i) nurb->GetControlPoints()[i] = KZeqVector4(i, 0, 0, 1);  // point (u, v) is u + 3v
    for (int k = 0; k < nurb->GetUKnotCount(); ++k) nurb->GetUKnotVector()[k] = 10 + k;
    nurb->InitNormals(0);
    for (int i = 0; i < 6; ++i) nurb->GetNormals()[i] = KZeqVector4(0, i, 0, 1);
    KZeqShape* shape = manager.CreateKZeqShape();
    shape->InitControlPoints(6);
    for (int i = 0; i < 6; ++i) shape->GetControlPoints()[i] = KZeqVector4(0, 0, i, 1);
    nurb->AddShape(shape, "s");
    KZeqLink* link = manager.CreateKZeqLink();
    for (int index : {5, 1, 9}) link->AddControlPointIndex(index, 1.0);
    nurb->AddLink(link);

    KZeqNurb* flipped = converter->FlipNurb(nurb, true, true);
    ASSERT_NE(nullptr, flipped);
    EXPECT_EQ(2, flipped->GetUCount());
    EXPECT_EQ(3, flipped->GetVCount());
    EXPECT_EQ(KZeqNurb::eOPEN, flipped->GetNurbUType());
    EXPECT_EQ(KZeqNurb::ePERIODIC, flipped->GetNurbVType());
    EXPECT_EQ(2, flipped->GetUOrder());
    EXPECT_EQ(8, flipped->GetUStep());
    EXPECT_EQ(nurb->GetUKnotCount(), flipped->GetVKnotCount());
    EXPECT_EQ(10.0, flipped->GetVKnotVector()[0]);
    // New point (u = 1, v = 2) is old point (u = 2, v = 1).
    Doubles points, normals, shapePoints;
    for (int i = 0; i < 6; ++i) {
        points.push_back(flipped->GetControlPoints()[i][0]);
        normals.push_back(flipped->GetNormals()[i][1]);
        shapePoints.push_back(flipped->GetShape(0)->GetControlPoints()[i][2]);
    }
    EXPECT_EQ((Doubles{0, 3, 1, 4, 2, 5}), points);
    EXPECT_EQ(points, normals);
    EXPECT_EQ(points, shapePoints);
    EXPECT_EQ(5.0, flipped->GetControlPoints()[2 * 2 + 1][0]);
    // Index 5 (u = 2, v = 1) stays 5; 1 (u = 1, v = 0) becomes 2; 9 names no point and stays.
    KZeqLink* moved = flipped->GetLink(0);
    EXPECT_EQ((Ints{5, 2, 9}), Ints(moved->GetControlPointIndices(), moved->GetControlPointIndices() + 3));
    EXPECT_EQ(1, nurb->GetControlPoints()[1][0]);  // the source is unchanged

    KZeqNurb* copy = converter->FlipNurb(nurb, false, false);
    EXPECT_EQ(3, copy->GetUCount());
    EXPECT_EQ(5, copy->GetLink(0)->GetControlPointIndices()[0]);
}

// ---- Normals by polygon vertex ---------------------------------------------------------------------

class EmulateNormals : public ConversionsTest {
protected:
    // A cube of 8 points and 6 quads with 24 normals by polygon vertex, a
    // shape matching it and an additive link.
    void SetUp() override { Build(); }
    void Build() {
        mesh = manager.CreateKZeqMesh();
        shape = manager.CreateKZeqShape();
        link = manager.CreateKZeqLink();
        static const int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                        {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
        mesh->InitControlPoints(8);
        for (int i = 0; i < 8; ++i) mesh->GetControlPoints()[i] = KZeqVector4(i & 1, (i >> 1) & 1, (i >> 2) & 1, 1);
        for (const auto& face : faces) {
            mesh->BeginPolygon();
            for (int v : face) mesh->AddPolygon(v);
        }
        mesh->InitNormals(24);
        shape->InitControlPoints(8);
        for (int i = 0; i < 8; ++i) shape->GetControlPoints()[i] = mesh->GetControlPoints()[i] * 2.0;
        shape->InitNormals(24);
        mesh->AddShape(shape, "big");
        link->SetLinkMode(KZeqLink::eADDITIVE);
        link->AddControlPointIndex(0, -0.5);
        link->AddControlPointIndex(7, 0.25);
        mesh->AddLink(link);
    }
    KZeqMesh* mesh = nullptr;
    KZeqShape* shape = nullptr;
    KZeqLink* link = nullptr;
};

TEST_F(EmulateNormals, CubeGetsAPointPerPolygonVertex) {
    const Ints vertices(mesh->GetPolygonVertices(), mesh->GetPolygonVertices() + 24);
    ASSERT_TRUE(converter->EmulateNormalsByPolygonVertex(mesh));
    ASSERT_EQ(24, mesh->GetControlPointsCount());
    EXPECT_EQ(KZeqMesh::eBY_CONTROL_POINT, mesh->GetNormalsMappingType());
    for (int k = 0; k < 24; ++k) {
        EXPECT_EQ(k, mesh->GetPolygonVertices()[k]);
        const KZeqVector4 corner = KZeqVector4(vertices[k] & 1, (vertices[k] >> 1) & 1, (vertices[k] >> 2) & 1, 1);
        EXPECT_EQ(corner, mesh->GetControlPoints()[k]) << k;
        EXPECT_EQ(corner * 2.0, shape->GetControlPoints()[k]) << k;
    }
    EXPECT_EQ(KZeqLayerElement::eBY_CONTROL_POINT, shape->GetLayer(0)->GetNormals()->GetMappingMode());
    ASSERT_EQ(1, mesh->GetLinkCount());
    KZeqLink* made = mesh->GetLink(0);
    EXPECT_NE(link, made);
    EXPECT_EQ(KZeqLink::eADDITIVE, made->GetLinkMode());
    // Three corners use point 0 and three point 7: each copy has its point's absolute weight.
    ASSERT_EQ(6, made->GetControlPointIndicesCount());
    for (int k = 0; k < 6; ++k) {
        const int original = vertices[made->GetControlPointIndices()[k]];
        EXPECT_EQ(original == 0 ? 0.5 : 0.25, made->GetControlPointWeights()[k]);
    }
}

TEST_F(EmulateNormals, MismatchesChangeNothing) {
    struct Case {
        const char* mName;
        void (*mBreak)(KZeqMesh*, KZeqShape*);
    };
    const Case cases[] = {
        {"mesh normals", [](KZeqMesh* m, KZeqShape*) { m->InitNormals(23); }},
        {"shape points", [](KZeqMesh*, KZeqShape* s) { s->InitControlPoints(7); }},
        {"shape normals", [](KZeqMesh*, KZeqShape* s) { s->InitNormals(0); }},
        {"vertex past the points", [](KZeqMesh* m, KZeqShape*) { m->GetPolygonVertices()[3] = 8; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mName);
        Build();
        c.mBreak(mesh, shape);
        EXPECT_FALSE(converter->EmulateNormalsByPolygonVertex(mesh));
        EXPECT_EQ(8, mesh->GetControlPointsCount());
        EXPECT_EQ(link, mesh->GetLink(0));
    }
}

TEST_F(ConversionsTest, DuplicateControlPointsTakesOutOfRangeAsZero) {
    KArrayTemplate<KZeqVector4> points;
    for (int i = 0; i < 3; ++i) points.Add(KZeqVector4(i + 1, 0, 0, 1));
    KArrayTemplate<int> indices;
    for (int i : {2, 2, 0, 3, -1}) indices.Add(i);
    KZeqGeometryConverter::DuplicateControlPoints(points, indices);
    Doubles x;
    for (int i = 0; i < points.GetCount(); ++i) x.push_back(points[i][0]);
    EXPECT_EQ((Doubles{3, 3, 1, 0, 0}), x);
}

}  // namespace

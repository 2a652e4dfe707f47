#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <numeric>
#include <random>
#include <vector>

#include "content/kzeqlink.h"
#include "content/kzeqmesh.h"
#include "content/kzeqshape.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

typedef std::vector<double> V;

V XYZW(const KZeqVector4& v) { return {v[0], v[1], v[2], v[3]}; }

KZeqVector4 Corner(int i, double scale = 1.0) {
    return KZeqVector4(scale * (i & 1), scale * ((i >> 1) & 1), scale * ((i >> 2) & 1), 1.0);
}

// Cube faces, counter-clockwise from outside, with their normals.
const int kFaces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
const V kFaceNormals[6] = {{0, 0, -1, 1}, {0, 0, 1, 1}, {0, -1, 0, 1}, {0, 1, 0, 1}, {-1, 0, 0, 1}, {1, 0, 0, 1}};

class MeshNormalsTest : public ::testing::Test {
protected:
    void Points(const std::vector<KZeqVector4>& points) {
        mesh->InitControlPoints(static_cast<int>(points.size()));
        std::copy(points.begin(), points.end(), mesh->GetControlPoints());
    }
    void Polygon(std::initializer_list<int> vertices) {
        mesh->BeginPolygon();
        for (int v : vertices) mesh->AddPolygon(v);
    }
    std::vector<int> Vertices() {
        int count = 0;
        for (int p = 0; p < mesh->GetPolygonCount(); ++p) count += mesh->GetPolygonSize(p);
        return std::vector<int>(mesh->GetPolygonVertices(), mesh->GetPolygonVertices() + count);
    }
    std::vector<int> Merge(bool all, bool expected) {
        KArrayTemplate<int> list;
        EXPECT_EQ(expected, mesh->BuildMergeList(list, KZeqMesh::eNORMALS, all));
        mesh->MergePointsForPolygonVerteNormals(list);
        return std::vector<int>(list.GetArray(), list.GetArray() + list.GetCount());
    }
    KZeqSdkManager manager;
    KZeqMesh* mesh = manager.CreateKZeqMesh();
};

}  // namespace

TEST_F(MeshNormalsTest, CubeSplitsInto24PointsWithItsLinkAndShapeAndMergesBack) {
    mesh->InitControlPoints(8);  // 8 points, 6 quads, hard normals by polygon vertex
    for (int i = 0; i < 8; ++i) mesh->GetControlPoints()[i] = Corner(i);
    for (const auto& face : kFaces) Polygon({face[0], face[1], face[2], face[3]});
    mesh->InitNormals(24);
    for (int j = 0; j < 24; ++j) mesh->GetNormals()[j] = KZeqVector4(kFaceNormals[j / 4].data());
    KZeqLink* link = manager.CreateKZeqLink();
    link->AddControlPointIndex(0, 0.5);
    link->AddControlPointIndex(6, 0.25);
    mesh->AddLink(link);
    KZeqShape* shape = manager.CreateKZeqShape();
    shape->InitControlPoints(7);  // one point short: the last is taken as zero
    for (int i = 0; i < 7; ++i) shape->GetControlPoints()[i] = Corner(i, 2.0);
    mesh->AddShape(shape, "double");
    const std::vector<int> before = Vertices();

    KZeqMesh::KSplitList list;
    mesh->BuildSplitList(list, KZeqMesh::eNORMALS);
    ASSERT_EQ(8, list.GetCount());
    int uses = 0, keeping = 0;
    for (int k = 0; k < 8; ++k) {
        uses += list[k]->GetCount();
        keeping += (*list[k])[0].mControlPoint == k;
    }
    EXPECT_TRUE(uses == 24 && keeping == 8);
    mesh->SplitPointsForHardEdge(list);
    for (int k = 0; k < list.GetCount(); ++k) delete list[k];

    std::vector<int> after = Vertices();
    ASSERT_EQ(24, mesh->GetControlPointsCount());
    EXPECT_EQ(KZeqMesh::eBY_CONTROL_POINT, mesh->GetNormalsMappingType());
    for (int j = 0; j < 24; ++j) {
        EXPECT_EQ(kFaceNormals[j / 4], XYZW(mesh->GetNormals()[after[j]])) << j;
        EXPECT_EQ(XYZW(Corner(before[j])), XYZW(mesh->GetControlPoints()[after[j]])) << j;
        EXPECT_EQ(before[j] == 7 ? V(4, 0.0) : XYZW(Corner(before[j], 2.0)), XYZW(shape->GetControlPoints()[after[j]]));
    }
    ASSERT_EQ(6, link->GetControlPointIndicesCount());  // each corner's weight on its two copies as well
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(XYZW(Corner(link->GetControlPointWeights()[i] == 0.5 ? 0 : 6)),
                  XYZW(mesh->GetControlPoints()[link->GetControlPointIndices()[i]]));
    std::sort(after.begin(), after.end());
    std::vector<int> each(24);
    std::iota(each.begin(), each.end(), 0);
    EXPECT_EQ(each, after);  // every point used once

    Merge(false, true);
    EXPECT_EQ(before, Vertices());
    EXPECT_EQ(8, mesh->GetControlPointsCount());
    EXPECT_EQ(KZeqMesh::eBY_POLYGON_VERTEX, mesh->GetNormalsMappingType());
    for (int j = 0; j < 24; ++j) EXPECT_EQ(kFaceNormals[j / 4], XYZW(mesh->GetNormals()[j]));
    EXPECT_TRUE(link->GetControlPointIndicesCount() == 2 && link->GetControlPointIndices()[1] == 6);
    EXPECT_TRUE(shape->GetControlPointsCount() == 8 && shape->GetControlPoints()[6][1] == 2.0);

    mesh->GetLayer(0)->GetNormals()->GetDirectArray().Clear();
    EXPECT_FALSE(mesh->CheckIfVertexNormalsCCW());  // no stored normals
    mesh->ComputeVertexNormals(false);
    const double s = 1 / std::sqrt(3.0);
    EXPECT_NEAR(0.0, (mesh->GetNormals()[0] - KZeqVector4(-s, -s, -s, 1)).Length(), 1e-12);
    EXPECT_TRUE(mesh->CheckIfVertexNormalsCCW());
    mesh->ComputeVertexNormals(true);
    EXPECT_FALSE(mesh->CheckIfVertexNormalsCCW());
}

TEST_F(MeshNormalsTest, MergeListsAndMerges) {
    const KZeqVector4 p(1, 2, 3, 1), q(4, 5, 6, 1), nearP(1 + 5e-7, 2, 3 - 5e-7, 1), r(1, 2, 3 + 2e-6, 1);
    const struct {
        const char* mName;
        std::vector<KZeqVector4> mPoints;
        bool mAll, mFound;
        std::vector<int> mList, mVertices;  // vertices after merging, from 0, 1, 2, ...
    } rows[] = {
        {"pairs", {p, q, nearP, q}, false, true, {0, 1, 0, 1}, {0, 1, 0, 1}},
        {"distinct", {p, q, r}, false, false, {0, 1, 2}, {0, 1, 2}},
        // Past the first duplicate an unclaimed point keeps its own entry and its place.
        {"early duplicate", {p, p, q, p, q}, false, true, {0, 0, 2, 0, 4}, {0, 0, 1, 0, 2}},
        // The whole list names the last earlier equal point; a merge follows the chain.
        {"chain", {p, p, p, q}, true, true, {0, 0, 1, 3}, {0, 0, 0, 1}},
    };
    for (const auto& row : rows) {
        mesh->Reset();
        Points(row.mPoints);
        mesh->InitNormals(0);
        mesh->BeginPolygon();
        for (int i = 0; i < static_cast<int>(row.mPoints.size()); ++i) {
            mesh->AddPolygon(i);
            mesh->GetNormals()[i] = KZeqVector4(i, 0, 0, 1);
        }
        EXPECT_EQ(row.mList, Merge(row.mAll, row.mFound)) << row.mName;
        EXPECT_EQ(row.mVertices, Vertices()) << row.mName;
        EXPECT_EQ(row.mFound ? KZeqMesh::eBY_POLYGON_VERTEX : KZeqMesh::eBY_CONTROL_POINT,
                  mesh->GetNormalsMappingType())
            << row.mName;
        for (int j = 0; j < static_cast<int>(row.mPoints.size()); ++j) EXPECT_EQ(j, mesh->GetNormals()[j][0]);
    }
}

TEST_F(MeshNormalsTest, GridMergeListEqualsThePairwiseScan) {
    // Clusters straddling cell borders, some within the tolerance, some just outside.
    std::mt19937 random(7);
    std::uniform_int_distribution<int> cluster(0, 2999), jitter(-3, 3);
    std::vector<KZeqVector4> points(10000);
    for (KZeqVector4& point : points) {
        const int c = cluster(random);
        point = KZeqVector4((c % 10) * 8e-6 + jitter(random) * 4e-7, (c / 10 % 10) * 1e-5, c / 100 + jitter(random) * 3e-7,
                            1);
    }
    points[5][1] = std::nan("");
    points[6][0] = 1e300;
    Points(points);
    for (bool all : {false, true}) {
        std::vector<int> expected(points.size());
        std::iota(expected.begin(), expected.end(), 0);
        int first = INT_MAX;
        for (int i = 0; i < static_cast<int>(points.size()) && (all || first > i); ++i)
            for (int j = i + 1; j < static_cast<int>(points.size()); ++j)
                if (points[i] == points[j]) {
                    first = std::min(first, j);
                    expected[j] = i;
                }
        KArrayTemplate<int> list;
        EXPECT_TRUE(mesh->BuildMergeList(list, KZeqMesh::eNORMALS, all));
        EXPECT_EQ(expected, std::vector<int>(list.GetArray(), list.GetArray() + list.GetCount())) << all;
    }
}

TEST_F(MeshNormalsTest, TriangleNormalsThenASplitSkippingWhatIsOutOfRange) {
    Points({KZeqVector4(0, 0, 0, 1), KZeqVector4(1, 0, 0, 1), KZeqVector4(0, 1, 0, 1), KZeqVector4(5, 5, 5, 1)});
    Polygon({0, 1, 2});
    Polygon({2, 99, -1, 1});  // corners next to a missing point contribute nothing
    for (bool clockwise : {true, false}) {
        mesh->ComputeVertexNormals(clockwise);
        for (int k = 0; k < 3; ++k) EXPECT_EQ(V({0, 0, clockwise ? -1.0 : 1.0, 1}), XYZW(mesh->GetNormals()[k]));
        EXPECT_EQ(V({0, 0, 0, 1}), XYZW(mesh->GetNormals()[3]));  // unused
    }
    KZeqMesh::KSplitList list;
    mesh->BuildSplitList(list, KZeqMesh::eNORMALS);
    ASSERT_TRUE(list.GetCount() == 4 && list[2]->GetCount() == 2 && list[3]->GetCount() == 0);
    list[1]->Add(KZeqMesh::KDuplicateVertex{0, 1 << 30, KZeqVector4()});  // names no new point
    list[1]->Add(KZeqMesh::KDuplicateVertex{-4, 5, KZeqVector4()});       // no polygon vertex
    mesh->SplitPointsForHardEdge(list);
    for (int k = 0; k < list.GetCount(); ++k) delete list[k];
    EXPECT_EQ(std::vector<int>({0, 1, 2, 4, 99, -1, 5}), Vertices());
    EXPECT_EQ(6, mesh->GetControlPointsCount());
    Merge(false, true);
    EXPECT_EQ(std::vector<int>({0, 1, 2, 2, 99, -1, 1}), Vertices());
    EXPECT_EQ(4, mesh->GetControlPointsCount());
}

TEST_F(MeshNormalsTest, SplitWithoutNormalsStillMakesItsPoints) {
    Points({KZeqVector4(0, 0, 0, 1), KZeqVector4(1, 0, 0, 1), KZeqVector4(0, 1, 0, 1)});
    Polygon({0, 1, 2});
    Polygon({2, 1, 0});
    KZeqMesh::KSplitList list;
    mesh->BuildSplitList(list, KZeqMesh::eNORMALS);
    mesh->SplitPointsForHardEdge(list);
    for (int k = 0; k < list.GetCount(); ++k) delete list[k];
    EXPECT_EQ(std::vector<int>({0, 1, 2, 3, 4, 5}), Vertices());
    EXPECT_TRUE(mesh->GetControlPointsCount() == 6 && mesh->GetControlPoints()[5][0] == 0 && !mesh->GetNormals());
}

// NURBS surfaces (U and V exchanged, knots extended, periodic vertices dropped, steps), then the
// clean-up passes: target nodes removed and hard-edged meshes split.
#include "zeqtuloexport_test_support.h"

#include <sstream>

#include "content/kzeqlayer.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnurb.h"
#include "tfndagnode.h"

using namespace zeqsdk_400;

namespace {

TPlug At(const TObject& node, const char* attr) { return TFnDependencyNode(node).findPlug(attr); }

std::vector<double> Knots(const double* knots, int count) { return std::vector<double>(knots, knots + count); }

// x y z w per CV, host U-major: CV (u, v) at (u, v, 0) with weight w.
std::vector<double> Grid(int nu, int nv, double w = 1.0) {
    std::vector<double> cvs;
    for (int u = 0; u < nu; ++u)
        for (int v = 0; v < nv; ++v) cvs.insert(cvs.end(), {double(u), double(v), 0.0, w});
    return cvs;
}

using NurbsTest = ExportTest;

// Degree 3 in U and 1 in V, open, 4 x 2 vertices: orders (2, 4), counts (2, 4), both open; each
// knot vector one knot longer at each end; control point i * 2 + j is host vertex (i, j).
TEST_F(NurbsTest, DirectionsExchangedAndKnotsExtended) {
    ASSERT_FALSE(standin::createNurbs("sheet", Grid(4, 2, 2.0), {0, 0, 0, 1, 1, 1}, {0, 1}, 3, 1, 1, 1).isNull());
    ExportProbe exporter;
    exporter.Walks();
    KZeqNurb* nurb = exporter.Node("|sheet")->GetNurb();
    ASSERT_NE(nurb, nullptr);
    EXPECT_EQ(nurb->GetUOrder(), 2);
    EXPECT_EQ(nurb->GetVOrder(), 4);
    EXPECT_EQ(nurb->GetUCount(), 2);
    EXPECT_EQ(nurb->GetVCount(), 4);
    EXPECT_EQ(nurb->GetNurbUType(), KZeqNurb::eOPEN);
    EXPECT_EQ(nurb->GetNurbVType(), KZeqNurb::eOPEN);
    EXPECT_EQ(Knots(nurb->GetUKnotVector(), nurb->GetUKnotCount()), (std::vector<double>{-1, 0, 1, 2}));
    EXPECT_EQ(Knots(nurb->GetVKnotVector(), nurb->GetVKnotCount()), (std::vector<double>{0, 0, 0, 0, 1, 1, 1, 1}));
    const KZeqVector4* points = nurb->GetControlPoints();
    EXPECT_EQ(points[2 * 2 + 1][0], 2.0);  // host (2, 1)
    EXPECT_EQ(points[2 * 2 + 1][1], 1.0);
    EXPECT_EQ(points[5][3], 2.0) << "the weight";
    EXPECT_EQ(exporter.Node("|sheet")->GetShapeIndex(), 0);
    EXPECT_EQ(nurb->GetUStep(), 4);
}

// A periodic direction of degree 3 with 11 vertices keeps 8 (the fixture's tube); a closed one
// keeps all and is open.
TEST_F(NurbsTest, PeriodicDropsItsRepeatsClosedIsOpen) {
    ASSERT_TRUE(standin::buildScene("nurbs"));
    ASSERT_FALSE(standin::createNurbs("band", Grid(5, 2), {0, 0, 0, 1, 2, 2, 2}, {0, 1}, 3, 1, 2, 1).isNull());
    ExportProbe exporter;
    exporter.Walks();
    KZeqNurb* tube = exporter.Node("|tube")->GetNurb();
    ASSERT_NE(tube, nullptr);
    EXPECT_EQ(tube->GetNurbVType(), KZeqNurb::ePERIODIC);
    EXPECT_EQ(tube->GetVCount(), 8);
    EXPECT_EQ(tube->GetVKnotCount(), 15);
    KZeqNurb* band = exporter.Node("|band")->GetNurb();
    ASSERT_NE(band, nullptr);
    EXPECT_EQ(band->GetNurbVType(), KZeqNurb::eOPEN);
    EXPECT_EQ(band->GetVCount(), 5);
}

// The step: the shaded precision, at most 15, truncated.
TEST_F(NurbsTest, StepFromTheShadedPrecision) {
    for (const auto& [precision, step] : std::vector<std::pair<double, int>>{{4, 4}, {20, 15}, {7.9, 7}}) {
        standin::reset();
        TObject shape = standin::createNurbs("sheet", Grid(4, 2), {0, 0, 0, 1, 1, 1}, {0, 1}, 3, 1, 1, 1);
        At(shape, "curvePrecisionShaded").setValue(precision);
        ExportProbe exporter;
        exporter.Walks();
        KZeqNurb* nurb = exporter.Node("|sheet")->GetNurb();
        ASSERT_NE(nurb, nullptr);
        EXPECT_EQ(nurb->GetUStep(), step) << precision;
        EXPECT_EQ(nurb->GetVStep(), step) << precision;
    }
}

// Forms the export cannot carry, and surfaces with fewer vertices than their degree needs: the
// node stays without a surface (the latter with a log line).
TEST_F(NurbsTest, UnusableSurfacesLeaveTheNodeBare) {
    ASSERT_FALSE(standin::createNurbs("formless", Grid(4, 2), {0, 0, 0, 1, 1, 1}, {0, 1}, 3, 1, 0, 1).isNull());
    ASSERT_FALSE(standin::createNurbs("thin", Grid(1, 2), {0}, {0, 1}, 1, 1, 1, 1).isNull());
    ExportProbe exporter;
    exporter.OpenLog();
    exporter.Walks();
    ASSERT_TRUE(exporter.Node("|formless") && exporter.Node("|thin"));
    EXPECT_EQ(exporter.Node("|formless")->GetNodeAttribute(), nullptr);
    EXPECT_EQ(exporter.Node("|thin")->GetNodeAttribute(), nullptr);
    exporter.mLog.reset();
    EXPECT_NE(Log().find("The NURBS surface thin has too few knots or control vertices"), std::string::npos) << Log();
    EXPECT_EQ(Log().find("formless"), std::string::npos);
}

using CleanUpTest = ExportTest;

// A hard-edged cube: after the split every polygon vertex has its own control point (24) and the
// normals are per control point.
TEST_F(CleanUpTest, HardCubeSplitsToTwentyFourPoints) {
    standin::createCube("box", true);
    Params()->SetBoolParam(ZeqTuloUserParams::kExportHardEdges, true);
    ExportProbe exporter;
    exporter.OpenLog();
    exporter.Walks();
    exporter.SplitMeshOnNormalPerPolyVertex(exporter.mRootNode);
    KZeqMesh* mesh = exporter.Node("|box")->GetMesh();
    EXPECT_EQ(mesh->GetControlPointsCount(), 24);
    EXPECT_EQ(mesh->GetNormalsMappingType(), KZeqMesh::eBY_CONTROL_POINT);
    EXPECT_EQ(mesh->GetLayer(0)->GetNormals()->GetDirectArray().GetCount(), 24);
}

// A mesh with its normals per control point is left as it is, shared positions and all.
TEST_F(CleanUpTest, NormalsByControlPointAreNotSplit) {
    standin::createCube("box", true);
    ExportProbe exporter;
    exporter.OpenLog();
    exporter.Walks();
    exporter.SplitMeshOnNormalPerPolyVertex(exporter.mRootNode);
    EXPECT_EQ(exporter.Node("|box")->GetMesh()->GetControlPointsCount(), 8);
    exporter.mLog.reset();
    EXPECT_EQ(Log(), "");
}

// 50 pairs of points at one position: 50 log lines, the first 39 in the dialog, then the closing
// sentence; the split goes on.
TEST_F(CleanUpTest, SharedPositionsAreReported) {
    ExportProbe exporter;
    ZeqTuloNode* node = exporter.mSdkManager.CreateZeqTuloNode("pairs", nullptr);
    exporter.mRootNode->AddChild(node);
    KZeqMesh* mesh = exporter.mSdkManager.CreateKZeqMesh();
    node->SetNodeAttribute(mesh);
    mesh->InitControlPoints(100);
    for (int i = 0; i < 100; ++i) mesh->GetControlPoints()[i] = KZeqVector4(i / 2, 0, 0, 1);
    for (int p = 0; p < 25; ++p) {
        mesh->BeginPolygon();
        for (int k = 0; k < 4; ++k) mesh->AddPolygon(4 * p + k);
        mesh->EndPolygon();
    }
    mesh->InitNormals(100);
    mesh->SetNormalsMappingType(KZeqMesh::eBY_POLYGON_VERTEX);
    Params()->SetBoolParam(ZeqTuloUserParams::kExportShowUI, true);
    standin::dialogs().push("Ok", "ZEQ Export Warning");
    exporter.OpenLog();
    exporter.SplitMeshOnNormalPerPolyVertex(exporter.mRootNode);
    exporter.mLog.reset();
    const std::string log = Log();
    int lines = 0;
    for (std::size_t at = 0; (at = log.find("have the same 3D coordinate.", at)) != std::string::npos; ++at) ++lines;
    EXPECT_EQ(lines, 50);
    EXPECT_NE(log.find("\tVertices 0 and 1 of mesh Model::pairs have the same 3D coordinate.\n"), std::string::npos);
    ASSERT_EQ(standin::dialogs().records().size(), 1u);
    const std::string message = standin::dialogs().records()[0].message;
    EXPECT_NE(message.find("Vertices 76 and 77"), std::string::npos);
    EXPECT_EQ(message.find("Vertices 78 and 79"), std::string::npos);
    EXPECT_NE(message.find("\n\n\nThe import [Add to new scene] process will most likely produce erroneous results.\n"),
              std::string::npos)
        << message;
}

// Target nodes are taken out of the scene, detached and destroyed; the list ends empty.
TEST_F(CleanUpTest, TargetNodesAreRemoved) {
    ExportProbe exporter;
    const int before = exporter.mSdkManager.GetKZeqNodeCount();
    for (const char* name : {"t1", "t2", "t3"}) {
        ZeqTuloNode* node = exporter.mSdkManager.CreateZeqTuloNode(name, nullptr);
        exporter.mRootNode->AddChild(node);
        node->AddChild(exporter.mSdkManager.CreateZeqTuloNode((std::string(name) + "child").c_str(), nullptr));
        exporter.mTargetShapeNodes.Add(node);
    }
    exporter.RemoveTargetShapeGeometry();
    EXPECT_EQ(exporter.mTargetShapeNodes.GetCount(), 0);
    EXPECT_EQ(exporter.mRootNode->GetChildCount(false), 0);
    EXPECT_EQ(exporter.mSdkManager.GetKZeqNodeCount(), before);
}

}  // namespace

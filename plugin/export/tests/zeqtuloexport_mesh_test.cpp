// The mesh writer: control points, polygons and normals of host meshes, the consistency check
// against the mesh before deformation, and positions taken from a skin's input.
#include "zeqtuloexport_test_support.h"

#include <cmath>

#include "content/kzeqlayer.h"
#include "content/kzeqmesh.h"
#include "tfndagnode.h"
#include "tfnmesh.h"
#include "tfntransform.h"

using namespace zeqsdk_400;

namespace {

using MeshTest = ExportTest;

KZeqLayerElementNormal* Normals(KZeqMesh* mesh) {
    return mesh && mesh->GetLayer(0) ? mesh->GetLayer(0)->GetNormals() : nullptr;
}

// Hard edges off: normals one per control point, even on a cube whose normals are per face-vertex.
// A cube vertex is on three faces, so each takes the host's vertex normal (its three faces' mean,
// normalised).
TEST_F(MeshTest, NormalsByControlPointWithoutHardEdges) {
    standin::createCube("box", true);
    ExportProbe exporter;
    exporter.Walks();
    KZeqMesh* mesh = exporter.Node("|box")->GetMesh();
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->GetControlPointsCount(), 8);
    ASSERT_EQ(mesh->GetPolygonCount(), 6);
    EXPECT_EQ(mesh->GetPolygonVertex(0, 1), 2);  // the host's vertex order of face 0: 0 2 3 1
    KZeqLayerElementNormal* normals = Normals(mesh);
    ASSERT_NE(normals, nullptr);
    EXPECT_EQ(normals->GetMappingMode(), KZeqLayerElement::eBY_CONTROL_POINT);
    ASSERT_EQ(normals->GetDirectArray().GetCount(), 8);
    const KZeqVector4& n0 = normals->GetDirectArray()[0];  // vertex (-1, -1, -1)
    EXPECT_NEAR(n0[0], -1.0 / std::sqrt(3.0), 1e-6);
    EXPECT_NEAR(n0[1], -1.0 / std::sqrt(3.0), 1e-6);
    EXPECT_EQ(n0[3], 1.0);
    EXPECT_EQ(mesh->GetControlPoints()[7][0], 1.0);
    EXPECT_EQ(exporter.Node("|box")->GetShadingMode(), KZeqNode::eTEXTURE_SHADING);
}

// Hard edges on: a cube with 24 normals gets them by polygon vertex, four per face in the face's
// vertex order; a smooth mesh (8 normals for 8 vertices) keeps them by control point.
TEST_F(MeshTest, HardCubeNormalsByPolygonVertex) {
    standin::createCube("hard", true);
    standin::createCube("smooth", false);
    Params()->SetBoolParam(ZeqTuloUserParams::kExportHardEdges, true);
    ExportProbe exporter;
    exporter.Walks();
    KZeqLayerElementNormal* hard = Normals(exporter.Node("|hard")->GetMesh());
    ASSERT_NE(hard, nullptr);
    EXPECT_EQ(hard->GetMappingMode(), KZeqLayerElement::eBY_POLYGON_VERTEX);
    ASSERT_EQ(hard->GetDirectArray().GetCount(), 24);
    for (int c = 0; c < 4; ++c) {  // face 0 lies at z = -1
        EXPECT_EQ(hard->GetDirectArray()[c][2], -1.0) << c;
        EXPECT_EQ(hard->GetDirectArray()[c][3], 1.0) << c;
    }
    EXPECT_EQ(hard->GetDirectArray()[4][2], 1.0);  // face 1 at z = +1
    KZeqLayerElementNormal* smooth = Normals(exporter.Node("|smooth")->GetMesh());
    ASSERT_NE(smooth, nullptr);
    EXPECT_EQ(smooth->GetMappingMode(), KZeqLayerElement::eBY_CONTROL_POINT);
}

// A vertex on a single polygon takes that polygon's normal (a flat grid: all up).
TEST_F(MeshTest, SinglePolygonVertexTakesItsFaceNormal) {
    standin::createGrid("flat", 2, 1);
    ExportProbe exporter;
    exporter.Walks();
    KZeqLayerElementNormal* normals = Normals(exporter.Node("|flat")->GetMesh());
    ASSERT_NE(normals, nullptr);
    ASSERT_EQ(normals->GetDirectArray().GetCount(), 6);
    EXPECT_NEAR(std::fabs(normals->GetDirectArray()[0][1]), 1.0, 1e-6);
}

// A skin whose input has another topology than its output: three log lines, a flag, no mesh.
TEST_F(MeshTest, MismatchedFinalMeshIsFlaggedAndLeftOut) {
    TObject finalShape = standin::createGrid("skinned", 2, 1);
    TObject original = standin::createGrid("source", 2, 2);
    TObject joint = standin::createNode("joint", "bone");
    std::vector<std::vector<float>> weights(1, std::vector<float>(6, 1.0f));
    ASSERT_FALSE(standin::createSkin("skin", original, finalShape, {joint}, weights).isNull());
    Params()->SetBoolParam(ZeqTuloUserParams::kExportShowUI, true);
    standin::dialogs().push("Ok", "ZEQ Export Warning");
    ExportProbe exporter;
    exporter.OpenLog();
    exporter.Walks();
    ZeqTuloNode* node = exporter.Node("|skinned");
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->GetNodeAttribute(), nullptr);
    EXPECT_TRUE(node->mGeometryMismatch && node->mMeshMismatch);
    exporter.mLog.reset();
    const std::string log = Log();
    EXPECT_NE(log.find("ZEQ Export Warning: Mismatched number of vertices between the original and the final mesh of "
                       "the node:  Model::skinned"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("\tThis problem is most likely caused by unsupported operators in the construction hystory.\n\t\n"),
              std::string::npos);
    ASSERT_EQ(standin::dialogs().records().size(), 1u);
    EXPECT_NE(standin::dialogs().records()[0].message.find("node:  Model::skinned\n\nThis problem"), std::string::npos);
}

// With the bind pose exported, positions come from the skin's input (the mesh before skinning);
// without it, from the shape as the scene shows it.
TEST_F(MeshTest, SkinnedPositionsComeFromTheInput) {
    TObject finalShape = standin::createGrid("skinned", 1, 1);
    TObject original = standin::createGrid("source", 1, 1);
    TFloatPointArray raised;
    TFnMesh(original).getPoints(raised);
    for (unsigned i = 0; i < raised.length(); ++i) raised[i].y = 5;
    TFnMesh(original).setPoints(raised);
    TObject joint = standin::createNode("joint", "bone");
    std::vector<std::vector<float>> weights(1, std::vector<float>(4, 1.0f));
    ASSERT_FALSE(standin::createSkin("skin", original, finalShape, {joint}, weights).isNull());
    for (bool bindPose : {true, false}) {
        Params()->SetBoolParam(14, bindPose);
        ExportProbe exporter;
        exporter.Walks();
        KZeqMesh* mesh = exporter.Node("|skinned")->GetMesh();
        ASSERT_NE(mesh, nullptr);
        EXPECT_EQ(mesh->GetControlPoints()[0][1], bindPose ? 5.0 : 0.0) << bindPose;
    }
}

// An empty mesh gives a mesh without points and polygons.
TEST_F(MeshTest, EmptyMesh) {
    TObject x = standin::createNode("transform", "nothing");
    TFnMesh fn;
    ASSERT_FALSE(fn.create(0, 0, TFloatPointArray(), TIntArray(), TIntArray(), x).isNull());
    ExportProbe exporter;
    exporter.Walks();
    KZeqMesh* mesh = exporter.Node("|nothing")->GetMesh();
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->GetControlPointsCount(), 0);
    EXPECT_EQ(mesh->GetPolygonCount(), 0);
}

// A mesh with its normals per face-vertex, built from points and polygons.
TObject HardMesh(const std::string& name, const std::vector<std::vector<int>>& polygons) {
    TFloatPointArray points;
    for (int i = 0; i < 4; ++i) points.append(static_cast<float>(i & 1), 0.0f, static_cast<float>(i >> 1));
    TIntArray counts, connects, faces, vertices;
    TVectorArray normals;
    for (std::size_t f = 0; f < polygons.size(); ++f) {
        counts.append(static_cast<int>(polygons[f].size()));
        for (int v : polygons[f]) {
            connects.append(v);
            faces.append(static_cast<int>(f));
            vertices.append(v);
            normals.append(TVector(0, f ? -1 : 1, 0));
        }
    }
    TFnMesh fn;
    TObject shape = fn.create(4, static_cast<int>(polygons.size()), points, counts, connects,
                              standin::createNode("transform", name));
    fn.setFaceVertexNormals(normals, faces, vertices);
    return shape;
}

// The final mesh's normal indices reach past the base mesh's normals (two quads over a base of two
// triangles): those polygon vertices take the vertex normal, and nothing is read out of range.
TEST_F(MeshTest, NormalIndexBeyondTheBaseMeshTakesTheVertexNormal) {
    TObject base = HardMesh("base", {{0, 1, 3}, {0, 3, 2}});
    TObject finalShape = HardMesh("final", {{0, 1, 3, 2}, {2, 3, 1, 0}});
    TObject joint = standin::createNode("joint", "bone");
    std::vector<std::vector<float>> weights(1, std::vector<float>(4, 1.0f));
    ASSERT_FALSE(standin::createSkin("skin", base, finalShape, {joint}, weights).isNull());
    Params()->SetBoolParam(ZeqTuloUserParams::kExportHardEdges, true);
    ExportProbe exporter;
    exporter.Walks();
    KZeqMesh* mesh = exporter.Node("|final")->GetMesh();
    ASSERT_NE(mesh, nullptr);
    KZeqLayerElementNormal* normals = Normals(mesh);
    ASSERT_NE(normals, nullptr);
    EXPECT_EQ(normals->GetMappingMode(), KZeqLayerElement::eBY_POLYGON_VERTEX);
    EXPECT_EQ(normals->GetDirectArray()[0][1], 1.0);  // index 0: the base's own normal
    EXPECT_EQ(normals->GetDirectArray()[5][3], 1.0);  // index 6 of 6: a vertex normal
}

}  // namespace

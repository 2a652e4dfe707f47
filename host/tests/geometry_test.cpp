// Meshes, NURBS surfaces, components, shading and deformers, read the way the export reads them
// and built the way the import builds them; the named fixtures.
#include "host_test_support.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "tulo.h"

namespace {

using GeometryTest = HostTest;

TDagPath pathOf(const TObject& o) { return TDagPath::getAPathTo(o); }

TEST_F(GeometryTest, CubeNormalsHardAndSmooth) {
    TFnMesh hard(standin::createCube("h", true)), smooth(standin::createCube("s", false));
    EXPECT_EQ(hard.numVertices(), 8);
    EXPECT_EQ(hard.numNormals(), 24);
    EXPECT_EQ(smooth.numNormals(), 8);
    for (TFnMesh* m : {&hard, &smooth}) {
        TVector n;
        ASSERT_TRUE(m->getVertexNormal(7, n));  // the (+, +, +) corner: the mean of three faces
        EXPECT_TRUE(n.isEquivalent(TVector(1, 1, 1).normal(), 1e-6));
        TVectorArray around;
        TItMeshVertex it(m->dagPath());
        for (int i = 0; i < 7; ++i) it.next();
        ASSERT_TRUE(it.getNormals(around));
        ASSERT_EQ(around.length(), 3u);
        EXPECT_EQ(around[0].isEquivalent(around[1], 1e-6), m == &smooth);
    }
    TItMeshPolygon poly(hard.dagPath());
    EXPECT_EQ(poly.vertexIndex(2), 3);
    EXPECT_EQ(poly.normalIndex(2), 2);
    EXPECT_EQ(poly.vertexIndex(4), -1);
    expectFaults({"index out of range"});
}

// World-space answers of the iterators go through every transform above the shape, from a path to
// the shape or to its transform; a path moved after one iterator asked is seen by the next.
TEST_F(GeometryTest, IteratorsInWorldSpaceTakeThePathAbove) {
    TObject top = standin::createNode("transform", "top");
    TObject mid = standin::createNode("transform", "mid", top);
    TFnTransform(top).setTranslation(TVector(1, 2, 3), TSpace::kTransform);
    TFnTransform(top).setRotation(TEulerRotation(0, 0, M_PI / 2));
    const double twice[3] = {2, 2, 2};
    TFnTransform(mid).setScale(twice);
    TObject grid = standin::createGrid("g", 1, 1, mid);
    const TDagPath toTransform = pathOf(TFnDagNode(grid).parent(0));
    const TMatrix world = pathOf(grid).inclusiveMatrix();
    TItMeshVertex vertex(toTransform);
    for (int i = 0; i < 3; ++i) vertex.next();
    TFnMesh mesh(grid);
    TPoint local;
    mesh.getPoint(3, local);
    EXPECT_TRUE(vertex.position(TSpace::kWorld).isEquivalent(local * world, 1e-12));
    TVectorArray normals;
    ASSERT_TRUE(vertex.getNormals(normals, TSpace::kWorld));
    ASSERT_EQ(normals.length(), 1u);
    TVectorArray objectNormals;
    vertex.getNormals(objectNormals, TSpace::kObject);
    EXPECT_TRUE(normals[0].isEquivalent((objectNormals[0] * world).normal(), 1e-12));

    TFnTransform(top).setTranslation(TVector(-5, 0, 0), TSpace::kTransform);
    const TMatrix moved = pathOf(grid).inclusiveMatrix();
    TItMeshVertex again(toTransform);
    for (int i = 0; i < 3; ++i) again.next();
    EXPECT_TRUE(again.position(TSpace::kWorld).isEquivalent(local * moved, 1e-12));
    EXPECT_FALSE((local * moved).isEquivalent(local * world, 1e-6));

    TObject surface = standin::createNurbs("s", {0, 0, 0, 1, 0, 1, 0, 1, 1, 0, 1, 1, 1, 1, 1, 1}, {0, 1}, {0, 1}, 1,
                                           1, 1, 1, mid);
    TItSurfaceCV cv(pathOf(TFnDagNode(surface).parent(0)));
    for (int i = 0; i < 3; ++i) cv.next();
    EXPECT_TRUE(cv.position(TSpace::kWorld).isEquivalent(TPoint(1, 1, 1) * moved, 1e-12));
}

// The faces around a vertex are worked out once per mesh and shared by the sets and iterators
// reading it: a set moved to another mesh, an iterator outliving its set and a copied mesh must
// each see their own mesh's faces.
TEST_F(GeometryTest, FacesAroundAVertexFollowTheMeshRead) {
    TObject cube = standin::createCube("c", true), grid = standin::createGrid("g", 2, 2);
    auto facesOf = [](const TObject& shape, int vertex) {
        TItMeshVertex it(pathOf(shape));
        for (int i = 0; i < vertex; ++i) it.next();
        TIntArray faces;
        EXPECT_TRUE(it.getConnectedFaces(faces));
        std::vector<int> sorted = faces.values();
        std::sort(sorted.begin(), sorted.end());
        return sorted;
    };
    TFnMesh mesh(cube);
    TVector n;
    ASSERT_TRUE(mesh.getVertexNormal(7, n));
    EXPECT_TRUE(n.isEquivalent(TVector(1, 1, 1).normal(), 1e-6));
    ASSERT_TRUE(mesh.setObject(grid));
    ASSERT_TRUE(mesh.getVertexNormal(8, n));  // no vertex 8 on the cube
    EXPECT_NEAR(std::fabs(n.y), 1.0, 1e-6);
    TIntArray vertex(1, 4);
    ASSERT_TRUE(mesh.setVertexNormals(TVectorArray(1, TVector(1, 0, 0)), vertex));
    ASSERT_TRUE(mesh.getVertexNormal(4, n));
    EXPECT_TRUE(n.isEquivalent(TVector(1, 0, 0), 1e-6));

    TItMeshVertex around(pathOf(cube));
    ASSERT_TRUE(mesh.setObject(cube));
    for (int i = 0; i < 7; ++i) around.next();
    TVectorArray normals;
    ASSERT_TRUE(around.getNormals(normals));
    EXPECT_EQ(normals.length(), 3u);

    EXPECT_EQ(facesOf(grid, 4), (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(facesOf(grid, 8), (std::vector<int>{3}));
    TFnMesh copier;
    copier.copy(grid);
    TObject copied = copier.object();
    for (int v : {0, 4, 8}) EXPECT_EQ(facesOf(copied, v), facesOf(grid, v)) << "vertex " << v;
    EXPECT_EQ(facesOf(copied, 4).size(), 4u);
}

struct CreateCase {
    const char* name;
    int nV, nP;
    std::vector<int> counts, connects;
    int polygons;  // -1: create fails
    int dropped;
};

class MeshCreate : public GeometryTest, public ::testing::WithParamInterface<CreateCase> {};

TEST_P(MeshCreate, ChecksCountsAndDropsDegeneratePolygons) {
    const CreateCase& c = GetParam();
    TFloatPointArray points;
    for (int i = 0; i < 4; ++i) points.append(static_cast<float>(i & 1), static_cast<float>(i >> 1), 0);
    TIntArray counts, connects;
    counts.values() = c.counts;
    connects.values() = c.connects;
    TStatus status;
    TFnMesh fn;
    TObject made = fn.create(c.nV, c.nP, points, counts, connects, standin::createNode("transform", "m"), &status);
    EXPECT_EQ(static_cast<bool>(status), c.polygons >= 0);
    EXPECT_EQ(made.isNull(), c.polygons < 0);
    if (c.polygons >= 0) {
        EXPECT_EQ(fn.numPolygons(), c.polygons);
    }
    EXPECT_EQ(standin::takeFaults().size(), static_cast<std::size_t>(c.dropped));
    EXPECT_EQ(transcribed("dropped polygon"), c.dropped > 0);
}

const CreateCase kCreate[] = {
    {"TriangleAndQuad", 4, 2, {3, 4}, {0, 1, 2, 0, 1, 3, 2}, 2, 0},
    {"TwoVertexPolygonDropped", 4, 2, {2, 3}, {0, 1, 1, 2, 3}, 1, 1},
    {"RepeatedVertexDropped", 4, 1, {3}, {0, 1, 1}, 0, 1},
    {"InvalidVertexDropped", 4, 2, {3, 3}, {0, 1, 4, 0, 1, 2}, 1, 1},
    {"NegativeVertexDropped", 4, 1, {3}, {0, -1, 2}, 0, 1},
    {"CountsNotPolygons", 4, 2, {3}, {0, 1, 2}, -1, 0},
    {"SumNotConnects", 4, 1, {3}, {0, 1, 2, 3}, -1, 0},
    {"PointsNotVertices", 5, 1, {3}, {0, 1, 2}, -1, 0},
    {"NegativeCount", 4, 2, {-1, 3}, {0, 1}, -1, 0},
    {"QuadWithARepeatKept", 4, 1, {4}, {0, 1, 1, 2}, 1, 0},
    {"EmptyPolygonDropped", 4, 2, {0, 3}, {0, 1, 2}, 1, 1},
    {"LongPolygonOfFourVerticesKept", 4, 1, {10}, {0, 1, 2, 3, 0, 1, 2, 3, 0, 1}, 1, 0},
    {"LongPolygonOfTwoVerticesDropped", 4, 1, {9}, {0, 1, 0, 1, 0, 1, 0, 1, 0}, 0, 1},
    {"LongPolygonWithAnInvalidVertexDropped", 4, 1, {9}, {0, 1, 2, 3, 0, 1, 2, 3, 4}, 0, 1},
};
INSTANTIATE_TEST_SUITE_P(Geometry, MeshCreate, ::testing::ValuesIn(kCreate), CaseName());

// The import's UV and normal calls, with the misuses the host refuses.
TEST_F(GeometryTest, UVsAndNormalsAreChecked) {
    TFnMesh mesh(standin::createCube("box", false));
    TFloatArray u(3, 0.5f), v(3, 0.25f), shortV(2, 0.0f);
    EXPECT_FALSE(mesh.setUVs(u, shortV));
    ASSERT_TRUE(mesh.setUVs(u, v));
    TIntArray sizes(6, 4), ids(24, 2), badSizes(6, 3), badIds(24, 3);
    EXPECT_FALSE(mesh.assignUVs(badSizes, ids));
    EXPECT_FALSE(mesh.assignUVs(sizes, badIds));
    EXPECT_FALSE(mesh.assignUVs(sizes, TIntArray(23, 0)));
    int id = -5;
    EXPECT_FALSE(mesh.getPolygonUVid(1, 1, id));
    EXPECT_EQ(id, -5);
    ASSERT_TRUE(mesh.assignUVs(sizes, ids));
    EXPECT_TRUE(mesh.getPolygonUVid(1, 1, id));
    EXPECT_EQ(id, 2);
    TString map1("map1"), named("uvA"), other("uvB");
    EXPECT_TRUE(mesh.renameUVSet(map1, named));
    EXPECT_TRUE(mesh.createUVSet(other));
    EXPECT_FALSE(mesh.createUVSet(other));
    EXPECT_EQ(mesh.numUVs(named), 3);
    EXPECT_EQ(mesh.numUVs(other), 0);

    TVectorArray normals(2, TVector(0, 0, 1));
    TIntArray faces, verts;
    faces.values() = {0, 1};
    verts.values() = {0, 0};  // vertex 0 is not on face 1
    EXPECT_FALSE(mesh.setFaceVertexNormals(normals, faces, verts));
    EXPECT_EQ(mesh.numNormals(), 8);
    // Vertex normals on shared normals stay shared; on face-vertex normals they go to every
    // face-vertex of the vertex.
    TVectorArray up(1, TVector(0, 1, 0));
    TIntArray vertex(1, 6);
    ASSERT_TRUE(mesh.setVertexNormals(up, vertex));
    EXPECT_EQ(mesh.numNormals(), 8);
    TVector n;
    mesh.getFaceVertexNormal(1, 6, n);
    EXPECT_EQ(n, TVector(0, 1, 0));
    verts.values() = {0, 4};
    ASSERT_TRUE(mesh.setFaceVertexNormals(normals, faces, verts));
    EXPECT_EQ(mesh.numNormals(), 24);
    mesh.getFaceVertexNormal(1, 4, n);
    EXPECT_EQ(n, TVector(0, 0, 1));
    ASSERT_TRUE(mesh.setVertexNormals(up, vertex));
    EXPECT_EQ(mesh.numNormals(), 24);
    mesh.getFaceVertexNormal(3, 6, n);
    EXPECT_EQ(n, TVector(0, 1, 0));
    TPointArray points;
    mesh.getPoints(points);
    points.append(TPoint());
    EXPECT_FALSE(mesh.setPoints(points));
}

// The cube fixture: shading groups (a face belongs to its last group), textures, colours.
TEST_F(GeometryTest, ShadingColoursAndTextures) {
    ASSERT_TRUE(standin::buildScene("cube"));
    TDagPath cube = pathOf(standin::find("hardCube"));
    TFnMesh mesh(cube);
    TObjectArray groups;
    TIntArray perFace;
    ASSERT_TRUE(mesh.getConnectedShaders(0, groups, perFace));
    EXPECT_EQ(perFace.values(), (std::vector<int>{0, 0, 1, 1, 1, 1}));
    ASSERT_EQ(groups.length(), 2u);
    EXPECT_EQ(str(TFnDependencyNode(groups[1]).name()), "matteSG");
    EXPECT_FALSE(mesh.getConnectedShaders(1, groups, perFace));  // no second instance
    TSelectionList list;
    list.add(cube, TObject::kNullObj);
    TObjectArray sets;
    TGlobal::getAssociatedSets(list, sets);
    EXPECT_EQ(sets.length(), 0u);  // the cube's faces are members, its transform is not
    list.clear();
    list.add(TDagPath::getAPathTo(standin::find("smoothCubeShape")));
    TGlobal::getAssociatedSets(list, sets);
    ASSERT_EQ(sets.length(), 1u);
    TFnSet set(sets[0]);
    EXPECT_EQ(set.restriction(), TFnSet::kRenderableOnly);
    TPlugArray src;
    set.findPlug("surfaceShader").connectedTo(src, true, false);
    ASSERT_EQ(src.length(), 1u);
    TObject shader = src[0].node();
    TStatus reflect;
    TFnReflectShader(shader, &reflect);
    EXPECT_FALSE(reflect);  // a lambert
    TFnLambertShader lambert(shader);
    EXPECT_EQ(lambert.color(), TColor(0.5f, 0.5f, 0.5f));
    TFnPhongShader phong(standin::find("shiny"));
    EXPECT_EQ(phong.cosPower(), 12.0f);
    EXPECT_TRUE(TFnLambertShader(standin::find("shiny")).object() == standin::find("shiny"));

    TObjectArray textures;
    ASSERT_TRUE(mesh.getAssociatedUVSetTextures("map1", textures));
    ASSERT_EQ(textures.length(), 1u);
    EXPECT_TRUE(textures[0].hasFn(TFn::kFileTexture));
    TColorArray colors;
    mesh.getFaceVertexColors(colors);
    EXPECT_EQ(colors.length(), 24u);
    int index = 0;
    mesh.getFaceVertexColorIndex(2, 3, index);
    EXPECT_EQ(index, 11);
    mesh.getFaceVertexColorIndex(3, 0, index);
    EXPECT_EQ(index, -1);
    EXPECT_EQ(colors[12], TColor(-1, -1, -1, -1));
}

struct SurfaceCase {
    const char* name;
    int degree, form, cvs, knots;
    bool breakRepeat, breakKnots, ok;
};

class SurfaceCreate : public GeometryTest, public ::testing::WithParamInterface<SurfaceCase> {};

// U direction as given; V is open cubic with 4 CVs.
TEST_P(SurfaceCreate, Validates) {
    const SurfaceCase& c = GetParam();
    TPointArray cvs;
    TDoubleArray knotsU, knotsV;
    for (int k = 0; k < c.knots; ++k) knotsU.append(c.breakKnots && k == 1 ? -9 : k);
    for (double k : {0, 0, 0, 1, 1, 1}) knotsV.append(k);
    int distinct = c.form == 3 ? c.cvs - c.degree : c.cvs;
    for (int u = 0; u < c.cvs; ++u)
        for (int v = 0; v < 4; ++v) cvs.append(u % std::max(distinct, 1) + (c.breakRepeat && u == c.cvs - 1), v, 0);
    TFnNurbsSurface fn;
    TStatus status;
    fn.create(cvs, knotsU, knotsV, static_cast<unsigned>(c.degree), 3, c.form, 1, true, TObject::kNullObj, &status);
    EXPECT_EQ(static_cast<bool>(status), c.ok);
    if (!c.ok) return;
    EXPECT_EQ(fn.numCVsInU(), c.cvs);
    EXPECT_EQ(fn.numKnotsInU(), c.knots);
    TPoint p;
    ASSERT_TRUE(fn.getCV(c.cvs - 1, 2, p));
    EXPECT_EQ(p, TPoint((c.cvs - 1) % distinct, 2, 0));
}

const SurfaceCase kSurfaces[] = {
    {"Periodic11CVsDegree3", 3, 3, 11, 13, false, false, true},
    {"PeriodicRepeatBroken", 3, 3, 11, 13, true, false, false},
    {"OpenCubic", 3, 1, 4, 6, false, false, true},
    {"KnotsDecrease", 3, 1, 4, 6, false, true, false},
    {"KnotsTooFew", 3, 1, 4, 5, false, false, false},
    {"DegreeZero", 0, 1, 4, 3, false, false, false},
    {"FormInvalid", 3, 0, 4, 6, false, false, false},
    {"FormLast", 3, 4, 4, 6, false, false, false},
};
INSTANTIATE_TEST_SUITE_P(Geometry, SurfaceCreate, ::testing::ValuesIn(kSurfaces), CaseName());

// NURBS skin weights by (u, v): weight of CV (u, v) is u * 10 + v.
TEST_F(GeometryTest, SurfaceSkinWeightsByUV) {
    ASSERT_TRUE(standin::buildScene("nurbs"));
    TObject tube = standin::find("tubeShape"), bone = standin::createNode("joint", "bone");
    std::vector<float> w;
    for (int u = 0; u < 11; ++u)
        for (int v = 0; v < 4; ++v) w.push_back(static_cast<float>(u * 10 + v));
    ASSERT_FALSE(standin::createSkin("tubeSkin", TObject(), tube, {bone}, {w}).isNull());
    TFnSkinCluster skin(standin::find("tubeSkin"));
    TFnDoubleIndexedComponent cvs;
    TObject comp = cvs.create(TFn::kDoubleIndexedComponent);
    cvs.addElement(2, 1);
    cvs.addElement(10, 3);
    TFloatArray got;
    ASSERT_TRUE(skin.getWeights(pathOf(tube), comp, 0, got));
    EXPECT_EQ(got.values(), (std::vector<float>{21, 103}));
    EXPECT_FALSE(skin.getWeights(pathOf(tube), comp, 1, got));  // one influence only
    EXPECT_EQ(got.length(), 0u);
    EXPECT_FALSE(skin.getWeights(pathOf(standin::find("patchShape")), comp, 0, got));
    cvs.addElement(1, 4);  // V has 4 CVs
    EXPECT_FALSE(skin.getWeights(pathOf(tube), comp, 0, got));
    expectFaults({"index out of range"});
    std::vector<int> order;
    for (TItSurfaceCV it(pathOf(tube), comp, true); !it.isDone(); it.next()) order.push_back(it.index());
    EXPECT_EQ(order, (std::vector<int>{9, 43}));  // (2, 1) and (10, 3); (1, 4) is no CV
    expectFaults({"index out of range"});
}

// The skin rig read as the export does: chain, weights per influence, bind poses, blend target.
TEST_F(GeometryTest, SkinRigChainAndBlendShape) {
    ASSERT_TRUE(standin::buildScene("skinRig"));
    TObject legShape = standin::find("legShape");
    TItDependencyGraph up(legShape, TFn::kSkinCluster, TItDependencyGraph::kUpstream);
    ASSERT_FALSE(up.isDone());
    TFnSkinCluster skin(up.thisNode());
    TObjectArray in, out;
    skin.getInputGeometry(in);
    skin.getOutputGeometry(out);
    ASSERT_EQ(in.length(), 1u);
    EXPECT_EQ(str(TFnDependencyNode(in[0]).name()), "legShapeOrig");
    ASSERT_EQ(out.length(), 1u);
    EXPECT_TRUE(out[0] == legShape);
    TObject data;
    ASSERT_TRUE(skin.findPlug("input").elementByLogicalIndex(0).child(0).getValue(data));
    EXPECT_EQ(TFnMesh(data).numVertices(), 15);

    TDagPathArray influences;
    ASSERT_EQ(skin.influenceObjects(influences), 4u);
    TFnSingleIndexedComponent all;
    TObject comp = all.create(TFn::kSingleIndexedComponent);
    all.setCompleteData(TFnMesh(legShape).numVertices());
    TFloatArray w;
    ASSERT_TRUE(skin.getWeights(pathOf(legShape), comp, skin.indexForInfluenceObject(influences[1]), w));
    EXPECT_EQ(w[1], 0.75f);
    EXPECT_EQ(w[0], 0.0f);
    EXPECT_FALSE(skin.getWeights(pathOf(standin::find("SmileShape")), comp, 0, w));
    EXPECT_EQ(run("getAttr legSkin.geomMatrix"), "1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1");
    EXPECT_EQ(run("getAttr |hip|knee.bindPose"), "1 0 0 0 0 1 0 0 0 0 1 0 0 -4 0 1");
    EXPECT_EQ(run("getAttr bindPose1.worldMatrix[3]"), "1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1");

    TFnBlendShapeDeformer blend(standin::find("legBlend"));
    EXPECT_EQ(str(blend.findPlug("weight")[0].name()), "legBlend.Smile");
    EXPECT_EQ(blend.numWeights(), 1u);
    TObjectArray targets;
    blend.getTargets(legShape, 0, targets);
    ASSERT_EQ(targets.length(), 1u);
    TObject cube = standin::createCube("wrongCount", false);
    EXPECT_FALSE(blend.addTarget(legShape, 1, cube, 1.0));
    EXPECT_EQ(blend.numWeights(), 1u);
    blend.setEnvelope(0);
    EXPECT_EQ(blend.envelope(), 0.0f);
}

// The rigid-binding walk: handle, cluster, set, member, group id, weights per CV.
TEST_F(GeometryTest, ClusterWeightsThroughItsSet) {
    ASSERT_TRUE(standin::buildScene("nurbs"));
    TDagPath handleParent = pathOf(standin::find("patchHandle"));
    TItDependencyGraph down(handleParent.child(0), TFn::kCluster);
    ASSERT_FALSE(down.isDone());
    TFnDependencyNode cluster(down.thisNode());
    TPlugArray dst;
    ASSERT_TRUE(cluster.findPlug("message").connectedTo(dst, false, true));
    ASSERT_EQ(dst.length(), 1u);
    TSelectionList members;
    TFnSet(dst[0].node()).getMembers(members, true);
    TItSelectionList it(members, TFn::kAnyDagItem);
    TDagPath m;
    TObject comp;
    ASSERT_TRUE(it.getDagPath(m, comp));
    TPlug outs = cluster.findPlug("outputGeometry");
    TPlug element = outs.elementByPhysicalIndex(0);
    TItDependencyGraph shape(element, TFn::kNurbsSurface, 0, 0, TItDependencyGraph::kPlugLevel);
    EXPECT_TRUE(shape.thisNode() == m.node());
    EXPECT_TRUE(cluster.findPlug("input").elementByLogicalIndex(element.logicalIndex()).child(1).isConnected());
    TPlug weights(cluster.object(), cluster.attribute("weights"));
    ASSERT_TRUE(weights.selectAncestorLogicalIndex(element.logicalIndex(), cluster.attribute("wl")));
    std::vector<double> got;
    for (TItSurfaceCV cv(m, comp, true); !cv.isDone(); cv.next()) {
        double w = 0;
        weights.elementByLogicalIndex(static_cast<unsigned>(cv.index())).getValue(w);
        got.push_back(w);
    }
    EXPECT_EQ(got, (std::vector<double>{0.25, 0.5, 0.75, 1.0}));
    TFnSet unattached;
    EXPECT_FALSE(unattached.getMembers(members, true));
    expectFaults({"unattached function set"});
}

// Every call that takes a space accepts 1 (transform), 2 (object) and 4 (world) only.
struct SpaceCall {
    const char* name;
    bool (*call)(int space);
};

TDagPath pathNamed(const char* name) { return pathOf(standin::find(name)); }

const SpaceCall kSpaceCalls[] = {
    {"CameraUp", [](int s) { TStatus st; TFnCamera(pathNamed("shotCam")).upDirection(s, &st); return bool(st); }},
    {"VertexPosition", [](int s) { TStatus st; TItMeshVertex(pathNamed("hardCube")).position(s, &st); return bool(st); }},
    {"VertexNormals", [](int s) { TVectorArray n; return bool(TItMeshVertex(pathNamed("hardCube")).getNormals(n, s)); }},
    {"SurfaceCV", [](int s) { TStatus st; TItSurfaceCV(pathNamed("patch")).position(s, &st); return bool(st); }},
    {"MeshPoint", [](int s) { TPoint p; return bool(TFnMesh(pathNamed("hardCube")).getPoint(0, p, s)); }},
    {"MeshNormals", [](int s) { TFloatVectorArray n; return bool(TFnMesh(pathNamed("hardCube")).getNormals(n, s)); }},
    {"SurfaceGetCV", [](int s) { TPoint p; return bool(TFnNurbsSurface(pathNamed("patch")).getCV(0, 0, p, s)); }},
    {"Translation", [](int s) { TStatus st; TFnTransform(pathNamed("shotCam")).translation(s, &st); return bool(st); }},
    {"RotatePivot", [](int s) { TStatus st; TFnTransform(pathNamed("shotCam")).rotatePivot(s, &st); return bool(st); }},
    {"Rotation", [](int s) { TEulerRotation e; return bool(TFnTransform(pathNamed("shotCam")).getRotation(e, s)); }},
    {"RotateBy", [](int s) { TTransformationMatrix m; return bool(m.rotateBy(TEulerRotation(0.1, 0, 0), s)); }},
    {"TransformationTranslation", [](int s) { TStatus st; TTransformationMatrix().getTranslation(s, &st); return bool(st); }},
};

class SpaceCodes : public GeometryTest, public ::testing::WithParamInterface<SpaceCall> {};

TEST_P(SpaceCodes, OnlyTransformObjectAndWorld) {
    ASSERT_TRUE(standin::buildScene("sample"));
    for (int space : {-1, 0, 1, 2, 3, 4, 5, 8}) EXPECT_EQ(GetParam().call(space), space == 1 || space == 2 || space == 4) << space;
}

INSTANTIATE_TEST_SUITE_P(Geometry, SpaceCodes, ::testing::ValuesIn(kSpaceCalls), CaseName());

// The rich scene holds what the export's readers meet beyond the sample.
TEST_F(GeometryTest, RichFixtureHoldsEveryFeature) {
    ASSERT_TRUE(standin::buildScene("rich"));
    TFnAnimCurve tx(standin::plug("dancer.translateX"));
    ASSERT_EQ(tx.numKeys(), 9u);
    for (unsigned k = 0; k < 9; ++k) EXPECT_EQ(tx.inTangentType(k) * 10 + tx.outTangentType(k), 11 * static_cast<int>(k));
    TFnAnimCurve visibility(standin::plug("dancer.visibility"));
    EXPECT_EQ(visibility.outTangentType(0), TFnAnimCurve::kTangentStep);
    EXPECT_TRUE(TFnAnimCurve(standin::plug("dancer.rotateY")).isWeighted());
    EXPECT_TRUE(standin::plug("dancer.crowdCount").isLocked());
    TFnNumericAttribute count(standin::plug("dancer.crowdCount").attribute());
    double soft = -1;
    EXPECT_TRUE(count.hasSoftMin() && count.getSoftMin(soft) && soft == 0);
    EXPECT_EQ(TFnAnimCurve(standin::plug("dancer.tintG")).numKeys(), 2u);
    EXPECT_EQ(TFnTransform(standin::find("dancer")).rotationOrder(), TTransformationMatrix::kZXY);
    EXPECT_EQ(TFnTransform(standin::find("spinner")).rotationOrder(), TTransformationMatrix::kZYX);
    TFnTransform dancer(standin::find("dancer"));
    EXPECT_TRUE(dancer.rotatePivot(TSpace::kTransform).isEquivalent(TPoint(1, 2, 3)));
    EXPECT_TRUE(dancer.scalePivot(TSpace::kTransform).isEquivalent(TPoint(-1, 0, 2)));
    EXPECT_TRUE(dancer.isLimited(TFnTransform::kRotateMaxX) && dancer.isLimited(TFnTransform::kTranslateMinY));
    EXPECT_EQ(pathNamed("crowd:squad:helmetShape").fullPathName().asChar(),
              std::string("|crowd:leader|crowd:squad:scout|crowd:squad:helmet|crowd:squad:helmetShape"));
    EXPECT_EQ(TFnDagNode(standin::find("prop")).parentCount(), 2u);
    EXPECT_EQ(TFnDagNode(standin::find("crane_group")).childCount(), 3u);
    EXPECT_EQ(standin::find("crane_group").apiType(), TFn::kLookAt);
    EXPECT_EQ(TFnAnimCurve(standin::plug("legBlend.weight[0]")).numKeys(), 3u);
    EXPECT_EQ(TFnAnimCurve(standin::plug("lampShape.intensity")).numKeys(), 2u);
}

class Fixture : public GeometryTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(Fixture, DumpsIdenticallyTwice) {
    ASSERT_TRUE(standin::buildScene(GetParam()));
    std::string first = standin::dump();
    EXPECT_EQ(run("file -f -new; standin_scene " + GetParam()), "");
    EXPECT_EQ(standin::dump(), first);
}

INSTANTIATE_TEST_SUITE_P(Geometry, Fixture, ::testing::ValuesIn(standin::sceneNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) { return info.param; });

}  // namespace

// The public face-vertex colour setter writes what the test API's does: pairs name face-vertices,
// the others stay uncoloured, and a pair that is no face-vertex changes nothing.
TEST_F(GeometryTest, FaceVertexColorsThroughTheApi) {
    TFloatPointArray points;
    for (int i = 0; i < 4; ++i) points.append(TFloatPoint(float(i & 1), float(i >> 1), 0));
    TIntArray counts, connects;
    counts.append(3), counts.append(3);
    for (int v : {0, 1, 2, 1, 3, 2}) connects.append(v);
    TFnMesh mesh;
    TStatus status;
    mesh.create(4, 2, points, counts, connects, TObject::kNullObj, &status);
    ASSERT_TRUE(status);
    TColorArray colors;
    TIntArray faces, vertices;
    colors.append(TColor(1, 0, 0, 1)), faces.append(1), vertices.append(3);
    colors.append(TColor(0, 1, 0, 0.5f)), faces.append(0), vertices.append(0);
    ASSERT_TRUE(mesh.setFaceVertexColors(colors, faces, vertices));
    TColorArray read;
    mesh.getFaceVertexColors(read);
    ASSERT_EQ(read.length(), 6u);
    EXPECT_EQ(read[4], TColor(1, 0, 0, 1));
    EXPECT_EQ(read[0], TColor(0, 1, 0, 0.5f));
    EXPECT_EQ(read[1], TColor(-1, -1, -1, -1));
    int index = 0;
    mesh.getFaceVertexColorIndex(1, 1, index);
    EXPECT_EQ(index, 4);

    vertices.clear(), vertices.append(2), vertices.append(3);  // (0, 3) is no face-vertex
    colors.clear(), colors.append(TColor(0, 0, 1, 1)), colors.append(TColor(0, 0, 1, 1));
    EXPECT_FALSE(mesh.setFaceVertexColors(colors, faces, vertices));
    mesh.getFaceVertexColors(read);
    EXPECT_EQ(read[4], TColor(1, 0, 0, 1));
    faces.append(0);
    EXPECT_FALSE(mesh.setFaceVertexColors(colors, faces, vertices));  // lengths differ
}

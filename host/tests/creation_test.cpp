// Creation services of the API: dependency nodes by type name, sets and their members, UV-set
// texture links, skin clusters and their weights; each with the arguments it refuses.
#include <cmath>
#include <limits>

#include "host_test_support.h"
#include "tfncomponent.h"
#include "tfndagnode.h"
#include "tfndeformer.h"
#include "tfnmesh.h"
#include "tfnnurbssurface.h"
#include "tfnshading.h"
#include "tfntransform.h"
#include "titdependencygraph.h"

namespace {

class CreationTest : public HostTest {
protected:
    static TDagPath pathOf(const TObject& o) { return TDagPath::getAPathTo(o); }
    static TObject faces(std::initializer_list<int> list) {
        TFnSingleIndexedComponent fn;
        TObject c = fn.create(TFn::kMeshPolygonComponent);
        for (int f : list) fn.addElement(f);
        return c;
    }
    static TDoubleArray values(std::initializer_list<double> list) {
        TDoubleArray a;
        for (double v : list) a.append(v);
        return a;
    }
};

// Shading networks are built from nodes named by type; DAG types, deformers and curves have
// function sets of their own and are refused here.
TEST_F(CreationTest, DependencyNodesByTypeName) {
    TFnDependencyNode fn;
    TStatus status;
    TObject file = fn.create("file", "brick", &status);
    ASSERT_TRUE(status);
    EXPECT_TRUE(file.hasFn(TFn::kFileTexture));
    EXPECT_EQ(str(fn.name()), "brick");
    EXPECT_EQ(fn.object(), file);
    EXPECT_EQ(str(TFnDependencyNode(fn.create("file", "brick")).name()), "brick1");
    EXPECT_TRUE(fn.create("place2dTexture").hasFn(TFn::kPlace2dTexture));
    EXPECT_EQ(str(fn.name()), "place2dTexture1");
    EXPECT_TRUE(fn.create("layeredTexture").hasFn(TFn::kLayeredTexture));
    TObject phong = fn.create("phong", "shiny");
    EXPECT_TRUE(TFnLambertShader(phong).setColor(TColor(0.1f, 0.2f, 0.3f)));
    EXPECT_TRUE(TFnPhongShader(phong).setCosPower(40));

    // In the current namespace, like every other creation.
    standin::addNamespace("crowd");
    standin::setNamespace("crowd");
    EXPECT_EQ(str(TFnDependencyNode(fn.create("lambert", "matte")).name()), "crowd:matte");
    standin::setNamespace(":");

    for (const char* refused : {"transform", "mesh", "joint", "skinCluster", "blendShape", "animCurveTL", "dependNode",
                                "reflect", "nosuchtype", ""}) {
        TFnDependencyNode other;
        EXPECT_TRUE(other.create(refused, "x", &status).isNull()) << refused;
        EXPECT_FALSE(status) << refused;
    }
}

// A shading group is a set of restriction 5 fed by a shader; its members are shape paths, with
// faces where only some polygons take it. The export's readers see what was built.
TEST_F(CreationTest, SetsWithObjectsAndFaces) {
    TObject cube = standin::createCube("box", false);
    TDagPath shape = pathOf(cube);
    TFnDependencyNode dg;
    TObject red = dg.create("phong", "red"), blue = dg.create("lambert", "blue");

    TFnSet set;
    TStatus status;
    TSelectionList none;
    TObject redSG = set.create(none, TFnSet::kRenderableOnly, &status);
    ASSERT_TRUE(status);
    set.setName("redSG");
    EXPECT_EQ(set.restriction(), TFnSet::kRenderableOnly);
    TDGModifier m;
    m.connect(TFnDependencyNode(red).findPlug("outColor"), set.findPlug("surfaceShader"));
    ASSERT_TRUE(m.doIt());
    TObject first = faces({0, 1});
    EXPECT_TRUE(set.addMember(shape, first));
    EXPECT_TRUE(set.addMember(shape, first));  // held already: once

    TSelectionList members;
    members.add(shape, faces({2, 3, 4, 5}));
    TFnSet other;
    TObject blueSG = other.create(members, TFnSet::kRenderableOnly);
    TDGModifier m2;
    m2.connect(TFnDependencyNode(blue).findPlug("outColor"), other.findPlug("surfaceShader"));
    m2.doIt();

    TObjectArray groups;
    TIntArray perFace;
    ASSERT_TRUE(TFnMesh(cube).getConnectedShaders(0, groups, perFace));
    ASSERT_EQ(groups.length(), 2u);
    EXPECT_EQ(groups[0], redSG);
    EXPECT_EQ(groups[1], blueSG);
    std::vector<int> got(perFace.values().begin(), perFace.values().end());
    EXPECT_EQ(got, (std::vector<int>{0, 0, 1, 1, 1, 1}));
    TSelectionList held;
    set.getMembers(held, false);
    EXPECT_EQ(held.length(), 1u);

    // Faces given to the older group after the newer one took them stay the newer one's: groups count
    // in creation order, not in the order of their members. Deleting a group frees its faces.
    ASSERT_TRUE(set.addMember(shape, faces({2, 3})));
    ASSERT_TRUE(TFnMesh(cube).getConnectedShaders(0, groups, perFace));
    EXPECT_EQ(std::vector<int>(perFace.values().begin(), perFace.values().end()), (std::vector<int>{0, 0, 1, 1, 1, 1}));
    TSelectionList cubeShape;
    cubeShape.add(shape);
    TObjectArray holding;
    TGlobal::getAssociatedSets(cubeShape, holding);
    ASSERT_EQ(holding.length(), 2u);
    EXPECT_EQ(holding[0], redSG);
    ASSERT_TRUE(TGlobal::deleteNode(blueSG));
    ASSERT_TRUE(TFnMesh(cube).getConnectedShaders(0, groups, perFace));
    ASSERT_EQ(groups.length(), 1u);
    EXPECT_EQ(std::vector<int>(perFace.values().begin(), perFace.values().end()), (std::vector<int>{0, 0, 0, 0, -1, -1}));
    TGlobal::getAssociatedSets(cubeShape, holding);
    EXPECT_EQ(holding.length(), 1u);

    // The whole object: the export's association query finds the set from the shape's path.
    TObject surface = standin::createGrid("plane", 1, 1);
    TFnSet whole;
    TObject planeSG = whole.create(TSelectionList(), TFnSet::kRenderableOnly);
    ASSERT_TRUE(whole.addMember(pathOf(surface)));
    TSelectionList query;
    query.add(pathOf(surface));
    TObjectArray sets;
    TGlobal::getAssociatedSets(query, sets);
    ASSERT_EQ(sets.length(), 1u);
    EXPECT_EQ(sets[0], planeSG);
    // A dependency node as a member of a plain set.
    EXPECT_TRUE(whole.addMember(red));
}

TEST_F(CreationTest, SetMembersThatCannotBe) {
    TObject cube = standin::createCube("box", false);
    TDagPath shape = pathOf(cube);
    TObject transform = TFnDagNode(cube).parent(0);
    TFnSet set;
    set.create(TSelectionList(), TFnSet::kNone);
    TStatus status;

    EXPECT_FALSE(set.addMember(shape, faces({6})));   // a cube has faces 0 to 5
    EXPECT_FALSE(set.addMember(shape, faces({-1})));  // an empty component holds nothing
    EXPECT_FALSE(set.addMember(pathOf(transform), faces({0})));  // faces of a transform
    TFnSingleIndexedComponent vertices;
    TObject v = vertices.create(TFn::kSingleIndexedComponent);
    vertices.addElement(8);
    EXPECT_FALSE(set.addMember(shape, v));
    TFnDoubleIndexedComponent cvs;
    TObject c = cvs.create(TFn::kDoubleIndexedComponent);
    cvs.addElement(0, 0);
    EXPECT_FALSE(set.addMember(shape, c));  // CVs of a mesh
    EXPECT_FALSE(set.addMember(TDagPath()));
    EXPECT_FALSE(set.addMember(transform));  // a DAG node goes in by its path
    TSelectionList mixed;
    mixed.add(shape, faces({0}));
    mixed.add(shape, faces({9}));
    EXPECT_FALSE(set.addMembers(mixed));  // none of them
    TSelectionList held;
    set.getMembers(held, false);
    EXPECT_EQ(held.length(), 0u);
    EXPECT_TRUE(TFnSet().create(mixed, TFnSet::kRenderableOnly, &status).isNull());
    EXPECT_FALSE(status);
    EXPECT_TRUE(TFnSet().create(TSelectionList(), static_cast<TFnSet::Restriction>(9), &status).isNull());

    // A deleted member's path is refused, a deleted set cannot be used.
    TObject gone = standin::createCube("gone", false);
    TDagPath gonePath = pathOf(gone);
    TGlobal::deleteNode(TFnDagNode(gone).parent(0));
    EXPECT_FALSE(set.addMember(gonePath));
    TObject doomed = set.object();
    TGlobal::deleteNode(doomed);
    EXPECT_FALSE(TFnSet(doomed, &status).addMember(shape));
    expectFaults({"dead node", "unattached function set"});
}

TEST_F(CreationTest, UVSetTextureLinks) {
    TObject cube = standin::createCube("box", false);
    TFnMesh mesh(cube);
    mesh.createUVSet("uvSet2");
    TFnDependencyNode dg;
    TObject brick = dg.create("file", "brick"), layers = dg.create("layeredTexture"), phong = dg.create("phong");
    ASSERT_TRUE(mesh.associateUVSetTexture("uvSet2", brick));
    ASSERT_TRUE(mesh.associateUVSetTexture("uvSet2", brick));
    ASSERT_TRUE(mesh.associateUVSetTexture("map1", layers));
    TObjectArray linked;
    mesh.getAssociatedUVSetTextures("uvSet2", linked);
    ASSERT_EQ(linked.length(), 1u);
    EXPECT_EQ(linked[0], brick);
    mesh.getAssociatedUVSetTextures("map1", linked);
    EXPECT_EQ(linked.length(), 1u);

    EXPECT_FALSE(mesh.associateUVSetTexture("uvSet3", brick));  // no such set
    EXPECT_FALSE(mesh.associateUVSetTexture("map1", phong));   // not a texture
    EXPECT_FALSE(mesh.associateUVSetTexture("map1", TObject()));
    TGlobal::deleteNode(brick);
    EXPECT_FALSE(mesh.associateUVSetTexture("map1", brick));
    expectFaults({"dead node"});
}

// A skin made through the API reads back through the export's queries: influences, weights per
// point, bind matrices where the influences stood, the cluster between what fed the shape and it.
TEST_F(CreationTest, SkinClusterAndWeights) {
    TObject hip = standin::createNode("joint", "hip");
    TObject knee = standin::createNode("joint", "knee", hip);
    TFnTransform(knee).setTranslation(TVector(0, -4, 0), TSpace::kTransform);
    TObject ctrl = standin::createNode("transform", "ctrl");
    TObject grid = standin::createGrid("leg", 2, 1);  // 6 points
    TFnBlendShapeDeformer blend;
    TObject upstream = blend.create(grid);

    TDagPathArray influences;
    influences.append(pathOf(hip));
    influences.append(pathOf(knee));
    influences.append(pathOf(ctrl));
    TFnSkinCluster skin;
    TStatus status;
    TObject cluster = skin.create(TFnDagNode(grid).parent(0), influences, &status);
    ASSERT_TRUE(status);
    EXPECT_TRUE(cluster.hasFn(TFn::kSkinCluster));
    TObjectArray outputs, inputs;
    skin.getOutputGeometry(outputs);
    ASSERT_EQ(outputs.length(), 1u);
    EXPECT_EQ(outputs[0], grid);
    // What fed the shape (the blend shape) now feeds the cluster.
    TPlugArray sources;
    skin.findPlug("input").elementByLogicalIndex(0).child(0).connectedTo(sources, true, false);
    ASSERT_EQ(sources.length(), 1u);
    EXPECT_EQ(sources[0].node(), upstream);

    TDagPathArray got;
    EXPECT_EQ(skin.influenceObjects(got), 3u);
    EXPECT_EQ(skin.indexForInfluenceObject(pathOf(knee)), 1u);
    TDagPath shape = pathOf(grid);
    ASSERT_TRUE(skin.setWeights(shape, TObject(), 1, values({0, 0.25, 0.5, 0.75, 1, 0.125})));
    TFnSingleIndexedComponent some;
    TObject two = some.create(TFn::kSingleIndexedComponent);
    some.addElement(5);
    some.addElement(0);
    ASSERT_TRUE(skin.setWeights(shape, two, 2, values({0.5, 0.25})));
    TFloatArray w;
    ASSERT_TRUE(skin.getWeights(shape, TObject(), 1, w));
    EXPECT_EQ(std::vector<float>(w.values().begin(), w.values().end()),
              (std::vector<float>{0, 0.25f, 0.5f, 0.75f, 1, 0.125f}));
    ASSERT_TRUE(skin.getWeights(shape, TObject(), 2, w));
    EXPECT_EQ(std::vector<float>(w.values().begin(), w.values().end()), (std::vector<float>{0.25f, 0, 0, 0, 0, 0.5f}));
    ASSERT_TRUE(skin.getWeights(shape, TObject(), 0, w));
    EXPECT_EQ(std::vector<float>(w.values().begin(), w.values().end()), std::vector<float>(6, 0.0f));

    // Bound where they stand: the joints carry their world matrix, the transform is a member of a
    // bind dag pose, the cluster the inverses and the shape's matrix.
    EXPECT_EQ(run("getAttr knee.bindPose"), "1 0 0 0 0 1 0 0 0 0 1 0 0 -4 0 1");
    EXPECT_EQ(run("getAttr \"" + str(skin.name()) + ".bindPreMatrix[1]\""), "1 0 0 0 0 1 0 0 0 0 1 0 0 4 0 1");
    EXPECT_EQ(run("getAttr \"" + str(skin.name()) + ".geomMatrix\""), "1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1");
    EXPECT_EQ(run("getAttr \"bindPose1.bindPose\""), "1");
}

TEST_F(CreationTest, SkinClusterOnASurfaceByCV) {
    TPointArray cvs;
    TDoubleArray knots;
    for (double k : {0, 0, 0, 1, 1, 1}) knots.append(k);
    for (int u = 0; u < 4; ++u)
        for (int v = 0; v < 4; ++v) cvs.append(u, 0, v);
    TFnNurbsSurface surface;
    TObject x = standin::createNode("transform", "patch");
    TObject shape = surface.create(cvs, knots, knots, 3, 3, TFnNurbsSurface::kOpen, TFnNurbsSurface::kOpen, true, x);
    TObject bone = standin::createNode("joint", "bone");
    TDagPathArray influences;
    influences.append(pathOf(bone));
    TFnSkinCluster skin;
    ASSERT_FALSE(skin.create(x, influences).isNull());
    TFnDoubleIndexedComponent c;
    TObject cv = c.create(TFn::kDoubleIndexedComponent);
    c.addElement(2, 1);
    ASSERT_TRUE(skin.setWeights(pathOf(shape), cv, 0, values({0.75})));
    TFloatArray w;
    ASSERT_TRUE(skin.getWeights(pathOf(shape), TObject(), 0, w));
    EXPECT_FLOAT_EQ(w[2 * 4 + 1], 0.75f);
    // A mesh-vertex component on a surface, and a CV beyond the rows, are refused.
    TFnSingleIndexedComponent vertex;
    TObject v = vertex.create(TFn::kSingleIndexedComponent);
    vertex.addElement(0);
    EXPECT_FALSE(skin.setWeights(pathOf(shape), v, 0, values({1})));
    TFnDoubleIndexedComponent far;
    TObject beyond = far.create(TFn::kDoubleIndexedComponent);
    far.addElement(0, 4);
    EXPECT_FALSE(skin.setWeights(pathOf(shape), beyond, 0, values({1})));
}

TEST_F(CreationTest, SkinArgumentsThatCannotBe) {
    TObject hip = standin::createNode("joint", "hip");
    TObject grid = standin::createGrid("leg", 1, 1);  // 4 points
    TObject other = standin::createGrid("arm", 1, 1);
    TObject locatorShape = standin::createNode("locator", "", standin::createNode("transform", "loc"));
    TDagPathArray one, none, twice, shapes;
    one.append(pathOf(hip));
    twice.append(pathOf(hip));
    twice.append(pathOf(hip));
    shapes.append(pathOf(grid));  // a shape is no influence
    TStatus status;
    EXPECT_TRUE(TFnSkinCluster().create(grid, none, &status).isNull());
    EXPECT_FALSE(status);
    EXPECT_TRUE(TFnSkinCluster().create(grid, twice).isNull());
    EXPECT_TRUE(TFnSkinCluster().create(grid, shapes).isNull());
    EXPECT_TRUE(TFnSkinCluster().create(locatorShape, one).isNull());  // no points
    EXPECT_TRUE(TFnSkinCluster().create(hip, one).isNull());
    TItDependencyNodes before(TFn::kSkinCluster);
    EXPECT_TRUE(before.isDone());  // nothing was made

    TFnSkinCluster skin;
    ASSERT_FALSE(skin.create(grid, one).isNull());
    TDagPath shape = pathOf(grid);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(skin.setWeights(shape, TObject(), 0, values({1, 1, 1})));         // three of four
    EXPECT_FALSE(skin.setWeights(shape, TObject(), 1, values({1, 1, 1, 1})));      // no influence 1
    EXPECT_FALSE(skin.setWeights(pathOf(other), TObject(), 0, values({1, 1, 1, 1})));  // not deformed
    EXPECT_FALSE(skin.setWeights(shape, TObject(), 0, values({1, nan, 1, 1})));
    TFnSingleIndexedComponent c;
    TObject beyond = c.create(TFn::kSingleIndexedComponent);
    c.addElement(1);
    c.addElement(4);
    EXPECT_FALSE(skin.setWeights(shape, beyond, 0, values({0.5, 0.5})));
    TFloatArray w;
    skin.getWeights(shape, TObject(), 0, w);
    EXPECT_EQ(std::vector<float>(w.values().begin(), w.values().end()), std::vector<float>(4, 0.0f));  // unchanged
}

}  // namespace

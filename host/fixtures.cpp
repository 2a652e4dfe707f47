// Named scenes for tests and for "standin_scene <name>": each a fixed sequence of builder calls,
// so a scene built twice dumps identically.
#include <cmath>
#include <map>
#include <vector>

#include "scene.h"
#include "standin.h"
#include "tfnanimcurve.h"
#include "tfnattribute.h"
#include "tfncamera.h"
#include "tfnlight.h"
#include "tfncomponent.h"
#include "tfndeformer.h"
#include "tfnmesh.h"
#include "tfnnurbssurface.h"
#include "tfnshading.h"
#include "tfntransform.h"

namespace {

TPlug at(const TObject& node, const char* attr) { return TFnDependencyNode(node).findPlug(attr); }

void move(const TObject& node, double x, double y, double z) {
    TFnTransform(node).setTranslation(TVector(x, y, z), TSpace::kTransform);
}

// Limits of each kind the export reads: translate Y at least 0, rotate X within 0.5 either way,
// scale Z at most 3.
void setLimits(TFnTransform& t) {
    t.setLimit(TFnTransform::kTranslateMinY, 0);
    t.enableLimit(TFnTransform::kTranslateMinY, true);
    t.setLimit(TFnTransform::kRotateMinX, -0.5);
    t.setLimit(TFnTransform::kRotateMaxX, 0.5);
    t.enableLimit(TFnTransform::kRotateMinX, true);
    t.enableLimit(TFnTransform::kRotateMaxX, true);
    t.setLimit(TFnTransform::kScaleMaxZ, 3);
    t.enableLimit(TFnTransform::kScaleMaxZ, true);
}

// A 50 mm lens on a 1.417 x 0.945 film back under the fit, clipping at 1 and 5000, focused at 400.
void setLens(TFnCamera& cam, TFnCamera::FilmFit fit) {
    cam.setFocalLength(50);
    cam.setHorizontalFilmAperture(1.417);
    cam.setVerticalFilmAperture(0.945);
    cam.setFilmFit(fit);
    cam.setNearClippingPlane(1);
    cam.setFarClippingPlane(5000);
    cam.setFocusDistance(400);
}

// A free camera, an aimed camera in its look-at group, and one light of each kind the export reads.
void cameras() {
    TObject shot = standin::createNode("transform", "shotCam");
    TObject shape = standin::createNode("camera", "", shot);
    move(shot, 0, 150, 400);
    TFnCamera cam(shape);
    setLens(cam, TFnCamera::kVerticalFilmFit);

    TObject group = standin::createNode("lookAt", "aimCam_group");
    at(group, "twist").setValue(0.25);
    TObject aimed = standin::createNode("transform", "aimCam", group);
    standin::createNode("camera", "", aimed);
    TObject aim = standin::createNode("transform", "aimCam_aim", group);
    standin::createNode("locator", "", aim);
    move(aimed, -200, 100, 200);
    TFnCamera(aimed).setIsOrtho(false);

    TFnPointLight point;
    TObject p = point.create();
    point.setColor(TColor(1, 0.5f, 0.25f));
    point.setIntensity(2);
    move(TFnDagNode(p).parent(0), 100, 200, 0);
    TFnSpotLight spot;
    spot.create();
    spot.setConeAngle(0.5);
    TFnDirectionalLight().create();
    standin::createNode("ambientLight", "", standin::createNode("transform", "ambient"));
}

TDagPath pathOf(const TObject& o) { return TDagPath::getAPathTo(o); }

// UVs at the corners of the unit square, and each face of a cube (six quads) mapped onto them whole.
struct SquareUVs {
    TFloatArray u, v;
    TIntArray counts = TIntArray(6, 4);
    TIntArray ids;
    SquareUVs() {
        for (int f = 0; f < 6; ++f)
            for (int k = 0; k < 4; ++k) ids.append(k);
        for (float x : {0.0f, 1.0f, 1.0f, 0.0f}) u.append(x);
        for (float y : {0.0f, 0.0f, 1.0f, 1.0f}) v.append(y);
    }
    void assign(TFnMesh& mesh) const {
        mesh.setUVs(u, v);
        mesh.assignUVs(counts, ids);
    }
};

// A hard cube and a smooth one; UVs in two sets, colours on half the face-vertices, two shading
// groups (a phong on three faces, a lambert with a file texture on the rest).
void cube() {
    TObject hard = standin::createCube("hardCube", true);
    TObject smooth = standin::createCube("smoothCube", false, 1);
    move(TFnDagNode(smooth).parent(0), 3, 0, 0);
    TFnMesh mesh(hard);
    const SquareUVs square;
    square.assign(mesh);
    mesh.createUVSet("lightmap");
    TString lightmap("lightmap");
    mesh.setUVs(square.u, square.v, &lightmap);
    std::vector<float> rgba;
    for (int fv = 0; fv < 24; ++fv) rgba.insert(rgba.end(), {fv < 12 ? fv / 12.0f : -1.0f, 0.5f, 0.25f, 1.0f});
    standin::setFaceVertexColors(hard, rgba);

    TFnPhongShader phong;
    phong.create();
    phong.setName("shiny");
    phong.setCosPower(12);
    phong.setSpecularColor(TColor(0.8f, 0.8f, 0.8f));
    TObject matte = standin::createNode("lambert", "matte");
    TObject tex = standin::createFileTexture("brick", "/textures/brick.tif", at(matte, "color"));
    standin::linkUVSetTexture(hard, "map1", tex);
    standin::assignFaces(standin::createShadingGroup(phong.object()), pathOf(hard), {0, 1, 2});
    standin::assignFaces(standin::createShadingGroup(matte), pathOf(hard), {2, 3, 4, 5});
    standin::assignFaces(standin::createShadingGroup(matte, "matteSG2"), pathOf(smooth));
}

// A 3-joint leg and a locator influencing a 4 x 2 grid through a skin cluster (original shape
// kept), a blend-shape target "Smile" on it, and a smooth-facet operator after the skin.
void skinRig() {
    TObject hip = standin::createNode("joint", "hip");
    TObject knee = standin::createNode("joint", "knee", hip);
    TObject ankle = standin::createNode("joint", "ankle", knee);
    move(knee, 0, -4, 0);
    move(ankle, 0, -4, 0);
    TObject ctrl = standin::createNode("transform", "ctrl");
    standin::createNode("locator", "", ctrl);
    TObject legShape = standin::createGrid("leg", 4, 2);
    TObject leg = TFnDagNode(legShape).parent(0);
    TFnMesh orig;
    orig.copy(legShape, leg);
    orig.setName("legShapeOrig");
    std::vector<std::vector<float>> w(4, std::vector<float>(15, 0.0f));
    for (std::size_t p = 0; p < 15; ++p) {
        w[p % 3][p] = 0.75f;
        w[3][p] = 0.25f;
    }
    TObject skin = standin::createSkin("legSkin", orig.object(), legShape, {hip, knee, ankle, ctrl}, w);
    (void)skin;
    at(standin::createNode("polySmoothFacet", "legFacet"), "divisions").setValue(2);

    TObject smile = standin::createNode("transform", "Smile");
    TFnMesh target;
    target.copy(orig.object(), smile);
    TFnBlendShapeDeformer blend;
    blend.create(leg);
    blend.setName("legBlend");
    blend.addTarget(legShape, 0, target.object(), 1.0);
}

// An open 4 x 4 bicubic patch and a periodic surface of 11 CVs around (8 distinct, degree 3),
// with a cluster on four CVs of the patch.
void nurbs() {
    TPointArray cvs;
    TDoubleArray knots;
    for (double k : {0, 0, 0, 1, 1, 1}) knots.append(k);
    for (int u = 0; u < 4; ++u)
        for (int v = 0; v < 4; ++v) cvs.append(u, (u + v) % 2, v);
    TFnNurbsSurface patch;
    TObject x = standin::createNode("transform", "patch");
    TObject shape = patch.create(cvs, knots, knots, 3, 3, TFnNurbsSurface::kOpen, TFnNurbsSurface::kOpen, true, x);
    TPointArray ring;
    TDoubleArray knotsU, knotsV;
    for (int k = -2; k <= 10; ++k) knotsU.append(k);
    for (double k : {0, 0, 0, 1, 1, 1}) knotsV.append(k);
    for (int u = 0; u < 11; ++u)
        for (int v = 0; v < 4; ++v) ring.append(std::cos(u % 8 * M_PI / 4), v, std::sin(u % 8 * M_PI / 4));
    TFnNurbsSurface tube;
    tube.create(ring, knotsU, knotsV, 3, 3, TFnNurbsSurface::kPeriodic, TFnNurbsSurface::kOpen, true,
                standin::createNode("transform", "tube"));
    TFnDoubleIndexedComponent cv;
    TObject c = cv.create(TFn::kDoubleIndexedComponent);
    for (int u = 1; u < 3; ++u)
        for (int v = 1; v < 3; ++v) cv.addElement(u, v);
    standin::createCluster("patchCluster", standin::createNode("transform", "patchHandle"), pathOf(shape), c,
                           {0.25f, 0.5f, 0.75f, 1.0f}, false);
}

void sample() {
    cube();
    skinRig();
    nurbs();
    cameras();
}

// Keys at 0, 0.25, 0.5 ... s on a plug, with the given in and out tangent kinds.
TFnAnimCurve keyed(const TPlug& plug, const std::vector<double>& values, const std::vector<int>& in,
                   const std::vector<int>& out) {
    TFnAnimCurve curve;
    curve.create(plug);
    for (std::size_t k = 0; k < values.size(); ++k)
        curve.addKey(TTime(0.25 * static_cast<double>(k), TTime::kSeconds), values[k], in[k], out[k]);
    return curve;
}

// User attributes of each kind the export carries, one animated (the colour), some with soft
// limits, one locked; and a byte holding 200, which reads as -56 through a signed char.
void userAttributes(const TObject& node) {
    TFnDependencyNode fn(node);
    TFnNumericAttribute num;
    fn.addAttribute(num.create("isHero", "hero", TFnNumericData::kBoolean, 1), 2);
    TObject count = num.create("crowdCount", "cc", TFnNumericData::kInt, 3);
    num.setSoftMin(0);
    num.setSoftMax(10);
    fn.addAttribute(count, 2);
    TObject weight = num.create("heaviness", "hv", TFnNumericData::kDouble, 0.5);
    num.setSoftMin(0);
    num.setSoftMax(10);
    num.setMin(-5);
    num.setMax(20);
    fn.addAttribute(weight, 2);
    fn.addAttribute(num.create("level", "lv", TFnNumericData::kByte, 200), 2);
    TObject offset = num.create("aimOffset", "ao", TFnNumericData::k3Double);
    num.setDefault(1, 2, 3);
    fn.addAttribute(offset, 2);
    fn.addAttribute(num.createColor("tint", "ti"), 2);
    fn.findPlug("ti").child(0).setValue(0.25);
    keyed(fn.findPlug("tintG"), {0, 1}, {TFnAnimCurve::kTangentLinear, TFnAnimCurve::kTangentLinear},
          {TFnAnimCurve::kTangentLinear, TFnAnimCurve::kTangentLinear});
    fn.findPlug("hv").setValue(2.5);
    fn.findPlug("cc").setLocked(true);
}

// The sample scene plus what the export's attribute, animation and hierarchy readers meet: keys of
// every tangent kind (a stepped visibility among them), user attributes, rotate orders other than
// XYZ, pivots, limits, a namespace with nested nodes, an instanced transform, an aimed camera with
// an up target, an animated blend weight and an animated light intensity.
void rich() {
    sample();
    TObject dancer = standin::createNode("transform", "dancer");
    standin::createNode("locator", "", dancer);
    TFnTransform t(dancer);
    t.setRotationOrder(TTransformationMatrix::kZXY, false);
    double r[3] = {0.1, 0.2, 0.3};
    t.setRotation(r, TTransformationMatrix::kZXY);
    t.setRotatePivot(TPoint(1, 2, 3), TSpace::kTransform, false);
    t.setScalePivot(TPoint(-1, 0, 2), TSpace::kTransform, false);
    setLimits(t);
    // Every tangent kind, in and out: global, fixed, linear, flat, smooth, step, slow, fast, clamped.
    std::vector<int> kinds = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    TFnAnimCurve tx = keyed(at(dancer, "translateX"), {0, 2, 1, 5, 4, 4, -1, 3, 0}, kinds, kinds);
    tx.setTangent(1, 1, 2, true);
    tx.setTangent(1, 1, -2, false);
    TFnAnimCurve ry = keyed(at(dancer, "rotateY"), {0, 0.7, -0.3},
                            {TFnAnimCurve::kTangentSmooth, TFnAnimCurve::kTangentClamped, TFnAnimCurve::kTangentFlat},
                            {TFnAnimCurve::kTangentSmooth, TFnAnimCurve::kTangentClamped, TFnAnimCurve::kTangentFlat});
    ry.setIsWeighted(true);
    keyed(at(dancer, "visibility"), {1, 0, 1}, {TFnAnimCurve::kTangentStep, TFnAnimCurve::kTangentStep, TFnAnimCurve::kTangentStep},
          {TFnAnimCurve::kTangentStep, TFnAnimCurve::kTangentStep, TFnAnimCurve::kTangentStep});
    keyed(at(dancer, "scaleZ"), {1, 2}, {TFnAnimCurve::kTangentFast, TFnAnimCurve::kTangentSlow},
          {TFnAnimCurve::kTangentFast, TFnAnimCurve::kTangentSlow});
    userAttributes(dancer);

    TObject spinner = standin::createNode("joint", "spinner", dancer);
    TFnTransform(spinner).setRotationOrder(TTransformationMatrix::kYXZ, false);
    TFnTransform(spinner).setRotationOrder(TTransformationMatrix::kZYX, true);

    // A namespace with a nested one, nodes nested in both.
    standin::addNamespace("crowd");
    standin::setNamespace("crowd");
    TObject leader = standin::createNode("transform", "leader");
    standin::createNode("transform", "follower", leader);
    standin::addNamespace("squad");
    standin::setNamespace("squad");
    TObject scout = standin::createNode("transform", "scout", leader);
    standin::createCube("helmet", false, 0.5, scout);
    standin::setNamespace(":");

    // One transform under two parents.
    TObject prop = standin::createNode("transform", "prop");
    standin::createNode("locator", "", prop);
    standin::parent(prop, dancer, true);

    // A camera aimed at a target with an up target, in its look-at group.
    TObject group = standin::createNode("lookAt", "crane_group");
    TObject crane = standin::createNode("transform", "crane", group);
    TFnCamera(standin::createNode("camera", "", crane)).setFocalLength(28);
    for (const char* name : {"crane_aim", "crane_up"}) standin::createNode("locator", "", standin::createNode("transform", name, group));
    move(crane, 0, 300, -400);
    move(standin::find("crane_up"), 0, 500, -400);

    // An animated blend weight and an animated light intensity.
    keyed(standin::plug("legBlend.weight[0]"), {0, 1, 0.5}, {4, 4, 4}, {4, 4, 4});
    TFnPointLight lamp;
    TObject lampShape = lamp.create();
    lamp.setName("lampShape");
    TFnDagNode(TFnDagNode(lampShape).parent(0)).setName("lamp");
    keyed(at(lampShape, "intensity"), {0, 3}, {2, 2}, {2, 2});
}

// ---- Round-trip families: each a small scene of one kind of content, under named nodes so that
// what comes back can be told apart from what the host names by itself.

void setRotation(const TObject& node, double x, double y, double z) {
    double r[3] = {x, y, z};
    TFnTransform t(node);
    t.setRotation(r, t.rotationOrder());
}

void setScale(const TObject& node, double x, double y, double z) {
    double s[3] = {x, y, z};
    TFnTransform(node).setScale(s);
}

TObject locatorNode(const std::string& name, const TObject& parent = TObject()) {
    TObject node = standin::createNode("transform", name, parent);
    standin::createNode("locator", "", node);
    return node;
}

// Nested transforms under a "Zeq_Root" top node and beside it, one transform instanced under two
// parents, and nodes in a namespace and in one nested in it. Only "Zeq_Root" is a bare transform:
// the others carry locators, which a null of the Zeq file comes back as.
void hierarchy() {
    TObject root = standin::createNode("transform", "Zeq_Root");
    move(root, 0, 10, 0);
    TObject base = locatorNode("base", root);
    move(base, 1, 2, 3);
    setRotation(base, 0.1, 0.2, 0.3);
    setScale(base, 1, 2, 1);
    TObject arm = locatorNode("arm", base);
    move(arm, 0, 4, 0);
    setRotation(arm, 0, 0, -0.5);
    TObject hand = locatorNode("hand", arm);
    move(hand, 0, 3, 0);
    TObject tower = locatorNode("tower");
    move(tower, -5, 0, 0);
    TObject floor = locatorNode("floor", tower);
    setScale(floor, 3, 3, 3);

    TObject prop = locatorNode("prop", tower);
    move(prop, 0, 1, 0);
    standin::parent(prop, arm, true);

    standin::addNamespace("set");
    standin::setNamespace("set");
    TObject stage = locatorNode("stage");
    move(stage, 0, 0, 8);
    locatorNode("mark", stage);
    standin::addNamespace("props");
    standin::setNamespace("props");
    TObject chair = locatorNode("chair", stage);
    move(chair, 2, 0, 0);
    setRotation(chair, 0, 1.5, 0);
    standin::setNamespace(":");
}

// The layered texture of the meshes family: three file textures, each with its own placement, as
// inputs 0 to 2 under their blend modes (the last one the default) and alphas. Named as the
// import names the layered texture it makes for a material, so that what comes back meets it.
void layeredTexture(const TObject& shader) {
    const std::string name = TFnDependencyNode(shader).name().asChar() + std::string("_layers");
    TObject layered = standin::createNode("layeredTexture", name);
    standin::connect(at(layered, "outColor"), at(shader, "color"));
    TPlug inputs = at(layered, "inputs");
    const char* names[] = {"grime", "paint", "metal"};
    const short modes[] = {4, 6, 1};
    for (unsigned i = 0; i < 3; ++i) {
        TPlug element = inputs.elementByLogicalIndex(i);
        const std::string path = std::string("/textures/") + names[i] + ".tif";
        TObject file = standin::createFileTexture(names[i], path, element.child(0));
        TObject place = standin::find(std::string(names[i]) + "_place");
        at(place, "repeatU").setValue(1.0 + i);
        at(place, "offsetV").setValue(0.125 * i);
        inputs.elementByLogicalIndex(i).child(1).setValue(0.5 + 0.25 * i);
        if (modes[i] != 1) inputs.elementByLogicalIndex(i).child(2).setValue(modes[i]);
        (void)file;
    }
}

// The hard and smooth cubes with their UV sets, colours, two materials and file texture, a cube
// whose file texture has a placement of its own, and one with a three-layer texture.
void meshes() {
    cube();
    TObject decalShape = standin::createCube("decalBox", true, 1);
    move(TFnDagNode(decalShape).parent(0), -3, 0, 0);
    TFnMesh decal(decalShape);
    const SquareUVs square;
    square.assign(decal);
    TObject label = standin::createNode("lambert", "label");
    TObject sticker = standin::createFileTexture("sticker", "/textures/sticker.tif", at(label, "color"));
    TObject place = standin::find("sticker_place");
    at(place, "offsetU").setValue(0.25);
    at(place, "offsetV").setValue(0.5);
    at(place, "repeatU").setValue(2.0);
    at(place, "repeatV").setValue(3.0);
    at(place, "rotateFrame").setValue(0.5);
    standin::linkUVSetTexture(decalShape, "map1", sticker);
    standin::assignFaces(standin::createShadingGroup(label), pathOf(decalShape));

    TObject layeredShape = standin::createCube("layeredBox", false, 1);
    move(TFnDagNode(layeredShape).parent(0), 0, 3, 0);
    TFnMesh layeredMesh(layeredShape);
    square.assign(layeredMesh);
    TObject coat = standin::createNode("lambert", "coat");
    layeredTexture(coat);
    standin::assignFaces(standin::createShadingGroup(coat), pathOf(layeredShape));
}

// The open patch, periodic tube and cluster of the NURBS scene, and a rational surface whose
// closed direction (the host's U) is knotted unevenly.
void surfaces() {
    nurbs();
    TPointArray cvs;
    TDoubleArray knotsU, knotsV;
    for (double k : {-2.0, -1.0, 0.0, 0.5, 2.0, 3.0, 4.0, 4.5, 6.0, 7.0}) knotsU.append(k);
    for (double k : {0, 0, 1, 2, 2}) knotsV.append(k);
    const int rows = 8;  // 10 knots, degree 3: 8 CVs around, the first 3 repeated at the end
    for (int u = 0; u < rows; ++u)
        for (int v = 0; v < 4; ++v) {
            const int around = u % 5;
            const double angle = around * 2 * M_PI / 5;
            const double weight = v == 1 || v == 2 ? 0.5 + 0.25 * around : 1.0;
            cvs.append(2 * std::cos(angle), v * 0.75, 2 * std::sin(angle), weight);
        }
    TFnNurbsSurface hood;
    hood.create(cvs, knotsU, knotsV, 3, 2, TFnNurbsSurface::kPeriodic, TFnNurbsSurface::kOpen, true,
                standin::createNode("transform", "hood"));
    move(standin::find("hood"), 0, 0, 5);

    // A closed (not periodic) direction: the last CV column meets the first.
    TPointArray band;
    TDoubleArray bandU, bandV;
    for (double k : {0, 0, 0, 1, 2, 3, 3, 3}) bandU.append(k);
    for (double k : {0, 1}) bandV.append(k);
    for (int u = 0; u < 6; ++u)
        for (int v = 0; v < 2; ++v) {
            const double angle = (u % 5) * 2 * M_PI / 5;
            band.append(std::cos(angle), v, std::sin(angle));
        }
    TFnNurbsSurface ring;
    ring.create(band, bandU, bandV, 3, 1, TFnNurbsSurface::kClosed, TFnNurbsSurface::kOpen, false,
                standin::createNode("transform", "band"));
    move(standin::find("band"), 0, 0, -5);
}

// Cameras: a plain one, one with an aim, one with an aim and an up target, an orthographic one;
// each with another film fit. Shapes are named as the host's camera command names them (the file
// names transforms only), so that what comes back meets them by name.
// An aim or up node as the camera command makes it: a transform with a locator of the command's name.
TObject commandLocator(const std::string& name, const std::string& shape, const TObject& group) {
    TObject node = standin::createNode("transform", name, group);
    standin::createNode("locator", shape, node);
    return node;
}

void cameraKinds() {
    TObject plain = standin::createNode("transform", "plainCam");
    TFnCamera plainCam(standin::createNode("camera", "cameraShape1", plain));
    move(plain, 0, 150, 400);
    TFnTransform(plain).setRotationOrder(TTransformationMatrix::kYZX, false);
    setRotation(plain, -0.2, 0.3, 0.05);
    TPlug plainAxis = at(plain, "rotateAxis");
    const double axis[3] = {0.1, 0.2, 0};
    for (unsigned i = 0; i < 3; ++i) plainAxis.child(i).setValue(axis[i]);
    setLens(plainCam, TFnCamera::kFillFilmFit);

    TObject aimGroup = standin::createNode("lookAt", "aimCam_group");
    TObject aimCam = standin::createNode("transform", "aimCam", aimGroup);
    TFnCamera aimed(standin::createNode("camera", "cameraShape1", aimCam));
    aimed.setFocalLength(35);
    aimed.setFilmFit(TFnCamera::kHorizontalFilmFit);
    move(aimCam, -200, 100, 200);
    move(commandLocator("aimCam_aim", "camera1_aimShape", aimGroup), 0, 50, 0);

    TObject upGroup = standin::createNode("lookAt", "upCam_group");
    at(upGroup, "twist").setValue(0.25);
    TObject upCam = standin::createNode("transform", "upCam", upGroup);
    TFnCamera upShape(standin::createNode("camera", "cameraShape1", upCam));
    upShape.setFocalLength(85);
    upShape.setFilmFit(TFnCamera::kVerticalFilmFit);
    move(upCam, 300, 200, -100);
    move(commandLocator("upCam_aim", "camera1_aimShape", upGroup), 0, 0, 0);
    move(commandLocator("upCam_up", "camera1_upShape", upGroup), 300, 400, -100);

    TObject ortho = standin::createNode("transform", "orthoCam");
    TFnCamera orthoCam(standin::createNode("camera", "cameraShape1", ortho));
    orthoCam.setIsOrtho(true);
    orthoCam.setFilmFit(TFnCamera::kOverscanFilmFit);
    move(ortho, 0, 1000, 0);
    setRotation(ortho, -M_PI / 2, 0, 0);
}

// One light of each kind the export reads, under rotate orders other than XYZ where it turns; the
// spot's cone angle is animated.
void lights() {
    TFnPointLight point;
    TObject bulb = standin::createNode("transform", "bulb");
    point.create(bulb, false);
    point.setName("bulbShape");
    point.setColor(TColor(1, 0.5f, 0.25f));
    point.setIntensity(2);
    move(bulb, 100, 200, 0);

    TFnSpotLight spot;
    TObject beam = standin::createNode("transform", "beam");
    spot.create(beam, false);
    spot.setName("beamShape");
    spot.setConeAngle(0.5);
    spot.setIntensity(1.5);
    move(beam, 0, 300, 100);
    TFnTransform(beam).setRotationOrder(TTransformationMatrix::kZXY, false);
    setRotation(beam, -0.8, 0.4, 0.3);
    TPlug beamAxis = at(beam, "rotateAxis");
    const double axis[3] = {0.2, -0.1, 0.3};
    for (unsigned i = 0; i < 3; ++i) beamAxis.child(i).setValue(axis[i]);
    keyed(at(TFnDagNode(beam).child(0), "coneAngle"), {0.5, 0.9, 0.7}, {2, 2, 2}, {2, 2, 2});

    TFnDirectionalLight sun;
    TObject sky = standin::createNode("transform", "sun");
    sun.create(sky, false);
    sun.setName("sunShape");
    sun.setColor(TColor(1, 1, 0.75f));
    TFnTransform(sky).setRotationOrder(TTransformationMatrix::kYXZ, false);
    setRotation(sky, 0.6, -0.3, 0.2);

    standin::createNode("ambientLight", "fillShape", standin::createNode("transform", "fill"));
}

// A joint chain in its bind pose skinning a grid and a NURBS strip; some weights sit just above and
// just below the export's 0.001. The skin clusters are named as the host names those the import
// makes (the file keeps no cluster name), so that what comes back meets them by name.
void skinning() {
    TObject root = standin::createNode("joint", "root");
    TObject spine = standin::createNode("joint", "spine", root);
    TObject neck = standin::createNode("joint", "neck", spine);
    move(root, 0, 1, 0);
    move(spine, 0, 3, 0);
    move(neck, 0, 3, 0);

    TObject sheetShape = standin::createGrid("sheet", 3, 2);
    TObject sheet = TFnDagNode(sheetShape).parent(0);
    TFnMesh orig;
    orig.copy(sheetShape, sheet);
    orig.setName("sheetShapeOrig");
    const std::size_t points = 12;
    std::vector<std::vector<float>> w(3, std::vector<float>(points, 0.0f));
    for (std::size_t p = 0; p < points; ++p) {
        const std::size_t main = p % 3;
        w[main][p] = 0.7f;
        w[(main + 1) % 3][p] = 0.3f;
    }
    w[0][4] = 0.6985f, w[1][4] = 0.3f, w[2][4] = 0.0015f;  // kept
    w[1][7] = 0.7f, w[2][7] = 0.2995f, w[0][7] = 0.0005f;  // left out
    standin::createSkin("skinCluster1", orig.object(), sheetShape, {root, spine, neck}, w);

    TPointArray cvs;
    TDoubleArray knotsU, knotsV;
    for (double k : {0, 0, 0, 1, 1, 1}) knotsU.append(k);
    for (double k : {0, 1, 2, 3}) knotsV.append(k);
    for (int u = 0; u < 4; ++u)
        for (int v = 0; v < 4; ++v) cvs.append(4 + v * 0.5, u * 2.0, 0);
    TObject strip = standin::createNode("transform", "strip");
    TFnNurbsSurface surface;
    TObject stripShape =
        surface.create(cvs, knotsU, knotsV, 3, 1, TFnNurbsSurface::kOpen, TFnNurbsSurface::kOpen, true, strip);
    TFnNurbsSurface stripOrig;
    stripOrig.create(cvs, knotsU, knotsV, 3, 1, TFnNurbsSurface::kOpen, TFnNurbsSurface::kOpen, true, strip);
    stripOrig.setName("stripShapeOrig");
    std::vector<std::vector<float>> sw(3, std::vector<float>(16, 0.0f));
    for (std::size_t p = 0; p < 16; ++p) {
        const std::size_t row = p / 4;  // CV u * 4 + v: the rows follow the chain
        sw[std::min<std::size_t>(row, 2)][p] = 0.9f;
        sw[row == 0 ? 1 : 0][p] = 0.1f;
    }
    sw[2][15] = 0.9989f, sw[0][15] = 0.0011f;
    standin::createSkin("skinCluster2", stripOrig.object(), stripShape, {root, spine, neck}, sw);
}

// A mesh base with three targets and a NURBS base with one, the first mesh weight animated.
void blendShapes() {
    TObject faceShape = standin::createGrid("face", 2, 2);
    TObject face = TFnDagNode(faceShape).parent(0);
    TFnBlendShapeDeformer faceBlend;
    faceBlend.create(face);
    faceBlend.setName("faceBlend");
    const char* targets[] = {"smile", "frown", "blink"};
    for (unsigned i = 0; i < 3; ++i) {
        TObject target = standin::createNode("transform", targets[i]);
        TFnMesh copy;
        copy.copy(faceShape, target);
        copy.setName(std::string(targets[i]) + "Shape");
        TPointArray points;
        copy.getPoints(points);
        for (unsigned p = 0; p < points.length(); ++p) points[p].y += 0.25 * (i + 1) * (p % 3);
        copy.setPoints(points);
        faceBlend.addTarget(faceShape, i, copy.object(), 1.0);
        TFnDagNode(target).findPlug("visibility").setValue(false);
    }
    standin::plug("faceBlend.weight[1]").setValue(0.25);
    keyed(standin::plug("faceBlend.weight[0]"), {0, 1, 0.5}, {2, 2, 2}, {2, 2, 2});

    TPointArray cvs;
    TDoubleArray knots;
    for (double k : {0, 0, 0, 1, 1, 1}) knots.append(k);
    for (int u = 0; u < 4; ++u)
        for (int v = 0; v < 4; ++v) cvs.append(u, 0, v + 5);
    TObject lid = standin::createNode("transform", "lid");
    TFnNurbsSurface lidSurface;
    TObject lidShape =
        lidSurface.create(cvs, knots, knots, 3, 3, TFnNurbsSurface::kOpen, TFnNurbsSurface::kOpen, true, lid);
    TObject bulge = standin::createNode("transform", "bulge");
    for (unsigned p = 0; p < cvs.length(); ++p) cvs[p].y = (p == 5 || p == 6 || p == 9 || p == 10) ? 1.0 : 0.0;
    TFnNurbsSurface bulgeSurface;
    TObject bulgeShape =
        bulgeSurface.create(cvs, knots, knots, 3, 3, TFnNurbsSurface::kOpen, TFnNurbsSurface::kOpen, true, bulge);
    bulgeSurface.setName("bulgeShape");
    TFnDagNode(bulge).findPlug("visibility").setValue(false);
    TFnBlendShapeDeformer lidBlend;
    lidBlend.create(lid);
    lidBlend.setName("lidBlend");
    lidBlend.addTarget(lidShape, 0, bulgeShape, 1.0);
    standin::plug("lidBlend.weight[0]").setValue(0.75);
}

// A user attribute of each type the export carries, soft limits on two, the float animated.
void userAttributeKinds() {
    TObject holder = locatorNode("holder");
    TFnDependencyNode fn(holder);
    TFnNumericAttribute num;
    fn.addAttribute(num.create("isActive", "act", TFnNumericData::kBoolean, 1), 2);
    fn.addAttribute(num.create("level", "lv", TFnNumericData::kByte, 7), 2);
    TObject count = num.create("crowdCount", "cc", TFnNumericData::kInt, 3);
    num.setSoftMin(0);
    num.setSoftMax(10);
    fn.addAttribute(count, 2);
    fn.addAttribute(num.create("blend", "bl", TFnNumericData::kFloat, 0.5), 2);
    TObject weight = num.create("heaviness", "hv", TFnNumericData::kDouble, 0.5);
    num.setSoftMin(-1);
    num.setSoftMax(4);
    fn.addAttribute(weight, 2);
    fn.addAttribute(num.createColor("tint", "ti"), 2);
    TObject offset = num.create("aimOffset", "ao", TFnNumericData::k3Double);
    fn.addAttribute(offset, 2);
    fn.findPlug("lv").setValue(12);
    fn.findPlug("cc").setValue(5);
    fn.findPlug("hv").setValue(2.5);
    fn.findPlug("act").setValue(false);
    fn.findPlug("tiR").setValue(0.25);
    fn.findPlug("tiG").setValue(0.5);
    fn.findPlug("tiB").setValue(0.75);
    fn.findPlug("aoX").setValue(1.0);
    fn.findPlug("aoY").setValue(-2.0);
    fn.findPlug("aoZ").setValue(3.5);
    keyed(fn.findPlug("bl"), {0, 1, 0.25}, {4, 4, 4}, {4, 4, 4});
}

// Keys of every tangent kind, weighted and unweighted; a stepped visibility; all six rotate orders
// (one animated); limits, pivots, a rotate axis and a joint orient.
void animation() {
    TObject mover = locatorNode("mover");
    // Global, fixed, linear, flat, smooth and clamped.
    const std::vector<int> cubic = {0, 1, 2, 3, 4, 8};
    TFnAnimCurve tx = keyed(at(mover, "translateX"), {0, 2, 1, 5, 4, -1}, cubic, cubic);
    tx.setTangent(1, 1, 2, true);
    tx.setTangent(1, 1, -2, false);
    TFnAnimCurve ty = keyed(at(mover, "translateY"), {0, 3, 1, 2}, {4, 1, 3, 8}, {4, 1, 3, 8});
    ty.setIsWeighted(true);
    ty.setTangent(1, 0.5, 1, true);
    ty.setTangent(1, 0.25, -1, false);
    keyed(at(mover, "translateZ"), {0, 1, -1, 2}, {5, 5, 5, 5}, {5, 5, 5, 5});
    // Slow and fast.
    keyed(at(mover, "scaleX"), {1, 2, 1.5}, {6, 7, 6}, {6, 7, 6});
    keyed(at(mover, "visibility"), {1, 0, 1}, {5, 5, 5}, {5, 5, 5});
    TFnTransform(mover).setRotationOrder(TTransformationMatrix::kZYX, false);
    keyed(at(mover, "rotateY"), {0, 0.7, -0.3}, {4, 8, 3}, {4, 8, 3});

    const TTransformationMatrix::RotationOrder orders[] = {TTransformationMatrix::kXYZ, TTransformationMatrix::kYZX,
                                                           TTransformationMatrix::kZXY, TTransformationMatrix::kXZY,
                                                           TTransformationMatrix::kYXZ, TTransformationMatrix::kZYX};
    const char* names[] = {"turnXYZ", "turnYZX", "turnZXY", "turnXZY", "turnYXZ", "turnZYX"};
    for (int i = 0; i < 6; ++i) {
        TObject turn = locatorNode(names[i]);
        move(turn, 2.0 * i, 0, -4);
        TFnTransform(turn).setRotationOrder(orders[i], false);
        setRotation(turn, 0.3, -0.6, 0.9);
    }

    TObject gate = locatorNode("gate");
    TFnTransform g(gate);
    g.setRotatePivot(TPoint(1, 2, 3), TSpace::kTransform, false);
    g.setScalePivot(TPoint(-1, 0, 2), TSpace::kTransform, false);
    double axis[3] = {0.1, 0.2, -0.3};
    TPlug rotateAxis = at(gate, "rotateAxis");
    for (unsigned i = 0; i < 3; ++i) rotateAxis.child(i).setValue(axis[i]);
    setRotation(gate, 0.2, 0.1, 0);
    setLimits(g);

    // A turned node under another rotation order whose middle axis alone is keyed, with pivots.
    TObject spinner = locatorNode("spinner");
    TFnTransform sp(spinner);
    sp.setRotationOrder(TTransformationMatrix::kZXY, false);
    setRotation(spinner, 0.1, 0.2, 0.3);
    sp.setRotatePivot(TPoint(1, 2, 3), TSpace::kTransform, false);
    keyed(at(spinner, "rotateY"), {0.2, 0.6, -0.1}, {4, 4, 4}, {4, 4, 4});

    TObject hip = standin::createNode("joint", "hip");
    TObject knee = standin::createNode("joint", "knee", hip);
    move(knee, 0, -4, 0);
    TPlug orient = at(knee, "jointOrient");
    double jo[3] = {0, 0, 0.4};
    for (unsigned i = 0; i < 3; ++i) orient.child(i).setValue(jo[i]);
    keyed(at(knee, "rotateZ"), {0, 0.5, 0}, {4, 4, 4}, {4, 4, 4});
}

const std::map<std::string, void (*)()>& table() {
    static const std::map<std::string, void (*)()> t = {
        {"cameras", cameras},         {"cube", cube},         {"nurbs", nurbs},
        {"rich", rich},               {"sample", sample},     {"skinRig", skinRig},
        {"hierarchy", hierarchy},     {"meshes", meshes},     {"surfaces", surfaces},
        {"cameraKinds", cameraKinds}, {"lights", lights},     {"skinning", skinning},
        {"blendShapes", blendShapes}, {"userAttributes", userAttributeKinds}, {"animation", animation}};
    return t;
}

}  // namespace

namespace standin {

bool buildScene(const std::string& name) {
    auto it = table().find(name);
    if (it == table().end()) return false;
    it->second();
    return true;
}

std::vector<std::string> sceneNames() {
    std::vector<std::string> out;
    for (const auto& e : table()) out.push_back(e.first);
    return out;
}

}  // namespace standin

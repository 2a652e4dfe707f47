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

// A free camera, an aimed camera in its look-at group, and one light of each kind the export reads.
void cameras() {
    TObject shot = standin::createNode("transform", "shotCam");
    TObject shape = standin::createNode("camera", "", shot);
    move(shot, 0, 150, 400);
    TFnCamera cam(shape);
    cam.setFocalLength(50);
    cam.setHorizontalFilmAperture(1.417);
    cam.setVerticalFilmAperture(0.945);
    cam.setFilmFit(TFnCamera::kVerticalFilmFit);
    cam.setNearClippingPlane(1);
    cam.setFarClippingPlane(5000);
    cam.setFocusDistance(400);

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

// A hard cube and a smooth one; UVs in two sets, colours on half the face-vertices, two shading
// groups (a phong on three faces, a lambert with a file texture on the rest).
void cube() {
    TObject hard = standin::createCube("hardCube", true);
    TObject smooth = standin::createCube("smoothCube", false, 1);
    move(TFnDagNode(smooth).parent(0), 3, 0, 0);
    TFnMesh mesh(hard);
    TFloatArray u, v;
    TIntArray counts(6, 4), ids;
    for (int f = 0; f < 6; ++f)
        for (int k = 0; k < 4; ++k) ids.append(k);
    for (float x : {0.0f, 1.0f, 1.0f, 0.0f}) u.append(x);
    for (float y : {0.0f, 0.0f, 1.0f, 1.0f}) v.append(y);
    mesh.setUVs(u, v);
    mesh.assignUVs(counts, ids);
    mesh.createUVSet("lightmap");
    TString lightmap("lightmap");
    mesh.setUVs(u, v, &lightmap);
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
    t.setLimit(TFnTransform::kTranslateMinY, 0);
    t.enableLimit(TFnTransform::kTranslateMinY, true);
    t.setLimit(TFnTransform::kRotateMinX, -0.5);
    t.setLimit(TFnTransform::kRotateMaxX, 0.5);
    t.enableLimit(TFnTransform::kRotateMinX, true);
    t.enableLimit(TFnTransform::kRotateMaxX, true);
    t.setLimit(TFnTransform::kScaleMaxZ, 3);
    t.enableLimit(TFnTransform::kScaleMaxZ, true);
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

const std::map<std::string, void (*)()>& table() {
    static const std::map<std::string, void (*)()> t = {{"cameras", cameras}, {"cube", cube},     {"nurbs", nurbs},
                                                        {"rich", rich},       {"sample", sample}, {"skinRig", skinRig}};
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

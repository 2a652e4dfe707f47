// Named scenes for tests and for "standin_scene <name>": each a fixed sequence of builder calls,
// so a scene built twice dumps identically.
#include <map>

#include "scene.h"
#include "standin.h"
#include "tfncamera.h"
#include "tfnlight.h"
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

const std::map<std::string, void (*)()>& table() {
    static const std::map<std::string, void (*)()> t = {{"cameras", cameras}};
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

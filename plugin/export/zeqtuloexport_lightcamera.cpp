// Builders of the first walk for lights, cameras and camera look-at transforms. They fix the kind
// of each node only; values and animation come with the transform pass. Each camera has a record
// under its own path; a look-at group is a node like any other, each under its own parent.
#include "plugin/export/zeqtuloexport.h"

#include "content/kzeqcamera.h"
#include "content/kzeqgobo.h"
#include "content/kzeqlight.h"
#include "plugin/zeqtuloutility.h"
#include "tfncamera.h"
#include "tfnlight.h"

using namespace zeqsdk_400;

namespace {

// The light function set of the row opened on the transform's first child: the node's visibility
// when it opens, else none.
template <class LightFn>
void VisibilityFromLight(ZeqTuloExport& exporter, TDagPath& path, ZeqTuloNode* node) {
    if (path.apiType() != TFn::kTransform || path.childCount() == 0) return;
    TStatus status;
    LightFn light(path.child(0), &status);
    if (status) node->SetVisibility(exporter.GetNodeVisibility(light));
}

}  // namespace

ZeqTuloNode* ZeqTuloExport::BuildLightGeometry(TDagPath& path, TFnDagNode& node) {
    ZeqTuloNode* made = mSdkManager.CreateZeqTuloNode(node.name().asChar(), &path);
    if (!made) return nullptr;
    RegisterNode(made, path);
    if (path.hasFn(TFn::kAmbientLight)) return made;
    KZeqLight* light = mSdkManager.CreateKZeqLight();
    if (!light) return made;
    made->SetNodeAttribute(light);
    if (path.hasFn(TFn::kPointLight)) {
        light->SetLightType(KZeqLight::ePOINT);
        VisibilityFromLight<TFnPointLight>(*this, path, made);
    } else if (path.hasFn(TFn::kSpotLight)) {
        light->SetLightType(KZeqLight::eSPOT);
        light->SetGobo(mSdkManager.CreateKZeqGobo(node.name().asChar()));
        VisibilityFromLight<TFnSpotLight>(*this, path, made);
    } else if (path.hasFn(TFn::kDirectionalLight)) {
        light->SetLightType(KZeqLight::eINFINITE);
        VisibilityFromLight<TFnDirectionalLight>(*this, path, made);
    } else {
        made->SetVisibility(false);
        light->SetLightType(KZeqLight::ePOINT);
    }
    return made;
}

ZeqTuloNode* ZeqTuloExport::BuildCameraGeometry(TDagPath& path, TFnDagNode& node) {
    TFnCamera camera(path);
    KTuloExportCameraInfo* info = &mCameraInfos[path.fullPathName().asChar()];
    info->mCameraObject = camera.object();
    KZeqCamera* attribute = mSdkManager.CreateKZeqCamera();
    ZeqTuloNode* made = mSdkManager.CreateZeqTuloNode(node.name().asChar(), &path);
    if (!made) return nullptr;
    if (attribute) {
        attribute->SetShowAxis(true);
        attribute->SetShowName(true);
    }
    RegisterNode(made, path);
    info->mCameraNode = made;
    made->SetNodeAttribute(attribute);
    made->SetVisibility(GetNodeVisibility(camera));
    return made;
}

ZeqTuloNode* ZeqTuloExport::BuildLookAtGeometry(TDagPath& path, TFnDagNode& node) {
    ZeqTuloNode* made = mSdkManager.CreateZeqTuloNode(node.name().asChar(), &path);
    if (made) RegisterNode(made, path);
    return made;
}

// Cameras: made by the host's camera command (with its aim and up nodes and their group for a
// camera with targets), picked up from the selection, named, set and placed under their parent.
#include <string>

#include "content/kzeqcamera.h"
#include "content/kzeqcameraproperties.h"
#include "object/kproperty.h"
#include "plugin/import/zeqtuloimport.h"
#include "scene/kzeqnodeproperties.h"
#include "tfncamera.h"
#include "tfntransform.h"
#include "tglobal.h"
#include "tplugin.h"
#include "tselectionlist.h"

using namespace zeqsdk_400;

namespace {

// The command's pieces, in order; the node-making call follows them.
const char* const kCameraCommand[] = {
    "camera ",
    "-centerOfInterest 5 -focalLength 35 -lensSqueezeRatio 1 ",
    "-cameraScale 1 -horizontalFilmAperture 1.41732 -horizontalFilmOffset 0 ",
    "-verticalFilmAperture 0.94488 -verticalFilmOffset 0 -filmFit Horizontal ",
    "-overscan 1 -motionBlur 0 -shutterAngle 144 -nearClipPlane 0.01 -farClipPlane 1000 ",
    "-orthographic 0 -orthographicWidth 30; ",
    "objectMoveCommand; ",
};

// Names the selected node, records it in the scene node and gives it the node's user properties.
void RecordTargetNode(ZeqTuloImport& driver, const TSelectionList& selection, unsigned index, KZeqNode* target) {
    ZeqTuloNode* node = static_cast<ZeqTuloNode*>(target);
    TObject object;
    if (!node || !selection.getDependNode(index, object)) return;
    TFnDagNode dag;
    if (!dag.setObject(object)) return;
    dag.setName(TString(node->GetNameWithoutNameSpacePrefix().Buffer()));
    TFnTransform transform(object);
    TDagPath path;
    if (!transform.getPath(path)) return;
    node->SetShapeObject(&object);
    node->SetDagPath(&path);
    driver.AddUserProperties(transform, node);
}

}  // namespace

void ZeqTuloImport::DropRootAsCameraTarget() {
    if (!mRootNode) return;
    KPlug* root = mRootNode->GetPropertyHandler();
    // The targets pass over the root already; the user hears that the file's aim was not taken.
    const struct {
        const char* mProperty;
        const char* mWithout;
    } kTargets[] = {{"LookAtProperty", "a target"}, {"UpVectorProperty", "an up-vector target"}};
    VisitDepthFirst(mRootNode, [&](ZeqTuloNode& node) {
        if (!node.GetCamera()) return;
        for (const auto& target : kTargets) {
            KProperty* property = node.GetPropertyHandler()->FindPropertyByName(target.mProperty);
            if (!property || !property->IsConnectedSrc(root)) continue;
            property->DisconnectSrc(root);
            const std::string line = std::string("Camera ") + node.GetNameWithoutNameSpacePrefix().Buffer() +
                                     ": its " + target.mProperty +
                                     " names the scene root, which is no camera's target; the camera is left without " +
                                     target.mWithout + ".";
            LogLine(line.c_str());
            TPxCommand::displayWarning(TString(line.c_str()));
        }
    });
}

void ZeqTuloImport::CreateCameraGeometry(ZeqTuloNode& node) {
    KZeqCamera* camera = node.GetCamera();
    if (!camera) return;
    std::string command;
    for (const char* piece : kCameraCommand) command += piece;
    const bool target = node.GetTarget() != nullptr;
    const bool up = target && node.GetTargetUp() != nullptr;
    command += !target ? "cameraMakeNode 1 \"\"" : up ? "cameraMakeNode 3 \"\"" : "cameraMakeNode 2 \"\"";
    TStringArray result;
    TGlobal::executeCommand(TString(command.c_str()), result, true, false);

    TSelectionList selection;
    TGlobal::getActiveSelectionList(selection);
    const unsigned selected = selection.length();
    if (selected == 0 || selected > 3) return;
    TObject cameraTransform;
    if (!selection.getDependNode(0, cameraTransform)) return;
    TFnDagNode transformSet(cameraTransform);
    transformSet.setName(TString(node.GetNameWithoutNameSpacePrefix().Buffer()));
    TStatus status;
    if (transformSet.childCount() == 0) return;
    TObject shape = transformSet.child(0, &status);
    TFnCamera cameraSet(shape, &status);
    if (!status) return;

    cameraSet.setLensSqueezeRatio(camera->GetSqueezeRatio());
    cameraSet.setClippingPlanes(true);
    cameraSet.setNearClippingPlane(camera->GetNearPlane());
    cameraSet.setFarClippingPlane(camera->GetFarPlane());
    cameraSet.setFocalLength(camera->GetFocalLength());
    if (camera->GetProjectionType() == KZeqCameraTypes::eORTHOGONAL) cameraSet.setIsOrtho(true);

    TFnTransform transform(cameraSet.parent(0), &status);
    TDagPath path;
    if (!status || !transform.getPath(path)) return;
    node.SetShapeObject(&shape);
    node.SetDagPath(&path);

    // The group the command made for a camera with targets stands for the camera's Zeq camera
    // group: it takes that group's name, so that the file written from the host names the group
    // as it was (and reads back as a camera group).
    ZeqTuloNode* zeqGroup = static_cast<ZeqTuloNode*>(node.GetParent());
    if (target && zeqGroup && IsCameraGroup(zeqGroup)) {
        TFnDagNode hostGroup(transform.parent(0, &status), &status);
        if (status) hostGroup.setName(TString(zeqGroup->GetNameWithoutNameSpacePrefix().Buffer()));
    }

    // The selection holds camera, aim (or camera, up, aim) as the call made them; entries the scene
    // node has no target for are left alone.
    if (selected > 1 && target) RecordTargetNode(*this, selection, selected == 2 ? 1 : 2, node.GetTarget());
    if (selected > 2 && up) RecordTargetNode(*this, selection, 1, node.GetTargetUp());

    ZeqTuloNode* parent = static_cast<ZeqTuloNode*>(node.GetParent());
    if (parent && IsCameraGroup(parent)) parent = static_cast<ZeqTuloNode*>(parent->GetParent());
    const TDagPath* parentPath = parent && parent != mRootNode ? parent->GetDagPath() : nullptr;
    if (parentPath && parentPath->isValid()) {
        TObject moved = cameraSet.parent(0);
        if (target) moved = TFnDagNode(moved).parent(0);
        TFnDagNode movedSet(moved);
        TFnDagNode parentSet(*parentPath);
        const std::string reparent =
            std::string("parent ") + movedSet.partialPathName().asChar() + " " + parentSet.partialPathName().asChar();
        if (TGlobal::executeCommand(TString(reparent.c_str()), result, true, false)) {
            // The moved nodes' former paths lead nowhere now: each takes its new one.
            struct Moved {
                ZeqTuloNode* mNode;
                TObject mObject;
            };
            const Moved movedNodes[] = {
                {&node, transform.object()},
                {static_cast<ZeqTuloNode*>(node.GetTarget()), TObject()},
                {static_cast<ZeqTuloNode*>(node.GetTargetUp()), TObject()},
            };
            for (Moved entry : movedNodes) {
                if (!entry.mNode || !entry.mNode->GetDagPath()) continue;
                if (entry.mObject.isNull() && entry.mNode->GetShapeObject()) entry.mObject = *entry.mNode->GetShapeObject();
                TDagPath refreshed;
                if (!entry.mObject.isNull() && TDagPath::getAPathTo(entry.mObject, refreshed))
                    entry.mNode->SetDagPath(&refreshed);
            }
        }
    }
    AddUserProperties(transform, &node);
}

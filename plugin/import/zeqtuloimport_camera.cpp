// Cameras: made by the host's camera command (with its aim and up nodes and their group for a
// camera with targets), picked up from the selection, named, set and placed under their parent. A
// target that comes in as itself takes the place of the command's node in the group.
#include <algorithm>
#include <string>
#include <vector>

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

// Names the host node after the target, records it in the target's scene node and gives it the
// node's user properties.
void RecordTargetNode(ZeqTuloImport& driver, const TObject& object, KZeqNode* target) {
    ZeqTuloNode* node = static_cast<ZeqTuloNode*>(target);
    TFnDagNode dag;
    if (!node || object.isNull() || !dag.setObject(object)) return;
    dag.setName(TString(node->GetNameWithoutNameSpacePrefix().Buffer()));
    TFnTransform transform(object);
    TDagPath path;
    if (!transform.getPath(path)) return;
    node->SetShapeObject(&object);
    node->SetDagPath(&path);
    driver.AddUserProperties(transform, node);
}

// The scene nodes of subtrees about to move in the host, with their host nodes: once moved, each
// takes its new path (the former ones lead nowhere).
class MovedNodes {
public:
    void Add(ZeqTuloNode* top) {
        VisitDepthFirst(top, [this](ZeqTuloNode& node) {
            const TObject object = HostObject(&node);
            if (!object.isNull()) mEntries.push_back({&node, object});
        });
    }
    void Refresh() const {
        for (const Entry& entry : mEntries) {
            TDagPath path;
            if (TDagPath::getAPathTo(entry.mObject, path)) entry.mNode->SetDagPath(&path);
        }
    }

private:
    struct Entry {
        ZeqTuloNode* mNode;
        TObject mObject;
    };
    std::vector<Entry> mEntries;
};

// "parent <child> <parent>": the child and its subtree move, their local values kept.
bool Reparent(const TObject& child, const TObject& parent) {
    const std::string command = std::string("parent ") + TFnDagNode(child).partialPathName().asChar() + " " +
                                TFnDagNode(parent).partialPathName().asChar();
    TStringArray result;
    return static_cast<bool>(TGlobal::executeCommand(TString(command.c_str()), result, true, false));
}

// Puts the nodes in this order as the group's first children (after its shapes), the user's nodes
// in the group after them, as they came: a node out of place and every one after it come (back)
// into the group at its end, under their own names.
void Arrange(const TObject& group, const std::vector<TObject>& order) {
    const std::vector<TObject> held = TransformChildren(group);
    std::vector<TObject> wanted = order;
    for (const TObject& node : held)
        if (std::find(order.begin(), order.end(), node) == order.end()) wanted.push_back(node);
    std::size_t first = 0;
    while (first < wanted.size() && first < held.size() && held[first] == wanted[first]) ++first;
    TFnDagNode groupSet(group);
    for (std::size_t i = first; i < wanted.size(); ++i) {
        TObject node = wanted[i];
        TFnDagNode nodeSet(node);
        const TString name = nodeSet.name();
        // A node of the group leaves it first: the host adds a node to its parent only once.
        if (nodeSet.parent(0) == group) groupSet.removeChild(node);
        groupSet.addChild(node);
        if (!(nodeSet.name() == name)) nodeSet.setName(name);
    }
}

// An up node as the camera command makes it, for a group whose command node gave way: a transform
// with a locator at the end of the group.
TObject MakeCommandLikeNode(const TObject& group) {
    TStatus status;
    TFnTransform transform;
    const TObject made = transform.create(group, &status);
    if (!status) return TObject();
    TFnDagNode().create("locator", made, &status);
    return made;
}

void LeaveOutUnmadeTargets(ZeqTuloImport& driver, const ZeqTuloNode& camera, ZeqTuloCameraTargets& targets) {
    // A target to come in as itself that the host did not make leaves nothing to aim at.
    for (const ZeqTuloCameraTargets::Role& role : targets.Roles()) {
        const ZeqTuloNode* own = static_cast<ZeqTuloNode*>(role.mNode);
        if (role.mHow != ZeqTuloCameraTargets::eOwnNode || !own || !HostObject(own).isNull()) continue;
        const std::string line = "Camera " + std::string(camera.GetNameWithoutNameSpacePrefix().Buffer()) + ": " +
                                 own->GetNameWithoutNameSpacePrefix().Buffer() + " has no host node; the " +
                                 role.mName + " is left out.";
        driver.LogLine(line.c_str());
        role.LeaveOut();
    }
    // The up-vector target goes with the aim.
    if (!targets.mAim) targets.Roles()[1].LeaveOut();
}

}  // namespace

void ZeqTuloImport::DropRootAsTarget() {
    if (!mRootNode) return;
    KPlug* root = mRootNode->GetPropertyHandler();
    // The targets pass over the root already; the user hears that the file's aim was not taken.
    const struct {
        const char* mProperty;
        const char* mWithout;
        const char* mRole;
        KZeqNode* (KZeqNode::*mRemaining)() const;
    } kTargets[] = {{"LookAtProperty", "a target", "target", &KZeqNode::GetTarget},
                    {"UpVectorProperty", "an up-vector target", "up-vector target", &KZeqNode::GetTargetUp}};
    VisitDepthFirst(mRootNode, [&](ZeqTuloNode& node) {
        const bool camera = node.GetCamera() != nullptr;
        if (!camera && !node.GetLight()) return;
        const std::string kind = camera ? "camera" : "light";
        for (const auto& target : kTargets) {
            KProperty* property = node.GetPropertyHandler()->FindPropertyByName(target.mProperty);
            if (!property || !property->IsConnectedSrc(root)) continue;
            property->DisconnectSrc(root);
            std::string line = (camera ? "Camera " : "Light ") +
                               std::string(node.GetNameWithoutNameSpacePrefix().Buffer()) + ": its " +
                               target.mProperty + " names the scene root, which is no " + kind + "'s target; ";
            // Another model the property names is the target: nothing is lost.
            if (KZeqNode* remaining = (node.*target.mRemaining)()) {
                line += std::string(remaining->GetNameWithoutNameSpacePrefix().Buffer()) + " stays its " +
                        target.mRole + ".";
                NodeLine(node, line);
                continue;
            }
            line += "the " + kind + " is left without " + target.mWithout + ".";
            SayOnceBound([this, &node, line] {
                if (!ComesIn(node)) return;
                LogLine(line.c_str());
                TPxCommand::displayWarning(TString(line.c_str()));
            });
        }
    });
}

void ZeqTuloImport::CreateCameraGeometry(ZeqTuloNode& node) {
    KZeqCamera* camera = node.GetCamera();
    if (!camera) return;
    // A camera the node set has no record of goes without targets.
    ZeqTuloCameraTargets targets;
    if (const ZeqTuloCameraTargets* planned = GetCameraTargets(&node)) targets = *planned;
    // A look-at group of the host's takes the camera in, with whatever of its rig it lacks.
    const bool join = !targets.mHostGroup.isNull();
    if (!join) LeaveOutUnmadeTargets(*this, node, targets);
    const bool target = targets.mAim != nullptr && !join;
    const bool up = targets.mUp != nullptr;

    std::string command;
    for (const char* piece : kCameraCommand) command += piece;
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
    if (join) {
        AddUserProperties(transform, &node);
        JoinLookAtGroup(node);
        return;
    }

    // The group the command made for a camera with targets stands for the camera's Zeq camera
    // group: it takes that group's name (below), so that the file written from the host names the
    // group as it was (and reads back as a camera group).
    ZeqTuloNode* zeqGroup = static_cast<ZeqTuloNode*>(node.GetParent());
    const TObject hostGroup = target ? transform.parent(0, &status) : TObject();
    const bool standsForGroup = target && zeqGroup && IsHostCameraGroup(zeqGroup) && !hostGroup.isNull();

    // The selection holds camera, aim (or camera, up, aim) as the call made them. A target that
    // comes in as itself takes the place of the command's node; the group keeps the order camera,
    // aim, up, so the up node gives way too when the aim does.
    MovedNodes moved;
    moved.Add(&node);
    if (target && !hostGroup.isNull()) {
        TObject aimNode, upNode;
        if (selected > 1) selection.getDependNode(selected == 2 ? 1 : 2, aimNode);
        if (selected > 2) selection.getDependNode(1, upNode);
        const bool ownAim = targets.mAimHow == ZeqTuloCameraTargets::eOwnNode;
        const bool ownUp = up && targets.mUpHow == ZeqTuloCameraTargets::eOwnNode;
        if (ownAim) {
            if (!aimNode.isNull()) TGlobal::deleteNode(aimNode);
            aimNode = HostObject(static_cast<ZeqTuloNode*>(targets.mAim));
            moved.Add(static_cast<ZeqTuloNode*>(targets.mAim));
            Reparent(aimNode, hostGroup);
        } else {
            RecordTargetNode(*this, aimNode, targets.mAim);
        }
        if (up && (ownAim || ownUp)) {
            if (!upNode.isNull()) TGlobal::deleteNode(upNode);
            upNode = ownUp ? HostObject(static_cast<ZeqTuloNode*>(targets.mUp)) : MakeCommandLikeNode(hostGroup);
        }
        if (ownUp) {
            moved.Add(static_cast<ZeqTuloNode*>(targets.mUp));
            Reparent(upNode, hostGroup);
        } else if (up) {
            RecordTargetNode(*this, upNode, targets.mUp);
        }
        moved.Add(static_cast<ZeqTuloNode*>(targets.mAim));
        moved.Add(static_cast<ZeqTuloNode*>(targets.mUp));
    }

    // The camera's group stands for its Zeq camera group: it goes under that group's parent.
    ZeqTuloNode* parent = zeqGroup;
    if (parent && IsHostCameraGroup(parent)) parent = static_cast<ZeqTuloNode*>(parent->GetParent());
    const TObject parentObject = parent && parent != mRootNode ? HostObject(parent) : TObject();
    const TObject top = target ? hostGroup : transform.object();
    if (!parentObject.isNull() && !top.isNull()) Reparent(top, parentObject);
    moved.Refresh();
    // Named where the command made it, at the top, the camera took a number there beside the
    // host's own cameras ("top1"); below, it keeps its name, as any other node does.
    const TString name(node.GetNameWithoutNameSpacePrefix().Buffer());
    if (!(transformSet.name() == name)) transformSet.setName(name);
    // The look-at group is the file group's host node: named as it is once under its parent (at the
    // top, where the command made it, another group may hold the name), and its transform,
    // animation and user properties land there as any node's do.
    const TString groupName(zeqGroup ? zeqGroup->GetNameWithoutNameSpacePrefix().Buffer() : "");
    if (standsForGroup && !(TFnDagNode(hostGroup).name() == groupName)) TFnDagNode(hostGroup).setName(groupName);
    TDagPath groupPath;
    if (standsForGroup && TDagPath::getAPathTo(hostGroup, groupPath)) {
        zeqGroup->SetDagPath(&groupPath);
        TFnTransform groupTransform(groupPath);
        AddUserProperties(groupTransform, zeqGroup);
    }
    // Where a command node gave way, the selection holds what the command would have selected.
    if (targets.mAimHow == ZeqTuloCameraTargets::eOwnNode || targets.mUpHow == ZeqTuloCameraTargets::eOwnNode) {
        TSelectionList made;
        for (KZeqNode* entry : {static_cast<KZeqNode*>(&node), targets.mUp, targets.mAim}) {
            const ZeqTuloNode* host = static_cast<const ZeqTuloNode*>(entry);
            if (!HostObject(host).isNull()) made.add(*host->GetDagPath());
        }
        TGlobal::setActiveSelectionList(made);
    }
    AddUserProperties(transform, &node);
}

void ZeqTuloImport::JoinLookAtGroup(ZeqTuloNode& camera) {
    const auto found = mCameraTargets.find(&camera);
    const TObject cameraHost = HostObject(&camera);
    if (found == mCameraTargets.end() || found->second.mHostGroup.isNull() || cameraHost.isNull()) return;
    ZeqTuloCameraTargets& targets = found->second;
    const TObject group = targets.mHostGroup;
    // A bare target the group lacks is made in it as the camera command makes one.
    for (const ZeqTuloCameraTargets::Role& role : targets.Roles()) {
        ZeqTuloNode* node = static_cast<ZeqTuloNode*>(role.mNode);
        if (node && HostObject(node).isNull() && role.mHow == ZeqTuloCameraTargets::eCommandNode)
            RecordTargetNode(*this, MakeCommandLikeNode(group), node);
    }
    LeaveOutUnmadeTargets(*this, camera, targets);
    std::vector<TObject> order{cameraHost};
    MovedNodes moved;
    moved.Add(&camera);
    // A rig the host held whole is completed by nothing: its nodes and the user's stay in place.
    bool complete = camera.mIsPresent;
    for (KZeqNode* target : {targets.mAim, targets.mUp})
        if (target) {
            order.push_back(HostObject(static_cast<ZeqTuloNode*>(target)));
            moved.Add(static_cast<ZeqTuloNode*>(target));
            complete = complete && static_cast<ZeqTuloNode*>(target)->mIsPresent;
        }
    if (complete) return;
    Arrange(group, order);
    // A camera made for the group took its name where the command made it (at the top, where
    // another node may hold it): in the group the name is its own.
    const TString name(camera.GetNameWithoutNameSpacePrefix().Buffer());
    TFnDagNode cameraSet(cameraHost);
    if (!camera.mIsPresent && !(cameraSet.name() == name)) cameraSet.setName(name);
    moved.Refresh();
}

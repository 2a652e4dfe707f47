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

// A target as the camera command makes it, for a group whose command node gave way or lacks it: a
// transform with a locator at the end of the group, the locator named for the node's part (mark)
// after the camera as the command names it, or not.
TObject MakeCommandLikeNode(const TObject& group, ZeqTuloRigMark mark, const ZeqTuloNode& camera) {
    TStatus status;
    TFnTransform transform;
    const TObject made = transform.create(group, &status);
    if (!status) return TObject();
    const TObject locator = TFnDagNode().create("locator", made, &status);
    if (status && (mark == ZeqTuloRigMark::eAim || mark == ZeqTuloRigMark::eUp))
        TFnDagNode(locator).setName(TString((std::string(camera.GetNameWithoutNameSpacePrefix().Buffer()) +
                                             (mark == ZeqTuloRigMark::eAim ? "_aimShape" : "_upShape"))
                                                .c_str()));
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

// Whether the host takes the nodes, in this order, for the rig whose parts (0 camera, 1 aim, 2 up
// node, -1 none) they play.
bool HostTakesRig(const std::vector<TObject>& nodes, const std::vector<int>& parts) {
    std::vector<ZeqTuloRigMark> marks;
    int at[3] = {-1, -1, -1};
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        marks.push_back(HostRigMark(nodes[i]));
        if (parts[i] >= 0) at[parts[i]] = static_cast<int>(i);
    }
    const ZeqTuloRigPlaces places = HostRigPlaces(marks);
    return places.mCamera == at[0] && places.mAim == at[1] && places.mUp == at[2];
}

// The nodes with the rig's together, camera, aim and up node in this order, ahead of every other
// camera: the host takes targets of the file's (no locator of the command's) by their places after
// the camera, and with no up node of the rig's, takes none only where no node follows the aim. The
// nodes of the user's before the camera stay before it, where the host takes the rig so; else all
// but cameras go before it.
std::vector<TObject> RigTogether(const std::vector<TObject>& nodes, const std::vector<int>& parts) {
    for (bool usersFirst : {false, true}) {
        std::vector<TObject> before, rig(3), after;
        bool cameraMet = false;
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            if (parts[i] >= 0) {
                rig[static_cast<std::size_t>(parts[i])] = nodes[i];
                cameraMet = cameraMet || parts[i] == 0;
            } else if ((!cameraMet || usersFirst) && HostRigMark(nodes[i]) != ZeqTuloRigMark::eCamera) {
                before.push_back(nodes[i]);
            } else {
                after.push_back(nodes[i]);
            }
        }
        std::vector<int> placed(before.size(), -1);
        for (std::size_t part = 0; part < rig.size(); ++part)
            if (!rig[part].isNull()) {
                before.push_back(rig[part]);
                placed.push_back(static_cast<int>(part));
            }
        before.insert(before.end(), after.begin(), after.end());
        placed.resize(before.size(), -1);
        if (usersFirst || HostTakesRig(before, placed)) return before;
    }
    return nodes;
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
    // aim, up, so the up node gives way too when the aim does. The command's aim gives way to one
    // without the aim's locator where the up node comes in as itself without an up node's: the
    // host takes such a rig by its nodes' places (RigMark).
    MovedNodes moved;
    moved.Add(&node);
    if (target && !hostGroup.isNull()) {
        TObject aimNode, upNode;
        if (selected > 1) selection.getDependNode(selected == 2 ? 1 : 2, aimNode);
        if (selected > 2) selection.getDependNode(1, upNode);
        const bool ownAim = targets.mAimHow == ZeqTuloCameraTargets::eOwnNode;
        const bool ownUp = up && targets.mUpHow == ZeqTuloCameraTargets::eOwnNode;
        const ZeqTuloRigMark aimMark = RigMark(targets, 1, targets.mAim);
        const bool plainAim = !ownAim && aimMark != ZeqTuloRigMark::eAim;
        if ((ownAim || plainAim) && !aimNode.isNull()) TGlobal::deleteNode(aimNode);
        if (ownAim) {
            aimNode = HostObject(static_cast<ZeqTuloNode*>(targets.mAim));
            moved.Add(static_cast<ZeqTuloNode*>(targets.mAim));
            Reparent(aimNode, hostGroup);
        } else {
            if (plainAim) aimNode = MakeCommandLikeNode(hostGroup, aimMark, node);
            RecordTargetNode(*this, aimNode, targets.mAim);
        }
        if (up && (ownAim || ownUp || plainAim)) {
            if (!upNode.isNull()) TGlobal::deleteNode(upNode);
            upNode = ownUp ? HostObject(static_cast<ZeqTuloNode*>(targets.mUp))
                           : MakeCommandLikeNode(hostGroup, RigMark(targets, 2, targets.mUp), node);
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
            RecordTargetNode(
                *this, MakeCommandLikeNode(group, RigMark(targets, role.IsUp(targets) ? 2 : 1, node), camera), node);
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

void ZeqTuloImport::ArrangeLookAtGroups() {
    for (const KZeqNode* entry : mCameraGroups) {
        const ZeqTuloNode* group = static_cast<const ZeqTuloNode*>(entry);
        const TObject host = HostObject(group);
        if (host.isNull()) continue;
        const ZeqTuloLookAtRig rig = FindLookAtRig(const_cast<KZeqNode*>(entry));
        const auto partOf = [&rig](const TObject& node) {
            for (int part = 0; part < 3; ++part) {
                const KZeqNode* of = part == 0 ? rig.mCamera : part == 1 ? rig.mAim : rig.mUp;
                if (of && HostObject(static_cast<const ZeqTuloNode*>(of)) == node) return part;
            }
            return -1;
        };
        // A group the import made holds the file group's nodes, the user's among them, in the
        // file's order; into a group the host had, the nodes this import made go where the file
        // has them among the host's, which stay as they stand.
        std::vector<TObject> order = group->mIsPresent ? TransformChildren(host) : std::vector<TObject>();
        std::size_t next = 0;
        MovedNodes moved;
        for (int i = 0; i < group->GetChildCount(); ++i) {
            ZeqTuloNode* child = static_cast<ZeqTuloNode*>(group->GetChild(i));
            const TObject object = HostObject(child);
            if (object.isNull() || !(TFnDagNode(object).parent(0) == host)) continue;
            moved.Add(child);
            const auto at = std::find(order.begin(), order.end(), object);
            if (!group->mIsPresent) {
                order.push_back(object);
            } else if (child->mIsPresent && at != order.end()) {
                next = static_cast<std::size_t>(at - order.begin()) + 1;
            } else if (at != order.end()) {
                order.erase(at);
                next = std::min(next, order.size());
                order.insert(order.begin() + static_cast<std::ptrdiff_t>(next++), object);
            }
        }
        std::vector<int> parts;
        for (const TObject& node : order) parts.push_back(partOf(node));
        // Where the host would take other nodes for the rig's, a group the host had keeps the made
        // nodes at its end, and one the import made holds the rig together.
        if (!HostTakesRig(order, parts)) {
            if (group->mIsPresent) continue;
            order = RigTogether(order, parts);
        }
        Arrange(host, order);
        moved.Refresh();
    }
}

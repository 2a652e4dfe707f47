// Scene preparation: the old-version test, skin-link counts, deforming nulls made joints, the host's
// own cameras left out and their names kept for them, the name-to-node set with the cameras' targets
// and the tree order of bind-pose records.
#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "content/kzeqgeometry.h"
#include "content/kzeqlink.h"
#include "content/kzeqskeleton.h"
#include "fcurve/kfcurve.h"
#include "io/kzeqimporter.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtulolookatrig.h"
#include "plugin/zeqtulouserparams.h"
#include "plugin/zeqtuloutility.h"
#include "scene/kzeqnodeattribute.h"
#include "scene/kzeqtakenode.h"
#include "tfnanimcurve.h"
#include "tfndagnode.h"
#include "tunits.h"

using namespace zeqsdk_400;

bool IsOldVersion(KZeqNode* root, KZeqImporter* importer) {
    if (!root || !importer) return false;
    int major = 0, minor = 0, revision = 0;
    importer->GetFileVersion(major, minor, revision);
    if (major > 5 || minor > 7) return false;
    return IsOldVersion(root);
}

bool IsOldVersion(KZeqNode* node) {
    bool old = false;
    // The first node below whose pivots are left for reference (as a 5.x read leaves them) ends
    // the walk.
    VisitDepthFirst(node, [&](KZeqNode& n) {
        if (old) return false;
        if (&n != node) {
            KZeqNode::EPivotState state;
            n.GetPivotState(KZeqNode::eSOURCE_SET, state);
            old = state == KZeqNode::ePIVOT_STATE_REFERENCE;
        }
        return !old;
    });
    return old;
}

void CountNbZeqLinks(KZeqNode* node, int& count) {
    VisitDepthFirst(node, [&count](KZeqNode& n) {
        if (KZeqGeometry* geometry = n.GetGeometry()) count += geometry->GetLinkCount();
    });
}

bool IsJoint(KZeqNode* node) {
    return node && node->GetNodeAttribute() &&
           node->GetNodeAttribute()->GetAttributeType() == KZeqNodeAttribute::eSKELETON;
}

void ReplaceNullsUsedAsLinks(KZeqNode* node, ZeqTuloSdkManager& manager) {
    VisitDepthFirst(node, [&manager](KZeqNode& n) {
        KZeqGeometry* geometry = n.GetGeometry();
        for (int i = 0; geometry && i < geometry->GetLinkCount(); ++i) {
            KZeqLink* link = geometry->GetLink(i);
            KZeqNode* linked = link ? link->GetLink() : nullptr;
            if (!linked || IsJoint(linked)) continue;
            KZeqSkeleton* skeleton = manager.CreateKZeqSkeleton();
            if (!skeleton) continue;
            // The former attribute leaves the node; the manager still owns and ends it.
            linked->SetNodeAttribute(skeleton);
            skeleton->SetSkeletonType(KZeqSkeleton::eLIMB_NODE);
        }
    });
}

bool IsBareTarget(KZeqNode* node, const std::unordered_set<const KZeqNode*>& links) {
    if (!node || node->GetChildCount() > 0 || links.count(node)) return false;
    const KZeqNodeAttribute* attribute = node->GetNodeAttribute();
    if (attribute ? attribute->GetAttributeType() != KZeqNodeAttribute::eNULL : IsJoint(node->GetParent()))
        return false;
    KZeqTakeNode* take = node->GetCurrentTakeNode();
    if (!take) return true;
    for (KFCurve* curve : {take->GetEulerRotationX(), take->GetEulerRotationY(), take->GetEulerRotationZ(),
                           take->GetScaleX(), take->GetScaleY(), take->GetScaleZ(), take->GetVisibility()})
        if (curve && curve->KeyGetCount() > 0) return false;
    return true;
}

void ZeqTuloImport::AddQuorbelNodeArray(KZeqNode* node) {
    VisitDepthFirst(node,
                    [this](KZeqNode& n) { mQuorbelNodeArray.Add(n.GetName(), reinterpret_cast<kReference>(&n)); });
}

const ZeqTuloCameraTargets* ZeqTuloImport::GetCameraTargets(const KZeqNode* camera) const {
    const auto found = mCameraTargets.find(camera);
    return found == mCameraTargets.end() ? nullptr : &found->second;
}

namespace {

// Whether the import makes the node as a null: a transform and a locator named after it.
bool MadeAsNull(const KZeqNode& node) {
    const KZeqNodeAttribute* attribute = node.GetNodeAttribute();
    switch (attribute ? attribute->GetAttributeType() : KZeqNodeAttribute::eNULL) {
    case KZeqNodeAttribute::eMESH:
    case KZeqNodeAttribute::eNURB:
    case KZeqNodeAttribute::ePATCH:
    case KZeqNodeAttribute::eSKELETON:
    case KZeqNodeAttribute::eLIGHT:
    case KZeqNodeAttribute::eCAMERA: return false;
    default: return true;
    }
}

}  // namespace

ZeqTuloRigMark NullMark(const KZeqNode& node, const ZeqTuloCameraTargets* targets, int part) {
    const ZeqTuloRigMark named =
        LocatorMark((std::string(node.GetNameWithoutNameSpacePrefix().Buffer()) + "Shape").c_str());
    const ZeqTuloRigMark own =
        part == 1 ? ZeqTuloRigMark::eAim : part == 2 ? ZeqTuloRigMark::eUp : ZeqTuloRigMark::eNone;
    if (!targets || named != own) return ZeqTuloRigMark::eNone;
    if (part == 2 || !targets->mUp) return named;
    return RigMark(*targets, 2, targets->mUp) == ZeqTuloRigMark::eUp ? named : ZeqTuloRigMark::eNone;
}

ZeqTuloRigMark RigMark(const ZeqTuloCameraTargets& targets, int part, const KZeqNode* node) {
    if (!node) return ZeqTuloRigMark::eNone;
    const TObject host = HostObject(static_cast<const ZeqTuloNode*>(node));
    if (!host.isNull()) return HostRigMark(host);
    if (part == 0 || node->GetCamera()) return ZeqTuloRigMark::eCamera;
    if ((part == 1 ? targets.mAimHow : targets.mUpHow) != ZeqTuloCameraTargets::eCommandNode)
        return MadeAsNull(*node) ? NullMark(*node, &targets, part) : ZeqTuloRigMark::eNone;
    if (part == 2) return ZeqTuloRigMark::eUp;
    return !targets.mUp || RigMark(targets, 2, targets.mUp) == ZeqTuloRigMark::eUp ? ZeqTuloRigMark::eAim
                                                                                  : ZeqTuloRigMark::eNone;
}

ZeqTuloRigPlaces CompletedRigPlaces(const TObject& group, ZeqTuloNode* const (&rig)[3],
                                    const ZeqTuloCameraTargets& targets, int (&at)[3]) {
    const std::vector<TObject> held = ReadHostRig(group).mNodes;
    const auto place = [&held](const TObject& node) {
        const auto found = std::find(held.begin(), held.end(), node);
        return found == held.end() ? -1 : static_cast<int>(found - held.begin());
    };
    // The rig's nodes that come into the group: those it holds, and those the import makes.
    TObject hosts[3];
    bool comes[3], whole = true;
    for (int part = 0; part < 3; ++part) {
        hosts[part] = rig[part] && rig[part]->mIsPresent ? HostObject(rig[part]) : TObject();
        comes[part] = rig[part] && (hosts[part].isNull() || place(hosts[part]) >= 0);
        whole = whole && (!comes[part] || !hosts[part].isNull());
    }
    std::vector<ZeqTuloRigMark> marks;
    if (whole) {
        for (const TObject& node : held) marks.push_back(HostRigMark(node));
        for (int part = 0; part < 3; ++part) at[part] = comes[part] ? place(hosts[part]) : -1;
        return HostRigPlaces(marks);
    }
    for (int part = 0; part < 3; ++part) {
        at[part] = comes[part] ? static_cast<int>(marks.size()) : -1;
        if (comes[part]) marks.push_back(RigMark(targets, part, rig[part]));
    }
    for (const TObject& node : held)
        if (std::find(std::begin(hosts), std::end(hosts), node) == std::end(hosts)) marks.push_back(HostRigMark(node));
    return HostRigPlaces(marks);
}

namespace {

std::string ShortName(const KZeqNode& node) { return node.GetNameWithoutNameSpacePrefix().Buffer(); }

// The host takes an up node only with an aim.
std::string UpLeftOutWithAim(const KZeqNode& camera, const KZeqNode& up) {
    return "Camera " + ShortName(camera) + ": its up-vector target " + ShortName(up) + " is left out with the aim.";
}

// The nodes the scene's skins are bound to.
std::unordered_set<const KZeqNode*> SkinLinkNodes(KZeqNode* root) {
    std::unordered_set<const KZeqNode*> links;
    VisitDepthFirst(root, [&links](KZeqNode& n) {
        KZeqGeometry* geometry = n.GetGeometry();
        for (int i = 0; geometry && i < geometry->GetLinkCount(); ++i)
            if (KZeqLink* link = geometry->GetLink(i))
                if (link->GetLink()) links.insert(link->GetLink());
    });
    return links;
}

// Decides the targets of one camera at a time; a target is taken by one camera at most.
class CameraTargetPlanner {
public:
    CameraTargetPlanner(ZeqTuloImport& driver, KZeqNode* root) : mDriver(driver), mLinks(SkinLinkNodes(root)) {}

    ZeqTuloCameraTargets Plan(KZeqNode& camera) {
        ZeqTuloCameraTargets targets;
        KZeqNode* aim = camera.GetTarget();
        KZeqNode* up = camera.GetTargetUp();
        if (!aim && up)
            Log(camera, "Camera " + ShortName(camera) + ": its up-vector target " + ShortName(*up) +
                " is left out: the host takes one only with an aim, which the camera has not.");
        if (aim) {
            if (const char* problem = Problem(camera, *aim)) {
                Log(camera, "Camera " + ShortName(camera) + ": the host cannot aim it at " + ShortName(*aim) + " (" +
                    problem + "); the aim is left out and the camera keeps its orientation.");
                if (up) Log(camera, UpLeftOutWithAim(camera, *up));
                return targets;
            }
            targets.mAim = aim;
            targets.mAimHow = Take(*aim);
            targets.mAimed = true;
        }
        if (aim && up) {
            if (const char* problem = up == aim ? "it is the camera's aim" : Problem(camera, *up)) {
                Log(camera, "Camera " + ShortName(camera) + ": the host cannot take " + ShortName(*up) +
                    " as its up-vector target (" + problem + "); the up-vector target is left out.");
            } else {
                targets.mUp = up;
                targets.mUpHow = Take(*up);
            }
        }
        return targets;
    }

    // The bare targets the camera command makes: they leave the node set.
    const std::vector<KZeqNode*>& CommandNodes() const { return mCommandNodes; }

private:
    // Why the host cannot take the node as the camera's aim or up node; null when it can. Only a
    // node beside the camera can join the camera's look-at group, which takes the camera's place:
    // a bare target as the command's node, any other as itself. A target elsewhere stays where it
    // is, in the world where the file has it.
    const char* Problem(KZeqNode& camera, KZeqNode& target) const {
        if (&target == &camera) return "it is the camera itself";
        if (camera.IsSelfOrDescendantOf(&target)) return "it is above the camera";
        if (mTaken.count(&target)) return "it is another camera's target already";
        // The look-at group sits where the camera does: a node from elsewhere would move in it.
        if (target.GetParent() != camera.GetParent()) return "it is not beside the camera";
        if (IsBareTarget(&target, mLinks)) return nullptr;
        if (target.GetCamera() && target.GetTarget()) return "it is a camera with a target of its own";
        if (FindLookAtRig(&target)) return "it is another camera's group";
        return nullptr;
    }

    ZeqTuloCameraTargets::EHow Take(KZeqNode& target) {
        mTaken.insert(&target);
        if (!IsBareTarget(&target, mLinks)) return ZeqTuloCameraTargets::eOwnNode;
        mCommandNodes.push_back(&target);
        return ZeqTuloCameraTargets::eCommandNode;
    }

    void Log(const KZeqNode& camera, const std::string& line) { mDriver.NodeLine(camera, line); }

    ZeqTuloImport& mDriver;
    const std::unordered_set<const KZeqNode*> mLinks;
    std::unordered_set<const KZeqNode*> mTaken;
    std::vector<KZeqNode*> mCommandNodes;
};

// Whether the host takes a look-at group, once the import has put the camera's rig in it
// (CompletedRigPlaces), for the rig the file has: every node of the rig that comes into the group
// in its part. A node of the rig the host has elsewhere is left out of it, and stands in no way.
bool HoldsRig(const TObject& group, ZeqTuloNode* const (&rig)[3], const ZeqTuloCameraTargets& targets) {
    if (!group.hasFn(TFn::kLookAt)) return false;
    int at[3];
    const ZeqTuloRigPlaces places = CompletedRigPlaces(group, rig, targets, at);
    if (rig[0]->mIsPresent && at[0] < 0) return false;
    return places.mCamera == at[0] && (!rig[1] || at[1] < 0 || places.mAim == at[1]) &&
           (!rig[2] || at[2] < 0 || places.mUp == at[2]);
}

// A host node as a key of a set.
std::uint64_t NodeKey(const TObject& node) { return (std::uint64_t{node.id()} << 32) | node.generation(); }

// Whether the host aims the camera it had once the import is done: the camera of its look-at group,
// which keeps its nodes but for a camera of the file coming in first (one of joinedFirst).
bool HostAims(const TObject& camera, const std::unordered_set<std::uint64_t>& joinedFirst) {
    const TObject group = TFnDagNode(camera).parent(0);
    if (group.isNull() || joinedFirst.count(NodeKey(group))) return false;
    const ZeqTuloHostRig rig = ReadHostRig(group);
    return rig.mPlaces.Aims() && rig.Camera() == camera;
}

}  // namespace

void ZeqTuloImport::LeaveOutHostCameras(KZeqNode& root) {
    // The host's own cameras exist already: a camera at the top of the file named like one is that
    // camera, neither created nor matched. What hangs below one is no part of it: it comes in at
    // the top, where the camera's transform composed into its own keeps its place in the world.
    std::vector<KZeqNode*> reserved;
    for (int i = 0; i < root.GetChildCount(); ++i) {
        KZeqNode* child = root.GetChild(i);
        KZeqNodeAttribute* attribute = child->GetNodeAttribute();
        if (attribute && attribute->GetAttributeType() == KZeqNodeAttribute::eCAMERA &&
            ZeqTuloUtility::IsCameraNameReserved(child->GetNameWithoutNameSpacePrefix().Buffer()))
            reserved.push_back(child);
    }
    // The cameras aimed at one of them lose that target: each is said, as any dropped target is.
    if (!reserved.empty()) {
        const std::unordered_set<const KZeqNode*> left(reserved.begin(), reserved.end());
        VisitDepthFirst(&root, [&](KZeqNode& node) {
            if (!node.GetCamera() || left.count(&node)) return;
            const std::string about = "Camera " + ShortName(node) + ": the host cannot ";
            const char* const why = " (it is the host's own camera, which the import leaves out); ";
            if (KZeqNode* aim = node.GetTarget(); aim && left.count(aim))
                NodeLine(node, about + "aim it at " + ShortName(*aim) + why +
                                   "the aim is left out and the camera keeps its orientation.");
            if (KZeqNode* up = node.GetTargetUp(); up && left.count(up))
                NodeLine(node, about + "take " + ShortName(*up) + " as its up-vector target" + why +
                                   "the up-vector target is left out.");
        });
    }
    for (KZeqNode* camera : reserved) {
        const std::string name = ShortName(*camera);
        // A keyed camera places its children where it is at the host's time: its motion goes.
        const bool keyed = !TransformKeyTimes(*camera).empty();
        KTime time;
        if (keyed) time.SetSecondDouble(TAnimControl::currentTime().as(TTime::kSeconds));
        // Its translation, rotation and scaling: its pivots and rotation order take no part.
        const KZeqXMatrix above = TakeValuesMatrix(*camera, time);
        const bool moves = !SameMatrix(above, KZeqXMatrix());
        std::vector<KZeqNode*> children;
        for (int i = 0; i < camera->GetChildCount(); ++i) children.push_back(camera->GetChild(i));
        std::vector<std::pair<KZeqNode*, std::string>> notes;
        std::vector<KZeqNode*> moved;
        for (KZeqNode* child : children) {
            if (!root.AddChild(child)) continue;
            moved.push_back(child);
            if (!moves) continue;
            for (std::string& note : ComposeNoted(*child, above, "the transform of the camera " + name))
                notes.emplace_back(child, "Node " + note);
        }
        // Said of the nodes below it that come in, once that is known.
        SayOnceBound([this, name, moved, notes, keyed, pivots = TakesPivots(*camera)] {
            int coming = 0;
            for (const KZeqNode* child : moved) coming += ComesIn(*child) ? 1 : 0;
            std::string line = "Camera " + name + ": the host has its own camera of this name; it is left out";
            if (coming > 0)
                line += ", and the " + std::to_string(coming) +
                        (coming == 1 ? " node below it comes" : " nodes below it come") + " in at the top";
            LogLine((line + ".").c_str());
            if (keyed && coming > 0)
                LogLine(("Camera " + name +
                         ": its animation is left out with it; the nodes below it keep the place it gives them at "
                         "the host's current time.")
                            .c_str());
            if (coming > 0 && pivots)
                LogLine(("Camera " + name +
                         ": the nodes below it take its transform without its pivots and rotation order; their place "
                         "in the world may differ.")
                            .c_str());
            for (const auto& [child, note] : notes)
                if (ComesIn(*child)) LogLine(note.c_str());
        });
        root.RemoveChild(camera);
        mSdkManager.DestroyKZeqNode(camera, true);
    }

    // Any other node at the top named like one of the host's cameras, a camera that came up from
    // below a left-out one among them, is no host camera: it takes the first free number after
    // the name, as other clashes do, and is neither matched to the camera nor merged into it.
    std::unordered_set<std::string> taken;
    for (int i = 0; i < root.GetChildCount(); ++i) {
        KZeqNode* node = root.GetChild(i);
        const std::string name = ShortName(*node);
        if (!ZeqTuloUtility::IsCameraNameReserved(name.c_str())) continue;
        if (taken.empty())
            for (int n = 0; n < mSdkManager.GetKZeqNodeCount(); ++n)
                if (KZeqNode* other = mSdkManager.GetKZeqNode(n)) taken.insert(ShortName(*other));
        std::string free;
        for (long long n = 1;; ++n) {
            free = name + std::to_string(n);
            if (!taken.count(free) && !ZeqTuloUtility::IsCameraNameReserved(free.c_str())) break;
        }
        taken.insert(free);
        node->SetName(free.c_str());
        static_cast<ZeqTuloNode*>(node)->mFileHostName = free.c_str();
        NodeLine(*node, (node->GetCamera() ? "Camera " : "Node ") + name +
                            ": the host has its own camera of this name; this node comes in as " + free + ".");
    }
}

void ZeqTuloImport::FillQuorbelNodeArray(KZeqNode* root) {
    mQuorbelNodeArray.Clear();
    mCameraTargets.clear();
    mTargetParts.clear();
    mTargetPartsMade = false;
    mCameraGroups.clear();
    if (!root) return;
    // The host's lights take no target: what the file aims them at is left out, and said.
    VisitDepthFirst(root, [this](KZeqNode& node) {
        if (!node.GetLight()) return;
        for (const auto& [target, role] : {std::pair<KZeqNode*, const char*>{node.GetTarget(), "look-at"},
                                           {node.GetTargetUp(), "up-vector"}})
            if (target)
                NodeLine(node, "Light " + ShortName(node) + ": the host's lights take no " + role + " target; " +
                                   ShortName(*target) + " is left out as its " + role + " target.");
    });
    LeaveOutHostCameras(*root);
    for (int i = 0; i < root->GetChildCount(); ++i) AddQuorbelNodeArray(root->GetChild(i));

    // The cameras of camera groups decide first, so that the group's own nodes go to its camera.
    CameraTargetPlanner planner(*this, root);
    std::vector<KZeqNode*> groups, groupCameras, cameras;
    VisitDepthFirst(root, [&](KZeqNode& node) {
        if (&node == root) return;
        if (const ZeqTuloLookAtRig rig = FindLookAtRig(&node)) {
            groups.push_back(&node);
            groupCameras.push_back(rig.mCamera);
        } else if (node.GetCamera() && FindLookAtRig(node.GetParent()).mCamera != &node) {
            cameras.push_back(&node);
        }
    });
    for (const std::vector<KZeqNode*>* list : {&groupCameras, &cameras})
        for (KZeqNode* camera : *list) mCameraTargets[camera] = planner.Plan(*camera);
    for (KZeqNode* group : groups)
        if (FileLookAtGroup(FindLookAtRig(group).mCamera) == group) mCameraGroups.insert(group);
    for (KZeqNode* target : planner.CommandNodes()) mQuorbelNodeArray.Remove(target->GetName());
}

KZeqNode* ZeqTuloImport::FileLookAtGroup(const KZeqNode* camera) const {
    KZeqNode* group = camera ? camera->GetParent() : nullptr;
    const ZeqTuloCameraTargets* targets = GetCameraTargets(camera);
    const ZeqTuloLookAtRig rig = FindLookAtRig(group);
    if (!targets || rig.mCamera != camera) return nullptr;
    // It stands for the camera's look-at group when the camera took every other node of its rig.
    return targets->mAim == rig.mAim && targets->mUp == rig.mUp ? group : nullptr;
}

void ZeqTuloImport::SettleLookAtRigs() {
    if (!mRootNode) return;
    const bool making = ZeqTuloUserParams::Instance()->GetImportType() != KZeqUserParams::kExclusiveMerge;
    // The look-at groups a camera of the file comes into, first; the cameras the host had outside
    // a rig of the file, decided once these are known.
    std::unordered_set<std::uint64_t> joinedFirst;
    std::vector<std::pair<ZeqTuloCameraTargets*, TObject>> standing;
    VisitDepthFirst(mRootNode, [&](ZeqTuloNode& camera) {
        const auto found = mCameraTargets.find(&camera);
        if (found == mCameraTargets.end()) return;
        ZeqTuloCameraTargets& targets = found->second;
        const TObject cameraHost = camera.mIsPresent ? HostObject(&camera) : TObject();
        if (cameraHost.isNull() && !making) {
            // Neither camera nor targets come in.
            targets = ZeqTuloCameraTargets();
            return;
        }
        ZeqTuloNode* group = static_cast<ZeqTuloNode*>(FileLookAtGroup(&camera));
        if (group && group->mIsPresent) targets.mHostGroup = HostObject(group);
        ZeqTuloNode* const rig[] = {&camera, static_cast<ZeqTuloNode*>(targets.mAim),
                                    static_cast<ZeqTuloNode*>(targets.mUp)};
        if (!targets.mHostGroup.isNull() && !HoldsRig(targets.mHostGroup, rig, targets)) targets.mHostGroup = TObject();
        // A group of the file bound to a host node that cannot hold the rig is a node as any other:
        // the camera's own look-at group comes in below it.
        if (group && group->mIsPresent && targets.mHostGroup.isNull()) mCameraGroups.erase(group);

        const std::string name = ShortName(camera);
        // A camera the host had outside a look-at group stays so: the import moves no node the
        // host had into a group.
        const bool outside = !cameraHost.isNull() && targets.mHostGroup.isNull();
        if (outside && targets.mAim) {
            const TObject cameraGroup = TFnDagNode(cameraHost).parent(0);
            const bool inGroup = cameraGroup.hasFn(TFn::kLookAt);
            std::string line = "Camera " + name + ": it was in the host scene before, " +
                               (inGroup ? "in a look-at group that does not hold its rig as the file has it"
                                        : "outside a look-at group") +
                               "; the aim is left out and the camera keeps its orientation";
            // An aim the host has beside the camera stays there, a node as any other.
            ZeqTuloNode* aim = static_cast<ZeqTuloNode*>(targets.mAim);
            const TObject aimHost = aim->mIsPresent ? HostObject(aim) : TObject();
            if (inGroup && !aimHost.isNull() && TFnDagNode(aimHost).parent(0) == cameraGroup)
                line += "; " + ShortName(*aim) + " stays in " + TFnDependencyNode(cameraGroup).name().asChar() +
                        " as a node of its own, taking the file's values";
            LogLine((line + ".").c_str());
        }
        for (const ZeqTuloCameraTargets::Role& role : targets.Roles()) {
            ZeqTuloNode* target = static_cast<ZeqTuloNode*>(role.mNode);
            if (!target) continue;
            const TObject host = target->mIsPresent ? HostObject(target) : TObject();
            bool keep = false;
            if (role.IsUp(targets) && !targets.mAim) {
                if (!outside) LogLine(UpLeftOutWithAim(camera, *target).c_str());
            } else if (!host.isNull()) {
                // A node the host had stays where it is: in the rig's look-at group, or out of the rig.
                keep = !targets.mHostGroup.isNull() && TFnDagNode(host).parent(0) == targets.mHostGroup;
                if (!keep && !outside)
                    LogLine(("Camera " + name + ": " + ShortName(*target) + " was in the host scene before; the " +
                             role.mName + " is left out.")
                                .c_str());
            } else {
                keep = making && !outside;
            }
            if (keep) continue;
            // A bare target the camera's rig does not make comes in as a node of its own.
            if (host.isNull() && making && role.mHow == ZeqTuloCameraTargets::eCommandNode) AddQuorbelNodeArray(target);
            role.LeaveOut();
        }

        if (group && group->mIsPresent && targets.mHostGroup.isNull() && cameraHost.isNull() && targets.mAim)
            LogLine(("Camera " + name + ": " + ShortName(*group) +
                     " was in the host scene before, as no look-at group of this camera alone; the camera's "
                     "look-at group comes in below it.")
                        .c_str());
        // Aimed when the host takes the camera for its look-at group's camera, with an aim.
        if (!targets.mHostGroup.isNull()) {
            ZeqTuloNode* const joined[] = {&camera, static_cast<ZeqTuloNode*>(targets.mAim),
                                           static_cast<ZeqTuloNode*>(targets.mUp)};
            int at[3];
            const ZeqTuloRigPlaces places = CompletedRigPlaces(targets.mHostGroup, joined, targets, at);
            targets.mAimed = places.Aims() && places.mCamera == at[0];
            if (cameraHost.isNull()) joinedFirst.insert(NodeKey(targets.mHostGroup));
        } else if (!cameraHost.isNull()) {
            standing.emplace_back(&targets, cameraHost);
        } else {
            targets.mAimed = targets.mAim != nullptr;
        }
    });
    for (const auto& [targets, cameraHost] : standing) targets->mAimed = HostAims(cameraHost, joinedFirst);
}

void ExtractZeqNodes(KZeqNode* node, KArrayTemplate<KZeqNode*>& nodes) {
    VisitDepthFirst(node, [&nodes](KZeqNode& n) { nodes.Add(&n); });
}

void ReOrder(KArrayTemplate<TempPoseData*>& records, KZeqNode* root, KArrayTemplate<TempPoseData*>* dropped) {
    if (records.GetCount() == 1) return;
    KArrayTemplate<KZeqNode*> tree;
    ExtractZeqNodes(root, tree);
    // The last record of each node: the one a search from the end of the work list finds first.
    std::unordered_map<const KZeqNode*, int> lastRecord;
    lastRecord.reserve(static_cast<std::size_t>(records.GetCount()));
    for (int i = 0; i < records.GetCount(); ++i) lastRecord[records[i] ? records[i]->mNode : nullptr] = i;
    std::vector<bool> taken(static_cast<std::size_t>(records.GetCount()), false);
    KArrayTemplate<TempPoseData*> ordered;
    for (int i = 0; i < tree.GetCount(); ++i) {
        auto found = lastRecord.find(tree[i]);
        if (found == lastRecord.end()) continue;
        ordered.Add(records[found->second]);
        taken[static_cast<std::size_t>(found->second)] = true;
        lastRecord.erase(found);
    }
    if (dropped)
        for (int i = 0; i < records.GetCount(); ++i)
            if (!taken[static_cast<std::size_t>(i)]) dropped->Add(records[i]);
    records.Clear();
    for (int i = 0; i < ordered.GetCount(); ++i) records.Add(ordered[i]);
}

#include "plugin/zeqtulolookatrig.h"

#include <cctype>
#include <string_view>

#include "scene/kzeqnode.h"
#include "scene/kzeqnodeattribute.h"
#include "tfndagnode.h"

using namespace zeqsdk_400;

namespace {

// A group holds nodes and nothing else: a null or no attribute at all.
bool IsGroupKind(const KZeqNode& node) {
    const KZeqNodeAttribute* attribute = node.GetNodeAttribute();
    return !attribute || attribute->GetAttributeType() == KZeqNodeAttribute::eNULL;
}

std::string_view WithoutNumber(std::string_view name) {
    while (!name.empty() && std::isdigit(static_cast<unsigned char>(name.back()))) name.remove_suffix(1);
    return name;
}

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() > end.size() && text.substr(text.size() - end.size()) == end;
}

}  // namespace

ZeqTuloLookAtRig FindLookAtRig(KZeqNode* group) {
    ZeqTuloLookAtRig rig;
    // The scene's root holds the scene, no rig.
    if (!group || !group->GetParent() || !IsGroupKind(*group)) return rig;
    const int count = group->GetChildCount();
    int cameras = 0;
    for (int i = 0; i < count; ++i) {
        KZeqNode* camera = group->GetChild(i);
        if (!camera || !camera->GetCamera()) continue;
        ++cameras;
        KZeqNode* aim = camera->GetTarget();
        if (rig || !aim || aim == camera || aim->GetParent() != group) continue;
        KZeqNode* up = camera->GetTargetUp();
        const bool upInside = up && up != camera && up != aim && up->GetParent() == group;
        rig.mGroup = group;
        rig.mCamera = camera;
        rig.mAim = aim;
        rig.mUp = upInside ? up : nullptr;
    }
    // Nodes of the user's stand beside the rig; a group holding more than a rig and another camera
    // is the parent of its cameras (the host aims a look-at group's first camera). A group of the
    // rig's nodes alone is its first camera's (two cameras aimed at each other, say).
    const int rigNodes = !rig ? 0 : rig.mUp ? 3 : 2;
    const int rigCameras = !rig ? 0 : 1 + (rig.mAim->GetCamera() ? 1 : 0) + (rig.mUp && rig.mUp->GetCamera() ? 1 : 0);
    if (rig && count > rigNodes && cameras > rigCameras) return ZeqTuloLookAtRig();
    return rig;
}

ZeqTuloRigMark LocatorMark(const char* name) {
    std::string_view leaf(name ? name : "");
    leaf = leaf.substr(leaf.rfind(':') == std::string_view::npos ? 0 : leaf.rfind(':') + 1);
    leaf = WithoutNumber(leaf);
    if (!EndsWith(leaf, "Shape")) return ZeqTuloRigMark::eNone;
    leaf = WithoutNumber(leaf.substr(0, leaf.size() - 5));
    if (EndsWith(leaf, "_aim")) return ZeqTuloRigMark::eAim;
    if (EndsWith(leaf, "_up")) return ZeqTuloRigMark::eUp;
    return ZeqTuloRigMark::eNone;
}

ZeqTuloRigPlaces HostRigPlaces(const std::vector<ZeqTuloRigMark>& marks) {
    ZeqTuloRigPlaces places;
    const int count = static_cast<int>(marks.size());
    const auto first = [&](ZeqTuloRigMark mark) {
        for (int i = 0; i < count; ++i)
            if (marks[static_cast<std::size_t>(i)] == mark) return i;
        return -1;
    };
    places.mCamera = first(ZeqTuloRigMark::eCamera);
    if (places.mCamera < 0) return places;
    places.mAim = first(ZeqTuloRigMark::eAim);
    places.mUp = first(ZeqTuloRigMark::eUp);
    const bool marked = places.mAim >= 0 || places.mUp >= 0;
    const int next = places.mCamera + 1;
    if (places.mAim < 0 && next < count && marks[static_cast<std::size_t>(next)] != ZeqTuloRigMark::eUp)
        places.mAim = next;
    // No up node without an aim.
    if (places.mAim < 0) places.mUp = -1;
    else if (!marked && places.mAim + 1 < count) places.mUp = places.mAim + 1;
    return places;
}

ZeqTuloRigMark HostRigMark(const TObject& node) {
    if (node.isNull()) return ZeqTuloRigMark::eNone;
    const TFnDagNode dag(node);
    const unsigned count = dag.childCount();
    for (unsigned i = 0; i < count; ++i)
        if (dag.child(i).hasFn(TFn::kCamera)) return ZeqTuloRigMark::eCamera;
    for (unsigned i = 0; i < count; ++i) {
        const TObject shape = dag.child(i);
        if (shape.hasFn(TFn::kLocator)) return LocatorMark(TFnDependencyNode(shape).name().asChar());
    }
    return ZeqTuloRigMark::eNone;
}

ZeqTuloHostRig ReadHostRig(const TObject& group) {
    ZeqTuloHostRig rig;
    if (group.isNull() || !group.hasFn(TFn::kLookAt)) return rig;
    const TFnDagNode dag(group);
    std::vector<ZeqTuloRigMark> marks;
    for (unsigned i = 0; i < dag.childCount(); ++i) {
        const TObject child = dag.child(i);
        if (child.hasFn(TFn::kShape)) continue;
        rig.mNodes.push_back(child);
        marks.push_back(HostRigMark(child));
    }
    rig.mPlaces = HostRigPlaces(marks);
    return rig;
}

#include "plugin/zeqtulolookatrig.h"

#include "scene/kzeqnode.h"
#include "scene/kzeqnodeattribute.h"

using namespace zeqsdk_400;

namespace {

// A group holds nodes and nothing else: a null or no attribute at all.
bool IsGroupKind(const KZeqNode& node) {
    const KZeqNodeAttribute* attribute = node.GetNodeAttribute();
    return !attribute || attribute->GetAttributeType() == KZeqNodeAttribute::eNULL;
}

}  // namespace

ZeqTuloLookAtRig FindLookAtRig(KZeqNode* group) {
    ZeqTuloLookAtRig rig;
    // The scene's root holds the scene, no rig.
    if (!group || !group->GetParent() || !IsGroupKind(*group)) return rig;
    const int count = group->GetChildCount();
    if (count < 2 || count > 3) return rig;
    for (int i = 0; i < count; ++i) {
        KZeqNode* camera = group->GetChild(i);
        KZeqNode* aim = camera && camera->GetCamera() ? camera->GetTarget() : nullptr;
        if (!aim || aim == camera || aim->GetParent() != group) continue;
        KZeqNode* up = camera->GetTargetUp();
        const bool upInside = up && up != camera && up != aim && up->GetParent() == group;
        if (count != (upInside ? 3 : 2)) continue;
        rig.mGroup = group;
        rig.mCamera = camera;
        rig.mAim = aim;
        rig.mUp = upInside ? up : nullptr;
        return rig;
    }
    return rig;
}

ZeqTuloLookAtRig MakeLookAtRig(KZeqNode* group) {
    const int count = group ? group->GetChildCount() : 0;
    KZeqNode* camera = HostAimsFirstNode(static_cast<std::size_t>(count)) ? group->GetChild(0) : nullptr;
    if (!camera || !camera->GetCamera()) return ZeqTuloLookAtRig();
    camera->SetTarget(group->GetChild(1));
    if (count > 2) camera->SetTargetUp(group->GetChild(2));
    const ZeqTuloLookAtRig rig = FindLookAtRig(group);
    return rig.mCamera == camera ? rig : ZeqTuloLookAtRig();
}

// The animation pass: walks a subtree parents first and runs, on every node that has a live host
// node, the routine of its attribute and then the transform, visibility and user-property routines.
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtuloprogressmeter.h"
#include "scene/kzeqnodeattribute.h"
#include "tfndagnode.h"
#include "tfntransform.h"

using namespace zeqsdk_400;

namespace {

// A camera in a camera group: the group's animation lands on the host transform directly above
// the camera's host node; the group gets no pivots, limits or rotation order there.
void ImportCameraGroupAnimation(ZeqTuloImport& import, ZeqTuloNode& camera) {
    KZeqNode* parent = camera.GetParent();
    if (!parent || !IsCameraGroup(static_cast<ZeqTuloNode*>(parent))) return;
    TStatus status;
    TFnDagNode dag(*camera.GetDagPath(), &status);
    if (!status) return;
    TObject above = dag.parent(0, &status);
    if (!status) return;
    TFnTransform transform(above, &status);
    if (!status) return;
    import.ImportTransformAnimation(transform, static_cast<ZeqTuloNode&>(*parent));
}

}  // namespace

TStatus ZeqTuloImport::ImportAnimation(ZeqTuloNode& node) {
    TDagPath* path = node.GetDagPath();
    if (path && path->isValid()) {
        ZeqTuloProgressMeter::Activate(node.GetNameWithoutNameSpacePrefix());
        if (KZeqNodeAttribute* attribute = node.GetNodeAttribute()) {
            switch (attribute->GetAttributeType()) {
            case KZeqNodeAttribute::eMESH:
            case KZeqNodeAttribute::eNURB:
            case KZeqNodeAttribute::ePATCH:
                ImportShapeAnimation(node);
                break;
            case KZeqNodeAttribute::eCAMERA:
                ImportAnimationCamera(node);
                ImportCameraGroupAnimation(*this, node);
                break;
            case KZeqNodeAttribute::eLIGHT:
                ImportAnimationLight(node);
                break;
            default:
                break;
            }
        }
        ImportTransformAnimation(node);
        ImportAnimationVisibility(node);
        ImportUserProperties(node);
    }
    // Parents before children: a child's global transform is built on its parent's.
    for (int i = 0; i < node.GetChildCount(); ++i)
        if (KZeqNode* child = node.GetChild(i)) ImportAnimation(static_cast<ZeqTuloNode&>(*child));
    return TStatus::kSuccess;
}


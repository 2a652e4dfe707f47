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
    if (!parent || !import.IsHostCameraGroup(parent)) return;
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
    // Parents before children: a child's global transform is built on its parent's.
    VisitDepthFirst(&node, [this](ZeqTuloNode& current) {
        TDagPath* path = current.GetDagPath();
        if (!path || !path->isValid()) return;
        ZeqTuloProgressMeter::Activate(current.GetNameWithoutNameSpacePrefix());
        if (KZeqNodeAttribute* attribute = current.GetNodeAttribute()) {
            switch (attribute->GetAttributeType()) {
            case KZeqNodeAttribute::eMESH:
            case KZeqNodeAttribute::eNURB:
            case KZeqNodeAttribute::ePATCH:
                ImportShapeAnimation(current);
                break;
            case KZeqNodeAttribute::eCAMERA:
                ImportAnimationCamera(current);
                ImportCameraGroupAnimation(*this, current);
                break;
            case KZeqNodeAttribute::eLIGHT:
                ImportAnimationLight(current);
                break;
            default:
                break;
            }
        }
        ImportTransformAnimation(current);
        ImportAnimationVisibility(current);
        ImportUserProperties(current);
    });
    return TStatus::kSuccess;
}

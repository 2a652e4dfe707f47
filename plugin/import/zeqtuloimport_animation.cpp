// The animation pass: walks a subtree parents first and runs, on every node that has a live host
// node, the routine of its attribute and then the transform, visibility and user-property routines.
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtuloprogressmeter.h"
#include "scene/kzeqnodeattribute.h"
#include "tfndagnode.h"
#include "tfntransform.h"

using namespace zeqsdk_400;

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

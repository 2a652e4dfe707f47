// A node's static visibility from the host (the node, and for a shape its parent transform), and
// the host's visibility animation.
#include "plugin/export/zeqtuloexport.h"

#include "fcurve/kfcurve.h"
#include "tfnanimcurve.h"
#include "tfndagnode.h"
#include "tplug.h"

using namespace zeqsdk_400;

namespace {

// The current value of the node's "visibility" (what "getAttr" of it answers, read through the plug
// without a trip through the script interpreter); anything unreadable counts as visible.
bool VisibleOnHost(const TDagPath& path) {
    TStatus status;
    TFnDependencyNode fn(path.node(), &status);
    if (!status) return true;
    TPlug plug = fn.findPlug("visibility", &status);
    bool visible = true;
    if (!status || plug.isNull() || !plug.getValue(visible)) return true;
    return visible;
}

}  // namespace

bool ZeqTuloExport::GetNodeVisibility(TFnDagNode& node) {
    TDagPath path;
    if (!node.getPath(path)) return true;
    if (!VisibleOnHost(path)) return false;
    if (path.apiType() == TFn::kTransform) return true;
    TDagPath parent = path;
    if (!parent.pop(1) || parent.apiType() != TFn::kTransform) return true;
    return VisibleOnHost(parent);
}

bool ZeqTuloExport::ExportAnimatedVisibility(ZeqTuloNode& node, KFCurve& curve) {
    const TDagPath* path = node.GetDagPath();
    if (!path) return false;
    TStatus status;
    TFnDependencyNode fn(path->node(), &status);
    if (!status) return false;
    TPlug plug = fn.findPlug("visibility", &status);
    if (!status || plug.isNull()) return false;
    TFnAnimCurve animation(plug, &status);
    if (!status) return false;
    SetFCurve(animation, curve, false, 1.0);
    if (curve.KeyGetCount() <= 0) return false;
    node.SetVisibility(true);
    return true;
}

bool ZeqTuloExport::SkinnedVisibility(TFnDagNode& transform, TFnDagNode& shape, const TObject& shapeObject,
                                      const TObject& inputShape) {
    return shapeObject == inputShape ? GetNodeVisibility(shape) : GetNodeVisibility(transform);
}

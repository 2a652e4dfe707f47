// Bind-pose matrices: a transform's own "bindPose", else its member's elements in the first bind
// dag pose downstream of it. Members are found and addressed by logical index: dag-pose arrays may
// be sparse.
#include "base/kgemath.h"
#include "base/kzeqmatrix.h"
#include "plugin/zeqtulohelpers.h"
#include "plugin/zeqtulonode.h"
#include "plugin/zeqtuloutility.h"
#include "tglobal.h"

using namespace zeqsdk_400;

namespace {

// The plug whose matrix is the node's bind pose: its own "bindPose", else its element of the
// dag pose's array (worldMatrix to read, xformMatrix to write). False when there is none.
bool BindPosePlug(ZeqTuloNode* node, const char* poseArray, TPlug& plug, bool& own) {
    const TDagPath* path = node ? node->GetDagPath() : nullptr;
    if (!path) return false;
    TStatus status;
    TFnDagNode dag(*path, &status);
    if (!status) return false;
    plug = dag.findPlug("bindPose", &status);
    own = status && !plug.isNull();
    if (own) return true;
    TObject pose;
    const int member = GetIndexOfPlugInDagPose(path->node(), pose, true);
    if (member < 0) return false;
    TFnDependencyNode fn(pose, &status);
    if (!status) return false;
    TPlug array = fn.findPlug(poseArray, &status);
    if (!status || array.isNull()) return false;
    plug = array.elementByLogicalIndex(static_cast<unsigned>(member), &status);
    DebugCheckStatus(status, nullptr);
    return status;
}

}  // namespace

int GetIndexOfPlugInDagPose(TObject node, TObject& pose, bool bindPose) {
    if (!ZeqTuloUtility::GetDependencyOfThisType(&node, TFn::kDagPose, &pose, TItDependencyGraph::kDownstream,
                                                 TFn::kInvalid))
        return -1;
    TStatus status;
    TFnDependencyNode fn(pose, &status);
    if (!status) return -1;
    if (bindPose) {
        TPlug flag = fn.findPlug("bindPose", &status);
        bool on = false;
        if (!status || flag.isNull() || !flag.getValue(on, TDGContext::fsNormal) || !on) return -1;
    }
    TPlug members = fn.findPlug("members", &status);
    if (!status || members.isNull()) return -1;
    TIntArray existing;
    members.getExistingArrayAttributeIndices(existing);
    for (unsigned i = 0; i < existing.length(); ++i) {
        TPlug element = members.elementByLogicalIndex(static_cast<unsigned>(existing[i]), &status);
        DebugCheckStatus(status, nullptr);
        TPlugArray sources;
        if (!element.connectedTo(sources, true, false)) continue;
        for (unsigned k = 0; k < sources.length(); ++k)
            if (sources[k].node() == node) return existing[i];
    }
    return -1;
}

bool ZeqTuloUtility::GetBindPoseMatrix(ZeqTuloNode* node, KZeqMatrix& matrix) {
    TPlug plug;
    bool own = false;
    if (!BindPosePlug(node, "worldMatrix", plug, own)) return false;
    TString name;
    if (!GetPlugUniqueName(plug, name)) return false;
    TDoubleArray values;
    TString command("getAttr ");
    command += name;
    if (!TGlobal::executeCommand(command, values, false, false) || values.length() != 16) return false;
    for (unsigned k = 0; k < 16; ++k) matrix.mData[k / 4][k % 4] = values[k];
    return true;
}

bool ZeqTuloUtility::SetBindPoseMatrix(ZeqTuloNode* node, KZeqMatrix& matrix) {
    TPlug plug;
    bool own = false;
    if (!BindPosePlug(node, "xformMatrix", plug, own)) return false;
    KZeqMatrix value = matrix;
    KZeqMatrix parentBind;
    auto* parent = static_cast<ZeqTuloNode*>(node->GetParent());
    if (!own && parent && GetBindPoseMatrix(parent, parentBind)) {
        // The member's local matrix in the pose: W x P^-1 (W applied first).
        KZeqMatrix inverse, local;
        KmAi(inverse.mData, parentBind.mData);
        KmAA(local.mData, inverse.mData, matrix.mData);
        value = local;
    }
    SetPlugMatrix(plug, &value.mData[0][0], false);
    return true;
}

// Builders of the first walk for nulls (locators, cluster handles, plain transforms), joints and
// meshes: each makes one unattached node named after the transform and enters it by path.
#include "plugin/export/zeqtuloexport.h"

#include "content/kzeqnull.h"
#include "plugin/zeqtuloutility.h"
#include "tfndeformer.h"
#include "tfnmesh.h"
#include "tfntransform.h"
#include "tglobal.h"

using namespace zeqsdk_400;

ZeqTuloNode* ZeqTuloExport::BuildNullGeometry(TDagPath& path, TFnDagNode& node) {
    ZeqTuloNode* made = mSdkManager.CreateZeqTuloNode(node.name().asChar(), &path);
    if (!made) return nullptr;
    made->SetVisibility(GetNodeVisibility(node));
    RegisterNode(made, path);
    made->SetNodeAttribute(mSdkManager.CreateKZeqNull());
    return made;
}

ZeqTuloNode* ZeqTuloExport::BuildJointGeometry(TDagPath& path, TFnDagNode& node) {
    TStatus status;
    TFnIkJoint joint(path, &status);
    if (!status) {
        status.perror("TFnIkJoint constructor");
        return nullptr;
    }
    ZeqTuloNode* made = mSdkManager.CreateZeqTuloNode(node.name().asChar(), &path);
    if (!made) return nullptr;
    made->SetVisibility(GetNodeVisibility(node));
    RegisterNode(made, path);
    WriteNodeJoint(made);
    return made;
}

namespace {

// A blend shape's envelope at 0 while its base is read, given back when the read ends however it
// ends.
class EnvelopeOff {
public:
    explicit EnvelopeOff(const TObject& shape) {
        TObject start = shape;
        if (!ZeqTuloUtility::GetDependencyOfThisType(&start, TFn::kBlendShape, &mDeformer,
                                                     TItDependencyGraph::kUpstream, TFn::kInvalid))
            return;
        TStatus status;
        TFnBlendShapeDeformer blend(mDeformer, &status);
        if (!status) return;
        mEnvelope = blend.envelope();
        mChanged = static_cast<bool>(blend.setEnvelope(0.0f));
    }
    ~EnvelopeOff() {
        if (!mChanged) return;
        TFnBlendShapeDeformer blend(mDeformer);
        blend.setEnvelope(mEnvelope);
    }
    EnvelopeOff(const EnvelopeOff&) = delete;
    EnvelopeOff& operator=(const EnvelopeOff&) = delete;

private:
    TObject mDeformer;
    float mEnvelope = 1.0f;
    bool mChanged = false;
};

// Runs the command that gives back what FindObject changed, when the read ends however it ends.
class RestoreOnExit {
public:
    explicit RestoreOnExit(const TString& command) : mCommand(command) {}
    ~RestoreOnExit() {
        if (mCommand.length() > 0) TGlobal::executeCommand(mCommand, false, false);
    }
    RestoreOnExit(const RestoreOnExit&) = delete;
    RestoreOnExit& operator=(const RestoreOnExit&) = delete;

private:
    const TString& mCommand;
};

}  // namespace

ZeqTuloNode* ZeqTuloExport::BuildMeshGeometry(TDagPath& path, TFnDagNode& node) {
    EnvelopeOff envelope(path.child(0));
    TStatus status;
    TObject shape, inputShape, inputGeometry;
    TString restoreCommand;
    RestoreOnExit restore(restoreCommand);
    if (!FindObject(mLog.get(), path, node, status, 0, shape, inputShape, inputGeometry, restoreCommand,
                    mWrapWarningShown) ||
        !status)
        return nullptr;
    // The mesh is read through this instance's path, so that its shader assignment is this one's.
    TDagPath shapePath = path;
    if (!(shapePath.node() == shape)) shapePath.push(shape);
    TFnMesh mesh(shapePath, &status);
    if (!status) {
        status.perror("TFnMesh constructor");
        return nullptr;
    }
    ZeqTuloNode* made = mSdkManager.CreateZeqTuloNode(node.name().asChar(), &path);
    if (!made) return nullptr;
    made->SetShapeIndex(0);
    made->SetVisibility(SkinnedVisibility(node, mesh, shape, inputShape));
    RegisterNode(made, path);
    WriteNodeMesh(mesh, made, inputShape, inputGeometry);
    return made;
}

ZeqTuloNode* ZeqTuloExport::BuildClusterGeometry(TDagPath& path, TFnDagNode& node) {
    ZeqTuloNode* made = mSdkManager.CreateZeqTuloNode(node.name().asChar(), &path);
    if (made) RegisterNode(made, path);
    return made;
}

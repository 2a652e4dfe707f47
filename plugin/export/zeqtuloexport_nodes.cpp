// Builders of the first walk for nulls (locators, cluster handles, plain transforms), joints and
// meshes: each makes one unattached node named after the transform and enters it by path.
#include "plugin/export/zeqtuloexport.h"

#include "content/kzeqnull.h"
#include "tfnmesh.h"
#include "tfntransform.h"

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

ZeqTuloNode* ZeqTuloExport::BuildMeshGeometry(TDagPath& path, TFnDagNode& node) {
    ShapeRead read(mLog.get(), path, node, mWrapWarningShown);
    if (!read.mFound || !read.mStatus) return nullptr;
    TStatus& status = read.mStatus;
    const TObject& shape = read.mShape;
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
    made->SetVisibility(SkinnedVisibility(node, mesh, shape, read.mInputShape));
    RegisterNode(made, path);
    WriteNodeMesh(mesh, made, read.mInputShape, read.mInputGeometry);
    return made;
}

ZeqTuloNode* ZeqTuloExport::BuildClusterGeometry(TDagPath& path, TFnDagNode& node) {
    ZeqTuloNode* made = mSdkManager.CreateZeqTuloNode(node.name().asChar(), &path);
    if (made) RegisterNode(made, path);
    return made;
}

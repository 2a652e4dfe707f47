// Nulls (a transform with a locator), skeleton nodes and joints. A host node that cannot be made
// ends its routine: the node keeps no path and later steps pass it by.
#include <string>
#include <utility>
#include <vector>

#include "content/kzeqskeleton.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtuloutility.h"
#include "scene/kzeqnodeattribute.h"
#include "tfndagnode.h"
#include "tfntransform.h"

using namespace zeqsdk_400;

TObject ParentObject(const ZeqTuloNode& node) {
    const ZeqTuloNode* parent = static_cast<const ZeqTuloNode*>(node.GetParent());
    const TDagPath* path = parent ? parent->GetDagPath() : nullptr;
    return path ? path->node() : TObject::kNullObj;
}

TObject HostObject(const ZeqTuloNode* node) {
    const TDagPath* path = node ? node->GetDagPath() : nullptr;
    return path && path->isValid() ? path->node() : TObject();
}

std::vector<TObject> TransformChildren(const TObject& node) {
    std::vector<TObject> children;
    TFnDagNode dag(node);
    const unsigned count = node.isNull() ? 0 : dag.childCount();
    for (unsigned i = 0; i < count; ++i)
        if (!dag.child(i).hasFn(TFn::kShape)) children.push_back(dag.child(i));
    return children;
}

bool CreateNodeTransform(ZeqTuloNode& node, const char* failure, TFnTransform& transform, TDagPath& path) {
    TStatus status;
    transform.create(ParentObject(node), &status);
    if (!status) {
        status.perror(failure);
        return false;
    }
    transform.setName(TString(node.GetNameWithoutNameSpacePrefix().Buffer()));
    transform.getPath(path);
    node.SetDagPath(&path);
    return true;
}

bool ShapePath(const ZeqTuloNode& node, int type, TDagPath& shape) {
    const TDagPath* path = node.GetDagPath();
    if (!path || !path->isValid()) return false;
    for (unsigned i = 0; i < path->childCount(); ++i) {
        TObject child = path->child(i);
        if (!child.hasFn(type)) continue;
        shape = *path;
        return shape.push(child);
    }
    return false;
}

namespace {

// Type codes stored on skeleton host nodes, read back by the export.
struct SkeletonRow {
    int mType;
    int mCode;  // 0: none
};
constexpr SkeletonRow kSkeletonRows[] = {
    {KZeqSkeleton::eLIMB, 4},
    {KZeqSkeleton::eLIMB_NODE, 5},
    {KZeqSkeleton::eEFFECTOR, 3},
};

bool HasLimbChild(KZeqNode& node) {
    for (int i = node.GetChildCount() - 1; i >= 0; --i) {
        const KZeqSkeleton* skeleton = node.GetChild(i)->GetSkeleton();
        if (skeleton && (skeleton->GetSkeletonType() == KZeqSkeleton::eLIMB ||
                         skeleton->GetSkeletonType() == KZeqSkeleton::eLIMB_NODE))
            return true;
    }
    return false;
}

}  // namespace

void ZeqTuloImport::CreateSkeletonGeometry(ZeqTuloNode& node, int type) {
    if (type == -1) {
        const KZeqSkeleton* skeleton = node.GetSkeleton();
        type = skeleton ? skeleton->GetSkeletonType() : KZeqSkeleton::eLIMB_NODE;
    }
    int code = 0;
    if (type == KZeqSkeleton::eROOT) {
        // A root is a joint only when a limb hangs below it.
        if (HasLimbChild(node))
            CreateJointGeometry(&node);
        else
            CreateNullGeometry(&node);
        code = 2;
    } else {
        const SkeletonRow* row = nullptr;
        for (const SkeletonRow& r : kSkeletonRows)
            if (r.mType == type) row = &r;
        CreateJointGeometry(&node);
        code = row ? row->mCode : 0;
    }
    if (code != 0 && node.GetDagPath()) {
        TObject object = node.GetDagPath()->node();
        FMSetQuorbelID(object, code);
    }
}

TObject ZeqTuloImport::CreateNullGeometry(ZeqTuloNode* node) {
    if (!node) return TObject();
    const KString name = node->GetNameWithoutNameSpacePrefix();
    if (name == "RootNode") return TObject();
    TFnTransform transform;
    TDagPath path;
    if (!CreateNodeTransform(*node, "Cannot create Null", transform, path)) return TObject();
    AddUserProperties(transform, node);
    TStatus status;
    TFnDagNode dag;
    TObject self = transform.object();
    const TObject locator = dag.create("locator", self, &status);
    if (status) KeepRigMarksTrue(*node, locator);
    return locator;
}

void ZeqTuloImport::KeepRigMarksTrue(const ZeqTuloNode& node, const TObject& locator) {
    const std::string name = TFnDependencyNode(locator).name().asChar();
    if (LocatorMark(name.c_str()) == ZeqTuloRigMark::eNone) return;
    // A locator named as the camera command names an aim's or up node's tells the host which node
    // of a look-at group is one: a null that is not, for the rig the file gives, takes another name.
    if (!mTargetPartsMade)
        for (const auto& [camera, targets] : mCameraTargets) {
            if (targets.mAim) mTargetParts.emplace(targets.mAim, std::make_pair(&targets, 1));
            if (targets.mUp) mTargetParts.emplace(targets.mUp, std::make_pair(&targets, 2));
        }
    mTargetPartsMade = true;
    const auto found = mTargetParts.find(&node);
    const bool target = found != mTargetParts.end();
    const ZeqTuloCameraTargets* targets = target ? found->second.first : nullptr;
    if (NullMark(node, targets, target ? found->second.second : 0) != ZeqTuloRigMark::eNone) return;
    const std::string plain = std::string(node.GetNameWithoutNameSpacePrefix().Buffer()) + "_Shape";
    TFnDagNode(locator).setName(TString(plain.c_str()));
}

void ZeqTuloImport::CreateJointGeometry(ZeqTuloNode* node) {
    if (!node) return;
    TStatus status;
    TFnIkJoint joint;
    joint.create(ParentObject(*node), &status);
    if (!status) {
        status.perror("Cannot create Ik joint");
        return;
    }
    joint.setName(TString(node->GetNameWithoutNameSpacePrefix().Buffer()));
    TDagPath path;
    joint.getPath(path);
    node->SetDagPath(&path);
    AddUserProperties(joint, node);
}

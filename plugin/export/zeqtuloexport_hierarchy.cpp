// The second walk over the host DAG: each node made by the first walk goes under the node of its
// host parent, or under the scene's root when that parent has none. Also the skeleton attribute of
// joints and tagged transforms.
#include "plugin/export/zeqtuloexport.h"

#include "content/kzeqskeleton.h"
#include "plugin/zeqtuloprogressmeter.h"
#include "plugin/zeqtuloutility.h"
#include "tfndagnode.h"

using namespace zeqsdk_400;

void ZeqTuloExport::RegisterNode(ZeqTuloNode* node, const TDagPath& path) { mNodesByDagPath.Add(path, node); }

void ZeqTuloExport::BuildHierarchy(TItDag::TraversalType traversal, TFn::Type filter) {
    TItDag it(traversal, filter);
    TDagPath path;
    for (; !it.isDone(); it.next()) {
        it.getPath(path);
        if (mSelection && !mSelection->hasItem(path, TObject::kNullObj)) continue;
        ZeqTuloNode* node = mNodesByDagPath.Find(path);
        if (!node) continue;
        TFnDagNode fn(path);
        SetNodeGeometryMaterial(node);
        SetTheParent(fn, *node);
        ZeqTuloProgressMeter::Activate(node->GetName());
    }
}

void ZeqTuloExport::SetTheParent(TFnDagNode& child, ZeqTuloNode& node) {
    if (child.parentCount() == 0) return;
    // The parent of the path the node stands for: each path of an instanced node is a node of its
    // own and goes under its own parent (parent number 0 would gather every copy under one).
    TDagPath parentPath;
    if (!child.getPath(parentPath) || !parentPath.pop(1)) parentPath = TDagPath::getAPathTo(child.parent(0));
    KZeqNode* target = mRootNode;
    if (ZeqTuloNode* exact = mNodesByDagPath.Find(parentPath)) {
        // A parent left out of the exported selection leaves the node at the top.
        if (!mSelection || mSelection->hasItem(*exact->GetDagPath(), TObject::kNullObj)) target = exact;
    }
    if (target) target->AddChild(&node);
}

void ZeqTuloExport::WriteNodeJoint(ZeqTuloNode* node) {
    if (!node || !node->GetDagPath()) return;
    TObject object = node->GetDagPath()->node();
    const int id = FMGetQuorbelID(object);
    KZeqSkeleton* skeleton = mSdkManager.CreateKZeqSkeleton();
    if (!skeleton) return;
    switch (id) {
    case 2: skeleton->SetSkeletonType(KZeqSkeleton::eROOT); break;
    case 3: skeleton->SetSkeletonType(KZeqSkeleton::eEFFECTOR); break;
    case 4: skeleton->SetSkeletonType(KZeqSkeleton::eLIMB); break;
    default: skeleton->SetSkeletonType(KZeqSkeleton::eLIMB_NODE); break;
    }
    if (id != 2) skeleton->SetLimbNodeSize(mJointDisplayScale);
    node->SetNodeAttribute(skeleton);
}

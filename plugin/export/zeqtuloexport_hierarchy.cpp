// The second walk over the host DAG: each node made by the first walk goes under the node of its
// host parent, or under the scene's root when that parent has none. Also the skeleton attribute of
// joints and tagged transforms.
#include "plugin/export/zeqtuloexport.h"

#include <strings.h>

#include <cstring>

#include "content/kzeqskeleton.h"
#include "plugin/zeqtuloprogressmeter.h"
#include "plugin/zeqtuloutility.h"
#include "tfndagnode.h"

using namespace zeqsdk_400;

namespace {

// The entries whose key equals `name` ignoring case follow each other from `first` (the table is
// sorted); fn is called on each node until it answers true.
template <class Fn>
ZeqTuloNode* FindInRun(const KCharPtrSet& set, int first, const char* name, Fn fn) {
    for (int i = first; i >= 0 && i < set.GetCount(); ++i) {
        const char* key = nullptr;
        auto* node = reinterpret_cast<ZeqTuloNode*>(set.GetFromIndex(i, &key));
        if (!key || strcasecmp(key, name) != 0) break;
        if (node && fn(node)) return node;
    }
    return nullptr;
}

}  // namespace

void ZeqTuloExport::RegisterNode(ZeqTuloNode* node, const TDagPath& path) {
    const TString name = &path == mWalkPath ? mWalkPathName : path.fullPathName();
    mNodesByDagPath.Add(name.asChar(), reinterpret_cast<kReference>(node));
}

ZeqTuloNode* ZeqTuloExport::NodeForPath(const TDagPath& path, const char* fullPathName, int first) const {
    if (first < 0) mNodesByDagPath.Get(fullPathName, &first);
    // A node stands for this path only when its own path is this one: keys that differ in letter
    // case alone meet in one entry.
    return FindInRun(mNodesByDagPath, first, fullPathName, [&](ZeqTuloNode* node) {
        const TDagPath* stored = node->GetDagPath();
        return stored && *stored == path;
    });
}

void ZeqTuloExport::BuildHierarchy(TItDag::TraversalType traversal, TFn::Type filter) {
    TItDag it(traversal, filter);
    TDagPath path;
    for (; !it.isDone(); it.next()) {
        it.getPath(path);
        if (mSelection && !mSelection->hasItem(path, TObject::kNullObj)) continue;
        TFnDagNode fn(path);
        const TString name = path.fullPathName();
        int first = -1;
        if (!mNodesByDagPath.Get(name.asChar(), &first)) continue;
        if (ZeqTuloNode* node = NodeForPath(path, name.asChar(), first)) {
            SetNodeGeometryMaterial(node);
            SetTheParent(fn, *node);
        }
        ZeqTuloProgressMeter::Activate(name.asChar());
    }
}

void ZeqTuloExport::SetTheParent(TFnDagNode& child, ZeqTuloNode& node) {
    if (child.parentCount() == 0) return;
    // The parent of the path the node stands for: each path of an instanced node is a node of its
    // own and goes under its own parent (parent number 0 would gather every copy under one).
    TDagPath parentPath;
    if (!child.getPath(parentPath) || !parentPath.pop(1)) parentPath = TDagPath::getAPathTo(child.parent(0));
    const TString parentName = parentPath.fullPathName();
    KZeqNode* target = mRootNode;
    int first = -1;
    auto* entry = reinterpret_cast<ZeqTuloNode*>(mNodesByDagPath.Get(parentName.asChar(), &first));
    if (entry) {
        const TDagPath* entryPath = entry->GetDagPath();
        if (mSelection && !(entryPath && mSelection->hasItem(*entryPath, TObject::kNullObj))) {
            target = mRootNode;
        } else if (ZeqTuloNode* exact = FindInRun(mNodesByDagPath, first, parentName.asChar(), [&](ZeqTuloNode* n) {
                       // Equal full names (letter case included) are equal paths: sibling names differ.
                       const TDagPath* stored = n->GetDagPath();
                       return stored && *stored == parentPath;
                   })) {
            target = exact;
        }
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

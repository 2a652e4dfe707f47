// Scene preparation: the old-version test, skin-link counts, deforming nulls made joints, the
// name-to-node set and the tree order of bind-pose records.
#include <unordered_map>
#include <vector>

#include "content/kzeqgeometry.h"
#include "content/kzeqlink.h"
#include "content/kzeqskeleton.h"
#include "io/kzeqimporter.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtuloutility.h"
#include "scene/kzeqnodeattribute.h"

using namespace zeqsdk_400;

bool IsOldVersion(KZeqNode* root, KZeqImporter* importer) {
    if (!root || !importer) return false;
    int major = 0, minor = 0, revision = 0;
    importer->GetFileVersion(major, minor, revision);
    if (major > 5 || minor > 7) return false;
    return IsOldVersion(root);
}

bool IsOldVersion(KZeqNode* node) {
    bool old = false;
    // The first node below whose pivots are left for reference (as a 5.x read leaves them) ends
    // the walk.
    VisitDepthFirst(node, [&](KZeqNode& n) {
        if (old) return false;
        if (&n != node) {
            KZeqNode::EPivotState state;
            n.GetPivotState(KZeqNode::eSOURCE_SET, state);
            old = state == KZeqNode::ePIVOT_STATE_REFERENCE;
        }
        return !old;
    });
    return old;
}

void CountNbZeqLinks(KZeqNode* node, int& count) {
    VisitDepthFirst(node, [&count](KZeqNode& n) {
        if (KZeqGeometry* geometry = n.GetGeometry()) count += geometry->GetLinkCount();
    });
}

bool IsJoint(KZeqNode* node) {
    return node && node->GetNodeAttribute() &&
           node->GetNodeAttribute()->GetAttributeType() == KZeqNodeAttribute::eSKELETON;
}

void ReplaceNullsUsedAsLinks(KZeqNode* node, ZeqTuloSdkManager& manager) {
    VisitDepthFirst(node, [&manager](KZeqNode& n) {
        KZeqGeometry* geometry = n.GetGeometry();
        for (int i = 0; geometry && i < geometry->GetLinkCount(); ++i) {
            KZeqLink* link = geometry->GetLink(i);
            KZeqNode* linked = link ? link->GetLink() : nullptr;
            if (!linked || IsJoint(linked)) continue;
            KZeqSkeleton* skeleton = manager.CreateKZeqSkeleton();
            if (!skeleton) continue;
            // The former attribute leaves the node; the manager still owns and ends it.
            linked->SetNodeAttribute(skeleton);
            skeleton->SetSkeletonType(KZeqSkeleton::eLIMB_NODE);
        }
    });
}

void ZeqTuloImport::AddQuorbelNodeArray(KZeqNode* node) {
    VisitDepthFirst(node,
                    [this](KZeqNode& n) { mQuorbelNodeArray.Add(n.GetName(), reinterpret_cast<kReference>(&n)); });
}

namespace {

// Removes the set's entries of a subtree about to be destroyed, the node's own included.
void RemoveSubtreeEntries(KCharPtrSet& set, KZeqNode* node) {
    VisitDepthFirst(node, [&set](KZeqNode& n) { set.Remove(n.GetName()); });
}

}  // namespace

void ZeqTuloImport::FillQuorbelNodeArray(KZeqNode* root) {
    mQuorbelNodeArray.Clear();
    if (!root) return;
    for (int i = 0; i < root->GetChildCount(); ++i) AddQuorbelNodeArray(root->GetChild(i));

    // The host's own cameras exist already: they are neither created nor matched.
    std::vector<KZeqNode*> reserved;
    for (int i = 0; i < root->GetChildCount(); ++i) {
        KZeqNode* child = root->GetChild(i);
        KZeqNodeAttribute* attribute = child->GetNodeAttribute();
        if (attribute && attribute->GetAttributeType() == KZeqNodeAttribute::eCAMERA &&
            ZeqTuloUtility::IsCameraNameReserved(child->GetNameWithoutNameSpacePrefix().Buffer()))
            reserved.push_back(child);
    }
    for (KZeqNode* camera : reserved) {
        RemoveSubtreeEntries(mQuorbelNodeArray, camera);
        root->RemoveChild(camera);
        mSdkManager.DestroyKZeqNode(camera, true);
    }

    // A camera's target is made by the camera itself.
    std::vector<KZeqNode*> targets;
    for (int i = 0; i < mQuorbelNodeArray.GetCount(); ++i) {
        KZeqNode* node = reinterpret_cast<KZeqNode*>(mQuorbelNodeArray[i]);
        KZeqNodeAttribute* attribute = node ? node->GetNodeAttribute() : nullptr;
        if (attribute && attribute->GetAttributeType() == KZeqNodeAttribute::eCAMERA && node->GetTarget())
            targets.push_back(node->GetTarget());
    }
    for (KZeqNode* target : targets) mQuorbelNodeArray.Remove(target->GetName());
}

void ExtractZeqNodes(KZeqNode* node, KArrayTemplate<KZeqNode*>& nodes) {
    VisitDepthFirst(node, [&nodes](KZeqNode& n) { nodes.Add(&n); });
}

void ReOrder(KArrayTemplate<TempPoseData*>& records, KZeqNode* root, KArrayTemplate<TempPoseData*>* dropped) {
    if (records.GetCount() == 1) return;
    KArrayTemplate<KZeqNode*> tree;
    ExtractZeqNodes(root, tree);
    // The last record of each node: the one a search from the end of the work list finds first.
    std::unordered_map<const KZeqNode*, int> lastRecord;
    lastRecord.reserve(static_cast<std::size_t>(records.GetCount()));
    for (int i = 0; i < records.GetCount(); ++i) lastRecord[records[i] ? records[i]->mNode : nullptr] = i;
    std::vector<bool> taken(static_cast<std::size_t>(records.GetCount()), false);
    KArrayTemplate<TempPoseData*> ordered;
    for (int i = 0; i < tree.GetCount(); ++i) {
        auto found = lastRecord.find(tree[i]);
        if (found == lastRecord.end()) continue;
        ordered.Add(records[found->second]);
        taken[static_cast<std::size_t>(found->second)] = true;
        lastRecord.erase(found);
    }
    if (dropped)
        for (int i = 0; i < records.GetCount(); ++i)
            if (!taken[static_cast<std::size_t>(i)]) dropped->Add(records[i]);
    records.Clear();
    for (int i = 0; i < ordered.GetCount(); ++i) records.Add(ordered[i]);
}

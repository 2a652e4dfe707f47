// The geometry pass: every node of the set gets its host node, its ancestors first, in its own
// namespace, through the builder its attribute asks for.
#include <string>
#include <vector>

#include "content/kzeqgeometryconverter.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtuloprogressmeter.h"
#include "plugin/zeqtulouserparams.h"
#include "scene/kzeqnodeattribute.h"
#include "tglobal.h"

using namespace zeqsdk_400;

namespace {

int AttributeType(const KZeqNode* node) {
    const KZeqNodeAttribute* attribute = node ? node->GetNodeAttribute() : nullptr;
    return attribute ? attribute->GetAttributeType() : -1;
}

// Makes the node's namespace current. The root namespace is made current first, so that the
// namespace is looked for and added at the root rather than inside the previous node's.
void SetNodeNamespace(const ZeqTuloNode& node) {
    const std::string wanted = node.mNamespace.Buffer();
    if (wanted.empty()) {
        TGlobal::executeCommand("namespace -set \":\"", false, false);
        return;
    }
    TStringArray current;
    TGlobal::executeCommand("namespaceInfo -currentNamespace", current, false, false);
    if (current.length() > 0 && wanted == current[0].asChar()) return;
    TGlobal::executeCommand("namespace -set \":\"", false, false);
    if (node.mAddNamespace) {
        TStringArray existing;
        TGlobal::executeCommand("namespaceInfo -lon", existing, false, false);
        bool found = false;
        for (unsigned i = 0; i < existing.length() && !found; ++i) found = wanted == existing[i].asChar();
        if (!found) TGlobal::executeCommand(TString(("namespace -add \"" + wanted + "\"").c_str()), false, false);
    }
    TGlobal::executeCommand(TString(("namespace -set \"" + wanted + "\"").c_str()), false, false);
}

}  // namespace

TStatus ZeqTuloImport::ImportGeometry() {
    if (ZeqTuloUserParams::Instance()->GetImportType() != KZeqUserParams::kExclusiveMerge) {
        // The host names the look-at groups it makes for cameras after its own first camera: the
        // file's nodes take their names first (the look-at groups that stand for groups of the
        // file, then the nodes that are no cameras), so that a clash renames the host's groups.
        const auto pass = [this](ZeqTuloNode& node) {
            return IsHostCameraGroup(node.GetParent()) ? 0 : AttributeType(&node) != KZeqNodeAttribute::eCAMERA ? 1 : 2;
        };
        for (int round = 0; round < 3; ++round)
            for (int i = 0; i < mQuorbelNodeArray.GetCount(); ++i) {
                ZeqTuloNode* node = reinterpret_cast<ZeqTuloNode*>(mQuorbelNodeArray[i]);
                if (!node || pass(*node) != round) continue;
                ZeqTuloProgressMeter::Activate(node->GetNameWithoutNameSpacePrefix().Buffer());
                ImportGeometry(node);
            }
        // A camera the host had in its look-at group gets there what of its rig the group lacks.
        for (int i = 0; i < mQuorbelNodeArray.GetCount(); ++i) {
            ZeqTuloNode* node = reinterpret_cast<ZeqTuloNode*>(mQuorbelNodeArray[i]);
            if (node && node->mIsPresent) JoinLookAtGroup(*node);
        }
        ArrangeLookAtGroups();
    }
    TGlobal::executeCommand("namespace -set \":\"", false, false);
    return TStatus::kSuccess;
}

TStatus ZeqTuloImport::ImportGeometry(ZeqTuloNode* node) {
    // The node and its ancestors without a host node, made from the top down: each needs its
    // parent's. Gathered first, without recursion, since the chain can be as deep as the file.
    std::vector<ZeqTuloNode*> chain;
    for (ZeqTuloNode* at = node; at && !at->GetDagPath(); at = static_cast<ZeqTuloNode*>(at->GetParent()))
        chain.push_back(at);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) ImportOwnGeometry(*it);
    return TStatus::kSuccess;
}

void ZeqTuloImport::ImportOwnGeometry(ZeqTuloNode* node) {
    ZeqTuloNode* parent = static_cast<ZeqTuloNode*>(node->GetParent());
    SetNodeNamespace(*node);
    // The camera makes its own group.
    if (IsExcludedZeqRoot(node) || IsHostCameraGroup(node)) return;
    // A camera's look-at group comes with the camera: a node going into one (a node of the user's,
    // or a camera whose own group goes there) comes in once that camera made it.
    ZeqTuloNode* into = parent;
    if (into && IsHostCameraGroup(into) && FindLookAtRig(into).mCamera == node)
        into = static_cast<ZeqTuloNode*>(into->GetParent());
    if (into && IsHostCameraGroup(into) && !into->GetDagPath()) {
        const ZeqTuloLookAtRig rig = FindLookAtRig(into);
        if (rig && node != rig.mCamera && node != rig.mAim && node != rig.mUp) {
            ImportGeometry(static_cast<ZeqTuloNode*>(rig.mCamera));
            SetNodeNamespace(*node);
        }
    }

    switch (AttributeType(node)) {
        case -1:
            // An attribute-less end of a skeleton is its effector.
            if (AttributeType(parent) == KZeqNodeAttribute::eSKELETON)
                CreateSkeletonGeometry(*node, 3);
            else
                CreateNullGeometry(node);
            break;
        case KZeqNodeAttribute::eSKELETON:
            CreateSkeletonGeometry(*node, -1);
            break;
        case KZeqNodeAttribute::eMESH:
            CreateMeshGeometry(node);
            break;
        case KZeqNodeAttribute::eNURB:
            CreateNurbGeometry(node);
            break;
        case KZeqNodeAttribute::ePATCH: {
            KZeqGeometryConverter* converter = mSdkManager.CreateKZeqGeometryConverter();
            if (converter && converter->ConvertPatchToNurbInPlace(node)) CreateNurbGeometry(node);
            if (converter) mSdkManager.DestroyKZeqGeometryConverter(converter);
            break;
        }
        case KZeqNodeAttribute::eCAMERA:
            // Targets that come in as themselves are made first: the camera's look-at group takes
            // them in. Their making leaves their own namespace current.
            if (const ZeqTuloCameraTargets* targets = GetCameraTargets(node)) {
                if (targets->mAimHow == ZeqTuloCameraTargets::eOwnNode)
                    ImportGeometry(static_cast<ZeqTuloNode*>(targets->mAim));
                if (targets->mUpHow == ZeqTuloCameraTargets::eOwnNode)
                    ImportGeometry(static_cast<ZeqTuloNode*>(targets->mUp));
                SetNodeNamespace(*node);
            }
            CreateCameraGeometry(*node);
            break;
        case KZeqNodeAttribute::eLIGHT:
            CreateLightGeometry(*node);
            break;
        default:
            CreateNullGeometry(node);
            break;
    }
}

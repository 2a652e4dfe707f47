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

bool EndsWith(const std::string& text, const char* suffix) {
    const std::string s(suffix);
    return text.size() >= s.size() && text.compare(text.size() - s.size(), s.size(), s) == 0;
}

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

bool IsCameraGroup(ZeqTuloNode* node) {
    if (!node) return false;
    const std::string group = node->GetNameWithoutNameSpacePrefix().Buffer();
    if (!EndsWith(group, "_group")) return false;
    const std::string base = group.substr(0, group.size() - 6);
    int count = 0;
    bool aim = false;
    for (int i = 0; i < node->GetChildCount(); ++i) {
        KZeqNode* child = node->GetChild(i);
        const std::string name = child->GetNameWithoutNameSpacePrefix().Buffer();
        if (AttributeType(child) == KZeqNodeAttribute::eCAMERA && name.compare(0, base.size(), base) == 0) ++count;
        if (EndsWith(name, "_aim")) ++count, aim = true;
        if (EndsWith(name, "_up")) ++count;
    }
    return count >= 2 && aim;
}

TStatus ZeqTuloImport::ImportGeometry() {
    if (ZeqTuloUserParams::Instance()->GetImportType() != KZeqUserParams::kExclusiveMerge) {
        for (int i = 0; i < mQuorbelNodeArray.GetCount(); ++i) {
            ZeqTuloNode* node = reinterpret_cast<ZeqTuloNode*>(mQuorbelNodeArray[i]);
            if (!node) continue;
            ZeqTuloProgressMeter::Activate(node->GetNameWithoutNameSpacePrefix().Buffer());
            ImportGeometry(node);
        }
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
    if (IsExcludedZeqRoot(node)) return;

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
            CreateCameraGeometry(*node);
            break;
        case KZeqNodeAttribute::eLIGHT:
            CreateLightGeometry(*node);
            break;
        default:
            // The camera makes its own group.
            if (!IsCameraGroup(node)) CreateNullGeometry(node);
            break;
    }
}

// Merge matching: scene nodes bound to the host nodes that exist before the import.
#include "plugin/import/zeqtulomergenodematcher.h"

#include <string>
#include <unordered_map>

#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtulonode.h"
#include "plugin/zeqtulosdkmanager.h"
#include "scene/kzequserproperty.h"
#include "tdagpath.h"
#include "tfnattribute.h"
#include "tfndependencynode.h"

using namespace zeqsdk_400;

ZeqTuloMergeNodeMatcher* ZeqTuloSdkManager::CreateZeqTuloMergeNodeMatcher() {
    if (!mMergeNodeMatcher) mMergeNodeMatcher = new ZeqTuloMergeNodeMatcher(*this);
    return mMergeNodeMatcher;
}

void ZeqTuloSdkManager::DestroyZeqTuloMergeNodeMatcher(ZeqTuloMergeNodeMatcher* matcher) {
    if (!matcher || matcher != mMergeNodeMatcher) return;
    delete mMergeNodeMatcher;
    mMergeNodeMatcher = nullptr;
}

TStatus ZeqTuloMergeNodeMatcher::Apply(KZeqNode* root, TFn::Type filter) {
    if (!root) return TStatus::kSuccess;
    BindChildren(root, TDagPath(), filter);
    return TStatus::kSuccess;
}

namespace {

// The host children of a path by name, made once per parent: a parent of many children is then
// searched in constant time per scene child.
std::unordered_map<std::string, TObject> ChildrenByName(const TDagPath& parent) {
    std::unordered_map<std::string, TObject> children;
    const unsigned count = parent.childCount();
    children.reserve(count);
    for (unsigned i = 0; i < count; ++i) {
        const TObject child = parent.child(i);
        children.emplace(TFnDependencyNode(child).name().asChar(), child);
    }
    return children;
}

// The attribute name a property's label gives: blanks become "_", a suffix 1 to 10 when asked.
std::string AttributeName(KZeqUserProperty* property, int suffix) {
    std::string name = property->GetLabel(true).Buffer();
    for (char& c : name)
        if (c == ' ') c = '_';
    if (suffix > 0) name += std::to_string(suffix);
    return name;
}

}  // namespace

void ZeqTuloMergeNodeMatcher::BindChildren(KZeqNode* parent, const TDagPath& parentPath, TFn::Type filter) {
    if (parent->GetChildCount() == 0) return;
    const std::unordered_map<std::string, TObject> children = ChildrenByName(parentPath);
    for (int i = 0; i < parent->GetChildCount(); ++i) {
        ZeqTuloNode* node = static_cast<ZeqTuloNode*>(parent->GetChild(i));
        auto found = children.find(node->GetNameWithoutNameSpacePrefix().Buffer());
        // A node without a host counterpart is made by the import, and so is its whole subtree.
        if (found == children.end()) continue;
        if (filter != TFn::kInvalid && !found->second.hasFn(filter)) continue;
        TDagPath path = parentPath;
        if (!path.push(found->second)) continue;
        node->SetDagPath(&path);
        node->mIsPresent = true;
        ResolveUserPropertyNames(node);
        BindChildren(node, path, filter);
    }
}

void ZeqTuloMergeNodeMatcher::ResolveUserPropertyNames(KZeqNode* zeqNode) {
    ZeqTuloNode* node = static_cast<ZeqTuloNode*>(zeqNode);
    const TDagPath* path = node ? node->GetDagPath() : nullptr;
    if (!path) return;
    TFnDependencyNode host(path->node());
    for (int i = 0; i < node->GetPropertyCount(); ++i) {
        KZeqUserProperty* property = node->GetProperty(i);
        if (!property || !property->GetFlag(KZeqUserProperty::eUSER)) continue;
        for (int suffix = 0; suffix <= 10; ++suffix) {
            const std::string name = AttributeName(property, suffix);
            TStatus status;
            const TObject attribute = host.attribute(TString(name.c_str()), &status);
            if (!status) continue;
            // One of another type may stand where an earlier import found the name taken.
            TFnNumericAttribute numeric(attribute, &status);
            if (!status || !UserPropertyTypesMatch(property, numeric.unitType())) continue;
            node->SetUserPropertyName(property->GetLabel(true).Buffer(), name.c_str());
            break;
        }
    }
}

bool ZeqTuloMergeNodeMatcher::UserPropertyTypesMatch(KZeqUserProperty* property, int unitType) {
    if (!property) return false;
    switch (property->GetPropertyType()) {
        case KZeqUserProperty::eBOOL:
            return unitType == TFnNumericData::kBoolean;
        case KZeqUserProperty::eINTEGER:
            return unitType == TFnNumericData::kByte || unitType == TFnNumericData::kChar ||
                   unitType == TFnNumericData::kShort || unitType == TFnNumericData::kInt;
        case KZeqUserProperty::eREAL:
            return unitType == TFnNumericData::kFloat || unitType == TFnNumericData::kDouble;
        case KZeqUserProperty::eCOLOR:
        case KZeqUserProperty::eVECTOR:
            return unitType == TFnNumericData::k3Float || unitType == TFnNumericData::k3Double;
        default:
            return false;
    }
}

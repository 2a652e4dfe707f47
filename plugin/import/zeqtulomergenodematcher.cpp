// Merge matching: scene nodes bound to the host nodes that exist before the import.
#include "plugin/import/zeqtulomergenodematcher.h"

#include <algorithm>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtulolookatrig.h"
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

// The binding of one scene node's children, worked through a child at a time: first the nodes by
// the names the import gave them, then those left over by the names the file gave them, so that a
// node the import numbered to keep names unique (the copy of an instance) finds the host node it
// came from under its own parent.
struct ChildBinding {
    KZeqNode& mParent;
    TDagPath mParentPath;
    std::unordered_map<std::string, TObject> mChildren;  // the host children not bound yet
    std::vector<ZeqTuloNode*> mByName, mByFileName;
    std::size_t mNext = 0;  // in mByName, then in mByFileName
    bool mRigsBound = false;  // last, the rigs in the host's own look-at groups

    ChildBinding(KZeqNode& parent, const TDagPath& parentPath)
        : mParent(parent), mParentPath(parentPath), mChildren(ChildrenByName(parentPath)) {
        for (int i = 0; i < parent.GetChildCount(); ++i)
            if (KZeqNode* child = parent.GetChild(i)) mByName.push_back(static_cast<ZeqTuloNode*>(child));
    }
};

}  // namespace

void ZeqTuloMergeNodeMatcher::BindChildren(KZeqNode* parent, const TDagPath& parentPath, TFn::Type filter) {
    // A bound node's children are bound before its next sibling, as a recursion would, but on a
    // stack of its own: the tree can be as deep as the file makes it.
    std::vector<std::unique_ptr<ChildBinding>> stack;
    if (parent->GetChildCount() > 0) stack.push_back(std::make_unique<ChildBinding>(*parent, parentPath));
    while (!stack.empty()) {
        ChildBinding& binding = *stack.back();
        const bool byName = binding.mNext < binding.mByName.size();
        if (!byName && binding.mNext - binding.mByName.size() >= binding.mByFileName.size()) {
            if (binding.mRigsBound) {
                stack.pop_back();
                continue;
            }
            binding.mRigsBound = true;
            for (ZeqTuloNode* node : BindRigs(binding.mParent, binding.mChildren, binding.mParentPath, filter))
                if (node->GetChildCount() > 0) stack.push_back(std::make_unique<ChildBinding>(*node, *node->GetDagPath()));
            continue;
        }
        ZeqTuloNode* node = byName ? binding.mByName[binding.mNext]
                                   : binding.mByFileName[binding.mNext - binding.mByName.size()];
        ++binding.mNext;
        const KString name = byName ? node->GetNameWithoutNameSpacePrefix() : node->mFileHostName;
        if (Bind(node, name.Buffer(), binding.mChildren, binding.mParentPath, filter)) {
            if (node->GetChildCount() > 0) stack.push_back(std::make_unique<ChildBinding>(*node, *node->GetDagPath()));
        } else if (byName && node->mFileHostName.GetLen() > 0 &&
                   node->mFileHostName != node->GetNameWithoutNameSpacePrefix()) {
            binding.mByFileName.push_back(node);
        }
    }
}

bool ZeqTuloMergeNodeMatcher::Bind(ZeqTuloNode* node, const char* name, std::unordered_map<std::string, TObject>& children,
                                   const TDagPath& parentPath, TFn::Type filter) {
    auto found = children.find(name);
    // A node without a host counterpart is made by the import, and so is its whole subtree.
    if (found == children.end()) return false;
    if (filter != TFn::kInvalid && !found->second.hasFn(filter)) return false;
    const TObject host = found->second;
    // A host node binds one scene node.
    children.erase(found);
    TDagPath path = parentPath;
    if (!path.push(host)) return false;
    node->SetDagPath(&path);
    node->mIsPresent = true;
    ResolveUserPropertyNames(node);
    return true;
}

namespace {

// Whether each node of the rig (by name: camera, aim, up) the group holds is the one the host takes
// for that part.
template <class Group>
bool HoldsRigInItsParts(const Group& group, const std::vector<std::string>& rig) {
    const int parts[] = {group.mPlaces.mCamera, group.mPlaces.mAim, group.mPlaces.mUp};
    for (std::size_t part = 0; part < rig.size(); ++part) {
        if (rig[part].empty()) continue;
        const auto found = std::find(group.mHeld.begin(), group.mHeld.end(), rig[part]);
        if (found != group.mHeld.end() && static_cast<int>(found - group.mHeld.begin()) != parts[part]) return false;
    }
    return true;
}

}  // namespace

std::vector<ZeqTuloNode*> ZeqTuloMergeNodeMatcher::BindRigs(KZeqNode& parent,
                                                             std::unordered_map<std::string, TObject>& children,
                                                             const TDagPath& parentPath, TFn::Type filter) {
    std::vector<ZeqTuloNode*> bound;
    if (!mImport) return bound;
    // The host's look-at groups not bound yet, with their nodes, found by the names of their nodes
    // (made once, at the first camera that looks): many rigs under one parent take linear time.
    struct Group {
        TObject mObject;
        std::vector<std::string> mHeld;
        ZeqTuloRigPlaces mPlaces;  // what the host makes of it
    };
    std::vector<Group> groups;
    std::unordered_map<std::string, std::vector<std::size_t>> groupsHolding;
    bool indexed = false;
    for (int i = 0; i < parent.GetChildCount(); ++i) {
        ZeqTuloNode* camera = static_cast<ZeqTuloNode*>(parent.GetChild(i));
        const ZeqTuloCameraTargets* targets = mImport->GetCameraTargets(camera);
        // A camera in a group of the file finds its rig through the group's name.
        if (!camera || camera->GetDagPath() || !targets || !targets->mAim || mImport->FileLookAtGroup(camera))
            continue;
        // The rig's nodes left to bind, and their names by part ("" for none).
        std::vector<ZeqTuloNode*> rig{camera};
        std::vector<std::string> names{camera->GetNameWithoutNameSpacePrefix().Buffer(), "", ""};
        for (KZeqNode* target : {targets->mAim, targets->mUp})
            if (target && target->GetParent() == &parent && !static_cast<ZeqTuloNode*>(target)->GetDagPath()) {
                rig.push_back(static_cast<ZeqTuloNode*>(target));
                names[target == targets->mAim ? 1 : 2] = target->GetNameWithoutNameSpacePrefix().Buffer();
            }
        if (!indexed) {
            indexed = true;
            for (unsigned c = 0; c < parentPath.childCount(); ++c) {
                const TObject object = parentPath.child(c);
                if (!object.hasFn(TFn::kLookAt)) continue;
                const ZeqTuloHostRig rig = ReadHostRig(object);
                Group group{object, {}, rig.mPlaces};
                for (const TObject& node : rig.mNodes) group.mHeld.push_back(TFnDependencyNode(node).name().asChar());
                for (const std::string& held : group.mHeld) groupsHolding[held].push_back(groups.size());
                groups.push_back(std::move(group));
            }
        }
        // The first group, in the host's order, holding nodes of the rig each in its part as the
        // host takes them (and the user's, which stay); else the first holding any of them, bound
        // as a group the file names is: its nodes are the rig's nodes the host has, and the rig
        // it does not hold so is no rig the host aims.
        std::vector<std::size_t> candidates;
        for (const std::string& name : names) {
            const auto found = name.empty() ? groupsHolding.end() : groupsHolding.find(name);
            if (found != groupsHolding.end())
                candidates.insert(candidates.end(), found->second.begin(), found->second.end());
        }
        std::sort(candidates.begin(), candidates.end());
        const auto free = [&](std::size_t index) {
            const auto found = children.find(TFnDependencyNode(groups[index].mObject).name().asChar());
            return found != children.end() && found->second == groups[index].mObject ? found : children.end();
        };
        auto chosen = std::find_if(candidates.begin(), candidates.end(), [&](std::size_t index) {
            return free(index) != children.end() && HoldsRigInItsParts(groups[index], names);
        });
        if (chosen == candidates.end())
            chosen = std::find_if(candidates.begin(), candidates.end(),
                                  [&](std::size_t index) { return free(index) != children.end(); });
        TDagPath groupPath = parentPath;
        if (chosen == candidates.end() || !groupPath.push(groups[*chosen].mObject)) continue;
        std::unordered_map<std::string, TObject> members = ChildrenByName(groupPath);
        for (ZeqTuloNode* node : rig)
            if (Bind(node, node->GetNameWithoutNameSpacePrefix().Buffer(), members, groupPath, filter))
                bound.push_back(node);
        children.erase(free(*chosen));
        mImport->mCameraTargets[camera].mHostGroup = groups[*chosen].mObject;
    }
    return bound;
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

#include "scene/kzeqentity.h"

#include <algorithm>
#include <cstring>

#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

namespace {

const char* const kErrorTable[KZeqEntity::eErrorCount] = {"Node is null.",
                                                          "Node is already owned by the entity.",
                                                          "Node does not belong to the entity.",
                                                          "Parameter is out of range.",
                                                          "Material still in use.",
                                                          "Material not found.",
                                                          "Texture still in use.",
                                                          "Texture not found.",
                                                          "Gobo still in use.",
                                                          "Gobo not found.",
                                                          "Gobo name clash.",
                                                          "", "", "", "", "", ""};

// Whether a name is among names, and where in their sorted order.
bool FindSorted(std::vector<const char*>& names, const char* name, unsigned int* index) {
    std::sort(names.begin(), names.end(), [](const char* a, const char* b) { return std::strcmp(a, b) < 0; });
    auto at = std::lower_bound(names.begin(), names.end(), name,
                               [](const char* a, const char* b) { return std::strcmp(a, b) < 0; });
    if (at == names.end() || std::strcmp(*at, name) != 0) return false;
    if (index) *index = static_cast<unsigned int>(at - names.begin());
    return true;
}

}  // namespace

KZeqEntity::KZeqEntity(KZeqSdkManager& manager) : mError(kErrorTable, eErrorCount) {
    KZeqNode* root = manager.CreateKZeqNode("RootNode");
    if (root && root->SetEntity(this, true)) mRootNode = root;
}

KZeqEntity::~KZeqEntity() {
    Clear();
    ForgetGenericNodes();
    ForgetDeformers();
}

bool KZeqEntity::AddNode(KZeqNode* node) {
    if (!node) {
        mError.SetLastErrorID(eNodeIsNull);
        return false;
    }
    if (!mNodes.Add(node)) {
        mError.SetLastErrorID(eNodeAlreadyOwned);
        return false;
    }
    return true;
}

bool KZeqEntity::RemoveNode(KZeqNode* node) {
    if (!node) {
        mError.SetLastErrorID(eNodeIsNull);
        return false;
    }
    if (!mNodes.Remove(node)) {
        mError.SetLastErrorID(eNodeNotOwned);
        return false;
    }
    if (node == mRootNode) mRootNode = nullptr;
    // A node left outside must not keep pointing at an entity that may end.
    if (node->mEntity == this) node->mEntity = nullptr;
    return true;
}

void KZeqEntity::ForgetNode(KZeqNode* node) {
    if (mNodes.Contains(node)) RemoveNode(node);
    node->mEntity = nullptr;
}

void KZeqEntity::FillNodeArray(KArrayTemplate<KZeqNode*>& nodes, KZeqNodeAttribute::EAttributeType type,
                               bool fromRoot) {
    nodes.Clear();
    auto matches = [type](KZeqNode* node) {
        return node->GetNodeAttribute() && node->GetNodeAttribute()->GetAttributeType() == type;
    };
    if (!fromRoot) {
        for (int i = 0; i < GetNodeCount(); ++i)
            if (matches(GetNode(i))) nodes.Add(GetNode(i));
        return;
    }
    // Depth first without recursion: a node, then its children in order.
    std::vector<KZeqNode*> pending;
    if (mRootNode) pending.push_back(mRootNode);
    while (!pending.empty()) {
        KZeqNode* node = pending.back();
        pending.pop_back();
        if (matches(node)) nodes.Add(node);
        for (int i = node->GetChildCount(); i-- > 0;) pending.push_back(node->GetChild(i));
    }
}

// ---- Shared objects ---------------------------------------------------------------------

KZeqObject* KZeqEntity::SharedAt(EShared kind, int index) {
    if (index < 0 || index >= SharedCount(kind)) {
        mError.SetLastErrorID(eOutOfRange);
        return nullptr;
    }
    return mShared[kind][static_cast<std::size_t>(index)]->mObject;
}

int KZeqEntity::FindShared(EShared kind, const KZeqObject* object) const {
    for (std::size_t i = 0; i < mShared[kind].size(); ++i)
        if (mShared[kind][i]->mObject == object) return static_cast<int>(i);
    return -1;
}

KZeqObject* KZeqEntity::FindSharedByName(EShared kind, const char* name, int* index) const {
    for (std::size_t i = 0; name && i < mShared[kind].size(); ++i) {
        if (std::strcmp(mShared[kind][i]->mObject->GetName(), name) != 0) continue;
        if (index) *index = static_cast<int>(i);
        return mShared[kind][i]->mObject;
    }
    if (index) *index = -1;
    return nullptr;
}

void KZeqEntity::AddShared(EShared kind, KZeqObject* object) {
    const int index = FindShared(kind, object);
    if (index >= 0)
        ++mShared[kind][static_cast<std::size_t>(index)]->mCount;
    else
        mShared[kind].push_back(std::unique_ptr<KZeqObjectReference>(new KZeqObjectReference{object, 1}));
}

bool KZeqEntity::RemoveShared(EShared kind, KZeqObject* object, EError inUse, EError notFound) {
    const int index = FindShared(kind, object);
    if (index < 0) {
        mError.SetLastErrorID(notFound);
        return false;
    }
    if (--mShared[kind][static_cast<std::size_t>(index)]->mCount > 0) {
        mError.SetLastErrorID(inUse);
        return false;
    }
    mShared[kind].erase(mShared[kind].begin() + index);
    return true;
}

// ---- Names and clearing --------------------------------------------------------------------

bool KZeqEntity::ValidateName(KZeqObject& object, const char* name, unsigned int* index) {
    if (!name) return false;
    // The lists a kind's names compete with; -1 stands for the node list.
    constexpr int kNodes = -1;
    std::vector<int> lists;
    switch (object.GetNameSpace()) {
        case KZeqObject::eModel: lists = {eGenericNodes, kNodes}; break;
        case KZeqObject::eTexture: lists = {eGenericNodes, eTextures}; break;
        case KZeqObject::eMaterial: lists = {eGenericNodes, eMaterials}; break;
        case KZeqObject::eVideo: lists = {eGenericNodes, eGobos}; break;
        case KZeqObject::eNoPrefix: lists = {kNodes, eMaterials, eTextures, eGobos, eGenericNodes}; break;
        default: return false;
    }
    std::vector<const char*> names;
    for (int list : lists) {
        names.clear();
        if (list == kNodes) {
            for (int i = 0; i < GetNodeCount(); ++i) names.push_back(GetNode(i)->GetName());
        } else {
            for (const auto& reference : mShared[list]) names.push_back(reference->mObject->GetName());
        }
        if (FindSorted(names, name, index)) return true;
    }
    return false;
}

void KZeqEntity::Clear() {
    for (int i = 0; i < GetNodeCount(); ++i) {
        GetNode(i)->mEntity = nullptr;
        ForgetContainers(*GetNode(i));
    }
    mRootNode = nullptr;
    mNodes.Clear();
    for (EShared kind : {eMaterials, eTextures, eGobos})
        while (!mShared[kind].empty()) mShared[kind].pop_back();
}

}  // namespace zeqsdk_400

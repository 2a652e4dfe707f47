#include "content/kzeqgenericnode.h"

#include <cstring>

#include "scene/kzeqentity.h"
#include "scene/kzeqnodefinder.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

KZEQ_CLASS_IMPLEMENT(KZeqGenericNodeProperties, KZeqPropertyHandler, "KZeqGenericNodeProperties")

namespace {
const char* const kErrorTable[KZeqGenericNode::eErrorCount] = {"Error"};
}  // namespace

KZeqGenericNode* KZeqGenericNodeProperties::GetKZeqGenericNode() { return static_cast<KZeqGenericNode*>(mOwner); }

void KZeqGenericNodeProperties::DefaultValueChanged(KZeqUserProperty* property) {
    if (mOwner) mOwner->PropertyDefaultValueChanged(property);
}

KZeqGenericNode::KZeqGenericNode(KZeqSdkManager& manager, const char* name)
    : KZeqTakeNodeContainer(manager, name, &mError),
      mError(kErrorTable, eErrorCount),
      mProperties(new KZeqGenericNodeProperties(this)) {
    Init();
}

KZeqGenericNode::~KZeqGenericNode() {
    if (mEntity) mEntity->ForgetGenericNode(this);
    mProperties->Destroy(0);
}

void KZeqGenericNode::Destruct() { mProperties->Destruct(); }

KStringList KZeqGenericNode::GetTypeFlags() const {
    KStringList flags;
    flags.Add("GenericNode");
    return flags;
}

bool KZeqGenericNode::SetEntity(KZeqEntity* entity) {
    if (entity == mEntity) return true;
    if (mEntity) mEntity->RemoveGenericNode(this);
    mEntity = entity;
    if (entity) entity->AddGenericNode(this);
    return true;
}

void KZeqGenericNode::PublishProperties() { PublishHandlerProperties(*mProperties); }

void KZeqGenericNode::FillPropertyList(void* list) { FillHandlerPropertyList(*mProperties, list); }

void KZeqGenericNode::PropertyAdded(KZeqUserProperty* property) { AddHandlerProperty(*mProperties, property); }

void KZeqGenericNode::PropertyRemoved(KZeqUserProperty* property) { RemoveHandlerProperty(*mProperties, property); }

void KZeqGenericNode::AddChannels(KZeqTakeNode* take) { AddHandlerChannels(*mProperties, take); }

// ---- Generic nodes in an entity: counted references ----------------------------------------

KZeqGenericNode* KZeqEntity::GetGenericNode(int index) {
    return static_cast<KZeqGenericNode*>(SharedAt(eGenericNodes, index));
}

KZeqGenericNode* KZeqEntity::GetGenericNode(const char* name) {
    return static_cast<KZeqGenericNode*>(FindSharedByName(eGenericNodes, name));
}

bool KZeqEntity::AddGenericNode(KZeqGenericNode* node) {
    if (!node) return false;
    AddShared(eGenericNodes, node);
    return true;
}

bool KZeqEntity::RemoveGenericNode(KZeqGenericNode* node) {
    return RemoveShared(eGenericNodes, node, eGenericNodeInUse, eGenericNodeNotFound);
}

void KZeqEntity::ForgetGenericNode(KZeqGenericNode* node) {
    const int index = FindShared(eGenericNodes, node);
    if (index >= 0) mShared[eGenericNodes].erase(mShared[eGenericNodes].begin() + index);
}

void KZeqEntity::ForgetGenericNodes() {
    for (const auto& reference : mShared[eGenericNodes]) {
        auto* node = static_cast<KZeqGenericNode*>(reference->mObject);
        if (node->mEntity == this) node->mEntity = nullptr;
    }
}

bool KZeqNodeFinderDuplicateName::CheckGenericNodeName(const char* name) {
    if (!name || !mStates[eGENERIC_NODE]) return false;
    auto named = [name](KZeqGenericNode* node) { return node && std::strcmp(node->GetName(), name) == 0; };
    KZeqGenericNode* found = nullptr;
    for (int i = 0; mEntity && !found && i < mEntity->GetGenericNodeCount(); ++i)
        if (named(mEntity->GetGenericNode(i))) found = mEntity->GetGenericNode(i);
    for (int i = 0; !found && i < mGenericNodes.GetCount(); ++i)
        if (named(mGenericNodes[i])) found = mGenericNodes[i];
    if (found) mDuplicateGenericNodes.Add(found);
    return found != nullptr;
}

}  // namespace zeqsdk_400

#include "content/kzeqdeformer.h"

#include "scene/kzeqentity.h"
#include "scene/kzeqnodeproperties.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

KZEQ_CLASS_IMPLEMENT(KZeqDeformerProperties, KZeqPropertyHandler, "KZeqDeformerProperties")

namespace {
const char* const kErrorTable[KZeqDeformer::eErrorCount] = {"Error"};
}  // namespace

// ---- Properties --------------------------------------------------------------------------

KZeqDeformer* KZeqDeformerProperties::GetKZeqDeformer() { return static_cast<KZeqDeformer*>(mOwner); }

void KZeqDeformerProperties::DefaultValueChanged(KZeqUserProperty* property) {
    if (mOwner) mOwner->PropertyDefaultValueChanged(property);
}

KZeqClusterDeformerProperties::KZeqClusterDeformerProperties(KZeqTakeNodeContainer* owner)
    : KZeqDeformerProperties(owner) {
    InitObjectList(SrcModel, "SrcModel");
    InitObjectList(SrcModelReference, "SrcModelReference");
}

void KZeqClusterDeformerProperties::InitObjectList(KPropertyObjectList& list, const char* name) {
    PropertyAddToList(&list);
    list.Init();
    list.SetPropertyInfo(name, this, nullptr, nullptr);
    list.SetPropertyType(kPropertyTypeObject);
    list.SetContentSpec(1, KZeqNodeProperties::ClassId);
    list.SetDirection(KPlug::eDirectionSrc);
}

// ---- Deformer ------------------------------------------------------------------------------

KZeqDeformer::KZeqDeformer(KZeqSdkManager& manager, const char* name, const char* type)
    : KZeqTakeNodeContainer(manager, name, &mError), mError(kErrorTable, eErrorCount) {
    const bool cluster = KString(type).CompareNoCase("cluster") == 0;
    mDeformerType = cluster ? eCLUSTER : eSKIN;
    if (cluster)
        mProperties = new KZeqClusterDeformerProperties(this);
    else
        mProperties = new KZeqSkinDeformerProperties(this);
    Init();
}

KZeqDeformer::~KZeqDeformer() {
    if (mEntity) mEntity->ForgetDeformer(this);
    mProperties->Destroy(0);
}

void KZeqDeformer::Destruct() { mProperties->Destruct(); }

KStringList KZeqDeformer::GetTypeFlags() const {
    KStringList flags;
    flags.Add("Deformer");
    return flags;
}

bool KZeqDeformer::SetEntity(KZeqEntity* entity) {
    if (entity == mEntity) return true;
    if (mEntity) mEntity->RemoveDeformer(this);
    mEntity = entity;
    if (entity) entity->AddDeformer(this);
    return true;
}

void KZeqDeformer::PublishProperties() { PublishHandlerProperties(*mProperties); }

void KZeqDeformer::FillPropertyList(void* list) { FillHandlerPropertyList(*mProperties, list); }

void KZeqDeformer::PropertyAdded(KZeqUserProperty* property) { AddHandlerProperty(*mProperties, property); }

void KZeqDeformer::PropertyRemoved(KZeqUserProperty* property) { RemoveHandlerProperty(*mProperties, property); }

void KZeqDeformer::AddChannels(KZeqTakeNode* take) { AddHandlerChannels(*mProperties, take); }

KZeqDeformer& KZeqDeformer::operator=(const KZeqLink& link) {
    if (mDeformerType != eCLUSTER) return *this;
    mLinkMode = link.mLinkMode;
    mUserDataID = link.mUserDataID;
    mUserData = link.mUserData;
    mIndices = link.mIndices;
    mWeights = link.mWeights;
    mTransformParentSet = link.mParentSet;
    KZeqXMatrix matrix;
    mTransform = link.GetTransformMatrix(matrix);
    mTransformLink = link.GetTransformLinkMatrix(matrix);
    mTransformAssociateModel = link.GetTransformAssociateModelMatrix(matrix);
    mTransformParent = link.GetTransformParentMatrix(matrix);
    return *this;
}

// ---- Deformers in an entity: counted references, counted and reached by type -----------------

namespace {
bool OfType(const KZeqObject* object, int type) {
    return type == KZeqDeformer::eANY_DEFORMER ||
           static_cast<const KZeqDeformer*>(object)->GetDeformerType() == type;
}
}  // namespace

int KZeqEntity::GetDeformerCount(int type) const {
    if (type < KZeqDeformer::eANY_DEFORMER || type > KZeqDeformer::eCLUSTER) return 0;
    int count = 0;
    for (const auto& reference : mShared[eDeformers])
        if (OfType(reference->mObject, type)) ++count;
    return count;
}

KZeqDeformer* KZeqEntity::GetDeformer(int index, int type) const {
    if (index < 0 || type < KZeqDeformer::eANY_DEFORMER || type > KZeqDeformer::eCLUSTER) return nullptr;
    for (const auto& reference : mShared[eDeformers])
        if (OfType(reference->mObject, type) && index-- == 0) return static_cast<KZeqDeformer*>(reference->mObject);
    return nullptr;
}

KZeqDeformer* KZeqEntity::GetDeformer(const char* name) const {
    return static_cast<KZeqDeformer*>(FindSharedByName(eDeformers, name));
}

bool KZeqEntity::AddDeformer(KZeqDeformer* deformer) {
    if (!deformer) return false;
    AddShared(eDeformers, deformer);
    return true;
}

bool KZeqEntity::RemoveDeformer(KZeqDeformer* deformer) {
    return RemoveShared(eDeformers, deformer, eDeformerInUse, eDeformerNotFound);
}

void KZeqEntity::ForgetDeformer(KZeqDeformer* deformer) {
    const int index = FindShared(eDeformers, deformer);
    if (index >= 0) mShared[eDeformers].erase(mShared[eDeformers].begin() + index);
}

void KZeqEntity::ForgetDeformers() {
    for (const auto& reference : mShared[eDeformers]) {
        auto* deformer = static_cast<KZeqDeformer*>(reference->mObject);
        if (deformer->mEntity == this) deformer->mEntity = nullptr;
    }
}

}  // namespace zeqsdk_400

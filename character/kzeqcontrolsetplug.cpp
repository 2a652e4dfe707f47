#include "character/kzeqcontrolsetplug.h"

#include "base/karray.h"
#include "character/kzeqcharacter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

KZEQ_CLASS_IMPLEMENT(KZeqControlSetPlugProperties, KZeqPropertyHandler, "KZeqControlSetPlugProperties")

namespace {

const char* const kErrorTable[] = {"Error"};

constexpr int kNodeListContent = 1;
constexpr int kEffectorListContent = 15;

// The node behind a list entry: only a node's property handler names one.
KZeqNode* NodeAt(const KPropertyObjectList& list, int index) {
    KObject* entry = list.GetAt(index);
    return entry && entry->Is(KZeqNodeProperties::ClassId) ? static_cast<KZeqNodeProperties*>(entry)->GetKZeqNode()
                                                           : nullptr;
}

KPropertyObjectList* CreateList(KObject* owner, const char* name, int tag, int content) {
    KPropertyObjectList* list =
        KPropertyObjectList::Create(owner, name, 0, -1, content, KPlug::eDirectionSrcDst, kPropertyFlagNone);
    list->SetTag(tag);
    return list;
}

}  // namespace

// ---- Property handler --------------------------------------------------------------------------

KZeqControlSetPlugProperties::KZeqControlSetPlugProperties(KZeqTakeNodeContainer* owner) : mOwner(owner) {
    UseAxis.Value() = true;
    PropertyAddToList(&UseAxis);
    UseAxis.SetPropertyType(KPropertyGetType(static_cast<bool*>(nullptr)));
    UseAxis.SetPropertyInfo("UseAxis", this, &KZeqControlSetPlugProperties::UseAxisGet,
                            &KZeqControlSetPlugProperties::UseAxisSet);
    PropertyAddToList(&ControlSetType);
    ControlSetType.SetPropertyInfo("ControlSetType", this, &KZeqControlSetPlugProperties::ControlSetTypeGet,
                                   &KZeqControlSetPlugProperties::ControlSetTypeSet);
    ControlSetType.SetPropertyType(kPropertyTypeEnum);
    ControlSetType.GetPropertyInfo().SetAsStringFunc(&KZeqControlSetPlugProperties::ControlSetTypeAsString);

    mNodeLists.reserve(kCharacterNodeIdCount);
    for (int id = 0; id < kCharacterNodeIdCount; ++id) {
        const char* name = nullptr;
        if (KZeqCharacter::GetCharacterGroupNameByElement(static_cast<ECharacterNodeId>(id), name))
            mNodeLists.push_back(CreateList(this, name, id, kNodeListContent));
    }
    mEffectorLists.reserve(kEffectorNodeIdCount);
    for (int id = 0; id < kEffectorNodeIdCount; ++id)
        mEffectorLists.push_back(CreateList(this, KZeqControlSet::GetEffectorNodeName(static_cast<EEffectorNodeId>(id)),
                                            id, kEffectorListContent));
}

KZeqControlSetPlugProperties::~KZeqControlSetPlugProperties() = default;

void KZeqControlSetPlugProperties::DefaultValueChanged(KZeqUserProperty* property) {
    if (mOwner) mOwner->PropertyDefaultValueChanged(property);
}

KZeqControlSetPlug* KZeqControlSetPlugProperties::GetKZeqControlSetPlug() const {
    return static_cast<KZeqControlSetPlug*>(mOwner);
}

// ---- Plug --------------------------------------------------------------------------------------

KZeqControlSetPlug::KZeqControlSetPlug(KZeqSdkManager& manager, const char* name)
    : KZeqTakeNodeContainer(manager, name, &mError), mError(kErrorTable, 1) {
    mProperties = new KZeqControlSetPlugProperties(this);
    Init();
}

KZeqControlSetPlug::~KZeqControlSetPlug() { mProperties->Destroy(0); }

void KZeqControlSetPlug::Destruct() { mProperties->Destruct(); }

void KZeqControlSetPlug::FillPropertyList(void* list) {
    auto* properties = static_cast<KArrayTemplate<KProperty*>*>(list);
    if (!properties) return;
    for (int i = 0; i < mProperties->GetPropertyCount(); ++i) properties->Add(mProperties->GetProperty(i));
}

KStringList KZeqControlSetPlug::GetTypeFlags() const {
    KStringList flags;
    flags.Add("ControlSetPlug", 0);
    return flags;
}

void KZeqControlSetPlug::PropertyAdded(KZeqUserProperty* property) {
    if (!property) return;
    mProperties->CreateKProperty(property);
    KZeqTakeNodeContainer::PropertyAdded(property);
}

void KZeqControlSetPlug::PropertyRemoved(KZeqUserProperty* property) {
    if (!property) return;
    KZeqTakeNodeContainer::PropertyRemoved(property);
    mProperties->DestroyKProperty(property);
}

void KZeqControlSetPlug::AddChannels(KZeqTakeNode* take) {
    if (!take) return;
    for (int i = 0; i < mProperties->GetPropertyCount(); ++i) {
        KProperty* property = mProperties->GetProperty(i);
        if (property->IsAnimatable()) CreateChannelsForProperty(property, take);
    }
}

void KZeqControlSetPlug::PublishProperties() {
    for (int i = 0; i < mProperties->GetPropertyCount(); ++i) {
        KProperty* property = mProperties->GetProperty(i);
        if (GetProperty(property)) continue;
        if (KZeqUserProperty* user = GetSdkManager().CreateKZeqUserProperty(property)) AddProperty(user);
    }
}

// ---- Control set to and from a plug -------------------------------------------------------------

void KZeqControlSet::FromPlug(KZeqControlSetPlug* plug) {
    KZeqControlSetPlugProperties* handler = plug ? plug->GetPropertyHandler() : nullptr;
    if (!handler) return;
    Reset();
    SetType(handler->ControlSetTypeGet());
    SetUseAxis(handler->UseAxisGet());
    for (const KPropertyObjectList* list : handler->mNodeLists) {
        KZeqControlSetLink link;
        if (list->GetCount() > 0) link.mNode = NodeAt(*list, 0);
        SetControlSetLink(static_cast<ECharacterNodeId>(list->GetTag()), link);
    }
    for (const KPropertyObjectList* list : handler->mEffectorLists) {
        const EEffectorNodeId id = static_cast<EEffectorNodeId>(list->GetTag());
        const int count = list->GetCount();
        for (int k = 0; k < count; ++k) {
            KZeqNode* node = NodeAt(*list, k);
            if (!node) continue;
            if (k == 0) {
                KZeqEffector effector;
                effector.mNode = node;
                SetEffector(id, effector);
            } else if (k <= kEffectorSetCount) {
                SetEffectorAux(id, node, static_cast<EEffectorSetId>(k));
            }
        }
    }
}

void KZeqControlSet::ToPlug(KZeqControlSetPlug* plug) const {
    KZeqControlSetPlugProperties* handler = plug ? plug->GetPropertyHandler() : nullptr;
    if (!handler) return;
    handler->ControlSetTypeSet(GetType());
    handler->UseAxisSet(GetUseAxis());
    for (KPropertyObjectList* list : handler->mNodeLists) {
        list->Clear();
        KZeqControlSetLink link;
        if (GetControlSetLink(static_cast<ECharacterNodeId>(list->GetTag()), &link) && link.mNode)
            list->SetAt(0, link.mNode->GetPropertyHandler());
    }
    for (KPropertyObjectList* list : handler->mEffectorLists) {
        list->Clear();
        const EEffectorNodeId id = static_cast<EEffectorNodeId>(list->GetTag());
        KZeqEffector effector;
        if (GetEffector(id, &effector)) list->Add(effector.mNode->GetPropertyHandler());
        for (int set = eEffectorSetFirst; set <= eEffectorSetLast; ++set) {
            KZeqNode* node = nullptr;
            if (GetEffectorAux(id, &node, static_cast<EEffectorSetId>(set))) list->Add(node->GetPropertyHandler());
        }
    }
}

}  // namespace zeqsdk_400

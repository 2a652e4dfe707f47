#include "character/kzeqcharacter.h"

#include "base/karray.h"
#include "character/kzeqcharacterproperties.h"
#include "character/kzeqcontrolset.h"
#include "character/kzeqcontrolset_access.h"
#include "character/kzeqfilterset.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

namespace {

const char* const kErrorTable[] = {"internal error"};

bool ValidId(int id) { return static_cast<unsigned>(id) < kCharacterNodeIdCount; }

}  // namespace

// ---- Links ---------------------------------------------------------------------------------

KZeqCharacterLink& KZeqCharacterLink::operator=(const KZeqCharacterLink& other) {
    mNode = other.mNode;
    mTemplateName = other.mTemplateName;
    mOffsetT = other.mOffsetT;
    mOffsetR = other.mOffsetR;
    mOffsetS = other.mOffsetS;
    return *this;
}

void KZeqCharacterLink::Reset() {
    mNode = nullptr;
    mTemplateName.Empty();
    mOffsetT.Set(0.0, 0.0, 0.0, 1.0);
    mOffsetR.Set(0.0, 0.0, 0.0, 1.0);
    mOffsetS.Set(1.0, 1.0, 1.0, 1.0);
    mLinkProperty.Clear();
}

KPropertyObjectList* KZeqCharacterLink::GetLinkProperty() const {
    return static_cast<KPropertyObjectList*>(mLinkProperty.Get());
}

// ---- Character -----------------------------------------------------------------------------

KZeqCharacter::KZeqCharacter(KZeqSdkManager& manager, const char* name)
    : KZeqTakeNodeContainer(manager, name, &mError), mError(kErrorTable, 1) {
    for (KZeqCharacterLink& link : mLinks) link.Reset();
    mControlSet.reset(new KZeqControlSet);
    KZeqControlSetAccess::SetOwner(*mControlSet, this);
    mFilterSet.reset(new KZeqFilterSet);
    // Last: it copies the filter set and ties its link lists to the links.
    mProperties = new KZeqCharacterProperties(this);
    Init();
}

KZeqCharacter::~KZeqCharacter() {
    mProperties->Destroy(0);
    mProperties = nullptr;
    Reset();
    mControlSet.reset();
    mFilterSet.reset();
}

void KZeqCharacter::Destruct() { mProperties->Destruct(); }

KZeqPropertyHandler* KZeqCharacter::GetPropertyHandler() { return mProperties; }

void KZeqCharacter::FillPropertyList(void* list) {
    auto* properties = static_cast<KArrayTemplate<KProperty*>*>(list);
    if (!properties || !mProperties) return;
    for (int i = 0; i < mProperties->GetPropertyCount(); ++i) properties->Add(mProperties->GetProperty(i));
}

KStringList KZeqCharacter::GetTypeFlags() const {
    KStringList flags;
    flags.Add("Character", 0);
    return flags;
}

void KZeqCharacter::AddChannels(KZeqTakeNode* take) {
    if (!take || !mProperties) return;
    for (int i = 0; i < mProperties->GetPropertyCount(); ++i) {
        KProperty* property = mProperties->GetProperty(i);
        if (property->IsAnimatable()) CreateChannelsForProperty(property, take);
    }
}

void KZeqCharacter::PublishProperties() {
    for (int i = 0; i < mProperties->GetPropertyCount(); ++i) {
        KProperty* property = mProperties->GetProperty(i);
        if (GetProperty(property)) continue;
        KZeqUserProperty* user = GetSdkManager().CreateKZeqUserProperty(property);
        if (!user) continue;
        AddProperty(user);
        user->SetPropertyHandler(mProperties);
    }
}

void KZeqCharacter::Reset() {
    SetInitialName("");
    mInputType = eCharacterInputNone;
    mInputObject = nullptr;
    for (int id = 0; id < kCharacterNodeIdCount; ++id) {
        KZeqCharacterLink& link = mLinks[id];
        // The "%sLink" list empties with the link and stays tied to it: the
        // writers take link nodes from the lists, so a stale entry would come
        // back from the file, and a later link must reach its list.
        if (KPropertyObjectList* list = link.GetLinkProperty()) list->Clear();
        if (link.mNode) link.mNode->RemoveCharacterLink(this, 0, id, 0);
        link = KZeqCharacterLink();  // node, name and offsets; the list stays
    }
    mControlSet->Reset();
}

bool KZeqCharacter::Matches(ECharacterInputType type, const KZeqObject* object) const {
    if (!object) return false;
    if (type == eCharacterInputActor) return object->GetNameSpace() == eActor;
    return type == eCharacterInputCharacter && object->GetNameSpace() == eCharacter && object != this;
}

void KZeqCharacter::SetInput(ECharacterInputType type, KZeqObject* object) {
    mInputType = type;
    mInputObject = Matches(type, object) ? object : nullptr;
}

KZeqObject* KZeqCharacter::GetInputObject() const {
    return Matches(mInputType, mInputObject) ? mInputObject : nullptr;
}

bool KZeqCharacter::SetCharacterLink(ECharacterNodeId id, const KZeqCharacterLink& link, bool updateProperty) {
    if (!ValidId(id)) return false;
    KZeqCharacterLink& held = mLinks[id];
    if (held.mNode) held.mNode->RemoveCharacterLink(this, 0, id, 0);
    held = link;
    if (held.mNode) held.mNode->AddCharacterLink(this, 0, id, 0);
    if (updateProperty) {
        if (KPropertyObjectList* list = held.GetLinkProperty()) {
            // Connecting tells the property set, which sets the same node again.
            KZeqPropertyHandler* handler = held.mNode ? held.mNode->GetPropertyHandler() : nullptr;
            if (handler)
                list->SetAt(0, handler);
            else
                list->Clear();
        }
    }
    return true;
}

bool KZeqCharacter::GetCharacterLink(ECharacterNodeId id, KZeqCharacterLink* link) const {
    if (!ValidId(id) || !mLinks[id].IsSet()) return false;
    if (link) *link = mLinks[id];
    return true;
}

KZeqCharacter& KZeqCharacter::operator=(KZeqCharacter& source) {
    KZeqObject::operator=(source);
    SetInput(source.GetInputType(), source.GetInputObject());
    KZeqCharacterLink link;
    for (int id = 0; id < kCharacterNodeIdCount; ++id)
        if (source.GetCharacterLink(static_cast<ECharacterNodeId>(id), &link))
            SetCharacterLink(static_cast<ECharacterNodeId>(id), link, true);

    const KZeqFilterSet& from = *source.mFilterSet;
    for (int i = 0; i < from.GetParameterCount(); ++i) {
        const int to = mFilterSet->GetParameterIndex(from.GetParameterName(i));
        mFilterSet->SetParameterMode(to, from.GetParameterMode(i));
        mFilterSet->SetParameterValue(to, from.GetParameterValue(i, 0), 0);
        if (from.GetParameterValueType(i) == 1)
            for (int component = 1; component < 3; ++component)
                mFilterSet->SetParameterValue(to, from.GetParameterValue(i, component), component);
    }

    KZeqControlSet& set = *mControlSet;
    const KZeqControlSet& other = *source.mControlSet;
    set.SetType(other.GetType());
    KZeqControlSetLink controlLink;
    for (int id = 0; id < kCharacterNodeIdCount; ++id)
        if (other.GetControlSetLink(static_cast<ECharacterNodeId>(id), &controlLink))
            set.SetControlSetLink(static_cast<ECharacterNodeId>(id), controlLink);
    KZeqEffector effector;
    KZeqNode* node = nullptr;
    for (int id = 0; id < kEffectorNodeIdCount; ++id) {
        const EEffectorNodeId effectorId = static_cast<EEffectorNodeId>(id);
        if (other.GetEffector(effectorId, &effector)) set.SetEffector(effectorId, effector);
    }
    for (int id = 0; id < kEffectorNodeIdCount; ++id) {
        const EEffectorNodeId effectorId = static_cast<EEffectorNodeId>(id);
        if (other.GetEffectorAux(effectorId, &node, eEffectorSetFirst))
            set.SetEffectorAux(effectorId, node, eEffectorSetFirst);
    }
    return *this;
}

void KZeqCharacterClearNodeSlot(KZeqCharacter* character, int kind, int index, int subIndex) {
    if (!character) return;
    if (kind == 0) {
        if (ValidId(index)) character->mLinks[index].mNode = nullptr;
        return;
    }
    if (character->mControlSet) KZeqControlSetAccess::ClearSlot(*character->mControlSet, kind, index, subIndex);
}

}  // namespace zeqsdk_400

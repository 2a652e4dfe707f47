#include "character/kzeqcontrolset.h"

#include <cstring>

#include "scene/kzeqnode.h"

namespace zeqsdk_400 {

namespace {

enum ERecordKind : int { eLinkRecord = 1, eEffectorRecord = 2, eAuxRecord = 3 };

constexpr const char* kEffectorNames[kEffectorNodeIdCount] = {
#define KZEQ_EFFECTOR_NAME(Name) #Name "Effector",
    KZEQ_EFFECTOR_IDS(KZEQ_EFFECTOR_NAME)
#undef KZEQ_EFFECTOR_NAME
};

// Effectors that do not start with only their show flag: node, show, T, R,
// candidate T, candidate R.
constexpr KZeqEffector kInitialEffectors[] = {
    {nullptr, true, true, true, false, false},                                             // hips
    {nullptr, true, true, true, true, true},                                               // ankles
    {nullptr, true, true, true, true, true},   {nullptr, true, true, false, true, false},  // wrists
    {nullptr, true, true, false, true, false},
};

bool ValidLink(ECharacterNodeId id) { return static_cast<unsigned>(id) < kCharacterNodeIdCount; }
bool ValidEffector(EEffectorNodeId id) { return static_cast<unsigned>(id) < kEffectorNodeIdCount; }
bool ValidSet(EEffectorSetId set) { return set >= eEffectorSetFirst && set <= eEffectorSetLast; }

}  // namespace

void KZeqControlSetLink::Reset() {
    mNode = nullptr;
    mTemplateName.Empty();
}

KZeqControlSet::KZeqControlSet() { SetInitialEffectorFlags(); }

KZeqControlSet::~KZeqControlSet() { Reset(); }

void KZeqControlSet::SetInitialEffectorFlags() {
    int id = 0;
    for (const KZeqEffector& initial : kInitialEffectors) mEffector[id++] = initial;
}

// Records name the owner; without one they could never be taken off again.
void KZeqControlSet::AddRecord(KZeqNode* node, int kind, int index, int subIndex) {
    if (node && mCharacter) node->AddCharacterLink(mCharacter, kind, index, subIndex);
}

void KZeqControlSet::RemoveRecord(KZeqNode* node, int kind, int index, int subIndex) {
    if (node && mCharacter) node->RemoveCharacterLink(mCharacter, kind, index, subIndex);
}

void KZeqControlSet::Reset() {
    mType = eDefaultType;
    mLockTransform = mLock3DPick = false;
    for (int id = 0; id < kCharacterNodeIdCount; ++id) {
        KZeqControlSetLink& link = mControlSetLink[id];
        if (!link.mNode) continue;  // a name kept without a node stays
        RemoveRecord(link.mNode, eLinkRecord, id, 0);
        link.Reset();
    }
    for (int id = 0; id < kEffectorNodeIdCount; ++id) {
        RemoveRecord(mEffector[id].mNode, eEffectorRecord, id, 0);
        mEffector[id].Reset();
        for (int i = 0; i < kEffectorSetCount; ++i) {
            RemoveRecord(mEffectorAux[id][i], eAuxRecord, id, i);
            mEffectorAux[id][i] = nullptr;
        }
    }
    SetInitialEffectorFlags();
}

bool KZeqControlSet::SetControlSetLink(ECharacterNodeId id, const KZeqControlSetLink& link) {
    if (!ValidLink(id)) return false;
    KZeqControlSetLink& slot = mControlSetLink[id];
    RemoveRecord(slot.mNode, eLinkRecord, id, 0);
    if (link.IsEmpty()) {
        slot.Reset();
        return true;
    }
    slot = link;
    AddRecord(slot.mNode, eLinkRecord, id, 0);
    return true;
}

bool KZeqControlSet::GetControlSetLink(ECharacterNodeId id, KZeqControlSetLink* link) const {
    if (!ValidLink(id) || mControlSetLink[id].IsEmpty()) return false;
    if (link) *link = mControlSetLink[id];
    return true;
}

bool KZeqControlSet::SetEffector(EEffectorNodeId id, KZeqEffector effector) {
    if (!ValidEffector(id)) return false;
    KZeqEffector& slot = mEffector[id];
    RemoveRecord(slot.mNode, eEffectorRecord, id, 0);
    if (!effector.mNode) {
        slot.Reset();
        return true;
    }
    slot = effector;
    AddRecord(slot.mNode, eEffectorRecord, id, 0);
    return true;
}

bool KZeqControlSet::GetEffector(EEffectorNodeId id, KZeqEffector* effector) const {
    if (!ValidEffector(id) || !mEffector[id].mNode) return false;
    if (effector) *effector = mEffector[id];
    return true;
}

bool KZeqControlSet::SetEffectorAux(EEffectorNodeId id, KZeqNode* node, EEffectorSetId set) {
    if (!ValidEffector(id) || !ValidSet(set)) return false;
    const int i = set - eEffectorSetFirst;
    RemoveRecord(mEffectorAux[id][i], eAuxRecord, id, i);
    mEffectorAux[id][i] = node;
    AddRecord(node, eAuxRecord, id, i);
    return true;
}

bool KZeqControlSet::GetEffectorAux(EEffectorNodeId id, KZeqNode** node, EEffectorSetId set) const {
    if (!ValidEffector(id) || !ValidSet(set)) return false;
    KZeqNode* held = mEffectorAux[id][set - eEffectorSetFirst];
    if (!held) return false;
    if (node) *node = held;
    return true;
}

void KZeqControlSet::ClearSlot(int kind, int index, int subIndex) {
    switch (kind) {
        case eLinkRecord:
            if (ValidLink(static_cast<ECharacterNodeId>(index))) mControlSetLink[index].mNode = nullptr;
            break;
        case eEffectorRecord:
            if (ValidEffector(static_cast<EEffectorNodeId>(index))) mEffector[index].mNode = nullptr;
            break;
        case eAuxRecord:
            if (ValidEffector(static_cast<EEffectorNodeId>(index)) && subIndex >= 0 && subIndex < kEffectorSetCount)
                mEffectorAux[index][subIndex] = nullptr;
            break;
        default:
            break;
    }
}

const char* KZeqControlSet::GetEffectorNodeName(EEffectorNodeId id) {
    return ValidEffector(id) ? kEffectorNames[id] : nullptr;
}

EEffectorNodeId KZeqControlSet::GetEffectorNodeId(const char* name) {
    if (name)
        for (int id = 0; id < kEffectorNodeIdCount; ++id)
            if (std::strcmp(kEffectorNames[id], name) == 0) return static_cast<EEffectorNodeId>(id);
    return static_cast<EEffectorNodeId>(-1);
}

}  // namespace zeqsdk_400

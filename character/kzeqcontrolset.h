#ifndef ZEQ_CHARACTER_KZEQCONTROLSET_H
#define ZEQ_CHARACTER_KZEQCONTROLSET_H

#include "base/kstring.h"
#include "character/kzeqcharacternodeid.h"

namespace zeqsdk_400 {

class KZeqCharacter;
class KZeqNode;
struct KZeqControlSetAccess;

// The effectors, in identifier order; each is named after itself with
// "Effector" appended ("HipsEffector").
#define KZEQ_EFFECTOR_IDS(X)                                                                                    \
    X(Hips) X(LeftAnkle) X(RightAnkle) X(LeftWrist) X(RightWrist) X(LeftKnee) X(RightKnee) X(LeftElbow)         \
    X(RightElbow) X(ChestOrigin) X(ChestEnd) X(LeftFoot) X(RightFoot) X(LeftShoulder) X(RightShoulder) X(Head) \
    X(LeftHip) X(RightHip) X(LeftHand) X(RightHand) X(LeftHandThumb) X(LeftHandIndex) X(LeftHandMiddle)         \
    X(LeftHandRing) X(LeftHandPinky) X(LeftHandExtraFinger) X(RightHandThumb) X(RightHandIndex)                 \
    X(RightHandMiddle) X(RightHandRing) X(RightHandPinky) X(RightHandExtraFinger) X(LeftFootThumb)              \
    X(LeftFootIndex) X(LeftFootMiddle) X(LeftFootRing) X(LeftFootPinky) X(LeftFootExtraFinger)                  \
    X(RightFootThumb) X(RightFootIndex) X(RightFootMiddle) X(RightFootRing) X(RightFootPinky)                   \
    X(RightFootExtraFinger)

enum EEffectorNodeId : int {
#define KZEQ_EFFECTOR_ENUM(Name) e##Name##Effector,
    KZEQ_EFFECTOR_IDS(KZEQ_EFFECTOR_ENUM)
#undef KZEQ_EFFECTOR_ENUM
};
constexpr int kEffectorNodeIdCount = 44;
static_assert(eRightFootExtraFingerEffector + 1 == kEffectorNodeIdCount, "effectors run from 0 to 43");

// An effector's auxiliary node sets, 1 to 14.
enum EEffectorSetId : int { eEffectorSetFirst = 1, eEffectorSetLast = 14 };
constexpr int kEffectorSetCount = 14;

// The control node of one character node, or only a name kept for it.
// Copies share the node.
struct KZeqControlSetLink {
    void Reset();
    // Neither a node nor a name.
    bool IsEmpty() const { return !mNode && mTemplateName.IsEmpty(); }

    KZeqNode* mNode = nullptr;  // not owned
    KString mTemplateName;
};

// One effector: its node and how the solver uses it.
struct KZeqEffector {
    void Reset() { *this = KZeqEffector(); }

    KZeqNode* mNode = nullptr;  // not owned
    bool mShow = true;
    bool mTActive = false;
    bool mRActive = false;
    bool mCandidateTActive = false;
    bool mCandidateRActive = false;
};

// The control rig of a character: a link per character node, 44 effectors and
// 14 auxiliary nodes per effector. Every node held in a slot carries one
// record naming the owning character and the slot (kind 1 link, 2 effector,
// 3 auxiliary node), so that a node that ends can clear itself out; records
// are kept only once the owner is known. Never owns a node.
class KZeqControlSet {
public:
    enum EType : int { eDefaultType = 0 };

    KZeqControlSet();
    KZeqControlSet(const KZeqControlSet&) = delete;
    KZeqControlSet& operator=(const KZeqControlSet&) = delete;
    ~KZeqControlSet();

    // Empties every slot that holds a node and restores the settings; the
    // owner, the use-axis setting and names kept without a node stay.
    void Reset();

    void SetType(EType type) { mType = type; }
    EType GetType() const { return mType; }
    void SetUseAxis(bool on) { mUseAxis = on; }
    bool GetUseAxis() const { return mUseAxis; }
    void SetLockTransform(bool on) { mLockTransform = on; }
    bool GetLockTransform() const { return mLockTransform; }
    void SetLock3DPick(bool on) { mLock3DPick = on; }
    bool GetLock3DPick() const { return mLock3DPick; }

    // An empty link clears the slot. False for an identifier outside 0..190.
    bool SetControlSetLink(ECharacterNodeId id, const KZeqControlSetLink& link);
    // False for an empty slot; link may be null.
    bool GetControlSetLink(ECharacterNodeId id, KZeqControlSetLink* link) const;
    // An effector without a node resets the slot to the default flags.
    bool SetEffector(EEffectorNodeId id, KZeqEffector effector);
    // False for a slot without a node; effector may be null.
    bool GetEffector(EEffectorNodeId id, KZeqEffector* effector) const;
    // Null clears the slot; the set runs from 1 to 14.
    bool SetEffectorAux(EEffectorNodeId id, KZeqNode* node, EEffectorSetId set);
    bool GetEffectorAux(EEffectorNodeId id, KZeqNode** node, EEffectorSetId set) const;

    // Null outside 0..43.
    static const char* GetEffectorNodeName(EEffectorNodeId id);
    // Exact name; -1 when none (or null).
    static EEffectorNodeId GetEffectorNodeId(const char* name);

private:
    friend struct KZeqControlSetAccess;

    void SetInitialEffectorFlags();
    void AddRecord(KZeqNode* node, int kind, int index, int subIndex);
    void RemoveRecord(KZeqNode* node, int kind, int index, int subIndex);
    // Drops the node of the slot a record names, touching no record.
    void ClearSlot(int kind, int index, int subIndex);

    KZeqCharacter* mCharacter = nullptr;
    EType mType = eDefaultType;
    bool mUseAxis = false;
    bool mLockTransform = false;
    bool mLock3DPick = false;
    KZeqControlSetLink mControlSetLink[kCharacterNodeIdCount];
    KZeqEffector mEffector[kEffectorNodeIdCount];
    KZeqNode* mEffectorAux[kEffectorNodeIdCount][kEffectorSetCount] = {};
};

}  // namespace zeqsdk_400

#endif

#include "character/kzeqcontrolset.h"

#include <gtest/gtest.h>

#include <string>

#include "character/kzeqcontrolset_access.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;
typedef KZeqControlSetAccess Access;

namespace {

// The owner is only ever compared, never used: any address stands in.
int gOwnerTag;
KZeqCharacter* const kOwner = reinterpret_cast<KZeqCharacter*>(&gOwnerTag);

EEffectorNodeId Eff(int id) { return static_cast<EEffectorNodeId>(id); }
EEffectorSetId Set(int set) { return static_cast<EEffectorSetId>(set); }
KZeqControlSetLink Link(KZeqNode* node, const char* name = "") { return KZeqControlSetLink{node, name}; }
KZeqEffector Effector(KZeqNode* node, bool flags) { return KZeqEffector{node, flags, flags, flags, flags, flags}; }
std::string Flags(const KZeqEffector& f) {
    return {f.mShow ? 'S' : '-', f.mTActive ? 'T' : '-', f.mRActive ? 'R' : '-', f.mCandidateTActive ? 't' : '-',
            f.mCandidateRActive ? 'r' : '-'};
}

class ControlSetTest : public ::testing::Test {
protected:
    ControlSetTest() { Access::SetOwner(*mSet, kOwner); }
    static bool Holds(KZeqNode* node, int kind, int index, int sub) {
        return node->FindCharacterLink(kOwner, kind, index, sub) >= 0;
    }

    KZeqSdkManager mManager;  // declared first: the set, which points at its nodes, ends first
    KZeqNode* a = mManager.CreateKZeqNode("a");
    KZeqNode* b = mManager.CreateKZeqNode("b");
    std::unique_ptr<KZeqControlSet> mSet{new KZeqControlSet};
};

TEST_F(ControlSetTest, NewSetHoldsNothingAndTheInitialFlags) {
    for (int id = 0; id < kCharacterNodeIdCount; ++id)
        EXPECT_FALSE(mSet->GetControlSetLink(static_cast<ECharacterNodeId>(id), nullptr));
    for (int id = 0; id < kEffectorNodeIdCount; ++id) {
        EXPECT_FALSE(mSet->GetEffector(Eff(id), nullptr));
        for (int set = 1; set <= kEffectorSetCount; ++set)
            EXPECT_FALSE(mSet->GetEffectorAux(Eff(id), nullptr, Set(set)));
        const char* initial = id == 0 ? "STR--" : id <= 2 ? "STRtr" : id <= 4 ? "ST-t-" : "S----";
        EXPECT_EQ(initial, Flags(Access::EffectorSlot(*mSet, Eff(id))));
    }
    EXPECT_TRUE(mSet->GetType() == 0 && !mSet->GetUseAxis() && !mSet->GetLockTransform() && !mSet->GetLock3DPick());
}

// One slot of each kind at and past its ends: accepted slots hold the node with
// exactly one record; refused ones change nothing.
struct SlotCase {
    const char* mLabel;
    int mKind, mId, mSet;  // kind 1 link, 2 effector, 3 auxiliary node
    bool mAccepted;
};

class ControlSetSlot : public ControlSetTest, public ::testing::WithParamInterface<SlotCase> {};

TEST_P(ControlSetSlot, RangeAndRecord) {
    const SlotCase& c = GetParam();
    const ECharacterNodeId id = static_cast<ECharacterNodeId>(c.mId);
    KZeqControlSetLink link;
    KZeqEffector effector;
    KZeqNode* node = nullptr;
    const bool stored = c.mKind == 1 ? mSet->SetControlSetLink(id, Link(a))
                        : c.mKind == 2 ? mSet->SetEffector(Eff(c.mId), Effector(a, false))
                                       : mSet->SetEffectorAux(Eff(c.mId), a, Set(c.mSet));
    const bool read = c.mKind == 1 ? mSet->GetControlSetLink(id, &link) && link.mNode == a
                      : c.mKind == 2 ? mSet->GetEffector(Eff(c.mId), &effector) && effector.mNode == a
                                     : mSet->GetEffectorAux(Eff(c.mId), &node, Set(c.mSet)) && node == a;
    EXPECT_TRUE(stored == c.mAccepted && read == c.mAccepted);
    EXPECT_EQ(c.mAccepted ? 1 : 0, a->GetCharacterLinkCount());
    EXPECT_EQ(c.mAccepted, Holds(a, c.mKind, c.mId, c.mKind == 3 ? c.mSet - 1 : 0));
    mSet.reset();
    EXPECT_EQ(0, a->GetCharacterLinkCount());  // ending the set takes its records off
}

INSTANTIATE_TEST_SUITE_P(
    Slots, ControlSetSlot,
    ::testing::Values(SlotCase{"Link0", 1, 0, 0, true}, SlotCase{"Link190", 1, 190, 0, true},
                      SlotCase{"Link191", 1, 191, 0, false}, SlotCase{"LinkMinus1", 1, -1, 0, false},
                      SlotCase{"Effector43", 2, 43, 0, true}, SlotCase{"Effector44", 2, 44, 0, false},
                      SlotCase{"EffectorMinus1", 2, -1, 0, false}, SlotCase{"AuxSet1", 3, 5, 1, true},
                      SlotCase{"AuxSet14", 3, 5, 14, true}, SlotCase{"AuxSet0", 3, 5, 0, false},
                      SlotCase{"AuxSet15", 3, 5, 15, false}, SlotCase{"Aux44", 3, 44, 1, false}),
    [](const ::testing::TestParamInfo<SlotCase>& info) { return info.param.mLabel; });

TEST_F(ControlSetTest, OneRecordPerFilledSlotAndReset) {
    mSet->SetControlSetLink(eCharacterHips, Link(a));
    mSet->SetControlSetLink(eCharacterHips, Link(a));  // the same node twice: still one record
    EXPECT_EQ(1, a->GetCharacterLinkCount());
    mSet->SetControlSetLink(eCharacterHead, Link(a));  // a second slot: a second record
    mSet->SetEffector(eHipsEffector, Effector(a, true));
    mSet->SetEffectorAux(eHipsEffector, a, Set(3));
    EXPECT_TRUE(a->GetCharacterLinkCount() == 4 && Holds(a, 3, 0, 2));
    mSet->SetControlSetLink(eCharacterHips, Link(b, "tmpl"));  // the record moves with the slot
    EXPECT_TRUE(!Holds(a, 1, eCharacterHips, 0) && Holds(b, 1, eCharacterHips, 0));
    mSet->SetControlSetLink(eCharacterHips, KZeqControlSetLink());  // empty: the slot clears
    EXPECT_TRUE(!mSet->GetControlSetLink(eCharacterHips, nullptr) && b->GetCharacterLinkCount() == 0);
    mSet->SetControlSetLink(eCharacterLeftFloor, Link(nullptr, "kept"));  // a name alone: present, no record
    KZeqControlSetLink out = Link(b);
    EXPECT_TRUE(mSet->GetControlSetLink(eCharacterLeftFloor, &out) && !out.mNode && out.mTemplateName == "kept");
    mSet->SetEffector(eHipsEffector, Effector(nullptr, true));  // no node: the default flags
    EXPECT_EQ("S----", Flags(Access::EffectorSlot(*mSet, eHipsEffector)));
    EXPECT_FALSE(mSet->GetEffector(eHipsEffector, nullptr));
    mSet->SetType(static_cast<KZeqControlSet::EType>(7));
    mSet->SetUseAxis(true);
    mSet->SetLockTransform(true);
    mSet->SetLock3DPick(true);
    mSet->Reset();
    EXPECT_TRUE(a->GetCharacterLinkCount() == 0 && !mSet->GetControlSetLink(eCharacterHead, nullptr));
    EXPECT_TRUE(mSet->GetType() == 0 && mSet->GetUseAxis() && !mSet->GetLockTransform() && !mSet->GetLock3DPick());
    EXPECT_TRUE(mSet->GetControlSetLink(eCharacterLeftFloor, &out) && out.mTemplateName == "kept");
    EXPECT_EQ("STR--", Flags(Access::EffectorSlot(*mSet, eHipsEffector)));
    KZeqControlSet ownerless;  // records would name no one and could never be taken off
    EXPECT_TRUE(ownerless.SetEffector(eHeadEffector, Effector(b, false)) && b->GetCharacterLinkCount() == 0);
}

TEST(ControlSetNames, EffectorNamesBothWays) {
    for (int id = 0; id < kEffectorNodeIdCount; ++id)
        EXPECT_EQ(id, KZeqControlSet::GetEffectorNodeId(KZeqControlSet::GetEffectorNodeName(Eff(id))));
    EXPECT_STREQ("HipsEffector", KZeqControlSet::GetEffectorNodeName(Eff(0)));
    EXPECT_STREQ("RightFootExtraFingerEffector", KZeqControlSet::GetEffectorNodeName(Eff(43)));
    EXPECT_TRUE(!KZeqControlSet::GetEffectorNodeName(Eff(-1)) && !KZeqControlSet::GetEffectorNodeName(Eff(44)));
    for (const char* miss : {"hipseffector", "Hips", "", static_cast<const char*>(nullptr)})
        EXPECT_EQ(-1, KZeqControlSet::GetEffectorNodeId(miss));
}

}  // namespace

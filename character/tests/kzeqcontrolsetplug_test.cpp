#include "character/kzeqcontrolsetplug.h"

#include <gtest/gtest.h>

#include <vector>

#include "character/tests/character_test_support.h"
#include "fcurve/kfcurvenode.h"
#include "scene/tests/scene_test_support.h"

using namespace chartest;

namespace {

class ControlSetPlugTest : public CharacterFixture, public ::testing::Test {
protected:
    KZeqControlSetPlugProperties& Plugged() { return *mPlug->GetPropertyHandler(); }
    KPropertyObjectList& NodeList(int id) {
        const char* name = nullptr;
        KZeqCharacter::GetCharacterGroupNameByElement(Id(id), name);
        return *static_cast<KPropertyObjectList*>(Plugged().FindPropertyByName(name));
    }
    KPropertyObjectList& EffectorList(int id) { return *Plugged().mEffectorLists[static_cast<std::size_t>(id)]; }
    KZeqControlSet& Set() { return *mCharacter->GetControlSet(); }
    // The slot's node, null when empty.
    KZeqNode* Aux(EEffectorNodeId id, int set) {
        KZeqNode* node = nullptr;
        return Set().GetEffectorAux(id, &node, AuxSet(set)) ? node : nullptr;
    }
    KZeqNode* EffectorNode(EEffectorNodeId id) {
        KZeqEffector e;
        return Set().GetEffector(id, &e) ? e.mNode : nullptr;
    }

    Owned<KZeqControlSetPlug> mPlug{new KZeqControlSetPlug(mManager, "ControlSetPlug::rig")};
};

TEST_F(ControlSetPlugTest, UserPropertiesAsEveryContainerKeepsThem) { scenetest::ExpectUserPropertyHooks(mManager, *mPlug); }

TEST_F(ControlSetPlugTest, NewPlugListsItsPropertiesEmpty) {
    KZeqControlSetPlugProperties& h = Plugged();
    ASSERT_EQ(233, h.GetPropertyCount());
    const std::pair<int, const char*> names[] = {{0, "UseAxis"}, {1, "ControlSetType"}, {2, "Hips"}, {69, "Reference"},
                                                 {70, "HipsTranslation"}, {188, "RightFootExtraFinger4"},
                                                 {189, "HipsEffector"}, {232, "RightFootExtraFingerEffector"}};
    for (const auto& n : names) EXPECT_STREQ(n.second, h.GetProperty(n.first)->GetPropertyName());
    EXPECT_TRUE(h.UseAxisGet() && h.ControlSetTypeGet() == 0 && h.UseAxis.GetPropertyType() == 2 &&
                h.ControlSetType.GetPropertyType() == 6 && !h.ControlSetType.GetValueAsString(0));
    for (int i = 2; i < 233; ++i) {
        auto* list = static_cast<KPropertyObjectList*>(h.GetProperty(i));
        EXPECT_TRUE(list->GetCount() == 0 && list->GetContentValue() == (i < 189 ? 1 : 15) && !list->IsAnimatable());
    }
    EXPECT_TRUE(NodeList(eCharacterHipsTranslation).GetTag() == 70 && EffectorList(43).GetTag() == 43 &&
                mPlug->GetNameSpace() == 12 && mPlug->GetTypeFlags().Find("ControlSetPlug") == 0);
    EXPECT_EQ(0, mPlug->GetDefaultTakeNode()->GetKFCurveNode()->GetCount());  // nothing animatable
    mPlug->PropertyAdded(nullptr);
    mPlug->PropertyRemoved(nullptr);
}

// Connecting the plug to the character's "ControlSet" replaces the whole set;
// only the first entry of a node list counts, and entries that are not a
// node's properties are skipped where they stand. A null plug does nothing.
TEST_F(ControlSetPlugTest, ConnectingThePlugRebuildsTheControlSet) {
    Set().SetType(static_cast<KZeqControlSet::EType>(3));
    Set().SetLockTransform(true);
    Set().SetControlSetLink(eCharacterHips, KZeqControlSetLink{a, "hips"});
    Set().SetControlSetLink(eCharacterSpine, KZeqControlSetLink{nullptr, "spine"});
    Set().SetControlSetLink(eCharacterLeftFloor, KZeqControlSetLink{nullptr, "floor"});  // no list: kept
    Set().SetEffector(eHeadEffector, KZeqEffector{b, false, true, true, true, true});
    Plugged().ControlSetTypeSet(static_cast<KZeqControlSet::EType>(1));
    Owned<KZeqCharacter> other(new KZeqCharacter(mManager, "Constraint::other"));
    NodeList(eCharacterHead).Add(Handler(c));
    NodeList(eCharacterHead).Add(Handler(a));
    NodeList(eCharacterSpine).Add(other->GetProperties());
    EffectorList(eHipsEffector).Add(other->GetProperties());
    EffectorList(eHipsEffector).Add(Handler(a));
    Set().FromPlug(nullptr);
    Set().ToPlug(nullptr);
    EXPECT_TRUE(Set().GetType() == 3 && EffectorNode(eHeadEffector) == b);
    ASSERT_TRUE(Props().ControlSet.Add(&Plugged()));
    KZeqControlSetLink link;
    EXPECT_TRUE(Set().GetType() == 1 && Set().GetUseAxis() && !Set().GetLockTransform() &&
                !Set().GetControlSetLink(eCharacterHips, nullptr) &&
                !Set().GetControlSetLink(eCharacterSpine, nullptr));
    EXPECT_TRUE(Set().GetControlSetLink(eCharacterLeftFloor, &link) && link.mTemplateName == "floor");
    EXPECT_TRUE(Set().GetControlSetLink(eCharacterHead, &link) && link.mNode == c && Holds(c, 1, eCharacterHead));
    EXPECT_TRUE(!EffectorNode(eHeadEffector) && !EffectorNode(eHipsEffector) && Aux(eHipsEffector, 1) == a &&
                b->GetCharacterLinkCount() == 0 && Props().ControlSetGet(0) == &Plugged());
}

TEST_F(ControlSetPlugTest, SeventeenEntriesFillTheEffectorAndFourteenSets) {
    std::vector<KZeqNode*> nodes;
    for (int i = 0; i < 17; ++i) EffectorList(eLeftHandEffector).Add(Handler(nodes.emplace_back(Node("n"))));
    Set().FromPlug(mPlug.get());
    KZeqEffector effector;
    ASSERT_TRUE(Set().GetEffector(eLeftHandEffector, &effector));
    EXPECT_TRUE(effector.mNode == nodes[0] && effector.mShow && !effector.mTActive && !effector.mCandidateRActive);
    for (int set = 1; set <= 14; ++set) EXPECT_EQ(nodes[static_cast<std::size_t>(set)], Aux(eLeftHandEffector, set));
    EXPECT_TRUE(nodes[15]->GetCharacterLinkCount() == 0 && nodes[16]->GetCharacterLinkCount() == 0);
}

TEST_F(ControlSetPlugTest, RoundTripThroughThePlug) {
    Set().SetType(static_cast<KZeqControlSet::EType>(2));
    Set().SetUseAxis(false);
    Set().SetLock3DPick(true);
    Set().SetControlSetLink(eCharacterHips, KZeqControlSetLink{a, "hips"});
    Set().SetControlSetLink(eCharacterReference, KZeqControlSetLink{nullptr, "ref"});  // a name alone: not carried
    Set().SetEffector(eHipsEffector, KZeqEffector{b, false, false, false, true, true});
    Set().SetEffectorAux(eHipsEffector, c, AuxSet(1));
    Set().SetEffectorAux(eHipsEffector, a, AuxSet(2));
    Set().SetEffectorAux(eHeadEffector, b, AuxSet(2));  // no effector node: the entries close up
    Set().SetEffectorAux(eHeadEffector, c, AuxSet(5));
    Set().ToPlug(mPlug.get());
    EXPECT_TRUE(Plugged().ControlSetTypeGet() == 2 && !Plugged().UseAxisGet() &&
                NodeList(eCharacterHips).GetAt(0) == Handler(a) && NodeList(eCharacterReference).GetCount() == 0 &&
                EffectorList(eHipsEffector).GetCount() == 3 && EffectorList(eHeadEffector).GetCount() == 2);

    Set().FromPlug(mPlug.get());
    KZeqControlSetLink link;
    KZeqEffector effector;
    EXPECT_TRUE(Set().GetType() == 2 && !Set().GetUseAxis() && !Set().GetLock3DPick() &&
                Set().GetControlSetLink(eCharacterHips, &link) && link.mNode == a && link.mTemplateName.IsEmpty() &&
                !Set().GetControlSetLink(eCharacterReference, nullptr));
    EXPECT_TRUE(Set().GetEffector(eHipsEffector, &effector) && effector.mNode == b && effector.mShow &&
                !effector.mCandidateTActive && Aux(eHipsEffector, 1) == c && Aux(eHipsEffector, 2) == a);
    EXPECT_TRUE(EffectorNode(eHeadEffector) == b && Aux(eHeadEffector, 1) == c && !Aux(eHeadEffector, 5));
}

}  // namespace

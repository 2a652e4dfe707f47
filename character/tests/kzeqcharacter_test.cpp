#include "character/kzeqcharacter.h"

#include <gtest/gtest.h>

#include "character/kzeqactor.h"
#include "character/tests/character_test_support.h"

using namespace chartest;

namespace {

class CharacterTest : public CharacterFixture, public ::testing::Test {};

TEST_F(CharacterTest, NewCharacterIsEmpty) {
    KZeqCharacter& ch = *mCharacter;
    EXPECT_TRUE(ch.GetInputType() == 4 && !ch.GetInputObject() && ch.GetNameSpace() == 8);
    for (int id = 0; id < kCharacterNodeIdCount; ++id) EXPECT_FALSE(ch.GetCharacterLink(Id(id), nullptr));
    EXPECT_STREQ("Default", ch.GetTakeNodeName(0));
    EXPECT_STREQ("Character", ch.GetTypeName().Buffer());
    EXPECT_TRUE(ch.GetTypeFlags().GetCount() == 1 && ch.GetTypeFlags().Find("Character") == 0);
    const char* name = nullptr;  // the group lookups are the character's own
    EXPECT_TRUE(KZeqCharacter::GetCharacterGroupNameByElement(eCharacterReference, name));
    EXPECT_STREQ("Reference", name);
}

TEST_F(CharacterTest, LinksKeepOneRecordAndFillTheirList) {
    KZeqCharacter& ch = *mCharacter;
    KPropertyObjectList* list = LinkList("LeftFootLink");
    ASSERT_TRUE(ch.SetCharacterLink(Id(3), LinkTo(a)));
    ASSERT_TRUE(ch.SetCharacterLink(Id(3), LinkTo(a)));  // the same node twice
    EXPECT_TRUE(a->GetCharacterLinkCount() == 1 && Holds(a, 0, 3));
    EXPECT_TRUE(list->GetCount() == 1 && list->GetAt(0) == Handler(a));
    ch.SetCharacterLink(Id(3), LinkTo(b));  // replaced: the record and the entry move
    EXPECT_TRUE(a->GetCharacterLinkCount() == 0 && Holds(b, 0, 3));
    KZeqCharacterLink out;
    EXPECT_TRUE(list->GetCount() == 1 && list->GetAt(0) == Handler(b) && ch.GetCharacterLink(Id(3), &out) &&
                out.mNode == b);
    ch.SetCharacterLink(Id(3), LinkTo(nullptr));  // no node: back-reference and entry go
    EXPECT_TRUE(b->GetCharacterLinkCount() == 0 && list->GetCount() == 0 && !ch.GetCharacterLink(Id(3), nullptr));
    ch.SetCharacterLink(eCharacterReference, LinkTo(nullptr, "ref"));  // a name alone counts
    EXPECT_TRUE(ch.GetCharacterLink(eCharacterReference, nullptr));
    EXPECT_TRUE(!ch.SetCharacterLink(Id(191), LinkTo(a)) && !ch.SetCharacterLink(Id(-1), LinkTo(a)));
    EXPECT_TRUE(!ch.GetCharacterLink(Id(191), &out) && a->GetCharacterLinkCount() == 0);
    ch.SetCharacterLink(eCharacterLeftFloor, LinkTo(c));  // unnamed: a slot without a list
    EXPECT_TRUE(Holds(c, 0, eCharacterLeftFloor) && !ch.GetCharacterLink(Id(3), nullptr));
}

// The type is always kept; the object only when it fits the type.
struct InputCase {
    const char* mLabel;
    int mType;
    int mObject;  // 0 none, 1 actor, 2 other character, 3 the character itself
    bool mKept;
};
class CharacterInput : public CharacterFixture, public ::testing::TestWithParam<InputCase> {};

TEST_P(CharacterInput, TypeAlwaysObjectWhenItFits) {
    KZeqActor actor(mManager, "Constraint::actor");
    Owned<KZeqCharacter> other(new KZeqCharacter(mManager, "Constraint::other"));
    KZeqObject* objects[] = {nullptr, &actor, other.get(), mCharacter.get()};
    const InputCase& c = GetParam();
    mCharacter->SetInput(static_cast<ECharacterInputType>(c.mType), objects[c.mObject]);
    EXPECT_EQ(c.mType, mCharacter->GetInputType());
    EXPECT_EQ(c.mKept ? objects[c.mObject] : nullptr, mCharacter->GetInputObject());
}

INSTANTIATE_TEST_SUITE_P(Cases, CharacterInput,
                         ::testing::Values(InputCase{"ActorAsActor", 0, 1, true}, InputCase{"CharacterAsActor", 0, 2, false},
                                           InputCase{"OtherCharacter", 1, 2, true}, InputCase{"Itself", 1, 3, false},
                                           InputCase{"ActorAsCharacter", 1, 1, false}, InputCase{"Type3Actor", 3, 1, false},
                                           InputCase{"TypeWithoutObject", 1, 0, false}),
                         [](const ::testing::TestParamInfo<InputCase>& info) { return info.param.mLabel; });

TEST_F(CharacterTest, ResetDropsLinksRecordsAndListReferences) {
    KZeqCharacter& ch = *mCharacter;
    ch.SetCharacterLink(eCharacterHips, LinkTo(a, "hips"));
    ch.GetControlSet()->SetEffector(eHipsEffector, KZeqEffector{b, true, false, false, false, false});
    ch.GetControlSet()->SetType(static_cast<KZeqControlSet::EType>(2));
    Props().PullIterationCountSet(20);
    ch.Reset();
    EXPECT_TRUE(ch.GetInputType() == 4 && !ch.GetCharacterLink(eCharacterHips, nullptr));
    EXPECT_TRUE(a->GetCharacterLinkCount() == 0 && b->GetCharacterLinkCount() == 0);
    EXPECT_TRUE(ch.GetControlSet()->GetType() == 0 && Filters().GetParameterValue(0) == 20);
    KPropertyObjectList* hips = LinkList("HipsLink");
    EXPECT_EQ(1, hips->GetCount());  // the list keeps its entry, no longer reached from the link
    ch.SetCharacterLink(eCharacterHips, LinkTo(c));
    EXPECT_TRUE(hips->GetCount() == 1 && hips->GetAt(0) == Handler(a) && Holds(c, 0, eCharacterHips));
    ch.SetCharacterLink(eCharacterHips, LinkTo(nullptr));
    EXPECT_EQ(1, hips->GetCount());
}

TEST_F(CharacterTest, AssignmentCopiesSetLinksFiltersAndPartOfTheControlSet) {
    Owned<KZeqCharacter> source(new KZeqCharacter(mManager, "Constraint::source"));
    KZeqCharacterLink offsets = LinkTo(nullptr, "tmpl");
    offsets.mOffsetT.Set(1, 2, 3, 1);
    source->SetCharacterLink(eCharacterHips, LinkTo(a));
    source->SetCharacterLink(eCharacterReference, offsets);
    mCharacter->SetCharacterLink(Id(5), LinkTo(b));  // not set in the source: stays
    source->GetProperties()->FootBottomToAnkleSet(20);
    source->GetFilterSet()->SetParameterMode(3, 2);
    KZeqControlSet& from = *source->GetControlSet();
    from.SetType(static_cast<KZeqControlSet::EType>(1));
    from.SetLockTransform(true);
    from.SetControlSetLink(eCharacterHead, KZeqControlSetLink{c, "head"});
    from.SetEffector(eHeadEffector, KZeqEffector{c, false, true, false, false, false});
    from.SetEffectorAux(eHeadEffector, a, AuxSet(1));
    from.SetEffectorAux(eHeadEffector, b, AuxSet(2));
    *mCharacter = *source;

    KZeqCharacterLink out;
    EXPECT_TRUE(mCharacter->GetCharacterLink(eCharacterHips, &out) && out.mNode == a && Holds(a, 0, 0));
    EXPECT_TRUE(mCharacter->GetCharacterLink(eCharacterReference, &out) && out.mTemplateName == "tmpl" &&
                out.mOffsetT == KZeqVector4(1, 2, 3, 1));
    EXPECT_TRUE(mCharacter->GetCharacterLink(Id(5), &out) && out.mNode == b);
    EXPECT_TRUE(Filters().GetParameterValue(45) == 20 && Filters().GetParameterMode(3) == 2);
    EXPECT_STREQ("Constraint::source", mCharacter->GetName());
    KZeqControlSet& to = *mCharacter->GetControlSet();
    KZeqEffector effector;
    KZeqNode* node = nullptr;
    EXPECT_TRUE(to.GetType() == 1 && !to.GetLockTransform());
    EXPECT_TRUE(to.GetEffector(eHeadEffector, &effector) && effector.mTActive && !effector.mShow);
    EXPECT_TRUE(to.GetEffectorAux(eHeadEffector, &node, AuxSet(1)) && node == a);
    EXPECT_FALSE(to.GetEffectorAux(eHeadEffector, &node, AuxSet(2)));
    EXPECT_TRUE(Holds(c, 1, eCharacterHead) && Holds(c, 2, eHeadEffector) && Holds(a, 3, eHeadEffector, 0));
}

// A node that ends clears every slot it fills and nothing else: names,
// offsets and flags stay; no record of it is left anywhere.
TEST_F(CharacterTest, DestroyedNodeClearsEverySlot) {
    KZeqCharacter& ch = *mCharacter;
    KZeqControlSet& set = *ch.GetControlSet();
    KZeqCharacterLink link = LinkTo(a, "hips");
    link.mOffsetS.Set(2, 2, 2, 1);
    ch.SetCharacterLink(eCharacterHips, link);
    ch.SetCharacterLink(eCharacterLeftFloor, LinkTo(a));
    set.SetControlSetLink(eCharacterHead, KZeqControlSetLink{a, "head"});
    set.SetEffector(eLeftWristEffector, KZeqEffector{a, false, false, true, false, true});
    set.SetEffectorAux(eLeftWristEffector, a, AuxSet(14));
    set.SetEffectorAux(eLeftWristEffector, b, AuxSet(1));
    ASSERT_EQ(5, a->GetCharacterLinkCount());
    ASSERT_TRUE(mManager.DestroyKZeqNode(a));

    KZeqCharacterLink out;
    EXPECT_TRUE(ch.GetCharacterLink(eCharacterHips, &out) && !out.mNode && out.mTemplateName == "hips" &&
                out.mOffsetS == KZeqVector4(2, 2, 2, 1));
    EXPECT_FALSE(ch.GetCharacterLink(eCharacterLeftFloor, nullptr));
    EXPECT_EQ(0, LinkList("HipsLink")->GetCount());
    KZeqControlSetLink controlLink;
    EXPECT_TRUE(set.GetControlSetLink(eCharacterHead, &controlLink) && !controlLink.mNode);
    EXPECT_FALSE(set.GetEffector(eLeftWristEffector, nullptr));
    KZeqNode* node = nullptr;
    EXPECT_TRUE(!set.GetEffectorAux(eLeftWristEffector, &node, AuxSet(14)) &&
                set.GetEffectorAux(eLeftWristEffector, &node, AuxSet(1)) && node == b);
    KZeqNode* loose = new KZeqNode(mManager, "Model::loose");  // ended without Destruct: the same
    set.SetEffector(eLeftWristEffector, KZeqEffector{loose, true, false, false, false, false});
    ch.SetCharacterLink(eCharacterHips, LinkTo(loose));
    EXPECT_TRUE(loose->GetCharacterLinkCount() == 2 && b->GetCharacterLinkCount() == 1);
    delete loose;
    EXPECT_TRUE(!set.GetEffector(eLeftWristEffector, nullptr) && !ch.GetCharacterLink(eCharacterHips, nullptr) &&
                LinkList("HipsLink")->GetCount() == 0);
}

}  // namespace

#include "character/kzeqcharacter.h"

#include <gtest/gtest.h>

#include <string>

#include "character/kzeqactor.h"
#include "character/tests/character_test_support.h"
#include "fcurve/kfcurvenode.h"
#include "scene/tests/scene_test_support.h"

using namespace chartest;

namespace {

class CharacterTest : public CharacterFixture, public ::testing::Test {};

TEST_F(CharacterTest, LinksKeepOneRecordAndFillTheirList) {
    KZeqCharacter& ch = *mCharacter;
    KPropertyObjectList* list = LinkList("LeftFootLink");
    ch.SetCharacterLink(Id(3), LinkTo(a));
    ASSERT_TRUE(ch.SetCharacterLink(Id(3), LinkTo(a)));  // the same node twice
    EXPECT_TRUE(a->GetCharacterLinkCount() == 1 && Holds(a, 0, 3) && list->GetAt(0) == Handler(a));
    KZeqCharacter* who = nullptr;
    int kind = -1, index = -1, sub = -1;
    EXPECT_TRUE(a->GetCharacterLink(0, &who, &kind, &index, &sub) && who == &ch && kind == 0 && index == 3 && sub == 0);
    who = nullptr, kind = -1;
    EXPECT_FALSE(a->GetCharacterLink(1, &who, &kind, &index, &sub) || a->GetCharacterLink(-1, &who, &kind, &index, &sub) ||
                 a->GetCharacterLink(0, &who, &kind, nullptr, &sub));
    EXPECT_TRUE(who == nullptr && kind == -1);  // untouched
    ch.SetCharacterLink(Id(3), LinkTo(b));  // replaced: the record and the entry move, the link keeps b
    KZeqCharacterLink out;
    EXPECT_TRUE(a->GetCharacterLinkCount() == 0 && Holds(b, 0, 3) && list->GetCount() == 1 &&
                list->GetAt(0) == Handler(b) && ch.GetCharacterLink(Id(3), &out) && out.mNode == b);
    ch.SetCharacterLink(Id(3), LinkTo(nullptr));  // no node: back-reference and entry go
    EXPECT_TRUE(b->GetCharacterLinkCount() == 0 && list->GetCount() == 0 && !ch.GetCharacterLink(Id(3), nullptr));
    ch.SetCharacterLink(eCharacterReference, LinkTo(nullptr, "ref"));  // a name alone counts
    EXPECT_TRUE(ch.GetCharacterLink(eCharacterReference, nullptr));
    EXPECT_TRUE(!ch.SetCharacterLink(Id(191), LinkTo(a)) && !ch.SetCharacterLink(Id(-1), LinkTo(a)) &&
                !ch.GetCharacterLink(Id(191), &out) && a->GetCharacterLinkCount() == 0);
    Props().PropertyDestroy(list);  // a list that ended is no longer reached
    EXPECT_TRUE(ch.SetCharacterLink(Id(3), LinkTo(a)) && Holds(a, 0, 3));
}

// Publishing wraps every property of the set once, each wrapper answering to
// the set; a wrapper's new default reaches the property and the Default take.
TEST_F(CharacterTest, PublishedWrappersCarryDefaultsToTheTakes) {
    mCharacter->PublishProperties();
    const int published = mCharacter->GetPropertyCount();
    mCharacter->PublishProperties();
    ASSERT_TRUE(published == Props().GetPropertyCount() && published == mCharacter->GetPropertyCount());
    KZeqUserProperty* animated = nullptr;
    for (int i = 0; i < published; ++i) {
        KZeqUserProperty* user = mCharacter->GetProperty(i);
        EXPECT_EQ(&Props(), user->GetPropertyHandler()) << i;
        KProperty* property = user->GetKProperty();
        if (!animated && property->IsAnimatable() && property->GetPropertyType() == kPropertyTypeDouble) animated = user;
    }
    ASSERT_NE(nullptr, animated);
    animated->SetDefaultValue(0.75);
    EXPECT_EQ(0.75, animated->GetKProperty()->AsDouble());
    KFCurve* curve = scenetest::CurveAt(mCharacter->GetDefaultTakeNode()->GetKFCurveNode(), animated->GetName());
    ASSERT_NE(nullptr, curve) << animated->GetName();
    EXPECT_EQ(0.75f, curve->GetValue());
}

// The type is always kept; the object only when it fits the type.
TEST_F(CharacterTest, InputTypeAlwaysObjectWhenItFits) {
    KZeqActor actor(mManager, "Constraint::actor");
    Owned<KZeqCharacter> other(new KZeqCharacter(mManager, "Constraint::other"));
    KZeqObject* objects[] = {nullptr, &actor, other.get(), mCharacter.get()};
    // Type; object 0 none, 1 actor, 2 other character, 3 the character itself; kept.
    const int cases[][3] = {{0, 1, 1}, {0, 2, 0}, {1, 2, 1}, {1, 3, 0}, {3, 1, 0}, {1, 0, 0}};
    for (const auto& c : cases) {
        mCharacter->SetInput(static_cast<ECharacterInputType>(c[0]), objects[c[1]]);
        KZeqObject* kept = c[2] ? objects[c[1]] : nullptr;
        EXPECT_TRUE(mCharacter->GetInputType() == c[0] && mCharacter->GetInputObject() == kept) << c[0] << c[1];
    }
}

TEST_F(CharacterTest, NewAndResetCharacters) {
    KZeqCharacter& ch = *mCharacter;
    EXPECT_TRUE(ch.GetInputType() == 4 && !ch.GetInputObject() && ch.GetNameSpace() == 8 &&
                ch.GetTakeNodeCount() == 1 && std::string("Default") == ch.GetTakeNodeName(0) &&
                ch.GetDefaultTakeNode()->GetKFCurveNode()->GetCount() == 100);  // a curve node per animatable one
    for (int id = 0; id < kCharacterNodeIdCount; ++id) EXPECT_FALSE(ch.GetCharacterLink(Id(id), nullptr));
    ch.SetCharacterLink(eCharacterHips, LinkTo(a, "hips"));
    ch.GetControlSet()->SetEffector(eHipsEffector, KZeqEffector{b, true, false, false, false, false});
    Props().PullIterationCountSet(20);
    ch.Reset();
    EXPECT_TRUE(ch.GetInputType() == 4 && !ch.GetCharacterLink(eCharacterHips, nullptr));
    EXPECT_TRUE(a->GetCharacterLinkCount() == 0 && b->GetCharacterLinkCount() == 0 &&
                Filters().GetParameterValue(0) == 20);
    KPropertyObjectList* hips = LinkList("HipsLink");  // emptied, and still reached from the link
    EXPECT_EQ(0, hips->GetCount());
    ch.SetCharacterLink(eCharacterHips, LinkTo(c));
    EXPECT_TRUE(hips->GetCount() == 1 && hips->GetAt(0) == Handler(c) && Holds(c, 0, eCharacterHips));
}

TEST_F(CharacterTest, AssignmentCopiesSetLinksFiltersAndPartOfTheControlSet) {
    Owned<KZeqCharacter> source(new KZeqCharacter(mManager, "Constraint::source"));
    KZeqCharacterLink named = LinkTo(nullptr, "tmpl");
    named.mOffsetT.Set(1, 2, 3, 1);
    source->SetCharacterLink(eCharacterReference, named);
    mCharacter->SetCharacterLink(Id(5), LinkTo(b));  // not set in the source: stays
    source->GetProperties()->FootBottomToAnkleSet(20);
    KZeqControlSet& from = *source->GetControlSet();
    from.SetType(static_cast<KZeqControlSet::EType>(1));
    from.SetEffector(eHeadEffector, KZeqEffector{c, false, true, false, false, false});
    from.SetEffectorAux(eHeadEffector, a, AuxSet(1));
    from.SetEffectorAux(eHeadEffector, b, AuxSet(2));
    *mCharacter = *source;

    KZeqCharacterLink out;
    KZeqEffector effector;
    KZeqNode* node = nullptr;
    KZeqControlSet& to = *mCharacter->GetControlSet();
    EXPECT_TRUE(mCharacter->GetCharacterLink(eCharacterReference, &out) && out.mTemplateName == "tmpl" &&
                out.mOffsetT == KZeqVector4(1, 2, 3, 1));
    EXPECT_TRUE(mCharacter->GetCharacterLink(Id(5), &out) && out.mNode == b);
    EXPECT_TRUE(Filters().GetParameterValue(45) == 20 && std::string("Constraint::source") == mCharacter->GetName());
    EXPECT_TRUE(to.GetType() == 1 && to.GetEffector(eHeadEffector, &effector) &&
                effector.mTActive && !effector.mShow && Holds(c, 2, eHeadEffector));
    EXPECT_TRUE(to.GetEffectorAux(eHeadEffector, &node, AuxSet(1)) && node == a &&
                !to.GetEffectorAux(eHeadEffector, &node, AuxSet(2)));
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
    KZeqControlSetLink controlLink;
    KZeqNode* node = nullptr;
    EXPECT_TRUE(ch.GetCharacterLink(eCharacterHips, &out) && !out.mNode && out.mTemplateName == "hips" &&
                out.mOffsetS == KZeqVector4(2, 2, 2, 1) && LinkList("HipsLink")->GetCount() == 0);
    EXPECT_TRUE(!ch.GetCharacterLink(eCharacterLeftFloor, nullptr) && !set.GetEffector(eLeftWristEffector, nullptr) &&
                set.GetControlSetLink(eCharacterHead, &controlLink) && !controlLink.mNode);
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

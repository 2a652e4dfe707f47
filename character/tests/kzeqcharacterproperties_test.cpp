#include "character/kzeqcharacterproperties.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>

#include "character/tests/character_test_support.h"

using namespace chartest;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

bool Same(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

class PropertiesTest : public CharacterFixture, public ::testing::Test {
protected:
    KProperty* P(const char* name) { return Props().FindPropertyByName(name); }
};

TEST_F(PropertiesTest, ListOrderTypesAndFlags) {
    KZeqCharacterProperties& props = Props();
    ASSERT_EQ(383, props.GetPropertyCount());
    // Position (from 1), name, type code, read-only, animatable, plug kind, direction.
    struct Row { int mPosition; const char* mName; int mType, mReadOnly, mAnimatable, mKind, mDirection; };
    for (const Row& r : {Row{1, "Active", 2, 0, 0, 0, 3}, Row{3, "Weight", 4, 0, 1, 0, 3},
                         Row{4, "PullIterationCount", 4, 0, 0, 0, 3}, Row{15, "MassCenterCompensation", 4, 1, 1, 0, 3},
                         Row{46, "HipsTOffset", 13, 1, 1, 0, 3}, Row{64, "RollExtractionMode", 6, 0, 0, 0, 3},
                         Row{191, "ContactBehaviour", 6, 0, 0, 0, 3}, Row{192, "HipsLink", 9, 0, 0, 0, 3},
                         Row{259, "ReferenceLink", 9, 0, 0, 0, 3}, Row{260, "HipsTranslationLink", 9, 0, 0, 0, 3},
                         Row{378, "RightFootExtraFinger4Link", 9, 0, 0, 0, 3}, Row{379, "SourceObject", 9, 0, 0, 8, 1},
                         Row{380, "DestinationObject", 9, 0, 0, 8, 2}, Row{383, "ControlSet", 9, 0, 0, 0, 1}}) {
        KProperty* p = props.GetProperty(r.mPosition - 1);
        EXPECT_TRUE(std::string(r.mName) == p->GetPropertyName() && p->GetPropertyType() == r.mType &&
                    p->IsReadOnly() == (r.mReadOnly != 0) && p->IsAnimatable() == (r.mAnimatable != 0) &&
                    p->GetFilterType() == r.mKind && p->GetDirection() == r.mDirection)
            << r.mName;
    }
    int readOnly = 0, animatable = 0, setters = 0, enums = 0;
    for (int i = 0; i < 191; ++i) {
        KProperty* p = props.GetProperty(i);
        readOnly += p->IsReadOnly() && !p->GetPropertyInfo().GetSetter();
        animatable += p->IsAnimatable();
        setters += p->GetPropertyInfo().GetSetter() != nullptr;
        enums += p->GetPropertyType() == kPropertyTypeEnum && p->GetPropertyInfo().HasAsStringFunc();
    }
    EXPECT_TRUE(readOnly == 75 && animatable == 100 && setters == 116 && enums == 26);
    EXPECT_EQ(kPropertyFlagReserved, P("SyncMode")->GetPropertyFlags());
    for (int id = 0, position = 191; id < kCharacterNodeIdCount; ++id)  // the link lists' tags
        if (id != 68 && id != 69 && id != 88 && id != 89 && props.GetProperty(position++)->GetTag() != id)
            ADD_FAILURE() << id;
}

TEST_F(PropertiesTest, NewSetShowsTheFilterSetDefaults) {
    const std::pair<const char*, double> expected[] = {
        {"Active", 1}, {"Lock", 0}, {"Weight", 100}, {"PullIterationCount", 10}, {"FootBottomToAnkle", 7.5},
        {"ScaleCompensationMode", 1}, {"ScaleCompensation", 0}, {"MassCenterCompensation", 80},
        {"ReachActorLeftAnkleRotation", 100}, {"CtrlEnforceGravity", 60}, {"LeftUpLegRoll", 60},
        {"OrientationDampingMode", 1}, {"FingerSolving", 1}, {"SyncMode", 1}, {"HandFingerContactMode", 1},
        {"LeftHandThumbTip", 0.5}, {"FootContactSize", 100}, {"CtrlSpineStiffness", 0}};
    for (const auto& e : expected) EXPECT_EQ(e.second, P(e.first)->AsDouble()) << e.first;
}

// A write of the property runs its setter: the value stored and what reaches the filter set.
// mMode: the row's mode is sent, else its value.
struct SetterCase { const char *mLabel, *mProperty; double mInput, mStored; int mRow; bool mMode; double mSent; };
class PropertySetter : public CharacterFixture, public ::testing::TestWithParam<SetterCase> {};

TEST_P(PropertySetter, StoresAndSends) {
    const SetterCase& c = GetParam();
    Props().FindPropertyByName(c.mProperty)->SetDouble(c.mInput);
    EXPECT_TRUE(Same(c.mStored, Props().FindPropertyByName(c.mProperty)->AsDouble()));
    const double sent = c.mMode ? Filters().GetParameterMode(c.mRow) : Filters().GetParameterValue(c.mRow);
    EXPECT_TRUE(Same(c.mSent, sent)) << sent;
}

INSTANTIATE_TEST_SUITE_P(
    Binding, PropertySetter,
    ::testing::Values(SetterCase{"IterationsBelow", "PullIterationCount", -1, 0, 0, false, 0},
                      SetterCase{"IterationsAbove", "PullIterationCount", 31, 30, 0, false, 30},
                      SetterCase{"IterationsAtBound", "PullIterationCount", 30, 30, 0, false, 30},
                      SetterCase{"LengthZero", "FootBottomToAnkle", 0, 0.01, 45, false, 0.01},
                      SetterCase{"LengthPastRowRange", "FootBottomToAnkle", 5000, 1000, 45, false, 1000},
                      SetterCase{"LengthBelowRowRange", "FootContactSize", 5, 5, 51, false, 5},
                      SetterCase{"HandSizeAbove", "HandContactSize", 2000, 1000, 62, false, 1000},
                      SetterCase{"TipNaN", "RightFootExtraFingerTip", kNaN, kNaN, 164, false, kNaN},
                      SetterCase{"SwitchOn", "ApplyLimits", 1, 1, 8, true, 1},
                      SetterCase{"SwitchOff", "SyncMode", 0, 0, 176, true, 0},
                      SetterCase{"OffAutoUserUser", "ScaleCompensationMode", 2, 2, 3, true, 2},
                      SetterCase{"AutoUserUser", "DisplacementMemoryMode", 1, 1, 78, true, 1},
                      SetterCase{"RejectedModeStaysInProperty", "AnkleStabilizationTimeMode", 3, 3, 83, true, 0},
                      SetterCase{"EnumerationAsValue", "Posture", 1, 1, 1, false, 1},
                      SetterCase{"PlainKeepsOutOfRange", "ScaleCompensation", 5000, 5000, 3, false, 100},
                      SetterCase{"PlainDamping", "OrientationDamping", 7, 7, 76, false, 0},
                      SetterCase{"WeightUnclamped", "Weight", 5000, 5000, 0, false, 10}),
    [](const ::testing::TestParamInfo<SetterCase>& info) { return info.param.mLabel; });

TEST_F(PropertiesTest, FilterSetCopiedWithoutClampsTruncatingSafely) {
    // Posture, FootFloorPivot, HandFloorPivot, FootBottomToAnkle (below its clamp), HipsTOffset, and
    // ScaleCompensation's value, which is never copied.
    for (const auto& v : {std::pair<int, double>{1, 1.9}, {53, kNaN}, {64, 1e300}, {45, 0}, {38, 1}, {39, 2}, {40, 3},
                          {3, 50}})
        Filters().SetParameterValue(v.first, v.second);
    Filters().SetParameterMode(44, 1);  // FootFloorContact
    KZeqCharacterProperties& p = Props();
    p.HipsTOffset.Value().mData[3] = 5;
    p.FilterSetToProperties();
    EXPECT_TRUE(p.PostureGet() == 1 && p.FootFloorPivotGet() == 0 && p.HandFloorPivotGet() == INT_MAX);
    EXPECT_TRUE(p.FootBottomToAnkleGet() == 0 && p.FootFloorContactGet() && p.ScaleCompensationGet() == 0);
    const KgeTVector hips = p.HipsTOffsetGet();  // handed out with 1, the held 5 kept
    EXPECT_TRUE(hips.mData[0] == 1 && hips.mData[2] == 3 && hips.mData[3] == 1 && p.HipsTOffset.Value().mData[3] == 5);
    EXPECT_STREQ("Wrist", p.HandFloorPivotAsString(kCharacterFloorPivotAnkleWrist));
    EXPECT_STREQ("Ankle", p.FootFloorPivotAsString(kCharacterFloorPivotAnkleWrist));
    EXPECT_EQ(nullptr, p.PostureAsString(static_cast<kCharacterPosture>(2)));
    EXPECT_STREQ(KCharacter_GetPostureString(kCharacterPostureQuadruped), P("Posture")->GetValueAsString(1));
}

TEST_F(PropertiesTest, ConnectionsOnLinkListsRelinkTheCharacter) {
    KZeqCharacterLink named = LinkTo(nullptr, "hips");
    named.mOffsetR.Set(0, 90, 0, 1);
    mCharacter->SetCharacterLink(eCharacterHips, named);
    KPropertyObjectList* hips = LinkList("HipsLink");
    ASSERT_TRUE(hips->Add(Handler(a)));
    KZeqCharacterLink out;
    EXPECT_TRUE(mCharacter->GetCharacterLink(eCharacterHips, &out) && out.mNode == a && out.mTemplateName == "hips" &&
                out.mOffsetR == KZeqVector4(0, 90, 0, 1) && Holds(a, 0, eCharacterHips));
    ASSERT_TRUE(hips->Remove(Handler(a)));
    EXPECT_TRUE(mCharacter->GetCharacterLink(eCharacterHips, &out) && !out.mNode && a->GetCharacterLinkCount() == 0);
    // Only a node's properties on a node list relink; everything else is the base's.
    Owned<KZeqCharacter> other(new KZeqCharacter(mManager, "Constraint::other"));
    KZeqCharacterProperties& p = Props();
    EXPECT_FALSE(p.PlugNotify(nullptr, kPlugSrcConnected, hips, 0, Handler(b), 0, nullptr));
    EXPECT_TRUE(p.PlugNotify(nullptr, kPlugSrcConnecting, hips, 0, Handler(c), 0, nullptr) &&
                p.PlugNotify(nullptr, kPlugSrcConnected, hips, 0, other->GetProperties(), 0, nullptr) &&
                p.PlugNotify(nullptr, kPlugSrcConnected, &p.Actor, 0, Handler(c), 0, nullptr) &&
                p.PlugNotify(nullptr, kPlugSrcConnected, &p.ControlSet, 0, Handler(c), 0, nullptr));
    EXPECT_TRUE(mCharacter->GetCharacterLink(eCharacterHips, &out) && out.mNode == b && !c->GetCharacterLinkCount());
    EXPECT_TRUE(p.SourceObjectSet(0, Handler(c)) && p.SourceObjectGet(0) == Handler(c));
}

}  // namespace

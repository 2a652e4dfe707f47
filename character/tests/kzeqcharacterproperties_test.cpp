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
    // Position (from 1), name, type code, read-only, animatable.
    struct Row {
        int mPosition;
        const char* mName;
        int mType;
        bool mReadOnly, mAnimatable;
    };
    for (const Row& r : {Row{1, "Active", 2, false, false}, Row{3, "Weight", 4, false, true},
                         Row{4, "PullIterationCount", 4, false, false}, Row{15, "MassCenterCompensation", 4, true, true},
                         Row{46, "HipsTOffset", 13, true, true}, Row{64, "RollExtractionMode", 6, false, false},
                         Row{133, "SyncMode", 2, false, false}, Row{160, "LeftHandThumbTip", 4, false, false},
                         Row{191, "ContactBehaviour", 6, false, false}, Row{192, "HipsLink", 9, false, false},
                         Row{192 + 67, "ReferenceLink", 9, false, false}, Row{259 + 1, "HipsTranslationLink", 9, false, false},
                         Row{378, "RightFootExtraFinger4Link", 9, false, false}, Row{379, "SourceObject", 9, false, false},
                         Row{383, "ControlSet", 9, false, false}}) {
        KProperty* p = props.GetProperty(r.mPosition - 1);
        EXPECT_STREQ(r.mName, p->GetPropertyName());
        EXPECT_TRUE(p->GetPropertyType() == r.mType && p->IsReadOnly() == r.mReadOnly &&
                    p->IsAnimatable() == r.mAnimatable)
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
    const char* lists[] = {"SourceObject", "DestinationObject", "Actor", "Character", "ControlSet"};
    const int kinds[] = {8, 8, 0, 0, 0}, directions[] = {1, 2, 1, 1, 1};
    for (int i = 0; i < 5; ++i) {
        KProperty* p = props.GetProperty(378 + i);
        EXPECT_TRUE(std::string(lists[i]) == p->GetPropertyName() && p->GetFilterType() == kinds[i] &&
                    p->GetDirection() == directions[i]);
    }
    for (int id = 0, position = 191; id < kCharacterNodeIdCount; ++id) {
        const bool unnamed = id == 68 || id == 69 || id == 88 || id == 89;
        if (unnamed) continue;
        KProperty* list = props.GetProperty(position++);
        EXPECT_TRUE(list->GetTag() == id && list->GetPropertyInfo().GetFlag(KPropertyInfo::kFlagDynamic)) << id;
    }
}

TEST_F(PropertiesTest, NewSetShowsTheFilterSetDefaults) {
    const std::pair<const char*, double> expected[] = {
        {"Active", 1},   {"Lock", 0},  {"Weight", 100},  {"PullIterationCount", 10}, {"FootBottomToAnkle", 7.5},
        {"ScaleCompensationMode", 1}, {"ScaleCompensation", 0}, {"MassCenterCompensation", 80},
        {"ReachActorLeftAnkleRotation", 100}, {"CtrlEnforceGravity", 60}, {"LeftUpLegRoll", 60},
        {"OrientationDampingMode", 1}, {"FingerSolving", 1}, {"SyncMode", 1}, {"HandFingerContactMode", 1},
        {"LeftHandThumbTip", 0.5}, {"FootContactSize", 100}, {"CtrlSpineStiffness", 0}};
    for (const auto& e : expected) EXPECT_EQ(e.second, P(e.first)->AsDouble()) << e.first;
    const KgeTVector offset = Props().ChestTOffsetGet();
    EXPECT_TRUE(offset.mData[0] == 0 && offset.mData[2] == 0 && offset.mData[3] == 1);
}

// A write of the property runs its setter: the value stored and what reaches the filter set.
struct SetterCase {
    const char* mLabel;
    const char* mProperty;
    double mInput, mStored;
    int mRow;
    bool mMode;  // the row's mode, else its value
    double mSent;
};
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
    KZeqFilterSet& f = Filters();
    f.SetParameterValue(1, 1.9);    // Posture
    f.SetParameterValue(53, kNaN);  // FootFloorPivot
    f.SetParameterValue(64, 1e300); // HandFloorPivot
    f.SetParameterValue(45, 0);     // FootBottomToAnkle, below its clamp
    f.SetParameterMode(44, 1);      // FootFloorContact
    f.SetParameterValue(38, 1), f.SetParameterValue(39, 2), f.SetParameterValue(40, 3);  // HipsTOffset
    f.SetParameterValue(3, 50);     // a value that is never copied
    Props().HipsTOffset.Value().mData[3] = 5;
    Props().FilterSetToProperties();
    KZeqCharacterProperties& p = Props();
    EXPECT_TRUE(p.PostureGet() == 1 && p.FootFloorPivotGet() == 0 && p.HandFloorPivotGet() == INT_MAX);
    EXPECT_TRUE(p.FootBottomToAnkleGet() == 0 && p.FootFloorContactGet() && p.ScaleCompensationGet() == 0);
    const KgeTVector hips = p.HipsTOffsetGet();
    EXPECT_TRUE(hips.mData[0] == 1 && hips.mData[1] == 2 && hips.mData[2] == 3 && hips.mData[3] == 1);
    EXPECT_EQ(5, p.HipsTOffset.Value().mData[3]);
}

TEST_F(PropertiesTest, Texts) {
    KZeqCharacterProperties& p = Props();
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
    EXPECT_FALSE(Props().PlugNotify(nullptr, kPlugSrcConnected, hips, 0, Handler(b), 0, nullptr));
    EXPECT_TRUE(Props().PlugNotify(nullptr, kPlugSrcConnecting, hips, 0, Handler(c), 0, nullptr));
    Owned<KZeqCharacter> other(new KZeqCharacter(mManager, "Constraint::other"));
    EXPECT_TRUE(Props().PlugNotify(nullptr, kPlugSrcConnected, hips, 0, other->GetProperties(), 0, nullptr));
    EXPECT_TRUE(Props().PlugNotify(nullptr, kPlugSrcConnected, &Props().Actor, 0, Handler(c), 0, nullptr));
    EXPECT_TRUE(Props().PlugNotify(nullptr, kPlugSrcConnected, &Props().ControlSet, 0, Handler(c), 0, nullptr));
    EXPECT_TRUE(mCharacter->GetCharacterLink(eCharacterHips, &out) && out.mNode == b);
    EXPECT_TRUE(Props().SourceObjectSet(0, Handler(c)) && Props().SourceObjectGet(0) == Handler(c));
    EXPECT_EQ(0, c->GetCharacterLinkCount());
}

}  // namespace

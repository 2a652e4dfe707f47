#include "scene/kzeqtakenodecontainer.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>

#include "scene/kzeqpropertyhandler.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/tests/scene_test_support.h"

using namespace scenetest;

namespace {

struct Props : KZeqPropertyHandler {
    void DefaultValueChanged(KZeqUserProperty* property) override { mOwner->PropertyDefaultValueChanged(property); }
    KZeqObject* GetKZeqObject() override { return mOwner; }
    KZeqTakeNodeContainer* mOwner = nullptr;
};

// An animated object with built-in properties of one, three and four members.
class Thing : public KZeqTakeNodeContainer {
public:
    explicit Thing(KZeqSdkManager& manager) : KZeqTakeNodeContainer(manager, "Model::Thing", &mError) {
        mProps->mOwner = this;
        const std::pair<const char*, kPropertyType> rows[] = {{"Intensity", kPropertyTypeDouble},
                                                              {"Color", kPropertyTypeColor},
                                                              {"Count", kPropertyTypeInteger},
                                                              {"Quat", kPropertyTypeVector4}};
        for (const auto& row : rows)
            mProps->CreatePropertyFromType(row.first, row.second, nullptr, true, false, nullptr);
        Init();
    }
    ~Thing() override { mProps->Destroy(); }
    ENameSpace GetNameSpace() const override { return eModel; }
    KZeqPropertyHandler* GetPropertyHandler() override { return mProps; }
    void FillPropertyList(void* list) override {
        for (int i = 0; i < mProps->GetPropertyCount(); ++i)
            static_cast<KArrayTemplate<KProperty*>*>(list)->Add(mProps->GetProperty(i));
    }
    void AddChannels(KZeqTakeNode* take) override {
        for (int i = 0; i < mProps->GetPropertyCount(); ++i) CreateChannelsForProperty(mProps->GetProperty(i), take);
    }
    KProperty* Prop(const char* name) { return mProps->FindPropertyByName(name); }
    KFCurve* Curve(int take, const char* path) { return CurveAt(GetTakeNode(take)->GetKFCurveNode(), path); }

    KError mError;
    Props* mProps = new Props;
};

int gEchoes = 0;
void CountEvents(KFCurve*, KFCurveEvent*, void*) { ++gEchoes; }

class KZeqTakeNodeContainerTest : public ::testing::Test {
protected:
    KZeqUserProperty* UserProperty(const char* name, const char* type) {
        KZeqUserProperty* user = mManager.CreateKZeqUserProperty(name, type, "");
        user->ModifyFlag(KZeqUserProperty::eANIMATABLE, true);
        mThing.mProps->CreateKProperty(user);
        mThing.AddProperty(user);
        return user;
    }
    KZeqSdkManager mManager;
    Thing mThing{mManager};
};

}  // namespace

TEST_F(KZeqTakeNodeContainerTest, TakesAreCopiedSwitchedAndRemovedKeepingTheCurrentOne) {
    EXPECT_STREQ("Default", mThing.GetCurrentTakeNodeName());
    EXPECT_EQ(nullptr, mThing.CreateTakeNode("Default"));
    EXPECT_STREQ("Take node already exists", mThing.mError.GetLastErrorString());
    mThing.Curve(0, "Intensity")->SetValue(0.25f);
    Key(mThing.Curve(0, "Count"), 1.0, 4.0f);
    for (const char* name : {"default", "T2", "T3", "T4"}) ASSERT_NE(nullptr, mThing.CreateTakeNode(name));
    EXPECT_EQ(0.25f, mThing.Curve(2, "Intensity")->GetValue());  // copies of the default take
    EXPECT_EQ(1, mThing.Curve(2, "Count")->KeyGetCount());
    EXPECT_EQ(0, mThing.GetCurrentTakeNodeIndex());
    // Remove (r) or make current (c) a take by name or #index: result, current take, message.
    const struct {
        const char* mStep;
        bool mResult;
        const char* mCurrent;
        const char* mMessage;
    } steps[] = {{"r#0", false, "Default", "Cannot remove default take node"},
                 {"rDefault", false, "Default", "Cannot remove default take node"},
                 {"rT9", false, "Default", "Unknown take node name"},
                 {"r#9", false, "Default", "Index out of range"},
                 {"cT3", true, "T3", ""},
                 {"rdefault", true, "T3", ""},  // below the current take
                 {"rT3", true, "T2", ""},
                 {"ct4", false, "Default", "Unknown take node name"},
                 {"c#2", true, "T4", ""},
                 {"c#3", false, "Default", "Index out of range"}};
    for (const auto& step : steps) {
        mThing.mError.ClearLastError();
        const char* name = step.mStep + 1;
        const int index = *name == '#' ? std::atoi(name + 1) : -1;
        const bool result = step.mStep[0] == 'r'
                                ? (index < 0 ? mThing.RemoveTakeNode(name) : mThing.RemoveTakeNode(index))
                                : (index < 0 ? mThing.SetCurrentTakeNode(name) : mThing.SetCurrentTakeNode(index));
        EXPECT_EQ(step.mResult, result) << step.mStep;
        EXPECT_STREQ(step.mCurrent, mThing.GetCurrentTakeNodeName()) << step.mStep;
        EXPECT_STREQ(step.mMessage, mThing.mError.GetLastErrorString()) << step.mStep;
    }
    EXPECT_EQ(nullptr, mThing.GetTakeNode(3));
    EXPECT_STREQ("Take node does not exist", mThing.mError.GetLastErrorString());
}

TEST_F(KZeqTakeNodeContainerTest, IntervalAndAnimationComeFromTheOtherTakes) {
    Key(mThing.Curve(0, "Intensity"), 70.0, 1.0f);
    EXPECT_FALSE(mThing.IsChannelAnimated(nullptr, nullptr, "Intensity"));  // the default take is never asked
    mThing.CreateTakeNode("T1");
    mThing.CreateTakeNode("T2");
    KFCurve* curve = mThing.Curve(2, "Intensity");
    curve->KeyClear();
    Key(curve, 10.0, 1.0f);
    Key(curve, 50.0, 2.0f);
    ASSERT_TRUE(mThing.SetCurrentTakeNode("T2"));
    KTime start = Sec(100.0), stop = Sec(0.0);
    ASSERT_TRUE(mThing.GetAnimationInterval(start, stop));
    EXPECT_TRUE(start == Sec(10.0) && stop == Sec(50.0));
    mThing.Curve(1, "Intensity")->KeyClear();
    EXPECT_TRUE(mThing.IsChannelAnimated(nullptr, nullptr, "Intensity"));
    curve->KeyClear();
    EXPECT_FALSE(mThing.IsChannelAnimated(nullptr, nullptr, "Intensity") || mThing.GetAnimationInterval(start, stop));
}

TEST_F(KZeqTakeNodeContainerTest, ChannelsByMemberCountRegisteredInTheDefaultTakeOnly) {
    EXPECT_TRUE(mThing.Curve(0, "Quat/toto") && mThing.Curve(0, "Color/Z") && !mThing.Curve(0, "Color/toto"));
    EXPECT_EQ(1 + 3 + 1 + 4, mThing.GetDefaultTakeCallbackCount());
    KZeqTakeNode upper("DEFAULT"), other("Take 001");
    for (KZeqTakeNode* take : {&upper, &other, &upper})
        mThing.CreateChannelsForProperty(mThing.Prop("Intensity"), take);
    EXPECT_EQ(10, mThing.GetDefaultTakeCallbackCount());
    CurveAt(upper.GetKFCurveNode(), "Intensity")->SetValue(9.0f);
    EXPECT_EQ(9.0, mThing.Prop("Intensity")->AsDouble());
    CurveAt(other.GetKFCurveNode(), "Intensity")->SetValue(8.0f);
    EXPECT_EQ(9.0, mThing.Prop("Intensity")->AsDouble());
}

TEST_F(KZeqTakeNodeContainerTest, CurveDefaultsReachPropertiesSaturated) {
    const struct {
        const char* mProperty;
        const char* mPath;
        int mMember;
        float mValue;
        double mExpected;
    } rows[] = {{"Count", "Count", 0, 2.7f, 2.0},         {"Count", "Count", 0, -2.7f, -2.0},
                {"Count", "Count", 0, 1e20f, INT_MAX},    {"Count", "Count", 0, NAN, 0.0},
                {"Intensity", "Intensity", 0, 0.5f, 0.5}, {"Color", "Color/Y", 1, 0.25f, 0.25}};
    for (const auto& row : rows) {
        mThing.Curve(0, row.mPath)->SetValue(row.mValue);
        double values[3] = {-1.0, -1.0, -1.0};
        mThing.Prop(row.mProperty)->GetDataAsDoubles(values, 3);
        EXPECT_EQ(row.mExpected, values[row.mMember]) << row.mPath << " " << row.mValue;
    }
}

TEST_F(KZeqTakeNodeContainerTest, UserPropertyLivesInEveryTakeWithoutEcho) {
    mThing.CreateTakeNode("T1");
    KZeqUserProperty* user = UserProperty("Speed", "Integer");
    EXPECT_TRUE(user->GetKProperty()->IsAnimated() && mThing.Curve(1, "Speed"));
    EXPECT_EQ(10, mThing.GetDefaultTakeCallbackCount());
    KFCurve* speed = mThing.Curve(0, "Speed");
    gEchoes = 0;
    speed->CallbackRegister(CountEvents, nullptr);
    ASSERT_TRUE(mThing.SetCurrentTakeNode("T1"));
    user->SetDefaultValue(5);
    EXPECT_EQ(0, gEchoes);
    EXPECT_TRUE(speed->GetValue() == 5.0f && mThing.Curve(1, "Speed")->GetValue() == 5.0f);
    speed->CallbackUnregister(CountEvents, nullptr);
    speed->SetValue(2.7f);
    int value = 0;
    user->GetDefaultValue(value);
    EXPECT_EQ(2, value);

    KZeqUserProperty* offset = UserProperty("Offset", "Vector");
    offset->SetDefaultValue(1.0, 2.0, 3.0);
    EXPECT_EQ(3.0f, mThing.Curve(1, "Offset/Z")->GetValue());
    mThing.Curve(0, "Offset/Y")->SetValue(-1.0f);
    double x, y, z;
    offset->GetDefaultValue(x, y, z);
    EXPECT_EQ(-1.0, y);
    mThing.AddProperty(mManager.CreateKZeqUserProperty("Still", "Real", ""));  // not animatable
    EXPECT_EQ(nullptr, mThing.Curve(0, "Still"));
    // Removal ends the nodes in every take with their records.
    mThing.RemoveProperty(user);
    EXPECT_TRUE(!mThing.Curve(0, "Speed") && !mThing.Curve(1, "Speed"));
    EXPECT_EQ(9 + 3, mThing.GetDefaultTakeCallbackCount());
}

TEST_F(KZeqTakeNodeContainerTest, StoredValuesCopyAndReset) {
    mThing.Prop("Intensity")->SetDouble(4.0);  // not through a curve
    EXPECT_EQ(0.0f, mThing.Curve(0, "Intensity")->GetValue());
    mThing.UpdateDefaultTakeFromProperties();
    EXPECT_EQ(4.0f, mThing.Curve(0, "Intensity")->GetValue());
    mThing.CreateTakeNode("T1");
    mThing.SetCurrentTakeNode(1);
    Thing copy(mManager);
    static_cast<KZeqTakeNodeContainer&>(copy) = mThing;
    EXPECT_TRUE(copy.GetTakeNodeCount() == 2 && copy.GetCurrentTakeNodeIndex() == 1);
    EXPECT_EQ(4.0f, copy.Curve(1, "Intensity")->GetValue());
    EXPECT_EQ(0, copy.GetDefaultTakeCallbackCount());  // its former curves ended with their records
    mThing.Reset();
    EXPECT_EQ(1, mThing.GetTakeNodeCount());
    EXPECT_EQ(9, mThing.GetDefaultTakeCallbackCount());
    mThing.Curve(0, "Intensity")->SetValue(6.0f);
    EXPECT_EQ(6.0, mThing.Prop("Intensity")->AsDouble());
}

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

class Props : public KZeqPropertyHandler {
public:
    void DefaultValueChanged(KZeqUserProperty* property) override { mOwner->PropertyDefaultValueChanged(property); }
    KZeqObject* GetKZeqObject() override { return mOwner; }
    KZeqTakeNodeContainer* mOwner = nullptr;
};

// An animated object with four built-in properties of one, three and four members.
class Thing : public KZeqTakeNodeContainer {
public:
    explicit Thing(KZeqSdkManager& manager)
        : KZeqTakeNodeContainer(manager, "Model::Thing", &mError), mProps(new Props) {
        mProps->mOwner = this;
        mProps->CreatePropertyFromType("Intensity", kPropertyTypeDouble, nullptr, true, false, nullptr);
        mProps->CreatePropertyFromType("Color", kPropertyTypeColor, nullptr, true, false, nullptr);
        mProps->CreatePropertyFromType("Count", kPropertyTypeInteger, nullptr, true, false, nullptr);
        mProps->CreatePropertyFromType("Quat", kPropertyTypeVector4, nullptr, true, false, nullptr);
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
    Props* mProps;
};

int gEchoes = 0;
void CountEvents(KFCurve*, KFCurveEvent*, void*) { ++gEchoes; }

class KZeqTakeNodeContainerTest : public ::testing::Test {
protected:
    KZeqSdkManager mManager;
    Thing mThing{mManager};
    std::string Message() { return mThing.mError.GetLastErrorString(); }
};

}  // namespace

TEST_F(KZeqTakeNodeContainerTest, TakesAreCreatedCopiedSwitchedAndRemoved) {
    ASSERT_EQ(1, mThing.GetTakeNodeCount());
    EXPECT_STREQ("Default", mThing.GetCurrentTakeNodeName());
    EXPECT_EQ(nullptr, mThing.CreateTakeNode("Default"));
    EXPECT_EQ("Take node already exists", Message());
    mThing.Curve(0, "Intensity")->SetValue(0.25f);
    Key(mThing.Curve(0, "Count"), 1.0, 4.0f);
    for (const char* name : {"default", "T2", "T3", "T4"}) ASSERT_NE(nullptr, mThing.CreateTakeNode(name));
    EXPECT_EQ(0.25f, mThing.Curve(2, "Intensity")->GetValue());  // copies of the default take
    EXPECT_EQ(1, mThing.Curve(2, "Count")->KeyGetCount());
    EXPECT_NE(mThing.Curve(0, "Count"), mThing.Curve(2, "Count"));
    EXPECT_EQ(0, mThing.GetCurrentTakeNodeIndex());

    // Each step: remove (r) or make current (c) by index or name; result, current take, message.
    const struct {
        char mOp;
        const char* mName;
        int mIndex;
        bool mResult;
        const char* mCurrent;
        const char* mMessage;
    } steps[] = {{'r', nullptr, 0, false, "Default", "Cannot remove default take node"},
                 {'r', "Default", 0, false, "Default", "Cannot remove default take node"},
                 {'r', "T9", 0, false, "Default", "Unknown take node name"},
                 {'r', nullptr, 9, false, "Default", "Index out of range"},
                 {'c', "T3", 0, true, "T3", ""},
                 {'r', "default", 0, true, "T3", ""},  // below the current take
                 {'r', "T3", 0, true, "T2", ""},
                 {'c', "t4", 0, false, "Default", "Unknown take node name"},
                 {'c', nullptr, 2, true, "T4", ""},
                 {'c', nullptr, 3, false, "Default", "Index out of range"}};
    for (const auto& step : steps) {
        mThing.mError.ClearLastError();
        const bool result =
            step.mOp == 'r'
                ? (step.mName ? mThing.RemoveTakeNode(step.mName) : mThing.RemoveTakeNode(step.mIndex))
                : (step.mName ? mThing.SetCurrentTakeNode(step.mName) : mThing.SetCurrentTakeNode(step.mIndex));
        const std::string label = std::string(1, step.mOp) + (step.mName ? step.mName : std::to_string(step.mIndex));
        EXPECT_EQ(step.mResult, result) << label;
        EXPECT_STREQ(step.mCurrent, mThing.GetCurrentTakeNodeName()) << label;
        EXPECT_EQ(step.mMessage, Message()) << label;
    }
    EXPECT_EQ(nullptr, mThing.GetTakeNode(3));
    EXPECT_EQ("Take node does not exist", Message());
}

TEST_F(KZeqTakeNodeContainerTest, IntervalAndAnimationComeFromTheOtherTakes) {
    Key(mThing.Curve(0, "Intensity"), 70.0, 1.0f);
    EXPECT_FALSE(mThing.IsChannelAnimated(nullptr, nullptr, "Intensity"));
    mThing.CreateTakeNode("T1");
    mThing.CreateTakeNode("T2");
    KFCurve* curve = mThing.Curve(2, "Intensity");
    curve->KeyClear();
    Key(curve, 10.0, 1.0f);
    Key(curve, 50.0, 2.0f);
    ASSERT_TRUE(mThing.SetCurrentTakeNode("T2"));
    KTime start = Sec(100.0), stop = Sec(0.0);
    ASSERT_TRUE(mThing.GetAnimationInterval(start, stop));
    EXPECT_EQ(Sec(10.0), start);
    EXPECT_EQ(Sec(50.0), stop);
    mThing.Curve(1, "Intensity")->KeyClear();
    EXPECT_TRUE(mThing.IsChannelAnimated(nullptr, nullptr, "Intensity"));
    curve->KeyClear();
    EXPECT_FALSE(mThing.IsChannelAnimated(nullptr, nullptr, "Intensity"));  // the default take is never asked
    EXPECT_FALSE(mThing.GetAnimationInterval(start, stop));
}

TEST_F(KZeqTakeNodeContainerTest, PropertyChannelsByMemberCountRegisteredInTheDefaultTake) {
    EXPECT_TRUE(mThing.Curve(0, "Quat/toto") && mThing.Curve(0, "Color/Z") && !mThing.Curve(0, "Color/toto"));
    EXPECT_EQ(1 + 3 + 1 + 4, mThing.GetDefaultTakeCallbackCount());
    // Registered only in a take named Default in any letter case; nothing twice.
    KZeqTakeNode upper("DEFAULT"), other("Take 001");
    for (KZeqTakeNode* take : {&upper, &other, &upper})
        mThing.CreateChannelsForProperty(mThing.Prop("Intensity"), take);
    EXPECT_EQ(10, mThing.GetDefaultTakeCallbackCount());
    CurveAt(upper.GetKFCurveNode(), "Intensity")->SetValue(9.0f);
    EXPECT_EQ(9.0, mThing.Prop("Intensity")->AsDouble());
}

TEST_F(KZeqTakeNodeContainerTest, CurveDefaultsReachPropertiesSaturated) {
    const struct {
        const char* mPath;
        float mValue;
        double mExpected;
    } rows[] = {{"Count", 2.7f, 2.0}, {"Count", -2.7f, -2.0},   {"Count", 1e20f, INT_MAX},
                {"Count", NAN, 0.0},  {"Intensity", 0.5f, 0.5}, {"Color/Y", 0.25f, 0.0}};
    for (const auto& row : rows) {
        mThing.Curve(0, row.mPath)->SetValue(row.mValue);
        double value = -1.0;
        mThing.Prop(KString(row.mPath).GetToken(0, "/"))->GetDataAsDoubles(&value, 1);
        EXPECT_EQ(row.mExpected, value) << row.mPath << " " << row.mValue;
    }
    double color[3];
    mThing.Prop("Color")->GetDataAsDoubles(color, 3);
    EXPECT_EQ(0.25, color[1]);
    // Other takes are not tied to the properties.
    mThing.CreateTakeNode("T1");
    mThing.Curve(1, "Intensity")->SetValue(8.0f);
    EXPECT_EQ(0.5, mThing.Prop("Intensity")->AsDouble());
}

TEST_F(KZeqTakeNodeContainerTest, UserPropertyLivesInEveryTakeWithoutEcho) {
    mThing.CreateTakeNode("T1");
    KZeqUserProperty* user = mManager.CreateKZeqUserProperty("Speed", "Integer", "");
    user->ModifyFlag(KZeqUserProperty::eANIMATABLE, true);
    ASSERT_TRUE(mThing.mProps->CreateKProperty(user));
    mThing.AddProperty(user);
    EXPECT_TRUE(user->GetKProperty()->IsAnimated());
    KFCurve* speed = mThing.Curve(0, "Speed");
    ASSERT_TRUE(speed && mThing.Curve(1, "Speed"));
    EXPECT_EQ(10, mThing.GetDefaultTakeCallbackCount());

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

    // A vector property gets X, Y, Z; a non-animatable one nothing.
    KZeqUserProperty* offset = mManager.CreateKZeqUserProperty("Offset", "Vector", "");
    offset->ModifyFlag(KZeqUserProperty::eANIMATABLE, true);
    mThing.mProps->CreateKProperty(offset);
    mThing.AddProperty(offset);
    offset->SetDefaultValue(1.0, 2.0, 3.0);
    EXPECT_EQ(3.0f, mThing.Curve(0, "Offset/Z")->GetValue());
    mThing.Curve(0, "Offset/Y")->SetValue(-1.0f);
    double x, y, z;
    offset->GetDefaultValue(x, y, z);
    EXPECT_EQ(-1.0, y);
    KZeqUserProperty* still = mManager.CreateKZeqUserProperty("Still", "Real", "");
    mThing.AddProperty(still);
    EXPECT_EQ(nullptr, mThing.GetTakeNode(0)->GetKFCurveNode()->FindRecursive("Still"));

    // Removal ends the nodes in every take and their records.
    mThing.RemoveProperty(user);
    EXPECT_TRUE(!mThing.GetTakeNode(0)->GetKFCurveNode()->FindRecursive("Speed") &&
                !mThing.GetTakeNode(1)->GetKFCurveNode()->FindRecursive("Speed"));
    EXPECT_EQ(9 + 3, mThing.GetDefaultTakeCallbackCount());
}

TEST_F(KZeqTakeNodeContainerTest, ResetCopyAndStoredValues) {
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
    EXPECT_EQ(0, copy.GetDefaultTakeCallbackCount());  // its own curves ended with their records

    // Reset: the records of the ended default take go with it, new ones come.
    mThing.Reset();
    EXPECT_EQ(1, mThing.GetTakeNodeCount());
    EXPECT_EQ(9, mThing.GetDefaultTakeCallbackCount());
    mThing.Curve(0, "Intensity")->SetValue(6.0f);
    EXPECT_EQ(6.0, mThing.Prop("Intensity")->AsDouble());
}

#include "scene/kzequserproperty.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "object/kproperty.h"
#include "scene/kzeqpropertyhandler.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

class TestHandler : public KZeqPropertyHandler {
public:
    void DefaultValueChanged(KZeqUserProperty*) override { ++mChanges; }
    KZeqObject* GetKZeqObject() override { return nullptr; }
    int mChanges = 0;
};

class KZeqUserPropertyTest : public ::testing::Test {
protected:
    KZeqSdkManager mManager;
    TestHandler mHandler;
};

typedef KZeqUserProperty::EUserPropertyType Type;

}  // namespace

TEST(KZeqUserPropertyTypes, NamesAreExactAndOutOfRangeIsNull) {
    const char* names[] = {"Unidentified", "Bool", "Real", "Color", "Integer", "Vector"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_STREQ(names[i], KZeqUserProperty::GetPropertyTypeName(static_cast<Type>(i)));
        EXPECT_EQ(i, GetPropertyTypeFromName(names[i]));
    }
    for (int bad : {-1, -100, 6}) EXPECT_EQ(nullptr, KZeqUserProperty::GetPropertyTypeName(static_cast<Type>(bad)));
    for (const char* other : {"real", "Number", static_cast<const char*>(nullptr)})
        EXPECT_EQ(KZeqUserProperty::eUNIDENTIFIED, GetPropertyTypeFromName(other));
}

TEST_F(KZeqUserPropertyTest, RecordThenBoundThenRecordAgain) {
    KZeqUserProperty* p = mManager.CreateKZeqUserProperty("Speed", "Real", "");
    p->ModifyFlag(KZeqUserProperty::eUSER, true);
    EXPECT_TRUE(p->GetLabel(true) == "Speed" && p->GetLabel(false).IsEmpty());
    EXPECT_TRUE(p->GetFlag(static_cast<KZeqUserProperty::EFlags>(3)));  // any bit in common
    double value = 7.0;
    p->SetDefaultValue(2.0);  // no defaults while stand-alone
    p->GetDefaultValue(value);
    EXPECT_EQ(7.0, value);
    p->ModifyFlag(static_cast<KZeqUserProperty::EFlags>(1 | 4), true);
    p->ModifyFlag(KZeqUserProperty::eUSER, false);
    p->SetLimits(-1.0, 1.0);
    ASSERT_TRUE(mHandler.CreateKProperty(p));
    EXPECT_FALSE(mHandler.CreateKProperty(p));
    KProperty* property = mHandler.FindPropertyByName("Speed");
    ASSERT_TRUE(property && *p == property);
    EXPECT_EQ(KPropertyInfo::kFlagDynamic | KPropertyInfo::kFlagAnimatable | KPropertyInfo::kFlagTemporary,
              property->GetPropertyInfo().mFlags);
    EXPECT_TRUE(property->IsAnimated() && std::string("Speed") == property->GetPropertyLabel());
    EXPECT_EQ(-HUGE_VAL, p->GetMinLimit());  // limits are not carried over
    EXPECT_FALSE(p->GetFlag(static_cast<KZeqUserProperty::EFlags>(3)));  // never a combination when bound
    EXPECT_TRUE(p->GetFlag(KZeqUserProperty::eTEMPORARY));
    p->SetMinLimit(-2.0);  // record and property
    EXPECT_EQ(-2.0, property->GetPropertyMin());
    EXPECT_TRUE(mHandler.DestroyKProperty(p) && !mHandler.DestroyKProperty(p));
    EXPECT_TRUE(!mHandler.FindPropertyByName("Speed") && p->GetMinLimit() == -2.0);  // the record answers again
    EXPECT_FALSE(mHandler.CreateKProperty(mManager.CreateKZeqUserProperty("U", "Nothing", "")));  // no value to hold
}

TEST_F(KZeqUserPropertyTest, ThreeValueDefaultsClampColoursAndTellTheHandler) {
    struct Case {
        kPropertyType mType;
        double mOut[3];
        int mTold;
    };
    const Case cases[] = {{kPropertyTypeColor, {1.0, 0.5, 0.0}, 1},
                          {kPropertyTypeColorRGBA, {1.0, 0.5, 0.0}, 1},
                          {kPropertyTypeVector, {2.0, 0.5, -1.0}, 1},
                          {kPropertyTypeInteger, {9.0, 9.0, 9.0}, 0}};
    for (const Case& c : cases) {
        KProperty* property = mHandler.CreatePropertyFromType("C", c.mType, nullptr, false, false, nullptr);
        KZeqUserProperty* p = mManager.CreateKZeqUserProperty(property);
        p->SetPropertyHandler(&mHandler);
        const int before = mHandler.mChanges;
        p->SetDefaultValue(2.0, 0.5, -1.0);
        double out[4] = {9.0, 9.0, 9.0, 9.0};
        p->GetDefaultValue(out[0], out[1], out[2]);
        EXPECT_EQ(std::vector<double>(c.mOut, c.mOut + 3), std::vector<double>(out, out + 3)) << c.mType;
        EXPECT_EQ(before + c.mTold, mHandler.mChanges);
        if (c.mType != kPropertyTypeColorRGBA) continue;
        property->GetData(out);
        EXPECT_EQ(1.0, out[3]);  // alpha 1
    }
}

TEST_F(KZeqUserPropertyTest, WrappedPropertyGoneAnswersAsUnbound) {
    auto* handler = new TestHandler;
    KZeqUserProperty* stand = mManager.CreateKZeqUserProperty("S", "Bool", "Label");
    ASSERT_TRUE(handler->CreateKProperty(stand));
    KZeqUserProperty* wrapped = mManager.CreateKZeqUserProperty(
        handler->CreatePropertyFromType("W", kPropertyTypeInteger, nullptr, false, false, nullptr));
    EXPECT_EQ(wrapped, mManager.FindKZeqUserProperty("W"));
    handler->Destroy();  // ends its properties with it
    EXPECT_TRUE(!stand->GetPropertyHandler() && wrapped->GetName().IsEmpty() && stand->GetLabel() == "Label");
    EXPECT_EQ(stand, mManager.FindKZeqUserProperty("S"));
    stand->SetDefaultValue(3);  // nothing to write to, nothing to tell
}

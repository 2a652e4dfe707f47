#include "scene/kzequserproperty.h"

#include <gtest/gtest.h>

#include <cmath>

#include "object/kproperty.h"
#include "scene/tests/scene_test_support.h"

using namespace zeqsdk_400;
using namespace zeqsdk_400::scenetest;

namespace {

class KZeqUserPropertyTest : public ::testing::Test {
protected:
    // A stand-alone property bound through the handler.
    KZeqUserProperty* Bound(const char* name, const char* type, int flags = 0) {
        KZeqUserProperty* p = mManager.CreateKZeqUserProperty(name, type, "");
        p->ModifyFlag(static_cast<KZeqUserProperty::EFlags>(flags), true);
        EXPECT_TRUE(mHandler.CreateKProperty(p));
        return p;
    }
    KZeqSdkManager mManager;
    TestHandler mHandler;
};

}  // namespace

TEST(KZeqUserPropertyTypes, NamesAreExactAndOutOfRangeIsNull) {
    const char* names[] = {"Unidentified", "Bool", "Real", "Color", "Integer", "Vector"};
    for (int i = 0; i < 6; ++i) {
        EXPECT_STREQ(names[i], KZeqUserProperty::GetPropertyTypeName(static_cast<KZeqUserProperty::EUserPropertyType>(i)));
        EXPECT_EQ(i, GetPropertyTypeFromName(names[i]));
    }
    for (int bad : {-1, -100, 6})
        EXPECT_EQ(nullptr, KZeqUserProperty::GetPropertyTypeName(static_cast<KZeqUserProperty::EUserPropertyType>(bad)));
    for (const char* other : {"real", "Number", "", static_cast<const char*>(nullptr)})
        EXPECT_EQ(KZeqUserProperty::eUNIDENTIFIED, GetPropertyTypeFromName(other));
}

TEST_F(KZeqUserPropertyTest, StandAloneRecordAnswers) {
    KZeqUserProperty* p = mManager.CreateKZeqUserProperty("Weight", "Real", "");
    EXPECT_EQ(KZeqUserProperty::eREAL, p->GetPropertyType());
    EXPECT_EQ(-HUGE_VAL, p->GetMinLimit());
    EXPECT_EQ(HUGE_VAL, p->GetMaxLimit());
    EXPECT_STREQ("Weight", p->GetLabel(true));
    EXPECT_STREQ("", p->GetLabel(false));
    p->ModifyFlag(KZeqUserProperty::eUSER, true);
    EXPECT_TRUE(p->GetFlag(static_cast<KZeqUserProperty::EFlags>(3)));  // any bit in common
    double value = 7.0;
    p->SetDefaultValue(2.0);  // no defaults while stand-alone
    p->GetDefaultValue(value);
    EXPECT_EQ(7.0, value);
}

TEST_F(KZeqUserPropertyTest, BindingCarriesFlagsAndLabelButNotLimits) {
    KZeqUserProperty* p = mManager.CreateKZeqUserProperty("Speed", "Real", "");
    p->ModifyFlag(static_cast<KZeqUserProperty::EFlags>(1 | 4), true);
    p->SetLimits(-1.0, 1.0);
    ASSERT_TRUE(mHandler.CreateKProperty(p));
    EXPECT_FALSE(mHandler.CreateKProperty(p));  // already bound
    KProperty* property = p->GetKProperty();
    EXPECT_EQ(property, mHandler.FindPropertyByName("Speed"));
    EXPECT_EQ(KPropertyInfo::kFlagDynamic | KPropertyInfo::kFlagAnimatable | KPropertyInfo::kFlagTemporary,
              property->GetPropertyInfo().mFlags);
    EXPECT_TRUE(property->IsAnimated());
    EXPECT_STREQ("Speed", property->GetPropertyLabel());
    EXPECT_EQ(-HUGE_VAL, p->GetMinLimit());
    EXPECT_TRUE(p->GetFlag(KZeqUserProperty::eANIMATABLE));
    EXPECT_FALSE(p->GetFlag(static_cast<KZeqUserProperty::EFlags>(3)));  // never a combination when bound
    EXPECT_FALSE(p->GetFlag(KZeqUserProperty::eUSER));
    p->SetMinLimit(-2.0);  // record and property
    EXPECT_EQ(-2.0, property->GetPropertyMin());
    EXPECT_TRUE(*p == property);
    // Unbound again: the record answers.
    EXPECT_TRUE(mHandler.DestroyKProperty(p));
    EXPECT_FALSE(mHandler.DestroyKProperty(p));
    EXPECT_EQ(nullptr, mHandler.FindPropertyByName("Speed"));
    EXPECT_EQ(-2.0, p->GetMinLimit());
    EXPECT_STREQ("Speed", p->GetName());
    // An unidentified type has no value to hold.
    EXPECT_FALSE(mHandler.CreateKProperty(mManager.CreateKZeqUserProperty("U", "Nothing", "")));
}

TEST_F(KZeqUserPropertyTest, HandlerCreationMarksAnimatableAfterwards) {
    KProperty* p = mHandler.CreatePropertyFromType("P", kPropertyTypeDouble, nullptr, true, true, nullptr);
    EXPECT_EQ(KPropertyInfo::kFlagDynamic | KPropertyInfo::kFlagAnimatable | KPropertyInfo::kFlagUser,
              p->GetPropertyInfo().mFlags);
    EXPECT_TRUE(mHandler.Is(KZeqPropertyHandler::ClassId) && mHandler.Is(KObject::ClassId));
    EXPECT_STREQ("KZeqPropertyHandler", mHandler.GetClassIdName());
}

TEST_F(KZeqUserPropertyTest, ColourAndVectorDefaultsClampAndTellTheHandler) {
    struct Case {
        const char* mType;
        double mIn[3];
        double mOut[3];
    };
    const Case cases[] = {{"Color", {1.0, 0.5, 0.25}, {1.0, 0.5, 0.25}},
                          {"Color", {2.0, 0.5, -1.0}, {1.0, 0.5, 0.0}},
                          {"Vector", {2.0, 0.5, -1.0}, {2.0, 0.5, -1.0}}};
    for (const Case& c : cases) {
        KZeqUserProperty* p = Bound("C", c.mType);
        const int before = mHandler.mChanges;
        p->SetDefaultValue(c.mIn[0], c.mIn[1], c.mIn[2]);
        double out[3] = {9, 9, 9};
        p->GetDefaultValue(out[0], out[1], out[2]);
        EXPECT_EQ((std::vector<double>(c.mOut, c.mOut + 3)), (std::vector<double>(out, out + 3))) << c.mType;
        EXPECT_EQ(before + 1, mHandler.mChanges);
    }
    // A four-component colour property gets alpha 1.
    KZeqUserProperty* rgba = mManager.CreateKZeqUserProperty(
        mHandler.CreatePropertyFromType("RGBA", kPropertyTypeColorRGBA, nullptr, false, false, nullptr));
    rgba->SetDefaultValue(2.0, 0.5, -1.0);
    double data[4] = {};
    rgba->GetKProperty()->GetData(data);
    EXPECT_EQ((std::vector<double>{1.0, 0.5, 0.0, 1.0}), (std::vector<double>(data, data + 4)));
    EXPECT_EQ(KZeqUserProperty::eCOLOR, rgba->GetPropertyType());
    // Wrong kinds do nothing and tell no one.
    KZeqUserProperty* integer = Bound("I", "Integer");
    const int before = mHandler.mChanges;
    integer->SetDefaultValue(1.0, 2.0, 3.0);
    KZeqColor colour;
    integer->SetDefaultValue(colour);
    EXPECT_EQ(before, mHandler.mChanges);
    integer->SetDefaultValue(true);
    int value = 0;
    integer->GetDefaultValue(value);
    EXPECT_EQ(1, value);
    EXPECT_EQ(before + 1, mHandler.mChanges);
}

TEST_F(KZeqUserPropertyTest, WrappedPropertyGoneAnswersAsUnbound) {
    auto* handler = new TestHandler;
    KZeqUserProperty* stand = mManager.CreateKZeqUserProperty("S", "Bool", "Label");
    ASSERT_TRUE(handler->CreateKProperty(stand));
    KZeqUserProperty* wrapped = mManager.CreateKZeqUserProperty(
        handler->CreatePropertyFromType("W", kPropertyTypeInteger, nullptr, false, false, nullptr));
    EXPECT_EQ(nullptr, mManager.FindKZeqUserProperty("W2"));
    EXPECT_EQ(wrapped, mManager.FindKZeqUserProperty("W"));
    handler->Destroy();  // ends its properties with it
    EXPECT_EQ(nullptr, wrapped->GetKProperty());
    EXPECT_EQ(nullptr, stand->GetPropertyHandler());
    EXPECT_STREQ("", wrapped->GetName());
    EXPECT_STREQ("Label", stand->GetLabel());
    EXPECT_EQ(stand, mManager.FindKZeqUserProperty("S"));
    stand->SetDefaultValue(3);  // nothing to write to, nothing to tell
}

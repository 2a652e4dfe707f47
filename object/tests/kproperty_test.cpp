#include "object/kproperty.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "object/kpropertyobjectlist.h"
#include "object/kpropertytemplate.h"
#include "object/tests/object_test_support.h"

using namespace zeqsdk_400;
using namespace zeqsdk_400::objecttest;

namespace {

enum ETestMode { eModeA = 0, eModeB = 1, eModeC = 2 };

template <class T>
KProperty* Make() {
    return new KPropertyTemplate<T>;
}

struct ValueTypeCase {
    const char* mName;
    KProperty* (*mMake)();
    kPropertyType mType;
    std::vector<double> mSample;
};

const ValueTypeCase kValueTypes[] = {
    {"Bool", &Make<bool>, kPropertyTypeBool, {1.0}},       {"Integer", &Make<int>, kPropertyTypeInteger, {-42.0}},
    {"Float", &Make<float>, kPropertyTypeFloat, {2.5}},    {"Double", &Make<double>, kPropertyTypeDouble, {0.125}},
    {"Enum", &Make<ETestMode>, kPropertyTypeEnum, {2.0}},
    {"Vector", &Make<KgeTVector>, kPropertyTypeVector, {1.0, 2.0, 3.0}},
    {"Color", &Make<KgeRGBVector>, kPropertyTypeColor, {0.25, 0.5, 0.75}},
    {"Vector4", &Make<KZeqVector4>, kPropertyTypeVector4, {1.0, -2.0, 3.0, -4.0}},
    {"ColorRGBA", &Make<KZeqColor>, kPropertyTypeColorRGBA, {0.1, 0.2, 0.3, 0.4}},
};

class PropertyValueTypes : public ::testing::TestWithParam<ValueTypeCase> {};

}  // namespace

TEST_P(PropertyValueTypes, ZeroDataExchangeAndDoubleAccess) {
    const ValueTypeCase& c = GetParam();
    std::unique_ptr<KProperty> property(c.mMake());
    ASSERT_EQ(c.mType, property->GetValueType());
    std::unique_ptr<KProperty> created(KProperty::CreateOfType(c.mType));
    EXPECT_TRUE(created && created->GetValueType() == c.mType);
    ASSERT_EQ(static_cast<std::size_t>(KPropertyTypeGetInfo(c.mType).mMemberCount), c.mSample.size());
    EXPECT_EQ(std::vector<double>(c.mSample.size(), 0.0), ValueOf(*property));

    NativeValue in = Pack(c.mType, c.mSample);
    ASSERT_TRUE(property->SetData(in.mBytes));
    EXPECT_EQ(c.mSample, ValueOf(*property));
    EXPECT_FALSE(property->SetData(nullptr) || property->GetData(nullptr));

    // The scalar accessors reach the first member and keep the others.
    EXPECT_DOUBLE_EQ(c.mSample[0], property->AsDouble());
    property->SetDouble(0.0);
    EXPECT_EQ(0.0, property->AsDouble());
    property->SetInteger(1);
    EXPECT_EQ(1, property->AsInteger());
    std::vector<double> expected = c.mSample;
    expected[0] = 1.0;
    EXPECT_EQ(expected, ValueOf(*property));
}

INSTANTIATE_TEST_SUITE_P(AllValueTypes, PropertyValueTypes, ::testing::ValuesIn(kValueTypes),
                         [](const ::testing::TestParamInfo<ValueTypeCase>& info) { return info.param.mName; });

TEST(KProperty, TypeCodeRowsAndCreateOfTypeOnlyForCodesWithAValue) {
    for (int code = 0; code <= 17; ++code) {
        EXPECT_EQ(code, KPropertyTypeGetInfo(code).mType);
        std::unique_ptr<KProperty> property(KProperty::CreateOfType(static_cast<kPropertyType>(code)));
        EXPECT_EQ(KPropertyTypeGetInfo(code).mMemberCount > 0 || code == kPropertyTypeObject, property != nullptr);
    }
    for (int code : {-1, 1000}) EXPECT_EQ(kPropertyTypeNone, KPropertyTypeGetInfo(code).mType);
    std::unique_ptr<KProperty> list(KProperty::CreateOfType(kPropertyTypeObject));
    EXPECT_TRUE(list->Is(KPropertyObjectList::ClassId));
}

TEST(KPropertyTemplate, VectorKeepsItsFourthComponent) {
    KPropertyTemplate<KgeTVector> property;
    double in[4] = {5.0, 6.0, 7.0, 99.0};
    property.SetData(in);
    EXPECT_EQ(1.0, property.Value().mData[3]);
    double out[4] = {0.0, 0.0, 0.0, -8.0};
    property.GetData(out);
    EXPECT_TRUE(out[2] == 7.0 && out[3] == -8.0);  // only x, y and z are copied out
}

TEST(KPropertyTemplate, ConversionsSaturateAndAnyByteIsAValidBool) {
    const struct {
        double mIn;
        int mInt;
        float mFloat;
    } rows[] = {{1e300, INT_MAX, FLT_MAX}, {-1e300, INT_MIN, -FLT_MAX}, {std::nan(""), 0, NAN}, {-2.9, -2, -2.9f},
                {HUGE_VAL, INT_MAX, HUGE_VALF}};
    KPropertyTemplate<int> i;
    KPropertyTemplate<float> f;
    for (const auto& row : rows) {
        i.SetDouble(row.mIn);
        f.SetDouble(row.mIn);
        EXPECT_EQ(row.mInt, i.AsInteger()) << row.mIn;
        EXPECT_TRUE(row.mFloat == f.Value() || (std::isnan(row.mFloat) && std::isnan(f.Value()))) << row.mIn;
    }
    KPropertyTemplate<bool> b;
    unsigned char byte = 0x7f;
    b.SetData(&byte);
    EXPECT_TRUE(b.Value());
    EXPECT_EQ(1, b.AsInteger());
}

namespace {

// An owner with typed accessors bound to its properties.
class Owner : public LoggedObject {
public:
    explicit Owner(NoticeLog* log) : LoggedObject(log, "O") {
        mWeight.SetPropertyInfo("Weight", this, &Owner::WeightGet, &Owner::WeightSet);
        mMode.SetPropertyInfo("Mode", this, &Owner::ModeGet, nullptr);
        mMode.GetPropertyInfo().SetAsStringFunc(&Owner::ModeAsString);
        AddMember(*this, mPlain, "Plain");
        log->Take();
    }
    double WeightGet() { return mWeight.Value(); }
    void WeightSet(double value) {
        mLog->mLines.push_back("set");
        mWeight.Value() = value < 0.0 ? 0.0 : value;
    }
    ETestMode ModeGet() { return mModeSource; }
    char* ModeAsString(ETestMode mode) {
        static char texts[3][2] = {"A", "B", "C"};
        return mode >= eModeA && mode <= eModeC ? texts[mode] : nullptr;
    }

    KPropertyTemplate<double> mWeight;
    KPropertyTemplate<ETestMode> mMode;
    KPropertyTemplate<bool> mPlain;
    ETestMode mModeSource = eModeA;
};

}  // namespace

TEST(KPropertyTemplate, OwnerAccessorsNoticesAndTexts) {
    NoticeLog log;
    Owner owner(&log);
    // Writes go through the setter, between the data notices.
    owner.mWeight.SetDouble(-5.0);
    EXPECT_EQ((Lines{"O:18:Weight<-", "set", "O:19:Weight<-"}), log.Take());
    EXPECT_EQ(0.0, owner.mWeight.Value());  // the setter clamped it
    owner.mWeight.Value() = 3.0;  // direct access raises nothing
    EXPECT_TRUE(log.Take().empty());
    owner.mPlain.Set(true);  // without a setter the value is stored
    EXPECT_TRUE(owner.mPlain.Value());
    EXPECT_EQ((Lines{"O:18:Plain<-", "O:19:Plain<-"}), log.Take());

    // Reads fetch through the getter and keep the result.
    owner.mModeSource = eModeB;
    EXPECT_EQ(eModeA, owner.mMode.Value());
    std::int32_t raw = -1;
    owner.mMode.GetData(&raw);
    EXPECT_EQ(1, raw);
    EXPECT_EQ(eModeB, owner.mMode.Value());
    owner.mModeSource = eModeC;
    EXPECT_EQ(2, owner.mMode.AsInteger());

    // Enumeration texts come from the owner, but not for user properties.
    EXPECT_STREQ("C", owner.mMode.GetValueAsString(2));
    EXPECT_EQ(nullptr, owner.mMode.GetValueAsString(3));
    EXPECT_EQ(nullptr, owner.mWeight.GetValueAsString(0));
    owner.mMode.GetPropertyInfo().ModifyFlag(KPropertyInfo::kFlagUser, true);
    EXPECT_EQ(nullptr, owner.mMode.GetValueAsString(2));
    owner.mMode.GetPropertyInfo().SetAsStringFunc(static_cast<kPropertyAsStringFunc>(nullptr));
    EXPECT_FALSE(owner.mMode.GetPropertyInfo().HasAsStringFunc());
}

#include "object/kproperty.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "object/kobject.h"
#include "object/kpropertytemplate.h"

using namespace zeqsdk_400;

namespace {

enum ETestMode { eModeA = 0, eModeB = 1, eModeC = 2 };

// Checks every value type against its code, its zero and its data exchange.
template <class T>
struct Sample;
template <>
struct Sample<bool> {
    static bool Value() { return true; }
    static std::vector<double> Doubles() { return {1.0}; }
};
template <>
struct Sample<int> {
    static int Value() { return -42; }
    static std::vector<double> Doubles() { return {-42.0}; }
};
template <>
struct Sample<float> {
    static float Value() { return 2.5f; }
    static std::vector<double> Doubles() { return {2.5}; }
};
template <>
struct Sample<double> {
    static double Value() { return 0.125; }
    static std::vector<double> Doubles() { return {0.125}; }
};
template <>
struct Sample<ETestMode> {
    static ETestMode Value() { return eModeC; }
    static std::vector<double> Doubles() { return {2.0}; }
};
template <>
struct Sample<KgeTVector> {
    static KgeTVector Value() { return KgeTVector(1.0, 2.0, 3.0); }
    static std::vector<double> Doubles() { return {1.0, 2.0, 3.0}; }
};
template <>
struct Sample<KgeRGBVector> {
    static KgeRGBVector Value() { return KgeRGBVector(0.25, 0.5, 0.75); }
    static std::vector<double> Doubles() { return {0.25, 0.5, 0.75}; }
};
template <>
struct Sample<KZeqVector4> {
    static KZeqVector4 Value() { return KZeqVector4(1.0, -2.0, 3.0, -4.0); }
    static std::vector<double> Doubles() { return {1.0, -2.0, 3.0, -4.0}; }
};
template <>
struct Sample<KZeqColor> {
    static KZeqColor Value() { return KZeqColor(0.1, 0.2, 0.3, 0.4); }
    static std::vector<double> Doubles() { return {0.1, 0.2, 0.3, 0.4}; }
};

// The members of a value as doubles, through its own traits.
template <class T>
std::vector<double> AsDoubles(const T& value) {
    const KPropertyTypeInfo& info = KPropertyTypeGetInfo(KPropertyValueTraits<T>::kType);
    alignas(double) unsigned char raw[64] = {};
    KPropertyValueTraits<T>::Export(value, raw);
    std::vector<double> out;
    for (int i = 0; i < info.mMemberCount; ++i) {
        double d = 0;
        switch (info.mKind) {
            case KPropertyValueKind::eBool: d = raw[0] ? 1.0 : 0.0; break;
            case KPropertyValueKind::eInteger: { std::int32_t v; std::memcpy(&v, raw, 4); d = v; break; }
            case KPropertyValueKind::eFloat: { float v; std::memcpy(&v, raw, 4); d = v; break; }
            default: std::memcpy(&d, raw + 8 * i, 8); break;
        }
        out.push_back(d);
    }
    return out;
}

template <class T>
class KPropertyTemplateTypes : public ::testing::Test {};
typedef ::testing::Types<bool, int, float, double, ETestMode, KgeTVector, KgeRGBVector, KZeqVector4, KZeqColor>
    AllValueTypes;
TYPED_TEST_SUITE(KPropertyTemplateTypes, AllValueTypes);

TYPED_TEST(KPropertyTemplateTypes, ZeroDataExchangeAndDoubleAccess) {
    typedef TypeParam T;
    KPropertyTemplate<T> property;
    const KPropertyTypeInfo& info = KPropertyTypeGetInfo(property.GetValueType());
    EXPECT_EQ(KPropertyGetType(static_cast<T*>(nullptr)), property.GetValueType());
    EXPECT_GT(info.mMemberCount, 0);
    // A new property holds zero (a KgeTVector's fourth component is 1).
    for (double d : AsDoubles(property.Value())) EXPECT_EQ(0.0, d);

    // SetData / GetData move the native value.
    alignas(double) unsigned char in[64] = {};
    KPropertyValueTraits<T>::Export(Sample<T>::Value(), in);
    ASSERT_TRUE(property.SetData(in));
    alignas(double) unsigned char out[64] = {};
    ASSERT_TRUE(property.GetData(out));
    EXPECT_EQ(0, std::memcmp(in, out, static_cast<std::size_t>(info.mSize)));
    EXPECT_EQ(Sample<T>::Doubles(), AsDoubles(property.Value()));
    EXPECT_FALSE(property.SetData(nullptr));
    EXPECT_FALSE(property.GetData(nullptr));

    // The double accessors read and write the first member.
    EXPECT_DOUBLE_EQ(Sample<T>::Doubles()[0], property.AsDouble());
    property.SetDouble(0.0);
    EXPECT_EQ(0.0, property.AsDouble());
    property.SetInteger(1);
    EXPECT_EQ(1, property.AsInteger());
    EXPECT_DOUBLE_EQ(1.0, property.AsDouble());
    // Other members are kept.
    std::vector<double> expected = Sample<T>::Doubles();
    expected[0] = 1.0;
    EXPECT_EQ(expected, AsDoubles(property.Value()));
}

TEST(KPropertyTemplate, VectorKeepsItsFourthComponent) {
    KPropertyTemplate<KgeTVector> property;
    EXPECT_EQ(1.0, property.Value().mData[3]);
    double in[4] = {5.0, 6.0, 7.0, 99.0};
    property.SetData(in);
    EXPECT_EQ(1.0, property.Value().mData[3]);
    double out[4] = {0.0, 0.0, 0.0, -8.0};
    property.GetData(out);
    EXPECT_EQ(5.0, out[0]);
    EXPECT_EQ(7.0, out[2]);
    EXPECT_EQ(-8.0, out[3]);  // only x, y and z are copied out
}

TEST(KPropertyTemplate, ConversionsSaturateInsteadOfOverflowing) {
    KPropertyTemplate<int> i;
    i.SetDouble(1e300);
    EXPECT_EQ(INT_MAX, i.AsInteger());
    i.SetDouble(-1e300);
    EXPECT_EQ(INT_MIN, i.AsInteger());
    i.SetDouble(std::nan(""));
    EXPECT_EQ(0, i.AsInteger());
    i.SetDouble(-2.9);
    EXPECT_EQ(-2, i.AsInteger());
    KPropertyTemplate<float> f;
    f.SetDouble(1e300);
    EXPECT_EQ(FLT_MAX, f.Value());
    f.SetDouble(-HUGE_VAL);
    EXPECT_TRUE(std::isinf(f.Value()));
    KPropertyTemplate<bool> b;
    unsigned char byte = 0x7f;  // any non-zero byte reads as true
    b.SetData(&byte);
    EXPECT_TRUE(b.Value());
    EXPECT_EQ(1, b.AsInteger());
}

// An owner with typed accessors bound to its properties.
class Owner : public KObject {
public:
    Owner() {
        PropertyAddToList(&mWeight);
        mWeight.SetPropertyType(kPropertyTypeDouble);
        mWeight.SetPropertyInfo("Weight", this, &Owner::WeightGet, &Owner::WeightSet);
        PropertyAddToList(&mMode);
        mMode.SetPropertyInfo("Mode", this, &Owner::ModeGet, nullptr);
        mMode.SetPropertyType(kPropertyTypeEnum);
        mMode.GetPropertyInfo().SetAsStringFunc(&Owner::ModeAsString);
        PropertyAddToList(&mPlain);
        mPlain.SetPropertyInfo("Plain", this, nullptr, nullptr);
    }
    double WeightGet() {
        ++mGets;
        return mWeight.Value();
    }
    void WeightSet(double value) {
        mLog.push_back("set");
        mWeight.Value() = value < 0.0 ? 0.0 : value;
    }
    ETestMode ModeGet() { return mModeSource; }
    char* ModeAsString(ETestMode mode) {
        static char texts[3][2] = {"A", "B", "C"};
        return mode >= eModeA && mode <= eModeC ? texts[mode] : nullptr;
    }
    bool PlugNotify(KPlugCallstack*, kPlugAction action, KPlug* plug, int, KPlug*, kConnectionType,
                    KPlug*) override {
        if (action == kPlugDataChanging || action == kPlugDataChanged)
            mLog.push_back(std::string(static_cast<KProperty*>(plug)->GetPropertyName()) + ":" + std::to_string(action));
        return true;
    }

    KPropertyTemplate<double> mWeight;
    KPropertyTemplate<ETestMode> mMode;
    KPropertyTemplate<bool> mPlain;
    ETestMode mModeSource = eModeA;
    int mGets = 0;
    std::vector<std::string> mLog;
};

TEST(KPropertyTemplate, WritesGoThroughTheSetterBetweenTheDataNotices) {
    Owner owner;
    owner.mWeight.SetDouble(-5.0);
    EXPECT_EQ((std::vector<std::string>{"Weight:18", "set", "Weight:19"}), owner.mLog);
    EXPECT_EQ(0.0, owner.mWeight.Value());  // the setter clamped it
    owner.mLog.clear();
    double value = 12.0;
    owner.mWeight.SetData(&value);
    EXPECT_EQ(12.0, owner.mWeight.Value());
    EXPECT_EQ(3u, owner.mLog.size());
    // Direct access raises nothing.
    owner.mLog.clear();
    owner.mWeight.Value() = 3.0;
    EXPECT_TRUE(owner.mLog.empty());
    // Without a setter the value is stored.
    owner.mPlain.Set(true);
    EXPECT_TRUE(owner.mPlain.Value());
    EXPECT_EQ((std::vector<std::string>{"Plain:18", "Plain:19"}), owner.mLog);
}

TEST(KPropertyTemplate, ReadsFetchThroughTheGetterAndKeepTheResult) {
    Owner owner;
    owner.mModeSource = eModeB;
    EXPECT_EQ(eModeA, owner.mMode.Value());
    std::int32_t raw = -1;
    owner.mMode.GetData(&raw);
    EXPECT_EQ(1, raw);
    EXPECT_EQ(eModeB, owner.mMode.Value());
    const int before = owner.mGets;
    EXPECT_EQ(0.0, owner.mWeight.AsDouble());
    EXPECT_EQ(before + 1, owner.mGets);
}

TEST(KPropertyTemplate, EnumerationTextsComeFromTheOwner) {
    Owner owner;
    EXPECT_TRUE(owner.mMode.GetPropertyInfo().HasAsStringFunc());
    EXPECT_TRUE(owner.mMode.GetPropertyInfo().mFlags & KPropertyInfo::kFlagHasStringFunc);
    EXPECT_STREQ("C", owner.mMode.GetValueAsString(2));
    EXPECT_EQ(nullptr, owner.mMode.GetValueAsString(3));
    EXPECT_EQ(nullptr, owner.mWeight.GetValueAsString(0));
    // Not for user properties.
    owner.mMode.GetPropertyInfo().ModifyFlag(KPropertyInfo::kFlagUser, true);
    EXPECT_EQ(nullptr, owner.mMode.GetValueAsString(2));
    // A null function clears the flag.
    owner.mMode.GetPropertyInfo().SetAsStringFunc(static_cast<kPropertyAsStringFunc>(nullptr));
    EXPECT_FALSE(owner.mMode.GetPropertyInfo().HasAsStringFunc());
}

TEST(KProperty, DescriptionFlagsRangeAndLabel) {
    KPropertyTemplate<double> property;
    EXPECT_STREQ("", property.GetPropertyName());
    EXPECT_STREQ("", property.GetPropertyLabel());
    EXPECT_EQ(kPropertyTypeNone, property.GetPropertyType());
    EXPECT_EQ(0u, property.GetPropertyInfo().mFlags);
    EXPECT_TRUE(std::isinf(property.GetPropertyMin()) && property.GetPropertyMin() < 0);
    EXPECT_TRUE(std::isinf(property.GetPropertyMax()) && property.GetPropertyMax() > 0);
    property.SetPropertyMinMax(-1.0, 2.0);
    EXPECT_EQ(-1.0, property.GetPropertyMin());
    EXPECT_EQ(2.0, property.GetPropertyMax());
    property.SetPropertyLabel("Nice name");
    EXPECT_STREQ("Nice name", property.GetPropertyLabel());
    property.SetPropertyLabel(nullptr);
    EXPECT_STREQ("", property.GetPropertyLabel());

    KPropertyInfo& info = property.GetPropertyInfo();
    info.ModifyFlag(static_cast<KPropertyInfo::kFlags>(KPropertyInfo::kFlagAnimatable | KPropertyInfo::kFlagUser),
                    true);
    EXPECT_EQ(66u, info.mFlags);
    EXPECT_TRUE(property.IsAnimatable());
    info.ModifyFlag(KPropertyInfo::kFlagAnimatable, false);
    EXPECT_EQ(64u, info.mFlags);
    EXPECT_FALSE(property.IsAnimatable());

    property.ModifyPropertyFlag(static_cast<kPropertyFlag>(kPropertyFlagAnimated | kPropertyFlagNotSavable), true);
    EXPECT_TRUE(property.IsAnimated());
    EXPECT_EQ(24u, property.GetPropertyFlags());
    property.SetReadOnly(true);
    EXPECT_EQ(56u, property.GetPropertyFlags());
    property.ModifyPropertyFlag(kPropertyFlagAnimated, false);
    EXPECT_FALSE(property.IsAnimated());
    EXPECT_TRUE(property.IsReadOnly());
}

TEST(KProperty, DataTypeFallsBackOnTheTypeCode) {
    KPropertyTemplate<KgeTVector> property;
    EXPECT_EQ(nullptr, property.GetPropertyDataType());
    property.SetPropertyType(kPropertyTypeVector);
    EXPECT_EQ(&KDataTypeVector, property.GetPropertyDataType());
    property.SetPropertyDataType(&KDataTypeLclScaling);
    EXPECT_EQ(&KDataTypeLclScaling, property.GetPropertyDataType());
}

TEST(KProperty, CreateOfTypeCoversTheValueCodes) {
    for (int code = 0; code <= 17; ++code) {
        KProperty* property = KProperty::CreateOfType(static_cast<kPropertyType>(code));
        const KPropertyTypeInfo& info = KPropertyTypeGetInfo(code);
        if (code == kPropertyTypeObject) {
            ASSERT_NE(nullptr, property);
            EXPECT_EQ(kPropertyTypeObject, property->GetValueType());
        } else if (info.mMemberCount > 0) {
            ASSERT_NE(nullptr, property) << code;
            EXPECT_EQ(code, property->GetValueType());
        } else {
            EXPECT_EQ(nullptr, property) << code;
        }
        delete property;
    }
}

}  // namespace

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

void PrintTo(const ValueTypeCase& c, std::ostream* out) { *out << c.mName; }
class PropertyValueTypes : public ::testing::TestWithParam<ValueTypeCase> {};

}  // namespace

// New values are zero; the value crosses as doubles both ways; one member is
// replaced as a curve's callback does; the scalar accessors reach the first member.
TEST_P(PropertyValueTypes, DoublesExchangeMemberEditsAndScalarAccess) {
    const ValueTypeCase& c = GetParam();
    std::unique_ptr<KProperty> property(c.mMake());
    ASSERT_EQ(c.mType, property->GetValueType());
    std::unique_ptr<KProperty> created(KProperty::CreateOfType(c.mType));
    EXPECT_TRUE(created && created->GetValueType() == c.mType);
    const int n = static_cast<int>(c.mSample.size());
    EXPECT_EQ(std::vector<double>(c.mSample.size(), 0.0), ValueOf(*property));
    EXPECT_FALSE(property->SetDataFromDoubles(c.mSample.data(), n - 1) || property->SetDataFromDoubles(nullptr, 4));
    ASSERT_TRUE(SetValue(*property, c.mSample));
    EXPECT_EQ(c.mSample, ValueOf(*property));
    EXPECT_TRUE(property->SetDataMember(n - 1, 1.0));
    EXPECT_FALSE(property->SetDataMember(n, 1.0) || property->SetDataMember(-1, 1.0));
    std::vector<double> expected = c.mSample;
    expected[n - 1] = 1.0;
    EXPECT_EQ(expected, ValueOf(*property));
    EXPECT_FALSE(property->SetData(static_cast<const void*>(nullptr)) || property->GetData(nullptr));
    EXPECT_DOUBLE_EQ(expected[0], property->AsDouble());
    property->SetDouble(0.0);
    EXPECT_EQ(0.0, property->AsDouble());
    property->SetInteger(1);
    EXPECT_EQ(1, property->AsInteger());
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
    EXPECT_TRUE(list->Is(KPropertyObjectList::ClassId) && ValueOf(*list).empty());
}

// Doubles into native values: int, enumeration and bool truncated toward zero,
// saturating, NaN 0; float and double as they are (a float saturates at its
// largest finite value); vector and colour members one by one, unclamped.
// SetDouble agrees, except that it makes a bool true for any value but 0.
TEST(KProperty, DoublesConvertByValueType) {
    const struct {
        KProperty* (*mMake)();
        double mIn, mOut;
    } rows[] = {{&Make<int>, -2.9, -2},        {&Make<int>, 2.9, 2},           {&Make<int>, 1e300, INT_MAX},
                {&Make<int>, -HUGE_VAL, INT_MIN}, {&Make<int>, NAN, 0},        {&Make<ETestMode>, 2.9, 2},
                {&Make<ETestMode>, -0.5, 0},   {&Make<ETestMode>, NAN, 0},     {&Make<bool>, 0.5, 0},
                {&Make<bool>, -1.5, 1},        {&Make<bool>, NAN, 0},          {&Make<float>, -2.9, -2.9f},
                {&Make<float>, 1e300, FLT_MAX}, {&Make<float>, HUGE_VAL, HUGE_VALF}, {&Make<float>, NAN, NAN},
                {&Make<double>, 1.0 / 3, 1.0 / 3}, {&Make<KgeTVector>, -2.9, -2.9}, {&Make<KZeqColor>, 2.5, 2.5}};
    for (const auto& row : rows) {
        std::unique_ptr<KProperty> p(row.mMake());
        for (int path = 0; path < (p->GetValueType() == kPropertyTypeBool ? 1 : 2); ++path) {
            if (path == 0) EXPECT_TRUE(p->SetDataMember(0, row.mIn));
            else p->SetDouble(row.mIn);
            const double out = ValueOf(*p)[0];
            EXPECT_TRUE(out == row.mOut || (std::isnan(out) && std::isnan(row.mOut)))
                << "type " << p->GetValueType() << ", " << row.mIn << " gave " << out << ", path " << path;
        }
    }
    KPropertyTemplate<bool> b;
    unsigned char byte = 0x7f;  // any non-zero byte is a valid true
    b.SetData(&byte);
    EXPECT_TRUE(b.Value() && b.AsInteger() == 1);
}

// Callers holding a writable buffer may take SetData as its void* form.
TEST(KPropertyTemplate, VectorKeepsItsFourthComponentAndSetDataTakesAWritableBuffer) {
    KPropertyTemplate<KgeTVector> property;
    bool (KProperty::*setData)(void*, int, KEvaluateInfo*, KWorldState*) = &KProperty::SetData;
    double in[4] = {5.0, 6.0, 7.0, 99.0};
    EXPECT_TRUE((property.*setData)(in, 0, nullptr, nullptr));
    EXPECT_TRUE(property.Value().mData[2] == 7.0 && property.Value().mData[3] == 1.0);
    double out[4] = {0.0, 0.0, 0.0, -8.0};
    property.GetData(out);
    EXPECT_TRUE(out[2] == 7.0 && out[3] == -8.0);  // only x, y and z are copied out
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

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

struct ValueTypeCase {
    const char* mName;
    kPropertyType mType;
    std::vector<double> mSample;
};
void PrintTo(const ValueTypeCase& c, std::ostream* out) { *out << c.mName; }

const ValueTypeCase kValueTypes[] = {
    {"Bool", kPropertyTypeBool, {1.0}},        {"Integer", kPropertyTypeInteger, {-42.0}},
    {"Float", kPropertyTypeFloat, {2.5}},      {"Double", kPropertyTypeDouble, {0.125}},
    {"Enum", kPropertyTypeEnum, {2.0}},        {"Vector", kPropertyTypeVector, {1.0, 2.0, 3.0}},
    {"Color", kPropertyTypeColor, {0.25, 0.5, 0.75}}, {"Vector4", kPropertyTypeVector4, {1.0, -2.0, 3.0, -4.0}},
    {"ColorRGBA", kPropertyTypeColorRGBA, {0.1, 0.2, 0.3, 0.4}}};

class PropertyValueTypes : public ::testing::TestWithParam<ValueTypeCase> {};

}  // namespace

// A new value is zero; it crosses as doubles both ways; one member is replaced
// as a curve's callback does; the scalar accessors reach the first member.
TEST_P(PropertyValueTypes, DoublesExchangeMemberEditsAndScalarAccess) {
    const ValueTypeCase& c = GetParam();
    std::unique_ptr<KProperty> property(KProperty::CreateOfType(c.mType));
    ASSERT_TRUE(property && property->GetValueType() == c.mType);
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
    expected[0] = 1.0;
    EXPECT_TRUE(property->AsInteger() == 1 && ValueOf(*property) == expected);
}

INSTANTIATE_TEST_SUITE_P(AllValueTypes, PropertyValueTypes, ::testing::ValuesIn(kValueTypes),
                         [](const ::testing::TestParamInfo<ValueTypeCase>& info) { return info.param.mName; });

TEST(KProperty, OnlyCodesWithAValueOrAListAreCreated) {
    for (int code = -1; code <= 18; ++code) {
        EXPECT_EQ(code >= 0 && code <= 17 ? code : 0, KPropertyTypeGetInfo(code).mType);
        std::unique_ptr<KProperty> property(KProperty::CreateOfType(static_cast<kPropertyType>(code)));
        EXPECT_EQ(KPropertyTypeGetInfo(code).mMemberCount > 0 || code == kPropertyTypeObject, property != nullptr);
    }
    std::unique_ptr<KProperty> list(KProperty::CreateOfType(kPropertyTypeObject));
    EXPECT_TRUE(list->Is(KPropertyObjectList::ClassId) && ValueOf(*list).empty() && !list->SetDataMember(0, 1.0));
}

// Doubles into native values: int, enumeration and bool truncated toward zero,
// saturating, NaN 0; float and double as they are (a float saturates at its
// largest finite value); vector and colour members one by one, unclamped.
// SetDouble agrees, except that it makes a bool true for any value but 0.
TEST(KProperty, DoublesConvertByValueType) {
    const struct {
        kPropertyType mType;
        double mIn, mOut;
    } rows[] = {{kPropertyTypeInteger, -2.9, -2},      {kPropertyTypeInteger, 2.9, 2},
                {kPropertyTypeInteger, 1e300, INT_MAX}, {kPropertyTypeInteger, -HUGE_VAL, INT_MIN},
                {kPropertyTypeInteger, NAN, 0},        {kPropertyTypeEnum, 2.9, 2},
                {kPropertyTypeEnum, -0.5, 0},          {kPropertyTypeEnum, NAN, 0},
                {kPropertyTypeBool, 0.5, 0},           {kPropertyTypeBool, -1.5, 1},
                {kPropertyTypeBool, NAN, 0},           {kPropertyTypeFloat, -2.9, -2.9f},
                {kPropertyTypeFloat, 1e300, FLT_MAX},  {kPropertyTypeFloat, HUGE_VAL, HUGE_VALF},
                {kPropertyTypeFloat, NAN, NAN},        {kPropertyTypeDouble, 1.0 / 3, 1.0 / 3},
                {kPropertyTypeVector, -2.9, -2.9},     {kPropertyTypeColorRGBA, 2.5, 2.5}};
    for (const auto& row : rows) {
        std::unique_ptr<KProperty> p(KProperty::CreateOfType(row.mType));
        for (int path = 0; path < (row.mType == kPropertyTypeBool ? 1 : 2); ++path) {
            if (path == 0) EXPECT_TRUE(p->SetDataMember(0, row.mIn));
            else p->SetDouble(row.mIn);
            const double out = ValueOf(*p)[0];
            EXPECT_TRUE(out == row.mOut || (std::isnan(out) && std::isnan(row.mOut)))
                << "type " << row.mType << ", " << row.mIn << " gave " << out << ", path " << path;
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
    double in[4] = {5.0, 6.0, 7.0, 99.0}, out[4] = {0.0, 0.0, 0.0, -8.0};
    EXPECT_TRUE((property.*setData)(in, 0, nullptr, nullptr) && property.GetData(out));
    EXPECT_TRUE(property.Value().mData[2] == 7.0 && property.Value().mData[3] == 1.0);
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
    owner.mWeight.SetDouble(-5.0);  // through the setter, which clamps, between the data notices
    EXPECT_EQ((Lines{"O:18:Weight<-", "set", "O:19:Weight<-"}), log.Take());
    EXPECT_EQ(0.0, owner.mWeight.Value());
    owner.mWeight.Value() = 3.0;  // direct access raises nothing
    owner.mPlain.Set(true);       // without a setter the value is stored
    EXPECT_EQ((Lines{"O:18:Plain<-", "O:19:Plain<-"}), log.Take());
    EXPECT_TRUE(owner.mPlain.Value());
    // Reads fetch through the getter and keep the result.
    owner.mModeSource = eModeB;
    std::int32_t raw = -1;
    EXPECT_EQ(eModeA, owner.mMode.Value());
    EXPECT_TRUE(owner.mMode.GetData(&raw) && raw == 1 && owner.mMode.Value() == eModeB);
    owner.mModeSource = eModeC;
    EXPECT_EQ(2, owner.mMode.AsInteger());
    // Enumeration texts come from the owner, but not for user properties.
    EXPECT_STREQ("C", owner.mMode.GetValueAsString(2));
    EXPECT_FALSE(owner.mMode.GetValueAsString(3) || owner.mWeight.GetValueAsString(0));
    owner.mMode.GetPropertyInfo().ModifyFlag(KPropertyInfo::kFlagUser, true);
    EXPECT_EQ(nullptr, owner.mMode.GetValueAsString(2));
    owner.mMode.GetPropertyInfo().SetAsStringFunc(static_cast<kPropertyAsStringFunc>(nullptr));
    EXPECT_FALSE(owner.mMode.GetPropertyInfo().HasAsStringFunc());
}

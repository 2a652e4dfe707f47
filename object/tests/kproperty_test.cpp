#include "object/kproperty.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "object/kpropertyobjectlist.h"
#include "object/kpropertytemplate.h"
#include "object/tests/object_test_support.h"

using namespace zeqsdk_400;
using namespace zeqsdk_400::objecttest;

namespace {

class PropertyValueTypes : public ::testing::TestWithParam<ValueTypeCase> {};

}  // namespace

// A new value is zero; it crosses as doubles both ways; one member is replaced
// as a curve's callback does; the scalar accessors reach the first member, and
// SetDouble converts as the doubles do, except that any value but 0 is true.
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
    property->SetInteger(1);
    expected[0] = 1.0;
    EXPECT_TRUE(property->AsInteger() == 1 && ValueOf(*property) == expected);
    for (const auto& io : c.mConversions) {
        for (int path = 0; path < 2; ++path) {
            if (path == 0) EXPECT_TRUE(property->SetDataMember(0, io.first));
            else property->SetDouble(io.first);
            const double out = ValueOf(*property)[0];
            const double want = path && c.mType == kPropertyTypeBool ? io.first != 0.0 : io.second;
            EXPECT_TRUE(out == want || (std::isnan(out) && std::isnan(want))) << io.first << " gave " << out;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllValueTypes, PropertyValueTypes, ::testing::ValuesIn(kValueTypes),
                         [](const ::testing::TestParamInfo<ValueTypeCase>& info) { return info.param.mName; });

// Only codes with a value or a list are created; any non-zero byte is a valid
// true; a vector keeps its fourth component, and callers holding a writable
// buffer may take SetData as its void* form.
TEST(KProperty, CreatedCodesBoolBytesAndVectorBuffers) {
    for (int code = -1; code <= 18; ++code) {
        EXPECT_EQ(code >= 0 && code <= 17 ? code : 0, KPropertyTypeGetInfo(code).mType);
        std::unique_ptr<KProperty> property(KProperty::CreateOfType(static_cast<kPropertyType>(code)));
        EXPECT_EQ(KPropertyTypeGetInfo(code).mMemberCount > 0 || code == kPropertyTypeObject, property != nullptr);
    }
    std::unique_ptr<KProperty> list(KProperty::CreateOfType(kPropertyTypeObject));
    EXPECT_TRUE(list->Is(KPropertyObjectList::ClassId) && ValueOf(*list).empty() && !list->SetDataMember(0, 1.0));
    KPropertyTemplate<bool> b;
    unsigned char byte = 0x7f;
    b.SetData(&byte);
    EXPECT_TRUE(b.Value() && b.AsInteger() == 1);
    KPropertyTemplate<KgeTVector> vector;
    bool (KProperty::*setData)(void*, int, KEvaluateInfo*, KWorldState*) = &KProperty::SetData;
    double in[4] = {5.0, 6.0, 7.0, 99.0}, out[4] = {0.0, 0.0, 0.0, -8.0};
    EXPECT_TRUE((vector.*setData)(in, 0, nullptr, nullptr) && vector.GetData(out));
    EXPECT_TRUE(vector.Value().mData[2] == 7.0 && vector.Value().mData[3] == 1.0);
    EXPECT_TRUE(out[2] == 7.0 && out[3] == -8.0);  // only x, y and z are copied out
}

namespace {

enum ETestMode { eModeA = 0, eModeB = 1, eModeC = 2 };

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
}

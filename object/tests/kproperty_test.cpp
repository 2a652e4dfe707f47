#include "object/kproperty.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "object/kdatatype.h"
#include "object/kpropertyobjectlist.h"
#include "object/kpropertytemplate.h"
#include "object/kstreamoptions.h"
#include "object/tests/object_test_support.h"

using namespace zeqsdk_400;
using namespace zeqsdk_400::objecttest;

namespace {

class PropertyValueTypes : public ::testing::TestWithParam<ValueTypeCase> {};

typedef std::vector<KObject*> Objects;

// Every case runs on a list of sources (the default direction) and on a list of destinations.
class ObjectListTest : public ::testing::TestWithParam<KPlug::kDirection> {
protected:
    KObject* N(int i) { return &nodes[i]; }
    Objects Entries() {
        Objects out;
        for (int i = 0; i < list->GetCount(); ++i) out.push_back(list->GetAt(i));
        return out;
    }
    bool ListsSources() const { return GetParam() != KPlug::eDirectionDst; }
    bool Link(KPlug* plug) { return ListsSources() ? list->ConnectSrc(plug) : list->ConnectDst(plug); }
    int Links(KPlug* plug) { return plug->GetSrcCount() + plug->GetDstCount(); }

    KObject owner, nodes[4];
    KPropertyObjectList* list = KPropertyObjectList::Create(&owner, "Targets", 0, -1, 1, GetParam(), kPropertyFlagNone);
};

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
    EXPECT_TRUE(property->SetDataMember(n - 1, 1.0) && !property->SetDataMember(n, 1.0) &&
                !property->SetDataMember(-1, 1.0));
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
// true; a vector keeps its fourth component (only x, y and z cross), and callers
// holding a writable buffer may take SetData as its void* form.
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
    EXPECT_TRUE(vector.Value().mData[2] == 7.0 && vector.Value().mData[3] == 1.0 && out[2] == 7.0 && out[3] == -8.0);
}

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

// Every name the loader registers, its value type and size, the global that
// must be this very object, and whether a bare type code stands for it.
TEST(KDataType, NamesTheLoaderBuildsTheirTypesGlobalsAndTypeCodes) {
    const struct {
        const char* mName;
        kPropertyType mType;
        int mMembers;
        KDataType* mGlobal;
        bool mOfTypeCode;
    } rows[] = {
        {"Bool", kPropertyTypeBool, 1, &KDataTypeBool, true}, {"Real", kPropertyTypeDouble, 1, &KDataTypeReal, false},
        {"Color", kPropertyTypeColor, 3, &KDataTypeColor, true},
        {"Integer", kPropertyTypeInteger, 1, &KDataTypeInteger, true},
        {"Vector", kPropertyTypeVector, 3, &KDataTypeVector, true},
        {"Number", kPropertyTypeDouble, 1, &KDataTypeNumber, true}, {"Roll", kPropertyTypeDouble, 1, nullptr, false},
        {"FieldOfView", kPropertyTypeDouble, 1, nullptr, false}, {"Intensity", kPropertyTypeDouble, 1, nullptr, false},
        {"Cone angle", kPropertyTypeDouble, 1, nullptr, false}, {"Fog", kPropertyTypeDouble, 1, nullptr, false},
        {"Shape", kPropertyTypeDouble, 1, nullptr, false},
        {"Lcl Translation", kPropertyTypeVector, 3, &KDataTypeLclTranslation, false},
        {"Lcl Rotation", kPropertyTypeVector, 3, &KDataTypeLclRotation, false},
        {"Lcl Scaling", kPropertyTypeVector, 3, &KDataTypeLclScaling, false},
        {"Visibility", kPropertyTypeDouble, 1, &KDataTypeVisibility, false},
        {"Occlusion", kPropertyTypeDouble, 1, &KDataTypeOcclusion, false},
        {"IK Reach Translation", kPropertyTypeDouble, 1, &KDataTypeIKReachTranslation, false},
        {"IK Reach Rotation", kPropertyTypeDouble, 1, &KDataTypeIKReachRotation, false},
        {"ColorAndAlpha", kPropertyTypeColorRGBA, 4, nullptr, true}, {"Vector4", kPropertyTypeVector4, 4, nullptr, true}};
    for (const auto& row : rows) {
        KDataType* type = KDataTypeGet(row.mName);
        ASSERT_NE(nullptr, type) << row.mName;
        EXPECT_TRUE(DataTypeToPropertyType(type) == row.mType && (!row.mGlobal || row.mGlobal == type)) << row.mName;
        EXPECT_TRUE(type->GetMemberCount() == row.mMembers && type->SizeOf() == KPropertyTypeGetInfo(row.mType).mSize)
            << row.mName;
        EXPECT_EQ(row.mOfTypeCode, KDataTypeFromPropertyType(row.mType) == type) << row.mName;
    }
    EXPECT_TRUE(&KDataTypeLclTranslation == &KDataTypeTranslation && &KDataTypeLclRotation == &KDataTypeRotation &&
                &KDataTypeLclScaling == &KDataTypeScaling && KDataTypeGet("TimeWarp") == &KDataTypeTimeWarp);
    EXPECT_EQ(kPropertyTypeNone, DataTypeToPropertyType(KDataTypeGet("Unidentified")));
    EXPECT_FALSE(KDataTypeGet("lcl translation") || KDataTypeGet("") || KDataTypeGet(nullptr));
    EXPECT_EQ(kPropertyTypeNone, DataTypeToPropertyType(nullptr));
    for (int code : {int(kPropertyTypeNone), int(kPropertyTypeAction), 99}) EXPECT_FALSE(KDataTypeFromPropertyType(code));
    std::set<std::string> names;
    for (int i = 0; i < KDataTypeGetCount(); ++i) {
        EXPECT_TRUE(names.insert(KDataTypeGetAt(i)->GetName()).second);
        EXPECT_EQ(std::string_view(KDataTypeGetAt(i)->GetName()), KDataTypeGetAt(i)->GetNameView());
    }
    EXPECT_EQ(nullptr, KDataTypeGetAt(KDataTypeGetCount()));
    // A property without its own data type falls back on its type code's.
    KPropertyTemplate<KgeTVector> property;
    EXPECT_EQ(nullptr, property.GetPropertyDataType());
    property.SetPropertyType(kPropertyTypeVector);
    EXPECT_EQ(&KDataTypeVector, property.GetPropertyDataType());
    property.SetPropertyDataType(&KDataTypeLclScaling);
    EXPECT_EQ(&KDataTypeLclScaling, property.GetPropertyDataType());
}

TEST_P(ObjectListTest, OrderInsertionReplacementRemovalAndBadIndices) {
    EXPECT_EQ(list, owner.GetProperty(0));
    EXPECT_TRUE(list->Add(N(0)) && list->Add(N(1)) && list->InsertAt(1, N(2)));
    EXPECT_EQ((Objects{N(0), N(2), N(1)}), Entries());
    EXPECT_TRUE(list->InsertAt(10, N(3)) && list->GetAt(3) == N(3));  // past the end: appended
    EXPECT_TRUE(list->RemoveAt(3));
    EXPECT_EQ(list, ListsSources() ? N(2)->GetDst(0) : N(2)->GetSrc(0));  // entries are connections on one side
    EXPECT_EQ(0, ListsSources() ? list->GetDstCount() : list->GetSrcCount());
    for (int index : {3, -1, 1 << 30}) EXPECT_EQ(nullptr, list->GetAt(index)) << index;
    EXPECT_FALSE(list->SetAt(-1, N(3)) || list->InsertAt(-1, N(3)) || list->RemoveAt(-1) || list->RemoveAt(3) ||
                 list->Add(nullptr));
    const int updates = list->GetUpdateCount();
    EXPECT_TRUE(list->SetAt(1, N(3)));  // replace in place
    EXPECT_EQ((Objects{N(0), N(3), N(1)}), Entries());
    EXPECT_TRUE(Links(N(2)) == 0 && list->GetUpdateCount() > updates);
    EXPECT_TRUE(list->SetAt(1, N(3)));   // the same object: nothing to do
    EXPECT_FALSE(list->SetAt(2, N(0)));  // already listed elsewhere: the list stays
    EXPECT_EQ((Objects{N(0), N(3), N(1)}), Entries());
    EXPECT_TRUE(list->SetAt(7, N(2)));      // past the end: appended
    EXPECT_FALSE(list->SetAt(0, nullptr));  // only removes
    EXPECT_EQ((Objects{N(3), N(1), N(2)}), Entries());
    EXPECT_TRUE(list->Remove(N(1)) && !list->Remove(N(1)));
    list->Clear();
    EXPECT_EQ(0, list->GetCount() + Links(N(3)));
    // An entry that is not an object reads null.
    KPropertyTemplate<double> property;
    EXPECT_TRUE(Link(&property) && list->Add(N(0)));
    EXPECT_EQ((Objects{nullptr, N(0)}), Entries());
}

TEST_P(ObjectListTest, ContentClassRestrictsTheEntries) {
    list->SetContentSpec(1, KStreamOptions::ClassId);
    KStreamOptions accepted;
    EXPECT_FALSE(list->Add(N(0)));
    // A source list refuses the direct way too (only a destination can refuse a connection).
    EXPECT_FALSE(ListsSources() && list->ConnectSrc(N(0)));
    EXPECT_TRUE(list->Add(&accepted) && !list->SetAt(0, N(0)));  // a refused replacement keeps the entry
    EXPECT_TRUE(Entries() == Objects{&accepted} && Links(N(0)) == 0);
}

INSTANTIATE_TEST_SUITE_P(Directions, ObjectListTest, ::testing::Values(KPlug::eDirectionSrcDst, KPlug::eDirectionDst),
                         [](const ::testing::TestParamInfo<KPlug::kDirection>& info) {
                             return info.param == KPlug::eDirectionDst ? "Destinations" : "Sources";
                         });

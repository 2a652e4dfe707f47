#include "object/kdatatype.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace zeqsdk_400;

TEST(KDataType, NamesTheLoaderBuildsAndTheirTypes) {
    struct Row {
        const char* mName;
        kPropertyType mType;
        int mMembers;
    } rows[] = {
        {"Bool", kPropertyTypeBool, 1},         {"Real", kPropertyTypeDouble, 1},
        {"Color", kPropertyTypeColor, 3},       {"Integer", kPropertyTypeInteger, 1},
        {"Vector", kPropertyTypeVector, 3},     {"Number", kPropertyTypeDouble, 1},
        {"Roll", kPropertyTypeDouble, 1},       {"FieldOfView", kPropertyTypeDouble, 1},
        {"Intensity", kPropertyTypeDouble, 1},  {"Cone angle", kPropertyTypeDouble, 1},
        {"Fog", kPropertyTypeDouble, 1},        {"Shape", kPropertyTypeDouble, 1},
        {"Lcl Translation", kPropertyTypeVector, 3}, {"Lcl Rotation", kPropertyTypeVector, 3},
        {"Lcl Scaling", kPropertyTypeVector, 3},     {"Visibility", kPropertyTypeDouble, 1},
        {"Occlusion", kPropertyTypeDouble, 1},       {"IK Reach Translation", kPropertyTypeDouble, 1},
        {"IK Reach Rotation", kPropertyTypeDouble, 1}, {"ColorAndAlpha", kPropertyTypeColorRGBA, 4},
        {"Vector4", kPropertyTypeVector4, 4},
    };
    for (const Row& row : rows) {
        KDataType* type = KDataTypeGet(row.mName);
        ASSERT_NE(nullptr, type) << row.mName;
        EXPECT_STREQ(row.mName, type->GetName());
        EXPECT_EQ(row.mType, DataTypeToPropertyType(type)) << row.mName;
        EXPECT_EQ(row.mMembers, type->GetMemberCount()) << row.mName;
        EXPECT_EQ(KPropertyTypeGetInfo(row.mType).mSize, type->SizeOf()) << row.mName;
    }
    KDataType* unidentified = KDataTypeGet("Unidentified");
    ASSERT_NE(nullptr, unidentified);
    EXPECT_EQ(kPropertyTypeNone, DataTypeToPropertyType(unidentified));
    EXPECT_EQ(nullptr, KDataTypeGet("lcl translation"));
    EXPECT_EQ(nullptr, KDataTypeGet(""));
    EXPECT_EQ(nullptr, KDataTypeGet(nullptr));
    EXPECT_EQ(kPropertyTypeNone, DataTypeToPropertyType(nullptr));
}

TEST(KDataType, GlobalNamesAreTheRegisteredObjects) {
    EXPECT_EQ(KDataTypeGet("Lcl Translation"), &KDataTypeLclTranslation);
    EXPECT_EQ(&KDataTypeLclTranslation, &KDataTypeTranslation);
    EXPECT_EQ(&KDataTypeLclRotation, &KDataTypeRotation);
    EXPECT_EQ(&KDataTypeLclScaling, &KDataTypeScaling);
    EXPECT_NE(&KDataTypeLclTranslation, &KDataTypeLclRotation);
    EXPECT_EQ(KDataTypeGet("Visibility"), &KDataTypeVisibility);
    EXPECT_EQ(KDataTypeGet("Number"), &KDataTypeNumber);
    EXPECT_EQ(KDataTypeGet("Color"), &KDataTypeColor);
    EXPECT_EQ(KDataTypeGet("Occlusion"), &KDataTypeOcclusion);
    EXPECT_EQ(KDataTypeGet("IK Reach Translation"), &KDataTypeIKReachTranslation);
    EXPECT_EQ(KDataTypeGet("IK Reach Rotation"), &KDataTypeIKReachRotation);
    EXPECT_EQ(KDataTypeGet("TimeWarp"), &KDataTypeTimeWarp);
    EXPECT_STREQ("Lcl Scaling", KDataTypeScaling.GetName());
    std::set<std::string> names;
    for (int i = 0; i < KDataTypeGetCount(); ++i) EXPECT_TRUE(names.insert(KDataTypeGetAt(i)->GetName()).second);
    EXPECT_EQ(nullptr, KDataTypeGetAt(KDataTypeGetCount()));
}

TEST(KDataType, BareTypeCodesHaveADataType) {
    EXPECT_EQ(&KDataTypeBool, KDataTypeFromPropertyType(kPropertyTypeBool));
    EXPECT_EQ(&KDataTypeNumber, KDataTypeFromPropertyType(kPropertyTypeDouble));
    EXPECT_EQ(&KDataTypeVector, KDataTypeFromPropertyType(kPropertyTypeVector));
    EXPECT_EQ(&KDataTypeInteger, KDataTypeFromPropertyType(kPropertyTypeInteger));
    EXPECT_EQ(nullptr, KDataTypeFromPropertyType(kPropertyTypeNone));
    EXPECT_EQ(nullptr, KDataTypeFromPropertyType(kPropertyTypeAction));
    EXPECT_EQ(nullptr, KDataTypeFromPropertyType(99));
}

TEST(KPropertyType, TableRowsMatchTheirCodes) {
    for (int code = 0; code <= 17; ++code) EXPECT_EQ(code, KPropertyTypeGetInfo(code).mType);
    EXPECT_EQ(kPropertyTypeNone, KPropertyTypeGetInfo(-1).mType);
    EXPECT_EQ(kPropertyTypeNone, KPropertyTypeGetInfo(1000).mType);
}

#include "object/kdatatype.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "object/kpropertytemplate.h"

using namespace zeqsdk_400;

TEST(KDataType, NamesTheLoaderBuildsTheirTypesAndGlobals) {
    struct Row {
        const char* mName;
        kPropertyType mType;
        int mMembers;
        KDataType* mGlobal;  // the named global that must be this very object
    } rows[] = {
        {"Bool", kPropertyTypeBool, 1, &KDataTypeBool}, {"Real", kPropertyTypeDouble, 1, &KDataTypeReal},
        {"Color", kPropertyTypeColor, 3, &KDataTypeColor}, {"Integer", kPropertyTypeInteger, 1, &KDataTypeInteger},
        {"Vector", kPropertyTypeVector, 3, &KDataTypeVector}, {"Number", kPropertyTypeDouble, 1, &KDataTypeNumber},
        {"Roll", kPropertyTypeDouble, 1, nullptr}, {"FieldOfView", kPropertyTypeDouble, 1, nullptr},
        {"Intensity", kPropertyTypeDouble, 1, nullptr}, {"Cone angle", kPropertyTypeDouble, 1, nullptr},
        {"Fog", kPropertyTypeDouble, 1, nullptr}, {"Shape", kPropertyTypeDouble, 1, nullptr},
        {"Lcl Translation", kPropertyTypeVector, 3, &KDataTypeTranslation},
        {"Lcl Rotation", kPropertyTypeVector, 3, &KDataTypeRotation},
        {"Lcl Scaling", kPropertyTypeVector, 3, &KDataTypeScaling},
        {"Visibility", kPropertyTypeDouble, 1, &KDataTypeVisibility},
        {"Occlusion", kPropertyTypeDouble, 1, &KDataTypeOcclusion},
        {"IK Reach Translation", kPropertyTypeDouble, 1, &KDataTypeIKReachTranslation},
        {"IK Reach Rotation", kPropertyTypeDouble, 1, &KDataTypeIKReachRotation},
        {"ColorAndAlpha", kPropertyTypeColorRGBA, 4, nullptr}, {"Vector4", kPropertyTypeVector4, 4, nullptr},
    };
    for (const Row& row : rows) {
        KDataType* type = KDataTypeGet(row.mName);
        ASSERT_NE(nullptr, type) << row.mName;
        EXPECT_EQ(row.mType, DataTypeToPropertyType(type)) << row.mName;
        EXPECT_EQ(row.mMembers, type->GetMemberCount()) << row.mName;
        EXPECT_EQ(KPropertyTypeGetInfo(row.mType).mSize, type->SizeOf()) << row.mName;
        EXPECT_TRUE(!row.mGlobal || row.mGlobal == type) << row.mName;
    }
    EXPECT_EQ(&KDataTypeLclTranslation, &KDataTypeTranslation);
    EXPECT_EQ(&KDataTypeLclRotation, &KDataTypeRotation);
    EXPECT_EQ(&KDataTypeLclScaling, &KDataTypeScaling);
    EXPECT_EQ(KDataTypeGet("TimeWarp"), &KDataTypeTimeWarp);
    EXPECT_EQ(kPropertyTypeNone, DataTypeToPropertyType(KDataTypeGet("Unidentified")));
    EXPECT_EQ(nullptr, KDataTypeGet("lcl translation"));
    EXPECT_EQ(nullptr, KDataTypeGet(""));
    EXPECT_EQ(nullptr, KDataTypeGet(nullptr));
    EXPECT_EQ(kPropertyTypeNone, DataTypeToPropertyType(nullptr));
    std::set<std::string> names;
    for (int i = 0; i < KDataTypeGetCount(); ++i) EXPECT_TRUE(names.insert(KDataTypeGetAt(i)->GetName()).second);
    EXPECT_EQ(nullptr, KDataTypeGetAt(KDataTypeGetCount()));
}

TEST(KDataType, BareTypeCodesHaveADataType) {
    KPropertyTemplate<KgeTVector> property;  // a property without its own data type falls back on its type code
    EXPECT_EQ(nullptr, property.GetPropertyDataType());
    property.SetPropertyType(kPropertyTypeVector);
    EXPECT_EQ(&KDataTypeVector, property.GetPropertyDataType());
    property.SetPropertyDataType(&KDataTypeLclScaling);
    EXPECT_EQ(&KDataTypeLclScaling, property.GetPropertyDataType());
    EXPECT_EQ(&KDataTypeBool, KDataTypeFromPropertyType(kPropertyTypeBool));
    EXPECT_EQ(&KDataTypeNumber, KDataTypeFromPropertyType(kPropertyTypeDouble));
    EXPECT_EQ(&KDataTypeVector, KDataTypeFromPropertyType(kPropertyTypeVector));
    EXPECT_EQ(&KDataTypeInteger, KDataTypeFromPropertyType(kPropertyTypeInteger));
    EXPECT_EQ(nullptr, KDataTypeFromPropertyType(kPropertyTypeNone));
    EXPECT_EQ(nullptr, KDataTypeFromPropertyType(kPropertyTypeAction));
    EXPECT_EQ(nullptr, KDataTypeFromPropertyType(99));
}

#include "object/kdatatype.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "object/kpropertytemplate.h"

using namespace zeqsdk_400;

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
    for (int i = 0; i < KDataTypeGetCount(); ++i) EXPECT_TRUE(names.insert(KDataTypeGetAt(i)->GetName()).second);
    EXPECT_EQ(nullptr, KDataTypeGetAt(KDataTypeGetCount()));
    // A property without its own data type falls back on its type code's.
    KPropertyTemplate<KgeTVector> property;
    EXPECT_EQ(nullptr, property.GetPropertyDataType());
    property.SetPropertyType(kPropertyTypeVector);
    EXPECT_EQ(&KDataTypeVector, property.GetPropertyDataType());
    property.SetPropertyDataType(&KDataTypeLclScaling);
    EXPECT_EQ(&KDataTypeLclScaling, property.GetPropertyDataType());
}

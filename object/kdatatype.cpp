#include "object/kdatatype.h"

#include <cstring>

namespace zeqsdk_400 {

namespace {

// The first row of each property type code is the data type of that bare code.
KDataType gDataTypes[] = {
    {"Integer", kPropertyTypeInteger, 1, 4},
    {"Bool", kPropertyTypeBool, 1, 1},
    {"Float", kPropertyTypeFloat, 1, 4},
    {"Number", kPropertyTypeDouble, 1, 8},
    {"Enum", kPropertyTypeEnum, 1, 4},
    {"Object", kPropertyTypeObject, 0, 0},
    {"Vector4", kPropertyTypeVector4, 4, 32},
    {"Vector", kPropertyTypeVector, 3, 24},
    {"Color", kPropertyTypeColor, 3, 24},
    {"ColorAndAlpha", kPropertyTypeColorRGBA, 4, 32},
    {"Real", kPropertyTypeDouble, 1, 8},
    {"Unidentified", kPropertyTypeNone, 0, 0},
    {"Lcl Translation", kPropertyTypeVector, 3, 24},
    {"Lcl Rotation", kPropertyTypeVector, 3, 24},
    {"Lcl Scaling", kPropertyTypeVector, 3, 24},
    {"Visibility", kPropertyTypeDouble, 1, 8},
    {"Occlusion", kPropertyTypeDouble, 1, 8},
    {"IK Reach Translation", kPropertyTypeDouble, 1, 8},
    {"IK Reach Rotation", kPropertyTypeDouble, 1, 8},
    {"TimeWarp", kPropertyTypeDouble, 1, 8},
    {"Roll", kPropertyTypeDouble, 1, 8},
    {"FieldOfView", kPropertyTypeDouble, 1, 8},
    {"Intensity", kPropertyTypeDouble, 1, 8},
    {"Cone angle", kPropertyTypeDouble, 1, 8},
    {"Fog", kPropertyTypeDouble, 1, 8},
    {"Shape", kPropertyTypeDouble, 1, 8},
};
constexpr int kDataTypeCount = static_cast<int>(sizeof(gDataTypes) / sizeof(gDataTypes[0]));

}  // namespace

// References bound to static objects: constant initialisation, no order issue.
KDataType& KDataTypeInteger = gDataTypes[0];
KDataType& KDataTypeBool = gDataTypes[1];
KDataType& KDataTypeNumber = gDataTypes[3];
KDataType& KDataTypeVector = gDataTypes[7];
KDataType& KDataTypeColor = gDataTypes[8];
KDataType& KDataTypeReal = gDataTypes[10];
KDataType& KDataTypeLclTranslation = gDataTypes[12];
KDataType& KDataTypeLclRotation = gDataTypes[13];
KDataType& KDataTypeLclScaling = gDataTypes[14];
KDataType& KDataTypeTranslation = gDataTypes[12];
KDataType& KDataTypeRotation = gDataTypes[13];
KDataType& KDataTypeScaling = gDataTypes[14];
KDataType& KDataTypeVisibility = gDataTypes[15];
KDataType& KDataTypeOcclusion = gDataTypes[16];
KDataType& KDataTypeIKReachTranslation = gDataTypes[17];
KDataType& KDataTypeIKReachRotation = gDataTypes[18];
KDataType& KDataTypeTimeWarp = gDataTypes[19];

KDataType* KDataTypeGet(const char* name) {
    if (!name) return nullptr;
    for (KDataType& type : gDataTypes)
        if (std::strcmp(type.GetName(), name) == 0) return &type;
    return nullptr;
}

kPropertyType DataTypeToPropertyType(const KDataType* dataType) {
    return dataType ? dataType->GetType() : kPropertyTypeNone;
}

KDataType* KDataTypeFromPropertyType(int type) {
    if (type == kPropertyTypeNone) return nullptr;
    for (KDataType& dataType : gDataTypes)
        if (dataType.GetType() == type) return &dataType;
    return nullptr;
}

int KDataTypeGetCount() { return kDataTypeCount; }

KDataType* KDataTypeGetAt(int index) {
    if (index < 0 || index >= kDataTypeCount) return nullptr;
    return &gDataTypes[index];
}

}  // namespace zeqsdk_400

#include "object/kpropertytype.h"

namespace zeqsdk_400 {

namespace {

constexpr KPropertyTypeInfo kTypes[] = {
    {kPropertyTypeNone, KPropertyValueKind::eNone, 0, 0},
    {kPropertyTypeInteger, KPropertyValueKind::eInteger, 1, 4},
    {kPropertyTypeBool, KPropertyValueKind::eBool, 1, 1},
    {kPropertyTypeFloat, KPropertyValueKind::eFloat, 1, 4},
    {kPropertyTypeDouble, KPropertyValueKind::eDouble, 1, 8},
    {kPropertyTypeCharPtr, KPropertyValueKind::eNone, 0, 0},
    {kPropertyTypeEnum, KPropertyValueKind::eInteger, 1, 4},
    {kPropertyTypeTime, KPropertyValueKind::eNone, 0, 0},
    {kPropertyTypeString, KPropertyValueKind::eNone, 0, 0},
    {kPropertyTypeObject, KPropertyValueKind::eNone, 0, 0},
    {static_cast<kPropertyType>(10), KPropertyValueKind::eNone, 0, 0},
    {static_cast<kPropertyType>(11), KPropertyValueKind::eNone, 0, 0},
    {kPropertyTypeVector4, KPropertyValueKind::eDoubles, 4, 32},
    {kPropertyTypeVector, KPropertyValueKind::eDoubles, 3, 24},
    {kPropertyTypeColor, KPropertyValueKind::eDoubles, 3, 24},
    {kPropertyTypeColorRGBA, KPropertyValueKind::eDoubles, 4, 32},
    {kPropertyTypeAction, KPropertyValueKind::eNone, 0, 0},
    {kPropertyTypeProperty, KPropertyValueKind::eNone, 0, 0},
};
constexpr int kTypeCount = static_cast<int>(sizeof(kTypes) / sizeof(kTypes[0]));

constexpr bool RowsMatchCodes() {
    for (int i = 0; i < kTypeCount; ++i)
        if (kTypes[i].mType != i) return false;
    return true;
}
static_assert(RowsMatchCodes(), "row i describes type code i");

constexpr bool RowsFitTheLimits() {
    for (const KPropertyTypeInfo& row : kTypes)
        if (row.mMemberCount > kPropertyMaxMembers || row.mSize > kPropertyMaxDataSize) return false;
    return true;
}
static_assert(RowsFitTheLimits(), "values exchanged as doubles fit the fixed buffers");

}  // namespace

const KPropertyTypeInfo& KPropertyTypeGetInfo(int type) {
    if (type < 0 || type >= kTypeCount) return kTypes[0];
    return kTypes[type];
}

}  // namespace zeqsdk_400

#ifndef ZEQ_OBJECT_KPROPERTYTYPE_H
#define ZEQ_OBJECT_KPROPERTYTYPE_H

namespace zeqsdk_400 {

// Value type code of a property.
enum kPropertyType {
    kPropertyTypeNone = 0,
    kPropertyTypeInteger = 1,
    kPropertyTypeBool = 2,
    kPropertyTypeFloat = 3,
    kPropertyTypeDouble = 4,
    kPropertyTypeCharPtr = 5,
    kPropertyTypeEnum = 6,
    kPropertyTypeTime = 7,
    kPropertyTypeString = 8,
    kPropertyTypeObject = 9,
    kPropertyTypeVector4 = 12,  // four doubles
    kPropertyTypeVector = 13,   // KgeTVector: x, y, z exchanged, fourth component kept
    kPropertyTypeColor = 14,    // three doubles
    kPropertyTypeColorRGBA = 15,  // four doubles
    kPropertyTypeAction = 16,
    kPropertyTypeProperty = 17
};

// How the values of a type code are exchanged (GetData / SetData) and stored.
enum class KPropertyValueKind { eNone, eInteger, eBool, eFloat, eDouble, eDoubles };

struct KPropertyTypeInfo {
    kPropertyType mType;
    KPropertyValueKind mKind;  // what one member is
    int mMemberCount;          // members exchanged (0: no value)
    int mSize;                 // bytes exchanged by GetData / SetData
};

// The most members a value has, and the most bytes GetData / SetData exchange.
constexpr int kPropertyMaxMembers = 4;
constexpr int kPropertyMaxDataSize = 32;

// The row of a type code; a row of kind eNone for codes without values.
const KPropertyTypeInfo& KPropertyTypeGetInfo(int type);

}  // namespace zeqsdk_400

#endif

#ifndef ZEQ_OBJECT_KDATATYPE_H
#define ZEQ_OBJECT_KDATATYPE_H

#include <string>
#include <string_view>

#include "object/kpropertytype.h"

namespace zeqsdk_400 {

// Named data type of a property or curve channel. The data types are built-in
// objects, constant-initialised (so usable from any static initialiser) and
// compared by identity.
class KDataType {
public:
    constexpr KDataType(const char* name, kPropertyType type, int memberCount, int size)
        : mName(name),
          mNameLength(name ? std::char_traits<char>::length(name) : 0),
          mType(type),
          mMemberCount(memberCount),
          mSize(size) {}
    KDataType(const KDataType&) = delete;
    KDataType& operator=(const KDataType&) = delete;

    const char* GetName() const { return mName; }
    // The name with its length (measured once).
    std::string_view GetNameView() const { return std::string_view(mName ? mName : "", mNameLength); }
    kPropertyType GetType() const { return mType; }
    // 1 for a number, 3 for a vector or colour, 4 for a four-component value.
    int GetMemberCount() const { return mMemberCount; }
    // Bytes of the value exchanged by a property of this type.
    int SizeOf() const { return mSize; }

private:
    const char* mName;
    std::size_t mNameLength;
    kPropertyType mType;
    int mMemberCount;
    int mSize;
};

// The built-in data type of that name (exact), null when none.
KDataType* KDataTypeGet(const char* name);
// The property type code of a data type; kPropertyTypeNone for none.
kPropertyType DataTypeToPropertyType(const KDataType* dataType);
// The data type that stands for a bare type code (used when a property has no
// data type of its own), null for codes that have none.
KDataType* KDataTypeFromPropertyType(int type);
int KDataTypeGetCount();
KDataType* KDataTypeGetAt(int index);

// Named built-in data types. The translation, rotation and scaling names are
// two names of one object each ("Lcl Translation", "Lcl Rotation", "Lcl Scaling").
extern KDataType& KDataTypeBool;
extern KDataType& KDataTypeInteger;
extern KDataType& KDataTypeNumber;
extern KDataType& KDataTypeReal;
extern KDataType& KDataTypeVector;
extern KDataType& KDataTypeColor;
extern KDataType& KDataTypeLclTranslation;
extern KDataType& KDataTypeLclRotation;
extern KDataType& KDataTypeLclScaling;
extern KDataType& KDataTypeTranslation;
extern KDataType& KDataTypeRotation;
extern KDataType& KDataTypeScaling;
extern KDataType& KDataTypeVisibility;
extern KDataType& KDataTypeOcclusion;
extern KDataType& KDataTypeIKReachTranslation;
extern KDataType& KDataTypeIKReachRotation;
extern KDataType& KDataTypeTimeWarp;

}  // namespace zeqsdk_400

#endif

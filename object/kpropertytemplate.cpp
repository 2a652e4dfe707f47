#include "object/kpropertytemplate.h"

#include "object/kpropertyobjectlist.h"

namespace zeqsdk_400 {

namespace {

template <class T>
KProperty* Make() {
    return new KPropertyTemplate<T>;
}

// An enumeration held as a 32-bit integer.
enum KPropertyAnyEnum : std::int32_t {};

KProperty* MakeObjectList() { return new KPropertyObjectList; }

struct Factory {
    kPropertyType mType;
    KProperty* (*mMake)();
};

// The value holder made for each type code that can be created at run time.
constexpr Factory kFactories[] = {
    {kPropertyTypeInteger, &Make<int>},
    {kPropertyTypeBool, &Make<bool>},
    {kPropertyTypeFloat, &Make<float>},
    {kPropertyTypeDouble, &Make<double>},
    {kPropertyTypeEnum, &Make<KPropertyAnyEnum>},
    {kPropertyTypeObject, &MakeObjectList},
    {kPropertyTypeVector4, &Make<KZeqVector4>},
    {kPropertyTypeVector, &Make<KgeTVector>},
    {kPropertyTypeColor, &Make<KgeRGBVector>},
    {kPropertyTypeColorRGBA, &Make<KZeqColor>},
};

}  // namespace

KProperty* KProperty::CreateOfType(kPropertyType type) {
    for (const Factory& factory : kFactories)
        if (factory.mType == type) return factory.mMake();
    return nullptr;
}

}  // namespace zeqsdk_400

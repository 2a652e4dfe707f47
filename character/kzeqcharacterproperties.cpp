#include "character/kzeqcharacterproperties.h"

#include <cstdio>
#include <cstdint>
#include <type_traits>

#include "character/kfilterparamtable.h"
#include "character/kzeqcharacter.h"
#include "character/kzeqcontrolset.h"
#include "character/kzeqcontrolsetplug.h"
#include "character/kzeqfilterset.h"
#include "scene/kzeqnode.h"

namespace zeqsdk_400 {

KZEQ_CLASS_IMPLEMENT(KZeqCharacterProperties, KZeqPropertyHandler, "KZeqCharacterProperties")

namespace {

typedef KZeqCharacterPropertyRow Row;

// Vectors are handed out with a fourth component of 1, whatever is held.
template <class T>
T Held(const KPropertyTemplate<T>& property) {
    return property.Value();
}
KgeTVector Held(const KPropertyTemplate<KgeTVector>& property) {
    const KgeTVector& v = property.Value();
    return KgeTVector(v.mData[0], v.mData[1], v.mData[2], 1.0);
}

// Neither test holds for NaN, which passes unchanged.
double Clamp(double value, double low, double high) {
    if (value < low) return low;
    if (value > high) return high;
    return value;
}

KZeqNode* NodeOf(KPlug* plug) {
    return plug && plug->Is(KZeqNodeProperties::ClassId) ? static_cast<KZeqNodeProperties*>(plug)->GetKZeqNode()
                                                         : nullptr;
}

KZeqControlSetPlug* ControlSetPlugOf(KPlug* plug) {
    return plug && plug->Is(KZeqControlSetPlugProperties::ClassId)
               ? static_cast<KZeqControlSetPlugProperties*>(plug)->GetKZeqControlSetPlug()
               : nullptr;
}

// Figures of the table, checked where it is compiled.
#define KZEQ_ROW_FIGURES(No, Name, Type, Flags, Kind, Param, Way)                                              \
    {No, std::is_same<Type, double>::value, std::is_same<Type, bool>::value, std::is_enum<Type>::value,        \
     std::is_same<Type, KgeTVector>::value, Row::Flags, Row::eSet##Kind, Row::eCopy##Way},
#define KZEQ_ENUM_ROW_FIGURES(No, Name, Type, Flags, Kind, Param, Way, Text) \
    KZEQ_ROW_FIGURES(No, Name, Type, Flags, Kind, Param, Way)
struct RowFigures {
    int mNo;
    bool mDouble, mBool, mEnum, mVector;
    unsigned mFlags;
    Row::ESet mSet;
    Row::ECopy mCopy;
};
constexpr RowFigures kFigures[] = {KZEQ_CHARACTER_PROPERTIES(KZEQ_ROW_FIGURES, KZEQ_ENUM_ROW_FIGURES)};
#undef KZEQ_ROW_FIGURES
#undef KZEQ_ENUM_ROW_FIGURES
static_assert(sizeof(kFigures) / sizeof(kFigures[0]) == kCharacterTypedPropertyCount, "191 typed properties");

struct Counts {
    int mDouble = 0, mBool = 0, mEnum = 0, mVector = 0, mReadOnly = 0, mAnimatable = 0, mPlain = 0, mBound = 0;
    bool mValid = true;  // every position once; flags and setters fit the types
};
constexpr Counts Count() {
    Counts c;
    bool seen[kCharacterTypedPropertyCount + 1] = {};
    for (const RowFigures& r : kFigures) {
        if (r.mNo < 1 || r.mNo > kCharacterTypedPropertyCount || seen[r.mNo]) c.mValid = false;
        if (r.mNo >= 1 && r.mNo <= kCharacterTypedPropertyCount) seen[r.mNo] = true;
        c.mDouble += r.mDouble;
        c.mBool += r.mBool;
        c.mEnum += r.mEnum;
        c.mVector += r.mVector;
        const bool readOnly = (r.mFlags & Row::R) != 0;
        c.mReadOnly += readOnly;
        c.mAnimatable += (r.mFlags & Row::A) != 0;
        c.mPlain += r.mSet == Row::eSetPlain;
        c.mBound += r.mSet > Row::eSetPlain;
        if (readOnly != (r.mSet == Row::eSetNone)) c.mValid = false;
        if ((r.mFlags & Row::A) && !(r.mDouble || r.mVector)) c.mValid = false;
    }
    return c;
}
constexpr Counts kCounts = Count();
static_assert(kCounts.mValid, "positions and flags of the property table");
static_assert(kCounts.mDouble == 137 && kCounts.mBool == 26 && kCounts.mEnum == 26 && kCounts.mVector == 2,
              "value types");
static_assert(kCounts.mReadOnly == 75 && kCounts.mAnimatable == 100, "read-only and animatable properties");
static_assert(kCounts.mPlain == 27 && kCounts.mBound == 89, "setters that only store and setters that send");

// The rows by list position.
struct Order {
    int mRow[kCharacterTypedPropertyCount];
};
constexpr Order MakeOrder() {
    Order order{};
    for (int i = 0; i < kCharacterTypedPropertyCount; ++i) order.mRow[kFigures[i].mNo - 1] = i;
    return order;
}
constexpr Order kOrder = MakeOrder();

constexpr double kIterationsLow = 0.0, kIterationsHigh = 30.0;
constexpr double kLengthLow = 0.01, kLengthHigh = 1000.0;

}  // namespace

// What the constructor and the copy do with each row, in table order.
struct KZeqCharacterProperties::Rows {
    typedef KZeqCharacterProperties Self;
    struct Ops {
        KProperty& (*mProperty)(Self&);
        // Listed, typed and bound to the accessors (and the text function).
        void (*mBind)(Self&);
        void (*mCopy)(Self&);
    };
    static const Ops kOps[kCharacterTypedPropertyCount];
};

#define KZEQ_SETTER_OF_None(Name) nullptr
#define KZEQ_SETTER_OF_ANY(Name) &Self::Name##Set
#define KZEQ_SETTER_OF_Plain KZEQ_SETTER_OF_ANY
#define KZEQ_SETTER_OF_Iterations KZEQ_SETTER_OF_ANY
#define KZEQ_SETTER_OF_Length KZEQ_SETTER_OF_ANY
#define KZEQ_SETTER_OF_EnumValue KZEQ_SETTER_OF_ANY
#define KZEQ_SETTER_OF_BoolMode KZEQ_SETTER_OF_ANY
#define KZEQ_SETTER_OF_EnumMode KZEQ_SETTER_OF_ANY
#define KZEQ_ROW_OPS(No, Name, Type, Flags, Kind, Param, Way, TextBinding)                                     \
    {[](Self& s) -> KProperty& { return s.Name; },                                                             \
     [](Self& s) {                                                                                             \
         s.PropertyAddToList(&s.Name);                                                                         \
         s.Name.SetPropertyType(std::is_enum<Type>::value ? kPropertyTypeNone                                  \
                                                          : KPropertyGetType(static_cast<Type*>(nullptr)));    \
         s.Name.SetPropertyInfo(#Name, &s, &Self::Name##Get, KZEQ_SETTER_OF_##Kind(Name));                     \
         TextBinding                                                                                           \
     },                                                                                                        \
     [](Self& s) { s.Copy<Row::eCopy##Way, FilterParamIndex(#Param)>(s.Name); }},
#define KZEQ_PLAIN_ROW_OPS(No, Name, Type, Flags, Kind, Param, Way) \
    KZEQ_ROW_OPS(No, Name, Type, Flags, Kind, Param, Way, )
#define KZEQ_ENUM_ROW_OPS(No, Name, Type, Flags, Kind, Param, Way, Text) \
    KZEQ_ROW_OPS(No, Name, Type, Flags, Kind, Param, Way,                \
                 s.Name.SetPropertyType(kPropertyTypeEnum);              \
                 s.Name.GetPropertyInfo().SetAsStringFunc(&Self::Name##AsString);)
constexpr KZeqCharacterProperties::Rows::Ops KZeqCharacterProperties::Rows::kOps[kCharacterTypedPropertyCount] = {
    KZEQ_CHARACTER_PROPERTIES(KZEQ_PLAIN_ROW_OPS, KZEQ_ENUM_ROW_OPS)};
#undef KZEQ_ROW_OPS
#undef KZEQ_PLAIN_ROW_OPS
#undef KZEQ_ENUM_ROW_OPS

// ---- Accessors ---------------------------------------------------------------------------------

#define KZEQ_DEFINE_SETTER_None(Name, Type, Kind, Param)
#define KZEQ_DEFINE_SETTER_ANY(Name, Type, Kind, Param)  \
    void KZeqCharacterProperties::Name##Set(Type value) { \
        Store<Row::eSet##Kind, FilterParamIndex(#Param)>(Name, value); \
    }
#define KZEQ_DEFINE_SETTER_Plain KZEQ_DEFINE_SETTER_ANY
#define KZEQ_DEFINE_SETTER_Iterations KZEQ_DEFINE_SETTER_ANY
#define KZEQ_DEFINE_SETTER_Length KZEQ_DEFINE_SETTER_ANY
#define KZEQ_DEFINE_SETTER_EnumValue KZEQ_DEFINE_SETTER_ANY
#define KZEQ_DEFINE_SETTER_BoolMode KZEQ_DEFINE_SETTER_ANY
#define KZEQ_DEFINE_SETTER_EnumMode KZEQ_DEFINE_SETTER_ANY
#define KZEQ_DEFINE_ACCESSORS(No, Name, Type, Flags, Kind, Param, Way) \
    KZEQ_DEFINE_SETTER_##Kind(Name, Type, Kind, Param)                 \
    Type KZeqCharacterProperties::Name##Get() { return Held(Name); }
#define KZEQ_DEFINE_ENUM_ACCESSORS(No, Name, Type, Flags, Kind, Param, Way, Text) \
    KZEQ_DEFINE_ACCESSORS(No, Name, Type, Flags, Kind, Param, Way)                \
    const char* KZeqCharacterProperties::Name##AsString(Type value) { return KCharacter_Get##Text##String(value); }

// The store, and what goes on to the filter set, of every setter.
template <KZeqCharacterProperties::ESet Kind, int Parameter, class T>
void KZeqCharacterProperties::Store(KPropertyTemplate<T>& property, T value) {
    static_assert(Kind == Row::eSetPlain || Parameter >= 0, "a setter that sends names its row");
    if constexpr (Kind == Row::eSetIterations || Kind == Row::eSetLength) {
        static_assert(std::is_same<T, double>::value, "only numbers are clamped");
        value = Kind == Row::eSetIterations ? Clamp(value, kIterationsLow, kIterationsHigh)
                                            : Clamp(value, kLengthLow, kLengthHigh);
    }
    property.Value() = value;
    if constexpr (Kind == Row::eSetPlain) return;
    KZeqFilterSet* filters = mCharacter ? mCharacter->GetFilterSet() : nullptr;
    if (!filters) return;
    if constexpr (Kind == Row::eSetIterations || Kind == Row::eSetLength) {
        filters->SetParameterValue(Parameter, value, 0);
    } else if constexpr (Kind == Row::eSetEnumValue) {
        static_assert(std::is_enum<T>::value, "enumerations only");
        filters->SetParameterValue(Parameter, static_cast<double>(static_cast<std::uint32_t>(value)), 0);
    } else if constexpr (Kind == Row::eSetBoolMode) {
        static_assert(std::is_same<T, bool>::value, "switches only");
        filters->SetParameterMode(Parameter, value ? 1 : 0);
    } else if constexpr (Kind == Row::eSetEnumMode) {
        static_assert(std::is_enum<T>::value, "mode enumerations only");
        filters->SetParameterMode(Parameter, static_cast<int>(value));
    }
}

KZEQ_CHARACTER_PROPERTIES(KZEQ_DEFINE_ACCESSORS, KZEQ_DEFINE_ENUM_ACCESSORS)

// ---- Filter set into the properties -------------------------------------------------------------

template <KZeqCharacterProperties::ECopy Way, int Parameter, class T>
void KZeqCharacterProperties::Copy(KPropertyTemplate<T>& property) {
    if constexpr (Way == Row::eCopyNone) {
        return;
    } else {
        static_assert(Parameter >= 0, "a copied property names its row");
        const KZeqFilterSet& filters = *mCharacter->GetFilterSet();
        if constexpr (Way == Row::eCopyDirect) {
            static_assert(std::is_same<T, double>::value, "values");
            property.Value() = filters.GetParameterValue(Parameter, 0);
        } else if constexpr (Way == Row::eCopyDirectEnum) {
            static_assert(std::is_enum<T>::value, "enumerations");
            // Saturated, NaN as 0: a plain conversion is undefined out of range.
            property.Value() = static_cast<T>(KPropertyDoubleToInt(filters.GetParameterValue(Parameter, 0)));
        } else if constexpr (Way == Row::eCopyDirectBool) {
            static_assert(std::is_same<T, bool>::value, "switches");
            property.Value() = filters.GetParameterMode(Parameter) != 0;
        } else if constexpr (Way == Row::eCopyDirectMode || Way == Row::eCopyGenericMode) {
            static_assert(std::is_enum<T>::value, "modes");
            const T mode = static_cast<T>(filters.GetParameterMode(Parameter));
            if (Way == Row::eCopyDirectMode)
                property.Value() = mode;
            else
                property.Set(mode);
        } else if constexpr (Way == Row::eCopyGeneric) {
            static_assert(std::is_same<T, double>::value, "values");
            property.Set(filters.GetParameterValue(Parameter, 0));
        } else if constexpr (Way == Row::eCopyGenericVector) {
            static_assert(std::is_same<T, KgeTVector>::value, "vectors from three rows");
            // x, y and z only: the held fourth component stays.
            const double xyz[3] = {filters.GetParameterValue(Parameter, 0), filters.GetParameterValue(Parameter + 1, 0),
                                   filters.GetParameterValue(Parameter + 2, 0)};
            property.SetData(xyz);
        }
    }
}

void KZeqCharacterProperties::FilterSetToProperties() {
    if (!mCharacter || !mCharacter->GetFilterSet()) return;
    for (int position = 0; position < kCharacterTypedPropertyCount; ++position)
        Rows::kOps[kOrder.mRow[position]].mCopy(*this);
}

// ---- Construction ---------------------------------------------------------------------------------

KZeqCharacterProperties::KZeqCharacterProperties(KZeqCharacter* character) : mCharacter(character) {
    for (int position = 0; position < kCharacterTypedPropertyCount; ++position) {
        const int row = kOrder.mRow[position];
        Rows::kOps[row].mBind(*this);
        KProperty& property = Rows::kOps[row].mProperty(*this);
        if (kFigures[row].mFlags & Row::R) property.SetReadOnly(true);
        if (kFigures[row].mFlags & Row::F1) property.ModifyPropertyFlag(kPropertyFlagReserved, true);
    }
    Active.Set(true);
    Lock.Set(false);
    Weight.Set(100.0);
    for (int row = 0; row < kCharacterTypedPropertyCount; ++row)
        if (kFigures[row].mFlags & Row::A)
            Rows::kOps[row].mProperty(*this).GetPropertyInfo().ModifyFlag(KPropertyInfo::kFlagAnimatable, true);
    FilterSetToProperties();

    for (int id = 0; id < kCharacterNodeIdCount; ++id) {
        KZeqCharacterLink* link = mCharacter ? &mCharacter->mLinks[id] : nullptr;
        if (link) link->mLinkProperty.Clear();
        const char* node = nullptr;
        if (!KZeqCharacter::GetCharacterGroupNameByElement(static_cast<ECharacterNodeId>(id), node)) continue;
        char name[128];
        std::snprintf(name, sizeof name, "%sLink", node);
        KPropertyObjectList* list =
            KPropertyObjectList::Create(this, name, 0, -1, 1, KPlug::eDirectionSrcDst, kPropertyFlagNone);
        list->SetTag(id);
        mLinkLists[id] = list;
        if (link) link->mLinkProperty = list;
    }

    InitObjectList(SourceObject, "SourceObject", 8, KPlug::eDirectionSrc);
    InitObjectList(DestinationObject, "DestinationObject", 8, KPlug::eDirectionDst);
    InitObjectList(Actor, "Actor", 0, KPlug::eDirectionSrc);
    InitObjectList(Character, "Character", 0, KPlug::eDirectionSrc);
    InitObjectList(ControlSet, "ControlSet", 0, KPlug::eDirectionSrc);
}

void KZeqCharacterProperties::InitObjectList(KPropertyObjectList& list, const char* name, KPlug::kType kind,
                                             KPlug::kDirection direction) {
    PropertyAddToList(&list);
    list.Init();
    list.SetPropertyInfo(name, this, nullptr, nullptr);
    list.SetFilter(KPlug_GetFilter(-1), kind);
    list.SetPropertyType(kPropertyTypeObject);
    list.SetContentSpec(1, -1);
    list.SetDirection(direction);
}

KZeqCharacterProperties::~KZeqCharacterProperties() = default;

KZeqObject* KZeqCharacterProperties::GetKZeqObject() { return mCharacter; }

void KZeqCharacterProperties::DefaultValueChanged(KZeqUserProperty* property) {
    if (mCharacter) mCharacter->PropertyDefaultValueChanged(property);
}

// ---- Connections -------------------------------------------------------------------------------------

bool KZeqCharacterProperties::PlugNotify(KPlugCallstack* callstack, kPlugAction action, KPlug* plug, int index,
                                         KPlug* other, kConnectionType type, KPlug* replacement) {
    const bool connected = action == kPlugSrcConnected, disconnecting = action == kPlugSrcDisconnecting;
    if (mCharacter && (connected || disconnecting) && plug && plug != this) {
        if (plug == &ControlSet) {
            // Only a control set plug's properties rebuild the control set.
            KZeqControlSetPlug* source = connected ? ControlSetPlugOf(other) : nullptr;
            if (source) {
                mCharacter->GetControlSet()->FromPlug(source);
                return false;
            }
        } else if (KZeqNode* node = NodeOf(other)) {
            const int id = plug->GetTag();
            if (static_cast<unsigned>(id) < kCharacterNodeIdCount && mLinkLists[id] == plug) {
                // A connected node the link already holds (the character filled the
                // list) changes nothing; a node leaving clears the link only when it is
                // the link's node, since replacing an entry connects the new node first.
                const KZeqCharacterLink& held = mCharacter->mLinks[id];
                if (connected ? held.mNode != node : held.mNode == node) {
                    KZeqCharacterLink link = held;
                    link.mNode = connected ? node : nullptr;
                    mCharacter->SetCharacterLink(static_cast<ECharacterNodeId>(id), link, false);
                }
                return false;
            }
        }
    }
    return KZeqPropertyHandler::PlugNotify(callstack, action, plug, index, other, type, replacement);
}

}  // namespace zeqsdk_400

#ifndef ZEQ_CHARACTER_KZEQCHARACTERPROPERTIES_H
#define ZEQ_CHARACTER_KZEQCHARACTERPROPERTIES_H

#include "character/kzeqcharacternodeid.h"
#include "character/kzeqcharacterpropertytable.h"
#include "object/kpropertyobjectlist.h"
#include "object/kpropertytemplate.h"
#include "scene/kzeqpropertyhandler.h"

namespace zeqsdk_400 {

class KZeqCharacter;

// A character's solver settings, one node-link list per named node and five
// object lists, as properties of one object. Setting a bound property sends
// it to the character's filter set; connections made on the node-link lists
// and on "ControlSet" relink the character and rebuild its control set.
// Made and ended by its character only.
class KZeqCharacterProperties : public KZeqPropertyHandler {
    KZEQ_CLASS_DECLARE(KZeqCharacterProperties)

public:
    typedef KZeqCharacterPropertyRow::ESet ESet;
    typedef KZeqCharacterPropertyRow::ECopy ECopy;

    // Lists every property, copies the filter set in and ties a link list to
    // every named node of the character, whose links and filter set exist.
    explicit KZeqCharacterProperties(KZeqCharacter* character);
    ~KZeqCharacterProperties() override;

    bool PlugNotify(KPlugCallstack* callstack, kPlugAction action, KPlug* plug, int index, KPlug* other,
                    kConnectionType type, KPlug* replacement) override;
    void DefaultValueChanged(KZeqUserProperty* property) override;
    KZeqObject* GetKZeqObject() override;
    KZeqCharacter* GetKZeqCharacter() const { return mCharacter; }

    // The filter set's modes and values into the bound properties; run once
    // by the constructor. Nothing is sent back to the filter set.
    void FilterSetToProperties();

    // Each typed property with its getter and, unless read-only, its setter;
    // enumerations also with their display text (null outside the type).
#define KZEQ_CHARACTER_SETTER_None(Name, Type)
#define KZEQ_CHARACTER_SETTER_ANY(Name, Type) virtual void Name##Set(Type value);
#define KZEQ_CHARACTER_SETTER_Plain KZEQ_CHARACTER_SETTER_ANY
#define KZEQ_CHARACTER_SETTER_Iterations KZEQ_CHARACTER_SETTER_ANY
#define KZEQ_CHARACTER_SETTER_Length KZEQ_CHARACTER_SETTER_ANY
#define KZEQ_CHARACTER_SETTER_EnumValue KZEQ_CHARACTER_SETTER_ANY
#define KZEQ_CHARACTER_SETTER_BoolMode KZEQ_CHARACTER_SETTER_ANY
#define KZEQ_CHARACTER_SETTER_EnumMode KZEQ_CHARACTER_SETTER_ANY
#define KZEQ_CHARACTER_MEMBER(No, Name, Type, Flags, Set, Parameter, Copy) \
    KPropertyTemplate<Type> Name;                                          \
    KZEQ_CHARACTER_SETTER_##Set(Name, Type) virtual Type Name##Get();
#define KZEQ_CHARACTER_ENUM_MEMBER(No, Name, Type, Flags, Set, Parameter, Copy, Text) \
    KZEQ_CHARACTER_MEMBER(No, Name, Type, Flags, Set, Parameter, Copy)                \
    const char* Name##AsString(Type value);
    KZEQ_CHARACTER_PROPERTIES(KZEQ_CHARACTER_MEMBER, KZEQ_CHARACTER_ENUM_MEMBER)
#undef KZEQ_CHARACTER_MEMBER
#undef KZEQ_CHARACTER_ENUM_MEMBER
#undef KZEQ_CHARACTER_SETTER_None
#undef KZEQ_CHARACTER_SETTER_ANY
#undef KZEQ_CHARACTER_SETTER_Plain
#undef KZEQ_CHARACTER_SETTER_Iterations
#undef KZEQ_CHARACTER_SETTER_Length
#undef KZEQ_CHARACTER_SETTER_EnumValue
#undef KZEQ_CHARACTER_SETTER_BoolMode
#undef KZEQ_CHARACTER_SETTER_EnumMode

    // The object lists, read and written by index (at or past the count a
    // write appends).
#define KZEQ_CHARACTER_OBJECT_LIST(Name)                                                 \
    KPropertyObjectList Name;                                                            \
    bool Name##Set(int index, KObject* object) { return Name.SetAt(index, object); }     \
    KObject* Name##Get(int index) { return Name.GetAt(index); }
    KZEQ_CHARACTER_OBJECT_LIST(SourceObject)
    KZEQ_CHARACTER_OBJECT_LIST(DestinationObject)
    KZEQ_CHARACTER_OBJECT_LIST(Actor)
    KZEQ_CHARACTER_OBJECT_LIST(Character)
    KZEQ_CHARACTER_OBJECT_LIST(ControlSet)
#undef KZEQ_CHARACTER_OBJECT_LIST

private:
    struct Rows;

    template <ESet Kind, int Parameter, class T>
    void Store(KPropertyTemplate<T>& property, T value);
    template <ECopy Way, int Parameter, class T>
    void Copy(KPropertyTemplate<T>& property);
    void InitObjectList(KPropertyObjectList& list, const char* name, KPlug::kType kind, KPlug::kDirection direction);

    KZeqCharacter* mCharacter;
    // The node-link lists by node identifier (null for unnamed nodes); only
    // compared, to tell them from other object lists.
    KPropertyObjectList* mLinkLists[kCharacterNodeIdCount] = {};
};

}  // namespace zeqsdk_400

#endif

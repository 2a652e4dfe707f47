#ifndef ZEQ_OBJECT_KPROPERTYOBJECTLIST_H
#define ZEQ_OBJECT_KPROPERTYOBJECTLIST_H

#include "object/kobject.h"
#include "object/kproperty.h"

namespace zeqsdk_400 {

// Property whose value is the ordered list of the objects connected to it: its
// sources when bit 0 of its direction is set (direction 1 or 3, the default),
// else its destinations. Entries are connections, so an entry whose object is
// destroyed disappears from the list.
class KPropertyObjectList : public KProperty {
    KZEQ_CLASS_DECLARE(KPropertyObjectList)

public:
    KPropertyObjectList();

    // A dynamic object list on the heap, owned by owner and appended to its
    // property list: the name copied, no accessors, the content specification
    // (contentValue, classId; -1 accepts every class), the class filter of
    // classId with the given kind, the direction, property type 9, description
    // flags dynamic and object list, and the property flags.
    static KPropertyObjectList* Create(KObject* owner, const char* name, KPlug::kType kind, int classId,
                                       int contentValue, KPlug::kDirection direction, kPropertyFlag flags);

    // Marks the property's own description as a list and an object list; the
    // argument is not used.
    void Init(KPropertyInfo* unused = nullptr);
    // Stores the content value and the accepted class (-1: any) and sets the
    // class filter of that class, keeping the plug's kind. Objects of other
    // classes are refused from then on.
    void SetContentSpec(int contentValue, int classId);
    int GetContentValue() const { return mContentValue; }
    int GetContentClassId() const { return mContentClassId; }

    int GetCount() const;
    // The object at an index; null outside 0 to count-1 and for an entry that
    // is not an object.
    KObject* GetAt(int index) const;
    int Find(const KObject* object) const;
    // Connects the object as the new last entry; false when refused.
    bool Add(KObject* object);
    // Connects the object at index (at or past the count: appended); false for
    // a negative index or when refused.
    bool InsertAt(int index, KObject* object);
    // Replaces the entry at index, or appends when index is at or past the
    // count. A refused replacement leaves the list as it was. A negative index
    // is refused; a null object only removes the entry at index. True when the
    // object's connection was made.
    bool SetAt(int index, KObject* object);
    bool RemoveAt(int index);
    bool Remove(KObject* object);
    void Clear();
    // Raised by every change of the list.
    int GetUpdateCount() const { return mUpdateCount; }

    bool PlugNotify(KPlugCallstack* callstack, kPlugAction action, KPlug* plug, int index, KPlug* other,
                    kConnectionType type, KPlug* replacement) override;
    kPropertyType GetValueType() const override { return kPropertyTypeObject; }

private:
    bool ListIsSources() const { return (GetDirection() & eDirectionSrc) != 0; }
    bool Accepts(const KObject* object) const;
    KPlug* EntryAt(int index) const;
    bool ConnectAt(int index, KObject* object);

    int mContentValue = 0;
    int mContentClassId = -1;
    int mUpdateCount = 0;
};

}  // namespace zeqsdk_400

#endif

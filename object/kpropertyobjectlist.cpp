#include "object/kpropertyobjectlist.h"

namespace zeqsdk_400 {

KZEQ_CLASS_IMPLEMENT(KPropertyObjectList, KProperty, "KPropertyObjectList")

KPropertyObjectList::KPropertyObjectList() { SetPropertyType(kPropertyTypeObject); }

KPropertyObjectList* KPropertyObjectList::Create(KObject* owner, const char* name, KPlug::kType kind, int classId,
                                                 int contentValue, KPlug::kDirection direction, kPropertyFlag flags) {
    KPropertyObjectList* list = new KPropertyObjectList;
    list->ModifyPropertyFlag(flags, true);
    list->GetPropertyInfo().SetNameCopy(name ? name : "");
    list->mContentValue = contentValue;
    list->mContentClassId = classId;
    list->SetFilter(KPlug_GetFilter(classId), kind);
    list->SetDirection(direction);
    list->GetPropertyInfo().ModifyFlag(
        static_cast<KPropertyInfo::kFlags>(KPropertyInfo::kFlagDynamic | KPropertyInfo::kFlagObjectList), true);
    if (owner) owner->PropertyAddToList(list);
    return list;
}

void KPropertyObjectList::Init(KPropertyInfo*) {
    GetPropertyInfo().ModifyFlag(static_cast<KPropertyInfo::kFlags>(KPropertyInfo::kFlagList | KPropertyInfo::kFlagObjectList),
                                 true);
}

void KPropertyObjectList::SetContentSpec(int contentValue, int classId) {
    mContentValue = contentValue;
    mContentClassId = classId;
    SetFilter(KPlug_GetFilter(classId), GetFilterType());
}

bool KPropertyObjectList::Accepts(const KObject* object) const {
    if (!object) return false;
    if (mContentClassId == -1) return true;
    return object->Is(mContentClassId);
}

int KPropertyObjectList::GetCount() const { return ListIsSources() ? GetSrcCount() : GetDstCount(); }

KPlug* KPropertyObjectList::EntryAt(int index) const { return ListIsSources() ? GetSrc(index) : GetDst(index); }

KObject* KPropertyObjectList::GetAt(int index) const {
    KPlug* plug = EntryAt(index);  // null outside the list
    if (!plug || !plug->Is(KObject::ClassId)) return nullptr;
    return static_cast<KObject*>(plug);
}

int KPropertyObjectList::Find(const KObject* object) const {
    if (!object) return -1;
    return ListIsSources() ? FindSrc(object) : FindDst(object);
}

bool KPropertyObjectList::ConnectAt(int index, KObject* object) {
    if (!Accepts(object)) return false;
    if (ListIsSources()) return Connect(this, object, 0, index, -1);
    return Connect(object, this, 0, -1, index);
}

bool KPropertyObjectList::Add(KObject* object) { return ConnectAt(-1, object); }

bool KPropertyObjectList::InsertAt(int index, KObject* object) {
    if (index < 0) return false;
    return ConnectAt(index, object);
}

bool KPropertyObjectList::SetAt(int index, KObject* object) {
    if (index < 0) return false;
    const int count = GetCount();
    if (!object) {
        if (index < count) RemoveAt(index);
        return false;
    }
    if (index >= count) return ConnectAt(-1, object);
    if (EntryAt(index) == object) return true;
    // Connect the new entry right after the old one first, so that a refusal
    // leaves the list untouched, then drop the old one.
    const HdlKPlug old = ListIsSources() ? GetSrcHandle(index) : GetDstHandle(index);
    if (!ConnectAt(index + 1, object)) return false;
    if (KPlug* previous = old.Get()) {
        if (ListIsSources())
            Disconnect(this, previous);
        else
            Disconnect(previous, this);
    }
    return Find(object) >= 0;
}

bool KPropertyObjectList::RemoveAt(int index) {
    KPlug* entry = EntryAt(index);
    if (!entry) return false;
    return ListIsSources() ? Disconnect(this, entry) : Disconnect(entry, this);
}

bool KPropertyObjectList::Remove(KObject* object) { return RemoveAt(Find(object)); }

void KPropertyObjectList::Clear() {
    ++mUpdateCount;
    if (ListIsSources())
        DisconnectAllSrc();
    else
        DisconnectAllDst();
}

bool KPropertyObjectList::PlugNotify(KPlugCallstack*, kPlugAction action, KPlug* plug, int, KPlug* other,
                                     kConnectionType, KPlug*) {
    if (plug != this) return true;
    const bool sources = ListIsSources();
    switch (action) {
        case kPlugSrcConnectRequest:
            // Only sources are asked for: destination lists check in ConnectAt.
            if (sources && mContentClassId != -1) return other && other->Is(mContentClassId);
            return true;
        case kPlugSrcConnected:
        case kPlugSrcDisconnected:
            if (sources) ++mUpdateCount;
            return true;
        case kPlugDstConnected:
        case kPlugDstDisconnected:
            if (!sources) ++mUpdateCount;
            return true;
        default:
            return true;
    }
}

}  // namespace zeqsdk_400

#include "object/izeqobject.h"

#include <array>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "object/kevent.h"
#include "object/kobject.h"
#include "object/kpropertytemplate.h"

namespace zeqsdk_400 {

namespace {

constexpr const char* kListField = "Properties60";
constexpr const char* kOldListField = "Properties";
constexpr const char* kPropertyField = "Property";

// Flag letters of the property record: which bit of which word each stands for.
struct FlagLetter {
    char mLetter;
    bool mInInfo;  // KPropertyInfo flags, else the property's own flags
    unsigned mBit;
};
constexpr FlagLetter kFlagLetters[] = {
    {'A', true, KPropertyInfo::kFlagAnimatable},
    {'K', false, kPropertyFlagAnimated},
    {'U', true, KPropertyInfo::kFlagUser},
    {'T', true, KPropertyInfo::kFlagTemporary},
};

bool HasLetter(const char* text, char letter) { return text && std::strchr(text, letter) != nullptr; }

// Flags of a property created from a record (the user flag is always set).
void ApplyFlags(KProperty& property, const char* text) {
    for (const FlagLetter& f : kFlagLetters) {
        if (!HasLetter(text, f.mLetter)) continue;
        if (f.mInInfo)
            property.GetPropertyInfo().ModifyFlag(static_cast<KPropertyInfo::kFlags>(f.mBit), true);
        else
            property.ModifyPropertyFlag(static_cast<kPropertyFlag>(f.mBit), true);
    }
}

// The data type a record names for a property.
const KDataType* RecordDataType(KProperty& property) {
    if (const KDataType* own = property.GetPropertyDataType()) return own;
    return KDataTypeFromPropertyType(property.GetValueType());
}

bool IsNumber(char type) { return type == 'D' || type == 'F' || type == 'I' || type == 'L'; }

// A text read in place, kept as a C string until the next one: in its own
// room when short (the common case), else in a string.
class KeptText {
public:
    const char* Keep(std::string_view text) {
        if (text.size() < sizeof mRoom) {
            std::memcpy(mRoom, text.data(), text.size());
            mRoom[text.size()] = '\0';
            return mRoom;
        }
        mLong.assign(text.data(), text.size());
        return mLong.c_str();
    }

private:
    char mRoom[128];
    std::string mLong;
};

class KZeqObjectStream final : public IZeqObject {
public:
    KZeqObjectStream() { mNameSets.emplace_back(); }

    bool IsBeforeVersion6() const override { return mBeforeVersion6; }
    void SetIsBeforeVersion6(bool before) override { mBeforeVersion6 = before; }

    IKObject* ObjectFetch(const char* name) override {
        if (!name) return nullptr;
        NameSet& set = mNameSets.back();
        auto found = set.find(name);
        if (found == set.end()) return nullptr;
        const Entry& entry = found->second;
        if (entry.mHandle.GetId() != 0) return entry.mHandle.Get();  // null once the plug is gone
        return entry.mObject;
    }

    bool ObjectRegister(const char* name, IKObject* object) override {
        if (!name || !object) return false;
        Entry entry{object, HdlKPlug()};
        if (IKObject* plug = object->IQuery(static_cast<unsigned long>(KPlug::ClassId), 0))
            entry.mHandle = static_cast<KPlug*>(plug);
        return mNameSets.back().emplace(name, entry).second;
    }

    bool ObjectNameUnregister(const char* name) override {
        return name && mNameSets.back().erase(name) != 0;
    }

    void ObjectNameSetPush() override { mNameSets.emplace_back(); }
    bool ObjectNameSetPop() override {
        if (mNameSets.size() < 2) return false;
        mNameSets.pop_back();
        return true;
    }
    int ObjectNameGetCount() const override { return static_cast<int>(mNameSets.back().size()); }

    bool FieldWritePropertiesList(KArrayTemplate<KProperty*>& properties) override;
    bool FieldReadPropertiesList(KArrayTemplate<KProperty*>& properties, KObject* owner) override;

private:
    struct Entry {
        IKObject* mObject;
        HdlKPlug mHandle;  // set for plugs: the entry then never leads to a destroyed one
    };
    typedef std::unordered_map<std::string, Entry> NameSet;

    bool WriteValue(KProperty& property);
    // The numbers WriteValue would write, with their types ('I' or 'D'); -1
    // when they are more than a record takes at once (WriteValue then writes them).
    int RecordValue(KProperty& property, char* types, double* numbers);
    bool ReadValue(KProperty& property);
    // The records written from the list itself, in its order, read in one pass.
    void ReadListedRecords(KArrayTemplate<KProperty*>& properties, int& cursor);
    KProperty* FindListed(KArrayTemplate<KProperty*>& properties, const char* name, int& cursor);

    bool mBeforeVersion6 = false;
    std::vector<NameSet> mNameSets;
};

bool KZeqObjectStream::WriteValue(KProperty& property) {
    const KPropertyTypeInfo& info = KPropertyTypeGetInfo(property.GetValueType());
    if (info.mMemberCount == 0) return true;
    alignas(double) unsigned char raw[64] = {};
    if (!property.GetData(raw)) return true;
    bool ok = true;
    switch (info.mKind) {
        case KPropertyValueKind::eBool:
            ok = FieldWriteI(raw[0] ? 1 : 0);
            break;
        case KPropertyValueKind::eInteger: {
            std::int32_t v;
            std::memcpy(&v, raw, sizeof(v));
            ok = FieldWriteI(v);
            break;
        }
        case KPropertyValueKind::eFloat: {
            float v;
            std::memcpy(&v, raw, sizeof(v));
            ok = FieldWriteD(v);
            break;
        }
        case KPropertyValueKind::eDouble:
        case KPropertyValueKind::eDoubles:
            for (int i = 0; ok && i < info.mMemberCount; ++i) {
                double v;
                std::memcpy(&v, raw + i * sizeof(double), sizeof(v));
                ok = FieldWriteD(v);
            }
            break;
        case KPropertyValueKind::eNone:
            break;
    }
    return ok;
}

int KZeqObjectStream::RecordValue(KProperty& property, char* types, double* numbers) {
    const KPropertyTypeInfo& info = KPropertyTypeGetInfo(property.GetValueType());
    if (info.mMemberCount == 0) return 0;
    if (info.mMemberCount > kPropertyMaxMembers) return -1;
    alignas(double) unsigned char raw[64] = {};
    if (!property.GetData(raw)) return 0;
    switch (info.mKind) {
        case KPropertyValueKind::eBool:
            types[0] = 'I', numbers[0] = raw[0] ? 1 : 0;
            return 1;
        case KPropertyValueKind::eInteger: {
            std::int32_t v;
            std::memcpy(&v, raw, sizeof(v));
            types[0] = 'I', numbers[0] = v;
            return 1;
        }
        case KPropertyValueKind::eFloat: {
            float v;
            std::memcpy(&v, raw, sizeof(v));
            types[0] = 'D', numbers[0] = v;
            return 1;
        }
        case KPropertyValueKind::eDouble:
        case KPropertyValueKind::eDoubles:
            for (int i = 0; i < info.mMemberCount; ++i) {
                types[i] = 'D';
                std::memcpy(&numbers[i], raw + i * sizeof(double), sizeof(double));
            }
            return info.mMemberCount;
        case KPropertyValueKind::eNone:
            break;
    }
    return 0;
}

bool KZeqObjectStream::FieldWritePropertiesList(KArrayTemplate<KProperty*>& properties) {
    bool ok = FieldWriteBegin(kListField) && FieldWriteBlockBegin();
    for (int i = 0; ok && i < properties.GetCount(); ++i) {
        KProperty* property = properties[i];
        if (!property || property->GetPropertyFlag(kPropertyFlagNotSavable)) continue;
        const KDataType* type = RecordDataType(*property);
        char flags[sizeof kFlagLetters / sizeof kFlagLetters[0] + 1];
        std::size_t letters = 0;
        for (const FlagLetter& f : kFlagLetters) {
            const unsigned word = f.mInInfo ? property->GetPropertyInfo().mFlags : property->GetPropertyFlags();
            if (word & f.mBit) flags[letters++] = f.mLetter;
        }
        const std::string_view texts[] = {property->GetPropertyName(), type ? type->GetNameView() : std::string_view(),
                                          std::string_view(flags, letters)};
        // The value as WriteValue writes it, the record at once.
        char types[kPropertyMaxMembers];
        double numbers[kPropertyMaxMembers];
        const int count = RecordValue(*property, types, numbers);
        ok = count >= 0 ? FieldWriteRecord(kPropertyField, texts, 3, types, numbers, count)
                        : FieldWriteBegin(kPropertyField) && FieldWriteC(texts[0].data(), texts[0].size()) &&
                              FieldWriteC(texts[1].data(), texts[1].size()) &&
                              FieldWriteC(texts[2].data(), texts[2].size()) && WriteValue(*property) &&
                              FieldWriteEnd();
    }
    ok = ok && FieldWriteBlockEnd() && FieldWriteEnd();
    return ok && GetLastErrorID() == -1;
}

bool KZeqObjectStream::ReadValue(KProperty& property) {
    const KPropertyTypeInfo& info = KPropertyTypeGetInfo(property.GetValueType());
    if (info.mMemberCount == 0) return true;
    if (FieldReadGetRemain() < info.mMemberCount) return false;
    double members[kPropertyMaxMembers] = {};
    for (int i = 0; i < info.mMemberCount; ++i) {
        // An ASCII file's numbers are text: what is none there is damaged
        // text, which the number read reports as the file's corruption.
        if (!IsNumber(FieldReadGetType()) && IsBinary()) return false;
        members[i] = FieldReadD();
    }
    if (GetLastErrorID() == eFileCorrupted) return false;
    return property.SetDataFromDoubles(members, info.mMemberCount);
}

KProperty* KZeqObjectStream::FindListed(KArrayTemplate<KProperty*>& properties, const char* name, int& cursor) {
    // Records mostly come in list order: search on from the last match.
    const int n = properties.GetCount();
    for (int k = 0; k < n; ++k) {
        const int i = (cursor + k) % n;
        KProperty* property = properties[i];
        if (property && std::strcmp(property->GetPropertyName(), name) == 0) {
            cursor = i + 1;
            return property;
        }
    }
    return nullptr;
}

void KZeqObjectStream::ReadListedRecords(KArrayTemplate<KProperty*>& properties, int& cursor) {
    // One record per savable property, as the list's writer writes them: its
    // name, any two texts, its value as numbers. Each is the property the
    // search below would find for it: none of the unsaved ones passed over
    // since the one before has its name.
    struct Layout {
        std::vector<KZeqFieldPattern> mPatterns;
        std::vector<std::array<const char*, 3>> mTexts;
        std::vector<KProperty*> mTargets;
        std::vector<double> mNumbers;
    };
    thread_local Layout layout;
    layout.mPatterns.clear();
    layout.mTexts.clear();
    layout.mTargets.clear();
    const int n = properties.GetCount();
    layout.mTexts.reserve(static_cast<std::size_t>(n));
    int last = -1, room = 0;
    for (int i = 0; i < n; ++i) {
        KProperty* property = properties[i];
        if (!property || property->GetPropertyFlag(kPropertyFlagNotSavable)) continue;
        const char* name = property->GetPropertyName();
        bool passedOver = false;
        for (int j = last + 1; j < i && !passedOver; ++j)
            passedOver = properties[j] && std::strcmp(properties[j]->GetPropertyName(), name) == 0;
        if (passedOver) break;
        const int members = KPropertyTypeGetInfo(property->GetValueType()).mMemberCount;
        layout.mTexts.push_back({name, nullptr, nullptr});
        layout.mPatterns.push_back(KZeqFieldPattern{kPropertyField, layout.mTexts.back().data(), 3, members, "DFIL",
                                                    false, nullptr, 0, nullptr});
        layout.mTargets.push_back(property);
        room += members;
        last = i;
    }
    if (layout.mTargets.empty()) return;
    layout.mNumbers.resize(static_cast<std::size_t>(room));
    int taken = 0;
    if (!FieldReadPattern(kPropertyField, layout.mPatterns.data(), static_cast<int>(layout.mPatterns.size()), false,
                          layout.mNumbers.data(), room, &taken) ||
        taken != room)
        return;
    const double* values = layout.mNumbers.data();
    for (std::size_t k = 0; k < layout.mTargets.size(); ++k) {
        const int members = layout.mPatterns[k].mNumbers;
        if (members > 0) layout.mTargets[k]->SetDataFromDoubles(values, members);
        values += members;
    }
    cursor = last + 1;
}

bool KZeqObjectStream::FieldReadPropertiesList(KArrayTemplate<KProperty*>& properties, KObject* owner) {
    if (!FieldReadBegin(kListField) && !FieldReadBegin(kOldListField)) return false;
    if (!FieldReadBlockBegin()) {
        FieldReadEnd();
        return false;
    }
    const HdlKObject ownerHandle(owner);  // setters may end the owner
    int cursor = 0;
    ReadListedRecords(properties, cursor);
    // The record's texts are read in place: no string is made per record.
    KeptText nameText, typeText, flagText;
    while (FieldReadBegin(kPropertyField)) {
        if (FieldReadGetCount() >= 3 && FieldReadGetType() == 'S') {
            const std::string_view nameView = FieldReadCView();
            const bool named = !nameView.empty();  // a name of zero bytes only is still a name
            const char* name = nameText.Keep(nameView);
            const char* typeName = typeText.Keep(FieldReadCView());
            const char* flags = flagText.Keep(FieldReadCView());
            KObject* liveOwner = ownerHandle.Get();
            KProperty* property = FindListed(properties, name, cursor);
            if (!property && liveOwner) property = liveOwner->FindPropertyByName(name);
            if (!property && liveOwner && named) {
                KDataType* type = KDataTypeGet(typeName);
                if (type && DataTypeToPropertyType(type) != kPropertyTypeNone) {
                    property = liveOwner->CreatePropertyFromType(name, DataTypeToPropertyType(type), type,
                                                                 HasLetter(flags, 'A'), true, nullptr);
                    if (property) ApplyFlags(*property, flags);
                }
            }
            if (property && !property->GetPropertyFlag(kPropertyFlagNotSavable)) ReadValue(*property);
        }
        FieldReadEnd();
    }
    FieldReadBlockEnd();
    FieldReadEnd();
    return true;
}

}  // namespace

IZeqObject::~IZeqObject() = default;

IZeqObject* KZeqObjectCreate() { return new KZeqObjectStream; }

void KZeqObject_GenerateEvent(IZeqObject* stream, int code) {
    if (KEventManager* manager = KGetGlobalEventManager()) manager->Emit(KEvent{eEventObjectPersistence, stream, code});
}

}  // namespace zeqsdk_400

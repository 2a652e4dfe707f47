#include "object/kproperty.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "base/knameindex.h"
#include "object/kobject.h"
#include "object/kpropertytemplate.h"

namespace zeqsdk_400 {

KZEQ_CLASS_IMPLEMENT(KProperty, KPlug, "KProperty")

struct KPropertyInfo::Extra {
    KDataType* mDataType = nullptr;
    std::unique_ptr<char[]> mOwnedName;
    std::unique_ptr<char[]> mLabel;
    double mMin = -HUGE_VAL;
    double mMax = HUGE_VAL;
    kPropertyAsStringFunc mAsString = nullptr;
    AsStringInvoker mInvoker = nullptr;
};

namespace {

std::unique_ptr<char[]> CopyText(const char* text) {
    if (!text) return nullptr;
    const std::size_t n = std::strlen(text);
    std::unique_ptr<char[]> copy(new char[n + 1]);
    std::memcpy(copy.get(), text, n + 1);
    return copy;
}

template <class T>
T Load(const unsigned char* at) {
    T value;
    std::memcpy(&value, at, sizeof(value));
    return value;
}
template <class T>
void Store(unsigned char* at, T value) {
    std::memcpy(at, &value, sizeof(value));
}

const char* InvokeIntAsString(KPlug* owner, kPropertyAsStringFunc func, int value) { return (owner->*func)(value); }

}  // namespace

KPropertyInfo::KPropertyInfo()
    : mFlags(0), mType(kPropertyTypeNone), mName(nullptr), mGet(nullptr), mSet(nullptr) {}

KPropertyInfo::~KPropertyInfo() = default;

KPropertyInfo::Extra& KPropertyInfo::GetExtra() {
    if (!mExtra) mExtra = std::make_unique<Extra>();
    return *mExtra;
}

KDataType* KPropertyInfo::GetDataType() const { return mExtra ? mExtra->mDataType : nullptr; }

void KPropertyInfo::SetDataType(KDataType* dataType) {
    if (dataType || mExtra) GetExtra().mDataType = dataType;
}

namespace {
KNameEpoch gNameEpoch;
}

const KNameEpoch& KPropertyInfo::GetNameEpoch() { return gNameEpoch; }

void KPropertyInfo::NameChanges() { gNameEpoch.Advance(); }

void KPropertyInfo::SetNameCopy(const char* name) {
    if (mName) NameChanges();
    Extra& extra = GetExtra();
    extra.mOwnedName = CopyText(name);
    mName = extra.mOwnedName.get();
}

const char* KPropertyInfo::GetLabel() const {
    return mExtra && mExtra->mLabel ? mExtra->mLabel.get() : "";
}

void KPropertyInfo::SetLabel(const char* label) {
    if (!label || !*label) {
        if (mExtra) mExtra->mLabel.reset();
        return;
    }
    GetExtra().mLabel = CopyText(label);
}

double KPropertyInfo::GetMin() const { return mExtra ? mExtra->mMin : -HUGE_VAL; }
double KPropertyInfo::GetMax() const { return mExtra ? mExtra->mMax : HUGE_VAL; }
void KPropertyInfo::SetMin(double min) { GetExtra().mMin = min; }
void KPropertyInfo::SetMax(double max) { GetExtra().mMax = max; }

void KPropertyInfo::SetAsStringFunc(kPropertyAsStringFunc func) { SetAsStringFuncWith(func, &InvokeIntAsString); }

void KPropertyInfo::SetAsStringFuncWith(kPropertyAsStringFunc func, AsStringInvoker invoker) {
    if (!func) {
        if (mExtra) {
            mExtra->mAsString = nullptr;
            mExtra->mInvoker = nullptr;
        }
        ModifyFlag(kFlagHasStringFunc, false);
        return;
    }
    Extra& extra = GetExtra();
    extra.mAsString = func;
    extra.mInvoker = invoker;
    ModifyFlag(kFlagHasStringFunc, true);
}

const char* KPropertyInfo::CallAsString(KPlug* owner, int value) const {
    if (!owner || !mExtra || !mExtra->mAsString || !mExtra->mInvoker) return nullptr;
    return mExtra->mInvoker(owner, mExtra->mAsString, value);
}

KProperty::KProperty() = default;

KProperty::~KProperty() {
    if (KObject* owner = GetOwner()) owner->PropertyForget(this);
}

void KProperty::SetPropertyInfo(const char* name, KObject* owner, kPropertyAccessor get, kPropertyAccessor set) {
    mInfo.SetNameReference(name);
    mInfo.SetAccessors(get, set);
    if (owner && !(GetStatus() & eStatusListed)) owner->PropertyAddToList(this);
}

KPlug* KProperty::GetOwnerPlug() const { return GetOwner(); }

KDataType* KProperty::GetPropertyDataType() const {
    if (KDataType* own = mInfo.GetDataType()) return own;
    return KDataTypeFromPropertyType(mInfo.GetType());
}

const char* KProperty::GetValueAsString(int value) {
    if (IsUserProperty()) return nullptr;
    return mInfo.CallAsString(GetOwner(), value);
}

bool KProperty::GetData(void*, int, KEvaluateInfo*, KWorldState*) { return false; }
bool KProperty::SetData(const void*, int, KEvaluateInfo*, KWorldState*) { return false; }
int KProperty::GetDataAsDoubles(double* values, int count) {
    const KPropertyTypeInfo& info = KPropertyTypeGetInfo(GetValueType());
    alignas(double) unsigned char raw[kPropertyMaxDataSize] = {};
    if (info.mMemberCount == 0 || !GetData(raw)) return 0;
    for (int i = 0; values && i < count && i < info.mMemberCount; ++i) {
        switch (info.mKind) {
            case KPropertyValueKind::eBool: values[i] = raw[0] ? 1.0 : 0.0; break;
            case KPropertyValueKind::eInteger: values[i] = Load<std::int32_t>(raw); break;
            case KPropertyValueKind::eFloat: values[i] = Load<float>(raw); break;
            default: values[i] = Load<double>(raw + i * sizeof(double)); break;
        }
    }
    return info.mMemberCount;
}

bool KProperty::SetDataFromDoubles(const double* values, int count) {
    const KPropertyTypeInfo& info = KPropertyTypeGetInfo(GetValueType());
    if (info.mMemberCount == 0 || !values || count < info.mMemberCount) return false;
    alignas(double) unsigned char raw[kPropertyMaxDataSize] = {};
    switch (info.mKind) {
        case KPropertyValueKind::eBool: raw[0] = KPropertyDoubleToInt(values[0]) != 0; break;
        case KPropertyValueKind::eInteger: Store<std::int32_t>(raw, KPropertyDoubleToInt(values[0])); break;
        case KPropertyValueKind::eFloat: Store(raw, KPropertyDoubleToFloat(values[0])); break;
        default:
            for (int i = 0; i < info.mMemberCount; ++i) Store(raw + i * sizeof(double), values[i]);
            break;
    }
    return SetData(static_cast<const void*>(raw));
}

bool KProperty::SetDataMember(int index, double value) {
    double values[kPropertyMaxMembers];
    const int count = GetDataAsDoubles(values, kPropertyMaxMembers);
    if (index < 0 || index >= count) return false;
    values[index] = value;
    return SetDataFromDoubles(values, count);
}

int KProperty::AsInteger() { return 0; }
void KProperty::SetInteger(int) {}
double KProperty::AsDouble() { return 0.0; }
void KProperty::SetDouble(double) {}

}  // namespace zeqsdk_400

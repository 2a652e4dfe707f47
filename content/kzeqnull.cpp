#include "content/kzeqnull.h"

#include "base/karray.h"

namespace zeqsdk_400 {

KZEQ_CLASS_IMPLEMENT(KZeqNullProperties, KObject, "KZeqNullProperties")

KZeqNullProperties::KZeqNullProperties() {
    PropertyAddToList(&Size);
    Size.SetPropertyInfo("Size", this, &KZeqNullProperties::SizeGet, &KZeqNullProperties::SizeSet);
}

KZeqNull::KZeqNull(KZeqSdkManager& manager) : KZeqNodeAttribute(manager), mProperties(new KZeqNullProperties) {
    Reset();
}

KZeqNull::~KZeqNull() { mProperties->Destroy(); }

void KZeqNull::Reset() {
    mProperties->SizeSet(GetSizeDefaultValue());
    mSizeIsSet = false;
}

void KZeqNull::SetSize(double size) {
    mProperties->SizeSet(size);
    mSizeIsSet = true;
}

KZeqNull& KZeqNull::operator=(KZeqNull& other) {
    Reset();
    SetSize(other.GetSize());
    mSizeIsSet = other.mSizeIsSet;
    return *this;
}

void KZeqNull::FillPropertyList(void* list) {
    for (int i = 0; i < mProperties->GetPropertyCount(); ++i)
        static_cast<KArrayTemplate<KProperty*>*>(list)->Add(mProperties->GetProperty(i));
}

KStringList KZeqNull::GetTypeFlags() const {
    KStringList flags;
    flags.Add("Null");
    return flags;
}

}  // namespace zeqsdk_400

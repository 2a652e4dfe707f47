#include "content/kzeqskeleton.h"

#include "base/karray.h"

namespace zeqsdk_400 {

KZEQ_CLASS_IMPLEMENT(KZeqSkeletonProperties, KObject, "KZeqSkeletonProperties")

KZeqSkeletonProperties::KZeqSkeletonProperties() {
    PropertyAddToList(&Size);
    Size.SetPropertyType(KPropertyGetType(static_cast<double*>(nullptr)));
    Size.SetPropertyInfo("Size", this, &KZeqSkeletonProperties::SizeGet, &KZeqSkeletonProperties::SizeSet);
    PropertyAddToList(&LimbLength);
    LimbLength.SetPropertyInfo("LimbLength", this, &KZeqSkeletonProperties::LimbLengthGet,
                               &KZeqSkeletonProperties::LimbLengthSet);
    LimbLength.ModifyPropertyFlag(kPropertyFlagReserved, true);
    PropertyAddToList(&Color);
    Color.SetPropertyType(KPropertyGetType(static_cast<KgeRGBVector*>(nullptr)));
    Color.SetPropertyInfo("Color", this, &KZeqSkeletonProperties::ColorGet, &KZeqSkeletonProperties::ColorSet);
}

namespace {

struct SkeletonTypeRow {
    const char* mName;
    bool mRootFlags;  // "Null", "Skeleton", "Root" rather than "Skeleton" alone
};
// Files know no effector: it reads as a root.
const SkeletonTypeRow kSkeletonTypes[] = {{"Root", true}, {"Limb", false}, {"LimbNode", false}, {"Root", true}};

const SkeletonTypeRow* RowOf(int type) {
    return type >= 0 && type < static_cast<int>(sizeof(kSkeletonTypes) / sizeof(kSkeletonTypes[0]))
               ? &kSkeletonTypes[type]
               : nullptr;
}

}  // namespace

KZeqSkeleton::KZeqSkeleton(KZeqSdkManager& manager)
    : KZeqNodeAttribute(manager), mProperties(new KZeqSkeletonProperties) {
    Reset();
}

KZeqSkeleton::~KZeqSkeleton() { mProperties->Destroy(); }

void KZeqSkeleton::Reset() {
    mSkeletonType = GetSkeletonTypeDefaultValue();
    const KZeqColor color = GetLimbNodeColorDefaultValue();
    mProperties->ColorSet(KgeRGBVector(color.mRed, color.mGreen, color.mBlue));
    MarkColorStored();
    mProperties->SizeSet(GetLimbNodeSizeDefaultValue());
    mProperties->LimbLengthSet(GetLimbLengthDefaultValue());
    mLimbLengthIsSet = mLimbNodeSizeIsSet = mLimbNodeColorIsSet = mSkeletonTypeIsSet = false;
}

void KZeqSkeleton::MarkColorStored() {
    mProperties->Color.ModifyPropertyFlag(kPropertyFlagNotSavable, mSkeletonType != eLIMB && mSkeletonType != eLIMB_NODE);
}

void KZeqSkeleton::SetSkeletonType(ESkeletonType type) {
    mSkeletonType = type;
    mSkeletonTypeIsSet = true;
    MarkColorStored();
}

bool KZeqSkeleton::SetLimbLength(double length) {
    if (mSkeletonType != eLIMB) return false;
    mProperties->LimbLengthSet(length);
    mLimbLengthIsSet = true;
    return true;
}

double KZeqSkeleton::GetLimbLength() const { return mProperties->LimbLengthGet(); }

bool KZeqSkeleton::SetLimbNodeSize(double size) {
    mProperties->SizeSet(size);
    mLimbNodeSizeIsSet = true;
    return true;
}

double KZeqSkeleton::GetLimbNodeSize() const { return mProperties->SizeGet(); }

bool KZeqSkeleton::SetLimbNodeColor(const KZeqColor& color) {
    if (mSkeletonType != eLIMB && mSkeletonType != eLIMB_NODE) return false;
    mProperties->ColorSet(KgeRGBVector(color.mRed, color.mGreen, color.mBlue));
    mLimbNodeColorIsSet = true;
    return true;
}

KZeqColor KZeqSkeleton::GetLimbNodeColor() const {
    const KgeRGBVector color = mProperties->ColorGet();
    return KZeqColor(color.mData[0], color.mData[1], color.mData[2], 1.0);
}

KZeqSkeleton& KZeqSkeleton::operator=(KZeqSkeleton& other) {
    if (this == &other) return *this;
    Reset();
    SetSkeletonType(other.GetSkeletonType());
    SetLimbNodeSize(other.GetLimbNodeSize());
    if (other.GetSkeletonType() == eLIMB) SetLimbLength(other.GetLimbLength());
    if (other.GetSkeletonType() == eLIMB || other.GetSkeletonType() == eLIMB_NODE)
        SetLimbNodeColor(other.GetLimbNodeColor());
    mLimbLengthIsSet = other.mLimbLengthIsSet;
    mLimbNodeSizeIsSet = other.mLimbNodeSizeIsSet;
    mLimbNodeColorIsSet = other.mLimbNodeColorIsSet;
    mSkeletonTypeIsSet = other.mSkeletonTypeIsSet;
    return *this;
}

void KZeqSkeleton::FillPropertyList(void* list) {
    for (int i = 0; i < mProperties->GetPropertyCount(); ++i)
        static_cast<KArrayTemplate<KProperty*>*>(list)->Add(mProperties->GetProperty(i));
}

KString KZeqSkeleton::GetTypeName() const {
    const SkeletonTypeRow* row = RowOf(mSkeletonType);
    return KString(row ? row->mName : "");
}

KStringList KZeqSkeleton::GetTypeFlags() const {
    KStringList flags;
    const SkeletonTypeRow* row = RowOf(mSkeletonType);
    if (!row) return flags;
    if (row->mRootFlags) flags.Add("Null");
    flags.Add("Skeleton");
    if (row->mRootFlags) flags.Add("Root");
    return flags;
}

}  // namespace zeqsdk_400

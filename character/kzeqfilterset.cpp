#include "character/kzeqfilterset.h"

namespace zeqsdk_400 {

namespace {

// What each mode type does with a mode: how many modes it takes (0 to n-1),
// which one is automatic and which one switches the parameter off (-1: none),
// and whether an inactive parent makes it inactive.
struct ModeTypeRule {
    int mModeCount;
    int mAutoMode;
    int mOffMode;
    bool mFollowsParent;
};
constexpr ModeTypeRule kModeTypes[] = {
    {0, -1, -1, false},  // no mode: always active
    {2, -1, 0, true},    // off, on
    {3, 1, 0, true},     // off, auto, user
    {2, 0, -1, true},    // auto, user
};

}  // namespace

KFilterSetBase::KFilterSetBase() : mInfo(GetFilterSetInfo()) {
    mParams.resize(static_cast<std::size_t>(mInfo->mCount));
    for (int i = 0; i < mInfo->mCount; ++i)
        mParams[i] = KFilterParam{mInfo->mParamInfos[i].mDefaultMode, mInfo->mParamInfos[i].mDefaultValue};
}

bool KFilterSetBase::IsParamAuto(int index) const {
    if (!IsValid(index)) return false;
    const int autoMode = kModeTypes[mInfo->mParamInfos[index].mModeType].mAutoMode;
    return autoMode >= 0 && mParams[index].mMode == autoMode;
}

double KFilterSetBase::GetParamFact(int index) const {
    if (!IsValid(index)) return -1.0;
    const KFilterParamInfo& info = mInfo->mParamInfos[index];
    if (!IsParamAuto(index)) return info.mUnit == 1 ? mParams[index].mValue / 100.0 : -1.0;
    if (info.mParentIndex < 0) return -1.0;
    const double parent = GetParamFact(info.mParentIndex);
    // A parent without a fact gives none; inverting it would invent one.
    if (parent < 0.0) return -1.0;
    return info.mInvertParentFact ? 1.0 - parent : parent;
}

void KFilterSetBase::AutomaticParamSetup() {
    for (int i = 0; i < GetCount(); ++i) {
        const KFilterParamInfo& info = mInfo->mParamInfos[i];
        if (info.mUnit == 0 || !IsParamAuto(i)) continue;
        const double fact = GetParamFact(i);
        mParams[i].mValue = fact >= 0.0 ? info.mMin + fact * (info.mMax - info.mMin) : info.mDefaultValue;
    }
}

bool KFilterSetBase::IsParamActive(int index) const {
    if (index == -1) return true;
    if (!IsValid(index)) return false;
    const KFilterParamInfo& info = mInfo->mParamInfos[index];
    const ModeTypeRule& rule = kModeTypes[info.mModeType];
    if (rule.mOffMode >= 0 && mParams[index].mMode == rule.mOffMode) return false;
    return !rule.mFollowsParent || IsParamActive(info.mParentIndex);
}

void KFilterSetBase::Copy(const KFilterSetBase* other) {
    if (other && other != this) mParams = other->mParams;
}

KZeqFilterSet::KZeqFilterSet() : mBase(new KFilterSetBase) {}

void KZeqFilterSet::Reset() { mBase.reset(new KFilterSetBase); }

const KFilterParamInfo* KZeqFilterSet::Info(int index) const {
    return mBase->IsValid(index) ? &GetFilterSetInfo()->mParamInfos[index] : nullptr;
}

int KZeqFilterSet::GetParameterCount() const { return mBase->GetCount(); }

const char* KZeqFilterSet::GetParameterName(int index) const {
    const KFilterParamInfo* info = Info(index);
    return info ? info->mName : nullptr;
}

int KZeqFilterSet::GetParameterIndex(const char* name) const { return GetFilterSetInfo()->ParamIndexByName(name); }

int KZeqFilterSet::GetParameterModeType(int index) const {
    const KFilterParamInfo* info = Info(index);
    return info ? info->mModeType : 0;
}

int KZeqFilterSet::GetParameterDefaultMode(int index) const {
    const KFilterParamInfo* info = Info(index);
    return info ? info->mDefaultMode : 0;
}

int KZeqFilterSet::GetParameterValueType(int index) const {
    const KFilterParamInfo* info = Info(index);
    return info ? info->mValueType : 0;
}

int KZeqFilterSet::GetParameterUnit(int index) const {
    const KFilterParamInfo* info = Info(index);
    return info ? info->mUnit : 0;
}

double KZeqFilterSet::GetParameterDefaultValue(int index) const {
    const KFilterParamInfo* info = Info(index);
    return info ? info->mDefaultValue : 0.0;
}

void KZeqFilterSet::SetParameterMode(int index, int mode) {
    const KFilterParamInfo* info = Info(index);
    if (info && mode >= 0 && mode < kModeTypes[info->mModeType].mModeCount) mBase->mParams[index].mMode = mode;
}

int KZeqFilterSet::GetParameterMode(int index) const { return mBase->IsValid(index) ? mBase->mParams[index].mMode : 0; }

void KZeqFilterSet::SetParameterValue(int index, double value, int) {
    if (mBase->IsValid(index)) mBase->mParams[index].mValue = value;
}

double KZeqFilterSet::GetParameterValue(int index, int) const {
    return mBase->IsValid(index) ? mBase->mParams[index].mValue : 0.0;
}

}  // namespace zeqsdk_400

#include "io/kstreamoptionszeq.h"

#include "scene/kzeqtakeinfo.h"

namespace zeqsdk_400 {

KZEQ_CLASS_IMPLEMENT(KStreamOptionsZeq, KStreamOptions, "KStreamOptionsZeq")

KStreamOptionsZeq::KStreamOptionsZeq() { KStreamOptionsZeq::Reset(); }

KStreamOptionsZeq::~KStreamOptionsZeq() = default;

KStreamOptionsZeq& KStreamOptionsZeq::operator=(const KStreamOptionsZeq& other) {
    if (this == &other) return *this;
    KStreamOptions::operator=(other);
    ClearTakeInfos();
    for (const auto& info : other.mTakeInfos) AddTakeInfo(*info);
    mSceneInfo = other.mSceneInfo;
    mCurrentTake = other.mCurrentTake;
    mPasswordProtection = other.mPasswordProtection;
    mPassword = other.mPassword;
    mTemplate = other.mTemplate;
    mMostBakeSamples = other.mMostBakeSamples;
    for (int i = 0; i < eContentCountCount; ++i) mContentCounts[i] = other.mContentCounts[i];
    for (int i = 0; i < eOptionCount; ++i) mOptions[i] = other.mOptions[i];
    return *this;
}

void KStreamOptionsZeq::Reset() {
    KStreamOptions::Reset();
    ClearTakeInfos();
    mCurrentTake.Empty();
    mSceneInfo = nullptr;
    mPasswordProtection = false;
    mPassword.Empty();
    mTemplate = false;
    mMostBakeSamples = kKFCurveBakeMostSamples;
    for (int& count : mContentCounts) count = 0;
    for (int i = 0; i < eOptionCount; ++i) mOptions[i] = i <= ePIVOT;
}

void KStreamOptionsZeq::SetOption(int option, bool value) {
    if (option >= 0 && option < eOptionCount) mOptions[option] = value;
}

bool KStreamOptionsZeq::GetOption(int option) const {
    return option >= 0 && option < eOptionCount && mOptions[option];
}

void KStreamOptionsZeq::SetContentCount(int count, int value) {
    if (count >= 0 && count < eContentCountCount) mContentCounts[count] = value;
}

int KStreamOptionsZeq::GetContentCount(int count) const {
    return count >= 0 && count < eContentCountCount ? mContentCounts[count] : 0;
}

KZeqTakeInfo* KStreamOptionsZeq::GetTakeInfo(int index) const {
    return index >= 0 && index < GetTakeInfoCount() ? mTakeInfos[static_cast<std::size_t>(index)].get() : nullptr;
}

KZeqTakeInfo* KStreamOptionsZeq::AddTakeInfo(const KZeqTakeInfo& info) {
    mTakeInfos.push_back(std::make_unique<KZeqTakeInfo>(info));
    return mTakeInfos.back().get();
}

void KStreamOptionsZeq::ClearTakeInfos() { mTakeInfos.clear(); }

KStreamOptionsZeq* KStreamOptionsZeqCreate() { return new KStreamOptionsZeq; }

}  // namespace zeqsdk_400

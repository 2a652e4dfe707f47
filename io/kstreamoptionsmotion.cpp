#include "io/kstreamoptionsmotion.h"

namespace zeqsdk_400 {

KZEQ_CLASS_IMPLEMENT(KStreamOptionsMotion, KStreamOptions, "KStreamOptionsMotion")

KStreamOptionsMotion::KStreamOptionsMotion() { KStreamOptionsMotion::Reset(); }

KStreamOptionsMotion::~KStreamOptionsMotion() { ReleaseASFScene(); }

void KStreamOptionsMotion::Reset() {
    KStreamOptions::Reset();
    mTakeName.Empty();
    mStart = KTime();
    mFrameCount = 0;
    SetTimeMode(KTime::eModeDefault, 0.0);
    ReleaseASFScene();
    for (EThreeStateOption& option : mOptions) option = eUnset;
}

KStreamOptionsMotion::EThreeStateOption KStreamOptionsMotion::GetOption(int option) const {
    return option >= 0 && option < eOptionCount ? mOptions[option] : eUnset;
}

void KStreamOptionsMotion::SetOption(int option, EThreeStateOption value) {
    if (option >= 0 && option < eOptionCount) mOptions[option] = value;
}

void KStreamOptionsMotion::SetTimeMode(KTime::ETimeMode mode, double rate) {
    if (mode != KTime::eModeDefault) {
        mTimeMode = mode;
        mFrameRate = KTime::GetFrameRate(mode);
    } else if (rate > 0.0) {
        mFrameRate = rate;
        mTimeMode = KTime::ConvertFrameRateToTimeMode(rate, 0.001);
    } else {
        mTimeMode = KTime::GetGlobalTimeMode();
        mFrameRate = KTime::GetFrameRate(mTimeMode);
    }
}

KTime KStreamOptionsMotion::GetFramePeriod() const {
    if (mTimeMode != KTime::eModeDefault) return KTime::GetOneFrameValue(mTimeMode);
    if (mFrameRate <= 0.0) return KTime::GetOneFrameValue(KTime::eModeDefault);
    KTime period;
    period.SetSecondDouble(1.0 / mFrameRate);
    return period;
}

void KStreamOptionsMotion::SetASFScene(KObject* scene, bool owned) {
    if (scene == mASFScene) {
        mASFSceneOwned = scene && owned;
        return;
    }
    ReleaseASFScene();
    mASFScene = scene;
    mASFSceneOwned = scene && owned;
}

void KStreamOptionsMotion::ReleaseASFScene() {
    if (mASFScene && mASFSceneOwned) mASFScene->Destroy();
    mASFScene = nullptr;
    mASFSceneOwned = false;
}

KStreamOptionsMotion* KStreamOptionsMotionCreate() { return new KStreamOptionsMotion; }

}  // namespace zeqsdk_400

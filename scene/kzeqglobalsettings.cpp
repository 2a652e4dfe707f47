#include "scene/kzeqglobalsettings.h"

namespace zeqsdk_400 {

namespace {
const char* const kErrorTable[] = {"Index out of range."};
}  // namespace

// ---- Light ---------------------------------------------------------------------------------

KZeqGlobalLightSettings::KZeqGlobalLightSettings() : mError(kErrorTable, eErrorCount) { RestoreDefaultSettings(); }

KZeqGlobalLightSettings& KZeqGlobalLightSettings::operator=(const KZeqGlobalLightSettings& other) {
    if (this == &other) return *this;
    mAmbientColor = other.mAmbientColor;
    mFogEnable = other.mFogEnable;
    mFogColor = other.mFogColor;
    mFogMode = other.mFogMode;
    mFogStart = other.mFogStart;
    mFogEnd = other.mFogEnd;
    mFogDensity = other.mFogDensity;
    mShadowEnable = other.mShadowEnable;
    mShadowIntensity = other.mShadowIntensity;
    mShadowPlanes.Clear();
    for (int i = 0; i < other.mShadowPlanes.GetCount(); ++i) mShadowPlanes.Add(other.mShadowPlanes[i]);
    return *this;
}

void KZeqGlobalLightSettings::RestoreDefaultSettings() {
    mAmbientColor = KZeqColor(0.4, 0.4, 0.4, 0.0);
    mFogEnable = false;
    mFogColor = KZeqColor(1.0, 1.0, 1.0, 0.0);
    mFogMode = eDEFAULT_FOG_MODE;
    mFogStart = 0.3;
    mFogEnd = 1000.0;
    mFogDensity = 0.002;
    mShadowEnable = false;
    mShadowIntensity = 0.0;
    mShadowPlanes.Clear();
}

// NaN takes the lower bound: a clamp must leave a number.
void KZeqGlobalLightSettings::SetFogStart(double start) {
    if (start > mFogEnd)
        mFogStart = mFogEnd;
    else if (!(start >= 0.0))
        mFogStart = 0.0;
    else
        mFogStart = start;
}

void KZeqGlobalLightSettings::SetFogEnd(double end) { mFogEnd = !(end >= mFogStart) ? mFogStart : end; }

void KZeqGlobalLightSettings::SetShadowIntensity(double intensity) {
    mShadowIntensity = !(intensity >= 0.0) ? 0.0 : intensity > 300.0 ? 300.0 : intensity;
}

KZeqGlobalLightSettings::KZeqShadowPlane* KZeqGlobalLightSettings::GetShadowPlane(int index) {
    if (index < 0 || index >= mShadowPlanes.GetCount()) {
        mError.SetLastErrorID(eIndexOutOfRange);
        return nullptr;
    }
    return &mShadowPlanes[index];
}

// ---- Time ----------------------------------------------------------------------------------

KZeqGlobalTimeSettings::KZeqGlobalTimeSettings() : mError(kErrorTable, eErrorCount) { RestoreDefaultSettings(); }

KZeqGlobalTimeSettings& KZeqGlobalTimeSettings::operator=(const KZeqGlobalTimeSettings& other) {
    if (this == &other) return *this;
    mTimeMode = other.mTimeMode;
    mTimeProtocol = other.mTimeProtocol;
    mSnapOnFrameMode = other.mSnapOnFrameMode;
    RemoveAllTimeMarkers();
    for (const auto& marker : other.mTimeMarkers) AddTimeMarker(*marker);
    mCurrentTimeMarker = other.mCurrentTimeMarker;
    return *this;
}

void KZeqGlobalTimeSettings::RestoreDefaultSettings() {
    mTimeMode = KTime::eMode30;
    mTimeProtocol = KTime::eProtocolFrame;
    mSnapOnFrameMode = eNO_SNAP;
    RemoveAllTimeMarkers();
}

KTime::ETimeMode KZeqGlobalTimeSettings::GetTimeMode() const {
    if (mTimeMode != KTime::eModeDefault) return mTimeMode;
    const KTime::ETimeMode global = KTime::GetGlobalTimeMode();
    return global != KTime::eModeDefault ? global : KTime::eMode30;
}

KTime::ETimeProtocol KZeqGlobalTimeSettings::GetTimeProtocol() const {
    if (mTimeProtocol != KTime::eProtocolDefault) return mTimeProtocol;
    const KTime::ETimeProtocol global = KTime::GetGlobalTimeProtocol();
    return global != KTime::eProtocolDefault ? global : KTime::eProtocolFrame;
}

KZeqGlobalTimeSettings::KZeqTimeMarker* KZeqGlobalTimeSettings::GetTimeMarker(int index) {
    if (index < 0 || index >= GetTimeMarkerCount()) {
        mError.SetLastErrorID(eIndexOutOfRange);
        return nullptr;
    }
    return mTimeMarkers[static_cast<std::size_t>(index)].get();
}

void KZeqGlobalTimeSettings::AddTimeMarker(KZeqTimeMarker marker) {
    mTimeMarkers.push_back(std::make_unique<KZeqTimeMarker>(marker));
}

bool KZeqGlobalTimeSettings::SetCurrentTimeMarker(int index) {
    if (index < 0 || index >= GetTimeMarkerCount()) {
        mError.SetLastErrorID(eIndexOutOfRange);
        return false;
    }
    mCurrentTimeMarker = index;
    return true;
}

void KZeqGlobalTimeSettings::RemoveAllTimeMarkers() {
    while (!mTimeMarkers.empty()) mTimeMarkers.pop_back();
    mCurrentTimeMarker = -1;
}

}  // namespace zeqsdk_400

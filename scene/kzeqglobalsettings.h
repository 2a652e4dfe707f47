#ifndef ZEQ_SCENE_KZEQGLOBALSETTINGS_H
#define ZEQ_SCENE_KZEQGLOBALSETTINGS_H

#include <memory>
#include <type_traits>
#include <vector>

#include "base/karray.h"
#include "base/kerror.h"
#include "base/kstring.h"
#include "base/ktime.h"
#include "base/kzeqvector.h"

namespace zeqsdk_400 {

// A scene's ambient light, fog and shadows with its list of shadow planes.
// Values are stored as given except where a setter says otherwise.
class KZeqGlobalLightSettings {
public:
    enum EError { eIndexOutOfRange = 0, eErrorCount = 1 };
    // Stored and returned unchanged.
    enum EFogMode : int { eDEFAULT_FOG_MODE = 0 };

    struct KZeqShadowPlane {
        bool mEnable = true;
        KZeqVector4 mOrigin{0.0, 0.0, 0.0, 0.0};
        KZeqVector4 mNormal{0.0, 1.0, 0.0, 0.0};
    };
    static_assert(std::is_trivially_copyable<KZeqShadowPlane>::value, "planes are held by value in an array");

    KZeqGlobalLightSettings();
    KZeqGlobalLightSettings(const KZeqGlobalLightSettings&) = delete;
    // The values as they are (no clamping) and copies of the planes; not the error.
    KZeqGlobalLightSettings& operator=(const KZeqGlobalLightSettings& other);

    // Ambient (0.4, 0.4, 0.4, 0), fog off in white (alpha 0) from 0.3 to
    // 1000 at density 0.002, shadows off at intensity 0, no planes.
    void RestoreDefaultSettings();

    void SetAmbientColor(KZeqColor color) { mAmbientColor = color; }
    KZeqColor GetAmbientColor() const { return mAmbientColor; }
    void SetFogEnable(bool enable) { mFogEnable = enable; }
    bool GetFogEnable() const { return mFogEnable; }
    void SetFogColor(KZeqColor color) { mFogColor = color; }
    KZeqColor GetFogColor() const { return mFogColor; }
    void SetFogMode(EFogMode mode) { mFogMode = mode; }
    EFogMode GetFogMode() const { return mFogMode; }
    // Past the fog end the end is stored, below 0 zero.
    void SetFogStart(double start);
    double GetFogStart() const { return mFogStart; }
    // Below the fog start the start is stored.
    void SetFogEnd(double end);
    double GetFogEnd() const { return mFogEnd; }
    void SetFogDensity(double density) { mFogDensity = density; }
    double GetFogDensity() const { return mFogDensity; }
    void SetShadowEnable(bool enable) { mShadowEnable = enable; }
    bool GetShadowEnable() const { return mShadowEnable; }
    // Clamped to [0, 300].
    void SetShadowIntensity(double intensity);
    double GetShadowIntensity() const { return mShadowIntensity; }

    int GetShadowPlaneCount() const { return mShadowPlanes.GetCount(); }
    // The plane held in the list, valid until the list changes; null with
    // "Index out of range." outside it.
    KZeqShadowPlane* GetShadowPlane(int index);
    void AddShadowPlane(KZeqShadowPlane plane) { mShadowPlanes.Add(plane); }
    void RemoveAllShadowPlanes() { mShadowPlanes.Clear(); }

    KError& GetError() { return mError; }
    int GetLastErrorID() const { return mError.GetLastErrorID(); }
    const char* GetLastErrorString() const { return mError.GetLastErrorString(); }

private:
    KZeqColor mAmbientColor;
    bool mFogEnable = false;
    KZeqColor mFogColor;
    EFogMode mFogMode = eDEFAULT_FOG_MODE;
    double mFogStart = 0.0;
    double mFogEnd = 0.0;
    double mFogDensity = 0.0;
    bool mShadowEnable = false;
    double mShadowIntensity = 0.0;
    KArrayTemplate<KZeqShadowPlane> mShadowPlanes;
    KError mError;
};

// A scene's frame rate, time display, snapping and named time markers. A
// stored time mode 0 and protocol 2 follow the process-wide settings.
class KZeqGlobalTimeSettings {
public:
    enum EError { eIndexOutOfRange = 0, eErrorCount = 1 };
    // 0 off, 1 on; other values are stored and returned unchanged.
    enum ESnapOnFrameMode : int { eNO_SNAP = 0, eSNAP_ON_FRAME = 1 };

    struct KZeqTimeMarker {
        KString mName;
        KTime mTime;
        bool mLoop = false;
    };

    KZeqGlobalTimeSettings();
    KZeqGlobalTimeSettings(const KZeqGlobalTimeSettings&) = delete;
    // The stored (not the effective) mode and protocol, the snapping, copies
    // of the markers and the current index; not the error.
    KZeqGlobalTimeSettings& operator=(const KZeqGlobalTimeSettings& other);

    // Mode 6, protocol 1, no snapping, no markers.
    void RestoreDefaultSettings();

    void SetTimeMode(KTime::ETimeMode mode) { mTimeMode = mode; }
    // The stored mode, else the global one, else 6.
    KTime::ETimeMode GetTimeMode() const;
    void SetTimeProtocol(KTime::ETimeProtocol protocol) { mTimeProtocol = protocol; }
    // The stored protocol, else the global one, else 1.
    KTime::ETimeProtocol GetTimeProtocol() const;
    void SetSnapOnFrameMode(ESnapOnFrameMode mode) { mSnapOnFrameMode = mode; }
    ESnapOnFrameMode GetSnapOnFrameMode() const { return mSnapOnFrameMode; }
    void SetSnapOnFrame(bool snap) { mSnapOnFrameMode = snap ? eSNAP_ON_FRAME : eNO_SNAP; }
    bool GetSnapOnFrame() const { return mSnapOnFrameMode != eNO_SNAP; }

    int GetTimeMarkerCount() const { return static_cast<int>(mTimeMarkers.size()); }
    // Null with "Index out of range." outside the list.
    KZeqTimeMarker* GetTimeMarker(int index);
    // A copy is appended; the current index stays.
    void AddTimeMarker(KZeqTimeMarker marker);
    // False with "Index out of range." outside the list, the index unchanged.
    bool SetCurrentTimeMarker(int index);
    int GetCurrentTimeMarker() const { return mCurrentTimeMarker; }
    // The current index becomes -1.
    void RemoveAllTimeMarkers();

    KError& GetError() { return mError; }
    int GetLastErrorID() const { return mError.GetLastErrorID(); }
    const char* GetLastErrorString() const { return mError.GetLastErrorString(); }

private:
    KTime::ETimeMode mTimeMode = KTime::eMode30;
    KTime::ETimeProtocol mTimeProtocol = KTime::eProtocolFrame;
    ESnapOnFrameMode mSnapOnFrameMode = eNO_SNAP;
    std::vector<std::unique_ptr<KZeqTimeMarker>> mTimeMarkers;
    int mCurrentTimeMarker = -1;
    KError mError;
};

}  // namespace zeqsdk_400

#endif

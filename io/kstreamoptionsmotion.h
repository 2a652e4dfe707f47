#ifndef ZEQ_IO_KSTREAMOPTIONSMOTION_H
#define ZEQ_IO_KSTREAMOPTIONSMOTION_H

#include "base/kstring.h"
#include "base/ktime.h"
#include "object/kstreamoptions.h"

namespace zeqsdk_400 {

// The options of the motion-capture readers and writers: the take to read,
// the start and frame count, the time mode with its rate, the skeleton scene
// an ASF read or write hands to the AMC one, and eighteen three-state options.
class KStreamOptionsMotion : public KStreamOptions {
    KZEQ_CLASS_DECLARE(KStreamOptionsMotion)

public:
    enum EOption {
        eTranslation = 0,
        eRotation,
        eScaling,
        eUnusedSegments,
        eImportAsOpticalSegments,
        eImportExactZeroAsOccluded,
        eImportSetOccludedToLastValidPosition,
        eImportActorPrefix,
        eImportCreateReferenceNode,
        eImportDummyNodes,
        eImportLimits,
        eExportGapsAsValidData,
        eExportC3DRealFormat,
        eExportFromGlobalPosition,
        eExportRequireSingleRootNode,
        eExportFrameRate,
        eExportFrameRange,
        eRenameDuplicateNames,
        eOptionCount
    };
    enum EThreeStateOption { eUnset = -1, eOff = 0, eOn = 1 };

    KStreamOptionsMotion();
    // Deletes an owned skeleton scene.
    ~KStreamOptionsMotion() override;

    // No take name, start 0, no frames, the global time mode and its rate, no
    // skeleton scene (an owned one deleted), every option unset.
    void Reset() override;

    // Unset outside 0 to 17; setting there changes nothing.
    EThreeStateOption GetOption(int option) const;
    void SetOption(int option, EThreeStateOption value);

    const KString& GetTakeName() const { return mTakeName; }
    void SetTakeName(const char* name) { mTakeName = name ? name : ""; }
    KTime GetStart() const { return mStart; }
    void SetStart(KTime start) { mStart = start; }
    int GetFrameCount() const { return mFrameCount; }
    // A negative count is 0.
    void SetFrameCount(int count) { mFrameCount = count < 0 ? 0 : count; }

    // Mode 0 without a rate: the global mode and its rate. Mode 0 with a rate:
    // that rate and the mode closest to it within 0.001 (0 when none). Any
    // other mode: the mode and its own rate.
    void SetTimeMode(KTime::ETimeMode mode, double rate = 0.0);
    KTime::ETimeMode GetTimeMode() const { return mTimeMode; }
    double GetFrameRate() const { return mFrameRate; }
    // One frame: 1 / rate seconds in mode 0, else one frame of the mode.
    KTime GetFramePeriod() const;

    // The options delete an owned scene when reset or destroyed.
    void SetASFScene(KObject* scene, bool owned);
    KObject* GetASFScene() const { return mASFScene; }

private:
    void ReleaseASFScene();

    KString mTakeName;
    KTime mStart;
    int mFrameCount = 0;
    KTime::ETimeMode mTimeMode = KTime::eModeDefault;
    double mFrameRate = 0.0;
    KObject* mASFScene = nullptr;
    bool mASFSceneOwned = false;
    EThreeStateOption mOptions[eOptionCount];
};

// New options in their reset state; release them with Destroy().
KStreamOptionsMotion* KStreamOptionsMotionCreate();

}  // namespace zeqsdk_400

#endif

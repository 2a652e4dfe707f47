#ifndef ZEQ_IO_KSTREAMOPTIONSZEQ_H
#define ZEQ_IO_KSTREAMOPTIONSZEQ_H

#include <memory>
#include <vector>

#include "base/kstring.h"
#include "fcurve/kfcurvebake.h"
#include "object/kstreamoptions.h"

namespace zeqsdk_400 {

class KZeqSceneInfo;
class KZeqTakeInfo;

// The option set of one Zeq read or write: twelve content switches, six
// content counts read from a file, the file's takes with the take to read,
// the scene information (the SDK manager's; only pointed to), the template
// and password flags and the password.
class KStreamOptionsZeq : public KStreamOptions {
    KZEQ_CLASS_DECLARE(KStreamOptionsZeq)

public:
    enum EOption {
        eGEOMETRY = 0,
        eMATERIAL,
        eTEXTURE,       // and the "Media" section
        eLINK,
        eSHAPE,
        eGOBO,
        eANIMATION,
        eCHARACTER,     // also actors, marker sets, constraints, poses, generic persistence
        eGLOBAL_SETTINGS,
        ePIVOT,
        eMERGE_LAYER_AND_TIMEWARP,
        eEMBED_MEDIA,
        eOptionCount
    };
    enum EContentCount { eMODEL_COUNT = 0, eDEVICE_COUNT, eCHARACTER_COUNT, eACTOR_COUNT, eCONSTRAINT_COUNT,
                         eMEDIA_COUNT, eContentCountCount };

    KStreamOptionsZeq();
    ~KStreamOptionsZeq() override;
    // Deep-copies the take infos; shares the scene information.
    KStreamOptionsZeq& operator=(const KStreamOptionsZeq& other);

    // Callbacks back to do-nothing ones, takes deleted, strings emptied, the
    // scene information forgotten (not destroyed), flags and counts cleared,
    // options 0 to 9 on, 10 and 11 off.
    void Reset() override;

    // Indices outside the tables are ignored (getters answer false or 0).
    void SetOption(int option, bool value);
    bool GetOption(int option) const;
    void SetContentCount(int count, int value);
    int GetContentCount(int count) const;

    // Owned copies, in order.
    int GetTakeInfoCount() const { return static_cast<int>(mTakeInfos.size()); }
    // Null outside the list.
    KZeqTakeInfo* GetTakeInfo(int index) const;
    // Appends a copy; answers it.
    KZeqTakeInfo* AddTakeInfo(const KZeqTakeInfo& info);
    void ClearTakeInfos();

    const KString& GetCurrentTake() const { return mCurrentTake; }
    void SetCurrentTake(const char* name) { mCurrentTake = name ? name : ""; }
    KZeqSceneInfo* GetSceneInfo() const { return mSceneInfo; }
    void SetSceneInfo(KZeqSceneInfo* info) { mSceneInfo = info; }
    bool GetPasswordProtection() const { return mPasswordProtection; }
    void SetPasswordProtection(bool on) { mPasswordProtection = on; }
    const KString& GetPassword() const { return mPassword; }
    void SetPassword(const char* password) { mPassword = password ? password : ""; }
    bool GetTemplate() const { return mTemplate; }
    void SetTemplate(bool on) { mTemplate = on; }
    // The most samples (so keys a channel, about) a take's span may widen the read's bake of its
    // layers and time warps to (KFCurveBakeSpan::mMostSamples): ten million, fewer for a reader
    // whose curves cost more a key; past it the bake covers the keys alone, and the read says so.
    kULongLong GetMostBakeSamples() const { return mMostBakeSamples; }
    void SetMostBakeSamples(kULongLong most) { mMostBakeSamples = most; }

private:
    KStreamOptionsZeq(const KStreamOptionsZeq&) = delete;

    std::vector<std::unique_ptr<KZeqTakeInfo>> mTakeInfos;
    KString mCurrentTake;
    KZeqSceneInfo* mSceneInfo = nullptr;
    bool mPasswordProtection = false;
    KString mPassword;
    bool mTemplate = false;
    kULongLong mMostBakeSamples = kKFCurveBakeMostSamples;
    bool mOptions[eOptionCount];
    int mContentCounts[eContentCountCount];
};

// A new option set in its reset state; release it with Destroy().
KStreamOptionsZeq* KStreamOptionsZeqCreate();

}  // namespace zeqsdk_400

#endif

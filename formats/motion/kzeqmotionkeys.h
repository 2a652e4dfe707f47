#ifndef ZEQ_FORMATS_MOTION_KZEQMOTIONKEYS_H
#define ZEQ_FORMATS_MOTION_KZEQMOTIONKEYS_H

// What the motion readers of several families do alike: keys of the imported
// kind, the library's rotation filter and constant-key reduction, the
// reference node above the imported nodes, the take they make current.

#include <cmath>

#include "base/kgemath.h"
#include "base/kstring.h"
#include "base/ktime.h"
#include "content/kzeqmarker.h"
#include "content/kzeqopticalreference.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvefilterconstantkeyreducer.h"
#include "fcurve/kfcurvefiltergimbalkiller.h"
#include "fcurve/kfcurvefilterunroll.h"
#include "fcurve/kfcurvesettings.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"

namespace zeqsdk_400 {
namespace motionkeys {

// A value as a key's float: values beyond a float's range are clamped (a
// plain conversion of them is undefined).
inline float ToFloat(double value) {
    constexpr double kLargest = 3.4028234663852886e38;
    return static_cast<float>(value > kLargest ? kLargest : value < -kLargest ? -kLargest : value);
}

// A key of the imported kind: cubic with automatic tangents and weights of
// 1/3 (interpolation 8), or constant (2). Made once: encoding the weights is
// most of the cost of a key.
inline const KFCurveKey& ImportedKey(unsigned int interpolation) {
    auto make = [](unsigned int kind) {
        KFCurveKey key;
        const float third = 1.0f / 3.0f;
        key.Set(KTime(), 0.0f, kind, 0x100, 0.0f, 0.0f, 0, third, third, 0.0f, 0.0f);
        return key;
    };
    static const KFCurveKey cubic = make(8), constant = make(2);
    return interpolation == 2 ? constant : cubic;
}

// Key index of a curve made ready with KeyModifyBegin(count).
inline void SetKey(KFCurve* curve, int index, KTime time, float value, unsigned int interpolation = 8) {
    KFCurveKey* key = curve->KeyGetPtr(index);
    *key = ImportedKey(interpolation);
    key->SetTime(time);
    key->SetValue(value);
}

// Makes room for count keys on every curve; false when one cannot hold them.
inline bool BeginKeys(KFCurve* const* curves, int n, int count) {
    for (int i = 0; i < n; ++i)
        if (!curves[i] || !curves[i]->InitBuffers(count)) return false;
    for (int i = 0; i < n; ++i) curves[i]->KeyModifyBegin(count);
    return true;
}

inline void EndKeys(KFCurve* const* curves, int n, int count) {
    for (int i = 0; i < n; ++i) curves[i]->KeyModifyEnd(count);
}

// The rotation filter the library settings name, on the X, Y, Z Euler curves.
inline void FilterRotation(KFCurve** curves) {
    if (KFCURVE_GetRotationFilterToApply() == KFCURVE_ROTATION_FILTER_UNROLL) {
        KFCurveFilterUnroll unroll;
        unroll.Apply(curves, 3);
    } else if (KFCURVE_GetRotationFilterToApply() == KFCURVE_ROTATION_FILTER_GIMBLE_KILLER) {
        KFCurveFilterGimbleKiller killer;
        killer.Apply(curves, 3);
    }
}

// The constant-key reducer on count curves, when the library settings ask for it.
inline void ReduceConstantKeys(KFCurve** curves, int count) {
    if (!KFCURVE_GetUseConstantKeyReducer()) return;
    KFCurveFilterConstantKeyReducer reducer;
    reducer.Apply(curves, count);
}

// A node with an optical marker attribute; null when the manager refuses one.
inline KZeqNode* CreateMarkerNode(KZeqSdkManager& manager, const char* name) {
    KZeqNode* node = manager.CreateKZeqNode(name);
    KZeqMarker* marker = node ? manager.CreateKZeqMarker() : nullptr;
    if (!marker) {
        if (node) manager.DestroyKZeqNode(node, true);
        return nullptr;
    }
    marker->SetType(KZeqMarker::eOPTICAL_MARKER);
    node->SetNodeAttribute(marker);
    return node;
}

// "<prefix>:optical" or "<prefix>:reference" with an optical reference attribute.
inline KZeqNode* CreateReferenceNode(KZeqSdkManager& manager, const char* prefix, bool optical) {
    KZeqNode* node = manager.CreateKZeqNode((KString(prefix) + (optical ? ":optical" : ":reference")).Buffer());
    KZeqOpticalReference* reference = node ? manager.CreateKZeqOpticalReference() : nullptr;
    if (!reference) {
        if (node) manager.DestroyKZeqNode(node, true);
        return nullptr;
    }
    node->SetNodeAttribute(reference);
    return node;
}

// Stores the take with both spans [start, stop] and makes it current.
inline void SetTake(KZeqScene& scene, const KString& name, KTime start, KTime stop) {
    KZeqTakeInfo info;
    info.mName = name;
    info.mLocalTimeSpan.Set(start, stop);
    info.mReferenceTimeSpan.Set(start, stop);
    scene.SetTakeInfo(info);
    scene.SetCurrentTake(name.Buffer());
}

// Whether a reader keying rotations with ContinuousEuler leaves the unroll
// filter out: when the library's filter is unroll without its test for path,
// that filter would change none of those keys.
inline bool UnrollWhileKeying() {
    return KFCURVE_GetRotationFilterToApply() == KFCURVE_ROTATION_FILTER_UNROLL &&
           !KFCURVE_GetRotationFilterUnrollTestForPath();
}

// Euler XYZ triples made continuous key by key as the unroll filter does it,
// from (0, 0, 0) at the first key.
class ContinuousEuler {
public:
    void Reset() { mPrevious[0] = mPrevious[1] = mPrevious[2] = 0.0; }
    // Takes angles as they are for the next key to follow.
    void Set(const double* angles) { mPrevious[0] = angles[0], mPrevious[1] = angles[1], mPrevious[2] = angles[2]; }
    void Apply(double* angles) {
        // Within 45 degrees of the previous triple on every axis a triple is
        // already the continuous one (no whole turn brings an angle nearer, and
        // its other solution lies at least 135 degrees away on two axes):
        // KVNGetContinuousRotation would return it unchanged, and consecutive
        // frames are nearly always so.
        if (!(std::fabs(angles[0] - mPrevious[0]) < 45.0 && std::fabs(angles[1] - mPrevious[1]) < 45.0 &&
              std::fabs(angles[2] - mPrevious[2]) < 45.0)) {
            static const int kXYZ[3] = {0, 1, 2};
            KVNGetContinuousRotation(angles, angles, mPrevious, kXYZ);
        }
        mPrevious[0] = angles[0], mPrevious[1] = angles[1], mPrevious[2] = angles[2];
    }

private:
    double mPrevious[3] = {0.0, 0.0, 0.0};
};

}  // namespace motionkeys
}  // namespace zeqsdk_400

#endif

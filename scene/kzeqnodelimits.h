#ifndef ZEQ_SCENE_KZEQNODELIMITS_H
#define ZEQ_SCENE_KZEQNODELIMITS_H

#include "base/kzeqvector.h"

namespace zeqsdk_400 {

class KZeqNode;

// Per-axis bounds of one transform kind: which minima and maxima count, and
// their values.
class KZeqLimits {
public:
    void SetLimitMinActive(bool x, bool y, bool z) { Set(mMinActive, x, y, z); }
    void GetLimitMinActive(bool& x, bool& y, bool& z) const { Get(mMinActive, x, y, z); }
    void SetLimitMaxActive(bool x, bool y, bool z) { Set(mMaxActive, x, y, z); }
    void GetLimitMaxActive(bool& x, bool& y, bool& z) const { Get(mMaxActive, x, y, z); }
    // Any of the six flags.
    bool GetLimitSomethingActive() const;
    void SetLimitMin(const KZeqVector4& min) { mMin = min; }
    KZeqVector4 GetLimitMin() const { return mMin; }
    void SetLimitMax(const KZeqVector4& max) { mMax = max; }
    KZeqVector4 GetLimitMax() const { return mMax; }

private:
    static void Set(bool* flags, bool x, bool y, bool z) {
        flags[0] = x;
        flags[1] = y;
        flags[2] = z;
    }
    static void Get(const bool* flags, bool& x, bool& y, bool& z) {
        x = flags[0];
        y = flags[1];
        z = flags[2];
    }

    bool mMinActive[3] = {false, false, false};
    bool mMaxActive[3] = {false, false, false};
    KZeqVector4 mMin;
    KZeqVector4 mMax;
};

// A node's translation, rotation and scaling limits, each manual when its
// active flag is on. Owned by the node.
class KZeqNodeLimits {
public:
    explicit KZeqNodeLimits(KZeqNode* node) : mNode(node) {}
    KZeqNodeLimits(const KZeqNodeLimits&) = delete;
    KZeqNodeLimits& operator=(const KZeqNodeLimits&) = delete;

    void SetTranslationLimitActive(bool active) { mTranslationLimitActive = active; }
    bool GetTranslationLimitActive() const { return mTranslationLimitActive; }
    void SetRotationLimitActive(bool active) { mRotationLimitActive = active; }
    bool GetRotationLimitActive() const { return mRotationLimitActive; }
    void SetScalingLimitActive(bool active) { mScalingLimitActive = active; }
    bool GetScalingLimitActive() const { return mScalingLimitActive; }
    void SetAxisLength(double length) { mAxisLength = length; }
    double GetAxisLength() const { return mAxisLength; }
    KZeqNode* GetNode() const { return mNode; }

    KZeqLimits mTranslationLimits;
    KZeqLimits mRotationLimits;
    KZeqLimits mScalingLimits;

private:
    KZeqNode* mNode;
    bool mTranslationLimitActive = false;
    bool mRotationLimitActive = false;
    bool mScalingLimitActive = false;
    double mAxisLength = 1.0;
};

}  // namespace zeqsdk_400

#endif

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
// active flag is on and automatic otherwise. The rotation limit's default,
// axis and type live in the node's pivot set 0 (pre-rotation, post-rotation,
// rotation order): the limits are a view onto the node for them. Owned by the node.
class KZeqNodeLimits {
public:
    enum ELimitType : int { eT = 0, eR = 1, eS = 2 };
    enum ERotationType : int { eROTATION_SPHERIC_XYZ = 0, eROTATION_EULER_XYZ = 1 };
    enum ERotationClampType : int { eROTATION_CLAMP_RECTANGULAR = 0, eROTATION_CLAMP_ELLIPSOID = 1 };

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

    // Automatic is the negation of active. A manual rotation limit also makes
    // the node use its rotation space for limits only. Other types: nothing
    // (GetAuto answers true).
    void SetAuto(ELimitType type, bool automatic);
    bool GetAuto(ELimitType type) const;
    // All six per-axis flags take the state, when the limit's state differs.
    void SetEnable(ELimitType type, bool enable);
    bool GetEnable(ELimitType type) const;
    // Translation and scaling: both minimum and maximum; rotation: the node's pre-rotation.
    void SetDefault(ELimitType type, KZeqVector4 value);
    // Translation and scaling: the minimum; rotation: the node's pre-rotation.
    KZeqVector4 GetDefault(ELimitType type) const;
    void SetMin(ELimitType type, KZeqVector4 value);
    void SetMax(ELimitType type, KZeqVector4 value);
    // Zero vectors for other types.
    KZeqVector4 GetMin(ELimitType type) const;
    KZeqVector4 GetMax(ELimitType type) const;
    // Spheric XYZ is the node's rotation order 6; any other type is Euler XYZ (order 0).
    void SetRotationType(ERotationType type);
    ERotationType GetRotationType() const;
    // The clamp follows the rotation order only: setting it changes nothing.
    void SetRotationClampType(ERotationClampType) {}
    ERotationClampType GetRotationClampType() const;
    // The node's post-rotation.
    void SetRotationAxis(KZeqVector4 axis);
    KZeqVector4 GetRotationAxis() const;

    // Recomputes the automatic limits from the node's default-take pose.
    // Nothing for a null node, a root, or when no limit is automatic.
    void UpdateAutomatic(KZeqNode* node);
    // Where the node's bone ends, in its local space: the longest child
    // translation of the group the node's own attribute selects, else the
    // longest of any child, else the end site.
    KZeqVector4 GetEndPointTranslation(KZeqNode* node);
    // The longest control point of the node's geometry; (0, 0, 0, 1) without
    // geometry or control points, zero when all have length 0.
    KZeqVector4 GetEndSite(KZeqNode* node);

    KZeqLimits mTranslationLimits;
    KZeqLimits mRotationLimits;
    KZeqLimits mScalingLimits;

private:
    // Null for a type other than 0, 1, 2.
    KZeqLimits* Limits(ELimitType type);
    const KZeqLimits* Limits(ELimitType type) const;
    bool* Active(ELimitType type);
    const bool* Active(ELimitType type) const;

    KZeqNode* mNode;
    bool mTranslationLimitActive = false;
    bool mRotationLimitActive = false;
    bool mScalingLimitActive = false;
    double mAxisLength = 1.0;
};

}  // namespace zeqsdk_400

#endif

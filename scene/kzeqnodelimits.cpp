#include "scene/kzeqnodelimits.h"

#include <cmath>

#include "base/kgemath.h"
#include "base/kzeqmatrix.h"
#include "scene/kzeqnode.h"

namespace zeqsdk_400 {

bool KZeqLimits::GetLimitSomethingActive() const {
    for (int i = 0; i < 3; ++i)
        if (mMinActive[i] || mMaxActive[i]) return true;
    return false;
}

KZeqLimits* KZeqNodeLimits::Limits(ELimitType type) {
    return const_cast<KZeqLimits*>(static_cast<const KZeqNodeLimits*>(this)->Limits(type));
}

const KZeqLimits* KZeqNodeLimits::Limits(ELimitType type) const {
    switch (type) {
        case eT: return &mTranslationLimits;
        case eR: return &mRotationLimits;
        case eS: return &mScalingLimits;
    }
    return nullptr;
}

bool* KZeqNodeLimits::Active(ELimitType type) {
    return const_cast<bool*>(static_cast<const KZeqNodeLimits*>(this)->Active(type));
}

const bool* KZeqNodeLimits::Active(ELimitType type) const {
    switch (type) {
        case eT: return &mTranslationLimitActive;
        case eR: return &mRotationLimitActive;
        case eS: return &mScalingLimitActive;
    }
    return nullptr;
}

void KZeqNodeLimits::SetAuto(ELimitType type, bool automatic) {
    bool* active = Active(type);
    if (!active) return;
    *active = !automatic;
    if (type == eR && !automatic && mNode) mNode->SetUseRotationSpaceForLimitOnly(KZeqNode::eSOURCE_SET, true);
}

bool KZeqNodeLimits::GetAuto(ELimitType type) const {
    const bool* active = Active(type);
    return !active || !*active;
}

void KZeqNodeLimits::SetEnable(ELimitType type, bool enable) {
    KZeqLimits* limits = Limits(type);
    if (!limits || limits->GetLimitSomethingActive() == enable) return;
    limits->SetLimitMinActive(enable, enable, enable);
    limits->SetLimitMaxActive(enable, enable, enable);
}

bool KZeqNodeLimits::GetEnable(ELimitType type) const {
    const KZeqLimits* limits = Limits(type);
    return limits && limits->GetLimitSomethingActive();
}

void KZeqNodeLimits::SetDefault(ELimitType type, KZeqVector4 value) {
    if (type == eR) {
        if (mNode) mNode->SetPreRotation(KZeqNode::eSOURCE_SET, value);
        return;
    }
    if (KZeqLimits* limits = Limits(type)) {
        limits->SetLimitMin(value);
        limits->SetLimitMax(value);
    }
}

KZeqVector4 KZeqNodeLimits::GetDefault(ELimitType type) const {
    if (type == eR) return mNode ? mNode->GetPreRotation(KZeqNode::eSOURCE_SET) : KZeqVector4();
    const KZeqLimits* limits = Limits(type);
    return limits ? limits->GetLimitMin() : KZeqVector4();
}

void KZeqNodeLimits::SetMin(ELimitType type, KZeqVector4 value) {
    if (KZeqLimits* limits = Limits(type)) limits->SetLimitMin(value);
}

void KZeqNodeLimits::SetMax(ELimitType type, KZeqVector4 value) {
    if (KZeqLimits* limits = Limits(type)) limits->SetLimitMax(value);
}

KZeqVector4 KZeqNodeLimits::GetMin(ELimitType type) const {
    const KZeqLimits* limits = Limits(type);
    return limits ? limits->GetLimitMin() : KZeqVector4();
}

KZeqVector4 KZeqNodeLimits::GetMax(ELimitType type) const {
    const KZeqLimits* limits = Limits(type);
    return limits ? limits->GetLimitMax() : KZeqVector4();
}

void KZeqNodeLimits::SetRotationType(ERotationType type) {
    if (mNode) mNode->SetRotationOrder(KZeqNode::eSOURCE_SET, type == eROTATION_SPHERIC_XYZ ? eSPHERIC_XYZ : eEULER_XYZ);
}

KZeqNodeLimits::ERotationType KZeqNodeLimits::GetRotationType() const {
    ERotationOrder order = eEULER_XYZ;
    if (mNode) mNode->GetRotationOrder(KZeqNode::eSOURCE_SET, order);
    return order == eSPHERIC_XYZ ? eROTATION_SPHERIC_XYZ : eROTATION_EULER_XYZ;
}

KZeqNodeLimits::ERotationClampType KZeqNodeLimits::GetRotationClampType() const {
    return GetRotationType() == eROTATION_SPHERIC_XYZ ? eROTATION_CLAMP_ELLIPSOID : eROTATION_CLAMP_RECTANGULAR;
}

void KZeqNodeLimits::SetRotationAxis(KZeqVector4 axis) {
    if (mNode) mNode->SetPostRotation(KZeqNode::eSOURCE_SET, axis);
}

KZeqVector4 KZeqNodeLimits::GetRotationAxis() const {
    return mNode ? mNode->GetPostRotation(KZeqNode::eSOURCE_SET) : KZeqVector4();
}

// ---- Automatic limits ----------------------------------------------------------------------

namespace {

double Length3(const double* v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

void Cross(double* out, const double* a, const double* b) {
    const double x = a[1] * b[2] - a[2] * b[1], y = a[2] * b[0] - a[0] * b[2], z = a[0] * b[1] - a[1] * b[0];
    out[0] = x;
    out[1] = y;
    out[2] = z;
}

double Determinant(const KgeAMatrix& m) {
    double c[3];
    Cross(c, m[0], m[1]);
    return c[0] * m[2][0] + c[1] * m[2][1] + c[2] * m[2][2];
}

KZeqVector4 EulerOf(const KgeRMatrix& m) {
    double v[3];
    KmRtoVord(v, m, 0);
    return KZeqVector4(v[0], v[1], v[2], 0.0);
}

}  // namespace

void KZeqNodeLimits::UpdateAutomatic(KZeqNode* node) {
    const bool autoT = GetAuto(eT), autoR = GetAuto(eR), autoS = GetAuto(eS);
    if (!node || !node->GetParent() || !(autoT || autoR || autoS)) return;
    const KZeqXMatrix parent = node->GetParent()->GetGlobalFromDefaultTake();
    const KZeqXMatrix global = node->GetGlobalFromDefaultTake();
    const KZeqXMatrix local = node->GetLocalFromDefaultTake();
    const KgeAMatrix& P = parent;
    const KgeAMatrix& G = global;
    const KgeAMatrix& L = local;

    if (autoT) {
        const KZeqVector4 t(L[3][0], L[3][1], L[3][2], 0.0);
        mTranslationLimits.SetLimitMin(t);
        mTranslationLimits.SetLimitMax(t);
    }
    if (autoR) {
        const KZeqVector4 end = GetEndPointTranslation(node);
        const double e[3] = {end[0], end[1], end[2]};
        const double len = Length3(e);
        const double d[3] = {G[3][0] - P[3][0], G[3][1] - P[3][1], G[3][2] - P[3][2]};
        const double dist = Length3(d);
        KZeqMatrix rn, rp, frame;
        KgeSetRM(rn, G);
        KgeSetRM(rp, P);
        frame = rn;
        if (len > 0.0) {
            // The end direction carried into global space.
            double w[3];
            for (int j = 0; j < 3; ++j) w[j] = (e[0] * rn.mData[0][j] + e[1] * rn.mData[1][j] + e[2] * rn.mData[2][j]) / len;
            double c[3] = {0.0, 0.0, 0.0};
            if (dist > 0.0) {
                const double bone[3] = {d[0] / dist, d[1] / dist, d[2] / dist};
                Cross(c, bone, w);
            }
            const double clen = Length3(c);
            if (clen > 0.0) {
                for (int j = 0; j < 3; ++j) {
                    frame.mData[0][j] = w[j];
                    frame.mData[2][j] = c[j] / clen;
                }
                Cross(frame.mData[1], frame.mData[2], frame.mData[0]);
            } else {
                // The shortest turn of the frame's X axis onto the end direction.
                KgeQuaternion q;
                GetQuaternionFromPositionToPosition(q, KgeTVector(rn.mData[0][0], rn.mData[0][1], rn.mData[0][2]),
                                                    KgeTVector(w[0], w[1], w[2]));
                KZeqMatrix turn;
                KmQtoR(turn, q);
                KmRR(frame, turn, rn);
            }
        }
        KZeqMatrix relative;
        KmRiR(relative, rp, frame);
        SetDefault(eR, EulerOf(relative));
        KmRiR(relative, rn, frame);
        SetRotationAxis(EulerOf(relative));
        SetAxisLength(len);
        SetRotationType(dist <= 0.0 ? eROTATION_SPHERIC_XYZ : eROTATION_EULER_XYZ);
        SetRotationClampType(dist <= 0.0 ? eROTATION_CLAMP_ELLIPSOID : eROTATION_CLAMP_RECTANGULAR);
    }
    if (autoS) {
        const double sign = Determinant(L) < 0.0 ? -1.0 : 1.0;
        const KZeqVector4 s(sign * Length3(L[0]), sign * Length3(L[1]), sign * Length3(L[2]), 0.0);
        mScalingLimits.SetLimitMin(s);
        mScalingLimits.SetLimitMax(s);
    }
}

}  // namespace zeqsdk_400

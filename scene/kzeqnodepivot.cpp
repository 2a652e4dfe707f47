// Conversion of a subtree's animation from one pivot set to the other: what
// reduces to a translation shifts the translation curves by a constant, the
// rest goes to the matrix converter, which resamples the transform curves.
#include <cmath>
#include <memory>
#include <vector>

#include "base/kgemath.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvefiltermatrixconverter.h"
#include "fcurve/kfcurvenode.h"
#include "scene/kzeqnode.h"

namespace zeqsdk_400 {

namespace {

typedef KFCurveFilterMatrixConverter Converter;

bool IsActive(const KZeqNodeProperties::KZeqPivot& pivot) { return pivot.mPivotState == KZeqNode::ePIVOT_STATE_ACTIVE; }

// A member of a set, the zero vector when the set does not count.
KZeqVector4 Member(const KZeqNodeProperties::KZeqPivot& set, KZeqVector4 KZeqNodeProperties::KZeqPivot::*member) {
    const KZeqVector4& v = set.*member;
    return IsActive(set) ? KZeqVector4(v[0], v[1], v[2], 0.0) : KZeqVector4();
}

bool NonZero(const KZeqVector4& v) { return v[0] != 0.0 || v[1] != 0.0 || v[2] != 0.0; }

bool Beyond(const KZeqVector4& v, double tolerance) {
    return std::fabs(v[0]) > tolerance || std::fabs(v[1]) > tolerance || std::fabs(v[2]) > tolerance;
}

void Rotation(KZeqMatrix& m, const KZeqVector4& angles) { KmXYZtoR(m, angles[0], angles[1], angles[2]); }

// out = a . b on affine matrices, a applied first.
void Mul(KZeqMatrix& out, const KZeqMatrix& a, const KZeqMatrix& b) {
    KZeqMatrix result;
    KmAA(result, b, a);
    out = result;
}

KZeqMatrix Inverse(const KZeqMatrix& m) {
    KZeqMatrix inverse;
    KmAi(inverse, m);
    return inverse;
}

KZeqMatrix Translation(const KZeqVector4& t) {
    KZeqMatrix m;
    for (int i = 0; i < 3; ++i) m.mData[3][i] = t[i];
    return m;
}

// w . R^-1 for a rotation R: w turned back by it.
KZeqVector4 TurnedBack(const KZeqVector4& w, const KZeqMatrix& rotation) {
    KZeqVector4 out;
    for (int j = 0; j < 3; ++j)
        out[j] = w[0] * rotation.mData[j][0] + w[1] * rotation.mData[j][1] + w[2] * rotation.mData[j][2];
    return out;
}

// The parent's rotation pivot as its children see it, zero when the set does not count.
KZeqVector4 ParentPivot(const KZeqNodeProperties::KZeqPivot& set) {
    if (!IsActive(set)) return KZeqVector4();
    KZeqMatrix post;
    Rotation(post, set.mPostRotation);
    return TurnedBack(set.mRotationPivot, post);
}

// True when the turn m (a product of rotations) is the identity within 1e-6: the two sets turn
// alike there, and what differs of their pre- or post-rotations needs no resampling. Compared as the
// matrix itself: Euler angles read out of it and turned back would give it again.
bool IsIdentityTurn(const KZeqMatrix& m) {
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            if (std::fabs(m.mData[i][j] - (i == j ? 1.0 : 0.0)) > 1e-6) return false;
    return true;
}

// The source matrices and rotation orders a node hands the converter. The
// converter itself is built only when the node needs it.
struct Conversion {
    void Set(Converter::EMatrixID id, const KZeqMatrix& m) {
        mMatrices[id] = m;
        mSet[id] = true;
    }
    // Configured as both conversions want it.
    void Build(Converter& converter, double frameRate, bool keyReduce) const {
        for (int id = 0; id < Converter::eMatrixCount; ++id)
            if (mSet[id]) converter.SetSourceMatrix(static_cast<Converter::EMatrixID>(id), mMatrices[id]);
        KTime period;
        period.SetSecondDouble(1.0 / frameRate);
        converter.SetResamplingPeriod(period);
        converter.SetGenerateLastKeyExactlyAtEndTime(true);
        converter.SetApplyUnroll(true);
        converter.SetApplyConstantKeyReducer(keyReduce);
        converter.SetResampleTranslation(false);
        converter.mSourceRotationOrder = mSourceOrder;
        converter.mDestRotationOrder = mDestOrder;
    }

    KZeqMatrix mMatrices[Converter::eMatrixCount];
    bool mSet[Converter::eMatrixCount] = {};
    int mSourceOrder = 0;
    int mDestOrder = 0;
    bool mConvert = false;  // whether the converter runs at all
};

// The converter's code of a set's rotation order: twice the node's for the Euler orders. A node's
// spheric XYZ composes as Euler XYZ; the converter's own spheric code turns by a rotation vector.
int ConverterOrder(ERotationOrder order) { return order == eSPHERIC_XYZ ? 0 : 2 * order; }

// The node of a take's tree that holds "T", "R" and "S".
KFCurveNode* TransformNodeOf(KZeqTakeNode* take) {
    KFCurveNode* root = take->GetKFCurveNode();
    if (root->Find("T") >= 0) return root;
    const int transform = root->Find("Transform");
    return transform >= 0 ? root->Get(transform) : nullptr;
}

// Every take: the translation curves shifted by v, then, when asked, the
// converter run on the transform channels.
void ShiftAndConvert(KZeqNode& node, const KZeqVector4& v, const Conversion& conversion, double frameRate,
                     bool keyReduce) {
    std::unique_ptr<Converter> converter;
    if (conversion.mConvert) {
        converter.reset(new Converter);
        conversion.Build(*converter, frameRate, keyReduce);
    }
    for (int i = 0; i < node.GetTakeNodeCount(); ++i) {
        KZeqTakeNode* take = node.GetTakeNode(i);
        if (!take) continue;
        KFCurve* curves[3] = {take->GetTranslationX(), take->GetTranslationY(), take->GetTranslationZ()};
        for (int axis = 0; axis < 3; ++axis) {
            // A take without this curve has nothing to shift on this axis.
            KFCurve* curve = curves[axis];
            if (!curve) continue;
            curve->SetValue(static_cast<float>(curve->GetValue() + v[axis]));
            const float delta = static_cast<float>(v[axis]);
            curve->KeyModifyBegin();
            for (int k = 0; k < curve->KeyGetCount(); ++k) curve->KeyGetPtr(k)->IncValue(delta);
            curve->KeyModifyEnd();
        }
        if (converter)
            if (KFCurveNode* transform = TransformNodeOf(take)) converter->Apply(*transform, true);
    }
}

// The node, then its subtree in index order, without recursion.
template <class Visit>
void PreOrder(KZeqNode* top, Visit visit) {
    std::vector<KZeqNode*> pending{top};
    while (!pending.empty()) {
        KZeqNode* node = pending.back();
        pending.pop_back();
        visit(*node);
        for (int i = node->GetChildCount(false) - 1; i >= 0; --i)
            if (KZeqNode* child = node->GetChild(i)) pending.push_back(child);
    }
}

}  // namespace

bool KZeqNode::PreAndPostRotationCount() const {
    return mProperties->RotationActive.Value() && !mProperties->RotationSpaceForLimitOnly.Value();
}

KZeqMatrix KZeqNode::GeometricMatrix(const KZeqNodeProperties::KZeqPivot& set) {
    KZeqMatrix m;
    if (!IsActive(set)) return m;
    Rotation(m, set.mGeometricRotation);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) m.mData[i][j] *= set.mGeometricScaling[i];
        m.mData[3][i] = set.mGeometricTranslation[i];
    }
    return m;
}

void KZeqNode::ConvertPivotAnimation(EPivotSet target, double frameRate, bool keyReduce) {
    PreOrder(this, [&](KZeqNode& node) { node.ConvertOwnPivotAnimation(target, frameRate, keyReduce); });
}

void KZeqNode::ConvertPivotAnimationRecursive(EPivotSet target, double frameRate, bool keyReduce) {
    PreOrder(this, [&](KZeqNode& node) { node.ConvertOwnPivotAnimationFull(target, frameRate, keyReduce); });
}

void KZeqNode::ConvertOwnPivotAnimation(EPivotSet target, double frameRate, bool keyReduce) {
    typedef KZeqNodeProperties::KZeqPivot Set;
    const Set& D = mProperties->mPivots[target == 0 ? 0 : 1];
    const Set& S = mProperties->mPivots[target == 0 ? 1 : 0];
    Conversion conversion;

    KZeqVector4 v = Member(S, &Set::mRotationPivot) - Member(D, &Set::mRotationPivot);
    KZeqXMatrix pivot;
    if (GetGeometryPivot(pivot)) {
        // The geometry keeps its place once the pivot moves: a zero scale counts as 1.
        KZeqVector4 s;
        GetDefaultS(s);
        KZeqVector4 w;
        for (int i = 0; i < 3; ++i) w[i] = -v[i] / (s[i] == 0.0 ? 1.0 : s[i]);
        KZeqMatrix post;
        if (IsActive(S)) Rotation(post, S.mPostRotation);
        w = TurnedBack(w, post);
        for (int i = 0; i < 3; ++i) pivot.mData[3][i] += w[i];
        SetGeometryPivot(pivot, false);
    }
    v += Member(S, &Set::mRotationOffset) - Member(D, &Set::mRotationOffset);
    if (KZeqNode* parent = GetParent()) {
        v -= ParentPivot(parent->mProperties->mPivots[target == 0 ? 1 : 0]);
        v += ParentPivot(parent->mProperties->mPivots[target == 0 ? 0 : 1]);
    }

    const KZeqVector4 preS = Member(S, &Set::mPreRotation), preD = Member(D, &Set::mPreRotation);
    if (NonZero(preS) || NonZero(preD)) {
        KZeqMatrix a, b, m;
        Rotation(a, preS);
        Rotation(b, preD);
        Mul(m, a, Inverse(b));
        conversion.Set(Converter::ePreRotation, m);
        conversion.mConvert = true;
    }
    const KZeqVector4 postS = Member(S, &Set::mPostRotation), postD = Member(D, &Set::mPostRotation);
    if (NonZero(postS) || NonZero(postD)) {
        KZeqMatrix a, b, m;
        Rotation(a, postS);
        Rotation(b, postD);
        Mul(m, Inverse(b), a);
        conversion.Set(Converter::ePostRotation, m);
        conversion.mConvert = true;
    }
    // What the converter resamples it reads in the source set's order and writes in the target's;
    // a change of order alone is no reason to resample here.
    conversion.mSourceOrder = ConverterOrder(S.mRotationOrder);
    conversion.mDestOrder = ConverterOrder(D.mRotationOrder);
    ShiftAndConvert(*this, v, conversion, frameRate, keyReduce);
}

void KZeqNode::ConvertOwnPivotAnimationFull(EPivotSet target, double frameRate, bool keyReduce) {
    typedef KZeqNodeProperties::KZeqPivot Set;
    const Set& D = mProperties->mPivots[target == 0 ? 0 : 1];
    const Set& S = mProperties->mPivots[target == 0 ? 1 : 0];
    Conversion conversion;

    const KZeqVector4 t = Member(S, &Set::mRotationPivot) - Member(D, &Set::mRotationPivot);
    if (NonZero(t)) {
        conversion.Set(Converter::eRotationPivot, Translation(t));
        conversion.mConvert = true;
    }
    KZeqXMatrix pivot;
    if (GetGeometryPivot(pivot)) {
        KZeqMatrix p(pivot);
        Mul(p, GeometricMatrix(S), p);
        Mul(p, Inverse(GeometricMatrix(D)), p);
        pivot = p;
        SetGeometryPivot(pivot, true);
    }
    const KZeqVector4 u = Member(S, &Set::mScalingPivot) - Member(D, &Set::mScalingPivot);
    if (Beyond(u, 0.000001)) {
        conversion.Set(Converter::eScalingPivot, Translation(u));
        conversion.mConvert = true;
    }
    const KZeqVector4 v = Member(S, &Set::mRotationOffset) - Member(D, &Set::mRotationOffset);
    const KZeqVector4 o = Member(S, &Set::mScalingOffset) - Member(D, &Set::mScalingOffset);
    if (Beyond(o, 0.000001)) {
        conversion.Set(Converter::ePivotTermOffset, Translation(o));
        conversion.mConvert = true;
    }

    if (PreAndPostRotationCount()) {
        const KZeqVector4 preS = Member(S, &Set::mPreRotation), preD = Member(D, &Set::mPreRotation);
        if (NonZero(preS) || NonZero(preD)) {
            KZeqMatrix a, b, m;
            Rotation(a, preS);
            Rotation(b, preD);
            Mul(m, a, Inverse(b));
            if (!IsIdentityTurn(m)) {
                conversion.Set(Converter::ePreRotation, m);
                conversion.mConvert = true;
            } else {
                conversion.Set(Converter::ePivotTermPreRotation, a);
            }
        }
        const KZeqVector4 postS = Member(S, &Set::mPostRotation), postD = Member(D, &Set::mPostRotation);
        if (NonZero(postS) || NonZero(postD)) {
            KZeqMatrix a, b, m;
            Rotation(a, postS);
            Rotation(b, postD);
            Mul(m, b, Inverse(a));
            if (!IsIdentityTurn(m)) {
                conversion.Set(Converter::ePostRotation, m);
                conversion.mConvert = true;
            } else {
                conversion.Set(Converter::ePivotTermPostRotation, Inverse(b));
            }
        }
    }
    conversion.mSourceOrder = ConverterOrder(S.mRotationOrder);
    conversion.mDestOrder = ConverterOrder(D.mRotationOrder);
    // Spheric XYZ and Euler XYZ turn alike: no reason to resample.
    if (conversion.mSourceOrder != conversion.mDestOrder) conversion.mConvert = true;
    ShiftAndConvert(*this, v, conversion, frameRate, keyReduce);
}

}  // namespace zeqsdk_400

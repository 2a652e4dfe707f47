// The unroll filter: Euler rotation curves made continuous key by key.
#include "fcurve/kfcurvefilterunroll.h"

#include <algorithm>
#include <cmath>

#include "base/kvxrotationorder.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvefilterkeysync.h"
#include "fcurve/kfcurvenode.h"
#include "fcurve/kfcurverotationkeys.h"
#include "fcurve/kfcurvesettings.h"

namespace zeqsdk_400 {

namespace {

const char kNotRotation[] = "Unroll Filter, Works only on rotation CurveNodes.";
const char kNoKeyText[] = "Unroll Filter, No key to be filtered.";

// Below this squared distance two triples count as equal.
constexpr double kEqualTriples = 2.220446049250313e-16;

// The three curves of a node's first three children; false when one is missing.
bool ChannelCurves(KFCurveNode& node, KFCurve* curves[3]) {
    if (node.GetCount() != 3) return false;
    for (int c = 0; c < 3; ++c) {
        KFCurveNode* child = node.Get(c);
        curves[c] = child ? child->FCurveGet() : nullptr;
        if (!curves[c]) return false;
    }
    return true;
}

// The axes of a rotation order for KVNGetContinuousRotation; an order outside
// the Euler table works as XYZ.
const int* AxesOf(int order) {
    if (order < 0 || order >= KM_EULER_ORDER_COUNT) order = 0;
    return &KmEulerAxis[order * 3];
}

}  // namespace

KFCurveFilterUnroll::KFCurveFilterUnroll() : KFCurveFilter(eKFCurveFilterUnroll) { Reset(); }

void KFCurveFilterUnroll::Reset() {
    mQualityTolerance = KFCURVE_GetRotationFilterUnrollQuality();
    mTestForPath = KFCURVE_GetRotationFilterUnrollTestForPath();
    KFCurveFilter::Reset();
}

double KFCurveFilterUnroll::InterpolationQualityFactor(const KgeRVector& a, const KgeRVector& b) {
    double d2 = 0.0;
    for (int c = 0; c < 3; ++c) d2 += (a.mData[c] - b.mData[c]) * (a.mData[c] - b.mData[c]);
    if (!(d2 > kEqualTriples)) return 100.0;

    KgeRMatrix ra, rb, relative;
    KmXYZtoR(ra, a.mData[0], a.mData[1], a.mData[2]);
    KmXYZtoR(rb, b.mData[0], b.mData[1], b.mData[2]);
    KmRiR(relative, ra, rb);
    KgeQuaternion q;
    KmRtoQ(q, relative);
    // Rounding can leave w a hair above 1.
    const double theta = 2.0 * std::acos(std::clamp(q.mData[3], -1.0, 1.0)) * KM_RAD_TO_DEG;
    return theta * theta / d2;
}

bool KFCurveFilterUnroll::Apply(KFCurveNode& node, bool) {
    bool channels = node.GetLayerType() == KFCL_EULER_XYZ;
    static const char* const kAxes[3] = {"X", "Y", "Z"};
    for (int c = 0; channels && c < 3; ++c) {
        KFCurveNode* axis = node.FindRecursive(kAxes[c]);
        channels = axis && axis->FCurveGet();
    }
    if (!channels) {
        SetError(eNeedRotationNode, kNotRotation);
        return false;
    }
    return DoUnroll(&node);
}

bool KFCurveFilterUnroll::Apply(KFCurve** curves, int count) {
    if (!curves || count != 3 || !curves[0] || !curves[1] || !curves[2]) {
        SetError(eNeedRotationNode, kNotRotation);
        return false;
    }
    rotationkeys::BorrowedRotationNode node(curves);
    return Apply(node.Node(), true);
}

bool KFCurveFilterUnroll::Apply(KFCurve&) {
    SetError(eNeedRotationNode, kNotRotation);
    return false;
}

bool KFCurveFilterUnroll::DoUnroll(KFCurveNode* node) {
    KFCurve* curves[3];
    if (!node || node->GetLayerType() != KFCL_EULER_XYZ || !ChannelCurves(*node, curves)) {
        SetError(eNeedRotationNode, kNotRotation);
        return false;
    }
    if (node->KeyGetCount(false) == 0) {
        SetError(KFCURVEFILTER_ERROR_NO_KEY, kNoKeyText);
        return false;
    }

    KTime start = KTime::Infinite();
    KTime stop = KTime::MinusInfinite();
    for (KFCurve* curve : curves) {
        const int count = curve->KeyGetCount();
        if (count == 0) continue;
        start = std::min(start, curve->KeyGetPtr(0)->GetTime());
        stop = std::max(stop, curve->KeyGetPtr(count - 1)->GetTime());
    }
    start = std::max(start, GetStartTime());
    stop = std::min(stop, GetStopTime());

    rotationkeys::NodePtr clone(node->Clone(false));
    KFCurve* cloned[3];
    if (!ChannelCurves(*clone, cloned)) {
        SetError(eUnexpected);
        return false;
    }
    KFCurveFilterKeySync sync;
    sync.SetStartTime(GetStartTime());
    sync.SetStopTime(GetStopTime());
    if (sync.NeedApply(cloned, 3)) sync.Apply(cloned, 3);

    KFCurve& first = *cloned[0];
    const int i0 = static_cast<int>(first.KeyFind(start));
    const int i1 = static_cast<int>(first.KeyFind(stop));
    if (i0 < 0 || i1 < 0) {
        SetError(KFCURVEFILTER_ERROR_NO_KEY, kNoKeyText);
        return false;
    }

    const int order = node->GetRotationOrder();
    const bool spheric = order == KVXRotationOrder::eSphericXYZ;
    const int* axes = AxesOf(order);
    rotationkeys::KeyTripleCursor cursor(cloned);
    double current[3];
    int indices[3];
    KgeRVector previous;
    if (i0 > 0) cursor.Seek(first.KeyGetPtr(i0)->GetTime(), previous.mData, indices);

    for (KFCurve* curve : cloned) curve->KeyModifyBegin();
    for (int k = i0; k <= i1; ++k) {
        cursor.Seek(first.KeyGetPtr(k)->GetTime(), current, indices);
        KgeRVector result(current[0], current[1], current[2]);
        if (!spheric) KVNGetContinuousRotation(result.mData, current, previous.mData, axes);
        for (int c = 0; c < 3; ++c)
            if (indices[c] >= 0) cloned[c]->KeyGetPtr(indices[c])->SetValue(static_cast<float>(result.mData[c]));
        if (!mTestForPath || InterpolationQualityFactor(previous, result) >= mQualityTolerance) previous = result;
    }
    for (KFCurve* curve : cloned) curve->KeyModifyEnd();

    if (i0 != i1) node->Replace(clone.get(), GetStartTime(), GetStopTime(), false, true);
    return true;
}

}  // namespace zeqsdk_400

// The gimbal killer: rotation curves rebuilt with continuous triples and keys
// inserted along the shortest rotation where successive keys are far apart.
#include "fcurve/kfcurvefiltergimbalkiller.h"

#include "base/kgemath.h"
#include "base/kvxrotationorder.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvefilterkeysync.h"
#include "fcurve/kfcurvenode.h"
#include "fcurve/kfcurverotationkeys.h"

namespace zeqsdk_400 {

namespace {

const char kNotThreeChildren[] = "Gimble Killer. ioCurveNode does not have 3 childs.";
const char kNotRotation[] = "Gimble Killer. Not a Rotation node!";
const char kNeedThreeCurves[] = "Need 3 KFCurve to apply a gimble killer filter.";
const char kOutOfMemory[] = "Gimble Killer. Not enough memory for the rebuilt keys.";

// Successive triples closer than this (sum of squared angle differences,
// degrees) need no key between them.
constexpr double kMaxStep2 = 75.0;
// Keys closer than this (seconds) are never subdivided.
constexpr double kMinInterval = 0.0008333333333333334;
// Keys inserted between two input keys at most. A real rotation between two
// keys is at most a half turn, split into steps of several degrees (a few
// dozen keys, a few more where it passes gimbal lock); only damaged values,
// such as angles too large for their differences to mean anything, would go on
// splitting every 1/2400 s over the whole interval.
constexpr int kMaxInsertedKeys = 128;
// The rebuilt curves grow by this many keys at a time.
constexpr int kGrowth = 250;

double Distance2(const KgeRVector& a, const KgeRVector& b) {
    double d2 = 0.0;
    for (int c = 0; c < 3; ++c) d2 += (a.mData[c] - b.mData[c]) * (a.mData[c] - b.mData[c]);
    return d2;
}

// A key set as the gimbal killer writes its rebuilt keys.
void SetAutoKey(KFCurveKey& key, KTime time, double value) {
    key.Set(time, static_cast<float>(value), KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_AUTO, 0.0f, 0.0f,
            KFCURVE_WEIGHTED_NONE, KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0.0f, 0.0f);
}

// The three rebuilt curves, written through one reservation each.
class RebuiltCurves {
public:
    bool Begin(KFCurve* const sources[3], int reserve) {
        for (int c = 0; c < 3; ++c) {
            mCurves[c].reset(KFCurveCreate());
            mCurves[c]->CopyFrom(*sources[c], false);
            mCurves[c]->KeyModifyBegin();
        }
        return Reserve(reserve);
    }

    // Key index written next; false when memory runs out.
    bool Append(KTime time, const double values[3]) {
        // A key needs a time after the previous one.
        if (mWritten > 0 && time <= mCurves[0]->KeyGetPtr(mWritten - 1)->GetTime()) return true;
        if (mWritten == mReserved && !Reserve(mReserved + kGrowth)) return false;
        for (int c = 0; c < 3; ++c) SetAutoKey(*mCurves[c]->KeyGetPtr(mWritten), time, values[c]);
        ++mWritten;
        return true;
    }

    // The first key copied whole from each source curve (index -1: none there,
    // so an auto key of the value at that time).
    bool AppendCopy(KTime time, const double values[3], KFCurve* const sources[3], const int indices[3]) {
        if (mWritten == mReserved && !Reserve(mReserved + kGrowth)) return false;
        for (int c = 0; c < 3; ++c) {
            KFCurveKey& key = *mCurves[c]->KeyGetPtr(mWritten);
            if (indices[c] >= 0)
                key = *sources[c]->KeyGetPtr(indices[c]);
            else
                SetAutoKey(key, time, values[c]);
        }
        ++mWritten;
        return true;
    }

    void End() {
        for (auto& curve : mCurves) curve->KeyModifyEnd(mWritten);
    }

    KFCurve* Release(int c) { return mCurves[c].release(); }

private:
    bool Reserve(int count) {
        for (auto& curve : mCurves)
            if (!curve->InitBuffers(count)) return false;
        mReserved = count;
        return true;
    }

    rotationkeys::CurvePtr mCurves[3];
    int mReserved = 0;
    int mWritten = 0;
};

}  // namespace

KFCurveFilterGimbleKiller::KFCurveFilterGimbleKiller() : KFCurveFilter(eKFCurveFilterGimbleKiller) { Reset(); }

void KFCurveFilterGimbleKiller::Reset() {
    mApplyKeySyncFilter = true;
    KFCurveFilter::Reset();
}

bool KFCurveFilterGimbleKiller::Apply(KFCurve** curves, int count) {
    if (!curves || count != 3 || !curves[0] || !curves[1] || !curves[2]) {
        SetError(eNot3Curves, kNeedThreeCurves);
        return false;
    }
    rotationkeys::BorrowedRotationNode node(curves);
    return Apply(node.Node(), true);
}

bool KFCurveFilterGimbleKiller::Apply(KFCurve&) {
    SetError(eNot3Curves);
    return false;
}

bool KFCurveFilterGimbleKiller::Apply(KFCurveNode& node, bool) {
    if (node.GetCount() != 3) {
        SetError(eNot3Curves, kNotThreeChildren);
        return false;
    }
    if (node.GetLayerType() != KFCL_EULER_XYZ) {
        SetError(eNotRotationNode, kNotRotation);
        return false;
    }
    KFCurve* curves[3];
    for (int c = 0; c < 3; ++c) {
        KFCurveNode* child = node.Get(c);
        curves[c] = child ? child->FCurveGet() : nullptr;
        if (!curves[c]) {
            SetError(eNot3Curves);
            return false;
        }
    }
    if (node.KeyGetCount(false) == 0) {
        SetError(KFCURVEFILTER_ERROR_NO_KEY);
        return false;
    }

    if (mApplyKeySyncFilter) {
        KFCurveFilterKeySync sync;
        if (sync.NeedApply(curves, 3)) {
            sync.SetStartTime(GetStartTime());
            sync.SetStopTime(GetStopTime());
            sync.Apply(curves, 3);
        }
    }
    // Counted after the key sync, which may have added keys to the first curve.
    KFCurve& first = *curves[0];
    const int n = first.KeyGetCount();
    if (n == 0) {
        SetError(KFCURVEFILTER_ERROR_NO_KEY);
        return false;
    }

    const int order = node.GetRotationOrder();
    const KVXRotationOrder conversion(order);
    const bool spheric = order == KVXRotationOrder::eSphericXYZ;
    const int* axes = &KmEulerAxis[(order >= 0 && order < KM_EULER_ORDER_COUNT ? order : 0) * 3];

    const int s = GetStartKey(first);
    rotationkeys::KeyTripleCursor cursor(curves);
    RebuiltCurves rebuilt;
    double values[3];
    int indices[3];
    const KTime startTime = first.KeyGetPtr(s)->GetTime();
    cursor.Seek(startTime, values, indices);
    if (!rebuilt.Begin(curves, n) || !rebuilt.AppendCopy(startTime, values, curves, indices)) {
        SetError(KFCURVEFILTER_ERROR_LEFT_UNCHANGED, kOutOfMemory);
        return false;
    }
    KgeRVector prev(values[0], values[1], values[2]);
    double tPrev = startTime.GetSecondDouble();

    for (int i = s + 1; i < n; ++i) {
        const KTime time = first.KeyGetPtr(i)->GetTime();
        cursor.Seek(time, values, indices);
        KgeRVector cur(values[0], values[1], values[2]);
        const double tCur = time.GetSecondDouble();
        KgeRMatrix rCur;
        conversion.V2M(rCur, cur);
        if (!spheric) KVNGetContinuousRotation(cur.mData, cur.mData, prev.mData, axes);

        // A distance that is not a number (a damaged key) is not subdivided.
        for (int inserted = 0;
             inserted < kMaxInsertedKeys && Distance2(cur, prev) >= kMaxStep2 && tCur - tPrev >= kMinInterval;
             ++inserted) {
            KgeRMatrix rPrev, delta;
            conversion.V2M(rPrev, prev);
            KmRiR(delta, rPrev, rCur);
            KgeQuaternion q;
            KmRtoQ(q, delta);
            KgeRVector mid;
            double tMid = tPrev;
            for (double f = 0.5;; f *= 0.5) {
                tMid = (1.0 - f) * tPrev + f * tCur;
                // The blend is normalised by KmQtoR rather than spherically interpolated.
                const KgeQuaternion qf(f * q.mData[0], f * q.mData[1], f * q.mData[2], (1.0 - f) + f * q.mData[3]);
                KgeRMatrix rq, rMid;
                KmQtoR(rq, qf);
                KmRR(rMid, rPrev, rq);
                conversion.M2V(mid, rMid);
                if (!spheric) KVNGetContinuousRotation(mid.mData, mid.mData, prev.mData, axes);
                if (Distance2(mid, prev) < kMaxStep2 || tMid - tPrev < kMinInterval) break;
            }
            KTime midTime;
            midTime.SetSecondDouble(tMid);
            if (!rebuilt.Append(midTime, mid.mData)) {
                SetError(KFCURVEFILTER_ERROR_LEFT_UNCHANGED, kOutOfMemory);
                return false;
            }
            prev = mid;
            tPrev = tMid;
        }
        if (!rebuilt.Append(time, cur.mData)) {
            SetError(KFCURVEFILTER_ERROR_LEFT_UNCHANGED, kOutOfMemory);
            return false;
        }
        prev = cur;
        tPrev = tCur;
    }
    rebuilt.End();

    rotationkeys::NodePtr shape(node.CloneTemplate(false, false, false, -1));
    for (int c = 0; c < 3; ++c) {
        KFCurve* curve = rebuilt.Release(c);
        KFCurveNode* child = shape->Get(c);
        if (child)
            child->FCurveSet(curve, true);
        else
            curve->Destroy();
    }
    node.Replace(shape.get(), GetStartTime(), GetStopTime(), false, true);
    return true;
}

}  // namespace zeqsdk_400

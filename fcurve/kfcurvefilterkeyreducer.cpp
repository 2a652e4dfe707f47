// Bezier key reduction: the reduced curve grows from the span's end keys by
// inserting, one at a time, the input key it misses most, until every input
// key lies within the precision.
#include "fcurve/kfcurvefilterkeyreducer.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvefilterkeysync.h"
#include "fcurve/kfcurvenode.h"
#include "fcurve/kfcurveutils.h"

namespace zeqsdk_400 {

namespace {

const char kNothingChanged[] = "KeyReducer, No key were changed by filter.";
const char kInvalidSpan[] = "KeyReducer, Invalid Time Span. No key were changed by filter.";

struct CurveDestroyer {
    void operator()(KFCurve* curve) const { curve->Destroy(); }
};
using CurvePtr = std::unique_ptr<KFCurve, CurveDestroyer>;

// Refinement levels deeper than this do not report progress.
constexpr int kProgressDepth = 9;

KFCurveKey ReducedKey(KTime time, float value, unsigned int tangentMode, float right, float nextLeft) {
    KFCurveKey key{};
    key.Set(time, value, KFCURVE_INTERPOLATION_CUBIC, tangentMode, right, nextLeft, KFCURVE_WEIGHTED_NONE,
            KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0.0f, 0.0f);
    return key;
}

}  // namespace

KFCurveFilterKeyReducer::KFCurveFilterKeyReducer() : KFCurveFilter(eKFCurveFilterKeyReducer) { Reset(); }

void KFCurveFilterKeyReducer::Reset() {
    mPrecision = 1.0;
    mKeySync = false;
    KFCurveFilter::Reset();
}

bool KFCurveFilterKeyReducer::Apply(KFCurve& curve) {
    const int count = curve.KeyGetCount();
    if (count < 2) {
        SetError(KFCURVEFILTER_ERROR_LEFT_UNCHANGED, kNothingChanged);
        return false;
    }
    const KTime start = std::max(GetStartTime(), curve.KeyGetPtr(0)->GetTime());
    const KTime stop = std::min(GetStopTime(), curve.KeyGetPtr(count - 1)->GetTime());
    if (!(start < stop)) {
        SetError(KFCURVEFILTER_ERROR_LEFT_UNCHANGED, kInvalidSpan);
        return false;
    }

    CurvePtr reduced(KFCurveCreate());
    reduced->CopyFrom(curve, false);
    KeyReducer(curve, *reduced, start, stop);
    // The reduced keys take the place of the curve's keys over their range;
    // the curve's keys outside it stay.
    if (!KFCurveUtils::Merge(curve, *reduced, curve)) {
        SetError(KFCURVEFILTER_ERROR_LEFT_UNCHANGED, kNothingChanged);
        return false;
    }
    return true;
}

bool KFCurveFilterKeyReducer::Apply(KFCurve** curves, int count) {
    // Cleared meanwhile so that only this call synchronises.
    const bool keySync = mKeySync;
    mKeySync = false;
    const bool result = KFCurveFilter::Apply(curves, count);
    if (keySync && count > 1) {
        KFCurveFilterKeySync sync;
        sync.SetStartTime(GetStartTime());
        sync.SetStopTime(GetStopTime());
        sync.Apply(curves, count);
    }
    mKeySync = keySync;
    return result;
}

bool KFCurveFilterKeyReducer::Apply(KFCurveNode& node, bool recursive) {
    // Cleared meanwhile so that the children's nested calls leave the
    // synchronisation to the outermost one.
    const bool keySync = mKeySync;
    mKeySync = false;
    const bool result = KFCurveFilter::Apply(node, recursive);
    if (keySync && node.GetCount() > 1) {
        KFCurveFilterKeySync sync;
        sync.SetStartTime(GetStartTime());
        sync.SetStopTime(GetStopTime());
        sync.Apply(node, recursive);
    }
    mKeySync = keySync;
    return result;
}

bool KFCurveFilterKeyReducer::KeyReducer(KFCurve& source, KFCurve& reduced, KTime start, KTime stop) {
    mDepth = 0;
    const int count = source.KeyGetCount();
    if (count < 2) return true;
    const int a = std::clamp(static_cast<int>(std::floor(source.KeyFind(start))), 0, count - 1);
    const int b = std::clamp(static_cast<int>(std::ceil(source.KeyFind(stop))), 0, count - 1);
    if (a >= b) return true;

    const KFCurveKey first = source.KeyGet(a);
    const KFCurveKey last = source.KeyGet(b);
    reduced.KeyModifyBegin();
    KFCurveKey key = ReducedKey(first.GetTime(), first.GetValue(), KFCURVE_TANGEANT_USER,
                                source.EvaluateRightDerivative(first.GetTime()),
                                source.EvaluateLeftDerivative(last.GetTime()));
    reduced.KeyAdd(first.GetTime(), key);
    key = ReducedKey(last.GetTime(), last.GetValue(), KFCURVE_TANGEANT_AUTO, 0.0f, 0.0f);
    reduced.KeyAdd(last.GetTime(), key);
    Subdivise(source, reduced, a, b);
    reduced.KeyModifyEnd();
    return true;
}

double KFCurveFilterKeyReducer::FindMaxError(KFCurve& source, KFCurve& reduced, int first, int last, int& index) {
    double largest = 0.0;
    int hint = 0;
    const int begin = std::max(first, 0);
    const int end = std::min(last, source.KeyGetCount());
    for (int i = begin; i < end; ++i) {
        const KFCurveKey* key = source.KeyGetPtr(i);
        const double difference =
            static_cast<double>(reduced.Evaluate(key->GetTime(), &hint)) - static_cast<double>(key->GetValue());
        const double error = difference * difference;
        // Strictly greater: the lowest index wins a tie, and a key met
        // exactly is never chosen.
        if (error > largest) {
            largest = error;
            index = i;
        }
    }
    return largest;
}

bool KFCurveFilterKeyReducer::InsertKey(KFCurve& source, KFCurve& reduced, int index) {
    const KFCurveKey* input = source.KeyGetPtr(index);
    const KTime time = input->GetTime();
    const float right = source.EvaluateRightDerivative(time);
    const float left = source.EvaluateLeftDerivative(time);
    const unsigned int mode = right == left ? KFCURVE_TANGEANT_USER : KFCURVE_TANGEANT_USER_BREAK;
    KFCurveKey key = ReducedKey(time, input->GetValue(), mode, right, 0.0f);
    const int k = reduced.KeyAdd(time, key);
    if (k <= 0) return false;
    // The new key passes on the tangent into the following reduced key; the
    // key before it now arrives with the input's left tangent.
    KFCurveKey* previous = reduced.KeyGetPtr(k - 1);
    reduced.KeyGetPtr(k)->SetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE,
                                       previous->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE));
    previous->SetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE, left);
    return true;
}

bool KFCurveFilterKeyReducer::Subdivise(KFCurve& source, KFCurve& reduced, int first, int last) {
    // One frame per pending range, run in the order a recursive refinement
    // would: find and insert the worst key, refine the left part, report
    // progress, refine the right part, report progress.
    struct Frame {
        int first;
        int last;
        int split;
        int stage;  // 0 not looked at, 1 left part done, 2 right part done
    };
    const double limit = mPrecision * mPrecision;
    std::vector<Frame> stack;
    stack.push_back({first, last, -1, 0});
    bool inserted = false;
    while (!stack.empty()) {
        const Frame frame = stack.back();
        if (frame.stage == 0) {
            int split = -1;
            const double error = FindMaxError(source, reduced, frame.first, frame.last, split);
            // A split must leave a smaller range on each side, or the
            // refinement would not end.
            if (!(error > limit) || split <= frame.first || split >= frame.last ||
                !InsertKey(source, reduced, split)) {
                stack.pop_back();
                continue;
            }
            if (stack.size() == 1) inserted = true;
            ++mDepth;
            stack.back().split = split;
            stack.back().stage = 1;
            if (split - frame.first > 1) stack.push_back({frame.first, split, -1, 0});
            continue;
        }
        if (frame.stage == 1) {
            if (frame.split - frame.first > 1 && mDepth <= kProgressDepth)
                UpdateProgressInformation(KTime(frame.first), KTime(frame.split));
            stack.back().stage = 2;
            if (frame.last - frame.split > 1) stack.push_back({frame.split, frame.last, -1, 0});
            continue;
        }
        if (frame.last - frame.split > 1 && mDepth <= kProgressDepth)
            UpdateProgressInformation(KTime(frame.split), KTime(frame.last));
        --mDepth;
        stack.pop_back();
    }
    return inserted;
}

}  // namespace zeqsdk_400

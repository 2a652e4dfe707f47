// Constant key reduction: the keys strictly inside flat runs go, and constant
// short curves become their default value.
#include "fcurve/kfcurvefilterconstantkeyreducer.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"

namespace zeqsdk_400 {

namespace {

const char kNoKeyText[] = "ConstantKeyReducer, No key to be filtered.";
const char kUnchangedText[] = "ConstantKeyReducer, No key were changed by filter.";
const char kNoMemoryText[] = "ConstantKeyReducer, Not enough memory to filter the keys; no key were changed.";

// Inclusive bounds; a negative tolerance makes the interval empty.
bool Within(double x, double center, double tolerance) { return x >= center - tolerance && x <= center + tolerance; }

bool IsLinear(const KFCurveKey* key) { return key->GetInterpolation() == KFCURVE_INTERPOLATION_LINEAR; }

bool NameIs(const char* name, const char* a, const char* b) {
    return std::strcmp(name, a) == 0 || std::strcmp(name, b) == 0;
}

// Removes the inner keys of flat runs, found from the last key down, as
// successive Delete(first, last) calls would, but without shifting the keys
// after each run: on a curve with many runs that would be quadratic.
//
// A removal only reads and writes the keys around its seam (the key before
// the removed ones, the one after and the one after that). So the work is done
// on a private copy holding the keys still to be searched followed by a short
// window of the keys after the last seam; the keys beyond the window are
// final and stay where they are in the copy. The result is written back in
// one pass, and the curve only shrinks.
class RunRemover {
public:
    explicit RunRemover(KFCurve& curve) : mCurve(curve), mCurrent(&curve) {}

    // The curve to search: the original until the first removal, then the copy.
    KFCurve& Current() { return *mCurrent; }
    // The key count of the curve as successive deletions would leave it.
    int Count() const { return mCurrent->KeyGetCount() + mFinalKeys; }

    // Removes keys first to last (1 <= first <= last, last + 1 a current key).
    // False when the copy cannot be made (nothing is changed then).
    bool Remove(int first, int last) {
        if (mCurrent == &mCurve) {
            mWork.CopyFrom(mCurve, true);
            if (mWork.KeyGetCount() != mCurve.KeyGetCount()) return false;
            mCurrent = &mWork;
        }
        const int end = mWork.KeyGetCount();
        const int next = last + 1;
        // Read with the neighbours the key has now, as a plain deletion does.
        const KFCurveTangeantInfo info = mWork.KeyGetLeftDerivativeInfo(next);
        const int window = std::min(kWindow, end - next);
        if (next + window < end) {
            mFinal.emplace_back(next + window, end);
            mFinalKeys += end - (next + window);
        }
        for (int m = 0; m < window; ++m) *mWork.KeyGetPtr(first + m) = *mWork.KeyGetPtr(next + m);
        // The copy has no callbacks: ending a batch only sets its key count,
        // and keeps the blocks that hold the final keys.
        mWork.KeyModifyEnd(first + window);
        mWork.KeySetLeftDerivativeInfo(first, info);
        mLowestTouched = first - 1;
        return true;
    }

    // Writes the keys back into the curve, in one batch.
    void Finish() {
        if (mCurrent == &mCurve) return;
        const int oldCount = mCurve.KeyGetCount();
        const bool opened = mCurve.CallbackIsEnable();
        if (opened) mCurve.KeyModifyBegin();
        // Keys below the lowest seam are as they were.
        int to = mLowestTouched;
        const int prefix = mWork.KeyGetCount();
        for (int k = mLowestTouched; k < prefix; ++k) *mCurve.KeyGetPtr(to++) = *mWork.KeyGetPtr(k);
        for (auto run = mFinal.rbegin(); run != mFinal.rend(); ++run)
            for (int k = run->first; k < run->second; ++k) *mCurve.KeyGetPtr(to++) = *mWork.KeyGetPtr(k);
        // Dropping the tail touches no tangent: no key follows it.
        if (to < oldCount) mCurve.Delete(to, oldCount - 1);
        if (opened) mCurve.KeyModifyEnd();
    }

private:
    // Keys kept after a seam: the helpers that read a seam look one key past it.
    static constexpr int kWindow = 3;

    KFCurve& mCurve;
    KFCurve* mCurrent;
    KFCurve mWork;
    // Final keys of the copy as [begin, end) index ranges, last range first.
    std::vector<std::pair<int, int>> mFinal;
    int mFinalKeys = 0;
    int mLowestTouched = 0;
};

}  // namespace

KFCurveFilterConstantKeyReducer::KFCurveFilterConstantKeyReducer() : KFCurveFilter(eKFCurveFilterConstantKeyReducer) {
    Reset();
}

void KFCurveFilterConstantKeyReducer::Reset() {
    mDerivativeTolerance = kDefaultTolerance;
    mValueTolerance = kDefaultTolerance;
    mTranslationThreshold = kDefaultTolerance;
    mRotationThreshold = kDefaultRotationThreshold;
    mScalingThreshold = kDefaultTolerance;
    mDefaultThreshold = kDefaultTolerance;
    mKeepFirstAndLastKeys = false;
    mKeepOneKey = false;
    KFCurveFilter::Reset();
}

bool KFCurveFilterConstantKeyReducer::Apply(KFCurveNode& node, bool recursive) {
    const double savedDerivative = mDerivativeTolerance;
    const double savedValue = mValueTolerance;
    // Whether each tolerance follows the channel is decided once, by the
    // outermost call: a threshold chosen for a node must not pass for a value
    // the caller set when the children choose theirs.
    const bool outermost = mTreeDepth == 0;
    const bool savedDerivativeByChannel = mDerivativeByChannel;
    const bool savedValueByChannel = mValueByChannel;
    if (outermost) {
        mDerivativeByChannel = mDerivativeTolerance == kDefaultTolerance;
        mValueByChannel = mValueTolerance == kDefaultTolerance;
    }

    const char* name = node.GetName();
    const KFCurveNode* parent = node.GetParent();
    const char* parentName = parent ? parent->GetName() : "";
    if (!name) name = "";
    if (!parentName) parentName = "";
    auto channelIs = [&](const char* shortName, const char* longName) {
        return NameIs(name, shortName, longName) || NameIs(parentName, shortName, longName);
    };
    double threshold = mDefaultThreshold;
    if (channelIs("R", "Lcl Rotation"))
        threshold = mRotationThreshold;
    else if (channelIs("S", "Lcl Scaling"))
        threshold = mScalingThreshold;
    else if (channelIs("T", "Lcl Translation"))
        threshold = mTranslationThreshold;
    if (mDerivativeByChannel) mDerivativeTolerance = threshold;
    if (mValueByChannel) mValueTolerance = threshold;

    ++mTreeDepth;
    const bool result = KFCurveFilter::Apply(node, recursive);
    --mTreeDepth;

    mDerivativeTolerance = savedDerivative;
    mValueTolerance = savedValue;
    mDerivativeByChannel = savedDerivativeByChannel;
    mValueByChannel = savedValueByChannel;
    return result;
}

bool KFCurveFilterConstantKeyReducer::Apply(KFCurve** curves, int count) { return KFCurveFilter::Apply(curves, count); }

bool KFCurveFilterConstantKeyReducer::Apply(KFCurve& curve) {
    if (curve.KeyGetCount() == 0) {
        SetError(KFCURVEFILTER_ERROR_NO_KEY, kNoKeyText);
        return false;
    }
    const double derivativeTolerance = mDerivativeTolerance;
    const double valueTolerance = mValueTolerance;
    bool changed = false;
    if (!ReduceRuns(curve, derivativeTolerance, valueTolerance, changed)) {
        SetError(KFCURVEFILTER_ERROR_LEFT_UNCHANGED, kNoMemoryText);
        return false;
    }
    if (!mKeepFirstAndLastKeys && ReduceShortCurve(curve, derivativeTolerance, valueTolerance)) changed = true;
    if (!changed) {
        SetError(KFCURVEFILTER_ERROR_LEFT_UNCHANGED, kUnchangedText);
        return false;
    }
    curve.KeyShrink();
    return true;
}

bool KFCurveFilterConstantKeyReducer::ReduceRuns(KFCurve& curve, double derivativeTolerance, double valueTolerance,
                                                 bool& changed) {
    const int s = GetStartKey(curve);
    int i = std::min(GetStopKey(curve), curve.KeyGetCount() - 1);
    RunRemover remover(curve);
    for (;;) {
        KFCurve& c = remover.Current();
        // The run search: keys joining key i, walking down to the start key.
        const double value = c.KeyGetPtr(i)->GetValue();
        // Derivatives cost far more than values: the value is looked at first
        // (either failing ends the run at the same key), and the slope only
        // once a key joins on value.
        double slope = 0.0;
        bool haveSlope = false;
        const auto Slope = [&] {
            if (!haveSlope) slope = c.KeyGetLeftDerivative(i), haveSlope = true;
            return slope;
        };
        int n = 1;
        int end = s - 1;  // the key that ended the search
        for (int j = i - 1; j >= s; --j) {
            const KFCurveKey* key = c.KeyGetPtr(j);
            if (!Within(key->GetValue(), value, valueTolerance) ||
                (!IsLinear(key) && !Within(c.KeyGetRightDerivative(j), Slope(), derivativeTolerance))) {
                end = j;
                break;
            }
            ++n;
            if (j > 0 && !IsLinear(c.KeyGetPtr(j - 1)) &&
                !Within(c.KeyGetLeftDerivative(j), Slope(), derivativeTolerance)) {
                end = j;
                break;
            }
        }
        if (n > 2) {
            const int first = i - n + 1;
            if (n == remover.Count() && !mKeepFirstAndLastKeys) {
                // The whole curve is one run: the search is over (it reached key 0).
                if (mKeepOneKey) {
                    curve.Delete(1, curve.KeyGetCount() - 1);
                } else {
                    const float firstValue = curve.KeyGetPtr(0)->GetValue();
                    curve.KeyClear();
                    curve.SetValue(firstValue);
                }
            } else if (!remover.Remove(first + 1, i - 1)) {
                return false;
            }
            changed = true;
        }
        // Deletions above the ending key do not move it.
        if (end <= s) break;
        i = end;
    }
    remover.Finish();
    return true;
}

bool KFCurveFilterConstantKeyReducer::ReduceShortCurve(KFCurve& curve, double derivativeTolerance,
                                                       double valueTolerance) {
    const KTime start = GetStartTime();
    const KTime stop = GetStopTime();
    auto inSpan = [&](int index) {
        const KTime t = curve.KeyGetPtr(index)->GetTime();
        return t >= start && t <= stop;
    };
    const int count = curve.KeyGetCount();
    if (count == 1) {
        if (mKeepOneKey || !inSpan(0)) return false;
        if (!Within(curve.KeyGetRightDerivative(0), curve.KeyGetLeftDerivative(0), derivativeTolerance)) return false;
        curve.SetValue(curve.KeyGetPtr(0)->GetValue());
        curve.KeyClear();
        return true;
    }
    if (count != 2) return false;
    const float v0 = curve.KeyGetPtr(0)->GetValue();
    const double v1 = curve.KeyGetPtr(1)->GetValue();
    const double slope = curve.KeyGetLeftDerivative(0);
    if (!Within(v0, v1, valueTolerance) || !Within(curve.KeyGetRightDerivative(0), slope, derivativeTolerance) ||
        !Within(curve.KeyGetLeftDerivative(1), slope, derivativeTolerance) ||
        !Within(curve.KeyGetRightDerivative(1), slope, derivativeTolerance))
        return false;
    int budget = mKeepOneKey ? 1 : 2;
    bool changed = false;
    if (inSpan(1)) {
        curve.KeyRemove(1);
        --budget;
        changed = true;
    }
    if (budget > 0 && inSpan(0)) {
        curve.KeyRemove(0);
        changed = true;
    }
    if (curve.KeyGetCount() == 0) {
        curve.KeyClear();
        curve.SetValue(v0);
    }
    return changed;
}

}  // namespace zeqsdk_400

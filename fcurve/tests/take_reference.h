#ifndef ZEQ_FCURVE_TESTS_TAKE_REFERENCE_H
#define ZEQ_FCURVE_TESTS_TAKE_REFERENCE_H

// What a take plays, worked out from its keys alone, for the tests of the bake and of what carries
// it: written apart from the SDK's evaluation (it reads keys through their accessors and nothing
// else of the curve), so that a fault in the evaluation the bake samples shows against it.
//
// A curve: constant keys (standard, or next: the next key's value, the key's own at its time
// alone), linear keys, cubic keys with user or automatic tangents (unbroken or broken) as Bezier
// segments with handles a third of the way; before and after the keys it holds, repeats, mirrors or
// keeps its slope, for a count of cycles (0 none, 0xFFFFFFFF endless) and then holds the end key's
// value (keep slope, the value it reached). A take: a translation whose channels add the
// channels of its layers of their names, read at the vector's time; time warps are curves whose
// value is the seconds read below them, composed from the top down (the transform's, the vector's,
// then a channel's). Weighted and TCB tangents, warps on layers and layers that do not add are
// not read: a take holding them is not Readable().

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "base/ktime.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvekey.h"
#include "fcurve/kfcurvenode.h"

namespace takereference {

using namespace zeqsdk_400;

class Curve {
public:
    Curve() = default;
    explicit Curve(const KFCurve& curve)
        : mDefault(curve.GetValue()),
          mPre(curve.GetPreExtrapolation()),
          mPost(curve.GetPostExtrapolation()),
          mPreCount(curve.GetPreExtrapolationCount()),
          mPostCount(curve.GetPostExtrapolationCount()) {
        for (int i = 0; i < curve.KeyGetCount(); ++i) {
            const KFCurveKey& k = *curve.KeyGetPtr(i);
            Key key;
            key.mTicks = k.GetTime().Get();
            key.mValue = k.GetValue();
            key.mInterpolation = k.GetInterpolation();
            key.mNext = k.GetConstantMode() == KFCURVE_CONSTANT_NEXT;
            key.mMode = k.GetTangeantMode();
            key.mData0 = k.GetDataFloat(KFCURVEKEY_RIGHT_DERIVATIVE);
            key.mData1 = k.GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE);
            if (key.mInterpolation == KFCURVE_INTERPOLATION_CUBIC &&
                (k.GetTangeantWeightMode() != 0 || k.GetTangeantVelocityMode() != 0 ||
                 (key.mMode & KFCURVE_TANGEANT_TCB) != 0))
                mReadable = false;
            mKeys.push_back(key);
        }
        for (int i = 0; i < static_cast<int>(mKeys.size()); ++i) {
            mKeys[static_cast<std::size_t>(i)].mRight = Derivative(i, false);
            mKeys[static_cast<std::size_t>(i)].mLeft = Derivative(i, true);
        }
    }

    bool Readable() const { return mReadable; }
    bool Empty() const { return mKeys.empty(); }

    // The value at a time of the curve, a float as curves hold their values.
    float At(kLongLong t) const {
        const int n = static_cast<int>(mKeys.size());
        if (n == 0) return mDefault;
        if (n == 1) return mKeys[0].mValue;
        const Key& first = mKeys.front();
        const Key& last = mKeys.back();
        const std::uint64_t span = static_cast<std::uint64_t>(last.mTicks - first.mTicks);
        if (t < first.mTicks) {
            const std::uint64_t before = static_cast<std::uint64_t>(first.mTicks - t);
            if (mPre == KFCURVE_EXTRAPOLATION_KEEP_SLOPE) {
                const double reach = mPreCount == kEndless ? Seconds(before)
                                                           : std::min(Seconds(before), Seconds(span) * mPreCount);
                return first.mValue + static_cast<float>(-first.mRight * reach);
            }
            if (mPre != KFCURVE_EXTRAPOLATION_REPETITION && mPre != KFCURVE_EXTRAPOLATION_MIRROR) return first.mValue;
            const std::uint64_t cycles = before / span;
            if (cycles >= mPreCount) return first.mValue;
            const std::uint64_t rest = before - cycles * span;  // into the cycle, from its end
            const bool reflected = mPre == KFCURVE_EXTRAPOLATION_MIRROR && cycles % 2 == 0;
            return InKeys(reflected ? first.mTicks + static_cast<kLongLong>(rest)
                                    : last.mTicks - static_cast<kLongLong>(rest));
        }
        if (t > last.mTicks) {
            const std::uint64_t after = static_cast<std::uint64_t>(t - last.mTicks);
            if (mPost == KFCURVE_EXTRAPOLATION_KEEP_SLOPE) {
                const double reach = mPostCount == kEndless ? Seconds(after)
                                                            : std::min(Seconds(after), Seconds(span) * mPostCount);
                return last.mValue + static_cast<float>(last.mLeft * reach);
            }
            if (mPost != KFCURVE_EXTRAPOLATION_REPETITION && mPost != KFCURVE_EXTRAPOLATION_MIRROR) return last.mValue;
            const std::uint64_t cycles = after / span;
            if (cycles >= mPostCount) return last.mValue;
            const std::uint64_t rest = after - cycles * span;  // into the cycle, from its start
            const bool reflected = mPost == KFCURVE_EXTRAPOLATION_MIRROR && cycles % 2 == 0;
            return InKeys(reflected ? last.mTicks - static_cast<kLongLong>(rest)
                                    : first.mTicks + static_cast<kLongLong>(rest));
        }
        return InKeys(t);
    }

private:
    static constexpr unsigned int kEndless = 0xFFFFFFFFu;

    struct Key {
        kLongLong mTicks = 0;
        float mValue = 0;
        unsigned int mInterpolation = 0;
        bool mNext = false;
        unsigned int mMode = 0;
        float mData0 = 0, mData1 = 0;
        double mLeft = 0, mRight = 0;  // derivatives, value per second
    };

    static double Seconds(std::uint64_t ticks) {
        return static_cast<double>(ticks) / static_cast<double>(KTime::kTicksPerSecond);
    }
    const Key& K(int i) const { return mKeys[static_cast<std::size_t>(i)]; }
    double Duration(int i, int j) const { return Seconds(static_cast<std::uint64_t>(K(j).mTicks - K(i).mTicks)); }
    double Slope(int i, int j) const {
        return (static_cast<double>(K(j).mValue) - K(i).mValue) / Duration(i, j);
    }
    static bool Cubic(const Key& k) { return k.mInterpolation == KFCURVE_INTERPOLATION_CUBIC; }
    static bool Auto(const Key& k) { return (k.mMode & KFCURVE_TANGEANT_AUTO) != 0; }
    static bool User(const Key& k) { return (k.mMode & KFCURVE_TANGEANT_USER) != 0; }

    // The slopes to the key before and after key i, each side's value and time difference first
    // made single precision; at an end both are the one slope there.
    void Around(int i, double& toLeft, double& toRight) const {
        const int n = static_cast<int>(mKeys.size());
        const auto slope = [&](int a, int b) {
            const float dv = K(b).mValue - K(a).mValue;
            const float dt = static_cast<float>(Duration(a, b));
            return static_cast<double>(dv) / static_cast<double>(dt);
        };
        if (i < n - 1) toRight = slope(i, i + 1);
        if (i > 0) toLeft = slope(i - 1, i);
        if (i == 0) toLeft = toRight;
        else if (i == n - 1) toRight = toLeft;
    }

    // An automatic tangent's derivatives from its parameter a (0 the mean of the slopes, 100 and
    // -100 one slope alone, beyond 500 a sweep further out).
    static double Mid(double a, double p, double q) { return ((100 + a) / 100 * p + (100 - a) / 100 * q) * 0.5; }
    static double Sweep(double x, double y) { return x * x * x * y; }
    static double LeftFromAuto(double a, double toLeft, double toRight) {
        if (a == 100) return toLeft;
        if (a == -100) return toRight;
        if (a > 500) return Mid(a, toLeft, toRight) + Sweep((a - 500) / 500, toLeft > toRight ? 1000 : -1000);
        if (a < -500) return Mid(a, toLeft, toRight) + Sweep((a + 500) / -500, toLeft > toRight ? -1000 : 1000);
        return Mid(a, toLeft, toRight);
    }
    static double RightFromAuto(double a, double toLeft, double toRight) {
        // Equal slopes sweep as a right slope above the left one.
        const bool above = toRight >= toLeft;
        if (a > 500) return Mid(a, toRight, toLeft) + Sweep((a - 500) / 500, above ? 1000 : -1000);
        if (a < -500) return Mid(a, toRight, toLeft) + Sweep((a + 500) / -500, above ? -1000 : 1000);
        return Mid(a, toRight, toLeft);
    }

    // Key i's derivative on one side, read off the segment there: a linear segment's slope, a cubic
    // one's stored derivative or automatic parameter (the incoming side held on the key before, read
    // as the key's own mode says when it is cubic). An end key's outer side is its inner one.
    double Derivative(int i, bool left) const {
        const int n = static_cast<int>(mKeys.size());
        if (n < 2) return 0;
        if (left && i <= 0) return Derivative(0, false);
        if (!left && i >= n - 1) return Derivative(i, true);
        const int first = left ? i - 1 : i;
        const Key& from = K(first);
        if (from.mInterpolation == KFCURVE_INTERPOLATION_LINEAR) return Slope(first, first + 1);
        if (!Cubic(from)) return 0;
        const Key& says = left && Cubic(K(i)) ? K(i) : from;
        const double slot = left ? from.mData1 : from.mData0;
        if (User(says)) return slot;
        if (!Auto(says)) return 0;
        double toLeft = 0, toRight = 0;
        Around(i, toLeft, toRight);
        return left ? LeftFromAuto(slot, toLeft, toRight) : RightFromAuto(slot, toLeft, toRight);
    }

    // Within the keys: the key's own value at its time, else its segment.
    float InKeys(kLongLong t) const {
        std::size_t hi = mKeys.size() - 1, lo = 0;
        while (hi - lo > 1) {
            const std::size_t mid = (lo + hi) / 2;
            (mKeys[mid].mTicks <= t ? lo : hi) = mid;
        }
        if (t >= mKeys[hi].mTicks) return mKeys[hi].mValue;
        const Key& a = mKeys[lo];
        const Key& b = mKeys[hi];
        if (t == a.mTicks) return a.mValue;
        const double u = static_cast<double>(t - a.mTicks) / static_cast<double>(b.mTicks - a.mTicks);
        switch (a.mInterpolation) {
            case KFCURVE_INTERPOLATION_CONSTANT:
                return a.mNext ? b.mValue : a.mValue;
            case KFCURVE_INTERPOLATION_LINEAR:
                return static_cast<float>(a.mValue + u * (static_cast<double>(b.mValue) - a.mValue));
            case KFCURVE_INTERPOLATION_CUBIC: {
                const double dt = Seconds(static_cast<std::uint64_t>(b.mTicks - a.mTicks));
                // De Casteljau's construction, each point held as a float as curves hold values.
                const auto lerp = [u](float p, float q) { return static_cast<float>(p + u * (q - p)); };
                const float p0 = a.mValue, p1 = static_cast<float>(a.mValue + a.mRight * dt / 3),
                            p2 = static_cast<float>(b.mValue - b.mLeft * dt / 3), p3 = b.mValue;
                const float q0 = lerp(p0, p1), q1 = lerp(p1, p2), q2 = lerp(p2, p3);
                return lerp(lerp(q0, q1), lerp(q1, q2));
            }
            default:
                return 0.0f;
        }
    }

    std::vector<Key> mKeys;
    float mDefault = 0;
    int mPre = KFCURVE_EXTRAPOLATION_CONSTANT, mPost = KFCURVE_EXTRAPOLATION_CONSTANT;
    unsigned int mPreCount = 0, mPostCount = 0;
    bool mReadable = true;
};

// A time warp: its curve's value at a time, read as seconds (truncated to the tick).
class Warp {
public:
    Warp() = default;
    explicit Warp(const KFCurveNode* node) {
        if (!node) return;
        // A warp without a curve gives no value: the time passes as it is.
        mOn = node->FCurveGet() != nullptr;
        if (mOn) mCurve = Curve(*node->FCurveGet());
        mReadable = mCurve.Readable() && !node->TimeWarpGet() && node->GetCount() == 0;
    }
    bool Readable() const { return mReadable; }
    kLongLong At(kLongLong t) const {
        if (!mOn) return t;
        KTime time;
        time.SetSecondDouble(mCurve.At(t));
        return time.Get();
    }

private:
    bool mOn = false;
    Curve mCurve;
    bool mReadable = true;
};

// A translation vector under the warp above it (the transform's, or none).
class Take {
public:
    Take(const KFCurveNode& vector, const KFCurveNode* above) : mAbove(above), mVectorWarp(vector.TimeWarpGet()) {
        mReadable = mAbove.Readable() && mVectorWarp.Readable() && !vector.FCurveGet();
        for (int c = 0; c < vector.GetCount(); ++c) {
            const KFCurveNode& node = *vector.Get(c);
            Channel channel;
            channel.mName = node.GetName();
            if (node.FCurveGet()) channel.mCurve = Curve(*node.FCurveGet());
            channel.mWarp = Warp(node.TimeWarpGet());
            mReadable = mReadable && node.FCurveGet() && channel.mCurve.Readable() && channel.mWarp.Readable() &&
                        node.GetCount() == 0;
            mChannels.push_back(std::move(channel));
        }
        for (const KFCurveNode* layer = vector.LayerGet(); layer; layer = layer->LayerGet()) {
            if (layer->TimeWarpGet() || (layer->GetLayerType() != KFCL_ADD && layer->GetLayerType() != KFCL_NOLAYER))
                mReadable = false;
            for (int i = 0; i < layer->GetCount(); ++i) {
                const KFCurveNode& node = *layer->Get(i);
                if (node.TimeWarpGet()) mReadable = false;
                for (Channel& channel : mChannels)
                    if (channel.mName == node.GetName() && node.FCurveGet()) {
                        channel.mLayers.emplace_back(*node.FCurveGet());
                        mReadable = mReadable && channel.mLayers.back().Readable();
                    }
            }
        }
    }

    bool Readable() const { return mReadable; }

    // The channels' values at a time of the take.
    std::vector<double> At(KTime time) const {
        const kLongLong vectorTime = mVectorWarp.At(mAbove.At(time.Get()));
        std::vector<double> values;
        for (const Channel& channel : mChannels) {
            double value = channel.mCurve.At(channel.mWarp.At(vectorTime));
            for (const Curve& layer : channel.mLayers) value += layer.At(vectorTime);
            values.push_back(value);
        }
        return values;
    }
    std::vector<double> At(double seconds) const {
        KTime time;
        time.SetSecondDouble(seconds);
        return At(time);
    }

private:
    struct Channel {
        std::string mName;
        Curve mCurve;
        Warp mWarp;
        std::vector<Curve> mLayers;
    };
    Warp mAbove, mVectorWarp;
    std::vector<Channel> mChannels;
    bool mReadable = true;
};

}  // namespace takereference

#endif

// Host animation curves into Zeq curves: the test whether the host keys can be copied key for key,
// the key copy with its carried tangent state, sampling on the period grid, and the constant key
// reduction. Keys are reserved once and written in place.
#include "plugin/export/zeqtulocurveconversion.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvefilterconstantkeyreducer.h"
#include "fcurve/kfcurvenode.h"
#include "plugin/zeqtulouserparams.h"
#include "plugin/zeqtuloutility.h"

using namespace zeqsdk_400;

namespace {

const double kRadiansToDegrees = 57.29577951308232;
const double kEpsilon = 2.220446049250313e-16;
const double kDefaultRate = 30.0;
const unsigned int kExportApplyCstKeyRed = 16;

// Two keys whose values differ by less than this make a clamped tangent linear, per host curve
// type 0 to 8.
const double kClampThreshold[9] = {0.001, 0.001, 0.001, 0.001, 0.001, 0.001, 0.001, 0.001, 0.001};

// The in- and out-tangent types of every key, read once: the test and the copy both need them.
struct TangentTypes {
    std::vector<unsigned char> mIn, mOut;
    TangentTypes(const TFnAnimCurve& host, unsigned count) : mIn(count), mOut(count) {
        for (unsigned i = 0; i < count; ++i) {
            mIn[i] = static_cast<unsigned char>(host.inTangentType(i));
            mOut[i] = static_cast<unsigned char>(host.outTangentType(i));
        }
    }
};

double ClampThreshold(int curveType) {
    return curveType >= 0 && curveType < 9 ? kClampThreshold[curveType] : kClampThreshold[0];
}

// Host tangent type numbers.
enum : int { kGlobal = 0, kFixed = 1, kLinear = 2, kFlat = 3, kSmooth = 4, kStep = 5, kSlow = 6, kFast = 7,
             kClamped = 8 };

// The transform channels: host plug, curve-node channel and axis, value factor.
struct Channel {
    const char* mPlug;
    const char* mChannel;
    const char* mAxis;
    double mScale;
};
const Channel kTransformChannels[9] = {
    {"translateX", "T", "X", 1.0},
    {"translateY", "T", "Y", 1.0},
    {"translateZ", "T", "Z", 1.0},
    {"scaleX", "S", "X", 1.0},
    {"scaleY", "S", "Y", 1.0},
    {"scaleZ", "S", "Z", 1.0},
    {"rotateX", "R", "X", kRadiansToDegrees},
    {"rotateY", "R", "Y", kRadiansToDegrees},
    {"rotateZ", "R", "Z", kRadiansToDegrees},
};

// What one UI unit of a tangent's x and y is worth: seconds per UI time unit, and the curve's
// internal value unit per UI unit of its kind (angle, distance, or none). Driven-key curves (4 to
// 7) have the driver's value on their x, not time.
struct TangentUnits {
    double mSecondsPerX = 1;
    double mInternalPerY = 1;
};

double UsableFactor(double factor) { return std::isfinite(factor) && factor > 0 ? factor : 1.0; }

TangentUnits UnitsOf(int curveType) {
    TangentUnits units;
    const bool timed = curveType < 4 || curveType > 7;
    if (timed) units.mSecondsPerX = 1.0 / UsableFactor(TTime(1.0, TTime::kSeconds).as(TTime::uiUnit()));
    const int kind = curveType >= 0 && curveType < 8 ? curveType % 4 : 3;
    if (kind == 0) units.mInternalPerY = UsableFactor(TAngle(1.0, TAngle::uiUnit()).asRadians());
    if (kind == 1) units.mInternalPerY = UsableFactor(TDistance(1.0, TDistance::uiUnit()).asCentimeters());
    return units;
}

// A host tangent as a slope (internal value per second) and an extent (seconds). An x of
// (nearly) 0 counts as 1, so the slope stays finite.
struct Tangent {
    double mSlope = 0;
    double mSeconds = 0;
};

Tangent ReadTangent(const TFnAnimCurve& host, unsigned index, bool in, const TangentUnits& units) {
    float x = 0, y = 0;
    host.getTangent(index, x, y, in);
    double dx = x, dy = y;
    if (!std::isfinite(dx) || std::fabs(dx) <= kEpsilon) dx = 1;
    if (!std::isfinite(dy)) dy = 0;
    Tangent tangent;
    tangent.mSeconds = dx * units.mSecondsPerX;
    tangent.mSlope = dy * units.mInternalPerY / tangent.mSeconds;
    return tangent;
}

// The nearest tick: a host time that came from a whole tick count (an imported key) is a double a
// hair below it as often as above, and truncation would move such a key one tick back each pass.
KTime Ticks(double seconds) {
    KTime time;
    time.SetSecondDouble(seconds);
    const double ticks = seconds * static_cast<double>(KTime::kTicksPerSecond);
    if (std::isfinite(ticks) && std::fabs(ticks) < 9.0e18) time.Set(std::llround(ticks));
    return time;
}

KTime KeyTime(const TFnAnimCurve& host, unsigned index) { return Ticks(host.time(index).as(TTime::kSeconds)); }

// A weight x / (3 dt) as the curve's weight setters take it; 1/3 when it cannot be formed. The
// file keeps weights in whole steps of 1/9999 and the setter truncates: the weight is handed half a
// step above the nearest step, so that it keeps that step (a weight read from a file and written
// again keeps its step instead of losing one to rounding on each pass).
float WeightOf(double seconds, double dt) {
    const double weight = seconds / (3.0 * dt);
    if (!(dt > 0) || !std::isfinite(weight)) return KFCURVE_DEFAULT_WEIGHT;
    const double steps = std::floor(weight * KFCURVE_WEIGHT_DIVIDER + 0.5);
    return static_cast<float>((steps + 0.5) / KFCURVE_WEIGHT_DIVIDER);
}

// Whether the pair (out-tangent of key i, in-tangent of key i + 1) can be expressed by one Zeq
// segment: linear needs linear, fixed, flat and smooth need one of them; a clamped in-tangent is
// linear between nearly equal values, smooth otherwise.
bool PairCopies(const TFnAnimCurve& host, const TangentTypes& types, unsigned i, double threshold) {
    int out = types.mOut[i];
    int in = types.mIn[i + 1];
    if (in == kClamped) {
        if (std::fabs(host.value(i) - host.value(i + 1)) < threshold)
            out = in = kLinear;
        else
            in = kSmooth;
    }
    const auto fixedLike = [](int type) { return type == kFixed || type == kFlat || type == kSmooth; };
    if (out == kLinear) return in == kLinear;
    if (fixedLike(out)) return fixedLike(in);
    return true;
}

bool NeedsSampling(const TFnAnimCurve& host, const TangentTypes& types, unsigned count, int curveType) {
    const double threshold = ClampThreshold(curveType);
    for (unsigned i = 0; i < count; ++i) {
        const int in = types.mIn[i];
        if (in == kSlow || in == kFast) return true;
        if (i + 1 < count && !PairCopies(host, types, i, threshold)) return true;
    }
    return false;
}

// The key every write starts from: cubic, weight mode 0, weights a third, velocities 0. Copying
// it and setting the rest gives what KFCurveKey::Set gives, without encoding the weights per key
// (and with no flag of the slot's former key left over).
const KFCurveKey& BlankKey() {
    static const KFCurveKey blank = [] {
        KFCurveKey key{};
        key.Set(KTime(), 0.0f, KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_AUTO, 0.0f, 0.0f, KFCURVE_WEIGHTED_NONE,
                KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0.0f, 0.0f);
        return key;
    }();
    return blank;
}

void WriteKey(KFCurveKey* key, KTime time, float value, unsigned int interpolation, unsigned int tangentMode,
              float right, float nextLeft) {
    *key = BlankKey();
    key->SetTime(time);
    key->SetValue(value);
    key->SetInterpolation(interpolation);
    key->SetTangeantMode(tangentMode);
    key->SetDataFloat(KFCURVEKEY_RIGHT_DERIVATIVE, right);
    key->SetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE, nextLeft);
}

void SetSample(KFCurve& curve, int index, KTime time, double value) {
    WriteKey(curve.KeyGetPtr(index), time, static_cast<float>(value), KFCURVE_INTERPOLATION_CUBIC,
             KFCURVE_TANGEANT_AUTO, 0.0f, 0.0f);
}

// The sample grid over [first, last]: the first grid point (truncated quotient) and the number of
// points from there up to and including the first one at or after last. 0 when the count does not
// fit a curve.
struct Grid {
    KTime mStart;
    KTime mPeriod;
    long long mCount = 0;
};

Grid GridOver(KTime first, KTime last, double rate) {
    Grid grid;
    grid.mPeriod = Ticks(1.0 / rate);
    if (grid.mPeriod.Get() <= 0) return grid;
    grid.mStart = (first / grid.mPeriod) * grid.mPeriod;
    const __int128 period = grid.mPeriod.Get();
    const __int128 reach = static_cast<__int128>(last.Get()) - grid.mStart.Get() + period;
    const __int128 count = reach > 0 ? (reach + period - 1) / period : 0;
    grid.mCount = count <= 0x7FFFFFFF ? static_cast<long long>(count) : 0;
    return grid;
}

// Samples the host curve on the grid; false, curve untouched, when the samples cannot be held.
bool Sample(const TFnAnimCurve& host, unsigned count, KFCurve& curve, double scale, double rate) {
    const Grid grid = GridOver(KeyTime(host, 0), KeyTime(host, count - 1), rate);
    const int samples = static_cast<int>(grid.mCount);
    if (samples <= 0 || !curve.InitBuffers(samples)) return false;
    curve.KeyModifyBegin(samples);
    KTime time = grid.mStart;
    for (int i = 0; i < samples; ++i, time += grid.mPeriod)
        SetSample(curve, i, time, host.evaluate(TTime(time.GetSecondDouble(), TTime::kSeconds)) * scale);
    curve.KeyModifyEnd(samples);
    return true;
}

// What passes from one copied key to the next.
struct Carried {
    unsigned int mInterpolation = KFCURVE_INTERPOLATION_CUBIC;
    unsigned int mTangentMode = KFCURVE_TANGEANT_AUTO;
    double mRightDerivative = 0;
};

// The carried state after the out-tangent of key i.
void ApplyOutTangent(const TFnAnimCurve& host, int type, unsigned i, unsigned count, int curveType,
                     const Tangent& out, Carried& carried) {
    switch (type) {
    case kGlobal:
        break;
    case kFixed:
        carried = {KFCURVE_INTERPOLATION_CUBIC,
                   host.tangentsLocked(i) ? unsigned(KFCURVE_TANGEANT_USER) : unsigned(KFCURVE_TANGEANT_USER_BREAK),
                   out.mSlope};
        break;
    case kLinear:
        carried = {KFCURVE_INTERPOLATION_LINEAR, KFCURVE_TANGEANT_AUTO, 0};
        break;
    case kFlat:
        carried = {KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_USER, 0};
        break;
    case kSmooth:
        carried.mInterpolation = KFCURVE_INTERPOLATION_CUBIC;
        carried.mTangentMode = KFCURVE_TANGEANT_AUTO;
        break;
    case kStep:
        // A step holds the key's own value up to the next key.
        carried = {KFCURVE_INTERPOLATION_CONSTANT, KFCURVE_CONSTANT_STANDARD, 0};
        break;
    case kClamped: {
        // The last key has no segment to flatten: clamped there is smooth, a cubic auto key (which
        // the import makes clamped again, so a second export writes the same key).
        if (i + 1 == count) {
            carried = {KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_AUTO, 0};
            break;
        }
        const bool flat = std::fabs(host.value(i) - host.value(i + 1)) < ClampThreshold(curveType);
        carried = {flat ? unsigned(KFCURVE_INTERPOLATION_LINEAR) : unsigned(KFCURVE_INTERPOLATION_CUBIC),
                   KFCURVE_TANGEANT_USER, out.mSlope};
        break;
    }
    default:
        carried = {KFCURVE_INTERPOLATION_CUBIC, 0, 0};
        break;
    }
}

// The import keeps a constant key taking the next key's value as two host keys: the key holding its
// own value and, ten nanoseconds on, a step key holding the next key's. Such a pair goes out as that
// one key again, so that no slope reads the jump between them.
constexpr kLongLong kStepPairTicks = KTime::kTicksPerSecond / 100000000;

// How far a host time near t may come back from the tick the import gave it, beyond the half tick
// of its rounding: the host keeps seconds in a double, whose last bits the way there and back loses
// (none near the start of the time line, some thirty ticks 700,000 s on, thousands at its ends).
kLongLong HostRoundingTicks(KTime t) {
    return static_cast<kLongLong>(std::ldexp(std::fabs(static_cast<double>(t.Get())), -50));
}

bool StepsToNextValue(const TFnAnimCurve& host, const TangentTypes& types, unsigned i, unsigned count, KTime time,
                      KTime next) {
    if (i + 2 >= count || types.mOut[i] != kStep || types.mOut[i + 1] != kStep) return false;
    // The gap, give or take the rounding of both times.
    const kLongLong window = kStepPairTicks + 2 + 2 * HostRoundingTicks(next);
    return (next - time).Get() <= window && host.value(i + 1) == host.value(i + 2);
}

// Where the step key stands on one of the host's frames, the import moved the key back to the gap
// before it from where it was, up to the frame: it goes out a tick before the frame, the latest time
// that plays the next value there (and a key a tick before a frame comes back where it was). Far
// along the time line a step on a frame comes back within the rounding of it.
KTime NextKeyTime(KTime key, KTime step) {
    const double ticks = static_cast<double>(KTime::kTicksPerSecond) / ZeqTuloUtility::TimeUnitRatio();
    if (!(std::isfinite(ticks) && ticks >= 1.0 && ticks < 9.0e18)) return key;
    const __int128 frame = std::llround(ticks);
    __int128 past = static_cast<__int128>(step.Get()) % frame;
    if (past < 0) past += frame;
    const __int128 nearest = past <= frame / 2 ? step.Get() - past : step.Get() - past + frame;
    const __int128 off = nearest > step.Get() ? nearest - step.Get() : step.Get() - nearest;
    const bool onFrame = off <= HostRoundingTicks(step) && nearest <= KTime::kInfiniteTicks;
    return onFrame && nearest - 1 > key.Get() ? KTime(static_cast<kLongLong>(nearest - 1)) : key;
}

// Whether the host arrives at key i with a slope of its own (a fixed, flat or step in-tangent), not
// the slope its keys give, which is all an automatic key at the end of the keys takes.
bool ArrivesWithOwnSlope(const TangentTypes& types, unsigned i) {
    const int in = types.mIn[i];
    return in == kFixed || in == kFlat || in == kStep;
}

// The slope arriving at key i + 1 (not cubic) from the automatic key i, as that key's parameter. The
// parameter is read against the slopes on either side of key i + 1 and held in a float: beside a
// steep one (a step key ten nanoseconds on) it cannot give the slope back, and key i goes out a user
// key holding the slopes it has.
void KeepArrivingSlope(KFCurve& curve, int i, float slope) {
    curve.KeySetLeftDerivative(i + 1, slope);
    const KFCurveKey& key = *curve.KeyGetPtr(i);
    const KFCurveKey& next = *curve.KeyGetPtr(i + 1);
    const double chord =
        (static_cast<double>(next.GetValue()) - key.GetValue()) / (next.GetTime() - key.GetTime()).GetSecondDouble();
    const double scale = std::max(std::fabs(static_cast<double>(slope)), std::fabs(chord));
    if (std::fabs(curve.KeyGetLeftDerivative(i + 1) - static_cast<double>(slope)) <= 1e-6 * scale) return;
    const float left = curve.KeyGetLeftDerivative(i), right = curve.KeyGetRightDerivative(i);
    curve.KeyGetPtr(i)->SetTangeantMode(KFCURVE_TANGEANT_USER_BREAK);
    // A cubic key before holds the slope arriving at key i, read as key i's mode says.
    if (i > 0 && curve.KeyGetPtr(i - 1)->GetInterpolation() == KFCURVE_INTERPOLATION_CUBIC)
        curve.KeySetLeftDerivative(i, left);
    curve.KeySetRightDerivative(i, right);
    curve.KeySetLeftDerivative(i + 1, slope);
}

void CopyKeys(const TFnAnimCurve& host, const TangentTypes& types, unsigned count, int curveType, KFCurve& curve,
              double scale) {
    if (!curve.InitBuffers(static_cast<int>(count))) return;
    const TangentUnits units = UnitsOf(curveType);
    const bool weighted = host.isWeighted();
    const int reserved = static_cast<int>(count);
    curve.KeyModifyBegin(reserved);
    curve.KeyModifyEnd(reserved);
    curve.KeyModifyBegin();
    Carried carried;
    int written = 0;
    // The written keys whose next key's arriving slope was read from the host.
    std::vector<bool> arrivingRead(count, false);
    KTime next = KeyTime(host, 0);
    for (unsigned i = 0; i < count; ++i) {
        const KTime time = next;
        const bool last = i + 1 == count;
        if (!last) next = KeyTime(host, i + 1);
        // Host times beyond the tick range collapse onto one another: the first of them stays.
        if (written > 0 && time <= curve.KeyGetPtr(written - 1)->GetTime()) continue;
        if (!last && StepsToNextValue(host, types, i, count, time, next)) {
            WriteKey(curve.KeyGetPtr(written), NextKeyTime(time, next), static_cast<float>(host.value(i) * scale),
                     KFCURVE_INTERPOLATION_CONSTANT, KFCURVE_CONSTANT_NEXT, 0.0f, 0.0f);
            carried = {KFCURVE_INTERPOLATION_CONSTANT, KFCURVE_CONSTANT_STANDARD, 0};
            ++written;
            next = KeyTime(host, ++i + 1);
            continue;
        }
        const double dt = last ? 0.0 : next.GetSecondDouble() - time.GetSecondDouble();

        // Only fixed and clamped out-tangents carry a slope (or, weighted, a length) of their own.
        const int type = types.mOut[i];
        const bool ownTangent = type == kFixed || type == kClamped;
        const Tangent out = ownTangent ? ReadTangent(host, i, false, units) : Tangent();
        ApplyOutTangent(host, type, i, count, curveType, out, carried);
        // Written automatic, a last key takes the slope its keys give: where the host arrives at it
        // with a slope of its own, it goes out a user key holding that slope.
        if (last && carried.mInterpolation == KFCURVE_INTERPOLATION_CUBIC &&
            carried.mTangentMode == KFCURVE_TANGEANT_AUTO && i > 0 && ArrivesWithOwnSlope(types, i))
            carried = {KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_USER, ReadTangent(host, i, true, units).mSlope};
        double nextLeft = 0;
        float nextLeftWeight = KFCURVE_DEFAULT_WEIGHT;
        // Between two cubic auto keys the auto pass below sets the arriving slope itself.
        const bool autoPair = !weighted && !last && carried.mInterpolation == KFCURVE_INTERPOLATION_CUBIC &&
                              carried.mTangentMode == KFCURVE_TANGEANT_AUTO &&
                              (types.mOut[i + 1] == kSmooth || types.mOut[i + 1] == kGlobal) &&
                              !(i + 2 == count && ArrivesWithOwnSlope(types, i + 1));
        if (!last && !autoPair) {
            const Tangent in = ReadTangent(host, i + 1, true, units);
            nextLeft = in.mSlope;
            nextLeftWeight = WeightOf(in.mSeconds, dt);
            arrivingRead[static_cast<std::size_t>(written)] = true;
        }
        WriteKey(curve.KeyGetPtr(written), time, static_cast<float>(host.value(i) * scale), carried.mInterpolation,
                 carried.mTangentMode, static_cast<float>(carried.mRightDerivative * scale),
                 static_cast<float>(nextLeft * scale));
        if (weighted) {
            // Only a fixed out-tangent has a length of its own; the others span a third.
            const bool fixed = type == kFixed;
            curve.KeySetRightTangeantWeight(written, fixed && !last ? WeightOf(out.mSeconds, dt) : KFCURVE_DEFAULT_WEIGHT);
            if (!last) curve.KeySetLeftTangeantWeight(written + 1, nextLeftWeight);
        }
        ++written;
    }
    curve.KeyModifyEnd();
    if (written < reserved) {
        curve.KeyModifyBegin();
        curve.KeyModifyEnd(written);
    }
    for (int i = 0; i < written; ++i) {
        const KFCurveKey* key = curve.KeyGetPtr(i);
        if (key->GetInterpolation() == KFCURVE_INTERPOLATION_CUBIC && (key->GetTangeantMode() & KFCURVE_TANGEANT_AUTO)) {
            curve.KeySetLeftAuto(i, 0.0f);
            curve.KeySetRightAuto(i, 0.0f);
        }
    }
    // After an automatic key a key that is not cubic takes its arriving slope from the automatic
    // key's parameter: the slope read from the host goes there as that parameter.
    for (int i = 0; i + 1 < written; ++i) {
        const KFCurveKey* key = curve.KeyGetPtr(i);
        if (arrivingRead[static_cast<std::size_t>(i)] && key->GetInterpolation() == KFCURVE_INTERPOLATION_CUBIC &&
            (key->GetTangeantMode() & KFCURVE_TANGEANT_AUTO) &&
            curve.KeyGetPtr(i + 1)->GetInterpolation() != KFCURVE_INTERPOLATION_CUBIC)
            KeepArrivingSlope(curve, i, key->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE));
    }
}

void Reduce(KFCurve& curve, const ZeqTuloCurveOptions& options) {
    if (!options.mApplyConstantKeyReducer) return;
    KFCurveFilterConstantKeyReducer reducer;
    reducer.SetKeepFirstAndLastKeys(true);
    reducer.Apply(curve);
}

KFCurve* ChannelCurve(KFCurveNode& node, const char* channel, const char* axis) {
    KFCurveNode* channelNode = node.FindRecursive(channel);
    KFCurveNode* axisNode = channelNode ? channelNode->FindRecursive(axis) : nullptr;
    return axisNode ? axisNode->FCurveGet() : nullptr;
}

}  // namespace

ZeqTuloCurveOptions ZeqTuloCurveOptions::FromUserParams() {
    const ZeqTuloUserParams* params = ZeqTuloUserParams::Instance();
    ZeqTuloCurveOptions options;
    options.SetSamplingRate(params->GetResamplingRate(false));
    options.mApplyConstantKeyReducer = params->GetBoolParam(kExportApplyCstKeyRed);
    return options;
}

void ZeqTuloCurveOptions::SetSamplingRate(double rate) {
    mAskedRate = rate;
    mRateReplaced = !(std::isfinite(rate) && rate > 0 && Ticks(1.0 / rate).Get() > 0);
    mSamplingRate = mRateReplaced ? kDefaultRate : rate;
}

const char* ZeqTuloCurveOptions::RateWarning() const {
    static thread_local char text[160];
    if (!mRateReplaced) return "";
    std::snprintf(text, sizeof text, "ZEQ Export Warning: sampling rate %g is not usable: curves are sampled at %g per second.",
                  mAskedRate, kDefaultRate);
    return text;
}

void ZeqTuloSetFCurve(const TFnAnimCurve& host, KFCurve& curve, bool force, double scale,
                      const ZeqTuloCurveOptions& options) {
    const unsigned count = host.numKeys();
    if (count == 0) return;
    const int curveType = host.animCurveType();
    const TangentTypes types(host, count);
    if (!force) force = NeedsSampling(host, types, count, curveType);
    // Samples beyond what a curve can hold: the keys themselves are the closest the curve gets.
    if (!force || !Sample(host, count, curve, scale, options.mSamplingRate))
        CopyKeys(host, types, count, curveType, curve, scale);
    Reduce(curve, options);
}

void ZeqTuloSetFCurve(const TFnTransform& transform, const char* plugName, KFCurveNode& node, const char* channel,
                      const char* axis, bool force, double scale, const ZeqTuloCurveOptions& options) {
    TStatus status;
    const TPlug plug = transform.findPlug(TString(plugName), &status);
    if (!status || plug.isNull()) return;
    const TFnAnimCurve host(plug, &status);
    if (!status) return;
    KFCurve* curve = ChannelCurve(node, channel, axis);
    if (curve) ZeqTuloSetFCurve(host, *curve, force, scale, options);
}

void ZeqTuloConvertTuloCurve(const TFnTransform& transform, KFCurveNode& node, bool force,
                             const ZeqTuloCurveOptions& options) {
    for (const Channel& c : kTransformChannels)
        ZeqTuloSetFCurve(transform, c.mPlug, node, c.mChannel, c.mAxis, force, c.mScale, options);
}

void ZeqTuloSetRotationFCurve(const TFnTransform& transform, KFCurveNode& node, TEulerRotation::RotationOrder order,
                              const ZeqTuloCurveOptions& options) {
    static const char* const kPlugs[3] = {"rotateX", "rotateY", "rotateZ"};
    static const char* const kAxes[3] = {"X", "Y", "Z"};
    TPlug plugs[3];
    TFnAnimCurve hosts[3];
    bool driven[3] = {false, false, false};
    KFCurve* curves[3] = {nullptr, nullptr, nullptr};
    bool any = false;
    KTime first, last;
    for (int a = 0; a < 3; ++a) {
        TStatus status;
        plugs[a] = transform.findPlug(TString(kPlugs[a]), &status);
        if (status && !plugs[a].isNull()) {
            const TFnAnimCurve attached(plugs[a], &status);
            driven[a] = status;
            if (driven[a]) hosts[a] = attached;
        }
        KFCurveNode* axisNode = node.FindRecursive(kAxes[a]);
        curves[a] = axisNode ? axisNode->FCurveGet() : nullptr;
        const unsigned count = driven[a] ? hosts[a].numKeys() : 0;
        if (count == 0) continue;
        const KTime f = KeyTime(hosts[a], 0), l = KeyTime(hosts[a], count - 1);
        if (!any || f < first) first = f;
        if (!any || l > last) last = l;
        any = true;
    }
    if (!any) return;
    const Grid grid = GridOver(first, last, options.mSamplingRate);
    const int samples = static_cast<int>(grid.mCount);
    if (samples <= 0) return;
    for (KFCurve*& curve : curves)
        if (curve && !curve->InitBuffers(samples)) curve = nullptr;
    // An axis no curve drives keeps the plug's own value.
    double still[3] = {0, 0, 0};
    for (int a = 0; a < 3; ++a)
        if (!driven[a] && !plugs[a].isNull()) plugs[a].getValue(still[a]);
    for (KFCurve* curve : curves)
        if (curve) curve->KeyModifyBegin(samples);
    KTime time = grid.mStart;
    for (int i = 0; i < samples; ++i, time += grid.mPeriod) {
        const TTime at(time.GetSecondDouble(), TTime::kSeconds);
        TEulerRotation rotation(0, 0, 0, order);
        for (int a = 0; a < 3; ++a) rotation[a] = driven[a] ? hosts[a].evaluate(at) : still[a];
        const TEulerRotation xyz = rotation.reorder(TEulerRotation::kXYZ);
        for (int a = 0; a < 3; ++a)
            if (curves[a]) SetSample(*curves[a], i, time, xyz[a] * kRadiansToDegrees);
    }
    for (KFCurve* curve : curves)
        if (curve) curve->KeyModifyEnd(samples);
}

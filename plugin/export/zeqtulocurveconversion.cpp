// Host animation curves into Zeq curves: the key copy, each segment the host plays one Zeq segment
// (sampling on the period grid for the host's own shapes alone), key times taken back to the ticks
// the host's seconds stand for, and the constant key reduction. Keys are reserved once and written
// in place.
#include "plugin/export/zeqtulocurveconversion.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvefilterconstantkeyreducer.h"
#include "fcurve/kfcurvenode.h"
#include "io/zeqlogfile.h"
#include "plugin/zeqtulouserparams.h"
#include "plugin/zeqtuloutility.h"

using namespace zeqsdk_400;

namespace {

const double kRadiansToDegrees = 57.29577951308232;
const double kEpsilon = 2.220446049250313e-16;
const double kDefaultRate = 30.0;
const unsigned int kExportApplyCstKeyRed = 16;

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

// The host's tangents of every key, in and out, read once: the copy reads each several times.
struct HostTangents {
    std::vector<Tangent> mIn, mOut;
    HostTangents(const TFnAnimCurve& host, unsigned count, const TangentUnits& units) : mIn(count), mOut(count) {
        for (unsigned i = 0; i < count; ++i) {
            mIn[i] = ReadTangent(host, i, true, units);
            mOut[i] = ReadTangent(host, i, false, units);
        }
    }
};

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

// Slow and fast tangents are shapes of the host's own, which no Zeq key holds: a curve with one on a
// side that shapes a segment (an in-tangent anywhere, as the host reads it at either end too) is
// sampled. Every other segment the host plays is a cubic between the two slopes (a Bezier with their
// lengths, weighted), or holds, or runs straight, and is copied key for key.
bool NeedsSampling(const TangentTypes& types, unsigned count) {
    const auto sampled = [](int type) { return type == kSlow || type == kFast; };
    for (unsigned i = 0; i < count; ++i)
        if (sampled(types.mIn[i]) || (i + 1 < count && sampled(types.mOut[i]))) return true;
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

// The host's frame (one of its time unit) in ticks; 0 where ticks cannot hold one.
kLongLong HostFrameTicks() {
    const double ticks = static_cast<double>(KTime::kTicksPerSecond) / ZeqTuloUtility::TimeUnitRatio();
    return std::isfinite(ticks) && ticks >= 1.0 && ticks < 9.0e18 ? std::llround(ticks) : 0;
}

// Where a host key stands in ticks. The host keeps seconds, which far along the time line many ticks
// share: the key stands at every tick whose seconds are the key's ([mFirst, mLast], empty where none
// has them, as for a time the user typed), and nearest to its seconds at mNearest.
struct Instant {
    kLongLong mNearest = 0;
    kLongLong mFirst = 1;
    kLongLong mLast = 0;
};

Instant InstantOf(double seconds) {
    Instant at;
    const long double exact = static_cast<long double>(seconds) * KTime::kTicksPerSecond;
    if (!(std::fabs(exact) < 9.0e18L)) {
        at.mNearest = Ticks(seconds).Get();
        return at;
    }
    at.mNearest = std::llround(exact);
    const auto secondsOf = [](kLongLong t) { return KTime(t).GetSecondDouble(); };
    // Mostly (near the start of the time line) one tick or none has these seconds: its neighbours
    // tell.
    const double nearest = secondsOf(at.mNearest);
    const bool below = nearest < seconds || secondsOf(at.mNearest - 1) < seconds;
    const bool above = nearest > seconds || secondsOf(at.mNearest + 1) > seconds;
    if (below && above) {
        if (nearest == seconds) at.mFirst = at.mLast = at.mNearest;
        return at;
    }
    // Every tick with these seconds lies within a few of the seconds' last bits.
    const double bit = std::nextafter(std::fabs(seconds), HUGE_VAL) - std::fabs(seconds);
    const kLongLong reach = static_cast<kLongLong>(4 * bit * static_cast<double>(KTime::kTicksPerSecond)) + 4;
    // The first tick in [low, high] whose seconds pass the test (seconds only grow with ticks), else
    // high + 1.
    const auto firstWhere = [&](auto&& test) {
        kLongLong low = at.mNearest - reach, high = at.mNearest + reach + 1;
        while (low < high) {
            const kLongLong middle = low + (high - low) / 2;
            if (test(secondsOf(middle)))
                high = middle;
            else
                low = middle + 1;
        }
        return low;
    };
    at.mFirst = firstWhere([seconds](double s) { return s >= seconds; });
    at.mLast = firstWhere([seconds](double s) { return s > seconds; }) - 1;
    return at;
}

enum class Side { kFirst, kNearest, kLast };

// The tick a key goes out at: of the ticks it stands at, the side that plays as the host over all of
// them: where a step runs from the key (or up to it), its first, so that the key's own value plays
// from there; for a "next" key, which takes the next value after its time, its last; else (the curve
// running on through the key) the nearest.
kLongLong TickOf(const Instant& at, Side side) {
    if (at.mFirst > at.mLast) return at.mNearest;
    switch (side) {
    case Side::kFirst: return at.mFirst;
    case Side::kLast: return at.mLast;
    default: return std::min(std::max(at.mNearest, at.mFirst), at.mLast);
    }
}

bool StepsToNextValue(const TFnAnimCurve& host, const TangentTypes& types, unsigned i, unsigned count, KTime time,
                      KTime next) {
    if (i + 2 >= count || types.mOut[i] != kStep || types.mOut[i + 1] != kStep) return false;
    // The gap, give or take the rounding of both times.
    const kLongLong window = kStepPairTicks + 2 + 2 * HostRoundingTicks(next);
    return (next - time).Get() <= window && host.value(i + 1) == host.value(i + 2);
}

// Where the step key stands on one of the host's frames, the import moved the key back to the gap
// before it from where it was, up to the frame: it goes out just before the step's first tick, the
// latest time that plays the next value on the frame (a tick before it near the start of the time
// line, where a key a tick before a frame comes back where it was). A step whose seconds are no
// tick's (an edited one) counts as on a frame within their rounding.
KTime NextKeyTime(kLongLong key, const Instant& step, kLongLong frame) {
    if (frame <= 0) return KTime(key);
    __int128 before = 0;
    bool onFrame = false;
    if (step.mFirst <= step.mLast) {
        __int128 below = step.mFirst / frame;
        if (below * frame < step.mFirst) ++below;
        onFrame = below * frame <= step.mLast;
        before = static_cast<__int128>(step.mFirst) - 1;
    } else {
        const kLongLong t = step.mNearest;
        __int128 past = static_cast<__int128>(t) % frame;
        if (past < 0) past += frame;
        const __int128 nearest = past <= frame / 2 ? t - past : t - past + frame;
        const __int128 off = nearest > t ? nearest - t : t - nearest;
        onFrame = off <= HostRoundingTicks(KTime(t)) && nearest <= KTime::kInfiniteTicks;
        before = nearest - 1;
    }
    return KTime(onFrame && before > key ? static_cast<kLongLong>(before) : key);
}

// A side whose slope the host works out from the keys around it, as a Zeq automatic key does.
bool AutomaticSide(int type) { return type == kSmooth || type == kGlobal; }

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

// How one host key goes out: interpolation, tangent (or constant) mode and the slope leaving it.
struct KeyForm {
    unsigned int mInterpolation = KFCURVE_INTERPOLATION_CUBIC;
    unsigned int mMode = KFCURVE_TANGEANT_AUTO;
    double mRight = 0;
};

// The last key shapes no segment of its own: it goes out as its out-tangent names it (a clamped or
// smooth one an automatic key, as the import writes an automatic last key clamped), so that a key
// read from a file comes back as it was; an automatic one is kept so only where the host arrives at
// it with the slope its keys give (AutomaticKeysPlayTheHostsSlopes).
KeyForm LastKeyForm(const TFnAnimCurve& host, const TangentTypes& types, const HostTangents& tangents, unsigned i) {
    KeyForm form;
    switch (types.mOut[i]) {
    case kFixed:
        form.mMode = host.tangentsLocked(i) ? KFCURVE_TANGEANT_USER : KFCURVE_TANGEANT_USER_BREAK;
        form.mRight = tangents.mOut[i].mSlope;
        break;
    case kLinear: form.mInterpolation = KFCURVE_INTERPOLATION_LINEAR; break;
    case kFlat: form.mMode = KFCURVE_TANGEANT_USER; break;
    case kStep:
        form.mInterpolation = KFCURVE_INTERPOLATION_CONSTANT;
        form.mMode = KFCURVE_CONSTANT_STANDARD;
        break;
    default: break;
    }
    return form;
}

// Whether the host arrives at key i + 1 along the line from key i: a linear in-tangent, or one whose
// slope is that line's (a clamped or smooth last key), which a linear key plays exactly (a cubic in
// floats would round the values of a small move on a large one).
bool ArrivesStraight(const TFnAnimCurve& host, const TangentTypes& types, const HostTangents& tangents, unsigned i) {
    if (types.mIn[i + 1] == kLinear) return true;
    const double dt = host.time(i + 1).as(TTime::kSeconds) - host.time(i).as(TTime::kSeconds);
    if (!(dt > 0)) return false;
    const double chord = (host.value(i + 1) - host.value(i)) / dt;
    return std::fabs(tangents.mIn[i + 1].mSlope - chord) <= 1e-6 * std::fabs(chord);
}

// A key with a segment after it. The segment is the host's: held by a step, straight between two
// linear sides, else a cubic between the slopes of its two sides. Where the key leaves with the slope
// its neighbours give (smooth), it goes out an automatic key, kept so only where it plays the host's
// slopes on both sides (AutomaticKeysPlayTheHostsSlopes); else a user key holding the host's slopes,
// broken where its two sides differ. inShapes: the key's in-side shapes the segment before it (that
// segment is a cubic of the copy).
KeyForm InnerKeyForm(const TFnAnimCurve& host, const TangentTypes& types, const HostTangents& tangents, unsigned i,
                     bool inShapes, double scale) {
    const int out = types.mOut[i];
    if (out == kStep) return {KFCURVE_INTERPOLATION_CONSTANT, KFCURVE_CONSTANT_STANDARD, 0};
    if (out == kLinear && ArrivesStraight(host, types, tangents, i))
        return {KFCURVE_INTERPOLATION_LINEAR, KFCURVE_TANGEANT_AUTO, 0};
    if (AutomaticSide(out)) return {};
    KeyForm form;
    form.mRight = tangents.mOut[i].mSlope;
    // A fixed key is broken as the host's lock says (its two slopes are kept apart either way).
    if (out == kFixed)
        form.mMode = host.tangentsLocked(i) ? KFCURVE_TANGEANT_USER : KFCURVE_TANGEANT_USER_BREAK;
    else if (inShapes && static_cast<float>(tangents.mIn[i].mSlope * scale) != static_cast<float>(form.mRight * scale))
        form.mMode = KFCURVE_TANGEANT_USER_BREAK;
    else
        form.mMode = KFCURVE_TANGEANT_USER;
    return form;
}

// An automatic key takes the mean of the slopes of its two segments, the host's smooth key the line
// between its neighbours: the same where the neighbours are evenly spaced (as keys read from a file
// mostly are), and far apart beside a key close to it (a step key ten nanoseconds on). An automatic
// key whose slopes (where they shape a cubic segment) are not the host's, within their rounding in
// floats, goes out a user key holding the host's.
void AutomaticKeysPlayTheHostsSlopes(const HostTangents& tangents, KFCurve& curve, int written,
                                     const std::vector<unsigned>& hostIndex, double scale) {
    const auto near = [](double a, double b, double size) { return std::fabs(a - b) <= 1e-6 * size + 1e-30; };
    const auto slope = [&curve](int j, int k) {
        const KFCurveKey& a = *curve.KeyGetPtr(j);
        const KFCurveKey& b = *curve.KeyGetPtr(k);
        return (static_cast<double>(b.GetValue()) - a.GetValue()) / (b.GetTime() - a.GetTime()).GetSecondDouble();
    };
    std::vector<int> wrong;
    for (int i = 0; i < written; ++i) {
        const KFCurveKey* key = curve.KeyGetPtr(i);
        if (key->GetInterpolation() != KFCURVE_INTERPOLATION_CUBIC || !(key->GetTangeantMode() & KFCURVE_TANGEANT_AUTO))
            continue;
        const unsigned h = hostIndex[static_cast<std::size_t>(i)];
        // The mean's two slopes, as large as the slopes here get.
        const double size =
            std::fabs(i > 0 ? slope(i - 1, i) : 0.0) + std::fabs(i + 1 < written ? slope(i, i + 1) : 0.0);
        const bool inShapes = i > 0 && curve.KeyGetPtr(i - 1)->GetInterpolation() == KFCURVE_INTERPOLATION_CUBIC;
        const bool in = !inShapes || near(curve.KeyGetLeftDerivative(i), tangents.mIn[h].mSlope * scale, size);
        const bool out =
            i + 1 == written || near(curve.KeyGetRightDerivative(i), tangents.mOut[h].mSlope * scale, size);
        if (!in || !out) wrong.push_back(i);
    }
    for (const int i : wrong) {
        const unsigned h = hostIndex[static_cast<std::size_t>(i)];
        const float in = static_cast<float>(tangents.mIn[h].mSlope * scale);
        const float out = static_cast<float>(tangents.mOut[h].mSlope * scale);
        curve.KeyGetPtr(i)->SetTangeantMode(in == out || i == 0 ? KFCURVE_TANGEANT_USER : KFCURVE_TANGEANT_USER_BREAK);
        if (i + 1 < written) curve.KeySetRightDerivative(i, out);
        if (i > 0) curve.KeySetLeftDerivative(i, in);
    }
}

void CopyKeys(const TFnAnimCurve& host, const TangentTypes& types, unsigned count, int curveType, KFCurve& curve,
              double scale) {
    if (!curve.InitBuffers(static_cast<int>(count))) return;
    const HostTangents tangents(host, count, UnitsOf(curveType));
    const bool weighted = host.isWeighted();
    const kLongLong frame = HostFrameTicks();
    std::vector<Instant> instants(count);
    for (unsigned i = 0; i < count; ++i) instants[i] = InstantOf(host.time(i).as(TTime::kSeconds));
    const int reserved = static_cast<int>(count);
    curve.KeyModifyBegin(reserved);
    curve.KeyModifyEnd(reserved);
    curve.KeyModifyBegin();
    int written = 0;
    // The written keys whose next key's arriving slope was read from the host.
    std::vector<bool> arrivingRead(count, false);
    // The host key each written key stands for.
    std::vector<unsigned> hostIndex(count, 0);
    const auto previous = [&]() -> const KFCurveKey* { return written > 0 ? curve.KeyGetPtr(written - 1) : nullptr; };
    for (unsigned i = 0; i < count; ++i) {
        const bool last = i + 1 == count;
        if (!last && StepsToNextValue(host, types, i, count, KTime(instants[i].mNearest),
                                      KTime(instants[i + 1].mNearest))) {
            const KTime time = NextKeyTime(TickOf(instants[i], Side::kLast), instants[i + 1], frame);
            // Host times beyond the tick range collapse onto one another: the first of them stays.
            if (written > 0 && time <= previous()->GetTime()) continue;
            WriteKey(curve.KeyGetPtr(written), time, static_cast<float>(host.value(i) * scale),
                     KFCURVE_INTERPOLATION_CONSTANT, KFCURVE_CONSTANT_NEXT, 0.0f, 0.0f);
            hostIndex[static_cast<std::size_t>(written)] = i;
            ++written;
            ++i;
            continue;
        }
        const bool inShapes = written > 0 && previous()->GetInterpolation() == KFCURVE_INTERPOLATION_CUBIC;
        const KeyForm form = last ? LastKeyForm(host, types, tangents, i)
                                  : InnerKeyForm(host, types, tangents, i, inShapes, scale);
        const bool stepAround = form.mInterpolation == KFCURVE_INTERPOLATION_CONSTANT ||
                                (written > 0 && previous()->GetInterpolation() == KFCURVE_INTERPOLATION_CONSTANT &&
                                 previous()->GetConstantMode() == KFCURVE_CONSTANT_STANDARD);
        const KTime time(TickOf(instants[i], stepAround ? Side::kFirst : Side::kNearest));
        if (written > 0 && time <= previous()->GetTime()) continue;
        hostIndex[static_cast<std::size_t>(written)] = i;
        double nextLeft = 0;
        float nextLeftWeight = KFCURVE_DEFAULT_WEIGHT;
        double dt = 0;
        if (!last) {
            dt = KTime(instants[i + 1].mNearest).GetSecondDouble() - time.GetSecondDouble();
            const Tangent& in = tangents.mIn[i + 1];
            nextLeft = in.mSlope;
            nextLeftWeight = WeightOf(in.mSeconds, dt);
            arrivingRead[static_cast<std::size_t>(written)] = true;
        }
        WriteKey(curve.KeyGetPtr(written), time, static_cast<float>(host.value(i) * scale), form.mInterpolation,
                 form.mMode, static_cast<float>(form.mRight * scale), static_cast<float>(nextLeft * scale));
        if (weighted) {
            // Only a fixed out-tangent has a length of its own; the others span a third.
            const bool fixed = types.mOut[i] == kFixed;
            curve.KeySetRightTangeantWeight(
                written, fixed && !last ? WeightOf(tangents.mOut[i].mSeconds, dt) : KFCURVE_DEFAULT_WEIGHT);
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
    AutomaticKeysPlayTheHostsSlopes(tangents, curve, written, hostIndex, scale);
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

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
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
    const bool ownShapes = !force && NeedsSampling(types, count);
    // Samples beyond what a curve can hold: the keys themselves are the closest the curve gets.
    if (!(force || ownShapes) || !Sample(host, count, curve, scale, options.mSamplingRate))
        CopyKeys(host, types, count, curveType, curve, scale);
    else if (ownShapes && options.mLog)
        *options.mLog += ("ZEQ Export Warning: " + std::string(host.name().asChar()) +
                          ": slow or fast tangents, which no Zeq key holds: the curve is sampled at " +
                          Number(options.mSamplingRate) + " keys a second.")
                             .c_str();
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

// Curve transfer: one Zeq curve onto one host animation curve. Three layers: by attribute name on
// a transform, by plug (reuse, create, or leave a driven or locked plug alone, with the locked
// attribute dialog), and by curve function set (the keys and their tangents).
//
// Units: host key values are Zeq values / valueDivisor. Explicit tangents are written in the
// host's UI units (x in UI time units, y in UI value units), so a slope D (Zeq units per second)
// becomes D / (valueDivisor * slopeDivisor) per UI time unit: the two divisors carry the value
// and the UI unit of the channel.
#include <cmath>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurveutils.h"
#include "io/zeqlogfile.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/import/zeqtuloimport_curvetransfer.h"
#include "plugin/zeqtulodialogs.h"
#include "plugin/zeqtulouserparams.h"
#include "plugin/zeqtuloutility.h"
#include "tfntransform.h"
#include "tglobal.h"
#include "tplug.h"
#include "tplugin.h"

using namespace zeqsdk_400;

namespace {

const char* const kLockedText = ": this attribute is locked. Cannot transfer ";

// Host tangent types (TFnAnimCurve::TangentType).
enum : int { kGlobal = 0, kFixed = 1, kLinear = 2, kSmooth = 4, kStep = 5, kClamped = 8 };

// How a Zeq key reaches the host: its own tangent type, whether its tangents are written
// (explicit) and whether in and out may differ (broken).
struct KeyKind {
    int mOwn;
    bool mExplicit;
    bool mBroken;
    bool mKnown;
};

KeyKind KindOf(const KFCurveKey& key, int carried) {
    switch (key.GetInterpolation()) {
    case KFCURVE_INTERPOLATION_CONSTANT:
        return {kStep, false, false, true};
    case KFCURVE_INTERPOLATION_LINEAR:
        return {kLinear, false, false, true};
    case KFCURVE_INTERPOLATION_CUBIC:
        switch (key.GetTangeantMode()) {
        case KFCURVE_TANGEANT_AUTO:
            return {kSmooth, false, false, true};
        case KFCURVE_TANGEANT_USER:
            return {kFixed, true, false, true};
        case KFCURVE_TANGEANT_USER_BREAK:
            return {kSmooth, true, true, true};
        // Broken automatic slopes only survive written out, as a user-break key's do.
        case KFCURVE_TANGEANT_AUTO_BREAK:
            return {kSmooth, true, true, true};
        case KFCURVE_TANGEANT_TCB:
            return {kSmooth, true, false, true};
        default:
            break;
        }
        break;
    default:
        break;
    }
    return {carried, false, false, false};
}

// The host takes key times within a nanosecond of each other for one: a step key added beside a
// key stays ten times that away, whatever the rounding of the times in seconds.
constexpr kLongLong kHostKeyGap = KTime::kTicksPerSecond / 100000000;  // 10 ns

// The host's frame (one of its time unit) in ticks; 0 where ticks cannot hold one.
kLongLong HostFrame() {
    const double ticks = static_cast<double>(KTime::kTicksPerSecond) / ZeqTuloUtility::TimeUnitRatio();
    return std::isfinite(ticks) && ticks >= 1.0 && ticks < 9.0e18 ? std::llround(ticks) : 0;
}

// After a constant key in "next" mode the take plays the next key's value, its own at the key's
// time alone; a host step holds a key's value from its time on. So the key keeps its own value (it
// ends the segment before it) and a step key of the next value follows it kHostKeyGap later, or on
// the host's first frame after it where that comes sooner, the key then going kHostKeyGap before
// that frame (where the host's key before it leaves room): every frame plays what the take plays.
struct NextValueStep {
    bool mTaken = false;
    kLongLong mKey = 0;   // the key's own time on the host
    kLongLong mStep = 0;  // the step to the next value
};

NextValueStep StepToNextValue(KFCurve& curve, int i, bool hasPrevious, kLongLong previous, kLongLong frame) {
    const KFCurveKey& key = *curve.KeyGetPtr(i);
    NextValueStep step;
    step.mKey = key.GetTime().Get();
    if (i + 1 >= curve.KeyGetCount() || key.GetInterpolation() != KFCURVE_INTERPOLATION_CONSTANT ||
        key.GetConstantMode() != KFCURVE_CONSTANT_NEXT)
        return step;
    const KFCurveKey& after = *curve.KeyGetPtr(i + 1);
    if (after.GetValue() == key.GetValue() || !std::isfinite(after.GetValue())) return step;
    // In 128 bits: times at the ends of the time line stay in range.
    const __int128 t0 = key.GetTime().Get(), t1 = after.GetTime().Get();
    __int128 own = t0, at = t0 + kHostKeyGap;
    if (frame > 0) {
        const __int128 below = t0 / frame - (t0 % frame < 0 ? 1 : 0);
        const __int128 next = (below + 1) * frame;
        const __int128 earliest =
            hasPrevious ? static_cast<__int128>(previous) + kHostKeyGap : KTime::kMinusInfiniteTicks;
        if (next < at && next - kHostKeyGap >= earliest) {
            own = next - kHostKeyGap;
            at = next;
        }
    }
    if (t1 - at < kHostKeyGap) return step;
    step.mTaken = true;
    step.mKey = static_cast<kLongLong>(own);
    step.mStep = static_cast<kLongLong>(at);
    return step;
}

TTime HostTime(kLongLong ticks) { return TTime(KTime(ticks).GetSecondDouble(), TTime::kSeconds); }

// The resampling period: a rate that is not positive (or too fast for a tick) takes 30 per second.
KTime PeriodOf(double rate) {
    KTime period;
    if (!(rate > 0) || !std::isfinite(rate)) rate = 30.0;
    period.SetSecondDouble(1.0 / rate);
    if (period.Get() <= 0) period.SetSecondDouble(1.0 / 30.0);
    return period;
}

// The host's name of the curve a function set holds, for log lines.
std::string CurveName(const TFnAnimCurve& host) {
    TString name = host.name();
    return name.asChar();
}

// Keys left out change what the host plays: said where the user sees the import's other warnings
// too, not in the log alone.
void LogSkippedKeys(ZeqLogFile* log, const std::string& curveName, int count) {
    KString line(curveName.c_str());
    line += ": ";
    line += count;
    line += count == 1 ? " key" : " keys";
    line += " left out (a value that is not a number, or a time too close to another key).";
    if (log) *log += line.Buffer();
    TPxCommand::displayWarning(TString(line.Buffer()));
}

void LogTooManySamples(ZeqLogFile* log, const std::string& curveName) {
    if (!log) return;
    KString line(curveName.c_str());
    line += ": the keys span too long a time to be sampled. Cannot transfer animation data.";
    *log += line.Buffer();
}

// A host curve left without a key by a refused transfer would drive its plug to 0: one key
// holding the value the animation starts with keeps the plug where the take has it.
void HoldFirstValueWhenKeyless(TFnAnimCurve& host, KFCurve& curve, double valueDivisor) {
    if (host.numKeys() != 0 || curve.KeyGetCount() == 0) return;
    const double value = curve.KeyGetPtr(0)->GetValue() / valueDivisor;
    if (!std::isfinite(value)) return;
    host.addKey(TTime(0.0, TTime::kSeconds), value);
}

// A curve with TCB keys: samples on the import rate's grid, from the grid point at or before the
// first key (toward zero) to the first one at or after the last key.
TStatus ResampleTuloCurve(TFnAnimCurve& host, KFCurve& curve, double valueDivisor, ZeqLogFile* log) {
    const KTime period = ZeqTuloImportSamplingPeriod();
    const int n = curve.KeyGetCount();
    const KTime first = curve.KeyGetPtr(0)->GetTime();
    const KTime last = curve.KeyGetPtr(n - 1)->GetTime();
    const KTime start = (first / period) * period;
    const long long count = ZeqTuloImportSampleCount(start, last, period);
    if (count < 0) {
        LogTooManySamples(log, CurveName(host));
        return TStatus::kFailure;
    }
    int hint = 0, skipped = 0;
    for (long long k = 0; k < count; ++k) {
        const KTime t(start.Get() + k * period.Get());
        TStatus added;
        host.addKey(HostTime(t.Get()), curve.Evaluate(t, &hint) / valueDivisor, kGlobal, kGlobal, nullptr, &added);
        if (!added) ++skipped;
    }
    if (skipped > 0) {
        LogSkippedKeys(log, CurveName(host), skipped);
        return TStatus::kFailure;
    }
    return TStatus::kSuccess;
}

}  // namespace

bool HasWeightedTangent(KFCurve& curve) {
    for (int i = 0; i < curve.KeyGetCount(); ++i)
        if (curve.KeyIsLeftTangeantWeighted(i) || curve.KeyIsRightTangeantWeighted(i)) return true;
    return false;
}

bool IsDriven(TPlug& plug) {
    if (!ZeqTuloUserParams::Instance()->GetBoolParam(ZeqTuloUserParams::kProtectDrivenKeys)) return false;
    TStringArray drivers;
    TGlobal::executeCommand(TString("setDrivenKeyframe -q -cd ") + plug.name(), drivers, false, false);
    return drivers.length() > 0 && !(drivers[0] == TString("No drivers."));
}

long long ZeqTuloImportSampleCount(KTime start, KTime last, KTime period) {
    if (period.Get() <= 0) return -1;
    if (last < start) return 1;
    // In 128 bits: start + k * period < last + period for k = 0 .. count - 1.
    const __int128 span = static_cast<__int128>(last.Get()) - start.Get();
    const __int128 count = span / period.Get() + 1 + (span % period.Get() != 0 ? 1 : 0);
    const __int128 end = static_cast<__int128>(start.Get()) + (count - 1) * period.Get();
    if (count > kZeqTuloImportMaxSamples || end > KTime::kInfiniteTicks) return -1;
    return static_cast<long long>(count);
}

KTime ZeqTuloImportSamplingPeriod() {
    return PeriodOf(ZeqTuloUserParams::Instance()->GetResamplingRate(true));
}

int ZeqTuloImport::GetInfinityType(int extrapolation) const {
    switch (extrapolation) {
    case KFCURVE_EXTRAPOLATION_REPETITION:
        return TFnAnimCurve::kCycle;
    case KFCURVE_EXTRAPOLATION_MIRROR:
        // Mirrored repetition runs each cycle back and forth: the host's
        // oscillation (a relative cycle would climb by the curve's span).
        return TFnAnimCurve::kOscillate;
    case KFCURVE_EXTRAPOLATION_KEEP_SLOPE:
        return TFnAnimCurve::kLinear;
    default:
        return TFnAnimCurve::kConstant;
    }
}

// ---- Form 1: by attribute name.

TStatus ZeqTuloImport::SetTuloCurve(TFnTransform& transform, const char* attribute, KFCurve& curve,
                                    TFnAnimCurve::AnimCurveType type, double valueDivisor, double slopeDivisor,
                                    TStatus* status) {
    TStatus lookup;
    TPlug plug = transform.findPlug(attribute ? attribute : "", &lookup);
    if (status) *status = lookup;
    if (!lookup) {
        // Animation for an attribute the host node lacks is lost: say so once for the channel.
        if (curve.KeyGetCount() > 0 && mLogFile) {
            KString line(transform.name().asChar());
            line += ".";
            line += attribute ? attribute : "";
            line += ": attribute not found. Cannot transfer animation data.";
            *mLogFile += line.Buffer();
        }
        return TStatus::kFailure;
    }
    TStatus result = SetTuloCurve(plug, curve, type, valueDivisor, slopeDivisor);
    if (status) *status = result;
    return result;
}

// ---- Form 2: by plug.

TStatus ZeqTuloImport::SetTuloCurve(TPlug& plug, KFCurve& curve, TFnAnimCurve::AnimCurveType type,
                                    double valueDivisor, double slopeDivisor) {
    const bool empty = curve.KeyGetCount() == 0;
    TStatus attach;
    TFnAnimCurve host(plug, &attach);
    // An empty Zeq curve never writes into an existing host curve.
    const int code = empty ? TStatus::kNotFound : attach.statusCode();
    if (IsDriven(plug)) return attach;
    if (code != TStatus::kSuccess && code != TStatus::kNotFound) return TStatus::kFailure;
    if (code == TStatus::kSuccess) {
        SetTuloCurve(host, curve, valueDivisor, slopeDivisor, &attach);
        return attach;
    }
    // The host refuses a curve on a locked plug: ask first, then take the locked road.
    TStatus status;
    const bool locked = plug.isLocked(&status);
    if (!empty && !locked) {
        host.create(plug, type, nullptr, &status);
        if (!status) return TStatus::kFailure;
        SetTuloCurve(host, curve, valueDivisor, slopeDivisor, &status);
        return status;
    }
    if (!locked) return empty ? status : TStatus(TStatus::kFailure);

    // Locked: logged whatever happens next; then unlocked or kept by the remembered answer.
    const KString name(plug.name().asChar());
    KString line = name + kLockedText + (empty ? "data." : "animation data.");
    if (mLogFile) *mLogFile += line.Buffer();

    ZeqTuloUserParams* params = ZeqTuloUserParams::Instance();
    if (!params->GetBoolParam(ZeqTuloUserParams::kImportShowUI)) {
        mLockedAttributePolicy = params->GetBoolParam(ZeqTuloUserParams::kSetLockedAttrib) ? 2 : 0;
    } else if (mLockedAttributePolicy == 1) {
        ZeqTulo3ButtonDialog dialog;
        dialog.Title("ZEQ import Warning");
        KString message = name + kLockedText + (empty ? "data.\\n\\n" : "animation data.\\n\\n");
        message += "NOTE: Clicking 'Unlock All' or 'Keep All Locked' will silence this dialog\\n";
        message += "      until the end of the import (the affected attributes will still be printed in the log file).\\n";
        dialog.Message(message);
        dialog.Button(0, " Unlock All ");
        dialog.Button(1, " Unlock ");
        dialog.Button(2, " Keep All Locked ");
        mLockedAttributePolicy = dialog.Pop();
    }
    if (mLockedAttributePolicy == 2) return status;

    TStatus unlock = plug.setLocked(false);
    if (!unlock) return unlock;
    // A plug still locked through its parent would refuse the curve: unlock the parent first.
    if (!empty && !plug.isLocked()) {
        host.create(plug, type, nullptr, &status);
        if (status) {
            SetTuloCurve(host, curve, valueDivisor, slopeDivisor, &status);
            return status;
        }
    }
    TPlug parent = plug.parent();
    if (parent.isNull()) return TStatus::kFailure;
    unlock = parent.setLocked(false);
    if (!unlock) return unlock;
    if (empty) return status;
    if (plug.isLocked()) return TStatus::kFailure;
    host.create(plug, type, nullptr, &status);
    if (!status) return TStatus::kFailure;
    SetTuloCurve(host, curve, valueDivisor, slopeDivisor, &status);
    return status;
}

// ---- Form 3: the keys.

TStatus ZeqTuloImport::SetTuloCurve(TFnAnimCurve& host, KFCurve& curve, double valueDivisor, double slopeDivisor,
                                    TStatus* attachStatus) {
    const int n = curve.KeyGetCount();
    if (n == 0) {
        if (!attachStatus || !*attachStatus) return TStatus::kSuccess;
        const unsigned count = host.numKeys();
        for (unsigned i = 1; i < count; ++i) host.remove(0);
        if (host.numKeys() == 0) return TStatus::kSuccess;
        host.setTime(0, TTime(0.0, TTime::kSeconds));
        // The remaining key stands for the default value, in the host's units as the keys are.
        host.setValue(0, curve.GetValue() / valueDivisor);
        return TStatus::kSuccess;
    }

    for (unsigned i = host.numKeys(); i > 0; --i) host.remove(i - 1);

    int counts[KFCurveUtils::eCountSize];
    KFCurveUtils::GetInterpolationAndTangeantCount(curve, counts);
    if (counts[KFCurveUtils::eCountCubicTcb] != 0) {
        const TStatus resampled = ResampleTuloCurve(host, curve, valueDivisor, mLogFile);
        HoldFirstValueWhenKeyless(host, curve, valueDivisor);
        return resampled;
    }

    const bool weighted = HasWeightedTangent(curve);
    host.setIsWeighted(weighted);
    const double secondsPerUnit = 1.0 / ZeqTuloUtility::TimeUnitRatio();
    const float unitsPerSecond = static_cast<float>(TTime(1.0, TTime::kSeconds).as(TTime::uiUnit()));

    const kLongLong frame = HostFrame();
    bool hostKeyed = false;
    kLongLong lastHostKey = 0;  // the time of the host's last key
    bool afterStep = false;     // the host's last key is a step key added for a "next" key
    int carried = kGlobal;
    int skipped = 0;
    int hint = 0;  // the derivatives are read in key order
    for (int i = 0; i < n; ++i) {
        const KFCurveKey& key = *curve.KeyGetPtr(i);
        const KTime keyTime = key.GetTime();
        const double seconds = keyTime.GetSecondDouble();
        const KeyKind kind = KindOf(key, carried);
        const NextValueStep step = StepToNextValue(curve, i, hostKeyed, lastHostKey, frame);
        if (key.GetInterpolation() == KFCURVE_INTERPOLATION_CUBIC && key.GetTangeantMode() == KFCURVE_TANGEANT_AUTO)
            carried = kSmooth;
        int in = i == 0 ? kind.mOwn : carried;
        int out = kind.mOwn;
        if (i == n - 1 && n > 1) in = out = kind.mOwn == kSmooth ? kClamped : carried;
        // After a linear key the take runs straight up to this one (a held stretch holds): so does
        // the host, this key taking the line in.
        if (i > 0 && !kind.mExplicit && curve.KeyGetPtr(i - 1)->GetInterpolation() == KFCURVE_INTERPOLATION_LINEAR)
            in = kLinear;
        // A cubic key with written tangents shapes the segment after it up to this one, which ends
        // with the curve's slope there: a step or a line after it has no slope of its own for that
        // side, which is written too, where the host's own slope of the carried type would bend the
        // segment (a baked hold ended by a step would dip). An automatic key keeps the host's own.
        const bool writtenIn = i > 0 && key.GetInterpolation() != KFCURVE_INTERPOLATION_CUBIC &&
                               KindOf(*curve.KeyGetPtr(i - 1), kGlobal).mExplicit;
        // The host's smooth slope reads the keys on either side: beside a step key added for a
        // "next" key it would read the jump ten nanoseconds long. The side of such a neighbour that
        // shapes a segment is written, as the take's curve has it.
        const auto readsNeighbours = [](int type) { return type == kSmooth || type == kGlobal || type == kClamped; };
        const bool writtenBeforeStep = step.mTaken && i > 0 && !writtenIn && readsNeighbours(in);
        const bool writtenAfterStep = afterStep && i < n - 1 && !kind.mExplicit && readsNeighbours(out);

        TStatus added;
        const unsigned index =
            host.addKey(HostTime(step.mKey), key.GetValue() / valueDivisor, in, out, nullptr, &added);
        if (!added) {
            // A key the host refuses (a value that is not a number, a time too close to the
            // previous key) is left out; the others still go.
            ++skipped;
            continue;
        }
        hostKeyed = true;
        lastHostKey = step.mKey;
        afterStep = false;
        if (step.mTaken) {
            const double next = curve.KeyGetPtr(i + 1)->GetValue() / valueDivisor;
            const unsigned stepIndex = host.addKey(HostTime(step.mStep), next, kStep, kStep, nullptr, &added);
            if (added) {
                host.setTangentsLocked(stepIndex, true);
                lastHostKey = step.mStep;
                afterStep = true;
            } else {
                ++skipped;
            }
        }
        // An explicit key's two sides are both written (both fixed): unbroken, they stay locked,
        // whatever type the previous key carried into its in-side.
        // A side written beside a step key leaves the other the host's own: they part.
        const bool lock = ((!kind.mBroken && (in == out || kind.mExplicit)) || i == 0 || i == n - 1) &&
                          !writtenBeforeStep && !writtenAfterStep;
        const bool writeIn = kind.mExplicit || writtenIn || writtenBeforeStep;
        const bool writeOut = kind.mExplicit || writtenAfterStep;
        if (writeIn || writeOut) {
            // Unlocked while the two sides are written one by one.
            host.setTangentsLocked(index, false);
            if (weighted) host.setWeightsLocked(index, false);
            for (int side = writeIn ? 0 : 1; side < (writeOut ? 2 : 1); ++side) {
                const bool inSide = side == 0;
                const double d = inSide ? curve.EvaluateLeftDerivative(keyTime, &hint)
                                        : curve.EvaluateRightDerivative(keyTime, &hint);
                float x, y;
                if (weighted) {
                    const double w = inSide ? curve.KeyGetLeftTangeantWeight(i) : curve.KeyGetRightTangeantWeight(i);
                    double dt = 0;
                    if (inSide && i > 0) dt = seconds - curve.KeyGetPtr(i - 1)->GetTime().GetSecondDouble();
                    if (!inSide && i < n - 1) dt = curve.KeyGetPtr(i + 1)->GetTime().GetSecondDouble() - seconds;
                    double length = 3.0 * w * dt;
                    if (length == 0) length = 0.33;
                    x = static_cast<float>(unitsPerSecond * length);
                    y = static_cast<float>(d / slopeDivisor * length / valueDivisor);
                } else {
                    const double s = d * secondsPerUnit / slopeDivisor;
                    const double c = 1.0 / std::sqrt(1.0 + s * s);
                    x = static_cast<float>(c);
                    y = static_cast<float>(s * c / valueDivisor);
                }
                host.setTangent(index, x, y, inSide);
            }
        }
        host.setTangentsLocked(index, lock);
        carried = out;
    }
    if (skipped > 0) {
        LogSkippedKeys(mLogFile, CurveName(host), skipped);
        HoldFirstValueWhenKeyless(host, curve, valueDivisor);
        return TStatus::kFailure;
    }
    return TStatus::kSuccess;
}


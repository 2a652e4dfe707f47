#ifndef ZEQ_FCURVE_KFCURVEUTILS_H
#define ZEQ_FCURVE_KFCURVEUTILS_H

#include "base/kerror.h"
#include "base/ktime.h"

namespace zeqsdk_400 {

class KFCurve;
class KFCurveNode;

// Whole-curve operations: comparison, interpolation queries and conversions,
// resampling at a fixed period, splicing one curve into another and the
// distance of a time from a curve's keys.
//
// Curves are taken by reference (curves are not copyable). Failures are
// reported through one class-wide error holder shared by every caller without
// a lock; a success leaves an earlier error in place.
class KFCurveUtils {
public:
    // Error identifiers: messages of the class-wide table.
    enum {
        eNoKey = 0,
        eMultipleInterpolation = 1,
        eMultipleKeyCount = 2,
        eUnsynchedKeys = 3,
        eLeftUnchanged = 4,
    };

    // Indices of the counts of GetInterpolationAndTangeantCount.
    enum {
        eCountConstant = 0,
        eCountLinear,
        eCountCubicAuto,
        eCountCubicAutoBreak,
        eCountCubicUser,
        eCountCubicUserBreak,
        eCountCubicTcb,
        eCountSize
    };

    // True when the curves are alike: default values and key values within
    // the double epsilon, key times equal, the same interpolations and modes,
    // and the same TCB parameters or user derivatives. Two null curves are
    // alike; a null and a curve are not.
    static bool CompareCurve(KFCurve* a, KFCurve* b);

    // The OR of every key's interpolation (or tangent mode). Error 1 when the
    // keys do not share one (the answer is still true); without keys error 0
    // and false, mode 0.
    static bool GetGlobalInterpolation(unsigned int& mode, KFCurve& curve);
    static bool GetGlobalTangeant(unsigned int& mode, KFCurve& curve);

    // Counts keys by kind into counts[eCountSize] (see the indices above); a
    // cubic key with any other tangent mode is not counted. False (nothing
    // written) for a null array.
    static bool GetInterpolationAndTangeantCount(KFCurve& curve, int* counts);

    // Gives every key of the tree (children first, then the node's own curve)
    // the interpolation and then the tangent mode.
    static void ConvertCurveInterpolationRecursive(unsigned int interpolation, unsigned int tangentMode,
                                                   KFCurveNode& node);

    // Makes destination a copy of source whose keys have the interpolation and
    // tangent mode given. Cubic keys going to user (or user-break) tangents keep
    // their slopes; any other key that changes kind is replaced by samples of the
    // source every period up to the next key (one sample when the period is not
    // positive). False with error 4, destination untouched, when the samples
    // would be too many for a curve.
    static bool ConvertCurve(KFCurve& source, KFCurve& destination, unsigned int interpolation,
                             unsigned int tangentMode, KTime period);

    // Replaces destination's keys by samples of source at start, start +
    // period, ... up to stop, plus one at stop when keyOnStop is set and the
    // span is not a whole number of periods. This form gives each sample the
    // kind of the source key it falls after (TCB becomes auto; user keys take
    // the source's slopes there), cubic auto outside the source's keys.
    // Nothing is done (false) unless start < stop and period > 0; a span with
    // more samples than a curve can hold is refused with error 4, destination
    // untouched; so is a destination for which memory runs out (error 4).
    static bool Resample(KFCurve& source, KFCurve& destination, KTime& start, KTime& stop, KTime& period,
                         bool keyOnStop);
    // The same with one interpolation and tangent mode for every sample.
    static bool Resample(KFCurve& source, KFCurve& destination, KTime& start, KTime& stop, KTime& period,
                         unsigned int interpolation, unsigned int tangentMode, bool keyOnStop);

    // Splices inserted into base, writing result: base's keys before inserted's
    // first key time, all of inserted's keys, then base's keys after its last
    // key time. Where base continues with user tangents, the seams take base's
    // slopes. result may be base or inserted. False (error 4, result
    // untouched) only when memory runs out.
    static bool Merge(KFCurve& base, KFCurve& inserted, KFCurve& result);

    // How far the first key lies after time (0 when it does not, or without keys).
    static KTime FindTimeOffsetBefore(KFCurve& curve, KTime& time);
    // How far the last key lies before time, as a negative offset (0 when it
    // does not, or without keys).
    static KTime FindTimeOffsetAfter(KFCurve& curve, KTime& time);

    static KError& GetError() { return smError; }
    static int GetLastErrorID() { return smError.GetLastErrorID(); }
    static const char* GetLastErrorString() { return smError.GetLastErrorString(); }

    static KError smError;
};

}  // namespace zeqsdk_400

#endif

#ifndef ZEQ_FCURVE_KFCURVEBAKETIMES_H
#define ZEQ_FCURVE_KFCURVEBAKETIMES_H

// Where the bake of layers and time warps samples a node, and how it keeps a baked stretch one
// way; shared by the bake's source files, not part of the library's interface.

#include <vector>

#include "base/ktime.h"
#include "fcurve/kfcurvebake.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"

namespace zeqsdk_400 {

struct KFCurveBakeSpan;

namespace bake {

// Ten million samples: over three days at 30 a second. A take's span widens a bake up to its
// own bound (KFCurveBakeSpan::mMostSamples, this by default).
constexpr kULongLong kMaxGridSamples = kKFCurveBakeMostSamples;
// A microsecond: samples closer than this are one, and a jump is held up to this before it.
constexpr KTime kSameSample(KTime::kTicksPerSecond / 1000000);

// What a sample time is.
enum : unsigned char {
    kOnGrid = 1,   // a whole period of the take, or its image through the warps that read the node
    kAtEnd = 2,    // an end of what the bake covers
    kAtKey = 4,    // a key is reached: the take may turn
    kMayStep = 8,  // the take may jump: a constant key ends, or a repeated cycle starts again
    // The curve holds before the key (its first, before which it holds) or after it (its last, or a
    // constant one): the sample goes on that side of the key, where the value is the key's own.
    kFlatBefore = 16,
    kFlatAfter = 32,
    // A key within ten microseconds of another of its curve: the take may run steeply past it, so
    // that where a warp reads it is found to the tick.
    kSteep = 64,
    // A frame of the take as the warps that read the node take it: what the node plays there is what
    // they play at the frame, so it is the sample that stands for any time beside it.
    kRead = 128,
};

struct Mark {
    KTime mTime;
    unsigned char mFlags;
};

// A time warp read at many times: straight from its curve when it is one curve alone.
struct WarpReader {
    explicit WarpReader(KFCurveNode* warp) : mWarp(warp), mCurve(KFCurveNodeWarpCurve(warp)) {}
    double Seconds(KTime time) const { return mCurve ? mCurve->Evaluate(time) : KFCurveNodeWarpSeconds(mWarp, time); }
    // The time the evaluation reads under the warp.
    KTime Time(KTime time) const {
        KTime warped;
        warped.SetSecondDouble(Seconds(time));
        return warped;
    }
    KFCurveNode* mWarp;
    KFCurve* mCurve;
};

// Merges list (ascending, without repeats) into sorted (the same): a time in both takes both's flags.
void MergeMarks(std::vector<Mark>& sorted, const std::vector<Mark>& list, std::vector<Mark>& scratch);

// The time warps the node's evaluation meets below its own: its children's, its layers' and theirs
// (and its own, with self).
void InnerWarps(KFCurveNode* node, bool self, std::vector<KFCurveNode*>& out);

// The times a bake of node samples, ascending, at least a microsecond apart.
struct SampleTimes {
    std::vector<Mark> mSamples;
    // The animation holds no key: it plays one value (sampled at time 0).
    bool mConstant = false;
    // What the take plays within its span asks for more samples than the span's bound (see
    // KFCurveBakeSpan::mMostSamples): the samples cover the keys alone, as a bake without the take's
    // span does.
    bool mCut = false;
    // The span of the keys (the outermost warp's, when one reaches the node): past it the take runs
    // on only where the take's span widened the bake.
    KTime mKeysStart, mKeysStop;
};

// The sample times of node under the warps of chain (outermost first; those above the node, then
// its own) at period, over span (see KFCurveNodeBake).
SampleTimes BakeSampleTimes(KFCurveNode* node, const std::vector<KFCurveNode*>& chain, KTime period,
                            const KFCurveBakeSpan& span);

// A cubic stretch from v0 to v1 over length seconds whose slopes m0 and m1 follow its chord, but
// which would stray outside the values of its ends by more than tolerance, has its slopes cut
// (keeping their ratio) just enough that it stays within them, as the take does there when it runs
// one way. True when it cut them; where, when given, is then the part of the stretch where it
// strayed most.
bool KeepOneWay(double v0, double v1, double length, double& m0, double& m1, double tolerance,
                double* where = nullptr);

}  // namespace bake

}  // namespace zeqsdk_400

#endif

#ifndef ZEQ_FCURVE_KFCURVEBAKE_H
#define ZEQ_FCURVE_KFCURVEBAKE_H

#include "base/ktime.h"

namespace zeqsdk_400 {

class KFCurveNode;

// The most samples a take's span widens a bake to, unless told fewer: over three days at 30 a second.
constexpr kULongLong kKFCurveBakeMostSamples = 10000000;

// What a bake covers besides the animation's keys, and who reads the node afterwards.
struct KFCurveBakeSpan {
    // The take's own span (its local time): within it the baked node plays what the take plays,
    // past the keys too (a repeating or slope-keeping extrapolation, a warp running on). Empty (start
    // after stop), the keys alone set the span.
    KTime mStart = KTime::Infinite();
    KTime mStop = KTime::MinusInfinite();
    // Time warps that stay above the node and read it once baked (outermost first): the node is baked
    // in its own time, with samples where these warps take the take's grid, so that it plays exactly
    // at the take's frames through them.
    KFCurveNode* const* mReaders = nullptr;
    int mReaderCount = 0;
    // Set (never cleared) when what the take plays within its span asks for more samples than a
    // bake takes: the node is then baked over its keys alone.
    bool* mCut = nullptr;
    // The most samples (so keys a channel, about) the take's span may widen the bake to: ten
    // million, or fewer for a reader whose curves cost more a key (no more than ten million count).
    kULongLong mMostSamples = kKFCurveBakeMostSamples;
};

// Bakes a curve node's animation layers and time warps into its base curves, so that the node
// then plays alone what it played with them: its curves take, as keys, the values its evaluation
// (GeneralEvaluate, layers combined channel by channel, time warps composed from the outermost
// down) gives under the time warps above it (above, outermost first; the node's own and those
// below it are its evaluation's).
//
// The samples lie on whole periods of the take's time (0, period, 2 x period, ...) within the span
// the animation covers (the outermost time warp's keys when one reaches the node, else the keys of
// the node's curves, of its layers and of the time warps below it), widened to span's take span as
// far as the take may still change there (a curve cycling or keeping its slope, as many spans as its
// count says, endless by default; a warp moving, and, keeping its slope, still reading times where
// the curves below it change): past that it holds, and a held tail is one sample.
// Besides the grid there is a sample at the span's start and end, and at every time of the take
// where a key of the node's curves or layers, or of a time warp between the outermost and them,
// falls (their images in extrapolation cycles too, however many cycles there are, and where the
// cycles or a kept slope end; found through the warps above it, which may run back or hold), so
// that the baked curves pass through the values there. Samples closer than a microsecond are one:
// the one where span's readers take a frame of the take (read there, it plays that frame, even a
// few ticks past a jump), else the one at an end of the span, else the one on the grid, else where
// the take may jump, else a key its curve holds beside (sampled on that side of it), else the
// first; where two keys meet so, the take may jump there. A period that is not positive, or a span
// of more than ten million periods, samples those times alone; a take's span that would ask for
// more than span's mMostSamples is left to the keys (mCut).
//
// Between two samples the keys play the take's own shape: each key's slopes are the take's on each
// side of it, read off the samples (and, on a short stretch or one the take turns fast through, a
// few more evaluations) between the keys of the take around it, so that a key where the take turns
// sharply has two; a stretch whose curve would leave the values the take spans there, where the
// take runs one way, is kept to them. A key followed by one of its value (within a float's
// rounding) whose slopes hold is flat, and the next takes its value: the curve holds between them.
// That rounding, and the range a stretch's shape is judged against, are those of the values near
// it (the keys' span; past it, each doubling of the distance from the keys), so that the keyed part
// bakes alike however far a take's span carries the tail and whatever values the tail reaches.
// Where the take jumps, the curve jumps at the same time: the value before up to it (a constant key
// a microsecond before, or the held key before), the value after from it. A node whose animation
// holds no key is constant: its curves keep no key and take that value as their default. The
// curves hold before their first key and after their last.
//
// Afterwards the node has no layer, and neither it nor anything below it a time warp. Answers
// false, changing nothing, for a node that no layer and no time warp reach (or a null one).
bool KFCurveNodeBake(KFCurveNode* node, KFCurveNode* const* above, int aboveCount, KTime period,
                     const KFCurveBakeSpan* span = nullptr);

}  // namespace zeqsdk_400

#endif

#ifndef ZEQ_FCURVE_KFCURVEBAKE_H
#define ZEQ_FCURVE_KFCURVEBAKE_H

#include "base/ktime.h"

namespace zeqsdk_400 {

class KFCurveNode;

// Bakes a curve node's animation layers and time warps into its base curves, so that the node
// then plays alone what it played with them: its curves take, as keys, the values its evaluation
// (GeneralEvaluate, layers combined channel by channel, time warps composed from the outermost
// down) gives under the time warps above it (above, outermost first; the node's own and those
// below it are its evaluation's).
//
// The samples lie on whole periods of the take's time (0, period, 2 x period, ...) within the span
// the animation covers: the outermost time warp's keys when one reaches the node, else the keys of
// the node's curves, of its layers and of the time warps below it. Besides the grid there is a
// sample at the span's start and end, and at every time of the
// take where a key of the node's curves or layers, or of a time warp between the outermost and
// them, falls (found through the warps above it, which may run back or hold), so that the baked
// curves pass through the values there. Samples closer than a microsecond are one: the one at an
// end of the span, else the one on the grid, else the first. A period that is not positive, or a
// span of more than ten million periods, samples those times alone. The keys are cubic with
// automatic tangents, except that a key followed by one of its value is linear: the curve holds
// between them. A node whose animation holds no key is constant: its curves keep no key and take
// that value as their default.
//
// Afterwards the node has no layer, and neither it nor anything below it a time warp. Answers
// false, changing nothing, for a node that no layer and no time warp reach (or a null one).
bool KFCurveNodeBake(KFCurveNode* node, KFCurveNode* const* above, int aboveCount, KTime period);

}  // namespace zeqsdk_400

#endif

#ifndef ZEQ_FCURVE_KFCURVEPLOTVALUES_H
#define ZEQ_FCURVE_KFCURVEPLOTVALUES_H

// Helpers shared by the plot's source files; not part of the library's interface.

#include "base/karray.h"
#include "base/ktime.h"

namespace zeqsdk_400 {

class KFCurve;
class KFCurveNode;

namespace plot {

// The layer's values at time (curves alone, no time warp) into out, laid out
// as layout's (KFCurve_GetLayerValueCount(layout) doubles): its own curve, then
// the layer's channel of each layout channel's name; channels the layer does
// not hold give the layer type's neutral value. hints (one per value, may
// be null) else sharedHint (may be null) serve as key search hints.
void EvaluateLayer(const KFCurveNode* layout, KFCurveNode* layer, double* out, KTime time, int* hints,
                   int* sharedHint);

// The size of a value buffer that any layer of the chain from node fits in.
int ChainCapacity(KFCurveNode* node);

// Composes into values the layers of the chain from layer (only the listed
// ids from index on, when layers is given). scratch holds ChainCapacity
// doubles. hints, when given, holds hintStride hints per layer of the chain.
void EvaluateInLayers(KFCurveNode* layer, double* values, double* scratch, KTime time, KArrayTemplate<int>* layers,
                      int index, int* hints, int hintStride, int* sharedHint);

}  // namespace plot

}  // namespace zeqsdk_400

#endif

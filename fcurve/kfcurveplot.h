#ifndef ZEQ_FCURVE_KFCURVEPLOT_H
#define ZEQ_FCURVE_KFCURVEPLOT_H

#include "base/karray.h"
#include "base/kerror.h"
#include "base/ktime.h"

namespace zeqsdk_400 {

class KFCurve;
class KFCurveNode;

// Plotting (baking) layered animation into plain keys.
//
// A layered curve node is a chain of layer nodes of one shape (ascending layer
// ids, 0 the base). Each layer contributes one value per channel: the node's
// own curve, if any, first, then one per child. Layer values combine by the
// node's layer type (additive, multiplicative, Euler rotation, quaternion);
// the functions below sample that combination on a regular grid, or solve for
// the values one layer must hold to reproduce a target, and write the samples
// back as keys.
//
// Value buffers handed to these functions hold KFCurve_GetLayerValueCount(node)
// doubles (4 suffice for a node of up to four leaf channels).

// Options of the smart plot: keep only the samples at the layers' key times,
// then restore detail where the sparse curve strays from the full sampling.
struct KSmartPlotOptions {
    KSmartPlotOptions();

    bool mSmartPlot;
    // Break a kept key's tangents when its slopes differ from the full
    // sampling's by more than mTangentTolerance (value units per second).
    bool mBreakTangents;
    double mTangentTolerance;
    // Offset of the extra samples around each key time, and the step used to
    // measure slopes.
    KTime mSampleOffset;
    // Insert keys where the sparse curve strays from the full sampling by
    // more than mFidelityTolerance, looking at mFidelitySubdivisions parts of
    // each key interval.
    bool mIncreaseFidelity;
    double mFidelityTolerance;
    bool mFidelityBreakTangents;
    int mFidelitySubdivisions;
    // Even in smart mode, give the full sampling as the result.
    bool mKeepAllSamples;
};

// Options of a layer merge, for callers that merge layers over a span.
struct KMergeLayerOptions {
    KMergeLayerOptions();

    KTimeSpan mTimeSpan;
    KTime mPlotPeriod;
    KSmartPlotOptions mSmartPlotOptions;
};

// One channel of one layer during a smart plot: its curve (null when the
// channel has none) and the index of its next key not yet passed.
struct KFCurveSmartMergeInfos {
    KFCurveSmartMergeInfos() : mCurve(nullptr), mKeyIndex(0) {}

    KFCurve* mCurve;
    int mKeyIndex;
};

// Flags of KFCurve_PlotInLayers.
enum : unsigned int {
    // Remove the listed layers after plotting (clear the base layer's keys).
    KFCURVE_PLOT_REMOVE_MERGED_LAYERS = 0x2,
    // Set the merged layers to their neutral values over the span; takes
    // precedence over removal.
    KFCURVE_PLOT_ZERO_MERGED_LAYERS = 0x4,
    // Splice the result into the destination layer over [start, stop].
    KFCURVE_PLOT_SPLICE_INTO_DESTINATION = 0x8,
    // Replace the destination layer's curves whole by the result.
    KFCURVE_PLOT_REPLACE_DESTINATION = 0x10,
};

// Error identifiers KFCurve_PlotInLayers reports.
enum : int {
    KFCURVE_PLOT_ERROR_BAD_ARGUMENT = 0,
    KFCURVE_PLOT_ERROR_NO_DESTINATION_LAYER = 1,
};

// Plots the animation of node's layers over [start, stop] every period.
// layers lists the layer ids to take (ascending; null for every layer of the
// chain); destinationLayerId names the layer that receives the result.
// Without target, the plot is the combination of the listed layers; with
// target, it is the value the destination layer must hold for all layers
// together to reproduce target. With applyTimeWarp the node's time warp is
// baked in: each sample takes the layers at the warped time. options (null:
// plain sampling) selects the smart plot. The plotted curves go to result (its
// channel curves are replaced) and, by flags, into the destination layer; the
// merged layers are then zeroed or removed as the flags say.
//
// Answers false when nothing was done: a null node or one without channels,
// a period that is not positive, stop before start, a span too long to be
// held as keys, or (with KFCURVE_PLOT_SPLICE_INTO_DESTINATION or
// KFCURVE_PLOT_REPLACE_DESTINATION) a destination layer id beyond every layer
// of the chain, which is reported in error when given. Nothing is changed then.
bool KFCurve_PlotInLayers(KFCurveNode* node, KArrayTemplate<int>* layers, int destinationLayerId,
                          unsigned int flags, KTime start, KTime stop, KTime period, KFCurveNode* result = nullptr,
                          KFCurveNode* target = nullptr, bool applyTimeWarp = false,
                          KSmartPlotOptions* options = nullptr, KError* error = nullptr);

// The next key time after *time among the channels of the smart-merge arrays
// (one array of four per layer), advancing each channel past a key at or
// before *time (one key per call). channels (may be null) receives the
// channels (0 to 3) that have a key at the time answered. The largest time
// when no key is left.
KTime GetNextSmartPlotTime(KTime* time, KFCurveSmartMergeInfos** infos, int layerCount,
                           KArrayTemplate<int>* channels);

// Breaks the tangents of the sparse tree's keys whose slopes differ from
// those of the full tree (measured offset before and after the key) by more
// than tolerance. Nothing for null trees, a non-positive offset or trees of
// different shapes.
void KFCURVE_BreakTangents(KFCurveNode* sparse, KFCurveNode* full, KTime offset, double tolerance);

// Inserts keys into the sparse tree where it strays from the full tree by
// more than tolerance, looking at subdivisions parts of each key interval
// and, around each inserted key, at its parts again. Parts of 1/120 s or less
// are not looked at. With breakTangents the inserted keys' tangents follow the
// full tree (as KFCURVE_BreakTangents, with tangentTolerance).
void KFCURVE_IncreaseFidelity(KFCurveNode* sparse, KFCurveNode* full, double tolerance, int subdivisions,
                              bool breakTangents, KTime offset, double tangentTolerance);
// The same on the interval [start, stop] of one curve pair.
void KFCURVE_IncreaseFidelityRecursive(KTime start, KTime stop, KFCurve* sparse, KFCurve* full, double tolerance,
                                       int subdivisions, bool breakTangents, KTime offset, double tangentTolerance);

// ---- Layer value algebra -------------------------------------------------------

// The number of doubles a value buffer of this node's layers holds: the own
// curve's value, one per child, and at least four for a quaternion node.
int KFCurve_GetLayerValueCount(const KFCurveNode* node);

// result = a combined with b by layer's layer type: sum (none, additive),
// product (multiplicative), rotation b applied first then a (Euler, in the
// node's rotation order), quaternion product a x b. result may be a or b.
// Other layer types write nothing.
void AddValuesAlongLayerType(KFCurveNode* layer, double* result, double* a, double* b);
void AddValuesAlongLayerType_KFCL_ADD(KFCurveNode* layer, double* result, double* a, double* b);
void AddValuesAlongLayerType_KFCL_EULER_XYZ(KFCurveNode* layer, double* result, double* a, double* b);
void AddValuesAlongLayerType_KFCL_MULT(KFCurveNode* layer, double* result, double* a, double* b);
void AddValuesAlongLayerType_KFCL_QUAT(KFCurveNode* layer, double* result, double* a, double* b);

// result = the inverse of values for layer's layer type: negation, reciprocal
// (a zero value, which has none, gives the neutral 1), inverse rotation,
// conjugate quaternion. Other layer types write nothing.
void InverseValuesAlongLayerType(KFCurveNode* layer, double* result, double* values);

// Splits the layers of node (those listed, or the whole chain) into those
// below the destination layer id and those above it.
void KFCurve_PrepareForSolving(KFCurveNode* node, KArrayTemplate<int>* layers, int destinationLayerId,
                               KArrayTemplate<KFCurveNode*>& below, KArrayTemplate<KFCurveNode*>& above);

// The values the destination layer must hold at time so that below, it and
// above combine into target. An Euler result is made continuous with previous.
// destinationLayerId takes no part in the computation. A multiplicative
// channel whose other layers multiply to zero keeps the neutral 1.
void KFCurve_CandidateSolveInLayers(KFCurveNode* node, double* result, double* target, KTime time,
                                    KArrayTemplate<KFCurveNode*>& below, KArrayTemplate<KFCurveNode*>& above,
                                    int destinationLayerId, int* hint, double* previous);

// Combines into values (filled by the caller with the zero values) each layer
// of the chain from layer at time, or only the layers whose ids are listed
// from index on.
void KFCurve_CandidateEvaluateInLayersRecursive(KFCurveNode* layer, double* values, KTime time,
                                                KArrayTemplate<int>* layers, int index, int* hint);

// The Euler XYZ rotation (degrees) that turns the direction origin -> pointA
// onto the direction origin -> pointB (three doubles each). Answers true.
bool AxisAlignmentInEulerAngle(double* origin, double* pointA, double* pointB, double* rotation);

}  // namespace zeqsdk_400

#endif

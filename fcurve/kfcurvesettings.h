#ifndef ZEQ_FCURVE_KFCURVESETTINGS_H
#define ZEQ_FCURVE_KFCURVESETTINGS_H

#include <unordered_map>

#include "base/ktime.h"

namespace zeqsdk_400 {

class KSet;
class KFCurveNode;

// Process-wide settings of the curve library, read by the importers when they
// bake or clean animation. Plain values without a lock: set them before an
// import, from the thread that runs it. Nothing in the library sets them.

// Rotation filters that KFCURVE_GetRotationFilterToApply may name; any other value runs none.
enum : int {
    KFCURVE_ROTATION_FILTER_GIMBLE_KILLER = 1,
    KFCURVE_ROTATION_FILTER_UNROLL = 2,
};

// Sampling period of layer and time-warp plotting; 1/30 s by default.
KTime KFCURVE_GetPlotPeriod();
void KFCURVE_SetPlotPeriod(KTime period);
int KFCURVE_GetRotationFilterToApply();
void KFCURVE_SetRotationFilterToApply(int filter);
double KFCURVE_GetRotationFilterUnrollQuality();
void KFCURVE_SetRotationFilterUnrollQuality(double quality);
bool KFCURVE_GetRotationFilterUnrollTestForPath();
void KFCURVE_SetRotationFilterUnrollTestForPath(bool test);
bool KFCURVE_GetUseConstantKeyReducer();
void KFCURVE_SetUseConstantKeyReducer(bool use);
double KFCURVE_GetUseConstantKeyReducerTranslationThreshold();
void KFCURVE_SetUseConstantKeyReducerTranslationThreshold(double threshold);
double KFCURVE_GetUseConstantKeyReducerRotationThreshold();
void KFCURVE_SetUseConstantKeyReducerRotationThreshold(double threshold);
double KFCURVE_GetUseConstantKeyReducerScalingThreshold();
void KFCURVE_SetUseConstantKeyReducerScalingThreshold(double threshold);
double KFCURVE_GetUseConstantKeyReducerDefaultThreshold();
void KFCURVE_SetUseConstantKeyReducerDefaultThreshold(double threshold);
bool KFCURVE_GetUseConstantKeyReducerOnDevices();
void KFCURVE_SetUseConstantKeyReducerOnDevices(bool use);
bool KFCURVE_GetConstantKeyReducerKeepOneKey();
void KFCURVE_SetConstantKeyReducerKeepOneKey(bool keep);
bool KFCURVE_GetPlotOnFrame();
void KFCURVE_SetPlotOnFrame(bool onFrame);
bool KFCURVE_GetPlotTranslationOnRootOnly();
void KFCURVE_SetPlotTranslationOnRootOnly(bool rootOnly);
bool KFCURVE_GetPreciseTimeDiscontinuities();
void KFCURVE_SetPreciseTimeDiscontinuities(bool precise);
// When on, a TCB key's left derivative is its right one.
bool KFCURVE_GetTCB4051EvalMode();
void KFCURVE_SetTCB4051EvalMode(bool on);
extern bool gsTCB4051EvalMode;

// The registry of time-warp nodes by nickname number, used when curve nodes
// are stored and read. The set is not owned: the caller keeps it alive while
// curve nodes are stored or read, and may unset it with null.
void KFCurve_SetTWSet(KSet* set);
KSet* KFCurve_GetTWSet();
// The numbers of a set's nodes by node, each the lowest it is registered under.
using KFCurveTWNumbers = std::unordered_map<const KFCurveNode*, int>;
KFCurveTWNumbers KFCurve_TWNumbersOf(const KSet& set);
// Installs the set with its numbers by node (KFCurve_TWNumbersOf of it), so that
// storing finds each channel's number at once where a walk of the set per channel
// makes a take of many warps quadratic. Both stay the caller's, unchanged while
// installed; KFCurve_SetTWSet(set) installs a set alone.
void KFCurve_SetTWSet(KSet* set, const KFCurveTWNumbers* numbers);
const KFCurveTWNumbers* KFCurve_GetTWNumbers();
// The time-warp node registered under a number; null when none or no registry.
KFCurveNode* KFCurve_FindTWFromNickNumber(int number);
// True, with its lowest number, when the node is registered.
bool KFCurve_FindNickNumberFromTW(int& number, KFCurveNode* node);

}  // namespace zeqsdk_400

#endif

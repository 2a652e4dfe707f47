#include "fcurve/kfcurvesettings.h"

#include "base/kset.h"

namespace zeqsdk_400 {

bool gsTCB4051EvalMode = false;

namespace {

KTime gPlotPeriod(1539538600LL);  // 1/30 s
int gRotationFilterToApply = KFCURVE_ROTATION_FILTER_UNROLL;
double gRotationFilterUnrollQuality = 0.25;
bool gRotationFilterUnrollTestForPath = false;
bool gUseConstantKeyReducer = true;
double gConstantKeyReducerTranslationThreshold = 5e-13;
double gConstantKeyReducerRotationThreshold = 0.0005;
double gConstantKeyReducerScalingThreshold = 5e-13;
double gConstantKeyReducerDefaultThreshold = 5e-13;
bool gUseConstantKeyReducerOnDevices = true;
bool gConstantKeyReducerKeepOneKey = true;
bool gPlotOnFrame = true;
bool gPlotTranslationOnRootOnly = false;
bool gPreciseTimeDiscontinuities = false;

KSet* gTimeWarpSet = nullptr;
const KFCurveTWNumbers* gTimeWarpNumbers = nullptr;

}  // namespace

KTime KFCURVE_GetPlotPeriod() { return gPlotPeriod; }
void KFCURVE_SetPlotPeriod(KTime period) { gPlotPeriod = period; }
int KFCURVE_GetRotationFilterToApply() { return gRotationFilterToApply; }
void KFCURVE_SetRotationFilterToApply(int filter) { gRotationFilterToApply = filter; }
double KFCURVE_GetRotationFilterUnrollQuality() { return gRotationFilterUnrollQuality; }
void KFCURVE_SetRotationFilterUnrollQuality(double quality) { gRotationFilterUnrollQuality = quality; }
bool KFCURVE_GetRotationFilterUnrollTestForPath() { return gRotationFilterUnrollTestForPath; }
void KFCURVE_SetRotationFilterUnrollTestForPath(bool test) { gRotationFilterUnrollTestForPath = test; }
bool KFCURVE_GetUseConstantKeyReducer() { return gUseConstantKeyReducer; }
void KFCURVE_SetUseConstantKeyReducer(bool use) { gUseConstantKeyReducer = use; }
double KFCURVE_GetUseConstantKeyReducerTranslationThreshold() { return gConstantKeyReducerTranslationThreshold; }
void KFCURVE_SetUseConstantKeyReducerTranslationThreshold(double threshold) {
    gConstantKeyReducerTranslationThreshold = threshold;
}
double KFCURVE_GetUseConstantKeyReducerRotationThreshold() { return gConstantKeyReducerRotationThreshold; }
void KFCURVE_SetUseConstantKeyReducerRotationThreshold(double threshold) {
    gConstantKeyReducerRotationThreshold = threshold;
}
double KFCURVE_GetUseConstantKeyReducerScalingThreshold() { return gConstantKeyReducerScalingThreshold; }
void KFCURVE_SetUseConstantKeyReducerScalingThreshold(double threshold) {
    gConstantKeyReducerScalingThreshold = threshold;
}
double KFCURVE_GetUseConstantKeyReducerDefaultThreshold() { return gConstantKeyReducerDefaultThreshold; }
void KFCURVE_SetUseConstantKeyReducerDefaultThreshold(double threshold) {
    gConstantKeyReducerDefaultThreshold = threshold;
}
bool KFCURVE_GetUseConstantKeyReducerOnDevices() { return gUseConstantKeyReducerOnDevices; }
void KFCURVE_SetUseConstantKeyReducerOnDevices(bool use) { gUseConstantKeyReducerOnDevices = use; }
bool KFCURVE_GetConstantKeyReducerKeepOneKey() { return gConstantKeyReducerKeepOneKey; }
void KFCURVE_SetConstantKeyReducerKeepOneKey(bool keep) { gConstantKeyReducerKeepOneKey = keep; }
bool KFCURVE_GetPlotOnFrame() { return gPlotOnFrame; }
void KFCURVE_SetPlotOnFrame(bool onFrame) { gPlotOnFrame = onFrame; }
bool KFCURVE_GetPlotTranslationOnRootOnly() { return gPlotTranslationOnRootOnly; }
void KFCURVE_SetPlotTranslationOnRootOnly(bool rootOnly) { gPlotTranslationOnRootOnly = rootOnly; }
bool KFCURVE_GetPreciseTimeDiscontinuities() { return gPreciseTimeDiscontinuities; }
void KFCURVE_SetPreciseTimeDiscontinuities(bool precise) { gPreciseTimeDiscontinuities = precise; }
bool KFCURVE_GetTCB4051EvalMode() { return gsTCB4051EvalMode; }
void KFCURVE_SetTCB4051EvalMode(bool on) { gsTCB4051EvalMode = on; }

void KFCurve_SetTWSet(KSet* set) { KFCurve_SetTWSet(set, nullptr); }
KSet* KFCurve_GetTWSet() { return gTimeWarpSet; }

void KFCurve_SetTWSet(KSet* set, const KFCurveTWNumbers* numbers) {
    gTimeWarpSet = set;
    gTimeWarpNumbers = set ? numbers : nullptr;
}
const KFCurveTWNumbers* KFCurve_GetTWNumbers() { return gTimeWarpNumbers; }

KFCurveTWNumbers KFCurve_TWNumbersOf(const KSet& set) {
    KFCurveTWNumbers numbers;
    const int count = set.GetCount();
    numbers.reserve(static_cast<std::size_t>(count));
    // In ascending order: the first number a node is met under stays.
    for (int i = 0; i < count; ++i) {
        unsigned int key = 0;
        const kReference value = set.GetFromIndex(i, &key);
        numbers.emplace(reinterpret_cast<const KFCurveNode*>(value), static_cast<int>(key));
    }
    return numbers;
}

KFCurveNode* KFCurve_FindTWFromNickNumber(int number) {
    // A search, not a walk: a take may hold many warps and many channels naming them.
    return gTimeWarpSet ? reinterpret_cast<KFCurveNode*>(gTimeWarpSet->Get(static_cast<unsigned int>(number))) : nullptr;
}

bool KFCurve_FindNickNumberFromTW(int& number, KFCurveNode* node) {
    if (!node || !gTimeWarpSet) return false;
    if (gTimeWarpNumbers) {
        const auto found = gTimeWarpNumbers->find(node);
        if (found == gTimeWarpNumbers->end()) return false;
        number = found->second;
        return true;
    }
    const int count = gTimeWarpSet->GetCount();
    for (int i = 0; i < count; ++i) {
        unsigned int key = 0;
        const kReference value = gTimeWarpSet->GetFromIndex(i, &key);
        if (value == reinterpret_cast<kReference>(node)) {
            number = static_cast<int>(key);
            return true;
        }
    }
    return false;
}

}  // namespace zeqsdk_400

// The curve filter base: span, start and stop keys, error holder, and the
// array and tree forms that visit items and call the single-curve form.
#include "fcurve/kfcurvefilter.h"

#include <algorithm>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"

namespace zeqsdk_400 {

namespace {

// Shared by every table that has them.
const char kNoKey[] = "No key";
const char kLeftUnchanged[] = "Left unchanged";

const char* const kConstantKeyReducerMessages[] = {kNoKey, kLeftUnchanged};
const char* const kMatrixConverterMessages[] = {
    kNoKey,
    kLeftUnchanged,
    "Invalid Apply method.  Use KFCurveFilterMatrixConverter::Apply(KFCurveNode&, bool)",
    "Missing at least a transform KFCurve.  pCurveNode must possess T(x, y, z), R(x, y, z), S(x, y, z) KFCurves",
};
const char* const kResampleMessages[] = {"Bad Period", "Bad Interval"};
const char* const kUnrollMessages[] = {kNoKey, kLeftUnchanged, "Need rotation curvenode", "Unexepected"};
const char* const kGimbleKillerMessages[] = {kNoKey, kLeftUnchanged, "Not 3 curve", "Not rotation node"};
const char* const kKeyReducerMessages[] = {kNoKey, kLeftUnchanged};
const char* const kKeySyncMessages[] = {kNoKey, kLeftUnchanged, "Multiple key count", "Unsynched keys",
                                        "Too many curves"};
const char* const kTimeShiftAndScaleMessages[] = {kNoKey, kLeftUnchanged};

template <int N>
constexpr KFCurveFilterInfo Info(const char* name, const char* const (&messages)[N]) {
    return {name, messages, N};
}

// Indexed by EKFCurveFilterKind.
const KFCurveFilterInfo kFilterInfos[] = {
    Info("Constant Key Reducer", kConstantKeyReducerMessages),
    Info("FCurve Matrix Converter", kMatrixConverterMessages),
    Info("FCurve Resample", kResampleMessages),
    Info("Unroll Filter", kUnrollMessages),
    Info("Gimble Killer", kGimbleKillerMessages),
    Info("Bezier Fit/Key Reducer", kKeyReducerMessages),
    Info("FCurve Key Synchronizer", kKeySyncMessages),
    Info("TimeShiftAndScaleFilter", kTimeShiftAndScaleMessages),
};
static_assert(sizeof(kFilterInfos) / sizeof(kFilterInfos[0]) == eKFCurveFilterKindCount,
              "one entry per filter kind");

const KFCurveFilterInfo kNoInfo = {"", nullptr, 0};

}  // namespace

const KFCurveFilterInfo& KFCurveFilterGetInfo(EKFCurveFilterKind kind) {
    return kind >= 0 && kind < eKFCurveFilterKindCount ? kFilterInfos[kind] : kNoInfo;
}

KFCurveFilter::KFCurveFilter(const char* name, const char* const* messages, int messageCount)
    : mName(name ? name : ""), mStart(0), mStop(0), mError(messages, messageCount) {}

KFCurveFilter::KFCurveFilter(EKFCurveFilterKind kind)
    : KFCurveFilter(KFCurveFilterGetInfo(kind).mName, KFCurveFilterGetInfo(kind).mMessages,
                    KFCurveFilterGetInfo(kind).mMessageCount) {}

KFCurveFilter::~KFCurveFilter() = default;

int KFCurveFilter::GetStartKey(KFCurve& curve) const {
    if (curve.KeyGetCount() == 0) return -1;
    const KTime t = std::max(mStart, curve.KeyGetPtr(0)->GetTime());
    // The key before the span's first key is included, so that filters see
    // the segment entering the span.
    return static_cast<int>(std::max(0.0, curve.KeyFind(t) - 1.0));
}

int KFCurveFilter::GetStopKey(KFCurve& curve) const {
    const int count = curve.KeyGetCount();
    if (count == 0) return -1;
    const KTime t = std::min(mStop, curve.KeyGetPtr(count - 1)->GetTime());
    return static_cast<int>(curve.KeyFind(t)) + 1;
}

bool KFCurveFilter::NeedApply(KFCurveNode& node, bool recursive) {
    if (recursive) {
        const int count = node.GetCount();
        for (int i = 0; i < count; ++i)
            if (KFCurveNode* child = node.Get(i)) NeedApply(*child, true);
    }
    if (KFCurve* curve = node.FCurveGet()) NeedApply(&curve, 1);
    return true;
}

bool KFCurveFilter::NeedApply(KFCurve** curves, int count) {
    for (int i = 0; curves && i < count; ++i)
        if (curves[i]) NeedApply(*curves[i]);
    return true;
}

bool KFCurveFilter::NeedApply(KFCurve&) { return true; }

bool KFCurveFilter::Apply(KFCurveNode& node, bool recursive) {
    if (recursive) {
        // The count is read each time: a filter may reshape the node's children.
        for (int i = 0; i < node.GetCount(); ++i)
            if (KFCurveNode* child = node.Get(i)) Apply(*child, true);
    }
    if (KFCurve* curve = node.FCurveGet()) Apply(*curve);
    return true;
}

bool KFCurveFilter::Apply(KFCurve** curves, int count) {
    for (int i = 0; curves && i < count; ++i)
        if (curves[i]) Apply(*curves[i]);
    return true;
}

void KFCurveFilter::Reset() {
    mStart = KTime::MinusInfinite();
    mStop = KTime::Infinite();
}

void KFCurveFilter::UpdateProgressInformation(KTime, KTime) {}

void KFCurveFilter::SetError(int id, const char* text) {
    if (text)
        mError.SetLastError(id, text);
    else
        mError.SetLastErrorID(id);
}

}  // namespace zeqsdk_400

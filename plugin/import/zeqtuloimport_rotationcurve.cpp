// Rotation curve transfer: three X-then-Y-then-Z rotation curves sampled together at the import
// rate and re-expressed in a host rotation order, keyed onto "rotateX", "rotateY" and "rotateZ".
#include "fcurve/kfcurve.h"
#include "io/zeqlogfile.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/import/zeqtuloimport_curvetransfer.h"
#include "tfntransform.h"
#include "tglobal.h"
#include "tplug.h"

using namespace zeqsdk_400;

namespace {
const char* const kRotateNames[3] = {"rotateX", "rotateY", "rotateZ"};
constexpr double kDegreesToRadians = 0.017453292519943295;
}  // namespace

TStatus ZeqTuloImport::SetRotationTuloCurve(TFnTransform& transform, KFCurve** curves,
                                            TEulerRotation::RotationOrder order) {
    TPlug plugs[3];
    TFnAnimCurve hosts[3];
    TStatus status[3];
    for (int axis = 0; axis < 3; ++axis) {
        plugs[axis] = transform.findPlug(kRotateNames[axis], &status[axis]);
        if (status[axis]) hosts[axis] = TFnAnimCurve(plugs[axis], &status[axis]);
    }

    bool keyed = false;
    KTime first, last;
    for (int axis = 0; axis < 3; ++axis) {
        KFCurve* curve = curves ? curves[axis] : nullptr;
        if (!curve || curve->KeyGetCount() == 0) continue;
        const KTime a = curve->KeyGetPtr(0)->GetTime();
        const KTime b = curve->KeyGetPtr(curve->KeyGetCount() - 1)->GetTime();
        if (!keyed || a < first) first = a;
        if (!keyed || b > last) last = b;
        keyed = true;
    }

    if (!keyed) {
        // Nothing to sample: the host curves go, the rotate attributes and their static values stay.
        for (int axis = 0; axis < 3; ++axis)
            if (status[axis].statusCode() == TStatus::kSuccess) status[axis] = TGlobal::deleteNode(hosts[axis].object());
        return TStatus::kSuccess;
    }

    for (int axis = 0; axis < 3; ++axis) {
        if (status[axis].statusCode() == TStatus::kSuccess) {
            for (unsigned n = hosts[axis].numKeys(); n > 0; --n) hosts[axis].remove(0);
        } else if (status[axis].statusCode() == TStatus::kNotFound) {
            // The host refuses a curve on a locked plug; that axis stays without keys.
            if (plugs[axis].isLocked()) {
                status[axis] = TStatus::kFailure;
                continue;
            }
            hosts[axis].create(plugs[axis], TFnAnimCurve::kAnimCurveTA, nullptr, &status[axis]);
        }
    }

    const KTime period = ZeqTuloImportSamplingPeriod();
    const long long count = ZeqTuloImportSampleCount(first, last, period);
    if (count < 0) {
        if (mLogFile) {
            KString line(transform.name().asChar());
            line += ": the rotation keys span too long a time to be sampled. Cannot transfer animation data.";
            *mLogFile += line.Buffer();
        }
        return TStatus::kSuccess;
    }
    for (long long k = 0; k < count; ++k) {
        const KTime t(first.Get() + k * period.Get());
        double angles[3];
        for (int axis = 0; axis < 3; ++axis) {
            KFCurve* curve = curves ? curves[axis] : nullptr;
            angles[axis] = curve ? curve->Evaluate(t) * kDegreesToRadians : 0.0;
        }
        const TEulerRotation rotation =
            TEulerRotation(angles[0], angles[1], angles[2], TEulerRotation::kXYZ).reorder(order);
        TTime time(0.0, TTime::kSeconds);
        time.setValue(t.GetSecondDouble());
        for (int axis = 0; axis < 3; ++axis)
            if (status[axis]) hosts[axis].addKey(time, rotation[axis], TFnAnimCurve::kTangentGlobal,
                                                  TFnAnimCurve::kTangentGlobal, nullptr, nullptr);
    }
    return TStatus::kSuccess;
}

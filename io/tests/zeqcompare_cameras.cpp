// Limits, targets, pivot set 0's rotations, cameras and lights of a node pair: what each writer keeps.

#include "content/kzeqcamera.h"
#include "content/kzeqlight.h"
#include "io/kzeqwriterzeq_steps.h"
#include "io/tests/zeqscenecompare.h"
#include "object/kproperty.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodelimits.h"

using namespace zeqsdk_400;

namespace zeqiotest {
namespace {
#define ZEQ_SAME(getter) diff.Check(path + "." #getter, a.getter(), b.getter())

void Check3(ZeqDiff& diff, const std::string& path, const KZeqVector4& a, const KZeqVector4& b) {
    for (int i = 0; i < 3; ++i) diff.Check(path + "[" + std::to_string(i) + "]", a[i], b[i]);
}

void CompareLimits(const std::string& path, KZeqNode& p, KZeqNode& q, bool before6, ZeqDiff& diff) {
    KZeqNodeLimits &a = p.GetLimits(), &b = q.GetLimits();
    // 5.8 keeps pivot set 0's rotations in the limits record whatever the set's state; 6.0 those of
    // an active set only: an inactive set takes no part in the node's evaluation and reads back zero.
    KZeqNode::EPivotState state = KZeqNode::ePIVOT_STATE_REFERENCE;
    p.GetPivotState(KZeqNode::eSOURCE_SET, state);
    const bool kept = before6 || state == KZeqNode::ePIVOT_STATE_ACTIVE;
    auto expected = [kept](const KZeqVector4& v) { return kept ? v : KZeqVector4(); };
    Check3(diff, path + ".preRotation", expected(a.GetDefault(KZeqNodeLimits::eR)), b.GetDefault(KZeqNodeLimits::eR));
    Check3(diff, path + ".postRotation", expected(a.GetRotationAxis()), b.GetRotationAxis());
    for (auto kind : {KZeqNodeLimits::eT, KZeqNodeLimits::eR, KZeqNodeLimits::eS}) {
        const std::string name = path + ".limits" + "TRS"[kind];
        diff.Check(name + ".auto", a.GetAuto(kind), b.GetAuto(kind));
        if (before6 && a.GetAuto(kind)) continue;  // 5.8 writes "Auto" alone
        diff.Check(name + ".enable", a.GetEnable(kind), b.GetEnable(kind));
        Check3(diff, name + ".min", a.GetMin(kind), b.GetMin(kind));
        Check3(diff, name + ".max", a.GetMax(kind), b.GetMax(kind));
    }
    // 5.8 holds a spheric or Euler XYZ order with manual rotation only; the property block has no axis length.
    ERotationOrder order = eEULER_XYZ;
    p.GetRotationOrder(KZeqNode::eSOURCE_SET, order);
    if (before6 && (a.GetAuto(KZeqNodeLimits::eR) || (order != eEULER_XYZ && order != eSPHERIC_XYZ))) return;
    ZEQ_SAME(GetRotationType);
    if (before6) ZEQ_SAME(GetAxisLength);
}

void CompareTargets(const std::string& path, KZeqNode& a, KZeqNode& b, bool before6, ZeqDiff& diff) {
    auto name = [](KZeqNode* node) { return KString(node ? node->GetName() : "(none)"); };
    diff.Check(path + ".target", name(a.GetTarget()), name(b.GetTarget()));
    diff.Check(path + ".targetUp", name(a.GetTargetUp()), name(b.GetTargetUp()));
    // 5.8 keeps both only with a look-at target, and not when equal to zero as (x + 180, 180 - y, z + 180).
    auto kept = [&](const KZeqVector4& v) {
        return before6 && (!a.GetTarget() || ZeqIsRotationEquivalentToZero(v)) ? KZeqVector4() : v;
    };
    Check3(diff, path + ".postTargetRotation", kept(a.GetPostTargetRotation()), b.GetPostTargetRotation());
    Check3(diff, path + ".targetUpVector", kept(a.GetTargetUpVector()), b.GetTargetUpVector());
}

// Every property of an attribute's handler, by name and value.
void CompareHandlers(const std::string& path, KObject& a, KObject& b, ZeqDiff& diff) {
    for (int i = 0; i < a.GetPropertyCount(); ++i) {
        KProperty *p = a.GetProperty(i), *q = b.FindPropertyByName(p->GetPropertyName());
        double x[kPropertyMaxMembers] = {}, y[kPropertyMaxMembers] = {};
        const int count = p->GetDataAsDoubles(x, kPropertyMaxMembers);
        if (q) q->GetDataAsDoubles(y, kPropertyMaxMembers);
        for (int k = 0; k < count; ++k)
            diff.Check(path + "." + p->GetPropertyName() + std::to_string(k), x[k], y[k]);
    }
}

// The camera's properties, then the members no property holds.
void CompareCamera(const std::string& path, KZeqCamera& a, KZeqCamera& b, bool before6, ZeqDiff& diff) {
    CompareHandlers(path, *a.GetPropertyHandler(), *b.GetPropertyHandler(), diff);
    Check3(diff, path + ".position", a.GetPosition(), b.GetPosition());
    Check3(diff, path + ".up", a.GetUpVector(), b.GetUpVector());
    Check3(diff, path + ".interest", a.GetDefaultCameraInterestPosition(), b.GetDefaultCameraInterestPosition());
    const KZeqColor x = a.GetAudioColor(), y = b.GetAudioColor();
    Check3(diff, path + ".audioColor", KZeqVector4(x.mRed, x.mGreen, x.mBlue, 0),
           KZeqVector4(y.mRed, y.mGreen, y.mBlue, 0));
    ZEQ_SAME(GetShowInfoOnMoving), ZEQ_SAME(GetShowAudio), ZEQ_SAME(GetDefaultFieldOfViewX);
    ZEQ_SAME(GetSamplingType), ZEQ_SAME(GetRenderOptionsUsageTime);
    if (!before6) return;  // 6.0 has neither a record field nor a property for the rest
    ZEQ_SAME(GetAntialiasingMethod), ZEQ_SAME(GetDisplaySafeAreaOnRender);
    diff.Check(path + ".background", KString(a.GetBackgroundFileName()), KString(b.GetBackgroundFileName()));
}

}  // namespace

void CompareLimitsTargetsCamerasAndLights(const std::string& path, KZeqNode& a, KZeqNode& b, ZeqDiff& diff) {
    const bool before6 = diff.mLosses & eZeqLosesPropertyBlock;
    CompareLimits(path, a, b, before6, diff), CompareTargets(path, a, b, before6, diff);
    if (a.GetCamera() && b.GetCamera()) CompareCamera(path, *a.GetCamera(), *b.GetCamera(), before6, diff);
    KZeqLight *x = a.GetLight(), *y = b.GetLight();
    if (x && y) CompareHandlers(path, *x->GetPropertyHandler(), *y->GetPropertyHandler(), diff);
}
}  // namespace zeqiotest

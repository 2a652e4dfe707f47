// Comparer rows of node limits, targets and pivot set 0's rotations, of
// cameras and lights: what each writer keeps.

#include <vector>

#include "content/kzeqcamera.h"
#include "content/kzeqlight.h"
#include "io/kzeqwriterzeq_steps.h"
#include "io/tests/zeqscenecompare.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodelimits.h"
#include "scene/kzeqscene.h"

using namespace zeqsdk_400;

namespace zeqiotest {

namespace {

#define ZEQ_SAME(getter) diff.Check(path + "." #getter, a.getter(), b.getter())

void Check3(ZeqDiff& diff, const std::string& path, const KZeqVector4& a, const KZeqVector4& b) {
    for (int i = 0; i < 3; ++i) diff.Check(path + "[" + std::to_string(i) + "]", a[i], b[i]);
}

void CheckColor(ZeqDiff& diff, const std::string& path, const KZeqColor& a, const KZeqColor& b) {
    Check3(diff, path, KZeqVector4(a.mRed, a.mGreen, a.mBlue, 0), KZeqVector4(b.mRed, b.mGreen, b.mBlue, 0));
}

KString NameOf(KZeqNode* node) { return node ? node->GetName() : "(none)"; }

// Node pairs of the two trees below the roots, children in order.
std::vector<std::pair<KZeqNode*, KZeqNode*>> NodePairs(KZeqScene& expected, KZeqScene& actual) {
    std::vector<std::pair<KZeqNode*, KZeqNode*>> pairs, pending{{expected.GetRootNode(), actual.GetRootNode()}};
    while (!pending.empty()) {
        auto pair = pending.back();
        pending.pop_back();
        if (pair.first != expected.GetRootNode()) pairs.push_back(pair);
        for (int i = std::min(pair.first->GetChildCount(), pair.second->GetChildCount()); i-- > 0;)
            pending.emplace_back(pair.first->GetChild(i), pair.second->GetChild(i));
    }
    return pairs;
}

void CompareLimits(const std::string& path, KZeqNode& p, KZeqNode& q, bool before6, ZeqDiff& diff) {
    KZeqNodeLimits &a = p.GetLimits(), &b = q.GetLimits();
    // Both forms keep pivot set 0's rotations (5.8 in the limits record).
    Check3(diff, path + ".preRotation", a.GetDefault(KZeqNodeLimits::eR), b.GetDefault(KZeqNodeLimits::eR));
    Check3(diff, path + ".postRotation", a.GetRotationAxis(), b.GetRotationAxis());
    for (auto kind : {KZeqNodeLimits::eT, KZeqNodeLimits::eR, KZeqNodeLimits::eS}) {
        const std::string name = path + ".limits" + "TRS"[kind];
        diff.Check(name + ".auto", a.GetAuto(kind), b.GetAuto(kind));
        if (before6 && a.GetAuto(kind)) continue;  // 5.8 writes "Auto" alone
        diff.Check(name + ".enable", a.GetEnable(kind), b.GetEnable(kind));
        Check3(diff, name + ".min", a.GetMin(kind), b.GetMin(kind));
        Check3(diff, name + ".max", a.GetMax(kind), b.GetMax(kind));
    }
    // 5.8 holds a spheric or Euler XYZ order, and that with manual rotation
    // only; the property block has no axis length.
    ERotationOrder order = eEULER_XYZ;
    p.GetRotationOrder(KZeqNode::eSOURCE_SET, order);
    if (before6 && (a.GetAuto(KZeqNodeLimits::eR) || (order != eEULER_XYZ && order != eSPHERIC_XYZ))) return;
    ZEQ_SAME(GetRotationType);
    if (before6) ZEQ_SAME(GetAxisLength);
}

void CompareTargets(const std::string& path, KZeqNode& a, KZeqNode& b, bool before6, ZeqDiff& diff) {
    diff.Check(path + ".target", NameOf(a.GetTarget()), NameOf(b.GetTarget()));
    diff.Check(path + ".targetUp", NameOf(a.GetTargetUp()), NameOf(b.GetTargetUp()));
    // 5.8 keeps both vectors only with a look-at target, and not when they
    // equal zero as (x + 180, 180 - y, z + 180).
    auto kept = [&](const KZeqVector4& v) {
        return before6 && (!a.GetTarget() || ZeqIsRotationEquivalentToZero(v)) ? KZeqVector4() : v;
    };
    Check3(diff, path + ".postTargetRotation", kept(a.GetPostTargetRotation()), b.GetPostTargetRotation());
    Check3(diff, path + ".targetUpVector", kept(a.GetTargetUpVector()), b.GetTargetUpVector());
}

void CompareCamera(const std::string& path, KZeqCamera& a, KZeqCamera& b, bool before6, ZeqDiff& diff) {
    Check3(diff, path + ".position", a.GetPosition(), b.GetPosition());
    Check3(diff, path + ".up", a.GetUpVector(), b.GetUpVector());
    Check3(diff, path + ".interest", a.GetDefaultCameraInterestPosition(), b.GetDefaultCameraInterestPosition());
    CheckColor(diff, path + ".audioColor", a.GetAudioColor(), b.GetAudioColor());
    CheckColor(diff, path + ".backgroundColor", a.GetBackgroundColor(), b.GetBackgroundColor());
    CheckColor(diff, path + ".frameColor", a.GetFrameColor(), b.GetFrameColor());
    ZEQ_SAME(GetShowInfoOnMoving), ZEQ_SAME(GetShowAudio), ZEQ_SAME(GetRoll), ZEQ_SAME(GetProjectionType);
    ZEQ_SAME(GetFormat), ZEQ_SAME(GetAspectRatioMode), ZEQ_SAME(GetAspectWidth), ZEQ_SAME(GetAspectHeight);
    ZEQ_SAME(GetPixelRatio), ZEQ_SAME(GetMouseLock), ZEQ_SAME(GetApertureFormat), ZEQ_SAME(GetApertureMode);
    ZEQ_SAME(GetApertureWidth), ZEQ_SAME(GetApertureHeight), ZEQ_SAME(GetSqueezeRatio), ZEQ_SAME(GetNearPlane);
    ZEQ_SAME(GetFarPlane), ZEQ_SAME(GetFocalLength), ZEQ_SAME(GetDefaultFieldOfViewX), ZEQ_SAME(GetTurnTable);
    ZEQ_SAME(GetDefaultOpticalCenterY), ZEQ_SAME(GetBackgroundDisplayMode), ZEQ_SAME(GetBackgroundDrawingMode);
    ZEQ_SAME(GetForegroundMatteThresholdEnable), ZEQ_SAME(GetForegroundMatteThreshold);
    ZEQ_SAME(GetBackgroundPlacementOptions), ZEQ_SAME(GetBackgroundDistance), ZEQ_SAME(GetBackgroundDistanceMode);
    ZEQ_SAME(GetViewCameraInterest), ZEQ_SAME(GetViewNearFarPlanes), ZEQ_SAME(GetShowGrid), ZEQ_SAME(GetShowAxis);
    ZEQ_SAME(GetShowName), ZEQ_SAME(GetShowTimeCode), ZEQ_SAME(GetDisplaySafeArea), ZEQ_SAME(GetSafeAreaStyle);
    ZEQ_SAME(GetUseFrameColor), ZEQ_SAME(GetUseDepthOfField), ZEQ_SAME(GetFocusDistanceSource);
    ZEQ_SAME(GetFocusAngle), ZEQ_SAME(GetSpecificDistance), ZEQ_SAME(GetUseAntialiasing);
    ZEQ_SAME(GetAntialiasingIntensity), ZEQ_SAME(GetNumberOfSamples), ZEQ_SAME(GetUseAccumulationBuffer);
    if (!before6) return;  // 6.0 has neither a record field nor a property for the rest
    ZEQ_SAME(GetAntialiasingMethod), ZEQ_SAME(GetSamplingType), ZEQ_SAME(GetDisplaySafeAreaOnRender);
    ZEQ_SAME(GetRenderOptionsUsageTime);
    diff.Check(path + ".background", KString(a.GetBackgroundFileName()), KString(b.GetBackgroundFileName()));
}

void CompareLight(const std::string& path, KZeqLight& a, KZeqLight& b, ZeqDiff& diff) {
    KZeqColor x, y;
    CheckColor(diff, path + ".color", a.GetDefaultColor(x), b.GetDefaultColor(y));
    ZEQ_SAME(GetLightType), ZEQ_SAME(GetCastLight), ZEQ_SAME(GetDefaultIntensity), ZEQ_SAME(GetDefaultConeAngle);
    ZEQ_SAME(GetDefaultFog);
}

}  // namespace

void CompareNodeLimitsAndTargets(KZeqScene& expected, KZeqScene& actual, ZeqDiff& diff) {
    for (const auto& pair : NodePairs(expected, actual)) {
        const bool before6 = diff.mLosses & eZeqLosesPropertyBlock;
        CompareLimits(pair.first->GetName(), *pair.first, *pair.second, before6, diff);
        CompareTargets(pair.first->GetName(), *pair.first, *pair.second, before6, diff);
    }
}

void CompareCamerasAndLights(KZeqScene& expected, KZeqScene& actual, ZeqDiff& diff) {
    for (const auto& pair : NodePairs(expected, actual)) {
        const std::string path = pair.first->GetName();
        KZeqCamera *camera = pair.first->GetCamera(), *other = pair.second->GetCamera();
        if (camera && other) CompareCamera(path, *camera, *other, diff.mLosses & eZeqLosesPropertyBlock, diff);
        KZeqLight *light = pair.first->GetLight(), *otherLight = pair.second->GetLight();
        if (light && otherLight) CompareLight(path, *light, *otherLight, diff);
    }
}

}  // namespace zeqiotest

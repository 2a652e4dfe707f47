// Comparer rows of node limits, targets and pivot set 0's rotations, of
// cameras, lights and camera backgrounds: what each writer keeps.

#include <vector>

#include "content/kzeqcamera.h"
#include "content/kzeqlight.h"
#include "content/kzeqtexture.h"
#include "io/kzeqwriterzeq_steps.h"
#include "io/tests/zeqscenecompare.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodelimits.h"
#include "scene/kzeqscene.h"

using namespace zeqsdk_400;

namespace zeqiotest {

namespace {

void Check3(ZeqDiff& diff, const std::string& path, const KZeqVector4& a, const KZeqVector4& b) {
    for (int i = 0; i < 3; ++i) diff.Check(path + "[" + std::to_string(i) + "]", a[i], b[i]);
}

void CheckColor(ZeqDiff& diff, const std::string& path, const KZeqColor& a, const KZeqColor& b) {
    diff.Check(path + ".red", a.mRed, b.mRed), diff.Check(path + ".green", a.mGreen, b.mGreen);
    diff.Check(path + ".blue", a.mBlue, b.mBlue);
}

KString NameOf(KZeqNode* node) { return node ? node->GetName() : "(none)"; }

// Node pairs of the two trees, children in order.
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

void CompareLimits(const std::string& path, KZeqNode& a, KZeqNode& b, bool before6, ZeqDiff& diff) {
    KZeqNodeLimits &x = a.GetLimits(), &y = b.GetLimits();
    // Both forms keep pivot set 0's rotations (5.8 in the limits record).
    Check3(diff, path + ".preRotation", a.GetPreRotation(KZeqNode::eSOURCE_SET), b.GetPreRotation(KZeqNode::eSOURCE_SET));
    Check3(diff, path + ".postRotation", a.GetPostRotation(KZeqNode::eSOURCE_SET),
           b.GetPostRotation(KZeqNode::eSOURCE_SET));
    typedef KZeqNodeLimits::ELimitType Kind;
    for (int kind = 0; kind < 3; ++kind) {
        const Kind type = static_cast<Kind>(kind);
        const std::string name = path + ".limits" + "TRS"[kind];
        diff.Check(name + ".auto", x.GetAuto(type), y.GetAuto(type));
        // 5.8 writes an automatic kind's "Auto" alone.
        if (before6 && x.GetAuto(type)) continue;
        diff.Check(name + ".enable", x.GetEnable(type), y.GetEnable(type));
        if (type == KZeqNodeLimits::eR) continue;
        Check3(diff, name + ".min", x.GetMin(type), y.GetMin(type));
        Check3(diff, name + ".max", x.GetMax(type), y.GetMax(type));
    }
    // 5.8 holds only spheric or Euler XYZ, and those only with manual rotation.
    ERotationOrder p = eEULER_XYZ, q = eEULER_XYZ;
    a.GetRotationOrder(KZeqNode::eSOURCE_SET, p), b.GetRotationOrder(KZeqNode::eSOURCE_SET, q);
    if (before6 && (x.GetAuto(KZeqNodeLimits::eR) || (p != eEULER_XYZ && p != eSPHERIC_XYZ))) return;
    diff.Check(path + ".rotationOrder", static_cast<int>(p), static_cast<int>(q));
    // The property block has no axis length of the limits.
    if (before6) diff.Check(path + ".axisLength", x.GetAxisLength(), y.GetAxisLength());
}

void CompareTargets(const std::string& path, KZeqNode& a, KZeqNode& b, bool before6, ZeqDiff& diff) {
    diff.Check(path + ".target", NameOf(a.GetTarget()), NameOf(b.GetTarget()));
    diff.Check(path + ".targetUp", NameOf(a.GetTargetUp()), NameOf(b.GetTargetUp()));
    const KZeqVector4 rotation = a.GetPostTargetRotation(), up = a.GetTargetUpVector();
    // 5.8 keeps both only with a look-at target, and a rotation that equals
    // zero as (x + 180, 180 - y, z + 180) comes back as zero.
    const bool kept = !before6 || a.GetTarget();
    Check3(diff, path + ".postTargetRotation",
           kept && !(before6 && ZeqIsRotationEquivalentToZero(rotation)) ? rotation : KZeqVector4(),
           b.GetPostTargetRotation());
    Check3(diff, path + ".targetUpVector",
           kept && !(before6 && ZeqIsRotationEquivalentToZero(up)) ? up : KZeqVector4(),
           b.GetTargetUpVector());
}

void CompareCamera(const std::string& path, KZeqCamera& a, KZeqCamera& b, bool before6, ZeqDiff& diff) {
    Check3(diff, path + ".position", a.GetPosition(), b.GetPosition());
    Check3(diff, path + ".up", a.GetUpVector(), b.GetUpVector());
    Check3(diff, path + ".interest", a.GetDefaultCameraInterestPosition(), b.GetDefaultCameraInterestPosition());
    diff.Check(path + ".showInfoOnMoving", a.GetShowInfoOnMoving(), b.GetShowInfoOnMoving());
    diff.Check(path + ".showAudio", a.GetShowAudio(), b.GetShowAudio());
    CheckColor(diff, path + ".audioColor", a.GetAudioColor(), b.GetAudioColor());
    diff.Check(path + ".roll", a.GetRoll(), b.GetRoll());
    diff.Check(path + ".projection", static_cast<int>(a.GetProjectionType()), static_cast<int>(b.GetProjectionType()));
    diff.Check(path + ".format", static_cast<int>(a.GetFormat()), static_cast<int>(b.GetFormat()));
    diff.Check(path + ".aspectMode", static_cast<int>(a.GetAspectRatioMode()), static_cast<int>(b.GetAspectRatioMode()));
    diff.Check(path + ".aspectWidth", a.GetAspectWidth(), b.GetAspectWidth());
    diff.Check(path + ".aspectHeight", a.GetAspectHeight(), b.GetAspectHeight());
    diff.Check(path + ".pixelRatio", a.GetPixelRatio(), b.GetPixelRatio());
    diff.Check(path + ".mouseLock", a.GetMouseLock(), b.GetMouseLock());
    diff.Check(path + ".apertureFormat", static_cast<int>(a.GetApertureFormat()), static_cast<int>(b.GetApertureFormat()));
    diff.Check(path + ".apertureMode", static_cast<int>(a.GetApertureMode()), static_cast<int>(b.GetApertureMode()));
    diff.Check(path + ".apertureWidth", a.GetApertureWidth(), b.GetApertureWidth());
    diff.Check(path + ".apertureHeight", a.GetApertureHeight(), b.GetApertureHeight());
    diff.Check(path + ".squeezeRatio", a.GetSqueezeRatio(), b.GetSqueezeRatio());
    diff.Check(path + ".nearPlane", a.GetNearPlane(), b.GetNearPlane());
    diff.Check(path + ".farPlane", a.GetFarPlane(), b.GetFarPlane());
    diff.Check(path + ".focalLength", a.GetFocalLength(), b.GetFocalLength());
    diff.Check(path + ".fieldOfViewX", a.GetDefaultFieldOfViewX(), b.GetDefaultFieldOfViewX());
    diff.Check(path + ".opticalCenterY", a.GetDefaultOpticalCenterY(), b.GetDefaultOpticalCenterY());
    diff.Check(path + ".turnTable", a.GetTurnTable(), b.GetTurnTable());
    diff.Check(path + ".backgroundDisplay", static_cast<int>(a.GetBackgroundDisplayMode()),
               static_cast<int>(b.GetBackgroundDisplayMode()));
    diff.Check(path + ".backgroundDrawing", static_cast<int>(a.GetBackgroundDrawingMode()),
               static_cast<int>(b.GetBackgroundDrawingMode()));
    diff.Check(path + ".matteEnable", a.GetForegroundMatteThresholdEnable(), b.GetForegroundMatteThresholdEnable());
    diff.Check(path + ".matte", a.GetForegroundMatteThreshold(), b.GetForegroundMatteThreshold());
    diff.Check(path + ".placement", a.GetBackgroundPlacementOptions(), b.GetBackgroundPlacementOptions());
    diff.Check(path + ".backgroundDistance", a.GetBackgroundDistance(), b.GetBackgroundDistance());
    diff.Check(path + ".backgroundDistanceMode", static_cast<int>(a.GetBackgroundDistanceMode()),
               static_cast<int>(b.GetBackgroundDistanceMode()));
    diff.Check(path + ".viewInterest", a.GetViewCameraInterest(), b.GetViewCameraInterest());
    diff.Check(path + ".viewPlanes", a.GetViewNearFarPlanes(), b.GetViewNearFarPlanes());
    diff.Check(path + ".showGrid", a.GetShowGrid(), b.GetShowGrid());
    diff.Check(path + ".showAxis", a.GetShowAxis(), b.GetShowAxis());
    diff.Check(path + ".showName", a.GetShowName(), b.GetShowName());
    diff.Check(path + ".showTimeCode", a.GetShowTimeCode(), b.GetShowTimeCode());
    diff.Check(path + ".safeArea", a.GetDisplaySafeArea(), b.GetDisplaySafeArea());
    diff.Check(path + ".safeAreaStyle", static_cast<int>(a.GetSafeAreaStyle()), static_cast<int>(b.GetSafeAreaStyle()));
    CheckColor(diff, path + ".backgroundColor", a.GetBackgroundColor(), b.GetBackgroundColor());
    diff.Check(path + ".useFrameColor", a.GetUseFrameColor(), b.GetUseFrameColor());
    CheckColor(diff, path + ".frameColor", a.GetFrameColor(), b.GetFrameColor());
    diff.Check(path + ".depthOfField", a.GetUseDepthOfField(), b.GetUseDepthOfField());
    diff.Check(path + ".focusSource", static_cast<int>(a.GetFocusDistanceSource()),
               static_cast<int>(b.GetFocusDistanceSource()));
    diff.Check(path + ".focusAngle", a.GetFocusAngle(), b.GetFocusAngle());
    diff.Check(path + ".specificDistance", a.GetSpecificDistance(), b.GetSpecificDistance());
    diff.Check(path + ".antialiasing", a.GetUseAntialiasing(), b.GetUseAntialiasing());
    diff.Check(path + ".antialiasingIntensity", a.GetAntialiasingIntensity(), b.GetAntialiasingIntensity());
    diff.Check(path + ".samples", a.GetNumberOfSamples(), b.GetNumberOfSamples());
    diff.Check(path + ".accumulation", a.GetUseAccumulationBuffer(), b.GetUseAccumulationBuffer());
    // 6.0 has neither record field nor property for these.
    if (!before6) return;
    diff.Check(path + ".antialiasingMethod", static_cast<int>(a.GetAntialiasingMethod()),
               static_cast<int>(b.GetAntialiasingMethod()));
    diff.Check(path + ".samplingType", static_cast<int>(a.GetSamplingType()), static_cast<int>(b.GetSamplingType()));
    diff.Check(path + ".safeAreaOnRender", a.GetDisplaySafeAreaOnRender(), b.GetDisplaySafeAreaOnRender());
    diff.Check(path + ".usageTime", static_cast<int>(a.GetRenderOptionsUsageTime()),
               static_cast<int>(b.GetRenderOptionsUsageTime()));
    diff.Check(path + ".backgroundFile", KString(a.GetBackgroundFileName() ? a.GetBackgroundFileName() : ""),
               KString(b.GetBackgroundFileName() ? b.GetBackgroundFileName() : ""));
}

void CompareLight(const std::string& path, KZeqLight& a, KZeqLight& b, ZeqDiff& diff) {
    diff.Check(path + ".type", static_cast<int>(a.GetLightType()), static_cast<int>(b.GetLightType()));
    diff.Check(path + ".castLight", a.GetCastLight(), b.GetCastLight());
    KZeqColor x, y;
    CheckColor(diff, path + ".color", a.GetDefaultColor(x), b.GetDefaultColor(y));
    diff.Check(path + ".intensity", a.GetDefaultIntensity(), b.GetDefaultIntensity());
    diff.Check(path + ".coneAngle", a.GetDefaultConeAngle(), b.GetDefaultConeAngle());
    diff.Check(path + ".fog", a.GetDefaultFog(), b.GetDefaultFog());
}

}  // namespace

void CompareNodeLimitsAndTargets(KZeqScene& expected, KZeqScene& actual, ZeqDiff& diff) {
    const bool before6 = diff.mLosses & eZeqLosesPropertyBlock;
    for (const auto& pair : NodePairs(expected, actual)) {
        const std::string path = pair.first->GetName();
        CompareLimits(path, *pair.first, *pair.second, before6, diff);
        CompareTargets(path, *pair.first, *pair.second, before6, diff);
    }
}

void CompareCamerasAndLights(KZeqScene& expected, KZeqScene& actual, ZeqDiff& diff) {
    const bool before6 = diff.mLosses & eZeqLosesPropertyBlock;
    for (const auto& pair : NodePairs(expected, actual)) {
        const std::string path = pair.first->GetName();
        KZeqCamera *camera = pair.first->GetCamera(), *other = pair.second->GetCamera();
        if (camera && other) CompareCamera(path + ".camera", *camera, *other, before6, diff);
        KZeqLight *light = pair.first->GetLight(), *otherLight = pair.second->GetLight();
        if (light && otherLight) CompareLight(path + ".light", *light, *otherLight, diff);
    }
}

}  // namespace zeqiotest

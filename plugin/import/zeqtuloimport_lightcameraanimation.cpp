// Light and camera animation: static settings from the Zeq attribute or its default take, and the
// animated channels of the imported take, converted on the way: degrees to radians, percent to
// fraction, field of view to focal length, roll to the twist of a camera's look-at group.
#include <cmath>
#include <cstdio>

#include "base/kgemath.h"
#include "content/kzeqcamera.h"
#include "fcurve/kfcurve.h"
#include "io/zeqlogfile.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqmodifier.h"
#include "scene/kzeqtakenode.h"
#include "tfncamera.h"
#include "tfnlight.h"
#include "tplug.h"
#include "tunits.h"

using namespace zeqsdk_400;

namespace {

// Host type codes of the paths tested here.
enum : int { kSpotLightType = 304, kCameraType = 244, kLightType = 296 };

// The single-precision factors the light curves are scaled by before their transfer.
constexpr float kConeAngleCurveFactor = 0.017453292f;
constexpr float kIntensityCurveFactor = 0.01f;

// Host film fit by Zeq aperture mode: 0 fill, 1 horizontal, 2 vertical, anything else horizontal.
int FilmFit(int apertureMode) { return apertureMode >= 0 && apertureMode <= 2 ? apertureMode : 1; }

// A host setter that refused its value leaves the host's own: one log line names what was kept.
void LogRefusedValue(ZeqLogFile* log, ZeqTuloNode& node, const char* what, double value) {
    if (!log) return;
    KString line(node.GetNameWithoutNameSpacePrefix());
    line += ": the host refused the ";
    line += what;
    line += " ";
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    line += text;
    line += "; the host's value was kept.";
    *log += line.Buffer();
}

// A light or camera node bound to a transform without its shape keeps the transform alone.
void LogNoShape(ZeqLogFile* log, ZeqTuloNode& node, const char* kind) {
    if (!log) return;
    KString line("Node ");
    line += node.GetNameWithoutNameSpacePrefix();
    line += ": no host ";
    line += kind;
    line += "; its ";
    line += kind;
    line += " settings are left out.";
    *log += line.Buffer();
}

}  // namespace

TStatus ZeqTuloImport::ImportAnimationLight(ZeqTuloNode& node) {
    KZeqTakeNode* defaults = node.GetDefaultTakeNode();
    KZeqTakeNode* current = node.GetCurrentTakeNode();
    KZeqTakeNode* animation = current != defaults ? current : nullptr;
    TObject* shape = node.GetShapeObject();
    if (!shape) {
        TDagPath hostLight;
        if (!ShapePath(node, kLightType, hostLight)) LogNoShape(mLogFile, node, "light");
        return TStatus::kSuccess;
    }
    TStatus status;
    TDagPath path = TDagPath::getAPathTo(*shape, &status);
    if (!status) return TStatus::kSuccess;

    if (path.hasFn(kSpotLightType)) {
        TFnSpotLight spot(path);
        if (animation)
            if (KFCurve* cone = animation->GetLightConeAngle()) {
                cone->KeyScaleValueAndTangeant(false, kConeAngleCurveFactor);
                TPlug plug = spot.findPlug("coneAngle");
                SetTuloCurve(plug, *cone, TFnAnimCurve::kAnimCurveTA, 1.0, 1.0);
            }
        if (KFCurve* cone = defaults ? defaults->GetLightConeAngle() : nullptr) {
            const double radians = cone->GetValue() * KM_DEG_TO_RAD;
            if (!spot.setConeAngle(radians)) LogRefusedValue(mLogFile, node, "cone angle", radians);
        }
    }

    TFnLight light(path);
    KFCurve* colour[3] = {nullptr, nullptr, nullptr};
    if (defaults) colour[0] = defaults->GetColorR(), colour[1] = defaults->GetColorG(), colour[2] = defaults->GetColorB();
    if (animation) {
        static const char* const kColourPlugs[3] = {"colorR", "colorG", "colorB"};
        KFCurve* animated[3] = {animation->GetColorR(), animation->GetColorG(), animation->GetColorB()};
        for (int c = 0; c < 3; ++c)
            if (animated[c]) {
                TPlug plug = light.findPlug(kColourPlugs[c]);
                SetTuloCurve(plug, *animated[c], TFnAnimCurve::kAnimCurveTU, 1.0, 1.0);
            }
    }
    // One colour from the default take; a channel without a curve keeps the host's.
    const TColor hostColour = light.color();
    light.setColor(TColor(colour[0] ? colour[0]->GetValue() : hostColour.r,
                          colour[1] ? colour[1]->GetValue() : hostColour.g,
                          colour[2] ? colour[2]->GetValue() : hostColour.b));

    if (animation)
        if (KFCurve* intensity = animation->GetLightIntensity()) {
            intensity->KeyScaleValueAndTangeant(false, kIntensityCurveFactor);
            TPlug plug = light.findPlug("intensity");
            SetTuloCurve(plug, *intensity, TFnAnimCurve::kAnimCurveTU, 1.0, 1.0);
        }
    if (KFCurve* intensity = defaults ? defaults->GetLightIntensity() : nullptr) {
        const float value = static_cast<float>(intensity->GetValue() / 100.0);
        if (!light.setIntensity(value)) LogRefusedValue(mLogFile, node, "intensity", value);
    }
    return TStatus::kSuccess;
}

TStatus ZeqTuloImport::ImportAnimationCamera(ZeqTuloNode& node) {
    TDagPath* path = node.GetDagPath();
    KZeqCamera* camera = node.GetCamera();
    if (!path || !camera) return TStatus::kFailure;
    if (!path->hasFn(kCameraType)) {
        LogNoShape(mLogFile, node, "camera");
        return TStatus::kFailure;
    }

    TFnCamera host(*path);
    const int mode = camera->GetApertureMode();
    struct Setting {
        const char* mName;
        double mValue;
        TStatus (TFnCamera::*mSet)(double);
    };
    const Setting settings[] = {
        {"squeeze ratio", camera->GetSqueezeRatio(), &TFnCamera::setLensSqueezeRatio},
        {"near clipping plane", camera->GetNearPlane(), &TFnCamera::setNearClippingPlane},
        {"far clipping plane", camera->GetFarPlane(), &TFnCamera::setFarClippingPlane},
    };
    for (const Setting& setting : settings)
        if (!(host.*setting.mSet)(setting.mValue)) LogRefusedValue(mLogFile, node, setting.mName, setting.mValue);
    host.setFilmFit(FilmFit(mode));
    host.setIsOrtho(camera->GetProjectionType() == 1);
    const Setting apertures[] = {
        {"vertical film aperture", camera->GetApertureHeight(), &TFnCamera::setVerticalFilmAperture},
        {"horizontal film aperture", camera->GetApertureWidth(), &TFnCamera::setHorizontalFilmAperture},
        {"focus distance", camera->GetSpecificDistance(), &TFnCamera::setFocusDistance},
    };
    for (const Setting& setting : apertures)
        if (!(host.*setting.mSet)(setting.mValue)) LogRefusedValue(mLogFile, node, setting.mName, setting.mValue);

    ZeqFOVToFocalLengthModifier focal;
    focal.mApertureWidth = camera->GetApertureWidth() * 25.4;
    focal.mApertureHeight = camera->GetApertureHeight() * 25.4;
    focal.mSqueezeRatio = camera->GetSqueezeRatio();
    focal.mApertureMode = mode;

    KZeqTakeNode* take = node.GetCurrentTakeNode();
    KFCurve* fov = take ? (mode == 0 ? take->GetCameraFieldOfViewX() : take->GetCameraFieldOfView()) : nullptr;
    double focalLength;
    if (!fov) {
        // Without a field-of-view curve the camera's own angle of view stands for it.
        focalLength = static_cast<float>(focal.Modify(camera->GetAngleOfView()));
    } else {
        if (fov->KeyGetCount() == 0) {
            fov->SetValue(static_cast<float>(focal.Modify(camera->GetAngleOfView())));
        } else {
            fov->SetValue(focal.Modify(fov->GetValue()));
            for (int i = 0; i < fov->KeyGetCount(); ++i) {
                // Both handles are read before the key's value changes their meaning.
                const float left = focal.Modify(fov->KeyGetLeftBezierTangeant(i));
                const float right = focal.Modify(fov->KeyGetRightBezierTangeant(i));
                KFCurveKey* key = fov->KeyGetPtr(i);
                key->SetValue(focal.Modify(key->GetValue()));
                const unsigned tangent = key->GetTangeantMode();
                if (key->GetInterpolation() == KFCURVE_INTERPOLATION_CUBIC &&
                    (tangent == KFCURVE_TANGEANT_USER || tangent == KFCURVE_TANGEANT_USER_BREAK)) {
                    fov->KeySetLeftBezierTangeant(i, left);
                    fov->KeySetRightBezierTangeant(i, right);
                }
            }
        }
        TPlug plug = host.findPlug("focalLength");
        SetTuloCurve(plug, *fov, TFnAnimCurve::kAnimCurveTU, 1.0, 1.0);
        focalLength = fov->GetValue();
    }
    if (!host.setFocalLength(focalLength)) LogRefusedValue(mLogFile, node, "focal length", focalLength);

    if (!node.GetTarget() || !path->isValid()) return TStatus::kSuccess;
    TStatus status;
    TFnDagNode transform(path->node());
    TObject group = transform.parent(0, &status);
    if (!status) return TStatus::kSuccess;
    TFnDependencyNode groupNode(group, &status);
    if (!status) return TStatus::kSuccess;
    TPlug twist = groupNode.findPlug("twist", &status);
    if (!status) return TStatus::kSuccess;
    KFCurve* roll = take ? take->GetCameraRoll() : nullptr;
    if (!roll) return TStatus::kSuccess;
    // The twist is the negated roll in radians; its slopes end in the UI angle unit.
    const double slopeDivisor = TAngle::uiUnit() == TAngle::kDegrees ? KM_DEG_TO_RAD : 1.0;
    SetTuloCurve(twist, *roll, TFnAnimCurve::kAnimCurveTA, -KM_RAD_TO_DEG, slopeDivisor);
    twist.setValue(roll->GetValue() * -KM_DEG_TO_RAD);
    return TStatus::kSuccess;
}

// Camera values and their animation: planes, lens, film, projection, up vector, focus and look-at
// targets on the camera attribute; field of view, optical centre and roll as default values; an
// animated focal length as field-of-view curves and an animated look-at twist as a roll curve in
// "Take 001".
#include <cmath>

#include "content/kzeqcamera.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvefilterconstantkeyreducer.h"
#include "plugin/export/zeqtuloexport.h"
#include "plugin/export/zeqtuloexport_tables.h"
#include "plugin/zeqmodifier.h"
#include "plugin/zeqtulolookatrig.h"
#include "plugin/zeqtulouserparams.h"
#include "plugin/zeqtuloutility.h"
#include "scene/kzeqtakenode.h"
#include "tfnanimcurve.h"
#include "tfncamera.h"

using namespace zeqsdk_400;

namespace {

const double kMillimetresPerInch = 25.4;

KZeqCamera* CameraOf(ZeqTuloNode& node) {
    KZeqNodeAttribute* attribute = node.GetNodeAttribute();
    return attribute && attribute->GetAttributeType() == KZeqNodeAttribute::eCAMERA ? static_cast<KZeqCamera*>(attribute)
                                                                                    : nullptr;
}

// Host film fit to aperture mode; r is the film's height over its width.
KZeqCamera::ECameraApertureMode ApertureMode(int filmFit, double r) {
    switch (filmFit) {
    case TFnCamera::kHorizontalFilmFit: return KZeqCamera::eHORIZONTAL;
    case TFnCamera::kVerticalFilmFit: return KZeqCamera::eVERTICAL;
    case TFnCamera::kFillFilmFit: return r < 1 ? KZeqCamera::eVERTICAL : KZeqCamera::eHORIZONTAL;
    case TFnCamera::kOverscanFilmFit: return r >= 1 ? KZeqCamera::eVERTICAL : KZeqCamera::eHORIZONTAL;
    default: return KZeqCamera::eHORIZONTAL_AND_VERTICAL;
    }
}

// The far plane's whole part; a negative (or no) number is 0.
double WholeFarPlane(double far) {
    if (!(far >= 0)) return 0;
    return far < 4294967296.0 ? static_cast<double>(static_cast<unsigned int>(far)) : std::floor(far);
}

// The look-at group steering the camera: its host parent, when that is a look-at group whose node
// is the camera's parent and whose camera the host takes it for. Another camera in the group is no
// part of the rig (it may be the rig's aim, or the user's).
TObject LookAtOf(const ZeqTuloNode& node) {
    const TDagPath* path = node.GetDagPath();
    const KZeqNode* group = node.GetParent();
    const TDagPath* groupPath = group ? static_cast<const ZeqTuloNode*>(group)->GetDagPath() : nullptr;
    TDagPath parent = path ? *path : TDagPath();
    if (!path || !groupPath || !parent.pop(1) || parent.length() == 0 || parent.apiType() != TFn::kLookAt ||
        !(parent.node() == groupPath->node()))
        return TObject();
    return ReadHostRig(parent.node()).Camera() == path->node() ? parent.node() : TObject();
}

// The node of the group's child that stands for the host node; null when none does.
KZeqNode* ChildFor(KZeqNode& group, const TObject& host) {
    for (int i = 0; !host.isNull() && i < group.GetChildCount(); ++i) {
        const TDagPath* path = static_cast<ZeqTuloNode*>(group.GetChild(i))->GetDagPath();
        if (path && path->node() == host) return group.GetChild(i);
    }
    return nullptr;
}

// Focal lengths to fields of view: the values, and the user tangents by the chain rule, the slope
// of the field of view at the key's focal length times the focal length's slope.
double FieldOfViewSlope(const ZeqFocalLengthToFOVModifier& fov, double focal) {
    const double a = fov.Size();
    const double slope = -4.0 * kExportRadiansToDegrees * a / (4.0 * focal * focal + a * a);
    return std::isfinite(slope) ? slope : 0.0;
}

void ToFieldOfView(KFCurve& curve, ZeqFocalLengthToFOVModifier& fov, double focalLength) {
    curve.SetValue(static_cast<float>(fov.Modify(focalLength)));
    const int count = curve.KeyGetCount();
    curve.KeyModifyBegin();
    for (int i = 0; i < count; ++i) {
        KFCurveKey* key = curve.KeyGetPtr(i);
        const double focal = key->GetValue();
        if (key->GetInterpolation() == KFCURVE_INTERPOLATION_CUBIC && (key->GetTangeantMode() & KFCURVE_TANGEANT_USER)) {
            const double next = i + 1 < count ? curve.KeyGetPtr(i + 1)->GetValue() : focal;
            const double right = key->GetDataFloat(KFCURVEKEY_RIGHT_DERIVATIVE);
            const double left = key->GetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE);
            key->SetDataFloat(KFCURVEKEY_RIGHT_DERIVATIVE, static_cast<float>(FieldOfViewSlope(fov, focal) * right));
            key->SetDataFloat(KFCURVEKEY_NEXT_LEFT_DERIVATIVE, static_cast<float>(FieldOfViewSlope(fov, next) * left));
        }
        key->SetValue(fov.Modify(static_cast<float>(focal)));
    }
    curve.KeyModifyEnd();
}

void ReduceConstantKeys(KFCurve& curve) {
    if (!ZeqTuloUserParams::Instance()->GetBoolParam(kExportApplyCstKeyRedOption)) return;
    KFCurveFilterConstantKeyReducer reducer;
    reducer.Apply(curve);
}

}  // namespace

bool ZeqTuloExport::ExportCamera(ZeqTuloNode& node) {
    const TDagPath* path = node.GetDagPath();
    if (!path) return false;
    const auto info = mCameraInfos.find(path->fullPathName().asChar());
    if (info == mCameraInfos.end() || info->second.mCameraObject.isNull() || !CameraOf(node)) return false;
    TStatus status;
    const TFnCamera camera(*path, &status);
    if (!status) return false;
    ExportCameraAttributesDefaults(node);
    ExportCameraCurvesDefaults(node);
    return ExportCameraCurves(node);
}

void ZeqTuloExport::ExportCameraAttributesDefaults(ZeqTuloNode& node) {
    KZeqCamera* attribute = CameraOf(node);
    const TDagPath* path = node.GetDagPath();
    if (!attribute || !path) return;
    const TFnCamera camera(*path);
    attribute->SetFarPlane(WholeFarPlane(camera.farClippingPlane()));
    const double nearPlane = camera.nearClippingPlane();
    attribute->SetNearPlane(nearPlane < 0 ? 0.01 : nearPlane);
    attribute->SetFocalLength(camera.focalLength());
    attribute->SetSqueezeRatio(camera.lensSqueezeRatio());
    const double width = camera.horizontalFilmAperture(), height = camera.verticalFilmAperture();
    attribute->SetApertureMode(ApertureMode(static_cast<int>(camera.filmFit()), height / width));
    attribute->SetProjectionType(KZeqCamera::ePERSPECTIVE);
    if (camera.isOrtho()) attribute->SetProjectionType(KZeqCamera::eORTHOGONAL);
    const TVector up = camera.upDirection(TSpace::kWorld);
    attribute->SetUpVector(KZeqVector4(up.x, up.y, up.z, 1.0));
    attribute->SetDefaultCameraInterestPosition(KZeqVector4(0, 0, -1, 1));
    attribute->SetApertureHeight(height);
    attribute->SetApertureWidth(width);
    attribute->SetSpecificDistance(camera.focusDistance());

    const TObject lookAt = LookAtOf(node);
    if (lookAt.isNull()) return;
    // The aim and up node the host knows in the group, wherever they stand, become the camera's
    // targets; the user's nodes beside them stay nodes of the group.
    const ZeqTuloHostRig rig = ReadHostRig(lookAt);
    KZeqNode* aim = ChildFor(*node.GetParent(), rig.Aim());
    KZeqNode* upNode = aim ? ChildFor(*node.GetParent(), rig.Up()) : nullptr;
    if (aim) node.SetTarget(aim);
    if (upNode) node.SetTargetUp(upNode);
    for (KZeqNode* target : {aim, upNode})
        if (target) target->SetVisibility(node.GetVisibility());
}

void ZeqTuloExport::ExportCameraCurvesDefaults(ZeqTuloNode& node) {
    KZeqCamera* attribute = CameraOf(node);
    KZeqTakeNode* take = node.GetDefaultTakeNode();
    if (!attribute || !take) return;
    take->GetCameraFieldOfViewX()->SetValue(40.0f);
    take->GetCameraFieldOfViewY()->SetValue(40.0f);
    take->GetCameraFieldOfView()->SetValue(static_cast<float>(attribute->GetAngleOfView()));
    take->GetCameraOpticalCenterX()->SetValue(0.0f);
    take->GetCameraOpticalCenterY()->SetValue(0.0f);
    take->GetCameraRoll()->SetValue(0.0f);
    const TObject lookAt = LookAtOf(node);
    if (lookAt.isNull()) return;
    TStatus status;
    const TFnDependencyNode group(lookAt, &status);
    if (!status) return;
    const TPlug twist = group.findPlug("twist", &status);
    float value = 0;
    if (status && !twist.isNull() && twist.getValue(value))
        take->GetCameraRoll()->SetValue(static_cast<float>(-kExportRadiansToDegrees * value));
}

bool ZeqTuloExport::ExportCameraCurves(ZeqTuloNode& node) {
    KZeqCamera* attribute = CameraOf(node);
    KZeqTakeNode* defaults = node.GetDefaultTakeNode();
    const TDagPath* path = node.GetDagPath();
    if (!attribute || !defaults || !path) return false;
    KFCurve horizontal, vertical, roll;
    horizontal.CopyFrom(*defaults->GetCameraFieldOfViewX(), false);
    vertical.CopyFrom(*defaults->GetCameraFieldOfView(), false);
    roll.CopyFrom(*defaults->GetCameraRoll(), false);
    bool result = false;
    const int mode = attribute->GetApertureMode();

    const TFnCamera camera(*path);
    TStatus status;
    const TPlug focal = camera.findPlug("focalLength", &status);
    TFnAnimCurve focalCurve(focal, &status);
    if (status) {
        ZeqFocalLengthToFOVModifier fov[2];
        for (ZeqFocalLengthToFOVModifier& m : fov) {
            m.mApertureWidth = attribute->GetApertureWidth() * kMillimetresPerInch;
            m.mApertureHeight = attribute->GetApertureHeight() * kMillimetresPerInch;
            m.mSqueezeRatio = attribute->GetSqueezeRatio();
        }
        fov[0].mApertureMode = 1;
        fov[1].mApertureMode = 2;
        SetFCurve(focalCurve, horizontal, false, 1.0);
        SetFCurve(focalCurve, vertical, false, 1.0);
        // The take's default is the field of view of the camera's own focal length.
        ToFieldOfView(horizontal, fov[0], attribute->GetFocalLength());
        ToFieldOfView(vertical, fov[1], attribute->GetFocalLength());
        ReduceConstantKeys(horizontal);
        ReduceConstantKeys(vertical);
        result = ((mode == 0 || mode == 1) && horizontal.KeyGetCount() > 0) ||
                 ((mode == 0 || mode == 2) && vertical.KeyGetCount() > 0);
    }

    const TObject lookAt = LookAtOf(node);
    if (!lookAt.isNull()) {
        const TFnDependencyNode group(lookAt, &status);
        const TPlug twist = status ? group.findPlug("twist", &status) : TPlug();
        if (status && !twist.isNull()) {
            TFnAnimCurve twistCurve(twist, &status);
            if (status)
                SetFCurve(twistCurve, roll, false, TAngle::internalUnit() == TAngle::kRadians ? -kExportRadiansToDegrees : -1.0);
        }
        ReduceConstantKeys(roll);
        if (roll.KeyGetCount() > 0) result = true;
    }

    if (!result) return false;
    SetCurrentTakeOnNode(node, kExportTakeName);
    KZeqTakeNode* take = node.GetCurrentTakeNode();
    if (!take) return true;
    switch (mode) {
    case 1:
        if (horizontal.KeyGetCount() > 0) take->GetCameraFieldOfView()->CopyFrom(horizontal, true);
        break;
    case 2:
        if (vertical.KeyGetCount() > 0) take->GetCameraFieldOfView()->CopyFrom(vertical, true);
        break;
    case 0:
        if (horizontal.KeyGetCount() > 0 || vertical.KeyGetCount() > 0) {
            take->GetCameraFieldOfViewX()->CopyFrom(horizontal, true);
            take->GetCameraFieldOfViewY()->CopyFrom(vertical, true);
        }
        break;
    default:
        break;
    }
    if (roll.KeyGetCount() > 0) take->GetCameraRoll()->CopyFrom(roll, true);
    return true;
}

// Spotlight and camera motion: the light or camera tracks and the track of
// its target, from the target node or computed along the node's own axes.

#include <cmath>
#include <string>

#include "content/kzeqcamera.h"
#include "content/kzeqlight.h"
#include "fcurve/kfcurve.h"
#include "formats/geometry/3ds/kzeqwriter3ds_motion.h"
#include "formats/geometry/3ds/toolkit/toolkit3ds.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {

using namespace motion3ds;

namespace {

constexpr double kPi = 3.14159265358979323846;

// The target node's translation curves one by one from `take` (its curves take, or null), or its
// default translation; target count from the interval shared with the node.
std::uint32_t TargetCurves(KZeqNode* target, KZeqTakeNode* take, MadeCurves& made, KTime& start, KTime& stop,
                           KFCurve** curves) {
    KZeqVector4 T;
    target->GetDefaultT(T);
    const std::uint32_t count = KeyCount(target->GetCurrentTakeNode(), start, stop);
    PlayedTracks(made, target, take, count, T.mData, nullptr, curves, nullptr);
    return count;
}

// Target points `distance` along one row of the node's orientation, frame by frame.
void ComputedTarget(KFCurve* const* t, KFCurve* const* r, int row, double distance, std::uint32_t count,
                    MadeCurves& made, KFCurve** target) {
    for (int a = 0; a < 3; ++a) target[a] = made.Keyed(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const KTime time = FrameTime(i);
        double rows[3][3];
        RotationRows(rows, r[0]->Evaluate(time), r[1]->Evaluate(time), r[2]->Evaluate(time));
        for (int a = 0; a < 3; ++a) {
            const double value = t[a]->Evaluate(time) + distance * rows[row][a];
            target[a]->KeyGetPtr(static_cast<int>(i))->SetTCB(time, static_cast<float>(value), 0.0f, 0.0f, 0.0f);
        }
    }
    for (int a = 0; a < 3; ++a) target[a]->KeyModifyEnd(static_cast<int>(count));
}

}  // namespace

template <class Record>
void KZeqWriter3DS::NameTargetedMotion(Record& record, KZeqNode* node, KZeqNode* target, KFCurve* const* t,
                                       std::uint32_t count) const {
    CutName(record.name, sizeof(record.name), FileName(node));
    const std::string parent = ParentName(node, false);
    CutName(record.parent, sizeof(record.parent), parent);
    CutName(record.tparent, sizeof(record.tparent), target ? TargetName(target) : parent);
    Create3DSTransDataFromTCB(record.pkeys, record.pos, t[0], t[1], t[2], count);
}

kfspot3ds* KZeqWriter3DS::ConvSpotlightNodeZeqto3DS(KZeqNode* node) {
    if (!node) return nullptr;
    MadeCurves made;
    KFCurve *t[3], *r[3], *c[3], *cone = nullptr;
    KZeqVector4 T, R;
    node->GetDefaultT(T);
    node->GetDefaultR(R);
    KZeqColor colour;
    double coneAngle = 45.0;
    if (KZeqLight* light = node->GetLight()) {
        light->GetDefaultColor(colour);
        coneAngle = light->GetDefaultConeAngle();
    }
    const double C[3] = {colour.mRed, colour.mGreen, colour.mBlue};
    KZeqTakeNode* take = CurvesTake(node);
    KTime start(0), stop(0);
    const std::uint32_t count = FrameCount(node, start, stop);
    PlayedTracks(made, node, take, count, T.mData, R.mData, t, r);
    TrackCurves(made, take, eCOLOR3DS, C, c);
    cone = take ? made.Use(take->GetLightConeAngle(), coneAngle) : made.Default(coneAngle);
    KFCurve* roll = made.Default(0.0);

    KFCurve* target[3];
    std::uint32_t targetCount = count;
    KZeqNode* targetNode = node->GetTarget();
    if (targetNode)
        targetCount = TargetCurves(targetNode, CurvesTake(targetNode), made, start, stop, target);
    else
        ComputedTarget(t, r, 1, -10.0, count, made, target);

    kfspot3ds* record = nullptr;
    InitSpotlightMotion3ds(&record, count, count, count, count, 1, targetCount);
    if (Stop3ds() || !record || !record->pos || !record->color || !record->hot || !record->fall || !record->roll ||
        !record->tpos) {
        ReleaseSpotlightMotion3ds(&record);
        return nullptr;
    }
    NameTargetedMotion(*record, node, targetNode, t, count);
    Create3DSColorDataFromTCB(record->ckeys, record->color, c[0], c[1], c[2], count);
    Create3DSScalarDataFromTCB(record->hkeys, record->hot, cone, count);
    Create3DSScalarDataFromTCB(record->fkeys, record->fall, cone, count);
    Create3DSScalarDataFromTCB(record->rkeys, record->roll, roll, 1);
    Create3DSTransDataFromTCB(record->tkeys, record->tpos, target[0], target[1], target[2], targetCount);
    return record;
}

std::string KZeqWriter3DS::TargetName(KZeqNode* target) const {
    KZeqNodeAttribute* attribute = target->GetNodeAttribute();
    const int type = attribute ? attribute->GetAttributeType() : -1;
    std::string name = type == KZeqNodeAttribute::eMESH || type == KZeqNodeAttribute::eNURB ||
                               type == KZeqNodeAttribute::ePATCH || type == KZeqNodeAttribute::eLIGHT ||
                               type == KZeqNodeAttribute::eCAMERA
                           ? FileName(target)
                           : std::string(DummyName3ds) + "." + FileName(target);
    if (name.size() > 20) name.resize(20);
    return name;
}

double KZeqWriter3DS::HorizontalFieldOfView(KZeqCamera* camera, double angle) {
    const double height = camera->GetApertureHeight();
    const double ratio = height != 0.0 ? camera->GetApertureWidth() / height : 1.0;
    return 2.0 * std::atan(std::tan(angle * 0.017453292519943295 * 0.5) * camera->GetSqueezeRatio() * ratio) *
           57.29577951308232;
}

kfcamera3ds* KZeqWriter3DS::ConvCameraNodeZeqto3DS(KZeqNode* node) {
    if (!node) return nullptr;
    KZeqCamera* camera = node->GetCamera();
    MadeCurves made;
    KFCurve *t[3], *r[3], *fov = nullptr, *roll = nullptr;
    KZeqVector4 T, R;
    node->GetDefaultT(T);
    node->GetDefaultR(R);
    const bool animating = Animating(node);
    double defaultFov = 45.0, defaultRoll = 0.0;
    const bool vertical = camera && camera->GetApertureMode() == KZeqCamera::eVERTICAL;
    if (camera) {
        defaultRoll = camera->GetRoll();
        switch (camera->GetApertureMode()) {
            case KZeqCamera::eHORIZONTAL: defaultFov = camera->GetAngleOfView(); break;
            case KZeqCamera::eHORIZONTAL_AND_VERTICAL: defaultFov = camera->GetDefaultFieldOfViewX(); break;
            default:
                defaultFov = HorizontalFieldOfView(
                    camera, animating ? camera->GetDefaultFieldOfView() : camera->GetAngleOfView());
        }
    }
    KZeqTakeNode* take = CurvesTake(node);
    KTime start(0), stop(0);
    const std::uint32_t count = FrameCount(node, start, stop);
    PlayedTracks(made, node, take, count, T.mData, R.mData, t, r);
    if (!take) {
        fov = made.Default(defaultFov);
        roll = made.Default(defaultRoll);
    } else {
        KFCurve* sceneFov = take->GetCameraFieldOfView();
        const int keys = sceneFov ? sceneFov->KeyGetCount() : 0;
        if (sceneFov && keys == 0 && vertical && camera) {
            fov = made.Default(HorizontalFieldOfView(camera, sceneFov->GetValue()));
        } else if (keys > 0 && vertical && camera) {
            // A converted copy: the scene's own curve keeps its vertical angles.
            fov = made.Keyed(static_cast<std::uint32_t>(keys));
            for (int k = 0; k < keys; ++k) {
                KFCurveKey key = sceneFov->KeyGet(k);
                key.SetValue(static_cast<float>(HorizontalFieldOfView(camera, key.GetValue())));
                *fov->KeyGetPtr(k) = key;
            }
            fov->KeyModifyEnd(keys);
        } else {
            fov = made.Use(sceneFov, defaultFov);
        }
        roll = made.Use(take->GetCameraRoll(), defaultRoll);
    }

    KFCurve* target[3];
    std::uint32_t targetCount = count;
    KZeqNode* targetNode = node->GetTarget();
    KFCurve* computedRoll = nullptr;
    if (targetNode) {
        targetCount = TargetCurves(targetNode, CurvesTake(targetNode), made, start, stop, target);
    } else {
        ComputedTarget(t, r, 0, 10.0, count, made, target);
        // Without a target the file's roll also carries the camera's tilt.
        computedRoll = made.Keyed(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            const KTime time = FrameTime(i);
            double rows[3][3];
            RotationRows(rows, r[0]->Evaluate(time), r[1]->Evaluate(time), r[2]->Evaluate(time));
            double P[3], Q[3];
            for (int a = 0; a < 3; ++a) {
                P[a] = t[a]->Evaluate(time);
                Q[a] = P[a] + 10.0 * rows[0][a];
            }
            const double up = rows[2][1] < -1.0 ? -1.0 : rows[2][1] > 1.0 ? 1.0 : rows[2][1];
            const double tilt = 90.0 - std::acos(up) * 180.0 / kPi;
            const double cross[3] = {-Q[2], 0.0, Q[0]};
            double d1 = 0.0, d2 = 0.0;
            for (int a = 0; a < 3; ++a) {
                const double u = P[a] + rows[2][a];
                d1 += (cross[a] - u) * (cross[a] - u);
                d2 += (-cross[a] - u) * (-cross[a] - u);
            }
            const double value = (d1 >= d2 ? -tilt : tilt) + roll->Evaluate(time);
            computedRoll->KeyGetPtr(static_cast<int>(i))->SetTCB(time, static_cast<float>(value), 0.0f, 0.0f, 0.0f);
        }
        computedRoll->KeyModifyEnd(static_cast<int>(count));
    }

    kfcamera3ds* record = nullptr;
    InitCameraMotion3ds(&record, count, count, count, targetCount);
    if (Stop3ds() || !record || !record->pos || !record->fov || !record->roll || !record->tpos) {
        ReleaseCameraMotion3ds(&record);
        return nullptr;
    }
    NameTargetedMotion(*record, node, targetNode, t, count);
    Create3DSScalarDataFromTCB(record->fkeys, record->fov, fov, count);
    Create3DSScalarDataFromTCB(record->rkeys, record->roll, computedRoll ? computedRoll : roll, count);
    Create3DSTransDataFromTCB(record->tkeys, record->tpos, target[0], target[1], target[2], targetCount);
    return record;
}

}  // namespace zeqsdk_400

// 3DS keyframer tracks to animation curves of the take "default take": TCB
// keys at 30 frames per second, or, for tracks that do not animate, the
// nodes' default values. An animated track also gives the default its
// first key, so the node's static pose is where its animation starts.

#include <climits>
#include <cmath>
#include <cstring>
#include <string>

#include "base/kgemath.h"
#include "base/kzeqmatrix.h"
#include "content/kzeqcamera.h"
#include "content/kzeqlight.h"
#include "content/kzeqmarker.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvefilterkeyreducer.h"
#include "fcurve/kfcurvefilterunroll.h"
#include "formats/geometry/3ds/kzeqreader3ds.h"
#include "formats/geometry/3ds/toolkit/toolkit3ds.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {

namespace {

constexpr long long kTicksPerFrame30 = 1539538600LL;

KTime FrameTime(std::int32_t frame) { return KTime(static_cast<long long>(frame) * kTicksPerFrame30); }

// The scene's orientation after one more relative file key: axis (x, z, -y)
// normalised, angle negated, the increment applied after what came before.
void Accumulate(double* accumulated, const kfrotkey3ds& key) {
    double axis[3] = {key.x, key.z, -key.y};
    const double length = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
    if (length > 0.0)
        for (double& a : axis) a /= length;
    const double half = -static_cast<double>(key.angle) * 0.5;
    const double increment[4] = {std::sin(half) * axis[0], std::sin(half) * axis[1], std::sin(half) * axis[2],
                                 std::cos(half)};
    double product[4];
    KmQQ(product, increment, accumulated);
    const double norm =
        std::sqrt(product[0] * product[0] + product[1] * product[1] + product[2] * product[2] + product[3] * product[3]);
    for (int i = 0; i < 4; ++i) accumulated[i] = norm > 0.0 ? product[i] / norm : (i == 3 ? 1.0 : 0.0);
}

KZeqVector4 EulerOf(const double* q) {
    KZeqXMatrix matrix;
    matrix.SetQ(KZeqQuaternion(q[0], q[1], q[2], q[3]));
    return matrix.GetEulerXYZ();
}

// A track's keys are usable only with both arrays in place.
bool Animated(bool anim, std::uint32_t count, const keyheader3ds* keys, const void* values) {
    return anim && count >= 2 && keys && values;
}

// The values a written track starts with, as its curves hold them after any
// filter (an unrolled first rotation key keeps the curves' Euler angles).
void FirstKeys(KFCurve* const* curves, int curveCount, double* out) {
    for (int c = 0; c < curveCount; ++c)
        if (curves[c]->KeyGetCount() > 0) out[c] = curves[c]->KeyGet(0).GetValue();
}

// A node's three curves of one track: written by write and started from their
// first key when the track animates, else holding the static value.
template <class Write>
void TrackOrStatic(KFCurve** curves, bool animated, double* value, Write write) {
    if (!animated) {
        for (int c = 0; c < 3; ++c)
            if (curves[c]) curves[c]->SetValue(static_cast<float>(value[c]));
    } else if (curves[0] && curves[1] && curves[2]) {
        write();
        FirstKeys(curves, 3, value);
    }
}

}  // namespace

template <class Convert>
void KZeqReader3DS::WriteTrack(KFCurve** curves, int curveCount, std::uint32_t count, const keyheader3ds* keys,
                               Convert convert) {
    for (int c = 0; c < curveCount; ++c) curves[c]->KeyModifyBegin(static_cast<int>(count));
    int used = 0;
    long long last = static_cast<long long>(INT_MIN) - 1;  // the first key always passes
    for (std::uint32_t k = 0; k < count; ++k) {
        const auto frame = static_cast<std::int32_t>(keys[k].time);
        if (frame <= last) continue;
        last = frame;
        double value[3] = {0, 0, 0};
        convert(k, value);
        const keyheader3ds& header = keys[k];
        const float tension = (header.rflags & KeyUsesTension3ds) ? header.tension : 0.0f;
        const float continuity = (header.rflags & KeyUsesCont3ds) ? header.continuity : 0.0f;
        const float bias = (header.rflags & KeyUsesBias3ds) ? header.bias : 0.0f;
        for (int c = 0; c < curveCount; ++c)
            curves[c]->KeyGetPtr(used)->SetTCB(FrameTime(frame), static_cast<float>(value[c]), tension, continuity,
                                               bias);
        ++used;
    }
    for (int c = 0; c < curveCount; ++c) curves[c]->KeyModifyEnd(used);
    if (mReduceKeys) {
        KFCurveFilterKeyReducer reducer;
        reducer.SetPrecision(1.0);
        reducer.Apply(curves, curveCount);
    }
}

void KZeqReader3DS::OpenTake(KZeqNode* node) {
    node->CreateTakeNode("default take");
    node->SetCurrentTakeNode("default take");
}

bool KZeqReader3DS::CreateTransDataFrom3DSAnim(KZeqNode* node, std::uint32_t count, const keyheader3ds* keys,
                                               const point3ds* values) {
    KZeqTakeNode* take = node->GetCurrentTakeNode();
    KFCurve* curves[3] = {take ? take->GetTranslationX() : nullptr, take ? take->GetTranslationY() : nullptr,
                          take ? take->GetTranslationZ() : nullptr};
    const double s = mCreateReferenceNode ? 1.0 : mScaleFactor;
    const auto Convert = [values, s](std::uint32_t k, double* out) {
        out[0] = values[k].x * s;
        out[1] = values[k].z * s;
        out[2] = -values[k].y * s;
    };
    double value[3] = {0, 0, 0};
    if (count > 0 && values) Convert(0, value);
    TrackOrStatic(curves, Animated(mAnim, count, keys, values), value,
                  [&] { WriteTrack(curves, 3, count, keys, Convert); });
    node->SetDefaultT(KZeqVector4(value[0], value[1], value[2], 0.0));
    return true;
}

bool KZeqReader3DS::CreateRotDataFrom3DSAnim(KZeqNode* node, std::uint32_t count, const keyheader3ds* keys,
                                             const kfrotkey3ds* values) {
    KZeqTakeNode* take = node->GetCurrentTakeNode();
    KFCurve* curves[3] = {take ? take->GetEulerRotationX() : nullptr, take ? take->GetEulerRotationY() : nullptr,
                          take ? take->GetEulerRotationZ() : nullptr};
    double value[3];
    {
        double accumulated[4] = {0, 0, 0, 1};
        Accumulate(accumulated, count > 0 && values ? values[0] : kfrotkey3ds{0.0f, 0.0f, 1.0f, 0.0f});
        const KZeqVector4 r = EulerOf(accumulated);
        for (int a = 0; a < 3; ++a) value[a] = r[a];
    }
    TrackOrStatic(curves, Animated(mAnim, count, keys, values), value, [&] {
        // Each used key turns on from the one used before it; dropped keys take no part.
        double accumulated[4] = {0, 0, 0, 1};
        WriteTrack(curves, 3, count, keys, [&](std::uint32_t k, double* out) {
            Accumulate(accumulated, values[k]);
            const KZeqVector4 r = EulerOf(accumulated);
            for (int a = 0; a < 3; ++a) out[a] = r[a];
        });
        KFCurveFilterUnroll unroll;
        unroll.SetTestForPath(true);
        unroll.SetQualityTolerance(0.25);
        unroll.Apply(curves, 3);
    });
    node->SetDefaultR(KZeqVector4(value[0], value[1], value[2], 0.0));
    return true;
}

bool KZeqReader3DS::CreateScaleDataFrom3DSAnim(KZeqNode* node, std::uint32_t count, const keyheader3ds* keys,
                                               const point3ds* values) {
    KZeqTakeNode* take = node->GetCurrentTakeNode();
    KFCurve* curves[3] = {take ? take->GetScaleX() : nullptr, take ? take->GetScaleY() : nullptr,
                          take ? take->GetScaleZ() : nullptr};
    const auto Convert = [values](std::uint32_t k, double* out) {
        out[0] = values[k].x;
        out[1] = values[k].z;
        out[2] = values[k].y;
    };
    double value[3] = {1, 1, 1};
    if (count > 0 && values) Convert(0, value);
    TrackOrStatic(curves, Animated(mAnim, count, keys, values), value,
                  [&] { WriteTrack(curves, 3, count, keys, Convert); });
    node->SetDefaultS(KZeqVector4(value[0], value[1], value[2], 0.0));
    return true;
}

bool KZeqReader3DS::CreateColorDataFrom3DSAnim(KZeqNode* node, std::uint32_t count, const keyheader3ds* keys,
                                               const fcolor3ds* values) {
    KZeqTakeNode* take = node->GetCurrentTakeNode();
    KFCurve* curves[3] = {take ? take->GetColorR() : nullptr, take ? take->GetColorG() : nullptr,
                          take ? take->GetColorB() : nullptr};
    if (!curves[0] || !curves[1] || !curves[2]) return true;
    const auto Convert = [values](std::uint32_t k, double* out) {
        out[0] = values[k].r;
        out[1] = values[k].g;
        out[2] = values[k].b;
    };
    double value[3] = {1, 1, 1};
    if (count > 0 && values) Convert(0, value);
    if (Animated(mAnim, count, keys, values)) {
        WriteTrack(curves, 3, count, keys, Convert);
        FirstKeys(curves, 3, value);
    } else {
        for (int c = 0; c < 3; ++c) {
            curves[c]->KeyModifyBegin(1);
            curves[c]->KeyGetPtr(0)->SetTCB(KTime(0), static_cast<float>(value[c]), 0.0f, 0.0f, 0.0f);
            curves[c]->KeyModifyEnd(1);
        }
    }
    KZeqColor colour(value[0], value[1], value[2], 1.0);
    if (KZeqLight* light = node->GetLight())
        light->SetDefaultColor(colour);
    else if (KZeqMarker* marker = node->GetMarker())
        marker->SetDefaultColor(colour);
    return true;
}

bool KZeqReader3DS::CreateScalarDataFrom3DSAnim(KZeqNode* node, std::uint32_t count, const keyheader3ds* keys,
                                                const float* values, EScalarTarget target) {
    KZeqTakeNode* take = node->GetCurrentTakeNode();
    KFCurve* curve = nullptr;
    if (take)
        curve = target == eCONE_ANGLE ? take->GetLightConeAngle()
                : target == eFIELD_OF_VIEW ? take->GetCameraFieldOfView() : take->GetCameraRoll();
    if (!curve) return true;
    double value = count > 0 && values ? values[0] : target == eROLL ? 0.0 : 45.0;
    if (Animated(mAnim, count, keys, values)) {
        WriteTrack(&curve, 1, count, keys, [values](std::uint32_t k, double* out) { out[0] = values[k]; });
        FirstKeys(&curve, 1, &value);
    } else {
        curve->KeyModifyBegin(1);
        curve->KeyGetPtr(0)->SetTCB(KTime(0), static_cast<float>(value), 0.0f, 0.0f, 0.0f);
        curve->KeyModifyEnd(1);
    }
    if (target == eCONE_ANGLE) {
        if (KZeqLight* light = node->GetLight()) light->SetDefaultConeAngle(value);
    } else if (KZeqCamera* camera = node->GetCamera()) {
        if (target == eFIELD_OF_VIEW)
            camera->SetDefaultFieldOfView(value);
        else
            camera->SetDefaultRoll(value);
    }
    return true;
}

double KZeqReader3DS::LightMultiplier(const std::vector<LightEntry>& lights, const char* name) const {
    for (const LightEntry& light : lights)
        if (std::strncmp(light.mRecord->name, name, sizeof(light.mRecord->name)) == 0)
            return light.mRecord->multiplier;
    return 1.0;
}

bool KZeqReader3DS::ImportMeshAnim() {
    for (MeshNodeEntry& entry : mMeshNodes) {
        const kfmesh3ds& r = *entry.mRecord;
        OpenTake(entry.mNode);
        if (!CreateTransDataFrom3DSAnim(entry.mNode, r.pkeys ? r.npkeys : 0, r.pkeys, r.pos) ||
            !CreateRotDataFrom3DSAnim(entry.mNode, r.rkeys ? r.nrkeys : 0, r.rkeys, r.rot) ||
            !CreateScaleDataFrom3DSAnim(entry.mNode, r.skeys ? r.nskeys : 0, r.skeys, r.scale))
            return false;
    }
    return true;
}

bool KZeqReader3DS::ImportOmnilightAnim() {
    for (OmniNodeEntry& entry : mOmniNodes) {
        const kfomni3ds& r = *entry.mRecord;
        OpenTake(entry.mNode);
        CreateTransDataFrom3DSAnim(entry.mNode, r.pkeys ? r.npkeys : 0, r.pkeys, r.pos);
        CreateColorDataFrom3DSAnim(entry.mNode, r.ckeys ? r.nckeys : 0, r.ckeys, r.color);
        if (KZeqLight* light = entry.mNode->GetLight()) light->SetDefaultIntensity(100.0 * LightMultiplier(mOmnilights, r.name));
    }
    return true;
}

bool KZeqReader3DS::ImportSpotlightAnim() {
    for (SpotNodeEntry& entry : mSpotNodes) {
        const kfspot3ds& r = *entry.mRecord;
        OpenTake(entry.mNode);
        CreateTransDataFrom3DSAnim(entry.mNode, r.pkeys ? r.npkeys : 0, r.pkeys, r.pos);
        CreateColorDataFrom3DSAnim(entry.mNode, r.ckeys ? r.nckeys : 0, r.ckeys, r.color);
        CreateScalarDataFrom3DSAnim(entry.mNode, r.hkeys ? r.nhkeys : 0, r.hkeys, r.hot, eCONE_ANGLE);
        if (KZeqLight* light = entry.mNode->GetLight()) light->SetDefaultIntensity(100.0 * LightMultiplier(mSpotlights, r.name));
        OpenTake(entry.mTarget);
        CreateTransDataFrom3DSAnim(entry.mTarget, r.tkeys ? r.ntkeys : 0, r.tkeys, r.tpos);
    }
    return true;
}

bool KZeqReader3DS::ImportCameraAnim() {
    for (CameraNodeEntry& entry : mCameraNodes) {
        const kfcamera3ds& r = *entry.mRecord;
        OpenTake(entry.mNode);
        CreateTransDataFrom3DSAnim(entry.mNode, r.pkeys ? r.npkeys : 0, r.pkeys, r.pos);
        CreateScalarDataFrom3DSAnim(entry.mNode, r.fkeys ? r.nfkeys : 0, r.fkeys, r.fov, eFIELD_OF_VIEW);
        CreateScalarDataFrom3DSAnim(entry.mNode, r.rkeys ? r.nrkeys : 0, r.rkeys, r.roll, eROLL);
        OpenTake(entry.mTarget);
        CreateTransDataFrom3DSAnim(entry.mTarget, r.tkeys ? r.ntkeys : 0, r.tkeys, r.tpos);
    }
    return true;
}

}  // namespace zeqsdk_400

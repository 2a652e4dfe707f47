// Keyframer motion of mesh, dummy, omnilight, spotlight and camera nodes:
// their curves (or one-key curves of their defaults where they have none)
// resampled at every frame, with the node's name, its parent's and, for spots
// and cameras, the target.

#include "formats/geometry/3ds/kzeqwriter3ds_motion.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "content/kzeqcamera.h"
#include "content/kzeqlight.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "formats/geometry/3ds/toolkit/toolkit3ds.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {

namespace motion3ds {

constexpr long long kTicksPerFrame30 = 1539538600LL;

MadeCurves::~MadeCurves() {
    for (KFCurve* curve : mMade) delete curve;
}

KFCurve* MadeCurves::Default(double value) {
    KFCurve* curve = Keyed(1);
    curve->KeyGetPtr(0)->SetTCB(KTime(0), static_cast<float>(value), 0.0f, 0.0f, 0.0f);
    curve->KeyModifyEnd(1);
    return curve;
}

KFCurve* MadeCurves::Keyed(std::uint32_t count) {
    auto* curve = new KFCurve;
    mMade.push_back(curve);
    curve->KeyModifyBegin(static_cast<int>(count));
    return curve;
}

KFCurve* MadeCurves::Use(KFCurve* curve, double fallback) {
    return curve ? curve : Default(fallback);
}

void TrackCurves(MadeCurves& made, KZeqTakeNode* take, ETrack3ds track, const double* defaults, KFCurve** out) {
    if (!take) {
        for (int a = 0; a < 3; ++a) out[a] = made.Default(defaults[a]);
        return;
    }
    KFCurve* scene[3] = {nullptr, nullptr, nullptr};
    switch (track) {
        case eTRANSLATION3DS:
            scene[0] = take->GetTranslationX(), scene[1] = take->GetTranslationY(), scene[2] = take->GetTranslationZ();
            break;
        case eROTATION3DS:
            scene[0] = take->GetEulerRotationX(), scene[1] = take->GetEulerRotationY(),
            scene[2] = take->GetEulerRotationZ();
            break;
        case eSCALE3DS: scene[0] = take->GetScaleX(), scene[1] = take->GetScaleY(), scene[2] = take->GetScaleZ(); break;
        case eCOLOR3DS: scene[0] = take->GetColorR(), scene[1] = take->GetColorG(), scene[2] = take->GetColorB(); break;
    }
    for (int a = 0; a < 3; ++a) out[a] = made.Use(scene[a], defaults[a]);
}

void WidenOverTimeWarps(KFCurveNode& node, KTime& start, KTime& stop) {
    if (KFCurveNode* warp = node.TimeWarpGet()) warp->GetAnimationInterval(start, stop);
    for (int i = 0; i < node.GetCount(); ++i) WidenOverTimeWarps(*node.Get(i), start, stop);
    if (KFCurveNode* layer = node.LayerGet()) WidenOverTimeWarps(*layer, start, stop);
}

void WidenOverTimeWarps(KZeqTakeNode* take, KTime& start, KTime& stop) {
    // A deferred take holds plain channels alone.
    if (take && !take->IsDeferred() && take->GetKFCurveNode()) WidenOverTimeWarps(*take->GetKFCurveNode(), start, stop);
}

void PlayedTracks(MadeCurves& made, KZeqNode* node, KZeqTakeNode* take, std::uint32_t count, const double* T,
                  const double* R, KFCurve** t, KFCurve** r) {
    if (take && node->IsTakeLayeredOrWarped()) {
        KFCurve *rotation[3], *scaling[3];
        FullTransformCurves(made, node, true, count, t, r ? r : rotation, scaling);
        return;
    }
    TrackCurves(made, take, eTRANSLATION3DS, T, t);
    if (r) TrackCurves(made, take, eROTATION3DS, R, r);
}

std::uint32_t KeyCount(KZeqTakeNode* take, KTime& start, KTime& stop) {
    if (take && take->GetAnimationInterval(start, stop)) WidenOverTimeWarps(take, start, stop);
    const long long frames = FrameReaching(stop);
    return frames < 0 ? 1u : static_cast<std::uint32_t>(std::min(frames + 1, kMaxFrames3ds));
}

long long FrameReaching(KTime time) {
    // The ceiling of (ticks - 1) / ticks a frame: neither side overflows, even at the infinities.
    const long long ticks = time.Get() - 1;
    const long long frame = ticks / kTicksPerFrame30;
    return ticks % kTicksPerFrame30 > 0 ? frame + 1 : frame;
}

KTime FrameTime(std::uint32_t frame) { return KTime(static_cast<long long>(frame) * kTicksPerFrame30); }

void RotationRows(double (*rows)[3], double x, double y, double z) {
    const double D = 0.017453292519943295;
    const double cx = std::cos(D * x), sx = std::sin(D * x), cy = std::cos(D * y), sy = std::sin(D * y),
                 cz = std::cos(D * z), sz = std::sin(D * z);
    const double m[3][3] = {{cy * cz, cy * sz, -sy},
                            {sx * sy * cz - cx * sz, sx * sy * sz + cx * cz, sx * cy},
                            {cx * sy * cz + sx * sz, cx * sy * sz - sx * cz, cx * cy}};
    std::memcpy(rows, m, sizeof(m));
}

std::string FileName(const KZeqNode* node) {
    const std::string name = node->GetName();
    return name.compare(0, 7, "Model::") == 0 ? name.substr(7) : name;
}

void CutName(char* out, std::size_t room, const std::string& name) { CopyName3ds(out, room, name.c_str()); }

// A local transform holds no shear: its translation, rotation and scaling give it exactly.
void FullTransformCurves(MadeCurves& made, KZeqNode* node, bool animating, std::uint32_t count, KFCurve** t,
                         KFCurve** r, KFCurve** s) {
    KFCurve** const tracks[3] = {t, r, s};
    for (KFCurve** track : tracks)
        for (int a = 0; a < 3; ++a) track[a] = made.Keyed(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const KTime time = FrameTime(i);
        const KZeqXMatrix local = animating ? node->EvaluateLocalTransform(time) : node->EvaluateLocalTransform();
        const KZeqVector4 values[3] = {local.GetT(), local.GetEulerXYZ(), local.GetS()};
        for (int c = 0; c < 3; ++c)
            for (int a = 0; a < 3; ++a)
                tracks[c][a]->KeyGetPtr(static_cast<int>(i))->SetTCB(time, static_cast<float>(values[c][a]), 0.0f,
                                                                      0.0f, 0.0f);
    }
    for (KFCurve** track : tracks)
        for (int a = 0; a < 3; ++a) track[a]->KeyModifyEnd(static_cast<int>(count));
}

}  // namespace motion3ds

using namespace motion3ds;

kfmesh3ds* KZeqWriter3DS::ConvMeshNodeZeqto3DS(KZeqNode* node) {
    if (!node) return nullptr;
    MadeCurves made;
    KFCurve *t[3], *r[3], *s[3];
    KZeqTakeNode* take = CurvesTake(node);
    KTime start(0), stop(0);
    const std::uint32_t count = FrameCount(node, start, stop);
    if (node->NeedsFullTransform() || (take && node->IsTakeLayeredOrWarped())) {
        FullTransformCurves(made, node, take != nullptr, count, t, r, s);
    } else {
        KZeqVector4 T, R, S;
        node->GetDefaultT(T);
        node->GetDefaultR(R);
        node->GetDefaultS(S);
        TrackCurves(made, take, eTRANSLATION3DS, T.mData, t);
        TrackCurves(made, take, eROTATION3DS, R.mData, r);
        TrackCurves(made, take, eSCALE3DS, S.mData, s);
    }
    kfmesh3ds* record = nullptr;
    InitObjectMotion3ds(&record, count, count, count, 0, 0);
    if (Stop3ds() || !record || !record->pos || !record->rot || !record->scale) {
        ReleaseObjectMotion3ds(&record);
        return nullptr;
    }
    CutName(record->name, sizeof(record->name), FileName(node));
    CutName(record->parent, sizeof(record->parent), ParentName(node, true));
    Create3DSTransDataFromTCB(record->pkeys, record->pos, t[0], t[1], t[2], count);
    Create3DSRotDataFromTCB(record->rkeys, record->rot, r[0], r[1], r[2], count);
    Create3DSScaleDataFromTCB(record->skeys, record->scale, s[0], s[1], s[2], count);
    return record;
}

kfomni3ds* KZeqWriter3DS::ConvOmnilightNodeZeqto3DS(KZeqNode* node) {
    if (!node) return nullptr;
    MadeCurves made;
    KFCurve *t[3], *c[3];
    KZeqVector4 T;
    node->GetDefaultT(T);
    KZeqColor colour;
    if (KZeqLight* light = node->GetLight()) light->GetDefaultColor(colour);
    const double C[3] = {colour.mRed, colour.mGreen, colour.mBlue};
    KZeqTakeNode* take = CurvesTake(node);
    KTime start(0), stop(0);
    const std::uint32_t count = FrameCount(node, start, stop);
    PlayedTracks(made, node, take, count, T.mData, nullptr, t, nullptr);
    TrackCurves(made, take, eCOLOR3DS, C, c);
    kfomni3ds* record = nullptr;
    InitOmnilightMotion3ds(&record, count, count);
    if (Stop3ds() || !record || !record->pos || !record->color) {
        ReleaseOmnilightMotion3ds(&record);
        return nullptr;
    }
    CutName(record->name, sizeof(record->name), FileName(node));
    CutName(record->parent, sizeof(record->parent), ParentName(node, false));
    Create3DSTransDataFromTCB(record->pkeys, record->pos, t[0], t[1], t[2], count);
    Create3DSColorDataFromTCB(record->ckeys, record->color, c[0], c[1], c[2], count);
    return record;
}

}  // namespace zeqsdk_400

// Comparer rows of the scene settings, camera switcher, gobos, marker sets,
// actors and poses.

#include "character/kzeqactor.h"
#include "character/kzeqmarkerset.h"
#include "content/kzeqcameraswitcher.h"
#include "content/kzeqglobalcamerasettings.h"
#include "content/kzeqgobo.h"
#include "content/kzeqlight.h"
#include "io/tests/zeqscenecompare.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqglobalsettings.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqpose.h"
#include "scene/kzeqscene.h"

using namespace zeqsdk_400;

namespace zeqiotest {

namespace {

void Vector(ZeqDiff& diff, const std::string& path, const double* a, const double* b, int n = 3) {
    for (int k = 0; k < n; ++k) diff.Check(path + "[" + std::to_string(k) + "]", a[k], b[k]);
}
void Vector(ZeqDiff& diff, const std::string& path, const KZeqVector4& a, const KZeqVector4& b) {
    Vector(diff, path, &a[0], &b[0]);
}
void Color(ZeqDiff& diff, const std::string& path, const KZeqColor& a, const KZeqColor& b, int n) {
    Vector(diff, path, &a.mRed, &b.mRed, n);  // four doubles in a row
}
int IndexOf(KZeqScene& scene, KZeqMarkerSet* set) {
    for (int i = 0; i < scene.GetMarkerSetCount(); ++i)
        if (scene.GetMarkerSet(i) == set) return i;
    return -1;
}
template <class T, class G>
void Field(ZeqDiff& diff, const std::string& path, T& a, T& b, G get) {
    diff.Check(path, static_cast<double>((a.*get)()), static_cast<double>((b.*get)()));
}

}  // namespace

// Fog colours are written opaque; shadow settings go with the planes.
void CompareSettings(KZeqScene& expected, KZeqScene& actual, ZeqDiff& diff) {
    KZeqGlobalLightSettings& a = *expected.GetGlobalLightSettings();
    KZeqGlobalLightSettings& b = *actual.GetGlobalLightSettings();
    typedef KZeqGlobalLightSettings L;
    Color(diff, "light.ambient", a.GetAmbientColor(), b.GetAmbientColor(), 4);
    Color(diff, "light.fogColor", a.GetFogColor(), b.GetFogColor(), 3);
    Field(diff, "light.fogEnable", a, b, &L::GetFogEnable), Field(diff, "light.fogMode", a, b, &L::GetFogMode);
    Field(diff, "light.fogDensity", a, b, &L::GetFogDensity), Field(diff, "light.fogStart", a, b, &L::GetFogStart);
    Field(diff, "light.fogEnd", a, b, &L::GetFogEnd), Field(diff, "light.planes", a, b, &L::GetShadowPlaneCount);
    if (a.GetShadowPlaneCount() > 0)
        Field(diff, "light.shadow", a, b, &L::GetShadowEnable), Field(diff, "light.intensity", a, b, &L::GetShadowIntensity);
    for (int i = 0; i < a.GetShadowPlaneCount() && i < b.GetShadowPlaneCount(); ++i) {
        const std::string path = "light.plane" + std::to_string(i);
        const L::KZeqShadowPlane &x = *a.GetShadowPlane(i), &y = *b.GetShadowPlane(i);
        diff.Check(path + ".enable", x.mEnable, y.mEnable), Vector(diff, path + ".origin", x.mOrigin, y.mOrigin);
        Vector(diff, path + ".normal", x.mNormal, y.mNormal);
    }
    KZeqGlobalTimeSettings& t = *expected.GetGlobalTimeSettings();
    KZeqGlobalTimeSettings& u = *actual.GetGlobalTimeSettings();
    typedef KZeqGlobalTimeSettings T;
    Field(diff, "time.mode", t, u, &T::GetTimeMode), Field(diff, "time.protocol", t, u, &T::GetTimeProtocol);
    Field(diff, "time.snap", t, u, &T::GetSnapOnFrameMode), Field(diff, "time.markers", t, u, &T::GetTimeMarkerCount);
    Field(diff, "time.current", t, u, &T::GetCurrentTimeMarker);
    for (int i = 0; i < t.GetTimeMarkerCount() && i < u.GetTimeMarkerCount(); ++i) {
        const std::string path = "time.marker" + std::to_string(i);
        const T::KZeqTimeMarker &x = *t.GetTimeMarker(i), &y = *u.GetTimeMarker(i);
        diff.Check(path + ".name", x.mName, y.mName), diff.Check(path + ".time", x.mTime, y.mTime);
        diff.Check(path + ".loop", x.mLoop, y.mLoop);
    }
    if (!(diff.mLosses & eZeqLosesCameraSettings)) {
        KZeqGlobalCameraSettings& c = *expected.GetGlobalCameraSettings();
        KZeqGlobalCameraSettings& d = *actual.GetGlobalCameraSettings();
        diff.Check("camera.default", KString(c.GetDefaultCamera()), KString(d.GetDefaultCamera()));
        Field(diff, "camera.viewingMode", c, d, &KZeqGlobalCameraSettings::GetDefaultViewingMode);
    }
}

// Keys of every take but the Default one; names and default index where kept.
void CompareSwitcher(KZeqScene& expected, KZeqScene& actual, ZeqDiff& diff) {
    auto* a = static_cast<KZeqCameraSwitcher*>(expected.GetCameraSwitcher()->GetNodeAttribute());
    auto* b = static_cast<KZeqCameraSwitcher*>(actual.GetCameraSwitcher()->GetNodeAttribute());
    // The default index goes with the names: without names it selects nothing.
    if (!(diff.mLosses & eZeqLosesSwitcherNames) && a->GetCameraNameCount() > 0) {
        diff.Check("switcher.names", a->GetCameraNameCount(), b->GetCameraNameCount());
        for (int i = 0; i < a->GetCameraNameCount() && i < b->GetCameraNameCount(); ++i)
            diff.Check("switcher.name" + std::to_string(i), KString(a->GetCameraName(i)), KString(b->GetCameraName(i)));
        diff.Check("switcher.default", a->GetDefaultCameraIndex(), b->GetDefaultCameraIndex());
    }
    CompareTakes("switcher", *expected.GetCameraSwitcher(), *actual.GetCameraSwitcher(), diff, "", 1);
}

// Gobos by light node name, and which lights share one.
void CompareGobos(KZeqScene& expected, KZeqScene& actual, ZeqDiff& diff) {
    KArrayTemplate<KZeqNode*> a, b;
    expected.GetEntity()->FillNodeArray(a, KZeqNodeAttribute::eLIGHT, false);
    actual.GetEntity()->FillNodeArray(b, KZeqNodeAttribute::eLIGHT, false);
    diff.Check("lights", a.GetCount(), b.GetCount());
    for (int i = 0; i < a.GetCount() && i < b.GetCount(); ++i) {
        KZeqGobo *x = a[i]->GetLight()->GetGobo(), *y = b[i]->GetLight()->GetGobo();
        const std::string path = std::string(a[i]->GetName()) + ".gobo";
        diff.Check(path, x != nullptr, y != nullptr);
        if (!x || !y) continue;
        diff.Check(path + ".name", KString(x->GetName()), KString(y->GetName()));
        diff.Check(path + ".equal", true, *x == *y);
        for (int j = 0; j < i; ++j)
            diff.Check(path + std::to_string(j), a[j]->GetLight()->GetGobo() == x, b[j]->GetLight()->GetGobo() == y);
    }
}

void CompareMarkerSetsAndActors(KZeqScene& expected, KZeqScene& actual, ZeqDiff& diff) {
    diff.Check("markerSets", expected.GetMarkerSetCount(), actual.GetMarkerSetCount());
    for (int i = 0; i < expected.GetMarkerSetCount() && i < actual.GetMarkerSetCount(); ++i) {
        KZeqMarkerSet &a = *expected.GetMarkerSet(i), &b = *actual.GetMarkerSet(i);
        const std::string path = std::string(a.GetName());
        diff.Check(path + ".name", KString(a.GetName()), KString(b.GetName()));
        diff.Check(path + ".links", a.GetMarkerSetLinkCount(), b.GetMarkerSetLinkCount());
        for (int k = 0; k < a.GetMarkerSetLinkCount() && k < b.GetMarkerSetLinkCount(); ++k) {
            KZeqMarkerSetLink x, y;
            EActorBodyPart p = eActorBodyPartFirst, q = eActorBodyPartFirst;
            int l = 0, m = 0;
            a.GetMarkerSetLink(k, x), b.GetMarkerSetLink(k, y), a.GetLocalFromGlobal(k, p, l), b.GetLocalFromGlobal(k, q, m);
            const std::string link = path + ".link" + std::to_string(k);
            // A link without name is written under its node's name.
            diff.Check(link + ".name", x.mName.IsEmpty() ? x.mNode->GetNameWithoutNameSpacePrefix() : x.mName, y.mName);
            diff.Check(link + ".node", KString(x.mNode->GetName()), KString(y.mNode ? y.mNode->GetName() : ""));
            diff.Check(link + ".part", static_cast<int>(p), static_cast<int>(q));
            diff.Check(link + ".oriented", x.mOriented, y.mOriented);
            Vector(diff, link + ".t", x.mTranslationOffset, y.mTranslationOffset);
            Vector(diff, link + ".r", x.mRotationOffset, y.mRotationOffset);
        }
    }
    diff.Check("actors", expected.GetActorCount(), actual.GetActorCount());
    for (int i = 0; i < expected.GetActorCount() && i < actual.GetActorCount(); ++i) {
        KZeqActor &a = *expected.GetActor(i), &b = *actual.GetActor(i);
        const std::string path = std::string(a.GetName());
        diff.Check(path + ".name", KString(a.GetName()), KString(b.GetName()));
        diff.Check(path + ".input", IndexOf(expected, a.GetInputMarkerSet()), IndexOf(actual, b.GetInputMarkerSet()));
        for (int p = 0; p < kActorBodyPartCount; ++p)
            Vector(diff, path + ".scale" + std::to_string(p), a.GetScale(static_cast<EActorBodyPart>(p)),
                   b.GetScale(static_cast<EActorBodyPart>(p)));
    }
}

void ComparePoses(KZeqScene& expected, KZeqScene& actual, ZeqDiff& diff) {
    diff.Check("poses", expected.GetPoseCount(), actual.GetPoseCount());
    for (int i = 0; i < expected.GetPoseCount() && i < actual.GetPoseCount(); ++i) {
        KZeqPose &a = *expected.GetPose(i), &b = *actual.GetPose(i);
        const std::string path = std::string(a.GetName());
        diff.Check(path + ".name", KString(a.GetName()), KString(b.GetName()));
        diff.Check(path + ".type", static_cast<int>(a.GetType()), static_cast<int>(b.GetType()));
        diff.Check(path + ".count", a.GetCount(), b.GetCount());
        for (int k = 0; k < a.GetCount() && k < b.GetCount(); ++k) {
            const std::string entry = path + ".entry" + std::to_string(k);
            diff.Check(entry + ".node", KString(a.GetNodeName(k)), KString(b.GetNodeName(k)));
            diff.Check(entry + ".local", a.IsLocalMatrix(k), b.IsLocalMatrix(k));
            Vector(diff, entry + ".matrix", a.GetMatrix(k), b.GetMatrix(k), 16);
        }
    }
}

}  // namespace zeqiotest

// The scene-wide records both Zeq writers write: the global light settings,
// the global camera and time settings (5.8), and for 6.0 the "Switcher"
// record and the "Version5" block.

#include <string>

#include "base/ktime.h"
#include "content/kzeqcamera.h"
#include "content/kzeqcameraswitcher.h"
#include "content/kzeqglobalcamerasettings.h"
#include "io/kzeqfields.h"
#include "io/kzeqwriterzeq_steps.h"
#include "io/kzeqwriterzeqbase.h"
#include "object/izeqobject.h"
#include "scene/kzeqglobalsettings.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {

// The 5.8 layout keeps the switcher's cameras in no record of its own.
bool KZeqWriterZeqBase::WriteCameraSwitcher(KZeqScene&) { return true; }

// ---- Global light settings ---------------------------------------------------------------------------------

bool KZeqWriterZeqBase::WriteGlobalLightSettings(KZeqScene& scene) {
    WriteAmbientColor(scene);
    WriteFogOption(scene);
    return WriteShadowPlane(scene);
}

bool KZeqWriterZeqBase::WriteAmbientColor(KZeqScene& scene) {
    KZeq& file = *mFile;
    const KZeqColor color = scene.GetGlobalLightSettings()->GetAmbientColor();
    ZeqWriteBlockBegin(file, "AmbientRenderSettings");
    ZeqWriteFieldI(file, "Version", 101);
    ZeqWriteFieldDn(file, "AmbientLightColor", {color.mRed, color.mGreen, color.mBlue, color.mAlpha});
    return ZeqWriteBlockEnd(file);
}

bool KZeqWriterZeqBase::WriteFogOption(KZeqScene& scene) {
    KZeq& file = *mFile;
    const KZeqGlobalLightSettings& light = *scene.GetGlobalLightSettings();
    const KZeqColor color = light.GetFogColor();
    ZeqWriteBlockBegin(file, "FogOptions");
    ZeqWriteFieldI(file, "FlogEnable", light.GetFogEnable() ? 1 : 0);
    ZeqWriteFieldI(file, "FogMode", static_cast<int>(light.GetFogMode()));
    ZeqWriteFieldDn(file, "FogDensity", {light.GetFogDensity()});
    ZeqWriteFieldDn(file, "FogStart", {light.GetFogStart()});
    ZeqWriteFieldDn(file, "FogEnd", {light.GetFogEnd()});
    ZeqWriteFieldDn(file, "FogColor", {color.mRed, color.mGreen, color.mBlue, 1.0});
    return ZeqWriteBlockEnd(file);
}

bool KZeqWriterZeqBase::WriteShadowPlane(KZeqScene& scene) {
    if (scene.GetGlobalLightSettings()->GetShadowPlaneCount() == 0) return true;
    KZeq& file = *mFile;
    ZeqWriteBlockBegin(file, "ShadowPlanes");
    WriteShadowPlaneSection(scene);
    return ZeqWriteBlockEnd(file);
}

bool KZeqWriterZeqBase::WriteShadowPlaneSection(KZeqScene& scene) {
    KZeq& file = *mFile;
    KZeqGlobalLightSettings& light = *scene.GetGlobalLightSettings();
    file.WriteComments("Shadow Planes Section ");
    file.WriteComments(std::string(52, '-').c_str());
    ZeqWriteFieldI(file, "Version", 108);
    ZeqWriteFieldI(file, "Count", light.GetShadowPlaneCount());
    for (int i = 0; i < light.GetShadowPlaneCount(); ++i) {
        const KZeqGlobalLightSettings::KZeqShadowPlane& plane = *light.GetShadowPlane(i);
        file.FieldWriteBegin("Plane");
        for (int k = 0; k < 3; ++k) file.FieldWriteD(plane.mOrigin[k]);
        for (int k = 0; k < 3; ++k) file.FieldWriteD(plane.mNormal[k]);
        file.FieldWriteI(plane.mEnable ? 1 : 0);
        file.FieldWriteEnd();
    }
    ZeqWriteFieldI(file, "UseShadow", light.GetShadowEnable() ? 1 : 0);
    ZeqWriteFieldDn(file, "ShadowIntensity", {light.GetShadowIntensity()});
    return true;
}

// ---- Global camera and time settings -----------------------------------------------------------------------

bool KZeqWriterZeqBase::WriteGlobalCameraAndTimeSettings(KZeqScene& scene) {
    KZeq& file = *mFile;
    KZeqGlobalCameraSettings& cameras = *scene.GetGlobalCameraSettings();
    ZeqWriteBlockBegin(file, "RendererSetting");
    ZeqWriteFieldC(file, "DefaultCamera", cameras.GetDefaultCamera());
    ZeqWriteFieldI(file, "DefaultViewingMode", static_cast<int>(cameras.GetDefaultViewingMode()));
    ZeqWriteBlockEnd(file);

    ZeqWriteBlockBegin(file, "Settings");
    const struct {
        const char* mName;
        KZeqCamera* mCamera;
    } producers[] = {
        {"Producer Perspective", cameras.GetCameraProducerPerspective()},
        {"Producer Top", cameras.GetCameraProducerTop()},
        {"Producer Front", cameras.GetCameraProducerFront()},
        {"Producer Right", cameras.GetCameraProducerRight()},
        {"Producer Left", cameras.GetCameraProducerLeft()},
        {"Producer Back", cameras.GetCameraProducerBack()},
        {"Producer Bottom", cameras.GetCameraProducerBottom()},
    };
    // The node fields come from a carrier node that lives only here: the
    // cameras stay the settings' own.
    if (KZeqNode* carrier = mManager.CreateKZeqNode("")) {
        carrier->SetVisibility(false);
        carrier->SetShadingMode(static_cast<KZeqNode::EShadingMode>(1));
        for (const auto& producer : producers) {
            if (!producer.mCamera) continue;
            ZeqWriteBlockBegin(file, "Camera", producer.mName);
            carrier->SetName(producer.mName);
            carrier->SetNodeAttribute(producer.mCamera);
            WriteKZeqNodeVersion(*carrier);
            WriteKZeqNodeAnimationSettings(*carrier);
            WriteKZeqNodeShading(*carrier);
            WriteKZeqNodeCullingType(*carrier);
            WriteKZeqNodeLimits(*carrier);
            WriteKZeqNodeProperties(*carrier);
            WriteKZeqNodeAnimatedProperties(*carrier);
            WriteKZeqCamera(*producer.mCamera, true);
            ZeqWriteBlockEnd(file);
        }
        carrier->SetNodeAttribute(nullptr);
        mManager.DestroyKZeqNode(carrier, false);
    }
    WriteGlobalTimeSettings(scene);
    return ZeqWriteBlockEnd(file);
}

bool KZeqWriterZeqBase::WriteGlobalTimeSettings(KZeqScene& scene) {
    KZeq& file = *mFile;
    KZeqGlobalTimeSettings& time = *scene.GetGlobalTimeSettings();
    const KTime::ETimeMode mode = time.GetTimeMode();
    ZeqWriteFieldI(file, "TimeMode", KTime_GetOldTimeModeCorrespondance(mode));
    ZeqWriteFieldC(file, "FrameRate", KTime_GetGlobalFrameRateString(mode));
    ZeqWriteFieldI(file, "TimeFormat", static_cast<int>(time.GetTimeProtocol()));
    ZeqWriteFieldI(file, "SnapOnFrames", static_cast<int>(time.GetSnapOnFrameMode()));
    ZeqWriteFieldI(file, "ReferenceTimeIndex", time.GetCurrentTimeMarker());
    for (int i = 0; i < time.GetTimeMarkerCount(); ++i) {
        const KZeqGlobalTimeSettings::KZeqTimeMarker& marker = *time.GetTimeMarker(i);
        ZeqWriteBlockBegin(file, "TimeMarker", marker.mName.Buffer());
        file.FieldWriteBegin("Time") && file.FieldWriteT(marker.mTime) && file.FieldWriteEnd();
        ZeqWriteFieldI(file, "Loop", marker.mLoop ? 1 : 0);
        ZeqWriteBlockEnd(file);
    }
    return true;
}

// ---- Steps ----------------------------------------------------------------------------------------------

bool ZeqWriteGlobalSettings(KZeqWriterZeqBase& writer, KZeqScene& scene) {
    writer.WriteGlobalLightSettings(scene);
    return writer.WriteGlobalCameraAndTimeSettings(scene);
}

bool ZeqWrite58CameraSwitcher(KZeqWriterZeqBase& writer, KZeqScene& scene) { return writer.WriteCameraSwitcher(scene); }

// Version 6: the switcher's names and default index.
bool ZeqWriteSwitcher(KZeqWriterZeqBase& writer, KZeqScene& scene) {
    KZeqNode* node = scene.GetCameraSwitcher();
    KZeqNodeAttribute* attribute = node ? node->GetNodeAttribute() : nullptr;
    if (!attribute || attribute->GetAttributeType() != KZeqNodeAttribute::eCAMERA_SWITCHER) return true;
    auto& switcher = static_cast<KZeqCameraSwitcher&>(*attribute);
    KZeq& file = *writer.GetZeqObject();
    ZeqWriteBlockBegin(file, "Switcher");
    ZeqWriteFieldI(file, "CameraId", switcher.GetDefaultCameraIndex());
    file.FieldWriteBegin("CameraIndexName");
    for (int i = 0; i < switcher.GetCameraNameCount(); ++i) file.FieldWriteC(switcher.GetCameraName(static_cast<unsigned>(i)));
    file.FieldWriteEnd();
    return ZeqWriteBlockEnd(file);
}

// Version 6: the light records and the time fields of "Settings".
bool ZeqWriteVersion5Block(KZeqWriterZeqBase& writer, KZeqScene& scene) {
    KZeq& file = *writer.GetZeqObject();
    ZeqWriteBlockBegin(file, "Version5");
    writer.WriteGlobalLightSettings(scene);
    ZeqWriteBlockBegin(file, "Settings");
    writer.WriteGlobalTimeSettings(scene);
    ZeqWriteBlockEnd(file);
    return ZeqWriteBlockEnd(file);
}

}  // namespace zeqsdk_400

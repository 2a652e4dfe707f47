// The scene-wide records of a Zeq file: the camera switcher's camera names
// and the renumbering of its indices, the global light settings and the
// global camera and time settings.

#include <cmath>
#include <cstring>
#include <string>
#include <unordered_map>

#include "base/ktime.h"
#include "content/kzeqcamera.h"
#include "content/kzeqcameraswitcher.h"
#include "content/kzeqglobalcamerasettings.h"
#include "fcurve/kfcurve.h"
#include "io/kzeqreaderzeq.h"
#include "io/kzeqreaderzeq_steps.h"
#include "object/izeqobject.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqglobalsettings.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {

namespace {

KZeqCameraSwitcher* SwitcherOf(KZeqScene& scene) {
    KZeqNode* node = scene.GetCameraSwitcher();
    KZeqNodeAttribute* attribute = node ? node->GetNodeAttribute() : nullptr;
    return attribute && attribute->GetAttributeType() == KZeqNodeAttribute::eCAMERA_SWITCHER
               ? static_cast<KZeqCameraSwitcher*>(attribute)
               : nullptr;
}

// A curve value as a camera index, renumbered through the map when it names
// a listed camera that has a node; any other value stays.
bool Renumber(float& value, const std::vector<int>& map) {
    const double index = std::trunc(static_cast<double>(value));
    if (!(index >= 1.0 && index <= static_cast<double>(map.size()))) return false;
    const int target = map[static_cast<std::size_t>(index) - 1];
    if (target < 0) return false;
    value = static_cast<float>(target);
    return true;
}

// The time fields of the open "Settings" block.
void ReadTimeFields(KZeq& file, KZeqGlobalTimeSettings& time) {
    const KString rate = file.FieldReadC("FrameRate", "0.0");
    if (rate != "0.0") {
        time.SetTimeMode(KTime_GetTimeModeFromFrameRate(rate.Buffer()));
    } else if (file.FieldReadBegin("TimeMode")) {
        time.SetTimeMode(KTime_GetTimeModeFromOldValue(file.FieldReadI()));
        file.FieldReadEnd();
    }
    time.SetTimeProtocol(
        static_cast<KTime::ETimeProtocol>(file.FieldReadI("TimeFormat", static_cast<int>(time.GetTimeProtocol()))));
    time.SetSnapOnFrameMode(static_cast<KZeqGlobalTimeSettings::ESnapOnFrameMode>(
        file.FieldReadI("SnapOnFrames", static_cast<int>(time.GetSnapOnFrameMode()))));
    const int markers = file.FieldGetInstanceCount("TimeMarker");
    for (int i = 0; i < markers; ++i) {
        if (!file.FieldReadBegin("TimeMarker")) break;
        KZeqGlobalTimeSettings::KZeqTimeMarker marker;
        marker.mName = file.FieldReadC();
        if (file.FieldReadBlockBegin()) {
            marker.mTime = file.FieldReadT("Time");
            marker.mLoop = file.FieldReadI("Loop", 0) != 0;
            file.FieldReadBlockEnd();
            time.AddTimeMarker(marker);
        }
        file.FieldReadEnd();
    }
    if (time.GetTimeMarkerCount() > 0)
        time.SetCurrentTimeMarker(file.FieldReadI("ReferenceTimeIndex", time.GetCurrentTimeMarker()));
}

// The camera record of a producer camera, through the camera row of the
// attribute table when that row reads fields.
void ReadProducerCamera(KZeqReaderZeq& reader, KZeqCamera& camera) {
    for (int i = 0; i < kZeqAttributeKindCount; ++i) {
        const ZeqAttributeKind& kind = kZeqAttributeKinds[i];
        if (kind.mType && std::strcmp(kind.mType, "Camera") == 0) {
            if (kind.mRead) kind.mRead(reader, camera);
            return;
        }
    }
}

}  // namespace

// ---- Camera switcher ---------------------------------------------------------------------------------

bool KZeqReaderZeq::ReadCameraSwitcher(KZeqScene& scene) {
    KZeq& file = *mFile;
    if (!file.FieldReadBegin("Switcher")) return true;
    KZeqCameraSwitcher* switcher = SwitcherOf(scene);
    if (file.FieldReadBlockBegin()) {
        const int index = file.FieldReadI("CameraId", 0);
        if (switcher) {
            switcher->SetDefaultCameraIndex(index);
            switcher->RemoveAllCameraNames();
        }
        if (file.FieldReadBegin("CameraIndexName")) {
            for (int i = file.FieldReadGetCount(); i > 0 && switcher; --i) switcher->AddCameraName(file.FieldReadC().Buffer());
            file.FieldReadEnd();
        }
        file.FieldReadBlockEnd();
    }
    file.FieldReadEnd();
    return true;
}

bool KZeqReaderZeq::ReorderCameraSwitcherIndices(KZeqScene& scene) {
    KZeqCameraSwitcher* switcher = SwitcherOf(scene);
    const int count = switcher ? switcher->GetCameraNameCount() : 0;
    if (count == 0 || !scene.GetEntity()) return true;
    KArrayTemplate<KZeqNode*> cameras;
    scene.GetEntity()->FillNodeArray(cameras, KZeqNodeAttribute::eCAMERA, true);
    // The first node of each name, then each listed name's position.
    std::unordered_map<std::string, int> positions;
    for (int i = 0; i < cameras.GetCount(); ++i) positions.emplace(cameras[i]->GetName(), i + 1);
    std::vector<int> map(static_cast<std::size_t>(count), -1);
    for (int i = 0; i < count; ++i) {
        const auto found = positions.find(switcher->GetCameraName(static_cast<unsigned>(i)));
        if (found != positions.end()) map[static_cast<std::size_t>(i)] = found->second;
    }
    KZeqNode& node = *scene.GetCameraSwitcher();
    for (int t = 0; t < node.GetTakeNodeCount(); ++t) {
        KFCurve* curve = node.GetTakeNode(t) ? node.GetTakeNode(t)->GetCameraIndex() : nullptr;
        if (!curve) continue;
        float value = curve->GetValue();
        if (Renumber(value, map)) curve->SetValue(value);
        curve->KeyModifyBegin();
        for (int k = 0; k < curve->KeyGetCount(); ++k) {
            KFCurveKey& key = *curve->KeyGetPtr(k);
            value = key.GetValue();
            if (Renumber(value, map)) key.SetValue(value);
        }
        curve->KeyModifyEnd();
    }
    return true;
}

// ---- Global light settings -----------------------------------------------------------------------------

bool KZeqReaderZeq::ReadGlobalLightSettings(KZeqScene& scene) {
    scene.GetGlobalLightSettings()->RestoreDefaultSettings();
    ReadAmbientColor(scene);
    ReadFogOption(scene);
    return ReadShadowPlane(scene);
}

// Components the file does not give keep the restored default.
bool KZeqReaderZeq::ReadAmbientColor(KZeqScene& scene) {
    KZeq& file = *mFile;
    if (!file.FieldReadBegin("AmbientRenderSettings")) return true;
    KZeqGlobalLightSettings& light = *scene.GetGlobalLightSettings();
    KZeqColor color = light.GetAmbientColor();
    double values[4] = {color.mRed, color.mGreen, color.mBlue, color.mAlpha};
    if (file.FieldReadBlockBegin()) {
        file.FieldReadDn("AmbientLightColor", values, nullptr, 4);
        file.FieldReadBlockEnd();
    }
    file.FieldReadEnd();
    light.SetAmbientColor(KZeqColor(values[0], values[1], values[2], values[3]));
    return true;
}

bool KZeqReaderZeq::ReadFogOption(KZeqScene& scene) {
    KZeq& file = *mFile;
    if (!file.FieldReadBegin("FogOptions")) return true;
    KZeqGlobalLightSettings& light = *scene.GetGlobalLightSettings();
    if (file.FieldReadBlockBegin()) {
        light.SetFogEnable(file.FieldReadI("FlogEnable", 0) != 0);
        light.SetFogMode(static_cast<KZeqGlobalLightSettings::EFogMode>(file.FieldReadI("FogMode", 0)));
        light.SetFogDensity(file.FieldReadD("FogDensity", 0.0));
        const double start = file.FieldReadD("FogStart", 0.0);
        const double end = file.FieldReadD("FogEnd", 0.0);
        // Each setter limits against the other's current value: a start past
        // the current end would be cut to it before the new end is known.
        if (start > light.GetFogEnd()) light.SetFogEnd(end);
        light.SetFogStart(start);
        light.SetFogEnd(end);
        const KZeqColor old = light.GetFogColor();
        double values[4] = {old.mRed, old.mGreen, old.mBlue, 1.0};
        if (file.FieldReadDn("FogColor", values, nullptr, 4))
            light.SetFogColor(KZeqColor(values[0], values[1], values[2], 1.0));
        file.FieldReadBlockEnd();
    }
    file.FieldReadEnd();
    return true;
}

bool KZeqReaderZeq::ReadShadowPlane(KZeqScene& scene) {
    KZeq& file = *mFile;
    KZeqGlobalLightSettings& light = *scene.GetGlobalLightSettings();
    light.RemoveAllShadowPlanes();
    if (!file.FieldReadBegin("ShadowPlanes")) return true;
    if (file.FieldReadBlockBegin()) {
        const int count = file.FieldReadI("Count", 0);
        if (count > 0) {
            // Only the planes present are visited, whatever the count says.
            const int present = file.FieldGetInstanceCount("Plane");
            for (int i = 0; i < count && i < present; ++i) {
                if (!file.FieldReadBegin("Plane")) break;
                KZeqGlobalLightSettings::KZeqShadowPlane plane;
                double values[6] = {0.0, 0.0, 0.0, 0.0, 1.0, 0.0};
                file.FieldReadDn(values, 6);
                plane.mOrigin = KZeqVector4(values[0], values[1], values[2], 0.0);
                plane.mNormal = KZeqVector4(values[3], values[4], values[5], 0.0);
                plane.mEnable = file.FieldReadGetRemain() > 0 ? file.FieldReadI() != 0 : true;
                light.AddShadowPlane(plane);
                file.FieldReadEnd();
            }
            light.SetShadowEnable(file.FieldReadI("UseShadow", 0) != 0);
            light.SetShadowIntensity(file.FieldReadD("ShadowIntensity", 0.0));
        }
        file.FieldReadBlockEnd();
    }
    file.FieldReadEnd();
    return true;
}

// ---- Global camera and time settings ---------------------------------------------------------------------

bool KZeqReaderZeq::ReadGlobalCameraAndTimeSettings(KZeqScene& scene) {
    KZeq& file = *mFile;
    KZeqGlobalCameraSettings& cameras = *scene.GetGlobalCameraSettings();
    KZeqGlobalTimeSettings& time = *scene.GetGlobalTimeSettings();
    cameras.RestoreDefaultSettings();
    time.RestoreDefaultSettings();
    if (file.FieldReadBegin("RendererSetting")) {
        if (file.FieldReadBlockBegin()) {
            const KString name = file.FieldReadC("DefaultCamera", cameras.GetDefaultCamera());
            cameras.SetDefaultCamera(ConvertCameraName(name.Buffer()).Buffer());
            cameras.SetDefaultViewingMode(static_cast<KZeqGlobalCameraSettings::EViewingMode>(
                file.FieldReadI("DefaultViewingMode", static_cast<int>(cameras.GetDefaultViewingMode()))));
            file.FieldReadBlockEnd();
        }
        file.FieldReadEnd();
    }
    if (!file.FieldReadBegin("Settings")) return true;
    if (file.FieldReadBlockBegin()) {
        struct Producer {
            const char* mName;
            KZeqCamera* mCamera;
        };
        const Producer producers[] = {
            {"Producer Perspective", cameras.GetCameraProducerPerspective()},
            {"Producer Top", cameras.GetCameraProducerTop()},
            {"Producer Bottom", cameras.GetCameraProducerBottom()},
            {"Producer Front", cameras.GetCameraProducerFront()},
            {"Producer Back", cameras.GetCameraProducerBack()},
            {"Producer Right", cameras.GetCameraProducerRight()},
            {"Producer Left", cameras.GetCameraProducerLeft()},
        };
        const int count = file.FieldGetInstanceCount("Camera");
        for (int i = 0; i < count; ++i) {
            if (!file.FieldReadBegin("Camera")) break;
            const KString name = ConvertCameraName(file.FieldReadC().Buffer());
            if (file.FieldReadBlockBegin()) {
                for (const Producer& producer : producers) {
                    if (name != producer.mName) continue;
                    if (producer.mCamera) ReadProducerCamera(*this, *producer.mCamera);
                    break;
                }
                file.FieldReadBlockEnd();
            }
            file.FieldReadEnd();
        }
        ReadTimeFields(file, time);
        file.FieldReadBlockEnd();
    }
    file.FieldReadEnd();
    return true;
}

bool KZeqReaderZeq::ReadGlobalTimeSettings(KZeqScene& scene) {
    KZeq& file = *mFile;
    KZeqGlobalTimeSettings& time = *scene.GetGlobalTimeSettings();
    time.RestoreDefaultSettings();
    if (!file.FieldReadBegin("Settings")) return true;
    if (file.FieldReadBlockBegin()) {
        ReadTimeFields(file, time);
        file.FieldReadBlockEnd();
    }
    file.FieldReadEnd();
    return true;
}

// ---- Steps -------------------------------------------------------------------------------------------------

bool ZeqReadCameraSwitcher(KZeqReaderZeq& reader, KZeqScene& scene) { return reader.ReadCameraSwitcher(scene); }
bool ZeqReorderCameraSwitcherIndices(KZeqReaderZeq& reader, KZeqScene& scene) {
    return reader.ReorderCameraSwitcherIndices(scene);
}
bool ZeqReadGlobalLightSettings(KZeqReaderZeq& reader, KZeqScene& scene) {
    return reader.ReadGlobalLightSettings(scene);
}
bool ZeqReadGlobalCameraAndTimeSettings(KZeqReaderZeq& reader, KZeqScene& scene) {
    return reader.ReadGlobalCameraAndTimeSettings(scene);
}
bool ZeqReadGlobalTimeSettings(KZeqReaderZeq& reader, KZeqScene& scene) { return reader.ReadGlobalTimeSettings(scene); }

}  // namespace zeqsdk_400

// The camera and light records of both writers. The 5.8 record holds every
// camera setting; the 6.0 one only what the property block does not carry.

#include "content/kzeqcamera.h"
#include "content/kzeqcameraswitcher.h"
#include "content/kzeqlight.h"
#include "io/kzeqfields.h"
#include "io/kzeqwriterzeq_steps.h"
#include "io/kzeqwriterzeqbase.h"
#include "object/izeqobject.h"
#include "scene/kzeqnode.h"

namespace zeqsdk_400 {

extern const char* const kZeqCameraFormatTexts[];
extern const int kZeqCameraFormatTextCount;
extern const char* const kZeqApertureFormatTexts[];
extern const int kZeqApertureFormatTextCount;

namespace {

bool WriteFieldD(KZeq& file, const char* name, double value) {
    return file.FieldWriteBegin(name) && file.FieldWriteD(value) && file.FieldWriteEnd();
}

bool WriteFieldDn(KZeq& file, const char* name, std::initializer_list<double> values) {
    bool ok = file.FieldWriteBegin(name);
    for (double value : values) ok = ok && file.FieldWriteD(value);
    return ok && file.FieldWriteEnd();
}

bool WritePoint(KZeq& file, const char* name, const KZeqVector4& point) {
    return WriteFieldDn(file, name, {point[0], point[1], point[2]});
}

bool WriteColor(KZeq& file, const char* name, const KZeqColor& color) {
    return WriteFieldDn(file, name, {color.mRed, color.mGreen, color.mBlue});
}

void WriteTypeFields(KZeq& file, const char* type) {
    ZeqWriteFieldC(file, "Type", type);
    ZeqWriteFieldC(file, "TypeFlags", type);
}

// A custom format is written as a text of no format, so that it reads back custom.
const char* FormatText(int value, const char* const* texts, int count) {
    return value > 0 && value < count && texts[value] ? texts[value] : "Custom";
}

}  // namespace

bool KZeqWriterZeqBase::WriteKZeqCamera(KZeqCamera& camera, bool typeFlags) {
    KZeq& file = *mFile;
    if (typeFlags) ZeqWriteFieldC(file, "TypeFlags", "Camera");
    if (!mFile->IsBeforeVersion6()) {
        ZeqWriteFieldI(file, "GeometryVersion", 124);
        WritePoint(file, "Position", camera.GetPosition());
        WritePoint(file, "Up", camera.GetUpVector());
        WritePoint(file, "LookAt", camera.GetDefaultCameraInterestPosition());
        ZeqWriteFieldI(file, "ShowInfoOnMoving", camera.GetShowInfoOnMoving() ? 1 : 0);
        ZeqWriteFieldI(file, "ShowAudio", camera.GetShowAudio() ? 1 : 0);
        return WriteColor(file, "AudioColor", camera.GetAudioColor());
    }
    KZeqNode* node = camera.GetNode();
    ZeqWriteFieldC(file, "Name", node ? node->GetName() : "");
    ZeqWriteFieldI(file, "Version", 220);
    WritePoint(file, "Position", camera.GetPosition());
    WritePoint(file, "Up", camera.GetUpVector());
    WritePoint(file, "LookAt", camera.GetDefaultCameraInterestPosition());
    WriteFieldD(file, "Roll", camera.GetRoll());
    ZeqWriteFieldI(file, "Type", camera.GetProjectionType());
    WriteFieldD(file, "AspectW", camera.GetAspectWidth());
    WriteFieldD(file, "AspectH", camera.GetAspectHeight());
    ZeqWriteFieldI(file, "AspectType", camera.GetAspectRatioMode());
    WriteFieldD(file, "PixelRatio", camera.GetPixelRatio());
    const int format = camera.GetFormat();
    ZeqWriteFieldC(file, "FormatName", FormatText(format, kZeqCameraFormatTexts, kZeqCameraFormatTextCount));
    ZeqWriteFieldI(file, "CameraLock", camera.GetMouseLock() ? 1 : 0);
    ZeqWriteFieldI(file, "ApertureMode", camera.GetApertureMode());
    WriteFieldDn(file, "CameraAperture", {camera.GetApertureWidth(), camera.GetApertureHeight()});
    WriteFieldD(file, "SqueezeRatio", camera.GetSqueezeRatio());
    ZeqWriteFieldC(file, "ApertureFormat",
                   FormatText(camera.GetApertureFormat(), kZeqApertureFormatTexts, kZeqApertureFormatTextCount));
    WriteFieldD(file, "NearPlane", camera.GetNearPlane());
    WriteFieldD(file, "FarPlane", camera.GetFarPlane());
    WriteFieldD(file, "Aperture", camera.GetAngleOfView());
    WriteFieldD(file, "FocalLength", camera.GetFocalLength());
    WriteFieldD(file, "FieldOfViewXProperty", camera.GetDefaultFieldOfViewX());
    WriteFieldD(file, "FieldOfViewYProperty", camera.GetDefaultFieldOfViewY());
    WriteFieldD(file, "OpticalCenterXProperty", camera.GetDefaultOpticalCenterX());
    WriteFieldD(file, "OpticalCenterYProperty", camera.GetDefaultOpticalCenterY());
    WriteFieldD(file, "TurnTable", camera.GetTurnTable());
    ZeqWriteFieldC(file, "Media", camera.GetBackgroundMediaName());
    ZeqWriteFieldI(file, "ViewFrustumPlane", camera.GetBackgroundDisplayMode());
    ZeqWriteFieldI(file, "BackgroundMode", camera.GetBackgroundDrawingMode());
    ZeqWriteFieldI(file, "ForegroundTransparent", camera.GetForegroundMatteThresholdEnable() ? 1 : 0);
    WriteFieldD(file, "BackgroundTreshold", camera.GetForegroundMatteThreshold());
    ZeqWriteFieldI(file, "DisplayMode", static_cast<int>(camera.GetBackgroundPlacementOptions()));
    WriteFieldD(file, "ViewFrustumPlaneDistance", camera.GetBackgroundDistance());
    ZeqWriteFieldI(file, "ViewFrustumPlaneDistanceMode", camera.GetBackgroundDistanceMode());
    ZeqWriteFieldI(file, "ViewLookAt", camera.GetViewCameraInterest() ? 1 : 0);
    ZeqWriteFieldI(file, "ViewFrustum", camera.GetViewNearFarPlanes() ? 1 : 0);
    ZeqWriteFieldI(file, "ShowGrid", camera.GetShowGrid() ? 1 : 0);
    ZeqWriteFieldI(file, "ShowAzimut", camera.GetShowAxis() ? 1 : 0);
    ZeqWriteFieldI(file, "ShowName", camera.GetShowName() ? 1 : 0);
    ZeqWriteFieldI(file, "ShowInfoOnMoving", camera.GetShowInfoOnMoving() ? 1 : 0);
    ZeqWriteFieldI(file, "ShowTimeCode", camera.GetShowTimeCode() ? 1 : 0);
    ZeqWriteFieldI(file, "DisplaySafeArea", camera.GetDisplaySafeArea() ? 1 : 0);
    ZeqWriteFieldI(file, "SafeAreaStyle", camera.GetSafeAreaStyle());
    ZeqWriteFieldI(file, "DisplaySafeAreaOnRender", camera.GetDisplaySafeAreaOnRender() ? 1 : 0);
    ZeqWriteFieldI(file, "ShowAudio", camera.GetShowAudio() ? 1 : 0);
    WriteColor(file, "BackGroundColor", camera.GetBackgroundColor());
    WriteColor(file, "AudioColor", camera.GetAudioColor());
    ZeqWriteFieldI(file, "UseFrameColor", camera.GetUseFrameColor() ? 1 : 0);
    WriteColor(file, "FrameColor", camera.GetFrameColor());
    ZeqWriteBlockBegin(file, "CameraAndLens");
    file.FieldWriteBegin("DepthOfField");
    file.FieldWriteI(camera.GetUseDepthOfField() ? 1 : 0), file.FieldWriteI(camera.GetFocusDistanceSource());
    file.FieldWriteD(camera.GetFocusAngle()), file.FieldWriteD(camera.GetSpecificDistance());
    file.FieldWriteEnd();
    file.FieldWriteBegin("Antialiasing");
    file.FieldWriteI(camera.GetUseAntialiasing() ? 1 : 0), file.FieldWriteI(camera.GetAntialiasingMethod());
    file.FieldWriteD(camera.GetAntialiasingIntensity());
    file.FieldWriteEnd();
    file.FieldWriteBegin("OverSampling");
    file.FieldWriteI(camera.GetNumberOfSamples()), file.FieldWriteI(camera.GetSamplingType());
    file.FieldWriteI(camera.GetUseAccumulationBuffer() ? 1 : 0);
    file.FieldWriteEnd();
    ZeqWriteFieldI(file, "UseOverSamplingTime", camera.GetRenderOptionsUsageTime());
    return ZeqWriteBlockEnd(file);
}

bool KZeqWriterZeqBase::WriteKZeqLight(KZeqLight& light) {
    KZeq& file = *mFile;
    WriteTypeFields(file, "Light");
    ZeqWriteFieldI(file, "GeometryVersion", 123);
    ZeqWriteFieldI(file, "LightTypeVersion", 202);
    ZeqWriteFieldI(file, "LightType", light.GetLightType());
    ZeqWriteFieldI(file, "CastLight", light.GetCastLight() ? 1 : 0);
    KZeqColor color;
    WriteColor(file, "Color", light.GetDefaultColor(color));
    WriteFieldD(file, "Intensity", light.GetDefaultIntensity());
    WriteFieldD(file, "ConeAngle", light.GetDefaultConeAngle());
    return WriteFieldD(file, "Fog", light.GetDefaultFog());
}

// No "Type": readers take the switcher's cameras from the "Switcher" record.
bool KZeqWriterZeqBase::WriteKZeqCameraSwitcher(KZeqCameraSwitcher& switcher) {
    KZeq& file = *mFile;
    KZeqNode* node = switcher.GetNode();
    // Camera indices count from 1: index k names the k-th camera of the list.
    const int index = switcher.GetDefaultCameraIndex();
    const char* camera = index >= 1 ? switcher.GetCameraName(static_cast<unsigned int>(index - 1)) : nullptr;
    ZeqWriteFieldI(file, "AnimationMode", 0);
    ZeqWriteFieldI(file, "Version", 101);
    ZeqWriteFieldC(file, "Name", node ? node->GetName() : "");
    ZeqWriteFieldI(file, "CameraId", index);
    return ZeqWriteFieldC(file, "CameraName", camera ? camera : "");
}

bool ZeqWriteCameraSwitcherAttribute(KZeqWriterZeqBase& writer, KZeqNode& node) {
    KZeqCameraSwitcher* switcher = node.GetCameraSwitcher();
    return switcher ? writer.WriteKZeqCameraSwitcher(*switcher) : writer.WriteKZeqNull(nullptr);
}

bool ZeqWriteCameraAttribute(KZeqWriterZeqBase& writer, KZeqNode& node) {
    KZeqCamera* camera = node.GetCamera();
    if (!camera) return writer.WriteKZeqNull(nullptr);
    WriteTypeFields(*writer.GetZeqObject(), "Camera");
    return writer.WriteKZeqCamera(*camera, false);
}

bool ZeqWriteLightAttribute(KZeqWriterZeqBase& writer, KZeqNode& node) {
    KZeqLight* light = node.GetLight();
    return light ? writer.WriteKZeqLight(*light) : writer.WriteKZeqNull(nullptr);
}

}  // namespace zeqsdk_400

// The camera and light records. Before version 6 every camera setting is a
// field of the record; from version 6 most travel as node properties and
// the record keeps the position, up vector, interest and a few display
// fields. Lights carry their colour, intensity, cone and fog from layout 202.

#include "content/kzeqcamera.h"
#include "content/kzeqlight.h"
#include "fileio/kzeq.h"
#include "io/kzeqreaderzeq.h"
#include "io/kzeqreaderzeq_steps.h"
#include "object/izeqobject.h"

namespace zeqsdk_400 {

// Texts of the camera formats, indexed by value; null for values without text.
extern const char* const kZeqCameraFormatTexts[] = {nullptr, "D1 NTSC", "NTSC",   "PAL",     "D1 PAL",     "HD",
                                             "640x480", "320x200", "320x240", "128x128", "Full Screen"};
extern const int kZeqCameraFormatTextCount = 11;
extern const char* const kZeqApertureFormatTexts[] = {nullptr,
                                               "16mm Theatrical",
                                               "Super 16mm",
                                               "35mm Academy",
                                               "35mm TV Projection",
                                               "35mm Full Aperture",
                                               "35mm 1.85 Projection",
                                               "35mm Anamorphic",
                                               "70mm Projection",
                                               "VistaVision",
                                               "Dynavision",
                                               "Imax"};
extern const int kZeqApertureFormatTextCount = 12;

namespace {

int FindText(const KString& text, const char* const* texts, int count, int missing) {
    for (int i = 0; i < count; ++i)
        if (texts[i] && text.Compare(texts[i]) == 0) return i;
    return missing;
}

bool ReadFlag(KZeq& file, const char* name, bool missing) { return file.FieldReadI(name, missing ? 1 : 0) != 0; }

KZeqVector4 ReadPoint(KZeq& file, const char* name, const KZeqVector4& current) {
    double values[3] = {current[0], current[1], current[2]};
    if (!file.FieldReadDn(name, values, nullptr, 3)) return current;
    return KZeqVector4(values[0], values[1], values[2], 1.0);
}

KZeqColor ReadColor(KZeq& file, const char* name, double r, double g, double b) {
    double values[3];
    const double missing[3] = {r, g, b};
    file.FieldReadDn(name, values, missing, 3);
    return KZeqColor(values[0], values[1], values[2], 1.0);
}

// A one-value field applied only when present.
template <class Set>
void ReadIfPresent(KZeq& file, const char* name, Set set) {
    if (!file.FieldReadBegin(name)) return;
    set(file.FieldReadD());
    file.FieldReadEnd();
}

void ReadCameraAndLens(KZeq& file, KZeqCamera& camera) {
    if (!file.FieldReadBegin("CameraAndLens")) return;
    if (!file.FieldReadBlockBegin()) {
        file.FieldReadEnd();
        return;
    }
    if (file.FieldReadBegin("DepthOfField")) {
        camera.SetUseDepthOfField(file.FieldReadI() != 0);
        camera.SetFocusDistanceSource(static_cast<KZeqCamera::ECameraFocusDistanceSource>(file.FieldReadI()));
        camera.SetFocusAngle(file.FieldReadD());
        camera.SetSpecificDistance(file.FieldReadD());
        file.FieldReadEnd();
    }
    if (file.FieldReadBegin("Antialiasing")) {
        camera.SetUseAntialiasing(file.FieldReadI() != 0);
        camera.SetAntialiasingMethod(static_cast<KZeqCamera::ECameraAntialiasingMethod>(file.FieldReadI()));
        camera.SetAntialiasingIntensity(file.FieldReadD());
        file.FieldReadEnd();
    }
    if (file.FieldReadBegin("OverSampling")) {
        camera.SetNumberOfSamples(file.FieldReadI());
        camera.SetSamplingType(static_cast<KZeqCamera::ECameraSamplingType>(file.FieldReadI()));
        camera.SetUseAccumulationBuffer(file.FieldReadI() != 0);
        file.FieldReadEnd();
    }
    camera.SetRenderOptionsUsageTime(
        static_cast<KZeqCamera::ECameraRenderOptionsUsageTime>(file.FieldReadI("UseOverSamplingTime", 1)));
    file.FieldReadBlockEnd();
    file.FieldReadEnd();
}

// The settings only files before version 6 keep in the record, in the
// order their setters must run (formats after the sizes they fix).
void ReadCameraBefore6(KZeqReaderZeq& reader, KZeq& file, KZeqCamera& camera, int version) {
    camera.SetRoll(file.FieldReadD("Roll", 0.0));
    camera.SetProjectionType(static_cast<KZeqCamera::ECameraProjectionType>(file.FieldReadI("Type", 0)));
    const double width = version < 117 ? file.FieldReadI("AspectW", 0) : file.FieldReadD("AspectW", 0.0);
    const double height = version < 117 ? file.FieldReadI("AspectH", 0) : file.FieldReadD("AspectH", 0.0);
    camera.SetAspect(static_cast<KZeqCamera::ECameraAspectRatioMode>(file.FieldReadI("AspectType", 0)), width, height);
    camera.SetPixelRatio(file.FieldReadD("PixelRatio", 1.0));
    camera.SetFormat(static_cast<KZeqCamera::ECameraFormat>(
        FindText(file.FieldReadC("FormatName", ""), kZeqCameraFormatTexts, kZeqCameraFormatTextCount, 0)));
    camera.SetMouseLock(ReadFlag(file, "CameraLock", false));
    camera.SetApertureMode(static_cast<KZeqCamera::ECameraApertureMode>(file.FieldReadI("ApertureMode", 0)));
    if (file.FieldReadBegin("CameraAperture")) {
        camera.SetApertureWidth(file.FieldReadD());
        camera.SetApertureHeight(file.FieldReadD());
        file.FieldReadEnd();
    }
    camera.SetSqueezeRatio(file.FieldReadD("SqueezeRatio", 0.0));
    const KString aperture = file.FieldReadC("ApertureFormat", "");
    camera.SetApertureFormat(static_cast<KZeqCamera::ECameraApertureFormat>(
        aperture.IsEmpty() ? 4 : FindText(aperture, kZeqApertureFormatTexts, kZeqApertureFormatTextCount, 0)));
    camera.SetNearPlane(file.FieldReadD("NearPlane", 10.0));
    camera.SetFarPlane(file.FieldReadD("FarPlane", 4000.0));
    if (version < 210)
        camera.SetAngleOfView(file.FieldReadD("Aperture", 0.0));
    else
        camera.SetFocalLength(file.FieldReadD("FocalLength", 35.0));
    ReadIfPresent(file, "FieldOfViewXProperty", [&](double v) { camera.SetDefaultFieldOfViewX(v); });
    ReadIfPresent(file, "FieldOfViewYProperty", [&](double v) { camera.SetDefaultFieldOfViewY(v); });
    ReadIfPresent(file, "OpticalCenterXProperty", [&](double v) { camera.SetDefaultOpticalCenterX(v); });
    ReadIfPresent(file, "OpticalCenterYProperty", [&](double v) { camera.SetDefaultOpticalCenterY(v); });
    ReadIfPresent(file, "TurnTable", [&](double v) { camera.SetTurnTable(v); });
    if (version < 200) {
        for (const char* name : {"BackgroundTexture", "VideoClipTexture"}) {
            if (!file.FieldReadBegin(name)) continue;
            camera.SetBackgroundFileName(file.FieldReadC().Buffer());
            file.FieldReadEnd();
        }
        const KString background = camera.GetBackgroundFileName() ? camera.GetBackgroundFileName() : "";
        if (!background.IsEmpty())
            reader.GetCameraBackgroundSet().Add(background.Buffer(), reinterpret_cast<kReference>(&camera));
    } else {
        camera.SetBackgroundMediaName(file.FieldReadC("Media", "").Buffer());
    }
    camera.SetBackgroundDisplayMode(
        static_cast<KZeqCamera::ECameraBackgroundDisplayMode>(file.FieldReadI("ViewFrustumPlane", 2)));
    camera.SetBackgroundDrawingMode(
        static_cast<KZeqCamera::ECameraBackgroundDrawingMode>(file.FieldReadI("BackgroundMode", 0)));
    camera.SetForegroundMatteThresholdEnable(ReadFlag(file, "ForegroundTransparent", true));
    camera.SetForegroundMatteThreshold(file.FieldReadD("BackgroundTreshold", 0.5));
    camera.SetBackgroundPlacementOptions(static_cast<unsigned int>(file.FieldReadI("DisplayMode", 6)));
    camera.SetBackgroundDistance(file.FieldReadD("ViewFrustumPlaneDistance", 100.0));
    camera.SetBackgroundDistanceMode(
        static_cast<KZeqCamera::ECameraBackgroundDistanceMode>(file.FieldReadI("ViewFrustumPlaneDistanceMode", 0)));
    camera.SetViewCameraInterest(ReadFlag(file, "ViewLookAt", true));
    camera.SetViewNearFarPlanes(ReadFlag(file, "ViewFrustum", false));
    camera.SetShowGrid(ReadFlag(file, "ShowGrid", true));
    camera.SetShowAxis(ReadFlag(file, "ShowAzimut", true));
    camera.SetShowName(ReadFlag(file, "ShowName", true));
    camera.SetShowTimeCode(ReadFlag(file, "ShowTimeCode", false));
    camera.SetDisplaySafeArea(ReadFlag(file, "DisplaySafeArea", false));
    camera.SetSafeAreaStyle(static_cast<KZeqCamera::ECameraSafeAreaStyle>(file.FieldReadI("SafeAreaStyle", 1)));
    camera.SetDisplaySafeAreaOnRender(ReadFlag(file, "DisplaySafeAreaOnRender", false));
}

}  // namespace

bool KZeqReaderZeq::ReadKZeqCamera(KZeqCamera& camera) {
    KZeq& file = *mFile;
    const bool before6 = mFile->IsBeforeVersion6();
    // The node record's own "Version" (194) comes first in the same block:
    // the record's layout number is the last one.
    int version = 0;
    while (file.FieldReadBegin("Version")) {
        version = file.FieldReadI();
        file.FieldReadEnd();
    }
    camera.SetPosition(ReadPoint(file, "Position", camera.GetPosition()));
    camera.SetUpVector(ReadPoint(file, "Up", camera.GetUpVector()));
    camera.SetDefaultCameraInterestPosition(ReadPoint(file, "LookAt", camera.GetDefaultCameraInterestPosition()));
    if (before6) ReadCameraBefore6(*this, file, camera, version);
    camera.SetShowInfoOnMoving(ReadFlag(file, "ShowInfoOnMoving", true));
    camera.SetShowAudio(ReadFlag(file, "ShowAudio", false));
    if (before6) camera.SetBackgroundColor(ReadColor(file, "BackGroundColor", 0.0, 0.0, 0.0));
    camera.SetAudioColor(ReadColor(file, "AudioColor", 0.0, 1.0, 0.0));
    if (before6) {
        camera.SetUseFrameColor(ReadFlag(file, "UseFrameColor", false));
        camera.SetFrameColor(ReadColor(file, "FrameColor", 0.3, 0.3, 0.3));
        ReadCameraAndLens(file, camera);
    }
    return true;
}

bool KZeqReaderZeq::ReadKZeqLight(KZeqLight& light) {
    KZeq& file = *mFile;
    if (file.FieldReadI("LightTypeVersion", 0) > 201) {
        double rgb[3];
        if (file.FieldReadDn("Color", rgb, nullptr, 3)) light.SetDefaultColor(KZeqColor(rgb[0], rgb[1], rgb[2], 1.0));
        light.SetDefaultIntensity(file.FieldReadD("Intensity", 0.0));
        light.SetDefaultConeAngle(file.FieldReadD("ConeAngle", 0.0));
        light.SetDefaultFog(file.FieldReadD("Fog", 0.0));
    }
    light.SetLightType(static_cast<KZeqLight::ELightType>(file.FieldReadI("LightType", 0)));
    light.SetCastLight(file.FieldReadI("CastLight", 1) != 0);
    return true;
}

bool ZeqReadCameraFields(KZeqReaderZeq& reader, KZeqNodeAttribute& attribute) {
    return reader.ReadKZeqCamera(static_cast<KZeqCamera&>(attribute));
}

bool ZeqReadLightFields(KZeqReaderZeq& reader, KZeqNodeAttribute& attribute) {
    return reader.ReadKZeqLight(static_cast<KZeqLight&>(attribute));
}

}  // namespace zeqsdk_400

#ifndef ZEQ_CONTENT_KZEQCAMERAPROPERTIES_H
#define ZEQ_CONTENT_KZEQCAMERAPROPERTIES_H

#include "base/kgemath.h"
#include "object/kobject.h"
#include "object/kpropertytemplate.h"

namespace zeqsdk_400 {

// The enumerations of a camera, apart so that its properties can hold them;
// reached as KZeqCamera::ECameraFormat and so on.
struct KZeqCameraTypes {
    enum ECameraAspectRatioMode : int {
        eWINDOW_SIZE = 0,
        eFIXED_RATIO = 1,
        eFIXED_RESOLUTION = 2,
        eFIXED_WIDTH = 3,
        eFIXED_HEIGHT = 4
    };
    enum ECameraApertureMode : int { eHORIZONTAL_AND_VERTICAL = 0, eHORIZONTAL = 1, eVERTICAL = 2 };
    // 9 is unused.
    enum ECameraFormat : int {
        eCUSTOM_FORMAT = 0,
        eD1_NTSC = 1,
        eNTSC = 2,
        ePAL = 3,
        eD1_PAL = 4,
        eHD = 5,
        e640x480 = 6,
        e320x200 = 7,
        e320x240 = 8,
        eFULL_SCREEN = 10
    };
    enum ECameraApertureFormat : int {
        eCUSTOM_APERTURE_FORMAT = 0,
        e16MM_THEATRICAL = 1,
        eSUPER_16MM = 2,
        e35MM_ACADEMY = 3,
        e35MM_TV_PROJECTION = 4,
        e35MM_FULL_APERTURE = 5,
        e35MM_185_PROJECTION = 6,
        e35MM_ANAMORPHIC = 7,
        e70MM_PROJECTION = 8,
        eVISTAVISION = 9,
        eDYNAVISION = 10,
        eIMAX = 11
    };
    enum ECameraBackgroundDisplayMode : int { eDISABLED = 0, eALWAYS = 1, eWHEN_MEDIA = 2 };
    enum ECameraBackgroundDistanceMode : int { eRELATIVE_TO_INTEREST = 0, eRELATIVE_TO_CAMERA = 1 };
    enum ECameraBackgroundDrawingMode : int { eBACKGROUND = 0, eFOREGROUND = 1, eBACKGROUND_AND_FOREGROUND = 2 };
    enum ECameraSafeAreaStyle : int { eROUND = 0, eSQUARE = 1 };
    enum ECameraProjectionType : int { ePERSPECTIVE = 0, eORTHOGONAL = 1 };
    enum ECameraFocusDistanceSource : int { eCAMERA_INTEREST = 0, eSPECIFIC_DISTANCE = 1 };
    // Kept by the camera alone, without texts.
    enum ECameraAntialiasingMethod : int { eOVERSAMPLING_ANTIALIASING = 0, eHARDWARE_ANTIALIASING = 1 };
    enum ECameraSamplingType : int { eUNIFORM = 0, eSTOCHASTIC = 1 };
    // When depth of field and antialiasing apply: while working, or at render only.
    enum ECameraRenderOptionsUsageTime : int { eINTERACTIVE = 0, eAT_RENDER = 1 };
};

// Every setting of a camera as one property list, in the order readers and
// writers see it. ANIMATED rows (member, name, data type) are created from
// the data type and owned by the list; PLAIN and ENUMERATED rows are members
// with a setter/getter pair named after them, ENUMERATED ones with a text too.
#define KZEQ_CAMERA_PROPERTY_TABLE(ANIMATED, PLAIN, ENUMERATED)                                   \
    ANIMATED(Roll, "Roll", "Roll")                                                                \
    ANIMATED(FieldOfView, "FieldOfView", "FieldOfView")                                           \
    ANIMATED(FieldOfViewX, "FieldOfViewX", "FieldOfView")                                         \
    ANIMATED(FieldOfViewY, "FieldOfViewY", "FieldOfView")                                         \
    ANIMATED(OpticalCenterX, "OpticalCenterX", "Real")                                            \
    ANIMATED(OpticalCenterY, "OpticalCenterY", "Real")                                            \
    ANIMATED(BackgroundColor, "BackgroundColor", "Color")                                         \
    ANIMATED(TurnTable, "TurnTable", "Real")                                                      \
    PLAIN(DisplayTurnTableIcon, bool)                                                             \
    ANIMATED(MotionBlurIntensity, "Motion Blur Intensity", "Real")                                \
    PLAIN(UseMotionBlur, bool)                                                                    \
    PLAIN(UseRealTimeMotionBlur, bool)                                                            \
    PLAIN(FocalLength, double)                                                                    \
    ENUMERATED(ResolutionMode, KZeqCameraTypes::ECameraAspectRatioMode)                           \
    ENUMERATED(ApertureMode, KZeqCameraTypes::ECameraApertureMode)                                \
    ENUMERATED(CameraFormat, KZeqCameraTypes::ECameraFormat)                                      \
    PLAIN(AspectW, double)                                                                        \
    PLAIN(AspectH, double)                                                                        \
    PLAIN(PixelAspectRatio, double)                                                               \
    PLAIN(UseFrameColor, bool)                                                                    \
    PLAIN(FrameColor, KgeRGBVector)                                                               \
    PLAIN(ShowName, bool)                                                                         \
    PLAIN(ShowGrid, bool)                                                                         \
    PLAIN(ShowOpticalCenter, bool)                                                                \
    PLAIN(ShowAzimut, bool)                                                                       \
    PLAIN(ShowTimeCode, bool)                                                                     \
    PLAIN(NearPlane, double)                                                                      \
    PLAIN(FarPlane, double)                                                                       \
    PLAIN(FilmWidth, double)                                                                      \
    PLAIN(FilmHeight, double)                                                                     \
    PLAIN(FilmAspectRatio, double)                                                                \
    PLAIN(FilmSqueezeRatio, double)                                                               \
    ENUMERATED(FilmFormatIndex, KZeqCameraTypes::ECameraApertureFormat)                           \
    PLAIN(ViewFrustum, bool)                                                                      \
    PLAIN(ViewFrustumNearFarPlane, bool)                                                          \
    ENUMERATED(ViewFrustumBackPlaneMode, KZeqCameraTypes::ECameraBackgroundDisplayMode)           \
    PLAIN(BackPlaneDistance, double)                                                              \
    ENUMERATED(BackPlaneDistanceMode, KZeqCameraTypes::ECameraBackgroundDistanceMode)             \
    PLAIN(ViewCameraToLookAt, bool)                                                               \
    PLAIN(LockMode, bool)                                                                         \
    PLAIN(LockInterestNavigation, bool)                                                           \
    PLAIN(FitImage, bool)                                                                         \
    PLAIN(Crop, bool)                                                                             \
    PLAIN(Center, bool)                                                                           \
    PLAIN(KeepRatio, bool)                                                                        \
    ENUMERATED(BackgroundMode, KZeqCameraTypes::ECameraBackgroundDrawingMode)                     \
    PLAIN(BackgroundAlphaTreshold, double)                                                        \
    PLAIN(ForegroundTransparent, bool)                                                            \
    PLAIN(DisplaySafeArea, bool)                                                                  \
    ENUMERATED(SafeAreaDisplayStyle, KZeqCameraTypes::ECameraSafeAreaStyle)                       \
    PLAIN(SafeAreaAspectRatio, double)                                                            \
    PLAIN(Use2DMagnifierZoom, bool)                                                               \
    ANIMATED(MagnifierZoom, "2D Magnifier Zoom", "Real")                                          \
    ANIMATED(MagnifierX, "2D Magnifier X", "Real")                                                \
    ANIMATED(MagnifierY, "2D Magnifier Y", "Real")                                                \
    ENUMERATED(CameraProjectionType, KZeqCameraTypes::ECameraProjectionType)                      \
    PLAIN(UseRealTimeDOFAndAA, bool)                                                              \
    PLAIN(UseDepthOfField, bool)                                                                  \
    ENUMERATED(FocusSource, KZeqCameraTypes::ECameraFocusDistanceSource)                          \
    PLAIN(FocusAngle, double)                                                                     \
    PLAIN(FocusDistance, double)                                                                  \
    PLAIN(UseAntialiasing, bool)                                                                  \
    PLAIN(AntialiasingIntensity, double)                                                          \
    PLAIN(UseAccumulationBuffer, bool)                                                            \
    PLAIN(FrameSamplingCount, int)

// The properties a camera keeps its settings in; made and ended by the camera.
// The plain accessors only store and return. The list never changes after
// construction.
class KZeqCameraProperties : public KObject {
    KZEQ_CLASS_DECLARE(KZeqCameraProperties)

public:
    KZeqCameraProperties();

    // Appends an animatable, animated property of the named data type; null
    // when that type is unknown.
    KProperty* AddAnimatedProperty(const char* name, const char* dataTypeName);

#define KZEQ_CAMERA_DECLARE_ANIMATED(Member, Name, DataType) KProperty* m##Member = nullptr;
#define KZEQ_CAMERA_DECLARE_PLAIN(Name, Type)                    \
    KPropertyTemplate<Type> Name;                                \
    virtual void Name##Set(Type value) { Name.Value() = value; } \
    virtual Type Name##Get() { return Name.Value(); }
    // The text of a listed value; null for any other.
#define KZEQ_CAMERA_DECLARE_ENUMERATED(Name, Type) \
    KZEQ_CAMERA_DECLARE_PLAIN(Name, Type)          \
    const char* Name##AsString(Type value);
    KZEQ_CAMERA_PROPERTY_TABLE(KZEQ_CAMERA_DECLARE_ANIMATED, KZEQ_CAMERA_DECLARE_PLAIN, KZEQ_CAMERA_DECLARE_ENUMERATED)
#undef KZEQ_CAMERA_DECLARE_ANIMATED
#undef KZEQ_CAMERA_DECLARE_PLAIN
#undef KZEQ_CAMERA_DECLARE_ENUMERATED

    // The frame colour's alpha: the colour value holds red, green and blue only.
    double mFrameColorAlpha = 1.0;
};

}  // namespace zeqsdk_400

#endif

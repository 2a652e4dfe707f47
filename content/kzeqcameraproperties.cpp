#include "content/kzeqcameraproperties.h"

#include <cstddef>

#include "content/kzeqanimatedproperty.h"

namespace zeqsdk_400 {

KZEQ_CLASS_IMPLEMENT(KZeqCameraProperties, KObject, "KZeqCameraProperties")

namespace {

// Texts by value; a null entry is a value without text. The spellings are the
// ones files and hosts show.
constexpr const char* kResolutionModeTexts[] = {"Window Size", "Fixed Ratio", "Fixed Resolution",
                                                "Fixed Width Resolution", "Fixed Height Resolution"};
constexpr const char* kApertureModeTexts[] = {"Horizontal & Vertical", "Horizontal", "Vertical"};
constexpr const char* kCameraFormatTexts[] = {"Custom",  "D1 NTSC", "NTSC",    "PAL",     "D1 PAL",     "HD",
                                              "640x480", "320x200", "320x240", nullptr, "Full Screen"};
constexpr const char* kFilmFormatIndexTexts[] = {
    "Custom",           "16mm Theatrical", "Super 16mm",  "35mm Academy", "35mm TV Projection", "35mm Full Aperture",
    "35mm 1.85 Projection", "35mm Anamorphic", "70mm Projection", "VistaVision", "Dynavision", "Imax"};
constexpr const char* kViewFrustumBackPlaneModeTexts[] = {"Disabled", "Always", "When Media"};
constexpr const char* kBackPlaneDistanceModeTexts[] = {"Relative to Interest", "Relative to Camera"};
constexpr const char* kBackgroundModeTexts[] = {"Background", "Foreground", "Background & Forground"};
constexpr const char* kSafeAreaDisplayStyleTexts[] = {"Round Safe Area", "Square Safe Area"};
constexpr const char* kCameraProjectionTypeTexts[] = {"Perspective", "Orthographic"};
constexpr const char* kFocusSourceTexts[] = {"Camera Interest", "Specific Distance"};

template <std::size_t N>
const char* TextOf(const char* const (&texts)[N], int value) {
    return value >= 0 && value < static_cast<int>(N) ? texts[value] : nullptr;
}

}  // namespace

KZeqCameraProperties::KZeqCameraProperties() {
    // One pass over the table keeps the list in its order.
#define KZEQ_CAMERA_ADD_ANIMATED(Member, Name, DataType) m##Member = AddAnimatedProperty(Name, DataType);
#define KZEQ_CAMERA_ADD_PLAIN(Name, Type)                                \
    PropertyAddToList(&Name);                                            \
    Name.SetPropertyType(KPropertyGetType(static_cast<Type*>(nullptr))); \
    Name.SetPropertyInfo(#Name, this, &KZeqCameraProperties::Name##Get, &KZeqCameraProperties::Name##Set);
#define KZEQ_CAMERA_ADD_ENUMERATED(Name, Type) \
    KZEQ_CAMERA_ADD_PLAIN(Name, Type)          \
    Name.GetPropertyInfo().SetAsStringFunc(&KZeqCameraProperties::Name##AsString);
    KZEQ_CAMERA_PROPERTY_TABLE(KZEQ_CAMERA_ADD_ANIMATED, KZEQ_CAMERA_ADD_PLAIN, KZEQ_CAMERA_ADD_ENUMERATED)
#undef KZEQ_CAMERA_ADD_ANIMATED
#undef KZEQ_CAMERA_ADD_PLAIN
#undef KZEQ_CAMERA_ADD_ENUMERATED
}

KProperty* KZeqCameraProperties::AddAnimatedProperty(const char* name, const char* dataTypeName) {
    return KZeqAddAnimatedProperty(*this, name, dataTypeName);
}

#define KZEQ_CAMERA_TEXT_NONE(...)
#define KZEQ_CAMERA_TEXT_FUNCTION(Name, Type) \
    const char* KZeqCameraProperties::Name##AsString(Type value) { return TextOf(k##Name##Texts, value); }
KZEQ_CAMERA_PROPERTY_TABLE(KZEQ_CAMERA_TEXT_NONE, KZEQ_CAMERA_TEXT_NONE, KZEQ_CAMERA_TEXT_FUNCTION)
#undef KZEQ_CAMERA_TEXT_NONE
#undef KZEQ_CAMERA_TEXT_FUNCTION

}  // namespace zeqsdk_400

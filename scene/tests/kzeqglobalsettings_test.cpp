#include "scene/kzeqglobalsettings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace zeqsdk_400;

namespace {

typedef KZeqGlobalLightSettings Light;
typedef KZeqGlobalTimeSettings Time;

// One setter call on new light settings (fog 0.3 to 1000), and what it stores.
struct ClampCase {
    const char* mName;
    void (Light::*mSet)(double);
    double (Light::*mGet)() const;
    double mValue;
    double mStored;
};

class LightClamp : public testing::TestWithParam<ClampCase> {};

TEST_P(LightClamp, StoresWithinBounds) {
    const ClampCase& c = GetParam();
    Light light;
    (light.*c.mSet)(c.mValue);
    EXPECT_EQ(c.mStored, (light.*c.mGet)());
}

INSTANTIATE_TEST_SUITE_P(
    Setters, LightClamp,
    testing::Values(ClampCase{"FogStartPastEnd", &Light::SetFogStart, &Light::GetFogStart, 2000.0, 1000.0},
                    ClampCase{"FogStartNegative", &Light::SetFogStart, &Light::GetFogStart, -5.0, 0.0},
                    ClampCase{"FogStartNaN", &Light::SetFogStart, &Light::GetFogStart, NAN, 0.0},
                    ClampCase{"FogStartWithin", &Light::SetFogStart, &Light::GetFogStart, 999.0, 999.0},
                    ClampCase{"FogEndBelowStart", &Light::SetFogEnd, &Light::GetFogEnd, 0.1, 0.3},
                    ClampCase{"FogEndNaN", &Light::SetFogEnd, &Light::GetFogEnd, NAN, 0.3},
                    ClampCase{"IntensityAbove", &Light::SetShadowIntensity, &Light::GetShadowIntensity, 500.0, 300.0},
                    ClampCase{"IntensityBelow", &Light::SetShadowIntensity, &Light::GetShadowIntensity, -1.0, 0.0},
                    ClampCase{"IntensityNaN", &Light::SetShadowIntensity, &Light::GetShadowIntensity, NAN, 0.0},
                    ClampCase{"IntensityWithin", &Light::SetShadowIntensity, &Light::GetShadowIntensity, 300.0, 300.0}),
    [](const testing::TestParamInfo<ClampCase>& info) { return std::string(info.param.mName); });

bool Same(const KZeqColor& c, double r, double g, double b, double a) {
    return c.mRed == r && c.mGreen == g && c.mBlue == b && c.mAlpha == a;
}

}  // namespace

TEST(KZeqGlobalLightSettings, DefaultsRestoredAndPlanesCopiedApart) {
    Light light;
    light.SetAmbientColor(KZeqColor(1, 0, 0, 1));
    light.SetFogEnable(true);
    light.SetFogEnd(5.0);
    light.SetShadowIntensity(7.0);
    Light::KZeqShadowPlane plane;
    EXPECT_TRUE(plane.mEnable && plane.mOrigin[1] == 0.0 && plane.mNormal[1] == 1.0 && plane.mNormal[3] == 0.0);
    plane.mOrigin.Set(1, 2, 3, 0);
    light.AddShadowPlane(plane);

    Light copy;
    copy = light;
    EXPECT_TRUE(Same(copy.GetAmbientColor(), 1, 0, 0, 1) && copy.GetFogEnable() && copy.GetFogEnd() == 5.0);
    ASSERT_EQ(1, copy.GetShadowPlaneCount());
    copy.GetShadowPlane(0)->mEnable = false;
    EXPECT_TRUE(light.GetShadowPlane(0)->mEnable && copy.GetShadowPlane(0)->mOrigin[2] == 3.0);

    light.RestoreDefaultSettings();
    EXPECT_TRUE(Same(light.GetAmbientColor(), 0.4, 0.4, 0.4, 0.0) && Same(light.GetFogColor(), 1, 1, 1, 0));
    EXPECT_TRUE(!light.GetFogEnable() && light.GetFogStart() == 0.3 && light.GetFogEnd() == 1000.0);
    EXPECT_TRUE(light.GetFogDensity() == 0.002 && !light.GetShadowEnable() && light.GetShadowIntensity() == 0.0);
    EXPECT_EQ(0, light.GetShadowPlaneCount());
    EXPECT_EQ(nullptr, light.GetShadowPlane(0));
    EXPECT_STREQ("Index out of range.", light.GetLastErrorString());
    EXPECT_EQ(nullptr, copy.GetShadowPlane(-1));
}

TEST(KZeqGlobalTimeSettings, StoredModeAndProtocolFallBackToGlobalThenDefault) {
    const KTime::ETimeMode savedMode = KTime::GetGlobalTimeMode();
    const KTime::ETimeProtocol savedProtocol = KTime::GetGlobalTimeProtocol();
    // Stored, global, seen: modes (6, 10 PAL, 0 global) then protocols (0 SMPTE, 1 frame, 2 global).
    const int modes[][3] = {{6, 10, 6}, {0, 10, 10}, {0, 0, 6}};
    const int protocols[][3] = {{0, 1, 0}, {2, 0, 0}, {2, 2, 1}};
    Time time;
    for (const auto& row : modes) {
        KTime::SetGlobalTimeMode(static_cast<KTime::ETimeMode>(row[1]));
        time.SetTimeMode(static_cast<KTime::ETimeMode>(row[0]));
        EXPECT_EQ(row[2], time.GetTimeMode()) << row[0] << " " << row[1];
    }
    for (const auto& row : protocols) {
        KTime::SetGlobalTimeProtocol(static_cast<KTime::ETimeProtocol>(row[1]));
        time.SetTimeProtocol(static_cast<KTime::ETimeProtocol>(row[0]));
        EXPECT_EQ(row[2], time.GetTimeProtocol()) << row[0] << " " << row[1];
    }
    // A copy takes the stored values, not what the getters answer.
    Time copy;
    copy = time;
    KTime::SetGlobalTimeProtocol(KTime::eProtocolSmpte);
    EXPECT_EQ(KTime::eProtocolSmpte, copy.GetTimeProtocol());
    KTime::SetGlobalTimeMode(savedMode);
    KTime::SetGlobalTimeProtocol(savedProtocol);
    copy.RestoreDefaultSettings();
    EXPECT_TRUE(copy.GetTimeMode() == KTime::eMode30 && copy.GetTimeProtocol() == KTime::eProtocolFrame);
}

TEST(KZeqGlobalTimeSettings, MarkersAreOwnedCopiesWithACurrentIndex) {
    Time time;
    time.SetSnapOnFrame(true);
    EXPECT_EQ(Time::eSNAP_ON_FRAME, time.GetSnapOnFrameMode());
    EXPECT_FALSE(time.SetCurrentTimeMarker(0));
    EXPECT_STREQ("Index out of range.", time.GetLastErrorString());
    Time copy;
    copy = time;  // the current index -1 is copied too
    EXPECT_EQ(-1, copy.GetCurrentTimeMarker());
    Time::KZeqTimeMarker marker;
    marker.mName = "Start";
    time.AddTimeMarker(marker);
    marker.mName = "End";
    marker.mLoop = true;
    time.AddTimeMarker(marker);
    EXPECT_EQ(-1, time.GetCurrentTimeMarker());
    EXPECT_TRUE(time.SetCurrentTimeMarker(1) && !time.SetCurrentTimeMarker(2) && time.GetCurrentTimeMarker() == 1);
    copy = time;
    copy.GetTimeMarker(0)->mName = "Changed";
    EXPECT_TRUE(time.GetTimeMarker(0)->mName == "Start" && copy.GetTimeMarker(1)->mLoop);
    EXPECT_TRUE(copy.GetCurrentTimeMarker() == 1 && copy.GetSnapOnFrame() && !copy.GetTimeMarker(2));
    time.RemoveAllTimeMarkers();
    EXPECT_TRUE(time.GetTimeMarkerCount() == 0 && time.GetCurrentTimeMarker() == -1);
}

// The host helper functions: status printing, attribute factories, disconnections, the type test
// on connections, the selection commands and the world matrix.
#include "zeqtulo_test_support.h"

#include "plugin/zeqmodifier.h"
#include "plugin/zeqtulohelpers.h"

namespace {

using HelpersTest = HostTest;

TEST_F(HelpersTest, DebugCheckStatusPrintsFailuresOnly) {
    TStatus ok;
    DebugCheckStatus(ok, "never shown");
    EXPECT_FALSE(transcribed("never shown"));
    TStatus failed(TStatus::kFailure);
    DebugCheckStatus(failed, nullptr);
    EXPECT_EQ(standin::transcript().size(), 1u);
    DebugCheckStatus(failed, "FMSetQuorbelID : Cannot find Plug.");
    EXPECT_TRUE(transcribed("FMSetQuorbelID : Cannot find Plug. \n \n: (kFailure)"));
}

TEST_F(HelpersTest, AttributeFactories) {
    TFnDependencyNode node(standin::createNode("transform", "box"));
    EXPECT_TRUE(node.addAttribute(CreateDoubleAttribute("gain", "gn", 2, -1, 5)));
    EXPECT_TRUE(node.addAttribute(CreateDoubleVectorAttribute("aim", "am", 3, 0, 9)));
    EXPECT_TRUE(node.addAttribute(CreateDegreeAttribute("spin", "spn", 90, 0, 180)));
    EXPECT_TRUE(node.addAttribute(CreateBoolAttribute("on", "on", true)));
    TStringArray fields;
    fields.append("off");
    fields.append("on");
    EXPECT_TRUE(node.addAttribute(CreateEnumAttribute("mode", "md", fields, 1)));
    EXPECT_EQ(run("getAttr box.gain; getAttr box.aim"), "3 3 3");
    EXPECT_EQ(run("getAttr box.spin; getAttr box.on; getAttr box.mode"), "1");
    EXPECT_EQ(run("getAttr box.spin"), "90");
    EXPECT_EQ(run("getAttr box.gain"), "2");
    TFnEnumAttribute mode(node.attribute("mode"));
    EXPECT_EQ(std::string(mode.fieldName(1).asChar()), "on");
    EXPECT_TRUE(node.findPlug("gain").isNull() == false);
}

// The distance and time factories take centimetres and seconds whatever the UI units are; the
// host shows the values in UI units (here inches and 30 per second).
TEST_F(HelpersTest, DistanceAndTimeFactoriesTakeCentimetresAndSeconds) {
    standin::setUnits(TDistance::kInches, TAngle::kRadians, TTime::kNTSCFrame);
    TFnDependencyNode node(standin::createNode("transform", "box"));
    TObject reach = CreateCentimeterAttribute("reach", "rch", 2.54, 0, 254);
    TObject delay = CreateSecondAttribute("delay", "dl", 0.5, 0.25, 2);
    EXPECT_EQ(TFnUnitAttribute(reach).unitType(), TFnUnitAttribute::kDistance);
    EXPECT_EQ(TFnUnitAttribute(delay).unitType(), TFnUnitAttribute::kTime);
    ASSERT_TRUE(node.addAttribute(reach));
    ASSERT_TRUE(node.addAttribute(delay));
    EXPECT_EQ(run("getAttr box.reach"), "1");
    EXPECT_EQ(run("getAttr box.delay"), "15");
    // The dump shows what the attribute stores: internal units.
    const std::string dump = standin::dump();
    EXPECT_NE(dump.find(" unit 2 array 0 default 2.54 min 0 max 254 "), std::string::npos) << dump;
    EXPECT_NE(dump.find(" unit 3 array 0 default 0.5 min 0.25 max 2 "), std::string::npos) << dump;
}

TEST_F(HelpersTest, DisconnectionsAndTypeTest) {
    standin::createNode("transform", "a");
    for (const char* name : {"b", "c", "d"}) standin::createNode("transform", name);
    TPlug source = standin::plug("a.translateX");
    EXPECT_TRUE(DisconnectAllSource(source));  // nothing to remove
    for (const char* dst : {"b.translateX", "c.translateX", "d.translateX"}) standin::connect(source, standin::plug(dst));
    TPlug b = standin::plug("b.translateX");
    EXPECT_TRUE(IsIDPlugged(b, TFnDependencyNode(standin::find("a")).typeId(), true, false));
    EXPECT_FALSE(IsIDPlugged(b, TFnDependencyNode(standin::find("a")).typeId(), false, true));
    EXPECT_TRUE(DisconnectAllSource(b));
    EXPECT_FALSE(b.isDestination());
    EXPECT_TRUE(DisconnectAllDestination(source));
    EXPECT_FALSE(source.isSource());
}

TEST_F(HelpersTest, SelectionCommandsAsSent) {
    BakeSelection(TTime(1, TTime::kFilm), TTime(24, TTime::kFilm));
    DeleteSelectedChannels();
    EXPECT_EQ(standin::records(),
              std::vector<std::string>({"bakeResults -simulation true -t \"1:24\"",
                                        "delete -channels -unitlessAnimationCurves false -hierarchy 0 -controlPoints 0 -shape 0"}));
    EXPECT_TRUE(transcribed("command: \"bakeResults -simulation true -t \\\"1:24\\\"\\n\" display 0 undo 0"));
}

TEST_F(HelpersTest, WorldMatrixOfInstanceZero) {
    TObject parent = standin::createNode("transform", "p");
    TObject child = standin::createNode("transform", "c", parent);
    TFnTransform(parent).setTranslation(TVector(1, 2, 3), TSpace::kTransform);
    TFnTransform(child).setTranslation(TVector(0, 10, 0), TSpace::kTransform);
    TMatrix m;
    ASSERT_TRUE(ExtractWorldMatrix(TFnTransform(child), m));
    EXPECT_EQ(m[3][1], 12);
    EXPECT_EQ(m[3][2], 3);
}

// Field of view and focal length: 36 mm wide at 18 mm is 90 degrees, and back.
TEST(Modifiers, FieldOfViewAndFocalLength) {
    ZeqFocalLengthToFOVModifier fov;
    fov.mApertureWidth = 36;
    fov.mApertureHeight = 24;
    fov.mSqueezeRatio = 1;
    EXPECT_NEAR(fov.Modify(18.0), 90, 1e-12);
    EXPECT_EQ(fov.Modify(20), 83);  // 83.97 cut toward zero
    fov.mApertureMode = 2;
    EXPECT_NEAR(fov.Modify(12.0), 90, 1e-12);
    ZeqFOVToFocalLengthModifier focal;
    focal.mApertureWidth = 36;
    focal.mSqueezeRatio = 2;
    EXPECT_NEAR(focal.Modify(90.0), 36, 1e-12);
    EXPECT_EQ(focal.Modify(0.0), 0);
    ZeqModifier identity;
    EXPECT_TRUE(identity.Modify(7) == 7 && identity.Modify(-7L) == -7L && identity.Modify(7u) == 7u &&
                identity.Modify(2.5f) == 2.5f && identity.Modify(2.5) == 2.5);
}

// The integer forms cut toward zero (83.97 degrees at 20 mm); a focal length of 0 is 180
// degrees, a negative one a negative angle (0 in the unsigned form).
TEST(Modifiers, IntegerFieldOfViewCutsTowardZero) {
    ZeqFocalLengthToFOVModifier fov;
    fov.mApertureWidth = 36;
    fov.mSqueezeRatio = 1;
    EXPECT_EQ(fov.Modify(20L), 83L);
    EXPECT_EQ(fov.Modify(20u), 83u);
    EXPECT_EQ(fov.Modify(0L), 180L);
    EXPECT_EQ(fov.Modify(-20L), -83L);
    EXPECT_EQ(fov.Modify(0u), 180u);
    EXPECT_NEAR(fov.Modify(20.0f), 83.97f, 0.01f);
}

}  // namespace

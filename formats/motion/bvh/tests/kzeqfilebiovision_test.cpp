#include "formats/motion/bvh/kzeqfilebiovision.h"

#include <cmath>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "bvhtestfiles.h"
#include "io/kstreamoptionsmotion.h"

namespace bvhtest {
namespace {

using namespace zeqsdk_400;

struct OpenedFile {
    MotionTempDir mDir;
    std::unique_ptr<KZeqFileBiovision> mFile = std::make_unique<KZeqFileBiovision>(false);
    explicit OpenedFile(const std::string& text) {
        WriteText(mDir / "file.bvh", text);
        EXPECT_FALSE(mFile->Open((mDir / "file.bvh").c_str(), "r"));
    }
    KZeqFileBiovision* operator->() { return mFile.get(); }
};

const char kMotionHeader[] = "MOTION\nFrames: 0\nFrame Time: 0.04\n";

// Keywords in any case and as prefixes, tabs, CR, LF and CRLF mixed.
TEST(BvhFile, HierarchyReadsLooseKeywordsAndLineEnds) {
    OpenedFile file(
        "hierarchy\r\nRoot\tPelvis\r{\n\toffsets 1 2 3\r\n\tCHANNELS 6 Xposition Yposition Zposition Zrotation "
        "Xrotation Yrotation \n\tJOINT LeftLeg\n\t{\n\t\tOFFSET 0.000001 -4 0\n\t\tchannels 3 Xrotation Yrotation "
        "Zrotation\n\t\tend site\n\t\t{\n\t\t\tOFFSET 0 -9 1\n\t\t}\n\t}\n\n\tJOINT Tail\n\t{\n\t\tOFFSET 0 0 "
        "-2\n\t\tCHANNELS 0\n\t}\n}\r\nMOTION\r\nFrames:\t2\r\nFrame Time: .5\r\n");
    KStreamOptionsMotion options;
    ASSERT_TRUE(file->ReadMain(&options));
    const auto& joints = file->GetJoints();
    ASSERT_EQ(joints.size(), 4u);
    EXPECT_STREQ(joints[0]->mName, "Pelvis");
    EXPECT_STREQ(joints[1]->mName, "LeftLeg");
    EXPECT_STREQ(joints[2]->mName, "End");
    EXPECT_STREQ(joints[3]->mName, "Tail");
    EXPECT_TRUE(joints[2]->mIsEndSite);
    EXPECT_EQ(joints[2]->mParent, joints[1].get());
    EXPECT_EQ(joints[0]->mChildren.size(), 2u);
    EXPECT_EQ(joints[0]->mOffset, KZeqVector4(1, 2, 3, 1));
    EXPECT_EQ(joints[2]->mOffset, KZeqVector4(0, -9, 1, 1));
    const int codes[6] = {0, 1, 2, 5, 3, 4};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(joints[0]->mChannelCodes[i], codes[i]);
    EXPECT_EQ(file->GetTotalChannels(), 9);
    EXPECT_EQ(options.GetFrameCount(), 2);
    EXPECT_DOUBLE_EQ(options.GetFrameRate(), 2.0);
}

TEST(BvhFile, NamesStopAtTheFirstBlankAndAt127Characters) {
    const std::string longName(200, 'n');
    OpenedFile file("HIERARCHY\nROOT " + longName + "\n{\nOFFSET 0 0 0\nCHANNELS 0\nJOINT Left Arm\n{\nOFFSET 0 0 0\n"
                    "CHANNELS 0\n}\n}\n" + kMotionHeader);
    KStreamOptionsMotion options;
    ASSERT_TRUE(file->ReadMain(&options));
    EXPECT_EQ(std::string(file->GetJoints()[0]->mName), longName.substr(0, 127));
    EXPECT_STREQ(file->GetJoints()[1]->mName, "Left");
}

struct HeaderCase {
    const char* mName;
    const char* mHeader;
    int mFrames;
    double mRate;       // the options' rate after reading
    double mFrameTime;  // the file object's frame time
};

class BvhMotionHeader : public testing::TestWithParam<HeaderCase> {};

TEST_P(BvhMotionHeader, GivesFramesAndRate) {
    const HeaderCase& c = GetParam();
    OpenedFile file(std::string("HIERARCHY\nROOT A\n{\nOFFSET 0 0 0\nCHANNELS 0\n}\n") + c.mHeader);
    KStreamOptionsMotion options;
    options.SetTimeMode(KTime::eModeDefault, 50.0);
    ASSERT_TRUE(file->ReadMain(&options));
    EXPECT_EQ(options.GetFrameCount(), c.mFrames);
    EXPECT_EQ(file->GetFrameCount(), c.mFrames);
    EXPECT_DOUBLE_EQ(options.GetFrameRate(), c.mRate);
    EXPECT_NEAR(file->GetFrameTime(), c.mFrameTime, 1e-12);
}

// Rates round to the nearest whole number, a half going down.
INSTANTIATE_TEST_SUITE_P(
    Headers, BvhMotionHeader,
    testing::Values(HeaderCase{"Thirty", "MOTION\nFrames: 3\nFrame Time: 0.0333333\n", 3, 30, 0.0333333},
                    HeaderCase{"LeadingPoint", "MOTION\nFrames: 524\nFrame Time: .0083333\n", 524, 120, .0083333},
                    HeaderCase{"NtscBecomesThirty", "MOTION\nFrames: 1\nFrame Time: 0.0333667\n", 1, 30, 0.0333667},
                    HeaderCase{"HalfGoesDown", "MOTION\nFrames: 1\nFrame Time: 0.4\n", 1, 2, 0.4},
                    HeaderCase{"AboveHalfGoesUp", "MOTION\nFrames: 1\nFrame Time: 0.38\n", 1, 3, 0.38},
                    HeaderCase{"ZeroKeepsTheOptionsRate", "MOTION\nFrames: 4\nFrame Time: 0\n", 4, 50, 0.02},
                    HeaderCase{"NegativeFramesAreNone", "MOTION\nFrames: -7\nFrame Time: 0.5\n", 0, 2, 0.5},
                    HeaderCase{"TabsAndCase", "motion\nframes:\t9\nFRAME TIME:\t0.25\n", 9, 4, 0.25}),
    [](const testing::TestParamInfo<HeaderCase>& info) { return std::string(info.param.mName); });

struct BadCase {
    const char* mName;
    const char* mText;
};

class BvhBadHierarchy : public testing::TestWithParam<BadCase> {};

TEST_P(BvhBadHierarchy, FailsToRead) {
    OpenedFile file(GetParam().mText);
    KStreamOptionsMotion options;
    EXPECT_FALSE(file->ReadMain(&options));
}

#define BVH_ROOT_OPEN "HIERARCHY\nROOT A\n{\nOFFSET 0 0 0\n"
#define BVH_MOTION "MOTION\nFrames: 1\nFrame Time: 0.1\n0\n"
INSTANTIATE_TEST_SUITE_P(
    Files, BvhBadHierarchy,
    testing::Values(BadCase{"Empty", ""}, BadCase{"NoMotion", BVH_ROOT_OPEN "CHANNELS 0\n}\n"},
                    BadCase{"MotionWithoutHierarchy", BVH_MOTION},
                    BadCase{"SevenChannels", BVH_ROOT_OPEN "CHANNELS 7 Xrotation Yrotation Zrotation Xrotation "
                                                          "Yrotation Zrotation Xrotation\n}\n" BVH_MOTION},
                    BadCase{"NegativeChannels", BVH_ROOT_OPEN "CHANNELS -1\n}\n" BVH_MOTION},
                    BadCase{"UnknownChannel", BVH_ROOT_OPEN "CHANNELS 1 Wrotation\n}\n" BVH_MOTION},
                    BadCase{"FewerChannelWords", BVH_ROOT_OPEN "CHANNELS 3 Xrotation Yrotation\n}\n" BVH_MOTION},
                    BadCase{"OffsetOfTwo", "HIERARCHY\nROOT A\n{\nOFFSET 0 0\nCHANNELS 0\n}\n" BVH_MOTION},
                    BadCase{"NoBrace", "HIERARCHY\nROOT A\nOFFSET 0 0 0\nCHANNELS 0\n}\n" BVH_MOTION},
                    BadCase{"NoName", "HIERARCHY\nROOT\n{\nOFFSET 0 0 0\nCHANNELS 0\n}\n" BVH_MOTION},
                    BadCase{"StrayWordInBlock", BVH_ROOT_OPEN "CHANNELS 0\nOFFSET 1 2 3\n}\n" BVH_MOTION},
                    BadCase{"UnclosedEndSite", BVH_ROOT_OPEN "CHANNELS 0\nEnd Site\n{\nOFFSET 0 0 0\n" BVH_MOTION},
                    BadCase{"UnclosedRoot", BVH_ROOT_OPEN "CHANNELS 0\nJOINT B\n{\nOFFSET 0 0 0\nCHANNELS 0\n}\n"},
                    BadCase{"SecondRootAtTop", BVH_ROOT_OPEN "CHANNELS 0\n}\nROOT B\n" BVH_MOTION},
                    BadCase{"FramesWithoutNumber", BVH_ROOT_OPEN "CHANNELS 0\n}\nMOTION\nFrames: x\nFrame Time: 1\n"},
                    BadCase{"NoFrameTime", BVH_ROOT_OPEN "CHANNELS 0\n}\nMOTION\nFrames: 2\n"}),
    [](const testing::TestParamInfo<BadCase>& info) { return std::string(info.param.mName); });

// A nesting far deeper than any call stack parses without recursion.
TEST(BvhFile, DeepNestingParses) {
    const int depth = 100000;
    std::string text = "HIERARCHY\nROOT J\n{\nOFFSET 0 0 0\nCHANNELS 0\n";
    for (int i = 0; i < depth; ++i) text += "JOINT J\n{\nOFFSET 0 1 0\nCHANNELS 0\n";
    for (int i = 0; i <= depth; ++i) text += "}\n";
    text += kMotionHeader;
    OpenedFile file(text);
    KStreamOptionsMotion options;
    ASSERT_TRUE(file->ReadMain(&options));
    EXPECT_EQ(file->GetJoints().size(), static_cast<std::size_t>(depth) + 1);
}

// The last listed channel turns first: with "Xrotation Yrotation" at 90 and
// 90, X turns about Y onto -Z, then about X onto +Y. (Applied in listed
// order it would end on -Z.)
TEST(BvhFile, RotationChannelsComposeLastListedFirst) {
    KBVHJoint joint;
    joint.mChannelCount = 2;
    joint.mChannelCodes[0] = KBVHJoint::eXrotation;
    joint.mChannelCodes[1] = KBVHJoint::eYrotation;
    const double values[2] = {90.0, 90.0};
    joint.SetFrame(values);
    // The node turns a vector X first, then Y, then Z (column vectors).
    Mat3 m = RefMultiply(RefMultiply(RefAxisRotation(2, joint.mRotation[2]), RefAxisRotation(1, joint.mRotation[1])),
                         RefAxisRotation(0, joint.mRotation[0]));
    EXPECT_NEAR(m[0][0], 0.0, 1e-12);
    EXPECT_NEAR(m[1][0], 1.0, 1e-12);
    EXPECT_NEAR(m[2][0], 0.0, 1e-12);
}

TEST(BvhFile, PrintsTheFileTextPieceByPiece) {
    MotionTempDir dir;
    const std::string path = dir / "out.bvh";
    {
        KZeqFileBiovision file(false);
        ASSERT_FALSE(file.Open(path.c_str(), "w"));
        EXPECT_TRUE(file.PrintJointBegin("Hips", true, KZeqVector4(0.000001, -0.00001, 1.5, 1), 0, true, true));
        EXPECT_TRUE(file.PrintJointBegin("Arm", false, KZeqVector4(1, 2, 3, 1), 1, true, true));
        EXPECT_TRUE(file.PrintJointEndSite(KZeqVector4(0, 4, 0.25, 1), 2));
        EXPECT_TRUE(file.PrintJointEnd(1));
        EXPECT_TRUE(file.PrintJointBegin("Leg", false, KZeqVector4(1, 2, 3, 1), 1, false, false));
        EXPECT_TRUE(file.PrintJointEnd(1));
        EXPECT_TRUE(file.PrintJointEnd(0));
        EXPECT_TRUE(file.PrintMotionHeader(2, 1.0 / 120.0));
        EXPECT_TRUE(file.PrintMotionFrameBegin());
        EXPECT_TRUE(file.PrintMotion(true, KZeqVector4(1, 2, 3, 0), KZeqVector4(10, 20, 30, 0), true, true));
        EXPECT_TRUE(file.PrintMotion(false, KZeqVector4(1, 2, 3, 0), KZeqVector4(10, 20, 30, 0), true, true));
        EXPECT_TRUE(file.PrintMotionFrameEnd());
        EXPECT_TRUE(file.Close());
    }
    EXPECT_EQ(ReadText(path),
              "HIERARCHY\nROOT Hips\n{\n  OFFSET 0 0 1.5\n  CHANNELS 6 Xposition Yposition Zposition Zrotation "
              "Xrotation Yrotation\n  JOINT Arm\n  {\n    OFFSET 1 2 3\n    CHANNELS 3 Zrotation Xrotation "
              "Yrotation\n    End Site\n    {\n      OFFSET 0 4 0.25\n    }\n  }\n  JOINT Leg\n  {\n    OFFSET 1 2 "
              "3\n    CHANNELS 6 Xposition Yposition Zposition Zrotation Yrotation Xrotation\n  }\n}\nMOTION\n"
              "Frames:\t2\nFrame Time:\t0.00833333\n1 2 3 30 20 10 30 20 10 \n");
}

}  // namespace
}  // namespace bvhtest

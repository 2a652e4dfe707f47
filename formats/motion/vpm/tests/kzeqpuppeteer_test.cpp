#include <gtest/gtest.h>

#include <string>

#include "formats/motion/marker/tests/markertest.h"
#include "formats/motion/vpm/kzeqreaderpuppeteer.h"
#include "formats/motion/vpm/kzeqwriterpuppeteer.h"

using namespace markertest;

namespace {

constexpr int kVpm = KZeqImporter::ePUPPETEER_VPM;

const char* const kChannels =
    "XTRAN\tYTRAN\tZTRAN\tXROT\tYROT\tZROT\tXSCALE\tYSCALE\tZSCALE\n"
    "INCHES\tINCHES\tINCHES\tDEGREES\tDEGREES\tDEGREES\tPERCENT\tPERCENT\tPERCENT\n";

std::string Segment(const std::string& name, int frames, const std::string& rows, const char* time = "0.04") {
    return "Segment:\t" + name + "\nFrames:\t" + std::to_string(frames) + "\nFrame Time:\t" + time + "\n" + kChannels + rows;
}

std::vector<std::string> gErrors;
int Record(const char* caption, const char* message, const char*, const char*, const char*, int) {
    gErrors.push_back(std::string(caption) + ": " + message);
    return 1;
}

struct VpmTest : ::testing::Test, MarkerScene {
    TempDir mDir;
    std::string mPath = mDir / "puppet.vpm";

    bool ReadText(const std::string& text, const std::function<void(KStreamOptionsMotion&)>& tweak = nullptr) {
        WriteFile(mPath, text);
        gErrors.clear();
        return Import(mPath, kVpm, [&](KStreamOptionsMotion& o) {
            o.SetMessageCallback(1, &Record);
            if (tweak) tweak(o);
        });
    }
    // A read that fails, leaving nothing with the scene or the manager; the
    // options too unless the first header reads.
    void ExpectRefused(const std::string& text, bool headerReads, int frames = 100) {
        WriteFile(mPath, text);
        KZeqReaderPuppeteer reader(mManager);
        ASSERT_TRUE(reader.FileOpen(mPath.c_str()));
        KStreamOptions* options = reader.GetReadOptions();
        EXPECT_EQ(headerReads, options != nullptr);
        if (options) options->Destroy();
        KStreamOptionsMotion* fresh = KStreamOptionsMotionCreate();
        fresh->SetFrameCount(frames);
        fresh->SetMessageCallback(1, &Record);
        gErrors.clear();
        const int nodes = mManager.GetKZeqNodeCount();
        EXPECT_FALSE(reader.Read(*mScene, fresh));
        EXPECT_EQ(KZeqReader::eFileCorrupted, reader.GetLastErrorID());
        EXPECT_EQ(0, Root()->GetChildCount());
        EXPECT_EQ(nodes, mManager.GetKZeqNodeCount());
        fresh->Destroy();
    }
};

TEST_F(VpmTest, SegmentsBecomeMarkersInCentimetresAndDegreesWithScalingOne) {
    const std::string text = Segment("Hips", 2, "1 2 3 10 20 30 50 50 50\n2 2 3 11 20 30 100 100 100\n") +
                             "\n  segment:\tleft hand\nFRAMES:\t2\nframe time:\t0.04\n" + kChannels +
                             "0 0 0 0 0 0 1 1 1\n0 0 -1 0 0 0 1 1 1\n";
    double rate = 0.0;
    ASSERT_TRUE(ReadText(text, [&](KStreamOptionsMotion& o) { rate = o.GetFrameRate(); }));
    EXPECT_NEAR(25.0, rate, 1e-9);
    EXPECT_EQ((std::vector<std::string>{"Hips", "left"}), MarkerNames());  // a blank ends the name
    EXPECT_STREQ("VPM:reference", Reference()->GetNameWithoutNameSpacePrefix().Buffer());
    EXPECT_EQ((std::vector<double>{2.54f, 5.08f}), Values(0, 0, 0.0, 25.0, 2));
    EXPECT_EQ((std::vector<double>{10, 11}), Values(0, 4, 0.0, 25.0, 2));
    EXPECT_EQ((std::vector<double>{1, 1}), Values(0, 7, 0.0, 25.0, 2));  // 50 percent reads as 1
    EXPECT_EQ((std::vector<double>{0, -2.54f}), Values(1, 2, 0.0, 25.0, 2));
    EXPECT_NEAR(0.04, mScene->GetTakeInfo("puppet")->mLocalTimeSpan.GetStop().GetSecondDouble(), 1e-9);
}

TEST_F(VpmTest, TheOptionsFrameCountHoldsForEverySegment) {
    // Frames: 0 gives a node without keys; a segment longer than the options has its rows skipped.
    const std::string text = Segment("A", 3, "1 0 0 0 0 0 1 1 1\n2 0 0 0 0 0 1 1 1\n3 0 0 0 0 0 1 1 1\n") +
                             Segment("Empty", 0, "") + Segment("B", 2, "4 0 0 0 0 0 1 1 1\n5 0 0 0 0 0 1 1 1\n", "0.5");
    ASSERT_TRUE(ReadText(text, [](KStreamOptionsMotion& o) { o.SetFrameCount(2); }));
    EXPECT_EQ((std::vector<std::string>{"A", "Empty", "B"}), MarkerNames());
    EXPECT_EQ(2, Curve(0, 0)->KeyGetCount());
    EXPECT_EQ(0, Curve(1, 0)->KeyGetCount());
    EXPECT_EQ((std::vector<double>{4 * 2.54f, 5 * 2.54f}), Values(2, 0, 0.0, 1.0 / 0.04, 2));  // B's own frame time is not used
}

TEST_F(VpmTest, ABadLaterSegmentEndsTheFileKeepingTheOnesBefore) {
    const std::string good = Segment("A", 1, "1 2 3 4 5 6 7 8 9\n");
    for (const std::string& bad : {Segment("B", 2, "1 2 3 4 5 6 7 8 9\n1 2 3 4 5 6 x 8 9\n"),  // scaling must read
                                   Segment("B", 1, "1 2 3 4 5 6 7 8\n"), std::string("Frames:\t3\n"),
                                   Segment("B", -1, ""), Segment("B", 1, "", "0"), std::string("Segment:\n")}) {
        SCOPED_TRACE(bad);
        ASSERT_TRUE(ReadText(good + bad + Segment("C", 1, "1 2 3 4 5 6 7 8 9\n"), [](KStreamOptionsMotion& o) { o.SetFrameCount(5); }));
        EXPECT_EQ((std::vector<std::string>{"A"}), MarkerNames());
        mManager.DestroyKZeqNode(Reference(), true);
    }
}

TEST_F(VpmTest, ABadFirstSegmentOrTwinNamesLeaveNothing) {
    ExpectRefused("", false);
    ExpectRefused(Segment("A", 2, "1 2 3 4 5 6 7 8 9\n"), true);
    ExpectRefused("Frames:\t1\n" + Segment("A", 1, "1 2 3 4 5 6 7 8 9\n"), false);
    ExpectRefused(Segment("A", 1, "1 2 3 4 5 6 7 8 9\n") + Segment("B", 1, "1 2 3 4 5 6 7 8 9\n") +
                      Segment("A", 1, "1 2 3 4 5 6 7 8 9\n"),
                  true);
    EXPECT_EQ((std::vector<std::string>{"Error: Duplicate names found in puppet.vpm:\n    Model::A"}), gErrors);
}

TEST_F(VpmTest, AHugeFrameCountReservesNothing) {
    // "Frames:" is only a claim: keys grow with the rows there are, and a row
    // short of it is a bad first segment.
    const std::string text = Segment("A", 2000000000, "1 2 3 4 5 6 7 8 9\n");
    ExpectRefused(text, true, 2000000000);
    ASSERT_TRUE(ReadText(text, [](KStreamOptionsMotion& o) { o.SetFrameCount(1); }));
    EXPECT_EQ((std::vector<double>{2.54f}), Values(0, 0, 0.0, 25.0, 1));
}

TEST_F(VpmTest, WrittenSegmentsAndRoundTrip) {
    // root -> A (selected) -> B (selected): A is the export root, written at the origin.
    KZeqNode* a = AddAnimated(Root(), "Model::Hips", false, 2, 30.0, 0.0, [](int f, double* c) { c[0] = 100 + f; });
    AddAnimated(a, "Actor:Spine", false, 2, 30.0, 0.0, [](int f, double* c) { c[0] = 25.4, c[1] = f, c[6] = 30.0 * f; });
    ASSERT_TRUE(Export(mPath, KZeqExporter::ePUPPETEER_VPM, [](KStreamOptionsMotion& o) {
        o.SetTimeMode(KTime::eModeDefault, 30.0);
        o.SetFrameCount(2);
    }));
    EXPECT_EQ(Segment("Hips", 2, "0\t0\t0\t0\t0\t0\t100\t100\t100\n0\t0\t0\t0\t0\t0\t100\t100\t100\n", "0.0333333") +
                  Segment("Spine", 2, "10\t0\t0\t0\t0\t0\t100\t100\t100\n10\t0.393701\t0\t0\t0\t30\t100\t100\t100\n",
                          "0.0333333"),
              ReadFile(mPath));
    MarkerScene back;
    ASSERT_TRUE(back.Import(mPath, kVpm));
    EXPECT_EQ((std::vector<std::string>{"Hips", "Spine"}), back.MarkerNames());
    const std::vector<double> y = back.Values(1, 1, 0.0, 30.0, 2), z = back.Values(1, 6, 0.0, 30.0, 2);
    EXPECT_NEAR(1.0, y[1], 1e-5);
    EXPECT_NEAR(30.0, z[1], 1e-5);

    // No selected node: an empty file. No frames: the header lines alone.
    a->SetSelected(false, true);
    ASSERT_TRUE(Export(mPath, KZeqExporter::ePUPPETEER_VPM, [](KStreamOptionsMotion& o) { o.SetFrameCount(2); }));
    EXPECT_EQ("", ReadFile(mPath));
    a->GetChild(0)->SetSelected(true);
    ASSERT_TRUE(Export(mPath, KZeqExporter::ePUPPETEER_VPM, [](KStreamOptionsMotion& o) {
        o.SetOption(KStreamOptionsMotion::eExportFromGlobalPosition, KStreamOptionsMotion::eOn);
        o.SetTimeMode(KTime::eModeDefault, 30.0);
    }));
    EXPECT_EQ(Segment("Spine", 0, "", "0.0333333"), ReadFile(mPath));
}

}  // namespace

namespace {

TEST(VpmWriter, AFullDiskIsOutOfDiskSpace) {
    MarkerScene scene;
    KZeqNode* group = scene.mManager.CreateKZeqNode("group");
    scene.Root()->AddChild(group);
    for (const char* name : {"A", "B"})
        scene.AddAnimated(group, name, false, 500, 100.0, 0.0, [](int f, double* c) { c[0] = f; });
    ASSERT_TRUE(scene.ExportFailsOnAFullDevice("vpm", KZeqExporter::ePUPPETEER_VPM, [](KStreamOptionsMotion& o) {
        o.SetTimeMode(KTime::eModeDefault, 100.0);
        o.SetFrameCount(500);
    }));
    EXPECT_EQ(KZeqIO::eOutOfDiskSpace, scene.mError);
}

}  // namespace

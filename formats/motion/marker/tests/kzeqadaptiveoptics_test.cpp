#include "formats/motion/marker/kzeqadaptiveoptics.h"

#include <gtest/gtest.h>

#include <string>

#include "formats/motion/marker/tests/markertest.h"

using namespace markertest;

namespace {

constexpr int kAoa = KZeqImporter::eADAPTIVE_OPTICS_AOA;
constexpr int kMcd = KZeqImporter::eSUPERFLUO_MCD;

struct AdaptiveOpticsTest : ::testing::Test, MarkerScene {
    TempDir mDir;
    std::string mPath = mDir / "walk.aoa";

    bool ReadText(const std::string& text, int row = kAoa, const std::function<void(KStreamOptionsMotion&)>& tweak = nullptr) {
        WriteFile(mPath, text);
        return Import(mPath, row, tweak);
    }
    void ExpectCorrupted(const std::string& text, bool headerReads) {
        WriteFile(mPath, text);
        KZeqReaderAdaptiveOptics reader(mManager, false);
        ASSERT_TRUE(reader.FileOpen(mPath.c_str()));
        KStreamOptions* options = reader.GetReadOptions();
        EXPECT_EQ(headerReads, options != nullptr);
        if (options) options->Destroy();
        KStreamOptionsMotion* fresh = KStreamOptionsMotionCreate();
        fresh->SetFrameCount(100);
        const int nodes = mManager.GetKZeqNodeCount();
        EXPECT_FALSE(reader.Read(*mScene, fresh));
        EXPECT_EQ(KZeqReader::eFileCorrupted, reader.GetLastErrorID());
        EXPECT_EQ(nodes, mManager.GetKZeqNodeCount());
        EXPECT_EQ(0, Root()->GetChildCount());
        fresh->Destroy();
    }
};

TEST_F(AdaptiveOpticsTest, MarkersNamedByNumberAndZerosOccludedAndCarried) {
    // Keywords in capitals; a point at exactly zero is a gap holding the frame before.
    ASSERT_TRUE(ReadText("FRAMES = 2 MARKERS = 3 hz = 25\n1 2 3\n4 5 6\n7 8 9\n1.5 2 3\n0 0 0\n-0 0 0.0\n"));
    EXPECT_EQ((std::vector<std::string>{"Marker1", "Marker2", "Marker3"}), MarkerNames());
    EXPECT_STREQ("AOA:optical", Reference()->GetNameWithoutNameSpacePrefix().Buffer());
    const Samples samples = Sample(Reference(), 0.0, 25.0, 2);
    EXPECT_EQ(1.5, samples[0][1].GetAt(0));
    EXPECT_EQ(4.0, samples[1][1].GetAt(0));  // carried
    EXPECT_EQ(1.0, samples[1][1].GetAt(3));
    EXPECT_EQ(7.0, samples[2][1].GetAt(0));
    EXPECT_EQ(1.0, samples[2][1].GetAt(3));
    EXPECT_NEAR(0.04, mScene->GetTakeInfo("walk")->mLocalTimeSpan.GetStop().GetSecondDouble(), 1e-9);
}

TEST_F(AdaptiveOpticsTest, ZerosStayWithoutTheOptionAndMcdHasItsOwnPrefix) {
    mPath = mDir / "walk.mcd";
    ASSERT_TRUE(ReadText("frames = 1 markers = 1 Hz = 30\n0 0 0\n", kMcd, [](KStreamOptionsMotion& o) {
        o.SetOption(KStreamOptionsMotion::eImportExactZeroAsOccluded, KStreamOptionsMotion::eOff);
    }));
    EXPECT_STREQ("MCD:optical", Reference()->GetNameWithoutNameSpacePrefix().Buffer());
    EXPECT_EQ(0.0, Sample(Reference(), 0.0, 30.0, 1)[0][0].GetAt(3));
}

TEST_F(AdaptiveOpticsTest, BadHeadersAndShortFilesAreCorrupted) {
    ExpectCorrupted("frames=1 markers=1 Hz=30\n1 2 3\n", false);       // '=' must stand alone
    ExpectCorrupted("frames = 1 markers = 1 Hz = 0\n1 2 3\n", false);  // no rate
    ExpectCorrupted("frames = -1 markers = 1 Hz = 30\n", false);
    ExpectCorrupted("frames = 1 markers = 1 Hz = 30x\n1 2 3\n", false);
    ExpectCorrupted("frames = 100 markers = 200000 Hz = 30\n1 2 3\n", false);  // more lines than the file can hold
    ExpectCorrupted("", false);
    ExpectCorrupted("frames = 2 markers = 1 Hz = 30\n1 2 3\n", true);  // a frame missing
    ExpectCorrupted("frames = 1 markers = 2 Hz = 30\n1 2 3\n4 5\n", true);
}

TEST_F(AdaptiveOpticsTest, HeaderWordsMaySpanLinesAfterOtherText) {
    ASSERT_TRUE(ReadText("written by hand\nframes =\n1 markers = 1\nHz = 60\n1 2 3\n"));
    EXPECT_EQ((std::vector<double>{1.0}), Values(0, 0, 0.0, 60.0, 1));
}

TEST_F(AdaptiveOpticsTest, WrittenGapsAreZerosThatReadBackAsGaps) {
    KZeqNode* group = mManager.CreateKZeqNode("group");
    Root()->AddChild(group);
    AddMarker(group, "Model::Head", 3, 50.0, 0.0, [](int f) { return KZeqVector4(1.25 * f, -2, 300.5, f == 1); });
    AddMarker(group, "Hand", 3, 50.0, 0.0, [](int f) { return KZeqVector4(f, 0.001, 1e-7, 0); });
    ASSERT_TRUE(Export(mPath, KZeqExporter::eADAPTIVE_OPTICS_AOA, [](KStreamOptionsMotion& o) {
        o.SetTimeMode(KTime::eModeDefault, 50.0);
        o.SetFrameCount(3);
        o.SetOption(KStreamOptionsMotion::eExportGapsAsValidData, KStreamOptionsMotion::eOff);
    }));
    // The file keeps no gap: an occluded point is written where it stands.
    EXPECT_EQ("frames = 3 markers = 2 Hz = 50\n0 -2 300.5\n0 0.001 1e-07\n1.25 -2 300.5\n1 0.001 1e-07\n2.5 -2 300.5\n2 0.001 1e-07\n",
              ReadFile(mPath));

    // Gaps exported as zeros come back as gaps with the zero option.
    MarkerScene zeros;
    KZeqNode* parent = zeros.mManager.CreateKZeqNode("group");
    zeros.Root()->AddChild(parent);
    zeros.AddMarker(parent, "A", 3, 50.0, 0.0, [](int f) { return f == 1 ? KZeqVector4(0, 0, 0, 1) : KZeqVector4(f + 1, 2, 3, 0); });
    zeros.AddMarker(parent, "B", 3, 50.0, 0.0, [](int f) { return KZeqVector4(f, f, f, 0); });
    ASSERT_TRUE(zeros.Export(mPath, KZeqExporter::eADAPTIVE_OPTICS_AOA, [](KStreamOptionsMotion& o) {
        o.SetTimeMode(KTime::eModeDefault, 50.0);
        o.SetFrameCount(3);
    }));
    MarkerScene back;
    ASSERT_TRUE(back.Import(mPath, kAoa, [](KStreamOptionsMotion& o) {
        o.SetOption(KStreamOptionsMotion::eImportSetOccludedToLastValidPosition, KStreamOptionsMotion::eOff);
    }));
    const Samples read = Sample(back.Reference(), 0.0, 50.0, 3);
    EXPECT_EQ((std::vector<double>{0, 1, 0}), (std::vector<double>{read[0][0].GetAt(3), read[0][1].GetAt(3), read[0][2].GetAt(3)}));
    EXPECT_EQ(3.0, read[0][2].GetAt(0));
    EXPECT_EQ(1.0, read[1][0].GetAt(3));  // B at the origin in frame 0 is a gap too
    EXPECT_EQ(2.0, read[1][2].GetAt(1));
}

}  // namespace

namespace {

// Every marker writer reports a file that cannot be stored.
TEST(MarkerWriters, AFullDiskIsOutOfDiskSpace) {
    for (int row : {KZeqExporter::eMOTION_ANALYSIS_TRC, KZeqExporter::eVICON_C3D, KZeqExporter::eADAPTIVE_OPTICS_AOA,
                    KZeqExporter::eSUPERFLUO_MCD}) {
        SCOPED_TRACE(row);
        MarkerScene scene;
        KZeqNode* group = scene.mManager.CreateKZeqNode("group");
        scene.Root()->AddChild(group);
        for (const char* name : {"A", "B"})
            scene.AddMarker(group, name, 500, 100.0, 0.0, [](int f) { return KZeqVector4(f, 1, 2, 0); });
        EXPECT_TRUE(scene.ExportFailsOnAFullDevice("out", row, [](KStreamOptionsMotion& o) {
            o.SetTimeMode(KTime::eModeDefault, 100.0);
            o.SetFrameCount(500);
        }));
        EXPECT_EQ(KZeqIO::eOutOfDiskSpace, scene.mError);
    }
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "formats/motion/brd/kzeqreaderascension.h"
#include "formats/motion/brd/kzeqwriterascension.h"
#include "formats/motion/marker/tests/markertest.h"

using namespace markertest;

namespace {

constexpr int kBrd = KZeqImporter::eASCENSION_BRD;

// A line: frame, sensor, position, quaternion (x, y, z, w), seconds, microseconds.
std::string Line(int frame, int sensor, double x, const char* q = "0 0 0 1", double seconds = 0, double micro = 0) {
    char text[200];
    std::snprintf(text, sizeof(text), "%d\t%d\tP\t%g\t2\t3\tQ\t%s\t%g\t%g\n", frame, sensor, x, q, seconds, micro);
    return text;
}

struct BrdTest : ::testing::Test, MarkerScene {
    TempDir mDir;
    std::string mPath = mDir / "tracker.brd";
    KStreamOptionsMotion mRead;

    bool ReadText(const std::string& text, const std::function<void(KStreamOptionsMotion&)>& tweak = nullptr) {
        WriteFile(mPath, text);
        return Import(mPath, kBrd, [&](KStreamOptionsMotion& o) {
            if (tweak) tweak(o);
            mRead.SetStart(o.GetStart()), mRead.SetFrameCount(o.GetFrameCount());
            mRead.SetTimeMode(o.GetTimeMode(), o.GetFrameRate());
        });
    }
    std::vector<double> Keys(int marker, int c) {
        return Values(marker, c, mRead.GetStart().GetSecondDouble(), mRead.GetFrameRate(), mRead.GetFrameCount());
    }
};

TEST_F(BrdTest, RangeAndRateFromTheTimeStamps) {
    // Frames 100 to 130 stamped 10 s and 11 s: 31 frames at 30 per second from 100/30 s.
    std::string text = Line(130, 1, 30, "0 0 0 1", 11, 0);
    for (int f = 129; f >= 100; --f) text += Line(f, 1, f - 100, "0 0 0 1", 10, (f - 100) * 1000);
    ASSERT_TRUE(ReadText(text));
    EXPECT_EQ(31, mRead.GetFrameCount());
    EXPECT_NEAR(30.0, mRead.GetFrameRate(), 1e-9);
    EXPECT_NEAR(100.0 / 30.0, mRead.GetStart().GetSecondDouble(), 1e-9);
    EXPECT_EQ((std::vector<std::string>{"Marker1"}), MarkerNames());
    EXPECT_STREQ("BRD:reference", Reference()->GetNameWithoutNameSpacePrefix().Buffer());
    const std::vector<double> x = Keys(0, 0);
    for (int k = 0; k <= 30; ++k) EXPECT_NEAR(k, x[static_cast<std::size_t>(k)], 1e-6) << k;
}

TEST_F(BrdTest, LaterLinesWinAndMissingFramesAreOccluded) {
    const std::string text = Line(5, 7, 50) + Line(3, 7, 30) + Line(3, 2, 1) + Line(3, 7, 33) + Line(6, 2, 6) + Line(4, 2, 4);
    for (bool carry : {true, false}) {
        SCOPED_TRACE(carry);
        ASSERT_TRUE(ReadText(text, [&](KStreamOptionsMotion& o) {
            EXPECT_EQ(1, o.GetOption(KStreamOptionsMotion::eImportSetOccludedToLastValidPosition));
            if (!carry) o.SetOption(KStreamOptionsMotion::eImportSetOccludedToLastValidPosition, KStreamOptionsMotion::eOff);
        }));
        EXPECT_EQ((std::vector<std::string>{"Marker2", "Marker7"}), MarkerNames());
        EXPECT_EQ(4, mRead.GetFrameCount());  // all lines alike in time: the global rate
        EXPECT_NEAR(KTime::GetFrameRate(KTime::eModeDefault), mRead.GetFrameRate(), 1e-9);
        EXPECT_EQ((std::vector<double>{33, carry ? 33.0 : 0.0, 50, carry ? 50.0 : 0.0}), Keys(1, 0));
        EXPECT_EQ((std::vector<double>{0, 1, 0, 1}), Keys(1, 3));
        EXPECT_EQ((std::vector<double>{1, 4, carry ? 4.0 : 0.0, 6}), Keys(0, 0));
        mManager.DestroyKZeqNode(Reference(), true);
    }
}

TEST_F(BrdTest, QuaternionsBecomeEulerAngles) {
    ASSERT_TRUE(ReadText(Line(0, 0, 0, "0 0 0.7071068 0.7071068") + Line(1, 0, 0, "0 0 0 0") +
                         Line(2, 0, 0, "0 0 1.4142136 1.4142136") + Line(3, 0, 0, "0.5 0.5 0.5 0.5")));
    const std::vector<double> x = Keys(0, 4), y = Keys(0, 5), z = Keys(0, 6);
    EXPECT_NEAR(90.0, z[0], 1e-4);  // (0, 0, 0.7071068, 0.7071068) -> (0, 0, 90)
    EXPECT_NEAR(0.0, x[0], 1e-4);
    EXPECT_EQ(0.0, x[1] + y[1] + z[1]);  // the zero quaternion is no rotation
    EXPECT_NEAR(90.0, z[2], 1e-4);      // not normalised: the same rotation
    EXPECT_NEAR(90.0, x[3], 1e-4);
    EXPECT_NEAR(0.0, y[3], 1e-4);
    EXPECT_NEAR(90.0, z[3], 1e-4);
}

TEST_F(BrdTest, EmptyFilesMakeOnlyTheReference) {
    for (const char* text : {"", "\n \t\n"}) {
        ASSERT_TRUE(ReadText(text));
        EXPECT_EQ(1, mRead.GetFrameCount());
        EXPECT_EQ(0, mRead.GetStart().Get());
        EXPECT_TRUE(MarkerNames().empty());
        mManager.DestroyKZeqNode(Reference(), true);
    }
}

TEST_F(BrdTest, BadLinesAndSpansRejectTheWholeFile) {
    const std::string good = Line(0, 1, 0) + Line(1, 1, 1, "0 0 0 1", 0.5);
    for (const std::string& text :
         {good + "2\t1\tp\t1\t2\t3\tQ\t0\t0\t0\t1\t0\t0\n", good + "2\t1\tP\t1\t2\t3\tQ\t0\t0\t0\t1\t0\n",
          good + "2\t1\tP\t1\t2\tx\tQ\t0\t0\t0\t1\t0\t0\n", Line(0, 1, 0) + Line(20000000, 1, 0),
          Line(-2147483647, 1, 0) + Line(2147483647, 1, 0)}) {
        SCOPED_TRACE(text.substr(text.size() > 60 ? text.size() - 60 : 0));
        KZeqReaderAscension reader(mManager);
        WriteFile(mPath, text);
        ASSERT_TRUE(reader.FileOpen(mPath.c_str()));
        EXPECT_EQ(nullptr, reader.GetReadOptions());
        KStreamOptionsMotion* fresh = KStreamOptionsMotionCreate();
        const int nodes = mManager.GetKZeqNodeCount();
        EXPECT_FALSE(reader.Read(*mScene, fresh));
        EXPECT_EQ(KZeqReader::eFileCorrupted, reader.GetLastErrorID());
        EXPECT_EQ(nodes, mManager.GetKZeqNodeCount());
        fresh->Destroy();
    }
    EXPECT_EQ(0, Root()->GetChildCount());
    // P and Q may touch their numbers; text after the thirteenth field is ignored.
    ASSERT_TRUE(ReadText("0 1 P1 2 3 Q0 0 0 1 0 0 extra words\n"));
    EXPECT_EQ((std::vector<double>{1}), Keys(0, 0));
}

TEST_F(BrdTest, BackwardsTimeTakesTheGlobalRate) {
    ASSERT_TRUE(ReadText(Line(0, 1, 0, "0 0 0 1", 5) + Line(10, 1, 1, "0 0 0 1", 4)));
    EXPECT_NEAR(KTime::GetFrameRate(KTime::eModeDefault), mRead.GetFrameRate(), 1e-9);
}

TEST_F(BrdTest, WrittenLinesAndRoundTrip) {
    // root -> A (selected) -> B (selected), and a marker C occluded at frame 2.
    KZeqNode* a = AddAnimated(Root(), "A", false, 3, 30.0, 2.5, [](int f, double* c) { c[0] = 100 + f; });
    AddAnimated(a, "B", false, 3, 30.0, 2.5, [](int f, double* c) { c[1] = f, c[6] = 90.0, c[4] = 10.0 * f; });
    AddMarker(a, "C", 3, 30.0, 2.5, [](int f) { return KZeqVector4(1, 2, 3, f == 2); });
    auto options = [](KStreamOptionsMotion& o) {
        o.SetTimeMode(KTime::eModeDefault, 30.0);
        o.SetStart(Seconds(2.5));
        o.SetFrameCount(3);
    };
    ASSERT_TRUE(Export(mPath, KZeqExporter::eASCENSION_BRD, options));
    const std::string text = ReadFile(mPath);
    EXPECT_EQ(9, std::count(text.begin(), text.end(), '\n'));  // three frames of three sensors
    // A is the export root: its lines hold the origin and no rotation; 2.5 s is 2 s and 500000 us.
    EXPECT_EQ("0\t0\tP\t0\t0\t0\tQ\t0\t0\t0\t1\t2\t500000\n", text.substr(0, text.find('\n') + 1));
    EXPECT_NE(std::string::npos, text.find("\n1\t0\tP\t0\t0\t0\tQ\t0\t0\t0\t1\t2\t533333\n"));
    ASSERT_TRUE(Export(mPath, KZeqExporter::eASCENSION_BRD, [&](KStreamOptionsMotion& o) {
        options(o);
        o.SetOption(KStreamOptionsMotion::eExportGapsAsValidData, KStreamOptionsMotion::eOff);
    }));
    const std::string skipped = ReadFile(mPath);
    EXPECT_EQ(8, std::count(skipped.begin(), skipped.end(), '\n'));
    EXPECT_EQ(std::string::npos, skipped.find("\n2\t2\t"));

    MarkerScene back;
    KStreamOptionsMotion read;
    ASSERT_TRUE(back.Import(mPath, kBrd, [&](KStreamOptionsMotion& o) {
        o.SetOption(KStreamOptionsMotion::eImportSetOccludedToLastValidPosition, KStreamOptionsMotion::eOff);
        read.SetStart(o.GetStart()), read.SetTimeMode(KTime::eModeDefault, o.GetFrameRate());
    }));
    EXPECT_EQ((std::vector<std::string>{"Marker0", "Marker1", "Marker2"}), back.MarkerNames());
    EXPECT_EQ(0, read.GetStart().Get());  // frame numbers from 0
    const double rate = read.GetFrameRate();
    EXPECT_NEAR(30.0, rate, 1e-3);
    EXPECT_EQ((std::vector<double>{0, 1, 2}), back.Values(1, 1, 0.0, rate, 3));
    const std::vector<double> rx = back.Values(1, 4, 0.0, rate, 3), rz = back.Values(1, 6, 0.0, rate, 3);
    for (int f = 0; f < 3; ++f) {
        EXPECT_NEAR(10.0 * f, rx[static_cast<std::size_t>(f)], 1e-3);
        EXPECT_NEAR(90.0, rz[static_cast<std::size_t>(f)], 1e-3);
    }
    EXPECT_EQ((std::vector<double>{0, 0, 1}), back.Values(2, 3, 0.0, rate, 3));
}

}  // namespace

namespace {

TEST(BrdWriter, AFullDiskIsOutOfDiskSpace) {
    MarkerScene scene;
    KZeqNode* group = scene.mManager.CreateKZeqNode("group");
    scene.Root()->AddChild(group);
    for (const char* name : {"A", "B"})
        scene.AddAnimated(group, name, false, 500, 100.0, 0.0, [](int f, double* c) { c[0] = f; });
    ASSERT_TRUE(scene.ExportFailsOnAFullDevice("brd", KZeqExporter::eASCENSION_BRD, [](KStreamOptionsMotion& o) {
        o.SetTimeMode(KTime::eModeDefault, 100.0);
        o.SetFrameCount(500);
    }));
    EXPECT_EQ(KZeqIO::eOutOfDiskSpace, scene.mError);
}

}  // namespace

#include <gtest/gtest.h>

#include <string>

#include "content/kzeqopticalreference.h"
#include "formats/motion/marker/tests/markertest.h"
#include "formats/motion/mov/kzeqreadercorvantismov.h"
#include "formats/motion/mov/kzeqwritercorvantismov.h"

using namespace markertest;

namespace {

constexpr int kMov = KZeqImporter::eCORVANTIS_MOV;

struct MovTest : ::testing::Test, MarkerScene {
    TempDir mDir;
    std::string mPath = mDir / "run.mov";

    // The reader's options for a file (null when it gives none).
    KStreamOptionsMotion* Options(const std::string& text, KZeqReaderCorvantisMov& reader) {
        WriteFile(mPath, text);
        EXPECT_TRUE(reader.FileOpen(mPath.c_str()));
        return static_cast<KStreamOptionsMotion*>(reader.GetReadOptions());
    }
    bool ReadText(const std::string& text, const std::function<void(KStreamOptionsMotion&)>& tweak = nullptr) {
        WriteFile(mPath, text);
        return Import(mPath, kMov, tweak);
    }
};

struct RateCase {
    const char* mName;
    const char* mTimes;  // the first column, one row each
    double mRate;        // 0: the global time mode's
    double mStart;
};

const RateCase kRates[] = {
    {"EvenTimes", "0 0.04 0.08", 25.0, 0.0},
    {"StartsLate", "2 2.5 3", 2.0, 2.0},
    // 1/0.02 = 50, then the mean of 50 and 1/0.04 = 25.
    {"MeanOfLaterIntervals", "1 1.02 1.06", 37.5, 1.0},
    // Equal times would divide by zero: such pairs are passed over.
    {"EqualTimes", "0 0.1 0.1 0.2", 10.0, 0.0},
    {"AllAlike", "5 5 5", 0.0, 5.0},
    {"OnlyTheFirstTenRows", "0 0.1 0.2 0.3 0.4 0.5 0.6 0.7 0.8 0.9 0.901 0.902", 10.0, 0.0},
};

struct MovRateTest : MovTest, ::testing::WithParamInterface<RateCase> {};

TEST_P(MovRateTest, EstimatesTheRateFromTheFirstRows) {
    std::string text;
    const std::string times = GetParam().mTimes;
    std::size_t rows = 0;
    for (std::size_t at = 0; at < times.size();) {
        const std::size_t end = std::min(times.find(' ', at), times.size());
        text += times.substr(at, end - at) + "\t1\t2\t3\n\n";
        at = end + 1;
        ++rows;
    }
    KZeqReaderCorvantisMov reader(mManager);
    KStreamOptionsMotion* options = Options(text, reader);
    ASSERT_TRUE(options);
    const double expected = GetParam().mRate > 0 ? GetParam().mRate : KTime::GetFrameRate(KTime::GetGlobalTimeMode());
    EXPECT_NEAR(expected, options->GetFrameRate(), 1e-9);
    EXPECT_NEAR(GetParam().mStart, options->GetStart().GetSecondDouble(), 1e-9);
    EXPECT_EQ(static_cast<int>(rows), options->GetFrameCount());
    for (int g = 0; g < 3; ++g) EXPECT_EQ(1, options->GetOption(g));
    EXPECT_EQ(0, options->GetOption(KStreamOptionsMotion::eImportAsOpticalSegments));
    options->Destroy();
}

INSTANTIATE_TEST_SUITE_P(Rates, MovRateTest, ::testing::ValuesIn(kRates),
                         [](const ::testing::TestParamInfo<RateCase>& info) { return info.param.mName; });

TEST_F(MovTest, NodesFollowTheEnabledGroupsAndShortRowsTakeZeros) {
    // 13 columns with translation and rotation: two nodes, columns 1-6 and 7-12, the last ignored.
    ASSERT_TRUE(ReadText("0 1 2 3 10 20 30 4 5 6 40 50 60 99\n0.5 1 2 3 10 20 30 4\n", [](KStreamOptionsMotion& o) {
        o.SetOption(KStreamOptionsMotion::eScaling, KStreamOptionsMotion::eOff);
    }));
    EXPECT_EQ((std::vector<std::string>{"Marker0", "Marker1"}), MarkerNames());
    EXPECT_STREQ("MOV:reference", Reference()->GetNameWithoutNameSpacePrefix().Buffer());
    EXPECT_EQ((std::vector<double>{3, 3}), Values(0, 2, 0.0, 2.0, 2));
    EXPECT_EQ((std::vector<double>{20, 20}), Values(0, 5, 0.0, 2.0, 2));
    EXPECT_EQ((std::vector<double>{4, 4}), Values(1, 0, 0.0, 2.0, 2));
    EXPECT_EQ((std::vector<double>{60, 0}), Values(1, 6, 0.0, 2.0, 2));  // the short row's missing values
    EXPECT_EQ(0, Curve(0, 7)->KeyGetCount());                           // no scaling keys
    EXPECT_NEAR(0.5, mScene->GetTakeInfo("run")->mLocalTimeSpan.GetStop().GetSecondDouble(), 1e-9);
}

TEST_F(MovTest, NothingEnabledOrAWordFirstIsRefused) {
    KZeqReaderCorvantisMov reader(mManager);
    KStreamOptionsMotion* options = Options("0 1 2 3\n", reader);
    ASSERT_TRUE(options);
    for (int g = 0; g < 3; ++g) options->SetOption(g, KStreamOptionsMotion::eOff);
    EXPECT_FALSE(reader.Read(*mScene, options));
    EXPECT_EQ(KZeqReader::eUnidentifiedError, reader.GetLastErrorID());
    EXPECT_STREQ("No animation to import.", reader.GetLastErrorString());
    options->Destroy();
    EXPECT_EQ(nullptr, Options("time 1 2 3\n0 1 2 3\n", reader));
    EXPECT_EQ(KZeqReader::eFileCorrupted, reader.GetLastErrorID());
    KStreamOptionsMotion* fresh = KStreamOptionsMotionCreate();
    fresh->SetFrameCount(5);
    EXPECT_FALSE(reader.Read(*mScene, fresh));
    EXPECT_EQ(KZeqReader::eFileCorrupted, reader.GetLastErrorID());
    EXPECT_EQ(nullptr, Options("", reader));
    // A first line of many numbers over rows of few: fewer numbers than half of what is implied.
    std::string sparse(400, ' ');
    for (int i = 0; i < 200; ++i) sparse[static_cast<std::size_t>(2 * i)] = '1';
    sparse += "\n";
    for (int i = 0; i < 50; ++i) sparse += "1\n";
    const int nodes = mManager.GetKZeqNodeCount();
    ASSERT_NE(nullptr, options = Options(sparse, reader));
    EXPECT_FALSE(reader.Read(*mScene, options));
    EXPECT_EQ(KZeqReader::eFileCorrupted, reader.GetLastErrorID());
    EXPECT_EQ(nodes, mManager.GetKZeqNodeCount());
    EXPECT_EQ(0, Root()->GetChildCount());
    options->Destroy();
    fresh->Destroy();
}

TEST_F(MovTest, WrittenRowsAndRoundTrip) {
    KZeqNode* group = mManager.CreateKZeqNode("group");
    Root()->AddChild(group);
    KZeqNode* reference = mManager.CreateKZeqNode("C3D:optical");
    reference->SetNodeAttribute(mManager.CreateKZeqOpticalReference());
    reference->SetSelected(true);
    group->AddChild(reference);
    auto motion = [](double base) {
        return [base](int f, double* c) {
            c[0] = base + f, c[1] = -2.5, c[2] = 0.125 * f;
            c[4] = 10.0 * f, c[5] = -20.0, c[6] = 45.0;
            c[7] = 1.0, c[8] = 2.0, c[9] = 0.5;
        };
    };
    AddAnimated(reference, "A", false, 3, 25.0, 0.0, motion(1.0));
    AddAnimated(reference, "Unselected", false, 3, 25.0, 0.0, motion(5.0))->SetSelected(false);
    AddAnimated(group, "B", false, 3, 25.0, 0.0, motion(-7.0));
    ASSERT_TRUE(Export(mPath, KZeqExporter::eCORVANTIS_MOV, [](KStreamOptionsMotion& o) {
        o.SetTimeMode(KTime::eModeDefault, 25.0);
        o.SetFrameCount(3);
    }));
    const std::string text = ReadFile(mPath);
    const std::string first = text.substr(0, text.find('\n'));
    EXPECT_EQ("0\t1\t-2.5\t0\t0\t-20\t45\t1\t2\t0.5\t-7\t-2.5\t0\t0\t-20\t45\t1\t2\t0.5\t", first);  // a tab after each value

    MarkerScene back;
    ASSERT_TRUE(back.Import(mPath, kMov));
    ASSERT_EQ(2u, back.MarkerNames().size());
    for (int c : {0, 1, 2, 4, 5, 6, 7, 8, 9}) {
        std::vector<double> expected;
        for (int f = 0; f < 3; ++f) {
            double channels[10] = {0, 0, 0, 0, 0, 0, 0, 1, 1, 1};
            motion(-7.0)(f, channels);
            expected.push_back(channels[c]);
        }
        const std::vector<double> read = back.Values(1, c, 0.0, 25.0, 3);
        for (int f = 0; f < 3; ++f) EXPECT_NEAR(expected[static_cast<std::size_t>(f)], read[static_cast<std::size_t>(f)], 1e-4) << c;
    }

    // Nothing enabled to write.
    EXPECT_FALSE(Export(mPath, KZeqExporter::eCORVANTIS_MOV, [](KStreamOptionsMotion& o) {
        for (int g = 0; g < 3; ++g) o.SetOption(g, KStreamOptionsMotion::eOff);
    }));
}

// Times are printed with nine digits: the rate estimated from them on reading
// is the rate written (six digits made 120 frames a second read as 120.073).
TEST_F(MovTest, AWrittenRateReadsBack) {
    for (double rate : {120.0, 30.0, 29.97, 240.0}) {
        SCOPED_TRACE(rate);
        MarkerScene scene;
        scene.AddAnimated(scene.Root(), "A", false, 20, rate, 0.0, [](int f, double* c) { c[0] = f; });
        ASSERT_TRUE(scene.Export(mPath, KZeqExporter::eCORVANTIS_MOV, [rate](KStreamOptionsMotion& o) {
            o.SetTimeMode(KTime::eModeDefault, rate);
            o.SetFrameCount(20);
        }));
        KZeqReaderCorvantisMov reader(mManager);
        ASSERT_TRUE(reader.FileOpen(mPath.c_str()));
        KStreamOptions* options = reader.GetReadOptions();
        ASSERT_TRUE(options);
        EXPECT_NEAR(rate, static_cast<KStreamOptionsMotion*>(options)->GetFrameRate(), 1e-6 * rate);
        EXPECT_EQ(20, static_cast<KStreamOptionsMotion*>(options)->GetFrameCount());
        options->Destroy();
    }
}

}  // namespace

namespace {

TEST(MovWriter, AFullDiskIsOutOfDiskSpace) {
    MarkerScene scene;
    KZeqNode* group = scene.mManager.CreateKZeqNode("group");
    scene.Root()->AddChild(group);
    for (const char* name : {"A", "B"})
        scene.AddAnimated(group, name, false, 500, 100.0, 0.0, [](int f, double* c) { c[0] = f; });
    ASSERT_TRUE(scene.ExportFailsOnAFullDevice("mov", KZeqExporter::eCORVANTIS_MOV, [](KStreamOptionsMotion& o) {
        o.SetTimeMode(KTime::eModeDefault, 100.0);
        o.SetFrameCount(500);
    }));
    EXPECT_EQ(KZeqIO::eOutOfDiskSpace, scene.mError);
}

}  // namespace

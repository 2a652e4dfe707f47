#include "formats/motion/marker/kzeqvicon.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <optional>
#include <random>
#include <string>

#include "formats/motion/marker/kzeqfilevicon.h"
#include "formats/motion/marker/tests/c3dbuilder.h"
#include "formats/motion/marker/tests/markertest.h"

using namespace markertest;
using c3dtest::C3DBuilder;

namespace {

constexpr int kC3d = KZeqImporter::eVICON_C3D;

void NoCarry(KStreamOptionsMotion& o) {
    o.SetOption(KStreamOptionsMotion::eImportSetOccludedToLastValidPosition, KStreamOptionsMotion::eOff);
}

struct ViconTest : ::testing::Test, MarkerScene {
    TempDir mDir;
    std::string mPath = mDir / "take.c3d";

    bool ReadBytes(const std::string& bytes, const std::function<void(KStreamOptionsMotion&)>& tweak = NoCarry) {
        WriteFile(mPath, bytes);
        return Import(mPath, kC3d, tweak);
    }
    void ExpectCorrupted(const std::string& bytes, bool headerReads) {
        WriteFile(mPath, bytes);
        KZeqReaderVicon reader(mManager);
        ASSERT_TRUE(reader.FileOpen(mPath.c_str()));
        KStreamOptions* options = reader.GetReadOptions();
        EXPECT_EQ(headerReads, options != nullptr);
        if (options) options->Destroy();
        KStreamOptionsMotion* fresh = KStreamOptionsMotionCreate();
        fresh->SetFrameCount(1000);
        const int nodes = mManager.GetKZeqNodeCount();
        EXPECT_FALSE(reader.Read(*mScene, fresh));
        EXPECT_EQ(KZeqReader::eFileCorrupted, reader.GetLastErrorID());
        EXPECT_EQ(nodes, mManager.GetKZeqNodeCount());
        EXPECT_EQ(0, Root()->GetChildCount());
        fresh->Destroy();
    }
};

// ---- The shared sample files ----

TEST_F(ViconTest, Eb015VariantsReadTheSamePoints) {
    Samples first;
    for (const char* name : {"c3d/Eb015pi.c3d", "c3d/Eb015pr.c3d", "c3d/Eb015si.c3d", "c3d/Eb015sr.c3d",
                             "c3d/Eb015vi.c3d", "c3d/Eb015vr.c3d"}) {
        SCOPED_TRACE(name);
        ZEQ_SAMPLE_OR_SKIP(path, name);
        MarkerScene scene;
        double start = 0.0, rate = 0.0;
        int frames = 0;
        ASSERT_TRUE(scene.Import(path, kC3d, [&](KStreamOptionsMotion& o) {
            NoCarry(o);
            start = o.GetStart().GetSecondDouble(), rate = o.GetFrameRate(), frames = o.GetFrameCount();
        }));
        EXPECT_NEAR(0.02, start, 1e-9);
        EXPECT_EQ(50.0, rate);
        EXPECT_EQ(450, frames);
        const std::vector<std::string> names = scene.MarkerNames();
        ASSERT_EQ(26u, names.size());
        EXPECT_EQ("RFT1", names.front());
        EXPECT_EQ("pv4", names.back());
        const Samples samples = Sample(scene.Reference(), start, rate, frames);
        // RFT1 at frame 1 is (248.583, 226.833, 37.417) mm with X_SCREEN +Y and Y_SCREEN +Z: (-Y, Z, -X).
        EXPECT_NEAR(-22.6833, samples[0][0].GetAt(0), 0.005);
        EXPECT_NEAR(3.7417, samples[0][0].GetAt(1), 0.005);
        EXPECT_NEAR(-24.8583, samples[0][0].GetAt(2), 0.005);
        int gaps = 0;
        double low = 1e9, high = -1e9;
        for (const auto& track : samples)
            for (const KZeqVector4& v : track) {
                gaps += v.GetAt(3) > 0.5;
                if (v.GetAt(3) < 0.5) low = std::min(low, v.GetAt(1)), high = std::max(high, v.GetAt(1));
            }
        EXPECT_EQ(226, gaps);
        EXPECT_NEAR(2.9, low, 0.1);  // the lab's vertical lands on scene y
        EXPECT_NEAR(96.7, high, 0.1);
        if (first.empty()) {
            first = samples;
            continue;
        }
        for (std::size_t m = 0; m < samples.size(); ++m)
            for (std::size_t f = 0; f < samples[m].size(); ++f)
                for (int c = 0; c < 4; ++c) ASSERT_NEAR(first[m][f].GetAt(c), samples[m][f].GetAt(c), 0.005) << m << " " << f;
    }
}

TEST_F(ViconTest, HdmTakeDropsItsSubjectPrefixUnlessAskedToKeepIt) {
    ZEQ_SAMPLE_OR_SKIP(path, "c3d/HDM_dg_06-03_03_120.c3d");
    double start = 0.0;
    int frames = 0;
    ASSERT_TRUE(Import(path, kC3d, [&](KStreamOptionsMotion& o) {
        NoCarry(o);
        o.SetOption(KStreamOptionsMotion::eImportActorPrefix, KStreamOptionsMotion::eOff);
        start = o.GetStart().GetSecondDouble(), frames = o.GetFrameCount();
    }));
    EXPECT_NEAR(2925.0 / 120.0, start, 1e-9);
    EXPECT_EQ(202, frames);
    std::vector<std::string> names = MarkerNames();
    ASSERT_EQ(44u, names.size());
    EXPECT_EQ((std::vector<std::string>{"*0", "*1", "*2", "LFHD"}), std::vector<std::string>(names.begin(), names.begin() + 4));
    EXPECT_EQ(0, OccludedCount());
    // With the reader's defaults the file's USES_PREFIXES keeps "Daniel", its ':' made '_'.
    MarkerScene kept;
    ASSERT_TRUE(kept.Import(path, kC3d));
    EXPECT_EQ("Daniel_LFHD", kept.MarkerNames()[3]);
}

TEST_F(ViconTest, BasketballHasNoUnitsAndEverySampleOccluded) {
    ZEQ_SAMPLE_OR_SKIP(path, "c3d/basketball.c3d");
    double rate = 0.0;
    int frames = 0;
    ASSERT_TRUE(Import(path, kC3d, [&](KStreamOptionsMotion& o) { NoCarry(o), rate = o.GetFrameRate(), frames = o.GetFrameCount(); }));
    EXPECT_EQ(25.000002f, static_cast<float>(rate));
    EXPECT_EQ(34, frames);
    const std::vector<std::string> names = MarkerNames();
    ASSERT_EQ(22u, names.size());
    EXPECT_EQ("2000", names.front());
    EXPECT_EQ("2021", names.back());
    int gaps = 0;
    for (const auto& track : Sample(Reference(), 1.0 / rate, rate, frames))
        for (const KZeqVector4& v : track) gaps += v.GetAt(3) > 0.5;
    EXPECT_EQ(748, gaps);
    // No UNITS: millimetres. The first point's file x of 0.489 m... in mm is 0.0489 cm.
    EXPECT_NEAR(-0.0489092, TrackOf(0, 0).mValues.at(0), 1e-6);
}

// ---- Hand-made files ----

// Two points over two frames in millimetres, a POINT group with labels.
C3DBuilder TwoPoints(const std::vector<std::string>& labels = {"A", "B"}) {
    C3DBuilder b;
    b.mPoints = 2;
    b.mLastFrame = 2;
    b.Group("POINT", 1);
    b.Texts("LABELS", 1, labels, 8);
    b.Point(10, 20, 30), b.Point(40, 50, 60, false);
    b.Point(11, 21, 31), b.Point(41, 51, 61);
    return b;
}

TEST_F(ViconTest, AnyOtherProcessorByteIsIntel) {
    C3DBuilder b = TwoPoints();
    b.mProcessorByte = 87;
    ASSERT_TRUE(ReadBytes(b.Build()));
    EXPECT_EQ((std::vector<float>{-1.0f, -1.1f}), TrackOf(0, 0).mValues);  // scene x is -X
    EXPECT_EQ((std::vector<float>{3.0f, 3.1f}), TrackOf(0, 1).mValues);    // scene y is Z
    EXPECT_EQ((std::vector<float>{2.0f, 2.1f}), TrackOf(0, 2).mValues);    // scene z is Y
    EXPECT_EQ((std::vector<float>{1.0f, 0.0f}), TrackOf(1, 3).mValues);
}

TEST_F(ViconTest, MipsIntegersWithAnalogValuesBetweenFrames) {
    C3DBuilder b;
    b.mBigEndian = true;
    b.mProcessorByte = 86;
    b.mScale = 0.5f;
    b.mAnalog = 3;
    b.mLastFrame = 2;
    b.Point(100, -20, 6), b.Analog(3);
    b.Point(-100, 20, 8, false), b.Analog(3);
    ASSERT_TRUE(ReadBytes(b.Build()));
    EXPECT_EQ((std::vector<std::string>{"0000"}), MarkerNames());
    EXPECT_EQ((std::vector<float>{-10.0f, 10.0f}), TrackOf(0, 0).mValues);
    EXPECT_EQ((std::vector<float>{0.6f, 0.8f}), TrackOf(0, 1).mValues);
    EXPECT_EQ((std::vector<float>{0.0f, 1.0f}), TrackOf(0, 3).mValues);
}

TEST_F(ViconTest, UnlabelledPointsAreNamedByTheirIndex) {
    C3DBuilder b;
    b.mPoints = 40;
    b.Group("POINT", 1);
    std::vector<std::string> labels;
    for (int i = 0; i < 38; ++i) labels.push_back("M" + std::to_string(i));
    b.Texts("LABELS", 1, labels, 4);
    for (int i = 0; i < 40; ++i) b.Point(1, 2, 3);
    ASSERT_TRUE(ReadBytes(b.Build()));
    const std::vector<std::string> names = MarkerNames();
    ASSERT_EQ(40u, names.size());
    EXPECT_EQ("M37", names[37]);
    EXPECT_EQ("0038", names[38]);
    EXPECT_EQ("0039", names[39]);
}

struct ParameterCase {
    const char* mName;
    std::function<void(C3DBuilder&)> mParameters;
    KZeqVector4 mFirst;  // the first point (10, 20, 30) in the scene
};

const ParameterCase kParameterCases[] = {
    {"Defaults", [](C3DBuilder&) {}, KZeqVector4(-1, 3, 2, 0)},
    {"Metres", [](C3DBuilder& b) { b.Text("UNITS", 1, "m"); }, KZeqVector4(-1000, 3000, 2000, 0)},
    {"MillimetresInCapitals", [](C3DBuilder& b) { b.Text("UNITS", 1, "MM  "); }, KZeqVector4(-1, 3, 2, 0)},
    {"Inches", [](C3DBuilder& b) { b.Text("UNITS", 1, "in"); }, KZeqVector4(-25.4, 76.2, 50.8, 0)},
    {"AnalogUnitsAreNotThePoints", [](C3DBuilder& b) { b.Group("ANALOG", 2), b.Text("UNITS", 2, "mV"); }, KZeqVector4(-1, 3, 2, 0)},
    // Screen right -Y and up +Z: scene (Y, Z, X).
    {"XScreenMinusY", [](C3DBuilder& b) { b.Text("X_SCREEN", 1, "-Y"); }, KZeqVector4(2, 3, 1, 0)},
    {"ScreenPlusYPlusZ", [](C3DBuilder& b) { b.Text("X_SCREEN", 1, "+Y"), b.Text("Y_SCREEN", 1, "+Z"); }, KZeqVector4(-2, 3, -1, 0)},
    {"YUp", [](C3DBuilder& b) { b.Text("X_SCREEN", 1, "+X"), b.Text("Y_SCREEN", 1, "+Y"); }, KZeqVector4(-1, 2, -3, 0)},
    {"SameAxisTwiceKeepsTheDefault", [](C3DBuilder& b) { b.Text("X_SCREEN", 1, "+Z"), b.Text("Y_SCREEN", 1, "z"); }, KZeqVector4(-1, 3, 2, 0)},
    {"UnknownLetterKeepsTheDefault", [](C3DBuilder& b) { b.Text("X_SCREEN", 1, "+Q"); }, KZeqVector4(-1, 3, 2, 0)},
};

struct ViconParameterTest : ViconTest, ::testing::WithParamInterface<ParameterCase> {};

TEST_P(ViconParameterTest, MapsTheFirstPoint) {
    C3DBuilder b = TwoPoints();
    GetParam().mParameters(b);
    ASSERT_TRUE(ReadBytes(b.Build()));
    for (int c = 0; c < 3; ++c) EXPECT_NEAR(GetParam().mFirst.GetAt(c), TrackOf(0, c).mValues.at(0), 1e-4) << c;
}

INSTANTIATE_TEST_SUITE_P(Parameters, ViconParameterTest, ::testing::ValuesIn(kParameterCases),
                         [](const ::testing::TestParamInfo<ParameterCase>& info) { return info.param.mName; });

TEST_F(ViconTest, PrefixesGoUnlessTheFileUsesThemAndTheOptionKeepsThem) {
    struct Case {
        bool mUsesPrefixes, mOption;
        const char* mName;
    } cases[] = {{false, false, "Toe"}, {true, false, "Toe"}, {false, true, "Toe"}, {true, true, "Sub_Toe"}};
    for (const Case& c : cases) {
        C3DBuilder b = TwoPoints({"Sub:Toe", "B:C:D"});
        if (c.mUsesPrefixes) b.Group("SUBJECTS", 2), b.Words("USES_PREFIXES", 2, {1});
        ASSERT_TRUE(ReadBytes(b.Build(), [&](KStreamOptionsMotion& o) {
            o.SetOption(KStreamOptionsMotion::eImportActorPrefix, c.mOption ? KStreamOptionsMotion::eOn : KStreamOptionsMotion::eOff);
        }));
        EXPECT_EQ(c.mName, MarkerNames()[0]);
        EXPECT_EQ(c.mUsesPrefixes && c.mOption ? "B_C_D" : "C_D", MarkerNames()[1]);
        mManager.DestroyKZeqNode(Reference(), true);
    }
}

TEST_F(ViconTest, TimeCodesMoveTheStart) {
    C3DBuilder b = TwoPoints();
    b.mFirstFrame = 50, b.mLastFrame = 51;
    b.Group("TIMECODE", 2);
    b.Parameter("TIMECODES", 2, 2, {4, 1}, b.Word(0) + b.Word(0) + b.Word(3) + b.Word(0));
    double start = 0.0;
    ASSERT_TRUE(ReadBytes(b.Build(), [&](KStreamOptionsMotion& o) { start = o.GetStart().GetSecondDouble(); }));
    EXPECT_NEAR(3.5, start, 1e-9);  // frame 50 at 100 Hz, then 3 s
}

TEST_F(ViconTest, BrokenFilesAreCorrupted) {
    const std::string good = TwoPoints().Build();
    ExpectCorrupted(good.substr(0, good.size() - 5), true);  // the last point cut
    ExpectCorrupted(good.substr(0, 600), true);                // no data at all
    ExpectCorrupted(good.substr(0, 20), false);
    std::string noKey = good;
    noKey[1] = 0x12;
    ExpectCorrupted(noKey, false);
    std::string noPoints = good;
    noPoints[2] = noPoints[3] = 0;
    ExpectCorrupted(noPoints, false);
    std::string dataBeforeFile = good;
    dataBeforeFile[16] = dataBeforeFile[17] = 0;  // data start block 0
    ExpectCorrupted(dataBeforeFile, true);
    ExpectCorrupted("", false);
}

// ---- Writing ----

struct WriteCase {
    const char* mName;
    bool mFloats;
    double mTolerance;  // centimetres
};

struct ViconWriteTest : ViconTest, ::testing::WithParamInterface<WriteCase> {};

TEST_P(ViconWriteTest, WrittenFilesReadBackEqual) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> position(-400.0, 400.0);
    const int frames = 30, markers = 300;  // more than one LABELS parameter holds
    const double rate = 60.0, start = 2.0;
    KZeqNode* parent = mManager.CreateKZeqNode("group");
    Root()->AddChild(parent);
    std::vector<std::vector<KZeqVector4>> made(markers);
    for (int m = 0; m < markers; ++m) {
        for (int f = 0; f < frames; ++f)
            made[static_cast<std::size_t>(m)].emplace_back(position(random), position(random), position(random), random() % 7 == 0);
        AddMarker(parent, ("Model::Actor:M" + std::to_string(m)).c_str(), frames, rate, start,
                  [&](int f) { return made[static_cast<std::size_t>(m)][static_cast<std::size_t>(f)]; });
    }
    ASSERT_TRUE(Export(mPath, KZeqExporter::eVICON_C3D, [&](KStreamOptionsMotion& o) {
        EXPECT_EQ(1, o.GetOption(KStreamOptionsMotion::eExportC3DRealFormat));
        if (!GetParam().mFloats) o.SetOption(KStreamOptionsMotion::eExportC3DRealFormat, KStreamOptionsMotion::eOff);
        o.SetTimeMode(KTime::eModeDefault, rate);
        o.SetStart(Seconds(start));
        o.SetFrameCount(frames);
    })) << mErrorText.Buffer();
    const std::string bytes = ReadFile(mPath);
    EXPECT_EQ(0x50, bytes[1]);
    EXPECT_EQ(85, bytes[512 + 3]);  // DEC
    const int dataStart = static_cast<unsigned char>(bytes[16]) | static_cast<unsigned char>(bytes[17]) << 8;
    EXPECT_EQ(dataStart - 2, static_cast<unsigned char>(bytes[512 + 2]));  // the true parameter block count
    EXPECT_EQ(static_cast<std::size_t>(dataStart - 1) * 512 + std::size_t(frames) * markers * (GetParam().mFloats ? 16 : 8),
              bytes.size());

    MarkerScene back;
    double readStart = 0.0;
    ASSERT_TRUE(back.Import(mPath, kC3d, [&](KStreamOptionsMotion& o) { NoCarry(o), readStart = o.GetStart().GetSecondDouble(); }));
    EXPECT_NEAR(start, readStart, 1e-9);
    const std::vector<std::string> names = back.MarkerNames();
    ASSERT_EQ(static_cast<std::size_t>(markers), names.size());
    EXPECT_EQ("M299", names.back());
    const Samples read = Sample(back.Reference(), start, rate, frames);
    for (int m = 0; m < markers; ++m)
        for (int f = 0; f < frames; ++f) {
            const KZeqVector4& a = made[static_cast<std::size_t>(m)][static_cast<std::size_t>(f)];
            const KZeqVector4& b = read[static_cast<std::size_t>(m)][static_cast<std::size_t>(f)];
            ASSERT_EQ(a.GetAt(3), b.GetAt(3)) << m << " " << f;
            for (int c = 0; c < 3 && a.GetAt(3) == 0.0; ++c)
                ASSERT_NEAR(static_cast<float>(a.GetAt(c)), b.GetAt(c), GetParam().mTolerance) << m << " " << f;
        }
}

const WriteCase kWriteCases[] = {
    {"Floats", true, 1e-4},
    {"Integers", false, 0.5 * 0.014490029 + 1e-5},  // half a step
};

INSTANTIATE_TEST_SUITE_P(Forms, ViconWriteTest, ::testing::ValuesIn(kWriteCases),
                         [](const ::testing::TestParamInfo<WriteCase>& info) { return info.param.mName; });

std::vector<std::string> gWarnings;
int Warn(const char* caption, const char* message, const char*, const char*, const char*, int) {
    gWarnings.push_back(std::string(caption) + ": " + message);
    return 1;
}

TEST_F(ViconTest, IntegersBeyondTheirRangeAreWrittenAsGapsWithAWarning) {
    gWarnings.clear();
    KZeqNode* parent = mManager.CreateKZeqNode("group");
    Root()->AddChild(parent);
    AddMarker(parent, "Near", 2, 10.0, 0.0, [](int) { return KZeqVector4(100, 200, 300, 0); });
    AddMarker(parent, "Far", 2, 10.0, 0.0, [](int f) { return KZeqVector4(f ? 480 : 470, 0, 0, 0); });
    ASSERT_TRUE(Export(mPath, KZeqExporter::eVICON_C3D, [](KStreamOptionsMotion& o) {
        o.SetOption(KStreamOptionsMotion::eExportC3DRealFormat, KStreamOptionsMotion::eOff);
        o.SetMessageCallback(1, &Warn);
        o.SetTimeMode(KTime::eModeDefault, 10.0);
        o.SetFrameCount(2);
    }));
    ASSERT_EQ(1u, gWarnings.size());
    EXPECT_EQ(0u, gWarnings[0].find("Warning: 1 samples lay beyond"));
    const std::string bytes = ReadFile(mPath);
    const std::size_t data = bytes.size() - 2 * 2 * 8;
    EXPECT_EQ(0, bytes[data + 7]);                                    // Near, frame 0: valid
    EXPECT_EQ(static_cast<char>(0x80), bytes[data + 2 * 8 + 8 + 7]);  // Far, frame 1: beyond 4.75 m, a gap
    MarkerScene back;
    ASSERT_TRUE(back.Import(mPath, kC3d, NoCarry));
    EXPECT_EQ((std::vector<float>{0.0f, 1.0f}), back.TrackOf(1, 3).mValues);
    EXPECT_NEAR(470.0f, back.TrackOf(1, 0).mValues[0], 0.01);
}

// The header counts points in a 16-bit word: a scene of more is refused before
// anything is written, saying so rather than as a full disk.
TEST_F(ViconTest, MorePointsThanTheHeaderCountsAreRefused) {
    KZeqNode* parent = mManager.CreateKZeqNode("group");
    Root()->AddChild(parent);
    for (int i = 0; i <= 65535; ++i) {
        KZeqNode* node = mManager.CreateKZeqNode(("m" + std::to_string(i)).c_str());
        parent->AddChild(node);
        node->SetSelected(true);
    }
    EXPECT_FALSE(Export(mPath, KZeqExporter::eVICON_C3D, [](KStreamOptionsMotion& o) { o.SetFrameCount(1); }));
    EXPECT_EQ(KZeqIO::eOutOfDiskSpace, mError);
    EXPECT_EQ("A C3D file holds at most 65535 points.", Str(mErrorText));
    EXPECT_TRUE(std::filesystem::is_empty(mDir.Path()));
}

TEST_F(ViconTest, FloatGapsCarryMinusOneAndLongTakesKeepTheirFrames) {
    KZeqNode* parent = mManager.CreateKZeqNode("group");
    Root()->AddChild(parent);
    const int frames = 70000;
    // (A header rate of 1000 reads as 30: rates must lie strictly inside (0.001, 1000).)
    AddMarker(parent, "A", frames, 500.0, 0.0, [](int f) { return KZeqVector4(f % 100, 1, 2, f == 1); });
    AddMarker(parent, "B", 1, 500.0, 0.0, [](int) { return KZeqVector4(0, 0, 0, 0); });
    ASSERT_TRUE(Export(mPath, KZeqExporter::eVICON_C3D, [&](KStreamOptionsMotion& o) {
        o.SetTimeMode(KTime::eModeDefault, 500.0);
        o.SetFrameCount(frames);
    }));
    const std::string bytes = ReadFile(mPath);
    const std::size_t frame1 = bytes.size() - std::size_t(frames - 1) * 32;
    EXPECT_EQ(std::string("\x80\xC0\x00\x00", 4), bytes.substr(frame1 + 12, 4));  // -1.0 in the DEC layout
    MarkerScene back;
    int read = 0;
    ASSERT_TRUE(back.Import(mPath, kC3d, [&](KStreamOptionsMotion& o) { NoCarry(o), read = o.GetFrameCount(); }));
    EXPECT_EQ(frames, read);
    EXPECT_NEAR(99.0, back.Curve(0, 0)->Evaluate(FrameTime(0.0, 500.0, frames - 1)), 1e-4);
}

}  // namespace

namespace {

// Found by c3d_fuzz: a TRIAL frame field whose words read negative was
// converted straight from its (negative) value to an unsigned word.
TEST_F(ViconTest, FuzzNegativeTrialFieldWordsAreTheirBits) {
    C3DBuilder b = TwoPoints();
    b.mFirstFrame = 0xFF00, b.mLastFrame = 0xFF01;
    b.Group("TRIAL", 2);
    b.Words("ACTUAL_START_FIELD", 2, {-256, 0});
    b.Words("ACTUAL_END_FIELD", 2, {-255, 0});
    double start = 0.0;
    ASSERT_TRUE(ReadBytes(b.Build(), [&](KStreamOptionsMotion& o) { start = o.GetStart().GetSecondDouble(); }));
    EXPECT_NEAR(652.8, start, 1e-9);  // frame 65280 at 100 Hz
    EXPECT_EQ(2u, TrackOf(0, 0).mValues.size());
}

}  // namespace

namespace {

// ---- The file class writing by name ----

// A file Open writes takes its name complete, at Close; one that cannot be
// stored (a limit of 1024 bytes) leaves the file as it was, with the system's
// reason, and no temporary.
struct ViconNamedWriteTest : ViconTest, ::testing::WithParamInterface<rlim_t> {};

TEST_P(ViconNamedWriteTest, TheFileTakesItsNameOnlyComplete) {
    const bool stored = GetParam() == 0;
    WriteFile(mPath, "OLD");
    KZeqFileVicon file;
    ASSERT_FALSE(file.Open(mPath.c_str(), "wb"));
    KString a("A");
    KArrayTemplate<KString*> names;
    names.Add(&a);
    KZeqVector4 point(1, 2, 3, 0);
    std::optional<zeqtest::ScopedFileSizeLimit> limit;
    if (!stored) limit.emplace(GetParam());
    EXPECT_TRUE(file.PrintHeader(1, KTime(), 1, 50.0, -1.0) && file.PrintAnimationHeader(names) &&
                file.PrintAnimationFrame(&point, 1, KTime(), 1));
    EXPECT_EQ("OLD", ReadFile(mPath));
    const bool finished = file.PrintFooter();
    EXPECT_EQ(stored, file.Close() && finished);
    limit.reset();
    EXPECT_EQ(stored ? 0 : EFBIG, file.GetSystemError());
    // Parameters from block 2, in the key word.
    EXPECT_EQ(stored ? std::string("\x02\x50", 2) : "OLD", ReadFile(mPath).substr(0, stored ? 2 : 3));
    EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(mDir.Path()), {}));
}

INSTANTIATE_TEST_SUITE_P(Outcomes, ViconNamedWriteTest, ::testing::Values(rlim_t(0), rlim_t(1024)),
                         [](const ::testing::TestParamInfo<rlim_t>& info) { return info.param ? "TooLarge" : "Stored"; });

// The header is patched once the data is written: a file is written whole, never appended to.
TEST_F(ViconTest, OpeningToAppendIsRefusedAndLeavesTheFile) {
    WriteFile(mPath, "OLD");
    EXPECT_TRUE(KZeqFileVicon().Open(mPath.c_str(), "ab"));
    EXPECT_EQ("OLD", ReadFile(mPath));
}

}  // namespace

#include "formats/motion/marker/kzeqmotionanalysistrc.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <ostream>
#include <random>
#include <string>

#include "fileio/tests/kpipewatchdog.h"
#include "fileio/tests/kunixsocket.h"
#include "formats/motion/marker/tests/markertest.h"

using namespace markertest;

namespace {

constexpr int kTrc = KZeqImporter::eMOTION_ANALYSIS_TRC;

// A TRC file of the given header lines and rows (names and labels for two markers A and B).
std::string Trc(const std::string& header, const std::string& rows,
                const std::string& names = "Frame#\tTime\tA\t\t\tB\t\t\t\n\t\tX1\tY1\tZ1\tX2\tY2\tZ2\t\n\n") {
    return header + names + rows;
}
const std::string kType4 =
    "PathFileType\t4\t(X/Y/Z)\tx.trc\n"
    "DataRate\tCameraRate\tNumFrames\tNumMarkers\tUnits\tOrigDataRate\tOrigDataStartFrame\tOrigNumFrames\n"
    "30.00\t30.00\t2\t2\tmm\t30.00\t31\t2\n";
const std::string kRows = "1\t0.000\t10\t20\t30\t40\t50\t60\t\n2\t0.033\t11\t21\t31\t41\t51\t61\t\n";

struct TrcTest : ::testing::Test, MarkerScene {
    TempDir mDir;
    std::string mPath = mDir / "take.trc";

    void SetUp() override {
        KZeqReaderMotionAnalysisTrc::smLoadTCFile = true;
        KZeqReaderMotionAnalysisTrc::smDoNotAskForTCFile = false;
    }
    bool ReadText(const std::string& text, const std::function<void(KStreamOptionsMotion&)>& tweak = nullptr) {
        WriteFile(mPath, text);
        return Import(mPath, kTrc, [&](KStreamOptionsMotion& o) {
            o.SetOption(KStreamOptionsMotion::eImportSetOccludedToLastValidPosition, KStreamOptionsMotion::eOff);
            if (tweak) tweak(o);
        });
    }
    // The reader's own verdict on a file: a read with fresh options refused, nothing
    // made, and no options either unless its header reads.
    void ExpectCorrupted(const std::string& text, bool headerReads = false) {
        WriteFile(mPath, text);
        KZeqReaderMotionAnalysisTrc reader(mManager);
        ASSERT_TRUE(reader.FileOpen(mPath.c_str()));
        KStreamOptions* options = reader.GetReadOptions();
        EXPECT_EQ(headerReads, options != nullptr);
        if (options) options->Destroy();
        KStreamOptionsMotion* fresh = KStreamOptionsMotionCreate();
        fresh->SetFrameCount(100);
        const int nodes = mManager.GetKZeqNodeCount();
        EXPECT_FALSE(reader.Read(*mScene, fresh));
        EXPECT_EQ(KZeqReader::eFileCorrupted, reader.GetLastErrorID());
        EXPECT_STREQ("File is corrupted", reader.GetLastErrorString());
        EXPECT_EQ(nodes, mManager.GetKZeqNodeCount());
        EXPECT_EQ(0, Root()->GetChildCount());
        fresh->Destroy();
    }
};

TEST_F(TrcTest, HumanTrcReadsAsListed) {
    ZEQ_SAMPLE_OR_SKIP(path, "trc/human.trc");
    KStreamOptionsMotion settings;
    ASSERT_TRUE(Import(path, kTrc, [&](KStreamOptionsMotion& o) {
        o.SetOption(KStreamOptionsMotion::eImportSetOccludedToLastValidPosition, KStreamOptionsMotion::eOff);
        settings = o;
        settings.SetTimeMode(o.GetTimeMode(), o.GetFrameRate());
        settings.SetFrameCount(o.GetFrameCount());
        settings.SetStart(o.GetStart());
    }));
    EXPECT_EQ(200.0, settings.GetFrameRate());
    EXPECT_EQ(2387, settings.GetFrameCount());
    EXPECT_EQ(0, settings.GetStart().Get());
    const std::vector<std::string> names = MarkerNames();
    ASSERT_EQ(35u, names.size());
    EXPECT_EQ("HEADF", names.front());
    EXPECT_EQ("SCAP", names.back());
    EXPECT_STREQ("TRC:optical", Reference()->GetNameWithoutNameSpacePrefix().Buffer());
    const KZeqTakeInfo* take = mScene->GetTakeInfo("human");
    ASSERT_TRUE(take);
    EXPECT_NEAR(11.93, take->mLocalTimeSpan.GetStop().GetSecondDouble(), 1e-9);
    const Samples samples = Sample(Reference(), 0.0, 200.0, 2387);
    int gaps = 0;
    for (const auto& track : samples)
        for (const KZeqVector4& v : track) gaps += v.GetAt(3) > 0.5;
    EXPECT_EQ(4129, gaps);
    EXPECT_NEAR(4.683710, samples[0][0].GetAt(0), 1e-6);  // 46.83710 mm
    EXPECT_NEAR(156.442505, samples[0][0].GetAt(2), 1e-4);

    // RANK is gapped from frame 1: with the carry-over it holds (0, 0, 0) until first seen.
    mManager.DestroyKZeqNode(Reference(), true);
    ASSERT_TRUE(Import(path, kTrc));
    const int rank = static_cast<int>(std::find(names.begin(), names.end(), "RANK") - names.begin());
    const Samples carried = Sample(Reference(), 0.0, 200.0, 2387);
    const auto& track = carried[static_cast<std::size_t>(rank)];
    int seen = 0;
    while (seen < 2387 && track[static_cast<std::size_t>(seen)].GetAt(3) > 0.5) ++seen;
    ASSERT_GT(seen, 0);
    ASSERT_LT(seen, 2387);
    for (int f = 0; f < seen; ++f) EXPECT_EQ(0.0, track[static_cast<std::size_t>(f)].Length()) << f;
    EXPECT_NE(0.0, track[static_cast<std::size_t>(seen)].Length());
}

TEST_F(TrcTest, CommaSeparatedMarkersTrcIsRefused) {
    ZEQ_SAMPLE_OR_SKIP(path, "trc/markers.trc");
    ExpectCorrupted(ReadFile(path));
}

// ---- Headers ----

struct HeaderCase {
    const char* mName;
    std::string mHeader;
    bool mReads;
    double mStart;  // seconds
    float mFirstX;  // the first marker's x at frame 0, in centimetres
};

std::string Header(const char* type, const char* columns, const char* values) {
    return std::string("PathFileType\t") + type + "\t(X/Y/Z)\tx.trc\n" + columns + "\n" + values + "\n";
}
const char* const kColumns5 = "DataRate\tCameraRate\tNumFrames\tNumMarkers\tUnits";
const char* const kColumns8 = "DataRate\tCameraRate\tNumFrames\tNumMarkers\tUnits\tOrigDataRate\tOrigDataStartFrame\tOrigNumFrames";

const HeaderCase kHeaderCases[] = {
    {"Type4StartsAtItsOriginalFrame", kType4, true, 1.0, 1.0f},
    {"Type3WithoutOriginalColumnsStartsAtZero", Header("3", kColumns5, "30\t30\t2\t2\tmm"), true, 0.0, 1.0f},
    {"MetresInCapitals", Header("3", kColumns5, "30\t30\t2\t2\tM"), true, 0.0, 1000.0f},
    {"Centimetres", Header("3", kColumns5, "30\t30\t2\t2\tcm"), true, 0.0, 10.0f},
    {"KeywordsInAnyCase", Header("4", "datarate\tCAMERARATE\tNumFrames\tNumMarkers\tUnits\tOrigDataRate\tOrigDataStartFrame\tOrigNumFrames",
                                 "30\t30\t2\t2\tmm\t30\t1\t2"), true, 0.0, 1.0f},
    {"InchesAreRefused", Header("3", kColumns5, "30\t30\t2\t2\tinch"), false, 0, 0},
    {"Type5IsRefused", Header("5", kColumns5, "30\t30\t2\t2\tmm"), false, 0, 0},
    {"ZeroRateIsRefused", Header("3", kColumns5, "0\t30\t2\t2\tmm"), false, 0, 0},
    {"NegativeFramesAreRefused", Header("3", kColumns5, "30\t30\t-2\t2\tmm"), false, 0, 0},
    {"MissingOriginalColumnsOfType4AreRefused", Header("4", kColumns5, "30\t30\t2\t2\tmm"), false, 0, 0},
    {"MarkersTheFileCannotHoldAreRefused", Header("3", kColumns5, "30\t30\t2\t2000000000\tmm"), false, 0, 0},
};

struct TrcHeaderTest : TrcTest, ::testing::WithParamInterface<HeaderCase> {};

TEST_P(TrcHeaderTest, Reads) {
    const HeaderCase& c = GetParam();
    if (!c.mReads) return ExpectCorrupted(Trc(c.mHeader, kRows));
    double start = -1.0;
    ASSERT_TRUE(ReadText(Trc(c.mHeader, kRows), [&](KStreamOptionsMotion& o) { start = o.GetStart().GetSecondDouble(); }));
    EXPECT_NEAR(c.mStart, start, 1e-9);
    EXPECT_FLOAT_EQ(c.mFirstX, TrackOf(0, 0).mValues.at(0));
}

INSTANTIATE_TEST_SUITE_P(Headers, TrcHeaderTest, ::testing::ValuesIn(kHeaderCases),
                         [](const ::testing::TestParamInfo<HeaderCase>& info) { return info.param.mName; });

// ---- Names and rows ----

TEST_F(TrcTest, NamesTakeUnderscoresForBlanksAndUnnamedColumnsTheirPosition) {
    const std::string header =
        Header("3", kColumns5, "30\t30\t1\t3\tmm") + "Frame#\tTime\tleft toe\t\t\tA\t\t\tVirtual Unnamed\t\t\t\n" +
        "\t\tX1\tY1\tZ1\tX2\tY2\tZ2\tx3\ty3\tz3\n";
    ASSERT_TRUE(ReadText(header + "1\t0\t1\t2\t3\t4\t5\t6\t7\t8\t9\n"));
    EXPECT_EQ((std::vector<std::string>{"left_toe", "A", "*Unnamed_3"}), MarkerNames());
}

// Capture software pads the header's words and fields with blanks: each is
// taken without them (keywords, numbers, units, names and labels alike).
TEST_F(TrcTest, BlanksPaddingEveryHeaderFieldAreIgnored) {
    const std::string header =
        "PathFileType  4\t(X/Y/Z) C:\\capture\\walk 1.trc\t\n"
        " DataRate \t CameraRate\t NumFrames \tNumMarkers \t Units\t OrigDataRate\tOrigDataStartFrame \t OrigNumFrames\n"
        " 30.00 \t 30.00\t   2\t 2 \t mm \t 30.00\t 31 \t  2\n"
        "Frame# \t Time\t  left toe \t\t\t B \t \t \t\n"
        "\t\t X1\tY1 \t Z1\t X2 \tY2\tZ2\n";
    ASSERT_TRUE(ReadText(header + kRows)) << mErrorText.Buffer();
    EXPECT_EQ((std::vector<std::string>{"left_toe", "B"}), MarkerNames());
    EXPECT_EQ((std::vector<float>{1.0f, 1.1f}), TrackOf(0, 0).mValues);
    EXPECT_EQ((std::vector<float>{6.0f, 6.1f}), TrackOf(1, 2).mValues);
    EXPECT_DOUBLE_EQ(1.0, TrackOf(0, 0).mTimes.front().GetSecondDouble());
    // The same padding on a header with nothing else to it still reads as the unpadded one.
    ASSERT_TRUE(ReadText(" PathFileType\t 4 \t (X/Y/Z)\n" + kType4.substr(kType4.find('\n') + 1) +
                         "Frame#\tTime\tA\t\t\tB\t\t\t\n\t\tX1\tY1\tZ1\tX2\tY2\tZ2\n" + kRows));
}

TEST_F(TrcTest, RowsEndAtTheirLineEndWhateverTrailsThem) {
    // human.trc ends rows with a tab, our writer with a blank; both make two points.
    for (const char* end : {"\t", " ", "", "\t\r"}) {
        SCOPED_TRACE(std::string("end ") + end);
        const std::string rows = std::string("1\t0\t10\t20\t30\t40\t50\t60") + end + "\n2\t0.03\t\t\t\t41\t51\t61" + end + "\n";
        ASSERT_TRUE(ReadText(Trc(kType4, rows)));
        EXPECT_EQ(2u, MarkerNames().size());
        EXPECT_EQ((std::vector<float>{0.0f, 1.0f}), TrackOf(0, 3).mValues);
        mManager.DestroyKZeqNode(Reference(), true);
    }
}

TEST_F(TrcTest, AnEmptyFieldOccludesItsPointAndExtraTriplesMakeUnnamedMarkers) {
    const std::string rows = "1\t0.000\t\t20\t30\t40\t50\t60\t70\t80\t90\t\n2\t0.033\t11\t21\t31\n";
    ASSERT_TRUE(ReadText(Trc(kType4, rows)));
    EXPECT_EQ((std::vector<std::string>{"A", "B", "*Unnamed_3"}), MarkerNames());
    EXPECT_EQ((std::vector<float>{0.0f, 1.1f}), TrackOf(0, 0).mValues);
    EXPECT_EQ((std::vector<float>{2.0f, 2.1f}), TrackOf(0, 1).mValues);
    EXPECT_EQ((std::vector<float>{1.0f, 0.0f}), TrackOf(0, 3).mValues);
    EXPECT_EQ((std::vector<float>{0.0f, 1.0f}), TrackOf(1, 3).mValues);  // row 2 has no second point
    EXPECT_EQ((std::vector<float>{7.0f, 0.0f}), TrackOf(2, 0).mValues);
}

TEST_F(TrcTest, BrokenRowsAndTruncatedFilesAreCorrupted) {
    ExpectCorrupted(Trc(kType4, "1\t0.000\t10\t20\t30\t40\t50\t60\n"), true);                // a row short of NumFrames
    ExpectCorrupted(Trc(kType4, "1\t0.000\t10\t20\t30\t40\t50\n2\t0.033\t1\t2\t3\n"), true);  // half a point
    ExpectCorrupted(Trc(kType4, "1\t0.000\t10\t2O\t30\n2\t0.033\t1\t2\t3\n"), true);          // not a number
    ExpectCorrupted(Trc(kType4, "x\t0.000\t10\t20\t30\n2\t0.033\t1\t2\t3\n"), true);          // no frame number
    ExpectCorrupted(Trc(kType4, kRows, "Frame#\tTime\tA\t\t\tB\t\t\t\n\t\tX1\tY1\tZ1\tX2\tQ2\tZ2\n\n"), true);  // a wrong label
    ExpectCorrupted(kType4, true);
    ExpectCorrupted(kType4.substr(0, 60));
    ExpectCorrupted("");
}

// ---- Writing ----

TEST_F(TrcTest, WrittenLayout) {
    AddMarker(Root(), "Model::Toe", 2, 30.0, 0.25, [](int f) { return KZeqVector4(1.2, 3.4, 5.6, f); });
    ASSERT_TRUE(Export(mPath, KZeqExporter::eMOTION_ANALYSIS_TRC, [](KStreamOptionsMotion& o) {
        // A single selected node would be its own export root, at the origin.
        o.SetOption(KStreamOptionsMotion::eExportFromGlobalPosition, KStreamOptionsMotion::eOn);
        o.SetTimeMode(KTime::eModeDefault, 30.0);
        o.SetStart(Seconds(0.25));
        o.SetFrameCount(2);
    }));
    // 0.25 s at 30 Hz is frame 8.5 + 1, rounded up.
    EXPECT_EQ("PathFileType\t4\t(X/Y/Z)\tVeltrix\t\n"
              "DataRate\tCameraRate\tNumFrames\tNumMarkers\tUnits\tOrigDataRate\tOrigDataStartFrame\tOrigNumFrames\t\n"
              "30.00\t30.00\t2\t1\tmm\t30.00\t9\t2\t\n"
              "Frame#\tTime\tToe\t\t\t\n\t\tX1\tY1\tZ1\t\n\n"
              "1\t0.250\t12.00000\t34.00000\t56.00000 \n"
              "2\t0.283\t\t\t \n",
              ReadFile(mPath));
}

TEST_F(TrcTest, WrittenFilesReadBackEqual) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> position(-300.0, 300.0);
    const int frames = 40;
    const double rate = 23.976, start = 50.0 / rate;
    std::vector<std::vector<KZeqVector4>> made(3);
    for (auto& track : made)
        for (int f = 0; f < frames; ++f)
            track.emplace_back(position(random), position(random), position(random), random() % 5 == 0 ? 1.0 : 0.0);
    const char* names[] = {"Model::Head", "Model::Actor:Hand", "Model::Knee"};
    for (int m = 0; m < 3; ++m)
        AddMarker(Root(), names[m], frames, rate, start, [&](int f) { return made[static_cast<std::size_t>(m)][static_cast<std::size_t>(f)]; });
    ASSERT_TRUE(Export(mPath, KZeqExporter::eMOTION_ANALYSIS_TRC, [&](KStreamOptionsMotion& o) {
        o.SetTimeMode(KTime::eModeDefault, rate);
        o.SetStart(Seconds(start));
        o.SetFrameCount(frames);
    }));
    MarkerScene back;
    double readStart = 0.0;
    ASSERT_TRUE(back.Import(mPath, kTrc, [&](KStreamOptionsMotion& o) {
        o.SetOption(KStreamOptionsMotion::eImportSetOccludedToLastValidPosition, KStreamOptionsMotion::eOff);
        readStart = o.GetStart().GetSecondDouble();
        EXPECT_EQ(rate, o.GetFrameRate());
    }));
    EXPECT_NEAR(start, readStart, 1e-9);
    EXPECT_EQ((std::vector<std::string>{"Head", "Hand", "Knee"}), back.MarkerNames());
    const Samples read = Sample(back.Reference(), start, rate, frames);
    for (int m = 0; m < 3; ++m)
        for (int f = 0; f < frames; ++f) {
            const KZeqVector4& a = made[static_cast<std::size_t>(m)][static_cast<std::size_t>(f)];
            const KZeqVector4& b = read[static_cast<std::size_t>(m)][static_cast<std::size_t>(f)];
            ASSERT_EQ(a.GetAt(3), b.GetAt(3)) << m << " " << f;
            for (int c = 0; c < 3 && a.GetAt(3) == 0.0; ++c)
                ASSERT_NEAR(static_cast<float>(a.GetAt(c)), b.GetAt(c), 1e-5) << m << " " << f;
        }
}

// ---- Time-code files ----

struct TimeCodeCase {
    const char* mName;
    std::string mText;
    double mStart;      // -1: invalid
    const char* mWhat;  // what is wrong, after the file's quoted path
};

const TimeCodeCase kTimeCodes[] = {
    {"Smpte", "01:00:00:12\nSMPTE\n30\n", 3600.4, ""},
    {"Ebu", "00:00:10:05\nEBU\n25.0\n", 10.2, ""},
    {"SystemClockInAnyCase", "00:00:01:30\nsystem clock\n60\n", 1.5, ""},
    {"ARateLineRunningOn", "00:00:01:00\nSMPTE\n30" + std::string(300, ' ') + "\n", 1.0, ""},
    {"Empty", "", -1, " holds 0 lines, not the 3 of a time code (the time, the standard, the frame rate)"},
    {"TwoLines", "00:00:01:05\nSMPTE\n", -1,
     " holds 2 lines, not the 3 of a time code (the time, the standard, the frame rate)"},
    {"ATimeLineTooLong", "00:00:01:05" + std::string(300, ' ') + "\nSMPTE\n30\n", -1,
     " line 1 is longer than 254 characters"},
    {"NoTime", "00:01:05\nSMPTE\n30\n", -1, " line 1 \"00:01:05\" is no time (hours:minutes:seconds:frames)"},
    {"ATimeBeyondAnInt", "4294967296:00:00:00\nSMPTE\n30\n", -1,
     " line 1 \"4294967296:00:00:00\" is no time (hours:minutes:seconds:frames)"},
    {"ControlCharactersAndLengthQuoted", "0\t1:234567890123456789012345678901234567890123\nSMPTE\n30\n", -1,
     " line 1 \"0?1:234567890123456789012345678901234567...\" is no time (hours:minutes:seconds:frames)"},
    {"ANegativeField", "00:-1:00:00\nSMPTE\n30\n", -1, " line 1 \"00:-1:00:00\" holds a negative number"},
    {"BlanksAndACarriageReturnAfterTheFrames", "00:00:01:15 \t\r\nSMPTE\n30\n", 1.5, ""},
    {"TheLastMinuteAndSecond", "00:59:59:00\nSMPTE\n30\n", 3599.0, ""},
    {"TextAfterTheFrames", "00:00:01:05xyz\nSMPTE\n30\n", -1,
     " line 1 \"00:00:01:05xyz\" is no time (hours:minutes:seconds:frames): \"xyz\" follows the frames"},
    {"AFifthField", "00:00:01:05:07\nSMPTE\n30\n", -1,
     " line 1 \"00:00:01:05:07\" is no time (hours:minutes:seconds:frames): \":07\" follows the frames"},
    {"MinutesAndSecondsBeyond59", "00:99:99:05\nSMPTE\n30\n", -1, " line 1 \"00:99:99:05\": minute 99 is beyond 59"},
    {"MinutesBeyond59", "00:60:00:00\nSMPTE\n30\n", -1, " line 1 \"00:60:00:00\": minute 60 is beyond 59"},
    {"SecondsBeyond59", "00:00:60:00\nEBU\n25\n", -1, " line 1 \"00:00:60:00\": second 60 is beyond 59"},
    {"SmpteSecondsBeyond59", "00:00:60:00\nSMPTE\n30\n", -1, " line 1 \"00:00:60:00\": second 60 is beyond 59"},
    {"ANegativeHour", "-1:00:00:00\nSMPTE\n30\n", -1, " line 1 \"-1:00:00:00\" holds a negative number"},
    {"ANegativeFrame", "00:00:01:-1\nSMPTE\n30\n", -1, " line 1 \"00:00:01:-1\" holds a negative number"},
    // Each field is its digits: a sign or a blank before them makes no time code.
    {"APlusFrame", "00:00:01:+5\nSMPTE\n30\n", -1, " line 1 \"00:00:01:+5\" is no time (hours:minutes:seconds:frames)"},
    {"APlusHour", "+1:00:00:00\nSMPTE\n30\n", -1, " line 1 \"+1:00:00:00\" is no time (hours:minutes:seconds:frames)"},
    {"ABlankBeforeAField", "00:00: 1:05\nSMPTE\n30\n", -1,
     " line 1 \"00:00: 1:05\" is no time (hours:minutes:seconds:frames)"},
    {"BlanksBeforeTheTime", " \t00:00:01:15\nSMPTE\n30\n", 1.5, ""},
    {"LaterThanATakeCanStart", "2000000:00:00:00\nSMPTE\n30\n", -1,
     " line 1 \"2000000:00:00:00\" is later than a take can start"},
    {"UnknownStandard", "00:00:01:05\nsmpte\n30\n", -1,
     " line 2 \"smpte\" is no standard (SMPTE, EBU or System Clock)"},
    {"NoRate", "00:00:01:05\nSMPTE\nfast\n", -1, " line 3 \"fast\" is no frame rate"},
    {"AnInfiniteRate", "00:00:01:05\nSMPTE\ninf\n", -1, " line 3 \"inf\" is no frame rate"},
    {"ANanRate", "00:00:01:05\nEBU\nnan\n", -1, " line 3 \"nan\" is no frame rate"},
    {"SmpteFramesBeyondTheRate", "00:00:01:31\nSMPTE\n30\n", -1, ": frame 31 is not below the frame rate, 30"},
    // Frames run from 0 to one below the rate: the rate itself would be the next second's first.
    {"SmpteFramesAtTheRate30", "00:00:01:30\nSMPTE\n30\n", -1, ": frame 30 is not below the frame rate, 30"},
    {"SmpteFramesAtTheRate24", "00:00:01:24\nSMPTE\n24\n", -1, ": frame 24 is not below the frame rate, 24"},
    {"SmpteFramesAtTheRate25", "00:00:01:25\nSMPTE\n25\n", -1, ": frame 25 is not below the frame rate, 25"},
    {"SystemClockFramesAtTheRate", "00:00:01:60\nSystem Clock\n60\n", -1,
     ": frame 60 is not below the frame rate, 60"},
    {"ARateOfNothingHoldsNoFrame", "00:00:01:00\nSMPTE\n0\n", -1, ": frame 0 is not below the frame rate, 0"},
    {"TheLastFrameOfASecond", "00:00:01:29\nSMPTE\n30\n", 1.0 + 29.0 / 30.0, ""},
    // The frames are counted at the file's rate, whether a time mode has it or not.
    {"Rate240", "00:00:01:120\nSMPTE\n240\n", 1.5, ""},
    {"Rate7", "00:00:01:06\nSMPTE\n7\n", 1.0 + 6.0 / 7.0, ""},
    {"Rate12", "00:00:00:06\nSMPTE\n12\n", 0.5, ""},
    {"Rate12Point5", "00:00:00:05\nSMPTE\n12.5\n", 0.4, ""},
    {"Rate15", "00:00:02:03\nSMPTE\n15\n", 2.2, ""},
    {"Rate48", "00:00:01:24\nSMPTE\n48\n", 1.5, ""},
    {"Rate29Point97", "00:00:01:29\nSMPTE\n29.97\n", 1.0 + 29.0 * 1001.0 / 30000.0, ""},
    {"EbuCountsAt25WhateverTheRate", "00:00:10:05\nEBU\n240\n", 10.2, ""},
    {"EbuFramesBeyond24", "00:00:01:25\nEBU\n25\n", -1, ": frame 25 is beyond EBU's last, 24"},
    {"SystemClockWithoutAStandardRate", "00:00:01:05\nSystem Clock\n7\n", -1,
     ": System Clock runs at 24, 25, 29.97, 30, 50, 60, 100 or 120 frames per second, not 7"},
};

void PrintTo(const TimeCodeCase& row, std::ostream* out) { *out << row.mName; }

struct TrcTimeCodeTest : TrcTest, ::testing::WithParamInterface<TimeCodeCase> {};

// A valid time code gives the take its start; of an invalid one the reader's message
// says the file's path and what is wrong, and the take keeps the header's start.
TEST_P(TrcTimeCodeTest, GivesTheStartOrWhatIsWrong) {
    const std::string tc = mDir / "take.tc";
    WriteFile(tc, GetParam().mText);
    const bool valid = GetParam().mStart >= 0;
    const std::string what = valid ? "" : "\"" + tc + "\"" + GetParam().mWhat;
    KTime time;
    KString reason;
    EXPECT_EQ(valid, KZeqReaderMotionAnalysisTrc::ParseTimeCode(tc.c_str(), time, &reason));
    EXPECT_EQ(what, Str(reason));
    if (valid) {
        EXPECT_NEAR(GetParam().mStart, time.GetSecondDouble(), 1e-9);
    }
    KZeqReaderMotionAnalysisTrc::smDoNotAskForTCFile = true;
    double start = 0.0;
    ASSERT_TRUE(ReadText(Trc(kType4, kRows), [&](KStreamOptionsMotion& o) { start = o.GetStart().GetSecondDouble(); }));
    EXPECT_NEAR(valid ? GetParam().mStart : 1.0, start, 1e-9);
    // The new options' callbacks answer nobody: the reader's message says it.
    EXPECT_EQ(valid ? "" : "take.tc is invalid: " + what, Str(mMessage));
}

INSTANTIATE_TEST_SUITE_P(Contents, TrcTimeCodeTest, ::testing::ValuesIn(kTimeCodes),
                         [](const ::testing::TestParamInfo<TimeCodeCase>& info) { return info.param.mName; });

TEST_F(TrcTest, ATimeCodeFileIsLoadedOnlyWhenTheUserSaysYes) {
    double start = 0.0;
    auto read = [&]() {
        if (Root()->GetChildCount()) mManager.DestroyKZeqNode(Reference(), true);
        EXPECT_TRUE(ReadText(Trc(kType4, kRows), [&](KStreamOptionsMotion& o) { start = o.GetStart().GetSecondDouble(); }));
        return start;
    };
    EXPECT_NEAR(1.0, read(), 1e-9);  // no .tc beside the file
    WriteFile(mDir / "take.tc", "00:00:02:00\nSMPTE\n30\n");
    // New options answer no question: without the do-not-ask choice the file stays unread.
    EXPECT_NEAR(1.0, read(), 1e-9);
    KZeqReaderMotionAnalysisTrc::smDoNotAskForTCFile = true;
    EXPECT_NEAR(2.0, read(), 1e-9);
    KZeqReaderMotionAnalysisTrc::smLoadTCFile = false;
    EXPECT_NEAR(1.0, read(), 1e-9);
}

// A time-code file that is there but cannot be read (a folder, a socket, one
// its reader may not read) is reported as a pipe is; the take keeps its start.
TEST_F(TrcTest, ATimeCodeFileThatCannotBeReadIsReported) {
    KZeqReaderMotionAnalysisTrc::smDoNotAskForTCFile = true;
    const std::string tc = mDir / "take.tc";
    const auto reported = [&](const std::string& reason) -> std::string {
        double start = 0.0;
        mMessage = "";
        if (!ReadText(Trc(kType4, kRows), [&](KStreamOptionsMotion& o) { start = o.GetStart().GetSecondDouble(); }))
            return "not read";
        if (start != 1.0) return "the start moved";
        if (Str(mMessage).rfind("Unable to open take.tc: ", 0) != 0 || Str(mMessage).find(reason) == std::string::npos)
            return "the message: " + Str(mMessage);
        return "";
    };
    std::filesystem::create_directory(tc);
    EXPECT_EQ("", reported("it is a directory, not a regular file"));
    std::filesystem::remove(tc);
    {
        const zeqtest::BoundUnixSocket socket(tc);
        ASSERT_TRUE(socket.IsBound());
        EXPECT_EQ("", reported("it is a socket, not a regular file"));
    }
    std::filesystem::remove(tc);
    // A time code no user but root may read, read by a user whom access checks bind: this one, or
    // nobody where this is root.
    TempDir shared(TempDir::kOtherUsers);
    ASSERT_EQ(0, ::chmod(shared.Path().c_str(), 0777));
    mPath = shared / "take.trc";
    WriteFile(shared / "take.tc", "00:00:02:00\nSMPTE\n30\n");
    ASSERT_EQ(0, ::chmod((shared / "take.tc").c_str(), 0200));
    const std::optional<std::string> answer =
        zeqtest::AsUnprivileged(shared.Path().string(), [&] { return reported("Permission denied"); });
    if (!answer) GTEST_SKIP() << zeqtest::NoUnprivilegedUser(shared.Path().string());
    EXPECT_EQ("", *answer);
}

// A time-code file that is a named pipe is not waited on: the take keeps its own start,
// and the reader's message says why the file was not read.
TEST_F(TrcTest, ATimeCodePipeIsNotWaitedOn) {
    const std::string pipe = mDir / "take.tc";
    ASSERT_EQ(0, ::mkfifo(pipe.c_str(), 0600));
    KZeqReaderMotionAnalysisTrc::smDoNotAskForTCFile = true;
    double start = 0.0;
    KTime time;
    EXPECT_TRUE(zeqtest::RunsWithoutWaitingOn(pipe, [&] {
        EXPECT_TRUE(ReadText(Trc(kType4, kRows), [&](KStreamOptionsMotion& o) { start = o.GetStart().GetSecondDouble(); }));
        EXPECT_FALSE(KZeqReaderMotionAnalysisTrc::ParseTimeCode(pipe.c_str(), time));
    }));
    EXPECT_NEAR(1.0, start, 1e-9);
    EXPECT_EQ("Unable to open take.tc: \"" + pipe + "\" is not read: it is a named pipe, not a regular file",
              Str(mMessage));
}

}  // namespace

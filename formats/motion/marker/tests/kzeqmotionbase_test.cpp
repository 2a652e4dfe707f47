#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "content/kzeqmarker.h"
#include "content/kzeqopticalreference.h"
#include "fcurve/kfcurvesettings.h"
#include "formats/motion/marker/izeqfilemotionbase.h"
#include "formats/motion/marker/kzeqmarkersamples.h"
#include "formats/motion/marker/kzeqreadermotionbase.h"
#include "formats/motion/marker/kzeqwritermotionbase.h"
#include "formats/motion/marker/tests/markertest.h"
#include "scene/kzeqtakeinfo.h"

using namespace markertest;

namespace {

// What a scripted file holds, and what was printed into one.
struct Script {
    int mMarkers = 0;
    double mRate = 100.0;
    double mScale = 1.0;
    int mFrameCount = -1;  // -1: as many as mFrames
    std::vector<std::string> mNames;
    std::vector<std::vector<KZeqVector4>> mFrames;
    int mFailFrame = -1;

    // Printed.
    double mPrintedScale = 0.0;
    int mPrintedMarkers = -1;
    std::vector<std::string> mPrintedNames;
    std::vector<std::vector<KZeqVector4>> mPrintedFrames;
    int mRefuseFrame = -1;  // the print of this frame index fails
    int mRefusalError = 0;  // with this system error number
};
Script gScript;

class ScriptFile : public IZeqFileMotionBase {
public:
    IKObject* IQuery(unsigned long id, int) override { return id == kIZeqFileMotionBaseInterfaceId ? this : nullptr; }
    void Destroy(int) override { delete this; }
    bool Open(const char*, const char*) override { return false; }
    bool Adopt(std::FILE* stream, const char*) override { return !stream || std::fclose(stream) != 0; }
    bool Close() override { return true; }
    int GetSystemError() const override { return mRefused ? gScript.mRefusalError : 0; }
    bool ReadHeader(int& markers, KTime&, int& frames, double& rate, double& scale) override {
        mNext = 0;
        markers = gScript.mMarkers;
        frames = gScript.mFrameCount >= 0 ? gScript.mFrameCount : static_cast<int>(gScript.mFrames.size());
        rate = gScript.mRate;
        scale = gScript.mScale;
        return true;
    }
    bool ReadAnimationHeader(KArrayTemplate<KString*>& names, bool) override {
        for (int i = 0; i < names.GetCount(); ++i) *names[i] = gScript.mNames[static_cast<std::size_t>(i)].c_str();
        return true;
    }
    bool ReadAnimationFrame(KArrayTemplate<KZeqVector4>& frame, int, KTime&, int&, KTime, bool) override {
        if (mNext == gScript.mFailFrame || mNext >= static_cast<int>(gScript.mFrames.size())) return false;
        for (const KZeqVector4& p : gScript.mFrames[static_cast<std::size_t>(mNext)]) frame.Add(p);
        ++mNext;
        return true;
    }
    bool ReadFooter() override { return true; }
    bool PrintHeader(int markers, KTime, int, double, double scale) override {
        gScript.mPrintedMarkers = markers;
        gScript.mPrintedScale = scale;
        return true;
    }
    bool PrintAnimationHeader(KArrayTemplate<KString*>& names) override {
        for (int i = 0; i < names.GetCount(); ++i) gScript.mPrintedNames.push_back(names[i]->Buffer());
        return true;
    }
    bool PrintAnimationFrame(KZeqVector4* points, int count, KTime, int index) override {
        gScript.mPrintedFrames.emplace_back(points, points + count);
        mRefused = mRefused || index == gScript.mRefuseFrame;
        return index != gScript.mRefuseFrame;
    }
    bool PrintFooter() override { return true; }

private:
    int mNext = 0;
    bool mRefused = false;
};

struct ScriptReader : KZeqReaderMotionBase {
    explicit ScriptReader(KZeqSdkManager& manager) : KZeqReaderMotionBase(manager) { mPrefix = "S"; }
    IZeqFileMotionBase* CreateFileObject(const char*) override { return new ScriptFile; }
    void SetReadOptions(KStreamOptionsMotion*) override {}
};

struct ScriptWriter : KZeqWriterMotionBase {
    explicit ScriptWriter(KZeqSdkManager& manager) : KZeqWriterMotionBase(manager) {}
    IZeqFileMotionBase* CreateFileObject(std::FILE* stream) override {
        return ZeqAdoptMotionFile<ScriptFile>(stream, "w");
    }
    void SetWriteOptions(KStreamOptionsMotion*) override {}
};

KZeqVector4 P(double x, double y, double z, double w = 0.0) { return KZeqVector4(x, y, z, w); }

std::vector<std::string> gMessages;
int Record(const char* caption, const char* message, const char*, const char*, const char*, int) {
    gMessages.push_back(std::string(caption) + ": " + message);
    return 1;
}

struct MotionBaseTest : ::testing::Test, MarkerScene {
    ScriptReader mReader{mManager};
    KStreamOptionsMotion* mOptions = nullptr;

    void SetUp() override {
        gScript = Script();
        gMessages.clear();
        KFCURVE_SetUseConstantKeyReducer(false);
        ASSERT_TRUE(mReader.FileOpen("take/walk.script"));
    }
    void TearDown() override {
        KFCURVE_SetUseConstantKeyReducer(true);
        if (mOptions) mOptions->Destroy();
    }
    KStreamOptionsMotion& Options() {
        if (!mOptions) mOptions = static_cast<KStreamOptionsMotion*>(mReader.GetReadOptions());
        mOptions->SetMessageCallback(1, &Record);
        return *mOptions;
    }
    bool Read() { return mReader.Read(*mScene, &Options()); }
    // Forgets what was read and the options.
    void Again() {
        if (Root()->GetChildCount()) mManager.DestroyKZeqNode(Reference(), true);
        if (mOptions) mOptions->Destroy();
        mOptions = nullptr;
    }
};

TEST_F(MotionBaseTest, ZeroMarkersSucceedWithoutMakingAnything) {
    gScript.mFrames = {{P(1, 2, 3)}};
    const int nodes = mManager.GetKZeqNodeCount();
    EXPECT_TRUE(Read());
    EXPECT_EQ(nodes, mManager.GetKZeqNodeCount());
    EXPECT_EQ(0, Root()->GetChildCount());
    EXPECT_EQ(nullptr, mScene->GetTakeInfo("walk"));
}

TEST_F(MotionBaseTest, MarkersUnderOneReferenceWithScaledKeysAndATakeNamedAfterTheFile) {
    gScript.mMarkers = 2;
    gScript.mScale = 0.1;
    gScript.mNames = {"A", "B"};
    gScript.mFrames = {{P(123, 0, -5), P(1, 1, 1, 1)}, {P(10, 20, 30), P(2, 2, 2)}};
    Options().SetOption(KStreamOptionsMotion::eImportAsOpticalSegments, KStreamOptionsMotion::eOn);
    ASSERT_TRUE(Read());
    EXPECT_EQ("S:optical", std::string(Reference()->GetNameWithoutNameSpacePrefix().Buffer()));
    EXPECT_TRUE(Reference()->GetOpticalReference());
    EXPECT_EQ((std::vector<std::string>{"A", "B"}), MarkerNames());
    EXPECT_EQ(KZeqMarker::eOPTICAL_MARKER, Reference()->GetChild(1)->GetMarker()->GetType());
    EXPECT_EQ((std::vector<float>{12.3f, 1.0f}), TrackOf(0, 0).mValues);  // a file in mm, read key 123
    EXPECT_EQ((std::vector<float>{-0.5f, 3.0f}), TrackOf(0, 2).mValues);
    EXPECT_EQ((std::vector<float>{1.0f, 0.0f}), TrackOf(1, 3).mValues);
    EXPECT_EQ((std::vector<int>{8, 8}), TrackOf(1, 0).mInterpolations);  // cubic positions, constant occlusion
    EXPECT_EQ((std::vector<int>{2, 2}), TrackOf(1, 3).mInterpolations);
    EXPECT_EQ(0.01, TrackOf(0, 0).mTimes[1].GetSecondDouble());
    const KZeqTakeInfo* take = mScene->GetTakeInfo("walk");
    ASSERT_TRUE(take);
    EXPECT_EQ(0.01, take->mLocalTimeSpan.GetStop().GetSecondDouble());
    EXPECT_STREQ("walk", mScene->GetCurrentTakeName());
}

TEST_F(MotionBaseTest, ExtraPointsBecomeUnnamedMarkersAndMissingOnesOccludedZeros) {
    gScript.mMarkers = 2;
    gScript.mNames = {"A", "B"};
    gScript.mFrames = {{P(1, 1, 1)}, {P(2, 2, 2), P(3, 3, 3), P(4, 4, 4), P(5, 5, 5)}};
    Options().SetOption(KStreamOptionsMotion::eImportSetOccludedToLastValidPosition, KStreamOptionsMotion::eOff);
    ASSERT_TRUE(Read());
    EXPECT_EQ((std::vector<std::string>{"A", "B", "*Unnamed_3", "*Unnamed_4"}), MarkerNames());
    EXPECT_EQ((std::vector<float>{0.0f, 3.0f}), TrackOf(1, 0).mValues);
    EXPECT_EQ((std::vector<float>{1.0f, 0.0f}), TrackOf(1, 3).mValues);
    EXPECT_EQ((std::vector<float>{1.0f, 0.0f}), TrackOf(3, 3).mValues);
}

TEST_F(MotionBaseTest, AnOccludedRunHoldsTheLastVisiblePositionWhenAsked) {
    gScript.mMarkers = 1;
    gScript.mNames = {"A"};
    for (int f = 0; f < 12; ++f) gScript.mFrames.push_back({P(f, 0, 0, f >= 5 && f <= 9 ? 1.0 : 0.0)});
    for (bool carry : {true, false}) {
        SCOPED_TRACE(carry);
        Again();
        Options().SetOption(KStreamOptionsMotion::eImportSetOccludedToLastValidPosition,
                            carry ? KStreamOptionsMotion::eOn : KStreamOptionsMotion::eOff);
        ASSERT_TRUE(Read());
        const Track x = TrackOf(0, 0), occlusion = TrackOf(0, 3);
        for (int f = 5; f <= 9; ++f) {
            EXPECT_EQ(carry ? 4.0f : static_cast<float>(f), x.mValues[static_cast<std::size_t>(f)]) << f;
            EXPECT_EQ(1.0f, occlusion.mValues[static_cast<std::size_t>(f)]);
        }
        EXPECT_EQ(10.0f, x.mValues[10]);
    }
}

TEST_F(MotionBaseTest, DuplicateNamesAreRenamedWithOneWarningOrRefusedLeavingNothing) {
    gScript.mMarkers = 3;
    gScript.mNames = {"A", "A", "B"};
    gScript.mFrames = {{P(1, 1, 1), P(2, 2, 2), P(3, 3, 3)}};
    const int nodes = mManager.GetKZeqNodeCount();
    EXPECT_FALSE(Read());
    EXPECT_EQ(KZeqReader::eFileCorrupted, mReader.GetLastErrorID());
    EXPECT_EQ(0, Root()->GetChildCount());
    EXPECT_EQ(nodes, mManager.GetKZeqNodeCount());
    ASSERT_EQ(1u, gMessages.size());
    EXPECT_EQ("Error: Duplicate names found in walk.script:\n    Model::A", gMessages[0]);

    gMessages.clear();
    Options().SetOption(KStreamOptionsMotion::eRenameDuplicateNames, KStreamOptionsMotion::eOn);
    ASSERT_TRUE(Read());
    EXPECT_EQ((std::vector<std::string>{"A", "A 1", "B"}), MarkerNames());
    ASSERT_EQ(1u, gMessages.size());
    EXPECT_EQ("Warning: Some objects have been renamed due to naming conflicts:\nA  -->  A 1\n\n\n", gMessages[0]);
}

TEST_F(MotionBaseTest, OptionsAskingForMoreFramesAreCutAndAFailedFrameLeavesNothing) {
    gScript.mMarkers = 1;
    gScript.mNames = {"A"};
    gScript.mFrames = {{P(1, 1, 1)}, {P(2, 2, 2)}, {P(3, 3, 3)}};
    Options().SetFrameCount(50);
    ASSERT_TRUE(Read());
    EXPECT_EQ(3, Options().GetFrameCount());
    EXPECT_EQ(3u, TrackOf(0, 0).mValues.size());

    Again();
    const int nodes = mManager.GetKZeqNodeCount();
    gScript.mFailFrame = 2;
    EXPECT_FALSE(Read());
    EXPECT_EQ(KZeqReader::eFileCorrupted, mReader.GetLastErrorID());
    EXPECT_EQ(nodes, mManager.GetKZeqNodeCount());
    EXPECT_EQ(0, Root()->GetChildCount());
}

TEST_F(MotionBaseTest, ClosedReaderAndForeignOptionsAreRefused) {
    KStreamOptionsMotion* options = KStreamOptionsMotionCreate();
    ScriptReader closed(mManager);
    EXPECT_FALSE(closed.Read(*mScene, options));
    EXPECT_EQ(KZeqReader::eFileNotOpened, closed.GetLastErrorID());
    EXPECT_FALSE(closed.GetReadOptions());
    EXPECT_FALSE(closed.FileClose());
    KStreamOptions foreign;
    EXPECT_FALSE(mReader.Read(*mScene, &foreign));
    EXPECT_EQ(KZeqReader::eStreamOptionsNotSet, mReader.GetLastErrorID());
    EXPECT_FALSE(mReader.Read(*mScene, nullptr));
    options->Destroy();
}

// ---- Writer ----

struct MotionWriterTest : ::testing::Test, MarkerScene {
    // The file the writer names, in a folder of the test's own: the checkout may not be writable.
    TempDir mDirectory;
    const std::string mPath = mDirectory / "out.script";
    ScriptWriter mWriter{mManager};
    KStreamOptionsMotion* mOptions = KStreamOptionsMotionCreate();

    void SetUp() override {
        gScript = Script();
        ASSERT_TRUE(mWriter.FileCreate(mPath.c_str()));
        mOptions->SetTimeMode(KTime::eModeDefault, 10.0);
        mOptions->SetFrameCount(3);
    }
    void TearDown() override { mOptions->Destroy(); }

    // A selected marker under parent at (x, 0, 0) + frame, occluded with the given curve values.
    KZeqNode* Marker(KZeqNode* parent, const char* name, double x, std::vector<float> occlusion = {}) {
        KZeqNode* node = mManager.CreateKZeqNode(name);
        KZeqMarker* marker = mManager.CreateKZeqMarker();
        marker->SetType(KZeqMarker::eOPTICAL_MARKER);
        node->SetNodeAttribute(marker);
        parent->AddChild(node);
        node->SetSelected(true);
        // The default take is the still pose: the animation lives in a take of its own.
        node->CreateTakeNode("anim");
        node->SetCurrentTakeNode("anim");
        KFCurve* tx = node->GetCurrentTakeNode()->GetTranslationX();
        for (int f = 0; f < 3; ++f) {
            KTime time;
            time.SetSecondDouble(f / 10.0);
            tx->KeyAppendFast(time, static_cast<float>(x + f));
        }
        KFCurve* curve = node->GetCurrentTakeNode()->GetOcclusion();
        for (std::size_t f = 0; f < occlusion.size(); ++f) {
            KTime time;
            time.SetSecondDouble(static_cast<double>(f) / 10.0);
            const int key = curve->KeyAppendFast(time, occlusion[f]);
            curve->KeyGetPtr(key)->SetInterpolation(2);
        }
        return node;
    }
};

TEST_F(MotionWriterTest, SelectedNodesOutsideOpticalReferencesWithShortNamesAndGaps) {
    KZeqNode* reference = mManager.CreateKZeqNode("C3D:optical");
    reference->SetNodeAttribute(mManager.CreateKZeqOpticalReference());
    reference->SetSelected(true);
    Root()->AddChild(reference);
    Marker(reference, "Actor:Head", 10.0, {0.5f, 0.51f, 1.0f});
    Marker(reference, "Skipped", 0.0)->SetSelected(false);
    Marker(reference, "Hips", -3.0);
    mOptions->SetOption(KStreamOptionsMotion::eExportFromGlobalPosition, KStreamOptionsMotion::eOn);
    ASSERT_TRUE(mWriter.Write(*mScene, mOptions));
    EXPECT_EQ(2, gScript.mPrintedMarkers);
    EXPECT_EQ((std::vector<std::string>{"Head", "Hips"}), gScript.mPrintedNames);
    EXPECT_EQ(1.0, gScript.mPrintedScale);
    ASSERT_EQ(3u, gScript.mPrintedFrames.size());
    const double expected[3][2] = {{10, -3}, {11, -2}, {12, -1}};
    const double occluded[3] = {0.0, 1.0, 1.0};  // 0.5 is visible, 0.51 a gap
    for (int f = 0; f < 3; ++f) {
        EXPECT_NEAR(expected[f][0], gScript.mPrintedFrames[f][0].GetAt(0), 1e-5) << f;
        EXPECT_NEAR(expected[f][1], gScript.mPrintedFrames[f][1].GetAt(0), 1e-5) << f;
        EXPECT_EQ(occluded[f], gScript.mPrintedFrames[f][0].GetAt(3)) << f;
        EXPECT_EQ(0.0, gScript.mPrintedFrames[f][1].GetAt(3)) << f;
    }
}

TEST_F(MotionWriterTest, RealFormatOptionGivesANegativeScaleAndGapsAsDataClearTheMarks) {
    Marker(Root(), "A", 1.0, {1.0f, 1.0f, 1.0f});
    mOptions->SetOption(KStreamOptionsMotion::eExportC3DRealFormat, KStreamOptionsMotion::eOn);
    mOptions->SetOption(KStreamOptionsMotion::eExportGapsAsValidData, KStreamOptionsMotion::eOn);
    ASSERT_TRUE(mWriter.Write(*mScene, mOptions));
    EXPECT_EQ(-1.0, gScript.mPrintedScale);
    for (const auto& frame : gScript.mPrintedFrames) EXPECT_EQ(0.0, frame[0].GetAt(3));
}

// The write stops at the frame the file refuses, with the system's reason.
TEST_F(MotionWriterTest, AFrameTheFileRefusesIsOutOfDiskSpace) {
    Marker(Root(), "A", 1.0);
    gScript.mRefuseFrame = 2;
    gScript.mRefusalError = EIO;
    EXPECT_FALSE(mWriter.Write(*mScene, mOptions));
    EXPECT_EQ(KZeqWriter::eOutOfDiskSpace, mWriter.GetLastErrorID());
    EXPECT_EQ(EIO, mWriter.GetError().GetLastSystemError());
    KString message;
    mWriter.GetMessage(message);
    EXPECT_EQ("Error writing \"" + mPath + "\": Input/output error", std::string(message.Buffer()));
    EXPECT_EQ(2u, gScript.mPrintedFrames.size());
}

}  // namespace

// The store of points read: about 12 bytes a point (three floats, an occlusion bit and a share of
// the frame table); cleared, it gives its point blocks back and takes frames again.
TEST(KZeqMarkerSamples, AboutTwelveBytesAPointAndReusableAfterClear) {
    KZeqMarkerSamples samples;
    KArrayTemplate<KZeqVector4> frame;
    for (int i = 0; i < 50; ++i) frame.Add(KZeqVector4(i, 2 * i, 3 * i, i % 7 == 0 ? 1.0 : 0.0));
    for (int f = 0; f < 4096; ++f) samples.AddFrame(frame, 0.5, false);
    const double points = 4096.0 * 50;
    EXPECT_GE(static_cast<double>(samples.GetByteCount()) / points, 12.0);
    EXPECT_LE(static_cast<double>(samples.GetByteCount()) / points, 13.0);
    EXPECT_TRUE(samples.GetPoint(4095, 49).mY == 49.0f && samples.IsOccluded(4095, 49) && !samples.IsOccluded(4095, 48));

    samples.Clear();
    EXPECT_EQ(samples.GetFrameCount(), 0);
    EXPECT_LT(static_cast<double>(samples.GetByteCount()) / points, 1.0);
    samples.AddFrame(frame, 2.0, false);
    ASSERT_EQ(samples.GetFrameCount(), 1);
    EXPECT_TRUE(samples.GetPointCount(0) == 50 && samples.GetPoint(0, 3).mZ == 18.0f && !samples.IsOccluded(0, 3));
}

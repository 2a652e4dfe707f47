// The HTR reader and writer through the importer and exporter rows: the
// shared sample files, values read by hand, round trips and refused files.

#include <gtest/gtest.h>

#include "fcurve/kfcurvesettings.h"
#include "fileio/tests/fileio_test_support.h"
#include "fileio/tests/kfilesizelimit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include "base/klib.h"
#include "fileio/kconfigfile.h"
#include "fcurve/kfcurve.h"
#include "formats/kzeqformats.h"
#include "formats/motion/testkit/zeqmotiontestkit.h"
#include "formats/motion/htr/kzeqfilemotionanalysishtr.h"
#include "formats/motion/htr/kzeqwritermotionanalysishtr.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodelimits.h"
#include "scene/kzeqpose.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"
#include "scene/kzeqtakenode.h"

namespace zeqsdk_400 {
namespace {

std::string SampleDir() {
#ifdef ZEQ_TESTDATA_DIR
    const std::string dir = std::string(ZEQ_TESTDATA_DIR) + "/htr";
    if (FILE* f = std::fopen((dir + "/jab.HTR").c_str(), "rb")) {
        std::fclose(f);
        return dir;
    }
#endif
    return std::string();
}

#define REQUIRE_SAMPLES(dir)             \
    const std::string dir = SampleDir(); \
    if (dir.empty()) GTEST_SKIP() << "sample files of htr not found (ZEQ_TESTDATA_DIR)"

int CountNodes(KZeqNode* node) {
    int count = 1;
    for (int i = 0; i < node->GetChildCount(); ++i) count += CountNodes(node->GetChild(i));
    return count;
}

class HtrIO : public testing::Test {
protected:
    void SetUp() override { ZeqRegisterFormats(); }
    void TearDown() override { mManager.DestroyKZeqScene(mScene, true); }
    std::string Path(const std::string& name) const { return mDir / name; }
    std::string Write(const std::string& name, const std::string& text) const {
        std::ofstream(Path(name), std::ios::binary) << text;
        return Path(name);
    }
    bool Import(const std::string& path, const std::function<void(KStreamOptionsMotion&)>& adjust = nullptr) {
        KZeqImporter importer(mManager);
        importer.SetFileFormat(KZeqImporter::eMOTION_ANALYSIS_HTR);
        importer.Initialize(path.c_str());
        // Options the header refuses still let the read itself say why.
        auto* options = static_cast<KStreamOptionsMotion*>(importer.GetImportOptions());
        if (!options) options = KStreamOptionsMotionCreate();
        if (adjust) adjust(*options);
        const bool ok = importer.Import(*mScene, options);
        mLastError = importer.GetLastErrorID();
        KString message;
        importer.GetMessage(message);
        mMessage = message.Buffer();
        mFrames = options->GetFrameCount();
        mRate = options->GetFrameRate();
        options->Destroy();
        return ok;
    }
    KZeqNode* Find(const char* name) const { return mScene->GetRootNode()->FindChild(name, true); }

    KZeqSdkManager mManager;
    KZeqScene* mScene = mManager.CreateKZeqScene();
    int mLastError = -1;
    std::string mMessage;
    int mFrames = 0;
    double mRate = 0.0;
    const zeqtest::TempDir mDir;
};

struct Sample {
    const char* mFile;
    int mSegments;
    int mFrames;
    double mRate;
    int mNodes;
};

class HtrSamples : public HtrIO, public testing::WithParamInterface<Sample> {};

TEST_P(HtrSamples, ReadAsCounted) {
    REQUIRE_SAMPLES(dir);
    const Sample& s = GetParam();
    ASSERT_TRUE(Import(dir + "/" + s.mFile)) << mLastError;
    KZeqNode* reference = Find("HTR:reference");
    ASSERT_TRUE(reference);
    EXPECT_EQ(CountNodes(reference) - 1, s.mNodes);
    EXPECT_EQ(mFrames, s.mFrames);
    EXPECT_EQ(mRate, s.mRate);
    const std::string take = std::string(s.mFile).substr(0, std::string(s.mFile).rfind('.'));
    EXPECT_EQ(std::string(mScene->GetCurrentTakeName()), take);
    EXPECT_TRUE(KZeqFileMotionAnalysisHtr::RetrieveRestPose(*mScene, "HTR:reference"));
}

// The reader keys rotations continuous as the unroll filter makes them, so
// it leaves that filter out: run on what was read (before the constant key
// reducer, which comes after it), it changes no key.
TEST_P(HtrSamples, RotationKeysNeedNoUnrolling) {
    REQUIRE_SAMPLES(dir);
    const Sample& s = GetParam();
    const bool reducer = KFCURVE_GetUseConstantKeyReducer();
    KFCURVE_SetUseConstantKeyReducer(false);
    const bool read =
        Import(dir + "/" + s.mFile, [&s](KStreamOptionsMotion& options) { options.SetFrameCount(s.mFrames); });
    KFCURVE_SetUseConstantKeyReducer(reducer);
    ASSERT_TRUE(read) << mLastError;
    EXPECT_TRUE(zeqmotiontest::UnrollChangesNoKey(Find("HTR:reference")));
}

INSTANTIATE_TEST_SUITE_P(Files, HtrSamples,
                         testing::Values(Sample{"jab.HTR", 41, 101, 30, 48}, Sample{"run.htr", 81, 17, 30, 109},
                                         Sample{"simple_rig.htr", 6, 3, 60, 7},
                                         Sample{"idle_Take_001.htr", 28, 24, 24, 37},
                                         Sample{"walk.htr", 28, 25, 24, 37}),
                         [](const testing::TestParamInfo<Sample>& info) {
                             std::string name = info.param.mFile;
                             return name.substr(0, name.find_first_of("_."));
                         });

// Its exporter declares one frame more than every section holds: the 25 rows
// are read, and the reader says so.
TEST_F(HtrIO, WalkDeclaresMoreFramesThanItHolds) {
    REQUIRE_SAMPLES(dir);
    zeqmotiontest::CallbackRecorder recorder;
    ASSERT_TRUE(Import(dir + "/walk.htr", [&recorder](KStreamOptionsMotion& options) { recorder.Install(options); }))
        << mLastError;
    EXPECT_EQ(mFrames, 25);
    EXPECT_EQ(mMessage, "walk.htr declares 26 frames but each frame section holds 25: 25 frames read.");
    ASSERT_EQ(recorder.mMessages.size(), 1u);
    EXPECT_EQ(recorder.mMessages[0].mCaption, "Warning");
    EXPECT_EQ(recorder.mMessages[0].mText, mMessage);
    const KZeqTakeInfo* take = mScene->GetTakeInfo("walk");
    ASSERT_TRUE(take);
    EXPECT_DOUBLE_EQ(take->mLocalTimeSpan.GetStop().GetSecondDouble(), 1.0);  // frame 24 at 24 per second
}

// ---- Values read by hand -------------------------------------------------------------------

using Row3 = std::array<std::array<double, 3>, 3>;

// Row-vector rotation of "ZYX" angles: X applied first, then Y, then Z.
Row3 Zyx(double x, double y, double z) {
    const double d = 3.14159265358979323846 / 180.0;
    const double cx = std::cos(x * d), sx = std::sin(x * d), cy = std::cos(y * d), sy = std::sin(y * d),
                 cz = std::cos(z * d), sz = std::sin(z * d);
    const Row3 rx{{{1, 0, 0}, {0, cx, sx}, {0, -sx, cx}}}, ry{{{cy, 0, -sy}, {0, 1, 0}, {sy, 0, cy}}},
        rz{{{cz, sz, 0}, {-sz, cz, 0}, {0, 0, 1}}};
    auto mul = [](const Row3& a, const Row3& b) {
        Row3 m{};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                for (int k = 0; k < 3; ++k) m[i][j] += a[i][k] * b[k][j];
        return m;
    };
    return mul(mul(rx, ry), rz);
}

TEST_F(HtrIO, JabJointsWhereTheFileSaysTheyAre) {
    REQUIRE_SAMPLES(dir);
    ASSERT_TRUE(Import(dir + "/jab.HTR"));
    struct Frame {
        int mIndex;
        double mHips[6];
        double mSpine[3];
    };
    // Rows 0 and 100 of [Hips] and [Spine]; base positions Hips and Spine.
    const double hipsBase[6] = {10.843260, 822.336530, -12.690015, 97.234374, -43.527032, 174.849775};
    const double spineBase[3] = {4.324737, 0.000000, 146.524372};
    for (const Frame& f : {Frame{0, {0, 0, 0, 0, 0, 0}, {0, 0, 0}},
                           Frame{100, {-0.002528, 0.000194, 0.000385, -0.000066, -0.000006, 0.000018},
                                 {-0.000007, 0.000000, 0.000076}}}) {
        const Row3 frame = Zyx(f.mHips[3], f.mHips[4], f.mHips[5]);
        const Row3 base = Zyx(hipsBase[3], hipsBase[4], hipsBase[5]);
        Row3 world{};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                for (int k = 0; k < 3; ++k) world[i][j] += frame[i][k] * base[k][j];
        double hips[3], spine[3];
        for (int j = 0; j < 3; ++j) hips[j] = (hipsBase[j] + f.mHips[j]) * 0.1;
        for (int j = 0; j < 3; ++j) {
            spine[j] = hips[j];
            for (int k = 0; k < 3; ++k) spine[j] += (spineBase[k] + f.mSpine[k]) * 0.1 * world[k][j];
        }
        KTime time;
        time.SetSecondDouble(f.mIndex / 30.0);
        const KZeqVector4 h = Find("Hips")->GetGlobalFromCurrentTake(time).GetT();
        const KZeqVector4 s = Find("Spine")->GetGlobalFromCurrentTake(time).GetT();
        for (int j = 0; j < 3; ++j) {
            EXPECT_NEAR(h[j], hips[j], 1e-4) << f.mIndex;
            EXPECT_NEAR(s[j], spine[j], 1e-4) << f.mIndex;
        }
    }
}

// ---- Turns near a quarter turn -----------------------------------------------------------------

// A chain of segments A, B and C (ending in C_End) whose B turns within a tenth of a degree of a
// quarter turn about each axis, either way, by its base rotation or by the second frame's, with
// the bones along each axis. Every node lies where the file's own transforms put it (plain
// matrices, the end node one bone along C's axis) at both frames and in the default take, and the
// rest pose holds each base position as the file gives it: the turn is not taken for the quarter
// turn, which would move what lies below B by a thousandth of its distance.
TEST_F(HtrIO, NearAQuarterTurnAboutEachAxisIsKept) {
    using namespace zeqmotiontest;
    static const char* const kNames[3] = {"A", "B", "C"};
    KTime period;
    period.SetSecondDouble(1.0 / 30.0);
    const std::vector<KTime> times = FrameTimes(KTime(), period, 2);
    for (int boneAxis = 0; boneAxis < 3; ++boneAxis)
        for (bool inBase : {true, false})
            for (int axis = 0; axis < 3; ++axis)
                for (double angle : NearQuarterTurns()) {
                    const std::string trace = std::string("bones along ") + "XYZ"[boneAxis] + ", " +
                                              (inBase ? "base" : "frame") + " turned " + std::to_string(angle) +
                                              " about " + "XYZ"[axis];
                    // Millimetres and degrees: translation, rotation about X, Y and Z, length. A
                    // frame's row: translation and rotation, added to the base position.
                    double base[3][7] = {{10, 20, 30, 0, 0, 25, 100}, {40, -60, 80, 0, 0, 0, 150},
                                         {70, 50, -30, 0, 0, 0, 120}};
                    double second[3][6] = {{5, -3, 2, 20, 0, 0}, {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}};
                    (inBase ? base[1][3 + axis] : second[1][3 + axis]) = angle;
                    char line[256];
                    std::string text = std::string("[Header]\nFileType htr\nDataType HTRS\nFileVersion 1\n") +
                                       "NumSegments 3\nNumFrames 2\nDataFrameRate 30\nEulerRotationOrder ZYX\n" +
                                       "CalibrationUnits mm\nRotationUnits Degrees\nGlobalAxisofGravity Y\n" +
                                       "BoneLengthAxis " + "XYZ"[boneAxis] + "\nScaleFactor 1.0\n" +
                                       "[SegmentNames&Hierarchy]\nA\tGLOBAL\nB\tA\nC\tB\n[BasePosition]\n";
                    for (int s = 0; s < 3; ++s) {
                        std::snprintf(line, sizeof(line), "%s\t%.17g\t%.17g\t%.17g\t%.17g\t%.17g\t%.17g\t%.17g\n",
                                      kNames[s], base[s][0], base[s][1], base[s][2], base[s][3], base[s][4],
                                      base[s][5], base[s][6]);
                        text += line;
                    }
                    for (int s = 0; s < 3; ++s) {
                        const double* r = second[s];
                        std::snprintf(line, sizeof(line), "[%s]\n0\t0 0 0 0 0 0 1\n1\t%.17g %.17g %.17g %.17g %.17g %.17g 1\n",
                                      kNames[s], r[0], r[1], r[2], r[3], r[4], r[5]);
                        text += line;
                    }
                    text += "[EndOfFile]\n";

                    // The same in centimetres as the reference composes it: X turns first.
                    RefSkeleton skeleton;
                    skeleton.mRotationOrder = RefRotationOrder::kFirstListedFirst;
                    skeleton.mPosition = RefPosition::kAddsToOffset;
                    std::vector<std::vector<double>> rows(2);
                    for (int s = 0; s < 3; ++s) {
                        RefJoint joint;
                        joint.mName = kNames[s];
                        joint.mParent = s - 1;
                        joint.mChannels = {RefChannel::kTx, RefChannel::kTy, RefChannel::kTz,
                                           RefChannel::kRx, RefChannel::kRy, RefChannel::kRz};
                        for (int i = 0; i < 3; ++i) joint.mOffset[i] = base[s][i] / 10.0;
                        joint.mPre = RefMultiply(RefAxisRotation(2, base[s][5]),
                                                 RefMultiply(RefAxisRotation(1, base[s][4]), RefAxisRotation(0, base[s][3])));
                        skeleton.mJoints.push_back(joint);
                        for (int c = 0; c < 6; ++c) {
                            rows[0].push_back(0.0);
                            rows[1].push_back(c < 3 ? second[s][c] / 10.0 : second[s][c]);
                        }
                    }
                    RefJoint end;
                    end.mName = "C_End";
                    end.mParent = 2;
                    end.mOffset[boneAxis] = base[2][6] / 10.0;
                    skeleton.mJoints.push_back(end);

                    mManager.DestroyKZeqScene(mScene, true);
                    mScene = mManager.CreateKZeqScene();
                    ASSERT_TRUE(Import(Write("turned.htr", text))) << trace << ": " << mLastError;
                    CompareParts parts;
                    parts.mOffsets = false;  // the rest offsets are taken out of the local values
                    EXPECT_TRUE(CompareMotion(ReferenceSnapshot(skeleton, rows), SampleMotion(Find("A"), times), 1e-4,
                                              parts))
                        << trace;
                    const std::vector<Vec3> rest = RefWorldPositions(skeleton, rows[0]);
                    KZeqPose* pose = KZeqFileMotionAnalysisHtr::RetrieveRestPose(*mScene, "HTR:reference");
                    ASSERT_TRUE(pose) << trace;
                    for (std::size_t j = 0; j < skeleton.mJoints.size(); ++j) {
                        const RefJoint& joint = skeleton.mJoints[j];
                        const KZeqVector4 at = Find(joint.mName.c_str())->GetGlobalFromDefaultTake().GetT();
                        for (int i = 0; i < 3; ++i) EXPECT_NEAR(at[i], rest[j][i], 1e-6) << trace << ", " << joint.mName;
                        if (j == 3) continue;
                        const int entry = pose->Find(joint.mName.c_str());
                        ASSERT_GE(entry, 0) << trace << ", " << joint.mName;
                        const KZeqMatrix& m = pose->GetMatrix(entry);
                        // Rows of the pose's matrix, columns of the reference's.
                        for (int r = 0; r < 3; ++r)
                            for (int c = 0; c < 3; ++c) EXPECT_NEAR(m.mData[r][c], joint.mPre[c][r], 1e-9) << trace;
                        for (int c = 0; c < 3; ++c) EXPECT_NEAR(m.mData[3][c], joint.mOffset[c], 1e-12) << trace;
                    }
                }
}

// ---- Round trips ------------------------------------------------------------------------------

class HtrRoundTrip : public HtrIO {
protected:
    // Writes the skeleton below top over the current take's frames, reads it back into a fresh scene.
    void WriteAndReadBack(KZeqNode* top, int frames, double rate) {
        top->SetSelected(true);
        std::string error;
        ASSERT_TRUE(zeqmotiontest::ExportMotion(mManager, *mScene, KZeqExporter::eMOTION_ANALYSIS_HTR, Path("out.htr"),
                                                [frames, rate](KStreamOptionsMotion& options) {
                                                    options.SetTimeMode(KTime::eModeDefault, rate);
                                                    options.SetFrameCount(frames);
                                                },
                                                &error))
            << error;
        mManager.DestroyKZeqScene(mScene, true);
        mScene = mManager.CreateKZeqScene();
        ASSERT_TRUE(Import(Path("out.htr"))) << mLastError;
    }
    // Writes the skeleton below top as BVH (the writer's options, "Translation"
    // on when asked) over frames at rate, reads the file into a scene of its
    // own and samples its copy of top at times; empty, with a failure, when
    // the file does not come back.
    zeqmotiontest::MotionSnapshot ThroughBiovision(KZeqNode* top, int frames, double rate, bool translation,
                                                   const std::vector<KTime>& times) {
        top->SetSelected(true);
        std::string error;
        zeqmotiontest::MotionSnapshot read;
        if (!zeqmotiontest::ExportMotion(mManager, *mScene, KZeqExporter::eBIOVISION_BVH, Path("out.bvh"),
                                         [&](KStreamOptionsMotion& options) {
                                             options.SetTimeMode(KTime::eModeDefault, rate);
                                             options.SetFrameCount(frames);
                                             if (translation)
                                                 options.SetOption(KStreamOptionsMotion::eTranslation,
                                                                   KStreamOptionsMotion::eOn);
                                         },
                                         &error)) {
            ADD_FAILURE() << error;
            return read;
        }
        KZeqScene* back = mManager.CreateKZeqScene();
        if (!zeqmotiontest::ImportMotion(mManager, *back, KZeqImporter::eBIOVISION_BVH, Path("out.bvh"), nullptr,
                                         &error))
            ADD_FAILURE() << error;
        else if (KZeqNode* copy = back->GetRootNode()->FindChild(top->GetName(), true, false))
            read = zeqmotiontest::SampleMotion(copy, times);
        else
            ADD_FAILURE() << "no " << top->GetName() << " read back";
        mManager.DestroyKZeqScene(back, true);
        return read;
    }
};

class HtrSampleRoundTrip : public HtrRoundTrip, public testing::WithParamInterface<Sample> {};

TEST_P(HtrSampleRoundTrip, WrittenFileReadsBackAlike) {
    REQUIRE_SAMPLES(dir);
    const Sample& s = GetParam();
    ASSERT_TRUE(Import(dir + "/" + s.mFile, [&s](KStreamOptionsMotion& options) { options.SetFrameCount(s.mFrames); }));
    KTime period;
    period.SetSecondDouble(1.0 / s.mRate);
    const auto times = zeqmotiontest::FrameTimes(KTime(), period, s.mFrames);
    KZeqNode* reference = Find("HTR:reference");
    const zeqmotiontest::MotionSnapshot before = zeqmotiontest::SampleMotion(reference->GetChild(0), times);
    WriteAndReadBack(reference->GetChild(0), s.mFrames, s.mRate);
    EXPECT_EQ(mFrames, s.mFrames);
    EXPECT_EQ(mRate, s.mRate);
    const zeqmotiontest::MotionSnapshot after =
        zeqmotiontest::SampleMotion(Find("HTR:reference")->GetChild(0), times);
    zeqmotiontest::CompareParts parts;
    parts.mOffsets = false;
    EXPECT_TRUE(zeqmotiontest::CompareMotion(before, after, 0.05, parts));
}

INSTANTIATE_TEST_SUITE_P(Files, HtrSampleRoundTrip,
                         testing::Values(Sample{"jab.HTR", 41, 101, 30, 48}, Sample{"run.htr", 81, 17, 30, 109},
                                         Sample{"simple_rig.htr", 6, 3, 60, 7},
                                         Sample{"idle_Take_001.htr", 28, 24, 24, 37},
                                         Sample{"walk.htr", 28, 25, 24, 37}),
                         [](const testing::TestParamInfo<Sample>& info) {
                             std::string name = info.param.mFile;
                             return name.substr(0, name.find_first_of("_."));
                         });

// An HTR take written as BVH and read back keeps every joint where it was,
// frame by frame: with the writer's defaults (rotation channels only below the
// root) where the file's base position holds the bones, and with translation
// channels where the bones live in the frame rows (base translations of zero,
// lengths that may vary; HtrBonesInFrames below writes those with the defaults).
struct HtrToBvhCase {
    Sample mSample;
    bool mTranslation;
};

class HtrToBiovision : public HtrRoundTrip, public testing::WithParamInterface<HtrToBvhCase> {};

TEST_P(HtrToBiovision, KeepsEveryJointsWorldPosition) {
    REQUIRE_SAMPLES(dir);
    const Sample& s = GetParam().mSample;
    ASSERT_TRUE(Import(dir + "/" + s.mFile, [&s](KStreamOptionsMotion& options) { options.SetFrameCount(s.mFrames); }));
    KTime period;
    period.SetSecondDouble(1.0 / s.mRate);
    const auto times = zeqmotiontest::FrameTimes(KTime(), period, s.mFrames);
    KZeqNode* top = Find("HTR:reference")->GetChild(0);
    const zeqmotiontest::MotionSnapshot before = zeqmotiontest::SampleMotion(top, times);
    const zeqmotiontest::MotionSnapshot after = ThroughBiovision(top, s.mFrames, s.mRate, GetParam().mTranslation, times);
    zeqmotiontest::CompareParts parts;
    parts.mOffsets = false;
    EXPECT_TRUE(zeqmotiontest::CompareMotion(before, after, 0.01, parts));
}

INSTANTIATE_TEST_SUITE_P(Files, HtrToBiovision,
                         testing::Values(HtrToBvhCase{Sample{"jab.HTR", 41, 101, 30, 48}, false},
                                         HtrToBvhCase{Sample{"jab.HTR", 41, 101, 30, 48}, true},
                                         HtrToBvhCase{Sample{"run.htr", 81, 17, 30, 109}, true},
                                         HtrToBvhCase{Sample{"simple_rig.htr", 6, 3, 60, 7}, true},
                                         HtrToBvhCase{Sample{"idle_Take_001.htr", 28, 24, 24, 37}, true},
                                         HtrToBvhCase{Sample{"walk.htr", 28, 25, 24, 37}, true}),
                         [](const testing::TestParamInfo<HtrToBvhCase>& info) {
                             std::string name = info.param.mSample.mFile;
                             return name.substr(0, name.find_first_of("_.")) +
                                    (info.param.mTranslation ? "WithTranslation" : "WithDefaults");
                         });

// Files whose base positions are all zero keep each bone's length in the
// frame rows. Written as BVH with the writer's defaults, a joint below the
// root has no translation channels and keeps its translation of the first
// frame written as OFFSET: each joint then stays as close to where it was as
// the translations along its chain stray from that first frame (nothing, in a
// rig whose bones keep their lengths).
class HtrBonesInFrames : public HtrRoundTrip, public testing::WithParamInterface<Sample> {
protected:
    // For each node of the sample's order: the sum, over the node and its
    // ancestors below top, of how far their local translation strays from
    // that of the first time.
    std::vector<double> TranslationDrift(const zeqmotiontest::MotionSnapshot& snapshot, KZeqNode* top,
                                         const std::vector<KTime>& times) {
        std::vector<double> drift;
        for (const std::string& name : snapshot.mNames) {
            double sum = 0.0;
            for (KZeqNode* node = top->FindChild(name.c_str(), true, false); node && node != top;
                 node = node->GetParent()) {
                const KZeqVector4 first = node->GetLocalFromCurrentTake(times.front()).GetT();
                double most = 0.0;
                for (const KTime time : times)
                    most = std::max(most, (node->GetLocalFromCurrentTake(time).GetT() - first).Length());
                sum += most;
            }
            drift.push_back(sum);
        }
        return drift;
    }
};

TEST_P(HtrBonesInFrames, WrittenAsBiovisionWithDefaultsKeepsTheSkeleton) {
    REQUIRE_SAMPLES(dir);
    const Sample& s = GetParam();
    ASSERT_TRUE(Import(dir + "/" + s.mFile)) << mLastError;
    ASSERT_EQ(mFrames, s.mFrames);
    KTime period;
    period.SetSecondDouble(1.0 / s.mRate);
    const auto times = zeqmotiontest::FrameTimes(KTime(), period, s.mFrames);
    KZeqNode* top = Find("HTR:reference")->GetChild(0);
    const zeqmotiontest::MotionSnapshot before = zeqmotiontest::SampleMotion(top, times);
    const std::vector<double> drift = TranslationDrift(before, top, times);
    const zeqmotiontest::MotionSnapshot after = ThroughBiovision(top, s.mFrames, s.mRate, false, times);
    const std::string text = zeqmotiontest::ReadText(Path("out.bvh"));
    EXPECT_EQ(text.find("CHANNELS 6", text.find("CHANNELS 6") + 1), std::string::npos);  // the root's alone
    ASSERT_EQ(after.mNames, before.mNames);
    double worst = 0.0, worstDrift = 0.0;
    for (std::size_t f = 0; f < times.size(); ++f)
        for (std::size_t n = 0; n < before.mNames.size(); ++n) {
            const zeqmotiontest::Vec3 &a = after.mPositions[f][n], &b = before.mPositions[f][n];
            const double distance = std::hypot(a[0] - b[0], a[1] - b[1], a[2] - b[2]);
            worst = std::max(worst, distance);
            worstDrift = std::max(worstDrift, drift[n]);
            EXPECT_LE(distance, drift[n] + 0.01) << before.mNames[n] << " at frame " << f;
        }
    // The file's own figure: a rig with bones of fixed length comes back within 0.01 cm.
    EXPECT_LE(worst, s.mFile == std::string("simple_rig.htr") ? 0.01 : 5.0) << "drift " << worstDrift;
    RecordProperty("WorstDistance", std::to_string(worst));
}

INSTANTIATE_TEST_SUITE_P(Files, HtrBonesInFrames,
                         testing::Values(Sample{"simple_rig.htr", 6, 3, 60, 7}, Sample{"run.htr", 81, 17, 30, 109},
                                         Sample{"idle_Take_001.htr", 28, 24, 24, 37},
                                         Sample{"walk.htr", 28, 25, 24, 37}),
                         [](const testing::TestParamInfo<Sample>& info) {
                             std::string name = info.param.mFile;
                             return name.substr(0, name.find_first_of("_."));
                         });

TEST_F(HtrRoundTrip, ABiovisionSkeletonReadsBackAlike) {
    const std::string bvh = zeqmotiontest::TestDataDir("bvh");
    if (bvh.empty()) GTEST_SKIP() << "sample files of bvh not found (ZEQ_TESTDATA_DIR)";
    std::string error;
    ASSERT_TRUE(zeqmotiontest::ImportMotion(mManager, *mScene, KZeqImporter::eBIOVISION_BVH,
                                            bvh + "/cmu_12_01_walk.bvh", nullptr, &error))
        << error;
    const int frames = 40;
    KTime period;
    period.SetSecondDouble(1.0 / 120.0);
    const auto times = zeqmotiontest::FrameTimes(KTime(), period, frames);
    const zeqmotiontest::MotionSnapshot before = zeqmotiontest::SampleMotion(Find("Hips"), times);
    WriteAndReadBack(Find("Hips"), frames, 120.0);
    const zeqmotiontest::MotionSnapshot after = zeqmotiontest::SampleMotion(Find("Hips"), times);
    zeqmotiontest::CompareParts parts;
    parts.mOffsets = false;
    EXPECT_TRUE(zeqmotiontest::CompareMotion(before, after, 0.05, parts));
}

// ---- Small files --------------------------------------------------------------------------

struct Parts {
    std::string mHeader = "FileType htr\nDataType HTRS\nFileVersion 1\nNumSegments 3\nNumFrames 2\nDataFrameRate 30\n"
                          "EulerRotationOrder ZYX\nCalibrationUnits mm\nRotationUnits Degrees\nGlobalAxisofGravity Y\n"
                          "BoneLengthAxis Y\nScaleFactor 1.0\n";
    std::string mHierarchy = "A\tGLOBAL\nB\tA\nC\tB\n";
    std::string mBase = "A\t10\t0\t0\t0\t0\t0\t100\nB\t0\t100\t0\t0\t0\t90\t50\nC\t0\t50\t0\t0\t0\t0\t30\n";
    std::string mFrames = "[A]\n1\t0 0 0 0 0 0 1\n2\t10 0 0 0 0 0 1\n[B]\n1\t0 0 0 0 0 0 1\n2\t0 0 0 10 0 0 1\n"
                          "[C]\n1\t0 0 0 0 0 0 1\n2\t0 0 0 0 0 0 1\n";
    std::string Text() const {
        return "[Header]\n" + mHeader + "[SegmentNames&Hierarchy]\n" + mHierarchy + "[BasePosition]\n" + mBase +
               mFrames + "[EndOfFile]\n";
    }
};

std::string Replace(std::string text, const std::string& from, const std::string& to) {
    const std::size_t at = text.find(from);
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

// Written as BVH with the writer's defaults, every joint stays where it was:
// with base positions holding rest rotations (B turned 90 degrees about Z)
// and frame rows that move only the root and turn B, the default take holds
// the same skeleton as the keys; with every base position zero and each
// bone's length in its frame rows (constant, so the key reducer leaves those
// curves without keys, holding their value), the OFFSETs come from the take.
TEST_F(HtrRoundTrip, SmallFilesWriteAsBiovisionOffsets) {
    Parts bones;
    bones.mBase = "A\t0\t0\t0\t0\t0\t0\t1\nB\t0\t0\t0\t0\t0\t0\t1\nC\t0\t0\t0\t0\t0\t0\t1\n";
    bones.mFrames = "[A]\n1\t0 0 0 0 0 0 1\n2\t10 0 0 0 0 20 1\n[B]\n1\t0 100 0 0 0 30 1\n2\t0 100 0 10 0 30 1\n"
                    "[C]\n1\t0 50 0 10 0 0 1\n2\t0 50 0 -20 5 0 1\n";
    KTime period;
    period.SetSecondDouble(1.0 / 30.0);
    const auto times = zeqmotiontest::FrameTimes(KTime(), period, 2);
    for (const std::string& text : {Parts().Text(), bones.Text()}) {
        mManager.DestroyKZeqScene(mScene, true);
        mScene = mManager.CreateKZeqScene();
        ASSERT_TRUE(Import(Write("small.htr", text))) << mLastError;
        const zeqmotiontest::MotionSnapshot before = zeqmotiontest::SampleMotion(Find("A"), times);
        // The lengths were read: C stands more than one bone from A.
        const auto& last = before.mPositions[1];
        ASSERT_GT(std::hypot(last[2][0] - last[0][0], last[2][1] - last[0][1], last[2][2] - last[0][2]), 10.0);
        zeqmotiontest::CompareParts parts;
        parts.mOffsets = false;
        EXPECT_TRUE(
            zeqmotiontest::CompareMotion(before, ThroughBiovision(Find("A"), 2, 30.0, false, times), 0.01, parts));
    }
}

struct RefusedHtr {
    const char* mName;
    std::string mText;
};

class HtrRefused : public HtrIO, public testing::WithParamInterface<RefusedHtr> {};

TEST_P(HtrRefused, LeavesTheSceneAsItWas) {
    const int nodes = mManager.GetKZeqNodeCount();
    EXPECT_FALSE(Import(Write("bad.htr", GetParam().mText)));
    EXPECT_EQ(mLastError, 0);
    EXPECT_EQ(mManager.GetKZeqNodeCount(), nodes);
    EXPECT_EQ(mScene->GetRootNode()->GetChildCount(), 0);
    EXPECT_EQ(mScene->GetPoseCount(), 0);
}

const Parts kParts;

INSTANTIATE_TEST_SUITE_P(
    Files, HtrRefused,
    testing::Values(
        RefusedHtr{"HeaderAfterHierarchy", "[SegmentNames&Hierarchy]\nA GLOBAL\n" + kParts.Text()},
        RefusedHtr{"BadSegmentCount", Replace(kParts.Text(), "NumSegments 3", "NumSegments 4")},
        RefusedHtr{"BaseOutOfOrder", Replace(kParts.Text(), "A\t10\t0\t0\t0\t0\t0\t100\nB\t0\t100\t0\t0\t0\t90\t50\n",
                                             "B\t0\t100\t0\t0\t0\t90\t50\nA\t10\t0\t0\t0\t0\t0\t100\n")},
        RefusedHtr{"ScaleFactorZero", Replace(kParts.Text(), "ScaleFactor 1.0", "ScaleFactor 0")},
        RefusedHtr{"TwoRoots", Replace(kParts.Text(), "B\tA\n", "B\tGLOBAL\n")},
        RefusedHtr{"NoRoot", Replace(kParts.Text(), "A\tGLOBAL\n", "A\tC\n")},
        RefusedHtr{"ParentLoop", Replace(Replace(kParts.Text(), "NumSegments 3", "NumSegments 5"), "C\tB\n",
                                         "C\tB\nD\tE\nE\tD\n") },
        RefusedHtr{"OtherDataType", Replace(kParts.Text(), "DataType HTRS", "DataType GTRS")},
        RefusedHtr{"UnknownFrameSection", Replace(kParts.Text(), "[C]", "[Z]")},
        RefusedHtr{"FramesTwice", Replace(kParts.Text(), "[C]", "[B]")},
        RefusedHtr{"NoFrames", Replace(kParts.Text(), kParts.mFrames, "")},
        RefusedHtr{"Truncated", kParts.Text().substr(0, kParts.Text().find("[C]") + 8)},
        // Sections of different lengths, the short ones before or after a full one.
        RefusedHtr{"ShortSectionsBeforeAFullOne",
                   Replace(Replace(kParts.Text(), "NumFrames 2", "NumFrames 3"), "2\t0 0 0 0 0 0 1\n[EndOfFile]",
                           "2\t0 0 0 0 0 0 1\n3\t0 0 0 0 0 0 1\n[EndOfFile]")},
        RefusedHtr{"ShortSectionAfterAFullOne", Replace(kParts.Text(), "2\t0 0 0 10 0 0 1\n", "")},
        RefusedHtr{"NotANumber", Replace(kParts.Text(), "2\t10 0 0", "2\tnan 0 0")}),
    [](const testing::TestParamInfo<RefusedHtr>& info) { return std::string(info.param.mName); });

// Sections that all stop short of NumFrames, at the next section or at the
// end of the file: their rows are read and the reader says so; asked for no
// more frames than they hold, it reads those and says nothing.
TEST_F(HtrIO, SectionsShorterThanNumFramesAreReadWithAMessage) {
    const std::string text = Replace(kParts.Text(), "NumFrames 2", "NumFrames 3");
    for (const std::string& file : {text, Replace(text, "[EndOfFile]\n", "")}) {
        mManager.DestroyKZeqScene(mScene, true);
        mScene = mManager.CreateKZeqScene();
        zeqmotiontest::CallbackRecorder recorder;
        ASSERT_TRUE(Import(Write("short.htr", file), [&recorder](KStreamOptionsMotion& options) {
            recorder.Install(options);
        })) << mLastError;
        EXPECT_EQ(mFrames, 2);
        EXPECT_EQ(mMessage, "short.htr declares 3 frames but each frame section holds 2: 2 frames read.");
        ASSERT_EQ(recorder.mMessages.size(), 1u);
        EXPECT_EQ(recorder.mMessages[0].mCaption, "Warning");
        EXPECT_EQ(recorder.mMessages[0].mText, mMessage);
        KTime second;
        second.SetSecondDouble(1.0 / 30.0);
        // A's second row: 10 mm on top of its base of 10 mm.
        EXPECT_NEAR(Find("A")->GetLocalFromCurrentTake(second).GetT()[0], 2.0, 1e-6);
        EXPECT_EQ(mScene->GetTakeInfo("short")->mLocalTimeSpan.GetStop(), second);
    }
    mManager.DestroyKZeqScene(mScene, true);
    mScene = mManager.CreateKZeqScene();
    ASSERT_TRUE(Import(Write("short.htr", text), [](KStreamOptionsMotion& options) { options.SetFrameCount(1); }));
    EXPECT_EQ(mFrames, 1);
    EXPECT_EQ(mMessage, "");
}

TEST_F(HtrIO, UnitsScaleAndSectionsComeInAnyOrder) {
    Parts parts;
    parts.mHeader = Replace(Replace(Replace(parts.mHeader, "CalibrationUnits mm", "CalibrationUnits in"),
                                    "ScaleFactor 1.0", "ScaleFactor 2"),
                            "RotationUnits Degrees", "RotationUnits Radians");
    parts.mBase = Replace(parts.mBase, "B\t0\t100\t0\t0\t0\t90\t50", "B\t0\t1\t0\t0\t0\t3.14159265\t50");
    // C's section first, with a third row beyond NumFrames.
    parts.mFrames = "[C]\n1\t0 0 0 0 0 0 1\n2\t0 0 0 0 0 0 2.0\n3\t9 9 9 9 9 9 1\n" +
                    parts.mFrames.substr(0, parts.mFrames.find("[C]"));
    parts.mHeader = Replace(parts.mHeader, "NumFrames 2", "NumFrames 3");
    ASSERT_TRUE(Import(Write("units.htr", parts.Text()), [](KStreamOptionsMotion& options) {
        options.SetFrameCount(2);
    })) << mLastError;
    KZeqVector4 t, r;
    Find("B")->GetDefaultT(t);
    Find("B")->GetDefaultR(r);
    // 1 inch over scale factor 2.
    EXPECT_NEAR(t[1], 1.27, 1e-12);
    // The base rotation (pi radians about Z) is B's rest offset: the default
    // values, like the keys of its first (zero) row, hold none of it.
    KZeqTakeNode* bTake = Find("B")->GetCurrentTakeNode();
    EXPECT_NEAR(r[2], bTake->GetEulerRotationZ()->Evaluate(KTime()), 1e-4);
    EXPECT_NEAR(r[2], 0.0, 1e-4);
    // The end node one bone length along Y: 30 inches over 2.
    Find("C_End")->GetDefaultT(t);
    EXPECT_NEAR(t.Length(), 38.1, 1e-9);
    KZeqTakeNode* take = Find("C")->GetCurrentTakeNode();
    EXPECT_EQ(take->GetScaleX()->Evaluate(KTime()), 1.0f);
    EXPECT_EQ(mFrames, 2);
}

TEST_F(HtrIO, WithoutTheReferenceNodeTheRootHangsBelowTheScenesRoot) {
    KZeqNode* other = mManager.CreateKZeqNode("Other");
    mScene->GetRootNode()->AddChild(other);
    ASSERT_TRUE(Import(Write("small.htr", kParts.Text()), [](KStreamOptionsMotion& options) {
        options.SetOption(KStreamOptionsMotion::eImportCreateReferenceNode, KStreamOptionsMotion::eOff);
    }));
    EXPECT_FALSE(Find("HTR:reference"));
    EXPECT_EQ(Find("A")->GetParent(), mScene->GetRootNode());
    const std::string rootName = mScene->GetRootNode()->GetNameWithoutNameSpacePrefix().Buffer();
    EXPECT_TRUE(KZeqFileMotionAnalysisHtr::RetrieveRestPose(*mScene, rootName.c_str()));
    // The other import's node is not touched by the rest-offset removal.
    EXPECT_EQ(other->GetChildCount(), 0);
    EXPECT_EQ(other->GetTakeNodeCount(), 1);
}

TEST_F(HtrIO, RestOffsetsStayWhenTheConfigurationSaysNo) {
    const std::string dir = mDir / "config";
    std::filesystem::create_directories(dir);
    const std::string saved = KLib_GetConfigDirectory() ? KLib_GetConfigDirectory() : "";
    KLib_SetConfigDirectory(dir.c_str());
    {
        KConfigFile configuration("@Application.txt", false);
        ASSERT_TRUE(configuration.Set("MotionImportHTR", "MinimizeRotationOffset", "No"));
    }
    ASSERT_TRUE(Import(Write("small.htr", kParts.Text())));
    KLib_SetConfigDirectory(saved.c_str());
    // B's rotation is its base rotation (90 about Z) as read: nothing taken out.
    KZeqTakeNode* take = Find("B")->GetCurrentTakeNode();
    EXPECT_NEAR(take->GetEulerRotationZ()->Evaluate(KTime()), 90.0f, 1e-4);

    mManager.DestroyKZeqScene(mScene, true);
    mScene = mManager.CreateKZeqScene();
    ASSERT_TRUE(Import(Write("small.htr", kParts.Text())));
    EXPECT_NEAR(Find("B")->GetCurrentTakeNode()->GetEulerRotationZ()->Evaluate(KTime()), 0.0f, 1e-4);
}

TEST_F(HtrIO, WriterRateIsTruncatedAndEndSitesLeftOut) {
    ASSERT_TRUE(Import(Write("small.htr", kParts.Text())));
    Find("A")->SetSelected(true);
    for (const double rate : {30.0, 29.97}) {
        std::string error;
        ASSERT_TRUE(zeqmotiontest::ExportMotion(mManager, *mScene, KZeqExporter::eMOTION_ANALYSIS_HTR, Path("w.htr"),
                                                [rate](KStreamOptionsMotion& options) {
                                                    options.SetTimeMode(KTime::eModeDefault, rate);
                                                    options.SetFrameCount(2);
                                                },
                                                &error))
            << error;
        const std::string text = zeqmotiontest::ReadText(Path("w.htr"));
        EXPECT_NE(text.find(rate == 30.0 ? "DataFrameRate 30\n" : "DataFrameRate 29\n"), std::string::npos);
        EXPECT_NE(text.find("NumSegments 3\n"), std::string::npos);
        EXPECT_EQ(text.find("C_End"), std::string::npos);
        EXPECT_NE(text.find("A\tGLOBAL\n"), std::string::npos);
        EXPECT_NE(text.find("\n1\t"), std::string::npos);
        EXPECT_NE(text.find("\t1.0\n[EndOfFile]\n"), std::string::npos);
    }
}

TEST_F(HtrIO, WriterRefusesSpacesAndReportsOutputErrors) {
    KZeqNode* top = mManager.CreateKZeqNode("top");
    mScene->GetRootNode()->AddChild(top);
    top->SetSelected(true);
    KZeqNode* spaced = mManager.CreateKZeqNode("a b");
    top->AddChild(spaced);
    KZeqWriterMotionAnalysisHtr writer(mManager);
    ASSERT_TRUE(writer.FileCreate(Path("s.htr").c_str()));
    zeqmotiontest::CallbackRecorder recorder;
    KStreamOptions* options = writer.GetWriteOptions();
    recorder.Install(*options);
    EXPECT_FALSE(writer.Write(*mScene, options));
    EXPECT_EQ(writer.GetLastErrorID(), KZeqWriter::eUnidentifiedError);
    ASSERT_EQ(recorder.mMessages.size(), 1u);
    EXPECT_EQ(recorder.mMessages[0].mText, "Spaces are not allowed in HTR node names:\n    Model::a b");
    writer.FileClose();
    top->RemoveChild(spaced);
    {
        const std::string kept = Path("kept.htr");
        zeqmotiontest::WriteText(kept, "# kept\n");
        zeqtest::ScopedFileSizeLimit full(64);
        ASSERT_TRUE(writer.FileCreate(kept.c_str()));
        EXPECT_FALSE(writer.Write(*mScene, options));
        EXPECT_EQ(writer.GetLastErrorID(), KZeqWriter::eOutOfDiskSpace);
        writer.FileClose();
        EXPECT_EQ("# kept\n", zeqmotiontest::ReadText(kept));
    }
    options->Destroy();
}

}  // namespace
}  // namespace zeqsdk_400

#ifndef ZEQ_FORMATS_MOTION_TESTKIT_ZEQMOTIONTESTKIT_H
#define ZEQ_FORMATS_MOTION_TESTKIT_ZEQMOTIONTESTKIT_H

// The motion test kit: what the tests of every motion-capture format share.
// A test-only library (zeq_motion_testkit, on zeq_formats and GoogleTest).
//
//   Files        MotionTempDir, WriteText/ReadText, TestDataDir and
//                ZEQ_MOTION_REQUIRE_TESTDATA for the shared sample files.
//   Import/export  ImportMotion/ExportMotion: a file through the importer or
//                exporter row of a format, with the options adjusted first.
//   Fixtures     MakeAnimatedChain: a chain (optionally forked) of skeleton,
//                marker or null nodes with one take of keyed T and R curves,
//                values known in closed form (ChainValue).
//   Sampler      SampleMotion: names, hierarchy, default offsets and world
//                positions of a subtree at given times of the current take.
//   Comparer     CompareMotion: two samples alike within a tolerance, or the
//                first differences in readable form.
//   Callbacks    CallbackRecorder: installs on stream options and records every
//                progress and message call, answering a chosen button.
//   Reference    RefSkeleton/RefWorldPositions: world positions straight from
//                channel values, composed as plain matrices without any Euler
//                conversion, to check readers against the file's meaning;
//                ReferenceSnapshot turns them into a sample for CompareMotion.
//
// Every type and function lives in namespace zeqmotiontest. Positions are in
// scene units (centimetres), angles in degrees.

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/ktime.h"

namespace zeqsdk_400 {
class KStreamOptions;
class KStreamOptionsMotion;
class KZeqNode;
class KZeqScene;
class KZeqSdkManager;
}  // namespace zeqsdk_400

namespace zeqtest {
class TempDir;
}

namespace zeqmotiontest {

using Vec3 = std::array<double, 3>;
// Row-major 3x3 matrix acting on column vectors: v' = M v.
using Mat3 = std::array<std::array<double, 3>, 3>;

// ---- Files -------------------------------------------------------------------------------------

// A fresh directory under $ZEQ_TEST_TMP (else the system's temporary
// directory) for one test, removed with everything in it afterwards.
class MotionTempDir {
public:
    MotionTempDir();
    ~MotionTempDir();
    MotionTempDir(const MotionTempDir&) = delete;
    MotionTempDir& operator=(const MotionTempDir&) = delete;
    const std::string& Path() const { return mPath; }
    // The path of a file in the directory.
    std::string operator/(const std::string& name) const { return mPath + "/" + name; }

private:
    std::unique_ptr<zeqtest::TempDir> mDir;
    std::string mPath;
};

void WriteText(const std::string& path, const std::string& text);
std::string ReadText(const std::string& path);

// The directory of one format's shared sample files ("bvh", "trc", ...),
// empty when the sample files are not on this machine.
std::string TestDataDir(const char* format);
// The sample file names of that directory with the extension (any letter
// case), sorted.
std::vector<std::string> TestDataFiles(const char* format, const char* extension);

// In a test body: sets dir to the format's sample directory, or skips the
// test with a message when the samples are absent.
#define ZEQ_MOTION_REQUIRE_TESTDATA(dir, format)                                                          \
    const std::string dir = ::zeqmotiontest::TestDataDir(format);                                         \
    if (dir.empty()) GTEST_SKIP() << "sample files of " << (format) << " not found (ZEQ_TESTDATA_DIR)"

// ---- Import and export -------------------------------------------------------------------------

// Reads the file through the importer's row into scene: the reader's own read
// options, changed by adjust when given, then Import. False with the
// importer's error text (and message, when it has one) in error.
bool ImportMotion(zeqsdk_400::KZeqSdkManager& manager, zeqsdk_400::KZeqScene& scene, int importRow,
                  const std::string& path,
                  const std::function<void(zeqsdk_400::KStreamOptionsMotion&)>& adjust = nullptr,
                  std::string* error = nullptr);
// Writes scene through the exporter's row with the writer's own options
// changed by adjust. False with the exporter's error text and message.
bool ExportMotion(zeqsdk_400::KZeqSdkManager& manager, zeqsdk_400::KZeqScene& scene, int exportRow,
                  const std::string& path,
                  const std::function<void(zeqsdk_400::KStreamOptionsMotion&)>& adjust = nullptr,
                  std::string* error = nullptr);
// Sets frame count, start and rate of motion options from a scene's current
// take: its local time span sampled at the rate.
void SetRangeFromCurrentTake(zeqsdk_400::KZeqScene& scene, zeqsdk_400::KStreamOptionsMotion& options, double rate);

// ---- Fixtures ----------------------------------------------------------------------------------

enum class ChainAttribute { kLimbNode, kMarker, kNull, kNone };

struct ChainSpec {
    int mJoints = 4;                  // the chain: prefix0 (top) to prefix<n-1>
    int mBranchJoints = 0;            // a second chain hanging from prefix1: prefixB0...
    int mFrames = 12;
    double mRate = 30.0;              // frames per second; the take starts at 0
    std::string mTake = "Take 001";
    std::string mPrefix = "Joint";
    ChainAttribute mAttribute = ChainAttribute::kLimbNode;
    double mBoneLength = 10.0;
    double mAmplitude = 40.0;         // of the rotation curves, degrees
    bool mAnimateTranslation = false; // below the top node too (the top always is)
    bool mAnimateRotation = true;
    bool mSelectTop = true;           // what writers' FindRootNode looks for
    // Each leaf gets an unanimated child "<leaf name>_End" half a bone along
    // Y, as BVH end sites read.
    bool mEndSites = false;
};

struct Chain {
    std::vector<zeqsdk_400::KZeqNode*> mNodes;  // chain first, then the branch
    std::vector<zeqsdk_400::KZeqNode*> mEndSites;
    zeqsdk_400::KTime mStart;
    zeqsdk_400::KTime mPeriod;
    int mFrames = 0;
    zeqsdk_400::KZeqNode* Top() const { return mNodes.empty() ? nullptr : mNodes.front(); }
    std::vector<zeqsdk_400::KTime> Times() const;
};

// The value keyed for node index n (in Chain::mNodes order), channel c (0 to
// 2 translation X, Y, Z; 3 to 5 rotation X, Y, Z) at frame f. Unanimated
// channels hold the node's offset (translation) or 0 (rotation).
double ChainValue(const ChainSpec& spec, int n, int c, int f);
// The default translation of node n: the top at (1, 2, 3), the others one
// bone along Y with a slant that differs per node.
Vec3 ChainOffset(const ChainSpec& spec, int n);
// The chain as a reference skeleton (channels Tx Ty Tz Rz Ry Rx per node,
// the Euler XYZ rotation of the nodes; end sites last, without channels), and
// its row of frame f.
struct RefSkeleton;
RefSkeleton ChainReference(const ChainSpec& spec);
std::vector<double> ChainRow(const ChainSpec& spec, int f);
// Builds the chain under the scene's root node: default translations, keys on
// every frame of the take (cubic, automatic tangents), the take current in the
// scene with its time span.
Chain MakeAnimatedChain(zeqsdk_400::KZeqSdkManager& manager, zeqsdk_400::KZeqScene& scene, const ChainSpec& spec);

// ---- Sampler and comparer ----------------------------------------------------------------------

struct MotionSnapshot {
    std::vector<std::string> mNames;             // without namespace prefix, depth first, children in order
    std::vector<int> mParents;                   // index of the parent in mNames; -1 for the top
    std::vector<Vec3> mOffsets;                  // default-take local translations
    std::vector<std::vector<Vec3>> mPositions;   // [sample][node]: world positions in the current take
};

// The subtree of top (top included) at the given times of each node's
// current take.
MotionSnapshot SampleMotion(zeqsdk_400::KZeqNode* top, const std::vector<zeqsdk_400::KTime>& times);
// count frames from start, one period apart.
std::vector<zeqsdk_400::KTime> FrameTimes(zeqsdk_400::KTime start, zeqsdk_400::KTime period, int count);
// The frame indices first, middle and last of count frames (fewer when they coincide).
std::vector<int> FirstMiddleLast(int count);

struct CompareParts {
    bool mNames = true;
    bool mHierarchy = true;
    bool mOffsets = true;
    bool mPositions = true;
};
// Success when both samples have the same nodes (names and parents) and the
// offsets and positions agree within tolerance on each coordinate; otherwise
// the first differences (at most a few of each kind), naming node and sample.
testing::AssertionResult CompareMotion(const MotionSnapshot& expected, const MotionSnapshot& actual,
                                       double tolerance, CompareParts parts = CompareParts());
// Success when the unroll filter, run on the rotation curves of every node
// below top (top included) that has keys in its current take, changes no key
// (count and every value); at least one node must have such curves.
testing::AssertionResult UnrollChangesNoKey(zeqsdk_400::KZeqNode* top);

// ---- Callback recorder -------------------------------------------------------------------------

// Records the progress and message calls made through stream options while it
// lives. Callbacks are plain functions, so one recorder is active at a time.
class CallbackRecorder {
public:
    struct Progress {
        std::string mStatus;   // "(null)" for a null text
        std::string mMessage;
        float mPercent;
    };
    struct Message {
        int mWhich;            // which of the three message callbacks
        std::string mCaption;
        std::string mText;
        std::string mButton1;
    };

    CallbackRecorder();
    ~CallbackRecorder();
    CallbackRecorder(const CallbackRecorder&) = delete;
    CallbackRecorder& operator=(const CallbackRecorder&) = delete;

    // Points the progress callback and all three message callbacks of options here.
    void Install(zeqsdk_400::KStreamOptions& options);
    // The button every message callback answers (1: the first).
    void SetAnswer(int button) { mAnswer = button; }

    std::vector<Progress> mProgress;
    std::vector<Message> mMessages;

    // The progress calls whose message is text.
    int CountProgress(const std::string& text) const;

private:
    static void OnProgress(const char* status, const char* message, float percent);
    template <int Which>
    static int OnMessage(const char* caption, const char* message, const char* b1, const char* b2, const char* b3,
                         int defaultButton);
    static CallbackRecorder* sActive;
    int mAnswer = 1;
};

// ---- Reference evaluator -----------------------------------------------------------------------

enum class RefChannel { kTx, kTy, kTz, kRx, kRy, kRz };
// Which listed rotation channel turns a vector first.
enum class RefRotationOrder {
    kLastListedFirst,   // BVH: "Zrotation Xrotation Yrotation" turns about Y, X, then Z
    kFirstListedFirst,  // joint-angle formats: "rx ry rz" turns about X, Y, then Z
};
// What a joint's position channel does to its offset.
enum class RefPosition { kReplacesOffset, kAddsToOffset };

struct RefJoint {
    std::string mName;
    int mParent = -1;  // index of an earlier joint; -1 for a top joint
    Vec3 mOffset{0.0, 0.0, 0.0};
    std::vector<RefChannel> mChannels;
    // Fixed rotations around the channels' rotation R: the joint's local
    // rotation is mPre * R * mPost (column vectors, mPost acting first).
    Mat3 mPre{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    Mat3 mPost{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
};

struct RefSkeleton {
    std::vector<RefJoint> mJoints;
    RefRotationOrder mRotationOrder = RefRotationOrder::kLastListedFirst;
    RefPosition mPosition = RefPosition::kReplacesOffset;
    // Values in one row: every joint's channels, in joint order.
    int ChannelCount() const;
};

// The rotation of angle degrees about axis 0 (X), 1 (Y) or 2 (Z).
Mat3 RefAxisRotation(int axis, double degrees);
// Turns from 89.9 to 90.1 degrees either way (-89.95 among them): within 0.08 degrees of a quarter
// turn about Y an X-first Euler extraction that snaps there takes them for the quarter turn.
const std::vector<double>& NearQuarterTurns();
Mat3 RefMultiply(const Mat3& a, const Mat3& b);
// The world position of every joint for one row of values: each joint maps a
// point p of its own space to its parent's as T + L p, L its local rotation
// and T its offset after the position channels.
std::vector<Vec3> RefWorldPositions(const RefSkeleton& skeleton, const std::vector<double>& row);
// The joints' names, parents and offsets with the world positions of each
// given row, in SampleMotion's order (depth first from the first joint,
// children in index order), comparable with its sample of the same skeleton.
MotionSnapshot ReferenceSnapshot(const RefSkeleton& skeleton, const std::vector<std::vector<double>>& rows);

}  // namespace zeqmotiontest

#endif

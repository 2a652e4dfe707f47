#include "formats/motion/bvh/kzeqreaderbiovision.h"

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/kgemath.h"
#include "bvhtestfiles.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvesettings.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"
#include "scene/kzeqtakenode.h"

namespace bvhtest {
namespace {

using namespace zeqsdk_400;

class BvhRead : public testing::Test {
protected:
    // The file written under name and read through the importer's BVH row.
    bool Read(const std::string& name, const std::string& text,
              const std::function<void(KStreamOptionsMotion&)>& adjust = nullptr) {
        WriteText(mDir / name, text);
        mError.clear();
        return ImportMotion(*mManager, *mScene, KZeqImporter::eBIOVISION_BVH, mDir / name,
                            [&](KStreamOptionsMotion& options) {
                                mRecorder.Install(options);
                                if (adjust) adjust(options);
                            },
                            &mError);
    }
    KZeqNode* Find(const char* name) { return mScene->GetRootNode()->FindChild(name, true); }
    KFCurve* Curve(const char* node, int channel) {
        KZeqTakeNode* take = Find(node)->GetCurrentTakeNode();
        KFCurve* curves[6] = {take->GetTranslationX(),   take->GetTranslationY(),   take->GetTranslationZ(),
                              take->GetEulerRotationX(), take->GetEulerRotationY(), take->GetEulerRotationZ()};
        return curves[channel];
    }

    MotionTempDir mDir;
    std::unique_ptr<KZeqSdkManager> mManager{KZeqSdkManager::CreateKZeqSdkManager()};
    KZeqScene* mScene = mManager->CreateKZeqScene();
    CallbackRecorder mRecorder;
    std::string mError;
};

// ---- The shared sample files -------------------------------------------------------------------

struct RealFile {
    const char* mName;
    int mJoints;
    int mEndSites;
    int mFrames;
    double mRate;
};

const RealFile kRealFiles[] = {
    {"cmu_12_01_walk", 31, 7, 524, 120}, {"131_01", 31, 7, 994, 120},   {"test_mocapbank", 19, 5, 455, 30},
    {"test_freebvh", 55, 15, 69, 30},    {"bvh_test2", 23, 5, 61, 120},
};

class BvhRealFile : public BvhRead, public testing::WithParamInterface<RealFile> {};

// Counts, rate and take as listed; joint world positions at the first,
// middle and last frame where the file's own matrices put them.
TEST_P(BvhRealFile, ReadsAsTheFileMeansIt) {
    ZEQ_MOTION_REQUIRE_TESTDATA(dir, "bvh");
    const RealFile& file = GetParam();
    const std::string path = dir + "/" + file.mName + ".bvh";
    double rate = 0.0;
    int frames = 0;
    ASSERT_TRUE(ImportMotion(*mManager, *mScene, KZeqImporter::eBIOVISION_BVH, path,
                             [&](KStreamOptionsMotion& options) {
                                 rate = options.GetFrameRate();
                                 frames = options.GetFrameCount();
                             },
                             &mError))
        << mError;
    EXPECT_EQ(frames, file.mFrames);
    EXPECT_DOUBLE_EQ(rate, file.mRate);
    KZeqNode* reference = Find("BVH:reference");
    ASSERT_TRUE(reference);
    ASSERT_EQ(reference->GetChildCount(), 1);
    KZeqNode* root = reference->GetChild(0);

    EXPECT_STREQ(mScene->GetCurrentTakeName(), file.mName);
    const KZeqTakeInfo* take = mScene->GetTakeInfo(KString(file.mName));
    ASSERT_TRUE(take);
    KTime period;
    period.SetSecondDouble(1.0 / rate);
    const KTime stop = period * (file.mFrames - 1);
    EXPECT_EQ(take->mLocalTimeSpan.GetStart().Get(), 0);
    EXPECT_NEAR(take->mLocalTimeSpan.GetStop().GetSecondDouble(), stop.GetSecondDouble(), 1e-9);
    EXPECT_EQ(take->mReferenceTimeSpan.GetStop(), take->mLocalTimeSpan.GetStop());

    const BvhText text = ParseBvh(ReadText(path));
    ASSERT_EQ(text.mRows.size(), static_cast<std::size_t>(file.mFrames));
    std::vector<std::vector<double>> rows;
    std::vector<KTime> times;
    for (int f : FirstMiddleLast(file.mFrames)) {
        rows.push_back(text.mRows[static_cast<std::size_t>(f)]);
        times.push_back(period * f);
    }
    const MotionSnapshot read = SampleMotion(root, times);
    // End sites: leaves named after their parent (a joint may end in "_End" too).
    int sites = 0;
    for (std::size_t i = 0; i < read.mNames.size(); ++i) {
        const int parent = read.mParents[i];
        sites += parent >= 0 && read.mNames[i] == read.mNames[static_cast<std::size_t>(parent)] + "_End";
    }
    EXPECT_EQ(static_cast<int>(read.mNames.size()), file.mJoints + file.mEndSites);
    EXPECT_EQ(sites, file.mEndSites);
    CompareParts parts;
    parts.mOffsets = false;  // the root's default stays at the origin
    EXPECT_TRUE(CompareMotion(ReferenceSnapshot(text.mSkeleton, rows), read, 1e-3, parts));
}

// The reader keys rotations continuous as the unroll filter makes them, so
// it leaves that filter out: run on what was read (before the constant key
// reducer, which comes after it), it changes no key.
TEST_P(BvhRealFile, RotationKeysNeedNoUnrolling) {
    ZEQ_MOTION_REQUIRE_TESTDATA(dir, "bvh");
    const bool reducer = KFCURVE_GetUseConstantKeyReducer();
    KFCURVE_SetUseConstantKeyReducer(false);
    const bool read = ImportMotion(*mManager, *mScene, KZeqImporter::eBIOVISION_BVH,
                                   dir + "/" + GetParam().mName + ".bvh", nullptr, &mError);
    KFCURVE_SetUseConstantKeyReducer(reducer);
    ASSERT_TRUE(read) << mError;
    EXPECT_TRUE(UnrollChangesNoKey(Find("BVH:reference")));
}

INSTANTIATE_TEST_SUITE_P(Samples, BvhRealFile, testing::ValuesIn(kRealFiles),
                         [](const testing::TestParamInfo<RealFile>& info) { return std::string(info.param.mName); });

// ---- Rotation orders and channels --------------------------------------------------------------

class BvhRotationOrder : public BvhRead, public testing::WithParamInterface<const char*> {};

// Every listing of the rotation channels is read as the file means it.
TEST_P(BvhRotationOrder, WorldPositionsFollowTheListing) {
    // Only six-channel joints key positions: the root keeps three rotations.
    const std::string order = GetParam();
    const RefSkeleton skeleton = SmallSkeleton(order, order.size() == 3 ? order : "ZXY");
    const auto rows = SomeRows(skeleton, 9);
    ASSERT_TRUE(Read("order.bvh", MakeBvh(skeleton, rows)));
    KTime period;
    period.SetSecondDouble(1.0 / 30.0);
    CompareParts parts;
    parts.mOffsets = false;
    EXPECT_TRUE(CompareMotion(ReferenceSnapshot(skeleton, rows), SampleMotion(Find("Hips"), FrameTimes(KTime(), period, 9)),
                              1e-3, parts));
}

INSTANTIATE_TEST_SUITE_P(Listings, BvhRotationOrder, testing::Values("XYZ", "XZY", "YXZ", "YZX", "ZXY", "ZYX", "XY", "Z"),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

// One pose written as "Xrotation Yrotation Zrotation" and as "Zrotation
// Xrotation Yrotation" (angles of each listing worked out from one matrix)
// reads into the same orientation.
TEST_F(BvhRead, XyzAndZxyListingsOfOnePoseAgree) {
    // R = Rx(a) Ry(b) Rz(c) in column vectors; its angles for Rz Rx Ry.
    const double a = 30, b = -50, c = 110;
    const Mat3 r = RefMultiply(RefMultiply(RefAxisRotation(0, a), RefAxisRotation(1, b)), RefAxisRotation(2, c));
    const double x = std::asin(r[2][1]) * 180 / M_PI;
    const double z = std::atan2(-r[0][1], r[1][1]) * 180 / M_PI;
    const double y = std::atan2(-r[2][0], r[2][2]) * 180 / M_PI;
    auto file = [](const char* channels, double v0, double v1, double v2) {
        return std::string("HIERARCHY\nROOT R\n{\nOFFSET 0 0 0\nCHANNELS 3 ") + channels +
               "\nEnd Site\n{\nOFFSET 1 2 3\n}\n}\nMOTION\nFrames: 1\nFrame Time: 0.1\n" + std::to_string(v0) + " " +
               std::to_string(v1) + " " + std::to_string(v2) + "\n";
    };
    ASSERT_TRUE(Read("xyz.bvh", file("Xrotation Yrotation Zrotation", a, b, c)));
    const KZeqVector4 first = Find("R_End")->GetGlobalFromCurrentTake(KTime()).GetT();
    mScene->Clear();
    ASSERT_TRUE(Read("zxy.bvh", file("Zrotation Xrotation Yrotation", z, x, y)));
    const KZeqVector4 second = Find("R_End")->GetGlobalFromCurrentTake(KTime()).GetT();
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(first[i], second[i], 1e-4) << i;
    EXPECT_GT(std::fabs(first[0] - 1.0) + std::fabs(first[1] - 2.0), 0.5);  // the pose does turn
}

// Position channels key their values, not the offset plus them; joints
// without six channels key no translation at all.
TEST_F(BvhRead, OnlySixChannelJointsKeyTheirPositions) {
    RefSkeleton skeleton = SmallSkeleton("ZXY");
    skeleton.mJoints[1].mChannels.insert(skeleton.mJoints[1].mChannels.begin(),
                                          {RefChannel::kTx, RefChannel::kTy, RefChannel::kTz});
    const auto rows = SomeRows(skeleton, 4);
    ASSERT_TRUE(Read("six.bvh", MakeBvh(skeleton, rows)));
    for (int f = 0; f < 4; ++f)
        for (int c = 0; c < 3; ++c)
            EXPECT_FLOAT_EQ(Curve("Spine", c)->KeyGet(f).GetValue(), static_cast<float>(rows[f][6 + c])) << f << c;
    for (int c = 0; c < 3; ++c) EXPECT_EQ(Curve("Head", c)->KeyGetCount(), 0);
    CompareParts parts;
    parts.mOffsets = false;
    KTime period;
    period.SetSecondDouble(1.0 / 30.0);
    EXPECT_TRUE(CompareMotion(ReferenceSnapshot(skeleton, rows), SampleMotion(Find("Hips"), FrameTimes(KTime(), period, 4)),
                              1e-3, parts));
}

// Values of any size read without undefined conversions; the curves hold
// infinities where a float cannot hold the value.
TEST_F(BvhRead, HugeAndInfiniteValuesRead) {
    ASSERT_TRUE(Read("huge.bvh",
                     "HIERARCHY\nROOT R\n{\nOFFSET 0 0 0\nCHANNELS 6 Xposition Yposition Zposition Xrotation "
                     "Yrotation Zrotation\n}\nMOTION\nFrames: 3\nFrame Time: 0.1\n1e300 -1e300 0 1e300 0 0\n"
                     "1 2 3 4 5 nan\ninf -inf 0x10 +5 1e-400 0\n"));
    EXPECT_TRUE(std::isinf(Curve("R", 0)->KeyGet(0).GetValue()));
    EXPECT_EQ(Curve("R", 2)->KeyGet(2).GetValue(), 16.0f);
}

// ---- Scene, take and options -------------------------------------------------------------------

TEST_F(BvhRead, ReferenceNodeIsKeptOrDissolved) {
    const std::string text = MakeBvh(SmallSkeleton(), SomeRows(SmallSkeleton(), 3));
    ASSERT_TRUE(Read("walk.bvh", text));
    ASSERT_TRUE(Read("walk.bvh", text));
    KZeqNode* root = mScene->GetRootNode();
    ASSERT_EQ(root->GetChildCount(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_STREQ(root->GetChild(i)->GetName(), "Model::BVH:reference");
        EXPECT_STREQ(root->GetChild(i)->GetChild(0)->GetName(), "Model::Hips");
    }
    mScene->Clear();
    const int nodes = mManager->GetKZeqNodeCount();
    ASSERT_TRUE(Read("walk.bvh", text, [](KStreamOptionsMotion& options) {
        options.SetOption(KStreamOptionsMotion::eImportCreateReferenceNode, KStreamOptionsMotion::eOff);
    }));
    ASSERT_EQ(root->GetChildCount(), 1);
    EXPECT_STREQ(root->GetChild(0)->GetName(), "Model::Hips");
    EXPECT_EQ(mManager->GetKZeqNodeCount(), nodes + 6);  // the reference node is gone
    EXPECT_STREQ(mScene->GetCurrentTakeName(), "walk");
}

TEST_F(BvhRead, SingleAndNegativeFrameCounts) {
    const RefSkeleton skeleton = SmallSkeleton();
    ASSERT_TRUE(Read("one.bvh", MakeBvh(skeleton, SomeRows(skeleton, 1))));
    const KZeqTakeInfo* one = mScene->GetTakeInfo(KString("one"));
    ASSERT_TRUE(one);
    EXPECT_EQ(one->mLocalTimeSpan.GetStart(), one->mLocalTimeSpan.GetStop());
    mScene->Clear();
    std::string text = MakeBvh(skeleton, {});
    text.replace(text.find("Frames: 0"), 9, "Frames: -3");
    ASSERT_TRUE(Read("none.bvh", text + "junk that is never read\n"));
    const KZeqTakeInfo* none = mScene->GetTakeInfo(KString("none"));
    ASSERT_TRUE(none);
    EXPECT_EQ(none->mLocalTimeSpan.GetStart(), none->mLocalTimeSpan.GetStop());
    EXPECT_EQ(Curve("Spine", 3)->KeyGetCount(), 0);
}

// Keys at the options' start, one period apart, the first frame reported at
// "Reading BVH nodes" 0 and every row by its percentage.
TEST_F(BvhRead, KeysFollowTheOptionsStartAndProgressIsReported) {
    const RefSkeleton skeleton = SmallSkeleton();
    KTime start;
    start.SetSecondDouble(2.0);
    ASSERT_TRUE(Read("late.bvh", MakeBvh(skeleton, SomeRows(skeleton, 4), 0.25),
                     [&](KStreamOptionsMotion& options) { options.SetStart(start); }));
    KFCurve* curve = Curve("Hips", 0);
    ASSERT_EQ(curve->KeyGetCount(), 4);
    EXPECT_DOUBLE_EQ(curve->KeyGet(3).GetTime().GetSecondDouble(), 2.75);
    EXPECT_DOUBLE_EQ(mScene->GetTakeInfo(KString("late"))->mLocalTimeSpan.GetStop().GetSecondDouble(), 2.75);
    ASSERT_EQ(mRecorder.mProgress.size(), 5u);
    EXPECT_EQ(mRecorder.mProgress[0].mMessage, "Reading BVH nodes");
    EXPECT_EQ(mRecorder.mProgress[0].mPercent, 0.0f);
    EXPECT_EQ(mRecorder.mProgress[3].mMessage, "(null)");
    EXPECT_EQ(mRecorder.mProgress[3].mPercent, 50.0f);
}

// Bones point their X axis at their only child: the pre-rotation turns X
// onto the child's offset (straight down -X too), the axis length is the
// bone's; translation limits hold the offset; end sites have no length.
TEST_F(BvhRead, LimitsDescribeTheBones) {
    ASSERT_TRUE(Read("bones.bvh",
                     "HIERARCHY\nROOT Hips\n{\nOFFSET 0 0 0\nCHANNELS 3 Zrotation Xrotation Yrotation\nJOINT Arm\n{\n"
                     "OFFSET 1 2 3\nCHANNELS 3 Zrotation Xrotation Yrotation\nJOINT Hand\n{\nOFFSET 0 3 4\nCHANNELS 3 "
                     "Zrotation Xrotation Yrotation\nEnd Site\n{\nOFFSET -2 0 0\n}\n}\n}\n}\nMOTION\nFrames: 1\n"
                     "Frame Time: 0.1\n0 0 0 0 0 0 0 0 0\n"));
    struct Bone {
        const char* mName;
        KZeqVector4 mDirection;
        double mLength;
    };
    for (const Bone& bone : {Bone{"Arm", KZeqVector4(0, 0.6, 0.8, 0), 5.0}, Bone{"Hand", KZeqVector4(-1, 0, 0, 0), 2.0}}) {
        KZeqNodeLimits& limits = Find(bone.mName)->GetLimits();
        EXPECT_FALSE(limits.GetAuto(KZeqNodeLimits::eR)) << bone.mName;
        EXPECT_DOUBLE_EQ(limits.GetAxisLength(), bone.mLength) << bone.mName;
        const KZeqVector4 pre = limits.GetDefault(KZeqNodeLimits::eR);
        KZeqMatrix m;
        KmXYZtoR(m, pre[0], pre[1], pre[2]);
        // Row vectors: the image of X is the first row.
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(m.mData[0][i], bone.mDirection[i], 1e-9) << bone.mName << i;
    }
    KZeqNodeLimits& arm = Find("Arm")->GetLimits();
    EXPECT_FALSE(arm.GetAuto(KZeqNodeLimits::eT));
    EXPECT_EQ(arm.GetMin(KZeqNodeLimits::eT), KZeqVector4(1, 2, 3, 0));
    EXPECT_EQ(arm.GetMax(KZeqNodeLimits::eR), KZeqVector4(180, 150, 150, 0));
    EXPECT_EQ(Find("Hand_End")->GetLimits().GetAxisLength(), 0.0);
    EXPECT_TRUE(Find("Hips")->GetLimits().GetAuto(KZeqNodeLimits::eR));
}

// A chain whose joint B turns within a tenth of a degree of a quarter turn about each axis, either
// way: by its rotation channel at the second frame, or as the bone to C, its only child, points
// (one of the other axes turned that far). Every joint lies where the file puts it at both frames,
// and B's bone axis (limits and pivots) turns X onto the bone: the turn is not taken for the
// quarter turn, which would move them by a thousandth of their distance.
TEST_F(BvhRead, NearAQuarterTurnAboutEachAxisIsKept) {
    KTime period;
    period.SetSecondDouble(1.0 / 30.0);
    const std::vector<KTime> times = FrameTimes(KTime(), period, 2);
    const std::vector<RefChannel> turns = {RefChannel::kRz, RefChannel::kRx, RefChannel::kRy};
    for (int axis = 0; axis < 3; ++axis)
        for (int bone = 0; bone < 3; ++bone)  // 0: turned by a frame; 1, 2: the axis that many after it turned
            for (double angle : NearQuarterTurns()) {
                const std::string trace = std::string(bone == 0 ? "frame" : "bone") + " turned " +
                                          std::to_string(angle) + " about " + "XYZ"[axis];
                Vec3 along = {0.3, 1.0, 0.2};
                if (bone > 0) {
                    Vec3 from = {0.0, 0.0, 0.0};
                    from[static_cast<std::size_t>((axis + bone) % 3)] = 1.0;
                    const Mat3 r = RefAxisRotation(axis, angle);
                    for (int i = 0; i < 3; ++i) along[i] = r[i][0] * from[0] + r[i][1] * from[1] + r[i][2] * from[2];
                }
                RefSkeleton skeleton;
                auto joint = [&skeleton](const char* name, int parent, Vec3 offset, std::vector<RefChannel> channels) {
                    RefJoint j;
                    j.mName = name;
                    j.mParent = parent;
                    j.mOffset = offset;
                    j.mChannels = std::move(channels);
                    skeleton.mJoints.push_back(j);
                };
                joint("A", -1, {0, 0, 0}, {RefChannel::kTx, RefChannel::kTy, RefChannel::kTz, RefChannel::kRz,
                                           RefChannel::kRx, RefChannel::kRy});
                joint("B", 0, {3, 10, 1}, turns);
                joint("C", 1, {12 * along[0], 12 * along[1], 12 * along[2]}, turns);
                joint("C_End", 2, {0, 5, 2}, {});
                std::vector<std::vector<double>> rows = {{1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                                                         {1.5, 2, 3, 10, 0, 0, 0, 0, 0, 0, 0, 0}};
                if (bone == 0) rows[1][6 + (axis + 1) % 3] = angle;  // B's rotations: Z, X, Y
                mManager->DestroyKZeqScene(mScene, true);
                mScene = mManager->CreateKZeqScene();
                ASSERT_TRUE(Read("turned.bvh", MakeBvh(skeleton, rows))) << trace << ": " << mError;
                CompareParts parts;
                parts.mOffsets = false;
                EXPECT_TRUE(CompareMotion(ReferenceSnapshot(skeleton, rows), SampleMotion(Find("A"), times), 1e-4,
                                          parts))
                    << trace;
                const double length = std::sqrt(along[0] * along[0] + along[1] * along[1] + along[2] * along[2]);
                KZeqNodeLimits& limits = Find("B")->GetLimits();
                for (const KZeqVector4& r : {limits.GetRotationAxis(), limits.GetDefault(KZeqNodeLimits::eR)}) {
                    KZeqMatrix m;
                    KmXYZtoR(m, r[0], r[1], r[2]);
                    // Row vectors: the image of X is the first row.
                    for (int i = 0; i < 3; ++i) EXPECT_NEAR(m.mData[0][i], along[i] / length, 1e-9) << trace;
                }
            }
}

TEST_F(BvhRead, ReadOptionsComeFromTheMotionHeader) {
    WriteText(mDir / "h.bvh", MakeBvh(SmallSkeleton(), SomeRows(SmallSkeleton(), 5), 1.0 / 60.0));
    KZeqReaderBiovision reader(*mManager);
    EXPECT_FALSE(reader.GetReadOptions());
    EXPECT_EQ(reader.GetLastErrorID(), KZeqReader::eFileNotOpened);
    EXPECT_FALSE(reader.Read(*mScene, nullptr));
    EXPECT_EQ(reader.GetLastErrorID(), KZeqReader::eFileNotOpened);
    EXPECT_FALSE(reader.FileOpen((mDir / "missing.bvh").c_str()));
    EXPECT_EQ(reader.GetLastErrorID(), KZeqReader::eFileNotOpened);
    ASSERT_TRUE(reader.FileOpen((mDir / "h.bvh").c_str()));
    KStreamOptions* options = reader.GetReadOptions();
    ASSERT_TRUE(options && options->Is(KStreamOptionsMotion::ClassId));
    KStreamOptionsMotion* motion = static_cast<KStreamOptionsMotion*>(options);
    EXPECT_EQ(motion->GetFrameCount(), 5);
    EXPECT_DOUBLE_EQ(motion->GetFrameRate(), 60.0);
    EXPECT_EQ(motion->GetOption(KStreamOptionsMotion::eImportCreateReferenceNode), KStreamOptionsMotion::eOn);
    KStreamOptionsZeq zeq;
    EXPECT_FALSE(reader.Read(*mScene, &zeq));
    EXPECT_EQ(reader.GetLastErrorID(), KZeqReader::eStreamOptionsNotSet);
    EXPECT_TRUE(reader.Read(*mScene, options));  // a read follows the options on the same open file
    options->Destroy();
    EXPECT_TRUE(reader.FileClose());
    EXPECT_FALSE(reader.FileClose());
}

// ---- Bad input ---------------------------------------------------------------------------------

// A read that fails leaves no node, take or current take of its own.
class BvhFailedRead : public BvhRead {
protected:
    void SetUp() override {
        ASSERT_TRUE(Read("before.bvh", MakeBvh(SmallSkeleton(), SomeRows(SmallSkeleton(), 2))));
        mNodes = mManager->GetKZeqNodeCount();
    }
    void ExpectUnchanged(const std::string& what) {
        EXPECT_EQ(mManager->GetKZeqNodeCount(), mNodes) << what;
        EXPECT_EQ(mScene->GetRootNode()->GetChildCount(), 1) << what;
        EXPECT_STREQ(mScene->GetCurrentTakeName(), "before") << what;
    }
    int mNodes = 0;
};

TEST_F(BvhFailedRead, DuplicateNamesAreRefusedWithTheirList) {
    RefSkeleton skeleton = SmallSkeleton();
    skeleton.mJoints[4].mName = "Spine";
    EXPECT_FALSE(Read("dup.bvh", MakeBvh(skeleton, SomeRows(skeleton, 2))));
    EXPECT_EQ(mError, "File is corrupted (Duplicate names found in dup.bvh:\n    Model::Spine)");
    ASSERT_EQ(mRecorder.mMessages.size(), 1u);
    EXPECT_EQ(mRecorder.mMessages[0].mWhich, 1);
    EXPECT_EQ(mRecorder.mMessages[0].mCaption, "Error");
    EXPECT_EQ(mRecorder.mMessages[0].mText, "Duplicate names found in dup.bvh:\n    Model::Spine");
    EXPECT_EQ(mRecorder.mMessages[0].mButton1, "Ok");
    ExpectUnchanged("duplicates");
}

struct BrokenFile {
    const char* mName;
    std::string (*mEdit)(std::string);
};

std::string ShortRow(std::string text) { return text.substr(0, text.rfind(' ')) + "\n"; }
std::string LongRow(std::string text) { return text.substr(0, text.size() - 1) + " 7 8 9\n"; }
std::string SevenChannels(std::string text) {
    const std::size_t at = text.find("CHANNELS 3 ");
    return text.replace(at, 11, "CHANNELS 7 Xposition Yposition Zposition Xposition ");
}
std::string MoreFramesThanRows(std::string text) {
    return text.replace(text.find("Frames: 2"), 9, "Frames: 2000000000");
}
std::string FramesCloserThanATick(std::string text) {
    const std::size_t at = text.find("Frame Time: ");
    return text.replace(at, text.find('\n', at) - at, "Frame Time: 1e-12");
}

class BvhBrokenFile : public BvhFailedRead, public testing::WithParamInterface<BrokenFile> {};

TEST_P(BvhBrokenFile, FailsAsCorrupted) {
    const std::string text = MakeBvh(SmallSkeleton(), SomeRows(SmallSkeleton(), 2));
    const bool read = Read("broken.bvh", GetParam().mEdit(text));
    if (std::string(GetParam().mName) == "LongRowIsFine") {
        EXPECT_TRUE(read);
        return;
    }
    EXPECT_FALSE(read);
    EXPECT_EQ(mError, "File is corrupted");
    ExpectUnchanged(GetParam().mName);
}

INSTANTIATE_TEST_SUITE_P(Edits, BvhBrokenFile,
                         testing::Values(BrokenFile{"ShortRow", ShortRow}, BrokenFile{"LongRowIsFine", LongRow},
                                         BrokenFile{"SevenChannels", SevenChannels},
                                         BrokenFile{"MoreFramesThanRows", MoreFramesThanRows},
                                         BrokenFile{"FramesCloserThanATick", FramesCloserThanATick}),
                         [](const testing::TestParamInfo<BrokenFile>& info) { return std::string(info.param.mName); });

// Cut anywhere, a file reads whole (the cut fell inside the last number) or
// fails and leaves the scene as it was.
TEST_F(BvhFailedRead, TruncatedFilesLeaveTheSceneAsItWas) {
    const std::string text = MakeBvh(SmallSkeleton(), SomeRows(SmallSkeleton(), 2));
    const std::size_t lastRow = text.rfind('\n', text.size() - 2) + 1;
    for (std::size_t cut = 0; cut < text.size(); cut += 3) {
        if (Read("cut.bvh", text.substr(0, cut))) {
            EXPECT_GT(cut, lastRow) << cut;
            return;
        }
        ExpectUnchanged("cut at " + std::to_string(cut));
    }
}

TEST_F(BvhRead, MissingFileIsNotOpened) {
    EXPECT_FALSE(ImportMotion(*mManager, *mScene, KZeqImporter::eBIOVISION_BVH, mDir / "none.bvh", nullptr, &mError));
    EXPECT_EQ(mError, "File not opened: " + (mDir / "none.bvh") + " (No such file or directory)");
}

}  // namespace
}  // namespace bvhtest

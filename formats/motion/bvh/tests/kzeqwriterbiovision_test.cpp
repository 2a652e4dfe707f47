#include "formats/motion/bvh/kzeqwriterbiovision.h"

#include <cerrno>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "fileio/tests/kfilesizelimit.h"

#include "bvhtestfiles.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/tests/kfiletakelayers_scene.h"

namespace bvhtest {
namespace {

using namespace zeqsdk_400;

// A scene with its own manager, read from or written to files.
struct Scene {
    std::unique_ptr<KZeqSdkManager> mManager{KZeqSdkManager::CreateKZeqSdkManager()};
    KZeqScene* mScene = mManager->CreateKZeqScene();
    KZeqNode* Find(const char* name) const { return mScene->GetRootNode()->FindChild(name, true); }
};

class BvhWrite : public testing::Test {
protected:
    // Writes the scene with the writer's options over frames at rate; false
    // with the exporter's error in mError.
    bool Write(Scene& scene, int frames, double rate, const std::function<void(KStreamOptionsMotion&)>& adjust = nullptr) {
        mError.clear();
        return ExportMotion(*scene.mManager, *scene.mScene, KZeqExporter::eBIOVISION_BVH, mPath,
                            [&](KStreamOptionsMotion& options) {
                                mRecorder.Install(options);
                                options.SetTimeMode(KTime::eModeDefault, rate);
                                options.SetFrameCount(frames);
                                if (adjust) adjust(options);
                            },
                            &mError);
    }
    bool ReadBack(Scene& scene) {
        return ImportMotion(*scene.mManager, *scene.mScene, KZeqImporter::eBIOVISION_BVH, mPath, nullptr, &mError);
    }

    MotionTempDir mDir;
    std::string mPath = mDir / "out.bvh";
    std::string mError;
    CallbackRecorder mRecorder;
};

// ---- Round trips -------------------------------------------------------------------------------

class BvhRoundTrip : public BvhWrite, public testing::WithParamInterface<std::string> {};

// Read, written, read back: the same names, hierarchy and offsets, and every
// node within 0.01 cm of where it was at every frame.
TEST_P(BvhRoundTrip, SampleFileComesBackEqual) {
    ZEQ_MOTION_REQUIRE_TESTDATA(dir, "bvh");
    Scene first, second;
    double rate = 0.0;
    int frames = 0;
    ASSERT_TRUE(ImportMotion(*first.mManager, *first.mScene, KZeqImporter::eBIOVISION_BVH, dir + "/" + GetParam(),
                             [&](KStreamOptionsMotion& options) {
                                 rate = options.GetFrameRate();
                                 frames = options.GetFrameCount();
                             },
                             &mError))
        << mError;
    KZeqNode* root = first.Find("BVH:reference")->GetChild(0);
    root->SetSelected(true);
    ASSERT_TRUE(Write(first, frames, rate)) << mError;
    ASSERT_TRUE(ReadBack(second)) << mError;
    KTime period;
    period.SetSecondDouble(1.0 / rate);
    const std::vector<KTime> times = FrameTimes(KTime(), period, frames);
    const MotionSnapshot before = SampleMotion(root, times);
    const MotionSnapshot after = SampleMotion(second.Find("BVH:reference")->GetChild(0), times);
    EXPECT_TRUE(CompareMotion(before, after, 0.01));
}

// The shared samples by name: without them each case skips, saying so.
INSTANTIATE_TEST_SUITE_P(Samples, BvhRoundTrip,
                         testing::Values("cmu_12_01_walk.bvh", "131_01.bvh", "test_mocapbank.bvh", "test_freebvh.bvh",
                                         "bvh_test2.bvh"),
                         [](const testing::TestParamInfo<std::string>& info) {
                             return info.param.substr(0, info.param.find('.'));
                         });

// A chain turning about all three axes, its top moving: written with the
// default options (rotations only below the top, "Zrotation Xrotation
// Yrotation"), it reads back where it was.
TEST_F(BvhWrite, AnimatedChainComesBack) {
    Scene scene, back;
    ChainSpec spec;
    spec.mBranchJoints = 2;
    spec.mEndSites = true;
    spec.mAmplitude = 170.0;
    const Chain chain = MakeAnimatedChain(*scene.mManager, *scene.mScene, spec);
    ASSERT_TRUE(Write(scene, spec.mFrames, spec.mRate)) << mError;
    const std::string text = ReadText(mPath);
    EXPECT_NE(text.find("ROOT Joint0\n{\n  OFFSET 1 2 3\n  CHANNELS 6 Xposition Yposition Zposition Zrotation "
                        "Xrotation Yrotation\n  JOINT Joint1\n  {\n    OFFSET 1 10 -0.5\n    CHANNELS 3 Zrotation "
                        "Xrotation Yrotation\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("End Site\n        {\n          OFFSET 0 5 0\n"), std::string::npos) << text;
    EXPECT_NE(text.find("MOTION\nFrames:\t12\nFrame Time:\t0.0333333\n"), std::string::npos) << text;
    // Six values for the top, three for each of the other five joints.
    const std::string firstRow = text.substr(text.find("0.0333333\n") + 10, text.find('\n', text.find("0.0333333\n") + 10) -
                                                                               text.find("0.0333333\n") - 10);
    EXPECT_EQ(std::count(firstRow.begin(), firstRow.end(), ' '), 21) << firstRow;
    ASSERT_TRUE(ReadBack(back)) << mError;
    CompareParts parts;
    parts.mOffsets = false;  // a read root's default stays at the origin
    EXPECT_TRUE(CompareMotion(SampleMotion(chain.Top(), chain.Times()), SampleMotion(back.Find("Joint0"), chain.Times()),
                              0.01, parts));
}

// With "Translation" on every joint has six channels and its moves come back.
TEST_F(BvhWrite, TranslationOptionWritesEveryPosition) {
    Scene scene, back;
    ChainSpec spec;
    spec.mEndSites = true;
    spec.mAnimateTranslation = true;
    const Chain chain = MakeAnimatedChain(*scene.mManager, *scene.mScene, spec);
    ASSERT_TRUE(Write(scene, spec.mFrames, spec.mRate, [](KStreamOptionsMotion& options) {
        options.SetOption(KStreamOptionsMotion::eTranslation, KStreamOptionsMotion::eOn);
    }));
    const std::string text = ReadText(mPath);
    EXPECT_EQ(text.find("CHANNELS 3"), std::string::npos);
    ASSERT_TRUE(ReadBack(back)) << mError;
    CompareParts parts;
    parts.mOffsets = false;
    EXPECT_TRUE(CompareMotion(SampleMotion(chain.Top(), chain.Times()), SampleMotion(back.Find("Joint0"), chain.Times()),
                              0.01, parts));
}

// Joints whose translations are keyed (bones of changing length) have no
// translation channels with the default options: each one's OFFSET is its
// translation at the first frame written, whether the written range starts
// at the take's first key or later, so that frame stands where it stood.
TEST_F(BvhWrite, KeyedTranslationIsTheOffsetOfTheFirstFrameWritten) {
    Scene scene;
    ChainSpec spec;
    spec.mAnimateTranslation = true;
    spec.mEndSites = true;
    const Chain chain = MakeAnimatedChain(*scene.mManager, *scene.mScene, spec);
    for (const int first : {0, 5}) {
        SCOPED_TRACE(first);
        ASSERT_TRUE(Write(scene, spec.mFrames - first, spec.mRate, [&](KStreamOptionsMotion& options) {
            options.SetStart(chain.mStart + chain.mPeriod * first);
        })) << mError;
        const BvhText file = ParseBvh(ReadText(mPath));
        ASSERT_EQ(file.mSkeleton.mJoints.size(), static_cast<std::size_t>(spec.mJoints + 1));
        for (int n = 1; n < spec.mJoints; ++n) {
            EXPECT_EQ(file.mSkeleton.mJoints[static_cast<std::size_t>(n)].mChannels.size(), 3u);
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(file.mSkeleton.mJoints[static_cast<std::size_t>(n)].mOffset[static_cast<std::size_t>(c)],
                            ChainValue(spec, n, c, first), 1e-3)
                    << n << " " << c;
        }
        ASSERT_FALSE(file.mRows.empty());
        CompareParts parts;
        parts.mOffsets = false;
        EXPECT_TRUE(CompareMotion(SampleMotion(chain.Top(), {chain.Times()[static_cast<std::size_t>(first)]}),
                                  ReferenceSnapshot(file.mSkeleton, {file.mRows.front()}), 0.01, parts));
    }
}

// The top's motion from its global matrix puts the parent's transform in it.
TEST_F(BvhWrite, FromGlobalPositionCarriesTheParent) {
    Scene scene, local, global;
    ChainSpec spec;
    spec.mSelectTop = true;
    const Chain chain = MakeAnimatedChain(*scene.mManager, *scene.mScene, spec);
    KZeqNode* holder = scene.mManager->CreateKZeqNode("Holder");
    scene.mScene->GetRootNode()->AddChild(holder);
    holder->AddChild(chain.Top());
    holder->SetDefaultT(KZeqVector4(100, 0, 0, 0));
    holder->CreateTakeNode("Take 001");
    scene.mScene->SetCurrentTake("Take 001");
    ASSERT_TRUE(Write(scene, spec.mFrames, spec.mRate));
    ASSERT_TRUE(ReadBack(local));
    ASSERT_TRUE(Write(scene, spec.mFrames, spec.mRate, [](KStreamOptionsMotion& options) {
        options.SetOption(KStreamOptionsMotion::eExportFromGlobalPosition, KStreamOptionsMotion::eOn);
    }));
    ASSERT_TRUE(ReadBack(global));
    const KTime last = chain.Times().back();
    const KZeqVector4 world = chain.Top()->GetGlobalFromCurrentTake(last).GetT();
    EXPECT_NEAR(global.Find("Joint0")->GetGlobalFromCurrentTake(last).GetT()[0], world[0], 1e-3);
    EXPECT_NEAR(local.Find("Joint0")->GetGlobalFromCurrentTake(last).GetT()[0], world[0] - 100, 1e-3);
}

// ---- End sites ---------------------------------------------------------------------------------

// An animated LimbNode leaf is a joint with an End Site of its own; an
// unanimated one, or one named "..._EndSite", is its parent's End Site.
TEST_F(BvhWrite, LeavesBecomeEndSitesUnlessAnimated) {
    Scene scene;
    ChainSpec spec;
    spec.mJoints = 3;
    MakeAnimatedChain(*scene.mManager, *scene.mScene, spec);
    ASSERT_TRUE(Write(scene, 2, 30));
    std::string text = ReadText(mPath);
    EXPECT_NE(text.find("    JOINT Joint2\n    {\n      OFFSET 2 10 -1\n      CHANNELS 3 Zrotation Xrotation "
                        "Yrotation\n      End Site\n"),
              std::string::npos)
        << text;
    Scene back;
    ASSERT_TRUE(ReadBack(back)) << mError;
    EXPECT_TRUE(back.Find("Joint2_End"));

    scene.Find("Joint2")->SetName("Joint2_EndSite");
    ASSERT_TRUE(Write(scene, 2, 30));
    text = ReadText(mPath);
    EXPECT_EQ(text.find("JOINT Joint2"), std::string::npos) << text;
    EXPECT_NE(text.find("  JOINT Joint1\n  {\n    OFFSET 1 10 -0.5\n    CHANNELS 3 Zrotation Xrotation Yrotation\n"
                        "    End Site\n    {\n      OFFSET 2 10 -1\n"),
              std::string::npos)
        << text;

    Scene still;
    spec.mAnimateRotation = false;
    MakeAnimatedChain(*still.mManager, *still.mScene, spec);
    ASSERT_TRUE(Write(still, 2, 30));
    EXPECT_EQ(ReadText(mPath).find("JOINT Joint2"), std::string::npos);

    // A leaf whose base curves hold no keys but whose take turns it by a layer is animated: a
    // joint of its own, turning as the take plays it (0 to 60 degrees about Z over a second).
    zeqtest::TakeLayering layering;
    layering.mLayers = zeqtest::eRotationLayer;
    layering.mLayerR[0] = layering.mLayerR[1] = {{0.0, 0.0}, {1.0, 0.0}};
    layering.mLayerR[2] = {{0.0, 0.0}, {1.0, 60.0}};
    zeqtest::AddTakeLayering(*still.Find("Joint2"), spec.mTake.c_str(), layering);
    ASSERT_TRUE(Write(still, 31, 30)) << mError;
    ASSERT_NE(ReadText(mPath).find("JOINT Joint2"), std::string::npos) << ReadText(mPath);
    Scene layered;
    ASSERT_TRUE(ReadBack(layered)) << mError;
    KTime second;
    second.SetSecondDouble(1.0);
    const KZeqXMatrix written = still.Find("Joint2")->EvaluateGlobalTransform(second);
    const KZeqXMatrix read = layered.Find("Joint2")->GetGlobalFromCurrentTake(second);
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            EXPECT_NEAR(read.mData[row][column], written.mData[row][column], 1e-4) << row << " " << column;
}

// A lone unanimated node is still the file's root, with an End Site of its own.
TEST_F(BvhWrite, LoneStillNodeIsARootJoint) {
    Scene scene, back;
    ChainSpec spec;
    spec.mJoints = 1;
    spec.mAnimateRotation = false;
    spec.mAttribute = ChainAttribute::kNull;
    const Chain chain = MakeAnimatedChain(*scene.mManager, *scene.mScene, spec);
    ASSERT_TRUE(Write(scene, spec.mFrames, spec.mRate));
    EXPECT_EQ(ReadText(mPath).rfind("HIERARCHY\nROOT Joint0\n", 0), 0u);
    ASSERT_TRUE(ReadBack(back)) << mError;
    const MotionSnapshot read = SampleMotion(back.Find("Joint0"), chain.Times());
    ASSERT_EQ(read.mNames, (std::vector<std::string>{"Joint0", "Joint0_End"}));
    for (std::size_t f = 0; f < chain.Times().size(); ++f)
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(read.mPositions[f][0][i], ChainValue(spec, 0, i, static_cast<int>(f)), 1e-3);
}

// ---- Refusals ----------------------------------------------------------------------------------

TEST_F(BvhWrite, SceneWithoutSingleSelectedRootIsRefused) {
    Scene unselected;
    ChainSpec spec;
    spec.mSelectTop = false;
    MakeAnimatedChain(*unselected.mManager, *unselected.mScene, spec);
    EXPECT_FALSE(Write(unselected, 2, 30));
    EXPECT_EQ(mError, "Can not find root node. (Can not find root node.)");

    Scene twoTops;
    MakeAnimatedChain(*twoTops.mManager, *twoTops.mScene, ChainSpec());
    twoTops.mScene->GetRootNode()->AddChild(twoTops.mManager->CreateKZeqNode("Other"));
    EXPECT_FALSE(Write(twoTops, 2, 30));
    EXPECT_EQ(mError, "Can not find root node. (Can not find root node.)");
}

TEST_F(BvhWrite, NamesWithBlanksAreRefusedAndListed) {
    Scene scene;
    MakeAnimatedChain(*scene.mManager, *scene.mScene, ChainSpec());
    scene.Find("Joint2")->SetName("Model::Left Arm");
    scene.Find("Joint3")->SetName("Model::Left\tHand");
    EXPECT_FALSE(Write(scene, 2, 30));
    const std::string text = "Spaces are not allowed in BVH node names:\n    Model::Left Arm\n    Model::Left\tHand";
    EXPECT_EQ(mError, text + " (" + text + ")");
    ASSERT_EQ(mRecorder.mMessages.size(), 1u);
    EXPECT_EQ(mRecorder.mMessages[0].mWhich, 1);
    EXPECT_EQ(mRecorder.mMessages[0].mCaption, "Error");
    EXPECT_EQ(mRecorder.mMessages[0].mText, text);
    EXPECT_EQ(mRecorder.mMessages[0].mButton1, "OK");
}

// A full disk fails the write with the writer's "Out of disk space", the
// system's reason in the message and the error, and leaves the file it was
// to replace as it was.
TEST_F(BvhWrite, OutputErrorsAreReported) {
    Scene scene;
    ChainSpec spec;
    spec.mFrames = 2000;
    MakeAnimatedChain(*scene.mManager, *scene.mScene, spec);
    const std::string kept = mDir / "kept.bvh";
    WriteText(kept, "HIERARCHY\n");
    zeqtest::ScopedFileSizeLimit full(64);
    KZeqWriterBiovision writer(*scene.mManager);
    ASSERT_TRUE(writer.FileCreate(kept.c_str()));
    KStreamOptions* options = writer.GetWriteOptions();
    static_cast<KStreamOptionsMotion*>(options)->SetFrameCount(spec.mFrames);
    EXPECT_FALSE(writer.Write(*scene.mScene, options));
    EXPECT_EQ(writer.GetLastErrorID(), KZeqWriter::eOutOfDiskSpace);
    EXPECT_EQ(writer.GetError().GetLastSystemError(), EFBIG);
    KString message;
    writer.GetMessage(message);
    const std::string failure = "Error writing \"" + kept + "\": File too large";
    EXPECT_EQ(message.Buffer(), failure);
    EXPECT_FALSE(writer.FileClose());
    EXPECT_EQ(writer.GetLastErrorID(), KZeqWriter::eOutOfDiskSpace);
    options->Destroy();

    mPath = kept;
    EXPECT_FALSE(Write(scene, spec.mFrames, 30));
    EXPECT_EQ(mError, "Out of disk space (" + failure + ")");
    EXPECT_EQ("HIERARCHY\n", ReadText(kept));
}

TEST_F(BvhWrite, FileThatCannotBeCreated) {
    Scene scene;
    KZeqWriterBiovision writer(*scene.mManager);
    const std::string path = mDir / "missing/out.bvh";
    EXPECT_FALSE(writer.FileCreate(path.c_str()));
    EXPECT_EQ(writer.GetLastErrorID(), KZeqWriter::eFileNotOpened);
    EXPECT_EQ(std::string(writer.GetLastErrorString()), "Cannot open file \"" + path + "\" for writing.");
    EXPECT_FALSE(writer.IsFileOpen());
    EXPECT_FALSE(writer.FileClose());
    KStreamOptions* options = writer.GetWriteOptions();
    EXPECT_FALSE(writer.Write(*scene.mScene, options));
    EXPECT_EQ(writer.GetLastErrorID(), KZeqWriter::eFileNotOpened);
    options->Destroy();
}

}  // namespace
}  // namespace bvhtest

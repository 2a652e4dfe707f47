// The import pass through a driver linked into the test: modes, playback range, bind poses, logs.
#include "importtest_support.h"

#include "base/klib.h"
#include "content/kzeqlink.h"
#include "content/kzeqmesh.h"
#include "io/kzeqimporter.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtulouserparams.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqpose.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"
#include "tplugin.h"
#include "tulo.h"

using namespace zeqsdk_400;
using namespace importtest;

namespace {

using PassTest = ImportDriverTest;

// A node keyed in take "Take" at the given times.
Builder KeysAt(std::vector<double> times) {
    return [times](KZeqSdkManager& manager, KZeqScene& scene) {
        KZeqNode* node = AddNode(manager, scene.GetRootNode(), "keyed");
        scene.CreateTake("Take");
        node->SetCurrentTakeNode("Take");
        for (double t : times) Key(node->GetCurrentTakeNode()->GetTranslationX(), t, 1.0f);
        node->SetCurrentTakeNode(0);
    };
}

// The host's range before the import is 5 to 6 s (current time 5.5 s); a new scene starts with
// 0 to 1 s. Keys of no length leave the range and the current time as they were.
struct RangeCase {
    const char* name;
    std::vector<double> keys;
    bool merge;
    double min, max, current;
};
class PlaybackRange : public PassTest, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(PlaybackRange, FollowsTheTakesKeys) {
    ASSERT_TRUE(TAnimControl::setMinMaxTime(TTime(5.0, TTime::kSeconds), TTime(6.0, TTime::kSeconds)));
    ASSERT_TRUE(TAnimControl::setCurrentTime(TTime(5.5, TTime::kSeconds)));
    if (GetParam().merge) Params()->SetImportType(KZeqUserParams::kMerge);
    ASSERT_TRUE(Import(Write("range", KeysAt(GetParam().keys)), "Take"));
    EXPECT_DOUBLE_EQ(TAnimControl::minTime().as(TTime::kSeconds), GetParam().min);
    EXPECT_DOUBLE_EQ(TAnimControl::maxTime().as(TTime::kSeconds), GetParam().max);
    EXPECT_DOUBLE_EQ(TAnimControl::currentTime().as(TTime::kSeconds), GetParam().current);
    EXPECT_EQ(Log().find("playback range"), std::string::npos);
}

const RangeCase kRanges[] = {
    {"Keys", {0.5, 2.0}, false, 0.5, 2.0, 0.5},
    {"AfterTheNewScenesRange", {24.375, 26.05}, false, 24.375, 26.05, 24.375},
    {"BeforeTheNewScenesRange", {-3.0, -2.0}, false, -3.0, -2.0, -3.0},
    {"NoKeys", {}, false, 0.0, 1.0, 0.0},
    {"OnePositiveTime", {1.5}, false, 0.0, 1.0, 0.0},
    {"OneNegativeTime", {-2.0}, false, 0.0, 1.0, 0.0},
    {"MergedAfterTheRange", {10.0, 12.0}, true, 10.0, 12.0, 10.0},
    {"MergedBeforeTheRange", {1.0, 2.0}, true, 1.0, 2.0, 1.0},
    {"MergedOverlapping", {5.5, 8.0}, true, 5.5, 8.0, 5.5},
    {"MergedNoKeys", {}, true, 5.0, 6.0, 5.5},
    {"MergedOneTime", {7.0}, true, 5.0, 6.0, 5.5},
};
INSTANTIATE_TEST_SUITE_P(Pass, PlaybackRange, ::testing::ValuesIn(kRanges), CaseName());

// A file that fails to read: the scene as it was in every mode (the new scene only after a good
// read), the error in the log, a dialog only with show-UI.
TEST_F(PassTest, AFailedReadKeepsTheSceneLogsAndShowsTheError) {
    TFnTransform transform;
    transform.create();
    transform.setName("kept");
    const std::string before = standin::dump();
    const std::string file = mDirectory + "broken.zeq";
    std::ofstream(file) << "not a Zeq file";
    EXPECT_FALSE(Import(file));
    EXPECT_EQ(standin::dump(), before);
    EXPECT_NE(Log().find("File import: " + file), std::string::npos);
    EXPECT_TRUE(standin::dialogs().records().empty());

    Params()->SetBoolParam(ZeqTuloUserParams::kImportShowUI, true);
    standin::dialogs().push("Ok", "ZEQ import Error");
    EXPECT_FALSE(Import(mDirectory + "missing.zeq"));
    EXPECT_EQ(standin::dump(), before);
    ASSERT_EQ(standin::dialogs().records().size(), 1u);
}

// A good read in create mode replaces the open scene; merge keeps it.
TEST_F(PassTest, CreateReplacesTheSceneMergeKeepsIt) {
    TFnTransform transform;
    transform.create();
    transform.setName("kept");
    const std::string file = Write("one", [](KZeqSdkManager& m, KZeqScene& s) { AddNode(m, s.GetRootNode(), "fresh"); });
    Params()->SetImportType(KZeqUserParams::kMerge);
    ASSERT_TRUE(Import(file));
    EXPECT_EQ(HostPath("kept"), "|kept");
    EXPECT_EQ(HostPath("fresh"), "|fresh");
    Params()->SetImportType(KZeqUserParams::kCreate);
    ASSERT_TRUE(Import(file));
    EXPECT_EQ(HostPath("kept"), "");
    EXPECT_EQ(HostPath("fresh"), "|fresh");
}

// A mesh skinned to two bones, with or without a bind pose (or with a rest pose only).
Builder Skinned(char pose) {
    return [pose](KZeqSdkManager& manager, KZeqScene& scene) {
        KZeqNode* hip = AddNode(manager, scene.GetRootNode(), "hip", "skeleton:0");
        KZeqNode* knee = AddNode(manager, hip, "knee", "skeleton:2");
        knee->SetDefaultT(KZeqVector4(0, -4, 0, 0));
        KZeqMesh* mesh = AddTriangle(manager, scene.GetRootNode(), "skin");
        for (KZeqNode* bone : {hip, knee}) {
            KZeqLink* link = manager.CreateKZeqLink();
            link->SetLink(bone);
            mesh->AddLink(link);
        }
        if (pose == ' ') return;
        KZeqPose* p = manager.CreateKZeqPose("Pose", pose == 'b');
        // The hip at y 10 turned a quarter about Z (its +Y along the world's -X); the knee 6 along
        // the world's -X from it, turned alike: 6 along the hip's own +Y.
        const KZeqMatrix hipMatrix(KZeqVector4(0, 10, 0, 0), KZeqVector4(0, 0, 90, 0), KZeqVector4(1, 1, 1, 0));
        const KZeqMatrix kneeMatrix(KZeqVector4(-6, 10, 0, 0), KZeqVector4(0, 0, 90, 0), KZeqVector4(1, 1, 1, 0));
        p->Add("Model::hip", hipMatrix, false);
        p->Add("Model::knee", kneeMatrix, false);
        p->Add("Model::nowhere", hipMatrix, false);
        scene.AddPose(p);
    };
}

// Links without a bind pose: two log lines (not in exclusive merge); a rest pose does not count.
TEST_F(PassTest, LinksWithoutABindPoseAreReported) {
    const char* first = "This .zeq file does not contain a BindPose section. ";
    for (char pose : {' ', 'r'}) {
        std::remove((mDirectory + "zeqtulolog.txt").c_str());
        ASSERT_TRUE(Import(Write("noBind", Skinned(pose))));
        EXPECT_NE(Log().find(first), std::string::npos) << pose;
        EXPECT_NE(Log().find("Executing the command 'Go to Bind Pose' may not give the expected results."),
                  std::string::npos);
    }
    std::remove((mDirectory + "zeqtulolog.txt").c_str());
    Params()->SetImportType(KZeqUserParams::kExclusiveMerge);
    ASSERT_TRUE(Import(Write("noBind", Skinned(' '))));
    EXPECT_EQ(Log().find(first), std::string::npos);
    Params()->SetImportType(KZeqUserParams::kCreate);
    std::remove((mDirectory + "zeqtulolog.txt").c_str());
    ASSERT_TRUE(Import(Write("bind", Skinned('b'))));
    EXPECT_EQ(Log().find(first), std::string::npos);
}

// Runs the pass step by step and reads the host transforms while the skin clusters are built.
class SteppedImport : public ZeqTuloImport {
public:
    // The x and y translations of the named host nodes during the skin step; the pass's status.
    bool Run(const std::vector<std::string>& names, std::vector<double>& during) {
        for (int i = 0; i < kImportStepCount; ++i) {
            const ImportStep& step = kImportSteps[i];
            if (std::string(step.mName) == "skin clusters")
                for (const std::string& name : names) {
                    const TVector t = TFnTransform(standin::find(name)).translation(TSpace::kTransform);
                    during.push_back(t.x), during.push_back(t.y);
                }
            if ((this->*step.mRun)() == eStepFail) return false;
        }
        return true;
    }
};

// Imported nodes stand in their bind pose (local = bind x parent bind^-1) while the skin is built
// and are set back after; an entry naming no node is ignored.
TEST_F(PassTest, BindPosesAreAppliedAndRestored) {
    SteppedImport driver;
    driver.OpenProject(TString(Write("bind", Skinned('b')).c_str()));
    std::vector<double> during;
    ASSERT_TRUE(driver.Run({"hip", "knee"}, during));
    ASSERT_EQ(during.size(), 4u);
    EXPECT_NEAR(during[0], 0, 1e-9);
    EXPECT_NEAR(during[1], 10, 1e-9);
    EXPECT_NEAR(during[2], 0, 1e-9);
    EXPECT_NEAR(during[3], 6, 1e-9);
    EXPECT_DOUBLE_EQ(TFnTransform(standin::find("hip")).translation(TSpace::kTransform).y, 0);
    // Restored to the file's translation, which the animation pass set.
    EXPECT_DOUBLE_EQ(TFnTransform(standin::find("knee")).translation(TSpace::kTransform).y, -4);
}

// A node merged onto a host node that was there before keeps its transform throughout.
TEST_F(PassTest, PresentNodesKeepTheirTransform) {
    TFnTransform hip;
    hip.create();
    hip.setName("hip");
    hip.setTranslation(TVector(0, 3, 0), TSpace::kTransform);
    Params()->SetImportType(KZeqUserParams::kMerge);
    SteppedImport driver;
    driver.OpenProject(TString(Write("bind", Skinned('b')).c_str()));
    std::vector<double> during;
    ASSERT_TRUE(driver.Run({"hip", "knee"}, during));
    // The animation pass gave the merged hip the file's translation (0); the bind pose (10) never
    // reaches it.
    EXPECT_DOUBLE_EQ(during[1], 0);
    EXPECT_NEAR(during[3], 6, 1e-9);  // the parent's bind matrix, not its host transform
    EXPECT_DOUBLE_EQ(TFnTransform(standin::find("hip")).translation(TSpace::kTransform).y, 0);
    EXPECT_EQ(HostParent("knee"), "hip");
}

// The word after "-f" goes into the buffer, cut to its size; the status is that of the last word
// read: a list without "-f" read whole succeeds, an empty list or a flag at the end (the host is
// not asked past the list) does not.
using DriverArguments = HostTest;

TEST_F(DriverArguments, PathAfterF) {
    auto list = [](std::initializer_list<const char*> words) {
        TArgList args;
        for (const char* word : words) args.append(word);
        return args;
    };
    char buffer[8] = "xxxxxxx";
    EXPECT_TRUE(ZeqTuloImport::parseArgs(list({"-caller", "me", "-f", "/a/b.zeq", "-f", "/c"}), buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "/a/b.ze");
    EXPECT_TRUE(ZeqTuloImport::parseArgs(list({"-caller", "me"}), buffer, sizeof buffer));
    EXPECT_FALSE(ZeqTuloImport::parseArgs(list({}), buffer, sizeof buffer));
    EXPECT_FALSE(ZeqTuloImport::parseArgs(list({"-caller", "-f"}), buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "/a/b.ze");
}

}  // namespace

// Merges into a look-at rig the user rearranged. A file's camera cam32 aimed at cam32_aim comes in
// as a rig: in the look-at group the host makes (the file has no group), or in the file's group
// Rig. The user puts a node of theirs first in that group, as the host's commands do it (the
// camera and the aim moved out into the node and back), and gives it a place. A file where the
// camera and its aim moved by 1.5 on each axis and the camera took a key merges in either mode:
// the host keeps one rig (one look-at group, one camera of the file), the user's node first in the
// group with its place, the camera and the aim where the changed file puts them, and the log says
// what becomes of the camera and its aim. Beside it: a merge of a complete rig with the user's
// node between the camera and the aim moves nothing.
#include "importtest_support.h"

#include <cstdio>
#include <string>
#include <tuple>

#include "fcurve/kfcurve.h"
#include "plugin/zeqtulouserparams.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"
#include "tulo.h"

using namespace zeqsdk_400;
using namespace importtest;

namespace {

// The rig at the top ("") or in the file's group of that name; the camera's translation keyed at
// 0 and 1 s, the aim in place, both moved by shift, and with a key at 0.5 s when moved.
importtest::Builder Rig(const std::string& group, double shift) {
    return [group, shift](KZeqSdkManager& m, KZeqScene& s) {
        const std::string rig = "cam32@cam32_aim cam32_aim";
        const SceneNodes nodes = BuildScene(m, s, group.empty() ? rig : group + "(" + rig + ")");
        KZeqNode* camera = nodes.at("cam32").mNode;
        camera->SetDefaultR(KZeqVector4(0, 30, 0, 0));
        nodes.at("cam32_aim").mNode->SetDefaultT(KZeqVector4(5 + shift, 0 + shift, -2 + shift, 0));
        s.CreateTake("Take 001");
        camera->SetCurrentTakeNode("Take 001");
        KZeqTakeNode* take = camera->GetCurrentTakeNode();
        KFCurve* t[3] = {take->GetTranslationX(), take->GetTranslationY(), take->GetTranslationZ()};
        for (int axis = 0; axis < 3; ++axis) {
            Key(t[axis], 0.0, static_cast<float>(axis + shift));
            Key(t[axis], 1.0, static_cast<float>(axis + 4 + shift));
            if (shift != 0) Key(t[axis], 0.5, static_cast<float>(10 * (axis + 1)));
        }
    };
}

// The host's look-at groups and its cameras (shapes), as "<groups> <cameras>".
std::string Counts() {
    int groups = 0, cameras = 0;
    for (TItDag it(TItDag::kDepthFirst, TFn::kLookAt); !it.isDone(); it.next()) ++groups;
    for (TItDag it(TItDag::kDepthFirst, TFn::kCamera); !it.isDone(); it.next()) ++cameras;
    return std::to_string(groups) + " " + std::to_string(cameras);
}

// The plug's values at the time.
std::string At(const std::string& plug, double seconds) {
    TAnimControl::setCurrentTime(TTime(seconds, TTime::kSeconds));
    return HostAttr(plug);
}

bool Command(const std::string& text) { return static_cast<bool>(TGlobal::executeCommand(TString(text.c_str()))); }

// The file's group ("" for the one the host makes), the merge mode.
class RearrangedRigTest : public ImportDriverTest,
                          public ::testing::WithParamInterface<std::tuple<const char*, KZeqUserParams::ELoadMode>> {
protected:
    std::string FileGroup() const { return std::get<0>(GetParam()); }
    // The host's group: the file's, or the one the host made for the camera it made first.
    std::string Group() const { return FileGroup().empty() ? "camera1_group" : FileGroup(); }
};

TEST_P(RearrangedRigTest, MergesIntoTheOneRig) {
    ASSERT_TRUE(Import(Write("first", Rig(FileGroup(), 0)), "Take 001"));
    ASSERT_EQ(Counts(), "1 5");  // the host's four cameras and the file's
    // The user's node first in the group, with a place of its own.
    const TObject mine = standin::createNode("transform", "userNull");
    TFnTransform(mine).setTranslation(TVector(7, 8, 9), TSpace::kTransform);
    const std::string group = Group();
    for (const std::string& command :
         {"parent userNull " + group, std::string("parent cam32 userNull"), "parent cam32 " + group,
          std::string("parent cam32_aim userNull"), "parent cam32_aim " + group})
        ASSERT_TRUE(Command(command)) << command;
    ASSERT_EQ(HostChildren(group), group + ": userNull cam32 cam32_aim");

    Params()->SetImportType(std::get<1>(GetParam()));
    std::remove((mDirectory + "zeqtulolog.txt").c_str());
    ASSERT_TRUE(Import(Write("moved", Rig(FileGroup(), 1.5)), "Take 001"));
    EXPECT_EQ(Counts(), "1 5");
    EXPECT_EQ(HostChildren(group), group + ": userNull cam32 cam32_aim");
    EXPECT_EQ(HostAttr("userNull.translate"), "7 8 9");
    // The camera and the aim where the changed file puts them, the key it added taken.
    EXPECT_EQ(At("cam32.translate", 0), "1.5 2.5 3.5");
    EXPECT_EQ(At("cam32.translate", 0.5), "10 20 30");
    EXPECT_EQ(At("cam32.translate", 1), "5.5 6.5 7.5");
    EXPECT_EQ(HostAttr("cam32_aim.translate"), "6.5 1.5 -0.5");
    // Not first in its group, the camera is not aimed: it keeps its orientation, turned onto the
    // host's forward axis.
    EXPECT_EQ(HostAttr("cam32.rotateAxisY"), "-90");
    EXPECT_NE(Log().find("Camera cam32: it was in the host scene before, in a look-at group that does not hold its "
                         "rig in the file's order; the aim is left out and the camera keeps its orientation; "
                         "cam32_aim stays in " + group + " as a node of its own, taking the file's values."),
              std::string::npos)
        << Log();
}

INSTANTIATE_TEST_SUITE_P(Rigs, RearrangedRigTest,
                         ::testing::Combine(::testing::Values("", "Rig"),
                                            ::testing::Values(KZeqUserParams::kMerge, KZeqUserParams::kExclusiveMerge)),
                         [](const ::testing::TestParamInfo<RearrangedRigTest::ParamType>& info) {
                             return std::string(*std::get<0>(info.param) ? "FilesGroup" : "HostsGroup") +
                                    (std::get<1>(info.param) == KZeqUserParams::kMerge ? "Merge" : "ExclusiveMerge");
                         });

// A rig the host holds whole, the user's node between the camera and the aim: a merge completes
// nothing there and moves nothing.
using CompleteRigTest = ImportDriverTest;

TEST_F(CompleteRigTest, AMergeMovesNoUsersNode) {
    for (const char* fileGroup : {"", "Rig"}) {
        const std::string group = *fileGroup ? fileGroup : "camera1_group";
        SCOPED_TRACE(group);
        Params()->SetImportType(KZeqUserParams::kCreate);
        ASSERT_TRUE(Import(Write("first", Rig(fileGroup, 0)), "Take 001"));
        standin::createNode("transform", "userNull");
        ASSERT_TRUE(Command("parent userNull " + group) && Command("parent cam32_aim userNull") &&
                    Command("parent cam32_aim " + group));
        ASSERT_EQ(HostChildren(group), group + ": cam32 userNull cam32_aim");
        Params()->SetImportType(KZeqUserParams::kMerge);
        ASSERT_TRUE(Import(Write("again", Rig(fileGroup, 0)), "Take 001"));
        EXPECT_EQ(HostChildren(group), group + ": cam32 userNull cam32_aim");
        EXPECT_EQ(Counts(), "1 5");
    }
}

}  // namespace

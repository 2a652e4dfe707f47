// Merges into a look-at rig the user rearranged. A file's camera cam32 aimed at cam32_aim comes in
// as a rig: in the look-at group the host makes (the file has no group), or in the file's group
// Rig. The user puts a node of theirs first in that group, as the host's commands do it (the
// camera and the aim moved out into the node and back), and gives it a place. A file where the
// camera and its aim moved by 1.5 on each axis and the camera took a key merges in either mode:
// the host keeps one rig (one look-at group, one camera of the file, still aimed), the user's node
// first in the group with its place, the camera and the aim where the changed file puts them.
// Beside it: a merge of a complete rig with the user's node between the camera and the aim moves
// nothing; and a node of the user's first, after the camera or last in a rig with an up node or
// without one (below).
#include "importtest_support.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "fcurve/kfcurve.h"
#include "plugin/zeqtulouserparams.h"
#include "plugin/zeqtuloutility.h"
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
    // Not first in its group, the camera is the group's camera all the same: aimed, it takes no
    // turn onto the host's forward axis, and the log has nothing to say of it.
    EXPECT_EQ(HostAttr("cam32.rotateAxisY"), "0");
    EXPECT_EQ(Log().find("Camera "), std::string::npos) << Log();
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

// ---- A node of the user's in a look-at group, the rig with an up node or without one. The user
// puts a null, a mesh or a light of theirs into the group: first, after the camera or last. The
// host aims the group's camera at the aim and up node it made, wherever they stand and whatever
// else the group holds: a merge of the unchanged file changes nothing, and a changed file arrives
// once.

enum class Place { kFirst, kMiddle, kLast };

struct UsersNodeCase {
    bool mUp;           // the rig has an up node
    Place mPlace;       // the user's node first in the group, after the camera or last
    bool mFilesGroup;   // the file names the group ("Rig"), else the host makes it
    bool mUnderParent;  // the rig hangs below the null Holder, else at the top
    KZeqUserParams::ELoadMode mMode;
};

void PrintTo(const UsersNodeCase& c, std::ostream* out) {
    const char* const places[] = {"first", "middle", "last"};
    *out << (c.mUp ? "up " : "no up ") << places[static_cast<int>(c.mPlace)] << (c.mFilesGroup ? " file's" : " host's")
         << (c.mUnderParent ? " below" : " top") << (c.mMode == KZeqUserParams::kMerge ? " merge" : " exclusive");
}

// cam40 aimed at cam40_aim, with its up node cam40_up when asked; the camera turned and keyed, the
// rig's nodes moved by shift.
importtest::Builder UpRig(const UsersNodeCase& c, double shift) {
    return [c, shift](KZeqSdkManager& m, KZeqScene& s) {
        std::string rig = c.mUp ? "cam40@cam40_aim^cam40_up cam40_aim cam40_up" : "cam40@cam40_aim cam40_aim";
        if (c.mFilesGroup) rig = "Rig(" + rig + ")";
        if (c.mUnderParent) rig = "Holder(" + rig + ")";
        const SceneNodes nodes = BuildScene(m, s, rig);
        KZeqNode* camera = nodes.at("cam40").mNode;
        camera->SetDefaultR(KZeqVector4(0, 30, 0, 0));
        camera->SetDefaultT(KZeqVector4(1 + shift, 2, 3, 0));
        nodes.at("cam40_aim").mNode->SetDefaultT(KZeqVector4(5, shift, -2, 0));
        if (c.mUp) nodes.at("cam40_up").mNode->SetDefaultT(KZeqVector4(1, 9 + shift, 3, 0));
        if (c.mUnderParent) nodes.at("Holder").mNode->SetDefaultT(KZeqVector4(0, 0, 4, 0));
        s.CreateTake("Take 001");
        camera->SetCurrentTakeNode("Take 001");
        KFCurve* x = camera->GetCurrentTakeNode()->GetTranslationX();
        Key(x, 0.0, static_cast<float>(1 + shift));
        Key(x, 1.0, static_cast<float>(4 + shift));
    };
}

// The host's cameras but its own four.
int FileCameras() {
    int cameras = 0;
    for (TItDag it(TItDag::kDepthFirst, TFn::kCamera); !it.isDone(); it.next()) {
        TDagPath path;
        it.getPath(path);
        path.pop(1);
        if (!ZeqTuloUtility::IsCameraNameReserved(TFnDependencyNode(path.node()).name().asChar())) ++cameras;
    }
    return cameras;
}

class UsersNodeInRigTest : public ImportDriverTest, public ::testing::WithParamInterface<UsersNodeCase> {
protected:
    // The host's one look-at group: the file's, or the one the host made for the camera.
    static std::string Group() {
        TItDag it(TItDag::kDepthFirst, TFn::kLookAt);
        return it.isDone() ? "" : TFnDependencyNode(it.item()).name().asChar();
    }
    // The group's nodes, the user's where the case puts it.
    std::vector<std::string> Held() const {
        std::vector<std::string> held{"cam40", "cam40_aim"};
        if (GetParam().mUp) held.push_back("cam40_up");
        const Place place = GetParam().mPlace;
        const std::size_t at = place == Place::kFirst ? 0 : place == Place::kMiddle ? 1 : held.size();
        held.insert(held.begin() + static_cast<std::ptrdiff_t>(at), "userNode");
        return held;
    }
    // The user's node, of a kind each place gives another: a null, a mesh or a light.
    void AddUsersNode() const {
        TObject made;
        switch (GetParam().mPlace) {
        case Place::kFirst: made = standin::createNode("transform", "userNode"); break;
        case Place::kMiddle: made = TFnDagNode(standin::createCube("userNode", false)).parent(0); break;
        case Place::kLast:
            made = TFnDagNode(TFnPointLight().create()).parent(0);
            TFnDagNode(made).setName("userNode");
            break;
        }
        TFnTransform(made).setTranslation(TVector(7, 8, 9), TSpace::kTransform);
    }
};

TEST_P(UsersNodeInRigTest, MergesOfTheFileKeepTheRig) {
    const UsersNodeCase& c = GetParam();
    ASSERT_TRUE(Import(Write("first", UpRig(c, 0)), "Take 001"));
    // The user's node into the group, then the nodes after its place out into it and back, as the
    // host's commands rearrange a group.
    AddUsersNode();
    const std::string group = Group();
    ASSERT_TRUE(Command("parent userNode " + group));
    const std::vector<std::string> held = Held();
    for (auto after = std::find(held.begin(), held.end(), "userNode") + 1; after != held.end(); ++after)
        ASSERT_TRUE(Command("parent " + *after + " userNode") && Command("parent " + *after + " " + group)) << *after;
    std::string order = group + ":";
    for (const std::string& name : held) order += " " + name;
    ASSERT_EQ(HostChildren(group), order);
    const std::string before = standin::dump();

    Params()->SetImportType(c.mMode);
    std::remove((mDirectory + "zeqtulolog.txt").c_str());
    ASSERT_TRUE(Import(Write("again", UpRig(c, 0)), "Take 001"));
    EXPECT_EQ(standin::dump(), before);
    EXPECT_EQ(Log().find("Camera "), std::string::npos) << Log();

    // A changed file arrives once: one camera of the file, the rig's nodes where it moved them.
    ASSERT_TRUE(Import(Write("moved", UpRig(c, 1.5)), "Take 001"));
    EXPECT_EQ(FileCameras(), 1);
    EXPECT_EQ(HostChildren(group), order);
    EXPECT_EQ(At("cam40.translate", 0), "2.5 2 3");
    EXPECT_EQ(At("cam40.translate", 1), "5.5 2 3");
    EXPECT_EQ(HostAttr("cam40_aim.translate"), "5 1.5 -2");
    if (c.mUp) {
        EXPECT_EQ(HostAttr("cam40_up.translate"), "1 10.5 3");
    }
    EXPECT_EQ(HostAttr("userNode.translate"), "7 8 9");
    EXPECT_EQ(HostAttr("cam40.rotateAxisY"), "0");
}

std::vector<UsersNodeCase> UsersNodeCases() {
    std::vector<UsersNodeCase> cases;
    for (bool up : {false, true})
        for (Place place : {Place::kFirst, Place::kMiddle, Place::kLast})
            for (bool filesGroup : {false, true})
                for (bool underParent : {false, true})
                    for (KZeqUserParams::ELoadMode mode : {KZeqUserParams::kMerge, KZeqUserParams::kExclusiveMerge})
                        cases.push_back({up, place, filesGroup, underParent, mode});
    return cases;
}

std::string UsersNodeCaseName(const ::testing::TestParamInfo<UsersNodeCase>& info) {
    const UsersNodeCase& c = info.param;
    const char* const places[] = {"First", "Middle", "Last"};
    return std::string(c.mUp ? "Up" : "NoUp") + places[static_cast<int>(c.mPlace)] +
           (c.mFilesGroup ? "FilesGroup" : "HostsGroup") + (c.mUnderParent ? "Below" : "Top") +
           (c.mMode == KZeqUserParams::kMerge ? "Merge" : "ExclusiveMerge");
}

INSTANTIATE_TEST_SUITE_P(Rigs, UsersNodeInRigTest, ::testing::ValuesIn(UsersNodeCases()), UsersNodeCaseName);

}  // namespace

// Scene preparation: old-version test, deforming nulls made joints, the node set, tree order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <unordered_set>

#include "content/kzeqcamera.h"
#include "content/kzeqlink.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnull.h"
#include "content/kzeqskeleton.h"
#include "fcurve/kfcurve.h"
#include "importtest_support.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "plugin/import/zeqtuloimport.h"
#include "plugin/zeqtulohelpers.h"
#include "plugin/zeqtulouserparams.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodeattribute.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqtakenode.h"
#include "tulo.h"

using namespace zeqsdk_400;
using importtest::AddNode;

namespace {

class PrepareTest : public ::testing::Test {
protected:
    PrepareTest() : mScene(Manager().CreateKZeqScene()), mRoot(mScene->GetRootNode()) {}
    ZeqTuloSdkManager& Manager() { return mDriver.GetSdkManager(); }
    KZeqNode* Add(KZeqNode* parent, const char* name, const char* kind = "null") {
        return AddNode(Manager(), parent, name, kind);
    }
    // The set's keys in its sorted order, blank-separated.
    std::string Keys() {
        std::string keys;
        const KCharPtrSet& set = mDriver.GetQuorbelNodeArray();
        for (int i = 0; i < set.GetCount(); ++i) {
            const char* key = nullptr;
            set.GetFromIndex(i, &key);
            keys += std::string(i ? " " : "") + key;
        }
        return keys;
    }

    ZeqTuloImport mDriver;
    KZeqScene* mScene;
    KZeqNode* mRoot;
};

// Below the root, one node with pivot state 1 in set 0 makes the tree old; the root never counts.
TEST_F(PrepareTest, OldVersionByPivotStateBelowTheRoot) {
    KZeqNode* a = Add(mRoot, "a");
    KZeqNode* b = Add(a, "b");
    for (KZeqNode* n : {a, b})
        for (auto set : {KZeqNode::eSOURCE_SET, KZeqNode::eDESTINATION_SET})
            n->SetPivotState(set, KZeqNode::ePIVOT_STATE_ACTIVE);
    EXPECT_FALSE(IsOldVersion(mRoot));
    mRoot->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_REFERENCE);
    EXPECT_FALSE(IsOldVersion(mRoot));
    b->SetPivotState(KZeqNode::eDESTINATION_SET, KZeqNode::ePIVOT_STATE_REFERENCE);
    EXPECT_FALSE(IsOldVersion(mRoot));
    b->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_REFERENCE);
    EXPECT_TRUE(IsOldVersion(mRoot));
    EXPECT_FALSE(IsOldVersion(nullptr, nullptr));
}

// Links to a joint, a null and a bare node: the last two become limb nodes, the joint stays.
TEST_F(PrepareTest, DeformingNullsBecomeLimbNodes) {
    KZeqNode* joint = Add(mRoot, "joint", "skeleton:1");
    KZeqNode* null = Add(mRoot, "null");
    KZeqNode* bare = Add(mRoot, "bare", "none");
    KZeqNode* skin = Add(mRoot, "skin", "mesh");
    for (KZeqNode* target : {joint, null, bare, null}) {
        KZeqLink* link = Manager().CreateKZeqLink();
        link->SetLink(target);
        skin->GetMesh()->AddLink(link);
    }
    skin->GetMesh()->AddLink(Manager().CreateKZeqLink());  // no link node: skipped
    int links = 0;
    CountNbZeqLinks(mRoot, links);
    EXPECT_EQ(links, 5);
    ReplaceNullsUsedAsLinks(mRoot, Manager());
    EXPECT_EQ(joint->GetSkeleton()->GetSkeletonType(), KZeqSkeleton::eLIMB);
    ASSERT_TRUE(IsJoint(null) && IsJoint(bare));
    EXPECT_EQ(null->GetSkeleton()->GetSkeletonType(), KZeqSkeleton::eLIMB_NODE);
    EXPECT_EQ(bare->GetSkeleton()->GetSkeletonType(), KZeqSkeleton::eLIMB_NODE);
}

// Reserved cameras under the root leave the scene, their children coming up to the root; deeper
// ones stay; bare camera targets leave the set only.
TEST_F(PrepareTest, TheNodeSetLeavesOutHostCamerasAndTargets) {
    KZeqNode* persp = Add(mRoot, "persp", "camera");
    Add(persp, "perspChild");
    KZeqNode* group = Add(mRoot, "group");
    Add(group, "top", "camera");
    KZeqNode* cam = Add(mRoot, "cam", "camera");
    KZeqNode* aim = Add(mRoot, "aim");
    cam->SetTarget(aim);
    mDriver.FillQuorbelNodeArray(mRoot);
    EXPECT_EQ(Keys(), "Model::cam Model::group Model::perspChild Model::top");
    EXPECT_EQ(mRoot->FindChild("persp", false), nullptr);
    EXPECT_NE(mRoot->FindChild("perspChild", false), nullptr);
    EXPECT_NE(mRoot->FindChild("aim", false), nullptr);
}

// What only marks where a camera looks: a null or an attribute-less node outside a skeleton, without
// children, keyed in its position at most, bound to no skin (meshes, lights, cameras and joints as
// targets are in the camera tests).
struct BareCase {
    const char* name;
    const char* scene;  // BuildScene's notation; the node "T" is asked about
    bool positionOnly;  // its keys ("*") are on its position alone
    bool skinLink;
    bool bare;
};
class BareTargets : public PrepareTest, public ::testing::WithParamInterface<BareCase> {};

TEST_P(BareTargets, MarkOnlyWhereACameraLooks) {
    const BareCase& c = GetParam();
    KZeqNode* target = importtest::BuildScene(Manager(), *mScene, c.scene).at("T").mNode;
    if (c.positionOnly) target->GetCurrentTakeNode()->GetEulerRotationY()->KeyClear();
    std::unordered_set<const KZeqNode*> links;
    if (c.skinLink) links.insert(target);
    EXPECT_EQ(IsBareTarget(target, links), c.bare);
    EXPECT_FALSE(IsBareTarget(nullptr));
}

const BareCase kBareCases[] = {
    {"Null", "T", false, false, true},
    {"NoAttribute", "T=none", false, false, true},
    {"KeyedInPosition", "T=null*", true, false, true},
    {"KeyedBeyond", "T=null*", false, false, false},
    {"EndOfASkeleton", "Hip=joint(T=none)", false, false, false},
    {"WithAChild", "T(Kid)", false, false, false},
    {"BoundToASkin", "T", false, true, false},
};
INSTANTIATE_TEST_SUITE_P(Prepare, BareTargets, ::testing::ValuesIn(kBareCases), CaseName());

// Files from 5.8 on are never old, whatever their pivot states; below, a node whose pivots are
// not in use makes the file old (the 5.x reader leaves every node so), the root alone does not.
struct VersionCase {
    const char* name;
    int row;
    const char* version;  // written over "5800" in the file; null: kept
    bool withNode;
    bool old;
};
class OldVersionFiles : public PrepareTest, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(OldVersionFiles, FollowTheVersionAndThePivotStates) {
    const VersionCase& c = GetParam();
    const std::string path = ZeqTuloTestDirectory() + "file.zeq";
    std::string error;
    ASSERT_TRUE(importtest::WriteSceneAs(path, [&c](KZeqSdkManager& manager, KZeqScene& scene) {
        if (!c.withNode) return;
        KZeqNode* a = AddNode(manager, scene.GetRootNode(), "a");
        AddNode(manager, a, "b")->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_REFERENCE);
    }, c.row, &error)) << error;
    if (c.version) {
        std::string text = ZeqTuloReadFile(path);
        for (std::size_t at = text.find("5800"); at != std::string::npos; at = text.find("5800", at))
            text.replace(at, 4, c.version);
        std::ofstream(path) << text;
    }
    ZeqTuloImport driver;
    driver.OpenProject(TString(path.c_str()));
    KZeqScene* scene = driver.GetSdkManager().CreateKZeqScene();
    ASSERT_TRUE(driver.GetImporter()->Import(*scene)) << driver.GetImporter()->GetLastErrorString();
    EXPECT_EQ(IsOldVersion(scene->GetRootNode(), driver.GetImporter()), c.old);
}

const VersionCase kVersions[] = {
    {"Six", KZeqExporter::eZEQ_BINARY, nullptr, true, false},
    {"FiveEight", KZeqExporter::eZEQ_5_ASCII, nullptr, true, false},
    {"FiveFive", KZeqExporter::eZEQ_5_ASCII, "5500", true, true},
    {"FiveFiveRootOnly", KZeqExporter::eZEQ_5_ASCII, "5500", false, false},
};
INSTANTIATE_TEST_SUITE_P(Prepare, OldVersionFiles, ::testing::ValuesIn(kVersions), CaseName());

TempPoseData* Record(KZeqNode* node) {
    TempPoseData* record = new TempPoseData;
    record->mNode = static_cast<ZeqTuloNode*>(node);
    return record;
}

// Records end in tree order, one a node (the last of each); the others are handed back.
TEST_F(PrepareTest, ReOrderPutsRecordsInTreeOrder) {
    KZeqNode* a = Add(mRoot, "a");
    KZeqNode* b = Add(a, "b");
    KZeqNode* c = Add(mRoot, "c");
    KZeqNode* outside = Manager().CreateKZeqNode("outside");
    KArrayTemplate<TempPoseData*> records, dropped;
    ReOrder(records, mRoot, &dropped);
    EXPECT_EQ(records.GetCount(), 0);
    records.Add(Record(outside));
    ReOrder(records, mRoot, &dropped);
    ASSERT_EQ(records.GetCount(), 1);  // one record stays, even outside the tree
    TempPoseData* first = records[0];
    records.Clear();
    TempPoseData *rc = Record(c), *rb1 = Record(b), *ra = Record(a), *rb2 = Record(b), *ro = first;
    for (TempPoseData* r : {rc, rb1, ra, rb2, ro}) records.Add(r);
    ReOrder(records, mRoot, &dropped);
    ASSERT_EQ(records.GetCount(), 3);
    EXPECT_EQ(records[0], ra);
    EXPECT_EQ(records[1], rb2);
    EXPECT_EQ(records[2], rc);
    ASSERT_EQ(dropped.GetCount(), 2);
    for (TempPoseData* r : {rc, rb1, ra, rb2, ro}) delete r;
    Manager().DestroyKZeqNode(outside);
}

// Every walk of the preparation down a chain of 5000 nodes, on a stack that a walk recursing once
// per level would overflow: only the deepest node makes the tree old, its skin links to the top
// and makes it a joint, the records of both come in tree order, and the host's camera leaves the
// set while its whole chain comes up to the root.
TEST_F(PrepareTest, DeepChainsWithoutRecursion) {
    constexpr int kDepth = 5000;
    KZeqNode* top = Add(mRoot, "c0");
    KZeqNode* deepest = top;
    for (int i = 1; i < kDepth; ++i) deepest = Add(deepest, ("c" + std::to_string(i)).c_str());
    KZeqNode* camera = Add(mRoot, "persp", "camera");
    for (int i = 0; i < kDepth; ++i) camera = Add(camera, ("p" + std::to_string(i)).c_str());
    KZeqNode* skin = Add(deepest, "skin", "mesh");
    KZeqLink* link = Manager().CreateKZeqLink();
    link->SetLink(top);
    skin->GetMesh()->AddLink(link);
    for (int i = 0; i < Manager().GetKZeqNodeCount(); ++i)
        Manager().GetKZeqNode(i)->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_ACTIVE);
    skin->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_REFERENCE);
    TempPoseData *deep = Record(skin), *high = Record(top);
    RunOnSmallStack(128 * 1024, [&] {
        EXPECT_TRUE(IsOldVersion(mRoot));
        int links = 0;
        CountNbZeqLinks(mRoot, links);
        EXPECT_EQ(links, 1);
        ReplaceNullsUsedAsLinks(mRoot, Manager());
        EXPECT_TRUE(IsJoint(top));
        KArrayTemplate<TempPoseData*> records;
        records.Add(deep), records.Add(high);
        ReOrder(records, mRoot);
        ASSERT_EQ(records.GetCount(), 2);
        EXPECT_EQ(records[0], high);
        mDriver.FillQuorbelNodeArray(mRoot);
        EXPECT_EQ(mDriver.GetQuorbelNodeArray().GetCount(), 2 * kDepth + 1);
        EXPECT_EQ(mRoot->GetChildCount(), 2);
    });
    delete deep;
    delete high;
}

}  // namespace

// ---- Nodes named like the host's own cameras, through the import ------------------------------

namespace {

using importtest::AddTriangle;
using importtest::HostAttr;
using importtest::HostPath;
using importtest::Key;

// The host's view cameras as they stand: the transform values and the children of each.
std::string ViewCameras() {
    std::string text;
    for (const std::string name : {"|persp", "|top", "|front", "|side"}) {
        text += name + ": " + HostAttr(name + ".translate") + " / " + HostAttr(name + ".rotate") + " / " +
                HostAttr(name + ".scale") + " / ";
        const TObject node = standin::find(name);
        text += node.isNull() ? "<none>" : std::to_string(TFnDagNode(node).childCount()) + "\n";
    }
    return text;
}

KZeqNode* Placed(KZeqNode* node, KZeqVector4 t, KZeqVector4 r = {}, KZeqVector4 s = {1, 1, 1, 0}) {
    node->SetDefaultT(t);
    node->SetDefaultR(r);
    node->SetDefaultS(s);
    return node;
}

struct NameCase {
    const char* name;
    void (*mBuild)(KZeqSdkManager&, KZeqScene&);
    const char* mPaths;  // "node=|host|path ..."
    const char* mAttr;   // "plug=value": a value the file gave
    const char* mLog;    // lines the log holds, each ending in "\n"
};

const NameCase kNameCases[] = {
    {"MeshNamedTop",
     [](KZeqSdkManager& m, KZeqScene& s) { Placed(AddTriangle(m, s.GetRootNode(), "top")->GetNode(), {10, 0, 0, 0}); },
     "top1=|top1", "top1.translateX=10",
     "Node top: the host has its own camera of this name; this node comes in as top1.\n"},
    {"NullNamedPerspWithAChild",
     [](KZeqSdkManager& m, KZeqScene& s) {
         AddNode(m, Placed(AddNode(m, s.GetRootNode(), "persp"), {0, 5, 0, 0}), "K");
     },
     "persp1=|persp1 K=|persp1|K", "persp1.translateY=5",
     "Node persp: the host has its own camera of this name; this node comes in as persp1.\n"},
    {"CameraTopBelowTheHostsPersp",
     [](KZeqSdkManager& m, KZeqScene& s) {
         KZeqNode* top = AddNode(m, AddNode(m, s.GetRootNode(), "persp", "camera"), "top", "camera");
         AddTriangle(m, Placed(top, {0, 0, 7, 0}), "K");
     },
     "top1=|top1 K=|top1|K", "top1.translateZ=7",
     "Camera persp: the host has its own camera of this name; it is left out, and the 1 node below it comes in "
     "at the top.\nCamera top: the host has its own camera of this name; this node comes in as top1.\n"},
    {"NumberTakenInTheFile",
     [](KZeqSdkManager& m, KZeqScene& s) {
         Placed(AddTriangle(m, s.GetRootNode(), "side")->GetNode(), {0, 0, 3, 0});
         AddNode(m, s.GetRootNode(), "side1");
     },
     "side2=|side2 side1=|side1", "side2.translateZ=3",
     "Node side: the host has its own camera of this name; this node comes in as side2.\n"},
};

void PrintTo(const NameCase& c, std::ostream* out) { *out << c.name; }

class HostCameraNameTest : public ImportDriverTest,
                           public ::testing::WithParamInterface<std::tuple<NameCase, KZeqUserParams::ELoadMode>> {};

std::string NameCaseName(const ::testing::TestParamInfo<std::tuple<NameCase, KZeqUserParams::ELoadMode>>& info) {
    return std::string(std::get<0>(info.param).name) +
           (std::get<1>(info.param) == KZeqUserParams::kMerge ? "Merged" : "New");
}

}  // namespace

// Such a node took the host's camera over: the mesh was lost and the camera moved, or a child came
// in below the camera. It comes in beside the camera under a number, in a new scene and merged.
TEST_P(HostCameraNameTest, ComesInBesideTheHostsCamera) {
    const NameCase& c = std::get<0>(GetParam());
    Params()->SetImportType(std::get<1>(GetParam()));
    const std::string cameras = ViewCameras();
    ASSERT_TRUE(Import(Write(c.name, c.mBuild)));
    EXPECT_EQ(ViewCameras(), cameras);
    std::istringstream paths(c.mPaths);
    for (std::string pair; paths >> pair;) {
        const std::string name = pair.substr(0, pair.find('='));
        EXPECT_EQ(HostPath(name), pair.substr(pair.find('=') + 1)) << name;
    }
    const std::string attr(c.mAttr);
    EXPECT_EQ(HostAttr(attr.substr(0, attr.find('='))), attr.substr(attr.find('=') + 1));
    const std::string log = Log();
    std::istringstream lines(c.mLog);
    for (std::string line; std::getline(lines, line);) EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
}

INSTANTIATE_TEST_SUITE_P(Prepare, HostCameraNameTest,
                         ::testing::Combine(::testing::ValuesIn(kNameCases),
                                            ::testing::Values(KZeqUserParams::kCreate, KZeqUserParams::kMerge)),
                         NameCaseName);

namespace {

class LeftOutCameraTest : public ImportDriverTest {
protected:
    // The host's world matrix of the node against the expected one, within float precision.
    void ExpectWorld(const char* name, const KZeqXMatrix& expected, const std::string& where) {
        TMatrix host;
        ASSERT_TRUE(ExtractWorldMatrix(TFnTransform(standin::find(name)), host)) << where;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(host.matrix[r][c], expected.mData[r][c], 1e-4 * std::max(1.0, std::fabs(expected.mData[r][c])))
                    << where << " [" << r << "][" << c << "]";
    }
};

}  // namespace

// Children came in at the top with their local values, moved by the camera's transform. Over
// generated arrangements (the camera turned, moved and scaled uniformly, the child anyhow) each
// keeps its world matrix, and the log says nothing could not be kept.
TEST_F(LeftOutCameraTest, ChildrenKeepTheirWorldTransform) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> position(-20, 20), angle(-180, 180), scale(0.5, 2);
    auto vector = [&](std::uniform_real_distribution<double>& d) { return KZeqVector4(d(random), d(random), d(random), 0); };
    for (int arrangement = 0; arrangement < 8; ++arrangement) {
        KZeqXMatrix expectedK, expectedL;
        const std::string path = Write(("arrangement" + std::to_string(arrangement)).c_str(), [&](KZeqSdkManager& m,
                                                                                                   KZeqScene& s) {
            const double uniform = scale(random);
            KZeqNode* camera = Placed(AddNode(m, s.GetRootNode(), "persp", "camera"), vector(position), vector(angle),
                                      KZeqVector4(uniform, uniform, uniform, 0));
            KZeqNode* k = Placed(AddTriangle(m, camera, "K")->GetNode(), vector(position), vector(angle), vector(scale));
            KZeqNode* l = Placed(AddNode(m, k, "L"), vector(position), vector(angle), vector(scale));
            expectedK = k->GetGlobalFromDefaultTake();
            expectedL = l->GetGlobalFromDefaultTake();
        });
        ASSERT_TRUE(Import(path));
        const std::string where = "arrangement " + std::to_string(arrangement);
        ASSERT_EQ(HostPath("K"), "|K") << where;
        ExpectWorld("K", expectedK, where);
        ExpectWorld("L", expectedL, where);
        EXPECT_EQ(Log().find("differ"), std::string::npos) << where << "\n" << Log();
    }
}

// What a child's values cannot hold is said: a shear, pivots or rotation orders, keys between
// their times, the camera's own motion. A keyed child keeps its world matrix at its keys, a child
// of a keyed camera the one the camera gives it at the host's time.
struct NoteCase {
    const char* name;
    void (*mBuild)(KZeqSdkManager&, KZeqScene&);
    const char* mTake;
    const char* mLog;
    int mWorldTimes;  // K's world matrix checked at none (0), at the time 0 (1), at the times 0 and 1 (2)
};

const NoteCase kNoteCases[] = {
    {"ShearingCamera",
     [](KZeqSdkManager& m, KZeqScene& s) {
         KZeqNode* camera = Placed(AddNode(m, s.GetRootNode(), "persp", "camera"), {}, {}, {1, 2, 1, 0});
         Placed(AddNode(m, camera, "K"), {}, {0, 0, 45, 0});
     },
     "",
     "Node K: the transform of the camera persp shears it, which its translation, rotation and scaling cannot hold; "
     "its place in the world differs.",
     0},
    {"ChildInAnotherRotationOrder",
     [](KZeqSdkManager& m, KZeqScene& s) {
         KZeqNode* camera = Placed(AddNode(m, s.GetRootNode(), "top", "camera"), {}, {0, 90, 0, 0});
         Placed(AddNode(m, camera, "K"), {}, {10, 20, 0, 0})->SetRotationOrder(KZeqNode::eSOURCE_SET, eEULER_ZXY);
     },
     "",
     "Node K: the transform of the camera top is composed into its transform without its pivots and rotation "
     "order; its place in the world may differ.",
     0},
    // The camera's transform as its translation, rotation and scaling give it: its own pivots are
    // no part of what its children take.
    {"CameraWithAPivot",
     [](KZeqSdkManager& m, KZeqScene& s) {
         KZeqNode* camera = Placed(AddNode(m, s.GetRootNode(), "front", "camera"), {}, {0, 90, 0, 0});
         camera->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_ACTIVE);
         camera->SetRotationPivot(KZeqNode::eSOURCE_SET, KZeqVector4(0, 0, 5, 0));
         Placed(AddNode(m, camera, "K"), {10, 1, 0, 0});
     },
     "",
     "Camera front: the nodes below it take its transform without its pivots and rotation order; their place in "
     "the world may differ.",
     0},
    // A post-rotation comes before the child's rotation, which takes the camera's: nothing to say.
    {"ChildWithAPostRotation",
     [](KZeqSdkManager& m, KZeqScene& s) {
         KZeqNode* camera = Placed(AddNode(m, s.GetRootNode(), "side", "camera"), {1, 2, 3, 0}, {0, 90, 0, 0});
         KZeqNode* k = Placed(AddNode(m, camera, "K"), {10, 1, 0, 0}, {0, 0, 20, 0});
         k->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_ACTIVE);
         k->SetPostRotation(KZeqNode::eSOURCE_SET, KZeqVector4(0, -90, 0, 0));
     },
     "",
     "Camera side: the host has its own camera of this name; it is left out, and the 1 node below it comes in "
     "at the top.",
     0},
    {"KeyedChild",
     [](KZeqSdkManager& m, KZeqScene& s) {
         KZeqNode* camera = Placed(AddNode(m, s.GetRootNode(), "persp", "camera"), {1, 0, 0, 0}, {0, 90, 0, 0});
         KZeqNode* k = Placed(AddNode(m, camera, "K"), {10, 1, 0, 0});
         s.CreateTake("Take 001");
         k->SetCurrentTakeNode("Take 001");
         Key(k->GetCurrentTakeNode()->GetTranslationX(), 0.0, 10.0f);
         Key(k->GetCurrentTakeNode()->GetTranslationX(), 1.0, 4.0f);
     },
     "Take 001",
     "Node K: its keys take the transform of the camera persp key by key; between keys its motion may differ.",
     2},
    {"KeyedCamera",
     [](KZeqSdkManager& m, KZeqScene& s) {
         KZeqNode* camera = Placed(AddNode(m, s.GetRootNode(), "front", "camera"), {}, {0, 0, 30, 0});
         Placed(AddNode(m, camera, "K"), {10, 1, 0, 0});
         s.CreateTake("Take 001");
         camera->SetCurrentTakeNode("Take 001");
         Key(camera->GetCurrentTakeNode()->GetTranslationY(), 0.0, 2.0f);
         Key(camera->GetCurrentTakeNode()->GetTranslationY(), 1.0, 8.0f);
     },
     "Take 001",
     "Camera front: its animation is left out with it; the nodes below it keep the place it gives them at the "
     "host's current time.",
     1},
};

void PrintTo(const NoteCase& c, std::ostream* out) { *out << c.name; }

class LeftOutCameraNoteTest : public LeftOutCameraTest, public ::testing::WithParamInterface<NoteCase> {};

TEST_P(LeftOutCameraNoteTest, SaysWhatCannotBeKept) {
    const NoteCase& c = GetParam();
    std::map<double, KZeqXMatrix> expected;
    const std::string path = Write(c.name, [&](KZeqSdkManager& m, KZeqScene& s) {
        c.mBuild(m, s);
        KZeqNode* k = s.GetRootNode()->GetChild(0)->GetChild(0);
        if (*c.mTake) {
            for (KZeqNode* node : {k->GetParent(), k}) node->SetCurrentTakeNode(c.mTake);
            for (double t : {0.0, 1.0}) {
                KTime time;
                time.SetSecondDouble(t);
                expected[t] = k->GetGlobalFromCurrentTake(time);
            }
        } else {
            expected[0] = k->GetGlobalFromDefaultTake();
        }
    });
    ASSERT_TRUE(Import(path, c.mTake));
    ASSERT_EQ(HostPath("K"), "|K");
    EXPECT_NE(Log().find(c.mLog), std::string::npos) << Log();
    if (std::string(c.mLog).find("pivots") == std::string::npos) {
        EXPECT_EQ(Log().find("pivots"), std::string::npos) << Log();
    }
    for (const auto& [t, world] : expected) {
        if (t >= c.mWorldTimes) continue;
        TAnimControl::setCurrentTime(TTime(t, TTime::kSeconds));
        ExpectWorld("K", world, "at " + std::to_string(t));
    }
}

INSTANTIATE_TEST_SUITE_P(Prepare, LeftOutCameraNoteTest, ::testing::ValuesIn(kNoteCases), CaseName());

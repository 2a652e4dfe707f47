// Scene preparation: old-version test, deforming nulls made joints, the node set, tree order.
#include <gtest/gtest.h>

#include <map>
#include <string>
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
#include "scene/kzeqnode.h"
#include "scene/kzeqnodeattribute.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqtakenode.h"

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

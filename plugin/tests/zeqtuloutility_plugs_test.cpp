// Plugs by name, the names host commands accept, and matrices through "setAttr".
#include "zeqtulo_test_support.h"

#include "plugin/zeqtulonode.h"
#include "plugin/zeqtulosdkmanager.h"
#include "plugin/zeqtuloutility.h"

namespace {

using PlugsTest = HostTest;

TEST_F(PlugsTest, FindPlugByPathOrNode) {
    TDagPath box = TDagPath::getAPathTo(standin::createNode("transform", "box"));
    TPlug plug = standin::plug("box.scaleX");
    EXPECT_EQ(ZeqTuloUtility::FindPlug(nullptr, plug, "visibility").statusCode(), TStatus::kFailure);
    EXPECT_TRUE(plug == standin::plug("box.scaleX"));  // untouched
    ZeqTuloSdkManager manager(ZeqTuloSdkManager::eImport);
    ZeqTuloNode* bare = manager.CreateZeqTuloNode("bare", nullptr);
    EXPECT_FALSE(ZeqTuloUtility::FindPlug(*bare, plug, "visibility"));
    ZeqTuloNode* node = manager.CreateZeqTuloNode("box", &box);
    ASSERT_TRUE(ZeqTuloUtility::FindPlug(*node, plug, "visibility"));
    EXPECT_STREQ(plug.info().asChar(), "box.visibility");
    EXPECT_FALSE(ZeqTuloUtility::FindPlug(&box, plug, "bindPose"));
    EXPECT_TRUE(plug.isNull());
}

TEST_F(PlugsTest, UniqueNamesAndMatrixCommand) {
    ASSERT_TRUE(standin::buildScene("skinRig"));
    TString name;
    ASSERT_TRUE(ZeqTuloUtility::GetPlugUniqueName(standin::plug("knee.bindPose"), name));
    EXPECT_STREQ(name.asChar(), "|hip|knee.bindPose");
    ASSERT_TRUE(ZeqTuloUtility::GetPlugUniqueName(standin::plug("bindPose1.worldMatrix[3]"), name));
    EXPECT_STREQ(name.asChar(), "bindPose1.worldMatrix[3]");
    const double identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    ZeqTuloUtility::SetPlugMatrix(standin::plug("knee.bindPose"), identity, false);
    EXPECT_TRUE(transcribed("command: \"setAttr |hip|knee.bindPose -type \\\"matrix\\\" 1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1\" "
                            "display 0 undo 0 -> ok"));
    const double moved[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0.5, -2, 1e-7, 1};
    ZeqTuloUtility::SetPlugMatrix(standin::plug("legSkin.geomMatrix"), moved, true);
    EXPECT_EQ(run("getAttr legSkin.geomMatrix"), "1 0 0 0 0 1 0 0 0 0 1 0 0.5 -2 1e-07 1");
    // A rejected command is printed and the caller goes on.
    standin::plug("knee.bindPose").setLocked(true);
    ZeqTuloUtility::SetPlugMatrix(standin::plug("knee.bindPose"), moved, false);
    EXPECT_TRUE(transcribed("is locked"));
}

TEST_F(PlugsTest, GetPlugPrintsWhatIsMissing) {
    TFnDependencyNode skin(standin::createNode("skinCluster", "skin"));
    TPlug plug;
    EXPECT_TRUE(ZeqTuloUtility::GetPlug(skin, "geomMatrix", plug));
    TFnDependencyNode box(standin::createNode("transform", "box"));
    EXPECT_FALSE(ZeqTuloUtility::GetPlug(box, "bindPreMatrix", plug));
    EXPECT_TRUE(transcribed("Plug not found : bindPreMatrix: (kFailure)"));
}

}  // namespace

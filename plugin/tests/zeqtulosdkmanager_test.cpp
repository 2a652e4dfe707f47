// The plug-in's SDK manager: bridge nodes, name-clash resolution in both modes, image converters.
#include "zeqtulo_test_support.h"

#include "content/kzeqimageconverter.h"
#include "plugin/zeqtuloimageconverters.h"
#include "plugin/zeqtulonode.h"
#include "plugin/zeqtulosdkmanager.h"
#include "scene/kzeqpose.h"

using namespace zeqsdk_400;

namespace {

using SdkManagerTest = HostTest;

TEST_F(SdkManagerTest, BridgeNodesHoldTheirHostSide) {
    ZeqTuloSdkManager manager(ZeqTuloSdkManager::eExport);
    TDagPath path = TDagPath::getAPathTo(standin::createNode("transform", "box"));
    ZeqTuloNode* node = manager.CreateZeqTuloNode("box", &path);
    ZeqTuloNode* bare = manager.CreateZeqTuloNode("bare", nullptr);
    ASSERT_TRUE(node && bare);
    EXPECT_STREQ(node->GetName(), "Model::box");
    ASSERT_NE(node->GetDagPath(), nullptr);
    EXPECT_TRUE(*node->GetDagPath() == path);
    EXPECT_EQ(bare->GetDagPath(), nullptr);
    EXPECT_EQ(node->GetShapeIndex(), -1);
    EXPECT_EQ(node->GetGlobalScaling()[2], 1);
    TObject shape = standin::createNode("locator", "", path.node());
    node->SetShapeObject(&shape);
    EXPECT_TRUE(*node->GetShapeObject() == shape);
    node->SetShapeObject(nullptr);
    EXPECT_EQ(node->GetShapeObject(), nullptr);
    node->SetUserPropertyName("My Weight", "My_Weight");
    node->SetUserPropertyName("MY WEIGHT", "My_Weight1");  // keys ignore case: replaced
    EXPECT_STREQ(node->GetUserPropertyName("my weight")->Buffer(), "My_Weight1");
    EXPECT_EQ(node->GetUserPropertyName("other"), nullptr);
    node->AddChild(manager.CreateZeqTuloNode("child", nullptr));
    EXPECT_EQ(static_cast<ZeqTuloNode*>(node->GetChild(0))->GetParent(), node);
    EXPECT_TRUE(manager.DestroyZeqTuloNode(node, true));
    EXPECT_EQ(manager.GetKZeqNodeCount(), 1);
}

// Names as the host gives them on export: clashes marked the Zeq way, namespaces recorded.
TEST_F(SdkManagerTest, ExportResolvesClashesTheZeqWay) {
    ZeqTuloSdkManager manager(ZeqTuloSdkManager::eExport);
    std::vector<ZeqTuloNode*> nodes;
    for (const char* name : {"box", "A:box", "box", "Box", "A:B:box"}) nodes.push_back(manager.CreateZeqTuloNode(name, nullptr));
    manager.ResolveNameClashing();
    std::vector<std::string> names, spaces;
    for (ZeqTuloNode* n : nodes) names.push_back(n->GetName()), spaces.push_back(n->mNamespace.Buffer());
    EXPECT_EQ(names, std::vector<std::string>({"Model::box", "Model::A:box", "Model::box_ncl1_1", "Model::box_ncl2_lu1",
                                               "Model::A:B:box"}));
    EXPECT_EQ(spaces, std::vector<std::string>({"", "A", "", "", "A:B"}));
    for (ZeqTuloNode* n : nodes) EXPECT_FALSE(n->mAddNamespace);
}

// Names read from a file on import: clash marks read back (the host's name is the one before the
// mark), names the host takes and unique, the first node of each namespace adds it (a nested one
// whole), pose entries follow.
TEST_F(SdkManagerTest, ImportMakesHostNames) {
    ZeqTuloSdkManager manager(ZeqTuloSdkManager::eImport);
    std::vector<ZeqTuloNode*> nodes;
    for (const char* name : {"box", "box_ncl1_1", "Face.Smile", "1st", "A:arm", "A:leg", "B:arm", "box(2)", "box", "A:B:hand"})
        nodes.push_back(manager.CreateZeqTuloNode(name, nullptr));
    KZeqPose* pose = manager.CreateKZeqPose("bind", true);
    KZeqMatrix identity;
    identity.SetIdentity();
    pose->Add("Model::Face.Smile", identity, false);
    pose->Add("Model::A:arm", identity, false);
    manager.ResolveNameClashing();
    std::vector<std::string> names, spaces, added;
    for (ZeqTuloNode* n : nodes) {
        names.push_back(n->GetName());
        spaces.push_back(n->mNamespace.Buffer());
        added.push_back(n->mAddNamespace ? "+" : "-");
    }
    EXPECT_EQ(names, std::vector<std::string>({"Model::box", "Model::box1", "Model::Face_Smile", "Model::_1st",
                                               "Model::A:arm", "Model::A:leg", "Model::B:arm", "Model::box2",
                                               "Model::box3", "Model::A:B:hand"}));
    EXPECT_EQ(spaces, std::vector<std::string>({"", "", "", "", "A", "A", "B", "", "", "A:B"}));
    EXPECT_EQ(added, std::vector<std::string>({"-", "-", "-", "-", "+", "-", "+", "-", "-", "+"}));
    EXPECT_STREQ(pose->GetNodeName(0), "Model::Face_Smile");
    EXPECT_STREQ(pose->GetNodeName(1), "Model::A:arm");
}

// A number given to keep a name unique never takes the name another node of the file has: that
// node keeps its own, and a merge binds each by the name it had in the host.
TEST_F(SdkManagerTest, ImportNumbersAroundTheFileNames) {
    ZeqTuloSdkManager manager(ZeqTuloSdkManager::eImport);
    std::vector<ZeqTuloNode*> nodes;
    for (const char* name : {"rig", "rig_ncl1_1", "rig1", "rig_ncl1_2", "rig2"})
        nodes.push_back(manager.CreateZeqTuloNode(name, nullptr));
    manager.ResolveNameClashing();
    std::vector<std::string> names, fileNames;
    for (ZeqTuloNode* n : nodes) names.push_back(n->GetName()), fileNames.push_back(n->mFileHostName.Buffer());
    EXPECT_EQ(names, std::vector<std::string>({"Model::rig", "Model::rig3", "Model::rig1", "Model::rig4", "Model::rig2"}));
    EXPECT_EQ(fileNames, std::vector<std::string>({"rig", "rig", "rig1", "rig", "rig2"}));
}

TEST_F(SdkManagerTest, TiffConvertersRegistered) {
    ZeqTuloSdkManager manager(ZeqTuloSdkManager::eExport);
    ZeqTuloRegisterImageConverters(&manager);
    ASSERT_EQ(manager.GetKZeqImageConverterCount(), 1);
    std::string dir = ZeqTuloTestDirectory();
    ImageConverterBuffer pixels;
    pixels.Init(2, 1, true, ImageConverterBuffer::eRGB, 3);
    for (int i = 0; i < 6; ++i) pixels.mData[i] = static_cast<unsigned char>(40 * i);
    KString tif((dir + "t.tif").c_str()), png((dir + "t.png").c_str());
    KZeqImageConverter* converter = manager.GetKZeqImageConverter(0);
    EXPECT_TRUE(converter->Convert(1, tif, pixels));
    ImageConverterBuffer back;
    EXPECT_TRUE(converter->Convert(0, tif, back));
    ASSERT_TRUE(back.mData && back.mWidth == 2 && back.mHeight == 1);
    EXPECT_EQ(back.mData[5], 200);
    EXPECT_FALSE(converter->Convert(1, png, pixels));  // no converter for that kind
}

}  // namespace

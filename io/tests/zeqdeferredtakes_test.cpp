// Nodes whose default take has not made its channels yet are written and read as nodes whose
// channels were made: the files are the same byte for byte, and what is read back is the same.
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "content/kzeqnull.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "fileio/tests/fileio_test_support.h"
#include "io/tests/zeqroundtrip.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"
#include "scene/tests/scene_test_support.h"

using namespace zeqsdk_400;
using namespace zeqiotest;
using scenetest::ExpectSameTree;
using scenetest::PropertyValues;

namespace {

std::string Bytes(const std::string& path) { return zeqtest::ReadZeqFileUnstamped(path); }

// Null nodes in the states a scene meets: left alone, moved, hidden, scaled through their
// properties only, given defaults, with a second take, and one whose channels were looked at.
KZeqScene* MakeScene(KZeqSdkManager& manager, bool makeChannels) {
    KZeqScene* scene = manager.CreateKZeqScene();
    KZeqNode* parent = scene->GetRootNode();
    for (int i = 0; i < 8; ++i) {
        KZeqNode* node = manager.CreateKZeqNode(("n" + std::to_string(i)).c_str());
        node->SetNodeAttribute(manager.CreateKZeqNull());
        parent->AddChild(node);
        if (i % 3 == 2) parent = node;
        switch (i) {
            case 1: node->SetDefaultT(KZeqVector4(1.5, -2, 0.1, 0)); break;
            case 2: node->SetVisibility(false); break;
            case 3: {
                const double s[3] = {2.0, 3.0, 0.3};
                node->GetPropertyHandler()->mLclScaling->SetData(s);
                break;
            }
            case 4: node->SetDefaultR(KZeqVector4(10, 20, 30, 0)), node->SetDefaultVisibility(0.5); break;
            case 6: node->GetDefaultTakeNode()->GetScaleX(); break;
            default: break;
        }
    }
    scene->CreateTake("Walk");
    parent->GetTakeNode(1)->GetTranslationX()->KeyAppendFast(KTime(0), 1.0f);
    if (makeChannels) {
        for (int i = 0; i < manager.GetKZeqNodeCount(); ++i) {
            KZeqNode* node = manager.GetKZeqNode(i);
            for (int take = 0; take < node->GetTakeNodeCount(); ++take) node->GetTakeNode(take)->GetKFCurveNode();
        }
    }
    return scene;
}

// A manager whose nodes make their channels as soon as they are made: they read as before.
class MadeChannelsManager : public KZeqSdkManager {
public:
    KZeqNode* AllocateKZeqNode(const char* name) override {
        KZeqNode* node = KZeqSdkManager::AllocateKZeqNode(name);
        node->GetDefaultTakeNode()->GetKFCurveNode();
        return node;
    }
};

// The nodes read by both managers agree: properties, takes, channels and callbacks.
void ExpectSameNodes(KZeqSdkManager& plain, KZeqSdkManager& made) {
    ASSERT_EQ(made.GetKZeqNodeCount(), plain.GetKZeqNodeCount());
    for (int i = 0; i < plain.GetKZeqNodeCount(); ++i) {
        KZeqNode* a = made.GetKZeqNode(i);
        KZeqNode* b = plain.GetKZeqNode(i);
        ASSERT_STREQ(a->GetName(), b->GetName());
        const std::string name = b->GetName();
        ASSERT_EQ(a->GetPropertyHandler()->GetPropertyCount(), b->GetPropertyHandler()->GetPropertyCount()) << name;
        for (int p = 0; p < a->GetPropertyHandler()->GetPropertyCount(); ++p)
            EXPECT_EQ(PropertyValues(a->GetPropertyHandler()->GetProperty(p)), PropertyValues(b->GetPropertyHandler()->GetProperty(p)))
                << name << " " << a->GetPropertyHandler()->GetProperty(p)->GetPropertyName();
        ASSERT_EQ(a->GetTakeNodeCount(), b->GetTakeNodeCount()) << name;
        for (int t = 0; t < a->GetTakeNodeCount(); ++t)
            ExpectSameTree(a->GetTakeNode(t)->GetKFCurveNode(), b->GetTakeNode(t)->GetKFCurveNode(),
                           name + ":" + a->GetTakeNodeName(t));
        ASSERT_EQ(a->GetDefaultTakeCallbackCount(), b->GetDefaultTakeCallbackCount()) << name;
        if (KFCurve* x = a->GetDefaultTakeNode()->GetTranslationX()) x->SetValue(42.0f);
        if (KFCurve* x = b->GetDefaultTakeNode()->GetTranslationX()) x->SetValue(42.0f);
        EXPECT_EQ(PropertyValues(a->GetPropertyHandler()->mLclTranslation), PropertyValues(b->GetPropertyHandler()->mLclTranslation))
            << name;
    }
}

class DeferredTakeFile : public ::testing::TestWithParam<ZeqFileCase> {
protected:
    zeqtest::TempDir mDir;
};

}  // namespace

TEST_P(DeferredTakeFile, WrittenAsMadeChannelsAre) {
    if (GetParam().mMode == 2) GTEST_SKIP() << "encrypted files differ from write to write (salted)";
    std::string files[2];
    std::vector<double> visibility[2];
    for (const bool made : {false, true}) {
        KZeqSdkManager manager;
        KZeqScene* scene = MakeScene(manager, made);
        files[made] = mDir / (made ? "made.zeq" : "deferred.zeq");
        ASSERT_TRUE(WriteZeqFile(manager, *scene, GetParam(), files[made]));
        for (int i = 0; i < manager.GetKZeqNodeCount(); ++i)
            visibility[made].push_back(manager.GetKZeqNode(i)->GetPropertyHandler()->mVisibility->AsDouble());
    }
    EXPECT_EQ(visibility[0], visibility[1]);
    const std::string deferred = Bytes(files[0]), made = Bytes(files[1]);
    ASSERT_FALSE(made.empty());
    EXPECT_TRUE(deferred == made);
}

TEST_P(DeferredTakeFile, ReadAsIntoMadeChannels) {
    const std::string path = mDir / "scene.zeq";
    {
        KZeqSdkManager writer;
        ASSERT_TRUE(WriteZeqFile(writer, *MakeScene(writer, false), GetParam(), path));
    }
    KZeqSdkManager plain;
    MadeChannelsManager made;
    ASSERT_TRUE(ReadZeqFile(plain, path) && ReadZeqFile(made, path));
    ExpectSameNodes(plain, made);
}

INSTANTIATE_TEST_SUITE_P(Forms, DeferredTakeFile, ::testing::ValuesIn(kZeqFileCases), ZeqFileCaseName);

namespace {

// Channel fields that do more than give default values: the channels read so are the node's own,
// made as they would be, with its callbacks; plain ones stay as they were.
struct ChannelEdit {
    const char* mName;
    const char* mFind;     // in the file written
    const char* mReplace;  // its replacement
};

const ChannelEdit kChannelEdits[] = {
    {"DefaultsOnly", "Default: 2\n", "Default: 2.5\n"},
    {"KeysInTheDefaultTake", "Default: 2\n", "Default: 2\nKeyVer: 4005\nKeyCount: 1\nKey: 0,7,L\n"},
    {"UnknownChannel", "Channel: \"Visibility\" {", "Channel: \"Extra\" {\nDefault: 3\n}\nChannel: \"Visibility\" {"},
    {"LayerType", "Default: 2\n", "Default: 2\nLayerType: 3\n"},
    {"UserName", "Default: 2\n", "UserName: \"Why\"\nDefault: 2\n"},
    {"TranslationLayerType", "LayerType: 1\n", "LayerType: 2\n"},
    {"RotationLayerType", "LayerType: 2\n", "LayerType: 4\n"},
    {"DefaultAsText", "Default: 2\n", "Default: \"2.5\"\n"},
    {"KeysInATake", "Default: 9\nColor: 0,1,0\n", "Default: 9\nKeyVer: 4005\nKeyCount: 1\nKey: 0,7,L\nColor: 0,1,0\n"},
    {"TakeDefaultsOnly", "Default: 9\nColor: 0,1,0\n", "Default: 8\nColor: 0,1,0\n"},
    {"TakeColour", "Default: 9\nColor: 0,1,0\n", "Default: 9\nColor: 0,0.5,0\n"},
};

class DeferredTakeChannels : public ::testing::TestWithParam<ChannelEdit> {
protected:
    zeqtest::TempDir mDir;
};

std::string EditName(const ::testing::TestParamInfo<ChannelEdit>& info) { return info.param.mName; }

}  // namespace

TEST_P(DeferredTakeChannels, ReadAsIntoMadeChannels) {
    const std::string written = mDir / "written.zeq", edited = mDir / "edited.zeq";
    {
        KZeqSdkManager writer;
        KZeqScene* scene = writer.CreateKZeqScene();
        KZeqNode* node = writer.CreateKZeqNode("a");
        node->SetNodeAttribute(writer.CreateKZeqNull());
        scene->GetRootNode()->AddChild(node);
        node->SetDefaultT(KZeqVector4(1, 2, 3, 0));
        scene->CreateTake("Walk");
        node->GetTakeNode(1)->GetTranslationY()->SetValue(9.0f);
        ASSERT_TRUE(WriteZeqFile(writer, *scene, kZeqFileCases[0], written));
    }
    // The ASCII form, one field a line: indentation dropped so that the edits match.
    std::string text;
    {
        std::ifstream in(written);
        for (std::string line; std::getline(in, line);) text += line.substr(line.find_first_not_of('\t') == std::string::npos ? line.size() : line.find_first_not_of('\t')) + "\n";
    }
    const std::size_t at = text.find(GetParam().mFind);
    ASSERT_NE(std::string::npos, at) << GetParam().mFind;
    text.replace(at, std::strlen(GetParam().mFind), GetParam().mReplace);
    std::ofstream(edited) << text;
    KZeqSdkManager plain;
    MadeChannelsManager made;
    std::string error;
    ASSERT_TRUE(ReadZeqFile(plain, edited, "", &error)) << error;
    ASSERT_TRUE(ReadZeqFile(made, edited)) << error;
    ExpectSameNodes(plain, made);
}

INSTANTIATE_TEST_SUITE_P(Edits, DeferredTakeChannels, ::testing::ValuesIn(kChannelEdits), EditName);

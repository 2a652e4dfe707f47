// Nodes whose default take has not made its channels yet are written and read as nodes whose
// channels were made: the files are the same byte for byte, and what is read back is the same.
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

using namespace zeqsdk_400;
using namespace zeqiotest;

namespace {

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

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

INSTANTIATE_TEST_SUITE_P(Forms, DeferredTakeFile, ::testing::ValuesIn(kZeqFileCases), ZeqFileCaseName);

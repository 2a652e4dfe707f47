// What a scene gives back: imports and Clears repeated in one process hold no more memory than the
// first, and a manager's end returns every block it took. A counting operator new replaces the
// global one in this test program only.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "base/tests/counting_new.h"
#include "content/kzeqcamera.h"
#include "content/kzeqlight.h"
#include "content/kzeqnull.h"
#include "fcurve/kfcurve.h"
#include "fileio/tests/fileio_test_support.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "io/tests/zeqroundtrip.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"
#include "scene/kzequserproperty.h"

using countingnew::gBlocks;
using namespace zeqsdk_400;

namespace {

struct HeapTest : ::testing::Test {
    zeqtest::TempDir mDir;
    std::string mPath = mDir / "scene.zeq";
};

// Wrappers of built-in properties made in every way a caller may make them, and defaults set.
void TouchProperties(KZeqSdkManager& manager, KZeqNode& root) {
    for (int i = 0; i < root.GetChildCount(); ++i) {
        KZeqNode* node = root.GetChild(i);
        node->GetProperty(i % node->GetPropertyCount());
        node->FindPropertyByName("Visibility");
        node->GetProperty(node->GetPropertyHandler()->GetProperty(2 * i % 54));
        node->SetDefaultT(KZeqVector4(i, 1, 2, 0));
        TouchProperties(manager, *node);
    }
    manager.FindKZeqUserProperty("AxisLen");
}

// Blocks held after each of three import + Clear rounds into one scene: the same every round.
std::vector<long long> ImportAndClear(KZeqSdkManager& manager, const std::string& path, int rounds,
                                      bool touch = false) {
    std::vector<long long> held;
    KZeqScene* scene = manager.CreateKZeqScene();
    for (int round = 0; round < rounds; ++round) {
        {
            KZeqImporter importer(manager);
            EXPECT_TRUE(importer.Initialize(path.c_str()) && importer.Import(*scene)) << importer.GetLastErrorString();
        }
        EXPECT_GT(scene->GetRootNode()->GetChildCount(), 0);
        if (touch) TouchProperties(manager, *scene->GetRootNode());
        scene->Clear();
        held.push_back(gBlocks.load());
    }
    manager.DestroyKZeqScene(scene, true);
    return held;
}

}  // namespace

// Nodes of several kinds with user properties and keyed takes, read again and again: each Clear
// gives back all that the read made of them, their property wrappers included. (Materials,
// textures and poses are the manager's until it ends or they are destroyed.)
TEST_F(HeapTest, ImportAndClearHoldNothingMoreEachRound) {
    {
        KZeqSdkManager writer;
        KZeqScene* scene = writer.CreateKZeqScene();
        for (int i = 0; i < 20; ++i) {
            KZeqNode* node = writer.CreateKZeqNode(("n" + std::to_string(i)).c_str());
            if (i % 3 == 0) node->SetNodeAttribute(writer.CreateKZeqNull());
            if (i % 3 == 1) node->SetNodeAttribute(writer.CreateKZeqCamera());
            if (i % 3 == 2) node->SetNodeAttribute(writer.CreateKZeqLight());
            KZeqUserProperty* user = writer.CreateKZeqUserProperty("Weight", "Real", "");
            node->AddProperty(user);
            user->SetDefaultValue(0.5 * i);
            (i % 2 ? scene->GetRootNode()->GetChild(0) : scene->GetRootNode())->AddChild(node);
        }
        scene->CreateTake("Walk");
        KFCurve* curve = scene->GetRootNode()->GetChild(0)->GetTakeNode(1)->GetTranslationX();
        for (int k = 0; k < 10; ++k) curve->KeyAppendFast(KTime(k * 1000), static_cast<float>(k));
        ASSERT_TRUE(zeqiotest::WriteZeqFile(writer, *scene, zeqiotest::kZeqFileCases[1], mPath));
    }
    for (const bool touch : {false, true}) {
        KZeqSdkManager manager;
        const std::vector<long long> held = ImportAndClear(manager, mPath, 4, touch);
        EXPECT_EQ(held[1], held[2]) << touch;
        EXPECT_EQ(held[2], held[3]) << touch;
    }
}

// Null nodes made, attached and cleared, or destroyed with their scene: the blocks come back, and
// the manager's end returns every one it took (after a first manager of the same size has filled
// the library's lasting tables and reuse pools).
void MakeNodes(KZeqSdkManager& manager, KZeqScene& scene, int count) {
    for (int i = 0; i < count; ++i) {
        KZeqNode* node = manager.CreateKZeqNode(("n" + std::to_string(i)).c_str());
        node->SetNodeAttribute(manager.CreateKZeqNull());
        scene.GetRootNode()->AddChild(node);
        if (i % 3 == 0) node->GetProperty(i % node->GetPropertyCount());  // a wrapper made on some
    }
    scene.CreateTake("Walk");
}

TEST_F(HeapTest, NodesGiveEverythingBack) {
    {
        KZeqSdkManager first;
        MakeNodes(first, *first.CreateKZeqScene(), 200);
    }
    const long long before = gBlocks.load();
    {
        KZeqSdkManager manager;
        long long settled = 0;
        for (int round = 0; round < 3; ++round) {
            KZeqScene* scene = manager.CreateKZeqScene();
            const long long start = gBlocks.load();
            MakeNodes(manager, *scene, 200);
            if (round == 0) {
                scene->Clear();
                EXPECT_LT(gBlocks.load() - start, 200) << "less than a block a node may stay after Clear";
            }
            manager.DestroyKZeqScene(scene, true);
            if (round == 1) settled = gBlocks.load();
            if (round == 2) {
                EXPECT_EQ(settled, gBlocks.load());
            }
        }
    }
    EXPECT_EQ(before, gBlocks.load());
}

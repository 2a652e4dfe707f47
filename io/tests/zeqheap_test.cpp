// What a scene gives back: imports and Clears repeated in one process hold no more memory than the
// first, and a manager's end returns every block it took. A counting operator new replaces the
// global one in this test program only.
#include <gtest/gtest.h>
#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

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

namespace {

std::atomic<long long> gBlocks{0};

void* Take(std::size_t size) {
    void* p = std::malloc(size ? size : 1);
    if (!p) throw std::bad_alloc();
    ++gBlocks;
    return p;
}

void Give(void* p) {
    if (!p) return;
    --gBlocks;
    std::free(p);
}

}  // namespace

void* operator new(std::size_t size) { return Take(size); }
void* operator new[](std::size_t size) { return Take(size); }
void operator delete(void* p) noexcept { Give(p); }
void operator delete[](void* p) noexcept { Give(p); }
void operator delete(void* p, std::size_t) noexcept { Give(p); }
void operator delete[](void* p, std::size_t) noexcept { Give(p); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    try {
        return Take(size);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void operator delete(void* p, const std::nothrow_t&) noexcept { Give(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { Give(p); }

using namespace zeqsdk_400;

namespace {

struct HeapTest : ::testing::Test {
    zeqtest::TempDir mDir;
    std::string mPath = mDir / "scene.zeq";
};

// Blocks held after each of three import + Clear rounds into one scene: the same every round.
std::vector<long long> ImportAndClear(KZeqSdkManager& manager, const std::string& path, int rounds) {
    std::vector<long long> held;
    KZeqScene* scene = manager.CreateKZeqScene();
    for (int round = 0; round < rounds; ++round) {
        {
            KZeqImporter importer(manager);
            EXPECT_TRUE(importer.Initialize(path.c_str()) && importer.Import(*scene)) << importer.GetLastErrorString();
        }
        EXPECT_GT(scene->GetRootNode()->GetChildCount(), 0);
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
    KZeqSdkManager manager;
    const std::vector<long long> held = ImportAndClear(manager, mPath, 4);
    EXPECT_EQ(held[1], held[2]);
    EXPECT_EQ(held[2], held[3]);
}

// Null nodes made, attached and cleared, or destroyed with their scene: the blocks come back, and
// the manager's end returns every one it took (after a first manager of the same size has filled
// the library's lasting tables and reuse pools).
void MakeNodes(KZeqSdkManager& manager, KZeqScene& scene, int count) {
    for (int i = 0; i < count; ++i) {
        KZeqNode* node = manager.CreateKZeqNode(("n" + std::to_string(i)).c_str());
        node->SetNodeAttribute(manager.CreateKZeqNull());
        scene.GetRootNode()->AddChild(node);
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

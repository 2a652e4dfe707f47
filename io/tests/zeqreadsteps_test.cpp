// Reads whose work must stay near n log n, held to it by the steps their searches and walks count
// (names compared, entries and nodes visited) rather than by a clock: the join of a 6.0 chain whose
// connections come in any order, a model with many user properties, many takes.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "base/kstepcount.h"
#include "content/kzeqnull.h"
#include "fcurve/kfcurve.h"
#include "fileio/tests/fileio_test_support.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "io/tests/zeqroundtrip.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"
#include "scene/kzequserproperty.h"

using namespace zeqsdk_400;
using namespace zeqiotest;

namespace {

// c n log2 n, the bound a read is held to.
std::uint64_t Bound(int n, double c) { return static_cast<std::uint64_t>(c * n * std::log2(static_cast<double>(n))); }

// The scene read, and the steps of the kind its read counted; null with the error.
KZeqScene* CountedRead(KZeqSdkManager& manager, const std::string& path, KStepKind kind, std::uint64_t& steps) {
    KZeqImporter importer(manager);
    KZeqScene* scene = manager.CreateKZeqScene();
    KStepCountScope counted(kind);
    const bool read = importer.Initialize(path.c_str()) && importer.Import(*scene);
    steps = counted.GetSteps();
    EXPECT_TRUE(read) << importer.GetLastErrorString();
    return read ? scene : nullptr;
}

std::string Written(KZeqSdkManager& manager, KZeqScene& scene, const std::string& path) {
    KZeqExporter exporter(manager);
    KStreamOptionsZeq options;
    EXPECT_TRUE(exporter.Initialize(path.c_str()));
    exporter.SetFileFormat(KZeqExporter::eZEQ_BINARY);
    exporter.SetExportOptionsInfo(&options);
    EXPECT_TRUE(exporter.Export(scene)) << exporter.GetLastErrorString();
    return path;
}

// ---- The hierarchy join -------------------------------------------------------------------

enum EChainOrder { eTopDown, eBottomUpPairs, eReversed, eShuffled };

// n0 under the root, n1 under n0, and so on, as (child, parent) links in the order.
std::vector<std::pair<std::string, std::string>> ChainLinks(int depth, EChainOrder order) {
    std::vector<std::pair<std::string, std::string>> links;
    for (int i = 0; i < depth; ++i)
        links.emplace_back("n" + std::to_string(i), i ? "n" + std::to_string(i - 1) : "Scene");
    if (order == eBottomUpPairs) {
        // n1 under n0, n3 under n2 ..., then n2 under n1, n4 under n3 ..., n0 under the root last.
        std::vector<std::pair<std::string, std::string>> pairs;
        for (int i = 1; i < depth; i += 2) pairs.push_back(links[static_cast<std::size_t>(i)]);
        for (int i = 2; i < depth; i += 2) pairs.push_back(links[static_cast<std::size_t>(i)]);
        pairs.push_back(links.front());
        links.swap(pairs);
    } else if (order == eReversed) {
        std::reverse(links.begin(), links.end());
    } else if (order == eShuffled) {
        std::mt19937 random(20261208u);
        std::shuffle(links.begin(), links.end(), random);
    }
    return links;
}

class ChainJoinSteps : public ::testing::TestWithParam<EChainOrder> {};

TEST_P(ChainJoinSteps, StayWithinNLogN) {
    const int depth = 4096;
    std::vector<std::string> models;
    for (int i = 0; i < depth; ++i) models.push_back("n" + std::to_string(i));
    zeqtest::TempDir dir;
    const std::string path = dir / "chain.zeq";
    MakeZeqFile(path, 6000, 1, NullModelFields(models, ChainLinks(depth, GetParam())));
    KZeqSdkManager manager;
    std::uint64_t steps = 0;
    KZeqScene* scene = CountedRead(manager, path, KStepKind::eWalk, steps);
    ASSERT_NE(nullptr, scene);
    int levels = 0;
    for (KZeqNode* node = scene->GetRootNode(); node->GetChildCount() == 1; node = node->GetChild(0)) ++levels;
    EXPECT_EQ(depth, levels);
    // The walks of the joins visit some 0.3 n log2 n nodes in the worst of these orders; a walk up the
    // ancestry alone, some n^2 / 4 on the chain joined bottom-up in pairs.
    EXPECT_LE(steps, Bound(depth, 2));
}

std::string OrderName(const testing::TestParamInfo<EChainOrder>& info) {
    static const char* const kNames[] = {"TopDown", "BottomUpPairs", "Reversed", "Shuffled"};
    return kNames[info.param];
}

INSTANTIATE_TEST_SUITE_P(Orders, ChainJoinSteps, ::testing::Values(eTopDown, eBottomUpPairs, eReversed, eShuffled),
                         OrderName);

// ---- Many of one kind ---------------------------------------------------------------------

struct ReadStepsTest : ::testing::Test {
    KZeqNode* AddModel(KZeqScene& scene) {
        KZeqNode* node = mManager.CreateKZeqNode("Many");
        node->SetNodeAttribute(mManager.CreateKZeqNull());
        scene.GetRootNode()->AddChild(node);
        return node;
    }
    zeqtest::TempDir mDir;
    KZeqSdkManager mManager;
};

// Each property named on its own gets a curve node of its name in every take, and a host-side
// property; their searches by name go through indexes.
TEST_F(ReadStepsTest, AModelWithManyUserPropertiesReadsWithinNLogN) {
    const int n = 4000;
    KZeqScene* scene = mManager.CreateKZeqScene();
    KZeqNode* node = AddModel(*scene);
    for (int i = 0; i < n; ++i) {
        KZeqUserProperty* property =
            mManager.CreateKZeqUserProperty(("p" + std::to_string(i)).c_str(), "Real", "");
        property->ModifyFlag(KZeqUserProperty::eUSER, true);
        property->ModifyFlag(KZeqUserProperty::eANIMATABLE, true);
        node->AddProperty(property);
        property->SetDefaultValue(0.5 * i);
    }
    const std::string path = Written(mManager, *scene, mDir / "properties.zeq");
    std::uint64_t steps = 0;
    KZeqScene* read = CountedRead(mManager, path, KStepKind::eSearch, steps);
    ASSERT_NE(nullptr, read);
    KZeqNode* many = read->GetRootNode()->GetChild(0);
    ASSERT_NE(nullptr, many);
    KZeqUserProperty* last = many->FindPropertyByName(("p" + std::to_string(n - 1)).c_str());
    ASSERT_NE(nullptr, last);
    double value = 0.0;
    last->GetDefaultValue(value);
    EXPECT_EQ(0.5 * (n - 1), value);
    // About 0.6 n log2 n names compared; a search in place per property, some n^2 / 2.
    EXPECT_LE(steps, Bound(n, 16));
}

// Each take is looked for by name in the file's list, in the scene's records and in every object.
TEST_F(ReadStepsTest, ManyTakesReadWithinNLogN) {
    const int n = 2000;
    KZeqScene* scene = mManager.CreateKZeqScene();
    KZeqNode* node = AddModel(*scene);
    for (int i = 0; i < n; ++i) {
        ASSERT_TRUE(scene->CreateTake(("Take " + std::to_string(i)).c_str()));
        node->SetCurrentTakeNode(node->GetTakeNodeCount() - 1);
        KFCurve* curve = node->GetCurrentTakeNode()->GetTranslationX();
        curve->KeyModifyBegin();
        curve->KeyAppendFast(KTime(static_cast<kLongLong>(i) * 1539538600LL), static_cast<float>(i));
        curve->KeyModifyEnd();
    }
    node->SetCurrentTakeNode(0);
    const std::string path = Written(mManager, *scene, mDir / "takes.zeq");
    std::uint64_t steps = 0;
    KZeqScene* read = CountedRead(mManager, path, KStepKind::eSearch, steps);
    ASSERT_NE(nullptr, read);
    KZeqNode* many = read->GetRootNode()->GetChild(0);
    ASSERT_NE(nullptr, many);
    EXPECT_EQ(n + 1, many->GetTakeNodeCount());
    ASSERT_TRUE(many->SetCurrentTakeNode(("Take " + std::to_string(n - 1)).c_str()));
    EXPECT_EQ(static_cast<float>(n - 1), many->GetCurrentTakeNode()->GetTranslationX()->KeyGet(0).GetValue());
    // About 6 n log2 n names compared; a search in place per take, some n^2 / 2 and more.
    EXPECT_LE(steps, Bound(n, 16));
}

}  // namespace

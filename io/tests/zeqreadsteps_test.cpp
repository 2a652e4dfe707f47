// Reads whose work must stay near n log n, held to it by the steps their searches and walks count
// (names compared, entries and nodes visited) rather than by a clock: the join of a 6.0 chain whose
// connections come in any order, a model with many user properties, many takes (and their writes).

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

struct ManyCase {
    const char* name;
    int count;
    bool takes;  // else user properties
};

class ManySteps : public ::testing::TestWithParam<ManyCase> {};

// One model with properties "p<i>" of value i (each gets a channel of its name in every take and a
// property of the node's set), or keyed to i in takes "Take <i>" (each looked for in the file's
// list, the scene's records and every object): some 0.6 and 6 n log2 n names compared; a search
// in place per item, some n^2 / 2 and more.
TEST_P(ManySteps, ReadWithinNLogN) {
    const ManyCase& c = GetParam();
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    KZeqNode* node = manager.CreateKZeqNode("Many");
    node->SetNodeAttribute(manager.CreateKZeqNull());
    scene->GetRootNode()->AddChild(node);
    const auto nameOf = [&c](int i) { return (c.takes ? "Take " : "p") + std::to_string(i); };
    for (int i = 0; i < c.count; ++i) {
        if (c.takes) {
            scene->CreateTake(nameOf(i).c_str());
            node->SetCurrentTakeNode(nameOf(i).c_str());
            KFCurve* curve = node->GetCurrentTakeNode()->GetTranslationX();
            curve->KeyModifyBegin();
            curve->KeyAppendFast(KTime(static_cast<kLongLong>(i) * 1539538600LL), static_cast<float>(i));
            curve->KeyModifyEnd();
            continue;
        }
        KZeqUserProperty* property = manager.CreateKZeqUserProperty(nameOf(i).c_str(), "Real", "");
        property->ModifyFlag(KZeqUserProperty::eUSER, true);
        property->ModifyFlag(KZeqUserProperty::eANIMATABLE, true);
        node->AddProperty(property);
        property->SetDefaultValue(static_cast<double>(i));
    }
    node->SetCurrentTakeNode(0);
    zeqtest::TempDir dir;
    KZeqExporter exporter(manager);
    KStreamOptionsZeq options;
    const std::string path = dir / "many.zeq";
    ASSERT_TRUE(exporter.Initialize(path.c_str()));
    exporter.SetFileFormat(KZeqExporter::eZEQ_BINARY);
    exporter.SetExportOptionsInfo(&options);
    std::uint64_t steps = 0;
    {
        // The write looks for each item by name as the read does: held to the same bound.
        KStepCountScope counted(KStepKind::eSearch);
        ASSERT_TRUE(exporter.Export(*scene)) << exporter.GetLastErrorString();
        steps = counted.GetSteps();
    }
    EXPECT_LE(steps, Bound(c.count, 16)) << "write";
    KZeqScene* read = CountedRead(manager, path, KStepKind::eSearch, steps);
    KZeqNode* many = read ? read->GetRootNode()->GetChild(0) : nullptr;
    ASSERT_NE(nullptr, many);
    double last = -1.0;
    if (c.takes && many->SetCurrentTakeNode(nameOf(c.count - 1).c_str()))
        last = many->GetCurrentTakeNode()->GetTranslationX()->KeyGet(0).GetValue();
    if (KZeqUserProperty* property = c.takes ? nullptr : many->FindPropertyByName(nameOf(c.count - 1).c_str()))
        property->GetDefaultValue(last);
    EXPECT_EQ(c.count - 1, last);
    EXPECT_LE(steps, Bound(c.count, 16));
}

INSTANTIATE_TEST_SUITE_P(Kinds, ManySteps,
                         ::testing::Values(ManyCase{"UserProperties", 4000, false}, ManyCase{"Takes", 2000, true}),
                         [](const testing::TestParamInfo<ManyCase>& info) { return std::string(info.param.name); });

}  // namespace

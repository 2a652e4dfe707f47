#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "base/kset.h"
#include "fcurve/kfcurvesettings.h"
#include "fcurve/tests/fcurvenode_test_support.h"
#include "fileio/kchainedfile.h"
#include "fileio/kzeq.h"

using namespace nodetest;

namespace {

// A field file in memory, written by one function and read by others.
struct MemoryZeq {
    explicit MemoryZeq(bool binaryFile, int fileVersion = 6000) : binary(binaryFile), version(fileVersion) {}

    bool binary;
    int version;
    KChainedMemoryFile memory;

    void Write(const std::function<void(KZeq&)>& body) {
        KZeq zeq;
        KZeqFileHeaderInfo header;
        header.mFileVersion = version;
        ASSERT_TRUE(zeq.ProjectCreateStream(memory, binary, false, &header));
        body(zeq);
        ASSERT_TRUE(zeq.ProjectClose());
    }
    void Read(const std::function<void(KZeq&)>& body) {
        KZeq zeq;
        ASSERT_TRUE(zeq.ProjectOpenStream(memory, false, true));
        body(zeq);
    }
    // Reads the channels in turn into root, as a take is read.
    void ReadTake(KFCurveNode* root, bool createMissing = true) {
        Read([&](KZeq& zeq) {
            while (KFCurveNodeCreate(&zeq, root, false, createMissing, false)) {
            }
        });
    }
};

// A field of one value: an int, a double or a text.
template <class T>
void Field(KZeq& zeq, const char* field, T value) {
    zeq.FieldWriteBegin(field);
    if constexpr (std::is_same_v<T, int>)
        zeq.FieldWriteI(value);
    else if constexpr (std::is_same_v<T, double>)
        zeq.FieldWriteD(value);
    else
        zeq.FieldWriteC(value);
    zeq.FieldWriteEnd();
}

// A "Channel" field named name, its block written by body.
void Channel(
    KZeq& zeq, const char* name, const std::function<void()>& body = [] {}) {
    zeq.FieldWriteBegin("Channel");
    zeq.FieldWriteC(name);
    zeq.FieldWriteBlockBegin();
    body();
    zeq.FieldWriteBlockEnd();
    zeq.FieldWriteEnd();
}

KFCurveNode* Translation() { return Vector("T", &KDataTypeLclTranslation, KFCL_ADD); }

// A root holding node.
NodePtr Root(KFCurveNode* node = nullptr) {
    NodePtr root(KFCurveNodeCreate("Root"));
    if (node) root->Add(node);
    return root;
}

class KFCurveNodeStore : public ::testing::TestWithParam<bool> {
protected:
    MemoryZeq file{GetParam()};
};

TEST_P(KFCurveNodeStore, TakeTreeRoundTripsIntoItsTemplateUnderShortNamesReplacingItsLayers) {
    NodePtr take = Root(TransformNode("Lcl Rotation"));
    KFCurveNode* t = take->FindRecursive("Transform/T");
    Keys(C(*t, 0), {{0, 1}, {1, 5}}, kLinear);
    take->FindRecursive("Transform/R/Z")->FCurveGet()->SetValue(45.0f);
    Keys(C(*t->LayerCreate(2), 1), {{0.5, 3}}, kLinear);
    file.Write([&](KZeq& zeq) { take->Get(0)->ZeqStore(&zeq, false, true, true, "Channel", true, false); });
    NodePtr read = Root(TransformNode("Lcl Rotation"));
    KFCurveNode* readT = read->FindRecursive("Transform/T");
    readT->CreateLayerAt(1);  // replaced by the layer read, not leaked
    file.ReadTake(read.get());
    EXPECT_FLOAT_EQ(read->FindRecursive("Transform/Lcl Rotation/Z")->FCurveGet()->GetValue(), 45.0f);
    KFCurveNode* readLayer = readT->LayerGet();
    ASSERT_NE(readLayer, nullptr);
    EXPECT_EQ(readLayer->GetLayerID(), 2);
    EXPECT_EQ(readLayer->Get(1)->ObjectLayerGet(), readT->Get(1));
    // The layered node evaluates as before.
    for (double s : {0.25, 0.5, 1.0}) EXPECT_EQ(Eval(*readT, Sec(s)), Eval(*t, Sec(s))) << s;
}

TEST_P(KFCurveNodeStore, UnknownChannelsAreSkippedOrCreatedAndSuffixesIgnored) {
    file.Write([](KZeq& zeq) {
        Channel(zeq, "T", [&] {
            Channel(zeq, "X  (old)", [&] { Field(zeq, "Default", 4.0); });
            Channel(zeq, "y(old)", [&] { Field(zeq, "Default", 5.0); });
        });
        Channel(zeq, "Extra", [&] { Channel(zeq, "Inner", [&] { Field(zeq, "Default", 3.0); }); });
        // A curve read before any channel makes the node a leaf: its channels are skipped.
        Channel(zeq, "Leaf", [&] {
            Field(zeq, "Default", 2.0);
            Channel(zeq, "Inner", [&] { Field(zeq, "Default", 3.0); });
        });
    });
    NodePtr fixed = Root(Translation());
    file.ReadTake(fixed.get(), false);
    EXPECT_EQ(fixed->GetCount(), 1);
    EXPECT_EQ(Eval(*fixed, KTime(0)), (std::vector<double>{4, 5, 0}));  // the channels' base names match

    NodePtr open = Root();
    file.ReadTake(open.get());
    ASSERT_EQ(open->GetCount(), 3);
    KFCurveNode* extra = open->FindRecursive("Extra");
    EXPECT_STREQ(extra->GetTimeWarpName(), "Extra");
    EXPECT_EQ(extra->FCurveGet(), nullptr);
    EXPECT_FLOAT_EQ(extra->FindRecursive("Inner")->FCurveGet()->GetValue(), 3.0f);
    KFCurveNode* leaf = open->FindRecursive("Leaf");
    ASSERT_NE(leaf->FCurveGet(), nullptr);
    EXPECT_FLOAT_EQ(leaf->FCurveGet()->GetValue(), 2.0f);
    EXPECT_EQ(leaf->GetCount(), 0);
    NodePtr standalone;
    file.Read([&](KZeq& zeq) { standalone.reset(KFCurveNodeCreate(&zeq, false, false)); });
    ASSERT_NE(standalone, nullptr);
    EXPECT_EQ(standalone->GetCount(), 2);
}

TEST_P(KFCurveNodeStore, TimeWarpsAreStoredByTheirNumberInTheRegistry) {
    // Time warps belong to the nodes that hold them: the last one destroys them.
    KFCurveNode* warp = KFCurveNodeCreate("TW", &KDataTypeTimeWarp);
    KFCurveNode* unknown = KFCurveNodeCreate("Unknown", &KDataTypeTimeWarp);
    NodePtr stranger(KFCurveNodeCreate("Other", &KDataTypeTimeWarp));
    int number = -1;
    EXPECT_FALSE(KFCurve_FindNickNumberFromTW(number, warp)) << "no registry";
    KSet registry;
    registry.Add(9, reinterpret_cast<kReference>(warp));
    registry.Add(3, reinterpret_cast<kReference>(stranger.get()));
    registry.Add(7, reinterpret_cast<kReference>(warp));
    // Found alike by a walk of the set and by its numbers by node: a warp under two numbers by the
    // lower.
    const KFCurveTWNumbers numbers = KFCurve_TWNumbersOf(registry);
    for (const KFCurveTWNumbers* installed : {static_cast<const KFCurveTWNumbers*>(nullptr), &numbers}) {
        SCOPED_TRACE(installed ? "numbers by node" : "a walk of the set");
        KFCurve_SetTWSet(&registry, installed);
        EXPECT_EQ(KFCurve_GetTWNumbers(), installed);
        number = -1;
        EXPECT_TRUE(KFCurve_FindNickNumberFromTW(number, warp));
        EXPECT_EQ(number, 7);
        EXPECT_TRUE(KFCurve_FindNickNumberFromTW(number, stranger.get()));
        EXPECT_EQ(number, 3);
        EXPECT_FALSE(KFCurve_FindNickNumberFromTW(number, nullptr));
        EXPECT_FALSE(KFCurve_FindNickNumberFromTW(number, unknown));
        EXPECT_EQ(number, 3);
    }
    // A set installed alone, or none, leaves no numbers of another.
    KFCurve_SetTWSet(nullptr, &numbers);
    EXPECT_TRUE(KFCurve_GetTWNumbers() == nullptr && !KFCurve_FindNickNumberFromTW(number, warp));
    KFCurve_SetTWSet(&registry, &numbers);
    KFCurve_SetTWSet(&registry);
    EXPECT_EQ(KFCurve_GetTWNumbers(), nullptr);
    KFCurve_SetTWSet(&registry, &numbers);

    // A registered warp is written by number and found again on reading; one
    // the registry does not hold is not written.
    NodePtr take = Root(Translation());
    take->Get(0)->TimeWarpSet(warp);
    take->Get(0)->Get(2)->TimeWarpSet(unknown);
    file.Write([&](KZeq& zeq) { take->Get(0)->ZeqStore(&zeq, false, true, true, "Channel", true, false); });
    NodePtr read = Root(Translation());
    file.ReadTake(read.get());
    EXPECT_EQ(read->Get(0)->TimeWarpGet(), warp);
    EXPECT_EQ(read->Get(0)->Get(2)->TimeWarpGet(), nullptr);
    take.reset();
    read.reset();
    KFCurve_SetTWSet(nullptr);
}

TEST_P(KFCurveNodeStore, AxisChannelsKeepTheirWarpsUnlessTheySayOneForTheirVector) {
    // Every arrangement of no warp, warp 1 and warp 2 on T and its X, Y, Z, stored and read. Where
    // the channels say one warp together (on one of them or the same on several) beside none of T's
    // or the same, it is T's and the channels hold none; otherwise each keeps what it holds.
    KFCurveNode* warps[3] = {nullptr, KFCurveNodeCreate("W1", &KDataTypeTimeWarp), KFCurveNodeCreate("W2", &KDataTypeTimeWarp)};
    NodePtr holder(KFCurveNodeCreate("Holder"));
    holder->Add(KFCurveNodeCreate("A")), holder->Add(KFCurveNodeCreate("B"));
    holder->Get(0)->TimeWarpSet(warps[1]), holder->Get(1)->TimeWarpSet(warps[2]);
    KSet registry;
    registry.Add(1, reinterpret_cast<kReference>(warps[1]));
    registry.Add(2, reinterpret_cast<kReference>(warps[2]));
    KFCurve_SetTWSet(&registry);
    for (int arrangement = 0; arrangement < 81; ++arrangement) {
        int on[4];  // T, X, Y, Z
        for (int i = 0, rest = arrangement; i < 4; ++i, rest /= 3) on[i] = rest % 3;
        SCOPED_TRACE(::testing::Message() << "T " << on[0] << ", X Y Z " << on[1] << " " << on[2] << " " << on[3]);
        NodePtr take = Root(Translation());
        KFCurveNode* t = take->Get(0);
        t->TimeWarpSet(warps[on[0]]);
        for (int a = 0; a < 3; ++a) t->Get(a)->TimeWarpSet(warps[on[a + 1]]);
        int said = 0;
        bool two = false;
        for (int a = 1; a < 4; ++a) {
            if (on[a] == 0 || on[a] == said) continue;
            two = two || said != 0;
            said = on[a];
        }
        const bool vectors = said != 0 && !two && (on[0] == 0 || on[0] == said);
        EXPECT_EQ(KFCurveNodeSharedAxisWarp(*t), vectors ? warps[said] : nullptr);
        MemoryZeq stored(GetParam());
        stored.Write([&](KZeq& zeq) { t->ZeqStore(&zeq, false, true, true, "Channel", true, false); });
        NodePtr read = Root(Translation());
        stored.ReadTake(read.get());
        KFCurveNode* r = read->Get(0);
        EXPECT_EQ(r->TimeWarpGet(), warps[vectors ? said : on[0]]);
        for (int a = 0; a < 3; ++a) EXPECT_EQ(r->Get(a)->TimeWarpGet(), vectors ? nullptr : warps[on[a + 1]]) << a;
    }
    // A channel "X" with no vector above it, and the channels of a layer (ids of their own), keep theirs.
    NodePtr take = Root(Leaf("X"));
    take->Get(0)->TimeWarpSet(warps[1]);
    KFCurveNode* t = Translation();
    take->Add(t);
    KFCurveNode* layer = LayerAt(*t, 1);
    layer->Get(0)->TimeWarpSet(warps[2]);
    file.Write([&](KZeq& zeq) {
        for (int i = 0; i < take->GetCount(); ++i) take->Get(i)->ZeqStore(&zeq, false, true, true, "Channel", true, false);
    });
    NodePtr read = Root(Translation());
    file.ReadTake(read.get());
    EXPECT_EQ(read->TimeWarpGet(), nullptr);
    ASSERT_NE(read->FindRecursive("X"), nullptr);
    EXPECT_EQ(read->Get(read->Find("X"))->TimeWarpGet(), warps[1]);
    ASSERT_NE(read->Get(0)->LayerGet(), nullptr);
    EXPECT_EQ(read->Get(0)->TimeWarpGet(), nullptr);
    EXPECT_EQ(read->Get(0)->LayerGet()->Get(0)->TimeWarpGet(), warps[2]);
    take.reset();
    read.reset();
    holder.reset();
    KFCurve_SetTWSet(nullptr);
}

TEST_P(KFCurveNodeStore, AChannelReadIntoAnExistingNodeRenamesItAndFillsItsChannels) {
    NodePtr written(Vector("Lcl Translation", &KDataTypeLclTranslation, KFCL_ADD, {1, 2, 3}));
    written->SetTimeWarpName("Move");
    Keys(C(written, 1), {{0, 4}, {1, 5}}, kLinear);
    file.Write([&](KZeq& zeq) {
        written->ZeqStore(&zeq, false, false, false, "Channel", true, false);
        Channel(zeq, "Second");
    });
    NodePtr node(KFCurveNodeCreate("Any"));
    NodePtr copy(KFCurveNodeCreate(node.get()));  // shares the name record on purpose
    file.Read([&](KZeq& zeq) {
        EXPECT_FALSE(node->ZeqRetrieve(&zeq, false, true, true));
        EXPECT_STREQ(node->GetName(), "Lcl Translation");
        EXPECT_STREQ(node->GetTimeWarpName(), "Move") << "the stored user name";
        EXPECT_STREQ(copy->GetName(), "Lcl Translation");
        ASSERT_EQ(node->GetCount(), 3);
        EXPECT_EQ(node->GetLayerType(), KFCL_ADD) << "repaired by its name";
        EXPECT_EQ(Eval(*node, Sec(0.5)), (std::vector<double>{1, 4.5, 3}));
        NodePtr next(KFCurveNodeCreate("Next"));
        EXPECT_FALSE(next->ZeqRetrieve(&zeq, false, false, false));
        EXPECT_STREQ(next->GetTimeWarpName(), "Second");
        EXPECT_TRUE(next->ZeqRetrieve(&zeq, false, true, false)) << "no channel left";
        EXPECT_STREQ(next->GetName(), "Second");
    });
    EXPECT_TRUE(node->ZeqRetrieve(nullptr, false, true, false));
}

INSTANTIATE_TEST_SUITE_P(Encodings, KFCurveNodeStore, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Binary" : "Ascii");
                         });

TEST(KFCurveNodeStoreInput, StoredLayerTypesAreRepaired) {
    // A channel of that name and type with channels holding a default, its
    // stored layer type (0: none) and file version: the layer type read.
    const struct {
        const char* name;
        KDataType* type;
        int channels, stored, version, expected;
    } cases[] = {
        {"R", nullptr, 3, 0, 6000, KFCL_EULER_XYZ},             // a rotation of three becomes Euler
        {"R", nullptr, 4, KFCL_EULER_XYZ, 6000, KFCL_NOLAYER},  // of four is not Euler
        {"R", nullptr, 4, KFCL_QUAT, 6000, KFCL_QUAT},
        {"My Translation", nullptr, 3, 0, 6000, KFCL_ADD},       // by name
        {"Size", &KDataTypeLclScaling, 3, 0, 6000, KFCL_MULT},   // by type
        {"Lcl Rotation", &KDataTypeLclRotation, 3, 2, 4000, 0},  // version 4000 drops it
        {"Lcl Rotation", &KDataTypeLclRotation, 3, 2, 5800, 2},
        {"R", &KDataTypeLclRotation, 3, 2, 4000, 2},  // but not under short names
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.name << " " << c.channels << " " << c.version);
        MemoryZeq file(true, c.version);
        file.Write([&](KZeq& zeq) {
            Channel(zeq, c.name, [&] {
                for (int i = 0; i < c.channels; ++i)
                    Channel(zeq, kChannelNames[i], [&] { Field(zeq, "Default", 1.0); });
                if (c.stored != 0) Field(zeq, "LayerType", c.stored);
            });
        });
        NodePtr root = Root(KFCurveNodeCreate(c.name, c.type));
        file.ReadTake(root.get());
        ASSERT_EQ(root->GetCount(), 1);
        EXPECT_EQ(root->Get(0)->GetLayerType(), c.expected);
    }
}

TEST(KFCurveNodeStoreInput, OddValuesAndLongRunsOfSkippedChannelsAreReadSafely) {
    MemoryZeq file(true);
    file.Write([](KZeq& zeq) {
        zeq.FieldWriteBegin("Channel");  // no name, no block
        zeq.FieldWriteEnd();
        Channel(zeq, "Odd", [&] {
            Field(zeq, "LayerID", "not a number");
            Field(zeq, "LayerType", 4);
            Field(zeq, "TimeWarpID", 3);
            zeq.FieldWriteBegin("LayerChannel");
            zeq.FieldWriteEnd();
            Channel(zeq, "X");
        });
        // Skipped one after the other, not by recursion.
        Channel(zeq, "Leaf", [&] {
            Field(zeq, "Default", 6.0);
            for (int i = 0; i < 200000; ++i) Channel(zeq, "Nothing");
        });
    });
    NodePtr root = Root();
    file.ReadTake(root.get());
    ASSERT_EQ(root->GetCount(), 3);
    KFCurveNode* odd = root->Get(1);
    EXPECT_EQ(odd->GetLayerType(), KFCL_QUAT);
    // A layer field without a block still gives the node an (empty) layer.
    ASSERT_NE(odd->LayerGet(), nullptr);
    double values[8];
    odd->GeneralEvaluate(values, KTime(0));
    EXPECT_FLOAT_EQ(root->Get(2)->FCurveGet()->GetValue(), 6.0f);
    EXPECT_EQ(root->Get(2)->GetCount(), 0);
}

}  // namespace

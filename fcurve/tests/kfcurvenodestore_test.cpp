#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "base/kset.h"
#include "fcurve/kfcurvesettings.h"
#include "fcurve/tests/fcurvenode_test_support.h"
#include "fileio/kchainedfile.h"
#include "fileio/kzeq.h"

using namespace nodetest;

namespace {

// A take's root as the scene node makes it: "Transform" with "T", "R", "S".
KFCurveNode* TakeTemplate() {
    KFCurveNode* root = KFCurveNodeCreate("Root");
    root->Add(TransformNode("Lcl Rotation"));
    return root;
}

// A field file in memory, written by one function and read by another.
class MemoryZeq {
public:
    MemoryZeq(bool binary, int version = 6000) : mBinary(binary), mVersion(version) {}

    void Write(const std::function<void(KZeq&)>& body) {
        KZeq zeq;
        KZeqFileHeaderInfo header;
        header.mFileVersion = mVersion;
        ASSERT_TRUE(zeq.ProjectCreateStream(mMemory, mBinary, false, &header));
        body(zeq);
        ASSERT_TRUE(zeq.ProjectClose());
    }
    void Read(const std::function<void(KZeq&)>& body) {
        KZeq zeq;
        ASSERT_TRUE(zeq.ProjectOpenStream(mMemory, false, true));
        body(zeq);
    }

private:
    bool mBinary;
    int mVersion;
    KChainedMemoryFile mMemory;
};

// The writer's layout of a take: each child of the root as a top-level channel.
void StoreTake(KZeq& zeq, KFCurveNode* root, bool onlyDefaults = false) {
    for (int i = 0; i < root->GetCount(); ++i)
        root->Get(i)->ZeqStore(&zeq, onlyDefaults, true, true, "Channel", true, false);
}

void ReadTake(KZeq& zeq, KFCurveNode* root, bool onlyDefaults = false, bool createMissing = true) {
    while (KFCurveNodeCreate(&zeq, root, onlyDefaults, createMissing, false)) {
    }
}

void WriteChannel(KZeq& zeq, const char* field, const char* name, const std::function<void()>& block) {
    zeq.FieldWriteBegin(field);
    zeq.FieldWriteC(name);
    zeq.FieldWriteBlockBegin();
    block();
    zeq.FieldWriteBlockEnd();
    zeq.FieldWriteEnd();
}

void WriteInt(KZeq& zeq, const char* field, int value) {
    zeq.FieldWriteBegin(field);
    zeq.FieldWriteI(value);
    zeq.FieldWriteEnd();
}

void WriteDefault(KZeq& zeq, double value) {
    zeq.FieldWriteBegin("Default");
    zeq.FieldWriteD(value);
    zeq.FieldWriteEnd();
}

class KFCurveNodeStore : public ::testing::TestWithParam<bool> {
protected:
    MemoryZeq file{GetParam()};
};

TEST_P(KFCurveNodeStore, TakeTreeRoundTripsIntoItsTemplateUnderShortNames) {
    NodePtr take(TakeTemplate());
    KFCurveNode* t = take->FindRecursive("Transform/T");
    Keys(C(*t, 0), {{0, 1}, {1, 5}}, kLinear);
    take->FindRecursive("Transform/R/Z")->FCurveGet()->SetValue(45.0f);
    Keys(C(*t->LayerCreate(2), 1), {{0.5, 3}}, kLinear);
    file.Write([&](KZeq& zeq) { StoreTake(zeq, take.get()); });
    file.Read([&](KZeq& zeq) {
        ASSERT_TRUE(zeq.FieldReadBegin("Channel"));
        ASSERT_TRUE(zeq.FieldReadBlockBegin());
        std::vector<std::string> names;
        while (zeq.FieldReadBegin("Channel")) names.emplace_back(zeq.FieldReadC().Buffer());
        EXPECT_EQ(names, (std::vector<std::string>{"T", "R", "S"}));
    });

    NodePtr read(TakeTemplate());
    KFCurveNode* readT = read->FindRecursive("Transform/T");
    file.Read([&](KZeq& zeq) { ReadTake(zeq, read.get()); });
    EXPECT_EQ(read->GetCount(), 1);
    ASSERT_EQ(C(*readT, 0).KeyGetCount(), 2);
    EXPECT_FLOAT_EQ(read->FindRecursive("Transform/Lcl Rotation/Z")->FCurveGet()->GetValue(), 45.0f);
    KFCurveNode* readLayer = readT->LayerGet();
    ASSERT_NE(readLayer, nullptr);
    EXPECT_EQ(readLayer->GetLayerID(), 2);
    EXPECT_EQ(readLayer->GetLayerType(), KFCL_ADD);
    EXPECT_EQ(readLayer->ObjectLayerGet(), readT);
    EXPECT_EQ(readLayer->GetNameInfo(), readT->GetNameInfo());
    ASSERT_EQ(readLayer->GetCount(), 3);
    EXPECT_EQ(readLayer->Get(1)->ObjectLayerGet(), readT->Get(1));
    EXPECT_EQ(readLayer->Get(1)->GetNameInfo(), readT->Get(1)->GetNameInfo());
    // The layered node evaluates as before.
    EXPECT_EQ(Eval(*readT, Sec(0.25)), Eval(*t, Sec(0.25)));
    EXPECT_FLOAT_EQ(static_cast<float>(Eval(*readT, Sec(0.5))[1]), 3.0f);
}

TEST_P(KFCurveNodeStore, UnknownChannelsAreSkippedOrCreatedAndSuffixesIgnored) {
    file.Write([](KZeq& zeq) {
        WriteChannel(zeq, "Channel", "T", [&] {
            WriteChannel(zeq, "Channel", "X  (old)", [&] { WriteDefault(zeq, 4.0); });
            WriteChannel(zeq, "Channel", "y(old)", [&] { WriteDefault(zeq, 5.0); });
        });
        WriteChannel(zeq, "Channel", "Extra",
                     [&] { WriteChannel(zeq, "Channel", "Inner", [&] { WriteDefault(zeq, 3.0); }); });
        // A curve read before any channel makes the node a leaf: its channels are skipped.
        WriteChannel(zeq, "Channel", "Leaf", [&] {
            WriteDefault(zeq, 2.0);
            WriteChannel(zeq, "Channel", "Inner", [&] { WriteDefault(zeq, 3.0); });
        });
    });
    NodePtr fixed(KFCurveNodeCreate("Root"));
    fixed->Add(Vector("T", &KDataTypeLclTranslation, KFCL_ADD));
    file.Read([&](KZeq& zeq) { ReadTake(zeq, fixed.get(), false, false); });
    EXPECT_EQ(fixed->GetCount(), 1);
    EXPECT_EQ(Eval(*fixed, KTime(0)), (std::vector<double>{4, 5, 0}));  // the channels' base names match

    NodePtr open(KFCurveNodeCreate("Root"));
    file.Read([&](KZeq& zeq) { ReadTake(zeq, open.get()); });
    ASSERT_EQ(open->GetCount(), 3);
    KFCurveNode* extra = open->FindRecursive("Extra");
    EXPECT_STREQ(extra->GetName(), "Extra");
    EXPECT_STREQ(extra->GetTimeWarpName(), "Extra");
    EXPECT_EQ(extra->FCurveGet(), nullptr);
    ASSERT_EQ(extra->GetCount(), 1);
    EXPECT_FLOAT_EQ(extra->Get(0)->FCurveGet()->GetValue(), 3.0f);
    KFCurveNode* leaf = open->FindRecursive("Leaf");
    ASSERT_NE(leaf->FCurveGet(), nullptr);
    EXPECT_FLOAT_EQ(leaf->FCurveGet()->GetValue(), 2.0f);
    EXPECT_EQ(leaf->GetCount(), 0);

    // A node that has channels drops a curve read for it.
    NodePtr withChannels(KFCurveNodeCreate("Root"));
    withChannels->Add(Vector("Leaf", nullptr, KFCL_NOLAYER));
    file.Read([&](KZeq& zeq) { ReadTake(zeq, withChannels.get()); });
    EXPECT_EQ(withChannels->FindRecursive("Leaf")->FCurveGet(), nullptr);
    NodePtr standalone;
    file.Read([&](KZeq& zeq) { standalone.reset(KFCurveNodeCreate(&zeq, false, false)); });
    ASSERT_NE(standalone, nullptr);
    EXPECT_EQ(standalone->GetCount(), 2);
}

TEST_P(KFCurveNodeStore, LongRunsOfSkippedChannelsDoNotRecurse) {
    constexpr int kSkipped = 20000;
    file.Write([](KZeq& zeq) {
        WriteChannel(zeq, "Channel", "X", [&] {
            WriteDefault(zeq, 6.0);
            for (int i = 0; i < kSkipped; ++i) WriteChannel(zeq, "Channel", "Nothing", [] {});
        });
    });
    NodePtr t(Vector("T", &KDataTypeLclTranslation, KFCL_ADD));
    file.Read([&](KZeq& zeq) { ReadTake(zeq, t.get()); });
    EXPECT_FLOAT_EQ(t->Get(0)->FCurveGet()->GetValue(), 6.0f);
    EXPECT_EQ(t->Get(0)->GetCount(), 0);
}

TEST_P(KFCurveNodeStore, OnlyDefaultsWritesNoKeysAndNoLayers) {
    NodePtr t(Vector("T", &KDataTypeLclTranslation, KFCL_ADD));
    Keys(C(t, 0), {{0, 1}});
    t->LayerCreate(1);
    NodePtr plain(KFCurveNodeCreate("Plain"));
    plain->FCurveSet(KFCurveCreate(), true);
    file.Write([&](KZeq& zeq) {
        t->ZeqStore(&zeq, true, true, true, "Channel", true, false);
        plain->ZeqStore(&zeq, false, true, false, "Channel", true, false);
    });
    file.Read([&](KZeq& zeq) {
        ASSERT_TRUE(zeq.FieldReadBegin("Channel"));
        ASSERT_TRUE(zeq.FieldReadBlockBegin());
        EXPECT_EQ(zeq.FieldGetInstanceCount("LayerChannel"), 0);
        EXPECT_EQ(zeq.FieldGetInstanceCount("LayerType"), 1);
        EXPECT_EQ(zeq.FieldGetInstanceCount("LayerID"), 0);
        ASSERT_TRUE(zeq.FieldReadBegin("Channel"));
        ASSERT_TRUE(zeq.FieldReadBlockBegin());
        EXPECT_EQ(zeq.FieldGetInstanceCount("Key"), 0);
        EXPECT_EQ(zeq.FieldGetInstanceCount("Default"), 1);
        zeq.FieldReadBlockEnd();
        zeq.FieldReadEnd();
        zeq.FieldReadBlockEnd();
        zeq.FieldReadEnd();
        // Layer id and type 0 are left out; the same name needs no "UserName".
        ASSERT_TRUE(zeq.FieldReadBegin("Channel"));
        ASSERT_TRUE(zeq.FieldReadBlockBegin());
        EXPECT_EQ(zeq.FieldGetInstanceCount("LayerID"), 0);
        EXPECT_EQ(zeq.FieldGetInstanceCount("LayerType"), 0);
        EXPECT_EQ(zeq.FieldGetInstanceCount("UserName"), 0);
    });
    NodePtr read(KFCurveNodeCreate("Plain"));
    read->SetLayerType(KFCL_MULT);
    file.Read([&](KZeq& zeq) {
        zeq.FieldReadBegin("Channel");
        zeq.FieldReadEnd();
        EXPECT_FALSE(read->ZeqRetrieve(&zeq, false, true, false));
        EXPECT_TRUE(read->ZeqRetrieve(&zeq, false, true, false));
    });
    EXPECT_EQ(read->GetLayerID(), 0);
    EXPECT_EQ(read->GetLayerType(), KFCL_NOLAYER);
}

TEST_P(KFCurveNodeStore, UserNameAndTimeWarpNumbers) {
    KSet warps;
    // The warp lives as long as some node holds it; the holder keeps it for the whole test.
    KFCurveNode* warp = Vector("TW", &KDataTypeTimeWarp, KFCL_NOLAYER, 1);
    NodePtr holder(KFCurveNodeCreate("Holder"));
    holder->TimeWarpSet(warp);
    warps.Add(7, reinterpret_cast<kReference>(warp));
    KFCurve_SetTWSet(&warps);

    NodePtr t(Vector("T", &KDataTypeLclTranslation, KFCL_ADD));
    t->SetTimeWarpName("Position");
    t->TimeWarpSet(warp);
    file.Write([&](KZeq& zeq) {
        t->ZeqStore(&zeq, false, false, false, "Channel", true, false);
        WriteChannel(zeq, "Channel", "T", [&] {
            WriteChannel(zeq, "Channel", "Z", [&] { WriteInt(zeq, "TimeWarpID", 7); });
            WriteChannel(zeq, "Channel", "Y", [&] { WriteInt(zeq, "TimeWarpID", 99); });
        });
    });

    NodePtr first(KFCurveNodeCreate("Root"));
    first->Add(Vector("T", &KDataTypeLclTranslation, KFCL_ADD));
    file.Read([&](KZeq& zeq) { ASSERT_NE(KFCurveNodeCreate(&zeq, first.get(), false, true, false), nullptr); });
    KFCurveNode* readT = first->Get(0);
    EXPECT_STREQ(readT->GetTimeWarpName(), "Position");
    EXPECT_EQ(readT->TimeWarpGet(), warp);

    // An axis channel's warp goes to its vector; an unknown number is ignored.
    NodePtr second(KFCurveNodeCreate("Root"));
    second->Add(Vector("T", &KDataTypeLclTranslation, KFCL_ADD));
    file.Read([&](KZeq& zeq) {
        KFCurveNodeCreate(&zeq, second.get(), false, true, false);
        ASSERT_NE(KFCurveNodeCreate(&zeq, second.get(), false, true, false), nullptr);
    });
    EXPECT_EQ(second->Get(0)->TimeWarpGet(), warp);
    EXPECT_EQ(second->Get(0)->Get(2)->TimeWarpGet(), nullptr);
    EXPECT_EQ(second->Get(0)->Get(1)->TimeWarpGet(), nullptr);
    KFCurve_SetTWSet(nullptr);
}

TEST_P(KFCurveNodeStore, ReadLayerReplacesTheFormerOne) {
    NodePtr source(Vector("T", &KDataTypeLclTranslation, KFCL_ADD));
    source->LayerCreate(3)->Get(0)->FCurveGet()->SetValue(8.0f);
    file.Write([&](KZeq& zeq) { source->ZeqStore(&zeq, false, true, true, "Channel", true, false); });

    NodePtr root(KFCurveNodeCreate("Root"));
    KFCurveNode* t = Vector("T", &KDataTypeLclTranslation, KFCL_ADD);
    root->Add(t);
    t->CreateLayerAt(1);
    file.Read([&](KZeq& zeq) { ReadTake(zeq, root.get()); });
    ASSERT_NE(t->LayerGet(), nullptr);
    EXPECT_EQ(t->LayerGet()->GetLayerID(), 3);
    EXPECT_EQ(t->LayerGet()->LayerGet(), nullptr);
    EXPECT_FLOAT_EQ(t->LayerGet()->Get(0)->FCurveGet()->GetValue(), 8.0f);
}

INSTANTIATE_TEST_SUITE_P(Encodings, KFCurveNodeStore, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Binary" : "Ascii");
                         });

// Stored layer types that the reader corrects.
struct RepairCase {
    const char* label;
    const char* name;
    KDataType* type;
    int channels;
    int storedLayerType;
    int version;
    int expected;
};

void PrintTo(const RepairCase& c, std::ostream* os) { *os << c.label; }

class KFCurveNodeLayerTypeRepair : public ::testing::TestWithParam<RepairCase> {};

TEST_P(KFCurveNodeLayerTypeRepair, ReadLayerType) {
    const RepairCase& c = GetParam();
    MemoryZeq file(true, c.version);
    file.Write([&](KZeq& zeq) {
        WriteChannel(zeq, "Channel", c.name, [&] {
            static const char* const kAxes[] = {"X", "Y", "Z", "W"};
            for (int i = 0; i < c.channels; ++i)
                WriteChannel(zeq, "Channel", kAxes[i], [&] { WriteDefault(zeq, 1.0); });
            if (c.storedLayerType != 0) WriteInt(zeq, "LayerType", c.storedLayerType);
        });
    });
    NodePtr root(KFCurveNodeCreate("Root"));
    root->Add(KFCurveNodeCreate(c.name, c.type));
    file.Read([&](KZeq& zeq) { ReadTake(zeq, root.get()); });
    ASSERT_EQ(root->GetCount(), 1);
    EXPECT_EQ(root->Get(0)->GetLayerType(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KFCurveNodeLayerTypeRepair,
    ::testing::Values(RepairCase{"RotationOfThreeBecomesEuler", "R", nullptr, 3, 0, 6000, KFCL_EULER_XYZ},
                      RepairCase{"RotationOfFourLosesEuler", "R", nullptr, 4, KFCL_EULER_XYZ, 6000, KFCL_NOLAYER},
                      RepairCase{"QuaternionStaysQuaternion", "R", nullptr, 4, KFCL_QUAT, 6000, KFCL_QUAT},
                      RepairCase{"TranslationByName", "My Translation", nullptr, 3, 0, 6000, KFCL_ADD},
                      RepairCase{"ScalingByType", "Size", &KDataTypeLclScaling, 3, 0, 6000, KFCL_MULT},
                      RepairCase{"Version4000DropsIt", "Lcl Rotation", &KDataTypeLclRotation, 3, 2, 4000, 0},
                      RepairCase{"OtherVersionsKeepIt", "Lcl Rotation", &KDataTypeLclRotation, 3, 2, 5800, 2},
                      RepairCase{"Version4000KeepsShortNames", "R", &KDataTypeLclRotation, 3, 2, 4000, 2}),
    [](const ::testing::TestParamInfo<RepairCase>& info) { return std::string(info.param.label); });

TEST(KFCurveNodeStoreInput, OddValuesAreReadSafely) {
    MemoryZeq file(true);
    file.Write([](KZeq& zeq) {
        // No name, no block.
        zeq.FieldWriteBegin("Channel");
        zeq.FieldWriteEnd();
        WriteChannel(zeq, "Channel", "Odd", [&] {
            zeq.FieldWriteBegin("LayerID");
            zeq.FieldWriteC("not a number");
            zeq.FieldWriteEnd();
            WriteInt(zeq, "LayerType", 4);
            WriteInt(zeq, "TimeWarpID", 3);
            zeq.FieldWriteBegin("LayerChannel");
            zeq.FieldWriteEnd();
            WriteChannel(zeq, "Channel", "X", [] {});
        });
    });
    NodePtr root(KFCurveNodeCreate("Root"));
    file.Read([&](KZeq& zeq) { ReadTake(zeq, root.get()); });
    ASSERT_EQ(root->GetCount(), 2);
    KFCurveNode* odd = root->Get(1);
    EXPECT_EQ(odd->GetLayerType(), KFCL_QUAT);
    // A layer field without a block still gives the node an (empty) layer.
    ASSERT_NE(odd->LayerGet(), nullptr);
    double values[8];
    odd->GeneralEvaluate(values, KTime(0));
}

}  // namespace

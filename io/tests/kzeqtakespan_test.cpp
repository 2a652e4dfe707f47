// A take whose span reaches far past its keys, read with the bake of its layers and time warps:
// what it plays past the keys costs what it plays there (a held tail nothing), and a span the take
// changes all over, longer than any bake takes, is baked over its keys and said.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "content/kzeqnull.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "fcurve/kfcurvesettings.h"
#include "fileio/tests/fileio_test_support.h"
#include "io/kzeqimporter.h"
#include "io/tests/zeqroundtrip.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"
#include "scene/kzeqtakenode.h"

using namespace zeqsdk_400;
using namespace zeqiotest;

namespace {

struct NodeDestroyer {
    void operator()(KFCurveNode* node) const { node->Destroy(); }
};
using NodePtr = std::unique_ptr<KFCurveNode, NodeDestroyer>;

// Five nulls whose take holds layers and time warps that hold, jump, repeat and keep their slopes,
// all keyed within 2 s, over a take of 2 s.
const std::string kTakeFile =
    std::string(ZEQ_FUZZ_CORPUS) + "/plugin_import_fuzz/take_warp_steps_and_cycles_ascii.zeq";

// The same file with the take's span [start, stop] (ticks).
std::string WithSpan(long long start, long long stop) {
    std::string text = zeqtest::ReadFile(kTakeFile);
    const std::string span = std::to_string(start) + "," + std::to_string(stop);
    for (const char* field : {"LocalTime: ", "ReferenceTime: "}) {
        const std::size_t at = text.find(field);
        if (at == std::string::npos) return std::string();
        const std::size_t from = at + std::string(field).size();
        text.replace(from, text.find('\n', from) - from, span);
    }
    return text;
}

int MostKeys(KFCurveNode& node) {
    int most = node.FCurveGet() ? node.FCurveGet()->KeyGetCount() : 0;
    for (int i = 0; i < node.GetCount(); ++i) most = std::max(most, MostKeys(*node.Get(i)));
    return most;
}

struct TakeSpanTest : ::testing::Test {
    zeqtest::TempDir mDir;
};

// A scene of one null A in "Take 001" whose X runs linear 0 to 10 over a second and repeats
// without end; returns X, key holding the keys' interpolation.
KFCurve& RepeatingX(KZeqSdkManager& manager, KZeqScene*& scene, KFCurveKey& key) {
    scene = manager.CreateKZeqScene();
    scene->CreateTake("Take 001");
    KZeqNode* node = manager.CreateKZeqNode("A");
    node->SetNodeAttribute(manager.CreateKZeqNull());
    scene->GetRootNode()->AddChild(node);
    node->CreateTakeNode("Take 001");
    node->SetCurrentTakeNode("Take 001");
    KFCurve& x = *node->GetCurrentTakeNode()->GetKFCurveNode()->FindRecursive("T")->Get(0)->FCurveGet();
    key.Set(KTime(0), 0.0f, KFCURVE_INTERPOLATION_LINEAR, KFCURVE_TANGEANT_USER, 0, 0, KFCURVE_WEIGHTED_NONE,
            KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0, 0);
    x.KeyAdd(KTime(0), key);
    key.SetValue(10.0f);
    x.KeyAdd(KTime::OneSecond(), key);
    x.SetPostExtrapolation(KFCURVE_EXTRAPOLATION_REPETITION);
    x.SetPostExtrapolationCount(0xFFFFFFFFu);
    return x;
}

// Takes the span of the whole time line, or of ten seconds.
void SetSpan(KZeqScene& scene, bool whole) {
    KZeqTakeInfo info;
    info.mName = "Take 001";
    info.mLocalTimeSpan = info.mReferenceTimeSpan =
        whole ? KTimeSpan(KTime::MinusInfinite(), KTime::Infinite()) : KTimeSpan(KTime(0), KTime(KTime::kTicksPerSecond * 10));
    scene.SetTakeInfo(info);
}

TEST_F(TakeSpanTest, ASpanFarPastTheKeysWhereTheTakeHoldsCostsWhatItsKeysAsk) {
    // 27.8 hours, and the whole time line: past 2 s the take holds, so each baked curve holds few
    // keys, and the baked scene plays what the file's animation plays, at the keys and far past.
    const long long hours = 100000LL * KTime::kTicksPerSecond;
    for (const auto& span : {std::make_pair(0LL, hours), std::make_pair(-9000000000000000000LL, 9000000000000000000LL)}) {
        SCOPED_TRACE(span.second);
        const std::string text = WithSpan(span.first, span.second);
        ASSERT_FALSE(text.empty());
        const std::string path = mDir / "long.zeq";
        zeqtest::WriteFile(path, text);
        KZeqSdkManager manager;
        std::string error;
        // The bake's own keys, before the reducer drops those of its holds.
        const bool reducer = KFCURVE_GetUseConstantKeyReducer();
        KFCURVE_SetUseConstantKeyReducer(false);
        KZeqScene* baked = ReadZeqFileMerging(manager, path, true, &error);
        KFCURVE_SetUseConstantKeyReducer(reducer);
        KZeqScene* plain = ReadZeqFileMerging(manager, path, false, &error);
        ASSERT_TRUE(baked && plain) << error;
        for (const char* name : {"n0", "n1", "n2", "n3", "n4"}) {
            KZeqNode* a = baked->GetRootNode()->FindChild(name);
            KZeqNode* b = plain->GetRootNode()->FindChild(name);
            ASSERT_TRUE(a && b) << name;
            ASSERT_TRUE(a->SetCurrentTakeNode("Take 001") && b->SetCurrentTakeNode("Take 001"));
            EXPECT_LT(MostKeys(*a->GetCurrentTakeNode()->GetKFCurveNode()), 300) << name;
            for (const double s : {0.0, 0.51, 1.0, 1.7, 2.5, 100.0, 99999.0}) {
                KTime t;
                t.SetSecondDouble(s);
                const KZeqXMatrix ma = a->EvaluateGlobalTransform(t), mb = b->EvaluateGlobalTransform(t);
                for (int r = 0; r < 4; ++r)
                    for (int c = 0; c < 4; ++c)
                        EXPECT_NEAR(ma.mData[r][c], mb.mData[r][c], 2e-3) << name << " at " << s << " s";
            }
        }
    }
}

TEST_F(TakeSpanTest, ATakeThatChangesOverMoreThanABakeTakesIsBakedOverItsKeysAndSaid) {
    // X repeating 0 to 10 over a second without end, beside a layer, in a take over the whole time
    // line: more samples than any bake takes. Read with the bake, X keeps its keys' second and the
    // message says so; a take of ten seconds is baked whole and says nothing.
    for (const bool whole : {true, false}) {
        SCOPED_TRACE(whole);
        const std::string path = mDir / "endless.zeq";
        {
            KZeqSdkManager manager;
            KZeqScene* scene = nullptr;
            KFCurveKey key{};
            KFCurve& x = RepeatingX(manager, scene, key);
            KFCurveNode* t = scene->GetRootNode()->FindChild("A")->GetCurrentTakeNode()->GetKFCurveNode()->FindRecursive("T");
            t->CreateLayerAt(1);
            t->LayerGet(1)->Get(0)->FCurveGet()->CopyFrom(x);
            SetSpan(*scene, whole);
            std::string error;
            ASSERT_TRUE(WriteZeqFile(manager, *scene, kZeqFileCases[1], path, "", &error)) << error;
        }
        KZeqSdkManager manager;
        std::string error, message;
        KZeqScene* scene = ReadZeqFileMerging(manager, path, true, &error, &message);
        ASSERT_TRUE(scene) << error;
        EXPECT_EQ(whole, message.find("Take \"Take 001\": the animation of Model::A plays more within the take's span than a bake "
                                    "takes") !=
                             std::string::npos)
            << message;
        KZeqNode* node = scene->GetRootNode()->FindChild("A");
        ASSERT_TRUE(node && node->SetCurrentTakeNode("Take 001"));
        KFCurve& x = *node->GetCurrentTakeNode()->GetKFCurveNode()->FindRecursive("T")->Get(0)->FCurveGet();
        EXPECT_NEAR(x.Evaluate(KTime(KTime::kTicksPerSecond / 2)), 10.0, 1e-3);  // the layer doubles it
        EXPECT_NEAR(x.Evaluate(KTime(KTime::kTicksPerSecond * 5 / 2)), whole ? 20.0 : 10.0, 1e-3);
    }
}

TEST_F(TakeSpanTest, AWriterThatBakesSuchATakeSaysSo) {
    // A warp on the take's whole tree, which no file holds there, over X repeating without end in a
    // take over the whole time line: the writer bakes X over its keys and says so.
    KZeqSdkManager manager;
    KZeqScene* scene = nullptr;
    KFCurveKey key{};
    RepeatingX(manager, scene, key);
    KFCurveNode* tree = scene->GetRootNode()->FindChild("A")->GetCurrentTakeNode()->GetKFCurveNode();
    NodePtr holder(KFCurveNodeCreate("Holder"));
    KFCurveNode* warp = KFCurveNodeCreate("W", static_cast<KDataType*>(nullptr));
    warp->FCurveSet(KFCurveCreate(), true);
    key.SetValue(0.0f);
    warp->FCurveGet()->KeyAdd(KTime(0), key);
    key.SetValue(2.0f);
    warp->FCurveGet()->KeyAdd(KTime::OneSecond(), key);
    warp->FCurveGet()->SetPostExtrapolation(KFCURVE_EXTRAPOLATION_KEEP_SLOPE);
    warp->FCurveGet()->SetPostExtrapolationCount(0xFFFFFFFFu);
    holder->TimeWarpSet(warp);
    tree->TimeWarpSet(warp);
    SetSpan(*scene, true);
    std::string error, message;
    ASSERT_TRUE(WriteZeqFile(manager, *scene, kZeqFileCases[1], mDir / "written.zeq", "", &error, &message)) << error;
    EXPECT_NE(message.find("Of those, the animation of Model::A in take \"Take 001\" plays more within its take's span than "
                           "a bake takes"),
              std::string::npos)
        << message;
    tree->TimeWarpSet(nullptr);
}

TEST_F(TakeSpanTest, AnImporterBoundingTheBakeBakesALongerTakeOverItsKeysAndSaysItsBound) {
    // X repeating over an hour beside a layer: 108,001 samples at 30 a second, within the read's
    // ten million. An importer told fewer (as the host's import is) bakes the keys alone and says
    // so, naming its bound; told more, the hour.
    const std::string path = mDir / "hour.zeq";
    {
        KZeqSdkManager manager;
        KZeqScene* scene = nullptr;
        KFCurveKey key{};
        KFCurve& x = RepeatingX(manager, scene, key);
        KFCurveNode* t = scene->GetRootNode()->FindChild("A")->GetCurrentTakeNode()->GetKFCurveNode()->FindRecursive("T");
        t->CreateLayerAt(1);
        t->LayerGet(1)->Get(0)->FCurveGet()->CopyFrom(x);
        KZeqTakeInfo info;
        info.mName = "Take 001";
        info.mLocalTimeSpan = info.mReferenceTimeSpan = KTimeSpan(KTime(0), KTime(KTime::kTicksPerSecond * 3600));
        scene->SetTakeInfo(info);
        std::string error;
        ASSERT_TRUE(WriteZeqFile(manager, *scene, kZeqFileCases[1], path, "", &error)) << error;
    }
    for (const kULongLong most : {kULongLong(100000), kULongLong(110000), kKFCurveBakeMostSamples}) {
        SCOPED_TRACE(most);
        KZeqSdkManager manager;
        KZeqImporter importer(manager);
        ASSERT_TRUE(importer.Initialize(path.c_str()));
        importer.GetTakeCount();
        importer.SetState(KZeqImporter::eMERGE_LAYER_AND_TIMEWARP, true);
        if (most != kKFCurveBakeMostSamples) importer.SetMostBakeSamples(most);
        KZeqScene* scene = manager.CreateKZeqScene();
        ASSERT_TRUE(importer.Import(*scene));
        KString message;
        importer.GetMessage(message);
        const bool cut = most == 100000;
        EXPECT_EQ(cut, std::string(message.Buffer()).find("plays more within the take's span than a bake takes (over 100,000 "
                                                          "samples: ") != std::string::npos)
            << message.Buffer();
        if (!cut) {
            EXPECT_EQ(std::string(message.Buffer()).find("plays more"), std::string::npos) << message.Buffer();
        }
        KZeqNode* node = scene->GetRootNode()->FindChild("A");
        ASSERT_TRUE(node && node->SetCurrentTakeNode("Take 001"));
        KFCurve& x = *node->GetCurrentTakeNode()->GetKFCurveNode()->FindRecursive("T")->Get(0)->FCurveGet();
        EXPECT_NEAR(x.Evaluate(KTime(KTime::kTicksPerSecond * 3599 + KTime::kTicksPerSecond / 2)), cut ? 20.0 : 10.0, 1e-3);
        EXPECT_LE(x.KeyGetCount(), cut ? 100 : 250000);
    }
}

}  // namespace

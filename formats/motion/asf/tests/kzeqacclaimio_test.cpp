// The Acclaim readers and writers through the importer and exporter rows:
// the shared sample files, round trips, and the cases the rows must refuse.

#include <gtest/gtest.h>

#include "fcurve/kfcurvesettings.h"

#include "fileio/tests/fileio_test_support.h"
#include "fileio/tests/kfilesizelimit.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include "base/karray.h"
#include "fcurve/kfcurve.h"
#include "formats/kzeqformats.h"
#include "formats/motion/testkit/zeqmotiontestkit.h"
#include "formats/motion/asf/kzeqasfscene.h"
#include "formats/motion/asf/kzeqwriteracclaimamc.h"
#include "formats/motion/asf/kzeqwriteracclaimasf.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodelimits.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"
#include "scene/kzeqtakenode.h"
#include "scene/tests/kfiletakelayers_scene.h"

namespace zeqsdk_400 {
namespace {

std::string SampleDir() {
#ifdef ZEQ_TESTDATA_DIR
    const std::string dir = std::string(ZEQ_TESTDATA_DIR) + "/asf-amc";
    if (FILE* f = std::fopen((dir + "/backflip.asf").c_str(), "rb")) {
        std::fclose(f);
        return dir;
    }
#endif
    return std::string();
}

#define REQUIRE_SAMPLES(dir)                   \
    const std::string dir = SampleDir();       \
    if (dir.empty()) GTEST_SKIP() << "sample files of asf-amc not found (ZEQ_TESTDATA_DIR)"

int CountNodes(KZeqNode* node) {
    int count = 1;
    for (int i = 0; i < node->GetChildCount(); ++i) count += CountNodes(node->GetChild(i));
    return count;
}

class AcclaimIO : public testing::Test {
protected:
    void SetUp() override { ZeqRegisterFormats(); }
    void TearDown() override {
        if (mOptions) mOptions->Destroy();
        mManager.DestroyKZeqScene(mScene, true);
    }
    std::string Path(const std::string& name) const { return mDir / name; }
    std::string Write(const std::string& name, const std::string& text) const {
        std::ofstream(Path(name), std::ios::binary) << text;
        return Path(name);
    }

    // The ASF row with its own options (kept for the AMC read), adjusted first.
    bool ImportAsf(const std::string& path, const std::function<void(KStreamOptionsMotion&)>& adjust = nullptr) {
        KZeqImporter importer(mManager);
        importer.SetFileFormat(KZeqImporter::eACCLAIM_ASF);
        importer.Initialize(path.c_str());
        if (mOptions) mOptions->Destroy();
        mOptions = static_cast<KStreamOptionsMotion*>(importer.GetImportOptions());
        if (!mOptions) return false;
        if (adjust) adjust(*mOptions);
        const bool ok = importer.Import(*mScene, mOptions);
        mLastError = importer.GetLastErrorID();
        return ok;
    }
    // The AMC row with the skeleton's options: frame count and start from the
    // file, the rate given (the files state none).
    bool ImportAmc(const std::string& path, double rate = 120.0) {
        KZeqImporter importer(mManager);
        importer.SetFileFormat(KZeqImporter::eACCLAIM_AMC);
        importer.Initialize(path.c_str());
        if (!mOptions) mOptions = KStreamOptionsMotionCreate();
        mOptions->SetTimeMode(KTime::eModeDefault, rate);
        if (KStreamOptions* read = importer.GetImportOptions()) {
            auto* motion = static_cast<KStreamOptionsMotion*>(read);
            const long long first = motion->GetStart().Get() / motion->GetFramePeriod().Get();
            mOptions->SetFrameCount(motion->GetFrameCount());
            mOptions->SetStart(mOptions->GetFramePeriod() * static_cast<int>(first));
            read->Destroy();
        }
        const bool ok = importer.Import(*mScene, mOptions);
        mLastError = importer.GetLastErrorID();
        return ok;
    }
    bool Export(int row, const std::string& path, const std::function<void(KStreamOptionsMotion&)>& adjust = nullptr,
                KStreamOptionsMotion* options = nullptr) {
        KZeqExporter exporter(mManager);
        exporter.SetFileFormat(row);
        if (!exporter.Initialize(path.c_str())) return false;
        if (!options) {
            if (!mOptions) mOptions = static_cast<KStreamOptionsMotion*>(exporter.GetExportOptions());
            options = mOptions;
        }
        if (adjust) adjust(*options);
        const bool ok = exporter.Export(*mScene, options);
        mLastError = exporter.GetLastErrorID();
        mLastText = exporter.GetLastErrorString();
        mLastSystemError = exporter.GetError().GetLastSystemError();
        KString message;
        exporter.GetMessage(message);
        mLastMessage = message.Buffer();
        return ok;
    }
    KZeqNode* Find(const char* name) const { return mScene->GetRootNode()->FindChild(name, true); }

    KZeqSdkManager mManager;
    KZeqScene* mScene = mManager.CreateKZeqScene();
    KStreamOptionsMotion* mOptions = nullptr;
    int mLastError = -1;
    // The last export's error text, system error number and message.
    std::string mLastText;
    int mLastSystemError = 0;
    std::string mLastMessage;
    const zeqtest::TempDir mDir;
};

struct SamplePair {
    const char* mAsf;
    const char* mAmc;
    int mFrames;
};

class AcclaimSamples : public AcclaimIO, public testing::WithParamInterface<SamplePair> {};

TEST_P(AcclaimSamples, ReadAsCounted) {
    REQUIRE_SAMPLES(dir);
    ASSERT_TRUE(ImportAsf(dir + "/" + GetParam().mAsf)) << mLastError;
    KZeqNode* reference = Find("VICON:reference");
    ASSERT_TRUE(reference);
    // root, 28 bones (the two hip joints without dof dissolved), 7 "_End".
    EXPECT_EQ(CountNodes(reference) - 1, 36);
    EXPECT_TRUE(Find("ltoes_End"));
    EXPECT_FALSE(Find("lhipjoint"));

    ASSERT_TRUE(ImportAmc(dir + "/" + GetParam().mAmc)) << mLastError;
    const std::string take = std::string(GetParam().mAmc).substr(0, std::string(GetParam().mAmc).size() - 4);
    EXPECT_EQ(std::string(mScene->GetCurrentTakeName()), take);
    const KZeqTakeInfo* info = mScene->GetTakeInfo(take.c_str());
    ASSERT_TRUE(info);
    EXPECT_NEAR((info->mLocalTimeSpan.GetStop() - info->mLocalTimeSpan.GetStart()).GetSecondDouble(),
                (GetParam().mFrames - 1) / 120.0, 1e-9);
    KZeqTakeNode* lfemur = Find("lfemur")->GetCurrentTakeNode();
    ASSERT_TRUE(lfemur && lfemur->GetEulerRotationX());
    EXPECT_EQ(lfemur->GetEulerRotationX()->KeyGetCount(), GetParam().mFrames);
    KZeqTakeNode* root = Find("root")->GetCurrentTakeNode();
    ASSERT_TRUE(root->GetTranslationX());
    EXPECT_EQ(root->GetTranslationX()->KeyGetCount(), GetParam().mFrames);
}

// The sampler keys rotations continuous as the unroll filter makes them, so
// it leaves that filter out: run on what was read (before the constant key
// reducer, which comes after it), it changes no key.
TEST_P(AcclaimSamples, RotationKeysNeedNoUnrolling) {
    REQUIRE_SAMPLES(dir);
    ASSERT_TRUE(ImportAsf(dir + "/" + GetParam().mAsf)) << mLastError;
    const bool reducer = KFCURVE_GetUseConstantKeyReducer();
    KFCURVE_SetUseConstantKeyReducer(false);
    const bool read = ImportAmc(dir + "/" + GetParam().mAmc);
    KFCURVE_SetUseConstantKeyReducer(reducer);
    ASSERT_TRUE(read) << mLastError;
    EXPECT_TRUE(zeqmotiontest::UnrollChangesNoKey(Find("VICON:reference")));
}

INSTANTIATE_TEST_SUITE_P(Files, AcclaimSamples,
                         testing::Values(SamplePair{"backflip.asf", "backflip.amc", 247},
                                         SamplePair{"pirouette.asf", "pirouette.amc", 591},
                                         SamplePair{"charleston.asf", "charleston1.amc", 506},
                                         SamplePair{"HDM_dg.asf", "HDM_dg_06-03_03_120.amc", 202}),
                         [](const testing::TestParamInfo<SamplePair>& info) {
                             std::string name = info.param.mAsf;
                             return name.substr(0, name.find_first_of("_."));
                         });

TEST_F(AcclaimIO, DummyBonesStayOnRequest) {
    REQUIRE_SAMPLES(dir);
    ASSERT_TRUE(ImportAsf(dir + "/backflip.asf", [](KStreamOptionsMotion& options) {
        options.SetOption(KStreamOptionsMotion::eImportDummyNodes, KStreamOptionsMotion::eOn);
    }));
    EXPECT_EQ(CountNodes(Find("VICON:reference")) - 1, 38);
    EXPECT_TRUE(Find("lhipjoint"));
}

// A small skeleton: a (rx ry rz and an "l" place) below the root, b (tx rz) below a.
const char kSkeleton[] =
    ":version 1.10\n:name Small\n:units\n  length 1\n  angle deg\n:root\n  order TX TY TZ RX RY RZ\n  axis XYZ\n"
    "  position 0 0 0\n  orientation 0 0 0\n:bonedata\n"
    "  begin\n  name a\n  direction 0 1 0\n  length 1\n  axis 0 0 0 XYZ\n  dof rx ry rz l\n  end\n"
    "  begin\n  name b\n  direction 1 0 0\n  length 2\n  axis 0 0 0 XYZ\n  dof tx rz\n  end\n"
    ":hierarchy\n  begin\n  root a\n  a b\n  end\n";

std::string Frames(const std::vector<int>& numbers) {
    std::string text = ":FULLY-SPECIFIED\n:DEGREES\n";
    for (int n : numbers)
        text += std::to_string(n) + "\nroot 0 0 0 0 0 0\na 10 20 30 999\nb 1 " + std::to_string(n) + "\n";
    return text;
}

// A skeleton the file class refuses and one with two bones of one name: each read fails as "File
// is corrupted" and leaves no node of its own behind.
TEST_F(AcclaimIO, RefusedSkeletonsLeaveTheSceneAsItWas) {
    const int nodes = mManager.GetKZeqNodeCount();
    zeqmotiontest::CallbackRecorder recorder;
    const auto install = [&recorder](KStreamOptionsMotion& options) { recorder.Install(options); };
    std::string broken = kSkeleton;
    broken.replace(broken.find("  a b\n"), 6, "  x b\n");  // an unknown parent bone
    EXPECT_FALSE(ImportAsf(Write("broken.asf", broken), install));
    EXPECT_EQ(mLastError, KZeqImporter::eFileCorrupted);
    EXPECT_TRUE(recorder.mMessages.empty());

    std::string twice = kSkeleton;
    twice.replace(twice.find("name b"), 6, "name a");
    twice.replace(twice.find("  a b\n"), 6, "");
    EXPECT_FALSE(ImportAsf(Write("twice.asf", twice), install));
    EXPECT_EQ(mLastError, KZeqImporter::eFileCorrupted);
    ASSERT_EQ(recorder.mMessages.size(), 1u);
    EXPECT_EQ(recorder.mMessages[0].mCaption, "Error");
    EXPECT_EQ(recorder.mMessages[0].mText, "Duplicate names found in twice.asf:\n    Model::a\n    Model::a_End");
    EXPECT_EQ(mScene->GetRootNode()->GetChildCount(), 0);
    EXPECT_EQ(mManager.GetKZeqNodeCount(), nodes);
}

class AcclaimMotion : public AcclaimIO {
protected:
    void SetUp() override {
        AcclaimIO::SetUp();
        ASSERT_TRUE(ImportAsf(Write("small.asf", kSkeleton)));
    }
    KFCurve* Curve(const char* node, KFCurve* (KZeqTakeNode::*channel)()) {
        KZeqTakeNode* take = Find(node)->GetCurrentTakeNode();
        return take ? (take->*channel)() : nullptr;
    }
};

TEST_F(AcclaimMotion, ValuesFollowTheDofListAndTheLengthPlaceIsSkipped) {
    ASSERT_TRUE(ImportAmc(Write("m.amc", Frames({1, 2, 3})), 30.0));
    // rx ry rz applied in list order is the Euler XYZ rotation itself; 999 fills the "l" place.
    // (Constant channels keep their value once the constant keys are reduced.)
    auto at = [this](const char* node, KFCurve* (KZeqTakeNode::*channel)(), int frame) {
        KFCurve* curve = Curve(node, channel);
        KTime time;
        time.SetSecondDouble(frame / 30.0);
        return curve ? curve->Evaluate(time) : -12345.0f;
    };
    EXPECT_NEAR(at("a", &KZeqTakeNode::GetEulerRotationX, 0), 10.0f, 1e-4);
    EXPECT_NEAR(at("a", &KZeqTakeNode::GetEulerRotationY, 1), 20.0f, 1e-4);
    EXPECT_NEAR(at("a", &KZeqTakeNode::GetEulerRotationZ, 2), 30.0f, 1e-4);
    // b: tx of 1 inch on top of its offset (a's bone, 2.54 cm along Y).
    EXPECT_NEAR(at("b", &KZeqTakeNode::GetTranslationX, 0), 2.54f, 1e-5);
    EXPECT_NEAR(at("b", &KZeqTakeNode::GetTranslationY, 0), 2.54f, 1e-5);
    EXPECT_NEAR(at("b", &KZeqTakeNode::GetEulerRotationZ, 2), 3.0f, 1e-5);
}

TEST_F(AcclaimMotion, FramesThatDoNotIncreaseAreSkipped) {
    ASSERT_TRUE(ImportAmc(Write("m.amc", Frames({1, 2, 2, 1, 3})), 30.0));
    KFCurve* rz = Curve("b", &KZeqTakeNode::GetEulerRotationZ);
    ASSERT_EQ(rz->KeyGetCount(), 3);
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(rz->KeyGetPtr(k)->GetTime().GetSecondDouble(), k / 30.0, 1e-9);
        EXPECT_NEAR(rz->KeyGetPtr(k)->GetValue(), k + 1.0f, 1e-5);
    }
}

TEST_F(AcclaimMotion, ASecondReadOfOneFileIsASecondTake) {
    const std::string path = Write("walk.amc", Frames({1, 2}));
    ASSERT_TRUE(ImportAmc(path, 30.0));
    ASSERT_TRUE(ImportAmc(path, 30.0));
    EXPECT_EQ(std::string(mScene->GetCurrentTakeName()), "walk 1");
    EXPECT_TRUE(mScene->GetTakeInfo("walk"));
}

struct HeaderCase {
    const char* mName;
    std::string mText;
    int mFrames;  // -1: refused
    double mRate;
};

class AcclaimHeaders : public AcclaimMotion, public testing::WithParamInterface<HeaderCase> {};

TEST_P(AcclaimHeaders, ReadOptions) {
    KZeqImporter importer(mManager);
    importer.SetFileFormat(KZeqImporter::eACCLAIM_AMC);
    importer.Initialize(Write("h.amc", GetParam().mText).c_str());
    KStreamOptions* options = importer.GetImportOptions();
    if (GetParam().mFrames < 0) {
        EXPECT_FALSE(options);
        mOptions->SetFrameCount(0);
        EXPECT_FALSE(importer.Import(*mScene, mOptions));
        EXPECT_EQ(importer.GetLastErrorID(), 0);
        return;
    }
    ASSERT_TRUE(options);
    auto* motion = static_cast<KStreamOptionsMotion*>(options);
    EXPECT_EQ(motion->GetFrameCount(), GetParam().mFrames);
    if (GetParam().mRate > 0.0) {
        EXPECT_EQ(motion->GetFrameRate(), GetParam().mRate);
    }
    options->Destroy();
}

std::string Blocks(int count) {
    std::vector<int> numbers;
    for (int i = 1; i <= count; ++i) numbers.push_back(i);
    return Frames(numbers);
}

INSTANTIATE_TEST_SUITE_P(
    Files, AcclaimHeaders,
    testing::Values(HeaderCase{"FirstFrameIndexed", ":FORMAT FIRSTFRAME-INDEXED\n" + Blocks(2), -1, 0.0},
                    HeaderCase{"OtherFormat", ":FORMAT FULLY-SPECIFIED\n" + Blocks(2), 2, 0.0},
                    HeaderCase{"BackwardRangeIgnored", ":FRAME-RANGE 10-5\n" + Blocks(3), 3, 0.0},
                    HeaderCase{"RangeCuts", ":FRAME-RANGE 1-100\n" + Blocks(120), 100, 0.0},
                    HeaderCase{"Rate", ":SAMPLES-PER-SECOND 120\n" + Blocks(2), 2, 120.0},
                    HeaderCase{"UnknownKeywordLine", "hello\n" + Blocks(2), -1, 0.0}),
    [](const testing::TestParamInfo<HeaderCase>& info) { return std::string(info.param.mName); });

TEST_F(AcclaimMotion, RefusedReadsLeaveTheSceneAsItWas) {
    const int nodes = mManager.GetKZeqNodeCount();
    for (const char* text : {"1\nroot 0 0 0 0 0 0\nro", "1\nroot 1 2 3 4 5 6\nroot 1 2 3 4 5 6\n",
                             "1\nroot 0 0 0 0 0 0\na 1 x 3\n", "1\nroot 0 0 0 0 0 inf\n",
                             "1\nroot 1 2 3 4 5 6\n:FORMAT FIRSTFRAME-INDEXED\n", ":FORMAT\n"}) {
        mOptions->SetFrameCount(0);
        KZeqImporter importer(mManager);
        importer.SetFileFormat(KZeqImporter::eACCLAIM_AMC);
        importer.Initialize(Write("bad.amc", text).c_str());
        EXPECT_FALSE(importer.Import(*mScene, mOptions)) << text;
        EXPECT_EQ(importer.GetLastErrorID(), 0) << text;
        EXPECT_EQ(mManager.GetKZeqNodeCount(), nodes) << text;
        EXPECT_EQ(std::string(mScene->GetCurrentTakeName()), "") << text;
        EXPECT_EQ(Find("a")->GetTakeNodeCount(), 1) << text;
    }
}

TEST_F(AcclaimIO, MotionWithoutASkeletonIsRefused) {
    KZeqImporter importer(mManager);
    importer.SetFileFormat(KZeqImporter::eACCLAIM_AMC);
    importer.Initialize(Write("m.amc", Frames({1})).c_str());
    KStreamOptionsMotion* options = KStreamOptionsMotionCreate();
    EXPECT_FALSE(importer.Import(*mScene, options));
    options->Destroy();
    EXPECT_EQ(mScene->GetRootNode()->GetChildCount(), 0);
}

TEST_F(AcclaimIO, LimitsOfAnRxOnlyBone) {
    ASSERT_TRUE(ImportAsf(Write("s.asf", std::string(kSkeleton).replace(std::string(kSkeleton).find("dof tx rz"), 9,
                                                                        "dof rx")),
                          [](KStreamOptionsMotion& options) {
                              options.SetOption(KStreamOptionsMotion::eImportLimits, KStreamOptionsMotion::eOn);
                          }));
    KZeqNodeLimits& limits = Find("b")->GetLimits();
    EXPECT_FALSE(limits.GetAuto(KZeqNodeLimits::eR));
    EXPECT_EQ(limits.GetMin(KZeqNodeLimits::eR), KZeqVector4(0, 0, -180, 0));
    EXPECT_EQ(limits.GetMax(KZeqNodeLimits::eR), KZeqVector4(0, 0, 180, 0));
    EXPECT_NEAR(limits.GetAxisLength(), 5.08, 1e-12);
    // E: rows Z, Y and -X; its XYZ angles.
    KgeRMatrix e = {{0, 0, 1, 0}, {0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 0, 1}};
    double angles[3];
    KmRtoVXYZ(angles, e);
    EXPECT_EQ(limits.GetRotationAxis(), KZeqVector4(angles[0], angles[1], angles[2], 0));
    // a (three rotation dofs) keeps an automatic rotation limit; the root gets none.
    EXPECT_TRUE(Find("a")->GetLimits().GetAuto(KZeqNodeLimits::eR));
    EXPECT_FALSE(Find("a")->GetLimits().GetAuto(KZeqNodeLimits::eT));
    EXPECT_TRUE(Find("root")->GetLimits().GetAuto(KZeqNodeLimits::eT));

    // b's axis turned a few hundredths of a degree about X: its limits' default rotation, E then
    // that turn, lies as near a quarter turn about Y, and keeps the turn.
    for (double x : {0.05, -0.03}) {
        mManager.DestroyKZeqScene(mScene, true);
        mScene = mManager.CreateKZeqScene();
        std::string turned = kSkeleton;
        turned.replace(turned.find("dof tx rz"), 9, "dof rx");
        turned.replace(turned.find("axis 0 0 0 XYZ", turned.find("name b")), 14, "axis " + std::to_string(x) + " 0 0 XYZ");
        ASSERT_TRUE(ImportAsf(Write("turned.asf", turned), [](KStreamOptionsMotion& options) {
            options.SetOption(KStreamOptionsMotion::eImportLimits, KStreamOptionsMotion::eOn);
        }));
        KgeRMatrix axis, expected, read;
        KmXYZtoR(axis, x, 0, 0);
        KmRR(expected, axis, e);
        const KZeqVector4 pre = Find("b")->GetLimits().GetDefault(KZeqNodeLimits::eR);
        KmXYZtoR(read, pre[0], pre[1], pre[2]);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) EXPECT_NEAR(read[i][j], expected[i][j], 1e-12) << x << " " << i << j;
    }
}

// ---- Writers ---------------------------------------------------------------------------------

class AcclaimWriters : public AcclaimIO {
protected:
    KZeqNode* Node(const char* name, KZeqNode* parent, KZeqVector4 t = KZeqVector4(),
                   KZeqVector4 scaling = KZeqVector4(1, 1, 1, 0)) {
        KZeqNode* node = mManager.CreateKZeqNode(name);
        node->SetDefaultT(t);
        node->SetDefaultS(scaling);
        (parent ? parent : mScene->GetRootNode())->AddChild(node);
        return node;
    }
    std::string Read(const std::string& path) const {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

TEST_F(AcclaimWriters, BonesRunTowardTheChildren) {
    KZeqNode* top = Node("top", nullptr);
    top->SetSelected(true);
    // A scaling of 2 carries into the bone: 10 cm x 2 = 20 cm = 7.87402 inches.
    KZeqNode* n1 = Node("n1", top, KZeqVector4(), KZeqVector4(2, 2, 2, 0));
    Node("n2", n1, KZeqVector4(10, 0, 0, 0));
    KZeqNode* away = Node("away", n1, KZeqVector4(10, 0, 0, 0));
    Node("leaf", away, KZeqVector4(0, 3, 0, 0));
    KZeqNode* fork = Node("fork", top, KZeqVector4(0, 0, 0, 0));
    Node("q", fork, KZeqVector4(1, 0, 0, 0));
    Node("r", fork, KZeqVector4(0, 1, 0, 0));
    ASSERT_TRUE(Export(KZeqExporter::eACCLAIM_ASF, Path("w.asf"))) << mLastError;
    const std::string text = Read(Path("w.asf"));
    EXPECT_NE(text.find("name n1\n    direction 1 0 0\n    length 7.87402\n"), std::string::npos) << text;
    EXPECT_NE(text.find("order  tx ty tz rx ry rz\n"), std::string::npos);
    EXPECT_NE(text.find("dof rx ry rz\n"), std::string::npos);
    // Unanimated leaves give no bone; children at different offsets a dummy each.
    EXPECT_EQ(text.find("name n2\n"), std::string::npos);
    EXPECT_EQ(text.find("name leaf\n"), std::string::npos);
    EXPECT_NE(text.find("    fork qDummy rDummy\n"), std::string::npos) << text;
    EXPECT_NE(text.find("name fork\n    direction 0 0 0\n    length 0\n"), std::string::npos);
    EXPECT_NE(text.find("name qDummy\n    direction 1 0 0\n    length 0.393701\n    axis 0 0 0 xyz\n  end\n"),
              std::string::npos)
        << text;
}

// A bone is bound to the first node of its name below its parent bone's node: two limbs with a
// joint of one name each keep their own, and a joint named as its parent is not taken for it.
TEST_F(AcclaimWriters, EachBoneIsBoundBelowItsParentsNode) {
    KZeqNode* top = Node("top", nullptr);
    KZeqNode* first = Node("N", Node("P", top), KZeqVector4(1, 0, 0, 0));
    KZeqNode* second = Node("N", Node("Q", top), KZeqVector4(0, 1, 0, 0));
    KZeqNode* third = Node("N", second, KZeqVector4(0, 0, 1, 0));
    for (KZeqNode* node : {first, third}) Node("tip", node, KZeqVector4(2, 0, 0, 0));
    KZeqAsfScene* asf = new KZeqAsfScene;
    asf->ZEQToASF(top, false, KZeqVector4(1, 1, 1, 1));
    asf->ClearCurveNodes();
    asf->MergeZEQToASF(top);
    // The bone of each path of names, and the node it must be bound to.
    const auto bone = [asf](std::vector<const char*> path) {
        KZeqAsfNode* at = asf->GetRoot();
        for (const char* name : path) {
            KZeqAsfNode* next = nullptr;
            for (int i = 0; at && i < at->GetChildCount() && !next; ++i)
                if (std::string(at->GetChild(i)->GetName()) == name) next = at->GetChild(i);
            at = next;
        }
        return at ? at->mNode : nullptr;
    };
    EXPECT_EQ(top, bone({}));
    EXPECT_EQ(first, bone({"P", "N"}));
    EXPECT_EQ(second, bone({"Q", "N"}));
    EXPECT_EQ(third, bone({"Q", "N", "N"}));
    asf->Destroy();
}

TEST_F(AcclaimWriters, TheRootsOffsetGoesToADummy) {
    KZeqNode* top = Node("top", nullptr);
    top->SetSelected(true);
    Node("c", top, KZeqVector4(5, 0, 0, 0));
    Node("d", top, KZeqVector4(5, 0, 0, 0));
    ASSERT_TRUE(Export(KZeqExporter::eACCLAIM_ASF, Path("w.asf")));
    const std::string text = Read(Path("w.asf"));
    // Written as zeros, the root's position cannot carry the offset the children share.
    EXPECT_NE(text.find("    root cDummy dDummy\n"), std::string::npos) << text;
    EXPECT_NE(text.find("position 0 0 0\n"), std::string::npos);
}

TEST_F(AcclaimWriters, FramesAreNumberedFromOneWhateverTheRange) {
    KZeqNode* top = Node("top", nullptr);
    top->SetSelected(true);
    Node("c", top);
    ASSERT_TRUE(Export(KZeqExporter::eACCLAIM_ASF, Path("w.asf")));
    KTime start;
    start.SetSecondDouble(10.0);
    ASSERT_TRUE(Export(KZeqExporter::eACCLAIM_AMC, Path("w.amc"), [start](KStreamOptionsMotion& options) {
        options.SetTimeMode(KTime::eModeDefault, 30.0);
        options.SetStart(start);
        options.SetFrameCount(3);
        options.SetOption(KStreamOptionsMotion::eExportFrameRange, KStreamOptionsMotion::eOn);
    })) << mLastError;
    const std::string text = Read(Path("w.amc"));
    EXPECT_EQ(text.substr(0, text.find("\n2\n")),
              ":SAMPLES-PER-SECOND 30\n:FRAME-RANGE 300-302\n:FULLY-SPECIFIED\n:DEGREES\n1\nroot  0 0 0 0 0 0");
    EXPECT_NE(text.find("\n3\nroot"), std::string::npos);
}

TEST_F(AcclaimWriters, RefusedScenes) {
    struct Case {
        const char* mName;
        std::function<void()> mBuild;
        int mError;
        std::string mText;  // what the error and the message say
    };
    const std::vector<Case> cases = {
        {"TwoTops", [this] { Node("a", nullptr)->SetSelected(true); Node("b", nullptr); }, KZeqWriter::eFileNotCreated,
         "Scene must have a single root node."},
        {"RootBelow", [this] { Node("root", Node("a", nullptr))->GetParent()->SetSelected(true); },
         KZeqWriter::eUnidentifiedError, "Model name \"root\" is only allowed for the ASF root node."},
        {"Space", [this] { Node("b c", Node("a", nullptr))->GetParent()->SetSelected(true); },
         KZeqWriter::eUnidentifiedError, "Spaces are not allowed in ASF node names:\n    Model::b c"},
    };
    for (const Case& c : cases) {
        mManager.DestroyKZeqScene(mScene, true);
        mScene = mManager.CreateKZeqScene();
        c.mBuild();
        KZeqWriterAcclaimAsf writer(mManager);
        ASSERT_TRUE(writer.FileCreate(Path("r.asf").c_str()));
        KStreamOptions* options = writer.GetWriteOptions();
        EXPECT_FALSE(writer.Write(*mScene, options)) << c.mName;
        EXPECT_EQ(writer.GetLastErrorID(), c.mError) << c.mName;
        EXPECT_EQ(c.mText, writer.GetLastErrorString());
        KString message;
        writer.GetMessage(message);
        EXPECT_EQ(c.mText, message.Buffer());
        options->Destroy();
    }
}

// AMC motion goes over the skeleton an ASF export (or import) leaves in the
// options: without one the export is refused as what it is, on a disk with
// room, and makes no file.
TEST_F(AcclaimWriters, MotionWithoutItsSkeletonIsRefusedAsSuch) {
    const std::string refusal = "No ASF skeleton in the options: an AMC file is written after its ASF file.";
    KZeqNode* top = Node("top", nullptr);
    top->SetSelected(true);
    Node("c", top);
    EXPECT_FALSE(Export(KZeqExporter::eACCLAIM_AMC, Path("w.amc")));
    EXPECT_EQ(KZeqIO::eOutOfDiskSpace, mLastError);  // the exporter's code for any write that fails
    EXPECT_EQ(refusal, mLastText);
    EXPECT_EQ(0, mLastSystemError);
    EXPECT_EQ(refusal, mLastMessage);
    EXPECT_NE(0, ::access(Path("w.amc").c_str(), F_OK));

    KZeqWriterAcclaimAmc writer(mManager);
    ASSERT_TRUE(writer.FileCreate(Path("w.amc").c_str()));
    KStreamOptions* options = writer.GetWriteOptions();
    EXPECT_FALSE(writer.Write(*mScene, options));
    EXPECT_EQ(KZeqWriter::eUnidentifiedError, writer.GetLastErrorID());
    EXPECT_EQ(refusal, writer.GetLastErrorString());
    EXPECT_TRUE(writer.FileClose());
    EXPECT_NE(0, ::access(Path("w.amc").c_str(), F_OK));
    options->Destroy();
}

TEST_F(AcclaimWriters, OutputErrorsAreReported) {
    KZeqNode* top = Node("top", nullptr);
    top->SetSelected(true);
    Node("c", top);
    const std::string kept = Path("kept.asf");
    zeqmotiontest::WriteText(kept, "# kept\n");
    {
        zeqtest::ScopedFileSizeLimit full(16);
        KZeqWriterAcclaimAsf writer(mManager);
        ASSERT_TRUE(writer.FileCreate(kept.c_str()));
        KStreamOptions* options = writer.GetWriteOptions();
        EXPECT_FALSE(writer.Write(*mScene, options));
        EXPECT_EQ(writer.GetLastErrorID(), KZeqWriter::eOutOfDiskSpace);
        EXPECT_EQ(EFBIG, writer.GetError().GetLastSystemError());
        KString message;
        writer.GetMessage(message);
        EXPECT_EQ(std::string(message.Buffer()), "Error writing \"" + kept + "\": File too large");
        writer.FileClose();
        options->Destroy();
    }
    EXPECT_EQ("# kept\n", zeqmotiontest::ReadText(kept));
}

// ---- Round trips ------------------------------------------------------------------------------

// Names, parents and world positions alike, matched by name (renamed first).
testing::AssertionResult SameJoints(const zeqmotiontest::MotionSnapshot& expected,
                                    const zeqmotiontest::MotionSnapshot& actual, double tolerance,
                                    const std::vector<std::pair<std::string, std::string>>& renamed = {}) {
    auto rename = [&renamed](const std::string& name) {
        for (const auto& pair : renamed)
            if (pair.first == name) return pair.second;
        return name;
    };
    auto index = [](const zeqmotiontest::MotionSnapshot& s, const std::string& name) {
        for (std::size_t i = 0; i < s.mNames.size(); ++i)
            if (s.mNames[i] == name) return static_cast<int>(i);
        return -1;
    };
    if (expected.mPositions.size() != actual.mPositions.size())
        return testing::AssertionFailure() << "sample counts differ";
    for (std::size_t i = 0; i < expected.mNames.size(); ++i) {
        const std::string name = rename(expected.mNames[i]);
        const int j = index(actual, name);
        if (j < 0) return testing::AssertionFailure() << name << " is missing";
        const int parent = expected.mParents[i];
        const int other = actual.mParents[static_cast<std::size_t>(j)];
        if ((parent < 0) != (other < 0) ||
            (parent >= 0 && rename(expected.mNames[static_cast<std::size_t>(parent)]) !=
                                actual.mNames[static_cast<std::size_t>(other)]))
            return testing::AssertionFailure() << name << " has another parent";
        for (std::size_t f = 0; f < expected.mPositions.size(); ++f)
            for (int c = 0; c < 3; ++c) {
                const double d = expected.mPositions[f][i][c] - actual.mPositions[f][static_cast<std::size_t>(j)][c];
                if (std::fabs(d) > tolerance)
                    return testing::AssertionFailure()
                           << name << " at sample " << f << " axis " << c << " differs by " << d;
            }
    }
    return testing::AssertionSuccess();
}

class AcclaimRoundTrip : public AcclaimIO {
protected:
    // Writes the skeleton below top and the current take's frames as ASF and AMC.
    void WriteBoth(KZeqNode* top, int frames, double rate) {
        top->SetSelected(true);
        if (mOptions) mOptions->Destroy();
        mOptions = nullptr;
        ASSERT_TRUE(Export(KZeqExporter::eACCLAIM_ASF, Path("out.asf"))) << mLastError;
        ASSERT_TRUE(Export(KZeqExporter::eACCLAIM_AMC, Path("out.amc"), [frames, rate](KStreamOptionsMotion& options) {
            options.SetTimeMode(KTime::eModeDefault, rate);
            options.SetStart(KTime());
            options.SetFrameCount(frames);
        })) << mLastError;
        mOptions->Destroy();
        mOptions = nullptr;
    }
    // Reads them back into a fresh scene.
    void ReadBack(double rate) {
        mManager.DestroyKZeqScene(mScene, true);
        mScene = mManager.CreateKZeqScene();
        ASSERT_TRUE(ImportAsf(Path("out.asf")));
        ASSERT_TRUE(ImportAmc(Path("out.amc"), rate));
    }
};

// A one-frame AMC (what the writers make of a scene without takes) holds the
// pose: read back with its skeleton, every joint is where the scene put it,
// as with two frames. j0 at the origin, j1 (0, 2, 0) turned (30, 40, 50), j2
// (0, 2, 0) below it, read back as j1's end.
TEST_F(AcclaimRoundTrip, AOneFrameMotionReadsBackPosed) {
    for (int frames : {1, 2}) {
        SCOPED_TRACE(std::to_string(frames) + " frames");
        mManager.DestroyKZeqScene(mScene, true);
        mScene = mManager.CreateKZeqScene();
        KZeqNode* parent = mScene->GetRootNode();
        for (const char* name : {"j0", "j1", "j2"}) {
            KZeqNode* node = mManager.CreateKZeqNode(name);
            if (parent != mScene->GetRootNode()) node->SetDefaultT(KZeqVector4(0.0, 2.0, 0.0, 0.0));
            parent->AddChild(node);
            parent = node;
        }
        Find("j1")->SetDefaultR(KZeqVector4(30.0, 40.0, 50.0, 0.0));
        std::vector<KZeqVector4> expected;
        for (const char* name : {"j1", "j2"}) expected.push_back(Find(name)->EvaluateGlobalTransform().GetT());
        WriteBoth(Find("j0"), frames, 30.0);
        ReadBack(30.0);
        for (int j = 0; j < 2; ++j) {
            // The leaf, without motion of its own, is its parent bone's end.
            KZeqNode* read = Find(j == 0 ? "j1" : "j1_End");
            ASSERT_NE(read, nullptr);
            const KZeqVector4 at = read->GetGlobalFromCurrentTake(KTime()).GetT();
            for (int a = 0; a < 3; ++a) EXPECT_NEAR(at[a], expected[j][a], 1e-5) << read->GetName() << " axis " << a;
        }
    }
}

// A leaf whose base curves hold no keys but whose take turns it by a layer moves: a bone of its
// own, not dropped as a still leaf, turning as the take plays it (0 to 60 degrees about Z).
TEST_F(AcclaimRoundTrip, ALeafTurnedByALayerAloneIsABone) {
    KZeqNode* parent = mScene->GetRootNode();
    for (const char* name : {"j0", "j1", "j2"}) {
        KZeqNode* node = mManager.CreateKZeqNode(name);
        if (parent != mScene->GetRootNode()) node->SetDefaultT(KZeqVector4(0.0, 2.0, 0.0, 0.0));
        parent->AddChild(node);
        node->CreateTakeNode("Take");
        node->SetCurrentTakeNode("Take");
        parent = node;
    }
    KZeqTakeInfo info;
    info.mName = "Take";
    KTime second;
    second.SetSecondDouble(1.0);
    info.mLocalTimeSpan = KTimeSpan(KTime(), second);
    info.mReferenceTimeSpan = info.mLocalTimeSpan;
    mScene->SetTakeInfo(info);
    mScene->SetCurrentTake("Take");
    zeqtest::TakeLayering layering;
    layering.mLayers = zeqtest::eRotationLayer;
    layering.mLayerR[0] = layering.mLayerR[1] = {{0.0, 0.0}, {1.0, 0.0}};
    layering.mLayerR[2] = {{0.0, 0.0}, {1.0, 60.0}};
    zeqtest::AddTakeLayering(*Find("j2"), "Take", layering);
    const KZeqXMatrix written = Find("j2")->EvaluateGlobalTransform(second);
    WriteBoth(Find("j0"), 31, 30.0);
    std::ifstream in(Path("out.asf"));
    const std::string asf((std::istreambuf_iterator<char>(in)), {});
    ASSERT_NE(asf.find("name j2\n"), std::string::npos) << asf;
    ReadBack(30.0);
    ASSERT_NE(Find("j2"), nullptr);
    const KZeqXMatrix read = Find("j2")->GetGlobalFromCurrentTake(second);
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            EXPECT_NEAR(read.mData[row][column], written.mData[row][column], 1e-4) << row << " " << column;
}

// From global position below a node scaled (1, -1, 1), a mirror, the root
// mirrored too: the root turns as its parent's global matrix turns it, the
// mirrors are carried into the offsets below (no joint turned by them), and
// every joint read back is where the scene puts it.
TEST_F(AcclaimRoundTrip, FromGlobalPositionBelowAMirrorEveryJointIsInPlace) {
    KZeqNode* parent = mManager.CreateKZeqNode("mirror");
    parent->SetDefaultS(KZeqVector4(1.0, -1.0, 1.0, 0.0));
    mScene->GetRootNode()->AddChild(parent);
    const double turns[3][3] = {{10.0, 20.0, 30.0}, {30.0, 40.0, 50.0}, {0.0, 0.0, 0.0}};
    std::vector<KZeqNode*> joints;
    for (int j = 0; j < 3; ++j) {
        KZeqNode* node = mManager.CreateKZeqNode(("j" + std::to_string(j)).c_str());
        // j1 at j0's origin: the root's bone needs no dummy to carry an offset.
        node->SetDefaultT(j == 1 ? KZeqVector4() : KZeqVector4(0.5, j == 0 ? 1.0 : 2.0, 0.0, 0.0));
        node->SetDefaultR(KZeqVector4(turns[j][0], turns[j][1], turns[j][2], 0.0));
        parent->AddChild(node);
        joints.push_back(parent = node);
    }
    joints[0]->SetDefaultS(KZeqVector4(1.0, -1.0, 1.0, 0.0));
    std::vector<KZeqVector4> expected;
    for (KZeqNode* node : joints) expected.push_back(node->EvaluateGlobalTransform().GetT());
    joints[0]->SetSelected(true);
    const auto global = [](KStreamOptionsMotion& options) {
        options.SetOption(KStreamOptionsMotion::eExportFromGlobalPosition, KStreamOptionsMotion::eOn);
        options.SetTimeMode(KTime::eModeDefault, 30.0);
        options.SetFrameCount(1);
    };
    ASSERT_TRUE(Export(KZeqExporter::eACCLAIM_ASF, Path("out.asf"), global)) << mLastError;
    ASSERT_TRUE(Export(KZeqExporter::eACCLAIM_AMC, Path("out.amc"), global)) << mLastError;
    mOptions->Destroy();
    mOptions = nullptr;
    ReadBack(30.0);
    const char* const read[3] = {"root", "j1", "j1_End"};
    for (int j = 0; j < 3; ++j) {
        KZeqNode* node = Find(read[j]);
        ASSERT_NE(node, nullptr) << read[j];
        const KZeqVector4 at = node->GetGlobalFromCurrentTake(KTime()).GetT();
        for (int a = 0; a < 3; ++a) EXPECT_NEAR(at[a], expected[j][a], 1e-5) << read[j] << " axis " << a;
    }
}

class AcclaimSampleRoundTrip : public AcclaimRoundTrip, public testing::WithParamInterface<SamplePair> {};

TEST_P(AcclaimSampleRoundTrip, WrittenFilesReadBackAlike) {
    REQUIRE_SAMPLES(dir);
    ASSERT_TRUE(ImportAsf(dir + "/" + GetParam().mAsf));
    ASSERT_TRUE(ImportAmc(dir + "/" + GetParam().mAmc));
    const int frames = GetParam().mFrames;
    const auto times = zeqmotiontest::FrameTimes(KTime(), mOptions->GetFramePeriod(), frames);
    const zeqmotiontest::MotionSnapshot before = zeqmotiontest::SampleMotion(Find("root"), times);
    WriteBoth(Find("root"), frames, 120.0);
    ReadBack(120.0);
    const zeqmotiontest::MotionSnapshot after = zeqmotiontest::SampleMotion(Find("root"), times);
    // Bones keep their joints; their local axes are the writer's own.
    EXPECT_TRUE(SameJoints(before, after, 0.02));
}

INSTANTIATE_TEST_SUITE_P(Files, AcclaimSampleRoundTrip,
                         testing::Values(SamplePair{"backflip.asf", "backflip.amc", 247},
                                         SamplePair{"HDM_dg.asf", "HDM_dg_06-03_03_120.amc", 202}),
                         [](const testing::TestParamInfo<SamplePair>& info) {
                             std::string name = info.param.mAsf;
                             return name.substr(0, name.find_first_of("_."));
                         });

TEST_F(AcclaimRoundTrip, ABiovisionSkeletonReadsBackAlike) {
    const std::string bvh = zeqmotiontest::TestDataDir("bvh");
    if (bvh.empty()) GTEST_SKIP() << "sample files of bvh not found (ZEQ_TESTDATA_DIR)";
    std::string error;
    ASSERT_TRUE(zeqmotiontest::ImportMotion(mManager, *mScene, KZeqImporter::eBIOVISION_BVH,
                                            bvh + "/cmu_12_01_walk.bvh", nullptr, &error))
        << error;
    const int frames = 60;
    KTime period;
    period.SetSecondDouble(1.0 / 120.0);
    const auto times = zeqmotiontest::FrameTimes(KTime(), period, frames);
    const zeqmotiontest::MotionSnapshot before = zeqmotiontest::SampleMotion(Find("Hips"), times);
    WriteBoth(Find("Hips"), frames, 120.0);
    ReadBack(120.0);
    const zeqmotiontest::MotionSnapshot after = zeqmotiontest::SampleMotion(Find("root"), times);
    EXPECT_TRUE(SameJoints(before, after, 0.02, {{"Hips", "root"}}));
}

TEST_F(AcclaimRoundTrip, HdmMotionIsTheC3DTake) {
    REQUIRE_SAMPLES(dir);
    // The C3D file of the same take: its header's first and last frame and rate.
    FILE* c3d = std::fopen((std::string(ZEQ_TESTDATA_DIR) + "/c3d/HDM_dg_06-03_03_120.c3d").c_str(), "rb");
    if (!c3d) GTEST_SKIP() << "c3d sample missing";
    unsigned char header[24];
    const bool read = std::fread(header, 1, sizeof(header), c3d) == sizeof(header);
    std::fclose(c3d);
    ASSERT_TRUE(read);
    const int first = header[6] | header[7] << 8;
    const int last = header[8] | header[9] << 8;
    float rate = 0.0f;
    std::memcpy(&rate, header + 20, sizeof(rate));
    ASSERT_EQ(rate, 120.0f);
    ASSERT_TRUE(ImportAsf(dir + "/HDM_dg.asf"));
    ASSERT_TRUE(ImportAmc(dir + "/HDM_dg_06-03_03_120.amc", rate));
    EXPECT_EQ(mOptions->GetFrameCount(), last - first + 1);
    const KZeqTakeInfo* info = mScene->GetTakeInfo("HDM_dg_06-03_03_120");
    ASSERT_TRUE(info);
    EXPECT_NEAR((info->mLocalTimeSpan.GetStop() - info->mLocalTimeSpan.GetStart()).GetSecondDouble(), 1.675, 1e-9);
}

}  // namespace
}  // namespace zeqsdk_400

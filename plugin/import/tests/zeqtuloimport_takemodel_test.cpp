// Takes with animation layers and time warps in the arrangements files hold (layers of one, two or
// three channels, constant and keyed; warps on the whole transform and on a vector, written there or
// on an axis channel, composed, holding, ending before and after the take's stop; keys on the 1/30 s
// grid, on 24 frames a second and off both), generated with nulls, meshes, joints, cameras and
// lights in every rotation order: the host puts every node where the take puts it (the model's own
// evaluation, kfiletakemodel_support.h) at the times the bake holds exactly (its keys, its grid, its
// ends and after them) after the import, after merging the file into its own import in both modes,
// and after the host's export imported again. What the bake leaves on the SDK's take after the
// import; a stretch that holds, held in the host too, with no two keys crowding.
#include "importtest_support.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "content/kzeqmesh.h"
#include "content/kzeqnull.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "plugin/import/zeqtuloimport.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodelimits.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"
#include "scene/kzeqtakenode.h"
#include "scene/tests/kfiletakemodel_scene.h"
#include "scene/tests/kfiletakemodel_support.h"
#include "scene/tests/kfiletransform_scene.h"
#include "tulo.h"

using namespace zeqsdk_400;
using namespace importtest;
using namespace zeqtest;

namespace {

const unsigned kSeeds = 10;

// The file's camera looks down its +X, the host's down its -Z; the file's spot light down its -Y,
// the host's down its -Z: the host's world matrix is the file's with this turn first.
const Mat4 kHostCameraFromFile = {{{0, 0, 1, 0}, {0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 0, 1}}};
const Mat4 kHostLightFromFile = {{{1, 0, 0, 0}, {0, 0, -1, 0}, {0, 1, 0, 0}, {0, 0, 0, 1}}};

ModelTake Generate(unsigned seed) {
    ModelGenerator generator(seed);
    ModelOptions options;
    options.mKinds = {eModelNull, eModelMesh, eModelJoint, eModelCamera, eModelPointLight, eModelSpotLight};
    options.mLateWarps = true;
    return generator.Take(options);
}

// The take's nodes as the SDK writes them (each of its kind, its order and pre-rotation) in a text
// file whose takes are then the model's: no writer writes time warps.
std::string WriteFile(const std::string& path, const ModelTake& take) {
    const std::string objects = path + ".objects.zeq";
    const bool written = WriteScene(
        objects,
        [&take](KZeqSdkManager& manager, KZeqScene& scene) {
            std::vector<KZeqNode*> nodes;
            for (const ModelNode& n : take.mNodes) {
                KZeqNode* parent = n.mParent < 0 ? scene.GetRootNode() : nodes[static_cast<std::size_t>(n.mParent)];
                static const char* const kKinds[] = {"null", "mesh", "skeleton:2", "camera", "light:0", "light:2"};
                KZeqNode* node = n.mKind == eModelMesh ? AddTriangle(manager, parent, n.mName.c_str())->GetNode()
                                                       : AddNode(manager, parent, n.mName.c_str(), kKinds[n.mKind]);
                FileTransformValues values;
                values.rotationOrder = n.mOrder;
                for (int a = 0; a < 3; ++a) values.preRotation[a] = n.mPre[a];
                SetFileValues(*node, values);
                // The export writes rotation as active where the limits say so.
                node->GetLimits().SetRotationLimitActive(true);
                nodes.push_back(node);
            }
        },
        true);
    EXPECT_TRUE(written) << objects;
    const std::string text = ZeqTuloReadFile(objects);
    std::remove(objects.c_str());
    // The takes close the main section; the summary after them would name the SDK's.
    const std::size_t at = text.find("\nTakes: {");
    EXPECT_NE(at, std::string::npos) << "no takes in the text the SDK wrote";
    std::string takes = ModelTakesField(take);
    std::replace(takes.begin(), takes.end(), ';', '\n');
    std::ofstream(path) << text.substr(0, at + 1) << takes << "\n@End\n";
    return path;
}

// The host has no pre-rotation on nodes other than joints: the import resamples theirs into the
// rotation on whole 1/30 s, from the one at or before the node's first key to its last key, where
// it holds exactly, as it does before and after them.
bool HostExactAt(const ModelTake& take, std::size_t node, double t) {
    if (!take.WorldExactAt(node, t)) return false;
    for (int i = static_cast<int>(node); i >= 0; i = take.mNodes[static_cast<std::size_t>(i)].mParent) {
        const ModelNode& n = take.mNodes[static_cast<std::size_t>(i)];
        if (n.mKind == eModelJoint || (n.mPre[0] == 0 && n.mPre[1] == 0 && n.mPre[2] == 0)) continue;
        double first, last;
        take.KeySpan(n, first, last);
        const double frames = t * 30.0;
        const double from = std::floor(first * 30.0 + 1e-7) / 30.0;
        if (t > from && t < last && std::fabs(frames - std::round(frames)) > 1e-7) return false;
    }
    return true;
}

class TakeModelImportTest : public ImportModeTest, public ::testing::WithParamInterface<unsigned> {
protected:
    // Every node where the take puts it, at the times its bake is exact.
    void ExpectInPlace(const ModelTake& take, const std::string& what) {
        for (std::size_t i = 0; i < take.mNodes.size(); ++i) {
            const ModelNode& n = take.mNodes[i];
            ASSERT_FALSE(HostPath(n.mName).empty()) << n.mName << " " << what << "\n" << Log();
            const Mat4* turn = n.mKind == eModelCamera      ? &kHostCameraFromFile
                               : n.mKind == eModelSpotLight ? &kHostLightFromFile
                                                            : nullptr;
            for (double t : take.CheckTimes(i, false)) {
                if (!HostExactAt(take, i, t)) continue;
                const Mat4 file = take.World(i, t);
                ASSERT_TRUE(NearWorld(turn ? Multiply(*turn, file) : file, HostWorld(n.mName, t)))
                    << n.mName << " (kind " << n.mKind << ", order " << n.mOrder << ") " << what << ", at " << t
                    << " s";
            }
        }
    }
};

TEST_P(TakeModelImportTest, TheHostPlaysWhatTheTakeMeans) {
    const ModelTake take = Generate(GetParam());
    const std::string file = WriteFile(mDirectory + "take.zeq", take);
    ASSERT_TRUE(Run("file -f -new") && ImportAtZero(file)) << Log();
    ExpectInPlace(take, "imported");

    for (const char* mode : {"kMerge", "kExclusiveMerge"}) {
        ASSERT_TRUE(Run("file -f -new") && ImportAtZero(file)) << Log();
        LoadMode(mode);
        ASSERT_TRUE(ImportAtZero(file)) << Log();
        ExpectInPlace(take, std::string("merged into its import (") + mode + ")");
        LoadMode("kCreate");
    }

    ASSERT_TRUE(Run("file -f -new") && ImportAtZero(file)) << Log();
    const std::string back = mDirectory + "back.zeq";
    ASSERT_TRUE(Run("ZEQExport -f \"" + back + "\""));
    ASSERT_TRUE(Run("file -f -new") && ImportAtZero(back)) << Log();
    ExpectInPlace(take, "imported again from the export");
}

INSTANTIATE_TEST_SUITE_P(Generated, TakeModelImportTest, ::testing::Range(1u, 1u + kSeeds),
                         [](const ::testing::TestParamInfo<unsigned>& info) {
                             return "Seed" + std::to_string(info.param);
                         });

// Every curve the host holds keys no two keys closer than a microsecond; the log leaves no key out.
void ExpectKeysApart(const std::string& log) {
    for (TItDependencyNodes it(0); !it.isDone(); it.next()) {
        TStatus status;
        TFnAnimCurve curve(it.item(), &status);
        if (!status) continue;
        for (unsigned k = 1; k < curve.numKeys(); ++k)
            EXPECT_GE(curve.time(k).as(TTime::kSeconds) - curve.time(k - 1).as(TTime::kSeconds), 1e-6)
                << curve.name().asChar() << " key " << k;
    }
    EXPECT_EQ(log.find("left out"), std::string::npos) << log;
}

// A node named name under a warp on its whole transform that changes nothing (0 to 2 s), its
// translation X keyed from 0 to 4 over 2 s beneath a layer of X keyed from 0 to 1 over 1 s; the warp
// added to take.
ModelNode WarpedAndLayered(ModelTake& take, const char* name) {
    take.mWarps = {{{0, 0}, {2, 2}}};
    ModelNode n;
    n.mName = name;
    n.mWarp = 0;
    n.mV[eModelT].mAxes[0].mKeys = {{0, 0}, {2, 4}};
    n.mV[eModelT].mLayers.resize(1);
    n.mV[eModelT].mLayers[0].mHas[0] = true;
    n.mV[eModelT].mLayers[0].mAxes[0].mKeys = {{0, 0}, {1, 1}};
    return n;
}

// A translation Y that holds -2.359375 from 0 to 7/30 s and has moved on by the next key, a quarter
// of a frame later, in a take with a translation layer and a warp on the whole transform that
// changes nothing (its floats put each key's time beside its frame): the host holds where the take
// holds, between the frames of both rates and off them, as the SDK's bake of the file plays it,
// and keys no two keys closer than a microsecond.
TEST_F(ImportModeTest, AStretchThatHoldsHoldsInTheHost) {
    ModelTake take;
    ModelNode n = WarpedAndLayered(take, "held");
    n.mV[eModelT].mAxes[1].mKeys = {{0, -2.359375}, {7.0 / 30, -2.359375}, {0.25, -2}, {1, 3}, {2, 3}};
    for (ModelCurve& axis : n.mV[eModelS].mAxes) axis.mDefault = 1;
    take.mNodes.push_back(n);
    const std::string file = WriteFile(mDirectory + "held.zeq", take);
    ASSERT_TRUE(Run("file -f -new") && ImportAtZero(file)) << Log();

    KZeqSdkManager manager;
    KZeqScene& scene = *manager.CreateKZeqScene();
    KZeqImporter* importer = manager.CreateKZeqImporter();
    ASSERT_TRUE(importer->Initialize(file.c_str()));
    importer->GetTakeCount();
    importer->SetState(KZeqImporter::eMERGE_LAYER_AND_TIMEWARP, true);
    ASSERT_TRUE(importer->Import(scene));
    KZeqNode* node = scene.GetRootNode()->FindChild("held", true);
    ASSERT_TRUE(node && node->SetCurrentTakeNode("Take 001"));
    KFCurve* y = node->GetCurrentTakeNode()->GetTranslationY();
    ASSERT_NE(y, nullptr);
    for (double t : {1.0 / 30, 3.0 / 30, 6.0 / 30, 1.0 / 24, 3.0 / 24, 5.0 / 24, 0.1, 0.21, 0.22, 0.23}) {
        KTime time;
        time.SetSecondDouble(t);
        TAnimControl::setCurrentTime(TTime(t, TTime::kSeconds));
        const double host = std::stod(HostAttr(HostPath("held") + ".translateY"));
        EXPECT_NEAR(host, y->Evaluate(time), 1e-6) << t;
        EXPECT_NEAR(host, -2.359375, 1e-6) << t;
    }
    ExpectKeysApart(Log());
}

// X repeating 0 to 10 every second without end beside a layer that doubles it, over a take of three
// hours: 324,001 samples at 30 a second, within what the SDK's read bakes but past what the host
// takes a channel. The import bakes the keys alone, quickly, and says so with its bound.
TEST_F(ImportModeTest, ATakeThatChangesOverMoreThanTheHostTakesImportsItsKeysAndSaysSo) {
    const std::string file = mDirectory + "hours.zeq";
    {
        KZeqSdkManager manager;
        KZeqScene* scene = manager.CreateKZeqScene();
        scene->CreateTake("Take 001");
        KZeqNode* node = manager.CreateKZeqNode("hours");
        node->SetNodeAttribute(manager.CreateKZeqNull());
        scene->GetRootNode()->AddChild(node);
        node->CreateTakeNode("Take 001");
        node->SetCurrentTakeNode("Take 001");
        KFCurveNode* t = node->GetCurrentTakeNode()->GetKFCurveNode()->FindRecursive("T");
        KFCurve& x = *t->Get(0)->FCurveGet();
        KFCurveKey key{};
        key.Set(KTime(0), 0.0f, KFCURVE_INTERPOLATION_LINEAR, KFCURVE_TANGEANT_USER, 0, 0, KFCURVE_WEIGHTED_NONE,
                KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0, 0);
        x.KeyAdd(KTime(0), key);
        key.SetValue(10.0f);
        x.KeyAdd(KTime::OneSecond(), key);
        x.SetPostExtrapolation(KFCURVE_EXTRAPOLATION_REPETITION);
        x.SetPostExtrapolationCount(0xFFFFFFFFu);
        t->CreateLayerAt(1);
        t->LayerGet(1)->Get(0)->FCurveGet()->CopyFrom(x);
        KZeqTakeInfo info;
        info.mName = "Take 001";
        info.mLocalTimeSpan = info.mReferenceTimeSpan = KTimeSpan(KTime(0), KTime(KTime::kTicksPerSecond * 3 * 3600));
        scene->SetTakeInfo(info);
        KZeqExporter exporter(manager);
        ASSERT_TRUE(exporter.Initialize(file.c_str()));
        exporter.SetFileFormat(KZeqExporter::eZEQ_BINARY);
        ASSERT_TRUE(exporter.Export(*scene));
    }
    ASSERT_TRUE(Run("file -f -new") && ImportAtZero(file)) << Log();
    EXPECT_NE(Log().find("Take \"Take 001\": the animation of Model::hours plays more within the take's span than a bake "
                         "takes (over 250,000 samples: "),
              std::string::npos)
        << Log();
    for (const double t : {0.5, 2.5, 3600.5}) {
        TAnimControl::setCurrentTime(TTime(t, TTime::kSeconds));
        EXPECT_NEAR(std::stod(HostAttr(HostPath("hours") + ".translateX")), t < 1 ? 10.0 : 20.0, 1e-4) << t;
    }
}

// A warped and layered take, its scaling keyed, whose span is the whole time line (plus and minus
// 9e18 ticks) while its keys lie within 2 s: the import ends with the take, which the host plays at
// its keys and holds far past them, its curves keyed as the take plays (not over the span).
TEST_F(ImportModeTest, ATakeOverTheWholeTimeLineImportsWhatItPlays) {
    ModelTake take;
    ModelNode n = WarpedAndLayered(take, "far");
    n.mV[eModelS].mAxes[0].mKeys = {{0, 1}, {1, 2}};
    for (int a = 1; a < 3; ++a) n.mV[eModelS].mAxes[a].mDefault = 1;
    take.mNodes.push_back(n);
    std::string text = ZeqTuloReadFile(WriteFile(mDirectory + "far.zeq", take));
    const std::string span = "0," + std::to_string(ModelTicks(take.mStop));
    for (const char* field : {"LocalTime: ", "ReferenceTime: "}) {
        const std::size_t at = text.find(field + span);
        ASSERT_NE(at, std::string::npos) << field;
        text.replace(at + std::string(field).size(), span.size(), "-9000000000000000000,9000000000000000000");
    }
    const std::string file = mDirectory + "far.zeq";
    std::ofstream(file) << text;
    ASSERT_TRUE(Run("file -f -new") && ImportAtZero(file)) << Log();
    EXPECT_EQ(Log().find("than a bake takes"), std::string::npos) << Log();
    for (double t : {0.0, 0.5, 1.0, 1.5, 2.0}) ASSERT_TRUE(NearWorld(take.World(0, t), HostWorld("far", t))) << t;
    for (double t : {10.0, 1e6}) ASSERT_TRUE(NearWorld(take.World(0, 2.0), HostWorld("far", t))) << t;
    for (TItDependencyNodes it(0); !it.isDone(); it.next()) {
        TStatus status;
        TFnAnimCurve curve(it.item(), &status);
        if (status) {
            EXPECT_LT(curve.numKeys(), 300u) << curve.name().asChar();
        }
    }
}

// What the bake leaves on the take, once the import is done with it: no layer and no warp on any
// node's channels, which something evaluating the take would play a second time; and where the
// import changed nothing else of a node (no pre-rotation, no turn of a camera or light, on it or
// above it), the SDK's evaluation of the take puts it where the host does.
class InspectedImport : public ZeqTuloImport {
public:
    // Runs the pass, handing the SDK's scene to inspect before the pass lets it go.
    bool Run(const std::function<void(KZeqScene&)>& inspect) {
        for (int i = 0; i < kImportStepCount; ++i) {
            const ImportStep& step = kImportSteps[i];
            if (std::string(step.mName) == "destroy the scene" && mScene) inspect(*mScene);
            if ((this->*step.mRun)() == eStepFail) return false;
        }
        return true;
    }
};

bool ImportedAsItIs(const ModelTake& take, std::size_t node) {
    for (int i = static_cast<int>(node); i >= 0; i = take.mNodes[static_cast<std::size_t>(i)].mParent) {
        const ModelNode& n = take.mNodes[static_cast<std::size_t>(i)];
        if (n.mPre[0] != 0 || n.mPre[1] != 0 || n.mPre[2] != 0) return false;
        if (n.mKind != eModelNull && n.mKind != eModelMesh && n.mKind != eModelJoint) return false;
    }
    return true;
}

class TakeModelBakeLeftTest : public ImportDriverTest, public ::testing::WithParamInterface<unsigned> {};

TEST_P(TakeModelBakeLeftTest, NothingIsLeftToPlayTwice) {
    const ModelTake take = Generate(GetParam());
    const std::string file = WriteFile(mDirectory + "take.zeq", take);
    InspectedImport driver;
    driver.OpenProject(TString(file.c_str()));
    driver.SetTakeName("Take 001");
    int compared = 0;
    ASSERT_TRUE(driver.Run([&](KZeqScene& scene) {
        for (std::size_t i = 0; i < take.mNodes.size(); ++i) {
            const ModelNode& n = take.mNodes[i];
            KZeqNode* node = scene.GetRootNode()->FindChild(n.mName.c_str(), true);
            ASSERT_TRUE(node && node->SetCurrentTakeNode("Take 001")) << n.mName;
            EXPECT_FALSE(HoldsLayerOrWarp(*node->GetCurrentTakeNode()->GetKFCurveNode())) << n.mName;
            if (!ImportedAsItIs(take, i)) continue;
            for (double t : take.CheckTimes(i, true)) {
                KTime time;
                time.SetSecondDouble(t);
                const KZeqXMatrix global = node->EvaluateGlobalTransform(time);
                Mat4 sdk;
                for (int r = 0; r < 4; ++r)
                    for (int c = 0; c < 4; ++c) sdk[r][c] = global.mData[r][c];
                ASSERT_TRUE(NearWorld(sdk, HostWorld(n.mName, t))) << n.mName << " at " << t << " s";
                ++compared;
            }
        }
    })) << Log();
    EXPECT_GT(compared, 0);
}

INSTANTIATE_TEST_SUITE_P(Generated, TakeModelBakeLeftTest, ::testing::Range(1u, 1u + 4),
                         [](const ::testing::TestParamInfo<unsigned>& info) {
                             return "Seed" + std::to_string(info.param);
                         });

TEST(TakeModelImportGeneratorTest, TheSeedsReachEveryKind) {
    std::map<std::string, int> reached;
    for (unsigned seed = 1; seed <= kSeeds; ++seed)
        for (const std::string& kind : ModelKinds(Generate(seed))) ++reached[kind];
    std::string missed;
    for (const char* kind :
         {"warped transform", "warp starting late", "warp of one key", "warped translation", "warped rotation", "warped scaling",
          "warped rotation (on a channel)", "composed warps", "two layers", "translation layer of 1",
          "translation layer of 3", "rotation layer of 1", "rotation layer of 2", "scaling layer of 1", "constant layer",
          "constant layer over a vector without keys", "layer under a warp", "key at 24 a second", "key off the grid",
          "order 0", "order 1", "order 2", "order 3", "order 4", "order 5", "order 6"})
        if (!reached.count(kind)) missed += std::string("\"") + kind + "\" ";
    EXPECT_EQ(missed, "");
}

}  // namespace

// Pre-rotations in every rotation order, as a property over generated files. Each case writes nulls,
// meshes, cameras and lights (not joints: their pre-rotation is the host's joint orient) with a
// pre-rotation, rotation active or not, a rotation order of 0 to 5, at times a post-rotation or a
// rotation pivot, some below others, keyed on their translation or rotation or not at all. The file's
// world matrices come from its values through the format's own transform (kfiletransform_support.h,
// written apart from the SDK), at the keys and between them: (a) the import puts each node there, a
// camera or a spot or directional light turned onto the host's forward axis; (b) the host's export
// holds, evaluated the same way, the file's world matrices again. The import resamples a
// pre-rotation into the rotation curves of a node that is no joint. (The host has no spheric order.)
#include "importtest_support.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "content/kzeqlight.h"
#include "content/kzeqmesh.h"
#include "fcurve/kfcurve.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodelimits.h"
#include "scene/kzeqnodeproperties.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"
#include "scene/tests/kfiletransform_support.h"
#include "plugin/import/zeqtuloimport.h"
#include "tulo.h"

using namespace zeqsdk_400;
using namespace importtest;
using zeqtest::Mat4;

namespace {

const unsigned kCases = 24;
const int kNodesPerFile = 18;
// At the keys (0 and 1 s, 0.5 s for rotation keys) and between them, on frames of both the host's
// 24 and the import's 30 per second, where the resampled curves hold the file's values.
const double kTimes[] = {0.0, 1.0 / 3.0, 0.5, 5.0 / 6.0, 1.0};
std::vector<double> Times() { return {std::begin(kTimes), std::end(kTimes)}; }

// The file's camera looks down its +X, the host's down its -Z; the file's spot and directional
// lights down their -Y, the host's down their -Z: the host's world matrix is the file's with this
// turn first (its rows are the images of the host's axes).
const Mat4 kHostCameraFromFile = {{{0, 0, 1, 0}, {0, 1, 0, 0}, {-1, 0, 0, 0}, {0, 0, 0, 1}}};
const Mat4 kHostLightFromFile = {{{1, 0, 0, 0}, {0, 0, -1, 0}, {0, 1, 0, 0}, {0, 0, 0, 1}}};

// What the generator made of one node.
struct Made {
    std::string mName;
    const Mat4* mTurn = nullptr;  // the host's turn, none for a node the host does not turn
    std::string mAbout;           // its kind, order and keys, for the messages
};

struct Generated {
    std::vector<Made> mNodes;
    std::map<std::string, bool> mKinds;  // what the cases reach ("order 3 keyed rotation", ...)
};

class Generator {
public:
    Generator(KZeqSdkManager& manager, KZeqScene& scene, unsigned seed, bool keyed)
        : mManager(manager), mScene(scene), mRandom(seed), mKeyed(keyed) {}

    void Build() {
        std::vector<KZeqNode*> nodes, parents;
        std::vector<int> keys;
        for (int i = 0; i < kNodesPerFile; ++i) {
            // A third at the top, the rest below a null or mesh made before (a node below a camera
            // or light the host turns takes the turn into its own values, which its pivots and
            // rotation order do not take: the import says so).
            KZeqNode* parent = parents.empty() || Pick(3) == 0 ? mScene.GetRootNode()
                                                                : parents[Pick(static_cast<int>(parents.size()))];
            const int kind = Pick(6);
            const std::string name = "n" + std::to_string(i);
            Made made{name, nullptr, ""};
            KZeqNode* node = nullptr;
            if (kind == 0) {
                node = AddNode(mManager, parent, name.c_str(), "null");
            } else if (kind == 1) {
                node = AddTriangle(mManager, parent, name.c_str())->GetNode();
            } else if (kind == 2) {
                node = AddNode(mManager, parent, name.c_str(), "camera");
                made.mTurn = &kHostCameraFromFile;
            } else {
                const int type = kind - 3;  // point, directional, spot
                node = AddNode(mManager, parent, name.c_str(), ("light:" + std::to_string(type)).c_str());
                if (type != KZeqLight::ePOINT) made.mTurn = &kHostLightFromFile;
            }
            // Every order in every file, the others drawn.
            const int order = i < 6 ? i : Pick(6);
            Values(*node, order, kind == 2);
            const int key = mKeyed ? Pick(3) : 0;  // none, translation, rotation
            static const char* const kKeys[] = {"not keyed", "keyed translation", "keyed rotation"};
            static const char* const kKinds[] = {"null", "mesh", "camera", "point light", "directional light",
                                                 "spot light"};
            const std::string about = "order " + std::to_string(order) + " " + kKeys[key];
            mOut.mKinds[about] = true;
            made.mAbout = std::string(kKinds[kind]) + ", " + about + ", under " +
                          parent->GetNameWithoutNameSpacePrefix().Buffer();
            mOut.mNodes.push_back(made);
            nodes.push_back(node);
            keys.push_back(key);
            if (kind < 2) parents.push_back(node);
        }
        if (!mKeyed) return;
        // The take reaches the nodes that exist when it is made.
        mScene.CreateTake("Take 001");
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            nodes[i]->SetCurrentTakeNode("Take 001");
            KZeqTakeNode* take = nodes[i]->GetCurrentTakeNode();
            if (keys[i] == 1) {
                // A translation key is enough to resample the rotation.
                Key(take->GetTranslationX(), 0.0, 0.0f);
                Key(take->GetTranslationX(), 1.0, static_cast<float>(Value(-3, 3)));
            } else if (keys[i] == 2) {
                KFCurve* rotation[3] = {take->GetEulerRotationX(), take->GetEulerRotationY(),
                                        take->GetEulerRotationZ()};
                for (KFCurve* curve : rotation)
                    for (double t : {0.0, 0.5, 1.0}) Key(curve, t, static_cast<float>(Value(-180, 180)));
            }
        }
    }

    Generated mOut;

private:
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(mRandom); }
    double Value(double low, double high) { return std::uniform_real_distribution<double>(low, high)(mRandom); }
    KZeqVector4 Any(double range) {
        return KZeqVector4(Value(-range, range), Value(-range, range), Value(-range, range), 0);
    }

    // Wide rotations (whose other Euler solutions lie near zero), a pre-rotation (or at times none),
    // rotation active in five nodes of six, a post-rotation or a rotation pivot and offset in one of
    // three each. The scaling is uniform (a camera's 1, which the export leaves out).
    void Values(KZeqNode& node, int order, bool camera) {
        KZeqTakeNode* take = node.GetDefaultTakeNode();
        KFCurve* translation[3] = {take->GetTranslationX(), take->GetTranslationY(), take->GetTranslationZ()};
        KFCurve* rotation[3] = {take->GetEulerRotationX(), take->GetEulerRotationY(), take->GetEulerRotationZ()};
        KFCurve* scaling[3] = {take->GetScaleX(), take->GetScaleY(), take->GetScaleZ()};
        const double uniform = camera ? 1.0 : Value(0.5, 2);
        for (int axis = 0; axis < 3; ++axis) {
            translation[axis]->SetValue(static_cast<float>(Value(-5, 5)));
            rotation[axis]->SetValue(static_cast<float>(Value(-180, 180)));
            scaling[axis]->SetValue(static_cast<float>(uniform));
        }
        const KZeqNode::EPivotSet set = KZeqNode::eSOURCE_SET;
        node.SetPivotState(set, KZeqNode::ePIVOT_STATE_ACTIVE);
        node.SetRotationOrder(set, static_cast<ERotationOrder>(order));
        if (Pick(8) != 0) node.SetPreRotation(set, Any(180));
        const bool active = Pick(6) != 0;
        node.GetLimits().SetRotationLimitActive(active);
        mOut.mKinds[active ? "rotation active" : "rotation inactive"] = true;
        // The host turns every transform by its rotate axis, whether rotation is active or not.
        if (active && Pick(3) == 0) {
            node.SetPostRotation(set, Any(180));
            mOut.mKinds["post-rotation"] = true;
        }
        if (Pick(3) == 0) {
            node.SetRotationPivot(set, Any(2));
            node.SetRotationOffset(set, Any(2));
            mOut.mKinds["rotation pivot"] = true;
        }
    }

    KZeqSdkManager& mManager;
    KZeqScene& mScene;
    std::mt19937 mRandom;
    bool mKeyed;
};

// Every kind a generated file may hold.
std::map<std::string, bool> AllKinds() {
    std::map<std::string, bool> all;
    for (int order = 0; order < 6; ++order)
        for (const char* key : {"not keyed", "keyed translation", "keyed rotation"})
            all["order " + std::to_string(order) + " " + key] = true;
    for (const char* kind : {"rotation active", "rotation inactive", "post-rotation", "rotation pivot"})
        all[kind] = true;
    return all;
}

// Odd seeds hold a take, even ones none.
bool KeyedCase(unsigned seed) { return seed % 2 == 1; }

class PreRotationPropertyTest : public ZeqTuloImportTest, public ::testing::WithParamInterface<unsigned> {};

TEST_P(PreRotationPropertyTest, LandAndComeBackWhereTheFileHasThem) {
    const unsigned seed = GetParam();
    Generated generated;
    const std::string file = Write(
        "prerotations",
        [&](KZeqSdkManager& m, KZeqScene& s) {
            Generator generator(m, s, seed, KeyedCase(seed));
            generator.Build();
            generated = generator.mOut;
        },
        seed % 4 == 3);  // some ASCII files, as other programs write them
    const auto worlds = FileWorlds(file, Times());
    ASSERT_EQ(worlds.size(), generated.mNodes.size());
    ASSERT_TRUE(Run("ZEQExportShowUI 0") && Run("ZEQImportShowUI 0"));
    // A file without a take is imported without one.
    ASSERT_TRUE(Run("file -f -new") &&
                Run("ZEQImport -f \"" + file + "\"" + (KeyedCase(seed) ? " -take 0" : ""))) << Log();

    // (a) Where the file has them, turned as the host's cameras and lights look.
    for (const Made& made : generated.mNodes) {
        ASSERT_FALSE(HostPath(made.mName).empty()) << made.mName << "\n" << Log();
        const std::vector<Mat4>& want = worlds.at(made.mName);
        for (std::size_t k = 0; k < std::size(kTimes); ++k) {
            const Mat4 turned = made.mTurn ? zeqtest::Multiply(*made.mTurn, want[k]) : want[k];
            EXPECT_TRUE(NearWorld(turned, HostWorld(made.mName, kTimes[k])))
                << made.mName << " (" << made.mAbout << ") imported, at " << kTimes[k] << " s";
        }
    }

    // (b) The host's export: the file's world matrices again, at the same times.
    const std::string back = mDirectory + "back.zeq";
    ASSERT_TRUE(Run("ZEQExport -f \"" + back + "\""));
    const auto exported = FileWorlds(back, Times());
    for (const Made& made : generated.mNodes) {
        const auto found = exported.find(made.mName);
        ASSERT_NE(found, exported.end()) << made.mName;
        for (std::size_t k = 0; k < std::size(kTimes); ++k)
            EXPECT_TRUE(NearWorld(worlds.at(made.mName)[k], found->second[k]))
                << made.mName << " (" << made.mAbout << ") exported, at " << kTimes[k] << " s";
    }
}

INSTANTIATE_TEST_SUITE_P(Generated, PreRotationPropertyTest, ::testing::Range(1u, 1u + kCases),
                         [](const ::testing::TestParamInfo<unsigned>& info) {
                             return "Seed" + std::to_string(info.param);
                         });

// The spheric order (6) composes as Euler XYZ: a node of each kind that is no joint, in that order
// with a pre-rotation, lands where the file has it (the order read as XYZ), as its twin in Euler XYZ
// does, at the keys and between them; the host's export holds the file's world matrices again.
// Rotation (30, 0, 0) after the pre-rotation (0, 0, 90) is the host's rotate (30, 0, 90).
using SphericOrderTest = PreRotationPropertyTest;

TEST_F(SphericOrderTest, TurnsAsEulerXYZ) {
    const struct {
        const char* mKind;
        const Mat4* mTurn;
        bool mKeyed;
    } kinds[] = {{"null", nullptr, false},
                 {"mesh", nullptr, false},
                 {"camera", &kHostCameraFromFile, false},
                 {"light:1", &kHostLightFromFile, false},  // directional
                 {"light:2", &kHostLightFromFile, false},  // spot
                 {"null", nullptr, true}};
    const auto name = [](bool spheric, std::size_t k) { return (spheric ? "s" : "x") + std::to_string(k); };
    const std::string file = Write("spheric", [&](KZeqSdkManager& m, KZeqScene& s) {
        std::vector<std::pair<KZeqNode*, bool>> made;
        for (std::size_t k = 0; k < std::size(kinds); ++k)
            for (bool spheric : {true, false}) {
                const std::string n = name(spheric, k);
                KZeqNode* node = std::string(kinds[k].mKind) == "mesh"
                                     ? AddTriangle(m, s.GetRootNode(), n.c_str())->GetNode()
                                     : AddNode(m, s.GetRootNode(), n.c_str(), kinds[k].mKind);
                const KZeqNode::EPivotSet set = KZeqNode::eSOURCE_SET;
                node->SetPivotState(set, KZeqNode::ePIVOT_STATE_ACTIVE);
                node->SetRotationOrder(set, spheric ? eSPHERIC_XYZ : eEULER_XYZ);
                node->SetPreRotation(set, KZeqVector4(0, 0, 90, 0));
                node->GetLimits().SetRotationLimitActive(true);
                node->SetDefaultT(KZeqVector4(static_cast<double>(k), 1, -2, 0));
                node->SetDefaultR(KZeqVector4(30, 0, 0, 0));
                made.emplace_back(node, kinds[k].mKeyed);
            }
        s.CreateTake("Take 001");
        for (const auto& [node, keyed] : made) {
            if (!keyed) continue;
            node->SetCurrentTakeNode("Take 001");
            KZeqTakeNode* take = node->GetCurrentTakeNode();
            const float keys[3][3] = {{30, 100, -20}, {0, 40, 10}, {0, -30, 60}};
            KFCurve* r[3] = {take->GetEulerRotationX(), take->GetEulerRotationY(), take->GetEulerRotationZ()};
            for (int axis = 0; axis < 3; ++axis)
                for (int i = 0; i < 3; ++i) Key(r[axis], 0.5 * i, keys[axis][i]);
        }
    });
    const auto worlds = FileWorlds(file, Times());
    ASSERT_EQ(worlds.size(), 2 * std::size(kinds));
    ASSERT_TRUE(Run("ZEQExportShowUI 0") && Run("ZEQImportShowUI 0"));
    ASSERT_TRUE(Run("file -f -new") && Run("ZEQImport -f \"" + file + "\" -take 0")) << Log();

    std::istringstream rotate(HostAttr("s0.rotate"));
    double angles[3] = {};
    ASSERT_TRUE(rotate >> angles[0] >> angles[1] >> angles[2]) << HostAttr("s0.rotate");
    EXPECT_NEAR(angles[0], 30, 1e-4);
    EXPECT_NEAR(angles[1], 0, 1e-4);
    EXPECT_NEAR(angles[2], 90, 1e-4);
    for (std::size_t k = 0; k < std::size(kinds); ++k) {
        const std::string spheric = name(true, k), twin = name(false, k);
        for (std::size_t t = 0; t < std::size(kTimes); ++t) {
            const Mat4& want = worlds.at(spheric)[t];
            const Mat4 host = HostWorld(spheric, kTimes[t]);
            EXPECT_TRUE(NearWorld(kinds[k].mTurn ? zeqtest::Multiply(*kinds[k].mTurn, want) : want, host))
                << spheric << " (" << kinds[k].mKind << ") imported, at " << kTimes[t] << " s";
            EXPECT_TRUE(NearWorld(HostWorld(twin, kTimes[t]), host))
                << spheric << " beside " << twin << " at " << kTimes[t];
        }
    }

    const std::string back = mDirectory + "back.zeq";
    ASSERT_TRUE(Run("ZEQExport -f \"" + back + "\""));
    const auto exported = FileWorlds(back, Times());
    for (std::size_t k = 0; k < std::size(kinds); ++k) {
        const auto found = exported.find(name(true, k));
        ASSERT_NE(found, exported.end()) << name(true, k);
        for (std::size_t t = 0; t < std::size(kTimes); ++t)
            EXPECT_TRUE(NearWorld(worlds.at(name(true, k))[t], found->second[t]))
                << name(true, k) << " (" << kinds[k].mKind << ") exported, at " << kTimes[t] << " s";
    }
}

// The seeds reach every order keyed in each way and not at all, and every other kind.
TEST(PreRotationGeneratorTest, TheSeedsReachEveryKind) {
    std::map<std::string, bool> missed = AllKinds();
    for (unsigned seed = 1; seed <= kCases; ++seed) {
        KZeqSdkManager manager;
        Generator generator(manager, *manager.CreateKZeqScene(), seed, KeyedCase(seed));
        generator.Build();
        for (const auto& kind : generator.mOut.mKinds) missed.erase(kind.first);
    }
    std::string text;
    for (const auto& kind : missed) text += "\"" + kind.first + "\" ";
    EXPECT_EQ(text, "");
}

}  // namespace

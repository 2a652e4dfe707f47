// Pre-rotations in every rotation order, as a property over generated files. Each case writes nulls,
// meshes, cameras and lights (not joints: their pre-rotation is the host's joint orient) with a
// pre-rotation, rotation active or not, a rotation order of 0 to 5, at times a post-rotation or a
// rotation pivot, some below others, keyed on their translation or rotation or not at all. The file's
// world matrices come from its values through the format's own transform (kfiletransform_support.h,
// written apart from the SDK), at the keys and between them: (a) the import puts each node there, a
// camera or a spot or directional light turned onto the host's forward axis; (b) the host's export
// holds, evaluated the same way, the file's world matrices again. The import resamples a
// pre-rotation into the rotation curves of a node that is no joint. (The host has no spheric order.)
// The same generator, asked for shear, adds scalings that are not uniform (on parents of turned
// children, whose world matrices then shear), mirrored on one axis, keyed over time, and scaling
// pivots and offsets and rotation offsets alone; those files are checked on import, merged into
// themselves in both modes, after export and imported again from it.
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

// What a case's file holds besides the pre-rotations.
struct Mode {
    bool mKeyed = false;  // a take with keys
    bool mShear = false;  // scalings that are not uniform or mirror, keyed too, scaling pivots and offsets
};

enum EKind { eNull, eMesh, eCamera, ePointLight, eDirectionalLight, eSpotLight };
enum EKey { eNotKeyed, eKeyedTranslation, eKeyedRotation, eKeyedScaling };
enum EScaling { eUniform, eUneven, eMirrored };

class Generator {
public:
    Generator(KZeqSdkManager& manager, KZeqScene& scene, unsigned seed, Mode mode)
        : mManager(manager), mScene(scene), mRandom(seed), mMode(mode) {}

    void Build() {
        std::vector<KZeqNode*> nodes, parents;
        std::vector<int> keys;
        std::map<const KZeqNode*, EScaling> scalings;
        for (int i = 0; i < kNodesPerFile; ++i) {
            // A third at the top, the rest below a null or mesh made before (a node below a camera
            // or light the host turns takes the turn into its own values, which its pivots and
            // rotation order do not take: the import says so).
            KZeqNode* parent = parents.empty() || Pick(3) == 0 ? mScene.GetRootNode()
                                                                : parents[Pick(static_cast<int>(parents.size()))];
            const EKind kind = static_cast<EKind>(Pick(6));
            const std::string name = "n" + std::to_string(i);
            Made made{name, nullptr, ""};
            KZeqNode* node = nullptr;
            if (kind == eNull) {
                node = AddNode(mManager, parent, name.c_str(), "null");
            } else if (kind == eMesh) {
                node = AddTriangle(mManager, parent, name.c_str())->GetNode();
            } else if (kind == eCamera) {
                node = AddNode(mManager, parent, name.c_str(), "camera");
                made.mTurn = &kHostCameraFromFile;
            } else {
                const int type = kind - ePointLight;  // point, directional, spot
                node = AddNode(mManager, parent, name.c_str(), ("light:" + std::to_string(type)).c_str());
                if (type != KZeqLight::ePOINT) made.mTurn = &kHostLightFromFile;
            }
            // Every order in every file, the others drawn.
            const int order = i < 6 ? i : Pick(6);
            const EScaling scaling = Values(*node, order, kind);
            scalings[node] = scaling;
            // A camera's scaling is 1 at every time (the export leaves any other out).
            const int keyKinds = mMode.mShear && kind != eCamera ? 4 : 3;
            const EKey key = mMode.mKeyed ? static_cast<EKey>(Pick(keyKinds)) : eNotKeyed;
            static const char* const kKeys[] = {"not keyed", "keyed translation", "keyed rotation", "keyed scaling"};
            static const char* const kKinds[] = {"null", "mesh", "camera", "point light", "directional light",
                                                 "spot light"};
            const std::string about = "order " + std::to_string(order) + " " + kKeys[key];
            mOut.mKinds[about] = true;
            if (mMode.mShear) {
                static const char* const kScalings[] = {"", " uneven", " mirrored"};
                if (scaling != eUniform) mOut.mKinds["order " + std::to_string(order) + kScalings[scaling]] = true;
                const auto above = scalings.find(parent);
                if (above != scalings.end() && above->second != eUniform) {
                    mOut.mKinds["order " + std::to_string(order) + " under uneven scaling"] = true;
                    mOut.mKinds[std::string(kKinds[kind]) + " under uneven scaling"] = true;
                }
                if (key == eKeyedScaling) {
                    mOut.mKinds[scaling == eMirrored ? "keyed mirrored scaling" : "keyed scaling"] = true;
                    if (mScalingPivot) mOut.mKinds["keyed scaling with a scaling pivot"] = true;
                }
            }
            static const char* const kScaled[] = {"", ", scaled unevenly", ", mirrored"};
            made.mAbout = std::string(kKinds[kind]) + ", " + about + kScaled[scaling] + ", under " +
                          parent->GetNameWithoutNameSpacePrefix().Buffer();
            mOut.mNodes.push_back(made);
            nodes.push_back(node);
            keys.push_back(key);
            if (kind == eNull || kind == eMesh) parents.push_back(node);
        }
        if (!mMode.mKeyed) return;
        // The take reaches the nodes that exist when it is made.
        mScene.CreateTake("Take 001");
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            nodes[i]->SetCurrentTakeNode("Take 001");
            KZeqTakeNode* take = nodes[i]->GetCurrentTakeNode();
            if (keys[i] == eKeyedTranslation) {
                // A translation key is enough to resample the rotation.
                Key(take->GetTranslationX(), 0.0, 0.0f);
                Key(take->GetTranslationX(), 1.0, static_cast<float>(Value(-3, 3)));
            } else if (keys[i] == eKeyedRotation) {
                KFCurve* rotation[3] = {take->GetEulerRotationX(), take->GetEulerRotationY(),
                                        take->GetEulerRotationZ()};
                for (KFCurve* curve : rotation)
                    for (double t : {0.0, 0.5, 1.0}) Key(curve, t, static_cast<float>(Value(-180, 180)));
            } else if (keys[i] == eKeyedScaling) {
                // Uneven over time, each axis keeping its side of zero; uniform on a node the host
                // turns, whose own uneven scaling it cannot hold.
                KFCurve* scaling[3] = {take->GetScaleX(), take->GetScaleY(), take->GetScaleZ()};
                KZeqTakeNode* defaults = nodes[i]->GetDefaultTakeNode();
                const double sides[3] = {defaults->GetScaleX()->GetValue() < 0 ? -1.0 : 1.0,
                                         defaults->GetScaleY()->GetValue() < 0 ? -1.0 : 1.0,
                                         defaults->GetScaleZ()->GetValue() < 0 ? -1.0 : 1.0};
                const bool uniform = mOut.mNodes[i].mTurn != nullptr;
                for (double t : {0.0, 0.5, 1.0}) {
                    const double common = Value(0.5, 2);
                    for (int axis = 0; axis < 3; ++axis)
                        Key(scaling[axis], t, static_cast<float>(sides[axis] * (uniform ? common : Value(0.5, 2))));
                }
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
    // three each. The scaling is uniform (a camera's 1, which the export leaves out). Asked for
    // shear: a null, mesh or point light takes an uneven scaling in one of three, mirrored on one
    // axis in another; any node a scaling pivot, a scaling offset or both in one of two, a rotation
    // offset without a pivot in one of three of the others; one node in five takes none of the
    // features before these. The kind of scaling.
    EScaling Values(KZeqNode& node, int order, EKind kind) {
        KZeqTakeNode* take = node.GetDefaultTakeNode();
        KFCurve* translation[3] = {take->GetTranslationX(), take->GetTranslationY(), take->GetTranslationZ()};
        KFCurve* rotation[3] = {take->GetEulerRotationX(), take->GetEulerRotationY(), take->GetEulerRotationZ()};
        KFCurve* scaling[3] = {take->GetScaleX(), take->GetScaleY(), take->GetScaleZ()};
        const double uniform = kind == eCamera ? 1.0 : Value(0.5, 2);
        for (int axis = 0; axis < 3; ++axis) {
            translation[axis]->SetValue(static_cast<float>(Value(-5, 5)));
            rotation[axis]->SetValue(static_cast<float>(Value(-180, 180)));
            scaling[axis]->SetValue(static_cast<float>(uniform));
        }
        const KZeqNode::EPivotSet set = KZeqNode::eSOURCE_SET;
        node.SetPivotState(set, KZeqNode::ePIVOT_STATE_ACTIVE);
        node.SetRotationOrder(set, static_cast<ERotationOrder>(order));
        const bool plain = mMode.mShear && Pick(5) == 0;
        const bool pre = Pick(8) != 0 && !plain;
        if (pre) node.SetPreRotation(set, Any(180));
        const bool active = Pick(6) != 0;
        node.GetLimits().SetRotationLimitActive(active);
        mOut.mKinds[active ? "rotation active" : "rotation inactive"] = true;
        // A post-rotation where rotation is on (RotationActiveTest takes it off).
        const bool post = active && Pick(3) == 0 && !plain;
        if (post) {
            node.SetPostRotation(set, Any(180));
            mOut.mKinds["post-rotation"] = true;
        }
        const bool pivot = Pick(3) == 0 && !plain;
        if (pivot) {
            node.SetRotationPivot(set, Any(2));
            node.SetRotationOffset(set, Any(2));
            mOut.mKinds["rotation pivot"] = true;
        }
        mScalingPivot = false;
        if (!mMode.mShear) return eUniform;

        EScaling kindOfScaling = eUniform;
        if (kind == eNull || kind == eMesh || kind == ePointLight) {
            kindOfScaling = static_cast<EScaling>(Pick(3));
            if (kindOfScaling != eUniform) {
                const int mirrored = kindOfScaling == eMirrored ? Pick(3) : -1;
                for (int axis = 0; axis < 3; ++axis)
                    scaling[axis]->SetValue(static_cast<float>((axis == mirrored ? -1 : 1) * Value(0.5, 2)));
            }
        }
        const int scalingPivots = Pick(6);  // 1 the pivot, 2 the offset, 3 both, else none
        if (scalingPivots == 1 || scalingPivots == 3) node.SetScalingPivot(set, Any(2));
        if (scalingPivots == 2 || scalingPivots == 3) node.SetScalingOffset(set, Any(2));
        const bool turned = kind == eCamera || kind == eDirectionalLight || kind == eSpotLight;
        if (scalingPivots >= 1 && scalingPivots <= 3) {
            static const char* const kPivots[] = {"", "scaling pivot", "scaling offset", "scaling pivot and offset"};
            mOut.mKinds[kPivots[scalingPivots]] = true;
            mScalingPivot = scalingPivots != 2;
            if (turned) mOut.mKinds[std::string(kPivots[scalingPivots]) + " on a turned node"] = true;
        }
        if (!pivot && Pick(3) == 0) {
            node.SetRotationOffset(set, Any(2));
            mOut.mKinds["rotation offset alone"] = true;
        }
        static const char* const kNames[] = {"", "uneven", "mirrored"};
        if (kindOfScaling != eUniform) {
            const std::string name = kNames[kindOfScaling];
            if (pre && active) mOut.mKinds[name + " with a pre-rotation"] = true;
            if (post) mOut.mKinds[name + " with a post-rotation"] = true;
            if (mScalingPivot) mOut.mKinds[name + " with a scaling pivot"] = true;
            if (kind == ePointLight) mOut.mKinds[name + " point light"] = true;
            if (plain) mOut.mKinds[name + " without the other features"] = true;
        }
        return kindOfScaling;
    }

    KZeqSdkManager& mManager;
    KZeqScene& mScene;
    std::mt19937 mRandom;
    Mode mMode;
    bool mScalingPivot = false;  // of the node Values made last
};

// Every kind a generated file may hold.
std::map<std::string, bool> AllKinds(bool shear) {
    std::map<std::string, bool> all;
    for (int order = 0; order < 6; ++order) {
        const std::string name = "order " + std::to_string(order);
        for (const char* key : {"not keyed", "keyed translation", "keyed rotation"}) all[name + " " + key] = true;
        if (!shear) continue;
        for (const char* what : {" keyed scaling", " uneven", " mirrored", " under uneven scaling"})
            all[name + what] = true;
    }
    for (const char* kind : {"rotation active", "rotation inactive", "post-rotation", "rotation pivot"})
        all[kind] = true;
    if (shear)
        for (const char* kind :
             {"scaling pivot", "scaling offset", "scaling pivot and offset", "scaling pivot on a turned node",
              "scaling offset on a turned node", "scaling pivot and offset on a turned node", "rotation offset alone",
              "keyed scaling", "keyed mirrored scaling", "keyed scaling with a scaling pivot",
              "uneven with a pre-rotation", "mirrored with a pre-rotation", "uneven with a post-rotation",
              "mirrored with a post-rotation", "uneven with a scaling pivot", "mirrored with a scaling pivot",
              "uneven point light", "mirrored point light", "uneven without the other features",
              "mirrored without the other features", "null under uneven scaling", "mesh under uneven scaling",
              "camera under uneven scaling", "point light under uneven scaling",
              "directional light under uneven scaling", "spot light under uneven scaling"})
            all[kind] = true;
    return all;
}

// Odd seeds hold a take, even ones none.
bool KeyedCase(unsigned seed) { return seed % 2 == 1; }

std::string SeedName(const ::testing::TestParamInfo<unsigned>& info) { return "Seed" + std::to_string(info.param); }

using Worlds = std::map<std::string, std::vector<Mat4>>;

// Every node where the file has it in the host at every time, turned as the host's cameras and
// lights look; the log says of none that its place differs.
void ExpectInHost(const Generated& generated, const Worlds& worlds, const std::string& what, const std::string& log) {
    EXPECT_EQ(log.find(" differ"), std::string::npos) << what << "\n" << log;
    for (const Made& made : generated.mNodes) {
        ASSERT_FALSE(HostPath(made.mName).empty()) << made.mName << " " << what << "\n" << log;
        const std::vector<Mat4>& want = worlds.at(made.mName);
        for (std::size_t k = 0; k < std::size(kTimes); ++k) {
            const Mat4 turned = made.mTurn ? zeqtest::Multiply(*made.mTurn, want[k]) : want[k];
            EXPECT_TRUE(NearWorld(turned, HostWorld(made.mName, kTimes[k])))
                << made.mName << " (" << made.mAbout << ") " << what << ", at " << kTimes[k] << " s";
        }
    }
}

// The file written from the host holds the file's world matrices again, at the same times.
void ExpectInFile(const Generated& generated, const Worlds& worlds, const std::string& path) {
    const Worlds exported = FileWorlds(path, Times());
    for (const Made& made : generated.mNodes) {
        const auto found = exported.find(made.mName);
        ASSERT_NE(found, exported.end()) << made.mName;
        for (std::size_t k = 0; k < std::size(kTimes); ++k)
            EXPECT_TRUE(NearWorld(worlds.at(made.mName)[k], found->second[k]))
                << made.mName << " (" << made.mAbout << ") exported, at " << kTimes[k] << " s";
    }
}

class PreRotationPropertyTest : public ZeqTuloImportTest, public ::testing::WithParamInterface<unsigned> {};

TEST_P(PreRotationPropertyTest, LandAndComeBackWhereTheFileHasThem) {
    const unsigned seed = GetParam();
    Generated generated;
    const std::string file = Write(
        "prerotations",
        [&](KZeqSdkManager& m, KZeqScene& s) {
            Generator generator(m, s, seed, Mode{KeyedCase(seed), false});
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
    ExpectInHost(generated, worlds, "imported", Log());
    // (b) The host's export: the file's world matrices again, at the same times.
    const std::string back = mDirectory + "back.zeq";
    ASSERT_TRUE(Run("ZEQExport -f \"" + back + "\""));
    ExpectInFile(generated, worlds, back);
}

INSTANTIATE_TEST_SUITE_P(Generated, PreRotationPropertyTest, ::testing::Range(1u, 1u + kCases), SeedName);

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

// Scalings that are not uniform, mirrored, keyed, about pivots: the world matrices of children
// turned below an uneven scaling shear, which the host holds in the product of its transforms. Each
// node lands where the file has it at the keys and between them, stays there when the file is
// merged into its own import (in either mode), comes back in the host's export and lands there
// again from it.
class ShearPropertyTest : public ImportModeTest, public ::testing::WithParamInterface<unsigned> {
protected:
    // A file without a take is imported without one.
    bool Import(const std::string& path, bool keyed) {
        return Run("ZEQImport -f \"" + path + "\"" + (keyed ? " -take 0" : ""));
    }
};

TEST_P(ShearPropertyTest, LandAndComeBackWhereTheFileHasThem) {
    const unsigned seed = GetParam();
    const bool keyed = KeyedCase(seed);
    Generated generated;
    const std::string file = Write(
        "shear",
        [&](KZeqSdkManager& m, KZeqScene& s) {
            Generator generator(m, s, seed, Mode{keyed, true});
            generator.Build();
            generated = generator.mOut;
        },
        seed % 4 == 3);
    const Worlds worlds = FileWorlds(file, Times());
    ASSERT_EQ(worlds.size(), generated.mNodes.size());
    ASSERT_TRUE(Run("file -f -new") && Import(file, keyed)) << Log();
    ExpectInHost(generated, worlds, "imported", Log());

    const std::string back = mDirectory + "back.zeq";
    ASSERT_TRUE(Run("ZEQExport -f \"" + back + "\""));
    ExpectInFile(generated, worlds, back);

    for (const char* mode : {"kMerge", "kExclusiveMerge"}) {
        LoadMode(mode);
        ASSERT_TRUE(Import(file, keyed)) << Log();
        ExpectInHost(generated, worlds, std::string("merged into its import (") + mode + ")", Log());
    }
    LoadMode("kCreate");

    ASSERT_TRUE(Run("file -f -new") && Import(back, keyed)) << Log();
    ExpectInHost(generated, worlds, "imported again from the export", Log());
}

INSTANTIATE_TEST_SUITE_P(Generated, ShearPropertyTest, ::testing::Range(1u, 1u + kCases), SeedName);

// A camera's or spot or directional light's own scaling: the host turns the node onto its forward
// axis after its scaling, so a scaling not alike on the two axes the turn exchanges (X and Z of a
// camera, Y and Z of a light) is not held, and the log says so. The node's origin is the file's, its
// axes those of the file's scaling carried through the turn (S turn S^-1 times the file's world
// matrix, the lengths of the exchanged axes swapped, their directions reversed where their signs
// differ); the export gives a light back the file's transform. A scaling alike on the exchanged
// axes, uniform or not, and a point light's, which the host does not turn, are held and nothing is
// said.
using TurnedScalingTest = PreRotationPropertyTest;

TEST_F(TurnedScalingTest, SaysWhatItCannotHold) {
    const struct {
        const char* mName;
        const char* mKind;
        const Mat4* mTurn;
        double mScaling[3];
        double mKeyed[3];  // the scaling keyed at 1 s (from 1, 1, 1 at 0 s), or none
        bool mSaid;
    } nodes[] = {
        {"camUneven", "camera", &kHostCameraFromFile, {1, 2, 0.5}, {0, 0, 0}, true},
        {"camMirrored", "camera", &kHostCameraFromFile, {-1, 1, 1}, {0, 0, 0}, true},
        {"camUniform", "camera", &kHostCameraFromFile, {2, 2, 2}, {0, 0, 0}, false},
        {"camAlongY", "camera", &kHostCameraFromFile, {1.5, 3, 1.5}, {0, 0, 0}, false},
        {"dirUneven", "light:1", &kHostLightFromFile, {1, 2, 0.5}, {0, 0, 0}, true},
        {"spotKeyed", "light:2", &kHostLightFromFile, {1, 1, 1}, {1, 2, 0.5}, true},
        {"spotAlongX", "light:2", &kHostLightFromFile, {3, 1, 1}, {0, 0, 0}, false},
        {"pointUneven", "light:0", nullptr, {1, -2, 0.5}, {0, 0, 0}, false},
    };
    const std::string file = Write("turnedscaling", [&](KZeqSdkManager& m, KZeqScene& s) {
        std::vector<KZeqNode*> made;
        double place = 0;
        for (const auto& n : nodes) {
            made.push_back(AddNode(m, s.GetRootNode(), n.mName, n.mKind));
            made.back()->SetDefaultT(KZeqVector4(place += 2, 1, -1, 0));
            made.back()->SetDefaultR(KZeqVector4(30, -50, 70, 0));
            made.back()->SetDefaultS(KZeqVector4(n.mScaling[0], n.mScaling[1], n.mScaling[2], 0));
        }
        // The take reaches the nodes that exist when it is made.
        s.CreateTake("Take 001");
        for (std::size_t i = 0; i < made.size(); ++i) {
            const auto& n = nodes[i];
            KZeqNode* node = made[i];
            if (n.mKeyed[0] == 0) continue;
            node->SetCurrentTakeNode("Take 001");
            KZeqTakeNode* take = node->GetCurrentTakeNode();
            KFCurve* scaling[3] = {take->GetScaleX(), take->GetScaleY(), take->GetScaleZ()};
            for (int axis = 0; axis < 3; ++axis) {
                Key(scaling[axis], 0.0, 1.0f);
                Key(scaling[axis], 1.0, static_cast<float>(n.mKeyed[axis]));
            }
        }
    });
    const auto worlds = FileWorlds(file, Times());
    ASSERT_TRUE(Run("ZEQExportShowUI 0"));
    ASSERT_TRUE(Run("file -f -new") && Run("ZEQImport -f \"" + file + "\" -take 0")) << Log();
    const std::string log = Log();
    for (const auto& n : nodes) {
        const std::string line = std::string(n.mTurn == &kHostCameraFromFile ? "Camera " : "Light ") + n.mName +
                                 ": its scaling is not alike on the axes its forward-axis turn exchanges, and the "
                                 "host turns it after its scaling; its origin is where the file has it, its axes "
                                 "differ in length or direction.";
        EXPECT_EQ(log.find(line) != std::string::npos, n.mSaid) << n.mName << "\n" << log;
        for (std::size_t k = 0; k < std::size(kTimes); ++k) {
            const Mat4& file = worlds.at(n.mName)[k];
            double scaling[3];
            for (int axis = 0; axis < 3; ++axis)
                scaling[axis] = n.mKeyed[0] == 0 ? n.mScaling[axis] : 1 + kTimes[k] * (n.mKeyed[axis] - 1);
            Mat4 turn = n.mTurn ? *n.mTurn : zeqtest::Identity();
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j) turn[i][j] *= scaling[i] / scaling[j];
            EXPECT_TRUE(NearWorld(zeqtest::Multiply(turn, file), HostWorld(n.mName, kTimes[k])))
                << n.mName << " imported, at " << kTimes[k] << " s";
        }
    }
    const std::string back = mDirectory + "back.zeq";
    ASSERT_TRUE(Run("ZEQExport -f \"" + back + "\""));
    const auto exported = FileWorlds(back, Times());
    for (const auto& n : nodes) {
        if (n.mTurn == &kHostCameraFromFile) continue;  // the export writes a camera's scaling as 1
        for (std::size_t k = 0; k < std::size(kTimes); ++k)
            EXPECT_TRUE(NearWorld(worlds.at(n.mName)[k], exported.at(n.mName)[k]))
                << n.mName << " exported, at " << kTimes[k] << " s";
    }
}

// "RotationActive" off, the file's pre- and post-rotation take no part in its node's transform (in
// the SDK's evaluation as in the format's own), and the host takes none either. A node of each
// kind (null, joint, mesh, camera, point, directional and spot light) with a pre-rotation, a
// post-rotation or both, rotation on or off, its rotation keyed where it has both, and a null below
// each: every one lands where the file and the SDK put it, at the keys and between them; from the
// host's export, the same again. The worked example: a null at (1, 2, 3) with the post-rotation
// (45, 0, 0) and rotation off puts its child at (0, 1, 0) at (1, 3, 3), not at (1, 2.7071, 2.2929).
using RotationActiveTest = PreRotationPropertyTest;

TEST_F(RotationActiveTest, PreAndPostRotationCountOnlyWhileActive) {
    const struct {
        const char* mKind;
        const Mat4* mTurn;
    } kinds[] = {{"null", nullptr},
                 {"skeleton:2", nullptr},
                 {"mesh", nullptr},
                 {"camera", &kHostCameraFromFile},
                 {"light:0", nullptr},
                 {"light:1", &kHostLightFromFile},
                 {"light:2", &kHostLightFromFile}};
    const char* const kWhat[] = {"pre", "post", "both"};
    struct Placed {
        std::string mName;
        const Mat4* mTurn;
    };
    std::vector<Placed> placed{{"Ex", nullptr}, {"ExKid", nullptr}};
    const std::string file = Write("rotationactive", [&](KZeqSdkManager& m, KZeqScene& s) {
        const KZeqNode::EPivotSet set = KZeqNode::eSOURCE_SET;
        KZeqNode* example = AddNode(m, s.GetRootNode(), "Ex");
        example->SetDefaultT(KZeqVector4(1, 2, 3, 0));
        example->SetPivotState(set, KZeqNode::ePIVOT_STATE_ACTIVE);
        example->SetPostRotation(set, KZeqVector4(45, 0, 0, 0));
        example->GetLimits().SetRotationLimitActive(false);
        AddNode(m, example, "ExKid")->SetDefaultT(KZeqVector4(0, 1, 0, 0));
        std::vector<KZeqNode*> keyed;
        double place = 0;
        for (const auto& kind : kinds)
            for (bool active : {false, true})
                for (const char* what : kWhat) {
                    const std::string name = std::string("n") + std::to_string(placed.size());
                    KZeqNode* node = std::string(kind.mKind) == "mesh"
                                         ? AddTriangle(m, s.GetRootNode(), name.c_str())->GetNode()
                                         : AddNode(m, s.GetRootNode(), name.c_str(), kind.mKind);
                    node->SetDefaultT(KZeqVector4(place += 2, 1, -1, 0));
                    node->SetDefaultR(KZeqVector4(20, -30, 40, 0));
                    node->SetPivotState(set, KZeqNode::ePIVOT_STATE_ACTIVE);
                    if (what != std::string("post")) node->SetPreRotation(set, KZeqVector4(30, 45, -60, 0));
                    if (what != std::string("pre")) node->SetPostRotation(set, KZeqVector4(-20, 35, 50, 0));
                    node->GetLimits().SetRotationLimitActive(active);
                    KZeqNode* kid = AddNode(m, node, (name + "Kid").c_str());
                    kid->SetDefaultT(KZeqVector4(0.5, 1, -0.25, 0));
                    kid->SetDefaultR(KZeqVector4(0, 0, 25, 0));
                    placed.push_back({name, kind.mTurn});
                    placed.push_back({name + "Kid", nullptr});
                    if (what == std::string("both")) keyed.push_back(node);
                }
        s.CreateTake("Take 001");
        for (KZeqNode* node : keyed) {
            node->SetCurrentTakeNode("Take 001");
            KZeqTakeNode* take = node->GetCurrentTakeNode();
            const float keys[3][2] = {{20, 110}, {-30, 15}, {40, -35}};
            KFCurve* r[3] = {take->GetEulerRotationX(), take->GetEulerRotationY(), take->GetEulerRotationZ()};
            for (int axis = 0; axis < 3; ++axis)
                for (int i = 0; i < 2; ++i) Key(r[axis], i, keys[axis][i]);
        }
    });
    const auto worlds = FileWorlds(file, Times()), evaluated = SdkWorlds(file, Times());
    ASSERT_EQ(worlds.size(), placed.size());
    ASSERT_TRUE(Run("ZEQExportShowUI 0"));
    const std::string back = mDirectory + "back.zeq";
    for (const bool again : {false, true}) {
        const std::string from = again ? back : file, road = again ? "exported and imported again" : "imported";
        ASSERT_TRUE(Run("file -f -new") && Run("ZEQImport -f \"" + from + "\" -take 0")) << Log();
        EXPECT_EQ(Log().find(" differ"), std::string::npos) << Log();
        for (const Placed& node : placed)
            for (std::size_t k = 0; k < std::size(kTimes); ++k) {
                const Mat4 host = HostWorld(node.mName, kTimes[k]);
                const auto turned = [&](const Mat4& m) { return node.mTurn ? zeqtest::Multiply(*node.mTurn, m) : m; };
                EXPECT_TRUE(NearWorld(turned(worlds.at(node.mName)[k]), host))
                    << node.mName << " " << road << ", at " << kTimes[k] << " s";
                EXPECT_TRUE(NearWorld(turned(evaluated.at(node.mName)[k]), host))
                    << node.mName << " " << road << ", at " << kTimes[k] << " s";
            }
        const Mat4 kid = HostWorld("ExKid", 0);
        EXPECT_NEAR(kid[3][0], 1, 1e-6);
        EXPECT_NEAR(kid[3][1], 3, 1e-6);
        EXPECT_NEAR(kid[3][2], 3, 1e-6);
        if (!again) {
            ASSERT_TRUE(Run("ZEQExport -f \"" + back + "\""));
        }
    }
}

// The host's joint orient and rotate axis go out as a pre- and a post-rotation with "RotationActive"
// on, so that they count in the file as in the host: a joint with an orient, a transform and a
// camera with a rotate axis, each holding a child, are in the file where the host has them, and
// come back there.
TEST_F(RotationActiveTest, TheHostsOrientAndRotateAxisGoOutActive) {
    ASSERT_TRUE(Run("ZEQExportShowUI 0") && Run("file -f -new") && Run("camera"));
    const TObject joint = standin::createNode("joint", "j");
    const TObject transform = standin::createNode("transform", "t");
    const TObject camera = standin::find("camera1");
    const auto set = [](const TObject& node, const char* attribute, double x, double y, double z) {
        TFnDependencyNode fn(node);
        const double values[3] = {x, y, z};
        for (int axis = 0; axis < 3; ++axis)
            fn.findPlug((std::string(attribute) + "XYZ"[axis]).c_str()).setValue(values[axis] * M_PI / 180);
    };
    set(joint, "jointOrient", 30, 45, -60);
    set(transform, "rotateAxis", -20, 35, 50);
    set(camera, "rotateAxis", 10, -25, 70);
    double place = 0;
    for (const TObject& node : {joint, transform, camera}) {
        TFnTransform(node).setTranslation(TVector(place += 2, 1, -1), TSpace::kTransform);
        set(node, "rotate", 20, -30, 40);
        const TObject kid = standin::createNode("transform", TFnDependencyNode(node).name().asChar() + std::string("Kid"), node);
        TFnTransform(kid).setTranslation(TVector(0.5, 1, -0.25), TSpace::kTransform);
    }
    const struct {
        const char* mName;
        const Mat4* mTurn;
    } nodes[] = {{"j", nullptr}, {"jKid", nullptr}, {"t", nullptr}, {"tKid", nullptr},
                 {"camera1", &kHostCameraFromFile}, {"camera1Kid", nullptr}};
    std::map<std::string, Mat4> host;
    for (const auto& node : nodes) host[node.mName] = HostWorld(node.mName, 0);

    const std::string file = mDirectory + "host.zeq";
    ASSERT_TRUE(Run("ZEQExport -f \"" + file + "\""));
    KZeqSdkManager manager;
    KZeqScene& scene = *manager.CreateKZeqScene();
    KZeqImporter* importer = manager.CreateKZeqImporter();
    ASSERT_TRUE(importer->Initialize(file.c_str()) && importer->Import(scene));
    int counted = 0;
    VisitDepthFirst(scene.GetRootNode(), [&](KZeqNode& node) {
        const std::string name = node.GetNameWithoutNameSpacePrefix().Buffer();
        if (name != "j" && name != "t" && name != "camera1") return;
        EXPECT_TRUE(node.PreAndPostRotationCount()) << name;
        ++counted;
    });
    EXPECT_EQ(counted, 3);
    const auto worlds = FileWorlds(file, {0.0}), evaluated = SdkWorlds(file, {0.0});
    for (const auto& node : nodes) {
        const auto turned = [&](const Mat4& m) { return node.mTurn ? zeqtest::Multiply(*node.mTurn, m) : m; };
        EXPECT_TRUE(NearWorld(host[node.mName], turned(worlds.at(node.mName)[0]))) << node.mName << " in the file";
        EXPECT_TRUE(NearWorld(host[node.mName], turned(evaluated.at(node.mName)[0]))) << node.mName << " by the SDK";
    }
    ASSERT_TRUE(Run("file -f -new") && Run("ZEQImport -f \"" + file + "\"")) << Log();
    for (const auto& node : nodes)
        EXPECT_TRUE(NearWorld(host[node.mName], HostWorld(node.mName, 0))) << node.mName << " imported again";
}

// The seeds reach every order keyed in each way and not at all, and every other kind; asked for
// shear, every order scaled unevenly, mirrored and below such a scaling, and every kind of scaling
// with the other features.
TEST(PreRotationGeneratorTest, TheSeedsReachEveryKind) {
    for (bool shear : {false, true}) {
        std::map<std::string, bool> missed = AllKinds(shear);
        for (unsigned seed = 1; seed <= kCases; ++seed) {
            KZeqSdkManager manager;
            Generator generator(manager, *manager.CreateKZeqScene(), seed, Mode{KeyedCase(seed), shear});
            generator.Build();
            for (const auto& kind : generator.mOut.mKinds) missed.erase(kind.first);
        }
        std::string text;
        for (const auto& kind : missed) text += "\"" + kind.first + "\" ";
        EXPECT_EQ(text, "") << (shear ? "with shear" : "without");
    }
}

}  // namespace


// Joints with pre- and post-rotations, rotation offsets and pivots, scaling
// offsets and pivots, every rotation order, turns near a quarter turn, shear
// under an unevenly scaled joint and takes with time warps and animation
// layers, written through every motion writer and read back with our readers:
// every joint where the file's own transforms put it (evaluated apart from the
// SDK) at every frame, keys and between them, or after the first frame (which
// every file places exactly) named by the writer's message as not held.

#include "formats/motion/common/kzeqmotionjoint.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "content/kzeqskeleton.h"
#include "formats/motion/common/tests/kzeqmotionwriters_support.h"
#include "scene/kzeqnodelimits.h"
#include "scene/kzeqtakeinfo.h"
#include "scene/tests/kfiletakelayers_scene.h"
#include "scene/tests/kfiletransform_scene.h"

namespace zeqmotionwriters {
namespace {

using zeqtest::FileTransformValues;
using Keys = std::vector<std::pair<double, FileTransformValues>>;
using Positions = std::vector<std::vector<std::array<double, 3>>>;  // [frame][joint]
using Axes = std::array<std::array<double, 3>, 3>;                  // a joint's axes, a row each

constexpr double kRate = 10.0;
constexpr int kFrames = 21;  // 0 to 2 s: keys at 0, 1 and 2 s, nine frames between each two
constexpr const char* kTake = "Take 001";

// A time between keys and frames.
KTime Between() {
    KTime time;
    time.SetSecondDouble(0.55);
    return time;
}

// Kinds of joint beyond the file transform features, in bits of their own.
constexpr unsigned kShear = 1u << 16;        // scaled unevenly (1.6, 0.7, 1.2), its children turned
constexpr unsigned kQuarterTurn = 1u << 17;  // turned within 0.04 degrees of a quarter turn about one axis
constexpr unsigned kMirror = 1u << 18;       // scaled -1 on one axis (by the case), its children turned

struct JointCase {
    unsigned mFeatures;  // on the joints that carry them
    int mOrder;
    bool mKeyed;
    int mJoints;
    int mIndex;  // seeds the values, picks the joints that carry the features and a quarter turn's axis
};

std::string CaseName(const testing::TestParamInfo<JointCase>& info) {
    static const char* const kOrders[] = {"XYZ", "XZY", "YZX", "YXZ", "ZXY", "ZYX"};
    const unsigned features = info.param.mFeatures & ~(kShear | kQuarterTurn | kMirror);
    std::string name = features == 0 ? "" : zeqtest::FeatureName(features);
    if (info.param.mFeatures & kShear) name += name.empty() ? "shear" : "_shear";
    if (info.param.mFeatures & kMirror) name += name.empty() ? "mirror" : "_mirror";
    if (info.param.mFeatures & kQuarterTurn)
        name += std::string(name.empty() ? "" : "_") + "quarter_turn_" + "XYZ"[info.param.mIndex % 3];
    if (name.empty()) name = "order";
    for (char& c : name)
        if (c == ' ' || c == '-') c = '_';
    return name + "_" + kOrders[info.param.mOrder] + (info.param.mKeyed ? "_keyed_" : "_static_") +
           std::to_string(info.param.mJoints) + "joints";
}

std::vector<JointCase> Cases() {
    using namespace zeqtest;
    const unsigned all =
        kPreRotation | kPostRotation | kRotationOffset | kRotationPivot | kScalingOffset | kScalingPivot | kGeometric;
    const unsigned kinds[] = {0u,
                              kPreRotation,
                              kPostRotation,
                              kRotationOffset,
                              kRotationPivot,
                              kScalingOffset,
                              kScalingPivot,
                              kGeometric,
                              kScaling,
                              kShear,
                              kQuarterTurn,
                              kMirror,
                              kMirror | kPreRotation,
                              kMirror | kQuarterTurn,
                              all,
                              all | kShear,
                              all | kMirror};
    std::vector<JointCase> cases;
    for (unsigned kind : kinds)
        for (int order = 0; order < 6; ++order)
            for (bool keyed : {false, true}) {
                const int index = static_cast<int>(cases.size());
                cases.push_back({kind, order, keyed, 3 + index % 4, index});
            }
    return cases;
}

class MotionJointChain : public testing::Test {
protected:
    void TearDown() override {
        mManager.DestroyKZeqScene(mScene, true);
        mManager.DestroyKZeqScene(mBack, true);
    }

    // The chain J0 (top) to J<n-1>, each one bone below the last, the joints
    // that carry the features given them; keyed in the take, or left in the
    // default take with their default values.
    void MakeChain(const JointCase& c) {
        std::mt19937 random(static_cast<unsigned>(1000 + c.mIndex));
        std::uniform_real_distribution<double> angle(-120.0, 120.0), slant(-2.0, 2.0);
        for (int n = 0; n < c.mJoints; ++n) {
            const bool carries = n == 1 || (n == 0 && c.mIndex % 2 == 1) || (n == c.mJoints - 1 && c.mIndex % 3 == 0);
            FileTransformValues v = zeqtest::RandomFileValues(
                random, carries ? c.mFeatures & zeqtest::kAllFeatures : 0u, carries ? c.mOrder : 0);
            // A uniform scaling, which the formats carry into the offsets below; an uneven one
            // shears the children, which turn.
            if (carries && (c.mFeatures & zeqtest::kScalingPivot)) v.s[0] = v.s[1] = v.s[2] = 1.5;
            if (carries && (c.mFeatures & kShear)) v.s[0] = 1.6, v.s[1] = 0.7, v.s[2] = 1.2;
            if (carries && (c.mFeatures & kMirror)) v.s[c.mIndex % 3] = -1.0;
            const double t[3] = {n == 0 ? 1.0 : zeqtest::Held(slant(random)), n == 0 ? 2.0 : 10.0,
                                 n == 0 ? 3.0 : zeqtest::Held(slant(random))};
            for (int i = 0; i < 3; ++i) v.t[i] = t[i];
            for (double& r : v.r) r = zeqtest::Held(angle(random));
            // A turn about one axis alone, within 0.04 degrees of a quarter turn either way.
            const bool quarter = carries && (c.mFeatures & kQuarterTurn);
            FileTransformValues turned = v;
            if (quarter) {
                for (double& r : turned.r) r = 0.0;
                turned.r[c.mIndex % 3] = c.mIndex % 2 ? -89.96875 : 89.96875;
                v = turned;
            }
            Keys keys;
            if (c.mKeyed) {
                // Rotation keyed; translation and scaling held, as a rotation-only file holds them.
                // A quarter turn, the first frame's (what a skeleton is built from), turns away and
                // back.
                keys.emplace_back(0.0, v);
                for (double seconds : {1.0, 2.0}) {
                    FileTransformValues k = v;
                    for (double& r : k.r) r = zeqtest::Held(angle(random));
                    keys.emplace_back(seconds, quarter && seconds == 2.0 ? turned : k);
                }
            }
            // A posed take: the defaults lie elsewhere than the first key (what a skeleton is
            // built from is the first frame's).
            FileTransformValues defaults = v;
            if (c.mKeyed) defaults.r[0] += 15.0, defaults.r[2] -= 10.0;
            Append(defaults, keys);
        }
        if (c.mKeyed) UseTake();
    }

    // The next joint of the chain, J<n> one bone below the last (the top
    // first), given v and selected; keyed in the take at keys unless they are
    // none, else left in the default take with v.
    void Append(const FileTransformValues& v, const Keys& keys) {
        const int n = static_cast<int>(mNodes.size());
        KZeqNode* node = AddJoint(n == 0 ? *mScene->GetRootNode() : *mNodes.back(), n);
        zeqtest::SetFileValues(*node, v);
        node->SetSelected(true);
        if (!keys.empty()) zeqtest::KeyFileValues(*node, kTake, keys);
        mKeys.push_back(keys.empty() ? Keys{{0.0, v}} : keys);
        mNodes.push_back(node);
    }

    // Joint J<n> below parent, a skeleton root for n = 0 and a limb below.
    KZeqNode* AddJoint(KZeqNode& parent, int n) {
        KZeqNode* node = mManager.CreateKZeqNode(("J" + std::to_string(n)).c_str());
        KZeqSkeleton* skeleton = mManager.CreateKZeqSkeleton();
        skeleton->SetSkeletonType(n == 0 ? KZeqSkeleton::eROOT : KZeqSkeleton::eLIMB_NODE);
        node->SetNodeAttribute(skeleton);
        parent.AddChild(node);
        return node;
    }

    // The chain of the near-quarter-turn test, written and read back.
    void WriteNearAQuarterTurn(bool full, bool turnedTop);

    // Joint n of a chain standing still: 10 along Y below the last (the top at the origin), turned
    // 20n degrees about Z.
    static FileTransformValues Standing(int n) {
        FileTransformValues v;
        v.t[1] = n == 0 ? 0.0 : 10.0;
        v.r[2] = 20.0 * n;
        return v;
    }

    // An empty scene in place of the chain made, for a test's next case.
    void StartAgain() {
        mManager.DestroyKZeqScene(mScene, true);
        mScene = mManager.CreateKZeqScene();
        mNodes.clear();
        mKeys.clear();
        mLayerings.clear();
    }

    // The chain written every way: said once by the files of one offset alone, and every joint
    // placed at every frame by BVH with translation channels.
    void ExpectSaidAndPlaced(const std::string& said);

    // The keyed take, 0 to stop seconds, made current.
    void UseTake(double seconds = 2.0) {
        KZeqTakeInfo info;
        info.mName = kTake;
        KTime stop;
        stop.SetSecondDouble(seconds);
        info.mLocalTimeSpan = KTimeSpan(KTime(), stop);
        info.mReferenceTimeSpan = info.mLocalTimeSpan;
        mScene->SetTakeInfo(info);
        mScene->SetCurrentTake(kTake);
    }

    // Joint j's local matrix at seconds, as its keys (and its take's warp and layers) give it.
    zeqtest::Mat4 LocalAt(std::size_t j, double seconds) const {
        const Keys& keys = mKeys[j];
        if (j >= mLayerings.size()) return zeqtest::FileLocalMatrix(zeqtest::ValuesBetweenKeys(keys, seconds));
        return zeqtest::FileLocalMatrix(zeqtest::LayeredValues(
            mLayerings[j], seconds, [&keys](double s) { return zeqtest::ValuesBetweenKeys(keys, s); }));
    }

    // Where the file's own transforms put every joint at every frame.
    Positions Expected(int frames = kFrames) const {
        Positions positions;
        for (int f = 0; f < frames; ++f) {
            std::vector<std::array<double, 3>> frame;
            zeqtest::Mat4 global = zeqtest::Identity();
            for (std::size_t j = 0; j < mKeys.size(); ++j) {
                global = zeqtest::Multiply(LocalAt(j, f / kRate), global);
                frame.push_back({global[3][0], global[3][1], global[3][2]});
            }
            positions.push_back(frame);
        }
        return positions;
    }

    // The joints' axes, rows made unit, at every frame: as the file's own
    // transforms have them, or as the read scene has them.
    std::vector<std::vector<Axes>> ExpectedAxes() const {
        std::vector<std::vector<Axes>> axes;
        for (int f = 0; f < kFrames; ++f) {
            std::vector<Axes> frame;
            zeqtest::Mat4 global = zeqtest::Identity();
            for (std::size_t j = 0; j < mKeys.size(); ++j) {
                global = zeqtest::Multiply(LocalAt(j, f / kRate), global);
                frame.push_back(UnitRows([&global](int r, int c) { return global[r][c]; }));
            }
            axes.push_back(frame);
        }
        return axes;
    }
    template <typename Element>
    static Axes UnitRows(const Element& m) {
        Axes axes;
        for (int r = 0; r < 3; ++r) {
            const double length = std::sqrt(m(r, 0) * m(r, 0) + m(r, 1) * m(r, 1) + m(r, 2) * m(r, 2));
            for (int c = 0; c < 3; ++c) axes[r][c] = m(r, c) / length;
        }
        return axes;
    }

    // Every joint of the read scene turned from frame 0 to each frame as the
    // file's own transforms turn it, within tolerance: the axes a file gives a
    // joint may differ from the scene's by a fixed turn, which drops out.
    testing::AssertionResult Turned(const std::string& way, double tolerance) {
        const std::vector<std::vector<Axes>> expected = ExpectedAxes();
        // a0 transposed times af: the turn from frame 0 to frame f.
        const auto turn = [](const Axes& a0, const Axes& af) {
            Axes t{};
            for (int i = 0; i < 3; ++i)
                for (int j = 0; j < 3; ++j)
                    for (int k = 0; k < 3; ++k) t[i][j] += a0[k][i] * af[k][j];
            return t;
        };
        for (std::size_t j = 0; j < mNodes.size(); ++j) {
            const std::string name = "J" + std::to_string(j);
            KZeqNode* node = FindWritten(*mBack, way, name, j == 0, j > 0 ? "J" + std::to_string(j - 1) : "",
                                         static_cast<int>(j));
            if (!node) return testing::AssertionFailure() << way << ": " << name << " is missing";
            std::vector<Axes> read;
            for (int f = 0; f < kFrames; ++f) {
                KTime time;
                time.SetSecondDouble(f / kRate);
                const KZeqXMatrix& global = node->GetGlobalFromCurrentTake(time);
                read.push_back(UnitRows([&global](int r, int c) { return global.mData[r][c]; }));
            }
            for (int f = 1; f < kFrames; ++f) {
                const Axes want = turn(expected[0][j], expected[static_cast<std::size_t>(f)][j]);
                const Axes got = turn(read[0], read[static_cast<std::size_t>(f)]);
                for (int r = 0; r < 3; ++r)
                    for (int c = 0; c < 3; ++c)
                        if (std::fabs(want[r][c] - got[r][c]) > tolerance)
                            return testing::AssertionFailure() << way << ": " << name << " at frame " << f
                                                               << " turned off by " << got[r][c] - want[r][c];
            }
        }
        return testing::AssertionSuccess();
    }

    bool ReadBack(const std::string& way, const std::map<std::string, Output>& out, std::string& error,
                  int frames = kFrames) {
        mManager.DestroyKZeqScene(mBack, true);
        mBack = mManager.CreateKZeqScene();
        return ReadWritten(mManager, *mBack, way, out, frames, kRate, error);
    }

    // The largest coordinate of any joint at any frame.
    static double SizeOf(const Positions& expected) {
        double size = 0.0;
        for (const auto& frame : expected)
            for (const auto& p : frame)
                for (double x : p) size = std::max(size, std::fabs(x));
        return size;
    }

    // Every way's file read back and every joint placed (Placed) within 1e-4 of the size. Only
    // the files that keep one offset a joint (BVH without translation channels, ASF with its AMC)
    // may leave a joint named by their messages; the others place every joint at every frame,
    // whatever they say of its axes.
    void ExpectEveryWayPlaced(std::map<std::string, Output>& out, const Positions& expected) {
        std::string error;
        for (const Way& way : Ways()) {
            ASSERT_TRUE(ReadBack(way.mName, out, error, static_cast<int>(expected.size())))
                << way.mName << ": " << error;
            const std::string name = way.mName;
            const std::string messages = name == "bvh"   ? out[name].mMessages
                                         : name == "asf" ? out["asf"].mMessages + out["amc"].mMessages
                                                         : "";
            EXPECT_TRUE(Placed(name, expected, messages, 1e-4 * SizeOf(expected)));
        }
    }

    // Every joint of the read scene within tolerance of where it should be,
    // or after the first frame named (it or one above it) by the writer's
    // messages: what a file cannot hold is written where the first frame puts it.
    testing::AssertionResult Placed(const std::string& way, const Positions& expected, const std::string& messages,
                                    double tolerance) {
        std::vector<KZeqNode*> read;
        for (std::size_t j = 0; j < mNodes.size(); ++j) {
            const std::string name = "J" + std::to_string(j);
            KZeqNode* node = FindWritten(*mBack, way, name, j == 0, j > 0 ? "J" + std::to_string(j - 1) : "",
                                         static_cast<int>(j));
            if (!node) return testing::AssertionFailure() << way << ": " << name << " is missing";
            read.push_back(node);
        }
        int said = -1;  // the first joint the messages name: it and all below may be off
        for (std::size_t j = 0; j < mNodes.size() && said < 0; ++j)
            if (messages.find("\"J" + std::to_string(j) + "\":") != std::string::npos) said = static_cast<int>(j);
        for (int f = 0; f < static_cast<int>(expected.size()); ++f) {
            KTime time;
            time.SetSecondDouble(f / kRate);
            for (std::size_t j = 0; j < read.size(); ++j) {
                const KZeqVector4 p = read[j]->GetGlobalFromCurrentTake(time).GetT();
                for (int a = 0; a < 3; ++a) {
                    const double d = p[a] - expected[static_cast<std::size_t>(f)][j][a];
                    if (std::fabs(d) <= tolerance || (f > 0 && said >= 0 && static_cast<int>(j) >= said)) continue;
                    return testing::AssertionFailure() << way << ": J" << j << " at frame " << f << " axis " << a
                                                       << " off by " << d << " (messages: " << messages << ")";
                }
            }
        }
        return testing::AssertionSuccess();
    }

    KZeqSdkManager mManager;
    KZeqScene* mScene = mManager.CreateKZeqScene();
    KZeqScene* mBack = mManager.CreateKZeqScene();
    zeqmotiontest::MotionTempDir mDir;
    std::vector<KZeqNode*> mNodes;
    std::vector<Keys> mKeys;
    std::vector<zeqtest::TakeLayering> mLayerings;  // the take's warps and layers, a joint each, when any
};

class MotionJointWrite : public MotionJointChain, public testing::WithParamInterface<JointCase> {};

TEST_P(MotionJointWrite, EveryJointWhereItsTransformPutsIt) {
    MakeChain(GetParam());
    const Positions expected = Expected();
    const double size = SizeOf(expected);
    std::vector<KZeqVector4> before;
    for (KZeqNode* node : mNodes) before.push_back(node->EvaluateGlobalTransform(Between()).GetT());
    Writers writers(mManager, mDir.Path());
    std::map<std::string, Output> out;
    std::string error;
    ASSERT_TRUE(writers.WriteAll(*mScene, kFrames, kRate, KTime(), out, error)) << error;
    // The writers leave every node's transform as it was (their automatic
    // limits live in pivot set 0's pre- and post-rotation and rotation order).
    for (std::size_t j = 0; j < mNodes.size(); ++j) {
        const KZeqVector4 now = mNodes[j]->EvaluateGlobalTransform(Between()).GetT();
        for (int a = 0; a < 3; ++a) EXPECT_NEAR(now[a], before[j][a], 1e-9 * size) << "J" << j;
    }
    ExpectEveryWayPlaced(out, expected);
}

INSTANTIATE_TEST_SUITE_P(Chains, MotionJointWrite, testing::ValuesIn(Cases()), CaseName);

// A take's time warps and animation layers, as a file read without merging them keeps them: a
// warp on a joint's translation, its rotation or its whole transform, a translation layer, a
// rotation layer, and both layers under a warp, in every order with a pre-rotation and without,
// written through every motion writer over the whole time the take plays (a warp may play on
// after the curves' last key) and read back: every joint where the take puts it at every frame.
// Joints below the top keep one offset (the formats without translation channels hold no more):
// their translation layers add the same at every key. A plain take (no warp, no layer) is among
// the kinds; every joint's default values lie elsewhere than its take puts it, as a posed take's
// do.
struct LayeredJointCase {
    unsigned mKinds;  // of RandomTakeLayering
    int mOrder;
    bool mPreRotation;
    int mJoints;
    int mIndex;
};

std::vector<LayeredJointCase> LayeredCases() {
    std::vector<unsigned> kinds = zeqtest::TakeLayeringKinds();
    kinds.insert(kinds.begin(), 0u);
    std::vector<LayeredJointCase> cases;
    for (unsigned kind : kinds)
        for (int order = 0; order <= 6; ++order)
            for (bool pre : {false, true}) {
                const int index = static_cast<int>(cases.size());
                cases.push_back({kind, order, pre, 3 + index % 4, index});
            }
    return cases;
}

std::string LayeredCaseName(const testing::TestParamInfo<LayeredJointCase>& info) {
    static const char* const kOrders[] = {"XYZ", "XZY", "YZX", "YXZ", "ZXY", "ZYX", "spheric"};
    const LayeredJointCase& c = info.param;
    return zeqtest::TakeKindsName(c.mKinds) + "_" + kOrders[c.mOrder] + (c.mPreRotation ? "_pre_rotation_" : "_") +
           std::to_string(c.mJoints) + "joints";
}

class MotionJointWriteLayered : public MotionJointChain, public testing::WithParamInterface<LayeredJointCase> {
protected:
    static constexpr int kLayeredFrames = 41;  // 0 to 4 s, as long as the longest warp plays

    void MakeLayeredChain(const LayeredJointCase& c) {
        std::mt19937 random(static_cast<unsigned>(2000 + c.mIndex));
        std::uniform_real_distribution<double> angle(-120.0, 120.0), slant(-2.0, 2.0);
        for (int n = 0; n < c.mJoints; ++n) {
            FileTransformValues v =
                zeqtest::RandomFileValues(random, c.mPreRotation ? zeqtest::kPreRotation : 0u, c.mOrder);
            const double t[3] = {n == 0 ? 1.0 : zeqtest::Held(slant(random)), n == 0 ? 2.0 : 10.0,
                                 n == 0 ? 3.0 : zeqtest::Held(slant(random))};
            Keys keys;
            for (double seconds : {0.0, 1.0, 2.0}) {
                FileTransformValues k = v;
                for (int i = 0; i < 3; ++i) k.t[i] = t[i] + (n == 0 ? zeqtest::Held(slant(random)) : 0.0);
                for (double& r : k.r) r = zeqtest::Held(angle(random));
                keys.emplace_back(seconds, k);
            }
            zeqtest::TakeLayering layering = zeqtest::RandomTakeLayering(random, c.mKinds);
            if (n > 0)
                for (zeqtest::ScalarKeys& axis : layering.mLayerT)
                    for (auto& key : axis) key.second = axis.front().second;
            FileTransformValues defaults = keys.front().second;
            defaults.t[0] += 1.0;
            defaults.r[2] += 10.0;
            Append(defaults, keys);
            zeqtest::AddTakeLayering(*mNodes.back(), kTake, layering);
            mLayerings.push_back(layering);
        }
        UseTake(4.0);
    }

    // Every joint's global matrix at every frame, and what of its take a writer might touch.
    std::vector<double> SceneState() const {
        std::vector<double> state;
        for (KZeqNode* node : mNodes) {
            for (int f = 0; f < kLayeredFrames; ++f) {
                KTime time;
                time.SetSecondDouble(f / kRate);
                const KZeqXMatrix global = node->EvaluateGlobalTransform(time);
                for (const auto& row : global.mData) state.insert(state.end(), row, row + 4);
            }
            KFCurveNode* take = node->GetCurrentTakeNode()->GetKFCurveNode();
            for (const char* channel : {"Transform", "T", "R", "S"}) {
                KFCurveNode* curves = take->FindRecursive(channel);
                state.push_back(curves->GetRotationOrder());
                state.push_back(curves->GetLayerType());
                state.push_back(curves->LayerGet() != nullptr);
                state.push_back(curves->TimeWarpGet() != nullptr);
            }
        }
        return state;
    }
};

TEST_P(MotionJointWriteLayered, EveryJointWhereTheTakePlaysIt) {
    MakeLayeredChain(GetParam());
    const Positions expected = Expected(kLayeredFrames);
    const std::vector<double> before = SceneState();
    Writers writers(mManager, mDir.Path());
    std::map<std::string, Output> out;
    std::string error;
    ASSERT_TRUE(writers.WriteAll(*mScene, kLayeredFrames, kRate, KTime(), out, error)) << error;
    EXPECT_TRUE(before == SceneState()) << "writing changed the scene";
    ExpectEveryWayPlaced(out, expected);
}

INSTANTIATE_TEST_SUITE_P(Takes, MotionJointWriteLayered, testing::ValuesIn(LayeredCases()), LayeredCaseName);

// A joint turned within a twentieth of a degree of a quarter turn about Y:
// the joints below it are where they are, not where the quarter turn itself
// would put them (a thousandth of a radian away), in BVH files with and
// without translation channels, ASF/AMC and HTR files, and every joint turns
// from frame to frame as the scene turns it in those and in VPM, MOV and BRD
// files, which keep each node's global rotation. The top joint carries a
// pre-rotation, or is still (the turned joint's global turn then is the near
// quarter turn too); the turned joint is taken from its curves or, when it
// carries a scaling pivot that moves nothing, from its full transform.
TEST_F(MotionJointWrite, NearAQuarterTurnAboutYTheTurnIsKept) {
    for (bool turnedTop : {true, false})
        for (bool full : {false, true}) {
            SCOPED_TRACE(std::string(full ? "full transform" : "curves") +
                         (turnedTop ? ", top turned" : ", top still"));
            StartAgain();
            WriteNearAQuarterTurn(full, turnedTop);
        }
}

void MotionJointChain::WriteNearAQuarterTurn(bool full, bool turnedTop) {
    const double t[4][3] = {{1.0, 2.0, 3.0}, {0.0, 10.0, 0.0}, {0.0, 10.0, 0.0}, {0.0, 10.0, 0.0}};
    for (int n = 0; n < 4; ++n) {
        FileTransformValues v;
        for (int i = 0; i < 3; ++i) v.t[i] = t[n][i];
        if (n == 0 && turnedTop) v.preRotation[2] = 15.0;
        if (n == 1 && full) v.scalingPivot[0] = 1.0;
        // Still at frame 0; the near quarter turn from 1 s on.
        FileTransformValues k = v;
        k.r[0] = 30.0;
        k.r[1] = 89.96875;
        k.r[2] = 20.0;
        Append(v, n == 1 ? Keys{{0.0, v}, {1.0, k}, {2.0, k}} : Keys());
    }
    UseTake();
    const Positions expected = Expected();
    double size = 0.0;
    for (const auto& p : expected[0])
        for (double x : p) size = std::max(size, std::fabs(x));
    Writers writers(mManager, mDir.Path());
    std::map<std::string, Output> out;
    std::string error;
    ASSERT_TRUE(writers.WriteAll(*mScene, kFrames, kRate, KTime(), out, error)) << error;
    // Positions of joints to a millionth of the size (the global ones are printed to six digits).
    for (const std::string way : {"bvh", "bvh-translation", "asf", "htr", "vpm", "mov", "brd"}) {
        ASSERT_TRUE(ReadBack(way, out, error)) << way << ": " << error;
        if (way != "vpm" && way != "mov" && way != "brd") {
            EXPECT_TRUE(Placed(way, expected, out[way].mMessages, 1e-6 * size));
        }
        EXPECT_TRUE(Turned(way, 1e-5));
    }
}

// What a writer might touch of a node while it works out the node's automatic
// limits: pivot set 0's state, pre- and post-rotation and rotation order, and
// the limits' own values.
std::vector<double> LimitsAndRotations(KZeqNode& node) {
    std::vector<double> values;
    const KZeqNode::EPivotSet set = KZeqNode::eSOURCE_SET;
    KZeqNode::EPivotState state = KZeqNode::ePIVOT_STATE_ACTIVE;
    ERotationOrder order = eEULER_XYZ;
    node.GetPivotState(set, state);
    node.GetRotationOrder(set, order);
    values.push_back(state);
    values.push_back(order);
    KZeqNodeLimits& limits = node.GetLimits();
    for (const KZeqVector4& v : {node.GetPreRotation(set), node.GetPostRotation(set),
                                 limits.mTranslationLimits.GetLimitMin(), limits.mTranslationLimits.GetLimitMax(),
                                 limits.mScalingLimits.GetLimitMin(), limits.mScalingLimits.GetLimitMax()})
        values.insert(values.end(), v.mData, v.mData + 4);
    values.push_back(limits.GetAxisLength());
    return values;
}

// Writing changes nothing of the scene: the writers that work out a joint's
// automatic limits (BVH and HTR) give every node back pivot set 0's pre- and
// post-rotation and rotation order, whether the set is active or not, and the
// limits' values.
TEST_F(MotionJointWrite, WritersLeaveTheSceneAsItWas) {
    MakeChain({zeqtest::kPreRotation | zeqtest::kPostRotation, 1, true, 4, 5});
    // Values an inactive set keeps without their taking part.
    mNodes[2]->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_REFERENCE);
    mNodes[2]->SetPreRotation(KZeqNode::eSOURCE_SET, KZeqVector4(12.0, -7.0, 3.0, 1.0));
    mNodes[2]->SetPostRotation(KZeqNode::eSOURCE_SET, KZeqVector4(-4.0, 9.0, 30.0, 1.0));
    mNodes[3]->SetPivotState(KZeqNode::eSOURCE_SET, KZeqNode::ePIVOT_STATE_REFERENCE);
    std::vector<std::vector<double>> before;
    for (KZeqNode* node : mNodes) before.push_back(LimitsAndRotations(*node));
    Writers writers(mManager, mDir.Path());
    std::map<std::string, Output> out;
    std::string error;
    ASSERT_TRUE(writers.WriteAll(*mScene, kFrames, kRate, KTime(), out, error)) << error;
    for (std::size_t j = 0; j < mNodes.size(); ++j) EXPECT_EQ(before[j], LimitsAndRotations(*mNodes[j])) << "J" << j;
}

int Count(const std::string& text, const std::string& what) {
    int count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

// Said once by the files that keep one offset a joint (BVH without translation channels, the AMC),
// as a warning through the callback and in the exporter's message; nothing said by the others.
void ExpectSaidByTheFilesOfOneOffset(std::map<std::string, Output>& out, const std::string& said) {
    for (const char* way : {"bvh", "amc"}) {
        ASSERT_EQ(out[way].mCallbacks.size(), 1u) << way << ": " << out[way].mMessages;
        EXPECT_EQ(out[way].mCallbacks[0].rfind("Warning: " + said, 0), 0u) << way << ": " << out[way].mCallbacks[0];
        EXPECT_EQ(Count(out[way].mMessages, said), 2) << way << ": " << out[way].mMessages;
    }
    for (const Way& way : Ways()) {
        if (way.mName == std::string("bvh")) continue;
        EXPECT_TRUE(out[way.mName].mCallbacks.empty() && out[way.mName].mMessages.empty())
            << way.mName << ": " << out[way.mName].mMessages;
    }
}

void MotionJointChain::ExpectSaidAndPlaced(const std::string& said) {
    Writers writers(mManager, mDir.Path());
    std::map<std::string, Output> out;
    std::string error;
    ASSERT_TRUE(writers.WriteAll(*mScene, kFrames, kRate, KTime(), out, error)) << error;
    ExpectSaidByTheFilesOfOneOffset(out, said);
    ASSERT_TRUE(ReadBack("bvh-translation", out, error)) << error;
    EXPECT_TRUE(Placed("bvh-translation", Expected(), "", 1e-4 * SizeOf(Expected())));
}

// A turning joint's rotation pivot, scaling offset or scaling pivot moves its
// origin (they lie inside its rotation): a file that keeps one offset for the
// joint says so once, naming the joint and what moves it, as a warning through
// the callback and in the exporter's message, whatever the number of frames;
// files with translation channels or positions hold it and say nothing.
TEST_F(MotionJointWrite, WhatMovesATurningJointIsSaidOnce) {
    for (unsigned feature : {zeqtest::kRotationPivot, zeqtest::kScalingOffset, zeqtest::kScalingPivot}) {
        const std::string said = std::string("\"J1\": ") + zeqtest::FeatureName(feature) + " not held";
        SCOPED_TRACE(said);
        StartAgain();
        MakeChain({feature, 0, true, 3, 2});
        Writers writers(mManager, mDir.Path());
        std::map<std::string, Output> out;
        std::string error;
        ASSERT_TRUE(writers.WriteAll(*mScene, kFrames, kRate, KTime(), out, error)) << error;
        ExpectSaidByTheFilesOfOneOffset(out, said);
    }
}

// A joint below the top whose translation moves, by its keys (X from 0 to 2 over one frame) or by a
// translation layer alone: BVH without translation channels and the AMC without translation degrees
// of freedom keep one offset for it, and say so once, naming it, whatever the number of frames; a
// joint keyed where it stays is not named. The files that hold it say nothing, and BVH with
// translation channels places every joint at every frame.
TEST_F(MotionJointWrite, AMovingTranslationBelowTheTopIsSaidOnce) {
    const std::string said = "\"J1\": animated translation not held";
    for (bool layered : {false, true}) {
        SCOPED_TRACE(layered ? "a translation layer" : "keys");
        StartAgain();
        for (int n = 0; n < 4; ++n) {
            const FileTransformValues v = Standing(n);
            FileTransformValues moved = v;
            if (n == 1 && !layered) moved.t[0] = 2.0;
            Append(v, {{0.0, v}, {0.1, moved}, {2.0, moved}});
            zeqtest::TakeLayering layering;
            if (n == 1 && layered) {
                layering.mLayers = zeqtest::eTranslationLayer;
                layering.mLayerT[0] = {{0.0, 0.0}, {0.1, 2.0}};
                layering.mLayerT[1] = layering.mLayerT[2] = {{0.0, 0.0}};
                zeqtest::AddTakeLayering(*mNodes.back(), kTake, layering);
            }
            mLayerings.push_back(layering);
        }
        UseTake();
        ExpectSaidAndPlaced(said);
    }
}

// Both sides of what the files show: J1's translation trembles by 5e-5 on an offset of 10 (the
// sixth digit the files print, as readers leave curves of capture data) and is not named; J2's
// moves by 0.05 (5 thousandths of its offset) and is, once, by the files of one offset.
TEST_F(MotionJointWrite, TranslationJitterIsNoAnimatedTranslation) {
    for (int n = 0; n < 4; ++n) {
        const FileTransformValues v = Standing(n);
        FileTransformValues moved = v, back = v;
        if (n == 1) moved.t[1] = 10.00005, back.t[0] = -4e-5;
        if (n == 2) moved.t[1] = 10.05;
        Append(v, {{0.0, v}, {0.5, moved}, {1.0, back}, {2.0, v}});
    }
    UseTake();
    Writers writers(mManager, mDir.Path());
    std::map<std::string, Output> out;
    std::string error;
    ASSERT_TRUE(writers.WriteAll(*mScene, kFrames, kRate, KTime(), out, error)) << error;
    ExpectSaidByTheFilesOfOneOffset(out, "\"J2\": animated translation not held");
}

// A joint's offset is measured where its take holds it, whether a channel holds its value by keys or
// without: J1 lies 10 along Y, keyed there or held there with no keys (Y and Z), and its X trembles by
// 5e-4 (5e-5 of that offset): not named either way; J2's X moves by 0.05 and is named either way.
TEST_F(MotionJointWrite, AChannelHeldWithoutKeysSaysWhatItSaysKeyed) {
    for (bool keyed : {true, false}) {
        SCOPED_TRACE(keyed ? "Y and Z keyed" : "Y and Z held without keys");
        StartAgain();
        for (int n = 0; n < 4; ++n) {
            const FileTransformValues v = Standing(n);
            FileTransformValues moved = v;
            if (n == 1) moved.t[0] = 5e-4;
            if (n == 2) moved.t[0] = 0.05;
            Append(v, {{0.0, v}, {0.5, moved}, {1.0, v}, {2.0, v}});
            if (keyed || n != 1) continue;
            KZeqTakeNode* take = mNodes.back()->GetCurrentTakeNode();
            for (KFCurve* held : {take->GetTranslationY(), take->GetTranslationZ()}) held->KeyClear();
            take->GetTranslationY()->SetValue(10.0f);
            take->GetTranslationZ()->SetValue(0.0f);
        }
        UseTake();
        ExpectSaidAndPlaced("\"J2\": animated translation not held");
    }
}

// Capture data read back: the HTR files' joints tremble by at most a few millionths of their
// bones (jab.HTR's head by 2e-5 of 10.9), which BVH and the AMC leave unsaid; run.htr's feet move
// by 0.3 units, which they say.
TEST_F(MotionJointWrite, CaptureJitterIsNotSaidARealMoveIs) {
    ZEQ_MOTION_REQUIRE_TESTDATA(dir, "htr");
    std::string error;
    const std::pair<const char*, std::vector<std::string>> files[] = {{"jab.HTR", {}},
                                                                      {"run.htr", {"LeftFoot", "RightFoot"}}};
    for (const auto& [file, moving] : files) {
        SCOPED_TRACE(file);
        KZeqScene* scene = mManager.CreateKZeqScene();
        ASSERT_TRUE(zeqmotiontest::ImportMotion(mManager, *scene, KZeqImporter::eMOTION_ANALYSIS_HTR,
                                                dir + "/" + file, nullptr, &error));
        KZeqNode* hips = scene->GetRootNode()->FindChild("Hips", true);
        ASSERT_NE(hips, nullptr);
        hips->SetSelected(true);
        Writers writers(mManager, mDir.Path());
        std::map<std::string, Output> out;
        for (const Way& way : Ways()) {
            if (way.mName != std::string("bvh") && way.mName != std::string("asf")) continue;
            ASSERT_TRUE(writers.Write(*scene, way, 60, 30.0, KTime(), out, error)) << error;
        }
        for (const char* way : {"bvh", "amc"}) {
            std::vector<std::string> said;
            for (const std::string& callback : out[way].mCallbacks) {
                const std::size_t end = callback.find("\": animated translation not held");
                if (end != std::string::npos) said.push_back(callback.substr(callback.find('"') + 1, end - callback.find('"') - 1));
            }
            std::sort(said.begin(), said.end());
            EXPECT_EQ(said, moving) << way << ": " << out[way].mMessages;
        }
        mManager.DestroyKZeqScene(scene, true);
    }
}

// J0 scaled (2, 1, 1), J1 one bone below it, J2 one bone below J1 turned 45
// degrees about Z, J3 below J2: J2's axes are sheared (J1's are not: it is
// not turned), which no motion file holds. Each writer of joints and of
// global transforms says so once, naming J2 and J0, whose scaling shears it,
// whatever the number of frames; HTR and the writers of points say nothing.
TEST_F(MotionJointWrite, ShearIsSaidOncePerNodeWithTheScaledNode) {
    for (int n = 0; n < 4; ++n) {
        FileTransformValues v;
        v.t[1] = n == 0 ? 0.0 : 10.0;
        if (n == 0) v.s[0] = 2.0;
        if (n == 2) v.r[2] = 45.0;
        Append(v, {{0.0, v}, {2.0, v}});
    }
    UseTake();
    Writers writers(mManager, mDir.Path());
    std::map<std::string, Output> out;
    std::string error;
    ASSERT_TRUE(writers.WriteAll(*mScene, kFrames, kRate, KTime(), out, error)) << error;
    const std::string said = "\"J2\": shear from the uneven scaling of \"J0\" not held";
    for (const char* way : {"bvh", "bvh-translation", "amc", "vpm", "mov", "brd"}) {
        ASSERT_EQ(out[way].mCallbacks.size(), 1u) << way << ": " << out[way].mMessages;
        EXPECT_EQ(out[way].mCallbacks[0].rfind("Warning: " + said, 0), 0u) << way << ": " << out[way].mCallbacks[0];
        EXPECT_EQ(Count(out[way].mMessages, said), 2) << way << ": " << out[way].mMessages;
    }
    for (const char* way : {"asf", "htr", "trc", "c3d", "aoa", "mcd"})
        EXPECT_TRUE(out[way].mCallbacks.empty() && out[way].mMessages.empty()) << way << ": " << out[way].mMessages;
}

}  // namespace
}  // namespace zeqmotionwriters

// Rotation layers and time warps on nodes that turn in an order other than XYZ, with a
// pre-rotation: the take's local matrix reads the take alike before the reader's bake and after
// it, where the bake keeps the Euler curves continuous and so spells the turn with other angles.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "io/kzeqscenerecords.h"
#include "io/tests/zeqroundtrip.h"
#include "object/kdatatype.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"
#include "scene/tests/kfiletakelayers_scene.h"
#include "scene/tests/kfiletransform_scene.h"

using namespace zeqsdk_400;
using zeqtest::ScalarKeys;

namespace {

const char* const kTake = "Take 001";
constexpr double kFrame = 1.0 / 30;

KTime Sec(double seconds) {
    KTime time;
    time.SetSecondDouble(seconds);
    return time;
}

KFCurveNode* Rotation(KZeqNode& node) { return node.GetCurrentTakeNode()->GetKFCurveNode()->FindRecursive("R"); }

// A node turned in the order ZXY with the pre-rotation, its take keyed linearly with the
// translations and angles given at 0 and 2 s (a single value: held), current.
KZeqNode* TurnedNode(KZeqSdkManager& manager, const char* name, const double (&pre)[3],
                     const std::vector<zeqtest::FileTransformValues>& keys) {
    KZeqNode* node = manager.CreateKZeqNode(name);
    zeqtest::FileTransformValues values = keys.front();
    values.rotationOrder = eEULER_ZXY;
    std::copy(pre, pre + 3, values.preRotation);
    zeqtest::SetFileValues(*node, values);
    std::vector<std::pair<double, zeqtest::FileTransformValues>> keyed;
    for (std::size_t i = 0; i < keys.size(); ++i) keyed.emplace_back(2.0 * static_cast<double>(i), keys[i]);
    zeqtest::KeyFileValues(*node, kTake, keyed);
    return node;
}

// Gives the node's "R" a layer of that id after its last, its X, Y and Z linear keys.
void AddRotationLayer(KZeqNode& node, int id, const ScalarKeys (&keys)[3]) {
    KFCurveNode* r = Rotation(node);
    KFCurveNode* last = r;
    while (last->LayerGet()) last = last->LayerGet();
    KFCurveNode* layer = KFCurveNodeCreate("R", &KDataTypeLclRotation, KFCL_EULER_XYZ, id);
    for (int axis = 0; axis < 3; ++axis) {
        KFCurveNode* channel = KFCurveNodeCreate(axis == 0 ? "X" : axis == 1 ? "Y" : "Z", nullptr, KFCL_NOLAYER, id);
        channel->FCurveSet(zeqtest::LinearCurve(keys[axis]), true);
        layer->Add(channel);
    }
    last->LayerSet(layer, true);
    layer->ObjectLayerSet(r->ObjectLayerGet());
}

// Bakes the node's take as the reader's "merge layers and time warps" option does.
void Bake(KZeqNode& node, double seconds) {
    const KTimeSpan span(Sec(0), Sec(seconds));
    ZeqMergeTakeTree(node.GetCurrentTakeNode()->GetKFCurveNode(), &node, &span);
    node.SetCurrentTakeNode(kTake);  // the cached matrices go
}

double LargestDifference(const KZeqXMatrix& a, const KZeqXMatrix& b) {
    double largest = 0;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 3; ++j) largest = std::max(largest, std::fabs(a.mData[i][j] - b.mData[i][j]));
    return largest;
}

// The times of the frames over [0, seconds]; with between, two times between each two there.
std::vector<double> Frames(double seconds, std::vector<double>* between = nullptr) {
    std::vector<double> frames;
    for (int f = 0; f * kFrame <= seconds + 1e-9; ++f) {
        frames.push_back(f * kFrame);
        if (between && (f + 1) * kFrame <= seconds + 1e-9)
            for (double part : {0.3, 0.7}) between->push_back((f + part) * kFrame);
    }
    return frames;
}

// Turned about X by 90 degrees, then the layers turn first: the first about Y by 90, the second
// about Z by 90, so the take's local matrix is Rz(90) Ry(90) Rx(90) (row vectors, the left one
// first); the full transform turns by the pre-rotation about Z by 90 after it. Both as the bake
// leaves them.
TEST(TakeRotationBakeTest, LayersTurnFirstInTheNodesOrder) {
    KZeqSdkManager manager;
    zeqtest::FileTransformValues values;
    values.t[0] = 1, values.t[1] = 2, values.t[2] = 3;
    values.r[0] = 90;
    KZeqNode* node = TurnedNode(manager, "hand", {0, 0, 90}, {values});
    AddRotationLayer(*node, 1, {{{0, 0}}, {{0, 90}}, {{0, 0}}});
    AddRotationLayer(*node, 2, {{{0, 0}}, {{0, 0}}, {{0, 90}}});
    const double local[4][3] = {{0, 0, 1}, {0, -1, 0}, {1, 0, 0}, {1, 2, 3}};
    const double full[4][3] = {{0, 0, 1}, {1, 0, 0}, {0, 1, 0}, {1, 2, 3}};
    for (bool baked : {false, true}) {
        if (baked) Bake(*node, 1.0);
        for (double seconds : {0.0, 0.5}) {
            const KZeqXMatrix take = node->GetLocalFromCurrentTake(Sec(seconds));
            const KZeqXMatrix whole = node->EvaluateLocalTransform(Sec(seconds));
            for (int i = 0; i < 4; ++i)
                for (int j = 0; j < 3; ++j) {
                    EXPECT_NEAR(local[i][j], take.mData[i][j], 1e-6)
                        << (baked ? "baked" : "as it is") << " at " << seconds << " s, [" << i << "][" << j << "]";
                    EXPECT_NEAR(full[i][j], whole.mData[i][j], 1e-6)
                        << (baked ? "baked" : "as it is") << " at " << seconds << " s, [" << i << "][" << j << "]";
                }
        }
    }
    EXPECT_EQ(nullptr, Rotation(*node)->LayerGet());
}

// The base turns through a quarter turn about its middle axis (X in ZXY) under two layers about
// its first, one keyed, one constant, and the translation moves: where the take's composed angles
// go over to their other spelling, the bake keeps its curves continuous. The take's local matrix
// and the full transform read the same before the bake and after it, at the frames and between
// them (the take is linear there, which the bake plays exactly), within the floats keys hold.
TEST(TakeRotationBakeTest, TheTakesLocalMatrixReadsTheBakedTakeAlike) {
    KZeqSdkManager manager;
    zeqtest::FileTransformValues first, last;
    first.t[0] = -1, last.t[0] = 4;
    first.r[0] = 0, first.r[1] = 20, first.r[2] = -35;
    last.r[0] = 170, last.r[1] = -10, last.r[2] = 50;
    KZeqNode* node = TurnedNode(manager, "turned", {30, -20, 45}, {first, last});
    AddRotationLayer(*node, 1, {{{0, 0}}, {{0, 0}}, {{0, 0}, {2, 40}}});
    AddRotationLayer(*node, 2, {{{0, 0}}, {{0, 0}}, {{0, 25}}});

    std::vector<double> between;
    const std::vector<double> frames = Frames(2.0, &between);
    std::vector<double> times = frames;
    times.insert(times.end(), between.begin(), between.end());
    std::vector<KZeqXMatrix> takeBefore, wholeBefore;
    std::vector<std::vector<double>> spelled;
    for (double seconds : times) {
        takeBefore.push_back(node->GetLocalFromCurrentTake(Sec(seconds)));
        wholeBefore.push_back(node->EvaluateLocalTransform(Sec(seconds)));
    }
    // The angles the take composes at the frames, in the node's order, as the bake reads them.
    KFCurveNode* r = Rotation(*node);
    r->SetRotationOrder(2 * eEULER_ZXY);
    for (double seconds : frames) {
        double values[3];
        int hint = 0;
        r->CandidateEvaluate(values, Sec(seconds), &hint);
        spelled.emplace_back(values, values + 3);
    }
    r->SetRotationOrder(0);

    Bake(*node, 2.0);
    ASSERT_EQ(nullptr, Rotation(*node)->LayerGet());
    // Else nothing here would tell the readings of the angles apart.
    bool respelled = false;
    for (std::size_t f = 0; f < frames.size(); ++f)
        for (int axis = 0; axis < 3; ++axis) {
            const double baked = Rotation(*node)->Get(axis)->FCurveGet()->Evaluate(Sec(frames[f]));
            const double turns = (baked - spelled[f][static_cast<std::size_t>(axis)]) / 360.0;
            respelled = respelled || std::fabs(turns - std::round(turns)) > 0.01;
        }
    ASSERT_TRUE(respelled) << "the bake spells every frame as the take does";

    for (std::size_t i = 0; i < times.size(); ++i) {
        const KTime time = Sec(times[i]);
        EXPECT_LE(LargestDifference(takeBefore[i], node->GetLocalFromCurrentTake(time)), 1e-5)
            << "the take's local matrix at " << times[i] << " s";
        EXPECT_LE(LargestDifference(wholeBefore[i], node->EvaluateLocalTransform(time)), 1e-5)
            << "the full transform at " << times[i] << " s";
    }

    // The local state written back at a frame past the other spelling reads the same: as the
    // default values, and as keys of the same angles.
    const std::size_t at = 45;
    const KTime time = Sec(frames[at]);
    node->SetLocalStateFromCurrentTake(time, false);
    node->SetCurrentTakeFromLocalState(time, false);
    node->SetDefaultTakeFromLocalState(false);
    node->SetCurrentTakeNode(kTake);
    EXPECT_LE(LargestDifference(takeBefore[at], node->GetLocalFromDefaultTake()), 1e-5);
    KZeqTakeNode* held = node->GetDefaultTakeNode();
    const KFCurve* defaults[3] = {held->GetEulerRotationX(), held->GetEulerRotationY(), held->GetEulerRotationZ()};
    for (int axis = 0; axis < 3; ++axis)
        EXPECT_EQ(defaults[axis]->GetValue(), Rotation(*node)->Get(axis)->FCurveGet()->Evaluate(time)) << axis;
}

// The file of the issue: a take of five models in the orders XYZ to ZXY, three with a
// pre-rotation, with rotation layers and warps that step and cycle; read as the file holds it and
// read with the bake, each model's take's local matrix and full transform agree at every frame of
// the take.
TEST(TakeRotationBakeTest, AFileOfLayersAndWarpsReadsAlikeBakedOrNot) {
    const std::string path =
        std::string(ZEQ_FUZZ_CORPUS) + "/plugin_import_fuzz/take_warp_steps_and_cycles_ascii.zeq";
    if (FILE* file = std::fopen(path.c_str(), "rb"))
        std::fclose(file);
    else
        GTEST_SKIP() << "no file " << path;
    KZeqSdkManager manager;
    std::string error;
    KZeqScene* plain = zeqiotest::ReadZeqFileMerging(manager, path, false, &error);
    ASSERT_NE(nullptr, plain) << error;
    KZeqScene* baked = zeqiotest::ReadZeqFileMerging(manager, path, true, &error);
    ASSERT_NE(nullptr, baked) << error;
    const std::vector<double> frames = Frames(2.0);
    for (const char* name : {"n0", "n1", "n2", "n3", "n4"}) {
        KZeqNode* a = plain->GetRootNode()->FindChild(name, true);
        KZeqNode* b = baked->GetRootNode()->FindChild(name, true);
        ASSERT_TRUE(a && b && a->SetCurrentTakeNode(kTake) && b->SetCurrentTakeNode(kTake)) << name;
        for (double seconds : frames) {
            const KTime time = Sec(seconds);
            EXPECT_LE(LargestDifference(a->GetLocalFromCurrentTake(time), b->GetLocalFromCurrentTake(time)), 1e-5)
                << name << ", the take's local matrix at " << seconds << " s";
            EXPECT_LE(LargestDifference(a->EvaluateGlobalTransform(time), b->EvaluateGlobalTransform(time)), 1e-5)
                << name << ", the global transform at " << seconds << " s";
        }
    }
    manager.DestroyKZeqScene(plain, true);
    manager.DestroyKZeqScene(baked, true);
}

}  // namespace

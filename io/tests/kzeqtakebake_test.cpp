// Generated takes (a translation with layers and time warps, under a warp of the whole transform)
// in a scene, written from memory in each Zeq form and read back: as the file holds them they play
// what the scene plays, between the frames and past the keys too; baked on reading, they play the
// take at its frames, and between the baked keys as the bake promises.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "content/kzeqnull.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "fcurve/tests/generated_takes.h"
#include "fileio/tests/fileio_test_support.h"
#include "io/tests/zeqroundtrip.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"
#include "scene/kzeqtakenode.h"
#include "scene/tests/kfiletakemodel_scene.h"

using namespace zeqsdk_400;
using namespace zeqiotest;
using generatedtakes::At;

namespace {

const char* const kTake = "Take 001";
constexpr kLongLong kFrameTicks = KTime::kTicksPerSecond / 30;
using Values = std::vector<double>;

KTime Frame(int frame) { return KTime(frame * kFrameTicks); }

Values TakeAt(const generatedtakes::Take& take, KTime time) {
    return generatedtakes::TakeAt(take, *take.mVector, time);
}

// What a null model of a scene plays at a time of its current take: its translation (it neither
// turns nor scales).
Values Played(KZeqNode& node, KTime time) {
    const KZeqXMatrix m = node.EvaluateGlobalTransform(time);
    return {m.mData[3][0], m.mData[3][1], m.mData[3][2]};
}

// Gives the vector's axis channels one warp together (the X's or a new one) and the vector none,
// under a warp of the transform (the take's or a new one): an arrangement no file holds, which the
// writer bakes into the channels, in the vector's time, under the transform's warp that stays.
void ShareAxisWarp(generatedtakes::Take& take, unsigned seed) {
    generatedtakes::Maker maker(seed + 7919);
    KFCurveNode* shared = take.mVector->Get(0)->TimeWarpGet();
    if (!shared) shared = maker.Warp(take.mSeconds);
    for (int c = 0; c < 3; ++c) take.mVector->Get(c)->TimeWarpSet(shared);
    take.mVector->TimeWarpSet(nullptr);
    if (!take.mAbove) take.mAbove = maker.Warp(take.mSeconds);
    for (auto& holder : maker.mHolders) take.mHolders.push_back(std::move(holder));
}

// Whether the writer must bake the vector's channels: they hold one warp, the vector none.
bool ChannelsShareAWarp(const KFCurveNode& vector) {
    return !vector.TimeWarpGet() && vector.Get(0)->TimeWarpGet() != nullptr;
}

// A null model "A" of a new scene whose take is the generated one: the vector "T" of its
// "Transform", with the warp above on the "Transform"; the take's span [0, its seconds].
KZeqNode* PlaceTake(KZeqSdkManager& manager, KZeqScene& scene, const generatedtakes::Take& take) {
    scene.CreateTake(kTake);
    KZeqNode* node = manager.CreateKZeqNode("A");
    node->SetNodeAttribute(manager.CreateKZeqNull());
    scene.GetRootNode()->AddChild(node);
    node->CreateTakeNode(kTake);
    node->SetCurrentTakeNode(kTake);
    KZeqTakeInfo info;
    info.mName = kTake;
    info.mLocalTimeSpan = info.mReferenceTimeSpan = KTimeSpan(KTime(0), At(take.mSeconds));
    scene.SetTakeInfo(info);
    KFCurveNode* transform = node->GetCurrentTakeNode()->GetKFCurveNode()->FindRecursive("Transform");
    KFCurveNode* t = transform->FindRecursive("T");
    const KFCurveNode& from = *take.mVector;
    for (int c = 0; c < 3; ++c) {
        KFCurve* curve = KFCurveCreate();
        curve->CopyFrom(*from.Get(c)->FCurveGet(), true);
        t->Get(c)->FCurveSet(curve, true);
        t->Get(c)->TimeWarpSet(from.Get(c)->TimeWarpGet());
    }
    t->TimeWarpSet(from.TimeWarpGet());
    if (from.LayerGet()) t->LayerSet(KFCurveNodeCopyWhole(*from.LayerGet()), true);
    transform->TimeWarpSet(take.mAbove);
    return node;
}

// The read take's model "A", on the take.
KZeqNode* ReadModel(KZeqScene* scene) {
    KZeqNode* node = scene ? scene->GetRootNode()->FindChild("A") : nullptr;
    return node && node->SetCurrentTakeNode(kTake) ? node : nullptr;
}

// The times of the keys of the channels of a read model's "T", in seconds.
std::vector<double> KeyTimes(KZeqNode& node) {
    std::vector<double> times;
    const KFCurveNode* t = node.GetCurrentTakeNode()->GetKFCurveNode()->FindRecursive("T");
    for (int c = 0; c < t->GetCount(); ++c)
        if (const KFCurve* curve = t->Get(c)->FCurveGet())
            for (int k = 0; k < curve->KeyGetCount(); ++k)
                times.push_back(curve->KeyGetPtr(k)->GetTime().GetSecondDouble());
    return times;
}

// The times of the take within [0, seconds] at which a warp reaches each of times (every one,
// where it runs back or holds): found on a fine grid, then by halving.
std::vector<double> TakeTimesOf(KFCurveNode* warp, std::vector<double> times, double seconds) {
    if (!warp) return times;
    std::sort(times.begin(), times.end());
    const auto w = [warp](double s) { return KFCurveNodeWarpTime(warp, At(s)).GetSecondDouble(); };
    std::vector<double> found;
    constexpr int kSteps = 3000;
    double a = 0, wa = w(0);
    for (int i = 1; i <= kSteps; ++i) {
        const double b = seconds * i / kSteps, wb = w(b);
        for (auto u = std::lower_bound(times.begin(), times.end(), std::min(wa, wb));
             u != times.end() && *u <= std::max(wa, wb); ++u) {
            double lo = a, hi = b;
            const bool rising = wb >= wa;
            for (int k = 0; k < 50; ++k) {
                const double mid = (lo + hi) / 2;
                ((w(mid) < *u) == rising ? lo : hi) = mid;
            }
            found.push_back(hi);
        }
        a = b, wa = wb;
    }
    return found;
}

// The largest difference between what a read model and the take play at the times, beyond the
// rounding of the floats keys hold, as a part of size; where, the time of it.
double LargestDifference(const generatedtakes::Take& take, KZeqNode& read, const std::vector<KTime>& times,
                         double size, double* where) {
    double largest = 0;
    for (KTime time : times) {
        const Values want = TakeAt(take, time), got = Played(read, time);
        for (int c = 0; c < 3; ++c) {
            const double d = std::max(0.0, std::fabs(want[c] - got[c]) - 1e-6 * std::fabs(want[c])) / size;
            if (d > largest) largest = d, *where = time.GetSecondDouble();
        }
    }
    return largest;
}

std::vector<KTime> Frames(double seconds) {
    std::vector<KTime> frames;
    for (int f = 0; f <= static_cast<int>(seconds * 30); ++f) frames.push_back(Frame(f));
    return frames;
}

// A read model against the take between the frames and the baked keys (where the warp of its
// "Transform" reaches them), within the take's span.
generatedtakes::Measure BetweenFrames(const generatedtakes::Take& take, KZeqNode& read) {
    KFCurveNode* transform = read.GetCurrentTakeNode()->GetKFCurveNode()->FindRecursive("Transform");
    std::vector<double> keys = TakeTimesOf(transform->TimeWarpGet(), KeyTimes(read), take.mSeconds);
    for (KTime frame : Frames(take.mSeconds)) keys.push_back(frame.GetSecondDouble());
    return generatedtakes::Compare([&read](double s) { return Played(read, At(s)); },
                                   [&take](double s) { return TakeAt(take, At(s)); }, keys, take.mSeconds);
}

// Takes written from memory in the test's form and read back, with the bake and without.
class TakeFilesTest : public ::testing::TestWithParam<ZeqFileCase> {
protected:
    struct Files {
        KZeqNode* mScene = nullptr;      // the take's model in its scene
        KZeqNode* mAsWritten = nullptr;  // read without the bake
        KZeqNode* mBaked = nullptr;      // read with it
        std::string mMessage;            // of the write
    };

    // Null models on failure, which the test reports.
    Files WriteAndRead(const generatedtakes::Take& take) {
        Files files;
        KZeqScene* scene = Keep(mManager.CreateKZeqScene());
        files.mScene = PlaceTake(mManager, *scene, take);
        const std::string path = mDir / "take.zeq";
        std::string error;
        if (!WriteZeqFile(mManager, *scene, GetParam(), path, "", &error, &files.mMessage)) {
            ADD_FAILURE() << "not written: " << error;
            return files;
        }
        files.mAsWritten = ReadModel(Keep(ReadZeqFileMerging(mManager, path, false, &error)));
        files.mBaked = ReadModel(Keep(ReadZeqFileMerging(mManager, path, true, &error)));
        if (!files.mAsWritten || !files.mBaked) ADD_FAILURE() << "not read: " << error;
        return files;
    }

    // Ends the scenes of the takes written so far.
    void DestroyScenes() {
        for (KZeqScene* scene : mScenes) mManager.DestroyKZeqScene(scene, true);
        mScenes.clear();
    }
    ~TakeFilesTest() override { DestroyScenes(); }

    zeqtest::TempDir mDir;
    KZeqSdkManager mManager;

private:
    KZeqScene* Keep(KZeqScene* scene) {
        if (scene) mScenes.push_back(scene);
        return scene;
    }
    std::vector<KZeqScene*> mScenes;
};

// Over generated takes, every third with its vector's channels sharing a warp under the
// transform's: read as the file holds them (layers and warps), they play what the scene plays
// wherever it is asked, past the take too, within a float's rounding; where the writer baked
// channels, exactly at every frame and between them within what the bake promises. Baked on
// reading, they play the take exactly at every frame, and between the baked keys and past the
// take's keys, up to its end, as the bake promises: most within a thousandth of the take's size,
// all within a fortieth, and never a hundredth of it outside what the take spans between two
// baked keys.
TEST_P(TakeFilesTest, GeneratedTakesPlayAsTheScenesTheyCameFrom) {
    constexpr unsigned kSeeds = 45;
    unsigned bakedByWriter = 0, close = 0;
    for (unsigned seed = 0; seed < kSeeds; ++seed) {
        SCOPED_TRACE("take " + std::to_string(seed));
        DestroyScenes();
        generatedtakes::Take take = generatedtakes::MakeTake(seed);
        if (seed % 3 == 2) ShareAxisWarp(take, seed);
        const Files files = WriteAndRead(take);
        ASSERT_TRUE(files.mAsWritten && files.mBaked);
        std::vector<KTime> times;
        for (int k = 0; k <= 720; ++k) times.push_back(At(take.mSeconds * k / 600 + 1.3e-4 * (k % 7)));
        double where = 0;
        ASSERT_EQ(0.0, LargestDifference(take, *files.mScene, times, 1.0, &where)) << "the scene at " << where << " s";

        EXPECT_FALSE(zeqtest::HoldsLayerOrWarp(*files.mBaked->GetCurrentTakeNode()->GetKFCurveNode()));
        const generatedtakes::Measure baked = generatedtakes::Compare(
            [&](double s) { return Played(*files.mBaked, At(s)); }, [&](double s) { return TakeAt(take, At(s)); },
            KeyTimes(*files.mBaked), take.mSeconds);
        close += baked.mError <= 1e-3;
        EXPECT_LE(baked.mError, 0.025) << "baked on reading";
        EXPECT_LE(baked.mOutside, 0.01) << "baked on reading";

        const double size = std::max(baked.mSize, 1e-2);
        EXPECT_LE(LargestDifference(take, *files.mBaked, Frames(take.mSeconds), size, &where), 1e-4)
            << "baked on reading, at the frame of " << where << " s";
        const bool bakedByTheWriter = ChannelsShareAWarp(*take.mVector);
        bakedByWriter += bakedByTheWriter;
        EXPECT_EQ(bakedByTheWriter, !files.mMessage.empty()) << files.mMessage;
        if (!bakedByTheWriter) {
            EXPECT_LE(LargestDifference(take, *files.mAsWritten, times, size, &where), 1e-5)
                << "as written, at " << where << " s";
            continue;
        }
        EXPECT_LE(LargestDifference(take, *files.mAsWritten, Frames(take.mSeconds), size, &where), 1e-4)
            << "as written (baked by the writer), at the frame of " << where << " s";
        const generatedtakes::Measure between = BetweenFrames(take, *files.mAsWritten);
        EXPECT_LE(between.mError, 0.025) << "as written (baked by the writer)";
        EXPECT_LE(between.mOutside, 0.01) << "as written (baked by the writer)";
    }
    EXPECT_GE(bakedByWriter, kSeeds / 3);
    EXPECT_GE(close, kSeeds * 95 / 100);
}

// Keys (seconds, value, interpolation; cubic keys with automatic tangents).
struct KeyAt {
    double mSeconds;
    float mValue;
    unsigned int mInterpolation;
};

void KeyCurve(KFCurve& curve, std::initializer_list<KeyAt> keys) {
    for (const KeyAt& at : keys) {
        KFCurveKey key{};
        key.Set(KTime(), at.mValue, at.mInterpolation,
                at.mInterpolation == KFCURVE_INTERPOLATION_CUBIC ? KFCURVE_TANGEANT_AUTO : KFCURVE_TANGEANT_USER, 0, 0,
                KFCURVE_WEIGHTED_NONE, KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0, 0);
        curve.KeyAdd(At(at.mSeconds), key);
    }
}

// A warp of those keys, held by the take.
KFCurveNode* TakeWarp(generatedtakes::Take& take, std::initializer_list<KeyAt> keys) {
    take.mHolders.emplace_back(KFCurveNodeCreate("Holder"));
    KFCurveNode* warp = KFCurveNodeCreate("W", static_cast<KDataType*>(nullptr));
    warp->FCurveSet(KFCurveCreate(), true);
    KeyCurve(*warp->FCurveGet(), keys);
    take.mHolders.back()->TimeWarpSet(warp);
    return warp;
}

// X, Y and Z share a warp that runs fast, then back, and keeps running back past its keys, under
// the transform's, which runs faster, so that the take reads the channels past its span: what no
// file holds, so the writer bakes the channels in the vector's time, sampled where the
// transform's warp takes the take's frames. Z turns in a close pair of keys off the grid. Read as
// written, the file plays the scene at every frame, and between the frames within a thousandth of
// its size.
TEST_P(TakeFilesTest, ChannelsSharingAWarpUnderTheTransformsPlayTheSceneAtEveryFrameAndBetween) {
    constexpr unsigned int kCubic = KFCURVE_INTERPOLATION_CUBIC, kLinear = KFCURVE_INTERPOLATION_LINEAR;
    generatedtakes::Take take;
    take.mSeconds = 2.5;
    take.mVector.reset(KFCurveNodeCreate("T", &KDataTypeLclTranslation, KFCL_ADD, 0));
    const std::initializer_list<KeyAt> keys[3] = {{{0, 0, kCubic}, {0.7, 6, kCubic}, {1.5, -2, kCubic}},
                                                  {{0.2, 1, kLinear}, {1.1, -3, kLinear}, {1.9, 2, kLinear}},
                                                  {{0.35, -2, kLinear}, {0.8, 1.5, kLinear}, {0.8001, 1.6f, kLinear},
                                                   {1.45, -1, kLinear}}};
    KFCurveNode* shared = TakeWarp(take, {{0, 0, kCubic}, {1.0, 1.4f, kCubic}, {2.5, 0.6f, kLinear}});
    shared->FCurveGet()->SetPostExtrapolation(KFCURVE_EXTRAPOLATION_KEEP_SLOPE);
    shared->FCurveGet()->SetPostExtrapolationCount(0xFFFFFFFFu);
    for (int c = 0; c < 3; ++c) {
        KFCurveNode* channel = KFCurveNodeCreate(c == 0 ? "X" : c == 1 ? "Y" : "Z", static_cast<KDataType*>(nullptr),
                                                 KFCL_NOLAYER, 0);
        channel->FCurveSet(KFCurveCreate(), true);
        KeyCurve(*channel->FCurveGet(), keys[c]);
        channel->TimeWarpSet(shared);
        take.mVector->Add(channel);
    }
    take.mAbove = TakeWarp(take, {{0, 0, kLinear}, {2.5, 3.3f, kLinear}});
    const Files files = WriteAndRead(take);
    ASSERT_TRUE(files.mAsWritten);
    EXPECT_FALSE(files.mMessage.empty());
    const generatedtakes::Measure between = BetweenFrames(take, *files.mAsWritten);
    for (KTime frame : Frames(take.mSeconds)) {
        const Values want = TakeAt(take, frame), got = Played(*files.mAsWritten, frame);
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(want[c], got[c], 1e-4 * between.mSize) << "XYZ"[c] << " at frame " << frame.Get() / kFrameTicks;
    }
    EXPECT_LE(between.mError, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(Forms, TakeFilesTest, ::testing::ValuesIn(kZeqFileCases), ZeqFileCaseName);

}  // namespace

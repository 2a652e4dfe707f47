// Generated takes (a translation with layers and time warps, under a warp of the whole transform or
// of the take's whole tree) in a scene, written from memory in each Zeq form and read back: as the
// file holds them they play what the scene plays, between the frames and past the keys too; where
// the writer baked them, and baked on reading, they play the take (worked out from its keys apart
// from the SDK's evaluation) at its frames, and between them and past the keys as the bake promises.
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

// What a null model of a scene plays at a time of its current take: its translation (it neither
// turns nor scales).
Values Played(KZeqNode& node, KTime time) {
    const KZeqXMatrix m = node.EvaluateGlobalTransform(time);
    return {m.mData[3][0], m.mData[3][1], m.mData[3][2]};
}

// Gives the vector's axis channels one warp together and the vector none: an arrangement no file
// holds, which the writer bakes into the channels, in the vector's time. Under the transform's warp
// (the take's or a new one) the X's warp or a new one; with no warp above, one that runs on past its
// keys (keeping its slope, repeating, mirroring), so that only the take's span says how far the
// writer's bake must go.
void ShareAxisWarp(generatedtakes::Take& take, unsigned seed, bool above) {
    using Maker = generatedtakes::Maker;
    Maker maker(seed + 7919);
    KFCurveNode* shared = above ? take.mVector->Get(0)->TimeWarpGet() : nullptr;
    const int pastItsKeys[3] = {Maker::kEndingEarly, Maker::kRepeating, Maker::kMirroring};
    if (!shared) shared = maker.Warp(take.mSeconds, above ? Maker::kWarpKinds : pastItsKeys[seed / 6 % 3]);
    for (int c = 0; c < 3; ++c) take.mVector->Get(c)->TimeWarpSet(shared);
    take.mVector->TimeWarpSet(nullptr);
    if (!above) take.mAbove = nullptr;
    if (above && !take.mAbove) take.mAbove = maker.Warp(take.mSeconds);
    for (auto& holder : maker.mHolders) take.mHolders.push_back(std::move(holder));
}

// Where the take's warp above goes: on the "Transform", or on the take's whole tree, which no file
// holds, so that the writer bakes the tree under it.
enum class Above { kTransform, kTree };

// The take under a warp of its whole tree (the take's, or a new one).
Above WarpTheTree(generatedtakes::Take& take, unsigned seed) {
    generatedtakes::Maker maker(seed + 7919);
    if (!take.mAbove) take.mAbove = maker.Warp(take.mSeconds);
    for (auto& holder : maker.mHolders) take.mHolders.push_back(std::move(holder));
    return Above::kTree;
}

// Whether the writer must bake the vector's channels: they hold one warp, the vector none.
bool ChannelsShareAWarp(const KFCurveNode& vector) {
    return !vector.TimeWarpGet() && vector.Get(0)->TimeWarpGet() != nullptr;
}

// A null model "A" of a new scene whose take is the generated one: the vector "T" of its
// "Transform", with the warp above where said; the take's span [0, its seconds].
KZeqNode* PlaceTake(KZeqSdkManager& manager, KZeqScene& scene, const generatedtakes::Take& take, Above above) {
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
    (above == Above::kTree ? node->GetCurrentTakeNode()->GetKFCurveNode() : transform)->TimeWarpSet(take.mAbove);
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

// The largest difference between what a read model plays and what it should (want) at the times,
// beyond the rounding of the floats keys hold, as a part of size; where, the time of it.
template <class Want>
double LargestDifference(Want want, KZeqNode& read, const std::vector<KTime>& times, double size, double* where) {
    double largest = 0;
    for (KTime time : times) {
        const Values wanted = want(time), got = Played(read, time);
        for (int c = 0; c < 3; ++c) {
            const double d = std::max(0.0, std::fabs(wanted[c] - got[c]) - 1e-6 * std::fabs(wanted[c])) / size;
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
generatedtakes::Measure BetweenFrames(const takereference::Take& reference, double seconds, KZeqNode& read) {
    KFCurveNode* transform = read.GetCurrentTakeNode()->GetKFCurveNode()->FindRecursive("Transform");
    std::vector<double> keys = TakeTimesOf(transform->TimeWarpGet(), KeyTimes(read), seconds);
    for (KTime frame : Frames(seconds)) keys.push_back(frame.GetSecondDouble());
    return generatedtakes::Compare([&read](double s) { return Played(read, At(s)); },
                                   [&reference](double s) { return reference.At(s); }, keys, seconds);
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
    Files WriteAndRead(const generatedtakes::Take& take, Above above = Above::kTransform) {
        Files files;
        KZeqScene* scene = Keep(mManager.CreateKZeqScene());
        files.mScene = PlaceTake(mManager, *scene, take, above);
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

// Over generated takes, every third with its vector's channels sharing a warp (under the
// transform's, or with no warp above them) and every sixth under a warp of the take's whole tree,
// which the writer bakes: read as the file holds them (layers and warps), they play what the scene
// plays wherever it is asked, past the take too, within a float's rounding; where the writer baked
// them, the take exactly at every frame, and between the frames and past the keys, up to the take's
// end, as the bake promises. Baked on reading, they play the take exactly at every frame, and
// between the baked keys and past the take's keys as the bake promises: each within a hundredth of
// the take's size, nearly all within a thousandth, never a thousandth outside what the take spans
// between two baked keys, and stepping where the take steps. Takes with nothing to bake are not
// counted.
TEST_P(TakeFilesTest, GeneratedTakesPlayAsTheScenesTheyCameFrom) {
    const unsigned kSeeds = generatedtakes::kSanitized ? 15 : 45;
    unsigned bakedByWriter = 0, sharedWithoutAbove = 0, wholeTree = 0;
    generatedtakes::Figures onReading, byWriter;
    for (unsigned seed = 0; seed < kSeeds; ++seed) {
        SCOPED_TRACE("take " + std::to_string(seed));
        DestroyScenes();
        generatedtakes::Take take = generatedtakes::MakeTake(seed);
        if (seed % 3 == 2) ShareAxisWarp(take, seed, seed % 6 == 2);
        const Above above = seed % 6 == 1 ? WarpTheTree(take, seed) : Above::kTransform;
        const takereference::Take reference = generatedtakes::Reference(take);
        ASSERT_TRUE(reference.Readable());
        const Files files = WriteAndRead(take, above);
        ASSERT_TRUE(files.mAsWritten && files.mBaked);
        std::vector<KTime> times;
        for (int k = 0; k <= 720; ++k) times.push_back(At(take.mSeconds * k / 600 + 1.3e-4 * (k % 7)));
        const auto sdk = [&take](KTime t) { return generatedtakes::SdkEvaluation(take, t); };
        const auto scene = [&files](KTime t) { return Played(*files.mScene, t); };
        const auto played = [&reference](KTime t) { return reference.At(t); };
        double where = 0;
        ASSERT_EQ(0.0, LargestDifference(sdk, *files.mScene, times, 1.0, &where)) << "the scene at " << where << " s";

        EXPECT_FALSE(zeqtest::HoldsLayerOrWarp(*files.mBaked->GetCurrentTakeNode()->GetKFCurveNode()));
        const bool somethingToBake = generatedtakes::HasSomethingToBake(take);
        const generatedtakes::Measure baked = generatedtakes::Compare(
            [&](double s) { return Played(*files.mBaked, At(s)); }, [&](double s) { return reference.At(s); },
            KeyTimes(*files.mBaked), take.mSeconds);
        if (somethingToBake) onReading.Add(baked, "take " + std::to_string(seed) + " baked on reading");

        const double size = std::max(baked.mSize, 1e-2);
        EXPECT_LE(LargestDifference(played, *files.mBaked, Frames(take.mSeconds), size, &where), 1e-4)
            << "baked on reading, at the frame of " << where << " s";
        const bool bakedByTheWriter = ChannelsShareAWarp(*take.mVector) || above == Above::kTree;
        bakedByWriter += bakedByTheWriter;
        sharedWithoutAbove += ChannelsShareAWarp(*take.mVector) && !take.mAbove;
        wholeTree += above == Above::kTree;
        EXPECT_EQ(bakedByTheWriter, !files.mMessage.empty()) << files.mMessage;
        if (!bakedByTheWriter) {
            EXPECT_LE(LargestDifference(scene, *files.mAsWritten, times, size, &where), 1e-5)
                << "as written, at " << where << " s";
            continue;
        }
        EXPECT_LE(LargestDifference(played, *files.mAsWritten, Frames(take.mSeconds), size, &where), 1e-4)
            << "as written (baked by the writer), at the frame of " << where << " s";
        byWriter.Add(BetweenFrames(reference, take.mSeconds, *files.mAsWritten),
                     "take " + std::to_string(seed) + " as written (baked by the writer)");
    }
    EXPECT_GE(bakedByWriter, kSeeds / 3);
    EXPECT_GE(sharedWithoutAbove, kSeeds / 9);
    EXPECT_GE(wholeTree, kSeeds / 6);
    onReading.Expect();
    byWriter.Expect();
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
    const takereference::Take reference = generatedtakes::Reference(take);
    const Files files = WriteAndRead(take);
    ASSERT_TRUE(files.mAsWritten);
    EXPECT_FALSE(files.mMessage.empty());
    const generatedtakes::Measure between = BetweenFrames(reference, take.mSeconds, *files.mAsWritten);
    for (KTime frame : Frames(take.mSeconds)) {
        const Values want = reference.At(frame), got = Played(*files.mAsWritten, frame);
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(want[c], got[c], 1e-4 * between.mSize) << "XYZ"[c] << " at frame " << frame.Get() / kFrameTicks;
    }
    EXPECT_LE(between.mError, 1e-3);
}

// The transform's warp holds before its first key (0.2 s) at a float's 0.2 s, a few ticks past
// 0.2 s, then runs on; below it a warp steps there, a constant key of the next value at 0.2 s
// (after a key at 0 s, or first): the take reads the channels past the step for its first frames
// (X 15, not the 2 of 0.2 s). Where X, Y and Z share that warp, which the writer bakes into them,
// and where the vector holds it, as a file does, the file plays the take exactly at every frame,
// as written and baked on reading.
TEST_P(TakeFilesTest, AWarpSteppingWhereTheTransformsHoldsPlaysTheTakeAtEveryFrame) {
    constexpr unsigned int kLinear = KFCURVE_INTERPOLATION_LINEAR;
    const std::initializer_list<KeyAt> keys[3] = {
        {{0, 0, kLinear}, {2, 20, kLinear}}, {{0, 5, kLinear}, {2, -15, kLinear}}, {{0, 1, kLinear}, {2, 4, kLinear}}};
    for (const bool keyBefore : {true, false}) {
        for (const bool channels : {true, false}) {
            SCOPED_TRACE(std::string(keyBefore ? "a key before the step" : "the step first") +
                         (channels ? ", the channels' warp" : ", the vector's warp"));
            DestroyScenes();
            generatedtakes::Take take;
            take.mSeconds = 1;
            take.mVector.reset(KFCurveNodeCreate("T", &KDataTypeLclTranslation, KFCL_ADD, 0));
            KFCurveNode* warp = keyBefore ? TakeWarp(take, {{0, 0, kLinear},
                                                            {0.2, 0.2f, KFCURVE_INTERPOLATION_CONSTANT},
                                                            {1.5, 1.5f, kLinear}})
                                          : TakeWarp(take, {{0.2, 0.2f, KFCURVE_INTERPOLATION_CONSTANT},
                                                            {1.5, 1.5f, kLinear}});
            KFCurve& steps = *warp->FCurveGet();
            steps.KeyModifyBegin();
            steps.KeyGetPtr(keyBefore ? 1 : 0)->SetConstantMode(KFCURVE_CONSTANT_NEXT);
            steps.KeyModifyEnd();
            for (int c = 0; c < 3; ++c) {
                KFCurveNode* channel = KFCurveNodeCreate(c == 0 ? "X" : c == 1 ? "Y" : "Z",
                                                         static_cast<KDataType*>(nullptr), KFCL_NOLAYER, 0);
                channel->FCurveSet(KFCurveCreate(), true);
                KeyCurve(*channel->FCurveGet(), keys[c]);
                if (channels) channel->TimeWarpSet(warp);
                take.mVector->Add(channel);
            }
            if (!channels) take.mVector->TimeWarpSet(warp);
            take.mAbove = TakeWarp(take, {{0.2, 0.2f, kLinear}, {1, 1, kLinear}});
            const takereference::Take reference = generatedtakes::Reference(take);
            ASSERT_EQ(reference.At(Frame(0))[0], 15.0);
            const Files files = WriteAndRead(take);
            ASSERT_TRUE(files.mAsWritten && files.mBaked);
            EXPECT_EQ(channels, !files.mMessage.empty()) << files.mMessage;
            for (KTime frame : Frames(take.mSeconds)) {
                const Values want = reference.At(frame), written = Played(*files.mAsWritten, frame),
                             baked = Played(*files.mBaked, frame);
                const kLongLong f = frame.Get() / kFrameTicks;
                for (int c = 0; c < 3; ++c) {
                    EXPECT_NEAR(want[c], written[c], 1e-5) << "XYZ"[c] << " as written, frame " << f;
                    EXPECT_NEAR(want[c], baked[c], 1e-5) << "XYZ"[c] << " baked on reading, frame " << f;
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, TakeFilesTest, ::testing::ValuesIn(kZeqFileCases), ZeqFileCaseName);

}  // namespace

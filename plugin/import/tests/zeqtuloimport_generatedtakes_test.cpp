// Takes made at random (generatedtakes::MakeTake: keys on and off the grid, close pairs, steps,
// repeating, mirroring and slope-keeping extrapolation before and after the keys, warps running
// fast, late, back, holding, jumping, repeating or of one key, layers, some constant, some
// cancelling their base) on a null, written by the SDK as a Zeq file and imported into the host at
// 24, 30 and 60 frames a second. The import bakes the take into plain curves with explicit
// tangents: the host's translation curves play the take (worked out from its keys apart from the
// SDK's evaluation) between the bake's samples and past the keys up to the take's end, hold where
// it holds and step where it steps. Takes of keys alone, automatic keys beside constant keys taking
// the next key's value and user-break keys before a last key that is not cubic, come in key for key
// and play the take in the host and through the export; given tangents of every kind in the host,
// they go out key for key as the host plays them.
#include "importtest_support.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <initializer_list>
#include <string>
#include <tuple>
#include <vector>

#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "fcurve/tests/fcurvenode_test_support.h"
#include "fcurve/tests/generated_takes.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"
#include "scene/kzeqtakenode.h"
#include "tulo.h"

using namespace zeqsdk_400;
using generatedtakes::Take;

namespace {

const unsigned kSeeds = generatedtakes::kSanitized ? 10 : 25;

struct Rate {
    const char* mName;
    int mUnit;  // the host's time unit
};
void PrintTo(const Rate& rate, std::ostream* out) { *out << rate.mName; }
const Rate kRates[] = {{"Film24", TTime::kFilm}, {"Ntsc30", TTime::kNTSCFrame}, {"Field60", TTime::kNTSCField}};

// A null "N" whose take "Take 001" over [0, the take's seconds] holds the take's translation (its
// curves, layer and warps) under "Transform", which carries the warp above; written by the SDK
// (which writes a warp of X alone, which no file holds there, baked into X).
void WriteTake(const std::string& path, Take& take) {
    std::string error;
    const bool written = importtest::WriteScene(
        path,
        [&take](KZeqSdkManager& manager, KZeqScene& scene) {
            KZeqNode* node = importtest::AddNode(manager, scene.GetRootNode(), "N");
            KZeqTakeNode* takeNode = node->CreateTakeNode("Take 001");
            node->SetCurrentTakeNode("Take 001");
            KFCurveNode* root = takeNode->GetKFCurveNode();
            root->FindRecursive("Transform")->TimeWarpSet(take.mAbove);
            KFCurveNode* t = root->FindRecursive("T");
            KFCurveNode& from = *take.mVector;
            for (int a = 0; a < 3; ++a) {
                KFCurve* curve = KFCurveCreate();
                curve->CopyFrom(*from.Get(a)->FCurveGet());
                t->Get(a)->FCurveSet(curve, true);
                t->Get(a)->TimeWarpSet(from.Get(a)->TimeWarpGet());
            }
            t->TimeWarpSet(from.TimeWarpGet());
            if (from.LayerGet()) {
                KFCurveNode* layer = KFCurveNodeCopyWhole(*from.LayerGet());
                t->LayerSet(layer, true);
                layer->ObjectLayerSet(t->ObjectLayerGet());
            }
            KZeqTakeInfo info;
            info.mName = "Take 001";
            info.mLocalTimeSpan.Set(KTime(0), generatedtakes::At(take.mSeconds));
            scene.SetTakeInfo(info);
        },
        false, &error);
    ASSERT_TRUE(written) << error;
}

// What a take holds, for the messages of a failure.
std::string Kinds(const Take& take) {
    std::string kinds;
    if (take.mAbove) kinds += " warp above;";
    if (take.mVector->TimeWarpGet()) kinds += " warp on the vector;";
    if (take.mVector->Get(0)->TimeWarpGet()) kinds += " warp on X;";
    if (take.mVector->LayerGet()) kinds += " layer;";
    return kinds;
}

// The host's translation of "N": its curves (their keys' times), or its values where a channel
// has none.
class HostTranslation {
public:
    HostTranslation() {
        static const char* const kPlugs[3] = {"N.translateX", "N.translateY", "N.translateZ"};
        for (int a = 0; a < 3; ++a) {
            TPlug plug = standin::plug(kPlugs[a]);
            TStatus status;
            mCurves[a] = TFnAnimCurve(plug, &status);
            mAnimated[a] = static_cast<bool>(status);
            if (!mAnimated[a]) plug.getValue(mStatic[a]);
            for (unsigned k = 0; mAnimated[a] && k < mCurves[a].numKeys(); ++k)
                mKeys.push_back(mCurves[a].time(k).as(TTime::kSeconds));
        }
    }
    std::vector<double> At(double seconds) const {
        std::vector<double> values(3);
        for (int a = 0; a < 3; ++a)
            values[static_cast<std::size_t>(a)] =
                mAnimated[a] ? mCurves[a].evaluate(TTime(seconds, TTime::kSeconds)) : mStatic[a];
        return values;
    }
    double At(double seconds, int axis) const { return At(seconds)[static_cast<std::size_t>(axis)]; }
    const std::vector<double>& Keys() const { return mKeys; }

private:
    TFnAnimCurve mCurves[3];
    bool mAnimated[3] = {false, false, false};
    double mStatic[3] = {0, 0, 0};
    std::vector<double> mKeys;
};

class GeneratedTakeImportTest : public ImportModeTest, public ::testing::WithParamInterface<Rate> {
protected:
    void SetUp() override {
        ImportModeTest::SetUp();
        standin::setUnits(TDistance::kCentimeters, TAngle::kDegrees, GetParam().mUnit);
    }
    // The take written and imported into a new scene; false with a failure said.
    bool Import(Take& take) {
        const std::string path = mDirectory + "take.zeq";
        WriteTake(path, take);
        if (::testing::Test::HasFatalFailure()) return false;
        const bool imported = Run("file -f -new") && ImportAtZero(path) && !importtest::HostPath("N").empty();
        EXPECT_TRUE(imported) << Log();
        return imported;
    }
    using Check = std::function<void(const Take&, const takereference::Take& reference, const HostTranslation&,
                                     const std::string&)>;
    // Each of kSeeds generated takes the import bakes (a take of neither layer nor warp comes in as
    // it is, its automatic tangents the host's own smooth ones; so does one whose only warp is
    // X's, which the writer bakes into X alone), imported: the check given the take, what it
    // plays, the host's translation and a name for messages.
    void ForEachBakedTake(const Check& check) {
        unsigned done = 0;
        for (unsigned seed = 0; done < kSeeds; ++seed) {
            Take take = generatedtakes::MakeTake(seed);
            if (!take.mAbove && !take.mVector->TimeWarpGet() && !take.mVector->LayerGet()) continue;
            ++done;
            const takereference::Take reference = generatedtakes::Reference(take);
            ASSERT_TRUE(reference.Readable());
            if (!Import(take)) return;
            check(take, reference, HostTranslation(),
                  "take " + std::to_string(seed) + " (" + Kinds(take) + ") at " + GetParam().mName);
        }
    }
};

// Where the take holds between two of the host's keys (its values there within a float's rounding
// of each other), the host holds the same: no dip, however small. The largest distance found, as a
// part of the value held (at least 1).
double WorstHold(const HostTranslation& host, const std::function<std::vector<double>(double)>& take,
                 std::vector<double> keys, double seconds, double* at) {
    keys.push_back(0), keys.push_back(seconds);
    std::sort(keys.begin(), keys.end());
    double worst = 0;
    for (std::size_t i = 0; i + 1 < keys.size(); ++i) {
        const double a = std::max(keys[i], 0.0), b = std::min(keys[i + 1], seconds);
        if (b - a < 1e-5) continue;
        std::vector<std::vector<double>> original, played;
        for (int k = 0; k <= 16; ++k) {
            const double t = a + 2.5e-6 + (b - a - 5e-6) * k / 16;
            original.push_back(take(t));
            played.push_back(host.At(t));
        }
        for (std::size_t c = 0; c < 3; ++c) {
            double low = HUGE_VAL, high = -HUGE_VAL;
            for (const auto& v : original) low = std::min(low, v[c]), high = std::max(high, v[c]);
            const double scale = std::max(1.0, std::fabs(high));
            if (high - low > 4e-7 * scale) continue;
            for (std::size_t k = 0; k < played.size(); ++k) {
                const double d = std::fabs(played[k][c] - original[k][c]) / scale;
                if (d > worst) worst = d, *at = a + 2.5e-6 + (b - a - 5e-6) * static_cast<double>(k) / 16;
            }
        }
    }
    return worst;
}

// Between the bake's samples and past the take's keys, up to its end, the host plays the take:
// each within a hundredth of the take's size, nearly all within a thousandth, never a thousandth
// outside what the take spans between two of the host's keys, stepping where the take steps.
TEST_P(GeneratedTakeImportTest, TheHostPlaysTheTakeBetweenItsFramesAndPastItsKeys) {
    generatedtakes::Figures figures;
    ForEachBakedTake([&](const Take& take, const takereference::Take& reference, const HostTranslation& host,
                         const std::string& what) {
        figures.Add(generatedtakes::Compare([&](double s) { return host.At(s); },
                                            [&](double s) { return reference.At(s); }, host.Keys(), take.mSeconds),
                    what);
    });
    figures.Expect();
}

// Where the take holds between two of the host's keys, the host holds its value there, within a
// float's rounding (a hundred times over): a dip of a few thousandths of the move the take stops
// on passes the measure above, not this.
TEST_P(GeneratedTakeImportTest, WhereTheTakeHoldsTheHostHolds) {
    ForEachBakedTake([&](const Take& take, const takereference::Take& reference, const HostTranslation& host,
                         const std::string& what) {
        double at = 0;
        const auto original = [&](double s) { return reference.At(s); };
        EXPECT_LE(WorstHold(host, original, host.Keys(), take.mSeconds, &at), 1e-5) << what << ", at " << at << " s";
    });
}

// ---- Worked cases.

// A take of its own: a translation whose channels hold no key, in a take of the span.
Take MadeTake(double seconds) {
    Take take;
    take.mSeconds = seconds;
    take.mVector.reset(nodetest::Vector("T", &KDataTypeLclTranslation, KFCL_ADD));
    return take;
}

// A warp of keys (take seconds, curve seconds, interpolation) above the take's translation.
void WarpAbove(Take& take, std::initializer_list<std::tuple<double, float, unsigned>> keys) {
    take.mHolders.emplace_back(nodetest::Leaf("Holder"));
    KFCurveNode* warp = nodetest::Leaf("W");
    for (const auto& [at, value, interpolation] : keys)
        nodetest::Add(*warp->FCurveGet(), at,
                      nodetest::MakeKey(value, interpolation,
                                        interpolation == nodetest::kConstant ? KFCURVE_CONSTANT_STANDARD
                                                                             : KFCURVE_TANGEANT_USER));
    take.mHolders.back()->TimeWarpSet(warp);
    take.mAbove = warp;
}

// X runs 4 a second to 4 at 1 s and on to 8 at 2 s; a layer of X runs back 4 a second from 1 s: X
// holds 4 from 1 to 2 s, its values there differing in their last bits. The host holds 4 there,
// between its frames and on them.
TEST_P(GeneratedTakeImportTest, AHoldThatALayerMakesByCancellingItsBaseHolds) {
    Take take = MadeTake(3);
    nodetest::Keys(nodetest::C(*take.mVector, 0), {{0, 0}, {1, 4}, {2, 8}}, nodetest::kLinear);
    KFCurveNode* layer = KFCurveNodeCreate("T", &KDataTypeLclTranslation, KFCL_ADD, 1);
    KFCurveNode* x = KFCurveNodeCreate("X", static_cast<KDataType*>(nullptr), KFCL_NOLAYER, 1);
    x->FCurveSet(KFCurveCreate(), true);
    nodetest::Keys(*x->FCurveGet(), {{0, 0}, {1, 0}, {2, -4}}, nodetest::kLinear);
    layer->Add(x);
    take.mVector->LayerSet(layer, true);
    ASSERT_TRUE(Import(take));
    const HostTranslation host;
    for (double s = 1.0; s <= 2.0; s += 0.0013) EXPECT_NEAR(host.At(s, 0), 4.0, 1e-6) << s << " s";
    for (double s : {0.5, 2.5}) EXPECT_NEAR(host.At(s, 0), 4.0 * std::min(s, 1.0), 1e-4) << s << " s";
}

// Where the take steps the host steps at the same time: the value before up to it, the value
// after from it. A warp holds 0 up to 0.51 s (a constant key off the grid) and jumps to 0.8
// there, running on at speed 1, over X = t.
TEST_P(GeneratedTakeImportTest, WhereAWarpStepsOffTheGridTheHostStepsThen) {
    Take take = MadeTake(2);
    nodetest::Keys(nodetest::C(*take.mVector, 0), {{0, 0}, {3, 3}}, nodetest::kLinear);
    WarpAbove(take, {{0, 0.0f, nodetest::kConstant}, {0.51, 0.8f, nodetest::kLinear}, {2, 2.29f, nodetest::kLinear}});
    ASSERT_TRUE(Import(take));
    const HostTranslation host;
    for (double s : {0.0, 0.3, 0.5, 0.5099, 0.509999}) EXPECT_NEAR(host.At(s, 0), 0.0, 1e-4) << s << " s";
    for (double s : {0.51, 0.510001, 0.5101, 0.515, 0.52, 0.6, 1.0, 1.99})
        EXPECT_NEAR(host.At(s, 0), 0.8 + (s - 0.51), 1e-4) << s << " s";
}

// A constant key of X under a warp running at 0.98: X steps from 0 to 1 where the warp reaches
// 0.5 s, at 0.5 / 0.98 s, between the frames of every rate.
TEST_P(GeneratedTakeImportTest, WhereAChannelStepsUnderAWarpTheHostStepsThen) {
    Take take = MadeTake(2);
    nodetest::Keys(nodetest::C(*take.mVector, 0), {{0, 0}, {0.5, 1}, {2, 1}}, nodetest::kConstant);
    WarpAbove(take, {{0, 0.0f, nodetest::kLinear}, {2, 1.96f, nodetest::kLinear}});
    ASSERT_TRUE(Import(take));
    const HostTranslation host;
    const double step = 0.5 / 0.98;
    for (double s : {0.2, 0.5, step - 1e-5}) EXPECT_EQ(host.At(s, 0), 0.0) << s << " s";
    for (double s : {step + 1e-5, step + 0.01, 0.6, 1.9}) EXPECT_EQ(host.At(s, 0), 1.0) << s << " s";
}

// ---- Keys that come in as they are: automatic keys beside "next" keys.

// A take of keys alone (no layer, no warp), which comes in key for key: each channel's keys evenly
// spaced (mostly off the frames), of every kind the import copies in any order, one constant key
// taking the next key's value with automatic keys on either side and, in about half the channels, a
// user-break key (its slopes apart) before a last key that is constant, "next" or linear. Evenly
// spaced, a key's smooth slope in the host is the file's automatic one (the mean of the slopes on
// either side); a user key before an automatic one leaves that key's parameter 0, that mean.
Take KeyedTake(unsigned seed) {
    generatedtakes::Maker maker(seed);
    Take take;
    take.mVector.reset(nodetest::Vector("T", &KDataTypeLclTranslation, KFCL_ADD));
    enum { kAuto, kLine, kNext, kHold, kUser, kKinds, kBreak = kKinds };
    for (int a = 0; a < 3; ++a) {
        const int n = 3 + maker.Pick(6);
        const kLongLong spacing = generatedtakes::At(maker.Uniform(0.1, 0.4)).Get();
        const kLongLong start = generatedtakes::At(maker.Uniform(0, 0.5)).Get();
        std::vector<int> kinds(static_cast<std::size_t>(n));
        for (int& kind : kinds) kind = maker.Pick(kKinds);
        const std::size_t next = static_cast<std::size_t>(maker.Pick(n - 1));
        kinds[next] = kNext;
        kinds[next + 1] = kAuto;
        if (next > 0) kinds[next - 1] = kAuto;
        if (maker.Chance(0.5) && next + 4 <= kinds.size()) {
            const int lastKinds[3] = {kHold, kNext, kLine};
            kinds[kinds.size() - 2] = kBreak;
            kinds.back() = lastKinds[maker.Pick(3)];
        }
        KFCurve& curve = nodetest::C(*take.mVector, a);
        curve.KeyModifyBegin();
        for (std::size_t k = 0; k < kinds.size(); ++k) {
            const double value = maker.Uniform(-10, 10);
            const bool autoAfter = k + 1 < kinds.size() && kinds[k + 1] == kAuto;
            using generatedtakes::KeyOf;
            KFCurveKey key =
                kinds[k] == kAuto   ? KeyOf(value, KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_AUTO)
                : kinds[k] == kLine ? KeyOf(value, KFCURVE_INTERPOLATION_LINEAR, KFCURVE_TANGEANT_USER)
                : kinds[k] == kNext ? KeyOf(value, KFCURVE_INTERPOLATION_CONSTANT, KFCURVE_CONSTANT_NEXT)
                : kinds[k] == kHold ? KeyOf(value, KFCURVE_INTERPOLATION_CONSTANT, KFCURVE_CONSTANT_STANDARD)
                : kinds[k] == kBreak
                    ? KeyOf(value, KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_USER_BREAK, maker.Uniform(-10, 10),
                            maker.Uniform(-10, 10))
                    : KeyOf(value, KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_USER, maker.Uniform(-10, 10),
                            autoAfter ? 0 : maker.Uniform(-10, 10));
            curve.KeyAdd(KTime(start + static_cast<kLongLong>(k) * spacing), key);
        }
        curve.KeyModifyEnd();
        take.mSeconds = std::max(take.mSeconds, KTime(start + (n - 1) * spacing).GetSecondDouble() + 0.5);
    }
    return take;
}

// The translation curves of "N" in the file's take "Take 001", as the SDK reads them.
bool ReadTranslation(const std::string& path, KFCurve (&out)[3]) {
    KZeqSdkManager manager;
    KZeqScene& scene = *manager.CreateKZeqScene();
    KZeqImporter* importer = manager.CreateKZeqImporter();
    if (!importer->Initialize(path.c_str()) || !importer->Import(scene)) return false;
    scene.SetCurrentTake("Take 001");
    for (int i = 0; i < manager.GetKZeqNodeCount(); ++i) {
        KZeqNode* node = manager.GetKZeqNode(i);
        KZeqTakeNode* take = node->GetCurrentTakeNode();
        if (std::string(node->GetNameWithoutNameSpacePrefix().Buffer()) != "N" || !take) continue;
        KFCurve* curves[3] = {take->GetTranslationX(), take->GetTranslationY(), take->GetTranslationZ()};
        for (int a = 0; a < 3; ++a) {
            if (!curves[a]) return false;
            out[a].CopyFrom(*curves[a]);
        }
        return true;
    }
    return false;
}

// Each keyed take imported plays in the host what the take plays, within a millionth of each
// channel's range, on every frame, between frames and a microsecond about each key; the file the
// export then writes plays it too, each "next" key going out as one key again.
TEST_P(GeneratedTakeImportTest, KeyedTakesPlayAsTheFileInTheHostAndThroughTheExport) {
    std::string registered;
    Run("exists ZEQExport", &registered);
    const kLongLong frame = std::llround(KTime::kTicksPerSecond / TTime::unitsPerSecond(GetParam().mUnit));
    // The largest differences found, as parts of the channel's range, for the test's record.
    double worstHost = 0, worstExported = 0;
    for (unsigned seed = 0; seed < kSeeds; ++seed) {
        Take take = KeyedTake(seed);
        const takereference::Take reference = generatedtakes::Reference(take);
        ASSERT_TRUE(reference.Readable());
        if (!Import(take)) return;
        const HostTranslation host;
        std::vector<kLongLong> times;
        for (kLongLong t = 0; t <= generatedtakes::At(take.mSeconds).Get(); t += frame)
            times.insert(times.end(), {t, t + frame / 2});
        double range[3];
        for (int a = 0; a < 3; ++a) {
            KFCurve& curve = nodetest::C(*take.mVector, a);
            double low = HUGE_VAL, high = -HUGE_VAL;
            for (int k = 0; k < curve.KeyGetCount(); ++k) {
                const double value = curve.KeyGetPtr(k)->GetValue();
                low = std::min(low, value), high = std::max(high, value);
                const kLongLong microsecond = KTime::kTicksPerSecond / 1000000;
                for (kLongLong d : {-microsecond, kLongLong(0), microsecond})
                    times.push_back(curve.KeyGetPtr(k)->GetTime().Get() + d);
            }
            range[a] = std::max(high - low, 1e-2);
        }
        KFCurve exported[3];
        bool written = false;
        if (registered == "1") {
            const std::string path = mDirectory + "exported.zeq";
            ASSERT_TRUE(Run("ZEQExportShowUI 0") && Run("ZEQExport -f \"" + path + "\"")) << Log();
            ASSERT_TRUE(ReadTranslation(path, exported));
            written = true;
            for (int a = 0; a < 3; ++a)
                EXPECT_EQ(exported[a].KeyGetCount(), nodetest::C(*take.mVector, a).KeyGetCount())
                    << "take " << seed << ", axis " << a;
        }
        for (const kLongLong t : times) {
            const std::vector<double> want = reference.At(KTime(t));
            const std::vector<double> played = host.At(KTime(t).GetSecondDouble());
            for (int a = 0; a < 3; ++a) {
                const std::size_t c = static_cast<std::size_t>(a);
                const std::string where = "take " + std::to_string(seed) + ", axis " + std::to_string(a) + ", at " +
                                          std::to_string(t) + " ticks, " + GetParam().mName;
                EXPECT_NEAR(played[c], want[c], 1e-6 * range[a]) << "host, " << where;
                worstHost = std::max(worstHost, std::fabs(played[c] - want[c]) / range[a]);
                if (written) {
                    const double value = exported[a].Evaluate(KTime(t));
                    EXPECT_NEAR(value, want[c], 1e-6 * range[a]) << "exported, " << where;
                    worstExported = std::max(worstExported, std::fabs(value - want[c]) / range[a]);
                }
            }
        }
        if (HasFailure()) return;
    }
    const auto text = [](double value) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.3g", value);
        return std::string(buffer);
    };
    RecordProperty("worst_host", text(worstHost));
    RecordProperty("worst_exported", text(worstExported));
}

// X 0 at 0 s held, 2 at 0.3 s linear, -1 at 0.6 s user-break (leaving with 5 a second, arriving at
// the next key with -9), 4 at 1.1 s linear: a linear key before a user key, keys unevenly spaced.
// The host plays it and so does the export, its four keys kept: at every frame, between frames and
// about each key, within a millionth of the range.
TEST_P(GeneratedTakeImportTest, ALinearKeyBeforeAUserKeyGoesOutKeyForKey) {
    Take take = MadeTake(1.6);
    KFCurve& x = nodetest::C(*take.mVector, 0);
    using generatedtakes::KeyOf;
    KFCurveKey keys[] = {KeyOf(0, KFCURVE_INTERPOLATION_CONSTANT, KFCURVE_CONSTANT_STANDARD),
                         KeyOf(2, KFCURVE_INTERPOLATION_LINEAR, KFCURVE_TANGEANT_USER),
                         KeyOf(-1, KFCURVE_INTERPOLATION_CUBIC, KFCURVE_TANGEANT_USER_BREAK, 5, -9),
                         KeyOf(4, KFCURVE_INTERPOLATION_LINEAR, KFCURVE_TANGEANT_USER)};
    const double seconds[] = {0, 0.3, 0.6, 1.1};
    for (int k = 0; k < 4; ++k) x.KeyAdd(generatedtakes::At(seconds[k]), keys[k]);
    const takereference::Take reference = generatedtakes::Reference(take);
    ASSERT_TRUE(reference.Readable());
    ASSERT_TRUE(Import(take));
    const HostTranslation host;
    std::string registered;
    Run("exists ZEQExport", &registered);
    KFCurve exported[3];
    if (registered == "1") {
        const std::string path = mDirectory + "exported.zeq";
        ASSERT_TRUE(Run("ZEQExportShowUI 0") && Run("ZEQExport -f \"" + path + "\"")) << Log();
        ASSERT_TRUE(ReadTranslation(path, exported));
        EXPECT_EQ(exported[0].KeyGetCount(), 4);
    }
    const kLongLong frame = std::llround(KTime::kTicksPerSecond / TTime::unitsPerSecond(GetParam().mUnit));
    std::vector<kLongLong> times;
    for (kLongLong t = 0; t <= generatedtakes::At(take.mSeconds).Get(); t += frame)
        times.insert(times.end(), {t, t + frame / 2});
    for (const double key : seconds)
        for (const double d : {-1e-6, 0.0, 1e-6}) times.push_back(generatedtakes::At(key + d).Get());
    const double range = 5;  // -1 to 4
    for (const kLongLong t : times) {
        const double want = reference.At(KTime(t))[0];
        EXPECT_NEAR(host.At(KTime(t).GetSecondDouble(), 0), want, 1e-6 * range) << "host, at " << t << " ticks";
        if (registered == "1") {
            EXPECT_NEAR(exported[0].Evaluate(KTime(t)), want, 1e-6 * range) << "export, at " << t << " ticks";
        }
    }
}

// The host's curves of a keyed take given tangents in the host, each key's side at random left as it
// came or made fixed (a slope of its own), flat, linear, step, smooth or clamped, middle and end keys
// alike: the export copies them key for key (none sampled) and plays what the host plays, within a
// millionth of each channel's range, on every frame, between frames, at each key and a microsecond
// about it.
TEST_P(GeneratedTakeImportTest, TangentsSetInTheHostGoOutAsTheHostPlaysThem) {
    std::string registered;
    Run("exists ZEQExport", &registered);
    if (registered != "1") GTEST_SKIP() << "a build without the exporter";
    const kLongLong frame = std::llround(KTime::kTicksPerSecond / TTime::unitsPerSecond(GetParam().mUnit));
    const int kKinds[] = {TFnAnimCurve::kTangentFixed, TFnAnimCurve::kTangentFlat,   TFnAnimCurve::kTangentLinear,
                          TFnAnimCurve::kTangentStep,  TFnAnimCurve::kTangentSmooth, TFnAnimCurve::kTangentClamped};
    double worst = 0;
    for (unsigned seed = 0; seed < kSeeds; ++seed) {
        Take take = KeyedTake(seed);
        if (!Import(take)) return;
        generatedtakes::Maker maker(seed + 7919);
        const char* const kPlugs[3] = {"N.translateX", "N.translateY", "N.translateZ"};
        unsigned hostKeys[3] = {0, 0, 0};
        for (int a = 0; a < 3; ++a) {
            TFnAnimCurve curve(standin::plug(kPlugs[a]));
            hostKeys[a] = curve.numKeys();
            for (unsigned k = 0; k < curve.numKeys(); ++k) {
                for (const bool in : {true, false}) {
                    if (maker.Chance(0.4)) continue;
                    const int kind = kKinds[maker.Pick(6)];
                    if (kind == TFnAnimCurve::kTangentFixed) {
                        curve.setTangentsLocked(k, false);
                        ASSERT_TRUE(curve.setTangent(k, 1.0, maker.Uniform(-2, 2), in));
                    } else {
                        ASSERT_TRUE(in ? curve.setInTangentType(k, kind) : curve.setOutTangentType(k, kind));
                    }
                }
            }
        }
        const HostTranslation host;
        const std::string path = mDirectory + "exported.zeq";
        ASSERT_TRUE(Run("ZEQExportShowUI 0") && Run("ZEQExport -f \"" + path + "\"")) << Log();
        KFCurve exported[3];
        ASSERT_TRUE(ReadTranslation(path, exported));
        std::vector<kLongLong> times;
        for (kLongLong t = 0; t <= generatedtakes::At(take.mSeconds).Get(); t += frame)
            times.insert(times.end(), {t, t + frame / 2});
        const kLongLong microsecond = KTime::kTicksPerSecond / 1000000;
        for (const double seconds : host.Keys())
            for (kLongLong d : {-microsecond, kLongLong(0), microsecond})
                times.push_back(std::llround(seconds * KTime::kTicksPerSecond) + d);
        for (int a = 0; a < 3; ++a) {
            const std::string where = "take " + std::to_string(seed) + ", axis " + std::to_string(a) + ", " +
                                      GetParam().mName;
            EXPECT_LE(unsigned(exported[a].KeyGetCount()), hostKeys[a]) << where;
            double low = HUGE_VAL, high = -HUGE_VAL;
            for (const kLongLong t : times) {
                const double value = host.At(KTime(t).GetSecondDouble(), a);
                low = std::min(low, value), high = std::max(high, value);
            }
            const double range = std::max(high - low, 1e-2);
            for (const kLongLong t : times) {
                const double want = host.At(KTime(t).GetSecondDouble(), a), got = exported[a].Evaluate(KTime(t));
                EXPECT_NEAR(got, want, 1e-6 * range) << where << ", at " << t << " ticks";
                worst = std::max(worst, std::fabs(got - want) / range);
            }
        }
        if (HasFailure()) return;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", worst);
    RecordProperty("worst_exported", text);
}

INSTANTIATE_TEST_SUITE_P(Rates, GeneratedTakeImportTest, ::testing::ValuesIn(kRates),
                         [](const ::testing::TestParamInfo<Rate>& info) { return std::string(info.param.mName); });

}  // namespace

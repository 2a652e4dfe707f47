// Constant keys that take the next key's value ("next" mode), alone and beside automatic keys, and
// user-break keys before a last key that is not cubic, on a null's scaling Z, written by the SDK and
// imported into the host at 24, 30 and 60 frames a second: the host plays what the SDK's evaluation
// of the file's curve plays on every frame, between frames, around each key, before the first key
// and after the last; the file the export then writes plays it too, near the start of the time line
// and far along it, and after the step key of a "next" key is given another value in the host.
#include "importtest_support.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "fcurve/kfcurve.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakenode.h"
#include "tulo.h"

using namespace zeqsdk_400;
using namespace importtest;

namespace {

constexpr kLongLong kSecond = KTime::kTicksPerSecond;
// Constant next, constant standard, linear, cubic automatic, and cubic user-break (leaving with a
// slope of 4 a second, the next key arriving with 18).
enum Kind { kNext, kHold, kLine, kAuto, kBreak };

// A key at seconds plus frames of the host plus ticks.
struct Key {
    double mSeconds;
    int mFrames;
    kLongLong mTicks;
    float mValue;
    Kind mKind;
};
struct Case {
    const char* mName;
    std::vector<Key> mKeys;
};
const Case kCases[] = {
    {"WorkedExample", {{0, 0, 0, 1, kNext}, {1, 0, 0, 2, kHold}, {1.5, 0, 0, 1.5f, kHold}}},
    {"LastKey", {{0, 0, 0, 1, kHold}, {0.5, 0, 0, 2, kLine}, {1, 0, 0, 3, kNext}}},
    // One whose next value is its own among them.
    {"SeveralInARow",
     {{0, 0, 0, 1, kNext}, {0.5, 0, 0, 2, kNext}, {1, 0, 0, 3, kNext}, {1.5, 0, 0, 3, kNext}, {2, 0, 0, 5, kNext}}},
    // The next key a frame later, or as close as the host holds two keys apart (2 ns).
    {"NextKeyAFrameLater", {{0.5, 0, 0, 1, kNext}, {0.5, 1, 0, 2, kHold}, {1, 0, 0, 3, kHold}}},
    {"NextKeyJustApart", {{0.5, 0, 0, 1, kNext}, {0.5, 0, 92, 2, kLine}, {1, 0, 0, 3, kHold}}},
    // The take plays the next value on the frame a tick after the key; the line before ends at its own.
    {"ATickBeforeAFrame", {{0, 0, 0, 0, kLine}, {0.5, 0, -1, 4, kNext}, {1, 0, 0, 8, kHold}, {1.5, 0, 0, 6, kHold}}},
    {"FirstKeyATickBeforeAFrame", {{0.5, 0, -1, 4, kNext}, {1, 0, 0, 8, kHold}}},
    // A tick after a frame, and between two: their own values live on no frame.
    {"OffTheFrames",
     {{0, 0, 0, 0, kLine}, {0.5, 0, 1, 4, kNext}, {0.5, 2, 1000000, 8, kNext}, {1, 0, 0, 2, kLine}, {2, 0, 0, 0, kLine}}},
    // Automatic keys beside a "next" key keep the slopes the file gives them: 2.625 at 0.25 s in the
    // first, 5.5625 at 1.25 s in the second.
    {"AutoBefore", {{0, 0, 0, 0, kAuto}, {0.5, 0, 0, 5, kNext}, {1, 0, 0, 8, kLine}}},
    {"AutoAfter", {{0, 0, 0, 0, kLine}, {0.5, 0, 0, 5, kNext}, {1, 0, 0, 8, kAuto}, {1.5, 0, 0, 2, kLine}}},
    {"AutoAroundAndOffTheFrames",
     {{0, 0, 0, 1, kAuto}, {0.5, 0, -1, 4, kNext}, {1, 0, 0, 8, kAuto}, {1.5, 0, 0, 6, kAuto}, {2, 0, 0, 3, kNext},
      {2.5, 0, 0, -2, kAuto}}},
    // A user-break key arriving at a last key that is not cubic with its own slope: -43/9 at 5/6 s.
    {"BreakBeforeLastHold", {{0, 0, 0, 0, kAuto}, {0.5, 0, 0, 9, kBreak}, {1, 0, 0, -8, kHold}}},
    {"BreakBeforeLastNext", {{0, 0, 0, 0, kAuto}, {0.5, 0, 0, 9, kBreak}, {1, 0, 0, -8, kNext}}},
    {"BreakBeforeLastLine", {{0, 0, 0, 0, kAuto}, {0.5, 0, 0, 9, kBreak}, {1, 0, 0, -8, kLine}}},
    {"BreakOffTheFrames", {{0.5, 0, 7, 1, kBreak}, {1, 1, 1000000, 3, kBreak}, {1.5, 0, -1, -2, kNext}}},
};

// The scaling Z curve of "N" in the file's take "Take 001", as the SDK reads it.
bool ReadCurve(const std::string& path, KFCurve& out) {
    KZeqSdkManager manager;
    KZeqScene& scene = *manager.CreateKZeqScene();
    KZeqImporter* importer = manager.CreateKZeqImporter();
    if (!importer->Initialize(path.c_str()) || !importer->Import(scene)) return false;
    scene.SetCurrentTake("Take 001");
    for (int i = 0; i < manager.GetKZeqNodeCount(); ++i) {
        KZeqNode* node = manager.GetKZeqNode(i);
        KFCurve* curve = node->GetCurrentTakeNode() ? node->GetCurrentTakeNode()->GetScaleZ() : nullptr;
        if (std::string(node->GetNameWithoutNameSpacePrefix().Buffer()) != "N" || !curve) continue;
        out.CopyFrom(*curve);
        return out.KeyGetCount() > 0;
    }
    return false;
}

class NextKeyImportTest : public ImportModeTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        ImportModeTest::SetUp();
        standin::setUnits(TDistance::kCentimeters, TAngle::kDegrees, GetParam());
    }
    kLongLong Frame() const { return std::llround(kSecond / TTime::unitsPerSecond(GetParam())); }
    // The keys on N's scaling Z, offset ticks later, written, read back by the SDK into mFileCurve and
    // imported.
    void Import(const std::vector<Key>& keys, kLongLong offset = 0) {
        mFile = Write("next", [&](KZeqSdkManager& manager, KZeqScene& scene) {
            KZeqNode* node = BuildScene(manager, scene, "N").at("N").mNode;
            scene.CreateTake("Take 001");
            node->SetCurrentTakeNode("Take 001");
            for (const Key& k : keys) {
                const KTime time(offset + std::llround(k.mSeconds * kSecond) + k.mFrames * Frame() + k.mTicks);
                const bool cubic = k.mKind == kAuto || k.mKind == kBreak;
                KFCurveKey key;
                key.Set(time, k.mValue,
                        k.mKind == kLine ? KFCURVE_INTERPOLATION_LINEAR
                        : cubic          ? KFCURVE_INTERPOLATION_CUBIC
                                         : KFCURVE_INTERPOLATION_CONSTANT,
                        k.mKind == kNext    ? KFCURVE_CONSTANT_NEXT
                        : k.mKind == kAuto  ? KFCURVE_TANGEANT_AUTO
                        : k.mKind == kBreak ? KFCURVE_TANGEANT_USER_BREAK
                                            : KFCURVE_CONSTANT_STANDARD,
                        k.mKind == kBreak ? 4.0f : 0.0f, k.mKind == kBreak ? 18.0f : 0.0f, KFCURVE_WEIGHTED_NONE,
                        KFCURVE_DEFAULT_WEIGHT, KFCURVE_DEFAULT_WEIGHT, 0, 0);
                node->GetCurrentTakeNode()->GetScaleZ()->KeyAdd(time, key);
            }
        });
        ASSERT_TRUE(ReadCurve(mFile, mFileCurve));
        ASSERT_TRUE(Run("file -f -new") && ImportAtZero(mFile)) << Log();
        TStatus status;
        mHost = TFnAnimCurve(standin::plug("N.scaleZ"), &status);
        ASSERT_TRUE(status) << Log();
    }
    double Host(kLongLong t) const { return mHost.evaluate(TTime(double(t) / double(kSecond), TTime::kSeconds)); }
    // The host's curve written by the export and read back by the SDK; false (nothing checked) in a
    // build without the exporter.
    bool Exported(KFCurve& written) {
        std::string registered;
        Run("exists ZEQExport", &registered);
        if (registered != "1") return false;
        const std::string exported = mDirectory + "exported.zeq";
        const bool ran = Run("ZEQExportShowUI 0") && Run("ZEQExport -f \"" + exported + "\"");
        EXPECT_TRUE(ran) << Log();
        const bool read = ran && ReadCurve(exported, written);
        EXPECT_TRUE(read);
        return read;
    }
    std::string Differences(const std::function<double(kLongLong)>& got) {
        return Differences([this](kLongLong t) { return mFileCurve.Evaluate(KTime(t)); }, got);
    }
    // Where got differs from want (the file's curve above) by more than a millionth of the range of
    // the file's key values: on every frame from a second before the first key to a second after
    // the last and in the middle of each, and a microsecond before, at and after each key; those
    // within clear of a key of the file's aside, but for the key's own instant (with ownInstants).
    std::string Differences(const std::function<double(kLongLong)>& want, const std::function<double(kLongLong)>& got,
                            kLongLong clear = 0, bool ownInstants = true) {
        const kLongLong frame = Frame(), n = mFileCurve.KeyGetCount();
        double low = HUGE_VAL, high = -HUGE_VAL;
        for (int k = 0; k < n; ++k) {
            const double value = mFileCurve.KeyGetPtr(k)->GetValue();
            low = std::min(low, value), high = std::max(high, value);
        }
        const double tolerance = 1e-6 * std::max(high - low, 1.0);
        std::vector<kLongLong> times;
        const kLongLong first = mFileCurve.KeyGetPtr(0)->GetTime().Get();
        const kLongLong last = mFileCurve.KeyGetPtr(n - 1)->GetTime().Get();
        for (kLongLong f = (first - kSecond) / frame - 1; f * frame <= last + kSecond; ++f)
            times.insert(times.end(), {f * frame, f * frame + frame / 2});
        for (int k = 0; k < n; ++k)
            for (kLongLong d : {-kSecond / 1000000, kLongLong(0), kSecond / 1000000})
                times.push_back(mFileCurve.KeyGetPtr(k)->GetTime().Get() + d);
        std::string differences;
        for (const kLongLong t : times) {
            bool nearKey = false;
            for (int k = 0; k < n; ++k) {
                const kLongLong off = std::llabs(mFileCurve.KeyGetPtr(k)->GetTime().Get() - t);
                nearKey = nearKey || (off < clear && (off != 0 || !ownInstants));
            }
            if (nearKey) continue;
            const double wanted = want(t), value = got(t);
            if (!(std::fabs(wanted - value) <= tolerance))
                differences +=
                    " at " + std::to_string(t) + " ticks " + std::to_string(value) + " for " + std::to_string(wanted);
        }
        return differences;
    }

    std::string mFile;
    KFCurve mFileCurve;
    TFnAnimCurve mHost;
};

// 1 at 0 s (next), 2 at 1 s, 1.5 at 1.5 s: 1 at 0 s and before, 2 from the first frame to 1.5 s.
TEST_P(NextKeyImportTest, TheWorkedExamplePlaysTheNextValueFromTheFirstFrame) {
    Import(kCases[0].mKeys);
    if (HasFatalFailure()) return;
    for (kLongLong t : {-kSecond, kLongLong(0)}) EXPECT_EQ(Host(t), 1.0) << t;
    for (kLongLong t : {Frame(), kSecond / 2, kSecond * 3 / 2 - Frame()}) EXPECT_EQ(Host(t), 2.0) << t;
}

TEST_P(NextKeyImportTest, EveryCasePlaysAsTheFileAndExportsSo) {
    std::string registered;
    Run("exists ZEQExport", &registered);
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.mName);
        Import(c.mKeys);
        if (HasFatalFailure()) return;
        EXPECT_EQ(Differences([this](kLongLong t) { return Host(t); }), "");
        if (registered != "1") continue;  // a build without the exporter
        const std::string exported = mDirectory + "exported.zeq";
        ASSERT_TRUE(Run("ZEQExportShowUI 0") && Run("ZEQExport -f \"" + exported + "\"")) << Log();
        KFCurve written;
        ASSERT_TRUE(ReadCurve(exported, written));
        EXPECT_EQ(Differences([&written](kLongLong t) { return written.Evaluate(KTime(t)); }), "");
    }
}

// The worked values of automatic keys beside a "next" key, in the host and in the file it exports.
TEST_P(NextKeyImportTest, AutomaticKeysBesideANextKeyPlayTheFilesSlopes) {
    std::string registered;
    Run("exists ZEQExport", &registered);
    const auto worked = {std::make_tuple(kCases[8], 0.25, 2.625), std::make_tuple(kCases[9], 1.25, 5.5625)};
    for (const auto& [c, seconds, want] : worked) {
        SCOPED_TRACE(c.mName);
        Import(c.mKeys);
        if (HasFatalFailure()) return;
        const kLongLong t = std::llround(seconds * kSecond);
        EXPECT_NEAR(mFileCurve.Evaluate(KTime(t)), want, 1e-6);
        EXPECT_NEAR(Host(t), want, 1e-6);
        if (registered != "1") continue;
        const std::string exported = mDirectory + "exported.zeq";
        ASSERT_TRUE(Run("ZEQExportShowUI 0") && Run("ZEQExport -f \"" + exported + "\"")) << Log();
        KFCurve written;
        ASSERT_TRUE(ReadCurve(exported, written));
        EXPECT_NEAR(written.Evaluate(KTime(t)), want, 1e-6);
        // The pair of host keys went out as the file's one "next" key.
        EXPECT_EQ(written.KeyGetCount(), mFileCurve.KeyGetCount());
    }
}

// 0 at 0 s (automatic), 9 at 0.5 s (user-break, leaving with 4 a second, arriving at the next key
// with 18), -8 at 1 s (constant, "next" or linear): -43/9 at 5/6 s, in the file, the host and the
// file the export writes, whatever the last key's kind.
TEST_P(NextKeyImportTest, AUserBreakKeyArrivesAtALastKeyThatIsNotCubicWithItsOwnSlope) {
    const kLongLong t = kSecond * 5 / 6;
    for (const char* name : {"BreakBeforeLastHold", "BreakBeforeLastNext", "BreakBeforeLastLine"}) {
        SCOPED_TRACE(name);
        const Case* c = std::find_if(std::begin(kCases), std::end(kCases),
                                     [name](const Case& each) { return std::string(each.mName) == name; });
        ASSERT_NE(c, std::end(kCases));
        Import(c->mKeys);
        if (HasFatalFailure()) return;
        EXPECT_NEAR(mFileCurve.Evaluate(KTime(t)), -43.0 / 9, 1e-5);
        EXPECT_NEAR(Host(t), -43.0 / 9, 1e-5);
        KFCurve written;
        if (Exported(written)) {
            EXPECT_NEAR(written.Evaluate(KTime(t)), -43.0 / 9, 1e-5);
        }
    }
}

// 0 at 0 s (automatic), 5 at 0.5 s ("next"), 8 at 1 s (linear): the host plays 94/27 at 1/3 s. Given
// another value in the host, the step key the import added 10 ns after the "next" key (6), or the
// key after it (9), no longer makes one key with it: the export plays what the host plays all the
// same.
TEST_P(NextKeyImportTest, AStepKeyThatNoLongerMakesANextKeyExportsAsTheHostPlaysIt) {
    const std::vector<Key> keys = {{0, 0, 0, 0, kAuto}, {0.5, 0, 0, 5, kNext}, {1, 0, 0, 8, kLine}};
    for (const auto& [index, value] : {std::make_pair(2u, 6.0), std::make_pair(3u, 9.0)}) {
        SCOPED_TRACE(index);
        Import(keys);
        if (HasFatalFailure()) return;
        ASSERT_EQ(mHost.numKeys(), 4u);
        ASSERT_TRUE(mHost.setValue(index, value));
        const kLongLong t = kSecond / 3;
        EXPECT_NEAR(Host(t), 94.0 / 27, 1e-6);
        KFCurve written;
        if (!Exported(written)) continue;
        EXPECT_NEAR(written.Evaluate(KTime(t)), 94.0 / 27, 1e-6);
        EXPECT_EQ(Differences([this](kLongLong at) { return Host(at); },
                              [&written](kLongLong at) { return written.Evaluate(KTime(at)); }),
                  "");
    }
}

// Four of the last bits of a time's seconds in a double, in ticks: the farthest a key the host holds
// comes back from its time (a bit is 5 ticks 700,000 s on, 86 at 10,000,000 s, 1,376 at the ends).
double HostBits(kLongLong t) {
    const double seconds = std::fabs(double(t) / double(kSecond));
    return 4 * (std::nextafter(seconds, HUGE_VAL) - seconds) * double(kSecond);
}

// Far along the time line, and to its ends, where the host's times in seconds round to many ticks:
// away from the keys (by a tenth of a microsecond) every case plays in the host as the file, where
// the host holds every key (not two 2 ns apart 40,000,000 s on) and the 10 ns between a "next" key
// and its step key (not at the ends); the file the export writes plays as the host, each "next" key
// and its step key one key again where the file has it, at each key's own instant too. A "next" key
// on a frame 700,000 s and 10,000,000 s on plays its own value there in the file, the host and the
// export; 0, 5, 8 at 700,000 s, 700,000.5 s and 700,001 s play 94/27 a third of a second on.
TEST_P(NextKeyImportTest, FarAlongTheTimeLineEveryCasePlaysAsTheHostAndExportsSo) {
    const kLongLong clear = kSecond / 10000000;
    for (const double seconds : {7.0e5, 1.0e7, -4.0e7, 1.9e8}) {
        const kLongLong offset = std::llround(seconds) * kSecond;
        for (const Case& c : kCases) {
            SCOPED_TRACE(std::string(c.mName) + " at " + std::to_string(seconds) + " s");
            Import(c.mKeys, offset);
            if (HasFatalFailure()) return;
            const auto host = [this](kLongLong t) { return Host(t); };
            const bool holdsEveryKey = mHost.numKeys() >= unsigned(mFileCurve.KeyGetCount());
            const bool keepsGap = holdsEveryKey && HostBits(offset) / 4 < kSecond / 100000000;
            if (keepsGap) {
                // The host's seconds there do not tell a key's tick from those beside it.
                EXPECT_EQ(Differences([this](kLongLong t) { return mFileCurve.Evaluate(KTime(t)); }, host, clear, false),
                          "");
            }
            KFCurve written;
            if (!Exported(written)) continue;
            // At each key's own instant too, where the host keeps the 10 ns: at the ends a step key may
            // be left out, and a "next" key follow a held value at an instant of many ticks, over which
            // no one tick of a key plays the host's value.
            EXPECT_EQ(Differences(host, [&](kLongLong t) { return written.Evaluate(KTime(t)); }, clear, keepsGap), "");
            if (!holdsEveryKey) continue;
            ASSERT_EQ(written.KeyGetCount(), mFileCurve.KeyGetCount());
            for (int k = 0; k < written.KeyGetCount(); ++k) {
                const kLongLong want = mFileCurve.KeyGetPtr(k)->GetTime().Get();
                EXPECT_LE(std::fabs(double(written.KeyGetPtr(k)->GetTime().Get() - want)), HostBits(want)) << k;
            }
        }
    }
    // A "next" key on a frame: the host and the file play its own value there, and so does the export.
    for (const kLongLong seconds : {700000LL, 10000000LL}) {
        SCOPED_TRACE(seconds);
        const kLongLong offset = seconds * kSecond;
        Import({{0, 0, 0, 0, kAuto}, {0.5, 1, 0, 5, kNext}, {1, 0, 0, 8, kLine}}, offset);
        if (HasFatalFailure()) return;
        const kLongLong t = offset + kSecond / 2 + Frame();
        EXPECT_EQ(mFileCurve.Evaluate(KTime(t)), 5.0f);
        EXPECT_EQ(Host(t), 5.0);
        KFCurve written;
        if (Exported(written)) {
            EXPECT_NEAR(written.Evaluate(KTime(t)), 5.0, 1e-5);
        }
    }
    const kLongLong offset = 700000 * kSecond;
    Import({{0, 0, 0, 0, kAuto}, {0.5, 0, 0, 5, kNext}, {1, 0, 0, 8, kLine}}, offset);
    if (HasFatalFailure()) return;
    const kLongLong t = offset + kSecond / 3;
    EXPECT_NEAR(Host(t), 94.0 / 27, 1e-6);
    KFCurve written;
    if (Exported(written)) {
        EXPECT_NEAR(written.Evaluate(KTime(t)), 94.0 / 27, 1e-6);
    }
}

// 100,000,000 s on, the host's seconds step by 15 ns: a step key 10 ns after its "next" key often
// falls on the key's own seconds, and the host holds the key's value up to the next key. The import
// says so where the user sees its warnings, not in the log alone.
TEST_P(NextKeyImportTest, AStepKeyTheHostCannotHoldIsSaidToTheUser) {
    bool leftOut = false;
    for (kLongLong k = 0; k < 20 && !leftOut; ++k) {
        Import({{0.5, 0, 0, 5, kNext}, {1, 0, 0, 8, kHold}}, 100000000 * kSecond + k * 9876543);
        if (HasFatalFailure()) return;
        leftOut = mHost.numKeys() < 3;
    }
    ASSERT_TRUE(leftOut) << "no step key fell on its key's seconds";
    const std::vector<std::string> said = Warnings("N_scaleZ: 1 key left out");
    EXPECT_EQ(said.size(), 1u) << Log();
    EXPECT_NE(Log().find("N_scaleZ: 1 key left out"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Rates, NextKeyImportTest, ::testing::Values(TTime::kFilm, TTime::kNTSCFrame, TTime::kNTSCField),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(info.param == TTime::kFilm        ? "Film24"
                                                : info.param == TTime::kNTSCFrame ? "Ntsc30"
                                                                                  : "Field60");
                         });

}  // namespace

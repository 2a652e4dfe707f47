// Skeletons whose take holds layers and time warps in the arrangements files hold
// (kfiletakemodel_support.h), read from a Zeq file with the bake of layers and warps and without
// it, then written through every motion writer and read back: every joint at every frame (as long
// as the longest warp plays) where the take puts it, worked out apart from the SDK. The writers
// play the take as the SDK's evaluation does, and a baked take plays alone what the layers and
// warps played.
//
// Two passes a take. As generated (translation animated below the top, scaling uneven), written
// at 30 frames a second: every writer that keeps each joint's translation places every joint.
// Posed (each joint scaled alike on its axes by one value, so that no joint is sheared; below the
// top a translation of one value; constant channels without keys), written at 24 frames a
// second, off the 1/30 s grid but for every fifth of a second: every writer, BVH without translation channels and ASF
// among them, places every joint, and the writers of turning joints (all but the marker formats,
// whose points have none) turn the last joint as the take does.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "formats/motion/common/tests/kzeqmotionwriters_support.h"
#include "io/kstreamoptionszeq.h"
#include "io/tests/zeqroundtrip.h"
#include "scene/tests/kfiletakemodel_support.h"

namespace zeqmotionwriters {
namespace {

using namespace zeqtest;

constexpr double kSeconds = 3.0;  // the longest warp plays to 3 s
const unsigned kSeeds = 8;

ModelTake Generate(unsigned seed) {
    ModelGenerator generator(seed);
    ModelOptions options;
    options.mNodes = 3 + static_cast<int>(seed % 3);
    options.mKinds = {eModelJoint};
    options.mChain = true;
    return generator.Take(options);
}

// Each joint scaled alike on its three axes by one value, its X's default (the files carry a
// scaling into the offsets below, at the first frame), and below the top a translation of one
// value: its default, without keys, layers or warp of its own.
ModelTake Posed(ModelTake take) {
    for (std::size_t j = 0; j < take.mNodes.size(); ++j) {
        ModelNode& n = take.mNodes[j];
        for (int v : {eModelS, eModelT}) {
            if (v == eModelT && j == 0) continue;
            ModelVector& vector = n.mV[v];
            for (ModelCurve& axis : vector.mAxes) axis.mKeys.clear();
            if (v == eModelS) vector.mAxes[1] = vector.mAxes[2] = vector.mAxes[0];
            vector.mLayers.clear();
            vector.mWarp = vector.mWarpAxis = -1;
        }
    }
    return take;
}

// The ways whose files turn their joints: all but the marker formats.
bool Turns(const std::string& way) { return way != "trc" && way != "c3d" && way != "aoa" && way != "mcd"; }

struct Pass {
    const char* mName;
    bool mPosed;
    double mRate;
};
const Pass kPasses[] = {{"as generated", false, 30.0}, {"posed", true, 24.0}};

class MotionTakeModelWrite : public testing::TestWithParam<unsigned> {
protected:
    KZeqScene* Read(const std::string& path, bool bake) {
        KZeqImporter importer(mManager);
        auto* options =
            importer.Initialize(path.c_str()) ? static_cast<KStreamOptionsZeq*>(importer.GetImportOptions()) : nullptr;
        if (!options) return nullptr;
        options->SetOption(KStreamOptionsZeq::eMERGE_LAYER_AND_TIMEWARP, bake);
        KZeqScene* scene = mManager.CreateKZeqScene();
        const bool read = importer.Import(*scene, options);
        importer.ReleaseImportOptions(options);
        return read ? scene : nullptr;
    }

    // Writes the take's file in every way from scene and checks what each gives back.
    // Writes the scene in every way and checks what each gives back against the take, at the times
    // where its bake is exact when the scene holds it baked.
    void WriteAndCheck(const ModelTake& take, const Pass& pass, bool baked, KZeqScene& scene, const std::string& folder);

    KZeqSdkManager mManager;
    zeqmotiontest::MotionTempDir mDir;
};

void MotionTakeModelWrite::WriteAndCheck(const ModelTake& take, const Pass& pass, bool baked, KZeqScene& scene,
                                         const std::string& folder) {
    const int frames = static_cast<int>(std::lround(kSeconds * pass.mRate)) + 1;
    double size = 1.0;
    for (int f = 0; f < frames; ++f)
        for (std::size_t j = 0; j < take.mNodes.size(); ++j)
            for (int a = 0; a < 3; ++a) size = std::max(size, std::fabs(take.World(j, f / pass.mRate)[3][a]));
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    Writers writers(mManager, folder);
    std::map<std::string, Output> out;
    std::string error;
    ASSERT_TRUE(writers.WriteAll(scene, frames, pass.mRate, KTime(), out, error)) << error;
    for (const Way& way : Ways()) {
        const std::string name = way.mName;
        // BVH without translation channels and ASF hold one offset a joint: they are checked posed.
        if (!pass.mPosed && (name == "bvh" || name == "asf")) continue;
        KZeqScene* back = mManager.CreateKZeqScene();
        ASSERT_TRUE(ReadWritten(mManager, *back, name, out, frames, pass.mRate, error)) << name << ": " << error;
        for (std::size_t j = 0; j < take.mNodes.size(); ++j) {
            const ModelNode& n = take.mNodes[j];
            KZeqNode* node = FindWritten(*back, name, n.mName, j == 0, j > 0 ? take.mNodes[j - 1].mName : "",
                                         static_cast<int>(j));
            ASSERT_NE(nullptr, node) << name << ": " << n.mName;
            const bool turn = pass.mPosed && Turns(name) && j + 1 == take.mNodes.size();
            for (int f = 0; f < frames; ++f) {
                const double seconds = f / pass.mRate;
                if (baked && !take.WorldExactAt(j, seconds)) continue;
                KTime time;
                time.SetSecondDouble(seconds);
                const KZeqXMatrix& got = node->GetGlobalFromCurrentTake(time);
                const Mat4 want = take.World(j, seconds);
                const std::string at = name + ": " + n.mName + " (order " + std::to_string(n.mOrder) + ") at " +
                                       std::to_string(seconds) + " s";
                for (int a = 0; a < 3; ++a) ASSERT_NEAR(want[3][a], got.GetT()[a], 1e-4 * size) << at << " axis " << a;
                if (!turn) continue;
                // Its axes, whatever the scaling along them.
                for (int r = 0; r < 3; ++r) {
                    const KZeqVector4 axis = got.GetRow(r);
                    const double g = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
                    const double w =
                        std::sqrt(want[r][0] * want[r][0] + want[r][1] * want[r][1] + want[r][2] * want[r][2]);
                    for (int a = 0; a < 3; ++a)
                        ASSERT_NEAR(want[r][a] / w, axis[a] / g, 2e-4) << at << ": the turn, axis " << r;
                }
            }
        }
        mManager.DestroyKZeqScene(back, true);
    }
}

TEST_P(MotionTakeModelWrite, EveryJointWhereTheTakePutsItWithTheBakeAndWithout) {
    const ModelTake generated = Generate(GetParam());
    for (const Pass& pass : kPasses) {
        SCOPED_TRACE(pass.mName);
        const ModelTake take = pass.mPosed ? Posed(generated) : generated;
        const std::string path = mDir / (std::string(pass.mPosed ? "posed" : "generated") + ".zeq");
        zeqiotest::MakeZeqFile(path, 6000, 0, ModelSceneFields(take));
        for (bool bake : {false, true}) {
            SCOPED_TRACE(bake ? "baked" : "not baked");
            KZeqScene* scene = Read(path, bake);
            ASSERT_NE(nullptr, scene);
            scene->SetCurrentTake("Take 001");
            // The writers write the selected skeleton.
            for (const ModelNode& n : take.mNodes) {
                KZeqNode* node = scene->GetRootNode()->FindChild(n.mName.c_str(), true);
                ASSERT_NE(nullptr, node) << n.mName;
                node->SetSelected(true);
            }
            WriteAndCheck(take, pass, bake, *scene,
                          mDir / (std::string(pass.mPosed ? "posed-" : "generated-") + (bake ? "baked" : "layered")));
            mManager.DestroyKZeqScene(scene, true);
            if (HasFatalFailure()) return;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Generated, MotionTakeModelWrite, testing::Range(1u, 1u + kSeeds),
                         [](const testing::TestParamInfo<unsigned>& info) {
                             return "Seed" + std::to_string(info.param);
                         });

}  // namespace
}  // namespace zeqmotionwriters

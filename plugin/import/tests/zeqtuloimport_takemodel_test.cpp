// Takes with animation layers and time warps in the arrangements files hold (layers of one, two or
// three channels, constant and keyed; warps on the whole transform and on a vector, written there or
// on an axis channel, composed, holding, ending before and after the take's stop; keys on the 1/30 s
// grid, on 24 frames a second and off both), generated with nulls, meshes, joints, cameras and
// lights in every rotation order: the host puts every node where the take puts it (the model's own
// evaluation, kfiletakemodel_support.h) at the times the bake holds exactly (its keys, its grid, its
// ends and after them) after the import, after merging the file into its own import in both modes,
// and after the host's export imported again.
#include "importtest_support.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "content/kzeqmesh.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqnodelimits.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
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

// A take's time warps and animation layers, baked into the host's curves, as a property over
// generated files. No writer writes time warps: each case writes its 6.0 file as field text, nulls
// in every rotation order with a pre-rotation or none, keyed on translation and rotation (keys up
// to 360 degrees apart). A warped take puts one of two time warps on the whole transform of some
// nodes, on the translation or the rotation alone of others; a layered take puts a layer on the
// translation (added) or the rotation (turning first, then the base rotation, in the node's order)
// or both. What a node means at a time comes from the generator's own values through the format's
// transform (kfiletransform_support.h): a warped channel is its curve at the warped time. The
// import puts every node there at the keys, between them and after them, in each import mode (a
// new scene; merged and merged exclusively into the import of the file without warps and layers);
// the host's export holds the same, and so does that export imported again.
#include "importtest_support.h"

#include <cstdio>
#include <functional>
#include <iterator>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "io/tests/zeqroundtrip.h"
#include "scene/tests/kfiletakelayers_support.h"
#include "scene/tests/kfiletransform_support.h"
#include "tulo.h"

using namespace importtest;
using zeqtest::Mat4;

namespace {

const int kNodesPerFile = 12;
const unsigned kCases = 6;
// The keys (0, 0.5 and 1 s), between them and after them, on frames of both the host's 24 and the
// bake's 30 per second.
const double kTimes[] = {0.0, 1.0 / 6.0, 1.0 / 3.0, 0.5, 2.0 / 3.0, 5.0 / 6.0, 1.0, 1.5};
const long long kTicksPerSecond = zeqtest::kFieldTicksPerSecond;

using Keys = zeqtest::ScalarKeys;
using zeqtest::eNoLayer;
using zeqtest::eNoWarp;
using zeqtest::eRotationLayer;
using zeqtest::eTranslationLayer;
using zeqtest::eWarpTransform;

struct BakedNode : zeqtest::TakeLayering {
    std::string mName;
    int mOrder = 0;
    double mPre[3] = {0, 0, 0};
    Keys mT[3], mR[3];

    // Where the file puts the node at the time.
    Mat4 World(double t) const {
        return zeqtest::FileLocalMatrix(zeqtest::LayeredValues(*this, t, [this](double at) {
            zeqtest::FileTransformValues v;
            for (int i = 0; i < 3; ++i) {
                v.t[i] = zeqtest::At(mT[i], at);
                v.r[i] = zeqtest::At(mR[i], at);
                v.preRotation[i] = mPre[i];
            }
            v.rotationOrder = mOrder;
            return v;
        }));
    }
};

struct Generated {
    bool mWarped = false;  // the take holds the time warps
    std::vector<BakedNode> mNodes;
    std::map<std::string, bool> mKinds;  // what the cases reach
};

// Odd seeds warp, even ones layer.
bool Warped(unsigned seed) { return seed % 2 == 1; }

Generated Generate(unsigned seed) {
    std::mt19937 random(seed);
    const auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    const auto value = [&](double range) { return std::uniform_real_distribution<double>(-range, range)(random); };
    Generated out;
    out.mWarped = Warped(seed);
    for (int i = 0; i < kNodesPerFile; ++i) {
        BakedNode node;
        node.mName = "n" + std::to_string(i);
        // Every order with a pre-rotation and without one.
        node.mOrder = i % 6;
        if (i >= 6)
            for (double& angle : node.mPre) angle = value(180);
        for (int axis = 0; axis < 3; ++axis) {
            node.mT[axis] = {{0, value(5)}, {0.5, value(5)}, {1, value(5)}};
            node.mR[axis] = {{0, value(180)}, {0.5, value(180)}, {1, value(180)}};
        }
        std::string about = "order " + std::to_string(node.mOrder) + (i >= 6 ? " pre-rotation" : "");
        if (Warped(seed)) {
            // A node in six without: it comes in as it is beside the warped ones. The first two warps
            // (the third plays past the times read).
            node.mWarpPlace = pick(6) == 0 ? eNoWarp : static_cast<zeqtest::ETakeWarp>(1 + pick(3));
            node.mWarp = pick(2);
            static const char* const kPlaces[] = {"not warped", "warped transform", "warped translation",
                                                  "warped rotation"};
            out.mKinds[kPlaces[node.mWarpPlace]] = true;
            about += " warped";
        } else {
            node.mLayers = pick(4);
            for (int axis = 0; axis < 3; ++axis) {
                node.mLayerT[axis] = {{0, value(3)}, {1, value(3)}};
                node.mLayerR[axis] = {{0, value(60)}, {1, value(60)}};
            }
            static const char* const kLayers[] = {"no layer", "translation layer", "rotation layer", "both layers"};
            out.mKinds[kLayers[node.mLayers]] = true;
            about += " layered";
        }
        out.mKinds[about] = true;
        out.mNodes.push_back(node);
    }
    return out;
}

// Every kind a generated file may hold.
std::map<std::string, bool> AllKinds() {
    std::map<std::string, bool> all;
    for (int order = 0; order < 6; ++order)
        for (const char* pre : {"", " pre-rotation"})
            for (const char* take : {" warped", " layered"}) all["order " + std::to_string(order) + pre + take] = true;
    for (const char* kind : {"not warped", "warped transform", "warped translation", "warped rotation", "no layer",
                             "translation layer", "rotation layer", "both layers"})
        all[kind] = true;
    return all;
}

// The file's main section as field text; without its warps and layers when plain.
std::string Fields(const Generated& generated, bool plain) {
    std::string objects, connections, takes;
    for (const BakedNode& node : generated.mNodes) {
        const std::string model = "\"Model::" + node.mName + "\"";
        objects += "Model: " + model + ", \"Null\" {;Version: 232;Properties60: {;" +
                   "Property: \"RotationOrder\",\"Enum\",\"\"," + std::to_string(node.mOrder) + ";" +
                   "Property: \"PreRotation\",\"Vector\",\"\"," + zeqtest::FieldNumber(node.mPre[0]) + "," +
                   zeqtest::FieldNumber(node.mPre[1]) + "," + zeqtest::FieldNumber(node.mPre[2]) + ";" +
                   "Property: \"RotationActive\",\"Bool\",\"\",1;};Type: \"Null\";};";
        connections += "Connect: \"OO\", " + model + ", \"Model::Scene\";";
        const zeqtest::TakeLayering layering = plain ? zeqtest::TakeLayering() : zeqtest::TakeLayering(node);
        takes += zeqtest::TakeModelField(model, node.mT, node.mR, layering);
    }
    const std::string warps = !plain && generated.mWarped ? zeqtest::TimeWarpsField() : "";
    return "Definitions: {;ObjectType: \"Model\";};Objects: {;" + objects + "};Connections: {;" + connections +
           "};Takes: {;Current: \"Take 001\";Take: \"Take 001\" {;FileName: \"Take_001.tak\";LocalTime: 0," +
           std::to_string(kTicksPerSecond) + ";ReferenceTime: 0," + std::to_string(kTicksPerSecond) + ";" + warps +
           takes + "};};";
}

// The file of the generated nodes, as field text (ASCII: key lists as written by hand are the
// text form's).
std::string WriteFile(const std::string& path, const Generated& generated, bool plain) {
    zeqiotest::MakeZeqFile(path, 6000, 0, Fields(generated, plain));
    return path;
}

// The worked example: X keyed 0 at 0 s and 10 at 1 s comes in as 0, 2.5 and 5 at 0, 0.5 and 1 s
// under a half-speed time warp, and as 5, 10 and 15 with a translation layer that adds 5.
using TakeBakeExampleTest = ImportModeTest;

TEST_F(TakeBakeExampleTest, HalfSpeedAndAnAddedFive) {
    Generated generated;
    generated.mWarped = true;
    for (const char* name : {"warped", "layered"}) {
        BakedNode node;
        node.mName = name;
        node.mT[0] = {{0, 0}, {1, 10}};
        node.mT[1] = node.mT[2] = node.mR[0] = node.mR[1] = node.mR[2] = {{0, 0}};
        node.mWarpPlace = node.mName == "warped" ? eWarpTransform : eNoWarp;
        node.mLayers = node.mName == "layered" ? eTranslationLayer : eNoLayer;
        node.mLayerT[0] = {{0, 5}};
        node.mLayerT[1] = node.mLayerT[2] = node.mLayerR[0] = node.mLayerR[1] = node.mLayerR[2] = {{0, 0}};
        generated.mNodes.push_back(node);
    }
    ASSERT_TRUE(ImportAtZero(WriteFile(mDirectory + "example.zeq", generated, false))) << Log();
    std::string values;
    for (const char* plug : {"warped.translateX", "layered.translateX"})
        for (double t : {0.0, 0.5, 1.0}) {
            TAnimControl::setCurrentTime(TTime(t, TTime::kSeconds));
            values += HostAttr(plug) + " ";
        }
    EXPECT_EQ(values, "0 2.5 5 5 10 15 ");
}

class TakeBakeTest : public ImportModeTest, public ::testing::WithParamInterface<unsigned> {
protected:
    // Every node where the file puts it, at every time.
    void ExpectInPlace(const Generated& generated, const std::string& what) {
        for (const BakedNode& node : generated.mNodes) {
            ASSERT_FALSE(HostPath(node.mName).empty()) << node.mName << " " << what << "\n" << Log();
            for (double t : kTimes)
                EXPECT_TRUE(NearWorld(node.World(t), HostWorld(node.mName, t)))
                    << node.mName << " (order " << node.mOrder << ") " << what << ", at " << t << " s";
        }
    }
    std::string File(const char* name, const Generated& generated, bool plain) {
        return WriteFile(mDirectory + name + ".zeq", generated, plain);
    }
};

TEST_P(TakeBakeTest, TheHostPlaysWhatTheTakeMeans) {
    const Generated generated = Generate(GetParam());
    const std::string file = File("baked", generated, false), plain = File("plain", generated, true);
    ASSERT_TRUE(Run("file -f -new") && ImportAtZero(file)) << Log();
    ExpectInPlace(generated, "imported");

    for (const char* mode : {"kMerge", "kExclusiveMerge"}) {
        ASSERT_TRUE(Run("file -f -new") && ImportAtZero(plain)) << Log();
        LoadMode(mode);
        ASSERT_TRUE(ImportAtZero(file)) << Log();
        ExpectInPlace(generated, std::string("merged (") + mode + ")");
        LoadMode("kCreate");
    }

    ASSERT_TRUE(Run("file -f -new") && ImportAtZero(file)) << Log();
    const std::string back = mDirectory + "back.zeq";
    ASSERT_TRUE(Run("ZEQExport -f \"" + back + "\""));
    const auto exported = FileWorlds(back, {std::begin(kTimes), std::end(kTimes)});
    for (const BakedNode& node : generated.mNodes) {
        const auto found = exported.find(node.mName);
        ASSERT_NE(found, exported.end()) << node.mName;
        for (std::size_t k = 0; k < std::size(kTimes); ++k)
            EXPECT_TRUE(NearWorld(node.World(kTimes[k]), found->second[k]))
                << node.mName << " (order " << node.mOrder << ") exported, at " << kTimes[k] << " s";
    }
    ASSERT_TRUE(Run("file -f -new") && ImportAtZero(back)) << Log();
    ExpectInPlace(generated, "imported again from the export");
}

INSTANTIATE_TEST_SUITE_P(Generated, TakeBakeTest, ::testing::Range(1u, 1u + kCases),
                         [](const ::testing::TestParamInfo<unsigned>& info) {
                             return (Warped(info.param) ? "WarpedSeed" : "LayeredSeed") + std::to_string(info.param);
                         });

TEST(TakeBakeGeneratorTest, TheSeedsReachEveryKind) {
    std::map<std::string, bool> missed = AllKinds();
    for (unsigned seed = 1; seed <= kCases; ++seed)
        for (const auto& kind : Generate(seed).mKinds) missed.erase(kind.first);
    std::string text;
    for (const auto& kind : missed) text += "\"" + kind.first + "\" ";
    EXPECT_EQ(text, "");
}

}  // namespace

// Channels that do not move, as every motion reader's constant-key reducer leaves them (a curve
// holding its value and no key), written by the 3DS writer and read back by our reader and by
// lib3ds: every node, light, camera and target where the scene's evaluation puts it frame by
// frame, with its colour, cone, field of view and roll, in an animated scene and in one without
// keys; and motion files read with the reducer, every joint and marker where the file has it.

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "formats/geometry/3ds/kzeqwriter3ds.h"
#include "formats/geometry/3ds/tests/k3dspeer.h"
#include "formats/geometry/3ds/tests/k3dsscene.h"
#include "formats/geometry/3ds/tests/k3dstakereading.h"
#include "io/kstreamoptionsmotion.h"

namespace zeq3dstest {
namespace {

class Constant3dsTest : public TakeReading3dsTest {
protected:
    static KFCurve* Hold(KFCurve* curve, double value) {
        curve->KeyClear();
        curve->SetValue(static_cast<float>(value));
        return curve;
    }
    void HoldTransform(KZeqNode* node, const std::vector<double>& trs) {
        KZeqTakeNode* take = Take(node);
        KFCurve* const curves[9] = {take->GetTranslationX(), take->GetTranslationY(), take->GetTranslationZ(),
                                    take->GetEulerRotationX(), take->GetEulerRotationY(), take->GetEulerRotationZ(),
                                    take->GetScaleX(),       take->GetScaleY(),       take->GetScaleZ()};
        for (std::size_t c = 0; c < trs.size(); ++c) Hold(curves[c], trs[c]);
    }
    // A mesh and a null under an animated null (still: without keys), an omnilight, spotlights
    // with a target and without, cameras with a target and without (one of vertical aperture):
    // each of their channels constant at a value other than its default.
    void BuildEveryKind(bool still) {
        KZeqNode* mover = AddNode("Mover");
        if (!still) LinearKeys(Take(mover)->GetTranslationX(), {{0, 0}, {20, 8}});
        KZeqNode* box = AddNode("Box", mover);
        AddQuad(box);
        HoldTransform(box, {4, 5, 6, 10, 20, 30, 2, 1.5, 0.5});
        HoldTransform(AddNode("Empty", box), {-1, 2, -3, 0, 45, 0, 1.25, 1.25, 1.25});

        KZeqNode* omni = AddNode("Omni");
        AddLight(omni, KZeqLight::ePOINT);
        HoldTransform(omni, {7, 8, 9});
        Hold(Take(omni)->GetColorR(), 0.25), Hold(Take(omni)->GetColorG(), 0.5), Hold(Take(omni)->GetColorB(), 0.75);

        for (const char* name : {"Spot", "FreeSpot"}) {
            KZeqNode* spot = AddNode(name);
            AddLight(spot, KZeqLight::eSPOT);
            HoldTransform(spot, {0, 10, 3, -60, 15, 0});
            Hold(Take(spot)->GetColorR(), 0.9), Hold(Take(spot)->GetColorG(), 0.1), Hold(Take(spot)->GetColorB(), 0.3);
            Hold(Take(spot)->GetLightConeAngle(), 33.0);
            if (std::string(name) == "Spot") {
                KZeqNode* aim = AddNode("Aim");
                HoldTransform(aim, {1, -2, 3});
                spot->SetTarget(aim);
            }
        }
        for (const char* name : {"Cam", "FreeCam"}) {
            KZeqNode* node = AddNode(name);
            KZeqCamera* camera = mManager.CreateKZeqCamera();
            node->SetNodeAttribute(camera);
            Hold(Take(node)->GetCameraFieldOfView(), 62.0);
            Hold(Take(node)->GetCameraRoll(), 12.0);
            if (std::string(name) == "Cam") {
                camera->SetApertureMode(KZeqCamera::eHORIZONTAL);
                HoldTransform(node, {-5, 4, 20});
                KZeqNode* look = AddNode("Look");
                HoldTransform(look, {2, 3, -4});
                node->SetTarget(look);
            } else {
                // Level: the file's roll, which also carries the tilt, is the camera's own.
                camera->SetApertureMode(KZeqCamera::eVERTICAL);
                HoldTransform(node, {6, -1, 2, 0, 70, 0});
            }
        }
    }

    // The source's curves without keys (the test's premise), counted.
    static int KeylessCurves(KZeqScene& scene) {
        int count = 0;
        std::vector<KZeqNode*> nodes;
        Collect(scene.GetRootNode(), nodes);
        for (KZeqNode* node : nodes) {
            KZeqTakeNode* take = node->GetCurrentTakeNode();
            if (!take || take == node->GetDefaultTakeNode()) continue;
            for (KFCurve* curve : {take->GetTranslationX(), take->GetTranslationY(), take->GetTranslationZ(),
                                   take->GetEulerRotationX(), take->GetEulerRotationY(), take->GetEulerRotationZ()})
                count += curve && curve->KeyGetCount() == 0;
        }
        return count;
    }
};

class EveryKind3dsTest : public Constant3dsTest, public testing::WithParamInterface<bool> {};

TEST_P(EveryKind3dsTest, WhereTheTakeHoldsIt) {
    const bool still = GetParam();
    BuildEveryKind(still);
    const std::string path = WriteScene(NoRescale());
    const std::vector<long long> frames = still ? std::vector<long long>{0} : std::vector<long long>{0, 7, 20};
    ExpectOurReading(path, *mScene, frames);
    SKIP_WITHOUT_LIB3DS();
    ExpectPeerReading(path, *mScene, frames);
}

INSTANTIATE_TEST_SUITE_P(Scenes, EveryKind3dsTest, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "WithoutKeys" : "Animated");
                         });

// ---- Motion files read with the constant-key reducer ---------------------------------------

struct MotionSource {
    const char* mName;
    int mRow;
    // The files, the first the one read (an AMC is read after its ASF).
    std::vector<std::pair<std::string, std::string>> mFiles;
    int mFrames;
};
void PrintTo(const MotionSource& source, std::ostream* os) { *os << source.mName; }

// A root that stays at height 30 turned 40 and 25 degrees, a spine that turns, a still arm.
const char* const kBvhHierarchy = R"(HIERARCHY
ROOT Hips
{
  OFFSET 0 0 0
  CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation
  JOINT Spine
  {
    OFFSET 0 10 0
    CHANNELS 3 Zrotation Xrotation Yrotation
    JOINT Head
    {
      OFFSET 0 8 1
      CHANNELS 3 Zrotation Xrotation Yrotation
      End Site
      {
        OFFSET 0 4 0
      }
    }
  }
  JOINT Arm
  {
    OFFSET 6 9 0
    CHANNELS 3 Zrotation Xrotation Yrotation
    End Site
    {
      OFFSET 5 0 0
    }
  }
}
)";

std::string Bvh(const std::vector<std::string>& rows) {
    std::string text = std::string(kBvhHierarchy) + "MOTION\nFrames: " + std::to_string(rows.size()) +
                       "\nFrame Time: 0.0333333\n";
    for (const std::string& row : rows) text += row + "\n";
    return text;
}

const char* const kAsf = R"(:version 1.10
:name still
:units
  mass 1.0
  length 1.0
  angle deg
:root
   order TX TY TZ RX RY RZ
   axis XYZ
   position 0 0 0
   orientation 0 0 0
:bonedata
  begin
    id 1
    name back
    direction 0 1 0
    length 10
    axis 0 0 0 XYZ
    dof rx ry rz
  end
  begin
    id 2
    name neck
    direction 0 1 0
    length 5
    axis 0 0 0 XYZ
    dof rx ry rz
  end
  begin
    id 3
    name leg
    direction 0 -1 0
    length 12
    axis 0 0 0 XYZ
    dof rx
  end
:hierarchy
  begin
    root back leg
    back neck
  end
)";

const char* const kAmc = R"(:FULLY-SPECIFIED
:DEGREES
1
root 3 20 -4 10 30 0
back 0 0 25
neck 5 0 0
leg 10
2
root 3 20 -4 10 30 0
back 0 0 25
neck 15 0 0
leg 10
3
root 3 20 -4 10 30 0
back 0 0 25
neck 25 0 0
leg 10
)";

// A marker that stays put and one that moves.
const char* const kTrc =
    "PathFileType\t4\t(X/Y/Z)\tx.trc\n"
    "DataRate\tCameraRate\tNumFrames\tNumMarkers\tUnits\tOrigDataRate\tOrigDataStartFrame\tOrigNumFrames\n"
    "30\t30\t3\t2\tcm\t30\t1\t3\n"
    "Frame#\tTime\tStill\t\t\tMoving\t\t\n"
    "\t\tX1\tY1\tZ1\tX2\tY2\tZ2\n"
    "\n"
    "1\t0.0\t4\t30\t-2\t0\t1\t2\n"
    "2\t0.0333\t4\t30\t-2\t1\t1\t2\n"
    "3\t0.0667\t4\t30\t-2\t2\t1\t2\n";

const MotionSource kSources[] = {
    {"Bvh",
     KZeqImporter::eBIOVISION_BVH,
     {{"take.bvh", Bvh({"5 30 2 40 25 0 0 0 0 0 0 0 10 -20 30", "5 30 2 40 25 0 10 5 0 0 0 0 10 -20 30",
                        "5 30 2 40 25 0 20 10 0 0 0 0 10 -20 30", "5 30 2 40 25 0 30 15 0 0 0 0 10 -20 30"})}},
     4},
    // One frame: a pose.
    {"BvhPose", KZeqImporter::eBIOVISION_BVH, {{"pose.bvh", Bvh({"5 30 2 40 25 0 -15 0 35 0 0 0 10 -20 30"})}}, 1},
    {"AsfAmc", KZeqImporter::eACCLAIM_ASF, {{"still.asf", kAsf}, {"still.amc", kAmc}}, 3},
    {"Trc", KZeqImporter::eMOTION_ANALYSIS_TRC, {{"still.trc", kTrc}}, 3},
};

class MotionFile3dsTest : public Constant3dsTest, public testing::WithParamInterface<MotionSource> {
protected:
    // The source read with the readers' own options (the reducer on).
    void Read() {
        const MotionSource& source = GetParam();
        std::vector<std::string> paths;
        for (const auto& [name, text] : source.mFiles) paths.push_back(WriteText(name, text));
        if (source.mRow != KZeqImporter::eACCLAIM_ASF) {
            ASSERT_TRUE(Import(paths[0], source.mRow)) << mMessage.Buffer();
            return;
        }
        KZeqImporter asf(mManager);
        asf.SetFileFormat(KZeqImporter::eACCLAIM_ASF);
        ASSERT_TRUE(asf.Initialize(paths[0].c_str()));
        auto* options = static_cast<KStreamOptionsMotion*>(asf.GetImportOptions());
        ASSERT_TRUE(options && asf.Import(*mScene, options));
        options->SetTimeMode(KTime::eModeDefault, 30.0);
        options->SetStart(KTime());
        options->SetFrameCount(source.mFrames);
        KZeqImporter amc(mManager);
        amc.SetFileFormat(KZeqImporter::eACCLAIM_AMC);
        ASSERT_TRUE(amc.Initialize(paths[1].c_str()));
        ASSERT_TRUE(amc.Import(*mScene, options));
        options->Destroy();
    }
};

TEST_P(MotionFile3dsTest, EveryJointWhereTheFileHasIt) {
    ASSERT_NO_FATAL_FAILURE(Read());
    ASSERT_GT(KeylessCurves(*mScene), 0) << "the reducer left no constant channel";
    const std::string path = WriteScene(NoRescale());
    std::vector<long long> frames;
    for (int f = 0; f < GetParam().mFrames; ++f) frames.push_back(f);
    ExpectOurReading(path, *mScene, frames);
    SKIP_WITHOUT_LIB3DS();
    ExpectPeerReading(path, *mScene, frames);
}

INSTANTIATE_TEST_SUITE_P(Files, MotionFile3dsTest, testing::ValuesIn(kSources),
                         [](const testing::TestParamInfo<MotionSource>& info) { return info.param.mName; });

}  // namespace
}  // namespace zeq3dstest

// A take whose last key falls between two frames of 30 a second, written as 3DS: the file reaches
// the frame at or after that key, which holds the take's value there, as our reader and lib3ds
// read it; the file's length is that frame. A time within a tick of a frame is that frame.

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "formats/geometry/3ds/kzeqwriter3ds_motion.h"
#include "formats/geometry/3ds/tests/k3dstakereading.h"

namespace zeq3dstest {
namespace {

constexpr long long kTicksPerFrame = 1539538600LL;

TEST(FrameReaching3dsTest, AtOrAfterWithinATick) {
    struct Case {
        long long mTicks, mFrame;
    };
    const Case cases[] = {
        {0, 0},
        {30 * kTicksPerFrame, 30},
        {30 * kTicksPerFrame - 1, 30},  // a tick short, as seconds set it: that frame
        {30 * kTicksPerFrame + 1, 30},  // a tick late: that frame still, not the next
        {30 * kTicksPerFrame + 2, 31},
        {30 * kTicksPerFrame - 2, 30},
        {29 * kTicksPerFrame + 1, 29},
        {45724296420LL, 30},  // 0.99 s
        {-1, 0},
        {-kTicksPerFrame - 2, -1},
    };
    for (const Case& c : cases) EXPECT_EQ(motion3ds::FrameReaching(KTime(c.mTicks)), c.mFrame) << c.mTicks;
    // The infinities do not overflow.
    EXPECT_GT(motion3ds::FrameReaching(KTime::Infinite()), 0);
    EXPECT_LT(motion3ds::FrameReaching(KTime::MinusInfinite()), 0);
}

// Frame time 1/120 s: the last pose, 5/120 s in, lies between frames 1 and 2 of 30 a second.
const char* const kBvh120 = R"(HIERARCHY
ROOT Hips
{
  OFFSET 0 0 0
  CHANNELS 6 Xposition Yposition Zposition Zrotation Xrotation Yrotation
  JOINT Spine
  {
    OFFSET 0 10 0
    CHANNELS 3 Zrotation Xrotation Yrotation
    End Site
    {
      OFFSET 0 5 0
    }
  }
}
MOTION
Frames: 6
Frame Time: 0.00833333
0 30 0 0 0 0 0 0 0
1 30 0 0 0 0 5 0 0
2 30 0 0 0 0 10 0 0
3 30 0 0 0 0 15 0 0
4 30 0 0 0 0 20 0 0
10 30 0 0 0 0 50 0 0
)";

enum ELastFrameScene { eREACHING_TEN, eKEYED_FROM_SECONDS, eBVH_AT_120, eEVERY_KIND };

struct LastFrameCase {
    const char* mName;
    ELastFrameScene mScene;
    long long mLastFrame;  // the frame at or after the take's last key
};
void PrintTo(const LastFrameCase& c, std::ostream* os) { *os << c.mName; }

const LastFrameCase kCases[] = {
    {"XReachingTenAtPointNineNineSeconds", eREACHING_TEN, 30},
    {"KeyedAtFramesZeroToElevenFromSeconds", eKEYED_FROM_SECONDS, 11},
    {"BvhAt120FramesASecond", eBVH_AT_120, 2},
    {"EveryKindOfTrackEndingBetweenFrames", eEVERY_KIND, 23},
};

class LastFrame3dsTest : public TakeReading3dsTest, public testing::WithParamInterface<LastFrameCase> {
protected:
    void Build() {
        switch (GetParam().mScene) {
            case eREACHING_TEN: {
                KZeqNode* node = AddNode("Mover");
                AddQuad(node);
                LinearKeys(Take(node)->GetTranslationX(), {{0, 0}, {29.7, 10}});
                break;
            }
            case eKEYED_FROM_SECONDS: {
                KZeqNode* node = AddNode("Mover");
                AddQuad(node);
                KFCurve* curve = Take(node)->GetTranslationX();
                for (int f = 0; f <= 11; ++f) {
                    KTime time;
                    time.SetSecondDouble(f / 30.0);
                    KFCurveKey key;
                    key.Set(time, static_cast<float>(f * f), KFCURVE_INTERPOLATION_LINEAR, 0, 0, 0, 0, 0, 0, 0, 0);
                    curve->KeyAdd(time, key);
                }
                ASSERT_EQ(curve->KeyGet(11).GetTime(), KTime(11 * kTicksPerFrame - 1)) << "premise: a tick short";
                break;
            }
            case eBVH_AT_120:
                ASSERT_TRUE(Import(WriteText("take.bvh", kBvh120), KZeqImporter::eBIOVISION_BVH)) << mMessage.Buffer();
                break;
            case eEVERY_KIND: BuildEveryKind(); break;
        }
    }

    // Each node's last key at frame 20.5 in another kind of track, its target's at 22.5.
    void BuildEveryKind() {
        KZeqNode* box = AddNode("Box");
        AddQuad(box);
        LinearKeys(Take(box)->GetScaleY(), {{0, 1}, {20.5, 3}});
        KZeqNode* omni = AddNode("Omni");
        AddLight(omni, KZeqLight::ePOINT);
        LinearKeys(Take(omni)->GetColorG(), {{0, 0.2}, {20.5, 0.9}});
        KZeqNode* spot = AddNode("Spot");
        AddLight(spot, KZeqLight::eSPOT);
        LinearKeys(Take(spot)->GetLightConeAngle(), {{0, 30}, {20.5, 60}});
        KZeqNode* aim = AddNode("Aim");
        LinearKeys(Take(aim)->GetTranslationZ(), {{0, -3}, {22.5, 3}});
        spot->SetTarget(aim);
        KZeqNode* freeSpot = AddNode("FreeSpot");
        AddLight(freeSpot, KZeqLight::eSPOT);
        LinearKeys(Take(freeSpot)->GetEulerRotationX(), {{0, 0}, {20.5, 60}});
        KZeqNode* cam = AddNode("Cam");
        cam->SetNodeAttribute(mManager.CreateKZeqCamera());
        cam->GetCamera()->SetApertureMode(KZeqCamera::eHORIZONTAL);
        LinearKeys(Take(cam)->GetCameraFieldOfView(), {{0, 40}, {20.5, 70}});
        KZeqNode* look = AddNode("Look");
        LinearKeys(Take(look)->GetTranslationX(), {{0, 2}, {22.5, 8}});
        cam->SetTarget(look);
        KZeqNode* freeCam = AddNode("FreeCam");
        freeCam->SetNodeAttribute(mManager.CreateKZeqCamera());
        LinearKeys(Take(freeCam)->GetCameraRoll(), {{0, 0}, {20.5, 30}});
    }
};

TEST_P(LastFrame3dsTest, TheFileReachesTheLastKeyHoldingTheTakesValue) {
    ASSERT_NO_FATAL_FAILURE(Build());
    const long long last = GetParam().mLastFrame;
    const std::string path = WriteScene(NoRescale());
    {
        Written3ds file(path);
        kfsets3dsHeld sets;
        GetKfSets3ds(file.Db(), &sets.mRecord);
        ASSERT_NE(sets.mRecord, nullptr);
        EXPECT_EQ(sets->anim.length, last) << "the file's length";
    }
    const std::vector<long long> frames = {0, last - 2, last - 1, last, last + 1};
    ExpectOurReading(path, *mScene, frames);
    SKIP_WITHOUT_LIB3DS();
#ifdef ZEQ_HAVE_LIB3DS
    h::Scene peer;
    std::string error;
    ASSERT_TRUE(h::Load(path, peer, &error)) << error;
    EXPECT_EQ(peer.frames, last) << "the file's length (lib3ds)";
    std::int32_t lastKey = 0;
    for (const h::Node& node : peer.nodes)
        for (const h::Track* track : {&node.position, &node.rotation, &node.scale, &node.fov, &node.roll, &node.color,
                                      &node.hotspot, &node.falloff})
            if (!track->keys.empty()) lastKey = std::max(lastKey, track->keys.back().frame);
    EXPECT_EQ(lastKey, last) << "the last key (lib3ds)";
#endif
    ExpectPeerReading(path, *mScene, frames);
}

INSTANTIATE_TEST_SUITE_P(Takes, LastFrame3dsTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<LastFrameCase>& info) { return info.param.mName; });

}  // namespace
}  // namespace zeq3dstest

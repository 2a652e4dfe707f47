// The 3DS writer's omnilight, spotlight and camera motion (with targets given
// or computed), read back by our reader and lib3ds; and the deformed-positions
// toolbox.

#include <cmath>
#include <random>

#include "content/kzeqlink.h"
#include "content/kzeqshape.h"
#include "formats/geometry/3ds/kzeqwriter3ds.h"
#include "formats/geometry/3ds/tests/k3dspeer.h"
#include "formats/geometry/3ds/tests/k3dsscene.h"
#include "scene/tests/kfiletakelayers_scene.h"

namespace zeq3dstest {
namespace {

class Motion3dsTest : public Writer3dsTest {
protected:
    KZeqLight* AddLight(KZeqNode* node, KZeqLight::ELightType type) {
        KZeqLight* light = mManager.CreateKZeqLight();
        light->SetLightType(type);
        node->SetNodeAttribute(light);
        return light;
    }
    KZeqCamera* AddCamera(KZeqNode* node) {
        KZeqCamera* camera = mManager.CreateKZeqCamera();
        node->SetNodeAttribute(camera);
        return camera;
    }
    static void ExpectNear(const KZeqVector4& a, const KZeqVector4& b, double tolerance, const std::string& what) {
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(a[i], b[i], tolerance) << what << " axis " << i;
    }
    static KZeqVector4 Position(KZeqNode* node, long long frame) {
        return node->GetGlobalFromCurrentTake(Frame30(frame)).GetRow(3);
    }
    static const auto& NoRescale() {
        static const Tweak tweak = [](KStreamOptionsBase& o) { o.SetOption(KStreamOptionsBase::eRESCALE, 0); };
        return tweak;
    }
};

// ---- Round trips ---------------------------------------------------------------------------

TEST_F(Motion3dsTest, OmnilightWithAnimatedColourRoundTrips) {
    KZeqNode* node = AddNode("Omni");
    AddLight(node, KZeqLight::ePOINT)->SetDefaultIntensity(80);
    LinearKeys(Take(node)->GetTranslationX(), {{0, 0}, {10, 4}});
    LinearKeys(Take(node)->GetColorG(), {{0, 0.2}, {10, 0.9}});
    const std::string path = WriteScene(NoRescale());
    KZeqScene* back = mManager.CreateKZeqScene();
    ASSERT_TRUE(Import3ds(path, NoRescale(), back));
    KZeqNode* read = Find("Omni", back);
    ASSERT_TRUE(read && read->GetLight());
    EXPECT_NEAR(read->GetLight()->GetDefaultIntensity(), 80.0, 1e-4);
    for (long long f = 0; f <= 10; ++f) {
        ExpectNear(Position(read, f), Position(node, f), 1e-4, "position");
        EXPECT_NEAR(read->GetCurrentTakeNode()->GetColorG()->Evaluate(Frame30(f)),
                    node->GetCurrentTakeNode()->GetColorG()->Evaluate(Frame30(f)), 1e-5);
    }
}

class SpotRoundTrip : public Motion3dsTest, public testing::WithParamInterface<bool> {};

TEST_P(SpotRoundTrip, ConeAndTargetPerFrame) {
    const bool withTarget = GetParam();
    KZeqNode* node = AddNode("Spot");
    AddLight(node, KZeqLight::eSPOT);
    LinearKeys(Take(node)->GetTranslationY(), {{0, 5}, {20, 8}});
    LinearKeys(Take(node)->GetEulerRotationX(), {{0, 0}, {20, 60}});
    LinearKeys(Take(node)->GetLightConeAngle(), {{0, 30}, {20, 60}});
    KZeqNode* target = nullptr;
    if (withTarget) {
        target = AddNode("Aim");
        LinearKeys(Take(target)->GetTranslationZ(), {{0, -3}, {20, 3}});
        node->SetTarget(target);
    }
    const std::string path = WriteScene(NoRescale());
    Written3ds file(path);
    kfspot3dsHeld spot;
    GetSpotlightMotionByIndex3ds(file.Db(), 0, &spot.mRecord);
    ASSERT_NE(spot.mRecord, nullptr);
    ASSERT_EQ(spot->nhkeys, 21u);
    for (std::uint32_t k = 0; k < spot->nhkeys; ++k) EXPECT_EQ(spot->hot[k], spot->fall[k]) << k;
    EXPECT_EQ(spot->nrkeys, 1u);
    EXPECT_EQ(spot->roll[0], 0.0f);

    KZeqScene* back = mManager.CreateKZeqScene();
    ASSERT_TRUE(Import3ds(path, NoRescale(), back));
    KZeqNode* read = Find("Spot", back);
    ASSERT_TRUE(read && read->GetLight() && read->GetTarget());
    for (long long f = 0; f <= 20; ++f) {
        ExpectNear(Position(read, f), Position(node, f), 1e-4, "spot " + std::to_string(f));
        EXPECT_NEAR(read->GetCurrentTakeNode()->GetLightConeAngle()->Evaluate(Frame30(f)), 30 + 1.5 * f, 1e-4);
        // The target: the target node's place, or 10 along the light's -Y.
        KZeqVector4 expected;
        if (withTarget) {
            expected = Position(target, f);
        } else {
            const KZeqXMatrix& global = node->GetGlobalFromCurrentTake(Frame30(f));
            expected = global.MultT(KZeqVector4(0, -10, 0, 1));
        }
        ExpectNear(Position(read->GetTarget(), f), expected, 1e-4, "target " + std::to_string(f));
    }
#ifdef ZEQ_HAVE_LIB3DS
    ExpectSameAsPeer(path, *back, 1.0, {0.0f, 10.0f, 20.0f});
#endif
}

INSTANTIATE_TEST_SUITE_P(Targets, SpotRoundTrip, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "WithTarget" : "WithoutTarget");
                         });

class CameraRoundTrip : public Motion3dsTest, public testing::WithParamInterface<bool> {};

TEST_P(CameraRoundTrip, FovRollAndTargetPerFrame) {
    const bool withTarget = GetParam();
    KZeqNode* node = AddNode("Cam");
    AddCamera(node)->SetApertureMode(KZeqCamera::eHORIZONTAL);
    LinearKeys(Take(node)->GetTranslationX(), {{0, -5}, {30, 5}});
    LinearKeys(Take(node)->GetCameraFieldOfView(), {{0, 40}, {30, 70}});
    LinearKeys(Take(node)->GetCameraRoll(), {{0, 0}, {30, 15}});
    KZeqNode* target = nullptr;
    if (withTarget) {
        target = AddNode("Look");
        LinearKeys(Take(target)->GetTranslationY(), {{0, 0}, {30, 6}});
        node->SetTarget(target);
    } else {
        LinearKeys(Take(node)->GetEulerRotationY(), {{0, 0}, {30, 90}});
    }
    const std::string path = WriteScene(NoRescale());
    KZeqScene* back = mManager.CreateKZeqScene();
    ASSERT_TRUE(Import3ds(path, NoRescale(), back));
    KZeqNode* read = Find("Cam", back);
    ASSERT_TRUE(read && read->GetCamera() && read->GetTarget());
    KZeqTakeNode* take = read->GetCurrentTakeNode();
    for (long long f = 0; f <= 30; ++f) {
        ExpectNear(Position(read, f), Position(node, f), 1e-4, "camera");
        EXPECT_NEAR(take->GetCameraFieldOfView()->Evaluate(Frame30(f)), 40 + f, 1e-4);
        // A level camera's tilt is 0: the roll comes back as it was.
        EXPECT_NEAR(take->GetCameraRoll()->Evaluate(Frame30(f)), 0.5 * f, 1e-3);
        const KZeqVector4 expected = withTarget ? Position(target, f)
                                                : node->GetGlobalFromCurrentTake(Frame30(f)).MultT(KZeqVector4(10, 0, 0, 1));
        ExpectNear(Position(read->GetTarget(), f), expected, 1e-4, "target " + std::to_string(f));
    }
}

INSTANTIATE_TEST_SUITE_P(Targets, CameraRoundTrip, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "WithTarget" : "WithoutTarget");
                         });

// A take's time warps and animation layers on an omnilight, a spotlight, a camera and its target:
// the tracks hold them where the take puts them (the scene's evaluation, which its own tests hold
// against the file's meaning) frame by frame until the longest warp ends (4 s), the computed
// target along the spot's turned axis, and the static records where the first frame puts them.
TEST_F(Motion3dsTest, LightsCamerasAndTargetsPlayTheTakesLayersAndWarps) {
    using namespace zeqtest;
    KZeqNode* omni = AddNode("Omni");
    AddLight(omni, KZeqLight::ePOINT);
    LinearKeys(Take(omni)->GetTranslationX(), {{0, 0}, {60, 4}});
    KZeqNode* spot = AddNode("Spot");
    AddLight(spot, KZeqLight::eSPOT);
    LinearKeys(Take(spot)->GetTranslationY(), {{0, 5}, {60, 8}});
    LinearKeys(Take(spot)->GetEulerRotationX(), {{0, 0}, {60, 60}});
    KZeqNode* camera = AddNode("Cam");
    AddCamera(camera)->SetApertureMode(KZeqCamera::eHORIZONTAL);
    LinearKeys(Take(camera)->GetTranslationX(), {{0, -5}, {60, 5}});
    KZeqNode* aim = AddNode("Aim");
    LinearKeys(Take(aim)->GetTranslationZ(), {{0, -3}, {60, 3}});
    camera->SetTarget(aim);
    std::mt19937 random(12);
    const std::pair<KZeqNode*, unsigned> layered[] = {{omni, kLayerKinds | 1u << eWarpTransform},
                                                      {spot, eRotationLayer << 4 | 1u << eWarpRotation},
                                                      {camera, eTranslationLayer << 4 | 1u << eWarpTranslation},
                                                      {aim, eTranslationLayer << 4 | 1u << eWarpTransform}};
    for (const auto& [node, kinds] : layered) {
        TakeLayering layering = RandomTakeLayering(random, kinds);
        layering.mWarp = 2;  // half speed over 4 s
        AddTakeLayering(*node, "Take 001", layering);
    }
    const std::string path = WriteScene(NoRescale());
    {
        Written3ds file(path);
        light3dsHeld light;
        GetOmnilightByIndex3ds(file.Db(), 0, &light.mRecord);
        camera3dsHeld lens;
        GetCameraByIndex3ds(file.Db(), 0, &lens.mRecord);
        ASSERT_TRUE(light.mRecord && lens.mRecord);
        // The file's axes: Z up.
        const auto scene = [](const point3ds& p) { return KZeqVector4(p.x, p.z, -p.y, 1.0); };
        ExpectNear(scene(light->position), Position(omni, 0), 1e-4, "omnilight record");
        ExpectNear(scene(lens->position), Position(camera, 0), 1e-4, "camera record");
        ExpectNear(scene(lens->target), Position(aim, 0), 1e-4, "camera record's target");
    }
    KZeqScene* back = mManager.CreateKZeqScene();
    ASSERT_TRUE(Import3ds(path, NoRescale(), back));
    KZeqNode* read[3] = {Find("Omni", back), Find("Spot", back), Find("Cam", back)};
    ASSERT_TRUE(read[0] && read[1] && read[1]->GetTarget() && read[2] && read[2]->GetTarget());
    for (long long f = 0; f <= 120; f += 5) {
        const std::string at = " at frame " + std::to_string(f);
        ExpectNear(Position(read[0], f), Position(omni, f), 1e-4, "omnilight" + at);
        ExpectNear(Position(read[1], f), Position(spot, f), 1e-4, "spotlight" + at);
        ExpectNear(Position(read[1]->GetTarget(), f),
                   spot->GetGlobalFromCurrentTake(Frame30(f)).MultT(KZeqVector4(0, -10, 0, 1)), 1e-4,
                   "spotlight's target" + at);
        ExpectNear(Position(read[2], f), Position(camera, f), 1e-4, "camera" + at);
        ExpectNear(Position(read[2]->GetTarget(), f), Position(aim, f), 1e-4, "camera's target" + at);
    }
}

// TargetCameraAnim read and written: lib3ds places camera and target where the
// scene does at frames 0, 30, 60 and 90, with fov 45 and roll 0; our reader
// gives back the same curves frame by frame.
TEST_F(Motion3dsTest, TargetCameraAnimPerFrame) {
    SKIP_WITHOUT_3DS_SAMPLES();
    ASSERT_TRUE(Import3ds(Sample("TargetCameraAnim.3ds")));
    KZeqNode* camera = Find("Camera01");
    ASSERT_TRUE(camera && camera->GetTarget());
    const std::string path = Path("tca.3ds");
    ASSERT_TRUE(Export3ds(path));
    KZeqScene* back = mManager.CreateKZeqScene();
    ASSERT_TRUE(Import3ds(path, nullptr, back));
    KZeqNode* read = Find("Camera0", back);
    ASSERT_TRUE(read && read->GetTarget());
    for (long long f = 0; f <= 90; ++f) {
        ExpectNear(Position(read, f), Position(camera, f), 1e-3, "camera " + std::to_string(f));
        ExpectNear(Position(read->GetTarget(), f), Position(camera->GetTarget(), f), 1e-3, "target");
        EXPECT_NEAR(read->GetCurrentTakeNode()->GetCameraFieldOfView()->Evaluate(Frame30(f)),
                    camera->GetCurrentTakeNode()->GetCameraFieldOfView()->Evaluate(Frame30(f)), 1e-4);
        EXPECT_NEAR(read->GetCurrentTakeNode()->GetCameraRoll()->Evaluate(Frame30(f)),
                    camera->GetCurrentTakeNode()->GetCameraRoll()->Evaluate(Frame30(f)), 1e-4);
    }
#ifdef ZEQ_HAVE_LIB3DS
    std::vector<h::Frame> frames;
    ASSERT_TRUE(h::Evaluate(path, {0.0f, 30.0f, 60.0f, 90.0f}, frames));
    for (const h::Frame& frame : frames)
        for (const h::NodeValues& values : frame.nodes) {
            KZeqNode* ours = values.type == h::CameraNode   ? camera
                             : values.type == h::TargetNode ? camera->GetTarget()
                                                            : nullptr;
            if (!ours) continue;
            const KZeqVector4 p = Position(ours, static_cast<long long>(frame.frame));
            // lib3ds's camera and target positions, mapped to the scene's axes and units.
            // The written file holds scene units (its master scale undoes the reader's 2.54).
            const double scene[3] = {values.position[0], values.position[2], -values.position[1]};
            for (int a = 0; a < 3; ++a) EXPECT_NEAR(p[a], scene[a], 1e-3) << values.name << " " << frame.frame;
            if (values.type == h::CameraNode) {
                EXPECT_NEAR(values.fov, 45.0f, 1e-4);
                EXPECT_NEAR(values.roll, 0.0f, 1e-4);
            }
        }
#endif
}

// Meshes under a camera, under a spotlight (a camera or spotlight and its
// target share one name) and under a mesh whose name holds a dot: lib3ds and
// our reader link each to that node, never to a target, and place it where
// the scene does.
TEST_F(Motion3dsTest, ChildrenOfCamerasSpotlightsAndDottedNamesKeepTheirParents) {
    KZeqNode* camera = AddNode("Cam");
    AddCamera(camera);
    camera->SetDefaultT(KZeqVector4(5, 2, -3, 0));
    LinearKeys(Take(camera)->GetTranslationX(), {{0, 5}, {10, 15}});
    KZeqNode* spot = AddNode("Spot");
    AddLight(spot, KZeqLight::eSPOT);
    spot->SetDefaultT(KZeqVector4(-4, 6, 1, 0));
    KZeqNode* dotted = AddNode("Cube.001");
    AddQuad(dotted);
    dotted->SetDefaultT(KZeqVector4(0, 0, 7, 0));
    const std::vector<std::pair<KZeqNode*, const char*>> children = {
        {AddNode("UnderCam", camera), "Cam"}, {AddNode("UnderSpot", spot), "Spot"}, {AddNode("UnderDot", dotted), "Cube.00"}};
    for (const auto& child : children) {
        AddQuad(child.first);
        child.first->SetDefaultT(KZeqVector4(1, 2, 3, 0));
    }
    const std::string path = WriteScene(NoRescale());

    KZeqScene* back = mManager.CreateKZeqScene();
    ASSERT_TRUE(Import3ds(path, NoRescale(), back));
    for (const auto& child : children) {
        KZeqNode* read = Find(Plain(child.first->GetName()), back);
        ASSERT_TRUE(read && read->GetParent()) << child.second;
        EXPECT_EQ(Plain(read->GetParent()->GetName()), child.second);
        for (long long f = 0; f <= 10; f += 5)
            ExpectNear(Position(read, f), Position(child.first, f), 1e-4, child.second);
    }
#ifdef ZEQ_HAVE_LIB3DS
    h::Scene peer;
    ASSERT_TRUE(h::Load(path, peer));
    std::vector<h::Frame> frames;
    ASSERT_TRUE(h::Evaluate(path, {0.0f, 5.0f, 10.0f}, frames));
    for (const auto& child : children) {
        const std::string name = Plain(child.first->GetName());
        const h::Node* node = nullptr;
        for (const h::Node& n : peer.nodes)
            if (n.type == h::ObjectNode && n.name == name) node = &n;
        ASSERT_NE(node, nullptr) << name;
        const h::Node* parent = nullptr;
        for (const h::Node& n : peer.nodes)
            if (n.id == node->parentId) parent = &n;
        ASSERT_NE(parent, nullptr) << name;
        EXPECT_EQ(parent->name, child.second);
        EXPECT_NE(parent->type, h::TargetNode) << name;
        for (const h::Frame& frame : frames)
            for (const h::NodeValues& values : frame.nodes) {
                if (values.type != h::ObjectNode || values.name != name) continue;
                const KZeqVector4 p = Position(child.first, static_cast<long long>(frame.frame));
                const double scene[3] = {values.matrix[3][0], values.matrix[3][2], -values.matrix[3][1]};
                for (int a = 0; a < 3; ++a) EXPECT_NEAR(p[a], scene[a], 1e-3) << name << " " << frame.frame;
            }
    }
#endif
}

// ---- Edge cases of the conversions ---------------------------------------------------------

TEST_F(Motion3dsTest, SpotWithoutTargetAtTheOriginAimsDown) {
    KZeqNode* node = AddNode("Spot");
    AddLight(node, KZeqLight::eSPOT)->SetDefaultConeAngle(50);
    KZeqWriter3DS writer(mManager);
    writer.mAnim = false;
    kfspot3ds* record = writer.ConvSpotlightNodeZeqto3DS(node);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->ntkeys, 1u);
    EXPECT_NEAR(record->tpos[0].x, 0.0f, 1e-6);
    EXPECT_NEAR(record->tpos[0].y, 0.0f, 1e-6);
    EXPECT_NEAR(record->tpos[0].z, -10.0f, 1e-6);
    EXPECT_EQ(record->hot[0], 50.0f);
    EXPECT_EQ(record->fall[0], 50.0f);
    EXPECT_STREQ(record->tparent, record->parent);
    ReleaseSpotlightMotion3ds(&record);
}

TEST_F(Motion3dsTest, LightAndTargetCountTheirOwnKeys) {
    KZeqNode* node = AddNode("Spot");
    AddLight(node, KZeqLight::eSPOT);
    LinearKeys(Take(node)->GetTranslationX(), {{0, 0}, {30, 1}});
    KZeqNode* target = AddNode("Spot1_Target");
    LinearKeys(Take(target)->GetTranslationX(), {{0, 0}, {60, 1}});
    LinearKeys(Take(target)->GetTranslationY(), {{0, 2}, {60, 3}});
    LinearKeys(Take(target)->GetTranslationZ(), {{0, 7}});
    node->SetTarget(target);
    KZeqWriter3DS writer(mManager);
    kfspot3ds* record = writer.ConvSpotlightNodeZeqto3DS(node);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->npkeys, 31u);
    EXPECT_EQ(record->ntkeys, 61u);
    EXPECT_STREQ(record->tparent, "$$$DUMMY.Spot1_Targe");
    // The Z curve's single key replaces only Z: X and Y stay animated.
    EXPECT_NEAR(record->tpos[60].x, 1.0f, 1e-5);
    EXPECT_NEAR(record->tpos[60].z, 3.0f, 1e-5);  // scene Y is file Z
    EXPECT_NEAR(record->tpos[30].y, -7.0f, 1e-5);
    ReleaseSpotlightMotion3ds(&record);
}

TEST_F(Motion3dsTest, VerticalFieldOfViewWidensAndTheSceneCurveStays) {
    KZeqNode* node = AddNode("Cam");
    KZeqCamera* camera = AddCamera(node);
    camera->SetApertureMode(KZeqCamera::eVERTICAL);
    camera->SetApertureWidth(0.816);
    camera->SetApertureHeight(0.612);
    camera->SetSqueezeRatio(1.0);
    KFCurve* fov = Take(node)->GetCameraFieldOfView();
    LinearKeys(fov, {{0, 40}, {10, 40}});
    KZeqWriter3DS writer(mManager);
    kfcamera3ds* record = writer.ConvCameraNodeZeqto3DS(node);
    ASSERT_NE(record, nullptr);
    for (std::uint32_t k = 0; k < record->nfkeys; ++k) EXPECT_NEAR(record->fov[k], 51.774, 1e-3);
    EXPECT_EQ(fov->KeyGet(0).GetValue(), 40.0f);
    EXPECT_EQ(fov->KeyGet(1).GetValue(), 40.0f);
    ReleaseCameraMotion3ds(&record);
    // A horizontal camera's angle is written as it is.
    camera->SetApertureMode(KZeqCamera::eHORIZONTAL);
    record = writer.ConvCameraNodeZeqto3DS(node);
    EXPECT_NEAR(record->fov[0], 40.0f, 1e-5);
    ReleaseCameraMotion3ds(&record);
}

struct ApertureCase {
    const char* mName;
    KZeqCamera::ECameraApertureMode mMode;
};

class ApertureModes3dsTest : public Motion3dsTest, public testing::WithParamInterface<ApertureCase> {};

TEST_P(ApertureModes3dsTest, DefaultFieldOfViewWithAnimationOff) {
    KZeqNode* node = AddNode("Cam");
    KZeqCamera* camera = AddCamera(node);
    camera->SetApertureMode(GetParam().mMode);
    camera->SetFocalLength(35.0);
    camera->SetDefaultFieldOfViewX(33.0);
    KZeqWriter3DS writer(mManager);
    writer.mAnim = false;
    kfcamera3ds* record = writer.ConvCameraNodeZeqto3DS(node);
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(record->nfkeys, 1u);
    const double expected = GetParam().mMode == KZeqCamera::eHORIZONTAL_AND_VERTICAL ? 33.0
                            : GetParam().mMode == KZeqCamera::eHORIZONTAL
                                ? camera->GetAngleOfView()
                                : KZeqWriter3DS::HorizontalFieldOfView(camera, camera->GetAngleOfView());
    EXPECT_NEAR(record->fov[0], expected, 1e-4);
    ReleaseCameraMotion3ds(&record);
}

INSTANTIATE_TEST_SUITE_P(Modes, ApertureModes3dsTest,
                         testing::Values(ApertureCase{"HorizontalAndVertical", KZeqCamera::eHORIZONTAL_AND_VERTICAL},
                                         ApertureCase{"Horizontal", KZeqCamera::eHORIZONTAL},
                                         ApertureCase{"Vertical", KZeqCamera::eVERTICAL}),
                         [](const testing::TestParamInfo<ApertureCase>& info) { return info.param.mName; });

TEST_F(Motion3dsTest, LevelCameraWithoutTargetHasNoTilt) {
    KZeqNode* node = AddNode("Cam");
    AddCamera(node);
    KZeqWriter3DS writer(mManager);
    writer.mAnim = false;
    kfcamera3ds* record = writer.ConvCameraNodeZeqto3DS(node);
    ASSERT_NE(record, nullptr);
    EXPECT_NEAR(record->roll[0], 0.0f, 1e-3);
    EXPECT_NEAR(record->tpos[0].x, 10.0f, 1e-6);
    ReleaseCameraMotion3ds(&record);
}

// A camera the reader made from a lens of 50 mm (fov 48) comes back, written
// with animation off, with the horizontal angle of 50 mm on the scene's film back.
TEST_F(Motion3dsTest, StaticCameraFromTheReaderTakesTheAngleOfItsFocalLength) {
    KZeqNode* node = AddNode("Cam");
    KZeqCamera* camera = AddCamera(node);
    camera->SetFocalLength(2400.0 / 48.0);
    camera->SetApertureMode(KZeqCamera::eHORIZONTAL);
    const std::string path = WriteScene([](KStreamOptionsBase& o) { o.SetOption(KStreamOptionsBase::eANIM, 0); });
    Written3ds file(path);
    camera3dsHeld record;
    GetCameraByIndex3ds(file.Db(), 0, &record.mRecord);
    ASSERT_NE(record.mRecord, nullptr);
    EXPECT_NEAR(record->fov, camera->GetAngleOfView(), 1e-3);
    EXPECT_GT(std::fabs(record->fov - 48.0f), 1.0f);
}

// ---- Deformed positions --------------------------------------------------------------------

class Deform3dsTest : public Motion3dsTest {
protected:
    void SetUp() override {
        Motion3dsTest::SetUp();
        mNode = AddNode("Mesh");
        mMesh = AddMesh(mNode, {{0, 0, 0, 1}, {1, 2, 0, 1}, {2, 4, 0, 1}}, {{0, 1, 2}});
    }
    std::vector<KZeqVector4> Points() const {
        return std::vector<KZeqVector4>(mMesh->GetControlPoints(), mMesh->GetControlPoints() + 3);
    }
    KZeqNode* mNode = nullptr;
    KZeqMesh* mMesh = nullptr;
};

TEST_F(Deform3dsTest, ShapeAtHalfWeightMovesHalfWay) {
    KZeqShape* shape = mManager.CreateKZeqShape();
    shape->InitControlPoints(3);
    for (int i = 0; i < 3; ++i) shape->GetControlPoints()[i] = mMesh->GetControlPoints()[i] + KZeqVector4(0, 2, 0, 0);
    ASSERT_EQ(mMesh->AddShape(shape, "Up"), 0);
    mMesh->SetDefaultShape(0, 0.5);
    KZeqWriter3DS writer(mManager);
    std::vector<KZeqVector4> points = Points();
    writer.ComputeShapeDeformation(mNode, mMesh, points.data());
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(points[static_cast<std::size_t>(i)][1], mMesh->GetControlPoints()[i][1] + 1, 1e-9);
    EXPECT_EQ(mMesh->GetControlPoints()[1][1], 2.0) << "the mesh keeps its points";
}

struct LinkCase {
    const char* mName;
    KZeqLink::ELinkMode mMode;
    double mWeight;
};

class Link3dsTest : public Deform3dsTest, public testing::WithParamInterface<LinkCase> {};

// A bone that has not moved since binding leaves the points where they are,
// whatever the mode and weight; a mesh without links keeps its points too.
TEST_P(Link3dsTest, UnmovedBoneKeepsPoints) {
    KZeqWriter3DS writer(mManager);
    KZeqXMatrix global = KZeqWriter3DS::GetGlobalPosition(mNode);
    std::vector<KZeqVector4> points = Points();
    writer.ComputeLinkDeformation(global, mMesh, points.data());
    for (int i = 0; i < 3; ++i) EXPECT_EQ(points[static_cast<std::size_t>(i)][1], mMesh->GetControlPoints()[i][1]);
    KZeqNode* bone = AddNode("Bone");
    KZeqLink* link = mManager.CreateKZeqLink();
    link->SetLink(bone);
    link->SetLinkMode(GetParam().mMode);
    link->SetTransformMatrix(KZeqXMatrix());
    link->SetTransformLinkMatrix(KZeqXMatrix());
    link->AddControlPointIndex(1, GetParam().mWeight);
    mMesh->AddLink(link);
    writer.ComputeLinkDeformation(global, mMesh, points.data());
    for (int a = 0; a < 3; ++a) EXPECT_NEAR(points[1][a], mMesh->GetControlPoints()[1][a], 1e-9) << a;
}

INSTANTIATE_TEST_SUITE_P(Modes, Link3dsTest,
                         testing::Values(LinkCase{"NormalizeHalf", KZeqLink::eNORMALIZE, 0.5},
                                         LinkCase{"TotalOneQuarter", KZeqLink::eTOTAL1, 0.25},
                                         LinkCase{"AdditiveHalf", KZeqLink::eADDITIVE, 0.5}),
                         [](const testing::TestParamInfo<LinkCase>& info) { return info.param.mName; });

TEST_F(Deform3dsTest, MatrixHelpers) {
    KZeqXMatrix m;
    KZeqWriter3DS::MatrixScale(m, 2.0);
    KZeqWriter3DS::MatrixAddToDiagonal(m, 1.0);
    EXPECT_EQ(m.mData[0][0], 3.0);
    KZeqXMatrix other;
    KZeqWriter3DS::MatrixAdd(m, other);
    EXPECT_EQ(m.mData[3][3], 4.0);
    EXPECT_EQ(m.mData[0][1], 0.0);
    mNode->SetDefaultT(KZeqVector4(1, 0, 0, 0));
    KZeqNode* child = AddNode("Child", mNode);
    child->SetDefaultT(KZeqVector4(0, 2, 0, 0));
    EXPECT_EQ(KZeqWriter3DS::GetGlobalPosition(child).mData[3][0], 1.0);
    EXPECT_EQ(KZeqWriter3DS::GetLocalPosition(child).mData[3][0], 0.0);
}

}  // namespace
}  // namespace zeq3dstest

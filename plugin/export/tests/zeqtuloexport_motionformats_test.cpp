// A skeleton with joint orients, exported from the host program through the plug-in, then written
// by the SDK's motion writers and read back: every joint where the host put it. The exporter keeps
// a joint orient as the node's pre-rotation, which no motion format holds: the writers fold it in,
// those of joints and those of global transforms (VPM, MOV, BRD) alike.
#include <cmath>
#include <map>
#include <memory>
#include <string>

#include "formats/motion/common/tests/kzeqmotionwriters_support.h"
#include "io/kzeqimporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/tests/kfiletransform_support.h"
#include "zeqtulo_test_support.h"

using namespace zeqsdk_400;

namespace {

class MotionFormatsExport : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        mDirectory = ZeqTuloTestDirectory();
        ASSERT_EQ(symlink(ZEQTULO_MODULE, (mDirectory + "libzeqtulo.so").c_str()), 0);
    }
    void TearDown() override {
        if (mScene) mManager->DestroyKZeqScene(mScene, true);
        mManager->DestroyKZeqScene(mBack, true);
        HostTest::TearDown();
    }
    // Exports the host program's scene after the commands; false with what it printed.
    bool Export(const std::string& commands, std::string& output) {
        const std::string file = mDirectory + "scene.zeq";
        const int status = RunStandin(
            mDirectory, "--strict -c '" + commands + "; ZEQExportShowUI 0; ZEQExport -f \"" + file + "\"'", output);
        if (status != 0) return false;
        mScene = mManager->CreateKZeqScene();
        KZeqImporter importer(*mManager);
        return importer.Initialize(file.c_str()) && importer.Import(*mScene);
    }

    std::unique_ptr<KZeqSdkManager> mManager{KZeqSdkManager::CreateKZeqSdkManager()};
    KZeqScene* mScene = nullptr;
    KZeqScene* mBack = mManager->CreateKZeqScene();
    std::string mDirectory;
};

// skinRig's hip, knee (four below the hip) and ankle (four below the knee), knee.jointOrientZ 30,
// knee.rotateX 20, hip.rotateY 10: the host turns a joint's points by its rotation, then its orient,
// then moves them by its translation.
TEST_F(MotionFormatsExport, SkinRigWithJointOrientsKeepsEveryJoint) {
    std::string output;
    ASSERT_TRUE(Export("standin_scene skinRig; setAttr knee.jointOrientZ 30; setAttr knee.rotateX 20; "
                       "setAttr hip.rotateY 10",
                       output))
        << output;
    KZeqNode* root = mScene->GetRootNode();
    KZeqNode* hip = root->FindChild("hip", true);
    ASSERT_NE(hip, nullptr);
    // The motion writers take a scene with one top node: the rig alone.
    while (root->GetChildCount() > 1) {
        KZeqNode* other = root->GetChild(root->GetChild(0) == hip ? 1 : 0);
        root->RemoveChild(other);
        mManager->DestroyKZeqNode(other, true);
    }
    for (KZeqNode* node = hip; node; node = node->GetChildCount() > 0 ? node->GetChild(0) : nullptr)
        node->SetSelected(true);

    using zeqtest::Apply;
    using zeqtest::AxisMatrix;
    using zeqtest::Multiply;
    const zeqtest::Mat4 hipTurn = AxisMatrix(1, 10.0);
    const zeqtest::Mat4 kneeTurn = Multiply(AxisMatrix(0, 20.0), AxisMatrix(2, 30.0));
    const std::array<double, 3> knee = Apply(hipTurn, {0.0, -4.0, 0.0});
    const std::array<double, 3> inKnee = Apply(kneeTurn, {0.0, -4.0, 0.0});
    const std::array<double, 3> ankle = Apply(hipTurn, {inKnee[0], inKnee[1] - 4.0, inKnee[2]});
    const std::map<std::string, std::array<double, 3>> expected = {
        {"hip", {0.0, 0.0, 0.0}}, {"knee", knee}, {"ankle", ankle}};
    const std::map<std::string, std::string> parents = {{"hip", ""}, {"knee", "hip"}, {"ankle", "knee"}};
    // The place of each among the nodes written, for the files that keep no names.
    const std::map<std::string, int> indices = {{"hip", 0}, {"knee", 1}, {"ankle", 2}};

    zeqmotionwriters::Writers writers(*mManager, mDirectory);
    std::map<std::string, zeqmotionwriters::Output> out;
    std::string error;
    const double rate = 30.0;
    for (const char* name : {"bvh", "bvh-translation", "htr", "asf", "vpm", "mov", "brd"}) {
        for (const zeqmotionwriters::Way& way : zeqmotionwriters::Ways()) {
            if (way.mName == std::string(name)) {
                ASSERT_TRUE(writers.Write(*mScene, way, 2, rate, KTime(), out, error)) << error;
            }
        }
        mManager->DestroyKZeqScene(mBack, true);
        mBack = mManager->CreateKZeqScene();
        ASSERT_TRUE(zeqmotionwriters::ReadWritten(*mManager, *mBack, name, out, 2, rate, error)) << name << ": " << error;
        for (const auto& [joint, place] : expected) {
            KZeqNode* read = zeqmotionwriters::FindWritten(*mBack, name, joint, joint == "hip", parents.at(joint),
                                                           indices.at(joint));
            ASSERT_NE(read, nullptr) << name << ": " << joint;
            const KZeqVector4 p = read->GetGlobalFromCurrentTake(KTime()).GetT();
            for (int a = 0; a < 3; ++a) EXPECT_NEAR(p[a], place[a], 1e-4 * 8.0) << name << ": " << joint << " axis " << a;
        }
    }
}

}  // namespace

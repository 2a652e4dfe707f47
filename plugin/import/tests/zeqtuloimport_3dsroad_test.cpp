// The road of a 3DS file into the host: the SDK reads the shared sample file, writes it as a binary
// Zeq file, and ZEQImport brings that into the stand-in without a take: every node must stand where
// the SDK's evaluation puts it at the first frame of the file's take.
#include <cctype>
#include <cmath>
#include <string>
#include <vector>

#include "importtest_support.h"

#include "content/kzeqmesh.h"
#include "formats/kzeqformats.h"
#include "formats/motion/testkit/zeqmotiontestkit.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "object/kstreamoptions.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"
#include "standin.h"
#include "tulo.h"

using namespace zeqsdk_400;

namespace {

constexpr double kToleranceCm = 0.01;

std::string TestName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

void Collect(KZeqNode* node, std::vector<KZeqNode*>& out) {
    for (int i = 0; i < node->GetChildCount(); ++i) {
        out.push_back(node->GetChild(i));
        Collect(node->GetChild(i), out);
    }
}

class Road3ds : public ZeqTuloImportTest, public ::testing::WithParamInterface<std::string> {
protected:
    void TearDown() override {
        mManager.DestroyKZeqScene(mScene, true);
        ZeqTuloImportTest::TearDown();
    }

    KZeqSdkManager mManager;
    KZeqScene* mScene = mManager.CreateKZeqScene();
};

TEST_P(Road3ds, NodesStandWhereTheFirstFramePutsThem) {
    ZEQ_MOTION_REQUIRE_TESTDATA(dir, "3ds");
    ZeqRegisterFormats();
    {
        KZeqImporter importer(mManager);
        importer.Initialize((dir + "/" + GetParam()).c_str());
        importer.SetFileFormat(KZeqImporter::e3D_STUDIO_3DS);
        KStreamOptions* options = importer.GetImportOptions();
        ASSERT_NE(options, nullptr) << importer.GetLastErrorString();
        const bool read = importer.Import(*mScene, options);
        options->Destroy();
        ASSERT_TRUE(read) << importer.GetLastErrorString();
    }
    const std::string zeq = mDirectory + "road.zeq";
    KZeqExporter exporter(mManager);
    ASSERT_TRUE(exporter.Initialize(zeq.c_str()));
    exporter.SetFileFormat(KZeqExporter::eZEQ_BINARY);
    ASSERT_TRUE(exporter.Export(*mScene)) << exporter.GetLastErrorString();
    ASSERT_TRUE(Run("ZEQImport -f \"" + zeq + "\""));

    const KZeqTakeInfo* take = mScene->GetTakeInfo(mScene->GetCurrentTakeName());
    ASSERT_NE(take, nullptr);
    const KTime start = take->mLocalTimeSpan.GetStart();
    std::vector<KZeqNode*> nodes;
    Collect(mScene->GetRootNode(), nodes);
    ASSERT_FALSE(nodes.empty());
    for (KZeqNode* node : nodes) {
        // The host's names take letters, digits, "_" and ":" alone.
        std::string name = node->GetNameWithoutNameSpacePrefix().Buffer();
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != ':') c = '_';
        const TObject object = standin::find(name);
        ASSERT_FALSE(object.isNull()) << name << " is not in the host";
        TDagPath path;
        ASSERT_TRUE(TFnDagNode(object).getPath(path)) << name;
        const TMatrix host = path.inclusiveMatrix();
        const KZeqXMatrix expected = node->GetGlobalFromCurrentTake(start);
        // Meshes turn and scale as well; a camera or light's own axes follow its aim in the host.
        const int firstRow = node->GetMesh() ? 0 : 3;
        for (int row = firstRow; row < 4; ++row)
            for (int axis = 0; axis < 3; ++axis)
                EXPECT_NEAR(host[row][axis], expected.mData[row][axis], kToleranceCm)
                    << name << " row " << row << " axis " << axis;
    }
}

INSTANTIATE_TEST_SUITE_P(Samples, Road3ds, ::testing::ValuesIn(zeqmotiontest::TestDataFiles("3ds", "3ds")), TestName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(Road3ds);

}  // namespace

// Every format writer row replaces a file only with a complete one: an export
// over an existing file that is refused, or whose writes fail as on a full
// device, leaves the file byte for byte as it was, makes no new file and
// leaves nothing beside it; one that succeeds replaces the file.

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "content/kzeqtexture.h"
#include "fileio/tests/fileio_test_support.h"
#include "fileio/tests/kfilesizelimit.h"
#include "formats/kzeqformats.h"
#include "formats/motion/testkit/zeqmotiontestkit.h"
#include "io/kstreamoptionsbase.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kzeqexporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {
namespace {

namespace fs = std::filesystem;
using zeqtest::ReadFile;
using zeqtest::WriteFile;

enum class SceneKind { kSkeleton, kMesh };

struct WriterRow {
    const char* mName;
    int mRow;
    const char* mExtension;
    SceneKind mScene;
    // The row refuses a scene without a single selected root.
    bool mNeedsRoot;
    // The row refuses options of another family (the 3DS writer goes on with its current flags).
    bool mRefusesOtherOptions = true;
};

const WriterRow kRows[] = {
    {"BVH", KZeqExporter::eBIOVISION_BVH, "bvh", SceneKind::kSkeleton, true},
    {"HTR", KZeqExporter::eMOTION_ANALYSIS_HTR, "htr", SceneKind::kSkeleton, true},
    {"TRC", KZeqExporter::eMOTION_ANALYSIS_TRC, "trc", SceneKind::kSkeleton, false},
    {"ASF", KZeqExporter::eACCLAIM_ASF, "asf", SceneKind::kSkeleton, true},
    {"AMC", KZeqExporter::eACCLAIM_AMC, "amc", SceneKind::kSkeleton, true},
    {"C3D", KZeqExporter::eVICON_C3D, "c3d", SceneKind::kSkeleton, false},
    {"AOA", KZeqExporter::eADAPTIVE_OPTICS_AOA, "aoa", SceneKind::kSkeleton, false},
    {"MCD", KZeqExporter::eSUPERFLUO_MCD, "mcd", SceneKind::kSkeleton, false},
    {"VPM", KZeqExporter::ePUPPETEER_VPM, "vpm", SceneKind::kSkeleton, false},
    {"MOV", KZeqExporter::eCORVANTIS_MOV, "mov", SceneKind::kSkeleton, false},
    {"BRD", KZeqExporter::eASCENSION_BRD, "brd", SceneKind::kSkeleton, false},
    {"DXF", KZeqExporter::eAUTOCAD_DXF, "dxf", SceneKind::kMesh, false},
    {"OBJ", KZeqExporter::eVONEX_OBJ, "obj", SceneKind::kMesh, false},
    {"3DS", KZeqExporter::e3D_STUDIO_3DS, "3ds", SceneKind::kMesh, false, false},
};

std::vector<WriterRow> RootRows() {
    std::vector<WriterRow> rows;
    for (const WriterRow& row : kRows)
        if (row.mNeedsRoot) rows.push_back(row);
    return rows;
}

const char kPrevious[] = "what the file held before the export\n";

class WriterReplacement : public testing::TestWithParam<WriterRow> {
protected:
    WriterReplacement() : mScene(mManager.CreateKZeqScene()) { ZeqRegisterFormats(); }

    void SetUp() override {
        fs::create_directories(mOut);
        fs::create_directories(mImages);
        WriteFile(mImages / "wood.png", "wood texels");
    }

    void BuildScene() {
        if (GetParam().mScene == SceneKind::kSkeleton) {
            zeqmotiontest::ChainSpec spec;
            spec.mFrames = 40;
            zeqmotiontest::MakeAnimatedChain(mManager, *mScene, spec);
            mScene->GetRootNode()->SetSelected(true, true);
            return;
        }
        KZeqNode* node = mManager.CreateKZeqNode("Box");
        KZeqMesh* mesh = mManager.CreateKZeqMesh();
        mesh->InitControlPoints(8);
        for (int i = 0; i < 8; ++i) mesh->GetControlPoints()[i] = KZeqVector4(i & 1, (i >> 1) & 1, (i >> 2) & 1, 1);
        for (const auto& quad : {std::vector<int>{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}}) {
            mesh->BeginPolygon();
            for (int index : quad) mesh->AddPolygon(index);
        }
        KZeqMaterial* material = mManager.CreateKZeqMaterial("paint");
        material->SetDiffuse(KZeqColor(1, 0, 0, 1));
        mesh->AddMaterial(material);
        KZeqTexture* texture = mManager.CreateKZeqTexture("wood");
        texture->SetFileName((mImages / "wood.png").c_str());
        mesh->AddTexture(texture);
        node->SetNodeAttribute(mesh);
        mScene->GetRootNode()->AddChild(node);
    }

    // Exports through the row; wrongOptions hands the writer options of
    // another family, which every writer refuses.
    bool Export(const std::string& path, bool wrongOptions = false) {
        KZeqExporter exporter(mManager);
        exporter.Initialize(path.c_str());
        exporter.SetFileFormat(GetParam().mRow);
        KStreamOptions* options = exporter.GetExportOptions();
        if (!options) return false;
        if (auto* motion = options->Is(KStreamOptionsMotion::ClassId) ? static_cast<KStreamOptionsMotion*>(options)
                                                                       : nullptr) {
            zeqmotiontest::SetRangeFromCurrentTake(*mScene, *motion, 30.0);
            if (motion->GetFrameCount() <= 0) motion->SetFrameCount(10);
            // AMC motion goes over the skeleton an ASF export leaves in the options.
            if (GetParam().mRow == KZeqExporter::eACCLAIM_AMC) {
                KZeqExporter asf(mManager);
                asf.Initialize((mDir.Path() / "skeleton.asf").c_str());
                asf.SetFileFormat(KZeqExporter::eACCLAIM_ASF);
                asf.Export(*mScene, options);
            }
        }
        std::unique_ptr<KStreamOptions, void (*)(KStreamOptions*)> other(
            GetParam().mScene == SceneKind::kMesh ? static_cast<KStreamOptions*>(KStreamOptionsMotionCreate())
                                                  : static_cast<KStreamOptions*>(new KStreamOptionsBase),
            [](KStreamOptions* o) { o->Destroy(); });
        const bool written = exporter.Export(*mScene, wrongOptions ? other.get() : options);
        exporter.ReleaseExportOptions(options);
        return written;
    }

    std::vector<std::string> OutEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(mOut)) names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    KZeqSdkManager mManager;
    KZeqScene* mScene;
    zeqtest::TempDir mDir;
    fs::path mOut = mDir.Path() / "out";
    fs::path mImages = mDir.Path() / "images";
    std::string mTarget = (mOut / (std::string("kept.") + GetParam().mExtension)).string();
};

TEST_P(WriterReplacement, ASuccessfulExportReplacesTheFile) {
    BuildScene();
    WriteFile(mTarget, kPrevious);
    ASSERT_TRUE(Export(mTarget));
    EXPECT_NE(kPrevious, ReadFile(mTarget));
    EXPECT_FALSE(ReadFile(mTarget).empty());
    for (const std::string& name : OutEntries()) EXPECT_EQ(std::string::npos, name.find(".tmp")) << name;
}

TEST_P(WriterReplacement, ARefusedExportLeavesTheFileAndMakesNone) {
    if (!GetParam().mRefusesOtherOptions) GTEST_SKIP() << "writes with its current flags";
    BuildScene();
    WriteFile(mTarget, kPrevious);
    EXPECT_FALSE(Export(mTarget, true));
    EXPECT_EQ(kPrevious, ReadFile(mTarget));
    EXPECT_EQ(std::vector<std::string>{fs::path(mTarget).filename().string()}, OutEntries());

    fs::remove(mTarget);
    EXPECT_FALSE(Export(mTarget, true));
    EXPECT_TRUE(OutEntries().empty());
}

TEST_P(WriterReplacement, AFailingWriteLeavesTheFileAndMakesNone) {
    BuildScene();
    WriteFile(mTarget, kPrevious);
    {
        zeqtest::ScopedFileSizeLimit full(64);
        EXPECT_FALSE(Export(mTarget));
    }
    EXPECT_EQ(kPrevious, ReadFile(mTarget));
    EXPECT_EQ(std::vector<std::string>{fs::path(mTarget).filename().string()}, OutEntries());

    fs::remove(mTarget);
    {
        zeqtest::ScopedFileSizeLimit full(64);
        EXPECT_FALSE(Export(mTarget));
    }
    EXPECT_TRUE(OutEntries().empty());
}

std::string RowName(const testing::TestParamInfo<WriterRow>& info) { return info.param.mName; }

INSTANTIATE_TEST_SUITE_P(Rows, WriterReplacement, testing::ValuesIn(kRows), RowName);

// The skeleton rows refuse a scene whose selected root is not alone below the
// scene's root ("Can not find root node.").
class WriterRootRefusal : public WriterReplacement {};

TEST_P(WriterRootRefusal, ASceneWithoutASingleRootLeavesTheFile) {
    BuildScene();
    mScene->GetRootNode()->AddChild(mManager.CreateKZeqNode("Second"));
    WriteFile(mTarget, kPrevious);
    EXPECT_FALSE(Export(mTarget));
    EXPECT_EQ(kPrevious, ReadFile(mTarget));
    EXPECT_EQ(std::vector<std::string>{fs::path(mTarget).filename().string()}, OutEntries());
}

INSTANTIATE_TEST_SUITE_P(SkeletonRows, WriterRootRefusal, testing::ValuesIn(RootRows()), RowName);

}  // namespace
}  // namespace zeqsdk_400

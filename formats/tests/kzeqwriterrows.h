#ifndef ZEQ_FORMATS_TESTS_KZEQWRITERROWS_H
#define ZEQ_FORMATS_TESTS_KZEQWRITERROWS_H

// Tests only: the exporter's writer rows as test parameters, and a fixture
// that builds a scene each row can write and exports it through the row.

#include <algorithm>
#include <filesystem>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "content/kzeqmaterial.h"
#include "content/kzeqmesh.h"
#include "content/kzeqtexture.h"
#include "fileio/tests/fileio_test_support.h"
#include "fileio/tests/kfilesizelimit.h"
#include "formats/kzeqformats.h"
#include "formats/motion/testkit/zeqmotiontestkit.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kzeqexporter.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {
namespace zeqwritertest {

struct ExportRow {
    const char* mName;  // the parameter's name in the test's name
    int mRow;
    const char* mExtension;
    // Written from a skeleton with motion, else from a mesh with a material.
    bool mSkeleton;
};
inline void PrintTo(const ExportRow& row, std::ostream* os) { *os << row.mName; }
inline std::string ExportRowName(const testing::TestParamInfo<ExportRow>& info) { return info.param.mName; }

inline constexpr ExportRow kExportRows[] = {
    {"ZEQ", KZeqExporter::eZEQ_BINARY, "zeq", false},
    {"ZEQAscii", KZeqExporter::eZEQ_ASCII, "zeq", false},
    {"ZEQEncrypted", KZeqExporter::eZEQ_ENCRYPTED, "zeq", false},
    {"ZEQ5", KZeqExporter::eZEQ_5_BINARY, "zeq", false},
    {"ZEQ5Ascii", KZeqExporter::eZEQ_5_ASCII, "zeq", false},
    {"BVH", KZeqExporter::eBIOVISION_BVH, "bvh", true},
    {"HTR", KZeqExporter::eMOTION_ANALYSIS_HTR, "htr", true},
    {"TRC", KZeqExporter::eMOTION_ANALYSIS_TRC, "trc", true},
    {"ASF", KZeqExporter::eACCLAIM_ASF, "asf", true},
    {"AMC", KZeqExporter::eACCLAIM_AMC, "amc", true},
    {"C3D", KZeqExporter::eVICON_C3D, "c3d", true},
    {"AOA", KZeqExporter::eADAPTIVE_OPTICS_AOA, "aoa", true},
    {"MCD", KZeqExporter::eSUPERFLUO_MCD, "mcd", true},
    {"VPM", KZeqExporter::ePUPPETEER_VPM, "vpm", true},
    {"MOV", KZeqExporter::eCORVANTIS_MOV, "mov", true},
    {"BRD", KZeqExporter::eASCENSION_BRD, "brd", true},
    {"DXF", KZeqExporter::eAUTOCAD_DXF, "dxf", false},
    {"OBJ", KZeqExporter::eVONEX_OBJ, "obj", false},
    {"3DS", KZeqExporter::e3D_STUDIO_3DS, "3ds", false},
};

// The field file's own rows (the Zeq writers), as against the format writers.
inline bool IsFieldFileRow(const ExportRow& row) { return std::string_view(row.mExtension) == "zeq"; }

// The rows for which keep holds, in the table's order.
template <class Keep>
std::vector<ExportRow> ExportRowsWhere(Keep keep) {
    std::vector<ExportRow> rows;
    std::copy_if(std::begin(kExportRows), std::end(kExportRows), std::back_inserter(rows), keep);
    return rows;
}

// The rows of these names, in the order given; a name of no row ends the program as the
// suite is made, rather than leave a row untested.
inline std::vector<ExportRow> ExportRowsNamed(std::initializer_list<std::string_view> names) {
    std::vector<ExportRow> rows;
    for (std::string_view name : names) {
        const auto row = std::find_if(std::begin(kExportRows), std::end(kExportRows),
                                      [&](const ExportRow& r) { return r.mName == name; });
        if (row == std::end(kExportRows)) throw std::invalid_argument("no export row " + std::string(name));
        rows.push_back(*row);
    }
    return rows;
}

inline constexpr char kPrevious[] = "what the file held before the export\n";

// What the scene a row writes holds.
struct SceneSpec {
    // The skeleton's frames of motion.
    int mFrames = 20;
    // The mesh's texture "wood" is images/wood.png (MakeImage makes it).
    bool mTextured = false;
    // The texture on the whole mesh, as the 3DS writer maps it too.
    bool mTextureOnWholeMesh = false;
    // Four sides of a cube rather than one quad.
    bool mCube = false;
};

// Exports through the row to "kept.<extension>" in "out" of a folder other users may enter.
class ExportRowTest : public testing::TestWithParam<ExportRow> {
protected:
    ExportRowTest() : mScene(mManager.CreateKZeqScene()) { ZeqRegisterFormats(); }

    // For a skeleton row an animated chain, all selected; else the node "Box" with a mesh and the
    // material "paint".
    void BuildScene(const SceneSpec& spec) {
        if (GetParam().mSkeleton) {
            zeqmotiontest::ChainSpec chain;
            chain.mFrames = spec.mFrames;
            zeqmotiontest::MakeAnimatedChain(mManager, *mScene, chain);
            mScene->GetRootNode()->SetSelected(true, true);
            return;
        }
        KZeqNode* node = mManager.CreateKZeqNode("Box");
        KZeqMesh* mesh = mManager.CreateKZeqMesh();
        if (spec.mCube) {
            mesh->InitControlPoints(8);
            for (int i = 0; i < 8; ++i)
                mesh->GetControlPoints()[i] = KZeqVector4(i & 1, (i >> 1) & 1, (i >> 2) & 1, 1);
            for (const auto& quad : {std::vector<int>{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4}, {2, 6, 7, 3}}) {
                mesh->BeginPolygon();
                for (int index : quad) mesh->AddPolygon(index);
            }
        } else {
            mesh->InitControlPoints(4);
            for (int i = 0; i < 4; ++i) mesh->GetControlPoints()[i] = KZeqVector4(i & 1, (i >> 1) & 1, 0, 1);
            mesh->BeginPolygon();
            for (int index : {0, 1, 3, 2}) mesh->AddPolygon(index);
        }
        KZeqMaterial* material = mManager.CreateKZeqMaterial("paint");
        material->SetDiffuse(KZeqColor(1, 0, 0, 1));
        mesh->AddMaterial(material);
        if (spec.mTextured) {
            KZeqTexture* texture = mManager.CreateKZeqTexture("wood");
            texture->SetFileName((mImages / "wood.png").c_str());
            mesh->AddTexture(texture);
        }
        if (spec.mTextureOnWholeMesh) mesh->InitTextureIndices(KZeqMesh::eALL_SAME);
        node->SetNodeAttribute(mesh);
        mScene->GetRootNode()->AddChild(node);
    }

    // The texture's image, images/wood.png.
    void MakeImage() {
        std::filesystem::create_directories(mImages);
        zeqtest::WriteFile(mImages / "wood.png", "wood texels");
    }

    // Exports through the row to path, with instead for the row's own options when given; what
    // the exporter says after in mMessage, mErrorText and mSystemError.
    bool Export(KZeqExporter& exporter, const std::string& path, KStreamOptions* instead = nullptr) {
        exporter.Initialize(path.c_str());
        exporter.SetFileFormat(GetParam().mRow);
        KStreamOptions* options = exporter.GetExportOptions();
        if (!options) return false;
        if (options->Is(KStreamOptionsMotion::ClassId)) {
            auto* motion = static_cast<KStreamOptionsMotion*>(options);
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
        bool written = false;
        {
            std::optional<zeqtest::ScopedFileSizeLimit> limit;
            if (mWriteLimit > 0) limit.emplace(mWriteLimit);
            written = exporter.Export(*mScene, instead ? instead : options);
        }
        exporter.ReleaseExportOptions(options);
        KString message;
        exporter.GetMessage(message);
        mMessage = message.Buffer();
        mErrorText = exporter.GetLastErrorString();
        mSystemError = exporter.GetError().GetLastSystemError();
        return written;
    }
    bool Export(const std::string& path) {
        KZeqExporter exporter(mManager);
        return Export(exporter, path);
    }

    std::vector<std::string> EntriesOf(const std::filesystem::path& folder) const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::vector<std::string> OutEntries() const { return EntriesOf(mOut); }

    KZeqSdkManager mManager;
    KZeqScene* mScene;
    // The exporter's message, error text and system error after the last Export.
    std::string mMessage;
    std::string mErrorText;
    int mSystemError = 0;
    // Past this many bytes (0: none) writes fail while the row's own export runs.
    rlim_t mWriteLimit = 0;
    zeqtest::TempDir mDir{zeqtest::TempDir::kOtherUsers};
    std::filesystem::path mOut = mDir.Path() / "out";
    std::filesystem::path mImages = mDir.Path() / "images";
    std::string mTarget = (mOut / (std::string("kept.") + GetParam().mExtension)).string();
};

}  // namespace zeqwritertest
}  // namespace zeqsdk_400

#endif

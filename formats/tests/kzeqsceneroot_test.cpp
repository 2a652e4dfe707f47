// A scene's root is never a child, and no export row is handed a scene
// without one: a 6.0 file whose connections put the scene root under a model
// (before that model is under the root) reads with the root in place and the
// connection set aside, and every row exports what it read; a scene whose
// root was taken out is refused by every row before any file is touched.

#include <algorithm>
#include <filesystem>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "fileio/kzeq.h"
#include "fileio/tests/fileio_test_support.h"
#include "formats/geometry/3ds/kzeqwriter3ds.h"
#include "formats/geometry/dxf/kzeqwriterdxf.h"
#include "formats/geometry/obj/kzeqwriterobj.h"
#include "formats/kzeqformats.h"
#include "formats/motion/brd/kzeqwriterascension.h"
#include "formats/motion/bvh/kzeqwriterbiovision.h"
#include "formats/motion/mov/kzeqwritercorvantismov.h"
#include "formats/motion/vpm/kzeqwriterpuppeteer.h"
#include "formats/motion/testkit/zeqmotiontestkit.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kstreamoptionsobj.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "io/kzeqwriterzeq.h"
#include "object/kstreamoptions.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

namespace zeqsdk_400 {
namespace {

namespace fs = std::filesystem;

struct ExportRow {
    const char* mName;
    int mRow;
    const char* mExtension;
};
void PrintTo(const ExportRow& row, std::ostream* os) { *os << row.mName; }

const ExportRow kRows[] = {
    {"ZEQ", KZeqExporter::eZEQ_BINARY, "zeq"},
    {"ZEQAscii", KZeqExporter::eZEQ_ASCII, "zeq"},
    {"ZEQEncrypted", KZeqExporter::eZEQ_ENCRYPTED, "zeq"},
    {"ZEQ5", KZeqExporter::eZEQ_5_BINARY, "zeq"},
    {"ZEQ5Ascii", KZeqExporter::eZEQ_5_ASCII, "zeq"},
    {"BVH", KZeqExporter::eBIOVISION_BVH, "bvh"},
    {"HTR", KZeqExporter::eMOTION_ANALYSIS_HTR, "htr"},
    {"TRC", KZeqExporter::eMOTION_ANALYSIS_TRC, "trc"},
    {"ASF", KZeqExporter::eACCLAIM_ASF, "asf"},
    {"AMC", KZeqExporter::eACCLAIM_AMC, "amc"},
    {"C3D", KZeqExporter::eVICON_C3D, "c3d"},
    {"AOA", KZeqExporter::eADAPTIVE_OPTICS_AOA, "aoa"},
    {"MCD", KZeqExporter::eSUPERFLUO_MCD, "mcd"},
    {"VPM", KZeqExporter::ePUPPETEER_VPM, "vpm"},
    {"MOV", KZeqExporter::eCORVANTIS_MOV, "mov"},
    {"BRD", KZeqExporter::eASCENSION_BRD, "brd"},
    {"DXF", KZeqExporter::eAUTOCAD_DXF, "dxf"},
    {"3DS", KZeqExporter::e3D_STUDIO_3DS, "3ds"},
    {"OBJ", KZeqExporter::eVONEX_OBJ, "obj"},
};

bool IsZeqRow(int row) { return row <= KZeqExporter::eZEQ_5_ASCII; }

// The file of the fault, in either encoding:
//   Objects: { Model: "Model::A","Null" { Type: "Null" } }
//   Connections: { Connect: "OO","Model::Scene","Model::A"; Connect: "OO","Model::A","Model::Scene" }
void WriteRootUnderModel(const std::string& path, bool binary) {
    KZeq file;
    ASSERT_TRUE(file.ProjectCreate(path.c_str(), binary)) << path;
    file.FieldWriteBegin("Definitions");
    file.FieldWriteBlockBegin();
    file.FieldWriteBegin("ObjectType");
    file.FieldWriteC("Model");
    file.FieldWriteEnd();
    file.FieldWriteBlockEnd();
    file.FieldWriteEnd();
    file.FieldWriteBegin("Objects");
    file.FieldWriteBlockBegin();
    file.FieldWriteBegin("Model");
    file.FieldWriteC("Model::A");
    file.FieldWriteC("Null");
    file.FieldWriteBlockBegin();
    file.FieldWriteBegin("Type");
    file.FieldWriteC("Null");
    file.FieldWriteEnd();
    file.FieldWriteBlockEnd();
    file.FieldWriteEnd();
    file.FieldWriteBlockEnd();
    file.FieldWriteEnd();
    file.FieldWriteBegin("Connections");
    file.FieldWriteBlockBegin();
    for (const auto& [child, parent] : {std::pair{"Model::Scene", "Model::A"}, std::pair{"Model::A", "Model::Scene"}}) {
        file.FieldWriteBegin("Connect");
        file.FieldWriteC("OO");
        file.FieldWriteC(child);
        file.FieldWriteC(parent);
        file.FieldWriteEnd();
    }
    file.FieldWriteBlockEnd();
    file.FieldWriteEnd();
    ASSERT_TRUE(file.ProjectClose()) << path;
}

const char kSetAside[] =
    "Model::Scene is connected under Model::A: the scene root is no model's child; the connection is set aside.";

class SceneRoot : public testing::TestWithParam<ExportRow> {
protected:
    SceneRoot() { ZeqRegisterFormats(); }

    // The file at path read into a new scene, checked as the fault's file must read.
    KZeqScene* ReadRootUnderModel(const std::string& path) {
        KZeqImporter importer(mManager);
        KZeqScene* scene = mManager.CreateKZeqScene();
        KString message;
        for (int read = 0; read < 2; ++read) {
            EXPECT_TRUE(importer.Initialize(path.c_str()) && importer.Import(*scene)) << importer.GetLastErrorString();
            KZeqNode* root = scene->GetRootNode();
            EXPECT_TRUE(root && root->GetChildCount() == 1 && std::string(root->GetChild(0)->GetName()) == "Model::A")
                << path << " read " << read;
            importer.GetMessage(message);
            EXPECT_STREQ(kSetAside, message.Buffer()) << path;
        }
        return scene;
    }

    // Exports through the row (null options for the Zeq rows, the row's own otherwise).
    bool Export(KZeqScene& scene, const std::string& path, KZeqExporter& exporter) {
        exporter.Initialize(path.c_str());
        exporter.SetFileFormat(GetParam().mRow);
        KStreamOptions* options = IsZeqRow(GetParam().mRow) ? nullptr : exporter.GetExportOptions();
        if (options && options->Is(KStreamOptionsMotion::ClassId)) static_cast<KStreamOptionsMotion*>(options)->SetFrameCount(10);
        const bool written = exporter.Export(scene, options);
        if (options) exporter.ReleaseExportOptions(options);
        return written;
    }

    std::string Target(const char* stem) const { return mDir / (std::string(stem) + "." + GetParam().mExtension); }

    KZeqSdkManager mManager;
    zeqtest::TempDir mDir;
};

// The root stays the root, A comes under it, the message says what was set aside, a second read
// gives the same; then the row writes what was read (a Zeq row whole, the others as their
// format allows), and a Zeq file it wrote reads back with A under the root.
TEST_P(SceneRoot, TheRootPutUnderAModelStaysTheRootAndEveryRowExportsTheScene) {
    for (bool binary : {false, true}) {
        const std::string file = mDir / (binary ? "binary-file.zeq" : "ascii-file.zeq");
        WriteRootUnderModel(file, binary);
        KZeqScene* scene = ReadRootUnderModel(file);
        ASSERT_NE(nullptr, scene->GetRootNode());
        KZeqExporter exporter(mManager);
        const std::string target = Target(binary ? "from-binary" : "from-ascii");
        const bool written = Export(*scene, target, exporter);
        if (!IsZeqRow(GetParam().mRow)) {
            EXPECT_TRUE(written || *exporter.GetLastErrorString()) << "a failure without a word";
            continue;
        }
        ASSERT_TRUE(written) << exporter.GetLastErrorString();
        KZeqImporter importer(mManager);
        KZeqScene* again = mManager.CreateKZeqScene();
        ASSERT_TRUE(importer.Initialize(target.c_str()) && importer.Import(*again)) << importer.GetLastErrorString();
        ASSERT_EQ(1, again->GetRootNode()->GetChildCount());
        EXPECT_STREQ("Model::A", again->GetRootNode()->GetChild(0)->GetName());
    }
}

// A scene whose root was taken out (the entity's RemoveNode) is refused by the exporter, as what it
// is, in the error and the message; the file it was to replace stays as it was and none is made.
TEST_P(SceneRoot, ASceneWithoutARootIsRefusedByEveryRow) {
    KZeqScene* scene = mManager.CreateKZeqScene();
    KZeqNode* root = scene->GetRootNode();
    ASSERT_TRUE(root->AddChild(mManager.CreateKZeqNode("A")));
    ASSERT_TRUE(scene->GetEntity()->RemoveNode(root) && !scene->GetRootNode());
    const std::string target = Target("kept");
    const std::string previous = "what the file held before the export\n";
    zeqtest::WriteFile(target, previous);
    KZeqExporter exporter(mManager);
    EXPECT_FALSE(Export(*scene, target, exporter));
    const std::string refusal = "The scene has no root node: there is nothing to write.";
    EXPECT_EQ(KZeqIO::eOutOfDiskSpace, exporter.GetLastErrorID());
    EXPECT_EQ(refusal, exporter.GetLastErrorString());
    EXPECT_EQ(0, exporter.GetError().GetLastSystemError());
    KString message;
    exporter.GetMessage(message);
    EXPECT_EQ(refusal, message.Buffer());
    EXPECT_EQ(previous, zeqtest::ReadFile(target));
    std::vector<std::string> entries;
    for (const auto& entry : fs::directory_iterator(mDir.Path())) entries.push_back(entry.path().filename().string());
    EXPECT_EQ(std::vector<std::string>{fs::path(target).filename().string()}, entries);
}

// Nor is a scene without a root read into: each row's importer refuses it, as what it is, and
// reads nothing (a reader would hang what it read under the missing root).
TEST_P(SceneRoot, ASceneWithoutARootIsReadIntoByNoRow) {
    KZeqScene* scene = mManager.CreateKZeqScene();
    zeqmotiontest::MakeAnimatedChain(mManager, *scene, zeqmotiontest::ChainSpec());
    KZeqExporter exporter(mManager);
    const std::string target = Target("written");
    // An AMC file is written after its ASF file; what it holds is never read here.
    if (GetParam().mRow == KZeqExporter::eACCLAIM_AMC)
        zeqtest::WriteFile(target, ":FULLY-SPECIFIED\n:DEGREES\n1\nroot 0 0 0 0 0 0\n");
    else
        ASSERT_TRUE(Export(*scene, target, exporter)) << exporter.GetLastErrorString();
    KZeqScene* rootless = mManager.CreateKZeqScene();
    ASSERT_TRUE(rootless->GetEntity()->RemoveNode(rootless->GetRootNode()) && !rootless->GetRootNode());
    KZeqImporter importer(mManager);
    ASSERT_TRUE(importer.Initialize(target.c_str())) << importer.GetLastErrorString();
    KStreamOptions* options = IsZeqRow(GetParam().mRow) ? nullptr : importer.GetImportOptions();
    EXPECT_FALSE(importer.Import(*rootless, options));
    if (options) importer.ReleaseImportOptions(options);
    EXPECT_STREQ("The scene has no root node: there is nothing to read into.", importer.GetLastErrorString());
    EXPECT_EQ(nullptr, rootless->GetRootNode());
}

// A writer used on its own, without the exporter's check, refuses a scene without a root too,
// with its text, and writes nothing.
TEST(SceneRootWriter, AWriterOnItsOwnRefusesASceneWithoutARoot) {
    KZeqSdkManager manager;
    zeqtest::TempDir dir;
    KZeqScene* scene = manager.CreateKZeqScene();
    ASSERT_TRUE(scene->GetEntity()->RemoveNode(scene->GetRootNode()) && !scene->GetRootNode());
    KZeqExporter exporter(manager);
    const std::pair<const char*, std::function<KZeqWriter*()>> writers[] = {
        {"vpm", [&] { return new KZeqWriterPuppeteer(manager); }},
        {"mov", [&] { return new KZeqWriterCorvantisMov(manager); }},
        {"brd", [&] { return new KZeqWriterAscension(manager); }},
        {"bvh", [&] { return new KZeqWriterBiovision(manager); }},
        {"dxf", [&] { return new KZeqWriterDxf(manager); }},
        {"obj", [&] { return new KZeqWriterObj(manager); }},
        {"3ds", [&] { return new KZeqWriter3DS(manager); }},
        {"zeq", [&] { return new KZeqWriterZeq(manager, exporter); }},
    };
    for (const auto& [extension, make] : writers) {
        const std::unique_ptr<KZeqWriter> writer(make());
        const std::string target = dir / (std::string("kept.") + extension);
        zeqtest::WriteFile(target, "before\n");
        ASSERT_TRUE(writer->FileCreate(target.c_str())) << extension;
        KStreamOptions* options = writer->GetWriteOptions();
        EXPECT_FALSE(writer->Write(*scene, options)) << extension;
        EXPECT_STREQ("The scene has no root node: there is nothing to write.", writer->GetLastErrorString()) << extension;
        writer->FileClose();
        if (options) options->Destroy();
        EXPECT_TRUE(zeqtest::ReadFile(target) == "before\n") << extension << ": the file was replaced";
    }
}

// A Zeq writer handed options of another kind writes nothing either: the file stays.
TEST(SceneRootWriter, AZeqWriterRefusingItsOptionsLeavesTheFile) {
    KZeqSdkManager manager;
    zeqtest::TempDir dir;
    KZeqScene* scene = manager.CreateKZeqScene();
    KZeqExporter exporter(manager);
    KZeqWriterZeq writer(manager, exporter);
    const std::string target = dir / "kept.zeq";
    zeqtest::WriteFile(target, "before\n");
    ASSERT_TRUE(writer.FileCreate(target.c_str()));
    KStreamOptionsObj other;
    EXPECT_FALSE(writer.Write(*scene, &other));
    EXPECT_EQ(KZeqWriter::eStreamOptionsNotSet, writer.GetLastErrorID());
    EXPECT_FALSE(writer.FileClose());
    EXPECT_EQ(KZeqWriter::eStreamOptionsNotSet, writer.GetLastErrorID());
    EXPECT_TRUE(zeqtest::ReadFile(target) == "before\n") << "the file was replaced";
    EXPECT_EQ(1, std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()));
}

INSTANTIATE_TEST_SUITE_P(Rows, SceneRoot, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<ExportRow>& info) { return std::string(info.param.mName); });

}  // namespace
}  // namespace zeqsdk_400

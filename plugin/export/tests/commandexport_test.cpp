// ZEQExport through the module the host loads: its arguments, the export dialog, and whole runs of
// the host program that write files the SDK reads back.
#include "zeqtuloexport_test_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "content/kzeqmesh.h"
#include "content/kzeqnurb.h"
#include "content/kzeqtexture.h"

using namespace zeqsdk_400;

namespace {

using CommandExportTest = ZeqTuloModuleTest;

TEST_F(CommandExportTest, MisusedArgumentsFailWithTheSyntax) {
    for (const char* line : {"ZEQExport", "ZEQExport -f", "ZEQExport -x 1", "ZEQExport -caller me"}) {
        standin::clearTranscript();
        EXPECT_EQ(run(line), "<failed>") << line;
        EXPECT_TRUE(transcribed("Use syntax: ZEQExport -f <file path> [-caller <caller name>]")) << line;
    }
}

// With the export's show-UI option on, the dialog asks first: "Export" goes on (and saves the
// options), a closed or cancelled dialog writes nothing.
TEST_F(CommandExportTest, DialogConfirmsOrCancels) {
    const std::string out = mDirectory + "dialog.zeq";
    standin::dialogs().push("Cancel", "ZEQ Export Options");
    EXPECT_EQ(run("ZEQExport -f \"" + out + "\""), "<failed>");
    EXPECT_EQ(ZeqTuloReadFile(out), "");
    standin::dialogs().push("Export", "ZEQ Export Options");
    EXPECT_NE(run("ZEQExport -f \"" + out + "\" -caller \"me\""), "<failed>");
    EXPECT_NE(ZeqTuloReadFile(out), "");
    EXPECT_NE(Settings().find("kExportShowUI"), std::string::npos);
}

// Through a symbolic link the file it names is written and the link stays; a named pipe is
// refused, left as it is, and the error says why.
TEST_F(CommandExportTest, WritesThroughLinksAndRefusesPipes) {
    ASSERT_NE(run("ZEQExportShowUI 0"), "<failed>");
    const std::string real = mDirectory + "real.zeq", link = mDirectory + "link.zeq", pipe = mDirectory + "pipe.zeq";
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
    EXPECT_NE(run("ZEQExport -f \"" + link + "\""), "<failed>");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_NE(ZeqTuloReadFile(real), "");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    standin::clearTranscript();
    EXPECT_EQ(run("ZEQExport -f \"" + pipe + "\""), "<failed>");
    EXPECT_TRUE(std::filesystem::is_fifo(pipe));
    EXPECT_TRUE(transcribed("ZEQExport: File Export Failed: " + pipe + " (\"" + pipe +
                            "\" is not replaced: it is a named pipe, not a regular file)"));
}

// The host program, strict: an empty scene, the cube fixture and the NURBS fixture exported to
// files that the SDK's importer reads back with their meshes, layers, materials and textures.
TEST_F(CommandExportTest, HostProgramExportsFixtures) {
    Unload();
    std::string output;
    const std::string empty = mDirectory + "empty.zeq", cube = mDirectory + "cube.zeq", nurbs = mDirectory + "nurbs.zeq";
    ASSERT_EQ(RunStandin(mDirectory, "--strict -c 'ZEQExportShowUI 0; ZEQExport -f \"" + empty + "\"'", output), 0)
        << output;
    ASSERT_EQ(RunStandin(mDirectory,
                         "--strict -c 'standin_scene cube; ZEQExportShowUI 0; ZEQExport -f \"" + cube + "\"' -c "
                         "'file -f -new; standin_scene nurbs; ZEQExport -f \"" + nurbs + "\"'",
                         output),
              0)
        << output;

    auto read = [](const std::string& file) {
        auto manager = std::unique_ptr<KZeqSdkManager>(KZeqSdkManager::CreateKZeqSdkManager());
        KZeqScene* scene = manager->CreateKZeqScene();
        KZeqImporter* importer = manager->CreateKZeqImporter();
        EXPECT_TRUE(importer->Initialize(file.c_str()) && importer->Import(*scene)) << file;
        return std::make_pair(std::move(manager), scene);
    };
    auto [emptyManager, emptyScene] = read(empty);
    EXPECT_EQ(emptyScene->GetRootNode()->GetChildCount(false), 0);

    auto [cubeManager, cubeScene] = read(cube);
    KZeqNode* hard = cubeScene->GetRootNode()->FindChild("hardCube", true);
    ASSERT_TRUE(hard && hard->GetMesh());
    KZeqMesh* mesh = hard->GetMesh();
    ASSERT_NE(mesh->GetLayer(0), nullptr);
    ASSERT_NE(mesh->GetLayer(0)->GetMaterials(), nullptr);
    EXPECT_EQ(mesh->GetLayer(0)->GetMaterials()->GetMappingMode(), KZeqLayerElement::eBY_POLYGON);
    EXPECT_EQ(mesh->GetMaterialCount(0), 2);
    ASSERT_NE(mesh->GetLayer(0)->GetTextures(), nullptr);
    EXPECT_EQ(mesh->GetTextureCount(0), 1);
    ASSERT_NE(mesh->GetTexture(0, 0), nullptr);
    EXPECT_STREQ(mesh->GetTexture(0, 0)->GetFileName(), "/textures/brick.tif");
    ASSERT_NE(mesh->GetLayer(0)->GetUVs(), nullptr);
    EXPECT_EQ(mesh->GetLayer(0)->GetUVs()->GetIndexArray().GetCount(), 24);
    ASSERT_NE(mesh->GetLayer(0)->GetVertexColors(), nullptr);

    auto [nurbsManager, nurbsScene] = read(nurbs);
    KZeqNode* tube = nurbsScene->GetRootNode()->FindChild("tube", true);
    ASSERT_TRUE(tube && tube->GetNurb());
    EXPECT_EQ(tube->GetNurb()->GetNurbVType(), KZeqNurb::ePERIODIC);  // the host's periodic U
    EXPECT_EQ(tube->GetNurb()->GetVCount(), 8);
    EXPECT_EQ(tube->GetNurb()->GetUCount(), 4);
}

}  // namespace

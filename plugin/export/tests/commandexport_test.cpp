// ZEQExport through the module the host loads: its arguments, the export dialog, and whole runs of
// the host program that write files the SDK reads back.
#include "zeqtuloexport_test_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "content/kzeqmesh.h"
#include "content/kzeqnurb.h"
#include "content/kzeqtexture.h"
#include "fileio/tests/fileio_test_support.h"

using namespace zeqsdk_400;

namespace {

using CommandExportTest = ZeqTuloModuleTest;

// Tests that run the export as another user as well, in a folder that user reaches.
class CommandExportAsAnotherUserTest : public ZeqTuloModuleTest {
protected:
    CommandExportAsAnotherUserTest() { mForOtherUsers = true; }
};

TEST_F(CommandExportTest, MisusedArgumentsFailWithTheSyntax) {
    for (const char* line : {"ZEQExport", "ZEQExport -f", "ZEQExport -x 1", "ZEQExport -caller me"}) {
        standin::clearTranscript();
        EXPECT_EQ(run(line), "<failed>") << line;
        EXPECT_TRUE(transcribed("Use syntax: ZEQExport -f <file path> [-caller <caller name>]")) << line;
    }
}

// A folder is no target: a path ending in "/" (the folder there or not), in "." or "..", or a
// folder's name without an extension is refused before anything is written, where the ".zeq" added
// would have put the file beside the folder. A name without an extension that is no folder gets it.
TEST_F(CommandExportTest, AFolderTargetIsRefused) {
    ASSERT_NE(run("ZEQExportShowUI 0"), "<failed>");
    const std::string sub = mDirectory + "sub";
    std::filesystem::create_directory(sub);
    for (const std::string& target : {sub + "/", sub, mDirectory + "nodir/", sub + "/.", sub + "/.."}) {
        standin::clearTranscript();
        EXPECT_EQ(run("ZEQExport -f \"" + target + "\""), "<failed>") << target;
        EXPECT_TRUE(transcribed("ZEQExport: the target names a folder, not a file: " + target)) << target;
        EXPECT_TRUE(transcribed("Use syntax: ZEQExport -f <file path>")) << target;
    }
    EXPECT_TRUE(std::filesystem::is_empty(sub));
    for (const char* name : {"sub.zeq", "nodir.zeq", "nodir"}) EXPECT_FALSE(std::filesystem::exists(mDirectory + name));
    const std::filesystem::path folder = std::filesystem::path(mDirectory).parent_path();
    EXPECT_FALSE(std::filesystem::exists(folder.string() + ".zeq"));
    EXPECT_NE(run("ZEQExport -f \"" + sub + "/out\""), "<failed>");
    EXPECT_NE(ZeqTuloReadFile(sub + "/out.zeq"), "");
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

// A batch run of the host program answers no dialog: the first export and import say where they
// stop and which command turns their dialog off.
TEST_F(CommandExportTest, AnUnansweredDialogSaysHowToTurnItOff) {
    Unload();
    std::string output;
    const std::string out = mDirectory + "batch.zeq";
    EXPECT_NE(RunStandin(mDirectory, "-c 'standin_scene cube; ZEQExport -f \"" + out + "\"'", output), 0);
    EXPECT_NE(output.find("// Error: ZEQExport: the export was cancelled: nobody answered its options dialog "
                          "\"ZEQ Export Options\"; turn the dialog off with \"ZEQExportShowUI 0\""),
              std::string::npos)
        << output;
    EXPECT_EQ(ZeqTuloReadFile(out), "");
    ASSERT_EQ(RunStandin(mDirectory, "--strict -c 'standin_scene cube; ZEQExportShowUI 0; ZEQExport -f \"" + out + "\"'",
                         output),
              0)
        << output;
    EXPECT_NE(RunStandin(mDirectory, "-c 'ZEQImport -f \"" + out + "\"'", output), 0);
    EXPECT_NE(output.find("// Error: ZEQImport: the import was cancelled: nobody answered its options dialog "
                          "\"ZEQ Import Options\"; turn the dialog off with \"ZEQImportShowUI 0\""),
              std::string::npos)
        << output;
}

// A write the system refuses names the path and what the system said; nothing is left behind, and
// a folder in the way stays as it was.
TEST_F(CommandExportTest, AFailedWriteSaysWhy) {
    ASSERT_NE(run("ZEQExportShowUI 0"), "<failed>");
    std::ofstream(mDirectory + "plain.txt") << "text";
    std::filesystem::create_directory(mDirectory + "folder.zeq");
    const std::pair<const char*, const char*> cases[] = {
        {"missing/out.zeq", "No such file or directory"},
        {"plain.txt/out.zeq", "Not a directory"},
        {"folder.zeq", "Is a directory"},
    };
    for (const auto& [name, reason] : cases) {
        standin::clearTranscript();
        const std::string target = mDirectory + name;
        EXPECT_EQ(run("ZEQExport -f \"" + target + "\""), "<failed>") << name;
        EXPECT_TRUE(transcribed("ZEQExport: File Export Failed: " + target + " (" + reason + ")")) << name;
    }
    EXPECT_TRUE(std::filesystem::is_empty(mDirectory + "folder.zeq"));
    EXPECT_EQ(ZeqTuloReadFile(mDirectory + "plain.txt"), "text");
}

// A full disk and a file that may not be written say the system's reason, in the host's output and
// in the log, and leave the file as it was.
TEST_F(CommandExportAsAnotherUserTest, AFullDiskOrAProtectedFileSaysWhy) {
    ZEQ_IN_A_PROCESS_OF_ITS_OWN();
    ASSERT_NE(run("ZEQExportShowUI 0"), "<failed>");
    ASSERT_TRUE(standin::buildScene("cube"));
    const std::string log = mDirectory + "zeqtulolog.txt";
    const auto said = [&](const std::string& target, const std::string& reason) -> std::string {
        standin::clearTranscript();
        if (run("ZEQExport -f \"" + target + "\"") != "<failed>") return "exported";
        if (!transcribed("ZEQExport: File Export Failed: " + target + " (" + reason + ")")) return "not in the output";
        if (ZeqTuloReadFile(log).find("\tCannot write \"" + target + "\": " + reason + "\n\tFile Export Failed.") ==
            std::string::npos)
            return "not in the log: " + ZeqTuloReadFile(log);
        return "";
    };
    const std::string full = mDirectory + "full";
    std::filesystem::create_directory(full);
    const std::optional<std::string> onFullDisk =
        zeqtest::OnAFullDevice(full, [&] { return said(full + "/cube.zeq", "No space left on device"); });
    if (onFullDisk) {
        EXPECT_EQ("", *onFullDisk);
    }
    EXPECT_TRUE(std::filesystem::is_empty(full));

    const std::string protectedFile = mDirectory + "protected.zeq";
    std::ofstream(protectedFile) << "kept";
    ASSERT_EQ(::chmod(protectedFile.c_str(), 0444), 0);
    // The other user writes a log of its own.
    std::filesystem::remove(log);
    std::filesystem::permissions(mDirectory, std::filesystem::perms::all);
    const std::optional<std::string> refused =
        zeqtest::AsUnprivileged(mDirectory, [&] { return said(protectedFile, "Permission denied"); });
    if (refused) {
        EXPECT_EQ("", *refused);
    }
    EXPECT_EQ(ZeqTuloReadFile(protectedFile), "kept");
    if (!onFullDisk || !refused) GTEST_SKIP() << "no memory file system to fill, or no user other than root to be";
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

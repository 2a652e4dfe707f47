// "Media": names shared by textures and camera backgrounds, embedding, extraction, conversion, skipped entries.

#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>
#include <gtest/gtest.h>
#include "content/kzeqcamera.h"
#include "content/kzeqimageconverter.h"
#include "content/kzeqtexture.h"
#include "fileio/kpath.h"
#include "fileio/kzeq.h"
#include "fileio/tests/fileio_test_support.h"
#include "fileio/tests/kfileacl.h"
#include "fileio/tests/kotheruseract.h"
#include "fileio/tests/kplantedlinks.h"
#include "fileio/tests/test_users.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqexporter.h"
#include "io/kzeqfields.h"
#include "io/kzeqimporter.h"
#include "io/kzeqreaderzeq.h"
#include "io/kzeqwriterzeq.h"
#include "io/tests/zeqroundtrip.h"
#include "object/izeqobject.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;
using namespace zeqiotest;

namespace {
struct MediaTest : ::testing::TestWithParam<ZeqFileCase> {
    MediaTest() {
        std::filesystem::create_directories(mDir.Path() / "a"), std::filesystem::create_directories(mDir.Path() / "b");
        zeqtest::WriteFile(mDir / "a/wood.tif", "wood A"), zeqtest::WriteFile(mDir / "b/wood.png", "wood B");
    }
    KZeqTexture* Texture(const std::string& file, const char* media = "") {
        KZeqTexture* texture = mManager.CreateKZeqTexture(("T" + std::to_string(mTextures++)).c_str());
        texture->SetFileName(file.c_str()), texture->SetMediaName(media), mScene->GetEntity()->AddTexture(texture);
        return texture;
    }
    // Through the exporter's row, embedding asked for.
    bool Write(const ZeqFileCase& form, const std::string& path) {
        KZeqExporter exporter(mManager);
        KStreamOptionsZeq options;
        exporter.Initialize(path.c_str()), exporter.SetFileFormat(form.mExportRow);
        exporter.SetExportOptionsInfo(&options), options.SetOption(KStreamOptionsZeq::eEMBED_MEDIA, true);
        return exporter.Export(*mScene, &options);
    }
    // ReadMedia on the main section of a file, over the scene.
    bool ReadMediaOf(const std::string& path, KZeqScene& scene, KZeqTexture* textureRead = nullptr) {
        KZeqImporter importer(mManager);
        KZeqReaderZeq reader(mManager, importer);
        if (textureRead) reader.AddTextureRead(*textureRead);
        if (!reader.FileOpen(path.c_str())) return false;
        return reader.SetIsBeforeVersion6WithMainSection(true), reader.GetZeqObject()->ProjectOpenMainSection() &&
                                                                    reader.ReadMedia(scene);
    }
    zeqtest::TempDir mDir;
    KZeqSdkManager mManager;
    KZeqScene* mScene = mManager.CreateKZeqScene();
    int mTextures = 0;
};
}  // namespace

// wood and wood1 by file, one entry per file, shared by the camera, none for an empty name; embedded in binary only.
TEST_P(MediaTest, NamesAndEmbedding) {
    const ZeqFileCase& form = GetParam();
    KZeqTexture *a = Texture(mDir / "a/wood.tif"), *b = Texture(mDir / "b/wood.png");
    KZeqTexture *again = Texture(mDir / "a/./wood.tif"), *none = Texture("");
    KZeqNode* node = mManager.CreateKZeqNode("Cam");
    node->SetNodeAttribute(mManager.CreateKZeqCamera()), mScene->GetRootNode()->AddChild(node);
    KZeqCamera* camera = node->GetCamera();
    camera->SetBackgroundFileName((mDir / "b/wood.png").c_str());
    const std::string path = mDir / "scene.zeq";
    ASSERT_TRUE(Write(form, path));
    EXPECT_EQ("wood wood1 wood  wood1", std::string(a->GetMediaName().Buffer()) + " " + b->GetMediaName().Buffer() +
                                            " " + again->GetMediaName().Buffer() + " " + none->GetMediaName().Buffer() +
                                            " " + camera->GetBackgroundMediaName());
    const std::string text = form.mMode ? "\nMedia: " : zeqtest::ReadFile(path);
    const std::string media = text.substr(text.find("\nMedia: "));
    for (const char* absent : {"OriginalFormat", "Content", "Version"})
        EXPECT_EQ(std::string::npos, media.substr(0, media.find("\n}")).find(absent)) << absent;
    // The sources go away: a 5.8 read takes the file's own copy, or the file found.
    std::filesystem::remove_all(mDir.Path() / "a");
    KZeqScene* read = ReadZeqFile(mManager, path);
    ASSERT_NE(nullptr, read);
    // 6.0 keeps textures without geometry: in a binary file their media come out of it (both "wood" textures then
    // name one file and merge); in text each keeps its lost file.
    std::string woods;
    for (int i = 0; i < read->GetEntity()->GetTextureCount(); ++i) {
        const KZeqTexture* texture = read->GetEntity()->GetTexture(i);
        if (std::string(texture->GetFileName()).find("wood.tif") != std::string::npos)
            woods += (std::filesystem::exists(texture->GetFileName()) ? zeqtest::ReadFile(texture->GetFileName())
                                                                      : std::string("missing")) + ";";
    }
    if (form.mFileVersion != 5800) {
        EXPECT_EQ(form.mMode ? "wood A;" : "missing;missing;", woods);
        return;
    }  // 6.0 keeps backgrounds as texture connections
    const std::string background = read->GetRootNode()->FindChild("Cam")->GetCamera()->GetBackgroundFileName();
    EXPECT_EQ(form.mMode ? mDir / "scene.zqm/b/wood.png" : mDir / "b/wood.png", background);
    EXPECT_EQ("wood B", zeqtest::ReadFile(background));
}
// The forms with an exporter row (all but 5.8 encrypted).
INSTANTIATE_TEST_SUITE_P(Forms, MediaTest, ::testing::ValuesIn(kZeqFileCases, kZeqFileCases + 5), ZeqFileCaseName);

namespace {
struct MediaReadTest : MediaTest {
    // ReadMediaOf, answering what the read said ("<not read>" when it failed).
    std::string ReadMediaSaying(const std::string& path, KZeqScene& scene) {
        KZeqImporter importer(mManager);
        KZeqReaderZeq reader(mManager, importer);
        if (!reader.FileOpen(path.c_str())) return "<not read>";
        reader.SetIsBeforeVersion6WithMainSection(true);
        if (!reader.GetZeqObject()->ProjectOpenMainSection() || !reader.ReadMedia(scene)) return "<not read>";
        KString message;
        reader.GetMessage(message);
        return message.Buffer();
    }
};
bool gConvertBack = true;

// Reads any file as a 1 x 1 image; writes "converted" over the file when converting back is on.
int KeepPathConverter(int direction, KString& fileName, ImageConverterBuffer& buffer) {
    if (direction == 0) return buffer.Init(1, 1, true, 0, 3), buffer.mData[0] = 10, buffer.mData[1] = 20, 0;
    return gConvertBack ? (zeqtest::WriteFile(fileName.Buffer(), "converted"), 0) : 1;
}
}  // namespace

// The first resolved entry of a name wins; "Live" entries, clips without a file and a second entry of a read
// name are skipped; "OriginalFormat" needs "Version"; a relative name stays when set. A version-6 read meets
// "Media" before the connections: the textures it made are resolved.
TEST_F(MediaReadTest, ReadingAndConverting) {
    const std::string path = mDir / "read.zeq";
    MakeZeqFile(path, 5800, 0,
                "Media: {;Video: {;Video: \"Video input 1\" {;Type: \"Live\";Input: 0;};"
                "Video: \"gone\" {;Type: \"Clip\";Filename: \"nowhere.png\";};"
                "Video: \"wood\" {;Type: \"Clip\";OriginalFormat: 0;Filename: \"a/wood.tif\";};"
                "Video: \"wood\" {;Type: \"Clip\";Filename: \"b/wood.png\";};"
                "Video: \"gone\" {;Type: \"Clip\";Filename: \"b/wood.png\";};"
                "Video: \"live\" {;Type: \"clip\";Filename: \"b/wood.png\";};};}");
    KZeqTexture *wood = Texture("old.tif", "wood"), *kept = Texture("old.tif", "wood");
    KZeqTexture *gone = Texture("old.tif", "gone"), *live = Texture("old.tif", "live");
    kept->SetRelativeFileName("mine.tif");
    ASSERT_TRUE(ReadMediaOf(path, *mScene));
    EXPECT_EQ(mDir / "a/wood.tif " + mDir / "b/wood.png old.tif", std::string(wood->GetFileName()) + " " +
                                                                    gone->GetFileName() + " " + live->GetFileName());
    EXPECT_EQ("a/wood.tif mine.tif", std::string(wood->GetRelativeFileName()) + " " + kept->GetRelativeFileName());
    MakeZeqFile(path, 6000, 0,
                "Definitions: {;};Media: {;Video: {;Video: \"w\" {;Type: \"Clip\";Filename: \"b/wood.png\";};};}");
    KZeqTexture* loose = Texture("", "w");
    ASSERT_TRUE(ReadMediaOf(path, *mManager.CreateKZeqScene(), loose));
    EXPECT_EQ(mDir / "b/wood.png", loose->GetFileName());
    // A converter that keeps the path: the user's image is neither overwritten nor deleted; the TIFF travels
    // in the file and is converted back on reading, or stays the texture's file when that fails.
    const std::string temporary = mDir / "tmp", former = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
    std::filesystem::create_directories(temporary);
    setenv("TMPDIR", temporary.c_str(), 1);
    mManager.CreateKZeqImageConverter()->RegisterConverterFunction("png", &KeepPathConverter);
    mScene = mManager.CreateKZeqScene(), Texture(mDir / "b/wood.png");
    const bool written = Write(kZeqFileCases[4], path);
    former.empty() ? unsetenv("TMPDIR") : setenv("TMPDIR", former.c_str(), 1);
    ASSERT_TRUE(written);
    EXPECT_EQ("wood B", zeqtest::ReadFile(mDir / "b/wood.png"));
    EXPECT_TRUE(std::filesystem::is_empty(temporary));
    KZeqTexture* texture = Texture("old.png", "wood");
    ASSERT_TRUE(ReadMediaOf(path, *mScene));
    EXPECT_EQ(mDir / "read.zqm/b/wood.png", texture->GetFileName());
    EXPECT_EQ("converted", zeqtest::ReadFile(texture->GetFileName()));
    gConvertBack = false;  // the converter fails: the TIFF stays
    const bool read = ReadMediaOf(path, *mScene);
    gConvertBack = true;
    EXPECT_TRUE(read);
    ImageConverterBuffer image;
    ASSERT_TRUE(ReadFromTif(KString(texture->GetFileName()), image, false)) << texture->GetFileName();
    EXPECT_EQ(20, image.mData[1]);
}

// Names after a folder and "..", as the system walks them: with lnk a link to b/deep,
// lnk/../wood.png is b/wood.png (wood.png beside the file as text would have it); through a
// folder that is not there, gone/../wood.png names no file, and the texture keeps that name
// rather than take wood.png beside the file. Runs as any user.
TEST_F(MediaReadTest, ANameAfterALinkedFolderIsTheFileTheSystemOpens) {
    std::filesystem::create_directories(mDir.Path() / "b/deep");
    std::filesystem::create_directory_symlink(mDir.Path() / "b/deep", mDir.Path() / "lnk");
    zeqtest::WriteFile(mDir / "wood.png", "beside the file");
    const std::string path = mDir / "read.zeq";
    MakeZeqFile(path, 5800, 0,
                "Media: {;Video: {;Video: \"wood\" {;Type: \"Clip\";Filename: \"lnk/../wood.png\";};"
                "Video: \"gone\" {;Type: \"Clip\";Filename: \"gone/../wood.png\";};};}");
    KZeqTexture *wood = Texture("old.png", "wood"), *gone = Texture("", "gone");
    ASSERT_TRUE(ReadMediaOf(path, *mScene));
    EXPECT_EQ(mDir / "b/wood.png", wood->GetFileName());
    EXPECT_EQ(mDir / "gone/../wood.png", gone->GetFileName());
}

// A converted image read back is written where it was extracted, in the folder the extraction
// holds: the media folder swapped for a link (to a private folder) once the conversion began
// changes nothing of where it goes. A media folder of another user is not entered, and the
// read says so (the next test).
TEST_F(MediaReadTest, AConvertedImageGoesWhereItWasExtracted) {
    mManager.CreateKZeqImageConverter()->RegisterConverterFunction(
        "png", [](int direction, KString& fileName, ImageConverterBuffer& buffer) {
            if (direction == 0) return buffer.Init(1, 1, true, 0, 3), buffer.mData[0] = 10, 0;
            return WriteToTif(fileName, false, buffer) ? 0 : 1;
        });
    Texture(mDir / "b/wood.png");
    const std::string path = mDir / "read.zeq", media = mDir / "read.zqm", moved = mDir / "read.zqm.moved";
    ASSERT_TRUE(Write(kZeqFileCases[4], path));
    std::filesystem::create_directories(mDir.Path() / "private/b");
    zeqtest::WriteFile(mDir / "private/b/wood.png", "private");
    {
        const zeqtest::AtTemporaryNamed swap([&](const std::string&) {
            if (std::filesystem::exists(moved)) return;
            std::filesystem::rename(media, moved);
            std::filesystem::create_directory_symlink(mDir.Path() / "private", media);
        });
        ASSERT_TRUE(ReadMediaOf(path, *mScene));
    }
    EXPECT_EQ("private", zeqtest::ReadFile(mDir / "private/b/wood.png"));
    ImageConverterBuffer image;
    ASSERT_TRUE(ReadFromTif(KString((moved + "/b/wood.png").c_str()), image, false));
    EXPECT_EQ(10, image.mData[0]);
}

// The media records after the refused one hold no content (their images were missing when the
// file was written): the refusal is said once, not again for each of them.
TEST_F(MediaReadTest, AMediaFolderOfAnotherUserIsNotEntered) {
    ZEQ_SKIP_UNLESS_ROOT("a folder of another user");
    Texture(mDir / "b/wood.png");
    for (const char* missing : {"c.png", "d.png", "e.png", "f.png"}) Texture(mDir / missing);
    const std::string path = mDir / "read.zeq", media = mDir / "read.zqm";
    ASSERT_TRUE(Write(kZeqFileCases[4], path));
    std::filesystem::remove_all(media);
    std::filesystem::create_directories(media);
    ASSERT_EQ(0, ::chown(media.c_str(), zeqtest::kUnprivileged, zeqtest::kUnprivileged));
    KZeqImporter importer(mManager);
    KZeqReaderZeq reader(mManager, importer);
    ASSERT_TRUE(reader.FileOpen(path.c_str()));
    reader.SetIsBeforeVersion6WithMainSection(true);
    ASSERT_TRUE(reader.GetZeqObject()->ProjectOpenMainSection() && reader.ReadMedia(*mScene));
    KString message;
    reader.GetMessage(message);
    EXPECT_NE(std::string::npos, std::string(message.Buffer()).find("The embedded file \"b/wood.png\" is not extracted: "))
        << message.Buffer();
    EXPECT_NE(std::string::npos,
              std::string(message.Buffer()).find("the folder \"" + media + "\" belongs to another user and is not entered"))
        << message.Buffer();
    EXPECT_TRUE(std::filesystem::is_empty(media));
    const std::string said = message.Buffer();
    EXPECT_EQ(said.find("is not extracted"), said.rfind("is not extracted")) << said;
}

using zeqtest::FolderOthersMayWrite;
using zeqtest::kFoldersOthersMayWrite;
using zeqtest::ListedBelow;
using zeqtest::Occurrences;

// What a read extracts goes where nobody named it to go. Another user's link in place of the
// media folder, or on the way to the Zeq file (its folder), where another user may write, naming
// root's folder (0700), is not followed: nothing is extracted there, and the read says why once,
// naming the link and its owner. Nor is root's own link there, which they may have renamed onto
// the name (the folder is not sticky).
TEST_F(MediaReadTest, NothingIsExtractedThroughAnotherUsersLink) {
    ZEQ_SKIP_UNLESS_ROOT("links of another user");
    Texture(mDir / "b/wood.png");
    const std::string written = mDir / "read.zeq";
    ASSERT_TRUE(Write(kZeqFileCases[4], written));
    int index = 0;
    for (const FolderOthersMayWrite& place : kFoldersOthersMayWrite) {
        for (const bool onTheWay : {false, true}) {
            for (const uid_t owner : {zeqtest::kUnprivileged, uid_t(0)}) {
                SCOPED_TRACE(std::string(place.mName) + (onTheWay ? ", on the way" : ", in the media folder's place") +
                             (owner == 0 ? ", root's own link" : ", their link"));
                const std::filesystem::path base = mDir.Path() / ("case" + std::to_string(index++));
                const zeqtest::RootsSecret secret(base);
                const std::filesystem::path roots = std::filesystem::path(secret.Path()).parent_path();
                const std::filesystem::path folder = base / "shared";
                ASSERT_TRUE(zeqtest::MakeFolderOf(place.mOwner, folder, place.mMode, place.mGroup));
                const std::string link = folder / (onTheWay ? "way" : "read.zqm");
                std::filesystem::copy_file(written, (onTheWay ? roots : folder) / "read.zeq");
                ASSERT_TRUE(zeqtest::MakeLinkOf(owner, roots, link));
                const std::vector<std::string> before = ListedBelow(roots);
                const std::string said =
                    ReadMediaSaying(onTheWay ? link + "/read.zeq" : (folder / "read.zeq").string(), *mScene);
                const std::string refusal = owner == 0 ? zeqtest::RenamableLinkRefusal(link, zeqtest::FolderOthersWrite(place.mOwner, place.mMode, place.mGroup))
                                                       : zeqtest::OthersLinkRefusal(link);
                EXPECT_EQ(1u, Occurrences(said, "The embedded file \"b/wood.png\" is not extracted: ")) << said;
                EXPECT_EQ(1u, Occurrences(said, refusal)) << said;
                EXPECT_EQ(before, ListedBelow(roots));
                EXPECT_TRUE(secret.Intact());
            }
        }
    }
}

// An image converted on reading is written where it was extracted, as a file nobody named:
// another user's link under its name, in a media folder (root's) another user may write, naming
// root's file, is not followed: root's file stays, the read says why, and the texture keeps the
// image extracted. Nor is root's own link there, which they may have renamed onto the name.
TEST_F(MediaReadTest, AConvertedImageFollowsNoLinkOfAnotherUser) {
    ZEQ_SKIP_UNLESS_ROOT("links of another user");
    mManager.CreateKZeqImageConverter()->RegisterConverterFunction(
        "png", [](int direction, KString& fileName, ImageConverterBuffer& buffer) {
            if (direction == 0) return buffer.Init(1, 1, true, 0, 3), buffer.mData[0] = 10, 0;
            fileName += ".png";
            return WriteToTif(fileName, false, buffer) ? 0 : 1;
        });
    Texture(mDir / "b/wood.png");
    const std::string path = mDir / "read.zeq", media = mDir / "read.zqm/b";
    ASSERT_TRUE(Write(kZeqFileCases[4], path));
    int index = 0;
    for (const FolderOthersMayWrite& place : kFoldersOthersMayWrite) {
        // The media folder is the reader's own: a folder of the other user's is not entered.
        if (place.mOwner != 0) continue;
        for (const uid_t owner : {zeqtest::kUnprivileged, uid_t(0)}) {
            SCOPED_TRACE(std::string(place.mName) + (owner == 0 ? ", root's own link" : ", their link"));
            const zeqtest::RootsSecret secret(mDir.Path() / ("root" + std::to_string(index++)));
            std::filesystem::remove_all(mDir.Path() / "read.zqm");
            ASSERT_TRUE(zeqtest::MakeFolderOf(place.mOwner, media, place.mMode, place.mGroup));
            const std::string link = media + "/wood.png.png";
            ASSERT_TRUE(zeqtest::MakeLinkOf(owner, secret.Path(), link));
            mScene = mManager.CreateKZeqScene();
            KZeqTexture* texture = Texture("old.png", "wood");
            const std::string said = ReadMediaSaying(path, *mScene);
            const std::string refused =
                "The embedded file \"" + media + "/wood.png\" is not converted: " + "Cannot write \"" + link +
                "\": " +
                (owner == 0 ? zeqtest::RenamableLinkRefusal(link, zeqtest::FolderOthersWrite(place.mOwner, place.mMode, place.mGroup))
                            : zeqtest::OthersLinkRefusal(link)) +
                ".";
            EXPECT_EQ(1u, Occurrences(said, refused)) << said;
            EXPECT_EQ(media + "/wood.png", texture->GetFileName());
            EXPECT_TRUE(secret.Intact());
        }
    }
}

// An image converted to be embedded passes through a scratch file nobody named: where the
// temporary folder's path goes through another user's link where another user may write, no
// scratch file is made there, the image is embedded as it is, and the export says why.
TEST_F(MediaReadTest, NoScratchFileThroughAnotherUsersLink) {
    ZEQ_SKIP_UNLESS_ROOT("links of another user");
    mManager.CreateKZeqImageConverter()->RegisterConverterFunction("png", &KeepPathConverter);
    const std::string image = mDir / "b/wood.png";
    Texture(image);
    for (const FolderOthersMayWrite& place : kFoldersOthersMayWrite) {
        SCOPED_TRACE(place.mName);
        const std::filesystem::path base = mDir.Path() / "scratch";
        std::filesystem::remove_all(base);
        const zeqtest::RootsSecret secret(base);
        const std::filesystem::path roots = std::filesystem::path(secret.Path()).parent_path();
        ASSERT_TRUE(zeqtest::MakeFolderOf(place.mOwner, base / "shared", place.mMode, place.mGroup));
        const std::string link = base / "shared/tmp";
        ASSERT_TRUE(zeqtest::MakeLinkOf(zeqtest::kUnprivileged, roots, link));
        const char* former = std::getenv("TMPDIR");
        const std::string kept = former ? former : "";
        setenv("TMPDIR", link.c_str(), 1);
        KZeqExporter exporter(mManager);
        KStreamOptionsZeq options;
        exporter.Initialize((mDir / "embedded.zeq").c_str()), exporter.SetFileFormat(kZeqFileCases[4].mExportRow);
        exporter.SetExportOptionsInfo(&options), options.SetOption(KStreamOptionsZeq::eEMBED_MEDIA, true);
        const bool written = exporter.Export(*mScene, &options);
        former ? setenv("TMPDIR", kept.c_str(), 1) : unsetenv("TMPDIR");
        ASSERT_TRUE(written);
        KString message;
        exporter.GetMessage(message);
        const std::string refused = "The media file \"" + image + "\" is embedded as it is, not converted: " +
                                    "Cannot use the folder \"" + link + "\": " + zeqtest::OthersLinkRefusal(link) + ".";
        EXPECT_EQ(1u, Occurrences(message.Buffer(), refused)) << message.Buffer();
        EXPECT_EQ(std::vector<std::string>{secret.Path()}, ListedBelow(roots));
    }
}

// Extracted into a setgid folder, media and the folders made for them take the folder's group,
// not the Zeq file's: where that is another group, they get no more group access than others
// have (as a replacement refuses to give one group's access to another); where the folder's group
// is the file's, its group bits stay. What is made is looked at again: in a plain folder, where
// the process's file-system group is another than foreseen, the same holds.
TEST_F(MediaReadTest, ASetgidFolderOfAnotherGroupGetsNoMoreThanOthers) {
    ZEQ_SKIP_UNLESS_ROOT("a folder of another group");
    const std::string shared = mDir / "shared", path = shared + "/read.zeq", media = shared + "/read.zqm";
    std::filesystem::create_directories(shared + "/b");
    zeqtest::WriteFile(shared + "/b/wood.png", "wood");
    Texture(shared + "/b/wood.png");
    ASSERT_EQ(0, ::chown(shared.c_str(), 0, zeqtest::kUnprivileged));
    ASSERT_TRUE(Write(kZeqFileCases[4], path));
    const struct {
        bool mSetgid;
        gid_t mGroup;
        mode_t mMode, mFile, mFolder;
    } cases[] = {
        {true, 0, 0640, 0600, 0700},
        {true, 0, 0644, 0644, 0755},
        {true, zeqtest::kUnprivileged, 0640, 0640, 0750},
        {false, 0, 0640, 0600, 0700},
    };
    for (const auto& test : cases) {
        char mode[8];
        std::snprintf(mode, sizeof(mode), "0%o", static_cast<unsigned>(test.mMode));
        SCOPED_TRACE(std::string(test.mSetgid ? "setgid" : "plain, another file-system group") + ", group " +
                     std::to_string(test.mGroup) + ", mode " + mode);
        std::filesystem::remove_all(media);
        ASSERT_EQ(0, ::chmod(shared.c_str(), test.mSetgid ? 02775 : 0775));
        ASSERT_EQ(0, ::chown(path.c_str(), 0, test.mGroup));
        ASSERT_EQ(0, ::chmod(path.c_str(), test.mMode));
        const mode_t mask = ::umask(022);
        const int group = test.mSetgid ? -1 : ::setfsgid(zeqtest::kUnprivileged);
        const bool read = ReadMediaOf(path, *mManager.CreateKZeqScene());
        if (group >= 0) ::setfsgid(static_cast<gid_t>(group));
        ::umask(mask);
        ASSERT_TRUE(read);
        struct stat st;
        for (const std::string& folder : {media, media + "/b"}) {
            ASSERT_EQ(0, ::stat(folder.c_str(), &st)) << folder;
            EXPECT_EQ(zeqtest::kUnprivileged, st.st_gid) << folder;
            EXPECT_EQ(test.mFolder, st.st_mode & 0777) << folder;
        }
        ASSERT_EQ(0, ::stat((media + "/b/wood.png").c_str(), &st));
        EXPECT_EQ(zeqtest::kUnprivileged, st.st_gid);
        EXPECT_EQ(test.mFile, st.st_mode & 07777);
    }
}

// A media folder of the reader's own that the setgid folder's group may enter: the file being
// extracted there is made without that group's access from its first moment, so a member who
// opens each temporary the moment it takes its name gets none of them.
TEST_F(MediaReadTest, AFileBeingExtractedIsNeverOpenToAnotherGroup) {
    ZEQ_SKIP_UNLESS_ROOT("a folder of another group");
    const zeqtest::TempDir reach(zeqtest::TempDir::kOtherUsers);
    const std::string shared = reach / "shared", path = shared + "/read.zeq", media = shared + "/read.zqm";
    std::filesystem::create_directories(media);
    zeqtest::WriteFile(shared + "/wood.png", "wood");
    for (const std::string& folder : {shared, media}) {
        ASSERT_EQ(0, ::chown(folder.c_str(), 0, zeqtest::kUnprivileged));
        ASSERT_EQ(0, ::chmod(folder.c_str(), 02775));
    }
    Texture(shared + "/wood.png");
    ASSERT_TRUE(Write(kZeqFileCases[4], path));
    ASSERT_EQ(0, ::chown(path.c_str(), 0, 0));
    ASSERT_EQ(0, ::chmod(path.c_str(), 0640));
    const mode_t mask = ::umask(022);
    bool read = false;
    std::vector<std::string> named, opened;
    {
        zeqtest::OtherUserOpensTemporaries member(media);
        if (!member.Started()) {
            ::umask(mask);
            GTEST_SKIP() << zeqtest::NoOtherUser();
        }
        read = ReadMediaOf(path, *mManager.CreateKZeqScene());
        named = member.Named(), opened = member.Opened();
    }
    ::umask(mask);
    ASSERT_TRUE(read);
    EXPECT_EQ(1u, named.size());
    EXPECT_EQ(std::vector<std::string>{}, opened);
    struct stat st;
    ASSERT_EQ(0, ::stat((media + "/wood.png").c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 07777);
}

// An image that cannot be embedded is said with the reason, and the file written gets no more
// access than the images embedded in it: under an access list, what the image's owning group
// may do, not the mask its mode shows (an image a named user may read, its group not, written
// into a setgid folder of its group).
TEST_F(MediaReadTest, EmbeddingSaysWhatItLeavesOutAndKeepsImagesPrivate) {
    const std::string shared = mDir / "shared", image = mDir / "a/wood.tif";
    std::filesystem::create_directories(shared);
    ASSERT_EQ(0, ::chmod(shared.c_str(), 02755));
    Texture(image), Texture(mDir / "a");
    ASSERT_EQ(0, ::chmod(image.c_str(), 0600));
    for (const bool listed : {false, true}) {
        SCOPED_TRACE(listed ? "a named user may read the image" : "the image is its owner's alone");
        if (listed && !zeqtest::SetAcl(image, "u::rw-,u:4242:r--,g::---,m::r--,o::---"))
            GTEST_SKIP() << "no access control lists here (the plain image was checked)";
        const std::string path = shared + (listed ? "/listed.zeq" : "/embedded.zeq");
        const mode_t mask = ::umask(022);
        KZeqExporter exporter(mManager);
        KStreamOptionsZeq options;
        exporter.Initialize(path.c_str()), exporter.SetFileFormat(kZeqFileCases[4].mExportRow);
        exporter.SetExportOptionsInfo(&options), options.SetOption(KStreamOptionsZeq::eEMBED_MEDIA, true);
        const bool written = exporter.Export(*mScene, &options);
        ::umask(mask);
        ASSERT_TRUE(written);
        KString message;
        exporter.GetMessage(message);
        EXPECT_NE(std::string::npos, std::string(message.Buffer()).find("The media file \"" + mDir / "a" +
                                                                        "\" is not embedded: \"" + mDir / "a" +
                                                                        "\" is not read: it is a directory"))
            << message.Buffer();
        struct stat st;
        ASSERT_EQ(0, ::stat(path.c_str(), &st));
        EXPECT_EQ(0600u, st.st_mode & 07777);
    }
}

// An image converted on reading, under a name of its own, gets no more access than the file it
// comes from: from a Zeq file of its owner's alone (umask 022), an image of its owner's alone,
// whether the converter writes it with the SDK's writer or by its own means.
TEST_F(MediaReadTest, AConvertedImageGetsNoMoreAccessThanItsFile) {
    static bool sOwnWriter = false;
    mManager.CreateKZeqImageConverter()->RegisterConverterFunction(
        "png", [](int direction, KString& fileName, ImageConverterBuffer& buffer) {
            if (direction == 0) return buffer.Init(1, 1, true, 0, 3), buffer.mData[0] = 10, 0;
            fileName += ".png";
            if (sOwnWriter) return zeqtest::WriteFile(fileName.Buffer(), "converted"), 0;
            return WriteToTif(fileName, false, buffer) ? 0 : 1;
        });
    for (const bool ownWriter : {true, false}) {
        const std::string path = mDir / (ownWriter ? "own.zeq" : "sdk.zeq");
        mScene = mManager.CreateKZeqScene();
        KZeqTexture* texture = Texture(mDir / "b/wood.png");
        ASSERT_TRUE(Write(kZeqFileCases[4], path));
        ASSERT_EQ(0, ::chmod(path.c_str(), 0600));
        sOwnWriter = ownWriter;
        const mode_t mask = ::umask(022);
        const bool read = ReadMediaOf(path, *mScene);
        ::umask(mask);
        ASSERT_TRUE(read);
        const std::string converted = texture->GetFileName();
        ASSERT_EQ(".png.png", converted.substr(converted.size() - 8)) << converted;
        struct stat st;
        ASSERT_EQ(0, ::stat(converted.c_str(), &st)) << converted;
        EXPECT_EQ(0600u, st.st_mode & 07777) << (ownWriter ? "its own writer" : "the SDK's writer");
    }
}

// "OriginalFormat" is 0 only for a converted TIFF that travels: a failed conversion embeds the file itself.
TEST_F(MediaReadTest, OriginalFormatSaysWhatTravels) {
    zeqtest::WriteFile(mDir / "b/wood.bmp", "wood C");
    mManager.CreateKZeqImageConverter()->RegisterConverterFunction("png", &KeepPathConverter);
    mManager.CreateKZeqImageConverter()->RegisterConverterFunction(
        "bmp", [](int, KString&, ImageConverterBuffer&) { return 1; });
    Texture(mDir / "b/wood.png"), Texture(mDir / "b/wood.bmp");
    const std::string path = mDir / "formats.zeq";
    ASSERT_TRUE(Write(kZeqFileCases[4], path));
    KZeqImporter importer(mManager);
    KZeqReaderZeq reader(mManager, importer);
    ASSERT_TRUE(reader.FileOpen(path.c_str()));
    reader.SetIsBeforeVersion6WithMainSection(true);
    KZeq& file = *reader.GetZeqObject();
    ASSERT_TRUE(file.ProjectOpenMainSection() && file.FieldReadBegin("Media") && file.FieldReadBlockBegin() &&
                file.FieldReadBegin("Video") && file.FieldReadBlockBegin());
    std::string formats;
    while (file.FieldReadBegin("Video")) {
        formats += std::string(file.FieldReadC().Buffer()) + "=";
        if (file.FieldReadBlockBegin()) formats += std::to_string(file.FieldReadI("OriginalFormat", -1)) + " ";
        file.FieldReadBlockEnd(), file.FieldReadEnd();
    }
    EXPECT_EQ("wood=0 wood1=1 ", formats);
}

// A scratch file is made for an image converted on its way into the file, and for nothing else:
// the temporary folder, watched, sees none while images are written by name (no embedding asked,
// or an ASCII file) or embedded as they are (no converter takes them), though it is opened itself
// meanwhile, as a file watcher opens each new folder; a file made in it counts.
TEST_F(MediaReadTest, AScratchFileOnlyForAConvertedImage) {
    const std::string temporary = mDir / "scratch";
    std::filesystem::create_directories(temporary);
    struct TemporaryFolder {
        explicit TemporaryFolder(const std::string& path) : mFormer(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "") {
            setenv("TMPDIR", path.c_str(), 1);
        }
        ~TemporaryFolder() { mFormer.empty() ? unsetenv("TMPDIR") : setenv("TMPDIR", mFormer.c_str(), 1); }
        std::string mFormer;
    } folder(temporary);
    const KDescriptor watched(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    const int watch = watched.Get();
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, temporary.c_str(), IN_OPEN | IN_CREATE), 0);
    // The files opened or made in the folder since the last call: events naming an entry. The
    // folder's own opening (a file watcher or an indexer reading it, here the test) is no scratch file.
    const auto opened = [watch] {
        int count = 0;
        alignas(inotify_event) char events[4096];
        for (ssize_t got; (got = ::read(watch, events, sizeof(events))) > 0;)
            for (char* at = events; at < events + got; at += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(at)->len)
                count += reinterpret_cast<inotify_event*>(at)->len > 0;
        return count;
    };
    // As a file watcher does with each new folder: it opens it to read it.
    const auto openTheFolder = [&temporary] {
        const int folder = ::open(temporary.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        return folder >= 0 && ::close(folder) == 0;
    };
    zeqtest::WriteFile(temporary + "/made", "made");
    const int made = opened();
    std::filesystem::remove(temporary + "/made");
    if (made == 0) GTEST_SKIP() << "the file system reports no file made in a watched folder";
    for (int i = 0; i < 4; ++i) Texture(mDir / (i % 2 ? "a/wood.tif" : "b/wood.png"));
    const auto write = [&](const ZeqFileCase& form, bool embed) {
        KZeqExporter exporter(mManager);
        KStreamOptionsZeq options;
        exporter.Initialize((mDir / "scratch.zeq").c_str()), exporter.SetFileFormat(form.mExportRow);
        exporter.SetExportOptionsInfo(&options), options.SetOption(KStreamOptionsZeq::eEMBED_MEDIA, embed);
        return exporter.Export(*mScene, &options);
    };
    const struct { const char* mWhat; int mForm; bool mEmbed; } unconverted[] = {
        {"binary, by name", 1, false}, {"ASCII, embedding asked", 0, true}, {"binary, embedded as they are", 1, true}};
    for (const auto& row : unconverted) {
        EXPECT_TRUE(write(kZeqFileCases[row.mForm], row.mEmbed)) << row.mWhat;
        ASSERT_TRUE(openTheFolder());
        EXPECT_EQ(0, opened()) << row.mWhat;
    }
    mManager.CreateKZeqImageConverter()->RegisterConverterFunction("png", &KeepPathConverter);
    EXPECT_TRUE(write(kZeqFileCases[1], true));
    const int converted = opened();
    if (converted == 0) GTEST_SKIP() << "the file system reports no unnamed file made in a watched folder";
    EXPECT_TRUE(std::filesystem::is_empty(temporary));
}

// The live-input entry: "Video input 1" of type "Live" with five zero ints,
// which a reader passes over for the clip beside it.
TEST_F(MediaReadTest, DefaultLiveInputEntry) {
    KZeqExporter exporter(mManager);
    KZeqWriterZeq writer(mManager, exporter);
    writer.SetExportMode(KZeqWriterZeqBase::eASCII);
    const std::string path = mDir / "live.zeq";
    ASSERT_TRUE(writer.FileCreate(path.c_str()));
    KZeq& file = *writer.GetZeqObject();
    ASSERT_TRUE(ZeqWriteBlockBegin(file, "Media") && ZeqWriteBlockBegin(file, "Video"));
    EXPECT_TRUE(writer.WriteDefaultMedia());
    ZeqWriteBlockBegin(file, "Video", "Video input 1");
    ZeqWriteFieldC(file, "Type", "Clip"), ZeqWriteFieldC(file, "Filename", "b/wood.png");
    ZeqWriteBlockEnd(file), ZeqWriteBlockEnd(file), ZeqWriteBlockEnd(file);
    ASSERT_TRUE(writer.FileClose());
    const std::string text = zeqtest::ReadFile(path);
    std::string entry = text.substr(text.find("Video: \"Video input 1\""));
    entry = entry.substr(0, entry.find('}'));
    for (const char* field : {"Type: \"Live\"", "Input: 0", "Format: 0", "Interleave: 0", "Delay: 0", "Online: 0"})
        EXPECT_NE(std::string::npos, entry.find(field)) << field << " in " << entry;
    KZeqTexture* live = Texture("old.tif", "Video input 1");
    ASSERT_TRUE(ReadMediaOf(path, *mScene));
    EXPECT_EQ(mDir / "b/wood.png", live->GetFileName());  // the clip of that name, not the live entry
}

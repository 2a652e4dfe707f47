// The "Media" section: media names shared by textures and camera
// backgrounds, embedding in binary files only, extraction and conversion on
// reading, and the entries a reader skips.

#include <cstdlib>
#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

#include "content/kzeqcamera.h"
#include "content/kzeqimageconverter.h"
#include "content/kzeqtexture.h"
#include "fileio/tests/fileio_test_support.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "io/kzeqreaderzeq.h"
#include "io/kzeqwriterzeq.h"
#include "io/kzeqwriterzeq6.h"
#include "io/tests/zeqroundtrip.h"
#include "object/izeqobject.h"
#include "scene/kzeqentity.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;
using namespace zeqiotest;

namespace {

struct MediaTest : ::testing::Test {
    MediaTest() {
        std::filesystem::create_directories(mDir.Path() / "a");
        std::filesystem::create_directories(mDir.Path() / "b");
        zeqtest::WriteFile(mDir / "a/wood.tif", "wood A");
        zeqtest::WriteFile(mDir / "b/wood.png", "wood B");
    }
    KZeqTexture* Texture(const std::string& file) {
        KZeqTexture* texture = mManager.CreateKZeqTexture(("T" + std::to_string(mTextures++)).c_str());
        texture->SetFileName(file.c_str());
        mScene->GetEntity()->AddTexture(texture);
        return texture;
    }
    KZeqCamera* Camera(const std::string& background) {
        KZeqCamera* camera = mManager.CreateKZeqCamera();
        KZeqNode* node = mManager.CreateKZeqNode("Cam");
        node->SetNodeAttribute(camera);
        mScene->GetRootNode()->AddChild(node);
        camera->SetBackgroundFileName(background.c_str());
        return camera;
    }
    bool Write(int version, int mode, bool embed, const std::string& path) {
        KZeqExporter exporter(mManager);
        KStreamOptionsZeq options;
        options.SetOption(KStreamOptionsZeq::eEMBED_MEDIA, embed);
        std::unique_ptr<KZeqWriterZeqBase> writer;
        if (version == 5800) writer.reset(new KZeqWriterZeq(mManager, exporter));
        else writer.reset(new KZeqWriterZeq6(mManager, exporter));
        writer->SetExportMode(static_cast<KZeqWriterZeqBase::EExportMode>(mode));
        return writer->FileCreate(path.c_str()) && writer->Write(*mScene, &options) && writer->FileClose();
    }
    // "name:Type:Version:Content" of each entry of the file's "Media" section.
    std::string Entries(const std::string& path) {
        std::unique_ptr<IZeqObject> file(KZeqObjectCreate());
        std::string text;
        if (!file->ProjectOpen(path.c_str(), true, false) || !file->ProjectOpenMainSection()) return "unreadable";
        if (file->FieldReadBegin("Media") && file->FieldReadBlockBegin() && file->FieldReadBegin("Video") &&
            file->FieldReadBlockBegin()) {
            while (file->FieldReadBegin("Video")) {
                text += std::string(file->FieldReadC().Buffer());
                if (file->FieldReadBlockBegin()) {
                    text += ":" + std::string(file->FieldReadC("Type").Buffer()) + ":" +
                            std::to_string(file->FieldReadI("Version", 0)) + ":" +
                            std::to_string(file->FieldGetInstanceCount("Content"));
                    file->FieldReadBlockEnd();
                }
                text += " ";
                file->FieldReadEnd();
            }
        }
        return text;
    }
    // ReadMedia on the main section of a file, over the given scene.
    bool ReadMediaOf(const std::string& path, KZeqScene& scene, KZeqTexture* textureRead = nullptr) {
        KZeqImporter importer(mManager);
        KZeqReaderZeq reader(mManager, importer);
        if (!reader.FileOpen(path.c_str())) return false;
        reader.SetIsBeforeVersion6WithMainSection(true);
        if (!reader.GetZeqObject()->ProjectOpenMainSection()) return false;
        if (textureRead) reader.AddTextureRead(*textureRead);
        return reader.ReadMedia(scene);
    }
    zeqtest::TempDir mDir;
    KZeqSdkManager mManager;
    KZeqScene* mScene = mManager.CreateKZeqScene();
    int mTextures = 0;
};

struct MediaForm {
    const char* mName;
    int mVersion;
    int mMode;
    bool mEmbedded;  // what the file holds, embedding asked for in every form
};
const MediaForm kMediaForms[] = {{"V58Ascii", 5800, 0, false}, {"V58Binary", 5800, 1, true},
                                 {"V58Encrypted", 5800, 2, true}, {"V60Ascii", 6000, 0, false},
                                 {"V60Binary", 6000, 1, true}};
struct MediaFormTest : MediaTest, ::testing::WithParamInterface<MediaForm> {};

}  // namespace

// wood and wood1 by file, one entry per file, the camera sharing a
// texture's name, no entry for an empty name; embedded in binary files only.
TEST_P(MediaFormTest, NamesEntriesAndEmbedding) {
    const MediaForm& form = GetParam();
    KZeqTexture* a = Texture(mDir / "a/wood.tif");
    KZeqTexture* b = Texture(mDir / "b/wood.png");
    KZeqTexture* again = Texture(mDir / "a/./wood.tif");
    KZeqTexture* none = Texture("");
    KZeqCamera* camera = Camera(mDir / "b/wood.png");
    const std::string path = mDir / "scene.zeq";
    ASSERT_TRUE(Write(form.mVersion, form.mMode, true, path));
    EXPECT_STREQ("wood", a->GetMediaName().Buffer());
    EXPECT_STREQ("wood1", b->GetMediaName().Buffer());
    EXPECT_STREQ("wood", again->GetMediaName().Buffer());
    EXPECT_STREQ("", none->GetMediaName().Buffer());
    EXPECT_STREQ("wood1", camera->GetBackgroundMediaName());
    const std::string content = form.mEmbedded ? ":101:1 " : ":0:0 ";
    EXPECT_EQ("wood:Clip" + content + "wood1:Clip" + content, Entries(path));
    // The source files go away: what is read is the file's own copy, or the file found.
    std::filesystem::remove_all(mDir.Path() / "a");
    KZeqScene* read = ReadZeqFile(mManager, path);
    ASSERT_NE(nullptr, read);
    if (form.mVersion != 5800) return;  // 6.0 keeps backgrounds as texture connections
    KZeqNode* node = read->GetRootNode()->FindChild("Cam");
    ASSERT_TRUE(node && node->GetCamera());
    const std::string background = node->GetCamera()->GetBackgroundFileName();
    EXPECT_EQ(form.mEmbedded ? mDir / "scene.zqm/b/wood.png" : mDir / "b/wood.png", background);
    EXPECT_EQ("wood B", zeqtest::ReadFile(background));
}
INSTANTIATE_TEST_SUITE_P(Forms, MediaFormTest, ::testing::ValuesIn(kMediaForms),
                         [](const ::testing::TestParamInfo<MediaForm>& info) { return std::string(info.param.mName); });

// The first resolved entry of a name wins; "Live" entries, clips without a
// file and a second entry of a read name are skipped; a clip without
// "Version" reads no original format; a relative name stays when set.
TEST_F(MediaTest, ReadingSkipsWhatItCannotUse) {
    const std::string path = mDir / "read.zeq";
    MakeZeqFile(path, 5800, 0,
                "Media: {;Video: {;"
                "Video: \"Video input 1\" {;Type: \"Live\";Input: 0;};"
                "Video: \"gone\" {;Type: \"Clip\";Filename: \"nowhere.png\";};"
                "Video: \"wood\" {;Type: \"Clip\";OriginalFormat: 0;Filename: \"a/wood.tif\";};"
                "Video: \"wood\" {;Type: \"Clip\";Filename: \"b/wood.png\";};"
                "Video: \"gone\" {;Type: \"Clip\";Filename: \"b/wood.png\";};"
                "Video: \"live\" {;Type: \"clip\";Filename: \"b/wood.png\";};};}");
    KZeqTexture* wood = Texture("old.tif");
    KZeqTexture* kept = Texture("old.tif");
    kept->SetMediaName("wood"), kept->SetRelativeFileName("mine.tif");
    KZeqTexture* gone = Texture("old.tif");
    KZeqTexture* live = Texture("old.tif");
    wood->SetMediaName("wood"), gone->SetMediaName("gone"), live->SetMediaName("live");
    ASSERT_TRUE(ReadMediaOf(path, *mScene));
    EXPECT_EQ(mDir / "a/wood.tif", wood->GetFileName());
    EXPECT_STREQ("a/wood.tif", wood->GetRelativeFileName());
    EXPECT_STREQ("mine.tif", kept->GetRelativeFileName());
    EXPECT_EQ(mDir / "b/wood.png", gone->GetFileName());
    EXPECT_STREQ("old.tif", live->GetFileName());
}

// A version-6 read meets "Media" before the connections: the textures the
// read made are resolved though the scene has none yet.
TEST_F(MediaTest, Version6ResolvesTheTexturesItRead) {
    const std::string path = mDir / "six.zeq";
    MakeZeqFile(path, 6000, 0,
                "Definitions: {;};Media: {;Video: {;Video: \"wood\" {;Type: \"Clip\";Filename: \"b/wood.png\";};};}");
    KZeqTexture* texture = mManager.CreateKZeqTexture("Loose");
    texture->SetMediaName("wood");
    KZeqScene* scene = mManager.CreateKZeqScene();
    ASSERT_TRUE(ReadMediaOf(path, *scene, texture));
    EXPECT_EQ(mDir / "b/wood.png", texture->GetFileName());
}

namespace {

bool gConvertBack = true;

// Reads any file as a 1 x 1 image; writes "converted" over the file when
// converting back is on.
int KeepPathConverter(int direction, KString& fileName, ImageConverterBuffer& buffer) {
    if (direction == 0) {
        buffer.Init(1, 1, true, 0, 3);
        buffer.mData[0] = 10, buffer.mData[1] = 20, buffer.mData[2] = 30;
        buffer.SetOriginalFormat(false);
        return 0;
    }
    if (!gConvertBack) return 1;
    zeqtest::WriteFile(fileName.Buffer(), "converted");
    return 0;
}

}  // namespace

// A converter that keeps the path: the user's image is neither overwritten
// nor deleted; the TIFF travels in the file and is converted back on reading,
// or stays the texture's file when that fails.
TEST_F(MediaTest, ConvertedImagesLeaveTheUsersFileAlone) {
    const std::string temporary = mDir / "tmp";
    std::filesystem::create_directories(temporary);
    const char* formerTmp = std::getenv("TMPDIR");
    const std::string restore = formerTmp ? formerTmp : "";
    setenv("TMPDIR", temporary.c_str(), 1);
    KZeqImageConverter* converter = mManager.CreateKZeqImageConverter();
    converter->RegisterConverterFunction("png", &KeepPathConverter);
    Texture(mDir / "b/wood.png");
    const std::string path = mDir / "converted.zeq";
    const bool written = Write(5800, 1, true, path);
    formerTmp ? setenv("TMPDIR", restore.c_str(), 1) : unsetenv("TMPDIR");
    ASSERT_TRUE(written);
    EXPECT_EQ("wood B", zeqtest::ReadFile(mDir / "b/wood.png"));
    EXPECT_TRUE(std::filesystem::is_empty(temporary));
    KZeqTexture* texture = Texture("old.png");
    texture->SetMediaName("wood");
    ASSERT_TRUE(ReadMediaOf(path, *mScene));
    EXPECT_EQ(mDir / "converted.zqm/b/wood.png", texture->GetFileName());
    EXPECT_EQ("converted", zeqtest::ReadFile(texture->GetFileName()));
    gConvertBack = false;
    ASSERT_TRUE(ReadMediaOf(path, *mScene));
    gConvertBack = true;
    ImageConverterBuffer image;
    ASSERT_TRUE(ReadFromTif(KString(texture->GetFileName()), image, false));
    EXPECT_EQ(20, image.mData[1]);
}

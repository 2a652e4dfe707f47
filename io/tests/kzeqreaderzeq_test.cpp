#include "io/kzeqreaderzeq.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "fileio/tests/fileio_test_support.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqfields.h"
#include "io/kzeqimporter.h"
#include "io/kzeqscenerecords.h"
#include "io/tests/zeqroundtrip.h"
#include "object/izeqobject.h"
#include "object/kevent.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsceneinfo.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"

using namespace zeqsdk_400;
using zeqiotest::MakeZeqFile;

namespace {

void Take(KZeq& z, const char* name, const char* comments, std::initializer_list<void (*)(KZeq&)> extra = {}) {
    ZeqWriteBlockBegin(z, "Take", name);
    if (comments) ZeqWriteFieldC(z, "Comments", comments);
    ZeqWriteFieldTS(z, "LocalTime", KTimeSpan(KTime(1), KTime(2)));
    ZeqWriteFieldTS(z, "ReferenceTime", KTimeSpan(KTime(3), KTime(4)));
    for (auto write : extra) write(z);
    ZeqWriteBlockEnd(z);
}

// What a main section may hold for the options: models (one a template),
// devices, characters, actors, constraints in groups, media clips, takes
// and scene information.
void RichMainSection(KZeq& z) {
    ZeqWriteFieldC(z, "Model", "Model::a");
    ZeqWriteFieldC(z, "Model", "Model::b:~zeqexport~");
    for (const char* name : {"Device", "Device", "CHARACTER", "ACTOR", "ACTOR", "ACTOR"}) ZeqWriteFieldI(z, name, 0);
    ZeqWriteBlockBegin(z, "Constraints");
    for (int group : {2, 1}) {
        ZeqWriteBlockBegin(z, "Group");
        for (int i = 0; i < group; ++i) ZeqWriteFieldI(z, "Constraint", i);
        ZeqWriteBlockEnd(z);
    }
    ZeqWriteBlockEnd(z);
    ZeqWriteBlockBegin(z, "Media");
    ZeqWriteBlockBegin(z, "Video");
    for (const char* type : {"Clip", "Other", "Clip"}) {
        ZeqWriteBlockBegin(z, "Video");
        ZeqWriteFieldC(z, "Type", type);
        ZeqWriteBlockEnd(z);
    }
    ZeqWriteBlockEnd(z);
    ZeqWriteBlockEnd(z);
    ZeqWriteBlockBegin(z, "Takes");
    ZeqWriteFieldC(z, "Current", "none");
    Take(z, "T1", "c1");
    Take(z, "T2", nullptr);
    ZeqWriteBlockEnd(z);
    ZeqWriteBlockBegin(z, "SceneGenericPersistence");
    KZeqSceneInfo info;
    info.mTitle = "title";
    ZeqWriteSceneInfo(z, &info);
    ZeqWriteBlockEnd(z);
}

struct ReaderTest : ::testing::Test {
    KStreamOptionsZeq* Options(KZeqReaderZeq& reader, bool parse) {
        mOptions.reset(static_cast<KStreamOptionsZeq*>(reader.GetReadOptions(parse)));
        return mOptions.get();
    }
    int ExtensionSections(const std::string& path) {
        KZeq file;
        return file.ProjectOpen(path.c_str()) ? file.ProjectGetExtensionSectionCount() : -1;
    }
    struct Release {
        void operator()(KStreamOptionsZeq* options) { options->Destroy(); }
    };
    zeqtest::TempDir mDir;
    KZeqSdkManager mManager;
    KZeqImporter mImporter{mManager};
    KZeqReaderZeq mReader{mManager, mImporter};
    std::unique_ptr<KStreamOptionsZeq, Release> mOptions;
};

struct ReaderModeTest : ReaderTest, ::testing::WithParamInterface<int> {};

}  // namespace

// Options gathered from the main section; only a plain binary file takes a
// "Summary" back, and reads it from then on.
TEST_P(ReaderModeTest, OptionsFromTheMainSectionAndTheSummary) {
    const std::string path = mDir / "rich.zeq";
    MakeZeqFile(path, 6000, GetParam(), RichMainSection);
    const bool binary = GetParam() == 1;
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass);
        KZeqReaderZeq reader(mManager, mImporter);
        ASSERT_TRUE(reader.FileOpen(path.c_str()));
        EXPECT_EQ(GetParam(), reader.GetImportMode());
        EXPECT_EQ(pass == 1 && binary, Options(reader, false) != nullptr);
        KStreamOptionsZeq* options = Options(reader, true);
        ASSERT_NE(nullptr, options);
        EXPECT_EQ(-1, reader.GetLastErrorID());
        const int counts[] = {2, 2, 1, 3, 3, 2};
        for (int i = 0; i < 6; ++i) EXPECT_EQ(counts[i], options->GetContentCount(i)) << i;
        EXPECT_TRUE(options->GetTemplate());
        ASSERT_EQ(2, options->GetTakeInfoCount());
        EXPECT_STREQ("T1", options->GetCurrentTake().Buffer());  // "none" names no take
        const KZeqTakeInfo& take = *options->GetTakeInfo(0);
        EXPECT_STREQ("c1", take.mDescription.Buffer());
        EXPECT_STREQ("T1", take.mImportName.Buffer());
        EXPECT_EQ(KTime(4), take.mReferenceTimeSpan.GetStop());
        ASSERT_NE(nullptr, options->GetSceneInfo());
        EXPECT_STREQ("title", options->GetSceneInfo()->mTitle.Buffer());
        EXPECT_EQ(binary ? 1 : 0, ExtensionSections(path));
    }
}
INSTANTIATE_TEST_SUITE_P(Modes, ReaderModeTest, ::testing::Values(0, 1, 2),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(info.param == 0 ? "Ascii" : info.param == 1 ? "Binary" : "Encrypted");
                         });

TEST_F(ReaderTest, TemplateMarkIsTheWholeLastPartOfAModelName) {
    const struct {
        const char* mName;
        bool mTemplate;
    } rows[] = {{"Model::~zeqexport~", true}, {"~zeqexport~", true}, {"a:b:~zeqexport~", true},
                {"Model::~zeqexport~x", false}, {"Model::~ZEQEXPORT~", false}, {"~zeqexport~:a", false}};
    for (const auto& row : rows) {
        const std::string path = mDir / "t.zeq";
        MakeZeqFile(path, 6000, 0, [&](KZeq& z) { ZeqWriteFieldC(z, "Model", row.mName); });
        ASSERT_TRUE(mReader.FileOpen(path.c_str()));
        EXPECT_EQ(row.mTemplate, Options(mReader, true)->GetTemplate()) << row.mName;
    }
}

// Take details come from a take file when "FileName" names one; else from the
// block, except in files before version 2000.
TEST_F(ReaderTest, TakeFilesAndTheirFallbacks) {
    MakeZeqFile(mDir / "side.tak", 6000, 1, [](KZeq& z) { ZeqWriteFieldC(z, "Comments", "from file"); });
    ASSERT_EQ(0, ::mkfifo((mDir / "pipe.tak").c_str(), 0600));
    for (int version : {1000, 6000}) {
        const std::string path = mDir / "takes.zeq";
        MakeZeqFile(path, version, 0, [](KZeq& z) {
            ZeqWriteBlockBegin(z, "Takes");
            Take(z, "onFile", "in block", {[](KZeq& f) { ZeqWriteFieldC(f, "FileName", "side.tak"); }});
            Take(z, "missing", "in block", {[](KZeq& f) { ZeqWriteFieldC(f, "FileName", "gone.tak"); }});
            Take(z, "pipe", "in block", {[](KZeq& f) { ZeqWriteFieldC(f, "FileName", "pipe.tak"); }});
            ZeqWriteBlockEnd(z);
        });
        ASSERT_TRUE(mReader.FileOpen(path.c_str()));
        KStreamOptionsZeq* options = Options(mReader, true);
        ASSERT_EQ(3, options->GetTakeInfoCount());
        EXPECT_STREQ("onFile", options->GetCurrentTake().Buffer());  // no "Current": the first take
        EXPECT_STREQ("from file", options->GetTakeInfo(0)->mDescription.Buffer());
        EXPECT_EQ(KTime(), options->GetTakeInfo(0)->mLocalTimeSpan.GetStop());
        for (int i : {1, 2}) {
            EXPECT_STREQ(version == 1000 ? "" : "in block", options->GetTakeInfo(i)->mDescription.Buffer());
            EXPECT_EQ(KTime(version == 1000 ? 0 : 2), options->GetTakeInfo(i)->mLocalTimeSpan.GetStop());
        }
    }
    MakeZeqFile(mDir / "none.zeq", 6000, 0, [](KZeq& z) { ZeqWriteBlockBegin(z, "Takes"), ZeqWriteBlockEnd(z); });
    ASSERT_TRUE(mReader.FileOpen((mDir / "none.zeq").c_str()));
    KStreamOptionsZeq* options = Options(mReader, true);
    EXPECT_TRUE(options->GetCurrentTake().IsEmpty() && options->GetTakeInfoCount() == 0);
}

TEST_F(ReaderTest, LayoutDecision) {
    const struct {
        int mVersion;
        bool mDefinitions;
        bool mBefore6;
    } rows[] = {{5800, false, true}, {5800, true, false}, {5700, true, true}, {5801, false, false},
                {4000, false, true}, {5900, false, false}, {6000, false, false}, {3000, true, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.mVersion);
        const std::string path = mDir / "layout.zeq";
        MakeZeqFile(path, row.mVersion, 1, [&](KZeq& z) {
            if (row.mDefinitions) ZeqWriteFieldI(z, "Definitions", 0);
        }, "pw");
        ASSERT_TRUE(mReader.FileOpen(path.c_str()));
        KStreamOptionsZeq options;
        options.SetPassword("pw");
        KZeqScene* scene = mManager.CreateKZeqScene();
        EXPECT_TRUE(mReader.Read(*scene, &options));
        EXPECT_EQ(row.mBefore6, mReader.GetZeqObject()->IsBeforeVersion6());
        int major, minor, revision;
        mReader.GetVersion(major, minor, revision);
        EXPECT_EQ(row.mVersion, major * 1000 + minor * 100 + revision);
    }
}

// A refused read still clears the scene.
TEST_F(ReaderTest, ReadFailuresClearTheScene) {
    KZeqScene* scene = mManager.CreateKZeqScene();
    KStreamOptionsZeq zeq;
    scene->SetSceneInfo(mManager.CreateKZeqSceneInfo());
    EXPECT_FALSE(mReader.Read(*scene, &zeq));
    EXPECT_EQ(KZeqReader::eFileNotOpened, mReader.GetLastErrorID());
    EXPECT_EQ(nullptr, scene->GetSceneInfo());
    MakeZeqFile(mDir / "a.zeq", 6000, 1, RichMainSection);
    ASSERT_TRUE(mReader.FileOpen((mDir / "a.zeq").c_str()));
    KStreamOptionsMotion motion;
    EXPECT_FALSE(mReader.Read(*scene, &motion));
    EXPECT_EQ(KZeqReader::eStreamOptionsNotSet, mReader.GetLastErrorID());
    EXPECT_FALSE(mReader.Read(*scene, nullptr));
    EXPECT_TRUE(mReader.Read(*scene, &zeq));
    ASSERT_NE(nullptr, scene->GetSceneInfo());  // from "SceneGenericPersistence"
    EXPECT_STREQ("title", scene->GetSceneInfo()->mTitle.Buffer());
    EXPECT_TRUE(mReader.FileClose());
    EXPECT_FALSE(mReader.FileClose());
    EXPECT_FALSE(mReader.FileOpen((mDir / "missing.zeq").c_str()));
    EXPECT_EQ(KZeqReader::eFileNotOpened, mReader.GetLastErrorID());
    EXPECT_FALSE(mReader.IsFileOpen());
}

// A wrong password sends event 16; a handler may unlock the file meanwhile.
TEST_F(ReaderTest, PasswordCheckAndItsEvent) {
    MakeZeqFile(mDir / "p.zeq", 6000, 2, [](KZeq& z) { ZeqWriteFieldI(z, "Model", 1); }, "secret");
    MakeZeqFile(mDir / "open.zeq", 6000, 2, [](KZeq& z) { ZeqWriteFieldI(z, "Model", 1); });
    KEventManager events;
    struct Seen {
        int mEvents = 0;
        bool mUnlock = false;
    } seen;
    events.AddHandler([](const KEvent& event, void* data) {
        Seen& seen = *static_cast<Seen*>(data);
        seen.mEvents += event.mCode == 16;
        if (seen.mUnlock) static_cast<IZeqObject*>(event.mSender)->CheckPassword("secret");
    }, &seen);
    KSetGlobalEventManager(&events);
    ASSERT_TRUE(mReader.FileOpen((mDir / "open.zeq").c_str()) && mReader.GetZeqObject()->ProjectOpenMainSection());
    EXPECT_TRUE(mReader.ReadPassword("") && mReader.ReadPassword("any"));
    ASSERT_TRUE(mReader.FileOpen((mDir / "p.zeq").c_str()) && mReader.GetZeqObject()->ProjectOpenMainSection());
    EXPECT_FALSE(mReader.ReadPassword("wrong"));
    seen.mUnlock = true;
    EXPECT_TRUE(mReader.ReadPassword("wrong"));
    EXPECT_EQ(2, seen.mEvents);
    KSetGlobalEventManager(nullptr);
}

TEST_F(ReaderTest, ThumbnailAndSceneInformationRecords) {
    KZeqThumbnail* picture = mManager.CreateKZeqThumbnail();
    picture->SetSize(KZeqThumbnail::e64x64);
    for (int i = 0; i < picture->GetSizeInBytes(); ++i) picture->GetThumbnailImage()[i] = static_cast<unsigned char>(i * 7);
    KZeqThumbnail unsized;
    MakeZeqFile(mDir / "r.zeq", 6000, 1, [&](KZeq& z) {
        ZeqWriteThumbnail(z, &unsized);  // writes nothing
        ZeqWriteThumbnail(z, picture);
        ZeqWriteBlockBegin(z, "Thumbnail"), ZeqWriteFieldI(z, "Size", 64), ZeqWriteFieldI(z, "ImageEncoding", 1);
        ZeqWriteBlockEnd(z);
        ZeqWriteBlockBegin(z, "Thumbnail"), ZeqWriteFieldI(z, "Size", 0), ZeqWriteBlockEnd(z);
        ZeqWriteBlockBegin(z, "SceneInfo"), ZeqWriteFieldC(z, "Type", "userdata"), ZeqWriteBlockEnd(z);
        ZeqWriteBlockBegin(z, "SceneInfo"), ZeqWriteFieldC(z, "Type", "Other"), ZeqWriteBlockEnd(z);
    });
    KZeq file;
    ASSERT_TRUE(file.ProjectOpen((mDir / "r.zeq").c_str(), true, true));
    ASSERT_EQ(3, file.FieldGetInstanceCount("Thumbnail"));
    ASSERT_TRUE(file.FieldReadBegin("Thumbnail") && file.FieldReadBlockBegin() && file.FieldReadBegin("ImageData"));
    EXPECT_EQ(12288, file.FieldReadGetCount());
    ASSERT_TRUE(file.FieldReadEnd() && file.FieldReadBlockEnd() && file.FieldReadEnd());
    ASSERT_TRUE(file.FieldReadResetPosition());
    KZeqThumbnail* read = ZeqReadThumbnail(file, mManager);
    ASSERT_NE(nullptr, read);
    EXPECT_EQ(0, std::memcmp(picture->GetThumbnailImage(), read->GetThumbnailImage(), 12288));
    EXPECT_EQ(nullptr, ZeqReadThumbnail(file, mManager));  // encoding 1
    EXPECT_EQ(nullptr, ZeqReadThumbnail(file, mManager));  // size 0
    EXPECT_EQ(nullptr, ZeqReadThumbnail(file, mManager));  // none left
    KZeqSceneInfo* info = ZeqReadSceneInfo(file, mManager);
    ASSERT_NE(nullptr, info);  // the type in any letter case, no "MetaData"
    EXPECT_TRUE(info->mTitle.IsEmpty() && info->mComment.IsEmpty() && !info->GetSceneThumbnail());
    EXPECT_EQ(nullptr, ZeqReadSceneInfo(file, mManager));
}

TEST(ZeqReaderUtilitiesTest, TokensAndCameraNames) {
    EXPECT_EQ(1, ConvertMappingModeToken("ByVertice"));
    EXPECT_EQ(4, ConvertMappingModeToken("AllSame"));
    for (const char* other : {"byVertice", "ByVertica", "", "NoMappingInformation"})
        EXPECT_EQ(0, ConvertMappingModeToken(other)) << other;
    EXPECT_EQ(0, ConvertMappingModeToken(nullptr));
    EXPECT_EQ(2, ConvertReferenceModeToken("IndexToDirect"));
    EXPECT_EQ(0, ConvertReferenceModeToken("Direct"));
    EXPECT_EQ(3, ConvertBlendModeToken("Modulate2"));
    EXPECT_EQ(0, ConvertBlendModeToken("Translucent"));
    EXPECT_STREQ("Producer Top", KZeqReaderZeq::ConvertCameraName("Model::Producer Top").Buffer());
    EXPECT_STREQ("Camera Switcher", KZeqReaderZeq::ConvertCameraName("Model::Camera Switcher").Buffer());
    for (const char* same : {"Producer Top", "Model::producer top", "Model::Producer Top ", "Model::Cam"})
        EXPECT_STREQ(same, KZeqReaderZeq::ConvertCameraName(same).Buffer());
    KString a("a"), b("b");
    KArrayTemplate<KString*> list;
    list.Add(&a), list.Add(&b), list.Add(&a);
    EXPECT_EQ(0, KZeqReaderZeq::FindString(KString("a"), list));
    EXPECT_EQ(-1, KZeqReaderZeq::FindString(KString("A"), list));
}

TEST_F(ReaderTest, FileSearchAgainstTheFilesDirectory) {
    MakeZeqFile(mDir / "s.zeq", 6000, 1, [](KZeq&) {});
    zeqtest::WriteFile(mDir / "there.png", "x");
    ASSERT_TRUE(mReader.FileOpen((mDir / "s.zeq").c_str()));
    EXPECT_EQ(mDir / "gone.png", zeqtest::Str(mReader.FindFile("gone.png", "nope.png")));
    EXPECT_EQ(mDir / "there.png", zeqtest::Str(mReader.FindFile("", "there.png")));
    EXPECT_EQ(mDir / "there.png", zeqtest::Str(mReader.FindFile("gone.png", "there.png")));
    EXPECT_EQ(mDir / "nope.png", zeqtest::Str(mReader.FindFile(nullptr, "nope.png")));
    EXPECT_TRUE(mReader.FindFile("", "").IsEmpty());
}

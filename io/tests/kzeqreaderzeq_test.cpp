#include "io/kzeqreaderzeq.h"

#include <sys/stat.h>

#include <cstring>

#include <gtest/gtest.h>

#include "content/kzeqnull.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "fileio/tests/fileio_test_support.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "io/kzeqscenerecords.h"
#include "io/kzeqwriterzeq.h"
#include "io/tests/zeqroundtrip.h"
#include "io/tests/zeqscenecompare.h"
#include "object/izeqobject.h"
#include "object/kevent.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqtakenode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsceneinfo.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"

using namespace zeqsdk_400;
using zeqiotest::MakeZeqFile;

namespace {

// What a main section may hold for the options: models (one a template),
// devices, characters, actors, constraints in groups, media clips, takes
// and scene information.
const char* const kRichMainSection =
    "Model: \"Model::a\";Model: \"Model::b:~zeqexport~\";Device: 0;Device: 0;CHARACTER: 0;ACTOR: 0;ACTOR: 0;ACTOR: 0;"
    "Constraints: {;Group: {;Constraint: 0;Constraint: 1;};Group: {;Constraint: 0;};};"
    "Media: {;Video: {;Video: {;Type: \"Clip\";};Video: {;Type: \"Other\";};Video: {;Type: \"Clip\";};};};"
    "Takes: {;Current: \"none\";Take: \"T1\" {;Comments: \"c1\";LocalTime: 1,2;ReferenceTime: 3,4;};Take: \"T2\";};"
    "SceneGenericPersistence: {;SceneInfo: \"SceneInfo::GlobalInfo\" {;Type: \"UserData\";"
    "MetaData: {;Title: \"title\";};};}";

// A take whose details lie in a take file, a missing file and a pipe.
std::string TakeWithFile(const char* name, const char* file) {
    return std::string("Take: \"") + name + "\" {;FileName: \"" + file + "\";Comments: \"in block\";LocalTime: 1,2;};";
}

struct ReaderTest : ::testing::Test {
    ~ReaderTest() override {
        if (mOptions) mOptions->Destroy();
    }
    // Kept until the next call.
    KStreamOptionsZeq* Options(KZeqReaderZeq& reader, bool parse) {
        if (mOptions) mOptions->Destroy();
        return mOptions = static_cast<KStreamOptionsZeq*>(reader.GetReadOptions(parse));
    }
    int ExtensionSections(const std::string& path) {
        KZeq file;
        return file.ProjectOpen(path.c_str()) ? file.ProjectGetExtensionSectionCount() : -1;
    }
    zeqtest::TempDir mDir;
    KZeqSdkManager mManager;
    KZeqImporter mImporter{mManager};
    KZeqReaderZeq mReader{mManager, mImporter};
    KStreamOptionsZeq* mOptions = nullptr;
};

struct ReaderModeTest : ReaderTest, ::testing::WithParamInterface<int> {};

}  // namespace

// Options gathered from the main section; only a plain binary file takes a
// "Summary" back, and reads it from then on.
TEST_P(ReaderModeTest, OptionsFromTheMainSectionAndTheSummary) {
    const std::string path = mDir / "rich.zeq";
    MakeZeqFile(path, 6000, GetParam(), kRichMainSection);
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
        ASSERT_TRUE(options->GetTemplate() && options->GetTakeInfoCount() == 2 && options->GetSceneInfo());
        EXPECT_STREQ("T1", options->GetCurrentTake().Buffer());  // "none" names no take
        const KZeqTakeInfo& take = *options->GetTakeInfo(0);
        EXPECT_TRUE(take.mDescription == "c1" && take.mImportName == "T1" && take.mReferenceTimeSpan.GetStop() == KTime(4));
        EXPECT_STREQ("title", options->GetSceneInfo()->mTitle.Buffer());
        EXPECT_EQ(binary ? 1 : 0, ExtensionSections(path));
    }
}
INSTANTIATE_TEST_SUITE_P(Modes, ReaderModeTest, ::testing::Values(0, 1, 2),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return std::string(info.param == 0 ? "Ascii" : info.param == 1 ? "Binary" : "Encrypted");
                         });

TEST_F(ReaderTest, TemplateMarkIsTheWholeLastPartOfAModelName) {
    const struct { const char* mName; bool mTemplate; } rows[] = {{"Model::~zeqexport~", true}, {"~zeqexport~", true}, {"a:b:~zeqexport~", true},
                {"Model::~zeqexport~x", false}, {"Model::~ZEQEXPORT~", false}, {"~zeqexport~:a", false}};
    for (const auto& row : rows) {
        const std::string path = mDir / "t.zeq";
        MakeZeqFile(path, 6000, 0, std::string("Model: \"") + row.mName + "\"");
        ASSERT_TRUE(mReader.FileOpen(path.c_str()));
        EXPECT_EQ(row.mTemplate, Options(mReader, true)->GetTemplate()) << row.mName;
    }
}

// Take details come from a take file when "FileName" names one; else from the
// block, except in files before version 2000.
TEST_F(ReaderTest, TakeFilesAndTheirFallbacks) {
    MakeZeqFile(mDir / "side.tak", 6000, 1, "Comments: \"from file\"");
    ASSERT_EQ(0, ::mkfifo((mDir / "pipe.tak").c_str(), 0600));
    for (int version : {1000, 6000}) {
        const std::string path = mDir / "takes.zeq";
        MakeZeqFile(path, version, 0,
                    "Takes: {;" + TakeWithFile("onFile", "side.tak") + TakeWithFile("missing", "gone.tak") +
                        TakeWithFile("pipe", "pipe.tak") + "}");
        ASSERT_TRUE(mReader.FileOpen(path.c_str()));
        KStreamOptionsZeq* options = Options(mReader, true);
        ASSERT_EQ(3, options->GetTakeInfoCount());
        EXPECT_STREQ("onFile", options->GetCurrentTake().Buffer());  // no "Current": the first take
        EXPECT_TRUE(options->GetTakeInfo(0)->mDescription == "from file");
        EXPECT_EQ(KTime(), options->GetTakeInfo(0)->mLocalTimeSpan.GetStop());
        for (int i : {1, 2}) {
            EXPECT_STREQ(version == 1000 ? "" : "in block", options->GetTakeInfo(i)->mDescription.Buffer());
            EXPECT_EQ(KTime(version == 1000 ? 0 : 2), options->GetTakeInfo(i)->mLocalTimeSpan.GetStop());
        }
    }
    MakeZeqFile(mDir / "none.zeq", 6000, 0, "Takes: {;}");
    ASSERT_TRUE(mReader.FileOpen((mDir / "none.zeq").c_str()));
    KStreamOptionsZeq* options = Options(mReader, true);
    EXPECT_TRUE(options->GetCurrentTake().IsEmpty() && options->GetTakeInfoCount() == 0);
}

// A take that no object record uses is a take of the scene all the same,
// with its comment and spans, and is written again.
TEST_F(ReaderTest, TakeWithoutObjectsIsKept) {
    const char* const kTakes =
        "Takes: {;Current: \"T1\";Take: \"T1\" {;FileName: \"T1.tak\";LocalTime: 0,46186158000;"
        "ReferenceTime: 5,92372316000;Comments: \"nothing moves\";};}";
    const struct { int mVersion, mMode; } rows[] = {{5800, 0}, {5800, 1}, {6000, 2}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.mVersion * 10 + row.mMode);
        const std::string path = mDir / "takes.zeq";
        MakeZeqFile(path, row.mVersion, row.mMode, kTakes);
        KZeqScene* scene = zeqiotest::ReadZeqFile(mManager, path);
        ASSERT_NE(nullptr, scene);
        for (int pass = 0; pass < 2; ++pass) {
            const KZeqTakeInfo* take = scene->GetTakeInfo(KString("T1"));
            ASSERT_NE(nullptr, take) << pass;
            EXPECT_STREQ("nothing moves", take->mDescription.Buffer());
            EXPECT_EQ(KTime(46186158000), take->mLocalTimeSpan.GetStop());
            EXPECT_EQ(KTime(5), take->mReferenceTimeSpan.GetStart());
            EXPECT_STREQ("T1", scene->GetCurrentTakeName());
            ASSERT_TRUE(zeqiotest::WriteZeqFile(mManager, *scene, zeqiotest::kZeqFileCases[0], path));
            ASSERT_NE(nullptr, scene = zeqiotest::ReadZeqFile(mManager, path));
        }
    }
}

TEST_F(ReaderTest, LayoutDecision) {
    const struct { int mVersion; bool mDefinitions, mBefore6; } rows[] = {
        {5800, false, true}, {5800, true, false}, {5700, true, true},   {5801, false, false},
        {4000, false, true}, {5900, false, false}, {6000, false, false}, {3000, true, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.mVersion);
        const std::string path = mDir / "layout.zeq";
        MakeZeqFile(path, row.mVersion, 1, row.mDefinitions ? "Definitions: 0" : "", "pw");
        ASSERT_TRUE(mReader.FileOpen(path.c_str()));
        KStreamOptionsZeq options;
        options.SetPassword("pw");
        int major, minor, revision;
        mReader.GetVersion(major, minor, revision);
        EXPECT_EQ(row.mVersion, major * 1000 + minor * 100 + revision);
        EXPECT_TRUE(mReader.Read(*mManager.CreateKZeqScene(), &options));
        EXPECT_EQ(row.mBefore6, mReader.GetZeqObject()->IsBeforeVersion6());
    }
}

// A refused read still clears the scene.
TEST_F(ReaderTest, ReadFailuresClearTheScene) {
    KZeqScene* scene = mManager.CreateKZeqScene();
    KStreamOptionsZeq zeq;
    scene->SetSceneInfo(mManager.CreateKZeqSceneInfo());
    EXPECT_TRUE(!mReader.Read(*scene, &zeq) && mReader.GetLastErrorID() == KZeqReader::eFileNotOpened);
    EXPECT_EQ(nullptr, scene->GetSceneInfo());
    MakeZeqFile(mDir / "a.zeq", 6000, 1, kRichMainSection);
    ASSERT_TRUE(mReader.FileOpen((mDir / "a.zeq").c_str()));
    KStreamOptionsMotion motion;
    EXPECT_TRUE(!mReader.Read(*scene, &motion) && mReader.GetLastErrorID() == KZeqReader::eStreamOptionsNotSet);
    EXPECT_TRUE(!mReader.Read(*scene, nullptr) && mReader.Read(*scene, &zeq));
    ASSERT_NE(nullptr, scene->GetSceneInfo());  // from "SceneGenericPersistence"
    EXPECT_STREQ("title", scene->GetSceneInfo()->mTitle.Buffer());
    EXPECT_TRUE(mReader.FileClose() && !mReader.FileClose());
    EXPECT_FALSE(mReader.FileOpen((mDir / "missing.zeq").c_str()) || mReader.IsFileOpen());
    EXPECT_EQ(KZeqReader::eFileNotOpened, mReader.GetLastErrorID());
}

// A wrong password sends event 16; a handler may unlock the file meanwhile.
TEST_F(ReaderTest, PasswordCheckAndItsEvent) {
    MakeZeqFile(mDir / "p.zeq", 6000, 2, "Model: 1", "secret");
    MakeZeqFile(mDir / "open.zeq", 6000, 2, "Model: 1");
    KEventManager events;
    static int seen = 0;  // events; a handler unlocks from the second on
    events.AddHandler([](const KEvent& event, void*) {
        if (event.mCode == 16 && seen++ > 0) static_cast<IZeqObject*>(event.mSender)->CheckPassword("secret");
    }, nullptr);
    KSetGlobalEventManager(&events);
    ASSERT_TRUE(mReader.FileOpen((mDir / "open.zeq").c_str()) && mReader.GetZeqObject()->ProjectOpenMainSection());
    EXPECT_TRUE(mReader.ReadPassword("") && mReader.ReadPassword("any"));
    ASSERT_TRUE(mReader.FileOpen((mDir / "p.zeq").c_str()) && mReader.GetZeqObject()->ProjectOpenMainSection());
    EXPECT_FALSE(mReader.ReadPassword("wrong"));
    EXPECT_TRUE(mReader.ReadPassword("wrong"));
    EXPECT_EQ(2, seen);
    KSetGlobalEventManager(nullptr);
}

// Sized images come back byte for byte through every writer (zeqwriter tests); here the refusals.
TEST_F(ReaderTest, ThumbnailAndSceneInformationRecords) {
    MakeZeqFile(mDir / "r.zeq", 6000, 1,
                "Thumbnail: {;Size: 64;ImageEncoding: 1;};Thumbnail: {;Size: 0;};Thumbnail: {;Size: 64;Format: 2;};"
                "Thumbnail: \"no block\";SceneInfo: {;Type: \"userdata\";};SceneInfo: {;Type: \"Other\";}");
    KZeq file;
    ASSERT_TRUE(file.ProjectOpen((mDir / "r.zeq").c_str(), true, true));
    for (int i = 0; i < 5; ++i) EXPECT_EQ(nullptr, ZeqReadThumbnail(file, mManager)) << i;
    KZeqSceneInfo* info = ZeqReadSceneInfo(file, mManager);
    ASSERT_NE(nullptr, info);  // the type in any letter case, no "MetaData"
    EXPECT_TRUE(info->mTitle.IsEmpty() && info->mComment.IsEmpty() && !info->GetSceneThumbnail());
    EXPECT_EQ(nullptr, ZeqReadSceneInfo(file, mManager));
}

// The reader (into an extension section of the file it reads) and the 5.8
// writer write the two records alike; a null scene information and a
// thumbnail of no size write nothing.
TEST_F(ReaderTest, BothOwnersWriteTheInformationRecords) {
    KZeqThumbnail* picture = mManager.CreateKZeqThumbnail();
    picture->SetDataFormat(KZeqThumbnail::eRGB_24), picture->SetSize(KZeqThumbnail::e64x64);
    for (int i = 0; i < picture->GetSizeInBytes(); ++i) picture->GetThumbnailImage()[i] = static_cast<unsigned char>(i * 7);
    KZeqThumbnail* unsized = mManager.CreateKZeqThumbnail();
    KZeqSceneInfo* info = mManager.CreateKZeqSceneInfo();
    info->mTitle = "title", info->mRevision = "3";
    const std::string path = mDir / "own.zeq";
    MakeZeqFile(path, 6000, 1, "Takes: {;}");
    ASSERT_TRUE(mReader.FileOpen(path.c_str()));
    IZeqObject& file = *mReader.GetZeqObject();
    ASSERT_TRUE(file.ProjectCreateExtensionSection(false));
    mReader.WriteSceneInfo(nullptr), mReader.WriteThumbnail(unsized);
    mReader.WriteSceneInfo(info), mReader.WriteThumbnail(picture);
    ASSERT_TRUE(file.ProjectCloseSection() && mReader.FileClose());
    KZeqExporter exporter(mManager);
    KZeqWriterZeq writer(mManager, exporter);
    ASSERT_TRUE(writer.FileCreate((mDir / "w.zeq").c_str()));
    writer.WriteSceneInfo(nullptr), writer.WriteSceneInfo(info), writer.WriteThumbnail(picture);
    ASSERT_TRUE(writer.FileClose());
    for (const std::string& written : {path, std::string(mDir / "w.zeq")}) {
        KZeq read;
        ASSERT_TRUE(read.ProjectOpen(written.c_str(), true, written != path)) << written;
        if (written == path) {
            ASSERT_TRUE(read.ProjectOpenExtensionSection(0));
        }
        EXPECT_EQ(1, read.FieldGetInstanceCount("SceneInfo")) << written;
        EXPECT_EQ(1, read.FieldGetInstanceCount("Thumbnail")) << written;
        KZeqSceneInfo* back = ZeqReadSceneInfo(read, mManager);
        ASSERT_NE(nullptr, back) << written;
        EXPECT_TRUE(back->mTitle == "title" && back->mRevision == "3" && !back->GetSceneThumbnail());
        KZeqThumbnail* image = ZeqReadThumbnail(read, mManager);
        ASSERT_TRUE(image && image->GetSizeInBytes() == 12288) << written;
        EXPECT_EQ(0, std::memcmp(picture->GetThumbnailImage(), image->GetThumbnailImage(), 12288)) << written;
    }
}

// "Channel" records into the matching channels of a tree, missing ones
// created, until no record is left.
TEST_F(ReaderTest, AnimationChannelsReadIntoATree) {
    KFCurveNode* source = KFCurveNodeCreate("Take");
    KFCurve* speed = source->FindOrCreate("Speed", true)->FCurveGet();
    speed->SetValue(3.0f);
    for (int second : {0, 1}) {
        KFCurveKey key;
        key.Set(KTime(46186158000LL * second), 10.0f + second, KFCURVE_INTERPOLATION_LINEAR, 0, 0, 0,
                KFCURVE_WEIGHTED_NONE, 0, 0, 0, 0);
        speed->KeyAdd(key.GetTime(), key);
    }
    source->FindOrCreate("Weight", true)->FCurveGet()->SetValue(0.5f);
    const std::string path = mDir / "channels.zeq";
    {
        KZeq file;
        ASSERT_TRUE(file.ProjectCreate(path.c_str(), true, false));
        file.FieldWriteBegin("Take"), file.FieldWriteBlockBegin();
        for (int i = 0; i < source->GetCount(); ++i) source->Get(i)->ZeqStore(&file, false, true, true, "Channel", false);
        file.FieldWriteBlockEnd(), file.FieldWriteEnd();
        ASSERT_TRUE(file.ProjectClose());
    }
    source->Destroy();
    KZeq file;
    ASSERT_TRUE(file.ProjectOpen(path.c_str(), true, true) && file.FieldReadBegin("Take") && file.FieldReadBlockBegin());
    KFCurveNode* tree = KFCurveNodeCreate("Take");
    KFCurve* held = tree->FindOrCreate("Speed", true)->FCurveGet();
    EXPECT_TRUE(mReader.ReadAnimation(file, nullptr));  // no tree: nothing read
    EXPECT_TRUE(mReader.ReadAnimation(file, tree));
    EXPECT_FALSE(file.FieldReadBegin("Channel"));
    ASSERT_EQ(2, tree->GetCount());
    EXPECT_TRUE(held->GetValue() == 3.0f && held->KeyGetCount() == 2 && held->KeyGetPtr(1)->GetValue() == 11.0f);
    KFCurveNode* weight = tree->Get(tree->Find("Weight"));
    EXPECT_TRUE(weight && weight->FCurveGet() && weight->FCurveGet()->GetValue() == 0.5f);
    tree->Destroy();
}

// A take curve with keys of every flag combination, among them cubic keys
// whose tangent mode gets no letter (0, 0x300, 0x800, ...), reads from a 6.0
// and a 5.8 ASCII file as from the binary file of that version.
TEST(ZeqAsciiCurveTest, KeysOfEveryKindReadAsFromTheBinaryFile) {
    zeqtest::TempDir dir;
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    KZeqNode* node = manager.CreateKZeqNode("Body");
    node->SetNodeAttribute(manager.CreateKZeqNull());
    scene->GetRootNode()->AddChild(node);
    scene->CreateTake("Walk");
    node->SetCurrentTakeNode("Walk");
    KFCurve* curve = node->GetCurrentTakeNode()->GetTranslationX();
    int count = 0;
    for (unsigned int interpolation = 0; interpolation <= KFCURVE_INTERPOLATION_ALL; interpolation += 2)
        for (unsigned int mode = 0; mode <= KFCURVE_TANGEANT_ALL; mode += 0x100)
            for (unsigned int weights = 0; weights <= KFCURVE_WEIGHTED_ALL; weights += KFCURVE_WEIGHTED_RIGHT)
                for (unsigned int velocities = 0; velocities <= KFCURVE_VELOCITY_ALL;
                     velocities += KFCURVE_VELOCITY_RIGHT) {
                    KFCurveKey key{};
                    const float slope = count % 2 ? 1.5f : 0.0f;
                    key.Set(KTime(1000 + count * 1539538600LL), float(count % 5), interpolation, mode, slope, slope,
                            weights, 0.25f, 0.5f, 0.125f, 0.75f);
                    key.SetTangeantVelocityMode(velocities);
                    curve->KeyAdd(key.GetTime(), key);
                    ++count;
                }
    node->SetCurrentTakeNode(0);
    for (int ascii : {0, 3}) {  // the ASCII form of 6.0 and of 5.8; the binary one follows it
        const zeqiotest::ZeqFileCase* forms = &zeqiotest::kZeqFileCases[ascii];
        SCOPED_TRACE(forms[0].mName);
        KZeqScene* read[2] = {};
        for (int f = 0; f < 2; ++f) {
            const std::string path = dir / (std::string(forms[f].mName) + ".zeq");
            std::string error;
            ASSERT_TRUE(zeqiotest::WriteZeqFile(manager, *scene, forms[f], path, "", &error)) << error;
            read[f] = zeqiotest::ReadZeqFile(manager, path, "", &error);
            ASSERT_NE(nullptr, read[f]) << forms[f].mName << ": " << error;
        }
        EXPECT_EQ("", zeqiotest::CompareScenes(*read[1], *read[0]).Report());
        // Only the keys without an interpolation letter are left out.
        KZeqNode* body = read[0]->GetRootNode()->FindChild("Body");
        ASSERT_NE(nullptr, body);
        body->SetCurrentTakeNode("Walk");
        EXPECT_EQ(3 * count / 8, body->GetCurrentTakeNode()->GetTranslationX()->KeyGetCount());
    }
}

TEST(ZeqReaderUtilitiesTest, TokensAndCameraNames) {
    EXPECT_TRUE(ConvertMappingModeToken("ByVertice") == 1 && ConvertMappingModeToken("AllSame") == 4);
    for (const char* other : {"byVertice", "ByVertica", "", "NoMappingInformation"})
        EXPECT_EQ(0, ConvertMappingModeToken(other)) << other;
    EXPECT_TRUE(ConvertReferenceModeToken("IndexToDirect") == 2 && ConvertReferenceModeToken("Direct") == 0);
    EXPECT_TRUE(ConvertBlendModeToken("Modulate2") == 3 && ConvertBlendModeToken("Translucent") == 0);
    EXPECT_TRUE(KZeqReaderZeq::ConvertCameraName("Model::Producer Top") == "Producer Top" &&
                KZeqReaderZeq::ConvertCameraName("Model::Camera Switcher") == "Camera Switcher");
    for (const char* same : {"Producer Top", "Model::producer top", "Model::Producer Top ", "Model::Cam"})
        EXPECT_STREQ(same, KZeqReaderZeq::ConvertCameraName(same).Buffer());
}

TEST_F(ReaderTest, FileSearchAgainstTheFilesDirectory) {
    MakeZeqFile(mDir / "s.zeq", 6000, 1, "");
    zeqtest::WriteFile(mDir / "there.png", "x");
    ASSERT_TRUE(mReader.FileOpen((mDir / "s.zeq").c_str()));
    EXPECT_EQ(mDir / "gone.png", zeqtest::Str(mReader.FindFile("gone.png", "nope.png")));
    EXPECT_EQ(mDir / "there.png", zeqtest::Str(mReader.FindFile("", "there.png")));
    EXPECT_EQ(mDir / "there.png", zeqtest::Str(mReader.FindFile("gone.png", "there.png")));
    EXPECT_EQ(mDir / "nope.png", zeqtest::Str(mReader.FindFile(nullptr, "nope.png")));
    EXPECT_TRUE(mReader.FindFile("", "").IsEmpty());
}

// Another program's "Summary" that lists no takes, in a later section of a whole 6.0 file: the
// take of the main section is read with its keys all the same.
TEST_P(ReaderModeTest, ASummaryWithoutTakesHidesNoTake) {
    if (GetParam() == 2) GTEST_SKIP() << "an encrypted file takes no later section from outside the writer";
    KZeqScene* scene = mManager.CreateKZeqScene();
    KZeqNode* node = mManager.CreateKZeqNode("A");
    node->SetNodeAttribute(mManager.CreateKZeqNull());
    scene->GetRootNode()->AddChild(node);
    ASSERT_TRUE(scene->CreateTake("T1"));
    node->SetCurrentTakeNode("T1");
    KFCurve* curve = node->GetCurrentTakeNode()->GetTranslationX();
    curve->KeyModifyBegin();
    for (int frame : {0, 30}) curve->KeyAppendFast(KTime(frame * 1539538600LL), static_cast<float>(frame));
    curve->KeyModifyEnd();
    const std::string path = mDir / "summarised.zeq";
    ASSERT_TRUE(zeqiotest::WriteZeqFile(mManager, *scene, zeqiotest::kZeqFileCases[GetParam()], path));
    const char* const kSummary = "Summary: {\n Version: 101\n Template: 0\n PasswordProtection: 0\n"
                                 " ContentCount: {\n  Version: \"100\"\n  Model: 1\n }\n}\n";
    if (GetParam() == 0) {
        std::string text = zeqtest::ReadFile(path);
        const std::size_t end = text.rfind("@End");
        ASSERT_NE(std::string::npos, end);
        zeqtest::WriteFile(path, text.insert(end, std::string("@Section: 6000\n") + kSummary));
    } else {
        KZeq file;
        ASSERT_TRUE(file.ProjectOpen(path.c_str()) && file.ProjectCreateExtensionSection(false));
        file.FieldWriteBegin("Summary"), file.FieldWriteBlockBegin();
        file.FieldWriteBegin("Version"), file.FieldWriteI(101), file.FieldWriteEnd();
        file.FieldWriteBegin("Template"), file.FieldWriteI(0), file.FieldWriteEnd();
        file.FieldWriteBlockEnd(), file.FieldWriteEnd();
        ASSERT_TRUE(file.ProjectCloseSection() && file.ProjectClose());
    }
    ASSERT_TRUE(mReader.FileOpen(path.c_str()));
    KStreamOptionsZeq* options = Options(mReader, false);
    ASSERT_NE(nullptr, options);
    ASSERT_EQ(1, options->GetTakeInfoCount());
    EXPECT_STREQ("T1", options->GetCurrentTake().Buffer());
    ASSERT_TRUE(mReader.FileClose());
    std::string error;
    KZeqScene* read = zeqiotest::ReadZeqFile(mManager, path, "", &error);
    ASSERT_NE(nullptr, read) << error;
    ASSERT_NE(nullptr, read->GetTakeInfo(KString("T1")));
    KZeqNode* back = read->GetRootNode()->GetChildCount() == 1 ? read->GetRootNode()->GetChild(0) : nullptr;
    ASSERT_TRUE(back && back->SetCurrentTakeNode("T1"));
    KFCurve* keys = back->GetCurrentTakeNode()->GetTranslationX();
    ASSERT_EQ(2, keys->KeyGetCount());
    EXPECT_EQ(30.0f, keys->KeyGet(1).GetValue());
}

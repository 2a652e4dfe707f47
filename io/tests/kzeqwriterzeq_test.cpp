#include "io/kzeqwriterzeq.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "content/kzeqcamera.h"
#include "content/kzeqnull.h"
#include "fcurve/kfcurve.h"
#include "fcurve/kfcurvenode.h"
#include "object/kdatatype.h"

#include "fileio/kzeqbinary.h"
#include "fileio/tests/fileio_test_support.h"
#include "io/kstreamoptionsmotion.h"
#include "io/kstreamoptionszeq.h"
#include "io/kzeqexporter.h"
#include "io/kzeqimporter.h"
#include "io/kzeqwriterzeq6.h"
#include "io/tests/zeqroundtrip.h"
#include "io/tests/zeqscenecompare.h"
#include "object/izeqobject.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsceneinfo.h"
#include "scene/kzeqsdkmanager.h"
#include "scene/kzeqtakeinfo.h"
#include "scene/kzeqtakenode.h"
#include "scene/tests/kfiletakelayers_scene.h"

using namespace zeqsdk_400;
using namespace zeqiotest;

namespace {

KZeqThumbnail* Picture(KZeqSdkManager& manager, KZeqThumbnail::EImageSize size, KZeqThumbnail::EDataFormat format,
                       int seed) {
    KZeqThumbnail* picture = manager.CreateKZeqThumbnail();
    picture->SetDataFormat(format), picture->SetSize(size);
    for (int i = 0; i < picture->GetSizeInBytes(); ++i) picture->GetThumbnailImage()[i] = static_cast<unsigned char>(i * seed);
    return picture;
}

// An empty scene whose switcher has the takes "Walk" and "Run" (current),
// with take infos, thumbnails and scene information.
struct WriterTest : ::testing::Test {
    WriterTest() {
        for (const char* name : {"Walk", "Run"}) mScene->CreateTake(name);
        KZeqTakeInfo walk, run;
        walk.mName = "Walk", walk.mDescription = "slow", run.mName = "Run";
        walk.mLocalTimeSpan = KTimeSpan(KTime(0), KTime(46186158000LL));
        walk.mReferenceTimeSpan = KTimeSpan(KTime(-7), KTime(1234567));
        walk.SetTakeThumbnail(Picture(mManager, KZeqThumbnail::e64x64, KZeqThumbnail::eRGB_24, 3));
        mScene->SetTakeInfo(walk), mScene->SetTakeInfo(run), mScene->SetCurrentTake("Run");
        KZeqSceneInfo* info = mManager.CreateKZeqSceneInfo();
        info->mTitle = "Title", info->mAuthor = "Author", info->mComment = "line\nbreak";
        info->SetSceneThumbnail(Picture(mManager, KZeqThumbnail::e128x128, KZeqThumbnail::eRGBA_32, 5));
        mScene->SetSceneInfo(info);
    }
    zeqtest::TempDir mDir;
    KZeqSdkManager mManager;
    KZeqScene* mScene = mManager.CreateKZeqScene();
    KZeqExporter mExporter{mManager};
};

struct WriterFormTest : WriterTest, ::testing::WithParamInterface<ZeqFileCase> {};

}  // namespace

// Versions read back; the takes and scene information from the "Summary";
// the scene information also through the main section, with its password.
TEST_P(WriterFormTest, EmptySceneWithTakesThroughEveryForm) {
    const ZeqFileCase& form = GetParam();
    const std::string path = mDir / "scene.zeq";
    std::string error;
    ASSERT_TRUE(WriteZeqFile(mManager, *mScene, form, path, "key", &error)) << error;
    EXPECT_EQ(nullptr, ReadZeqFile(mManager, path, "other", &error));
    KZeqImporter importer(mManager);
    ASSERT_TRUE(importer.Initialize(path.c_str())) << importer.GetLastErrorString();
    EXPECT_EQ(form.mMode, importer.GetFileFormat());  // the row follows the encoding
    int major, minor, revision;
    importer.GetFileVersion(major, minor, revision);
    EXPECT_EQ(form.mFileVersion, major * 1000 + minor * 100 + revision);
    auto* summary = static_cast<KStreamOptionsZeq*>(importer.GetImportOptions(KZeqImporter::eSummaryOnly));
    ASSERT_NE(nullptr, summary);
    EXPECT_TRUE(summary->GetPasswordProtection());
    importer.ReleaseImportOptions(summary);
    ASSERT_TRUE(importer.GetTakeCount() == 2 && importer.GetSceneInfo());
    EXPECT_STREQ("Run", importer.GetCurrentTakeName().Buffer());
    ZeqDiff diff;
    for (int i = 0; i < 2; ++i)
        CompareTakeInfo("take", *mScene->GetTakeInfo(importer.GetTakeInfo(i)->mName), *importer.GetTakeInfo(i), diff);
    CompareThumbnail("summary.sceneInfo.thumbnail", mScene->GetSceneInfo()->GetSceneThumbnail(),
                     importer.GetSceneInfo()->GetSceneThumbnail(), diff);
    diff.Check("summary.sceneInfo.mComment", mScene->GetSceneInfo()->mComment, importer.GetSceneInfo()->mComment);
    EXPECT_TRUE(diff.mFields.empty()) << diff.Report();
    KZeqScene* read = ReadZeqFile(mManager, path, "key", &error);
    ASSERT_NE(nullptr, read) << error;
    EXPECT_EQ("", CompareScenes(*mScene, *read).Report());
}
INSTANTIATE_TEST_SUITE_P(Forms, WriterFormTest, ::testing::ValuesIn(kZeqFileCases), ZeqFileCaseName);

// ---- A model named "Scene" -----------------------------------------------------------------------

namespace {

// Null models under their parents ("" the root), in order; the camera "cam" under the root looks
// at "Scene" and turns with "up".
struct SceneNamedRow {
    const char* mName;
    std::vector<std::pair<const char*, const char*>> mModels;
    const char* mTree;
};
const SceneNamedRow kSceneNamedRows[] = {
    {"TopLevel", {{"Scene", ""}, {"A", "Scene"}, {"B", "Scene"}, {"up", "B"}}, "RootNode(Scene(A B(up)) cam)"},
    {"Nested", {{"group", ""}, {"Scene", "group"}, {"leaf", "Scene"}, {"up", ""}}, "RootNode(group(Scene(leaf)) up cam)"},
    {"BesideSceneTilde1", {{"Scene~1", ""}, {"Scene", "Scene~1"}, {"A", "Scene"}, {"up", "A"}},
     "RootNode(Scene~1(Scene(A(up))) cam)"},
};
void PrintTo(const SceneNamedRow& row, std::ostream* out) { *out << row.mName; }

struct SceneNamedTest : ::testing::TestWithParam<std::tuple<SceneNamedRow, ZeqFileCase>> {
    zeqtest::TempDir mDir;
};

}  // namespace

// The 6.0 writer named the root and a model named "Scene" alike, and its reader took the model for
// the root: the model was dropped, what was under it went under the root and the camera lost its
// target. Each 6.0 form reads back what it wrote.
TEST_P(SceneNamedTest, AModelNamedSceneReadsBackAsWritten) {
    const SceneNamedRow& row = std::get<0>(GetParam());
    KZeqSdkManager manager;
    KZeqScene* scene = manager.CreateKZeqScene();
    std::map<std::string, KZeqNode*> nodes{{"", scene->GetRootNode()}};
    for (const auto& model : row.mModels) {
        KZeqNode* node = nodes[model.first] = manager.CreateKZeqNode(model.first);
        node->SetNodeAttribute(manager.CreateKZeqNull());
        ASSERT_TRUE(nodes.at(model.second)->AddChild(node)) << model.first;
    }
    KZeqNode* camera = manager.CreateKZeqNode("cam");
    camera->SetNodeAttribute(manager.CreateKZeqCamera());
    scene->GetRootNode()->AddChild(camera);
    camera->SetTarget(nodes.at("Scene"));
    camera->SetTargetUp(nodes.at("up"));
    const std::string path = mDir / "scene.zeq";
    std::string error;
    ASSERT_TRUE(WriteZeqFile(manager, *scene, std::get<1>(GetParam()), path, "", &error)) << error;
    KZeqImporter importer(manager);
    KZeqScene* read = manager.CreateKZeqScene();
    ASSERT_TRUE(importer.Initialize(path.c_str()) && importer.Import(*read)) << importer.GetLastErrorString();
    EXPECT_EQ(row.mTree, ModelTree(*read->GetRootNode()));
    KString message;
    importer.GetMessage(message);
    EXPECT_STREQ("", message.Buffer());
    KZeqNode* cam = read->GetRootNode()->FindChild("cam");
    ASSERT_TRUE(cam && cam->GetTarget() && cam->GetTargetUp());
    EXPECT_STREQ("Model::Scene", cam->GetTarget()->GetName());
    EXPECT_STREQ("Model::up", cam->GetTargetUp()->GetName());
}
INSTANTIATE_TEST_SUITE_P(Rows, SceneNamedTest,
                         ::testing::Combine(::testing::ValuesIn(kSceneNamedRows),
                                            ::testing::Values(kZeqFileCases[0], kZeqFileCases[1], kZeqFileCases[2])),
                         [](const testing::TestParamInfo<std::tuple<SceneNamedRow, ZeqFileCase>>& info) {
                             return std::string(std::get<0>(info.param).mName) + "_" +
                                    std::get<1>(info.param).mName;
                         });

// ---- What the scene root feeds, and a model named "Camera Switcher" ----------------------------

namespace {

// The root feeds the property of "crane" in a hand-made 6.0 file; beside a model named "Scene"
// the file names the root "Model::Scene~1".
struct RootTargetRow {
    const char* mName;
    bool mBesideScene;
    const char* mProperty;
};
const RootTargetRow kRootTargetRows[] = {{"LookAt", false, "LookAtProperty"},
                                         {"UpVectorBesideAModelNamedScene", true, "UpVectorProperty"}};

struct WriterSixFormTest : WriterFormTest {};

int RootSources(KZeqScene& scene, const char* property) {
    KProperty* held = scene.GetRootNode()->FindChild("crane")->GetPropertyHandler()->FindPropertyByName(property);
    int count = 0;
    for (int i = 0; i < held->GetSrcCount(); ++i) count += held->GetSrc(i) == scene.GetRootNode()->GetPropertyHandler();
    return count;
}

}  // namespace

// A read keeps such a connection in the property; the 6.0 writer knew the root only as a parent
// and dropped it. Each 6.0 form writes it back, naming the root as that file does.
TEST_P(WriterSixFormTest, ARootTargetIsWrittenBackAsRead) {
    for (const RootTargetRow& row : kRootTargetRows) {
        SCOPED_TRACE(row.mName);
        const std::string root = row.mBesideScene ? "Scene~1" : "Scene";
        std::vector<std::string> models{"crane"};
        std::vector<std::pair<std::string, std::string>> links{{"crane", root}};
        if (row.mBesideScene) models.push_back("Scene"), links.emplace_back("Scene", root);
        std::string fields = NullModelFields(models, links);
        fields.insert(fields.size() - 1,
                      "Connect: \"OP\", \"Model::" + root + "\", \"Model::crane\", \"" + row.mProperty + "\";");
        MakeZeqFile(mDir / "made.zeq", 6000, 0, fields);
        KZeqScene* read = ReadZeqFile(mManager, mDir / "made.zeq");
        ASSERT_TRUE(read && RootSources(*read, row.mProperty) == 1);
        ASSERT_TRUE(WriteZeqFile(mManager, *read, GetParam(), mDir / "again.zeq"));
        KZeqScene* again = ReadZeqFile(mManager, mDir / "again.zeq");
        ASSERT_NE(nullptr, again);
        EXPECT_EQ(1, RootSources(*again, row.mProperty));
        EXPECT_EQ(row.mBesideScene ? "RootNode(crane Scene)" : "RootNode(crane)", ModelTree(*again->GetRootNode()));
    }
}

INSTANTIATE_TEST_SUITE_P(Forms, WriterSixFormTest,
                         ::testing::Values(kZeqFileCases[0], kZeqFileCases[1], kZeqFileCases[2]), ZeqFileCaseName);

namespace {

// Models under their parents ("" the root); the switcher and the last model are keyed in "T".
struct SwitcherNamedRow {
    const char* mName;
    std::vector<std::pair<const char*, const char*>> mModels;
    const char* mSwitcherRecord;  // the name of the switcher's take records
};
const SwitcherNamedRow kSwitcherNamedRows[] = {
    {"NoModelOfItsName", {{"A", ""}}, "Model::Camera Switcher"},
    {"TopLevel", {{"Camera Switcher", ""}}, "Model::Camera Switcher~1"},
    {"NestedBesideTilde1", {{"Camera Switcher~1", ""}, {"Camera Switcher", "Camera Switcher~1"}},
     "Model::Camera Switcher~2"},
};

// The switcher's camera index, a model's translation in X.
KFCurve* TakeCurve(KZeqNode& node) {
    node.SetCurrentTakeNode("T");
    KZeqTakeNode* take = node.GetCurrentTakeNode();
    return node.GetCameraSwitcher() ? take->GetCameraIndex() : take->GetTranslationX();
}

}  // namespace

// Both the switcher's and the model's take records were named "Model::Camera Switcher", and the
// reader gave both to the switcher: the model lost its animation. Every form reads back both.
TEST_P(WriterFormTest, AModelNamedCameraSwitcherKeepsItsAnimation) {
    for (const SwitcherNamedRow& row : kSwitcherNamedRows) {
        SCOPED_TRACE(row.mName);
        KZeqSdkManager manager;
        KZeqScene* scene = manager.CreateKZeqScene();
        std::map<std::string, KZeqNode*> nodes{{"", scene->GetRootNode()}};
        KZeqNode* last = nullptr;
        for (const auto& model : row.mModels)
            nodes.at(model.second)->AddChild(last = nodes[model.first] = manager.CreateKZeqNode(model.first));
        scene->CreateTake("T");
        for (int i = 0; i < 2; ++i) {
            TakeCurve(*scene->GetCameraSwitcher())->KeyAppendFast(KTime(i), 1.0f + i);
            TakeCurve(*last)->KeyAppendFast(KTime(i), 5.0f - 8 * i);
        }
        ASSERT_TRUE(WriteZeqFile(manager, *scene, GetParam(), mDir / "switcher.zeq"));
        if (GetParam().mMode == 0) {
            const std::string record = std::string("Model: \"") + row.mSwitcherRecord + "\" {";
            EXPECT_NE(std::string::npos, zeqtest::ReadFile(mDir / "switcher.zeq").find(record));
        }
        KZeqScene* read = ReadZeqFile(manager, mDir / "switcher.zeq");
        KZeqNode* model = read ? read->GetRootNode()->FindChild(last->GetName()) : nullptr;
        ASSERT_NE(nullptr, model);
        for (KZeqNode* node : {read->GetCameraSwitcher(), model}) {
            KFCurve* curve = TakeCurve(*node);
            ASSERT_TRUE(curve && curve->KeyGetCount() == 2) << node->GetName();
            EXPECT_EQ(node == model ? -3.0f : 2.0f, curve->KeyGetPtr(1)->GetValue());
        }
    }
}

// The "Summary" of a scene: template mark, password flag and counts.
TEST_F(WriterTest, SummaryCounts) {
    KZeqNode* mark = mManager.CreateKZeqNode("~zeqexport~");
    mScene->GetRootNode()->AddChild(mark), mark->AddChild(mManager.CreateKZeqNode("child"));
    mScene->CreateCharacter("a"), mScene->CreateCharacter("b");
    KStreamOptionsZeq options;
    options.SetPasswordProtection(true);  // but no password
    KZeqWriterZeq6 writer(mManager, mExporter);
    const std::string path = mDir / "summary.zeq";
    ASSERT_TRUE(writer.FileCreate(path.c_str()) && writer.Write(*mScene, &options) && writer.FileClose());
    EXPECT_TRUE(options.GetTemplate());
    KZeqImporter importer(mManager);
    ASSERT_TRUE(importer.Initialize(path.c_str()));
    auto* read = static_cast<KStreamOptionsZeq*>(importer.GetImportOptions(KZeqImporter::eSummaryOnly));
    ASSERT_NE(nullptr, read);
    EXPECT_TRUE(read->GetTemplate() && !read->GetPasswordProtection());
    const int counts[] = {1, 0, 2, 0, 2, 0};  // top-level models
    for (int i = 0; i < 6; ++i) EXPECT_EQ(counts[i], read->GetContentCount(i)) << i;
    importer.ReleaseImportOptions(read);
}

TEST_F(WriterTest, OptionsAndFileRules) {
    KZeqWriterZeq writer(mManager, mExporter);
    KStreamOptionsZeq options;
    EXPECT_TRUE(!writer.FileClose() && writer.GetLastErrorID() == KZeqWriter::eFileNotOpened);
    EXPECT_TRUE(!writer.Write(*mScene, &options) && writer.GetLastErrorID() == KZeqWriter::eFileNotCreated);
    const std::string cwd = std::filesystem::current_path();
    const bool created = ::chdir(mDir.Path().c_str()) == 0 && writer.FileCreate("relative");
    ASSERT_TRUE(::chdir(cwd.c_str()) == 0 && created);
    KZeqWriterZeq6 writer6(mManager, mExporter);
    ASSERT_TRUE(writer6.FileCreate((mDir / "six").c_str()));
    EXPECT_TRUE(writer.GetZeqObject()->IsBeforeVersion6() && !writer6.GetZeqObject()->IsBeforeVersion6());
    EXPECT_TRUE(!writer.Write(*mScene, nullptr) && writer.GetLastErrorID() == KZeqWriter::eStreamOptionsNotSet);
    KStreamOptionsMotion motion;  // the animated models alone; no options of its own
    EXPECT_TRUE(writer.Write(*mScene, &motion) && writer.FileClose());
    KZeqScene* read = ReadZeqFile(mManager, mDir / "relative.zeq");
    EXPECT_TRUE(read && read->GetSceneInfo());  // generic persistence is always written
}

// A field-file error ends the steps with "Out of disk space".
TEST_F(WriterTest, AFullDiskEndsTheWrite) {
    mScene->GetSceneInfo()->mComment = KString(std::string(1 << 20, 'x').c_str());
    const std::string path = mDir / "full.zeq";
    KStreamOptionsZeq options;
    EXPECT_TRUE(zeqtest::InChild([&] {
        KZeqWriterZeq writer(mManager, mExporter);
        return writer.FileCreate(path.c_str()) && !writer.Write(*mScene, &options) &&
               writer.GetLastErrorID() == KZeqWriter::eOutOfDiskSpace && !writer.FileClose();
    }, 64 * 1024));
    EXPECT_FALSE(std::filesystem::exists(path));
}

// A scene nested in another file's block, written and read through the exporter and importer.
TEST_F(WriterTest, NestedSceneInAnObjectStream) {
    const std::string path = mDir / "outer.zeq";
    std::unique_ptr<IZeqObject> outer(KZeqObjectCreate());
    ASSERT_TRUE(outer->ProjectCreate(path.c_str()) && outer->FieldWriteBegin("Pose") && outer->FieldWriteBlockBegin());
    KStreamOptionsZeq options;
    EXPECT_TRUE(mExporter.Export(*mScene, &options, outer.get()));
    EXPECT_EQ(0, outer->ProjectGetCurrentSectionIndex());  // the main section stays open
    outer->FieldWriteBlockEnd(), outer->FieldWriteEnd();
    ASSERT_TRUE(outer->ProjectClose() && outer->ProjectOpen(path.c_str(), true, true));
    EXPECT_EQ(0, outer->ProjectGetExtensionSectionCount());
    ASSERT_TRUE(outer->FieldReadBegin("Pose") && outer->FieldReadBlockBegin());
    KZeqImporter importer(mManager);
    KZeqScene* read = mManager.CreateKZeqScene();
    // The nested scene's takes are read as its options list them.
    KStreamOptions* nested = importer.GetImportOptions(outer.get());
    ASSERT_TRUE(nested);
    EXPECT_TRUE(importer.Import(*read, nested, outer.get()));
    importer.ReleaseImportOptions(nested);
    EXPECT_EQ("", CompareScenes(*mScene, *read).Report());
    EXPECT_TRUE(!importer.Import(*read, nullptr, outer.get()) && importer.GetLastErrorID() == KZeqIO::eStreamOptionsNotSet);
}

// A node property with another node as its source is written as a connection to the property
// and read back connected; the nodes whose properties have no source write none of those.
TEST_F(WriterTest, PropertySourcesWrittenOnlyWhereThereAreSome) {
    KZeqNode* a = mManager.CreateKZeqNode("A");
    KZeqNode* b = mManager.CreateKZeqNode("B");
    KZeqNode* c = mManager.CreateKZeqNode("C");
    for (KZeqNode* node : {a, b, c}) mScene->GetRootNode()->AddChild(node);
    KProperty* visibility = b->GetPropertyHandler()->FindPropertyByName("Visibility");
    ASSERT_TRUE(visibility && visibility->ConnectSrc(a->GetPropertyHandler()));
    EXPECT_FALSE(a->GetPropertyHandler()->MayHavePropertySources() || c->GetPropertyHandler()->MayHavePropertySources());
    for (const ZeqFileCase& form : kZeqFileCases) {
        if (form.mFileVersion != 6000) continue;
        SCOPED_TRACE(form.mName);
        const std::string path = mDir / "sources.zeq";
        std::string error;
        ASSERT_TRUE(WriteZeqFile(mManager, *mScene, form, path, "", &error)) << error;
        KZeqScene* read = ReadZeqFile(mManager, path, "", &error);
        ASSERT_NE(nullptr, read) << error;
        KZeqNode* readA = read->GetRootNode()->FindChild("A");
        KZeqNode* readB = read->GetRootNode()->FindChild("B");
        KZeqNode* readC = read->GetRootNode()->FindChild("C");
        ASSERT_TRUE(readA && readB && readC);
        KProperty* readVisibility = readB->GetPropertyHandler()->FindPropertyByName("Visibility");
        ASSERT_NE(nullptr, readVisibility);
        ASSERT_EQ(1, readVisibility->GetSrcCount());
        EXPECT_EQ(readA->GetPropertyHandler(), readVisibility->GetSrc(0));
        for (KZeqNode* node : {readA, readC}) {
            KObject& handler = *node->GetPropertyHandler();
            int sources = 0;
            for (int p = 0; p < handler.GetPropertyCount(); ++p) sources += handler.GetProperty(p)->GetSrcCount();
            EXPECT_EQ(0, sources) << node->GetName();
        }
    }
}

// ---- Time warps ------------------------------------------------------------------------------------

namespace {

// Translation X and Y of a node where its take puts them at a time.
std::pair<double, double> XY(KZeqNode& node, double seconds) {
    KTime time;
    time.SetSecondDouble(seconds);
    const KZeqXMatrix m = node.EvaluateGlobalTransform(time);
    return {m.mData[3][0], m.mData[3][1]};
}

KFCurveNode* WarpNode(const zeqtest::ScalarKeys& keys) {
    KFCurveNode* warp = KFCurveNodeCreate("W", &KDataTypeTimeWarp);
    warp->FCurveSet(zeqtest::LinearCurve(keys), true);
    return warp;
}

// Where the warps of a take made in memory lie, which no file holds there.
enum EUnheldWarp { eOnXAlone, eOnTAndXAlike, eOnTheWholeTake, eOnAWarp };
struct UnheldWarpRow {
    const char* mName;
    EUnheldWarp mPlace;
};
void PrintTo(const UnheldWarpRow& row, std::ostream* out) { *out << row.mName; }
const UnheldWarpRow kUnheldWarpRows[] = {
    {"OnXAlone", eOnXAlone}, {"OnTAndXAlike", eOnTAndXAlike}, {"OnTheWholeTake", eOnTheWholeTake}, {"OnAWarp", eOnAWarp}};

struct UnheldWarpTest : WriterTest, ::testing::WithParamInterface<std::tuple<UnheldWarpRow, ZeqFileCase>> {};

}  // namespace

// The README's example, translation X from 0 to 10 over 1 s under a half-speed warp over that
// second, read without the bake, written in each form and read again: 0, 2.5, 5 at 0, 0.5, 1 s and
// 5 after, without the bake and with it. Nothing of it is baked on the way: the message is empty.
TEST_P(WriterFormTest, TheReadmesWarpedTakeSurvivesTheWriter) {
    const ZeqFileCase& form = GetParam();
    const std::string source = mDir / "readme.zeq", path = mDir / "written.zeq";
    MakeZeqFile(source, 6000, 0,
                "Definitions: {;ObjectType: \"Model\";};Objects: {;Model: \"Model::A\", \"Null\" {;Type: \"Null\";};};"
                "Connections: {;Connect: \"OO\", \"Model::A\", \"Model::Scene\";};Takes: {;Current: \"T\";Take: \"T\" {;"
                "TimeWarps: {;Version: 100;TW: 1 {;Channel: \"W\" {;Default: 0;KeyVer: 4004;KeyCount: 2;"
                "Key: 0,0,L,46186158000,0.5,L;};};};Model: \"Model::A\" {;Version: 1.1;Channel: \"Transform\" {;"
                "Channel: \"T\" {;Channel: \"X\" {;Default: 0;KeyVer: 4004;KeyCount: 2;Key: 0,0,L,46186158000,10,L;};"
                "TimeWarpID: 1;};};};};}");
    std::string error, message;
    KZeqScene* read = ReadZeqFile(mManager, source, "", &error);
    ASSERT_NE(nullptr, read) << error;
    ASSERT_TRUE(WriteZeqFile(mManager, *read, form, path, "", &error, &message)) << error;
    EXPECT_EQ("", message);
    for (bool bake : {false, true}) {
        SCOPED_TRACE(bake ? "baked" : "not baked");
        KZeqImporter importer(mManager);
        ASSERT_TRUE(importer.Initialize(path.c_str())) << importer.GetLastErrorString();
        auto* options = static_cast<KStreamOptionsZeq*>(importer.GetImportOptions());
        ASSERT_NE(nullptr, options);
        options->SetOption(KStreamOptionsZeq::eMERGE_LAYER_AND_TIMEWARP, bake);
        KZeqScene* again = mManager.CreateKZeqScene();
        ASSERT_TRUE(importer.Import(*again, options)) << importer.GetLastErrorString();
        importer.ReleaseImportOptions(options);
        KZeqNode* a = again->GetRootNode()->FindChild("A");
        ASSERT_TRUE(a && a->SetCurrentTakeNode("T"));
        const double seconds[] = {0, 0.5, 1, 2}, expected[] = {0, 2.5, 5, 5};
        for (int i = 0; i < 4; ++i) EXPECT_NEAR(expected[i], XY(*a, seconds[i]).first, 1e-4) << seconds[i] << " s";
    }
}

// Warps that no file holds where a take made in memory has them: the writer writes the curves
// they bend baked (at 1/30 s, as the reader's bake does), so that the file plays as the take, and
// says so once; the scene keeps its warps. X and Y are keyed 0 and 10 at 0 and 1 s; the warp runs
// at half speed over 1 s.
TEST_P(UnheldWarpTest, TheWriterBakesThemAndSaysSoOnce) {
    const UnheldWarpRow& row = std::get<0>(GetParam());
    const ZeqFileCase& form = std::get<1>(GetParam());
    KZeqNode* node = mManager.CreateKZeqNode("A");
    mScene->GetRootNode()->AddChild(node);
    node->CreateTakeNode("Walk");
    ASSERT_TRUE(node->SetCurrentTakeNode("Walk"));
    KFCurveNode* root = node->GetCurrentTakeNode()->GetKFCurveNode();
    KFCurveNode* t = root->FindRecursive("T");
    ASSERT_TRUE(t && t->GetCount() == 3);
    for (int a = 0; a < 2; ++a) t->Get(a)->FCurveSet(zeqtest::LinearCurve({{0, 0}, {1, 10}}), true);
    KFCurveNode* half = WarpNode({{0, 0}, {1, 0.5}});
    switch (row.mPlace) {
        case eOnXAlone: t->Get(0)->TimeWarpSet(half); break;
        case eOnTAndXAlike: t->TimeWarpSet(half), t->Get(0)->TimeWarpSet(half); break;
        case eOnTheWholeTake: root->TimeWarpSet(half); break;
        case eOnAWarp: {
            // A warp that changes nothing, bent by the half-speed one.
            KFCurveNode* same = WarpNode({{0, 0}, {2, 2}});
            same->TimeWarpSet(half);
            t->TimeWarpSet(same);
            break;
        }
    }
    const std::string path = mDir / "unheld.zeq";
    std::string error, message;
    ASSERT_TRUE(WriteZeqFile(mManager, *mScene, form, path, "", &error, &message)) << error;
    EXPECT_EQ(1u, std::count(message.begin(), message.end(), '\n')) << message;
    EXPECT_NE(std::string::npos, message.find("no Zeq file holds")) << message;
    const char* where = row.mPlace == eOnAWarp ? "baked into the curves they bend: a time warp in take \"Walk\"."
                                              : "baked into the curves they bend: Model::A in take \"Walk\".";
    EXPECT_NE(std::string::npos, message.find(where)) << message;
    // The scene keeps what it had.
    EXPECT_EQ(row.mPlace == eOnXAlone || row.mPlace == eOnTAndXAlike ? half : nullptr, t->Get(0)->TimeWarpGet());
    EXPECT_EQ(row.mPlace == eOnTheWholeTake ? half : nullptr, root->TimeWarpGet());
    EXPECT_EQ(2, t->Get(0)->FCurveGet()->KeyGetCount());
    KZeqScene* read = ReadZeqFile(mManager, path, "", &error);
    ASSERT_NE(nullptr, read) << error;
    KZeqNode* again = read->GetRootNode()->FindChild("A");
    ASSERT_TRUE(again && again->SetCurrentTakeNode("Walk") && node->SetCurrentTakeNode("Walk"));
    for (double s : {0.0, 0.5, 0.8, 1.0, 1.5, 2.0, 3.0}) {
        const auto want = XY(*node, s), got = XY(*again, s);
        EXPECT_NEAR(want.first, got.first, 1e-4) << "X at " << s << " s";
        EXPECT_NEAR(want.second, got.second, 1e-4) << "Y at " << s << " s";
    }
    // Written a second time, the take read back holds nothing the writer must bake.
    ASSERT_TRUE(WriteZeqFile(mManager, *read, form, path, "", &error, &message)) << error;
    EXPECT_EQ("", message);
}

// Two models in both takes, each baked (A's warp on its whole take, B's on X alone), and B's
// rotation under a warp that the half-speed one bends: per take A's tree, B's tree and that warp
// are baked, six in the file. The writer says so in one line naming the first and counting the five others; the file
// plays as the scene.
TEST_P(WriterFormTest, WarpsBakedInSeveralModelsAndTakesAreSaidOnce) {
    const ZeqFileCase& form = GetParam();
    KFCurveNode* half = WarpNode({{0, 0}, {1, 0.5}});
    KFCurveNode* same = WarpNode({{0, 0}, {2, 2}});
    same->TimeWarpSet(half);
    std::vector<KZeqNode*> nodes;
    for (const char* name : {"A", "B"}) {
        KZeqNode* node = mManager.CreateKZeqNode(name);
        mScene->GetRootNode()->AddChild(node);
        nodes.push_back(node);
        for (const char* take : {"Walk", "Run"}) {
            node->CreateTakeNode(take);
            ASSERT_TRUE(node->SetCurrentTakeNode(take));
            KFCurveNode* root = node->GetCurrentTakeNode()->GetKFCurveNode();
            KFCurveNode* t = root->FindRecursive("T");
            ASSERT_TRUE(t && t->GetCount() == 3);
            for (int a = 0; a < 2; ++a) t->Get(a)->FCurveSet(zeqtest::LinearCurve({{0, 0}, {1, 10.0 + a}}), true);
            if (nodes.size() == 1) {
                root->TimeWarpSet(half);
            } else {
                t->Get(0)->TimeWarpSet(half);
                root->FindRecursive("R")->TimeWarpSet(same);
            }
        }
    }
    const std::string path = mDir / "several.zeq";
    std::string error, message;
    ASSERT_TRUE(WriteZeqFile(mManager, *mScene, form, path, "", &error, &message)) << error;
    KArrayTemplate<KString*> takes;
    mScene->FillTakeNameArray(takes);
    std::string first;
    for (int i = 0; i < takes.GetCount(); ++i) {
        if (first.empty() && *takes[i] != "Default") first = takes[i]->Buffer();
        delete takes[i];
    }
    EXPECT_EQ("Time warps that no Zeq file holds where they are (one that a vector's axis channels hold with none or "
              "the same on the vector; one on a take's whole animation; one on a time warp) are written baked into "
              "the curves they bend: Model::A in take \"" + first + "\" and 5 more.\n",
              message);
    KZeqScene* read = ReadZeqFile(mManager, path, "", &error);
    ASSERT_NE(nullptr, read) << error;
    for (KZeqNode* node : nodes) {
        KZeqNode* again = read->GetRootNode()->FindChild(node->GetName());
        ASSERT_NE(nullptr, again) << node->GetName();
        for (const char* take : {"Walk", "Run"}) {
            ASSERT_TRUE(again->SetCurrentTakeNode(take) && node->SetCurrentTakeNode(take));
            for (double s : {0.0, 0.5, 1.0, 2.0, 3.0}) {
                const auto want = XY(*node, s), got = XY(*again, s);
                EXPECT_NEAR(want.first, got.first, 1e-4) << node->GetName() << " X in " << take << " at " << s << " s";
                EXPECT_NEAR(want.second, got.second, 1e-4) << node->GetName() << " Y in " << take << " at " << s << " s";
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, UnheldWarpTest, ::testing::Combine(::testing::ValuesIn(kUnheldWarpRows), ::testing::ValuesIn(kZeqFileCases)),
                         [](const ::testing::TestParamInfo<UnheldWarpTest::ParamType>& info) {
                             return std::string(std::get<0>(info.param).mName) + "_" + std::get<1>(info.param).mName;
                         });

// ---- A scene without warps -------------------------------------------------------------------------

namespace {

// The null model A keyed in the takes "Walk" and "Run": translation X (linear keys off the frames),
// rotation Z and scaling Y, and in "Walk" a translation layer.
KZeqScene* WarpFreeScene(KZeqSdkManager& manager) {
    KZeqScene* scene = manager.CreateKZeqScene();
    KZeqNode* a = manager.CreateKZeqNode("A");
    a->SetNodeAttribute(manager.CreateKZeqNull());
    scene->GetRootNode()->AddChild(a);
    const KTime second(46186158000LL);
    for (const char* name : {"Walk", "Run"}) {
        scene->CreateTake(name);
        KZeqTakeInfo info;
        info.mName = name;
        info.mLocalTimeSpan = info.mReferenceTimeSpan = KTimeSpan(KTime(0), second);
        scene->SetTakeInfo(info);
        const float pace = name[0] == 'W' ? 1.0f : 2.5f;
        a->CreateTakeNode(name);
        a->SetCurrentTakeNode(name);
        KZeqTakeNode* take = a->GetCurrentTakeNode();
        take->GetKFCurveNode()->FindRecursive("X")->FCurveSet(zeqtest::LinearCurve({{0, 0}, {0.51, 4 * pace}, {1, 10}}),
                                                              true);
        take->GetEulerRotationZ()->KeyAppendFast(KTime(0), 0.0f);
        take->GetEulerRotationZ()->KeyAppendFast(KTime(second.Get() / 3), 30 * pace);
        take->GetScaleY()->KeyAppendFast(KTime(0), 1.0f);
        take->GetScaleY()->KeyAppendFast(second, pace);
    }
    zeqtest::TakeLayering layering;
    layering.mLayers = zeqtest::eTranslationLayer;
    layering.mLayerT[0] = {{0.0, 0.0}, {0.5, 2.0}};
    layering.mLayerT[1] = layering.mLayerT[2] = {{0.0, 0.0}};
    zeqtest::AddTakeLayering(*a, "Walk", layering);
    scene->SetCurrentTake("Walk");
    return scene;
}

// The little-endian number of size bytes at.
std::uint64_t Load(const std::string& bytes, std::size_t at, int size) {
    std::uint64_t value = 0;
    for (int i = size; i-- > 0;) value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return value;
}
// The file's bytes with what differs between two writes of one scene made alike: the time stamp in
// its header (and the checksums over it) and, in an encrypted file, each section's random nonce, its
// body deciphered (and the checksum of its stored bytes). Empty when the layout is not the one read.
std::string Normalised(std::string bytes, bool binary) {
    using namespace zeqdetail;
    const std::string stamp = "CreationTimeStamp";
    const std::size_t name = bytes.find(stamp);
    if (name == std::string::npos) return {};
    const std::size_t values = name + stamp.size();
    if (!binary) {
        const std::size_t end = bytes.find('\n', values);
        return end == std::string::npos ? std::string() : bytes.replace(values, end - values, ": 0,0,0,0,0,0,0");
    }
    if (bytes.size() < kFixedHeaderSize) return {};
    // Seven values of a run: 'i', the count, then the values.
    const std::uint64_t record = Load(bytes, 20, 4);
    if (record > bytes.size() - kFixedHeaderSize || values + 33 > kFixedHeaderSize + record || bytes[values] != 'i' || Load(bytes, values + 1, 4) != 7) return {};
    bytes.replace(values + 5, 28, 28, '\0');
    bytes.replace(24, 8, 8, '\0');
    const bool encrypted = (Load(bytes, 16, 4) & kFileFlagEncrypted) != 0;
    std::uint8_t key[kKeySize];
    BuiltInKey(key);
    std::set<std::uint64_t> deciphered;
    for (std::size_t slot = kSlotOffset; slot < kSlotOffset + 2 * kSlotSize; slot += kSlotSize) {
        const std::uint64_t table = Load(bytes, slot, 8), length = Load(bytes, slot + 8, 8);
        if (length == 0) continue;
        if (table > bytes.size() || length > bytes.size() - table || length < kTableOverhead ||
            Load(bytes, table + 4, 4) != (length - kTableOverhead) / kTableEntrySize)
            return {};
        for (std::uint64_t entry = table + 8; entry + kTableEntrySize <= table + length - 4; entry += kTableEntrySize) {
            const std::uint64_t offset = Load(bytes, entry, 8), stored = Load(bytes, entry + 8, 8);
            if (offset > bytes.size() || stored > bytes.size() - offset) return {};
            if (encrypted && deciphered.insert(offset).second) {
                ZeqCtrCipher cipher;
                cipher.SetKey(key, reinterpret_cast<const std::uint8_t*>(&bytes[entry + 80]));
                cipher.Apply(reinterpret_cast<std::uint8_t*>(&bytes[offset]), stored, 0);
            }
            bytes.replace(entry + 16, 4, 4, '\0');
            bytes.replace(entry + 80, kNonceSize, kNonceSize, '\0');
        }
        bytes.replace(table + length - 4, 4, 4, '\0');
    }
    return bytes;
}

// Where two files first differ, with some bytes of each around it.
std::string FirstDifference(const std::string& stored, const std::string& written) {
    const auto at = static_cast<std::size_t>(
        std::mismatch(stored.begin(), stored.begin() + static_cast<std::ptrdiff_t>(std::min(stored.size(), written.size())),
                      written.begin()).first - stored.begin());
    const auto around = [at](const std::string& bytes) {
        std::string shown;
        for (std::size_t i = at < 24 ? 0 : at - 24; i < std::min(bytes.size(), at + 40); ++i)
            shown += std::isprint(static_cast<unsigned char>(bytes[i])) ? bytes[i] : '.';
        return shown;
    };
    return "sizes " + std::to_string(stored.size()) + " and " + std::to_string(written.size()) + ", first difference at " +
           std::to_string(at) + ":\n  stored  " + around(stored) + "\n  written " + around(written);
}

struct WarpFreeFileTest : ::testing::TestWithParam<ZeqFileCase> {
    zeqtest::TempDir mDir;
};

}  // namespace

// A scene without warps, written in each form, is the file the writers wrote before they wrote warps
// (tests/data/warpfree-<form>.zeq, stored then), byte for byte but for the time stamp and, in the
// encrypted forms, the random nonces: the take records gain nothing, not even an empty block.
TEST_P(WarpFreeFileTest, WritesTheBytesItWroteBeforeWarpsWereWritten) {
    const ZeqFileCase& form = GetParam();
    KZeqSdkManager manager;
    KZeqScene* scene = WarpFreeScene(manager);
    const std::string path = mDir / "warpfree.zeq";
    std::string error;
    ASSERT_TRUE(WriteZeqFile(manager, *scene, form, path, "", &error)) << error;
    const std::string stored =
        Normalised(zeqtest::ReadFile(std::string(ZEQ_IO_TEST_DATA) + "/warpfree-" + form.mName + ".zeq"), form.mMode != 0);
    const std::string written = Normalised(zeqtest::ReadFile(path), form.mMode != 0);
    ASSERT_FALSE(stored.empty() || written.empty());
    EXPECT_TRUE(stored == written) << FirstDifference(stored, written);
}
INSTANTIATE_TEST_SUITE_P(Forms, WarpFreeFileTest, ::testing::ValuesIn(kZeqFileCases), ZeqFileCaseName);

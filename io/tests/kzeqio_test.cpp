#include "io/kzeqio.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "io/kstreamoptionszeq.h"
#include "io/kzeqexporter.h"
#include "io/kzeqreaderzeq.h"
#include "io/kzeqimporter.h"
#include "io/kzeqwriterzeq.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"

using namespace zeqsdk_400;

namespace {

std::vector<std::string> gProgress;
void Record(const char* title, const char* message, float percent) {
    gProgress.push_back(std::string(title ? title : "-") + "|" + message + "|" + std::to_string(int(percent)));
}

struct KZeqIOTest : ::testing::Test {
    KZeqNode* Child(KZeqNode* parent, const char* name) {
        KZeqNode* node = mManager.CreateKZeqNode(name);
        parent->AddChild(node);
        return node;
    }
    KZeqSdkManager mManager;
    KZeqScene* mScene = mManager.CreateKZeqScene();
    KZeqNode* mRoot = mScene->GetRootNode();
    KZeqExporter mExporter{mManager};
    KZeqImporter mImporter{mManager};
};

}  // namespace

TEST_F(KZeqIOTest, ErrorTablesKeepTheirTexts) {
    KZeqReaderZeq reader(mManager, mImporter);
    KZeqWriterZeq writer(mManager, mExporter);
    EXPECT_EQ(11, mExporter.GetError().GetErrorCount());
    EXPECT_EQ(8, reader.GetError().GetErrorCount());
    EXPECT_EQ(6, writer.GetError().GetErrorCount());
    EXPECT_STREQ("Uninitialized filename, use method Initialize(kCharPtr pFilename) first",
                 mExporter.GetError().GetErrorString(6));
    EXPECT_STREQ("Stream options not set", mExporter.GetError().GetErrorString(10));
    EXPECT_STREQ("Wrong password", reader.GetError().GetErrorString(5));
    EXPECT_STREQ("Out of disk space", writer.GetError().GetErrorString(3));
    EXPECT_EQ(-1, mImporter.GetLastErrorID());
    int major = 0, minor = 1, revision = 1;
    KZeqIO::GetCurrentVersion(major, minor, revision);
    EXPECT_EQ(6000, major * 1000 + minor * 100 + revision);
}

// Progress reaches the callback of the attached options only while a write runs.
TEST_F(KZeqIOTest, ProgressJoinsMessageAndDetail) {
    gProgress.clear();
    mExporter.ProgressUpdate("t", "m", "x", 10);
    EXPECT_TRUE(gProgress.empty());
    KStreamOptionsZeq options;
    options.SetProgressCallback(&Record);
    mExporter.Initialize("/nonexistent-dir/x.zeq");
    mExporter.SetFileFormat(KZeqExporter::eZEQ_5_BINARY);
    // The file cannot be created: nothing attached, nothing reported.
    EXPECT_FALSE(mExporter.Export(*mScene, &options));
    EXPECT_TRUE(gProgress.empty());
    struct Probe : KZeqIO {
        using KZeqIO::KZeqIO;
        void Attach(KStreamOptions* options) { mStreamOptions = options; }
    } probe(mManager);
    probe.Attach(&options);
    probe.ProgressUpdate("t", "m", "x", 10);
    probe.ProgressUpdate(nullptr, "m", "", 20);
    probe.ProgressUpdate("t", "m", nullptr, 30);
    EXPECT_EQ((std::vector<std::string>{"t|m - x|10", "-|m|20", "t|m|30"}), gProgress);
}

TEST_F(KZeqIOTest, DuplicateNamesAreListedOnceAtTheirFirstOccurrence) {
    KZeqReaderZeq reader(mManager, mImporter);
    KString message("before");
    EXPECT_TRUE(reader.CheckDuplicateNodeNames(mRoot, message));
    KZeqNode* a = Child(mRoot, "a");
    Child(a, "a"), Child(mRoot, "a"), Child(mRoot, "b"), Child(a, "b");
    EXPECT_FALSE(reader.CheckDuplicateNodeNames(mRoot, message));
    EXPECT_STREQ("before\n    Model::a\n    Model::b", message.Buffer());
}

TEST_F(KZeqIOTest, RootOfAnExportedTreeIsTheFirstSelectedNodeOfTheSingleChildChain) {
    KZeqWriterZeq writer(mManager, mExporter);
    EXPECT_EQ(nullptr, writer.FindRootNode(*mScene));
    KZeqNode* a = Child(mRoot, "A");
    KZeqNode* b = Child(a, "B");
    EXPECT_EQ(nullptr, writer.FindRootNode(*mScene));
    b->SetSelected(true);
    EXPECT_EQ(b, writer.FindRootNode(*mScene));
    Child(a, "C");
    EXPECT_EQ(nullptr, writer.FindRootNode(*mScene));  // A forks before B
    a->SetSelected(true);
    EXPECT_EQ(a, writer.FindRootNode(*mScene));
    Child(mRoot, "D");
    EXPECT_EQ(nullptr, writer.FindRootNode(*mScene));
}

TEST_F(KZeqIOTest, BlanksInNamesAreReportedParentFirst) {
    KZeqWriterZeq writer(mManager, mExporter);
    KZeqNode* a = Child(mRoot, "a b");
    Child(a, "c\td"), Child(a, "ok"), Child(Child(mRoot, "e"), "f\ng");
    KString message;
    EXPECT_FALSE(writer.CheckSpaceInNodeNameRecursive(mRoot, message));
    EXPECT_STREQ("\n    Model::a b\n    Model::c\td\n    Model::f\ng", message.Buffer());
    KString none;
    EXPECT_TRUE(writer.CheckSpaceInNodeNameRecursive(a->GetChild(1), none));
    EXPECT_TRUE(none.IsEmpty());
}

TEST_F(KZeqIOTest, TheManagerMakesAndEndsImportersAndExporters) {
    KZeqImporter* importer = mManager.CreateKZeqImporter();
    KZeqExporter* exporter = mManager.CreateKZeqExporter();
    EXPECT_TRUE(mManager.DestroyKZeqExporter(exporter));
    EXPECT_FALSE(mManager.DestroyKZeqExporter(exporter));
    EXPECT_FALSE(mManager.DestroyKZeqImporter(&mImporter));
    ASSERT_NE(nullptr, importer);
    mManager.CreateKZeqExporter();
    mManager.Clear();  // ends the importer and the new exporter
}

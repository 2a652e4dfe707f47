#include "io/kzeqio.h"

#include <gtest/gtest.h>

#include <typeinfo>

#include <string>
#include <utility>
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
        return parent->AddChild(node), node;
    }
    KZeqSdkManager mManager;
    KZeqScene* mScene = mManager.CreateKZeqScene();
    KZeqNode* mRoot = mScene->GetRootNode();
    KZeqExporter mExporter{mManager};
    KZeqImporter mImporter{mManager};
};

}  // namespace

// Progress reaches the callback of the attached options only while a write runs.
TEST_F(KZeqIOTest, ProgressJoinsMessageAndDetail) {
    gProgress.clear();
    mExporter.ProgressUpdate("t", "m", "x", 10);  // no options attached
    KStreamOptionsZeq options;
    options.SetProgressCallback(&Record);
    struct Probe : KZeqIO {
        Probe(KZeqSdkManager& manager, KStreamOptions* options) : KZeqIO(manager) { mStreamOptions = options; }
    } probe(mManager, &options);
    probe.ProgressUpdate("t", "m", "x", 10), probe.ProgressUpdate(nullptr, "m", "", 20);
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
    KZeqNode *a = Child(mRoot, "A"), *b = Child(a, "B");
    EXPECT_EQ(nullptr, writer.FindRootNode(*mScene));
    b->SetSelected(true);
    EXPECT_EQ(b, writer.FindRootNode(*mScene));
    Child(a, "C");
    EXPECT_EQ(nullptr, writer.FindRootNode(*mScene));  // A forks before B
    a->SetSelected(true);
    EXPECT_EQ(a, writer.FindRootNode(*mScene));
    EXPECT_EQ(nullptr, (Child(mRoot, "D"), writer.FindRootNode(*mScene)));
}

TEST_F(KZeqIOTest, BlanksInNamesAreReportedParentFirst) {
    KZeqWriterZeq writer(mManager, mExporter);
    KZeqNode* a = Child(mRoot, "a b");
    Child(a, "c\td"), Child(a, "ok"), Child(Child(mRoot, "e"), "f\ng");
    KString message;
    EXPECT_FALSE(writer.CheckSpaceInNodeNameRecursive(mRoot, message));
    EXPECT_STREQ("\n    Model::a b\n    Model::c\td\n    Model::f\ng", message.Buffer());
    KString none;
    EXPECT_TRUE(writer.CheckSpaceInNodeNameRecursive(a->GetChild(1), none) && none.IsEmpty());
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

// A manager subclass that overrides the allocators has its own importer and
// exporter made, listed and ended.
TEST(KZeqIOManagerTest, CreateGoesThroughTheVirtualAllocators) {
    static int alive = 0;
    struct CountedImporter : KZeqImporter {
        explicit CountedImporter(KZeqSdkManager& m) : KZeqImporter(m) { ++alive; }
        ~CountedImporter() override { --alive; }
    };
    struct CountedExporter : KZeqExporter {
        explicit CountedExporter(KZeqSdkManager& m) : KZeqExporter(m) { ++alive; }
        ~CountedExporter() override { --alive; }
    };
    struct Manager : KZeqSdkManager {
        KZeqImporter* AllocateKZeqImporter() override { return new CountedImporter(*this); }
        KZeqExporter* AllocateKZeqExporter() override { return mRefuse ? nullptr : new CountedExporter(*this); }
        bool mRefuse = false;
    } manager;
    KZeqImporter* importer = manager.CreateKZeqImporter();
    KZeqExporter* exporter = manager.CreateKZeqExporter();
    EXPECT_NE(nullptr, dynamic_cast<CountedImporter*>(importer));
    EXPECT_NE(nullptr, dynamic_cast<CountedExporter*>(exporter));
    EXPECT_EQ(2, alive);
    EXPECT_TRUE(manager.DestroyKZeqImporter(importer));
    EXPECT_EQ(1, alive);
    manager.mRefuse = true;
    EXPECT_EQ(nullptr, manager.CreateKZeqExporter());  // nothing listed
    manager.Clear();
    EXPECT_EQ(0, alive);
    // The base allocators make plain ones.
    KZeqSdkManager plain;
    KZeqImporter* own = plain.AllocateKZeqImporter();
    ASSERT_NE(nullptr, own);
    EXPECT_EQ(typeid(KZeqImporter), typeid(*own));
    delete own;
}

// The version written by default, the three error tables as they stand, and
// the message a format reader or writer collects, which ClearMessage empties.
TEST_F(KZeqIOTest, VersionErrorTablesAndMessages) {
    int major = -1, minor = -1, revision = -1;
    KZeqIO::GetCurrentVersion(major, minor, revision);
    EXPECT_EQ(60000, major * 10000 + minor * 100 + revision);
    const std::vector<std::string> io = {"File is corrupted", "File version is not supported yet",
                                         "File version is not supported anymore", "File not opened", "File not created",
                                         "Out of disk space",
                                         "Uninitialized filename, use method Initialize(kCharPtr pFilename) first",
                                         "Unidentified error", "Index out of range", "Password error",
                                         "Stream options not set"};
    const std::vector<std::string> reader = {"File is corrupted", "File version is not supported yet",
                                             "File version is not supported anymore", "File not opened",
                                             "File not created", "Wrong password", "Stream options not set",
                                             "Unidentified error"};
    const std::vector<std::string> writer = {"File is corrupted", "File not opened", "File not created",
                                             "Out of disk space", "Stream options not set", "Unidentified error"};
    struct Probe : KZeqReaderZeq {
        using KZeqReaderZeq::KZeqReaderZeq;
        void Warn(const char* text) { mMessage += text; }
    } probe(mManager, mImporter);
    struct WriterProbe : KZeqWriterZeq {
        using KZeqWriterZeq::KZeqWriterZeq;
        void Warn(const char* text) { mMessage += text; }
    } writerProbe(mManager, mExporter);
    for (auto [error, table] : {std::pair{&mImporter.GetError(), &io}, {&probe.GetError(), &reader},
                                {&writerProbe.GetError(), &writer}}) {
        ASSERT_EQ(static_cast<int>(table->size()), error->GetErrorCount());
        for (int id = 0; id < error->GetErrorCount(); ++id) {
            error->SetLastErrorID(id);
            EXPECT_EQ((*table)[static_cast<std::size_t>(id)], error->GetLastErrorString()) << id;
        }
    }
    KString message;
    probe.Warn("a"), probe.Warn("b"), writerProbe.Warn("c");
    probe.GetMessage(message);
    EXPECT_STREQ("ab", message.Buffer());
    probe.ClearMessage(), writerProbe.ClearMessage();
    probe.GetMessage(message);
    EXPECT_TRUE(message.IsEmpty());
    writerProbe.GetMessage(message);
    EXPECT_TRUE(message.IsEmpty());
}

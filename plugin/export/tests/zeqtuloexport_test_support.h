// Export tests: a fresh host (HostTest: unexpected host faults and unused dialog answers fail the
// test) and the export driver linked into the test, with its log in a directory of the test's own.
// Every export checks that the host scene dumps the same before and after.
#pragma once

#include <memory>
#include <string>

#include "base/klib.h"
#include "io/kzeqimporter.h"
#include "plugin/export/zeqtuloexport.h"
#include "plugin/zeqtulouserparams.h"
#include "scene/kzeqnode.h"
#include "scene/kzeqscene.h"
#include "scene/kzeqsdkmanager.h"
#include "zeqtulo_test_support.h"

// The driver with its members in reach of the tests.
class ExportProbe : public ZeqTuloExport {
public:
    using ZeqTuloExport::mCameraInfos;
    using ZeqTuloExport::mJointDisplayScale;
    using ZeqTuloExport::mLog;
    using ZeqTuloExport::mNodesByDagPath;
    using ZeqTuloExport::mRootNode;
    using ZeqTuloExport::mScene;
    using ZeqTuloExport::mSdkManager;
    using ZeqTuloExport::mSelection;
    using ZeqTuloExport::mTargetShapeNodes;
    using ZeqTuloExport::mWrapWarningShown;
    using ZeqTuloExport::smStepCount;
    using ZeqTuloExport::smSteps;
    using ZeqTuloExport::ApplyMasterScale;
    using ZeqTuloExport::WriteMeshLayers;

    // The node made for a host path, by the path's full name; null when none.
    ZeqTuloNode* Node(const std::string& fullPathName) const {
        return reinterpret_cast<ZeqTuloNode*>(mNodesByDagPath.Get(fullPathName.c_str()));
    }
    // The first node of the scene named "Model::" + name.
    ZeqTuloNode* Named(const std::string& name) const {
        return static_cast<ZeqTuloNode*>(mRootNode->FindChild(name.c_str(), true));
    }
    // The first walk alone, as Export runs it.
    void Walk() {
        mWrapWarningShown = false;
        BuildGeometry(TItDag::kDepthFirst, TFn::kInvalid);
    }
    // Both walks.
    void Walks() {
        Walk();
        BuildHierarchy(TItDag::kDepthFirst, TFn::kInvalid);
    }
    void OpenLog() { mLog.reset(new zeqsdk_400::ZeqLogFile("zeqtulolog.txt", "test", true, true)); }
};

class ExportTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        mDirectory = ZeqTuloTestDirectory();
        zeqsdk_400::KLib_SetMasterDirectory(mDirectory.c_str());
        zeqsdk_400::KLib_SetConfigDirectory("");
        Params()->Reset();
        Params()->SetBoolParam(ZeqTuloUserParams::kExportShowUI, false);
    }
    void TearDown() override {
        Params()->Reset();
        zeqsdk_400::KLib_SetMasterDirectory("");
        HostTest::TearDown();
    }

    static ZeqTuloUserParams* Params() { return ZeqTuloUserParams::Instance(); }
    std::string File(const std::string& name) const { return mDirectory + name; }
    std::string Log() const { return ZeqTuloReadFile(mDirectory + "zeqtulolog.txt"); }

    // Export through the driver; the host scene must come out as it went in.
    TStatus Export(ZeqTuloExport& exporter, const std::string& file) {
        const std::string before = standin::dump();
        TStatus status = exporter.Export(file.c_str());
        EXPECT_EQ(before, standin::dump()) << "the export changed the host scene";
        return status;
    }

    // A file read back through the SDK's importer into a scene of a manager of the test's own.
    struct ReadBack {
        std::unique_ptr<zeqsdk_400::KZeqSdkManager> manager{zeqsdk_400::KZeqSdkManager::CreateKZeqSdkManager()};
        zeqsdk_400::KZeqScene* scene = nullptr;
        bool ok = false;
        zeqsdk_400::KZeqNode* Node(const char* name) const {
            return scene ? scene->GetRootNode()->FindChild(name, true) : nullptr;
        }
    };
    static std::unique_ptr<ReadBack> Read(const std::string& file) {
        auto back = std::make_unique<ReadBack>();
        back->scene = back->manager->CreateKZeqScene();
        zeqsdk_400::KZeqImporter* importer = back->manager->CreateKZeqImporter();
        back->ok = importer && importer->Initialize(file.c_str()) && importer->Import(*back->scene);
        return back;
    }

    std::string mDirectory;
};

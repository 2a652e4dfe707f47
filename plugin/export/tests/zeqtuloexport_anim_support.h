// Export tests of animation, transforms, lights, cameras, bindings and shapes: a fresh host scene
// and an export driver whose nodes the test makes itself, as the geometry walk would.
#pragma once

#include "zeqtulo_test_support.h"

#include <string>

#include "content/kzeqcamera.h"
#include "content/kzeqlight.h"
#include "content/kzeqnull.h"
#include "fcurve/kfcurve.h"
#include "plugin/export/zeqtuloexport.h"
#include "plugin/zeqtulouserparams.h"
#include "plugin/zeqtuloutility.h"
#include "scene/kzeqtakenode.h"
#include "tfnanimcurve.h"
#include "tfntransform.h"

// The driver with its members open to the tests.
class TestExport : public ZeqTuloExport {
public:
    using ZeqTuloExport::mBindPoseAborted;
    using ZeqTuloExport::mBindPoseConflicts;
    using ZeqTuloExport::mCameraInfos;
    using ZeqTuloExport::mFallbackPromptedNodes;
    using ZeqTuloExport::mLog;
    using ZeqTuloExport::mRootNode;
    using ZeqTuloExport::mScene;
    using ZeqTuloExport::mSdkManager;
    using ZeqTuloExport::mTargetShapeNodes;
};

class ExportAnimTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        ZeqTuloUserParams::Instance()->Reset();
        mExport.reset(new TestExport);
    }
    void TearDown() override {
        mExport.reset();
        ZeqTuloUserParams::Instance()->Reset();
        HostTest::TearDown();
    }

    static TDagPath PathOf(const TObject& object) { return TDagPath::getAPathTo(object); }
    static TObject Transform(const char* name, const TObject& parent = TObject()) {
        return standin::createNode("transform", name, parent);
    }
    // A node for the host transform under parent (null: the root), with a null attribute unless
    // one is given.
    ZeqTuloNode* Node(const TObject& transform, ZeqTuloNode* parent = nullptr,
                      zeqsdk_400::KZeqNodeAttribute* attribute = nullptr) {
        const TDagPath path = PathOf(transform);
        ZeqTuloNode* node = mExport->mSdkManager.CreateZeqTuloNode(TFnDependencyNode(transform).name().asChar(), &path);
        node->SetNodeAttribute(attribute ? attribute : mExport->mSdkManager.CreateKZeqNull());
        (parent ? parent : mExport->mRootNode)->AddChild(node);
        return node;
    }
    // A curve on the node's plug with linear keys (seconds, value).
    static TFnAnimCurve Keys(const TObject& node, const char* plug, std::initializer_list<std::pair<double, double>> keys) {
        TFnAnimCurve curve;
        curve.create(TFnDependencyNode(node).findPlug(plug));
        for (const auto& k : keys) curve.addKey(TTime(k.first, TTime::kSeconds), k.second, 2, 2);
        return curve;
    }
    // A camera transform under parent with its shape and its record, as the geometry walk makes
    // them; a look-at given goes into the record.
    ZeqTuloNode* Camera(const char* name, const TObject& parent = TObject(), ZeqTuloNode* parentNode = nullptr,
                        const TObject& lookAt = TObject()) {
        TObject transform = Transform(name, parent);
        TObject shape = standin::createNode("camera", "", transform);
        ZeqTuloNode* node = Node(transform, parentNode, mExport->mSdkManager.CreateKZeqCamera());
        zeqsdk_400::KString key(PathOf(transform).fullPathName().asChar());
        ZeqTuloUtility::GetStringBetweenToken(key, '|', '|');
        auto* info = reinterpret_cast<KTuloExportCameraInfo*>(mExport->mCameraInfos.Get(key.Buffer()));
        if (!info) {
            info = new KTuloExportCameraInfo;
            mExport->mCameraInfos.Add(key.Buffer(), reinterpret_cast<zeqsdk_400::kReference>(info));
        }
        if (!lookAt.isNull()) info->mLookAtObject = lookAt;
        info->mCameraObject = shape;
        return node;
    }
    static const char* TakeName(ZeqTuloNode& node) { return node.GetCurrentTakeNodeName(); }
    static bool HasTake(ZeqTuloNode& node, const char* name) {
        for (int i = 0; i < node.GetTakeNodeCount(); ++i)
            if (std::string(node.GetTakeNodeName(i)) == name) return true;
        return false;
    }

    std::unique_ptr<TestExport> mExport;
};

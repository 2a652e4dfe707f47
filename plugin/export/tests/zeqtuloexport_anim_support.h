// Export tests of animation, transforms, lights, cameras, bindings and shapes: a fresh host scene
// and an export driver whose nodes the test makes itself, as the geometry walk would.
#pragma once

#include "zeqtulo_test_support.h"

#include <map>
#include <string>

#include "base/klib.h"
#include "content/kzeqcamera.h"
#include "content/kzeqlight.h"
#include "content/kzeqmesh.h"
#include "content/kzeqnull.h"
#include "content/kzeqnurb.h"
#include "fcurve/kfcurve.h"
#include "plugin/export/zeqtuloexport.h"
#include "plugin/zeqtulouserparams.h"
#include "plugin/zeqtuloutility.h"
#include "scene/kzeqtakenode.h"
#include "tfnanimcurve.h"
#include "tfnmesh.h"
#include "tfnnurbssurface.h"
#include "tfntransform.h"
#include "titdag.h"

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
        if (!mDirectory.empty()) zeqsdk_400::KLib_SetMasterDirectory(mMasterDirectory.c_str());
        ZeqTuloUserParams::Instance()->Reset();
        HostTest::TearDown();
    }

    // The export's log, written into the test's own directory; Log() gives its lines so far.
    void OpenLog() {
        mDirectory = ZeqTuloTestDirectory();
        mMasterDirectory = zeqsdk_400::KLib_GetMasterDirectory();
        zeqsdk_400::KLib_SetMasterDirectory(mDirectory.c_str());
        mExport->mLog.reset(new zeqsdk_400::ZeqLogFile("export.log", "test", false, false));
    }
    std::string Log() {
        if (!mExport->mLog) return "";
        mExport->mLog->OutputLog();
        return ZeqTuloReadFile(mDirectory + "export.log");
    }
    static int Count(const std::string& text, const std::string& part) {
        int n = 0;
        for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
        return n;
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
    // them.
    ZeqTuloNode* Camera(const char* name, const TObject& parent = TObject(), ZeqTuloNode* parentNode = nullptr) {
        TObject transform = Transform(name, parent);
        TObject shape = standin::createNode("camera", "", transform);
        ZeqTuloNode* node = Node(transform, parentNode, mExport->mSdkManager.CreateKZeqCamera());
        KTuloExportCameraInfo& info = mExport->mCameraInfos[PathOf(transform).fullPathName().asChar()];
        info.mCameraObject = shape;
        info.mCameraNode = node;
        return node;
    }
    // A node for every host transform but the default cameras, under its parent's node, with a mesh
    // (the host's points) or NURBS attribute (U count the host's V count, host U outer) for its
    // first mesh or surface child, as the geometry walk gives them. By full path name.
    std::map<std::string, ZeqTuloNode*> Mirror() {
        std::map<std::string, ZeqTuloNode*> nodes;
        for (TItDag it(TItDag::kDepthFirst, TFn::kTransform); !it.isDone(); it.next()) {
            TDagPath path;
            it.getPath(path);
            const std::string name = TFnDependencyNode(path.node()).name().asChar();
            if (name == "persp" || name == "top" || name == "front" || name == "side") continue;
            TDagPath above = path;
            above.pop(1);
            auto parent = nodes.find(above.length() ? above.fullPathName().asChar() : "");
            ZeqTuloNode* node = mExport->mSdkManager.CreateZeqTuloNode(name.c_str(), &path);
            (parent == nodes.end() ? mExport->mRootNode : parent->second)->AddChild(node);
            nodes[path.fullPathName().asChar()] = node;
            zeqsdk_400::KZeqNodeAttribute* attribute = nullptr;
            for (unsigned i = 0; i < path.childCount() && !attribute; ++i) {
                const TObject child = path.child(i);
                if (child.hasFn(TFn::kMesh)) {
                    TPointArray points;
                    TFnMesh(child).getPoints(points);
                    auto* mesh = mExport->mSdkManager.CreateKZeqMesh();
                    mesh->InitControlPoints(static_cast<int>(points.length()));
                    for (unsigned k = 0; k < points.length(); ++k)
                        mesh->GetControlPoints()[k] = zeqsdk_400::KZeqVector4(points[k].x, points[k].y, points[k].z, 1);
                    attribute = mesh;
                } else if (child.hasFn(TFn::kNurbsSurface)) {
                    TFnNurbsSurface surface(child);
                    auto* nurb = mExport->mSdkManager.CreateKZeqNurb();
                    const int u = surface.numCVsInU(), v = surface.numCVsInV();
                    nurb->InitControlPoints(v, zeqsdk_400::KZeqNurb::eOPEN, u, zeqsdk_400::KZeqNurb::eOPEN);
                    for (int a = 0; a < u; ++a)
                        for (int b = 0; b < v; ++b) {
                            TPoint p;
                            surface.getCV(a, b, p);
                            nurb->GetControlPoints()[a * v + b] = zeqsdk_400::KZeqVector4(p.x, p.y, p.z, 1);
                        }
                    attribute = nurb;
                }
                if (attribute) node->SetShapeIndex(static_cast<int>(i));
            }
            node->SetNodeAttribute(attribute ? attribute : mExport->mSdkManager.CreateKZeqNull());
        }
        return nodes;
    }
    static const char* TakeName(ZeqTuloNode& node) { return node.GetCurrentTakeNodeName(); }
    static bool HasTake(ZeqTuloNode& node, const char* name) {
        for (int i = 0; i < node.GetTakeNodeCount(); ++i)
            if (std::string(node.GetTakeNodeName(i)) == name) return true;
        return false;
    }

    std::unique_ptr<TestExport> mExport;
    std::string mDirectory, mMasterDirectory;
};

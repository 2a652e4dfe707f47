#ifndef ZEQ_PLUGIN_EXPORT_ZEQTULOEXPORT_H
#define ZEQ_PLUGIN_EXPORT_ZEQTULOEXPORT_H

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>

#include "base/karray.h"
#include "base/kset.h"
#include "io/kzeqpluginbase.h"
#include "io/zeqlogfile.h"
#include "plugin/export/klayermapping.h"
#include "plugin/export/zeqtuloexportnoderegistry.h"
#include "plugin/zeqtulonode.h"
#include "plugin/zeqtulosdkmanager.h"
#include "tdagpath.h"
#include "titdag.h"
#include "titdependencygraph.h"
#include "tmath.h"
#include "tselectionlist.h"

namespace zeqsdk_400 {
class KFCurve;
class KFCurveNode;
class KZeqGeometry;
class KZeqMesh;
class KZeqPose;
class KZeqScene;
class KZeqTakeNode;
}  // namespace zeqsdk_400

class TArgList;
class TFnAnimCurve;
class TFnDagNode;
class TFnMesh;
class TFnTransform;
class ZeqTuloExportNodeIndex;
struct ZeqTuloCurveOptions;

// A camera of the export, by its own host path: its shape and its node. Whether a look-at group
// steers it is what the host makes of the group (plugin/zeqtulolookatrig.h).
struct KTuloExportCameraInfo {
    TObject mCameraObject;
    ZeqTuloNode* mCameraNode = nullptr;
};

// The host scene export: one object per export. Export walks the host DAG into a Zeq scene of
// ZeqTuloNodes owned by mSdkManager, then writes it. The run's steps and their order are the table
// in zeqtuloexport_steps.cpp; each kind of host object or record has its own file.
class ZeqTuloExport : public zeqsdk_400::KZeqPluginBase {
public:
    ZeqTuloExport();
    ~ZeqTuloExport() override;

    // ---- The driver (zeqtuloexport.cpp)
    // Exports the open host scene to the file; failure (code 1) when a step or the write fails.
    TStatus Export(const char* fileName);
    // Writes the scene; on failure the exporter's message (why the file could
    // not be written) goes to the log and stays in mWriteFailure.
    TStatus WriteZeqFile(const char* fileName);
    // The system's error number (errno) behind a failed write, 0 when it gave none.
    int GetWriteSystemError() const { return mWriteSystemError; }
    const zeqsdk_400::KString& GetWriteFailure() const { return mWriteFailure; }
    // Makes the take current on the node, creating its take node (a copy of the default take) first.
    void SetCurrentTakeOnNode(ZeqTuloNode& node, const char* takeName);
    // Pivot set 0 of the node and its subtree to "reference".
    void DisablePivotUse(ZeqTuloNode* node);

    // ---- Name checks and warnings (zeqtuloexport_names.cpp)
    TStatus CheckDuplicateName(ZeqTuloNode* root);
    // The file path following "-f", copied into buffer (bufferSize bytes, terminated).
    TStatus parseArgs(const TArgList& args, char* buffer, std::size_t bufferSize);

    // ---- First DAG walk and its builders (zeqtuloexport_dagwalk.cpp, _nodes.cpp, _lightcamera.cpp)
    TStatus BuildGeometry(TItDag::TraversalType traversal, TFn::Type filter);
    bool IsExportable(TDagPath& path, TFnDagNode& node);
    ZeqTuloNode* BuildNullGeometry(TDagPath& path, TFnDagNode& node);
    ZeqTuloNode* BuildJointGeometry(TDagPath& path, TFnDagNode& node);
    ZeqTuloNode* BuildMeshGeometry(TDagPath& path, TFnDagNode& node);
    ZeqTuloNode* BuildClusterGeometry(TDagPath& path, TFnDagNode& node);
    ZeqTuloNode* BuildLightGeometry(TDagPath& path, TFnDagNode& node);
    ZeqTuloNode* BuildCameraGeometry(TDagPath& path, TFnDagNode& node);
    ZeqTuloNode* BuildLookAtGeometry(TDagPath& path, TFnDagNode& node);

    // ---- Meshes (zeqtuloexport_mesh.cpp, _meshlayers.cpp, _vertexcolors.cpp, _split.cpp)
    void WriteNodeMesh(TFnMesh& finalMesh, ZeqTuloNode* node, TObject& baseMesh, TObject& inputData);
    bool SetVertexColors(zeqsdk_400::KZeqMesh* mesh, TFnMesh& hostMesh);
    void RemoveTargetShapeGeometry();
    void SplitMeshOnNormalPerPolyVertex(ZeqTuloNode* node);

    // ---- NURBS surfaces (zeqtuloexport_nurbs.cpp)
    ZeqTuloNode* ExportGeometryNurb(TDagPath& path, TFnDagNode& node);

    // ---- Second DAG walk (zeqtuloexport_hierarchy.cpp)
    void BuildHierarchy(TItDag::TraversalType traversal, TFn::Type filter);
    void SetTheParent(TFnDagNode& child, ZeqTuloNode& node);
    void WriteNodeJoint(ZeqTuloNode* node);

    // ---- Visibility (zeqtuloexport_visibility.cpp)
    bool GetNodeVisibility(TFnDagNode& node);
    bool ExportAnimatedVisibility(ZeqTuloNode& node, zeqsdk_400::KFCurve& curve);

    // ---- Layer mapping, materials, textures (zeqtuloexport_layers.cpp, _materials.cpp, _textures.cpp)
    void FillLayerData(KLayerMapping* mapping, zeqsdk_400::KZeqGeometry* geometry, bool withTextures);
    TObject FindShadingGroup(TDagPath* path);
    TObject FindShader(TObject& shadingGroup);
    TObject FindPlug(TObject& node, const char* plugName);
    int DefineMaterial(const char* shaderName, TObject& shader, zeqsdk_400::KZeqGeometry* geometry);
    void SetNodeGeometryMaterial(ZeqTuloNode* node);
    int GetLastChildOfThisType(TDagPath* path, unsigned int type);
    void GoInDagGraph(TDagPath* path);
    bool DefineTextures(TObject& shader, ZeqTuloNode* node, KLayerMapping& mapping);
    bool SetLayeredTexture(ZeqTuloNode* node, TObject& layeredTexture, KLayerMapping& mapping);
    bool SetTexture(ZeqTuloNode* node, TObject& fileTexture, KLayerMapping& mapping, int connectionIndex,
                    int layerIndex, float alpha, int alphaSource);

    // ---- Animation curves (zeqtuloexport_curves.cpp)
    ZeqTuloCurveOptions CurveOptions() const;
    void SetFCurve(TFnAnimCurve& hostCurve, zeqsdk_400::KFCurve& curve, bool force, double factor);
    void SetFCurve(const TFnTransform& transform, const char* plugName, zeqsdk_400::KFCurveNode& curveNode,
                   const char* channel, const char* axis, bool force, double factor);
    void ConvertTuloCurve(const TFnTransform& transform, zeqsdk_400::KFCurveNode& curveNode, bool force);
    void SetRotationFCurve(const TFnTransform& transform, zeqsdk_400::KFCurveNode& rotationNode,
                           TEulerRotation::RotationOrder order);

    // ---- User properties (zeqtuloexport_userproperties.cpp)
    void AddUserProperties(ZeqTuloNode* node);
    void AddUserProperties(TFnTransform& transform, ZeqTuloNode* node);
    TStatus ExportUserProperties(ZeqTuloNode& node, TFnTransform& transform);

    // ---- Transforms, pivots, limits (zeqtuloexport_transforms.cpp, _pivots.cpp, _limits.cpp)
    TStatus ExportTransform(ZeqTuloNode& node);
    void ExportDefaultTransform(TFnTransform transform, zeqsdk_400::KZeqTakeNode& takeNode);
    void AdjustTransform(ZeqTuloNode& node, TFnTransform& transform, zeqsdk_400::KFCurveNode& curveNode);
    void ExportPivots(ZeqTuloNode& node, zeqsdk_400::KZeqNode::EPivotSet set);
    void ExportLimits(ZeqTuloNode& node);
    void ExportRotationOrder(ZeqTuloNode& node);

    // ---- Lights and cameras (zeqtuloexport_lights.cpp, _camera.cpp)
    bool ExportLights(TDagPath& path, ZeqTuloNode& node);
    void ExportLightAttributesDefaults(TDagPath& path, ZeqTuloNode& node);
    bool ExportLightAttributesCurves(ZeqTuloNode& node);
    bool ExportCamera(ZeqTuloNode& node);
    void ExportCameraAttributesDefaults(ZeqTuloNode& node);
    void ExportCameraCurvesDefaults(ZeqTuloNode& node);
    bool ExportCameraCurves(ZeqTuloNode& node);

    // ---- Global transforms, node lookup (zeqtuloexport_globaltransforms.cpp, _nodelookup.cpp)
    void ExtractGlobalTransforms(ZeqTuloNode* node);
    ZeqTuloNode* GetNodeWithThisChildren(ZeqTuloNode* node, TDagPath* path);
    ZeqTuloNode* GetNodeWithThisChildren(ZeqTuloNode* node, const char* name);

    // ---- Bindings and shapes (zeqtuloexport_smoothbinding.cpp, _rigidbinding.cpp, _shapes.cpp)
    void ExportSmoothBinding();
    void ExportSmoothBinding(TObject& skinCluster, int clusterNumber, int clusterCount,
                             zeqsdk_400::KZeqPose* bindPose);
    void PromptForFallbackMatrix(TDagPath* path, bool& aborted, zeqsdk_400::ZeqLogFile* log);
    void ExportRigidBinding(ZeqTuloNode* node);
    void ExportRigidBinding(TDagPath* path, int childIndex, ZeqTuloNode* node);
    void ExportShape(ZeqTuloNode* node);
    void SetShapeOnModels(TDagPath* path, ZeqTuloNode* node);
    void GoInDepencyGraph(TObject* object, TItDependencyGraph::Level level);

protected:
    // One step of Export, in the table's order (zeqtuloexport_steps.cpp).
    struct Step {
        const char* mName;
        const char* mSection;  // progress section shown before the step; null for none
        bool (ZeqTuloExport::*mRun)(const char* fileName);
        bool mEndsRunOnFailure;  // a false result fails the export ("File Export Failed.")
    };
    static const Step smSteps[];
    static const int smStepCount;

    // The steps' bodies (zeqtuloexport_steps.cpp); false only where the step can fail the run.
    bool StepSelection(const char* fileName);
    bool StepOpenLog(const char* fileName);
    bool StepCharacterPreSave(const char* fileName);
    bool StepJointDisplayScale(const char* fileName);
    bool StepImageConverters(const char* fileName);
    bool StepGeometry(const char* fileName);
    bool StepHierarchy(const char* fileName);
    bool StepUserProperties(const char* fileName);
    bool StepResolveNames(const char* fileName);
    bool StepNamespaceWarnings(const char* fileName);
    bool StepDuplicateNames(const char* fileName);
    bool StepTransforms(const char* fileName);
    bool StepGlobalTransforms(const char* fileName);
    bool StepMasterScale(const char* fileName);
    bool StepRigidBinding(const char* fileName);
    bool StepPivotsToNulls(const char* fileName);
    bool StepSmoothBinding(const char* fileName);
    bool StepShapes(const char* fileName);
    bool StepCharacterPostSave(const char* fileName);
    bool StepRemoveTargets(const char* fileName);
    bool StepHardEdges(const char* fileName);
    bool StepTakeInformation(const char* fileName);
    bool StepCurrentTake(const char* fileName);
    bool StepWrite(const char* fileName);
    // The kinds of exportable transform, tested in this order on the path (a transform's path also
    // answers for the shape below it); the first that holds decides (zeqtuloexport_dagwalk.cpp).
    struct NodeKindRow {
        int mType;
        int mOtherType;  // a second code of the same kind; 0 for none
        ZeqTuloNode* (ZeqTuloExport::*mBuilder)(TDagPath&, TFnDagNode&);  // null: no node
        bool mJoint;     // the node inherits as a joint does
    };
    static const NodeKindRow smNodeKinds[];
    static const int smNodeKindCount;
    // One of the host's own cameras gets no node.
    ZeqTuloNode* BuildUnreservedCamera(TDagPath& path, TFnDagNode& node);
    // One of the host's own cameras: a camera directly under the world named as the host names
    // them (a camera of such a name deeper down is the user's, and is exported as any other).
    static bool IsHostViewCamera(const TDagPath& path);
    // A plain transform by its tag: a null, a skeleton, or nothing.
    ZeqTuloNode* BuildTaggedTransform(TDagPath& path, TFnDagNode& node);
    // The mesh writer's last step: materials, textures and UV sets of the mesh's layers for the
    // shape instance (zeqtuloexport_meshlayers.cpp).
    void WriteMeshLayers(TFnMesh& finalMesh, ZeqTuloNode* node, zeqsdk_400::KZeqMesh* mesh, unsigned instance);
    // The visibility of a mesh or NURBS node: a skinned shape's (read through its input) is its
    // transform's, else the shape's and its transform's (zeqtuloexport_visibility.cpp).
    bool SkinnedVisibility(TFnDagNode& transform, TFnDagNode& shape, const TObject& shapeObject,
                           const TObject& inputShape);
    // Puts the top nodes under a scaled "Zeq_Root" and scales Zeq roots (zeqtuloexport.cpp).
    void ApplyMasterScale(double scale);
    // Enters the node in mNodesByDagPath under the host path it stands for.
    void RegisterNode(ZeqTuloNode* node, const TDagPath& path);
    // Visits start and its subtree, a node before its subtree and children from the last to the
    // first, without recursion; a walk from mRootNode holds the node index from it unless one is
    // there already (zeqtuloexport_nodelookup.cpp).
    void VisitWithNodeIndex(ZeqTuloNode* start, const std::function<void(ZeqTuloNode*)>& visit);

    ZeqTuloSdkManager mSdkManager;
    ZeqTuloNode* mRootNode = nullptr;
    zeqsdk_400::KZeqScene* mScene = nullptr;
    ZeqTuloExportNodeRegistry mNodesByDagPath;   // host DAG path -> ZeqTuloNode*
    std::unordered_map<std::string, KTuloExportCameraInfo> mCameraInfos;  // the camera's full host path -> record
    zeqsdk_400::KCharPtrSet mBindPoseConflicts;  // smooth binding: names in the bind-pose conflict warning
    bool mWrapWarningShown = false;
    bool mBindPoseAborted = false;               // smooth binding: cleared when it starts
    zeqsdk_400::KSet mFallbackPromptedNodes;     // smooth binding: nodes already handled for the bind pose
    std::unique_ptr<TSelectionList> mSelection;  // the active selection while only it is exported
    std::unique_ptr<zeqsdk_400::ZeqLogFile> mLog;
    zeqsdk_400::KString mWriteFailure;
    zeqsdk_400::KArrayTemplate<ZeqTuloNode*> mTargetShapeNodes;
    double mJointDisplayScale = 100.0;
    int mWriteSystemError = 0;
    // Node look-ups of the binding and shape steps from mRootNode, made at the start of each
    // (zeqtuloexportnodeindex.cpp); null outside them.
    std::shared_ptr<ZeqTuloExportNodeIndex> mNodeIndex;
};

// The shape under the transform at path (child number index, or the path's own node when it is one
// of several children) and, with the bind-pose option on, the skin cluster's input geometry in
// place of the shape; false when the path has nothing to export (zeqtuloexport_dagwalk.cpp).
bool FindObject(zeqsdk_400::ZeqLogFile* log, TDagPath& path, TFnDagNode& node, TStatus& status, int index,
                TObject& shape, TObject& inputShape, TObject& inputGeometry, TString& restoreCommand,
                bool& wrapWarningShown);

// The node's geometry attribute: its mesh, NURBS or patch; null for any other attribute or none
// (zeqtuloexport_nodelookup.cpp).
zeqsdk_400::KZeqGeometry* GeometryAttribute(zeqsdk_400::KZeqNode* node);

// A shape builder's read of the shape under path through FindObject (zeqtuloexport_dagwalk.cpp).
// While it lasts, a blend shape upstream of the shape has its envelope at 0; when it ends, however
// the builder ends, the command undoing what FindObject changed runs and the envelope comes back.
class ShapeRead {
public:
    ShapeRead(zeqsdk_400::ZeqLogFile* log, TDagPath& path, TFnDagNode& node, bool& wrapWarningShown);
    ~ShapeRead();
    ShapeRead(const ShapeRead&) = delete;
    ShapeRead& operator=(const ShapeRead&) = delete;

    bool mFound = false;  // FindObject's answer
    TStatus mStatus;
    TObject mShape, mInputShape, mInputGeometry;

private:
    TObject mDeformer;
    float mEnvelope = 1.0f;
    bool mEnvelopeChanged = false;
    TString mRestoreCommand;
};

// Name warnings of an export (zeqtuloexport_names.cpp).
void WarnForNamespacesInMaterialsAndTextures(zeqsdk_400::ZeqLogFile* log, ZeqTuloSdkManager& manager);
void WarnForNamespacesInFirstChildren(zeqsdk_400::ZeqLogFile* log, ZeqTuloSdkManager& manager, ZeqTuloNode* root);
// The renderer's own dynamic attributes: "mi" followed by an upper-case letter.
bool IsRendererDynamicAttribute(TObject& attribute);

#endif

#ifndef ZEQ_PLUGIN_IMPORT_ZEQTULOIMPORT_H
#define ZEQ_PLUGIN_IMPORT_ZEQTULOIMPORT_H

#include <array>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/karray.h"
#include "base/kgemath.h"
#include "base/kzeqmatrix.h"
#include "base/kzeqvector.h"
#include "base/kset.h"
#include "base/kstring.h"
#include "base/ktime.h"
#include "io/kzeqpluginbase.h"
#include "plugin/zeqtulocompose.h"
#include "plugin/zeqtulolookatrig.h"
#include "plugin/zeqtulonode.h"
#include "plugin/zeqtulosdkmanager.h"
#include "tfnanimcurve.h"
#include "tmath.h"
#include "tobject.h"
#include "tstatus.h"

namespace zeqsdk_400 {
class KFCurve;
class KZeqImporter;
class KZeqMesh;
class KZeqNurb;
class KZeqScene;
class KZeqUserProperty;
class ZeqLogFile;
}  // namespace zeqsdk_400

class TArgList;
class TDoubleArray;
class TFnMesh;
class TFnTransform;
class TPlug;
class TPointArray;
class TString;
class ZeqTuloMergeNodeMatcher;

// One bind-pose entry matched to a scene node: the host transform it had before the bind pose was
// applied, and the pose's matrix.
struct TempPoseData {
    ZeqTuloNode* mNode = nullptr;
    zeqsdk_400::KZeqMatrix mSavedMatrix;
    zeqsdk_400::KZeqMatrix mBindMatrix;
};

// How a camera's look-at and up-vector targets reach the host, as the node set decides it: a bare
// target becomes the aim (or up) node the host's camera command makes, another node beside the
// camera joins the camera's look-at group as itself, and any other target is left out.
struct ZeqTuloCameraTargets {
    enum EHow { eLeftOut, eCommandNode, eOwnNode };
    zeqsdk_400::KZeqNode* mAim = nullptr;
    EHow mAimHow = eLeftOut;
    zeqsdk_400::KZeqNode* mUp = nullptr;
    EHow mUpHow = eLeftOut;
    // The look-at group of the host scene the camera's rig comes into (a merge: one the host had,
    // holding nodes of this rig in its order, and maybe the user's); null when the camera command
    // makes the group.
    TObject mHostGroup;
    // Whether the host aims the camera once the import is done: the pivots (the camera's axis
    // turn) go by this. Decided with the targets, and again once the merge has bound the nodes.
    bool mAimed = false;

    bool AimTaken() const { return mAimed; }

    // The aim and the up-vector target alike: the node, how it comes in and its name in the log.
    struct Role {
        zeqsdk_400::KZeqNode*& mNode;
        EHow& mHow;
        const char* mName;
        bool IsUp(const ZeqTuloCameraTargets& targets) const { return &mNode == &targets.mUp; }
        // It reaches the host no more.
        void LeaveOut() const {
            mNode = nullptr;
            mHow = eLeftOut;
        }
    };
    std::array<Role, 2> Roles() { return {{{mAim, mAimHow, "aim"}, {mUp, mUpHow, "up-vector target"}}}; }
};

// A material already turned into a host shader during the running import.
struct ZeqTuloImportedMaterial {
    zeqsdk_400::KString mName;  // without its namespace prefix
    TObject mShader;
    TObject mShadingGroup;  // the set whose "surfaceShader" the shader feeds
    bool mTextured = false;  // its "color" is fed by the file textures of the import
};

// The import driver: reads one Zeq file into the host scene. The import and take-query commands
// hold one in CommandImportBase::smImporter; the import pass (Import) runs its steps in the order of
// kImportSteps and calls the builders below, one source file per kind of host object.
class ZeqTuloImport : public zeqsdk_400::KZeqPluginImportBase {
public:
    ZeqTuloImport();
    ~ZeqTuloImport() override;
    ZeqTuloImport(const ZeqTuloImport&) = delete;
    ZeqTuloImport& operator=(const ZeqTuloImport&) = delete;

    // ---- World transform and roots (zeqtuloimport_world.cpp)
    // No alternative root word is known to this host: always false.
    bool IsAlternativeZeqRootNode(zeqsdk_400::KZeqNode* node) override;
    // The base's answer; false for a node bound to a host node that existed before the import.
    bool NeedZeqRoot(zeqsdk_400::KZeqNode* node) override;
    // Uniform scale kImportMasterScale, then the quarter turn taking +Y to +Z when the host's up
    // axis is "z".
    void ComputeWorldTransform(zeqsdk_400::KgeAMatrix& matrix) override;
    // The base's behaviour; with identity false, also keeps a copy in mWorldCorrection.
    void CustomApplyWorldTransform(zeqsdk_400::KZeqNode* node, zeqsdk_400::KgeAMatrix& matrix, bool identity) override;
    // Applies the kept correction to the children that NeedZeqRoot accepts, curves of the current
    // take included; nothing without a kept correction.
    void PropagateWorldTransformToChildrenOf(zeqsdk_400::KZeqNode* node);

    // ---- The driver (zeqtuloimport.cpp)
    // Always success: a file that cannot be opened shows through the importer.
    TStatus OpenProject(const TString& fileName);
    TStatus CloseProject();
    void SetTakeName(const char* name);
    // The import pass (zeqtuloimport_pass.cpp): failure only when the file cannot be read.
    TStatus Import();
    // Copies the argument after "-f" into buffer (at most size - 1 characters, zero-terminated).
    static TStatus parseArgs(const TArgList& args, char* buffer, std::size_t size);

    zeqsdk_400::KZeqImporter* GetImporter() const { return mImporter; }
    // The importer's last error as the plug-in says it: a file refused for its password is said to
    // be protected, since no command takes a password.
    static const char* ReadErrorText(const zeqsdk_400::KZeqImporter& importer);
    const zeqsdk_400::KString& GetTakeName() const { return mTakeName; }
    const zeqsdk_400::KCharPtrSet& GetQuorbelNodeArray() const { return mQuorbelNodeArray; }
    bool IsOldVersionFile() const { return mIsOldVersion; }
    int GetLockedAttributePolicy() const { return mLockedAttributePolicy; }
    zeqsdk_400::KTime GetCurrentTime() const { return mCurrentTime; }
    ZeqTuloSdkManager& GetSdkManager() { return mSdkManager; }

    // A line for the log of the running pass (none outside the pass), and a one-button dialog
    // shown only with kImportShowUI (zeqtuloimport.cpp).
    void LogLine(const char* line);
    void ShowDialog(const char* title, const char* message);
    // Whether the node of the file comes in: every node does, but in an exclusive merge, which
    // makes none the host lacks (only once the merge has bound the file's nodes to the host's).
    bool ComesIn(const zeqsdk_400::KZeqNode& node) const;
    // A log line about a node of the file, said only when the node comes in. Until the merge has
    // bound the file's nodes (SayHeldNodeLines) it waits, as does `say`, a line whose words depend
    // on which nodes come in.
    void NodeLine(const zeqsdk_400::KZeqNode& node, const std::string& line);
    void SayOnceBound(std::function<void()> say);
    void SayHeldNodeLines();
    // Each line of the importer's message after a read (a model set aside, a surface left out):
    // a host warning and a log line. With the scene read, also marks the nodes whose surface the
    // reader left out, so that their geometry adds no second warning.
    void ShowReaderMessage(bool read);

    // ---- Scene preparation (zeqtuloimport_prepare.cpp)
    // The set of nodes the geometry pass makes, less the host's own cameras under the root (their
    // children move to the root) and the bare targets the camera command makes; also decides each
    // camera's targets, with a log line for each target the host cannot take.
    void FillQuorbelNodeArray(zeqsdk_400::KZeqNode* root);
    // Leaves out each camera under the root named as one of the host's own, its children moved to
    // the root keeping their place in the world; then renames every other node under the root so
    // named (the first free number after the name). A log line for each, and for what of a
    // child's place cannot be kept.
    void LeaveOutHostCameras(zeqsdk_400::KZeqNode& root);
    void AddQuorbelNodeArray(zeqsdk_400::KZeqNode* node);
    // The camera's targets as the node set decided them; null for a node it has no record of.
    const ZeqTuloCameraTargets* GetCameraTargets(const zeqsdk_400::KZeqNode* camera) const;
    // Whether the camera's look-at group in the host stands for this camera group of the file.
    bool IsHostCameraGroup(const zeqsdk_400::KZeqNode* node) const { return mCameraGroups.count(node) > 0; }
    // The group of the file that holds the camera and the targets the host takes into its look-at
    // group (its rig, FindLookAtRig), and maybe the user's nodes; null when there is none (the
    // host then makes a group of its own).
    zeqsdk_400::KZeqNode* FileLookAtGroup(const zeqsdk_400::KZeqNode* camera) const;
    // Once the merge has bound the file's nodes to the host's: each camera's rig against the host
    // scene. A rig whose look-at group the host has already (the host taking its nodes there for
    // the rig's, HoldsRig) is completed there; a target bound to a host node elsewhere, or of a
    // camera bound outside a look-at group, stays as the host has it and is left out, with a log
    // line; a bare target left out so comes in as a node of its own.
    void SettleLookAtRigs();

    // ---- Preparation services (zeqtuloimport_services.cpp)
    TStatus CheckBadScale(ZeqTuloNode& root);
    void EnablePivotUse(ZeqTuloNode* node);
    void RemoveRotationPivot(zeqsdk_400::KZeqNode* node);
    void RemoveRotationPivotOnNotPresentNode(ZeqTuloNode* node);
    void ValidatePreAndPostJoints(zeqsdk_400::KZeqNode* node);
    void SetTuloPivotsRecursive(zeqsdk_400::KZeqNode* node);
    void MergeMeshOnNormalPerPolyVertex(zeqsdk_400::KZeqNode* node);

    // ---- Geometry pass (zeqtuloimport_geometry.cpp)
    TStatus ImportGeometry();
    // The node's host node, after those of its ancestors that have none yet.
    TStatus ImportGeometry(ZeqTuloNode* node);
    // ---- Nulls, skeletons and joints (zeqtuloimport_null.cpp)
    void CreateSkeletonGeometry(ZeqTuloNode& node, int type);
    TObject CreateNullGeometry(ZeqTuloNode* node);
    // Renames the locator of a null it made that carries a mark of a look-at rig (NullMark) the
    // null does not play in the file's rigs.
    void KeepRigMarksTrue(const ZeqTuloNode& node, const TObject& locator);
    void CreateJointGeometry(ZeqTuloNode* node);
    // ---- NURBS surfaces (zeqtuloimport_nurbs.cpp)
    static void GetNURBData(zeqsdk_400::KZeqNurb* nurb, zeqsdk_400::KZeqVector4* points, TPointArray& cvs,
                            TDoubleArray& knotsA, TDoubleArray& knotsB, int& degreeA, int& degreeB, int& formA,
                            int& formB, TStatus* status, bool* openU, bool* openV);
    void CreateNurbGeometry(ZeqTuloNode* node);
    // ---- Meshes (zeqtuloimport_mesh.cpp)
    void CreateMeshGeometry(ZeqTuloNode* node);
    void SetVertexColors(zeqsdk_400::KZeqMesh* mesh, TFnMesh& hostMesh);
    // ---- Lights and cameras (zeqtuloimport_light.cpp, zeqtuloimport_camera.cpp)
    void CreateLightGeometry(ZeqTuloNode& node);
    void CreateCameraGeometry(ZeqTuloNode& node);
    // Completes the camera's rig in the host's look-at group it comes into: makes its bare targets
    // that the host lacks and puts camera, aim and up node there in this order.
    void JoinLookAtGroup(ZeqTuloNode& camera);
    // Puts the nodes of each look-at group the import made for a camera group of the file (the
    // rig's and the user's) in the file group's order.
    void ArrangeLookAtGroups();
    // Takes the scene's root out of each camera's and light's aim and up-vector targets: a host
    // warning and a log line per node and property when no target is left, a log line otherwise.
    void DropRootAsTarget();
    // ---- User-property attributes (zeqtuloimport_userpropertyattributes.cpp)
    void AddUserProperty(zeqsdk_400::KZeqUserProperty* property, TFnTransform& transform, ZeqTuloNode* node);
    void AddUserProperties(TFnTransform& transform, ZeqTuloNode* node);

    // ---- Materials and skin clusters (zeqtuloimport_materials.cpp, zeqtuloimport_skin.cpp)
    // Shaders (one Phong per material, made once in the import), shading groups, file textures
    // with their placements, layered textures and UV-set links of the nodes of a subtree that
    // this import created.
    void BuildMaterialInformation(ZeqTuloNode* node);
    // One skin cluster per geometry of the subtree that this import created, from its skin links
    // (link mode 0, no cluster hint) whose nodes are joints; the others are logged.
    void BuildClusterInformation(ZeqTuloNode* node);

    // ---- Animation pass (zeqtuloimport_animation.cpp)
    TStatus ImportAnimation(ZeqTuloNode& node);
    // ---- Transform animation (zeqtuloimport_transformanimation.cpp)
    void ImportTransformAnimation(ZeqTuloNode& node);
    void ImportTransformAnimation(TFnTransform& transform, ZeqTuloNode& node);
    void SetDefaultGeometry(ZeqTuloNode& node, TFnTransform& transform);
    void SetTransformVector(double* values, zeqsdk_400::KFCurve** curves) const;
    void ImportRotationOrder(TFnTransform& transform, ZeqTuloNode& node);
    // ---- Visibility (zeqtuloimport_visibility.cpp)
    TStatus ImportAnimationVisibility(ZeqTuloNode& node);
    // ---- Pivots and limits (zeqtuloimport_pivots.cpp, zeqtuloimport_limits.cpp)
    void ImportPivots(TFnTransform& transform, ZeqTuloNode& node);
    void ImportLimits(TFnTransform& transform, ZeqTuloNode& node);
    // ---- Light and camera animation (zeqtuloimport_lightcameraanimation.cpp)
    TStatus ImportAnimationLight(ZeqTuloNode& node);
    TStatus ImportAnimationCamera(ZeqTuloNode& node);
    // ---- User-property values (zeqtuloimport_userpropertyvalues.cpp)
    TStatus ImportUserProperties(ZeqTuloNode& node);
    // ---- Blend shapes (zeqtuloimport_blendshape.cpp, zeqtuloimport_blendshapedialog.cpp)
    void ImportShapeAnimation(ZeqTuloNode& node);
    void DisplayBlendShapeImportWarningDialog();
    // ---- Curve transfer (zeqtuloimport_curvetransfer.cpp, zeqtuloimport_rotationcurve.cpp)
    TStatus SetTuloCurve(TFnTransform& transform, const char* attribute, zeqsdk_400::KFCurve& curve,
                         TFnAnimCurve::AnimCurveType type, double valueDivisor, double slopeDivisor, TStatus* status);
    TStatus SetTuloCurve(TPlug& plug, zeqsdk_400::KFCurve& curve, TFnAnimCurve::AnimCurveType type,
                         double valueDivisor, double slopeDivisor);
    TStatus SetTuloCurve(TFnAnimCurve& hostCurve, zeqsdk_400::KFCurve& curve, double valueDivisor,
                         double slopeDivisor, TStatus* attachStatus);
    int GetInfinityType(int extrapolation) const;
    TStatus SetRotationTuloCurve(TFnTransform& transform, zeqsdk_400::KFCurve** curves,
                                 TEulerRotation::RotationOrder order);

    // ---- The pass as a table of steps (zeqtuloimport_pass.cpp)
    enum EStepResult { eStepNext = 0, eStepFail = 1 };
    struct ImportStep {
        const char* mName;
        EStepResult (ZeqTuloImport::*mRun)();
    };
    static const ImportStep kImportSteps[];
    static const int kImportStepCount;

protected:
    // The steps, in the order of kImportSteps.
    EStepResult StepOpenLog();
    EStepResult StepRegisterImageConverters();
    EStepResult StepCreateScene();
    EStepResult StepCharacterPreLoad();
    EStepResult StepReadFile();
    EStepResult StepNewHostScene();
    EStepResult StepOldVersionAndPolicy();
    EStepResult StepPreprocess();
    EStepResult StepCurrentTake();
    EStepResult StepResetProgress();
    EStepResult StepOldVersionPivots();
    EStepResult StepResolveNames();
    EStepResult StepHardEdges();
    EStepResult StepGeometrySection();
    EStepResult StepFillNodeArray();
    EStepResult StepMatchHostNodes();
    EStepResult StepCheckBadScale();
    EStepResult StepPropagateWorldTransform();
    EStepResult StepCurrentTime();
    EStepResult StepConvertPivots();
    EStepResult StepDeformNullsAsJoints();
    EStepResult StepGeometry();
    EStepResult StepMaterials();
    EStepResult StepAnimation();
    EStepResult StepPlaybackRange();
    EStepResult StepApplyBindPoses();
    EStepResult StepSkinClusters();
    EStepResult StepRestoreBindPoses();
    EStepResult StepCharacterPostLoad();
    EStepResult StepBlendShapeWarning();
    EStepResult StepDestroyScene();  // also the first step, for a scene an earlier pass left
    EStepResult StepCloseLog();
    EStepResult StepDone();

    // Bind poses (zeqtuloimport_bindpose.cpp): the records of the running pass freed.
    void FreeBindPoseLists();
    // The host node of the node alone, its parent's made already (zeqtuloimport_geometry.cpp).
    void ImportOwnGeometry(ZeqTuloNode* node);

    // State of the driver, in the order the import pass relies on.
    ZeqTuloSdkManager mSdkManager;
    zeqsdk_400::KZeqImporter* mImporter = nullptr;
    ZeqTuloNode* mRootNode = nullptr;
    zeqsdk_400::KZeqScene* mScene = nullptr;
    zeqsdk_400::KCharPtrSet mQuorbelNodeArray;
    std::unique_ptr<zeqsdk_400::KZeqXMatrix> mWorldCorrection;
    zeqsdk_400::ZeqLogFile* mLogFile = nullptr;
    zeqsdk_400::KString mTakeName;
    zeqsdk_400::KTime mCurrentTime;
    bool mIsOldVersion = false;
    bool mAttributeEditorChecked = false;
    int mLockedAttributePolicy = 1;
    zeqsdk_400::KArrayTemplate<ZeqTuloImportedMaterial*> mImportedMaterials;
    // Materials and texture nodes of the import by name: the position in mImportedMaterials, the
    // host file texture of a Zeq texture.
    std::unordered_map<std::string, int> mImportedMaterialIndex;
    std::unordered_map<std::string, TObject> mImportedTextures;
    zeqsdk_400::KArrayTemplate<ZeqTuloNode*> mBlendShapeFailures;
    // Each camera's targets, and the camera groups of the file whose camera's look-at group takes
    // their place (FillQuorbelNodeArray).
    std::unordered_map<const zeqsdk_400::KZeqNode*, ZeqTuloCameraTargets> mCameraTargets;
    std::unordered_set<const zeqsdk_400::KZeqNode*> mCameraGroups;
    // The cameras' targets as those cameras' targets and their parts (1 aim, 2 up node), made from
    // mCameraTargets when first asked after the rigs are settled (KeepRigMarksTrue).
    std::unordered_map<const zeqsdk_400::KZeqNode*, std::pair<const ZeqTuloCameraTargets*, int>> mTargetParts;
    bool mTargetPartsMade = false;
    // What NodeLine and SayOnceBound hold until the file's nodes are bound (from the start of the
    // pass to SayHeldNodeLines).
    std::vector<std::function<void()>> mHeldLines;
    bool mNodesBound = true;

    // The bind-pose lists of the running pass (steps 27 to 29), one per bind pose.
    zeqsdk_400::KArrayTemplate<zeqsdk_400::KArrayTemplate<TempPoseData*>*> mBindPoseLists;
    // The status the pass returns (failure after a failed read).
    TStatus mPassStatus;

    friend class ZeqTuloMergeNodeMatcher;
};

// ---- The cameras' rigs in the host's look-at groups (zeqtuloimport_prepare.cpp)
// The mark (plugin/zeqtulolookatrig.h) the host node of a node of the camera's rig carries (part
// 0 camera, 1 aim, 2 up node): that of the host node it has, else of the one the import makes for
// it: a camera; a bare target as the camera command makes it, its locator named for its part (an
// aim's not where the rig's up node carries no up node's locator: the host takes such a rig by
// its nodes' places); any other target as the import makes that node.
ZeqTuloRigMark RigMark(const ZeqTuloCameraTargets& targets, int part, const zeqsdk_400::KZeqNode* node);
// The mark the locator of a null the import makes carries: the one its name gives ("<name>Shape"),
// where that is the mark of the part it plays in the rig of the camera whose targets are given
// (part 1 aim, 2 up node), an aim's only as RigMark gives one to the command's node; else none.
ZeqTuloRigMark NullMark(const zeqsdk_400::KZeqNode& node, const ZeqTuloCameraTargets* targets, int part);
// What the host makes of a look-at group once the import has put the camera's rig in it
// (JoinLookAtGroup; rig: the camera, aim and up node, null where there is none): a rig the group
// holds whole stays as it stands; else the nodes it lacks are made there and the camera, aim and
// up node stand first, the group's other nodes after them. at: where each of the rig's nodes then
// stands, -1 for one the host has outside the group (it stays there) or none.
ZeqTuloRigPlaces CompletedRigPlaces(const TObject& group, ZeqTuloNode* const (&rig)[3],
                                    const ZeqTuloCameraTargets& targets, int (&at)[3]);

// ---- Scene preparation (zeqtuloimport_prepare.cpp): free functions of the import.
bool IsOldVersion(zeqsdk_400::KZeqNode* root, zeqsdk_400::KZeqImporter* importer);
bool IsOldVersion(zeqsdk_400::KZeqNode* node);
void CountNbZeqLinks(zeqsdk_400::KZeqNode* node, int& count);
bool IsJoint(zeqsdk_400::KZeqNode* node);
// A target that only marks where a camera looks, as the export writes an aim or up node: a null
// (or a node without attribute outside a skeleton) without children, animated in the current take
// in its position at most. links: the nodes that skins are bound to, which are more than that.
bool IsBareTarget(zeqsdk_400::KZeqNode* node, const std::unordered_set<const zeqsdk_400::KZeqNode*>& links = {});
void ReplaceNullsUsedAsLinks(zeqsdk_400::KZeqNode* node, ZeqTuloSdkManager& manager);
void ExtractZeqNodes(zeqsdk_400::KZeqNode* node, zeqsdk_400::KArrayTemplate<zeqsdk_400::KZeqNode*>& nodes);
// One record per node of the tree, in the tree's depth-first order; other records leave the list
// (the caller still owns them: they are returned in dropped when given).
void ReOrder(zeqsdk_400::KArrayTemplate<TempPoseData*>& records, zeqsdk_400::KZeqNode* root,
             zeqsdk_400::KArrayTemplate<TempPoseData*>* dropped = nullptr);

// ---- Walks of the import's steps
// Visits the node and its subtree in depth-first pre-order, children first to last, without
// recursion: hierarchies can be as deep as the file makes them. A visit answering false leaves
// that node's subtree out; a null node or child is passed by.
template <class Node, class Visit>
void VisitDepthFirst(Node* node, Visit visit) {
    if (!node) return;
    std::vector<Node*> pending{node};
    while (!pending.empty()) {
        Node* current = pending.back();
        pending.pop_back();
        if constexpr (std::is_same_v<decltype(visit(*current)), bool>) {
            if (!visit(*current)) continue;
        } else {
            visit(*current);
        }
        for (int i = current->GetChildCount() - 1; i >= 0; --i)
            if (zeqsdk_400::KZeqNode* child = current->GetChild(i)) pending.push_back(static_cast<Node*>(child));
    }
}

// ---- Host nodes of the import's nodes (zeqtuloimport_null.cpp)
// The host node of the node's parent, or the null object (the world) when it has none.
TObject ParentObject(const ZeqTuloNode& node);
// The host node the node stands for: the end of its path when the path is live, else null.
TObject HostObject(const ZeqTuloNode* node);
// The host node's children that are no shapes, in order.
std::vector<TObject> TransformChildren(const TObject& node);
// The node's host transform under its parent's host node, named after the node without its
// namespace prefix, its path entered in the node; false, with the host's status printed after
// failure, when the host refuses it.
bool CreateNodeTransform(ZeqTuloNode& node, const char* failure, TFnTransform& transform, TDagPath& path);
// The shape of the node's host transform that is of the type, as a path; false when none.
bool ShapePath(const ZeqTuloNode& node, int type, TDagPath& shape);

#endif

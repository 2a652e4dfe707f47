#ifndef ZEQ_FORMATS_MOTION_ASF_KZEQASFSCENE_H
#define ZEQ_FORMATS_MOTION_ASF_KZEQASFSCENE_H

#include <algorithm>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/kgemath.h"
#include "base/ktime.h"
#include "base/kzeqvector.h"
#include "formats/motion/kzeqmotionkeys.h"
#include "object/kobject.h"

namespace zeqsdk_400 {

class KFCurve;
class KFCurveNode;
class KZeqCarriedScaling;
class KZeqMotionJointLocals;
class KZeqNode;
class KZeqSdkManager;

// Degree-of-freedom codes of a bone, in the order of the "order" and "dof"
// keyword tables. eDofLength is the "l" word: it holds a place in the value
// list of a motion line but drives nothing.
enum EAsfDof : int { eDofTX = 0, eDofTY, eDofTZ, eDofRZ, eDofRY, eDofRX, eDofLength };

// Euler order of the rotation dofs of a list, first listed applied first
// (rx ry rz gives 0, XYZ; a lone rx gives 10, ZYX).
int EulerOrderFromOrderBuf(const int* dofs, int count);
// Reorders a triple of angles in an order's axis sequence (as KmRtoVord gives
// them) into the angles about X, Y and Z. Odd orders leave it as it is.
void OrderVector(double* angles, int order);

// One bone of an Acclaim skeleton, between the file and the scene graph.
// Owned by its parent; the root by the skeleton scene.
class KZeqAsfNode {
public:
    static constexpr int kMaxNameLength = 255;
    static constexpr int kMaxDof = 6;

    explicit KZeqAsfNode(const char* name);
    // Deletes the curves it still owns, then its subtree (without recursion,
    // so that no depth of tree exhausts the stack).
    ~KZeqAsfNode();
    KZeqAsfNode(const KZeqAsfNode&) = delete;
    KZeqAsfNode& operator=(const KZeqAsfNode&) = delete;

    void SetName(const char* name);
    const char* GetName() const { return mName; }
    // Appends a dof code; false when the list is full.
    bool AddDof(int code);
    int TranslationDofCount() const;
    int RotationDofCount() const;

    // This bone or a descendant of exactly that name, depth first; null when none.
    KZeqAsfNode* Find(const char* name);
    void AddChild(std::unique_ptr<KZeqAsfNode> child);
    // Hands the child back to the caller, parent cleared; null when not a child.
    std::unique_ptr<KZeqAsfNode> RemoveChild(KZeqAsfNode* child);
    // Destroys the children drop(child) says, in one pass (the others keep their order).
    template <class Drop>
    void RemoveChildren(const Drop& drop) {
        mChildren.erase(std::remove_if(mChildren.begin(), mChildren.end(),
                                       [&drop](const std::unique_ptr<KZeqAsfNode>& child) { return drop(*child); }),
                        mChildren.end());
    }
    int GetChildCount() const { return static_cast<int>(mChildren.size()); }
    KZeqAsfNode* GetChild(int index) const { return mChildren[static_cast<std::size_t>(index)].get(); }
    KZeqAsfNode* GetParent() const { return mParent; }
    bool IsSelfOrAncestorOf(const KZeqAsfNode* node) const;
    // Whether more than levels bones lie above this one, walking up no further than that.
    bool IsDeeperThan(int levels) const;
    // Levels below this bone (0 for a leaf), walked without recursion.
    int GetHeight() const;

    // Axis matrix and its inverse from the axis angles and order.
    void ComputeAxisMatrix();
    // Positions, offsets and parent matrices of the subtree from directions and lengths.
    void SetupPosition();
    // Dissolves the bones without dofs below this one into their parents.
    void RemoveDummy();

    // Builds the scene node of this bone and its subtree (with "<name>_End"
    // end nodes below childless bones of some length); null when the manager
    // refuses a node, nothing then left behind.
    KZeqNode* ASFToZEQ(KZeqSdkManager& manager, const char* takeName, bool withLimits);
    // Gives the node a take of that name (the default take for an empty name)
    // carrying this bone's defaults, or the sample it is held at, and the
    // curves it owns.
    bool SetKFCurvePointers(KZeqNode* node, const char* takeName);
    // Binds the bone to the node, and to its current-take "T", "R" and "S"
    // curve nodes unless that is the default take.
    void GetKFCurvePointers(KZeqNode* node);
    void SetLimits(KZeqNode* node);
    // The translation, rotation (X, Y, Z) and scaling the motion writes for the bound node at
    // time: its full transform, its take's curves, or the static pose of a scene without takes;
    // a mirror of some axes as KZeqMotionJoint::MirrorAsTurn reads it. False when the scaling is
    // not known (v then left as given).
    bool MotionAt(KTime time, KZeqMotionJointLocals* locals, double* t, double* r, double* v) const;

    // Motion sampling, each over the subtree.
    void CreateDataFromDOF();
    void StartSamplingData();
    // values: one per entry of the dof list.
    void AddSampleFromDOF(const double* values, KTime time, double lengthFactor, double angleFactor);
    void StopSamplingData();
    void DeleteCurves();
    void DeleteCurvesRecursive();

    char mName[kMaxNameLength + 1];
    int mDofCount = 0;
    int mDof[kMaxDof] = {0, 0, 0, 0, 0, 0};
    int mAxisOrder = 0;
    double mAxis[3] = {0.0, 0.0, 0.0};
    KZeqVector4 mPosition;
    KZeqVector4 mDirection;
    double mLength = 0.0;  // scene units (centimetres)
    KgeRMatrix mAxisMatrix;
    KgeRMatrix mInvAxisMatrix;
    KgeRMatrix mParentAxisMatrix;
    KgeRMatrix mParentInvAxisMatrix;
    KZeqVector4 mOffset;
    KZeqVector4 mLocalOffset;
    double mDefaultRotation[3] = {0.0, 0.0, 0.0};
    // "T", "R" and "S" of a bound scene node's current take; not owned.
    KFCurveNode* mCurveNodes[3] = {nullptr, nullptr, nullptr};
    // The scene node bound for export, whatever its current take; not owned.
    KZeqNode* mNode = nullptr;
    // Its current take holds layers or time warps, which its curve nodes alone do not play.
    bool mLayered = false;
    // Translation X, Y, Z and rotation X, Y, Z from motion; owned until handed on.
    KFCurve* mCurves[6] = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
    // A motion of a single sample (translation, rotation) keys no curves: the
    // bone is held at that sample, its values here, until the curves are deleted.
    bool mHeld[2] = {false, false};
    double mHeldValues[6] = {0.0, 0.0, 0.0, 0.0, 0.0, 0.0};
    // Between Start and StopSamplingData: rotations keyed continuous, as the
    // unroll filter would make them, which is then left out.
    bool mKeyContinuous = false;
    motionkeys::ContinuousEuler mContinuity;

private:
    friend class KZeqAsfBoneIndex;
    KZeqAsfNode* mParent = nullptr;
    std::vector<std::unique_ptr<KZeqAsfNode>> mChildren;
};

// The bones of a skeleton by name while a hierarchy section hangs the root's bones below one
// another, each lookup and move in constant time (a skeleton of n bones read in time linear in
// n). A name only one bone has is found at once; one several bones have is searched for from the
// root, as the section always found it. The root's children moved away leave their places empty
// until a search or the index's end closes them, the others in their order.
class KZeqAsfBoneIndex {
public:
    explicit KZeqAsfBoneIndex(KZeqAsfNode& root);
    ~KZeqAsfBoneIndex();
    KZeqAsfBoneIndex(const KZeqAsfBoneIndex&) = delete;
    KZeqAsfBoneIndex& operator=(const KZeqAsfBoneIndex&) = delete;

    // As the root's Find.
    KZeqAsfNode* Find(const char* name);
    // Hangs child, one of the root's children, below parent (after its other children).
    void Move(KZeqAsfNode& child, KZeqAsfNode& parent);

private:
    void CloseGaps();

    KZeqAsfNode& mRoot;
    std::unordered_map<std::string_view, KZeqAsfNode*> mByName;  // null: a name several bones have
    std::unordered_map<const KZeqAsfNode*, std::size_t> mPlaces;  // the root's children's places
    bool mGaps = false;
};

// A parsed Acclaim skeleton. It travels from an ASF read or write to the AMC
// reader or writer inside the motion options.
class KZeqAsfScene : public KObject {
    KZEQ_CLASS_DECLARE(KZeqAsfScene)

public:
    static constexpr int kMaxSceneNameLength = 50;
    // Deeper skeletons are refused: every walk of the tree below may recurse.
    static constexpr int kMaxDepth = 256;

    KZeqAsfScene();
    ~KZeqAsfScene() override;

    const char* GetName() const { return mName; }
    void SetName(const char* name);
    KZeqAsfNode* GetRoot() const { return mRoot.get(); }
    void SetRoot(std::unique_ptr<KZeqAsfNode> root) { mRoot = std::move(root); }

    // The skeleton's scene nodes; the top node (the root bone's) or null.
    KZeqNode* ASFToZEQ(KZeqSdkManager& manager, const char* takeName, bool withLimits);
    // Puts the curves of the bones on the nodes of the same names below
    // target (a take of that name each), creating the nodes missing there.
    // Created is given the nodes made and the nodes given a take, for the
    // caller to undo. False when a node cannot be made or attached.
    struct MergeRecord {
        std::vector<KZeqNode*> mCreated;  // top nodes of created subtrees
        std::vector<KZeqNode*> mTaken;    // existing nodes given the take
    };
    bool MergeASFToZEQ(KZeqSdkManager& manager, KZeqNode* target, const char* takeName, bool withLimits,
                       MergeRecord& record);

    // Builds the skeleton of the scene nodes under root (export) from their
    // default values, or for a node with a full transform (KZeqMotionJoint)
    // from that transform at time in the current take; scaling (the root's
    // parent's) and the nodes' own are carried into the bone lengths as
    // KZeqCarriedScaling says.
    void ZEQToASF(KZeqNode* root, bool withTranslation, const KZeqVector4& scaling, KTime time = KTime());
    // Binds the bones to the scene nodes of the same names under root.
    void MergeZEQToASF(KZeqNode* root);
    // Forgets every bone's curve nodes and bound node (they belong to a scene
    // that may go).
    void ClearCurveNodes();

    double mMassUnit = 1.0;
    double mLengthUnit = 1.0;
    double mAngleFactor = 1.0;

    // 2.54 / length unit: file lengths to centimetres (1 for a unit not above 0).
    double LengthToScene() const;

private:
    KZeqAsfNode* CreateRoot(KZeqNode* root);
    // scaling: what the node's parent carries into the node's offsets; locals: the full
    // transforms at time, each evaluated once however many bones read it.
    void RecursiveCreate(KZeqNode* node, KZeqAsfNode* bone, bool withTranslation, const KZeqCarriedScaling& scaling,
                         KTime time, KZeqMotionJointLocals& locals);
    void SetupNode(KZeqAsfNode* bone, const KZeqVector4& translation, const KZeqVector4& rotation,
                   const KZeqCarriedScaling& carried);
    void RemoveEndSite(KZeqAsfNode* bone);
    bool MergeBone(KZeqSdkManager& manager, KZeqAsfNode* bone, KZeqNode* parentNode, const char* takeName,
                   bool withLimits, MergeRecord& record);

    char mName[kMaxSceneNameLength + 1];
    std::unique_ptr<KZeqAsfNode> mRoot;
};

}  // namespace zeqsdk_400

#endif

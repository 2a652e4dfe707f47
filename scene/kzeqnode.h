#ifndef ZEQ_SCENE_KZEQNODE_H
#define ZEQ_SCENE_KZEQNODE_H

#include <memory>
#include <vector>

#include "base/kerror.h"
#include "base/kzeqmatrix.h"
#include "object/khandle.h"
#include "scene/kzeqnodeattribute.h"
#include "scene/kzeqnodelimits.h"
#include "scene/kzeqnodeproperties.h"
#include "scene/kzeqtakenodecontainer.h"

namespace zeqsdk_400 {

class KZeqCamera;
class KZeqCameraSwitcher;
class KZeqCharacter;
class KZeqEntity;
class KZeqMarker;
class KZeqGeometry;
class KZeqMesh;
class KZeqGobo;
class KZeqLight;
class KZeqNull;
class KZeqNurb;
class KZeqOpticalReference;
class KZeqSkeleton;
class KZeqPatch;

// An element of the scene hierarchy. Children and targets are connections of
// the node's property set; the node adds its attribute, transform channels in
// every take, matrix caches and its place in an entity. Made and ended by the
// manager only.
class KZeqNode : public KZeqTakeNodeContainer {
public:
    enum EError {
        eTakeNodeError = 0,
        eNodeNameClash = 1,
        eMaterialNameClash = 2,
        eTextureNameClash = 3,
        eGoboNameClash = 4,
        eTargetNotChild = 5,
        eCyclicGraph = 6,
        eIndexOutOfRange = 7,
        eErrorCount = 8
    };
    enum EPivotSet : int { eSOURCE_SET = 0, eDESTINATION_SET = 1 };
    // Active: the set's pivots enter the transform evaluation.
    enum EPivotState : int { ePIVOT_STATE_ACTIVE = 0, ePIVOT_STATE_REFERENCE = 1 };
    enum EShadingMode : int {
        eHARD_SHADING = 0,
        eWIRE_FRAME = 1,
        eFLAT_SHADING = 2,
        eLIGHT_SHADING = 3,
        eTEXTURE_SHADING = 4,
        eLIGHT_TEXTURE_SHADING = 5
    };
    enum EMultiTakeMode : int { eNO_MULTI_TAKE = 0, eMULTI_TAKE = 1 };
    enum ECullingType : int { eCULLING_OFF = 0, eCULLING_ON_CCW = 1, eCULLING_ON_CW = 2 };

    // A character or control set pointing at this node: kind 0 a character
    // link, 1 a control-set link, 2 an effector, 3 an effector's auxiliary node.
    struct KZeqLinkToCharacter {
        KZeqCharacter* mCharacter;
        int mType;
        int mIndex;
        int mSubIndex;
        bool operator==(const KZeqLinkToCharacter& o) const {
            return mCharacter == o.mCharacter && mType == o.mType && mIndex == o.mIndex && mSubIndex == o.mSubIndex;
        }
    };

    // Matrices of one take; hints speed up curve evaluation.
    struct KZeqTRSCache {
        void Reset() {
            mHints[0] = mHints[1] = mHints[2] = 0;
            mLocalValid = mGlobalValid = false;
        }
        int mHints[3] = {0, 0, 0};  // translation, rotation, scaling
        KTime mLocalTime;
        KTime mGlobalTime;
        bool mLocalValid = false;
        bool mGlobalValid = false;
        KZeqXMatrix mLocal;
        KZeqXMatrix mGlobal;
    };
    // A matrix callers fill and compose, tagged with the pass that computed it.
    struct KZeqState {
        void Reset() { mId = 0xFFFFFFFFu; }
        unsigned int mId = 0xFFFFFFFFu;
        KZeqXMatrix mMatrix;
    };

    // The name as given (the manager has prefixed it).
    KZeqNode(KZeqSdkManager& manager, const char* name);
    ~KZeqNode() override;
    void Destruct() override;
    ENameSpace GetNameSpace() const override { return eModel; }
    // Transform, pivot and limit values and both pivot sets back to their defaults.
    void Reset();

    // ---- Hierarchy --------------------------------------------------------------
    // Moves the child here from its former parent. False for null, for this
    // node or one above it, or for a child of this node's entity (error 6), and
    // when its subtree's names clash (errors 1 to 4): both trees then stay as they were.
    bool AddChild(KZeqNode* child);
    // The child, detached with its subtree; null when it is not a child.
    KZeqNode* RemoveChild(KZeqNode* child);
    int GetChildCount(bool recursive = false) const;
    // Null outside 0..count-1.
    KZeqNode* GetChild(int index) const;
    KZeqNode* GetParent() const;
    // The first node named "Model::" + name (its current or initial name),
    // each child's subtree searched before the next child when recursive.
    KZeqNode* FindChild(const char* name, bool recursive = true, bool initial = false) const;
    // True when this node is node or lies below it.
    bool IsSelfOrDescendantOf(const KZeqNode* node) const;
    void AddChildName(const char* name);
    // Null with "Index out of range" outside the names.
    const char* GetChildName(unsigned int index);
    int GetChildNameCount() const { return static_cast<int>(mChildNames.size()); }

    // ---- Targets ----------------------------------------------------------------
    // The first target set stays the target; a scene's root connected as one
    // (a file may name it) is passed over.
    void SetTarget(KZeqNode* node);
    KZeqNode* GetTarget() const;
    void SetTargetUp(KZeqNode* node);
    KZeqNode* GetTargetUp() const;
    void SetPostTargetRotation(KZeqVector4 rotation) { mPostTargetRotation = rotation; }
    KZeqVector4 GetPostTargetRotation() const { return mPostTargetRotation; }
    void SetTargetUpVector(KZeqVector4 vector) { mTargetUpVector = vector; }
    KZeqVector4 GetTargetUpVector() const { return mTargetUpVector; }

    // ---- Attribute --------------------------------------------------------------
    // The former attribute (the caller ends it); null and no change when it is
    // the current one. An attribute set on another node leaves that node.
    KZeqNodeAttribute* SetNodeAttribute(KZeqNodeAttribute* attribute);
    KZeqNodeAttribute* GetNodeAttribute() const { return mNodeAttribute; }
    // The attribute when it is of that kind, else null.
    KZeqNull* GetNull() const;
    KZeqOpticalReference* GetOpticalReference() const;
    KZeqMarker* GetMarker() const;
    KZeqSkeleton* GetSkeleton() const;
    KZeqMesh* GetMesh() const;
    KZeqNurb* GetNurb() const;
    KZeqPatch* GetPatch() const;
    // A mesh, NURBS or patch.
    KZeqGeometry* GetGeometry() const;
    KZeqCamera* GetCamera() const;
    KZeqCameraSwitcher* GetCameraSwitcher() const;
    KZeqLight* GetLight() const;

    // ---- Default values and display ---------------------------------------------
    void SetDefaultT(const KZeqVector4& t) { SetDefault("Lcl Translation", t); }
    void SetDefaultR(const KZeqVector4& r) { SetDefault("Lcl Rotation", r); }
    void SetDefaultS(const KZeqVector4& s) { SetDefault("Lcl Scaling", s); }
    KZeqVector4& GetDefaultT(KZeqVector4& t) const { return GetDefault("Lcl Translation", t); }
    KZeqVector4& GetDefaultR(KZeqVector4& r) const { return GetDefault("Lcl Rotation", r); }
    KZeqVector4& GetDefaultS(KZeqVector4& s) const { return GetDefault("Lcl Scaling", s); }
    void SetDefaultVisibility(double visibility);
    double GetDefaultVisibility() const;
    void SetVisibility(bool visible);
    // Any value but 0 (NaN too) is visible.
    bool GetVisibility() const;
    void SetShadingMode(EShadingMode mode) { mShadingMode = mode; }
    EShadingMode GetShadingMode() const { return mShadingMode; }
    void SetMultiLayer(bool multiLayer) { mMultiLayer = multiLayer; }
    bool GetMultiLayer() const { return mMultiLayer; }
    void SetMultiTakeMode(EMultiTakeMode mode) { mMultiTakeMode = mode; }
    EMultiTakeMode GetMultiTakeMode() const { return mMultiTakeMode; }
    void SetCullingType(ECullingType type) { mCullingType = type; }
    ECullingType GetCullingType() const { return mCullingType; }
    void SetTransformationInheritType(ETransformInheritType type);
    void GetTransformationInheritType(ETransformInheritType& type) const;
    void SetUseQuaternionForInterpolation(bool use);
    bool GetUseQuaternionForInterpolation() const;
    void SetRotationStiffness(KZeqVector4 stiffness);
    KZeqVector4 GetRotationStiffness() const;
    void SetSelected(bool selected, bool recursive = false);
    // With recursive, also true when a descendant is selected.
    bool GetSelected(bool recursive = false) const;

    // ---- Pivot sets: values stored only, nothing recomputed ---------------------
#define KZEQ_PIVOT_VECTOR(Name, Member)                                                               \
    void Set##Name(EPivotSet set, KZeqVector4 value) { Pivot(set).Member = value; }                  \
    KZeqVector4& Get##Name(EPivotSet set) const { return Pivot(set).Member; }
    KZEQ_PIVOT_VECTOR(RotationOffset, mRotationOffset)
    KZEQ_PIVOT_VECTOR(RotationPivot, mRotationPivot)
    KZEQ_PIVOT_VECTOR(RotationPivotUpdateOffset, mRotationPivotUpdateOffset)
    KZEQ_PIVOT_VECTOR(PreRotation, mPreRotation)
    KZEQ_PIVOT_VECTOR(PostRotation, mPostRotation)
    KZEQ_PIVOT_VECTOR(ScalingOffset, mScalingOffset)
    KZEQ_PIVOT_VECTOR(ScalingPivot, mScalingPivot)
    KZEQ_PIVOT_VECTOR(ScalingPivotUpdateOffset, mScalingPivotUpdateOffset)
#undef KZEQ_PIVOT_VECTOR
    void SetGeometricTranslation(EPivotSet set, KZeqVector4 t) { Pivot(set).mGeometricTranslation = t; }
    KZeqVector4 GetGeometricTranslation(EPivotSet set) const { return Pivot(set).mGeometricTranslation; }
    void SetGeometricRotation(EPivotSet set, KZeqVector4 r) { Pivot(set).mGeometricRotation = r; }
    KZeqVector4 GetGeometricRotation(EPivotSet set) const { return Pivot(set).mGeometricRotation; }
    void SetGeometricScaling(EPivotSet set, KZeqVector4 s) { Pivot(set).mGeometricScaling = s; }
    KZeqVector4 GetGeometricScaling(EPivotSet set) const { return Pivot(set).mGeometricScaling; }
    void SetRotationOrder(EPivotSet set, ERotationOrder order) { Pivot(set).mRotationOrder = order; }
    void GetRotationOrder(EPivotSet set, ERotationOrder& order) const { order = Pivot(set).mRotationOrder; }
    void SetUseRotationSpaceForLimitOnly(EPivotSet set, bool on) { Pivot(set).mRotationSpaceForLimitOnly = on; }
    bool GetUseRotationSpaceForLimitOnly(EPivotSet set) const { return Pivot(set).mRotationSpaceForLimitOnly; }
    void SetPivotState(EPivotSet set, EPivotState state) { Pivot(set).mPivotState = state; }
    void GetPivotState(EPivotSet set, EPivotState& state) const {
        state = static_cast<EPivotState>(Pivot(set).mPivotState);
    }
    KZeqNodeLimits& GetLimits() { return *mLimits; }

    // ---- Entity ------------------------------------------------------------------
    // Makes the node (with flag its subtree checked against the entity's
    // names) leave its entity and join another. False, with nothing changed,
    // when names repeat (errors 1 to 4), and without flag for the root of
    // its entity (error 6): a connection does not take a scene's root away.
    bool SetEntity(KZeqEntity* entity, bool checkEntityNames);
    KZeqEntity* GetEntity() const { return mEntity; }

    // ---- Copy, character links, errors, object model -----------------------------
    // Targets, attribute, display values, pivots (not the scaling offset,
    // geometric values, order, limit-only flag or state), culling and takes.
    KZeqNode& operator=(KZeqNode& source);
    int AddCharacterLink(KZeqCharacter* character, int type, int index, int subIndex);
    int FindCharacterLink(KZeqCharacter* character, int type, int index, int subIndex) const;
    int RemoveCharacterLink(KZeqCharacter* character, int type, int index, int subIndex);
    int GetCharacterLinkCount() const { return static_cast<int>(mCharacterLinks.size()); }
    bool GetCharacterLink(int index, KZeqCharacter** character, int* type, int* linkIndex, int* subIndex) const;

    KError& GetError() { return mError; }
    int GetLastErrorID() const { return mError.GetLastErrorID(); }
    const char* GetLastErrorString() const { return mError.GetLastErrorString(); }
    KZeqNodeProperties* GetPropertyHandler() override { return mProperties; }
    int GetClassID() const { return KZeqNodeProperties::ClassId; }
    KString GetTypeName() const override;
    KStringList GetTypeFlags() const override;
    void FillPropertyList(void* list) override;
    // Wraps each property of the property set without a user property in one.
    void PublishProperties();
    void PropertyAdded(KZeqUserProperty* property) override;
    void PropertyRemoved(KZeqUserProperty* property) override;
    using KZeqTakeNodeContainer::SetCurrentTakeNode;
    // Both take caches start over.
    bool SetCurrentTakeNode(int index) override;
    bool SetCurrentTakeNode(const char* name) override;

    // ---- Takes, channels and states ------------------------------------------------
    // "Transform" with "T", "R", "S" and "Visibility", the other animatable
    // properties, then the attribute's channels.
    void AddChannels(KZeqTakeNode* take) override;
    // The local matrix of a take: scaling, the rotation in pivot set 0's order (spheric as XYZ),
    // translation; no pivots. Cached until SetCurrentTakeNode or a copy.
    KZeqXMatrix& GetLocalFromDefaultTake();
    KZeqXMatrix& GetGlobalFromDefaultTake();
    KZeqXMatrix& GetLocalFromCurrentTake(KTime time);
    KZeqXMatrix& GetGlobalFromCurrentTake(KTime time);
    void SetLocalState(const KZeqXMatrix& matrix) { mLocalState.mMatrix = matrix; }
    KZeqXMatrix& GetLocalState() { return mLocalState.mMatrix; }
    void SetGlobalState(const KZeqXMatrix& matrix) { mGlobalState.mMatrix = matrix; }
    KZeqXMatrix& GetGlobalState() { return mGlobalState.mMatrix; }
    void SetLocalStateId(unsigned int id, bool recursive);
    unsigned int GetLocalStateId() const { return mLocalState.mId; }
    void SetGlobalStateId(unsigned int id, bool recursive);
    unsigned int GetGlobalStateId() const { return mGlobalState.mId; }
    // Nothing when the state already has that id.
    void ComputeGlobalState(unsigned int id, bool recursive);
    void ComputeLocalState(unsigned int id, bool recursive);
    void SetLocalStateFromDefaultTake(bool recursive);
    void SetLocalStateFromCurrentTake(KTime time, bool recursive);
    // These two write the angles in the node's order, as the local matrix of a take reads them.
    void SetDefaultTakeFromLocalState(bool recursive);
    // Default values in the default take, else one key per curve at time.
    void SetCurrentTakeFromLocalState(KTime time, bool recursive);
    static void ComputeLocalMatrixZeqStyle(KZeqXMatrix& local, KZeqXMatrix& parentGlobal, KZeqXMatrix& global);
    static void ComputeGlobalMatrixZeqStyle(KZeqXMatrix& global, KZeqXMatrix& parentGlobal, KZeqXMatrix& local);
    void UpdatePropertiesFromPivotsAndLimits();
    // The same for a file: the vectors of an inactive pivot set 0 take no part in the node's
    // evaluation and go in neutral (zero, geometric scaling one), so that no reader turns the set
    // on with them. Rotation order and limit-only flag go in as they are.
    void UpdatePropertiesFromPivotsInEffectAndLimits();
    void UpdatePivotsAndLimitsFromProperties();

    // ---- The full transform --------------------------------------------------------
    // The local matrix at time, from the current take's curves (the default values in the
    // default take, and for what a take holds no curve of), with pivot set 0 while it is active:
    // scaling about the scaling pivot, the scaling offset, the post-rotation undone, the rotation
    // in the set's order (spheric as XYZ), the pre-rotation, all about the rotation pivot, then
    // the rotation offset and the translation. Pre- and post-rotation count only while the
    // "RotationActive" property is on and "RotationSpaceForLimitOnly" off.
    KZeqXMatrix EvaluateLocalTransform(KTime time);
    // The local transform, then the parents' up to the root (for many nodes at one time, a
    // KZeqTransformCache evaluates each node once).
    KZeqXMatrix EvaluateGlobalTransform(KTime time);
    // The same of the default values (the default take), whatever take is current: where a
    // static export places the node.
    KZeqXMatrix EvaluateLocalTransform();
    KZeqXMatrix EvaluateGlobalTransform();
    // True when the node's own full transform may differ from its translation, Euler XYZ
    // rotation and scaling alone: a rotation order of other axes, or pivot set 0 active with a
    // pivot, offset, pre- or post-rotation or geometric transform.
    bool NeedsFullTransform() const;
    // Pre- and post-rotation take part in the transform: rotation is active, and not for limits only.
    bool PreAndPostRotationCount() const;
    // True when the current take's transform holds animation layers or time warps (on its
    // channels, the whole transform or the take): it plays more than its base curves, which only
    // the take's evaluation (EvaluateLocalTransform, GetLocalFromCurrentTake) composes.
    bool IsTakeLayeredOrWarped();
    // What places the node's own geometry in the node: scaling, rotation XYZ, then translation of
    // pivot set 0's geometric values (identity while the set is inactive), before the global transform.
    KZeqXMatrix EvaluateGeometricTransform() const;

    // ---- Global transform of the default values, per pivot set --------------------
    // The set's cached global matrix, computed with the node's whole hierarchy
    // when forced or never computed. New values or pivots leave the cache as
    // it is: ask with force after changing them.
    KZeqXMatrix& GetGlobalMatrix(EPivotSet set, bool force = false);
    // This node's global matrix for the set, then its subtree's, parents first.
    void ComputeGlobalMatrix(EPivotSet set);
    // Translation, Euler XYZ angles in degrees and scaling of GetGlobalMatrix,
    // w = 0. A mirroring matrix has all three scales negative.
    KZeqVector4 GetGlobalT(EPivotSet set, bool force = false);
    KZeqVector4 GetGlobalR(EPivotSet set, bool force = false);
    KZeqVector4 GetGlobalS(EPivotSet set, bool force = false);
    // Widens start and stop by the keys of the current takes of the whole
    // subtree; false, both untouched, when it has none.
    bool GetAnimationInterval(KTime& start, KTime& stop) override;
    bool GetAnimationIntervalRecursive(KTime& start, KTime& stop);
    // Local from global and back with translation, rotation and per-axis
    // scale kept apart: the parent's scale multiplies the child's axis by axis
    // instead of passing through its rotation. Only the output's 3x3 block and
    // translation row are written; a zero parent scale gives a zero scale.
    static KgeAMatrix& ComputeLocalMatrixVeltrixStyle(KZeqXMatrix& local, KZeqXMatrix& parentGlobal,
                                                      KZeqXMatrix& global);
    static KgeAMatrix& ComputeGlobalMatrixVeltrixStyle(KZeqXMatrix& global, KZeqXMatrix& parentGlobal,
                                                       KZeqXMatrix& local);

    // ---- Pivot conversion --------------------------------------------------------
    // Rewrites the animation of the subtree, every take, for the target pivot
    // set (any non-zero target is set 1) at 1/frameRate seconds per sample.
    // The lighter form shifts translations by the rotation pivot, offset and
    // parent pivot differences and resamples only for pre- and post-rotation
    // differences; the fuller one also resamples for pivots, scaling offset and
    // rotation order, and bakes the geometric transform into the geometry.
    // Neither changes the pivot sets.
    void ConvertPivotAnimation(EPivotSet target, double frameRate, bool keyReduce);
    void ConvertPivotAnimationRecursive(EPivotSet target, double frameRate, bool keyReduce);

    // Told by the property set when a source connection came or went.
    void ChildrenChanged() { mChildrenValid = false; }
    // The standard channels of a node's take: "Transform" with "T", "R", "S"
    // (each "X", "Y", "Z") and "Visibility", added to root with these default
    // values (KZeqTakeNode::EStandardValue order); with callbacksFor, that
    // node's default-take callbacks on its four animatable properties.
    static void MakeStandardChannels(KFCurveNode& root, const float* values, KZeqNode* callbacksFor);

private:
    friend class KZeqEntity;
    friend class KZeqNodeLimits;
    friend class KZeqTakeNode;  // makes deferred standard channels
    void RegisterStandardCallback(KProperty* property, int channel, KFCurve* curve);
    // One of the property set's four animatable properties is still listed (a
    // pointer compare only: an ended property is never read).
    bool IsListedAnimatable(const KProperty* property) const;
    // The same on the standard curves of a tree read in place of deferred
    // ones (the order of the standard values), but for those that ended.
    void RegisterStandardCallbacks(KFCurve* const* curves, const bool* ended);
    // A deferred default-take value changed as by the curve: what its callback writes.
    void StandardValueChanged(int index, float value);
    bool CanDeferStandardChannels() const;
    // Where the geometry kinds join: the pivot matrix and control points of
    // the node's geometry. False or null when the node has none.
    bool GetGeometryPivot(KZeqXMatrix& pivot) const;
    // Stores the pivot; with apply, the geometry is transformed by it.
    void SetGeometryPivot(KZeqXMatrix& pivot, bool apply);
    const KZeqVector4* GetGeometryControlPoints(int& count) const;
    // One node of ComputeGlobalMatrix.
    void ComputeOwnGlobalMatrix(EPivotSet set, KZeqNode* parent);
    // One node of each pivot conversion.
    void ConvertOwnPivotAnimation(EPivotSet target, double frameRate, bool keyReduce);
    void ConvertOwnPivotAnimationFull(EPivotSet target, double frameRate, bool keyReduce);
    // How a node copy makes and fills an attribute of a kind; the content
    // kinds define their rows beside their classes.
    struct AttributeCopyRow {
        KZeqNodeAttribute::EAttributeType mType;
        KZeqNodeAttribute* (*mCreate)(KZeqSdkManager& manager);
        void (*mCopy)(KZeqNodeAttribute& to, KZeqNodeAttribute& from);
    };
    static const AttributeCopyRow kAttributeCopyRows[];
    static const int kAttributeCopyRowCount;
    // Multi-layer and multi-take mode a node takes from its attribute.
    static void ModesOfAttribute(const KZeqNodeAttribute* attribute, bool& multiLayer, EMultiTakeMode& multiTake);
    // The gobo an attribute projects, null when none: each node holding one
    // holds one reference on it in its entity.
    static KZeqGobo* GoboOfAttribute(KZeqNodeAttribute* attribute);

    KZeqNodeProperties::KZeqPivot& Pivot(EPivotSet set) const { return mProperties->mPivots[set == 1 ? 1 : 0]; }
    // The 54 properties of the property set, by their place in its list.
    static const BuiltInRows kBuiltInRows;
    // Runs use on the user property of that name, or, while it is a built-in
    // property whose wrapper is not made, on a stand-in bound to the same
    // property and handler, which answers and tells the handler the same.
    template <class Use>
    void WithPropertyNamed(const char* name, Use use) const;
    void SetDefault(const char* name, const KZeqVector4& value);
    KZeqVector4& GetDefault(const char* name, KZeqVector4& value) const;
    void CopyAttribute(KZeqNode& source);
    // The id of the name clash the subtree holds (1 to 4), -1 when none.
    int FindNameClash();
    const std::vector<KZeqNode*>& Children() const;
    // Runs visit on this node, then, when recursive, on its subtree, parents
    // before children and children in order, on a stack of its own (no depth
    // of tree exhausts the call stack); a visit answering false leaves that
    // node's subtree out.
    template <class Visit>
    void VisitSubtree(bool recursive, Visit visit) {
        std::vector<KZeqNode*> pending{this};
        while (!pending.empty()) {
            KZeqNode* node = pending.back();
            pending.pop_back();
            if (!visit(*node) || !recursive) continue;
            const std::vector<KZeqNode*>& children = node->Children();
            pending.insert(pending.end(), children.rbegin(), children.rend());
        }
    }
    // The global state of this node and of the ancestors it needs that lack
    // the id, those nearest the root first.
    void ComputeGlobalStateUpward(unsigned int id);
    void ResetCaches();
    KZeqXMatrix& LocalMatrix(KZeqTRSCache& cache, KZeqTakeNode* take, const KTime* time);
    // The full transform at time, of the default values without one.
    KZeqXMatrix EvaluateLocal(const KTime* time);
    KZeqXMatrix EvaluateGlobal(const KTime* time);
    // The translation, rotation and scaling a take holds (its default values without time), but
    // those of skip (bits 1 T, 2 R, 4 S); what it does not hold stays as given. The bits of those
    // it gave whole. Rotation layers compose in rotationOrder (a KVXRotationOrder code).
    static constexpr int kAllTransformChannels = 7;
    static int ReadTransformValues(int* hints, KZeqTakeNode* take, const KTime* time, int rotationOrder, double* t,
                                   double* r, double* s, int skip = 0);
    // Scaling, rotation XYZ, then translation of a set's geometric values; identity when inactive.
    static KZeqMatrix GeometricMatrix(const KZeqNodeProperties::KZeqPivot& set);

    KZeqNodeProperties* mProperties;
    std::vector<KString> mChildNames;
    KZeqEntity* mEntity = nullptr;
    KZeqVector4 mPostTargetRotation;
    KZeqVector4 mTargetUpVector;
    KZeqNodeAttribute* mNodeAttribute = nullptr;
    EShadingMode mShadingMode = eLIGHT_SHADING;
    bool mMultiLayer = false;
    EMultiTakeMode mMultiTakeMode = eMULTI_TAKE;
    KZeqTRSCache mCurrentTakeCache;
    KZeqTRSCache mDefaultTakeCache;
    KZeqState mLocalState;
    KZeqState mGlobalState;
    std::unique_ptr<KZeqNodeLimits> mLimits;
    bool mSelected = false;
    std::vector<KZeqLinkToCharacter> mCharacterLinks;
    KError mError;
    ECullingType mCullingType = eCULLING_OFF;
    // The children in connection order, rebuilt after the sources changed.
    mutable std::vector<HdlKPlug> mChildHandles;
    mutable std::vector<KZeqNode*> mChildren;
    mutable bool mChildrenValid = false;
};

// Any of the four components differs (a NaN always does).
bool operator!=(const KgeTVector& a, const KZeqVector4& b);

}  // namespace zeqsdk_400

#endif

#ifndef ZEQ_FCURVE_KFCURVENODE_H
#define ZEQ_FCURVE_KFCURVENODE_H

#include <memory>
#include <vector>

#include "base/karray.h"
#include "base/kstring.h"
#include "base/ktime.h"
#include "base/kgemath.h"

namespace zeqsdk_400 {

class KDataType;
class KFCurve;
struct KFCurveBakeSpan;
class KFCurveKey;
class KFCurveNode;
class KNameIndex;
class KProperty;
class KZeq;

// Layer types of a curve node: how the values of its layers combine with the base layer.
enum : int {
    KFCL_NOLAYER = 0,
    KFCL_ADD = 1,        // added (translation and plain channels)
    KFCL_EULER_XYZ = 2,  // Euler rotation of three channels X, Y, Z
    KFCL_MULT = 3,       // multiplied (scaling)
    KFCL_QUAT = 4,       // quaternion rotation of four channels X, Y, Z, W
};

// Event codes a curve node hands to its callbacks; an event carries their OR.
enum : unsigned int {
    KFCURVENODEEVENT_NONE = 0,
    KFCURVENODEEVENT_VISIBILITY = 1,
    KFCURVENODEEVENT_DESTROY = 2,
    KFCURVENODEEVENT_FCURVE = 4,     // the node's curve was replaced
    KFCURVENODEEVENT_TIMEWARP = 8,   // the node's time warp was replaced
    KFCURVENODEEVENT_LAYER = 16,     // layers added, removed or changed
    KFCURVENODEEVENT_DATAUPDATED = 32,
};

// Bits of a curve node's flag word.
enum : unsigned int {
    KFCURVENODE_T_IO = 0x01,
    KFCURVENODE_VISIBILITY = 0x02,
    KFCURVENODE_CONTAINER = 0x08,  // a list of nodes it does not own
    KFCURVENODE_TAKE = 0x10,
    KFCURVENODE_EXPANDED = 0x20,
    KFCURVENODE_MULTILAYER = 0x40,
};

// Data whose change a node announces with DataUpdated; the callbacks that
// receive it know its concrete type.
class IData {
public:
    virtual ~IData() = default;
};

// The change record a node accumulates and hands to its callbacks.
struct KFCurveNodeEvent {
    void Clear() {
        mType = KFCURVENODEEVENT_NONE;
        mCount = 0;
        mEventCount = 0;
        mData = nullptr;
    }
    unsigned int mType = KFCURVENODEEVENT_NONE;
    int mCount = 0;
    int mEventCount = 0;  // events since the last clear
    // The data of a KFCURVENODEEVENT_DATAUPDATED event delivered on its own;
    // null in a merged event.
    IData* mData = nullptr;
};

typedef void (*kFCurveNodeCallback)(KFCurveNode* node, KFCurveNodeEvent* event, void* data);

// The saved candidate state of a node, its children and its next layer.
struct KFCurveNodeCandidateState {
    int mSpecificCandidateMethod = 1;
    int mTotalCandidateMethod = 1;
    double mCandidateTotalValue[4] = {0.0, 0.0, 0.0, 0.0};
    KTime mCandidateTotalTime;
    double mCandidateSpecificValue = 0.0;
    double mFCurveValue = 0.0;
    KTime mCandidateSpecificTime;
    // One per child, in child order (no fixed limit: every child is saved).
    std::vector<std::unique_ptr<KFCurveNodeCandidateState>> mSubStates;
    std::unique_ptr<KFCurveNodeCandidateState> mLayerState;

    // One line per field ("mSpecificCandidateMethod = 1", ..., times in
    // seconds), then "mLayerState:" and each "mSubStates[i]:" with its record,
    // nested records indented two more spaces than indent. The system has no
    // trace output: the text is answered.
    KString Dump(int indent = 0) const;
};

// The channel tree of one animated property: a named node with a data type, an
// optional curve and ordered children ("X", "Y", "Z" under a vector; "T", "R",
// "S" under a transform). Each node also heads a chain of layer nodes of the same
// shape (ascending layer ids, 0 the base), may share a reference-counted time-warp
// node, and tells registered callbacks of its changes.
//
// A node owns its children, its curve and its next layer. Values of a tree are
// passed as one run of doubles, one per curve in depth-first order (the node's
// own curve first); a base-layer quaternion node gives three Euler XYZ angles.
// A tree is used by one thread at a time.
class KFCurveNode {
public:
    // Name, time-warp name, data type and property, shared by a node, its copies
    // and its layers. A clone that is not a copy (CloneTemplate) holds the
    // original's record only until either side writes to it: the writer first
    // takes a copy of its own, so neither sees the other's change.
    struct NameInfo {
        KString mName;
        KString mTimeWarpName;
        KDataType* mDataType = nullptr;
        KProperty* mProperty = nullptr;
        int mRefCount = 1;
    };

    KFCurveNode(const char* name, const char* timeWarpName, KDataType* dataType, int layerType = KFCL_NOLAYER,
                int layerId = 0);
    // A node after source: the same name record, layer type, rotation order,
    // quaternion flag and candidate, with no children, curve or layers.
    explicit KFCurveNode(KFCurveNode* source);
    KFCurveNode(const KFCurveNode&) = delete;
    KFCurveNode& operator=(const KFCurveNode&) = delete;
    // Reports KFCURVENODEEVENT_DESTROY, clears the node and leaves its parent.
    virtual ~KFCurveNode();
    // Deletes the node.
    void Destroy(int local = 0);

    // A new tree of this node's shape. copy makes the top node after this one
    // (see the constructor above); cloneCurves copies the curves with their keys,
    // createCurves gives empty curves instead. layerId -1 keeps this node's id.
    KFCurveNode* CloneTemplate(bool copy = false, bool cloneCurves = false, bool createCurves = false,
                               int layerId = -1);
    KFCurveNode* Clone(bool copy = false);

    // ---- Children ----------------------------------------------------------------
    // Deletes the children (a container only lets them go), the curve, the next
    // layer and the time warp (the last two when no one else holds them).
    virtual void Clear();
    // Appends a node; a container does not become its parent. -1 when refused
    // (null, this node or one of its ancestors, or no memory).
    virtual int Add(KFCurveNode* node);
    virtual void Remove(int index);
    virtual void Delete(int index);
    // Destroys the node whether or not it is a child.
    void Delete(KFCurveNode* node);
    virtual int GetCount() const;
    // Null outside 0 to count - 1.
    virtual KFCurveNode* Get(int index) const;
    virtual bool IsChild(KFCurveNode* node, bool recursive = false) const;
    // Index of the first child whose name equals name ignoring case, -1 when none. Many children
    // are found through an index of their names, made on first need.
    virtual int Find(const char* name) const;
    virtual int Find(KFCurveNode* node) const;
    virtual void SetParent(KFCurveNode* parent);
    virtual KFCurveNode* GetParent() const;
    // The first child of that data type (the node, not its index).
    virtual KFCurveNode* Find(KDataType* dataType) const;
    // Inserts before the first child whose name is not less (ignoring case).
    // The parent is not set. -1 when refused.
    virtual int SortedAdd(KFCurveNode* node);
    // The first descendant of that data type, depth first.
    KFCurveNode* FindRecursive(KDataType* dataType) const;
    // The node at a path of names separated by "/": each name is looked for among
    // the children, then in each child's subtree before the next child; "T", "R"
    // and "S" also match the local translation, rotation and scaling types.
    // The path is not written to.
    KFCurveNode* FindRecursive(const char* path) const;
    // The child of that name, created and added when missing; with createCurve a
    // node without curve gets an empty one.
    KFCurveNode* FindOrCreate(const char* name, bool createCurve = true);

    // Asks for the child list and the name record ahead of a walk over many
    // trees, so that their memory waits overlap; changes nothing.
    void PrefetchParts() const;

    // ---- Names ---------------------------------------------------------------------
    // The property's name when a property is set, else the node's name.
    const char* GetName() const;
    const char* GetTimeWarpName() const;
    void SetTimeWarpName(const char* name);
    const char* GetTypeName() const;
    KDataType* GetDataType() const;
    KProperty* GetProperty() const;
    void SetProperty(KProperty* property);
    // The node's own record: one borrowed from a clone's original is copied
    // first, and is no longer lent to later clones, as the caller may write to it.
    NameInfo* GetNameInfo() const;
    // Shares another record (null only lets the current one go).
    void SetNameInfo(NameInfo* nameInfo);

    // ---- Curves ----------------------------------------------------------------
    KFCurve* FCurveGet() const { return mFCurve; }
    // Sets the node's curve and answers the former one (null when destroyed,
    // or when curve already is the node's curve).
    KFCurve* FCurveSet(KFCurve* curve, bool destroyOldCurve = false);
    void FCurveReplace(KFCurve* curve);
    // Gives every leaf of the subtree without a curve an empty one.
    void CreateFCurve();
    // True when every leaf of the subtree has a curve.
    bool FCurveCreated() const;
    void SetPreExtrapolation(int mode, bool recursive = true);
    void SetPreExtrapolationCount(unsigned int count, bool recursive = true);
    void SetPostExtrapolation(int mode, bool recursive = true);
    void SetPostExtrapolationCount(unsigned int count, bool recursive = true);
    // The X, Y, Z curves of the "T", "R" and "S" children; true only when all nine exist.
    bool GetTransformCurves(KFCurve* t[3], KFCurve* r[3], KFCurve* s[3]) const;
    // Red, green, blue of the curve; zeros without a curve.
    void GetColor(float rgb[3]) const;
    void SetColor(const float* rgb);

    // ---- Flags -------------------------------------------------------------------
    // The int setters keep only their own bit of the argument.
    int GetIOType() const { return static_cast<int>(mFlags & KFCURVENODE_T_IO); }
    void SetIOType(int ioType) { SetFlagBits(KFCURVENODE_T_IO, static_cast<unsigned int>(ioType)); }
    int GetVisibility() const { return static_cast<int>(mFlags & KFCURVENODE_VISIBILITY); }
    int GetContainerType() const { return static_cast<int>(mFlags & KFCURVENODE_CONTAINER); }
    void SetContainerType(int type) { SetFlagBits(KFCURVENODE_CONTAINER, static_cast<unsigned int>(type)); }
    int GetTakeType() const { return static_cast<int>(mFlags & KFCURVENODE_TAKE); }
    void SetTakeType(int type) { SetFlagBits(KFCURVENODE_TAKE, static_cast<unsigned int>(type)); }
    bool IsExpended() const { return (mFlags & KFCURVENODE_EXPANDED) != 0; }
    void SetExpended(bool expanded) { SetFlagBits(KFCURVENODE_EXPANDED, expanded ? ~0u : 0u); }
    bool IsMultiLayer() const { return (mFlags & KFCURVENODE_MULTILAYER) != 0; }
    // On the whole subtree.
    void SetMultiLayer(bool multiLayer);
    unsigned int GetFlags() const { return mFlags; }

    // ---- Layers ------------------------------------------------------------------
    int GetLayerType() const { return mLayerType; }
    int GetLayerID() const { return mLayerID; }
    // Changing a three-channel node to quaternion adds a "W" channel (whose
    // object layer is objectLayer when given); changing a four-channel
    // quaternion node to Euler removes it.
    void SetLayerType(int layerType, KFCurveNode* objectLayer = nullptr);
    // Links node as the next layer; the former one is destroyed with
    // destroyOldLayer, else handed back to the caller (unlinked).
    void LayerSet(KFCurveNode* node, bool destroyOldLayer = false);
    KFCurveNode* LayerGet() const { return mNextLayer; }
    // The node of that id in the chain from this node; null once a higher id is met.
    KFCurveNode* LayerGet(int layerId) const;
    // This layer's channel that goes with child index of the base node: the one of the child's name,
    // whatever channels the layer holds (null when it holds none of that name).
    KFCurveNode* LayerChannelFor(const KFCurveNode* baseChild, int index) const;
    // The same seen from the base node: each channel of layer that goes with this node's children,
    // in their order (null where it holds none; no array when the node has no children). Found
    // once per layer and kept while no node's children, curves or names change, so that
    // evaluating or plotting a layered node compares no names per sample.
    KFCurveNode* const* LayerChannelsOf(const KFCurveNode* layer) const;
    KFCurveNode* ObjectLayerGet() const { return mObjectLayer; }
    void ObjectLayerSet(KFCurveNode* node) { mObjectLayer = node ? node : this; }
    // A layer of this node's shape with empty curves holding the layer type's
    // zero values, linked as the next layer. Null unless the node is multi-layer.
    KFCurveNode* LayerCreate(int layerId, bool destroyOldLayer = false);
    // Inserts a layer of that id in id order unless there is one.
    void CreateLayerAt(int layerId);
    KFCurveNode* GetPreviousLayer(int layerId);
    // Unlinks the layer of that id; destroys it with destroy (null is answered),
    // else answers it.
    KFCurveNode* RemoveLayer(int layerId, bool destroy = true);
    // The layer of that id (created when missing) filled from source.
    KFCurveNode* InsertOrCopyLayer(int layerId, KFCurveNode* source);
    int GetCorrectLayerID(int layerId) const { return IsMultiLayer() ? layerId : 0; }
    KFCurveNode* GetLayerNode(int layerId) const { return LayerGet(GetCorrectLayerID(layerId)); }
    KFCurveNode* GetCorrectLayer(int layerId, bool create = false);
    void SetUseQuaternion(bool useQuaternion);
    bool GetUseQuaternion() const { return mUseQuaternion; }
    // A rotation order of KVXRotationOrder.
    void SetRotationOrder(int order);
    int GetRotationOrder() const { return mRotationOrder; }
    // The neutral value of the layer type for each value of this node's run:
    // 0 (additive, Euler), 1 (multiplicative), (0, 0, 0, 1) (quaternion).
    // Writes count values.
    void GetZeroValues(double* values, int count) const;
    // Copies the source's candidate, curve (moved with transfer) and layer type
    // into this node, and the same into each child both sides have, layers included.
    void SingleLayerCopyFrom(KFCurveNode* source, bool transfer = false);
    void CopyFrom(KFCurveNode* source, bool transfer = false);
    // Makes this node's layer chain hold the source's layer ids and copies each layer.
    void LayerCopyFromRecursive(KFCurveNode* source, bool transfer = false);

    // ---- Time warp and links ----------------------------------------------------------
    // Shares a time-warp node (null removes it); a node no one holds any more is
    // destroyed. A node cannot be its own time warp.
    void TimeWarpSet(KFCurveNode* timeWarp);
    KFCurveNode* TimeWarpGet() const { return mTimeWarp; }
    // Also gives each child the template's child of the same index.
    void TemplateSet(KFCurveNode* templateNode);
    KFCurveNode* TemplateGet() const { return mTemplate; }
    // Refused when it would make the data links circular.
    void DataNodeSet(KFCurveNode* dataNode, bool recursive = true);
    // The end of the chain of data links.
    KFCurveNode* DataNodeGet();

    // ---- User locks ----------------------------------------------------------------
    void UserLockAdd();
    void UserLockRemove();
    bool IsUserLocked() const { return mUserLock != 0; }

    // ---- Callbacks ---------------------------------------------------------------
    void CallbackRegister(kFCurveNodeCallback callback, void* data);
    // Removes the most recent registration of exactly this pair.
    void CallbackUnregister(kFCurveNodeCallback callback, void* data);
    // Enabling delivers the events held meanwhile, once.
    void CallbackEnable(bool enable);
    bool CallbackIsEnable() const;
    void CallbackClear();
    // Records an event; delivers it unless callbacks are held. Nothing happens
    // before the first registration.
    void CallbackAddEvent(unsigned int type);
    // Tells the callbacks at once that the data changed: an event of its own
    // (KFCURVENODEEVENT_DATAUPDATED, counted once) carrying data. While
    // callbacks are held it is recorded like any event, without the data,
    // which one merged event cannot carry. Nothing before the first registration.
    void DataUpdated(IData* data);
    int GetNodeUpdateId() const { return mNodeUpdateId; }

    // ---- Evaluation ----------------------------------------------------------------
    // The number of doubles a run of this node may hold; size value buffers by it.
    int GetChannelCount() const;
    // The curves alone (no layers, time warps or candidates), depth first.
    // Answers the position after the last value written.
    double* Evaluate(double* values, KTime time, int* last = nullptr);
    // With the time warp, the layers combined by layer type and, with candidate,
    // the candidates. Answers the position after the last value written.
    double* GeneralEvaluate(double* values, KTime time, int* last = nullptr, bool candidate = false);
    double* CandidateEvaluate(double* values, KTime time, int* last = nullptr);
    // One layer alone; nothing when the chain has no such layer.
    double* EvaluateSpecificLayer(double* values, KTime time, int layerId, int* last = nullptr);
    double* CandidateEvaluateSpecificLayer(double* values, KTime time, int layerId, int* last = nullptr);
    double* RotationNodeEvaluate(double* values, KTime time, int* last = nullptr, bool candidate = false);
    // Every layer but one, summed into (resp. multiplied into) values.
    void EvaluateCurvesExceptLayerRecursiveAdd(double* values, KTime time, int layerId, int* last = nullptr);
    void EvaluateCurvesExceptLayerRecursiveMult(double* values, KTime time, int layerId, int* last = nullptr);
    // The rotations of the layers below (resp. above) a layer composed into r or q.
    void EvaluateCurvesBeforeLayerRecursiveEulerXYZ(KgeRMatrix& r, KTime time, int layerId, int* last = nullptr);
    void EvaluateCurvesAfterLayerRecursiveEulerXYZ(KgeRMatrix& r, KTime time, int layerId, int* last = nullptr);
    void EvaluateCurvesBeforeLayerRecursiveQuat(KgeQuaternion& q, KTime time, int layerId, int* last = nullptr);
    void EvaluateCurvesAfterLayerRecursiveQuat(KgeQuaternion& q, KTime time, int layerId, int* last = nullptr);
    // Sum of the curves' update ids over the subtree.
    int GetUpdateId() const;
    // Sum of the curves' value update ids over the subtree and the next layers.
    int GetValuesUpdateId() const;

    // ---- Candidates ----------------------------------------------------------------
    // A total value for all layers together at a time, on a base-layer node.
    // Answers the position after the values used.
    double* CandidateSet(KTime time, double* values, int layerId = 0);
    // Values for one layer (created when missing).
    double* CandidateSetSpecificLayer(KTime time, double* values, int layerId);
    void CandidateClear(int layerId = 0, bool clearSubLayers = true);
    void CandidateClearSubLayers();
    double* CandidateGet(double* values, int layerId = 0) const;
    double* CandidateGetWithTime(double* values, KTime& time) const;
    double* CandidateGetSpecificLayer(double* values, KTime& time, int layerId);
    double* CandidateGetTotalCandidate(double* values, KTime& time) const;
    // Splits a pending total candidate into the values of one layer.
    void FromTotalCandidateToSpecificCandidate(int layerId);
    // The values layerId must take so that all layers together give total.
    // A multiplicative channel whose other layers multiply to zero keeps 1.
    void ComputeCandidateForLayer(double* out, double* total, KTime time, int layerId, int* last = nullptr);
    // Keys the candidates of one layer's curves; mask (one entry per channel,
    // null for all) selects the channels.
    void CandidateKeySpecificLayer(int* last, int layerId, bool* mask, int interpolation, int tangentMode,
                                   bool isBreak = false, bool rebuild = true, KTime time = KTime::Infinite(),
                                   double tolerance = 0.0);
    // Keys the node's candidate into the curves of one layer (created when
    // missing), at the candidate's time: a total candidate is split into the
    // values that layer must hold for the node to evaluate to the total, an
    // Euler layer's angles taken as the equivalent triple closest to the
    // layer's previous key and a quaternion layer's sign as its value there,
    // so that its keys stay continuous. A node without a total keys the
    // candidates its layer's curves hold. Only on a base-layer node; a node
    // whose channels are not all plain curves keys each child's own. mask
    // and the keying arguments are those of CandidateKeySpecificLayer.
    void CandidateKey(int* last, int layerId, bool* mask, int interpolation, int tangentMode, bool isBreak = false,
                      bool rebuild = true, double tolerance = 0.0);
    bool IsCandidate() const { return mTotalCandidateMethod == 2; }
    void GetCandidateState(KFCurveNodeCandidateState& state) const;
    void SetCandidateState(const KFCurveNodeCandidateState& state);

    // ---- Keys across channels (kfcurvenodekeys.cpp) -----------------------------------
    // Values are runs of doubles in depth-first channel order. A channel mask
    // holds one flag per channel of a node: entry 0 for the node's own curve,
    // and child i is walked with the mask advanced by i. A null mask enables
    // every channel.

    // Keys of the node's curve and of every descendant; with layers, plus those
    // of the next layers.
    int KeyGetCount(bool layers = false) const;
    // Keys of child index and of the same child in every next layer; 0 for an
    // index outside the children.
    int KeyGetCountOnChild(int childIndex) const;
    // Leaves in key the earliest first key (resp. the latest last key) among
    // key itself and the tree's curves (with layers, the next layers' too); a
    // null key takes the first curve's key met. Unchanged without keys.
    void KeyGetFirst(KFCurveKey*& key, bool layers = false);
    void KeyGetLast(KFCurveKey*& key, bool layers = false);
    // Keys every curve of the tree at time with the next value of the run
    // (cubic, auto tangents, flat, weights 1/3), replacing a key at that time.
    // Answers the position after the values used.
    double* KeyAdd(KTime time, double* values);
    // Appends a key at time to every curve with the next value (no sorting: the
    // caller appends in increasing time). With continuousRotation, a node of
    // three channels without a curve of its own first makes its three values
    // continuous with its previous key (GetContinuousRotation); other nodes use
    // the values as given. Answers the position after the values used.
    double* KeyAppend(KTime time, double* values, bool continuousRotation = false);
    // For a node without a curve and with three children: the Euler triple
    // equivalent to values that is closest to the node's value at its previous
    // key before time (the values themselves when there is none). Spheric XYZ
    // (rotation order 12) and other nodes copy values unchanged.
    void GetContinuousRotation(double* out, double* values, KTime time);
    // The Euler triple equivalent to angles that is closest to reference, in the node's rotation
    // order (angles unchanged for spheric XYZ).
    void ContinueRotationFrom(double* angles, const double* reference) const;
    // 0 when no enabled channel has a key at time, 2 when every enabled channel
    // with a curve has one, 1 otherwise. tolerance is a distance in key
    // positions (0: exactly at a key). last is a key search hint.
    int IsKey(KTime& time, int* last = nullptr, bool* mask = nullptr, double tolerance = 0.0);
    // The walk behind IsKey: counted and keyed are raised for each enabled curve
    // and each one keyed at time.
    void IsKeyRecursive(KTime& time, int& counted, int& keyed, int* last, bool* mask, double tolerance);
    // Removes the key at time (within tolerance, in key positions) from every
    // enabled curve of the tree.
    void DeleteKey(KTime& time, bool* mask = nullptr, double tolerance = 0.0);
    // The latest key time strictly before (resp. earliest strictly after) time
    // over the enabled curves of the tree; time itself when there is none.
    KTime GetPrevKeyTime(KTime time, bool* mask = nullptr);
    KTime GetNextKeyTime(KTime time, bool* mask = nullptr);
    // Widens [start, stop] to the first and last keys of the tree and its
    // layers; false (both untouched) when no curve has keys.
    bool GetAnimationInterval(KTime& start, KTime& stop);
    // The tree's key interval; Infinite() .. MinusInfinite() without keys.
    void GetTimeSpan(KTime& start, KTime& stop);
    // The shared walk: the curve, the children, then the next layer.
    bool GetAnimationIntervalRecursive(KTime& start, KTime& stop);

    // ---- Rotation continuity ---------------------------------------------------------
    // Offsets that bring the Euler triple source near target. When false, each
    // channel adds its out offset (whole turns). When true, source is first
    // replaced in place by the other solution of the same rotation (for Euler
    // XYZ: x + 180, 180 - y, z + 180) and out holds, for the order's middle axis
    // channel, the value m such that m - value is the equivalent angle, and for
    // the two others an offset of whole turns plus 180. Spheric XYZ (order 12)
    // uses source unchanged and answers false.
    bool GetContinuousOffset(double* out, double* source, double* target) const;
    // KFCurve::ReplaceForQuaternion on the four channel curves with those of the
    // source. False (nothing done) unless both nodes have four children with curves.
    bool ReplaceForQuaternion(KFCurveNode* source, KTime start, KTime stop, double scale, double offset,
                              bool exactSpan, bool keyStartEnd);
    // Replaces the keys of [start, stop] of every curve of the tree by those of
    // the source's matching curve (same child index; KFCurve::Replace). On an
    // Euler rotation node (not spheric) the copied keys are moved by whole turns,
    // or to the other solution of the rotation, to join the keys before the
    // span, and the keys after the span are moved likewise to join the new ones;
    // on a quaternion node the sign is chosen the same way. Layers are not touched.
    void Replace(KFCurveNode* source, KTime start, KTime stop, bool exactSpan = false, bool keyStartEnd = true);

    // ---- Values ----------------------------------------------------------------------
    // The default values of the curves, depth first; answers the position after them.
    double* GetValue(double* values) const;
    // Sets the default values (as floats) in the same order; answers the position after them.
    double* SetValue(double* values);

    // ---- Copies of a span ----------------------------------------------------------------
    // A new tree (owned by the caller) with this node's names, data type, layer
    // type and id, candidate, and copies of the curves over [start, stop].
    KFCurveNode* SingleLayerCopy(KTime start, KTime stop);
    // The same with the layer chain copied too.
    KFCurveNode* Copy(KTime start = KTime::MinusInfinite(), KTime stop = KTime::Infinite());
    // Removes the keys strictly between start and stop from every curve of the tree.
    void Delete(KTime start, KTime stop);

    // ---- Selection and visibility -------------------------------------------------------
    // Sets or clears the visibility bit (event KFCURVENODEEVENT_VISIBILITY).
    void SetVisibility(bool visible, bool recursive = false, bool layers = false);
    // Visible, with a curve, and that curve selected.
    bool IsEditable() const;
    // Selects the curves of the tree, or (channel >= 0) of that child only.
    void SetSelected(bool selected, int channel = -1, bool layers = false);

    // ---- Storage in the field file ----------------------------------------------------
    // Writes this node as the field fieldName: its curve, child "Channel" fields,
    // layer id and type, time-warp number and next layer ("LayerChannel").
    // shortNames stores local transform nodes as "T", "R", "S"; noUserName omits
    // "UserName". Answers false.
    bool ZeqStore(KZeq* file, bool onlyDefaults, bool shortNames, bool noUserName, const char* fieldName = "Channel",
                  bool color = true, bool version5 = false);
    // Reads the next "Channel" field into this node itself. True when there was
    // none (nothing read), false after reading one.
    bool ZeqRetrieve(KZeq* file, bool onlyDefaults, bool createMissing, bool color);
    // Reads the block of the channel field the caller has open.
    void ZeqInternalRetrieve(KZeq* file, bool onlyDefaults, bool createMissing, bool color);

private:
    struct CallbackRecord;
    struct LayerChannelCache;

    // A node holding borrowed, a record lent by the node it is cloned from.
    KFCurveNode(NameInfo* borrowed, int layerType, int layerId);

    // Calls every callback, from the last registered to the first, with event.
    void DeliverEvent(KFCurveNodeEvent event);

    void SetFlagBits(unsigned int bit, unsigned int value) { mFlags = (mFlags & ~bit) | (value & bit); }
    void ReleaseNameInfo();
    // The record, made the node's own (a lent one is copied) before a write.
    NameInfo* OwnNameInfo() const;
    // Whether a clone may hold this node's record instead of a copy of it: a
    // copy would be equal (no property, no text past a zero) and no caller
    // holds the record's address.
    bool CanLendNameInfo() const;
    // Gives up one reference on node, deleting it when no one holds it.
    static void ReleaseReference(KFCurveNode* node);
    bool IsAncestorOrSelf(const KFCurveNode* node) const;
    int InsertChild(int index, KFCurveNode* node);
    // The index of the children's names, made or remade when it is not current.
    const KNameIndex& ChildIndex() const;
    // Whether the name may change without a rename this node hears of (see ChildIndex).
    bool IsNameVolatile() const;
    // Makes every index of children's names stale: a name may have changed, or may change later
    // through a record given out or shared.
    static void NamesMayChange();
    // Makes every layer's channels found for a node stale: a node's children, curve or layer type
    // changed, or a node is destroyed.
    static void LinksChanged();
    // The neutral values (GetZeroValues) of the run layers fill, count (PlainRunLength) of them,
    // kept with the layer channels.
    const double* LayerZeros(int& count) const;
    // The cache of layer channels while it is current (else null), and made current (emptied).
    LayerChannelCache* CurrentLayerCache() const;
    LayerChannelCache& RenewedLayerCache() const;
    void ApplyLayerZeroValues(KFCurveNode* source, int layerType, int& index);

    // Evaluation helpers (kfcurvenodeeval.cpp).
    double* EvaluateSpecific(double* values, KTime time, int layerId, int* last, bool candidate);
    void EvaluateExceptLayer(double* values, int count, KTime time, int layerId, int* last, bool multiply);
    bool EvaluateLayerRotation(KgeRMatrix& rotation, KTime time, int* last);
    bool EvaluateLayerQuaternion(KgeQuaternion& quaternion, KTime time, int* last);
    KTime WarpTime(KTime time, bool candidate);
    // Writes over out (laid out as this node's run, neutral values already in it) the values
    // layer holds for it: each channel from the layer's channel of the same name, read at the
    // time as bent by the layer's time warps. Answers the position after this node's run.
    double* FillLayerRun(KFCurveNode* layer, double* out, KTime time, bool candidate);
    // Combines each layer of the chain, in order, into the run just evaluated (values; the
    // children's values from channels to end), by layer type; a base quaternion node's layers
    // compose into quaternion.
    void CombineLayers(double* values, double* channels, const double* end, double* quaternion, KTime time,
                       bool candidate);
    double* ScratchBuffer(int count, double* local, int localCount);
    // The children's runs one after another from out: a plain channel (a leaf with a curve, neither
    // warped nor layered) read straight from its curve, as its own evaluation reads it.
    double* EvaluateChildren(double* out, KTime time, int* last, bool candidate);
    // Values of the curves alone, depth first.
    int PlainRunLength() const;
    // Values layers combine: the node's curve, then one per child (four for a quaternion).
    int LayerValueCount() const;
    // Values of a total candidate: the node's curve, then one per child (three
    // angles for a base quaternion node).
    int CandidateValueCount() const;
    // Whether every child is a leaf with a curve, so that each gives one value.
    bool IsFlat() const;
    // Whether the node keeps its total candidate itself (else its children do).
    bool HoldsTotal() const;

    // Key helpers (kfcurvenodekeys.cpp).
    int CurveKeyCount() const;
    bool FindPrevKeyTime(KTime time, const bool* mask, KTime& found);
    bool FindNextKeyTime(KTime time, const bool* mask, KTime& found);
    void ReplaceRotation(KFCurveNode* source, KTime start, KTime stop, bool exactSpan, bool keyStartEnd);
    // Euler rotation node of three channel curves (resp. quaternion node of four).
    bool HasChannelCurves(int count) const;
    // Turns angles (for the node's three channel curves) into those of the same rotation nearest
    // the previous key's (GetContinuousRotation).
    void ContinueRotation(double* angles, KFCurve* const* curves, KTime time);

    // Candidate helpers (kfcurvenodecandidate.cpp).
    // end (null: none) bounds the values read.
    double* CandidateSetSpecificLayerAt(KTime time, double* values, int layerId, const double* end);
    double* CandidateSetOnNode(KTime time, double* values, const double* end);
    void CandidateClearOnNode(bool clearSubLayers);
    void CandidateKeyOnNode(int* last, bool* mask, int interpolation, int tangentMode, bool isBreak, bool rebuild,
                            KTime time, double tolerance);
    // The total candidate turned into quaternion values for a quaternion node.
    void TotalToLayerValues(double* total, const double* values) const;

    bool mUseQuaternion = false;
    // The record is lent (held by clones that are not copies): copied before a write.
    mutable bool mNameInfoLent = false;
    // GetNameInfo handed the record out or SetNameInfo took one in: never lent.
    mutable bool mNameInfoExposed = false;
    mutable NameInfo* mNameInfo = nullptr;
    unsigned int mFlags = KFCURVENODE_EXPANDED | KFCURVENODE_MULTILAYER;
    int mReferenceCount = 0;
    // Most nodes have three or four children (none for a leaf); the array grows
    // by half again past that.
    KArrayTemplate<KFCurveNode*> mChildren{4};
    // Made for a node with many children, when one is first looked for by name.
    mutable std::unique_ptr<KNameIndex> mChildIndex;
    // Made for a node with layers, when it is first evaluated with them.
    mutable std::unique_ptr<LayerChannelCache> mLayerChannels;
    KFCurve* mFCurve = nullptr;
    KFCurveNode* mTimeWarp = nullptr;
    KFCurveNode* mNextLayer = nullptr;
    KFCurveNode* mObjectLayer = nullptr;
    KFCurveNode* mTemplate = nullptr;
    KFCurveNode* mDataNode = nullptr;
    KFCurveNode* mParent = nullptr;
    int mLayerType = KFCL_NOLAYER;
    int mLayerID = 0;
    int mNodeUpdateId = 0;
    int mRotationOrder = 0;
    int mSpecificCandidateMethod = 1;
    int mTotalCandidateMethod = 1;
    double mCandidateTotalValue[4] = {0.0, 0.0, 0.0, 0.0};
    KTime mCandidateTotalTime = KTime::Infinite();
    std::unique_ptr<CallbackRecord> mCallback;
    int mUserLock = 0;

    // Set while the node is being evaluated: a tree whose time warps lead back to
    // itself is cut there instead of recursing without end.
    bool mEvaluating = false;
    // Set while the node is being destroyed, so that references to it that its
    // own subtree gives up do not delete it a second time.
    bool mDestroying = false;
    // Value buffers for runs too long for the stack; grown once, then reused.
    std::vector<double> mScratch;
};

// A node of that data type (looked up by name; none when unknown).
KFCurveNode* KFCurveNodeCreate(const char* name, const char* timeWarpName, const char* dataTypeName,
                               int layerType = KFCL_NOLAYER, int layerId = 0);
// What a time-warp node maps time to, in seconds: the first value its evaluation gives (with
// candidate, its candidates), or time itself when it gives none.
double KFCurveNodeWarpSeconds(KFCurveNode* timeWarp, KTime time, bool candidate = false);
// The curve a time warp reads time from when it is that curve alone (most are), so that a caller
// reading it at many times may go to the curve (null otherwise, and for no warp).
KFCurve* KFCurveNodeWarpCurve(KFCurveNode* timeWarp);
// The same as a time of the take.
KTime KFCurveNodeWarpTime(KFCurveNode* timeWarp, KTime time, bool candidate = false);

// The time-warp name is the name, except for time-warp nodes, whose is empty.
KFCurveNode* KFCurveNodeCreate(const char* name, KDataType* dataType = nullptr, int layerType = KFCL_NOLAYER,
                               int layerId = 0);
// A copy of the tree whole: names, data types, layer types and ids, rotation orders, curves,
// children, layers and time warps (shared with the tree's).
KFCurveNode* KFCurveNodeCopyWhole(const KFCurveNode& node);
KFCurveNode* KFCurveNodeCreate(KFCurveNode* source);
// Reads the next "Channel" field of the current block into the matching child
// of templateNode (or, when none matches and createMissing allows it, into a new
// node added to it). Null when there is no further "Channel" field.
KFCurveNode* KFCurveNodeCreate(KZeq* file, KFCurveNode* templateNode, bool onlyDefaults = false,
                               bool createMissing = true, bool color = false);
// Reads the next "Channel" field into a new tree.
KFCurveNode* KFCurveNodeCreate(KZeq* file, bool onlyDefaults, bool color);
// Reads the "LayerChannel" field of the current block, if any, as node's next layer.
KFCurveNode* KFCurveNodeLayerCreate(KZeq* file, KFCurveNode* node, bool onlyDefaults);
// The time warp that node's axis channels (its base children "X", "Y", "Z") say together, which a
// file's reader makes node's own: the one warp they hold, when node has none or the same. Null when
// they hold none, or warps that stay theirs (two different ones, or one beside another of node's),
// each then composed under node's. A writer whose tree gives one cannot store it as it is.
KFCurveNode* KFCurveNodeSharedAxisWarp(const KFCurveNode& node);
// Bakes that warp into the axis channels holding it (KFCurveNodeBake at period), so that each plays
// alone what it played under it and the node's arrangement is one a file holds. span: the take's
// span and the warps that read the node (its own last), which stay: each channel is baked in the
// node's time, sampled where they take the take's frames, so that through them it plays what it
// played at every frame. False, changing nothing, when the channels say no warp together.
bool KFCurveNodeBakeSharedAxisWarp(KFCurveNode& node, KTime period, const KFCurveBakeSpan* span = nullptr);

// A node for a data type: layer type Euler rotation for rotation types,
// multiplicative for scaling types, additive otherwise, layer id 0; with one
// child per member ("X", "Y", "Z", then " ") when the type has several members.
KFCurveNode* FCurveNodeCreateFromDataType(KDataType* dataType, const char* name);

// out[i] = a[i] + b[i] (resp. a[i] * factor) for count doubles; out may be a or b.
void KVNAdd(double* out, const double* a, const double* b, int count);
void KVNScale(double* out, const double* a, double factor, int count);

}  // namespace zeqsdk_400

#endif

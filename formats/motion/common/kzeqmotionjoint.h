#ifndef ZEQ_FORMATS_MOTION_COMMON_KZEQMOTIONJOINT_H
#define ZEQ_FORMATS_MOTION_COMMON_KZEQMOTIONJOINT_H

// The transform a motion writer writes for a joint. The skeleton formats hold
// a joint as an offset or translation, a rotation in their own channel order
// and a scaling carried into the offsets below: nothing of pivots, offsets,
// pre- and post-rotation or rotation orders. A joint whose transform is no more
// than translation, rotation XYZ and scaling is taken from the plain matrix
// of those, as the writers always took it; any other from the node's full
// evaluation, whose translation, rotation and scaling fold all of it in.

#include <unordered_map>
#include <utility>
#include <vector>

#include "base/kstring.h"
#include "base/ktime.h"
#include "base/kzeqmatrix.h"
#include "scene/kzeqnodelimits.h"
#include "scene/kzeqnodeproperties.h"

namespace zeqsdk_400 {

class KFCurve;
class KFCurveNode;
class KStreamOptionsMotion;
class KZeqMotionJointLocals;
class KZeqNode;

class KZeqMotionJoint {
public:
    // Whether the node or one above it needs its full transform
    // (KZeqNode::NeedsFullTransform).
    static bool HasFullTransformUp(KZeqNode& node);
    // Whether the node, one above it or one below it does: a writer that
    // finds none writes the subtree as it always did, without looking again.
    static bool HasFullTransformAround(KZeqNode& node);
    // The local matrix at time in the node's current take.
    static KZeqXMatrix Local(KZeqNode& node, KTime time);
    // The global matrix at time: the plain one of the current take (cached
    // there) unless the node or a parent holds more; the locals of the full
    // transforms from locals when given. It walks all the node's ancestors:
    // the writers ask it for the top of what they write, once a frame.
    static KZeqXMatrix Global(KZeqNode& node, KTime time, KZeqMotionJointLocals* locals = nullptr);
    // The Euler angles in degrees of the matrix's rotation for an order of
    // KmEulerAxis, by the general extraction: GetR's X-first one takes a turn
    // within a tenth of a degree of a quarter turn about Y for the quarter
    // turn itself.
    static KZeqVector4 Angles(const KZeqXMatrix& matrix, int order);
    // The rotation of angles as Angles gives them for the order: the turn a
    // file writes for a matrix.
    static KZeqMatrix Rotation(const KZeqVector4& angles, int order);
    // Rotation r (X, Y, Z, degrees) and scaling s whose signs differ between
    // axes (a mirror of some of them) as a matrix reads them: a turn and a
    // scaling of one sign on every axis (negative for a mirror of one or three
    // axes), whose sign turns nothing below it. Others are left as they are.
    static void MirrorAsTurn(double* r, double* s);
    // Whether a take's rotation curve node ("R") turns its joint: a curve of it keyed, or holding a
    // value other than 0 without keys (a constant channel, as the readers' constant-key reducer
    // leaves one). A leaf that does not turn ends its file's chain; one that does keeps its turn.
    static bool Turns(const KFCurveNode* rotation);
};

// The local matrices of joints at one time after another, as
// KZeqMotionJoint::Local gives them, each full transform evaluated once per
// time however many parts of a write ask for it (the frame written, the
// states, the shear check, the notes); a plain one each node keeps itself.
// Those of EvaluateLocalTransform, bit for bit. The writers want locals, and
// globals from the top they write (their states), where a KZeqTransformCache
// gives globals from the scene's root. One per write: it does not see the
// scene change.
class KZeqMotionJointLocals {
public:
    // Valid until the node is asked for at another time. A full transform's
    // lookup counts as a search step.
    const KZeqXMatrix& Get(KZeqNode& node, KTime time);

private:
    struct Evaluated {
        KTime mTime;
        KZeqXMatrix mLocal;
    };
    std::unordered_map<const KZeqNode*, Evaluated> mFull;
};

// The local states of a subtree frame by frame, as SetLocalStateFromCurrentTake
// sets them, from the full evaluation (alone) where a node needs it. The
// subtree and the nodes that do are found once.
class KZeqMotionJointStates {
public:
    explicit KZeqMotionJointStates(KZeqNode& root);
    // The states of the subtree at time in the current takes.
    void Set(KTime time) const;
    // The same with the root as the origin: its global state the identity,
    // and every global state below it to be worked out again (id 1).
    void SetFromRoot(KTime time) const;
    KZeqNode& GetRoot() const { return mRoot; }
    // The full transforms evaluated for the states, for the rest of the
    // write to share.
    KZeqMotionJointLocals& GetLocals() const { return mLocals; }

private:
    KZeqNode& mRoot;
    // The subtree, parents first; whether each needs its full transform.
    std::vector<std::pair<KZeqNode*, bool>> mNodes;
    mutable KZeqMotionJointLocals mLocals;
};

// While it lives, a node's automatic limits may be updated and read: they
// keep their rotation default, axis and kind in pivot set 0's pre- and
// post-rotation and rotation order, the rest in the limits. At its end it
// gives the node back all of them as they were, whether the set is active or
// not: a writer leaves the caller's scene as it found it.
class KZeqJointRotationsKept {
public:
    explicit KZeqJointRotationsKept(KZeqNode& node);
    ~KZeqJointRotationsKept();
    KZeqJointRotationsKept(const KZeqJointRotationsKept&) = delete;
    KZeqJointRotationsKept& operator=(const KZeqJointRotationsKept&) = delete;

private:
    KZeqNode& mNode;
    KZeqVector4 mPre;
    KZeqVector4 mPost;
    ERotationOrder mOrder = eEULER_XYZ;
    KZeqLimits mTranslationLimits;
    KZeqLimits mScalingLimits;
    double mAxisLength;
};

// What a writer's file cannot hold of the joints' transforms, said once per
// node and kind through the options' message callback (a warning) and kept
// for the writer's message.
class KZeqJointNotes {
public:
    // Joints are held where the options' start puts them, the first frame
    // written (time 0 without options).
    explicit KZeqJointNotes(KStreamOptionsMotion* options);

    // A joint written with one translation for the whole take, that of the
    // start. When its take's translation (keys, layers, time warps) parts at
    // time from that of the start, its animated translation is not held; when
    // what its rotation pivot, scaling offset and scaling pivot add to its
    // translation (they lie inside its rotation and scaling) parts from what
    // they add at the start, those of them that are not zero are not held.
    // Parting is by more than a ten-thousandth of the offset's length (at
    // least of a unit): less is jitter the files do not show. The full
    // transforms from locals when given.
    void CheckHeldTranslation(KZeqNode& node, KTime time, KZeqMotionJointLocals* locals = nullptr);
    // Says once for node that what is not held.
    void NotHeld(KZeqNode& node, const char* what);
    // Says once for node that the shear the uneven scaling of scaled (one
    // above it) gives it is not held.
    void ShearNotHeld(KZeqNode& node, KZeqNode& scaled);
    // What was said, one text per node and kind.
    const std::vector<KString>& GetLines() const { return mLines; }

private:
    enum EKind { eHeld, eShear, eMoved };
    // A held joint at the start. Its take's translation curves that may move it, read alone
    // (with where the last reading found its keys), or whether the take plays layers or time
    // warps, its evaluation then read; that translation. Whether it has a full transform, and
    // what its pivots and offsets add.
    struct Start {
        KFCurve* mCurves[3] = {nullptr, nullptr, nullptr};
        int mLast[3] = {0, 0, 0};
        bool mPlayed = false;
        bool mFull = false;
        KZeqVector4 mTake;
        KZeqVector4 mAdded;
        double mOffset = 0.0;  // the length of the offset written
    };
    // The take's translation of the node at time, as start reads it.
    static KZeqVector4 TakeTranslation(KZeqNode& node, Start& start, KTime time);
    bool WasSaid(const KZeqNode& node, EKind kind) const;
    // False when it was said already; else notes it and says text.
    bool Say(KZeqNode& node, EKind kind, const KString& text);
    void SayNotHeld(KZeqNode& node, EKind kind, const char* what);

    KStreamOptionsMotion* mOptions;
    KTime mStart;
    // The kinds said of each node, a bit each: looked up for every joint at every frame.
    std::unordered_map<const KZeqNode*, unsigned> mSaid;
    std::unordered_map<KZeqNode*, Start> mAtStart;
    std::vector<KString> mLines;
};

}  // namespace zeqsdk_400

#endif

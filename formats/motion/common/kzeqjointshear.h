#ifndef ZEQ_FORMATS_MOTION_COMMON_KZEQJOINTSHEAR_H
#define ZEQ_FORMATS_MOTION_COMMON_KZEQJOINTSHEAR_H

// What an uneven scaling does to the joints below it. A joint turned under an
// unevenly scaled node is sheared: its axes are no longer square to each
// other, which no motion file holds (they keep rotations, offsets and at most
// a scaling). The files of joints carry a joint's scaling into the offsets of
// the joints below it; per component, as they always did, that is right while
// the rotations below keep the scaling's axes, and a matrix does it where they
// do not (a mirror of some axes as well), so that the first frame written
// puts every joint where the scene does. Scenes scaled the same on every axis
// everywhere take neither path.

#include <vector>

#include "base/ktime.h"
#include "base/kzeqmatrix.h"
#include "base/kzeqvector.h"

namespace zeqsdk_400 {

class KZeqJointNotes;
class KZeqMotionJointLocals;
class KZeqNode;

// Finds the sheared joints of a subtree frame by frame and names each once
// (KZeqJointNotes::ShearNotHeld), with the node above it whose uneven scaling
// shears it: the first sheared joint on each path down the tree, the joints
// below it being sheared with it.
class KZeqJointShear {
public:
    // Where the file puts the subtree's root: in its parent's space, where
    // the scene puts it, or at the origin (the file's transforms are the
    // subtree's own).
    enum EPlacement { eROOT_LOCAL, eROOT_GLOBAL, eROOT_ORIGIN };

    // The subtree of root placed so; with selectedOnly, the joints written are
    // the selected nodes that are no optical reference, else all of them.
    KZeqJointShear(KZeqNode& root, EPlacement placement, bool selectedOnly = false);

    // Whether the subtree can shear: a node of it (or above it, placed where
    // the scene puts it) scaled otherwise than the same on every axis (in
    // size or sign: a mirror of some axes does not shear, but the rotations
    // below it turn what it carries), or with keyed scaling. False for most
    // scenes, and Check then costs nothing.
    bool IsPossible() const { return mPossible; }
    // Names through notes the joints sheared at time that were not named yet;
    // the full transforms from locals when given (those the write evaluated).
    void Check(KTime time, KZeqJointNotes& notes, KZeqMotionJointLocals* locals = nullptr) const;

    // Whether the 3x3 block's rows are not square to each other.
    static bool IsSheared(const KZeqMatrix& matrix);
    // Whether the scaling's components differ in size (a mirror is no unevenness).
    static bool IsUneven(const KZeqVector4& scaling);
    // Whether they differ in size or sign.
    static bool IsNonUniform(const KZeqVector4& scaling);

private:
    KZeqNode& mRoot;
    EPlacement mPlacement;
    bool mSelectedOnly;
    bool mPossible = false;
};

// What a file of rotations and offsets carries below a joint: the scaling of
// the joint and the joints above it, by which a child's translation, given in
// the joint's space, becomes the offset that the rotations written turn to
// where the scene puts the child.
class KZeqCarriedScaling {
public:
    // The scaling per component carried. Exact: it is followed as a matrix
    // (where a joint is turned under an uneven scaling), else per component
    // alone, as the writers always carried it; KZeqJointShear::IsPossible says
    // which a write needs.
    explicit KZeqCarriedScaling(bool exact = false, const KZeqVector4& scaling = KZeqVector4(1.0, 1.0, 1.0, 1.0));

    // What a joint below carries: block, the 3x3 block of its matrix as the
    // file takes it; rotation, the rotation written for it (a pure rotation);
    // scaling, its scaling per component.
    KZeqCarriedScaling Below(const KZeqMatrix& block, const KZeqMatrix& rotation, const KZeqVector4& scaling) const;
    // A translation in the joint's space as the file writes it (its fourth
    // component kept).
    KZeqVector4 Carry(const KZeqVector4& translation) const;
    // The scaling per component.
    const KZeqVector4& GetScaling() const { return mScaling; }
    // Whether the scaling per component carries the translations.
    bool IsAligned() const { return mAligned; }
    // Whether Below follows the matrix (else it needs no rotation).
    bool IsExact() const { return mExact; }

private:
    KZeqVector4 mScaling{1.0, 1.0, 1.0, 1.0};
    double mMatrix[3][3] = {{1.0, 0.0, 0.0}, {0.0, 1.0, 0.0}, {0.0, 0.0, 1.0}};
    bool mExact;
    bool mAligned = true;
};

}  // namespace zeqsdk_400

#endif
